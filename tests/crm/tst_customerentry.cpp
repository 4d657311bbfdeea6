// The customer entry screen of the CRM module, created by class name from
// the loaded plugin and driven through its controls: add and edit, the
// bodies it sends, the validation and server messages it shows, and the
// unsaved-changes guard.
#include "ContactEntryFrmU.h"
#include "ContactListFrmU.h"
#include "CrmTestSupport.h"
#include "EmpListFrmU.h"
#include "Report.h"
#include "ResourceStrings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTableView>
#include <functional>

using namespace CrmTest;
using Platform::MessageKind;
namespace ModalResult = Platform::ModalResult;

namespace {

QLineEdit *edit(const QObject *AForm, const char *AName)
{
    return control<QLineEdit>(AForm, AName);
}

void typeInto(QLineEdit *AEdit, const QString &AText)
{
    AEdit->selectAll();
    if (AText.isEmpty())
        QTest::keyClick(AEdit, Qt::Key_Delete);
    else
        QTest::keyClicks(AEdit, AText);
}

bool dialogOpen(const QDialog &ADialog)
{
    return ADialog.isVisible();
}

} // namespace

class tst_CustomerEntry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void newScreenStartsAddMode();
    void addPostsTheTypedCustomer();
    void validationMessagesShownWordForWord_data();
    void validationMessagesShownWordForWord();
    void serverErrorsNamedByCaption();
    void transportFailureGivesSaveBack();
    void editLoadsRecordAndPatchesIt();
    void unknownCustomerCannotBeEdited();
    void closeAsksOnlyWithUnsavedChanges_data();
    void closeAsksOnlyWithUnsavedChanges();
    void runningSaveKeepsScreenOpen();
    void captionsAndMessagesFollowLanguage();
    void savedCustomerOpensContactsAndPrintsItsCard();

private:
    // Shows AForm modally; ASteps runs while the dialog is up. Returns the
    // dialog's result, or ModalResult::None when it is still open.
    int runModal(TBaseChildFrm *AForm, const std::function<void(QDialog &)> &ASteps);
    void fillRequired(QObject *AForm);

    std::unique_ptr<TPackageList> m_packages;
    RecordingPresenter *m_presenter = nullptr;
    std::unique_ptr<TestHttpServer> m_server;
};

void tst_CustomerEntry::initTestCase()
{
    m_presenter = RecordingPresenter::install();
    m_packages = loadCrmModule();
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(QLatin1Char('\n'))));
    QVERIFY(Platform::ClassRegistry::instance().contains(EntryClass));
    m_server = std::make_unique<TestHttpServer>();
    connectRestClient(*m_server);
}

void tst_CustomerEntry::cleanupTestCase()
{
    disconnectRestClient();
    m_server.reset();
    m_packages->UnloadPackageData();
    QVERIFY(!Platform::ClassRegistry::instance().contains(EntryClass));
    m_packages.reset();
}

void tst_CustomerEntry::init()
{
    m_presenter->clear();
    m_presenter->modalScript = nullptr;
    m_server->setHandler({});
    m_server->clear();
}

void tst_CustomerEntry::cleanup()
{
    Platform::ResourceStringRepository::instance().setTranslations({});
    // let late answers land before the next test counts requests
    QTest::qWait(20);
}

int tst_CustomerEntry::runModal(TBaseChildFrm *AForm, const std::function<void(QDialog &)> &ASteps)
{
    m_presenter->modalScript = [&](QDialog &ADialog) {
        ADialog.show();
        ASteps(ADialog);
        return dialogOpen(ADialog) ? int(ModalResult::None) : ADialog.result();
    };
    const int result = AForm->ShowModal();
    m_presenter->modalScript = nullptr;
    return result;
}

void tst_CustomerEntry::fillRequired(QObject *AForm)
{
    typeInto(edit(AForm, "edtCode"), QStringLiteral("C-001"));
    typeInto(edit(AForm, "edtName"), QStringLiteral("PT Maju Jaya"));
}

