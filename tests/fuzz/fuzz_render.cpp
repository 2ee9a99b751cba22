// Whatever decode accepts must draw, export and check without crashing or hanging.
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/preflight.h"
#include "render/renderer.h"
#include "render/sheet.h"

#include "guiapp.h"

#include <cstdint>

// fontconfig keeps its caches to the end of the process.
extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    startGuiApplication(*argv); // fonts and painting need one
    LWFonts::registerBundled();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024) // big inputs measure speed, not robustness
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto doc = LWDocumentIO::decode(bytes);
    if (!doc)
        return 0;
    const LWDocument &d = doc.value();
    QList<int> pages;
    for (int i = 0; i < int(d.pages.size()); ++i) {
        (void)LWRenderer::bitmap(d, i, 0.25, true);
        pages.append(i);
    }
    (void)LWExport::pdfData(d, pages, true);
    (void)LWExport::sheetPDF(d, pages);
    (void)LWExport::preflight(d);
    return 0;
}
