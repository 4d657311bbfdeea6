#include "Errors.h"
#include "MemTable.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <limits>
#include <memory>

using Platform::MemTable;
using FieldType = MemTable::FieldType;
using State = MemTable::State;

class tst_MemTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fieldDefinitions();
    void addFieldToTableWithRows();
    void openAndClose();
    void navigation();
    void appendPostCancel();
    void editPostCancel();
    void deleteRecord();
    void navigationPostsPendingEdit();
    void stateErrors();
    void readOnlyRefusesChanges();
    void setValueConverts_data();
    void setValueConverts();
    void displayAndRoles();
    void headers();
    void editingThroughModel();
    void appendRowsIsOneBatch();
    void setRowsIsOneReset();
    void bulkRowsAreNormalised();
    void freezeHoldsViewsSteady();
    void freezeKeepsTableViewConsistent();

private:
    std::unique_ptr<MemTable> makeTable();
    MemTable::Row row(qint64 id, const QString &name, int qty, QVariant active = {}, QVariant date = {});

    std::unique_ptr<MemTable> m_table;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

std::unique_ptr<MemTable> tst_MemTable::makeTable()
{
    auto t = std::make_unique<MemTable>();
    t->addField(QStringLiteral("id"), FieldType::LargeInt);
    t->addField(QStringLiteral("name"), FieldType::String, 20, QStringLiteral("Name"));
    t->addField(QStringLiteral("qty"), FieldType::Integer);
    t->addField(QStringLiteral("active"), FieldType::Boolean);
    t->addField(QStringLiteral("doc_date"), FieldType::Date);
    return t;
}

MemTable::Row tst_MemTable::row(qint64 id, const QString &name, int qty, QVariant active, QVariant date)
{
    return { QVariant(qlonglong(id)), name, qty, active, date };
}

void tst_MemTable::init()
{
    m_table = makeTable();
    // Every test runs under the model tester: whatever the table does, views
    // must never see an inconsistent model.
    m_tester = std::make_unique<QAbstractItemModelTester>(m_table.get(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void tst_MemTable::cleanup()
{
    m_tester.reset();
    m_table.reset();
}

void tst_MemTable::fieldDefinitions()
{
    MemTable &t = *m_table;
    QCOMPARE(t.fieldCount(), 5);
    QCOMPARE(t.fieldIndex(QStringLiteral("QTY")), 2);
    QCOMPARE(t.fieldIndex(QStringLiteral("Doc_Date")), 4);
    QCOMPARE(t.fieldIndex(QStringLiteral("missing")), -1);
    QCOMPARE(t.fieldDef(QStringLiteral("NAME")).size, 20);
    QCOMPARE(t.fieldDef(QStringLiteral("name")).displayLabel, QStringLiteral("Name"));
    QCOMPARE(t.fieldDefs().at(3).type, FieldType::Boolean);

    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError, t.addField(QStringLiteral("Qty"), FieldType::Float));
    QCOMPARE(t.fieldCount(), 5);
    try {
        t.fieldDef(QStringLiteral("nothing"));
        QFAIL("fieldDef of an unknown name must raise");
    } catch (const Platform::NotFoundError &e) {
        QCOMPARE(e.message(), QStringLiteral("Field \"nothing\" not found"));
    }
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, t.value(QStringLiteral("nothing")));
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, t.value(5));
}

void tst_MemTable::addFieldToTableWithRows()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2) });
    QSignalSpy inserted(&t, &QAbstractItemModel::columnsInserted);
    t.addField(QStringLiteral("notes"), FieldType::Memo);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 5);
    QCOMPARE(t.columnCount(), 6);
    QVERIFY(!t.cell(0, 5).isValid());
    QCOMPARE(t.rowAt(1).size(), 6);
    t.edit();
    t.setValue(QStringLiteral("notes"), QStringLiteral("later"));
    t.post();
    QCOMPARE(t.cell(1, 5), QVariant(QStringLiteral("later")));
}

