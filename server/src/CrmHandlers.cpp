// Customers and their contacts: "/crm/v1/master/customers" and
// "/crm/v1/master/contacts", with list, detail, create, update and (for
// contacts) delete.
#include "Database.h"
#include "JsonUtil.h"
#include "Paging.h"
#include "Router.h"
#include "ServerContext.h"
#include "TextUtil.h"

#include <QDate>
#include <QJsonArray>
#include <QSet>
#include <QStringList>

#include <limits>
#include <vector>

namespace {

// ---------------------------------------------------------------- shared

qint64 pathId(const Request &r, const QString &name, const QString &what)
{
    const QString text = r.pathParams.value(name);
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok || id <= 0)
        throw HttpError(404, QStringLiteral("%1 %2 not found.").arg(what, text));
    return id;
}

void checkEmail(FieldReader &in, const QString &key, const std::optional<QString> &value)
{
    if (value && !value->isEmpty() && (!value->contains(QLatin1Char('@')) || value->contains(QLatin1Char(' '))))
        in.fail(key, key + QStringLiteral(" is not a valid e-mail address"));
}

// One column assignment of an INSERT or UPDATE; the column name is the
// server's own text, the value is bound.
struct Assignment
{
    QString column;
    QVariant value;
};

qint64 insertRow(Database &db, const QString &table, const QString &idColumn, const std::vector<Assignment> &values)
{
    QStringList columns;
    QStringList marks;
    QVariantList binds;
    for (const Assignment &a : values) {
        columns << a.column;
        marks << QStringLiteral("?");
        binds << a.value;
    }
    QSqlQuery q = db.exec(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (")
                              + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                              + marks.join(QStringLiteral(", ")) + QStringLiteral(") RETURNING ") + idColumn,
                          binds);
    return Database::returnedId(q);
}

void updateRow(Database &db, const QString &table, const QString &keyColumn, qint64 key,
               const std::vector<Assignment> &values)
{
    if (values.empty())
        return;
    QStringList sets;
    QVariantList binds;
    for (const Assignment &a : values) {
        sets << a.column + QStringLiteral(" = ?");
        binds << a.value;
    }
    binds << key;
    db.exec(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
                + QStringLiteral(" WHERE ") + keyColumn + QStringLiteral(" = ?"),
            binds);
}

// ---------------------------------------------------------------- contacts

const Columns &contactColumns()
{
    static const Columns columns = {
        { QStringLiteral("contact_id"), ColType::Int },
        { QStringLiteral("customer_id"), ColType::Int },
        { QStringLiteral("partner_name"), ColType::Text },
        { QStringLiteral("contact_name"), ColType::Text },
        { QStringLiteral("job_position"), ColType::Text },
        { QStringLiteral("contact_type"), ColType::Int },
        { QStringLiteral("contact_type_c"), ColType::Text },
        { QStringLiteral("title"), ColType::Text },
        { QStringLiteral("street1"), ColType::Text },
        { QStringLiteral("street2"), ColType::Text },
        { QStringLiteral("city"), ColType::Text },
        { QStringLiteral("state_id"), ColType::Int, true },
        { QStringLiteral("state_name"), ColType::Text },
        { QStringLiteral("zip"), ColType::Text },
        { QStringLiteral("country_id"), ColType::Int, true },
        { QStringLiteral("country_name"), ColType::Text },
        { QStringLiteral("phone"), ColType::Text },
        { QStringLiteral("mobile"), ColType::Text },
        { QStringLiteral("email"), ColType::Text },
        { QStringLiteral("notes"), ColType::Text },
        { QStringLiteral("image_id"), ColType::Int, true },
        { QStringLiteral("is_active"), ColType::Bool },
        { QStringLiteral("is_del"), ColType::Bool },
        { QStringLiteral("user_del"), ColType::Int, true },
        { QStringLiteral("date_del"), ColType::Text, true },
        { QStringLiteral("last_update"), ColType::Text },
        { QStringLiteral("updated_by"), ColType::Text },
    };
    return columns;
}

const QString &contactSelectList()
{
    static const QString sql = QStringLiteral(
        "ct.contact_id, ct.customer_id, cu.partner_name, ct.contact_name, ct.job_position, ct.contact_type,"
        " ty.contact_type_c, ct.title, ct.street1, ct.street2, ct.city, ct.state_id, COALESCE(st.state_name, ''),"
        " ct.zip, ct.country_id, COALESCE(co.country_name, ''), ct.phone, ct.mobile, ct.email, ct.notes,"
        " ct.image_id, ct.is_active, ct.is_del, ct.user_del, ct.date_del, ct.last_update, ct.updated_by");
    return sql;
}

const QString &contactFrom()
{
    static const QString sql = QStringLiteral("FROM contacts ct JOIN customers cu ON cu.partner_id = ct.customer_id"
                                              " JOIN contact_types ty ON ty.contact_type = ct.contact_type"
                                              " LEFT JOIN states st ON st.state_id = ct.state_id"
                                              " LEFT JOIN countries co ON co.country_id = ct.country_id");
    return sql;
}

// Members the contact screens show that are made from others.
void decorateContact(QJsonObject &row)
{
    QStringList parts;
    for (const char *key : { "street1", "street2", "city", "state_name", "zip", "country_name" }) {
        const QString v = row.value(QLatin1String(key)).toString().trimmed();
        if (!v.isEmpty())
            parts << v;
    }
    row.insert(QStringLiteral("contact_address"), parts.join(QStringLiteral(", ")));
    row.insert(QStringLiteral("active_status"),
               row.value(QStringLiteral("is_active")).toBool() ? QStringLiteral("Active") : QStringLiteral("Inactive"));
}

std::optional<QJsonObject> loadContact(Database &db, qint64 contactId)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT ") + contactSelectList() + QLatin1Char(' ') + contactFrom()
                              + QStringLiteral(" WHERE ct.contact_id = ? AND ct.is_del = 0"),
                          { contactId });
    if (!q.next())
        return std::nullopt;
    QJsonObject row = rowToJson(q, contactColumns());
    decorateContact(row);
    return row;
}

