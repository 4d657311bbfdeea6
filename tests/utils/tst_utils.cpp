#include "Errors.h"
#include "UtilsU.h"

#include <QRandomGenerator>
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
    void validateQtyStr_data();
    void validateQtyStr();
    void validationAgreesWithConversion();
    void textToSQLIn_data();
    void textToSQLIn();
    void textToSQLInRefuses_data();
    void textToSQLInRefuses();
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
    QTest::newRow("blanks around the text") << carton << -864 << " -6 " << false;
    QTest::newRow("only dots") << carton << 0 << ".." << false;
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
    QTest::newRow("one above max int") << carton << "14913080.10.8"
                                       << "Quantity \"14913080.10.8\" is out of range.";
    QTest::newRow("product wraps to 32") << carton << "29826162"
                                         << "Quantity \"29826162\" is out of range.";
    QTest::newRow("2^32 base units") << oneUnit << "4294967296"
                                     << "Quantity \"4294967296\" is out of range.";
    QTest::newRow("sum overflows") << fiveUnits << "214748.3648"
                                   << "Quantity \"214748.3648\" is out of range.";
    QTest::newRow("letter") << carton << "6.a.4"
                            << "'a' is not a valid integer value";
    QTest::newRow("blank inside a group") << carton << "6.1 1.4"
                                          << "'1 1' is not a valid integer value";
    QTest::newRow("blank beside a dot") << carton << "6 .11"
                                        << "'6 ' is not a valid integer value";
    QTest::newRow("digit of another script")
        << oneUnit << QStringLiteral("\u0663") << QStringLiteral("'\u0663' is not a valid integer value");
    // a negative factor writes "-" into a group, which reads back as the sign
    QTest::newRow("negative factor") << TConvUnitRecord { 2, -12, 0, 0, 0 } << "1.0"
                                     << "Conversion factor of unit 2 is negative.";
    // 2^32 x -2^31 is the lowest 64-bit value, which has no negation
    QTest::newRow("negative factor to the lowest 64 bits")
        << TConvUnitRecord { 2, std::numeric_limits<qint32>::min(), 0, 0, 0 } << "-4294967296.0"
        << "Conversion factor of unit 2 is negative.";
    QTest::newRow("format: negative factor") << TConvUnitRecord { 3, 12, -144, 0, 0 } << ""
                                             << "Conversion factor of unit 3 is negative.";
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
        const QString result =
            data.isEmpty() ? TUtils::FormatQtyStr(1000, rec) : QString::number(TUtils::QtyStrToInt(data, rec));
        QFAIL(qPrintable(QStringLiteral("no error raised, returned %1").arg(result)));
    } catch (const Platform::ConversionError &e) {
        QCOMPARE(e.message(), message);
    }
}

void tst_Utils::validateQtyStr_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("blank") << carton << "   "
                           << "Value can not be empty.";
    QTest::newRow("three groups") << carton << "1.2.3"
                                  << "";
    QTest::newRow("four groups") << carton << "1.2.3.4"
                                 << "Maximum separator is 2 dot.";
    QTest::newRow("two signs") << carton << "--5"
                               << "Negative symbol may only used once.";
    QTest::newRow("sign last") << carton << "5-"
                               << "Invalid negative symbol position.";
    QTest::newRow("sign first after trimming") << carton << " -5"
                                               << "";
    QTest::newRow("no units") << TConvUnitRecord {} << "5"
                              << "Max Unit must be greater than zero.";
    QTest::newRow("six units") << TConvUnitRecord { 6, 10, 100, 1000, 10000 } << "5"
                               << "Max Unit must not be greater than 5.";
    // a text without a digit holds no quantity
    QTest::newRow("a dot") << carton << "."
                           << "Value can not be empty.";
    QTest::newRow("a sign") << carton << "-"
                            << "Value can not be empty.";
    QTest::newRow("a sign and dots") << carton << "-.."
                                     << "Value can not be empty.";
    // what the conversion refuses, the validation refuses with the same words
    QTest::newRow("letter") << carton << "6.a.4"
                            << "'a' is not a valid integer value";
    QTest::newRow("blank inside a group") << carton << "1 2"
                                          << "'1 2' is not a valid integer value";
    QTest::newRow("too large") << carton << "99999999999"
                               << "Quantity \"99999999999\" is out of range.";
    QTest::newRow("negative factor") << TConvUnitRecord { 2, -12, 0, 0, 0 } << "1.0"
                                     << "Conversion factor of unit 2 is negative.";
}

void tst_Utils::validateQtyStr()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QCOMPARE(TUtils::ValidateQtyStr(text, rec), message);
}

