#include "app/startscreen.h"

#include "app/app.h"
#include "app/boxes.h"
#include "app/sizetile.h"
#include "app/stepcard.h"
#include "app/templatethumb.h"
#include "app/textlabel.h"
#include "kit/cabinet/bezel.h"
#include "kit/controls/chromebutton.h"
#include "kit/host/kithost.h"
#include "kit/views/overhangitem.h"
#include "kit/paint/paint.h"
#include "kit/views/scrollstyle.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/paint/symbols.h"
#include "kit/theme/focusring.h"
#include "model/file/recent.h"
#include "templates/templates.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int gap = 16;
constexpr int outer = 18;
constexpr double bannerHeight = 118;

void addPanel(QBoxLayout *layout, Bezel *bezel, int stretch = 0, bool fitHeight = true)
{
    VKOverhangItem::add(layout, bezel, Bezel::shadowMargins(), fitHeight, stretch);
}

void addButton(QBoxLayout *layout, VKChromeButton *button)
{
    VKOverhangItem::add(layout, button, VKChromeButton::shadowMargins());
}

// A flat button: a symbol, then a title on one line (cut with "…" when narrow).
class PlainButton : public QAbstractButton {
public:
    PlainButton(const QString &symbol, const QString &title, QFont font, std::optional<QColor> colour)
        : symbol_(symbol), title_(title), font_(std::move(font)), colour_(colour)
    {
        setAccessibleName(title);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(title.isEmpty() ? QSizePolicy::Fixed : QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QSizeF t = vkTextSize(font_, title_);
        const double w = box() + (title_.isEmpty() ? 0 : gap6 + t.width());
        return QSize(static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(std::max(t.height(), box()))));
    }
    QSize minimumSizeHint() const override { return QSize(static_cast<int>(std::ceil(box())), sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            p.setOpacity(0.6);
        const VKKitTheme theme = VELKKitHost::theme();
        const QColor ink = colour_.value_or(theme.text);
        if (hasFocus())
            VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 4));
        VKSymbols::paint(p, symbol_, QRectF(0, (height() - box()) / 2, box(), box()), ink);
        const double x = box() + gap6;
        p.setPen(ink);
        vkDrawText(p, QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   vkElidedText(font_, title_, width() - x), font_);
    }

private:
    static constexpr double gap6 = 6;
    double box() const { return vkPixelSize(font_) + 2; }

    QString symbol_, title_;
    QFont font_;
    std::optional<QColor> colour_;
};

// The sample card of the template panel at banner height; nothing when the library lacks it.
QWidget *bannerThumb()
{
    const std::optional<LWTemplate> tpl = LWTemplates::named(QStringLiteral("card-001"));
    if (!tpl)
        return nullptr;
    auto *thumb = new TemplateThumb(*tpl, 0, bannerHeight);
    thumb->setObjectName(QStringLiteral("banner"));
    return thumb;
}

} // namespace

StartScreen::StartScreen(LWApp &app, QWidget *parent) : QScrollArea(parent), app_(app)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus); // no Tab stop: it scrolls to the control Tab reaches
    VKScrollStyle::apply(this);

    recents_ = LWRecent::urls();

    auto *column = new QVBoxLayout;
    column->setContentsMargins(outer, outer, outer, outer);
    column->setSpacing(gap);

    auto *first = lwRow(gap);
    addPanel(first, new Bezel(cardPanel(), QStringLiteral("New business card"), 18, 12, true));
    addPanel(first, new Bezel(flyerPanel(), QStringLiteral("New flyer or poster"), 18, 12, true));
    first->addStretch(1);
    column->addLayout(first);

    auto *second = lwRow(gap);
    addPanel(second, new Bezel(templatePanel(), QStringLiteral("Start from a template")), 1);
    addPanel(second, new Bezel(openPanel(), QStringLiteral("Open a design")));
    column->addLayout(second);

    addPanel(column, new Bezel(stepsPanel(), QStringLiteral("Four steps from idea to print")), 0, false);
    column->addStretch(1);

    auto *content = lwHolder(column);
    content->setAutoFillBackground(false);
    setWidget(content);
}

void StartScreen::setLandscape(bool landscape)
{
    landscape_ = landscape;
    for (SizeTile *tile : std::as_const(cardTiles_))
        tile->setLandscape(landscape);
    picker_->setCurrent(landscape ? 0 : 1);
}

QWidget *StartScreen::cardPanel()
{
    auto *tiles = lwRow(12 - 2 * LWTileButton::sideMargin);
    for (const LWSizePreset *preset : {&LWSizePreset::usCard, &LWSizePreset::euCard}) {
        auto *tile = new SizeTile(app_, *preset, landscape_);
        cardTiles_.append(tile);
        tiles->addWidget(tile, 0, Qt::AlignVCenter);
    }
    tiles->addSpacing(2 * LWTileButton::sideMargin);

    auto *side = new QVBoxLayout;
    side->setSpacing(8);
    picker_ = new SegmentedPicker(QString(), {QStringLiteral("Wide"), QStringLiteral("Tall")}, 130);
    picker_->setCurrent(0);
    connect(picker_, &SegmentedPicker::picked, this, [this](int index) { setLandscape(index == 0); });
    side->addWidget(picker_);
    side->addWidget(lwTextLabel(QStringLiteral("Cards have a front and a back.\nBleed 0.125 in is added for you."), 11,
                                VKWeight::Normal, VELKKitHost::theme().dim));
    tiles->addLayout(side);
    tiles->setAlignment(side, Qt::AlignVCenter);
    return lwHolder(tiles);
}