void tst_CustomerEntry::newScreenStartsAddMode()
{
    auto form = createScreen(EntryClass);
    QVERIFY(form);
    form->show();

    QCOMPARE(form->DataMode(), dmAdd);
    QCOMPARE(form->windowTitle(), QStringLiteral("New Customer"));
    QVERIFY(!form->IsNeedSaving());
    QVERIFY(control<QGroupBox>(form.get(), "grpCustomer")->isEnabled());
    QVERIFY(control<QPushButton>(form.get(), "btnSave")->isEnabled());
    QCOMPARE(control<QPushButton>(form.get(), "btnSave")->text(), QStringLiteral("Save"));
    QCOMPARE(control<QPushButton>(form.get(), "btnCancel")->text(), QStringLiteral("Cancel"));
    // a new customer is active: nothing to choose
    QVERIFY(control<QCheckBox>(form.get(), "chkActive")->isHidden());
    auto *layout = qobject_cast<QFormLayout *>(control<QGroupBox>(form.get(), "grpCustomer")->layout());
    QVERIFY(layout);
    QCOMPARE(qobject_cast<QLabel *>(layout->labelForField(edit(form.get(), "edtCode")))->text(),
             QStringLiteral("Customer Code:"));
    QCOMPARE(qobject_cast<QLabel *>(layout->labelForField(edit(form.get(), "edtEmail")))->text(),
             QStringLiteral("Email:"));
    QCOMPARE(edit(form.get(), "edtCode")->maxLength(), 20);

    typeInto(edit(form.get(), "edtName"), QStringLiteral("x"));
    QVERIFY(form->IsNeedSaving());
    QCOMPARE(m_server->requestCount(), 0);
}

void tst_CustomerEntry::addPostsTheTypedCustomer()
{
    m_server->enqueue(Reply::json(R"({"data":{"partner_id":601}})", 201));
    auto form = createScreen(EntryClass);

    const int result = runModal(form.get(), [&](QDialog &) {
        fillRequired(form.get());
        typeInto(edit(form.get(), "edtIndustry"), QStringLiteral("Retail"));
        QTest::keyClicks(control<QPlainTextEdit>(form.get(), "memAddress"), QStringLiteral("Jl. Sudirman 1"));
        typeInto(edit(form.get(), "edtCity"), QStringLiteral("  Jakarta  "));
        typeInto(edit(form.get(), "edtPhone"), QStringLiteral("021-555"));
        typeInto(edit(form.get(), "edtEmail"), QStringLiteral("info@maju.co.id"));
        QVERIFY(form->IsNeedSaving());
        control<QPushButton>(form.get(), "btnSave")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialogOpen(*form->ModalDialog()); }, 5000));
    });

    QCOMPARE(result, int(ModalResult::Ok));
    QCOMPARE(m_server->requestCount(), 1);
    const RecordedRequest post = m_server->lastRequest();
    QCOMPARE(post.method, QByteArray("POST"));
    QCOMPARE(post.path, CustomersPath);
    QCOMPARE(post.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(post.header("Authorization"), QByteArray("Bearer ") + Token);
    // exactly the members the server reads, text trimmed
    const QJsonObject expected {
        { "partner_code", "C-001" }, { "partner_name", "PT Maju Jaya" }, { "industry", "Retail" },
        { "address", "Jl. Sudirman 1" }, { "city", "Jakarta" }, { "phone", "021-555" },
        { "email", "info@maju.co.id" }, { "website", "" }, { "is_active", true },
    };
    QCOMPARE(bodyOf(post), expected);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Information);
    QVERIFY(!form->IsNeedSaving());
}

