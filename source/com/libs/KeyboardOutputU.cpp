#include "KeyboardOutputU.h"

#include "KeyInjector.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

quint8 mToVKey[127] = {};
bool mbShift[127] = {};

namespace {

// Unit state, one set for the process; plain values so that nothing here
// needs destroying when the library unloads.
bool bStop = false;
bool bPause = false;

// The repetition counter is a signed byte: a longer run would never end.
constexpr int MaxRepetitions = 127;

constexpr int FirstPrintable = 32;
constexpr int LastPrintable = 126;

bool isPrintable(int code)
{
    return code >= FirstPrintable && code <= LastPrintable;
}

// True when typing is off, after honouring a pause.
bool stopRequested()
{
    if (bStop)
        return true;
    if (bPause)
        Pause();
    return bStop;
}

} // namespace

void FillArray()
{
    struct Entry
    {
        char c;
        quint8 vk;
        bool shift;
    };
    // The symbols of the US layout; letters, digits and space follow below.
    static constexpr Entry symbols[] = {
        { '!', 0x31, true }, { '"', 0xDE, true },   { '#', 0x33, true },  { '$', 0x34, true },   { '%', 0x35, true },
        { '&', 0x37, true }, { '\'', 0xDE, false }, { '(', 0x39, true },  { ')', 0x30, true },   { '*', 0x38, true },
        { '+', 0xBB, true }, { ',', 0xBC, false },  { '-', 0xBD, false }, { '.', 0xBE, false },  { '/', 0xBF, false },
        { ':', 0xBA, true }, { ';', 0xBA, false },  { '<', 0xBC, true },  { '=', 0xBB, false },  { '>', 0xBE, true },
        { '?', 0xBF, true }, { '@', 0x32, true },   { '[', 0xDB, false }, { '\\', 0xDC, false }, { ']', 0xDD, false },
        { '^', 0x36, true }, { '_', 0xBD, true },   { '`', 0xC0, false }, { '{', 0xDB, true },   { '|', 0xDC, true },
        { '}', 0xDD, true }, { '~', 0xC0, true },
    };
    for (int c = 0; c <= LastPrintable; ++c) {
        mToVKey[c] = 0;
        mbShift[c] = false;
    }
    mToVKey[int(' ')] = 0x20;
    for (int c = '0'; c <= '9'; ++c)
        mToVKey[c] = quint8(c); // the digit keys carry the digits' codes
    for (int c = 'A'; c <= 'Z'; ++c) {
        mToVKey[c] = quint8(c);
        mbShift[c] = true;
        mToVKey[c + 0x20] = quint8(c);
    }
    for (const Entry &e : symbols) {
        mToVKey[uchar(e.c)] = e.vk;
        mbShift[uchar(e.c)] = e.shift;
    }
}

void SendKey(quint16 vKey, bool booDown)
{
    Platform::keyInjector().sendKey(vKey, booDown);
}

void SendKeyEnum(enumKBButton eVK, bool booDown)
{
    SendKey(quint16(eVK), booDown);
}

void SendKeyAsc(quint8 AsciiKey, bool booDown)
{
    if (isPrintable(AsciiKey))
        SendKey(mToVKey[AsciiKey], booDown);
}

void SendControl(quint8 CtrlKey, bool booDown, int Delay)
{
    static constexpr struct
    {
        quint8 flag;
        quint16 vk;
    } order[] = {
        { CKAlt, VK_MENU },     { CKCtrl, VK_CONTROL }, { CKShift, VK_SHIFT },     { CKContext, VK_CONTEXTKEY },
        { CKWin, VK_STARTKEY }, { CKCaps, VK_CAPITAL }, { CKNumLock, VK_NUMLOCK }, { CKPrintScr, VK_SNAPSHOT },
    };
    if (Delay > 0)
        Wait(Delay);
    for (const auto &o : order) {
        if (CtrlKey & o.flag)
            SendKey(o.vk, booDown);
    }
}

void PressVKA(quint16 VKey, bool booShift)
{
    if (booShift)
        SendKey(VK_SHIFT, true);
    SendKey(VKey, true);
    SendKey(VKey, false);
    if (booShift)
        SendKey(VK_SHIFT, false);
}

