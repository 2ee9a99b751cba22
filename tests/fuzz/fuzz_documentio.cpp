// Reading design files from arbitrary bytes: decode must give a document or an IOError, and
// whatever it accepts must save and read back to the same bytes.
#include "model/file/documentio.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto doc = LWDocumentIO::decode(bytes);
    if (!doc) {
        if (!doc.ioError() || doc.errorDescription().isEmpty())
            std::abort();
        return 0;
    }
    // The first save may normalise (unknown keys, number spelling, broken surrogates); after
    // that the file is stable.
    const auto once = LWDocumentIO::encode(doc.value());
    if (!once) {
        std::fprintf(stderr, "decoded but cannot encode: %s\n", qPrintable(once.errorDescription()));
        std::abort();
    }
    const auto again = LWDocumentIO::decode(once.value());
    if (!again) {
        std::fprintf(stderr, "own file does not decode: %s\n", qPrintable(again.errorDescription()));
        std::abort();
    }
    const auto twice = LWDocumentIO::encode(again.value());
    if (!twice || twice.value() != once.value())
        std::abort();
    return 0;
}
