#include "fuzz/sample_documents.h"
#include "model/file/documentio.h"
#include "model/file/fileaccess.h"
#include "model/file/json.h"
#include "model/file/prefs.h"
#include "model/file/recent.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    for (const LWDocument &d : {blank, rich}) {
        const QByteArray bytes = encoded(d);
        const auto back = LWDocumentIO::decode(bytes);
        ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
        EXPECT_EQ(back.value(), d);
        EXPECT_EQ(encoded(back.value()), bytes); // the program's own file reads back byte for byte
    }
}

// A phone photo's worth of picture data: written as the generic writer spells it, read back to
// the same bytes, in a file and on the pasteboard.
TEST(DocumentEncoding, LargePictureRoundTripsByteForByte)
{
    LWDocument d = LWSamples::rich(0);
    QByteArray picture(20 * 1000 * 1000 + 1, Qt::Uninitialized);
    quint32 x = 12345;
    for (char &c : picture) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    LWElement photo = LWElement::makePhoto(LWRect(0, 0, 100, 80));
    photo.image->data = picture;
    d.pages[0].elements.append(photo);

    const QByteArray bytes = encoded(d);
    EXPECT_EQ(bytes, LWJson::write(d.toJson()).value_or(QByteArray()));
    const auto back = LWDocumentIO::decode(bytes);
    ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
    EXPECT_EQ(back.value(), d);
    EXPECT_EQ(back.value().pages[0].elements.last().image->data, picture);

    const auto copied = LWDocumentIO::encodeElements({photo});
    ASSERT_TRUE(copied.ok());
    EXPECT_EQ(copied.value(), LWJson::write(LWJson::to(QList<LWElement>{photo})).value_or(QByteArray()));
    const auto pasted = LWDocumentIO::decodeElements(copied.value());
    ASSERT_TRUE(pasted.ok());
    EXPECT_EQ(pasted.value(), QList<LWElement>{photo});
}

TEST(DocumentEncoding, BlankCardBytes)
{
    // Escaping, number and key order rules are the writer's, tested with it.
    const LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const QByteArray b = encoded(d);
    EXPECT_TRUE(b.startsWith("{\"bleed\":9,")) << b.left(40).constData();
    EXPECT_FALSE(b.contains('\n'));
    EXPECT_EQ(b.count(' '), 2); // only the two inside the format tag
    EXPECT_FALSE(b.contains("templateID"));
    EXPECT_TRUE(b.contains(LWJson::uuidText(d.id).toLatin1())); // upper case
}

TEST(DocumentEncoding, TooDeepGroupsFail)
{
    // The deepest nesting that can be written opens again; one level more is refused.
    const LWDocument deepest = LWSamples::nested(509);
    const auto back = LWDocumentIO::decode(encoded(deepest));
    ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
    EXPECT_EQ(back.value(), deepest);
    const auto r = LWDocumentIO::encode(LWSamples::nested(510));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.errorDescription().contains(u"nested")) << qPrintable(r.errorDescription());
}

TEST(DocumentDecoding, ReadSideChecksInOrder)
{
    EXPECT_EQ(verdict(""), "not a design");
    EXPECT_EQ(verdict("hello"), "not a design");
    EXPECT_EQ(verdict("[]"), "not a design");
    EXPECT_EQ(verdict("{}"), "not a design");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":2}"), "newer 2");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":1}"), "unreadable");
    EXPECT_EQ(verdict("{" + tag + ",\"version\":\"2\"}"), "unreadable");
    EXPECT_EQ(verdict("{\"format\":\"VELK leafwrighter design\",\"version\":2}"), "not a design");

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

    // A misspelt value deep inside makes the file unreadable, and the text names where.
    QByteArray b = encoded(LWSamples::rich());
    b.replace("\"shape\":\"star\"", "\"shape\":\"Star\"");
    const auto r = LWDocumentIO::decode(b);
    ASSERT_NE(r.ioError(), nullptr);
    EXPECT_EQ(r.ioError()->kind, Kind::unreadable);
    EXPECT_TRUE(r.errorDescription().contains(u"pages[0].elements[4].children[1].shape")) << qPrintable(r.errorDescription());
}

