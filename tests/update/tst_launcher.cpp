#include "AppPaths.h"
#include "ProcessLauncher.h"
#include "StagedUpdate.h"
#include "UpdateFixtures.h"
#include "UpdateRecord.h"
#include "UpdaterU.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateFixtures;
using Outcome = StagedUpdate::Result::Outcome;

namespace {

QJsonObject entry(const char *fileId, const char *filename, const char *path, const char *version, const char *action)
{
    return QJsonObject { { "file_id", fileId },
                         { "filename", filename },
                         { "path", path },
                         { "app_version", version },
                         { "action", action } };
}

struct Run
{
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = -1;
    QByteArray errors;
};

// The real launcher on app, neither waiting for a client nor starting one.
Run launcher(const QString &app, const QStringList &extra = {}, int killAt = 0, const QString &trace = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ZELT_LAUNCHER_KILL_AT"));
    env.remove(QStringLiteral("ZELT_LAUNCHER_TRACE"));
    if (killAt > 0)
        env.insert(QStringLiteral("ZELT_LAUNCHER_KILL_AT"), QString::number(killAt));
    if (!trace.isEmpty())
        env.insert(QStringLiteral("ZELT_LAUNCHER_TRACE"), trace);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZELT_LAUNCHER_BIN), QStringList { QStringLiteral("--app-folder"), app } + extra);
    if (!p.waitForFinished(30000))
        qFatal("ZeltLauncher did not finish");
    return { p.exitStatus(), p.exitCode(), p.readAllStandardError() };
}

// Operations the launcher traced, one a line.
int tracedOperations(const QString &trace)
{
    return int(readFile(trace).count('\n'));
}

void copyTree(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(path);
        if (QFileInfo(path).isDir())
            QDir().mkpath(target);
        else if (!QFile::copy(path, target))
            qFatal("cannot copy a fixture tree");
    }
}

} // namespace

class tst_Launcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void failureUndoesEverything_data();
    void failureUndoesEverything();
    void programWaitsAppliesAndRestarts();
    void clientThatDoesNotEndIsNotStartedTwice();
    void launcherWaitsForTheLock();
    void killedAtEveryStepIsOldOrNew();
    void recordKeepsNamesStartingWithByteOrderMark();
    void buildNameIsComparedAsWritten();

private:
    QString staging() const { return m_app + QStringLiteral("updates/"); }
    QString record() const { return m_app + QStringLiteral("updates.json"); }
    // The installed build 1.0.1 with build 1.0.3 staged beside it.
    void installAndStage(const std::function<void(UpdateRecord::Manifest &)> &spoil = {});
    // Everything of the application folder but the staging.
    QMap<QString, QByteArray> installed() const;
    // Four files, two at the top level and two in folders, one of them new.
    void installSmall(const QString &app) const;

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

void tst_Launcher::installAndStage(const std::function<void(UpdateRecord::Manifest &)> &spoil)
{
    UpdateRecord::Manifest manifest;
    manifest.appVerNew = QStringLiteral("1.0.3");
    manifest.entries = { { "42", "bin/", "com.bpl", "1.0.3", { "com.bpl" } },
                         { "7", "reports/", "customer-list.txt", "1.0.2", { "customer-list.txt" } },
                         { "3", "templates/", "templates", "1.0.3", { "letters/welcome.txt", "quotation.txt" } } };
    if (spoil)
        spoil(manifest);
    writeFile(m_app + QStringLiteral("bin/com.bpl"), "library 1.0.1");
    QFile::setPermissions(m_app + QStringLiteral("bin/com.bpl"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup);
    writeFile(m_app + QStringLiteral("reports/customer-list.txt"), "report 1.0.1");
    writeFile(m_app + QStringLiteral("keep.txt"), "untouched");
    writeFile(
        record(),
        UpdateRecord::format(QJsonObject { { "app_ver", "1.0.1" },
                                           { "app_ver_new", "1.0.3" },
                                           { "app_update", "1" },
                                           { "files",
                                             QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.1", "1"),
                                                          entry("7", "customer-list.txt", "reports/", "1.0.1", "1"),
                                                          entry("3", "templates", "templates/", "1.0.3", "1"),
                                                          entry("1", "release-notes.txt", "", "1.0.3", "0") } } }));

    writeFile(staging() + QStringLiteral("bin/zip/42.zip"), "archive");
    writeFile(staging() + QStringLiteral("bin/extract/com.bpl"), "library 1.0.3");
    writeFile(staging() + QStringLiteral("reports/extract/customer-list.txt"), "report 1.0.2");
    writeFile(staging() + QStringLiteral("templates/extract/letters/welcome.txt"), "welcome 1.0.3");
    writeFile(staging() + QStringLiteral("templates/extract/quotation.txt"), "quotation 1.0.3");
    writeFile(staging() + QStringLiteral("staged.json"), UpdateRecord::formatManifest(manifest));
}

