#include "DataUtilsU.h"

#include "ErrorHandlerU.h"
#include "Errors.h"
#include "Json.h"
#include "JsonDataSet.h"
#include "Logging.h"
#include "MsgDlgU.h"
#include "PaginationU.h"
#include "RestRequest.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QtDebug>
#include <climits>
#include <cmath>

using Platform::MemTable;
using Platform::RestOutcome;
using Platform::RestRequest;
using AbortReason = Platform::RestRequest::AbortReason;
namespace JsonDataSet = Platform::JsonDataSet;

// ==== THttpParams =============================================================

namespace {

const QString DateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

[[noreturn]] void cannotConvert(const TParamData &AParam, const QString &ATypeName)
{
    const QString shown = AParam.Value.isValid() ? AParam.Value.toString() : QStringLiteral("(null)");
    throw Platform::ConversionError(QStringLiteral("Could not convert the value '%1' of parameter \"%2\" into %3")
                                        .arg(shown, AParam.Key, ATypeName));
}

QString paramText(const TParamData &AParam)
{
    const QVariant &v = AParam.Value;
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime: return v.toDateTime().toString(DateTimeFormat);
    default: break;
    }
    if (!v.canConvert<QString>())
        cannotConvert(AParam, QStringLiteral("text"));
    return v.toString();
}

int paramInt(const TParamData &AParam)
{
    const QVariant &v = AParam.Value;
    const QString typeName = QStringLiteral("a 32-bit integer");
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong: {
        const qlonglong i = v.toLongLong();
        if (i < INT_MIN || i > INT_MAX)
            cannotConvert(AParam, typeName);
        return int(i);
    }
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(INT_MAX))
            cannotConvert(AParam, typeName);
        return int(u);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        // a fraction sent as a rounded integer would address another record
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || d < double(INT_MIN) || d > double(INT_MAX))
            cannotConvert(AParam, typeName);
        return int(d);
    }
    case QMetaType::Bool: return v.toBool() ? 1 : 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const int i = v.toString().trimmed().toInt(&ok, 10);
        if (!ok)
            cannotConvert(AParam, typeName);
        return i;
    }
    default: cannotConvert(AParam, typeName);
    }
}

QDate paramDate(const TParamData &AParam)
{
    const QVariant &v = AParam.Value;
    QDate d;
    switch (v.typeId()) {
    case QMetaType::QDate: d = v.toDate(); break;
    case QMetaType::QDateTime: d = v.toDateTime().date(); break;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = v.toString().trimmed();
        d = QDate::fromString(text, Qt::ISODate);
        if (!d.isValid())
            d = QDateTime::fromString(text, Qt::ISODate).date();
        break;
    }
    default: break;
    }
    if (!d.isValid())
        cannotConvert(AParam, QStringLiteral("a date"));
    return d;
}

QString paramDateTimeText(const TParamData &AParam)
{
    const QVariant &v = AParam.Value;
    QDateTime dt;
    switch (v.typeId()) {
    case QMetaType::QDateTime: dt = v.toDateTime(); break;
    case QMetaType::QDate: dt = v.toDate().startOfDay(); break;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = v.toString().trimmed();
        dt = QDateTime::fromString(text, Qt::ISODate);
        if (!dt.isValid())
            dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        break;
    }
    default: break;
    }
    if (!dt.isValid())
        cannotConvert(AParam, QStringLiteral("a date and time"));
    return dt.toString(DateTimeFormat);
}

} // namespace

THttpParams::THttpParams() = default;
THttpParams::~THttpParams() = default;

void THttpParams::AddParam(const QString &AKey, const QVariant &AValue, TParamDataType ADataType, TParamType AParamType)
{
    if (FData.contains(AKey))
        throw Platform::DuplicateKeyError(QStringLiteral("Duplicates not allowed: parameter \"%1\"").arg(AKey));
    TParamData data;
    data.Key = AKey;
    data.Value = AValue;
    data.DataType = ADataType;
    data.ParamType = AParamType;
    FData.insert(AKey, data);
}

void THttpParams::AddParamsType1(const QString &AMode, const QString &AStrQuery, int AActiveStatus,
                                 const QString &APage, const QString &APageRows)
{
    AddParam(QStringLiteral("mode"), AMode, pdtString, ptQuery);
    AddParam(QStringLiteral("q"), AStrQuery, pdtString, ptQuery);
    AddParam(QStringLiteral("status"), AActiveStatus, pdtInteger, ptQuery);
    AddParam(QStringLiteral("page"), APage, pdtString, ptQuery);
    AddParam(QStringLiteral("page_rows"), APageRows, pdtString, ptQuery);
}

