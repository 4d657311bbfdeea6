#include "WaitDlgFrmU.h"
#include "WaitDlgU.h"

#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <QtTest>
#include <memory>

class tst_WaitDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void counterKeepsItUpAndTheMainFormDisabled();
    void delayedShowingComesOnlyWhileCounted();
    void delayedHidingEndsThePendingShowing();
    void focusComesBackAfterwards();
    void focusComesBackInTheDialogThatRead();
    void pendingShowingWaitsForAMessageBox();
    void comesInFrontOfTheWindowsOpenedSince();

private:
    // Times the wait window was shown so far.
    int showings() const { return m_showings->count; }
    // Visible, main form disabled, and the count, all at once.
    void expectState(bool AUp, int ACount);
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<TWaitDlg> m_dlg;
    struct ShowCounter : QObject
    {
        int count = 0;
        bool eventFilter(QObject *, QEvent *AEvent) override
        {
            count += AEvent->type() == QEvent::Show;
            return false;
        }
    };
    std::unique_ptr<ShowCounter> m_showings;
};

void tst_WaitDlg::init()
{
    m_main = std::make_unique<QWidget>();
    m_main->show();
    m_dlg = std::make_unique<TWaitDlg>();
    m_dlg->SetMainForm(m_main.get());
    m_showings = std::make_unique<ShowCounter>();
    WaitDlgFrmOf(m_dlg.get())->installEventFilter(m_showings.get());
}

void tst_WaitDlg::cleanup()
{
    m_dlg.reset();
    m_showings.reset();
    m_main.reset();
}

void tst_WaitDlg::expectState(bool AUp, int ACount)
{
    QCOMPARE(m_dlg->ProcessCount(), ACount);
    QCOMPARE(m_dlg->IsFormVisible(), AUp);
    QCOMPARE(WaitDlgFrmOf(m_dlg.get())->isVisible(), AUp);
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

// With a delay the count goes up at once, the window and the disabled main
// window only once the delay has passed with the count still above 0.
void tst_WaitDlg::delayedShowingComesOnlyWhileCounted()
{
    QCOMPARE(m_dlg->ShowDelay(), 0);
    m_dlg->SetShowDelay(150);
    // a request that ends within the delay never shows anything
    m_dlg->Show();
    expectState(false, 1);
    QVERIFY(m_dlg->IsShowPending());
    m_dlg->Hide(true);
    expectState(false, 0);
    QVERIFY(!m_dlg->IsShowPending());
    QTest::qWait(300);
    expectState(false, 0);
    QCOMPARE(showings(), 0);

    // overlapping ones: the first to end leaves the showing pending, and
    // it comes after the delay of the first Show, not the last
    QElapsedTimer clock;
    clock.start();
    m_dlg->Show();
    QTest::qWait(50);
    m_dlg->Show();
    m_dlg->Hide(true);
    QVERIFY(m_dlg->IsShowPending());
    QTRY_VERIFY(m_dlg->IsFormVisible());
    QVERIFY2(clock.elapsed() >= 150, qPrintable(QString::number(clock.elapsed())));
    expectState(true, 1);
    QVERIFY(!m_dlg->IsShowPending());
    // up: further showings only count
    m_dlg->Show();
    QVERIFY(!m_dlg->IsShowPending());
    m_dlg->Hide(true);
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
    QCOMPARE(showings(), 1);

    // a caller about to block shows it at once, also over a pending showing
    m_dlg->ShowAtOnce();
    expectState(true, 1);
    m_dlg->Hide(true);
    m_dlg->Show();
    QVERIFY(m_dlg->IsShowPending());
    m_dlg->ShowAtOnce();
    expectState(true, 2);
    QVERIFY(!m_dlg->IsShowPending());
    m_dlg->Hide(true);
    m_dlg->Hide(true);
    expectState(false, 0);
    QCOMPARE(showings(), 3);

    // no delay: a showing still pending comes at once
    m_dlg->Show();
    m_dlg->SetShowDelay(0);
    expectState(true, 1);
    m_dlg->Hide(true);
    m_dlg->Show();
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
}

// An unchecked hide and a reset end a pending showing as they end a shown
// one; the count left over by the unchecked hide does not show it later.
void tst_WaitDlg::delayedHidingEndsThePendingShowing()
{
    m_dlg->SetShowDelay(100);
    m_dlg->Show();
    m_dlg->Show();
    m_dlg->Hide(false);
    expectState(false, 1);
    QVERIFY(!m_dlg->IsShowPending());
    QTest::qWait(250);
    expectState(false, 1);
    m_dlg->ResetCounter();

    m_dlg->Show();
    m_dlg->ResetCounter();
    QTest::qWait(250);
    expectState(false, 0);
    QCOMPARE(showings(), 0);

    // the next round after an unchecked hide of a shown window
    m_dlg->Show();
    m_dlg->Show();
    QTRY_VERIFY(m_dlg->IsFormVisible());
    m_dlg->Hide(false);
    expectState(false, 1);
    m_dlg->Show();
    expectState(false, 2);
    QTRY_VERIFY(m_dlg->IsFormVisible());
    expectState(true, 2);
    QCOMPARE(showings(), 2);
}

// Typing goes on where it was once the window has gone: a search box that
// started a read still has the keyboard when the rows are in.
void tst_WaitDlg::focusComesBackAfterwards()
{
    auto *first = new QLineEdit(m_main.get());
    auto *search = new QLineEdit(m_main.get());
    auto *layout = new QVBoxLayout(m_main.get());
    layout->addWidget(first);
    layout->addWidget(search);
    QApplication::setActiveWindow(m_main.get());
    search->setFocus();
    QTRY_VERIFY(search->hasFocus());
    m_dlg->Show();
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
    QApplication::setActiveWindow(m_main.get());
    QTRY_COMPARE(QApplication::focusWidget(), search);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QCOMPARE(search->text(), QStringLiteral("abc"));
}

// A read started from a dialog over the main form (the contacts reloaded
// in a customer's form): disabling the main form takes the dialog along
// and the field the user typed in loses the keyboard. It must get it back,
// not a control of the main form beneath.
void tst_WaitDlg::focusComesBackInTheDialogThatRead()
{
    auto *underneath = new QLineEdit(m_main.get());
    (new QVBoxLayout(m_main.get()))->addWidget(underneath);
    underneath->setFocus();
    QDialog form(m_main.get());
    auto *code = new QLineEdit(&form);
    auto *name = new QLineEdit(&form);
    auto *fields = new QVBoxLayout(&form);
    fields->addWidget(code);
    fields->addWidget(name);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    name->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), name);
    m_dlg->ShowAtOnce();
    expectState(true, 1);
    m_dlg->Hide(true);
    expectState(false, 0);
    QTRY_COMPARE(QApplication::focusWidget(), name);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QCOMPARE(name->text(), QStringLiteral("abc"));
}

