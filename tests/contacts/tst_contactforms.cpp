#include "ContactEntryFrmU.h"
#include "ContactListFrmU.h"
#include "ErrorHandlerU.h"
#include "RestScreenFixture.h"

#include <QComboBox>
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
    "job_position": "Buyer", "contact_type": 3, "city": "Johor Bahru", "state_id": 5, "country_id": 101,
    "is_active": false, "partner_name": "not a field of the form"}]})";

// Contact 12, the reference data every entry form reads when it opens, and
// AWrite for any write.
TestHttpServer::Handler serving(const QByteArray &AWrite, int AStatus = 200)
{
    return [=](const RecordedRequest &ARequest) {
        if (ARequest.method != "GET")
            return Reply::json(AWrite, AStatus);
        if (ARequest.path == ContactPath)
            return Reply::json(Contact12);
        if (ARequest.path == QLatin1String("/com/v1/master/countries"))
            return Reply::json(Countries);
        return Reply::json(ARequest.queryValue(QStringLiteral("params")) == QLatin1String("101") ? StatesMy : StatesId);
    };
}

} // namespace

class tst_ContactForms : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void newContactIsPostedOnce();
    void existingContactIsReadPatchedAndCountryChangeClearsTheState();
    void deleteOnlyWhenConfirmed();
    void contactListShowsTheCustomersContactsAndPicks();
    void contactAsOneObjectAndNoSilentSave();
    void writeInFlightKeepsTheFormOpen();
    void typingBeforeTheRecordIsRefused();
    void unansweredWriteIsNotToldToBeTriedAgain();

private:
    std::unique_ptr<RestScreenFixture> m_fixture;
    TestHttpServer *m_server = nullptr;
    RecordingPresenter *m_presenter = nullptr;
    TErrorHandler m_errors;
    void showEntry(TContactEntryFrm &AFrm, TDataMode AMode, int ACountryID = -1)
    {
        AFrm.DataMode = AMode;
        AFrm.CustomerID = 7;
        AFrm.ContactID = AMode == dmAdd ? 0 : 12;
        if (ACountryID >= 0)
            AFrm.CountryID = ACountryID;
        AFrm.ErrorHandler = &m_errors;
        AFrm.show();
    }
    // The stored contact shown, then Delete, answered Yes.
    void deleteShownContact(TContactEntryFrm &AFrm)
    {
        showEntry(AFrm, dmEdit);
        QTRY_COMPARE(AFrm.cboState->currentText(), QStringLiteral("Johor"));
        AFrm.btnDelete->show();
        m_presenter->queueAnswer(MR::Yes);
        AFrm.btnDelete->click();
    }
};

void tst_ContactForms::init()
{
    m_fixture = std::make_unique<RestScreenFixture>(10000);
    m_server = &m_fixture->server();
    m_presenter = m_fixture->presenter();
}

void tst_ContactForms::cleanup()
{
    m_fixture.reset();
}

