#pragma once

#include <QByteArray>
#include <QString>

// Secrets (user passwords, customer secret keys) are kept as salted
// PBKDF2-SHA256 digests: "pbkdf2-sha256$ITERATIONS$SALT$DIGEST", base64.
namespace Passwords {

QString hash(const QString &secret);
bool verify(const QString &secret, const QString &stored);

// A fresh random bearer token (256 bits, base64url) and the digest under
// which the sessions table keeps it.
QString newToken();
QString tokenDigest(const QString &token);

} // namespace Passwords
