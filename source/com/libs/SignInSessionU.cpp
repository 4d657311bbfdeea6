#include "SignInSessionU.h"

#include "AppPaths.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "IniFile.h"
#include "Json.h"
#include "LangResU.h"
#include "Logging.h"
#include "ZeltRestClientU.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

namespace {

// updates.json is a short record; anything bigger is not ours.
constexpr qint64 MaxUpdatesFileSize = qint64(16) * 1024 * 1024;

const QString SectionSignIn = QStringLiteral("SignIn");
const QString KeyRememberUser = QStringLiteral("RememberUser");
const QString KeySavedEmail = QStringLiteral("SavedEmail");
const QString KeySavedPassword = QStringLiteral("SavedPassword");

// s as the inside of a JSON string literal, quotes not included.
QString jsonEscaped(const QString &s)
{
    const QByteArray array = QJsonDocument(QJsonArray { s }).toJson(QJsonDocument::Compact);
    // ["..."]
    return QString::fromUtf8(array.mid(2, array.size() - 4));
}

// A text member of the answer, where a null counts as empty.
QString optionalText(const QJsonValue &root, const QString &path)
{
    if (Platform::Json::find(root, path).isNull())
        return QString();
    return Platform::Json::getString(root, path);
}

// A line break would end the key in app.conf and start another one.
bool fitsOnLine(const QString &value)
{
    return !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r'));
}

// Erases a clear-text password an older client left in app.conf, once the
// credential store has confirmed that it holds the password.
void erasePlainTextPassword(const QString &AIniFile)
{
    Platform::IniFile ini = Platform::IniFile::fromFile(AIniFile);
    if (ini.readString(SectionSignIn, KeySavedPassword).isEmpty())
        return;
    ini.writeString(SectionSignIn, KeySavedPassword, QString());
    QString error;
    if (!ini.saveAtomically(AIniFile, &error, true))
        qCWarning(Platform::Log::signIn) << "the old saved password stays in" << AIniFile << "for now:" << error;
}

} // namespace

TSignInSession::TSignInSession(QObject *AParent)
    : QObject(AParent)
    , FAppIniFile(AppConfPath())
{ }

TSignInSession::~TSignInSession() = default;

QString TSignInSession::CredentialService()
{
    return QStringLiteral("ZeltERP");
}

QString TSignInSession::CredentialKey(const QString &AEmail) const
{
    // the program folder tells installations apart
    return AEmail + QStringLiteral(" on ") + QDir::toNativeSeparators(QFileInfo(FAppIniFile).absolutePath());
}

QString TSignInSession::GetCurrAppVersion()
{
    const QString path = Platform::applicationFolder() + QStringLiteral("updates.json");
    QFile file(path);
    if (!file.exists())
        throw Platform::NotFoundError(QStringLiteral("The installed build is unknown: \"") + path
                                      + QStringLiteral("\" does not exist."));
    if (!file.open(QIODevice::ReadOnly))
        throw Platform::Error(QStringLiteral("The installed build is unknown: \"") + path
                              + QStringLiteral("\" cannot be read: ") + file.errorString());
    const QByteArray text = file.read(MaxUpdatesFileSize + 1);
    const QJsonValue root = text.size() > MaxUpdatesFileSize ? QJsonValue() : Platform::Json::parse(text);
    if (!root.isObject())
        throw Platform::JsonMemberError(QStringLiteral("The installed build is unknown: \"") + path
                                        + QStringLiteral("\" is not a JSON object."));
    const QJsonValue version = root.toObject().value(QStringLiteral("app_ver"));
    if (!version.isString())
        throw Platform::JsonMemberError(QStringLiteral("The installed build is unknown: \"") + path
                                        + QStringLiteral("\" has no text member \"app_ver\"."));
    return version.toString();
}

// ------------------------------------------------------ remembered sign-in

TRememberedSignIn TSignInSession::ReadRemembered() const
{
    TRememberedSignIn result;
    const Platform::IniFile ini = Platform::IniFile::fromFile(FAppIniFile);
    result.RememberUser = ini.readBool(SectionSignIn, KeyRememberUser, false);
    if (result.RememberUser) {
        result.Email = ini.readExactString(SectionSignIn, KeySavedEmail);
        result.PlainTextPassword = ini.readString(SectionSignIn, KeySavedPassword);
    }
    return result;
}

void TSignInSession::ReadSavedPassword(const QString &AEmail)
{
    const QPointer<TSignInSession> self(this);
    Platform::credentialStore().read(
        CredentialService(), CredentialKey(AEmail), [self, AEmail](const Platform::CredentialResult &AResult) {
            if (!AResult.ok() && AResult.status != Platform::CredentialResult::Status::NotFound)
                qCWarning(Platform::Log::signIn) << "the saved password could not be read:" << AResult.error;
            if (self)
                Q_EMIT self->SavedPasswordRead(AEmail, AResult);
        });
}

