#include "BaseChildFrmU.h"
#include "MenuListU.h"
#include "OpenedFormsU.h"
#include "RecordingPresenter.h"
#include "ScreenFixtures.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QtTest>
#include <memory>

class tst_OpenedForms : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void findByMenuId();
    void deleteTakesFirstMatchOut();
    void releasedScreenLeavesRegistry();

    void closeAllStopsOnlyForUnsavedAddOrEdit_data();
    void closeAllStopsOnlyForUnsavedAddOrEdit();
    void closeAllThenUserSavesOrDiscards();

    void windowsMenuListsOpenScreens();
    void windowsMenuEntryBringsScreenToFront();
    void windowsMenuMarksActiveScreen();
    void windowsMenuLeftCleanWhenRegistryGoes();

private:
    // A screen for menu entry AMenuId, opened the way the controller does.
    TTestScreenFrm *open(int AMenuId, const QString &ACaption, TDataMode AMode = dmBrowse, bool AModified = true);
    QStringList menuTexts() const;

    std::unique_ptr<MdiHost> m_host;
    QMdiArea *m_area = nullptr;
    std::unique_ptr<TOpenedForms> m_forms;
    std::vector<std::unique_ptr<TMenuData>> m_entries;
    RecordingPresenter *m_presenter = nullptr;
    std::unique_ptr<QMenu> m_menu;
};

void tst_OpenedForms::init()
{
    m_presenter = RecordingPresenter::install();
    m_host = std::make_unique<MdiHost>();
    m_area = m_host->area();
    m_forms = std::make_unique<TOpenedForms>();
    m_menu = std::make_unique<QMenu>("Window");
}

void tst_OpenedForms::cleanup()
{
    m_forms.reset();
    m_host.reset();
    m_menu.reset();
    m_entries.clear();
    Platform::setDialogPresenter(nullptr);
}

TTestScreenFrm *tst_OpenedForms::open(int AMenuId, const QString &ACaption, TDataMode AMode, bool AModified)
{
    auto entry = std::make_unique<TMenuData>();
    entry->MenuId = AMenuId;
    entry->MenuTitle = ACaption;
    entry->ShowType = 1;
    auto *frm = new TTestScreenFrm(m_host->main());
    frm->Data = entry.get();
    frm->setWindowTitle(ACaption);
    m_entries.push_back(std::move(entry));
    m_forms->Add(frm);
    frm->ShowChild();
    frm->SetDataMode(AMode);
    frm->IsModified = AModified;
    return frm;
}

QStringList tst_OpenedForms::menuTexts() const
{
    QStringList texts;
    for (QAction *action : m_menu->actions())
        texts.append(action->isSeparator() ? QString("--") : action->text());
    return texts;
}

void tst_OpenedForms::findByMenuId()
{
    TTestScreenFrm *customers = open(10, "Customers");
    TTestScreenFrm *vendors = open(20, "Vendors");

    QCOMPARE(m_forms->Find(10), customers);
    QCOMPARE(m_forms->Find(20), vendors);
    QCOMPARE(m_forms->Find(30), nullptr);
    // read through Data at each look-up
    vendors->Data->MenuId = 30;
    QCOMPARE(m_forms->Find(30), vendors);
    QCOMPARE(m_forms->Find(20), nullptr);
}

void tst_OpenedForms::deleteTakesFirstMatchOut()
{
    TTestScreenFrm *a = open(10, "A");
    TTestScreenFrm *b = open(20, "B");

    m_forms->Delete(99);
    QCOMPARE(m_forms->Forms(), QList<TBaseChildFrm *>({ a, b }));

    QPointer<TTestScreenFrm> guard(a);
    m_forms->Delete(10);
    QCOMPARE(m_forms->Forms(), QList<TBaseChildFrm *>({ b }));
    QCOMPARE(m_forms->Find(10), nullptr);
    // taken out, not released
    QVERIFY(guard);
    QVERIFY(a->isVisible());
}

void tst_OpenedForms::releasedScreenLeavesRegistry()
{
    TTestScreenFrm *a = open(10, "A");
    TTestScreenFrm *b = open(20, "B");
    // the controller's destroy handler, as it hooks it
    QList<int> handled;
    connect(a, &TBaseChildFrm::FormDestroy, this, [&](TBaseChildFrm *ASender) {
        handled.append(ASender->Data->MenuId);
        m_forms->Delete(ASender->Data->MenuId);
    });

    delete a;
    QCOMPARE(handled, QList<int>({ 10 }));
    QCOMPARE(m_forms->Forms(), QList<TBaseChildFrm *>({ b }));

    // a screen whose destroy event nobody handles leaves as well
    delete b;
    QCOMPARE(m_forms->Count(), 0);
    QCOMPARE(m_forms->Find(20), nullptr);
}

void tst_OpenedForms::closeAllStopsOnlyForUnsavedAddOrEdit_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("stops");
    QTest::newRow("add modified") << dmAdd << true << true;
    QTest::newRow("edit not modified") << dmEdit << false << false;
    QTest::newRow("browse modified") << dmBrowse << true << false;
}

