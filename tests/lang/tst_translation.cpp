#include "ComDmU.h"
#include "Errors.h"
#include "LangResU.h"
#include "Localizer.h"
#include "MemTable.h"
#include "ResourceStrings.h"
#include "TranslationU.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QStandardItemModel>
#include <QtTest>

namespace {

// A list screen that follows the language while it is open.
class ListScreen : public QWidget, public Platform::LocalizerListener
{
public:
    ListScreen()
    {
        auto *form = new QFormLayout(this);
        lblStatus = new QLabel(this);
        cboStatus = new QComboBox(this);
        cboStatus->addItems({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") });
        form->addRow(lblStatus, cboStatus);
        lblSearch = new QLabel(this);
        edtSearch = new QLineEdit(this);
        form->addRow(lblSearch, edtSearch);
        actAdd = new QAction(this);
        actEdit = new QAction(this);
        actDelete = new QAction(this);
        model.setColumnCount(2);
        TranslationChanged();
        Platform::ResourceStringRepository::instance().addListener(this);
    }
    ~ListScreen() override { Platform::ResourceStringRepository::instance().removeListener(this); }

    void TranslationChanged() override
    {
        TTranslation::TranslateControl(lblStatus, sLabelStatus, true);
        TTranslation::TranslateStatusComboBox(cboStatus);
        TTranslation::TranslateSearch(lblSearch, edtSearch, { sLabelName.text(), sLabelCode.text() });
        TTranslation::TranslateCrudActions(actAdd, actEdit, actDelete);
        TTranslation::TranslateControl(&model, 0, sLabelCode, false);
        TTranslation::TranslateControl(&model, 1, sLabelName, false);
        TTranslation::TranslateControl(this, sHeaderVendor, false);
    }

    QLabel *lblStatus;
    QComboBox *cboStatus;
    QLabel *lblSearch;
    QLineEdit *edtSearch;
    QAction *actAdd;
    QAction *actEdit;
    QAction *actDelete;
    QStandardItemModel model;
};

} // namespace

class tst_Translation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void controlKinds();
    void gridColumnCaption();
    void crudActions();
    void searchHint_data();
    void searchHint();
    void searchOnLabelAndEdit();
    void searchOnFormLayoutRow();
    void searchOnFormLayoutErrors();
    void statusComboBox();
    void statusComboBoxTooFewItems();
    void listenerScreenFollowsLanguage();
};

void tst_Translation::cleanup()
{
    ComDm->locLang->setLanguageIndex(-1);
}

void tst_Translation::controlKinds()
{
    QLabel label(QStringLiteral("old"));
    QPushButton button;
    QGroupBox group;
    QLineEdit edit;
    QWidget window;
    QAction action;
    TTranslation::TranslateControl(&label, sLabelStatus, true);
    TTranslation::TranslateControl(&button, sLabelSave, false);
    TTranslation::TranslateControl(&group, sLabelItemDetails, true);
    TTranslation::TranslateControl(&edit, sLabelTotalRecord, false);
    TTranslation::TranslateControl(&window, sHeaderPO, false);
    TTranslation::TranslateControl(&action, sLabelViewLogs, true);
    QCOMPARE(label.text(), QStringLiteral("Status:"));
    QCOMPARE(button.text(), QStringLiteral("Save"));
    QCOMPARE(group.title(), QStringLiteral("Item details:"));
    QCOMPARE(edit.text(), QStringLiteral("Total :"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Purchase Order"));
    QCOMPARE(action.text(), QStringLiteral("View Logs:"));

    // the empty English text of the city caption
    QLabel city(QStringLiteral("old"));
    TTranslation::TranslateControl(&city, slabelCity, true);
    QCOMPARE(city.text(), QStringLiteral(":"));
    TTranslation::TranslateControl(&city, slabelCity, false);
    QCOMPARE(city.text(), QString());

    QVERIFY_THROWS_EXCEPTION(Platform::Error,
                             TTranslation::TranslateControl(static_cast<QWidget *>(nullptr), sLabelSave, false));
}

void tst_Translation::gridColumnCaption()
{
    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({ QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("status") });
    TTranslation::TranslateControl(&model, 1, sLabelVendorName, false);
    TTranslation::TranslateControl(&model, 2, sLabelStatus, true);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("code"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Vendor Name"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Status:"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateControl(&model, 3, sLabelStatus, false));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateControl(&model, -1, sLabelStatus, false));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateControl(
                                                  static_cast<QAbstractItemModel *>(nullptr), 0, sLabelStatus, false));
    QCOMPARE(model.columnCount(), 3);

    // the table model keeps the caption as the field's display label
    Platform::MemTable table;
    table.addField(QStringLiteral("code"), Platform::MemTable::FieldType::String, 20);
    table.addField(QStringLiteral("vendor_name"), Platform::MemTable::FieldType::String, 100);
    QSignalSpy headerChanged(&table, &QAbstractItemModel::headerDataChanged);
    TTranslation::TranslateControl(&table, 1, sLabelVendorName, true);
    QCOMPARE(table.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Vendor Name:"));
    QCOMPARE(table.fieldDef(1).displayLabel, QStringLiteral("Vendor Name:"));
    QCOMPARE(headerChanged.size(), 1);

    // a model without settable headers says so instead of dropping the caption
    QStringListModel list({ QStringLiteral("a") });
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateControl(&list, 0, sLabelStatus, false));
}

void tst_Translation::crudActions()
{
    QAction add(QStringLiteral("x")), edit(QStringLiteral("x")), del(QStringLiteral("x"));
    QAction save(QStringLiteral("keep save")), cancel(QStringLiteral("keep cancel"));
    TTranslation::TranslateCrudActions(&add, &edit, &del);
    QCOMPARE(QStringList({ add.text(), edit.text(), del.text(), save.text(), cancel.text() }),
             QStringList({ QStringLiteral("Add"), QStringLiteral("Edit"), QStringLiteral("Delete"),
                           QStringLiteral("keep save"), QStringLiteral("keep cancel") }));
    // only one of the optional two
    TTranslation::TranslateCrudActions(&add, &edit, &del, nullptr, &cancel);
    QCOMPARE(save.text(), QStringLiteral("keep save"));
    QCOMPARE(cancel.text(), QStringLiteral("Cancel"));

    // the first three are needed, and nothing is half done without them
    QAction a(QStringLiteral("x")), b(QStringLiteral("x")), s(QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateCrudActions(&a, &b, nullptr, &s));
    QCOMPARE(QStringList({ a.text(), b.text(), s.text() }), QStringList(3, QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateCrudActions(nullptr, &b, &a));
}

void tst_Translation::searchHint_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("hint");
    QTest::newRow("three") << QStringList { QStringLiteral("PR No."), QStringLiteral("Notes"), QStringLiteral("Status") }
                           << QStringLiteral("Search by PR No. or Notes or Status");
    QTest::newRow("one") << QStringList { QStringLiteral("Name") } << QStringLiteral("Search by Name");
    QTest::newRow("none") << QStringList() << QStringLiteral("Search by ");
    // only the ends of the joined text are trimmed
    QTest::newRow("blanks") << QStringList { QStringLiteral(" Name "), QStringLiteral("Code ") }
                            << QStringLiteral("Search by Name  or Code");
    QTest::newRow("empty first") << QStringList { QString(), QStringLiteral("Code") }
                                 << QStringLiteral("Search by or Code");
}

void tst_Translation::searchHint()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, hint);
    QCOMPARE(TTranslation::SearchHint(fields), hint);
    QLabel label;
    QLineEdit edit;
    TTranslation::TranslateSearch(&label, &edit, fields);
    QCOMPARE(edit.toolTip(), hint);
    QCOMPARE(edit.placeholderText(), hint);
}

