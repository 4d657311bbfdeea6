#include "StagedUpdate.h"

#include "UpdateRecord.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QThread>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace StagedUpdate {

namespace {

using namespace UpdateRecord;

const QLatin1String NewSuffix(".zelt-new");
const QLatin1String OldSuffix(".zelt-old");

#ifdef Q_OS_WIN
const Qt::CaseSensitivity FileNameCase = Qt::CaseInsensitive;
#else
const Qt::CaseSensitivity FileNameCase = Qt::CaseSensitive;
#endif

// ------------------------------------------------------- file-system steps

struct Hooks
{
    int killAt = 0;
    QString trace;
    int count = 0;
};

Hooks &hooks()
{
    static Hooks h = [] {
        Hooks init;
        init.killAt = qEnvironmentVariableIntValue("ZELT_LAUNCHER_KILL_AT");
        init.trace = qEnvironmentVariable("ZELT_LAUNCHER_TRACE");
        return init;
    }();
    return h;
}

// Called right before each operation that changes the file system, so that
// the crash tests can stop the process at every one of them.
void operation(const char *what, const QString &path)
{
    Hooks &h = hooks();
    ++h.count;
    if (!h.trace.isEmpty()) {
        QFile trace(h.trace);
        if (trace.open(QIODevice::Append))
            trace.write(QByteArray::number(h.count) + ' ' + what + ' ' + path.toUtf8() + '\n');
    }
    if (h.count == h.killAt) {
#ifdef Q_OS_WIN
        TerminateProcess(GetCurrentProcess(), 9);
#else
        ::raise(SIGKILL);
#endif
    }
}

// A file or a link, even a dangling one.
bool present(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool flushFile(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return FlushFileBuffers(HANDLE(_get_osfhandle(file.handle())));
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Makes the renames and removals inside folder durable.
bool flushFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    // folders cannot be flushed there; renames are written through instead
    Q_UNUSED(folder);
    return true;
#else
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}

// Replaces to in one step when it exists.
bool renameOver(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

// ------------------------------------------------------------------ journal

struct Step
{
    QString target; // relative to the application folder, as the journal keeps them
    QString backup;
    QString fresh;
    bool hadOld = false;
    QString source; // absolute, in the staging; only while applying
};

struct Journal
{
    QString appVerNew;
    QByteArray record; // the new "updates.json", byte for byte
    QList<Step> steps;
    QStringList folders; // created by the apply, outermost first
};

QByteArray formatJournal(const Journal &journal)
{
    QJsonArray steps;
    for (const Step &s : journal.steps) {
        steps.append(QJsonObject { { QStringLiteral("target"), s.target },
                                   { QStringLiteral("backup"), s.backup },
                                   { QStringLiteral("new"), s.fresh },
                                   { QStringLiteral("had_old"), s.hadOld } });
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("app_ver_new"), journal.appVerNew },
                                       { QStringLiteral("record"), QString::fromUtf8(journal.record) },
                                       { QStringLiteral("folders"), QJsonArray::fromStringList(journal.folders) },
                                       { QStringLiteral("steps"), steps } })
        .toJson(QJsonDocument::Indented);
}

// Paths of a journal must stay what they were when it was written: plain,
// relative, inside the application folder.
bool plainRelative(const QJsonValue &value, QString *out)
{
    if (!value.isString())
        return false;
    const std::optional<QString> safe = safeRelativePath(value.toString());
    if (!safe || safe->isEmpty() || *safe != value.toString())
        return false;
    *out = *safe;
    return true;
}

std::optional<Journal> parseJournal(const QByteArray &text)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    Journal journal;
    if (!root.value(QLatin1String("app_ver_new")).isString() || !root.value(QLatin1String("record")).isString()
        || !root.value(QLatin1String("folders")).isArray() || !root.value(QLatin1String("steps")).isArray())
        return std::nullopt;
    journal.appVerNew = root.value(QLatin1String("app_ver_new")).toString();
    journal.record = root.value(QLatin1String("record")).toString().toUtf8();
    const QJsonArray folders = root.value(QLatin1String("folders")).toArray();
    for (const QJsonValue &value : folders) {
        QString folder;
        if (!plainRelative(value, &folder))
            return std::nullopt;
        journal.folders << folder;
    }
    const QJsonArray steps = root.value(QLatin1String("steps")).toArray();
    for (const QJsonValue &value : steps) {
        const QJsonObject object = value.toObject();
        Step step;
        if (!plainRelative(object.value(QLatin1String("target")), &step.target)
            || !plainRelative(object.value(QLatin1String("backup")), &step.backup)
            || !plainRelative(object.value(QLatin1String("new")), &step.fresh)
            || !object.value(QLatin1String("had_old")).isBool())
            return std::nullopt;
        step.hadOld = object.value(QLatin1String("had_old")).toBool();
        journal.steps << step;
    }
    return journal;
}

