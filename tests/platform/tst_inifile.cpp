#include "IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Platform::IniFile;

// app.conf and lang.ini come from editors of every kind; a save after the
// sign-in must leave every line but the one written as it was.
class tst_IniFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void unchangedFileIsWrittenBackByteForByte_data();
    void unchangedFileIsWrittenBackByteForByte();
    void editChangesOnlyItsLine_data();
    void editChangesOnlyItsLine();
    void byteOrderMarkHidesNoSection();
    void latin1FileKeepsItsEncoding();
    void utf16FileIsReadAndKeepsItsEncoding_data();
    void utf16FileIsReadAndKeepsItsEncoding();
    void latin1EditLeavingValidUtf8KeepsOtherValues();
    void newKeysFollowTheFileLineBreaks();
    void valueCannotAddLines();
    void bracketLineIsNoKey();
    void saveKeepsCrLfOnDisk();
};

void tst_IniFile::unchangedFileIsWrittenBackByteForByte_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("lf") << QByteArray("[A]\nx=1\n");
    QTest::newRow("crlf") << QByteArray("[A]\r\nx=1\r\n");
    QTest::newRow("mixed, no final line break") << QByteArray("[A]\r\nx=1\n\n; c\r\ny = 2 ");
    QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF[A]\nx=1\n");
    QTest::newRow("latin-1") << QByteArray("[A]\nx=Caf\xE9\n");
    QTest::newRow("lone cr") << QByteArray("[A]\rx=1\r\r\n");
}

void tst_IniFile::unchangedFileIsWrittenBackByteForByte()
{
    QFETCH(QByteArray, file);
    QCOMPARE(IniFile::fromBytes(file).toBytes(), file);
}

void tst_IniFile::editChangesOnlyItsLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("crlf kept around the edit")
        << QByteArray("[SignIn]\r\nSavedEmail=a@b\r\nRememberUser=0\n")
        << QByteArray("[SignIn]\r\nSavedEmail=sarah@zelt.local\r\nRememberUser=0\n");
    QTest::newRow("indentation and blanks before the value kept")
        << QByteArray("[SignIn]\n  SavedEmail =  a@b  \n")
        << QByteArray("[SignIn]\n  SavedEmail =  sarah@zelt.local\n");
}

void tst_IniFile::editChangesOnlyItsLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    IniFile ini = IniFile::fromBytes(file);
    ini.writeString(QStringLiteral("signin"), QStringLiteral("savedemail"), QStringLiteral("sarah@zelt.local"));
    QCOMPARE(ini.toBytes(), expected);
}

void tst_IniFile::byteOrderMarkHidesNoSection()
{
    // Notepad saves UTF-8 with a byte-order mark before the first section
    IniFile ini = IniFile::fromBytes("\xEF\xBB\xBF[AppConfig]\r\nCustKey=K1\r\n");
    QCOMPARE(ini.sections(), QStringList { QStringLiteral("AppConfig") });
    QCOMPARE(ini.readString(QStringLiteral("AppConfig"), QStringLiteral("CustKey")), QStringLiteral("K1"));
    ini.writeString(QStringLiteral("AppConfig"), QStringLiteral("CustKey"), QStringLiteral("K2"));
    QCOMPARE(ini.toBytes(), QByteArray("\xEF\xBB\xBF[AppConfig]\r\nCustKey=K2\r\n"));
}

void tst_IniFile::latin1FileKeepsItsEncoding()
{
    const QByteArray file("; r\xE9sum\xE9\n[A]\nname=Ren\xE9\nx=1\n");
    IniFile ini = IniFile::fromBytes(file);
    QCOMPARE(ini.readString(QStringLiteral("A"), QStringLiteral("name")), QStringLiteral("Ren\u00e9"));
    ini.writeString(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("Zo\u00eb"));
    QCOMPARE(ini.toBytes(), QByteArray("; r\xE9sum\xE9\n[A]\nname=Ren\xE9\nx=Zo\xEB\n"));
    // a text Latin-1 cannot hold: the file becomes UTF-8, nothing is lost
    ini.writeString(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("\u65e5"));
    const IniFile back = IniFile::fromBytes(ini.toBytes());
    QCOMPARE(back.readString(QStringLiteral("A"), QStringLiteral("name")), QStringLiteral("Ren\u00e9"));
    QCOMPARE(back.readString(QStringLiteral("A"), QStringLiteral("x")), QStringLiteral("\u65e5"));
}

void tst_IniFile::utf16FileIsReadAndKeepsItsEncoding_data()
{
    QTest::addColumn<bool>("littleEndian");
    QTest::newRow("little-endian") << true;
    QTest::newRow("big-endian") << false;
}

