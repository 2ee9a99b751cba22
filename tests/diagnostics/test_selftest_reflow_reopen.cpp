#include "diagnostics/groupfixture.h"
#include "diagnostics/groups/reflowchecks.h"
#include "diagnostics/groups/savereopenchecks.h"
#include "diagnostics/selftestgroups.h"
#include "model/file/documentio.h"
#include "templates/templates.h"

#include <QFile>
#include <QImage>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using ReopenGroups = SelfTestGroupTest;

using namespace LWSelfTest;

TEST(ReflowRules, Thresholds)
{
    EXPECT_TRUE(ReflowRules::tallEnough(99.5, 100) && !ReflowRules::tallEnough(99.49, 100));
    EXPECT_TRUE(!ReflowRules::clearlyTaller(247, 257) && ReflowRules::clearlyTaller(247, 257.01));
    EXPECT_TRUE(!ReflowRules::enoughInk(20) && ReflowRules::enoughInk(21));

    // Dark pixels count only inside the image.
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::black);
    const Pixels pixels(image);
    struct Case {
        QRectF rect;
        int want;
    };
    const QList<Case> cases{
        {{0, 0, 4, 3}, 12},
        {{2.9, 2.9, 2.2, 1.2}, 6},   // columns 2-4, rows 2-3: edges cut toward zero
        {{5, 5, 10, 10}, 25},        // half outside right and below
        {{-5, -5, 10, 10}, 25},      // half outside left and above
        {{-20, -20, 5, 5}, 0},       // wholly outside
        {{0, 0, qQNaN(), 5}, 0},     // no number
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReflowRules::darkPixels(pixels, c.rect), c.want) << c.rect.x() << "," << c.rect.y();
    image.fill(Qt::white);
    EXPECT_EQ(ReflowRules::darkPixels(Pixels(image), QRectF(0, 0, 10, 10)), 0);
}

TEST_F(ReopenGroups, RealServicesKeepEveryField)
{
    const QStringList lines =
        report([this](LWTestRun &run) { saveReopenChecks(run, dir.path(), LWTemplates::cards(), LWTemplates::flyers()); });
    EXPECT_TRUE(lines.filter(QStringLiteral("FAIL  ")).isEmpty()) << lines.join(u'\n').toStdString();

    // What the file brings back, field by field.
    const LWDocumentIO::Result<LWDocument> doc =
        LWDocumentIO::open(QUrl::fromLocalFile(dir.filePath(QStringLiteral("Test Card.velkfolio"))));
    ASSERT_TRUE(doc.ok());
    const LWElement logo = doc.value().pages[0].elements.last();
    ASSERT_TRUE(logo.image && logo.image->data);
    EXPECT_EQ(*logo.image->data, samplePNG(240, 160));
    EXPECT_TRUE(logo.image->cropL == 0.1 && logo.image->cropB == 0.05 && logo.image->mask == LWMask::ellipse);
    EXPECT_TRUE(logo.rotation == 12.5 && logo.opacity == 0.8);
    const LWElement group = doc.value().pages[1].elements.last();
    ASSERT_TRUE(group.children && group.children->size() == 2);
    EXPECT_EQ((*group.children)[0].fill, LWFill::linear(LWColor::white, LWColor::black, 33));
    EXPECT_EQ((*group.children)[1].fill, LWFill::radial(LWColor::white, LWColor::black));
    EXPECT_EQ((*group.children)[1].stroke, LWStroke(LWColor::black, 1.5, 4));
    ASSERT_EQ(doc.value().guides.size(), 2);
    EXPECT_TRUE(doc.value().guides[0].position == 100.25 && doc.value().guides[0].vertical);
}

TEST_F(ReopenGroups, FailuresKeepTheGroupGoing)
{
    // A plain file where the folder should be: nothing can be saved or written there.
    const QString notAFolder = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(QFile(notAFolder).open(QIODevice::WriteOnly));
    const QStringList blocked = report([&notAFolder](LWTestRun &run) {
        saveReopenChecks(run, notAFolder, LWTemplates::cards(), LWTemplates::flyers());
    });
    ASSERT_EQ(blocked.size(), 4);
    EXPECT_TRUE(blocked[0].startsWith(QStringLiteral("FAIL  save / reopen: "))) << blocked[0].toStdString();
    EXPECT_TRUE(blocked[0].contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))) << blocked[0].toStdString();
    EXPECT_EQ(blocked.mid(1), (QStringList{QStringLiteral("FAIL  a file that isn't a design is refused with a clear message"),
                                           QStringLiteral("FAIL  taking a file off Recent never deletes it"),
                                           QStringLiteral("FAIL  \u2026still there after removing it from the list")}));

    // Ten Letter flyers: the 43rd is missing, everything else still runs.
    const QStringList shortList = report([this](LWTestRun &run) {
        saveReopenChecks(run, dir.path(), LWTemplates::cards(), LWTemplates::flyers().mid(0, 10));
    });
    ASSERT_EQ(shortList.size(), 10);
    for (qsizetype i = 0; i < shortList.size(); ++i)
        EXPECT_EQ(shortList[i].startsWith(QStringLiteral("PASS  ")), i != 5) << shortList[i].toStdString();
    EXPECT_EQ(shortList[5], QStringLiteral("FAIL  Letter flyer 43: save + reopen identical"));
}

} // namespace
