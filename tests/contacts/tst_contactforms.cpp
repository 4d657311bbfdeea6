#include "ContactEntryFrmU.h"
#include "ContactListFrmU.h"
#include "ErrorHandlerU.h"
#include "Localizer.h"
#include "RestScreenFixture.h"
#include "WaitDlgU.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

namespace {

namespace MR = Platform::ModalResult;

const QString ContactPath = QStringLiteral("/crm/v1/master/contacts/12");

const QByteArray Countries = R"({"data": [
    {"country_id": 100, "country_name": "Indonesia", "country_code": "ID"},
    {"country_id": 101, "country_name": "Malaysia", "country_code": "MY"}]})";
const QByteArray StatesId = R"({"data": [{"state_id": 1, "state_name": "Bali", "state_code": "BA"},
                                          {"state_id": 2, "state_name": "Jawa Barat", "state_code": "JB"}]})";
const QByteArray StatesMy = R"({"data": [{"state_id": 5, "state_name": "Johor", "state_code": "JHR"}]})";
const QByteArray Contact12 = R"({"data": [{"contact_id": 12, "customer_id": 7, "contact_name": "Budi Santoso",
    "job_position": "Buyer", "contact_type": 3, "title": "Mr", "street1": "Jl. Merdeka 1", "city": "Johor Bahru",
    "state_id": 5, "zip": "80000", "country_id": 101, "email": "budi@example.co.id", "is_active": false,
    "last_update": "2024-06-01 10:00:00", "partner_name": "not a field of the form"}]})";

QList<RecordedRequest> requestsTo(const TestHttpServer &AServer, const QByteArray &AMethod, const QString &APath)
{
    QList<RecordedRequest> result;
    for (const RecordedRequest &r : AServer.requests()) {
        if (r.method == AMethod && r.path == APath)
            result.append(r);
    }
    return result;
}

// The reference data every entry form reads when it opens, plus whatever
// the test scripts for the contact itself.
Reply lookupReply(const RecordedRequest &ARequest)
{
    if (ARequest.path == QLatin1String("/com/v1/master/countries"))
        return Reply::json(Countries);
    if (ARequest.path == QLatin1String("/com/v1/master/states"))
        return Reply::json(ARequest.queryValue(QStringLiteral("params")) == QLatin1String("101") ? StatesMy : StatesId);
    return Reply::json("{}");
}

QStringList visibleColumns(const TContactListFrm &AForm)
{
    QStringList captions;
    const QHeaderView *header = AForm.tvContact->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!AForm.tvContact->isColumnHidden(logical))
            captions.append(AForm.tblData->headerData(logical, Qt::Horizontal).toString());
    }
    return captions;
}

} // namespace

Q_DECLARE_METATYPE(Reply)

class tst_ContactForms : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void newContactStartsWithDefaultsAndIsPosted();
    void existingContactIsReadPatchedAndRefusalsKeepTheFormOpen();
    void countryChoiceReloadsStatesExceptWhileDeleting();
    void deleteAsksAndReportsItsOutcome_data();
    void deleteAsksAndReportsItsOutcome();
    void entryWithoutRecordOrLookupsStaysUsable();

    void contactListShowsTheCustomersContactsAndPicks();
    void contactListBadAnswers_data();
    void contactListBadAnswers();
    void captionsFollowTheShippedTranslation();

private:
    std::unique_ptr<RestScreenFixture> m_fixture;
    TestHttpServer *m_server = nullptr;
    RecordingPresenter *m_presenter = nullptr;
    TErrorHandler m_errors;

    // Sets what the calling screen sets and shows the form (which loads then).
    void showEntry(TContactEntryFrm &AFrm, TDataMode AMode, int AContactID, int ACountryID = -1)
    {
        AFrm.DataMode = AMode;
        if (AMode == dmAdd)
            AFrm.CustomerID = 7;
        else
            AFrm.ContactID = AContactID;
        if (ACountryID >= 0)
            AFrm.CountryID = ACountryID;
        AFrm.ErrorHandler = &m_errors;
        AFrm.show();
    }
};

void tst_ContactForms::init()
{
    // generous: slow runs (valgrind) must not turn into timeouts
    m_fixture = std::make_unique<RestScreenFixture>(10000);
    m_server = &m_fixture->server();
    m_presenter = m_fixture->presenter();
    m_errors.AddErrMessage(QStringLiteral("contact_name"), QStringLiteral("Name"), QString(), QString(), false);
}

void tst_ContactForms::cleanup()
{
    m_fixture.reset();
}