// A read that fails before the delay is out reports before it gives its
// count back. The message box must stay usable: the window coming up then
// would disable the main form and, with it, the box the user has to answer.
void tst_WaitDlg::pendingShowingWaitsForAMessageBox()
{
    m_dlg->SetShowDelay(100);
    m_dlg->Show();
    QDialog message(m_main.get());
    bool usable = false;
    bool covered = true;
    QTimer::singleShot(0, &message, [&] {
        QTest::qWait(300); // past the delay, the box up
        usable = message.isEnabled();
        covered = m_dlg->IsFormVisible();
        message.accept();
    });
    message.exec();
    QVERIFY(usable);
    QVERIFY(!covered);
    m_dlg->Hide(false);
    expectState(false, 0);
    QCOMPARE(showings(), 0);

    // a read still running once the box is answered gets the window after all
    m_dlg->Show();
    QDialog other(m_main.get());
    QTimer::singleShot(150, &other, &QDialog::accept);
    other.exec();
    QTRY_VERIFY(m_dlg->IsFormVisible());
    expectState(true, 1);
    m_dlg->Hide(false);
    expectState(false, 0);
}

// A dialog opened after the wait window (a contact form over its customer)
// would cover it: the main form disabled beneath, and neither the waiting
// nor Cancel to be seen. Each showing brings the wait window to the front.
void tst_WaitDlg::comesInFrontOfTheWindowsOpenedSince()
{
    struct RaiseCounter : QObject
    {
        int count = 0;
        bool eventFilter(QObject *, QEvent *AEvent) override
        {
            count += AEvent->type() == QEvent::ZOrderChange;
            return false;
        }
    } raises;
    QWidget *wait = WaitDlgFrmOf(m_dlg.get());
    wait->installEventFilter(&raises);
    for (int round = 1; round <= 2; ++round) {
        QDialog form(m_main.get());
        form.show();
        m_dlg->Show();
        expectState(true, 1);
        QCOMPARE(raises.count, round);
        m_dlg->Hide(true);
    }
    wait->removeEventFilter(&raises);
}

QTEST_MAIN(tst_WaitDlg)
#include "tst_waitdlg.moc"