void THttpParams::SetRestClientParams(Platform::HttpClient &ARestClient) const
{
    Platform::HttpClient *client = &ARestClient;
    for (auto it = FData.cbegin(), end = FData.cend(); it != end; ++it) {
        const TParamData &p = it.value();
        const bool query = p.ParamType == ptQuery;
        switch (p.DataType) {
        case pdtString: {
            const QString text = paramText(p);
            client = query ? &client->addQueryStringParam(p.Key, text) : &client->addPathParam(p.Key, text);
            break;
        }
        case pdtInteger: {
            const int i = paramInt(p);
            client = query ? &client->addQueryStringParam(p.Key, i) : &client->addPathParam(p.Key, i);
            break;
        }
        case pdtDate: {
            const QDate d = paramDate(p);
            client = query ? &client->addQueryStringParam(p.Key, d) : &client->addPathParam(p.Key, d);
            break;
        }
        case pdtDateTime: {
            const QString text = paramDateTimeText(p);
            client = query ? &client->addQueryStringParam(p.Key, text) : &client->addPathParam(p.Key, text);
            break;
        }
        }
    }
}

const TParamData *THttpParams::Find(const QString &AKey) const
{
    const auto it = FData.constFind(AKey);
    return it == FData.cend() ? nullptr : &it.value();
}

// ==== shared parts of the request cycle =================================

namespace {

const QString DataMember = QStringLiteral("data");
const QString PagesMember = QStringLiteral("pages");
const QString JsonContentType = QStringLiteral("application/json");

// One step of a completion: whatever it throws stays here, so that the steps
// after it (thaw, release, wait dialog) still run and nothing reaches the
// event loop.
template<typename F> void guardedStep(const char *AWhat, F &&AStep)
{
    try {
        AStep();
    } catch (const std::exception &e) {
        qCCritical(Platform::Log::net, "REST request, %s: %s", AWhat, e.what());
    } catch (...) {
        qCCritical(Platform::Log::net, "REST request, %s: unknown exception", AWhat);
    }
}

// For the blocking read: the UI thread waits next, so a delayed showing
// would never get its turn.
void showWaitDlg(bool AWaitDlg)
{
    if (AWaitDlg && WaitDlg)
        WaitDlg->ShowAtOnce();
}

void hideWaitDlg(bool AWaitDlg, bool ACheckCounter)
{
    if (AWaitDlg && WaitDlg)
        WaitDlg->Hide(ACheckCounter);
}

void reportFailure(const TErrorProc &AErrorProc, TErrorHandler *AErrorHandler, int AStatus, const QString &AText)
{
    if (AErrorProc)
        AErrorProc(AStatus, AText);
    else if (AErrorHandler)
        AErrorHandler->ShowErrorMessage(AStatus, AText);
    else
        qCWarning(Platform::Log::net,
                  "REST request failed with status %d, and neither a callback nor an error handler was given", AStatus);
}

// Made on the UI thread, where RestClient lives; the task only uses it.
std::shared_ptr<Platform::HttpClient> authorisedClient()
{
    return RestClient ? RestClient->CreateRestClient(true) : nullptr;
}

void requireClient(const std::shared_ptr<Platform::HttpClient> &AClient)
{
    if (!AClient)
        throw Platform::Error(QStringLiteral("The REST client has not been created"));
}

// The callbacks and flags every asynchronous operation carries, and the
// wait dialog's count that it holds (given back once).
struct Callbacks
{
    TErrorHandler *errorHandler = nullptr;
    TProc complete;
    TErrorProc error;
    bool waitDlg = false;
    bool checkCounter = false;
    bool waitHeld = false;
    bool write = false;

