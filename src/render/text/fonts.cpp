#include "render/text/fonts.h"

#include "model/file/json.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRawFont>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

namespace {

// ---- Reading a face's own tables -------------------------------------------------------------

struct FaceInfo {
    QString ps;           // name id 6
    QString family;       // typographic family (id 16, else id 1)
    QString style;        // typographic subfamily (id 17, else id 2)
    QString legacyFamily; // id 1
    QString fullName;     // id 4
    QString vendor;       // OS/2 achVendID, trimmed
    int weight = 400;
    int width = 5; // OS/2 usWidthClass: 5 is normal, lower is condensed
    bool italic = false;
};

quint16 u16(const QByteArray &b, qsizetype at)
{
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(b.constData()) + at);
}
quint32 u32(const QByteArray &b, qsizetype at)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(b.constData()) + at);
}

// Best string per name id: Windows English, then any Windows or Unicode record, then Mac Roman.
QHash<int, QString> nameStrings(const QByteArray &t)
{
    QHash<int, QString> out;
    if (t.size() < 6)
        return out;
    const int count = u16(t, 2);
    const int storage = u16(t, 4);
    QHash<int, int> rank;
    for (int i = 0; i < count; ++i) {
        const qsizetype rec = 6 + qsizetype(i) * 12;
        if (rec + 12 > t.size())
            break;
        const int platform = u16(t, rec), encoding = u16(t, rec + 2), language = u16(t, rec + 4);
        const int id = u16(t, rec + 6), len = u16(t, rec + 8), off = u16(t, rec + 10);
        const qsizetype start = qsizetype(storage) + off;
        if (start + len > t.size())
            continue;
        int r = 0;
        if (platform == 3 && (encoding == 1 || encoding == 10))
            r = language == 0x409 ? 4 : 3;
        else if (platform == 0)
            r = 2;
        else if (platform == 1 && encoding == 0 && language == 0)
            r = 1;
        if (r == 0 || r <= rank.value(id, 0))
            continue;
        QString s;
        if (platform == 1) {
            s = QString::fromLatin1(t.constData() + start, len);
        } else {
            s.reserve(len / 2);
            for (int k = 0; k + 1 < len; k += 2)
                s.append(QChar(u16(t, start + k)));
        }
        rank.insert(id, r);
        out.insert(id, s.trimmed());
    }
    return out;
}

std::optional<FaceInfo> faceInfo(const QByteArray &name, const QByteArray &os2, const QByteArray &head)
{
    const QHash<int, QString> n = nameStrings(name);
    FaceInfo f;
    f.ps = n.value(6);
    if (f.ps.isEmpty())
        return std::nullopt;
    f.legacyFamily = n.value(1);
    f.family = n.value(16, f.legacyFamily);
    f.style = n.value(17, n.value(2, QStringLiteral("Regular")));
    f.fullName = n.value(4, f.ps);
    bool macBold = false;
    if (head.size() >= 54) {
        const quint16 macStyle = u16(head, 44);
        macBold = macStyle & 1;
        f.italic = macStyle & 2;
    }
    if (os2.size() >= 64) {
        f.weight = u16(os2, 4);
        f.width = u16(os2, 6);
        f.italic = f.italic || (u16(os2, 62) & 1);
        f.vendor = QString::fromLatin1(os2.constData() + 58, 4).trimmed();
    } else {
        f.weight = macBold ? 700 : 400;
    }
    return f;
}

