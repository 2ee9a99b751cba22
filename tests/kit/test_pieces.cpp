#include "kit/cabinet/bezel.h"
#include "kit/views/caption.h"
#include "kit/controls/chromebutton.h"
#include "kit/host/kithost.h"
#include "kit/help/liccredit.h"
#include "kit/views/overhangitem.h"
#include "kit/views/panel.h"
#include "kit/controls/searchfield.h"
#include "kit/theme/themes.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"
#include "kitfixture.h"
#include "snapshot.h"
#include "windowfixture.h"
#include "model/info.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <cmath>

namespace {

QSize textSize(const VKChromeButton &b)
{
    const QSizeF s = vkTextSize(b.labelFont(), b.shownText());
    return QSize(static_cast<int>(std::ceil(s.width())), static_cast<int>(std::ceil(s.height())));
}

using Pieces = KitTest;

} // namespace

TEST(KitPieces, CaptionUpperCasesByFullUnicodeRules)
{
    const struct {
        const char16_t *in, *out;
    } cases[] = {{u"Fill", u"FILL"}, {u"straße", u"STRASSE"}, {u"", u""}, {u"R&D", u"R&D"}};
    for (const auto &c : cases) {
        VKCaption caption(QString::fromUtf16(c.in));
        EXPECT_EQ(caption.text(), QString::fromUtf16(c.out));
        EXPECT_EQ(caption.textFormat(), Qt::PlainText);
    }
}

TEST(KitPieces, ChromeButtonSizeIsTextPlusPadding)
{
    const struct {
        bool compact, prominent;
        QSize padding;
    } cases[] = {{false, false, {32, 16}}, {false, true, {32, 16}}, {true, false, {24, 10}}, {true, true, {24, 10}}};
    const QMargins m = VKChromeButton::shadowMargins();
    EXPECT_EQ(m, QMargins(7, 7, 7, 7));
    for (const auto &c : cases) {
        VKChromeButton b(QStringLiteral("New Design"));
        b.setCompact(c.compact);
        b.setProminent(c.prominent);
        const QSize hint = b.sizeHint().shrunkBy(m);
        EXPECT_EQ(hint, textSize(b) + c.padding) << c.compact << c.prominent;
    }
    VKChromeButton regular(QStringLiteral("New Design")), compact(QStringLiteral("New Design"));
    compact.setCompact(true);
    EXPECT_LT(textSize(compact).width(), textSize(regular).width());
}

TEST_F(Pieces, PressedButtonIsOneLayerAtThreeQuarters)
{
    QWidget backdrop;
    backdrop.setAutoFillBackground(true);
    QPalette pal;
    pal.setColor(QPalette::Window, QColor(200, 40, 90));
    backdrop.setPalette(pal);
    auto *button = new VKChromeButton(QStringLiteral("Export"), &backdrop);
    button->resize(button->sizeHint());
    backdrop.resize(button->size());
    const QPoint padding(button->shadowMargins().left() + 10, button->height() / 2); // left padding, off the text
    const QColor up = backdrop.grab().toImage().pixelColor(padding);
    button->setDown(true);
    expectNear(backdrop.grab().toImage().pixelColor(padding), composite(QColor(200, 40, 90), up, 0.75));
}

