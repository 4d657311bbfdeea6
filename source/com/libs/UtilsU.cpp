#include "UtilsU.h"

#include "Errors.h"
#include "Json.h"
#include "JsonDataSet.h"
#include "KeyboardOutputU.h"
#include "MsgDlgU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QLocale>
#include <QtNumeric>

#include <limits>

TUtils Utils;

// ---------------------------------------------------------------------------
// TUtils
// ---------------------------------------------------------------------------

namespace {

constexpr qint32 MaxUnits = 5;

// F(k): size of unit k (1..5) in base units.
qint64 unitFactor(const TConvUnitRecord &rec, int unit)
{
    switch (unit) {
    case 1: return 1;
    case 2: return rec.ConvUnit2;
    case 3: return rec.ConvUnit3;
    case 4: return rec.ConvUnit4;
    case 5: return rec.ConvUnit5;
    }
    return 0;
}

QString separatorMessage(qint32 maxUnit)
{
    return QStringLiteral("Maximum separator is ") + QString::number(maxUnit - 1) + QStringLiteral(" dot.");
}

QString padded(qint64 value, int width)
{
    QString digits = QString::number(value < 0 ? -value : value).rightJustified(width, QLatin1Char('0'));
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

[[noreturn]] void outOfRange(const QString &data)
{
    throw Platform::ConversionError(QStringLiteral("Quantity \"") + data
                                    + QStringLiteral("\" is out of range."));
}

} // namespace

int TUtils::CharCount(const QString &S, QChar C)
{
    return int(S.count(C));
}

QString TUtils::FormatQtyStr(qint32 AValue, const TConvUnitRecord &AConvUnitRec)
{
    const QString sign = AValue < 0 ? QStringLiteral("-") : QString();
    if (AConvUnitRec.MaxUnit < 1)
        return sign;
    if (AConvUnitRec.MaxUnit > MaxUnits)
        throw Platform::ConversionError(QStringLiteral("Max Unit must not be greater than 5."));

    // 64 bits, so that the lowest 32-bit value keeps its magnitude.
    qint64 rest = AValue;
    if (rest < 0)
        rest = -rest;
    QStringList groups;
    for (int k = AConvUnitRec.MaxUnit; k >= 1; --k) {
        const qint64 factor = unitFactor(AConvUnitRec, k);
        if (factor == 0)
            throw Platform::ConversionError(QStringLiteral("Division by zero: unit ") + QString::number(k)
                                            + QStringLiteral(" has no conversion factor."));
        groups.append(padded(rest / factor, k == AConvUnitRec.MaxUnit ? 5 : 3));
        rest %= factor;
    }
    return sign + groups.join(QLatin1Char('.'));
}

qint32 TUtils::QtyStrToInt(const QString &AData, const TConvUnitRecord &AConvUnitRec)
{
    QString data = AData;
    const bool negative = data.contains(QLatin1Char('-'));
    data.remove(QLatin1Char('-'));

    const QStringList groups = SplitStr(QLatin1Char('.'), data);
    if (groups.isEmpty())
        return 0;
    if (AConvUnitRec.MaxUnit < 1)
        throw Platform::ConversionError(QStringLiteral("Max Unit must be greater than zero."));
    if (AConvUnitRec.MaxUnit > MaxUnits)
        throw Platform::ConversionError(QStringLiteral("Max Unit must not be greater than 5."));
    if (groups.size() > AConvUnitRec.MaxUnit)
        throw Platform::ConversionError(separatorMessage(AConvUnitRec.MaxUnit));

    // Every step is checked: a long run of typed digits must never wrap
    // around into a plausible but wrong quantity.
    qint64 sum = 0;
    int unit = AConvUnitRec.MaxUnit;
    for (const QString &rawGroup : groups) {
        const QString group = rawGroup.trimmed();
        qint64 value = 0;
        if (!group.isEmpty()) {
            for (QChar c : group) {
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    throw Platform::ConversionError(QStringLiteral("'") + rawGroup
                                                    + QStringLiteral("' is not a valid integer value"));
            }
            bool ok = false;
            value = group.toLongLong(&ok);
            if (!ok)
                outOfRange(AData);
        }
        qint64 term = 0;
        if (qMulOverflow(value, unitFactor(AConvUnitRec, unit), &term) || qAddOverflow(sum, term, &sum))
            outOfRange(AData);
        --unit;
    }
    const qint64 result = negative ? -sum : sum;
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        outOfRange(AData);
    return qint32(result);
}

QString TUtils::ValidateQtyStr(const QString &AValue, const TConvUnitRecord &AConvUnitRec)
{
    const QString trimmed = AValue.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Value can not be empty.");
    if (AConvUnitRec.MaxUnit <= 0)
        return QStringLiteral("Max Unit must be greater than zero.");
    if (CharCount(AValue, QLatin1Char('.')) >= AConvUnitRec.MaxUnit)
        return separatorMessage(AConvUnitRec.MaxUnit);
    if (CharCount(AValue, QLatin1Char('-')) >= 2)
        return QStringLiteral("Negative symbol may only used once.");
    if (trimmed.indexOf(QLatin1Char('-')) > 0)
        return QStringLiteral("Invalid negative symbol position.");
    return QString();
}

void TUtils::QtyStrKey(QChar &AKey, const QString &AText, bool AAllowNegative)
{
    if (AKey == QLatin1Char('-')) {
        if (!AAllowNegative || AText.contains(QLatin1Char('-')))
            AKey = QChar();
        return;
    }
    if (AKey == QLatin1Char('\r')) {
        DoTab();
        return;
    }
    if (AKey == QLatin1Char('\b') || AKey == QLatin1Char('.') || (AKey >= QLatin1Char('0') && AKey <= QLatin1Char('9')))
        return;
    AKey = QChar();
}

QStringList TUtils::SplitStr(QChar ADelimiter, const QString &AStr)
{
    QStringList items;
    const qsizetype n = AStr.size();
    qsizetype i = 0;
    while (i < n) {
        QString item;
        if (AStr.at(i) == QLatin1Char('"')) {
            // Quoted: runs to the closing quote (or the end); what follows
            // it up to the next delimiter is read as an item of its own.
            ++i;
            while (i < n) {
                if (AStr.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && AStr.at(i + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += AStr.at(i++);
            }
        } else {
            qsizetype end = AStr.indexOf(ADelimiter, i);
            if (end < 0)
                end = n;
            item = AStr.mid(i, end - i);
            i = end;
        }
        items.append(item);
        if (i < n && AStr.at(i) == ADelimiter) {
            if (i + 1 == n)
                items.append(QString());
            ++i;
        }
    }
    return items;
}

QString TUtils::TextToSQLIn(const QString &AText)
{
    QStringList items = SplitStr(QLatin1Char(','), AText);
    for (QString &item : items) {
        QString text = item.trimmed();
        text.replace(QLatin1Char('\''), QStringLiteral("''"));
        item = QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    return items.join(QLatin1Char(','));
}

// ---------------------------------------------------------------------------
// TConfig
// ---------------------------------------------------------------------------

namespace {

// A member of a configuration entry as text. The server may send a value as
// a number or a Boolean; those keep their JSON spelling. null is no value.
QString entryText(const QJsonObject &AEntry, const QString &AMember, qsizetype AIndex)
{
    const QString path = QStringLiteral("data.") + QString::number(AIndex) + QLatin1Char('.') + AMember;
    const QJsonValue value = AEntry.value(AMember);
    switch (value.type()) {
    case QJsonValue::Undefined:
        throw Platform::JsonMemberError(QStringLiteral("JSON member \"%1\" is missing").arg(path));
    case QJsonValue::Array:
    case QJsonValue::Object:
        throw Platform::JsonMemberError(QStringLiteral("JSON member \"%1\" is not a text").arg(path));
    default:
        return Platform::JsonDataSet::valueFromJson(Platform::MemTable::FieldType::String, value).toString();
    }
}

} // namespace

TConfig::TConfig() = default;

TConfig::~TConfig() = default;

void TConfig::LoadConfig()
{
    try {
        if (!RestClient)
            throw Platform::TransportError(QStringLiteral("No connection to the server has been set up."));
        auto client = RestClient->CreateRestClient(true);
        client->addQueryStringParam(QStringLiteral("config_id"), FConfigID);
        const Platform::HttpResponse response = client->get(QStringLiteral("/sys/v1/config"));
        // The status is not consulted: a refused request has no "data" array.
        const QJsonValue root = Platform::Json::parse(response.body);
        const QJsonArray data = Platform::Json::getArray(root, QStringLiteral("data"));
        for (qsizetype i = 0; i < data.size(); ++i) {
            const QJsonValue item = data.at(i);
            if (!item.isObject())
                throw Platform::JsonMemberError(
                    QStringLiteral("JSON member \"data.%1\" is not an object").arg(i));
            const QJsonObject entry = item.toObject();
            const QString id = entryText(entry, QStringLiteral("config_id"), i);
            const QString value = entryText(entry, QStringLiteral("config_value"), i);
            const QString dataType = entryText(entry, QStringLiteral("data_type"), i);
            FValues.append({ id, value });
            FDataTypes.append({ id, dataType });
        }
    } catch (const std::exception &e) {
        MsgErr(Platform::messageOf(e));
    }
    // Once, also after a failure: a second Hide would count down a showing
    // that belongs to another request.
    if (WaitDlg)
        WaitDlg->Hide(false);
}

QString TConfig::lookup(const Entries &AEntries, const QString &AConfigID)
{
    for (const auto &entry : AEntries) {
        if (entry.first.compare(AConfigID, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return {};
}

QVariant TConfig::Value(const QString &AConfigID) const
{
    const QString dataType = lookup(FDataTypes, AConfigID).toLower();
    if (dataType == QLatin1String("integer"))
        return ValueAsInteger(AConfigID);
    if (dataType == QLatin1String("float"))
        return ValueAsFloat(AConfigID);
    if (dataType == QLatin1String("boolean"))
        return ValueAsBoolean(AConfigID);
    return ValueAsString(AConfigID);
}

QString TConfig::ValueAsString(const QString &AConfigID) const
{
    return lookup(FValues, AConfigID).trimmed();
}

int TConfig::ValueAsInteger(const QString &AConfigID) const
{
    bool ok = false;
    const int value = ValueAsString(AConfigID).toInt(&ok, 10);
    return ok ? value : 0;
}

double TConfig::ValueAsFloat(const QString &AConfigID) const
{
    bool ok = false;
    const double value = QLocale().toDouble(ValueAsString(AConfigID), &ok);
    return ok && qIsFinite(value) ? value : 0.0;
}

bool TConfig::ValueAsBoolean(const QString &AConfigID) const
{
    const QString text = ValueAsString(AConfigID);
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = QLocale().toDouble(text, &ok);
    return ok && !qIsNaN(number) && number != 0.0;
}
