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
    void exactValuesRoundTrip_data();
    void exactValuesRoundTrip();
    void ownerOnlySave();
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

void tst_GlobalVars::exactValuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line"); // as it stands in the file
    QTest::newRow("plain") << "sarah@zelt.local"
                           << "SavedEmail=sarah@zelt.local";
    QTest::newRow("blanks around") << " sarah@zelt.local\t "
                                   << "SavedEmail=\" sarah@zelt.local\t \"";
    QTest::newRow("blank inside") << "a b"
                                  << "SavedEmail=a b";
    QTest::newRow("quoted") << "\"sarah\""
                            << "SavedEmail=\"\"sarah\"\"";
    QTest::newRow("quote at one end") << "\"sarah"
                                      << "SavedEmail=\"sarah";
    QTest::newRow("one quote") << "\""
                               << "SavedEmail=\"";
    QTest::newRow("backslashes, non-ASCII") << "d\\ewi ü 密"
                                            << "SavedEmail=d\\ewi ü 密";
    QTest::newRow("empty") << ""
                           << "SavedEmail=";
}

// Written into a file beside other keys and read from it again: the same value.
void tst_GlobalVars::exactValuesRoundTrip()
{
    QFETCH(QString, value);
    QFETCH(QString, line);
    Platform::IniFile ini = Platform::IniFile::fromText(QStringLiteral("[SignIn]\nRememberUser=1\n"));
    ini.writeExactString(QStringLiteral("SignIn"), QStringLiteral("SavedEmail"), value);
    QCOMPARE(ini.toText(), QStringLiteral("[SignIn]\nRememberUser=1\n") + line + QLatin1Char('\n'));
    const auto back = Platform::IniFile::fromText(ini.toText());
    QCOMPARE(back.readExactString(QStringLiteral("signin"), QStringLiteral("savedemail")), value);
    QCOMPARE(back.readBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), false), true);
}

// A file with sign-in data is the owner's alone; other saves keep what the file had.
void tst_GlobalVars::ownerOnlySave()
{
#ifndef Q_OS_UNIX
    QSKIP("permission bits are a Unix matter");
#else
    TempAppFolder folder;
    const QString path = folder.filePath(QStringLiteral("app.conf"));
    const auto bits = [&] {
        return QFile::permissions(path)
            & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup
               | QFileDevice::ReadOther | QFileDevice::WriteOther);
    };
    folder.write(QStringLiteral("app.conf"), "[AppConfig]\nCustKey=K\n");
    const auto shared =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(path, shared));
    Platform::IniFile ini = Platform::IniFile::fromFile(path);
    ini.writeBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), false);
    QVERIFY(ini.saveAtomically(path));
    QCOMPARE(bits(), shared);
    ini.writeBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), true);
    QString error;
    QVERIFY2(ini.saveAtomically(path, &error, true), qPrintable(error));
    QCOMPARE(bits(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(folder.read(QStringLiteral("app.conf")),
             QByteArray("[AppConfig]\nCustKey=K\n\n[SignIn]\nRememberUser=1\n"));
    // a new file too
    QFile::remove(path);
    QVERIFY(ini.saveAtomically(path, &error, true));
    QCOMPARE(bits(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}

QTEST_GUILESS_MAIN(tst_GlobalVars)
#include "tst_globalvars.moc"
