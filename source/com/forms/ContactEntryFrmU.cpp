#include "ContactEntryFrmU.h"

#include "ComLookupsU.h"
#include "ContactListFrmU.h"
#include "DataUtilsU.h"
#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "HttpClient.h"
#include "LangResU.h"
#include "MsgDlgU.h"
#include "RestRequest.h"
#include "TranslationU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

using Platform::MemTable;
using FT = Platform::MemTable::FieldType;
namespace ModalResult = Platform::ModalResult;

const Platform::ResourceString sHeaderNewContact = { "sHeaderNewContact", "New Contact" };
const Platform::ResourceString sLabelContactTypeContact = { "sLabelContactTypeContact", "Contact" };
const Platform::ResourceString sLabelInvoiceAddress = { "sLabelInvoiceAddress", "Invoice Address" };
const Platform::ResourceString sLabelDeliveryAddress = { "sLabelDeliveryAddress", "Delivery Address" };
const Platform::ResourceString sLabelTitle = { "sLabelTitle", "Title" };
const Platform::ResourceString sLabelJobPosition = { "sLabelJobPosition", "Job Position" };
const Platform::ResourceString sLabelCountry = { "sLabelCountry", "Country" };
const Platform::ResourceString sLabelContactCity = { "sLabelContactCity", "City" };
const Platform::ResourceString sLabelState = { "sLabelState", "State" };
const Platform::ResourceString sLabelZip = { "sLabelZip", "Zip" };
const Platform::ResourceString sLabelPhoto = { "sLabelPhoto", "Photo" };
const Platform::ResourceString sLabelBack = { "sLabelBack", "Back" };

namespace {

const QString ContactsUrl = QStringLiteral("/crm/v1/master/contacts");
const QString ContactUrl = QStringLiteral("/crm/v1/master/contacts/{contact_id}");
const QString CountriesUrl = QStringLiteral("/com/v1/master/countries");
const QString StatesUrl = QStringLiteral("/com/v1/master/states");

// A new contact's country when the caller gives none.
constexpr int DefaultCountryId = 100;

std::unique_ptr<THttpParams> contactIdParam(const QVariant &AContactId)
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("contact_id"), AContactId, pdtInteger, ptPath);
    return params;
}

} // namespace

