#include "Errors.h"
#include "UtilsU.h"

#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(TConvUnitRecord)

namespace {

// A carton of 12 boxes of 12 pieces.
const TConvUnitRecord carton { 3, 12, 144, 0, 0 };
const TConvUnitRecord oneUnit { 1, 0, 0, 0, 0 };
const TConvUnitRecord fiveUnits { 5, 10, 100, 1000, 10000 };

} // namespace

class tst_Utils : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void conversions_data();
    void conversions();
    void conversionErrors_data();
    void conversionErrors();
    void textToSQLIn_data();
    void textToSQLIn();
};

void tst_Utils::conversions_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("formatted"); // FormatQtyStr gives the text, not only QtyStrToInt reads it

    QTest::newRow("1000") << carton << 1000 << "00006.011.004" << true;
    QTest::newRow("-1000") << carton << -1000 << "-00006.011.004" << true;
    QTest::newRow("one unit") << oneUnit << 37 << "00037" << true;
    QTest::newRow("five units") << fiveUnits << 123456 << "00012.003.004.005.006" << true;
    QTest::newRow("max int") << carton << std::numeric_limits<qint32>::max() << "14913080.010.007" << true;
    // the lowest value has no positive 32-bit counterpart; it must not wrap
    QTest::newRow("min int") << carton << std::numeric_limits<qint32>::min() << "-14913080.010.008" << true;
    QTest::newRow("largest unit only") << carton << 864 << "6" << false;
    QTest::newRow("empty middle group") << carton << 868 << "6..4" << false;
    QTest::newRow("sign anywhere") << carton << -996 << "6-.11" << false;
    QTest::newRow("many leading zeros") << oneUnit << 42 << "000000000000000000000000042" << false;
}

void tst_Utils::conversions()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(bool, formatted);
    if (formatted)
        QCOMPARE(TUtils::FormatQtyStr(value, rec), text);
    QCOMPARE(TUtils::QtyStrToInt(text, rec), value);
}

void tst_Utils::conversionErrors_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<QString>("data"); // empty: FormatQtyStr(1000)
    QTest::addColumn<QString>("message");

    // each of these wraps around in 32-bit arithmetic to a plausible number
    QTest::newRow("one above max int") << carton << "14913080.10.8" << "Quantity \"14913080.10.8\" is out of range.";
    QTest::newRow("product wraps to 32") << carton << "29826162" << "Quantity \"29826162\" is out of range.";
    QTest::newRow("2^32 base units") << oneUnit << "4294967296" << "Quantity \"4294967296\" is out of range.";
    QTest::newRow("sum overflows") << fiveUnits << "214748.3648" << "Quantity \"214748.3648\" is out of range.";
    QTest::newRow("letter") << carton << "6.a.4" << "'a' is not a valid integer value";
    QTest::newRow("format: zero factor") << TConvUnitRecord { 3, 12, 0, 0, 0 } << ""
                                         << "Division by zero: unit 3 has no conversion factor.";
    QTest::newRow("format: six units") << TConvUnitRecord { 6, 10, 100, 1000, 10000 } << ""
                                       << "Max Unit must not be greater than 5.";
}

void tst_Utils::conversionErrors()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(QString, data);
    QFETCH(QString, message);
    try {
        const QString result = data.isEmpty() ? TUtils::FormatQtyStr(1000, rec)
                                              : QString::number(TUtils::QtyStrToInt(data, rec));
        QFAIL(qPrintable(QStringLiteral("no error raised, returned %1").arg(result)));
    } catch (const Platform::ConversionError &e) {
        QCOMPARE(e.message(), message);
    }
}

void tst_Utils::textToSQLIn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("trimmed") << "a, b ,c" << "'a','b','c'";
    QTest::newRow("quote doubled") << "O'Brien" << "'O''Brien'";
    QTest::newRow("injection attempt") << "x'); DROP TABLE t; --" << "'x''); DROP TABLE t; --'";
    QTest::newRow("double-quoted item") << "\"a,b\",c" << "'a,b','c'";
}

void tst_Utils::textToSQLIn()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TUtils::TextToSQLIn(text), expected);
}

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
