#include "ComLookupsU.h"

#include "ErrorHandlerU.h"
#include "HttpClient.h"
#include "JsonDataSet.h"
#include "Logging.h"
#include "MsgDlgU.h"
#include "PaginationU.h"
#include "RestRequest.h"
#include "TableReadTicket.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QPointer>
#include <memory>
#include <utility>

using Platform::HttpClient;
using Platform::HttpResponse;
using Platform::MemTable;
using Platform::RestOutcome;
using Platform::RestRequest;
using AbortReason = Platform::RestRequest::AbortReason;
using Platform::TableReadTicket;
using Platform::JsonDataSet::FieldList;
using Platform::JsonDataSet::ParsedRows;

namespace {

const QString DataMember = QStringLiteral("data");
const QString PagesMember = QStringLiteral("pages");
const QString StatusResource = QStringLiteral("/com/v1/master/status/{status_group_id}");
const QString TrCodeResource = QStringLiteral("/com/v1/master/tr-codes");

// Runs at the end of a scope, so that the closing steps survive a throwing
// step before them.
template<typename F> class Finally
{
public:
    explicit Finally(F f)
        : m_f(std::move(f))
    { }
    ~Finally() { m_f(); }
    Finally(const Finally &) = delete;
    Finally &operator=(const Finally &) = delete;

private:
    F m_f;
};

QString noClientMessage()
{
    return QStringLiteral("No connection to the server has been set up.");
}

// A new authorised client, made on the calling thread: a request keeps its
// own client even if RestClient goes away while it runs. nullptr without a
// RestClient; the request then fails like one that got no answer.
std::shared_ptr<HttpClient> newClientOrNull()
{
    return RestClient ? RestClient->CreateRestClient(true) : nullptr;
}

// The task of a read: GET with the parameters already on the client, rows
// built on the worker (the body is dropped then).
RestRequest::Work getWork(QString url, FieldList fields)
{
    return [url = std::move(url), fields = std::move(fields)](HttpClient &client) {
        RestOutcome o;
        o.response = client.get(url);
        if (o.response.success()) {
            o.parsed = Platform::JsonDataSet::parseArrayMember(fields, o.response.body, DataMember);
            o.response.body.clear();
        }
        return o;
    };
}

// Empties the table and installs the rows in one batch. A read-only table
// is opened up for the load and made read-only again.
void replaceRows(MemTable &table, Platform::TableStorage &&rows)
{
    const bool readOnly = table.readOnly();
    table.close();
    table.open();
    if (readOnly)
        table.setReadOnly(false);
    Finally restore([&] {
        if (readOnly && !table.isEditing())
            table.setReadOnly(true);
    });
    table.install(std::move(rows));
}

void replaceRowsQuietly(MemTable &table, Platform::TableStorage &&rows)
{
    try {
        replaceRows(table, std::move(rows));
    } catch (const std::exception &e) {
        // loading errors of the asynchronous lookups are not reported
        qCWarning(Platform::Log::data) << "lookup rows not loaded:" << Platform::messageOf(e);
    }
}

// The list read's hold on the wait dialog, given back once.
struct ListHold
{
    QPointer<MemTable> table;
    QPointer<TPagination> pagination;
    TableReadTicket ticket;
    bool frozen = false;
    bool waitHeld = false;

