#include "BrowseDlgU.h"
#include "Errors.h"
#include "LangResU.h"
#include "RestScreenFixture.h"
#include "WaitDlgU.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using FT = Platform::MemTable::FieldType;

namespace {

const QString ItemsUrl = QStringLiteral("/inv/v1/master/items");

const QByteArray TwoItems = R"({
    "data": [
        {"item_id": 11, "item_code": "A-1", "item_name": "Bolt", "active": true},
        {"item_id": 12, "item_code": "B-2", "item_name": "Nut", "active": false}
    ],
    "pages": {"page": 1, "page_rows": 20, "page_count": 3, "rec_count": 42}
})";

void addItemColumns(TBrowseDlg &ADlg)
{
    ADlg.Columns().AddColumn(QStringLiteral("item_id"), FT::Integer, 0, false, QStringLiteral("Id"), 77,
                             Qt::AlignRight, QString());
    ADlg.Columns().AddColumn(QStringLiteral("item_code"), FT::String, 20, true, QStringLiteral("Code"), 100,
                             Qt::AlignLeft, QString());
    ADlg.Columns().AddColumn(QStringLiteral("item_name"), FT::String, 100, true, QStringLiteral("Name"), 150,
                             Qt::AlignLeft, QString());
    ADlg.Columns().AddColumn(QStringLiteral("active"), FT::Boolean, 0, true, QStringLiteral("Active"), 120,
                             Qt::AlignCenter, QString());
}

QStringList column(const Platform::MemTable &ATable, const QString &AField)
{
    QStringList texts;
    const int f = ATable.fieldIndex(AField);
    for (int r = 0; r < ATable.recordCount(); ++r)
        texts.append(ATable.cell(r, f).toString());
    return texts;
}

bool waitUntil(const std::function<bool()> &ACondition, int ATimeoutMs = 5000)
{
    return QTest::qWaitFor(ACondition, ATimeoutMs);
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

    void defaultPageRowsAcceptsOnlyTheSelectorChoices();
    void columnListKeepsDisplayPartsOnlyForShownColumns();
    void widthFollowsShownColumnsPagingAndOverride();
    void buttonsFollowTheDialogType();
    void loadsSearchesAndPicksByDoubleClick();
    void pagingSendsPageAndRowsAndPaintsTheBar();
    void keyboardSearchesConfirmsMovesAndCancels();
    void addItemHandsOverTheTableAndReloads();
    void secondShowingRebuildsAndDropsCallerParams();
    void failuresAreShownAndTheDialogStaysUsable();
    void callerParamsClashingWithOwnAreReported();

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

void tst_BrowseDlg::defaultPageRowsAcceptsOnlyTheSelectorChoices()
{
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    QCOMPARE(dlg.DefaultPageRows(), 0);
    dlg.SetDefaultPageRows(50);
    QCOMPARE(dlg.DefaultPageRows(), 50);
    for (int bad : { 25, 0, -10, 1, 5 }) {
        try {
            dlg.SetDefaultPageRows(bad);
            QFAIL(qPrintable(QStringLiteral("accepted %1").arg(bad)));
        } catch (const Platform::Error &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Invalid Default Page Rows."));
        }
        QCOMPARE(dlg.DefaultPageRows(), 50);
    }
    dlg.SetDefaultPageRows(1000);
    QCOMPARE(dlg.DefaultPageRows(), 1000);
}

void tst_BrowseDlg::columnListKeepsDisplayPartsOnlyForShownColumns()
{
    TBrowseDlgColumns cols;
    cols.AddColumn(QStringLiteral("id"), FT::Integer, 4, false, QStringLiteral("Id"), 80, Qt::AlignRight,
                   QStringLiteral("0"));
    cols.AddColumn(QStringLiteral("name"), FT::String, 30, true, QStringLiteral("Name"), 90, Qt::AlignRight,
                   QStringLiteral("@"));
    const TBrowseDlgColumn &hidden = cols.GetColumn(0);
    QCOMPARE(hidden.FieldWidth, 4);
    QVERIFY(hidden.Caption.isEmpty());
    QCOMPARE(hidden.ColumnWidth, 0);
    QCOMPARE(hidden.HAlignment, Qt::Alignment(Qt::AlignLeft));
    QVERIFY(hidden.DisplayFormat.isEmpty());
    QCOMPARE(cols.GetColumn(1).DisplayFormat, QStringLiteral("@"));
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, cols.GetColumn(2));
    QVERIFY_THROWS_EXCEPTION(Platform::NotFoundError, cols.SetColumn(-1, hidden));
}

