// Customer service sign-in (POST /v1/cust-auth), user sign-in
// (POST /auth/v1/login) and the bearer-token check of every other route.
#include "Auth.h"

#include "Database.h"
#include "JsonUtil.h"
#include "Passwords.h"
#include "ServerContext.h"
#include "SignInThrottle.h"

#include <QDateTime>

namespace {

// Refresh tokens are issued with the access token and kept; the client
// stores them but never exchanges them.
constexpr qint64 kRefreshTtlSeconds = 7 * 24 * 3600;

// Compared against when the account does not exist, so that a wrong name
// costs as much time as a wrong password.
const QString &dummyHash()
{
    static const QString hash = Passwords::hash(QStringLiteral("no such account"));
    return hash;
}

// 429 before any hashing: a locked account or address costs the server nothing.
std::optional<Response> refusedByThrottle(ServerContext &ctx, const QString &account, const Request &request)
{
    if (!ctx.throttle)
        return std::nullopt;
    const SignInThrottle::Verdict v = ctx.throttle->check(account, request.clientAddress);
    if (!v.refused)
        return std::nullopt;
    Response r = Response::message(
        429, QStringLiteral("Too many failed sign-in attempts; try again in %1 seconds.").arg(v.retryAfterSeconds));
    r.extraHeaders.append({ "Retry-After", QByteArray::number(v.retryAfterSeconds) });
    return r;
}

Response wrongSecret(ServerContext &ctx, const QString &account, const Request &request, const QString &message)
{
    Response r = Response::message(401, message);
    if (ctx.throttle)
        r.delayMs = ctx.throttle->failed(account, request.clientAddress);
    return r;
}

QString appVersion(Database &db)
{
    return db.scalar(QStringLiteral("SELECT value FROM settings WHERE key = 'app_ver'")).toString();
}

Response customerAuth(ServerContext &ctx, const Request &request)
{
    const QJsonObject body = parseObjectBody(request.body);
    FieldReader in(body, FieldReader::Mode::Create);
    const auto custKey = in.string(QStringLiteral("cust_key"), true, 100);
    const auto secretKey = in.string(QStringLiteral("secret_key"), true, 200, false);
    in.string(QStringLiteral("mode"), false, 20);
    in.throwIfErrors();
    const QString account = QStringLiteral("customer ") + *custKey;
    if (auto refused = refusedByThrottle(ctx, account, request))
        return *refused;
    const QString invalid = QStringLiteral("Invalid customer key or secret key.");

    // read whole and closed: an open statement would keep SQLite's snapshot
    // through the slow check, and the write after it would fail once another
    // client had written in the meantime
    const QVariantList row =
        ctx.db.firstRow(QStringLiteral("SELECT cust_id, secret_hash, cust_name, addr_line, addr_city, state_name,"
                                       " postal_code, country_name, is_active FROM cust_accounts WHERE cust_key = ?"),
                        { *custKey });
    if (row.isEmpty()) {
        Passwords::verify(*secretKey, dummyHash());
        return wrongSecret(ctx, account, request, invalid);
    }
    const QString stored = row.at(1).toString();
    if (!Passwords::verify(*secretKey, stored))
        return wrongSecret(ctx, account, request, invalid);
    if (ctx.throttle)
        ctx.throttle->succeeded(account);
    if (row.at(8).toInt() == 0)
        throw HttpError(403, QStringLiteral("Customer account is not active."));

    const qint64 custId = row.at(0).toLongLong();
    if (Passwords::needsUpgrade(stored)) {
        ctx.db.exec(QStringLiteral("UPDATE cust_accounts SET secret_hash = ? WHERE cust_id = ?"),
                    { Passwords::hash(*secretKey), custId });
    }
    const QString token = Auth::issueToken(ctx, QString::fromLatin1(Auth::kCustomerToken), custId, ctx.tokenTtlSeconds);
    QJsonObject data {
        { QStringLiteral("app_ver"), appVersion(ctx.db) },
        { QStringLiteral("api_url"), ctx.baseUrl },
        { QStringLiteral("update_url"), ctx.baseUrl },
        { QStringLiteral("token"),
          QJsonObject { { QStringLiteral("access"), token },
                        { QStringLiteral("token_type"), QStringLiteral("Bearer") },
                        { QStringLiteral("expires_in"), ctx.tokenTtlSeconds } } },
        { QStringLiteral("cust_name"), row.at(2).toString() },
        { QStringLiteral("addr_line"), row.at(3).toString() },
        { QStringLiteral("addr_city"), row.at(4).toString() },
        { QStringLiteral("state_name"), row.at(5).toString() },
        { QStringLiteral("postal_code"), row.at(6).toString() },
        { QStringLiteral("country_name"), row.at(7).toString() },
    };
    return Response::data(200, data);
}

Response userLogin(ServerContext &ctx, const Request &request)
{
    const QJsonObject body = parseObjectBody(request.body);
    FieldReader in(body, FieldReader::Mode::Create);
    const auto email = in.string(QStringLiteral("username"), true, 150);
    const auto password = in.string(QStringLiteral("password"), true, 200, false);
    in.throwIfErrors();
    const QString account = QStringLiteral("user ") + *email;
    if (auto refused = refusedByThrottle(ctx, account, request))
        return *refused;

    // expired sessions go at sign-in, the one moment that writes anyway
    ctx.db.exec(QStringLiteral("DELETE FROM sessions WHERE expires_at <= ?"), { QDateTime::currentMSecsSinceEpoch() });

    // read whole and closed before the slow check (see customerAuth)
    const QVariantList user =
        ctx.db.firstRow(QStringLiteral("SELECT user_id, password_hash, user_fullname, lang_code, is_active, email"
                                       " FROM users WHERE lower(email) = lower(CAST(? AS TEXT))"),
                        { *email });
    const bool found = !user.isEmpty();
    const QString stored = found ? user.at(1).toString() : dummyHash();
    const bool passwordOk = Passwords::verify(*password, stored);
    // a disabled account is refused like a wrong password: nothing is disclosed
    if (!found || !passwordOk || user.at(4).toInt() == 0)
        return wrongSecret(ctx, account, request, QStringLiteral("Invalid email or password."));
    if (ctx.throttle)
        ctx.throttle->succeeded(account);

    const qint64 userId = user.at(0).toLongLong();
    // digests of fewer rounds than today's are replaced while the password is at hand
    if (Passwords::needsUpgrade(stored)) {
        ctx.db.exec(QStringLiteral("UPDATE users SET password_hash = ? WHERE user_id = ?"),
                    { Passwords::hash(*password), userId });
    }
    const QString access = Auth::issueToken(ctx, QString::fromLatin1(Auth::kUserToken), userId, ctx.tokenTtlSeconds);
    const QString refresh = Auth::issueToken(ctx, QString::fromLatin1(Auth::kRefreshToken), userId, kRefreshTtlSeconds);
    QJsonObject credentials {
        { QStringLiteral("token"),
          QJsonObject { { QStringLiteral("access"), access },
                        { QStringLiteral("refresh"), refresh },
                        { QStringLiteral("token_type"), QStringLiteral("Bearer") },
                        { QStringLiteral("expires_in"), ctx.tokenTtlSeconds } } },
        { QStringLiteral("lang_code"), user.at(3).toString() },
        { QStringLiteral("user_fullname"), user.at(2).toString() },
        { QStringLiteral("user_id"), userId },
        { QStringLiteral("email"), user.at(5).toString() },
    };
    return Response::json(200, QJsonObject { { QStringLiteral("response"), credentials } });
}

} // namespace

