#include "shell/appicon.h"
#include "shell/startup.h"

#include "kit/host/about.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const QColor accent(0x2F, 0x7B, 0xF2);

bool nearAccent(const QColor &c)
{
    const int distance = std::abs(c.red() - accent.red()) + std::abs(c.green() - accent.green()) +
                         std::abs(c.blue() - accent.blue());
    return c.alpha() == 255 && distance <= 24;
}

// Pixels of the about box's icon slot near the accent blue.
int blueInAboutIcon()
{
    VELKAboutView view;
    view.resize(440, 380);
    const QImage image = view.grab().toImage();
    const QRect slot = view.iconSlot()->geometry();
    int blue = 0;
    for (int y = slot.top(); y <= slot.bottom(); ++y)
        for (int x = slot.left(); x <= slot.right(); ++x)
            blue += nearAccent(image.pixelColor(x, y));
    return blue;
}

} // namespace

// Every size drawn, none blank: the accent blue and transparent corners in each.
TEST(AppIcon, EverySizeIsDrawn)
{
    for (int size : LWAppIcon::sizes) {
        const QImage image =
            QImage(LWAppIcon::file(LWAppIcon::folder(), size)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        int transparent = 0, blue = 0, white = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QColor c = image.pixelColor(x, y);
                transparent += c.alpha() == 0;
                blue += nearAccent(c);
                white += c.alpha() == 255 && c.red() > 230 && c.green() > 230 && c.blue() > 230;
            }
        EXPECT_GT(transparent, 0) << size;
        EXPECT_GT(blue, 0) << size;
        EXPECT_GT(white, 0) << size; // the page
    }
}

// Start-up sets the icon before any window exists; the about box then shows it.
TEST(AppIcon, StartUpSetsTheWindowIcon)
{
    QTemporaryDir empty;
    EXPECT_TRUE(LWAppIcon::load(empty.path()).isNull());
    EXPECT_EQ(blueInAboutIcon(), 0);
    LWStartup::prepareApplication();
    EXPECT_GT(blueInAboutIcon(), 200);
    const QIcon icon = QApplication::windowIcon();
    EXPECT_EQ(icon.availableSizes().size(), int(LWAppIcon::sizes.size()));
    for (int size : LWAppIcon::sizes)
        EXPECT_EQ(icon.pixmap(size).size(), QSize(size, size)) << size;
}