    void thaw()
    {
        if (table && std::exchange(frozen, false))
            table->enableControls();
    }
    void hideWait()
    {
        if (std::exchange(waitHeld, false) && WaitDlg)
            WaitDlg->Hide(false);
    }
};

// The common cycle of DataList and DataListDate; the client carries the
// request's parameters already.
void runList(const QString &AUrl, MemTable *ATable, TPagination *FPagination, std::shared_ptr<HttpClient> client)
{
    auto hold = std::make_shared<ListHold>();
    hold->table = ATable;
    hold->pagination = FPagination;
    RestRequest *request = RestRequest::create({ ATable });
    const QPointer<RestRequest> alive(request);
    // gone or cancelled: the table stays empty, nothing is said
    request->setAborted([hold](AbortReason) {
        hold->thaw();
        hold->hideWait();
    });
    request->setFinish([hold](RestOutcome &&o) {
        if (o.failed) {
            hold->hideWait();
            hold->thaw();
            MsgErr(TransportFailureText(o.failureKind, o.failure));
            return;
        }
        Finally close([&] {
            hold->thaw();
            hold->hideWait();
        });
        if (o.response.success()) {
            if (!hold->ticket.isCurrent())
                return;
            if (o.parsed.hasArray) {
                try {
                    hold->table->install(std::move(o.parsed.rows));
                } catch (const std::exception &e) {
                    // a table closed or made read-only meanwhile stays as it is
                    qCWarning(Platform::Log::data) << "lookup rows not loaded:" << Platform::messageOf(e);
                }
            }
            // no list in the answer: no totals of the one that was there
            if (hold->pagination)
                hold->pagination->Paginate(o.parsed.hasArray ? o.parsed.member(PagesMember) : QJsonValue());
            return;
        }
        // the emptied rows must not stay behind the dialog as blank lines
        hold->thaw();
        hold->hideWait();
        if (o.response.statusCode == 401) {
            MsgErr(metSessionExpired);
        } else {
            // a handler with nothing registered: field keys in "errors"
            // messages are dropped, "message" is shown as it is; an error
            // page is told by its status
            TErrorHandler handler;
            handler.ShowErrorBody(o.response.statusCode, o.response.content());
        }
    });

    hold->ticket = TableReadTicket::begin(ATable);
    ATable->disableControls();
    hold->frozen = true;
    ATable->close();
    ATable->open();
    ATable->setReadOnly(false);
    FieldList fields = ATable->fieldDefs();
    // Show() lets pending events run: the table may go in there
    if (WaitDlg) {
        hold->waitHeld = true;
        WaitDlg->Show();
    }
    if (!alive)
        return;
    request->setCancellable(hold->waitHeld);
    request->send(std::move(client), getWork(AUrl, std::move(fields)), noClientMessage());
}

// The synchronous lookups: the body is read whatever the status.
void lookupNow(const QString &AUrl, MemTable *ATable, const std::function<void(HttpClient &)> &AAddParams)
{
    if (!ATable)
        return;
    // a blocking read is the latest one too: reads still running give way
    TableReadTicket::begin(ATable);
    auto client = newClientOrNull();
    if (!client)
        throw Platform::TransportError(noClientMessage());
    AAddParams(*client);
    const HttpResponse response = client->get(AUrl);
    ParsedRows parsed = Platform::JsonDataSet::parseArrayMember(ATable->fieldDefs(), response.body, DataMember);
    if (!parsed.isObject) {
        qCWarning(Platform::Log::data) << "lookup" << AUrl << "answered" << response.statusCode
                                       << "without a JSON object; the rows stay as they were";
        return;
    }
    if (!parsed.hasArray) {
        replaceRows(*ATable, {});
        throw Platform::JsonMemberError(parsed.member(DataMember).isUndefined()
                                            ? QStringLiteral("JSON member \"data\" is missing")
                                            : QStringLiteral("JSON member \"data\" is not an array"));
    }
    replaceRows(*ATable, std::move(parsed.rows));
}

// StatusLookups and TrCodeLookups, asynchronous: one request on the
// long-lived client of RestClient, every failure silent.
void lookupLater(const QString &AUrl, MemTable *ATable, const std::function<void(HttpClient &)> &AAddParams)
{
    if (!ATable || !RestClient)
        return;
    const TableReadTicket ticket = TableReadTicket::begin(ATable);
    FieldList fields = ATable->fieldDefs();
    RestRequest *request = RestRequest::create({ ATable });
    request->setFinish([ticket, AUrl](RestOutcome &&o) {
        if (!o.failed && o.response.success() && o.parsed.isObject && ticket.isCurrent())
            replaceRowsQuietly(*ticket.table(), std::move(o.parsed.rows));
        else if (o.failed || !o.response.success() || !o.parsed.isObject)
            qCWarning(Platform::Log::data)
                << "lookup" << AUrl
                << "not loaded:" << (o.failed ? o.failure : QStringLiteral("status %1").arg(o.response.statusCode));
    });
    // the rows are built on a worker; the UI thread only installs them
    request->sendArmed(
        [fields](RestOutcome &o) {
            if (o.response.success())
                o.parsed = Platform::JsonDataSet::parseArrayMember(fields, o.response.body, DataMember);
            o.response.body.clear();
        },
        [&](HttpClient::CompletionHandler done, HttpClient::ErrorHandler failed,
            std::shared_ptr<Platform::HttpCancelToken> token) {
            HttpClient &client = RestClient->SendRequest(std::move(done), std::move(failed), true);
            client.setCancelToken(std::move(token));
            AAddParams(client);
            client.get(AUrl);
        });
}

} // namespace