void tst_MemTable::openAndClose()
{
    MemTable &t = *m_table;
    QVERIFY(!t.isActive());
    QCOMPARE(t.state(), State::Inactive);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.append());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.first());

    QSignalSpy states(&t, &MemTable::stateChanged);
    t.open();
    QVERIFY(t.isActive());
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(states.count(), 1);
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.recNo(), -1);
    QVERIFY(t.eof() && t.bof());
    QVERIFY(!t.value(QStringLiteral("id")).isValid()); // no row: null

    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2) });
    t.setReadOnly(true);
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    t.close();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(t.state(), State::Inactive);
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.rowCount(), 0);
    QCOMPARE(t.fieldCount(), 5); // fields survive
    QCOMPARE(t.columnCount(), 5);

    t.open();
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(t.readOnly()); // and so does read-only
    t.open();               // already open: nothing happens
    QCOMPARE(t.state(), State::Browse);
}

void tst_MemTable::navigation()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 10), row(2, QStringLiteral("b"), 20), row(3, QStringLiteral("c"), 30) });
    QCOMPARE(t.recNo(), 2); // as if appended one by one

    QSignalSpy moved(&t, &MemTable::currentRowChanged);
    t.first();
    QCOMPARE(t.recNo(), 0);
    QVERIFY(t.bof());
    QVERIFY(!t.eof());
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), 0);

    QList<qint64> seen;
    while (!t.eof()) {
        seen.append(t.value(QStringLiteral("id")).toLongLong());
        t.next();
    }
    QCOMPARE(seen, QList<qint64>({ 1, 2, 3 }));
    QCOMPARE(t.recNo(), 2); // next() past the end stays on the last row

    t.prior();
    QCOMPARE(t.value(QStringLiteral("name")).toString(), QStringLiteral("b"));
    QVERIFY(!t.bof() && !t.eof());
    t.prior();
    t.prior();
    QVERIFY(t.bof());
    QCOMPARE(t.recNo(), 0);

    t.last();
    QVERIFY(t.eof());
    QCOMPARE(t.value(2).toInt(), 30);
    t.setRecNo(1);
    QCOMPARE(t.value(2).toInt(), 20);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setRecNo(3));
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setRecNo(-1));
    QCOMPARE(t.recNo(), 1);

    t.close();
    t.open();
    t.first(); // empty: no row, both ends
    QCOMPARE(t.recNo(), -1);
    QVERIFY(t.eof() && t.bof());
}

void tst_MemTable::appendPostCancel()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1) });
    t.first();

    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy states(&t, &MemTable::stateChanged);
    t.append();
    QCOMPARE(t.state(), State::Insert);
    QVERIFY(t.isEditing());
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.recNo(), 1);
    for (int f = 0; f < t.fieldCount(); ++f)
        QVERIFY(!t.value(f).isValid());
    t.setValue(QStringLiteral("id"), 2);
    t.setValue(QStringLiteral("name"), QStringLiteral("second"));
    t.post();
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.cell(1, 1), QVariant(QStringLiteral("second")));
    QCOMPARE(t.cell(1, 0).typeId(), QMetaType::LongLong);
    QCOMPARE(states.count(), 2); // Insert, Browse

    // A cancelled append leaves no row behind and returns to where we were.
    t.first();
    QSignalSpy removed(&t, &QAbstractItemModel::rowsRemoved);
    t.append();
    t.setValue(QStringLiteral("name"), QStringLiteral("gone"));
    t.cancel();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.recNo(), 0);
    QCOMPARE(t.state(), State::Browse);

    // Appending while an append is pending keeps the pending row.
    t.append();
    t.setValue(QStringLiteral("id"), 3);
    t.append();
    t.setValue(QStringLiteral("id"), 4);
    t.post();
    QCOMPARE(t.recordCount(), 4);
    QCOMPARE(t.cell(2, 0).toLongLong(), 3);
    QCOMPARE(t.cell(3, 0).toLongLong(), 4);
}

