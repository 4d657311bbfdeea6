#include "ContactListFrmU.h"

#include "ReadOnlyModel.h"

#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "HttpClient.h"
#include "JsonDataSet.h"
#include "LangResU.h"
#include "Logging.h"
#include "MsgDlgU.h"
#include "RestRequest.h"
#include "TableReadTicket.h"
#include "TranslationU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <iterator>

using Platform::MemTable;
using FT = Platform::MemTable::FieldType;
namespace ModalResult = Platform::ModalResult;

const Platform::ResourceString sHeaderContactList = { "sHeaderContactList", "Contact List" };
const Platform::ResourceString sLabelContactName = { "sLabelContactName", "Contact Name" };
const Platform::ResourceString sLabelPosition = { "sLabelPosition", "Position" };
const Platform::ResourceString sLabelMobile = { "sLabelMobile", "Mobile" };
const Platform::ResourceString sLabelContactEmail = { "sLabelContactEmail", "Email" };
const Platform::ResourceString sLabelCompany = { "sLabelCompany", "Company" };
const Platform::ResourceString sLabelContactLastUpdate = { "sLabelContactLastUpdate", "Last Update" };

namespace {

const QString CustomerUrl = QStringLiteral("/crm/v1/master/customers/{partner_id}");

struct Field
{
    const char *name;
    FT type;
    int size;
};

const Field Fields[] = {
    { "contact_id", FT::Integer, 0 },
    { "contact_name", FT::String, 150 },
    { "job_position", FT::String, 150 },
    { "phone", FT::String, 100 },
    { "mobile", FT::String, 100 },
    { "email", FT::String, 150 },
    { "notes", FT::Memo, 0 },
    { "title", FT::String, 15 },
    { "image_id", FT::LargeInt, 0 },
    { "is_active", FT::Boolean, 0 },
    { "partner_name", FT::String, 100 },
    { "contact_address", FT::String, 500 },
    { "contact_type_c", FT::String, 0 },
    // behind the hidden "Status" and "Last Update" columns
    { "active_status", FT::String, 0 },
    { "last_update", FT::String, 0 },
};

// The grid's columns, left to right; the hidden ones after the shown.
struct Column
{
    const char *field;
    const Platform::ResourceString *caption;
    int width;
    bool visible;
};

const Column Columns[] = {
    { "contact_type_c", &sLabelType, 100, true },
    { "contact_name", &sLabelContactName, 190, true },
    { "job_position", &sLabelPosition, 140, true },
    { "phone", &sLabelPhone, 100, true },
    { "mobile", &sLabelMobile, 100, true },
    { "email", &sLabelContactEmail, 150, true },
    { "partner_name", &sLabelCompany, 160, false },
    { "active_status", &sLabelStatus, 80, false },
    { "last_update", &sLabelContactLastUpdate, 130, false },
};

// The rows a customer's record gives. Elements that are not objects are
// not rows; a "data" member that is not an object gives none.
std::vector<MemTable::Row> contactRows(const Platform::JsonDataSet::FieldList &AFields, const QByteArray &ABody)
{
    const QJsonDocument doc = QJsonDocument::fromJson(ABody);
    if (!doc.isObject())
        return {};
    const QJsonValue data = doc.object().value(QStringLiteral("data"));
    if (!data.isObject())
        return {};
    const QJsonObject record = data.toObject();
    const QJsonValue contacts = record.value(QStringLiteral("contacts"));
    if (!contacts.isArray())
        return Platform::JsonDataSet::rowsFromJsonArray(AFields, QJsonArray { record });

    // each contact names its company; an older server may leave that out
    QJsonArray rows;
    const QJsonValue company = record.value(QStringLiteral("partner_name"));
    for (const QJsonValue &c : contacts.toArray()) {
        if (!c.isObject())
            continue;
        QJsonObject row = c.toObject();
        if (!row.contains(QStringLiteral("partner_name")))
            row.insert(QStringLiteral("partner_name"), company);
        rows.append(row);
    }
    return Platform::JsonDataSet::rowsFromJsonArray(AFields, rows);
}

} // namespace

void ShowContactError(TErrorHandler *AErrorHandler, int AStatus, const QString &ABody)
{
    const QJsonDocument doc = QJsonDocument::fromJson(ABody.toUtf8());
    const bool envelope = doc.isObject()
        && (doc.object().value(QStringLiteral("errors")).isArray()
            || doc.object().value(QStringLiteral("message")).isString());
    if (envelope && AErrorHandler)
        AErrorHandler->ShowErrorMessage(ABody);
    else
        MsgErr(AStatus, QString());
}

