#include "LangResU.h"
#include "PaginationU.h"
#include "ResourceStrings.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

QJsonValue meta(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

QStringList itemsOf(const QComboBox &combo)
{
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items.append(combo.itemText(i));
    return items;
}

} // namespace

// The widgets of a paging bar as a form lays them out, and the controller.
struct Bar
{
    QWidget form;
    QComboBox *pageSize = new QComboBox(&form);
    QComboBox *page = new QComboBox(&form);
    QPushButton *first = new QPushButton(QStringLiteral("|<"), &form);
    QPushButton *prev = new QPushButton(QStringLiteral("<"), &form);
    QPushButton *next = new QPushButton(QStringLiteral(">"), &form);
    QPushButton *last = new QPushButton(QStringLiteral(">|"), &form);
    QLabel *pageCount = new QLabel(&form);
    QLabel *recordCount = new QLabel(QStringLiteral("untouched"), &form);
    std::unique_ptr<TPagination> pagination;
    int reloads = 0;
    QStringList pagesAtReload;

    explicit Bar(bool AWithRecordCount = true)
    {
        page->setEditable(true);
        pageSize->addItems({ QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("50") });
        pageSize->setCurrentIndex(1);
        if (AWithRecordCount)
            pagination = std::make_unique<TPagination>(pageSize, page, first, prev, next, last, pageCount,
                                                       recordCount);
        else
            pagination = std::make_unique<TPagination>(pageSize, page, first, prev, next, last, pageCount);
        pagination->SetOnPageDataChange([this] {
            ++reloads;
            pagesAtReload.append(page->currentText() + QLatin1Char('/') + pageSize->currentText());
        });
    }
};

class tst_Pagination : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void constructorTagsButtons();
    void paginateShowsMetaWithoutReload();
    void paginateWithMissingOrWrongMeta_data();
    void paginateWithMissingOrWrongMeta();
    void buttonsMoveWithinThePages();
    void buttonsWithOnePageOrNone();
    void pageSizeChangeKeepsPage();
    void typedPageCountsWhenCommitted();
    void shortFormLeavesNoRecordLabel();
    void textsFollowLanguage();
    void hugePageCountIsCapped();
    void widgetsDestroyedFirst();
};

void tst_Pagination::cleanup()
{
    Platform::ResourceStringRepository::instance().setTranslations({});
}

void tst_Pagination::constructorTagsButtons()
{
    Bar bar;
    QCOMPARE(bar.first->property("tag").toInt(), 1);
    QCOMPARE(bar.prev->property("tag").toInt(), 2);
    QCOMPARE(bar.next->property("tag").toInt(), 3);
    QCOMPARE(bar.last->property("tag").toInt(), 4);
    QVERIFY(!bar.pagination->IsLoading());
    QCOMPARE(bar.reloads, 0);
    QCOMPARE(bar.recordCount->text(), QStringLiteral("untouched"));

    // without a reload callback the buttons still move
    bar.pagination->SetOnPageDataChange(nullptr);
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 5})"));
    bar.next->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("2"));
    QCOMPARE(bar.reloads, 0);
}

void tst_Pagination::paginateShowsMetaWithoutReload()
{
    Bar bar;
    bool loadingSeen = false;
    // a reload asked for while painting would show up here
    connect(bar.page, &QComboBox::currentTextChanged, bar.page,
            [&] { loadingSeen = loadingSeen || bar.pagination->IsLoading(); });
    bar.pagination->Paginate(meta(R"({"page": 2, "page_rows": 20, "page_count": 100, "rec_count": 25})"));
    QCOMPARE(bar.page->count(), 100);
    QCOMPARE(bar.page->itemText(0), QStringLiteral("1"));
    QCOMPARE(bar.page->itemText(99), QStringLiteral("100"));
    QCOMPARE(bar.page->currentText(), QStringLiteral("2"));
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 100"));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 25 records"));
    QCOMPARE(bar.pageSize->currentText(), QStringLiteral("20"));
    QVERIFY(loadingSeen);
    QVERIFY(!bar.pagination->IsLoading());
    QCOMPARE(bar.reloads, 0);

    // a page that is not in the list is shown all the same
    bar.pagination->Paginate(meta(R"({"page": 7, "page_count": 3})"));
    QCOMPARE(itemsOf(*bar.page), QStringList({ "1", "2", "3" }));
    QCOMPARE(bar.page->currentText(), QStringLiteral("7"));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 0 records"));
    QCOMPARE(bar.reloads, 0);
}

