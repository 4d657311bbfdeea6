#include "Errors.h"
#include "MemTable.h"
#include "TableStorage.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>
#include <limits>
#include <memory>

using Platform::MemTable;
using FieldType = MemTable::FieldType;
using State = MemTable::State;

namespace {

MemTable::Row row(qint64 id, const QString &name, int qty, QVariant active = {}, QVariant date = {})
{
    return { QVariant(qlonglong(id)), name, qty, active, date };
}

// Rows id 1.., names "r1".., qty 10, 20, ...
std::vector<MemTable::Row> rows(int count, int firstId = 1)
{
    std::vector<MemTable::Row> result;
    for (int id = firstId; id < firstId + count; ++id)
        result.push_back(row(id, QStringLiteral("r%1").arg(id), 10 * id));
    return result;
}

} // namespace

class tst_MemTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fieldsAndOpenClose();
    void navigateAppendCancel();
    void editPostCancelDelete();
    void stateErrorsAndReadOnly();
    void setValueConverts_data();
    void setValueConverts();
    void bulkRows();
    void valuesNoTextCanHoldAreRefused();
    void freezeHoldsViewsSteady();
    void installSwapsBuiltStorage();
    void storedValuesComeBackAsGiven();
    void shrinkingDropsTheTailAtOnce();
    void appendedRowsKeepTheirValues();
    void textOfRemovedRowsIsCountedOnce();

private:
    std::unique_ptr<MemTable> m_table;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void tst_MemTable::init()
{
    m_table = std::make_unique<MemTable>();
    m_table->addField(QStringLiteral("id"), FieldType::LargeInt);
    m_table->addField(QStringLiteral("name"), FieldType::String, 20);
    m_table->addField(QStringLiteral("qty"), FieldType::Integer);
    m_table->addField(QStringLiteral("active"), FieldType::Boolean);
    m_table->addField(QStringLiteral("doc_date"), FieldType::Date);
    m_table->open();
    // Every test runs under the model tester: views must never see an inconsistent model.
    m_tester = std::make_unique<QAbstractItemModelTester>(m_table.get(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void tst_MemTable::cleanup()
{
    m_tester.reset();
    m_table.reset();
}

void tst_MemTable::fieldsAndOpenClose()
{
    MemTable &t = *m_table;
    QCOMPARE(t.fieldIndex(QStringLiteral("Doc_Date")), 4);
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError, t.addField(QStringLiteral("Qty"), FieldType::Float));
    t.appendRows(rows(2));
    t.setReadOnly(true);
    t.close();
    QCOMPARE(t.state(), State::Inactive);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.first()); // not open
    t.open();
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.rowCount(), 0);
    QCOMPARE(t.columnCount(), 5); // fields survive,
    QVERIFY(t.readOnly()); // and so does read-only
    QVERIFY(t.eof() && t.bof());
}

void tst_MemTable::navigateAppendCancel()
{
    MemTable &t = *m_table;
    t.appendRows(rows(3));
    QCOMPARE(t.recNo(), 2); // as if appended one by one
    QList<qint64> seen;
    for (t.first(); !t.eof(); t.next())
        seen.append(t.value(QStringLiteral("id")).toLongLong());
    QCOMPARE(seen, QList<qint64>({ 1, 2, 3 }));
    QCOMPARE(t.recNo(), 2); // next() past the end stays on the last row
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setRecNo(3));

    t.setRecNo(1);
    t.append();
    QCOMPARE(t.state(), State::Insert);
    t.setValue(QStringLiteral("id"), 4);
    t.post();
    QCOMPARE(t.recNo(), 3);
    QCOMPARE(t.cell(3, 0), QVariant(qlonglong(4)));
    // A cancelled append leaves no row behind and returns to where we were.
    t.setRecNo(1);
    t.append();
    t.setValue(QStringLiteral("name"), QStringLiteral("gone"));
    t.cancel();
    QCOMPARE(t.recordCount(), 4);
    QCOMPARE(t.recNo(), 1);
}