QJsonArray loadContacts(Database &db, qint64 customerId)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT ") + contactSelectList() + QLatin1Char(' ') + contactFrom()
                              + QStringLiteral(" WHERE ct.customer_id = ? AND ct.is_del = 0"
                                               " ORDER BY ct.contact_type, ct.contact_name, ct.contact_id"),
                          { customerId });
    QJsonArray rows;
    while (q.next()) {
        QJsonObject row = rowToJson(q, contactColumns());
        decorateContact(row);
        rows.append(row);
    }
    return rows;
}

// The members of a contact write that the server stores; the rest of what
// the client's row holds (contact_id, is_del, last_update, ...) is the
// server's to set.
std::vector<Assignment> readContact(Database &db, FieldReader &in, bool creating)
{
    std::vector<Assignment> out;
    auto text = [&](const char *key, bool required, int max) {
        const QString k = QLatin1String(key);
        if (const auto v = in.string(k, required, max))
            out.push_back({ k, *v });
    };
    text("contact_name", true, 150);
    text("job_position", false, 150);
    text("title", false, 15);
    text("street1", false, 150);
    text("street2", false, 150);
    text("city", false, 50);
    text("zip", false, 6);
    text("phone", false, 100);
    text("mobile", false, 100);
    const auto email = in.string(QStringLiteral("email"), false, 150);
    checkEmail(in, QStringLiteral("email"), email);
    if (email && !in.failed(QStringLiteral("email")))
        out.push_back({ QStringLiteral("email"), *email });
    text("notes", false, 4000);

    if (const auto type = in.integer(QStringLiteral("contact_type"), false, 1, 3))
        out.push_back({ QStringLiteral("contact_type"), *type });
    else if (creating && !in.failed(QStringLiteral("contact_type")))
        out.push_back({ QStringLiteral("contact_type"), 1 });

    if (const auto active = in.boolean(QStringLiteral("is_active"), false))
        out.push_back({ QStringLiteral("is_active"), *active ? 1 : 0 });

    if (const auto image = in.integer(QStringLiteral("image_id"), false, 0, std::numeric_limits<qint64>::max()))
        out.push_back({ QStringLiteral("image_id"), *image == 0 ? QVariant() : QVariant(*image) });

    // 0 means "none" in the client's lookups
    std::optional<qint64> country = in.integer(QStringLiteral("country_id"), false, 0, std::numeric_limits<int>::max());
    if (country && *country > 0
        && !db.scalar(QStringLiteral("SELECT 1 FROM countries WHERE country_id = ?"), { *country }).isValid()) {
        in.fail(QStringLiteral("country_id"), QStringLiteral("country_id does not exist"));
    } else if (country) {
        out.push_back({ QStringLiteral("country_id"), *country == 0 ? QVariant() : QVariant(*country) });
    }
    const std::optional<qint64> state =
        in.integer(QStringLiteral("state_id"), false, 0, std::numeric_limits<int>::max());
    if (state && *state > 0) {
        const QVariant stateCountry =
            db.scalar(QStringLiteral("SELECT country_id FROM states WHERE state_id = ?"), { *state });
        if (!stateCountry.isValid())
            in.fail(QStringLiteral("state_id"), QStringLiteral("state_id does not exist"));
        else if (country && *country > 0 && stateCountry.toLongLong() != *country)
            in.fail(QStringLiteral("state_id"), QStringLiteral("state_id does not belong to country_id"));
        else
            out.push_back({ QStringLiteral("state_id"), *state });
    } else if (state) {
        out.push_back({ QStringLiteral("state_id"), QVariant() });
    }
    return out;
}

