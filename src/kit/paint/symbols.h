#pragma once
#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;

// The interface's named symbols: rounded outline images in Resources/Symbols beside the
// executable, drawn tinted in one colour. Main thread only.
namespace VKSymbols {

inline const QString magnifyingGlass = QStringLiteral("magnifyingglass");
inline const QString xmarkCircleFill = QStringLiteral("xmark.circle.fill");
inline const QString xmarkCircle = QStringLiteral("xmark.circle");
inline const QString ruler = QStringLiteral("ruler");
inline const QString squareGrid2x2 = QStringLiteral("square.grid.2x2");
inline const QString folder = QStringLiteral("folder");
inline const QString docRichtext = QStringLiteral("doc.richtext");
inline const QString wandAndStars = QStringLiteral("wand.and.stars");
inline const QString photo = QStringLiteral("photo");
inline const QString minusRectangle = QStringLiteral("minus.rectangle");
inline const QString arrowExpand = QStringLiteral("arrow.up.left.and.arrow.down.right");
inline const QString lockFill = QStringLiteral("lock.fill");
inline const QString lockOpen = QStringLiteral("lock.open");
inline const QString eye = QStringLiteral("eye");
inline const QString eyeSlash = QStringLiteral("eye.slash");
inline const QString trash = QStringLiteral("trash");
inline const QString arrowUp = QStringLiteral("arrow.up");
inline const QString arrowDown = QStringLiteral("arrow.down");
inline const QString arrowUpToLine = QStringLiteral("arrow.up.to.line");
inline const QString arrowDownToLine = QStringLiteral("arrow.down.to.line");
inline const QString cursorArrow = QStringLiteral("cursorarrow");
inline const QString textFormat = QStringLiteral("textformat");
inline const QString rectangle = QStringLiteral("rectangle");
inline const QString circle = QStringLiteral("circle");
inline const QString triangle = QStringLiteral("triangle");
inline const QString lineDiagonal = QStringLiteral("line.diagonal");
inline const QString hexagon = QStringLiteral("hexagon");
inline const QString star = QStringLiteral("star");
inline const QString leaf = QStringLiteral("leaf");
inline const QString squareOnSquare = QStringLiteral("square.on.square");
inline const QString photoBadgePlus = QStringLiteral("photo.badge.plus");
inline const QString plusMagnifyingGlass = QStringLiteral("plus.magnifyingglass");
inline const QString minusMagnifyingGlass = QStringLiteral("minus.magnifyingglass");
inline const QString arrowRight = QStringLiteral("arrow.right");
inline const QString arrowLeftArrowRight = QStringLiteral("arrow.left.arrow.right");
inline const QString alignLeft = QStringLiteral("align.horizontal.left");
inline const QString alignHCenter = QStringLiteral("align.horizontal.center");
inline const QString alignRight = QStringLiteral("align.horizontal.right");
inline const QString alignTop = QStringLiteral("align.vertical.top");
inline const QString alignVCenter = QStringLiteral("align.vertical.center");
inline const QString alignBottom = QStringLiteral("align.vertical.bottom");
inline const QString distributeHorizontal = QStringLiteral("distribute.horizontal.center");
inline const QString distributeVertical = QStringLiteral("distribute.vertical.center");
inline const QString group = QStringLiteral("rectangle.3.group");
inline const QString groupFill = QStringLiteral("rectangle.3.group.fill");
inline const QString lock = QStringLiteral("lock");
inline const QString chevronDown = QStringLiteral("chevron.down");
inline const QString textAlignLeft = QStringLiteral("text.alignleft");
inline const QString textAlignCenter = QStringLiteral("text.aligncenter");
inline const QString textAlignRight = QStringLiteral("text.alignright");
inline const QString textJustify = QStringLiteral("text.justify");
inline const QString arrowUpAndDown = QStringLiteral("arrow.up.and.down");
inline const QString arrowUpAndDownText = QStringLiteral("arrow.up.and.down.text.horizontal");
inline const QString squareAndArrowUp = QStringLiteral("square.and.arrow.up");
inline const QString checkmarkSeal = QStringLiteral("checkmark.seal");
inline const QString checkmarkCircle = QStringLiteral("checkmark.circle");
inline const QString rectangleOnRectangle = QStringLiteral("rectangle.on.rectangle");
inline const QString leafFill = QStringLiteral("leaf.fill");
inline const QString power = QStringLiteral("power");
inline const QString pencilAndOutline = QStringLiteral("pencil.and.outline");
inline const QString arrowUturnBackward = QStringLiteral("arrow.uturn.backward");
inline const QString arrowUturnForward = QStringLiteral("arrow.uturn.forward");
inline const QString questionmark = QStringLiteral("questionmark");

// A symbol name and the image file that draws it.
struct Entry {
    QString name;
    QString file;
};
const QList<Entry> &table();

// Resources/Symbols beside the executable; nothing when there is no such folder.
[[nodiscard]] std::optional<QString> resourceFolder();
// The image file of a name; nothing for an unknown name or a missing file.
[[nodiscard]] std::optional<QString> fileFor(const QString &name);

// Draws the symbol centred in `box` (aspect kept), rendered at the painter's device pixels and
// tinted with `colour`. Renders are cached by name, device size and colour. An unknown name, a
// missing or unreadable file draws nothing.
void paint(QPainter &painter, const QString &name, const QRectF &box, const QColor &colour);

} // namespace VKSymbols