void tst_ContactForms::newContactStartsWithDefaultsAndIsPosted()
{
    m_server->setHandler([](const RecordedRequest &r) {
        if (r.method == "POST")
            return Reply::json(R"({"data": {"contact_id": 55}})", 201);
        return lookupReply(r);
    });
    TContactEntryFrm frm;
    showEntry(frm, dmAdd, 0, 100);
    QTRY_COMPARE(frm.cboCountry->currentText(), QStringLiteral("Indonesia"));
    QTRY_COMPARE(frm.tblState->recordCount(), 2);

    const RecordedRequest countries = requestsTo(*m_server, "GET", QStringLiteral("/com/v1/master/countries")).value(0);
    QCOMPARE(countries.queryValue(QStringLiteral("mode")), QStringLiteral("lookup"));
    QCOMPARE(countries.queryValue(QStringLiteral("showall")), QStringLiteral("1"));
    QCOMPARE(countries.queryValue(QStringLiteral("params")), QString());
    const auto states = requestsTo(*m_server, "GET", QStringLiteral("/com/v1/master/states"));
    QCOMPARE(states.size(), 1); // the country on show is the one asked for
    QCOMPARE(states[0].queryValue(QStringLiteral("params")), QStringLiteral("100"));
    QVERIFY(frm.rbContact->isChecked());
    QVERIFY(frm.chkActive->isChecked());
    QVERIFY(frm.btnDelete->isHidden());

    QTest::keyClicks(frm.edtName, QStringLiteral("Siti Rahma"));
    frm.rbInvoiceAddress->click();
    frm.cboTitle->setCurrentText(QStringLiteral("Ms"));
    frm.cboState->setCurrentIndex(1);
    emit frm.cboState->activated(1);
    QTest::keyClicks(frm.edtZip, QStringLiteral("40115-99")); // cut to the field's six characters
    frm.btnSave->click();
    frm.btnSave->click(); // a second click while the first save runs sends nothing
    QVERIFY(m_fixture->waitLoaded(3));
    QTRY_COMPARE(frm.result(), int(MR::Ok));

    const auto posts = requestsTo(*m_server, "POST", QStringLiteral("/crm/v1/master/contacts"));
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts[0].header("Content-Type"), QByteArray("application/json"));
    const QJsonObject body = QJsonDocument::fromJson(posts[0].body).object();
    QCOMPARE(body.value(QStringLiteral("customer_id")).toInt(), 7);
    QCOMPARE(body.value(QStringLiteral("contact_name")).toString(), QStringLiteral("Siti Rahma"));
    QCOMPARE(body.value(QStringLiteral("contact_type")).toInt(), 2);
    QCOMPARE(body.value(QStringLiteral("title")).toString(), QStringLiteral("Ms"));
    QCOMPARE(body.value(QStringLiteral("country_id")).toInt(), 100);
    QCOMPARE(body.value(QStringLiteral("state_id")).toInt(), 2);
    QCOMPARE(body.value(QStringLiteral("zip")).toString(), QStringLiteral("40115-"));
    QCOMPARE(body.value(QStringLiteral("is_active")), QJsonValue(true));
    QVERIFY(body.value(QStringLiteral("contact_id")).isNull());
    QCOMPARE(m_presenter->texts(), QStringList{ QStringLiteral("Data has been saved.") });
    QCOMPARE(frm.DataMode, dmBrowse);
}