void stampContact(std::vector<Assignment> &values, const Principal &who)
{
    values.push_back({ QStringLiteral("last_update"), nowText() });
    values.push_back({ QStringLiteral("updated_by"), who.email });
}

bool customerExists(Database &db, qint64 id)
{
    return db.scalar(QStringLiteral("SELECT 1 FROM customers WHERE partner_id = ?"), { id }).isValid();
}

Response contactList(ServerContext &ctx, const Request &r)
{
    static const ListSpec spec {
        contactSelectList(),
        contactFrom(),
        contactColumns(),
        { QStringLiteral("ct.contact_name"), QStringLiteral("ct.email"), QStringLiteral("ct.phone"),
          QStringLiteral("ct.mobile"), QStringLiteral("cu.partner_name") },
        QStringLiteral("ct.is_active"),
        { { QStringLiteral("contact_id"), QStringLiteral("ct.contact_id") },
          { QStringLiteral("contact_name"), QStringLiteral("ct.contact_name") },
          { QStringLiteral("partner_name"), QStringLiteral("cu.partner_name") },
          { QStringLiteral("last_update"), QStringLiteral("ct.last_update") } },
        QStringLiteral("ct.contact_name"),
        QStringLiteral("ct.contact_id"),
    };
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::List);
    QList<Condition> conditions { { QStringLiteral("ct.is_del = 0"), {} } };
    std::optional<qint64> customer = r.queryInt(QStringLiteral("customer_id"));
    if (!customer)
        customer = r.queryInt(QStringLiteral("partner_id"));
    if (customer)
        conditions << Condition { QStringLiteral("ct.customer_id = ?"), { *customer } };
    QJsonObject result = runList(ctx.db, spec, p, conditions);
    QJsonArray rows = result.value(QStringLiteral("data")).toArray();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QJsonObject row = rows.at(i).toObject();
        decorateContact(row);
        rows.replace(i, row);
    }
    result.insert(QStringLiteral("data"), rows);
    return Response::json(200, result);
}

