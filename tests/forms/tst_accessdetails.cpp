#include "AccessDetailsU.h"

#include <QAction>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(TDataMode)
Q_DECLARE_METATYPE(TControlAction)

class tst_AccessDetails : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void modeSwitch_data();
    void modeSwitch();
    void shownAgainControlIsPutBackInRow();

private:
    QPushButton *button(int ALeft, int AWidth);

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

QPushButton *tst_AccessDetails::button(int ALeft, int AWidth)
{
    auto *b = new QPushButton(m_form.get());
    b->setGeometry(ALeft, 10, AWidth, 25);
    b->show(); // a child added to a form on screen is only shown when asked
    return b;
}

// Each mode reads its own slot: the action sits in the mode's slot and the
// other one everywhere else.
void tst_AccessDetails::modeSwitch_data()
{
    QTest::addColumn<TDataMode>("mode");
    QTest::addColumn<int>("slot");
    QTest::addColumn<TControlAction>("action");
    QTest::addColumn<TControlAction>("other");
    QTest::newRow("browse/hidden") << dmBrowse << 0 << caHidden << caVisible;
    QTest::newRow("add/visible") << dmAdd << 1 << caVisible << caHidden;
    QTest::newRow("edit/disabled") << dmEdit << 2 << caDisabled << caEnabled;
    QTest::newRow("detail/enabled") << dmDetail << 3 << caEnabled << caDisabled;
    QTest::newRow("custom1/hidden") << dmCustom1 << 4 << caHidden << caVisible;
    QTest::newRow("custom2/visible") << dmCustom2 << 5 << caVisible << caHidden;
    QTest::newRow("delete changes nothing") << dmDelete << -1 << caHidden << caHidden;
}

// The same actions on a plain control, a layout group and a command.
void tst_AccessDetails::modeSwitch()
{
    QFETCH(TDataMode, mode);
    QFETCH(int, slot);
    QFETCH(TControlAction, action);
    QFETCH(TControlAction, other);

    QPushButton *b = button(0, 50);
    auto *group = new QGroupBox("Address", m_form.get());
    auto *inner = new QPushButton("inner", group);
    group->move(300, 50);
    group->show();
    QAction command("Save");
    // starting from the state the action must change
    const bool shown = action == caHidden || action == caDisabled;
    for (QWidget *w : { static_cast<QWidget *>(b), static_cast<QWidget *>(group) }) {
        w->setVisible(shown);
        w->setEnabled(shown);
    }
    command.setVisible(shown);
    command.setEnabled(shown);
    std::array<TControlAction, 6> a;
    a.fill(other);
    if (slot >= 0)
        a[size_t(slot)] = action;
    m_details->AddControl("none", b, a[0], a[1], a[2], a[3], a[4], a[5]);
    m_details->AddControl("layout", group, a[0], a[1], a[2], a[3], a[4], a[5]);
    m_details->AddControl("toolbar", &command, a[0], a[1], a[2], a[3], a[4], a[5]);

    m_details->SetDataMode(mode);

    QCOMPARE(m_details->DataMode(), mode);
    // each action touches its own property only; delete touches none
    const bool expectVisible = slot < 0 || (action != caVisible && action != caHidden) ? shown : action == caVisible;
    const bool expectEnabled = slot < 0 || (action != caEnabled && action != caDisabled) ? shown : action == caEnabled;
    QCOMPARE(b->isVisible(), expectVisible);
    QCOMPARE(b->isEnabled(), expectEnabled);
    // a layout group switches its contents along with it, and is never moved
    QCOMPARE(inner->isVisible(), expectVisible);
    QCOMPARE(inner->isEnabled(), expectEnabled);
    QCOMPARE(group->x(), 300);
    QCOMPARE(command.isVisible(), expectVisible);
    // a hidden action reports itself disabled whatever its own flag says
    command.setVisible(true);
    QCOMPARE(command.isEnabled(), expectEnabled);
}

// A control shown again is put back in its row; the group "none" never is.
void tst_AccessDetails::shownAgainControlIsPutBackInRow()
{
    // a row Add, Save, Cancel whose Save is hidden while browsing and whose
    // coordinates have drifted
    QPushButton *add = button(400, 75);
    QPushButton *save = button(10, 60);
    QPushButton *cancel = button(250, 80);
    QPushButton *loose = button(500, 40);
    save->hide();
    save->setEnabled(false);
    loose->hide();
    m_details->AddControl("crud", add, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("crud", save, caHidden, caVisible, caVisible, caHidden, caHidden, caHidden);
    m_details->AddControl("crud", cancel, caVisible, caVisible, caVisible, caVisible, caVisible, caVisible);
    m_details->AddControl("none", loose, caHidden, caVisible, caVisible, caVisible, caVisible, caVisible);

    m_details->SetDataMode(dmEdit);

    // Save is back between its neighbours, its enabled state untouched
    QVERIFY(save->isVisible());
    QVERIFY(!save->isEnabled());
    QCOMPARE(add->x(), -1);
    QCOMPARE(save->x(), 75);
    QCOMPARE(cancel->x(), 136);
    QCOMPARE(save->y(), 10);
    QVERIFY(loose->isVisible());
    QCOMPARE(loose->x(), 500);

    // hiding, or showing what is already visible, does not line the row up
    add->move(5, 10);
    m_details->SetDataMode(dmBrowse);
    QVERIFY(save->isHidden());
    QCOMPARE(add->x(), 5);
    m_details->SetDataMode(dmDetail);
    QCOMPARE(add->x(), 5);
}

QTEST_MAIN(tst_AccessDetails)
#include "tst_accessdetails.moc"
