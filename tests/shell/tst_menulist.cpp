#include "Errors.h"
#include "MenuListU.h"
#include "RecordingPresenter.h"
#include "SignInFixtures.h"
#include "SideBar.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

using Platform::SideBar;
using Platform::SideBarGroup;
using Platform::SideBarItem;
using namespace MenuJson;

namespace {

// Purchasing (level 1, large image 3)
//   Requisitions 101 | - | New Order 102 (dialog)
//   Reports (level 2)
//     Open Orders 103
//     Archive (level 3)
//       Old Orders 104
// Assets (level 1, no children)
// CRM (level 1, children not an array)
QJsonArray threeLevelTree()
{
    const QJsonArray archive { screen(104, QStringLiteral("Old Orders"), 5, QStringLiteral("TProbeFrm")) };
    const QJsonArray reports { screen(103, QStringLiteral("Open Orders"), 4, QStringLiteral("TProbeFrm")),
                               header(QStringLiteral("Archive"), 3, 8, archive) };
    const QJsonArray purchasing { screen(101, QStringLiteral("Requisitions"), 1, QStringLiteral("TPrListFrm"),
                                         QStringLiteral("a, b ,c")),
                                  separator(),
                                  screen(102, QStringLiteral("New Order"), 2, QStringLiteral("TPoEntryFrm"),
                                         QString(), 2),
                                  header(QStringLiteral("Reports"), 2, 9, reports) };
    return QJsonArray { header(QStringLiteral("Purchasing"), 1, 3, purchasing),
                        header(QStringLiteral("Assets"), 1, 0),
                        header(QStringLiteral("CRM"), 1, 1, QStringLiteral("not an array")) };
}

QIcon swatch(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

class tst_MenuList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void welcomeEntryBeforeAnyLoad();
    void getParams_data();
    void getParams();
    void appendRefusesDuplicateFindRaises();

    void threeLevelTreeBuildsSideBar();
    void sideBarShowsTreeAndClicksCarryMenuId();
    void clickHandlerMayReloadTheSideBar();

    void missingMembers_data();
    void missingMembers();
    void repeatedIdStopsAtThatNode();
    void refusedTrees_data();
    void refusedTrees();

    void secondLoadNeedsClear();
    void destroyedListLeavesItemsHarmless();

private:
    std::unique_ptr<SideBar> m_bar;
    SideBarItem *m_hostItem = nullptr;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_MenuList::init()
{
    m_presenter = RecordingPresenter::install();
    m_bar = std::make_unique<SideBar>();
    m_bar->resize(240, 600);
    m_bar->setSmallImages({ swatch(Qt::red), swatch(Qt::green), swatch(Qt::blue), swatch(Qt::cyan),
                            swatch(Qt::magenta), swatch(Qt::yellow) });
    m_bar->setLargeImages({ swatch(Qt::darkRed), swatch(Qt::darkGreen), swatch(Qt::darkBlue), swatch(Qt::darkCyan) });
    // the host's own first item, which separators stand for
    m_hostItem = m_bar->addItem(QStringLiteral("-"));
    m_hostItem->setObjectName(QStringLiteral("HostSeparator"));
}

void tst_MenuList::cleanup()
{
    m_bar.reset();
}

void tst_MenuList::welcomeEntryBeforeAnyLoad()
{
    TMenuList list;
    QCOMPARE(list.Count(), 1);
    const TMenuData *welcome = list.Find(0);
    QCOMPARE(welcome->FormClass, QStringLiteral("TWelcomeFrm"));
    QCOMPARE(welcome->ShowType, 1);
}

void tst_MenuList::getParams_data()
{
    QTest::addColumn<QString>("params");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks around") << "a, b ,c" << 1 << "b";
    QTest::newRow("empty params, any index") << "" << 5 << "";
    QTest::newRow("empty item counts") << "a,,b" << 2 << "b";
    QTest::newRow("trailing comma") << "a,b," << 2 << "";
    QTest::newRow("blank inside kept") << "status = 2, mode" << 0 << "status = 2";
    QTest::newRow("single") << "  add  " << 0 << "add";
    QTest::newRow("beyond the last")
        << "a,b" << 2 << "raises: Parameter index 2 is out of bounds: menu 7 has 2 parameters.";
    QTest::newRow("negative") << "a,b" << -1 << "raises: Parameter index -1 is out of bounds: menu 7 has 2 parameters.";
}

void tst_MenuList::getParams()
{
    QFETCH(QString, params);
    QFETCH(int, index);
    QFETCH(QString, expected);
    TMenuData data;
    data.MenuId = 7;
    data.Params = params;
    if (!expected.startsWith(QLatin1String("raises: "))) {
        QCOMPARE(data.GetParams(index), expected);
        return;
    }
    try {
        data.GetParams(index);
        QFAIL("an index outside the items must raise");
    } catch (const Platform::Error &e) {
        QCOMPARE(e.message(), expected.mid(8));
    }
}

void tst_MenuList::appendRefusesDuplicateFindRaises()
{
    TMenuList list;
    list.Append(5, QStringLiteral("First"), QStringLiteral("TAFrm"), QString(), QString(), QString(), QString(), 1);
    try {
        list.Append(5, QStringLiteral("Second"), QStringLiteral("TBFrm"), QString(), QString(), QString(), QString(), 2);
        QFAIL("a taken id must raise");
    } catch (const Platform::DuplicateKeyError &e) {
        QCOMPARE(e.message(), QStringLiteral("Menu id 5 (\"Second\") is already in the menu list."));
    }
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Find(5)->MenuTitle, QStringLiteral("First"));
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             list.Append(0, QString(), QString(), QString(), QString(), QString(), QString(), 1));