TContactEntryFrm::TContactEntryFrm(QWidget *AParent)
    : QDialog(AParent)
{
    setObjectName(QStringLiteral("ContactEntryFrm"));
    resize(854, 354);

    tblData = new MemTable(this);
    tblData->setObjectName(QStringLiteral("tblData"));
    tblData->addField(QStringLiteral("contact_id"), FT::Integer);
    tblData->addField(QStringLiteral("contact_name"), FT::String, 150);
    tblData->addField(QStringLiteral("job_position"), FT::String, 150);
    tblData->addField(QStringLiteral("contact_type"), FT::SmallInt);
    tblData->addField(QStringLiteral("street1"), FT::String, 150);
    tblData->addField(QStringLiteral("street2"), FT::String, 150);
    tblData->addField(QStringLiteral("city"), FT::String, 50);
    tblData->addField(QStringLiteral("state_id"), FT::Integer);
    tblData->addField(QStringLiteral("zip"), FT::String, 6);
    tblData->addField(QStringLiteral("country_id"), FT::Integer);
    tblData->addField(QStringLiteral("phone"), FT::String, 100);
    tblData->addField(QStringLiteral("mobile"), FT::String, 100);
    tblData->addField(QStringLiteral("email"), FT::String, 150);
    tblData->addField(QStringLiteral("customer_id"), FT::Integer);
    tblData->addField(QStringLiteral("notes"), FT::Memo);
    tblData->addField(QStringLiteral("title"), FT::String, 15);
    tblData->addField(QStringLiteral("image_id"), FT::LargeInt);
    tblData->addField(QStringLiteral("is_active"), FT::Boolean);
    tblData->addField(QStringLiteral("is_del"), FT::Boolean);
    tblData->addField(QStringLiteral("user_del"), FT::Integer);
    tblData->addField(QStringLiteral("date_del"), FT::DateTime);
    tblData->addField(QStringLiteral("last_update"), FT::Memo);
    tblData->open();

    tblCountry = new MemTable(this);
    tblCountry->setObjectName(QStringLiteral("tblCountry"));
    tblCountry->addField(QStringLiteral("country_id"), FT::Integer);
    tblCountry->addField(QStringLiteral("country_name"), FT::Memo);
    tblCountry->addField(QStringLiteral("country_code"), FT::String, 2);
    tblCountry->open();

    tblState = new MemTable(this);
    tblState->setObjectName(QStringLiteral("tblState"));
    tblState->addField(QStringLiteral("state_id"), FT::Integer);
    tblState->addField(QStringLiteral("state_name"), FT::Memo);
    tblState->addField(QStringLiteral("state_code"), FT::Memo);
    tblState->open();

    // ---- controls, each writing its field as it changes
    auto label = [this] { return new QLabel(this); };
    auto lineEdit = [this](const char *AName, const char *AField, int AMaxLength) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(AName));
        edit->setMaxLength(AMaxLength);
        const QString field = QLatin1String(AField);
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString &AText) {
            if (!FShowing)
                Safely([&] { WriteField(field, AText); });
        });
        return edit;
    };
    edtName = lineEdit("edtName", "contact_name", 150);
    edtJobPosition = lineEdit("edtJobPosition", "job_position", 150);
    edtStreet1 = lineEdit("edtStreet1", "street1", 150);
    edtStreet2 = lineEdit("edtStreet2", "street2", 150);
    edtCity = lineEdit("edtCity", "city", 50);
    edtZip = lineEdit("edtZip", "zip", 6);
    edtEmail = lineEdit("edtEmail", "email", 150);
    edtPhone = lineEdit("edtPhone", "phone", 100);
    edtMobile = lineEdit("edtMobile", "mobile", 100);

    rgType = new QGroupBox(this);
    rgType->setObjectName(QStringLiteral("rgType"));
    rgType->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    rbContact = new QRadioButton(rgType);
    rbContact->setObjectName(QStringLiteral("rbContact"));
    rbInvoiceAddress = new QRadioButton(rgType);
    rbInvoiceAddress->setObjectName(QStringLiteral("rbInvoiceAddress"));
    rbDeliveryAddress = new QRadioButton(rgType);
    rbDeliveryAddress->setObjectName(QStringLiteral("rbDeliveryAddress"));
    FTypeGroup = new QButtonGroup(this);
    FTypeGroup->addButton(rbContact, 1);
    FTypeGroup->addButton(rbInvoiceAddress, 2);
    FTypeGroup->addButton(rbDeliveryAddress, 3);
    auto *typeRow = new QHBoxLayout(rgType);
    typeRow->setContentsMargins(6, 2, 6, 2);
    typeRow->addWidget(rbContact);
    typeRow->addWidget(rbInvoiceAddress);
    typeRow->addWidget(rbDeliveryAddress);
    connect(FTypeGroup, &QButtonGroup::idToggled, this, [this](int AId, bool AChecked) {
        if (AChecked && !FShowing)
            Safely([&] { WriteField(QStringLiteral("contact_type"), AId); });
    });

    cboTitle = new QComboBox(this);
    cboTitle->setObjectName(QStringLiteral("cboTitle"));
    cboTitle->setEditable(true);
    cboTitle->addItems({ QStringLiteral("Mr"), QStringLiteral("Ms"), QStringLiteral("Mss") });
    cboTitle->lineEdit()->setMaxLength(15);
    connect(cboTitle, &QComboBox::currentTextChanged, this, [this](const QString &AText) {
        if (!FShowing)
            Safely([&] { WriteField(QStringLiteral("title"), AText); });
    });

    // Lookup combos show the name column of their table; the key is read
    // from the same row. A lookup that (re)loads puts the record's value
    // back on show: the combo's own choice of a first row is not the user's.
    cboCountry = new QComboBox(this);
    cboCountry->setObjectName(QStringLiteral("cboCountry"));
    cboCountry->setModel(tblCountry);
    cboCountry->setModelColumn(tblCountry->fieldIndex(QStringLiteral("country_name")));
    cboState = new QComboBox(this);
    cboState->setObjectName(QStringLiteral("cboState"));
    cboState->setModel(tblState);
    cboState->setModelColumn(tblState->fieldIndex(QStringLiteral("state_name")));
    for (QComboBox *combo : { cboCountry, cboState }) {
        combo->setMinimumContentsLength(12);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    auto countryLoaded = [this] {
        Safely([this] {
            SyncLookup(cboCountry, tblCountry, QStringLiteral("country_id"));
            cboCountryChange();
        });
    };
    auto stateLoaded = [this] { Safely([this] { SyncLookup(cboState, tblState, QStringLiteral("state_id")); }); };
    connect(tblCountry, &QAbstractItemModel::modelReset, this, countryLoaded);
    connect(tblCountry, &QAbstractItemModel::rowsInserted, this, countryLoaded);
    connect(tblState, &QAbstractItemModel::modelReset, this, stateLoaded);
    connect(tblState, &QAbstractItemModel::rowsInserted, this, stateLoaded);
    connect(cboCountry, &QComboBox::activated, this, [this] { Safely([this] { cboCountryUserChange(); }); });
    connect(cboState, &QComboBox::activated, this, [this] {
        Safely([this] {
            WriteField(QStringLiteral("state_id"), LookupValue(cboState, tblState, QStringLiteral("state_id")));
        });
    });

    memNotes = new QPlainTextEdit(this);
    memNotes->setObjectName(QStringLiteral("memNotes"));
    memNotes->setTabChangesFocus(true);
    connect(memNotes, &QPlainTextEdit::textChanged, this, [this] {
        if (!FShowing)
            Safely([this] { WriteField(QStringLiteral("notes"), memNotes->toPlainText()); });
    });
    chkActive = new QCheckBox(this);
    chkActive->setObjectName(QStringLiteral("chkActive"));
    connect(chkActive, &QCheckBox::toggled, this, [this](bool AChecked) {
        if (!FShowing)
            Safely([&] { WriteField(QStringLiteral("is_active"), AChecked); });
    });
    imgPhoto = new QLabel(this);
    imgPhoto->setObjectName(QStringLiteral("imgPhoto"));
    imgPhoto->setFrameShape(QFrame::StyledPanel);
    imgPhoto->setAlignment(Qt::AlignCenter);
    imgPhoto->setFixedSize(150, 170);

    lblName = label();
    lblTitle = label();
    lblJobPosition = label();
    lblAddress = label();
    lblCountry = label();
    lblCity = label();
    lblEmail = label();
    lblPhone = label();
    lblMobile = label();
    lblNotes = label();
    lblStatus = label();

    // ---- actions and buttons
    auto action = [this](const char *AName) {
        auto *a = new QAction(this);
        a->setObjectName(QLatin1String(AName));
        return a;
    };
    actAdd = action("actAdd");
    actEdit = action("actEdit");
    actDelete = action("actDelete");
    actSave = action("actSave");
    actCancel = action("actCancel");
    actDetail = action("actDetail");
    actBack = action("actBack");
    connect(actSave, &QAction::triggered, this, [this] { Safely([this] { actSaveExecute(); }); });
    connect(actDelete, &QAction::triggered, this, [this] { Safely([this] { btnDeleteClick(); }); });
    connect(actCancel, &QAction::triggered, this, [this] { done(ModalResult::Cancel); });

    auto button = [this](const char *AName, QAction *AAction) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(AName));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, AAction, &QAction::trigger);
        return b;
    };
    btnDelete = button("btnDelete", actDelete);
    btnDelete->setVisible(false);
    btnSave = button("btnSave", actSave);
    btnCancel = button("btnCancel", actCancel);

    // ---- layout: the fields in two columns, the photo on the right
    auto *grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->addWidget(lblName, 0, 0);
    grid->addWidget(edtName, 0, 1, 1, 3);
    grid->addWidget(rgType, 1, 1, 1, 3);
    grid->addWidget(lblTitle, 2, 0);
    grid->addWidget(cboTitle, 2, 1);
    grid->addWidget(lblJobPosition, 2, 2);
    grid->addWidget(edtJobPosition, 2, 3);
    grid->addWidget(lblAddress, 3, 0);
    grid->addWidget(edtStreet1, 3, 1);
    grid->addWidget(lblEmail, 3, 2);
    grid->addWidget(edtEmail, 3, 3);
    grid->addWidget(edtStreet2, 4, 1);
    grid->addWidget(lblPhone, 4, 2);
    grid->addWidget(edtPhone, 4, 3);
    auto *cityRow = new QHBoxLayout;
    cityRow->addWidget(edtCity, 2);
    cityRow->addWidget(cboState, 2);
    cityRow->addWidget(edtZip, 1);
    grid->addWidget(lblCity, 5, 0);
    grid->addLayout(cityRow, 5, 1);
    grid->addWidget(lblMobile, 5, 2);
    grid->addWidget(edtMobile, 5, 3);
    grid->addWidget(lblCountry, 6, 0);
    grid->addWidget(cboCountry, 6, 1);
    grid->addWidget(lblNotes, 6, 2, Qt::AlignTop);
    grid->addWidget(memNotes, 6, 3, 2, 1);
    grid->addWidget(lblStatus, 7, 0);
    grid->addWidget(chkActive, 7, 1);

    auto *body = new QHBoxLayout;
    body->addLayout(grid, 1);
    body->addWidget(imgPhoto, 0, Qt::AlignTop);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnDelete);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);

    auto *root = new QVBoxLayout(this);
    root->addLayout(body, 1);
    root->addLayout(buttons);

    TranslationChanged();
    Platform::ResourceStringRepository::instance().addListener(this);
}

