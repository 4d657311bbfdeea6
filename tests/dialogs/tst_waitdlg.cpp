#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"

#include <QtTest>
#include <memory>

class tst_WaitDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void counterKeepsItUpAndTheMainFormDisabled();
private:
    // Visible, main form disabled, and the count, all at once.
    void expectState(bool AUp, int ACount);
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<TWaitDlg> m_dlg;
};

void tst_WaitDlg::init()
{
    m_main = std::make_unique<QWidget>();
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

void tst_WaitDlg::counterKeepsItUpAndTheMainFormDisabled()
{
    expectState(false, 0);
    // nested showings: up until the last checked hide
    m_dlg->Show();
    expectState(true, 1);
    m_dlg->Show();
    m_dlg->Hide(true);
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
    // an unchecked hide closes at once and leaves the count for the next showing
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->Hide(false);
    expectState(false, 1);
    m_dlg->Show();
    m_dlg->Hide(true);
    expectState(true, 1);
    // a reset keeps it up; the next checked hide closes it
    m_dlg->Show();
    m_dlg->ResetCounter();
    expectState(true, 0);
    m_dlg->Hide(true);
    expectState(false, -1);
}

QTEST_MAIN(tst_WaitDlg)
#include "tst_waitdlg.moc"
