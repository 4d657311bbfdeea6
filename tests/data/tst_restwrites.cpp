#include "DataTestSupport.h"
#include "ErrorHandlerU.h"
#include "Errors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using FT = Platform::MemTable::FieldType;

const QString ContactsUrl = QStringLiteral("/crm/v1/master/contacts");

QJsonObject bodyObject(const RecordedRequest &r)
{
    return QJsonDocument::fromJson(r.body).object();
}

} // namespace

class tst_RestWrites : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void postOneTablePostsRowAndSendsObject();
    void listWithDetailsSendsOneDocument();
    void verbsOfEveryWrapper_data();
    void verbsOfEveryWrapper();
    void methodTextChoosesVerb_data();
    void methodTextChoosesVerb();
    void deleteSendsNoBody();
    void deleteFailureShowsDialogWithoutCompletion();
    void writeWithoutListSendsEmptyBody();
    void bodyFailureSendsNothing();
    void transportFailureOrder();
    void writeDoesNotTouchTables();
    void closedScreenGetsNoCallbacks();

private:
    std::unique_ptr<DataTestEnv> m_env;
    std::unique_ptr<Platform::MemTable> m_contact;
    TErrorHandler m_errorHandler;
    CycleLog m_log;

    bool waitFor(const QString &AEntry)
    {
        return QTest::qWaitFor([&] { return m_log.count(AEntry) >= 1; }, 5000);
    }
};

void tst_RestWrites::init()
{
    m_env = std::make_unique<DataTestEnv>();
    m_contact = contactTable();
    m_log.entries.clear();
    m_log.lastErrorText.clear();
    m_log.watchWaitDlg();
}

void tst_RestWrites::cleanup()
{
    m_contact.reset();
    m_env.reset();
}

void tst_RestWrites::postOneTablePostsRowAndSendsObject()
{
    Platform::MemTable &t = *m_contact;
    t.append();
    t.setValue(QStringLiteral("contact_id"), 0);
    t.setValue(QStringLiteral("Contact_Name"), QStringLiteral("Citra"));
    t.setValue(QStringLiteral("birth_date"), QDate(1999, 12, 31));
    t.setValue(QStringLiteral("salary"), 12.25);
    t.setValue(QStringLiteral("active"), true);
    m_env->server.enqueue(Reply::json(R"({"id": 31})", 201));

    RestPost(ContactsUrl, &t, probedParams(m_log.entries), &m_errorHandler, m_log.complete(), nullptr, true, true);
    QCOMPARE(t.state(), Platform::MemTable::State::Browse); // posted before the request
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "complete" }));

    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.path, ContactsUrl);
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(r.header("Authorization"), QByteArray("Bearer tok"));
    QCOMPARE(bodyObject(r), QJsonObject({ { "contact_id", 0 },
                                          { "contact_name", "Citra" },
                                          { "job_position", QJsonValue::Null },
                                          { "birth_date", "1999-12-31" },
                                          { "salary", 12.25 },
                                          { "active", true } }));
    QCOMPARE(t.recordCount(), 1);
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestWrites::listWithDetailsSendsOneDocument()
{
    auto master = std::make_unique<Platform::MemTable>();
    master->addField(QStringLiteral("po_id"), FT::Integer);
    master->addField(QStringLiteral("po_no"), FT::String);
    master->open();
    master->appendRows({ { 4, QStringLiteral("PO-4") } });
    auto lines = std::make_unique<Platform::MemTable>();
    lines->addField(QStringLiteral("item"), FT::String);
    lines->addField(QStringLiteral("qty"), FT::Float);
    lines->open();
    lines->appendRows({ { QStringLiteral("Paper"), 2.0 }, { QStringLiteral("Ink"), 0.5 } });
    auto vendors = std::make_unique<Platform::MemTable>();
    vendors->addField(QStringLiteral("vendor_id"), FT::Integer);
    vendors->open();
    vendors->appendRows({ { 1 }, { 2 }, { 3 } });

    auto list = std::make_unique<TTableList>();
    list->AddTable(QStringLiteral("master"), master.get(), ttMaster);
    list->AddTable(QStringLiteral("detail"), QStringLiteral("lines"), lines.get(), ttDetail);
    list->AddTable(QStringLiteral("vendors"), vendors.get(), ttVendor);
    auto params = probedParams(m_log.entries);
    params->AddParam(QStringLiteral("po_id"), 4, pdtInteger, ptPath);
    RestPatch(QStringLiteral("/prc/v1/po/{po_id}"), std::move(list), std::move(params), &m_errorHandler,
              m_log.complete(), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("complete")));

    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("PATCH"));
    QCOMPARE(r.path, QStringLiteral("/prc/v1/po/4"));
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(bodyObject(r),
             QJsonObject({ { "po_id", 4 },
                           { "po_no", "PO-4" },
                           { "lines", QJsonArray{ QJsonObject{ { "item", "Paper" }, { "qty", 2 } },
                                                  QJsonObject{ { "item", "Ink" }, { "qty", 0.5 } } } },
                           { "vendors", QJsonArray{ QJsonObject{ { "vendor_id", 1 } }, QJsonObject{ { "vendor_id", 2 } },
                                                    QJsonObject{ { "vendor_id", 3 } } } } }));
    QVERIFY(r.body.indexOf("\"lines\"") > r.body.indexOf("\"po_no\""));
    QCOMPARE(m_log.entries, QStringList({ "release", "complete" }));
}

