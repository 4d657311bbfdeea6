#include "MainWindow.h"

#include "AppControllerU.h"
#include "ComDmU.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "MsgDlgU.h"
#include "SideBar.h"
#include "WaitDlgU.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

// The window's own texts; the host registers them beside com's.
const QString HostResourceProduct = QStringLiteral("Host Resource Strings");
const Platform::ResourceString sHeaderNavigation = { "sHeaderNavigation", "Navigation" };
const Platform::ResourceString sLabelMenuFile = { "sLabelMenuFile", "&File" };
const Platform::ResourceString sLabelMenuHome = { "sLabelMenuHome", "&Home" };
const Platform::ResourceString sLabelSignOut = { "sLabelSignOut", "Sign &Out" };
const Platform::ResourceString sLabelExit = { "sLabelExit", "E&xit" };
const Platform::ResourceString sLabelMenuWindow = { "sLabelMenuWindow", "&Window" };
const Platform::ResourceString sLabelCascade = { "sLabelCascade", "&Cascade" };
const Platform::ResourceString sLabelTile = { "sLabelTile", "&Tile" };
const Platform::ResourceString sLabelCloseAll = { "sLabelCloseAll", "C&lose All" };
const Platform::ResourceString sLabelSignedInAs = { "sLabelSignedInAs", "Signed in as" };

const QColor Brand(0x07, 0xB8, 0xF8);
const QColor BrandDark(0x03, 0x86, 0xC6);

QIcon appIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 64, 64);
    fill.setColorAt(0, Brand);
    fill.setColorAt(1, BrandDark);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.fillPath(tile, fill);
    p.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF z[] = { { 18, 18 }, { 46, 18 }, { 18, 46 }, { 46, 46 } };
    p.drawPolyline(z, 4);
    return QIcon(pixmap);
}

