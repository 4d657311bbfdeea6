#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

class TestHttpServer;

// The answers of the customer service and of the tenant's sign-in as the
// back end sends them, and menu trees, for the sign-in and shell tests.
namespace SignInFixtures {

// "/v1/cust-auth": every member filled; update_url is apiUrl + "/updates",
// the service token "orv-token".
QJsonObject custAuthData(const QString &apiUrl, const QString &appVer = QStringLiteral("1.0.3"));
QByteArray custAuthAnswer(const QString &apiUrl, const QString &appVer = QStringLiteral("1.0.3"));
// "/auth/v1/login": tokens "user-access" and "user-refresh", Sarah Mitchell.
QJsonObject loginData(const QString &lang = QStringLiteral("en_US"));
QByteArray loginAnswer(const QString &lang = QStringLiteral("en_US"));
// The demo customer's keys and the given service address, as app.conf
// would give them.
void setServiceGlobals(const QString &orvUrl);
// An address on 127.0.0.1 where nothing listens.
QString deadUrl();
// Answers "/v1/cust-auth" and "/auth/v1/login" with what the referenced
// variables hold when each request comes (tests change them between
// requests), anything else with 404. The variables must outlive the server.
void serveSignIn(TestHttpServer &server, const QByteArray &custAuth, const int &custAuthStatus, const QByteArray &login,
                 const int &loginStatus);

} // namespace SignInFixtures

namespace MenuJson {

QJsonObject header(const QString &title, int level, int icon, const QJsonValue &children = QJsonValue::Undefined);
// tr_code "TR<id>", tr_group_id "G<id>".
QJsonObject screen(int id, const QString &title, int icon, const QString &formClass, const QString &params = QString(),
                   int formPos = 1);
QJsonObject separator();
QJsonObject package(const QString &id, const QString &file);
// "/sys/v1/app/menus": {"response": {"menus": ..., "packages": ...}}.
QByteArray menusAnswer(const QJsonArray &menus, const QJsonArray &packages = QJsonArray());

} // namespace MenuJson
