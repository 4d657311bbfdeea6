#include "Errors.h"
#include "KeyInjector.h"
#include "QtyEditU.h"
#include "RecordingKeyInjector.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

class tst_QtyEdit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void typedKeysAreFiltered();
    void negativeOnlyWhenAllowed();
    void navigationAndShortcutsPass();
    void messageShownBeside_data();
    void messageShownBeside();
    void valueAndSetValue();
    void enterMovesFocusToNextControl();
    void enterSendsTabThroughKeyboardOutput();

private:
    std::unique_ptr<QWidget> m_window;
    TQtyEdit *m_qty = nullptr;
    QLineEdit *m_next = nullptr;
};

void tst_QtyEdit::init()
{
    Platform::setKeyInjector(std::make_unique<Platform::QtKeyInjector>());
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    m_qty = new TQtyEdit(m_window.get());
    m_qty->setConvUnitRec(TConvUnitRecord { 3, 12, 144, 0, 0 });
    m_next = new QLineEdit(m_window.get());
    m_next->setObjectName(QStringLiteral("edtNext"));
    layout->addWidget(m_qty);
    layout->addWidget(m_next);
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_qty->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_qty->edit());
}

void tst_QtyEdit::cleanup()
{
    m_window.reset();
    Platform::setKeyInjector(nullptr);
}

void tst_QtyEdit::typedKeysAreFiltered()
{
    QTest::keyClicks(m_qty->edit(), QStringLiteral("1a2 .x3,.4!"));
    QCOMPARE(m_qty->text(), QStringLiteral("12.3.4"));
    QTest::keyClick(m_qty->edit(), Qt::Key_Backspace);
    QCOMPARE(m_qty->text(), QStringLiteral("12.3."));
}

void tst_QtyEdit::negativeOnlyWhenAllowed()
{
    QTest::keyClicks(m_qty->edit(), QStringLiteral("-5"));
    QCOMPARE(m_qty->text(), QStringLiteral("5"));

    m_qty->setText(QString());
    m_qty->setAllowNegative(true);
    QTest::keyClicks(m_qty->edit(), QStringLiteral("-5-"));
    QCOMPARE(m_qty->text(), QStringLiteral("-5"));
    QCOMPARE(m_qty->value(), -720);
}

void tst_QtyEdit::navigationAndShortcutsPass()
{
    QTest::keyClicks(m_qty->edit(), QStringLiteral("123"));
    QTest::keyClick(m_qty->edit(), Qt::Key_Left);
    QTest::keyClick(m_qty->edit(), Qt::Key_Left);
    QTest::keyClick(m_qty->edit(), Qt::Key_Delete);
    QCOMPARE(m_qty->text(), QStringLiteral("13"));
    QTest::keyClick(m_qty->edit(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_qty->edit()->selectedText(), QStringLiteral("13"));
    QTest::keyClicks(m_qty->edit(), QStringLiteral("7"));
    QCOMPARE(m_qty->text(), QStringLiteral("7"));
}

void tst_QtyEdit::messageShownBeside_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("valid") << "6.11.4" << "";
    QTest::newRow("empty") << "" << "Value can not be empty.";
    QTest::newRow("two signs") << "--5" << "Negative symbol may only used once.";
    QTest::newRow("too large") << "99999999999" << "Quantity \"99999999999\" is out of range.";
    QTest::newRow("pasted letters") << "1.ab" << "'ab' is not a valid integer value";
}

void tst_QtyEdit::messageShownBeside()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QSignalSpy changed(m_qty, &TQtyEdit::textChanged);
    m_qty->setText(QStringLiteral("1"));
    m_qty->setText(text);
    QCOMPARE(m_qty->messageLabel()->text(), message);
    QCOMPARE(m_qty->message(), message);
    QCOMPARE(m_qty->isValid(), message.isEmpty());
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.constLast().at(1).toString(), message);
    // The label stands beside the edit, in the same row.
    QVERIFY(m_qty->messageLabel()->geometry().left() >= m_qty->edit()->geometry().right());
}

void tst_QtyEdit::valueAndSetValue()
{
    m_qty->setValue(1000);
    QCOMPARE(m_qty->text(), QStringLiteral("00006.011.004"));
    QCOMPARE(m_qty->value(), 1000);
    m_qty->setText(QStringLiteral("6"));
    QCOMPARE(m_qty->value(), 864);

    m_qty->setText(QStringLiteral("99999999999"));
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, m_qty->value());

    // A record whose conversion cannot run changes nothing.
    m_qty->setConvUnitRec(TConvUnitRecord { 3, 0, 144, 0, 0 });
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, m_qty->setValue(5));
    QCOMPARE(m_qty->text(), QStringLiteral("99999999999"));
}

void tst_QtyEdit::enterMovesFocusToNextControl()
{
    QSignalSpy returned(m_qty->edit(), &QLineEdit::returnPressed);
    QTest::keyClicks(m_qty->edit(), QStringLiteral("6.11.4"));
    QTest::keyClick(m_qty->edit(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), m_next);
    QCOMPARE(returned.size(), 1); // Enter itself still reaches the edit
    QCOMPARE(m_qty->text(), QStringLiteral("6.11.4"));
    QVERIFY(m_next->text().isEmpty()); // the Tab typed nothing there

    m_qty->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_qty->edit());
    QTest::keyClick(m_qty->edit(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(QApplication::focusWidget(), m_next);
}

void tst_QtyEdit::enterSendsTabThroughKeyboardOutput()
{
    RecordingKeyInjector *keys = RecordingKeyInjector::install();
    QTest::keyClicks(m_qty->edit(), QStringLiteral("12"));
    QVERIFY(keys->events.isEmpty());
    QTest::keyClick(m_qty->edit(), Qt::Key_Return);
    QCOMPARE(keys->sequence(), QStringList({ "+09", "-09" }));
    // Only the injected Tab moves the focus.
    QCOMPARE(QApplication::focusWidget(), m_qty->edit());
}

QTEST_MAIN(tst_QtyEdit)
#include "tst_qtyedit.moc"
