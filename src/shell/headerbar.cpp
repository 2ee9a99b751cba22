#include "shell/headerbar.h"

#include "kit/cabinet/chromeroundbutton.h"
#include "kit/help/help.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/paint/paint.h"
#include "kit/host/shortcuts.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "model/text.h"
#include "shell/modeswitch.h"
#include "shell/shelltext.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int badgeSize = 32;
constexpr double badgeGlow = 5;

// The round green badge with the leaf, glowing in moss.
class Badge : public QWidget {
public:
    Badge()
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    static QMargins margins() { return VKPaint::shadowMargins(badgeGlow, {}); }
    QSize sizeHint() const override { return QSize(badgeSize, badgeSize).grownBy(margins()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF face(margins().left(), margins().top(), badgeSize, badgeSize);
        QPainterPath circle;
        circle.addEllipse(face);
        QColor glow = LWStyle::moss();
        glow.setAlphaF(0.6f);
        VKPaint::drawShadow(p, circle, glow, badgeGlow, {});
        p.fillPath(circle, VKPaint::vertical(face, {LWStyle::moss(), QColor::fromRgbF(0.16f, 0.42f, 0.22f)}));
        QPainterPath rim;
        rim.addEllipse(VKPaint::edgeRect(face, 1.2));
        p.strokePath(rim, QPen(QBrush(LWStyle::chromeRim(face)), 1.2));
        const double leaf = 17;
        VKSymbols::paint(p, VKSymbols::leafFill, QRectF(face.center() - QPointF(leaf, leaf) / 2, QSizeF(leaf, leaf)),
                         Qt::white);
    }
};

} // namespace

BrushedLines::BrushedLines(double opacity, QWidget *parent) : QWidget(parent), m_opacity(opacity)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void BrushedLines::paint(QPainter &p, QSizeF size)
{
    if (size.height() <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QColor light(255, 255, 255, 46), dark(0, 0, 0, 31);
    for (int i = 0; 2.0 * i < size.height(); ++i)
        p.fillRect(QRectF(0, 2.0 * i, size.width(), 0.6), i % 3 == 0 ? light : dark);
    p.restore();
}

void BrushedLines::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setOpacity(m_opacity);
    paint(p, size());
}

HeaderBar::HeaderBar(LWApp &app, QWidget *parent)
    : QWidget(parent), m_app(app), m_texture(new BrushedLines(0.25, this)), m_readout(new LCDReadout({}, 250)),
      m_modeSwitch(new ModeSwitch(app))
{
    const VKKitTheme theme = LWStyle::t();
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 9, 16, 9);
    row->setSpacing(14);

    auto *brand = new QHBoxLayout;
    brand->setSpacing(8);
    row->addLayout(brand);
    shellAddCentred(brand, new Badge, Badge::margins());
    auto *names = new QVBoxLayout;
    names->setSpacing(0);
    brand->addLayout(names);
    names->addStretch(1);
    names->addWidget(new VKTextLine(QStringLiteral("VELK LEAFWRIGHTER"), vkTracked(vkFont(14, VKWeight::Black), 1.6),
                                   theme.text));
    names->addWidget(new VKTextLine(QStringLiteral("Velkmoor"), vkFont(9.5, VKWeight::Semibold), theme.dim));
    names->addStretch(1);

    row->addWidget(new LampText(LWStyle::moss(), QStringLiteral("POWER"), vkFont(8.5, VKWeight::Heavy), theme.dim), 0,
                   Qt::AlignVCenter);
    row->addSpacing(8 - row->spacing());
    row->addStretch(1);
    row->addWidget(m_modeSwitch, 0, Qt::AlignVCenter);
    row->addSpacing(8 - row->spacing());
    row->addStretch(1);
    row->addWidget(m_readout, 0, Qt::AlignVCenter);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    row->addLayout(buttons);
    auto button = [buttons](const QString &symbol, const QString &help, std::function<void()> action) {
        auto *b = new ChromeRoundButton(symbol, help, std::move(action), false, 32);
        shellAddCentred(buttons, b, ChromeRoundButton::shadowMargins());
        return b;
    };
    m_undo = button(VKSymbols::arrowUturnBackward, LWShortcuts::help(QStringLiteral("Undo"), LWShortcuts::undo), [this] {
        if (LWEditor *e = m_app.editor())
            e->undo();
    });
    m_redo = button(VKSymbols::arrowUturnForward, LWShortcuts::help(QStringLiteral("Redo"), LWShortcuts::redo), [this] {
        if (LWEditor *e = m_app.editor())
            e->redo();
    });
    m_preflight = button(VKSymbols::checkmarkSeal, QStringLiteral("Preflight: check the design before printing"),
                         [this] { m_app.setSheet(LWAppSheet::preflight); });
    m_export = button(VKSymbols::squareAndArrowUp,
                      LWShortcuts::help(QStringLiteral("Export PDF / JPEG / PNG / print sheet"), LWShortcuts::exportDesign),
                      [this] { m_app.setSheet(LWAppSheet::exportSheet); });
    m_help = button(VKSymbols::questionmark, QStringLiteral("Help"), [] { VELKHelp::show(); });

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&app, &LWApp::editorChanged, this, &HeaderBar::observeEditor);
    observeEditor();
}

