#include "AppPaths.h"
#include "DialogPresenter.h"
#include "Errors.h"
#include "GlobalVarsU.h"
#include "LoginFrmU.h"
#include "RecordingProcessLauncher.h"
#include "TestHttpServer.h"
#include "UpdateFixtures.h"
#include "UpdaterU.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMutex>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateFixtures;
using Item = ZipItem;

Q_DECLARE_METATYPE(Reply)
Q_DECLARE_METATYPE(QList<UpdateFixtures::ZipItem>)

namespace {

const QString Token = QStringLiteral("orv-token");
const QString DownloadFailed =
    QStringLiteral("The update could not be downloaded. The installed version has not been changed.");

struct FileRow
{
    QString fileId;
    QString filename;
    QString path;
    QString version;
    QString action; // for local records; empty: no "action" member
};

// {"app_ver", "files"} as the service answers it (compact) or as the local
// record holds it (indented, with "action" where given).
QByteArray filesJson(const QString &appVer, const QList<FileRow> &files, bool record)
{
    QJsonArray array;
    for (const FileRow &f : files) {
        QJsonObject o { { QStringLiteral("file_id"), f.fileId },
                        { QStringLiteral("filename"), f.filename },
                        { QStringLiteral("path"), f.path },
                        { QStringLiteral("app_version"), f.version } };
        if (!f.action.isEmpty())
            o.insert(QStringLiteral("action"), f.action);
        array.append(o);
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("app_ver"), appVer }, { QStringLiteral("files"), array } })
        .toJson(record ? QJsonDocument::Indented : QJsonDocument::Compact);
}
QByteArray appFilesAnswer(const QString &appVer, const QList<FileRow> &files) { return filesJson(appVer, files, false); }
QByteArray localRecord(const QString &appVer, const QList<FileRow> &files) { return filesJson(appVer, files, true); }

// One entry of a download list, to be fetched.
QJsonObject toFetch(const QString &fileId, const QString &filename, const QString &path)
{
    return { { "file_id", fileId }, { "filename", filename }, { "path", path }, { "app_version", "1" }, { "action", "1" } };
}

// The files under a folder, without the folders.
QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files = snapshot(folder);
    files.removeIf([](const auto &item) { return item.value() == "<folder>"; });
    return files;
}

// The customer service: "/v1/app-files" and "/v1/download/{id}" as scripted;
// anything else is 404.
class UpdateService
{
public:
    UpdateService()
        : server([this](const RecordedRequest &r) { return answer(r); })
    {
    }

    void setAppFiles(Reply reply)
    {
        QMutexLocker lock(&m_mutex);
        m_appFiles = std::move(reply);
    }
    void setDownload(const QString &fileId, Reply reply)
    {
        QMutexLocker lock(&m_mutex);
        m_downloads.insert(fileId, std::move(reply));
    }
    QStringList downloadedIds() const
    {
        QStringList ids;
        const QList<RecordedRequest> requests = server.requests();
        for (const RecordedRequest &r : requests) {
            if (r.path.startsWith(QLatin1String("/v1/download/")))
                ids << r.path.mid(13);
        }
        return ids;
    }

private:
    Reply answer(const RecordedRequest &r)
    {
        QMutexLocker lock(&m_mutex);
        if (r.path == QLatin1String("/v1/app-files"))
            return m_appFiles;
        if (r.path.startsWith(QLatin1String("/v1/download/")) && m_downloads.contains(r.path.mid(13)))
            return m_downloads.value(r.path.mid(13));
        return Reply::json(R"({"message":"File not found."})", 404);
    }

    QMutex m_mutex;
    Reply m_appFiles = Reply::json("{}");
    QHash<QString, Reply> m_downloads;

public:
    TestHttpServer server; // last: its thread stops before the script goes
};

QString kindOf(const Platform::Error &e)
{
    if (dynamic_cast<const Platform::TransportError *>(&e))
        return QStringLiteral("transport");
    if (dynamic_cast<const Platform::NotFoundError *>(&e))
        return QStringLiteral("not found");
    if (dynamic_cast<const Platform::ConversionError *>(&e))
        return QStringLiteral("conversion");
    if (dynamic_cast<const Platform::JsonMemberError *>(&e))
        return QStringLiteral("member");
    return QStringLiteral("error");
}

} // namespace

class tst_Updater : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void findJSONArrayItem_data();
    void findJSONArrayItem();

    void checkUpdatesRewritesRecord();
    void sameListDownloadsNothing();
    void unappliedEntryIsDownloadedAgain();
    void failedCheckWritesNothing_data();
    void failedCheckWritesNothing();
    void brokenInputWritesNothing_data();
    void brokenInputWritesNothing();

    void stagesArchivesIntoTheLayout();
    void progressOnTheButton_data();
    void progressOnTheButton();
    void failedDownloadStagesNothing_data();
    void failedDownloadStagesNothing();
    void hostileEntriesAreRefused_data();
    void hostileEntriesAreRefused();
    void archiveLimits_data();
    void archiveLimits();
    void getFileReplacesOnlyOnSuccess();
    void stoppingADownloadIsPrompt();

    void launcherCommandLine();
    void updateNowFromTheSignInForm();
    void updateNowFailuresStayOnTheForm();