// Notepad's "Unicode" (UTF-16 with a byte-order mark): the keys are read,
// and a save writes UTF-16 again rather than single bytes into it.
void tst_IniFile::utf16FileIsReadAndKeepsItsEncoding()
{
    QFETCH(bool, littleEndian);
    const auto utf16 = [littleEndian](const QString &text) -> QByteArray {
        QStringEncoder encoder(littleEndian ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
        return QByteArray(littleEndian ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(text));
    };
    const QString text = QStringLiteral("; Ren\u00e9\r\n[AppConfig]\r\nCustKey=K\u65e5\U0001F600\r\nMode=prod\r\n");
    IniFile ini = IniFile::fromBytes(utf16(text));
    QCOMPARE(ini.readString(QStringLiteral("appconfig"), QStringLiteral("custkey")),
             QStringLiteral("K\u65e5\U0001F600"));
    QCOMPARE(ini.readString(QStringLiteral("AppConfig"), QStringLiteral("Mode")), QStringLiteral("prod"));
    QCOMPARE(ini.toBytes(), utf16(text));
    ini.writeBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), true);
    QCOMPARE(ini.toBytes(), utf16(text + QStringLiteral("\r\n[SignIn]\r\nRememberUser=1\r\n")));

    // a U+FEFF after the byte-order mark is text, kept by a save even when
    // it is all the text there is
    IniFile bare = IniFile::fromBytes(utf16(QStringLiteral("\uFEFF")));
    QCOMPARE(bare.toBytes(), utf16(QStringLiteral("\uFEFF")));
    bare.writeBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), true);
    QCOMPARE(bare.toBytes(), utf16(QStringLiteral("\uFEFF\n\n[SignIn]\nRememberUser=1")));
    QCOMPARE(bare.readString(QStringLiteral("SignIn"), QStringLiteral("RememberUser")), QStringLiteral("1"));
}

void tst_IniFile::latin1EditLeavingValidUtf8KeepsOtherValues()
{
    // Latin-1 only because of "Ren\xE9"; the bytes of city are valid UTF-8
    // too, and would read as "M\u00fcnchen" once that line is gone
    const QByteArray file("[A]\ncity=M\xC3\xBCnchen\nname=Ren\xE9\n");
    IniFile ini = IniFile::fromBytes(file);
    QCOMPARE(ini.readString(QStringLiteral("A"), QStringLiteral("city")), QStringLiteral("M\u00c3\u00bcnchen"));
    ini.writeString(QStringLiteral("A"), QStringLiteral("name"), QStringLiteral("Rene"));
    QCOMPARE(ini.toBytes(), QByteArray("[A]\ncity=M\xC3\x83\xC2\xBCnchen\nname=Rene\n"));
    const IniFile back = IniFile::fromBytes(ini.toBytes());
    QCOMPARE(back.readString(QStringLiteral("A"), QStringLiteral("city")), QStringLiteral("M\u00c3\u00bcnchen"));

    // another invalid byte left elsewhere: nothing but the line changes
    IniFile kept = IniFile::fromBytes("; \xFF\n[A]\ncity=M\xC3\xBCnchen\nname=Ren\xE9\n");
    kept.writeString(QStringLiteral("A"), QStringLiteral("name"), QStringLiteral("Rene"));
    QCOMPARE(kept.toBytes(), QByteArray("; \xFF\n[A]\ncity=M\xC3\xBCnchen\nname=Rene\n"));
}

void tst_IniFile::newKeysFollowTheFileLineBreaks()
{
    IniFile ini = IniFile::fromBytes("[A]\r\nx=1");
    ini.writeString(QStringLiteral("A"), QStringLiteral("y"), QStringLiteral("2"));
    ini.writeString(QStringLiteral("B"), QStringLiteral("z"), QStringLiteral("3"));
    QCOMPARE(ini.toBytes(), QByteArray("[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3"));
}

void tst_IniFile::valueCannotAddLines()
{
    IniFile ini = IniFile::fromBytes("[SignIn]\nSavedPassword=x\n");
    ini.writeString(QStringLiteral("SignIn"), QStringLiteral("SavedPassword"),
                    QStringLiteral("a\r\n[AppConfig]\nCustKey=evil"));
    QCOMPARE(ini.toBytes(), QByteArray("[SignIn]\nSavedPassword=a[AppConfig]CustKey=evil\n"));
    QVERIFY(!IniFile::fromBytes(ini.toBytes()).hasSection(QStringLiteral("AppConfig")));
}

void tst_IniFile::bracketLineIsNoKey()
{
    // written back with a value ending in ']' it would turn into a header
    const IniFile ini = IniFile::fromBytes("[A]\n[x=1\n");
    QVERIFY(!ini.hasKey(QStringLiteral("A"), QStringLiteral("[x")));
}

void tst_IniFile::saveKeepsCrLfOnDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("app.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[SignIn]\r\nRememberUser=0\r\nSavedEmail=\r\n");
    file.close();
    IniFile ini = IniFile::fromFile(path);
    ini.writeBool(QStringLiteral("SignIn"), QStringLiteral("RememberUser"), true);
    QVERIFY(ini.saveAtomically(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[SignIn]\r\nRememberUser=1\r\nSavedEmail=\r\n"));
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