void tst_BrowseDlg::widthFollowsShownColumnsPagingAndOverride()
{
    struct Case
    {
        bool paging;
        int width;
        int expected;
    };
    int shownWidth = 0; // outlives the loop: the last script stays installed
    m_presenter->modalScript = [&](QDialog &d) {
        shownWidth = d.width();
        return int(Platform::ModalResult::Cancel);
    };
    for (const Case &c : { Case { false, 0, 400 }, Case { true, 0, 500 }, Case { false, 640, 640 },
                           Case { true, 640, 640 } }) {
        TBrowseDlg dlg(bdtBrowse, ItemsUrl, false);
        addItemColumns(dlg); // the hidden id column adds nothing
        dlg.SetAutoLoad(false);
        dlg.SetUsePagination(c.paging);
        dlg.SetWidth(c.width);
        QCOMPARE(dlg.ShowModal(), 2);
        QCOMPARE(shownWidth, c.expected);
        QCOMPARE(dlg.Form()->height(), 517);
    }
    TBrowseDlg tall(bdtBrowse, ItemsUrl, false);
    tall.SetAutoLoad(false);
    tall.SetHeight(300);
    tall.ShowModal();
    QCOMPARE(tall.Form()->height(), 300);
    QCOMPARE(m_server->requestCount(), 0); // no auto load, no request
}

void tst_BrowseDlg::buttonsFollowTheDialogType()
{
    for (TBrowseDlgType type : { bdtBrowse, bdtBrowseAdd }) {
        TBrowseDlg dlg(type, ItemsUrl, false);
        addItemColumns(dlg);
        dlg.SetAutoLoad(false);
        bool ok = false, add = false, cancel = false, search = true, paging = true;
        m_presenter->modalScript = [&](QDialog &d) {
            d.show();
            ok = frm(d).btnOK->isVisible();
            add = frm(d).btnAddItem->isVisible();
            cancel = frm(d).btnCancel->isVisible();
            search = frm(d).lytMainSearchItem->isVisible();
            paging = frm(d).gboPage->isVisible();
            frm(d).btnCancel->click();
            return d.result();
        };
        QCOMPARE(dlg.ShowModal(), 2);
        QCOMPARE(ok, type == bdtBrowse);
        QCOMPARE(add, type == bdtBrowseAdd);
        QVERIFY(cancel);
        QVERIFY(!search);
        QVERIFY(!paging);
        QCOMPARE(dlg.Form()->windowTitle(), QStringLiteral("Browse Data"));
    }
}

void tst_BrowseDlg::loadsSearchesAndPicksByDoubleClick()
{
    m_server->enqueue(Reply::json(TwoItems));
    m_server->enqueue(Reply::json(R"({"data": [
        {"item_id": 21, "item_code": "C-3", "item_name": "Anisette", "active": true},
        {"item_id": 22, "item_code": "D-4", "item_name": "Aniline", "active": true}]})"));
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    QStringList firstShown;
    bool pagingShown = true;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        firstShown = column(*dlg.Dataset(), QStringLiteral("item_name"));
        pagingShown = frm(d).gboPage->isVisible();
        frm(d).edtSearch->setText(QStringLiteral("  ani  "));
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        if (!waitLoaded(dlg, 2) || d.isHidden())
            return 0; // Enter in the box must search, not close
        QTableView *grid = frm(d).grdData;
        const QModelIndex cell = grid->model()->index(1, 1);
        const QPoint at = grid->visualRect(cell).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QCOMPARE(firstShown, QStringList({ "Bolt", "Nut" }));
    QVERIFY(!pagingShown);

    const QList<RecordedRequest> reqs = m_server->requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs[0].method, QByteArray("GET"));
    QCOMPARE(reqs[0].path, ItemsUrl);
    QCOMPARE(reqs[0].queryValue(QStringLiteral("mode")), QStringLiteral("browse"));
    QVERIFY(reqs[0].hasQueryItem(QStringLiteral("q")));
    QCOMPARE(reqs[0].queryValue(QStringLiteral("q")), QString());
    QVERIFY(!reqs[0].hasQueryItem(QStringLiteral("page")));
    QVERIFY(!reqs[0].hasQueryItem(QStringLiteral("page_rows")));
    QVERIFY(!reqs[0].hasQueryItem(QStringLiteral("order")));
    QCOMPARE(reqs[1].queryValue(QStringLiteral("q")), QStringLiteral("ani"));

    // the picked row stays readable after the dialog closed
    QCOMPARE(dlg.Dataset()->recNo(), 1);
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("item_id")).toInt(), 22);
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("item_name")).toString(), QStringLiteral("Aniline"));
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
    bool pagingShown = false;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        pagingShown = frm(d).gboPage->isVisible();
        waitUntil([&] { return frm(d).lblRecordCount->text() != QStringLiteral("Total : 25 records"); });
        records = frm(d).lblRecordCount->text();
        pageCount = frm(d).lblPageCount->text();
        frm(d).btnNext->click(); // through the paging controller
        if (!waitLoaded(dlg, 2))
            return 0;
        frm(d).btnOK->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QVERIFY(pagingShown);
    QCOMPARE(records, QStringLiteral("Total : 42 records"));
    QCOMPARE(pageCount, QStringLiteral("of 3"));
    const QList<RecordedRequest> reqs = m_server->requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs[0].queryValue(QStringLiteral("page")), QStringLiteral("1"));
    QCOMPARE(reqs[0].queryValue(QStringLiteral("page_rows")), QStringLiteral("20"));
    QCOMPARE(reqs[0].queryValue(QStringLiteral("order")), QStringLiteral("item_code desc"));
    QCOMPARE(reqs[0].queryValue(QStringLiteral("mode")), QStringLiteral("browse"));
    QVERIFY(!reqs[0].hasQueryItem(QStringLiteral("q")) || reqs[0].queryValue(QStringLiteral("q")).isEmpty());
    QCOMPARE(reqs[1].queryValue(QStringLiteral("page")), QStringLiteral("2"));

    // the default page rows picks the first page size
    m_server->clear();
    TBrowseDlg fifty(bdtBrowse, ItemsUrl, false);
    addItemColumns(fifty);
    fifty.SetUsePagination(true);
    fifty.SetDefaultPageRows(50);
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        waitLoaded(fifty, 1);
        return int(Platform::ModalResult::Cancel);
    };
    QCOMPARE(fifty.ShowModal(), 2);
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("page_rows")), QStringLiteral("50"));
}