void tst_Pagination::paginateWithMissingOrWrongMeta_data()
{
    QTest::addColumn<QJsonValue>("pages");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("pageText");
    QTest::addColumn<QString>("pageCountText");
    QTest::addColumn<QString>("recordText");

    const QStringList none;
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << none << "1" << "of 0" << "Total : 0 records";
    QTest::newRow("null") << QJsonValue(QJsonValue::Null) << none << "1" << "of 0" << "Total : 0 records";
    QTest::newRow("array") << QJsonValue(QJsonArray{ 1, 2 }) << none << "1" << "of 0" << "Total : 0 records";
    QTest::newRow("text") << QJsonValue(QStringLiteral("pages")) << none << "1" << "of 0" << "Total : 0 records";
    QTest::newRow("empty object") << meta("{}") << none << "1" << "of 0" << "Total : 0 records";
    QTest::newRow("numbers as text") << meta(R"({"page": "2", "page_count": "3", "rec_count": "9"})") << none
                                     << "1" << "of 0" << "Total : 0 records";
    QTest::newRow("page as text") << meta(R"({"page": "2", "page_count": 3, "rec_count": 9})")
                                  << QStringList{ "1", "2", "3" } << "1" << "of 3" << "Total : 9 records";
    QTest::newRow("fractions") << meta(R"({"page": 1.5, "page_count": 2.5, "rec_count": 3.7})") << none << "1"
                               << "of 0" << "Total : 0 records";
    QTest::newRow("beyond 32 bits") << meta(R"({"page": 1, "page_count": 2, "rec_count": 1e12})")
                                    << QStringList{ "1", "2" } << "1" << "of 2" << "Total : 0 records";
    QTest::newRow("negative count") << meta(R"({"page": 1, "page_count": -3, "rec_count": 0})") << none << "1"
                                    << "of -3" << "Total : 0 records";
    QTest::newRow("nulls") << meta(R"({"page": null, "page_count": 2, "rec_count": null})")
                           << QStringList{ "1", "2" } << "1" << "of 2" << "Total : 0 records";
}

void tst_Pagination::paginateWithMissingOrWrongMeta()
{
    QFETCH(QJsonValue, pages);
    QFETCH(QStringList, items);
    QFETCH(QString, pageText);
    QFETCH(QString, pageCountText);
    QFETCH(QString, recordText);
    Bar bar;
    // an earlier page list goes
    bar.pagination->Paginate(meta(R"({"page": 4, "page_count": 5, "rec_count": 50})"));
    bar.pagination->Paginate(pages);
    QCOMPARE(itemsOf(*bar.page), items);
    QCOMPARE(bar.page->currentText(), pageText);
    QCOMPARE(bar.pageCount->text(), pageCountText);
    QCOMPARE(bar.recordCount->text(), recordText);
    QCOMPARE(bar.reloads, 0);
}

void tst_Pagination::buttonsMoveWithinThePages()
{
    Bar bar;
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 5, "rec_count": 50})"));
    bar.first->click();
    bar.prev->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("1"));
    QCOMPARE(bar.reloads, 0);

    bar.next->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("2"));
    QCOMPARE(bar.reloads, 1);
    QCOMPARE(bar.pagesAtReload, QStringList({ "2/20" }));

    // the reload answers with the new page meta: no second reload
    bar.pagination->Paginate(meta(R"({"page": 2, "page_count": 5, "rec_count": 50})"));
    QCOMPARE(bar.reloads, 1);

    bar.last->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("5"));
    QCOMPARE(bar.reloads, 2);
    bar.prev->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("4"));
    bar.first->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("1"));
    QCOMPARE(bar.pagesAtReload, QStringList({ "2/20", "5/20", "4/20", "1/20" }));

    // on the last page, next and last stay
    bar.pagination->Paginate(meta(R"({"page": 5, "page_count": 5})"));
    bar.next->click();
    bar.last->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("5"));
    QCOMPARE(bar.reloads, 4);
}

