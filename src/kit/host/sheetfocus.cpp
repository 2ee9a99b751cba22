#include "kit/host/sheetfocus.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <algorithm>

namespace {

// Qt's own rule: a window-modal window blocks its ancestors (transient parents included) and
// every window that shares one of them, never itself or its descendants.
bool blocks(QWindow *modal, QWindow *window)
{
    if (modal == window || modal->isAncestorOf(window, QWindow::IncludeTransients))
        return false;
    for (QWindow *w = window; w; w = w->parent(QWindow::IncludeTransients))
        if (w->isAncestorOf(modal, QWindow::IncludeTransients))
            return true;
    return false;
}

// The window-modal window over `window` that takes its keyboard: one that blocks it and that no
// other blocks. None when none blocks it.
QWindow *sheetOver(QWindow *window)
{
    QList<QWindow *> sheets;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && w->modality() == Qt::WindowModal)
            sheets.append(w);
    QWindow *found = nullptr;
    for (QWindow *sheet : sheets) {
        if (!blocks(sheet, window))
            continue;
        const bool free = std::none_of(sheets.cbegin(), sheets.cend(),
                                       [sheet](QWindow *other) { return blocks(other, sheet); });
        // Of two such siblings, the one shown last when it is one of them.
        if (free && (!found || sheet == QGuiApplication::modalWindow()))
            found = sheet;
    }
    return found;
}

void handBack(QWindow *activated)
{
    if (!activated)
        return;
    // An application-modal dialog blocks the sheet too: the platform's own handling stands.
    const QWindow *top = QGuiApplication::modalWindow();
    if (top && top->modality() == Qt::ApplicationModal)
        return;
    if (QWindow *sheet = sheetOver(activated))
        sheet->requestActivate(); // its focus widget takes the keyboard again as it becomes active
}

} // namespace

namespace VKSheetFocus {

void install()
{
    static QPointer<QObject> installed;
    if (installed || !qApp)
        return;
    installed = new QObject(qApp);
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, installed, handBack);
}

} // namespace VKSheetFocus
