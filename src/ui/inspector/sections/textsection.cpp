#include "ui/inspector/sections/textsection.h"

#include "editor/editor.h"
#include "kit/theme/focusring.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/colorwell.h"
#include "kit/host/focusedtext.h"
#include "kit/host/kithost.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/numberfield.h"
#include "kit/paint/paint.h"
#include "kit/controls/popover.h"
#include "kit/views/scrollstyle.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"
#include "render/text/fonts.h"
#include "ui/inspector/sections/fontfamilypicker.h"
#include "ui/inspector/sections/fontsource.h"
#include "ui/inspector/inspectorcombo.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/keys.h"
#include "ui/inspector/swatches.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString regular = QStringLiteral("Regular");

// A QFont at `px` interface pixels (the registry sizes its faces in points).
QFont interfaceSized(QFont f, double px)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    f.setPointSizeF(px * 72.0 / (screen ? screen->logicalDotsPerInchY() : 96.0));
    return f;
}

// A rounded well (radius 8) behind one child, inset by `margin`.
class Well : public QWidget {
public:
    Well(QWidget *child, int margin, double alpha) : alpha_(alpha)
    {
        auto *l = new QVBoxLayout(this);
        l->setContentsMargins(margin, margin, margin, margin);
        l->addWidget(child);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(VKPaint::roundedRect(QRectF(rect()), 8), QColor::fromRgbF(0, 0, 0, float(alpha_)));
    }

private:
    double alpha_;
};

// The family button: the family in its own face at 14, a gap, the chevron; over black 30 %.
class FamilyButton : public QAbstractButton {
public:
    FamilyButton()
    {
        setToolTip(QStringLiteral("Choose any font installed on this computer"));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void show(const QString &family, const QFont &face)
    {
        setText(family);
        setAccessibleName(family);
        face_ = face;
        updateGeometry();
        update();
    }
    QSize sizeHint() const override
    {
        return QSize(120, int(std::ceil(vkTextSize(face_, QStringLiteral("Ag")).height())) + 10);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        p.fillPath(VKPaint::roundedRect(r, 8), QColor::fromRgbF(0, 0, 0, 0.3f));
        if (isDown())
            p.setOpacity(0.75);
        const QColor ink = VELKKitHost::theme().text;
        const QRectF inner = r.adjusted(8, 5, -8, -5);
        constexpr double chevron = 14;
        VKSymbols::paint(p, VKSymbols::chevronDown,
                         QRectF(inner.right() - chevron, inner.center().y() - chevron / 2, chevron, chevron), ink);
        const QRectF textBox = inner.adjusted(0, 0, -chevron - 6, 0);
        p.setPen(ink);
        vkDrawText(p, textBox, Qt::AlignLeft | Qt::AlignVCenter, vkElidedText(face_, text(), textBox.width()), face_);
        if (hasFocus()) {
            p.setOpacity(1);
            VKFocusRing::paint(p, VKPaint::roundedRect(r, 8));
        }
    }

private:
    QFont face_;
};

// A 26 × 22 style toggle: its label in 11 heavy white on the accent (on) or black 35 % (off).
class StyleToggle : public QAbstractButton {
public:
    StyleToggle(const QString &label, const QString &tip)
    {
        setText(label);
        setToolTip(tip);
        setAccessibleName(tip);
        setFocusPolicy(Qt::TabFocus);
        setFixedSize(26, 22);
    }
    bool isOn() const { return on_; }
    void setOn(bool on)
    {
        if (on != on_) {
            on_ = on;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(VKPaint::roundedRect(QRectF(rect()), 6),
                   on_ ? VELKKitHost::theme().accent : QColor::fromRgbF(0, 0, 0, 0.35f));
        if (isDown())
            p.setOpacity(0.75);
        p.setPen(Qt::white);
        vkDrawText(p, QRectF(rect()), Qt::AlignCenter, text(), vkFont(11, VKWeight::Heavy));
        if (hasFocus()) { // white on the accent of a toggle that is on
            p.setOpacity(1);
            VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 6), on_ ? QColor(Qt::white) : VKFocusRing::colour());
        }
    }

private:
    bool on_ = false;
};

QHBoxLayout *row(int spacing)
{
    auto *l = new QHBoxLayout;
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

} // namespace