void tst_Launcher::installSmall(const QString &app) const
{
    QDir(app).removeRecursively();
    writeFile(app + QStringLiteral("libcom.so"), "com 1");
    writeFile(app + QStringLiteral("plugins/crm.so"), "crm 1");
    writeFile(app + QStringLiteral("keep.txt"), "untouched");
    writeFile(app + QStringLiteral("updates.json"),
              UpdateRecord::format(QJsonObject {
                  { "app_ver", "1" },
                  { "app_ver_new", "2" },
                  { "app_update", "1" },
                  { "files",
                    QJsonArray { entry("10", "com", "", "1", "1"), entry("11", "plugins", "plugins/", "1", "1") } } }));
    const QString staged = app + QStringLiteral("updates/");
    writeFile(staged + QStringLiteral("extract/libcom.so"), "com 2");
    writeFile(staged + QStringLiteral("extract/lang.ini"), "lang 2");
    writeFile(staged + QStringLiteral("plugins/extract/crm.so"), "crm 2");
    writeFile(staged + QStringLiteral("plugins/extract/new/extra.so"), "extra 2");
    UpdateRecord::Manifest manifest;
    manifest.appVerNew = QStringLiteral("2");
    manifest.entries = { { "10", "", "com", "2", { "libcom.so", "lang.ini" } },
                         { "11", "plugins/", "plugins", "2", { "crm.so", "new/extra.so" } } };
    writeFile(staged + QStringLiteral("staged.json"), UpdateRecord::formatManifest(manifest));
}

QMap<QString, QByteArray> tst_Launcher::installed() const
{
    QMap<QString, QByteArray> all = snapshot(m_app);
    all.removeIf([](const auto &item) {
        return item.key() == QLatin1String("updates") || item.key().startsWith(QLatin1String("updates/"));
    });
    return all;
}

void tst_Launcher::failureUndoesEverything_data()
{
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QString>("failSwapOf"); // target whose swap fails; empty: none
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, const char *spoil, const char *failSwapOf, const QString &message) {
        QTest::newRow(name) << QString::fromLatin1(spoil) << QString::fromLatin1(failSwapOf) << message;
    };
    row("second swap fails", "", "reports/customer-list.txt",
        "Cannot replace \"reports/customer-list.txt\"; the update was undone.");
    row("a folder in the way", "folder in the way", "", "\"templates/quotation.txt\" is in the way: it is not a file.");
    row("staged path escapes", "path escapes", "", "File \"42\": the path \"..\\..\\\" is not safe.");
    row("empty archive", "empty archive", "", "File \"7\": its archive holds no files; nothing was applied.");
    const auto alias = [](const char *name, const char *reason) {
        QTest::newRow(name) << QString::fromLatin1(name) << ""
                            << QStringLiteral("File \"7\": \"reports/%1\" cannot be installed safely: %2.")
                                   .arg(QLatin1String(name), QLatin1String(reason));
    };
    alias("nul.txt", "\"nul.txt\" is a device name on Windows");
    alias("COM1", "\"COM1\" is a device name on Windows");
    alias("Lpt9 .log", "\"Lpt9 .log\" is a device name on Windows");
    alias("aux/readme.txt", "\"aux\" is a device name on Windows");
    alias("customer-list.txt.", "\"customer-list.txt.\" ends in a dot or a blank, which Windows drops");
    alias("customer-list.txt ", "\"customer-list.txt \" ends in a dot or a blank, which Windows drops");
    alias("CUSTOM~1.TXT", "\"CUSTOM~1.TXT\" may be the short name of another file on Windows");
    alias("what?.txt", "\"what?.txt\" holds a character Windows refuses");
    row("names differ in case only", "case", "",
        "File \"7\": \"reports/customer-list.txt\" and \"reports/Customer-List.txt\" would be one file on Windows.");
}