void tst_BrowseDlg::keyboardSearchesConfirmsMovesAndCancels()
{
    m_server->setHandler([](const RecordedRequest &) { return Reply::json(TwoItems); });
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    bool gridFocused = false, searchFocusedAgain = false;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        QApplication::setActiveWindow(&d);
        if (!QTest::qWaitForWindowActive(&d) || !waitLoaded(dlg, 1))
            return 0;
        waitUntil([&] { return frm(d).edtSearch->hasFocus(); });
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Down);
        gridFocused = frm(d).grdData->hasFocus();
        frm(d).grdData->setCurrentIndex(frm(d).grdData->model()->index(0, 1));
        QTest::keyClick(frm(d).grdData, Qt::Key_Up);
        searchFocusedAgain = frm(d).edtSearch->hasFocus();
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Down);
        frm(d).grdData->setCurrentIndex(frm(d).grdData->model()->index(1, 1));
        QTest::keyClick(frm(d).grdData, Qt::Key_Return);
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QVERIFY(gridFocused);
    QVERIFY(searchFocusedAgain);
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("item_id")).toInt(), 12);

    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 2))
            return 0;
        QTest::keyClick(&d, Qt::Key_Escape);
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 2);
}

void tst_BrowseDlg::addItemHandsOverTheTableAndReloads()
{
    m_server->setHandler([](const RecordedRequest &) { return Reply::json(TwoItems); });
    TBrowseDlg dlg(bdtBrowseAdd, ItemsUrl, false);
    addItemColumns(dlg);
    dlg.SetReloadAfterAddItem(true);
    QStringList calls;
    Platform::MemTable *handed = nullptr;
    int handedId = 0;
    dlg.SetOnAddItem([&](Platform::MemTable *ATable) {
        handed = ATable;
        handedId = ATable->value(QStringLiteral("item_id")).toInt();
        calls.append(QStringLiteral("add"));
    });
    dlg.SetOnAfterAddItem([&] { calls.append(QStringLiteral("after")); });
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        if (!waitLoaded(dlg, 1))
            return 0;
        frm(d).grdData->setCurrentIndex(frm(d).grdData->model()->index(1, 1));
        frm(d).btnAddItem->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QCOMPARE(calls, QStringList({ "add", "after" }));
    QCOMPARE(handed, dlg.Dataset());
    QCOMPARE(handedId, 12);
    QVERIFY(m_server->waitForRequests(2)); // the reload after adding
    QTRY_COMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_BrowseDlg::secondShowingRebuildsAndDropsCallerParams()
{
    m_server->setHandler([](const RecordedRequest &) { return Reply::json(TwoItems); });
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("status"), 1, pdtInteger, ptQuery);
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, false, std::move(params));
    addItemColumns(dlg);
    int columns = 0;
    m_presenter->modalScript = [&](QDialog &d) {
        const int before = m_server->requestCount();
        d.show();
        waitLoaded(dlg, before + 1);
        columns = frm(d).grdData->model()->columnCount();
        return int(Platform::ModalResult::Cancel);
    };
    QCOMPARE(dlg.ShowModal(), 2);
    QCOMPARE(columns, 4);
    QCOMPARE(dlg.Dataset()->recordCount(), 2);
    QCOMPARE(dlg.ShowModal(), 2);
    QCOMPARE(columns, 4);
    QCOMPARE(dlg.Dataset()->fieldCount(), 4);
    QCOMPARE(dlg.Dataset()->recordCount(), 2);
    QCOMPARE(dlg.Form()->grdData->horizontalHeader()->sectionSize(2), 150);
    QVERIFY(dlg.Form()->grdData->isColumnHidden(0));
    const QList<RecordedRequest> reqs = m_server->requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs[0].queryValue(QStringLiteral("status")), QStringLiteral("1"));
    QVERIFY(!reqs[1].hasQueryItem(QStringLiteral("status")));
}

