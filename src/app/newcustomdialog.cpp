#include "app/newcustomdialog.h"

#include "app/app.h"
#include "app/sheets/sheetparts.h"
#include "app/textlabel.h"
#include "kit/controls/chromebutton.h"
#include "kit/host/kithost.h"
#include "kit/controls/numberfield.h"
#include "kit/views/overhangitem.h"
#include "kit/controls/segmentedpicker.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

QString NewCustomDialog::unitText(bool mm)
{
    return mm ? QStringLiteral("mm") : QStringLiteral("in");
}

NumberField *NewCustomDialog::sizeField(const QString &label, double *number, bool mm)
{
    auto *field = new NumberField(label, *number, unitText(mm), 3, 70);
    connect(field, &NumberField::committed, field, [field, number](double d) {
        *number = std::max(d, minNumber);
        field->setValue(*number);
    });
    return field;
}

NewCustomDialog::NewCustomDialog(LWApp &app, QWidget *window) : QDialog(window), app_(app)
{
    auto *form = lwSheetForm(this, QStringLiteral("Custom size"), 14);


    form->addWidget(lwTextLabel(QStringLiteral("Custom size"), 18, VKWeight::Heavy));

    units_ = new SegmentedPicker(QStringLiteral("Units"), {QStringLiteral("Inches"), QStringLiteral("Millimeters")}, 240);
    units_->setCurrent(0);
    connect(units_, &SegmentedPicker::picked, this, [this](int index) { setMillimetres(index == 1); });
    form->addWidget(units_);

    auto *sizes = new QHBoxLayout;
    sizes->setSpacing(16);
    wField_ = sizeField(QStringLiteral("W"), &w_, mm_);
    hField_ = sizeField(QStringLiteral("H"), &h_, mm_);
    for (NumberField *field : {wField_, hField_})
        sizes->addWidget(field, 0, Qt::AlignVCenter);
    sizes->addStretch(1);
    form->addLayout(sizes);

    card_ = new QCheckBox(QStringLiteral("Two-sided (front and back), like a card"));
    card_->setFont(vkFont(13));
    form->addWidget(card_);

    form->addWidget(lwTextLabel(QStringLiteral("Bleed (0.125 in / 3 mm) is added around the edge for you."), 11,
                                VKWeight::Normal, VELKKitHost::theme().dim));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new VKChromeButton(QStringLiteral("Cancel"));
    create_ = new VKChromeButton(QStringLiteral("Create"));
    create_->setProminent(true);
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(create_, &QAbstractButton::clicked, this, &NewCustomDialog::create);
    for (VKChromeButton *b : {cancel_, create_})
        VKOverhangItem::add(buttons, b, VKChromeButton::shadowMargins());
    form->addLayout(buttons);

    // The form is 420 wide, its padding included; its height follows the content.
    setFixedWidth(420);
    setFixedHeight(sizeHint().height());
}

NewCustomDialog *NewCustomDialog::present(LWApp &app, QWidget *window)
{
    auto *dialog = new NewCustomDialog(app, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, &app, [&app] { app.setSheet(std::nullopt); });
    dialog->open();
    return dialog;
}

NewCustomDialog::Size NewCustomDialog::customSize(double w, double h, bool mm)
{
    const double factor = mm ? LWUnits::ptPerMM : LWUnits::ptPerInch;
    const double width = std::clamp(w * factor, minSide, maxSide);
    const double height = std::clamp(h * factor, minSide, maxSide);
    return {width, height, std::min(std::min(width, height) * 0.0625, 18.0)};
}

LWDocument NewCustomDialog::design(double w, double h, bool mm, bool twoSided)
{
    const Size size = customSize(w, h, mm);
    LWDocument doc = LWDocument::blank(twoSided ? LWDocKind::businessCard : LWDocKind::custom,
                                       QStringLiteral("custom"), size.width, size.height, size.safe,
                                       QStringLiteral("Untitled"));
    doc.kind = LWDocKind::custom;
    return doc;
}

void NewCustomDialog::create()
{
    // A number still being typed counts, as the user sees it.
    wField_->commitPending();
    hField_->commitPending();
    const LWDocument doc = design(w_, h_, mm_, card_->isChecked());
    accept();
    QTimer::singleShot(0, &app_, [app = &app_, doc] { app->newDocument(doc); });
}

void NewCustomDialog::keyPressEvent(QKeyEvent *event)
{
    if (lwIsReturn(event)) {
        create();
        return;
    }
    QDialog::keyPressEvent(event);
}

void NewCustomDialog::setMillimetres(bool mm)
{
    mm_ = mm;
    wField_->setUnit(unitText(mm));
    hField_->setUnit(unitText(mm));
}
