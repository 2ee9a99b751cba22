#include "editor_fixture.h"

#include "editor/clipboard.h"
#include "model/file/documentio.h"
#include "model/file/json.h"
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
    QStringList types() const override
    {
        QStringList out;
        for (const auto &entry : data_)
            out.append(entry.first);
        return out;
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

LWElement textBox(const char *string, double y)
{
    return LWElement::makeText(LWText(QString::fromLatin1(string), QStringLiteral("Helvetica"), 12, LWColor::black),
                               LWRect(10, y, 100, 20));
}

// The last n elements of the shown page: what the last paste or duplicate put there.
QList<LWElement> topmost(const LWEditor &ed, qsizetype n) { return ed.elements().mid(ed.elements().size() - n); }

} // namespace

TEST_F(ClipboardTest, PastedCopiesAreNewUnlockedOnTopAndSelected)
{
    // Stacking order, not selection order; a group's members get new ids too and keep their lock.
    const LWElement locked = rect("L", {10, 20, 40, 30}, true), other = rect("o"),
                    group = groupOf({rect("m1", {0, 0, 40, 30}, true), rect("m2", {50, 20, 40, 30})}, "g");
    auto ed = make(letter({locked, other, group}), {group.id, locked.id});
    ed->copy();
    EXPECT_EQ(ed->undoStack().size(), 0);
    EXPECT_EQ(names(LWClipboard::elements), (QStringList{"L", "g"}));
    ed->paste();
    ASSERT_EQ(ed->elements().size(), 5);
    const QList<LWElement> pasted = topmost(*ed, 2);
    EXPECT_EQ(names(pasted), (QStringList{"L", "g"}));
    EXPECT_EQ(ed->selection(), ids(pasted));
    const QList<LWElement> before = locked.flattened() + group.flattened(),
                           after = pasted[0].flattened() + pasted[1].flattened();
    ASSERT_EQ(after.size(), 4);
    for (qsizetype i = 0; i < after.size(); ++i) {
        EXPECT_NE(after[i].id, before[i].id) << i;
        EXPECT_EQ(after[i].frame, before[i].frame.offsetBy(9, 9)) << i;
        EXPECT_EQ(after[i].locked, i > 0 && before[i].locked) << i;
    }
    EXPECT_EQ(ed->undoStack().size(), 1);
    ed->undo();
    EXPECT_EQ(ed->elements().size(), 3);
    EXPECT_EQ(ed->selection(), (QList<QUuid>{group.id, locked.id}));
}

TEST_F(ClipboardTest, PlainTextIsTheFirstTopLevelTextAsStored)
{
    const LWElement group = groupOf({textBox("In a group", 0)}), shape = rect("s");
    LWElement hi = textBox("Hi", 50), yo = textBox("Yo", 80);
    hi.text->uppercase = true;
    auto ed = make(letter({group, shape, hi, yo}), {yo.id, shape.id, hi.id, group.id});
    ed->copy();
    EXPECT_EQ(board->text(), QStringLiteral("Hi"));
    ed->setSelection({shape.id});
    ed->copy();
    EXPECT_FALSE(board->text()); // no text: none left from before
    EXPECT_EQ(board->writes, 2);

    // A copy of nothing keeps both clipboards.
    const auto held = board->data_;
    ed->setSelection({QUuid::createUuid()});
    ed->copy();
    EXPECT_EQ(names(LWClipboard::elements), QStringList{"s"});
    EXPECT_EQ(board->data_, held);
    EXPECT_EQ(board->writes, 2);
}

