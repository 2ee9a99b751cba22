#pragma once
#include <QString>
#include <QUrl>

// The application's fixed facts.
namespace LWInfo {
inline const QString appName = QStringLiteral("VELK Leafwrighter");
inline const QString creditLine = QStringLiteral("by Velkmoor (VELK)");
inline const QString fileExtension = QStringLiteral("velkfolio");
inline const QString fileTypeName = QStringLiteral("VELK Leafwrighter Design");
inline const QString fileUTI = QStringLiteral("com.velkmoor.leafwrighter.design");

// The maker's web site; made on first use.
const QUrl &website();
} // namespace LWInfo
