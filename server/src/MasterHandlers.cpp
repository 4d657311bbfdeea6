// Shared master data: cost centres, employees, items, locations, countries,
// states, statuses and transaction codes. All are read-only lists with the
// common list parameters (see Paging.h).
#include "Database.h"
#include "Paging.h"
#include "Router.h"
#include "ServerContext.h"

namespace {

// An integer taken from a query parameter, or a 400 naming it.
std::optional<qint64> idParam(const Request &request, const QString &name)
{
    return request.queryInt(name);
}

// "params" is opaque to the shared lookups; the states lookup sends the
// country id in it.
std::optional<qint64> paramsAsId(const Request &request, const QString &meaning)
{
    const QString text = request.queryValue(QStringLiteral("params")).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok)
        throw HttpError(400, QStringLiteral("Query parameter \"params\" must be %1.").arg(meaning));
    return id;
}

const ListSpec &costCenterSpec()
{
    static const ListSpec spec {
        QStringLiteral("cc.cc_id, cc.cc_code, cc.cc_name, cc.cc_type_id, t.cc_type_desc, cc.is_active"),
        QStringLiteral("FROM cost_centers cc JOIN cost_center_types t ON t.cc_type_id = cc.cc_type_id"),
        { { QStringLiteral("cc_id"), ColType::Int },
          { QStringLiteral("cc_code"), ColType::Text },
          { QStringLiteral("cc_name"), ColType::Text },
          { QStringLiteral("cc_type_id"), ColType::Int },
          { QStringLiteral("cc_type_desc"), ColType::Text },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("cc.cc_code"), QStringLiteral("cc.cc_name"), QStringLiteral("t.cc_type_desc") },
        QStringLiteral("cc.is_active"),
        { { QStringLiteral("cc_id"), QStringLiteral("cc.cc_id") },
          { QStringLiteral("cc_code"), QStringLiteral("cc.cc_code") },
          { QStringLiteral("cc_name"), QStringLiteral("cc.cc_name") },
          { QStringLiteral("cc_type_desc"), QStringLiteral("t.cc_type_desc") } },
        QStringLiteral("cc.cc_code"),
        QStringLiteral("cc.cc_id"),
    };
    return spec;
}

const ListSpec &employeeSpec()
{
    static const ListSpec spec {
        QStringLiteral(
            "e.emp_id, e.emp_code, e.emp_name, e.gender, e.org_id, o.org_name, e.job_title, e.email, e.is_active"),
        QStringLiteral("FROM employees e JOIN organizations o ON o.org_id = e.org_id"),
        { { QStringLiteral("emp_id"), ColType::Int },
          { QStringLiteral("emp_code"), ColType::Text },
          { QStringLiteral("emp_name"), ColType::Text },
          { QStringLiteral("gender"), ColType::Text },
          { QStringLiteral("org_id"), ColType::Int },
          { QStringLiteral("org_name"), ColType::Text },
          { QStringLiteral("job_title"), ColType::Text },
          { QStringLiteral("email"), ColType::Text },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("e.emp_code"), QStringLiteral("e.emp_name"), QStringLiteral("o.org_name"),
          QStringLiteral("e.job_title") },
        QStringLiteral("e.is_active"),
        { { QStringLiteral("emp_id"), QStringLiteral("e.emp_id") },
          { QStringLiteral("emp_code"), QStringLiteral("e.emp_code") },
          { QStringLiteral("emp_name"), QStringLiteral("e.emp_name") },
          { QStringLiteral("gender"), QStringLiteral("e.gender") },
          { QStringLiteral("org_name"), QStringLiteral("o.org_name") } },
        QStringLiteral("e.emp_name"),
        QStringLiteral("e.emp_id"),
    };
    return spec;
}

