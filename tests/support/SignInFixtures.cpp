#include "SignInFixtures.h"

#include "GlobalVarsU.h"
#include "TestHttpServer.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>

namespace SignInFixtures {

QJsonObject custAuthData(const QString &apiUrl, const QString &appVer)
{
    return QJsonObject {
        { QStringLiteral("app_ver"), appVer },
        { QStringLiteral("api_url"), apiUrl },
        { QStringLiteral("update_url"), QString(apiUrl + QStringLiteral("/updates")) },
        { QStringLiteral("token"),
          QJsonObject { { QStringLiteral("access"), QStringLiteral("orv-token") },
                        { QStringLiteral("token_type"), QStringLiteral("Bearer") } } },
        { QStringLiteral("cust_name"), QStringLiteral("PT Zelt Demo Indonesia") },
        { QStringLiteral("addr_line"), QStringLiteral("Jl. Sudirman 1") },
        { QStringLiteral("addr_city"), QStringLiteral("Jakarta") },
        { QStringLiteral("state_name"), QStringLiteral("DKI Jakarta") },
        { QStringLiteral("postal_code"), QStringLiteral("10220") },
        { QStringLiteral("country_name"), QStringLiteral("Indonesia") },
    };
}

QByteArray custAuthAnswer(const QString &apiUrl, const QString &appVer)
{
    return QJsonDocument(QJsonObject { { QStringLiteral("data"), custAuthData(apiUrl, appVer) } })
        .toJson(QJsonDocument::Compact);
}

QJsonObject loginData(const QString &lang)
{
    return QJsonObject {
        { QStringLiteral("token"),
          QJsonObject { { QStringLiteral("access"), QStringLiteral("user-access") },
                        { QStringLiteral("refresh"), QStringLiteral("user-refresh") } } },
        { QStringLiteral("lang_code"), lang },
        { QStringLiteral("user_fullname"), QStringLiteral("Sarah Mitchell") },
    };
}

QByteArray loginAnswer(const QString &lang)
{
    return QJsonDocument(QJsonObject { { QStringLiteral("response"), loginData(lang) } })
        .toJson(QJsonDocument::Compact);
}

void setServiceGlobals(const QString &orvUrl)
{
    CustKey = QStringLiteral("ZELT-DEMO-0001");
    SecretKey = QStringLiteral("demo-secret-0001");
    AppMode = QStringLiteral("dev");
    OrvUrl = orvUrl;
}

QString deadUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void serveSignIn(TestHttpServer &server, const QByteArray &custAuth, const int &custAuthStatus, const QByteArray &login,
                 const int &loginStatus)
{
    server.setHandler([&custAuth, &custAuthStatus, &login, &loginStatus](const RecordedRequest &r) {
        if (r.path == QLatin1String("/v1/cust-auth"))
            return Reply::json(custAuth, custAuthStatus);
        if (r.path == QLatin1String("/auth/v1/login"))
            return Reply::json(login, loginStatus);
        return Reply::json("{\"message\":\"not found\"}", 404);
    });
}

} // namespace SignInFixtures

namespace MenuJson {

QJsonObject header(const QString &title, int level, int icon, const QJsonValue &children)
{
    QJsonObject o { { QStringLiteral("is_header"), true },
                    { QStringLiteral("menu_title"), title },
                    { QStringLiteral("level"), level },
                    { QStringLiteral("icon_index"), icon } };
    if (!children.isUndefined())
        o.insert(QStringLiteral("children"), children);
    return o;
}

QJsonObject screen(int id, const QString &title, int icon, const QString &formClass, const QString &params, int formPos)
{
    return QJsonObject { { QStringLiteral("is_header"), false },
                         { QStringLiteral("menu_id"), id },
                         { QStringLiteral("menu_title"), title },
                         { QStringLiteral("icon_index"), icon },
                         { QStringLiteral("form_class"), formClass },
                         { QStringLiteral("tr_code"), QStringLiteral("TR%1").arg(id) },
                         { QStringLiteral("tr_group_id"), QStringLiteral("G%1").arg(id) },
                         { QStringLiteral("params"), params },
                         { QStringLiteral("form_pos"), formPos } };
}

QJsonObject separator()
{
    return QJsonObject { { QStringLiteral("is_header"), false },
                         { QStringLiteral("menu_title"), QStringLiteral("-") } };
}

QJsonObject package(const QString &id, const QString &file)
{
    return QJsonObject { { QStringLiteral("package_id"), id }, { QStringLiteral("package_file"), file } };
}

QByteArray menusAnswer(const QJsonArray &menus, const QJsonArray &packages)
{
    const QJsonObject response { { QStringLiteral("menus"), menus }, { QStringLiteral("packages"), packages } };
    return QJsonDocument(QJsonObject { { QStringLiteral("response"), response } }).toJson(QJsonDocument::Compact);
}

} // namespace MenuJson