void tst_Launcher::failureUndoesEverything()
{
    QFETCH(QString, spoil);
    QFETCH(QString, failSwapOf);
    QFETCH(QString, message);

    installAndStage([&](UpdateRecord::Manifest &manifest) {
        if (spoil == QLatin1String("path escapes"))
            manifest.entries[0].path = QStringLiteral("..\\..\\");
        else if (spoil == QLatin1String("empty archive"))
            manifest.entries[1].files.clear();
        else if (spoil == QLatin1String("case"))
            manifest.entries[1].files << QStringLiteral("Customer-List.txt");
        else if (!spoil.isEmpty() && spoil != QLatin1String("folder in the way"))
            manifest.entries[1].files = QStringList { spoil };
    });
    if (!spoil.isEmpty() && spoil != QLatin1String("empty archive") && spoil != QLatin1String("path escapes")
        && spoil != QLatin1String("folder in the way")) {
        // the staged files exist; only their names are refused
        const UpdateRecord::Manifest manifest =
            *UpdateRecord::parseManifest(readFile(staging() + "staged.json"), nullptr);
        for (const QString &name : manifest.entries[1].files)
            writeFile(staging() + QStringLiteral("reports/extract/") + name, "staged");
    }
    if (spoil == QLatin1String("folder in the way"))
        QVERIFY(QDir().mkpath(m_app + QStringLiteral("templates/quotation.txt")));
    const QMap<QString, QByteArray> before = installed();
    const QMap<QString, QByteArray> outside = snapshot(m_root->path());

    StagedUpdate::Options options;
    QStringList swaps;
    options.beforeSwap = [&](const QString &target) {
        swaps << target;
        return target != failSwapOf;
    };
    const StagedUpdate::Result result = StagedUpdate::apply(m_app, options);

    QCOMPARE(result.outcome, Outcome::Failed);
    QCOMPARE(result.message, message);
    QVERIFY(result.appliedFiles.isEmpty());
    QCOMPARE(installed(), before);
    QCOMPARE(snapshot(m_root->path()), outside);
    if (!failSwapOf.isEmpty())
        QCOMPARE(swaps.constLast(), failSwapOf); // earlier files had been swapped in
    else
        QVERIFY(swaps.isEmpty()); // refused before anything moved
}

void tst_Launcher::programWaitsAppliesAndRestarts()
{
    installAndStage();
    QVERIFY(QFile::copy(QStringLiteral(ZELT_LAUNCHER_BIN), m_app + QStringLiteral("ZeltLauncher")));
    const QMap<QString, QByteArray> before = installed();

    // a running client starts the launcher, which waits for it to end
    const QString quit = m_root->path() + QStringLiteral("/quit");
    const QString marker = m_root->path() + QStringLiteral("/restarted");
    qputenv("ZELT_STANDIN_MARKER", QFile::encodeName(marker));
    QProcess client;
    client.start(QStringLiteral(STANDIN_BIN), { QStringLiteral("--wait-for"), quit });
    QVERIFY(client.waitForStarted());
    Platform::setProcessLauncher(nullptr);
    StartZeltLauncher(client.processId(), QStringLiteral(STANDIN_BIN));
    QTest::qWait(500);
    // a client started meanwhile would run while its files are replaced: it
    // finds the update lock held and waits
    {
        QLockFile starting(m_app + QStringLiteral("ZeltLauncher.lock"));
        starting.setStaleLockTime(0);
        QVERIFY(!starting.tryLock(0));
        QCOMPARE(starting.error(), QLockFile::LockFailedError);
    }
    QMap<QString, QByteArray> during = installed();
    during.remove(QStringLiteral("ZeltLauncher.lock"));
    QCOMPARE(during, before);
    QVERIFY(!QFileInfo::exists(marker));
    writeFile(quit, "");
    QVERIFY(client.waitForFinished(10000));

    // the client is started again in the application folder
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 30000);
    QCOMPARE(readFile(marker), "restarted\n" + QDir::cleanPath(m_app).toUtf8() + "\n\n");

    // applied: the record rewritten; no staging, no file set aside and no half-written record left
    const QByteArray appliedRecord =
        UpdateRecord::format(QJsonObject { { "app_ver", "1.0.3" },
                                           { "app_ver_new", "1.0.3" },
                                           { "app_update", "0" },
                                           { "files",
                                             QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.3", "0"),
                                                          entry("7", "customer-list.txt", "reports/", "1.0.2", "0"),
                                                          entry("3", "templates", "templates/", "1.0.3", "0"),
                                                          entry("1", "release-notes.txt", "", "1.0.3", "0") } } });
    const QMap<QString, QByteArray> expected {
        { "bin", "<folder>" },
        { "bin/com.bpl", "library 1.0.3" },
        { "reports", "<folder>" },
        { "reports/customer-list.txt", "report 1.0.2" },
        { "templates", "<folder>" },
        { "templates/letters", "<folder>" },
        { "templates/letters/welcome.txt", "welcome 1.0.3" },
        { "templates/quotation.txt", "quotation 1.0.3" },
        { "keep.txt", "untouched" },
        { "updates.json", appliedRecord },
    };
    QMap<QString, QByteArray> after = snapshot(m_app);
    QVERIFY(after.remove(QStringLiteral("ZeltLauncher")));
    QCOMPARE(after, expected);
    QVERIFY(QFile::permissions(m_app + QStringLiteral("bin/com.bpl")) & QFile::ExeOwner);
}

