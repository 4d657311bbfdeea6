#include "KeyInjector.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace Platform {

namespace {

enum : quint16 {
    vkLButton = 0x01,
    vkRButton = 0x02,
    vkMButton = 0x04,
    vkShift = 0x10,
    vkControl = 0x11,
    vkMenu = 0x12,
    vkCapital = 0x14,
    vkLWin = 0x5B,
    vkRWin = 0x5C,
    vkLShift = 0xA0,
    vkRShift = 0xA1,
    vkLControl = 0xA2,
    vkRControl = 0xA3,
    vkLMenu = 0xA4,
    vkRMenu = 0xA5,
};

// Keys that print, on the US layout: the character without and with Shift.
struct PrintingKey
{
    quint16 vk;
    char plain;
    char shifted;
};

constexpr PrintingKey printingKeys[] = {
    { 0x20, ' ', ' ' }, { 0x30, '0', ')' },  { 0x31, '1', '!' },  { 0x32, '2', '@' }, { 0x33, '3', '#' },
    { 0x34, '4', '$' }, { 0x35, '5', '%' },  { 0x36, '6', '^' },  { 0x37, '7', '&' }, { 0x38, '8', '*' },
    { 0x39, '9', '(' }, { 0xBA, ';', ':' },  { 0xBB, '=', '+' },  { 0xBC, ',', '<' }, { 0xBD, '-', '_' },
    { 0xBE, '.', '>' }, { 0xBF, '/', '?' },  { 0xC0, '`', '~' },  { 0xDB, '[', '{' }, { 0xDC, '\\', '|' },
    { 0xDD, ']', '}' }, { 0xDE, '\'', '"' }, { 0xE2, '\\', '|' },
};

// The numeric keypad (Num Lock taken as on).
struct KeypadKey
{
    quint16 vk;
    char text;
};

constexpr KeypadKey keypadKeys[] = {
    { 0x60, '0' }, { 0x61, '1' }, { 0x62, '2' }, { 0x63, '3' }, { 0x64, '4' }, { 0x65, '5' },
    { 0x66, '6' }, { 0x67, '7' }, { 0x68, '8' }, { 0x69, '9' }, { 0x6A, '*' }, { 0x6B, '+' },
    { 0x6C, ',' }, { 0x6D, '-' }, { 0x6E, '.' }, { 0x6F, '/' },
};

// Keys that do not print (or print a control character).
struct NamedKey
{
    quint16 vk;
    int key;
    const char *text;
};

const NamedKey namedKeys[] = {
    { 0x03, Qt::Key_Cancel, "" },
    { 0x08, Qt::Key_Backspace, "\b" },
    { 0x09, Qt::Key_Tab, "\t" },
    { 0x0C, Qt::Key_Clear, "" },
    { 0x0D, Qt::Key_Return, "\r" },
    { vkShift, Qt::Key_Shift, "" },
    { vkControl, Qt::Key_Control, "" },
    { vkMenu, Qt::Key_Alt, "" },
    { 0x13, Qt::Key_Pause, "" },
    { vkCapital, Qt::Key_CapsLock, "" },
    { 0x1B, Qt::Key_Escape, "\x1b" },
    { 0x21, Qt::Key_PageUp, "" },
    { 0x22, Qt::Key_PageDown, "" },
    { 0x23, Qt::Key_End, "" },
    { 0x24, Qt::Key_Home, "" },
    { 0x25, Qt::Key_Left, "" },
    { 0x26, Qt::Key_Up, "" },
    { 0x27, Qt::Key_Right, "" },
    { 0x28, Qt::Key_Down, "" },
    { 0x29, Qt::Key_Select, "" },
    { 0x2A, Qt::Key_Printer, "" },
    { 0x2B, Qt::Key_Execute, "" },
    { 0x2C, Qt::Key_Print, "" },
    { 0x2D, Qt::Key_Insert, "" },
    { 0x2E, Qt::Key_Delete, "\x7f" },
    { 0x2F, Qt::Key_Help, "" },
    { vkLWin, Qt::Key_Meta, "" },
    { vkRWin, Qt::Key_Meta, "" },
    { 0x5D, Qt::Key_Menu, "" },
    { 0x90, Qt::Key_NumLock, "" },
    { 0x91, Qt::Key_ScrollLock, "" },
    { vkLShift, Qt::Key_Shift, "" },
    { vkRShift, Qt::Key_Shift, "" },
    { vkLControl, Qt::Key_Control, "" },
    { vkRControl, Qt::Key_Control, "" },
    { vkLMenu, Qt::Key_Alt, "" },
    { vkRMenu, Qt::Key_Alt, "" },
    { 0xFA, Qt::Key_Play, "" },
    { 0xFB, Qt::Key_Zoom, "" },
    { 0xFE, Qt::Key_Clear, "" },
};

struct Translated
{
    int key = Qt::Key_unknown;
    QString text;
    bool keypad = false;
};

Translated translate(quint16 vk, bool shift, bool capsLock, bool commandHeld)
{
    Translated t;
    if (vk >= 0x41 && vk <= 0x5A) {
        t.key = vk;
        const bool upper = shift != capsLock;
        if (!commandHeld)
            t.text = QChar(upper ? vk : vk + 0x20);
        return t;
    }
    if (vk >= 0x70 && vk <= 0x87) {
        t.key = Qt::Key_F1 + (vk - 0x70);
        return t;
    }
    for (const PrintingKey &p : printingKeys) {
        if (p.vk == vk) {
            const char c = shift ? p.shifted : p.plain;
            t.key = static_cast<unsigned char>(c);
            if (!commandHeld)
                t.text = QChar::fromLatin1(c);
            return t;
        }
    }
    for (const KeypadKey &p : keypadKeys) {
        if (p.vk == vk) {
            t.key = static_cast<unsigned char>(p.text);
            t.keypad = true;
            if (!commandHeld)
                t.text = QChar::fromLatin1(p.text);
            return t;
        }
    }
    for (const NamedKey &n : namedKeys) {
        if (n.vk == vk) {
            t.key = n.key;
            t.text = QString::fromLatin1(n.text);
            if (n.key == Qt::Key_Tab && shift)
                t.key = Qt::Key_Backtab;
            return t;
        }
    }
    return t;
}

bool isShift(quint16 vk)
{
    return vk == vkShift || vk == vkLShift || vk == vkRShift;
}
bool isControl(quint16 vk)
{
    return vk == vkControl || vk == vkLControl || vk == vkRControl;
}
bool isAlt(quint16 vk)
{
    return vk == vkMenu || vk == vkLMenu || vk == vkRMenu;
}
bool isMeta(quint16 vk)
{
    return vk == vkLWin || vk == vkRWin;
}

} // namespace