void tst_RestWrites::verbsOfEveryWrapper_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("method");
    QTest::newRow("RestPost list") << 0 << QByteArray("POST");
    QTest::newRow("RestPost table") << 1 << QByteArray("POST");
    QTest::newRow("RestPatch list") << 2 << QByteArray("PATCH");
    QTest::newRow("RestPatch table") << 3 << QByteArray("PATCH");
    QTest::newRow("RestPut list") << 4 << QByteArray("PUT");
    QTest::newRow("RestPut table") << 5 << QByteArray("PUT");
}

void tst_RestWrites::verbsOfEveryWrapper()
{
    QFETCH(int, which);
    QFETCH(QByteArray, method);
    m_contact->appendRows({ { 5, QStringLiteral("Dewi") } });
    auto list = std::make_unique<TTableList>();
    list->AddTable(QStringLiteral("master"), m_contact.get(), ttMaster);
    Platform::MemTable *t = m_contact.get();
    auto params = probedParams(m_log.entries);
    TErrorHandler *eh = &m_errorHandler;
    switch (which) {
    case 0: RestPost(ContactsUrl, std::move(list), std::move(params), eh, m_log.complete(), nullptr, true, true); break;
    case 1: RestPost(ContactsUrl, t, std::move(params), eh, m_log.complete(), nullptr, true, true); break;
    case 2: RestPatch(ContactsUrl, std::move(list), std::move(params), eh, m_log.complete(), nullptr, true, true); break;
    case 3: RestPatch(ContactsUrl, t, std::move(params), eh, m_log.complete(), nullptr, true, true); break;
    case 4: RestPut(ContactsUrl, std::move(list), std::move(params), eh, m_log.complete(), nullptr, true, true); break;
    case 5: RestPut(ContactsUrl, t, std::move(params), eh, m_log.complete(), nullptr, true, true); break;
    }
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "complete" }));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, method);
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(bodyObject(r).value(QStringLiteral("contact_name")), QJsonValue(QStringLiteral("Dewi")));
    QCOMPARE(bodyObject(r).size(), 6);
}

void tst_RestWrites::methodTextChoosesVerb_data()
{
    QTest::addColumn<QString>("methodText");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<bool>("hasBody");
    QTest::newRow("POST in capitals") << "POST" << QByteArray("POST") << true;
    QTest::newRow("Patch") << "Patch" << QByteArray("PATCH") << true;
    QTest::newRow("pUt") << "pUt" << QByteArray("PUT") << true;
    QTest::newRow("delete") << "delete" << QByteArray("DELETE") << false;
    QTest::newRow("remove") << "remove" << QByteArray("DELETE") << false;
    QTest::newRow("empty") << "" << QByteArray("DELETE") << false;
}

void tst_RestWrites::methodTextChoosesVerb()
{
    QFETCH(QString, methodText);
    QFETCH(QByteArray, method);
    QFETCH(bool, hasBody);
    m_contact->appendRows({ { 6, QStringLiteral("Eka") } });
    RestSendOne(methodText, ContactsUrl, m_contact.get(), nullptr, &m_errorHandler, m_log.complete(), nullptr,
                false, false);
    QVERIFY(waitFor(QStringLiteral("complete")));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, method);
    QCOMPARE(!r.body.isEmpty(), hasBody);
    if (!hasBody)
        QVERIFY(!r.hasHeader("Content-Type"));
}

void tst_RestWrites::deleteSendsNoBody()
{
    auto params = probedParams(m_log.entries);
    params->AddParam(QStringLiteral("contact_id"), 42, pdtInteger, ptPath);
    m_env->server.enqueue(Reply::json({}, 204));
    RestDelete(QStringLiteral("/crm/v1/master/contacts/{contact_id}"), std::move(params), &m_errorHandler,
               m_log.complete(), nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "complete" }));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("DELETE"));
    QCOMPARE(r.path, QStringLiteral("/crm/v1/master/contacts/42"));
    QCOMPARE(r.body, QByteArray());
    QVERIFY(m_env->presenter->messages.isEmpty());
}

