#include "AccessDetailsU.h"
#include "BaseChildFrmU.h"
#include "BaseSubFrmU.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "MenuListU.h"
#include "RecordingPresenter.h"
#include "ScreenFixtures.h"

#include <QDialog>
#include <QFrame>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

// A sub form; counts its loads.
class TFixtureSubFrm : public TBaseSubFrm
{
    Q_OBJECT
public:
    explicit TFixtureSubFrm(QWidget *AOwner = nullptr) : TBaseSubFrm(AOwner) { }
    void LoadData() override { ++loads; }
    void TranslationChanged() override { }
    int loads = 0;
};

class tst_BaseChildFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void newScreen();
    void isNeedSaving();
    void dataModeIsKeptByAccessDetailsAndSwitchesControls_data();
    void dataModeIsKeptByAccessDetailsAndSwitchesControls();
    void readsMenuEntryThroughData();

    void showChildPutsScreenInSubWindowOnce();
    void bringToFrontActivatesScreen();
    void releasingScreenRemovesSubWindow();
    void withoutMdiAreaShowsAsOwnWindow();
    void userCloseAsksWhenUnsaved_data();
    void userCloseAsksWhenUnsaved();
    void closeWithoutUnsavedChangesAsksNothing();
    void closeActionsThatKeepTheScreen();
    void ownerReleasesScreenNeverShown();

    void showModalRunsScreenInDialog();
    void showModalCloseAsksAndEndsWithCancel();

    void loadFormEmbedsAndFillsParent();
    void loadFormAddsToExistingLayout();

private:
    std::unique_ptr<MdiHost> m_host;
    QMainWindow *m_main = nullptr;
    QMdiArea *m_area = nullptr;
    RecordingPresenter *m_presenter = nullptr;
    TMenuData m_entry;
};

void tst_BaseChildFrm::init()
{
    m_presenter = RecordingPresenter::install();
    m_host = std::make_unique<MdiHost>();
    m_main = m_host->main();
    m_area = m_host->area();
    m_entry = TMenuData();
    m_entry.MenuId = 12;
    m_entry.MenuTitle = "Customers";
    m_entry.FormClass = "TTestScreenFrm";
    m_entry.TrCode = "CUS";
    m_entry.TrGroupId = "CRM";
    m_entry.ShowType = 1;
}

void tst_BaseChildFrm::cleanup()
{
    m_host.reset();
    Platform::setDialogPresenter(nullptr);
}

void tst_BaseChildFrm::newScreen()
{
    TTestScreenFrm frm(m_main);
    QCOMPARE(frm.DataMode(), dmBrowse);
    QVERIFY(frm.IsModified);
    QVERIFY(!frm.IsNeedSaving());
    QCOMPARE(frm.AccessDetails()->DataMode(), dmBrowse);
    // constructed hidden, as a window of its own that the owner keeps
    QVERIFY(frm.isHidden());
    QVERIFY(frm.isWindow());
    QCOMPARE(frm.Owner(), m_main);
    // registering applies nothing until the first mode assignment
    QVERIFY(!frm.btnSave->isHidden());
    QVERIFY(!frm.SubWindow());
    QVERIFY(!frm.ModalDialog());
}

void tst_BaseChildFrm::isNeedSaving()
{
    // only unsaved changes in add or edit need saving
    for (TDataMode mode : { dmBrowse, dmAdd, dmEdit, dmDelete, dmDetail, dmCustom1, dmCustom2 }) {
        for (bool modified : { true, false }) {
            TTestScreenFrm frm;
            frm.SetDataMode(mode);
            frm.IsModified = modified;
            QCOMPARE(frm.IsNeedSaving(), modified && (mode == dmAdd || mode == dmEdit));
        }
    }
}

void tst_BaseChildFrm::dataModeIsKeptByAccessDetailsAndSwitchesControls_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<bool>("saveShown");
    QTest::newRow("browse") << dmBrowse << false;
    QTest::newRow("add") << dmAdd << true;
    QTest::newRow("edit") << dmEdit << true;
}

