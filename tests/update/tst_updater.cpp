#include "AppPaths.h"
#include "DialogPresenter.h"
#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "RecordingProcessLauncher.h"
#include "TestHttpServer.h"
#include "UpdateFixtures.h"
#include "UpdaterU.h"

#include <QJsonDocument>
#include <QLockFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>

#include <sodium.h>

using namespace UpdateFixtures;

Q_DECLARE_METATYPE(Reply)
Q_DECLARE_METATYPE(QList<UpdateFixtures::ZipItem>)

namespace {

const QString Token = QStringLiteral("orv-token");

struct FileRow
{
    QString fileId, filename, path, version;
    QString action; // for local records; empty: no "action" member
};

// {"app_ver", "files"} as the service answers it (compact) or as the local record holds it (indented).
QByteArray filesJson(const QString &appVer, const QList<FileRow> &files, bool record)
{
    QJsonArray array;
    for (const FileRow &f : files) {
        QJsonObject o {
            { "file_id", f.fileId }, { "filename", f.filename }, { "path", f.path }, { "app_version", f.version }
        };
        if (!f.action.isEmpty())
            o.insert(QStringLiteral("action"), f.action);
        array.append(o);
    }
    return QJsonDocument(QJsonObject { { "app_ver", appVer }, { "files", array } })
        .toJson(record ? QJsonDocument::Indented : QJsonDocument::Compact);
}
Reply appFilesAnswer(const QString &appVer, const QList<FileRow> &files)
{
    return Reply::json(filesJson(appVer, files, false));
}
QByteArray localRecord(const QString &appVer, const QList<FileRow> &files)
{
    return filesJson(appVer, files, true);
}

QJsonObject toFetch(const QString &fileId, const QString &filename, const QString &path)
{
    return {
        { "file_id", fileId }, { "filename", filename }, { "path", path }, { "app_version", "1" }, { "action", "1" }
    };
}

// The files under a folder, without the folders.
QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files = snapshot(folder);
    files.removeIf([](const auto &item) { return item.value() == "<folder>"; });
    return files;
}

// The customer service: each path answers as scripted, anything else is 404.
struct UpdateService
{
    void set(const QString &path, Reply reply)
    {
        QMutexLocker lock(&mutex);
        replies.insert(path, std::move(reply));
    }
    QStringList downloadedIds() const
    {
        QStringList ids;
        for (const RecordedRequest &r : server.requests()) {
            if (r.path.startsWith(QLatin1String("/v1/download/")))
                ids << r.path.mid(13);
        }
        return ids;
    }
    QMutex mutex;
    QHash<QString, Reply> replies;
    TestHttpServer server { [this](const RecordedRequest &r) { // last: its thread stops first
        QMutexLocker lock(&mutex);
        return replies.value(r.path, Reply::json(R"({"message":"File not found."})", 404));
    } };
};

// Records, when the launcher is started, which files the staging holds.
struct StagingWitness : RecordingProcessLauncher
{
    void startDetached(const QString &program, const QString &parameters, const QString &workingDirectory,
                       Platform::WindowShow show) override
    {
        stagedAtStart = filesUnder(Platform::applicationFolder() + QStringLiteral("updates/"));
        RecordingProcessLauncher::startDetached(program, parameters, workingDirectory, show);
    }
    QMap<QString, QByteArray> stagedAtStart;
};

} // namespace

class tst_Updater : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void checkUpdatesRewritesRecord();
    void fileListedTwiceIsRefused();
    void launchersWorkIsLeftAlone_data();
    void launchersWorkIsLeftAlone();
    void updateNowStagesEveryFileOrNothing_data();
    void updateNowStagesEveryFileOrNothing();
    void hostileEntriesAreRefused_data();
    void hostileEntriesAreRefused();
    void signedArchives_data();
    void signedArchives();
    void cancelledDownloadLeavesNothing();
    void downloadHostNeverSeesTheToken();

