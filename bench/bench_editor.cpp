#include "editor/editor.h"
#include "model/file/prefs.h"
#include "render/text/textlayout.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>

namespace {

// Editors here must not read or write the user's settings.
void useScratchSettings()
{
    static QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
}

// Heap in use: small blocks plus mmapped ones (where a 20 MB buffer lands).
double heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd);
}

// A Letter flyer with a 20 MB picture and a few shapes.
LWDocument pictureDesign()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    LWElement photo = LWElement::makePhoto(LWRect(36, 36, 540, 360));
    photo.image->data = QByteArray(20 * 1024 * 1024, '\x5a');
    doc.pages[0].elements.append(photo);
    for (int i = 0; i < 20; ++i)
        doc.pages[0].elements.append(LWElement::makeShape(LWShapeKind::rectangle, LWRect(20 + i, 420, 50, 50),
                                                          LWFill::solid(LWColor::black), std::nullopt));
    return doc;
}

void step(LWEditor &ed, int i)
{
    ed.change(QStringLiteral("Move"), std::nullopt, [i](LWDocument &d) { d.pages[0].elements[i % 2 ? 0 : 1].offset(1, 0); });
}

} // namespace

static void BM_ChangeOnPictureDesign(benchmark::State &state)
{
    useScratchSettings();
    LWEditor ed(pictureDesign());
    int i = 0;
    for (auto _ : state)
        step(ed, ++i);
}
BENCHMARK(BM_ChangeOnPictureDesign)->Unit(benchmark::kMicrosecond);

// Heap of the design alone against the design with a full history of 300 steps.
static void BM_HistoryHeap(benchmark::State &state)
{
    useScratchSettings();
    for (auto _ : state) {
        const double base = heapBytes();
        auto ed = std::make_unique<LWEditor>(pictureDesign());
        const double one = heapBytes() - base;
        for (int i = 0; i < 300; ++i)
            step(*ed, i);
        const double full = heapBytes() - base;
        state.counters["oneCopyMB"] = one / 1e6;
        state.counters["with300MB"] = full / 1e6;
        state.counters["ratio"] = full / one;
    }
}
BENCHMARK(BM_HistoryHeap)->Iterations(1)->Unit(benchmark::kMillisecond);

// One keystroke into a 300-character box on a Letter page with 40 other text boxes, inside the
// typing's coalescing window (a frozen clock), as in-place editing sends it.
static void BM_SetTextKeystroke(benchmark::State &state)
{
    useScratchSettings();
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    for (int i = 0; i < 40; ++i) {
        const LWText t(QStringLiteral("Caption %1").arg(i), QStringLiteral("AvenirNext-Regular"), 12, LWColor::black);
        doc.pages[0].elements.append(LWElement::makeText(t, LWRect(36, 36 + 18 * i, 200, 16)));
    }
    QString body = QStringLiteral(
        "Fresh bread, local honey, handmade soap and seasonal vegetables from farms within twenty miles. "
        "Live music from noon, a children's corner with face painting, and warm cider by the fountain. "
        "Bring a bag, bring a friend, and stay for the raffle at four: every ticket helps the library fund.");
    body.truncate(300);
    const LWText t(body, QStringLiteral("AvenirNext-Medium"), 12, LWColor::black, 0, 1.05);
    const LWElement box = LWElement::makeText(t, LWRect(250, 100, 300, LWTextLayout::height(t, 300)));
    doc.pages[0].elements.append(box);

    const auto frozen = std::chrono::steady_clock::now();
    LWEditor ed(doc, std::nullopt, LWEditorClock{[frozen] { return frozen; }, [] { return QDateTime::currentDateTimeUtc(); }});
    ed.setText(box.id, body); // opens the window
    int i = 0;
    for (auto _ : state)
        ed.setText(box.id, body.left(299) + QChar(u'a' + (++i % 26)));
    state.counters["steps"] = double(ed.undoStack().size());
}
BENCHMARK(BM_SetTextKeystroke)->Unit(benchmark::kMicrosecond);