void tst_Translation::searchOnLabelAndEdit()
{
    QLabel label(QStringLiteral("old"));
    QLineEdit edit(QStringLiteral("typed text"));
    edit.addAction(new QAction(&edit), QLineEdit::TrailingPosition);
    TTranslation::TranslateSearch(&label, &edit, { QStringLiteral("Name"), QStringLiteral("Code") });
    QCOMPARE(label.text(), QStringLiteral("Search:"));
    QCOMPARE(edit.toolTip(), QStringLiteral("Search by Name or Code"));
    QCOMPARE(edit.placeholderText(), QStringLiteral("Search by Name or Code"));
    // the user's text stays
    QCOMPARE(edit.text(), QStringLiteral("typed text"));

    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateSearch(nullptr, &edit, {}));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateSearch(&label, nullptr, {}));
}

void tst_Translation::searchOnFormLayoutRow()
{
    QWidget form;
    auto *layout = new QFormLayout(&form);
    auto *plainEdit = new QLineEdit;
    layout->addRow(QStringLiteral("Find"), plainEdit);

    // an edit with a button beside it, inside a container
    auto *box = new QWidget;
    auto *boxLayout = new QHBoxLayout(box);
    auto *boxedEdit = new QLineEdit;
    boxLayout->addWidget(boxedEdit);
    boxLayout->addWidget(new QPushButton(QStringLiteral("Go")));
    layout->addRow(QStringLiteral("Find"), box);

    // an edit inside a nested layout
    auto *nested = new QHBoxLayout;
    auto *nestedEdit = new QLineEdit;
    nested->addWidget(new QPushButton(QStringLiteral("?")));
    nested->addWidget(nestedEdit);
    layout->addRow(QStringLiteral("Find"), nested);

    const QStringList fields { QStringLiteral("Vendor Name"), QStringLiteral("Code") };
    for (int row = 0; row < 3; ++row)
        TTranslation::TranslateSearch(layout, row, fields);

    for (int row = 0; row < 3; ++row) {
        auto *label = qobject_cast<QLabel *>(layout->itemAt(row, QFormLayout::LabelRole)->widget());
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Search:"));
    }
    for (QLineEdit *edit : { plainEdit, boxedEdit, nestedEdit }) {
        QCOMPARE(edit->toolTip(), QStringLiteral("Search by Vendor Name or Code"));
        QCOMPARE(edit->placeholderText(), QStringLiteral("Search by Vendor Name or Code"));
    }
}

