#include "ArchiveSigning.h"

#include <QFile>
#include <QFileDevice>
#include <QSaveFile>

#include <sodium.h>

namespace ArchiveSigning {

namespace {

QByteArray secretKey; // crypto_sign_SECRETKEYBYTES when loaded
QByteArray publicKeyBytes;

bool writeKey(const QString &path, const QByteArray &key, QFileDevice::Permissions permissions, QString *error)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(key.toBase64() + '\n') < 0 || !out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
        return false;
    }
    QFile::setPermissions(path, permissions);
    return true;
}

} // namespace

bool init(const QString &keyFile, QString *error)
{
    if (sodium_init() < 0) {
        *error = QStringLiteral("libsodium cannot start");
        return false;
    }
    QFile in(keyFile);
    if (in.open(QIODevice::ReadOnly)) {
        const QByteArray key = QByteArray::fromBase64(in.readAll().trimmed());
        if (key.size() != crypto_sign_SECRETKEYBYTES) {
            *error = QStringLiteral("%1 is not an update signing key").arg(keyFile);
            return false;
        }
        secretKey = key;
        QByteArray pub(crypto_sign_PUBLICKEYBYTES, '\0');
        crypto_sign_ed25519_sk_to_pk(reinterpret_cast<unsigned char *>(pub.data()),
                                     reinterpret_cast<const unsigned char *>(key.constData()));
        publicKeyBytes = pub;
    } else {
        QByteArray pub(crypto_sign_PUBLICKEYBYTES, '\0');
        QByteArray sec(crypto_sign_SECRETKEYBYTES, '\0');
        crypto_sign_keypair(reinterpret_cast<unsigned char *>(pub.data()),
                            reinterpret_cast<unsigned char *>(sec.data()));
        if (!writeKey(keyFile, sec, QFileDevice::ReadOwner | QFileDevice::WriteOwner, error))
            return false;
        secretKey = sec;
        publicKeyBytes = pub;
    }
    // rewritten each start, so it always matches the secret key
    return writeKey(keyFile + QStringLiteral(".pub"), publicKeyBytes,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther,
                    error);
}

QString publicKey()
{
    return QString::fromLatin1(publicKeyBytes.toBase64());
}

QString sign(const QString &fileId, const QString &path, const QString &filename, const QByteArray &archive)
{
    if (secretKey.size() != crypto_sign_SECRETKEYBYTES)
        return QString();
    const QByteArray message =
        "ZeltERP update archive\n" + fileId.toUtf8() + '\n' + path.toUtf8() + '\n' + filename.toUtf8() + '\n' + archive;
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(message.constData()), quint64(message.size()),
                         reinterpret_cast<const unsigned char *>(secretKey.constData()));
    return QString::fromLatin1(signature.toBase64());
}

} // namespace ArchiveSigning
