#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_Relauncher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void restartsAtEndOfProcess_data();
    void restartsAtEndOfProcess();
};

void tst_Relauncher::restartsAtEndOfProcess_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("with application") << QStringList();
    QTest::newRow("without application") << QStringList({ "--no-app" });
}

void tst_Relauncher::restartsAtEndOfProcess()
{
    // a program registers a service restart, then an application restart, and ends; when the
    // library unloads, the program is started once more (also when no application object existed)
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
    // time for a second restart, if there were one, to show up
    QTest::qWait(500);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({ "RestartApplicationOnExit=" + QString::number(pid) + "-x", "--marker=1" }));
}

QTEST_MAIN(tst_Relauncher)
#include "tst_relauncher.moc"