// The contact entry form reads its one row with the list read, so the
// record comes as a one-element "data" array.
Response contactGet(ServerContext &ctx, const Request &r)
{
    const qint64 id = pathId(r, QStringLiteral("contact_id"), QStringLiteral("Contact"));
    const auto row = loadContact(ctx.db, id);
    if (!row)
        throw HttpError(404, QStringLiteral("Contact %1 not found.").arg(id));
    return Response::json(200,
                          QJsonObject { { QStringLiteral("data"), QJsonArray { *row } },
                                        { QStringLiteral("pages"), singlePageMeta(1) } });
}

Response contactCreate(ServerContext &ctx, const Request &r)
{
    const QJsonObject body = parseObjectBody(r.body);
    // the checks and the write see the same rows; the answer too (another
    // client's master/detail write may delete the contact right after)
    Database::Transaction tx(ctx.db);
    FieldReader in(body, FieldReader::Mode::Create);
    const auto customer = in.integer(QStringLiteral("customer_id"), true, 1, std::numeric_limits<qint64>::max());
    if (customer && !customerExists(ctx.db, *customer))
        in.fail(QStringLiteral("customer_id"), QStringLiteral("customer_id does not exist"));
    std::vector<Assignment> values = readContact(ctx.db, in, true);
    in.throwIfErrors();

    values.push_back({ QStringLiteral("customer_id"), *customer });
    stampContact(values, r.principal);
    const qint64 id = insertRow(ctx.db, QStringLiteral("contacts"), QStringLiteral("contact_id"), values);
    const QJsonObject row = *loadContact(ctx.db, id);
    tx.commit();
    return Response::data(201, row);
}

// PATCH changes the members sent; PUT is a whole record, so the required
// members must be there.
Response contactUpdate(ServerContext &ctx, const Request &r, bool whole)
{
    const qint64 id = pathId(r, QStringLiteral("contact_id"), QStringLiteral("Contact"));
    const QJsonObject body = parseObjectBody(r.body);
    // a contact deleted by another client in the meantime is not written to
    Database::Transaction tx(ctx.db);
    if (!ctx.db.scalar(QStringLiteral("SELECT 1 FROM contacts WHERE contact_id = ? AND is_del = 0"), { id }).isValid())
        throw HttpError(404, QStringLiteral("Contact %1 not found.").arg(id));

    FieldReader in(body, whole ? FieldReader::Mode::Create : FieldReader::Mode::Update);
    std::vector<Assignment> values = readContact(ctx.db, in, false);
    const auto customer = in.integer(QStringLiteral("customer_id"), whole, 1, std::numeric_limits<qint64>::max());
    if (customer && !customerExists(ctx.db, *customer))
        in.fail(QStringLiteral("customer_id"), QStringLiteral("customer_id does not exist"));
    else if (customer)
        values.push_back({ QStringLiteral("customer_id"), *customer });
    in.throwIfErrors();

    stampContact(values, r.principal);
    updateRow(ctx.db, QStringLiteral("contacts"), QStringLiteral("contact_id"), id, values);
    const QJsonObject row = *loadContact(ctx.db, id);
    tx.commit();
    return Response::data(200, row);
}

// Contacts are kept with a deletion mark, as the record's is_del, user_del
// and date_del members say; a deleted contact is gone for every read.
Response contactDelete(ServerContext &ctx, const Request &r)
{
    const qint64 id = pathId(r, QStringLiteral("contact_id"), QStringLiteral("Contact"));
    Database::Transaction tx(ctx.db);
    if (!ctx.db.scalar(QStringLiteral("SELECT 1 FROM contacts WHERE contact_id = ? AND is_del = 0"), { id }).isValid())
        throw HttpError(404, QStringLiteral("Contact %1 not found.").arg(id));
    const QString now = nowText();
    ctx.db.exec(QStringLiteral("UPDATE contacts SET is_del = 1, user_del = ?, date_del = ?, last_update = ?,"
                               " updated_by = ? WHERE contact_id = ?"),
                { r.principal.id, now, now, r.principal.email, id });
    tx.commit();
    return Response::message(200, QStringLiteral("Contact %1 deleted.").arg(id));
}

// ---------------------------------------------------------------- customers