private:
    QString app() const { return m_app; }
    QString staging() const { return m_app + QStringLiteral("updates/"); }
    QString record() const { return m_app + QStringLiteral("updates.json"); }
    // Runs a downloader over the list to its end.
    QList<TZeltDownloader::TFileResult> download(const QJsonArray &files, UpdateService &service,
                                                 std::function<void(TZeltDownloader &)> setUp = {});
    // Everything under the temporary root except the staging folder and the record.
    QMap<QString, QByteArray> outsideStaging() const;

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
}

void tst_Updater::cleanup()
{
    Platform::setApplicationFolder(QString());
    Platform::setProcessLauncher(nullptr);
    OrvUrl.clear();
    OrvToken.clear();
    m_root.reset();
}

QList<TZeltDownloader::TFileResult> tst_Updater::download(const QJsonArray &files, UpdateService &service,
                                                          std::function<void(TZeltDownloader &)> setUp)
{
    TZeltDownloader downloader(service.server.url(),
                               QJsonObject { { QStringLiteral("app_ver"), QStringLiteral("1.0.0") },
                                             { QStringLiteral("files"), files } },
                               Token, nullptr);
    if (setUp)
        setUp(downloader);
    downloader.start();
    if (!downloader.wait(30000))
        qWarning("the downloader did not finish");
    return downloader.Results();
}

QMap<QString, QByteArray> tst_Updater::outsideStaging() const
{
    QMap<QString, QByteArray> all = snapshot(m_root->path());
    all.removeIf([](const auto &item) {
        return item.key() == QLatin1String("outer/app/updates.json") || item.key() == QLatin1String("outer/app/updates")
            || item.key().startsWith(QLatin1String("outer/app/updates/"));
    });
    return all;
}

// ---------------------------------------------------------------- FindJSONArrayItem

void tst_Updater::findJSONArrayItem_data()
{
    QTest::addColumn<QByteArray>("array");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected"); // compact JSON, empty: none

    const QByteArray files = R"([{"file_id":"1","n":"a"},{"file_id":"2","n":"b"},{"file_id":"1","n":"c"}])";
    QTest::newRow("the last of several") << files << "file_id" << "1" << QByteArray(R"({"file_id":"1","n":"c"})");
    QTest::newRow("none") << files << "file_id" << "3" << QByteArray();
    QTest::newRow("a number is not the text") << QByteArray(R"([{"file_id":1}])") << "file_id" << "1" << QByteArray();
    QTest::newRow("entries of other kinds are passed over")
        << QByteArray(R"([7,"1",null,{"file_id":"1"}])") << "file_id" << "1" << QByteArray(R"({"file_id":"1"})");
    QTest::newRow("a dotted path") << QByteArray(R"([{"a":{"b":"x"}},{"a":{"b":"y"}}])") << "a.b" << "y"
                                   << QByteArray(R"({"a":{"b":"y"}})");
}

void tst_Updater::findJSONArrayItem()
{
    QFETCH(QByteArray, array);
    QFETCH(QString, path);
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);

    const QJsonValue found = FindJSONArrayItem(QJsonDocument::fromJson(array).array(), path, value);
    if (expected.isEmpty()) {
        QVERIFY(found.isUndefined());
    } else {
        QVERIFY(found.isObject());
        QCOMPARE(QJsonDocument(found.toObject()).toJson(QJsonDocument::Compact), expected);
    }
}

// ---------------------------------------------------------------- CheckUpdates

void tst_Updater::checkUpdatesRewritesRecord()
{
    // Given an installed build with an unchanged, a changed and a retired file
    writeFile(record(), localRecord(QStringLiteral("1.0.1"),
                                    { { "1", "release-notes.txt", "", "1.0.1", "0" },
                                      { "2", "customer-list.txt", "reports/", "1.0.1", "0" },
                                      { "9", "old.txt", "", "1.0.0", "0" } }));
    UpdateService service;
    service.setAppFiles(Reply::json(appFilesAnswer(QStringLiteral("1.0.3"),
                                                   { { "1", "release-notes.txt", "", "1.0.1", {} },
                                                     { "2", "customer-list.txt", "reports/", "1.0.2", {} },
                                                     { "3", "templates", "templates\\", "1.0.3", {} } })));

    // When the updater checks
    QJsonObject list;
    {
        TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
        list = updater.CheckUpdates();
        QCOMPARE(updater.Error(), QString());
    }

    // Then the service was asked once, with the customer token
    QCOMPARE(service.server.requestCount(), 1);
    const RecordedRequest request = service.server.lastRequest();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, QStringLiteral("/v1/app-files"));
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer orv-token"));
    QCOMPARE(request.header("Accept-Language"), QByteArray("en_US"));

    // and the record says what is installed and what is to come, in its order
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
            "file_id": "2",
            "filename": "customer-list.txt",
            "path": "reports/",
            "app_version": "1.0.1",
            "action": "1"
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

    // and the download list holds the installed build and the two to fetch
    const QJsonObject expectedList = QJsonDocument::fromJson(R"({"app_ver":"1.0.1","files":[
        {"file_id":"2","filename":"customer-list.txt","path":"reports/","app_version":"1.0.1","action":"1"},
        {"file_id":"3","filename":"templates","path":"templates\\","app_version":"1.0.3","action":"1"}]})")
                                         .object();
    QCOMPARE(list, expectedList);
    // nothing was downloaded by a check
    QVERIFY(!QFileInfo::exists(staging()));
}

