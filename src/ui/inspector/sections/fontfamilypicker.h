#pragma once
#include <QString>
#include <QStringList>
#include <QWidget>

class LWFontSource;
class QListView;
class VKSearchField;

// The font family popover's content: the title "Fonts", the search field "Search fonts" and a
// list 360 high of "VELK Fonts (included)" (only while its filtered list is not empty) with the
// bundled families, then "Fonts on this computer" (always) with the other installed families.
// Each family is drawn in its own first face at 15, the row of `current` on the accent at 70 %.
// A click on a family row emits picked() with its name; headers take no clicks. One family row is
// highlighted: the current family at the start (scrolled to the middle when shown), the first
// match after every change of the search (else the first family): Down and Up in
// the search move the highlight through the family rows (scrolled into view), Return or Enter
// emits picked() with it. Picking neither clears the search nor closes anything.
//
// The list is a uniform-height QListView: a row looks up its family's faces and font only when it
// is painted, once per family, so thousands of installed families cost only the visible rows.
class FontFamilyPicker : public QWidget {
    Q_OBJECT
public:
    // `width` is the popover's, its padding included.
    static constexpr int listHeight = 360, rowHeight = 28, width = 330;
    // Model roles beyond Qt's: the row's kind, and whether it is the current family's row.
    enum Role { KindRole = 0x0101, CurrentRole, HighlightRole };
    enum Kind { IncludedHeader, InstalledHeader, Included, Installed };

    FontFamilyPicker(LWFontSource &fonts, const QString &current, QWidget *parent = nullptr);
    ~FontFamilyPicker() override;

    QString current() const { return current_; }
    VKSearchField *searchField() const { return search_; }
    QListView *list() const { return list_; }
    // The highlighted family, or empty when no family matches.
    QString highlighted() const;

    // The families holding `query` after lower-casing both (no trimming), in list order.
    [[nodiscard]] static QStringList filtered(const QStringList &families, const QString &query);

Q_SIGNALS:
    void picked(const QString &family);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    class Model;
    class Delegate;

    QString current_;
    VKSearchField *search_;
    QListView *list_;
    Model *model_;
};