void tst_Launcher::clientThatDoesNotEndIsNotStartedTwice()
{
    installAndStage();
    const QMap<QString, QByteArray> before = installed();
    const QString quit = m_root->path() + QStringLiteral("/quit");
    const QString marker = m_root->path() + QStringLiteral("/restarted");
    qputenv("ZELT_STANDIN_MARKER", QFile::encodeName(marker));
    QProcess client;
    client.start(QStringLiteral(STANDIN_BIN), { QStringLiteral("--wait-for"), quit });
    QVERIFY(client.waitForStarted());

    const Run run =
        launcher(m_app,
                 { QStringLiteral("--wait-pid"), QString::number(client.processId()), QStringLiteral("--wait-timeout"),
                   QStringLiteral("300"), QStringLiteral("--restart"), QStringLiteral(STANDIN_BIN) });
    QCOMPARE(run.code, 1);
    QTest::qWait(300);
    QVERIFY(!QFileInfo::exists(marker)); // no second client
    // nothing applied; the note tells the next start why
    QMap<QString, QByteArray> after = installed();
    const QByteArray note = after.take(QStringLiteral("ZeltLauncher.note"));
    QCOMPARE(after, before);
    QVERIFY2(note.startsWith("The update was not applied: ZeltERP (process "), note.constData());
    QVERIFY(QFileInfo::exists(staging() + QStringLiteral("staged.json")));
    writeFile(quit, "");
    QVERIFY(client.waitForFinished(10000));
}

void tst_Launcher::launcherWaitsForTheLock()
{
    installAndStage();
    const QMap<QString, QByteArray> before = installed();
    QLockFile held(m_app + QStringLiteral("ZeltLauncher.lock"));
    QVERIFY(held.tryLock(0));
    const Run refused = launcher(m_app, { QStringLiteral("--lock-timeout"), QStringLiteral("300") });
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.errors.contains("another launcher is updating"), refused.errors.constData());
    QMap<QString, QByteArray> during = installed();
    during.remove(QStringLiteral("ZeltLauncher.lock"));
    QCOMPARE(during, before);

    // the client it waited for has ended all the same: it is started again
    // (and waits for the other launcher at its start)
    const QString marker = m_root->path() + QStringLiteral("/restarted");
    qputenv("ZELT_STANDIN_MARKER", QFile::encodeName(marker));
    const Run refusedWithClient = launcher(m_app,
                                           { QStringLiteral("--lock-timeout"), QStringLiteral("300"),
                                             QStringLiteral("--restart"), QStringLiteral(STANDIN_BIN) });
    QCOMPARE(refusedWithClient.code, 1);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 10000);
    QCOMPARE(readFile(marker), "restarted\n" + QDir::cleanPath(m_app).toUtf8() + "\n\n");
    during = installed();
    during.remove(QStringLiteral("ZeltLauncher.lock"));
    QCOMPARE(during, before);

    // released while it waits: it goes on
    QProcess waiting;
    waiting.start(QStringLiteral(ZELT_LAUNCHER_BIN), { QStringLiteral("--app-folder"), m_app });
    QVERIFY(waiting.waitForStarted());
    QTest::qWait(300);
    QCOMPARE(waiting.state(), QProcess::Running);
    held.unlock();
    QVERIFY(waiting.waitForFinished(10000));
    QCOMPARE(waiting.exitCode(), 0);
    QCOMPARE(readFile(m_app + QStringLiteral("bin/com.bpl")), QByteArray("library 1.0.3"));
    QVERIFY(!QFileInfo::exists(m_app + QStringLiteral("ZeltLauncher.lock")));
}