void tst_RestWrites::deleteFailureShowsDialogWithoutCompletion()
{
    m_env->server.enqueue(Reply::json(R"({"message": "Contact is used by PO-4"})", 400));
    RestDelete(ContactsUrl, probedParams(m_log.entries), &m_errorHandler, m_log.complete(), nullptr, true, true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));
    QCOMPARE(m_env->presenter->texts(), QStringList({ "Contact is used by PO-4" }));

    m_log.entries.clear();
    m_env->server.enqueue(Reply::text("conflict", 409));
    RestDelete(ContactsUrl, probedParams(m_log.entries), &m_errorHandler, m_log.complete(), m_log.error(), true,
               true);
    QVERIFY(waitFor(QStringLiteral("error 409")));
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "error 409" }));
    QCOMPARE(m_log.lastErrorText, QStringLiteral("conflict"));
    QCOMPARE(m_env->presenter->messages.size(), 1);
}

void tst_RestWrites::writeWithoutListSendsEmptyBody()
{
    RestSend(QStringLiteral("post"), QStringLiteral("/prc/v1/po/4/release"), nullptr, nullptr, &m_errorHandler,
             m_log.complete(), nullptr, false, false);
    QVERIFY(waitFor(QStringLiteral("complete")));
    const RecordedRequest r = m_env->server.lastRequest();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.body, QByteArray());
    QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
}

void tst_RestWrites::bodyFailureSendsNothing()
{
    // a list without a master
    auto list = std::make_unique<TTableList>();
    list->AddTable(QStringLiteral("lines"), m_contact.get(), ttDetail);
    RestPost(ContactsUrl, std::move(list), probedParams(m_log.entries), &m_errorHandler, m_log.complete(), nullptr,
             true, true);
    QVERIFY(waitFor(QStringLiteral("hide")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, QStringList({ "release", "hide" }));
    QCOMPARE(m_env->presenter->texts(),
             QStringList({ "Server Error.\r\nThe table list has no entry named \"master\"" }));

    // a master without a current row, to the error callback
    m_log.entries.clear();
    RestPut(ContactsUrl, m_contact.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
            m_log.error(), false, false);
    QVERIFY(waitFor(QStringLiteral("error 500")));
    QCOMPARE(m_log.entries, QStringList({ "release", "error 500" }));
    QVERIFY(!m_log.lastErrorText.isEmpty());
    QCOMPARE(m_env->server.requestCount(), 0);
}

void tst_RestWrites::transportFailureOrder()
{
    m_contact->appendRows({ { 1 } });
    m_env->server.setHandler(
        [](const RecordedRequest &) { return Reply::withAction(Reply::Action::CloseWithoutAnswer); });
    RestPost(ContactsUrl, m_contact.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
             m_log.error(), true, true);
    QVERIFY(waitFor(QStringLiteral("error 500")));
    QTest::qWait(30);
    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "error 500" }));
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_RestWrites::writeDoesNotTouchTables()
{
    m_contact->appendRows({ { 1, QStringLiteral("A") }, { 2, QStringLiteral("B") } });
    m_contact->setRecNo(1);
    m_contact->setReadOnly(true);
    RestPost(ContactsUrl, m_contact.get(), nullptr, &m_errorHandler, m_log.complete(), nullptr, false, false);
    QVERIFY(!m_contact->controlsDisabled());
    QVERIFY(waitFor(QStringLiteral("complete")));
    QCOMPARE(bodyObject(m_env->server.lastRequest()).value(QStringLiteral("contact_id")), QJsonValue(2));
    QCOMPARE(m_contact->recordCount(), 2);
    QCOMPARE(m_contact->recNo(), 1);
    QVERIFY(m_contact->readOnly());
}

// The screen that asked closes before the answer: its tables go with it, and
// neither its callbacks nor an error dialog may run for it.
void tst_RestWrites::closedScreenGetsNoCallbacks()
{
    auto heldReply = [](int AStatus) {
        Reply r = Reply::json(R"({"errors": [{"key": "name", "message": "required"}]})", AStatus);
        r.delayMs = 300;
        return r;
    };
    m_contact->appendRows({ { 1, QStringLiteral("A") } });
    m_env->server.enqueue(heldReply(400));
    RestPatch(ContactsUrl, m_contact.get(), probedParams(m_log.entries), &m_errorHandler, m_log.complete(),
              m_log.error(), true, true);
    QVERIFY(m_env->server.waitForRequests(1));
    m_contact.reset();
    QVERIFY(waitFor(QStringLiteral("hide")));

    auto detail = contactTable();
    auto list = std::make_unique<TTableList>();
    list->AddTable(QStringLiteral("master"), detail.get(), ttMaster);
    m_env->server.enqueue(heldReply(422));
    RestGetDetail(ContactsUrl, std::move(list), false, probedParams(m_log.entries), &m_errorHandler,
                  m_log.complete(), nullptr, true, true);
    QVERIFY(m_env->server.waitForRequests(2));
    detail.reset();
    QTRY_COMPARE_WITH_TIMEOUT(m_log.count(QStringLiteral("hide")), 2, 5000);
    QTest::qWait(50);

    QCOMPARE(m_log.entries, QStringList({ "release", "hide", "release", "hide" }));
    QVERIFY(m_env->presenter->messages.isEmpty());
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

QTEST_MAIN(tst_RestWrites)
#include "tst_restwrites.moc"
