#pragma once
#include <QColor>
#include <QFont>
#include <QHash>
#include <QLabel>

#include <functional>

// A secondary text of the inspector: 10.5 px interface type, wrapped onto as many lines as the
// width needs (never cut), in the colour `colour` gives when painting (the theme's `dim` unless
// told otherwise), so a change of theme shows at once.
class InspectorNote : public QLabel {
    Q_OBJECT
public:
    using Colour = std::function<QColor()>;

    explicit InspectorNote(const QString &text = {}, Colour colour = {}, QWidget *parent = nullptr);

    void setNote(const QString &text);
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Colour colour_;
    // Heights by width for the text, font and margins they were measured with: QLabel measures
    // wrapped text anew on every query, and nested layouts ask dozens of times per relayout.
    mutable QHash<int, int> heights_;
    mutable QString measuredText_;
    mutable QFont measuredFont_;
    mutable QMargins measuredMargins_;
    mutable int measuredMargin_ = -1, measuredIndent_ = -1, measuredAlignment_ = -1;
};
