#include "diagnostics/screens.h"
#include "diagnostics/snapshot.h"

#include "app/app.h"
#include "app/sheets/exportsheet.h"
#include "app/sheets/preflightsheet.h"
#include "editor/editor.h"
#include "kit/help/help.h"
#include "kit/help/helpviewer.h"
#include "kit/host/kithost.h"
#include "kit/help/lwhelp.h"
#include "kit/theme/themeroot.h"
#include "kit/zoom/zoomhost.h"
#include "model/info.h"
#include "shell/mainwindow.h"
#include "templates/templates.h"

#include <QDir>

namespace LWScreens
{

namespace
{

constexpr QSizeF zoomMinimum{1240, 760};

// The first top-level element of the shown page of that kind alone, or nothing.
void selectFirst(LWEditor &editor, LWElementKind kind)
{
    QList<QUuid> selection;
    for (const LWElement &e : editor.elements()) {
        if (e.kind == kind) {
            selection.append(e.id);
            break;
        }
    }
    editor.setSelection(selection);
}

} // namespace

const QList<Shot> &plan()
{
    static const QList<Shot> shots{
        {"ui-1-start.png", {1500, 940}, 1.5},
        {"ui-2-templates.png", {1500, 940}, 4.0},
        {"ui-3-editor-card-text.png", {1500, 940}, 0.4},
        {"ui-4-editor-card-back-icon.png", {1500, 940}, 0.4},
        {"ui-5-editor-flyer-page.png", {1500, 940}, 0.4},
        {"ui-6-editor-flyer-photo.png", {1500, 940}, 0.4},
        {"ui-7-export.png", {560, 470}, 0.15},
        {"ui-8-preflight.png", {580, 560}, 0.15},
        {"ui-9-help.png", {900, 620}, 0.15},
    };
    return shots;
}

QStringList write(const QString &folder, LWApp &app)
{
    // Console modes skip the shell's set-up: without a name the windows would read the kit's.
    if (!VELKKitHost::bundleInfo().displayName) {
        VELKKitHost::BundleInfo info = VELKKitHost::bundleInfo();
        info.displayName = LWInfo::appName;
        VELKKitHost::setBundleInfo(info);
    }
    const QDir dir(folder);
    QStringList failed;
    int next = 0;
    auto shoot = [&](const VELKThemeRoot::Builder &content) {
        const Shot &shot = plan().at(next++);
        const QString file = dir.absoluteFilePath(QString::fromLatin1(shot.file));
        std::optional<QImage> image = render(new VELKThemeRoot(content), shot.size, shot.settle);
        if (!image || !LWSnapshot::writePNG(std::move(*image), file))
            failed << file;
    };
    LWApp *state = &app;
    const VELKThemeRoot::Builder window = [state] { return new VKZoomHost(new MainWindow(*state), zoomMinimum); };

    const LWDocument card = LWTemplates::cards().at(0).make();
    const LWDocument page = LWTemplates::flyers().at(4).make();
    const LWDocument photo = LWTemplates::flyers().at(6).make();

    app.setEditor(nullptr);
    app.setScreen(LWAppScreen::start);
    shoot(window);
    app.setScreen(LWAppScreen::templates);
    shoot(window);

    // The app owns these and deletes each replaced one during a later settle loop.
    auto *cardEditor = new LWEditor(card);
    app.setEditor(cardEditor);
    app.setScreen(LWAppScreen::editor);
    selectFirst(*cardEditor, LWElementKind::text);
    shoot(window);
    cardEditor->switchSide(1);
    selectFirst(*cardEditor, LWElementKind::icon);
    shoot(window);
    auto *pageEditor = new LWEditor(page);
    app.setEditor(pageEditor);
    pageEditor->setSelection({});
    shoot(window);
    auto *photoEditor = new LWEditor(photo);
    app.setEditor(photoEditor);
    selectFirst(*photoEditor, LWElementKind::image);
    shoot(window);

    // The sheets read editors of their own, never one the app may already have dropped. Each is
    // a plain child of the root (its window flags dropped), shown and never waited on.
    LWEditor cardCopy(card);
    cardCopy.switchSide(1);
    LWEditor *cardSide = &cardCopy;
    shoot([state, cardSide] { return new ExportSheet(*state, cardSide); });
    LWEditor pageCopy(page);
    LWEditor *pageDesign = &pageCopy;
    shoot([pageDesign] { return new PreflightSheet(pageDesign); });
    VELKHelp::setTopics(LWHelp::topics());
    shoot([] { return new VELKHelpViewer(QStringLiteral("walkthrough-card")); });

    app.setEditor(nullptr);
    app.setScreen(LWAppScreen::start);
    return failed;
}

QStringList write(const QString &folder)
{
    return write(folder, LWApp::shared());
}

} // namespace LWScreens
