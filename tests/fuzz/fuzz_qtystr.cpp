// Quantity strings: the validation and the conversion agree on every text,
// and a formatted quantity reads back as the number it came from.
//
// Input: 24 bytes of numbers (MaxUnit, the four factors, a value; each a
// little-endian 32-bit integer, MaxUnit and factors folded into small ranges
// most of the time), then the quantity text in UTF-8.

#include "FuzzSupport.h"

#include "Errors.h"
#include "UtilsU.h"

#include <cstring>

namespace {

qint32 takeInt(const uint8_t *&data, size_t &size)
{
    quint32 v = 0;
    const size_t n = size < 4 ? size : 4;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return qint32(v);
}

// Mostly plausible factors, now and then any 32-bit value.
qint32 factor(qint32 raw)
{
    if ((raw & 0x70000000) == 0x70000000)
        return raw;
    return qint32(quint32(raw) % 1001u) - ((raw & 0x0F000000) == 0x0F000000 ? 500 : 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TConvUnitRecord rec;
    const qint32 maxRaw = takeInt(data, size);
    rec.MaxUnit = (maxRaw & 0x70000000) == 0x70000000 ? maxRaw : qint32(quint32(maxRaw) % 8u) - 1;
    rec.ConvUnit2 = factor(takeInt(data, size));
    rec.ConvUnit3 = factor(takeInt(data, size));
    rec.ConvUnit4 = factor(takeInt(data, size));
    rec.ConvUnit5 = factor(takeInt(data, size));
    const qint32 value = takeInt(data, size);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString recText = QStringLiteral("MaxUnit %1, factors %2 %3 %4 %5")
                                .arg(rec.MaxUnit)
                                .arg(rec.ConvUnit2)
                                .arg(rec.ConvUnit3)
                                .arg(rec.ConvUnit4)
                                .arg(rec.ConvUnit5);

    // What the validation accepts, the conversion reads; what the conversion
    // refuses, the validation refuses (not always with the same words: the
    // form of the text is checked first).
    const QString verdict = TUtils::ValidateQtyStr(text, rec);
    bool converted = false;
    QString refusal;
    try {
        TUtils::QtyStrToInt(text, rec);
        converted = true;
    } catch (const Platform::ConversionError &e) {
        refusal = e.message();
    }
    FUZZ_CHECK(!verdict.isEmpty() || converted,
               QStringLiteral("accepted but not read: \"%1\" (%2): %3").arg(text, recText, refusal));
    FUZZ_CHECK(converted || !verdict.isEmpty(),
               QStringLiteral("refused without a verdict: \"%1\" (%2)").arg(text, recText));
    if (!converted && verdict != refusal) {
        // a different message may only come from a rule on the form of the text
        const QString trimmed = text.trimmed();
        const bool formRule = trimmed.isEmpty() || text.count(QLatin1Char('.')) >= rec.MaxUnit
            || text.count(QLatin1Char('-')) >= 2 || trimmed.indexOf(QLatin1Char('-')) > 0 || rec.MaxUnit <= 0;
        FUZZ_CHECK(formRule,
                   QStringLiteral("\"%1\" (%2): validation says \"%3\", conversion \"%4\"")
                       .arg(text, recText, verdict, refusal));
    }

    // Format, then read back.
    QString formatted;
    try {
        formatted = TUtils::FormatQtyStr(value, rec);
    } catch (const Platform::ConversionError &) {
        return 0;
    }
    if (rec.MaxUnit < 1)
        return 0;
    qint32 back = 0;
    try {
        back = TUtils::QtyStrToInt(formatted, rec);
    } catch (const Platform::ConversionError &e) {
        FUZZ_CHECK(false,
                   QStringLiteral("%1 formatted as \"%2\" (%3) does not read: %4")
                       .arg(value)
                       .arg(formatted, recText, e.message()));
    }
    FUZZ_CHECK(back == value,
               QStringLiteral("%1 formatted as \"%2\" (%3) reads as %4").arg(value).arg(formatted, recText).arg(back));
    const QString again = TUtils::ValidateQtyStr(formatted, rec);
    FUZZ_CHECK(again.isEmpty(),
               QStringLiteral("\"%1\" (%2) formatted here is refused: %3").arg(formatted, recText, again));
    return 0;
}
