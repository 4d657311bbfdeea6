#include "ComLookupsU.h"
#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "RestRequest.h"

#include <QPushButton>

using Platform::MemTable;
using Platform::RestRequest;

namespace {

const QString ContactsUrl = QStringLiteral("/crm/v1/master/contacts");

// A screen: a widget owning its tables, as forms do.
struct Screen
{
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    MemTable *table = nullptr;
    MemTable *lookup = nullptr;

    Screen()
    {
        table = contactTable().release();
        table->setParent(form.get());
        lookup = contactTable().release();
        lookup->setParent(form.get());
    }
};

MemTable::Row row(int AId, const char *AName)
{
    return { AId, QString::fromLatin1(AName), QVariant(), QVariant(), QVariant(), QVariant() };
}

} // namespace

// The one request lifecycle: a request ends with its owner (the connection
// closed, no callback, the wait dialog's count given back), and the wait
// dialog's Cancel ends the reads it counts.
class tst_RestRequest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<DataTestEnv>();
        WaitDlg->SetMainForm(&m_main);
        m_screen = std::make_unique<Screen>();
        m_log.clear();
    }
    void cleanup()
    {
        m_screen.reset();
        QVERIFY(RestRequest::waitUntilIdle(5000));
        QTest::qWait(20);
        m_env.reset();
    }
    void closedScreenAbortsItsRequests_data();
    void closedScreenAbortsItsRequests();
    void cancelEmptiesTheReadAndTheNextOneWorks();
    void cancelLeavesWritesAlone();
    void abortAllEndsEveryRequestAtOnce();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Screen> m_screen;
    QWidget m_main;
    CycleLog m_log;
};

void tst_RestRequest::closedScreenAbortsItsRequests_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read") << "read";
    QTest::newRow("detail read") << "detail";
    QTest::newRow("write") << "write";
    QTest::newRow("delete") << "delete";
    QTest::newRow("lookup") << "lookup";
    QTest::newRow("shared list") << "list";
}

