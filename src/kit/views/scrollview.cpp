#include "kit/views/scrollview.h"

#include "kit/views/scrollstyle.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QPointer>
#include <QScrollBar>

namespace {

// One filter for every guarded control; "vkClicked" marks a control clicked since it last took
// the focus by keys or from the program.
class WheelGuard : public QObject {
public:
    static WheelGuard *shared()
    {
        static QPointer<WheelGuard> guard;
        if (!guard) {
            guard = new WheelGuard;
            guard->setParent(QCoreApplication::instance());
        }
        return guard;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *w = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            w->setProperty(clicked, true);
            break;
        case QEvent::FocusIn:
        {
            // Back from its own popup or another window it is as before; by keys or the program
            // it waits for a click.
            const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
            if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason && why != Qt::MouseFocusReason)
                w->setProperty(clicked, false);
            break;
        }
        case QEvent::Wheel:
            if (!(w->hasFocus() && w->property(clicked).toBool())) {
                event->ignore(); // handed on to the parents
                return true;
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    static constexpr const char *clicked = "vkClicked";
};

} // namespace

VKScrollView::VKScrollView(QWidget *content, QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // No Tab stop of its own, which would show nothing: it scrolls to the control Tab reaches.
    // A click in it still takes the keyboard (from a text being typed on the page).
    setFocusPolicy(Qt::ClickFocus);
    VKScrollStyle::apply(this);
    if (content)
        setContent(content);
}

void VKScrollView::setContent(QWidget *content)
{
    if (QWidget *old = takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    if (!content) {
        // Without content Qt keeps the old range, and with it the indicator.
        verticalScrollBar()->setRange(0, 0);
        return;
    }
    setWidget(content);
    // setWidget turns the content's background filling on.
    content->setAutoFillBackground(false);
}

void VKScrollView::guardWheel(QWidget *control)
{
    if (control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(WheelGuard::shared());
}
