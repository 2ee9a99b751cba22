#include "ui/canvas/canvastoolbar.h"

#include "kit/paint/paint.h"
#include "kit/theme/focusring.h"
#include "kit/controls/chipbutton.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/views/divider.h"
#include "kit/controls/ledtoggle.h"
#include "kit/host/shortcuts.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "ui/canvas/canvaszoom.h"

#include <QAbstractButton>
#include <QGraphicsProxyWidget>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>

#include <cstdio>

namespace {

// A borderless button: the ruler symbol and its title in the theme's text colour.
class FlatMenuButton : public QAbstractButton {
public:
    FlatMenuButton(const QString &symbol, const QString &title, QWidget *parent = nullptr)
        : QAbstractButton(parent), m_symbol(symbol)
    {
        setText(title);
        setFixedSize(84, 24);
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink = LWStyle::t().text;
        VKSymbols::paint(p, m_symbol, QRectF(4, (height() - 16) / 2.0, 16, 16), ink);
        vkDrawText(p, QRectF(24, 0, width() - 24, height()), Qt::AlignLeft | Qt::AlignVCenter, text(),
                   vkFont(12, VKWeight::Medium));
        if (isDown())
            p.fillRect(rect(), QColor(255, 255, 255, 20));
        if (hasFocus())
            VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 5));
    }

private:
    QString m_symbol;
};

// The percentage in LCD colours on its rounded window, 52 wide.
class ZoomReadout : public QWidget {
public:
    explicit ZoomReadout(LWEditor &editor, QWidget *parent = nullptr) : QWidget(parent), m_editor(editor)
    {
        setFixedSize(52, 14 + 6);
    }
    QString text() const { return CanvasToolbar::zoomText(m_editor.fitScale(), m_editor.canvasZoom()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(VKPaint::roundedRect(rect(), 6), LWStyle::lcdBG());
        QFont f = vkMono(11);
        f.setBold(true);
        p.setPen(LWStyle::lcdText());
        vkDrawText(p, rect(), Qt::AlignCenter, text(), f);
    }

private:
    LWEditor &m_editor;
};

} // namespace

QString CanvasToolbar::zoomText(double fitScale, double canvasZoom)
{
    char out[64];
    std::snprintf(out, sizeof out, "%.0f%%", fitScale * canvasZoom * 100);
    return QString::fromLatin1(out);
}

