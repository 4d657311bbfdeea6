#pragma once

#include "com_global.h"
#include "CredentialStore.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <memory>

class TZeltRestClient;

// What the "SignIn" section of app.conf remembers.
struct TRememberedSignIn
{
    bool RememberUser = false;
    // empty unless RememberUser
    QString Email;
    // an older client's clear-text password; empty once the credential
    // store holds it (then ReadSavedPassword finds it)
    QString PlainTextPassword;
};

// The sign-in without its window: identifies the installation to the
// customer service, installs the shared RestClient for the tenant's API that
// the service names, signs the user in there, and keeps the remembered
// sign-in ("SignIn" of app.conf, the password in the credential store).
//
// Requests and the credential store answer in the background; the results
// come as signals on the thread that asked (the UI thread). Only the answer
// to the latest request of each kind counts; Abandon() drops those still
// outstanding.
class COM_EXPORT TSignInSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int TimeOut = 10000;

    explicit TSignInSession(QObject *AParent = nullptr);
    ~TSignInSession() override;

    // app.conf of the program folder, fixed at creation.
    QString AppConfFile() const { return FAppIniFile; }
    // Where a remembered password is kept: service "ZeltERP", key
    // "<e-mail> on <program folder>".
    static QString CredentialService();
    QString CredentialKey(const QString &AEmail) const;

    // "app_ver" of updates.json in the application folder. Raises
    // Platform::Error naming the file when it is missing, unreadable, not a
    // JSON object or without a text "app_ver".
    static QString GetCurrAppVersion();

    // "SignIn" of app.conf as it is now.
    TRememberedSignIn ReadRemembered() const;
    // Asks the credential store for AEmail's password: SavedPasswordRead.
    void ReadSavedPassword(const QString &AEmail);

    // POST "/v1/cust-auth" to OrvUrl with CustKey, SecretKey and AppMode:
    // Authenticated or AuthenticationFailed. An empty OrvUrl, or a request
    // that cannot be sent, fails from inside the call.
    void Authenticate();
    bool Authenticating() const { return FAuthRequest != 0; }

    // POST "/auth/v1/login" through RestClient: SignedIn or SignInFailed.
    // Does nothing (false) unless the installation is authenticated and no
    // sign-in is in flight. A request that cannot be sent fails from inside
    // the call.
    bool SignIn(const QString &AEmail, const QString &APassword);
    bool SigningIn() const { return FSignInRequest != 0; }
    // The "response" block of the last successful sign-in.
    QJsonObject LoginData() const { return FLoginData; }

    // Answers still outstanding are ignored.
    void Abandon();

    // After a successful sign-in: writes "SignIn" (leaving the rest of
    // app.conf as it is) and brings the credential store in line, without
    // waiting for it. Returns what the user should be told when remembering
    // failed; empty when it worked. The sign-in stands either way.
    QString SaveSignIn(bool ARemember, const QString &AEmail, const QString &APassword);

Q_SIGNALS:
    // The globals of the installation are filled and RestClient serves ApiUrl.
    void Authenticated();
    // AppSettingsError holds AError; nothing else changed.
    void AuthenticationFailed(const QString &AError);
    void SignedIn(const QJsonObject &ALoginData);
    // AMessage is for the user: sErrSignInFailed for a refusal, the reason
    // for an unusable answer or a transport failure.
    void SignInFailed(const QString &AMessage);
    void SavedPasswordRead(const QString &AEmail, const Platform::CredentialResult &AResult);

private:
    void AuthAnswered(const QByteArray &ABody);
    void AuthFailed(const QString &AError);
    void SignInAnswered(int AStatusCode, const QByteArray &ABody);
    void UpdateStoredPassword(bool ARemember, const QString &AEmail, const QString &APassword,
                              const QString &APreviousEmail, bool AErasePlainText);

    QString FAppIniFile;
    std::unique_ptr<TZeltRestClient> FAuthClient;
    int FAuthRequest = 0; // the one outstanding, 0 when none
    int FSignInRequest = 0;
    int FLastRequest = 0;
    QJsonObject FLoginData;
};
