#include "fuzz/sample_documents.h"
#include "model/documentio.h"
#include "model/json.h"
#include "model/prefs.h"
#include "model/recent.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using LWDocumentIO::IOError;
using Kind = LWDocumentIO::IOError::Kind;

namespace {

const QByteArray tag = "\"format\":\"VELK Leafwrighter design\"";
const char *const notADesignText = "This file isn't an VELK Leafwrighter design.";

QByteArray encoded(const LWDocument &d)
{
    auto r = LWDocumentIO::encode(d);
    EXPECT_TRUE(r.ok()) << qPrintable(r.errorDescription());
    return r ? r.value() : QByteArray();
}

// The verdict of decode as a short text, for compact expectations.
std::string verdict(const QByteArray &bytes)
{
    const auto r = LWDocumentIO::decode(bytes);
    if (r)
        return "ok";
    const IOError *e = r.ioError();
    if (!e)
        return "not an IOError";
    switch (e->kind) {
    case Kind::newerVersion: return "newer " + std::to_string(e->version);
    case Kind::unreadable: return "unreadable";
    case Kind::notADesign: return "not a design";
    }
    return "?";
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Any JSON text: spaces or line breaks outside strings are reported.
bool hasWhitespaceOutsideStrings(const QByteArray &b)
{
    bool in = false;
    for (qsizetype i = 0; i < b.size(); ++i) {
        const char c = b[i];
        if (in) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in = false;
        } else if (c == '"') {
            in = true;
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            return true;
        }
    }
    return false;
}

class DocumentFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    }
    void TearDown() override { LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini")))); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(dir.filePath(name)); }
    QStringList folderEntries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
};

} // namespace

TEST(DocumentEncoding, RoundTripsEveryPart)
{
    const LWDocument blank = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const LWDocument rich = LWSamples::rich(200000);
    ASSERT_FALSE(blank.templateID.has_value());
    for (const LWDocument &d : {blank, rich, LWDocument::blank(LWSizePreset::a4, true)}) {
        const QByteArray bytes = encoded(d);
        const auto back = LWDocumentIO::decode(bytes);
        ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
        EXPECT_EQ(back.value(), d);
        EXPECT_EQ(encoded(back.value()), bytes); // the program's own file reads back byte for byte
    }
    const LWDocument back = LWDocumentIO::decode(encoded(rich)).value();
    EXPECT_EQ(back.pages[0].elements[2].image->data->size(), 200000);
    EXPECT_FALSE(back.pages[0].elements.last().stroke.has_value());
}

