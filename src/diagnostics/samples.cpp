#include "diagnostics/snapshot.h"

#include "model/document.h"
#include "model/text.h"
#include "render/icons/icons.h"
#include "render/renderer.h"
#include "render/text/textlayout.h"
#include "templates/templates.h"

#include <QDir>
#include <QPainter>

namespace LWSnapshot
{

namespace
{

constexpr double cardSide = 756, pageWidth = 765;
constexpr int gap = 30; // around and between a card's sides
const QColor compositeGrey = QColor::fromRgbF(0.82f, 0.84f, 0.86f);

bool chosenByDefault(const QString &baseID)
{
    bool ok = false;
    const int n = baseID.right(3).toInt(&ok, 10);
    return ok && n % 9 == 1;
}

// The card's sides next to each other on grey; none when a side cannot be drawn.
std::optional<QImage> cardComposite(const LWDocument &doc)
{
    if (doc.pages.size() < 2) // a sample shows both sides: a lone front is a file not made
        return std::nullopt;
    const double scale = cardSide / doc.width;
    const std::optional<QImage> front = LWRenderer::bitmap(doc, 0, scale, false, true);
    const std::optional<QImage> back = LWRenderer::bitmap(doc, 1, scale, false, true);
    if (!front || !back)
        return std::nullopt;
    const int fw = front->width(), bw = back->width(), h = front->height();
    return LWRenderer::bitmap(fw + bw + 3 * gap, h + 2 * gap, true, [&](QPainter &p) {
        p.fillRect(QRect(0, 0, fw + bw + 3 * gap, h + 2 * gap), compositeGrey);
        // Qt's origin is top-left already: the sides are drawn as they are.
        p.drawImage(QRectF(gap, gap, fw, front->height()), *front);
        p.drawImage(QRectF(fw + 2 * gap, gap, bw, back->height()), *back);
    });
}

std::optional<QImage> sample(const LWDocument &doc)
{
    if (!(doc.width > 0))
        return std::nullopt;
    if (doc.kind == LWDocKind::businessCard)
        return cardComposite(doc);
    return LWRenderer::bitmap(doc, 0, pageWidth / doc.width, false, true);
}

} // namespace

QList<LWTemplate> sampleTemplates(const std::optional<QString> &only, const QList<LWTemplate> &from)
{
    QList<LWTemplate> chosen;
    for (const LWTemplate &t : from) {
        const bool take = !only                                       ? chosenByDefault(t.baseID)
                          : only->isEmpty() || *only == u"all" ? true
                                                                      : t.id.startsWith(*only);
        if (take)
            chosen.append(t);
    }
    return chosen;
}

QStringList writeSamples(const QString &folder, const std::optional<QString> &only, const QList<LWTemplate> &from)
{
    QStringList failed;
    const QDir dir(folder);
    for (const LWTemplate &t : sampleTemplates(only, from)) {
        const QString file = dir.absoluteFilePath(t.id + QStringLiteral(".png"));
        std::optional<QImage> image = sample(t.make());
        if (!image || !writePNG(std::move(*image), file))
            failed << file;
    }
    return failed;
}

QStringList writeSamples(const QString &folder, const std::optional<QString> &only)
{
    return writeSamples(folder, only, LWTemplates::all());
}

bool writeIconSheet(const QString &file)
{
    constexpr int columns = 10, cell = 120;
    const QStringList ids = LWIcons::names();
    const int rows = int((ids.size() + columns - 1) / columns);
    const QColor ink = LWColor::hex(0x1F3A5F).qcolor();
    std::optional<QImage> image = LWRenderer::bitmap(columns * cell, rows * cell, true, [&](QPainter &p) {
        for (int i = 0; i < ids.size(); ++i) {
            const double x = (i % columns) * cell, y = (i / columns) * cell;
            if (std::optional<QPainterPath> path = LWIcons::path(ids[i], LWRect(x + 25, y + 12, 70, 70))) {
                path->setFillRule(Qt::WindingFill);
                p.fillPath(*path, ink);
            }
            LWText label(ids[i], QStringLiteral("AvenirNext-Medium"), 11, LWColor::black);
            label.align = LWTextAlign::center;
            LWTextLayout::draw(label, LWRect(x, y + 92, cell, 16), p);
        }
    });
    return image && writePNG(std::move(*image), file);
}

} // namespace LWSnapshot