void tst_Updater::sameListDownloadsNothing()
{
    const QList<FileRow> files = { { "1", "release-notes.txt", "", "1.0.3", "0" },
                                   { "2", "customer-list.txt", "reports/", "1.0.2", "0" } };
    writeFile(record(), localRecord(QStringLiteral("1.0.2"), files));
    UpdateService service;
    service.setAppFiles(Reply::json(appFilesAnswer(QStringLiteral("1.0.3"), files)));

    QPushButton button(QStringLiteral("Update Now"));
    {
        TZeltUpdater updater(service.server.url(), Token, record(), &button);
        QVERIFY(!updater.DownloadUpdates());
        QVERIFY(!updater.Downloader());
        QVERIFY(updater.WaitForDownloads());
    }

    const QJsonObject written = QJsonDocument::fromJson(readFile(record())).object();
    const QJsonArray entries = written.value(QStringLiteral("files")).toArray();
    QCOMPARE(entries.size(), 2);
    for (const QJsonValue &e : entries)
        QCOMPARE(e.toObject().value(QStringLiteral("action")).toString(), QStringLiteral("0"));
    QVERIFY(service.downloadedIds().isEmpty());
    // an empty but complete staging: the launcher only records the new build
    QCOMPARE(readFile(staging() + QStringLiteral("staged.json")),
             QByteArray("{\n    \"app_ver_new\": \"1.0.3\",\n    \"files\": []\n}\n"));
    QCOMPARE(button.text(), QStringLiteral("Applying and restart."));
    QVERIFY(!button.isEnabled());
}

void tst_Updater::unappliedEntryIsDownloadedAgain()
{
    // a file first seen by an earlier check is recorded with the server's
    // version but "action" "1": it was never installed
    writeFile(record(), localRecord(QStringLiteral("1.0.1"), { { "3", "templates", "templates/", "1.0.3", "1" } }));
    UpdateService service;
    service.setAppFiles(
        Reply::json(appFilesAnswer(QStringLiteral("1.0.3"), { { "3", "templates", "templates/", "1.0.3", {} } })));

    TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
    const QJsonObject list = updater.CheckUpdates();
    QCOMPARE(list.value(QStringLiteral("files")).toArray().size(), 1);
    const QJsonObject entry = QJsonDocument::fromJson(readFile(record()))
                                  .object()
                                  .value(QStringLiteral("files"))
                                  .toArray()
                                  .at(0)
                                  .toObject();
    QCOMPARE(entry.value(QStringLiteral("action")).toString(), QStringLiteral("1"));
}

void tst_Updater::failedCheckWritesNothing_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error");

    QTest::newRow("401 with a message") << 401 << QByteArray(R"({"message":"x"})") << "x";
    QTest::newRow("500 with text") << 500 << QByteArray("oops") << "oops";
    QTest::newRow("403 with JSON but no message") << 403 << QByteArray(R"({"error":"no"})") << R"({"error":"no"})";
}

void tst_Updater::failedCheckWritesNothing()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, error);

    const QByteArray before = localRecord(QStringLiteral("1.0.1"), { { "1", "a.txt", "", "1.0.1", "0" } });
    writeFile(record(), before);
    UpdateService service;
    Reply reply = Reply::text(body, status);
    service.setAppFiles(reply);

    QPushButton button(QStringLiteral("Update Now"));
    {
        TZeltUpdater updater(service.server.url(), Token, record(), &button);
        QCOMPARE(updater.CheckUpdates(), QJsonObject());
        QCOMPARE(updater.Error(), error);
        try {
            updater.DownloadUpdates();
            QFAIL("DownloadUpdates went on after a failed check");
        } catch (const Platform::Error &e) {
            QCOMPARE(e.message(), error);
        }
        QVERIFY(!updater.StageUpdates());
        QCOMPARE(updater.Error(), error);
    }
    QCOMPARE(readFile(record()), before);
    QVERIFY(!QFileInfo::exists(staging()));
    // the button can be used again
    QCOMPARE(button.text(), QStringLiteral("Update Now"));
    QVERIFY(button.isEnabled());
}

void tst_Updater::brokenInputWritesNothing_data()
{
    QTest::addColumn<bool>("hasRecord");
    QTest::addColumn<QByteArray>("localText");
    QTest::addColumn<Reply>("answer");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // %1: the record's path

    const QByteArray good = localRecord(QStringLiteral("1.0.1"), { { "1", "a.txt", "", "1.0.1", "0" } });
    const Reply goodAnswer = Reply::json(appFilesAnswer(QStringLiteral("1.0.2"), { { "1", "a.txt", "", "1.0.2", {} } }));

    QTest::newRow("answer is an array") << true << good << Reply::json("[1,2]") << "conversion"
                                        << "The answer of \"/v1/app-files\" is not a JSON object.";
    QTest::newRow("answer without files") << true << good << Reply::json(R"({"app_ver":"1"})") << "member"
                                          << "JSON member \"files\" is missing";
    QTest::newRow("server file id is a number")
        << true << good
        << Reply::json(R"({"app_ver":"1","files":[{"file_id":1,"filename":"a","path":"","app_version":"1"}]})")
        << "member"
        << "JSON member \"files.0.file_id\" is not a string but a number";
    QTest::newRow("no record") << false << QByteArray() << goodAnswer << "not found"
                               << "Cannot open file \"%1\". The file does not exist.";
    QTest::newRow("record is damaged") << true << QByteArray("{\"app_ver\": \"1.0") << goodAnswer << "conversion"
                                       << "\"%1\" is damaged: it is not a JSON object.";
    QTest::newRow("record entry without version")
        << true << QByteArray(R"({"app_ver":"1.0.1","files":[{"file_id":"1"}]})") << goodAnswer << "member"
        << "JSON member \"files.0.app_version\" is missing";
    QTest::newRow("service drops the connection")
        << true << good << Reply::withAction(Reply::Action::CloseWithoutAnswer) << "transport" << QString();
}