void tst_MemTable::editPostCancelDelete()
{
    MemTable &t = *m_table;
    t.appendRows(rows(3));
    t.first();
    QSignalSpy changed(&t, &QAbstractItemModel::dataChanged);
    t.edit();
    t.setValue(QStringLiteral("qty"), 99);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), t.index(0, 2));
    t.cancel();
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.data(t.index(0, 2)).toString(), QStringLiteral("10")); // views were told
    QCOMPARE(changed.count(), 2);

    t.edit();
    t.setValue(QStringLiteral("qty"), 5);
    t.next(); // moving posts a pending edit
    QCOMPARE(t.cell(0, 2).toInt(), 5);
    // A grid edit moves to the row, changes the cell and posts it; a value the
    // field cannot take is refused, and no exception leaves the model.
    QVERIFY(t.setData(t.index(2, 2), QStringLiteral("17")));
    QCOMPARE(t.recNo(), 2);
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.cell(2, 2), QVariant(17));
    QVERIFY(!t.setData(t.index(1, 2), QStringLiteral("lots")));
    QCOMPARE(t.cell(1, 2), QVariant(20));
    t.setRecNo(1);
    t.deleteRecord();
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 3); // the next row took its place
    t.deleteRecord();
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 1); // the last went: the new last is current
    t.edit();
    t.setValue(QStringLiteral("name"), QStringLiteral("edited"));
    t.deleteRecord(); // an edit in progress goes with its row
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.state(), State::Browse);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.deleteRecord());
}

void tst_MemTable::stateErrorsAndReadOnly()
{
    MemTable &t = *m_table;
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.edit()); // no row
    t.appendRows(rows(1));
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setValue(QStringLiteral("qty"), 2)); // not editing
    t.setReadOnly(true);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.append());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.edit());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.deleteRecord());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.appendRows(rows(1, 2)));
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setRows({}));
    QVERIFY(!(t.flags(t.index(0, 2)) & Qt::ItemIsEditable));
    QVERIFY(!(t.flags(t.index(0, 3)) & Qt::ItemIsUserCheckable));
    QVERIFY(!t.setData(t.index(0, 2), 7));
    QCOMPARE(t.rowAt(0), rows(1).front());

    t.setReadOnly(false);
    t.edit();
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setReadOnly(true)); // not with an edit pending
    QVERIFY(!t.readOnly());
}

void tst_MemTable::setValueConverts_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected"); // invalid: null
    QTest::addColumn<bool>("raises");

    using F = FieldType;
    const QVariant null;
    const struct
    {
        const char *name;
        F type;
        QVariant input, expected;
        bool raises;
    } cases[] = {
        { "string beyond its size", F::String, QStringLiteral("a text beyond 20 chars"),
          QStringLiteral("a text beyond 20 chars"), false },
        { "memo empty stays empty", F::Memo, QString(), QString(), false },
        { "integer from text", F::Integer, QStringLiteral(" 42 "), 42, false },
        { "integer from fraction", F::Integer, 1.5, null, true },
        { "integer overflow", F::Integer, qlonglong(1) << 31, null, true },
        { "smallint overflow", F::SmallInt, 32768, null, true },
        { "largeint exact", F::LargeInt, QStringLiteral("9007199254740993"), qlonglong(9007199254740993LL), false },
        { "float from text", F::Float, QStringLiteral("2.25"), 2.25, false },
        { "boolean from text", F::Boolean, QStringLiteral("TRUE"), true, false },
        { "date from date-time", F::Date, QStringLiteral("2024-03-05T23:30:00+07:00"), QDate(2024, 3, 5), false },
        { "date-time space form", F::DateTime, QStringLiteral("2024-03-05 10:20:30"),
          QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::LocalTime), false },
    };
    for (const auto &c : cases)
        QTest::newRow(c.name) << c.type << c.input << c.expected << c.raises;
}

void tst_MemTable::setValueConverts()
{
    QFETCH(FieldType, type);
    QFETCH(QVariant, input);
    QFETCH(QVariant, expected);
    QFETCH(bool, raises);

    MemTable t;
    t.addField(QStringLiteral("f"), type, 20);
    t.open();
    t.append();
    if (raises)
        QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, t.setValue(0, input));
    else
        t.setValue(0, input);
    t.post();
    const QVariant got = t.value(0);
    QCOMPARE(got, expected);
    if (expected.isValid()) {
        QCOMPARE(got.metaType(), MemTable::storageType(type));
        QCOMPARE(got.toDateTime().timeSpec(), expected.toDateTime().timeSpec());
    }
}

