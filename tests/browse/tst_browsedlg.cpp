#include "BrowseDlgU.h"
#include "RestScreenFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using FT = Platform::MemTable::FieldType;

namespace {

const QString ItemsUrl = QStringLiteral("/inv/v1/master/items");

const QByteArray TwoItems = R"({"data": [{"item_id": 11, "item_code": "A-1", "item_name": "Bolt"},
                                           {"item_id": 12, "item_code": "B-2", "item_name": "Nut"}],
                                 "pages": {"page": 1, "page_rows": 20, "page_count": 3, "rec_count": 42}})";

// A hidden key and two shown columns.
void addItemColumns(TBrowseDlg &ADlg)
{
    for (const char *name : { "item_id", "item_code", "item_name" }) {
        const bool key = qstrcmp(name, "item_id") == 0;
        ADlg.Columns().AddColumn(QLatin1String(name), key ? FT::Integer : FT::String, key ? 0 : 50, !key,
                                 QLatin1String(name), 100, Qt::AlignLeft, QString());
    }
}

TBrowseDlgFrm &frm(QDialog &ADialog)
{
    return static_cast<TBrowseDlgFrm &>(ADialog);
}

} // namespace

class tst_BrowseDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void buttonsFollowTheDialogType();
    void loadsSearchesAndPicksByDoubleClick();
    void pagingSendsPageAndRowsAndPaintsTheBar();
    void gridAndPageSelectorChangeNothing();
    void rowsPerPageFollowDefaultAndStayWithinCount();
    void noPickWhileAPageLoadsOrOfAnEmptyList();
    void aNewSearchStartsAtPageOne();
    void noPickBehindAnEarlierSearchStillRunning();
    void aCallersTitleStaysOnTheDialog();

private:
    bool waitLoaded(TBrowseDlg &, int ARequests) { return m_fixture->waitLoaded(ARequests); }
    std::unique_ptr<RestScreenFixture> m_fixture;
    TestHttpServer *m_server = nullptr;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_BrowseDlg::init()
{
    m_fixture = std::make_unique<RestScreenFixture>();
    m_server = &m_fixture->server();
    m_presenter = m_fixture->presenter();
}

void tst_BrowseDlg::cleanup()
{
    m_fixture.reset();
}

void tst_BrowseDlg::buttonsFollowTheDialogType()
{
    for (TBrowseDlgType type : { bdtBrowse, bdtBrowseAdd }) {
        TBrowseDlg dlg(type, ItemsUrl, false);
        addItemColumns(dlg);
        dlg.SetAutoLoad(false);
        bool ok = false, add = false;
        m_presenter->modalScript = [&](QDialog &d) {
            d.show();
            ok = frm(d).btnOK->isVisible();
            add = frm(d).btnAddItem->isVisible();
            frm(d).btnCancel->click();
            return d.result();
        };
        QCOMPARE(dlg.ShowModal(), 2);
        QCOMPARE(ok, type == bdtBrowse);
        QCOMPARE(add, type == bdtBrowseAdd);
    }
}

void tst_BrowseDlg::loadsSearchesAndPicksByDoubleClick()
{
    m_server->enqueue(Reply::json(TwoItems));
    m_server->enqueue(Reply::json(R"({"data": [
        {"item_id": 21, "item_code": "C-3", "item_name": "Anisette"},
        {"item_id": 22, "item_code": "D-4", "item_name": "Aniline"}]})"));
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    int firstShown = 0;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        firstShown = dlg.Dataset()->recordCount();
        frm(d).edtSearch->setText(QStringLiteral("  ani  "));
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        if (!waitLoaded(dlg, 2) || d.isHidden())
            return 0; // Enter in the box must search, not close
        QTableView *grid = frm(d).grdData;
        const QPoint at = grid->visualRect(grid->model()->index(1, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QCOMPARE(firstShown, 2);
    const QList<RecordedRequest> reqs = m_server->requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs[0].path, ItemsUrl);
    QCOMPARE(reqs[0].queryValue(QStringLiteral("mode")), QStringLiteral("browse"));
    QVERIFY(reqs[0].hasQueryItem(QStringLiteral("q")));
    QVERIFY(!reqs[0].hasQueryItem(QStringLiteral("page")));
    QCOMPARE(reqs[1].queryValue(QStringLiteral("q")), QStringLiteral("ani"));
    // the picked row stays readable after the dialog closed
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("item_id")).toInt(), 22);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_BrowseDlg::pagingSendsPageAndRowsAndPaintsTheBar()
{
    m_server->enqueue(Reply::json(TwoItems));
    m_server->enqueue(Reply::json(TwoItems));
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, false);
    addItemColumns(dlg);
    dlg.SetUsePagination(true);
    dlg.SetOrderBy(QStringLiteral("item_code desc"));
    QString records, pageCount;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        records = frm(d).lblRecordCount->text();
        pageCount = frm(d).lblPageCount->text();
        frm(d).btnNext->click(); // through the paging controller
        if (!waitLoaded(dlg, 2))
            return 0;
        frm(d).btnOK->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QCOMPARE(records, QStringLiteral("Total : 42 records"));
    QCOMPARE(pageCount, QStringLiteral("of 3"));
    const QList<RecordedRequest> reqs = m_server->requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs[0].queryValue(QStringLiteral("page")), QStringLiteral("1"));
    QCOMPARE(reqs[0].queryValue(QStringLiteral("page_rows")), QStringLiteral("20"));
    QCOMPARE(reqs[0].queryValue(QStringLiteral("order")), QStringLiteral("item_code desc"));
    QCOMPARE(reqs[1].queryValue(QStringLiteral("page")), QStringLiteral("2"));
}

