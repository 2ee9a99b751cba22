#include "kit/controls/numberfield.h"
#include "kit/paint/paint.h"
#include "kit/controls/slider.h"
#include "kitfixture.h"
#include "model/format.h"
#include "snapshot.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>

#include <optional>

namespace {

using Numeric = KitTest;

// A caller's value with every write the slider makes.
struct Bound {
    double value = 0;
    QList<double> writes;
    LWSlider *make(double lower, double upper, double step, int width)
    {
        auto *s = new LWSlider([this] { return value; },
                               [this](double v) {
                                   value = v;
                                   writes.append(v);
                               },
                               lower, upper, step);
        s->resize(width, 20);
        return s;
    }
};

void mouse(QWidget &w, QEvent::Type type, double x, Qt::MouseButtons buttons)
{
    const QPointF at(x, 10);
    QMouseEvent e(type, at, w.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

void click(QWidget &w, double x)
{
    mouse(w, QEvent::MouseButtonPress, x, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, x, Qt::NoButton);
}

} // namespace

TEST_F(Numeric, SliderWritesTheSnappedValueUnderThePointer)
{
    const struct {
        double lower, upper, step;
        int width;
        double x, expected;
    } cases[] = {
        {0, 100, 1, 216, 8, 0},     {0, 100, 1, 216, 108, 50},   {0, 100, 1, 216, 208, 100},
        {0, 100, 1, 216, 2, 0},     {-5, 5, 1, 216, 58, -3},     {-5, 5, 1, 216, 158, 3},
        {0.5, 10, 1, 216, 8, 1},    {0.5, 10, 1, 216, 0, 1},     {0.3, 10, 1, 216, 8, 0.3},
        {0, 9.6, 1, 216, 208, 9.6}, {2.5, 2.5, 1, 216, 100, 2.5}, {0, 10, 0, 216, 58, 2.5},
        // Narrower than the insets: the pointer's distance from 8 is the fraction.
        {0, 100, 0, 16, 8.5, 50},   {0, 100, 0, 16, 7, 0},       {0, 100, 0, 16, 9, 100},
    };
    for (const auto &c : cases) {
        Bound b;
        std::unique_ptr<LWSlider> s(b.make(c.lower, c.upper, c.step, c.width));
        click(*s, c.x);
        ASSERT_EQ(b.writes.size(), 1);
        EXPECT_DOUBLE_EQ(b.writes[0], c.expected) << c.lower << "…" << c.upper << " at " << c.x;
    }
    // Dragged past the end, the value stops at the bound; nowhere does 0.5…10 give 0.5.
    Bound b;
    std::unique_ptr<LWSlider> s(b.make(0, 100, 1, 216));
    mouse(*s, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(*s, QEvent::MouseMove, 300, Qt::LeftButton);
    EXPECT_EQ(b.writes.last(), 100);
    Bound half;
    std::unique_ptr<LWSlider> h(half.make(0.5, 10, 1, 216));
    mouse(*h, QEvent::MouseButtonPress, 0, Qt::LeftButton);
    for (int x = 0; x <= 216; ++x)
        mouse(*h, QEvent::MouseMove, x, Qt::LeftButton);
    EXPECT_FALSE(half.writes.contains(0.5));
}

TEST_F(Numeric, SliderReportsEachDragOnceAndWritesEveryMove)
{
    Bound b;
    std::unique_ptr<LWSlider> s(b.make(0, 100, 1, 216));
    QList<bool> editing;
    QObject::connect(s.get(), &LWSlider::editingChanged, [&](bool on) {
        editing.append(on);
        EXPECT_EQ(s->isDragging(), on);
    });
    mouse(*s, QEvent::MouseButtonPress, 58, Qt::LeftButton);
    mouse(*s, QEvent::MouseMove, 108, Qt::LeftButton);
    mouse(*s, QEvent::MouseMove, 108, Qt::LeftButton);
    mouse(*s, QEvent::MouseButtonRelease, 150, Qt::NoButton);
    EXPECT_EQ(b.writes, (QList<double>{25, 50, 50}));
    EXPECT_EQ(editing, (QList<bool>{true, false}));

    b.writes.clear();
    editing.clear();
    click(*s, 208);
    EXPECT_EQ(b.writes, QList<double>{100});
    EXPECT_EQ(editing, (QList<bool>{true, false}));
    // A move without the button (mouse tracking) writes nothing.
    mouse(*s, QEvent::MouseMove, 8, Qt::NoButton);
    EXPECT_EQ(b.writes.size(), 1);
}

TEST_F(Numeric, SliderDrawsAnOutOfRangeValueAtTheEndWithoutWriting)
{
    Bound over, top;
    over.value = 150;
    top.value = 100;
    std::unique_ptr<LWSlider> a(over.make(0, 100, 1, 216)), b(top.make(0, 100, 1, 216));
    const QImage image = snapshot(*a);
    EXPECT_EQ(image, snapshot(*b));
    EXPECT_TRUE(over.writes.isEmpty());
    EXPECT_EQ(over.value, 150);
    // The knob's light top sits over the right end of the track.
    EXPECT_GT(qGray(image.pixel(208, 4)), 180);
    EXPECT_LT(qAlpha(snapshot(*b).pixel(8, 4)), 100);
}

TEST_F(Numeric, SliderShadowsStayCachedWhileDragging)
{
    Bound b;
    std::unique_ptr<LWSlider> s(b.make(0, 100, 0, 216));
    VKPaint::clearShadowCache();
    for (b.value = 1; b.value < 100; b.value += 7.3)
        (void)snapshot(*s);
    EXPECT_LE(VKPaint::shadowCacheSize(), 2);
}

TEST_F(Numeric, SliderAccessibilityReadsAndAdjustsTheValue)
{
    const struct {
        double lower, upper, step, value;
        bool increase;
        double expected;
    } cases[] = {
        {0, 10, 0, 5, true, 5.5}, {0, 10, 0, 5, false, 4.5},   {0, 10, 3, 1, true, 4},
        {0, 100, 1, 100, true, 100}, {0, 100, 1, 0, false, 0}, {0, 10, 3, 9, true, 10},
    };
    for (const auto &c : cases) {
        Bound b;
        b.value = c.value;
        std::unique_ptr<LWSlider> s(b.make(c.lower, c.upper, c.step, 216));
        int editing = 0;
        QObject::connect(s.get(), &LWSlider::editingChanged, [&] { ++editing; });
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(s.get());
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Slider);
        ASSERT_NE(a->actionInterface(), nullptr);
        a->actionInterface()->doAction(c.increase ? QAccessibleActionInterface::increaseAction()
                                                  : QAccessibleActionInterface::decreaseAction());
        ASSERT_EQ(b.writes.size(), 1);
        EXPECT_DOUBLE_EQ(b.value, c.expected) << c.value << (c.increase ? " up" : " down");
        EXPECT_EQ(editing, 0);
    }
    Bound b;
    b.value = 2.5;
    std::unique_ptr<LWSlider> s(b.make(0, 10, 1, 216));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(s.get())->text(QAccessible::Value), QStringLiteral("2.50"));
}

namespace {

// A number field in an active window beside another focusable box, its caller storing
// `take(d)` for each committed d.
class Field : public Numeric {
protected:
    void open(double start, std::function<double(double)> take = [](double d) { return d; })
    {
        value = start;
        field = new NumberField(QStringLiteral("W"), start, {}, 3, 70);
        other = new QLineEdit;
        auto *l = new QVBoxLayout(&window);
        l->addWidget(field);
        l->addWidget(other);
        QObject::connect(field, &NumberField::committed, [this, take](double d) {
            commits.append(d);
            value = take(d);
            field->setValue(value);
        });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        field->lineEdit()->setFocus();
        ASSERT_TRUE(field->lineEdit()->hasFocus());
    }
    // As typed (a paste): only typed text commits.
    void type(const QString &text)
    {
        field->lineEdit()->selectAll();
        field->lineEdit()->insert(text);
    }
    void pressReturn() { QTest::keyClick(field->lineEdit(), Qt::Key_Return); }
    QString shown() const { return field->lineEdit()->text(); }