TEST(DocumentDecoding, OldVersionsAndUnknownKeys)
{
    const LWDocument d = LWSamples::rich();
    QByteArray b = encoded(d);
    b.replace("\"version\":1", "\"version\":0");
    const auto old = LWDocumentIO::decode(b);
    ASSERT_TRUE(old.ok()) << qPrintable(old.errorDescription());
    EXPECT_EQ(old.value().version, 0);

    // Extra keys at the top, in a fill and in a nested element are ignored and lost on the next save.
    b = encoded(d);
    b.replace("{\"bleed\":", "{\"zzz\":[1,{\"a\":null}],\"bleed\":");
    b.replace("\"background\":{", "\"background\":{\"extra\":true,");
    b.replace("\"cornerRadius\":", "\"aaa\":\"x\",\"cornerRadius\":");
    const auto r = LWDocumentIO::decode(b);
    ASSERT_TRUE(r.ok()) << qPrintable(r.errorDescription());
    EXPECT_EQ(encoded(r.value()), encoded(d));
}

TEST(DocumentDecoding, HostileInputStaysBounded)
{
    // Nesting past the parser's limit, a flood of tiny values and a huge bad value.
    QByteArray deep = "{" + tag + ",\"version\":1,\"x\":";
    for (int i = 0; i < 3000; ++i)
        deep += "{\"a\":";
    EXPECT_EQ(verdict(deep + "0" + QByteArray(3000, '}') + "}"), "not a design");

    QByteArray flood = "{" + tag + ",\"version\":1,\"pages\":[";
    flood += QByteArray(LWDocumentIO::maxValues * 2, ',').replace(",", "0,");
    flood += "0]}";
    EXPECT_EQ(verdict(flood), "unreadable");
    EXPECT_TRUE(LWDocumentIO::decode(flood).errorDescription().contains(u"values"));

    // The message about a bad value does not quote all of it.
    QByteArray big = encoded(LWSamples::rich());
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
    EXPECT_EQ(r.ioError(), nullptr); // the encoder's failure, not a read-side one
    EXPECT_TRUE(r.errorDescription().contains(u"width")) << qPrintable(r.errorDescription());
    EXPECT_EQ(readFile(target.toLocalFile()), before);
    r = LWDocumentIO::save(bad, url(QStringLiteral("New.velkfolio")));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(folderEntries(), (QStringList{"Card.velkfolio", "settings.ini"}));

    // Over a folder.
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

    QFile notes(dir.filePath(QStringLiteral("notes.velkfolio")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("shopping list");
    notes.close();
    r = LWDocumentIO::open(url(QStringLiteral("notes.velkfolio")));
    ASSERT_NE(r.ioError(), nullptr);
    EXPECT_EQ(r.errorDescription(), notADesignText);

    // Too large to read: refused from its size once its first bytes could start a design, without
    // reading on.
    QFile huge(dir.filePath(QStringLiteral("huge.velkfolio")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write("{\"format\":" + QByteArray(LWDocumentIO::headBytes, ' '));
    ASSERT_TRUE(huge.resize(LWDocumentIO::maxFileSize + 1));
    huge.close();
    r = LWDocumentIO::open(url(QStringLiteral("huge.velkfolio")));
    ASSERT_NE(r.ioError(), nullptr);
    EXPECT_EQ(r.ioError()->kind, Kind::unreadable);

    EXPECT_TRUE(LWRecent::paths().isEmpty());
}

TEST_F(DocumentFiles, ReadErrorsNameTheFile)
{
    // Each opens as an ordinary file and fails on its first read: nothing is mapped at address 0.
    for (const QString &name :
         {QStringLiteral("Card.velkfolio"), QStringLiteral("Caf\u00e9 \"2\".velkfolio")}) {
        ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), dir.filePath(name)));
        const auto r = LWDocumentIO::open(url(name));
        EXPECT_EQ(r.ioError(), nullptr);
        const QString reason = LWFileAccess::systemReason(EIO);
        EXPECT_EQ(r.errorDescription(), QStringLiteral("The file \"%1\" couldn't be read: %2").arg(name, reason));
    }
    EXPECT_TRUE(LWRecent::paths().isEmpty());
}

namespace {

// Lowers this process's file-size limit for its lifetime; writes past it fail with EFBIG
// instead of killing the process. The soft limit can always be raised back.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_ok = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

TEST_F(DocumentFiles, SaveOutOfRoomNamesTheReason)
{
    const QUrl target = url(QStringLiteral("a.velkfolio"));
    ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::a4, std::nullopt), target).ok());
    const QByteArray before = readFile(target.toLocalFile());
    LWRecent::clear();
    const QStringList entries = folderEntries();

    LWDocument big = LWSamples::rich();
    big.name = QString(300 * 1024, QLatin1Char('x'));
    LWDocumentIO::Result<std::monostate> r = std::monostate{};
    {
        FileSizeLimit limit(100 * 1024);
        ASSERT_TRUE(limit.ok());
        r = LWDocumentIO::save(big, target);
    }
    ASSERT_FALSE(r.ok());
    // "File too large", in the system's words, whichever step noticed it.
    EXPECT_EQ(r.errorDescription().toStdString(),
              "The file \"a.velkfolio\" couldn't be saved: " + LWFileAccess::systemReason(EFBIG).toStdString());
    EXPECT_EQ(readFile(target.toLocalFile()), before);
    EXPECT_EQ(folderEntries(), entries);
    EXPECT_TRUE(LWRecent::paths().isEmpty());
}

