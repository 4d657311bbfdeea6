#include "UpdaterU.h"

#include "AppPaths.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "HttpClient.h"
#include "IniFile.h"
#include "Json.h"
#include "DialogPresenter.h"
#include "ProcessLauncher.h"
#include "UpdateRecord.h"
#include "ZeltRestClientU.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <sodium.h>

namespace {

const QString AppFilesResource = QStringLiteral("/v1/app-files");
const QString DownloadResource = QStringLiteral("/v1/download/");
const QString CaptionDownloading = QStringLiteral("Downloading Updates..");
const QString CaptionApplying = QStringLiteral("Applying and restart.");
const QString DownloadFailedText =
    QStringLiteral("The update could not be downloaded. The installed version has not been changed.");
const QString LauncherBusyText = QStringLiteral("Another ZeltERP is updating this installation. Nothing has "
                                                "been changed; try again once it has finished.");
const QString InterruptedText = QStringLiteral("An interrupted update has not been finished yet. Start ZeltERP again "
                                               "to finish it; the installed version has not been changed.");
const QString LauncherFailedText =
    QStringLiteral("ZeltLauncher could not be started. The installed version has not been changed.");
constexpr int UpdaterTimeOut = 10000;
constexpr int ProgressIntervalMs = 100;
// hops of one download across servers
constexpr int MaxRedirects = 5;

const QLatin1String AppVerKey("app_ver");
const QLatin1String AppVerNewKey("app_ver_new");
const QLatin1String AppUpdateKey("app_update");
const QLatin1String FilesKey("files");
const QLatin1String FileIdKey("file_id");
const QLatin1String FilenameKey("filename");
const QLatin1String PathKey("path");
const QLatin1String AppVersionKey("app_version");
const QLatin1String ActionKey("action");
const QLatin1String SignatureKey("signature");

// Server text inside our messages: no control characters to garble them.
QString shown(const QString &text)
{
    QString s = text;
    for (QChar &c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    }
    return s;
}

QString refusedPath(const QString &what, const QString &value)
{
    return QStringLiteral("refused, the %1 \"%2\" leads outside the update folder").arg(what, shown(value));
}

QString refusedAlias(const QString &what, const QString &value, const QString &reason)
{
    return QStringLiteral("refused, the %1 \"%2\" cannot be installed safely: %3")
        .arg(what, shown(value), shown(reason));
}

// True when signature (base64) is key's signature of message.
bool signatureMatches(const QByteArray &key, const QString &signature, const QByteArray &message)
{
    static const bool ready = sodium_init() >= 0;
    const auto decoded = QByteArray::fromBase64Encoding(signature.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!ready || !decoded || decoded.decoded.size() != crypto_sign_BYTES || key.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(decoded.decoded.constData()),
                                       reinterpret_cast<const unsigned char *>(message.constData()),
                                       quint64(message.size()),
                                       reinterpret_cast<const unsigned char *>(key.constData()))
        == 0;
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QString::number((bytes + 1023) / 1024) + QStringLiteral(" KB");
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

QString stagingFolderOf(const QString &appFolder)
{
    return appFolder + QLatin1String(UpdateRecord::StagingFolderName);
}

QByteArray headerText(const QString &s)
{
    QByteArray bytes = s.toUtf8();
    bytes.replace('\r', "").replace('\n', "");
    return bytes;
}

// The four members every entry of the server's list must carry.
struct ServerFile
{
    QString fileId;
    QString filename;
    QString path;
    QString appVersion;
    QString signature; // empty when the server sent none
};

QJsonObject newEntry(const QString &fileId, const QString &filename, const QString &path, const QString &appVersion,
                     const char *action)
{
    return QJsonObject { { FileIdKey, fileId },
                         { FilenameKey, filename },
                         { PathKey, path },
                         { AppVersionKey, appVersion },
                         { ActionKey, QString::fromLatin1(action) } };
}

} // namespace

QByteArray UpdateSignedMessage(const QString &AFileId, const QString &APath, const QString &AFilename,
                               const QByteArray &AArchive)
{
    return "ZeltERP update archive\n" + AFileId.toUtf8() + '\n' + APath.toUtf8() + '\n' + AFilename.toUtf8() + '\n'
        + AArchive;
}

QByteArray UpdatePublicKey()
{
    const Platform::IniFile ini = Platform::IniFile::fromFile(AppConfPath());
    const QString text = ini.readString(QStringLiteral("Update"), QStringLiteral("PublicKey")).trimmed();
    if (text.isEmpty())
        return QByteArray();
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != crypto_sign_PUBLICKEYBYTES)
        throw Platform::Error(QStringLiteral("The update key in app.conf ([Update] PublicKey) is not a valid key. "
                                             "The installed version has not been changed."));
    return decoded.decoded;
}