void tst_ContactForms::newContactIsPostedOnce()
{
    m_server->setHandler(serving(R"({"data": {"contact_id": 55}})", 201));
    TContactEntryFrm frm;
    showEntry(frm, dmAdd, 100);
    QTRY_COMPARE(frm.cboCountry->currentText(), QStringLiteral("Indonesia"));
    QTRY_COMPARE(frm.tblState->recordCount(), 2);
    QTest::keyClicks(frm.edtName, QStringLiteral("Siti Rahma"));
    frm.rbInvoiceAddress->click();
    frm.cboState->setCurrentIndex(1);
    emit frm.cboState->activated(1);
    frm.btnSave->click();
    frm.btnSave->click(); // a second click while the first save runs sends nothing
    QVERIFY(m_fixture->waitLoaded(3));
    QTRY_COMPARE(frm.result(), int(MR::Ok));
    const auto posts = m_server->requestsTo("POST", QStringLiteral("/crm/v1/master/contacts"));
    QCOMPARE(posts.size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(posts[0].body).object();
    QCOMPARE(body.value(QStringLiteral("customer_id")).toInt(), 7);
    QCOMPARE(body.value(QStringLiteral("contact_name")).toString(), QStringLiteral("Siti Rahma"));
    QCOMPARE(body.value(QStringLiteral("contact_type")).toInt(), 2);
    QCOMPARE(body.value(QStringLiteral("country_id")).toInt(), 100);
    QCOMPARE(body.value(QStringLiteral("state_id")).toInt(), 2);
    QVERIFY(body.value(QStringLiteral("contact_id")).isNull());
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
}

void tst_ContactForms::existingContactIsReadPatchedAndCountryChangeClearsTheState()
{
    m_server->setHandler(serving(R"({"data": {"contact_id": 12}})"));
    TContactEntryFrm frm;
    showEntry(frm, dmEdit, 100);
    QVERIFY(m_fixture->waitLoaded(3));
    QTRY_COMPARE(frm.edtName->text(), QStringLiteral("Budi Santoso"));
    QVERIFY(frm.rbDeliveryAddress->isChecked());
    QTRY_COMPARE(frm.cboCountry->currentText(), QStringLiteral("Malaysia"));
    QTRY_COMPARE(frm.cboState->currentText(), QStringLiteral("Johor"));
    const int statesRead = m_server->requestsTo("GET", QStringLiteral("/com/v1/master/states")).size();
    frm.cboCountry->setCurrentIndex(0);
    emit frm.cboCountry->activated(0);
    QTRY_COMPARE(frm.tblState->recordCount(), 2);
    const auto states = m_server->requestsTo("GET", QStringLiteral("/com/v1/master/states"));
    QCOMPARE(states.size(), statesRead + 1);
    QCOMPARE(states.last().queryValue(QStringLiteral("params")), QStringLiteral("100"));
    QCOMPARE(frm.cboState->currentIndex(), -1);
    frm.edtJobPosition->setText(QStringLiteral("Head Buyer"));
    frm.btnSave->click();
    QTRY_COMPARE(frm.result(), int(MR::Ok));
    const auto sent = m_server->requestsTo("PATCH", ContactPath);
    QCOMPARE(sent.size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(sent[0].body).object();
    QCOMPARE(body.value(QStringLiteral("contact_id")).toInt(), 12);
    QCOMPARE(body.value(QStringLiteral("job_position")).toString(), QStringLiteral("Head Buyer"));
    QCOMPARE(body.value(QStringLiteral("country_id")).toInt(), 100);
    QCOMPARE(body.value(QStringLiteral("state_id")).toInt(), 0);
    QVERIFY(!body.contains(QStringLiteral("partner_name")));
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
}

void tst_ContactForms::deleteOnlyWhenConfirmed()
{
    m_server->setHandler(serving(R"({"message": "Contact 12 deleted."})"));
    TContactEntryFrm frm;
    showEntry(frm, dmEdit);
    QTRY_COMPARE(frm.cboState->currentText(), QStringLiteral("Johor")); // every read done
    QVERIFY(m_fixture->waitLoaded(4));
    frm.btnDelete->show();
    const QString question = QStringLiteral("Are you sure to delete this data?");
    m_presenter->queueAnswer(MR::No);
    frm.btnDelete->click();
    QTest::qWait(50);
    QCOMPARE(m_presenter->texts(), QStringList { question });
    QCOMPARE(m_server->requestCount(), 4);
    QVERIFY(frm.isVisible());
    m_presenter->queueAnswer(MR::Yes);
    frm.btnDelete->click();
    QTRY_COMPARE(frm.result(), int(MR::Ok));
    QCOMPARE(m_presenter->texts(), QStringList({ question, question, QStringLiteral("Data has been deleted.") }));
    QCOMPARE(m_server->requestsTo("DELETE", ContactPath).size(), 1);
    QVERIFY(!frm.isVisible());
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
    frm.show();
    frm.LoadData();
    QVERIFY(m_fixture->waitLoaded(1));
    QCOMPARE(m_server->lastRequest().path, QStringLiteral("/crm/v1/master/customers/7"));
    // one row per contact; what is not a contact is left out
    QCOMPARE(frm.tblData->recordCount(), 2);
    const QModelIndex cell = frm.tvContact->model()->index(1, 1);
    // nothing in the grid can be changed, check boxes included
    for (int column = 0; column < frm.tvContact->model()->columnCount(); ++column)
        QVERIFY(!(frm.tvContact->model()->index(1, column).flags() & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)));
    const QPoint at = frm.tvContact->visualRect(cell).center();
    QTest::mouseClick(frm.tvContact->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(frm.tvContact->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(frm.result(), int(MR::Ok));
    QCOMPARE(frm.tblData->value(QStringLiteral("contact_name")).toString(), QStringLiteral("Budi"));
    QVERIFY(m_presenter->messages.isEmpty());
}

// The server's usual shape of one record, "data" as an object, fills the
// form; a save never ends in silence: no record, or a failure without the
// caller's error handler, is still told.
void tst_ContactForms::contactAsOneObjectAndNoSilentSave()
{
    QByteArray contactRead = R"({"data": {"contact_id": 12, "customer_id": 7, "contact_name": "Budi Santoso",
        "contact_type": 2, "country_id": 100, "state_id": 1, "is_active": true}})";
    int contactStatus = 200;
    Reply write = Reply::json(R"({"message": "saved"})");
    QMutex mutex; // the server answers on its own thread
    const auto answer = [&](const QByteArray &ARead, int AStatus, const Reply &AWrite) {
        QMutexLocker lock(&mutex);
        contactRead = ARead;
        contactStatus = AStatus;
        write = AWrite;
    };
    m_server->setHandler([&](const RecordedRequest &ARequest) {
        QMutexLocker lock(&mutex);
        if (ARequest.method != "GET")
            return write;
        if (ARequest.path == ContactPath)
            return Reply::json(contactRead, contactStatus);
        return serving({})(ARequest);
    });
    {
        TContactEntryFrm frm;
        showEntry(frm, dmEdit, 100);
        QVERIFY(m_fixture->waitLoaded(3));
        QTRY_COMPARE(frm.edtName->text(), QStringLiteral("Budi Santoso"));
        QVERIFY(frm.rbInvoiceAddress->isChecked());
        QCOMPARE(frm.tblData->recordCount(), 1);
        QTRY_COMPARE(frm.cboState->currentText(), QStringLiteral("Bali"));
        frm.btnSave->click();
        QTRY_COMPARE(frm.result(), int(MR::Ok));
        QCOMPARE(m_server->requestsTo("PATCH", ContactPath).size(), 1);
        QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
    }

    // the read failed: nothing to save, and the user is told so
    m_presenter->clear();
    answer(R"({"message": "no such contact"})", 404, write);
    {
        TContactEntryFrm frm;
        showEntry(frm, dmEdit, 100);
        QTRY_COMPARE(m_presenter->messages.size(), 1);
        QVERIFY(m_fixture->waitLoaded(3));
        m_presenter->clear();
        const int sent = m_server->requestCount();
        frm.btnSave->click();
        QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("There is no data to save.") });
        QTest::qWait(50);
        QCOMPARE(m_server->requestCount(), sent);
        QVERIFY(frm.isVisible());
    }

    // a failed save with no error handler set still tells the user
    m_presenter->clear();
    answer(R"({"data": [{"contact_id": 12, "contact_name": "Budi Santoso"}]})", 200,
           Reply::text("<html><body>502 Bad Gateway</body></html>", 502));
    {
        TContactEntryFrm frm;
        frm.DataMode = dmEdit;
        frm.ContactID = 12;
        frm.ErrorHandler = nullptr;
        frm.show();
        QVERIFY(m_fixture->waitLoaded(3));
        QTRY_COMPARE(frm.edtName->text(), QStringLiteral("Budi Santoso"));
        frm.btnSave->click();
        QTRY_COMPARE(m_presenter->messages.size(), 1);
        QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Server Error.") });
        QVERIFY(frm.btnSave->isEnabled());
        QVERIFY(frm.isVisible());
    }
}