Result failed(const QString &message)
{
    Result r;
    r.outcome = Result::Outcome::Failed;
    r.message = message;
    return r;
}

std::optional<QByteArray> readFile(const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

// The application's own bookkeeping is never a target of an update.
bool isReserved(const QString &relativeTarget)
{
    const QString staging = QString::fromLatin1(StagingFolderName);
    for (const char *name : { RecordFileName, LockFileName, NoteFileName }) {
        if (relativeTarget.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return relativeTarget.compare(staging.chopped(1), Qt::CaseInsensitive) == 0
        || relativeTarget.startsWith(staging, Qt::CaseInsensitive)
        || relativeTarget.endsWith(NewSuffix, Qt::CaseInsensitive)
        || relativeTarget.endsWith(OldSuffix, Qt::CaseInsensitive);
}

// The folders mkpath would create for path, outermost first.
QStringList missingFolders(const QString &path)
{
    QStringList missing;
    QString folder = QDir::cleanPath(path);
    while (!QFileInfo::exists(folder)) {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return missing;
}

struct Paths
{
    explicit Paths(const QString &appFolder)
        : app(QDir::cleanPath(QDir(appFolder).absolutePath()) + QLatin1Char('/'))
        , staging(app + QLatin1String(StagingFolderName))
        , manifest(staging + QLatin1String(ManifestFileName))
        , journal(staging + QLatin1String(JournalFileName))
        , record(app + QLatin1String(RecordFileName))
    { }
    QString app;
    QString staging;
    QString manifest;
    QString journal;
    QString record;
};

// The folders whose entries an apply changes, deepest first.
QStringList touchedFolders(const Paths &paths, const Journal &journal)
{
    QStringList folders;
    for (const Step &s : journal.steps) {
        const QString folder = QFileInfo(paths.app + s.target).path();
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const QString &f : journal.folders) {
        const QString parent = QFileInfo(paths.app + f).path();
        if (!folders.contains(parent))
            folders << parent;
    }
    if (!folders.contains(QDir::cleanPath(paths.app)))
        folders << QDir::cleanPath(paths.app);
    std::sort(folders.begin(), folders.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return folders;
}

bool flushFolders(const QStringList &folders)
{
    bool ok = true;
    for (const QString &f : folders) {
        if (QFileInfo(f).isDir())
            ok = flushFolder(f) && ok;
    }
    return ok;
}

// Puts every backup back and removes what the apply added, in reverse;
// the journal goes last, once all of it succeeded.
bool rollBack(const Paths &paths, const Journal &journal, QString *error)
{
    QStringList problems;
    for (qsizetype i = journal.steps.size() - 1; i >= 0; --i) {
        const Step &s = journal.steps.at(i);
        const QString target = paths.app + s.target;
        const QString backup = paths.app + s.backup;
        const QString fresh = paths.app + s.fresh;
        if (present(fresh)) {
            operation("remove", fresh);
            if (!QFile::remove(fresh))
                problems << QStringLiteral("cannot remove \"%1\"").arg(s.fresh);
        }
        if (s.hadOld) {
            if (present(backup)) {
                operation("rename", backup);
                if (!renameOver(backup, target))
                    problems << QStringLiteral("cannot put \"%1\" back").arg(s.target);
            }
        } else if (present(target)) {
            operation("remove", target);
            if (!QFile::remove(target))
                problems << QStringLiteral("cannot remove \"%1\"").arg(s.target);
        }
    }
    for (qsizetype i = journal.folders.size() - 1; i >= 0; --i) {
        const QString folder = paths.app + journal.folders.at(i);
        if (QFileInfo(folder).isDir()
            && QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            operation("remove folder", folder);
            QDir().rmdir(folder);
        }
    }
    if (!flushFolders(touchedFolders(paths, journal)))
        problems << QStringLiteral("cannot flush the application folder");
    if (!problems.isEmpty()) {
        *error = problems.join(QStringLiteral("; "));
        return false;
    }
    operation("remove journal", paths.journal);
    if (!QFile::remove(paths.journal) || !flushFolder(paths.staging)) {
        *error = QStringLiteral("cannot remove \"%1\"").arg(paths.journal);
        return false;
    }
    return true;
}

// The new record is on disk: the backups, the manifest, the journal and the
// rest of the staging go, in that order.
Result finishCommitted(const Paths &paths, const Journal &journal, const QString &message)
{
    Result result;
    result.outcome = Result::Outcome::Applied;
    result.message = message;
    for (const Step &s : journal.steps) {
        result.appliedFiles << s.target;
        const QString backup = paths.app + s.backup;
        if (present(backup)) {
            operation("remove", backup);
            // a running program (the launcher itself on Windows) keeps its old file
            if (!QFile::remove(backup))
                result.warnings << QStringLiteral("Cannot remove \"%1\".").arg(backup);
        }
    }
    flushFolders(touchedFolders(paths, journal));
    if (present(paths.manifest)) {
        operation("remove manifest", paths.manifest);
        QFile::remove(paths.manifest);
        flushFolder(paths.staging);
    }
    // the journal goes last: until then a restart finishes this again
    const QFileInfoList rest =
        QDir(paths.staging).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : rest) {
        if (entry.absoluteFilePath() == QFileInfo(paths.journal).absoluteFilePath())
            continue;
        operation("remove staged", entry.absoluteFilePath());
        const bool removed = entry.isDir() && !entry.isSymLink() ? QDir(entry.absoluteFilePath()).removeRecursively()
                                                                 : QFile::remove(entry.absoluteFilePath());
        if (!removed)
            result.warnings << QStringLiteral("Cannot remove \"%1\".").arg(entry.absoluteFilePath());
    }
    operation("remove journal", paths.journal);
    if (!QFile::remove(paths.journal))
        result.warnings << QStringLiteral("Cannot remove \"%1\".").arg(paths.journal);
    flushFolder(paths.staging);
    operation("remove staging", paths.staging);
    // an empty staging folder left by a crash here is harmless: nothing to apply
    if (!QDir().rmdir(paths.staging))
        result.warnings << QStringLiteral("Cannot remove \"%1\" completely.").arg(paths.staging);
    return result;
}

bool writeRecord(const Paths &paths, const Journal &journal, QString *error)
{
    // every rename is durable before the record says so
    if (!flushFolders(touchedFolders(paths, journal))) {
        *error = QStringLiteral("Cannot flush the application folder.");
        return false;
    }
    operation("write record", paths.record);
    if (!writeAtomically(paths.record, journal.record, error))
        return false;
    // committed: from here on the update can only be finished
    flushFolder(paths.app);
    return true;
}

// Copies source to fresh and flushes it; two operations, so that a crash
// can leave an empty or a partial file.
bool copyFlushed(const Step &step, const QString &fresh, const QString &target, QString *error)
{
    QFile in(step.source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    operation("create", fresh);
    QFile out(fresh);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = out.errorString();
        return false;
    }
    operation("write", fresh);
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(qint64(256) * 1024);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            *error = in.errorString();
            return false;
        }
        if (out.write(chunk) != chunk.size()) {
            *error = out.errorString();
            return false;
        }
    }
    // an installed program stays runnable whatever the archive said
    QFile::Permissions permissions = in.permissions();
    if (step.hadOld && QFileInfo::exists(target))
        permissions |= QFile::permissions(target);
    out.setPermissions(permissions);
    if (!flushFile(out)) {
        *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace

int operationCount()
{
    return hooks().count;
}

Result recover(const QString &appFolder)
{
    const Paths paths(appFolder);
    if (!present(paths.journal)) {
        Result r;
        r.message = QStringLiteral("No interrupted update to recover.");
        return r;
    }
    QString error;
    const std::optional<QByteArray> text = readFile(paths.journal, &error);
    if (!text)
        return failed(error);
    const std::optional<Journal> journal = parseJournal(*text);
    if (!journal)
        return failed(QStringLiteral("\"%1\" is damaged; nothing was changed.").arg(paths.journal));

    const std::optional<QByteArray> record = readFile(paths.record, &error);
    bool committed = record && *record == journal->record;
    if (!committed) {
        bool inPlace = true;
        for (const Step &s : journal->steps) {
            inPlace = inPlace && !present(paths.app + s.fresh) && QFileInfo(paths.app + s.target).isFile()
                && (!s.hadOld || present(paths.app + s.backup));
        }
        if (inPlace) {
            if (!writeRecord(paths, *journal, &error))
                return failed(error);
            committed = true;
        } else {
            if (!rollBack(paths, *journal, &error))
                return failed(QStringLiteral("The interrupted update could not be undone: ") + error);
            Result r;
            r.outcome = Result::Outcome::RolledBack;
            r.message = QStringLiteral("The interrupted update to build %1 was undone.").arg(journal->appVerNew);
            return r;
        }
    }
    return finishCommitted(paths, *journal,
                           QStringLiteral("The interrupted update to build %1 was completed.").arg(journal->appVerNew));
}

Result apply(const QString &appFolder, const Options &options)
{
    const Paths paths(appFolder);
    const QString &app = paths.app;
    const QString &staging = paths.staging;

    if (present(paths.journal)) {
        const Result recovered = recover(appFolder);
        if (recovered.outcome == Result::Outcome::Failed)
            return recovered;
    }
    if (!QFileInfo::exists(paths.manifest)) {
        Result r;
        r.message = QStringLiteral("No complete update is staged in \"%1\".").arg(staging);
        return r;
    }

    // Given: the manifest of a complete staging and the record it belongs to
    QString error;
    const std::optional<QByteArray> manifestText = readFile(paths.manifest, &error);
    if (!manifestText)
        return failed(error);
    const std::optional<Manifest> manifest = parseManifest(*manifestText, &error);
    if (!manifest)
        return failed(QStringLiteral("The staged update is damaged: ") + error);

    const std::optional<QByteArray> recordText = readFile(paths.record, &error);
    if (!recordText)
        return failed(error);
    QJsonParseError parseError;
    const QJsonDocument recordDoc = QJsonDocument::fromJson(*recordText, &parseError);
    if (parseError.error != QJsonParseError::NoError || !recordDoc.isObject())
        return failed(QStringLiteral("\"%1\" is not a JSON object.").arg(paths.record));
    QJsonObject record = recordDoc.object();
    if (!record.value(QLatin1String("app_ver_new")).isString() || !record.value(QLatin1String("files")).isArray())
        return failed(QStringLiteral("\"%1\" has no \"app_ver_new\" or no \"files\".").arg(paths.record));
    const QString appVerNew = storedString(record, QLatin1String("app_ver_new"));
    if (appVerNew != manifest->appVerNew) {
        return failed(QStringLiteral("The staged update (build %1) does not belong to \"%2\" (build %3).")
                          .arg(manifest->appVerNew, paths.record, appVerNew));
    }

    // When: every pending entry is matched with its staged files
    QList<Step> steps;
    QHash<QString, QString> appliedVersions;
    QJsonArray files = record.value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : std::as_const(files)) {
        const QJsonObject entry = value.toObject();
        if (storedString(entry, QLatin1String("action")) != QLatin1String("1"))
            continue;
        const QString fileId = storedString(entry, QLatin1String("file_id"));
        const StagedEntry *staged = nullptr;
        for (const StagedEntry &candidate : manifest->entries) {
            if (candidate.fileId == fileId)
                staged = &candidate;
        }
        if (!entry.value(QLatin1String("file_id")).isString() || !staged)
            return failed(QStringLiteral("File \"%1\" of \"%2\" is not staged.").arg(fileId, paths.record));
        if (staged->files.isEmpty())
            return failed(QStringLiteral("File \"%1\": its archive holds no files; nothing was applied.").arg(fileId));
        const std::optional<QString> path = safeRelativePath(staged->path);
        if (!path)
            return failed(QStringLiteral("File \"%1\": the path \"%2\" is not safe.").arg(fileId, staged->path));
        const QString prefix = path->isEmpty() ? QString() : *path + QLatin1Char('/');
        for (const QString &name : staged->files) {
            const std::optional<QString> relative = safeRelativePath(name);
            if (!relative || relative->isEmpty())
                return failed(QStringLiteral("File \"%1\": the name \"%2\" is not safe.").arg(fileId, name));
            Step step;
            step.target = prefix + *relative;
            if (isReserved(step.target))
                return failed(QStringLiteral("File \"%1\" may not replace \"%2\".").arg(fileId, step.target));
            if (const QString reason = windowsAliasReason(step.target); !reason.isEmpty()) {
                return failed(QStringLiteral("File \"%1\": \"%2\" cannot be installed safely: %3.")
                                  .arg(fileId, step.target, reason));
            }
            step.backup = step.target + OldSuffix;
            step.fresh = step.target + NewSuffix;
            step.source = staging + prefix + QLatin1String("extract/") + *relative;
            const QFileInfo source(step.source);
            if (source.isSymLink() || !source.isFile() || !staysInside(staging, step.source))
                return failed(QStringLiteral("File \"%1\": \"%2\" is missing from the staging.").arg(fileId, name));
            if (!staysInside(app, app + step.target))
                return failed(QStringLiteral("File \"%1\" may not replace \"%2\".").arg(fileId, step.target));
            // a later entry of the same target wins, as it would when unpacking
            steps.removeIf([&](const Step &s) { return s.target.compare(step.target, FileNameCase) == 0; });
            // names that differ in case only would be one file on Windows
            for (const Step &s : std::as_const(steps)) {
                if (s.target.compare(step.target, Qt::CaseInsensitive) == 0) {
                    return failed(QStringLiteral("File \"%1\": \"%2\" and \"%3\" would be one file on Windows.")
                                      .arg(fileId, s.target, step.target));
                }
            }
            steps << step;
        }
        appliedVersions.insert(fileId, staged->appVersion);
    }

    // the record as it will read once everything is in place
    for (QJsonValueRef value : files) {
        QJsonObject entry = value.toObject();
        const QString fileId = storedString(entry, QLatin1String("file_id"));
        if (storedString(entry, QLatin1String("action")) != QLatin1String("1") || !appliedVersions.contains(fileId))
            continue;
        entry.insert(QLatin1String("app_version"), appliedVersions.value(fileId));
        entry.insert(QLatin1String("action"), QStringLiteral("0"));
        value = entry;
    }
    record.insert(QLatin1String("app_ver"), appVerNew);
    record.insert(QLatin1String("app_update"), QStringLiteral("0"));
    record.insert(QLatin1String("files"), files);

    Journal journal;
    journal.appVerNew = appVerNew;
    journal.record = format(record);
    for (Step &step : steps) {
        const QFileInfo target(app + step.target);
        step.hadOld = present(target.filePath());
        if (target.exists() && !target.isFile())
            return failed(QStringLiteral("\"%1\" is in the way: it is not a file.").arg(step.target));
        for (const QString &folder : missingFolders(target.path())) {
            const QString relative = QDir(app).relativeFilePath(folder);
            if (!journal.folders.contains(relative))
                journal.folders << relative;
        }
    }
    journal.steps = steps;

    // leftovers of an apply that never wrote its journal are nobody's backups
    for (const Step &step : std::as_const(steps)) {
        for (const QString &leftover : QStringList { app + step.fresh, app + step.backup }) {
            if (present(leftover)) {
                operation("remove", leftover);
                if (!QFile::remove(leftover))
                    return failed(QStringLiteral("Cannot remove \"%1\".").arg(leftover));
            }
        }
    }

    // nothing of the installation changes before the journal is on disk
    operation("write journal", paths.journal);
    if (!writeAtomically(paths.journal, formatJournal(journal), &error) || !flushFolder(staging))
        return failed(error.isEmpty() ? QStringLiteral("Cannot flush \"%1\".").arg(staging) : error);

    const auto undo = [&](const QString &message) {
        QString rollBackError;
        if (!rollBack(paths, journal, &rollBackError))
            return failed(message + QStringLiteral("; undoing it failed too (") + rollBackError
                          + QStringLiteral("); start ZeltERP again to undo it."));
        return failed(message + QStringLiteral("; the update was undone."));
    };

    for (const QString &folder : std::as_const(journal.folders)) {
        operation("create folder", app + folder);
        if (!QDir().mkdir(app + folder))
            return undo(QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
    }

    // copy aside: the new content goes beside each target, flushed
    for (const Step &step : std::as_const(steps)) {
        if (!copyFlushed(step, app + step.fresh, app + step.target, &error))
            return undo(QStringLiteral("Cannot copy \"%1\": %2").arg(step.target, error));
    }
    if (!flushFolders(touchedFolders(paths, journal)))
        return undo(QStringLiteral("Cannot flush the application folder"));

    // swap: each target gives way to its new content
    for (const Step &step : std::as_const(steps)) {
        bool ok = !options.beforeSwap || options.beforeSwap(step.target);
        if (ok && step.hadOld) {
            operation("rename", app + step.target);
            ok = renameOver(app + step.target, app + step.backup);
        }
        if (ok) {
            operation("rename", app + step.fresh);
            ok = renameOver(app + step.fresh, app + step.target);
        }
        if (!ok)
            return undo(QStringLiteral("Cannot replace \"%1\"").arg(step.target));
    }

    // Then: the record tells what is installed now
    if (!writeRecord(paths, journal, &error))
        return undo(error);
    return finishCommitted(paths, journal, QStringLiteral("Build %1 applied.").arg(appVerNew));
}

bool waitForProcessExit(qint64 pid, int timeoutMs)
{
    if (pid <= 0)
        return true;
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() != ERROR_ACCESS_DENIED;
    const DWORD waited = WaitForSingleObject(process, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    CloseHandle(process);
    return waited == WAIT_OBJECT_0;
#else
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs));
    for (;;) {
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            return true;
        // ended, but its parent has not collected it yet
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            const qsizetype close = text.lastIndexOf(')');
            if (close >= 0 && text.mid(close + 2, 1) == "Z")
                return true;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
#endif
}

} // namespace StagedUpdate