void tst_ContactForms::existingContactIsReadPatchedAndRefusalsKeepTheFormOpen()
{
    // Given a contact of another country, whose first save is refused
    QAtomicInt patches = 0;
    m_server->setHandler([&patches](const RecordedRequest &r) {
        if (r.path == ContactPath && r.method == "GET")
            return Reply::json(Contact12);
        if (r.method == "PATCH") {
            if (patches.fetchAndAddOrdered(1) == 0)
                return Reply::json(R"({"errors": [{"key": "contact_name", "message": "contact_name cannot be empty"}]})", 400);
            return Reply::json(R"({"data": {"contact_id": 12}})");
        }
        return lookupReply(r);
    });
    TContactEntryFrm frm;
    showEntry(frm, dmEdit, 12, 100);
    QVERIFY(m_fixture->waitLoaded(3));

    // Then the record is on show, with its own country's states
    QTRY_COMPARE(frm.edtName->text(), QStringLiteral("Budi Santoso"));
    QVERIFY(frm.rbDeliveryAddress->isChecked());
    QVERIFY(!frm.chkActive->isChecked());
    QCOMPARE(frm.cboTitle->currentText(), QStringLiteral("Mr"));
    QTRY_COMPARE(frm.cboCountry->currentText(), QStringLiteral("Malaysia"));
    QTRY_COMPARE(frm.cboState->currentText(), QStringLiteral("Johor"));
    QCOMPARE(requestsTo(*m_server, "GET", QStringLiteral("/com/v1/master/states")).last().queryValue(
                 QStringLiteral("params")),
             QStringLiteral("101"));

    // When the user saves twice, the first refused
    frm.edtJobPosition->setText(QStringLiteral("Head Buyer"));
    frm.btnSave->click();
    QTRY_COMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->texts().first(), QStringLiteral("Name cannot be empty"));
    QVERIFY(frm.isVisible());
    QVERIFY(frm.btnSave->isEnabled());
    frm.btnSave->click();
    QTRY_COMPARE(frm.result(), int(MR::Ok));

    const auto sent = requestsTo(*m_server, "PATCH", ContactPath);
    QCOMPARE(sent.size(), 2);
    const QJsonObject body = QJsonDocument::fromJson(sent[1].body).object();
    QCOMPARE(body.value(QStringLiteral("contact_id")).toInt(), 12);
    QCOMPARE(body.value(QStringLiteral("job_position")).toString(), QStringLiteral("Head Buyer"));
    QCOMPARE(body.value(QStringLiteral("state_id")).toInt(), 5);
    QVERIFY(!body.contains(QStringLiteral("partner_name")));
    QCOMPARE(m_presenter->texts().last(), QStringLiteral("Data has been saved."));
    QCOMPARE(frm.DataMode, dmEdit);
}

void tst_ContactForms::countryChoiceReloadsStatesExceptWhileDeleting()
{
    m_server->setHandler([](const RecordedRequest &r) {
        if (r.path == ContactPath && r.method == "GET")
            return Reply::json(Contact12);
        if (r.method == "DELETE") {
            Reply slow = Reply::json(R"({"message": "Contact 12 deleted."})");
            slow.delayMs = 400;
            return slow;
        }
        return lookupReply(r);
    });
    TContactEntryFrm frm;
    showEntry(frm, dmEdit, 12, 101);
    QTRY_COMPARE(frm.cboState->currentText(), QStringLiteral("Johor"));
    const int statesBefore = requestsTo(*m_server, "GET", QStringLiteral("/com/v1/master/states")).size();

    // choosing Indonesia asks for its states and forgets the Malaysian state
    frm.cboCountry->setCurrentIndex(0);
    emit frm.cboCountry->activated(0);
    QTRY_COMPARE(frm.tblState->recordCount(), 2);
    const auto states = requestsTo(*m_server, "GET", QStringLiteral("/com/v1/master/states"));
    QCOMPARE(states.size(), statesBefore + 1);
    QCOMPARE(states.last().queryValue(QStringLiteral("params")), QStringLiteral("100"));
    QCOMPARE(frm.tblData->value(QStringLiteral("country_id")).toInt(), 100);
    QCOMPARE(frm.tblData->value(QStringLiteral("state_id")).toInt(), 0);
    QCOMPARE(frm.cboState->currentIndex(), -1);

    // while the delete runs, a country change reloads nothing
    frm.btnDelete->show();
    frm.btnDelete->click();
    QVERIFY(frm.IsLoading);
    frm.cboCountry->setCurrentIndex(1);
    emit frm.cboCountry->activated(1);
    QTRY_COMPARE(frm.result(), int(MR::Ok));
    QVERIFY(!frm.IsLoading);
    QCOMPARE(requestsTo(*m_server, "GET", QStringLiteral("/com/v1/master/states")).size(), statesBefore + 1);
}

void tst_ContactForms::deleteAsksAndReportsItsOutcome_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<int>("deletes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("result");

    QTest::newRow("no") << int(MR::No) << Reply() << 0 << QString() << 0;
    QTest::newRow("deleted") << int(MR::Yes) << Reply::json(R"({"message": "Contact 12 deleted."})") << 1
                             << QStringLiteral("Data has been deleted.") << int(MR::Ok);
    QTest::newRow("refused") << int(MR::Yes) << Reply::json(R"({"message": "Contact 12 not found."})", 404) << 1
                             << QStringLiteral("Contact 12 not found.") << 0;
    QTest::newRow("no envelope") << int(MR::Yes) << Reply::text("upstream broke", 502) << 1
                                 << QStringLiteral("Server Error.") << 0;
    // -1: the transport may resend an idempotent request once on a dropped connection
    QTest::newRow("connection dropped") << int(MR::Yes) << Reply::withAction(Reply::Action::CloseWithoutAnswer) << -1
                                        << QStringLiteral("*") << 0;
}

