#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"

#include <QAbstractButton>
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

    void formShowsTextAndNothingToClick();
    void formIsCentredOnScreen();
    void showDisablesMainFormAndHideEnablesIt();
    void nestedShowsStayUpUntilLastCheckedHide();
    void uncheckedHideClosesAtOnceAndKeepsCount();
    void unmatchedHidesGoNegative();
    void resetCounterKeepsFormUp();
    void showProcessesPendingEventsOnce();
    void indicatorRunsOnlyWhileShown();
    void worksWithoutOrAfterMainForm();

private:
    // Visible, main form disabled, and the count, all at once.
    void expectState(bool AUp, int ACount);

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

void tst_WaitDlg::expectState(bool AUp, int ACount)
{
    QCOMPARE(m_dlg->ProcessCount(), ACount);
    QCOMPARE(m_dlg->IsFormVisible(), AUp);
    QCOMPARE(m_dlg->WaitDlgFrm()->isVisible(), AUp);
    QCOMPARE(m_main->isEnabled(), !AUp);
}

void tst_WaitDlg::formShowsTextAndNothingToClick()
{
    expectState(false, 0);
    TWaitDlgFrm *frm = m_dlg->WaitDlgFrm();
    QVERIFY(frm->isWindow());
    QVERIFY(frm->windowFlags().testFlag(Qt::FramelessWindowHint));
    // a waiting window offers nothing to click
    QVERIFY(frm->findChildren<QAbstractButton *>().isEmpty());
    QVERIFY(!frm->imgLogo->pixmap().toImage().allGray()); // something in colour is drawn
    QCOMPARE(frm->cxLabel1->text(), QStringLiteral("Loading, please wait..."));
    // the text is centred on the form
    QLabel *label = frm->cxLabel1;
    const int labelCentre = label->mapTo(frm, label->rect().center()).x();
    QVERIFY(qAbs(labelCentre - frm->width() / 2) <= 2);
}

void tst_WaitDlg::formIsCentredOnScreen()
{
    m_dlg->Show();
    TWaitDlgFrm *frm = m_dlg->WaitDlgFrm();
    const QRect area = frm->screen()->availableGeometry();
    const QPoint centre = frm->frameGeometry().center();
    QVERIFY(qAbs(centre.x() - area.center().x()) <= 1 && qAbs(centre.y() - area.center().y()) <= 1);
    m_dlg->Hide(false);
}

void tst_WaitDlg::showDisablesMainFormAndHideEnablesIt()
{
    m_dlg->Show();
    expectState(true, 1);
    // shown, not modal: the main window stays disabled by us, not by modality
    QCOMPARE(m_dlg->WaitDlgFrm()->windowModality(), Qt::NonModal);
    m_dlg->Hide(true);
    expectState(false, 0);
}

void tst_WaitDlg::nestedShowsStayUpUntilLastCheckedHide()
{
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->Hide(true);
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
}

void tst_WaitDlg::uncheckedHideClosesAtOnceAndKeepsCount()
{
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->Hide(false);
    expectState(false, 1);

    // the count left behind carries into the next showing
    m_dlg->Show();
    m_dlg->Hide(true);
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
}

void tst_WaitDlg::unmatchedHidesGoNegative()
{
    m_dlg->Hide(true);
    m_dlg->Hide(false);
    expectState(false, -2);

    // Show counts up from there; the next checked Hide closes (count not above 0)
    m_dlg->Show();
    expectState(true, -1);
    m_dlg->Hide(true);
    expectState(false, -2);

    m_dlg->ResetCounter();
    QCOMPARE(m_dlg->ProcessCount(), 0);
}

void tst_WaitDlg::resetCounterKeepsFormUp()
{
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->ResetCounter();
    expectState(true, 0);
    m_dlg->Hide(true);
    expectState(false, -1);
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

void tst_WaitDlg::worksWithoutOrAfterMainForm()
{
    TWaitDlg dlg;
    dlg.Show();
    QVERIFY(dlg.IsFormVisible());
    QVERIFY(m_main->isEnabled()); // not ours
    dlg.Hide(true);
    QVERIFY(!dlg.IsFormVisible());
    QCOMPARE(dlg.ProcessCount(), 0);

    // the main form goes away while the dialog is up
    m_dlg->Show();
    m_main.reset();
    m_dlg->Hide(true);
    m_dlg->Show();
    QVERIFY(m_dlg->IsFormVisible());
    m_dlg->Hide(true);
    QVERIFY(!m_dlg->IsFormVisible());
}

QTEST_MAIN(tst_WaitDlg)
#include "tst_waitdlg.moc"
