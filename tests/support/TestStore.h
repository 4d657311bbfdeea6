#pragma once

// The store a test's zelt-server runs on. By default a fresh SQLite file in
// the test's folder; with ZELT_TEST_STORE=postgresql a fresh database on the
// PostgreSQL server that ZELT_TEST_PG_URL names (run-tests.sh starts one and
// sets both for the *_pg tests), dropped again at the end.
#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

class TestStore
{
public:
    explicit TestStore(const QString &AFolder, const QString &AFileName = QStringLiteral("zelt.db"))
    {
        if (!wantsPostgres()) {
            m_location = QDir(AFolder).filePath(AFileName);
            return;
        }
        m_server = QString::fromUtf8(qgetenv("ZELT_TEST_PG_URL"));
        if (m_server.isEmpty()) {
            m_error = QStringLiteral(
                "ZELT_TEST_PG_URL is not set: no PostgreSQL server was started (run-tests.sh starts one)");
            return;
        }
        m_name = QStringLiteral("zelt_test_%1_%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(QRandomGenerator::global()->bounded(1000000));
        if (adminExec(QStringLiteral("CREATE DATABASE %1").arg(m_name)))
            m_location = m_server + QLatin1Char('/') + m_name;
    }
    ~TestStore()
    {
        if (!m_name.isEmpty() && !m_location.isEmpty())
            adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    }
    TestStore(const TestStore &) = delete;
    TestStore &operator=(const TestStore &) = delete;

    static bool wantsPostgres() { return qgetenv("ZELT_TEST_STORE") == "postgresql"; }
    bool postgres() const { return !m_name.isEmpty(); }
    // Empty when the store could not be made; error() says why.
    QString location() const { return m_location; }
    QString error() const { return m_error; }

    // A connection of the test's own to the same store, for checks and for
    // what the test changes behind the server's back.
    QSqlDatabase connect(const QString &AConnection, bool AReadOnly = false) const
    {
        QSqlDatabase db;
        if (postgres()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), AConnection);
            configure(db, m_name);
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), AConnection);
            db.setDatabaseName(m_location);
            db.setConnectOptions(AReadOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000")
                                           : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
        db.open();
        return db;
    }

private:
    void configure(QSqlDatabase &ADb, const QString &ADatabase) const
    {
        const QUrl url(m_server);
        ADb.setHostName(url.host());
        ADb.setPort(url.port(5432));
        ADb.setUserName(url.userName());
        ADb.setDatabaseName(ADatabase);
    }
    bool adminExec(const QString &ASql)
    {
        const QString name = QStringLiteral("teststore-admin-") + m_name;
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            configure(db, QStringLiteral("postgres"));
            QSqlQuery q(db);
            ok = db.open() && q.exec(ASql);
            if (!ok)
                m_error = ASql + QStringLiteral(": ") + (db.isOpen() ? q.lastError().text() : db.lastError().text());
        }
        QSqlDatabase::removeDatabase(name);
        return ok;
    }

    QString m_server;
    QString m_name;
    QString m_location;
    QString m_error;
};