void tst_Updater::brokenInputWritesNothing()
{
    QFETCH(bool, hasRecord);
    QFETCH(QByteArray, localText);
    QFETCH(Reply, answer);
    QFETCH(QString, kind);
    QFETCH(QString, message);

    if (hasRecord)
        writeFile(record(), localText);
    UpdateService service;
    service.setAppFiles(answer);

    TZeltUpdater updater(service.server.url(), Token, record(), nullptr);
    try {
        updater.CheckUpdates();
        QFAIL("CheckUpdates accepted broken input");
    } catch (const Platform::Error &e) {
        QCOMPARE(kindOf(e), kind);
        if (message.contains(QLatin1String("%1")))
            QCOMPARE(e.message(), message.arg(QDir::toNativeSeparators(record())));
        else if (!message.isEmpty())
            QCOMPARE(e.message(), message);
    }
    QCOMPARE(QFileInfo::exists(record()), hasRecord);
    if (hasRecord)
        QCOMPARE(readFile(record()), localText);
    QVERIFY(!updater.StageUpdates());
    QVERIFY(!updater.Error().isEmpty());
    QVERIFY(!QFileInfo::exists(staging()));
}

// ---------------------------------------------------------------- downloads

void tst_Updater::stagesArchivesIntoTheLayout()
{
    // Given three files to fetch: one in "bin\", one in "reports/" and a folder at the top
    writeFile(record(), localRecord(QStringLiteral("1.0.1"), { { "7", "customer-list.txt", "reports/", "1.0.1", "0" } }));
    writeFile(app() + QStringLiteral("reports/customer-list.txt"), "installed report");
    UpdateService service;
    service.setAppFiles(Reply::json(appFilesAnswer(QStringLiteral("1.0.3"),
                                                   { { "42", "com.bpl", "bin\\", "1.0.3", {} },
                                                     { "7", "customer-list.txt", "reports/", "1.0.2", {} },
                                                     { "3", "templates", "", "1.0.3", {} } })));
    const QByteArray com = makeZip({ { "com.bpl", "library 1.0.3" } });
    const QByteArray report = makeZip({ { "customer-list.txt", "report 1.0.2" } });
    const QByteArray templates = makeZip({ { "letters/", {}, Item::Kind::Folder },
                                           { "letters/welcome.txt", "welcome 1.0.3" },
                                           { "quotation.txt", "quotation 1.0.3" } });
    service.setDownload(QStringLiteral("42"), zipReply(com));
    service.setDownload(QStringLiteral("7"), zipReply(report));
    service.setDownload(QStringLiteral("3"), zipReply(templates));
    writeFile(staging() + QStringLiteral("leftover/from-an-old-run.txt"), "stale");
    const QMap<QString, QByteArray> before = outsideStaging();

    // When the update is staged
    QPushButton button(QStringLiteral("Update Now"));
    QList<QList<qint64>> progress;
    bool staged = false;
    {
        TZeltUpdater updater(service.server.url(), Token, record(), &button);
        QCOMPARE(button.text(), QStringLiteral("Downloading Updates.."));
        QVERIFY(!button.isEnabled());
        connect(&updater, &TZeltUpdater::DownloadProgress, this,
                [&](int i, int n, qint64 done, qint64 total) { progress.append({ i, n, done, total }); });
        staged = updater.StageUpdates();
        QVERIFY2(staged, qPrintable(updater.Error()));
    }
    QCOMPARE(button.text(), QStringLiteral("Applying and restart."));
    QVERIFY(!button.isEnabled());

    // Then each archive was fetched with the customer token, in the list's order
    QCOMPARE(service.downloadedIds(), (QStringList { "42", "7", "3" }));
    const QList<RecordedRequest> requests = service.server.requests();
    for (const RecordedRequest &r : requests) {
        QCOMPARE(r.header("Authorization"), QByteArray("Bearer orv-token"));
        QCOMPARE(r.header("Accept-Language"), QByteArray("en_US"));
    }

    // and lies in the staging layout, archives kept, contents unpacked
    QMap<QString, QByteArray> expected {
        { "updates", "<folder>" },
        { "updates/bin", "<folder>" },
        { "updates/bin/zip", "<folder>" },
        { "updates/bin/zip/42.zip", com },
        { "updates/bin/extract", "<folder>" },
        { "updates/bin/extract/com.bpl", "library 1.0.3" },
        { "updates/reports", "<folder>" },
        { "updates/reports/zip", "<folder>" },
        { "updates/reports/zip/7.zip", report },
        { "updates/reports/extract", "<folder>" },
        { "updates/reports/extract/customer-list.txt", "report 1.0.2" },
        { "updates/zip", "<folder>" },
        { "updates/zip/3.zip", templates },
        { "updates/extract", "<folder>" },
        { "updates/extract/letters", "<folder>" },
        { "updates/extract/letters/welcome.txt", "welcome 1.0.3" },
        { "updates/extract/quotation.txt", "quotation 1.0.3" },
    };
    QMap<QString, QByteArray> actual = snapshot(app());
    const QByteArray manifest = actual.take(QStringLiteral("updates/staged.json"));
    actual.remove(QStringLiteral("updates.json"));
    actual.remove(QStringLiteral("reports"));
    actual.remove(QStringLiteral("reports/customer-list.txt"));
    QCOMPARE(actual, expected);

    // and the manifest names every staged file with the server's version
    // (only the launcher reads it: its content counts, not its layout)
    QCOMPARE(QJsonDocument::fromJson(manifest).object(), QJsonDocument::fromJson(R"({"app_ver_new": "1.0.3", "files": [
        {"file_id": "42", "filename": "com.bpl", "path": "bin/", "app_version": "1.0.3", "staged": ["com.bpl"]},
        {"file_id": "7", "filename": "customer-list.txt", "path": "reports/", "app_version": "1.0.2",
         "staged": ["customer-list.txt"]},
        {"file_id": "3", "filename": "templates", "path": "", "app_version": "1.0.3",
         "staged": ["letters/welcome.txt", "quotation.txt"]}]})").object());

    // and nothing installed was touched
    QCOMPARE(outsideStaging(), before);
    QCOMPARE(readFile(app() + QStringLiteral("reports/customer-list.txt")), QByteArray("installed report"));

    // and the progress went file by file, each ending with its whole size
    QVERIFY(!progress.isEmpty());
    const QList<qint64> sizes { com.size(), report.size(), templates.size() };
    for (int file = 1; file <= 3; ++file) {
        QList<qint64> last;
        for (const QList<qint64> &p : std::as_const(progress)) {
            QCOMPARE(p.at(1), 3);
            if (p.at(0) == file)
                last = p;
        }
        QCOMPARE(last, (QList<qint64> { file, 3, sizes.at(file - 1), sizes.at(file - 1) }));
    }
}

