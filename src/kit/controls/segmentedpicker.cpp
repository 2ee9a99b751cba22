#include "kit/controls/segmentedpicker.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/theme/focusring.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double radius = 6;
constexpr int segmentHeight = 24;
constexpr int labelGap = 8;

QFont segmentFont()
{
    return vkFont(12, VKWeight::Semibold);
}

// One choice: paints only itself; the track behind all of them is the strip's.
class Segment : public QAbstractButton {
public:
    Segment(const QString &title, bool first, bool last, QWidget *parent)
        : QAbstractButton(parent), title_(title), first_(first), last_(last)
    {
        setCheckable(true);
        setAccessibleName(title);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        VKFocusRing::repaintOnFocus(this, parent); // the track shows the ring
    }

    QSize sizeHint() const override
    {
        const double content = symbol_.isEmpty() ? vkTextSize(segmentFont(), title_).width() : symbolSize;
        return QSize(static_cast<int>(std::ceil(content)) + 20, segmentHeight);
    }
    QSize minimumSizeHint() const override { return QSize(0, segmentHeight); }

    void setSymbol(const QString &symbol)
    {
        symbol_ = symbol;
        setToolTip(title_);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (!isEnabled())
            p.setOpacity(VKPaint::disabledOpacity);
        const VKKitTheme theme = VELKKitHost::theme();
        const QRectF r = QRectF(rect()).adjusted(first_ ? 1 : 0, 1, last_ ? -1 : 0, -1);
        if (isChecked()) {
            QColor top = theme.accent, bottom = theme.accent;
            top.setAlphaF(0.95f);
            bottom.setAlphaF(0.65f);
            p.fillPath(VKPaint::roundedRect(r.adjusted(1, 1, -1, -1), radius - 2), VKPaint::vertical(r, {top, bottom}));
        } else if (!last_) {
            p.setPen(QPen(QColor(255, 255, 255, 40), 1));
            p.drawLine(QPointF(r.right() - 0.5, r.top() + 5), QPointF(r.right() - 0.5, r.bottom() - 5));
        }
        if (isDown() && isEnabled())
            p.setOpacity(0.75);
        const QColor ink = isChecked() ? QColor(Qt::white) : theme.text;
        if (!symbol_.isEmpty()) {
            VKSymbols::paint(p, symbol_, QRectF(r.center() - QPointF(symbolSize, symbolSize) / 2, QSizeF(symbolSize, symbolSize)),
                             ink);
            return;
        }
        p.setPen(ink);
        vkDrawText(p, r, Qt::AlignCenter, vkElidedText(segmentFont(), title_, r.width() - 8), segmentFont());
    }

private:
    static constexpr double symbolSize = 14;
    QString title_, symbol_;
    bool first_, last_;
};

// The sunken track the segments sit on.
class Strip : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (!isEnabled())
            p.setOpacity(VKPaint::disabledOpacity);
        const QRectF r(rect());
        p.fillPath(VKPaint::roundedRect(r, radius),
                   VKPaint::vertical(r, {QColor::fromRgbF(0.12f, 0.12f, 0.12f), QColor::fromRgbF(0.26f, 0.26f, 0.26f)}));
        p.strokePath(VKPaint::roundedEdge(r, radius, 1), QPen(QBrush(LWStyle::chromeRim(r)), 1));
        const QWidgetList segments = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        if (std::any_of(segments.begin(), segments.end(), [](const QWidget *s) { return s->hasFocus(); }))
            VKFocusRing::paint(p, VKPaint::roundedRect(r, radius));
    }
};

} // namespace

SegmentedPicker::SegmentedPicker(const QString &label, const QStringList &segments, int width, QWidget *parent)
    : QWidget(parent), group_(new QButtonGroup(this))
{
    group_->setExclusive(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(labelGap);
    if (!label.isEmpty()) {
        label_ = new QLabel(this);
        vkPlain(label_, label);
        label_->setFont(vkFont(12));
        row->addWidget(label_);
    }
    auto *strip = new Strip(this);
    strip->setFixedHeight(segmentHeight);
    auto *segs = new QHBoxLayout(strip);
    segs->setContentsMargins(0, 0, 0, 0);
    segs->setSpacing(0);
    for (qsizetype i = 0; i < segments.size(); ++i) {
        auto *s = new Segment(segments[i], i == 0, i == segments.size() - 1, strip);
        group_->addButton(s, static_cast<int>(i));
        segs->addWidget(s, 1);
    }
    row->addWidget(strip, 1);
    setAccessibleName(label);
    if (width > 0)
        setFixedWidth(width);
    setSizePolicy(width > 0 ? QSizePolicy::Fixed : QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedPicker::picked);
}

int SegmentedPicker::current() const
{
    return group_->checkedId();
}

void SegmentedPicker::setCurrent(int index)
{
    if (QAbstractButton *b = segment(index))
        b->setChecked(true);
}

int SegmentedPicker::count() const
{
    return static_cast<int>(group_->buttons().size());
}

void SegmentedPicker::setSymbol(int index, const QString &symbol)
{
    if (auto *s = static_cast<Segment *>(segment(index)))
        s->setSymbol(symbol);
}

QAbstractButton *SegmentedPicker::segment(int index) const
{
    return group_->button(index);
}
