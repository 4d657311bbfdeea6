#include "UtilsU.h"

#include "Errors.h"
#include "Json.h"
#include "JsonDataSet.h"
#include "KeyboardOutputU.h"
#include "MsgDlgU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

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

QString outOfRangeMessage(const QString &data)
{
    return QStringLiteral("Quantity \"") + data + QStringLiteral("\" is out of range.");
}

QString notAnIntegerMessage(const QString &group)
{
    return QStringLiteral("'") + group + QStringLiteral("' is not a valid integer value");
}

// A factor below zero would write a "-" into a group, which then reads back
// as the sign of the whole quantity.
QString recordFault(const TConvUnitRecord &rec)
{
    for (int k = 2; k <= rec.MaxUnit && k <= MaxUnits; ++k) {
        if (unitFactor(rec, k) < 0)
            return QStringLiteral("Conversion factor of unit ") + QString::number(k) + QStringLiteral(" is negative.");
    }
    return QString();
}

// What a quantity string reads as. The one reader behind both QtyStrToInt
// and ValidateQtyStr, so that the validation accepts exactly what converts.
// It forgives what the validation's own rules refuse before it: a blank
// text (0) and a "-" that is doubled or out of place (the sign is taken
// from anywhere).
struct QtyReading
{
    qint32 value = 0;
    bool hasDigit = false;
    QString fault; // empty when read
};

QtyReading readQty(const QString &AData, const TConvUnitRecord &rec)
{
    QtyReading r;
    auto fail = [&r](QString message) {
        r.fault = std::move(message);
        return r;
    };
    if (rec.MaxUnit < 1)
        return fail(QStringLiteral("Max Unit must be greater than zero."));

    QString data = AData;
    const bool negative = data.contains(QLatin1Char('-'));
    data.remove(QLatin1Char('-'));
    // blanks around the text are no part of it; inside, they are no digits
    data = data.trimmed();
    // plain split: a double quote is no digit, so SplitStr's quoting would
    // only change which group the error names
    const QStringList groups = data.isEmpty() ? QStringList() : data.split(QLatin1Char('.'));
    if (groups.size() > rec.MaxUnit)
        return fail(separatorMessage(rec.MaxUnit));
    if (rec.MaxUnit > MaxUnits)
        return fail(QStringLiteral("Max Unit must not be greater than 5."));
    if (const QString fault = recordFault(rec); !fault.isEmpty())
        return fail(fault);

    // Every factor is at least 0 and every group value too, so the sum only
    // grows; each step is checked, and a long run of typed digits never wraps
    // around into a plausible but wrong quantity.
    qint64 sum = 0;
    int unit = rec.MaxUnit;
    for (const QString &group : groups) {
        qint64 value = 0;
        if (!group.isEmpty()) {
            for (QChar c : group) {
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    return fail(notAnIntegerMessage(group));
            }
            r.hasDigit = true;
            bool ok = false;
            value = group.toLongLong(&ok);
            if (!ok)
                return fail(outOfRangeMessage(AData));
        }
        qint64 term = 0;
        if (qMulOverflow(value, unitFactor(rec, unit), &term) || qAddOverflow(sum, term, &sum))
            return fail(outOfRangeMessage(AData));
        --unit;
    }
    // the lowest 32-bit value is the one negative without a positive twin
    const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min()) : std::numeric_limits<qint32>::max();
    if (sum > limit)
        return fail(outOfRangeMessage(AData));
    r.value = qint32(negative ? -sum : sum);
    return r;
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
    if (const QString fault = recordFault(AConvUnitRec); !fault.isEmpty())
        throw Platform::ConversionError(fault);

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
    const QtyReading r = readQty(AData, AConvUnitRec);
    if (!r.fault.isEmpty())
        throw Platform::ConversionError(r.fault);
    return r.value;
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
    const QtyReading r = readQty(AValue, AConvUnitRec);
    if (!r.fault.isEmpty())
        return r.fault;
    // "." or "-" alone reads as 0, but nobody typed a quantity
    if (!r.hasDigit)
        return QStringLiteral("Value can not be empty.");
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

namespace {

// Characters that best-fit conversions to a narrow code page turn into a
// plain apostrophe: after the quotes have been doubled they would end the
// literal on the server's side.
bool looksLikeApostrophe(char16_t c)
{
    switch (c) {
    case 0x02B9:
    case 0x02BC:
    case 0x02C8:
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x2032:
    case 0x2035:
    case 0xFF07: return true;
    }
    return false;
}

QString codePoint(QChar c)
{
    return QStringLiteral("U+") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

} // namespace

QString TUtils::TextToSQLIn(const QString &AText)
{
    QStringList items = SplitStr(QLatin1Char(','), AText);
    for (qsizetype i = 0; i < items.size(); ++i) {
        QString text = items.at(i).trimmed();
        // the quotes are doubled for a dialect without backslash escapes;
        // what doubling cannot make safe is refused
        for (QChar c : std::as_const(text)) {
            const QString item = QStringLiteral("Item ") + QString::number(i + 1);
            if (c.category() == QChar::Other_Control)
                throw Platform::ConversionError(item + QStringLiteral(" of the list holds the control character ")
                                                + codePoint(c) + QLatin1Char('.'));
            if (looksLikeApostrophe(c.unicode()))
                throw Platform::ConversionError(item + QStringLiteral(" of the list holds ") + codePoint(c)
                                                + QStringLiteral(", which looks like an apostrophe; type a plain "
                                                                 "apostrophe (') instead."));
        }
        text.replace(QLatin1Char('\''), QStringLiteral("''"));
        items[i] = QLatin1Char('\'') + text + QLatin1Char('\'');
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
    default: return Platform::JsonDataSet::valueFromJson(Platform::MemTable::FieldType::String, value).toString();
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
        ReadConfig(response.body);
    } catch (const std::exception &e) {
        MsgErr(Platform::messageOf(e));
    }
    // Once, also after a failure: a second Hide would count down a showing
    // that belongs to another request.
    if (WaitDlg)
        WaitDlg->Hide(false);
}

void TConfig::ReadConfig(const QByteArray &ABody)
{
    const QJsonValue root = Platform::Json::parse(ABody);
    const QJsonArray data = Platform::Json::getArray(root, QStringLiteral("data"));
    for (qsizetype i = 0; i < data.size(); ++i) {
        const QJsonValue item = data.at(i);
        if (!item.isObject())
            throw Platform::JsonMemberError(QStringLiteral("JSON member \"data.%1\" is not an object").arg(i));
        const QJsonObject entry = item.toObject();
        const QString id = entryText(entry, QStringLiteral("config_id"), i);
        const QString value = entryText(entry, QStringLiteral("config_value"), i);
        const QString dataType = entryText(entry, QStringLiteral("data_type"), i);
        FValues.append({ id, value });
        FDataTypes.append({ id, dataType });
    }
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

// The server writes numbers one way on every workstation: the C form, with
// a decimal point and no thousands separators (QString::toDouble).
double TConfig::ValueAsFloat(const QString &AConfigID) const
{
    bool ok = false;
    const double value = ValueAsString(AConfigID).toDouble(&ok);
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
    const double number = text.toDouble(&ok);
    return ok && !qIsNaN(number) && number != 0.0;
}