void tst_BaseChildFrm::dataModeIsKeptByAccessDetailsAndSwitchesControls()
{
    QFETCH(TDataMode, mode);
    QFETCH(bool, saveShown);

    TTestScreenFrm frm;
    frm.SetDataMode(mode);
    QCOMPARE(frm.DataMode(), mode);
    QCOMPARE(frm.AccessDetails()->DataMode(), mode);
    QCOMPARE(!frm.btnSave->isHidden(), saveShown);

    // the mode set on the access details is the screen's mode too
    frm.AccessDetails()->SetDataMode(dmDelete);
    QCOMPARE(frm.DataMode(), dmDelete);
    QCOMPARE(!frm.btnSave->isHidden(), saveShown);
}

void tst_BaseChildFrm::readsMenuEntryThroughData()
{
    TTestScreenFrm frm;
    QCOMPARE(frm.TrCode(), QString());
    QCOMPARE(frm.GetParams(0), QString());

    frm.Data = &m_entry;
    m_entry.Params = "A,  b ,c";
    QCOMPARE(frm.TrCode(), QString("CUS"));
    QCOMPARE(frm.GetParams(1), QString("b"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, frm.GetParams(3));
    // nothing is copied: a change of the entry shows at once
    m_entry.TrCode = "CUS2";
    m_entry.TrGroupId = "SAL";
    QCOMPARE(frm.TrCode(), QString("CUS2"));
    QCOMPARE(frm.TrGroupId(), QString("SAL"));

    // the screen releases its error handler (checked by the sanitizer runs)
    auto owned = std::make_unique<TTestScreenFrm>();
    owned->ErrorHandler = std::make_unique<TErrorHandler>();
    owned.reset();
}

void tst_BaseChildFrm::showChildPutsScreenInSubWindowOnce()
{
    auto *frm = new TTestScreenFrm(m_main);
    frm->Data = &m_entry;
    frm->setWindowTitle(m_entry.MenuTitle);
    QSignalSpy activated(frm, &TBaseChildFrm::FormActivate);

    frm->ShowChild();

    QMdiSubWindow *sub = frm->SubWindow();
    QVERIFY(sub);
    QCOMPARE(m_area->subWindowList().size(), 1);
    QCOMPARE(m_area->subWindowList().first(), sub);
    QCOMPARE(sub->widget(), frm);
    QVERIFY(!frm->isWindow());
    QVERIFY(frm->isVisible());
    QVERIFY(sub->isVisible());
    QCOMPARE(sub->windowTitle(), QString("Customers"));
    QCOMPARE(m_area->activeSubWindow(), sub);
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated.first().first().value<TBaseChildFrm *>(), frm);

    // the caption follows later changes
    frm->setWindowTitle("Customers (2)");
    QCOMPARE(sub->windowTitle(), QString("Customers (2)"));

    frm->ShowChild();
    QCOMPARE(m_area->subWindowList().size(), 1);
    QCOMPARE(frm->SubWindow(), sub);
}

void tst_BaseChildFrm::bringToFrontActivatesScreen()
{
    auto *a = new TTestScreenFrm(m_main);
    auto *b = new TTestScreenFrm(m_main);
    a->ShowChild(m_area);
    b->ShowChild(m_area);
    QCOMPARE(m_area->activeSubWindow(), b->SubWindow());
    QSignalSpy activatedA(a, &TBaseChildFrm::FormActivate);
    QSignalSpy activatedB(b, &TBaseChildFrm::FormActivate);

    a->BringToFront();

    QCOMPARE(m_area->activeSubWindow(), a->SubWindow());
    QCOMPARE(activatedA.size(), 1);
    QCOMPARE(activatedB.size(), 0);
    QCOMPARE(m_area->subWindowList(QMdiArea::StackingOrder).last(), a->SubWindow());
}

