#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <stdexcept>

// A statement that SQLite refused; the request that caused it gets a 500.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The one SQLite connection of the process. Every value reaches SQL through a
// bound parameter; statement texts are fixed in the code.
class Database
{
public:
    explicit Database(const QString &filePath);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens the file (creating it) and sets the pragmas; throws DbError.
    void open();
    QString filePath() const { return m_filePath; }

    QSqlQuery exec(const QString &sql, const QVariantList &binds = {});
    // A statement prepared once and run many times (bulk loading).
    QSqlQuery prepare(const QString &sql);
    void run(QSqlQuery &prepared, const QVariantList &binds);
    // First column of the first row; an invalid QVariant when there is none.
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    qint64 lastInsertId(const QSqlQuery &query) const;

    void begin();
    void commit();
    void rollback();

    // Rolls back unless commit() was called, so a throw inside a write leaves
    // the file as it was.
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
        bool m_done = false;
    };

private:
    QString m_filePath;
    QString m_connectionName;
};