void TContactEntryFrm::TranslationChanged()
{
    setWindowTitle(sHeaderNewContact.text());
    TTranslation::TranslateControl(lblName, sLabelName, false);
    TTranslation::TranslateControl(rgType, sLabelType, false);
    TTranslation::TranslateControl(rbContact, sLabelContactTypeContact, false);
    TTranslation::TranslateControl(rbInvoiceAddress, sLabelInvoiceAddress, false);
    TTranslation::TranslateControl(rbDeliveryAddress, sLabelDeliveryAddress, false);
    TTranslation::TranslateControl(lblTitle, sLabelTitle, false);
    TTranslation::TranslateControl(lblJobPosition, sLabelJobPosition, false);
    TTranslation::TranslateControl(lblAddress, sLabelAddress, false);
    TTranslation::TranslateControl(lblCountry, sLabelCountry, false);
    TTranslation::TranslateControl(lblCity, sLabelContactCity, false);
    cboState->setPlaceholderText(sLabelState.text());
    edtZip->setPlaceholderText(sLabelZip.text());
    TTranslation::TranslateControl(lblEmail, sLabelContactEmail, false);
    TTranslation::TranslateControl(lblPhone, sLabelPhone, false);
    TTranslation::TranslateControl(lblMobile, sLabelMobile, false);
    TTranslation::TranslateControl(lblNotes, sLabelNotes, false);
    TTranslation::TranslateControl(lblStatus, sLabelStatus, false);
    TTranslation::TranslateControl(chkActive, sLabelActive, false);
    imgPhoto->setText(sLabelPhoto.text());
    TTranslation::TranslateControl(actAdd, sLabelAdd, false);
    TTranslation::TranslateControl(actEdit, sLabelEdit, false);
    TTranslation::TranslateControl(actDelete, sLabelDelete, false);
    TTranslation::TranslateControl(actSave, sLabelSave, false);
    TTranslation::TranslateControl(actCancel, sLabelCancel, false);
    TTranslation::TranslateControl(actDetail, sLabelDetail, false);
    TTranslation::TranslateControl(actBack, sLabelBack, false);
    btnDelete->setText(actDelete->text());
    btnSave->setText(actSave->text());
    btnCancel->setText(actCancel->text());
}