namespace Auth {

QString issueToken(ServerContext &ctx, const QString &kind, qint64 ownerId, qint64 ttlSeconds)
{
    const QString token = Passwords::newToken();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    ctx.db.exec(QStringLiteral("INSERT INTO sessions (token_hash, kind, owner_id, issued_at, expires_at)"
                               " VALUES (?, ?, ?, ?, ?)"),
                { Passwords::tokenDigest(token), kind, ownerId, now, now + ttlSeconds * 1000 });
    return token;
}

Principal authenticate(ServerContext &ctx, const Request &request, Access access)
{
    Principal who;
    if (access == Access::Public)
        return who;

    const QByteArray header = request.header("Authorization").trimmed();
    if (header.isEmpty())
        throw HttpError(401, QStringLiteral("Authorization bearer token is required."));
    // the scheme name is case-insensitive (RFC 7235)
    if (header.left(7).toLower() != "bearer " || header.mid(7).trimmed().isEmpty())
        throw HttpError(401, QStringLiteral("Authorization must be \"Bearer\" followed by a token."));
    const QString token = QString::fromLatin1(header.mid(7).trimmed());

    const QString kind = QString::fromLatin1(access == Access::Customer ? kCustomerToken : kUserToken);
    // every request passes here: statements kept prepared (firstRow)
    const QVariantList session =
        ctx.db.firstRow(QStringLiteral("SELECT owner_id, expires_at FROM sessions WHERE token_hash = ? AND kind = ?"),
                        { Passwords::tokenDigest(token), kind });
    if (session.isEmpty())
        throw HttpError(401, QStringLiteral("Invalid token."));
    if (session.at(1).toLongLong() <= QDateTime::currentMSecsSinceEpoch())
        throw HttpError(401, QStringLiteral("Token has expired, please sign in again."));
    who.id = session.at(0).toLongLong();

    if (access == Access::User) {
        const QVariantList u =
            ctx.db.firstRow(QStringLiteral("SELECT email, user_fullname, lang_code, role_id, is_active"
                                           " FROM users WHERE user_id = ?"),
                            { who.id });
        if (u.isEmpty() || u.at(4).toInt() == 0)
            throw HttpError(401, QStringLiteral("Invalid token."));
        who.email = u.at(0).toString();
        who.fullName = u.at(1).toString();
        who.langCode = u.at(2).toString();
        who.roleId = u.at(3).toLongLong();
    } else {
        const QVariantList c = ctx.db.firstRow(
            QStringLiteral("SELECT cust_name, is_active FROM cust_accounts WHERE cust_id = ?"), { who.id });
        if (c.isEmpty() || c.at(1).toInt() == 0)
            throw HttpError(401, QStringLiteral("Invalid token."));
        who.fullName = c.at(0).toString();
    }
    return who;
}

void authorize(ServerContext &ctx, const Principal &who, const QStringList &screens)
{
    if (screens.isEmpty())
        return;
    QString marks;
    QVariantList binds { who.roleId };
    for (const QString &screen : screens) {
        marks += marks.isEmpty() ? QStringLiteral("?") : QStringLiteral(", ?");
        binds << screen;
    }
    const QVariant allowed =
        ctx.db.scalar(QStringLiteral("SELECT 1 FROM role_menus rm JOIN menus m ON m.menu_id = rm.menu_id"
                                     " WHERE rm.role_id = ? AND m.form_class IN (")
                          + marks + QStringLiteral(")"),
                      binds);
    if (!allowed.isValid())
        throw HttpError(403, QStringLiteral("None of your menus opens this screen."));
}

} // namespace Auth

void registerAuthRoutes(Router &router, ServerContext &ctx)
{
    router
        .add("POST", QStringLiteral("/v1/cust-auth"), Access::Public,
             [&ctx](Request &r) { return customerAuth(ctx, r); })
        .heavy = true;
    router
        .add("POST", QStringLiteral("/auth/v1/login"), Access::Public, [&ctx](Request &r) { return userLogin(ctx, r); })
        .heavy = true;
}
