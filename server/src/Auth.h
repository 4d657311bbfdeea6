#pragma once

#include "HttpTypes.h"
#include "Router.h"

struct ServerContext;

// Bearer tokens: random, kept only as digests, each with its own expiry.
namespace Auth {

inline constexpr const char *kCustomerToken = "cust";
inline constexpr const char *kUserToken = "user";
inline constexpr const char *kRefreshToken = "refresh";

QString issueToken(ServerContext &ctx, const QString &kind, qint64 ownerId, qint64 ttlSeconds);

// Checks the "Authorization: Bearer ..." header against what the route
// needs; throws a 401 HttpError otherwise. Returns who sent the request.
Principal authenticate(ServerContext &ctx, const Request &request, Access access);

// A route of screens: throws a 403 HttpError unless one of the user's menus
// opens one of them.
void authorize(ServerContext &ctx, const Principal &who, const QStringList &screens);

} // namespace Auth