// Escape while a save or a delete is on its way: the server may apply it, so
// the form stays until the answer says how it went, and the caller hears it.
void tst_ContactForms::writeInFlightKeepsTheFormOpen()
{
    auto slowWrites = [](const QByteArray &AWrite) {
        return [get = serving(QByteArray()), AWrite](const RecordedRequest &ARequest) {
            if (ARequest.method == "GET")
                return get(ARequest);
            Reply r = Reply::json(AWrite);
            r.delayMs = 300;
            return r;
        };
    };
    m_server->setHandler(slowWrites(R"({"data": {"contact_id": 55}})"));
    {
        TContactEntryFrm frm;
        showEntry(frm, dmAdd, 100);
        QTRY_COMPARE(frm.cboCountry->currentText(), QStringLiteral("Indonesia"));
        QTest::keyClicks(frm.edtName, QStringLiteral("Siti Rahma"));
        frm.btnSave->click();
        QTRY_COMPARE(m_server->requestsTo("POST", QStringLiteral("/crm/v1/master/contacts")).size(), 1);
        QTest::keyClick(&frm, Qt::Key_Escape);
        QVERIFY(frm.isVisible());
        QTRY_COMPARE(frm.result(), int(MR::Ok));
        QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
    }

    m_presenter->clear();
    m_server->setHandler(slowWrites(R"({"message": "Contact 12 deleted."})"));
    TContactEntryFrm frm;
    deleteShownContact(frm);
    QTRY_COMPARE(m_server->requestsTo("DELETE", ContactPath).size(), 1);
    QVERIFY(!frm.close()); // the window's own close button
    QVERIFY(frm.isVisible());
    QTRY_COMPARE(frm.result(), int(MR::Ok));
    QCOMPARE(m_presenter->texts().last(), QStringLiteral("Data has been deleted."));
}

