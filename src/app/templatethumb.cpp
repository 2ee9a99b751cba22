#include "app/templatethumb.h"

#include "app/thumbs.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double cornerRadius = 3;
constexpr double shadowBlur = 3;
constexpr QPointF shadowOffset(0, 2);
constexpr int spokes = 8;

void paintSpinner(QPainter &painter, QPointF centre, double outer, double phase)
{
    const double inner = outer * 0.45;
    QColor colour = LWStyle::t().text;
    const int head = int(std::floor(phase * spokes)) % spokes;
    painter.save();
    painter.translate(centre);
    for (int i = 0; i < spokes; ++i) {
        // The head spoke is solid; those behind it fade.
        const int behind = (head - i + spokes) % spokes;
        colour.setAlphaF(float(1.0 - 0.75 * behind / (spokes - 1)));
        painter.setPen(QPen(colour, outer * 0.25, Qt::SolidLine, Qt::RoundCap));
        const double a = 2 * std::numbers::pi * i / spokes - std::numbers::pi / 2;
        const QPointF dir(std::cos(a), std::sin(a));
        painter.drawLine(dir * inner, dir * outer);
    }
    painter.restore();
}

} // namespace

QSizeF templateThumbFrame(const LWTemplate &tpl, double height)
{
    // From the preset itself: the ratio wanted here is width to height.
    const LWSizePreset preset = tpl.preset();
    const double ratio = preset.height > 0 ? preset.width / preset.height : 1;
    return {height * ratio, height};
}

QMargins templateThumbMargins()
{
    return VKPaint::shadowMargins(shadowBlur, shadowOffset);
}

void paintTemplateThumb(QPainter &painter, QRectF frame, const std::optional<QImage> &image,
                        std::optional<double> spinnerPhase)
{
    if (frame.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(frame.topLeft());
    const QRectF local(QPointF(0, 0), frame.size());
    const QPainterPath shape = VKPaint::roundedRect(local, cornerRadius);
    if (image && !image->isNull()) {
        VKPaint::drawRoundedShadow(painter, local, cornerRadius, QColor(0, 0, 0, 115), shadowBlur, shadowOffset);
        // The raster engine antialiases clip paths, so the corners stay smooth.
        painter.setClipPath(shape, Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(local, *image);
    } else {
        painter.fillPath(shape, QColor(255, 255, 255, 20));
        if (spinnerPhase)
            paintSpinner(painter, local.center(), std::min(8.0, local.height() / 4), *spinnerPhase);
    }
    painter.restore();
}

LWSpinnerClock &LWSpinnerClock::shared()
{
    // A child of the application object, so its timer goes before the event loop does.
    static QPointer<LWSpinnerClock> clock;
    if (!clock)
        clock = new LWSpinnerClock(qApp);
    return *clock;
}

LWSpinnerClock::LWSpinnerClock(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(stepMs);
    connect(&m_timer, &QTimer::timeout, this, &LWSpinnerClock::tick);
    m_clock.start();
}

void LWSpinnerClock::hold(const QObject *holder)
{
    m_holders.insert(holder);
    if (!m_timer.isActive())
        m_timer.start();
}

void LWSpinnerClock::release(const QObject *holder)
{
    if (m_holders.remove(holder) && m_holders.isEmpty())
        m_timer.stop();
}

double LWSpinnerClock::phase() const
{
    const qint64 turn = qint64(stepMs) * spokes;
    return double(m_clock.elapsed() % turn) / double(turn);
}

TemplateThumb::TemplateThumb(LWTemplate tpl, int page, double height, LWThumbs *store, QWidget *parent)
    : QWidget(parent), m_tpl(std::move(tpl)), m_page(page), m_height(height),
      m_store(store ? store : &LWThumbs::shared()), m_key(LWThumbs::key(m_tpl.id, page, height))
{
    connect(m_store, &LWThumbs::changed, this, [this](const QString &key) {
        if (key == m_key)
            update();
    });
    connect(&LWSpinnerClock::shared(), &LWSpinnerClock::tick, this, [this] {
        if (m_spinning)
            update();
    });
}

TemplateThumb::~TemplateThumb()
{
    spin(false);
}

QRectF TemplateThumb::frameRect() const
{
    const QSizeF size = templateThumbFrame(m_tpl, std::isfinite(m_height) ? std::max(m_height, 0.0) : 0.0);
    // Whole-pixel origin: the image's edges stay crisp at 100 %.
    return {QPointF(std::floor((width() - size.width()) / 2), std::floor((height() - size.height()) / 2)), size};
}

QSize TemplateThumb::sizeHint() const
{
    const QSizeF size = frameRect().size();
    const QMargins m = templateThumbMargins();
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height()))).grownBy(m);
}

void TemplateThumb::paintEvent(QPaintEvent *)
{
    std::optional<QImage> image;
    if (m_store)
        image = m_store->image(m_tpl, m_page, m_height);
    // A spinner only while a job is still to come: never for a failed key or a refused height.
    const bool waiting = !image && m_store && m_key && !m_store->isShutDown() && !m_store->failed().contains(*m_key);
    spin(waiting);
    QPainter painter(this);
    paintTemplateThumb(painter, frameRect(), image, waiting ? std::optional(LWSpinnerClock::shared().phase()) : std::nullopt);
}

void TemplateThumb::hideEvent(QHideEvent *event)
{
    spin(false);
    QWidget::hideEvent(event);
}

void TemplateThumb::spin(bool on)
{
    if (on == m_spinning)
        return;
    m_spinning = on;
    if (on)
        LWSpinnerClock::shared().hold(this);
    else
        LWSpinnerClock::shared().release(this);
}
