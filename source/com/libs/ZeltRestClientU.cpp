#include "ZeltRestClientU.h"

#include <QJsonValue>
#include <QStringList>

TZeltRestClient *RestClient = nullptr;

void ReplaceRestClient(const QString &ABaseURL, int AConnectTimeOut, int AReadTimeOut)
{
    FreeRestClient();
    RestClient = new TZeltRestClient(ABaseURL, AConnectTimeOut, AReadTimeOut);
}

void FreeRestClient()
{
    delete RestClient;
    RestClient = nullptr;
}

const char *const ZeltUserAgent = "ZeltERP";

namespace {

const QString AuthorizationHeader = QStringLiteral("Authorization");
const QString AcceptLanguageHeader = QStringLiteral("Accept-Language");
const QString BearerPrefix = QStringLiteral("Bearer ");
const QString DefaultLanguage = QStringLiteral("en_US");

// Typed read at a path of members: absent or not a string raises.
QString stringAt(const QJsonObject &object, const QStringList &path)
{
    const QString dotted = path.join(QLatin1Char('.'));
    QJsonValue value(object);
    for (const QString &member : path) {
        const QJsonObject current = value.toObject();
        if (!value.isObject() || !current.contains(member))
            throw Platform::JsonMemberError(QStringLiteral("Value '%1' not found").arg(dotted));
        value = current.value(member);
    }
    if (!value.isString())
        throw Platform::JsonMemberError(QStringLiteral("Value '%1' is not a string").arg(dotted));
    return value.toString();
}

std::shared_ptr<Platform::HttpClient> newClient(const QString &baseURL, int connectTimeOut, int readTimeOut)
{
    auto client = Platform::HttpClient::create();
    client->setBaseURL(baseURL)
        .setUserAgent(QString::fromLatin1(ZeltUserAgent))
        .setConnectTimeout(connectTimeOut)
        .setReadTimeout(readTimeOut);
    return client;
}

} // namespace

TZeltRestClient::TZeltRestClient(const QString &ABaseURL, int AConnectTimeOut, int AReadTimeOut)
    : FRestClient(newClient(ABaseURL, AConnectTimeOut, AReadTimeOut))
    , FBaseURL(ABaseURL)
    , FConnectTimeOut(AConnectTimeOut)
    , FReadTimeOut(AReadTimeOut)
{ }

TZeltRestClient::~TZeltRestClient() = default;

std::shared_ptr<Platform::HttpClient> TZeltRestClient::CreateRestClient(bool IsAuth) const
{
    auto client = newClient(FBaseURL, FConnectTimeOut, FReadTimeOut);
    // en_US here even for a user of another language: only the armed
    // request of SendRequest carries the user's language
    if (IsAuth)
        client->addHeader(AuthorizationHeader, BearerPrefix + FAccessToken);
    client->addHeader(AcceptLanguageHeader, DefaultLanguage);
    return client;
}

Platform::HttpClient &
TZeltRestClient::SendRequest(std::function<void(const Platform::HttpResponse &)> ACompletionHandler,
                             std::function<void(const Platform::Error &)> ACompletionHandlerWithError, bool AIsAuth)
{
    FRestClient->async(std::move(ACompletionHandler), std::move(ACompletionHandlerWithError), true);
    if (AIsAuth) {
        FRestClient->addHeader(AuthorizationHeader, BearerPrefix + FAccessToken);
        // Qt fills an empty Accept-Language with the workstation's locale;
        // without a language code of the user's, ours goes instead
        FRestClient->addHeader(AcceptLanguageHeader, FLangId.trimmed().isEmpty() ? DefaultLanguage : FLangId);
    } else {
        // the long-lived client may still hold the token of an earlier
        // authorised request; an unauthorised one must not carry it
        FRestClient->removeHeader(AuthorizationHeader);
        FRestClient->addHeader(AcceptLanguageHeader, DefaultLanguage);
    }
    return *FRestClient;
}

void TZeltRestClient::SetHeaderData(const QString &AAccessToken, const QString &ARefreshToken, const QString &ALanguage)
{
    FAccessToken = AAccessToken;
    FRefreshToken = ARefreshToken;
    FLangId = ALanguage;
}

void TZeltRestClient::SetHeaderData(const QJsonObject &AJSONObject)
{
    FAccessToken = stringAt(AJSONObject, { QStringLiteral("token"), QStringLiteral("access") });
    FRefreshToken = stringAt(AJSONObject, { QStringLiteral("token"), QStringLiteral("refresh") });
    FLangId = stringAt(AJSONObject, { QStringLiteral("lang_code") });
}