const Columns &customerColumns()
{
    static const Columns columns = {
        { QStringLiteral("partner_id"), ColType::Int },    { QStringLiteral("partner_code"), ColType::Text },
        { QStringLiteral("partner_name"), ColType::Text }, { QStringLiteral("industry"), ColType::Text },
        { QStringLiteral("address"), ColType::Text },      { QStringLiteral("city"), ColType::Text },
        { QStringLiteral("phone"), ColType::Text },        { QStringLiteral("email"), ColType::Text },
        { QStringLiteral("website"), ColType::Text },      { QStringLiteral("is_active"), ColType::Bool },
        { QStringLiteral("updated_at"), ColType::Text },   { QStringLiteral("updated_by"), ColType::Text },
    };
    return columns;
}

const QString &customerSelectList()
{
    static const QString sql =
        QStringLiteral("c.partner_id, c.partner_code, c.partner_name, c.industry, c.address, c.city, c.phone, c.email,"
                       " c.website, c.is_active, c.updated_at, c.updated_by");
    return sql;
}

// The customer record, its contacts under "contacts", and, for the contact
// list form that loads this record as one row, the members of its first
// contact (contact_id, contact_name, job_position, ...). phone, email and
// is_active stay the customer's own.
std::optional<QJsonObject> loadCustomer(Database &db, qint64 id)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT ") + customerSelectList()
                              + QStringLiteral(" FROM customers c WHERE c.partner_id = ?"),
                          { id });
    if (!q.next())
        return std::nullopt;
    QJsonObject row = rowToJson(q, customerColumns());
    const QJsonArray contacts = loadContacts(db, id);

    QJsonObject primary;
    for (const QJsonValue &c : contacts) {
        if (c.toObject().value(QStringLiteral("is_active")).toBool()) {
            primary = c.toObject();
            break;
        }
    }
    if (primary.isEmpty() && !contacts.isEmpty())
        primary = contacts.first().toObject();
    row.insert(QStringLiteral("contact_id"),
               primary.isEmpty() ? QJsonValue(QJsonValue::Null) : primary.value(QStringLiteral("contact_id")));
    for (const char *key : { "contact_name", "job_position", "mobile", "title", "notes", "contact_type_c" })
        row.insert(QLatin1String(key), primary.value(QLatin1String(key)).toString());
    row.insert(QStringLiteral("image_id"),
               primary.value(QStringLiteral("image_id")).isDouble() ? primary.value(QStringLiteral("image_id"))
                                                                    : QJsonValue(QJsonValue::Null));
    QStringList address;
    for (const char *key : { "address", "city" }) {
        const QString v = row.value(QLatin1String(key)).toString().trimmed();
        if (!v.isEmpty())
            address << v;
    }
    row.insert(QStringLiteral("contact_address"), address.join(QStringLiteral(", ")));
    row.insert(QStringLiteral("active_status"),
               row.value(QStringLiteral("is_active")).toBool() ? QStringLiteral("Active") : QStringLiteral("Inactive"));
    row.insert(QStringLiteral("last_update"), row.value(QStringLiteral("updated_at")));
    row.insert(QStringLiteral("contacts"), contacts);
    return row;
}

