#include "AccessDetailsU.h"

#include <QAction>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(TDataMode)
Q_DECLARE_METATYPE(TControlAction)

namespace {

TControlAction opposite(TControlAction AAction)
{
    switch (AAction) {
    case caVisible: return caHidden;
    case caHidden: return caVisible;
    case caEnabled: return caDisabled;
    case caDisabled: return caEnabled;
    }
    return caVisible;
}

// The six actions with AAction in the slot of AMode and the opposite action
// everywhere else, so that reading the wrong slot gives the wrong state.
std::array<TControlAction, 6> actionsFor(TDataMode AMode, TControlAction AAction)
{
    const TControlAction other = opposite(AAction);
    std::array<TControlAction, 6> actions;
    actions.fill(other);
    const int slot = [AMode] {
        switch (AMode) {
        case dmBrowse: return 0;
        case dmAdd: return 1;
        case dmEdit: return 2;
        case dmDetail: return 3;
        case dmCustom1: return 4;
        case dmCustom2: return 5;
        case dmDelete: break;
        }
        return -1;
    }();
    if (slot >= 0)
        actions[size_t(slot)] = AAction;
    return actions;
}

// Starting state that the action must change: shown and enabled for the
// actions that take something away, hidden and disabled for the others.
bool startsShown(TControlAction AAction)
{
    return AAction == caHidden || AAction == caDisabled;
}

} // namespace

class tst_AccessDetails : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void groupsAreCreatedAndAppendedByExactName();

    void modeSwitch_data();
    void modeSwitch();
    void deleteModeIsStoredAndChangesNothing();

    void shownAgainControlIsPutBackInRow();
    void alreadyVisibleControlDoesNotReposition();
    void groupNamedNoneIsNeverRepositioned_data();
    void groupNamedNoneIsNeverRepositioned();
    void controlRepositionLinesUpRow();
    void controlRepositionSkipsLayoutGroupsAndCommands();

    void sameModeIsAppliedAgain();
    void controlRegisteredLaterKeepsStateUntilNextSwitch();
    void controlRegisteredTwiceGetsBothRecords();
    void controlDeletedByScreenIsSkipped();

private:
    QPushButton *button(int ALeft, int AWidth, const QString &AName = {});

    std::unique_ptr<QWidget> m_form;
    std::unique_ptr<TAccessDetails> m_details;
};

void tst_AccessDetails::init()
{
    m_form = std::make_unique<QWidget>();
    m_form->resize(600, 200);
    m_form->show();
    m_details = std::make_unique<TAccessDetails>();
}

void tst_AccessDetails::cleanup()
{
    m_details.reset();
    m_form.reset();
}

QPushButton *tst_AccessDetails::button(int ALeft, int AWidth, const QString &AName)
{
    auto *b = new QPushButton(AName, m_form.get());
    b->setGeometry(ALeft, 10, AWidth, 25);
    // a child added to a form on screen is only shown when asked
    b->show();
    return b;
}

