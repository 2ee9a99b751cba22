#include "kit/bezel.h"
#include "kit/chromebutton.h"
#include "kit/overhangitem.h"
#include "kitfixture.h"

#include <QHBoxLayout>
#include <QLabel>

using Overhang = KitTest;

// Shapes, not widgets, are laid out: panels sit the spacing apart and flush with the margins,
// a fitted panel is only as tall as it needs, and a fixed button keeps its own size.
TEST_F(Overhang, LaysOutTheDrawnShapes)
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
