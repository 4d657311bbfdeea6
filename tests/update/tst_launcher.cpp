#include "AppPaths.h"
#include "ProcessLauncher.h"
#include "StagedUpdate.h"
#include "UpdateFixtures.h"
#include "UpdateRecord.h"
#include "UpdaterU.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateFixtures;
using Outcome = StagedUpdate::Result::Outcome;

namespace {

QJsonObject entry(const char *fileId, const char *filename, const char *path, const char *version, const char *action)
{
    return QJsonObject { { "file_id", fileId }, { "filename", filename }, { "path", path },
                         { "app_version", version }, { "action", action } };
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

private:
    QString staging() const { return m_app + QStringLiteral("updates/"); }
    QString record() const { return m_app + QStringLiteral("updates.json"); }
    // The installed build 1.0.1 with build 1.0.3 staged beside it.
    void installAndStage(const std::function<void(UpdateRecord::Manifest &)> &spoil = {});
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
    writeFile(record(), UpdateRecord::format(QJsonObject {
                            { "app_ver", "1.0.1" },
                            { "app_ver_new", "1.0.3" },
                            { "app_update", "1" },
                            { "files", QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.1", "1"),
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

    QTest::newRow("second swap fails") << "" << "reports/customer-list.txt"
                                       << "Cannot replace \"reports/customer-list.txt\"; the update was undone.";
    QTest::newRow("a folder in the way") << "folder in the way" << ""
                                         << "\"templates/quotation.txt\" is in the way: it is not a file.";
    QTest::newRow("staged path escapes") << "path escapes" << "" << "File \"42\": the path \"..\\..\\\" is not safe.";
}

void tst_Launcher::failureUndoesEverything()
{
    QFETCH(QString, spoil);
    QFETCH(QString, failSwapOf);
    QFETCH(QString, message);

    installAndStage([&](UpdateRecord::Manifest &manifest) {
        if (spoil == QLatin1String("path escapes"))
            manifest.entries[0].path = QStringLiteral("..\\..\\");
    });
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
    QCOMPARE(installed(), before);
    QVERIFY(!QFileInfo::exists(marker));
    writeFile(quit, "");
    QVERIFY(client.waitForFinished(10000));

    // the client is started again in the application folder
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 30000);
    QCOMPARE(readFile(marker), "restarted\n" + QDir::cleanPath(m_app).toUtf8() + "\n\n");

    // applied: the record rewritten; no staging, no file set aside and no half-written record left
    const QByteArray appliedRecord = UpdateRecord::format(QJsonObject {
        { "app_ver", "1.0.3" },
        { "app_ver_new", "1.0.3" },
        { "app_update", "0" },
        { "files", QJsonArray { entry("42", "com.bpl", "bin\\", "1.0.3", "0"),
                                entry("7", "customer-list.txt", "reports/", "1.0.2", "0"),
                                entry("3", "templates", "templates/", "1.0.3", "0"),
                                entry("1", "release-notes.txt", "", "1.0.3", "0") } } });
    const QMap<QString, QByteArray> expected {
        { "bin", "<folder>" },       { "bin/com.bpl", "library 1.0.3" },
        { "reports", "<folder>" },   { "reports/customer-list.txt", "report 1.0.2" },
        { "templates", "<folder>" }, { "templates/letters", "<folder>" },
        { "templates/letters/welcome.txt", "welcome 1.0.3" },
        { "templates/quotation.txt", "quotation 1.0.3" },
        { "keep.txt", "untouched" }, { "updates.json", appliedRecord },
    };
    QMap<QString, QByteArray> after = snapshot(m_app);
    QVERIFY(after.remove(QStringLiteral("ZeltLauncher")));
    QCOMPARE(after, expected);
    QVERIFY(QFile::permissions(m_app + QStringLiteral("bin/com.bpl")) & QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(tst_Launcher)
#include "tst_launcher.moc"
