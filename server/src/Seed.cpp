#include "Seed.h"

#include "Database.h"
#include "Passwords.h"
#include "TextUtil.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include <vector>

namespace {

// splitmix64: small, fast and the same everywhere, so that the demo data
// does not depend on the standard library's distributions.
class SeedRandom
{
public:
    explicit SeedRandom(quint64 seed)
        : m_state(seed)
    { }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template<typename T> const T &pick(const std::vector<T> &list)
    {
        return list.at(std::size_t(below(int(list.size()))));
    }
    QString digits(int count)
    {
        QString s;
        for (int i = 0; i < count; ++i)
            s += QChar(QLatin1Char('0' + below(10)));
        return s;
    }

private:
    quint64 m_state;
};

using Strings = std::vector<QString>;

Strings words(const char *text)
{
    Strings out;
    const QStringList parts = QString::fromUtf8(text).split(QLatin1Char('|'));
    for (const QString &p : parts)
        out.push_back(p);
    return out;
}

QString slug(const QString &text)
{
    QString s;
    for (const QChar c : text.toLower()) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            s += c;
    }
    return s;
}

// ---------------------------------------------------------------- accounts

void seedAccounts(Database &db)
{
    db.exec(QStringLiteral("INSERT INTO settings (key, value) VALUES ('app_ver', '1.0.3')"));

    struct Account
    {
        const char *key;
        const char *secret;
        const char *name;
        const char *line;
        const char *city;
        const char *state;
        const char *postal;
        const char *country;
        int active;
    };
    const Account accounts[] = {
        { "ZELT-DEMO-0001", "demo-secret-0001", "PT Zelt Demo Indonesia", "Jl. Jend. Sudirman Kav. 52-53",
          "Jakarta Selatan", "DKI Jakarta", "12190", "Indonesia", 1 },
        { "ZELT-DEMO-0002", "demo-secret-0002", "Harbourline Trading Pty Ltd", "120 Collins Street", "Melbourne",
          "Victoria", "3000", "Australia", 1 },
        { "ZELT-DEMO-9999", "demo-secret-9999", "Closed Account Ltd", "1 Old Road", "Singapore", "", "049315",
          "Singapore", 0 },
    };
    for (const Account &a : accounts) {
        db.exec(QStringLiteral("INSERT INTO cust_accounts (cust_key, secret_hash, cust_name, addr_line, addr_city,"
                               " state_name, postal_code, country_name, is_active) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                { QString::fromUtf8(a.key), Passwords::hash(QString::fromUtf8(a.secret)), QString::fromUtf8(a.name),
                  QString::fromUtf8(a.line), QString::fromUtf8(a.city), QString::fromUtf8(a.state),
                  QString::fromUtf8(a.postal), QString::fromUtf8(a.country), a.active });
    }

    db.exec(QStringLiteral("INSERT INTO roles (role_id, role_name) VALUES (1, 'Administrator'), (2, 'Sales')"));
    struct User
    {
        const char *email;
        const char *name;
        const char *lang;
        int role;
        int active;
    };
    const User users[] = {
        { "sarah@zelt.local", "Sarah Mitchell", "en_US", 1, 1 },
        { "budi@zelt.local", "Budi Santoso", "id_ID", 2, 1 },
        { "former@zelt.local", "Former Employee", "en_US", 2, 0 },
    };
    for (const User &u : users) {
        db.exec(QStringLiteral("INSERT INTO users (email, password_hash, user_fullname, lang_code, role_id, is_active)"
                               " VALUES (?, ?, ?, ?, ?, ?)"),
                { QString::fromUtf8(u.email), Passwords::hash(QStringLiteral("Demo#2024")), QString::fromUtf8(u.name),
                  QString::fromUtf8(u.lang), u.role, u.active });
    }
}

// ---------------------------------------------------------------- menus

void seedMenus(Database &db)
{
    struct Menu
    {
        int id;
        int parent;
        int sort;
        int header;
        int level;
        int icon;
        const char *en;
        const char *idn;
        const char *formClass;
        const char *trCode;
        const char *trGroup;
        const char *params;
        int formPos;
    };
    const Menu menus[] = {
        { 10, 0, 1, 1, 1, 0, "Customer Relations", "Manajemen Pelanggan", "", "", "", "", 0 },
        { 101, 10, 1, 0, 0, 1, "Customers", "Pelanggan", "TCustomerListFrm", "CUS", "CRM", "", 1 },
        { 1001, 10, 2, 0, 0, -1, "-", "-", "", "", "", "", 0 },
        { 102, 10, 3, 0, 0, 2, "New Customer", "Pelanggan Baru", "TCustomerEntryFrm", "CUS", "CRM", "add", 2 },
        { 11, 10, 4, 1, 2, 3, "Reports", "Laporan", "", "", "", "", 0 },
        { 103, 11, 1, 0, 0, 4, "Inactive Customers", "Pelanggan Tidak Aktif", "TCustomerListFrm", "CUS", "CRM",
          "status=2", 1 },
    };
    for (const Menu &m : menus) {
        db.exec(
            QStringLiteral("INSERT INTO menus (menu_id, parent_id, sort_order, is_header, level, icon_index, title_en,"
                           " title_id, form_class, tr_code, tr_group_id, params, form_pos)"
                           " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            { m.id, m.parent ? QVariant(m.parent) : QVariant(), m.sort, m.header, m.level, m.icon,
              QString::fromUtf8(m.en), QString::fromUtf8(m.idn), QString::fromUtf8(m.formClass),
              QString::fromUtf8(m.trCode), QString::fromUtf8(m.trGroup), QString::fromUtf8(m.params), m.formPos });
    }
    // the administrator sees the reports group; sales staff do not
    for (int id : { 10, 101, 1001, 102, 11, 103 })
        db.exec(QStringLiteral("INSERT INTO role_menus (role_id, menu_id) VALUES (1, ?)"), { id });
    for (int id : { 10, 101, 1001, 102 })
        db.exec(QStringLiteral("INSERT INTO role_menus (role_id, menu_id) VALUES (2, ?)"), { id });

    db.exec(QStringLiteral("INSERT INTO packages (package_id, package_file) VALUES ('crm', 'crm.bpl')"));
    db.exec(QStringLiteral(
        "INSERT INTO role_packages (role_id, package_id, sort_order) VALUES (1, 'crm', 1), (2, 'crm', 1)"));

    struct Config
    {
        const char *id;
        const char *value;
        const char *type;
        const char *desc;
    };
    const Config config[] = {
        { "company_name", "PT Zelt Demo Indonesia", "string", "Company name printed on documents" },
        { "currency_code", "IDR", "string", "Base currency" },
        { "default_page_rows", "20", "integer", "Rows per page of list screens" },
        { "decimal_places", "2", "integer", "Decimal places of amounts" },
        { "tax_rate", "11.0", "float", "Value added tax rate in percent" },
        { "use_approval", "true", "boolean", "Documents need approval before posting" },
        { "allow_negative_stock", "false", "boolean", "Stock may go below zero" },
        { "fiscal_year_start", "1", "integer", "First month of the fiscal year" },
    };
    for (const Config &c : config) {
        db.exec(
            QStringLiteral("INSERT INTO config (config_id, config_value, data_type, description) VALUES (?, ?, ?, ?)"),
            { QString::fromUtf8(c.id), QString::fromUtf8(c.value), QString::fromUtf8(c.type),
              QString::fromUtf8(c.desc) });
    }
}

