#include "kit/theme/themeroot.h"

#include "kit/host/kithost.h"
#include "kit/theme/appstyle.h"
#include "kit/theme/themes.h"
#include "model/file/prefs.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QColor withAlpha(QColor c, float alpha)
{
    c.setAlphaF(alpha);
    return c;
}

// Fusion draws the dark palette faithfully; the platform style may not.
void useFusion()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (!qobject_cast<VKAppStyle *>(QApplication::style()))
        QApplication::setStyle(new VKAppStyle);
}

} // namespace

void VKWindowBackground::paint(QPainter &painter, const QRect &rect, const VKKitTheme &theme)
{
    painter.fillRect(rect, theme.bg);

    // Stops interpolate premultiplied (Qt's default), so fading to clear never greys.
    QLinearGradient wash(rect.topLeft(), rect.bottomLeft() + QPoint(0, 1));
    wash.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.07f));
    wash.setColorAt(0.5, Qt::transparent);
    wash.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.25f));
    painter.fillRect(rect, wash);

    const QColor glow = withAlpha(theme.accent, 0.18f);
    QRadialGradient corner(rect.topLeft(), 700);
    corner.setColorAt(0, glow);
    corner.setColorAt(10.0 / 700.0, glow);
    corner.setColorAt(1, Qt::transparent);
    painter.fillRect(rect, corner);
}

VELKThemeRoot::VELKThemeRoot(Builder content, QWidget *parent) : QWidget(parent), m_builder(std::move(content))
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    build();
    connect(&LWSettings::shared(), &LWSettings::changed, this, &VELKThemeRoot::settingChanged);
}

QPalette VELKThemeRoot::themePalette(const VKKitTheme &t)
{
    QPalette p;
    const QColor white(Qt::white), black(Qt::black);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor text = disabled ? t.dim : t.text;
        p.setColor(group, QPalette::Window, t.bg);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, t.panelBottom);
        p.setColor(group, QPalette::AlternateBase, t.panelTop);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::PlaceholderText, t.dim);
        p.setColor(group, QPalette::Button, t.panelTop);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::BrightText, white);
        p.setColor(group, QPalette::ToolTipBase, t.panelTop);
        p.setColor(group, QPalette::ToolTipText, t.text);
        p.setColor(group, QPalette::Highlight, disabled ? t.panelTop : t.accent);
        p.setColor(group, QPalette::HighlightedText, disabled ? t.dim : white);
        // One light blue that reads on every theme's panels, as the platform's link colour does.
        p.setColor(group, QPalette::Link, QColor(0x9E, 0xCF, 0xFF));
        p.setColor(group, QPalette::LinkVisited, QColor(0x9E, 0xCF, 0xFF));
        p.setColor(group, QPalette::Light, t.panelTop.lighter(140));
        p.setColor(group, QPalette::Midlight, t.panelTop.lighter(115));
        p.setColor(group, QPalette::Mid, t.panelBottom.lighter(120));
        p.setColor(group, QPalette::Dark, t.panelBottom.darker(140));
        p.setColor(group, QPalette::Shadow, black);
    }
    return p;
}

void VELKThemeRoot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    VKWindowBackground::paint(painter, rect(), VELKKitHost::theme());
}

namespace {

// The first control inside `content` that Tab reaches, or null.
QWidget *firstControl(QWidget *content)
{
    for (QWidget *w = content->nextInFocusChain(); w && w != content; w = w->nextInFocusChain())
        if (content->isAncestorOf(w) && w->isVisibleTo(content) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            return w;
    return nullptr;
}

} // namespace

void VELKThemeRoot::settingChanged(const QString &key)
{
    // The write may come from a widget of the content itself: never delete it on its own stack.
    if (key != VELKThemes::key || m_rebuildQueued || VELKThemes::currentID() == m_themeID)
        return;
    m_rebuildQueued = true;
    QMetaObject::invokeMethod(this, &VELKThemeRoot::rebuild, Qt::QueuedConnection);
}

void VELKThemeRoot::rebuild()
{
    m_rebuildQueued = false;
    if (VELKThemes::currentID() == m_themeID) // changed back meanwhile
        return;
    // Where the window's keyboard was: in the content, the new content takes it, or keys typed
    // after the change would go to no widget while a control inside still shows its ring.
    const QWidget *had = window()->focusWidget();
    const bool keyboard = m_content && had && (had == m_content || m_content->isAncestorOf(had));
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    build();
    // The control the content chose, else the content itself when it takes the keyboard, else its
    // first control, as the window's activation would (a reason that moves nothing the content
    // placed: the typing on a page goes on). Set also in a window that is not active: there the
    // window gives it back when it is active again.
    if (keyboard && m_content) {
        QWidget *to = m_content->focusWidget();
        if (!to && m_content->focusPolicy() == Qt::NoFocus)
            to = firstControl(m_content);
        (to ? to : m_content.data())->setFocus(Qt::ActiveWindowFocusReason);
    }
    update();
}

void VELKThemeRoot::build()
{
    m_themeID = VELKThemes::currentID();
    useFusion();
    const QPalette palette = themePalette(VELKKitHost::theme());
    QApplication::setPalette(palette);
    setPalette(palette);
    m_content = m_builder ? m_builder() : nullptr;
    if (m_content) {
        m_layout->addWidget(m_content);
        m_content->show(); // the layout would only show it on a later turn of the event loop
    }
}
