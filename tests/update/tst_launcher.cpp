#include "AppPaths.h"
#include "ProcessLauncher.h"
#include "StagedUpdate.h"
#include "TestHttpServer.h"
#include "UpdateFixtures.h"
#include "UpdateRecord.h"
#include "UpdaterU.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateFixtures;
using Outcome = StagedUpdate::Result::Outcome;

namespace {

const QString Token = QStringLiteral("orv-token");

QJsonObject entry(const char *fileId, const char *filename, const char *path, const char *version, const char *action)
{
    return QJsonObject { { "file_id", fileId },
                         { "filename", filename },
                         { "path", path },
                         { "app_version", version },
                         { "action", action } };
}

// The record as the updater leaves it before the launcher runs.
QJsonObject stagedRecord()
{
    return QJsonObject { { "app_ver", "1.0.1" },
                         { "app_ver_new", "1.0.3" },
                         { "app_update", "1" },
                         { "files",
                           QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.1", "1"),
                                        entry("7", "customer-list.txt", "reports/", "1.0.1", "1"),
                                        entry("3", "templates", "templates/", "1.0.3", "1"),
                                        entry("1", "release-notes.txt", "", "1.0.3", "0") } } };
}

UpdateRecord::Manifest stagedManifest()
{
    UpdateRecord::Manifest m;
    m.appVerNew = QStringLiteral("1.0.3");
    m.entries = { { "42", "bin/", "com.bpl", "1.0.3", { "com.bpl" } },
                  { "7", "reports/", "customer-list.txt", "1.0.2", { "customer-list.txt" } },
                  { "3", "templates/", "templates", "1.0.3", { "letters/welcome.txt", "quotation.txt" } } };
    return m;
}

const QByteArray AppliedRecord = R"({
    "app_ver": "1.0.3",
    "app_ver_new": "1.0.3",
    "app_update": "0",
    "files": [
        {
            "file_id": "42",
            "filename": "com.bpl",
            "path": "bin\\",
            "app_version": "1.0.3",
            "action": "0"
        },
        {
            "file_id": "7",
            "filename": "customer-list.txt",
            "path": "reports/",
            "app_version": "1.0.2",
            "action": "0"
        },
        {
            "file_id": "3",
            "filename": "templates",
            "path": "templates/",
            "app_version": "1.0.3",
            "action": "0"
        },
        {
            "file_id": "1",
            "filename": "release-notes.txt",
            "path": "",
            "app_version": "1.0.3",
            "action": "0"
        }
    ]
}
)";

} // namespace

class tst_Launcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void appliesStagedFiles();
    void nothingStagedTouchesNothing();
    void failureUndoesEverything_data();
    void failureUndoesEverything();
    void waitsForTheProcess();

    void programEndToEnd_data();
    void programEndToEnd();
    void programGivesUpOnABusyClient();
    void programRefusesBadArguments();

private:
    QString staging() const { return m_app + QStringLiteral("updates/"); }
    QString record() const { return m_app + QStringLiteral("updates.json"); }
    // The installed build 1.0.1 with build 1.0.3 staged beside it.
    void installAndStage();
    // Everything of the application folder but the staging.
    QMap<QString, QByteArray> installed() const;

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_app;
};

void tst_Launcher::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_app = m_root->path() + QStringLiteral("/outer/app/");
    QVERIFY(QDir().mkpath(m_app));
    Platform::setApplicationFolder(m_app);
}

void tst_Launcher::cleanup()
{
    Platform::setApplicationFolder(QString());
    m_root.reset();
}