void tst_Updater::progressOnTheButton_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("lastCaption");

    QTest::newRow("kilobytes") << 3000 << "Downloading Updates.. file 1 of 1, 3 KB of 3 KB";
    QTest::newRow("megabytes") << 2621440 << "Downloading Updates.. file 1 of 1, 2.5 MB of 2.5 MB";
}

void tst_Updater::progressOnTheButton()
{
    QFETCH(int, size);
    QFETCH(QString, lastCaption);

    writeFile(record(), localRecord(QStringLiteral("1.0.1"), {}));
    UpdateService service;
    service.setAppFiles(Reply::json(appFilesAnswer(QStringLiteral("1.0.2"), { { "5", "big.bin", "", "1.0.2", {} } })));
    // not an archive: the transfer is complete, the unpacking fails
    service.setDownload(QStringLiteral("5"), zipReply(QByteArray(size, 'x')));

    QPushButton button(QStringLiteral("Update Now"));
    QStringList captions;
    TZeltUpdater updater(service.server.url(), Token, record(), &button);
    connect(&updater, &TZeltUpdater::DownloadProgress, this, [&] { captions << button.text(); });
    QVERIFY(!updater.StageUpdates());

    QVERIFY(captions.size() >= 2);
    QCOMPARE(captions.first(), QStringLiteral("Downloading Updates.. file 1 of 1"));
    QCOMPARE(captions.last(), lastCaption);
    QCOMPARE(updater.Error(), DownloadFailed + QStringLiteral("\nbig.bin (file 5): the archive cannot be opened"));
}

void tst_Updater::failedDownloadStagesNothing_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("path"); // of file 43
    QTest::addColumn<QString>("reason"); // empty: any text

    QTest::newRow("404") << Reply::json(R"({"message":"File 43 not found."})", 404) << "bin/" << "HTTP 404 Not Found";
    QTest::newRow("500") << Reply::text("broken", 500) << "bin/" << "HTTP 500 Internal Server Error";
    QTest::newRow("dropped connection") << Reply::withAction(Reply::Action::CloseWithoutAnswer) << "bin/" << QString();
    QTest::newRow("not an archive") << zipReply("PK but not really") << "bin/" << "the archive cannot be opened";
    // refused before it is asked for
    QTest::newRow("hostile path") << zipReply(makeZip({ { "x.dll", "x" } })) << "..\\..\\"
                                  << "refused, the path \"..\\..\\\" leads outside the update folder";
}

void tst_Updater::failedDownloadStagesNothing()
{
    QFETCH(Reply, reply);
    QFETCH(QString, path);
    QFETCH(QString, reason);

    // Given a good file and one whose download fails
    const QByteArray before = localRecord(QStringLiteral("1.0.1"), { { "42", "com.bpl", "bin/", "1.0.1", "0" } });
    writeFile(record(), before);
    writeFile(app() + QStringLiteral("bin/com.bpl"), "installed library");
    UpdateService service;
    service.setAppFiles(Reply::json(appFilesAnswer(
        QStringLiteral("1.0.2"), { { "42", "com.bpl", "bin/", "1.0.2", {} }, { "43", "x.dll", path, "1.0.2", {} } })));
    service.setDownload(QStringLiteral("42"), zipReply(makeZip({ { "com.bpl", "library 1.0.2" } })));
    service.setDownload(QStringLiteral("43"), reply);
    const QMap<QString, QByteArray> installed = outsideStaging();

    // When "Update Now" stages the update
    OrvUrl = service.server.url();
    OrvToken = Token;
    QPushButton button(QStringLiteral("Update Now"));
    try {
        StageUpdateNow(&button);
        QFAIL("a failed download was reported as staged");
    } catch (const Platform::Error &e) {
        // Then it says which file failed and that nothing changed
        const QString prefix = DownloadFailed + QStringLiteral("\nx.dll (file 43): ");
        QVERIFY2(e.message().startsWith(prefix), qPrintable(e.message()));
        if (!reason.isEmpty())
            QCOMPARE(e.message(), prefix + reason);
        QVERIFY(!e.message().contains(QLatin1String("com.bpl")));
    }
    // both were tried (the network layer may retry a dropped request)
    QStringList tried = service.downloadedIds();
    tried.removeDuplicates();
    QCOMPARE(tried, (path == QLatin1String("bin/") ? QStringList { "42", "43" } : QStringList { "42" }));
    // and nothing is staged, nothing installed changed, the button is back
    QVERIFY(!QFileInfo::exists(staging()));
    QCOMPARE(outsideStaging(), installed);
    QCOMPARE(button.text(), QStringLiteral("Update Now"));
    QVERIFY(button.isEnabled());
}