TEST(DocumentEncoding, BlankCardBytes)
{
    const QByteArray b = encoded(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    EXPECT_TRUE(b.startsWith("{\"bleed\":9,")) << b.left(40).constData();
    EXPECT_FALSE(b.contains('\n'));
    EXPECT_FALSE(hasWhitespaceOutsideStrings(b));
    EXPECT_FALSE(b.contains("templateID"));
    EXPECT_FALSE(b.contains("null"));
    EXPECT_TRUE(b.endsWith('}'));
    EXPECT_TRUE(b.contains(tag));
    EXPECT_TRUE(b.contains("\"version\":1,"));

    // Top-level keys in ascending order (a blank card has no elements to repeat them).
    qsizetype last = -1;
    for (const char *key : {"bleed", "created", "format", "guides", "height", "id", "kind", "modified", "name", "pages",
                            "safe", "sizeID", "version", "width"}) {
        const qsizetype at = b.indexOf(QByteArray("\"") + key + "\":");
        EXPECT_GT(at, last) << key;
        last = at;
    }
}

TEST(DocumentEncoding, ValueSpelling)
{
    const LWDocument d = LWSamples::rich();
    const QByteArray b = encoded(d);
    EXPECT_FALSE(hasWhitespaceOutsideStrings(b));
    EXPECT_FALSE(b.contains('\n'));
    EXPECT_TRUE(b.contains(LWJson::uuidText(d.id).toLatin1()));
    EXPECT_FALSE(b.contains(d.id.toString(QUuid::WithoutBraces).toLatin1())); // not lower case
    EXPECT_TRUE(b.contains("\"templateID\":\"cards\\/bold-stripe\""));
    EXPECT_FALSE(b.contains("cards/bold"));
    EXPECT_TRUE(b.contains("Caf\xC3\xA9")); // raw UTF-8, not \u00e9
    EXPECT_TRUE(b.contains("\"frame\":[[-9,-9],[270,40]]"));
    EXPECT_TRUE(b.contains("\"modified\":1700000123.5"));

    // Base64 on one line, slashes escaped; reading takes them unescaped too.
    const QByteArray b64 = d.pages[0].elements[2].image->data->toBase64();
    ASSERT_TRUE(b64.contains('/'));
    QByteArray escaped = b64;
    escaped.replace("/", "\\/");
    EXPECT_TRUE(b.contains(escaped));
    QByteArray plain = b;
    plain.replace("\\/", "/");
    const auto back = LWDocumentIO::decode(plain);
    ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
    EXPECT_EQ(back.value(), d);

    // Lower-case UUIDs are read too.
    QByteArray lower = b;
    lower.replace(LWJson::uuidText(d.id).toLatin1(), d.id.toString(QUuid::WithoutBraces).toLatin1());
    EXPECT_EQ(LWDocumentIO::decode(lower).value(), d);
}

TEST(DocumentEncoding, NonFiniteNumbersAndTooDeepGroupsFail)
{
    LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    d.width = std::nan("");
    auto r = LWDocumentIO::encode(d);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.ioError(), nullptr); // the encoder's failure, not a read-side one
    EXPECT_TRUE(r.errorDescription().contains(u"width")) << qPrintable(r.errorDescription());

    d = LWSamples::rich();
    d.pages[1].elements[0].frame.h = INFINITY;
    EXPECT_FALSE(LWDocumentIO::encode(d).ok());

    // The deepest nesting that can be written opens again; one level more is refused.
    const LWDocument deepest = LWSamples::nested(509);
    const auto back = LWDocumentIO::decode(encoded(deepest));
    ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
    EXPECT_EQ(back.value(), deepest);
    r = LWDocumentIO::encode(LWSamples::nested(510));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.errorDescription().contains(u"nested")) << qPrintable(r.errorDescription());
}

TEST(DocumentDecoding, ReadSideChecksInOrder)
{
    EXPECT_EQ(verdict(""), "not a design");
    EXPECT_EQ(verdict("hello"), "not a design");
    EXPECT_EQ(verdict("[]"), "not a design");
    EXPECT_EQ(verdict("{}"), "not a design");
    EXPECT_EQ(verdict("\"VELK Leafwrighter design\""), "not a design");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":2}"), "newer 2");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":2.0}"), "newer 2");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":123456789}"), "newer 123456789");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":1}"), "unreadable");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":\"2\"}"), "unreadable");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":2.5}"), "unreadable");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":1e30}"), "unreadable");
    EXPECT_EQ(verdict("{" + tag + "}"), "unreadable");
    EXPECT_EQ(verdict("{\"format\":\"VELK leafwrighter design\",\"version\":2}"), "not a design");
    EXPECT_EQ(verdict("{\"format\":\"VELK Leafwrighter design \",\"version\":2}"), "not a design");
    EXPECT_EQ(verdict("{\"format\":null,\"version\":2}"), "not a design");
    EXPECT_EQ(verdict("{\"format\":[\"VELK Leafwrighter design\"]}"), "not a design");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":2} x"), "not a design"); // not one JSON text

    // A newer version wins even over the rest being garbage.
    QByteArray b = encoded(LWSamples::rich());
    b.replace("\"version\":1", "\"version\":7");
    b.replace("\"kind\":\"", "\"kind\":\"x");
    EXPECT_EQ(verdict(b), "newer 7");
}