TEST_F(DocumentFiles, OnlyOrdinaryFilesAreOpenedOrReplaced)
{
    const QString pipe = dir.filePath(QStringLiteral("pipe.velkfolio"));
    ASSERT_EQ(::mkfifo(qPrintable(pipe), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("x.velkfolio"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Folder.velkfolio")));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(dir.filePath(QStringLiteral("s.velkfolio")));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

    const struct {
        const char *name;
        const char *reason;
        mode_t type; // of what the name leads to, unchanged by a refused save
    } cases[] = {
        {"pipe.velkfolio", "it is a named pipe, not an ordinary file", S_IFIFO},
        {"x.velkfolio", "it is a device, not an ordinary file", S_IFCHR},
        {"s.velkfolio", "it is a socket, not an ordinary file", S_IFSOCK},
        {"Folder.velkfolio", "it is a folder", S_IFDIR},
    };
    const LWDocument blank = LWDocument::blank(LWSizePreset::a4, std::nullopt);
    for (const auto &c : cases) {
        const QUrl target = url(QString::fromLatin1(c.name));
        const auto r = LWDocumentIO::open(target);
        EXPECT_EQ(r.errorDescription().toStdString(),
                  std::string("The file \"") + c.name + "\" couldn't be opened: " + c.reason);
        // Never saved through the link to the system's device: a save that failed to refuse
        // would replace it. The pipe and the socket show the same refusal.
        if (c.type != S_IFCHR) {
            EXPECT_FALSE(LWDocumentIO::save(blank, target).ok()) << c.name;
        }
        struct stat st {};
        ASSERT_EQ(::stat(qPrintable(target.toLocalFile()), &st), 0) << c.name;
        EXPECT_EQ(st.st_mode & S_IFMT, c.type) << c.name;
    }
    ::close(sock);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // only the settings
    EXPECT_TRUE(LWRecent::paths().isEmpty());
}

TEST_F(DocumentFiles, SymbolicLinksReachTheirTarget)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString real = dir.filePath(QStringLiteral("real/Card.velkfolio"));
    const QString link = dir.filePath(QStringLiteral("Card.velkfolio"));
    const LWDocument rich = LWSamples::rich();
    ASSERT_TRUE(LWDocumentIO::save(rich, QUrl::fromLocalFile(real)).ok());
    ASSERT_EQ(::chmod(qPrintable(real), 0640), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("real/Card.velkfolio"), link)); // relative, as users make them
    LWRecent::clear();

    const auto opened = LWDocumentIO::open(QUrl::fromLocalFile(link));
    ASSERT_TRUE(opened.ok()) << qPrintable(opened.errorDescription());
    EXPECT_EQ(opened.value(), rich);

    const LWDocument blank = LWDocument::blank(LWSizePreset::a4, std::nullopt);
    const auto saved = LWDocumentIO::save(blank, QUrl::fromLocalFile(link));
    ASSERT_TRUE(saved.ok()) << qPrintable(saved.errorDescription());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), real);
    EXPECT_EQ(readFile(real), encoded(blank));
    struct stat st {};
    ASSERT_EQ(::stat(qPrintable(real), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("real"))).entryList(QDir::Files), QStringList{"Card.velkfolio"});
    EXPECT_EQ(LWRecent::paths(), QStringList{link});
}