// A pick list shows rows, it does not edit them: not a Boolean cell by click
// or Space, not the page by typing into its selector.
void tst_BrowseDlg::gridAndPageSelectorChangeNothing()
{
    m_server->enqueue(Reply::json(R"({"data": [{"item_id": 11, "item_name": "Bolt", "active": true},
                                                {"item_id": 12, "item_name": "Nut", "active": false}],
                                      "pages": {"page": 1, "page_count": 2, "rec_count": 30}})"));
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, false);
    dlg.Columns().AddColumn(QStringLiteral("item_id"), FT::Integer, 0, false, QString(), 0, Qt::AlignLeft, QString());
    dlg.Columns().AddColumn(QStringLiteral("item_name"), FT::String, 50, true, QStringLiteral("Name"), 120,
                            Qt::AlignLeft, QString());
    dlg.Columns().AddColumn(QStringLiteral("active"), FT::Boolean, 0, true, QStringLiteral("Active"), 60,
                            Qt::AlignCenter, QString());
    dlg.SetUsePagination(true);
    QList<bool> active;
    QString typedPage;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        QTableView *grid = frm(d).grdData;
        const auto checked = [grid](const QModelIndex &ACell) {
            return grid->model()->data(ACell, Qt::CheckStateRole).toInt() == Qt::Checked;
        };
        for (int row : { 0, 1 }) {
            const QModelIndex cell = grid->model()->index(row, 2);
            grid->setCurrentIndex(cell);
            QTest::keyClick(grid, Qt::Key_Space);
            active.append(checked(cell));
            QStyleOptionViewItem option;
            option.initFrom(grid->viewport());
            option.rect = grid->visualRect(cell);
            option.features |= QStyleOptionViewItem::HasCheckIndicator;
            const QRect box = grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, grid);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, box.center());
            active.append(checked(cell));
        }
        QComboBox *page = frm(d).cboPage;
        page->setFocus();
        QTest::keyClicks(page, QStringLiteral("abc"));
        QTest::keyClick(page, Qt::Key_Return);
        frm(d).btnCancel->setFocus();
        QTest::qWait(50);
        typedPage = page->currentText();
        frm(d).btnCancel->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 2);
    QCOMPARE(active, QList<bool>({ true, true, false, false })); // after Space, after a click
    QCOMPARE(dlg.Dataset()->recordCount(), 2);
    dlg.Dataset()->first();
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("active")).toBool(), true);
    dlg.Dataset()->next();
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("active")).toBool(), false);
    QCOMPARE(typedPage, QStringLiteral("1"));
    QCOMPARE(m_server->requests().size(), 1);
}

// The rows per page start at DefaultPageRows and every later pick reloads;
// a pick that leaves fewer pages moves to the new last page.
void tst_BrowseDlg::rowsPerPageFollowDefaultAndStayWithinCount()
{
    m_server->enqueue(Reply::json(R"({"data": [], "pages": {"page": 1, "page_count": 1, "rec_count": 42}})"));
    m_server->enqueue(Reply::json(R"({"data": [], "pages": {"page": 1, "page_count": 3, "rec_count": 42}})"));
    m_server->enqueue(Reply::json(R"({"data": [], "pages": {"page": 3, "page_count": 3, "rec_count": 42}})"));
    m_server->enqueue(Reply::json(TwoItems));
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, false);
    addItemColumns(dlg);
    dlg.SetUsePagination(true);
    dlg.SetDefaultPageRows(50);
    QString shownRows;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        QComboBox *rows = frm(d).cboRowPerPage;
        shownRows = rows->currentText();
        rows->setCurrentIndex(rows->findText(QStringLiteral("20")));
        if (!waitLoaded(dlg, 2))
            return 0;
        frm(d).btnLast->click();
        if (!waitLoaded(dlg, 3))
            return 0;
        rows->setCurrentIndex(rows->findText(QStringLiteral("200")));
        if (!waitLoaded(dlg, 4))
            return 0;
        frm(d).btnOK->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QCOMPARE(shownRows, QStringLiteral("50"));
    const QList<RecordedRequest> reqs = m_server->requests();
    QStringList sent;
    for (const RecordedRequest &r : reqs)
        sent.append(r.queryValue(QStringLiteral("page")) + QLatin1Char('/')
                    + r.queryValue(QStringLiteral("page_rows")));
    QCOMPARE(sent, QStringList({ "1/50", "1/20", "3/20", "1/200" }));
    QCOMPARE(dlg.Dataset()->recordCount(), 2);
}