Response customerList(ServerContext &ctx, const Request &r)
{
    static const ListSpec spec {
        customerSelectList(),
        QStringLiteral("FROM customers c"),
        customerColumns(),
        {}, // searched through the folded key below
        QStringLiteral("c.is_active"),
        { { QStringLiteral("partner_id"), QStringLiteral("c.partner_id") },
          { QStringLiteral("partner_code"), QStringLiteral("c.partner_code") },
          { QStringLiteral("partner_name"), QStringLiteral("c.partner_name") },
          { QStringLiteral("industry"), QStringLiteral("c.industry") },
          { QStringLiteral("city"), QStringLiteral("c.city") },
          { QStringLiteral("is_active"), QStringLiteral("c.is_active") },
          { QStringLiteral("updated_at"), QStringLiteral("c.updated_at") } },
        QStringLiteral("c.partner_code"),
        QStringLiteral("c.partner_id"),
    };
    const ListParams p = ListParams::parse(r, ctx.defaultPageRows, ListParams::Kind::List);
    QList<Condition> conditions;
    if (!p.q.isEmpty())
        conditions << Condition { QStringLiteral("c.search_key LIKE ? ESCAPE '\\'"),
                                  { containsPattern(p.q.toCaseFolded()) } };
    // the dated list sends a range of the last change
    for (const char *name : { "start_date", "end_date" }) {
        const QString text = r.queryValue(QLatin1String(name)).trimmed();
        if (text.isEmpty())
            continue;
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid())
            throw HttpError(
                400, QStringLiteral("Query parameter \"%1\" must be a date (yyyy-mm-dd).").arg(QLatin1String(name)));
        if (qstrcmp(name, "start_date") == 0)
            conditions << Condition { QStringLiteral("substr(c.updated_at, 1, 10) >= ?"),
                                      { date.toString(Qt::ISODate) } };
        else
            conditions << Condition { QStringLiteral("substr(c.updated_at, 1, 10) <= ?"),
                                      { date.toString(Qt::ISODate) } };
    }
    return Response::json(200, runList(ctx.db, spec, p, conditions));
}

Response customerGet(ServerContext &ctx, const Request &r)
{
    const qint64 id = pathId(r, QStringLiteral("partner_id"), QStringLiteral("Customer"));
    const auto row = loadCustomer(ctx.db, id);
    if (!row)
        throw HttpError(404, QStringLiteral("Customer %1 not found.").arg(id));
    return Response::data(200, *row);
}

std::vector<Assignment> readCustomer(ServerContext &ctx, FieldReader &in, qint64 selfId)
{
    std::vector<Assignment> out;
    auto text = [&](const char *key, bool required, int max) -> std::optional<QString> {
        const QString k = QLatin1String(key);
        const auto v = in.string(k, required, max);
        if (v)
            out.push_back({ k, *v });
        return v;
    };
    const auto code = text("partner_code", true, 20);
    if (code) {
        const QVariant other =
            ctx.db.scalar(QStringLiteral("SELECT partner_id FROM customers WHERE lower(partner_code) = lower(CAST(? AS "
                                         "TEXT)) AND partner_id <> ?"),
                          { *code, selfId });
        if (other.isValid())
            in.fail(QStringLiteral("partner_code"), QStringLiteral("partner_code already exists"));
    }
    text("partner_name", true, 100);
    text("industry", false, 100);
    text("address", false, 500);
    text("city", false, 100);
    text("phone", false, 50);
    const auto email = in.string(QStringLiteral("email"), false, 150);
    checkEmail(in, QStringLiteral("email"), email);
    if (email && !in.failed(QStringLiteral("email")))
        out.push_back({ QStringLiteral("email"), *email });
    text("website", false, 200);
    if (const auto active = in.boolean(QStringLiteral("is_active"), false))
        out.push_back({ QStringLiteral("is_active"), *active ? 1 : 0 });
    return out;
}

// The detail rows of a master/detail write: an array of contact objects.
struct ContactRows
{
    bool present = false;
    std::vector<QJsonObject> rows;
};

ContactRows readContactRows(const QJsonObject &body, FieldReader &in)
{
    ContactRows result;
    const auto it = body.constFind(QStringLiteral("contacts"));
    if (it == body.constEnd() || it->isNull())
        return result;
    if (!it->isArray()) {
        in.fail(QStringLiteral("contacts"), QStringLiteral("contacts must be an array"));
        return result;
    }
    result.present = true;
    const QJsonArray rows = it->toArray();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.at(i).isObject()) {
            in.fail(QStringLiteral("contacts"), QStringLiteral("contacts row %1 must be an object").arg(i + 1));
            continue;
        }
        result.rows.push_back(rows.at(i).toObject());
    }
    return result;
}