TEST(DocumentDecoding, ErrorTexts)
{
    EXPECT_EQ(IOError::notADesign().errorDescription(), notADesignText);
    EXPECT_EQ(IOError::newerVersion(12345).errorDescription(),
              "This design was saved by a newer version of VELK Leafwrighter (format 12345). Please update the app.");
    EXPECT_EQ(IOError::unreadable("what").errorDescription(), "The design couldn't be opened: what");

    // The unreadable text names where the file went wrong.
    QByteArray b = encoded(LWSamples::rich());
    b.replace("\"shape\":\"star\"", "\"shape\":\"Star\"");
    const auto r = LWDocumentIO::decode(b);
    ASSERT_NE(r.ioError(), nullptr);
    EXPECT_EQ(r.ioError()->kind, Kind::unreadable);
    EXPECT_TRUE(r.errorDescription().startsWith(u"The design couldn't be opened: "));
    EXPECT_TRUE(r.errorDescription().contains(u"pages[0].elements[4].children[1].shape")) << qPrintable(r.errorDescription());
}

TEST(DocumentDecoding, OldVersionsAndUnknownKeys)
{
    const LWDocument d = LWSamples::rich();
    for (const char *version : {"0", "-3"}) {
        QByteArray b = encoded(d);
        b.replace("\"version\":1", QByteArray("\"version\":") + version);
        const auto r = LWDocumentIO::decode(b);
        ASSERT_TRUE(r.ok()) << version << qPrintable(r.errorDescription());
        EXPECT_EQ(r.value().version, QByteArray(version).toLongLong());
    }

    // Extra keys at the top, in a page, an element, a fill, a colour, a text and a picture.
    QByteArray b = encoded(d);
    b.replace("{\"bleed\":", "{\"zzz\":[1,{\"a\":null}],\"bleed\":");
    b.replace("\"background\":{", "\"background\":{\"extra\":true,");
    b.replace("\"cornerRadius\":", "\"aaa\":\"x\",\"cornerRadius\":");
    b.replace("\"color\":{", "\"color\":{\"p3\":1,");
    b.replace("\"fontName\":", "\"font\":{},\"fontName\":");
    b.replace("\"assetID\":", "\"url\":\"x\",\"assetID\":");
    const auto r = LWDocumentIO::decode(b);
    ASSERT_TRUE(r.ok()) << qPrintable(r.errorDescription());
    EXPECT_EQ(r.value(), d);
    EXPECT_EQ(encoded(r.value()), encoded(d)); // lost on the next save

    // Optional keys holding null read as absent.
    b = encoded(d);
    b.replace("\"templateID\":\"cards\\/bold-stripe\"", "\"templateID\":null");
    LWDocument expected = d;
    expected.templateID.reset();
    EXPECT_EQ(LWDocumentIO::decode(b).value(), expected);
}

TEST(DocumentDecoding, MalformedContentsAreUnreadable)
{
    const LWDocument d = LWSamples::rich();
    const QByteArray good = encoded(d);
    const QList<std::pair<QByteArray, QByteArray>> edits{
        {"\"width\":252", "\"width\":\"252\""},            // wrong type
        {",\"name\":\"Front\"", ""},                        // missing key
        {"\"kind\":\"businessCard\"", "\"kind\":\"card\""}, // unknown enumeration
        {"\"frame\":[[-9,-9],[270,40]]", "\"frame\":[[-9,-9,1],[270,40]]"},
        {"\"frame\":[[-9,-9],[270,40]]", "\"frame\":[-9,-9,270,40]"},
        {"\"sides\":5", "\"sides\":5.5"},
        {"\"pages\":[", "\"pages\":[null,"},
        {"\"guides\":[", "\"guides\":[[],"},
    };
    for (const auto &[from, to] : edits) {
        QByteArray b = good;
        ASSERT_TRUE(b.contains(from)) << from.constData();
        b.replace(from, to);
        EXPECT_EQ(verdict(b), "unreadable") << to.constData();
    }
    // A malformed UUID and malformed Base64.
    QByteArray b = good;
    b.replace(LWJson::uuidText(d.id).toLatin1(), "not-a-uuid");
    EXPECT_EQ(verdict(b), "unreadable");
    b = good;
    b.replace(":\"" + d.pages[0].elements[2].image->data->toBase64().left(8).replace("/", "\\/"), ":\"!!!!");
    EXPECT_EQ(verdict(b), "unreadable");
}