void tst_Translation::searchOnFormLayoutErrors()
{
    QWidget form;
    auto *layout = new QFormLayout(&form);
    layout->addRow(QStringLiteral("Kind"), new QComboBox);
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateSearch(layout, 0, {}));
    // the row without an edit keeps its caption
    auto *label = qobject_cast<QLabel *>(layout->itemAt(0, QFormLayout::LabelRole)->widget());
    QCOMPARE(label->text(), QStringLiteral("Kind"));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateSearch(layout, 1, {}));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateSearch(layout, -1, {}));
    QVERIFY_THROWS_EXCEPTION(Platform::Error,
                             TTranslation::TranslateSearch(static_cast<QFormLayout *>(nullptr), 0, {}));
}

void tst_Translation::statusComboBox()
{
    QComboBox combo;
    combo.addItem(QStringLiteral("all"), QStringLiteral(""));
    combo.addItem(QStringLiteral("on"), QStringLiteral("1"));
    combo.addItem(QStringLiteral("off"), QStringLiteral("0"));
    combo.addItem(QStringLiteral("extra"), QStringLiteral("x"));
    combo.setCurrentIndex(2);
    TTranslation::TranslateStatusComboBox(&combo);
    QCOMPARE(combo.count(), 4);
    QCOMPARE(combo.itemText(0), QStringLiteral("All"));
    QCOMPARE(combo.itemText(1), QStringLiteral("Active"));
    QCOMPARE(combo.itemText(2), QStringLiteral("Not Active"));
    QCOMPARE(combo.itemText(3), QStringLiteral("extra"));
    // values and the selection stay
    QCOMPARE(combo.itemData(1).toString(), QStringLiteral("1"));
    QCOMPARE(combo.itemData(2).toString(), QStringLiteral("0"));
    QCOMPARE(combo.currentIndex(), 2);
}

void tst_Translation::statusComboBoxTooFewItems()
{
    for (int items = 0; items < 3; ++items) {
        QComboBox combo;
        for (int i = 0; i < items; ++i)
            combo.addItem(QStringLiteral("item %1").arg(i));
        try {
            TTranslation::TranslateStatusComboBox(&combo);
            QFAIL("no error for too few items");
        } catch (const Platform::Error &e) {
            QVERIFY2(e.message().contains(QStringLiteral("three")), qPrintable(e.message()));
        }
        // nothing added or renamed
        QCOMPARE(combo.count(), items);
        for (int i = 0; i < items; ++i)
            QCOMPARE(combo.itemText(i), QStringLiteral("item %1").arg(i));
    }
    QVERIFY_THROWS_EXCEPTION(Platform::Error, TTranslation::TranslateStatusComboBox(nullptr));
}

void tst_Translation::listenerScreenFollowsLanguage()
{
    ComDm->locLang->reload();
    ListScreen screen;
    QCOMPARE(screen.lblStatus->text(), QStringLiteral("Status:"));
    QCOMPARE(screen.cboStatus->itemText(2), QStringLiteral("Not Active"));
    QCOMPARE(screen.edtSearch->placeholderText(), QStringLiteral("Search by Name or Code"));
    QCOMPARE(screen.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(screen.windowTitle(), QStringLiteral("Vendor"));

    ComDm->locLang->setLanguageIndex(0);
    QCOMPARE(screen.lblSearch->text(), QStringLiteral("Cari:"));
    QCOMPARE(screen.edtSearch->toolTip(), QStringLiteral("Cari berdasarkan Nama atau Kode"));
    QCOMPARE(screen.cboStatus->itemText(0), QStringLiteral("Semua"));
    QCOMPARE(screen.actDelete->text(), QStringLiteral("Hapus"));
    QCOMPARE(screen.model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Kode"));
    QCOMPARE(screen.windowTitle(), QStringLiteral("Pemasok"));
    QCOMPARE(TTranslation::SearchHint({}), QStringLiteral("Cari berdasarkan "));
    QAction add, edit, del, save, cancel;
    TTranslation::TranslateCrudActions(&add, &edit, &del, &save, &cancel);
    QCOMPARE(QStringList({ add.text(), edit.text(), del.text(), save.text(), cancel.text() }),
             QStringList({ QStringLiteral("Tambah"), QStringLiteral("Ubah"), QStringLiteral("Hapus"),
                           QStringLiteral("Simpan"), QStringLiteral("Batal") }));
    QLabel city;
    TTranslation::TranslateControl(&city, slabelCity, true);
    QCOMPARE(city.text(), QStringLiteral("Kota:"));

    ComDm->locLang->setLanguageIndex(-1);
    QCOMPARE(screen.lblSearch->text(), QStringLiteral("Search:"));
    QCOMPARE(screen.actAdd->text(), QStringLiteral("Add"));
}

QTEST_MAIN(tst_Translation)
#include "tst_translation.moc"