// The pictures the server's "icon_index" values choose from: a coloured
// tile with a plain glyph, in small and large sizes.
QIcon glyphIcon(int index, int size)
{
    static const QColor colours[] = { QColor(0x03, 0x86, 0xC6), QColor(0x27, 0xAE, 0x60), QColor(0xE6, 0x7E, 0x22),
                                      QColor(0x8E, 0x44, 0xAD), QColor(0xC0, 0x39, 0x2B), QColor(0x16, 0xA0, 0x85),
                                      QColor(0x2C, 0x3E, 0x50), QColor(0xD3, 0x54, 0x00) };
    const int ratio = 2;
    QPixmap pixmap(size * ratio, size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.22, s * 0.22);
    p.fillPath(tile, colours[index % 8]);
    p.setPen(QPen(Qt::white, qMax(1.2, s / 11), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal m = s * 0.26;
    const QRectF in(m, m, s - 2 * m, s - 2 * m);
    switch (index % 8) {
    case 0: // people
        p.drawEllipse(QPointF(in.center().x(), in.top() + in.height() * 0.28), in.width() * 0.2, in.width() * 0.2);
        p.drawArc(QRectF(in.left(), in.center().y(), in.width(), in.height()), 0, 180 * 16);
        break;
    case 1: // list
        for (int i = 0; i < 3; ++i) {
            const qreal y = in.top() + in.height() * (0.15 + 0.35 * i);
            p.drawLine(QPointF(in.left(), y), QPointF(in.right(), y));
        }
        break;
    case 2: // add
        p.drawLine(QPointF(in.center().x(), in.top()), QPointF(in.center().x(), in.bottom()));
        p.drawLine(QPointF(in.left(), in.center().y()), QPointF(in.right(), in.center().y()));
        break;
    case 3: // report
        for (int i = 0; i < 3; ++i) {
            const qreal x = in.left() + in.width() * (0.1 + 0.4 * i);
            p.drawLine(QPointF(x, in.bottom()), QPointF(x, in.bottom() - in.height() * (0.4 + 0.3 * i)));
        }
        break;
    case 4: // filter
        p.drawPolyline(
            QPolygonF({ in.topLeft(), in.topRight(), QPointF(in.center().x() + in.width() * 0.1, in.center().y()),
                        QPointF(in.center().x() + in.width() * 0.1, in.bottom()),
                        QPointF(in.center().x() - in.width() * 0.1, in.bottom() - in.height() * 0.15),
                        QPointF(in.center().x() - in.width() * 0.1, in.center().y()), in.topLeft() }));
        break;
    case 5: // box
        p.drawRect(in);
        p.drawLine(in.topLeft() + QPointF(0, in.height() * 0.35), in.topRight() + QPointF(0, in.height() * 0.35));
        break;
    case 6: // document
        p.drawRect(in.adjusted(in.width() * 0.1, 0, -in.width() * 0.1, 0));
        p.drawLine(QPointF(in.left() + in.width() * 0.3, in.center().y()),
                   QPointF(in.right() - in.width() * 0.3, in.center().y()));
        break;
    default: // settings
        p.drawEllipse(in.center(), in.width() * 0.42, in.width() * 0.42);
        p.drawEllipse(in.center(), in.width() * 0.12, in.width() * 0.12);
        break;
    }
    return QIcon(pixmap);
}

QList<QIcon> glyphIcons(int size)
{
    QList<QIcon> icons;
    for (int i = 0; i < 16; ++i)
        icons.append(glyphIcon(i, size));
    return icons;
}

// Draws a quiet mark in the middle of the empty child-window area.
class ZeltMdiArea : public QMdiArea
{
public:
    using QMdiArea::QMdiArea;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QMdiArea::paintEvent(event);
        if (!subWindowList().isEmpty())
            return;
        QPainter p(viewport());
        p.setRenderHint(QPainter::TextAntialiasing);
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(28);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0xB8, 0xC4, 0xD2));
        p.drawText(viewport()->rect(), Qt::AlignCenter, QStringLiteral("ZeltERP"));
    }
};

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("ZeltERP"));
    setWindowIcon(appIcon());
    resize(1280, 800);
    setStyleSheet(QStringLiteral(
        "QWidget#sideBarPanel { background: #f4f7fb; border-right: 1px solid #d5dde7; }"
        "QLabel#sideBarTitle { color: #0b2a4a; font-weight: bold; font-size: 13px; padding: 10px 12px 6px 12px; }"
        "QStatusBar { background: #0b2a4a; color: white; }"
        "QStatusBar QLabel { color: white; padding: 0 8px; }"
        "QStatusBar::item { border: none; }"));

    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto *panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("sideBarPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setFixedWidth(250);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    m_navigationTitle = new QLabel(panel);
    m_navigationTitle->setObjectName(QStringLiteral("sideBarTitle"));
    panelLayout->addWidget(m_navigationTitle);
    m_sideBar = new Platform::SideBar(panel);
    m_sideBar->setObjectName(QStringLiteral("SideBar"));
    m_sideBar->setSmallImages(glyphIcons(16));
    m_sideBar->setLargeImages(glyphIcons(24));
    // The first item is ours: it survives every menu reload and is what
    // the "-" entries of the menus link to, so it shows as a separator.
    Platform::SideBarItem *first = m_sideBar->addItem(QStringLiteral("-"));
    first->setObjectName(QStringLiteral("SideBarSeparator"));
    panelLayout->addWidget(m_sideBar, 1);
    row->addWidget(panel);

    m_mdiArea = new ZeltMdiArea(central);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    m_mdiArea->setBackground(QColor(0xEA, 0xEF, 0xF5));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    row->addWidget(m_mdiArea, 1);
    setCentralWidget(central);

    m_activeFormLabel = new QLabel(this);
    m_activeFormLabel->setObjectName(QStringLiteral("ActiveFormLabel"));
    m_customerLabel = new QLabel(this);
    m_customerLabel->setObjectName(QStringLiteral("CustomerLabel"));
    m_userLabel = new QLabel(this);
    m_userLabel->setObjectName(QStringLiteral("UserLabel"));
    statusBar()->addWidget(m_activeFormLabel, 1);
    statusBar()->addPermanentWidget(m_customerLabel);
    statusBar()->addPermanentWidget(m_userLabel);
    statusBar()->setSizeGripEnabled(false);

    buildMenus();

    Platform::ResourceStringRepository::instance().registerProduct(
        HostResourceProduct,
        { &sHeaderNavigation, &sLabelMenuFile, &sLabelMenuHome, &sLabelSignOut, &sLabelExit, &sLabelMenuWindow,
          &sLabelCascade, &sLabelTile, &sLabelCloseAll, &sLabelSignedInAs });
    TranslationChanged();
    Platform::ResourceStringRepository::instance().addListener(this);
}