// Given a request whose answer the server holds, when its screen closes,
// then the server sees the connection close, no callback or message runs,
// the parameters are released and the wait dialog's count is back to zero.
void tst_RestRequest::closedScreenAbortsItsRequests()
{
    QFETCH(QString, kind);
    m_env->server.setHandler([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    Screen &s = *m_screen;
    const TErrorProc error = m_log.error();
    if (kind == QLatin1String("read")) {
        RestGet(ContactsUrl, s.table, probedParams(m_log.entries), nullptr, nullptr, m_log.complete(), error, true,
                true);
    } else if (kind == QLatin1String("detail")) {
        auto list = std::make_unique<TTableList>();
        list->AddTable(QStringLiteral("master"), s.table, ttMaster);
        RestGetDetail(ContactsUrl, std::move(list), true, probedParams(m_log.entries), nullptr, m_log.complete(), error,
                      true, true);
    } else if (kind == QLatin1String("write")) {
        s.table->appendRows({ row(1, "A") });
        RestPatch(ContactsUrl, s.table, probedParams(m_log.entries), nullptr, m_log.complete(), error, true, true);
    } else if (kind == QLatin1String("delete")) {
        // no table: the screen names itself the owner
        Platform::RestRequestOwner owner(s.form.get());
        RestDelete(ContactsUrl, probedParams(m_log.entries), nullptr, m_log.complete(), error, true, true);
    } else if (kind == QLatin1String("lookup")) {
        RestLookup(ContactsUrl, s.lookup, probedParams(m_log.entries), nullptr, m_log.complete(), error, false, false);
    } else {
        TPagination *none = nullptr;
        DataList(ContactsUrl, s.table, QString(), QString(), 1, none, QStringLiteral("1"), QStringLiteral("20"));
    }
    QVERIFY(m_env->server.waitForRequests(1));
    QVERIFY(RestRequest::liveCount() > 0);
    const int waitCount = kind == QLatin1String("lookup") ? 0 : 1;
    QCOMPARE(WaitDlg->ProcessCount(), waitCount);

    m_screen.reset();
    QCOMPARE(WaitDlg->ProcessCount(), 0); // given back at once
    QVERIFY(!WaitDlg->IsFormVisible());
    QVERIFY(m_main.isEnabled());
    QVERIFY(m_env->server.waitForClientCloses(1));
    QVERIFY(RestRequest::waitUntilIdle(5000));
    QCOMPARE(RestRequest::liveCount(), 0);
    QTest::qWait(50); // a late delivery would land here
    QCOMPARE(m_log.entries, kind == QLatin1String("list") ? QStringList() : QStringList({ "release" }));
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// Cancel shows only while a read counts in the dialog; pressed, the read
// ends at once as an empty one: table empty and thawed, paging bar
// untouched, no message, the main window usable; the next read works.
void tst_RestRequest::cancelEmptiesTheReadAndTheNextOneWorks()
{
    PagingBar bar;
    MemTable &t = *m_screen->table;
    t.appendRows({ row(5, "old") });
    TWaitDlgFrm *frm = WaitDlgFrmOf(WaitDlg);
    QVERIFY(!frm->btnCancel->isVisibleTo(frm));

    m_env->server.setHandler([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    RestGet(ContactsUrl, &t, probedParams(m_log.entries), bar.pagination.get(), nullptr, m_log.complete(),
            m_log.error(), true, true);
    QVERIFY(m_env->server.waitForRequests(1));
    QVERIFY(frm->isVisible());
    QVERIFY(frm->btnCancel->isVisible());
    QVERIFY(!m_main.isEnabled());

    QTest::mouseClick(frm->btnCancel, Qt::LeftButton);
    QCOMPARE(m_log.entries, QStringList({ "release", "complete" }));
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(!t.controlsDisabled());
    QCOMPARE(bar.pageCount->text(), QString());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(!frm->isVisible());
    QVERIFY(!frm->btnCancel->isVisibleTo(frm));
    QVERIFY(m_main.isEnabled());
    QVERIFY(m_env->server.waitForClientCloses(1));
    QVERIFY(m_env->presenter->messages.isEmpty());

    // the next read is answered and loads
    m_env->server.setHandler({});
    m_env->server.enqueue(Reply::json(R"({"data": [{"contact_id": 9, "contact_name": "new"}],
                                          "pages": {"page": 1, "page_count": 1, "rec_count": 1}})"));
    m_log.clear();
    RestGet(ContactsUrl, &t, nullptr, bar.pagination.get(), nullptr, m_log.complete(), m_log.error(), true, true);
    QVERIFY(m_log.waitFor(QStringLiteral("complete")));
    QCOMPARE(columnTexts(t, QStringLiteral("contact_name")), QStringList({ "new" }));
    QCOMPARE(bar.recordCount->text(), QStringLiteral("Total : 1 records"));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

// A write that holds the dialog together with a read: Cancel ends the read
// only; the write is answered and completes, and then the dialog goes.
void tst_RestRequest::cancelLeavesWritesAlone()
{
    m_env->server.setHandler([](const RecordedRequest &r) {
        if (r.method == "GET")
            return Reply::withAction(Reply::Action::Hang);
        Reply reply = Reply::json("{}");
        reply.delayMs = 300;
        return reply;
    });
    MemTable &t = *m_screen->table;
    m_screen->lookup->appendRows({ row(1, "A") });
    RestPost(ContactsUrl, m_screen->lookup, nullptr, nullptr, m_log.complete(QStringLiteral("saved")), m_log.error(),
             true, true);
    RestGet(ContactsUrl, &t, nullptr, nullptr, nullptr, m_log.complete(QStringLiteral("read")), m_log.error(), true,
            true);
    QVERIFY(m_env->server.waitForRequests(2));
    QCOMPARE(WaitDlg->ProcessCount(), 2);
    QCOMPARE(RestRequest::cancellableCount(), 1);

    QTest::mouseClick(WaitDlgFrmOf(WaitDlg)->btnCancel, Qt::LeftButton);
    QCOMPARE(m_log.entries, QStringList({ "read" }));
    QCOMPARE(WaitDlg->ProcessCount(), 1);
    QVERIFY(WaitDlg->IsFormVisible()); // the write still holds it, without Cancel
    QVERIFY(!WaitDlgFrmOf(WaitDlg)->btnCancel->isVisibleTo(WaitDlgFrmOf(WaitDlg)));
    QVERIFY(m_log.waitFor(QStringLiteral("saved")));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(!WaitDlg->IsFormVisible());
    QCOMPARE(m_env->server.requestsTo("POST", ContactsUrl).size(), 1);
}

// What sign-out and exit do before a package goes: every request ends at
// once without telling anybody, and the wait returns when the workers let go.
void tst_RestRequest::abortAllEndsEveryRequestAtOnce()
{
    m_env->server.setHandler([](const RecordedRequest &) { return Reply::withAction(Reply::Action::Hang); });
    RestGet(ContactsUrl, m_screen->table, probedParams(m_log.entries), nullptr, nullptr, m_log.complete(),
            m_log.error(), true, true);
    RestDelete(ContactsUrl, nullptr, nullptr, m_log.complete(QStringLiteral("deleted")), m_log.error(), true, true);
    StatusLookups(QStringLiteral("7"), m_screen->lookup, true, true);
    QVERIFY(m_env->server.waitForRequests(3));
    QCOMPARE(WaitDlg->ProcessCount(), 2);

    RestRequest::abortAll();
    QCOMPARE(WaitDlg->ProcessCount(), 0);
    QVERIFY(RestRequest::waitUntilIdle(5000));
    QCOMPARE(RestRequest::liveCount(), 0);
    QVERIFY(m_env->server.waitForClientCloses(3));
    QTest::qWait(50);
    QCOMPARE(m_log.entries, QStringList({ "release" }));
    QVERIFY(!m_screen->table->controlsDisabled());
    QVERIFY(m_env->presenter->messages.isEmpty());
}

QTEST_MAIN(tst_RestRequest)
#include "tst_restrequest.moc"
