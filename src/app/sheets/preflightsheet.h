#pragma once
#include "render/preflight.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QTimer>

class LED;
class LWEditor;
class LWSymbolLabel;
class QLabel;
class QPushButton;
class VKChromeButton;
class VKScrollView;

// The print-check sheet: every preflight finding of the open design, most serious first, with a
// lamp by level, the page name when the design has several, and "Show" for findings about an
// item. The list follows the design while open. Pictures are checked beside the window: one not
// known yet is listed as being checked until its answer comes. Changes nothing in the design;
// "Show" changes the side and the selection and closes the sheet. Window-modal, 580 wide; it opens
// with the keyboard on "Done", Return is "Done" wherever the keyboard is, Escape closes.
class PreflightSheet : public QDialog {
    Q_OBJECT
public:
    // One row as shown; `page` and `show` are null when not shown.
    struct Row {
        LED *lamp = nullptr;
        QLabel *message = nullptr;
        QLabel *page = nullptr;
        VKChromeButton *show = nullptr;
    };

    explicit PreflightSheet(LWEditor *editor, QWidget *parent = nullptr);

    // Problems, then warnings, then infos, each level in the order found.
    [[nodiscard]] static QList<LWExport::Issue> sorted(QList<LWExport::Issue> issues);
    // "2 things to look at before printing.", "Ready to print. Nothing to report." …
    [[nodiscard]] static QString verdict(const QList<LWExport::Issue> &issues);

    // Shows these findings (sorted here) in place of the design's own, until the design changes.
    void setIssues(const QList<LWExport::Issue> &issues);
    const QList<LWExport::Issue> &issues() const { return issues_; }
    // Selects the issue's item on its side and closes; nothing for a page that is no page index
    // or an item no longer on it. A group member selects its top-level group.
    void showIssue(const LWExport::Issue &issue);

    LWSymbolLabel *seal() const { return seal_; }
    QLabel *verdictLabel() const { return verdict_; }
    const QList<Row> &rows() const { return rows_; }
    VKScrollView *list() const { return list_; }
    QPushButton *helpButton() const { return help_; }
    VKChromeButton *doneButton() const { return done_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refresh();
    QWidget *makeRow(const LWExport::Issue &issue, bool pageNames, QWidget *parent);

    QPointer<LWEditor> editor_;
    QList<LWExport::Issue> issues_;
    bool checking_ = false; // the design's findings, some pictures still being checked
    QTimer answers_;
    QList<Row> rows_;
    LWSymbolLabel *seal_;
    QLabel *verdict_;
    VKScrollView *list_;
    QPushButton *help_;
    VKChromeButton *done_;
};