// ---------------------------------------------------------------- geography

struct Geography
{
    QHash<QString, qint64> stateIds; // "COUNTRY_ID/CODE" -> state_id
    qint64 state(int countryId, const QString &code) const
    {
        return stateIds.value(QString::number(countryId) + QLatin1Char('/') + code, 0);
    }
};

Geography seedGeography(Database &db)
{
    struct Country
    {
        int id;
        const char *code;
        const char *name;
    };
    const Country countries[] = {
        { 10, "AR", "Argentina" },
        { 12, "AU", "Australia" },
        { 15, "AT", "Austria" },
        { 20, "BD", "Bangladesh" },
        { 22, "BE", "Belgium" },
        { 28, "BR", "Brazil" },
        { 31, "BN", "Brunei Darussalam" },
        { 36, "KH", "Cambodia" },
        { 38, "CA", "Canada" },
        { 45, "CN", "China" },
        { 56, "DK", "Denmark" },
        { 62, "EG", "Egypt" },
        { 72, "FI", "Finland" },
        { 73, "FR", "France" },
        { 80, "DE", "Germany" },
        { 95, "HK", "Hong Kong" },
        { 99, "IN", "India" },
        { 100, "ID", "Indonesia" },
        { 105, "IT", "Italy" },
        { 108, "JP", "Japan" },
        { 116, "KR", "Korea, Republic of" },
        { 122, "LA", "Laos" },
        { 131, "MY", "Malaysia" },
        { 143, "MM", "Myanmar" },
        { 150, "NL", "Netherlands" },
        { 153, "NZ", "New Zealand" },
        { 162, "NO", "Norway" },
        { 170, "PK", "Pakistan" },
        { 173, "PH", "Philippines" },
        { 180, "QA", "Qatar" },
        { 190, "SA", "Saudi Arabia" },
        { 196, "SG", "Singapore" },
        { 200, "ZA", "South Africa" },
        { 203, "ES", "Spain" },
        { 210, "SE", "Sweden" },
        { 211, "CH", "Switzerland" },
        { 214, "TW", "Taiwan" },
        { 217, "TH", "Thailand" },
        { 218, "TL", "Timor-Leste" },
        { 228, "AE", "United Arab Emirates" },
        { 229, "GB", "United Kingdom" },
        { 230, "US", "United States" },
        { 237, "VN", "Viet Nam" },
    };
    for (const Country &c : countries) {
        db.exec(QStringLiteral("INSERT INTO countries (country_id, country_code, country_name) VALUES (?, ?, ?)"),
                { c.id, QString::fromUtf8(c.code), QString::fromUtf8(c.name) });
    }

    struct StateList
    {
        int country;
        const char *list;
    };
    const StateList states[] = {
        { 100,
          "AC:Aceh|SU:Sumatera Utara|SB:Sumatera Barat|RI:Riau|KR:Kepulauan Riau|JA:Jambi|SS:Sumatera Selatan|"
          "BB:Kepulauan Bangka Belitung|BE:Bengkulu|LA:Lampung|JK:DKI Jakarta|JB:Jawa Barat|BT:Banten|"
          "JT:Jawa Tengah|YO:DI Yogyakarta|JI:Jawa Timur|BA:Bali|NB:Nusa Tenggara Barat|NT:Nusa Tenggara Timur|"
          "KB:Kalimantan Barat|KT:Kalimantan Tengah|KS:Kalimantan Selatan|KI:Kalimantan Timur|KU:Kalimantan Utara|"
          "SA:Sulawesi Utara|GO:Gorontalo|ST:Sulawesi Tengah|SR:Sulawesi Barat|SN:Sulawesi Selatan|"
          "SG:Sulawesi Tenggara|MA:Maluku|MU:Maluku Utara|PA:Papua|PB:Papua Barat|PS:Papua Selatan|"
          "PT:Papua Tengah|PE:Papua Pegunungan|PD:Papua Barat Daya" },
        { 131,
          "JHR:Johor|KDH:Kedah|KTN:Kelantan|MLK:Melaka|NSN:Negeri Sembilan|PHG:Pahang|PRK:Perak|PLS:Perlis|"
          "PNG:Pulau Pinang|SBH:Sabah|SWK:Sarawak|SGR:Selangor|TRG:Terengganu|KUL:Kuala Lumpur|LBN:Labuan|"
          "PJY:Putrajaya" },
        { 12,
          "NSW:New South Wales|VIC:Victoria|QLD:Queensland|WA:Western Australia|SA:South Australia|TAS:Tasmania|"
          "ACT:Australian Capital Territory|NT:Northern Territory" },
        { 230,
          "CA:California|NY:New York|TX:Texas|WA:Washington|FL:Florida|IL:Illinois|MA:Massachusetts|GA:Georgia|"
          "OR:Oregon|NV:Nevada|AZ:Arizona|CO:Colorado" },
        { 229, "ENG:England|SCT:Scotland|WLS:Wales|NIR:Northern Ireland" },
    };
    Geography geo;
    for (const StateList &s : states) {
        for (const QString &entry : words(s.list)) {
            const QString code = entry.section(QLatin1Char(':'), 0, 0);
            const QString name = entry.section(QLatin1Char(':'), 1);
            QSqlQuery q =
                db.exec(QStringLiteral("INSERT INTO states (country_id, state_code, state_name) VALUES (?, ?, ?)"
                                       " RETURNING state_id"),
                        { s.country, code, name });
            geo.stateIds.insert(QString::number(s.country) + QLatin1Char('/') + code, Database::returnedId(q));
        }
    }
    return geo;
}