// Applies the contact rows of a master/detail write to one customer: rows
// with a contact_id of this customer are updated, rows without one are
// added, and the customer's contacts missing from the array are deleted,
// since the array holds the whole detail table. Throws ValidationError
// before touching anything when a row is wrong.
void saveContactRows(ServerContext &ctx, qint64 customerId, const ContactRows &detail, const Principal &who,
                     bool replaceMissing)
{
    QSet<qint64> existing;
    QSqlQuery q = ctx.db.exec(QStringLiteral("SELECT contact_id FROM contacts WHERE customer_id = ? AND is_del = 0"),
                              { customerId });
    while (q.next())
        existing.insert(q.value(0).toLongLong());

    struct Planned
    {
        qint64 id; // 0: new
        std::vector<Assignment> values;
    };
    std::vector<Planned> plan;
    QSet<qint64> kept;
    QJsonArray errors;
    for (std::size_t i = 0; i < detail.rows.size(); ++i) {
        const QJsonObject &row = detail.rows.at(i);
        const QString label = QStringLiteral("contacts row %1").arg(i + 1);
        qint64 id = 0;
        const QJsonValue idValue = row.value(QStringLiteral("contact_id"));
        if (idValue.isDouble() && idValue.toDouble() > 0) {
            id = static_cast<qint64>(idValue.toDouble());
            if (!existing.contains(id) || double(id) != idValue.toDouble()) {
                errors.append(QJsonObject { { QStringLiteral("key"), QStringLiteral("contact_id") },
                                            { QStringLiteral("message"),
                                              QStringLiteral("contact_id %1 is not a contact of this customer (%2)")
                                                  .arg(idValue.toDouble())
                                                  .arg(label) } });
                continue;
            }
        } else if (!idValue.isNull() && !idValue.isUndefined() && !(idValue.isDouble() && idValue.toDouble() == 0)) {
            errors.append(QJsonObject {
                { QStringLiteral("key"), QStringLiteral("contact_id") },
                { QStringLiteral("message"), QStringLiteral("contact_id must be an integer (%1)").arg(label) } });
            continue;
        }
        FieldReader in(row, id ? FieldReader::Mode::Update : FieldReader::Mode::Create, label);
        std::vector<Assignment> values = readContact(ctx.db, in, id == 0);
        for (const QJsonValue &e : in.errors())
            errors.append(e);
        if (id)
            kept.insert(id);
        plan.push_back({ id, std::move(values) });
    }
    if (!errors.isEmpty())
        throw ValidationError(errors);

    for (Planned &p : plan) {
        stampContact(p.values, who);
        if (p.id) {
            updateRow(ctx.db, QStringLiteral("contacts"), QStringLiteral("contact_id"), p.id, p.values);
        } else {
            p.values.push_back({ QStringLiteral("customer_id"), customerId });
            insertRow(ctx.db, QStringLiteral("contacts"), QStringLiteral("contact_id"), p.values);
        }
    }
    if (replaceMissing) {
        const QString now = nowText();
        for (const qint64 id : std::as_const(existing)) {
            if (kept.contains(id))
                continue;
            ctx.db.exec(QStringLiteral("UPDATE contacts SET is_del = 1, user_del = ?, date_del = ?, last_update = ?,"
                                       " updated_by = ? WHERE contact_id = ?"),
                        { who.id, now, now, who.email, id });
        }
    }
}

void refreshSearchKey(Database &db, qint64 id)
{
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT partner_code, partner_name, city, email FROM customers WHERE partner_id = ?"), { id });
    if (!q.next())
        return;
    db.exec(
        QStringLiteral("UPDATE customers SET search_key = ? WHERE partner_id = ?"),
        { customerSearchKey(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()),
          id });
}