bool PressVKey(quint16 vKey, bool PressShift, int Times, int Delay)
{
    if (Times > MaxRepetitions)
        return false;
    for (int counter = 1; counter <= Times; ++counter) {
        if (stopRequested())
            break;
        if (Delay > 0) {
            Wait(Delay);
            // TypingOff pressed during the wait ends the run before the key.
            if (bStop)
                break;
        }
        PressVKA(vKey, PressShift);
    }
    return true;
}

bool PressVKey(quint16 vKey, bool PressShift)
{
    return PressVKey(vKey, PressShift, 1, 5);
}

bool PressEVkey(enumKBButton eVK, int Times, int Delay)
{
    return PressVKey(quint16(eVK), false, Times, Delay);
}

bool PressEVkey(enumKBButton eVK)
{
    return PressEVkey(eVK, 1, 5);
}

bool PressAscii(quint8 AsciiKey, int Times, int Delay)
{
    if (isPrintable(AsciiKey))
        return PressVKey(mToVKey[AsciiKey], mbShift[AsciiKey], Times, Delay);
    switch (AsciiKey) {
    case 9: return PressVKey(VK_TAB, false, Times, Delay);
    case 10:
    case 13: return PressVKey(VK_RETURN, false, Times, Delay);
    case 8: return PressVKey(VK_BACK, false, Times, Delay);
    default: return false;
    }
}

bool PressAscii(quint8 AsciiKey)
{
    return PressAscii(AsciiKey, 1, 5);
}

bool PressFunctionKey(int OneToTwentyFour, int Times, int Delay)
{
    if (OneToTwentyFour < 1 || OneToTwentyFour > 24)
        return false;
    return PressVKey(quint16(111 + OneToTwentyFour), false, Times, Delay);
}

bool PressFunctionKey(int OneToTwentyFour)
{
    return PressFunctionKey(OneToTwentyFour, 1, 5);
}

bool DoComboAltTab(int Times, int Delay)
{
    // Refused up front, so that Alt is never left down.
    if (Times > MaxRepetitions)
        return false;
    SendControl(CKAlt, true, Delay);
    PressVKey(VK_TAB, false, Times, Delay);
    SendControl(CKAlt, false, Delay);
    return true;
}

bool DoComboAltTab()
{
    return DoComboAltTab(5, 5);
}

bool TypeText(const QString &inTxt, int Delay)
{
    bool result = true;
    if (bStop)
        return result;
    for (qsizetype i = 0; i < inTxt.size(); ++i) {
        if (stopRequested())
            break;
        // The whole UTF-16 unit counts: a character beyond ASCII is not
        // typed as whatever its low byte happens to be.
        const char16_t c = inTxt.at(i).unicode();
        if (isPrintable(c)) {
            if (Delay > 0) {
                Wait(Delay);
                if (bStop)
                    break;
            }
            PressVKA(mToVKey[c], mbShift[c]);
        } else if (c == u'\t') {
            DoTab(1, Delay);
        } else if (c == u'\r') {
            DoReturn(1, Delay);
        } else if (c == u'\n') {
            if (i == 0 || inTxt.at(i - 1) != u'\r')
                DoReturn(1, Delay);
        } else if (c == u'\b') {
            DoBackSpace(1, Delay);
        } else {
            result = false;
        }
    }
    return result;
}

bool TypeNum(const QString &ZerosToNines, int Delay)
{
    bool result = true;
    for (const QChar ch : ZerosToNines) {
        if (stopRequested())
            break;
        const char16_t c = ch.unicode();
        if (c >= u'0' && c <= u'9') {
            if (Delay > 0) {
                Wait(Delay);
                if (bStop)
                    break;
            }
            const quint16 vk = quint16(c + 48);
            SendKey(vk, true);
            SendKey(vk, false);
            continue;
        }
        quint16 vk = 0;
        switch (c) {
        case u'+': vk = VK_ADD; break;
        case u'-': vk = VK_SUBTRACT; break;
        case u'.': vk = VK_DECIMAL; break;
        case u'*': vk = VK_MULTIPLY; break;
        case u'/': vk = VK_DIVIDE; break;
        case u'S': vk = VK_SEPARATOR; break;
        case u'N': vk = VK_NUMLOCK; break;
        default: break;
        }
        if (vk)
            PressVKA(vk, false);
        else
            result = false;
    }
    return result;
}

