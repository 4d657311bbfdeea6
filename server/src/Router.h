#pragma once

#include "HttpTypes.h"

#include <QStringList>

#include <functional>
#include <vector>

// Which bearer token a route needs.
enum class Access {
    Public, // no token
    Customer, // token from POST /v1/cust-auth
    User, // token from POST /auth/v1/login
};

using Handler = std::function<Response(Request &)>;

struct Route
{
    QByteArray method;
    QStringList segments; // "{name}" captures one segment
    Access access = Access::User;
    Handler handler;
    // Screens (form classes) whose endpoint this is: a user may call it only
    // when one of their menus opens one of them. Empty: any signed-in user.
    QStringList screens;
    // Slow by design (password hashing): runs on the small sign-in pool so
    // that it never holds up other users' requests.
    bool heavy = false;
};

// Outcome of looking a request up.
struct RouteMatch
{
    const Route *route = nullptr;
    QHash<QString, QString> params;
    bool pathKnown = false; // some route has this path, with another method
};

class Router
{
public:
    // The route just added, to set screens or heavy on.
    Route &add(const QByteArray &method, const QString &pattern, Access access, Handler handler);
    RouteMatch match(const QByteArray &method, const QString &path) const;

    // "/a//b/" -> "/a/b"; a missing leading slash is added.
    static QString normalisePath(const QString &path);

private:
    std::vector<Route> m_routes;
};
