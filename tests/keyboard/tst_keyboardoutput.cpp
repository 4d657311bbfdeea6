#include "KeyboardOutputU.h"
#include "RecordingKeyInjector.h"

#include <QtTest>

namespace {

// Full press of a key: "+XX", "-XX"; with Shift wrapped around it.
QStringList press(const char *hex, bool shift = false)
{
    const QString k = QLatin1String(hex);
    const QStringList keys { QLatin1Char('+') + k, QLatin1Char('-') + k };
    return shift ? QStringList { QStringLiteral("+10") } + keys + QStringList { QStringLiteral("-10") } : keys;
}

} // namespace

class tst_KeyboardOutput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void typeText_data();
    void typeText();
    void repetitionCountAbove127Refused();

private:
    RecordingKeyInjector *m_keys = nullptr;
};

void tst_KeyboardOutput::init()
{
    m_keys = RecordingKeyInjector::install();
}

void tst_KeyboardOutput::cleanup()
{
    Platform::setKeyInjector(nullptr);
}

void tst_KeyboardOutput::typeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("Ab!") << "Ab!" << true << press("41", true) + press("42") + press("31", true);
    QTest::newRow("CR LF is one Enter") << "\r\n" << true << press("0D");
    QTest::newRow("tab and backspace") << "\tx\b" << true << press("09") + press("58") + press("08");
    // characters without a key are skipped, and the text reported as not typed whole
    QTest::newRow("e acute") << "a\u00e9b" << false << press("41") + press("42");
    QTest::newRow("escape") << "a\x1b" << false << press("41");
    // U+0141 and U+2021 end in 0x41 and 0x21; they must not type "A" or "!"
    QTest::newRow("L stroke") << "\u0141" << false << QStringList();
    QTest::newRow("double dagger") << "\u2021x" << false << press("58");
}

void tst_KeyboardOutput::typeText()
{
    QFETCH(QString, text);
    QFETCH(bool, complete);
    QFETCH(QStringList, expected);
    QCOMPARE(TypeText(text), complete);
    QCOMPARE(m_keys->sequence(), expected);
}

void tst_KeyboardOutput::repetitionCountAbove127Refused()
{
    QVERIFY(PressVKey(0x41, true, 2, 0));
    QCOMPARE(m_keys->sequence(), press("41", true) + press("41", true));
    m_keys->clear();
    QVERIFY(PressVKey(0x41, false, 127, 0));
    QCOMPARE(m_keys->events.size(), 254);
    m_keys->clear();

    QCOMPARE(PressVKey(0x41, false, 128, 0), false);
    QCOMPARE(PressEVkey(VK_TAB, 100000, 0), false);
    QCOMPARE(DoTab(128, 0), false);
    QCOMPARE(PressAscii('a', 200, 0), false);
    QCOMPARE(DoComboAltTab(128, 0), false);
    QVERIFY(m_keys->events.isEmpty());
}

QTEST_MAIN(tst_KeyboardOutput)
#include "tst_keyboardoutput.moc"
