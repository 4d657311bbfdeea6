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
#include <QThread>
#include <optional>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/types.h>
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

struct Step
{
    QString source;
    QString target;
    QString relativeTarget;
    bool hadOld = false;
};

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
    return relativeTarget.compare(QLatin1String(RecordFileName), FileNameCase) == 0
        || relativeTarget.compare(staging.chopped(1), FileNameCase) == 0
        || relativeTarget.startsWith(staging, FileNameCase);
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

// Undoes whatever of the update is in place; best effort, in reverse.
void rollBack(const QList<Step> &swapped, const QList<Step> &prepared, const QStringList &createdFolders)
{
    for (qsizetype i = swapped.size() - 1; i >= 0; --i) {
        const Step &s = swapped.at(i);
        QFile::remove(s.target);
        if (s.hadOld)
            QFile::rename(s.target + OldSuffix, s.target);
    }
    for (const Step &s : prepared)
        QFile::remove(s.target + NewSuffix);
    for (qsizetype i = createdFolders.size() - 1; i >= 0; --i)
        QDir().rmdir(createdFolders.at(i));
}

} // namespace

Result apply(const QString &appFolder, const Options &options)
{
    const QString app = QDir::cleanPath(QDir(appFolder).absolutePath()) + QLatin1Char('/');
    const QString staging = app + QLatin1String(StagingFolderName);
    const QString manifestPath = staging + QLatin1String(ManifestFileName);
    const QString recordPath = app + QLatin1String(RecordFileName);

    if (!QFileInfo::exists(manifestPath)) {
        Result r;
        r.message = QStringLiteral("No complete update is staged in \"%1\".").arg(staging);
        return r;
    }

    // Given: the manifest of a complete staging and the record it belongs to
    QString error;
    const std::optional<QByteArray> manifestText = readFile(manifestPath, &error);
    if (!manifestText)
        return failed(error);
    const std::optional<Manifest> manifest = parseManifest(*manifestText, &error);
    if (!manifest)
        return failed(QStringLiteral("The staged update is damaged: ") + error);

    const std::optional<QByteArray> recordText = readFile(recordPath, &error);
    if (!recordText)
        return failed(error);
    QJsonParseError parseError;
    const QJsonDocument recordDoc = QJsonDocument::fromJson(*recordText, &parseError);
    if (parseError.error != QJsonParseError::NoError || !recordDoc.isObject())
        return failed(QStringLiteral("\"%1\" is not a JSON object.").arg(recordPath));
    QJsonObject record = recordDoc.object();
    if (!record.value(QLatin1String("app_ver_new")).isString() || !record.value(QLatin1String("files")).isArray())
        return failed(QStringLiteral("\"%1\" has no \"app_ver_new\" or no \"files\".").arg(recordPath));
    const QString appVerNew = record.value(QLatin1String("app_ver_new")).toString();
    if (appVerNew != manifest->appVerNew) {
        return failed(QStringLiteral("The staged update (build %1) does not belong to \"%2\" (build %3).")
                          .arg(manifest->appVerNew, recordPath, appVerNew));
    }

    // When: every pending entry is matched with its staged files
    QList<Step> steps;
    QHash<QString, QString> appliedVersions;
    QJsonArray files = record.value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : std::as_const(files)) {
        const QJsonObject entry = value.toObject();
        if (entry.value(QLatin1String("action")).toString() != QLatin1String("1"))
            continue;
        const QString fileId = entry.value(QLatin1String("file_id")).toString();
        const StagedEntry *staged = nullptr;
        for (const StagedEntry &candidate : manifest->entries) {
            if (candidate.fileId == fileId)
                staged = &candidate;
        }
        if (!entry.value(QLatin1String("file_id")).isString() || !staged)
            return failed(QStringLiteral("File \"%1\" of \"%2\" is not staged.").arg(fileId, recordPath));
        const std::optional<QString> path = safeRelativePath(staged->path);
        if (!path)
            return failed(QStringLiteral("File \"%1\": the path \"%2\" is not safe.").arg(fileId, staged->path));
        const QString prefix = path->isEmpty() ? QString() : *path + QLatin1Char('/');
        for (const QString &name : staged->files) {
            const std::optional<QString> relative = safeRelativePath(name);
            if (!relative || relative->isEmpty())
                return failed(QStringLiteral("File \"%1\": the name \"%2\" is not safe.").arg(fileId, name));
            Step step;
            step.relativeTarget = prefix + *relative;
            if (isReserved(step.relativeTarget))
                return failed(QStringLiteral("File \"%1\" may not replace \"%2\".").arg(fileId, step.relativeTarget));
            step.source = staging + prefix + QLatin1String("extract/") + *relative;
            step.target = app + step.relativeTarget;
            const QFileInfo source(step.source);
            if (source.isSymLink() || !source.isFile() || !staysInside(staging, step.source))
                return failed(QStringLiteral("File \"%1\": \"%2\" is missing from the staging.").arg(fileId, name));
            // a later entry of the same target wins, as it would when unpacking
            steps.removeIf([&](const Step &s) { return s.target.compare(step.target, FileNameCase) == 0; });
            steps << step;
        }
        appliedVersions.insert(fileId, staged->appVersion);
    }

    // copy aside: the new content goes beside each target
    QList<Step> prepared;
    QStringList createdFolders;
    for (Step &step : steps) {
        const QFileInfo target(step.target);
        step.hadOld = target.exists() || target.isSymLink();
        if (target.exists() && !target.isFile()) {
            rollBack({}, prepared, createdFolders);
            return failed(QStringLiteral("\"%1\" is in the way: it is not a file.").arg(step.relativeTarget));
        }
        const QStringList missing = missingFolders(target.path());
        if (!QDir().mkpath(target.path())) {
            createdFolders += missing;
            rollBack({}, prepared, createdFolders);
            return failed(QStringLiteral("Cannot create the folder of \"%1\".").arg(step.relativeTarget));
        }
        createdFolders += missing;
        const QString fresh = step.target + NewSuffix;
        QFile::remove(fresh);
        QFile source(step.source);
        if (!source.copy(fresh)) {
            rollBack({}, prepared, createdFolders);
            return failed(QStringLiteral("Cannot copy \"%1\": %2").arg(step.relativeTarget, source.errorString()));
        }
        prepared << step;
        // an installed program stays runnable whatever the archive said
        if (step.hadOld && target.exists())
            QFile::setPermissions(fresh, target.permissions() | QFile::permissions(fresh));
    }

    // swap: each target gives way to its new content
    QList<Step> swapped;
    for (const Step &step : std::as_const(steps)) {
        const QString old = step.target + OldSuffix;
        bool ok = !options.beforeSwap || options.beforeSwap(step.relativeTarget);
        if (ok && step.hadOld) {
            QFile::remove(old);
            ok = QFile::rename(step.target, old);
        }
        if (ok && !QFile::rename(step.target + NewSuffix, step.target)) {
            if (step.hadOld)
                QFile::rename(old, step.target);
            ok = false;
        }
        if (!ok) {
            rollBack(swapped, prepared, createdFolders);
            return failed(QStringLiteral("Cannot replace \"%1\"; the update was undone.").arg(step.relativeTarget));
        }
        swapped << step;
    }

    // Then: the record tells what is installed now
    for (QJsonValueRef value : files) {
        QJsonObject entry = value.toObject();
        const QString fileId = entry.value(QLatin1String("file_id")).toString();
        if (entry.value(QLatin1String("action")).toString() != QLatin1String("1") || !appliedVersions.contains(fileId))
            continue;
        entry.insert(QLatin1String("app_version"), appliedVersions.value(fileId));
        entry.insert(QLatin1String("action"), QStringLiteral("0"));
        value = entry;
    }
    record.insert(QLatin1String("app_ver"), appVerNew);
    record.insert(QLatin1String("app_update"), QStringLiteral("0"));
    record.insert(QLatin1String("files"), files);
    if (!writeAtomically(recordPath, format(record), &error)) {
        rollBack(swapped, prepared, createdFolders);
        return failed(error + QStringLiteral("; the update was undone."));
    }

    Result result;
    result.outcome = Result::Outcome::Applied;
    result.message = QStringLiteral("Build %1 applied.").arg(appVerNew);
    for (const Step &step : std::as_const(swapped)) {
        result.appliedFiles << step.relativeTarget;
        const QString old = step.target + OldSuffix;
        // a running program (the launcher itself on Windows) keeps its old file
        if (step.hadOld && QFileInfo::exists(old) && !QFile::remove(old))
            result.warnings << QStringLiteral("Cannot remove \"%1\".").arg(old);
    }
    if (!QDir(staging).removeRecursively())
        result.warnings << QStringLiteral("Cannot remove \"%1\" completely.").arg(staging);
    return result;
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