void tst_AccessDetails::groupsAreCreatedAndAppendedByExactName()
{
    QCOMPARE(m_details->DataMode(), dmBrowse);
    QVERIFY(m_details->ControlGroups().empty());
    QPushButton *a = button(0, 10);
    QPushButton *b = button(20, 10);
    QPushButton *c = button(40, 10);
    m_details->AddControl("btn", a, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("btn", b, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("Btn", c, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);

    const auto &groups = m_details->ControlGroups();
    QCOMPARE(groups.size(), size_t(2));
    QVERIFY(groups.count("btn"));
    QVERIFY(groups.count("Btn"));
    const TFormControlList &btn = groups.at("btn");
    QCOMPARE(btn.size(), size_t(2));
    QCOMPARE(btn[0]->Control.data(), a);
    QCOMPARE(btn[1]->Control.data(), b);
    QCOMPARE(groups.at("Btn").size(), size_t(1));
    // plain controls of the group "none" never move; layout groups and
    // commands are lined up only as a row member
    QGroupBox group(m_form.get());
    QAction action(m_form.get());
    m_details->AddControl("NoNe", a, caVisible, caHidden, caEnabled, caDisabled, caHidden, caVisible);
    m_details->AddControl("layout", &group, caHidden, caVisible, caDisabled, caEnabled, caVisible, caHidden);
    m_details->AddControl("", &action, caEnabled, caEnabled, caDisabled, caDisabled, caVisible, caHidden);
    QVERIFY(!groups.at("NoNe")[0]->Reposition);
    QCOMPARE(groups.at("layout")[0]->ControlType, ctLayoutGroup);
    QCOMPARE(groups.at("")[0]->Action.data(), &action);
}

void tst_AccessDetails::modeSwitch_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<TControlAction>("action");
    const std::pair<TDataMode, const char *> modes[] = { { dmBrowse, "browse" }, { dmAdd, "add" },
                                                         { dmEdit, "edit" },     { dmDetail, "detail" },
                                                         { dmCustom1, "custom1" }, { dmCustom2, "custom2" } };
    const std::pair<TControlAction, const char *> actions[]
        = { { caVisible, "visible" }, { caHidden, "hidden" }, { caEnabled, "enabled" }, { caDisabled, "disabled" } };
    for (const auto &[mode, modeName] : modes) {
        for (const auto &[action, actionName] : actions)
            QTest::addRow("%s/%s", modeName, actionName) << mode << action;
    }
}

// The same actions on a plain control, a layout group and a command.
void tst_AccessDetails::modeSwitch()
{
    QFETCH(TDataMode, mode);
    QFETCH(TControlAction, action);

    QPushButton *b = button(0, 50);
    auto *group = new QGroupBox("Address", m_form.get());
    auto *inner = new QPushButton("inner", group);
    group->setGeometry(300, 50, 200, 100);
    group->show();
    QAction command("Save");
    const bool shown = startsShown(action);
    for (QWidget *w : { static_cast<QWidget *>(b), static_cast<QWidget *>(group) }) {
        w->setVisible(shown);
        w->setEnabled(shown);
    }
    command.setVisible(shown);
    command.setEnabled(shown);
    const auto a = actionsFor(mode, action);
    m_details->AddControl("none", b, a[0], a[1], a[2], a[3], a[4], a[5]);
    m_details->AddControl("layout", group, a[0], a[1], a[2], a[3], a[4], a[5]);
    m_details->AddControl("toolbar", &command, a[0], a[1], a[2], a[3], a[4], a[5]);

    m_details->SetDataMode(mode);

    QCOMPARE(m_details->DataMode(), mode);
    // each action touches its own property only
    const bool expectVisible = action == caVisible ? true : action == caHidden ? false : shown;
    const bool expectEnabled = action == caEnabled ? true : action == caDisabled ? false : shown;
    QCOMPARE(!b->isHidden(), expectVisible);
    QCOMPARE(b->isVisible(), expectVisible);
    QCOMPARE(b->isEnabled(), expectEnabled);
    // the group switches its contents along with it
    QCOMPARE(group->isVisible(), expectVisible);
    QCOMPARE(group->isEnabled(), expectEnabled);
    QCOMPARE(inner->isVisible(), expectVisible);
    QCOMPARE(inner->isEnabled(), expectEnabled);
    // a layout group is never moved, even when it has just been shown again
    QCOMPARE(group->x(), 300);
    QCOMPARE(command.isVisible(), expectVisible);
    // a hidden action reports itself disabled whatever its own flag says;
    // showing it tells the flag
    command.setVisible(true);
    QCOMPARE(command.isEnabled(), expectEnabled);
}

void tst_AccessDetails::deleteModeIsStoredAndChangesNothing()
{
    QPushButton *shownButton = button(100, 50);
    QPushButton *hiddenButton = button(300, 50);
    hiddenButton->hide();
    hiddenButton->setEnabled(false);
    auto *group = new QGroupBox(m_form.get());
    group->show();
    m_details->AddControl("a", shownButton, caHidden, caHidden, caHidden, caHidden, caHidden, caHidden);
    m_details->AddControl("a", hiddenButton, caVisible, caEnabled, caVisible, caVisible, caEnabled, caVisible);
    m_details->AddControl("b", group, caHidden, caHidden, caHidden, caHidden, caHidden, caHidden);

    m_details->SetDataMode(dmDelete);

    QCOMPARE(m_details->DataMode(), dmDelete);
    QVERIFY(shownButton->isVisible());
    QVERIFY(!hiddenButton->isVisible());
    QVERIFY(!hiddenButton->isEnabled());
    QVERIFY(group->isVisible());
    // no row was lined up either
    QCOMPARE(shownButton->x(), 100);
    QCOMPARE(hiddenButton->x(), 300);
}

void tst_AccessDetails::shownAgainControlIsPutBackInRow()
{
    // Given a row Add, Save, Cancel whose Save is hidden while browsing and
    // whose coordinates have drifted
    QPushButton *add = button(400, 75, "Add");
    QPushButton *save = button(10, 60, "Save");
    QPushButton *cancel = button(250, 80, "Cancel");
    save->hide();
    save->setEnabled(false);
    m_details->AddControl("crud", add, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("crud", save, caHidden, caVisible, caVisible, caHidden, caHidden, caHidden);
    m_details->AddControl("crud", cancel, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);

    // When the screen starts editing
    m_details->SetDataMode(dmEdit);

    // Then Save is back between its neighbours, its enabled state untouched
    QVERIFY(save->isVisible());
    QVERIFY(!save->isEnabled());
    QCOMPARE(add->x(), -1);
    QCOMPARE(save->x(), 75);
    QCOMPARE(cancel->x(), 136);
    QCOMPARE(save->y(), 10);

    // Hiding does not line the row up
    add->move(5, 10);
    m_details->SetDataMode(dmBrowse);
    QVERIFY(save->isHidden());
    QVERIFY(!save->isEnabled());
    QCOMPARE(add->x(), 5);

    // and showing it again does, hidden controls keeping their place
    cancel->hide();
    cancel->move(0, 10);
    m_details->SetDataMode(dmAdd);
    QCOMPARE(add->x(), -1);
    QCOMPARE(save->x(), 75);
    QCOMPARE(cancel->x(), 136);
}

void tst_AccessDetails::alreadyVisibleControlDoesNotReposition()
{
    QPushButton *a = button(200, 75);
    QPushButton *b = button(20, 60);
    m_details->AddControl("crud", a, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("crud", b, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);

    m_details->SetDataMode(dmEdit);

    QCOMPARE(a->x(), 200);
    QCOMPARE(b->x(), 20);
}

void tst_AccessDetails::groupNamedNoneIsNeverRepositioned_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("repositioned");
    QTest::newRow("none") << "none" << false;
    QTest::newRow("None") << "None" << false;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("none with blank") << "none " << true;
}

void tst_AccessDetails::groupNamedNoneIsNeverRepositioned()
{
    QFETCH(QString, group);
    QFETCH(bool, repositioned);

    QPushButton *a = button(200, 75);
    QPushButton *b = button(20, 60);
    b->hide();
    m_details->AddControl(group, a, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl(group, b, caHidden, caVisible, caVisible, caVisible, caVisible, caVisible);

    m_details->SetDataMode(dmAdd);

    QVERIFY(b->isVisible());
    QCOMPARE(a->x(), repositioned ? -1 : 200);
    QCOMPARE(b->x(), repositioned ? 75 : 20);
}

void tst_AccessDetails::controlRepositionLinesUpRow()
{
    QPushButton *a = button(300, 75);
    QPushButton *b = button(0, 60);
    QPushButton *c = button(500, 80);
    b->hide();
    m_details->AddControl("row", a, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("row", b, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("row", c, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);

    m_details->ControlReposition("row");

    QCOMPARE(a->x(), -1);
    QCOMPARE(b->x(), 75);
    QCOMPARE(c->x(), 136);
    // the row only moves sideways, and nothing is shown by it
    QCOMPARE(c->y(), 10);
    QVERIFY(b->isHidden());

    // unknown groups are ignored
    m_details->ControlReposition("other");
}

void tst_AccessDetails::controlRepositionSkipsLayoutGroupsAndCommands()
{
    QPushButton *a = button(300, 75);
    auto *group = new QGroupBox(m_form.get());
    group->setGeometry(40, 80, 100, 50);
    QAction command;
    QPushButton *b = button(0, 60);
    m_details->AddControl("mixed", a, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("mixed", group, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("mixed", &command, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("mixed", b, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);

    m_details->ControlReposition("mixed");

    QCOMPARE(a->x(), -1);
    QCOMPARE(group->x(), 40);
    QCOMPARE(b->x(), 75);
}

void tst_AccessDetails::sameModeIsAppliedAgain()
{
    QPushButton *b = button(0, 50);
    m_details->AddControl("none", b, caHidden, caDisabled, caDisabled, caDisabled, caDisabled, caDisabled);
    m_details->SetDataMode(dmBrowse);
    QVERIFY(b->isHidden());

    b->show();
    m_details->SetDataMode(dmBrowse);
    QVERIFY(b->isHidden());
}

void tst_AccessDetails::controlRegisteredLaterKeepsStateUntilNextSwitch()
{
    m_details->SetDataMode(dmEdit);
    QPushButton *b = button(0, 50);
    m_details->AddControl("none", b, caVisible, caVisible, caHidden, caVisible, caVisible, caVisible);
    QVERIFY(b->isVisible());

    m_details->SetDataMode(dmEdit);
    QVERIFY(b->isHidden());
}

void tst_AccessDetails::controlRegisteredTwiceGetsBothRecords()
{
    // one record for the visibility, one for the enabled state, applied in
    // registration order
    QPushButton *b = button(0, 50);
    m_details->AddControl("none", b, caHidden, caVisible, caVisible, caVisible, caHidden, caHidden);
    m_details->AddControl("none", b, caDisabled, caEnabled, caDisabled, caEnabled, caEnabled, caDisabled);
    QCOMPARE(m_details->ControlGroups().at("none").size(), size_t(2));

    m_details->SetDataMode(dmAdd);
    QVERIFY(b->isVisible());
    QVERIFY(b->isEnabled());

    m_details->SetDataMode(dmEdit);
    QVERIFY(b->isVisible());
    QVERIFY(!b->isEnabled());

    m_details->SetDataMode(dmCustom1);
    QVERIFY(b->isHidden());
    QVERIFY(b->isEnabled());
}

void tst_AccessDetails::controlDeletedByScreenIsSkipped()
{
    QPushButton *gone = button(0, 50);
    QPushButton *stays = button(100, 50);
    stays->hide();
    m_details->AddControl("row", gone, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("row", stays, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    delete gone;

    m_details->SetDataMode(dmBrowse);

    QVERIFY(stays->isVisible());
    QCOMPARE(stays->x(), -1);
}

QTEST_MAIN(tst_AccessDetails)
#include "tst_accessdetails.moc"
