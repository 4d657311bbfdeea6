#include "ComDmU.h"
#include "Errors.h"
#include "LangResU.h"
#include "Localizer.h"
#include "MemTable.h"
#include "TranslationU.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QtTest>

class tst_Translation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void controlsAndColumns();
    void searchAndStatusComboInIndonesian();
};

void tst_Translation::cleanup()
{
    ComDm->locLang->setLanguageIndex(-1);
}

void tst_Translation::controlsAndColumns()
{
    QLabel label(QStringLiteral("old"));
    QPushButton button;
    QWidget window;
    QAction action;
    TTranslation::TranslateControl(&label, sLabelStatus, true);
    TTranslation::TranslateControl(&button, sLabelSave, false);
    TTranslation::TranslateControl(&window, sHeaderPO, false);
    TTranslation::TranslateControl(&action, sLabelViewLogs, true);
    QCOMPARE(label.text(), QStringLiteral("Status:"));
    QCOMPARE(button.text(), QStringLiteral("Save"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Purchase Order"));
    QCOMPARE(action.text(), QStringLiteral("View Logs:"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error,
                             TTranslation::TranslateControl(static_cast<QWidget *>(nullptr), sLabelSave, false));

    // grid columns: only the one named; the table model keeps it as the field's display label
    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({ QStringLiteral("code"), QStringLiteral("name") });
    TTranslation::TranslateControl(&model, 1, sLabelVendorName, false);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("code"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Vendor Name"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateControl(&model, 2, sLabelStatus, false));
    Platform::MemTable table;
    table.addField(QStringLiteral("code"), Platform::MemTable::FieldType::String, 20);
    TTranslation::TranslateControl(&table, 0, sLabelCode, true);
    QCOMPARE(table.fieldDef(0).displayLabel, QStringLiteral("Code:"));
    // a model without settable headers says so instead of dropping the caption
    QStringListModel list({ QStringLiteral("a") });
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateControl(&list, 0, sLabelStatus, false));
}

void tst_Translation::searchAndStatusComboInIndonesian()
{
    ComDm->locLang->reload();
    ComDm->locLang->setLanguageIndex(0);
    QCOMPARE(TTranslation::SearchHint({}), QStringLiteral("Cari berdasarkan "));
    QLabel label;
    QLineEdit search(QStringLiteral("typed text"));
    TTranslation::TranslateSearch(&label, &search, { sLabelName.text(), QStringLiteral(" Kode ") });
    QCOMPARE(label.text(), QStringLiteral("Cari:"));
    QCOMPARE(search.placeholderText(), QStringLiteral("Cari berdasarkan Nama atau  Kode"));
    QCOMPARE(search.toolTip(), search.placeholderText());
    QCOMPARE(search.text(), QStringLiteral("typed text")); // the user's text stays

    QAction add, edit, del, save(QStringLiteral("keep save")), cancel;
    TTranslation::TranslateCrudActions(&add, &edit, &del, nullptr, &cancel);
    QCOMPARE(QStringList({ add.text(), edit.text(), del.text(), save.text(), cancel.text() }),
             QStringList({ QStringLiteral("Tambah"), QStringLiteral("Ubah"), QStringLiteral("Hapus"),
                           QStringLiteral("keep save"), QStringLiteral("Batal") }));
    // the first three are needed, and nothing is half done without them
    QAction a(QStringLiteral("x")), s(QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateCrudActions(&a, &edit, nullptr, &s));
    QCOMPARE(QStringList({ a.text(), s.text() }), QStringList(2, QStringLiteral("x")));

    QComboBox combo;
    combo.addItem(QStringLiteral("all"), QString());
    combo.addItem(QStringLiteral("on"), QStringLiteral("1"));
    combo.addItem(QStringLiteral("off"), QStringLiteral("0"));
    combo.addItem(QStringLiteral("extra"), QStringLiteral("x"));
    combo.setCurrentIndex(2);
    TTranslation::TranslateStatusComboBox(&combo);
    QCOMPARE(combo.itemText(0), QStringLiteral("Semua"));
    QCOMPARE(combo.itemText(1), QStringLiteral("Aktif"));
    QCOMPARE(combo.itemText(3), QStringLiteral("extra"));
    QCOMPARE(combo.itemData(2).toString(), QStringLiteral("0")); // values and the selection stay
    QCOMPARE(combo.currentIndex(), 2);
    // fewer than three items: refused, nothing added or renamed
    QComboBox two;
    two.addItems({ QStringLiteral("a"), QStringLiteral("b") });
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateStatusComboBox(&two));
    QCOMPARE(two.count(), 2);
    QCOMPARE(two.itemText(0), QStringLiteral("a"));
}

QTEST_MAIN(tst_Translation)
#include "tst_translation.moc"
