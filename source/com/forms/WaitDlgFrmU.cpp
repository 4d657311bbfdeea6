#include "WaitDlgFrmU.h"

#include "BrandMark.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int FormWidth = 305;
constexpr int FormHeight = 143;
// room for the Cancel button below the text
constexpr int CancellableHeight = 178;
constexpr int TickMs = 120;

} // namespace

const Platform::ResourceString sWaitCancel = { "sWaitCancel", "Cancel" };

TActivityIndicator::TActivityIndicator(QWidget *AParent)
    : QWidget(AParent)
    , FTimer(new QTimer(this))
    , FDotColor(0x07, 0xB8, 0xF8, 0xE6)
{
    FTimer->setInterval(TickMs);
    connect(FTimer, &QTimer::timeout, this, &TActivityIndicator::tick);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TActivityIndicator::start()
{
    FPosition = 0;
    FTimer->start();
    update();
}

void TActivityIndicator::stop()
{
    FTimer->stop();
    update();
}

bool TActivityIndicator::isActive() const
{
    return FTimer->isActive();
}

void TActivityIndicator::tick()
{
    FPosition = (FPosition + 1) % FDotCount;
    update();
}

void TActivityIndicator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal spacing = qreal(width()) / FDotCount;
    const qreal radius = qMin(spacing, qreal(height())) * 0.18;
    const qreal cy = height() / 2.0;
    for (int i = 0; i < FDotCount; ++i) {
        QColor c = FDotColor;
        qreal r = radius;
        if (isActive()) {
            // the highlighted dot is full size, its neighbours fade out
            const int distance = qAbs(i - FPosition);
            if (distance == 0)
                r = radius * 1.5;
            else
                c.setAlphaF(c.alphaF() * (distance == 1 ? 0.6 : 0.3));
        } else {
            c.setAlphaF(c.alphaF() * 0.3);
        }
        p.setBrush(c);
        p.drawEllipse(QPointF(spacing * (i + 0.5), cy), r, r);
    }
}

TWaitDlgFrm::TWaitDlgFrm(QWidget *AOwner)
    : QWidget(AOwner, Qt::Window | Qt::FramelessWindowHint)
    , pnlMain(new QFrame(this))
    , imgLogo(new QLabel(pnlMain))
    , dxActivityIndicator1(new TActivityIndicator(pnlMain))
    , cxLabel1(new QLabel(pnlMain))
    , btnCancel(new QPushButton(pnlMain))
{
    setObjectName(QStringLiteral("WaitDlgFrm"));
    setFixedSize(FormWidth, FormHeight);
    setFont(QFont(QStringLiteral("Tahoma")));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    pnlMain->setGeometry(0, 0, FormWidth, FormHeight);
    pnlMain->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlMain->setLineWidth(1);

    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(73, 25, 135, 42);
    imgLogo->setPixmap(Platform::drawBrandMark(QSize(135, 42), devicePixelRatioF()));
    // a picture only: it must not take clicks (disabling it would grey it)
    imgLogo->setAttribute(Qt::WA_TransparentForMouseEvents);

    dxActivityIndicator1->setObjectName(QStringLiteral("dxActivityIndicator1"));
    dxActivityIndicator1->setGeometry(40, 70, 225, 29);

    cxLabel1->setObjectName(QStringLiteral("cxLabel1"));
    cxLabel1->setGeometry(1, 96, 302, 28);
    cxLabel1->setAlignment(Qt::AlignCenter);
    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setPixelSize(13);
    labelFont.setBold(true);
    cxLabel1->setFont(labelFont);
    QPalette labelPal = cxLabel1->palette();
    labelPal.setColor(QPalette::WindowText, QColor(57, 57, 57));
    cxLabel1->setPalette(labelPal);
    cxLabel1->setText(QStringLiteral("Loading, please wait..."));

    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(107, 134, 91, 30);
    btnCancel->setText(sWaitCancel.text());
    btnCancel->hide();
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        if (FOnCancel)
            FOnCancel();
    });

    centreOnScreen();
}

TWaitDlgFrm::~TWaitDlgFrm() = default;

void TWaitDlgFrm::SetOnCancel(std::function<void()> AOnCancel)
{
    FOnCancel = std::move(AOnCancel);
}

TWaitDlgFrm *WaitDlgFrmOf(const TWaitDlg *ADlg)
{
    return ADlg ? dynamic_cast<TWaitDlgFrm *>(ADlg->View()) : nullptr;
}

void TWaitDlgFrm::SetCancellable(bool ACancellable)
{
    if (FCancellable == ACancellable)
        return;
    FCancellable = ACancellable;
    const int height = ACancellable ? CancellableHeight : FormHeight;
    setFixedSize(FormWidth, height);
    pnlMain->setGeometry(0, 0, FormWidth, height);
    btnCancel->setText(sWaitCancel.text());
    btnCancel->setVisible(ACancellable);
    centreOnScreen();
}

void TWaitDlgFrm::centreOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TWaitDlgFrm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TWaitDlgFrm::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    FormHide();
}

void TWaitDlgFrm::FormShow()
{
    // the screen may have changed since the last showing
    centreOnScreen();
    dxActivityIndicator1->start();
}

void TWaitDlgFrm::FormHide()
{
    dxActivityIndicator1->stop();
}