TContactListFrm::TContactListFrm(QWidget *AParent)
    : QDialog(AParent)
{
    setObjectName(QStringLiteral("ContactListFrm"));
    resize(842, 383);

    tblData = new MemTable(this);
    tblData->setObjectName(QStringLiteral("tblData"));
    for (const Field &f : Fields)
        tblData->addField(QLatin1String(f.name), f.type, f.size);
    tblData->open();

    tvContact = new QTableView(this);
    tvContact->setObjectName(QStringLiteral("tvContact"));
    // a read leaves the table writable: the grid must not toggle Boolean cells
    auto *gridModel = new Platform::ReadOnlyModel(tvContact);
    gridModel->setSourceModel(tblData);
    tvContact->setModel(gridModel);
    tvContact->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvContact->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvContact->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvContact->verticalHeader()->hide();
    tvContact->horizontalHeader()->setStretchLastSection(true);
    QHeaderView *header = tvContact->horizontalHeader();
    for (int i = 0; i < tblData->fieldCount(); ++i)
        tvContact->setColumnHidden(i, true);
    for (int pos = 0; pos < int(std::size(Columns)); ++pos) {
        const int logical = tblData->fieldIndex(QLatin1String(Columns[pos].field));
        header->moveSection(header->visualIndex(logical), pos);
        tvContact->setColumnHidden(logical, !Columns[pos].visible);
        tvContact->setColumnWidth(logical, Columns[pos].width);
    }
    // the picked contact is tblData's current row
    connect(tvContact->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &ACurrent) {
                if (ACurrent.isValid() && ACurrent.row() < tblData->recordCount() && !tblData->controlsDisabled())
                    tblData->setRecNo(ACurrent.row());
            });
    connect(tvContact, &QTableView::doubleClicked, this,
            [this](const QModelIndex &AIndex) { tvContactDblClick(AIndex); });

    // The actions carry the captions; the buttons give the results.
    actSave = new QAction(this);
    actSave->setObjectName(QStringLiteral("actSave"));
    actCancel = new QAction(this);
    actCancel->setObjectName(QStringLiteral("actCancel"));
    btnSave = new QPushButton(this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *b : { btnSave, btnCancel })
        b->setAutoDefault(false);
    connect(btnSave, &QPushButton::clicked, this, [this] { done(ModalResult::Ok); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(ModalResult::Cancel); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto *root = new QVBoxLayout(this);
    root->addWidget(tvContact, 1);
    root->addLayout(buttons);

    TranslationChanged();
    Platform::ResourceStringRepository::instance().addListener(this);
}

void TContactListFrm::TranslationChanged()
{
    setWindowTitle(sHeaderContactList.text());
    for (const Column &c : Columns)
        TTranslation::TranslateControl(tblData, tblData->fieldIndex(QLatin1String(c.field)), *c.caption, false);
    TTranslation::TranslateControl(actSave, sLabelSave, false);
    TTranslation::TranslateControl(actCancel, sLabelCancel, false);
    btnSave->setText(actSave->text());
    btnCancel->setText(actCancel->text());
}

int TContactListFrm::ShowModal()
{
    return Platform::dialogPresenter().showModal(*this);
}

void TContactListFrm::LoadData()
{
    tblData->disableControls();
    tblData->close();
    tblData->open();
    tblData->setReadOnly(false);
    IsLoading = true;
    // only the latest read fills the table
    const Platform::TableReadTicket ticket = Platform::TableReadTicket::begin(tblData);
    const Platform::JsonDataSet::FieldList fields = tblData->fieldDefs();

    // The request ends with the form; the wait dialog's count goes back on
    // every path, once.
    auto waitHeld = std::make_shared<bool>(false);
    auto hideWait = [waitHeld] {
        if (std::exchange(*waitHeld, false) && WaitDlg)
            WaitDlg->Hide(false);
    };
    Platform::RestRequest *request = Platform::RestRequest::create({ this });
    const QPointer<Platform::RestRequest> alive(request);
    request->setAborted([this, hideWait, ticket](Platform::RestRequest::AbortReason AReason) {
        hideWait();
        // a cancelled read leaves the list empty and the form usable
        if (AReason == Platform::RestRequest::AbortReason::Cancelled)
            FinishLoad(ticket);
    });
    request->setFinish([this, hideWait, ticket, fields](Platform::RestOutcome &&AOutcome) {
        if (AOutcome.failed) {
            hideWait();
            FinishLoad(ticket);
            MsgErr(TransportFailureText(AOutcome.failureKind, AOutcome.failure));
            return;
        }
        const Platform::HttpResponse &reply = AOutcome.response;
        if (reply.success()) {
            // a bad body loads nothing
            if (ticket.isCurrent()) {
                try {
                    tblData->appendRows(contactRows(fields, reply.body));
                    if (tblData->recordCount() > 0)
                        tblData->first();
                } catch (const std::exception &e) {
                    qCWarning(Platform::Log::data, "Contact rows not loaded: %s", qPrintable(Platform::messageOf(e)));
                }
            }
        } else if (reply.statusCode == 401) {
            MsgErr(metSessionExpired);
        } else {
            ShowContactError(ErrorHandler, reply.statusCode, reply.content());
        }
        FinishLoad(ticket);
        hideWait();
    });

    if (WaitDlg) {
        *waitHeld = true;
        WaitDlg->Show();
    }
    if (!alive)
        return; // the form went while the wait dialog painted
    request->setCancellable(*waitHeld);
    std::shared_ptr<Platform::HttpClient> client = RestClient ? RestClient->CreateRestClient(true) : nullptr;
    request->send(std::move(client), [customerId = CustomerID](Platform::HttpClient &AClient) {
        AClient.addPathParam(QStringLiteral("partner_id"), customerId);
        Platform::RestOutcome o;
        o.response = AClient.get(CustomerUrl);
        return o;
    });
}

void TContactListFrm::FinishLoad(const Platform::TableReadTicket &ARead)
{
    tblData->enableControls();
    if (!ARead.isCurrent())
        return;
    IsLoading = false;
    if (tblData->recordCount() > 0)
        tvContact->selectRow(tblData->recNo());
}

void TContactListFrm::tvContactDblClick(const QModelIndex &AIndex)
{
    if (!AIndex.isValid() || AIndex.row() >= tblData->recordCount())
        return;
    tblData->setRecNo(AIndex.row());
    done(ModalResult::Ok);
}

void TContactListFrm::done(int AResult)
{
    if (AResult != ModalResult::Cancel && tblData->recordCount() == 0)
        return;
    QDialog::done(AResult);
}

void TContactListFrm::reject()
{
    done(ModalResult::Cancel);
}
