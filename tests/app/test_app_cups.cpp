// LWCupsBackend against a stand-in for the scheduler, handed to it in place of the libcups calls
// that reach one, so no job leaves the test.
#include "app_fixture.h"

#include "modalanswerer.h"

#include "app/printing.h"
#include "app/sheets/printpanel.h"

#include <QLabel>
#include <QPrintEngine>
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <map>
#include <thread>

namespace {

// Where a slow scheduler (or printer) waits until the test has pressed Escape.
enum class Hold { none, create, write, finish, page };

struct Spool {
    std::map<QString, QString> saved = {{"sides", "two-sided-long-edge"}, {"media", "Letter"}, {"print-quality", "5"}};
    QString refusal;
    bool printedAlready = false; // a cancel after the last piece comes too late
    Hold hold = Hold::none;
    QString printer, title;
    QByteArray file;
    bool finished = false;
    QList<int> cancelled;
    std::map<QString, QString> options;
    int unfreed = 0; // queues handed out and not yet given back to freeDests
    int connections = 0;
} spool;
std::atomic<bool> holding, released;

int wait(Hold at, int answer)
{
    if (spool.hold == at)
        holding = true;
    for (int ms = 0; spool.hold == at && !released && ms < 120000; ++ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return answer;
}

cups_dest_t *getNamedDest(http_t *, const char *name, const char *instance)
{
    if (!name || qstrcmp(name, "desk") != 0)
        return nullptr;
    ++spool.unfreed;
    auto *dest = new cups_dest_t{};
    dest->name = qstrdup(name);
    dest->instance = instance ? qstrdup(instance) : nullptr;
    for (const auto &[key, value] : spool.saved)
        dest->num_options = cupsAddOption(key.toUtf8().constData(), value.toUtf8().constData(), dest->num_options,
                                          &dest->options);
    return dest;
}

void freeDests(int count, cups_dest_t *dests)
{
    spool.unfreed -= count;
    for (int i = 0; i < count; ++i) {
        delete[] dests[i].name;
        delete[] dests[i].instance;
        cupsFreeOptions(dests[i].num_options, dests[i].options);
    }
    delete dests;
}

int createJob(http_t *, const char *name, const char *title, int count, cups_option_t *options)
{
    spool.printer = QString::fromUtf8(name);
    spool.title = QString::fromUtf8(title);
    for (int i = 0; i < count; ++i)
        spool.options[QString::fromUtf8(options[i].name)] = QString::fromUtf8(options[i].value);
    return wait(Hold::create, spool.refusal.isEmpty() ? 7 : 0);
}

const char *lastErrorString()
{
    static QByteArray text;
    text = spool.refusal.toUtf8();
    return text.constData();
}

const LWCupsCalls standIn = {
    getNamedDest, freeDests, lastErrorString,
    [] { return ++spool.connections, reinterpret_cast<http_t *>(&spool); }, [](http_t *) { --spool.connections; },
    createJob, [](http_t *, const char *, int, const char *) { return int(HTTP_STATUS_CONTINUE); },
    [](http_t *, const char *bytes, size_t length) {
        spool.file.append(bytes, qsizetype(length));
        return wait(Hold::write, HTTP_STATUS_CONTINUE);
    },
    [](http_t *, const char *) {
        spool.finished = true;
        return wait(Hold::finish, IPP_STATUS_OK);
    },
    [](http_t *http, const char *, int job) {
        spool.cancelled.append(job);
        return int(spool.printedAlready ? IPP_STATUS_ERROR_NOT_POSSIBLE : IPP_STATUS_OK);
    },
    nullptr};

// LWCupsBackend to the stand-in, from the fixture's PDF printer as the dialog names `printer`.
// Drawing pages, it waits after the first (Hold::page) and keeps how far it got after.
class StandInBackend final : public LWPrintBackend {
public:
    explicit StandInBackend(const QString &printer)
    {
        printers.defaults = [printer](QPrinter &p) {
            p.printEngine()->setProperty(QPrintEngine::PPK_PrinterName, printer);
        };
    }
    FakePrintBackend printers;
    LWCupsBackend cups{standIn};
    QList<double> later;

    std::unique_ptr<QPrinter> makePrinter() override { return printers.makePrinter(); }
    bool hasQueue(const QString &printer) const override { return cups.hasQueue(printer); }
    std::optional<QString> submit(const LWPrintJob &job, const LWPrintSteps &steps) override
    {
        return cups.submit(job, steps);
    }
    std::optional<QString> printRaster(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer,
                                       const LWPrintOptions &options, const LWPrintSteps &steps) override
    {
        bool held = false;
        LWPrintSteps slow = steps;
        slow.progress = [&](double done) {
            steps.advance(done);
            held ? later.append(done) : void(held = wait(Hold::page, true));
        };
        return cups.printRaster(pdf, pages, printer, options, slow);
    }
};

} // namespace

TEST(CupsBackend, DialogChoicesOverrideTheQueuesOptionsAndPagesKeepTheirSize)
{
    LWCupsBackend cups(standIn);
    EXPECT_TRUE(cups.hasQueue(QStringLiteral("desk")));
    EXPECT_TRUE(cups.hasQueue(QStringLiteral("desk/draft")));
    EXPECT_FALSE(cups.hasQueue(QStringLiteral("hall")));
    // The stand-in's queues go back to it, not to libcups, which did not allocate them.
    EXPECT_EQ(spool.unfreed, 0);

    const LWPrintJob job{QStringLiteral("desk/draft"), QStringLiteral("Card"), QByteArray("%PDF-1.4 card"), 2,
                         QStringLiteral("2"),
                         {{"media", "A4"}, {"print-color-mode", "monochrome"}, {"print-scaling", "fit"}}};
    EXPECT_EQ(cups.submit(job, {}), QString());
    EXPECT_EQ(spool.printer, QStringLiteral("desk"));
    EXPECT_EQ(spool.title, QStringLiteral("Card"));
    EXPECT_EQ(spool.file, job.pdf);
    EXPECT_TRUE(spool.finished);
    EXPECT_EQ(spool.options, (std::map<QString, QString>{{"sides", "two-sided-long-edge"},
                                                         {"media", "A4"},
                                                         {"print-quality", "5"},
                                                         {"print-color-mode", "monochrome"},
                                                         {"copies", "2"},
                                                         {"page-ranges", "2"},
                                                         {"print-scaling", "none"}}));

    spool.refusal = QStringLiteral("Not Found");
    EXPECT_EQ(cups.submit(job, {}), QStringLiteral("The printer refused the job: Not Found"));
    spool.refusal.clear();
    EXPECT_EQ(spool.unfreed, 0);
    EXPECT_EQ(spool.connections, 0);
}

// Escape once the scheduler has the job, or between pages drawn for a printer without a queue:
// nothing prints, and nothing is said; where the queue had printed already, the user is told.
TEST_F(AppTest, CancelWhileHandingOverPrintsNothingOrSaysWhy)
{
    const QStringList told = {"alert", "Couldn't cancel printing", "The pages had already gone to the printer."};
    const struct {
        const char *name;
        Hold hold;
        bool printedAlready, finished;
    } cases[] = {
        {"while the queue makes the job", Hold::create, false, false},
        {"while the pages go over", Hold::write, false, false},
        {"while the queue takes the last piece", Hold::finish, false, true},
        {"once the queue has printed", Hold::finish, true, true},
        {"between pages drawn", Hold::page, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        spool = {};
        spool.printedAlready = c.printedAlready, spool.hold = c.hold;
        holding = released = false;
        const bool queued = c.hold != Hold::page;
        auto cups = std::make_shared<StandInBackend>(queued ? "desk" : "hall");
        app.setPrintBackend(cups);
        openNew(LWDocument::blank(LWSizePreset::usCard, std::nullopt)); // two sides, one band each
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::printStep([](QPrinter &) { return true; })};
        if (c.printedAlready)
            prompts->script.append(ScriptedPrompts::alertStep());
        QString shown;
        const ModalAnswerer escape([&](QWidget *panel) {
            if (holding && !released) {
                QTest::keyClick(panel, Qt::Key_Escape);
                shown = qobject_cast<LWPrintPanel *>(panel)->text()->text();
                released = true;
            }
        });
        app.print(false);
        EXPECT_EQ(shown, QStringLiteral("Cancelling\u2026"));
        EXPECT_EQ(spool.finished, c.finished);
        EXPECT_EQ(spool.cancelled, queued ? QList<int>{7} : QList<int>());
        EXPECT_EQ(spool.printer, queued ? QStringLiteral("desk") : QString()); // drawn pages: none sent
        EXPECT_EQ(cups->later, QList<double>()); // no page drawn after Escape
        EXPECT_EQ(spool.connections, 0);
        EXPECT_EQ(prompts->calls.constLast(), c.printedAlready ? told : prompts->calls.constFirst());
    }
}
