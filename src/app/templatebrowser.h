#pragma once
#include "templates/template.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

class LWApp;
class LWThumbs;
class QAbstractButton;
class QLabel;
class QVBoxLayout;
class SegmentedPicker;
class TemplateGrid;
class VKSearchField;

// The screen for finding a template and starting a design from it: category rows on the left,
// the search field, size picker, count and tile grid in the middle, the preview on the right.
// The window makes a new browser each time it shows one, so query, category, size and selection
// always start afresh ("", "All", "all", none); only the widgets change them.
//
// The list is computed once per change of query, category or size and shared by the count and
// the grid. A click on a tile selects it; a double click on a tile or "Use This Template" calls
// LWApp::newFromTemplate, which may make the window replace this screen: nothing of the browser
// is touched after that call. A selection the list no longer shows (a search hid it) stays
// selected but is not previewed: the preview shows its hint until the list shows it again.
//
// From the keyboard: the search has it on opening; a letter typed elsewhere in the browser, or
// Ctrl+F, takes it there. Down in the search goes on into the grid (see TemplateGrid for its
// keys); Escape there clears a search, else, like Escape anywhere in the browser, closes it (back
// to the open design, else the start screen). The category list is one Tab stop: Up and Down
// choose the row above or below.
class TemplateBrowser : public QWidget {
    Q_OBJECT
public:
    struct SizeChoice {
        const char *id;
        const char *label;
    };
    // The size picker's segments: "all" ("All sizes"), then the five sizes of the library.
    static const QList<SizeChoice> &sizes();
    // "All", "Business Cards", "Flyers", then the library's categories.
    static QStringList categories();

    // Thumbnails from the shared store when `store` is null.
    explicit TemplateBrowser(LWApp &app, LWThumbs *store = nullptr, QWidget *parent = nullptr);

    const QString &query() const { return m_query; }
    const QString &filter() const { return m_filter; }
    const QString &size() const { return m_size; }
    const std::optional<QString> &selected() const { return m_selected; }
    const QList<LWTemplate> &list() const { return m_list; }

    VKSearchField *searchField() const { return m_search; }
    SegmentedPicker *sizePicker() const { return m_picker; }
    QLabel *countLabel() const { return m_count; }
    TemplateGrid *grid() const { return m_grid; }
    // The row of a category, or null.
    QAbstractButton *categoryRow(const QString &category) const;
    // The preview's current content and its button (null while the hint shows).
    QWidget *preview() const { return m_preview; }
    QAbstractButton *useButton() const { return m_use; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void leave();
    QWidget *categoryPanel();
    QWidget *middleColumn();
    void setFilter(const QString &filter);
    void setSize(const QString &size);
    void setQuery(const QString &query);
    void select(const QString &id);
    // Computes the list and hands it to the count and the grid.
    void refresh();
    void rebuildPreview();
    QWidget *previewOf(const LWTemplate &t);
    // The selection while the list shows it, else none.
    [[nodiscard]] std::optional<QString> listedSelection() const;

    LWApp &m_app;
    QPointer<LWThumbs> m_store;
    QString m_query;
    QString m_filter = QStringLiteral("All");
    std::optional<QString> m_selected;
    std::optional<QString> m_previewed; // what the preview shows: the listed selection, or none
    QString m_size = QStringLiteral("all");
    QList<LWTemplate> m_list;

    QList<QAbstractButton *> m_rows;
    VKSearchField *m_search = nullptr;
    SegmentedPicker *m_picker = nullptr;
    QLabel *m_count = nullptr;
    TemplateGrid *m_grid = nullptr;
    QVBoxLayout *m_pane = nullptr;
    QWidget *m_preview = nullptr;
    QAbstractButton *m_use = nullptr;
    bool m_shown = false;
};