QJsonValue FindJSONArrayItem(const QJsonArray &AJsonArray, const QString &APath, const QString &AValue)
{
    QJsonValue found(QJsonValue::Undefined);
    for (const QJsonValue &item : AJsonArray) {
        const QJsonValue value = Platform::Json::find(item, APath);
        if (value.isString() && value.toString() == AValue)
            found = item;
    }
    return found;
}

// ---------------------------------------------------------------- downloader

TZeltDownloader::TZeltDownloader(const QString &AOrvUrl, const QJsonObject &AFileDownload, const QString &AToken,
                                 QAbstractButton *AButton, QObject *AParent)
    : QThread(AParent)
    , FOrvUrl(AOrvUrl)
    , FFileDownload(AFileDownload)
    , FToken(AToken)
    , FButton(AButton)
    , FStagingFolder(stagingFolderOf(Platform::applicationFolder()))
{
    setObjectName(QStringLiteral("TZeltDownloader"));
}

TZeltDownloader::~TZeltDownloader()
{
    requestInterruption();
    wait();
}

void TZeltDownloader::SetLimits(qint64 AMaxArchiveBytes, qint64 AMaxUnpackedBytes, int AMaxEntries)
{
    FMaxArchiveBytes = AMaxArchiveBytes;
    FMaxUnpackedBytes = AMaxUnpackedBytes;
    FMaxEntries = AMaxEntries;
}

void TZeltDownloader::run()
{
    Execute();
}

void TZeltDownloader::Execute()
{
    FResults.clear();
    const QJsonArray files = FFileDownload.value(FilesKey).toArray();
    FFileCount = int(files.size());

    // what an earlier run left must never be mistaken for part of this one
    QString prepareError;
    if (!QDir(FStagingFolder).removeRecursively() || !QDir().mkpath(FStagingFolder))
        prepareError = QStringLiteral("cannot prepare the folder \"%1\"").arg(QDir::toNativeSeparators(FStagingFolder));

    int index = 0;
    for (const QJsonValue &value : files) {
        ++index;
        const QJsonObject entry = value.toObject();
        TFileResult result;
        result.FileId = entry.value(FileIdKey).toString();
        result.Filename = entry.value(FilenameKey).toString();
        result.Path = entry.value(PathKey).toString();
        if (!prepareError.isEmpty())
            result.Error = prepareError;
        else if (isInterruptionRequested())
            result.Error = QStringLiteral("cancelled");
        else
            StageEntry(entry, index, FFileCount, result);
        FResults << result;
    }
    FHttp.reset();
}

