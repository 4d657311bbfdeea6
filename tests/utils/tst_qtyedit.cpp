#include "QtyEditU.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

class tst_QtyEdit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void typedKeysFilteredAndChecked();
};

// Keys as a user types them into a quantity of a 3/12/144 unit: what is kept,
// what is refused, and what is said beside the edit.
void tst_QtyEdit::typedKeysFilteredAndChecked()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *qty = new TQtyEdit(&window);
    qty->setConvUnitRec(TConvUnitRecord { 3, 12, 144, 0, 0 });
    layout->addWidget(qty);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    qty->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), qty->edit());

    QTest::keyClicks(qty->edit(), QStringLiteral("1a2 .x3,.4!-"));
    QCOMPARE(qty->text(), QStringLiteral("12.3.4"));
    QTest::keyClick(qty->edit(), Qt::Key_Backspace);
    QCOMPARE(qty->text(), QStringLiteral("12.3."));

    // the keypad's decimal key gives "," on many layouts: it separates the
    // units as "." does rather than being dropped and running the groups
    // together
    qty->setText(QString());
    QTest::keyClick(qty->edit(), Qt::Key_6, Qt::KeypadModifier);
    QTest::keyClick(qty->edit(), Qt::Key_Comma, Qt::KeypadModifier);
    QTest::keyClick(qty->edit(), Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(qty->edit(), Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(qty->edit(), Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(qty->edit(), Qt::Key_4, Qt::KeypadModifier);
    QCOMPARE(qty->text(), QStringLiteral("6.11.4"));
    QCOMPARE(qty->value(), 1000);
    // a typed comma off the keypad is still refused
    QTest::keyClick(qty->edit(), Qt::Key_Comma);
    QCOMPARE(qty->text(), QStringLiteral("6.11.4"));

    // a minus sign only when allowed, and only once
    qty->setText(QString());
    qty->setAllowNegative(true);
    QTest::keyClicks(qty->edit(), QStringLiteral("-5-"));
    QCOMPARE(qty->text(), QStringLiteral("-5"));
    QCOMPARE(qty->value(), -720);
    // the sign being typed over is no sign the text keeps: "-3" typed over a
    // selected "-5" is -3, not 3
    qty->edit()->selectAll();
    QTest::keyClicks(qty->edit(), QStringLiteral("-3"));
    QCOMPARE(qty->text(), QStringLiteral("-3"));
    QCOMPARE(qty->value(), -432);
    // a sign outside the selection still counts
    qty->setText(QStringLiteral("-5"));
    qty->edit()->setSelection(1, 1);
    QTest::keyClicks(qty->edit(), QStringLiteral("-7"));
    QCOMPARE(qty->text(), QStringLiteral("-7"));

    // what cannot be converted is said beside the edit
    QVERIFY(qty->isValid());
    qty->setText(QStringLiteral("99999999999"));
    QVERIFY(!qty->isValid());
    QCOMPARE(qty->messageLabel()->text(), QStringLiteral("Quantity \"99999999999\" is out of range."));
    QVERIFY(qty->messageLabel()->geometry().left() >= qty->edit()->geometry().right());
}

QTEST_MAIN(tst_QtyEdit)
#include "tst_qtyedit.moc"
