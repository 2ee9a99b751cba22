#include "editor_fixture.h"

#include "editor/clipboard.h"
#include "model/documentio.h"
#include "model/json.h"
#include "support/testpictures.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cmath>
#include <map>

using namespace LWTestPictures;

namespace {

class FakePasteboard : public LWPasteboard {
public:
    void write(const QList<std::pair<QString, QByteArray>> &items, const std::optional<QString> &string) override
    {
        clear();
        for (const auto &[type, bytes] : items)
            data_[type] = bytes;
        text_ = string;
        ++writes;
    }
    void clear() override
    {
        data_.clear();
        text_.reset();
    }
    std::optional<QByteArray> data(const QString &type) const override
    {
        const auto it = data_.find(type);
        return it == data_.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<QString> text() const override { return text_; }

    std::map<QString, QByteArray> data_;
    std::optional<QString> text_;
    int writes = 0;
};

class ClipboardTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        LWClipboard::elements.clear();
        LWClipboard::setPasteboard(board);
    }
    void TearDown() override
    {
        LWClipboard::setPasteboard(LWClipboard::makeSystemPasteboard());
        EditorTest::TearDown();
    }
    std::shared_ptr<FakePasteboard> board = std::make_shared<FakePasteboard>();
};

LWElement rect(double x, double y, const char *name, bool locked = false)
{
    LWElement e = LWElement::makeShape(LWShapeKind::rectangle, LWRect(x, y, 40, 30), LWFill::solid(LWColor::black),
                                       std::nullopt, 0, QString::fromLatin1(name));
    e.locked = locked;
    return e;
}

LWElement textBox(const char *string, double y)
{
    return LWElement::makeText(LWText(QString::fromLatin1(string), QStringLiteral("Helvetica"), 12, LWColor::black),
                               LWRect(10, y, 100, 20));
}

LWDocument letterWith(const QList<LWElement> &elements)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = elements;
    return doc;
}

QStringList names(const QList<LWElement> &list)
{
    QStringList out;
    for (const LWElement &e : list)
        out << e.name;
    return out;
}

QList<QUuid> ids(const QList<LWElement> &list)
{
    QList<QUuid> out;
    for (const LWElement &e : list)
        out << e.id;
    return out;
}

// The last n elements of the shown page: what the last paste or duplicate put there.
QList<LWElement> topmost(const LWEditor &ed, qsizetype n) { return ed.elements().mid(ed.elements().size() - n); }

} // namespace

TEST_F(ClipboardTest, PastedCopiesAreNewUnlockedOnTopAndSelected)
{
    const LWElement locked = rect(10, 20, "r", true), other = rect(100, 100, "o");
    auto ed = make(letterWith({locked, other}));
    ed->setSelection({locked.id});
    ed->copy();
    EXPECT_EQ(ed->undoStack().size(), 0);
    EXPECT_TRUE(board->data(LWClipboard::pasteboardType));
    ed->paste();
    ASSERT_EQ(ed->elements().size(), 3);
    const LWElement &copy = ed->elements().last();
    EXPECT_NE(copy.id, locked.id);
    EXPECT_EQ(copy.frame, LWRect(19, 29, 40, 30));
    EXPECT_FALSE(copy.locked);
    EXPECT_EQ(ed->selection(), QList<QUuid>{copy.id});
    EXPECT_EQ(ed->undoStack().size(), 1);
    ed->undo();
    EXPECT_EQ(ed->elements().size(), 2);
    EXPECT_EQ(ed->selection(), QList<QUuid>{locked.id});
}

TEST_F(ClipboardTest, GroupsGetNewIdsAtEveryLevelAndKeepLockedMembers)
{
    LWElement group(LWElementKind::group, QStringLiteral("g"), LWRect(0, 0, 100, 60));
    group.children = QList<LWElement>{rect(0, 0, "m1", true), rect(50, 20, "m2")};
    auto ed = make(letterWith({group}));
    ed->setSelection({group.id});
    ed->copy();
    ed->paste();
    const LWElement copy = ed->elements().last();
    const QList<LWElement> before = group.flattened(), after = copy.flattened();
    ASSERT_EQ(after.size(), 3);
    for (qsizetype i = 0; i < after.size(); ++i) {
        EXPECT_NE(after[i].id, before[i].id);
        EXPECT_EQ(after[i].frame, before[i].frame.offsetBy(9, 9));
        EXPECT_EQ(after[i].locked, before[i].locked);
    }
}