void tst_Launcher::installAndStage()
{
    writeFile(m_app + QStringLiteral("bin/com.bpl"), "library 1.0.1");
    QFile::setPermissions(m_app + QStringLiteral("bin/com.bpl"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup);
    writeFile(m_app + QStringLiteral("reports/customer-list.txt"), "report 1.0.1");
    writeFile(m_app + QStringLiteral("release-notes.txt"), "notes 1.0.3");
    writeFile(m_app + QStringLiteral("keep.txt"), "untouched");
    writeFile(record(), UpdateRecord::format(stagedRecord()));

    writeFile(staging() + QStringLiteral("bin/zip/42.zip"), "archive");
    writeFile(staging() + QStringLiteral("bin/extract/com.bpl"), "library 1.0.3");
    writeFile(staging() + QStringLiteral("reports/extract/customer-list.txt"), "report 1.0.2");
    writeFile(staging() + QStringLiteral("templates/extract/letters/welcome.txt"), "welcome 1.0.3");
    writeFile(staging() + QStringLiteral("templates/extract/quotation.txt"), "quotation 1.0.3");
    writeFile(staging() + QStringLiteral("staged.json"), UpdateRecord::formatManifest(stagedManifest()));
}

QMap<QString, QByteArray> tst_Launcher::installed() const
{
    QMap<QString, QByteArray> all = snapshot(m_app);
    all.removeIf([](const auto &item) {
        return item.key() == QLatin1String("updates") || item.key().startsWith(QLatin1String("updates/"));
    });
    return all;
}

// ---------------------------------------------------------------- applying

void tst_Launcher::appliesStagedFiles()
{
    installAndStage();

    const StagedUpdate::Result result = StagedUpdate::apply(m_app);

    QCOMPARE(result.outcome, Outcome::Applied);
    QCOMPARE(result.message, QStringLiteral("Build 1.0.3 applied."));
    QCOMPARE(result.appliedFiles, (QStringList { "bin/com.bpl", "reports/customer-list.txt",
                                                 "templates/letters/welcome.txt", "templates/quotation.txt" }));
    QVERIFY(result.warnings.isEmpty());
    const QMap<QString, QByteArray> expected {
        { "bin", "<folder>" },
        { "bin/com.bpl", "library 1.0.3" },
        { "reports", "<folder>" },
        { "reports/customer-list.txt", "report 1.0.2" },
        { "templates", "<folder>" },
        { "templates/letters", "<folder>" },
        { "templates/letters/welcome.txt", "welcome 1.0.3" },
        { "templates/quotation.txt", "quotation 1.0.3" },
        { "release-notes.txt", "notes 1.0.3" },
        { "keep.txt", "untouched" },
        { "updates.json", AppliedRecord },
    };
    // no staging left, nothing set aside left
    QCOMPARE(snapshot(m_app), expected);
    // a program stays runnable
    QVERIFY(QFile::permissions(m_app + QStringLiteral("bin/com.bpl")) & QFile::ExeOwner);

    // a second run finds nothing staged
    QCOMPARE(StagedUpdate::apply(m_app).outcome, Outcome::NothingStaged);
    QCOMPARE(snapshot(m_app), expected);
}

void tst_Launcher::nothingStagedTouchesNothing()
{
    installAndStage();
    // downloads that never completed leave no manifest
    QFile::remove(staging() + QStringLiteral("staged.json"));
    const QMap<QString, QByteArray> before = snapshot(m_app);

    const StagedUpdate::Result result = StagedUpdate::apply(m_app);
    QCOMPARE(result.outcome, Outcome::NothingStaged);
    QCOMPARE(result.message, QStringLiteral("No complete update is staged in \"%1\".").arg(staging()));
    QCOMPARE(snapshot(m_app), before);
}

void tst_Launcher::failureUndoesEverything_data()
{
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QString>("failSwapOf"); // target whose swap fails; empty: none
    QTest::addColumn<QString>("message");    // %1: the record's path

    QTest::newRow("second swap fails") << "" << "reports/customer-list.txt"
                                       << "Cannot replace \"reports/customer-list.txt\"; the update was undone.";
    QTest::newRow("a folder in the way") << "folder in the way" << ""
                                         << "\"templates/quotation.txt\" is in the way: it is not a file.";
    QTest::newRow("staged file missing") << "staged file missing" << ""
                                         << "File \"7\": \"customer-list.txt\" is missing from the staging.";
    QTest::newRow("staged file is a link") << "staged link" << ""
                                           << "File \"42\": \"com.bpl\" is missing from the staging.";
    QTest::newRow("entry not staged") << "entry not staged" << "" << "File \"3\" of \"%1\" is not staged.";
    QTest::newRow("staged name escapes") << "name escapes" << ""
                                         << "File \"3\": the name \"../../../evil.txt\" is not safe.";
    QTest::newRow("staged path escapes") << "path escapes" << "" << "File \"42\": the path \"..\\..\\\" is not safe.";
    QTest::newRow("record as a target") << "record target" << "" << "File \"42\" may not replace \"updates.json\".";
    QTest::newRow("another build") << "another build" << ""
                                   << "The staged update (build 1.0.4) does not belong to \"%1\" (build 1.0.3).";
    QTest::newRow("damaged record") << "damaged record" << "" << "\"%1\" is not a JSON object.";
    QTest::newRow("damaged manifest") << "damaged manifest" << "" << "The staged update is damaged: not a JSON object";
}

void tst_Launcher::failureUndoesEverything()
{
    QFETCH(QString, spoil);
    QFETCH(QString, failSwapOf);
    QFETCH(QString, message);

    // Given a staged update with one thing wrong
    installAndStage();
    UpdateRecord::Manifest manifest = stagedManifest();
    if (spoil == QLatin1String("folder in the way")) {
        QVERIFY(QDir().mkpath(m_app + QStringLiteral("templates/quotation.txt")));
    } else if (spoil == QLatin1String("staged file missing")) {
        QVERIFY(QFile::remove(staging() + QStringLiteral("reports/extract/customer-list.txt")));
    } else if (spoil == QLatin1String("staged link")) {
        QVERIFY(QFile::remove(staging() + QStringLiteral("bin/extract/com.bpl")));
        QVERIFY(QFile::link(m_app + QStringLiteral("keep.txt"), staging() + QStringLiteral("bin/extract/com.bpl")));
    } else if (spoil == QLatin1String("entry not staged")) {
        manifest.entries.removeLast();
    } else if (spoil == QLatin1String("name escapes")) {
        manifest.entries[2].files = QStringList { QStringLiteral("../../../evil.txt") };
        writeFile(m_root->path() + QStringLiteral("/evil.txt"), "planted");
    } else if (spoil == QLatin1String("path escapes")) {
        manifest.entries[0].path = QStringLiteral("..\\..\\");
    } else if (spoil == QLatin1String("record target")) {
        manifest.entries[0].path.clear();
        manifest.entries[0].files = QStringList { QStringLiteral("updates.json") };
        writeFile(staging() + QStringLiteral("extract/updates.json"), "{}");
    } else if (spoil == QLatin1String("another build")) {
        manifest.appVerNew = QStringLiteral("1.0.4");
    } else if (spoil == QLatin1String("damaged record")) {
        writeFile(record(), "{\"app_ver\":");
    }
    writeFile(staging() + QStringLiteral("staged.json"), spoil == QLatin1String("damaged manifest")
                                                             ? QByteArray("[]")
                                                             : UpdateRecord::formatManifest(manifest));
    const QMap<QString, QByteArray> before = installed();
    const QMap<QString, QByteArray> outside = snapshot(m_root->path());

    // When it is applied
    StagedUpdate::Options options;
    QStringList swaps;
    options.beforeSwap = [&](const QString &target) {
        swaps << target;
        return target != failSwapOf;
    };
    const StagedUpdate::Result result = StagedUpdate::apply(m_app, options);

    // Then nothing of the installation changed and the reason is given
    QCOMPARE(result.outcome, Outcome::Failed);
    QCOMPARE(result.message, message.contains(QLatin1String("%1")) ? message.arg(record()) : message);
    QVERIFY(result.appliedFiles.isEmpty());
    QCOMPARE(installed(), before);
    QCOMPARE(snapshot(m_root->path()), outside);
    if (!failSwapOf.isEmpty())
        QCOMPARE(swaps.constLast(), failSwapOf); // it did get that far
    else
        QVERIFY(swaps.isEmpty()); // refused before anything moved
}

void tst_Launcher::waitsForTheProcess()
{
    const QString quit = m_root->path() + QStringLiteral("/quit");
    QProcess client;
    client.start(QStringLiteral(STANDIN_BIN), { QStringLiteral("--wait-for"), quit });
    QVERIFY(client.waitForStarted());
    const qint64 pid = client.processId();

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!StagedUpdate::waitForProcessExit(pid, 300));
    QVERIFY(clock.elapsed() >= 250);

    writeFile(quit, "");
    QVERIFY(StagedUpdate::waitForProcessExit(pid, 10000));
    QVERIFY(client.waitForFinished(5000));
    QVERIFY(StagedUpdate::waitForProcessExit(pid, 0));
    QVERIFY(StagedUpdate::waitForProcessExit(0, 0));
}

