#include "CustomerEntryFrmU.h"

#include "AccessDetailsU.h"
#include "ContactEntryFrmU.h"
#include "ContactListFrmU.h"
#include "CrmResU.h"
#include "CrmUtilsU.h"
#include "DataUtilsU.h"
#include "DialogPresenter.h"
#include "EmpListFrmU.h"
#include "ErrorHandlerU.h"
#include "LangResU.h"
#include "MemTable.h"
#include "MsgDlgU.h"
#include "TranslationU.h"
#include "UFastReport.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <utility>

using Platform::MemTable;
using FieldType = Platform::MemTable::FieldType;

namespace {

const QString CustomersUrl = QStringLiteral("/crm/v1/master/customers");
const QString CustomerUrl = QStringLiteral("/crm/v1/master/customers/{partner_id}");
const QString CustomerCardReport = QStringLiteral("customer-card.json");
// The country a contact's state list starts with; the contact form moves
// to the contact's own country once it is read.
constexpr int DefaultCountryId = 100;

// The rules this screen checks before it saves.
const QString RuleEmpty = QStringLiteral("empty");
const QString RuleEmail = QStringLiteral("email");

// The members the server reads from a customer, with their captions. They
// are the record's fields, so a write sends exactly these.
struct Member
{
    const char *field;
    FieldType type;
    const Platform::ResourceString *caption;
};

const Member Members[] = {
    { "partner_code", FieldType::String, &sLabelCustomerCode },
    { "partner_name", FieldType::String, &sLabelCustomerName },
    { "industry", FieldType::String, &sLabelIndustry },
    { "address", FieldType::String, &sLabelAddress },
    { "city", FieldType::String, &sLabelCity },
    { "phone", FieldType::String, &sLabelPhone },
    { "email", FieldType::String, &sLabelEmail },
    { "website", FieldType::String, &sLabelWebsite },
    { "is_active", FieldType::Boolean, &sLabelActive },
};

// The members of a customer's contacts that the card prints.
const char *const ContactFields[] = { "contact_id", "contact_name", "job_position", "contact_type_c",
                                      "phone",      "mobile",       "email" };

// The members the contact forms send, with the captions their errors use.
const std::pair<const char *, const Platform::ResourceString *> ContactMembers[] = {
    { "contact_name", &sLabelName },  { "job_position", &sLabelJobPosition },
    { "title", &sLabelTitle },        { "street1", &sLabelAddress },
    { "street2", &sLabelAddress },    { "city", &sLabelContactCity },
    { "state_id", &sLabelState },     { "zip", &sLabelZip },
    { "country_id", &sLabelCountry }, { "phone", &sLabelPhone },
    { "mobile", &sLabelMobile },      { "email", &sLabelContactEmail },
    { "notes", &sLabelNotes },        { "customer_id", &sLabelCustomerName },
};

std::unique_ptr<THttpParams> partnerIdParam(int APartnerId)
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("partner_id"), APartnerId, pdtInteger, ptPath);
    return params;
}

// The memo clips at its edge: a contact's line wider than the memo goes on
// over further lines. Laid out as a printer of 1200 dpi would, with a little
// room left for the coarser hinting of a screen.
QStringList wrapToWidth(const QStringList &ALines, const Platform::ReportObject &AMemo)
{
    constexpr int Dpi = 1200;
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(Dpi / 0.0254));
    device.setDotsPerMeterY(qRound(Dpi / 0.0254));
    const qreal width = (AMemo.geometry.width() - 2 * AMemo.padding) * 0.97 / 25.4 * Dpi;
    if (width <= 0)
        return ALines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QStringList result;
    for (const QString &line : ALines) {
        if (line.isEmpty()) {
            result.append(line);
            continue;
        }
        QTextLayout layout(line, AMemo.font, &device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine part = layout.createLine(); part.isValid(); part = layout.createLine()) {
            part.setLineWidth(width);
            result.append(line.mid(part.textStart(), part.textLength()).trimmed());
        }
        layout.endLayout();
    }
    return result;
}