void tst_MemTable::bulkRows()
{
    MemTable &t = *m_table;
    t.appendRows({ { QStringLiteral("5"), 12, QStringLiteral("3") } }); // padded and converted
    QCOMPARE(t.rowAt(0), row(5, QStringLiteral("12"), 3));
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    t.appendRows(rows(50, 6));
    QCOMPARE(inserted.count(), 1); // one batch, not one signal a row
    QCOMPARE(t.recNo(), 50);
    // One bad value refuses the whole batch before anything changes.
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError,
                             t.appendRows({ row(3, QStringLiteral("ok"), 1), { 4, 4, "x" } }));
    QCOMPARE(t.recordCount(), 51);

    // setRows replaces everything in one reset and drops a pending edit.
    t.edit();
    t.setValue(QStringLiteral("qty"), 5);
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    t.setRows(rows(2, 7));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 7);
}

// A value the table would show and write out as nothing (a Float that is not
// finite, a date beyond the years 1 to 9999 that ISO text has no form for) is
// refused on every way in, not saved as null.
void tst_MemTable::valuesNoTextCanHoldAreRefused()
{
    MemTable t;
    t.addField(QStringLiteral("f"), FieldType::Float);
    t.addField(QStringLiteral("d"), FieldType::Date);
    t.addField(QStringLiteral("dt"), FieldType::DateTime);
    t.open();
    t.setRows({ { 1.5, QDate(9999, 12, 31), QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC) } });
    const MemTable::Row kept = t.rowAt(0);

    const QVariant bad[][3] = {
        { std::numeric_limits<double>::quiet_NaN(), {}, {} },
        { std::numeric_limits<double>::infinity(), {}, {} },
        { -std::numeric_limits<double>::infinity(), {}, {} },
        { {}, QDate(10000, 1, 1), {} },
        { {}, QDate(-5, 3, 1), {} },
        { {}, {}, QDateTime(QDate(10000, 1, 1), QTime(1, 0), Qt::UTC) },
        { {}, {}, QDateTime(QDate(-1, 12, 31), QTime(1, 0), Qt::UTC) },
    };
    for (const auto &values : bad) {
        const MemTable::Row badRow { values[0], values[1], values[2] };
        QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, t.setRows({ badRow }));
        QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, t.appendRows({ badRow }));
        t.edit();
        for (int c = 0; c < 3; ++c) {
            if (values[c].isValid())
                QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, t.setValue(c, values[c]));
        }
        t.post();
        QCOMPARE(t.recordCount(), 1);
        QCOMPARE(t.rowAt(0), kept);
    }
}

void tst_MemTable::freezeHoldsViewsSteady()
{
    MemTable &t = *m_table;
    t.appendRows(rows(2));
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&t, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&t, &QAbstractItemModel::dataChanged);
    QSignalSpy columns(&t, &QAbstractItemModel::columnsInserted);
    QSignalSpy moved(&t, &MemTable::currentRowChanged);
    QSignalSpy states(&t, &MemTable::stateChanged);

    // Frozen twice, then emptied, refilled and edited the way a read goes:
    t.disableControls();
    t.disableControls();
    t.close();
    t.open();
    QVERIFY(!t.data(t.index(1, 1)).isValid()); // and read nothing from gone rows
    QVERIFY(!t.setData(t.index(1, 1), QStringLiteral("x")));
    t.appendRows(rows(5, 10));
    t.append();
    t.setValue(QStringLiteral("name"), QStringLiteral("new"));
    t.post();
    t.first();
    t.deleteRecord();
    t.addField(QStringLiteral("extra"), FieldType::Float);
    QCOMPARE(t.recordCount(), 5);
    QCOMPARE(t.rowCount(), 2); // the table tells the truth, views keep their counts
    QCOMPARE(t.columnCount(), 5);
    QCOMPARE(t.data(t.index(0, 1)).toString(), QStringLiteral("r11")); // within range: current data
    for (const QSignalSpy *spy : { &reset, &inserted, &removed, &changed, &columns, &moved, &states })
        QCOMPARE(spy->count(), 0);

    // The first thaw still holds them; the last resets them once, to the truth.
    t.enableControls();
    QCOMPARE(t.rowCount(), 2);
    QCOMPARE(reset.count(), 0);
    t.enableControls();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(t.rowCount(), 5);
    QCOMPARE(t.columnCount(), 6);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(states.count(), 0); // Browse before, Browse after
    t.enableControls(); // a thaw without a freeze does nothing
    QCOMPARE(reset.count(), 1);
}