const ListSpec &itemSpec()
{
    static const ListSpec spec {
        QStringLiteral("i.item_id, i.item_code, i.item_name, i.item_type_id, t.item_type_name, i.item_cat_id,"
                       " c.item_cat_name, i.uom_id, u.uom_name, i.material, i.spec, i.is_active"),
        QStringLiteral("FROM items i JOIN item_types t ON t.item_type_id = i.item_type_id"
                       " JOIN item_categories c ON c.item_cat_id = i.item_cat_id"
                       " JOIN uoms u ON u.uom_id = i.uom_id"),
        { { QStringLiteral("item_id"), ColType::Int },
          { QStringLiteral("item_code"), ColType::Text },
          { QStringLiteral("item_name"), ColType::Text },
          { QStringLiteral("item_type_id"), ColType::Int },
          { QStringLiteral("item_type_name"), ColType::Text },
          { QStringLiteral("item_cat_id"), ColType::Int },
          { QStringLiteral("item_cat_name"), ColType::Text },
          { QStringLiteral("uom_id"), ColType::Int },
          { QStringLiteral("uom_name"), ColType::Text },
          { QStringLiteral("material"), ColType::Text },
          { QStringLiteral("spec"), ColType::Text },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("i.item_code"), QStringLiteral("i.item_name"), QStringLiteral("c.item_cat_name"),
          QStringLiteral("i.material") },
        QStringLiteral("i.is_active"),
        { { QStringLiteral("item_id"), QStringLiteral("i.item_id") },
          { QStringLiteral("item_code"), QStringLiteral("i.item_code") },
          { QStringLiteral("item_name"), QStringLiteral("i.item_name") },
          { QStringLiteral("item_type_name"), QStringLiteral("t.item_type_name") },
          { QStringLiteral("item_cat_name"), QStringLiteral("c.item_cat_name") },
          { QStringLiteral("uom_name"), QStringLiteral("u.uom_name") } },
        QStringLiteral("i.item_code"),
        QStringLiteral("i.item_id"),
    };
    return spec;
}

const ListSpec &locationSpec()
{
    static const ListSpec spec {
        QStringLiteral("d.loc_det_id, d.loc_det_name, d.loc_det_desc, l.loc_id, l.loc_name, l.loc_type,"
                       " lt.loc_type_name, d.is_active"),
        QStringLiteral("FROM location_details d JOIN locations l ON l.loc_id = d.loc_id"
                       " JOIN location_types lt ON lt.loc_type = l.loc_type"),
        { { QStringLiteral("loc_det_id"), ColType::Int },
          { QStringLiteral("loc_det_name"), ColType::Text },
          { QStringLiteral("loc_det_desc"), ColType::Text },
          { QStringLiteral("loc_id"), ColType::Int },
          { QStringLiteral("loc_name"), ColType::Text },
          { QStringLiteral("loc_type"), ColType::Int },
          { QStringLiteral("loc_type_name"), ColType::Text },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("l.loc_name"), QStringLiteral("d.loc_det_name"), QStringLiteral("d.loc_det_desc") },
        QStringLiteral("d.is_active"),
        { { QStringLiteral("loc_det_id"), QStringLiteral("d.loc_det_id") },
          { QStringLiteral("loc_det_name"), QStringLiteral("d.loc_det_name") },
          { QStringLiteral("loc_name"), QStringLiteral("l.loc_name") } },
        QStringLiteral("l.loc_name, d.loc_det_name"),
        QStringLiteral("d.loc_det_id"),
    };
    return spec;
}

const ListSpec &countrySpec()
{
    static const ListSpec spec {
        QStringLiteral("country_id, country_code, country_name, is_active"),
        QStringLiteral("FROM countries"),
        { { QStringLiteral("country_id"), ColType::Int },
          { QStringLiteral("country_code"), ColType::Text },
          { QStringLiteral("country_name"), ColType::Text },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("country_code"), QStringLiteral("country_name") },
        QStringLiteral("is_active"),
        { { QStringLiteral("country_id"), QStringLiteral("country_id") },
          { QStringLiteral("country_code"), QStringLiteral("country_code") },
          { QStringLiteral("country_name"), QStringLiteral("country_name") } },
        QStringLiteral("country_name"),
        QStringLiteral("country_id"),
    };
    return spec;
}

const ListSpec &stateSpec()
{
    static const ListSpec spec {
        QStringLiteral("s.state_id, s.state_code, s.state_name, s.country_id, c.country_name, s.is_active"),
        QStringLiteral("FROM states s JOIN countries c ON c.country_id = s.country_id"),
        { { QStringLiteral("state_id"), ColType::Int },
          { QStringLiteral("state_code"), ColType::Text },
          { QStringLiteral("state_name"), ColType::Text },
          { QStringLiteral("country_id"), ColType::Int },
          { QStringLiteral("country_name"), ColType::Text },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("s.state_code"), QStringLiteral("s.state_name") },
        QStringLiteral("s.is_active"),
        { { QStringLiteral("state_id"), QStringLiteral("s.state_id") },
          { QStringLiteral("state_code"), QStringLiteral("s.state_code") },
          { QStringLiteral("state_name"), QStringLiteral("s.state_name") } },
        QStringLiteral("s.state_name"),
        QStringLiteral("s.state_id"),
    };
    return spec;
}