TEST_F(ClipboardTest, ItemsGoInStackingOrderNotSelectionOrder)
{
    const LWElement a = rect(0, 0, "A"), b = rect(0, 0, "B"), c = rect(0, 0, "C");
    auto ed = make(letterWith({a, b, c}));
    ed->setSelection({c.id, a.id});
    ed->copy();
    EXPECT_EQ(names(LWClipboard::elements), (QStringList{"A", "C"}));
    ed->paste();
    const QList<LWElement> pasted = topmost(*ed, 2);
    EXPECT_EQ(names(pasted), (QStringList{"A", "C"}));
    EXPECT_EQ(ed->selection(), ids(pasted));
}

TEST_F(ClipboardTest, PlainTextIsTheFirstTopLevelTextAsStored)
{
    LWElement inner = textBox("In a group", 0);
    LWElement group(LWElementKind::group, QStringLiteral("g"), inner.frame);
    group.children = QList<LWElement>{inner};
    LWElement hi = textBox("Hi", 50), yo = textBox("Yo", 80);
    hi.text->uppercase = true;
    const LWElement shape = rect(0, 0, "s");
    auto ed = make(letterWith({group, shape, hi, yo}));
    ed->setSelection({yo.id, shape.id, hi.id, group.id});
    ed->copy();
    EXPECT_EQ(board->text(), QStringLiteral("Hi"));

    ed->setSelection({shape.id});
    ed->copy();
    EXPECT_FALSE(board->text()); // no text: none left from before
}

TEST_F(ClipboardTest, CopyOfNothingKeepsBothClipboards)
{
    const LWElement a = rect(0, 0, "A");
    auto ed = make(letterWith({a}));
    ed->setSelection({a.id});
    ed->copy();
    const auto held = board->data_;
    ed->setSelection({QUuid::createUuid()});
    ed->copy();
    EXPECT_EQ(names(LWClipboard::elements), QStringList{"A"});
    EXPECT_EQ(board->data_, held);
    EXPECT_EQ(board->writes, 1);
}

TEST_F(ClipboardTest, RepeatedPastesStayPutWithThePasteboardAndCascadeWithout)
{
    const LWElement a = rect(10, 10, "A");
    for (const bool use : {true, false}) {
        SCOPED_TRACE(use ? "pasteboard" : "in memory");
        LWClipboard::elements.clear();
        board->clear();
        auto ed = make(letterWith({a}));
        ed->setUsePasteboard(use);
        ed->setSelection({a.id});
        ed->copy();
        EXPECT_EQ(board->writes, 1); // only the first round writes it
        ed->paste();
        ed->paste();
        EXPECT_EQ(ed->elements().at(1).frame.origin(), QPointF(19, 19));
        EXPECT_EQ(ed->elements().at(2).frame.origin(), use ? QPointF(19, 19) : QPointF(28, 28));
        EXPECT_EQ(ed->undoStack().size(), 2);
    }
}

