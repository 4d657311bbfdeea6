#include "CredentialStore.h"

#include "Logging.h"

#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace Platform {

namespace {

std::unique_ptr<CredentialStore> &installedStore()
{
    static std::unique_ptr<CredentialStore> store;
    return store;
}

CredentialResult resultOf(const QKeychain::Job &job)
{
    CredentialResult result;
    switch (job.error()) {
    case QKeychain::NoError: result.status = CredentialResult::Status::Ok; break;
    case QKeychain::EntryNotFound: result.status = CredentialResult::Status::NotFound; break;
    default:
        result.status = CredentialResult::Status::Failed;
        result.error = job.errorString();
        if (result.error.isEmpty())
            result.error = QStringLiteral("error %1").arg(int(job.error()));
        qCWarning(Platform::Log::credentials) << "credential store:" << job.key() << result.error;
        break;
    }
    return result;
}

// Why the store cannot be asked at all, or nothing when it can. Without
// the bus of a desktop session there is no keyring of the user's to reach:
// asking anyway starts a bus and a keyring daemon of their own, which
// outlive the client, and the new keyring's password prompt, which grabs
// the whole display.
QString unreachable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return {};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists())
        return {};
    return QStringLiteral("no desktop session bus, so no system keyring to use");
#else
    return {};
#endif
}

// False, and the job failed later as the store's own jobs fail, when the
// store cannot be asked.
bool reachable(const QString &key, CredentialStore::Done &done)
{
    const QString why = unreachable();
    if (why.isEmpty())
        return true;
    qCWarning(Platform::Log::credentials) << "credential store:" << key << why;
    QTimer::singleShot(0, [done = std::move(done), why] {
        if (done)
            done(CredentialResult { CredentialResult::Status::Failed, {}, why });
    });
    return false;
}

// The job deletes itself once it has finished.
void startJob(QKeychain::Job *job, const QString &key, CredentialStore::Done done,
              std::function<void(CredentialResult &)> complete = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, job,
                     [done = std::move(done), complete = std::move(complete)](QKeychain::Job *finished) {
                         CredentialResult result = resultOf(*finished);
                         if (complete)
                             complete(result);
                         if (done)
                             done(result);
                     });
    job->start();
}

} // namespace

CredentialStore::~CredentialStore() = default;

void KeychainCredentialStore::read(const QString &service, const QString &key, Done done)
{
    if (!reachable(key, done))
        return;
    auto *job = new QKeychain::ReadPasswordJob(service);
    startJob(job, key, std::move(done), [job](CredentialResult &result) {
        if (result.ok())
            result.secret = job->textData();
    });
}

void KeychainCredentialStore::write(const QString &service, const QString &key, const QString &secret, Done done)
{
    if (!reachable(key, done))
        return;
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setTextData(secret);
    startJob(job, key, std::move(done));
}

void KeychainCredentialStore::remove(const QString &service, const QString &key, Done done)
{
    if (!reachable(key, done))
        return;
    auto *job = new QKeychain::DeletePasswordJob(service);
    startJob(job, key, [done = std::move(done)](const CredentialResult &result) {
        if (!done)
            return;
        if (result.status == CredentialResult::Status::NotFound)
            done(CredentialResult { CredentialResult::Status::Ok, {}, {} });
        else
            done(result);
    });
}

CredentialStore &credentialStore()
{
    auto &store = installedStore();
    if (!store)
        store = std::make_unique<KeychainCredentialStore>();
    return *store;
}

void setCredentialStore(std::unique_ptr<CredentialStore> store)
{
    installedStore() = std::move(store);
}

} // namespace Platform