// Rows built elsewhere are swapped in whole: one reset, no per-row signal,
// and the edit cycle works on them as on any rows.
void tst_MemTable::installSwapsBuiltStorage()
{
    MemTable &t = *m_table;
    t.appendRows(rows(2));
    Platform::TableStorage built(t.fieldDefs());
    built.resize(3);
    built.setInteger(0, 0, 70);
    built.setUtf8(0, 1, "caf\xc3\xa9", 5);
    built.setInteger(0, 2, 7);
    built.setBool(0, 3, true);
    built.setJulianDay(0, 4, QDate(2024, 5, 2).toJulianDay());
    built.setInteger(2, 0, 72); // row 1 stays null everywhere
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    t.install(std::move(built));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(t.recordCount(), 3);
    QCOMPARE(t.recNo(), 0);
    QCOMPARE(t.rowAt(0), MemTable::Row({ qlonglong(70), QStringLiteral("café"), 7, true, QDate(2024, 5, 2) }));
    QCOMPARE(t.rowAt(1), MemTable::Row(5));
    QCOMPARE(t.data(t.index(0, 1)).toString(), QStringLiteral("café"));
    QCOMPARE(t.data(t.index(0, 3), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(t.data(t.index(1, 3), Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));

    // edit, cancel and post on installed rows
    t.edit();
    t.setValue(QStringLiteral("name"), QStringLiteral("changed"));
    t.setValue(QStringLiteral("qty"), QVariant());
    t.cancel();
    QCOMPARE(t.rowAt(0), MemTable::Row({ qlonglong(70), QStringLiteral("café"), 7, true, QDate(2024, 5, 2) }));
    QVERIFY(t.setData(t.index(2, 1), QStringLiteral("grid")));
    QCOMPARE(t.cell(2, 1).toString(), QStringLiteral("grid"));
    t.setRecNo(1);
    t.deleteRecord();
    QCOMPARE(t.cell(1, 0).toLongLong(), 72); // the bits of later rows moved down with them
    QVERIFY(!t.cell(0, 0).isNull() && t.cell(1, 1).toString() == QStringLiteral("grid"));

    // Storage of other field types is refused before anything changes.
    Platform::TableStorage wrong(QList<MemTable::FieldDef> { { QStringLiteral("id"), FieldType::String, 0, {} } });
    wrong.resize(1);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.install(std::move(wrong)));
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError,
                             t.appendRows(Platform::TableStorage(
                                 QList<MemTable::FieldDef> { { QStringLiteral("id"), FieldType::Float, 0, {} } })));
    QCOMPARE(t.recordCount(), 2);
    // A default-made storage is no rows.
    t.install(Platform::TableStorage());
    QCOMPARE(t.recordCount(), 0);
    t.append();
    t.setValue(QStringLiteral("name"), QStringLiteral("after"));
    t.post();
    QCOMPARE(t.value(QStringLiteral("name")).toString(), QStringLiteral("after"));
}

