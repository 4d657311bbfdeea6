#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QtTest>
#include <memory>

class tst_WaitDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void startsHiddenWithZeroCount();
    void formLayout();
    void formIsCentredOnScreen();
    void showDisablesMainFormAndHideEnablesIt();
    void nestedShowsStayUpUntilLastCheckedHide();
    void uncheckedHideClosesAtOnceAndKeepsCount();
    void unmatchedHidesGoNegative();
    void resetCounterKeepsFormUp();
    void showProcessesPendingEventsOnce();
    void indicatorRunsOnlyWhileShown();
    void worksWithoutMainForm();
    void mainFormDestroyedBeforeShow();
    void activeWindowIsStored();
    void globalInstanceIsTheControllersToCreate();

private:
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<TWaitDlg> m_dlg;
};

void tst_WaitDlg::init()
{
    m_main = std::make_unique<QWidget>();
    m_main->resize(400, 300);
    m_main->show();
    m_dlg = std::make_unique<TWaitDlg>();
    m_dlg->SetMainForm(m_main.get());
}

void tst_WaitDlg::cleanup()
{
    m_dlg.reset();
    m_main.reset();
}

void tst_WaitDlg::startsHiddenWithZeroCount()
{
    QCOMPARE(m_dlg->ProcessCount(), 0);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_dlg->WaitDlgFrm());
    QVERIFY(!m_dlg->WaitDlgFrm()->isVisible());
    QVERIFY(m_main->isEnabled());
}

void tst_WaitDlg::formLayout()
{
    TWaitDlgFrm *frm = m_dlg->WaitDlgFrm();
    QCOMPARE(frm->size(), QSize(305, 143));
    QVERIFY(frm->isWindow());
    QVERIFY(frm->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(!frm->parentWidget());
    QVERIFY(frm->autoFillBackground());
    QCOMPARE(frm->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(frm->font().family(), QStringLiteral("Tahoma"));
    // a waiting window offers nothing to click
    QVERIFY(frm->findChildren<QAbstractButton *>().isEmpty());

    QCOMPARE(frm->pnlMain->geometry(), QRect(0, 0, 305, 143));
    QVERIFY(frm->pnlMain->frameShadow() != QFrame::Plain);

    QCOMPARE(frm->imgLogo->objectName(), QStringLiteral("imgLogo"));
    QCOMPARE(frm->imgLogo->geometry(), QRect(73, 25, 135, 42));
    QCOMPARE(frm->imgLogo->pixmap().size(), QSize(135, 42));
    QVERIFY(!frm->imgLogo->pixmap().toImage().allGray()); // something in colour is drawn
    QVERIFY(frm->imgLogo->testAttribute(Qt::WA_TransparentForMouseEvents));

    QCOMPARE(frm->dxActivityIndicator1->objectName(), QStringLiteral("dxActivityIndicator1"));
    QCOMPARE(frm->dxActivityIndicator1->geometry(), QRect(40, 70, 225, 29));
    QCOMPARE(frm->dxActivityIndicator1->dotColor(), QColor(0x07, 0xB8, 0xF8, 0xE6));
    QCOMPARE(frm->dxActivityIndicator1->dotColor().alpha(), 0xE6);
    QVERIFY(frm->dxActivityIndicator1->dotCount() > 1);

    QLabel *label = frm->cxLabel1;
    QCOMPARE(label->objectName(), QStringLiteral("cxLabel1"));
    QCOMPARE(label->text(), QStringLiteral("Loading, please wait..."));
    QCOMPARE(label->alignment(), Qt::AlignCenter);
    QCOMPARE(label->geometry().top(), 96);
    QCOMPARE(label->size(), QSize(302, 28));
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pixelSize(), 13);
    QCOMPARE(label->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(57, 57, 57));
    // the text is centred on the form
    const int labelCentre = label->mapTo(frm, label->rect().center()).x();
    QVERIFY(qAbs(labelCentre - frm->width() / 2) <= 2);
}

void tst_WaitDlg::formIsCentredOnScreen()
{
    m_dlg->Show();
    TWaitDlgFrm *frm = m_dlg->WaitDlgFrm();
    const QRect area = frm->screen()->availableGeometry();
    const QPoint centre = frm->frameGeometry().center();
    QVERIFY2(qAbs(centre.x() - area.center().x()) <= 1 && qAbs(centre.y() - area.center().y()) <= 1,
             qPrintable(QStringLiteral("form centre %1,%2 screen centre %3,%4")
                            .arg(centre.x())
                            .arg(centre.y())
                            .arg(area.center().x())
                            .arg(area.center().y())));
    m_dlg->Hide(false);
}

void tst_WaitDlg::showDisablesMainFormAndHideEnablesIt()
{
    m_dlg->Show();
    QCOMPARE(m_dlg->ProcessCount(), 1);
    QVERIFY(m_dlg->IsFormVisible());
    QVERIFY(!m_main->isEnabled());
    // shown, not modal: the main window stays disabled by us, not by modality
    QCOMPARE(m_dlg->WaitDlgFrm()->windowModality(), Qt::NonModal);

    m_dlg->Hide(true);
    QCOMPARE(m_dlg->ProcessCount(), 0);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());
}