// ---------------------------------------------------------------- the program

void tst_Launcher::programEndToEnd_data()
{
    QTest::addColumn<bool>("applies");
    QTest::newRow("applies and restarts") << true;
    QTest::newRow("fails, undoes and restarts") << false;
}

void tst_Launcher::programEndToEnd()
{
    QFETCH(bool, applies);

    // Given an installed client and a service with build 1.0.3
    writeFile(m_app + QStringLiteral("bin/com.bpl"), "library 1.0.1");
    writeFile(m_app + QStringLiteral("keep.txt"), "untouched");
    writeFile(record(), UpdateRecord::format(QJsonObject {
                            { "app_ver", "1.0.1" },
                            { "files", QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.1", "0") } } }));
    TestHttpServer server([](const RecordedRequest &r) {
        if (r.path == QLatin1String("/v1/app-files"))
            return Reply::json(R"({"app_ver":"1.0.3","files":[
                {"file_id":"42","filename":"com.bpl","path":"bin\\","app_version":"1.0.3"},
                {"file_id":"3","filename":"templates","path":"templates/","app_version":"1.0.3"}]})");
        if (r.path == QLatin1String("/v1/download/42"))
            return zipReply(makeZip({ { "com.bpl", "library 1.0.3" } }));
        if (r.path == QLatin1String("/v1/download/3"))
            return zipReply(makeZip({ { "letters/welcome.txt", "welcome 1.0.3" }, { "quotation.txt", "quotation 1.0.3" } }));
        return Reply::json(R"({"message":"File not found."})", 404);
    });

    // and the update fetched and staged by the client
    {
        TZeltUpdater updater(server.url(), Token, record(), nullptr);
        QVERIFY2(updater.StageUpdates(), qPrintable(updater.Error()));
    }
    const QByteArray stagedRecordText = readFile(record());
    QVERIFY(QFile::copy(QStringLiteral(ZELT_LAUNCHER_BIN), m_app + QStringLiteral("ZeltLauncher")));
    if (!applies)
        QVERIFY(QDir().mkpath(m_app + QStringLiteral("templates/quotation.txt")));
    const QMap<QString, QByteArray> before = installed();

    // and a running client
    const QString quit = m_root->path() + QStringLiteral("/quit");
    const QString marker = m_root->path() + QStringLiteral("/restarted");
    qputenv("ZELT_STANDIN_MARKER", QFile::encodeName(marker));
    QProcess client;
    client.start(QStringLiteral(STANDIN_BIN), { QStringLiteral("--wait-for"), quit });
    QVERIFY(client.waitForStarted());

    // When the client starts the launcher and ends
    Platform::setProcessLauncher(nullptr);
    StartZeltLauncher(client.processId(), QStringLiteral(STANDIN_BIN));
    QTest::qWait(500);
    // (the launcher waits for it: nothing is replaced while it runs)
    QCOMPARE(installed(), before);
    writeFile(quit, "");
    QVERIFY(client.waitForFinished(10000));

    // Then the client is started again in the application folder
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 30000);
    QCOMPARE(readFile(marker), "restarted\n" + QDir::cleanPath(m_app).toUtf8() + "\n\n");

    if (applies) {
        QCOMPARE(readFile(m_app + QStringLiteral("bin/com.bpl")), QByteArray("library 1.0.3"));
        QCOMPARE(readFile(m_app + QStringLiteral("templates/letters/welcome.txt")), QByteArray("welcome 1.0.3"));
        QCOMPARE(readFile(m_app + QStringLiteral("templates/quotation.txt")), QByteArray("quotation 1.0.3"));
        QCOMPARE(readFile(m_app + QStringLiteral("keep.txt")), QByteArray("untouched"));
        // the record's text layout is appliesStagedFiles' to check; here its content
        QCOMPARE(QJsonDocument::fromJson(readFile(record())).object(),
                 (QJsonObject { { "app_ver", "1.0.3" }, { "app_ver_new", "1.0.3" }, { "app_update", "0" },
                                { "files", QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.3", "0"),
                                                        entry("3", "templates", "templates/", "1.0.3", "0") } } }));
        QVERIFY(!QFileInfo::exists(staging()));
    } else {
        // everything as it was, the staging kept for another try
        QCOMPARE(installed(), before);
        QCOMPARE(readFile(record()), stagedRecordText);
        QVERIFY(QFileInfo::exists(staging() + QStringLiteral("staged.json")));
    }
}

