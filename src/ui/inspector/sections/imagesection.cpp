#include "ui/inspector/sections/imagesection.h"

#include "editor/editor.h"
#include "editor/widgets/imagepickerdialog.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/labeledslider.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/pictures/picturequeue.h"
#include "render/preflight.h"
#include "ui/inspector/inspectorcombo.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectornote.h"
#include "ui/inspector/keys.h"
#include "ui/inspector/strokeeditor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The "Shape" menu in the order of LWMask's cases.
const QStringList maskTitles = {QStringLiteral("Rectangle"), QStringLiteral("Rounded"), QStringLiteral("Circle / oval"),
                                QStringLiteral("Hexagon"),   QStringLiteral("Star"),    QStringLiteral("Arch"),
                                QStringLiteral("Diamond")};

const QString dpiTip = QStringLiteral("Print sharpness at this size. 300 DPI or more is best.");

QHBoxLayout *flatRow()
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    return row;
}

} // namespace

ImageSection::ImageSection(LWEditor &editor, QUuid id, QWidget *parent)
    : ElementSection(editor, id, parent),
      chooser_([id](LWEditor &e, QWidget *p) { LWImagePicker::choose(e, {e.pageIndex(), id, {}}, p); }),
      choose_(new ChipButton(QStringLiteral("Choose Picture…"), VKSymbols::photo)), dpi_(new LCDReadout({}, 70)),
      hint_(new InspectorNote(
          QStringLiteral("Empty photo frame. Drag a photo from your file manager onto it, or click Choose Picture."),
          [] { return LWStyle::amber(); })),
      undrawn_(new InspectorNote({}, [] { return LWStyle::ruby(); })),
      fit_(new SegmentedPicker({}, {QStringLiteral("Fill the frame"), QStringLiteral("Show it all")})),
      mask_(new InspectorCombo(QStringLiteral("Shape"))),
      crops_({cropSlider(QStringLiteral("Left"), &LWImage::cropL), cropSlider(QStringLiteral("Right"), &LWImage::cropR),
              cropSlider(QStringLiteral("Top"), &LWImage::cropT), cropSlider(QStringLiteral("Bottom"), &LWImage::cropB)}),
      reset_(new ChipButton(QStringLiteral("Reset Crop"))), border_(makeStrokeEditor(QStringLiteral("Border"), 1)),
      corners_(makeCornersSlider())
{
    // Picture.
    auto *picture = new InspectorGroup(QStringLiteral("Picture"));
    auto *chooseRow = flatRow();
    chooseRow->addWidget(choose_, 0, Qt::AlignVCenter);
    chooseRow->addStretch();
    dpi_->setToolTip(dpiTip);
    chooseRow->addWidget(dpi_, 0, Qt::AlignVCenter);
    picture->addLayout(chooseRow);
    picture->addRow(hint_);
    picture->addRow(undrawn_);
    picture->addRow(fit_);
    auto *maskRow = flatRow();
    auto *maskLabel = new QLabel;
    vkPlain(maskLabel, QStringLiteral("Shape"));
    maskLabel->setFont(vkFont(11));
    mask_->addItems(maskTitles);
    maskRow->addWidget(maskLabel);
    maskRow->addWidget(mask_, 1);
    picture->addLayout(maskRow);

    // Crop.
    auto *crop = new InspectorGroup(QStringLiteral("Crop"));
    for (LabeledSlider *s : crops_)
        crop->addRow(s);
    auto *resetRow = flatRow();
    resetRow->addWidget(reset_);
    resetRow->addStretch();
    crop->addLayout(resetRow);

    // Border.
    auto *border = new InspectorGroup(QStringLiteral("Border"));
    border->addRow(border_);
    border->addRow(corners_);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    for (InspectorGroup *g : {picture, crop, border})
        column->addWidget(g);

    connect(choose_, &ChipButton::clicked, this, [this] {
        if (chooser_)
            chooser_(this->editor(), VKZoomHost::outerWindow(this));
    });
    connect(fit_, &SegmentedPicker::picked, this, [this](int index) {
        const LWImageFit fit = index == 1 ? LWImageFit::fit : LWImageFit::fill;
        editPicture(QStringLiteral("Picture Fit"), std::nullopt, [fit](LWImage &img) { img.fit = fit; });
    });
    // activated alone: refreshes set the index without an edit.
    connect(mask_, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= maskTitles.size())
            return;
        const auto mask = static_cast<LWMask>(index);
        editPicture(QStringLiteral("Picture Shape"), std::nullopt, [mask](LWImage &img) { img.mask = mask; });
    });
    connect(reset_, &ChipButton::clicked, this, [this] {
        editPicture(QStringLiteral("Reset Crop"), std::nullopt,
                    [](LWImage &img) { img.cropL = img.cropT = img.cropR = img.cropB = 0; });
    });
    // The read-out foresees the JPEG and PNG export as the export sheet is set.
    connect(&LWSettings::shared(), &LWSettings::changed, this, [this](const QString &key) {
        if (key == LWPrefs::exportDPIKey || key == LWPrefs::exportBleedKey)
            refresh();
    });
    // The picture is checked beside the window; the read-out follows when the answer comes.
    connect(&LWPictureQueue::shared(), &LWPictureQueue::finished, this, [this] {
        if (!checking_ || std::exchange(answerQueued_, true))
            return;
        QTimer::singleShot(50, this, [this] {
            answerQueued_ = false;
            if (checking_)
                refresh();
        });
    });
    refresh();
}

