#include "Errors.h"
#include "RecordingKeyInjector.h"
#include "UtilsU.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(TConvUnitRecord)

namespace {

// A carton of 12 boxes of 12 pieces.
const TConvUnitRecord carton { 3, 12, 144, 0, 0 };
const TConvUnitRecord oneUnit { 1, 0, 0, 0, 0 };
const TConvUnitRecord tens { 2, 10, 0, 0, 0 };
const TConvUnitRecord fiveUnits { 5, 10, 100, 1000, 10000 };
const TConvUnitRecord noUnits { 0, 12, 144, 0, 0 };

} // namespace

class tst_Utils : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    void formatQtyStr_data();
    void formatQtyStr();
    void formatQtyStrRefuses_data();
    void formatQtyStrRefuses();

    void qtyStrToInt_data();
    void qtyStrToInt();
    void qtyStrToIntRefuses_data();
    void qtyStrToIntRefuses();
    void roundTrip();

    void validateQtyStr_data();
    void validateQtyStr();

    void qtyStrKey_data();
    void qtyStrKey();
    void qtyStrKeyEnterSendsTab();

    void charCount();
    void splitStr_data();
    void splitStr();
    void textToSQLIn_data();
    void textToSQLIn();
    void textToSQLInIsSafeSql();

private:
    RecordingKeyInjector *m_keys = nullptr;
};

void tst_Utils::initTestCase()
{
    m_keys = RecordingKeyInjector::install();
}

void tst_Utils::formatQtyStr_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1000") << carton << 1000 << "00006.011.004";
    QTest::newRow("-1000") << carton << -1000 << "-00006.011.004";
    QTest::newRow("0") << carton << 0 << "00000.000.000";
    QTest::newRow("143") << carton << 143 << "00000.011.011";
    QTest::newRow("144") << carton << 144 << "00001.000.000";
    QTest::newRow("99999") << carton << 99999 << "00694.005.003";
    QTest::newRow("one unit") << oneUnit << 37 << "00037";
    QTest::newRow("two units") << tens << 25 << "00002.005";
    QTest::newRow("five units") << fiveUnits << 123456 << "00012.003.004.005.006";
    // Groups wider than their pattern keep every digit.
    QTest::newRow("wide groups") << tens << 1234567 << "123456.007";
    QTest::newRow("max int") << carton << std::numeric_limits<qint32>::max() << "14913080.010.007";
    // The lowest value has no positive 32-bit counterpart; it must not wrap.
    QTest::newRow("min int") << carton << std::numeric_limits<qint32>::min() << "-14913080.010.008";
    QTest::newRow("no units") << noUnits << 5 << "";
    QTest::newRow("no units, negative") << noUnits << -5 << "-";
    // Factors above MaxUnit are not read, even when zero.
    QTest::newRow("unused zero factor") << TConvUnitRecord { 2, 12, 0, 0, 0 } << 30 << "00002.006";
}

void tst_Utils::formatQtyStr()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(int, value);
    QFETCH(QString, expected);
    QCOMPARE(TUtils::FormatQtyStr(value, rec), expected);
}

void tst_Utils::formatQtyStrRefuses_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<QString>("message");

    QTest::newRow("zero factor of unit 2")
        << TConvUnitRecord { 3, 0, 144, 0, 0 } << "Division by zero: unit 2 has no conversion factor.";
    QTest::newRow("zero factor of the largest unit")
        << TConvUnitRecord { 3, 12, 0, 0, 0 } << "Division by zero: unit 3 has no conversion factor.";
    QTest::newRow("six units") << TConvUnitRecord { 6, 10, 100, 1000, 10000 } << "Max Unit must not be greater than 5.";
}

void tst_Utils::formatQtyStrRefuses()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(QString, message);
    try {
        TUtils::FormatQtyStr(1000, rec);
        QFAIL("no error raised");
    } catch (const Platform::ConversionError &e) {
        QCOMPARE(e.message(), message);
    }
}

void tst_Utils::qtyStrToInt_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("expected");

    QTest::newRow("6.11.4") << carton << "6.11.4" << 1000;
    QTest::newRow("padded") << carton << "00006.011.004" << 1000;
    QTest::newRow("negative") << carton << "-6.11.4" << -1000;
    QTest::newRow("largest unit only") << carton << "6" << 864;
    QTest::newRow("trailing dot") << carton << "6." << 864;
    QTest::newRow("empty middle group") << carton << "6..4" << 868;
    QTest::newRow("empty") << carton << "" << 0;
    QTest::newRow("sign anywhere") << carton << "6-.11" << -996;
    QTest::newRow("five units, two groups") << fiveUnits << "12.3" << 123000;
    QTest::newRow("blank before sign") << carton << " -5" << -720;
    QTest::newRow("many leading zeros") << oneUnit << "000000000000000000000000042" << 42;
    QTest::newRow("max int") << carton << "14913080.10.7" << std::numeric_limits<qint32>::max();
    QTest::newRow("min int") << carton << "-14913080.010.008" << std::numeric_limits<qint32>::min();
    QTest::newRow("zero factor counts as nothing") << TConvUnitRecord { 2, 0, 0, 0, 0 } << "7.3" << 3;
    QTest::newRow("no units, empty text") << noUnits << "" << 0;
}