int TContactEntryFrm::ShowModal()
{
    return Platform::dialogPresenter().showModal(*this);
}

void TContactEntryFrm::showEvent(QShowEvent *AEvent)
{
    QDialog::showEvent(AEvent);
    if (!AEvent->spontaneous())
        Safely([this] { FormShow(); });
}

void TContactEntryFrm::FormShow()
{
    DataLookups(CountriesUrl, tblCountry, 1, QString(), true);
    LoadState(CountryID);
    if (DataMode == dmAdd) {
        tblData->close();
        tblData->open();
        tblData->append();
        tblData->setValue(QStringLiteral("customer_id"), CustomerID);
        tblData->setValue(QStringLiteral("contact_type"), 1);
        tblData->setValue(QStringLiteral("is_active"), true);
        tblData->setValue(QStringLiteral("country_id"), DefaultCountryId);
        tblData->post();
        ShowRecord();
    } else {
        SetEditable(false);
        LoadData();
    }
}

void TContactEntryFrm::LoadData()
{
    const QPointer<TContactEntryFrm> self(this);
    // the server sends the one contact as an object; an array of it works too
    RestGetRecord(
        ContactUrl, tblData, contactIdParam(ContactID), ErrorHandler,
        [self] {
            if (!self)
                return;
            self->Safely([&] { self->ShowRecord(); });
            // a read that failed leaves nothing to edit
            self->SetEditable(self->tblData->recordCount() > 0);
        },
        nullptr, true, true);
}