void ImageSection::setChooser(Chooser chooser) { chooser_ = std::move(chooser); }

QString ImageSection::dpiText(double dpi)
{
    return QString::number(static_cast<qint64>(std::trunc(dpi))) + QStringLiteral(" DPI");
}

LWImage ImageSection::picture() const { return element().image.value_or(LWImage::empty()); }

void ImageSection::editPicture(const QString &label, const std::optional<QString> &key,
                               const std::function<void(LWImage &)> &body)
{
    // No step at all for an element without a picture record.
    if (!element().image)
        return;
    edit(label, key, [body](LWElement &e) {
        if (e.image)
            body(*e.image);
    });
}

LabeledSlider *ImageSection::cropSlider(const QString &label, double LWImage::*side)
{
    return new LabeledSlider(
        label, [this, side] { return element().image ? (*element().image).*side * 100 : 0.0; },
        [this, side](double v) {
            editPicture(QStringLiteral("Crop"), elementKey(QStringLiteral("crop-"), id()),
                        [side, v](LWImage &img) { img.*side = v / 100; });
        },
        0, 45, 0.5, QStringLiteral("%.1f"), QStringLiteral("%"));
}

void ImageSection::refresh()
{
    reread();
    const LWImage img = picture();
    const bool filled = element().image && img.data;
    choose_->setText(filled ? QStringLiteral("Replace…") : QStringLiteral("Choose Picture…"));
    hint_->setVisible(!filled);
    // Never waits for the picture: while it is checked the read-out says so.
    const LWExport::PictureSoon known = LWExport::pictureSoon(editor().doc(), editor().pageIndex(), element());
    checking_ = known.checking;
    if (known.checking)
        dpi_->setLines({QStringLiteral("\u2026 DPI")});
    else if (known.dpi)
        dpi_->setLines({dpiText(*known.dpi)});
    dpi_->setVisible(known.checking || known.dpi.has_value());
    dpi_->setToolTip(known.checking ? QStringLiteral("Checking the picture\u2026") : dpiTip);
    // A resolution of a picture that won't print whole is no promise: it reads in ruby.
    dpi_->setTextColour(known.undrawn ? std::optional<QColor>(LWStyle::ruby()) : std::nullopt);
    if (known.undrawn)
        undrawn_->setNote(QStringLiteral("This picture") + *known.undrawn);
    undrawn_->setVisible(known.undrawn.has_value());
    fit_->setCurrent(img.fit == LWImageFit::fit ? 1 : 0);
    mask_->setCurrentIndex(static_cast<int>(img.mask));
    for (LabeledSlider *s : crops_)
        s->update();
    border_->setStroke(element().stroke, editor().docColors());
    corners_->setVisible(img.mask == LWMask::none);
    showCorners(corners_);
}