    // Show() processes events: the request may be aborted in there, and
    // then gives the count back at once.
    void showWait()
    {
        if (waitDlg && WaitDlg) {
            waitHeld = true;
            WaitDlg->Show();
        }
    }
    void report(int AStatus, const QString &AText) const
    {
        guardedStep("reporting the failure", [&] { reportFailure(error, errorHandler, AStatus, AText); });
    }
    // No answer: the caller's procedure gets 500 and what happened in the
    // user's words; without one the user reads it, not as a server error.
    void reportTransport(const RestOutcome &AOutcome) const
    {
        qWarning("REST request got no answer: %s", qPrintable(AOutcome.failure));
        const QString text = write ? WriteFailureText(AOutcome.failureKind, AOutcome.failure)
                                   : TransportFailureText(AOutcome.failureKind, AOutcome.failure);
        guardedStep("reporting the failure", [&] {
            if (error)
                error(500, text);
            else if (errorHandler)
                MsgErr(text);
        });
    }
    void completed() const
    {
        if (complete)
            guardedStep("completion callback", complete);
    }
    void hideWait()
    {
        if (!std::exchange(waitHeld, false))
            return;
        guardedStep("hiding the wait dialog", [&] { hideWaitDlg(waitDlg, checkCounter); });
    }
    // The caller's callbacks go at once, on the UI thread.
    void release()
    {
        complete = nullptr;
        error = nullptr;
    }
};

// ==== list and lookup reads ================================================

enum class ReadKind { List, Lookup };

struct ListRead
{
    ReadKind kind = ReadKind::List;
    QString url;
    std::shared_ptr<Platform::HttpClient> client;
    // shared with the task while it runs; released on the UI thread unless
    // an abort left the task the last holder
    std::shared_ptr<const THttpParams> params;
    JsonDataSet::FieldList fields; // the table's, taken before the task starts
    QPointer<MemTable> table;
    bool frozen = false;
    Platform::TableReadTicket ticket;
    QPointer<TPagination> pagination;
    // "data" may also be the one record as an object
    bool acceptRecord = false;
    Callbacks cb;
};

bool sameFields(const JsonDataSet::FieldList &A, const JsonDataSet::FieldList &B)
{
    if (A.size() != B.size())
        return false;
    for (qsizetype i = 0; i < A.size(); ++i) {
        if (A.at(i).type != B.at(i).type || A.at(i).name.compare(B.at(i).name, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

void installRows(ListRead &ARead, RestOutcome &AOutcome)
{
    MemTable *table = ARead.table;
    const JsonDataSet::ParsedRows &parsed = AOutcome.parsed;
    const QJsonValue record = parsed.member(DataMember);
    const bool isRecord = ARead.acceptRecord && !parsed.hasArray && record.isObject();
    if (parsed.isObject) {
        guardedStep("loading the rows", [&] {
            if (parsed.hasArray || isRecord) {
                if (!sameFields(ARead.fields, table->fieldDefs()))
                    throw Platform::TableStateError(QStringLiteral("The table's fields changed during the read"));
            }
            if (parsed.hasArray)
                table->appendRows(std::move(AOutcome.parsed.rows));
            else if (isRecord && AOutcome.parsed.rows.size() == 1)
                table->appendRows(std::move(AOutcome.parsed.rows)); // read from the text
            else if (isRecord)
                table->appendRows(JsonDataSet::rowsFromJsonArray(ARead.fields, QJsonArray { record }));
            table->first();
        });
    }
    // Not an object, or no list in it: not reported, but the bar must not
    // go on showing the totals of the list that was there before.
    if (ARead.kind == ReadKind::List && ARead.pagination) {
        const QJsonValue pages = parsed.hasArray ? parsed.member(PagesMember) : QJsonValue();
        guardedStep("paging bar", [&] { ARead.pagination->Paginate(pages); });
    }
}

// Thaw and release: the first closing steps of every path.
void finishListRead(ListRead &r)
{
    if (r.table && std::exchange(r.frozen, false))
        guardedStep("thawing the table", [&] { r.table->enableControls(); });
    r.params.reset();
    r.client.reset();
}

// The completion and the wait dialog in the order of the read's kind.
void completeListRead(ListRead &r)
{
    if (r.kind == ReadKind::List) {
        r.cb.completed();
        r.cb.hideWait();
    } else {
        r.cb.hideWait();
        r.cb.completed();
    }
}

// The rows of a successful answer read while its body arrives; the body of
// a small one is gathered and read whole, that of any other answer gathered
// for its message.
class ListBodyReader : public Platform::HttpBodySink
{
public:
    explicit ListBodyReader(JsonDataSet::FieldList AFields)
        : m_fields(std::move(AFields))
    { }

    bool accept(const Platform::HttpResponse &AHead) override
    {
        const QByteArray length = AHead.header("Content-Length");
        if (!AHead.success()
            || (!length.isEmpty() && length.toLongLong() <= JsonDataSet::ArrayMemberReader::WholeBodyBytes))
            return false;
        m_reader = std::make_unique<JsonDataSet::ArrayMemberReader>(m_fields, DataMember);
        m_reader->expectSize(length.toLongLong());
        return true;
    }
    void append(const char *AData, qsizetype ASize) override { m_reader->append(AData, ASize); }

    bool took() const { return m_reader != nullptr; }
    JsonDataSet::ParsedRows finish() { return m_reader->finish(); }

private:
    const JsonDataSet::FieldList m_fields;
    std::unique_ptr<JsonDataSet::ArrayMemberReader> m_reader;
};

void startListRead(std::unique_ptr<ListRead> ARead)
{
    if (!ARead->table)
        throw Platform::TableStateError(QStringLiteral("A read needs a table"));

    std::shared_ptr<ListRead> read(std::move(ARead));
    RestRequest *request = RestRequest::create({ read->table.data() });
    const QPointer<RestRequest> alive(request);

    request->setAborted([read](AbortReason AReason) {
        ListRead &r = *read;
        // a cancelled read ends as an empty one; otherwise nobody is told
        if (AReason != AbortReason::Cancelled)
            r.cb.release();
        finishListRead(r);
        completeListRead(r);
        r.cb.release();
    });
    request->setFinish([read](RestOutcome &&AOutcome) {
        ListRead &r = *read;
        if (AOutcome.failed) {
            finishListRead(r);
            if (r.kind == ReadKind::List) {
                r.cb.reportTransport(AOutcome);
                r.cb.hideWait();
            } else {
                r.cb.hideWait();
                r.cb.reportTransport(AOutcome);
            }
        } else {
            if (AOutcome.response.success()) {
                if (r.ticket.isCurrent())
                    installRows(r, AOutcome);
                finishListRead(r);
            } else {
                // thawed first: the views must not show the emptied rows
                // as blank lines behind the dialog
                finishListRead(r);
                r.cb.report(AOutcome.response.statusCode, AOutcome.response.content());
            }
            completeListRead(r);
        }
        r.cb.release();
    });

    read->cb.showWait();
    if (!alive)
        return; // the table went while the wait dialog painted
    MemTable *table = read->table;
    table->disableControls();
    read->frozen = true;
    table->close();
    table->open();
    table->setReadOnly(false);
    read->ticket = Platform::TableReadTicket::begin(table);
    read->fields = table->fieldDefs();
    read->client = authorisedClient();
    request->setCancellable(read->cb.waitHeld);

    // the task gets plain data only: the URL, the fields and the parameters
    request->send(
        read->client,
        [url = read->url, fields = read->fields, params = read->params](Platform::HttpClient &AClient) mutable {
            if (params)
                params->SetRestClientParams(AClient);
            // released on the UI thread, in its place among the closing steps
            params.reset();
            // The rows are read while the body arrives, here, so that the UI
            // thread only installs finished rows.
            ListBodyReader rows(fields);
            RestOutcome o;
            o.response = AClient.get(url, rows);
            if (o.response.success()) {
                o.parsed =
                    rows.took() ? rows.finish() : JsonDataSet::parseArrayMember(fields, o.response.body, DataMember);
                // a record answered as one object: its row read from the
                // text too, for the 64-bit ids a QJsonValue cannot hold
                if (!o.parsed.hasArray && o.parsed.member(DataMember).isObject() && !rows.took()) {
                    if (std::optional<Platform::TableStorage> row =
                            JsonDataSet::objectMemberRow(fields, o.response.body, DataMember))
                        o.parsed.rows = std::move(*row);
                }
                o.response.body.clear();
            }
            return o;
        });
}

Callbacks makeCallbacks(TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                        bool ACheckCounter)
{
    Callbacks cb;
    cb.errorHandler = AErrorHandler;
    cb.complete = std::move(ACompleteProc);
    cb.error = std::move(AErrorProc);
    cb.waitDlg = AWaitDlg;
    cb.checkCounter = ACheckCounter;
    return cb;
}

// name=value lines, as a string list holds them.
void addParamLines(THttpParams &AParams, const QString &ALines)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = ALines.split(lineBreak);
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            AParams.AddParam(line, QString(), pdtString, ptQuery);
        else
            AParams.AddParam(line.left(eq), line.mid(eq + 1), pdtString, ptQuery);
    }
}

} // namespace

void RestGet(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams, TPagination *APagination,
             TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
             bool ACheckCounter)
{
    auto read = std::make_unique<ListRead>();
    read->kind = ReadKind::List;
    read->url = AUrl;
    read->params = std::move(AHttpParams);
    read->table = ATable;
    read->pagination = APagination;
    read->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
    startListRead(std::move(read));
}

void RestGetRecord(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                   TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                   bool ACheckCounter)
{
    auto read = std::make_unique<ListRead>();
    read->kind = ReadKind::List;
    read->url = AUrl;
    read->params = std::move(AHttpParams);
    read->table = ATable;
    read->acceptRecord = true;
    read->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
    startListRead(std::move(read));
}

void RestLookup(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                bool ACheckCounter)
{
    auto read = std::make_unique<ListRead>();
    read->kind = ReadKind::Lookup;
    read->url = AUrl;
    read->params = std::move(AHttpParams);
    read->table = ATable;
    read->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
    startListRead(std::move(read));
}

void RestLookup(const QString &AUrl, MemTable *ATable, bool AShowAll, const QString &AParams,
                TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                bool ACheckCounter)
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("showall"), AShowAll ? 1 : 0, pdtInteger, ptQuery);
    addParamLines(*params, AParams);
    RestLookup(AUrl, ATable, std::move(params), AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc),
               AWaitDlg, ACheckCounter);
}