void tst_MemTable::editPostCancel()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2) });
    t.first();

    QSignalSpy changed(&t, &QAbstractItemModel::dataChanged);
    t.edit();
    QCOMPARE(t.state(), State::Edit);
    t.setValue(QStringLiteral("qty"), 99);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), t.index(0, 2));
    QCOMPARE(t.value(QStringLiteral("qty")).toInt(), 99);
    t.edit(); // already editing: no change, no loss
    QCOMPARE(t.value(QStringLiteral("qty")).toInt(), 99);
    t.cancel();
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.value(QStringLiteral("qty")).toInt(), 1);
    QCOMPARE(t.data(t.index(0, 2)).toString(), QStringLiteral("1")); // views were told
    QCOMPARE(changed.count(), 2);

    t.edit();
    t.setValue(QStringLiteral("qty"), 5);
    t.post();
    QCOMPARE(t.cell(0, 2).toInt(), 5);
    t.cancel(); // nothing pending: nothing happens
    QCOMPARE(t.cell(0, 2).toInt(), 5);
    QCOMPARE(t.cell(1, 2).toInt(), 2);
}

void tst_MemTable::deleteRecord()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2), row(3, QStringLiteral("c"), 3) });
    t.setRecNo(1);
    QSignalSpy moved(&t, &MemTable::currentRowChanged);
    t.deleteRecord();
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.recNo(), 1);
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 3); // the next row took its place
    QCOMPARE(moved.count(), 1);

    t.deleteRecord(); // the last row: current becomes the new last
    QCOMPARE(t.recNo(), 0);
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 1);

    t.edit();
    t.setValue(QStringLiteral("name"), QStringLiteral("edited"));
    t.deleteRecord(); // an edit in progress goes with its row
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.recNo(), -1);
    QVERIFY(t.eof() && t.bof());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.deleteRecord());

    t.append();
    t.deleteRecord(); // during an append: cancels it
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.state(), State::Browse);
}

void tst_MemTable::navigationPostsPendingEdit()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2) });
    t.first();
    t.edit();
    t.setValue(QStringLiteral("name"), QStringLiteral("kept"));
    t.next();
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.cell(0, 1).toString(), QStringLiteral("kept"));

    t.edit();
    t.setValue(QStringLiteral("name"), QStringLiteral("kept too"));
    t.appendRows({ row(3, QStringLiteral("c"), 3) });
    QCOMPARE(t.cell(1, 1).toString(), QStringLiteral("kept too"));
    t.first();
    t.cancel(); // nothing left to cancel
    QCOMPARE(t.cell(1, 1).toString(), QStringLiteral("kept too"));
}

void tst_MemTable::stateErrors()
{
    MemTable &t = *m_table;
    t.open();
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.edit()); // no row
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.post()); // nothing to post
    t.appendRows({ row(1, QStringLiteral("a"), 1) });
    try {
        t.setValue(QStringLiteral("qty"), 2);
        QFAIL("setValue outside an edit must raise");
    } catch (const Platform::TableStateError &e) {
        QCOMPARE(e.message(), QStringLiteral("Field \"qty\" can only be changed in edit or insert state"));
    }
    QCOMPARE(t.cell(0, 2).toInt(), 1);
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.post());

    t.edit();
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, t.setValue(QStringLiteral("qty"), QStringLiteral("many")));
    QCOMPARE(t.value(QStringLiteral("qty")).toInt(), 1); // a refused value changes nothing
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, t.setValue(QStringLiteral("nope"), 1));
    t.post();

    t.close(); // closing discards an edit in progress
    t.open();
    t.append();
    t.close();
    QCOMPARE(t.state(), State::Inactive);
    t.open();
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.state(), State::Browse);
}

void tst_MemTable::readOnlyRefusesChanges()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1) });
    t.setReadOnly(true);
    QVERIFY(t.readOnly());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.append());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.edit());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.deleteRecord());
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.appendRows({ row(2, QStringLiteral("b"), 2) }));
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setRows({}));
    QCOMPARE(t.recordCount(), 1);

    const QModelIndex qty = t.index(0, 2);
    QVERIFY(!(t.flags(qty) & Qt::ItemIsEditable));
    QVERIFY(!(t.flags(t.index(0, 3)) & Qt::ItemIsUserCheckable));
    QVERIFY(!t.setData(qty, 7));
    QCOMPARE(t.cell(0, 2).toInt(), 1);

    // Reading and moving still work.
    t.first();
    QCOMPARE(t.value(QStringLiteral("name")).toString(), QStringLiteral("a"));

    t.setReadOnly(false);
    t.edit();
    QVERIFY_THROWS_EXCEPTION(Platform::TableStateError, t.setReadOnly(true));
    QVERIFY(!t.readOnly());
    t.setValue(QStringLiteral("qty"), 2);
    t.post();
    t.setReadOnly(true);
    QCOMPARE(t.cell(0, 2).toInt(), 2);
}