void tst_BaseChildFrm::releasingScreenRemovesSubWindow()
{
    auto *frm = new TTestScreenFrm(m_main);
    frm->Data = &m_entry;
    frm->SetDataMode(dmEdit);
    frm->ShowChild();
    QPointer<QMdiSubWindow> sub = frm->SubWindow();
    int seenMenuId = -1;
    TDataMode seenMode = dmBrowse;
    connect(frm, &TBaseChildFrm::FormDestroy, this, [&](TBaseChildFrm *ASender) {
        // the screen can still be read while it goes
        seenMenuId = ASender->Data->MenuId;
        seenMode = ASender->DataMode();
    });

    delete frm;

    QCOMPARE(seenMenuId, 12);
    QCOMPARE(seenMode, dmEdit);
    QVERIFY(sub.isNull());
    QVERIFY(m_area->subWindowList().isEmpty());
    // releasing asks nothing, unsaved changes or not
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_BaseChildFrm::withoutMdiAreaShowsAsOwnWindow()
{
    QWidget owner;
    auto *frm = new TTestScreenFrm(&owner);
    frm->ShowChild();
    QVERIFY(!frm->SubWindow());
    QVERIFY(frm->isWindow());
    QVERIFY(frm->isVisible());
}

void tst_BaseChildFrm::userCloseAsksWhenUnsaved_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("yes") << int(Platform::ModalResult::Yes) << true;
    QTest::newRow("no") << int(Platform::ModalResult::No) << false;
}

void tst_BaseChildFrm::userCloseAsksWhenUnsaved()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);

    QPointer<TTestScreenFrm> frm = new TTestScreenFrm(m_main);
    frm->SetDataMode(dmAdd);
    frm->ShowChild();
    QPointer<QMdiSubWindow> sub = frm->SubWindow();
    m_presenter->queueAnswer(answer);

    // the sub-window's close button
    const bool result = sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages[0].text, QString("Data has not been saved. Close anyway?"));
    QCOMPARE(m_presenter->messages[0].kind, Platform::MessageKind::Confirmation);
    QCOMPARE(m_presenter->messages[0].buttons, Platform::MessageButton::Yes | Platform::MessageButton::No);
    QCOMPARE(result, closed);
    QCOMPARE(frm.isNull(), closed);
    QCOMPARE(sub.isNull(), closed);
    QCOMPARE(m_area->subWindowList().size(), closed ? 0 : 1);
    if (!closed) {
        QVERIFY(frm->isVisible());
        // Close() goes the same way
        m_presenter->queueAnswer(Platform::ModalResult::Yes);
        QVERIFY(frm->Close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frm.isNull());
        QVERIFY(m_area->subWindowList().isEmpty());
    }
}

