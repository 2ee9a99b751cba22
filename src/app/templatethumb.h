#pragma once
#include "templates/template.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QTimer>
#include <QWidget>
#include <optional>

class LWThumbs;
class QPainter;

// The frame a template's page is shown in at `height` points: as wide as its size preset's
// width-to-height ratio makes it.
[[nodiscard]] QSizeF templateThumbFrame(const LWTemplate &tpl, double height);

// The room the thumbnail's shadow needs around its frame.
[[nodiscard]] QMargins templateThumbMargins();

// One thumbnail in `frame`: the image stretched to fill it, corners rounded (radius 3), casting
// a shadow (black 45 %, blur 3, 2 down); without an image the placeholder, white 8 % with the
// same corners and, when `spinnerPhase` (0 <= phase < 1) is given, a small spinner in the middle.
void paintTemplateThumb(QPainter &painter, QRectF frame, const std::optional<QImage> &image,
                        std::optional<double> spinnerPhase);

// The clock of every thumbnail spinner: one timer, running while anything holds it.
class LWSpinnerClock : public QObject {
    Q_OBJECT
public:
    static constexpr int stepMs = 100; // one spoke per step, eight steps a turn

    static LWSpinnerClock &shared();
    explicit LWSpinnerClock(QObject *parent = nullptr);

    // Holding twice is holding once; a destroyed holder must release first.
    void hold(const QObject *holder);
    void release(const QObject *holder);
    bool isRunning() const { return m_timer.isActive(); }
    double phase() const;

Q_SIGNALS:
    void tick();

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    QSet<const QObject *> m_holders;
};

// One page of one template at a given height, from the thumbnail store: the image once it is
// ready, until then the placeholder, with a spinner while the image is still being made.
// The widget keeps templateThumbMargins() around the frame and centres the frame in itself.
class TemplateThumb : public QWidget {
    Q_OBJECT
public:
    // The shared store when `store` is null.
    TemplateThumb(LWTemplate tpl, int page, double height, LWThumbs *store = nullptr, QWidget *parent = nullptr);
    ~TemplateThumb() override;

    QRectF frameRect() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void spin(bool on);

    LWTemplate m_tpl;
    int m_page;
    double m_height;
    QPointer<LWThumbs> m_store;
    std::optional<QString> m_key;
    bool m_spinning = false;
};
