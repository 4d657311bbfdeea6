#include "BrandMark.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace Platform {

QPixmap drawBrandMark(const QSize &size, qreal devicePixelRatio, const QString &tagline)
{
    using namespace BrandColors;
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const qreal margin = size.height() >= 64 ? 4 : 2;
    const qreal tile = size.height() - 2 * margin;
    const QRectF tileRect(margin, margin, tile, tile);
    QLinearGradient fill(tileRect.topLeft(), tileRect.bottomRight());
    fill.setColorAt(0, Brand);
    fill.setColorAt(1, BrandDark);
    QPainterPath rounded;
    rounded.addRoundedRect(tileRect, tile * 0.2, tile * 0.2);
    p.fillPath(rounded, fill);

    p.setPen(QPen(Qt::white, tile * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal m = tile * 0.27;
    const QPointF z[] = { tileRect.topLeft() + QPointF(m, m), tileRect.topRight() + QPointF(-m, m),
                          tileRect.bottomLeft() + QPointF(m, -m), tileRect.bottomRight() + QPointF(-m, -m) };
    p.drawPolyline(z, 4);

    const qreal left = tileRect.right() + tile * 0.25;
    const qreal nameHeight = tagline.isEmpty() ? size.height() : size.height() * 0.66;
    const QRectF nameRect(left, 0, size.width() - left, nameHeight);
    const Qt::Alignment align = Qt::AlignLeft | (tagline.isEmpty() ? Qt::AlignVCenter : Qt::AlignBottom);
    const QString zelt = QStringLiteral("Zelt");
    const QString erp = QStringLiteral("ERP");
    QFont font(QStringLiteral("Tahoma"));
    font.setBold(true);
    for (int px = int(tile * 0.55); px >= 8; --px) {
        font.setPixelSize(px);
        if (QFontMetricsF(font).horizontalAdvance(zelt + erp) <= nameRect.width())
            break;
    }
    p.setFont(font);
    p.setPen(Ink);
    p.drawText(nameRect, align, zelt);
    p.setPen(BrandDark);
    p.drawText(nameRect.adjusted(QFontMetricsF(font).horizontalAdvance(zelt), 0, 0, 0), align, erp);

    if (!tagline.isEmpty()) {
        QFont small(QStringLiteral("Tahoma"));
        small.setPixelSize(qMax(10, int(tile * 0.14)));
        p.setFont(small);
        p.setPen(QColor(120, 120, 120));
        p.drawText(QRectF(left + 2, size.height() * 0.68, size.width() - left, size.height() * 0.3),
                   Qt::AlignLeft | Qt::AlignTop, tagline);
    }
    return pixmap;
}

} // namespace Platform
