#pragma once

#include "com_global.h"

#include <QString>
#include <QtGlobal>

// Types on behalf of the user: key presses go through Platform::keyInjector()
// as if they came from the keyboard, so the focused control receives them.
//
// Keys are Windows virtual-key codes. Every delay and wait count is in steps
// of 10 ms (Wait(5) waits 50 ms); waits keep the application responsive, so
// a button can call TypingOff, Pause or PauseBreak during a typing run.
// Repetition counts run on an 8-bit counter: a count above 127 is refused
// (nothing is pressed, the result is false).
//
// Note: the enumeration below uses the VK_ names that <windows.h> defines as
// macros; include this header in sources that do not include <windows.h>.

// Keys by name; each member's value is its virtual-key code.
enum enumKBButton : quint8 {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_CANCEL = 0x03,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_SELECT = 0x29,
    VK_PRINT = 0x2A,
    VK_EXECUTE = 0x2B,
    VK_SNAPSHOT = 0x2C,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_HELP = 0x2F,
    VK_0 = 0x30,
    VK_1 = 0x31,
    VK_2 = 0x32,
    VK_3 = 0x33,
    VK_4 = 0x34,
    VK_5 = 0x35,
    VK_6 = 0x36,
    VK_7 = 0x37,
    VK_8 = 0x38,
    VK_9 = 0x39,
    VK_A = 0x41,
    VK_B = 0x42,
    VK_C = 0x43,
    VK_D = 0x44,
    VK_E = 0x45,
    VK_F = 0x46,
    VK_G = 0x47,
    VK_H = 0x48,
    VK_I = 0x49,
    VK_J = 0x4A,
    VK_K = 0x4B,
    VK_L = 0x4C,
    VK_M = 0x4D,
    VK_N = 0x4E,
    VK_O = 0x4F,
    VK_P = 0x50,
    VK_Q = 0x51,
    VK_R = 0x52,
    VK_S = 0x53,
    VK_T = 0x54,
    VK_U = 0x55,
    VK_V = 0x56,
    VK_W = 0x57,
    VK_X = 0x58,
    VK_Y = 0x59,
    VK_Z = 0x5A,
    VK_STARTKEY = 0x5B,
    VK_CONTEXTKEY = 0x5D,
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD1 = 0x61,
    VK_NUMPAD2 = 0x62,
    VK_NUMPAD3 = 0x63,
    VK_NUMPAD4 = 0x64,
    VK_NUMPAD5 = 0x65,
    VK_NUMPAD6 = 0x66,
    VK_NUMPAD7 = 0x67,
    VK_NUMPAD8 = 0x68,
    VK_NUMPAD9 = 0x69,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SEPARATOR = 0x6C,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F3 = 0x72,
    VK_F4 = 0x73,
    VK_F5 = 0x74,
    VK_F6 = 0x75,
    VK_F7 = 0x76,
    VK_F8 = 0x77,
    VK_F9 = 0x78,
    VK_F10 = 0x79,
    VK_F11 = 0x7A,
    VK_F12 = 0x7B,
    VK_F13 = 0x7C,
    VK_F14 = 0x7D,
    VK_F15 = 0x7E,
    VK_F16 = 0x7F,
    VK_F17 = 0x80,
    VK_F18 = 0x81,
    VK_F19 = 0x82,
    VK_F20 = 0x83,
    VK_F21 = 0x84,
    VK_F22 = 0x85,
    VK_F23 = 0x86,
    VK_F24 = 0x87,
    VK_NUMLOCK = 0x90,
    VK_OEM_SCROLL = 0x91,
    VK_OEM_1 = 0xBA,
    VK_OEM_PLUS = 0xBB,
    VK_OEM_COMMA = 0xBC,
    VK_OEM_MINUS = 0xBD,
    VK_OEM_PERIOD = 0xBE,
    VK_OEM_2 = 0xBF,
    VK_OEM_3 = 0xC0,
    VK_OEM_4 = 0xDB,
    VK_OEM_5 = 0xDC,
    VK_OEM_6 = 0xDD,
    VK_OEM_7 = 0xDE,
    VK_OEM_8 = 0xDF,
    VK_ICO_F17 = 0xE0,
    VK_ICO_F18 = 0xE1,
    VK_OEM_102 = 0xE2,
    VK_ICO_HELP = 0xE3,
    VK_ICO_00 = 0xE4,
    VK_ICO_CLEAR = 0xE6,
    VK_OEM_RESET = 0xE9,
    VK_OEM_JUMP = 0xEA,
    VK_OEM_PA1 = 0xEB,
    VK_OEM_PA2 = 0xEC,
    VK_OEM_PA3 = 0xED,
    VK_OEM_WSCTRL = 0xEE,
    VK_OEM_CUSEL = 0xEF,
    VK_OEM_ATTN = 0xF0,
    VK_OEM_FINNISH = 0xF1,
    VK_OEM_COPY = 0xF2,
    VK_OEM_AUTO = 0xF3,
    VK_OEM_ENLW = 0xF4,
    VK_OEM_BACKTAB = 0xF5,
    VK_ATTN = 0xF6,
    VK_CRSEL = 0xF7,
    VK_EXSEL = 0xF8,
    VK_EREOF = 0xF9,
    VK_PLAY = 0xFA,
    VK_ZOOM = 0xFB,
    VK_NONAME = 0xFC,
    VK_PA1 = 0xFD,
    VK_OEM_CLEAR = 0xFE,
};

