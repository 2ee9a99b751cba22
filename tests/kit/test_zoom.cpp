#include "kit/controls/chromebutton.h"
#include "kit/paint/uifont.h"
#include "kit/theme/themeroot.h"
#include "kit/zoom/zoomcommands.h"
#include "kit/zoom/zoomhost.h"
#include "kitfixture.h"

#include <QDropEvent>
#include <QElapsedTimer>
#include <QGraphicsProxyWidget>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <functional>

namespace {

using Zoom = KitTest;

double stored() { return LWSettings::shared().value(VKZoom::key).toDouble(); }

// The device-pixel bounding box of the pixels that pass `keep`, within `area` (the whole image
// when empty).
template <typename Keep> QRect inkBoxOf(const QImage &img, Keep keep, QRect area = {})
{
    area = area.isEmpty() ? img.rect() : area & img.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (keep(img.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// Takes file drops and keeps their addresses.
class DropTarget : public QWidget {
public:
    QList<QUrl> dropped;
    void dragEnterEvent(QDragEnterEvent *e) override { e->setAccepted(e->mimeData()->hasUrls()); }
    void dragMoveEvent(QDragMoveEvent *e) override { e->setAccepted(e->mimeData()->hasUrls()); }
    void dropEvent(QDropEvent *e) override { dropped = e->mimeData()->urls(); }
};

// The shell's window: View menu, theme root, a host offered 1500 × 940 with the shell's minimum,
// content with a button, a line edit and a drop target at fixed logical places.
struct Window {
    Window()
    {
        VKZoomCommands::addTo(main.menuBar()->addMenu(QStringLiteral("View")));
        root = new VELKThemeRoot([this] {
            auto *content = new QWidget;
            (button = new QPushButton(QStringLiteral("Press"), content))->setGeometry(100, 100, 120, 30);
            QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
            (field = new QLineEdit(content))->setGeometry(300, 100, 200, 30);
            (drop = new DropTarget)->setParent(content);
            drop->setAcceptDrops(true);
            drop->setGeometry(600, 100, 200, 100);
            return host = new VKZoomHost(content, {1480, 760});
        });
        main.setCentralWidget(root);
        main.show();
        main.resize(1500, 940 + main.height() - root->height());
    }
    QScrollBar *bar(Qt::Orientation o) const
    {
        return o == Qt::Horizontal ? host->horizontalScrollBar() : host->verticalScrollBar();
    }
    bool home() const { return bar(Qt::Horizontal)->value() == 0 && bar(Qt::Vertical)->value() == 0; }
    void toFarCorner() const
    {
        for (QScrollBar *b : {bar(Qt::Horizontal), bar(Qt::Vertical)})
            b->setValue(b->maximum());
    }
    // Where the centre of a content widget lands in the viewport.
    QPoint at(QWidget *w) const { return w->geometry().center() * host->currentLayout().zoom; }

    QMainWindow main;
    VELKThemeRoot *root;
    VKZoomHost *host;
    QPushButton *button;
    QLineEdit *field;
    DropTarget *drop;
    int clicks = 0;
};

} // namespace

TEST_F(Zoom, ClampAndValue)
{
    const struct { double in, out; } clamps[] = {
        {0.5, 0.85}, {3, 2.0}, {1.234, 1.23}, {1.006, 1.01}, {0.845, 0.85}, {0.855, 0.86}, {NAN, 1.0}};
    for (const auto &c : clamps)
        EXPECT_EQ(VKZoom::clamp(c.in), c.out) << c.in;

    EXPECT_EQ(VKZoom::value(), 1.0);
    const struct { QVariant in; double out; } values[] = {
        {5, 2.0}, {0.5, 0.85}, {0, 1.0}, {"nan", 1.0}, {"inf", 1.0}, {"abc", 1.0}};
    for (const auto &c : values) {
        LWSettings::shared().setValue(VKZoom::key, c.in);
        EXPECT_EQ(VKZoom::value(), c.out) << c.in.toString().toStdString();
    }
}

TEST_F(Zoom, MenuItemsStepAndStopAtTheLimits)
{
    QMenu menu;
    VKZoomCommands::addTo(&menu);
    const QList<QAction *> top = menu.actions();
    QStringList texts;
    for (QAction *a : top + top[3]->menu()->actions())
        texts.append(a->text());
    EXPECT_EQ(texts, (QStringList{"Zoom In", "Zoom Out", "Actual Size (100%)", "Zoom Level", "", "85%", "100%",
                                  "115%", "130%", "150%", "175%", "200%"}));
    EXPECT_TRUE(top[4]->isSeparator());
    EXPECT_EQ(top[0]->shortcuts(), (QList<QKeySequence>{QKeySequence::ZoomIn, QKeySequence("Ctrl+=")}));
    EXPECT_EQ(top[1]->shortcuts(), QKeySequence::keyBindings(QKeySequence::ZoomOut));
    EXPECT_EQ(top[2]->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+0")});

    const struct { QAction *action; QList<double> values; } runs[] = {
        {top[0], {1.15}}, {top[1], {1.0}}, {top[0], {1.15, 1.3, 1.45, 1.6, 1.75, 1.9, 2.0, 2.0}},
        {top[1], {1.85, 1.7, 1.55, 1.4, 1.25, 1.1, 0.95, 0.85, 0.85}}, {top[3]->menu()->actions()[4], {1.5}},
        {top[2], {1.0}}};
    for (const auto &run : runs) {
        for (const double want : run.values) {
            run.action->trigger();
            EXPECT_EQ(stored(), want) << run.action->text().toStdString();
        }
    }
    for (const double limit : {2.0, 0.85}) {
        VKZoom::setValue(limit);
        for (QAction *a : top + top[3]->menu()->actions())
            EXPECT_TRUE(a->isEnabled() && !a->isCheckable()) << a->text().toStdString();
    }
}

TEST_F(Zoom, LayoutKeepsTheMinimumAndShowsBarsPastOnePoint)
{
    const struct { QSizeF offered; double zoom; QSizeF logical; bool bars; } cases[] = {
        {{1500, 940}, 1.0, {1500, 940}, false},
        {{1500, 940}, 2.0, {1480, 760}, true},
        {{1479.5, 800}, 1.0, {1480, 800}, false},
        {{1478.5, 800}, 1.0, {1480, 800}, true},
    };
    for (const auto &c : cases) {
        const VKZoom::Layout got = VKZoom::layout(c.offered, c.zoom, {1480, 760});
        EXPECT_EQ(got.logical, c.logical) << c.offered.width() << " at " << c.zoom;
        EXPECT_EQ(got.scaled, c.logical * c.zoom) << c.offered.width() << " at " << c.zoom;
        EXPECT_EQ(got.indicators, c.bars) << c.offered.width() << " at " << c.zoom;
    }
}

TEST_F(Zoom, HostScalesContentAndFollowsTheSetting)
{
    VKZoom::setValue(2.0);
    Window w;
    ASSERT_EQ(w.host->size(), QSize(1500, 940));
    EXPECT_EQ(w.host->viewport()->size(), QSize(1500, 940)); // the bars lie over the content
    EXPECT_EQ(w.host->content()->size(), QSize(1480, 760));
    EXPECT_EQ(w.host->sceneRect(), QRectF(0, 0, 2960, 1520));
    EXPECT_EQ(w.bar(Qt::Horizontal)->maximum(), 2960 - 1500);
    EXPECT_EQ(w.bar(Qt::Vertical)->maximum(), 1520 - 940);
    QTest::mouseClick(w.host->viewport(), Qt::LeftButton, {}, w.at(w.button));
    EXPECT_EQ(w.clicks, 1);

    // Written elsewhere, not through VKZoom. A fractional logical size is rounded up.
    LWSettings::shared().setValue(VKZoom::key, 1.15);
    EXPECT_EQ(w.host->content()->size(), QSize(1480, 818)); // 940 / 1.15 = 817.4
    LWSettings::shared().setValue(VKZoom::key, 1.0);
    EXPECT_EQ(w.host->content()->size(), QSize(1500, 940));
    EXPECT_EQ(w.host->sceneRect(), QRectF(0, 0, 1500, 940));
    EXPECT_EQ(w.host->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(w.host->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

// A change scrolls home at once and undoes a layout's scroll during the next 1.6 s, but never a
// scroll the user makes: by wheel, by dragging a bar, or by keys.
TEST_F(Zoom, ZoomAndResizeScrollHomeButNeverOverTheUser)
{
    VKZoom::setValue(2.0);
    Window w;
    QScrollBar *vertical = w.bar(Qt::Vertical);
    const auto wheel = [&w] {
        const QPointF at(700, 500);
        QWheelEvent e(at, w.host->viewport()->mapToGlobal(at), {}, QPoint(0, -240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w.host->viewport(), &e);
    };
    const auto drag = [vertical] {
        vertical->setSliderDown(true);
        vertical->setSliderPosition(200);
        vertical->setSliderDown(false);
    };
    const auto keys = [&w] { QTest::keyClick(w.host, Qt::Key_PageDown); };
    const struct {
        const char *name;
        std::function<void()> change, user;
    } cases[] = {
        {"zoom, wheel", [] { VKZoom::setValue(1.9); }, wheel},
        {"resize, drag", [&w] { w.main.resize(w.main.size() + QSize(40, 30)); }, drag},
        {"zoom, keys", [] { VKZoom::setValue(2.0); }, keys},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        w.toFarCorner();
        QElapsedTimer clock;
        clock.start();
        c.change();
        EXPECT_TRUE(w.home());
        // A late layout pass that scrolls is undone by the next turn.
        QTest::qWait(100);
        vertical->setValue(300);
        EXPECT_TRUE(QTest::qWaitFor([&w] { return w.home(); }, 1000));
        // The user's own scroll stays, also past the last turn.
        c.user();
        const int scrolled = vertical->value();
        EXPECT_GT(scrolled, 0);
        QTest::qWait(2000 - int(clock.elapsed())); // past the last turn at 1.6 s
        EXPECT_EQ(vertical->value(), scrolled);
    }
    // Writing the same zoom again is no change.
    vertical->setValue(100);
    VKZoom::setValue(2.0);
    EXPECT_EQ(vertical->value(), 100);
}

TEST_F(Zoom, EmptySpotsShowTheRootBackground)
{
    VELKThemeRoot bare([] { return new QWidget; });
    bare.resize(1500, 940);
    const QImage want = bare.grab().toImage();
    for (const double zoom : {1.0, 2.0}) {
        VKZoom::setValue(zoom);
        Window w;
        const QImage got = w.root->grab().toImage();
        for (const QPoint p : {QPoint(60, 400), QPoint(20, 20)})
            EXPECT_EQ(got.pixelColor(p), want.pixelColor(p)) << zoom << " at " << p.x() << "," << p.y();
    }
}

// With the focus inside: window shortcuts. Then a file drop on an inner widget, and its cursor.
TEST_F(Zoom, InputReachesTheScaledContent)
{
    VKZoom::setValue(2.0);
    Window w;
    w.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.main));
    w.field->setFocus();
    ASSERT_TRUE(w.field->hasFocus());
    QTest::keyClick(w.main.windowHandle(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(stored(), 1.0);
    QTest::keyClick(w.main.windowHandle(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(stored(), 1.15);

    QMimeData mime;
    const QList<QUrl> urls{QUrl::fromLocalFile(QStringLiteral("/tmp/photo.jpg"))};
    mime.setUrls(urls);
    QWidget *viewport = w.host->viewport();
    const QPoint p = w.at(w.drop);
    QDragEnterEvent enter(p, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QDragMoveEvent move(p, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QDropEvent drop(p, Qt::CopyAction, &mime, Qt::LeftButton, {});
    for (QEvent *e : std::initializer_list<QEvent *>{&enter, &move, &drop})
        QCoreApplication::sendEvent(viewport, e);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(w.drop->dropped, urls);

    QTest::mouseMove(viewport, w.at(w.field));
    EXPECT_EQ(viewport->cursor().shape(), Qt::IBeamCursor);
}

// A chrome button inside the host at every zoom level and device scale: the capsule is drawn at
// the laid-out box's size, nothing spills out of the box, and the whole label lies inside it.
TEST_F(Zoom, ChromeButtonsDrawAtTheirBoxAtEveryZoomAndScale)
{
    const QString title = QStringLiteral("Browse the Template Library");
    for (const double zoom : {0.85, 1.0, 1.15, 1.3, 1.5, 2.0})
        for (const int dpr : {1, 2}) {
            SCOPED_TRACE(testing::Message() << zoom << " x" << dpr);
            VKZoom::setValue(zoom);
            auto *content = new QWidget;
            content->setAttribute(Qt::WA_NoSystemBackground); // only the button on the shot
            auto *column = new QVBoxLayout(content);
            column->setContentsMargins(40, 40, 0, 0);
            auto *button = new VKChromeButton(title);
            column->addWidget(button, 0, Qt::AlignLeft | Qt::AlignTop);
            column->addStretch(1);
            VKZoomHost host(content, {600, 300});
            host.resize(1300, 700);
            host.show();
            QCoreApplication::processEvents();
            ASSERT_EQ(host.currentLayout().zoom, zoom);
            EXPECT_EQ(button->size(), button->sizeHint());

            QImage shot(host.viewport()->size() * dpr, QImage::Format_ARGB32_Premultiplied);
            shot.setDevicePixelRatio(dpr);
            shot.fill(Qt::transparent);
            host.viewport()->render(&shot, {}, {}, QWidget::DrawChildren);
            const double s = zoom * dpr;
            const auto device = [s](const QRectF &r) { return QRectF(r.topLeft() * s, r.size() * s); };
            const QRectF box = device(QRectF(button->geometry()));
            const QRectF capsule = device(button->capsuleRect().translated(button->pos()));

            // Everything inside the box; the opaque face spans the capsule.
            const QRect ink = inkBoxOf(shot, [](QRgb p) { return qAlpha(p) > 0; });
            EXPECT_TRUE(box.adjusted(-1, -1, 1, 1).contains(QRectF(ink))) << ink.x() << "," << ink.width();
            const QRect face = inkBoxOf(shot, [](QRgb p) { return qAlpha(p) == 255; });
            EXPECT_NEAR(face.left(), capsule.left(), 2);
            EXPECT_NEAR(face.right() + 1, capsule.right(), 2);
            EXPECT_NEAR(face.top(), capsule.top(), 2);
            EXPECT_NEAR(face.bottom() + 1, capsule.bottom(), 2);

            // The label: the bright text pixels, centred in the capsule and as wide as the title.
            const QRect label = inkBoxOf(shot, [](QRgb p) { return qRed(p) > 215 && qGreen(p) > 215 && qAlpha(p) == 255; },
                                         capsule.adjusted(2 * s, 2 * s, -2 * s, -2 * s).toRect());
            ASSERT_FALSE(label.isEmpty());
            EXPECT_NEAR(QRectF(label).center().x(), capsule.center().x(), 2 * s);
            EXPECT_NEAR(QRectF(label).center().y(), capsule.center().y(), 3 * s);
            EXPECT_GT(label.width(), 0.9 * vkTextSize(button->labelFont(), title).width() * s);
        }
}

// Zoomed past the window, Tab and Backtab scroll the view to the control they reach.
TEST_F(Zoom, TheViewFollowsTheKeyboard)
{
    VKZoom::setValue(2.0);
    Window w;
    auto *far = new QPushButton(QStringLiteral("Far"), w.host->content());
    far->setGeometry(1300, 700, 120, 30);
    far->show();
    w.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.main));
    const auto inView = [&w](const QWidget *c) {
        const QRect shown = w.host->mapFromScene(w.host->proxy()->mapRectToScene(QRectF(c->geometry()))).boundingRect();
        return w.host->viewport()->rect().contains(shown);
    };
    w.field->setFocus();
    ASSERT_TRUE(inView(w.field));
    ASSERT_FALSE(inView(far));
    QTest::keyClick(w.main.windowHandle(), Qt::Key_Tab);
    ASSERT_TRUE(far->hasFocus());
    EXPECT_TRUE(inView(far));
    QTest::keyClick(w.main.windowHandle(), Qt::Key_Backtab);
    ASSERT_TRUE(w.field->hasFocus());
    EXPECT_TRUE(inView(w.field));
}