void tst_ContactForms::deleteAsksAndReportsItsOutcome()
{
    QFETCH(int, answer);
    QFETCH(Reply, reply);
    QFETCH(int, deletes);
    QFETCH(QString, message);
    QFETCH(int, result);

    m_server->setHandler([reply](const RecordedRequest &r) {
        if (r.path == ContactPath && r.method == "GET")
            return Reply::json(Contact12);
        if (r.method == "DELETE")
            return reply;
        return lookupReply(r);
    });
    TContactEntryFrm frm;
    showEntry(frm, dmEdit, 12);
    QTRY_COMPARE(frm.edtName->text(), QStringLiteral("Budi Santoso"));
    // every read done, the states of the contact's country included
    QTRY_COMPARE(frm.cboState->currentText(), QStringLiteral("Johor"));
    QVERIFY(m_fixture->waitLoaded(4));
    const int before = m_server->requestCount();

    m_presenter->queueAnswer(answer);
    frm.btnDelete->show();
    frm.btnDelete->click();
    if (deletes)
        QVERIFY(m_fixture->waitLoaded(before + 1));
    QTRY_VERIFY(!frm.IsLoading);
    QTRY_COMPARE(m_presenter->messages.size(), message.isEmpty() ? 1 : 2);
    QTest::qWait(50); // nothing more comes
    QVERIFY2(m_presenter->messages.size() == (message.isEmpty() ? 1 : 2), qPrintable(m_presenter->texts().join(u'|')));

    QCOMPARE(m_presenter->texts().first(), QStringLiteral("Are you sure to delete this data?"));
    const auto sent = requestsTo(*m_server, "DELETE", ContactPath);
    if (deletes < 0)
        QVERIFY(sent.size() == 1 || sent.size() == 2);
    else
        QCOMPARE(sent.size(), deletes);
    if (message == QLatin1String("*"))
        QVERIFY(!m_presenter->texts().last().isEmpty()); // the transport's own words
    else if (!message.isEmpty())
        QCOMPARE(m_presenter->texts().last(), message);
    QCOMPARE(frm.result(), result);
    QCOMPARE(frm.isVisible(), result == 0);
    QCOMPARE(WaitDlg->ProcessCount(), 0);
}

void tst_ContactForms::entryWithoutRecordOrLookupsStaysUsable()
{
    // Given garbage for the lookups and an empty answer for the record
    m_server->setHandler([](const RecordedRequest &r) {
        if (r.path == ContactPath)
            return Reply::json(R"({"data": []})");
        if (r.path.endsWith(QLatin1String("countries")))
            return Reply::withAction(Reply::Action::Garbage, "\x01\x02 not http");
        return Reply::json(R"({"data": [{"state_id": "x", "state_name": 5}, 7, null]})");
    });
    TContactEntryFrm frm;
    showEntry(frm, dmEdit, 12);
    QVERIFY(m_fixture->waitLoaded(3));
    QTRY_COMPARE(frm.tblState->recordCount(), 1);
    QTRY_VERIFY(!m_presenter->messages.isEmpty()); // the countries' transport failure

    // Then typing and saving send nothing, and Cancel still closes
    const int before = m_server->requestCount();
    frm.edtName->setText(QStringLiteral("typed"));
    frm.btnSave->click();
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), before);
    QCOMPARE(frm.tblData->recordCount(), 0);
    frm.btnCancel->click();
    QCOMPARE(frm.result(), int(MR::Cancel));
}