void tst_OpenedForms::closeAllStopsOnlyForUnsavedAddOrEdit()
{
    QFETCH(TDataMode, mode);
    QFETCH(bool, modified);
    QFETCH(bool, stops);

    QCOMPARE(m_forms->CloseAll(), nullptr); // nothing open: nothing stops it
    QPointer<TTestScreenFrm> first = open(1, "First");
    QPointer<TTestScreenFrm> screen = open(2, "Screen", mode, modified);
    QPointer<TTestScreenFrm> last = open(3, "Last");

    TBaseChildFrm *stopped = m_forms->CloseAll();

    QVERIFY(first.isNull());
    if (stops) {
        // the unsaved screen stops it and comes to the front; the rest stays
        QCOMPARE(stopped, screen.data());
        QVERIFY(last);
        QCOMPARE(m_forms->Count(), 2);
        QCOMPARE(m_area->activeSubWindow(), screen->SubWindow());
    } else {
        QCOMPARE(stopped, nullptr);
        QVERIFY(screen.isNull());
        QVERIFY(last.isNull());
        QCOMPARE(m_forms->Count(), 0);
        QVERIFY(m_area->subWindowList().isEmpty());
    }
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_OpenedForms::closeAllThenUserSavesOrDiscards()
{
    // Given close-all stopped at an unsaved order
    QPointer<TTestScreenFrm> order = open(5, "Purchase Order", dmAdd, true);
    QPointer<TTestScreenFrm> vendors = open(6, "Vendors");
    QCOMPARE(m_forms->CloseAll(), order.data());

    // When the user closes it and answers No to the confirmation
    m_presenter->queueAnswer(Platform::ModalResult::No);
    QVERIFY(!order->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Then it stays open and registered
    QCOMPARE(m_presenter->texts(), QStringList({ "Data has not been saved. Close anyway?" }));
    QVERIFY(order);
    QCOMPARE(m_forms->Find(5), order.data());

    // When the user closes it again and answers Yes
    m_presenter->queueAnswer(Platform::ModalResult::Yes);
    QVERIFY(order->Close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Then it is gone from the screen and the registry
    QVERIFY(order.isNull());
    QCOMPARE(m_forms->Find(5), nullptr);
    QCOMPARE(m_presenter->messages.size(), 2);

    // and close-all now gets through
    QCOMPARE(m_forms->CloseAll(), nullptr);
    QVERIFY(vendors.isNull());
    QVERIFY(m_area->subWindowList().isEmpty());
    QCOMPARE(m_presenter->messages.size(), 2);
}

void tst_OpenedForms::windowsMenuListsOpenScreens()
{
    QAction *cascade = m_menu->addAction("Cascade");
    m_forms->SetWindowsMenu(m_menu.get());
    QCOMPARE(m_forms->WindowsMenu(), m_menu.get());
    QCOMPARE(menuTexts(), QStringList({ "Cascade" }));

    TTestScreenFrm *customers = open(10, "Customers");
    open(20, "Vendors & Items");
    QCOMPARE(menuTexts(), QStringList({ "Cascade", "--", "Customers", "Vendors && Items" }));

    // captions follow the screens
    customers->setWindowTitle("Customers - Jakarta");
    QCOMPARE(menuTexts(), QStringList({ "Cascade", "--", "Customers - Jakarta", "Vendors && Items" }));

    m_forms->Delete(10);
    QCOMPARE(menuTexts(), QStringList({ "Cascade", "--", "Vendors && Items" }));

    QVERIFY(m_forms->CloseAll() == nullptr);
    QCOMPARE(menuTexts(), QStringList({ "Cascade" }));
    // the host's own entry is left alone
    QCOMPARE(m_menu->actions().first(), cascade);
    delete customers;
}

void tst_OpenedForms::windowsMenuEntryBringsScreenToFront()
{
    m_forms->SetWindowsMenu(m_menu.get());
    TTestScreenFrm *customers = open(10, "Customers");
    TTestScreenFrm *vendors = open(20, "Vendors");
    QCOMPARE(m_area->activeSubWindow(), vendors->SubWindow());
    QSignalSpy activated(customers, &TBaseChildFrm::FormActivate);

    QCOMPARE(menuTexts(), QStringList({ "Customers", "Vendors" }));
    m_menu->actions().at(0)->trigger();

    QCOMPARE(m_area->activeSubWindow(), customers->SubWindow());
    QCOMPARE(activated.size(), 1);
}

void tst_OpenedForms::windowsMenuMarksActiveScreen()
{
    m_forms->SetWindowsMenu(m_menu.get());
    TTestScreenFrm *customers = open(10, "Customers");
    open(20, "Vendors");
    customers->BringToFront();

    Q_EMIT m_menu->aboutToShow();

    const QList<QAction *> actions = m_menu->actions();
    QCOMPARE(actions.size(), 2);
    QVERIFY(actions[0]->isChecked());
    QVERIFY(!actions[1]->isChecked());
}

void tst_OpenedForms::windowsMenuLeftCleanWhenRegistryGoes()
{
    m_menu->addAction("Tile");
    m_forms->SetWindowsMenu(m_menu.get());
    open(10, "Customers");
    QCOMPARE(m_menu->actions().size(), 3);

    m_forms.reset();
    QCOMPARE(menuTexts(), QStringList({ "Tile" }));

    // a menu handed over later gets the screens listed too
    m_forms = std::make_unique<TOpenedForms>();
    TTestScreenFrm *vendors = open(20, "Vendors");
    QMenu other;
    m_forms->SetWindowsMenu(&other);
    QCOMPARE(other.actions().size(), 1);
    QCOMPARE(other.actions().first()->text(), QString("Vendors"));
    QCOMPARE(menuTexts(), QStringList({ "Tile" }));
    m_forms->SetWindowsMenu(nullptr);
    QVERIFY(other.actions().isEmpty());
    delete vendors;
}

QTEST_MAIN(tst_OpenedForms)
#include "tst_openedforms.moc"
