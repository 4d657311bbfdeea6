#include "ComPackageU.h"
#include "GlobalVarsU.h"
#include "IniFile.h"
#include "TempAppFolder.h"

#include <QBuffer>
#include <QtTest>

class tst_GlobalVars : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void unitsStartInOrder();
    void loadVarsDefaultsWithoutFile();
    void loadVarsReadsKeysInAnyCase();
    void loadVarsOnlyCustKeyOrEmptyUrl();
    void loadVarsNeverWrites();
    void rememberUserReadsAsInteger_data();
    void rememberUserReadsAsInteger();
    void writePreservesOtherContent();
    void writeAddsMissingSection();
};

void tst_GlobalVars::unitsStartInOrder()
{
    const QStringList units = ComPackageStartedUnits();
    QVERIFY(units.indexOf(QStringLiteral("LangResU")) >= 0);
    QVERIFY(units.indexOf(QStringLiteral("LangResU")) < units.indexOf(QStringLiteral("GlobalVarsU")));
    QCOMPARE(units.constLast(), QStringLiteral("ComPackageU"));
}

void tst_GlobalVars::loadVarsDefaultsWithoutFile()
{
    TempAppFolder folder;
    IsLogin = true;
    CustKey = QStringLiteral("stale");
    LoadVars();
    QCOMPARE(IsLogin, false);
    QCOMPARE(CustKey, QString());
    QCOMPARE(SecretKey, QString());
    QCOMPARE(AppMode, QStringLiteral("dev"));
    QCOMPARE(OrvUrl, QString::fromLatin1(DefaultOrvUrl));
    QVERIFY(OrvUrl.startsWith(QStringLiteral("https://")));
}

void tst_GlobalVars::loadVarsReadsKeysInAnyCase()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("app.conf"),
                 "[appconfig]\ncustkey=K1\nSECRETKEY = S1 \nmode=prod\n\n[url]\napiurl=http://127.0.0.1:9000/api\n");
    LoadVars();
    QCOMPARE(CustKey, QStringLiteral("K1"));
    QCOMPARE(SecretKey, QStringLiteral("S1"));
    QCOMPARE(AppMode, QStringLiteral("prod"));
    QCOMPARE(OrvUrl, QStringLiteral("http://127.0.0.1:9000/api"));
}

void tst_GlobalVars::loadVarsOnlyCustKeyOrEmptyUrl()
{
    TempAppFolder folder;
    folder.write(QStringLiteral("app.conf"), "[AppConfig]\r\nCustKey=ABC\r\n");
    LoadVars();
    QCOMPARE(CustKey, QStringLiteral("ABC"));
    QCOMPARE(SecretKey, QString());
    QCOMPARE(OrvUrl, QString::fromLatin1(DefaultOrvUrl));
    // an empty address is kept empty, not replaced by the default
    folder.write(QStringLiteral("app.conf"), "[URL]\nApiURL=\n");
    LoadVars();
    QCOMPARE(OrvUrl, QString());
}

void tst_GlobalVars::loadVarsNeverWrites()
{
    TempAppFolder folder;
    const QByteArray original = "; keep me\n[AppConfig]\nCustKey=X\n[Other]\nA=1\n";
    folder.write(QStringLiteral("app.conf"), original);
    LoadVars();
    QCOMPARE(folder.read(QStringLiteral("app.conf")), original);
    LoadVars();
    QVERIFY(!folder.exists(QStringLiteral("app.conf.tmp")));
}

void tst_GlobalVars::rememberUserReadsAsInteger_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("expected");
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("one") << "1" << true;
    QTest::newRow("yes") << "yes" << false;
    QTest::newRow("true") << "true" << false;
}

void tst_GlobalVars::rememberUserReadsAsInteger()
{
    QFETCH(QString, value);
    QFETCH(bool, expected);
    const auto ini = Platform::IniFile::fromText(QStringLiteral("[signin]\nrememberuser=") + value + QLatin1Char('\n'));
    QCOMPARE(ini.readBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), false), expected);
}

void tst_GlobalVars::writePreservesOtherContent()
{
    const QString text = QStringLiteral("; comment\n[AppConfig]\nCustKey=K\n\n[SignIn]\nRememberUser=0\nSavedEmail=old@x\n\n[URL]\nApiURL=u\n");
    auto ini = Platform::IniFile::fromText(text);
    ini.writeBool(QStringLiteral("signin"), QStringLiteral("rememberuser"), true);
    ini.writeString(QStringLiteral("SignIn"), QStringLiteral("SavedEmail"), QStringLiteral("a@b.c"));
    ini.writeString(QStringLiteral("SignIn"), QStringLiteral("SavedPassword"), QStringLiteral("p=w"));
    QCOMPARE(ini.toText(),
             QStringLiteral("; comment\n[AppConfig]\nCustKey=K\n\n[SignIn]\nRememberUser=1\nSavedEmail=a@b.c\n"
                            "SavedPassword=p=w\n\n[URL]\nApiURL=u\n"));
    // what was written reads back through a device as well
    QByteArray bytes = ini.toText().toUtf8();
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const auto again = Platform::IniFile::fromDevice(buffer);
    QCOMPARE(again.readString(QStringLiteral("SIGNIN"), QStringLiteral("savedpassword")), QStringLiteral("p=w"));
}

void tst_GlobalVars::writeAddsMissingSection()
{
    TempAppFolder folder;
    auto ini = Platform::IniFile::fromText(QStringLiteral("[AppConfig]\nCustKey=K"));
    ini.writeString(QStringLiteral("SignIn"), QStringLiteral("SavedEmail"), QString());
    QString error;
    QVERIFY(ini.saveAtomically(folder.filePath(QStringLiteral("app.conf")), &error));
    QCOMPARE(folder.read(QStringLiteral("app.conf")), QByteArray("[AppConfig]\nCustKey=K\n\n[SignIn]\nSavedEmail=\n"));
    QVERIFY(!ini.saveAtomically(folder.filePath(QStringLiteral("missing/dir/app.conf")), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_GlobalVars)
#include "tst_globalvars.moc"