void tst_MemTable::setValueConverts_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected"); // invalid: null
    QTest::addColumn<bool>("raises");

    const QVariant null;
    const QDateTime local(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::LocalTime);

    QTest::newRow("string from text beyond its size") << FieldType::String << QVariant(QStringLiteral("a text longer than twenty")) << QVariant(QStringLiteral("a text longer than twenty")) << false;
    QTest::newRow("string from integer") << FieldType::String << QVariant(42) << QVariant(QStringLiteral("42")) << false;
    QTest::newRow("string from integral double") << FieldType::String << QVariant(2.0) << QVariant(QStringLiteral("2")) << false;
    QTest::newRow("empty string stays empty") << FieldType::Memo << QVariant(QString()) << QVariant(QString()) << false;
    QTest::newRow("null") << FieldType::String << null << null << false;

    QTest::newRow("integer from text") << FieldType::Integer << QVariant(QStringLiteral(" 42 ")) << QVariant(42) << false;
    QTest::newRow("integer from fraction") << FieldType::Integer << QVariant(1.5) << null << true;
    QTest::newRow("integer from fraction text") << FieldType::Integer << QVariant(QStringLiteral("1.5")) << null << true;
    QTest::newRow("integer overflow") << FieldType::Integer << QVariant(qlonglong(1) << 31) << null << true;
    QTest::newRow("integer from garbage") << FieldType::Integer << QVariant(QStringLiteral("12abc")) << null << true;
    QTest::newRow("integer from empty text is null") << FieldType::Integer << QVariant(QStringLiteral("  ")) << null << false;
    QTest::newRow("smallint in range") << FieldType::SmallInt << QVariant(-32768) << QVariant(-32768) << false;
    QTest::newRow("smallint overflow") << FieldType::SmallInt << QVariant(32768) << null << true;
    QTest::newRow("largeint from text exact") << FieldType::LargeInt << QVariant(QStringLiteral("9007199254740993")) << QVariant(qlonglong(9007199254740993LL)) << false;
    QTest::newRow("largeint from huge unsigned") << FieldType::LargeInt << QVariant(std::numeric_limits<qulonglong>::max()) << null << true;

    QTest::newRow("float from text") << FieldType::Float << QVariant(QStringLiteral("2.25")) << QVariant(2.25) << false;
    QTest::newRow("float from comma text") << FieldType::Float << QVariant(QStringLiteral("2,25")) << null << true;
    QTest::newRow("float not finite") << FieldType::Float << QVariant(std::numeric_limits<double>::infinity()) << null << true;

    QTest::newRow("boolean from text") << FieldType::Boolean << QVariant(QStringLiteral("TRUE")) << QVariant(true) << false;
    QTest::newRow("boolean from yes") << FieldType::Boolean << QVariant(QStringLiteral("yes")) << null << true;

    QTest::newRow("date from text") << FieldType::Date << QVariant(QStringLiteral("2024-03-05")) << QVariant(QDate(2024, 3, 5)) << false;
    QTest::newRow("date from date-time text") << FieldType::Date << QVariant(QStringLiteral("2024-03-05T23:30:00+07:00")) << QVariant(QDate(2024, 3, 5)) << false;
    QTest::newRow("date impossible") << FieldType::Date << QVariant(QStringLiteral("2024-02-30")) << null << true;
    QTest::newRow("date other notation") << FieldType::Date << QVariant(QStringLiteral("05/03/2024")) << null << true;

    QTest::newRow("date-time from space form") << FieldType::DateTime << QVariant(QStringLiteral("2024-03-05 10:20:30")) << QVariant(local) << false;
    QTest::newRow("date-time from number") << FieldType::DateTime << QVariant(20240305) << null << true;
    QTest::newRow("unsupported type") << FieldType::String << QVariant(QStringList { QStringLiteral("a"), QStringLiteral("b") }) << null << true;
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
    if (raises) {
        QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, t.setValue(0, input));
        QVERIFY(!t.value(0).isValid());
        return;
    }
    t.setValue(0, input);
    t.post();
    const QVariant got = t.value(0);
    if (!expected.isValid()) {
        QVERIFY2(!got.isValid(), qPrintable(got.toString()));
        return;
    }
    QCOMPARE(got.metaType(), MemTable::storageType(type));
    QCOMPARE(got, expected);
    if (type == FieldType::DateTime)
        QCOMPARE(got.toDateTime().timeSpec(), expected.toDateTime().timeSpec());
}

