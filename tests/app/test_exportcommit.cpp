#include "app_fixture.h"

#include "app/sheets/exportjob.h"
#include "app/sheets/exportsheet.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/segmentedpicker.h"
#include "support/waitfor.h"

#include <QDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

using Fmt = ExportSheet::Fmt;

QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class ExportCommitTest : public AppTest {};

// Both sides of a card exported over the earlier files, the back failing at its last step after
// both files were made in full: the front's earlier file is back, the back's untouched, nothing
// else is left in the folder, and the alert names the back, the reason and that nothing changed.
TEST_F(ExportCommitTest, TheBacksLastStepFailingLeavesBothEarlierFiles)
{
    const struct {
        const char *step;
        int error;
    } cases[] = {{"name", ENOSPC}, {"close", EIO}, {"rename", EPERM}};
    const QString out = path(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    LWDocument sided = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    sided.pages[1].background = LWFill::solid(LWColor::hex(0x3060C0));
    for (Fmt format : {Fmt::png, Fmt::jpeg}) {
        for (const auto &c : cases) {
            const QString ext = format == Fmt::png ? QStringLiteral("png") : QStringLiteral("jpg");
            SCOPED_TRACE(ext.toStdString() + ", the back failing at " + c.step);
            const QStringList names = {"Out - back." + ext, "Out - front." + ext};
            for (const QString &name : listing(out))
                QFile::remove(out + '/' + name);
            for (const QString &name : names) {
                QFile old(out + '/' + name);
                ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old " + name.toUtf8()) > 0);
            }
            app.setNotice(std::nullopt);
            ExportSheet sheet(app, openNew(sided));
            QTest::mouseClick(sheet.formatPicker()->segment(int(format)), Qt::LeftButton);
            // The fault comes at the second file's step of that name, once both are prepared.
            std::atomic<int> seen = 0;
            LWFileAccess::ReplaceProbe probe;
            probe.lastStepFault = [&](const char *step) {
                return std::strcmp(step, c.step) == 0 && ++seen == 2 ? c.error : 0;
            };
            LWExportJob::setProbe(probe);
            prompts->calls.clear();
            prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out + "/Out." + ext)),
                               ScriptedPrompts::confirmStep(true), ScriptedPrompts::alertStep()};
            QTest::mouseClick(sheet.exportButton(), Qt::LeftButton);
            EXPECT_TRUE(waitFor([&] { return !sheet.exporting(); }, 120000));
            LWExportJob::setProbe({});
            EXPECT_EQ(listing(out).join(u'|').toStdString(), names.join(u'|').toStdString());
            for (const QString &name : names)
                EXPECT_EQ(bytes(out + '/' + name), "old " + name.toUtf8());
            EXPECT_EQ(prompts->calls.value(2),
                      QStringList({QStringLiteral("alert"), ExportSheet::failedTitle,
                                   "The file \"Out - back." + ext + "\" couldn't be saved: " +
                                       LWFileAccess::systemReason(c.error) +
                                       "\n\nNo file was changed.\n\nTry another folder, or check that the disk has "
                                       "free space."}));
            EXPECT_FALSE(app.notice());
            EXPECT_FALSE(sheet.exportedFile());
        }
    }
}