void tst_Utils::qtyStrToInt()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(QString, data);
    QFETCH(int, expected);
    QCOMPARE(TUtils::QtyStrToInt(data, rec), expected);
    QCOMPARE(Utils.QtyStrToInt(data, rec), expected);
}

void tst_Utils::qtyStrToIntRefuses_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("message");

    // Each of these wraps around in 32-bit arithmetic to a plausible number.
    QTest::newRow("one above max int") << carton << "14913080.10.8" << "Quantity \"14913080.10.8\" is out of range.";
    QTest::newRow("one below min int")
        << carton << "-14913080.10.9" << "Quantity \"-14913080.10.9\" is out of range.";
    QTest::newRow("product wraps to 32") << carton << "29826162" << "Quantity \"29826162\" is out of range.";
    QTest::newRow("2^32 base units") << oneUnit << "4294967296" << "Quantity \"4294967296\" is out of range.";
    QTest::newRow("beyond 64 bits")
        << carton << "99999999999999999999999.1.1" << "Quantity \"99999999999999999999999.1.1\" is out of range.";
    QTest::newRow("sum overflows") << fiveUnits << "214748.3648" << "Quantity \"214748.3648\" is out of range.";
    QTest::newRow("letter") << carton << "6.a.4" << "'a' is not a valid integer value";
    QTest::newRow("plus sign") << carton << "+6" << "'+6' is not a valid integer value";
    QTest::newRow("too many groups") << carton << "1.2.3.4" << "Maximum separator is 2 dot.";
    QTest::newRow("no units") << noUnits << "5" << "Max Unit must be greater than zero.";
    QTest::newRow("six units") << TConvUnitRecord { 6, 1, 1, 1, 1 } << "5" << "Max Unit must not be greater than 5.";
}

void tst_Utils::qtyStrToIntRefuses()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(QString, data);
    QFETCH(QString, message);
    try {
        const qint32 value = TUtils::QtyStrToInt(data, rec);
        QFAIL(qPrintable(QStringLiteral("no error raised, returned %1").arg(value)));
    } catch (const Platform::ConversionError &e) {
        QCOMPARE(e.message(), message);
    }
}

void tst_Utils::roundTrip()
{
    const qint32 values[] = { 0, 1, 11, 12, 143, 144, 1000, 99999, -7, std::numeric_limits<qint32>::max(),
                              std::numeric_limits<qint32>::min() };
    for (const TConvUnitRecord &rec : { carton, oneUnit, tens, fiveUnits }) {
        for (qint32 v : values) {
            const QString text = TUtils::FormatQtyStr(v, rec);
            QVERIFY2(TUtils::ValidateQtyStr(text, rec).isEmpty(), qPrintable(text));
            QCOMPARE(TUtils::QtyStrToInt(text, rec), v);
        }
    }
}

void tst_Utils::validateQtyStr_data()
{
    QTest::addColumn<TConvUnitRecord>("rec");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("blanks") << carton << "   " << "Value can not be empty.";
    QTest::newRow("three groups") << carton << "1.2.3" << "";
    QTest::newRow("four groups") << carton << "1.2.3.4" << "Maximum separator is 2 dot.";
    QTest::newRow("one unit, one dot") << oneUnit << "1." << "Maximum separator is 0 dot.";
    QTest::newRow("five units, five dots") << fiveUnits << "1.2.3.4.5.6" << "Maximum separator is 4 dot.";
    QTest::newRow("two signs") << carton << "--5" << "Negative symbol may only used once.";
    QTest::newRow("sign after digit") << carton << "5-" << "Invalid negative symbol position.";
    QTest::newRow("blank before sign") << carton << " -5" << "";
    QTest::newRow("no units") << noUnits << "5" << "Max Unit must be greater than zero.";
    // The rules are checked in order; the first failure is reported.
    QTest::newRow("empty before max unit") << noUnits << " " << "Value can not be empty.";
    QTest::newRow("dots before signs") << carton << "-1.2.3.4-" << "Maximum separator is 2 dot.";
    QTest::newRow("count before position") << carton << "5--" << "Negative symbol may only used once.";
}

void tst_Utils::validateQtyStr()
{
    QFETCH(TConvUnitRecord, rec);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QCOMPARE(TUtils::ValidateQtyStr(value, rec), message);
}