void tst_ContactForms::contactListShowsTheCustomersContactsAndPicks()
{
    m_server->setHandler([](const RecordedRequest &) {
        return Reply::json(R"({"data": {"partner_id": 7, "partner_name": "PT Maju", "contact_name": "primary",
            "contacts": [{"contact_id": 3, "contact_name": "Ani", "contact_type_c": "Contact", "phone": "021-1"},
                         "not a row",
                         {"contact_id": 4, "contact_name": "Budi", "partner_name": "PT Maju", "mobile": "0812",
                          "email": "b@maju.id", "is_active": true}]}})");
    });
    TContactListFrm frm;
    frm.CustomerID = 7;
    frm.ErrorHandler = &m_errors;
    QCOMPARE(visibleColumns(frm), QStringList({ "Type", "Contact Name", "Position", "Phone", "Mobile", "Email" }));
    frm.show();
    frm.btnSave->click(); // nothing to pick yet
    QVERIFY(frm.isVisible());
    frm.LoadData();
    QVERIFY(frm.IsLoading);
    QVERIFY(m_fixture->waitLoaded(1));
    QVERIFY(!frm.IsLoading);

    const RecordedRequest req = m_server->lastRequest();
    QCOMPARE(req.method, QByteArray("GET"));
    QCOMPARE(req.path, QStringLiteral("/crm/v1/master/customers/7"));
    QVERIFY(req.header("Authorization").startsWith("Bearer "));
    QCOMPARE(frm.tblData->recordCount(), 2);
    QCOMPARE(frm.tblData->cell(0, frm.tblData->fieldIndex(QStringLiteral("partner_name"))).toString(),
             QStringLiteral("PT Maju"));

    const QPoint at = frm.tvContact->visualRect(frm.tblData->index(1, 1)).center();
    QTest::mouseClick(frm.tvContact->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(frm.tvContact->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(frm.result(), int(MR::Ok));
    QCOMPARE(frm.tblData->value(QStringLiteral("contact_name")).toString(), QStringLiteral("Budi"));
    QVERIFY(m_presenter->messages.isEmpty());

    // a server that sends the record alone gives it as the one row
    m_server->setHandler([](const RecordedRequest &) {
        return Reply::json(R"({"data": {"contact_id": 9, "contact_name": "Citra", "image_id": "x"}})");
    });
    frm.LoadData();
    QVERIFY(m_fixture->waitLoaded(2));
    QCOMPARE(frm.tblData->recordCount(), 1);
    QCOMPARE(frm.tblData->value(QStringLiteral("contact_id")).toInt(), 9);
    QVERIFY(frm.tblData->value(QStringLiteral("image_id")).isNull());
}

void tst_ContactForms::contactListBadAnswers_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << Reply::json(R"({"data": {"contacts": []}})") << QString();
    QTest::newRow("data not an object") << Reply::json(R"({"data": [1, 2]})") << QString();
    QTest::newRow("not json") << Reply::json("{\"data\": {\"contact_id\": 1") << QString();
    QTest::newRow("401") << Reply::json(R"({"message": "expired"})", 401)
                         << QStringLiteral("Session has expired, please re-login.");
    QTest::newRow("errors envelope") << Reply::json(R"({"errors": [{"key": "contact_name", "message": "contact_name is odd"}]})", 400)
                                     << QStringLiteral("Name is odd");
    QTest::newRow("failure without envelope") << Reply::text("", 500) << QStringLiteral("Server Error.");
    QTest::newRow("half a body") << Reply::withAction(Reply::Action::PartialBodyThenClose, R"({"data": {"contact_id": 1}})")
                                 << QStringLiteral("*");
}

void tst_ContactForms::contactListBadAnswers()
{
    QFETCH(Reply, reply);
    QFETCH(QString, message);
    m_server->enqueue(reply);
    TContactListFrm frm;
    frm.CustomerID = 7;
    frm.ErrorHandler = &m_errors;
    frm.show();
    frm.LoadData();
    QVERIFY(m_fixture->waitLoaded(1));
    QTRY_VERIFY(!frm.IsLoading);

    QCOMPARE(frm.tblData->recordCount(), 0);
    if (message.isEmpty())
        QVERIFY(m_presenter->messages.isEmpty());
    else if (message == QLatin1String("*"))
        QCOMPARE(m_presenter->messages.size(), 1);
    else
        QCOMPARE(m_presenter->texts(), QStringList{ message });
    // usable still: only Cancel closes an empty list
    frm.btnSave->click();
    QVERIFY(frm.isVisible());
    frm.btnCancel->click();
    QCOMPARE(frm.result(), int(MR::Cancel));
}

void tst_ContactForms::captionsFollowTheShippedTranslation()
{
    TContactListFrm list;
    TContactEntryFrm entry;
    QCOMPARE(entry.rbInvoiceAddress->text(), QStringLiteral("Invoice Address"));
    {
        // the lang.ini shipped beside the program
        Platform::Localizer loc;
        loc.setFileName(QStringLiteral("lang.ini"));
        loc.setActive(true);
        loc.setLanguageIndex(0);
        QCOMPARE(list.windowTitle(), QStringLiteral("Daftar Kontak"));
        QCOMPARE(visibleColumns(list),
                 QStringList({ "Jenis", "Nama Kontak", "Jabatan", "Telepon", "Ponsel", "Email" }));
        QCOMPARE(entry.windowTitle(), QStringLiteral("Kontak Baru"));
        QCOMPARE(entry.rbDeliveryAddress->text(), QStringLiteral("Alamat Pengiriman"));
        QCOMPARE(entry.btnDelete->text(), QStringLiteral("Hapus"));
    }
    Platform::ResourceStringRepository::instance().setTranslations({});
    QCOMPARE(entry.windowTitle(), QStringLiteral("New Contact"));
}

QTEST_MAIN(tst_ContactForms)
#include "tst_contactforms.moc"
