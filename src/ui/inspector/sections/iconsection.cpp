#include "ui/inspector/sections/iconsection.h"

#include "editor/editor.h"
#include "kit/controls/chipbutton.h"
#include "kit/paint/iconglyph.h"
#include "kit/controls/iconpicker.h"
#include "kit/controls/popover.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"
#include "render/icons/icons.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectorlabel.h"
#include "ui/inspector/strokeeditor.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

IconSection::IconSection(LWEditor &editor, QUuid id, QWidget *parent)
    : ElementSection(editor, id, parent), row_(new QWidget), preview_(new IconGlyph(QStringLiteral("star"))),
      title_(new InspectorLabel(QString(), vkFont(12, VKWeight::Semibold), false)),
      change_(new ChipButton(QStringLiteral("Change…"))), fill_(makeFillEditor(QStringLiteral("Icon Color"))),
      stroke_(makeStrokeEditor(QStringLiteral("Outline"), 1))
{
    preview_->setFixedSize(previewSize, previewSize);
    auto *row = new QHBoxLayout(row_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(preview_, 0, Qt::AlignVCenter);
    row->addWidget(title_, 0, Qt::AlignVCenter);
    row->addStretch();
    row->addWidget(change_, 0, Qt::AlignVCenter);

    auto *icon = new InspectorGroup(QStringLiteral("Icon"));
    icon->addRow(row_);
    auto *color = new InspectorGroup(QStringLiteral("Color"));
    color->addRow(fill_);
    auto *outline = new InspectorGroup(QStringLiteral("Outline"));
    outline->addRow(stroke_);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    for (InspectorGroup *g : {icon, color, outline})
        column->addWidget(g);

    connect(change_, &ChipButton::clicked, this, &IconSection::openPicker);
    refresh();
}

void IconSection::refresh()
{
    reread();
    const std::optional<QString> &icon = element().icon;
    preview_->setName(icon.value_or(QStringLiteral("star")));
    title_->setText(LWIcons::title(icon.value_or(QString())));
    showPaints(fill_, stroke_);
}

void IconSection::openPicker()
{
    if (popover_)
        return;
    auto *picker = new IconPicker;
    velkRoot(picker);
    popover_ = new VKPopover(picker, row_);
    connect(picker, &IconPicker::pick, this, &IconSection::pick);
    connect(popover_, &VKPopover::closed, popover_, &QObject::deleteLater);
    popover_->open(row_);
}

void IconSection::pick(const QString &icon)
{
    // The editor's change may lead the routing to replace this section.
    const QPointer<VKPopover> popover = popover_;
    edit(QStringLiteral("Change Icon"), std::nullopt, [icon](LWElement &e) {
        e.icon = icon;
        e.name = QStringLiteral("Icon: ") + icon;
    });
    if (popover)
        popover->close();
}
