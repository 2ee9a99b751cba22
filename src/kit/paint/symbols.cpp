#include "kit/paint/symbols.h"

#include "kit/paint/paint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <memory>

namespace VKSymbols {

const QList<Entry> &table()
{
    static const QList<Entry> entries = {
        {magnifyingGlass, QStringLiteral("search.svg")},
        {xmarkCircleFill, QStringLiteral("cancel-fill.svg")},
        {xmarkCircle, QStringLiteral("cancel.svg")},
        {ruler, QStringLiteral("straighten.svg")},
        {squareGrid2x2, QStringLiteral("grid_view.svg")},
        {folder, QStringLiteral("folder.svg")},
        {docRichtext, QStringLiteral("description.svg")},
        {wandAndStars, QStringLiteral("wand_stars.svg")},
        {photo, QStringLiteral("image.svg")},
        {minusRectangle, QStringLiteral("indeterminate_check_box.svg")},
        {arrowExpand, QStringLiteral("open_in_full.svg")},
        {lockFill, QStringLiteral("lock-fill.svg")},
        {lockOpen, QStringLiteral("lock_open.svg")},
        {eye, QStringLiteral("visibility.svg")},
        {eyeSlash, QStringLiteral("visibility_off.svg")},
        {trash, QStringLiteral("delete.svg")},
        {arrowUp, QStringLiteral("arrow_upward.svg")},
        {arrowDown, QStringLiteral("arrow_downward.svg")},
        {arrowUpToLine, QStringLiteral("vertical_align_top.svg")},
        {arrowDownToLine, QStringLiteral("vertical_align_bottom.svg")},
        {cursorArrow, QStringLiteral("arrow_selector_tool.svg")},
        {textFormat, QStringLiteral("text_fields.svg")},
        {rectangle, QStringLiteral("rectangle.svg")},
        {circle, QStringLiteral("circle.svg")},
        {triangle, QStringLiteral("change_history.svg")},
        {lineDiagonal, QStringLiteral("diagonal_line.svg")},
        {hexagon, QStringLiteral("hexagon.svg")},
        {star, QStringLiteral("star.svg")},
        {leaf, QStringLiteral("eco.svg")},
        {squareOnSquare, QStringLiteral("filter_none.svg")},
        {photoBadgePlus, QStringLiteral("add_photo_alternate.svg")},
        {plusMagnifyingGlass, QStringLiteral("zoom_in.svg")},
        {minusMagnifyingGlass, QStringLiteral("zoom_out.svg")},
        {arrowRight, QStringLiteral("arrow_forward.svg")},
        {arrowLeftArrowRight, QStringLiteral("swap_horiz.svg")},
        {alignLeft, QStringLiteral("align_horizontal_left.svg")},
        {alignHCenter, QStringLiteral("align_horizontal_center.svg")},
        {alignRight, QStringLiteral("align_horizontal_right.svg")},
        {alignTop, QStringLiteral("align_vertical_top.svg")},
        {alignVCenter, QStringLiteral("align_vertical_center.svg")},
        {alignBottom, QStringLiteral("align_vertical_bottom.svg")},
        {distributeHorizontal, QStringLiteral("horizontal_distribute.svg")},
        {distributeVertical, QStringLiteral("vertical_distribute.svg")},
        {group, QStringLiteral("ad_group.svg")},
        {groupFill, QStringLiteral("ad_group-fill.svg")},
        {lock, QStringLiteral("lock.svg")},
        {chevronDown, QStringLiteral("keyboard_arrow_down.svg")},
        {textAlignLeft, QStringLiteral("format_align_left.svg")},
        {textAlignCenter, QStringLiteral("format_align_center.svg")},
        {textAlignRight, QStringLiteral("format_align_right.svg")},
        {textJustify, QStringLiteral("format_align_justify.svg")},
        {arrowUpAndDown, QStringLiteral("vertical_align_center.svg")},
        {arrowUpAndDownText, QStringLiteral("format_line_spacing.svg")},
        {squareAndArrowUp, QStringLiteral("ios_share.svg")},
        {checkmarkSeal, QStringLiteral("verified.svg")},
        {checkmarkCircle, QStringLiteral("check_circle.svg")},
        {rectangleOnRectangle, QStringLiteral("filter_none.svg")},
        {leafFill, QStringLiteral("eco-fill.svg")},
        {power, QStringLiteral("power_settings_new.svg")},
        {pencilAndOutline, QStringLiteral("edit_square.svg")},
        {arrowUturnBackward, QStringLiteral("undo.svg")},
        {arrowUturnForward, QStringLiteral("redo.svg")},
        {questionmark, QStringLiteral("question_mark.svg")},
    };
    return entries;
}

std::optional<QString> resourceFolder()
{
    if (!QCoreApplication::instance())
        return std::nullopt;
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/Resources/Symbols");
    if (!QFileInfo(dir).isDir())
        return std::nullopt;
    return dir;
}

std::optional<QString> fileFor(const QString &name)
{
    const auto dir = resourceFolder();
    if (!dir)
        return std::nullopt;
    for (const Entry &e : table()) {
        if (e.name != name)
            continue;
        const QString path = QDir(*dir).filePath(e.file);
        return QFileInfo::exists(path) ? std::optional<QString>(path) : std::nullopt;
    }
    return std::nullopt;
}

namespace {

// Loaded renderers by name; an unloadable file is remembered as null.
QSvgRenderer *renderer(const QString &name)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> loaded;
    if (auto it = loaded.constFind(name); it != loaded.constEnd())
        return it->get();
    std::shared_ptr<QSvgRenderer> r;
    if (const auto path = fileFor(name)) {
        r = std::make_shared<QSvgRenderer>(*path);
        if (!r->isValid())
            r.reset();
    }
    loaded.insert(name, r);
    return r.get();
}

QImage tinted(QSvgRenderer &svg, QSize pixels, const QColor &colour)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), colour);
    return image;
}

} // namespace

void paint(QPainter &painter, const QString &name, const QRectF &box, const QColor &colour)
{
    if (box.isEmpty())
        return;
    QSvgRenderer *svg = renderer(name);
    if (!svg)
        return;
    // Fit the image's own aspect into the box, centred.
    const QSizeF natural = svg->viewBoxF().size().isEmpty() ? QSizeF(1, 1) : svg->viewBoxF().size();
    const QSizeF fitted = natural.scaled(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.center() - QPointF(fitted.width(), fitted.height()) / 2, fitted);
    const double scale = VKPaint::deviceScale(painter);
    const QSize pixels(std::max(1, static_cast<int>(std::lround(fitted.width() * scale))),
                       std::max(1, static_cast<int>(std::lround(fitted.height() * scale))));

    static QHash<QString, QImage> cache;
    const QString key = name + QLatin1Char('|') + QString::number(pixels.width()) + QLatin1Char('x') +
                        QString::number(pixels.height()) + QLatin1Char('|') + QString::number(colour.rgba(), 16);
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        if (cache.size() >= 256)
            cache.clear();
        it = cache.insert(key, tinted(*svg, pixels, colour));
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, *it);
    painter.restore();
}

} // namespace VKSymbols
