#pragma once

#include "com_global.h"

#include <QAbstractButton>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QStringList>
#include <QThread>
#include <memory>

class QEventLoop;
class QLockFile;
class QNetworkAccessManager;
class TZeltRestClient;

// Brings the client's files up to date from the customer service: the file
// list (GET "/v1/app-files") is compared with "updates.json", the files that
// changed are downloaded (GET "/v1/download/" + file id, a zip archive each)
// and unpacked into the staging folder "updates/" of the application folder,
// and ZeltLauncher moves them into place once the client has ended.
//
// Staging layout, for an entry with path P, file id I and file name F (P and
// F with '/' or '\' between folders; P empty or ending in a separator):
//   archive       "updates/" + P + "zip/" + I + ".zip"
//   unpacked into "updates/" + P + "extract/" + the folder part of F
// plus "updates/staged.json", written only once every file of the list is
// staged; it names each staged file and the server's version of each entry.
// Server values and archive entry names that would lead outside "updates/"
// (".." segments, absolute paths, drive letters, '\' tricks, links), names
// Windows would map onto another file (CON, NUL, "name.", "A~1"...) and
// archives without any file are refused: nothing is written for that entry
// and the update fails.
//
// Signed updates: with a public key in app.conf ([Update] PublicKey, the 32
// bytes of an Ed25519 key in base64), every entry of "/v1/app-files" must
// carry "signature": the base64 Ed25519 signature of
// UpdateSignedMessage(file_id, path, filename, archive). An archive whose
// signature is missing or wrong is refused before anything is unpacked.
// Without a key, archives are taken as they come.

// What the server signs for one archive: "ZeltERP update archive\n", then
// file_id, path and filename (as "/v1/app-files" gives them) each followed
// by "\n", then the archive's bytes.
COM_EXPORT QByteArray UpdateSignedMessage(const QString &AFileId, const QString &APath, const QString &AFilename,
                                          const QByteArray &AArchive);
// The key of app.conf's [Update] PublicKey: empty when there is none.
// Throws Platform::Error when the text is not a base64 key of 32 bytes.
COM_EXPORT QByteArray UpdatePublicKey();

// The entry of AJsonArray whose value at APath (members separated by dots)
// is a string equal to AValue; the last one when several are; undefined when
// none is.
COM_EXPORT QJsonValue FindJSONArrayItem(const QJsonArray &AJsonArray, const QString &APath, const QString &AValue);

// Downloads and unpacks the files of a download list on its own thread. It
// touches no widget (the button is only passed on); progress goes out as a
// signal. Start it with start(); read Results() once it has finished.
// Downloads use a QNetworkAccessManager of the downloader's own thread rather
// than Platform::HttpClient, so that an archive streams to disk as it arrives
// and its progress is known byte by byte.
class COM_EXPORT TZeltDownloader : public QThread
{
    Q_OBJECT
public:
    struct TFileResult
    {
        QString FileId;
        QString Filename;
        QString Path;
        bool Ok = false;
        QString Error; // why the entry failed; empty when Ok
        QStringList Staged; // unpacked files, relative to "updates/" + P + "extract/"
    };

    // Created not running. The staging folder is the application folder's
    // "updates/" at the time of construction.
    TZeltDownloader(const QString &AOrvUrl, const QJsonObject &AFileDownload, const QString &AToken,
                    QAbstractButton *AButton, QObject *AParent = nullptr);
    // Asks a running download to stop and waits for the thread.
    ~TZeltDownloader() override;

    // Downloads AUrl into AFileName (folders created, an existing file
    // replaced only once the whole body has arrived). False on any failure,
    // with the reason in LastError(). For the downloader's own thread.
    bool GetFile(const QString &AUrl, const QString &AFileName);
    QString LastError() const { return FLastError; }

    // Limits on what the server may send: bytes of one archive, bytes
    // unpacked from one archive, entries in one archive.
    void SetLimits(qint64 AMaxArchiveBytes, qint64 AMaxUnpackedBytes, int AMaxEntries);
    // Milliseconds without any byte before a download is given up.
    void SetReadTimeOut(int AReadTimeOut) { FReadTimeOut = AReadTimeOut; }
    // A 32-byte Ed25519 public key: every archive must then be signed by it.
    // Empty (the default): archives are not checked.
    void SetPublicKey(const QByteArray &AKey) { FPublicKey = AKey; }

    QString StagingFolder() const { return FStagingFolder; }
    QAbstractButton *Button() const { return FButton; }
    // One per entry of the list, in order; complete once finished() came.
    QList<TFileResult> Results() const { return FResults; }

Q_SIGNALS:
    // From the downloader's thread. AFileIndex counts from 1; ABytesTotal is
    // -1 while the server has not said.
    void Progress(int AFileIndex, int AFileCount, qint64 ABytesReceived, qint64 ABytesTotal);

protected:
    void run() override;
    // The thread body: clears the staging folder, then downloads and unpacks
    // each entry; a failed entry does not stop the others.
    void Execute();

private:
    // One request of GetFile; a redirect ends it with AMovedTo set and
    // nothing written.
    bool FetchFile(const QUrl &AUrl, bool AWithToken, const QString &AFileName, QUrl &AMovedTo);
    void StageEntry(const QJsonObject &AEntry, int AIndex, int ACount, TFileResult &AResult);
    bool Unpack(const QString &AArchive, const QString &AExtractRoot, const QString &ASubFolder, TFileResult &AResult);