// ---------------------------------------------------------------- lookups

void seedLookups(Database &db)
{
    struct Group
    {
        int id;
        const char *name;
        const char *statuses;
    };
    // each status: CODE:Name:type[:0 when inactive]; type 1 open, 2 final
    const Group groups[] = {
        { 1, "Active Status", "A:Active:1|N:Not Active:2" },
        { 2, "Document Status",
          "DRF:Draft:1|SUB:Submitted:1|APR:Approved:1|REJ:Rejected:2|CLS:Closed:2|CAN:Cancelled:2|"
          "REV:Revised:1:0" },
        { 3, "Approval Status",
          "WAIT:Waiting for Approval:1|APR:Approved:2|REJ:Rejected:2|RET:Returned for Revision:1" },
        { 4, "Purchase Requisition", "OPN:Open:1|POR:Partially Ordered:1|FOR:Fully Ordered:2|CLS:Closed:2" },
        { 5, "Purchase Order", "OPN:Open:1|PRC:Partially Received:1|RCV:Received:1|INV:Invoiced:2|CLS:Closed:2" },
        { 6, "Asset Status", "USE:In Use:1|IDL:Idle:1|REP:Under Repair:1|DSP:Disposed:2" },
        { 7, "Opportunity Stage",
          "NEW:New:1|QUA:Qualified:1|PRO:Proposal:1|NEG:Negotiation:1|WON:Won:2|LST:Lost:2|"
          "HLD:On Hold:1:0" },
        { 8, "Contact Type", "CON:Contact:1|INV:Invoice Address:1|DLV:Delivery Address:1" },
    };
    for (const Group &g : groups) {
        db.exec(QStringLiteral("INSERT INTO status_groups (status_group_id, status_group_name) VALUES (?, ?)"),
                { g.id, QString::fromUtf8(g.name) });
        int sort = 0;
        for (const QString &entry : words(g.statuses)) {
            const QStringList f = entry.split(QLatin1Char(':'));
            db.exec(QStringLiteral("INSERT INTO statuses (status_group_id, status_code, status_name, status_type,"
                                   " sort_order, is_active) VALUES (?, ?, ?, ?, ?, ?)"),
                    { g.id, f.at(0), f.at(1), f.at(2).toInt(), ++sort, f.size() > 3 ? f.at(3).toInt() : 1 });
        }
    }

    struct TrGroup
    {
        const char *id;
        const char *name;
        const char *codes;
    };
    // each code: CODE:Name:prefix[:0 when inactive]
    const TrGroup trGroups[] = {
        { "PR", "Purchase Requisition",
          "PR-REG:Regular Requisition:PRR|PR-URG:Urgent Requisition:PRU|"
          "PR-PRJ:Project Requisition:PRP" },
        { "RFQ", "Request for Quotation", "RFQ-STD:Standard Request for Quotation:RFQ|RFQ-TDR:Tender:TDR" },
        { "PO", "Purchase Order",
          "PO-LOC:Local Purchase Order:POL|PO-IMP:Import Purchase Order:POI|"
          "PO-SVC:Service Order:POS|PO-OLD:Purchase Order (old numbering):PO:0" },
        { "AST", "Asset", "AST-ACQ:Asset Acquisition:AAQ|AST-TRF:Asset Transfer:ATR|AST-DSP:Asset Disposal:ADS" },
        { "CRM", "Customer Relations", "CRM-OPP:Opportunity:OPP|CRM-QUO:Quotation:QUO|CUS:Customer:CUS" },
        { "HRM", "Human Resources", "HRM-LVE:Leave Request:LVR|HRM-OVT:Overtime Request:OVT" },
    };
    for (const TrGroup &g : trGroups) {
        db.exec(QStringLiteral("INSERT INTO tr_groups (tr_group_id, tr_group_name) VALUES (?, ?)"),
                { QString::fromUtf8(g.id), QString::fromUtf8(g.name) });
        int sort = 0;
        for (const QString &entry : words(g.codes)) {
            const QStringList f = entry.split(QLatin1Char(':'));
            db.exec(QStringLiteral("INSERT INTO tr_codes (tr_code, tr_group_id, tr_name, prefix, sort_order, is_active)"
                                   " VALUES (?, ?, ?, ?, ?, ?)"),
                    { f.at(0), QString::fromUtf8(g.id), f.at(1), f.at(2), ++sort, f.size() > 3 ? f.at(3).toInt() : 1 });
        }
    }

    db.exec(QStringLiteral("INSERT INTO contact_types (contact_type, contact_type_c) VALUES"
                           " (1, 'Contact'), (2, 'Invoice Address'), (3, 'Delivery Address')"));
    db.exec(QStringLiteral("INSERT INTO location_types (loc_type, loc_type_name) VALUES"
                           " (1, 'Building'), (2, 'Project'), (3, 'Vendor')"));
}

// ---------------------------------------------------------------- people

struct PersonNames
{
    Strings idMale = words("Budi|Agus|Rudi|Andi|Hendra|Joko|Bambang|Eko|Yudi|Rizky|Dimas|Fajar|Teguh|Arif|Wahyu|"
                           "Hadi|Irfan|Sutrisno|Bayu|Gilang");
    Strings idFemale = words("Siti|Dewi|Sri|Rina|Wati|Ani|Lestari|Fitri|Maya|Putri|Ayu|Nur|Indah|Sari|Ratna|Yuni|"
                             "Kartika|Melati|Intan|Citra");
    Strings idLast = words("Santoso|Wijaya|Hidayat|Saputra|Pratama|Kusuma|Setiawan|Gunawan|Halim|Susanto|Nugroho|"
                           "Siregar|Simanjuntak|Hasibuan|Lubis|Harahap|Tanjung|Purnomo|Wibowo|Hartono|Sitompul|"
                           "Rahman|Firmansyah|Kurniawan");
    Strings enMale = words("James|Michael|David|Daniel|Robert|Thomas|William|Benjamin|Andrew|Matthew|Samuel|Oliver");
    Strings enFemale = words("Emily|Sarah|Olivia|Sophie|Grace|Hannah|Chloe|Lucy|Jessica|Charlotte|Emma|Amelia");
    Strings enLast = words("Smith|Johnson|Brown|Taylor|Wilson|Davies|Evans|Thompson|Walker|Clarke|Wright|Robinson|"
                           "Hughes|Edwards|Turner|Campbell");
};

