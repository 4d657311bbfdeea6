#include "Passwords.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QStringList>

#include <atomic>

#include <openssl/evp.h>

namespace {

constexpr int kDigestLength = 32;
std::atomic<int> g_iterations { Passwords::kDefaultIterations };

int storedIterations(const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String("pbkdf2-sha256"))
        return 0;
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    return ok ? iterations : 0;
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    auto *gen = QRandomGenerator::system();
    for (int i = 0; i < count; ++i)
        bytes[i] = char(gen->bounded(256));
    return bytes;
}

// OpenSSL's PBKDF2: about five times faster than QPasswordDigestor, which at
// 600,000 rounds is the difference between a 0.2 s and a 1 s sign-in.
QByteArray derive(const QString &secret, const QByteArray &salt, int iterations)
{
    const QByteArray utf8 = secret.toUtf8();
    QByteArray out(kDigestLength, Qt::Uninitialized);
    if (PKCS5_PBKDF2_HMAC(utf8.constData(), int(utf8.size()), reinterpret_cast<const unsigned char *>(salt.constData()),
                          int(salt.size()), iterations, EVP_sha256(), kDigestLength,
                          reinterpret_cast<unsigned char *>(out.data()))
        != 1) {
        // never matches a stored digest
        return {};
    }
    return out;
}

bool equalTimeSafe(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

namespace Passwords {

void setIterations(int iterations)
{
    g_iterations = iterations;
}

int iterations()
{
    return g_iterations;
}

QString hash(const QString &secret)
{
    const QByteArray salt = randomBytes(16);
    const int rounds = g_iterations;
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(rounds)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(derive(secret, salt, rounds).toBase64()));
}

bool needsUpgrade(const QString &stored)
{
    return storedIterations(stored) < g_iterations;
}

bool verify(const QString &secret, const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String("pbkdf2-sha256"))
        return false;
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    if (!ok || iterations < 1 || iterations > 10000000)
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts.at(2).toLatin1());
    const QByteArray expected = QByteArray::fromBase64(parts.at(3).toLatin1());
    return equalTimeSafe(derive(secret, salt, iterations), expected);
}

QString newToken()
{
    return QString::fromLatin1(
        randomBytes(32).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString tokenDigest(const QString &token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

} // namespace Passwords
