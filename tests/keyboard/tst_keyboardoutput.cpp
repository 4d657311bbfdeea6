#include "ComPackageU.h"
#include "KeyInjector.h"
#include "KeyboardOutputU.h"
#include "RecordingKeyInjector.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

using SingleKey = bool (*)(int, int);
Q_DECLARE_METATYPE(SingleKey)

namespace {

// Full press of a key: "+XX", "-XX"; with Shift wrapped around it.
QStringList press(const char *hex, bool shift = false)
{
    const QString k = QString::fromLatin1(hex);
    QStringList out;
    if (shift)
        out << QStringLiteral("+10");
    out << QLatin1Char('+') + k << QLatin1Char('-') + k;
    if (shift)
        out << QStringLiteral("-10");
    return out;
}

} // namespace

class tst_KeyboardOutput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void unitStartsAfterGlobalVars();

    void typeTextAb();
    void typeTextSkipsCharactersWithoutKey_data();
    void typeTextSkipsCharactersWithoutKey();
    void typeTextControlCharacters_data();
    void typeTextControlCharacters();
    void typeNum();
    void usLayout_data();
    void usLayout();
    void keyLookups();

    void sendControlOrder();
    void sendKeyVariants();
    void repetitions();
    void repetitionCountAbove127Refused();
    void singleKeys_data();
    void singleKeys();
    void shortFormsWait();
    void pressAscii();
    void pressFunctionKey();
    void comboAltTab();
    void getAKey();

    void typingOffPressesNothing();
    void typingOffMidway();
    void pauseHoldsTyping();
    void typingOffEndsPause();
    void pauseLeftOverHoldsNextRun();

    void qtBackendTypesIntoFocusedEdit();
    void qtBackendTracksModifiers();
    void qtBackendMovesFocusAndClicks();
    void qtBackendKeyState();

private:
    RecordingKeyInjector *m_keys = nullptr;
};

void tst_KeyboardOutput::init()
{
    m_keys = RecordingKeyInjector::install();
    TypingOn();
    PauseBreak();
}

void tst_KeyboardOutput::cleanup()
{
    Platform::setKeyInjector(nullptr);
    TypingOn();
    PauseBreak();
}

void tst_KeyboardOutput::unitStartsAfterGlobalVars()
{
    const QStringList units = ComPackageStartedUnits();
    const qsizetype at = units.indexOf(QStringLiteral("KeyboardOutputU"));
    QVERIFY(at > units.indexOf(QStringLiteral("GlobalVarsU")));
    QVERIFY(at < units.indexOf(QStringLiteral("ComPackageU")));
    // The tables are ready without anyone calling FillArray.
    QCOMPARE(mToVKey[int('A')], quint8(0x41));
    QVERIFY(IsTypingOn());
    QVERIFY(!IsPaused());
}

void tst_KeyboardOutput::typeTextAb()
{
    QVERIFY(TypeText(QStringLiteral("Ab!")));
    QCOMPARE(m_keys->sequence(), QStringList({ "+10", "+41", "-41", "-10", "+42", "-42", "+10", "+31", "-31", "-10" }));
}

void tst_KeyboardOutput::typeTextSkipsCharactersWithoutKey_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("e acute") << QStringLiteral("a\u00e9b") << press("41") + press("42");
    QTest::newRow("escape") << QStringLiteral("a\x1b") << press("41");
    QTest::newRow("delete") << QStringLiteral("\x7f" "b") << press("42");
    // U+0141 and U+2021 end in 0x41 and 0x21; they must not type "A" or "!".
    QTest::newRow("L stroke") << QStringLiteral("\u0141") << QStringList();
    QTest::newRow("double dagger") << QStringLiteral("\u2021x") << press("58");
}

void tst_KeyboardOutput::typeTextSkipsCharactersWithoutKey()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(TypeText(text), false);
    QCOMPARE(m_keys->sequence(), expected);
}

void tst_KeyboardOutput::typeTextControlCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("CR LF") << "\r\n" << press("0D");
    QTest::newRow("LF") << "\n" << press("0D");
    QTest::newRow("LF CR") << "\n\r" << press("0D") + press("0D");
    QTest::newRow("CR LF CR LF") << "\r\n\r\n" << press("0D") + press("0D");
    QTest::newRow("tab") << "\t" << press("09");
    QTest::newRow("backspace") << "x\b" << press("58") + press("08");
}

