// Screens, and the registry of the open ones that closes them together.
#include "AccessDetailsU.h"
#include "BaseChildFrmU.h"
#include "BaseSubFrmU.h"
#include "MenuListU.h"
#include "OpenedFormsU.h"
#include "RecordingPresenter.h"
#include "ScreenFixtures.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

namespace {

// A sub form as a screen would embed one.
class TNotesSubFrm : public TBaseSubFrm
{
    Q_OBJECT
public:
    static inline int Alive = 0;
    explicit TNotesSubFrm(QWidget *AOwner)
        : TBaseSubFrm(AOwner)
    {
        ++Alive;
    }
    ~TNotesSubFrm() override { --Alive; }
    void LoadData() override { ++loads; }
    void TranslationChanged() override { }
    int loads = 0;
};

} // namespace

class tst_BaseChildFrm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void dataModeSwitchesControls_data();
    void dataModeSwitchesControls();
    void userCloseAsksWhenUnsaved_data();
    void userCloseAsksWhenUnsaved();

    void closeAllStopsOnlyForUnsavedAddOrEdit_data();
    void closeAllStopsOnlyForUnsavedAddOrEdit();
    void windowsMenuFollowsOpenScreens();
    void subFormFillsItsContainer();

private:
    // A screen for menu entry AMenuId, opened the way the controller does.
    TTestScreenFrm *open(int AMenuId, const QString &ACaption, TDataMode AMode = dmBrowse, bool AModified = true);
    QStringList menuTexts() const;

    std::unique_ptr<MdiHost> m_host;
    RecordingPresenter *m_presenter = nullptr;
    std::unique_ptr<TOpenedForms> m_forms;
    std::vector<std::unique_ptr<TMenuData>> m_entries;
    std::unique_ptr<QMenu> m_menu;
};

void tst_BaseChildFrm::init()
{
    m_presenter = RecordingPresenter::install();
    m_host = std::make_unique<MdiHost>();
    m_forms = std::make_unique<TOpenedForms>();
    m_menu = std::make_unique<QMenu>("Window");
}

void tst_BaseChildFrm::cleanup()
{
    m_forms.reset();
    m_host.reset();
    m_menu.reset();
    m_entries.clear();
    Platform::setDialogPresenter(nullptr);
}

TTestScreenFrm *tst_BaseChildFrm::open(int AMenuId, const QString &ACaption, TDataMode AMode, bool AModified)
{
    auto entry = std::make_unique<TMenuData>();
    entry->MenuId = AMenuId;
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

QStringList tst_BaseChildFrm::menuTexts() const
{
    QStringList texts;
    for (QAction *action : m_menu->actions())
        texts.append(action->isSeparator() ? QString("--") : action->text());
    return texts;
}

// The screen's Save button is shown in add and edit only.
void tst_BaseChildFrm::dataModeSwitchesControls_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<bool>("saveShown");
    QTest::newRow("browse") << dmBrowse << false;
    QTest::newRow("add") << dmAdd << true;
    QTest::newRow("edit") << dmEdit << true;
}

void tst_BaseChildFrm::dataModeSwitchesControls()
{
    QFETCH(TDataMode, mode);
    QFETCH(bool, saveShown);

    TTestScreenFrm frm;
    // registering applies nothing until the first mode assignment
    QVERIFY(!frm.btnSave->isHidden());
    frm.SetDataMode(mode);
    QCOMPARE(frm.DataMode(), mode);
    QCOMPARE(frm.AccessDetails()->DataMode(), mode);
    QCOMPARE(!frm.btnSave->isHidden(), saveShown);
}

void tst_BaseChildFrm::userCloseAsksWhenUnsaved_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer"); // 0: nothing is asked
    QTest::addColumn<bool>("closed");
    QTest::newRow("yes") << true << int(Platform::ModalResult::Yes) << true;
    QTest::newRow("no") << true << int(Platform::ModalResult::No) << false;
    QTest::newRow("saved") << false << 0 << true;
}

void tst_BaseChildFrm::userCloseAsksWhenUnsaved()
{
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(bool, closed);

    QPointer<TTestScreenFrm> frm = new TTestScreenFrm(m_host->main());
    frm->SetDataMode(dmAdd);
    frm->IsModified = modified;
    frm->ShowChild();
    if (answer)
        m_presenter->queueAnswer(answer);

    // the sub-window's close button
    const bool result = frm->SubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    if (answer) {
        QCOMPARE(m_presenter->messages.size(), 1);
        QCOMPARE(m_presenter->messages[0].text, QString("Data has not been saved. Close anyway?"));
        QCOMPARE(m_presenter->messages[0].kind, Platform::MessageKind::Confirmation);
        QCOMPARE(m_presenter->messages[0].buttons, Platform::MessageButton::Yes | Platform::MessageButton::No);
    } else {
        QVERIFY(m_presenter->messages.isEmpty());
    }
    QCOMPARE(result, closed);
    QCOMPARE(frm.isNull(), closed);
    QCOMPARE(m_host->area()->subWindowList().size(), closed ? 0 : 1);
    if (!closed) {
        // Close() goes the same way
        m_presenter->queueAnswer(Platform::ModalResult::Yes);
        QVERIFY(frm->Close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frm.isNull());
        QVERIFY(m_host->area()->subWindowList().isEmpty());
    }
}

