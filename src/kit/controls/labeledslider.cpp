#include "kit/controls/labeledslider.h"

#include "kit/theme/style.h"
#include "kit/paint/uifont.h"

#include <QHBoxLayout>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace {

const QByteArray defaultFormat = QByteArrayLiteral("%.0f");

QFont captionFont()
{
    return vkFont(10.5, VKWeight::Bold);
}

QFont readoutFont()
{
    return vkMono(10.5);
}

// Exactly one conversion of a double (flags, width and precision allowed) besides "%%": anything
// else would hand snprintf arguments it does not have.
bool safeFormat(const QByteArray &f)
{
    int conversions = 0;
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (f[i] != '%')
            continue;
        if (++i < f.size() && f[i] == '%')
            continue;
        while (i < f.size() && QByteArray("-+ #0").contains(f[i]))
            ++i;
        while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])))
            ++i;
        if (i < f.size() && f[i] == '.') {
            ++i;
            while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])))
                ++i;
        }
        if (i >= f.size() || !QByteArray("fFeEgGaA").contains(f[i]))
            return false;
        ++conversions;
    }
    return conversions == 1;
}

int rowHeight(int sliderHeight)
{
    const double text = std::max(vkTextSize(captionFont(), QStringLiteral("Ag")).height(),
                                 vkTextSize(readoutFont(), QStringLiteral("0")).height());
    return std::max(sliderHeight, static_cast<int>(std::ceil(text)));
}

} // namespace

LabeledSlider::LabeledSlider(const QString &label, LWSlider::Getter get, LWSlider::Setter set, double lower,
                             double upper, double step, const QString &format, const QString &unit,
                             QWidget *parent)
    : QWidget(parent), label_(label), get_(get), format_(format.toUtf8()), unit_(unit),
      slider_(new LWSlider(std::move(get), std::move(set), lower, upper, step, this))
{
    if (!safeFormat(format_))
        format_ = defaultFormat;
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(captionWidth + gap, 0, gap + readoutWidth, 0);
    row->setSpacing(0);
    row->addWidget(slider_, 1, Qt::AlignVCenter);
    slider_->setAccessibleName(label);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LabeledSlider::setRange(double lower, double upper)
{
    slider_->setRange(lower, upper);
    update();
}

QString LabeledSlider::readout() const
{
    return readout(QString::fromUtf8(format_), get_(), unit_);
}

QString LabeledSlider::readout(const QString &format, double value, const QString &unit)
{
    QByteArray f = format.toUtf8();
    if (!safeFormat(f))
        f = defaultFormat;
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, f.constData(), value);
    return (n < 0 ? QString() : QString::fromUtf8(buffer)) + unit;
}

QSize LabeledSlider::sizeHint() const
{
    return QSize(captionWidth + gap + slider_->sizeHint().width() + gap + readoutWidth,
                 rowHeight(slider_->sizeHint().height()));
}

QSize LabeledSlider::minimumSizeHint() const
{
    return QSize(captionWidth + gap + slider_->minimumSizeHint().width() + gap + readoutWidth,
                 rowHeight(slider_->sizeHint().height()));
}

void LabeledSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const double h = height();
    p.setPen(LWStyle::t().dim);
    const QFont caption = captionFont();
    vkDrawText(p, QRectF(0, 0, captionWidth, h), Qt::AlignLeft | Qt::AlignVCenter,
               vkElidedText(caption, label_, captionWidth), caption);
    p.setPen(LWStyle::lcdText());
    vkDrawText(p, QRectF(width() - readoutWidth, 0, readoutWidth, h), Qt::AlignRight | Qt::AlignVCenter,
               readout(), readoutFont());
}
