#include "editor/tool.h"

#include <array>

namespace LWTools {

const Info &info(LWTool tool)
{
    static const std::array<Info, 9> table{{
        {QStringLiteral("Select / Move"), QStringLiteral("cursorarrow"), QStringLiteral("v")},
        {QStringLiteral("Text"), QStringLiteral("textformat"), QStringLiteral("t")},
        {QStringLiteral("Rectangle"), QStringLiteral("rectangle"), QStringLiteral("r")},
        {QStringLiteral("Ellipse"), QStringLiteral("circle"), QStringLiteral("e")},
        {QStringLiteral("Line"), QStringLiteral("line.diagonal"), QStringLiteral("l")},
        {QStringLiteral("Polygon"), QStringLiteral("hexagon"), QStringLiteral("p")},
        {QStringLiteral("Star"), QStringLiteral("star"), QStringLiteral("s")},
        {QStringLiteral("Icon"), QStringLiteral("leaf"), QStringLiteral("i")},
        {QStringLiteral("Photo Frame"), QStringLiteral("photo"), QStringLiteral("f")},
    }};
    static_assert(std::tuple_size_v<decltype(table)> == LWEnumInfo<LWTool>::names.size());
    return table[size_t(tool)];
}

} // namespace LWTools