void tst_KeyboardOutput::typeTextControlCharacters()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QVERIFY(TypeText(text));
    QCOMPARE(m_keys->sequence(), expected);
}

void tst_KeyboardOutput::typeNum()
{
    QVERIFY(TypeNum(QStringLiteral("12+3")));
    QCOMPARE(m_keys->sequence(), press("61") + press("62") + press("6B") + press("63"));

    m_keys->clear();
    QCOMPARE(TypeNum(QStringLiteral("1a")), false);
    QCOMPARE(m_keys->sequence(), press("61"));

    m_keys->clear();
    QVERIFY(TypeNum(QStringLiteral("-.*/SN09")));
    QCOMPARE(m_keys->sequence(),
             press("6D") + press("6E") + press("6A") + press("6F") + press("6C") + press("90") + press("60") + press("69"));

    m_keys->clear();
    QCOMPARE(TypeNum(QStringLiteral("s\u0131")), false); // lower-case s; dotless i ends in 0x31
    QVERIFY(m_keys->events.isEmpty());
}

void tst_KeyboardOutput::usLayout_data()
{
    QTest::addColumn<char>("character");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("shift");

    QTest::newRow("a") << 'a' << 0x41 << false;
    QTest::newRow("A") << 'A' << 0x41 << true;
    QTest::newRow("0") << '0' << 0x30 << false;
    QTest::newRow("!") << '!' << 0x31 << true;
    QTest::newRow("\"") << '"' << 0xDE << true;
    QTest::newRow("_") << '_' << 0xBD << true;
    QTest::newRow("~") << '~' << 0xC0 << true;
    QTest::newRow("?") << '?' << 0xBF << true;
}

void tst_KeyboardOutput::usLayout()
{
    QFETCH(char, character);
    QFETCH(int, key);
    QFETCH(bool, shift);
    QCOMPARE(int(mToVKey[int(character)]), key);
    QCOMPARE(mbShift[int(character)], shift);
    QCOMPARE(int(GetAscVirtualKey(quint8(character))), key);
    QVERIFY(PressAscii(quint8(character), 1, 0));
    QCOMPARE(m_keys->sequence(), press(qPrintable(QString::number(key, 16).toUpper().rightJustified(2, u'0')), shift));
}

void tst_KeyboardOutput::keyLookups()
{
    QCOMPARE(int(GetAscVirtualKey(200)), 255);
    QCOMPARE(int(GetAscVirtualKey(31)), 255);
    QCOMPARE(int(GetAscVirtualKey(127)), 255);
    QCOMPARE(int(GetVirtualKeyAsc(0x41)), 65);
    QCOMPARE(int(GetVirtualKeyAsc(0x31)), int('!'));
    QCOMPARE(int(GetVirtualKeyAsc(0xDE)), int('"'));
    QCOMPARE(int(GetVirtualKeyAsc(0x07)), 255);
    QCOMPARE(int(GetVirtualKeyAsc(0x70)), 255);
    // Every printable character has a key on the layout.
    for (int c = 32; c <= 126; ++c)
        QVERIFY2(GetAscVirtualKey(quint8(c)) != 0 && GetAscVirtualKey(quint8(c)) != 255, qPrintable(QString::number(c)));
}

void tst_KeyboardOutput::sendControlOrder()
{
    SendControl(0xFF, true);
    QCOMPARE(m_keys->sequence(), QStringList({ "+12", "+11", "+10", "+5D", "+5B", "+14", "+90", "+2C" }));
    m_keys->clear();
    SendControl(CKCtrl | CKShift, false);
    QCOMPARE(m_keys->sequence(), QStringList({ "-11", "-10" }));
    m_keys->clear();
    SendControl(CKWin | CKContext | CKCaps | CKNumLock | CKPrintScr, true);
    QCOMPARE(m_keys->sequence(), QStringList({ "+5D", "+5B", "+14", "+90", "+2C" }));
}

void tst_KeyboardOutput::sendKeyVariants()
{
    SendKey(0x41, true);
    SendKeyEnum(VK_F12, false);
    SendKeyAsc('!', true); // no Shift handling here
    SendKeyAsc(10, true);
    SendKeyAsc(127, true);
    QCOMPARE(m_keys->sequence(), QStringList({ "+41", "-7B", "+31" }));
    m_keys->clear();
    PressVKA(0x41, true);
    PressVKA(0x42, false);
    QCOMPARE(m_keys->sequence(), press("41", true) + press("42"));
    m_keys->clear();
    QVERIFY(PressEVkey(VK_OEM_PERIOD, 2, 0));
    QCOMPARE(m_keys->sequence(), press("BE") + press("BE"));
}