MainWindow::~MainWindow()
{
    Platform::ResourceStringRepository::instance().unregisterProduct(HostResourceProduct);
}

void MainWindow::TranslationChanged()
{
    m_navigationTitle->setText(sHeaderNavigation.text());
    m_fileMenu->setTitle(sLabelMenuFile.text());
    m_homeAction->setText(sLabelMenuHome.text());
    m_signOutAction->setText(sLabelSignOut.text());
    m_exitAction->setText(sLabelExit.text());
    m_windowsMenu->setTitle(sLabelMenuWindow.text());
    m_cascadeAction->setText(sLabelCascade.text());
    m_tileAction->setText(sLabelTile.text());
    m_closeAllAction->setText(sLabelCloseAll.text());
    updateSessionLabels();
}

void MainWindow::buildMenus()
{
    QMenu *file = m_fileMenu = menuBar()->addMenu(QString());
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *home = m_homeAction = file->addAction(QString());
    home->setObjectName(QStringLiteral("actHome"));
    connect(home, &QAction::triggered, this, [this] {
        if (m_controller)
            GuardUserAction([this] { m_controller->LoadWelcomeForm(); });
    });
    file->addSeparator();
    m_signOutAction = file->addAction(QString());
    m_signOutAction->setObjectName(QStringLiteral("actSignOut"));
    connect(m_signOutAction, &QAction::triggered, this, &MainWindow::signOut);
    QAction *exit = m_exitAction = file->addAction(QString());
    exit->setObjectName(QStringLiteral("actExit"));
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    m_windowsMenu = menuBar()->addMenu(QString());
    m_windowsMenu->setObjectName(QStringLiteral("mnuWindow"));
    m_cascadeAction = m_windowsMenu->addAction(QString(), m_mdiArea, &QMdiArea::cascadeSubWindows);
    m_cascadeAction->setObjectName(QStringLiteral("actCascade"));
    m_tileAction = m_windowsMenu->addAction(QString(), m_mdiArea, &QMdiArea::tileSubWindows);
    m_tileAction->setObjectName(QStringLiteral("actTile"));
    QAction *closeAll = m_closeAllAction = m_windowsMenu->addAction(QString());
    closeAll->setObjectName(QStringLiteral("actCloseAll"));
    connect(closeAll, &QAction::triggered, this, [this] {
        if (m_controller)
            m_controller->CloseAllForms();
    });
}

void MainWindow::attach(TAppController *controller)
{
    m_controller = controller;
    controller->SetMainForm(this);
    // A quick read neither flashes the wait dialog nor blocks the window
    if (WaitDlg)
        WaitDlg->SetShowDelay(TWaitDlg::AppShowDelayMs);
    controller->SetSideBar(m_sideBar);
    controller->SetWindowsMenu(m_windowsMenu);
    controller->SetActiveFormLabel(m_activeFormLabel);
}

void MainWindow::startSession()
{
    updateSessionLabels();
    m_controller->ShowSplash(QStringLiteral("Loading, please wait..."));
    try {
        m_controller->LoadAccessData();
    } catch (const std::exception &e) {
        // no menus (no answer, or a broken tree): say so, and keep the
        // window usable for signing out or quitting
        m_controller->HideSplash();
        MsgErr(Platform::messageOf(e));
    }
    // an expired session ends the sign-in: the labels follow
    updateSessionLabels();
    m_controller->HideSplash();
    m_controller->SetLanguage(ComDm ? ComDm->locLang : nullptr);
    GuardUserAction([this] { m_controller->LoadWelcomeForm(); });
}

void MainWindow::signOut()
{
    if (!m_controller)
        return;
    // the user of the session being closed is not shown while another
    // signs in
    m_userLabel->clear();
    m_customerLabel->clear();
    bool signedOut = false;
    GuardUserAction([this, &signedOut] { signedOut = m_controller->SignOut(); });
    updateSessionLabels();
    if (!signedOut)
        return;
    if (IsLogin) {
        startSession();
        return;
    }
    // nobody signed in again
    close();
}

void MainWindow::updateSessionLabels()
{
    const bool signedIn = IsLogin && UserInfo;
    m_userLabel->setText(signedIn ? sLabelSignedInAs.text() + QLatin1Char(' ') + UserInfo->UserFullName : QString());
    m_customerLabel->setText(signedIn ? CustName : QString());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_controller && !m_controller->CloseAllForms()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}