TextSection::TextSection(LWEditor &editor, const QUuid &id, LWFontSource &fonts, QWidget *parent)
    : InspectorSection(editor, parent), id_(id), fonts_(fonts), text_(new QPlainTextEdit), note_(new QLabel),
      familyButton_(new FamilyButton), styleRow_(new QWidget), style_(new InspectorCombo(QStringLiteral("Style"))),
      sizeField_(new NumberField(QStringLiteral("Size"), 12, QStringLiteral("pt"), 1, 52)),
      size_(slider(QStringLiteral("Size"), &LWText::size, 4, 200, 0.5, "%.1f", QStringLiteral("Font Size"),
                   QStringLiteral("size-"))),
      tracking_(slider(QStringLiteral("Tracking"), &LWText::tracking, -100, 800, 5, "%.0f",
                       QStringLiteral("Letter Spacing"), QStringLiteral("track-"))),
      leading_(slider(QStringLiteral("Leading"), &LWText::leading, 0.6, 2.5, 0.05, "%.2f",
                      QStringLiteral("Line Spacing"), QStringLiteral("lead-"))),
      align_(new SegmentedPicker({}, {QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right"),
                                      QStringLiteral("Justified")})),
      vAlign_(new SegmentedPicker({}, {QStringLiteral("Top"), QStringLiteral("Middle"), QStringLiteral("Bottom")}, 96)),
      well_(new LWColorWell(LWColor::black)), swatches_(new Swatches),
      fit_(new ChipButton(QStringLiteral("Fit Box to Text"), VKSymbols::arrowUpAndDownText))
{
    auto *group = new InspectorGroup(QStringLiteral("Text"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);

    // 1, 2: the text and the sample-text note.
    text_->setFont(vkFont(12));
    text_->setFrameShape(QFrame::NoFrame);
    text_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    text_->viewport()->setAutoFillBackground(false);
    text_->document()->setDocumentMargin(0);
    text_->setTabChangesFocus(true); // Tab goes on to the next control, never into the words
    // The words wrap at the box's width: nothing to scroll sideways.
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    VKScrollStyle::apply(text_);
    auto *textWell = new Well(text_, 4, 0.35);
    textWell->setFixedHeight(66);
    group->addRow(textWell);
    vkPlain(note_, QStringLiteral("Sample text — type your own."));
    note_->setFont(vkFont(10));
    QPalette amber = note_->palette();
    amber.setColor(QPalette::WindowText, LWStyle::amber());
    note_->setPalette(amber);
    group->addRow(note_);
    connect(text_, &QPlainTextEdit::textChanged, this, [this] { this->editor().setText(id_, text_->toPlainText()); });

    // 3, 4: family and style.
    group->addRow(familyButton_);
    connect(familyButton_, &QAbstractButton::clicked, this, &TextSection::openFontPicker);
    auto *styleLine = row(8);
    styleRow_->setLayout(styleLine);
    auto *styleLabel = new QLabel;
    vkPlain(styleLabel, QStringLiteral("Style"));
    styleLabel->setFont(vkFont(11));
    styleLine->addWidget(styleLabel);
    styleLine->addWidget(style_, 1);
    group->addRow(styleRow_);
    connect(style_, &QComboBox::activated, this, [this](int index) {
        const QString name = style_->itemData(index).toString();
        if (name == fonts_.faceName(t_.fontName))
            return; // the face that already draws the text
        edit(QStringLiteral("Font Style"), std::nullopt, [name](LWText &t) { t.fontName = name; });
    });

    // 5: size field and style toggles.
    auto *sizeRow = row(8);
    sizeRow->addWidget(sizeField_);
    sizeRow->addStretch();
    connect(sizeField_, &NumberField::committed, this, [this](double v) {
        if (!std::isfinite(v))
            return;
        const double size = std::clamp(v, 2.0, 600.0);
        edit(QStringLiteral("Font Size"), std::nullopt, [size](LWText &t) { t.size = size; });
    });
    LWFontSource *src = &fonts_;
    const struct {
        const char *label, *tip, *undo;
        std::function<void(LWText &)> body;
    } toggles[] = {
        {"B", "Bold", "Bold", [src](LWText &t) { t.fontName = src->toggled(t.fontName, LWFonts::boldTrait); }},
        {"I", "Italic", "Italic", [src](LWText &t) { t.fontName = src->toggled(t.fontName, LWFonts::italicTrait); }},
        {"U", "Underline", "Underline", [](LWText &t) { t.underline = !t.underline; }},
        {"AA", "ALL CAPS", "All Caps", [](LWText &t) { t.uppercase = !t.uppercase; }},
    };
    for (const auto &toggle : toggles) {
        auto *b = new StyleToggle(QString::fromUtf8(toggle.label), QString::fromUtf8(toggle.tip));
        const QString undo = QString::fromUtf8(toggle.undo);
        const auto body = toggle.body;
        connect(b, &QAbstractButton::clicked, this, [this, undo, body] { edit(undo, std::nullopt, body); });
        toggles_ << b;
        sizeRow->addWidget(b);
    }
    group->addLayout(sizeRow);

    // 6-8: sliders.
    for (LabeledSlider *s : {size_, tracking_, leading_})
        group->addRow(s);

    // 9: alignment.
    const QString hSymbols[] = {VKSymbols::textAlignLeft, VKSymbols::textAlignCenter, VKSymbols::textAlignRight,
                                VKSymbols::textJustify};
    for (int i = 0; i < 4; ++i)
        align_->setSymbol(i, hSymbols[i]);
    const QString vSymbols[] = {VKSymbols::arrowUpToLine, VKSymbols::arrowUpAndDown, VKSymbols::arrowDownToLine};
    for (int i = 0; i < 3; ++i)
        vAlign_->setSymbol(i, vSymbols[i]);
    align_->setToolTip(QStringLiteral("Left, center, right or justified"));
    vAlign_->setToolTip(QStringLiteral("Top, middle or bottom of the box"));
    auto *alignRow = row(8);
    alignRow->addWidget(align_, 1);
    alignRow->addWidget(vAlign_);
    group->addLayout(alignRow);
    connect(align_, &SegmentedPicker::picked, this, [this](int i) {
        const auto a = static_cast<LWTextAlign>(i);
        edit(QStringLiteral("Alignment"), std::nullopt, [a](LWText &t) { t.align = a; });
    });
    connect(vAlign_, &SegmentedPicker::picked, this, [this](int i) {
        const auto a = static_cast<LWVAlign>(i);
        edit(QStringLiteral("Vertical Alignment"), std::nullopt, [a](LWText &t) { t.vAlign = a; });
    });

    // 10: colour.
    auto *colorRow = row(10);
    colorRow->addWidget(well_, 0, Qt::AlignTop);
    colorRow->addWidget(swatches_, 1);
    group->addLayout(colorRow);
    connect(well_, &LWColorWell::colorPicked, this, [this](const LWColor &c) {
        edit(QStringLiteral("Text Color"), elementKey(QStringLiteral("tcolor-"), id_), [c](LWText &t) { t.color = c; });
    });
    connect(swatches_, &Swatches::picked, this, [this](const LWColor &c) {
        edit(QStringLiteral("Text Color"), std::nullopt, [c](LWText &t) { t.color = c; });
    });

    // Styling the text typed into on the page keeps the typing going: the family and the face too.
    for (QWidget *w : std::initializer_list<QWidget *>{familyButton_, style_, size_, tracking_, leading_, align_,
                                                        vAlign_, well_, swatches_})
        w->setProperty(vkTypingTargetProperty, id_);
    for (QAbstractButton *b : toggles_)
        b->setProperty(vkTypingTargetProperty, id_);

    // 11: fit.
    auto *fitRow = row(0);
    fitRow->addWidget(fit_);
    fitRow->addStretch();
    group->addLayout(fitRow);
    connect(fit_, &QAbstractButton::clicked, this, [this] {
        this->editor().fitBoxToText();
        refresh();
    });
    connect(&editor, &LWEditor::editingTextIDChanged, this, &TextSection::refresh);

    refresh();
}

TextSection::~TextSection() = default;

LabeledSlider *TextSection::slider(const QString &label, double LWText::*field, double lower, double upper,
                                   double step, const char *format, const QString &undo, const QString &prefix)
{
    return new LabeledSlider(
        label, [this, field] { return t_.*field; },
        [this, field, undo, prefix](double v) {
            edit(undo, elementKey(prefix, id_), [field, v](LWText &t) { t.*field = v; });
        },
        lower, upper, step, QString::fromUtf8(format));
}

void TextSection::edit(const QString &label, const std::optional<QString> &key,
                       const std::function<void(LWText &)> &body)
{
    editor().updateText({id_}, label, key, body);
    refresh(); // also when nothing changed (a locked box): the controls show the document again
}

void TextSection::refresh()
{
    const std::optional<LWElement> e = editor().element(id_);
    t_ = e && e->text ? *e->text
                      : LWText(QString(), QStringLiteral("HelveticaNeue"), 12, LWColor::black);
    family_ = fonts_.familyName(t_.fontName);
    members_ = fonts_.members(family_);

    if (text_->toPlainText() != t_.string) {
        const QSignalBlocker block(text_);
        QTextCursor cursor = text_->textCursor();
        const int at = cursor.position();
        text_->setPlainText(t_.string);
        cursor = text_->textCursor();
        cursor.setPosition(std::min(at, int(t_.string.size())));
        text_->setTextCursor(cursor);
    }
    // While the words are typed into on the page the note's room stays, so the controls do not
    // move under the mouse when the first key replaces the sample; it closes when typing ends.
    const bool typing = editor().editingTextID() == id_;
    holdNote_ = typing && (holdNote_ || t_.placeholder);
    QSizePolicy notePolicy = note_->sizePolicy();
    notePolicy.setRetainSizeWhenHidden(holdNote_);
    note_->setSizePolicy(notePolicy);
    note_->setVisible(t_.placeholder);

    static_cast<FamilyButton *>(familyButton_)->show(family_, interfaceSized(fonts_.font(t_.fontName, 14), 14));

    styleRow_->setVisible(members_.size() > 1);
    {
        const QSignalBlocker block(style_);
        bool same = style_->count() == members_.size();
        for (int i = 0; same && i < members_.size(); ++i)
            same = style_->itemText(i) == members_[i].second && style_->itemData(i).toString() == members_[i].first;
        if (!same) {
            style_->clear();
            for (const auto &m : members_)
                style_->addItem(m.second, m.first);
        }
        // A platform name is drawn by its stand-in, which is the member listed.
        const QString drawn = fonts_.faceName(t_.fontName);
        int current = -1;
        for (const QString &name : {t_.fontName, drawn})
            for (int i = 0; i < members_.size() && current < 0; ++i)
                if (members_[i].first == name)
                    current = i;
        style_->setCurrentIndex(current);
    }

    sizeField_->setValue(t_.size);
    const bool lit[] = {fonts_.has(t_.fontName, LWFonts::boldTrait), fonts_.has(t_.fontName, LWFonts::italicTrait),
                        t_.underline, t_.uppercase};
    for (int i = 0; i < 4; ++i)
        static_cast<StyleToggle *>(toggles_[i])->setOn(lit[i]);
    for (LabeledSlider *s : {size_, tracking_, leading_})
        s->update();
    align_->setCurrent(static_cast<int>(t_.align));
    vAlign_->setCurrent(static_cast<int>(t_.vAlign));
    well_->setColor(t_.color);
    const QList<LWColor> colors = editor().docColors();
    if (colors != swatches_->colors())
        swatches_->setColors(colors);
}

QString TextSection::familyChoice(const QString &fontName, const Members &currentMembers, const Members &newMembers)
{
    QString style = regular;
    for (const auto &m : currentMembers)
        if (m.first == fontName) {
            style = m.second;
            break;
        }
    for (const auto &m : newMembers)
        if (m.second == style)
            return m.first;
    for (const auto &m : newMembers)
        if (m.second == regular)
            return m.first;
    return newMembers.isEmpty() ? fontName : newMembers.first().first;
}

void TextSection::openFontPicker()
{
    if (popover_ && popover_->isOpen())
        return;
    auto *picker = new FontFamilyPicker(fonts_, family_);
    popover_ = new VKPopover(picker, this);
    connect(picker, &FontFamilyPicker::picked, this, &TextSection::pickFamily);
    connect(popover_, &VKPopover::closed, popover_, &QObject::deleteLater);
    popover_->open(familyButton_);
}

void TextSection::pickFamily(const QString &family)
{
    const QString name = familyChoice(t_.fontName, members_, fonts_.members(family));
    edit(QStringLiteral("Font"), std::nullopt, [name](LWText &t) { t.fontName = name; });
    if (popover_)
        popover_->close();
}
