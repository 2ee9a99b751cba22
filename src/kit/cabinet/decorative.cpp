#include "kit/cabinet/decorative.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include <mutex>

namespace {

class Invisible : public QAccessibleWidget {
public:
    explicit Invisible(QWidget *w) : QAccessibleWidget(w, QAccessible::Graphic) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    static const QString names[] = {QStringLiteral("WoodCheek"), QStringLiteral("Screw"), QStringLiteral("LED")};
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    for (const QString &name : names)
        if (className == name)
            return new Invisible(widget);
    return nullptr;
}

} // namespace

void vkHideDecorationsFromAccessibility()
{
    // Installed from the constructors: a static library drops static initialisers.
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
}
