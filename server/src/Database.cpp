#include "Database.h"

#include <QHash>
#include <QSqlError>
#include <QSqlRecord>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QUuid>

namespace {

// Qt binds a null QString as SQL NULL; text columns want an empty text.
// A real NULL is written as an invalid QVariant. Flags are integer columns
// in both stores (PostgreSQL does not compare a boolean with an integer).
QVariant bindable(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString && v.toString().isNull())
        return QVariant(QStringLiteral(""));
    if (v.typeId() == QMetaType::Bool)
        return QVariant(v.toBool() ? 1 : 0);
    return v;
}

// Prepared statements of each thread, by connection name and statement text.
thread_local QHash<QString, QHash<QString, QSqlQuery>> t_statements;
// A thread's statements are dropped when there are more (the list endpoints
// build their texts from the filters sent, so the set is not fixed).
constexpr qsizetype kMaxCachedStatements = 200;
// Between BEGIN and COMMIT/ROLLBACK on this thread's connection: a lost
// connection is not replaced then, or the rest of the transaction would run
// outside it.
thread_local bool t_inTransaction = false;

// Every writer of PostgreSQL takes this lock first, so that a check and the
// write after it see the same rows, as SQLite's BEGIN IMMEDIATE guarantees.
constexpr int kWriteLockKey = 0x5a454c54;

} // namespace