QString TSignInSession::SaveSignIn(bool ARemember, const QString &AEmail, const QString &APassword)
{
    if (ARemember && !fitsOnLine(AEmail))
        // it would break app.conf; nothing is remembered rather than something else
        return QStringLiteral("The e-mail address cannot be remembered: it contains a line break.");
    // Read again just before writing, so that whatever changed in the file
    // since the session started is kept.
    const QFileInfo info(FAppIniFile);
    QString error;
    if (info.exists() && !info.isReadable()) {
        error = QStringLiteral("the file cannot be read");
    } else {
        Platform::IniFile ini = Platform::IniFile::fromFile(FAppIniFile);
        const QString previous = ini.readBool(SectionSignIn, KeyRememberUser, false)
            ? ini.readExactString(SectionSignIn, KeySavedEmail)
            : QString();
        // an older client's clear-text password stays until the store holds
        // its successor, so that a refusing store loses nothing; but only
        // for the user it belongs to: nobody else's sign-in may keep it
        const bool keepPlainText =
            ARemember && previous == AEmail && !ini.readString(SectionSignIn, KeySavedPassword).isEmpty();
        ini.writeBool(SectionSignIn, KeyRememberUser, ARemember);
        ini.writeExactString(SectionSignIn, KeySavedEmail, ARemember ? AEmail : QString());
        if (!keepPlainText)
            ini.writeString(SectionSignIn, KeySavedPassword, QString());
        if (ini.saveAtomically(FAppIniFile, &error, ARemember)) {
            UpdateStoredPassword(ARemember, AEmail, APassword, previous, keepPlainText);
            return QString();
        }
    }
    qCWarning(Platform::Log::signIn) << "the sign-in settings were not saved to" << FAppIniFile << ":" << error;
    return QStringLiteral("The sign-in settings could not be saved to \"") + FAppIniFile + QStringLiteral("\": ")
        + error;
}

void TSignInSession::UpdateStoredPassword(bool ARemember, const QString &AEmail, const QString &APassword,
                                          const QString &APreviousEmail, bool AErasePlainText)
{
    // The window is closing: the answers are handled without the session.
    Platform::CredentialStore &store = Platform::credentialStore();
    const QString service = CredentialService();
    if (ARemember) {
        const QString iniFile = FAppIniFile;
        store.write(service, CredentialKey(AEmail), APassword,
                    [iniFile, AErasePlainText](const Platform::CredentialResult &AResult) {
                        if (!AResult.ok())
                            qCWarning(Platform::Log::signIn) << "the password was not remembered:" << AResult.error;
                        else if (AErasePlainText)
                            erasePlainTextPassword(iniFile);
                    });
    }
    if (!APreviousEmail.isEmpty() && (!ARemember || APreviousEmail != AEmail)) {
        store.remove(service, CredentialKey(APreviousEmail), [](const Platform::CredentialResult &AResult) {
            if (!AResult.ok())
                qCWarning(Platform::Log::signIn) << "the previous saved password stays in the store:" << AResult.error;
        });
    }
}

// ---------------------------------------------------- customer service

void TSignInSession::Authenticate()
{
    IsAppSettingsValid = false;
    const int request = FAuthRequest = ++FLastRequest;
    if (OrvUrl.isEmpty()) {
        AuthFailed(QStringLiteral("Invalid API URL: \"") + OrvUrl + QLatin1Char('"'));
        return;
    }
    const QString body = QStringLiteral("{  \"cust_key\":\"") + jsonEscaped(CustKey)
        + QStringLiteral("\", \"secret_key\":\"") + jsonEscaped(SecretKey) + QStringLiteral("\", \"mode\":\"")
        + jsonEscaped(AppMode) + QStringLiteral("\"}");
    FAuthClient = std::make_unique<TZeltRestClient>(OrvUrl, TimeOut, TimeOut);
    const QPointer<TSignInSession> self(this);
    try {
        FAuthClient
            ->SendRequest(
                [self, request](const Platform::HttpResponse &AResponse) {
                    if (!self || self->FAuthRequest != request)
                        return;
                    if (AResponse.success())
                        self->AuthAnswered(AResponse.body);
                    else
                        self->AuthFailed(AResponse.content());
                },
                [self, request](const Platform::Error &AError) {
                    if (self && self->FAuthRequest == request)
                        self->AuthFailed(AError.message());
                },
                false)
            .post(QStringLiteral("/v1/cust-auth"), body, QStringLiteral("application/json"));
    } catch (const std::exception &e) {
        AuthFailed(Platform::messageOf(e));
    }
}