void TContactEntryFrm::LoadState(int ACountryID)
{
    FStatesCountry = ACountryID;
    DataLookups(StatesUrl, tblState, 1, QString::number(ACountryID), true);
}

void TContactEntryFrm::cboCountryChange()
{
    if (IsLoading || cboCountry->currentText().isEmpty())
        return;
    const QVariant country = LookupValue(cboCountry, tblCountry, QStringLiteral("country_id"));
    // the combo is put back on every lookup load: reload only for a new country
    if (country.isValid() && country.toInt() != FStatesCountry)
        LoadState(country.toInt());
}

void TContactEntryFrm::cboCountryUserChange()
{
    const QVariant country = LookupValue(cboCountry, tblCountry, QStringLiteral("country_id"));
    if (tblData->recordCount() > 0 && country != tblData->value(QStringLiteral("country_id"))) {
        WriteField(QStringLiteral("country_id"), country);
        // a state of the old country is no state of the new one; 0 tells
        // the server "none"
        WriteField(QStringLiteral("state_id"), 0);
        SyncLookup(cboState, tblState, QStringLiteral("state_id"));
    }
    cboCountryChange();
}

bool TContactEntryFrm::FormValidation()
{
    return true;
}

void TContactEntryFrm::actSaveExecute()
{
    // one write at a time
    if (IsLoading || !btnSave->isEnabled())
        return;
    // nothing to send without a record (its read failed): say so, or the
    // user would take the silence for a save
    if (tblData->recordCount() == 0) {
        MsgErr(sMsgNothingToSave.text());
        return;
    }
    if (!FormValidation())
        return;
    if (DataMode == dmAdd)
        InsertData();
    else
        UpdateData();
}

void TContactEntryFrm::reject()
{
    if (FSaving || IsLoading)
        return;
    QDialog::reject();
}

void TContactEntryFrm::InsertData()
{
    btnSave->setEnabled(false);
    FSaving = true;
    const QPointer<TContactEntryFrm> self(this);
    RestPost(
        ContactsUrl, tblData, nullptr, ErrorHandler,
        [self] {
            if (self)
                self->InsertCompleted();
        },
        SaveFailed(), true, true);
}

void TContactEntryFrm::UpdateData()
{
    btnSave->setEnabled(false);
    FSaving = true;
    const QPointer<TContactEntryFrm> self(this);
    RestPatch(
        ContactUrl, tblData, contactIdParam(tblData->value(QStringLiteral("contact_id"))), ErrorHandler,
        [self] {
            if (self)
                self->UpdateCompleted();
        },
        SaveFailed(), true, true);
}

std::function<void(int, const QString &)> TContactEntryFrm::SaveFailed()
{
    const QPointer<TContactEntryFrm> self(this);
    return [self](int AStatus, const QString &AText) {
        if (!self)
            return;
        self->FSaving = false;
        self->btnSave->setEnabled(true);
        // without the caller's handler the user is still told
        TErrorHandler plain;
        (self->ErrorHandler ? self->ErrorHandler : &plain)->ShowErrorMessage(AStatus, AText);
    };
}

void TContactEntryFrm::InsertCompleted()
{
    FSaving = false;
    btnSave->setEnabled(true);
    DataMode = dmBrowse;
    MsgInfo(mitSaved);
    done(ModalResult::Ok);
}

void TContactEntryFrm::UpdateCompleted()
{
    FSaving = false;
    btnSave->setEnabled(true);
    MsgInfo(mitSaved);
    done(ModalResult::Ok);
}

void TContactEntryFrm::btnDeleteClick()
{
    if (DataMode == dmAdd || IsLoading)
        return;
    if (MsgConfirm(mctDelete) == ModalResult::No)
        return;
    DeleteData();
}

