#include "Paging.h"

#include "Database.h"
#include "TextUtil.h"

#include <QJsonArray>

#include <algorithm>
#include <limits>

QJsonObject rowToJson(const QSqlQuery &query, const Columns &columns, int firstIndex)
{
    QJsonObject row;
    for (int i = 0; i < columns.size(); ++i) {
        const Column &c = columns.at(i);
        const QVariant v = query.value(firstIndex + i);
        if (v.isNull() && c.nullable) {
            row.insert(c.name, QJsonValue::Null);
            continue;
        }
        switch (c.type) {
        case ColType::Int: row.insert(c.name, v.toLongLong()); break;
        case ColType::Text: row.insert(c.name, v.toString()); break;
        case ColType::Bool: row.insert(c.name, v.toLongLong() != 0); break;
        case ColType::Double: row.insert(c.name, v.toDouble()); break;
        }
    }
    return row;
}

namespace {

qint64 intParam(const Request &request, const QString &name, qint64 min, qint64 max, const QString &rule)
{
    const std::optional<qint64> value = request.queryInt(name);
    if (!value || *value < min || *value > max)
        throw HttpError(400, QStringLiteral("Query parameter \"%1\" %2.").arg(name, rule));
    return *value;
}

// "name", "name desc", "a asc, b desc" -> SQL, every name checked against
// the endpoint's list; nothing the client sends reaches the statement text.
QString orderClause(const ListSpec &spec, const QString &order)
{
    QStringList parts;
    if (!order.trimmed().isEmpty()) {
        const QStringList items = order.split(QLatin1Char(','));
        for (const QString &item : items) {
            const QStringList words = item.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.isEmpty() || words.size() > 2)
                throw HttpError(400,
                                QStringLiteral("Query parameter \"order\" is not valid: \"%1\".").arg(item.trimmed()));
            const QString column = words.at(0).toLower();
            const auto it = spec.orderable.constFind(column);
            if (it == spec.orderable.constEnd())
                throw HttpError(400, QStringLiteral("Cannot order by \"%1\".").arg(words.at(0)));
            QString direction = QStringLiteral("ASC");
            if (words.size() == 2) {
                const QString d = words.at(1).toLower();
                if (d == QLatin1String("desc"))
                    direction = QStringLiteral("DESC");
                else if (d != QLatin1String("asc"))
                    throw HttpError(
                        400, QStringLiteral("Order direction must be asc or desc, not \"%1\".").arg(words.at(1)));
            }
            parts << *it + QLatin1Char(' ') + direction;
        }
    } else if (!spec.defaultOrder.isEmpty()) {
        parts << spec.defaultOrder;
    }
    if (!spec.tieBreak.isEmpty())
        parts << spec.tieBreak;
    return parts.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}

} // namespace

