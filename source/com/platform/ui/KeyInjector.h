#pragma once

#include "com_global.h"

#include <QSet>
#include <QtGlobal>
#include <memory>

namespace Platform {

// Puts key presses into the input stream as if they came from the keyboard.
// Keys are named by Windows virtual-key codes (0x41 'A', 0x10 Shift, 0x0D
// Enter, ...) on every platform; each backend translates them.
class COM_EXPORT KeyInjector
{
public:
    virtual ~KeyInjector();

    // One key event, down or up. The codes 0x01, 0x02 and 0x04 (left,
    // right and middle mouse button) may be sent this way too.
    virtual void sendKey(quint16 virtualKey, bool down) = 0;
    // One mouse-button event, down or up, where the pointer or the focus is.
    virtual void sendMouseButton(Qt::MouseButton button, bool down) = 0;
    // True when the key is down now or was pressed since the last query of it.
    virtual bool asyncKeyState(quint8 virtualKey) = 0;
};

#ifdef Q_OS_WIN
// SendInput with one input record per event; GetAsyncKeyState.
class COM_EXPORT WinKeyInjector : public KeyInjector
{
public:
    void sendKey(quint16 virtualKey, bool down) override;
    void sendMouseButton(Qt::MouseButton button, bool down) override;
    bool asyncKeyState(quint8 virtualKey) override;
};
#endif

// Delivers QKeyEvent / QMouseEvent to the application's focused widget,
// synchronously. Keys are read on a US (QWERTY) layout; Shift, Ctrl, Alt,
// the Windows key and Caps Lock are tracked, so Shift down + 'A' gives
// "A". Shortcuts registered on windows (QAction, QShortcut) are not
// triggered: only the focused widget sees the events.
class COM_EXPORT QtKeyInjector : public KeyInjector
{
public:
    void sendKey(quint16 virtualKey, bool down) override;
    void sendMouseButton(Qt::MouseButton button, bool down) override;
    bool asyncKeyState(quint8 virtualKey) override;

    Qt::KeyboardModifiers modifiers() const;
    bool capsLock() const { return m_capsLock; }

private:
    QSet<quint16> m_down;
    QSet<quint16> m_pressedSinceQuery;
    Qt::MouseButtons m_buttons;
    bool m_capsLock = false;
};

// The injector of the process: WinKeyInjector on Windows, QtKeyInjector
// elsewhere, unless one was installed.
COM_EXPORT KeyInjector &keyInjector();
// Installs an injector; nullptr brings the default back.
COM_EXPORT void setKeyInjector(std::unique_ptr<KeyInjector> injector);

} // namespace Platform