CanvasToolbar::CanvasToolbar(LWEditor &editor, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_row(new QHBoxLayout(this)), m_guides(new QMenu(this)),
      m_guidesButton(new FlatMenuButton(VKSymbols::ruler, QStringLiteral("Guides")))
{
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(8);

    struct Toggle {
        const char *title;
        bool (LWEditor::*get)() const;
        void (LWEditor::*set)(bool);
        void (LWEditor::*changed)();
        QColor lamp;
        const char *help;
    };
    const Toggle toggles[] = {
        {"Bleed", &LWEditor::showBleed, &LWEditor::setShowBleed, &LWEditor::showBleedChanged, LWStyle::ruby(),
         "Bleed: the red line. Backgrounds should reach it; it is cut off."},
        {"Trim", &LWEditor::showTrim, &LWEditor::setShowTrim, &LWEditor::showTrimChanged,
         QColor::fromRgbF(0.85f, 0.85f, 0.85f), "Trim: where the paper is cut (the finished size)."},
        {"Safe", &LWEditor::showSafe, &LWEditor::setShowSafe, &LWEditor::showSafeChanged, LWStyle::moss(),
         "Safe area: keep words and logos inside the green line."},
        {"Grid", &LWEditor::showGrid, &LWEditor::setShowGrid, &LWEditor::showGridChanged, LWStyle::cyan(),
         "Show a grid (snaps when Snap is on)."},
        {"Snap", &LWEditor::snapping, &LWEditor::setSnapping, &LWEditor::snappingChanged,
         QColor::fromRgbF(1.0f, 0.3f, 0.8f), "Snap to edges, centers, guides and other items."},
    };
    for (const Toggle &t : toggles) {
        auto *toggle = new LEDToggle(
            QString::fromUtf8(t.title), [&editor, get = t.get] { return (editor.*get)(); },
            [&editor, set = t.set](bool on) { (editor.*set)(on); }, t.lamp, QString::fromUtf8(t.help));
        connect(&editor, t.changed, toggle, qOverload<>(&QWidget::update));
        m_row->addWidget(toggle);
    }

    m_guidesButton->setToolTip(QStringLiteral("Guides: drag them on the page; drag one off the page to remove it."));
    m_guides->addAction(QStringLiteral("Add Vertical Guide"), &editor, [&editor] { editor.addGuide(true); });
    m_guides->addAction(QStringLiteral("Add Horizontal Guide"), &editor, [&editor] { editor.addGuide(false); });
    m_guides->addSeparator();
    QAction *clear = m_guides->addAction(QStringLiteral("Clear All Guides"), &editor, [&editor] { editor.clearGuides(); });
    auto enableClear = [clear, &editor] { clear->setEnabled(!editor.doc().guides.isEmpty()); };
    enableClear();
    connect(m_guides, &QMenu::aboutToShow, this, enableClear);
    connect(&editor, &LWEditor::docChanged, this, enableClear);
    connect(m_guidesButton, &QAbstractButton::clicked, this, &CanvasToolbar::openGuides);
    m_row->addWidget(m_guidesButton);
    m_row->addStretch(1);

    m_row->addWidget(new ChromeRoundButton(VKSymbols::minusMagnifyingGlass,
                                           LWShortcuts::help(QStringLiteral("Zoom out on the page"), LWShortcuts::zoomOut),
                                           [&editor] { editor.setCanvasZoom(CanvasZoom::out(editor.canvasZoom())); },
                                           false, 28));
    auto *readout = new ZoomReadout(editor);
    connect(&editor, &LWEditor::fitScaleChanged, readout, qOverload<>(&QWidget::update));
    connect(&editor, &LWEditor::canvasZoomChanged, readout, qOverload<>(&QWidget::update));
    m_row->addWidget(readout);
    m_row->addWidget(new ChromeRoundButton(VKSymbols::plusMagnifyingGlass,
                                           LWShortcuts::help(QStringLiteral("Zoom in on the page"), LWShortcuts::zoomIn),
                                           [&editor] { editor.setCanvasZoom(CanvasZoom::in(editor.canvasZoom())); },
                                           false, 28));
    auto *fit = new ChipButton(QStringLiteral("Fit"));
    fit->setToolTip(LWShortcuts::help(QStringLiteral("Fit the page in the window"), LWShortcuts::zoomFit));
    connect(fit, &QAbstractButton::clicked, &editor, [&editor] { editor.setCanvasZoom(CanvasZoom::fit()); });
    m_row->addWidget(fit);

    rebuildSides();
    connect(&editor, &LWEditor::docChanged, this, &CanvasToolbar::rebuildSides);
    connect(&editor, &LWEditor::sideChanged, this, [this] {
        for (QWidget *w : std::as_const(m_sides))
            w->update();
    });
}

void CanvasToolbar::rebuildSides()
{
    QStringList names;
    for (const LWPage &page : m_editor.doc().pages)
        names << page.name;
    if (names.size() < 2)
        names.clear();
    if (names == m_sideNames)
        return;
    m_sideNames = names;
    qDeleteAll(m_sides);
    m_sides.clear();
    for (int i = 0; i < names.size(); ++i) {
        auto *toggle = new LEDToggle(
            names[i], [this, i] { return m_editor.pageIndex() == i; }, [this, i](bool) { m_editor.switchSide(i); },
            LWStyle::t().accent, QStringLiteral("Show the %1 side").arg(names[i].toLower()));
        m_sides << toggle;
    }
    if (!names.isEmpty())
        m_sides << new VKDivider(Qt::Vertical, 20);
    for (int i = 0; i < m_sides.size(); ++i)
        m_row->insertWidget(i, m_sides[i]);
}

// Placed as the kit's popovers place themselves: inside a zoom host from the button's place in
// the proxied content, never through an inner mapToGlobal.
void CanvasToolbar::openGuides()
{
    QWidget *content = m_guidesButton->window();
    if (content->graphicsProxyWidget()) {
        m_guides->popup(m_guidesButton->mapTo(content, QPoint(0, m_guidesButton->height())));
        if (QGraphicsProxyWidget *inner = m_guides->graphicsProxyWidget())
            inner->setPos(m_guidesButton->mapTo(content, QPoint(0, m_guidesButton->height())));
    } else {
        m_guides->popup(m_guidesButton->mapToGlobal(QPoint(0, m_guidesButton->height())));
    }
}
