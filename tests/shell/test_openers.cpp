#include "shell/menufixture.h"

#include "kit/help/liccredit.h"
#include "kit/host/kithost.h"
#include "model/info.h"
#include "render/text/fonts.h"
#include "shell/statusstrip.h"

#include <QDir>

// Folders and links that no file manager or browser opened are named in the state's alert.
TEST_F(MenuTest, WhatNothingOpensIsNamedInAnAlert)
{
    QList<QUrl> asked;
    VELKKitHost::setOpener([&](const QUrl &url) {
        asked.append(url);
        return false;
    });
    QStringList lines;
    app->setConsole([&](const QString &line) { lines.append(line); });
    VELKTestFlags::running = true; // alerts become console lines

    StatusStrip strip(*app);
    VKLicCredit credit;
    const std::optional<QString> fonts = LWFonts::bundledFolder();
    ASSERT_TRUE(fonts);
    const QString web = QStringLiteral("ALERT: Couldn't open the link \u2014 No web browser opened it. You can open it "
                                       "yourself:\n") + LWInfo::website().toString();
    const struct {
        const char *what;
        std::function<void()> act;
        QUrl url;
        QString line;
    } cases[] = {
        {"Show Font License Files", [&] { item(helpMenu(), QStringLiteral("Show Font License Files"))->trigger(); },
         QUrl::fromLocalFile(*fonts),
         QStringLiteral("ALERT: Couldn't show the folder \u2014 No file manager opened it. You can open it yourself:\n") +
             QDir::toNativeSeparators(*fonts)},
        {"status strip credit", [&] { strip.creditLink()->click(); }, LWInfo::website(), web},
        {"kit credit link", [&] { credit.click(); }, VELKKitHost::creditURL(), web},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        asked.clear();
        lines.clear();
        c.act();
        EXPECT_EQ(asked, QList<QUrl>{c.url});
        EXPECT_EQ(lines, QStringList{c.line});
    }
    VELKKitHost::setOpener({});
    app->setConsole({});
}