// Whatever a field's storage holds comes back as it was given: text with a
// leading byte-order mark or unpaired surrogates, date-times in any zone,
// integers at their limits; and text edited over and over does not pile up.
void tst_MemTable::storedValuesComeBackAsGiven()
{
    MemTable t;
    QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::QtTest);
    t.addField(QStringLiteral("s"), FieldType::Memo);
    t.addField(QStringLiteral("at"), FieldType::DateTime);
    t.addField(QStringLiteral("big"), FieldType::LargeInt);
    t.addField(QStringLiteral("small"), FieldType::SmallInt);
    t.open();
    const QDate day(2024, 3, 31);
    const QString texts[] = {
        QString(QChar(0xFEFF)) + QStringLiteral("x"),
        QString(2, QChar(0xFEFF)),
        QString(QChar(0xD800)) + QStringLiteral("a"),
        QStringLiteral("b") + QChar(0xDC00),
        QString(),
        QStringLiteral("line\n\0nul"),
    };
    const QDateTime times[] = {
        QDateTime(day, QTime(1, 2, 3, 4), Qt::UTC),
        QDateTime(day, QTime(1, 2, 3), Qt::OffsetFromUTC, -(3 * 3600 + 1800)),
        QDateTime(day, QTime(23, 59, 59, 999), Qt::LocalTime),
        QDateTime(day, QTime(12, 30), QTimeZone(QByteArrayLiteral("Europe/Berlin"))),
    };
    for (int i = 0; i < 6; ++i) {
        t.append();
        t.setValue(0, texts[i]);
        t.setValue(1, i < 4 ? QVariant(times[i]) : QVariant());
        t.setValue(2, i % 2 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max());
        t.setValue(3, -32768 + i);
        t.post();
    }
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(t.cell(i, 0).toString(), texts[i]);
        QCOMPARE(t.cell(i, 0).toString().size(), texts[i].size());
        if (i < 4) {
            const QDateTime got = t.cell(i, 1).toDateTime();
            QCOMPARE(got, times[i]);
            QCOMPARE(got.timeSpec(), times[i].timeSpec());
            QCOMPARE(got.time(), times[i].time());
            QCOMPARE(got.offsetFromUtc(), times[i].offsetFromUtc());
        } else {
            QVERIFY(!t.cell(i, 1).isValid());
        }
        QCOMPARE(t.cell(i, 2).toLongLong(),
                 i % 2 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max());
        QCOMPARE(t.cell(i, 3), QVariant(-32768 + i));
    }
    // A long text edited many times stays about one value's worth of text.
    Platform::TableStorage storage(t.fieldDefs());
    storage.resize(2);
    storage.setText(1, 0, texts[1]);
    const QString longText(100000, QLatin1Char('z'));
    for (int i = 0; i < 200; ++i)
        storage.setText(0, 0, QString(longText + QString::number(i)));
    QCOMPARE(storage.value(0, 0).toString(), longText + QStringLiteral("199"));
    QCOMPARE(storage.value(1, 0).toString(), texts[1]);
    QVERIFY2(storage.byteSize() < 4 * 100000, qPrintable(QString::number(storage.byteSize())));
}

// Readers grow a storage by blocks of rows and cut it back to the rows they
// read: what is cut goes whole, rows grown again are null, and the text of
// the rows kept stays theirs.
void tst_MemTable::shrinkingDropsTheTailAtOnce()
{
    const QList<MemTable::FieldDef> fields { { QStringLiteral("s"), FieldType::String, 0, {} },
                                             { QStringLiteral("n"), FieldType::Integer, 0, {} } };
    Platform::TableStorage storage(fields);
    storage.resize(200);
    for (int r = 0; r < 200; ++r) {
        const QByteArray text = "row " + QByteArray::number(r);
        storage.setUtf8(r, 0, text.constData(), text.size());
        storage.setInteger(r, 1, r);
    }
    storage.resize(70); // inside the second word of presence bits
    QCOMPARE(storage.size(), 70);
    storage.resize(130);
    QCOMPARE(storage.size(), 130);
    for (int r = 0; r < 130; ++r) {
        QCOMPARE(storage.isNull(r, 0), r >= 70);
        QCOMPARE(storage.isNull(r, 1), r >= 70);
    }
    QCOMPARE(storage.value(69, 0).toString(), QStringLiteral("row 69"));
    QCOMPARE(storage.value(69, 1).toInt(), 69);
    storage.setUtf8(70, 0, "row 69", 6); // the last text kept is not taken for a cut one
    QCOMPARE(storage.value(70, 0).toString(), QStringLiteral("row 69"));
    storage.resize(0);
    QVERIFY(storage.empty());
    storage.resize(1);
    QVERIFY(storage.isNull(0, 0) && storage.isNull(0, 1));
}