void tst_Pagination::buttonsWithOnePageOrNone()
{
    Bar bar;
    for (const char *pages : { R"({"page": 1, "page_count": 1})", R"({"page": 3})" }) {
        bar.pagination->Paginate(meta(pages));
        for (QPushButton *b : { bar.first, bar.prev, bar.next, bar.last })
            b->click();
        QCOMPARE(bar.page->currentText(), QStringLiteral("1"));
        QCOMPARE(bar.reloads, 0);
    }
    // without a page count: no pages listed, page 1 shown
    QCOMPARE(bar.page->count(), 0);
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 0"));

    // a page text that is no item of the list: nothing moves
    bar.pagination->Paginate(meta(R"({"page": 9, "page_count": 3})"));
    for (QPushButton *b : { bar.first, bar.prev, bar.next, bar.last })
        b->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("9"));
    QCOMPARE(bar.reloads, 0);
}

void tst_Pagination::pageSizeChangeKeepsPage()
{
    Bar bar;
    bar.pagination->Paginate(meta(R"({"page": 3, "page_count": 5})"));
    bar.pageSize->setCurrentIndex(2);
    QCOMPARE(bar.reloads, 1);
    QCOMPARE(bar.pagesAtReload, QStringList({ "3/50" }));
    QCOMPARE(bar.page->currentText(), QStringLiteral("3"));

    // choosing a page from the list asks for a reload too
    bar.page->setCurrentIndex(4);
    QCOMPARE(bar.reloads, 2);
    QCOMPARE(bar.pagesAtReload.last(), QStringLiteral("5/50"));
}

void tst_Pagination::typedPageCountsWhenCommitted()
{
    Bar bar;
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 5})"));
    bar.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar.form));
    bar.page->lineEdit()->setFocus();
    bar.page->lineEdit()->selectAll();
    QTest::keyClicks(bar.page->lineEdit(), QStringLiteral("3"));
    QCOMPARE(bar.reloads, 0); // not at every keystroke
    Q_EMIT bar.page->lineEdit()->editingFinished();
    QCOMPARE(bar.reloads, 1);
    QCOMPARE(bar.pagesAtReload, QStringList({ "3/20" }));
    // leaving the edit again without a change asks for nothing
    Q_EMIT bar.page->lineEdit()->editingFinished();
    QCOMPARE(bar.reloads, 1);
}

void tst_Pagination::shortFormLeavesNoRecordLabel()
{
    Bar bar(false);
    bar.pagination->Paginate(meta(R"({"page": 2, "page_count": 4, "rec_count": 40})"));
    QCOMPARE(itemsOf(*bar.page), QStringList({ "1", "2", "3", "4" }));
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 4"));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("untouched"));
}

void tst_Pagination::textsFollowLanguage()
{
    Bar bar;
    Platform::ResourceStringRepository::instance().setTranslations(
        { { sLabelOfPage.nameText(), QStringLiteral("dari") },
          { sLabelTotalRecord.nameText(), QStringLiteral("Jumlah :") },
          { sLabelRecords.nameText(), QStringLiteral("data") } });
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 7, "rec_count": 61})"));
    QCOMPARE(bar.pageCount->text(), QStringLiteral("dari 7"));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Jumlah : 61 data"));
}

void tst_Pagination::hugePageCountIsCapped()
{
    Bar bar;
    QElapsedTimer timer;
    timer.start();
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 2147483647, "rec_count": 5})"));
    QCOMPARE(bar.page->count(), TPagination::MaxListedPages);
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 2147483647"));
    QVERIFY2(timer.elapsed() < 5000, "an untrusted page count must not stall the screen");
}

void tst_Pagination::widgetsDestroyedFirst()
{
    auto bar = std::make_unique<Bar>();
    std::unique_ptr<TPagination> pagination = std::move(bar->pagination);
    bar.reset();
    pagination->Paginate(meta(R"({"page": 1, "page_count": 2})"));
    pagination->OnButtonClick(nullptr);
    QVERIFY(!pagination->IsLoading());
}

QTEST_MAIN(tst_Pagination)
#include "tst_pagination.moc"