void tst_BrowseDlg::failuresAreShownAndTheDialogStaysUsable()
{
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true);
    addItemColumns(dlg);
    // one answer per search text, so that a retried request gets the same
    m_server->setHandler([](const RecordedRequest &ARequest) {
        const QString q = ARequest.queryValue(QStringLiteral("q"));
        if (q.isEmpty())
            return Reply::json(R"({"message": "bad"})", 401);
        if (q == QLatin1String("s2"))
            return Reply::json(R"({"errors": [{"key": "search_text", "message": "Search text is too short"}]})", 400);
        if (q == QLatin1String("s3"))
            return Reply::text("oops", 500);
        if (q == QLatin1String("s4"))
            return Reply::withAction(Reply::Action::CloseWithoutAnswer);
        if (q == QLatin1String("s5"))
            return Reply::json(R"({"data": [{"item_id": "x", "item_name": 5}, 7, {"item_code": null}]})");
        if (q == QLatin1String("s6"))
            return Reply::json(R"({"data": {"not": "an array"}})");
        return Reply::json(TwoItems);
    });
    QList<int> counts;
    m_presenter->modalScript = [&](QDialog &d) {
        for (int i = 1; i <= 7; ++i) {
            const int before = m_server->requestCount();
            if (i == 1) {
                d.show();
            } else {
                frm(d).edtSearch->setText(QStringLiteral("s%1").arg(i));
                QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
            }
            if (!waitLoaded(dlg, before + 1) || d.isHidden()) {
                qWarning("load %d did not finish with the dialog open", i);
                return 0;
            }
            counts.append(dlg.Dataset()->recordCount());
        }
        frm(d).grdData->setCurrentIndex(frm(d).grdData->model()->index(0, 1));
        frm(d).btnOK->click();
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 1);
    QCOMPARE(counts.size(), 7);
    QCOMPARE(counts.first(), 0);
    QCOMPARE(counts.last(), 2);
    const QStringList texts = m_presenter->texts();
    QVERIFY2(texts.size() >= 4, qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(texts[0], sMsgHttpUnauthorized.text());
    QCOMPARE(texts[1], QStringLiteral("Search text is too short"));
    QCOMPARE(texts[2], sMsgHttpServerError.text() + QStringLiteral("\r\noops"));
    QVERIFY2(texts[3].startsWith(sMsgHttpServerError.text()), qPrintable(texts[3]));
    QCOMPARE(dlg.Dataset()->value(QStringLiteral("item_id")).toInt(), 11);
}

void tst_BrowseDlg::callerParamsClashingWithOwnAreReported()
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("mode"), QStringLiteral("list"), pdtString, ptQuery);
    TBrowseDlg dlg(bdtBrowse, ItemsUrl, true, std::move(params));
    addItemColumns(dlg);
    m_server->setHandler([](const RecordedRequest &) { return Reply::json(TwoItems); });
    int rowsAfterRetry = -1;
    m_presenter->modalScript = [&](QDialog &d) {
        d.show();
        QTest::qWait(50);
        if (m_server->requestCount() != 0 || d.isHidden())
            return 0;
        // the clash was reported and the next search works
        QTest::keyClick(frm(d).edtSearch, Qt::Key_Return);
        if (!waitLoaded(dlg, 1))
            return 0;
        rowsAfterRetry = dlg.Dataset()->recordCount();
        QTest::keyClick(&d, Qt::Key_Escape);
        return d.result();
    };
    QCOMPARE(dlg.ShowModal(), 2);
    QCOMPARE(rowsAfterRetry, 2);
    QCOMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->messages[0].kind, Platform::MessageKind::Error);
    QVERIFY2(m_presenter->messages[0].text.contains(QStringLiteral("mode")), qPrintable(m_presenter->texts()[0]));
    QCOMPARE(m_server->lastRequest().queryValue(QStringLiteral("mode")), QStringLiteral("browse"));
}

QTEST_MAIN(tst_BrowseDlg)
#include "tst_browsedlg.moc"
