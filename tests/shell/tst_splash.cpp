#include "SplashFrmU.h"

#include <QLabel>
#include <QScreen>
#include <QtTest>

class tst_Splash : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void borderlessAndNotOnTop();
    void showsTheStatusLastSet();
    void centredOnTheScreen();
    void logoIsDrawn();
};

void tst_Splash::borderlessAndNotOnTop()
{
    TSplashFrm splash;
    QCOMPARE(splash.lblStatus->text(), QStringLiteral("Loading, please wait..."));
    QVERIFY(!splash.isVisible());
    QCOMPARE(SplashFrm, nullptr); // the controller keeps its own
    QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    // An error box raised while loading must be able to come above it.
    QVERIFY(!splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(splash.minimumSize(), splash.maximumSize());
}

void tst_Splash::showsTheStatusLastSet()
{
    TSplashFrm splash;
    splash.lblStatus->setText(QStringLiteral("Loading menus..."));
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QVERIFY(splash.lblStatus->isVisible());
    QCOMPARE(splash.lblStatus->text(), QStringLiteral("Loading menus..."));
    // the text fits: nothing of it is cut off at the label's width
    QVERIFY(splash.lblStatus->width() >= splash.lblStatus->fontMetrics().horizontalAdvance(splash.lblStatus->text()));

    splash.hide();
    splash.lblStatus->setText(QStringLiteral("Loading modules..."));
    splash.show();
    QCOMPARE(splash.lblStatus->text(), QStringLiteral("Loading modules..."));
}

void tst_Splash::centredOnTheScreen()
{
    TSplashFrm splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    const QRect area = splash.screen()->availableGeometry();
    const QPoint offset = splash.frameGeometry().center() - area.center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
}

void tst_Splash::logoIsDrawn()
{
    TSplashFrm splash;
    const QPixmap logo = splash.imgLogo->pixmap();
    QVERIFY(!logo.isNull());
    const QImage image = logo.toImage();
    // The tile's brand blue is somewhere in it; an empty pixmap has none.
    bool blue = false;
    for (int y = 0; y < image.height() && !blue; y += 2) {
        for (int x = 0; x < image.width() && !blue; x += 2) {
            const QColor c = image.pixelColor(x, y);
            blue = c.alpha() == 255 && c.blue() > 180 && c.red() < 40;
        }
    }
    QVERIFY(blue);
}

QTEST_MAIN(tst_Splash)
#include "tst_splash.moc"
