#include "TextUtil.h"

QString customerSearchKey(const QString &code, const QString &name, const QString &city, const QString &email)
{
    const QChar sep(0x1f);
    QString key = code + sep + name + sep + city + sep + email;
    return key.toCaseFolded();
}

QString containsPattern(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped += QLatin1Char('%');
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    escaped += QLatin1Char('%');
    return escaped;
}

QString timestampText(const QDateTime &when)
{
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QString nowText()
{
    return timestampText(QDateTime::currentDateTime());
}