void RestLookupTrCodes(const QString &ATrGroupId, MemTable *ATable, bool AIsAuth, bool AShowAll,
                       TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                       bool ACheckCounter)
{
    Q_UNUSED(AIsAuth); // the client is always the authorised one
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("showall"), AShowAll ? 1 : 0, pdtInteger, ptQuery);
    params->AddParam(QStringLiteral("tr_group_id"), ATrGroupId, pdtString, ptQuery);
    RestLookup(QStringLiteral("/com/v1/master/tr-codes"), ATable, std::move(params), AErrorHandler,
               std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestLookupDataStatus(int AType, const QString &AStatusGroupId, MemTable *ATable, bool AShowAll,
                          const QString &AParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                          TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("type"), AType, pdtInteger, ptQuery);
    params->AddParam(QStringLiteral("status_group_id"), AStatusGroupId, pdtString, ptQuery);
    params->AddParam(QStringLiteral("showall"), AShowAll ? 1 : 0, pdtInteger, ptQuery);
    addParamLines(*params, AParams);
    RestLookup(QStringLiteral("/com/v1/master/status"), ATable, std::move(params), AErrorHandler,
               std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestGetDetailRow(const QString &AUrl, MemTable *ADataSet, std::unique_ptr<THttpParams> AHttpParams,
                      TErrorHandler *AErrorHandler, const TErrorProc &AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    if (!ADataSet)
        throw Platform::TableStateError(QStringLiteral("A detail-row read needs a table"));
    // The wait dialog lets queued events run: a screen closed meanwhile
    // takes its table along, and then there is nothing to read into.
    const QPointer<MemTable> table(ADataSet);
    const bool wasReadOnly = ADataSet->readOnly();
    showWaitDlg(AWaitDlg);
    if (!table) {
        AHttpParams.reset();
        hideWaitDlg(AWaitDlg, ACheckCounter);
        return;
    }
    std::exception_ptr failure;
    try {
        const auto client = authorisedClient();
        requireClient(client);
        if (AHttpParams)
            AHttpParams->SetRestClientParams(*client);
        const Platform::HttpResponse response = client->get(AUrl);
        if (response.success()) {
            ADataSet->setReadOnly(false);
            // no current row to refresh: the record becomes the one row
            if (ADataSet->recordCount() == 0)
                ADataSet->append();
            else
                ADataSet->edit();
            try {
                JsonDataSet::loadJsonObjectFromObjectProperty(*ADataSet, DataMember, response.content());
                ADataSet->post();
            } catch (...) {
                // the row stays as it was rather than half loaded
                ADataSet->cancel();
                throw;
            }
        } else {
            reportFailure(AErrorProc, AErrorHandler, response.statusCode, response.content());
        }
    } catch (...) {
        failure = std::current_exception();
    }
    AHttpParams.reset();
    hideWaitDlg(AWaitDlg, ACheckCounter);
    if (table && !table->isEditing())
        table->setReadOnly(wasReadOnly);
    if (failure)
        std::rethrow_exception(failure);
}

// ==== TTableList =============================================================

namespace {

const QString MasterKey = QStringLiteral("master");

// A JSON string literal, quotes and escapes included.
QByteArray jsonStringLiteral(const QString &AText)
{
    const QByteArray array = QJsonDocument(QJsonArray { QJsonValue(AText) }).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QJsonObject nullRecord(const MemTable &ATable)
{
    QJsonObject record;
    for (const auto &field : ATable.fieldDefs())
        record.insert(field.name.toLower(), QJsonValue::Null);
    return record;
}

} // namespace

TTableList::TTableList() = default;
TTableList::~TTableList() = default;

void TTableList::AddTable(const QString &AKey, const QString &AJsonKey, MemTable *ATable, TTableType ATableType)
{
    if (findEntry(AKey))
        throw Platform::DuplicateKeyError(QStringLiteral("Duplicates not allowed: table \"%1\"").arg(AKey));
    Entry entry;
    entry.Data.Key = AKey;
    entry.Data.JsonKey = AJsonKey;
    entry.Data.Table = ATable;
    entry.Data.TableType = ATableType;
    entry.Guard = ATable;
    FData.push_back(std::move(entry));
}

void TTableList::AddTable(const QString &AKey, MemTable *ATable, TTableType ATableType)
{
    AddTable(AKey, AKey, ATable, ATableType);
}

TTableList::Entry *TTableList::findEntry(const QString &AKey)
{
    for (Entry &e : FData) {
        if (e.Data.Key == AKey)
            return &e;
    }
    return nullptr;
}

const TTableData *TTableList::Find(const QString &AKey) const
{
    for (const Entry &e : FData) {
        if (e.Data.Key == AKey)
            return &e.Data;
    }
    return nullptr;
}

bool TTableList::isCurrent(const Entry &AEntry) const
{
    return AEntry.Ticket.generation() == 0 || AEntry.Ticket.isCurrent();
}

QList<MemTable *> TTableList::LiveTables() const
{
    QList<MemTable *> tables;
    for (const Entry &e : FData) {
        if (e.Guard)
            tables.append(e.Guard.data());
    }
    return tables;
}

void TTableList::InitTable()
{
    for (Entry &e : FData) {
        MemTable *table = e.Guard;
        if (!table)
            continue;
        table->disableControls();
        table->close();
        table->open();
        table->setReadOnly(false);
        e.Ticket = Platform::TableReadTicket::begin(table);
    }
}

void TTableList::LoadData(const QString &AJsonString, bool AReadOnly)
{
    const QJsonValue root = Platform::Json::parse(AJsonString);
    if (!root.isObject())
        return;
    const QJsonValue data = root.toObject().value(DataMember);
    const QJsonObject record = data.toObject(); // empty when "data" is no object
    std::optional<QByteArray> text; // UTF-8, once a detail needs it
    for (Entry &e : FData) {
        MemTable *table = e.Guard;
        if (!table || !isCurrent(e))
            continue; // gone, or another read owns it now
        // Read from the text where it can be: a QJsonValue cannot hold a
        // 64-bit id beyond 2^53 apart from a rounded number.
        if (e.Data.TableType == ttMaster) {
            // no record, no row: an empty row would look like a loaded one
            if (data.isObject()) {
                table->append();
                JsonDataSet::loadJsonObjectFromObjectProperty(*table, DataMember, AJsonString);
                table->post();
            }
        } else {
            const QJsonValue rows = record.value(e.Data.JsonKey);
            if (rows.isArray()) {
                if (!text)
                    text = AJsonString.toUtf8();
                if (std::optional<Platform::TableStorage> exact =
                        JsonDataSet::nestedArrayRows(table->fieldDefs(), *text, DataMember, e.Data.JsonKey))
                    table->appendRows(std::move(*exact));
                else
                    table->appendRows(JsonDataSet::rowsFromJsonArray(table->fieldDefs(), rows.toArray()));
                table->first();
            }
        }
        table->setReadOnly(AReadOnly);
    }
}

void TTableList::FinishTable()
{
    for (Entry &e : FData) {
        if (e.Guard)
            e.Guard->enableControls();
    }
}

QString TTableList::GetJSONString()
{
    Entry *master = findEntry(MasterKey);
    if (!master)
        throw Platform::NotFoundError(QStringLiteral("The table list has no entry named \"master\""));
    auto tableOf = [](Entry &e) -> MemTable & {
        if (!e.Guard)
            throw Platform::TableStateError(QStringLiteral("The table of \"%1\" no longer exists").arg(e.Data.Key));
        return *e.Guard;
    };
    MemTable &masterTable = tableOf(*master);
    if (masterTable.isEditing())
        masterTable.post();
    // No row: every field null, as an empty table reads; the server says
    // what is missing.
    const QJsonObject masterObject =
        masterTable.recNo() < 0 ? nullRecord(masterTable) : JsonDataSet::asJsonObject(masterTable);
    QByteArray text = QJsonDocument(masterObject).toJson(QJsonDocument::Compact);
    if (FData.size() == 1)
        return QString::fromUtf8(text);

    // the detail members follow the master's own members
    text.chop(1); // the closing brace
    bool needComma = !masterObject.isEmpty();
    for (Entry &e : FData) {
        if (&e == master)
            continue;
        MemTable &table = tableOf(e);
        if (table.isEditing())
            table.post();
        if (needComma)
            text += ',';
        needComma = true;
        text += jsonStringLiteral(e.Data.JsonKey);
        text += ':';
        text += QJsonDocument(JsonDataSet::asJsonArray(table)).toJson(QJsonDocument::Compact);
    }
    text += '}';
    return QString::fromUtf8(text);
}

// ==== detail reads and writes ================================================

namespace {

struct DocumentRequest
{
    QString url;
    std::shared_ptr<Platform::HttpClient> client;
    std::shared_ptr<const THttpParams> params; // shared with the task while it runs
    std::unique_ptr<TTableList> list;
    bool initialised = false;
    Callbacks cb;

    // Thaw (a read's tables), release the parameters and the list.
    void close()
    {
        if (list && std::exchange(initialised, false))
            guardedStep("thawing the tables", [&] { list->FinishTable(); });
        params.reset();
        list.reset();
        client.reset();
    }
};

RestOutcome replyOf(Platform::HttpResponse AResponse)
{
    RestOutcome o;
    o.response = std::move(AResponse);
    return o;
}

// The request of a document operation: owned by the list's tables, and by
// whoever a RestRequestOwner scope names. The quiet end of an abort frees
// the callbacks at once.
RestRequest *documentRequest(const std::shared_ptr<DocumentRequest> &ARequest)
{
    QList<QObject *> owners;
    if (ARequest->list) {
        for (MemTable *table : ARequest->list->LiveTables())
            owners.append(table);
    }
    RestRequest *request = RestRequest::create(owners);
    request->setAborted([ARequest](AbortReason) {
        DocumentRequest &r = *ARequest;
        r.cb.release();
        r.close();
        r.cb.hideWait();
    });
    return request;
}

} // namespace

void RestGetDetail(const QString &AUrl, std::unique_ptr<TTableList> ATableList, bool AReadOnly,
                   std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                   TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    auto state = std::make_shared<DocumentRequest>();
    state->url = AUrl;
    state->params = std::move(AHttpParams);
    state->list = std::move(ATableList);
    state->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);

    RestRequest *request = documentRequest(state);
    const QPointer<RestRequest> alive(request);
    if (state->list) {
        // a cancelled read ends as one that loaded nothing
        request->setAborted([state](AbortReason AReason) {
            DocumentRequest &r = *state;
            if (AReason != AbortReason::Cancelled)
                r.cb.release();
            r.close();
            r.cb.hideWait();
            r.cb.completed();
            r.cb.release();
        });
    }
    request->setFinish([state, AReadOnly](RestOutcome &&AOutcome) {
        DocumentRequest &r = *state;
        if (AOutcome.failed) {
            r.close();
            r.cb.hideWait();
            r.cb.reportTransport(AOutcome);
        } else {
            if (AOutcome.response.success()) {
                if (r.list) {
                    const QString body = AOutcome.response.content();
                    guardedStep("loading the document", [&] { r.list->LoadData(body, AReadOnly); });
                }
                r.close();
            } else {
                // thawed first: no emptied rows behind the dialog
                r.close();
                r.cb.report(AOutcome.response.statusCode, AOutcome.response.content());
            }
            r.cb.hideWait();
            r.cb.completed();
        }
        r.cb.release();
    });

    state->cb.showWait();
    if (!alive)
        return; // a table went while the wait dialog painted
    if (state->list) {
        state->list->InitTable();
        state->initialised = true;
    }
    state->client = authorisedClient();
    request->setCancellable(state->list && state->cb.waitHeld);
    request->send(state->client, [url = AUrl, params = state->params](Platform::HttpClient &AClient) mutable {
        if (params)
            params->SetRestClientParams(AClient);
        params.reset();
        return replyOf(AClient.get(url));
    });
}

void RestSend(const QString &AMethod, const QString &AUrl, std::unique_ptr<TTableList> ATableList,
              std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
              TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    auto state = std::make_shared<DocumentRequest>();
    state->url = AUrl;
    state->params = std::move(AHttpParams);
    state->list = std::move(ATableList);
    state->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
    state->cb.write = true;

    RestRequest *request = documentRequest(state);
    const QPointer<RestRequest> alive(request);
    request->setFinish([state](RestOutcome &&AOutcome) {
        DocumentRequest &r = *state;
        r.close();
        r.cb.hideWait();
        if (AOutcome.failed)
            r.cb.reportTransport(AOutcome);
        else if (AOutcome.response.success())
            r.cb.completed();
        else
            r.cb.report(AOutcome.response.statusCode, AOutcome.response.content());
        r.cb.release();
    });

    state->cb.showWait();
    if (!alive)
        return; // a table went while the wait dialog painted

    // The body comes from the tables, which live on this thread. A failure
    // here is sent nowhere: the task reports it as a transport failure.
    QByteArray body;
    QString bodyFailure;
    bool bodyFailed = false;
    if (state->list) {
        try {
            body = state->list->GetJSONString().toUtf8();
        } catch (const std::exception &e) {
            bodyFailed = true;
            bodyFailure = Platform::messageOf(e);
        }
    }
    state->client = authorisedClient();

    // a write cannot be called back once sent: the server may have applied it
    const QString method = AMethod.toLower();
    request->send(state->client,
                  [url = AUrl, params = state->params, method, body, bodyFailed,
                   bodyFailure](Platform::HttpClient &AClient) mutable {
                      if (bodyFailed)
                          throw Platform::Error(bodyFailure);
                      if (params)
                          params->SetRestClientParams(AClient);
                      params.reset();
                      if (method == QLatin1String("post"))
                          return replyOf(AClient.post(url, body, JsonContentType));
                      if (method == QLatin1String("patch"))
                          return replyOf(AClient.patch(url, body, JsonContentType));
                      if (method == QLatin1String("put"))
                          return replyOf(AClient.put(url, body, JsonContentType));
                      return replyOf(AClient.del(url));
                  });
}

void RestSendOne(const QString &AMethod, const QString &AUrl, MemTable *ATable,
                 std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                 TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    std::unique_ptr<TTableList> list;
    if (ATable) {
        list = std::make_unique<TTableList>();
        list->AddTable(MasterKey, MasterKey, ATable, ttMaster);
    }
    RestSend(AMethod, AUrl, std::move(list), std::move(AHttpParams), AErrorHandler, std::move(ACompleteProc),
             std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestPost(const QString &AUrl, std::unique_ptr<TTableList> ATableList, std::unique_ptr<THttpParams> AHttpParams,
              TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
              bool ACheckCounter)
{
    RestSend(QStringLiteral("post"), AUrl, std::move(ATableList), std::move(AHttpParams), AErrorHandler,
             std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestPost(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
              TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
              bool ACheckCounter)
{
    RestSendOne(QStringLiteral("post"), AUrl, ATable, std::move(AHttpParams), AErrorHandler, std::move(ACompleteProc),
                std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestPatch(const QString &AUrl, std::unique_ptr<TTableList> ATableList, std::unique_ptr<THttpParams> AHttpParams,
               TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
               bool ACheckCounter)
{
    RestSend(QStringLiteral("patch"), AUrl, std::move(ATableList), std::move(AHttpParams), AErrorHandler,
             std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestPatch(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
               TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
               bool ACheckCounter)
{
    RestSendOne(QStringLiteral("patch"), AUrl, ATable, std::move(AHttpParams), AErrorHandler, std::move(ACompleteProc),
                std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestPut(const QString &AUrl, std::unique_ptr<TTableList> ATableList, std::unique_ptr<THttpParams> AHttpParams,
             TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
             bool ACheckCounter)
{
    RestSend(QStringLiteral("put"), AUrl, std::move(ATableList), std::move(AHttpParams), AErrorHandler,
             std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestPut(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
             TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
             bool ACheckCounter)
{
    RestSendOne(QStringLiteral("put"), AUrl, ATable, std::move(AHttpParams), AErrorHandler, std::move(ACompleteProc),
                std::move(AErrorProc), AWaitDlg, ACheckCounter);
}

void RestDelete(const QString &AUrl, std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler,
                TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    RestSendOne(QStringLiteral("delete"), AUrl, nullptr, std::move(AHttpParams), AErrorHandler,
                std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
}
