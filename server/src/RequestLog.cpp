#include "RequestLog.h"

#include <QDateTime>

#include <cstdio>

void RequestLog::write(const QString &client, const QByteArray &method, const QString &target, int status,
                       qint64 bytes, qint64 elapsedMs) const
{
    if (!m_enabled)
        return;
    const QString line = QStringLiteral("%1 %2 \"%3 %4\" %5 %6 %7ms\n")
                             .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs), client,
                                  QString::fromLatin1(method), target)
                             .arg(status)
                             .arg(bytes)
                             .arg(elapsedMs);
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void RequestLog::note(const QString &text) const
{
    if (!m_enabled)
        return;
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + text + QLatin1Char('\n');
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
}