void TZeltDownloader::StageEntry(const QJsonObject &AEntry, int AIndex, int ACount, TFileResult &AResult)
{
    using namespace UpdateRecord;
    if (!AEntry.value(FileIdKey).isString() || !AEntry.value(FilenameKey).isString()
        || !AEntry.value(PathKey).isString()) {
        AResult.Error = QStringLiteral("the entry lacks \"file_id\", \"filename\" or \"path\"");
        return;
    }
    if (!isSafeName(AResult.FileId)) {
        AResult.Error = QStringLiteral("refused, the file id \"%1\" is not a plain name").arg(shown(AResult.FileId));
        return;
    }
    const std::optional<QString> path = safeRelativePath(AResult.Path);
    if (!path) {
        AResult.Error = refusedPath(QStringLiteral("path"), AResult.Path);
        return;
    }
    const std::optional<QString> filename = safeRelativePath(AResult.Filename);
    if (!filename || filename->isEmpty()) {
        AResult.Error = refusedPath(QStringLiteral("file name"), AResult.Filename);
        return;
    }
    if (const QString reason = windowsAliasReason(*path); !reason.isEmpty()) {
        AResult.Error = refusedAlias(QStringLiteral("path"), AResult.Path, reason);
        return;
    }
    // a folder named like the manifest or the journal would pass for one with the launcher
    if (const QString first = path->section(QLatin1Char('/'), 0, 0);
        first.compare(QLatin1String(ManifestFileName), Qt::CaseInsensitive) == 0
        || first.compare(QLatin1String(JournalFileName), Qt::CaseInsensitive) == 0) {
        AResult.Error = refusedAlias(QStringLiteral("path"), AResult.Path,
                                     QStringLiteral("\"%1\" is a name the update folder itself uses").arg(first));
        return;
    }
    if (const QString reason = windowsAliasReason(*filename); !reason.isEmpty()) {
        AResult.Error = refusedAlias(QStringLiteral("file name"), AResult.Filename, reason);
        return;
    }
    const QString signature = AEntry.value(SignatureKey).toString();
    if (!FPublicKey.isEmpty() && signature.isEmpty()) {
        AResult.Error = QStringLiteral("refused, the archive is not signed and this installation accepts signed "
                                       "updates only");
        return;
    }

    const QString entryFolder = FStagingFolder + (path->isEmpty() ? QString() : *path + QLatin1Char('/'));
    const QString archive = entryFolder + QStringLiteral("zip/") + AResult.FileId + QStringLiteral(".zip");
    const QString extractRoot = entryFolder + QStringLiteral("extract/");
    const qsizetype slash = filename->lastIndexOf(QLatin1Char('/'));
    const QString subFolder = slash < 0 ? QString() : filename->left(slash + 1);
    // the text is safe; a link already in the staging folder could still lead away
    if (!staysInside(FStagingFolder, archive)
        || !staysInside(FStagingFolder, extractRoot + subFolder + QLatin1Char('x'))) {
        AResult.Error = refusedPath(QStringLiteral("path"), AResult.Path);
        return;
    }

    QString base = FOrvUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString url = base + DownloadResource + QString::fromLatin1(QUrl::toPercentEncoding(AResult.FileId));
    FFileIndex = AIndex;
    FFileCount = ACount;
    Q_EMIT Progress(AIndex, ACount, 0, -1);
    if (!GetFile(url, archive)) {
        AResult.Error = FLastError;
        return;
    }
    if (!FPublicKey.isEmpty()) {
        QFile file(archive);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.close();
        if (!signatureMatches(FPublicKey, signature,
                              UpdateSignedMessage(AResult.FileId, AResult.Path, AResult.Filename, bytes))) {
            QFile::remove(archive);
            AResult.Error = QStringLiteral("refused, the archive's signature does not match this installation's "
                                           "update key");
            return;
        }
    }
    if (!Unpack(archive, extractRoot, subFolder, AResult)) {
        QFile::remove(archive);
        return;
    }
    AResult.Ok = true;
}

bool TZeltDownloader::GetFile(const QString &AUrl, const QString &AFileName)
{
    FLastError.clear();
    const QUrl url(AUrl);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        FLastError = QStringLiteral("invalid URL \"%1\"").arg(shown(AUrl));
        return false;
    }
    if (!QDir().mkpath(QFileInfo(AFileName).path())) {
        FLastError = QStringLiteral("cannot create the folder of \"%1\"").arg(QDir::toNativeSeparators(AFileName));
        return false;
    }
    // Redirects are followed here, hop by hop. An archive moved to another
    // server (a download host) is fetched there without the service's
    // token: it is the customer's, and the archive's signature, not its
    // address, vouches for it.
    QUrl target = url;
    bool withToken = true;
    for (int hop = 0;; ++hop) {
        QUrl movedTo;
        if (!FetchFile(target, withToken, AFileName, movedTo))
            return false;
        if (movedTo.isEmpty())
            return true;
        const auto isHttps = [](const QUrl &u) {
            return u.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
        };
        if (hop >= MaxRedirects) {
            FLastError = QStringLiteral("too many redirects");
            return false;
        }
        if (!movedTo.isValid() || movedTo.host().isEmpty() || (isHttps(target) && !isHttps(movedTo))
            || (!isHttps(movedTo) && movedTo.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0)) {
            FLastError =
                QStringLiteral("insecure redirect to %1").arg(shown(movedTo.toDisplayString(QUrl::RemoveUserInfo)));
            return false;
        }
        withToken = withToken && Platform::redirectStaysOnServer(target, movedTo);
        target = movedTo;
    }
}