// SIGKILL before every file-system operation of an apply, then before every
// operation of the recovery from there: each time, once a recovery has run
// to its end, the installation is the old build with the old record or the
// new build with the new one.
void tst_Launcher::killedAtEveryStepIsOldOrNew()
{
#ifdef Q_OS_WIN
    QSKIP("SIGKILL");
#endif
    const QString root = m_root->path();
    const QString app = root + QStringLiteral("/kill/app/");
    const QString crashed = root + QStringLiteral("/crashed");
    const QString trace = root + QStringLiteral("/trace");
    m_app = app;

    installSmall(app);
    const QMap<QString, QByteArray> oldBuild = installed();
    const Run full = launcher(app, {}, 0, trace);
    QCOMPARE(full.code, 0);
    QVERIFY(!QFileInfo::exists(app + QStringLiteral("updates")));
    const QMap<QString, QByteArray> newBuild = installed();
    QCOMPARE(newBuild.value(QStringLiteral("plugins/new/extra.so")), QByteArray("extra 2"));
    QCOMPARE(newBuild.value(QStringLiteral("lang.ini")), QByteArray("lang 2"));
    const int applySteps = tracedOperations(trace);
    QVERIFY(applySteps >= 14); // four files created, written and swapped at the least

    int killPoints = 0;
    int endedOld = 0;
    const auto oldOrNew = [&](const char *when, int apply, int recovery) {
        const QMap<QString, QByteArray> state = installed();
        if (state == oldBuild) {
            ++endedOld;
            return true;
        }
        // the staging may be left as an empty folder, nothing else
        if (state == newBuild && snapshot(app + QStringLiteral("updates")).isEmpty())
            return true;
        qWarning("%s: killed at apply step %d, recovery step %d: neither build", when, apply, recovery);
        for (auto it = state.cbegin(); it != state.cend(); ++it)
            qWarning("  %s: %s", qPrintable(it.key()), it.value().left(40).constData());
        return false;
    };
    for (int k = 1; k <= applySteps; ++k) {
        installSmall(app);
        const Run killed = launcher(app, {}, k);
        QCOMPARE(killed.status, QProcess::CrashExit);
        ++killPoints;
        copyTree(app, crashed);

        QFile::remove(trace);
        const Run recovered = launcher(app, { QStringLiteral("--recover") }, 0, trace);
        QCOMPARE(recovered.code, 0);
        QVERIFY(oldOrNew("after one recovery", k, 0));
        const int recoverySteps = tracedOperations(trace);

        for (int j = 1; j <= recoverySteps; ++j) {
            copyTree(crashed, app);
            const Run killedAgain = launcher(app, { QStringLiteral("--recover") }, j);
            QCOMPARE(killedAgain.status, QProcess::CrashExit);
            ++killPoints;
            const Run again = launcher(app, { QStringLiteral("--recover") });
            QCOMPARE(again.code, 0);
            QVERIFY(oldOrNew("after a second recovery", k, j));
        }
    }
    // both ends were reached, so the test saw both kinds of recovery
    QVERIFY(endedOld > 0);
    QVERIFY(endedOld < killPoints);
    qInfo("kill points: %d during apply, %d in all", applySteps, killPoints);
}

void tst_Launcher::recordKeepsNamesStartingWithByteOrderMark()
{
    // Qt hands such a name back without its U+FEFF: written as it came, the
    // member would turn into a second "path" and replace the real one
    const QByteArray text("{\"files\": [{\"\xEF\xBB\xBFpath\": \"../x/\", \"path\": \"bin/\"}],"
                          " \"\\ufeff\": 1, \"\": 2}");
    const QByteArray written = UpdateRecord::format(QJsonDocument::fromJson(text).object());
    const QJsonObject back = QJsonDocument::fromJson(written).object();
    QCOMPARE(back.value(QLatin1String("")).toInt(), 2);
    const QJsonObject entry = back.value(QLatin1String("files")).toArray().at(0).toObject();
    QCOMPARE(entry.value(QLatin1String("path")).toString(), QStringLiteral("bin/"));
    QCOMPARE(entry.size(), 2);
    QCOMPARE(back.size(), 3);
    // written again, nothing changes
    QCOMPARE(UpdateRecord::format(back), written);
}

void tst_Launcher::buildNameIsComparedAsWritten()
{
    // Qt reads a raw "\uFEFF1.0.3" as "1.0.3": the staging must not pass
    // for the record's build on that account
    installAndStage();
    QByteArray text = readFile(record());
    QVERIFY(text.contains("\"app_ver_new\": \"1.0.3\""));
    text.replace("\"app_ver_new\": \"1.0.3\"",
                 "\"app_ver_new\": \"\xEF\xBB\xBF"
                 "1.0.3\"");
    writeFile(record(), text);
    const QMap<QString, QByteArray> before = installed();

    const StagedUpdate::Result result = StagedUpdate::apply(m_app);
    QCOMPARE(result.outcome, Outcome::Failed);
    QVERIFY2(result.message.contains(QStringLiteral("does not belong")), qPrintable(result.message));
    QCOMPARE(installed(), before);
}

QTEST_GUILESS_MAIN(tst_Launcher)
#include "tst_launcher.moc"