void tst_Updater::hostileEntriesAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QString>("fileId");
    QTest::addColumn<QList<ZipItem>>("items"); // empty: a harmless archive
    QTest::addColumn<QString>("error");      // %ROOT%: the temporary root
    QTest::addColumn<bool>("requested");

    const auto pathRow = [](const char *name, const QString &path) {
        QTest::newRow(name) << path << "evil.txt" << "50" << QList<ZipItem>()
                            << QStringLiteral("refused, the path \"%1\" leads outside the update folder").arg(path)
                            << false;
    };
    pathRow("path ..", QStringLiteral("../"));
    pathRow("path .. behind a folder", QStringLiteral("bin/../../../"));
    pathRow("path with backslashes", QStringLiteral("..\\..\\"));
    pathRow("absolute path", QStringLiteral("%ROOT%/abs/"));
    pathRow("drive letter", QStringLiteral("C:\\evil\\"));
    pathRow("UNC name", QStringLiteral("\\\\server\\share\\"));
    pathRow("dots and a blank", QStringLiteral(".. /"));

    const auto nameRow = [](const char *name, const QString &filename) {
        QTest::newRow(name) << "" << filename << "50" << QList<ZipItem>()
                            << QStringLiteral("refused, the file name \"%1\" leads outside the update folder").arg(filename)
                            << false;
    };
    nameRow("file name ..", QStringLiteral("../../../evil.txt"));
    nameRow("absolute file name", QStringLiteral("%ROOT%/abs/evil.txt"));
    nameRow("file name with a drive", QStringLiteral("C:evil.txt"));
    nameRow("empty file name", QString());

    const auto idRow = [](const char *name, const QString &fileId) {
        QTest::newRow(name) << "" << "evil.txt" << fileId << QList<ZipItem>()
                            << QStringLiteral("refused, the file id \"%1\" is not a plain name").arg(fileId) << false;
    };
    idRow("file id with ..", QStringLiteral("../../../50"));
    idRow("file id with a backslash", QStringLiteral("..\\50"));
    idRow("file id with a folder", QStringLiteral("a/50"));
    idRow("empty file id", QString());

    const auto archiveRow = [](const char *name, const QList<ZipItem> &items, const QString &error) {
        QTest::newRow(name) << "bin/" << "com.bpl" << "50" << items << error << true;
    };
    const auto entryRefused = [](const QString &entry) {
        return QStringLiteral("refused, the archive entry \"%1\" leads outside the update folder").arg(entry);
    };
    archiveRow("entry ..", { { "../../../../../evil.txt", "x" } }, entryRefused("../../../../../evil.txt"));
    archiveRow("entry with backslashes", { { "..\\..\\..\\..\\..\\evil.txt", "x" } },
               entryRefused("..\\..\\..\\..\\..\\evil.txt"));
    archiveRow("absolute entry", { { "%ROOT%/abs/evil.txt", "x" } }, entryRefused("%ROOT%/abs/evil.txt"));
    archiveRow("entry with a drive", { { "C:/evil.txt", "x" } }, entryRefused("C:/evil.txt"));
    archiveRow("entry .. behind a folder", { { "sub/../../../../../../evil.txt", "x" } },
               entryRefused("sub/../../../../../../evil.txt"));
    archiveRow("good entry then a bad one", { { "good.txt", "fine" }, { "../../../../../evil.txt", "x" } },
               entryRefused("../../../../../evil.txt"));
    archiveRow("link", { { "link", "%ROOT%", Item::Kind::Link } },
               QStringLiteral("refused, the archive entry \"link\" is a link"));
}