void TContactEntryFrm::DeleteData()
{
    IsLoading = true;
    // The request ends with the form; the wait dialog's count goes back on
    // every path, once. A delete, once sent, is not cancelled by the user.
    auto waitHeld = std::make_shared<bool>(false);
    auto hideWait = [waitHeld] {
        if (std::exchange(*waitHeld, false) && WaitDlg)
            WaitDlg->Hide(false);
    };
    Platform::RestRequest *request = Platform::RestRequest::create({ this });
    const QPointer<Platform::RestRequest> alive(request);
    request->setAborted([hideWait](Platform::RestRequest::AbortReason) { hideWait(); });
    request->setFinish([this, hideWait](Platform::RestOutcome &&AOutcome) {
        IsLoading = false;
        hideWait();
        if (AOutcome.failed) {
            MsgErr(WriteFailureText(AOutcome.failureKind, AOutcome.failure));
        } else if (AOutcome.response.success()) {
            MsgInfo(mitDeleted);
            done(ModalResult::Ok);
        } else {
            ShowContactError(ErrorHandler, AOutcome.response.statusCode, AOutcome.response.content());
        }
    });
    if (WaitDlg) {
        *waitHeld = true;
        WaitDlg->Show();
    }
    if (!alive)
        return; // the form went while the wait dialog painted
    std::shared_ptr<Platform::HttpClient> client = RestClient ? RestClient->CreateRestClient(true) : nullptr;
    request->send(std::move(client), [contactId = ContactID](Platform::HttpClient &AClient) {
        AClient.addPathParam(QStringLiteral("contact_id"), contactId);
        Platform::RestOutcome o;
        o.response = AClient.del(ContactUrl);
        return o;
    });
}

void TContactEntryFrm::ShowRecord()
{
    const bool hasRow = tblData->recordCount() > 0;
    auto text = [this, hasRow](const char *AField) {
        return hasRow ? tblData->value(QLatin1String(AField)).toString() : QString();
    };
    FShowing = true;
    edtName->setText(text("contact_name"));
    edtJobPosition->setText(text("job_position"));
    edtStreet1->setText(text("street1"));
    edtStreet2->setText(text("street2"));
    edtCity->setText(text("city"));
    edtZip->setText(text("zip"));
    edtEmail->setText(text("email"));
    edtPhone->setText(text("phone"));
    edtMobile->setText(text("mobile"));
    memNotes->setPlainText(text("notes"));
    cboTitle->setCurrentText(text("title"));
    chkActive->setChecked(hasRow && tblData->value(QStringLiteral("is_active")).toBool());
    const int type = hasRow ? tblData->value(QStringLiteral("contact_type")).toInt() : 0;
    if (QAbstractButton *b = FTypeGroup->button(type)) {
        b->setChecked(true);
    } else {
        // no button for an unknown type: none is checked
        FTypeGroup->setExclusive(false);
        for (QAbstractButton *each : FTypeGroup->buttons())
            each->setChecked(false);
        FTypeGroup->setExclusive(true);
    }
    FShowing = false;
    SyncLookup(cboCountry, tblCountry, QStringLiteral("country_id"));
    SyncLookup(cboState, tblState, QStringLiteral("state_id"));
    cboCountryChange();
}

void TContactEntryFrm::SetEditable(bool AEditable)
{
    for (QLineEdit *edit :
         { edtName, edtJobPosition, edtStreet1, edtStreet2, edtCity, edtZip, edtEmail, edtPhone, edtMobile })
        edit->setReadOnly(!AEditable);
    memNotes->setReadOnly(!AEditable);
    for (QWidget *w : std::initializer_list<QWidget *> { cboTitle, cboCountry, cboState, rgType, chkActive })
        w->setEnabled(AEditable);
}

void TContactEntryFrm::WriteField(const QString &AField, const QVariant &AValue)
{
    // no row: the record has not come (or could not be read)
    if (tblData->recordCount() == 0 || tblData->readOnly())
        return;
    tblData->edit();
    tblData->setValue(AField, AValue);
    tblData->post();
}

void TContactEntryFrm::SyncLookup(QComboBox *ACombo, const MemTable *ALookup, const QString &AKey)
{
    const QVariant value = tblData->recordCount() > 0 ? tblData->value(AKey) : QVariant();
    const int keyField = ALookup->fieldIndex(AKey);
    int row = -1;
    if (value.isValid()) {
        for (int i = 0; i < ALookup->recordCount(); ++i) {
            if (ALookup->cell(i, keyField) == value) {
                row = i;
                break;
            }
        }
    }
    const QSignalBlocker blocker(ACombo);
    ACombo->setCurrentIndex(row);
}

QVariant TContactEntryFrm::LookupValue(const QComboBox *ACombo, const MemTable *ALookup, const QString &AKey) const
{
    const int row = ACombo->currentIndex();
    if (row < 0 || row >= ALookup->recordCount())
        return {};
    return ALookup->cell(row, ALookup->fieldIndex(AKey));
}

void TContactEntryFrm::Safely(const std::function<void()> &AAction)
{
    GuardUserAction(AAction);
}