    try {
        list.Find(77);
        QFAIL("an unknown id must raise");
    } catch (const Platform::NotFoundError &e) {
        QCOMPARE(e.message(), QStringLiteral("Menu id 77 is not in the menu list."));
    }
}

void tst_MenuList::threeLevelTreeBuildsSideBar()
{
    TMenuList list;
    list.SetSideBar(m_bar.get());
    list.LoadMenus(threeLevelTree(), nullptr);

    // Groups in node order, in one collection, nested by parent.
    const QList<SideBarGroup *> groups = m_bar->groups();
    QStringList captions;
    for (const SideBarGroup *g : groups)
        captions << g->caption();
    QCOMPARE(captions, (QStringList { "Purchasing", "Reports", "Archive", "Assets", "CRM" }));
    SideBarGroup *purchasing = groups[0], *reports = groups[1], *archive = groups[2];
    QCOMPARE(purchasing->parentGroup(), nullptr);
    QCOMPARE(reports->parentGroup(), purchasing);
    QCOMPARE(archive->parentGroup(), reports);
    QCOMPARE(groups[3]->parentGroup(), nullptr);
    for (const SideBarGroup *g : groups)
        QVERIFY2(!g->isExpanded(), qPrintable(g->caption()));

    // Level 1 shows a large image; deeper levels keep the defaults.
    QCOMPARE(purchasing->largeImageIndex(), 3);
    QVERIFY(purchasing->showsLargeImages());
    QCOMPARE(reports->largeImageIndex(), -1);
    QVERIFY(!reports->showsLargeImages());
    QVERIFY(!archive->showsLargeImages());
    QCOMPARE(groups[3]->largeImageIndex(), 0);

    // Purchasing holds item, separator link, item, then the nested group.
    const QList<SideBarGroup::Entry> entries = purchasing->entries();
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries[0].item->tag(), 101);
    QCOMPARE(entries[1].item, m_hostItem);
    QCOMPARE(entries[2].item->tag(), 102);
    QCOMPARE(entries[3].group, reports);
    QCOMPARE(reports->links().size(), 1);
    QCOMPARE(reports->childGroups(), QList<SideBarGroup *> { archive });
    QCOMPARE(archive->links().size(), 1);
    QVERIFY(groups[3]->entries().isEmpty()); // no children
    QVERIFY(groups[4]->entries().isEmpty()); // children not an array

    // Items: the host's first, then one per screen node.
    const QList<SideBarItem *> items = m_bar->items();
    QCOMPARE(items.size(), 5);
    QCOMPARE(items[0], m_hostItem);
    struct Expected { int tag; const char *caption; const char *name; int small; };
    const Expected expected[] = {
        { 101, "Requisitions", "ItemName0_0", 1 },
        { 102, "New Order", "ItemName0_2", 2 },
        { 103, "Open Orders", "ItemName1_0", 4 },
        { 104, "Old Orders", "ItemName2_0", 5 },
    };
    for (int i = 0; i < 4; ++i) {
        const SideBarItem *item = items[i + 1];
        QCOMPARE(item->tag(), expected[i].tag);
        QCOMPARE(item->caption(), QString::fromLatin1(expected[i].caption));
        QCOMPARE(item->objectName(), QString::fromLatin1(expected[i].name));
        QCOMPARE(item->smallImageIndex(), expected[i].small);
        QCOMPARE(item->largeImageIndex(), -1);
    }

    // Entries: welcome plus the four screens, with the node's members.
    QCOMPARE(list.MenuIds(), (QList<int> { 0, 101, 102, 103, 104 }));
    const TMenuData *req = list.Find(101);
    QCOMPARE(req->MenuTitle, QStringLiteral("Requisitions"));
    QCOMPARE(req->FormClass, QStringLiteral("TPrListFrm"));
    QCOMPARE(req->TrCode, QStringLiteral("TR101"));
    QCOMPARE(req->TrGroupId, QStringLiteral("G101"));
    QVERIFY(req->BreadCrumbs.isEmpty());
    QCOMPARE(req->ShowType, 1);
    QCOMPARE(req->GetParams(1), QStringLiteral("b"));
    QCOMPARE(list.Find(102)->ShowType, 2);
    QVERIFY(!m_bar->isUpdating());
}