void tst_KeyboardOutput::repetitions()
{
    QVERIFY(PressVKey(0x41, true, 3, 0));
    QCOMPARE(m_keys->sequence(), press("41", true) + press("41", true) + press("41", true));
    m_keys->clear();
    QVERIFY(PressVKey(0x41, false, 0, 0));
    QVERIFY(PressVKey(0x41, false, -5, 0));
    QVERIFY(m_keys->events.isEmpty());
    QVERIFY(PressVKey(0x41, false, 127, 0));
    QCOMPARE(m_keys->events.size(), 254);
}

void tst_KeyboardOutput::repetitionCountAbove127Refused()
{
    QCOMPARE(PressVKey(0x41, false, 128, 0), false);
    QCOMPARE(PressVKey(0x41, false, 255, 0), false);
    QCOMPARE(PressVKey(0x41, false, 100000, 0), false);
    QCOMPARE(PressEVkey(VK_TAB, 128, 0), false);
    QCOMPARE(DoTab(128, 0), false);
    QCOMPARE(PressAscii('a', 200, 0), false);
    QCOMPARE(PressAscii(13, 200, 0), false);
    QCOMPARE(PressFunctionKey(1, 128, 0), false);
    QCOMPARE(DoComboAltTab(128, 0), false);
    QVERIFY(m_keys->events.isEmpty());
}

void tst_KeyboardOutput::singleKeys_data()
{
    QTest::addColumn<SingleKey>("fn");
    QTest::addColumn<QString>("key");

    QTest::newRow("DoReturn") << SingleKey(&DoReturn) << "0D";
    QTest::newRow("DoTab") << SingleKey(&DoTab) << "09";
    QTest::newRow("DoEsc") << SingleKey(&DoEsc) << "1B";
    QTest::newRow("DoDown") << SingleKey(&DoDown) << "28";
    QTest::newRow("DoDelete") << SingleKey(&DoDelete) << "2E";
    QTest::newRow("DoContextMenu") << SingleKey(&DoContextMenu) << "5D";
    QTest::newRow("DoMouseLeftBtn") << SingleKey(&DoMouseLeftBtn) << "01";
    QTest::newRow("DoCancel") << SingleKey(&DoCancel) << "03";
}

void tst_KeyboardOutput::singleKeys()
{
    QFETCH(SingleKey, fn);
    QFETCH(QString, key);
    QVERIFY(fn(2, 0));
    const QStringList once = press(qPrintable(key));
    QCOMPARE(m_keys->sequence(), once + once);
}

void tst_KeyboardOutput::shortFormsWait()
{
    // The short forms press once after Wait(5): at least 50 ms.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(DoTab());
    QVERIFY(clock.elapsed() >= 50);
    QCOMPARE(m_keys->sequence(), press("09"));

    m_keys->clear();
    clock.restart();
    QVERIFY(PressVKey(0x41, true));
    QVERIFY(PressEVkey(VK_B));
    QVERIFY(clock.elapsed() >= 100);
    QCOMPARE(m_keys->sequence(), press("41", true) + press("42"));

    // A delay of 3 between three presses: at least 90 ms.
    m_keys->clear();
    clock.restart();
    QVERIFY(PressVKey(0x43, false, 3, 3));
    QVERIFY(clock.elapsed() >= 90);
    QCOMPARE(m_keys->events.size(), 6);
}

void tst_KeyboardOutput::pressAscii()
{
    QVERIFY(PressAscii('A', 1, 0));
    QVERIFY(PressAscii(9, 1, 0));
    QVERIFY(PressAscii(13, 1, 0));
    QVERIFY(PressAscii(10, 1, 0));
    QVERIFY(PressAscii(8, 1, 0));
    QCOMPARE(m_keys->sequence(), press("41", true) + press("09") + press("0D") + press("0D") + press("08"));
    m_keys->clear();
    QCOMPARE(PressAscii(0, 1, 0), false);
    QCOMPARE(PressAscii(27, 1, 0), false);
    QCOMPARE(PressAscii(127, 1, 0), false);
    QCOMPARE(PressAscii(233, 1, 0), false);
    QVERIFY(m_keys->events.isEmpty());
}

