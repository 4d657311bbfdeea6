#include "GlobalVarsU.h"
#include "IniFile.h"
#include "TempAppFolder.h"

#include <QtTest>

class tst_GlobalVars : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadVars();
    void booleansReadAsIntegers_data();
    void booleansReadAsIntegers();
};

void tst_GlobalVars::loadVars()
{
    // defaults when there is no app.conf, which is not made either
    TempAppFolder folder;
    IsLogin = true;
    CustKey = QStringLiteral("stale");
    LoadVars();
    QCOMPARE(IsLogin, false);
    QCOMPARE(CustKey + SecretKey, QString());
    QCOMPARE(AppMode, QStringLiteral("dev"));
    QCOMPARE(OrvUrl, QString::fromLatin1(DefaultOrvUrl));
    QVERIFY(!folder.exists(QStringLiteral("app.conf")));

    // section and key names in any case; the file is never written
    const QByteArray text =
        "; keep me\n[appconfig]\ncustkey=K1\nSECRETKEY = S1 \nmode=prod\n\n[url]\napiurl=http://127.0.0.1:9000/api\n";
    folder.write(QStringLiteral("app.conf"), text);
    const QDateTime written = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 3 * 86400);
    {
        QFile conf(folder.filePath(QStringLiteral("app.conf")));
        QVERIFY(conf.open(QIODevice::ReadWrite));
        QVERIFY(conf.setFileTime(written, QFileDevice::FileModificationTime));
    }
    LoadVars();
    QCOMPARE(CustKey, QStringLiteral("K1"));
    QCOMPARE(SecretKey, QStringLiteral("S1"));
    QCOMPARE(AppMode, QStringLiteral("prod"));
    QCOMPARE(OrvUrl, QStringLiteral("http://127.0.0.1:9000/api"));
    QCOMPARE(folder.read(QStringLiteral("app.conf")), text);
    // not rewritten, not even with the same text, and nothing left beside it
    QCOMPARE(QFileInfo(folder.filePath(QStringLiteral("app.conf"))).lastModified(), written);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList { QStringLiteral("app.conf") });

    // an empty address is kept empty, not replaced by the default
    folder.write(QStringLiteral("app.conf"), "[AppConfig]\r\nCustKey=ABC\r\n[URL]\r\nApiURL=\r\n");
    LoadVars();
    QCOMPARE(CustKey, QStringLiteral("ABC"));
    QCOMPARE(SecretKey, QString());
    QCOMPARE(OrvUrl, QString());
}

void tst_GlobalVars::booleansReadAsIntegers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("expected");
    QTest::newRow("one") << "1" << true;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("true") << "true" << false;
}

void tst_GlobalVars::booleansReadAsIntegers()
{
    QFETCH(QString, value);
    QFETCH(bool, expected);
    const auto ini = Platform::IniFile::fromText(QStringLiteral("[signin]\nrememberuser=") + value + QLatin1Char('\n'));
    QCOMPARE(ini.readBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), false), expected);
}

QTEST_GUILESS_MAIN(tst_GlobalVars)
#include "tst_globalvars.moc"
