#include "app_fixture.h"

#include <QFile>

#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Answer = LWPrompts::Answer;

// A design whose top-level "name" is `length` bytes, written in pieces, never held whole.
void writeNamed(const QString &file, qint64 length, const QByteArray &extra = {})
{
    QByteArray good = LWDocumentIO::encode(LWDocument::blank(LWSizePreset::usCard, std::nullopt)).value();
    good.chop(1); // the closing brace
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(good + extra + ",\"name\":\"");
    // Letters only: a name may look like Base64, and is still a name.
    const QByteArray piece(1 << 16, 'n');
    for (qint64 left = length; left > 0; left -= piece.size())
        out.write(piece.constData(), std::min<qint64>(left, piece.size()));
    out.write("\"}");
}

// A sparse file of `size` bytes that begins with `head`: no disk space, no memory.
void writeSparse(const QString &file, qint64 size, const QByteArray &head)
{
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(head);
    ASSERT_TRUE(out.resize(size));
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

} // namespace

class OpenBoundsTest : public AppTest {};

// Files given to File > Open that the reader must not hold whole: refused with the program's
// own words, or opened when they keep to the limits; the open design stays when refused.
TEST_F(OpenBoundsTest, OverlongTextsAndBigFilesThatAreNoDesignAreRefused)
{
    const QString notADesign = QStringLiteral("This file isn't an VELK Leafwrighter design.");
    const qint64 MiB = qint64(1) << 20;
    const QByteArray manyTexts = [&] {
        QByteArray texts = ",\"notes\":[";
        for (int i = 0; i < 65; ++i)
            texts += (i ? ",\"" : "\"") + QByteArray(MiB - 2, 't') + '"';
        return texts + ']';
    }();
    const struct {
        const char *name;
        std::function<void(const QString &file)> write;
        QString alert; // empty: it opens
    } cases[] = {
        {"a name of 1 MiB", [&](const QString &f) { writeNamed(f, MiB); }, {}},
        {"a name a byte longer",
         [&](const QString &f) { writeNamed(f, MiB + 1); },
         QStringLiteral("The design couldn't be opened: its \"name\" is a text longer than 1 MiB")},
        {"a name of 300 MB",
         [&](const QString &f) { writeNamed(f, 300'000'000); },
         QStringLiteral("The design couldn't be opened: its \"name\" is a text longer than 1 MiB")},
        {"texts together over 64 MiB", [&](const QString &f) { writeNamed(f, 10, manyTexts); },
         QStringLiteral("The design couldn't be opened: its texts together are longer than 64 MiB")},
        {"4 GiB of zeros", [](const QString &f) { writeSparse(f, qint64(4) << 30, {}); }, notADesign},
        {"an archive just under 1 GiB",
         [](const QString &f) { writeSparse(f, (qint64(1) << 30) - 1, "PK\x03\x04"); }, notADesign},
        {"a design's brace, then binary", [](const QString &f) { writeSparse(f, qint64(1) << 29, "{\"format\":"); },
         notADesign},
    };
    const QUrl file = url(QStringLiteral("given.velkfolio"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file.toLocalFile());
        c.write(file.toLocalFile());
        if (app.editor())
            app.editor()->setDirty(false);
        LWEditor *editor = newDirty();
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::openStep(file), ScriptedPrompts::ask(Answer::dontSave)};
        if (!c.alert.isEmpty())
            prompts->script.append(ScriptedPrompts::alertStep());
        app.openPanel();
        if (c.alert.isEmpty()) {
            ASSERT_NE(app.editor(), editor);
            EXPECT_EQ(app.editor()->doc().name.size(), MiB);
            continue;
        }
        EXPECT_EQ(prompts->calls.constLast().join(u'|').toStdString(),
                  QStringList({QStringLiteral("alert"), QStringLiteral("Couldn't open given.velkfolio"), c.alert})
                      .join(u'|')
                      .toStdString());
        EXPECT_EQ(app.editor(), editor);
    }
    QFile::remove(file.toLocalFile());
}

// What the reader holds while it refuses a file, measured in a child process of its own: a big
// file that is no design is refused after its first bytes, never read whole; a 300 MB name is
// refused holding the file's bytes once, never a copy or its text as UTF-16.
TEST_F(OpenBoundsTest, RefusingABigFileHoldsLittleMoreThanItsBytes)
{
    using Kind = LWDocumentIO::IOError::Kind;
    const struct {
        const char *name;
        std::function<void(const QString &file)> write;
        Kind kind;
        qint64 most; // bytes above the test's own before the read
    } cases[] = {
        {"1 GiB that is no design", [](const QString &f) { writeSparse(f, (qint64(1) << 30) - 1, {}); },
         Kind::notADesign, qint64(64) << 20},
        {"a name of 300 MB", [](const QString &f) { writeNamed(f, 300'000'000); }, Kind::unreadable,
         300'000'000 + (qint64(64) << 20)},
    };
    const QString file = path(QStringLiteral("big.velkfolio"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.write(file);
        const qint64 before = residentBytes();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const auto result = LWDocumentIO::open(QUrl::fromLocalFile(file));
            ::_exit(result.ioError() && result.ioError()->kind == c.kind ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        struct rusage usage {};
        ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0); // the largest child so far: the cases grow
        EXPECT_LT(qint64(usage.ru_maxrss) * 1024 - before, c.most);
        QFile::remove(file);
    }
}

// A design holding more text than the reader takes is not written, so that no file is made that
// could not be opened again: the alert names the text, the earlier file stays.
TEST_F(OpenBoundsTest, ADesignOverTheTextLimitsIsNotSaved)
{
    const QString earlier = QStringLiteral("the design as it was");
    const QString advice = QStringLiteral("\n\nYour design is still open; try saving to another folder (File \u2192 Save As\u2026).");
    const qint64 MiB = qint64(1) << 20;
    const struct {
        const char *name;
        std::function<void(LWDocument &)> change;
        QString says;
    } cases[] = {
        {"a name over 1 MiB", [&](LWDocument &d) { d.name = QString(MiB + 1, u'n'); },
         QStringLiteral("The design couldn't be written: its \"name\" is a text longer than 1 MiB")},
        {"page names together over 64 MiB",
         [&](LWDocument &d) {
             for (int i = 0; i < 65; ++i) {
                 d.pages.append(d.pages.constFirst());
                 d.pages.last().name = QString(MiB - 1, u'p');
             }
         },
         QStringLiteral("The design couldn't be written: its texts together are longer than 64 MiB")},
    };
    const QString file = path(QStringLiteral("kept.velkfolio"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(earlier.toUtf8()) > 0);
        out.close();
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        c.change(doc);
        if (app.editor())
            app.editor()->setDirty(false);
        openNew(doc);
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::saveStep(QUrl::fromLocalFile(file)), ScriptedPrompts::alertStep()};
        EXPECT_FALSE(app.saveAs());
        EXPECT_EQ(prompts->calls.constLast().value(2).toStdString(), (c.says + advice).toStdString());
        EXPECT_EQ(bytes(file), earlier.toUtf8());
    }
}
