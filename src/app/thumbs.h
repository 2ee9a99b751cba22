#pragma once
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <optional>

struct LWTemplate;

// Thumbnails of template pages, made on one background thread and kept within a byte budget:
// past it the thumbnails looked up least recently go first (those in view are looked up at every
// paint, so they stay), and one dropped is made again when next asked for.
//
// A thumbnail is keyed by template id, page and whole-point height ("card-001#0#118"). Lookups,
// the collections and `changed` belong to the main thread; jobs run one at a time in the order
// they were queued and hand back only a QImage. A key whose render gave no image is failed and
// never queued again. Images are made at the pixel ratio (by default the screens' highest device
// pixel ratio times the interface zoom), so their size in points is the requested size; a
// thumbnail made at another ratio is still handed out while its replacement is made.
class LWThumbs : public QObject {
    Q_OBJECT

public:
    // Heights outside 0 < h <= maxHeight (or not finite) are refused.
    static constexpr double maxHeight = 1e6;
    // Bytes of finished thumbnails kept: some 350 flyer tiles at ratio 2, all of them at 1.
    static constexpr qint64 defaultBudget = qint64(96) << 20;

    // The store of the running application, a child of the application object, shut down on
    // aboutToQuit.
    static LWThumbs &shared();
    explicit LWThumbs(QObject *parent = nullptr);
    ~LWThumbs() override; // shuts down

    // "id#page#height" with the height truncated toward zero; none for a refused height.
    [[nodiscard]] static std::optional<QString> key(const QString &templateID, int page, double height);

    // The finished thumbnail, or none. None for a key neither ready nor failed means a job is
    // now queued for it (the first lookup queues it; later ones find it pending). Main thread.
    [[nodiscard]] std::optional<QImage> image(const LWTemplate &tpl, int page, double height);

    const QHash<QString, QImage> &images() const { return m_images; }
    const QSet<QString> &pending() const { return m_pending; }
    const QSet<QString> &failed() const { return m_failed; }
    qint64 bytes() const { return m_bytes; }

    // The budget in bytes; lowering it drops thumbnails at once.
    qint64 budget() const { return m_budget; }
    void setBudget(qint64 bytes);
    // Pixels per point of new thumbnails; a ratio that is not positive and finite (the default)
    // follows the screens and the interface zoom.
    void setPixelRatio(double ratio) { m_ratio = ratio; }
    [[nodiscard]] double pixelRatio() const;

    // Drops the queued jobs and waits for the running one; nothing is stored or queued after it.
    // Call while the application object still exists.
    void shutdown();
    bool isShutDown() const { return m_shutDown; }

    // The job's work, on any thread: page `page` (clamped to the pages there are) of the
    // template's design, `height` points high at `ratio` pixels per point. None when make() gives
    // no pages, a height or ratio that is not positive and finite, throws, or the renderer refuses.
    [[nodiscard]] static std::optional<QImage> render(const LWTemplate &tpl, int page, double height, double ratio = 2);

Q_SIGNALS:
    // Once per stored image, with its key.
    void changed(const QString &key);

private:
    void complete(const QString &key, const std::optional<QImage> &image);
    void trim(const QString &keep);

    QHash<QString, QImage> m_images;
    QHash<QString, quint64> m_lastUse;
    quint64 m_clock = 0;
    qint64 m_bytes = 0;
    qint64 m_budget = defaultBudget;
    double m_ratio = 0;
    QSet<QString> m_pending;
    QSet<QString> m_failed;
    QThreadPool m_pool;
    bool m_shutDown = false;
};