void tst_Updater::hostileEntriesAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, filename);
    QFETCH(QString, fileId);
    QFETCH(QList<ZipItem>, items);
    QFETCH(QString, error);
    QFETCH(bool, requested);

    // absolute names point into the temporary root, where the test can look
    const QString root = m_root->path();
    path.replace(QLatin1String("%ROOT%"), root);
    filename.replace(QLatin1String("%ROOT%"), root);
    error.replace(QLatin1String("%ROOT%"), root);
    for (ZipItem &item : items) {
        item.name.replace(QLatin1String("%ROOT%"), root);
        item.content.replace("%ROOT%", root.toUtf8());
    }
    if (items.isEmpty())
        items = { { "evil.txt", "x" } };

    UpdateService service;
    service.setDownload(fileId.isEmpty() ? QStringLiteral("x") : fileId, zipReply(makeZip(items)));
    const QByteArray report = makeZip({ { "customer-list.txt", "report" } });
    service.setDownload(QStringLiteral("7"), zipReply(report));
    const QMap<QString, QByteArray> before = outsideStaging();

    // Given a hostile entry before a good one
    const QJsonArray files { toFetch(fileId, filename, path), toFetch("7", "customer-list.txt", "reports/") };
    const QList<TZeltDownloader::TFileResult> results = download(files, service);

    // Then the hostile one is refused and reported
    QCOMPARE(results.size(), 2);
    QVERIFY(!results.at(0).Ok);
    QCOMPARE(results.at(0).Error, error);
    QVERIFY(results.at(0).Staged.isEmpty());
    QCOMPARE(service.downloadedIds().contains(fileId), requested);
    // and the good one is staged all the same
    QVERIFY2(results.at(1).Ok, qPrintable(results.at(1).Error));

    // and nothing was written for the hostile one, nor anywhere outside the staging
    const QMap<QString, QByteArray> expected { { "reports/zip/7.zip", report },
                                               { "reports/extract/customer-list.txt", "report" } };
    QCOMPARE(filesUnder(staging()), expected);
    QCOMPARE(outsideStaging(), before);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/abs")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/evil.txt")));
}

void tst_Updater::archiveLimits_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("error");

    QByteArray noise(8192, 0);
    quint32 seed = 12345;
    for (char &c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    QTest::newRow("archive too large") << makeZip({ { "noise.bin", noise } }) << "the archive is larger than 4 KB";
    QTest::newRow("unpacks too much") << makeZip({ { "zeros.bin", QByteArray(200 * 1024, 0) } })
                                      << "the archive unpacks to more than 64 KB";
    QTest::newRow("too many entries")
        << makeZip({ { "a", "1" }, { "b", "2" }, { "c", "3" }, { "d", "4" } }) << "the archive has more than 3 entries";
    QTest::newRow("empty body") << QByteArray() << "the archive cannot be opened";

    // a stored entry whose bytes no longer match their checksum
    QByteArray damaged = makeZip({ { "a.txt", QByteArray(100, 'A') } }, true);
    damaged[damaged.indexOf(QByteArray(100, 'A')) + 50] = 'B';
    QTest::newRow("damaged entry") << damaged << "the archive entry \"a.txt\" is damaged";
}

void tst_Updater::archiveLimits()
{
    QFETCH(QByteArray, archive);
    QFETCH(QString, error);

    UpdateService service;
    service.setDownload(QStringLiteral("9"), zipReply(archive));
    const QList<TZeltDownloader::TFileResult> results = download(
        { toFetch("9", "x", "") }, service, [](TZeltDownloader &d) { d.SetLimits(4096, 64 * 1024, 3); });

    QCOMPARE(results.size(), 1);
    QVERIFY(!results.at(0).Ok);
    QCOMPARE(results.at(0).Error, error);
    QCOMPARE(filesUnder(staging()), (QMap<QString, QByteArray>()));
}

void tst_Updater::getFileReplacesOnlyOnSuccess()
{
    UpdateService service;
    service.setDownload(QStringLiteral("42"), zipReply("new archive"));
    const QString archive = staging() + QStringLiteral("bin/zip/42.zip");
    writeFile(archive, "old archive");

    TZeltDownloader downloader(service.server.url(), QJsonObject(), QStringLiteral("tok"), nullptr);
    QVERIFY(!downloader.GetFile(service.server.url() + QStringLiteral("/v1/download/41"), archive));
    QCOMPARE(downloader.LastError(), QStringLiteral("HTTP 404 Not Found"));
    QCOMPARE(readFile(archive), QByteArray("old archive"));

    QVERIFY(downloader.GetFile(service.server.url() + QStringLiteral("/v1/download/42"), archive));
    QCOMPARE(readFile(archive), QByteArray("new archive"));
    const RecordedRequest request = service.server.lastRequest();
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer tok"));
    QCOMPARE(request.header("Accept-Language"), QByteArray("en_US"));
    QCOMPARE(request.header("User-Agent"), QByteArray("ZeltERP"));

    // a folder that does not exist yet is made
    const QString deeper = staging() + QStringLiteral("a/b/zip/42.zip");
    QVERIFY(downloader.GetFile(service.server.url() + QStringLiteral("/v1/download/42"), deeper));
    QCOMPARE(readFile(deeper), QByteArray("new archive"));
}

void tst_Updater::stoppingADownloadIsPrompt()
{
    UpdateService service;
    service.setDownload(QStringLiteral("42"), Reply::withAction(Reply::Action::Hang));
    auto downloader = std::make_unique<TZeltDownloader>(
        service.server.url(), QJsonObject { { QStringLiteral("files"), QJsonArray { toFetch("42", "com.bpl", "") } } },
        Token, nullptr);
    downloader->start();
    QVERIFY(service.server.waitForRequests(1));
    QElapsedTimer clock;
    clock.start();
    downloader.reset();
    QVERIFY2(clock.elapsed() < 3000, "the downloader's destructor waited for the server");
    QVERIFY(filesUnder(staging()).isEmpty());
}

// ---------------------------------------------------------------- launcher and form

