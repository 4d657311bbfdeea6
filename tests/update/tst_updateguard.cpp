#include "AppPaths.h"
#include "RecordingPresenter.h"
#include "RecordingProcessLauncher.h"
#include "SplashFrmU.h"
#include "UpdateFixtures.h"
#include "UpdateGuardU.h"

#include <QLabel>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateFixtures;

// The client's start while the launcher works, after it gave up, and after
// an interrupted update.
class tst_UpdateGuard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startWaitsForTheLauncherThenGoesOn();
    void startGivesUpWhenTheLockStaysHeld();
    void interruptedUpdateIsHandedToTheLauncher();
    void launcherNoteIsShownOnce();

private:
    std::unique_ptr<QTemporaryDir> m_root;
    QString m_app;
    RecordingPresenter *m_presenter = nullptr;
    RecordingProcessLauncher *m_launcher = nullptr;
};

void tst_UpdateGuard::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_app = m_root->path() + QStringLiteral("/app/");
    Platform::setApplicationFolder(m_app);
    writeFile(m_app + QStringLiteral("updates.json"), "{}");
    writeFile(m_app + QStringLiteral("ZeltLauncher"), "#!/bin/sh\n");
    m_presenter = RecordingPresenter::install();
    auto launcher = std::make_unique<RecordingProcessLauncher>();
    m_launcher = launcher.get();
    Platform::setProcessLauncher(std::move(launcher));
}

void tst_UpdateGuard::cleanup()
{
    Platform::setProcessLauncher(nullptr);
    Platform::setApplicationFolder(QString());
    m_root.reset();
}

void tst_UpdateGuard::startWaitsForTheLauncherThenGoesOn()
{
    QLockFile held(m_app + QStringLiteral("ZeltLauncher.lock"));
    QVERIFY(held.tryLock(0));
    QString shownStatus;
    QTimer::singleShot(300, this, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *splash = qobject_cast<TSplashFrm *>(w); splash && splash->isVisible())
                shownStatus = splash->lblStatus->text();
        }
        held.unlock();
    });
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(PrepareClientStart(10000), TClientStart::Go);
    QVERIFY(timer.elapsed() >= 300);
    QCOMPARE(shownStatus, QStringLiteral("An update is being applied, please wait..."));
    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(m_launcher->calls.isEmpty());
}

void tst_UpdateGuard::startGivesUpWhenTheLockStaysHeld()
{
    QLockFile held(m_app + QStringLiteral("ZeltLauncher.lock"));
    QVERIFY(held.tryLock(0));
    writeFile(m_app + QStringLiteral("updates/journal.json"), "{}");
    const QMap<QString, QByteArray> before = snapshot(m_app);
    QCOMPARE(PrepareClientStart(300), TClientStart::Quit);
    QCOMPARE(m_presenter->texts(),
             QStringList { "ZeltERP is still being updated. Nothing has been changed; start "
                           "ZeltERP again in a few minutes." });
    QVERIFY(m_launcher->calls.isEmpty()); // the running launcher is not disturbed
    QCOMPARE(snapshot(m_app), before);
}

void tst_UpdateGuard::interruptedUpdateIsHandedToTheLauncher()
{
    writeFile(m_app + QStringLiteral("updates/journal.json"), "{}");
    QCOMPARE(PrepareClientStart(1000), TClientStart::Quit);
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_launcher->calls.at(0).program, m_app + QStringLiteral("ZeltLauncher"));
    const QString parameters = m_launcher->calls.at(0).parameters;
    QVERIFY2(parameters.startsWith(QStringLiteral("--app-folder \"") + QDir::cleanPath(m_app)
                                   + QStringLiteral("\" --wait-pid ")
                                   + QString::number(QCoreApplication::applicationPid())),
             qPrintable(parameters));
    QVERIFY2(parameters.endsWith(QStringLiteral(" --recover")), qPrintable(parameters));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_UpdateGuard::launcherNoteIsShownOnce()
{
    writeFile(m_app + QStringLiteral("ZeltLauncher.note"), "The update was not applied: ZeltERP did not end.\n");
    QCOMPARE(PrepareClientStart(1000), TClientStart::Go);
    QCOMPARE(m_presenter->texts(),
             QStringList { "The last update did not complete.\nThe update was not applied: ZeltERP did not end." });
    QVERIFY(!QFileInfo::exists(m_app + QStringLiteral("ZeltLauncher.note")));
    QCOMPARE(PrepareClientStart(1000), TClientStart::Go);
    QCOMPARE(m_presenter->messages.size(), 1);

    // the launcher failed on an interrupted update: said once, not handed over again
    writeFile(m_app + QStringLiteral("ZeltLauncher.note"), "The interrupted update could not be undone.");
    writeFile(m_app + QStringLiteral("updates/journal.json"), "{}");
    QCOMPARE(PrepareClientStart(1000), TClientStart::Quit);
    QCOMPARE(m_presenter->messages.size(), 2);
    QVERIFY(m_launcher->calls.isEmpty());
}

QTEST_MAIN(tst_UpdateGuard)
#include "tst_updateguard.moc"