// The faces of a font file (several for a collection), read straight from its table directory.
QList<FaceInfo> readFaces(const QString &path)
{
    QList<FaceInfo> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const qint64 size = file.size();
    auto readAt = [&](qint64 at, qint64 len) -> QByteArray {
        if (at < 0 || len < 0 || at + len > size || !file.seek(at))
            return {};
        QByteArray b = file.read(len);
        return b.size() == len ? b : QByteArray();
    };
    QList<qint64> offsets;
    const QByteArray header = readAt(0, 12);
    if (header.size() < 12)
        return out;
    if (header.startsWith("ttcf")) {
        const quint32 n = std::min<quint32>(u32(header, 8), 1024);
        const QByteArray list = readAt(12, qint64(n) * 4);
        for (quint32 i = 0; i * 4 + 4 <= quint32(list.size()); ++i)
            offsets.append(u32(list, i * 4));
    } else {
        offsets.append(0);
    }
    for (qint64 base : offsets) {
        const QByteArray dirHead = readAt(base, 12);
        if (dirHead.size() < 12)
            continue;
        const int numTables = u16(dirHead, 4);
        const QByteArray dir = readAt(base + 12, qint64(numTables) * 16);
        QByteArray name, os2, head;
        for (int i = 0; i * 16 + 16 <= dir.size(); ++i) {
            const QByteArray tag = dir.mid(i * 16, 4);
            const qint64 at = u32(dir, i * 16 + 8), len = u32(dir, i * 16 + 12);
            if (tag == "name")
                name = readAt(at, len);
            else if (tag == "OS/2")
                os2 = readAt(at, len);
            else if (tag == "head")
                head = readAt(at, len);
        }
        if (auto f = faceInfo(name, os2, head))
            out.append(*f);
    }
    return out;
}

FaceInfo rawFaceInfo(const QRawFont &raw)
{
    return faceInfo(raw.fontTable("name"), raw.fontTable("OS/2"), raw.fontTable("head")).value_or(FaceInfo());
}

// ---- Registry state -------------------------------------------------------------------------

struct Face {
    FaceInfo info;
    QString qtFamily; // how QFontDatabase selects this face
    QString qtStyle;
    bool checked = false; // selection verified against the face's own name (guarded by the cache lock)
    QString file;         // the bundled file it came from; empty for an installed face
};

struct Registry {
    std::optional<QString> folderOverride;
    bool didRegister = false;
    QStringList registered;
    QStringList failures;
    QList<Face> faces; // bundled, manifest files first
    QHash<QString, qsizetype> byPs;
    QHash<QString, QString> aliases;   // platform name -> stand-in PostScript name
    QSet<QString> produced;            // every family name Qt took from a bundled file
    QHash<QString, QList<qsizetype>> byFamily; // typographic family -> faces

    QMutex lock; // guards cache and Face::qtFamily/qtStyle/checked
    QHash<QString, QFont> cache;

    std::once_flag systemOnce; // installed faces, indexed on first need
    QList<Face> systemFaces;
    QHash<QString, qsizetype> systemByPs;
    QHash<QString, QList<qsizetype>> systemByFamily;
};

Registry &reg()
{
    static Registry r;
    return r;
}

QString withoutFoundry(const QString &family)
{
    if (family.endsWith(QLatin1Char(']'))) {
        const qsizetype open = family.lastIndexOf(QLatin1String(" ["));
        if (open > 0)
            return family.left(open);
    }
    return family;
}

bool isProduced(const Registry &r, const QString &family)
{
    return r.produced.contains(family) || r.produced.contains(withoutFoundry(family));
}

// Qt lists fontconfig's generic names as families of their own; they are no installed family.
bool isGenericFamily(const QString &family)
{
    return family == QLatin1String("Serif") || family == QLatin1String("Sans Serif") ||
           family == QLatin1String("Monospace");
}

bool haveGuiApp()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

void buildSystemIndex(Registry &r)
{
    if (!haveGuiApp())
        return;
    for (const QString &family : QFontDatabase::families()) {
        if (family.startsWith(QLatin1Char('.')) || isProduced(r, family) || isGenericFamily(family))
            continue;
        for (const QString &style : QFontDatabase::styles(family)) {
            Face face{rawFaceInfo(QRawFont::fromFont(QFontDatabase::font(family, style, 12))), family, style, true, {}};
            if (face.info.ps.isEmpty() || r.systemByPs.contains(face.info.ps))
                continue;
            face.info.family = family;
            face.info.style = style;
            r.systemByPs.insert(face.info.ps, r.systemFaces.size());
            r.systemByFamily[family].append(r.systemFaces.size());
            r.systemFaces.append(face);
        }
    }
}

Registry &systemIndexed()
{
    Registry &r = reg();
    std::call_once(r.systemOnce, [&r] { buildSystemIndex(r); });
    return r;
}

