// The font family picker: opening it (the lists built and the first screen of rows painted) and
// one typed letter, with the real registry and with 5,000 more installed families.
#include "kit/controls/searchfield.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "ui/inspector/sections/fontfamilypicker.h"
#include "ui/inspector/sections/fontsource.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>


namespace {

// The real registry with `extra` made-up installed families, drawn in the fallback face.
class ManyFamilies final : public LWFontSource {
public:
    explicit ManyFamilies(int extra)
    {
        for (int i = 0; i < extra; ++i)
            more_ << QStringLiteral("Family %1").arg(i, 5, 10, QLatin1Char('0'));
    }
    QStringList bundledFamilies() override { return real().bundledFamilies(); }
    QStringList families() override { return real().families() + more_; }
    QList<QPair<QString, QString>> members(const QString &f) override { return real().members(f); }
    QString familyName(const QString &n) override { return real().familyName(n); }
    QFont font(const QString &n, double size) override { return real().font(n, size); }
    bool has(const QString &n, unsigned trait) override { return real().has(n, trait); }
    QString toggled(const QString &n, unsigned trait) override { return real().toggled(n, trait); }

private:
    static LWFontSource &real() { return LWFontSource::system(); }
    QStringList more_;
};

void open(benchmark::State &state, LWFontSource &fonts, bool type)
{
    for (auto _ : state) {
        FontFamilyPicker picker(fonts, QStringLiteral("Arvo"));
        picker.show();
        benchmark::DoNotOptimize(picker.grab());
        if (type) {
            picker.searchField()->lineEdit()->setText(QStringLiteral("a"));
            benchmark::DoNotOptimize(picker.grab());
        }
    }
}

void BM_FontPickerOpen(benchmark::State &state)
{
    ManyFamilies fonts(int(state.range(0)));
    open(state, fonts, false);
}
BENCHMARK(BM_FontPickerOpen)->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_FontPickerOpenAndType(benchmark::State &state)
{
    ManyFamilies fonts(int(state.range(0)));
    open(state, fonts, true);
}
BENCHMARK(BM_FontPickerOpenAndType)->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    LWFonts::registerBundled();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