void TSignInSession::AuthAnswered(const QByteArray &ABody)
{
    // Everything is read and checked before anything is kept: an answer
    // that lacks a member must not leave half an installation behind.
    QString appVer, apiUrl, updateUrl, token, custName, addrLine, addrCity, stateName, postalCode, countryName;
    QString currAppVer;
    try {
        const QJsonValue root = Platform::Json::parse(ABody);
        if (!root.isObject())
            throw Platform::JsonMemberError(QStringLiteral("the answer is not a JSON object"));
        const QJsonObject data = Platform::Json::getObject(root, QStringLiteral("data"));
        appVer = Platform::Json::getString(data, QStringLiteral("app_ver"));
        apiUrl = Platform::Json::getString(data, QStringLiteral("api_url"));
        updateUrl = optionalText(data, QStringLiteral("update_url"));
        token = Platform::Json::getString(data, QStringLiteral("token.access"));
        custName = optionalText(data, QStringLiteral("cust_name"));
        addrLine = optionalText(data, QStringLiteral("addr_line"));
        addrCity = optionalText(data, QStringLiteral("addr_city"));
        stateName = optionalText(data, QStringLiteral("state_name"));
        postalCode = optionalText(data, QStringLiteral("postal_code"));
        countryName = optionalText(data, QStringLiteral("country_name"));
        if (apiUrl.trimmed().isEmpty())
            throw Platform::JsonMemberError(QStringLiteral("JSON member \"api_url\" is empty"));
    } catch (const Platform::Error &e) {
        AuthFailed(QStringLiteral("The customer service's answer cannot be used: ") + e.message() + QLatin1Char('.'));
        return;
    }
    try {
        currAppVer = GetCurrAppVersion();
    } catch (const Platform::Error &e) {
        AuthFailed(e.message());
        return;
    }

    FAuthRequest = 0;
    AppVer = appVer;
    ApiUrl = apiUrl;
    UpdateUrl = updateUrl;
    OrvToken = token;
    CustName = custName;
    CustAddrLine = addrLine;
    CustAddrCity = addrCity;
    CustAddrState = stateName;
    CustPostalCode = postalCode;
    CustAddrCountry = countryName;
    CurrAppVer = currAppVer;
    IsAppSettingsValid = true;
    AppSettingsError.clear();
    ReplaceRestClient(ApiUrl, TimeOut, TimeOut);
    Q_EMIT Authenticated();
}

void TSignInSession::AuthFailed(const QString &AError)
{
    FAuthRequest = 0;
    IsAppSettingsValid = false;
    AppSettingsError = AError;
    qCWarning(Platform::Log::signIn).noquote() << "customer authentication failed:" << AError.left(400);
    Q_EMIT AuthenticationFailed(AError);
}

// ----------------------------------------------------------------- sign-in

bool TSignInSession::SignIn(const QString &AEmail, const QString &APassword)
{
    if (!IsAppSettingsValid || !RestClient || SigningIn())
        return false;
    const QString body = QStringLiteral("{  \"username\":\"") + jsonEscaped(AEmail)
        + QStringLiteral("\", \"password\":\"") + jsonEscaped(APassword) + QStringLiteral("\"}");
    FLoginData = QJsonObject();
    const int request = FSignInRequest = ++FLastRequest;
    const QPointer<TSignInSession> self(this);
    auto failed = [self, request](const QString &AMessage) {
        if (!self || self->FSignInRequest != request)
            return;
        self->FSignInRequest = 0;
        Q_EMIT self->SignInFailed(AMessage);
    };
    try {
        RestClient
            ->SendRequest(
                [self, request](const Platform::HttpResponse &AResponse) {
                    if (self && self->FSignInRequest == request)
                        self->SignInAnswered(AResponse.statusCode, AResponse.body);
                },
                [failed](const Platform::Error &AError) { failed(AError.message()); }, false)
            .post(QStringLiteral("/auth/v1/login"), body, QStringLiteral("application/json"));
    } catch (const std::exception &e) {
        failed(Platform::messageOf(e));
    }
    return true;
}

void TSignInSession::SignInAnswered(int AStatusCode, const QByteArray &ABody)
{
    FSignInRequest = 0;
    if (AStatusCode < 200 || AStatusCode > 299) {
        Q_EMIT SignInFailed(sErrSignInFailed.text());
        return;
    }
    // A success without the whole credentials block would sign the user in
    // without a token: it counts as a failed sign-in.
    QJsonObject response;
    try {
        const QJsonValue root = Platform::Json::parse(ABody);
        if (!root.isObject())
            throw Platform::JsonMemberError(QStringLiteral("the answer is not a JSON object"));
        response = Platform::Json::getObject(root, QStringLiteral("response"));
        for (const char *member : { "token.access", "token.refresh", "lang_code", "user_fullname" })
            Platform::Json::getString(response, QString::fromLatin1(member));
        if (Platform::Json::getString(response, QStringLiteral("token.access")).trimmed().isEmpty())
            throw Platform::JsonMemberError(QStringLiteral("JSON member \"token.access\" is empty"));
    } catch (const Platform::Error &e) {
        qCWarning(Platform::Log::signIn) << "the sign-in answer cannot be used:" << e.message();
        Q_EMIT SignInFailed(sErrLoginInfoFailed.text() + QStringLiteral(": ") + e.message() + QLatin1Char('.'));
        return;
    }
    FLoginData = response;
    Q_EMIT SignedIn(FLoginData);
}

void TSignInSession::Abandon()
{
    FAuthRequest = 0;
    FSignInRequest = 0;
}