TEST(DocumentDecoding, HostileInputStaysBounded)
{
    // Nesting past the parser's limit, a flood of tiny values and a huge string.
    EXPECT_EQ(verdict(QByteArray(5000, '[') + QByteArray(5000, ']')), "not a design");
    QByteArray deep = "{" + tag + ",\"version\":1,\"x\":";
    for (int i = 0; i < 3000; ++i)
        deep += "{\"a\":";
    EXPECT_EQ(verdict(deep + "0" + QByteArray(3000, '}') + "}"), "not a design");

    QByteArray flood = "{" + tag + ",\"version\":1,\"pages\":[";
    flood += QByteArray(LWDocumentIO::maxValues * 2, ',').replace(",", "0,");
    flood += "0]}";
    EXPECT_EQ(verdict(flood), "unreadable");
    EXPECT_TRUE(LWDocumentIO::decode(flood).errorDescription().contains(u"values"));
    EXPECT_EQ(verdict("[" + QByteArray(LWDocumentIO::maxValues * 2, ',') + "]"), "not a design");

    QByteArray big = encoded(LWSamples::rich());
    big.replace("\"name\":\"Band\"", "\"name\":\"" + QByteArray(64 << 20, 'a') + "\"");
    const auto r = LWDocumentIO::decode(big);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().pages[0].elements[0].name.size(), 64 << 20);
    // The message about a bad value does not quote all of it.
    big = encoded(LWSamples::rich());
    ASSERT_TRUE(big.contains("\"fit\":\"fit\""));
    big.replace("\"fit\":\"fit\"", "\"fit\":\"" + QByteArray(64 << 20, 'a') + "\"");
    const QString message = LWDocumentIO::decode(big).errorDescription();
    EXPECT_TRUE(message.contains(u"fit")) << qPrintable(message.left(200));
    EXPECT_LT(message.size(), 1000);
}

TEST(DocumentDecoding, ReplaysStoredCrashInputs)
{
    // Inputs that once crashed or hung the fuzzer, and its seed corpus: each must get a verdict.
    const QString data = qEnvironmentVariable("LW_TEST_DATA");
    ASSERT_FALSE(data.isEmpty());
    int replayed = 0;
    for (const QString &folder :
         {data + QStringLiteral("/documentio"), QDir::cleanPath(data + QStringLiteral("/../fuzz/corpus"))}) {
        QDirIterator it(folder, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            const auto r = LWDocumentIO::decode(readFile(path));
            EXPECT_TRUE(r.ok() || r.ioError()) << qPrintable(path);
            if (r) { // whatever opens can be saved again
                EXPECT_TRUE(LWDocumentIO::encode(r.value()).ok()) << qPrintable(path);
            }
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

TEST_F(DocumentFiles, SaveAndOpenRecordTheFile)
{
    const LWDocument d = LWSamples::rich();
    const QUrl target = url(QStringLiteral("Card.velkfolio"));
    const auto saved = LWDocumentIO::save(d, target);
    ASSERT_TRUE(saved.ok()) << qPrintable(saved.errorDescription());
    EXPECT_EQ(readFile(target.toLocalFile()), encoded(d));
    EXPECT_EQ(LWRecent::paths(), QStringList{target.toLocalFile()});
    EXPECT_EQ(folderEntries(), (QStringList{"Card.velkfolio", "settings.ini"})); // no temporary left over

    LWRecent::clear();
    const auto opened = LWDocumentIO::open(target);
    ASSERT_TRUE(opened.ok()) << qPrintable(opened.errorDescription());
    EXPECT_EQ(opened.value(), d);
    EXPECT_EQ(LWRecent::paths(), QStringList{target.toLocalFile()});

    // Saving again replaces the file whole, unchanged otherwise (modified is the caller's).
    LWDocument shorter = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    ASSERT_TRUE(LWDocumentIO::save(shorter, target).ok());
    EXPECT_EQ(readFile(target.toLocalFile()), encoded(shorter));
}

TEST_F(DocumentFiles, FailedSaveKeepsTheEarlierFileAndTheRecentList)
{
    const QUrl target = url(QStringLiteral("Card.velkfolio"));
    const LWDocument good = LWSamples::rich();
    ASSERT_TRUE(LWDocumentIO::save(good, target).ok());
    const QByteArray before = readFile(target.toLocalFile());
    LWRecent::clear();

    LWDocument bad = good;
    bad.width = std::nan("");
    auto r = LWDocumentIO::save(bad, target);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.ioError(), nullptr);
    EXPECT_EQ(readFile(target.toLocalFile()), before);
    r = LWDocumentIO::save(bad, url(QStringLiteral("New.velkfolio")));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(folderEntries(), (QStringList{"Card.velkfolio", "settings.ini"}));

    // Into a "folder" that is a file, and over a folder.
    r = LWDocumentIO::save(good, url(QStringLiteral("Card.velkfolio/x.velkfolio")));
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.errorDescription().isEmpty());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Folder")));
    EXPECT_FALSE(LWDocumentIO::save(good, url(QStringLiteral("Folder"))).ok());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("Folder"))).isDir());
    EXPECT_TRUE(LWRecent::paths().isEmpty());
}

