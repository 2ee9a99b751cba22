#pragma once
#include "kit/controls/popover.h"
#include "model/text.h"
#include "ui/inspector/inspectorsection.h"

#include <QList>
#include <QPair>
#include <QPointer>
#include <QUuid>

class ChipButton;
class LabeledSlider;
class LWColorWell;
class LWFontSource;
class NumberField;
class QAbstractButton;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class SegmentedPicker;
class Swatches;

// The inspector's section for one text element (`id`), in one group "Text": the text editor, the
// amber sample-text note, the font family button (opens FontFamilyPicker in a popover), "Style"
// (families of more than one face), the size field with the B / I / U / AA toggles, the "Size",
// "Tracking" and "Leading" sliders, horizontal and vertical alignment, the text colour (well and
// swatches) and "Fit Box to Text".
//
// "Style" selects the member that draws the text: the face itself, or a platform name's stand-in;
// choosing the entry already selected writes nothing.
//
// The style controls (the family button, "Style", B / I / U / AA, the sliders, the alignments, the
// well and the swatches) carry the element's id as vkTypingTargetProperty: pressing them while the
// text is typed into on the page leaves the keyboard there, and once the family popover or the
// Style list closes the typing goes on.
//
// Typing hands the whole string to LWEditor::setText; every other control goes through
// updateText of this element alone (whatever is selected by then) with its undo name ("size-", "track-", "lead-" and "tcolor-" keys for the sliders and
// the well, none otherwise), or fitBoxToText. Controls show the element's text, or a stand-by
// (empty, "HelveticaNeue" 12, black) when it has none or is gone.
class TextSection : public InspectorSection {
    Q_OBJECT
public:
    using Members = QList<QPair<QString, QString>>;

    TextSection(LWEditor &editor, const QUuid &id, LWFontSource &fonts, QWidget *parent = nullptr);
    ~TextSection() override;

    // Re-reads the element; the editor's text is replaced only when it differs from the document,
    // its cursor kept (clamped) and no change handed back.
    void refresh() override;

    // The face a family pick takes: the new family's member of the current style (the style of
    // the first current member named `fontName`, else "Regular"), else its "Regular", else its
    // first member, else `fontName` itself. Style names compare exactly.
    [[nodiscard]] static QString familyChoice(const QString &fontName, const Members &currentMembers,
                                              const Members &newMembers);
    // The text the controls show.
    const LWText &shown() const { return t_; }
    QString family() const { return family_; }

    QPlainTextEdit *textEdit() const { return text_; }
    QLabel *sampleNote() const { return note_; }
    QAbstractButton *familyButton() const { return familyButton_; }
    // The open family popover, or null.
    VKPopover *popover() const { return popover_; }
    QComboBox *stylePicker() const { return style_; }
    NumberField *sizeField() const { return sizeField_; }
    // "B", "I", "U", "AA", in that order.
    QList<QAbstractButton *> toggles() const { return toggles_; }
    LabeledSlider *sizeSlider() const { return size_; }
    LabeledSlider *trackingSlider() const { return tracking_; }
    LabeledSlider *leadingSlider() const { return leading_; }
    SegmentedPicker *alignPicker() const { return align_; }
    SegmentedPicker *vAlignPicker() const { return vAlign_; }
    LWColorWell *colorWell() const { return well_; }
    Swatches *swatches() const { return swatches_; }
    ChipButton *fitButton() const { return fit_; }

    // Opens the family popover (the family button's action).
    void openFontPicker();
    // Runs the family change for a picked family and closes the popover.
    void pickFamily(const QString &family);

private:
    void edit(const QString &label, const std::optional<QString> &key, const std::function<void(LWText &)> &body);
    LabeledSlider *slider(const QString &label, double LWText::*field, double lower, double upper, double step,
                          const char *format, const QString &undo, const QString &prefix);

    QUuid id_;
    LWFontSource &fonts_;
    LWText t_;
    QString family_;
    Members members_;

    QPlainTextEdit *text_;
    QLabel *note_;
    bool holdNote_ = false; // the note's room is kept while its words are typed into on the page
    QAbstractButton *familyButton_;
    QPointer<VKPopover> popover_;
    QWidget *styleRow_;
    QComboBox *style_;
    NumberField *sizeField_;
    QList<QAbstractButton *> toggles_;
    LabeledSlider *size_, *tracking_, *leading_;
    SegmentedPicker *align_, *vAlign_;
    LWColorWell *well_;
    Swatches *swatches_;
    ChipButton *fit_;
};
