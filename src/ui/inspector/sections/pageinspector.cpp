#include "ui/inspector/sections/pageinspector.h"

#include "app/app.h"
#include "app/sheets/sheetparts.h"
#include "editor/editor.h"
#include "kit/controls/chipbutton.h"
#include "kit/help/help.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/paint/symbols.h"
#include "model/format.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectornote.h"
#include "ui/inspector/keys.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QHBoxLayout *chipRow(std::initializer_list<ChipButton *> chips)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    for (ChipButton *c : chips)
        row->addWidget(c, 0, Qt::AlignVCenter);
    row->addStretch();
    return row;
}

} // namespace

PageInspector::PageInspector(LWEditor &editor, LWApp &app, QWidget *parent)
    : InspectorSection(editor, parent), app_(app), readout_(new LCDReadout({}, 240)),
      changeSize_(new ChipButton(QStringLiteral("Change Size…"), VKSymbols::arrowExpand)),
      selectAll_(new ChipButton(QStringLiteral("Select All"), VKSymbols::checkmarkCircle)),
      addBack_(new ChipButton(QStringLiteral("Add a Back Side"), VKSymbols::rectangleOnRectangle)),
      removeBack_(new ChipButton(QStringLiteral("Remove the Back Side…"), VKSymbols::minusRectangle)),
      background_(new InspectorGroup(QString())), fill_(new FillEditor), guides_(new InspectorNote),
      link_(lwLinkButton(QStringLiteral("Open the step-by-step guide"), 11))
{
    auto *document = new InspectorGroup(QStringLiteral("Document"));
    document->addRow(readout_);
    document->addLayout(chipRow({changeSize_, selectAll_}));
    document->addLayout(chipRow({addBack_, removeBack_}));

    background_->addRow(fill_);
    background_->addRow(new InspectorNote(
        QStringLiteral("The background always runs out to the bleed line, so there are no white edges after cutting.")));

    auto *guides = new InspectorGroup(QStringLiteral("Guides"));
    guides->addRow(guides_);

    auto *help = new InspectorGroup(QStringLiteral("Quick help"));
    help->addRow(new InspectorNote(QStringLiteral(
        "Click an item to select it. Double-click text to type. Drag the square handles to resize, the round "
        "handle to rotate. Hold Shift to keep straight lines and proportions.")));
    help->addRow(link_);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    for (InspectorGroup *g : {document, background_, guides, help})
        column->addWidget(g);

    connect(changeSize_, &ChipButton::clicked, this, [this] { app_.setSheet(LWAppSheet::size); });
    connect(selectAll_, &ChipButton::clicked, this, [this] { this->editor().selectAll(); });
    connect(addBack_, &ChipButton::clicked, this, [this] { this->editor().addBackSide(); });
    connect(removeBack_, &ChipButton::clicked, this, &PageInspector::removeBackSide);
    connect(fill_, &FillEditor::changed, this, [this](const LWFill &fill, const std::optional<QString> &key) {
        this->editor().setBackground(fill, pageKey(key, this->editor().pageIndex()));
    });
    connect(link_, &QPushButton::clicked, this, [] { VELKHelp::show(helpTopic); });
    refresh();
}

QString PageInspector::guidesText(qsizetype n)
{
    if (n == 0)
        return QStringLiteral("No guides. Use Guides above the page to add one.");
    return QString::number(n) + (n == 1 ? QStringLiteral(" guide") : QStringLiteral(" guides")) +
           QStringLiteral(". Drag them on the page; drag one off the page to remove it.");
}

void PageInspector::refresh()
{
    const LWEditor &ed = editor();
    const LWDocument &doc = ed.doc();
    readout_->setLines({doc.sizeText(), QStringLiteral("Bleed ") + ed.bleedText() + QStringLiteral(" · safe ") +
                                            LWFormat::num(ed.toUnit(doc.safe), 3) + u' ' + ed.unitName()});
    // A business card keeps both sides; a stored design of three or more pages offers neither.
    const bool card = doc.kind == LWDocKind::businessCard;
    addBack_->setVisible(!card && doc.pages.size() == 1);
    removeBack_->setVisible(!card && doc.pages.size() == 2);
    background_->setTitle(QStringLiteral("Background (") + ed.page().name + u')');
    fill_->setFill(ed.page().background, ed.docColors());
    guides_->setNote(guidesText(doc.guides.size()));
}

void PageInspector::removeBackSide()
{
    if (app_.confirm(QStringLiteral("Remove the back side and everything on it?"),
                     QStringLiteral("You can undo this with Edit → Undo."), QStringLiteral("Remove Back Side")))
        editor().removeBackSide();
}
