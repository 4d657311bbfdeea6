#pragma once

#include "com_global.h"

#include <QString>
#include <functional>
#include <memory>

namespace Platform {

// What a credential-store job ended with.
struct CredentialResult
{
    enum class Status { Ok, NotFound, Failed };
    Status status = Status::Failed;
    QString secret; // what a read found
    QString error; // the store's reason when it failed

    bool ok() const { return status == Status::Ok; }
};

// The operating system's password store (Windows Credential Manager, the
// Secret Service, the macOS Keychain), one secret per service and key.
// Every operation answers later, exactly once, on the thread that asked;
// never from inside the call. Nothing is ever kept anywhere else: a store
// that is missing or locked fails the job.
class COM_EXPORT CredentialStore
{
public:
    using Done = std::function<void(const CredentialResult &)>;

    virtual ~CredentialStore();

    virtual void read(const QString &service, const QString &key, Done done) = 0;
    virtual void write(const QString &service, const QString &key, const QString &secret, Done done) = 0;
    // Removing what is not there counts as done.
    virtual void remove(const QString &service, const QString &key, Done done) = 0;
};

// QtKeychain jobs, without its clear-text fallback.
class COM_EXPORT KeychainCredentialStore : public CredentialStore
{
public:
    void read(const QString &service, const QString &key, Done done) override;
    void write(const QString &service, const QString &key, const QString &secret, Done done) override;
    void remove(const QString &service, const QString &key, Done done) override;
};

// The store of the process: KeychainCredentialStore unless one was installed.
COM_EXPORT CredentialStore &credentialStore();
// Installs a store; nullptr brings the default back.
COM_EXPORT void setCredentialStore(std::unique_ptr<CredentialStore> store);

} // namespace Platform