void TypingOn()
{
    bStop = false;
}

void TypingOff()
{
    bStop = true;
}

bool IsTypingOn()
{
    return !bStop;
}

void Pause()
{
    bPause = true;
    while (bPause && !bStop)
        Wait(10);
}

void PauseBreak()
{
    bPause = false;
}

bool IsPaused()
{
    return bPause;
}

void Wait(int WaitTime)
{
    if (WaitTime <= 0)
        return;
    QElapsedTimer clock;
    clock.start();
    const qint64 end = qint64(WaitTime) * 10;
    while (clock.elapsed() < end) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool GetAKey(quint8 KeyPressed)
{
    return Platform::keyInjector().asyncKeyState(KeyPressed);
}

quint8 GetAscVirtualKey(quint8 AKey)
{
    return isPrintable(AKey) ? mToVKey[AKey] : 255;
}

quint8 GetVirtualKeyAsc(quint8 VKey)
{
    for (int c = FirstPrintable; c <= LastPrintable; ++c) {
        if (mToVKey[c] == VKey)
            return quint8(c);
    }
    return 255;
}

// Single keys.
#define ZELT_KB_SINGLE_KEY(name, vk)                                                                                   \
    bool name(int Times, int Delay)                                                                                    \
    {                                                                                                                  \
        return PressVKey(vk, false, Times, Delay);                                                                     \
    }                                                                                                                  \
    bool name()                                                                                                        \
    {                                                                                                                  \
        return PressVKey(vk, false, 1, 5);                                                                             \
    }

ZELT_KB_SINGLE_KEY(DoReturn, VK_RETURN)
ZELT_KB_SINGLE_KEY(DoTab, VK_TAB)
ZELT_KB_SINGLE_KEY(DoBackSpace, VK_BACK)
ZELT_KB_SINGLE_KEY(DoEsc, VK_ESCAPE)
ZELT_KB_SINGLE_KEY(DoSpace, VK_SPACE)
ZELT_KB_SINGLE_KEY(DoPgUp, VK_PRIOR)
ZELT_KB_SINGLE_KEY(DoPgDown, VK_NEXT)
ZELT_KB_SINGLE_KEY(DoEnd, VK_END)
ZELT_KB_SINGLE_KEY(DoHome, VK_HOME)
ZELT_KB_SINGLE_KEY(DoLeft, VK_LEFT)
ZELT_KB_SINGLE_KEY(DoUp, VK_UP)
ZELT_KB_SINGLE_KEY(DoRight, VK_RIGHT)
ZELT_KB_SINGLE_KEY(DoDown, VK_DOWN)
ZELT_KB_SINGLE_KEY(DoInsert, VK_INSERT)
ZELT_KB_SINGLE_KEY(DoDelete, VK_DELETE)
ZELT_KB_SINGLE_KEY(DoPrintScreen, VK_SNAPSHOT)
ZELT_KB_SINGLE_KEY(DoScroll, VK_OEM_SCROLL)
ZELT_KB_SINGLE_KEY(DoNumLock, VK_NUMLOCK)
ZELT_KB_SINGLE_KEY(DoPauseBreak, VK_PAUSE)
ZELT_KB_SINGLE_KEY(DoStarMenu, VK_STARTKEY)
ZELT_KB_SINGLE_KEY(DoContextMenu, VK_CONTEXTKEY)
ZELT_KB_SINGLE_KEY(DoCaps, VK_CAPITAL)
ZELT_KB_SINGLE_KEY(DoMouseLeftBtn, VK_LBUTTON)
ZELT_KB_SINGLE_KEY(DoMouseRightBtn, VK_RBUTTON)
ZELT_KB_SINGLE_KEY(DoMouseMidBtn, VK_MBUTTON)
ZELT_KB_SINGLE_KEY(DoCancel, VK_CANCEL)

#undef ZELT_KB_SINGLE_KEY

void KeyboardOutputU_Initialize()
{
    FillArray();
    bStop = false;
    bPause = false;
}

void KeyboardOutputU_Finalize() { }
