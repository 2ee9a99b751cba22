#pragma once
#include <QIcon>
#include <QString>
#include <array>

// The application's icon as the build lays it out: PNGs in the hicolor layout under
// Resources/icons/hicolor beside the executable (and, installed, under share/icons/hicolor).
namespace LWAppIcon {
inline const QString name = QStringLiteral("velk-leafwrighter");
inline constexpr std::array<int, 8> sizes{16, 24, 32, 48, 64, 128, 256, 512};

// Resources/icons/hicolor beside the executable. Needs the application object.
QString folder();
// <folder>/<size>x<size>/apps/velk-leafwrighter.png
QString file(const QString &folder, int size);
// Every size present in the folder; a null icon when none is.
QIcon load(const QString &folder);
inline QIcon load() { return load(folder()); }
} // namespace LWAppIcon
