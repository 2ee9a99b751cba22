// Pasted element lists from arbitrary bytes: what the decoder accepts must encode and read back
// to the same bytes, and paste into an open design that still saves.
#include "editor/clipboard.h"
#include "editor/editor.h"
#include "model/file/documentio.h"
#include "model/testflags.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Holds one payload under our type, as another copy of the program would have left it.
class FuzzBoard : public LWPasteboard {
public:
    QByteArray payload;
    void write(const QList<std::pair<QString, QByteArray>> &, const std::optional<QString> &) override {}
    void clear() override {}
    QStringList types() const override { return {LWClipboard::pasteboardType}; }
    std::optional<QByteArray> data(const QString &type) const override
    {
        if (type == LWClipboard::pasteboardType)
            return payload;
        return std::nullopt;
    }
    std::optional<QString> text() const override { return std::nullopt; }
};

std::shared_ptr<FuzzBoard> board;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    static QCoreApplication *app = new QCoreApplication(qtArgc, qtArgv);
    (void)app;
    VELKTestFlags::running = true; // the editor writes no settings
    board = std::make_shared<FuzzBoard>();
    LWClipboard::setPasteboard(board);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto elements = LWDocumentIO::decodeElements(bytes);
    if (!elements) {
        if (elements.errorDescription().isEmpty())
            std::abort();
        return 0;
    }
    const auto once = LWDocumentIO::encodeElements(elements.value());
    if (!once) {
        std::fprintf(stderr, "decoded but cannot encode: %s\n", qPrintable(once.errorDescription()));
        std::abort();
    }
    const auto again = LWDocumentIO::decodeElements(once.value());
    const auto twice = again ? LWDocumentIO::encodeElements(again.value()) : once;
    if (!again || !twice || twice.value() != once.value())
        std::abort();

    board->payload = QByteArray(bytes);
    LWClipboard::elements.clear();
    LWEditor editor(LWDocument::blank(LWSizePreset::usCard, false, QStringLiteral("Fuzz")));
    editor.paste();
    if (!LWDocumentIO::encode(editor.doc())) {
        std::fprintf(stderr, "a pasted list made the design unsavable\n");
        std::abort();
    }
    return 0;
}
