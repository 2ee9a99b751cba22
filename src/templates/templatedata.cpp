#include "templates/templatedata.h"

#include <QtGlobal>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace {

// Roles in declaration order: primary, deep, accent, accentInk, ink, paper, onPrimary.
LWPalette pal(const char *name, const std::array<std::uint32_t, 7> &rgb)
{
    return {QString::fromLatin1(name), LWColor::hex(rgb[0]), LWColor::hex(rgb[1]), LWColor::hex(rgb[2]),
            LWColor::hex(rgb[3]),      LWColor::hex(rgb[4]), LWColor::hex(rgb[5]), LWColor::hex(rgb[6])};
}

template <typename T>
QHash<QString, T> byName(std::initializer_list<T> rows)
{
    QHash<QString, T> out;
    out.reserve(qsizetype(rows.size()));
    for (const T &row : rows)
        out.insert(row.name, row);
    return out;
}

} // namespace

const QHash<QString, LWPalette> &LWTemplates::palettes()
{
    static const QHash<QString, LWPalette> table = byName({
        pal("navyGold", {0x1F3A5F, 0x13253D, 0xE0B75A, 0x8A6516, 0x1C2430, 0xFBF8F1, 0xFFFFFF}),
        pal("forestCream", {0x2F5D46, 0x1C3A2B, 0xC9DFA8, 0x3F6B2F, 0x1E2A22, 0xF6F3EA, 0xFFFFFF}),
        pal("charcoalOrange", {0x2B2E33, 0x1A1C1F, 0xF28C28, 0xA9520A, 0x222428, 0xF7F6F3, 0xFFFFFF}),
        pal("blushRose", {0xA14E5C, 0x6E2F3B, 0xF3D1C8, 0x9A4555, 0x3A2A2E, 0xFDF6F3, 0xFFFFFF}),
        pal("tealCoral", {0x0F6E73, 0x073A3D, 0xFF8A6B, 0xB4472A, 0x1A2B2E, 0xF4FAF9, 0xFFFFFF}),
        pal("burgundyCream", {0x7B1E2B, 0x4E121B, 0xE8C39E, 0x8E2A37, 0x2A1B1E, 0xFAF4EC, 0xFFFFFF}),
        pal("blackNeon", {0x16142A, 0x0A0912, 0x2EE6F5, 0x00747E, 0x14121F, 0xF2F4F8, 0xFFFFFF}),
        pal("purpleMagenta", {0x3B1E6E, 0x221043, 0xFF5FDB, 0xA0127F, 0x1E1530, 0xF7F3FC, 0xFFFFFF}),
        pal("redSteel", {0xA81D26, 0x2A2D33, 0xF5C242, 0xA81D26, 0x1F2226, 0xF3F4F6, 0xFFFFFF}),
        pal("skyFresh", {0x1769A0, 0x0D4670, 0x8FE3D6, 0x16658F, 0x163248, 0xF3FAFE, 0xFFFFFF}),
        pal("sageLinen", {0x50704F, 0x34493A, 0xE7C9A9, 0x7A5634, 0x2B3229, 0xF7F4EE, 0xFFFFFF}),
        pal("goldBlack", {0x1A1A1A, 0x0D0D0D, 0xD2AE62, 0x84652A, 0x1A1A1A, 0xFAF7F0, 0xFFFFFF}),
        pal("warmTerracotta", {0x8A4B2A, 0x5A2F1A, 0xF2C38B, 0x99512A, 0x3A2418, 0xFBF5EC, 0xFFFFFF}),
        pal("olivePaper", {0x56652A, 0x37421A, 0xE9C46A, 0x6E5A16, 0x2C301C, 0xF8F5E8, 0xFFFFFF}),
        pal("royalBlue", {0x23408E, 0x162A5E, 0xF0C75E, 0x23408E, 0x1B2340, 0xF7F8FC, 0xFFFFFF}),
        pal("electricYellow", {0x1E2A38, 0x111821, 0xFFD23F, 0x7A6100, 0x1E2A38, 0xF8F7F2, 0xFFFFFF}),
        pal("mintFresh", {0x0F6F66, 0x0A4D47, 0xA8EBDD, 0x0F6F66, 0x183330, 0xF3FBF9, 0xFFFFFF}),
        pal("orangePet", {0xA94612, 0x6B2B0A, 0xFFD08A, 0xA94612, 0x34200F, 0xFFF8EE, 0xFFFFFF}),
        pal("lavender", {0x5E4287, 0x3D2A5A, 0xF1C6E7, 0x7E3A70, 0x2A2236, 0xFAF6FC, 0xFFFFFF}),
        pal("slateOrange", {0x2F4858, 0x1C2C36, 0xF58A3C, 0xB24C0E, 0x1F2B33, 0xF6F7F7, 0xFFFFFF}),
        pal("desert", {0x8E3A22, 0x5E2214, 0xF2B880, 0x8E3A22, 0x33211A, 0xFBF4EA, 0xFFFFFF}),
        pal("ocean", {0x264653, 0x172C34, 0xE9C46A, 0x7E6012, 0x1D2C32, 0xF6F6F2, 0xFFFFFF}),
        pal("hotPink", {0xB8165A, 0x6E0C35, 0xFFC1DA, 0xB8165A, 0x2E1520, 0xFFF6F9, 0xFFFFFF}),
        pal("techGreen", {0x0B3D2E, 0x06261C, 0x3DDC97, 0x13744B, 0x10261F, 0xF2F8F5, 0xFFFFFF}),
    });
    return table;
}