Qt::KeyboardModifiers QtKeyInjector::modifiers() const
{
    Qt::KeyboardModifiers mods;
    for (quint16 vk : m_down) {
        if (isShift(vk))
            mods |= Qt::ShiftModifier;
        else if (isControl(vk))
            mods |= Qt::ControlModifier;
        else if (isAlt(vk))
            mods |= Qt::AltModifier;
        else if (isMeta(vk))
            mods |= Qt::MetaModifier;
    }
    return mods;
}

void QtKeyInjector::sendKey(quint16 virtualKey, bool down)
{
    switch (virtualKey) {
    case vkLButton: sendMouseButton(Qt::LeftButton, down); return;
    case vkRButton: sendMouseButton(Qt::RightButton, down); return;
    case vkMButton: sendMouseButton(Qt::MiddleButton, down); return;
    default: break;
    }

    if (down) {
        if (virtualKey == vkCapital && !m_down.contains(vkCapital))
            m_capsLock = !m_capsLock;
        m_down.insert(virtualKey);
        m_pressedSinceQuery.insert(virtualKey);
    } else {
        m_down.remove(virtualKey);
    }

    QWidget *target = QApplication::focusWidget();
    if (!target)
        return;
    Qt::KeyboardModifiers mods = modifiers();
    const bool commandHeld = mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const Translated t = translate(virtualKey, mods & Qt::ShiftModifier, m_capsLock, commandHeld);
    if (t.keypad)
        mods |= Qt::KeypadModifier;
    QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, t.key, mods, 0, virtualKey, 0, t.text);
    QCoreApplication::sendEvent(target, &event);
}

void QtKeyInjector::sendMouseButton(Qt::MouseButton button, bool down)
{
    if (down)
        m_buttons |= button;
    else
        m_buttons &= ~Qt::MouseButtons(button);

    // The click lands on the focused control: where the pointer is cannot
    // be relied on across platforms (offscreen has none).
    QWidget *target = QApplication::focusWidget();
    if (!target)
        return;
    const QPointF local = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent event(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, local, global, button, m_buttons,
                      modifiers());
    QCoreApplication::sendEvent(target, &event);
}

bool QtKeyInjector::asyncKeyState(quint8 virtualKey)
{
    switch (virtualKey) {
    case vkLButton: return m_buttons.testFlag(Qt::LeftButton);
    case vkRButton: return m_buttons.testFlag(Qt::RightButton);
    case vkMButton: return m_buttons.testFlag(Qt::MiddleButton);
    default: break;
    }
    const bool state = m_down.contains(virtualKey) || m_pressedSinceQuery.contains(virtualKey);
    m_pressedSinceQuery.remove(virtualKey);
    return state;
}

} // namespace Platform
