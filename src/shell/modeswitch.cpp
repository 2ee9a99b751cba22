#include "shell/modeswitch.h"

#include "kit/theme/focusring.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"

#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

namespace {
constexpr double padX = 14, padY = 6, gap = 5, glyph = 14;

QFont titleFont()
{
    return vkFont(12, VKWeight::Bold);
}
} // namespace

ModeSegment::ModeSegment(const QString &symbol, const QString &title, LWAppScreen screen, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_screen(screen)
{
    setText(title);
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ModeSegment::setOpacity(double opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    update();
}

QSize ModeSegment::sizeHint() const
{
    const QSizeF title = vkTextSize(titleFont(), text());
    return QSize(static_cast<int>(std::ceil(2 * padX + glyph + gap + title.width())),
                 static_cast<int>(std::ceil(2 * padY + std::max(glyph, title.height()))));
}

bool ModeSegment::hitButton(const QPoint &pos) const
{
    return VKPaint::capsule(QRectF(rect())).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void ModeSegment::paintEvent(QPaintEvent *)
{
    const VKKitTheme theme = LWStyle::t();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(m_opacity);
    const QRectF box(rect());
    if (isChecked()) {
        QColor faded = theme.accent;
        faded.setAlphaF(0.6f);
        p.fillPath(VKPaint::capsule(box), VKPaint::vertical(box, {theme.accent, faded}));
    }
    const QColor ink = isChecked() ? QColor(Qt::white) : theme.text;
    const QSizeF title = vkTextSize(titleFont(), text());
    const double x = (box.width() - (glyph + gap + title.width())) / 2;
    VKSymbols::paint(p, m_symbol, QRectF(x, (box.height() - glyph) / 2, glyph, glyph), ink);
    p.setPen(ink);
    vkDrawText(p, QRectF(x + glyph + gap, 0, title.width() + 1, box.height()), Qt::AlignLeft | Qt::AlignVCenter,
               text(), titleFont());
    if (hasFocus()) {
        p.setOpacity(1);
        VKFocusRing::paint(p, VKPaint::capsule(box), isChecked() ? QColor(Qt::white) : VKFocusRing::colour());
    }
}

ModeSwitch::ModeSwitch(LWApp &app, QWidget *parent) : QWidget(parent), m_app(app)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(3, 3, 3, 3);
    row->setSpacing(2);
    m_segments = {new ModeSegment(VKSymbols::power, QStringLiteral("Start"), LWAppScreen::start),
                  new ModeSegment(VKSymbols::squareGrid2x2, QStringLiteral("Templates"), LWAppScreen::templates),
                  new ModeSegment(VKSymbols::pencilAndOutline, QStringLiteral("Design"), LWAppScreen::editor)};
    for (ModeSegment *s : std::as_const(m_segments)) {
        row->addWidget(s);
        s->setToolTip(s->text());
        connect(s, &QAbstractButton::clicked, this, [this, s] { m_app.setScreen(s->screen()); });
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&app, &LWApp::screenChanged, this, &ModeSwitch::refresh);
    connect(&app, &LWApp::editorChanged, this, &ModeSwitch::refresh);
    refresh();
}

ModeSegment *ModeSwitch::segment(LWAppScreen screen) const
{
    for (ModeSegment *s : m_segments)
        if (s->screen() == screen)
            return s;
    return nullptr;
}

void ModeSwitch::refresh()
{
    for (ModeSegment *s : std::as_const(m_segments))
        s->setChecked(m_app.screen() == s->screen());
    ModeSegment *design = segment(LWAppScreen::editor);
    const bool open = m_app.editor() != nullptr;
    design->setEnabled(open);
    design->setOpacity(open ? 1 : 0.45);
    design->setToolTip(open ? designHelp : noDesignHelp);
}

void ModeSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    p.fillPath(VKPaint::capsule(box), QColor(0, 0, 0, 115));
    p.strokePath(VKPaint::capsuleEdge(box, 1), QPen(QBrush(LWStyle::chromeRim(box)), 1));
}
