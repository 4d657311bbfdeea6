#include "SignInThrottle.h"

#include <QMutexLocker>

#include <algorithm>
#include <chrono>

namespace {

// Entries kept before old ones are swept; bounds the memory a flood of
// invented account names can take.
constexpr qsizetype kSweepAt = 20000;
constexpr qint64 kFirstDelayMs = 250;
constexpr qint64 kMaxDelayMs = 8000;

QString accountKey(const QString &account)
{
    return QStringLiteral("a:") + account.trimmed().toCaseFolded();
}

QString addressKey(const QString &address)
{
    return QStringLiteral("i:") + address;
}

} // namespace

qint64 SignInThrottle::now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SignInThrottle::Verdict SignInThrottle::check(const QString &account, const QString &address)
{
    QMutexLocker lock(&m_mutex);
    const qint64 t = now();
    qint64 until = 0;
    for (const QString &key : { accountKey(account), addressKey(address) }) {
        const auto it = m_entries.constFind(key);
        if (it != m_entries.constEnd() && it->lockedUntil > t)
            until = std::max(until, it->lockedUntil);
    }
    if (until == 0)
        return {};
    return { true, std::max<qint64>(1, (until - t + 999) / 1000) };
}

int SignInThrottle::record(const QString &key, int limit, qint64 t)
{
    Entry &e = m_entries[key];
    if (t - e.lastFailure > m_settings.lockMs && e.lockedUntil <= t)
        e.failures = 0;
    ++e.failures;
    e.lastFailure = t;
    if (e.failures >= limit)
        e.lockedUntil = t + m_settings.lockMs;
    return e.failures;
}

qint64 SignInThrottle::failed(const QString &account, const QString &address)
{
    QMutexLocker lock(&m_mutex);
    const qint64 t = now();
    if (m_entries.size() >= kSweepAt)
        forgetOld(t);
    const int accountLimit = std::max(1, m_settings.accountFailures);
    const int accountCount = record(accountKey(account), accountLimit, t);
    const int addressLimit = accountLimit * std::max(1, m_settings.addressFactor);
    const int addressCount = record(addressKey(address), addressLimit, t);

    // the slow-down starts half-way to the lock, on whichever count is nearer
    const int freeAccount = accountLimit / 2;
    const int freeAddress = addressLimit / 2;
    const int over = std::max(accountCount - freeAccount, addressCount - freeAddress);
    if (over <= 0)
        return 0;
    return std::min(kMaxDelayMs, kFirstDelayMs << std::min(over - 1, 10));
}

void SignInThrottle::succeeded(const QString &account)
{
    QMutexLocker lock(&m_mutex);
    m_entries.remove(accountKey(account));
}

void SignInThrottle::forgetOld(qint64 t)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->lockedUntil <= t && t - it->lastFailure > m_settings.lockMs)
            it = m_entries.erase(it);
        else
            ++it;
    }
    // still full of live entries: an invented-name flood; drop the unlocked
    // ones rather than grow without bound (the address counts survive, being few)
    if (m_entries.size() >= kSweepAt) {
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (it->lockedUntil <= t && it.key().startsWith(QLatin1String("a:")))
                it = m_entries.erase(it);
            else
                ++it;
        }
    }
}
