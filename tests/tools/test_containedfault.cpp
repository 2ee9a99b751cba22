// The fuzz step's judge of a sanitizer report (tools/containedfault.sh) run on reports written to a
// temporary folder: only a fault wholly inside a decoder library the decode worker runs is
// contained; every fault of ours, or of another kind, fails the step.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

// The report libheif 1.15's over-read of an overlay layer made, its frames shortened.
const QByteArray report =
    R"(==1==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x62 at pc 0x55 bp 0x7f sp 0x7f
READ of size 64 at 0x62 thread T0
    #0 0x55 in __interceptor_memcpy (/b/fuzz_pictures+0x20f1f3) (BuildId: ef)
    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x61153) (BuildId: f9)
    #2 0x7f in heif_decode_image (/lib/x86_64-linux-gnu/libheif.so.1+0x3995d) (BuildId: f9)
    #3 0x55 in (anonymous namespace)::decodeOrThrow(QByteArray const&) /src/render/pictures/heif.cpp:142:9
    #4 0x55 in LLVMFuzzerTestOneInput /tests/fuzz/fuzz_pictures.cpp:183:5
    #5 0x55 in main (/b/fuzz_pictures+0x1f5062) (BuildId: ef)

0x62 is located 0 bytes to the right of 4111-byte region [0x62,0x62)
allocated by thread T0 here:
    #0 0x55 in operator new[](unsigned long) (/b/fuzz_pictures+0x2b2d2d) (BuildId: ef)
    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x5f6f2) (BuildId: f9)
    #2 0x400000003f  (<unknown module>)

SUMMARY: AddressSanitizer: heap-buffer-overflow (/b/fuzz_pictures+0x20f1f3) in __interceptor_memcpy
MS: 1 ChangeBinInt-; base unit: 5cc0
)";

// A use after free inside libheif as the fuzz step's run again reports it: the pixels freed in
// heif_image_release, which our code called, then copied by libheif for another call of ours
// (libheif is not instrumented: only the calls of it the sanitizer intercepts see freed memory).
const QByteArray released =
    R"(==1==ERROR: AddressSanitizer: heap-use-after-free on address 0x62 at pc 0x55 bp 0x7f sp 0x7f
READ of size 256 at 0x62 thread T0
    #0 0x55 in __interceptor_memcpy (/b/fuzz_pictures+0x2134b3) (BuildId: ef)
    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x1824a) (BuildId: f9)
    #2 0x7f in heif_context_read_from_memory (/lib/x86_64-linux-gnu/libheif.so.1+0x34985) (BuildId: f9)
    #3 0x55 in (anonymous namespace)::decodeOrThrow(QByteArray const&) /src/render/pictures/heif.cpp:154:15
    #4 0x55 in LLVMFuzzerTestOneInput /tests/fuzz/fuzz_pictures.cpp:183:5

0x62 is located 0 bytes inside of 16399-byte region [0x62,0x62)
freed by thread T0 here:
    #0 0x55 in operator delete[](void*) (/b/fuzz_pictures+0x2b783d) (BuildId: ef)
    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x6164d) (BuildId: f9)
    #2 0x7f in heif_image_release (/lib/x86_64-linux-gnu/libheif.so.1+0x382e7) (BuildId: f9)
    #3 0x55 in (anonymous namespace)::decodeOrThrow(QByteArray const&) /src/render/pictures/heif.cpp:152:9
    #4 0x55 in LLVMFuzzerTestOneInput /tests/fuzz/fuzz_pictures.cpp:183:5

previously allocated by thread T0 here:
    #0 0x55 in operator new[](unsigned long) (/b/fuzz_pictures+0x2b6fed) (BuildId: ef)
    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x5f6f2) (BuildId: f9)
    #2 0x400000003f  (<unknown module>)

SUMMARY: AddressSanitizer: heap-use-after-free (/b/fuzz_pictures+0x2134b3) in __interceptor_memcpy
)";

QByteArray with(const char *line, const char *instead)
{
    QByteArray text = report;
    const qsizetype at = text.indexOf(line);
    EXPECT_GE(at, 0) << line;
    return text.replace(at, qstrlen(line), instead);
}

} // namespace