    QString FOrvUrl;
    QJsonObject FFileDownload;
    QString FToken;
    std::unique_ptr<QNetworkAccessManager> FHttp; // lives on the downloader's thread
    QPointer<QAbstractButton> FButton;

    QString FStagingFolder;
    QString FLastError;
    QByteArray FPublicKey;
    QList<TFileResult> FResults;
    int FReadTimeOut = 30000;
    qint64 FMaxArchiveBytes = qint64(1) << 30;
    qint64 FMaxUnpackedBytes = qint64(2) << 30;
    int FMaxEntries = 65535;
    int FFileIndex = 0;
    int FFileCount = 0;
};

// One click of "Update Now". Lives on the UI thread; its button (not owned)
// reads "Downloading Updates.." while it works, then the progress, and
// "Applying and restart." once an update is staged; after a failure it is
// "Update Now" and enabled again.
class COM_EXPORT TZeltUpdater : public QObject
{
    Q_OBJECT
public:
    TZeltUpdater(const QString &AApiURL, const QString &AToken, const QString &AUpdateFileName,
                 QAbstractButton *AButton, QObject *AParent = nullptr);
    // Waits for a downloader that is still running; an update that was not
    // staged completely leaves nothing under "updates/".
    ~TZeltUpdater() override;

    // Compares the server's list with the record AUpdateFileName, rewrites
    // the record (app_ver, app_ver_new, app_update "1", files with "action")
    // and returns the download list: "app_ver" and the entries to download.
    // A non-success answer sets Error() and returns an empty object, record
    // untouched. Throws Platform::Error (TransportError, NotFoundError for a
    // missing record, ConversionError for a text that is not a JSON object
    // or a file listed twice, JsonMemberError for a missing member) with
    // nothing written; so it does while ZeltLauncher applies an update or
    // an interrupted one waits in "updates/" to be finished. From here on
    // the updater holds the launcher's lock until it is destroyed.
    QJsonObject CheckUpdates();
    // CheckUpdates, then starts a downloader when the list has files;
    // returns at once: true when one was started. Throws Platform::Error
    // when the check failed (the server's message for a non-success answer).
    bool DownloadUpdates();
    // Waits for the downloader started by DownloadUpdates while the event
    // loop runs without user input, showing the progress on the button; then
    // writes the staging manifest. False, with Error() and the staging folder
    // removed, when anything was not staged.
    bool WaitForDownloads();
    // DownloadUpdates and WaitForDownloads; never throws. True when the
    // launcher may apply the staging.
    bool StageUpdates();
    // The key the downloader checks archives with (see SetPublicKey);
    // StageUpdateNow sets UpdatePublicKey().
    void SetPublicKey(const QByteArray &AKey) { FPublicKey = AKey; }

    QString Error() const { return FError; }
    TZeltDownloader *Downloader() const { return FDownloader.get(); }

Q_SIGNALS:
    // Relayed from the downloader, on the UI thread.
    void DownloadProgress(int AFileIndex, int AFileCount, qint64 ABytesReceived, qint64 ABytesTotal);

private:
    void ShowProgress(int AFileIndex, int AFileCount, qint64 ABytesReceived, qint64 ABytesTotal);
    bool WriteManifest();

    QString FApiUrl;
    QString FToken;
    QString FUpdateFileName;
    std::unique_ptr<TZeltRestClient> FRestClient;
    QString FError;
    QPointer<QAbstractButton> FButton;
    QString FButtonCaption;

    std::unique_ptr<QLockFile> FLauncherLock; // while the record and "updates/" are ours
    std::unique_ptr<TZeltDownloader> FDownloader;
    QEventLoop *FWaitLoop = nullptr;
    QJsonObject FFileDownload;
    QString FAppVerNew;
    QHash<QString, QString> FServerVersions; // file id -> the server's app_version
    QByteArray FPublicKey;
    bool FChecked = false;
    bool FWaiting = false;
    bool FDownloadDone = false;
    bool FStaged = false;
};

// The launcher beside the program: "ZeltLauncher.exe" on Windows,
// "ZeltLauncher" elsewhere.
COM_EXPORT QString ZeltLauncherPath(const QString &AAppFolder);
// Its command line: --app-folder "<folder>" --wait-pid <pid> --restart "<program>".
// Throws Platform::Error for a path that cannot be quoted.
COM_EXPORT QString ZeltLauncherParameters(const QString &AAppFolder, qint64 APid, const QString &ARestartProgram);
// Starts the launcher of the application folder through the process
// launcher, to wait for APid (0: this process), apply the staging and start
// ARestartProgram (empty: this executable) again. Throws Platform::Error.
COM_EXPORT void StartZeltLauncher(qint64 APid = 0, const QString &ARestartProgram = QString());

// Stages the update for the sign-in form's "Update Now": a TZeltUpdater for
// OrvUrl, OrvToken, the application folder's "updates.json" and AButton.
// Throws Platform::Error with the reason when nothing can be applied; the
// button is usable again then and nothing installed has changed.
COM_EXPORT void StageUpdateNow(QAbstractButton *AButton);
// Starts ZeltLauncher for this process. Throws Platform::Error when it
// cannot; AButton, if given, then reads "Update Now" and is enabled again.
COM_EXPORT void LaunchUpdateRestart(QAbstractButton *AButton = nullptr);