private:
    QString staging() const { return m_app + QStringLiteral("updates/"); }
    QString record() const { return m_app + QStringLiteral("updates.json"); }
    // Everything under the temporary root except the staging folder and the record.
    QMap<QString, QByteArray> outsideStaging() const
    {
        QMap<QString, QByteArray> all = snapshot(m_root->path());
        all.removeIf([](const auto &item) { return item.key().startsWith(QLatin1String("outer/app/updates")); });
        return all;
    }
    void updateNow(TLoginFrm &AForm, UpdateService &AService)
    {
        OrvUrl = AService.server.url();
        AForm.btnUpdateNow->setVisible(true);
        AForm.btnUpdateNow->click();
    }
    std::unique_ptr<QTemporaryDir> m_root;
    QString m_app;
};

void tst_Updater::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    // two levels down, so that an escape with ".." still lands where the test looks
    m_app = m_root->path() + QStringLiteral("/outer/app/");
    QVERIFY(QDir().mkpath(m_app));
    Platform::setApplicationFolder(m_app);
    writeFile(m_root->path() + QStringLiteral("/outer/neighbour.txt"), "not ours");
    writeFile(m_app + QStringLiteral("ZeltLauncher"), "#!/bin/sh\n");
    OrvToken = Token;
}

void tst_Updater::cleanup()
{
    Platform::setApplicationFolder(QString());
    Platform::setProcessLauncher(nullptr);
    OrvUrl.clear();
    OrvToken.clear();
    m_root.reset();
}

void tst_Updater::checkUpdatesRewritesRecord()
{
    // an unchanged and a retired file installed; the server adds one
    writeFile(
        record(),
        localRecord("1.0.1", { { "1", "release-notes.txt", "", "1.0.1", "0" }, { "9", "old.txt", "", "1.0.0", "0" } }));
    UpdateService service;
    service.set("/v1/app-files",
                appFilesAnswer("1.0.3",
                               { { "1", "release-notes.txt", "", "1.0.1", {} },
                                 { "3", "templates", "templates\\", "1.0.3", {} } }));
    TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
    const QJsonArray toDownload = updater.CheckUpdates().value(QStringLiteral("files")).toArray();
    QCOMPARE(updater.Error(), QString());
    QCOMPARE(service.server.requestCount(), 1);
    QCOMPARE(service.server.lastRequest().header("Authorization"), QByteArray("Bearer orv-token"));
    const QByteArray expectedRecord = R"({
    "app_ver": "1.0.1",
    "app_ver_new": "1.0.3",
    "app_update": "1",
    "files": [
        {
            "file_id": "1",
            "filename": "release-notes.txt",
            "path": "",
            "app_version": "1.0.1",
            "action": "0"
        },
        {
            "file_id": "3",
            "filename": "templates",
            "path": "templates\\",
            "app_version": "1.0.3",
            "action": "1"
        }
    ]
}
)";
    QCOMPARE(readFile(record()), expectedRecord);
    QCOMPARE(toDownload.size(), 1);
    QCOMPARE(toDownload.at(0)[QStringLiteral("file_id")].toString(), QStringLiteral("3"));
    QVERIFY(!QFileInfo::exists(staging())); // a check downloads nothing
}

// One file id under two paths: the launcher could install only one of them,
// yet record both as up to date.
void tst_Updater::fileListedTwiceIsRefused()
{
    const QByteArray installed = localRecord("1.0.1", { { "42", "com.bpl", "bin\\", "1.0.1", "0" } });
    writeFile(record(), installed);
    UpdateService service;
    service.set(
        "/v1/app-files",
        appFilesAnswer("1.0.3",
                       { { "42", "com.bpl", "bin\\", "1.0.3", {} }, { "42", "other.bpl", "lib\\", "1.0.3", {} } }));
    service.set("/v1/download/42", zipReply(makeZip({ { "com.bpl", "library 1.0.3" } })));
    TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
    QVERIFY(!updater.StageUpdates());
    QCOMPARE(updater.Error(), QStringLiteral("The answer of \"/v1/app-files\" lists the file \"42\" more than once."));
    QCOMPARE(readFile(record()), installed);
    QVERIFY(service.downloadedIds().isEmpty());
    QVERIFY(!QFileInfo::exists(staging()));
}

