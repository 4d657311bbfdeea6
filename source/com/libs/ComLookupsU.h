#pragma once

#include "com_global.h"
#include "MemTable.h"

#include <QDate>
#include <QString>

class TPagination;

// The shared lists of the back end loaded into a caller's table: paged
// master-data lists and lookup lists. Parameters go straight onto the HTTP
// client under fixed names (which differ per endpoint), and every function
// reports failures in its own fixed way; none takes callbacks.
//
// Asynchronous forms return at once and load the table on the user-interface
// thread. A table shows only the rows of the latest read started into it: an
// earlier read that ends later still closes (thaw, wait dialog, messages)
// but loads nothing. A table or paging bar destroyed while its request runs
// is left alone. Synchronous forms block the calling thread and let their
// errors reach the caller.
//
// Lookup tables may be read-only for their users: the lookups load them
// anyway and leave them read-only.

// GET AUrl with "mode" = "list", "params", "q" (ACriteria trimmed), "status",
// "page", "page_rows". Freezes and empties the table, makes it writable and
// shows the wait dialog; the rows of "data" and the paging bar's "pages"
// follow when the server answers; a 200 answer without a list leaves the
// paging bar without totals. 401 shows the session-expired message, another
// failure status the server's error envelope (an error page: its status
// text), no answer what happened in the user's words; the table is thawed
// before any message, and the wait dialog is closed at the end whatever
// other requests run.
COM_EXPORT void DataList(const QString &AUrl, Platform::MemTable *ATable, const QString &AParams,
                         const QString &ACriteria, int AStatusActive, TPagination *FPagination, const QString &APage,
                         const QString &ARowPerPage);

// As DataList, with "start_date" and "end_date" ("yyyy-MM-dd") in place of
// "status".
COM_EXPORT void DataListDate(const QString &AUrl, Platform::MemTable *ATable, const QString &AParams,
                             const QString &ACriteria, const QDate &AStartDate, const QDate &AEndDate,
                             TPagination *FPagination, const QString &APage, const QString &ARowPerPage);

// GET AUrl with "params", "showall" and "mode" = "lookup". Asynchronous: no
// wait dialog, no freezing; success replaces the rows, 401 shows the
// session-expired message, another failure status shows nothing and keeps
// the rows, a transport failure shows its text.
// Synchronous: see the note on StatusLookups.
COM_EXPORT void DataLookups(const QString &AUrl, Platform::MemTable *ATable, const int AShowAll, const QString &AParams,
                            const bool AASync);

// GET "/com/v1/master/status/{status_group_id}". AShowAll is not sent.
// Asynchronous: through the long-lived client of RestClient; success
// replaces the rows, every failure is silent and keeps them.
// Synchronous: the body is read whatever the status. A JSON object empties
// the table and loads its "data" array; without one the table stays empty
// and Platform::JsonMemberError is raised. Any other body changes nothing.
// A transport failure raises Platform::TransportError.
COM_EXPORT void StatusLookups(const QString &AStatusGroupID, Platform::MemTable *ATable, bool AShowAll, bool AASync);

// GET "/com/v1/master/tr-codes" with "mode" = "lookup", "q" = ATrGroupId and
// "show_all". The client is always the authorised one, whatever AIsAuth
// says. Failures as StatusLookups.
COM_EXPORT void TrCodeLookups(bool AIsAuth, const QString &ATrGroupId, Platform::MemTable *ATable, const int AShowAll,
                              const bool AASync);