bool TZeltDownloader::FetchFile(const QUrl &AUrl, bool AWithToken, const QString &AFileName, QUrl &AMovedTo)
{
    // the old archive stays until the new one is complete
    QSaveFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly)) {
        FLastError =
            QStringLiteral("cannot write \"%1\": %2").arg(QDir::toNativeSeparators(AFileName), file.errorString());
        return false;
    }

    if (!FHttp)
        FHttp = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request(AUrl);
    request.setRawHeader("User-Agent", ZeltUserAgent);
    request.setRawHeader("Accept-Language", "en_US");
    if (AWithToken)
        request.setRawHeader("Authorization", "Bearer " + headerText(FToken));
    request.setTransferTimeout(FReadTimeOut);
    // followed by GetFile: Qt would take the token along to wherever the
    // server points, and merges the headers of all hops into the last one's
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(FHttp->get(request));

    qint64 received = 0;
    QString failure;
    QDeadlineTimer nextProgress(0);
    auto take = [&] {
        if (!failure.isEmpty())
            return;
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > FMaxArchiveBytes) {
            failure = QStringLiteral("the archive is larger than %1").arg(sizeText(FMaxArchiveBytes));
            reply->abort();
        } else if (file.write(chunk) != chunk.size()) {
            failure =
                QStringLiteral("cannot write \"%1\": %2").arg(QDir::toNativeSeparators(AFileName), file.errorString());
            reply->abort();
        }
    };
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 done, qint64 total) {
        if (!nextProgress.hasExpired())
            return;
        nextProgress.setRemainingTime(ProgressIntervalMs);
        Q_EMIT Progress(FFileIndex, FFileCount, done, total);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer interruption;
    QObject::connect(&interruption, &QTimer::timeout, &loop, [&] {
        if (isInterruptionRequested() && failure.isEmpty()) {
            failure = QStringLiteral("cancelled");
            reply->abort();
        }
    });
    interruption.start(ProgressIntervalMs);
    if (!reply->isFinished())
        loop.exec();
    take();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply->rawHeader("Location").trimmed();
    if (failure.isEmpty() && (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
        && !location.isEmpty()) {
        // the next hop is GetFile's to judge; what this answer wrote goes
        file.cancelWriting();
        AMovedTo = AUrl.resolved(QUrl::fromEncoded(location));
        return true;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (failure.isEmpty()) {
        if (status >= 300 || (status > 0 && status < 200)) {
            const QString reason =
                QString::fromUtf8(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
            failure = QStringLiteral("HTTP %1 %2").arg(status).arg(shown(reason)).trimmed();
        } else if (reply->error() != QNetworkReply::NoError || status == 0) {
            failure = reply->error() == QNetworkReply::OperationCanceledError
                ? QStringLiteral("no data for %1 ms").arg(FReadTimeOut)
                : reply->errorString();
        } else if (length.isValid() && reply->rawHeader("Content-Encoding").isEmpty()
                   && length.toLongLong() != received) {
            failure = QStringLiteral("the connection closed before the whole archive arrived");
        }
    }
    if (!failure.isEmpty()) {
        file.cancelWriting();
        FLastError = failure;
        return false;
    }
    Q_EMIT Progress(FFileIndex, FFileCount, received, received);
    if (!file.commit()) {
        FLastError =
            QStringLiteral("cannot write \"%1\": %2").arg(QDir::toNativeSeparators(AFileName), file.errorString());
        return false;
    }
    return true;
}

bool TZeltDownloader::Unpack(const QString &AArchive, const QString &AExtractRoot, const QString &ASubFolder,
                             TFileResult &AResult)
{
    QuaZip zip(AArchive);
    if (!zip.open(QuaZip::mdUnzip)) {
        AResult.Error = QStringLiteral("the archive cannot be opened");
        return false;
    }

    // Every name is checked before anything is written, so a hostile
    // archive leaves nothing behind.
    struct Item
    {
        QString raw; // as the archive has it, for messages
        QString name;
        bool folder = false;
        bool hasPermissions = false;
        QFile::Permissions permissions;
    };
    QList<Item> items;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        if (items.size() >= FMaxEntries) {
            AResult.Error = QStringLiteral("the archive has more than %1 entries").arg(FMaxEntries);
            return false;
        }
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info)) {
            AResult.Error = QStringLiteral("the archive is damaged");
            return false;
        }
        if (info.isSymbolicLink()) {
            AResult.Error = QStringLiteral("refused, the archive entry \"%1\" is a link").arg(shown(info.name));
            return false;
        }
        Item item;
        item.folder = info.name.endsWith(QLatin1Char('/')) || info.name.endsWith(QLatin1Char('\\'));
        const std::optional<QString> name = UpdateRecord::safeRelativePath(info.name);
        if (!name || (name->isEmpty() && !item.folder)) {
            AResult.Error = refusedPath(QStringLiteral("archive entry"), info.name);
            return false;
        }
        if (const QString reason = UpdateRecord::windowsAliasReason(*name); !reason.isEmpty()) {
            AResult.Error = refusedAlias(QStringLiteral("archive entry"), info.name, reason);
            return false;
        }
        item.raw = info.name;
        item.name = *name;
        // permissions only from archives made on Unix; never more than rwx
        if ((info.versionCreated >> 8) == 3 && (info.externalAttr >> 16) != 0) {
            const QFile::Permissions allowed = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
            item.hasPermissions = true;
            item.permissions = (info.getPermissions() & allowed) | QFile::ReadOwner | QFile::WriteOwner;
        }
        items << item;
    }
    if (zip.getZipError() != 0) {
        AResult.Error = QStringLiteral("the archive is damaged");
        return false;
    }
    // an update that installs nothing must not be recorded as applied
    if (std::none_of(items.cbegin(), items.cend(), [](const Item &i) { return !i.folder; })) {
        AResult.Error = QStringLiteral("refused, the archive holds no files");
        return false;
    }

    const QString folder = AExtractRoot + ASubFolder;
    QStringList written;
    auto undo = [&](const QString &error) {
        for (const QString &f : std::as_const(written))
            QFile::remove(f);
        AResult.Staged.clear();
        AResult.Error = error;
        return false;
    };
    qint64 unpacked = 0;
    qsizetype index = 0;
    for (bool more = zip.goToFirstFile(); more && index < items.size(); more = zip.goToNextFile(), ++index) {
        const Item &item = items.at(index);
        const QString target = QDir::cleanPath(folder + item.name);
        if (item.folder) {
            if (!item.name.isEmpty() && (!UpdateRecord::staysInside(FStagingFolder, target) || !QDir().mkpath(target)))
                return undo(refusedPath(QStringLiteral("archive entry"), item.raw));
            continue;
        }
        if (!UpdateRecord::staysInside(FStagingFolder, target))
            return undo(refusedPath(QStringLiteral("archive entry"), item.raw));
        if (!QDir().mkpath(QFileInfo(target).path()))
            return undo(QStringLiteral("cannot create the folder of \"%1\"").arg(shown(item.name)));
        QuaZipFile in(&zip);
        if (!in.open(QIODevice::ReadOnly))
            return undo(QStringLiteral("the archive entry \"%1\" cannot be read").arg(shown(item.name)));
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly))
            return undo(QStringLiteral("cannot write \"%1\": %2").arg(shown(item.name), out.errorString()));
        char buffer[64 * 1024];
        qint64 n = 0;
        while ((n = in.read(buffer, sizeof buffer)) > 0) {
            unpacked += n;
            if (unpacked > FMaxUnpackedBytes)
                return undo(QStringLiteral("the archive unpacks to more than %1").arg(sizeText(FMaxUnpackedBytes)));
            if (out.write(buffer, n) != n)
                return undo(QStringLiteral("cannot write \"%1\": %2").arg(shown(item.name), out.errorString()));
        }
        in.close();
        if (n < 0 || in.getZipError() != 0)
            return undo(QStringLiteral("the archive entry \"%1\" is damaged").arg(shown(item.name)));
        if (!out.commit())
            return undo(QStringLiteral("cannot write \"%1\": %2").arg(shown(item.name), out.errorString()));
        written << target;
        if (item.hasPermissions)
            QFile::setPermissions(target, item.permissions);
        const QString staged = ASubFolder + item.name;
        if (!AResult.Staged.contains(staged))
            AResult.Staged << staged;
    }
    return true;
}