void tst_Updater::launchersWorkIsLeftAlone_data()
{
    QTest::addColumn<bool>("lockHeld");
    QTest::addColumn<QString>("error");
    QTest::newRow("launcher applying")
        << true
        << "Another ZeltERP is updating this installation. Nothing has been changed; try again once it has "
           "finished.";
    QTest::newRow("interrupted apply left behind")
        << false
        << "An interrupted update has not been finished yet. Start ZeltERP again to finish it; the installed "
           "version has not been changed.";
}

// Another client's launcher works in the staging folder (or its journal
// waits there for recovery): staging now would take its journal away, and
// with it every way back from a half-replaced installation.
void tst_Updater::launchersWorkIsLeftAlone()
{
    QFETCH(bool, lockHeld);
    QFETCH(QString, error);
    QLockFile launcherLock(m_app + QStringLiteral("ZeltLauncher.lock"));
    if (lockHeld)
        QVERIFY(launcherLock.tryLock(0));
    const QByteArray installed = localRecord("1.0.1", { { "42", "com.bpl", "bin\\", "1.0.1", "0" } });
    writeFile(record(), installed);
    writeFile(staging() + QStringLiteral("journal.json"), R"({"app_ver_new": "1.0.2"})");
    writeFile(staging() + QStringLiteral("staged.json"), R"({"app_ver_new": "1.0.2", "files": []})");
    writeFile(staging() + QStringLiteral("bin/extract/com.bpl"), "library 1.0.2");
    UpdateService service;
    service.set("/v1/app-files", appFilesAnswer("1.0.3", { { "42", "com.bpl", "bin\\", "1.0.3", {} } }));
    service.set("/v1/download/42", zipReply(makeZip({ { "com.bpl", "library 1.0.3" } })));
    const QMap<QString, QByteArray> before = snapshot(staging());
    {
        TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
        QVERIFY(!updater.StageUpdates());
        QCOMPARE(updater.Error(), error);
    }
    QCOMPARE(snapshot(staging()), before);
    QCOMPARE(readFile(record()), installed);
    QCOMPARE(service.server.requestCount(), 0);
    if (lockHeld) { // once the launcher is done, updating works again
        launcherLock.unlock();
        QVERIFY(QFile::remove(staging() + QStringLiteral("journal.json")));
        TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
        QVERIFY2(updater.StageUpdates(), qPrintable(updater.Error()));
        QCOMPARE(readFile(staging() + QStringLiteral("bin/extract/com.bpl")), QByteArray("library 1.0.3"));
    }
}

void tst_Updater::updateNowStagesEveryFileOrNothing_data()
{
    QTest::addColumn<Reply>("reply"); // for the new file 3
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("reason"); // empty: any text
    QTest::newRow("every download done") << Reply() << false << QString();
    QTest::newRow("404") << Reply::json(R"({"message":"File 3 not found."})", 404) << true << "HTTP 404 Not Found";
    QTest::newRow("dropped connection") << Reply::withAction(Reply::Action::CloseWithoutAnswer) << true << QString();
    QTest::newRow("not an archive") << zipReply("PK but not really") << true << "the archive cannot be opened";
}

