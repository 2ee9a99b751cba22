#include "shell/menus/menukeys.h"

#include "kit/theme/appstyle.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSet>

LWMenuKeys::LWMenuKeys(QMenuBar *bar) : QObject(bar), bar_(bar)
{
    letter();
    // The bar's window: F10 there opens the first menu, not in a sheet over it.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), bar->window());
    f10->setContext(Qt::WindowShortcut);
    connect(f10, &QShortcut::activated, this, &LWMenuKeys::toggleFirstMenu);
    qApp->installEventFilter(this);
}

QStringList LWMenuKeys::withAccessLetters(const QStringList &titles)
{
    QSet<QChar> taken;
    // Titles that already carry a letter keep it and hold it from the others.
    for (const QString &t : titles)
        for (qsizetype i = 0; i + 1 < t.size(); ++i) {
            if (t[i] != u'&')
                continue;
            if (t[i + 1] != u'&')
                taken.insert(t[i + 1].toLower());
            ++i;
        }
    QStringList out = titles;
    // The application menu chooses last: File, Edit, View… keep their usual letters.
    for (qsizetype n = 1; n <= titles.size(); ++n) {
        const qsizetype index = n % titles.size();
        const QString &t = titles[index];
        if (t.contains(u'&') && !t.contains(QStringLiteral("&&")))
            continue;
        // Word initials first, then any letter.
        qsizetype at = -1;
        for (int pass = 0; pass < 2 && at < 0; ++pass)
            for (qsizetype i = 0; i < t.size() && at < 0; ++i) {
                const bool initial = i == 0 || t[i - 1].isSpace();
                if (t[i].isLetterOrNumber() && (pass == 1 || initial) && !taken.contains(t[i].toLower()))
                    at = i;
            }
        if (at < 0)
            continue;
        taken.insert(t[at].toLower());
        out[index] = t.left(at) + u'&' + t.mid(at);
    }
    return out;
}

void LWMenuKeys::letter()
{
    if (lettering_)
        return;
    lettering_ = true;
    QStringList titles;
    const QList<QAction *> actions = bar_->actions();
    for (const QAction *a : actions)
        titles << a->text();
    const QStringList lettered = withAccessLetters(titles);
    for (qsizetype i = 0; i < actions.size(); ++i)
        if (actions[i]->text() != lettered[i])
            actions[i]->setText(lettered[i]);
    lettering_ = false;
}

bool LWMenuKeys::menuOpen() const
{
    const QAction *open = bar_->activeAction();
    return open && open->menu() && open->menu()->isVisible();
}

void LWMenuKeys::toggleFirstMenu()
{
    if (menuOpen()) {
        // Its submenus first, then the menu itself.
        while (QWidget *popup = QApplication::activePopupWidget())
            if (!popup->close())
                break;
        return;
    }
    const QList<QAction *> actions = bar_->actions();
    if (actions.isEmpty())
        return;
    bar_->setActiveAction(actions.constFirst());
    // Its first item lit, as Alt with a letter leaves it, so arrows and Return go on from there.
    if (QMenu *menu = actions.constFirst()->menu())
        for (QAction *item : menu->actions())
            if (!item->isSeparator() && item->isEnabled() && item->isVisible()) {
                menu->setActiveAction(item);
                break;
            }
}

void LWMenuKeys::showLetters(bool shown)
{
    if (shown == shown_)
        return;
    shown_ = shown;
    VKAppStyle::setAccessLettersShown(shown);
    bar_->update();
}

bool LWMenuKeys::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ActionChanged:
    case QEvent::ActionAdded:
        if (watched == bar_) // a title given anew (the application's name) gets its letter again
            QMetaObject::invokeMethod(this, &LWMenuKeys::letter, Qt::QueuedConnection);
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    {
        const auto *key = static_cast<QKeyEvent *>(event);
        // F10 in an open menu of the bar closes it (the window's F10 is not heard in a menu).
        if (key->key() == Qt::Key_F10 && event->type() == QEvent::KeyPress && key->modifiers() == Qt::NoModifier &&
            menuOpen()) {
            toggleFirstMenu();
            return true;
        }
        if (key->key() == Qt::Key_Alt)
            showLetters(event->type() == QEvent::KeyPress);
        else
            showLetters(key->modifiers().testFlag(Qt::AltModifier));
        break;
    }
    case QEvent::ApplicationStateChange:
    case QEvent::WindowDeactivate:
        showLetters(false); // Alt released in another window
        break;
    default:
        break;
    }
    return false;
}