const ListSpec &statusSpec()
{
    static const ListSpec spec {
        QStringLiteral("s.status_id, s.status_group_id, g.status_group_name, s.status_code, s.status_name,"
                       " s.status_type, s.sort_order, s.is_active"),
        QStringLiteral("FROM statuses s JOIN status_groups g ON g.status_group_id = s.status_group_id"),
        { { QStringLiteral("status_id"), ColType::Int },
          { QStringLiteral("status_group_id"), ColType::Int },
          { QStringLiteral("status_group_name"), ColType::Text },
          { QStringLiteral("status_code"), ColType::Text },
          { QStringLiteral("status_name"), ColType::Text },
          { QStringLiteral("status_type"), ColType::Int },
          { QStringLiteral("sort_order"), ColType::Int },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("s.status_code"), QStringLiteral("s.status_name") },
        QStringLiteral("s.is_active"),
        { { QStringLiteral("status_id"), QStringLiteral("s.status_id") },
          { QStringLiteral("status_code"), QStringLiteral("s.status_code") },
          { QStringLiteral("status_name"), QStringLiteral("s.status_name") },
          { QStringLiteral("sort_order"), QStringLiteral("s.sort_order") } },
        QStringLiteral("s.status_group_id, s.sort_order"),
        QStringLiteral("s.status_id"),
    };
    return spec;
}

const ListSpec &trCodeSpec()
{
    static const ListSpec spec {
        QStringLiteral("t.tr_code, t.tr_name, t.tr_group_id, g.tr_group_name, t.prefix, t.sort_order, t.is_active"),
        QStringLiteral("FROM tr_codes t JOIN tr_groups g ON g.tr_group_id = t.tr_group_id"),
        { { QStringLiteral("tr_code"), ColType::Text },
          { QStringLiteral("tr_name"), ColType::Text },
          { QStringLiteral("tr_group_id"), ColType::Text },
          { QStringLiteral("tr_group_name"), ColType::Text },
          { QStringLiteral("prefix"), ColType::Text },
          { QStringLiteral("sort_order"), ColType::Int },
          { QStringLiteral("is_active"), ColType::Bool } },
        { QStringLiteral("t.tr_code"), QStringLiteral("t.tr_name") },
        QStringLiteral("t.is_active"),
        { { QStringLiteral("tr_code"), QStringLiteral("t.tr_code") },
          { QStringLiteral("tr_name"), QStringLiteral("t.tr_name") },
          { QStringLiteral("sort_order"), QStringLiteral("t.sort_order") } },
        QStringLiteral("t.tr_group_id, t.sort_order"),
        QStringLiteral("t.tr_code"),
    };
    return spec;
}

Response costCenters(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::List);
    QList<Condition> conditions;
    if (const auto type = idParam(r, QStringLiteral("cc_type_id")))
        conditions << Condition { QStringLiteral("cc.cc_type_id = ?"), { *type } };
    return Response::json(200, runList(ctx.db, costCenterSpec(), p, conditions));
}

Response employees(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::List);
    QList<Condition> conditions;
    if (const auto org = idParam(r, QStringLiteral("org_id")))
        conditions << Condition { QStringLiteral("e.org_id = ?"), { *org } };
    return Response::json(200, runList(ctx.db, employeeSpec(), p, conditions));
}

Response items(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::List);
    QList<Condition> conditions;
    if (const auto type = idParam(r, QStringLiteral("item_type_id")))
        conditions << Condition { QStringLiteral("i.item_type_id = ?"), { *type } };
    if (const auto cat = idParam(r, QStringLiteral("item_cat_id")))
        conditions << Condition { QStringLiteral("i.item_cat_id = ?"), { *cat } };
    return Response::json(200, runList(ctx.db, itemSpec(), p, conditions));
}