void tst_CustomerEntry::validationMessagesShownWordForWord_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("message");

    QTest::newRow("both required empty") << "" << "" << ""
                                         << "Customer Code cannot be empty.\rCustomer Name cannot be empty.";
    QTest::newRow("blanks only") << "   " << "PT A" << "" << "Customer Code cannot be empty.";
    QTest::newRow("name empty") << "C1" << "" << "" << "Customer Name cannot be empty.";
    QTest::newRow("e-mail without @") << "C1" << "PT A" << "info.maju.co.id"
                                      << "Email is not a valid e-mail address.";
    QTest::newRow("e-mail with a blank") << "C1" << "PT A" << "info @maju.co.id"
                                         << "Email is not a valid e-mail address.";
    QTest::newRow("all three") << "" << "" << "x"
                               << "Customer Code cannot be empty.\rCustomer Name cannot be empty.\r"
                                  "Email is not a valid e-mail address.";
}

void tst_CustomerEntry::validationMessagesShownWordForWord()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, email);
    QFETCH(QString, message);

    auto form = createScreen(EntryClass);
    form->show();
    typeInto(edit(form.get(), "edtCode"), code);
    typeInto(edit(form.get(), "edtName"), name);
    typeInto(edit(form.get(), "edtEmail"), email);
    control<QPushButton>(form.get(), "btnSave")->click();

    QCOMPARE(m_presenter->texts(), QStringList { message });
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 0);
    QCOMPARE(form->DataMode(), dmAdd);

    // a second attempt reports afresh, not on top of the first
    m_presenter->clear();
    control<QPushButton>(form.get(), "btnSave")->click();
    QCOMPARE(m_presenter->texts(), QStringList { message });
}

void tst_CustomerEntry::serverErrorsNamedByCaption()
{
    m_server->enqueue(Reply::json(R"({"errors":[{"key":"partner_code","message":"partner_code already exists"},)"
                                  R"({"key":"email","message":"email is not a valid e-mail address"}],)"
                                  R"("message":"partner_code already exists; email is not a valid e-mail address"})",
                                  400));
    auto form = createScreen(EntryClass);
    form->show();
    fillRequired(form.get());
    typeInto(edit(form.get(), "edtEmail"), QStringLiteral("a@b"));
    auto *save = control<QPushButton>(form.get(), "btnSave");
    save->click();
    // nothing to change while the server decides
    QVERIFY(!save->isEnabled());
    QVERIFY(!control<QGroupBox>(form.get(), "grpCustomer")->isEnabled());

    QTRY_COMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->texts().first(),
             QStringLiteral("Customer Code already exists\rEmail is not a valid e-mail address"));
    QCOMPARE(m_presenter->messages.first().kind, MessageKind::Error);
    // the user corrects and tries again
    QCOMPARE(form->DataMode(), dmAdd);
    QVERIFY(save->isEnabled());
    QVERIFY(control<QGroupBox>(form.get(), "grpCustomer")->isEnabled());
    QVERIFY(form->IsNeedSaving());
    save->click();
    QVERIFY(m_server->waitForRequests(2));
    QCOMPARE(m_server->lastRequest().method, QByteArray("POST"));
}

void tst_CustomerEntry::transportFailureGivesSaveBack()
{
    // every attempt: the client may try a dropped request once more
    m_server->setHandler([](const RecordedRequest &) { return Reply::withAction(Reply::Action::CloseWithoutAnswer); });
    auto form = createScreen(EntryClass);
    form->show();
    fillRequired(form.get());
    control<QPushButton>(form.get(), "btnSave")->click();

    QTRY_COMPARE(m_presenter->messages.size(), 1);
    QVERIFY2(m_presenter->texts().first().startsWith(QStringLiteral("Server Error.\r\n")),
             qPrintable(m_presenter->texts().first()));
    QVERIFY(control<QPushButton>(form.get(), "btnSave")->isEnabled());
    QVERIFY(form->IsNeedSaving());
}