TEST(ContainedFault, OnlyAFaultWhollyInsideAWorkersDecoderLibraryIsContained)
{
    const QString judge = QDir::cleanPath(qEnvironmentVariable("LW_TEST_DATA") +
                                          QStringLiteral("/../../tools/containedfault.sh"));
    const char *const accessFrame = "    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x61153) (BuildId: f9)";
    const char *const allocationFrame =
        "    #1 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x5f6f2) (BuildId: f9)";
    // What a run's fast unwinder loses of that free: it stops in the library or past it.
    const QByteArray freeCallers =
        "    #2 0x7f in heif_image_release (/lib/x86_64-linux-gnu/libheif.so.1+0x382e7) (BuildId: f9)\n"
        "    #3 0x55 in (anonymous namespace)::decodeOrThrow(QByteArray const&) "
        "/src/render/pictures/heif.cpp:152:9\n"
        "    #4 0x55 in LLVMFuzzerTestOneInput /tests/fuzz/fuzz_pictures.cpp:183:5\n";
    const struct {
        const char *name;
        QByteArray text;
        bool contained;
    } rows[] = {
        {"libheif reading past a buffer of its own", report, true},
        {"libde265 reading past a buffer of its own",
         QByteArray(report).replace("libheif.so.1", "libde265.so.0"), true},
        // The libraries take aligned buffers from posix_memalign, which clang 14 names plainly.
        {"libdav1d reading past an aligned buffer of its own",
         with("    #0 0x55 in operator new[](unsigned long)", "    #0 0x55 in posix_memalign")
             .replace("libheif.so.1", "libdav1d.so.6"),
         true},
        {"libde265 reading past a buffer from aligned_alloc",
         with("    #0 0x55 in operator new[](unsigned long)", "    #0 0x55 in aligned_alloc")
             .replace("libheif.so.1", "libde265.so.0"),
         true},
        {"libheif reading past a copy strdup made for it",
         with("    #0 0x55 in operator new[](unsigned long)", "    #0 0x55 in strdup"), true},
        {"libheif reading past an aligned buffer we made",
         with(allocationFrame, "    #1 0x55 in LWHeif::planes() /src/render/pictures/heif.cpp:90:3")
             .replace("operator new[](unsigned long)", "posix_memalign"),
         false},
        {"our code reading past a buffer libheif made",
         with(accessFrame,
              "    #1 0x55 in LWHeif::decode(QByteArray const&) /src/render/pictures/heif.cpp:150:3"),
         false},
        {"libheif reading past a buffer we made",
         with(allocationFrame, "    #1 0x55 in LWHeif::planes() /src/render/pictures/heif.cpp:90:3"), false},
        {"libheif entered again from our callback",
         with("    #4 0x55 in LLVMFuzzerTestOneInput",
              "    #4 0x7f  (/lib/x86_64-linux-gnu/libheif.so.1+0x1) in"),
         false},
        {"our code using an image it had libheif release, through another libheif call", released, false},
        {"libheif using memory it freed itself while decoding",
         QByteArray(released).replace("heif_image_release", "heif_decode_image"), true},
        {"libde265 using memory our code had it free",
         QByteArray(released)
             .replace("libheif.so.1", "libde265.so.0")
             .replace("heif_image_release", "de265_release_next_picture"),
         false},
        {"that use after free as a run reports it, the free's stack stopping inside libheif",
         QByteArray(released).replace(freeCallers, ""), false},
        {"that use after free, the free's stack lost past libheif",
         QByteArray(released).replace(freeCallers, "    #2 0x400000003f  (<unknown module>)\n"), false},
        {"a library the worker does not run", QByteArray(report).replace("libheif.so.1", "libQt6Gui.so.6"),
         false},
        {"a segmentation fault inside libheif",
         with("heap-buffer-overflow on address", "SEGV on unknown address"), false},
        {"a leak reported beside it", report + "==1==ERROR: LeakSanitizer: detected memory leaks\n", false},
        {"no report at all", "==1== ERROR: libFuzzer: timeout after 10 seconds\n", false},
    };
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile log(QDir(dir.path()).filePath(QStringLiteral("log")));
        ASSERT_TRUE(log.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    log.write(row.text) == row.text.size());
        log.close();
        QProcess run;
        run.start(QStringLiteral("bash"), {judge, log.fileName()});
        ASSERT_TRUE(run.waitForFinished(30000)) << "the judge did not end within 30 s";
        EXPECT_EQ(run.exitCode(), row.contained ? 0 : 1) << run.readAllStandardError().toStdString();
    }
}