// Given any text and any conversion record, ValidateQtyStr accepts exactly
// what QtyStrToInt reads, apart from the forms the reader forgives (a blank
// text, a sign doubled or out of place); every accepted quantity formats and
// reads back to itself.
void tst_Utils::validationAgreesWithConversion()
{
    const QStringList forgiven = { QStringLiteral("Value can not be empty."),
                                   QStringLiteral("Negative symbol may only used once."),
                                   QStringLiteral("Invalid negative symbol position.") };
    const QString alphabet = QStringLiteral("0123456789000..--  a\t\"\u0663\uFF11");
    const qint32 goodFactors[] = { 1, 7, 12, 144, 1000, 100000, std::numeric_limits<qint32>::max() };
    const qint32 badFactors[] = { 0, -1, -12, std::numeric_limits<qint32>::min() };
    QRandomGenerator rng(20240516);
    auto factor = [&] {
        return rng.bounded(4) == 0 ? badFactors[rng.bounded(int(std::size(badFactors)))]
                                   : goodFactors[rng.bounded(int(std::size(goodFactors)))];
    };
    int accepted = 0;
    for (int n = 0; n < 40000; ++n) {
        const TConvUnitRecord rec { rng.bounded(-1, 7), factor(), factor(), factor(), factor() };
        QString text;
        for (int i = rng.bounded(0, 12); i > 0; --i)
            text += alphabet.at(rng.bounded(int(alphabet.size())));
        if (rng.bounded(8) == 0)
            text += QString::number(rng.generate64()); // long runs of digits
        const QString where = QStringLiteral("text \"%1\", units %2: %3 %4 %5 %6")
                                  .arg(text)
                                  .arg(rec.MaxUnit)
                                  .arg(rec.ConvUnit2)
                                  .arg(rec.ConvUnit3)
                                  .arg(rec.ConvUnit4)
                                  .arg(rec.ConvUnit5);

        const QString verdict = TUtils::ValidateQtyStr(text, rec);
        QString failure;
        qint32 value = 0;
        try {
            value = TUtils::QtyStrToInt(text, rec);
        } catch (const Platform::ConversionError &e) {
            failure = e.message();
        }
        if (verdict.isEmpty()) {
            ++accepted;
            QVERIFY2(failure.isEmpty(), qPrintable(where + QStringLiteral(" accepted, but: ") + failure));
            bool factorsUsable = true;
            for (int k = 2; k <= rec.MaxUnit; ++k)
                factorsUsable &= (k == 2       ? rec.ConvUnit2
                                      : k == 3 ? rec.ConvUnit3
                                      : k == 4 ? rec.ConvUnit4
                                               : rec.ConvUnit5)
                    > 0;
            if (factorsUsable) {
                const QString shown = TUtils::FormatQtyStr(value, rec);
                QVERIFY2(TUtils::QtyStrToInt(shown, rec) == value,
                         qPrintable(where + QStringLiteral(" shown as ") + shown));
                QVERIFY2(TUtils::ValidateQtyStr(shown, rec).isEmpty(),
                         qPrintable(where + QStringLiteral(" shown as ") + shown));
            }
        } else if (!forgiven.contains(verdict)) {
            QVERIFY2(failure == verdict,
                     qPrintable(where + QStringLiteral(" refused with \"") + verdict + QStringLiteral("\", read: ")
                                + (failure.isEmpty() ? QString::number(value) : failure)));
        }
    }
    QVERIFY2(accepted > 2000, qPrintable(QString::number(accepted))); // the generator reaches both sides
}

void tst_Utils::textToSQLIn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("trimmed") << "a, b ,c"
                             << "'a','b','c'";
    QTest::newRow("quote doubled") << "O'Brien"
                                   << "'O''Brien'";
    QTest::newRow("injection attempt") << "x'); DROP TABLE t; --"
                                       << "'x''); DROP TABLE t; --'";
    QTest::newRow("double-quoted item") << "\"a,b\",c"
                                        << "'a,b','c'";
    QTest::newRow("blanks and tabs around items") << "a,\tb \r\n,c"
                                                  << "'a','b','c'";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_Utils::textToSQLIn()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TUtils::TextToSQLIn(text), expected);
}

// What would end the literal on the server's side, or break the statement,
// never reaches it: control characters and apostrophes in disguise, which
// some databases fold into a plain one after the quotes were doubled.
void tst_Utils::textToSQLInRefuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("NUL") << QStringLiteral("a,b") + QChar(0) + QStringLiteral("c")
                         << "Item 2 of the list holds the control character U+0000.";
    QTest::newRow("tab inside an item") << "a\tb"
                                        << "Item 1 of the list holds the control character U+0009.";
    QTest::newRow("delete") << QStringLiteral("x\u007F") << "Item 1 of the list holds the control character U+007F.";
    const QString lookAlike = QStringLiteral("Item %1 of the list holds U+%2, which looks like an apostrophe; "
                                             "type a plain apostrophe (') instead.");
    QTest::newRow("right single quotation mark") << QStringLiteral("a,O\u2019Brien") << lookAlike.arg(2).arg("2019");
    QTest::newRow("modifier letter apostrophe") << QStringLiteral("x\u02BC) or 1=1 --") << lookAlike.arg(1).arg("02BC");
    QTest::newRow("fullwidth apostrophe") << QStringLiteral("a,b,\uFF07") << lookAlike.arg(3).arg("FF07");
}

void tst_Utils::textToSQLInRefuses()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        const QString result = TUtils::TextToSQLIn(text);
        QFAIL(qPrintable(QStringLiteral("no error raised, returned %1").arg(result)));
    } catch (const Platform::ConversionError &e) {
        QCOMPARE(e.message(), message);
    }
}

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
