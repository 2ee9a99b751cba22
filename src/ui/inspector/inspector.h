#pragma once
#include "editor/editor.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <tuple>

class Bezel;
class LWApp;
class VKScrollView;

// The editor screen's right-hand column: a titled bezel around a scroll view whose stack of
// sections follows the selection. Nothing selected: the page inspector. One element: arrange,
// geometry and its kind's section (a group: a note), or arrange and the lock banner while it is
// locked. Several (or one id naming nothing): arrange and the multiple-selection section.
//
// Each route (display, element, kind, shape kind) has its own stack; any other editor change
// refreshes the sections in place, so focus, drags and popovers survive every edit. The stacks of
// the last few routes stay built but hidden (their popovers closed), so a lock, a delete, their
// undo or going back to an element shows its stack again, refreshed, instead of building one.
// Never writes the design itself except through the banner's "Unlock", and a field's typed text
// that its stack, about to be put away, hands to the element it was built for.
class Inspector : public QWidget {
    Q_OBJECT
public:
    Inspector(LWEditor &editor, LWApp &app, QWidget *parent = nullptr);

    enum class Display { page, single, locked, several };
    struct Route {
        Display display = Display::page;
        QUuid id;
        std::optional<LWElementKind> kind;
        std::optional<LWShapeKind> shape;
        friend bool operator==(const Route &, const Route &) = default;
    };
    static Route routeOf(const LWEditor &editor);
    static QString titleOf(const LWEditor &editor);

    // The picture chooser handed to the image section; LWImagePicker::choose when none is set.
    using Chooser = std::function<void(LWEditor &, QWidget *parent)>;
    void setChooser(Chooser chooser);

    Bezel *panel() const { return m_panel; }
    QWidget *stack() const { return m_stack; }
    VKScrollView *scrollView() const { return m_scroll; }

private:
    void follow();
    void showStack(const Route &route);
    QWidget *build(const Route &route);

    LWEditor &m_editor;
    LWApp &m_app;
    Bezel *m_panel;
    VKScrollView *m_scroll;
    QWidget *m_holder; // the scroll view's content: the kept stacks, the current one shown
    QWidget *m_stack = nullptr;
    struct Kept {
        Route route;
        QWidget *stack;
    };
    QList<Kept> m_kept; // most recently shown first, the current one included
    std::optional<Route> m_route;
    bool m_handingOver = false;
    Chooser m_chooser;
};
