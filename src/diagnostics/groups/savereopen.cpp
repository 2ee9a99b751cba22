#include "diagnostics/groups/savereopenchecks.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "model/file/documentio.h"
#include "model/info.h"
#include "model/file/recent.h"
#include "render/renderer.h"
#include "templates/templates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace LWSelfTest {

namespace {

// A design that a file format easily loses parts of: the card with a cropped, masked, turned,
// half-transparent picture on the front, a group of gradients and a dashed outline on the back,
// and two guides. None when the card is missing or has no back.
std::optional<LWDocument> testDesign(const QList<LWTemplate> &cards)
{
    if (cards.size() <= 7)
        return std::nullopt;
    LWDocument doc = cards[7].make();
    if (doc.pages.size() < 2)
        return std::nullopt;

    LWElement logo(LWElementKind::image, QStringLiteral("Logo"), LWRect(20, 20, 60, 40));
    logo.image = LWImage::empty(LWMask::ellipse);
    logo.image->data = samplePNG(240, 160);
    logo.image->cropL = 0.1;
    logo.image->cropB = 0.05;
    logo.rotation = 12.5;
    logo.opacity = 0.8;
    doc.pages[0].elements.append(logo);

    LWElement group(LWElementKind::group, QStringLiteral("Group"), LWRect(10, 10, 50, 50));
    group.children = QList<LWElement>{
        LWElement::makeShape(LWShapeKind::star, LWRect(10, 10, 20, 20), LWFill::linear(LWColor::white, LWColor::black, 33),
                             std::nullopt, 0),
        LWElement::makeShape(LWShapeKind::ellipse, LWRect(30, 30, 20, 20), LWFill::radial(LWColor::white, LWColor::black),
                             LWStroke(LWColor::black, 1.5, 4), 0),
    };
    doc.pages[1].elements.append(group);

    doc.guides = {LWGuide{QUuid::createUuid(), true, 100.25}, LWGuide{QUuid::createUuid(), false, 50}};
    return doc;
}

std::optional<QImage> frontAt2x(const LWDocument &doc) { return LWRenderer::bitmap(doc, 0, 2, true, true); }

bool samePixels(const std::optional<QImage> &a, const std::optional<QImage> &b)
{
    if (!a || !b || a->isNull() || b->isNull() || a->size() != b->size() || a->format() != b->format())
        return false;
    return QByteArrayView(a->constBits(), a->sizeInBytes()) == QByteArrayView(b->constBits(), b->sizeInBytes());
}

QString recentPath() { return LWRecent::urls().isEmpty() ? QString() : LWRecent::urls().first().toLocalFile(); }

// A library design to save and reopen: its list, its index and how the list is called.
struct LibraryDesign {
    const QList<LWTemplate> *list;
    qsizetype index;
    QString listName;
};

// Step 3: every check of the save block, or the first failure of save, open or encode.
std::optional<QString> saveBlock(LWTestRun &run, const QString &folder, const QUrl &designURL,
                                 const std::optional<LWDocument> &design, const QList<LibraryDesign> &library)
{
    const QString equalLabel =
        QStringLiteral("reopened design equals the saved one (all items, pictures, crop, rotation, groups, gradients, guides)");
    const QString fileLabel = QStringLiteral("saving it again writes the identical file");
    const QString pixelLabel = QStringLiteral("and it draws pixel-for-pixel the same");
    const QString recentLabel = QStringLiteral("the file is first in Recent designs");
    if (!design) {
        for (const QString &label : {equalLabel, fileLabel, pixelLabel, recentLabel})
            run.check(false, label);
    } else {
        if (auto saved = LWDocumentIO::save(*design, designURL); !saved)
            return saved.errorDescription();
        const LWDocumentIO::Result<LWDocument> reopened = LWDocumentIO::open(designURL);
        if (!reopened)
            return reopened.errorDescription();
        run.check(reopened.value() == *design, equalLabel);
        const LWDocumentIO::Result<QByteArray> again = LWDocumentIO::encode(reopened.value());
        if (!again)
            return again.errorDescription();
        const LWDocumentIO::Result<QByteArray> first = LWDocumentIO::encode(*design);
        if (!first)
            return first.errorDescription();
        run.check(again.value() == first.value(), fileLabel);
        run.check(samePixels(frontAt2x(*design), frontAt2x(reopened.value())), pixelLabel);
        run.check(recentPath() == designURL.toLocalFile(), recentLabel);
    }

    for (const LibraryDesign &d : library) {
        if (d.index >= d.list->size()) {
            run.check(false, QStringLiteral("%1 %2: save + reopen identical").arg(d.listName).arg(d.index + 1));
            continue;
        }
        const LWTemplate &t = d.list->at(d.index);
        const LWDocument built = t.make();
        const QUrl url = QUrl::fromLocalFile(QDir(folder).filePath(t.id + QLatin1Char('.') + LWInfo::fileExtension));
        if (auto saved = LWDocumentIO::save(built, url); !saved)
            return saved.errorDescription();
        const LWDocumentIO::Result<LWDocument> reopened = LWDocumentIO::open(url);
        if (!reopened)
            return reopened.errorDescription();
        run.check(reopened.value() == built, t.name + QStringLiteral(": save + reopen identical"));
    }
    return std::nullopt;
}

} // namespace

void saveReopenChecks(LWTestRun &run, const QString &folder, const QList<LWTemplate> &cards,
                      const QList<LWTemplate> &flyers)
{
    run.begin(QStringLiteral("Native file: save then reopen gives an identical design"));

    const QDir dir(folder);
    const QString designPath = dir.filePath(QStringLiteral("Test Card.") + LWInfo::fileExtension);
    const QString junkPath = dir.filePath(QStringLiteral("junk.") + LWInfo::fileExtension);
    const QUrl designURL = QUrl::fromLocalFile(designPath), junkURL = QUrl::fromLocalFile(junkPath);

    const QList<LibraryDesign> library{{&flyers, 3, QStringLiteral("Letter flyer")},
                                       {&flyers, 42, QStringLiteral("Letter flyer")},
                                       {&cards, 55, QStringLiteral("US card")}};
    if (const std::optional<QString> error = saveBlock(run, folder, designURL, testDesign(cards), library))
        run.check(false, QStringLiteral("save / reopen: ") + *error);

    // Refused only for the right reason: the junk must really be on disk, and be no design.
    const QByteArray junk = QByteArrayLiteral("{\"hello\": 1}");
    QFile junkFile(junkPath);
    const bool written = junkFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && junkFile.write(junk) == junk.size();
    junkFile.close();
    const LWDocumentIO::Result<LWDocument> opened = LWDocumentIO::open(junkURL);
    run.check(written && opened.ioError() && opened.ioError()->kind == LWDocumentIO::IOError::Kind::notADesign,
              QStringLiteral("a file that isn't a design is refused with a clear message"));

    LWRecent::remove(junkURL);
    run.check(QFileInfo::exists(junkPath) && QFileInfo::exists(designPath),
              QStringLiteral("taking a file off Recent never deletes it"));
    LWRecent::remove(designURL);
    run.check(QFileInfo::exists(designPath) && !LWRecent::paths().contains(designPath),
              QStringLiteral("\u2026still there after removing it from the list"));
}

void saveReopen(LWTestRun &run, const QString &folder)
{
    saveReopenChecks(run, folder, LWTemplates::cards(), LWTemplates::flyers());
}

} // namespace LWSelfTest
