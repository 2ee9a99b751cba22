#include "app/thumbs.h"

#include "kit/zoom/zoom.h"
#include "render/text/fonts.h"
#include "render/renderer.h"
#include "templates/template.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace {

bool usableHeight(double height)
{
    return std::isfinite(height) && height > 0 && height <= LWThumbs::maxHeight;
}

bool usableRatio(double ratio)
{
    return std::isfinite(ratio) && ratio > 0 && ratio <= 16;
}

} // namespace

LWThumbs &LWThumbs::shared()
{
    static QPointer<LWThumbs> store;
    if (!store) {
        store = new LWThumbs(qApp);
        // Jobs draw text: they must end while the application and its fonts still exist.
        if (qApp)
            connect(qApp, &QCoreApplication::aboutToQuit, store, &LWThumbs::shutdown);
    }
    return *store;
}

LWThumbs::LWThumbs(QObject *parent) : QObject(parent)
{
    // One thread: jobs run one at a time, first queued first run.
    m_pool.setMaxThreadCount(1);
}

LWThumbs::~LWThumbs()
{
    shutdown();
}

std::optional<QString> LWThumbs::key(const QString &templateID, int page, double height)
{
    if (!usableHeight(height))
        return std::nullopt;
    return templateID + u'#' + QString::number(page) + u'#' + QString::number(qint64(std::trunc(height)));
}

std::optional<QImage> LWThumbs::image(const LWTemplate &tpl, int page, double height)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const std::optional<QString> k = key(tpl.id, page, height);
    if (!k)
        return std::nullopt;
    const double ratio = pixelRatio();
    std::optional<QImage> found;
    if (const auto it = m_images.constFind(*k); it != m_images.cend()) {
        m_lastUse[*k] = ++m_clock;
        found = *it;
        if (found->devicePixelRatio() == ratio)
            return found;
    }
    if (m_shutDown || m_pending.contains(*k) || m_failed.contains(*k))
        return found;

    // Registration must happen on this thread before any job lays out text; later calls are free.
    LWFonts::registerBundled();
    m_pending.insert(*k);
    m_pool.start([this, tpl, page, height, ratio, k = *k] {
        std::optional<QImage> made = render(tpl, page, height, ratio);
        // The store outlives every job (shutdown waits), and Qt drops this call if it is gone.
        QMetaObject::invokeMethod(
            this, [this, k, made = std::move(made)] { complete(k, made); }, Qt::QueuedConnection);
    });
    return found;
}

double LWThumbs::pixelRatio() const
{
    if (usableRatio(m_ratio))
        return m_ratio;
    const double screens = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const double ratio = std::round(screens * VKZoom::value() * 100) / 100;
    return usableRatio(ratio) ? ratio : 1.0;
}

void LWThumbs::setBudget(qint64 bytes)
{
    m_budget = std::max<qint64>(0, bytes);
    trim({});
}

void LWThumbs::trim(const QString &keep)
{
    while (m_bytes > m_budget) {
        auto oldest = m_lastUse.cend();
        for (auto it = m_lastUse.cbegin(); it != m_lastUse.cend(); ++it)
            if (it.key() != keep && (oldest == m_lastUse.cend() || *it < *oldest))
                oldest = it;
        if (oldest == m_lastUse.cend())
            return;
        const QString key = oldest.key();
        m_bytes -= m_images.value(key).sizeInBytes();
        m_images.remove(key);
        m_lastUse.remove(key);
    }
}

std::optional<QImage> LWThumbs::render(const LWTemplate &tpl, int page, double height, double ratio)
{
    if (!tpl.make || !usableHeight(height) || !usableRatio(ratio))
        return std::nullopt;
    LWDocument doc;
    try {
        doc = tpl.make();
    } catch (...) {
        return std::nullopt; // a job must never take the process down
    }
    if (doc.pages.isEmpty() || !std::isfinite(doc.height) || doc.height <= 0)
        return std::nullopt;
    page = std::clamp(page, 0, int(doc.pages.size()) - 1);
    // A thumbnail never needs more of a picture than its preview.
    LWRenderOptions options;
    options.preview = true;
    std::optional<QImage> bitmap = LWRenderer::bitmap(doc, page, ratio * height / doc.height, false, true, options);
    if (bitmap)
        bitmap->setDevicePixelRatio(ratio);
    return bitmap;
}

void LWThumbs::complete(const QString &key, const std::optional<QImage> &image)
{
    if (m_shutDown)
        return;
    m_pending.remove(key);
    if (!image) {
        m_failed.insert(key);
        return;
    }
    m_bytes += image->sizeInBytes() - m_images.value(key).sizeInBytes();
    m_images.insert(key, *image);
    m_lastUse[key] = ++m_clock;
    trim(key);
    Q_EMIT changed(key);
}

void LWThumbs::shutdown()
{
    m_shutDown = true;
    m_pool.clear();
    m_pool.waitForDone();
    m_pending.clear();
}