// What a user types while the contact is still on its way would be replaced
// by it: the form takes input only once the record is shown.
void tst_ContactForms::typingBeforeTheRecordIsRefused()
{
    m_server->setHandler([get = serving(QByteArray())](const RecordedRequest &ARequest) {
        Reply r = get(ARequest);
        if (ARequest.path == ContactPath)
            r.delayMs = 400;
        return r;
    });
    TContactEntryFrm frm;
    showEntry(frm, dmEdit, 100);
    QTest::keyClicks(frm.edtName, QStringLiteral("Typed early"));
    QCOMPARE(frm.edtName->text(), QString());
    QVERIFY(!frm.cboCountry->isEnabled());
    QTRY_COMPARE(frm.edtName->text(), QStringLiteral("Budi Santoso"));
    QVERIFY(frm.cboCountry->isEnabled());
    QTest::keyClicks(frm.edtName, QStringLiteral(" Jr"));
    QCOMPARE(frm.tblData->value(QStringLiteral("contact_name")).toString(), QStringLiteral("Budi Santoso Jr"));
}

// The server took the write and went silent: it may have applied it. Told
// to "try again", the user would save the contact a second time.
void tst_ContactForms::unansweredWriteIsNotToldToBeTriedAgain()
{
    const QString told = QStringLiteral("The server failed to give a complete answer. It may have applied the change: "
                                        "check the data before you try again.");
    auto silentWrites = [get = serving(QByteArray())](const RecordedRequest &ARequest) {
        return ARequest.method == "GET" ? get(ARequest) : Reply::withAction(Reply::Action::CloseWithoutAnswer);
    };
    m_server->setHandler(silentWrites);
    {
        TContactEntryFrm frm;
        showEntry(frm, dmAdd, 100);
        QTRY_COMPARE(frm.cboCountry->currentText(), QStringLiteral("Indonesia"));
        QTest::keyClicks(frm.edtName, QStringLiteral("Siti Rahma"));
        frm.btnSave->click();
        QTRY_COMPARE(m_presenter->texts(), QStringList { told });
        QCOMPARE(m_server->requestsTo("POST", QStringLiteral("/crm/v1/master/contacts")).size(), 1);
    }

    m_presenter->clear();
    TContactEntryFrm frm;
    deleteShownContact(frm);
    QTRY_COMPARE(m_presenter->texts().size(), 2);
    QCOMPARE(m_presenter->texts().last(), told);
    QVERIFY(frm.isVisible());
}

QTEST_MAIN(tst_ContactForms)
#include "tst_contactforms.moc"