// Rows appended behind others (the rest of a list the windows left to the
// document parser) keep every value, null and kind: presence bits shifted
// to any row, text offsets, named time zones of either storage, and a text
// repeated across the join.
void tst_MemTable::appendedRowsKeepTheirValues()
{
    const QList<MemTable::FieldDef> fields {
        { QStringLiteral("s"), FieldType::String, 0, {} },   { QStringLiteral("i"), FieldType::Integer, 0, {} },
        { QStringLiteral("l"), FieldType::LargeInt, 0, {} }, { QStringLiteral("f"), FieldType::Float, 0, {} },
        { QStringLiteral("b"), FieldType::Boolean, 0, {} },  { QStringLiteral("d"), FieldType::Date, 0, {} },
        { QStringLiteral("t"), FieldType::DateTime, 0, {} },
    };
    const QTimeZone jakarta("Asia/Jakarta");
    const QTimeZone tokyo("Asia/Tokyo");
    const QTimeZone london("Europe/London");
    QVERIFY(jakarta.isValid() && tokyo.isValid() && london.isValid());
    int firstAppended = 0; // the appended rows name their zones in another order, and one more
    auto value = [&](int r, int c) -> QVariant {
        if ((r + c) % 5 == 0)
            return {};
        const QDateTime at(QDate(2024, 5, 1 + r % 28), QTime(8, r % 60));
        switch (c) {
        case 0: return r % 3 ? QStringLiteral("same") : QStringLiteral("row %1").arg(r);
        case 1: return r;
        case 2: return qlonglong(r) << 40;
        case 3: return r + 0.25;
        case 4: return r % 2 == 0;
        case 5: return QDate(2024, 1, 1).addDays(r);
        default:
            if (r % 4 != 1)
                return at.toUTC();
            if (r >= firstAppended)
                return QDateTime(at.date(), at.time(), r % 8 == 1 ? (r % 3 ? london : tokyo) : jakarta);
            return QDateTime(at.date(), at.time(), r % 8 == 1 ? jakarta : tokyo);
        }
    };
    auto fill = [&](Platform::TableStorage &s, int from, int count) {
        for (int r = from; r < from + count; ++r) {
            MemTable::Row row;
            for (int c = 0; c < fields.size(); ++c)
                row.append(value(r, c));
            s.appendRow(row);
        }
    };
    // ends inside a word of presence bits, at a word's end, and empty
    for (const int first : { 70, 128, 0 }) {
        firstAppended = first;
        Platform::TableStorage storage(fields);
        fill(storage, 0, first);
        Platform::TableStorage more(fields);
        fill(more, first, 131);
        storage.append(std::move(more));
        QVERIFY(more.empty());
        storage.resize(first + 132);
        storage.setUtf8(first + 131, 0, "same", 4);
        QCOMPARE(storage.size(), first + 132);
        for (int r = 0; r < first + 131; ++r) {
            for (int c = 0; c < fields.size(); ++c) {
                const QVariant expected = value(r, c);
                const QVariant got = storage.value(r, c);
                const bool same = got == expected
                    && (c != 6 || !got.isValid() || got.toDateTime().timeZone() == expected.toDateTime().timeZone());
                QVERIFY2(same && got.isValid() == expected.isValid(),
                         qPrintable(QStringLiteral("row %1 column %2: %3").arg(r).arg(c).arg(got.toString())));
            }
        }
        QCOMPARE(storage.value(first + 131, 0).toString(), QStringLiteral("same"));
    }
}

// Rows removed or emptied give their text back once: a value shared by a
// run of rows, or one already nulled, is not counted twice, and the text of
// the rows left and of later edits stays whole when the column is compacted.
void tst_MemTable::textOfRemovedRowsIsCountedOnce()
{
    MemTable &t = *m_table;
    const QString longText(40000, QLatin1Char('y'));
    // a run of repeated values, then every row of it deleted
    for (int i = 0; i < 3; ++i) {
        t.append();
        t.setValue(QStringLiteral("name"), longText);
        t.post();
    }
    t.first();
    while (t.recordCount() > 0)
        t.deleteRecord();
    t.append();
    t.setValue(QStringLiteral("name"), QStringLiteral("after the run"));
    t.post();
    QCOMPARE(t.value(QStringLiteral("name")).toString(), QStringLiteral("after the run"));

    // a value nulled by an edit and its row deleted afterwards
    const QString otherText(70000, QLatin1Char('z'));
    t.append();
    t.setValue(QStringLiteral("name"), otherText);
    t.post();
    t.edit();
    t.setValue(QStringLiteral("name"), QVariant());
    t.post();
    t.deleteRecord();
    QVERIFY(t.setData(t.index(0, 1), QStringLiteral("grid edit")));
    QCOMPARE(t.cell(0, 1).toString(), QStringLiteral("grid edit"));
    QCOMPARE(t.recordCount(), 1);
}

QTEST_MAIN(tst_MemTable)
#include "tst_memtable.moc"
