#include "ComPackageU.h"
#include "ProcessLauncher.h"
#include "RecordingPresenter.h"
#include "RecordingProcessLauncher.h"
#include "RelauncerU.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using Kind = RecordingProcessLauncher::Kind;

class tst_Relauncher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void unitStartsBetweenLangResAndGlobalVars();
    void nothingRegisteredStartsNothing();
    void applicationRestart();
    void extraArguments_data();
    void extraArguments();
    void serviceRestart();
    void lastRegistrationWins();
    void applicationFailureIgnored();
    void serviceFailureShown();
    void serviceFailureAtUnloadNotShownInDialog();
    void finalizationCarriesOutOnce();
    void netStartParameters();

    void restartsAtEndOfProcess_data();
    void restartsAtEndOfProcess();

private:
    QString expectedParameters(const QString &extra) const;

    RecordingProcessLauncher *m_launcher = nullptr;
    RecordingPresenter *m_presenter = nullptr;
};

QString tst_Relauncher::expectedParameters(const QString &extra) const
{
    return QStringLiteral("RestartApplicationOnExit=") + QString::number(QCoreApplication::applicationPid()) + extra;
}

void tst_Relauncher::initTestCase()
{
    // Kept for the whole run: a registration left behind by a failing test
    // is recorded at unload instead of starting this program again.
    m_launcher = RecordingProcessLauncher::install();
    m_presenter = RecordingPresenter::install();
}

void tst_Relauncher::init()
{
    RelauncerU_Initialize();
    m_launcher->calls.clear();
    m_launcher->failWith.clear();
    m_presenter->clear();
}

void tst_Relauncher::unitStartsBetweenLangResAndGlobalVars()
{
    const QStringList units = ComPackageStartedUnits();
    const qsizetype at = units.indexOf(QStringLiteral("RelauncerU"));
    QVERIFY(at > units.indexOf(QStringLiteral("LangResU")));
    QCOMPARE(units.value(at + 1), QStringLiteral("GlobalVarsU"));
}

void tst_Relauncher::nothingRegisteredStartsNothing()
{
    CarryOutRestartOnExit();
    RelauncerU_Finalize();
    QVERIFY(m_launcher->calls.isEmpty());
}

void tst_Relauncher::applicationRestart()
{
    RestartApplicationOnExit(QStringLiteral("  -x "));
    QVERIFY(m_launcher->calls.isEmpty()); // nothing until the end

    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    const RecordingProcessLauncher::Call call = m_launcher->calls.constFirst();
    QCOMPARE(call.kind, Kind::Program);
    QCOMPARE(QFileInfo(call.program).canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    QCOMPARE(call.parameters, expectedParameters(QStringLiteral("-x")));
    QCOMPARE(call.workingDirectory, QString());
    QCOMPARE(call.show, Platform::WindowShow::Normal);

    // Once only: neither a second call nor the unit's finalization repeats it.
    CarryOutRestartOnExit();
    RelauncerU_Finalize();
    QCOMPARE(m_launcher->calls.size(), 1);
}

void tst_Relauncher::extraArguments_data()
{
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QString>("expectedSuffix");

    QTest::newRow("none") << QString() << QString();
    QTest::newRow("blanks only") << "   " << QString();
    QTest::newRow("several") << " --lang=id  --quiet\t" << "--lang=id  --quiet";
}

void tst_Relauncher::extraArguments()
{
    QFETCH(QString, extra);
    QFETCH(QString, expectedSuffix);
    RestartApplicationOnExit(extra);
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_launcher->calls.constFirst().parameters, expectedParameters(expectedSuffix));
}

void tst_Relauncher::serviceRestart()
{
    RestartServiceOnExit(QStringLiteral("Spooler"));
    QVERIFY(m_launcher->calls.isEmpty());
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_launcher->calls.constFirst().kind, Kind::Service);
    QCOMPARE(m_launcher->calls.constFirst().program, QStringLiteral("Spooler"));

    // The name is passed unchanged.
    m_launcher->calls.clear();
    RestartServiceOnExit(QStringLiteral(" My Service "));
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.constFirst().program, QStringLiteral(" My Service "));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_Relauncher::lastRegistrationWins()
{
    RestartServiceOnExit(QStringLiteral("Spooler"));
    RestartApplicationOnExit(QStringLiteral("-a"));
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_launcher->calls.constFirst().kind, Kind::Program);
    QCOMPARE(m_launcher->calls.constFirst().parameters, expectedParameters(QStringLiteral("-a")));

    m_launcher->calls.clear();
    RestartApplicationOnExit(QStringLiteral("-a"));
    RestartApplicationOnExit(QStringLiteral("-b"));
    RestartServiceOnExit(QStringLiteral("First"));
    RestartServiceOnExit(QStringLiteral("Second"));
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_launcher->calls.constFirst().kind, Kind::Service);
    QCOMPARE(m_launcher->calls.constFirst().program, QStringLiteral("Second"));
}

void tst_Relauncher::applicationFailureIgnored()
{
    m_launcher->failWith = QStringLiteral("The system cannot find the file specified.");
    RestartApplicationOnExit(QString());
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_Relauncher::serviceFailureShown()
{
    m_launcher->failWith = QStringLiteral("The system cannot find the file specified.");
    RestartServiceOnExit(QStringLiteral("Spooler"));
    CarryOutRestartOnExit();
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_presenter->texts(), QStringList({ "The system cannot find the file specified." }));
    QCOMPARE(m_presenter->messages.constFirst().buttons, Platform::MessageButtons(Platform::MessageButton::Ok));
    QCOMPARE(m_presenter->messages.constFirst().kind, Platform::MessageKind::Custom);
}

void tst_Relauncher::serviceFailureAtUnloadNotShownInDialog()
{
    // At unload the application and the presenter may be gone: the reason
    // goes to standard error instead.
    m_launcher->failWith = QStringLiteral("cannot start");
    RestartServiceOnExit(QStringLiteral("Spooler"));
    RelauncerU_Finalize();
    QCOMPARE(m_launcher->calls.size(), 1);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_Relauncher::finalizationCarriesOutOnce()
{
    RestartServiceOnExit(QStringLiteral("Spooler"));
    RelauncerU_Finalize();
    RelauncerU_Finalize();
    QCOMPARE(m_launcher->calls.size(), 1);
    QCOMPARE(m_launcher->calls.constFirst().kind, Kind::Service);
}

void tst_Relauncher::netStartParameters()
{
    QCOMPARE(Platform::netStartParameters(QStringLiteral("My Service")),
             QStringLiteral("/S /C net start \"My Service\""));
}

void tst_Relauncher::restartsAtEndOfProcess_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("with application") << QStringList();
    QTest::newRow("without application") << QStringList({ "--no-app" });
}

void tst_Relauncher::restartsAtEndOfProcess()
{
    // Given a program that registers a restart and ends, when the library
    // unloads, then the program is started once more with the parameters.
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("restarted.txt"));

    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZELT_RELAUNCH_OUT"), out);
    probe.setProcessEnvironment(env);
    probe.setProcessChannelMode(QProcess::ForwardedChannels);
    probe.start(QString::fromUtf8(RELAUNCH_PROBE), arguments);
    QVERIFY(probe.waitForStarted());
    const qint64 pid = probe.processId();
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 15000);
    // Give a second restart, if there were one, time to show up.
    QTest::qWait(500);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({ "RestartApplicationOnExit=" + QString::number(pid) + "-x", "--marker=1" }));
}

QTEST_MAIN(tst_Relauncher)
#include "tst_relauncher.moc"