    QWidget window;
    NumberField *field = nullptr;
    QLineEdit *other = nullptr;
    double value = 0;
    QList<double> commits;
};

} // namespace

TEST_F(Field, ReturnCommitsOnlyAWholeFiniteNumber)
{
    open(1.5);
    const struct {
        const char *text;
        std::optional<double> commit;
    } cases[] = {
        {"1,75", 1.75}, {" 2.25\t", 2.25}, {"1e2", 100}, {"+2", 2}, {"-0.5", -0.5}, {".5", 0.5},
        {"12pt", {}},   {"", {}},          {"1,000.5", {}}, {"inf", {}}, {"nan", {}}, {"1e999", {}},
        {"0x1p3", {}},  {"+-2", {}},       {"++2", {}},  {"1.500001", {}}, {" ", {}}, {"1 2", {}},
    };
    for (const auto &c : cases) {
        field->setValue(1.5);
        value = 1.5;
        commits.clear();
        type(QString::fromUtf8(c.text));
        pressReturn();
        if (c.commit) {
            ASSERT_EQ(commits.size(), 1) << c.text;
            EXPECT_DOUBLE_EQ(commits[0], *c.commit) << c.text;
        } else {
            EXPECT_TRUE(commits.isEmpty()) << c.text;
            EXPECT_EQ(shown(), QStringLiteral("1.5")) << c.text;
        }
    }
}

TEST_F(Numeric, FieldShowsTheValueWithItsDigits)
{
    const struct {
        double value;
        int digits;
        const char *text;
    } cases[] = {{2, 3, "2"}, {0.1234, 3, "0.123"}, {1234.5, 3, "1234.5"}, {12.25, 1, "12.2"}};
    for (const auto &c : cases) {
        NumberField f(QStringLiteral("X"), c.value, {}, c.digits);
        f.show();
        EXPECT_EQ(f.lineEdit()->text(), QLatin1String(c.text));
        f.setValue(c.value * 2); // unfocused: shown at once
        EXPECT_EQ(f.lineEdit()->text(), LWFormat::num(c.value * 2, c.digits));
    }
}

TEST_F(Field, FocusLossCommitsTypedText)
{
    open(1.5);
    type(QStringLiteral("3"));
    other->setFocus();
    EXPECT_EQ(commits, QList<double>{3});
    EXPECT_EQ(shown(), QStringLiteral("3"));

    // Untouched text is no change.
    commits.clear();
    field->lineEdit()->setFocus();
    other->setFocus();
    EXPECT_TRUE(commits.isEmpty());
}

TEST_F(Field, ValueSetWhileFocusedKeepsOnlyTextBeingTyped)
{
    // Text the user is typing stays through a new value; Return commits it.
    open(1.5);
    field->lineEdit()->selectAll();
    QTest::keyClicks(field->lineEdit(), QStringLiteral("2"));
    field->setValue(5);
    EXPECT_EQ(shown(), QStringLiteral("2"));
    pressReturn();
    EXPECT_EQ(commits, QList<double>{2});

    // Committed text is the value's; a later value (an undo) replaces it at once, the field's own
    // undo has nothing old to bring back, and the focus loss commits nothing.
    field->setValue(5);
    EXPECT_EQ(shown(), QStringLiteral("5"));
    QTest::keyClick(field->lineEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shown(), QStringLiteral("5"));
    other->setFocus();
    EXPECT_EQ(commits, QList<double>{2});
}

TEST_F(Field, NumberTheCallerDoesNotTakeIsReplacedAtOnce)
{
    open(0.5, [](double d) { return std::max(d, 0.5); });
    type(QStringLiteral("0.2"));
    pressReturn();
    EXPECT_EQ(commits, QList<double>{0.2});
    EXPECT_EQ(shown(), QStringLiteral("0.5"));
    EXPECT_TRUE(field->lineEdit()->hasFocus());
    other->setFocus();
    EXPECT_EQ(commits.size(), 1);
}

TEST_F(Field, ContextMenuFocusLossAndPendingCommit)
{
    open(1.5);
    type(QStringLiteral("abc"));
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(field->lineEdit(), &popup);
    EXPECT_EQ(shown(), QStringLiteral("abc"));

    type(QStringLiteral("4"));
    field->commitPending();
    EXPECT_EQ(commits, QList<double>{4});
    EXPECT_TRUE(field->lineEdit()->hasFocus());
}

TEST_F(Numeric, FieldLayoutAndNames)
{
    NumberField f(QStringLiteral("W"), 1, {}, 3, 70);
    f.show();
    EXPECT_EQ(f.box()->width(), 70);
    // "W" is narrower than the label's 14 px minimum; no unit, no room for one.
    const int bare = 14 + 4 + 70;
    EXPECT_EQ(f.sizeHint().width(), bare);
    f.setUnit(QStringLiteral("mm"));
    EXPECT_GT(f.sizeHint().width(), bare + 4);
    f.setUnit({});
    EXPECT_EQ(f.sizeHint().width(), bare);
    EXPECT_EQ(f.accessibleName(), QStringLiteral("W"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.lineEdit())->text(QAccessible::Name), QStringLiteral("W"));
}