// The location pick list sends the location type (1 building, 2 project,
// 3 vendor) as "q"; "loc_type" says the same explicitly. Any other "q" is a
// search text.
Response locations(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::Lookup);
    QList<Condition> conditions;
    bool search = true;
    std::optional<qint64> type = idParam(r, QStringLiteral("loc_type"));
    if (!type) {
        bool ok = false;
        const qint64 q = p.q.toLongLong(&ok);
        if (ok) {
            type = q;
            search = false;
        }
    }
    if (type)
        conditions << Condition { QStringLiteral("l.loc_type = ?"), { *type } };
    return Response::json(200, runList(ctx.db, locationSpec(), p, conditions, search));
}

Response countries(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::Lookup);
    return Response::json(200, runList(ctx.db, countrySpec(), p));
}

Response states(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::Lookup);
    QList<Condition> conditions;
    std::optional<qint64> country = idParam(r, QStringLiteral("country_id"));
    if (!country)
        country = paramsAsId(r, QStringLiteral("a country id"));
    if (country)
        conditions << Condition { QStringLiteral("s.country_id = ?"), { *country } };
    return Response::json(200, runList(ctx.db, stateSpec(), p, conditions));
}

// Query form: "status_group_id", "type" (status type, 0 or absent: any) and
// "showall". Path form: the group in the path; an unknown group is a 404.
Response statuses(ServerContext &ctx, const Request &r, std::optional<QString> pathGroup)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::Lookup);
    QList<Condition> conditions;
    std::optional<qint64> group;
    if (pathGroup) {
        bool ok = false;
        group = pathGroup->toLongLong(&ok);
        if (!ok
            || !ctx.db.scalar(QStringLiteral("SELECT 1 FROM status_groups WHERE status_group_id = ?"), { *group })
                    .isValid())
            throw HttpError(404, QStringLiteral("Status group %1 not found.").arg(*pathGroup));
    } else {
        group = idParam(r, QStringLiteral("status_group_id"));
    }
    if (group)
        conditions << Condition { QStringLiteral("s.status_group_id = ?"), { *group } };
    if (const auto type = idParam(r, QStringLiteral("type")); type && *type > 0)
        conditions << Condition { QStringLiteral("s.status_type = ?"), { *type } };
    return Response::json(200, runList(ctx.db, statusSpec(), p, conditions));
}

// The group arrives as "tr_group_id", or, from the shared lookups (mode
// "lookup"), as "q".
Response trCodes(ServerContext &ctx, const Request &r)
{
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::Lookup);
    QList<Condition> conditions;
    bool search = true;
    QString group = r.queryValue(QStringLiteral("tr_group_id")).trimmed();
    if (group.isEmpty() && p.mode == QLatin1String("lookup")) {
        group = p.q;
        search = false;
    }
    if (!group.isEmpty())
        conditions << Condition { QStringLiteral("t.tr_group_id = ?"), { group } };
    return Response::json(200, runList(ctx.db, trCodeSpec(), p, conditions, search));
}

} // namespace

void registerMasterRoutes(Router &router, ServerContext &ctx)
{
    router.add("GET", QStringLiteral("/acf/v1/master/cost-centers"), Access::User,
               [&ctx](Request &r) { return costCenters(ctx, r); });
    router.add("GET", QStringLiteral("/hrm/v1/master/employees"), Access::User,
               [&ctx](Request &r) { return employees(ctx, r); });
    router.add("GET", QStringLiteral("/prc/v1/master/items"), Access::User,
               [&ctx](Request &r) { return items(ctx, r); });
    router.add("GET", QStringLiteral("/prc/v1/master/locations"), Access::User,
               [&ctx](Request &r) { return locations(ctx, r); });
    router.add("GET", QStringLiteral("/com/v1/master/countries"), Access::User,
               [&ctx](Request &r) { return countries(ctx, r); });
    router.add("GET", QStringLiteral("/com/v1/master/states"), Access::User,
               [&ctx](Request &r) { return states(ctx, r); });
    router.add("GET", QStringLiteral("/com/v1/master/status"), Access::User,
               [&ctx](Request &r) { return statuses(ctx, r, std::nullopt); });
    router.add("GET", QStringLiteral("/com/v1/master/status/{status_group_id}"), Access::User,
               [&ctx](Request &r) { return statuses(ctx, r, r.pathParams.value(QStringLiteral("status_group_id"))); });
    router.add("GET", QStringLiteral("/com/v1/master/tr-codes"), Access::User,
               [&ctx](Request &r) { return trCodes(ctx, r); });
}
