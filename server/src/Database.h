#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <mutex>
#include <stdexcept>

// A statement the database refused; the request that caused it gets a 500.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message)
        : std::runtime_error(message.toStdString())
    { }
};

// The store of the process: an SQLite file (the embedded default) or a
// PostgreSQL database named by a postgresql:// URL. Each thread that runs
// statements gets a connection of its own, opened on first use; statement
// texts are fixed in the code and every value is a bound parameter.
class Database
{
public:
    enum class Kind { Sqlite, Postgres };

    // A file path, or postgresql://USER@HOST:PORT/NAME (the password comes
    // from ZELT_DB_PASSWORD or libpq's own PGPASSWORD / ~/.pgpass).
    explicit Database(const QString &location);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // True for a location that names a PostgreSQL server.
    static bool isUrl(const QString &location);

    // Opens the calling thread's connection (creating an SQLite file); throws DbError.
    void open();
    // Closes the calling thread's connection; worker threads call it as they end.
    void closeThreadConnection();

    Kind kind() const { return m_kind; }
    bool isPostgres() const { return m_kind == Kind::Postgres; }
    // The location without any password, for the log.
    QString describe() const;
    QString filePath() const { return m_kind == Kind::Sqlite ? m_location : QString(); }

    // Case-insensitive LIKE: SQLite's LIKE already is (for ASCII), PostgreSQL's is not.
    QString likeOperator() const { return isPostgres() ? QStringLiteral("ILIKE") : QStringLiteral("LIKE"); }
    // A CREATE/ALTER statement written for SQLite, in this store's dialect.
    QString ddl(const QString &statement) const;
    bool hasTable(const QString &name);
    // After rows were written with explicit ids: PostgreSQL's identity
    // sequences continue past the highest id (SQLite needs nothing).
    void syncIdentities();

    QSqlQuery exec(const QString &sql, const QVariantList &binds = {});
    // A statement prepared once and run many times (bulk loading).
    QSqlQuery prepare(const QString &sql);
    void run(QSqlQuery &prepared, const QVariantList &binds);
    // First column of the first row; an invalid QVariant when there is none.
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    // The first row's values; empty when there is none.
    QVariantList firstRow(const QString &sql, const QVariantList &binds = {});
    // The id an "INSERT ... RETURNING id" statement answered.
    static qint64 returnedId(QSqlQuery &query);

    void begin();
    void commit();
    void rollback();

    // Rolls back unless commit() was called, so a throw inside a write leaves
    // the store as it was. Writers of this process take turns before they
    // reach the database: SQLite's busy handler would otherwise put waiting
    // workers to sleep in steps of up to 100 ms.
    class Transaction
    {
    public:
        explicit Transaction(Database &db);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        void commit();

    private:
        Database &m_db;
        std::unique_lock<std::recursive_mutex> m_turn;
        bool m_done = false;
    };

private:
    QSqlDatabase connection();
    // scalar() and firstRow() keep their statements prepared per thread: on
    // PostgreSQL a fresh one costs PREPARE, EXECUTE and DEALLOCATE, three
    // round trips instead of one. Safe because no QSqlQuery of them leaves
    // this class.
    QSqlQuery &cached(const QString &sql);
    QString threadConnectionName() const;
    void configure(QSqlDatabase &db) const;

    QString m_location;
    Kind m_kind;
    std::recursive_mutex m_writeTurn; // see Transaction
    QString m_connectionPrefix;
};