TEST_F(DocumentFiles, SaveIntoReadOnlyFolderFails)
{
    const QUrl target = url(QStringLiteral("Folder/Card.velkfolio"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Folder")));
    const LWDocument good = LWSamples::rich();
    ASSERT_TRUE(LWDocumentIO::save(good, target).ok());
    LWRecent::clear();

    const QString folder = dir.filePath(QStringLiteral("Folder"));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const bool enforced = ::access(qPrintable(folder), W_OK) != 0;
    if (enforced) {
        const auto r = LWDocumentIO::save(LWDocument::blank(LWSizePreset::a4, std::nullopt), target);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.ioError(), nullptr);
        EXPECT_EQ(readFile(target.toLocalFile()), encoded(good));
        EXPECT_TRUE(LWRecent::paths().isEmpty());
    }
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (!enforced)
        GTEST_SKIP() << "running as the superuser: folder permissions are not enforced";
}

TEST_F(DocumentFiles, FailedOpenRecordsNothing)
{
    auto r = LWDocumentIO::open(url(QStringLiteral("missing.velkfolio")));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.ioError(), nullptr); // the file system's error, not a read-side one
    EXPECT_TRUE(r.errorDescription().contains(u"missing.velkfolio")) << qPrintable(r.errorDescription());

    EXPECT_FALSE(LWDocumentIO::open(QUrl::fromLocalFile(dir.path())).ok());
    EXPECT_FALSE(LWDocumentIO::open(QUrl(QStringLiteral("https://example.org/a.velkfolio"))).ok());

    QFile notes(dir.filePath(QStringLiteral("notes.velkfolio")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("shopping list");
    notes.close();
    r = LWDocumentIO::open(url(QStringLiteral("notes.velkfolio")));
    ASSERT_NE(r.ioError(), nullptr);
    EXPECT_EQ(r.errorDescription(), notADesignText);

    // Too large to read: refused from its size, without reading it.
    QFile huge(dir.filePath(QStringLiteral("huge.velkfolio")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(LWDocumentIO::maxFileSize + 1));
    huge.close();
    r = LWDocumentIO::open(url(QStringLiteral("huge.velkfolio")));
    ASSERT_NE(r.ioError(), nullptr);
    EXPECT_EQ(r.ioError()->kind, Kind::unreadable);

    EXPECT_TRUE(LWRecent::paths().isEmpty());
}
