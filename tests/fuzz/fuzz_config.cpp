// The server's configuration entries ("/sys/v1/config"): any body either
// loads or raises Platform::Error, and every look-up of what was loaded
// answers without raising, with the kind its data type names.

#include "FuzzSupport.h"

#include "Errors.h"
#include "UtilsU.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtNumeric>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = Fuzz::bytes(data, size);
    TConfig config;
    bool loaded = false;
    try {
        config.ReadConfig(body);
        loaded = true;
    } catch (const Platform::Error &e) {
        FUZZ_CHECK(!e.message().isEmpty(), QStringLiteral("raised without a reason"));
    }

    // the ids as the body names them, plus one that is never there
    QStringList ids { QStringLiteral("no such id") };
    const QJsonArray entries = QJsonDocument::fromJson(body).object().value(QLatin1String("data")).toArray();
    for (const QJsonValue &entry : entries) {
        const QJsonValue id = entry.toObject().value(QLatin1String("config_id"));
        ids << (id.isString() ? id.toString() : QString::number(id.toDouble()));
    }
    if (loaded)
        FUZZ_CHECK(config.Count() == entries.size(),
                   QStringLiteral("%1 entries loaded of %2").arg(config.Count()).arg(entries.size()));

    for (const QString &id : std::as_const(ids)) {
        const QString text = config.ValueAsString(id);
        FUZZ_CHECK(text == text.trimmed(), QStringLiteral("\"%1\" keeps its blanks").arg(text));
        config.ValueAsInteger(id);
        FUZZ_CHECK(qIsFinite(config.ValueAsFloat(id)), QStringLiteral("%1 is not finite").arg(text));
        config.ValueAsBoolean(id);
        const QVariant value = config.Value(id);
        FUZZ_CHECK(value.isValid(), QStringLiteral("no value for %1").arg(id));
        if (value.typeId() == QMetaType::Double)
            FUZZ_CHECK(qIsFinite(value.toDouble()), QStringLiteral("%1 is not finite").arg(text));
    }
    FUZZ_CHECK(config.ValueAsString(QStringLiteral("no such id")).isEmpty()
                   || ids.contains(QStringLiteral("no such id"), Qt::CaseInsensitive),
               QStringLiteral("an id never loaded has a value"));
    return 0;
}