// The face of a name: bundled, then a platform name's stand-in, then an installed face.
// Returns the face and whether it is bundled. No fallback.
std::pair<Face *, bool> findFace(const QString &name)
{
    Registry &r = reg();
    if (auto it = r.byPs.constFind(name); it != r.byPs.constEnd())
        return {&r.faces[*it], true};
    if (auto a = r.aliases.constFind(name); a != r.aliases.constEnd())
        if (auto it = r.byPs.constFind(*a); it != r.byPs.constEnd())
            return {&r.faces[*it], true};
    systemIndexed();
    if (auto it = r.systemByPs.constFind(name); it != r.systemByPs.constEnd())
        return {&r.systemFaces[*it], false};
    return {nullptr, false};
}

const QString &fallbackName()
{
    static const QString name = QStringLiteral("HelveticaNeue");
    return name;
}

QFont systemFont(double size)
{
    QFont f = haveGuiApp() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : QFont();
    f.setPointSizeF(size);
    return f;
}

// Qt may settle a family/style pair on another face (a same-named installed family, a vendor
// split); check once per face and search the alternatives if it did. Called with the lock held.
void verifySelection(Face &face)
{
    face.checked = true;
    if (LWFonts::postScriptNameOf(QFontDatabase::font(face.qtFamily, face.qtStyle, 12)) == face.info.ps)
        return;
    const QString bases[] = {face.info.family, face.info.legacyFamily};
    for (const QString &family : QFontDatabase::families()) {
        const QString base = withoutFoundry(family);
        if (base != bases[0] && base != bases[1])
            continue;
        for (const QString &style : QFontDatabase::styles(family)) {
            if (LWFonts::postScriptNameOf(QFontDatabase::font(family, style, 12)) == face.info.ps) {
                face.qtFamily = family;
                face.qtStyle = style;
                return;
            }
        }
    }
}

QFont makeFont(Face &face, double size)
{
    if (!face.checked)
        verifySelection(face);
    QFont f = QFontDatabase::font(face.qtFamily, face.qtStyle, 12);
    f.setPointSizeF(size);
    return f;
}

// Registers one file with Qt; with `index`, its faces join the index. Every family name it
// produces is remembered either way, so no listing shows it as an installed family.
// Returns false when Qt refuses the file.
bool registerFile(Registry &r, const QString &path, QStringList *names, bool index = true)
{
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0)
        return false;
    for (const QString &family : QFontDatabase::applicationFontFamilies(id))
        r.produced.insert(family);
    for (const FaceInfo &info : readFaces(path)) {
        r.produced.insert(info.family);
        r.produced.insert(info.legacyFamily);
        if (!index)
            continue;
        if (names)
            names->append(info.ps);
        if (r.byPs.contains(info.ps))
            continue;
        r.byPs.insert(info.ps, r.faces.size());
        r.byFamily[info.family].append(r.faces.size());
        r.faces.append(Face{info, info.family, info.style, false, QFileInfo(path).absoluteFilePath()});
    }
    return true;
}

// A JSON object file of the resource folder; nothing when it is missing or not an object.
std::optional<QJsonValue> readResourceJson(const QString &folder, const QString &name)
{
    QFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto json = LWJson::parse(file.readAll());
    if (!json || !json->isObject())
        return std::nullopt;
    return json;
}

// The "families" array of fonts-standins.json and fonts-ui.json: (folder, files) pairs.
QList<QPair<QString, QStringList>> familyFolders(const LWJsonIn &in)
{
    QList<QPair<QString, QStringList>> folders;
    for (const LWJsonIn &entry : in["families"].array())
        folders.append({entry.get<QString>("folder"), entry.get<QStringList>("files")});
    return folders;
}

// fonts-standins.json: {"families": [{family, folder, files}], "aliases": {platform name: face}}.
void registerStandins(Registry &r, const QString &folder)
{
    const auto json = readResourceJson(folder, QStringLiteral("fonts-standins.json"));
    if (!json)
        return;
    QHash<QString, QString> aliases;
    QList<QPair<QString, QStringList>> folders;
    try {
        const LWJsonIn in(*json);
        folders = familyFolders(in);
        const QJsonObject map = in["aliases"].raw().toObject();
        for (auto it = map.begin(); it != map.end(); ++it)
            aliases.insert(it.key(), LWJsonIn(it.value(), it.key()).string());
    } catch (const LWJsonError &) {
        return;
    }
    for (const auto &[sub, files] : folders)
        for (const QString &name : files)
            (void)registerFile(r, QDir(folder).filePath(sub + QLatin1Char('/') + name), nullptr);
    r.aliases = aliases;
}

