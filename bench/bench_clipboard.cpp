#include "editor/clipboard.h"
#include "editor/editor.h"
#include "model/file/prefs.h"
#include "twophotos.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

// Holds what it is given, as another process's clipboard would.
class MemoryPasteboard : public LWPasteboard {
public:
    void write(const QList<std::pair<QString, QByteArray>> &items, const std::optional<QString> &string) override
    {
        data_.clear();
        for (const auto &[type, bytes] : items)
            data_[type] = bytes;
        text_ = string;
    }
    void clear() override { data_.clear(); }
    QStringList types() const override
    {
        QStringList out;
        for (const auto &entry : data_)
            out.append(entry.first);
        return out;
    }
    std::optional<QByteArray> data(const QString &type) const override
    {
        const auto it = data_.find(type);
        return it == data_.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<QString> text() const override { return text_; }

private:
    std::map<QString, QByteArray> data_;
    std::optional<QString> text_;
};

// Arg 0: an in-memory pasteboard; 1: the system clipboard (offscreen here).
void usePasteboard(const benchmark::State &state)
{
    static QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    LWClipboard::setPasteboard(state.range(0) ? LWClipboard::makeSystemPasteboard()
                                              : std::make_shared<MemoryPasteboard>());
}

// A Letter flyer holding one 20 MB picture (random bytes: base64 cannot shrink them), selected.
std::unique_ptr<LWEditor> pictureEditor()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    LWElement photo = LWElement::makePhoto(LWRect(36, 36, 540, 360));
    QByteArray bytes(20 * 1000 * 1000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    photo.image->data = bytes;
    doc.pages[0].elements.append(photo);
    auto ed = std::make_unique<LWEditor>(doc);
    ed->setSelection({photo.id});
    return ed;
}

} // namespace

static void BM_CopyPicture20MB(benchmark::State &state)
{
    usePasteboard(state);
    auto ed = pictureEditor();
    for (auto _ : state)
        ed->copy();
}
BENCHMARK(BM_CopyPicture20MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_PastePicture20MB(benchmark::State &state)
{
    usePasteboard(state);
    auto ed = pictureEditor();
    ed->copy();
    for (auto _ : state) {
        ed->paste();
        state.PauseTiming();
        ed->undo(); // keep the page at one picture
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PastePicture20MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Both photos of the two-photo flyer copied and pasted back, through either pasteboard.
static void BM_CopyPasteTwoPhotos(benchmark::State &state)
{
    usePasteboard(state);
    const LWDocument doc = LWBenchPhotos::twoPhotoFlyer();
    LWEditor ed(doc);
    ed.setSelection({doc.pages[0].elements[0].id, doc.pages[0].elements[1].id});
    for (auto _ : state) {
        ed.copy();
        ed.paste();
        state.PauseTiming();
        ed.undo(); // keep the page at two pictures
        ed.setSelection({doc.pages[0].elements[0].id, doc.pages[0].elements[1].id});
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CopyPasteTwoPhotos)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