void tst_MenuList::sideBarShowsTreeAndClicksCarryMenuId()
{
    TMenuList list;
    list.SetSideBar(m_bar.get());
    QList<int> clicked;
    list.SetOnMenuClick([&](QObject *sender) {
        auto *item = qobject_cast<SideBarItem *>(sender);
        QVERIFY(item);
        clicked.append(item->tag());
    });
    list.LoadMenus(threeLevelTree(), nullptr);
    m_bar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_bar.get()));

    SideBarGroup *purchasing = m_bar->group(0);
    QAbstractButton *head = m_bar->headerButton(purchasing);
    QVERIFY(head);
    QCOMPARE(head->text(), QStringLiteral("Purchasing"));
    QCOMPARE(head->icon().cacheKey(), m_bar->largeImages().at(3).cacheKey());
    QVERIFY(!head->isChecked());

    SideBarItem *requisitions = m_bar->item(1);
    const QList<QAbstractButton *> buttons = m_bar->itemButtons(requisitions);
    QCOMPARE(buttons.size(), 1);
    QAbstractButton *button = buttons.first();
    QCOMPARE(button->text(), QStringLiteral("Requisitions"));
    QCOMPARE(button->objectName(), QStringLiteral("ItemName0_0"));
    QCOMPARE(button->icon().cacheKey(), m_bar->smallImages().at(1).cacheKey());
    QVERIFY(!button->isVisible()); // the group is collapsed

    // A click on the caption opens the group, a second one folds it again.
    QTest::mouseClick(head, Qt::LeftButton);
    QVERIFY(purchasing->isExpanded());
    QVERIFY(head->isChecked());
    QVERIFY(button->isVisible());
    QVERIFY(!m_bar->itemButtons(m_bar->item(3)).first()->isVisible()); // Reports still folded

    // A click on an item carries its menu id.
    m_bar->group(1)->setExpanded(true);
    QSignalSpy spy(m_bar.get(), &SideBar::itemClicked);
    QTest::mouseClick(m_bar->itemButtons(m_bar->item(3)).first(), Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked, (QList<int> { 103, 101 }));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).value<SideBarItem *>(), m_bar->item(3));

    QTest::mouseClick(head, Qt::LeftButton);
    QVERIFY(!purchasing->isExpanded());
    QVERIFY(!button->isVisible());
}