void tst_Launcher::programGivesUpOnABusyClient()
{
    installAndStage();
    const QMap<QString, QByteArray> before = installed();
    const QString quit = m_root->path() + QStringLiteral("/quit");
    const QString marker = m_root->path() + QStringLiteral("/restarted");
    qputenv("ZELT_STANDIN_MARKER", QFile::encodeName(marker));
    QProcess client;
    client.start(QStringLiteral(STANDIN_BIN), { QStringLiteral("--wait-for"), quit });
    QVERIFY(client.waitForStarted());

    QProcess launcher;
    launcher.start(QStringLiteral(ZELT_LAUNCHER_BIN),
                   { QStringLiteral("--app-folder"), m_app, QStringLiteral("--wait-pid"),
                     QString::number(client.processId()), QStringLiteral("--restart"), QStringLiteral(STANDIN_BIN),
                     QStringLiteral("--wait-timeout"), QStringLiteral("300") });
    QVERIFY(launcher.waitForFinished(10000));
    QCOMPARE(launcher.exitCode(), 1);
    QVERIFY(launcher.readAllStandardError().contains("is still running; nothing applied"));
    QCOMPARE(installed(), before);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 10000);

    writeFile(quit, "");
    QVERIFY(client.waitForFinished(10000));
}

void tst_Launcher::programRefusesBadArguments()
{
    installAndStage();
    const QMap<QString, QByteArray> before = snapshot(m_app);
    QProcess launcher;
    launcher.start(QStringLiteral(ZELT_LAUNCHER_BIN),
                   { QStringLiteral("--app-folder"), m_app, QStringLiteral("--wait-pid"), QStringLiteral("abc") });
    QVERIFY(launcher.waitForFinished(10000));
    QCOMPARE(launcher.exitCode(), 3);
    QCOMPARE(snapshot(m_app), before);
}

QTEST_GUILESS_MAIN(tst_Launcher)
#include "tst_launcher.moc"