TEST_F(Pieces, ChromeButtonTakesClicksOnItsCapsuleOnly)
{
    VKChromeButton button(QStringLiteral("Open…"));
    button.resize(button.sizeHint());
    const QRect capsule = button.capsuleRect().toRect();
    const struct {
        QPoint pos;
        int clicks;
    } cases[] = {
        {QPoint(capsule.left() + 3, capsule.center().y()), 1}, // the left end's round
        {QPoint(capsule.left() + 1, capsule.top() + 1), 0},    // the bounding box's corner
        {QPoint(2, capsule.center().y()), 0},                  // the shadow margin
        {capsule.center(), 1},
    };
    for (const auto &c : cases) {
        QSignalSpy spy(&button, &QAbstractButton::clicked);
        QTest::mouseClick(&button, Qt::LeftButton, {}, c.pos);
        EXPECT_EQ(spy.count(), c.clicks) << c.pos.x() << "," << c.pos.y();
    }
    // Disabled: faded, no clicks.
    const QImage enabled = button.grab().toImage();
    button.setEnabled(false);
    EXPECT_NE(button.grab().toImage(), enabled);
    QSignalSpy spy(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, capsule.center());
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(Pieces, PanelPadsItsContentAndRoundsItsCorners)
{
    const VKKitTheme theme = VELKKitHost::theme();
    VKPanel panel(new QLabel(QStringLiteral("content")));
    panel.resize(200, 120);
    panel.show();
    EXPECT_EQ(panel.content()->geometry().topLeft(), QPoint(12, 12));
    EXPECT_EQ(panel.radius(), 20);
    EXPECT_EQ(qAlpha(snapshot(panel).pixel(0, 0)), 0);
    panel.setRadius(0);
    const QImage square = snapshot(panel);
    EXPECT_EQ(qAlpha(square.pixel(0, 0)), 255);
    // Well inside, near the top: panelTop.
    expectNear(square.pixelColor(100, 3), theme.panelTop, "default", 3);

    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    const QColor rose = VELKKitHost::theme().panelTop;
    ASSERT_NE(rose, theme.panelTop);
    expectNear(snapshot(panel).pixelColor(100, 3), rose, "rose", 3);
}

TEST_F(Pieces, SearchFieldClearButtonFollowsTheText)
{
    VKSearchField field(QStringLiteral("Search help"));
    field.show();
    QSignalSpy changes(&field, &VKSearchField::textChanged);
    EXPECT_EQ(field.lineEdit()->placeholderText(), QStringLiteral("Search help"));
    EXPECT_FALSE(field.lineEdit()->isClearButtonEnabled());
    EXPECT_FALSE(field.clearButton()->isVisible());
    QTest::keyClicks(field.lineEdit(), QStringLiteral(" "));
    EXPECT_TRUE(field.clearButton()->isVisible());
    EXPECT_EQ(field.clearButton()->toolTip(), QStringLiteral("Clear search"));
    QTest::mouseClick(field.clearButton(), Qt::LeftButton);
    EXPECT_EQ(field.text(), QString());
    EXPECT_FALSE(field.clearButton()->isVisible());
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(Pieces, CreditReadsTheMakerAndOpensTheSite)
{
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
    VKLicCredit credit;
    EXPECT_EQ(credit.text(), QStringLiteral("by Velkmoor (VELK) · www.velkmoor.com"));
    credit.resize(credit.sizeHint());
    QTest::mouseClick(&credit, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(sink.opened.size(), 1);
    EXPECT_EQ(sink.opened.first(), LWInfo::website());

    QWidget root;
    velkRoot(&root);
    EXPECT_EQ(root.palette().color(QPalette::Link), QColor(0x9E, 0xCF, 0xFF));
    EXPECT_EQ(root.palette().color(QPalette::Window), VELKKitHost::theme().bg);
    EXPECT_TRUE(root.autoFillBackground());
}

TEST(KitPieces, PlainLabelsShowTheirAmpersand)
{
    const QString title = QStringLiteral("R&D Tools");
    QLabel label;
    vkPlain(&label, title);
    EXPECT_EQ(label.text(), title);
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

// Shapes, not widgets, are laid out: panels sit the spacing apart and flush with the margins,
// a fitted panel is only as tall as it needs, and a fixed button keeps its own size.
TEST_F(Pieces, OverhangLaysOutTheDrawnShapes)
{
    QWidget row;
    auto *layout = new QHBoxLayout(&row);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(16);
    auto *tall = new Bezel(new QLabel(QStringLiteral("one\ntwo\nthree\nfour")));
    auto *shortOne = new Bezel(new QLabel(QStringLiteral("one")));
    auto *button = new VKChromeButton(QStringLiteral("Open"));
    VKOverhangItem::add(layout, tall, Bezel::shadowMargins(), true, 1);
    VKOverhangItem::add(layout, shortOne, Bezel::shadowMargins(), true, 1);
    VKOverhangItem::add(layout, button, VKChromeButton::shadowMargins());
    row.resize(600, 300);
    row.show();

    const auto panel = [](Bezel *b) { return b->panelRect().translated(b->pos()); };
    EXPECT_EQ(panel(tall).left(), 18);
    EXPECT_EQ(panel(tall).top(), 18);
    EXPECT_EQ(panel(shortOne).left() - panel(tall).right(), 16);
    EXPECT_LT(panel(shortOne).height(), panel(tall).height());
    EXPECT_EQ(panel(shortOne).top(), 18);
    EXPECT_EQ(button->size(), button->sizeHint());
    EXPECT_EQ(button->capsuleRect().translated(button->pos()).left() - panel(shortOne).right(), 16);
}
