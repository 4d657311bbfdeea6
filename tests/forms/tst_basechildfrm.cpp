#include "AccessDetailsU.h"
#include "BaseChildFrmU.h"
#include "BaseSubFrmU.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "MenuListU.h"
#include "RecordingPresenter.h"

#include <QDialog>
#include <QFrame>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(TDataMode)

// A screen as a module would write one: a Save button that only edit and
// add show.
class TFixtureFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    explicit TFixtureFrm(QWidget *AOwner = nullptr) : TBaseChildFrm(AOwner)
    {
        btnSave = new QPushButton("Save", this);
        AccessDetails()->AddControl("crud", btnSave, caHidden, caVisible, caVisible, caHidden, caHidden, caHidden);
    }
    void TranslationChanged() override { ++translations; }

    QPushButton *btnSave;
    int translations = 0;
    TCloseAction closeAction = caFree;

protected:
    void FormClose(TCloseAction &AAction) override { AAction = closeAction; }
};

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
    void isNeedSaving_data();
    void isNeedSaving();
    void dataModeIsKeptByAccessDetailsAndSwitchesControls_data();
    void dataModeIsKeptByAccessDetailsAndSwitchesControls();
    void readsMenuEntryThroughData();
    void getParams();
    void errorHandlerIsReleasedWithScreen();

    void showChildPutsScreenInSubWindowOnce();
    void bringToFrontActivatesScreen();
    void releasingScreenRemovesSubWindow();
    void withoutMdiAreaShowsAsOwnWindow();
    void userCloseAsksWhenUnsaved_data();
    void userCloseAsksWhenUnsaved();
    void closeWithoutUnsavedChangesAsksNothing();
    void closeActionHideKeepsScreen();
    void closeActionNoneKeepsScreenOpen();
    void ownerReleasesScreenNeverShown();

    void showModalRunsScreenInDialog();
    void showModalCloseAsksAndEndsWithCancel();

    void subFormDefaults();
    void loadFormEmbedsAndFillsParent();
    void loadFormAddsToExistingLayout();

private:
    std::unique_ptr<QMainWindow> m_main;
    QMdiArea *m_area = nullptr;
    RecordingPresenter *m_presenter = nullptr;
    TMenuData m_entry;
};

void tst_BaseChildFrm::init()
{
    m_presenter = RecordingPresenter::install();
    m_main = std::make_unique<QMainWindow>();
    m_area = new QMdiArea(m_main.get());
    m_main->setCentralWidget(m_area);
    m_main->resize(1000, 700);
    m_main->show();
    m_entry = TMenuData();
    m_entry.MenuId = 12;
    m_entry.MenuTitle = "Customers";
    m_entry.FormClass = "TFixtureFrm";
    m_entry.TrCode = "CUS";
    m_entry.TrGroupId = "CRM";
    m_entry.ShowType = 1;
}

void tst_BaseChildFrm::cleanup()
{
    m_main.reset();
    Platform::setDialogPresenter(nullptr);
}

void tst_BaseChildFrm::newScreen()
{
    TFixtureFrm frm(m_main.get());

    QCOMPARE(frm.DataMode(), dmBrowse);
    QVERIFY(frm.IsModified);
    QVERIFY(!frm.IsNeedSaving());
    QVERIFY(!frm.IsLoading);
    QVERIFY(!frm.IsInitLoad);
    QVERIFY(!frm.Data);
    QVERIFY(!frm.ErrorHandler);
    QVERIFY(frm.AccessDetails());
    QCOMPARE(frm.AccessDetails()->DataMode(), dmBrowse);
    // constructed hidden, as a window of its own that the owner keeps
    QVERIFY(frm.isHidden());
    QVERIFY(frm.isWindow());
    QCOMPARE(frm.parentWidget(), m_main.get());
    QCOMPARE(frm.Owner(), m_main.get());
    QCOMPARE(frm.windowTitle(), QString("BaseChildFrm"));
    QCOMPARE(frm.size(), QSize(775, 544));
    QCOMPARE(frm.font().family(), QString("Tahoma"));
    QCOMPARE(frm.font().pixelSize(), 11);
    // registering applies nothing until the first mode assignment
    QVERIFY(!frm.btnSave->isHidden());
    QVERIFY(!frm.SubWindow());
    QVERIFY(!frm.ModalDialog());
}

void tst_BaseChildFrm::isNeedSaving_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("needSaving");
    QTest::newRow("browse modified") << dmBrowse << true << false;
    QTest::newRow("add modified") << dmAdd << true << true;
    QTest::newRow("add saved") << dmAdd << false << false;
    QTest::newRow("edit modified") << dmEdit << true << true;
    QTest::newRow("edit saved") << dmEdit << false << false;
    QTest::newRow("delete modified") << dmDelete << true << false;
    QTest::newRow("detail modified") << dmDetail << true << false;
    QTest::newRow("custom1 modified") << dmCustom1 << true << false;
    QTest::newRow("custom2 modified") << dmCustom2 << true << false;
}

void tst_BaseChildFrm::isNeedSaving()
{
    QFETCH(TDataMode, mode);
    QFETCH(bool, modified);
    QFETCH(bool, needSaving);

    TFixtureFrm frm;
    frm.SetDataMode(mode);
    frm.IsModified = modified;
    QCOMPARE(frm.IsNeedSaving(), needSaving);
}

void tst_BaseChildFrm::dataModeIsKeptByAccessDetailsAndSwitchesControls_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<bool>("saveShown");
    QTest::newRow("browse") << dmBrowse << false;
    QTest::newRow("add") << dmAdd << true;
    QTest::newRow("edit") << dmEdit << true;
    QTest::newRow("detail") << dmDetail << false;
    QTest::newRow("custom1") << dmCustom1 << false;
    QTest::newRow("custom2") << dmCustom2 << false;
}

