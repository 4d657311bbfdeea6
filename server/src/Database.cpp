#include "Database.h"

#include <QSqlError>
#include <QUuid>

Database::Database(const QString &filePath)
    : m_filePath(filePath),
      m_connectionName(QStringLiteral("zelt-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::open()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_filePath);
    // a busy file (another process writing) waits instead of failing at once
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        throw DbError(QStringLiteral("cannot open database %1: %2").arg(m_filePath, db.lastError().text()));
    exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    // WAL keeps readers and the writer apart; FULL sync so that a committed
    // write survives a crash of the machine, not only of the process
    exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    exec(QStringLiteral("PRAGMA synchronous = FULL"));
}

namespace {

// Qt binds a null QString as SQL NULL; text columns want an empty text.
// A real NULL is written as an invalid QVariant.
QVariant bindable(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString && v.toString().isNull())
        return QVariant(QStringLiteral(""));
    return v;
}

} // namespace

QSqlQuery Database::exec(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
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
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
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

QVariant Database::scalar(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query = exec(sql, binds);
    if (query.next())
        return query.value(0);
    return {};
}

qint64 Database::lastInsertId(const QSqlQuery &query) const
{
    return query.lastInsertId().toLongLong();
}

void Database::begin()
{
    exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void Database::commit()
{
    exec(QStringLiteral("COMMIT"));
}

void Database::rollback()
{
    exec(QStringLiteral("ROLLBACK"));
}

Database::Transaction::Transaction(Database &db) : m_db(db)
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
        // nothing more can be done from a destructor; SQLite rolls back an
        // unfinished transaction itself when the connection closes
    }
}

void Database::Transaction::commit()
{
    m_db.commit();
    m_done = true;
}
