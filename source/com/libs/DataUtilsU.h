#pragma once

#include "com_global.h"
#include "HttpClient.h"
#include "MemTable.h"
#include "TableReadTicket.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class TErrorHandler;
class TPagination;

// Completion callback of a REST operation.
using TProc = std::function<void()>;
// Failure callback: HTTP status (500 for a transport failure) and the
// response body (or the failure's text). When given, it replaces the error
// handler's dialog.
using TErrorProc = std::function<void(int, const QString &)>;

// ---- request parameters ----------------------------------------------------

enum TParamDataType : quint8 {
    pdtString,
    pdtInteger,
    pdtDate, // sent as "yyyy-MM-dd"
    pdtDateTime, // sent as text "yyyy-MM-ddTHH:mm:ss", the value's own clock time, no zone
};

enum TParamType : quint8 {
    ptQuery, // name=value in the query string
    ptPath, // fills "{name}" in the resource path
};

class COM_EXPORT TParamData
{
public:
    QString Key;
    QVariant Value;
    TParamDataType DataType = pdtString;
    TParamType ParamType = ptQuery;
};

// The named query and path parameters of one request. A screen fills it and
// hands it over (std::unique_ptr) to one REST operation, which applies it in
// its background task and releases it when the request is over.
class COM_EXPORT THttpParams
{
public:
    THttpParams();
    ~THttpParams();
    THttpParams(const THttpParams &) = delete;
    THttpParams &operator=(const THttpParams &) = delete;

    // Keys are compared exactly; a key already present raises
    // Platform::DuplicateKeyError and the set keeps the earlier entry.
    void AddParam(const QString &AKey, const QVariant &AValue, TParamDataType ADataType, TParamType AParamType);
    // The paged-list convention: "mode", "q", "status" (integer), "page",
    // "page_rows", all query parameters.
    void AddParamsType1(const QString &AMode, const QString &AStrQuery, int AActiveStatus, const QString &APage,
                        const QString &APageRows);
    // Adds every entry to the client. A value that does not convert to its
    // data type raises Platform::ConversionError (nothing is sent then).
    void SetRestClientParams(Platform::HttpClient &ARestClient) const;

    int Count() const { return int(FData.size()); }
    bool Contains(const QString &AKey) const { return FData.contains(AKey); }
    // nullptr when absent.
    const TParamData *Find(const QString &AKey) const;

private:
    QHash<QString, TParamData> FData;
};

// ---- reads into in-memory tables ----------------------------------------
//
// Every asynchronous read shows the wait dialog when asked, freezes and
// empties the table on the calling (UI) thread, sends the request from a
// background task and loads the rows on the UI thread. A table shows only
// the rows of the latest read started into it: an earlier read that ends
// later still runs its closing steps (thaw, release, callbacks, wait dialog)
// but loads nothing. A read whose table has been destroyed meanwhile only
// releases its parameters and hides the wait dialog: its owner is gone.
//
// AErrorHandler is needed unless AErrorProc is given. No exception of a
// callback or of the error handler leaves the completion. A request that got
// no answer is told in the user's words (no connection, no answer in time,
// a broken answer): AErrorProc gets 500 and that text, or the plain error
// dialog shows it. A 200 answer without a list in it is not reported, and
// leaves the paging bar without totals.

COM_EXPORT void RestGet(const QString &AUrl, Platform::MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                        TPagination *APagination, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                        TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);

// RestGet without a paging bar for a read of one record: "data" as the
// record's object gives one row, "data" as an array gives its rows.
COM_EXPORT void RestGetRecord(const QString &AUrl, Platform::MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                              TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                              bool ACheckCounter);

COM_EXPORT void RestLookup(const QString &AUrl, Platform::MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                           TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                           bool ACheckCounter);

// "showall" (1 or 0), then one text query parameter per line name=value of
// AParams (blank lines skipped; a line without "=" is a name with an empty
// value). A name given twice raises DuplicateKeyError before anything starts.
COM_EXPORT void RestLookup(const QString &AUrl, Platform::MemTable *ATable, bool AShowAll, const QString &AParams,
                           TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                           bool ACheckCounter);

// "/com/v1/master/tr-codes" with "showall" and "tr_group_id". The client is
// always the authorised one, whatever AIsAuth says.
COM_EXPORT void RestLookupTrCodes(const QString &ATrGroupId, Platform::MemTable *ATable, bool AIsAuth, bool AShowAll,
                                  TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc,
                                  bool AWaitDlg, bool ACheckCounter);

// "/com/v1/master/status" with "type", "status_group_id", "showall" and the
// lines of AParams.
COM_EXPORT void RestLookupDataStatus(int AType, const QString &AStatusGroupId, Platform::MemTable *ATable,
                                     bool AShowAll, const QString &AParams, TErrorHandler *AErrorHandler,
                                     TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);

