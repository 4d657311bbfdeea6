#pragma once

#include "HttpTypes.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

#include <optional>

class Database;

enum class ColType { Int, Text, Bool, Double };

// One member of a row: the SELECT list yields the columns in this order.
struct Column
{
    QString name;
    ColType type;
    bool nullable = false; // SQL NULL becomes JSON null instead of 0 / ""
};
using Columns = QList<Column>;

QJsonObject rowToJson(const QSqlQuery &query, const Columns &columns, int firstIndex = 0);

// The list parameters every list endpoint reads, as the clients send them:
// "mode", "q", "status" (0 all, 1 active, 2 not active), "showall" or
// "show_all" (1 includes inactive rows), "page", "page_rows", "order".
struct ListParams
{
    QString mode;
    QString q;
    std::optional<bool> activeOnly; // true: active rows, false: inactive rows, none: all
    bool paged = true;
    qint64 page = 1;
    qint64 pageRows = 20;
    QString order;

    static constexpr qint64 kMaxPageRows = 1000;
    static constexpr qsizetype kMaxSearchLength = 200;

    // What an endpoint does when the client says nothing: a list pages and
    // shows every row; a lookup answers every active row at once.
    enum class Kind { List, Lookup };
    static ListParams parse(const Request &request, qint64 defaultPageRows, Kind kind);
};

// What a list endpoint is made of; every part is fixed text of the server.
struct ListSpec
{
    QString selectList; // "cc.cc_id, cc.cc_code, ..." in the order of columns
    QString from; // "FROM ... JOIN ..."
    Columns columns;
    QStringList searchExprs; // matched with LIKE '%q%'
    QString activeExpr; // e.g. "cc.is_active"; empty: no status filter
    QHash<QString, QString> orderable; // member name -> SQL expression
    QString defaultOrder; // SQL
    QString tieBreak; // SQL, keeps pages stable
};

// An extra condition of one request, with its bound values.
struct Condition
{
    QString sql;
    QVariantList binds;
};

// Runs the count and the page; returns {"data": [...], "pages": {...}}.
// searchExprs are used unless the handler interpreted "q" itself.
QJsonObject runList(Database &db, const ListSpec &spec, const ListParams &params,
                    const QList<Condition> &conditions = {}, bool applySearch = true);

// "pages" for a response that holds rows on one page.
QJsonObject singlePageMeta(qint64 count);
