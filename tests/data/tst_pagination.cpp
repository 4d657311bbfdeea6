#include "DataTestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue meta(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class tst_Pagination : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void paginateShowsMetaWithoutReload();
    void navigationAsksForReloads();
};

// The answer's page meta is shown without asking for a reload, whatever it
// holds.
void tst_Pagination::paginateShowsMetaWithoutReload()
{
    PagingBar bar;
    bool loadingSeen = false;
    // a reload asked for while painting would show up here
    connect(bar.page, &QComboBox::currentTextChanged, bar.page,
            [&] { loadingSeen = loadingSeen || bar.pagination->IsLoading(); });
    bar.pagination->Paginate(meta(R"({"page": 2, "page_rows": 20, "page_count": 100, "rec_count": 25})"));
    QCOMPARE(bar.page->count(), 100);
    QCOMPARE(bar.page->itemText(99), QStringLiteral("100"));
    QCOMPARE(bar.page->currentText(), QStringLiteral("2"));
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 100"));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 25 records"));
    QVERIFY(loadingSeen);
    QVERIFY(!bar.pagination->IsLoading());

    // a page that is not in the list is shown all the same
    bar.pagination->Paginate(meta(R"({"page": 7, "page_count": 3})"));
    QCOMPARE(bar.page->count(), 3);
    QCOMPARE(bar.page->currentText(), QStringLiteral("7"));

    // an untrusted page count must not stall the screen
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 2147483647, "rec_count": 5})"));
    QCOMPARE(bar.page->count(), TPagination::MaxListedPages);
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 2147483647"));

    // numbers sent as text are no numbers: the earlier list goes
    bar.pagination->Paginate(meta(R"({"page": "2", "page_count": "3", "rec_count": "9"})"));
    QCOMPARE(bar.page->count(), 0);
    QCOMPARE(bar.page->currentText(), QStringLiteral("1"));
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 0"));
    QCOMPARE(bar.reloads, QStringList());
}

// The buttons move within the pages, the page size and the page list too;
// each move asks for one reload, the answer's own page meta for none.
void tst_Pagination::navigationAsksForReloads()
{
    PagingBar bar;
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 5, "rec_count": 50})"));
    bar.first->click();
    bar.prev->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("1"));
    QCOMPARE(bar.reloads, QStringList()); // on the first page, first and previous stay

    bar.next->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("2"));
    bar.pagination->Paginate(meta(R"({"page": 2, "page_count": 5, "rec_count": 50})"));
    bar.last->click();
    bar.prev->click();
    bar.first->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("1"));
    QCOMPARE(bar.reloads, QStringList({ "2/20", "5/20", "4/20", "1/20" }));

    // on the last page, next and last stay
    bar.reloads.clear();
    bar.pagination->Paginate(meta(R"({"page": 5, "page_count": 5})"));
    bar.next->click();
    bar.last->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("5"));
    QCOMPARE(bar.reloads, QStringList());

    bar.pagination->Paginate(meta(R"({"page": 3, "page_count": 5})"));
    bar.pageSize->setCurrentIndex(2);
    QCOMPARE(bar.page->currentText(), QStringLiteral("3")); // the page is kept
    bar.page->setCurrentIndex(4);
    QCOMPARE(bar.reloads, QStringList({ "3/50", "5/50" }));
}

QTEST_MAIN(tst_Pagination)
#include "tst_pagination.moc"