// The launcher starts only once every download has finished; a failed one changes nothing.
void tst_Updater::updateNowStagesEveryFileOrNothing()
{
    QFETCH(Reply, reply);
    QFETCH(bool, fails);
    QFETCH(QString, reason);
    writeFile(record(), localRecord("1.0.1", { { "42", "com.bpl", "bin\\", "1.0.1", "0" } }));
    writeFile(m_app + QStringLiteral("bin/com.bpl"), "installed library");
    writeFile(staging() + QStringLiteral("leftover/from-an-old-run.txt"), "stale");
    UpdateService service;
    service.set(
        "/v1/app-files",
        appFilesAnswer("1.0.3", { { "42", "com.bpl", "bin\\", "1.0.3", {} }, { "3", "templates", "", "1.0.2", {} } }));
    const QByteArray com = makeZip({ { "com.bpl", "library 1.0.3" } });
    const QByteArray templates =
        makeZip({ { "letters/welcome.txt", "welcome 1.0.2" }, { "quotation.txt", "quotation 1.0.2" } });
    service.set("/v1/download/42", zipReply(com));
    if (!fails) {
        reply = zipReply(templates);
        reply.delayMs = 300;
    }
    service.set("/v1/download/3", reply);
    auto witness = std::make_unique<StagingWitness>();
    StagingWitness *launcher = witness.get();
    Platform::setProcessLauncher(std::move(witness));
    const QMap<QString, QByteArray> before = outsideStaging();
    TLoginFrm form(nullptr);
    updateNow(form, service);
    QCOMPARE(outsideStaging(), before); // applying is the launcher's
    if (fails) { // the form names the file; nothing staged, the launcher not started
        const QString message = form.lblMessage->text();
        const QString prefix = QStringLiteral("The update could not be downloaded. The installed version has not been "
                                              "changed.\ntemplates (file 3): ");
        QVERIFY2(message.startsWith(prefix), qPrintable(message));
        if (!reason.isEmpty())
            QCOMPARE(message, prefix + reason);
        QVERIFY(service.downloadedIds().contains(QStringLiteral("42")));
        QVERIFY(!QFileInfo::exists(staging()));
        QVERIFY(launcher->calls.isEmpty());
        QCOMPARE(form.result(), 0);
        QCOMPARE(form.btnUpdateNow->text(), QStringLiteral("Update Now"));
        QVERIFY(form.btnUpdateNow->isEnabled());
        // the record now lists the new file with the server's version: it is fetched again next time
        service.set("/v1/download/3", zipReply(templates));
        TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
        QVERIFY2(updater.StageUpdates(), qPrintable(updater.Error()));
        QCOMPARE(service.downloadedIds().constLast(), QStringLiteral("3"));
        QCOMPARE(readFile(staging() + QStringLiteral("extract/quotation.txt")), QByteArray("quotation 1.0.2"));
        return;
    }
    QCOMPARE(form.lblMessage->text(), QString());
    QCOMPARE(form.result(), int(Platform::ModalResult::Cancel));
    QCOMPARE(launcher->calls.size(), 1);
    QCOMPARE(launcher->calls.at(0).program, m_app + QStringLiteral("ZeltLauncher"));
    QCOMPARE(service.downloadedIds(), (QStringList { "42", "3" }));
    // when it started, every archive was kept and unpacked and the manifest written
    QMap<QString, QByteArray> staged = launcher->stagedAtStart;
    const QByteArray manifest = staged.take(QStringLiteral("staged.json"));
    const QMap<QString, QByteArray> expected { { "bin/zip/42.zip", com },
                                               { "bin/extract/com.bpl", "library 1.0.3" },
                                               { "zip/3.zip", templates },
                                               { "extract/letters/welcome.txt", "welcome 1.0.2" },
                                               { "extract/quotation.txt", "quotation 1.0.2" } };
    QCOMPARE(staged, expected);
    QCOMPARE(QJsonDocument::fromJson(manifest).object(),
             QJsonDocument::fromJson(R"({"app_ver_new": "1.0.3", "files": [
        {"file_id": "42", "filename": "com.bpl", "path": "bin/", "app_version": "1.0.3", "staged": ["com.bpl"]},
        {"file_id": "3", "filename": "templates", "path": "", "app_version": "1.0.2",
         "staged": ["letters/welcome.txt", "quotation.txt"]}]})")
                 .object());
}