// fonts-ui.json: {"families": [{family, folder, files}]}, the application's own interface faces.
// Qt knows them by family name; the registry's index, listings and aliases never do.
void registerInterface(Registry &r, const QString &folder)
{
    const auto json = readResourceJson(folder, QStringLiteral("fonts-ui.json"));
    if (!json)
        return;
    QList<QPair<QString, QStringList>> folders;
    try {
        folders = familyFolders(LWJsonIn(*json));
    } catch (const LWJsonError &) {
        return;
    }
    for (const auto &[sub, files] : folders)
        for (const QString &name : files)
            if (!registerFile(r, QDir(folder).filePath(sub + QLatin1Char('/') + name), nullptr, false))
                r.failures.append(name);
}

// Picks each face's Qt family: the typographic family, or its vendor-qualified form where Qt
// splits the family by vendor ("Baskervville [ANRT]").
void chooseSelections(Registry &r)
{
    const QStringList all = QFontDatabase::families();
    const QSet<QString> listed(all.begin(), all.end());
    for (Face &face : r.faces) {
        const QString &family = face.info.family;
        if (listed.contains(family))
            continue;
        const QString qualified = family + QLatin1String(" [") + face.info.vendor + QLatin1Char(']');
        if (!face.info.vendor.isEmpty() && listed.contains(qualified)) {
            face.qtFamily = qualified;
            continue;
        }
        for (const QString &candidate : all) {
            if (withoutFoundry(candidate) == family && QFontDatabase::styles(candidate).contains(face.qtStyle)) {
                face.qtFamily = candidate;
                break;
            }
        }
    }
}

// The member of `face`'s family with the trait switched; nullptr when there is none.
const Face *switched(const Face &face, bool bundled, unsigned trait, bool set)
{
    Registry &r = reg();
    const QList<qsizetype> ids = bundled ? r.byFamily.value(face.info.family)
                                         : r.systemByFamily.value(face.qtFamily);
    const QList<Face> &pool = bundled ? r.faces : r.systemFaces;
    const bool wantItalic = (trait & LWFonts::italicTrait) ? set : face.info.italic;
    const Face *best = nullptr;
    int bestScore = 0;
    for (qsizetype id : ids) {
        const Face &m = pool[id];
        if (m.info.italic != wantItalic)
            continue;
        int score = m.info.width == face.info.width ? 0 : 10000; // lower is better; keep the width
        if (trait & LWFonts::boldTrait) {
            if ((m.info.weight >= 600) != set)
                continue;
            const int target = set ? 700 : 400;
            score += std::abs(m.info.weight - target) * 2 + (m.info.weight > target ? 0 : 1);
        } else if (m.info.weight != face.info.weight) {
            continue;
        }
        if (!best || score < bestScore) {
            best = &m;
            bestScore = score;
        }
    }
    return best;
}

unsigned traitsOf(const FaceInfo &f)
{
    return (f.italic ? LWFonts::italicTrait : 0u) | (f.weight >= 600 ? LWFonts::boldTrait : 0u);
}

// The face that font(name, 12) gives: the named face or the fallback chain's.
std::pair<const Face *, bool> faceWithFallback(const QString &name)
{
    auto found = findFace(name);
    if (!found.first)
        found = findFace(fallbackName());
    if (!found.first)
        found = findFace(LWFonts::postScriptNameOf(systemFont(12)));
    return found;
}

} // namespace

