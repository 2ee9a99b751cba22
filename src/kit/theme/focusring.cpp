#include "kit/theme/focusring.h"

#include "kit/host/kithost.h"
#include "kit/theme/appstyle.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace VKFocusRing {

QColor colour()
{
    return VKAppStyle::accentText(VELKKitHost::theme());
}

void paint(QPainter &painter, const QPainterPath &shape, const QColor &ink)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1);
    painter.setClipPath(shape, Qt::IntersectClip);
    // Twice the width centred on the outline, half of it clipped away: the ring lies inside.
    painter.strokePath(shape, QPen(ink, 2 * width));
    painter.restore();
}

namespace {

class Watcher : public QObject {
public:
    Watcher(QWidget *control, QWidget *also) : QObject(control), also_(also) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            static_cast<QWidget *>(watched)->update();
            if (also_)
                also_->update();
        }
        return false;
    }

private:
    QPointer<QWidget> also_;
};

} // namespace

void repaintOnFocus(QWidget *control, QWidget *also)
{
    control->installEventFilter(new Watcher(control, also));
}

} // namespace VKFocusRing