void tst_MemTable::displayAndRoles()
{
    MemTable t;
    QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::QtTest);
    t.addField(QStringLiteral("d"), FieldType::Date);
    t.addField(QStringLiteral("dt"), FieldType::DateTime);
    t.addField(QStringLiteral("b"), FieldType::Boolean);
    t.addField(QStringLiteral("f"), FieldType::Float);
    t.addField(QStringLiteral("i"), FieldType::LargeInt);
    t.addField(QStringLiteral("s"), FieldType::String);
    t.open();
    t.appendRows({ { QDate(2024, 3, 5), QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 120), Qt::LocalTime), true, 1234567.5,
                     qlonglong(9007199254740993LL), QStringLiteral("x") },
                   { QVariant(), QVariant(), false, 0.1, QVariant(), QVariant() },
                   { QVariant(), QVariant(), QVariant(), 1e21, QVariant(), QString() } });

    auto display = [&](int r, int c) { return t.data(t.index(r, c), Qt::DisplayRole); };
    QCOMPARE(display(0, 0).toString(), QStringLiteral("2024-03-05"));
    QCOMPARE(display(0, 1).toString(), QStringLiteral("2024-03-05 07:08:09"));
    QVERIFY(!display(0, 2).isValid()); // booleans are check boxes, not text
    QCOMPARE(t.data(t.index(0, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(t.data(t.index(1, 2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(t.data(t.index(2, 2), Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked)); // null
    QVERIFY(!t.data(t.index(0, 0), Qt::CheckStateRole).isValid());
    QCOMPARE(display(0, 3).toString(), QStringLiteral("1234567.5"));
    QCOMPARE(display(1, 3).toString(), QStringLiteral("0.1"));
    QCOMPARE(display(2, 3).toString(), QStringLiteral("1e+21"));
    QCOMPARE(display(0, 4).toString(), QStringLiteral("9007199254740993"));
    QVERIFY(!display(1, 0).isValid()); // null shows nothing
    QVERIFY(!display(1, 5).isValid());
    QVERIFY(display(2, 5).isValid()); // an empty text is not null
    QCOMPARE(t.data(t.index(0, 0), Qt::EditRole), QVariant(QDate(2024, 3, 5)));
    QCOMPARE(t.data(t.index(0, 4), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(!t.data(t.index(0, 5), Qt::TextAlignmentRole).isValid()); // text: the view's default
    QVERIFY(t.flags(t.index(0, 2)) & Qt::ItemIsUserCheckable);
    QVERIFY(t.flags(t.index(0, 5)) & Qt::ItemIsEditable);
    QVERIFY(!t.data(t.index(0, 0), Qt::DecorationRole).isValid());
}

void tst_MemTable::headers()
{
    MemTable &t = *m_table;
    QCOMPARE(t.headerData(0, Qt::Horizontal).toString(), QStringLiteral("id")); // no label: the name
    QSignalSpy changed(&t, &QAbstractItemModel::headerDataChanged);
    QVERIFY(t.setHeaderData(2, Qt::Horizontal, QStringLiteral("Kuantitas")));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(t.fieldDef(QStringLiteral("qty")).displayLabel, QStringLiteral("Kuantitas"));
    QVERIFY(!t.setHeaderData(7, Qt::Horizontal, QStringLiteral("x")));
    QVERIFY(!t.setHeaderData(0, Qt::Vertical, QStringLiteral("x")));
}

void tst_MemTable::editingThroughModel()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1, false), row(2, QStringLiteral("b"), 2, false) });
    t.first();

    // A grid edit moves to the row, changes the cell and posts it.
    QVERIFY(t.setData(t.index(1, 2), QStringLiteral("17")));
    QCOMPARE(t.recNo(), 1);
    QCOMPARE(t.state(), State::Browse);
    QCOMPARE(t.cell(1, 2), QVariant(17));

    QVERIFY(t.setData(t.index(0, 3), int(Qt::Checked), Qt::CheckStateRole));
    QCOMPARE(t.cell(0, 3), QVariant(true));

    // A value the field cannot take is refused, nothing changes, and no
    // exception leaves the model.
    QVERIFY(!t.setData(t.index(0, 2), QStringLiteral("lots")));
    QCOMPARE(t.cell(0, 2), QVariant(1));
    QCOMPARE(t.state(), State::Browse);
    QVERIFY(!t.setData(t.index(0, 2), 1, Qt::DecorationRole));

    // Into a row being appended: the edit stays open for the caller.
    t.append();
    QVERIFY(t.setData(t.index(2, 1), QStringLiteral("typed")));
    QCOMPARE(t.state(), State::Insert);
    t.post();
    QCOMPARE(t.cell(2, 1).toString(), QStringLiteral("typed"));
}

void tst_MemTable::appendRowsIsOneBatch()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1) });
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy moved(&t, &MemTable::currentRowChanged);
    std::vector<MemTable::Row> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back(row(i + 2, QString::number(i), i));
    t.appendRows(std::move(rows));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
    QCOMPARE(inserted.at(0).at(2).toInt(), 500);
    QCOMPARE(t.recordCount(), 501);
    QCOMPARE(t.recNo(), 500);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 501);

    t.appendRows({}); // nothing to add: no signal
    QCOMPARE(inserted.count(), 1);
}