TEST_F(ClipboardTest, PicturesAndTextFromOtherProgramsArePlaced)
{
    const LWElement a = rect(0, 0, "A");
    struct Case {
        const char *name;
        std::map<QString, QByteArray> data;
        std::optional<QString> text;
        bool copiedBefore; // something of ours already in memory
    };
    const Case cases[] = {
        {"PNG only", {{LWClipboard::pngType, encode(plain(600, 300, Qt::red), "png")}}, {}, false},
        {"TIFF only", {{LWClipboard::tiffType, encode(plain(600, 300, Qt::red), "tiff")}}, {}, false},
        {"text", {}, QStringLiteral("Open late on Fridays"), false},
        {"text after a copy of ours", {}, QStringLiteral("Open late on Fridays"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto ed = make(letterWith({a}));
        LWClipboard::elements.clear();
        if (c.copiedBefore) {
            ed->setSelection({a.id});
            ed->copy();
        }
        board->data_ = c.data;
        board->text_ = c.text;
        ed->paste();
        ASSERT_EQ(ed->elements().size(), 2);
        const LWElement &added = ed->elements().last();
        if (c.text) {
            EXPECT_EQ(added.text->string, *c.text);
            EXPECT_EQ(added.frame.origin(), QPointF(306, 396));
            EXPECT_EQ(added.frame.width(), 300);
        } else {
            EXPECT_EQ(added.name, QStringLiteral("Picture"));
            EXPECT_EQ(added.frame, LWRect(234, 360, 144, 72));
            EXPECT_EQ(added.image->data, c.data.begin()->second);
        }
        EXPECT_EQ(ed->undoStack().size(), 1);
    }
}

TEST_F(ClipboardTest, CutRemovesOnlyUnlockedAndDuplicateLeavesClipboardsAlone)
{
    const LWElement locked = rect(0, 0, "L", true), open = rect(50, 50, "U");
    auto ed = make(letterWith({locked, open}));
    ed->setSelection({locked.id, open.id});
    ed->cut();
    EXPECT_EQ(names(LWClipboard::elements), (QStringList{"L", "U"}));
    EXPECT_EQ(names(ed->elements()), QStringList{"L"});
    EXPECT_EQ(ed->undoStack().size(), 1);

    auto dup = make(letterWith({locked, open}));
    dup->duplicate(); // nothing selected
    EXPECT_EQ(dup->undoStack().size(), 0);
    dup->setSelection({open.id, locked.id});
    dup->duplicate();
    const QList<LWElement> copies = topmost(*dup, 2);
    EXPECT_EQ(names(copies), (QStringList{"L", "U"}));
    EXPECT_FALSE(copies[0].locked);
    EXPECT_EQ(copies[1].frame.origin(), QPointF(59, 59));
    EXPECT_EQ(dup->selection(), ids(copies));
    EXPECT_EQ(names(LWClipboard::elements), (QStringList{"L", "U"})); // from the cut, untouched
    EXPECT_EQ(board->writes, 1);
    dup->undo();
    EXPECT_EQ(dup->elements().size(), 2);
    EXPECT_EQ(dup->selection(), (QList<QUuid>{open.id, locked.id}));
}

TEST_F(ClipboardTest, OurDataThatDoesNotDecodeCountsAsAbsent)
{
    const LWElement a = rect(0, 0, "A");
    const QByteArray element = LWJson::write(a.toJson()).value();
    QByteArray noFrame = element;
    noFrame.replace("\"frame\":", "\"frames\":");
    QByteArray huge = element;
    huge.replace("\"rotation\":0", "\"rotation\":1e999");
    ASSERT_NE(huge, element);
    QList<LWElement> deep = {rect(0, 0, "leaf")};
    for (int i = 0; i < LWDocumentIO::maxGroupLevels; ++i) {
        LWElement g(LWElementKind::group, QStringLiteral("g"), LWRect(0, 0, 1, 1));
        g.children = deep;
        deep = {g};
    }
    const QByteArray tooDeep = LWJson::write(LWJson::to(deep)).value();
    const QByteArray manyValues = "[" + QByteArray("[],").repeated(LWDocumentIO::maxValues / 2 + 1) + "[]]";

    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"not JSON", "[{\"id\":"},     {"an object", element},       {"no frame", "[" + noFrame + "]"},
        {"1e999", "[" + huge + "]"}, {"one level too deep", tooDeep}, {"more than maxValues", manyValues},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto ed = make(letterWith({}));
        LWClipboard::elements = {rect(5, 5, "memory")};
        board->data_ = {{LWClipboard::pasteboardType, c.bytes}};
        ed->paste();
        EXPECT_EQ(names(ed->elements()), QStringList{"memory"});
    }
}

TEST_F(ClipboardTest, FailedEncodingClearsThePasteboard)
{
    LWElement bad = rect(0, 0, "N");
    bad.frame.w = std::nan("");
    auto ed = make(letterWith({bad}));
    board->data_ = {{LWClipboard::pngType, encode(plain(4, 4, Qt::red), "png")}};
    board->text_ = QStringLiteral("older");
    ed->setSelection({bad.id});
    ed->copy();
    EXPECT_TRUE(board->data_.empty());
    EXPECT_FALSE(board->text());
    ed->paste();
    EXPECT_EQ(names(ed->elements()), (QStringList{"N", "N"}));
}

TEST_F(ClipboardTest, SystemClipboardRoundTrip)
{
    LWClipboard::setPasteboard(LWClipboard::makeSystemPasteboard());
    QClipboard *system = QGuiApplication::clipboard();
    const LWElement hi = textBox("Hi", 50);
    auto ed = make(letterWith({hi}));
    ed->setSelection({hi.id});
    ed->copy();
    const QMimeData *mime = system->mimeData();
    ASSERT_TRUE(mime);
    EXPECT_EQ(mime->text(), QStringLiteral("Hi"));
    EXPECT_EQ(mime->data(LWClipboard::pasteboardType), LWDocumentIO::encodeElements({hi}).value());
    LWClipboard::elements.clear();
    ed->paste();
    EXPECT_EQ(ed->elements().last().text->string, QStringLiteral("Hi"));
    EXPECT_EQ(ed->elements().last().frame.origin(), QPointF(19, 59));

    // Another program's picture arrives as its own bytes.
    const QByteArray png = encode(plain(600, 300, Qt::red), "png");
    auto *other = new QMimeData;
    other->setData(LWClipboard::pngType, png);
    system->setMimeData(other);
    ed->paste();
    EXPECT_EQ(ed->elements().last().image->data, png);
}
