// Every template of the library, built and checked as a user would get it: savable, printable and
// free of print problems. One case per size list, so CTest runs the five lists in parallel.
#include "layouttest.h"
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/icons/icons.h"
#include "render/pdf/pdffile.h"
#include "render/preflight.h"
#include "templates/cardlayouts.h"
#include "templates/flyerlayouts.h"
#include "templates/templates.h"

#include <gtest/gtest.h>

#include <QSet>

#include <algorithm>

#include <cmath>
#include <numeric>

namespace {

const QString shortOfBleed = QStringLiteral("stops short of the bleed line");
const QString emptyPhoto = QStringLiteral("Empty photo frame ");

QStringList names(const QList<LWPage> &pages)
{
    QStringList out;
    for (const LWPage &page : pages)
        for (const LWElement &e : page.elements)
            out << e.name;
    return out;
}

// The element names of the template's style built for its trade (names depend on neither the
// palette, the fonts nor the size).
QStringList layoutNames(const LWTemplate &t)
{
    const auto trade = std::find_if(LWTemplates::content().cbegin(), LWTemplates::content().cend(),
                                    [&](const LWContent &c) { return c.category == t.category; });
    if (trade == LWTemplates::content().cend())
        return {};
    for (const LWCardLayout &layout : LWCardLayouts::all())
        if (t.kind == LWDocKind::businessCard && layout.name == t.style) {
            const auto [front, back] = layout.make(card(*trade));
            return names({front, back});
        }
    for (const LWFlyerLayout &layout : LWFlyerLayouts::all())
        if (t.kind == LWDocKind::flyer && layout.name == t.style)
            return names({layout.make(flyer(*trade))});
    return {};
}

struct SizeList {
    const char *name;
    const QList<LWTemplate> &(*list)();
};
const SizeList sizeLists[] = {{"cards", LWTemplates::cards},
                              {"cardsEU", LWTemplates::cardsEU},
                              {"flyers", LWTemplates::flyers},
                              {"flyersA4", LWTemplates::flyersA4},
                              {"flyersHalf", LWTemplates::flyersHalf}};

class Library : public ::testing::TestWithParam<SizeList>
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_P(Library, EveryTemplateSavesPrintsAndPassesPreflight)
{
    const QList<LWTemplate> &list = GetParam().list();
    ASSERT_EQ(list.size(), 100);
    const QStringList icons = LWIcons::names();
    for (const LWTemplate &t : list) {
        const LWDocument doc = t.make();
        const std::string id = t.id.toStdString();

        // Saving fails on any NaN or infinite number, so this also proves every number finite.
        const auto bytes = LWDocumentIO::encode(doc);
        ASSERT_TRUE(bytes.ok()) << id << " " << bytes.errorDescription().toStdString();
        const auto back = LWDocumentIO::decode(bytes.value());
        ASSERT_TRUE(back.ok()) << id;
        EXPECT_TRUE(back.value() == doc) << id;

        // Every size of a design holds the elements of its style's layout for its trade.
        EXPECT_EQ(names(doc.pages), layoutNames(t)) << id;

        for (const LWElement &e : doc.allElements()) {
            const std::string name = id + " " + e.name.toStdString();
            EXPECT_GE(e.frame.width(), 0) << name;
            EXPECT_GE(e.frame.height(), 0) << name;
            EXPECT_TRUE(!e.icon || icons.contains(*e.icon)) << name << " " << e.icon->toStdString();
            if (e.text) {
                EXPECT_TRUE(LWFonts::isInstalled(e.text->fontName)) << name << " " << e.text->fontName.toStdString();
                EXPECT_TRUE(e.text->placeholder) << name;
            }
        }

        QList<int> pages(doc.pages.size());
        std::iota(pages.begin(), pages.end(), 0);
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, pages, true);
        ASSERT_TRUE(pdf) << id;
        EXPECT_EQ(LWPdfFile::pageBoxes(*pdf).size(), doc.pages.size()) << id;

        int emptyPhotos = 0;
        for (const LWExport::Issue &issue : LWExport::preflight(doc)) {
            const std::string what = id + " " + issue.message.toStdString();
            EXPECT_NE(issue.level, LWExport::Issue::Level::problem) << what;
            EXPECT_FALSE(issue.message.contains(shortOfBleed)) << what;
            emptyPhotos += issue.message.startsWith(emptyPhoto);
        }
        EXPECT_EQ(emptyPhotos, t.style == QStringLiteral("Photo Diagonal") ? 1 : 0) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Library, ::testing::ValuesIn(sizeLists),
                         [](const ::testing::TestParamInfo<SizeList> &info) { return std::string(info.param.name); });

// No layout of a family is a copy of another: for one kit their element names all differ.
class Families : public ::testing::TestWithParam<const char *>
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_P(Families, EveryLayoutHasItsOwnElements)
{
    const LWContent c = trade("party");
    QList<QStringList> cards, flyers;
    for (const LWCardLayout &layout : LWCardLayouts::all()) {
        const auto [front, back] = layout.make(card(c));
        cards << names({front, back});
    }
    for (const LWFlyerLayout &layout : LWFlyerLayouts::all())
        flyers << names({layout.make(flyer(c))});
    for (const QList<QStringList> *family : {&cards, &flyers}) {
        ASSERT_EQ(family->size(), 10);
        EXPECT_EQ(QSet<QStringList>(family->begin(), family->end()).size(), 10);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Families, ::testing::Values("families"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

} // namespace