void tst_Updater::hostileEntriesAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<ZipItem>>("items"); // empty: refused before it is asked for
    QTest::addColumn<QString>("error"); // %ROOT%: the temporary root
    const auto leads = [](const char *what, const QString &name) {
        return QStringLiteral("refused, the %1 \"%2\" leads outside the update folder").arg(QLatin1String(what), name);
    };
    for (const char *path : { "../", "..\\..\\", "%ROOT%/abs/" })
        QTest::newRow(path) << QString::fromLatin1(path) << QList<ZipItem>() << leads("path", QLatin1String(path));
    const auto entryRow = [&](const char *name, const QList<ZipItem> &items) {
        QTest::newRow(name) << "bin/" << items << leads("archive entry", items.constLast().name);
    };
    entryRow("entry ..", { { "../../../../../evil.txt", "x" } });
    entryRow("absolute entry", { { "%ROOT%/abs/evil.txt", "x" } });
    entryRow("good entry then a bad one", { { "good.txt", "fine" }, { "sub/../../../../../../evil.txt", "x" } });
    QTest::newRow("link") << "bin/" << QList<ZipItem> { { "link", "%ROOT%", true } }
                          << "refused, the archive entry \"link\" is a link";
    QTest::newRow("device path") << "bin/CON/" << QList<ZipItem>()
                                 << "refused, the path \"bin/CON/\" cannot be installed safely: \"CON\" is a device "
                                    "name on Windows";
    QTest::newRow("device entry") << "bin/" << QList<ZipItem> { { "good.txt", "fine" }, { "sub/NUL.so", "x" } }
                                  << "refused, the archive entry \"sub/NUL.so\" cannot be installed safely: "
                                     "\"NUL.so\" is a device name on Windows";
    QTest::newRow("entry ending in a dot") << "bin/" << QList<ZipItem> { { "libcom.so.", "x" } }
                                           << "refused, the archive entry \"libcom.so.\" cannot be installed "
                                              "safely: \"libcom.so.\" ends in a dot or a blank, which Windows drops";
    // the staging folder's own bookkeeping, in any case
    QTest::newRow("journal path") << "Journal.json/" << QList<ZipItem>()
                                  << "refused, the path \"Journal.json/\" cannot be installed safely: \"Journal.json\" "
                                     "is a name the update folder itself uses";
    QTest::newRow("no files") << "bin/" << QList<ZipItem> { { "empty/", "" } } << "refused, the archive holds no files";
}

void tst_Updater::hostileEntriesAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QList<ZipItem>, items);
    QFETCH(QString, error);
    // absolute names point into the temporary root, where the test can look
    const QString root = m_root->path();
    path.replace(QLatin1String("%ROOT%"), root);
    error.replace(QLatin1String("%ROOT%"), root);
    for (ZipItem &item : items) {
        item.name.replace(QLatin1String("%ROOT%"), root);
        item.content.replace("%ROOT%", root.toUtf8());
    }
    const bool requested = !items.isEmpty();
    UpdateService service;
    service.set("/v1/download/50", zipReply(makeZip(requested ? items : QList<ZipItem> { { "evil.txt", "x" } })));
    const QByteArray report = makeZip({ { "customer-list.txt", "report" } });
    service.set("/v1/download/7", zipReply(report));
    const QMap<QString, QByteArray> before = outsideStaging();
    const QJsonArray files { toFetch("50", "evil.txt", path), toFetch("7", "customer-list.txt", "reports/") };
    TZeltDownloader downloader(service.server.url(), QJsonObject { { "files", files } }, Token, nullptr);
    downloader.start();
    QVERIFY(downloader.wait(30000));
    const QList<TZeltDownloader::TFileResult> results = downloader.Results();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).Error, error);
    QVERIFY(!results.at(0).Ok);
    QCOMPARE(service.downloadedIds().contains(QStringLiteral("50")), requested);
    QVERIFY2(results.at(1).Ok, qPrintable(results.at(1).Error));
    // nothing written for the hostile one, nor anywhere outside the staging
    const QMap<QString, QByteArray> expected { { "reports/zip/7.zip", report },
                                               { "reports/extract/customer-list.txt", "report" } };
    QCOMPARE(filesUnder(staging()), expected);
    QCOMPARE(outsideStaging(), before);
}

