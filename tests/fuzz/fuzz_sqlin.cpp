// TextToSQLIn: whatever the user typed, the result is one well-formed list of
// single-quoted literals, each the trimmed item it came from, or the text is
// refused with a ConversionError.

#include "FuzzSupport.h"

#include "Errors.h"
#include "UtilsU.h"

namespace {

// Reads 'a','b''c' back into its items; false when it is not such a list.
bool readLiterals(const QString &sql, QStringList &items)
{
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (true) {
        if (i >= n || sql.at(i) != QLatin1Char('\''))
            return false;
        ++i;
        QString item;
        while (true) {
            if (i >= n)
                return false; // unterminated
            if (sql.at(i) == QLatin1Char('\'')) {
                if (i + 1 < n && sql.at(i + 1) == QLatin1Char('\'')) {
                    item += QLatin1Char('\'');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            item += sql.at(i++);
        }
        items << item;
        if (i == n)
            return true;
        if (sql.at(i) != QLatin1Char(','))
            return false;
        ++i;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString sql;
    try {
        sql = TUtils::TextToSQLIn(text);
    } catch (const Platform::ConversionError &e) {
        FUZZ_CHECK(!e.message().isEmpty(), QStringLiteral("refused without a reason: \"%1\"").arg(text));
        return 0;
    }
    const QStringList expected = TUtils::SplitStr(QLatin1Char(','), text);
    if (expected.isEmpty()) {
        FUZZ_CHECK(sql.isEmpty(), QStringLiteral("\"%1\" has no items but gives %2").arg(text, sql));
        return 0;
    }
    QStringList items;
    FUZZ_CHECK(readLiterals(sql, items), QStringLiteral("\"%1\" gives a malformed list: %2").arg(text, sql));
    FUZZ_CHECK(items.size() == expected.size(),
               QStringLiteral("\"%1\" gives %2 literals for %3 items: %4")
                   .arg(text)
                   .arg(items.size())
                   .arg(expected.size())
                   .arg(sql));
    for (qsizetype i = 0; i < items.size(); ++i) {
        FUZZ_CHECK(items.at(i) == expected.at(i).trimmed(),
                   QStringLiteral("\"%1\": literal %2 is \"%3\"").arg(text).arg(i + 1).arg(items.at(i)));
        for (QChar c : items.at(i)) {
            FUZZ_CHECK(c.category() != QChar::Other_Control,
                       QStringLiteral("\"%1\": a control character passed").arg(text));
        }
    }
    return 0;
}
