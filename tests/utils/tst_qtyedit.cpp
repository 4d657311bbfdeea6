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

    // a minus sign only when allowed, and only once
    qty->setText(QString());
    qty->setAllowNegative(true);
    QTest::keyClicks(qty->edit(), QStringLiteral("-5-"));
    QCOMPARE(qty->text(), QStringLiteral("-5"));
    QCOMPARE(qty->value(), -720);

    // what cannot be converted is said beside the edit
    QVERIFY(qty->isValid());
    qty->setText(QStringLiteral("99999999999"));
    QVERIFY(!qty->isValid());
    QCOMPARE(qty->messageLabel()->text(), QStringLiteral("Quantity \"99999999999\" is out of range."));
    QVERIFY(qty->messageLabel()->geometry().left() >= qty->edit()->geometry().right());
}

QTEST_MAIN(tst_QtyEdit)
#include "tst_qtyedit.moc"
