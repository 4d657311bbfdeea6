#pragma once

#include "com_global.h"

#include <QColor>
#include <QPixmap>
#include <QString>

namespace Platform {

// The product's colours, shared by every form that draws the mark.
namespace BrandColors {
inline const QColor Brand { 0x07, 0xB8, 0xF8 };
inline const QColor BrandDark { 0x03, 0x86, 0xC6 };
inline const QColor Ink { 57, 57, 57 };
} // namespace BrandColors

// Our mark: a rounded blue tile with a white "Z", the product name beside it
// and, when given, a tagline under the name. The name shrinks until it fits,
// since the fallback font may run wider than Tahoma. Drawn rather than
// shipped as an image so that it stays sharp at any device pixel ratio.
COM_EXPORT QPixmap drawBrandMark(const QSize &size, qreal devicePixelRatio, const QString &tagline = QString());

} // namespace Platform