void tst_CustomerEntry::editLoadsRecordAndPatchesIt()
{
    m_server->setHandler([](const RecordedRequest &ARequest) {
        if (ARequest.method == "GET")
            return detailReply(42);
        return Reply::json(R"({"data":{"partner_id":42}})");
    });
    auto form = createScreen(EntryClass);
    QVERIFY(QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 42)));
    // nothing to change until the record is there
    QCOMPARE(form->DataMode(), dmDetail);
    QVERIFY(!control<QPushButton>(form.get(), "btnSave")->isEnabled());
    QVERIFY(!control<QGroupBox>(form.get(), "grpCustomer")->isEnabled());
    QCOMPARE(form->windowTitle(), QStringLiteral("Edit Customer"));

    const int result = runModal(form.get(), [&](QDialog &) {
        QTRY_COMPARE(form->DataMode(), dmEdit);
        QCOMPARE(edit(form.get(), "edtCode")->text(), QStringLiteral("C0042"));
        QCOMPARE(edit(form.get(), "edtName")->text(), QStringLiteral("Customer 42"));
        QCOMPARE(control<QPlainTextEdit>(form.get(), "memAddress")->toPlainText(), QStringLiteral("Jl. Sudirman 42"));
        QCOMPARE(edit(form.get(), "edtWebsite")->text(), QStringLiteral("https://c42.example.co.id"));
        auto *active = control<QCheckBox>(form.get(), "chkActive");
        QVERIFY(active->isVisible());
        QVERIFY(active->isChecked());
        QVERIFY(!form->IsNeedSaving());

        typeInto(edit(form.get(), "edtName"), QStringLiteral("PT Customer Empat Dua"));
        active->click();
        QVERIFY(form->IsNeedSaving());
        control<QPushButton>(form.get(), "btnSave")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialogOpen(*form->ModalDialog()); }, 5000));
    });
    QCOMPARE(result, int(ModalResult::Ok));

    const QList<RecordedRequest> reads = requestsTo(*m_server, "GET", CustomersPath + QStringLiteral("/42"));
    QCOMPARE(reads.size(), 1);
    QCOMPARE(reads.first().header("Authorization"), QByteArray("Bearer ") + Token);
    const QList<RecordedRequest> patches = requestsTo(*m_server, "PATCH", CustomersPath + QStringLiteral("/42"));
    QCOMPARE(patches.size(), 1);
    QJsonObject expected = customer(42);
    for (const char *server : { "partner_id", "updated_at", "updated_by" })
        expected.remove(QLatin1String(server));
    expected.insert(QStringLiteral("partner_name"), QStringLiteral("PT Customer Empat Dua"));
    expected.insert(QStringLiteral("is_active"), false);
    QCOMPARE(bodyOf(patches.first()), expected);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
}

void tst_CustomerEntry::unknownCustomerCannotBeEdited()
{
    m_server->enqueue(Reply::json(R"({"message":"Customer 9 not found."})", 404));
    auto form = createScreen(EntryClass);
    form->show();
    QVERIFY(QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 9)));

    QTRY_COMPARE(m_presenter->messages.size(), 1);
    QCOMPARE(m_presenter->texts().first(), QStringLiteral("Page Not Found.\r\n{\"message\":\"Customer 9 not found.\"}"));
    QTest::qWait(20);
    QCOMPARE(form->DataMode(), dmDetail);
    QVERIFY(!control<QPushButton>(form.get(), "btnSave")->isEnabled());
    QVERIFY(!control<QGroupBox>(form.get(), "grpCustomer")->isEnabled());
    QVERIFY(!form->IsNeedSaving());
    // Save cannot be forced either
    QVERIFY(QMetaObject::invokeMethod(form.get(), "Save"));
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 1);
}

void tst_CustomerEntry::closeAsksOnlyWithUnsavedChanges_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("unchanged, Cancel") << false << false;
    QTest::newRow("unchanged, Escape") << false << true;
    QTest::newRow("changed, Cancel") << true << false;
    QTest::newRow("changed, Escape") << true << true;
}