void tst_Updater::launcherCommandLine()
{
    RecordingProcessLauncher *launcher = RecordingProcessLauncher::install();
    const QString program = app() + QStringLiteral("ZeltLauncher");
    QCOMPARE(ZeltLauncherPath(app()), program);

    // without the launcher beside the program nothing is started
    try {
        StartZeltLauncher(4711, QStringLiteral("/opt/zelt/zelt"));
        QFAIL("started a launcher that is not there");
    } catch (const Platform::NotFoundError &e) {
        QCOMPARE(e.message(), QStringLiteral("\"%1\" was not found.").arg(QDir::toNativeSeparators(program)));
    }
    QVERIFY(launcher->calls.isEmpty());

    writeFile(program, "#!/bin/sh\n");
    StartZeltLauncher(4711, QStringLiteral("/opt/zelt/zelt"));
    QCOMPARE(launcher->calls.size(), 1);
    const RecordingProcessLauncher::Call call = launcher->calls.at(0);
    QCOMPARE(call.kind, RecordingProcessLauncher::Kind::Program);
    QCOMPARE(call.program, program);
    const QString folder = m_root->path() + QStringLiteral("/outer/app");
    QCOMPARE(call.parameters,
             QStringLiteral("--app-folder \"%1\" --wait-pid 4711 --restart \"/opt/zelt/zelt\"").arg(folder));
    QCOMPARE(call.workingDirectory, QString());
    QCOMPARE(call.show, Platform::WindowShow::Normal);

    // by default: this process and this program
    StartZeltLauncher();
    QCOMPARE(launcher->calls.at(1).parameters,
             QStringLiteral("--app-folder \"%1\" --wait-pid %2 --restart \"%3\"")
                 .arg(folder)
                 .arg(QCoreApplication::applicationPid())
                 .arg(Platform::runningExecutablePath()));

    // the parameters split back into exactly the three options
    QCOMPARE(QProcess::splitCommand(call.parameters),
             (QStringList { "--app-folder", folder, "--wait-pid", "4711", "--restart", "/opt/zelt/zelt" }));
    QVERIFY_THROWS_EXCEPTION(Platform::Error, ZeltLauncherParameters(folder, 1, QStringLiteral("/a\"b")));
}

void tst_Updater::updateNowFromTheSignInForm()
{
    // Given a staged-able update and the sign-in form with its handler registered at unit start
    writeFile(record(), localRecord(QStringLiteral("1.0.1"), {}));
    writeFile(app() + QStringLiteral("ZeltLauncher"), "#!/bin/sh\n");
    UpdateService service;
    service.setAppFiles(Reply::json(appFilesAnswer(QStringLiteral("1.0.2"), { { "1", "a.txt", "", "1.0.2", {} } })));
    service.setDownload(QStringLiteral("1"), zipReply(makeZip({ { "a.txt", "A" } })));
    OrvUrl = service.server.url();
    OrvToken = Token;
    RecordingProcessLauncher *launcher = RecordingProcessLauncher::install();
    TLoginFrm form(nullptr);
    form.btnUpdateNow->setVisible(true);

    // When "Update Now" is clicked
    form.btnUpdateNow->click();

    // Then the update is staged, the launcher started and the form closed
    QCOMPARE(form.lblMessage->text(), QString());
    QVERIFY(QFileInfo::exists(staging() + QStringLiteral("staged.json")));
    QCOMPARE(readFile(staging() + QStringLiteral("extract/a.txt")), QByteArray("A"));
    QCOMPARE(launcher->calls.size(), 1);
    QCOMPARE(launcher->calls.at(0).program, app() + QStringLiteral("ZeltLauncher"));
    QCOMPARE(form.result(), int(Platform::ModalResult::Cancel));
    QCOMPARE(form.btnUpdateNow->text(), QStringLiteral("Applying and restart."));
    QVERIFY(!form.btnUpdateNow->isEnabled());
}

void tst_Updater::updateNowFailuresStayOnTheForm()
{
    writeFile(record(), localRecord(QStringLiteral("1.0.1"), {}));
    UpdateService service;
    OrvUrl = service.server.url();
    OrvToken = Token;
    RecordingProcessLauncher *launcher = RecordingProcessLauncher::install();
    TLoginFrm form(nullptr);
    form.btnUpdateNow->setVisible(true);

    // the service refuses: its message, the button back
    service.setAppFiles(Reply::json(R"({"message":"Token expired."})", 401));
    form.btnUpdateNow->click();
    QCOMPARE(form.lblMessage->text(), QStringLiteral("Token expired."));
    QCOMPARE(form.btnUpdateNow->text(), QStringLiteral("Update Now"));
    QVERIFY(form.btnUpdateNow->isEnabled());
    QVERIFY(launcher->calls.isEmpty());
    QCOMPARE(form.result(), 0);

    // staged, but the launcher cannot start: said, nothing ends
    service.setAppFiles(Reply::json(appFilesAnswer(QStringLiteral("1.0.2"), {})));
    writeFile(app() + QStringLiteral("ZeltLauncher"), "#!/bin/sh\n");
    launcher->failWith = QStringLiteral("boom");
    form.btnUpdateNow->click();
    QCOMPARE(form.lblMessage->text(),
             QStringLiteral("ZeltLauncher could not be started. The installed version has not been changed.\nboom"));
    QCOMPARE(form.btnUpdateNow->text(), QStringLiteral("Update Now"));
    QVERIFY(form.btnUpdateNow->isEnabled());
    QCOMPARE(form.result(), 0);
}

QTEST_MAIN(tst_Updater)
#include "tst_updater.moc"