void tst_Updater::signedArchives_data()
{
    QTest::addColumn<bool>("keyConfigured");
    QTest::addColumn<QString>("signature"); // "good", "none", "other key"
    QTest::addColumn<bool>("tampered"); // the archive served differs from the one signed
    QTest::addColumn<QString>("error"); // empty: staged
    const QString notSigned = QStringLiteral("refused, the archive is not signed and this installation accepts "
                                             "signed updates only");
    const QString mismatch = QStringLiteral("refused, the archive's signature does not match this installation's "
                                            "update key");
    QTest::newRow("good signature") << true << "good" << false << QString();
    QTest::newRow("signature missing") << true << "none" << false << notSigned;
    QTest::newRow("signed with another key") << true << "other key" << false << mismatch;
    QTest::newRow("tampered archive") << true << "good" << true << mismatch;
    QTest::newRow("no key configured") << false << "none" << false << QString();
    QTest::newRow("no key, signature ignored") << false << "other key" << true << QString();
}

// Through the form's "Update Now", with the key of app.conf.
void tst_Updater::signedArchives()
{
    QFETCH(bool, keyConfigured);
    QFETCH(QString, signature);
    QFETCH(bool, tampered);
    QFETCH(QString, error);
    QVERIFY(sodium_init() >= 0);
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES], secretKey[crypto_sign_SECRETKEYBYTES];
    unsigned char otherPublic[crypto_sign_PUBLICKEYBYTES], otherSecret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    crypto_sign_keypair(otherPublic, otherSecret);
    const auto sign = [](const unsigned char *key, const QByteArray &message) {
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char *>(message.constData()),
                             quint64(message.size()), key);
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(sig), crypto_sign_BYTES).toBase64());
    };

    if (keyConfigured) {
        writeFile(m_app + QStringLiteral("app.conf"),
                  "[URL]\nApiURL=x\n\n[Update]\nPublicKey="
                      + QByteArray(reinterpret_cast<const char *>(publicKey), sizeof publicKey).toBase64() + "\n");
    }
    writeFile(record(), localRecord("1.0.1", { { "42", "com.bpl", "bin\\", "1.0.1", "0" } }));
    writeFile(m_app + QStringLiteral("bin/com.bpl"), "installed library");
    const QByteArray archive = makeZip({ { "com.bpl", "library 1.0.3" } });
    const QByteArray message = UpdateSignedMessage("42", "bin\\", "com.bpl", archive);
    QJsonObject file {
        { "file_id", "42" }, { "filename", "com.bpl" }, { "path", "bin\\" }, { "app_version", "1.0.3" }
    };
    if (signature == QLatin1String("good"))
        file.insert(QStringLiteral("signature"), sign(secretKey, message));
    else if (signature == QLatin1String("other key"))
        file.insert(QStringLiteral("signature"), sign(otherSecret, message));
    UpdateService service;
    service.set("/v1/app-files",
                Reply::json(QJsonDocument(QJsonObject { { "app_ver", "1.0.3" }, { "files", QJsonArray { file } } })
                                .toJson(QJsonDocument::Compact)));
    service.set("/v1/download/42", zipReply(tampered ? makeZip({ { "com.bpl", "library 6.6.6" } }) : archive));
    auto recording = std::make_unique<RecordingProcessLauncher>();
    RecordingProcessLauncher *launcher = recording.get();
    Platform::setProcessLauncher(std::move(recording));

    TLoginFrm form(nullptr);
    updateNow(form, service);
    if (error.isEmpty()) {
        QCOMPARE(form.lblMessage->text(), QString());
        QCOMPARE(launcher->calls.size(), 1);
        QVERIFY(QFileInfo::exists(staging() + QStringLiteral("staged.json")));
        return;
    }
    QCOMPARE(form.lblMessage->text(),
             QStringLiteral("The update could not be downloaded. The installed version has "
                            "not been changed.\ncom.bpl (file 42): ")
                 + error);
    QVERIFY(launcher->calls.isEmpty());
    QVERIFY(!QFileInfo::exists(staging())); // nothing staged, not even the archive
    QCOMPARE(readFile(m_app + QStringLiteral("bin/com.bpl")), QByteArray("installed library"));
}

