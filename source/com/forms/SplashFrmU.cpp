#include "SplashFrmU.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

TSplashFrm *SplashFrm = nullptr;

namespace {

constexpr int FormWidth = 613;
constexpr int FormHeight = 307;
const QColor Brand(0x07, 0xB8, 0xF8);
const QColor BrandDark(0x03, 0x86, 0xC6);
const QColor Ink(57, 57, 57);

// Our mark at splash size: a blue tile with a white "Z", the product name
// and a line under it.
QPixmap drawLogo(const QSize &size, qreal ratio)
{
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const qreal tile = size.height() - 8;
    const QRectF tileRect(4, 4, tile, tile);
    QLinearGradient fill(tileRect.topLeft(), tileRect.bottomRight());
    fill.setColorAt(0, Brand);
    fill.setColorAt(1, BrandDark);
    QPainterPath rounded;
    rounded.addRoundedRect(tileRect, tile * 0.18, tile * 0.18);
    p.fillPath(rounded, fill);

    p.setPen(QPen(Qt::white, tile * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal m = tile * 0.27;
    const QPointF z[] = {
        tileRect.topLeft() + QPointF(m, m),
        tileRect.topRight() + QPointF(-m, m),
        tileRect.bottomLeft() + QPointF(m, -m),
        tileRect.bottomRight() + QPointF(-m, -m),
    };
    p.drawPolyline(z, 4);

    const qreal textLeft = tileRect.right() + tile * 0.25;
    QFont name(QStringLiteral("Tahoma"));
    name.setPixelSize(int(tile * 0.52));
    name.setBold(true);
    p.setFont(name);
    const QRectF nameRect(textLeft, 0, size.width() - textLeft, size.height() * 0.66);
    const QString zelt = QStringLiteral("Zelt");
    p.setPen(Ink);
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignBottom, zelt);
    p.setPen(Brand);
    p.drawText(nameRect.adjusted(QFontMetricsF(name).horizontalAdvance(zelt), 0, 0, 0),
               Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("ERP"));

    QFont line(QStringLiteral("Tahoma"));
    line.setPixelSize(qMax(10, int(tile * 0.14)));
    p.setFont(line);
    p.setPen(QColor(120, 120, 120));
    p.drawText(QRectF(textLeft + 2, size.height() * 0.68, size.width() - textLeft, size.height() * 0.3),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Enterprise Resource Planning"));
    return pixmap;
}

} // namespace

TSplashFrm::TSplashFrm(QWidget *AOwner)
    : QWidget(AOwner, Qt::Window | Qt::FramelessWindowHint)
    , grpMain(new QGroupBox(this))
    , imgLogo(new QLabel(grpMain))
    , lblStatus(new QLabel(grpMain))
{
    setObjectName(QStringLiteral("SplashFrm"));
    setWindowTitle(QStringLiteral("ZeltERP"));
    setFixedSize(FormWidth, FormHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    grpMain->setObjectName(QStringLiteral("grpMain"));
    grpMain->setStyleSheet(QStringLiteral("#grpMain { background: white; border: 1px solid #d5dde6; "
                                          "border-top: 4px solid #07B8F8; margin: 0; }"));

    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    const qreal ratio = devicePixelRatioF();
    imgLogo->setPixmap(drawLogo(QSize(340, 96), ratio));
    imgLogo->setAlignment(Qt::AlignCenter);

    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont font = lblStatus->font();
    font.setPixelSize(16);
    font.setBold(true);
    lblStatus->setFont(font);
    lblStatus->setStyleSheet(QStringLiteral("color: #393939;"));
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setText(QStringLiteral("Loading, please wait..."));

    auto *inner = new QVBoxLayout(grpMain);
    inner->setContentsMargins(24, 40, 24, 36);
    inner->addStretch(1);
    inner->addWidget(imgLogo, 0, Qt::AlignHCenter);
    inner->addSpacing(28);
    inner->addWidget(lblStatus);
    inner->addStretch(1);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(grpMain);

    centreOnScreen();
}

TSplashFrm::~TSplashFrm() = default;

void TSplashFrm::showEvent(QShowEvent *event)
{
    // The screen may have changed since the last showing.
    centreOnScreen();
    QWidget::showEvent(event);
}

void TSplashFrm::centreOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}