void tst_WaitDlg::nestedShowsStayUpUntilLastCheckedHide()
{
    m_dlg->Show();
    m_dlg->Show();
    QCOMPARE(m_dlg->ProcessCount(), 2);

    m_dlg->Hide(true);
    QCOMPARE(m_dlg->ProcessCount(), 1);
    QVERIFY(m_dlg->IsFormVisible());
    QVERIFY(!m_main->isEnabled());

    m_dlg->Hide(true);
    QCOMPARE(m_dlg->ProcessCount(), 0);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());
}

void tst_WaitDlg::uncheckedHideClosesAtOnceAndKeepsCount()
{
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->Hide(false);
    QCOMPARE(m_dlg->ProcessCount(), 1);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());

    // the count left behind carries into the next showing
    m_dlg->Show();
    QCOMPARE(m_dlg->ProcessCount(), 2);
    m_dlg->Hide(true);
    QVERIFY(m_dlg->IsFormVisible());
    QVERIFY(!m_main->isEnabled());
    m_dlg->Hide(true);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());
}

void tst_WaitDlg::unmatchedHidesGoNegative()
{
    m_dlg->Hide(true);
    QCOMPARE(m_dlg->ProcessCount(), -1);
    m_dlg->Hide(false);
    QCOMPARE(m_dlg->ProcessCount(), -2);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());

    // Show counts up from there; the next checked Hide closes (count not above 0)
    m_dlg->Show();
    QCOMPARE(m_dlg->ProcessCount(), -1);
    QVERIFY(m_dlg->IsFormVisible());
    QVERIFY(!m_main->isEnabled());
    m_dlg->Hide(true);
    QCOMPARE(m_dlg->ProcessCount(), -2);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());

    m_dlg->ResetCounter();
    QCOMPARE(m_dlg->ProcessCount(), 0);
}

void tst_WaitDlg::resetCounterKeepsFormUp()
{
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->ResetCounter();
    QCOMPARE(m_dlg->ProcessCount(), 0);
    QVERIFY(m_dlg->IsFormVisible());
    QVERIFY(!m_main->isEnabled());
    m_dlg->Hide(true);
    QCOMPARE(m_dlg->ProcessCount(), -1);
    QVERIFY(!m_dlg->IsFormVisible());
    QVERIFY(m_main->isEnabled());
}

void tst_WaitDlg::showProcessesPendingEventsOnce()
{
    int ran = 0;
    QMetaObject::invokeMethod(m_main.get(), [&ran] { ++ran; }, Qt::QueuedConnection);
    QCOMPARE(ran, 0);
    m_dlg->Show();
    QCOMPARE(ran, 1);
    m_dlg->Hide(true);
}

void tst_WaitDlg::indicatorRunsOnlyWhileShown()
{
    TActivityIndicator *indicator = m_dlg->WaitDlgFrm()->dxActivityIndicator1;
    QVERIFY(!indicator->isActive());
    m_dlg->Show();
    QVERIFY(indicator->isActive());
    const int first = indicator->position();
    QTRY_VERIFY_WITH_TIMEOUT(indicator->position() != first, 2000);

    m_dlg->Hide(true);
    QVERIFY(!indicator->isActive());
    const int stopped = indicator->position();
    QTest::qWait(400);
    QCOMPARE(indicator->position(), stopped);

    // showing again starts it again
    m_dlg->Show();
    QVERIFY(indicator->isActive());
    m_dlg->Hide(false);
    QVERIFY(!indicator->isActive());
}

void tst_WaitDlg::worksWithoutMainForm()
{
    TWaitDlg dlg;
    dlg.Show();
    QVERIFY(dlg.IsFormVisible());
    QVERIFY(m_main->isEnabled()); // not ours
    dlg.Hide(true);
    QVERIFY(!dlg.IsFormVisible());
    QCOMPARE(dlg.ProcessCount(), 0);
}

void tst_WaitDlg::mainFormDestroyedBeforeShow()
{
    m_dlg->Show();
    m_main.reset();
    m_dlg->Hide(true);
    m_dlg->Show();
    QVERIFY(m_dlg->IsFormVisible());
    m_dlg->Hide(true);
    QVERIFY(!m_dlg->IsFormVisible());
}

void tst_WaitDlg::activeWindowIsStored()
{
    QCOMPARE(m_dlg->ActiveWindow(), WId(0));
    m_dlg->SetActiveWindow(m_main->winId());
    QCOMPARE(m_dlg->ActiveWindow(), m_main->winId());
    // storing it changes nothing else
    QCOMPARE(m_dlg->ProcessCount(), 0);
    QVERIFY(!m_dlg->IsFormVisible());
}

void tst_WaitDlg::globalInstanceIsTheControllersToCreate()
{
    QCOMPARE(WaitDlg, nullptr);
    WaitDlg = m_dlg.get();
    WaitDlg->Show();
    QVERIFY(!m_main->isEnabled());
    WaitDlg->Hide(false);
    QVERIFY(m_main->isEnabled());
    WaitDlg = nullptr;
}

QTEST_MAIN(tst_WaitDlg)
#include "tst_waitdlg.moc"
