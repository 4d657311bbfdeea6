#include "Errors.h"
#include "RecordingPresenter.h"
#include "SideBar.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QtTest>

using Platform::SideBar;
using Platform::SideBarGroup;
using Platform::SideBarItem;

class tst_SideBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void suspendIsCounted();
    void deleteItemsKeepsFirstAndDropsLinks();
    void clearGroupsRestartsIds();
    void groupCannotMoveIntoItself();
    void linkOnlyItemsOfSameBar();
    void imageIndexOutOfRangeShowsNone();
    void failingClickHandlerIsReported();
};

void tst_SideBar::suspendIsCounted()
{
    SideBar bar;
    bar.beginUpdate();
    bar.beginUpdate();
    SideBarGroup *group = bar.addGroup(QStringLiteral("Sales"));
    QVERIFY(bar.isUpdating());
    QVERIFY(!bar.headerButton(group)); // not on screen yet
    bar.endUpdate();
    QVERIFY(!bar.headerButton(group));
    bar.endUpdate();
    QVERIFY(!bar.isUpdating());
    QVERIFY(bar.headerButton(group));
    QCOMPARE(bar.headerButton(group)->text(), QStringLiteral("Sales"));
    bar.endUpdate(); // unmatched: harmless
    QVERIFY(!bar.isUpdating());

    // Changes outside a suspension show at once.
    group->setCaption(QStringLiteral("Sales & Marketing"));
    QCOMPARE(bar.headerButton(group)->text(), QStringLiteral("Sales & Marketing"));
}

void tst_SideBar::deleteItemsKeepsFirstAndDropsLinks()
{
    SideBar bar;
    SideBarItem *first = bar.addItem(QStringLiteral("Home"));
    SideBarGroup *group = bar.addGroup(QStringLiteral("G"));
    for (int i = 0; i < 3; ++i)
        group->addLink(bar.addItem(QStringLiteral("I%1").arg(i)));
    group->addLink(first);
    QCOMPARE(group->links().size(), 4);
    QPointer<SideBarItem> last = bar.item(3);

    bar.deleteItemsExceptFirst();
    QVERIFY(last.isNull());
    QCOMPARE(bar.items(), QList<SideBarItem *> { first });
    QCOMPARE(group->links(), QList<SideBarItem *> { first });
    QCOMPARE(bar.itemButtons(first).size(), 1);
}

void tst_SideBar::clearGroupsRestartsIds()
{
    SideBar bar;
    SideBarGroup *a = bar.addGroup();
    SideBarGroup *b = bar.addGroup();
    b->setParentGroup(a);
    QCOMPARE(a->id(), 0);
    QCOMPARE(b->id(), 1);
    QCOMPARE(b->index(), 1);
    QCOMPARE(bar.groupById(1), b);
    bar.clearGroups();
    QCOMPARE(bar.groupCount(), 0);
    QVERIFY(!bar.groupById(1));
    QCOMPARE(bar.addGroup()->id(), 0);
}

void tst_SideBar::groupCannotMoveIntoItself()
{
    SideBar bar;
    SideBarGroup *a = bar.addGroup(QStringLiteral("A"));
    SideBarGroup *b = bar.addGroup(QStringLiteral("B"));
    b->setParentGroup(a);
    QVERIFY_THROWS_EXCEPTION(Platform::Error, a->setParentGroup(b));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, a->setParentGroup(a));
    QCOMPARE(a->parentGroup(), nullptr);

    // Moving takes the group out of its former parent.
    SideBarGroup *c = bar.addGroup(QStringLiteral("C"));
    b->setParentGroup(c);
    QVERIFY(a->childGroups().isEmpty());
    QCOMPARE(c->childGroups(), QList<SideBarGroup *> { b });
}

void tst_SideBar::linkOnlyItemsOfSameBar()
{
    SideBar bar, other;
    SideBarGroup *group = bar.addGroup(QStringLiteral("G"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, group->addLink(other.addItem(QStringLiteral("X"))));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, group->addLink(nullptr));
    QVERIFY(group->links().isEmpty());
}

void tst_SideBar::imageIndexOutOfRangeShowsNone()
{
    SideBar bar;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    bar.setSmallImages({ QIcon(pixmap) });
    SideBarGroup *group = bar.addGroup(QStringLiteral("G"));
    SideBarItem *good = bar.addItem(QStringLiteral("Good"));
    good->setSmallImageIndex(0);
    SideBarItem *bad = bar.addItem(QStringLiteral("Bad"));
    bad->setSmallImageIndex(99);
    group->addLink(good);
    group->addLink(bad);
    QVERIFY(!bar.itemButtons(good).first()->icon().isNull());
    QVERIFY(bar.itemButtons(bad).first()->icon().isNull());
}

void tst_SideBar::failingClickHandlerIsReported()
{
    // A click comes from the event loop: what the handler throws is shown,
    // not thrown into Qt.
    RecordingPresenter *presenter = RecordingPresenter::install();
    SideBar bar;
    SideBarGroup *group = bar.addGroup(QStringLiteral("G"));
    SideBarItem *item = bar.addItem(QStringLiteral("Boom"));
    item->setOnClick([](QObject *) { throw Platform::NotFoundError(QStringLiteral("Nothing here.")); });
    group->addLink(item);
    bar.show();
    QTest::mouseClick(bar.itemButtons(item).first(), Qt::LeftButton);
    QCOMPARE(presenter->texts(), QStringList { QStringLiteral("Nothing here.") });
    QCOMPARE(presenter->messages.first().kind, Platform::MessageKind::Error);
}

QTEST_MAIN(tst_SideBar)
#include "tst_sidebar.moc"
