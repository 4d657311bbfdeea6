#include "SplashFrmU.h"

#include "BrandMark.h"

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
    imgLogo->setPixmap(Platform::drawBrandMark(QSize(340, 96), ratio, QStringLiteral("Enterprise Resource Planning")));
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
