#include "Errors.h"
#include "MenuListU.h"
#include "SignInFixtures.h"
#include "SideBar.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
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
QJsonArray threeLevelTree()
{
    const QJsonArray archive { screen(104, QStringLiteral("Old Orders"), 5, QStringLiteral("TProbeFrm")) };
    const QJsonArray reports { screen(103, QStringLiteral("Open Orders"), 4, QStringLiteral("TProbeFrm")),
                               header(QStringLiteral("Archive"), 3, 8, archive) };
    const QJsonArray purchasing {
        screen(101, QStringLiteral("Requisitions"), 1, QStringLiteral("TPrListFrm"), QStringLiteral("a, b ,c")),
        separator(), screen(102, QStringLiteral("New Order"), 2, QStringLiteral("TPoEntryFrm"), QString(), 2),
        header(QStringLiteral("Reports"), 2, 9, reports)
    };
    return QJsonArray { header(QStringLiteral("Purchasing"), 1, 3, purchasing),
                        header(QStringLiteral("Assets"), 1, 0) };
}

QStringList itemNames(const SideBar &bar)
{
    QStringList names;
    for (const SideBarItem *item : bar.items())
        names << item->objectName();
    return names;
}

} // namespace

class tst_MenuList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void threeLevelTreeBuildsSideBar();
    void badNodeKeepsWhatCameBefore();
    void secondLoadNeedsClear();

private:
    std::unique_ptr<SideBar> m_bar;
    SideBarItem *m_hostItem = nullptr;
    std::unique_ptr<TMenuList> m_list;
};

void tst_MenuList::init()
{
    m_bar = std::make_unique<SideBar>();
    // the host's own first item, which separators stand for
    m_hostItem = m_bar->addItem(QStringLiteral("-"));
    m_hostItem->setObjectName(QStringLiteral("HostSeparator"));
    m_list = std::make_unique<TMenuList>();
    m_list->SetSideBar(m_bar.get());
}

void tst_MenuList::cleanup()
{
    m_list.reset();
    m_bar.reset();
}

void tst_MenuList::threeLevelTreeBuildsSideBar()
{
    QCOMPARE(m_list->Find(0)->FormClass, QStringLiteral("TWelcomeFrm"));
    m_list->LoadMenus(threeLevelTree(), nullptr);

    // groups in node order, nested by parent; level 1 shows a large image
    const QList<SideBarGroup *> groups = m_bar->groups();
    QStringList captions;
    for (const SideBarGroup *g : groups)
        captions << g->caption();
    QCOMPARE(captions, (QStringList { "Purchasing", "Reports", "Archive", "Assets" }));
    SideBarGroup *purchasing = groups[0], *reports = groups[1], *archive = groups[2];
    QCOMPARE(reports->parentGroup(), purchasing);
    QCOMPARE(archive->parentGroup(), reports);
    QVERIFY(purchasing->showsLargeImages());
    QVERIFY(!reports->showsLargeImages());

    // Purchasing holds item, separator link, item, then the nested group
    const QList<SideBarGroup::Entry> entries = purchasing->entries();
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries[0].item->tag(), 101);
    QCOMPARE(entries[1].item, m_hostItem);
    QCOMPARE(entries[2].item->tag(), 102);
    QCOMPARE(entries[3].group, reports);
    QCOMPARE(archive->links().size(), 1);
    QVERIFY(groups[3]->entries().isEmpty());

    // the host's item, then one per screen node, each with a name of its own
    const QList<SideBarItem *> items = m_bar->items();
    QCOMPARE(items.size(), 5);
    QCOMPARE(items[0], m_hostItem);
    QCOMPARE(items[4]->tag(), 104);
    const QStringList names = itemNames(*m_bar);
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());

    QCOMPARE(m_list->MenuIds(), (QList<int> { 0, 101, 102, 103, 104 }));
    const TMenuData *req = m_list->Find(101);
    QCOMPARE(req->FormClass, QStringLiteral("TPrListFrm"));
    QCOMPARE(req->GetParams(1), QStringLiteral("b"));
    QCOMPARE(m_list->Find(102)->ShowType, 2);
    QVERIFY(!m_bar->isUpdating());
}

// A node lacking a member its kind needs raises; what came before it stays.
void tst_MenuList::badNodeKeepsWhatCameBefore()
{
    const QJsonObject ok = screen(11, QStringLiteral("Ok"), 0, QStringLiteral("TProbeFrm"));
    QJsonObject noClass = screen(12, QStringLiteral("Bad"), 0, QStringLiteral("TProbeFrm"));
    noClass.remove(QStringLiteral("form_class"));
    const QJsonArray tree { header(QStringLiteral("H"), 1, 0, QJsonArray { ok, noClass }) };
    try {
        m_list->LoadMenus(tree, nullptr);
        QFAIL("the bad node must raise");
    } catch (const Platform::JsonMemberError &e) {
        QCOMPARE(e.message(),
                 QStringLiteral("JSON member \"form_class\" is missing in menu node menus[0].children[1]."));
    }
    QCOMPARE(m_list->MenuIds(), (QList<int> { 0, 11 }));
    QCOMPARE(m_bar->itemCount(), 2);
    QVERIFY(!m_bar->isUpdating());
}

void tst_MenuList::secondLoadNeedsClear()
{
    m_list->LoadMenus(threeLevelTree(), nullptr);
    const QStringList names = itemNames(*m_bar);
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError, m_list->LoadMenus(threeLevelTree(), nullptr));

    m_list->Clear();
    QCOMPARE(m_list->MenuIds(), QList<int> { 0 });
    QCOMPARE(m_bar->groupCount(), 0);
    QCOMPARE(m_bar->items(), QList<SideBarItem *> { m_hostItem });

    m_list->LoadMenus(threeLevelTree(), nullptr);
    QCOMPARE(m_list->Count(), 5);
    QCOMPARE(m_bar->groupCount(), 4);
    QCOMPARE(itemNames(*m_bar), names);
}

QTEST_MAIN(tst_MenuList)
#include "tst_menulist.moc"
