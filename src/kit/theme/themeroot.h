#pragma once
#include "kit/theme/theme.h"

#include <QPalette>
#include <QPointer>
#include <QWidget>
#include <functional>

class QPainter;
class QVBoxLayout;

// The kit's window background: the theme's bg, a sheen-to-shade wash from top to bottom and an
// accent glow from the top-left corner.
namespace VKWindowBackground {
void paint(QPainter &painter, const QRect &rect, const VKKitTheme &theme);
}

// The root every window's content sits in. It paints the window background, gives itself and the
// application a dark Fusion palette from VELKKitHost::theme(), and rebuilds the whole content
// whenever the stored theme id changes, so every view re-reads the theme (and loses transient
// state such as text being typed). Content that had the window's keyboard hands it to the new
// content: the control that content chose (its focusWidget()), else the content itself when it
// takes the keyboard, else its first control; in a window that is not active at the change, that
// control has it once the window is active again. Main thread only.
class VELKThemeRoot : public QWidget {
    Q_OBJECT
public:
    using Builder = std::function<QWidget *()>;
    explicit VELKThemeRoot(Builder content, QWidget *parent = nullptr);

    // The current content (nothing when the builder gave nothing) and the id it was built with.
    QWidget *content() const { return m_content; }
    const QString &themeID() const { return m_themeID; }

    // The palette the root applies for a theme.
    static QPalette themePalette(const VKKitTheme &theme);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void settingChanged(const QString &key);
    void rebuild();
    void build();

    Builder m_builder;
    QVBoxLayout *m_layout = nullptr;
    QPointer<QWidget> m_content;
    QString m_themeID;
    bool m_rebuildQueued = false;
};