// ---------------------------------------------------------------- updater

TZeltUpdater::TZeltUpdater(const QString &AApiURL, const QString &AToken, const QString &AUpdateFileName,
                           QAbstractButton *AButton, QObject *AParent)
    : QObject(AParent)
    , FApiUrl(AApiURL)
    , FToken(AToken)
    , FUpdateFileName(AUpdateFileName)
    , FRestClient(std::make_unique<TZeltRestClient>(AApiURL, UpdaterTimeOut, UpdaterTimeOut))
    , FButton(AButton)
{
    if (FButton) {
        FButtonCaption = FButton->text();
        FButton->setText(CaptionDownloading);
        FButton->setEnabled(false);
    }
    FRestClient->SetHeaderData(AToken, QString(), QStringLiteral("en_US"));
}

TZeltUpdater::~TZeltUpdater()
{
    const bool started = FDownloader != nullptr;
    FDownloader.reset();
    // a cancelled or failed download leaves nothing a later apply could take
    if (started && !FStaged)
        QDir(stagingFolderOf(Platform::applicationFolder())).removeRecursively();
    FRestClient.reset();
    if (FButton) {
        if (FStaged) {
            FButton->setText(CaptionApplying);
            FButton->setEnabled(false);
        } else {
            // a failed update can be tried again
            FButton->setText(FButtonCaption);
            FButton->setEnabled(true);
        }
    }
}

