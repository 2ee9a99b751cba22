// Hostile picture bytes inside a design file: the export and the print check end at once with
// the picture's placeholder or its own pixels, read no other file, and stay within the decode
// limit; many large pictures decoding at once share that limit.
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/imageproperties.h"
#include "render/preflight.h"
#include "render/renderer.h"
#include "render/worker/decodeworkers.h"
#include "render/worker/sanitizers.h"

#include "render/pdfprobe.h"
#include "support/hostilepictures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QUrl>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <malloc.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace LWHostilePictures;

namespace {

constexpr bool sanitized = LWSanitizers::address;

// The sanitizers' builds run several times slower.
constexpr qint64 fewSecondsMs = sanitized ? 20000 : 5000;

// The CPU this process's threads used since it was made: what a picture costs the program, which
// a loaded machine does not stretch as it does the wall clock (a worker's is bounded by its limit).
class CpuSpent {
public:
    CpuSpent() : from_(now()) {}
    qint64 ms() const { return now() - from_; }

private:
    static qint64 now()
    {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
    }
    qint64 from_;
};
constexpr qint64 decodeLimit = qint64(LWImageCache::allocationLimitMB) << 20;
constexpr qint64 refusedLimit = qint64(100) << 20;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// The most memory the process held above its start while it lived, sampled every millisecond.
class PeakMemory {
public:
    PeakMemory()
        : m_base(residentBytes()), m_thread([this] {
              while (!m_stop) {
                  m_peak = std::max<qint64>(m_peak, residentBytes());
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          })
    {
    }
    ~PeakMemory() { stop(); }
    qint64 growth()
    {
        stop();
        return std::max<qint64>(0, m_peak - m_base);
    }

private:
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    qint64 m_base;
    std::atomic<qint64> m_peak{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The program's standard input as a pipe nobody writes to: a read of /dev/stdin never ends.
class SilentStdin {
public:
    SilentStdin()
    {
        EXPECT_EQ(pipe(m_pipe), 0);
        m_saved = dup(0);
        dup2(m_pipe[0], 0);
    }
    ~SilentStdin()
    {
        dup2(m_saved, 0);
        for (const int fd : {m_saved, m_pipe[0], m_pipe[1]})
            close(fd);
    }

private:
    int m_pipe[2] = {-1, -1};
    int m_saved = -1;
};

// The names of the files opened in a folder since the watch began.
class OpenWatch {
public:
    explicit OpenWatch(const QString &dir) : m_fd(inotify_init1(IN_NONBLOCK))
    {
        EXPECT_GE(m_fd, 0);
        EXPECT_GE(inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), IN_OPEN | IN_ACCESS), 0);
    }
    ~OpenWatch() { close(m_fd); }
    QStringList opened() const
    {
        QStringList names;
        alignas(inotify_event) char buf[4096];
        for (ssize_t n; (n = read(m_fd, buf, sizeof buf)) > 0;)
            for (char *p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
                if (const auto *e = reinterpret_cast<inotify_event *>(p); e->len > 0)
                    names.append(QString::fromLocal8Bit(e->name));
        names.removeDuplicates();
        return names;
    }

private:
    int m_fd;
};

// What the user gets of a design: its PNG export (read back from the file), its print PDF
// drawn, and its print check.
struct Outputs {
    QImage view; // the page view, drawn with preview pictures
    QImage png;
    QImage pdf;
    QList<LWExport::Issue> issues;
    qint64 answers = 0, handed = 0; // the workers' answers and the picture bytes handed to them
};

// The findings with a picture refused as too large taken as one that cannot be read: both
// print as the placeholder.
QList<LWExport::Issue> asPlaceholder(QList<LWExport::Issue> issues)
{
    for (LWExport::Issue &i : issues)
        i.message.replace(QStringLiteral(" is too large to draw,"), QStringLiteral(" can't be read,"))
            .replace(QStringLiteral("Place a smaller copy of it."), QStringLiteral("Place the picture again."));
    return issues;
}

class HostilePictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        LWFonts::registerBundled();
        ASSERT_TRUE(dir.isValid());
        photo.image->assetID = QStringLiteral("hostile");
    }

