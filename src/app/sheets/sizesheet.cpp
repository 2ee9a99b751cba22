#include "app/sheets/sizesheet.h"

#include "app/newcustomdialog.h"
#include "app/sheets/sheetparts.h"
#include "app/textlabel.h"
#include "editor/editor.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/numberfield.h"
#include "kit/views/overhangitem.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/style.h"
#include "model/document.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int sheetWidth = 460;

} // namespace

SizeSheet::SizeSheet(LWEditor *editor, QWidget *parent) : QDialog(parent), editor_(editor)
{
    auto *form = lwSheetForm(this, QStringLiteral("Change size"), 12);
    if (editor_) {
        const LWDocument &doc = editor_->doc();
        presetID_ = LWSizePreset::named(doc.sizeID) ? doc.sizeID : custom;
        landscape_ = doc.height <= doc.width;
        mm_ = editor_->mmUnits();
        w_ = editor_->toUnit(doc.width);
        h_ = editor_->toUnit(doc.height);
    } else {
        presetID_ = custom;
    }

    form->addWidget(lwTextLabel(QStringLiteral("Change size"), 20, VKWeight::Heavy));

    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(lwTextLabel(QStringLiteral("Size"), 13));
    size_ = new QComboBox(this);
    size_->setFont(vkFont(13));
    for (const LWSizePreset &p : LWSizePreset::all())
        size_->addItem(p.name + QStringLiteral(" \u2014 ") + p.detail, p.id);
    size_->addItem(QStringLiteral("Custom size"), custom);
    size_->setCurrentIndex(size_->findData(presetID_));
    connect(size_, &QComboBox::activated, this, [this](int i) { choose(size_->itemData(i).toString()); });
    sizeRow->addWidget(size_, 1);
    form->addLayout(sizeRow);

    customBox_ = new QWidget(this);
    auto *customColumn = new QVBoxLayout(customBox_);
    customColumn->setContentsMargins(0, 0, 0, 0);
    customColumn->setSpacing(12);
    units_ = new SegmentedPicker(QStringLiteral("Units"), {QStringLiteral("Inches"), QStringLiteral("Millimeters")}, 220,
                                 customBox_);
    units_->setCurrent(mm_ ? 1 : 0);
    connect(units_, &SegmentedPicker::picked, this, [this](int index) { setMillimetres(index == 1); });
    customColumn->addWidget(units_);
    auto *fields = new QHBoxLayout;
    fields->setSpacing(14);
    wField_ = NewCustomDialog::sizeField(QStringLiteral("W"), &w_, mm_);
    hField_ = NewCustomDialog::sizeField(QStringLiteral("H"), &h_, mm_);
    for (NumberField *field : {wField_, hField_})
        fields->addWidget(field, 0, Qt::AlignVCenter);
    fields->addStretch(1);
    customColumn->addLayout(fields);
    form->addWidget(customBox_);

    orientation_ = new SegmentedPicker(QString(), {QStringLiteral("Wide (landscape)"), QStringLiteral("Tall (portrait)")},
                                       300, this);
    orientation_->setCurrent(landscape_ ? 0 : 1);
    connect(orientation_, &SegmentedPicker::picked, this, [this](int index) { landscape_ = index == 0; });
    form->addWidget(orientation_);

    scale_ = new QCheckBox(QStringLiteral("Scale everything to fit the new size"), this);
    scale_->setFont(vkFont(13));
    scale_->setChecked(true);
    form->addWidget(scale_);

    form->addWidget(lwTextLabel(QStringLiteral("Business cards always have a front and a back. Use Edit \u2192 Undo if "
                                               "you change your mind."),
                                11, VKWeight::Normal, LWStyle::t().dim, true));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new VKChromeButton(QStringLiteral("Cancel"), this);
    apply_ = new VKChromeButton(QStringLiteral("Apply"), this);
    apply_->setProminent(true);
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(apply_, &QAbstractButton::clicked, this, &SizeSheet::apply);
    for (VKChromeButton *b : {cancel_, apply_})
        VKOverhangItem::add(buttons, b, VKChromeButton::shadowMargins());
    form->addLayout(buttons);

    choose(presetID_);
}

bool SizeSheet::scale() const { return scale_->isChecked(); }

void SizeSheet::choose(const QString &id)
{
    presetID_ = id;
    const bool isCustom = !LWSizePreset::named(id);
    customBox_->setVisible(isCustom);
    orientation_->setVisible(!isCustom);
    lwFitDialog(this, sheetWidth);
}

void SizeSheet::setMillimetres(bool mm)
{
    mm_ = mm;
    wField_->setUnit(NewCustomDialog::unitText(mm));
    hField_->setUnit(NewCustomDialog::unitText(mm));
}

void SizeSheet::apply()
{
    // A number still being typed counts, as the user sees it.
    wField_->commitPending();
    hField_->commitPending();
    if (!editor_) {
        reject();
        return;
    }
    bool ok = false;
    if (const std::optional<LWSizePreset> preset = LWSizePreset::named(presetID_)) {
        const double longer = std::max(preset->width, preset->height);
        const double shorter = std::min(preset->width, preset->height);
        ok = editor_->resize(landscape_ ? longer : shorter, landscape_ ? shorter : longer, preset->id, preset->safe,
                             scale());
    } else {
        const NewCustomDialog::Size size = NewCustomDialog::customSize(w_, h_, mm_);
        ok = editor_->resize(size.width, size.height, custom, size.safe, scale());
    }
    // Every side is clamped and every safe margin finite here.
    Q_ASSERT(ok);
    Q_UNUSED(ok);
    accept();
}

void SizeSheet::keyPressEvent(QKeyEvent *event)
{
    if (lwIsReturn(event)) {
        apply();
        return;
    }
    QDialog::keyPressEvent(event);
}