QJsonObject TZeltUpdater::CheckUpdates()
{
    using namespace Platform;
    FChecked = false;
    QJsonObject result;

    // Taken as the launcher takes it: no launcher replaces files while the
    // staging is rebuilt under it, and no second client stages meanwhile.
    const QString folder = Platform::applicationFolder();
    if (!FLauncherLock) {
        auto lock = std::make_unique<QLockFile>(folder + QLatin1String(UpdateRecord::LockFileName));
        lock->setStaleLockTime(0); // a lock whose owner died is free at once
        if (lock->tryLock(0))
            FLauncherLock = std::move(lock);
        else if (lock->error() == QLockFile::LockFailedError)
            throw Platform::Error(LauncherBusyText);
    }
    // clearing the staging would take the journal, the only way back from a half-replaced installation
    if (QFileInfo::exists(stagingFolderOf(folder) + QLatin1String(UpdateRecord::JournalFileName)))
        throw Platform::Error(InterruptedText);

    const HttpResponse response = FRestClient->CreateRestClient(true)->get(AppFilesResource);
    const QJsonValue answer = Json::parse(response.body);
    if (!response.success()) {
        const QJsonValue message = answer.toObject().value(QLatin1String("message"));
        FError = message.isString() ? message.toString() : response.content();
        if (FError.isEmpty())
            FError = QStringLiteral("%1 %2").arg(response.statusCode).arg(response.statusText).trimmed();
        return result;
    }
    if (!answer.isObject())
        throw ConversionError(QStringLiteral("The answer of \"%1\" is not a JSON object.").arg(AppFilesResource));

    // everything is read and checked before the record is touched
    const QString serverVer = Json::getString(answer, AppVerKey);
    const QJsonArray serverArray = Json::getArray(answer, FilesKey);
    QList<ServerFile> server;
    for (qsizetype i = 0; i < serverArray.size(); ++i) {
        const QString at = QStringLiteral("files.%1.").arg(i);
        server << ServerFile { Json::getString(answer, at + FileIdKey), Json::getString(answer, at + FilenameKey),
                               Json::getString(answer, at + PathKey), Json::getString(answer, at + AppVersionKey),
                               serverArray.at(i).toObject().value(SignatureKey).toString() };
        // the launcher matches staged files by id: one of two entries would
        // be recorded as installed without its files
        for (qsizetype j = 0; j + 1 < server.size(); ++j) {
            if (server.at(j).fileId == server.constLast().fileId)
                throw ConversionError(QStringLiteral("The answer of \"%1\" lists the file \"%2\" more than once.")
                                          .arg(AppFilesResource, shown(server.constLast().fileId)));
        }
    }

    QFile file(FUpdateFileName);
    if (!file.exists())
        throw NotFoundError(QStringLiteral("Cannot open file \"%1\". The file does not exist.")
                                .arg(QDir::toNativeSeparators(FUpdateFileName)));
    if (!file.open(QIODevice::ReadOnly))
        throw Platform::Error(QStringLiteral("Cannot open file \"%1\". %2")
                                  .arg(QDir::toNativeSeparators(FUpdateFileName), file.errorString()));
    const QJsonValue local = Json::parse(file.readAll());
    file.close();
    if (!local.isObject())
        throw ConversionError(QStringLiteral("\"%1\" is damaged: it is not a JSON object.")
                                  .arg(QDir::toNativeSeparators(FUpdateFileName)));
    const QString localVer = Json::getString(local, AppVerKey);
    const QJsonArray localFiles = Json::getArray(local, FilesKey);
    for (qsizetype i = 0; i < localFiles.size(); ++i) {
        const QString at = QStringLiteral("files.%1.").arg(i);
        Json::getString(local, at + FileIdKey);
        Json::getString(local, at + AppVersionKey);
    }

    QJsonArray recordFiles;
    QJsonArray downloadFiles;
    FServerVersions.clear();
    for (const ServerFile &s : std::as_const(server)) {
        const QJsonValue l = FindJSONArrayItem(localFiles, FileIdKey, s.fileId);
        QJsonObject entry;
        if (l.isUndefined()) {
            entry = newEntry(s.fileId, s.filename, s.path, s.appVersion, "1");
        } else if (const QString localVersion = l.toObject().value(AppVersionKey).toString();
                   localVersion != s.appVersion) {
            // the record keeps the installed version until the launcher has applied the new one
            entry = newEntry(s.fileId, s.filename, s.path, localVersion, "1");
        } else if (l.toObject().value(ActionKey).toString() == QLatin1String("1")) {
            // recorded by an earlier check but never applied: still missing
            entry = newEntry(s.fileId, s.filename, s.path, s.appVersion, "1");
        } else {
            entry = newEntry(s.fileId, s.filename, s.path, s.appVersion, "0");
        }
        recordFiles.append(entry);
        if (entry.value(ActionKey).toString() == QLatin1String("1")) {
            // the signature travels with the download list only, not in the record
            if (!s.signature.isEmpty())
                entry.insert(SignatureKey, s.signature);
            downloadFiles.append(entry);
        }
        FServerVersions.insert(s.fileId, s.appVersion);
    }

    const QJsonObject record { { AppVerKey, localVer },
                               { AppVerNewKey, serverVer },
                               { AppUpdateKey, QStringLiteral("1") },
                               { FilesKey, recordFiles } };
    QString writeError;
    if (!UpdateRecord::writeAtomically(FUpdateFileName, UpdateRecord::format(record), &writeError))
        throw Platform::Error(writeError);

    result.insert(AppVerKey, localVer);
    result.insert(FilesKey, downloadFiles);
    FFileDownload = result;
    FAppVerNew = serverVer;
    FChecked = true;
    return result;
}