    // A card holding the picture, saved as a design file and opened again.
    LWDocument design(const QByteArray &bytes, const QString &name)
    {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement e = photo;
        e.image->data = bytes;
        e.image->assetID = name; // new bytes, new id
        doc.pages[0].elements = {e};
        const QUrl url = QUrl::fromLocalFile(outDir.filePath(QStringLiteral("card.velkfolio")));
        const auto saved = LWDocumentIO::save(doc, url);
        EXPECT_TRUE(saved.ok()) << (saved.ok() ? std::string() : std::get_if<LWDocumentIO::SystemError>(&saved.error()) ? std::get_if<LWDocumentIO::SystemError>(&saved.error())->description.toStdString() : "io");
        auto opened = LWDocumentIO::open(url);
        EXPECT_TRUE(opened.ok());
        return opened.ok() ? std::move(opened).value() : doc;
    }

    Outputs outputs(const LWDocument &doc)
    {
        const LWDecodeWorkers::Stats before = LWDecodeWorkers::stats();
        Outputs out;
        out.view = QImage(350, 200, QImage::Format_ARGB32_Premultiplied);
        out.view.fill(Qt::white);
        {
            QPainter p(&out.view);
            p.scale(out.view.width() / LWSizePreset::usCard.width, out.view.width() / LWSizePreset::usCard.width);
            LWRenderOptions preview;
            preview.preview = true;
            LWRenderer::draw(doc.pages[0], doc, p, preview);
        }
        const QString png = outDir.filePath(QStringLiteral("card.png"));
        EXPECT_EQ(LWExport::writeRaster(doc, 0, 150, false, LWExport::RasterType::png, 0.92, png), QString());
        out.png = QImage(png);
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, true);
        EXPECT_TRUE(pdf);
        if (pdf)
            out.pdf = pdfprobe::qtpdf(*pdf, 0, QSize(350, 212));
        out.issues = LWExport::preflight(doc);
        out.answers = LWDecodeWorkers::stats().decodes - before.decodes;
        out.handed = LWDecodeWorkers::stats().handed - before.handed;
        return out;
    }

    // The outputs are the case's: the placeholder's, those of the same picture in clean bytes,
    // or its own pixels, which are never one grey.
    void expectOutcome(const Case &c, const Outputs &got, const Outputs &placeholder)
    {
        if (c.answers >= 0) {
            EXPECT_EQ(got.answers, c.answers);
        }
        switch (c.outcome) {
        case Outcome::placeholder:
        case Outcome::refused:
            EXPECT_TRUE(got.view == placeholder.view);
            EXPECT_TRUE(got.png == placeholder.png);
            EXPECT_TRUE(got.pdf == placeholder.pdf);
            EXPECT_EQ(asPlaceholder(got.issues), placeholder.issues);
            break;
        case Outcome::pixelsOf: {
            const Outputs same = outputs(design(c.same, c.name + QStringLiteral(" clean")));
            EXPECT_TRUE(got.view == same.view);
            EXPECT_TRUE(got.png == same.png);
            EXPECT_TRUE(got.pdf == same.pdf);
            EXPECT_EQ(got.issues, same.issues);
            EXPECT_FALSE(got.png == placeholder.png);
            // The decoders are handed what the clean picture hands them: its cost, no more.
            EXPECT_EQ(got.answers, same.answers);
            EXPECT_EQ(got.handed, same.handed);
            break;
        }
        case Outcome::ownPixels:
            EXPECT_FALSE(got.png == placeholder.png);
            EXPECT_FALSE(got.pdf == placeholder.pdf);
            EXPECT_GT(contrast(got.png, frame(got.png)), 40);
            break;
        case Outcome::either:
            break;
        }
    }

    // The picture's frame in an output of the card.
    QRect frame(const QImage &img) const
    {
        const double k = img.width() / LWSizePreset::usCard.width;
        const LWRect &r = photo.frame;
        return QRectF(r.x * k, r.y * k, r.w * k, r.h * k).adjusted(4, 4, -4, -4).toRect();
    }

    // The largest difference of a colour channel between two pixels of the part.
    static int contrast(const QImage &img, const QRect &part)
    {
        int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x) {
                const QRgb c = img.pixel(x, y);
                const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
                for (int i = 0; i < 3; ++i) {
                    low[i] = std::min(low[i], v[i]);
                    high[i] = std::max(high[i], v[i]);
                }
            }
        return std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2], 0});
    }

    QTemporaryDir dir; // the files the pictures name
    QTemporaryDir outDir;
    LWElement photo = LWElement::makePhoto({20, 20, 160, 110});
};