// One contacts band per line. A single band grown to hold them all would,
// once taller than a page, get a page of its own and be cut at its foot;
// bands of one line each flow on over as many pages as they need.
void fillContactBands(Platform::Report &ARep, const QStringList &AContacts)
{
    SetMemoText(ARep, QStringLiteral("memContacts"), AContacts.first());
    auto named = [](const QString &AName) {
        return [AName](const Platform::ReportObject &AObject) {
            return AObject.name.compare(AName, Qt::CaseInsensitive) == 0;
        };
    };
    std::vector<Platform::ReportObject> &bands = ARep.layout().bands;
    const auto band = std::find_if(bands.begin(), bands.end(), named(QStringLiteral("bndContacts")));
    if (band == bands.end())
        return;
    const auto memo = std::find_if(band->objects.begin(), band->objects.end(), named(QStringLiteral("memContacts")));
    if (memo == band->objects.end())
        return;
    const auto memoIndex = std::distance(band->objects.begin(), memo);
    const QStringList lines = wrapToWidth(AContacts, *memo);
    memo->text = lines.first();
    // the copies go unnamed, so that names stay unique in the layout
    Platform::ReportObject row = *band;
    row.name.clear();
    for (Platform::ReportObject &object : row.objects)
        object.name.clear();
    std::vector<Platform::ReportObject> rows(std::size_t(lines.size() - 1), row);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i].objects[std::size_t(memoIndex)].text = lines.at(qsizetype(i) + 1);
    bands.insert(band + 1, std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

} // namespace

TCustomerEntryFrm::TCustomerEntryFrm(QWidget *AOwner)
    : TBaseChildFrm(AOwner)
{
    setObjectName(QStringLiteral("CustomerEntryFrm"));

    FCustomer = new MemTable(this);
    FCustomer->setObjectName(QStringLiteral("mtCustomer"));
    for (const Member &m : Members)
        FCustomer->addField(QLatin1String(m.field), m.type);
    FContacts = new MemTable(this);
    FContacts->setObjectName(QStringLiteral("mtContacts"));
    for (const char *field : ContactFields)
        FContacts->addField(QLatin1String(field),
                            QLatin1String(field) == QLatin1String("contact_id") ? FieldType::Integer
                                                                                : FieldType::String);

    CreateControls();
    RegisterAccessDetails();
    TranslationChanged();
    Platform::ResourceStringRepository::instance().addListener(this);
    StartAdd();
}

// Out of line: the error handler's type is complete only here.
TCustomerEntryFrm::~TCustomerEntryFrm() = default;