// While a page loads the grid still shows the rows of the last one, but the
// table behind it is empty: a double click or Enter then picks nothing, says
// nothing and leaves the dialog open; neither does OK close on an empty list.
void tst_BrowseDlg::noPickWhileAPageLoadsOrOfAnEmptyList()
{
    m_server->enqueue(Reply::json(TwoItems));
    Reply slow = Reply::json(TwoItems);
    slow.delayMs = 400;
    m_server->enqueue(slow);
    m_server->enqueue(Reply::json(R"({"data": [], "pages": {"page": 1, "page_count": 0, "rec_count": 0}})"));
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    dlg.SetUsePagination(true);
    bool openWhileLoading = false, openOnEmpty = false;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        QTableView *grid = frm(d).grdData;
        const QPoint at = grid->visualRect(grid->model()->index(1, 1)).center();
        frm(d).btnNext->click();
        if (!m_server->waitForRequests(2))
            return 0;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        openWhileLoading = d.isVisible() && d.result() == 0;
        if (!waitLoaded(dlg, 2))
            return 0;
        frm(d).edtSearch->setText(QStringLiteral("nothing"));
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        if (!waitLoaded(dlg, 3))
            return 0;
        frm(d).btnOK->click();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        openOnEmpty = d.isVisible() && d.result() == 0;
        frm(d).btnCancel->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 2);
    QVERIFY(openWhileLoading);
    QVERIFY(openOnEmpty);
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
}

// The matches of a new search start on its first page, not on the page the
// last list was left at (which the new one may not even have).
void tst_BrowseDlg::aNewSearchStartsAtPageOne()
{
    m_server->setHandler([](const RecordedRequest &r) {
        const QByteArray page = r.queryValue(QStringLiteral("page")).toUtf8();
        return Reply::json(R"({"data": [{"item_id": 11, "item_code": "A-1", "item_name": "Bolt"}],
                               "pages": {"page": )"
                           + page + R"(, "page_rows": 20, "page_count": 3, "rec_count": 42}})");
    });
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    dlg.SetUsePagination(true);
    QString shownPage;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        frm(d).btnNext->click();
        if (!waitLoaded(dlg, 2))
            return 0;
        frm(d).edtSearch->setText(QStringLiteral("bolt"));
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        if (!waitLoaded(dlg, 3))
            return 0;
        frm(d).btnNext->click();
        if (!waitLoaded(dlg, 4))
            return 0;
        frm(d).edtSearchButton->click();
        if (!waitLoaded(dlg, 5))
            return 0;
        shownPage = frm(d).cboPage->currentText();
        frm(d).btnCancel->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 2);
    QStringList sent;
    for (const RecordedRequest &r : m_server->requests())
        sent.append(r.queryValue(QStringLiteral("q")) + QLatin1Char('|') + r.queryValue(QStringLiteral("page")));
    QCOMPARE(sent, QStringList({ "|1", "|2", "bolt|1", "bolt|2", "bolt|1" }));
    QCOMPARE(shownPage, QStringLiteral("1"));
}

// Two searches, the first answered last: until it ends the grid stays
// frozen over the second one's rows, and a click there does not move the
// current row; Enter then would pick another row than the one clicked.
void tst_BrowseDlg::noPickBehindAnEarlierSearchStillRunning()
{
    m_server->setHandler([](const RecordedRequest &r) {
        const QString q = r.queryValue(QStringLiteral("q"));
        Reply reply = Reply::json(R"({"data": [{"item_id": 1, "item_name": "Axle"},
                                               {"item_id": 2, "item_name": "Bolt"}]})");
        if (q == QLatin1String("slow"))
            reply.delayMs = 700;
        return reply;
    });
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    bool openWhileFrozen = false;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        frm(d).edtSearch->setText(QStringLiteral("slow"));
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        frm(d).edtSearch->setText(QStringLiteral("fast"));
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        if (!m_server->waitForRequests(3))
            return 0;
        if (!QTest::qWaitFor([&] { return dlg.Dataset()->recordCount() == 2; }, 500))
            return 0;
        QTableView *grid = frm(d).grdData;
        const QPoint at = grid->visualRect(grid->model()->index(1, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClick(grid, Qt::Key_Return);
        openWhileFrozen = d.isVisible() && d.result() == 0;
        if (!waitLoaded(dlg, 3))
            return 0;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClick(grid, Qt::Key_Return);
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QVERIFY(openWhileFrozen);
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("item_id")).toInt(), 2);
}

// A screen names the dialog for what it finds; the showing must not put the
// general caption back over it.
void tst_BrowseDlg::aCallersTitleStaysOnTheDialog()
{
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, false);
    addItemColumns(dlg);
    dlg.SetAutoLoad(false);
    QStringList shown;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        shown.append(d.windowTitle());
        frm(d).btnCancel->click();
        return d.result();
    };
    dlg.ShowModal();
    dlg.Form()->setWindowTitle(QStringLiteral("Find Item"));
    dlg.ShowModal();
    QCOMPARE(shown, QStringList({ "Browse Data", "Find Item" }));
}

QTEST_MAIN(tst_BrowseDlg)
#include "tst_browsedlg.moc"