void tst_MenuList::clickHandlerMayReloadTheSideBar()
{
    // A click that rebuilds the side bar deletes the very item and button
    // that are delivering it.
    TMenuList list;
    list.SetSideBar(m_bar.get());
    int reloads = 0;
    list.SetOnMenuClick([&](QObject *) {
        list.Clear();
        list.LoadMenus(threeLevelTree(), nullptr);
        ++reloads;
    });
    list.LoadMenus(threeLevelTree(), nullptr);
    m_bar->show();
    m_bar->group(0)->setExpanded(true);
    QPointer<SideBarItem> first = m_bar->item(1);
    QTest::mouseClick(m_bar->itemButtons(first).first(), Qt::LeftButton);
    QCOMPARE(reloads, 1);
    QVERIFY(first.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(m_bar->itemCount(), 5);
    QCOMPARE(list.Count(), 5);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_MenuList::missingMembers_data()
{
    QTest::addColumn<QJsonArray>("tree");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("idsAfter");
    QTest::addColumn<int>("itemsAfter");

    auto without = [](QJsonObject node, const char *member) {
        node.remove(QLatin1String(member));
        return node;
    };
    const QJsonObject ok = screen(11, QStringLiteral("Ok"), 0, QStringLiteral("TProbeFrm"));

    QTest::newRow("is_header")
        << QJsonArray { without(header(QStringLiteral("H"), 1, 0), "is_header") }
        << "JSON member \"is_header\" is missing in menu node menus[0]." << QList<int> { 0 } << 1;
    QTest::newRow("level-1 icon_index")
        << QJsonArray { without(header(QStringLiteral("H"), 1, 0), "icon_index") }
        << "JSON member \"icon_index\" is missing in menu node menus[0]." << QList<int> { 0 } << 1;
    QTest::newRow("screen form_class after a good node")
        << QJsonArray { header(QStringLiteral("H"), 1, 0, QJsonArray { ok, without(screen(12, "Bad", 0, QStringLiteral("TProbeFrm")), "form_class") }) }
        << "JSON member \"form_class\" is missing in menu node menus[0].children[1]." << QList<int> { 0, 11 } << 2;
    QJsonObject textId = screen(12, QStringLiteral("Bad"), 0, QStringLiteral("TProbeFrm"));
    textId.insert(QStringLiteral("menu_id"), QStringLiteral("12"));
    QTest::newRow("menu_id of another kind")
        << QJsonArray { header(QStringLiteral("H"), 1, 0, QJsonArray { textId }) }
        << "JSON member \"menu_id\" is not a number but a string in menu node menus[0].children[0]."
        << QList<int> { 0 } << 1;
    QTest::newRow("node not an object")
        << QJsonArray { header(QStringLiteral("H"), 1, 0, QJsonArray { ok, 42 }) }
        << "Menu node menus[0].children[1] is not a JSON object." << QList<int> { 0, 11 } << 2;
}

void tst_MenuList::missingMembers()
{
    QFETCH(QJsonArray, tree);
    QFETCH(QString, message);
    QFETCH(QList<int>, idsAfter);
    QFETCH(int, itemsAfter);

    TMenuList list;
    list.SetSideBar(m_bar.get());
    try {
        list.LoadMenus(tree, nullptr);
        QFAIL("a node lacking a member must raise");
    } catch (const Platform::JsonMemberError &e) {
        QCOMPARE(e.message(), message);
    }
    // What came before the bad node stays; the bad node left nothing.
    QCOMPARE(list.MenuIds(), idsAfter);
    QCOMPARE(m_bar->itemCount(), itemsAfter);
    QVERIFY(!m_bar->isUpdating());

    // Clear() takes the half-built tree away and a good one loads.
    list.Clear();
    QCOMPARE(m_bar->groupCount(), 0);
    QCOMPARE(m_bar->items(), QList<SideBarItem *> { m_hostItem });
    list.LoadMenus(threeLevelTree(), nullptr);
    QCOMPARE(list.Count(), 5);
}

void tst_MenuList::repeatedIdStopsAtThatNode()
{
    TMenuList list;
    list.SetSideBar(m_bar.get());
    const QJsonArray tree { header(QStringLiteral("H"), 1, 0,
                                   QJsonArray { screen(21, QStringLiteral("One"), 0, QStringLiteral("TProbeFrm")), screen(21, QStringLiteral("Again"), 0, QStringLiteral("TProbeFrm")),
                                                screen(22, QStringLiteral("Never"), 0, QStringLiteral("TProbeFrm")) }) };
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError, list.LoadMenus(tree, nullptr));
    QCOMPARE(list.MenuIds(), (QList<int> { 0, 21 }));
    QCOMPARE(m_bar->itemCount(), 2); // the repeated node made no item
    QCOMPARE(m_bar->group(0)->links().size(), 1);
    QCOMPARE(list.Find(21)->MenuTitle, QStringLiteral("One"));
}

// Trees the list refuses as a whole: nothing of them is loaded.
void tst_MenuList::refusedTrees_data()
{
    QTest::addColumn<QJsonArray>("tree");
    QTest::addColumn<bool>("withSideBar");
    QTest::addColumn<QString>("message"); // what the error starts with
    QTest::addColumn<int>("groups");

    QTest::newRow("screen at the top level")
        << QJsonArray { header(QStringLiteral("H"), 1, 0), screen(31, QStringLiteral("Loose"), 0, QStringLiteral("TProbeFrm")) }
        << true
        << "Menu node menus[1] (\"Loose\") is not a header; the top level of the menu tree holds header nodes only."
        << 1;
    QJsonArray deep { screen(41, QStringLiteral("Deep"), 0, QStringLiteral("TProbeFrm")) };
    for (int level = 40; level >= 1; --level)
        deep = QJsonArray { header(QStringLiteral("L%1").arg(level), level, 0, deep) };
    QTest::newRow("nested 40 deep") << deep << true
                                    << "The menu tree is nested deeper than 32 levels at menus[0]" << -1;
    QTest::newRow("no side bar") << threeLevelTree() << false
                                 << "The menu list has no side bar to show the menus in." << 0;
}

void tst_MenuList::refusedTrees()
{
    QFETCH(QJsonArray, tree);
    QFETCH(bool, withSideBar);
    QFETCH(QString, message);
    QFETCH(int, groups);
    TMenuList list;
    if (withSideBar)
        list.SetSideBar(m_bar.get());
    try {
        list.LoadMenus(tree, nullptr);
        QFAIL("the tree must be refused");
    } catch (const Platform::Error &e) {
        QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
    }
    QCOMPARE(list.MenuIds(), QList<int> { 0 });
    QCOMPARE(m_bar->itemCount(), 1);
    if (groups >= 0)
        QCOMPARE(m_bar->groupCount(), groups);
    QVERIFY(!m_bar->isUpdating());
}

void tst_MenuList::secondLoadNeedsClear()
{
    TMenuList list;
    list.SetSideBar(m_bar.get());
    list.LoadMenus(threeLevelTree(), nullptr);
    QStringList names;
    for (const SideBarItem *item : m_bar->items())
        names << item->objectName();

    // Without emptying, the first screen node of the second load is a duplicate.
    try {
        list.LoadMenus(threeLevelTree(), nullptr);
        QFAIL("a second load of the same tree must raise without Clear()");
    } catch (const Platform::DuplicateKeyError &e) {
        QCOMPARE(e.message(), QStringLiteral("Menu id 101 (\"Requisitions\") is already in the menu list."));
    }

    list.Clear();
    QCOMPARE(list.MenuIds(), QList<int> { 0 });
    QCOMPARE(list.Find(0)->FormClass, QStringLiteral("TWelcomeFrm"));
    QCOMPARE(m_bar->groupCount(), 0);
    QCOMPARE(m_bar->items(), QList<SideBarItem *> { m_hostItem });

    list.LoadMenus(threeLevelTree(), nullptr);
    QCOMPARE(list.Count(), 5);
    QCOMPARE(m_bar->groupCount(), 5);
    QStringList again;
    for (const SideBarItem *item : m_bar->items())
        again << item->objectName();
    QCOMPARE(again, names);
    QCOMPARE(m_bar->item(0), m_hostItem);
}

void tst_MenuList::destroyedListLeavesItemsHarmless()
{
    // The host's side bar outlives the controller's list at shut-down.
    bool called = false;
    {
        TMenuList list;
        list.SetSideBar(m_bar.get());
        list.SetOnMenuClick([&called](QObject *) { called = true; });
        list.LoadMenus(threeLevelTree(), nullptr);
    }
    m_bar->item(1)->click();
    QVERIFY(!called);
    QCOMPARE(m_bar->itemCount(), 5);
}

QTEST_MAIN(tst_MenuList)
#include "tst_menulist.moc"