bool TZeltUpdater::DownloadUpdates()
{
    FDownloader.reset();
    FStaged = false;
    const QJsonObject list = CheckUpdates();
    if (!FChecked)
        throw Platform::Error(FError);
    if (list.value(FilesKey).toArray().isEmpty())
        return false;
    FDownloader = std::make_unique<TZeltDownloader>(FApiUrl, list, FToken, FButton);
    FDownloader->SetPublicKey(FPublicKey);
    connect(FDownloader.get(), &TZeltDownloader::Progress, this, &TZeltUpdater::ShowProgress, Qt::QueuedConnection);
    // queued behind every progress report, so none arrives after the wait
    connect(
        FDownloader.get(), &QThread::finished, this,
        [this] {
            FDownloadDone = true;
            if (FWaitLoop)
                FWaitLoop->quit();
        },
        Qt::QueuedConnection);
    FDownloadDone = false;
    FWaiting = true;
    FDownloader->start();
    return true;
}

bool TZeltUpdater::WaitForDownloads()
{
    if (!FChecked) {
        if (FError.isEmpty())
            FError = QStringLiteral("No update has been checked.");
        return false;
    }
    const QString staging = stagingFolderOf(Platform::applicationFolder());
    if (FDownloader) {
        if (!FDownloadDone) {
            QEventLoop loop;
            FWaitLoop = &loop;
            // the form stays painted, but nothing can be clicked meanwhile
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            FWaitLoop = nullptr;
        }
        FDownloader->wait();
        FWaiting = false;
        QStringList problems;
        const QList<TZeltDownloader::TFileResult> results = FDownloader->Results();
        for (const TZeltDownloader::TFileResult &r : results) {
            if (!r.Ok)
                problems << QStringLiteral("%1 (file %2): %3").arg(shown(r.Filename), shown(r.FileId), r.Error);
        }
        if (problems.isEmpty() && results.size() != FFileDownload.value(FilesKey).toArray().size())
            problems << QStringLiteral("the download was cut short");
        if (!problems.isEmpty()) {
            QDir(staging).removeRecursively();
            FError = DownloadFailedText + QLatin1Char('\n') + problems.join(QLatin1Char('\n'));
            return false;
        }
    } else if (!QDir(staging).removeRecursively() || !QDir().mkpath(staging)) {
        FError = DownloadFailedText + QLatin1Char('\n')
            + QStringLiteral("cannot prepare the folder \"%1\"").arg(QDir::toNativeSeparators(staging));
        return false;
    }
    if (!WriteManifest()) {
        QDir(staging).removeRecursively();
        return false;
    }
    FStaged = true;
    return true;
}

bool TZeltUpdater::StageUpdates()
{
    try {
        DownloadUpdates();
        return WaitForDownloads();
    } catch (const std::exception &e) {
        FError = Platform::messageOf(e);
        return false;
    }
}

