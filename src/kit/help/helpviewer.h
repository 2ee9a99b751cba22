#pragma once
#include "kit/help/help.h"
#include "kit/theme/theme.h"

#include <QAbstractButton>
#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class VKScrollView;
class QVBoxLayout;
class VKPanel;
class VKSearchField;

// One block of a help body.
struct HelpBlock {
    enum class Kind { Heading, Bullet, Paragraph };
    Kind kind = Kind::Paragraph;
    QString text;

    friend bool operator==(const HelpBlock &, const HelpBlock &) = default;
};

// A topic row of the help list: the title on an accent capsule when it is the current topic.
// The whole rectangle takes clicks; the title wraps.
class VELKHelpRow : public QAbstractButton {
    Q_OBJECT
public:
    VELKHelpRow(const VELKHelpTopic &topic, bool current, QWidget *parent = nullptr);

    const QString &topicID() const { return id_; }
    bool isCurrent() const { return current_; }
    void setCurrent(bool current);

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString id_;
    bool current_;
};

// The help view: a searchable topic list (260 wide) beside the current topic. Search text and
// the clicked topic live only as long as the viewer. Main thread only.
class VELKHelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit VELKHelpViewer(std::optional<QString> initialTopic = std::nullopt, QWidget *parent = nullptr);

    // The body's lines, trimmed of spaces and tabs: "## " heading, "• " bullet, empty lines
    // dropped, anything else a paragraph as written.
    static QList<HelpBlock> blocks(const QString &body);
    // A word-wrapped, selectable view of one block in the theme's colours.
    static QWidget *blockView(const HelpBlock &block, const VKKitTheme &theme);

    // The topic shown for these results: `selected`, else `initial`, else the first result's id,
    // looked up in `all`; when that names no topic, the first result; else none.
    static std::optional<VELKHelpTopic> currentTopic(const QList<VELKHelpTopic> &results,
                                                     const QList<VELKHelpTopic> &all,
                                                     const std::optional<QString> &selected,
                                                     const std::optional<QString> &initial);

    VKSearchField *searchField() const { return search_; }
    QList<VELKHelpRow *> rows() const { return rows_; }
    // The "Nothing found" line, hidden while there are results.
    QLabel *nothingFound() const { return nothingFound_; }
    VKPanel *listPanel() const { return listPanel_; }
    VKPanel *topicPanel() const { return topicPanel_; }
    VKScrollView *topicList() const { return listScroll_; }
    // The topic on the right, or none when the right panel is empty.
    std::optional<QString> shownTopicID() const;

protected:
    // Scrolls the topic list to the current topic once shown (help opened on a topic far down).
    void showEvent(QShowEvent *event) override;

private:
    void revealCurrent();
    void refresh();
    void showTopic(const std::optional<VELKHelpTopic> &topic);

    std::optional<QString> initial_;
    std::optional<QString> selected_;
    VKSearchField *search_;
    VKPanel *listPanel_;
    VKPanel *topicPanel_;
    QVBoxLayout *rowColumn_;
    QLabel *nothingFound_;
    VKScrollView *topicScroll_;
    VKScrollView *listScroll_;
    QList<VELKHelpRow *> rows_;
    std::optional<VELKHelpTopic> shown_;
};
