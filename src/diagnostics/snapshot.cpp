#include "diagnostics/snapshot.h"

#include "model/file/fileaccess.h"
#include "model/testflags.h"
#include "render/export.h"

#include <QDir>
#include <QFileInfo>
#include <iterator>

namespace LWSnapshot
{

namespace
{

struct Option {
    const char *name;
    Request::Mode mode;
};
// Tried in this order; the first with a value is the only one carried out.
constexpr Option options[] = {
    {"--lw-contact-sheets", Request::Mode::contactSheets},
    {"--lw-contact-sheet", Request::Mode::contactSheet},
    {"--lw-snapshot", Request::Mode::snapshot},
};

// The argument after the first one equal to `name`, or none when it is absent or last.
std::optional<QString> valueOf(const QStringList &args, const QString &name)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0 || at + 1 >= args.size())
        return std::nullopt;
    return args.at(at + 1);
}

} // namespace

std::optional<Request> request(const QStringList &args)
{
    for (const Option &option : options) {
        if (const std::optional<QString> value = valueOf(args, QString::fromLatin1(option.name))) {
            Request r;
            r.mode = option.mode;
            r.path = *value;
            if (r.mode == Request::Mode::snapshot)
                r.only = valueOf(args, QStringLiteral("--only"));
            return r;
        }
    }
    return std::nullopt;
}

std::optional<int> handle(const QStringList &args, const LWReportSink &out, const SnapshotWriters &writers)
{
    const std::optional<Request> r = request(args);
    if (!r)
        return std::nullopt;
    // Alerts print, view settings stay unwritten; the process ends after this mode.
    VELKTestFlags::running = true;
    const QString path = QFileInfo(r->path).absoluteFilePath();
    switch (r->mode) {
    case Request::Mode::contactSheets:
        return writeAllContactSheets(path, out) ? 0 : 1;
    case Request::Mode::contactSheet:
        return writeContactSheet(path, out) ? 0 : 1;
    case Request::Mode::snapshot:
    {
        (void)QDir().mkpath(path); // a failure shows as files not written
        QStringList failed;
        if (writers.samples)
            failed += writers.samples(path, r->only);
        if (writers.iconSheet)
            failed += writers.iconSheet(QDir(path).filePath(QStringLiteral("icons.png")));
        if (writers.screens)
            failed += writers.screens(path);
        if (out) {
            for (const QString &file : failed)
                out(QStringLiteral("Could not write %1").arg(file).toUtf8(), true);
            if (failed.isEmpty())
                out(QStringLiteral("Snapshots written to %1").arg(path).toUtf8(), true);
        }
        return failed.isEmpty() ? 0 : 1;
    }
    }
    return std::nullopt;
}

bool writePNG(QImage image, const QString &file)
{
    const std::optional<QByteArray> data = LWExport::encode(std::move(image), LWExport::RasterType::png, 72);
    return data && LWFileAccess::replaceFile(file, *data).isEmpty();
}

} // namespace LWSnapshot
