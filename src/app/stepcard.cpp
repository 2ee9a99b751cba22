#include "app/stepcard.h"

#include "app/sheets/sheetparts.h"
#include "app/textlabel.h"
#include "kit/help/help.h"
#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The number, white on an accent disc with a chrome edge.
class Badge : public QWidget {
public:
    Badge(QString text, QWidget *parent) : QWidget(parent), text_(std::move(text))
    {
        setFixedSize(24, 24);
        setAccessibleName(text_);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        QPainterPath disc;
        disc.addEllipse(r);
        p.fillPath(disc, VELKKitHost::theme().accent);
        QPainterPath edge;
        edge.addEllipse(VKPaint::edgeRect(r, 1));
        p.strokePath(edge, QPen(QBrush(LWStyle::chromeRim(r)), 1));
        p.setPen(Qt::white);
        vkDrawText(p, r, Qt::AlignCenter, text_, vkFont(13, VKWeight::Black));
    }

private:
    QString text_;
};

} // namespace

StepCard::StepCard(qint64 n, const QString &title, const QString &text, const QString &help, QWidget *parent)
    : QWidget(parent), n_(n), help_(help)
{
    const VKKitTheme theme = LWStyle::t();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    auto *head = new QHBoxLayout;
    head->setSpacing(8);
    head->addWidget(new Badge(badgeText(), this), 0, Qt::AlignVCenter);
    head->addWidget(lwTextLabel(title, 14, VKWeight::Bold), 1, Qt::AlignVCenter);
    column->addLayout(head);
    column->addWidget(lwTextLabel(text, 11.5, VKWeight::Normal, theme.dim, true));

    QPushButton *link = lwLinkButton(QStringLiteral("Show me how"), 11, this);
    connect(link, &QPushButton::clicked, this, [this] { VELKHelp::show(help_); });
    link_ = link;
    column->addWidget(link, 0, Qt::AlignLeft);
    column->addStretch(1);
}

QString StepCard::badgeText() const
{
    return QString::number(n_);
}