bool anySecret(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (isSecret(img.pixel(x, y)))
                return true;
    return false;
}

} // namespace

TEST_F(HostilePictures, DesignsExportAndCheckAtOnceReadingNothingElse)
{
    const QList<Case> cases = hostileCases(QDir(dir.path()));
    const Outputs placeholder = outputs(design("not a picture", QStringLiteral("junk")));
    ASSERT_FALSE(placeholder.png.isNull());
    ASSERT_FALSE(placeholder.pdf.isNull());

    const QString workingFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const SilentStdin stdinGuard;
    const OpenWatch watch(dir.path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const LWDocument doc = design(c.bytes, c.name);
        PeakMemory memory;
        const CpuSpent spent;
        const Outputs got = outputs(doc);
        EXPECT_LT(spent.ms(), fewSecondsMs);
        // A refused picture is refused before its pixels exist.
        const qint64 bound = c.outcome == Outcome::placeholder ? refusedLimit : decodeLimit;
        if (!sanitized) { // the sanitizers keep freed memory a while
            EXPECT_LT(memory.growth(), bound) << memory.growth() / (1 << 20) << " MB";
        }
        EXPECT_FALSE(anySecret(got.png));
        EXPECT_FALSE(anySecret(got.pdf));
        expectOutcome(c, got, placeholder);
    }
    EXPECT_EQ(watch.opened(), QStringList()); // neither the secret picture nor the FIFO
    ASSERT_TRUE(QDir::setCurrent(workingFolder));
}

// The crafted pictures, made once for the test program.
const QList<Case> &costly()
{
    static const QList<Case> cases = costlyCases();
    return cases;
}

const QList<Case> &unbounded()
{
    static const QList<Case> cases = unboundedCases() + costly();
    return cases;
}

TEST_F(HostilePictures, UnboundedPicturesEndAsThePlaceholderOrTheirOwnPixelsWithinTheirReservation)
{
    // The table's 16 MB blocks and 144-MP pictures are made in memory: start from what they take.
    const QList<Case> &cases = unbounded();
    const Outputs placeholder = outputs(design("not a picture", QStringLiteral("junk")));
    (void)mallopt(M_MMAP_THRESHOLD, 64 * 1024); // freed buffers leave; the sanitizers ignore it
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const LWDocument doc = design(c.bytes, c.name);
        LWDecodeBudget::resetPeak();
        const qint64 asked = LWDecodeWorkers::stats().decodes;
        PeakMemory memory;
        const CpuSpent spent;
        const Outputs got = outputs(doc);
        const qint64 growth = memory.growth();
        // A costly picture costs what a real one of its size does: far below seconds.
        if (std::any_of(costly().cbegin(), costly().cend(), [&](const Case &k) { return k.name == c.name; })) {
            EXPECT_LT(spent.ms(), fewSecondsMs);
        }
        // What a decode reserved, and a little for the export's own pages and files.
        const qint64 bound = std::max(refusedLimit, LWDecodeBudget::peak() + (qint64(64) << 20));
        if (!sanitized) {
            EXPECT_LT(growth, bound) << growth / (1 << 20) << " MB";
        }
        expectOutcome(c, got, placeholder);
        if (c.outcome == Outcome::refused) { // no third-party reader ever saw it
            EXPECT_EQ(LWDecodeWorkers::stats().decodes, asked);
        }
    }
}

TEST_F(HostilePictures, FourCostlyPicturesOnACardCostAFewTimesOne)
{
    const QList<Case> &costly = ::costly();
    LWDocument doc = design(costly[0].bytes, costly[0].name);
    const LWElement first = doc.pages[0].elements[0];
    qint64 bytes = 0;
    for (int i = 0; i < 4; ++i) {
        LWElement e = first;
        e.id = QUuid::createUuid();
        e.image->data = costly[i].bytes;
        e.image->assetID = costly[i].name;
        e.frame = {10 + 60.0 * (i % 2), 10 + 60.0 * (i / 2), 50, 50};
        bytes += costly[i].bytes.size();
        doc.pages[0].elements.append(e);
    }
    doc.pages[0].elements.removeFirst();
    PeakMemory memory;
    const Outputs got = outputs(doc);
    const qint64 growth = memory.growth();
    EXPECT_FALSE(got.png.isNull());
    EXPECT_FALSE(got.view.isNull());
    if (!sanitized) {
        EXPECT_LT(growth, 4 * refusedLimit + 2 * bytes) << growth / (1 << 20) << " MB";
    }
}