void TZeltUpdater::ShowProgress(int AFileIndex, int AFileCount, qint64 ABytesReceived, qint64 ABytesTotal)
{
    if (!FWaiting)
        return;
    if (FButton) {
        QString caption = CaptionDownloading + QStringLiteral(" file %1 of %2").arg(AFileIndex).arg(AFileCount);
        if (ABytesReceived > 0 || ABytesTotal > 0)
            caption += QStringLiteral(", ") + sizeText(ABytesReceived);
        if (ABytesTotal > 0)
            caption += QStringLiteral(" of ") + sizeText(ABytesTotal);
        FButton->setText(caption);
    }
    Q_EMIT DownloadProgress(AFileIndex, AFileCount, ABytesReceived, ABytesTotal);
}

bool TZeltUpdater::WriteManifest()
{
    UpdateRecord::Manifest manifest;
    manifest.appVerNew = FAppVerNew;
    if (FDownloader) {
        const QList<TZeltDownloader::TFileResult> results = FDownloader->Results();
        for (const TZeltDownloader::TFileResult &r : results) {
            const QString path = UpdateRecord::safeRelativePath(r.Path).value_or(QString());
            manifest.entries << UpdateRecord::StagedEntry { r.FileId, path.isEmpty() ? path : path + QLatin1Char('/'),
                                                            r.Filename, FServerVersions.value(r.FileId), r.Staged };
        }
    }
    const QString name = stagingFolderOf(Platform::applicationFolder()) + QLatin1String(UpdateRecord::ManifestFileName);
    QString error;
    if (!UpdateRecord::writeAtomically(name, UpdateRecord::formatManifest(manifest), &error)) {
        FError = DownloadFailedText + QLatin1Char('\n') + error;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- launcher

QString ZeltLauncherPath(const QString &AAppFolder)
{
    QString folder = AAppFolder;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
#ifdef Q_OS_WIN
    return folder + QStringLiteral("ZeltLauncher.exe");
#else
    return folder + QStringLiteral("ZeltLauncher");
#endif
}

namespace {

QString quotedArgument(const QString &path)
{
    QString text = QDir::toNativeSeparators(path);
    if (text.contains(QLatin1Char('"')))
        throw Platform::Error(QStringLiteral("The path \"%1\" cannot be passed to ZeltLauncher.").arg(path));
#ifdef Q_OS_WIN
    // backslashes before the closing quote would escape it
    qsizetype trailing = 0;
    while (trailing < text.size() && text.at(text.size() - 1 - trailing) == QLatin1Char('\\'))
        ++trailing;
    text += QString(trailing, QLatin1Char('\\'));
#endif
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString ZeltLauncherParameters(const QString &AAppFolder, qint64 APid, const QString &ARestartProgram)
{
    return QStringLiteral("--app-folder ") + quotedArgument(QDir::cleanPath(AAppFolder))
        + QStringLiteral(" --wait-pid ") + QString::number(APid) + QStringLiteral(" --restart ")
        + quotedArgument(ARestartProgram);
}

void StartZeltLauncher(qint64 APid, const QString &ARestartProgram)
{
    const QString folder = Platform::applicationFolder();
    const QString launcher = ZeltLauncherPath(folder);
    if (!QFileInfo(launcher).isFile())
        throw Platform::NotFoundError(QStringLiteral("\"%1\" was not found.").arg(QDir::toNativeSeparators(launcher)));
    const qint64 pid = APid > 0 ? APid : QCoreApplication::applicationPid();
    const QString program = ARestartProgram.isEmpty() ? Platform::runningExecutablePath() : ARestartProgram;
    Platform::processLauncher().startDetached(launcher, ZeltLauncherParameters(folder, pid, program), QString(),
                                              Platform::WindowShow::Normal);
}

void StageUpdateNow(QAbstractButton *AButton)
{
    QString error;
    const QByteArray key = UpdatePublicKey();
    {
        TZeltUpdater updater(OrvUrl, OrvToken,
                             Platform::applicationFolder() + QLatin1String(UpdateRecord::RecordFileName), AButton);
        updater.SetPublicKey(key);
        if (updater.StageUpdates())
            return;
        error = updater.Error();
    }
    // the updater has given the button back before anyone shows the reason
    throw Platform::Error(error);
}

void LaunchUpdateRestart(QAbstractButton *AButton)
{
    try {
        StartZeltLauncher();
    } catch (const std::exception &e) {
        if (AButton) {
            AButton->setText(QStringLiteral("Update Now"));
            AButton->setEnabled(true);
        }
        throw Platform::Error(LauncherFailedText + QLatin1Char('\n') + Platform::messageOf(e));
    }
}
