#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What the client and the launcher agree on: the record "updates.json", the
// staging folder "updates/" under the application folder and the manifest
// that marks a staging as complete. Both programs build this code in, so
// neither depends on the other's binaries (the launcher replaces the
// client's libraries).
namespace UpdateRecord {

inline constexpr char RecordFileName[] = "updates.json";
inline constexpr char StagingFolderName[] = "updates/";
// Written into the staging folder once every file of an update has been
// downloaded and unpacked; without it the launcher applies nothing.
inline constexpr char ManifestFileName[] = "staged.json";
// In the staging folder while the launcher replaces files: every step of the
// apply, so that an interrupted one can be finished or undone.
inline constexpr char JournalFileName[] = "journal.json";
// In the application folder: held by the launcher while it applies or
// recovers, and by a client while it checks and stages an update; a client
// that starts meanwhile waits for it.
inline constexpr char LockFileName[] = "ZeltLauncher.lock";
// In the application folder: what the launcher could not do, for the client
// to tell the user on its next start.
inline constexpr char NoteFileName[] = "ZeltLauncher.note";

// A path given by the server or found in an archive, made relative and
// '/'-separated: '\' separates as '/' does and repeated separators collapse.
// Refused (nullopt): absolute paths, UNC names, drive letters or any ':',
// control characters, and segments of dots and blanks only ("..", ". .").
// An empty text, or one of separators only, gives an empty path.
std::optional<QString> safeRelativePath(const QString &path);
// Why Windows would not store path (relative, '/'-separated) under its own
// name, or an empty text when it would. Checked on every platform, because
// an installation may be copied there: device names (CON, NUL, AUX, PRN,
// COM0-9, LPT0-9, CONIN$, CONOUT$, with any extension), segments ending in a
// dot or a blank, characters Windows refuses (<>:"|?*) and "~digit", which
// may be the short name of another file.
QString windowsAliasReason(const QString &path);
// One plain file-name segment, such as a file id: what safeRelativePath
// accepts, not empty and without any separator.
bool isSafeName(const QString &name);
// True when path, once the links of its existing part are resolved, lies
// inside root (root itself excluded). Both must be absolute.
bool staysInside(const QString &root, const QString &path);

// JSON text with an indentation of 4 blanks in which the members of every
// object come in the record's order (app_ver, app_ver_new, app_update,
// files, file_id, filename, path, app_version, action, ...), members of
// other names after them by name. Ends with a line break.
QByteArray format(const QJsonObject &object);
// The text of member name of object as it was read, or an empty text. Qt
// gives a text read as raw UTF-8 back without its leading U+FEFF (taken for
// a byte-order mark), so "\ufeff2" would pass for "2"; only the object
// still holds the bytes. Every text the launcher compares is read this way.
QString storedString(const QJsonObject &object, QLatin1String name);
// Replaces fileName with text in one step: a crash leaves the old file or
// the new one, never a part. False with the reason in error on failure.
bool writeAtomically(const QString &fileName, const QByteArray &text, QString *error);

// One downloaded and unpacked file of the update list. The staged files are
// relative to the entry's unpack root, staging folder + path + "extract/",
// and go to application folder + path + the same relative name.
struct StagedEntry
{
    QString fileId;
    QString path; // as safeRelativePath gave it, with a trailing '/' unless empty
    QString filename;
    QString appVersion; // the server's version of the file, recorded once applied
    QStringList files;
};

struct Manifest
{
    QString appVerNew;
    QList<StagedEntry> entries;
};

QByteArray formatManifest(const Manifest &manifest);
// Strict: any missing member or wrong kind gives nullopt with the reason.
std::optional<Manifest> parseManifest(const QByteArray &text, QString *error);

} // namespace UpdateRecord