void tst_KeyboardOutput::pressFunctionKey()
{
    QCOMPARE(PressFunctionKey(0, 1, 0), false);
    QCOMPARE(PressFunctionKey(25, 1, 0), false);
    QCOMPARE(PressFunctionKey(-1), false);
    QVERIFY(m_keys->events.isEmpty());
    QVERIFY(PressFunctionKey(12, 1, 0));
    QVERIFY(PressFunctionKey(1, 1, 0));
    QVERIFY(PressFunctionKey(24, 1, 0));
    QCOMPARE(m_keys->sequence(), press("7B") + press("70") + press("87"));
}

void tst_KeyboardOutput::comboAltTab()
{
    QVERIFY(DoComboAltTab(2, 0));
    QCOMPARE(m_keys->sequence(), QStringList({ "+12" }) + press("09") + press("09") + QStringList({ "-12" }));
}

void tst_KeyboardOutput::getAKey()
{
    m_keys->pressedKeys = { 0x10 };
    QVERIFY(GetAKey(0x10));
    QVERIFY(!GetAKey(0x41));
    QCOMPARE(m_keys->queriedKeys, QList<quint8>({ 0x10, 0x41 }));
}

void tst_KeyboardOutput::typingOffPressesNothing()
{
    TypingOff();
    QVERIFY(!IsTypingOn());
    QVERIFY(PressVKey(0x41, false, 3, 0));
    QVERIFY(TypeText(QStringLiteral("abc")));
    QVERIFY(TypeText(QStringLiteral("a\u00e9"))); // returns at once, before looking
    QVERIFY(TypeNum(QStringLiteral("123")));
    QVERIFY(DoTab(1, 0));
    QVERIFY(m_keys->events.isEmpty());

    TypingOn();
    QVERIFY(IsTypingOn());
    QVERIFY(TypeText(QStringLiteral("a")));
    QCOMPARE(m_keys->sequence(), press("41"));
}

void tst_KeyboardOutput::typingOffMidway()
{
    m_keys->onEvent = [this](const RecordingKeyInjector::Event &) {
        if (m_keys->events.size() == 4)
            TypingOff();
    };
    QVERIFY(TypeText(QStringLiteral("abcdef")));
    QCOMPARE(m_keys->sequence(), press("41") + press("42"));

    TypingOn();
    m_keys->clear();
    m_keys->onEvent = [this](const RecordingKeyInjector::Event &) {
        if (m_keys->events.size() == 2)
            TypingOff();
    };
    QVERIFY(PressVKey(0x41, false, 5, 0));
    QCOMPARE(m_keys->sequence(), press("41"));
    m_keys->onEvent = nullptr;
}

void tst_KeyboardOutput::pauseHoldsTyping()
{
    // Given a slow typing run, when a handler pauses it during a wait, then
    // nothing is typed until the pause is broken, and the run completes.
    qsizetype typedWhilePaused = -1;
    bool pausedSeen = false;
    QTimer::singleShot(0, [] { Pause(); });
    QTimer::singleShot(150, [&] {
        typedWhilePaused = m_keys->events.size();
        pausedSeen = IsPaused();
        PauseBreak();
    });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(TypeText(QStringLiteral("ab"), 2));
    QVERIFY(clock.elapsed() >= 150);
    QVERIFY(pausedSeen);
    QCOMPARE(typedWhilePaused, qsizetype(0));
    QVERIFY(!IsPaused());
    QCOMPARE(m_keys->sequence(), press("41") + press("42"));
}

void tst_KeyboardOutput::typingOffEndsPause()
{
    QTimer::singleShot(0, [] { Pause(); });
    QTimer::singleShot(100, [] { TypingOff(); });
    QVERIFY(TypeText(QStringLiteral("abc"), 2));
    QVERIFY(m_keys->events.isEmpty());
    // The pause is still set: only PauseBreak clears it.
    QVERIFY(IsPaused());
}

void tst_KeyboardOutput::pauseLeftOverHoldsNextRun()
{
    // A pause cut short by TypingOff holds the next run at its first step
    // until PauseBreak.
    QTimer::singleShot(0, [] { Pause(); });
    QTimer::singleShot(50, [] { TypingOff(); });
    Wait(10);
    QVERIFY(IsPaused());
    TypingOn();
    qsizetype typedBeforeBreak = -1;
    QTimer::singleShot(100, [&] {
        typedBeforeBreak = m_keys->events.size();
        PauseBreak();
    });
    QVERIFY(TypeText(QStringLiteral("x")));
    QCOMPARE(typedBeforeBreak, qsizetype(0));
    QCOMPARE(m_keys->sequence(), press("58"));
}