void tst_BaseChildFrm::dataModeIsKeptByAccessDetailsAndSwitchesControls()
{
    QFETCH(TDataMode, mode);
    QFETCH(bool, saveShown);

    TFixtureFrm frm;
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
    TFixtureFrm frm;
    QCOMPARE(frm.TrCode(), QString());
    QCOMPARE(frm.TrGroupId(), QString());
    QCOMPARE(frm.GetParams(0), QString());

    frm.Data = &m_entry;
    QCOMPARE(frm.TrCode(), QString("CUS"));
    QCOMPARE(frm.TrGroupId(), QString("CRM"));
    // nothing is copied: a change of the entry shows at once
    m_entry.TrCode = "CUS2";
    m_entry.TrGroupId = "SAL";
    QCOMPARE(frm.TrCode(), QString("CUS2"));
    QCOMPARE(frm.TrGroupId(), QString("SAL"));
}

void tst_BaseChildFrm::getParams()
{
    TFixtureFrm frm;
    frm.Data = &m_entry;

    m_entry.Params = "A,  b ,c";
    QCOMPARE(frm.GetParams(0), QString("A"));
    QCOMPARE(frm.GetParams(1), QString("b"));
    QCOMPARE(frm.GetParams(2), QString("c"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, frm.GetParams(3));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, frm.GetParams(-1));

    m_entry.Params.clear();
    QCOMPARE(frm.GetParams(5), QString());
}

void tst_BaseChildFrm::errorHandlerIsReleasedWithScreen()
{
    // the screen creates it; the address sanitizer and valgrind runs tell
    // whether it is released
    auto frm = std::make_unique<TFixtureFrm>();
    frm->ErrorHandler = std::make_unique<TErrorHandler>();
    frm->ErrorHandler->AddErrMessage("name", "Name", "required", "is required", false);
    QCOMPARE(frm->ErrorHandler->GetErrMessage("name", "required"), QString("Name is required"));
    frm.reset();
}

void tst_BaseChildFrm::showChildPutsScreenInSubWindowOnce()
{
    auto *frm = new TFixtureFrm(m_main.get());
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
    auto *a = new TFixtureFrm(m_main.get());
    auto *b = new TFixtureFrm(m_main.get());
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
    auto *frm = new TFixtureFrm(m_main.get());
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
    auto *frm = new TFixtureFrm(&owner);
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

    QPointer<TFixtureFrm> frm = new TFixtureFrm(m_main.get());
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
    QPointer<TFixtureFrm> frm = new TFixtureFrm(m_main.get());
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

void tst_BaseChildFrm::closeActionHideKeepsScreen()
{
    auto *frm = new TFixtureFrm(m_main.get());
    frm->closeAction = caHide;
    frm->ShowChild();
    QMdiSubWindow *sub = frm->SubWindow();

    QVERIFY(frm->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(frm->SubWindow(), sub);
    QVERIFY(sub->isHidden());
    QVERIFY(!frm->isVisible());

    frm->ShowChild();
    QCOMPARE(frm->SubWindow(), sub);
    QVERIFY(sub->isVisible());
    QVERIFY(frm->isVisible());
    QCOMPARE(m_area->activeSubWindow(), sub);
}

void tst_BaseChildFrm::closeActionNoneKeepsScreenOpen()
{
    auto *frm = new TFixtureFrm(m_main.get());
    frm->closeAction = caNone;
    frm->ShowChild();

    QVERIFY(!frm->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(frm->isVisible());
    QVERIFY(frm->SubWindow()->isVisible());
}

void tst_BaseChildFrm::ownerReleasesScreenNeverShown()
{
    auto owner = std::make_unique<QWidget>();
    QPointer<TFixtureFrm> frm = new TFixtureFrm(owner.get());
    owner.reset();
    QVERIFY(frm.isNull());
}

void tst_BaseChildFrm::showModalRunsScreenInDialog()
{
    auto frm = std::make_unique<TFixtureFrm>(m_main.get());
    frm->setWindowTitle("Contact");
    m_presenter->modalScript = [&](QDialog &ADialog) {
        auto *inside = ADialog.findChild<TFixtureFrm *>();
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
    QCOMPARE(m_presenter->modals[0].objectName, QString("TFixtureFrm"));
    QCOMPARE(m_presenter->modals[0].title, QString("Contact"));
    // back with its owner, hidden, for the caller to release
    QVERIFY(!frm->ModalDialog());
    QVERIFY(frm->isWindow());
    QVERIFY(frm->isHidden());
    QCOMPARE(frm->parentWidget(), m_main.get());
    // a modal screen never lands in the child area
    QVERIFY(m_area->subWindowList().isEmpty());
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_BaseChildFrm::showModalCloseAsksAndEndsWithCancel()
{
    auto frm = std::make_unique<TFixtureFrm>(m_main.get());
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

void tst_BaseChildFrm::subFormDefaults()
{
    TFixtureSubFrm sub;
    QCOMPARE(sub.DataMode, dmBrowse);
    QVERIFY(!sub.IsLoading);
    QVERIFY(!sub.IsInitLoad);
    QVERIFY(!sub.ErrorHandler);
    QCOMPARE(sub.windowTitle(), QString("BaseSubFrm"));
    QCOMPARE(sub.size(), QSize(654, 421));
    QCOMPARE(sub.font().family(), QString("Tahoma"));
    QCOMPARE(sub.font().pixelSize(), 11);
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