// Cancelled half-way (the updater goes while a download runs): no archive,
// no unpacked file stays where a later apply could find it.
void tst_Updater::cancelledDownloadLeavesNothing()
{
    writeFile(record(), localRecord("1.0.1", {}));
    UpdateService service;
    service.set(
        "/v1/app-files",
        appFilesAnswer("1.0.3", { { "42", "com.bpl", "bin\\", "1.0.3", {} }, { "3", "templates", "", "1.0.2", {} } }));
    service.set("/v1/download/42", zipReply(makeZip({ { "com.bpl", "library 1.0.3" } })));
    Reply slow = zipReply(makeZip({ { "quotation.txt", "quotation 1.0.2" } }));
    slow.delayMs = 3000;
    service.set("/v1/download/3", slow);
    auto updater = std::make_unique<TZeltUpdater>(service.server.url(), Token, record(), nullptr);
    QVERIFY(updater->DownloadUpdates());
    QTRY_VERIFY(QFileInfo::exists(staging() + QStringLiteral("bin/extract/com.bpl")));
    QElapsedTimer timer;
    timer.start();
    updater.reset();
    QVERIFY(timer.elapsed() < 2500); // the download was stopped, not waited for
    QVERIFY(!QFileInfo::exists(staging()));
}

// An archive the service moves to a download host arrives; the user's token
// stays with the service.
void tst_Updater::downloadHostNeverSeesTheToken()
{
    writeFile(record(), localRecord("1.0.1", {}));
    const QByteArray com = makeZip({ { "com.bpl", "library 1.0.3" } });
    TestHttpServer host([&](const RecordedRequest &r) {
        return r.path == QLatin1String("/archives/42.zip") ? zipReply(com) : Reply::json("{}", 404);
    });
    UpdateService service;
    service.set("/v1/app-files", appFilesAnswer("1.0.3", { { "42", "com.bpl", "bin\\", "1.0.3", {} } }));
    Reply moved = Reply::json({}, 302);
    moved.addHeader("Location", "/mirror/42");
    service.set("/v1/download/42", moved);
    Reply away = Reply::json({}, 307);
    away.addHeader("Location", (host.url() + QStringLiteral("/archives/42.zip")).toUtf8());
    service.set("/mirror/42", away);

    TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
    QVERIFY2(updater.StageUpdates(), qPrintable(updater.Error()));
    QCOMPARE(readFile(staging() + QStringLiteral("bin/extract/com.bpl")), QByteArray("library 1.0.3"));
    QCOMPARE(service.downloadedIds(), QStringList { QStringLiteral("42") });
    // on its own server the token goes along; the download host never sees it
    const QList<RecordedRequest> asked = service.server.requests();
    QVERIFY(std::any_of(asked.begin(), asked.end(), [](const RecordedRequest &r) {
        return r.path == QLatin1String("/mirror/42") && r.header("Authorization").contains(Token.toUtf8());
    }));
    QCOMPARE(host.requestCount(), 1);
    QVERIFY(!host.requests().at(0).hasHeader("Authorization"));
}

QTEST_MAIN(tst_Updater)
#include "tst_updater.moc"