namespace LWFonts {

Bundled Bundled::fromJson(const LWJsonIn &in)
{
    return {in.get<QString>("family"), in.get<QString>("group"),  in.get<QString>("folder"),
            in.get<QStringList>("files"), in.get<QString>("license"), in.get<QString>("source"),
            in.get<QStringList>("fileURLs"), in.get<QString>("licenseURL")};
}

const QStringList &platformTemplateFonts()
{
    static const QStringList names = QStringLiteral(
        "AvenirNext-Regular AvenirNext-Medium AvenirNext-DemiBold AvenirNext-Bold AvenirNext-Heavy "
        "AvenirNext-UltraLight AvenirNext-Italic AvenirNextCondensed-Bold AvenirNextCondensed-Heavy "
        "AvenirNextCondensed-DemiBold AvenirNextCondensed-Medium HelveticaNeue HelveticaNeue-Light "
        "HelveticaNeue-Medium HelveticaNeue-Bold HelveticaNeue-CondensedBlack HelveticaNeue-Thin Futura-Medium "
        "Futura-Bold Futura-CondensedExtraBold Futura-CondensedMedium Optima-Regular Optima-Bold Palatino-Roman "
        "Palatino-Bold Palatino-Italic Didot Didot-Bold Didot-Italic Baskerville Baskerville-SemiBold "
        "Baskerville-Italic GillSans GillSans-Light GillSans-SemiBold GillSans-Bold Copperplate Copperplate-Bold "
        "Rockwell-Regular Rockwell-Bold SnellRoundhand SnellRoundhand-Bold SavoyeLetPlain MarkerFelt-Wide Georgia "
        "Georgia-Bold Georgia-Italic DINCondensed-Bold DINAlternate-Bold Impact AmericanTypewriter "
        "AmericanTypewriter-Bold BigCaslon-Medium Cochin HoeflerText-Regular HoeflerText-Black HoeflerText-Italic "
        "SignPainter-HouseScript Superclarendon-Regular Superclarendon-Bold Superclarendon-Black Charter-Roman "
        "Charter-Bold Phosphate-Solid Phosphate-Inline Seravek Seravek-Bold Seravek-Medium Athelas-Regular "
        "Athelas-Bold Menlo-Regular Menlo-Bold BodoniSvtyTwoITCTT-Book BodoniSvtyTwoITCTT-Bold")
                                          .split(QLatin1Char(' '));
    return names;
}

void overrideBundledFolder(const QString &folder)
{
    reg().folderOverride = folder;
}

std::optional<QString> bundledFolder()
{
    QString dir;
    if (reg().folderOverride)
        dir = *reg().folderOverride;
    else if (QCoreApplication::instance())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/Resources/Fonts");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return std::nullopt;
    return QDir(dir).absolutePath();
}

QList<Bundled> decodeManifest(const QByteArray &json)
{
    const auto value = LWJson::parse(json);
    if (!value)
        return {};
    try {
        return LWJsonIn(*value).as<QList<Bundled>>();
    } catch (const LWJsonError &) {
        return {};
    }
}

const QList<Bundled> &manifest()
{
    static const QList<Bundled> entries = [] {
        const auto folder = bundledFolder();
        if (!folder)
            return QList<Bundled>();
        QFile file(QDir(*folder).filePath(QStringLiteral("fonts-manifest.json")));
        if (!file.open(QIODevice::ReadOnly))
            return QList<Bundled>();
        return decodeManifest(file.readAll());
    }();
    return entries;
}

QStringList bundledFamilies()
{
    QStringList out;
    for (const Bundled &b : manifest())
        out.append(b.family);
    return out;
}

void registerBundled()
{
    Registry &r = reg();
    if (r.didRegister)
        return;
    r.didRegister = true;
    const auto folder = bundledFolder();
    if (!folder || !haveGuiApp())
        return;
    const QDir root(*folder);
    for (const Bundled &entry : manifest()) {
        for (const QString &name : entry.files) {
            if (!registerFile(r, root.filePath(entry.folder + QLatin1Char('/') + name), &r.registered))
                r.failures.append(name);
        }
    }
    registerStandins(r, *folder);
    registerInterface(r, *folder);
    chooseSelections(r);
    QMutexLocker locker(&r.lock);
    r.cache.clear();
}

const QStringList &registeredPostScript()
{
    return reg().registered;
}

const QStringList &registrationFailures()
{
    return reg().failures;
}

QStringList templateFonts()
{
    return platformTemplateFonts() + registeredPostScript();
}

bool isInstalled(const QString &postScriptName)
{
    return findFace(postScriptName).first != nullptr;
}

QString cacheKey(const QString &postScriptName, double size)
{
    char buf[64];
    std::to_chars_result res;
    const double mag = std::fabs(size);
    if (std::isfinite(size) && size == std::trunc(size) && mag < 1e16) {
        res = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(size));
        if (res.ec == std::errc()) {
            *res.ptr++ = '.';
            *res.ptr++ = '0';
        }
    } else if (std::isfinite(size) && mag >= 1e-4 && mag < 1e16) {
        res = std::to_chars(buf, buf + sizeof buf, size, std::chars_format::fixed);
    } else {
        res = std::to_chars(buf, buf + sizeof buf, size);
    }
    return postScriptName + QLatin1Char('|') + QString::fromLatin1(buf, res.ptr - buf);
}

