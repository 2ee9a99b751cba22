#pragma once
#include "ui/inspector/inspectorsection.h"

class ChipButton;
class FillEditor;
class InspectorGroup;
class InspectorNote;
class LCDReadout;
class LWApp;
class QPushButton;

// What the inspector shows without a selection. "Document": the size and the bleed and safe
// margin in the display unit, "Change Size…" (the size sheet), "Select All", and for a design
// that is not a business card "Add a Back Side" (one page) or "Remove the Back Side…" (exactly
// two pages; asked through LWApp::confirm). "Background (<page>)": the shown page's background,
// its keys extended with the page (pageKey), so front and back edits never share a step.
// "Guides": how many guides there are; "Quick help" with a link to the walkthrough topic.
class PageInspector : public InspectorSection {
    Q_OBJECT
public:
    static inline const QString helpTopic = QStringLiteral("walkthrough-card");

    PageInspector(LWEditor &editor, LWApp &app, QWidget *parent = nullptr);

    // "No guides. …" or "<n> guide(s). Drag them on the page; …".
    [[nodiscard]] static QString guidesText(qsizetype n);

    void refresh() override;

    LCDReadout *readout() const { return readout_; }
    ChipButton *changeSizeButton() const { return changeSize_; }
    ChipButton *selectAllButton() const { return selectAll_; }
    ChipButton *addBackButton() const { return addBack_; }
    ChipButton *removeBackButton() const { return removeBack_; }
    InspectorGroup *backgroundGroup() const { return background_; }
    FillEditor *fillEditor() const { return fill_; }
    InspectorNote *guidesNote() const { return guides_; }
    QPushButton *helpLink() const { return link_; }

private:
    void removeBackSide();

    LWApp &app_;
    LCDReadout *readout_;
    ChipButton *changeSize_, *selectAll_, *addBack_, *removeBack_;
    InspectorGroup *background_;
    FillEditor *fill_;
    InspectorNote *guides_;
    QPushButton *link_;
};
