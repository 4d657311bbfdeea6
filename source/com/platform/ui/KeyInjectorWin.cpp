#include "KeyInjector.h"

#ifdef Q_OS_WIN

#include <qt_windows.h>

#ifdef _MSC_VER
#pragma comment(lib, "user32")
#endif

namespace Platform {

void WinKeyInjector::sendKey(quint16 virtualKey, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = 0;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    input.ki.time = 0;
    input.ki.dwExtraInfo = 0;
    // The result is not examined: a refused injection types nothing, which
    // the user sees.
    SendInput(1, &input, int(sizeof(INPUT)));
}

void WinKeyInjector::sendMouseButton(Qt::MouseButton button, bool down)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    switch (button) {
    case Qt::LeftButton: input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP; break;
    case Qt::RightButton: input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP; break;
    case Qt::MiddleButton: input.mi.dwFlags = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP; break;
    default: return;
    }
    SendInput(1, &input, int(sizeof(INPUT)));
}

bool WinKeyInjector::asyncKeyState(quint8 virtualKey)
{
    return GetAsyncKeyState(virtualKey) != 0;
}

} // namespace Platform

#endif // Q_OS_WIN