void tst_KeyboardOutput::qtBackendTypesIntoFocusedEdit()
{
    Platform::setKeyInjector(std::make_unique<Platform::QtKeyInjector>());
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    layout->addWidget(edit);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    QVERIFY(TypeText(QStringLiteral("Ab!")));
    QCOMPARE(edit->text(), QStringLiteral("Ab!"));

    // Every printable character comes out as itself on the US layout.
    edit->clear();
    QString all;
    for (char16_t c = 32; c <= 126; ++c)
        all += QChar(c);
    QVERIFY(TypeText(all));
    QCOMPARE(edit->text(), all);

    edit->clear();
    QVERIFY(TypeText(QStringLiteral("xy\bz")));
    QCOMPARE(edit->text(), QStringLiteral("xz"));

    edit->clear();
    QVERIFY(TypeNum(QStringLiteral("12+3.5")));
    QCOMPARE(edit->text(), QStringLiteral("12+3.5"));
}

void tst_KeyboardOutput::qtBackendTracksModifiers()
{
    auto injector = std::make_unique<Platform::QtKeyInjector>();
    Platform::QtKeyInjector *qt = injector.get();
    Platform::setKeyInjector(std::move(injector));
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    layout->addWidget(edit);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    // Shift held across several keys.
    SendControl(CKShift, true);
    QCOMPARE(qt->modifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier));
    PressVKA(0x41, false);
    PressVKA(0x31, false);
    SendControl(CKShift, false);
    PressVKA(0x41, false);
    QCOMPARE(edit->text(), QStringLiteral("A!a"));
    QCOMPARE(qt->modifiers(), Qt::KeyboardModifiers());

    // Caps Lock inverts letters only; Shift inverts them back.
    DoCaps(1, 0);
    QVERIFY(qt->capsLock());
    QVERIFY(TypeText(QStringLiteral("bB1")));
    DoCaps(1, 0);
    QVERIFY(!qt->capsLock());
    QCOMPARE(edit->text(), QStringLiteral("A!aBb1"));

    // Ctrl+A selects all instead of typing; the next key replaces it.
    SendControl(CKCtrl, true);
    PressVKA(0x41, false);
    SendControl(CKCtrl, false);
    QCOMPARE(edit->selectedText(), QStringLiteral("A!aBb1"));
    QVERIFY(TypeText(QStringLiteral("z")));
    QCOMPARE(edit->text(), QStringLiteral("z"));
}

void tst_KeyboardOutput::qtBackendMovesFocusAndClicks()
{
    Platform::setKeyInjector(std::make_unique<Platform::QtKeyInjector>());
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *first = new QLineEdit(&window);
    auto *second = new QLineEdit(&window);
    auto *button = new QPushButton(QStringLiteral("Go"), &window);
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addWidget(button);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), first);

    QVERIFY(TypeText(QStringLiteral("1\t2")));
    QCOMPARE(first->text(), QStringLiteral("1"));
    QCOMPARE(second->text(), QStringLiteral("2"));
    QCOMPARE(QApplication::focusWidget(), second);

    // Shift+Tab goes back.
    SendControl(CKShift, true);
    DoTab(1, 0);
    SendControl(CKShift, false);
    QCOMPARE(QApplication::focusWidget(), first);

    button->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), button);
    QSignalSpy clicked(button, &QPushButton::clicked);
    QVERIFY(DoMouseLeftBtn(1, 0));
    QCOMPARE(clicked.size(), 1);
    QVERIFY(DoSpace(1, 0));
    QCOMPARE(clicked.size(), 2);
}

void tst_KeyboardOutput::qtBackendKeyState()
{
    Platform::setKeyInjector(std::make_unique<Platform::QtKeyInjector>());
    QVERIFY(!GetAKey(0x41));
    SendKey(0x41, true);
    QVERIFY(GetAKey(0x41));
    SendKey(0x41, false);
    QVERIFY(!GetAKey(0x41));
    // A press between two queries is reported once.
    PressVKA(0x42, false);
    QVERIFY(GetAKey(0x42));
    QVERIFY(!GetAKey(0x42));
    SendKey(0x01, true);
    QVERIFY(GetAKey(0x01));
    SendKey(0x01, false);
    QVERIFY(!GetAKey(0x01));
}

QTEST_MAIN(tst_KeyboardOutput)
#include "tst_keyboardoutput.moc"