void tst_CustomerEntry::closeAsksOnlyWithUnsavedChanges()
{
    QFETCH(bool, changed);
    QFETCH(bool, byEscape);
    const QString question = QStringLiteral("Data has not been saved. Close anyway?");

    auto form = createScreen(EntryClass);
    auto close = [&](QDialog &ADialog) {
        if (byEscape)
            QTest::keyClick(&ADialog, Qt::Key_Escape);
        else
            control<QPushButton>(form.get(), "btnCancel")->click();
    };
    const int result = runModal(form.get(), [&](QDialog &ADialog) {
        if (changed)
            typeInto(edit(form.get(), "edtName"), QStringLiteral("PT Half Typed"));
        if (changed) {
            // No: the screen stays with what was typed
            m_presenter->queueAnswer(ModalResult::No);
            close(ADialog);
            QCOMPARE(m_presenter->texts(), QStringList { question });
            QCOMPARE(m_presenter->messages.first().kind, MessageKind::Confirmation);
            QVERIFY(dialogOpen(ADialog));
            QCOMPARE(edit(form.get(), "edtName")->text(), QStringLiteral("PT Half Typed"));
            m_presenter->queueAnswer(ModalResult::Yes);
        }
        close(ADialog);
    });

    QCOMPARE(result, int(ModalResult::Cancel));
    const QStringList asked = changed ? QStringList { question, question } : QStringList();
    QCOMPARE(m_presenter->texts(), asked);
    QCOMPARE(m_server->requestCount(), 0);
}

void tst_CustomerEntry::runningSaveKeepsScreenOpen()
{
    Reply slow = Reply::json(R"({"data":{"partner_id":601}})", 201);
    slow.delayMs = 300;
    m_server->enqueue(slow);
    auto form = createScreen(EntryClass);

    const int result = runModal(form.get(), [&](QDialog &ADialog) {
        fillRequired(form.get());
        control<QPushButton>(form.get(), "btnSave")->click();
        QVERIFY(m_server->waitForRequests(1));
        // the answer decides: no question, no closing, no second POST
        QTest::keyClick(&ADialog, Qt::Key_Escape);
        QVERIFY(QMetaObject::invokeMethod(form.get(), "Save"));
        QVERIFY(dialogOpen(ADialog));
        QVERIFY(m_presenter->messages.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return !dialogOpen(ADialog); }, 5000));
    });

    QCOMPARE(result, int(ModalResult::Ok));
    QCOMPARE(m_server->requestCount(), 1);
    QCOMPARE(m_presenter->texts(), QStringList { QStringLiteral("Data has been saved.") });
}

void tst_CustomerEntry::captionsAndMessagesFollowLanguage()
{
    auto form = createScreen(EntryClass);
    form->show();
    Platform::ResourceStringRepository::instance().setTranslations({
        { QStringLiteral("sLabelCustomerCode"), QStringLiteral("Kode Pelanggan") },
        { QStringLiteral("sLabelCustomerName"), QStringLiteral("Nama Pelanggan") },
        { QStringLiteral("sErrEmpty"), QStringLiteral("tidak boleh kosong.") },
        { QStringLiteral("sLabelSave"), QStringLiteral("Simpan") },
    });

    QCOMPARE(control<QPushButton>(form.get(), "btnSave")->text(), QStringLiteral("Simpan"));
    auto *layout = qobject_cast<QFormLayout *>(control<QGroupBox>(form.get(), "grpCustomer")->layout());
    QCOMPARE(qobject_cast<QLabel *>(layout->labelForField(edit(form.get(), "edtCode")))->text(),
             QStringLiteral("Kode Pelanggan:"));
    control<QPushButton>(form.get(), "btnSave")->click();
    QCOMPARE(m_presenter->texts(),
             QStringList { QStringLiteral("Kode Pelanggan tidak boleh kosong.\rNama Pelanggan tidak boleh kosong.") });
}

