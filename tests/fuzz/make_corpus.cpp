// Writes the fuzzer's seed corpus: design files as the program saves them, plus a few
// near-misses of the read-side checks. Usage: fuzz_make_corpus <folder>
#include "fuzz/sample_documents.h"
#include "model/file/documentio.h"

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    auto put = [&](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            std::exit(1);
    };
    auto file = [](const LWDocument &d) { return LWDocumentIO::encode(d).value(); };

    put("blank-us-card.velkfolio", file(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
    put("blank-eu-card-landscape.velkfolio", file(LWDocument::blank(LWSizePreset::euCard, true)));
    LWDocument flyer = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Spring Sale"));
    flyer.templateID = QStringLiteral("flyers/sale");
    put("letter-flyer-template.velkfolio", file(flyer));
    put("rich-card.velkfolio", file(LWSamples::rich(600)));
    put("nested-groups.velkfolio", file(LWSamples::nested(6)));

    const QByteArray tag = "\"format\":\"VELK Leafwrighter design\"";
    put("newer-version.json", "{" + tag + ",\"version\":2}");
    put("tag-only.json", "{" + tag + ",\"version\":1}");
    QByteArray v0 = file(LWSamples::rich(8));
    v0.replace("\"version\":1", "\"version\":0");
    put("version-0.velkfolio", v0);
    return 0;
}
