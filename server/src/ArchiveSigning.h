#pragma once

#include <QByteArray>
#include <QString>

// Ed25519 signatures of the update archives zelt-server serves. The key pair
// lives beside an SQLite database: "<db>.update-key" (secret key, base64,
// owner only) and "<db>.update-key.pub" (public key, base64: what a client's
// app.conf names in [Update] PublicKey); with PostgreSQL, as "update-key" in
// the update files' folder. Created on first start.
namespace ArchiveSigning {

// Loads the key pair, creating it when there is none. False with the reason.
bool init(const QString &keyFile, QString *error);
// The public key as base64; empty before init.
QString publicKey();
// The base64 signature of "ZeltERP update archive\n" + fileId + "\n" + path +
// "\n" + filename + "\n" + archive; empty before init.
QString sign(const QString &fileId, const QString &path, const QString &filename, const QByteArray &archive);

} // namespace ArchiveSigning
