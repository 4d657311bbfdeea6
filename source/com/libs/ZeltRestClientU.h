#pragma once

#include "com_global.h"
#include "HttpClient.h"

#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>

// The one place that configures HTTP clients for the back end: connection
// settings of one server and the signed-in user's credentials, and the
// header convention of every request.
//
// SendRequest and SetHeaderData run on the UI thread. CreateRestClient may
// run in background tasks; it only reads fields that change on the UI
// thread before any background request starts.
class COM_EXPORT TZeltRestClient
{
public:
    TZeltRestClient(const QString &ABaseURL, int AConnectTimeOut, int AReadTimeOut);
    ~TZeltRestClient();

    TZeltRestClient(const TZeltRestClient &) = delete;
    TZeltRestClient &operator=(const TZeltRestClient &) = delete;

    // A new client for one synchronous request; the caller owns it.
    std::shared_ptr<Platform::HttpClient> CreateRestClient(bool IsAuth) const;
    // The instance's own client armed for one asynchronous request; the
    // caller issues the verb on it at once. Authorised, it sends the user's
    // language, or "en_US" while there is none.
    Platform::HttpClient &SendRequest(std::function<void(const Platform::HttpResponse &)> ACompletionHandler,
                                      std::function<void(const Platform::Error &)> ACompletionHandlerWithError,
                                      bool AIsAuth);

    void SetHeaderData(const QString &AAccessToken, const QString &ARefreshToken, const QString &ALanguage);
    // The credentials block of the sign-in response: "token"."access",
    // "token"."refresh" and "lang_code". A missing member raises
    // Platform::JsonMemberError; the fields read before it keep their values.
    void SetHeaderData(const QJsonObject &AJSONObject);

    QString BaseURL() const { return FBaseURL; }
    QString AccessToken() const { return FAccessToken; }
    QString RefreshToken() const { return FRefreshToken; }
    QString LangId() const { return FLangId; }
    int ConnectTimeOut() const { return FConnectTimeOut; }
    int ReadTimeOut() const { return FReadTimeOut; }

private:
    std::shared_ptr<Platform::HttpClient> FRestClient;
    QString FBaseURL;
    QString FAccessToken;
    QString FRefreshToken;
    QString FLangId;
    int FConnectTimeOut = 0;
    int FReadTimeOut = 0;
};

// The tenant's API client; created at customer authentication, freed with
// the other process-wide objects (ProcessObjectsU).
COM_EXPORT extern TZeltRestClient *RestClient;

// Makes RestClient a new client of ABaseURL, freeing the one before.
COM_EXPORT void ReplaceRestClient(const QString &ABaseURL, int AConnectTimeOut, int AReadTimeOut);
COM_EXPORT void FreeRestClient();

// What every client of the system sends as its user agent.
COM_EXPORT extern const char *const ZeltUserAgent;