QFont font(const QString &postScriptName, double size)
{
    const QString key = cacheKey(postScriptName, size);
    Registry &r = reg();
    QMutexLocker locker(&r.lock);
    if (auto it = r.cache.constFind(key); it != r.cache.constEnd())
        return *it;
    // A size Qt cannot take (zero, negative, not a number) becomes the smallest it can.
    const double usable = std::isfinite(size) && size > 0 ? size : 0.01;
    auto found = findFace(postScriptName);
    if (!found.first)
        found = findFace(fallbackName());
    const QFont f = found.first ? makeFont(*found.first, usable) : systemFont(usable);
    r.cache.insert(key, f);
    return f;
}

qsizetype cachedFontCount()
{
    Registry &r = reg();
    QMutexLocker locker(&r.lock);
    return r.cache.size();
}

std::optional<QString> fileOf(const QString &postScriptName)
{
    const auto [face, bundled] = findFace(postScriptName);
    if (!face || !bundled)
        return std::nullopt;
    return face->file;
}

QString familyName(const QString &postScriptName)
{
    const Face *face = findFace(postScriptName).first;
    return face && !face->info.family.isEmpty() ? face->info.family : postScriptName;
}

QString faceName(const QString &postScriptName)
{
    const Face *face = findFace(postScriptName).first;
    return face && !face->info.ps.isEmpty() ? face->info.ps : postScriptName;
}

QString displayName(const QString &postScriptName)
{
    const Face *face = findFace(postScriptName).first;
    return face && !face->info.fullName.isEmpty() ? face->info.fullName : postScriptName;
}

QStringList families()
{
    Registry &r = reg();
    const QStringList bundledList = bundledFamilies();
    const QSet<QString> bundled(bundledList.begin(), bundledList.end());
    QSet<QString> seen;
    QStringList out;
    auto add = [&](const QString &family) {
        if (family.isEmpty() || family.startsWith(QLatin1Char('.')) || bundled.contains(family) || seen.contains(family))
            return;
        seen.insert(family);
        out.append(family);
    };
    if (haveGuiApp())
        for (const QString &family : QFontDatabase::families())
            if (!isProduced(r, family) && !isGenericFamily(family))
                add(family);
    for (const Face &face : r.faces)
        add(face.info.family);
    std::sort(out.begin(), out.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}

QList<QPair<QString, QString>> members(const QString &family)
{
    Registry &r = reg();
    QList<QPair<QString, QString>> out;
    if (auto it = r.byFamily.constFind(family); it != r.byFamily.constEnd()) {
        QList<const Face *> faces;
        for (qsizetype id : *it)
            faces.append(&r.faces[id]);
        std::stable_sort(faces.begin(), faces.end(), [](const Face *a, const Face *b) {
            return a->info.weight != b->info.weight ? a->info.weight < b->info.weight : a->info.italic < b->info.italic;
        });
        for (const Face *f : faces)
            out.append({f->info.ps, f->info.style});
        return out;
    }
    systemIndexed();
    for (qsizetype id : r.systemByFamily.value(family))
        out.append({r.systemFaces[id].info.ps, r.systemFaces[id].info.style});
    return out;
}

bool has(const QString &postScriptName, unsigned trait)
{
    const Face *face = faceWithFallback(postScriptName).first;
    return face && (traitsOf(face->info) & trait) == trait;
}

QString toggled(const QString &postScriptName, unsigned trait)
{
    const auto [face, bundled] = faceWithFallback(postScriptName);
    if (!face)
        return postScriptName;
    const bool set = (traitsOf(face->info) & trait) != trait;
    if (const Face *other = switched(*face, bundled, trait, set))
        return other->info.ps;
    // No such member: the font itself stays, and a name that resolved without the fallback chain
    // (a platform name with its stand-in included) is kept as written.
    return findFace(postScriptName).first ? postScriptName : face->info.ps;
}

QString postScriptNameOf(const QFont &font)
{
    return rawFaceInfo(QRawFont::fromFont(font)).ps;
}

} // namespace LWFonts
