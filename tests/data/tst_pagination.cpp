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
    void pageStaysWithinThePageCount();
    void typedPageIsAPageNumber();
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

    // an untrusted page count must not stall the screen; the bar offers
    // what it lists, no more
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 2147483647, "rec_count": 5})"));
    QCOMPARE(bar.page->count(), TPagination::MaxListedPages);
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 100000"));

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

// No page beyond the last is kept or asked for: not after the rows per page
// grew, not when an answer reports one, not through "last" on a capped list.
// A size the form set with signals blocked is still left by a later pick.
void tst_Pagination::pageStaysWithinThePageCount()
{
    PagingBar bar;
    bar.pagination->Paginate(meta(R"({"page": 37, "page_count": 37, "rec_count": 730})"));
    bar.pageSize->setCurrentIndex(2); // 50 rows: 15 pages
    QCOMPARE(bar.reloads, QStringList({ "15/50" }));
    bar.pagination->Paginate(meta(R"({"page": 15, "page_count": 15, "rec_count": 730})"));
    bar.pageSize->setCurrentIndex(0); // 10 rows: the page exists, it is kept
    QCOMPARE(bar.reloads, QStringList({ "15/50", "15/10" }));

    // an answer beyond its own last page: shown as the last, whose rows come
    // with one more read, after the painting
    bar.reloads.clear();
    bar.pagination->Paginate(meta(R"({"page": 7, "page_count": 3})"));
    QCOMPARE(bar.page->count(), 3);
    QCOMPARE(bar.page->currentText(), QStringLiteral("3"));
    QVERIFY(bar.reloads.isEmpty());
    QTRY_COMPARE(bar.reloads, QStringList({ "3/10" }));
    // a server that insists is not asked again and again
    bar.pagination->Paginate(meta(R"({"page": 7, "page_count": 3})"));
    QTest::qWait(20);
    QCOMPARE(bar.reloads, QStringList({ "3/10" }));
    QCOMPARE(bar.page->currentText(), QStringLiteral("3"));
    bar.next->click();
    QCOMPARE(bar.reloads.size(), 1); // on the last page

    // "last" goes where the page list and the label end
    bar.reloads.clear();
    bar.pagination->Paginate(meta(R"({"page": 1, "page_count": 250000, "rec_count": 2500000})"));
    QCOMPARE(bar.pageCount->text(), QStringLiteral("of 100000"));
    bar.last->click();
    QCOMPARE(bar.page->currentText(), QStringLiteral("100000"));
    QCOMPARE(bar.reloads, QStringList({ "100000/10" }));

    // a size set by the form without signals is left by a later pick
    bar.reloads.clear();
    {
        const QSignalBlocker block(bar.pageSize);
        bar.pageSize->setCurrentIndex(2);
    }
    bar.pageSize->setCurrentIndex(0);
    QCOMPARE(bar.reloads, QStringList({ "100000/10" }));
}

// A page typed into the selector goes to the server as it stands: what is
// no page number there ("abc", "0") would have the server refuse the read
// and leave the list empty.
void tst_Pagination::typedPageIsAPageNumber()
{
    PagingBar bar;
    bar.form.show();
    bar.pagination->Paginate(meta(R"({"page": 2, "page_count": 5, "rec_count": 50})"));
    QLineEdit *edit = bar.page->lineEdit();
    edit->setFocus();
    auto type = [&](const QString &AText) {
        edit->selectAll();
        QTest::keyClicks(edit, AText);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    type(QStringLiteral("abc"));
    type(QStringLiteral("0"));
    QVERIFY(bar.page->currentText() != QStringLiteral("0"));
    for (const QString &reload : std::as_const(bar.reloads))
        QVERIFY2(reload.section(QLatin1Char('/'), 0, 0).toInt() >= 1, qPrintable(reload));
    type(QStringLiteral("4"));
    QCOMPARE(bar.reloads.last(), QStringLiteral("4/20"));
}

QTEST_MAIN(tst_Pagination)
#include "tst_pagination.moc"
