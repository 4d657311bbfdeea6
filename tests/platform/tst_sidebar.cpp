#include "Errors.h"
#include "RecordingPresenter.h"
#include "SideBar.h"

#include <QAbstractButton>
#include <QtTest>

using Platform::SideBar;
using Platform::SideBarGroup;
using Platform::SideBarItem;

namespace {

// The text a button paints: "&&" is one ampersand, a single "&" marks the
// next letter as its keyboard accelerator and is not shown.
QString shownText(const QAbstractButton *button)
{
    QString shown;
    const QString text = button->text();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && ++i == text.size())
            break;
        shown += text.at(i);
    }
    return shown;
}

} // namespace

class tst_SideBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void suspendIsCounted();
    void groupsAndLinksRefuseWhatCannotBe();
    void failingClickHandlerIsReported();
    void captionsAreShownAsTheServerWroteThem();
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
    QCOMPARE(shownText(bar.headerButton(group)), QStringLiteral("Sales & Marketing"));
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

// Menu titles come from the server: an ampersand in one is text, not the
// mark of a keyboard accelerator.
void tst_SideBar::captionsAreShownAsTheServerWroteThem()
{
    SideBar bar;
    SideBarGroup *group = bar.addGroup(QStringLiteral("R&D"));
    SideBarGroup *child = bar.addGroup(QStringLiteral("Q&&A"));
    child->setParentGroup(group);
    SideBarItem *item = bar.addItem(QStringLiteral("Terms & Conditions"));
    group->addLink(item);
    const QList<std::pair<QAbstractButton *, QString>> shown = {
        { bar.headerButton(group), QStringLiteral("R&D") },
        { bar.headerButton(child), QStringLiteral("Q&&A") },
        { bar.itemButtons(item).value(0), QStringLiteral("Terms & Conditions") },
    };
    for (const auto &[button, caption] : shown) {
        QVERIFY(button);
        QCOMPARE(shownText(button), caption);
        QVERIFY2(button->shortcut().isEmpty(), qPrintable(button->shortcut().toString()));
        QCOMPARE(button->toolTip(), caption);
    }
    QCOMPARE(item->caption(), QStringLiteral("Terms & Conditions"));
}

QTEST_MAIN(tst_SideBar)
#include "tst_sidebar.moc"
