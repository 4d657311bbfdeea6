#pragma once

#include "KeyInjector.h"

#include <QList>
#include <QStringList>

// Records every injected event instead of delivering it. Install it with
// RecordingKeyInjector::install(); the pointer stays valid until another
// injector is installed.
class RecordingKeyInjector : public Platform::KeyInjector
{
public:
    struct Event
    {
        bool mouse = false;
        quint16 code = 0; // virtual-key code, or Qt::MouseButton for mouse events
        bool down = false;
    };

    static RecordingKeyInjector *install();

    void sendKey(quint16 virtualKey, bool down) override;
    void sendMouseButton(Qt::MouseButton button, bool down) override;
    bool asyncKeyState(quint8 virtualKey) override;

    // The key events as "+41" (down) and "-41" (up), hexadecimal codes in
    // capitals; mouse events as "+mouse1" / "-mouse1".
    QStringList sequence() const;
    void clear() { events.clear(); }

    QList<Event> events;
};