Database::Database(const QString &location)
    : m_location(location)
    , m_kind(isUrl(location) ? Kind::Postgres : Kind::Sqlite)
    , m_connectionPrefix(QStringLiteral("zelt-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{ }

Database::~Database()
{
    closeThreadConnection();
}

bool Database::isUrl(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

QString Database::describe() const
{
    if (m_kind == Kind::Sqlite)
        return m_location;
    QUrl url(m_location);
    url.setPassword(QString());
    return url.toString();
}

QString Database::threadConnectionName() const
{
    return m_connectionPrefix + QLatin1Char('-')
        + QString::number(reinterpret_cast<quintptr>(QThread::currentThread()), 16);
}

void Database::configure(QSqlDatabase &db) const
{
    if (m_kind == Kind::Sqlite) {
        db.setDatabaseName(m_location);
        // a busy file (another connection writing) waits instead of failing at once
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        return;
    }
    const QUrl url(m_location);
    if (!url.isValid() || url.host().isEmpty() || url.path().size() < 2)
        throw DbError(QStringLiteral("%1 is not a database URL (postgresql://USER@HOST:PORT/NAME)").arg(describe()));
    if (!url.password().isEmpty())
        throw DbError(QStringLiteral("the database password belongs in ZELT_DB_PASSWORD, not in the URL"));
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setDatabaseName(url.path().mid(1));
    db.setUserName(url.userName());
    const QByteArray password = qgetenv("ZELT_DB_PASSWORD");
    if (!password.isEmpty())
        db.setPassword(QString::fromUtf8(password));
    db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=zelt-server"));
}

void Database::open()
{
    const QString name = threadConnectionName();
    if (QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen())
        return;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            m_kind == Kind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        if (!db.isValid()) {
            QSqlDatabase::removeDatabase(name);
            throw DbError(QStringLiteral("the Qt driver for %1 is not installed")
                              .arg(m_kind == Kind::Sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL")));
        }
        configure(db);
        if (!db.open()) {
            const QString error = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DbError(QStringLiteral("cannot open database %1: %2").arg(describe(), error));
        }
    }
    if (m_kind == Kind::Sqlite) {
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        // WAL keeps readers and the writer apart; FULL sync so that a committed
        // write survives a crash of the machine, not only of the process
        exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        exec(QStringLiteral("PRAGMA synchronous = FULL"));
    } else {
        exec(QStringLiteral("SET client_min_messages = warning"));
    }
}

void Database::closeThreadConnection()
{
    const QString name = threadConnectionName();
    t_statements.remove(name);
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase Database::connection()
{
    const QString name = threadConnectionName();
    if (QSqlDatabase::contains(name)) {
        if (QSqlDatabase::database(name, false).isOpen())
            return QSqlDatabase::database(name, false);
        if (t_inTransaction)
            throw DbError(QStringLiteral("the connection to %1 was lost in a transaction").arg(describe()));
        // PostgreSQL restarted or ended our session: the statement that found
        // out has failed, the next ones get a fresh connection
        closeThreadConnection();
    }
    open();
    return QSqlDatabase::database(name, false);
}

QString Database::ddl(const QString &statement) const
{
    if (m_kind == Kind::Sqlite)
        return statement;
    // SQLite's INTEGER is 64 bits and its INTEGER PRIMARY KEY numbers new rows
    QString s = statement;
    s.replace(QStringLiteral("INTEGER PRIMARY KEY"),
              QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
    s.replace(QStringLiteral("INTEGER"), QStringLiteral("BIGINT"));
    // case-insensitive uniqueness comes from the lower() indexes of version 3
    s.replace(QStringLiteral(" COLLATE NOCASE"), QString());
    return s;
}

bool Database::hasTable(const QString &name)
{
    return connection().tables().contains(name, Qt::CaseInsensitive);
}

void Database::syncIdentities()
{
    if (m_kind != Kind::Postgres)
        return;
    QSqlQuery q = exec(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns"
                                      " WHERE table_schema = current_schema() AND is_identity = 'YES'"));
    QList<QPair<QString, QString>> columns;
    while (q.next())
        columns.append({ q.value(0).toString(), q.value(1).toString() });
    for (const auto &c : columns) {
        // names come from the catalogue of our own schema, not from a client
        exec(
            QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE(MAX(%2), 0) + 1, false) FROM %1")
                .arg(c.first, c.second));
    }
}

QSqlQuery Database::exec(const QString &sql, const QVariantList &binds)
{
    // a single write outside a transaction takes its turn like a transaction
    // (recursive: inside one this thread holds it already)
    std::unique_lock<std::recursive_mutex> turn(m_writeTurn, std::defer_lock);
    if (sql.startsWith(QLatin1String("INSERT")) || sql.startsWith(QLatin1String("UPDATE"))
        || sql.startsWith(QLatin1String("DELETE")))
        turn.lock();
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (binds.isEmpty()) {
        // run as it stands: PostgreSQL cannot prepare BEGIN, SET or DDL
        if (!query.exec(sql))
            throw DbError(QStringLiteral("exec failed: %1 [%2]").arg(query.lastError().text(), sql));
        return query;
    }
    if (!query.prepare(sql))
        throw DbError(QStringLiteral("prepare failed: %1 [%2]").arg(query.lastError().text(), sql));
    for (const QVariant &v : binds)
        query.addBindValue(bindable(v));
    if (!query.exec())
        throw DbError(QStringLiteral("exec failed: %1 [%2]").arg(query.lastError().text(), sql));
    return query;
}

QSqlQuery Database::prepare(const QString &sql)
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw DbError(QStringLiteral("prepare failed: %1 [%2]").arg(query.lastError().text(), sql));
    return query;
}

void Database::run(QSqlQuery &prepared, const QVariantList &binds)
{
    for (int i = 0; i < binds.size(); ++i)
        prepared.bindValue(i, bindable(binds.at(i)));
    if (!prepared.exec())
        throw DbError(QStringLiteral("exec failed: %1 [%2]").arg(prepared.lastError().text(), prepared.lastQuery()));
}

QSqlQuery &Database::cached(const QString &sql)
{
    const QString name = threadConnectionName();
    {
        QHash<QString, QSqlQuery> &statements = t_statements[name];
        const auto it = statements.find(sql);
        if (it != statements.end())
            return *it;
    }
    // before the thread's statements are looked up again: replacing a lost
    // connection drops them
    QSqlQuery query = prepare(sql);
    QHash<QString, QSqlQuery> &statements = t_statements[name];
    if (statements.size() >= kMaxCachedStatements)
        statements.clear();
    return *statements.emplace(sql, std::move(query));
}

QVariantList Database::firstRow(const QString &sql, const QVariantList &binds)
{
    if (binds.isEmpty() || sql.startsWith(QLatin1String("INSERT")) || sql.startsWith(QLatin1String("UPDATE"))
        || sql.startsWith(QLatin1String("DELETE"))) {
        QSqlQuery query = exec(sql, binds);
        QVariantList row;
        if (query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i);
        }
        return row;
    }
    QSqlQuery &query = cached(sql);
    try {
        run(query, binds);
    } catch (const DbError &) {
        // a broken statement is not kept
        t_statements[threadConnectionName()].remove(sql);
        throw;
    }
    QVariantList row;
    if (query.next()) {
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
    }
    query.finish();
    return row;
}

QVariant Database::scalar(const QString &sql, const QVariantList &binds)
{
    const QVariantList row = firstRow(sql, binds);
    return row.isEmpty() ? QVariant() : row.constFirst();
}

qint64 Database::returnedId(QSqlQuery &query)
{
    if (!query.next())
        throw DbError(QStringLiteral("no id returned [%1]").arg(query.lastQuery()));
    const qint64 id = query.value(0).toLongLong();
    // SQLite ends the statement (and an implicit transaction) only once it is reset
    query.finish();
    return id;
}

void Database::begin()
{
    if (m_kind == Kind::Sqlite) {
        exec(QStringLiteral("BEGIN IMMEDIATE"));
        t_inTransaction = true;
        return;
    }
    exec(QStringLiteral("BEGIN"));
    t_inTransaction = true;
    try {
        exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kWriteLockKey));
    } catch (const DbError &) {
        // no Transaction exists to end it: the connection would stay inside
        try {
            rollback();
        } catch (const DbError &) { }
        throw;
    }
}

void Database::commit()
{
    exec(QStringLiteral("COMMIT"));
    t_inTransaction = false;
}

void Database::rollback()
{
    t_inTransaction = false;
    exec(QStringLiteral("ROLLBACK"));
}

Database::Transaction::Transaction(Database &db)
    : m_db(db)
    , m_turn(db.m_writeTurn)
{
    m_db.begin();
}

Database::Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_db.rollback();
    } catch (const DbError &) {
        // nothing more can be done from a destructor; the store rolls back an
        // unfinished transaction itself when the connection closes
    }
}

void Database::Transaction::commit()
{
    m_db.commit();
    m_done = true;
}