Response customerCreate(ServerContext &ctx, const Request &r)
{
    const QJsonObject body = parseObjectBody(r.body);
    // the code is checked where it is written: two clients sending one new
    // code at once get one customer and one refusal
    Database::Transaction tx(ctx.db);
    FieldReader in(body, FieldReader::Mode::Create);
    std::vector<Assignment> values = readCustomer(ctx, in, 0);
    const ContactRows detail = readContactRows(body, in);
    in.throwIfErrors();

    values.push_back({ QStringLiteral("updated_at"), nowText() });
    values.push_back({ QStringLiteral("updated_by"), r.principal.email });
    const qint64 id = insertRow(ctx.db, QStringLiteral("customers"), QStringLiteral("partner_id"), values);
    refreshSearchKey(ctx.db, id);
    if (detail.present)
        saveContactRows(ctx, id, detail, r.principal, false);
    const QJsonObject row = *loadCustomer(ctx.db, id);
    tx.commit();
    return Response::data(201, row);
}

Response customerUpdate(ServerContext &ctx, const Request &r, bool whole)
{
    const qint64 id = pathId(r, QStringLiteral("partner_id"), QStringLiteral("Customer"));
    if (!customerExists(ctx.db, id))
        throw HttpError(404, QStringLiteral("Customer %1 not found.").arg(id));

    const QJsonObject body = parseObjectBody(r.body);
    Database::Transaction tx(ctx.db);
    FieldReader in(body, whole ? FieldReader::Mode::Create : FieldReader::Mode::Update);
    std::vector<Assignment> values = readCustomer(ctx, in, id);
    const ContactRows detail = readContactRows(body, in);
    in.throwIfErrors();

    values.push_back({ QStringLiteral("updated_at"), nowText() });
    values.push_back({ QStringLiteral("updated_by"), r.principal.email });
    updateRow(ctx.db, QStringLiteral("customers"), QStringLiteral("partner_id"), id, values);
    refreshSearchKey(ctx.db, id);
    if (detail.present)
        saveContactRows(ctx, id, detail, r.principal, true);
    const QJsonObject row = *loadCustomer(ctx.db, id);
    tx.commit();
    return Response::data(200, row);
}

} // namespace

void registerCrmRoutes(Router &router, ServerContext &ctx)
{
    // The customer list is its own screen; the entry form is opened by its
    // menu and from the list, and the contact forms from the entry form.
    const QStringList listScreen { QStringLiteral("TCustomerListFrm") };
    const QStringList entryScreens { QStringLiteral("TCustomerListFrm"), QStringLiteral("TCustomerEntryFrm") };

    const QString customers = QStringLiteral("/crm/v1/master/customers");
    const QString customer = QStringLiteral("/crm/v1/master/customers/{partner_id}");
    router.add("GET", customers, Access::User, [&ctx](Request &r) { return customerList(ctx, r); }).screens =
        listScreen;
    router.add("POST", customers, Access::User, [&ctx](Request &r) { return customerCreate(ctx, r); }).screens =
        entryScreens;
    router.add("GET", customer, Access::User, [&ctx](Request &r) { return customerGet(ctx, r); }).screens =
        entryScreens;
    router.add("PATCH", customer, Access::User, [&ctx](Request &r) { return customerUpdate(ctx, r, false); }).screens =
        entryScreens;
    router.add("PUT", customer, Access::User, [&ctx](Request &r) { return customerUpdate(ctx, r, true); }).screens =
        entryScreens;

    const QString contacts = QStringLiteral("/crm/v1/master/contacts");
    const QString contact = QStringLiteral("/crm/v1/master/contacts/{contact_id}");
    router.add("GET", contacts, Access::User, [&ctx](Request &r) { return contactList(ctx, r); }).screens =
        entryScreens;
    router.add("POST", contacts, Access::User, [&ctx](Request &r) { return contactCreate(ctx, r); }).screens =
        entryScreens;
    router.add("GET", contact, Access::User, [&ctx](Request &r) { return contactGet(ctx, r); }).screens = entryScreens;
    router.add("PATCH", contact, Access::User, [&ctx](Request &r) { return contactUpdate(ctx, r, false); }).screens =
        entryScreens;
    router.add("PUT", contact, Access::User, [&ctx](Request &r) { return contactUpdate(ctx, r, true); }).screens =
        entryScreens;
    router.add("DELETE", contact, Access::User, [&ctx](Request &r) { return contactDelete(ctx, r); }).screens =
        entryScreens;
}