void tst_MemTable::setRowsIsOneReset()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1) });
    t.edit();
    t.setValue(QStringLiteral("qty"), 5);

    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy moved(&t, &MemTable::currentRowChanged);
    t.setRows({ row(7, QStringLiteral("x"), 1), row(8, QStringLiteral("y"), 2) });
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(t.state(), State::Browse); // the edit went with the old rows
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(t.recNo(), 0);
    QVERIFY(t.bof());
    QCOMPARE(moved.count(), 1); // same row number, other row: bound edits re-read
    QCOMPARE(t.value(QStringLiteral("id")).toLongLong(), 7);

    t.setRows({});
    QCOMPARE(t.recNo(), -1);
    QVERIFY(t.eof());
}

void tst_MemTable::bulkRowsAreNormalised()
{
    MemTable &t = *m_table;
    t.open();
    // Short rows are padded; values of another type are converted.
    t.appendRows({ { QStringLiteral("5"), 12, QStringLiteral("3") },
                   { 6, QStringLiteral("n"), 4, 1, QStringLiteral("2024-01-02") } });
    QCOMPARE(t.rowAt(0), row(5, QStringLiteral("12"), 3));
    QCOMPARE(t.rowAt(1), row(6, QStringLiteral("n"), 4, true, QDate(2024, 1, 2)));
    QCOMPARE(t.cell(1, 0).typeId(), QMetaType::LongLong);

    // One bad value refuses the whole batch before anything changes.
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError,
                             t.appendRows({ row(3, QStringLiteral("ok"), 1), { 4, QStringLiteral("bad"), QStringLiteral("many") } }));
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(inserted.count(), 0);

    MemTable small;
    small.addField(QStringLiteral("s"), FieldType::SmallInt);
    small.open();
    QVERIFY_THROWS_EXCEPTION(Platform::ConversionError, small.appendRows(std::vector<MemTable::Row> { MemTable::Row { 70000 } }));
    QCOMPARE(small.recordCount(), 0);
}

