#pragma once

#include <QByteArray>
#include <QString>

// Secrets (user passwords, customer secret keys) are kept as salted
// PBKDF2-SHA256 digests: "pbkdf2-sha256$ITERATIONS$SALT$DIGEST", base64.
namespace Passwords {

// OWASP's figure for PBKDF2-HMAC-SHA256 (2023).
inline constexpr int kDefaultIterations = 600000;

// Rounds of new digests for this process (--password-rounds).
void setIterations(int iterations);
int iterations();

QString hash(const QString &secret);
bool verify(const QString &secret, const QString &stored);
// True when a stored digest has fewer rounds than new ones get: it is
// replaced at the next successful sign-in.
bool needsUpgrade(const QString &stored);

// A fresh random bearer token (256 bits, base64url) and the digest under
// which the sessions table keeps it.
QString newToken();
QString tokenDigest(const QString &token);

} // namespace Passwords
