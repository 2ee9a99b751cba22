// LWCupsBackend against a stand-in for the scheduler, handed to it in place of the libcups calls
// that reach one, so no job leaves the test.
#include "app/printing.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <map>

namespace {

struct Spool {
    std::map<QString, QString> saved = {{"sides", "two-sided-long-edge"}, {"media", "Letter"}, {"print-quality", "5"}};
    QString refusal;
    QString printer, title;
    QByteArray file;
    std::map<QString, QString> options;
    int unfreed = 0; // queues handed out and not yet given back to freeDests
} spool;

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

int printFile(const char *name, const char *filename, const char *title, int count, cups_option_t *options)
{
    spool.printer = QString::fromUtf8(name);
    spool.title = QString::fromUtf8(title);
    QFile file(QString::fromLocal8Bit(filename));
    spool.file = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    spool.options.clear();
    for (int i = 0; i < count; ++i)
        spool.options[QString::fromUtf8(options[i].name)] = QString::fromUtf8(options[i].value);
    return spool.refusal.isEmpty() ? 7 : 0;
}

const char *lastErrorString()
{
    static QByteArray text;
    text = spool.refusal.toUtf8();
    return text.constData();
}

} // namespace

TEST(CupsBackend, DialogChoicesOverrideTheQueuesOptionsAndPagesKeepTheirSize)
{
    LWCupsBackend cups({getNamedDest, freeDests, printFile, lastErrorString});
    EXPECT_TRUE(cups.hasQueue(QStringLiteral("desk")));
    EXPECT_TRUE(cups.hasQueue(QStringLiteral("desk/draft")));
    EXPECT_FALSE(cups.hasQueue(QStringLiteral("hall")));
    // The stand-in's queues go back to it, not to libcups, which did not allocate them.
    EXPECT_EQ(spool.unfreed, 0);

    const LWPrintJob job{QStringLiteral("desk/draft"), QStringLiteral("Card"), QByteArray("%PDF-1.4 card"), 2,
                         QStringLiteral("2"),
                         {{"media", "A4"}, {"print-color-mode", "monochrome"}, {"print-scaling", "fit"}}};
    EXPECT_EQ(cups.submit(job), QString());
    EXPECT_EQ(spool.printer, QStringLiteral("desk"));
    EXPECT_EQ(spool.title, QStringLiteral("Card"));
    EXPECT_EQ(spool.file, job.pdf);
    EXPECT_EQ(spool.options, (std::map<QString, QString>{{"sides", "two-sided-long-edge"},
                                                         {"media", "A4"},
                                                         {"print-quality", "5"},
                                                         {"print-color-mode", "monochrome"},
                                                         {"copies", "2"},
                                                         {"page-ranges", "2"},
                                                         {"print-scaling", "none"}}));

    spool.refusal = QStringLiteral("Not Found");
    EXPECT_EQ(cups.submit(job), QStringLiteral("The printer refused the job: Not Found"));
    spool.refusal.clear();
    EXPECT_EQ(spool.unfreed, 0);
}