void tst_Utils::qtyStrKey_data()
{
    QTest::addColumn<QChar>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("allowNegative");
    QTest::addColumn<QChar>("expected");

    QTest::newRow("second sign") << QChar(u'-') << "-5" << true << QChar();
    QTest::newRow("sign not allowed") << QChar(u'-') << "5" << false << QChar();
    QTest::newRow("sign allowed") << QChar(u'-') << "5" << true << QChar(u'-');
    QTest::newRow("letter") << QChar(u'a') << "" << true << QChar();
    QTest::newRow("blank") << QChar(u' ') << "1" << true << QChar();
    QTest::newRow("digit") << QChar(u'7') << "" << false << QChar(u'7');
    QTest::newRow("dot") << QChar(u'.') << "1" << false << QChar(u'.');
    QTest::newRow("backspace") << QChar(u'\b') << "1" << false << QChar(u'\b');
    QTest::newRow("arabic digit") << QChar(0x0663) << "" << false << QChar();
}

void tst_Utils::qtyStrKey()
{
    QFETCH(QChar, key);
    QFETCH(QString, text);
    QFETCH(bool, allowNegative);
    QFETCH(QChar, expected);
    m_keys->clear();
    TUtils::QtyStrKey(key, text, allowNegative);
    QCOMPARE(key, expected);
    QVERIFY(m_keys->events.isEmpty());
}

void tst_Utils::qtyStrKeyEnterSendsTab()
{
    m_keys->clear();
    QChar key = QLatin1Char('\r');
    TUtils::QtyStrKey(key, QStringLiteral("1.2"), false);
    QCOMPARE(key, QChar(u'\r'));
    QCOMPARE(m_keys->sequence(), QStringList({ "+09", "-09" }));
}

void tst_Utils::charCount()
{
    QCOMPARE(TUtils::CharCount(QString(), QLatin1Char('.')), 0);
    QCOMPARE(TUtils::CharCount(QStringLiteral("1.2.3"), QLatin1Char('.')), 2);
    QCOMPARE(TUtils::CharCount(QStringLiteral("--5-"), QLatin1Char('-')), 3);
    QCOMPARE(TUtils::CharCount(QStringLiteral("abc"), QLatin1Char('-')), 0);
}

void tst_Utils::splitStr_data()
{
    QTest::addColumn<QChar>("delimiter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty") << QChar(u',') << "" << QStringList();
    QTest::newRow("blanks kept") << QChar(u',') << " a , b " << QStringList({ " a ", " b " });
    QTest::newRow("empty middle") << QChar(u',') << "a,,b" << QStringList({ "a", "", "b" });
    QTest::newRow("trailing delimiter") << QChar(u',') << "a," << QStringList({ "a", "" });
    QTest::newRow("dots") << QChar(u'.') << "6..4" << QStringList({ "6", "", "4" });
    QTest::newRow("other delimiter ignored") << QChar(u';') << "a,b;c" << QStringList({ "a,b", "c" });
    QTest::newRow("quoted delimiter") << QChar(u',') << "\"a,b\",c" << QStringList({ "a,b", "c" });
    QTest::newRow("doubled quote") << QChar(u',') << "\"say \"\"hi\"\"\",x" << QStringList({ "say \"hi\"", "x" });
    QTest::newRow("quote inside item") << QChar(u',') << "a\"b,c" << QStringList({ "a\"b", "c" });
    QTest::newRow("unclosed quote") << QChar(u',') << "\"ab,c" << QStringList({ "ab,c" });
}

void tst_Utils::splitStr()
{
    QFETCH(QChar, delimiter);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(TUtils::SplitStr(delimiter, text), expected);
}

void tst_Utils::textToSQLIn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("trimmed") << "a, b ,c" << "'a','b','c'";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("quote doubled") << "O'Brien" << "'O''Brien'";
    QTest::newRow("quote at the end") << "a,b'" << "'a','b'''";
    QTest::newRow("injection attempt") << "x'); DROP TABLE t; --" << "'x''); DROP TABLE t; --'";
    QTest::newRow("double-quoted item") << "\"a,b\",c" << "'a,b','c'";
}

void tst_Utils::textToSQLIn()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TUtils::TextToSQLIn(text), expected);
}

void tst_Utils::textToSQLInIsSafeSql()
{
    // Given a table of hostile values, when the list is pasted into an IN
    // clause, then exactly those rows match and nothing else runs.
    const QString connection = QStringLiteral("tst_utils");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE t (v TEXT)")));
        const QStringList values = { QStringLiteral("O'Brien"), QStringLiteral("x'); DROP TABLE t; --"),
                                     QStringLiteral("''"), QStringLiteral("plain"), QStringLiteral("other") };
        for (const QString &v : values) {
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO t VALUES (?)")));
            q.addBindValue(v);
            QVERIFY(q.exec());
        }
        const QString list = TUtils::TextToSQLIn(QStringLiteral("O'Brien, x'); DROP TABLE t; --,'',plain"));
        QVERIFY2(q.exec(QStringLiteral("SELECT v FROM t WHERE v IN (") + list + QStringLiteral(") ORDER BY v")),
                 qPrintable(q.lastError().text()));
        QStringList found;
        while (q.next())
            found.append(q.value(0).toString());
        QCOMPARE(found, QStringList({ "''", "O'Brien", "plain", "x'); DROP TABLE t; --" }));
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM t")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 5);
    }
    QSqlDatabase::removeDatabase(connection);
}

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