// Refreshes the current row of ADataSet from the object member "data",
// blocking the calling thread; an empty table gets the record as its one
// row (editing an empty table inserts, as the table contract has it). A transport failure or a body that cannot be
// loaded raises to the caller, after the parameters are released, the wait
// dialog hidden and the read-only state restored; the row is then unchanged.
COM_EXPORT void RestGetDetailRow(const QString &AUrl, Platform::MemTable *ADataSet,
                                 std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler,
                                 const TErrorProc &AErrorProc, bool AWaitDlg, bool ACheckCounter);

// ---- table list and writes ----------------------------------------------

enum TTableType : quint8 { ttMaster, ttDetail, ttVendor };

class COM_EXPORT TTableData
{
public:
    QString Key;
    QString JsonKey;
    Platform::MemTable *Table = nullptr; // not owned
    TTableType TableType = ttMaster;
};

// The master and detail tables of one document, by name, and the conversion
// between them and the document's JSON. Entries are visited in the order
// they were added. The list never releases the tables.
class COM_EXPORT TTableList
{
public:
    TTableList();
    ~TTableList();
    TTableList(const TTableList &) = delete;
    TTableList &operator=(const TTableList &) = delete;

    // A key already present raises Platform::DuplicateKeyError.
    void AddTable(const QString &AKey, const QString &AJsonKey, Platform::MemTable *ATable, TTableType ATableType);
    void AddTable(const QString &AKey, Platform::MemTable *ATable, TTableType ATableType);

    // Freezes, empties and makes writable every table, and marks this list's
    // read as the latest one into each of them.
    void InitTable();
    // Loads the response of a detail read: the master gets one row from the
    // object "data", every other table the array named by its JsonKey inside
    // "data". A body that is not an object loads nothing; a member that is
    // missing or of another kind leaves its table empty. Nothing is reported.
    // Tables that another read has started into since InitTable are skipped.
    void LoadData(const QString &AJsonString, bool AReadOnly);
    // Thaws every table.
    void FinishTable();
    // The body of a write (posting pending edits first): the master's current
    // row as an object (every field null when it has no row), followed by
    // one array member per other table. Raises NotFoundError without a
    // "master" entry, TableStateError when a table refuses to post.
    QString GetJSONString();

    int Count() const { return int(FData.size()); }
    // The tables that still exist, in list order.
    QList<Platform::MemTable *> LiveTables() const;
    // nullptr when absent.
    const TTableData *Find(const QString &AKey) const;

private:
    struct Entry
    {
        TTableData Data;
        QPointer<Platform::MemTable> Guard;
        Platform::TableReadTicket Ticket; // of the read started by InitTable
    };
    Entry *findEntry(const QString &AKey);
    bool isCurrent(const Entry &AEntry) const;

    std::vector<Entry> FData;
};

// GET into the tables of the list (which becomes this call's, as does the
// parameter set). Closing steps: thaw, release, wait dialog, then
// ACompleteProc, also after a failure status but not after a transport
// failure. When every table of the list has been destroyed meanwhile, the
// screen is gone: the callbacks and the error report are skipped (this also
// holds for RestSend and its forms).
COM_EXPORT void RestGetDetail(const QString &AUrl, std::unique_ptr<TTableList> ATableList, bool AReadOnly,
                              std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler,
                              TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);

// The verb by AMethod without regard to case: "post", "patch" and "put" send
// the list's JSON (empty without a list) as "application/json"; anything
// else sends DELETE without a body. The body is built on the calling thread
// before the request starts; when that fails nothing is sent and the failure
// is reported as status 500.
COM_EXPORT void RestSend(const QString &AMethod, const QString &AUrl, std::unique_ptr<TTableList> ATableList,
                         std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                         TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);
// One table sent as the bare object of its current row; no table: no body.
COM_EXPORT void RestSendOne(const QString &AMethod, const QString &AUrl, Platform::MemTable *ATable,
                            std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                            TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);

COM_EXPORT void RestPost(const QString &AUrl, std::unique_ptr<TTableList> ATableList,
                         std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                         TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);
COM_EXPORT void RestPost(const QString &AUrl, Platform::MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                         TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                         bool ACheckCounter);
COM_EXPORT void RestPatch(const QString &AUrl, std::unique_ptr<TTableList> ATableList,
                          std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                          TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);
COM_EXPORT void RestPatch(const QString &AUrl, Platform::MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                          TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                          bool ACheckCounter);
COM_EXPORT void RestPut(const QString &AUrl, std::unique_ptr<TTableList> ATableList,
                        std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler, TProc ACompleteProc,
                        TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);
COM_EXPORT void RestPut(const QString &AUrl, Platform::MemTable *ATable, std::unique_ptr<THttpParams> AHttpParams,
                        TErrorHandler *AErrorHandler, TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg,
                        bool ACheckCounter);
COM_EXPORT void RestDelete(const QString &AUrl, std::unique_ptr<THttpParams> AHttpParams, TErrorHandler *AErrorHandler,
                           TProc ACompleteProc, TErrorProc AErrorProc, bool AWaitDlg, bool ACheckCounter);