void tst_BaseChildFrm::closeWithoutUnsavedChangesAsksNothing()
{
    QPointer<TTestScreenFrm> frm = new TTestScreenFrm(m_main);
    frm->SetDataMode(dmEdit);
    frm->IsModified = false;
    frm->ShowChild();
    QSignalSpy destroyed(frm.data(), &TBaseChildFrm::FormDestroy);

    QVERIFY(frm->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(frm.isNull());
    QCOMPARE(destroyed.size(), 1);
    QVERIFY(m_area->subWindowList().isEmpty());
}

void tst_BaseChildFrm::closeActionsThatKeepTheScreen()
{
    auto *kept = new TTestScreenFrm(m_main);
    kept->closeAction = caNone;
    kept->ShowChild();
    QVERIFY(!kept->Close());
    auto *frm = new TTestScreenFrm(m_main);
    frm->closeAction = caHide;
    frm->ShowChild();
    QMdiSubWindow *sub = frm->SubWindow();
    QVERIFY(frm->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(kept->isVisible());
    QVERIFY(kept->SubWindow()->isVisible());
    QCOMPARE(frm->SubWindow(), sub);
    QVERIFY(sub->isHidden());
    QVERIFY(!frm->isVisible());

    // a hidden screen shows again in its own sub-window
    frm->ShowChild();
    QCOMPARE(frm->SubWindow(), sub);
    QVERIFY(sub->isVisible());
    QVERIFY(frm->isVisible());
    QCOMPARE(m_area->activeSubWindow(), sub);
}

void tst_BaseChildFrm::ownerReleasesScreenNeverShown()
{
    auto owner = std::make_unique<QWidget>();
    QPointer<TTestScreenFrm> frm = new TTestScreenFrm(owner.get());
    owner.reset();
    QVERIFY(frm.isNull());
}

void tst_BaseChildFrm::showModalRunsScreenInDialog()
{
    auto frm = std::make_unique<TTestScreenFrm>(m_main);
    frm->setWindowTitle("Contact");
    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *inside = ADialog.findChild<TTestScreenFrm *>();
        if (inside != frm.get() || frm->ModalDialog() != &ADialog || frm->isWindow() || frm->isHidden())
            return -1;
        // the screen is shown at its own size
        if (ADialog.size() != QSize(775, 544))
            return -2;
        frm->SetModalResult(Platform::ModalResult::Ok);
        return ADialog.result();
    };

    const int result = frm->ShowModal();

    QCOMPARE(result, int(Platform::ModalResult::Ok));
    QCOMPARE(m_presenter->modals.size(), 1);
    QCOMPARE(m_presenter->modals[0].objectName, QString("TTestScreenFrm"));
    QCOMPARE(m_presenter->modals[0].title, QString("Contact"));
    // back with its owner, hidden, for the caller to release
    QVERIFY(!frm->ModalDialog());
    QVERIFY(frm->isWindow());
    QVERIFY(frm->isHidden());
    QCOMPARE(frm->parentWidget(), m_main);
    // a modal screen never lands in the child area
    QVERIFY(m_area->subWindowList().isEmpty());
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_BaseChildFrm::showModalCloseAsksAndEndsWithCancel()
{
    auto frm = std::make_unique<TTestScreenFrm>(m_main);
    frm->SetDataMode(dmEdit);
    QList<bool> closes;
    m_presenter->queueAnswer(Platform::ModalResult::No);
    m_presenter->queueAnswer(Platform::ModalResult::Yes);
    m_presenter->modalScript = [&](QDialog &ADialog) {
        closes.append(frm->Close());
        // Escape or the close button of the dialog ask the same
        ADialog.reject();
        closes.append(ADialog.result() == Platform::ModalResult::Cancel);
        return ADialog.result();
    };

    const int result = frm->ShowModal();

    QCOMPARE(closes, QList<bool>({ false, true }));
    QCOMPARE(result, int(Platform::ModalResult::Cancel));
    QCOMPARE(m_presenter->texts(),
             QStringList({ "Data has not been saved. Close anyway?", "Data has not been saved. Close anyway?" }));
}

void tst_BaseChildFrm::loadFormEmbedsAndFillsParent()
{
    QWidget window;
    auto *panel = new QFrame(&window);
    panel->setGeometry(10, 10, 300, 200);
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QPointer<TFixtureSubFrm> sub = TBaseSubFrm::LoadForm<TFixtureSubFrm>(panel);

    QVERIFY(sub);
    QCOMPARE(sub->parentWidget(), panel);
    QVERIFY(!sub->isWindow());
    QVERIFY(sub->isVisible());
    QCOMPARE(sub->geometry(), panel->rect());
    // not loaded by embedding: the screen asks for it
    QCOMPARE(sub->loads, 0);

    panel->resize(500, 350);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(sub->geometry(), QRect(0, 0, 500, 350));

    // the container owns it
    delete panel;
    QVERIFY(sub.isNull());
}

void tst_BaseChildFrm::loadFormAddsToExistingLayout()
{
    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    page.resize(400, 300);
    page.show();

    TBaseSubFrm *sub = TBaseSubFrm::LoadForm(&page, [](QWidget *AOwner) { return new TFixtureSubFrm(AOwner); });

    QVERIFY(sub);
    QCOMPARE(page.layout(), layout);
    QCOMPARE(layout->indexOf(sub), 0);
    QVERIFY(sub->isVisible());
    QVERIFY(!TBaseSubFrm::LoadForm(nullptr, [](QWidget *AOwner) { return new TFixtureSubFrm(AOwner); }));
}

QTEST_MAIN(tst_BaseChildFrm)
#include "tst_basechildfrm.moc"