// Pictures an export cannot hold at its size, under a budget lowered to their scale: the export
// is written with the placeholder in the picture's place and names it, and the print check at
// that resolution named it before. A cropped picture it holds a few rows at a time is drawn on
// the small page of a card at every resolution, named by neither.
TEST_F(HostilePictures, PicturesPastTheExportsShareArePlaceholdersNamedBeforeAndAfter)
{
    using namespace LWHeifCraft;
    const Layout grid{Layout::grid, {64, 64}, 25, 19, 1, {1216, 1600}};
    const QByteArray heicGrid = craft(codedOf(heic(twoTone(64, 64))), grid);
    const QByteArray avifGrid = craft(codedOf(heic(twoTone(64, 64), heif_orientation_normal, 8, heif_compression_AV1)), grid);
    // In a turned frame one row of the page crosses many of the picture's: the last row's limit
    // lies between what one and 16 rows of the page ask of it, within a few rows of the picture
    // of the run that asks the most (whose foot passes a corner of the frame).
    const struct {
        const char *name;
        QByteArray bytes;
        qint64 limitKB;
        bool drawn;
        double turn = 0;
        int dpi = 0; // 0: at each of 150, 200 and 250 DPI
    } rows[] = {
        {"TIFF of 3 MP, cropped", encode(twoTone(2000, 1500), "tiff"), 36 << 10, true},
        {"HEIC grid of 2 MP, a few rows at a time", heicGrid, 20 << 10, true},
        {"AVIF grid of 2 MP, a few rows at a time", avifGrid, 20 << 10, true},
        {"GIF on a screen of 2 MP", gifOnScreen(1600, 1200), 16 << 10, false},
        {"TIFF claiming 2 MP", tiffClaiming(1600, 1200), 16 << 10, false},
        {"HEIC grid of 2 MP", heicGrid, 16 << 10, false},
        {"AVIF grid of 2 MP", avifGrid, 16 << 10, false},
        {"JPEG of 24 MP turned 3 degrees, one row at a time but not 16",
         encode(twoTone(6000, 4000), "jpeg", 90), 2557, false, 3, 250},
    };
    const qint64 old = LWDecodeBudget::limit();
    const auto restore = qScopeGuard([old] { LWDecodeBudget::setLimit(old); });
    const QString png = outDir.filePath(QStringLiteral("card.png"));
    QMap<std::pair<int, double>, QImage> art; // the card with the placeholder, by resolution and turn
    const auto placeholderArt = [&](int dpi, double turn) {
        QImage &made = art[{dpi, turn}];
        if (made.isNull()) {
            LWDocument junk = design("not a picture", QStringLiteral("junk"));
            junk.pages[0].elements[0].rotation = turn;
            const QString why =
                LWExport::writeRaster(junk, 0, dpi, false, LWExport::RasterType::png, 0.92, png);
            EXPECT_EQ(why, QString());
            made = QImage(png);
        }
        return made;
    };
    for (const auto &row : rows)
        for (const int dpi : {150, 200, 250}) {
            if (row.dpi && dpi != row.dpi)
                continue;
            SCOPED_TRACE(testing::Message() << row.name << " at " << dpi << " DPI");
            const QImage placeholder = placeholderArt(dpi, row.turn);
            LWDecodeBudget::setLimit(row.limitKB << 10);
            LWDocument doc = design(row.bytes, QString::fromLatin1(row.name));
            doc.pages[0].elements[0].rotation = row.turn;
            LWImage &picture = *doc.pages[0].elements[0].image;
            picture.cropL = picture.cropT = picture.cropR = picture.cropB = 0.2;
            const QList<LWExport::Issue> issues = LWExport::preflight(doc, LWExport::RasterPlan{double(dpi), false});
            QList<LWPictureTally::Undrawn> undrawn;
            LWExport::RasterWriteHooks hooks;
            hooks.undrawn = &undrawn;
            ASSERT_EQ(LWExport::writeRaster(doc, 0, dpi, false, LWExport::RasterType::png, 0.92, png, hooks), QString());
            EXPECT_EQ(undrawn.size(), row.drawn ? 0 : 1);
            EXPECT_EQ(std::count_if(issues.cbegin(), issues.cend(), [](const LWExport::Issue &i) {
                          return i.level == LWExport::Issue::Level::problem && i.message.contains(u"placeholder");
                      }),
                      row.drawn ? 0 : 1);
            EXPECT_EQ(QImage(png) == placeholder, !row.drawn);
        }
}