void DataList(const QString &AUrl, MemTable *ATable, const QString &AParams, const QString &ACriteria,
              int AStatusActive, TPagination *FPagination, const QString &APage, const QString &ARowPerPage)
{
    if (!ATable)
        return;
    auto client = newClientOrNull();
    if (client) {
        client->addQueryStringParam(QStringLiteral("mode"), QStringLiteral("list"))
            .addQueryStringParam(QStringLiteral("params"), AParams)
            .addQueryStringParam(QStringLiteral("q"), ACriteria.trimmed())
            .addQueryStringParam(QStringLiteral("status"), AStatusActive)
            .addQueryStringParam(QStringLiteral("page"), APage)
            .addQueryStringParam(QStringLiteral("page_rows"), ARowPerPage);
    }
    runList(AUrl, ATable, FPagination, std::move(client));
}

void DataListDate(const QString &AUrl, MemTable *ATable, const QString &AParams, const QString &ACriteria,
                  const QDate &AStartDate, const QDate &AEndDate, TPagination *FPagination, const QString &APage,
                  const QString &ARowPerPage)
{
    if (!ATable)
        return;
    auto client = newClientOrNull();
    if (client) {
        client->addQueryStringParam(QStringLiteral("mode"), QStringLiteral("list"))
            .addQueryStringParam(QStringLiteral("params"), AParams)
            .addQueryStringParam(QStringLiteral("q"), ACriteria.trimmed())
            .addQueryStringParam(QStringLiteral("start_date"), AStartDate)
            .addQueryStringParam(QStringLiteral("end_date"), AEndDate)
            .addQueryStringParam(QStringLiteral("page"), APage)
            .addQueryStringParam(QStringLiteral("page_rows"), ARowPerPage);
    }
    runList(AUrl, ATable, FPagination, std::move(client));
}

void DataLookups(const QString &AUrl, MemTable *ATable, const int AShowAll, const QString &AParams, const bool AASync)
{
    const auto addParams = [&](HttpClient &client) {
        client.addQueryStringParam(QStringLiteral("params"), AParams)
            .addQueryStringParam(QStringLiteral("showall"), AShowAll)
            .addQueryStringParam(QStringLiteral("mode"), QStringLiteral("lookup"));
    };
    if (!AASync) {
        lookupNow(AUrl, ATable, addParams);
        return;
    }
    if (!ATable)
        return;
    const TableReadTicket ticket = TableReadTicket::begin(ATable);
    auto client = newClientOrNull();
    if (client)
        addParams(*client);
    RestRequest *request = RestRequest::create({ ATable });
    request->setFinish([ticket](RestOutcome &&o) {
        if (o.failed) {
            MsgErr(TransportFailureText(o.failureKind, o.failure));
        } else if (o.response.success()) {
            if (o.parsed.isObject && ticket.isCurrent())
                replaceRowsQuietly(*ticket.table(), std::move(o.parsed.rows));
        } else if (o.response.statusCode == 401) {
            MsgErr(metSessionExpired);
        }
    });
    request->send(std::move(client), getWork(AUrl, ATable->fieldDefs()), noClientMessage());
}

void StatusLookups(const QString &AStatusGroupID, MemTable *ATable, bool AShowAll, bool AASync)
{
    Q_UNUSED(AShowAll);
    const auto addParams = [&](HttpClient &client) {
        client.addPathParam(QStringLiteral("status_group_id"), AStatusGroupID);
    };
    if (AASync)
        lookupLater(StatusResource, ATable, addParams);
    else
        lookupNow(StatusResource, ATable, addParams);
}

void TrCodeLookups(bool AIsAuth, const QString &ATrGroupId, MemTable *ATable, const int AShowAll, const bool AASync)
{
    Q_UNUSED(AIsAuth);
    const auto addParams = [&](HttpClient &client) {
        client.addQueryStringParam(QStringLiteral("mode"), QStringLiteral("lookup"))
            .addQueryStringParam(QStringLiteral("q"), ATrGroupId)
            .addQueryStringParam(QStringLiteral("show_all"), AShowAll);
    };
    if (AASync)
        lookupLater(TrCodeResource, ATable, addParams);
    else
        lookupNow(TrCodeResource, ATable, addParams);
}