void tst_MemTable::freezeHoldsViewsSteady()
{
    // A thaw without a freeze does nothing.
    MemTable &t = *m_table;
    t.open();
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    t.enableControls();
    QVERIFY(!t.controlsDisabled());
    QCOMPARE(reset.count(), 0);

    // Given a table with two rows frozen twice,
    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2) });
    t.first();
    reset.clear();
    t.disableControls();
    t.disableControls();
    QVERIFY(t.controlsDisabled());

    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&t, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&t, &QAbstractItemModel::dataChanged);
    QSignalSpy columns(&t, &QAbstractItemModel::columnsInserted);
    QSignalSpy moved(&t, &MemTable::currentRowChanged);
    QSignalSpy states(&t, &MemTable::stateChanged);

    // when it is emptied, refilled and edited,
    t.close();
    t.open();
    QCOMPARE(t.recordCount(), 0); // the table tells the truth
    QCOMPARE(t.rowCount(), 2);    // views keep the frozen count
    QVERIFY(!t.data(t.index(1, 1)).isValid()); // and read nothing from gone rows
    QVERIFY(!t.setData(t.index(1, 1), QStringLiteral("x")));
    QCOMPARE(t.flags(t.index(1, 1)) & Qt::ItemIsEditable, Qt::ItemFlags());
    std::vector<MemTable::Row> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back(row(10 + i, QStringLiteral("r%1").arg(i), i));
    t.appendRows(std::move(rows));
    t.append();
    t.setValue(QStringLiteral("name"), QStringLiteral("new"));
    t.post();
    t.first();
    t.deleteRecord();
    t.addField(QStringLiteral("extra"), FieldType::Float);
    QCOMPARE(t.recordCount(), 5);
    QCOMPARE(t.rowCount(), 2);
    QCOMPARE(t.columnCount(), 5);
    QCOMPARE(t.data(t.index(0, 1)).toString(), QStringLiteral("r1")); // within range: current data

    // then views heard nothing,
    QCOMPARE(reset.count(), 0);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(columns.count(), 0);
    QCOMPARE(moved.count(), 0);
    QCOMPARE(states.count(), 0);

    // the first thaw still holds them,
    t.enableControls();
    QVERIFY(t.controlsDisabled());
    QCOMPARE(reset.count(), 0);
    QCOMPARE(t.rowCount(), 2);

    // and the last one resets them once, to the truth.
    t.enableControls();
    QVERIFY(!t.controlsDisabled());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(t.rowCount(), 5);
    QCOMPARE(t.columnCount(), 6);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), 0);
    QCOMPARE(states.count(), 0); // Browse before, Browse after
}

void tst_MemTable::freezeKeepsTableViewConsistent()
{
    MemTable &t = *m_table;
    t.open();
    t.appendRows({ row(1, QStringLiteral("a"), 1), row(2, QStringLiteral("b"), 2), row(3, QStringLiteral("c"), 3) });
    QTableView view;
    view.setModel(&t);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.verticalHeader()->count(), 3);

    // The way a read goes: freeze, empty, fill on arrival, thaw.
    t.disableControls();
    t.close();
    t.open();
    t.setReadOnly(false);
    view.viewport()->repaint(); // paints from a model that has no rows behind the frozen count
    QCOMPARE(view.verticalHeader()->count(), 3);
    std::vector<MemTable::Row> rows;
    for (int i = 0; i < 8; ++i)
        rows.push_back(row(i, QStringLiteral("n%1").arg(i), i));
    t.appendRows(std::move(rows));
    t.first();
    view.viewport()->repaint();
    QCOMPARE(view.verticalHeader()->count(), 3);
    t.enableControls();
    QCOMPARE(view.verticalHeader()->count(), 8);
    QCOMPARE(view.model()->data(view.model()->index(7, 1)).toString(), QStringLiteral("n7"));
    view.viewport()->repaint();

    // Shrinking while frozen.
    t.disableControls();
    t.setRows({ row(1, QStringLiteral("only"), 1) });
    view.viewport()->repaint();
    view.scrollToBottom();
    t.enableControls();
    QCOMPARE(view.verticalHeader()->count(), 1);
}

QTEST_MAIN(tst_MemTable)
#include "tst_memtable.moc"