TEST_F(HostilePictures, DecodesInFlightShareTheDecodeLimit)
{
    // Sixteen pictures of 36 MB decoded, all at once, against a limit of two and a half of what
    // one reserves: never more than two decoding at a time, and every one decoded in the end. A
    // progressive JPEG keeps every coefficient besides the image, so an estimate too low shows
    // as more decodes in flight than memory allows.
    constexpr int side = 3000;
    const struct {
        const char *name;
        QByteArray (*make)(const QImage &);
    } formats[] = {
        {"PNG", [](const QImage &i) { return encode(i, "png"); }},
        {"progressive JPEG",
         [](const QImage &i) { return encode(i, "jpeg", 90, QImageIOHandler::TransformationNone, true); }},
    };
    // Every large buffer mapped afresh and unmapped when freed: what decoders free is not kept
    // by the threads' malloc arenas to look like memory in use.
    (void)mallopt(M_MMAP_THRESHOLD, 64 * 1024); // the sanitizers' allocator ignores it
    const LWImageCache::Budget oldBudget = LWImageCache::setBudget({0, 0});
    for (const auto &f : formats) {
        SCOPED_TRACE(f.name);
        QList<LWImage> pics;
        for (int i = 0; i < 16; ++i) {
            LWImage pic = LWImage::empty();
            pic.data = f.make(plain(side, side, QColor::fromHsv(i * 22, 200, 200)));
            pics.append(pic);
        }
        LWDecodeBudget::resetPeak();
        ASSERT_TRUE(LWImageCache::image(pics[0], false));
        const qint64 each = LWDecodeBudget::peak();
        ASSERT_GE(each, qint64(side) * side * 4);
        const qint64 oldLimit = LWDecodeBudget::setLimit(each * 5 / 2);
        std::atomic<int> decoded{0};
        PeakMemory memory;
        {
            std::vector<std::thread> threads;
            for (const LWImage &pic : std::as_const(pics))
                threads.emplace_back([&] {
                    if (const auto img = LWImageCache::image(pic, false); img && img->size() == QSize(side, side))
                        ++decoded;
                });
            for (auto &t : threads)
                t.join();
        }
        const qint64 growth = memory.growth();
        LWDecodeBudget::setLimit(oldLimit);
        EXPECT_EQ(decoded, 16);
        if (!sanitized) {
            // Two in flight and the one the table keeps, with room for results still held; all at
            // once would take sixteen.
            EXPECT_LT(growth, 6 * each) << growth / (1 << 20) << " MB";
        }

        // One decode alone over the limit is refused at once, not waited for (nothing kept of it).
        (void)LWImageCache::setBudget({0, 0});
        LWDecodeBudget::setLimit(each / 2);
        LWImage big = LWImage::empty();
        big.data = pics[0].data;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(LWImageCache::image(big, false));
        EXPECT_LT(timer.elapsed(), fewSecondsMs);
        LWDecodeBudget::setLimit(oldLimit);
    }
    LWImageCache::setBudget(oldBudget);
}

TEST_F(HostilePictures, OnlyWorkersReadAPicturesHeader)
{
    // Without a worker to ask, no format's header is read in the program but a WebP's, whose size
    // our own reader takes; with one, each is.
    const QImage image = twoTone(62, 46);
    const struct {
        const char *name;
        QByteArray bytes;
    } formats[] = {
        {"JPEG", encode(image, "jpeg", 90)}, {"PNG", encode(image, "png")},   {"HEIC", heic(image)},
        {"TIFF", encode(image, "tiff")},     {"GIF", twoToneGif(62, 46)},     {"BMP", encode(image, "bmp")},
        {"WebP", encode(image, "webp")},
    };
    LWDecodeWorkers::setForTests(dir.filePath(QStringLiteral("no-worker")), 0, 0);
    for (const auto &f : formats)
        EXPECT_EQ(LWImageProperties::read(f.bytes).has_value(), QByteArray(f.name) == "WebP") << f.name;
    LWDecodeWorkers::setForTests({}, 0, 0);
    for (const auto &f : formats) {
        const std::optional<LWImageProperties> p = LWImageProperties::read(f.bytes);
        EXPECT_TRUE(p && p->width == 62 && p->height == 46) << f.name;
    }
}
