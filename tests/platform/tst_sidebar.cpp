#include "Errors.h"
#include "RecordingPresenter.h"
#include "SideBar.h"

#include <QAbstractButton>
#include <QtTest>

using Platform::SideBar;
using Platform::SideBarGroup;
using Platform::SideBarItem;

class tst_SideBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void suspendIsCounted();
    void groupsAndLinksRefuseWhatCannotBe();
    void failingClickHandlerIsReported();
};

void tst_SideBar::suspendIsCounted()
{
    SideBar bar;
    bar.beginUpdate();
    bar.beginUpdate();
    SideBarGroup *group = bar.addGroup(QStringLiteral("Sales"));
    bar.endUpdate();
    QVERIFY(bar.isUpdating());
    QVERIFY(!bar.headerButton(group)); // not on screen while still suspended
    bar.endUpdate();
    QVERIFY(!bar.isUpdating());
    QCOMPARE(bar.headerButton(group)->text(), QStringLiteral("Sales"));
    bar.endUpdate(); // unmatched: harmless
    QVERIFY(!bar.isUpdating());
    // changes outside a suspension show at once
    group->setCaption(QStringLiteral("Sales & Marketing"));
    QCOMPARE(bar.headerButton(group)->text(), QStringLiteral("Sales & Marketing"));
}

void tst_SideBar::groupsAndLinksRefuseWhatCannotBe()
{
    SideBar bar, other;
    SideBarGroup *a = bar.addGroup(QStringLiteral("A"));
    SideBarGroup *b = bar.addGroup(QStringLiteral("B"));
    b->setParentGroup(a);
    QVERIFY_THROWS_EXCEPTION(Platform::Error, a->setParentGroup(b));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, a->setParentGroup(a));
    QCOMPARE(a->parentGroup(), nullptr);
    // moving takes the group out of its former parent
    SideBarGroup *c = bar.addGroup(QStringLiteral("C"));
    b->setParentGroup(c);
    QVERIFY(a->childGroups().isEmpty());
    QCOMPARE(c->childGroups(), QList<SideBarGroup *> { b });
    // a group links only items of its own bar
    QVERIFY_THROWS_EXCEPTION(Platform::Error, c->addLink(other.addItem(QStringLiteral("X"))));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, c->addLink(nullptr));
    QVERIFY(c->links().isEmpty());
}

void tst_SideBar::failingClickHandlerIsReported()
{
    // what the handler throws is shown, not thrown into Qt's event loop
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
