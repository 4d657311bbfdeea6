#include "Schema.h"

#include "Database.h"
#include "TextUtil.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <vector>

namespace {

void runAll(Database &db, const QStringList &statements)
{
    for (const QString &sql : statements)
        db.exec(db.ddl(sql));
}

// Version 1: every table of the demo tenant and of the customer service.
void createTables(Database &db)
{
    runAll(
        db,
        {
            QStringLiteral("CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),

            QStringLiteral("CREATE TABLE cust_accounts ("
                           " cust_id INTEGER PRIMARY KEY,"
                           " cust_key TEXT NOT NULL UNIQUE,"
                           " secret_hash TEXT NOT NULL,"
                           " cust_name TEXT NOT NULL,"
                           " addr_line TEXT NOT NULL DEFAULT '',"
                           " addr_city TEXT NOT NULL DEFAULT '',"
                           " state_name TEXT NOT NULL DEFAULT '',"
                           " postal_code TEXT NOT NULL DEFAULT '',"
                           " country_name TEXT NOT NULL DEFAULT '',"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE roles (role_id INTEGER PRIMARY KEY, role_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE users ("
                           " user_id INTEGER PRIMARY KEY,"
                           " email TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                           " password_hash TEXT NOT NULL,"
                           " user_fullname TEXT NOT NULL,"
                           " lang_code TEXT NOT NULL,"
                           " role_id INTEGER NOT NULL REFERENCES roles(role_id),"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),
            QStringLiteral("CREATE TABLE sessions ("
                           " token_hash TEXT PRIMARY KEY,"
                           " kind TEXT NOT NULL,"
                           " owner_id INTEGER NOT NULL,"
                           " issued_at INTEGER NOT NULL,"
                           " expires_at INTEGER NOT NULL)"),

            QStringLiteral("CREATE TABLE menus ("
                           " menu_id INTEGER PRIMARY KEY,"
                           " parent_id INTEGER REFERENCES menus(menu_id),"
                           " sort_order INTEGER NOT NULL,"
                           " is_header INTEGER NOT NULL,"
                           " level INTEGER NOT NULL DEFAULT 0,"
                           " icon_index INTEGER NOT NULL DEFAULT -1,"
                           " title_en TEXT NOT NULL,"
                           " title_id TEXT NOT NULL,"
                           " form_class TEXT NOT NULL DEFAULT '',"
                           " tr_code TEXT NOT NULL DEFAULT '',"
                           " tr_group_id TEXT NOT NULL DEFAULT '',"
                           " params TEXT NOT NULL DEFAULT '',"
                           " form_pos INTEGER NOT NULL DEFAULT 1)"),
            QStringLiteral("CREATE TABLE role_menus ("
                           " role_id INTEGER NOT NULL REFERENCES roles(role_id),"
                           " menu_id INTEGER NOT NULL REFERENCES menus(menu_id),"
                           " PRIMARY KEY (role_id, menu_id))"),
            QStringLiteral("CREATE TABLE packages (package_id TEXT PRIMARY KEY, package_file TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE role_packages ("
                           " role_id INTEGER NOT NULL REFERENCES roles(role_id),"
                           " package_id TEXT NOT NULL REFERENCES packages(package_id),"
                           " sort_order INTEGER NOT NULL DEFAULT 0,"
                           " PRIMARY KEY (role_id, package_id))"),

            QStringLiteral("CREATE TABLE config ("
                           " config_id TEXT PRIMARY KEY,"
                           " config_value TEXT NOT NULL,"
                           " data_type TEXT NOT NULL,"
                           " description TEXT NOT NULL DEFAULT '')"),

            QStringLiteral(
                "CREATE TABLE cost_center_types (cc_type_id INTEGER PRIMARY KEY, cc_type_desc TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE cost_centers ("
                           " cc_id INTEGER PRIMARY KEY,"
                           " cc_code TEXT NOT NULL UNIQUE,"
                           " cc_name TEXT NOT NULL,"
                           " cc_type_id INTEGER NOT NULL REFERENCES cost_center_types(cc_type_id),"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE organizations (org_id INTEGER PRIMARY KEY, org_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE employees ("
                           " emp_id INTEGER PRIMARY KEY,"
                           " emp_code TEXT NOT NULL UNIQUE,"
                           " emp_name TEXT NOT NULL,"
                           " gender TEXT NOT NULL,"
                           " org_id INTEGER NOT NULL REFERENCES organizations(org_id),"
                           " job_title TEXT NOT NULL DEFAULT '',"
                           " email TEXT NOT NULL DEFAULT '',"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE item_types (item_type_id INTEGER PRIMARY KEY, item_type_name TEXT NOT NULL)"),
            QStringLiteral(
                "CREATE TABLE item_categories (item_cat_id INTEGER PRIMARY KEY, item_cat_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE uoms (uom_id INTEGER PRIMARY KEY, uom_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE items ("
                           " item_id INTEGER PRIMARY KEY,"
                           " item_code TEXT NOT NULL UNIQUE,"
                           " item_name TEXT NOT NULL,"
                           " item_type_id INTEGER NOT NULL REFERENCES item_types(item_type_id),"
                           " item_cat_id INTEGER NOT NULL REFERENCES item_categories(item_cat_id),"
                           " uom_id INTEGER NOT NULL REFERENCES uoms(uom_id),"
                           " material TEXT NOT NULL DEFAULT '',"
                           " spec TEXT NOT NULL DEFAULT '',"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE location_types (loc_type INTEGER PRIMARY KEY, loc_type_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE locations ("
                           " loc_id INTEGER PRIMARY KEY,"
                           " loc_name TEXT NOT NULL,"
                           " loc_type INTEGER NOT NULL REFERENCES location_types(loc_type),"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),
            QStringLiteral("CREATE TABLE location_details ("
                           " loc_det_id INTEGER PRIMARY KEY,"
                           " loc_id INTEGER NOT NULL REFERENCES locations(loc_id),"
                           " loc_det_name TEXT NOT NULL,"
                           " loc_det_desc TEXT NOT NULL DEFAULT '',"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE countries ("
                           " country_id INTEGER PRIMARY KEY,"
                           " country_code TEXT NOT NULL UNIQUE,"
                           " country_name TEXT NOT NULL,"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),
            QStringLiteral("CREATE TABLE states ("
                           " state_id INTEGER PRIMARY KEY,"
                           " country_id INTEGER NOT NULL REFERENCES countries(country_id),"
                           " state_code TEXT NOT NULL,"
                           " state_name TEXT NOT NULL,"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral(
                "CREATE TABLE status_groups (status_group_id INTEGER PRIMARY KEY, status_group_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE statuses ("
                           " status_id INTEGER PRIMARY KEY,"
                           " status_group_id INTEGER NOT NULL REFERENCES status_groups(status_group_id),"
                           " status_code TEXT NOT NULL,"
                           " status_name TEXT NOT NULL,"
                           " status_type INTEGER NOT NULL DEFAULT 1,"
                           " sort_order INTEGER NOT NULL DEFAULT 0,"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE tr_groups (tr_group_id TEXT PRIMARY KEY, tr_group_name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE tr_codes ("
                           " tr_code TEXT PRIMARY KEY,"
                           " tr_group_id TEXT NOT NULL REFERENCES tr_groups(tr_group_id),"
                           " tr_name TEXT NOT NULL,"
                           " prefix TEXT NOT NULL DEFAULT '',"
                           " sort_order INTEGER NOT NULL DEFAULT 0,"
                           " is_active INTEGER NOT NULL DEFAULT 1)"),

            QStringLiteral("CREATE TABLE customers ("
                           " partner_id INTEGER PRIMARY KEY,"
                           " partner_code TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                           " partner_name TEXT NOT NULL,"
                           " industry TEXT NOT NULL DEFAULT '',"
                           " address TEXT NOT NULL DEFAULT '',"
                           " city TEXT NOT NULL DEFAULT '',"
                           " phone TEXT NOT NULL DEFAULT '',"
                           " email TEXT NOT NULL DEFAULT '',"
                           " website TEXT NOT NULL DEFAULT '',"
                           " is_active INTEGER NOT NULL DEFAULT 1,"
                           " updated_at TEXT NOT NULL,"
                           " updated_by TEXT NOT NULL DEFAULT '')"),
            QStringLiteral(
                "CREATE TABLE contact_types (contact_type INTEGER PRIMARY KEY, contact_type_c TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE contacts ("
                           " contact_id INTEGER PRIMARY KEY,"
                           " customer_id INTEGER NOT NULL REFERENCES customers(partner_id),"
                           " contact_name TEXT NOT NULL,"
                           " job_position TEXT NOT NULL DEFAULT '',"
                           " contact_type INTEGER NOT NULL DEFAULT 1 REFERENCES contact_types(contact_type),"
                           " title TEXT NOT NULL DEFAULT '',"
                           " street1 TEXT NOT NULL DEFAULT '',"
                           " street2 TEXT NOT NULL DEFAULT '',"
                           " city TEXT NOT NULL DEFAULT '',"
                           " state_id INTEGER REFERENCES states(state_id),"
                           " zip TEXT NOT NULL DEFAULT '',"
                           " country_id INTEGER REFERENCES countries(country_id),"
                           " phone TEXT NOT NULL DEFAULT '',"
                           " mobile TEXT NOT NULL DEFAULT '',"
                           " email TEXT NOT NULL DEFAULT '',"
                           " notes TEXT NOT NULL DEFAULT '',"
                           " image_id INTEGER,"
                           " is_active INTEGER NOT NULL DEFAULT 1,"
                           " is_del INTEGER NOT NULL DEFAULT 0,"
                           " user_del INTEGER REFERENCES users(user_id),"
                           " date_del TEXT,"
                           " last_update TEXT NOT NULL,"
                           " updated_by TEXT NOT NULL DEFAULT '')"),

            QStringLiteral("CREATE TABLE app_files ("
                           " file_id INTEGER PRIMARY KEY,"
                           " filename TEXT NOT NULL,"
                           " path TEXT NOT NULL DEFAULT '',"
                           " app_version TEXT NOT NULL,"
                           " source TEXT NOT NULL,"
                           " sort_order INTEGER NOT NULL DEFAULT 0)"),
        });
}

// Version 2: a case-folded search key for customers (SQLite's own LIKE folds
// ASCII only, and customer names are typed by users) and the indexes that
// the list screens and the token check need.
void addSearchKeysAndIndexes(Database &db)
{
    db.exec(db.ddl(QStringLiteral("ALTER TABLE customers ADD COLUMN search_key TEXT NOT NULL DEFAULT ''")));
    QSqlQuery rows =
        db.exec(QStringLiteral("SELECT partner_id, partner_code, partner_name, city, email FROM customers"));
    std::vector<std::pair<qint64, QString>> keys;
    while (rows.next()) {
        keys.emplace_back(rows.value(0).toLongLong(),
                          customerSearchKey(rows.value(1).toString(), rows.value(2).toString(),
                                            rows.value(3).toString(), rows.value(4).toString()));
    }
    for (const auto &k : keys)
        db.exec(QStringLiteral("UPDATE customers SET search_key = ? WHERE partner_id = ?"), { k.second, k.first });

    runAll(db,
           {
               QStringLiteral("CREATE INDEX idx_contacts_customer ON contacts(customer_id, is_del)"),
               QStringLiteral("CREATE INDEX idx_states_country ON states(country_id)"),
               QStringLiteral("CREATE INDEX idx_statuses_group ON statuses(status_group_id, sort_order)"),
               QStringLiteral("CREATE INDEX idx_tr_codes_group ON tr_codes(tr_group_id, sort_order)"),
               QStringLiteral("CREATE INDEX idx_location_details_loc ON location_details(loc_id)"),
               QStringLiteral("CREATE INDEX idx_items_name ON items(item_name)"),
               QStringLiteral("CREATE INDEX idx_sessions_expires ON sessions(expires_at)"),
           });
}

// Version 3: e-mails and customer codes unique without regard to case by
// an index both stores understand (PostgreSQL has no NOCASE collation), and
// the columns the sign-in and the list screens compare through lower().
void addCaseInsensitiveKeys(Database &db)
{
    runAll(db,
           {
               QStringLiteral("CREATE UNIQUE INDEX idx_users_email_lower ON users(lower(email))"),
               QStringLiteral("CREATE UNIQUE INDEX idx_customers_code_lower ON customers(lower(partner_code))"),
           });
}

struct Migration
{
    int version;
    std::function<void(Database &)> apply;
};

const std::vector<Migration> &migrations()
{
    static const std::vector<Migration> list = {
        { 1, createTables },
        { 2, addSearchKeysAndIndexes },
        { 3, addCaseInsensitiveKeys },
    };
    return list;
}

} // namespace

namespace Schema {

int latestVersion()
{
    return migrations().back().version;
}

int currentVersion(Database &db)
{
    if (!db.hasTable(QStringLiteral("schema_version")))
        return 0;
    return db.scalar(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")).toInt();
}

void migrate(Database &db)
{
    db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version ("
                           " version BIGINT PRIMARY KEY, applied_at TEXT NOT NULL)"));
    const int current = currentVersion(db);
    if (current > latestVersion()) {
        throw DbError(QStringLiteral("database schema version %1 is newer than this server understands (%2)")
                          .arg(current)
                          .arg(latestVersion()));
    }
    for (const Migration &m : migrations()) {
        if (m.version <= current)
            continue;
        Database::Transaction tx(db);
        m.apply(db);
        db.exec(QStringLiteral("INSERT INTO schema_version (version, applied_at) VALUES (?, ?)"),
                { m.version, QDateTime::currentDateTime().toString(Qt::ISODate) });
        tx.commit();
    }
}

void dropAll(Database &db)
{
    // children before parents, so that no foreign key is left dangling
    static const char *const tables[] = {
        "contacts",   "contact_types",  "customers",     "tr_codes",      "tr_groups",
        "statuses",   "status_groups",  "states",        "countries",     "location_details",
        "locations",  "location_types", "items",         "uoms",          "item_categories",
        "item_types", "employees",      "organizations", "cost_centers",  "cost_center_types",
        "config",     "role_packages",  "packages",      "role_menus",    "menus",
        "sessions",   "users",          "roles",         "cust_accounts", "settings",
        "app_files",  "schema_version",
    };
    Database::Transaction tx(db);
    for (const char *table : tables)
        db.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
    tx.commit();
}

} // namespace Schema