QStringList HeaderBar::lcdLines(const LWEditor *editor)
{
    if (!editor)
        return {QStringLiteral("READY"), QStringLiteral("Pick a size or a template")};
    const LWDocument &doc = editor->doc();
    QString first = LWText::leadingCharacters(doc.name, nameLength);
    if (editor->dirty())
        first += QStringLiteral(" \u2022");
    QString second = doc.sizeText();
    if (doc.pages.size() >= 2)
        second += QStringLiteral(" \u00B7 ") + editor->page().name.toUpper();
    second += QStringLiteral(" \u00B7 %1 SELECTED").arg(editor->selection().size());
    return {first, second};
}

void HeaderBar::observeEditor()
{
    LWEditor *editor = m_app.editor();
    if (editor != m_observed) {
        for (const QMetaObject::Connection &c : std::as_const(m_editorLinks))
            disconnect(c);
        m_editorLinks.clear();
        m_observed = editor;
        if (editor)
            for (auto signal : {&LWEditor::docChanged, &LWEditor::dirtyChanged, &LWEditor::selectionChanged,
                                &LWEditor::sideChanged})
                m_editorLinks << connect(editor, signal, this, &HeaderBar::refresh);
    }
    refresh();
}

void HeaderBar::refresh()
{
    const LWEditor *editor = m_app.editor();
    const QStringList lines = lcdLines(editor);
    if (lines != m_readout->lines())
        m_readout->setLines(lines);
    m_undo->setEnabled(editor && editor->canUndo());
    m_redo->setEnabled(editor && editor->canRedo());
    m_preflight->setEnabled(editor);
    m_export->setEnabled(editor);
    if (m_export->isSelected() != bool(editor))
        m_export->setSelected(editor);
}

void HeaderBar::resizeEvent(QResizeEvent *)
{
    m_texture->setGeometry(rect());
}

void HeaderBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF box(rect());
    p.fillRect(box, VKPaint::vertical(box, {QColor::fromRgbF(0.3f, 0.3f, 0.3f), QColor::fromRgbF(0.12f, 0.12f, 0.12f)}));
    QLinearGradient wash(box.topLeft(), box.topRight());
    QColor accent = LWStyle::t().accent;
    accent.setAlphaF(0.1f);
    wash.setColorAt(0, accent);
    wash.setColorAt(1, Qt::transparent);
    p.fillRect(box, wash);
    // Under the texture (a child), whose faint rows hardly change them.
    p.fillRect(QRectF(0, 0, box.width(), 1), QColor(255, 255, 255, 64));
    p.fillRect(QRectF(0, box.height() - 1, box.width(), 1), QColor(0, 0, 0, 179));
}
