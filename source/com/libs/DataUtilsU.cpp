#include "DataUtilsU.h"

#include "AsyncRunner.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "Json.h"
#include "JsonDataSet.h"
#include "PaginationU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtDebug>
#include <climits>
#include <cmath>

using Platform::MemTable;
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

void THttpParams::AddParam(const QString &AKey, const QVariant &AValue, TParamDataType ADataType,
                           TParamType AParamType)
{
    if (FData.contains(AKey))
        throw Platform::DuplicateKeyError(QStringLiteral("Duplicates not allowed: parameter \"%1\"").arg(AKey));
    TParamData data;
    data.Key = AKey;
    data.Value = AValue;
    data.DataType = ADataType;
    data.ParamType = AParamType;
    FData.insert(AKey, std::move(data));
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
template<typename F>
void guardedStep(const char *AWhat, F &&AStep)
{
    try {
        AStep();
    } catch (const std::exception &e) {
        qCritical("REST request, %s: %s", AWhat, e.what());
    } catch (...) {
        qCritical("REST request, %s: unknown exception", AWhat);
    }
}

void showWaitDlg(bool AWaitDlg)
{
    if (AWaitDlg && WaitDlg)
        WaitDlg->Show();
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
        qWarning("REST request failed with status %d, and neither a callback nor an error handler was given",
                 AStatus);
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

// The callbacks and flags every asynchronous operation carries.
struct Callbacks
{
    TErrorHandler *errorHandler = nullptr;
    TProc complete;
    TErrorProc error;
    bool waitDlg = false;
    bool checkCounter = false;

    void report(int AStatus, const QString &AText) const
    {
        guardedStep("reporting the failure", [&] { reportFailure(error, errorHandler, AStatus, AText); });
    }
    void completed() const
    {
        if (complete)
            guardedStep("completion callback", complete);
    }
    void hideWait() const
    {
        guardedStep("hiding the wait dialog", [&] { hideWaitDlg(waitDlg, checkCounter); });
    }
    // Drops what the callbacks hold here, on the UI thread, rather than on
    // the worker that may drop the last reference to the request.
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
    std::unique_ptr<THttpParams> params;
    JsonDataSet::FieldList fields; // the table's, taken before the task starts
    QPointer<MemTable> table;
    Platform::TableReadTicket ticket;
    QPointer<TPagination> pagination;
    Callbacks cb;
};

struct ListReply
{
    int status = 0;
    bool success = false;
    QString body; // of a failure status only
    JsonDataSet::ParsedRows parsed;
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

void installRows(ListRead &ARead, ListReply &AReply)
{
    MemTable *table = ARead.table;
    if (!AReply.parsed.isObject)
        return; // not an object: nothing loaded, nothing reported
    guardedStep("loading the rows", [&] {
        if (AReply.parsed.hasArray) {
            if (!sameFields(ARead.fields, table->fieldDefs()))
                throw Platform::TableStateError(QStringLiteral("The table's fields changed during the read"));
            table->appendRows(std::move(AReply.parsed.rows));
        }
        table->first();
    });
    if (ARead.kind == ReadKind::List && ARead.pagination) {
        guardedStep("paging bar",
                    [&] { ARead.pagination->Paginate(AReply.parsed.member(PagesMember)); });
    }
}

void startListRead(std::unique_ptr<ListRead> ARead)
{
    MemTable *table = ARead->table;
    if (!table)
        throw Platform::TableStateError(QStringLiteral("A read needs a table"));

    showWaitDlg(ARead->cb.waitDlg);
    table->disableControls();
    table->close();
    table->open();
    table->setReadOnly(false);
    ARead->ticket = Platform::TableReadTicket::begin(table);
    ARead->fields = table->fieldDefs();
    ARead->client = authorisedClient();

    std::shared_ptr<ListRead> read(std::move(ARead));

    auto task = [read]() -> ListReply {
        requireClient(read->client);
        if (read->params)
            read->params->SetRestClientParams(*read->client);
        const Platform::HttpResponse response = read->client->get(read->url);
        ListReply reply;
        reply.status = response.statusCode;
        reply.success = response.success();
        // parsed here, so that the UI thread only installs finished rows
        if (reply.success)
            reply.parsed = JsonDataSet::parseArrayMember(read->fields, response.body, DataMember);
        else
            reply.body = response.content();
        return reply;
    };

    auto finishing = [](ListRead &r) {
        if (r.table)
            guardedStep("thawing the table", [&] { r.table->enableControls(); });
        r.params.reset();
        r.client.reset();
    };

    auto success = [read, finishing](ListReply reply) {
        ListRead &r = *read;
        // a destroyed table takes its screen's paging bar and callbacks with it
        const bool ownerAlive = !r.table.isNull();
        if (reply.success) {
            if (r.ticket.isCurrent())
                installRows(r, reply);
        } else if (ownerAlive) {
            r.cb.report(reply.status, reply.body);
        }
        finishing(r);
        if (r.kind == ReadKind::List) {
            if (ownerAlive)
                r.cb.completed();
            r.cb.hideWait();
        } else {
            r.cb.hideWait();
            if (ownerAlive)
                r.cb.completed();
        }
        r.cb.release();
    };

    auto failure = [read, finishing](const Platform::Error &e) {
        ListRead &r = *read;
        const bool ownerAlive = !r.table.isNull();
        finishing(r);
        if (r.kind == ReadKind::List) {
            if (ownerAlive)
                r.cb.report(500, e.message());
            r.cb.hideWait();
        } else {
            r.cb.hideWait();
            if (ownerAlive)
                r.cb.report(500, e.message());
        }
        r.cb.release();
    };

    Platform::Async::run(std::move(task), std::move(success), std::move(failure));
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

void RestGet(const QString &AUrl, MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
             TPagination *APagination, TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc,
             bool AWaitDlg, bool ACheckCounter)
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
                      TErrorHandler *AErrorHandler, TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    if (!ADataSet)
        throw Platform::TableStateError(QStringLiteral("A detail-row read needs a table"));
    showWaitDlg(AWaitDlg);
    const bool wasReadOnly = ADataSet->readOnly();
    std::exception_ptr failure;
    try {
        const auto client = authorisedClient();
        requireClient(client);
        if (AHttpParams)
            AHttpParams->SetRestClientParams(*client);
        const Platform::HttpResponse response = client->get(AUrl);
        if (response.success()) {
            ADataSet->setReadOnly(false);
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
    if (!ADataSet->isEditing())
        ADataSet->setReadOnly(wasReadOnly);
    if (failure)
        std::rethrow_exception(failure);
}

// ==== TTableList =============================================================

namespace {

const QString MasterKey = QStringLiteral("master");

// A JSON string literal, quotes and escapes included.
QByteArray jsonStringLiteral(const QString &AText)
{
    const QByteArray array = QJsonDocument(QJsonArray{ QJsonValue(AText) }).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// The master row from the object "data": fields without a member keep
// their value.
void writeRecord(MemTable &ATable, const QJsonObject &ARecord)
{
    const auto &fields = ATable.fieldDefs();
    for (int i = 0; i < fields.size(); ++i) {
        const auto member = ARecord.constFind(fields.at(i).name.toLower());
        if (member != ARecord.constEnd())
            ATable.setValue(i, JsonDataSet::valueFromJson(fields.at(i).type, member.value()));
    }
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

bool TTableList::HasLiveTable() const
{
    if (FData.empty())
        return true;
    for (const Entry &e : FData) {
        if (e.Guard)
            return true;
    }
    return false;
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
    for (Entry &e : FData) {
        MemTable *table = e.Guard;
        if (!table || !isCurrent(e))
            continue; // gone, or another read owns it now
        if (e.Data.TableType == ttMaster) {
            // no record, no row: an empty row would look like a loaded one
            if (data.isObject()) {
                table->append();
                writeRecord(*table, record);
                table->post();
            }
        } else {
            const QJsonValue rows = record.value(e.Data.JsonKey);
            if (rows.isArray()) {
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
    const QJsonObject masterObject = JsonDataSet::asJsonObject(masterTable);
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
    std::unique_ptr<THttpParams> params;
    std::unique_ptr<TTableList> list;
    Callbacks cb;

    // Whoever asked still exists; answer only then (see RestGetDetail).
    bool ownerAlive() const { return !list || list->HasLiveTable(); }
};

struct SimpleReply
{
    int status = 0;
    bool success = false;
    QString body;
};

SimpleReply replyOf(const Platform::HttpResponse &AResponse)
{
    SimpleReply reply;
    reply.status = AResponse.statusCode;
    reply.success = AResponse.success();
    reply.body = AResponse.content();
    return reply;
}

} // namespace

void RestGetDetail(const QString &AUrl, std::unique_ptr<TTableList> ATableList, bool AReadOnly,
                   std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                   TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    auto request = std::make_shared<DocumentRequest>();
    request->url = AUrl;
    request->params = std::move(AHttpParams);
    request->list = std::move(ATableList);
    request->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);

    showWaitDlg(AWaitDlg);
    if (request->list)
        request->list->InitTable();
    request->client = authorisedClient();

    auto task = [request]() -> SimpleReply {
        requireClient(request->client);
        if (request->params)
            request->params->SetRestClientParams(*request->client);
        return replyOf(request->client->get(request->url));
    };

    auto closing = [](DocumentRequest &r) {
        if (r.list)
            guardedStep("thawing the tables", [&] { r.list->FinishTable(); });
        r.params.reset();
        r.list.reset();
        r.client.reset();
        r.cb.hideWait();
    };

    auto success = [request, closing, AReadOnly](SimpleReply reply) {
        DocumentRequest &r = *request;
        const bool ownerAlive = r.ownerAlive();
        if (reply.success) {
            if (r.list)
                guardedStep("loading the document", [&] { r.list->LoadData(reply.body, AReadOnly); });
        } else if (ownerAlive) {
            r.cb.report(reply.status, reply.body);
        }
        closing(r);
        if (ownerAlive)
            r.cb.completed();
        r.cb.release();
    };

    auto failure = [request, closing](const Platform::Error &e) {
        DocumentRequest &r = *request;
        const bool ownerAlive = r.ownerAlive();
        closing(r);
        if (ownerAlive)
            r.cb.report(500, e.message());
        r.cb.release();
    };

    Platform::Async::run(std::move(task), std::move(success), std::move(failure));
}

void RestSend(const QString &AMethod, const QString &AUrl, std::unique_ptr<TTableList> ATableList,
              std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
              TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter)
{
    auto request = std::make_shared<DocumentRequest>();
    request->url = AUrl;
    request->params = std::move(AHttpParams);
    request->list = std::move(ATableList);
    request->cb = makeCallbacks(AErrorHandler, std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);

    showWaitDlg(AWaitDlg);

    // The body comes from the tables, which live on this thread. A failure
    // here is sent nowhere: the task reports it as a transport failure.
    QByteArray body;
    QString bodyFailure;
    bool bodyFailed = false;
    if (request->list) {
        try {
            body = request->list->GetJSONString().toUtf8();
        } catch (const std::exception &e) {
            bodyFailed = true;
            bodyFailure = Platform::messageOf(e);
        }
    }
    request->client = authorisedClient();

    const QString method = AMethod.toLower();
    auto task = [request, method, body, bodyFailed, bodyFailure]() -> SimpleReply {
        if (bodyFailed)
            throw Platform::Error(bodyFailure);
        requireClient(request->client);
        Platform::HttpClient &client = *request->client;
        if (request->params)
            request->params->SetRestClientParams(client);
        if (method == QLatin1String("post"))
            return replyOf(client.post(request->url, body, JsonContentType));
        if (method == QLatin1String("patch"))
            return replyOf(client.patch(request->url, body, JsonContentType));
        if (method == QLatin1String("put"))
            return replyOf(client.put(request->url, body, JsonContentType));
        return replyOf(client.del(request->url));
    };

    auto closing = [](DocumentRequest &r) {
        r.params.reset();
        r.list.reset();
        r.client.reset();
        r.cb.hideWait();
    };

    auto success = [request, closing](SimpleReply reply) {
        DocumentRequest &r = *request;
        const bool ownerAlive = r.ownerAlive();
        closing(r);
        if (ownerAlive && reply.success)
            r.cb.completed();
        else if (ownerAlive)
            r.cb.report(reply.status, reply.body);
        r.cb.release();
    };

    auto failure = [request, closing](const Platform::Error &e) {
        DocumentRequest &r = *request;
        const bool ownerAlive = r.ownerAlive();
        closing(r);
        if (ownerAlive)
            r.cb.report(500, e.message());
        r.cb.release();
    };

    Platform::Async::run(std::move(task), std::move(success), std::move(failure));
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
    RestSendOne(QStringLiteral("patch"), AUrl, ATable, std::move(AHttpParams), AErrorHandler,
                std::move(ACompleteProc), std::move(AErrorProc), AWaitDlg, ACheckCounter);
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