struct Person
{
    QString first;
    QString last;
    bool female = false;
    QString full() const { return first + QLatin1Char(' ') + last; }
};

Person makePerson(SeedRandom &rnd, const PersonNames &names, bool indonesian)
{
    Person p;
    p.female = rnd.chance(45);
    if (indonesian) {
        p.first = rnd.pick(p.female ? names.idFemale : names.idMale);
        p.last = rnd.pick(names.idLast);
    } else {
        p.first = rnd.pick(p.female ? names.enFemale : names.enMale);
        p.last = rnd.pick(names.enLast);
    }
    return p;
}

void seedCostCentersAndEmployees(Database &db, SeedRandom &rnd, const PersonNames &names)
{
    db.exec(QStringLiteral("INSERT INTO cost_center_types (cc_type_id, cc_type_desc) VALUES"
                           " (1, 'Production'), (2, 'Service'), (3, 'Administration'), (4, 'Sales & Marketing'),"
                           " (5, 'Project')"));
    const Strings branches = words("JKT:Jakarta Head Office|SBY:Surabaya Branch|BDG:Bandung Plant|MDN:Medan Branch");
    const Strings departments =
        words("FIN:Finance:3|HRD:Human Resources:3|PRC:Purchasing:3|SLS:Sales:4|MKT:Marketing:4|"
              "PRD:Production:1|MNT:Maintenance:2|WHS:Warehouse:2|ITS:Information Technology:2|"
              "QAS:Quality Assurance:1");
    QSqlQuery cc = db.prepare(
        QStringLiteral("INSERT INTO cost_centers (cc_code, cc_name, cc_type_id, is_active) VALUES (?, ?, ?, ?)"));
    int n = 0;
    for (const QString &b : branches) {
        for (const QString &d : departments) {
            ++n;
            const QStringList dp = d.split(QLatin1Char(':'));
            const QString code = b.section(QLatin1Char(':'), 0, 0) + QLatin1Char('-') + dp.at(0);
            const QString name = b.section(QLatin1Char(':'), 1) + QStringLiteral(" - ") + dp.at(1);
            db.run(cc, { code, name, dp.at(2).toInt(), n % 13 == 0 ? 0 : 1 });
        }
    }
    const Strings projects = words("Bekasi Plant Expansion|Surabaya Port Warehouse|Balikpapan Fuel Terminal|"
                                   "Makassar Office Renovation|Cikarang Solar Rooftop|Medan Cold Storage|"
                                   "Batam Shipyard Upgrade|Semarang Toll Gate Fit-Out");
    int p = 0;
    for (const QString &name : projects) {
        ++p;
        db.run(cc,
               { QStringLiteral("PRJ-24%1").arg(p, 2, 10, QLatin1Char('0')), QString(QStringLiteral("Project ") + name),
                 5, p == 8 ? 0 : 1 });
    }

    const Strings orgs = words("Finance|Human Resources|Purchasing|Sales|Marketing|Production|Maintenance|Warehouse|"
                               "Information Technology|Quality Assurance|Legal|General Affairs");
    int orgId = 0;
    for (const QString &o : orgs)
        db.exec(QStringLiteral("INSERT INTO organizations (org_id, org_name) VALUES (?, ?)"), { ++orgId, o });

    const Strings titles = words("Staff|Senior Staff|Supervisor|Assistant Manager|Manager");
    QSqlQuery emp =
        db.prepare(QStringLiteral("INSERT INTO employees (emp_code, emp_name, gender, org_id, job_title, email,"
                                  " is_active) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    QSet<QString> emails;
    for (int i = 1; i <= 320; ++i) {
        const Person person = makePerson(rnd, names, !rnd.chance(8));
        const int org = rnd.between(1, int(orgs.size()));
        QString email = slug(person.first) + QLatin1Char('.') + slug(person.last) + QStringLiteral("@zelt.local");
        for (int k = 2; emails.contains(email); ++k)
            email = slug(person.first) + QLatin1Char('.') + slug(person.last) + QString::number(k)
                + QStringLiteral("@zelt.local");
        emails.insert(email);
        db.run(emp,
               { QStringLiteral("EMP-%1").arg(i, 4, 10, QLatin1Char('0')), person.full(),
                 person.female ? QStringLiteral("Female") : QStringLiteral("Male"), org,
                 QString(rnd.pick(titles) + QLatin1Char(' ') + orgs.at(std::size_t(org - 1))), email,
                 rnd.chance(95) ? 1 : 0 });
    }
}

// ---------------------------------------------------------------- items

void seedItems(Database &db, SeedRandom &rnd)
{
    const Strings types = words("Inventory|Non-Inventory|Service|Fixed Asset");
    const Strings uoms = words("PCS|BOX|KG|LTR|MTR|ROLL|SET|UNIT|PACK|SHEET|DRUM|BAG|PAIR|JOB|REAM|M3");
    int id = 0;
    for (const QString &t : types)
        db.exec(QStringLiteral("INSERT INTO item_types (item_type_id, item_type_name) VALUES (?, ?)"), { ++id, t });
    id = 0;
    for (const QString &u : uoms)
        db.exec(QStringLiteral("INSERT INTO uoms (uom_id, uom_name) VALUES (?, ?)"), { ++id, u });
    auto uom = [&uoms](const QString &name) {
        return int(std::find(uoms.begin(), uoms.end(), name) - uoms.begin()) + 1;
    };

    struct Category
    {
        const char *name;
        int type;
        const char *uoms;
        const char *bases;
        const char *variants;
        const char *materials;
        const char *brands;
    };
    const Category categories[] = {
        { "Fasteners", 1, "PCS|BOX",
          "Hex Bolt|Socket Cap Screw|Hex Nut|Flat Washer|Spring Washer|Anchor Bolt|Threaded Rod|Self-Tapping Screw",
          "M6 x 25 mm|M8 x 30 mm|M10 x 40 mm|M12 x 50 mm|M16 x 60 mm|M20 x 80 mm|M24 x 100 mm|M10 x 1 m",
          "Stainless Steel 304|Stainless Steel 316|Carbon Steel Grade 8.8|Hot-Dip Galvanized|Zinc Plated",
          "Krisbow|Tekiro|Fischer|Hilti" },
        { "Electrical", 1, "MTR|PCS|ROLL",
          "NYY Cable|NYM Cable|Miniature Circuit Breaker|Moulded Case Circuit Breaker|Contactor|LED Panel Light|Cable "
          "Tray|Junction Box|Power Socket",
          "3 x 2.5 mm2|4 x 6 mm2|1P 16A|3P 63A|3P 100A|36 W|600 x 600 mm|100 x 100 mm|IP65",
          "Copper|Aluminium|Polycarbonate|Galvanized Steel", "Schneider|Philips|Supreme|Panasonic|ABB" },
        { "Plumbing", 1, "PCS|MTR",
          "PVC Pipe|HDPE Pipe|Gate Valve|Ball Valve|Check Valve|Elbow 90|Tee Joint|Reducer|Pipe Clamp",
          "1/2 inch|3/4 inch|1 inch|2 inch|3 inch|4 inch|6 inch",
          "PVC AW|HDPE PE100|Brass|Cast Iron|Stainless Steel 304", "Wavin|Rucika|Kitz|Onda" },
        { "Safety Equipment", 1, "PCS|PAIR|SET",
          "Safety Helmet|Safety Shoes|Safety Gloves|Safety Goggles|Ear Plug|Full Body Harness|Reflective "
          "Vest|Respirator Mask|Fire Extinguisher",
          "Red|Yellow|White|Blue|Size 40|Size 42|Size 44|Size L|Size XL|6 kg|9 kg",
          "ABS|Leather|Nitrile|Polycarbonate|Polyester", "3M|MSA|Krisbow|Honeywell" },
        { "Building Materials", 1, "BAG|KG|SHEET|PCS|M3",
          "Portland Cement|Steel Reinforcing Bar|Hollow Steel|Plywood|Gypsum Board|Ceramic Tile|Red Brick|Lightweight "
          "Brick|Sand|Split Stone",
          "50 kg|D10|D13|D16|40 x 40 mm|9 mm|12 mm|60 x 60 cm|40 x 40 cm|1-2 cm",
          "Steel|Wood|Gypsum|Ceramic|Concrete|Natural", "Holcim|Tiga Roda|Krakatau Steel|Jayaboard|Roman" },
        { "Office Supplies", 2, "REAM|BOX|PCS|PACK",
          "Copy Paper A4|Ballpoint Pen|Stapler|Binder Clip|Lever Arch File|Whiteboard Marker|Envelope|Sticky "
          "Notes|Calculator",
          "70 gsm|80 gsm|Black|Blue|No. 10|No. 155|Folio|3 x 3 inch|12 digit", "Paper|Plastic|Metal",
          "Sinar Dunia|Kenko|Joyko|Bantex|Snowman" },
        { "IT Equipment", 4, "UNIT|PCS|SET",
          "Laptop|Desktop PC|Monitor|Network Switch|Wireless Router|UPS|Laser Printer|External Hard "
          "Drive|Keyboard|Mouse|Patch Cable",
          "14 inch|15.6 inch|24 inch|8 Port|24 Port|1200 VA|2 TB|Wireless|Cat6 3 m|Core i5 16 GB",
          "Plastic|Aluminium|Copper", "Lenovo|Dell|HP|Cisco|APC|Logitech|TP-Link" },
        { "Cleaning Supplies", 2, "LTR|PCS|PACK",
          "Floor Cleaner|Glass Cleaner|Hand Soap|Mop|Broom|Trash Bag|Tissue Roll|Disinfectant",
          "1 L|5 L|Large|Medium|60 x 100 cm|12 Rolls", "Liquid|Cotton|Plastic|Paper", "Wipol|Sunlight|Paseo|Bagus" },
        { "Spare Parts", 1, "PCS|SET",
          "Ball Bearing|V-Belt|Oil Filter|Air Filter|Mechanical Seal|Hydraulic Hose|O-Ring Kit|Coupling",
          "6204 ZZ|6305 2RS|A-45|B-60|25 mm|1/2 inch 2 m|Kit 382 pcs|L-100",
          "Chrome Steel|Rubber|Nitrile|Cellulose|Viton", "SKF|NSK|Gates|Sakura|Parker" },
        { "Furniture", 4, "UNIT|SET", "Office Desk|Office Chair|Filing Cabinet|Meeting Table|Bookshelf|Locker",
          "120 x 60 cm|160 x 80 cm|4 Drawer|6 Door|8 Seater|Ergonomic", "Steel|Wood|Particle Board|Mesh",
          "Chitose|Informa|Brother|Lion" },
        { "Tools", 1, "PCS|SET",
          "Open-End Wrench|Screwdriver Set|Drill Bit|Angle Grinder|Measuring Tape|Hammer|Pliers|Socket Set",
          "8 mm|10 mm|13 mm|17 mm|4 inch|5 m|7 inch|24 pcs", "Chrome Vanadium|Carbon Steel|HSS|Plastic",
          "Tekiro|Krisbow|Makita|Bosch|Stanley" },
        { "Chemicals", 1, "LTR|KG|DRUM", "Thinner|Epoxy Paint|Primer|Degreaser|Anti-Rust Spray|Concrete Additive",
          "1 L|5 L|20 L|200 L|400 ml", "Solvent Based|Water Based|Epoxy|Alkyd", "Jotun|Avian|Nippon Paint|WD-40|Sika" },
        { "Packaging", 1, "PCS|ROLL|PACK",
          "Carton Box|Stretch Film|Wooden Pallet|Bubble Wrap|Packing Tape|Plastic Strap",
          "40 x 30 x 30 cm|60 x 40 x 40 cm|50 cm x 300 m|120 x 100 cm|48 mm x 100 m|15 mm",
          "Corrugated Paper|LLDPE|Wood|Polypropylene", "Dus Indo|Daimaru|Nachi|Kris" },
        { "Lubricants", 1, "LTR|DRUM|KG", "Hydraulic Oil|Gear Oil|Grease|Engine Oil|Compressor Oil|Cutting Oil",
          "ISO VG 46|ISO VG 68|EP2|SAE 15W-40|SAE 90|ISO VG 100", "Mineral|Synthetic|Semi-Synthetic",
          "Shell|Pertamina|Mobil|Castrol|Total" },
        { "Services", 3, "JOB|UNIT",
          "Preventive Maintenance|Calibration Service|Cleaning Service|Transport Service|Consulting "
          "Service|Installation Service",
          "Monthly|Quarterly|Per Visit|Per Trip|Per Day", "Labour", "Zelt Services|Mitra Teknik|Prima Jasa" },
    };
    int catId = 0;
    for (const Category &c : categories)
        db.exec(QStringLiteral("INSERT INTO item_categories (item_cat_id, item_cat_name) VALUES (?, ?)"),
                { ++catId, QString::fromUtf8(c.name) });

    QSqlQuery item =
        db.prepare(QStringLiteral("INSERT INTO items (item_code, item_name, item_type_id, item_cat_id, uom_id,"
                                  " material, spec, is_active) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    constexpr int kItems = 5200;
    const int categoryCount = int(std::size(categories));
    for (int i = 1; i <= kItems; ++i) {
        const int c = rnd.below(categoryCount);
        const Category &cat = categories[c];
        const QString base = rnd.pick(words(cat.bases));
        const QString variant = rnd.pick(words(cat.variants));
        const QString material = rnd.pick(words(cat.materials));
        const QString brand = rnd.pick(words(cat.brands));
        const QString spec = QStringLiteral("Brand: %1; Material: %2; Size: %3").arg(brand, material, variant);
        db.run(item,
               { QStringLiteral("ITM-%1").arg(i, 6, 10, QLatin1Char('0')), QString(base + QLatin1Char(' ') + variant),
                 cat.type, c + 1, uom(rnd.pick(words(cat.uoms))), material, spec, rnd.chance(97) ? 1 : 0 });
    }
}

void seedLocations(Database &db)
{
    struct Loc
    {
        int type;
        const char *name;
        const char *details;
    };
    const Loc locations[] = {
        { 1, "Head Office Jakarta",
          "Lobby:Ground floor reception|Finance Floor:Floor 5, finance and accounting|"
          "Meeting Room 1:Floor 7, 12 seats|Server Room:Floor 3, restricted access|Archive Room:Basement 1" },
        { 1, "Surabaya Branch Office", "Front Office:Ground floor|Sales Area:Floor 2|Store Room:Floor 1, back side" },
        { 1, "Bandung Plant",
          "Production Line 1:Hall A|Production Line 2:Hall B|Workshop:Maintenance workshop|"
          "Warehouse A:Raw material store|Warehouse B:Finished goods store" },
        { 1, "Cikarang Distribution Center",
          "Inbound Dock:Docks 1-6|Outbound Dock:Docks 7-12|Rack Area:Selective racks, 5 levels" },
        { 2, "Bekasi Plant Expansion",
          "Site Office:Container office at gate 1|Laydown Area:North yard|Tool Store:Next to site office" },
        { 2, "Surabaya Port Warehouse", "Site Office:Tanjung Perak area|Gate 1:Main access" },
        { 2, "Balikpapan Fuel Terminal",
          "Site Office:Temporary office|Tank Farm:Tanks T-01 to T-06|Jetty:Marine loading area" },
        { 2, "Makassar Office Renovation", "Floor 2:Open plan office|Floor 3:Meeting rooms" },
        { 3, "PT Sinar Baja Perkasa - Cilegon", "Main Warehouse:Steel products|Loading Dock:Truck loading" },
        { 3, "CV Mitra Teknik - Bekasi", "Workshop:Fabrication|Showroom:Spare parts counter" },
        { 3, "PT Wahana Pipa Nusantara - Tangerang", "Main Warehouse:Pipes and fittings|Yard:Outdoor storage" },
        { 3, "UD Sumber Rejeki - Surabaya", "Store:Retail counter|Warehouse:Bulk storage" },
    };
    int locId = 0;
    for (const Loc &l : locations) {
        ++locId;
        db.exec(QStringLiteral("INSERT INTO locations (loc_id, loc_name, loc_type) VALUES (?, ?, ?)"),
                { locId, QString::fromUtf8(l.name), l.type });
        for (const QString &d : words(l.details)) {
            db.exec(
                QStringLiteral("INSERT INTO location_details (loc_id, loc_det_name, loc_det_desc) VALUES (?, ?, ?)"),
                { locId, d.section(QLatin1Char(':'), 0, 0), d.section(QLatin1Char(':'), 1) });
        }
    }
}

// ---------------------------------------------------------------- customers

struct City
{
    QString name;
    int countryId;
    QString stateCode;
    QString phonePrefix;
    QString zip;
};

void seedCustomers(Database &db, SeedRandom &rnd, const PersonNames &names, const Geography &geo)
{
    const std::vector<City> idCities = {
        { QStringLiteral("Jakarta"), 100, QStringLiteral("JK"), QStringLiteral("+62 21"), QStringLiteral("10110") },
        { QStringLiteral("Surabaya"), 100, QStringLiteral("JI"), QStringLiteral("+62 31"), QStringLiteral("60111") },
        { QStringLiteral("Bandung"), 100, QStringLiteral("JB"), QStringLiteral("+62 22"), QStringLiteral("40111") },
        { QStringLiteral("Medan"), 100, QStringLiteral("SU"), QStringLiteral("+62 61"), QStringLiteral("20111") },
        { QStringLiteral("Semarang"), 100, QStringLiteral("JT"), QStringLiteral("+62 24"), QStringLiteral("50131") },
        { QStringLiteral("Makassar"), 100, QStringLiteral("SN"), QStringLiteral("+62 411"), QStringLiteral("90111") },
        { QStringLiteral("Palembang"), 100, QStringLiteral("SS"), QStringLiteral("+62 711"), QStringLiteral("30111") },
        { QStringLiteral("Denpasar"), 100, QStringLiteral("BA"), QStringLiteral("+62 361"), QStringLiteral("80111") },
        { QStringLiteral("Yogyakarta"), 100, QStringLiteral("YO"), QStringLiteral("+62 274"), QStringLiteral("55111") },
        { QStringLiteral("Balikpapan"), 100, QStringLiteral("KI"), QStringLiteral("+62 542"), QStringLiteral("76111") },
        { QStringLiteral("Batam"), 100, QStringLiteral("KR"), QStringLiteral("+62 778"), QStringLiteral("29411") },
        { QStringLiteral("Pekanbaru"), 100, QStringLiteral("RI"), QStringLiteral("+62 761"), QStringLiteral("28111") },
        { QStringLiteral("Malang"), 100, QStringLiteral("JI"), QStringLiteral("+62 341"), QStringLiteral("65111") },
        { QStringLiteral("Bogor"), 100, QStringLiteral("JB"), QStringLiteral("+62 251"), QStringLiteral("16111") },
        { QStringLiteral("Tangerang"), 100, QStringLiteral("BT"), QStringLiteral("+62 21"), QStringLiteral("15111") },
        { QStringLiteral("Bekasi"), 100, QStringLiteral("JB"), QStringLiteral("+62 21"), QStringLiteral("17111") },
        { QStringLiteral("Pontianak"), 100, QStringLiteral("KB"), QStringLiteral("+62 561"), QStringLiteral("78111") },
        { QStringLiteral("Manado"), 100, QStringLiteral("SA"), QStringLiteral("+62 431"), QStringLiteral("95111") },
        { QStringLiteral("Padang"), 100, QStringLiteral("SB"), QStringLiteral("+62 751"), QStringLiteral("25111") },
    };
    const std::vector<City> enCities = {
        { QStringLiteral("Singapore"), 196, QString(), QStringLiteral("+65"), QStringLiteral("018989") },
        { QStringLiteral("Sydney"), 12, QStringLiteral("NSW"), QStringLiteral("+61 2"), QStringLiteral("2000") },
        { QStringLiteral("Melbourne"), 12, QStringLiteral("VIC"), QStringLiteral("+61 3"), QStringLiteral("3000") },
        { QStringLiteral("Perth"), 12, QStringLiteral("WA"), QStringLiteral("+61 8"), QStringLiteral("6000") },
        { QStringLiteral("Kuala Lumpur"), 131, QStringLiteral("KUL"), QStringLiteral("+60 3"),
          QStringLiteral("50000") },
        { QStringLiteral("George Town"), 131, QStringLiteral("PNG"), QStringLiteral("+60 4"), QStringLiteral("10200") },
        { QStringLiteral("London"), 229, QStringLiteral("ENG"), QStringLiteral("+44 20"), QStringLiteral("EC2V") },
        { QStringLiteral("Manchester"), 229, QStringLiteral("ENG"), QStringLiteral("+44 161"), QStringLiteral("M1") },
        { QStringLiteral("Auckland"), 153, QString(), QStringLiteral("+64 9"), QStringLiteral("1010") },
        { QStringLiteral("Los Angeles"), 230, QStringLiteral("CA"), QStringLiteral("+1 213"), QStringLiteral("90012") },
        { QStringLiteral("Seattle"), 230, QStringLiteral("WA"), QStringLiteral("+1 206"), QStringLiteral("98101") },
        { QStringLiteral("Houston"), 230, QStringLiteral("TX"), QStringLiteral("+1 713"), QStringLiteral("77002") },
    };
    const Strings idWords = words("Maju|Jaya|Sejahtera|Abadi|Makmur|Sentosa|Bersama|Mandiri|Karya|Cipta|Sinar|Mulia|"
                                  "Nusantara|Prima|Utama|Perkasa|Gemilang|Lestari|Bumi|Samudra|Indah|Sukses|Berkah|"
                                  "Anugerah|Harapan|Cahaya|Tunggal|Surya|Mitra|Global|Andalan|Sarana|Persada|Intan");
    const Strings idTrades = words("Teknik|Logistik|Niaga|Konstruksi|Pangan|Elektrindo|Kimia|Farma|Agro|Energi|Tekstil|"
                                   "Otomotif|Bahari|Sentral|Industri");
    const Strings enWords = words("Atlas|Summit|Pioneer|Harbour|Northwind|Evergreen|Blue Ridge|Silverline|Keystone|"
                                  "Redwood|Crescent|Beacon|Granite|Horizon|Liberty|Meridian|Oakwood|Riverside|Sterling|"
                                  "Westfield|Kingsway|Lighthouse|Bluewater|Ironbark");
    const Strings enTrades = words("Trading|Logistics|Engineering|Foods|Systems|Supplies|Industries|Consulting|"
                                   "Manufacturing|Partners|Solutions|Holdings|Textiles|Energy|Construction|Retail|"
                                   "Electronics|Marine");
    const Strings enForms = words("Ltd|Inc|Pty Ltd|LLC|Pte Ltd|Limited|Sdn Bhd");
    const Strings industries = words("Manufacturing|Retail|Construction|Logistics|Agriculture|Hospitality|Healthcare|"
                                     "Education|Mining|Energy|Technology|Food & Beverage|Textiles|Automotive|"
                                     "Financial Services");
    const Strings idStreets = words("Jl. Jend. Sudirman|Jl. Gatot Subroto|Jl. M.H. Thamrin|Jl. Diponegoro|"
                                    "Jl. Ahmad Yani|Jl. Pemuda|Jl. Merdeka|Jl. Gajah Mada|Jl. Hayam Wuruk|"
                                    "Jl. Asia Afrika|Jl. Pahlawan|Jl. Veteran|Jl. Raya Bogor|Jl. Industri Raya");
    const Strings enStreets = words("King Street|Queen Road|Market Street|Harbour Drive|Collins Street|George Street|"
                                    "Victoria Avenue|Pitt Street|Orchard Road|Main Street|Bridge Road|Park Lane");
    const Strings positions =
        words("Purchasing Manager|Finance Director|Sales Manager|Operations Manager|General Manager|"
              "Procurement Officer|Accountant|Chief Executive Officer|Warehouse Supervisor|"
              "Project Manager|Marketing Manager|IT Manager|Owner|Administration Staff");
    const Strings editors = words("sarah@zelt.local|budi@zelt.local|system");

    QSqlQuery cust = db.prepare(QStringLiteral(
        "INSERT INTO customers (partner_code, partner_name, industry, address, city, phone, email, website, is_active,"
        " updated_at, updated_by, search_key) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING partner_id"));
    QSqlQuery contact = db.prepare(QStringLiteral(
        "INSERT INTO contacts (customer_id, contact_name, job_position, contact_type, title, street1, street2, city,"
        " state_id, zip, country_id, phone, mobile, email, notes, is_active, last_update, updated_by)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));

    constexpr int kCustomers = 600;
    // UTC, so that the stored wall-clock times do not depend on the machine's zone
    const QDateTime firstEdit(QDate(2022, 1, 3), QTime(8, 0), Qt::UTC);
    const QString stampFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    QSet<QString> usedNames;
    for (int i = 1; i <= kCustomers; ++i) {
        const bool indonesian = rnd.chance(62);
        QString name;
        do {
            if (indonesian) {
                const QString form = rnd.chance(75) ? QStringLiteral("PT") : QStringLiteral("CV");
                name = form + QLatin1Char(' ') + rnd.pick(idWords) + QLatin1Char(' ') + rnd.pick(idWords)
                    + QLatin1Char(' ') + rnd.pick(idTrades);
            } else {
                name = rnd.pick(enWords) + QLatin1Char(' ') + rnd.pick(enTrades) + QLatin1Char(' ') + rnd.pick(enForms);
            }
        } while (usedNames.contains(name) || name.size() > 100);
        usedNames.insert(name);

        const City &city = indonesian ? rnd.pick(idCities) : rnd.pick(enCities);
        QString base = name;
        for (const char *prefix : { "PT ", "CV " }) {
            if (base.startsWith(QLatin1String(prefix)))
                base = base.mid(3);
        }
        QStringList domainWords = base.split(QLatin1Char(' '));
        if (domainWords.size() > 2)
            domainWords = domainWords.mid(0, 2);
        const QString domain =
            slug(domainWords.join(QString())) + (indonesian ? QStringLiteral(".co.id") : QStringLiteral(".com"));
        const QString address = indonesian
            ? QStringLiteral("%1 No. %2, %3").arg(rnd.pick(idStreets)).arg(rnd.between(1, 250)).arg(city.zip)
            : QStringLiteral("%1 %2, %3").arg(rnd.between(1, 400)).arg(rnd.pick(enStreets), city.zip);
        const QString phone = city.phonePrefix + QLatin1Char(' ') + rnd.digits(3) + QLatin1Char(' ') + rnd.digits(4);
        const QString email = QStringLiteral("info@") + domain;
        const QString code = QStringLiteral("CUST-%1").arg(i, 5, 10, QLatin1Char('0'));
        const QDateTime edited = firstEdit.addSecs(qint64(rnd.below(1000)) * 86400 + rnd.below(9 * 3600));
        db.run(cust,
               { code, name, rnd.pick(industries), address, city.name, phone, email,
                 QString(QStringLiteral("www.") + domain), rnd.chance(90) ? 1 : 0, edited.toString(stampFormat),
                 rnd.pick(editors), customerSearchKey(code, name, city.name, email) });
        const qint64 customerId = Database::returnedId(cust);

        const int contactCount = rnd.pick(std::vector<int> { 0, 1, 1, 2, 2, 2, 3 });
        for (int k = 0; k < contactCount; ++k) {
            const Person person = makePerson(rnd, names, indonesian);
            const int type = k == 0 ? 1 : rnd.between(1, 3);
            const qint64 stateId = city.stateCode.isEmpty() ? 0 : geo.state(city.countryId, city.stateCode);
            const QString street = type == 1 ? QString() : address.section(QLatin1Char(','), 0, 0);
            const QString phoneText =
                city.phonePrefix + QLatin1Char(' ') + rnd.digits(3) + QLatin1Char(' ') + rnd.digits(4);
            const QString mobilePrefix =
                indonesian ? QStringLiteral("+62 8") : QString(city.phonePrefix + QStringLiteral(" 4"));
            const QString mobile =
                mobilePrefix + rnd.digits(2) + QLatin1Char(' ') + rnd.digits(4) + QLatin1Char(' ') + rnd.digits(4);
            const QString contactEmail =
                slug(person.first) + QLatin1Char('.') + slug(person.last) + QLatin1Char('@') + domain;
            db.run(contact,
                   { customerId, person.full(), rnd.pick(positions), type,
                     person.female ? QStringLiteral("Ms") : QStringLiteral("Mr"), street,
                     type == 3 ? QStringLiteral("Gate %1").arg(rnd.between(1, 4)) : QString(), city.name,
                     stateId ? QVariant(stateId) : QVariant(), type == 1 ? QString() : city.zip.left(6), city.countryId,
                     phoneText, mobile, contactEmail, k == 0 ? QStringLiteral("Main contact") : QString(),
                     rnd.chance(95) ? 1 : 0, edited.toString(stampFormat), rnd.pick(editors) });
        }
    }
}

void seedAppFiles(Database &db)
{
    db.exec(QStringLiteral("INSERT INTO app_files (file_id, filename, path, app_version, source, sort_order) VALUES"
                           " (1, 'release-notes.txt', '', '1.0.3', 'release-notes.txt', 1),"
                           " (2, 'customer-list.txt', 'reports/', '1.0.2', 'reports/customer-list.txt', 2),"
                           " (3, 'templates', 'templates/', '1.0.3', 'templates', 3)"));
}

} // namespace

namespace Seed {

bool isPopulated(Database &db)
{
    return db.scalar(QStringLiteral("SELECT value FROM settings WHERE key = 'seeded'")).toString()
        == QLatin1String("1");
}

void populate(Database &db)
{
    SeedRandom rnd(20240601);
    const PersonNames names;
    Database::Transaction tx(db);
    seedAccounts(db);
    seedMenus(db);
    const Geography geo = seedGeography(db);
    seedLookups(db);
    seedCostCentersAndEmployees(db, rnd, names);
    seedItems(db, rnd);
    seedLocations(db);
    seedCustomers(db, rnd, names, geo);
    seedAppFiles(db);
    db.exec(QStringLiteral("INSERT INTO settings (key, value) VALUES ('seeded', '1')"));
    db.syncIdentities();
    tx.commit();
}

void ensureUpdateFiles(const QString &filesDir)
{
    struct DemoFile
    {
        const char *path;
        const char *content;
    };
    const DemoFile files[] = {
        { "release-notes.txt",
          "ZeltERP 1.0.3\n\n- Customer list: search by city and e-mail.\n"
          "- Contacts: delivery and invoice addresses.\n" },
        { "reports/customer-list.txt", "Customer list report layout, version 1.0.2\n" },
        { "templates/quotation.txt", "Quotation template, version 1.0.3\n" },
        { "templates/letters/welcome.txt", "Welcome letter template, version 1.0.3\n" },
    };
    const QDir root(filesDir);
    for (const DemoFile &f : files) {
        const QString path = root.filePath(QString::fromUtf8(f.path));
        if (QFileInfo::exists(path))
            continue;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(f.content);
            out.commit();
        }
    }
}

} // namespace Seed