const QHash<QString, LWFontPair> &LWTemplates::fontPairs()
{
    // Platform names without a face here resolve to their bundled stand-ins in LWFonts.
    static const QHash<QString, LWFontPair> table = byName<LWFontPair>({
        {"modern", "AvenirNext-Bold", "AvenirNext-Regular", "AvenirNext-DemiBold", "AvenirNext-Heavy", "SnellRoundhand-Bold"},
        {"classic", "Baskerville-SemiBold", "GillSans", "GillSans-SemiBold", "Baskerville-SemiBold", "SnellRoundhand-Bold"},
        {"elegant", "Didot", "AvenirNext-Regular", "AvenirNext-Medium", "Didot-Bold", "SnellRoundhand-Bold"},
        {"rugged", "Rockwell-Bold", "AvenirNext-Regular", "AvenirNext-DemiBold", "Rockwell-Bold", "SignPainter-HouseScript"},
        {"condensed", "AvenirNextCondensed-Heavy", "AvenirNext-Regular", "AvenirNext-DemiBold", "Futura-CondensedExtraBold", "SignPainter-HouseScript"},
        {"friendly", "Futura-Bold", "AvenirNext-Regular", "AvenirNext-DemiBold", "Futura-Bold", "SignPainter-HouseScript"},
        {"vintage", "Copperplate-Bold", "Optima-Regular", "Optima-Bold", "Copperplate-Bold", "SnellRoundhand-Bold"},
        {"slab", "Superclarendon-Bold", "Charter-Roman", "Charter-Bold", "Superclarendon-Black", "SignPainter-HouseScript"},
        {"humanist", "Optima-Bold", "Optima-Regular", "Optima-Bold", "GillSans-Bold", "SnellRoundhand-Bold"},
        {"script", "SignPainter-HouseScript", "AvenirNext-Regular", "AvenirNext-DemiBold", "SignPainter-HouseScript", "SnellRoundhand-Bold"},
        {"techno", "DINAlternate-Bold", "AvenirNext-Regular", "AvenirNext-DemiBold", "DINCondensed-Bold", "AvenirNext-UltraLight"},
        {"editorial", "HoeflerText-Black", "Seravek", "Seravek-Bold", "HoeflerText-Black", "SavoyeLetPlain"},
        {"bebas", "BebasNeue-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "BebasNeue-Regular", "KaushanScript-Regular"},
        {"anton", "Anton-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "Anton-Regular", "Pacifico-Regular"},
        {"archivo", "ArchivoBlack-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "ArchivoBlack-Regular", "Lobster-Regular"},
        {"passion", "PassionOne-Bold", "AvenirNext-Regular", "AvenirNext-DemiBold", "PassionOne-Bold", "Pacifico-Regular"},
        {"bowlby", "BowlbyOneSC-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "BowlbyOneSC-Regular", "KaushanScript-Regular"},
        {"comic", "Bangers-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "Bangers-Regular", "GochiHand-Regular"},
        {"fjalla", "FjallaOne-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "FjallaOne-Regular", "Pacifico-Regular"},
        {"barlow", "BarlowCondensed-ExtraBold", "BarlowCondensed-Medium", "BarlowCondensed-SemiBold", "BarlowCondensed-ExtraBold", "KaushanScript-Regular"},
        {"alfa", "AlfaSlabOne-Regular", "Arvo", "Arvo-Bold", "AlfaSlabOne-Regular", "Lobster-Regular"},
        {"zilla", "ZillaSlab-Bold", "AvenirNext-Regular", "ZillaSlab-SemiBold", "ZillaSlab-Bold", "Sacramento-Regular"},
        {"fatface", "AbrilFatface-Regular", "AvenirNext-Regular", "AvenirNext-Medium", "AbrilFatface-Regular", "GreatVibes-Regular"},
        {"dmserif", "DMSerifDisplay-Regular", "AvenirNext-Regular", "AvenirNext-Medium", "DMSerifDisplay-Regular", "Allura-Regular"},
        {"prata", "Prata-Regular", "AvenirNext-Regular", "AvenirNext-Medium", "Prata-Regular", "Parisienne-Regular"},
        {"rounded", "VarelaRound-Regular", "VarelaRound-Regular", "AvenirNext-DemiBold", "VarelaRound-Regular", "Pacifico-Regular"},
        {"retro", "Righteous-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "Shrikhand-Regular", "Lobster-Regular"},
        {"neon", "Righteous-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "Monoton-Regular", "Pacifico-Regular"},
        {"bungee", "Bungee-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "Bungee-Regular", "Pacifico-Regular"},
        {"stencil", "BlackOpsOne-Regular", "BarlowCondensed-Medium", "BarlowCondensed-SemiBold", "SairaStencilOne-Regular", "KaushanScript-Regular"},
        {"allerta", "AllertaStencil-Regular", "AvenirNext-Regular", "AvenirNext-DemiBold", "SairaStencilOne-Regular", "AvenirNext-UltraLight"},
        {"handwritten", "AmaticSC-Bold", "PatrickHand-Regular", "PatrickHand-Regular", "AmaticSC-Bold", "ShadowsIntoLight"},
        {"grunge", "RubikDirt-Regular", "BarlowCondensed-Medium", "BarlowCondensed-Bold", "RubikDirt-Regular", "KaushanScript-Regular"},
        {"western", "Rye-Regular", "Arvo", "Arvo-Bold", "Rye-Regular", "Sacramento-Regular"},
    });
    return table;
}

// The first 25 trades: the ones that make cards.
const QStringList &LWTemplates::cardSubjects()
{
    static const QStringList list = {
        "contractor", "salon", "restaurant", "realtor", "dj", "auto", "landscaping", "cleaning",
        "photography", "church", "bakery", "coffee", "fitness", "plumbing", "electrician", "law",
        "dental", "pets", "florist", "tech", "moving", "painting", "barber", "events", "yoga"};
    return list;
}

const QStringList &LWTemplates::flyerSubjects()
{
    static const QStringList list = {
        "contractor", "salon", "restaurant", "realtor", "dj", "auto", "landscaping", "cleaning",
        "photography", "church", "yardsale", "party", "opening", "bakery", "fitness", "concert",
        "market", "carwash", "pets", "tutoring"};
    return list;
}

const LWPalette &LWTemplates::palette(const QString &name)
{
    const auto &table = palettes();
    const auto it = table.constFind(name);
    return it != table.cend() ? *it : *table.constFind(QStringLiteral("navyGold"));
}

const LWFontPair &LWTemplates::fonts(const QString &key)
{
    const auto &table = fontPairs();
    const auto it = table.constFind(key);
    return it != table.cend() ? *it : *table.constFind(QStringLiteral("modern"));
}

const LWContent &LWTemplates::subject(const QString &id)
{
    const auto &table = content();
    for (const LWContent &c : table) {
        if (c.id == id)
            return c;
    }
    Q_ASSERT_X(false, "LWTemplates::subject", "unknown trade id");
    return table.front();
}