// Modifier flags of SendControl, combinable with |.
constexpr quint8 CKCtrl = 1;
constexpr quint8 CKAlt = 2;
constexpr quint8 CKShift = 4;
constexpr quint8 CKCaps = 8;
constexpr quint8 CKWin = 16;
constexpr quint8 CKPrintScr = 32;
constexpr quint8 CKContext = 64;
constexpr quint8 CKNumLock = 128;

// The US (QWERTY) layout for the printable characters 32 to 126, indexed by
// character code: the key that produces it and whether Shift is held for it.
// Entries below 32 are unused.
COM_EXPORT extern quint8 mToVKey[127];
COM_EXPORT extern bool mbShift[127];
COM_EXPORT void FillArray();

// Single events.
COM_EXPORT void SendKey(quint16 vKey, bool booDown);
COM_EXPORT void SendKeyEnum(enumKBButton eVK, bool booDown);
// 32..126 only, without Shift handling; other codes send nothing.
COM_EXPORT void SendKeyAsc(quint8 AsciiKey, bool booDown);
// After Wait(Delay), one event for each flag set, in the order Alt, Ctrl,
// Shift, Applications, Windows, Caps Lock, Num Lock, Print Screen.
COM_EXPORT void SendControl(quint8 CtrlKey, bool booDown, int Delay = 0);

// Full presses.
COM_EXPORT void PressVKA(quint16 VKey, bool booShift);
// Times full presses, each after Wait(Delay); stops on TypingOff and waits
// while paused. False (nothing pressed) when Times is above 127.
COM_EXPORT bool PressVKey(quint16 vKey, bool PressShift, int Times, int Delay);
COM_EXPORT bool PressVKey(quint16 vKey, bool PressShift);
COM_EXPORT bool PressEVkey(enumKBButton eVK, int Times, int Delay);
COM_EXPORT bool PressEVkey(enumKBButton eVK);
// 32..126 as on the US layout, 9 Tab, 13 and 10 Enter, 8 Backspace; false
// for any other code.
COM_EXPORT bool PressAscii(quint8 AsciiKey, int Times, int Delay);
COM_EXPORT bool PressAscii(quint8 AsciiKey);
// F1..F24; false outside 1..24.
COM_EXPORT bool PressFunctionKey(int OneToTwentyFour, int Times, int Delay);
COM_EXPORT bool PressFunctionKey(int OneToTwentyFour);
// Alt held while Tab is pressed Times times.
COM_EXPORT bool DoComboAltTab(int Times, int Delay);
COM_EXPORT bool DoComboAltTab();

// Text: printable ASCII as on the US layout, Tab, CR, LF (CR LF is one
// Enter) and Backspace. Other characters are skipped and make the result
// false. Returns at once (true) while typing is off.
COM_EXPORT bool TypeText(const QString &inTxt, int Delay = 0);
// Digits and + - . * / on the numeric keypad, "S" the keypad separator and
// "N" Num Lock; other characters are skipped and make the result false.
COM_EXPORT bool TypeNum(const QString &ZerosToNines, int Delay = 0);