TEST_F(ClipboardTest, RepeatedPastesStayPutWithThePasteboardAndCascadeWithout)
{
    const LWElement a = rect("A", {10, 10, 40, 30});
    for (const bool use : {true, false}) {
        SCOPED_TRACE(use);
        LWClipboard::elements.clear();
        board->clear();
        auto ed = make(letter({a}));
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
    const LWElement a = rect("A");
    const QString jpeg = QStringLiteral("image/jpeg"), webp = QStringLiteral("image/webp"),
                  bmp = QStringLiteral("image/bmp");
    const QByteArray pngBytes = encode(plain(600, 300, Qt::red), "png"),
                     jpegBytes = encode(plain(600, 300, Qt::blue), "jpeg");
    const std::map<QString, QByteArray> ours = {{LWClipboard::pasteboardType, LWDocumentIO::encodeElements({a}).value()},
                                                {jpeg, jpegBytes}};
    const struct {
        std::map<QString, QByteArray> data;
        std::optional<QString> text;
        bool copiedBefore; // A already copied in this process
        QString placed;    // whose bytes become the picture; none for text, our type for A again
    } cases[] = {
        {{{LWClipboard::pngType, pngBytes}}, {}, false, LWClipboard::pngType},
        {{{LWClipboard::tiffType, encode(plain(600, 300, Qt::red), "tiff")}}, {}, false, LWClipboard::tiffType},
        {{{jpeg, jpegBytes}}, {}, true, jpeg},
        {{{webp, encode(plain(600, 300, Qt::red), "webp")}}, {}, true, webp},
        {{{bmp, encode(plain(600, 300, Qt::red), "bmp")}}, {}, true, bmp},
        {{{jpeg, jpegBytes}, {LWClipboard::pngType, pngBytes}}, {}, true, LWClipboard::pngType},
        {{{jpeg, jpegBytes}, {LWClipboard::pngType, "not a picture"}}, {}, true, jpeg},
        {ours, {}, true, LWClipboard::pasteboardType},
        {{}, QStringLiteral("Open late on Fridays"), false, {}},
        {{}, QStringLiteral("Open late on Fridays"), true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        auto ed = make(letter({a}));
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
        } else if (c.placed == LWClipboard::pasteboardType) {
            EXPECT_EQ(added.name, QStringLiteral("A"));
        } else {
            EXPECT_EQ(added.frame, LWRect(234, 360, 144, 72));
            EXPECT_EQ(added.image->data, c.data.at(c.placed));
        }
        EXPECT_EQ(ed->undoStack().size(), 1);
    }
}

TEST_F(ClipboardTest, AnUnreadablePictureIsReportedNotSkipped)
{
    // An SVG is refused like any format the program does not take: it could name files to read.
    const QByteArray svg("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                         "width=\"9\" height=\"9\"><image width=\"9\" height=\"9\" xlink:href=\"/etc/passwd\"/></svg>");
    const std::map<QString, QByteArray> offers[] = {
        {{QStringLiteral("image/jpeg"), "not a picture"}},
        {{QStringLiteral("image/svg+xml"), svg}},
        {{QStringLiteral("image/png"), svg}},
    };
    for (const auto &offer : offers) {
        SCOPED_TRACE(offer.begin()->first.toStdString());
        auto ed = make(letter({rect("A")}));
        LWClipboard::elements = ed->elements();
        board->data_ = offer;
        ed->paste();
        EXPECT_EQ(ed->elements().size(), 1);
        EXPECT_EQ(ed->message(), LWEditor::unreadablePictureMessage);
    }
}

TEST_F(ClipboardTest, CutRemovesOnlyUnlockedAndDuplicateLeavesClipboardsAlone)
{
    const LWElement locked = rect("L", {0, 0, 40, 30}, true), open = rect("U", {50, 50, 40, 30});
    auto ed = make(letter({locked, open}), {locked.id, open.id});
    ed->cut();
    EXPECT_EQ(names(LWClipboard::elements), (QStringList{"L", "U"}));
    EXPECT_EQ(names(ed->elements()), QStringList{"L"});
    EXPECT_EQ(ed->undoStack().size(), 1);

    auto dup = make(letter({locked, open}), {open.id, locked.id});
    dup->duplicate();
    const QList<LWElement> copies = topmost(*dup, 2);
    EXPECT_EQ(names(copies), (QStringList{"L", "U"}));
    EXPECT_FALSE(copies[0].locked);
    EXPECT_EQ(copies[1].frame.origin(), QPointF(59, 59));
    EXPECT_EQ(dup->selection(), ids(copies));
    EXPECT_EQ(dup->undoStack().size(), 1);
    EXPECT_EQ(names(LWClipboard::elements), (QStringList{"L", "U"})); // from the cut, untouched
    EXPECT_EQ(board->writes, 1);
}

TEST_F(ClipboardTest, OurDataThatDoesNotDecodeCountsAsAbsent)
{
    // The decoder's own limits are the model tests' business; any refusal falls back to memory.
    QList<LWElement> deep = {rect("leaf")};
    for (int i = 0; i < LWDocumentIO::maxGroupLevels; ++i)
        deep = {groupOf(deep)};
    for (const QByteArray &bytes : {QByteArray("[{\"id\":"), LWJson::write(rect("A").toJson()).value(),
                                    LWJson::write(LWJson::to(deep)).value()}) {
        auto ed = make(letter());
        LWClipboard::elements = {rect("memory", {5, 5, 40, 30})};
        board->data_ = {{LWClipboard::pasteboardType, bytes}};
        ed->paste();
        EXPECT_EQ(names(ed->elements()), QStringList{"memory"}) << bytes.left(40).constData();
    }
}

TEST_F(ClipboardTest, FailedEncodingClearsThePasteboard)
{
    LWElement bad = rect("N");
    bad.frame.w = std::nan("");
    auto ed = make(letter({bad}));
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
    auto ed = make(letter({hi}), {hi.id});
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
    const QByteArray jpeg = encode(plain(600, 300, Qt::blue), "jpeg");
    auto *photo = new QMimeData;
    photo->setData(QStringLiteral("image/jpeg"), jpeg);
    system->setMimeData(photo);
    ed->paste();
    EXPECT_EQ(ed->elements().last().image->data, jpeg);
}
