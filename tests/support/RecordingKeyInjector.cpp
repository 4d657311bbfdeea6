#include "RecordingKeyInjector.h"

RecordingKeyInjector *RecordingKeyInjector::install()
{
    auto injector = std::make_unique<RecordingKeyInjector>();
    RecordingKeyInjector *raw = injector.get();
    Platform::setKeyInjector(std::move(injector));
    return raw;
}

void RecordingKeyInjector::sendKey(quint16 virtualKey, bool down)
{
    events.append(Event { false, virtualKey, down });
}

void RecordingKeyInjector::sendMouseButton(Qt::MouseButton button, bool down)
{
    events.append(Event { true, quint16(button), down });
}

bool RecordingKeyInjector::asyncKeyState(quint8)
{
    return false; // no key is held down
}

QStringList RecordingKeyInjector::sequence() const
{
    QStringList out;
    for (const Event &e : events) {
        const QString sign = e.down ? QStringLiteral("+") : QStringLiteral("-");
        if (e.mouse)
            out.append(sign + QStringLiteral("mouse") + QString::number(e.code));
        else
            out.append(sign + QString::number(e.code, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    }
    return out;
}
