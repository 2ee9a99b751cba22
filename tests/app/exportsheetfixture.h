#pragma once
// The export sheet's tests: a card or flyer, a one-colour photo, and the sheet's fixture (an app
// with an "out" folder, scripted prompts, no folder ever opened).
#include "app_fixture.h"

#include "app/sheets/exportsheet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

namespace ExportSheetTests {

using Fmt = ExportSheet::Fmt;
using Step = ScriptedPrompts::Step;

inline LWDocument card(const QString &name = QStringLiteral("Card"))
{
    return LWDocument::blank(LWSizePreset::usCard, std::nullopt, name);
}

inline LWDocument flyer(const QString &name = QStringLiteral("Flyer"))
{
    return LWDocument::blank(LWSizePreset::letter, std::nullopt, name);
}

inline LWElement photo(const QString &name)
{
    return LWElement::makePhoto(LWRect(20, 20, 40, 40), LWMask::none, 0, name);
}

// A photo named "Harbour view" of one colour (a PNG), with `after` following its bytes.
inline LWElement harbourView(QColor colour, const QByteArray &after = {})
{
    LWElement e = photo(QStringLiteral("Harbour view"));
    QImage pixels(32, 32, QImage::Format_RGB32);
    pixels.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && pixels.save(&buffer, "PNG"));
    e.image->data = bytes + after;
    return e;
}

inline QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace ExportSheetTests

class ExportTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
        ExportSheet::setFolderOpener([this](const QString &folder) { opened.append(folder); });
    }
    void TearDown() override
    {
        ExportSheet::setFolderOpener({});
        AppTest::TearDown();
    }
    QString out(const QString &name = {}) const
    {
        return name.isEmpty() ? path(QStringLiteral("out")) : path(QStringLiteral("out/") + name);
    }
    // One export to "Card.jpg" in the out folder, the prompts after the chooser answered by `then`.
    void exportCard(ExportSheet &sheet, const QList<ScriptedPrompts::Step> &then = {})
    {
        prompts->calls.clear();
        prompts->script = then;
        prompts->script.prepend(ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Card.jpg")))));
        sheet.runExport();
        finish(sheet);
    }
    // Turns the event loop until the sheet's export has ended and said so.
    static void finish(const ExportSheet &sheet)
    {
        QElapsedTimer clock;
        clock.start();
        while (sheet.exporting() && clock.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_FALSE(sheet.exporting());
    }
    // Nothing written, announced or kept.
    void expectNothing(const ExportSheet &sheet)
    {
        EXPECT_EQ(ExportSheetTests::files(out()), QStringList());
        EXPECT_FALSE(app.notice());
        EXPECT_FALSE(sheet.exportedFile());
    }

    QStringList opened;
};