void tst_BaseChildFrm::closeAllStopsOnlyForUnsavedAddOrEdit_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("stops");
    QTest::newRow("add modified") << dmAdd << true << true;
    QTest::newRow("edit not modified") << dmEdit << false << false;
    QTest::newRow("browse modified") << dmBrowse << true << false;
}

void tst_BaseChildFrm::closeAllStopsOnlyForUnsavedAddOrEdit()
{
    QFETCH(TDataMode, mode);
    QFETCH(bool, modified);
    QFETCH(bool, stops);

    QPointer<TTestScreenFrm> first = open(1, "First");
    QPointer<TTestScreenFrm> screen = open(2, "Screen", mode, modified);
    QPointer<TTestScreenFrm> last = open(3, "Last");

    TBaseChildFrm *stopped = m_forms->CloseAll();

    QVERIFY(first.isNull());
    QCOMPARE(stopped, stops ? screen.data() : nullptr);
    QCOMPARE(screen.isNull(), !stops);
    QCOMPARE(last.isNull(), !stops);
    QCOMPARE(m_forms->Count(), stops ? 2 : 0);
    if (stops) // the unsaved screen comes to the front
        QCOMPARE(m_host->area()->activeSubWindow(), screen->SubWindow());
    else
        QVERIFY(m_host->area()->subWindowList().isEmpty());
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_BaseChildFrm::windowsMenuFollowsOpenScreens()
{
    QAction *cascade = m_menu->addAction("Cascade");
    m_forms->SetWindowsMenu(m_menu.get());
    TTestScreenFrm *customers = open(10, "Customers");
    TTestScreenFrm *vendors = open(20, "Vendors & Items");
    QCOMPARE(menuTexts(), QStringList({ "Cascade", "--", "Customers", "Vendors && Items" }));

    // an entry brings its screen to the front, and is marked
    QCOMPARE(m_host->area()->activeSubWindow(), vendors->SubWindow());
    m_menu->actions().at(2)->trigger();
    QCOMPARE(m_host->area()->activeSubWindow(), customers->SubWindow());
    Q_EMIT m_menu->aboutToShow();
    QVERIFY(m_menu->actions().at(2)->isChecked());
    QVERIFY(!m_menu->actions().at(3)->isChecked());

    // a released screen leaves the registry and the menu
    delete customers;
    QCOMPARE(m_forms->Find(10), nullptr);
    QCOMPARE(menuTexts(), QStringList({ "Cascade", "--", "Vendors && Items" }));

    // the host's own entry is left alone, when emptied and when the registry goes
    QVERIFY(m_forms->CloseAll() == nullptr);
    QCOMPARE(menuTexts(), QStringList({ "Cascade" }));
    open(30, "Contacts");
    m_forms.reset();
    QCOMPARE(m_menu->actions(), QList<QAction *>({ cascade }));
}

// LoadForm embeds a sub form: no frame, filling the container and following
// its size, beside what the container already lays out, gone with it.
void tst_BaseChildFrm::subFormFillsItsContainer()
{
    QCOMPARE(TBaseSubFrm::LoadForm<TNotesSubFrm>(nullptr), nullptr);
    QCOMPARE(TNotesSubFrm::Alive, 0);
    {
        QWidget screen;
        auto *panel = new QWidget(&screen);
        panel->setGeometry(10, 10, 400, 300);
        screen.resize(640, 480);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        TNotesSubFrm *notes = TBaseSubFrm::LoadForm<TNotesSubFrm>(panel);
        QVERIFY(notes);
        QCOMPARE(notes->parentWidget(), panel);
        QCOMPARE(notes->parent(), panel);
        QVERIFY(!notes->isWindow());
        QVERIFY(notes->isVisible());
        QCOMPARE(notes->DataMode, dmBrowse);
        QCOMPARE(notes->geometry(), panel->rect());
        panel->resize(520, 360);
        QTRY_COMPARE(notes->geometry(), panel->rect());
        notes->LoadData();
        QCOMPARE(notes->loads, 1);

        // a tab page that lays out a heading already: the sub form goes
        // below it and takes the room left
        auto *page = new QWidget(&screen);
        page->setGeometry(0, 0, 300, 200);
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *heading = new QLabel(QStringLiteral("Notes"), page);
        layout->addWidget(heading);
        page->show();
        TNotesSubFrm *second = TBaseSubFrm::LoadForm<TNotesSubFrm>(page);
        QVERIFY(second->isVisible());
        QTRY_VERIFY(second->geometry().top() >= heading->geometry().bottom());
        QCOMPARE(second->width(), page->width());
        QCOMPARE(TNotesSubFrm::Alive, 2);
    }
    QCOMPARE(TNotesSubFrm::Alive, 0);
}

QTEST_MAIN(tst_BaseChildFrm)
#include "tst_basechildfrm.moc"