void TCustomerEntryFrm::CreateControls()
{
    resize(500, 370);

    auto lineEdit = [this](const char *AName, int AMaxLength) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(AName));
        // the server's limits
        edit->setMaxLength(AMaxLength);
        connect(edit, &QLineEdit::textEdited, this, [this] { FieldChange(); });
        return edit;
    };
    edtCode = lineEdit("edtCode", 20);
    edtName = lineEdit("edtName", 100);
    edtIndustry = lineEdit("edtIndustry", 100);
    memAddress = new QPlainTextEdit(this);
    memAddress->setObjectName(QStringLiteral("memAddress"));
    memAddress->setTabChangesFocus(true);
    memAddress->setFixedHeight(memAddress->fontMetrics().lineSpacing() * 3 + 12);
    connect(memAddress, &QPlainTextEdit::textChanged, this, [this] { FieldChange(); });
    edtCity = lineEdit("edtCity", 100);
    edtPhone = lineEdit("edtPhone", 50);
    edtEmail = lineEdit("edtEmail", 150);
    edtWebsite = lineEdit("edtWebsite", 200);
    chkActive = new QCheckBox(this);
    chkActive->setObjectName(QStringLiteral("chkActive"));
    connect(chkActive, &QCheckBox::clicked, this, [this] { FieldChange(); });

    grpCustomer = new QGroupBox(this);
    grpCustomer->setObjectName(QStringLiteral("grpCustomer"));
    auto *form = new QFormLayout(grpCustomer);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto addRow = [this, form](QLabel *&ALabel, QWidget *AField) {
        ALabel = new QLabel(this);
        ALabel->setBuddy(AField);
        form->addRow(ALabel, AField);
    };
    addRow(lblCode, edtCode);
    addRow(lblName, edtName);
    addRow(lblIndustry, edtIndustry);
    addRow(lblAddress, memAddress);
    addRow(lblCity, edtCity);
    addRow(lblPhone, edtPhone);
    addRow(lblEmail, edtEmail);
    addRow(lblWebsite, edtWebsite);
    form->addRow(QString(), chkActive);

    btnSave = new QPushButton(this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    // the customer's contacts and card: for a saved customer only
    auto pushButton = [this](const char *AName) {
        auto *button = new QPushButton(this);
        button->setObjectName(QLatin1String(AName));
        button->setAutoDefault(false);
        return button;
    };
    btnContacts = pushButton("btnContacts");
    btnAddContact = pushButton("btnAddContact");
    btnPrint = pushButton("btnPrint");
    connect(btnContacts, &QPushButton::clicked, this, [this] { btnContactsClick(); });
    connect(btnAddContact, &QPushButton::clicked, this, [this] { btnAddContactClick(); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnContacts);
    buttons->addWidget(btnAddContact);
    buttons->addWidget(btnPrint);
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(12, 12, 12, 12);
    root->addWidget(grpCustomer);
    root->addStretch(1);
    root->addLayout(buttons);
}

void TCustomerEntryFrm::RegisterAccessDetails()
{
    // Actions in the order browse, add, edit, detail, custom 1, custom 2.
    // The fields and Save work in add and edit only; a new customer is
    // active, so Active shows for an existing one. Everything here sits in a
    // layout, hence the group "none": no repositioning.
    TAccessDetails *access = AccessDetails();
    const QString none = QStringLiteral("none");
    access->AddControl(none, grpCustomer, caDisabled, caEnabled, caEnabled, caDisabled, caDisabled, caDisabled);
    access->AddControl(none, chkActive, caHidden, caHidden, caVisible, caVisible, caHidden, caHidden);
    access->AddControl(none, btnSave, caDisabled, caEnabled, caEnabled, caDisabled, caDisabled, caDisabled);
    for (QPushButton *button : { btnContacts, btnAddContact, btnPrint })
        access->AddControl(none, button, caHidden, caHidden, caVisible, caHidden, caHidden, caHidden);
}

void TCustomerEntryFrm::RegisterErrorMessages()
{
    // A caption for every member the server may name in an "errors"
    // envelope, then the text of each rule. The registries cannot be
    // emptied, so a new language gets a new handler: every request of this
    // screen reports through SaveFailed or a lambda that looks the handler
    // up when it runs, never through a pointer kept from before.
    ErrorHandler = std::make_unique<TErrorHandler>();
    for (const Member &m : Members) {
        const QString field = QLatin1String(m.field);
        ErrorHandler->AddErrMessage(field, m.caption->text(), QString(), QString(),
                                    field == QLatin1String("partner_code"));
    }
    ErrorHandler->AddErrMessage(QString(), QString(), RuleEmpty, sErrEmpty.text(), false);
    ErrorHandler->AddErrMessage(QString(), QString(), RuleEmail, sErrInvalidEmail.text(), false);

    FContactErrors = std::make_unique<TErrorHandler>();
    for (const auto &[field, caption] : ContactMembers)
        FContactErrors->AddErrMessage(QLatin1String(field), caption->text(), QString(), QString(), false);
}

void TCustomerEntryFrm::TranslationChanged()
{
    setWindowTitle(FPartnerId > 0 ? sHeaderEditCustomer.text() : sHeaderNewCustomer.text());
    TTranslation::TranslateControl(lblCode, sLabelCustomerCode, true);
    TTranslation::TranslateControl(lblName, sLabelCustomerName, true);
    TTranslation::TranslateControl(lblIndustry, sLabelIndustry, true);
    TTranslation::TranslateControl(lblAddress, sLabelAddress, true);
    TTranslation::TranslateControl(lblCity, sLabelCity, true);
    TTranslation::TranslateControl(lblPhone, sLabelPhone, true);
    TTranslation::TranslateControl(lblEmail, sLabelEmail, true);
    TTranslation::TranslateControl(lblWebsite, sLabelWebsite, true);
    TTranslation::TranslateControl(chkActive, sLabelActive, false);
    TTranslation::TranslateControl(btnSave, sLabelSave, false);
    TTranslation::TranslateControl(btnCancel, sLabelCancel, false);
    TTranslation::TranslateControl(btnContacts, sHeaderContacts, false);
    TTranslation::TranslateControl(btnAddContact, sLabelAddContact, false);
    TTranslation::TranslateControl(btnPrint, sLabelPrint, false);
    RegisterErrorMessages();
}

void TCustomerEntryFrm::StartAdd()
{
    FPartnerId = 0;
    setWindowTitle(sHeaderNewCustomer.text());
    FCustomer->close();
    FCustomer->open();
    FCustomer->append();
    FCustomer->setValue(QStringLiteral("is_active"), true);
    FCustomer->post();
    ShowRecord();
    SetDataMode(dmAdd);
    // an untouched new record is nothing to lose
    IsModified = false;
}

void TCustomerEntryFrm::StartEdit(int APartnerId)
{
    FPartnerId = APartnerId;
    setWindowTitle(sHeaderEditCustomer.text());
    SetDataMode(dmDetail);
    IsLoading = true;

    auto tables = std::make_unique<TTableList>();
    tables->AddTable(QStringLiteral("master"), FCustomer, ttMaster);
    tables->AddTable(QStringLiteral("contacts"), QStringLiteral("contacts"), FContacts, ttDetail);
    // The screen may be closed before the answer comes: the callbacks check.
    const QPointer<TCustomerEntryFrm> self(this);
    RestGetDetail(
        CustomerUrl, std::move(tables), false, partnerIdParam(APartnerId), nullptr,
        [self] {
            if (self)
                self->DetailLoaded();
        },
        [self](int AStatus, const QString &AText) {
            if (!self)
                return;
            self->IsLoading = false;
            self->ErrorHandler->ShowErrorMessage(AStatus, AText);
        },
        true, true);
}

void TCustomerEntryFrm::DetailLoaded()
{
    IsLoading = false;
    // a refused read comes here too, with nothing loaded: stay in dmDetail
    if (FCustomer->recordCount() != 1)
        return;
    ShowRecord();
    SetDataMode(dmEdit);
    IsModified = false;
}

void TCustomerEntryFrm::ShowRecord()
{
    auto text = [this](const char *AField) { return FCustomer->value(QLatin1String(AField)).toString(); };
    // A stored text longer than an edit's limit would be cut by the edit and
    // saved cut: the edit takes it whole, and the server judges a change.
    auto show = [](QLineEdit *AEdit, const QString &AText) {
        if (AText.size() > AEdit->maxLength())
            AEdit->setMaxLength(int(AText.size()));
        AEdit->setText(AText);
    };
    show(edtCode, text("partner_code"));
    show(edtName, text("partner_name"));
    show(edtIndustry, text("industry"));
    memAddress->setPlainText(text("address"));
    show(edtCity, text("city"));
    show(edtPhone, text("phone"));
    show(edtEmail, text("email"));
    show(edtWebsite, text("website"));
    chkActive->setChecked(FCustomer->value(QStringLiteral("is_active")).toBool());
}

void TCustomerEntryFrm::WriteRecord()
{
    FCustomer->edit();
    FCustomer->setValue(QStringLiteral("partner_code"), edtCode->text().trimmed());
    FCustomer->setValue(QStringLiteral("partner_name"), edtName->text().trimmed());
    FCustomer->setValue(QStringLiteral("industry"), edtIndustry->text().trimmed());
    FCustomer->setValue(QStringLiteral("address"), memAddress->toPlainText().trimmed());
    FCustomer->setValue(QStringLiteral("city"), edtCity->text().trimmed());
    FCustomer->setValue(QStringLiteral("phone"), edtPhone->text().trimmed());
    FCustomer->setValue(QStringLiteral("email"), edtEmail->text().trimmed());
    FCustomer->setValue(QStringLiteral("website"), edtWebsite->text().trimmed());
    FCustomer->setValue(QStringLiteral("is_active"), chkActive->isChecked());
    FCustomer->post();
}

bool TCustomerEntryFrm::Validate()
{
    ErrorHandler->ClearValidationErrors();
    if (edtCode->text().trimmed().isEmpty())
        ErrorHandler->ValidationErrorsAdd(QStringLiteral("partner_code"), RuleEmpty);
    if (edtName->text().trimmed().isEmpty())
        ErrorHandler->ValidationErrorsAdd(QStringLiteral("partner_name"), RuleEmpty);
    const QString email = edtEmail->text().trimmed();
    if (!email.isEmpty() && (!email.contains(QLatin1Char('@')) || email.contains(QLatin1Char(' '))))
        ErrorHandler->ValidationErrorsAdd(QStringLiteral("email"), RuleEmail);
    return ErrorHandler->ValidationErrors().isEmpty();
}

void TCustomerEntryFrm::Save()
{
    if (FIsSaving || (DataMode() != dmAdd && DataMode() != dmEdit))
        return;
    if (!Validate()) {
        MsgErr(ErrorHandler->ValidationErrors());
        return;
    }
    WriteRecord();

    // nothing changes while the server decides; SaveFailed gives it back
    FIsSaving = true;
    grpCustomer->setEnabled(false);
    btnSave->setEnabled(false);
    const QPointer<TCustomerEntryFrm> self(this);
    auto succeeded = [self] {
        if (self)
            self->SaveSucceeded();
    };
    auto failed = [self](int AStatus, const QString &AText) {
        if (self)
            self->SaveFailed(AStatus, AText);
    };
    if (DataMode() == dmAdd)
        RestPost(CustomersUrl, FCustomer, nullptr, nullptr, succeeded, failed, true, true);
    else
        RestPatch(CustomerUrl, FCustomer, partnerIdParam(FPartnerId), nullptr, succeeded, failed, true, true);
}

void TCustomerEntryFrm::SaveSucceeded()
{
    FIsSaving = false;
    IsModified = false;
    MsgInfo(mitSaved);
    if (ModalDialog())
        SetModalResult(Platform::ModalResult::Ok);
    else
        Close();
}

void TCustomerEntryFrm::SaveFailed(int AStatus, const QString &AText)
{
    FIsSaving = false;
    // the mode's own rules put the fields and Save back
    SetDataMode(DataMode());
    ErrorHandler->ShowErrorMessage(AStatus, AText);
}

void TCustomerEntryFrm::FormCloseQuery(bool &ACanClose)
{
    // a running save decides for itself what becomes of the screen
    if (FIsSaving) {
        ACanClose = false;
        return;
    }
    TBaseChildFrm::FormCloseQuery(ACanClose);
}

void TCustomerEntryFrm::FieldChange()
{
    IsModified = true;
}

void TCustomerEntryFrm::btnSaveClick()
{
    RunAction([this] { Save(); });
}

void TCustomerEntryFrm::btnCancelClick()
{
    RunAction([this] { Close(); });
}

// ---- contacts and the customer card ----------------------------------------

void TCustomerEntryFrm::ShowContacts()
{
    // The shared forms are dialogs: created here, shown through the
    // presenter, released when this returns.
    TContactListFrm list(this);
    list.CustomerID = FPartnerId;
    list.ErrorHandler = FContactErrors.get();
    list.LoadData();
    if (list.ShowModal() != Platform::ModalResult::Ok)
        return;
    // the picked row is the list's current one
    if (const int contactId = list.tblData->value(QStringLiteral("contact_id")).toInt(); contactId > 0)
        EditContact(contactId);
}

void TCustomerEntryFrm::EditContact(int AContactId)
{
    TContactEntryFrm entry(this);
    entry.DataMode = AContactId > 0 ? dmEdit : dmAdd;
    entry.CustomerID = FPartnerId;
    entry.ContactID = AContactId;
    entry.CountryID = DefaultCountryId;
    entry.ErrorHandler = FContactErrors.get();
    // an existing contact may be deleted from its form
    entry.btnDelete->setVisible(AContactId > 0);
    if (entry.ShowModal() == Platform::ModalResult::Ok)
        ReloadContacts();
}

void TCustomerEntryFrm::ReloadContacts()
{
    // the record's own fields may hold unsaved edits: read the contacts only
    auto tables = std::make_unique<TTableList>();
    tables->AddTable(QStringLiteral("contacts"), QStringLiteral("contacts"), FContacts, ttDetail);
    const QPointer<TCustomerEntryFrm> self(this);
    RestGetDetail(
        CustomerUrl, std::move(tables), true, partnerIdParam(FPartnerId), nullptr, nullptr,
        [self](int AStatus, const QString &AText) {
            if (self)
                self->FContactErrors->ShowErrorMessage(AStatus, AText);
        },
        false, false);
}

bool TCustomerEntryFrm::PrepareCustomerCard(Platform::Report *AReport, const QString &ASalesPerson)
{
    if (!AReport)
        return false;
    Platform::Report &rep = *AReport;
    if (!LoadReport(rep, CustomerCardReport))
        return false;
    auto text = [this](const char *AField) { return FCustomer->value(QLatin1String(AField)).toString(); };
    SetMemoText(rep, QStringLiteral("memPartnerCode"), text("partner_code"));
    SetMemoText(rep, QStringLiteral("memPartnerName"), text("partner_name"));
    SetMemoText(rep, QStringLiteral("memIndustry"), text("industry"));
    SetMemoText(rep, QStringLiteral("memAddress"), text("address"));
    SetMemoText(rep, QStringLiteral("memCity"), text("city"));
    SetMemoText(rep, QStringLiteral("memPhone"), text("phone"));
    SetMemoText(rep, QStringLiteral("memEmail"), text("email"));
    SetMemoText(rep, QStringLiteral("memWebsite"), text("website"));
    SetMemoText(rep, QStringLiteral("memStatus"),
                FCustomer->value(QStringLiteral("is_active")).toBool() ? sLabelActive.text() : sLabelNotActive.text());
    SetMemoText(rep, QStringLiteral("memSalesPerson"), ASalesPerson);

    // one line per contact
    QStringList lines;
    for (int row = 0; row < FContacts->recordCount(); ++row) {
        QStringList parts;
        for (const char *field : { "contact_name", "job_position", "contact_type_c", "phone", "mobile", "email" }) {
            // a value typed over several lines would push the rest of it out of the contact's line
            const QString value =
                FContacts->cell(row, FContacts->fieldIndex(QLatin1String(field))).toString().simplified();
            if (!value.isEmpty())
                parts.append(value);
        }
        lines.append(parts.join(QStringLiteral(" | ")));
    }
    SetVisible(rep, QStringLiteral("bndContacts"), !lines.isEmpty());
    SetVisible(rep, QStringLiteral("bndNoContacts"), lines.isEmpty());
    if (!lines.isEmpty())
        fillContactBands(rep, lines);
    rep.setVariable(QStringLiteral("PrintedAt"),
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return true;
}

void TCustomerEntryFrm::PrintCustomerCard()
{
    // the sales person who visits the customer signs the card
    TEmpListFrm employees(this);
    if (Platform::dialogPresenter().showModal(employees) != Platform::ModalResult::Ok)
        return;
    const QString salesPerson = employees.tblData->value(QStringLiteral("emp_name")).toString();
    Platform::Report report;
    if (PrepareCustomerCard(&report, salesPerson))
        report.showPreview(this);
}

void TCustomerEntryFrm::btnContactsClick()
{
    RunAction([this] { ShowContacts(); });
}

void TCustomerEntryFrm::btnAddContactClick()
{
    RunAction([this] { EditContact(0); });
}

void TCustomerEntryFrm::btnPrintClick()
{
    RunAction([this] { PrintCustomerCard(); });
}
