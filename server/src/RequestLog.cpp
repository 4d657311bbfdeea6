#include "RequestLog.h"

#include <QDateTime>
#include <QMutexLocker>

#include <cstdio>

QString RequestLog::escaped(const QByteArray &raw)
{
    QString out;
    out.reserve(raw.size());
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7f && c != '"' && c != '\\')
            out += QLatin1Char(ch);
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return out;
}

void RequestLog::write(const QString &client, const QByteArray &method, const QByteArray &target, int status,
                       qint64 bytes, qint64 elapsedMs) const
{
    if (!m_enabled)
        return;
    // one arg() call: a chained one would read the "%20" of a target as a place holder
    emitLine(QStringLiteral("%1 %2 \"%3 %4\" %5 %6 %7ms")
                 .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs), client, escaped(method),
                      escaped(target), QString::number(status), QString::number(bytes), QString::number(elapsedMs)));
}

void RequestLog::note(const QString &text) const
{
    if (!m_enabled)
        return;
    // notes may quote a decoded path: no control character gets through
    QString clean = text;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    }
    emitLine(QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + clean);
}

void RequestLog::emitLine(const QString &line) const
{
    const QByteArray bytes = line.toUtf8() + '\n';
    QMutexLocker lock(&m_mutex);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