// Typing switch and pause.
COM_EXPORT void TypingOn();
COM_EXPORT void TypingOff();
COM_EXPORT bool IsTypingOn();
// Holds the caller (processing events) until PauseBreak or TypingOff.
COM_EXPORT void Pause();
COM_EXPORT void PauseBreak();
COM_EXPORT bool IsPaused();

// Waits WaitTime x 10 ms while processing the application's events.
COM_EXPORT void Wait(int WaitTime);

// True when the key is down now or was pressed since the last query.
COM_EXPORT bool GetAKey(quint8 KeyPressed);
// The key of a printable character; 255 for any other code.
COM_EXPORT quint8 GetAscVirtualKey(quint8 AKey);
// The lowest printable character produced by the key; 255 when none is.
COM_EXPORT quint8 GetVirtualKeyAsc(quint8 VKey);

// Single keys: PressVKey of the key without Shift; without arguments Times 1
// and Delay 5.
COM_EXPORT bool DoReturn(int Times, int Delay);
COM_EXPORT bool DoReturn();
COM_EXPORT bool DoTab(int Times, int Delay);
COM_EXPORT bool DoTab();
COM_EXPORT bool DoBackSpace(int Times, int Delay);
COM_EXPORT bool DoBackSpace();
COM_EXPORT bool DoEsc(int Times, int Delay);
COM_EXPORT bool DoEsc();
COM_EXPORT bool DoSpace(int Times, int Delay);
COM_EXPORT bool DoSpace();
COM_EXPORT bool DoPgUp(int Times, int Delay);
COM_EXPORT bool DoPgUp();
COM_EXPORT bool DoPgDown(int Times, int Delay);
COM_EXPORT bool DoPgDown();
COM_EXPORT bool DoEnd(int Times, int Delay);
COM_EXPORT bool DoEnd();
COM_EXPORT bool DoHome(int Times, int Delay);
COM_EXPORT bool DoHome();
COM_EXPORT bool DoLeft(int Times, int Delay);
COM_EXPORT bool DoLeft();
COM_EXPORT bool DoUp(int Times, int Delay);
COM_EXPORT bool DoUp();
COM_EXPORT bool DoRight(int Times, int Delay);
COM_EXPORT bool DoRight();
COM_EXPORT bool DoDown(int Times, int Delay);
COM_EXPORT bool DoDown();
COM_EXPORT bool DoInsert(int Times, int Delay);
COM_EXPORT bool DoInsert();
COM_EXPORT bool DoDelete(int Times, int Delay);
COM_EXPORT bool DoDelete();
COM_EXPORT bool DoPrintScreen(int Times, int Delay);
COM_EXPORT bool DoPrintScreen();
COM_EXPORT bool DoScroll(int Times, int Delay);
COM_EXPORT bool DoScroll();
COM_EXPORT bool DoNumLock(int Times, int Delay);
COM_EXPORT bool DoNumLock();
COM_EXPORT bool DoPauseBreak(int Times, int Delay);
COM_EXPORT bool DoPauseBreak();
COM_EXPORT bool DoStarMenu(int Times, int Delay);
COM_EXPORT bool DoStarMenu();
COM_EXPORT bool DoContextMenu(int Times, int Delay);
COM_EXPORT bool DoContextMenu();
COM_EXPORT bool DoCaps(int Times, int Delay);
COM_EXPORT bool DoCaps();
COM_EXPORT bool DoMouseLeftBtn(int Times, int Delay);
COM_EXPORT bool DoMouseLeftBtn();
COM_EXPORT bool DoMouseRightBtn(int Times, int Delay);
COM_EXPORT bool DoMouseRightBtn();
COM_EXPORT bool DoMouseMidBtn(int Times, int Delay);
COM_EXPORT bool DoMouseMidBtn();
COM_EXPORT bool DoCancel(int Times, int Delay);
COM_EXPORT bool DoCancel();

// Unit start: tables filled, typing on and not paused.
COM_EXPORT void KeyboardOutputU_Initialize();
COM_EXPORT void KeyboardOutputU_Finalize();