QWidget *StartScreen::flyerPanel()
{
    auto *tiles = lwRow(12 - 2 * LWTileButton::sideMargin);
    for (const LWSizePreset *preset :
         {&LWSizePreset::letter, &LWSizePreset::a4, &LWSizePreset::halfLetter, &LWSizePreset::tabloid})
        tiles->addWidget(new SizeTile(app_, *preset, false), 0, Qt::AlignVCenter);
    tiles->addWidget(new CustomSizeTile(app_), 0, Qt::AlignVCenter);
    return lwHolder(tiles);
}

QWidget *StartScreen::templatePanel()
{
    auto *column = lwStack(10);
    column->addWidget(lwTextLabel(
        QStringLiteral("Business cards and flyers for contractors, salons, restaurants, realtors, DJs, auto shops, "
                       "landscapers, cleaners, photographers, churches, yard sales, events and more. Every word is "
                       "sample text you replace."),
        12.5, VKWeight::Normal, VELKKitHost::theme().text, true));
    auto *banner = lwRow(8);
    if (QWidget *thumb = bannerThumb()) {
        thumb->setAttribute(Qt::WA_TransparentForMouseEvents);
        VKOverhangItem::add(banner, thumb, templateThumbMargins());
    }
    banner->addStretch(1);
    column->addLayout(banner);
    auto *browse = new VKChromeButton(QStringLiteral("Browse the Template Library"));
    browse->setObjectName(QStringLiteral("browse"));
    browse->setSymbol(VKSymbols::squareGrid2x2);
    browse->setProminent(true);
    connect(browse, &QAbstractButton::clicked, &app_, [app = &app_] { app->setScreen(LWAppScreen::templates); });
    addButton(column, browse);
    return lwHolder(column);
}

QWidget *StartScreen::openPanel()
{
    openColumn_ = lwStack(8);
    auto *open = new VKChromeButton(QStringLiteral("Open\u2026"));
    open->setObjectName(QStringLiteral("open"));
    open->setSymbol(VKSymbols::folder);
    connect(open, &QAbstractButton::clicked, &app_, [app = &app_] { app->openPanel(); });
    addButton(openColumn_, open);
    recentList_ = recentList();
    openColumn_->addWidget(recentList_);
    openColumn_->addStretch(1);
    QWidget *w = lwHolder(openColumn_);
    w->setFixedWidth(300);
    return w;
}

QWidget *StartScreen::stepsPanel()
{
    struct Step {
        const char *title, *text, *help;
    };
    static const Step steps[] = {
        {"Pick", "Choose a template or a blank size. Cards get a front and a back.", "start"},
        {"Make it yours", "Click any text to type your words. Swap colors, fonts, icons and add your photo or logo.",
         "walkthrough-card"},
        {"Check", "Preflight shows text near the edge, blurry pictures and leftover sample text.", "preflight"},
        {"Print", "Export a print-ready PDF with bleed, a 300/600 DPI JPEG or PNG, or a 10-up card sheet.", "export"},
    };
    auto *cards = lwRow(14);
    qint64 n = 0;
    for (const Step &s : steps)
        cards->addWidget(new StepCard(++n, QString::fromUtf8(s.title), QString::fromUtf8(s.text),
                                      QString::fromUtf8(s.help)),
                         1, Qt::AlignTop);
    return lwHolder(cards);
}

void StartScreen::showEvent(QShowEvent *event)
{
    QScrollArea::showEvent(event);
    if (!event->spontaneous())
        readRecents();
}

void StartScreen::readRecents()
{
    recents_ = LWRecent::urls();
    QWidget *old = recentList_;
    recentList_ = recentList();
    delete openColumn_->replaceWidget(old, recentList_);
    recentList_->show();
    // The old list may hold the button being clicked.
    old->hide();
    old->deleteLater();
}

QWidget *StartScreen::recentList()
{
    auto *list = lwStack(8);
    if (recents_.isEmpty())
        list->addWidget(lwTextLabel(QStringLiteral("Designs you save show up here."), 11.5, VKWeight::Normal,
                                    VELKKitHost::theme().dim));
    for (const QUrl &url : recents_.mid(0, recentRows)) {
        const QString path = url.toLocalFile();
        auto *open = new PlainButton(VKSymbols::docRichtext, QFileInfo(path).completeBaseName(),
                                     vkFont(12, VKWeight::Semibold), std::nullopt);
        open->setObjectName(QStringLiteral("recent"));
        open->setToolTip(path);
        connect(open, &QAbstractButton::clicked, &app_, [app = &app_, url] { app->open(url); });
        auto *remove = new PlainButton(VKSymbols::xmarkCircle, QString(), vkFont(13), VELKKitHost::theme().dim);
        remove->setObjectName(QStringLiteral("removeRecent"));
        remove->setToolTip(QStringLiteral("Take off this list (the file is not touched)"));
        remove->setAccessibleName(remove->toolTip());
        connect(remove, &QAbstractButton::clicked, this, [this, url] {
            LWRecent::remove(url);
            readRecents();
        });
        auto *line = lwRow(8);
        line->addWidget(open);
        line->addStretch(1);
        line->addWidget(remove);
        list->addLayout(line);
    }
    return lwHolder(list);
}
