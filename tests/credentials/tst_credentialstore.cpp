#include "CredentialStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A client started on a display with no desktop session around it (a bare
// X server, a kiosk): the system store is out of reach. The jobs fail as a
// missing store fails them, and nothing is started to reach one: no bus of
// our own (whose keyring would prompt for a new password over the whole
// display) and no daemon left behind.

using Platform::CredentialResult;

class tst_CredentialStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void withoutSessionBusJobsFailAndNothingIsStarted();

private:
    QTemporaryDir m_dir;
    QString m_marker;
};

void tst_CredentialStore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    const QString bin = m_dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QDir().mkpath(bin));
    // the session bus would be started through the dbus-launch found on the
    // PATH: ours only leaves a mark
    m_marker = m_dir.filePath(QStringLiteral("dbus-launch-ran"));
    QFile launch(bin + QStringLiteral("/dbus-launch"));
    QVERIFY(launch.open(QIODevice::WriteOnly));
    launch.write("#!/bin/sh\ntouch '" + m_marker.toUtf8() + "'\nexit 1\n");
    launch.close();
    QVERIFY(launch.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qputenv("DISPLAY", ":97");
    qputenv("PATH", bin.toUtf8() + ':' + qgetenv("PATH"));
}

void tst_CredentialStore::withoutSessionBusJobsFailAndNothingIsStarted()
{
    Platform::KeychainCredentialStore store;
    const QString service = QStringLiteral("ZeltERP");
    const QString key = QStringLiteral("sarah@zelt.local on /opt/zelt");
    using Start = std::function<void(Platform::CredentialStore::Done)>;
    const QList<QPair<const char *, Start>> jobs = {
        { "write", [&](auto done) { store.write(service, key, QStringLiteral("Demo#2024"), done); } },
        { "read", [&](auto done) { store.read(service, key, done); } },
        { "remove", [&](auto done) { store.remove(service, key, done); } },
    };
    for (const auto &[name, start] : jobs) {
        int answers = 0;
        bool insideCall = true;
        bool answeredInside = false;
        CredentialResult result;
        start([&](const CredentialResult &r) {
            ++answers;
            answeredInside = insideCall;
            result = r;
        });
        insideCall = false;
        QVERIFY2(QTest::qWaitFor([&] { return answers > 0; }, 10000), name);
        QTest::qWait(50);
        QVERIFY2(answers == 1, name);
        QVERIFY2(!answeredInside, name);
        QVERIFY2(result.status == CredentialResult::Status::Failed, name);
        QVERIFY2(!result.error.isEmpty(), name);
        QVERIFY2(result.secret.isEmpty(), name);
    }
    QVERIFY2(!QFile::exists(m_marker), "a session bus was started");
}

QTEST_GUILESS_MAIN(tst_CredentialStore)
#include "tst_credentialstore.moc"