ListParams ListParams::parse(const Request &request, qint64 defaultPageRows, Kind kind)
{
    ListParams p;
    p.mode = request.queryValue(QStringLiteral("mode")).trimmed().toLower();
    p.q = request.queryValue(QStringLiteral("q")).trimmed();
    if (p.q.size() > kMaxSearchLength) {
        throw HttpError(400,
                        QStringLiteral("Query parameter \"q\" is too long; a search text has at most %1 characters.")
                            .arg(kMaxSearchLength));
    }
    p.order = request.queryValue(QStringLiteral("order"));

    const bool hasStatus = !request.queryValue(QStringLiteral("status")).trimmed().isEmpty();
    const QString showAllName =
        request.hasQuery(QStringLiteral("showall")) ? QStringLiteral("showall") : QStringLiteral("show_all");
    const bool hasShowAll = !request.queryValue(showAllName).trimmed().isEmpty();
    if (hasStatus) {
        switch (intParam(request, QStringLiteral("status"), 0, 2,
                         QStringLiteral("must be 0 (all), 1 (active) or 2 (not active)"))) {
        case 1: p.activeOnly = true; break;
        case 2: p.activeOnly = false; break;
        default: break;
        }
    } else if (hasShowAll) {
        if (intParam(request, showAllName, 0, 1, QStringLiteral("must be 0 or 1")) == 0)
            p.activeOnly = true;
    } else if (p.mode == QLatin1String("lookup") || (p.mode.isEmpty() && kind == Kind::Lookup)) {
        // a pick list offers what may still be chosen
        p.activeOnly = true;
    }

    const bool hasPage = !request.queryValue(QStringLiteral("page")).trimmed().isEmpty();
    const bool hasRows = !request.queryValue(QStringLiteral("page_rows")).trimmed().isEmpty();
    // lookups fill a whole pick list unless the client asks for a page
    const bool lookup = p.mode == QLatin1String("lookup") || (p.mode.isEmpty() && kind == Kind::Lookup);
    p.paged = hasPage || hasRows || !lookup;
    p.pageRows = defaultPageRows;
    if (hasPage)
        p.page = intParam(request, QStringLiteral("page"), 1, std::numeric_limits<int>::max(),
                          QStringLiteral("must be a whole number from 1"));
    if (hasRows) {
        p.pageRows = intParam(request, QStringLiteral("page_rows"), 1, std::numeric_limits<int>::max(),
                              QStringLiteral("must be a whole number from 1"));
    }
    p.pageRows = std::min(p.pageRows, kMaxPageRows);
    return p;
}

QJsonObject singlePageMeta(qint64 count)
{
    return QJsonObject { { QStringLiteral("page"), 1 },
                         { QStringLiteral("page_rows"), count },
                         { QStringLiteral("page_count"), count > 0 ? 1 : 0 },
                         { QStringLiteral("rec_count"), count } };
}

QJsonObject runList(Database &db, const ListSpec &spec, const ListParams &params, const QList<Condition> &conditions,
                    bool applySearch)
{
    QStringList where;
    QVariantList binds;
    for (const Condition &c : conditions) {
        where << QLatin1Char('(') + c.sql + QLatin1Char(')');
        binds += c.binds;
    }
    if (params.activeOnly.has_value() && !spec.activeExpr.isEmpty()) {
        where << spec.activeExpr + QStringLiteral(" = ?");
        binds << (*params.activeOnly ? 1 : 0);
    }
    if (applySearch && !params.q.isEmpty() && !spec.searchExprs.isEmpty()) {
        QStringList ors;
        const QString pattern = containsPattern(params.q);
        for (const QString &expr : spec.searchExprs) {
            ors << expr + QLatin1Char(' ') + db.likeOperator() + QStringLiteral(" ? ESCAPE '\\'");
            binds << pattern;
        }
        where << QLatin1Char('(') + ors.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    const QString whereSql =
        where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    const QString order = orderClause(spec, params.order);

    const qint64 count = db.scalar(QStringLiteral("SELECT COUNT(*) ") + spec.from + whereSql, binds).toLongLong();

    QString sql = QStringLiteral("SELECT ") + spec.selectList + QLatin1Char(' ') + spec.from + whereSql + order;
    QVariantList pageBinds = binds;
    if (params.paged) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        pageBinds << params.pageRows << (params.page - 1) * params.pageRows;
    }
    QSqlQuery query = db.exec(sql, pageBinds);
    QJsonArray rows;
    while (query.next())
        rows.append(rowToJson(query, spec.columns));

    QJsonObject pages;
    if (params.paged) {
        pages = QJsonObject { { QStringLiteral("page"), params.page },
                              { QStringLiteral("page_rows"), params.pageRows },
                              { QStringLiteral("page_count"), (count + params.pageRows - 1) / params.pageRows },
                              { QStringLiteral("rec_count"), count } };
    } else {
        pages = singlePageMeta(count);
    }
    return QJsonObject { { QStringLiteral("data"), rows }, { QStringLiteral("pages"), pages } };
}
