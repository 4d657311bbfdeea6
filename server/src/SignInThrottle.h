#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

// Failed sign-ins counted per account and per client address. Past half the
// allowed failures each further one is answered later and later; at the
// limit the account (or address) is refused with 429 until the lock time has
// passed. An address may fail a few times more than an account, since an
// office signs in from behind one address.
class SignInThrottle
{
public:
    struct Settings
    {
        int accountFailures = 10; // failures of one account before it is locked
        int addressFactor = 5; // an address may fail this many times more
        qint64 lockMs = 15 * 60 * 1000; // lock time; also how long a failure is remembered
    };

    struct Verdict
    {
        bool refused = false;
        qint64 retryAfterSeconds = 0;
    };

    explicit SignInThrottle(Settings settings)
        : m_settings(settings)
    { }

    // Before the secret is checked: is this attempt refused outright?
    Verdict check(const QString &account, const QString &address);
    // After a wrong secret: records it and returns how long to hold the answer back (ms).
    qint64 failed(const QString &account, const QString &address);
    // After a right secret: the account starts afresh (the address does not,
    // or one valid account would let its owner guess others' passwords).
    void succeeded(const QString &account);

    // The current time in ms; tests of this class do not wait for real time.
    static qint64 now();

private:
    struct Entry
    {
        int failures = 0;
        qint64 lastFailure = 0;
        qint64 lockedUntil = 0;
    };

    void forgetOld(qint64 now);
    int record(const QString &key, int limit, qint64 now);

    Settings m_settings;
    QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};