void tst_CustomerEntry::savedCustomerOpensContactsAndPrintsItsCard()
{
    // Given a saved customer with two contacts
    m_server->setHandler([](const RecordedRequest &ARequest) {
        if (ARequest.path == CustomersPath + QStringLiteral("/42")) {
            QJsonObject record = customer(42);
            record.insert(QStringLiteral("contacts"),
                          QJsonArray { QJsonObject { { QStringLiteral("contact_id"), 7 },
                                                     { QStringLiteral("contact_name"), QStringLiteral("Ani") },
                                                     { QStringLiteral("job_position"), QStringLiteral("Buyer") } },
                                       QJsonObject { { QStringLiteral("contact_id"), 8 },
                                                     { QStringLiteral("contact_name"), QStringLiteral("Budi") },
                                                     { QStringLiteral("email"), QStringLiteral("b@c42.id") } } });
            return Reply::json(QJsonDocument(QJsonObject { { QStringLiteral("data"), record } }).toJson());
        }
        if (ARequest.path.startsWith(QLatin1String("/hrm/")))
            return Reply::json(R"({"data": [{"emp_id": 3, "emp_name": "Sarah Sales"}]})");
        return Reply::json(R"({"data": []})");
    });
    auto form = createScreen(EntryClass);
    QVERIFY(QMetaObject::invokeMethod(form.get(), "StartEdit", Q_ARG(int, 42)));
    form->show();
    QTRY_COMPARE(form->DataMode(), dmEdit);

    // When the user picks Budi from the contacts, then prints the card for Sarah
    int contactOpened = 0;
    bool deleteOffered = false;
    m_presenter->modalScript = [&](QDialog &ADialog) -> int {
        if (auto *list = qobject_cast<TContactListFrm *>(&ADialog)) {
            ADialog.show();
            if (!QTest::qWaitFor([&] { return !list->IsLoading; }, 5000))
                return ModalResult::Cancel;
            list->tvContact->setCurrentIndex(list->tblData->index(1, 1));
            list->btnSave->click();
            return ADialog.result();
        }
        if (auto *entry = qobject_cast<TContactEntryFrm *>(&ADialog)) {
            contactOpened = entry->DataMode == dmEdit && entry->CustomerID == 42 ? entry->ContactID : -1;
            deleteOffered = !entry->btnDelete->isHidden();
            return ModalResult::Cancel;
        }
        if (auto *employees = qobject_cast<TEmpListFrm *>(&ADialog)) {
            ADialog.show();
            if (!QTest::qWaitFor([&] { return employees->tblData->recordCount() == 1; }, 5000))
                return ModalResult::Cancel;
            employees->btnOK->click();
            return ADialog.result();
        }
        return ModalResult::Cancel; // the print preview
    };
    control<QPushButton>(form.get(), "btnContacts")->click();
    control<QPushButton>(form.get(), "btnPrint")->click();
    m_presenter->modalScript = nullptr;

    // Then the contact opens for editing, with Delete, and the card is previewed
    QCOMPARE(contactOpened, 8);
    QVERIFY(deleteOffered);
    QStringList shown;
    for (const RecordingPresenter::Modal &m : m_presenter->modals)
        shown.append(m.className);
    QCOMPARE(shown, QStringList({ "TContactListFrm", "TContactEntryFrm", "TEmpListFrm", "QPrintPreviewDialog" }));
    QCOMPARE(requestsTo(*m_server, "GET", CustomersPath + QStringLiteral("/42")).size(), 2);
    QVERIFY(m_presenter->messages.isEmpty());

    Platform::Report card;
    bool prepared = false;
    QVERIFY(QMetaObject::invokeMethod(form.get(), "PrepareCustomerCard", Q_RETURN_ARG(bool, prepared),
                                      Q_ARG(Platform::Report *, &card), Q_ARG(QString, QStringLiteral("Sarah Sales"))));
    QVERIFY(prepared);
    QCOMPARE(card.findObject(QStringLiteral("memPartnerName"))->text, QStringLiteral("Customer 42"));
    QCOMPARE(card.findObject(QStringLiteral("memSalesPerson"))->text, QStringLiteral("Sarah Sales"));
    QCOMPARE(card.findObject(QStringLiteral("memContacts"))->text, QStringLiteral("Ani | Buyer\nBudi | b@c42.id"));
    QVERIFY(!card.findObject(QStringLiteral("bndNoContacts"))->visible);
    QCOMPARE(card.pageCount(), 1);
}

QTEST_MAIN(tst_CustomerEntry)
#include "tst_customerentry.moc"
