#include "AppPaths.h"
#include "ClassRegistry.h"
#include "Errors.h"
#include "PackageListU.h"
#include "RecordingPresenter.h"
#include "TempAppFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QWidget>
#include <QtTest>

using Platform::ClassRegistry;

namespace {

const QString Good = QStringLiteral("TFixtureFrm");
const QString Partial = QStringLiteral("TFixturePartialFrm");
const QString Stuck = QStringLiteral("TFixtureStuckFrm");

QJsonObject entry(const QString &id, const QString &file)
{
    return QJsonObject { { QStringLiteral("package_id"), id }, { QStringLiteral("package_file"), file } };
}

bool registered(const QString &name)
{
    return ClassRegistry::instance().contains(name);
}

} // namespace

class tst_PackageList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void libraryFileName_data();
    void libraryFileName();

    void emptyOrAbsentListHoldsCommonEntryOnly_data();
    void emptyOrAbsentListHoldsCommonEntryOnly();
    void commonEntryTakesAReferenceToCom();
    void loadRegistersUnloadUnregisters();
    void missingFileSkippedSilently();
    void unusableModuleStopsTheList_data();
    void unusableModuleStopsTheList();
    void badEntriesReportedOnce_data();
    void badEntriesReportedOnce();
    void unloadFailureReachesCaller();
    void destructorUnloadsOnlyWhatIsStillLoaded();
    void secondLoadStartsFromEmptyList();

private:
    // Copies the fixture plugin built as lib<base>.so (or the platform's
    // equivalent) into the application folder.
    void install(const QString &base);

    std::unique_ptr<TempAppFolder> m_folder;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_PackageList::init()
{
    m_folder = std::make_unique<TempAppFolder>();
    m_presenter = RecordingPresenter::install();
}

void tst_PackageList::cleanup()
{
    m_folder.reset();
    for (const QString &name : { Good, Partial, Stuck })
        ClassRegistry::instance().unregisterClass(name);
}

void tst_PackageList::install(const QString &base)
{
    const QString file = TPackageList::LibraryFileName(base + QStringLiteral(".bpl"));
    const QString from = QStringLiteral(FIXTURE_PLUGIN_DIR "/") + file;
    QVERIFY2(QFile::copy(from, m_folder->filePath(file)), qPrintable(from));
}

void tst_PackageList::libraryFileName_data()
{
    QTest::addColumn<QString>("packageFile");
    QTest::addColumn<QString>("expected");
#if defined(Q_OS_WIN)
    QTest::newRow("package") << "crm.bpl" << "crm.dll";
    QTest::newRow("upper-case suffix") << "CRM.BPL" << "CRM.dll";
#elif defined(Q_OS_MACOS)
    QTest::newRow("package") << "crm.bpl" << "libcrm.dylib";
    QTest::newRow("upper-case suffix") << "CRM.BPL" << "libCRM.dylib";
#else
    QTest::newRow("package") << "crm.bpl" << "libcrm.so";
    QTest::newRow("upper-case suffix") << "CRM.BPL" << "libCRM.so";
#endif
    QTest::newRow("library name kept") << "libcrm.so" << "libcrm.so";
    QTest::newRow("suffix not at end") << "crm.bpl.old" << "crm.bpl.old";
}

void tst_PackageList::libraryFileName()
{
    QFETCH(QString, packageFile);
    QFETCH(QString, expected);
    QCOMPARE(TPackageList::LibraryFileName(packageFile), expected);
}

void tst_PackageList::emptyOrAbsentListHoldsCommonEntryOnly_data()
{
    QTest::addColumn<QJsonValue>("data");
    QTest::newRow("empty array") << QJsonValue(QJsonArray());
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined);
}

void tst_PackageList::emptyOrAbsentListHoldsCommonEntryOnly()
{
    QFETCH(QJsonValue, data);
    TPackageList list;
    list.LoadPackageData(data);
    QCOMPARE(list.Count(), 1);
    QCOMPARE(list.Items(0)->PackageId, QStringLiteral("com"));
    QCOMPARE(list.Items(0)->PackageFile, QStringLiteral("com.bpl"));
    QVERIFY(!list.Items(0)->IsLoad); // no libcom in the temporary folder
    QVERIFY(!list.Items(1));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_PackageList::commonEntryTakesAReferenceToCom()
{
    // The program's own folder holds libcom beside the test.
    m_folder.reset();
    QVERIFY(QFileInfo::exists(Platform::applicationFolder() + TPackageList::LibraryFileName(QStringLiteral("com.bpl"))));
    TPackageList list;
    list.LoadPackageData(QJsonArray());
    QVERIFY(list.Items(0)->IsLoad);
    QVERIFY(list.Items(0)->HModule && list.Items(0)->HModule->isLoaded());
    list.UnloadPackageData();
    QVERIFY(!list.Items(0)->IsLoad);
    QVERIFY(!list.Items(0)->HModule);
    QCOMPARE(list.Count(), 1);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_PackageList::loadRegistersUnloadUnregisters()
{
    install(QStringLiteral("fixturegood"));
    TPackageList list;
    QVERIFY(!registered(Good));

    list.LoadPackageData(QJsonArray { entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")) });
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(u'|')));
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Items(1)->PackageId, QStringLiteral("fixture"));
    QVERIFY(list.Items(1)->IsLoad);
    QVERIFY(registered(Good));

    // The class is usable: a screen comes out of the module's factory.
    {
        QWidget owner;
        QWidget *screen = ClassRegistry::instance().get(Good).create(&owner);
        QVERIFY(screen);
        QCOMPARE(QString::fromLatin1(screen->metaObject()->className()), Good);
        QCOMPARE(screen->parentWidget(), &owner);
    }

    list.UnloadPackageData();
    QVERIFY(!registered(Good));
    QCOMPARE(list.Count(), 2);
    for (int i = 0; i < list.Count(); ++i)
        QVERIFY(!list.Items(i)->IsLoad);
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_PackageList::missingFileSkippedSilently()
{
    install(QStringLiteral("fixturegood"));
    TPackageList list;
    list.LoadPackageData(QJsonArray { entry(QStringLiteral("gone"), QStringLiteral("missing.bpl")),
                                      entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")) });
    QVERIFY(m_presenter->messages.isEmpty());
    QCOMPARE(list.Count(), 3);
    QCOMPARE(list.Items(1)->PackageFile, QStringLiteral("missing.bpl"));
    QVERIFY(!list.Items(1)->IsLoad);
    QVERIFY(list.Items(2)->IsLoad);
    QVERIFY(registered(Good));
}

// A module that cannot be used is told once, in the platform's or the
// module's own words, and the list stops there: the good module after it
// is not loaded, and nothing the bad one registered stays.
void tst_PackageList::unusableModuleStopsTheList_data()
{
    QTest::addColumn<QString>("base"); // empty: a text file under a library's name
    QTest::addColumn<QString>("message"); // empty: what QLibrary says of the file

    QTest::newRow("not a library") << QString() << QString();
    QTest::newRow("fails to start") << "fixturefailstart"
                                    << "Package fixturefailstart.bpl failed to start: Fixture refuses to start.";
    QTest::newRow("no entry points") << "fixtureplain"
                                     << "Package fixtureplain.bpl is not a ZeltERP module: %1 does not export the "
                                        "module entry points.";
}

void tst_PackageList::unusableModuleStopsTheList()
{
    QFETCH(QString, base);
    QFETCH(QString, message);
    const QString file = base.isEmpty() ? QStringLiteral("notalib.bpl") : base + QStringLiteral(".bpl");
    if (base.isEmpty()) {
        m_folder->write(TPackageList::LibraryFileName(file), "this is not a shared library\n");
        QLibrary probe(m_folder->filePath(TPackageList::LibraryFileName(file)));
        QVERIFY(!probe.load());
        message = probe.errorString();
    } else {
        install(base);
    }
    install(QStringLiteral("fixturegood"));

    TPackageList list;
    list.LoadPackageData(QJsonArray { entry(QStringLiteral("bad"), file),
                                      entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")) });
    if (message.contains(QLatin1String("%1")))
        message = message.arg(Platform::applicationFolder() + TPackageList::LibraryFileName(file));
    QCOMPARE(m_presenter->texts(), QStringList { message });
    QCOMPARE(m_presenter->messages.first().kind, Platform::MessageKind::Error);
    QCOMPARE(list.Count(), 2);
    QVERIFY(!list.Items(1)->IsLoad);
    QVERIFY(!registered(Partial));
    QVERIFY(!registered(Good));
}

void tst_PackageList::badEntriesReportedOnce_data()
{
    QTest::addColumn<QJsonValue>("data");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("count");

    const QJsonObject good = entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl"));
    QTest::newRow("element not an object")
        << QJsonValue(QJsonArray { 42, good }) << "Package entry 0 is not a JSON object." << 1;
    QTest::newRow("package_file missing")
        << QJsonValue(QJsonArray { QJsonObject { { QStringLiteral("package_id"), QStringLiteral("x") } }, good })
        << "JSON member \"package_file\" is missing in package entry 0." << 1;
    QTest::newRow("package_id not a string")
        << QJsonValue(QJsonArray { good, QJsonObject { { QStringLiteral("package_id"), 7 },
                                                       { QStringLiteral("package_file"), QStringLiteral("a.bpl") } } })
        << "JSON member \"package_id\" is not a string but a number in package entry 1." << 2;
    QTest::newRow("path out of the folder")
        << QJsonValue(QJsonArray { entry(QStringLiteral("evil"), QStringLiteral("../evil.bpl")), good })
        << "Package file \"../evil.bpl\" is not a file name in the application folder." << 2;
    QTest::newRow("absolute path")
        << QJsonValue(QJsonArray { entry(QStringLiteral("evil"), QStringLiteral("/tmp/libevil.so")), good })
        << "Package file \"/tmp/libevil.so\" is not a file name in the application folder." << 2;
    QTest::newRow("list not an array")
        << QJsonValue(QJsonObject { { QStringLiteral("crm"), QStringLiteral("crm.bpl") } })
        << "The package list is not a JSON array." << 1;
}

void tst_PackageList::badEntriesReportedOnce()
{
    QFETCH(QJsonValue, data);
    QFETCH(QString, message);
    QFETCH(int, count);
    install(QStringLiteral("fixturegood"));

    TPackageList list;
    list.LoadPackageData(data);
    QCOMPARE(m_presenter->texts(), QStringList { message });
    QCOMPARE(list.Count(), count);
    // Loading stopped at the bad entry; an earlier good one stays loaded.
    const bool goodFirst = count == 2 && list.Items(1)->PackageId == QLatin1String("fixture");
    QCOMPARE(registered(Good), goodFirst);
}

void tst_PackageList::unloadFailureReachesCaller()
{
    install(QStringLiteral("fixturefailstop"));
    install(QStringLiteral("fixturegood"));
    auto list = std::make_unique<TPackageList>();
    list->LoadPackageData(QJsonArray { entry(QStringLiteral("stuck"), QStringLiteral("fixturefailstop.bpl")),
                                       entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")) });
    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(registered(Stuck));
    QVERIFY(registered(Good));

    try {
        list->UnloadPackageData();
        QFAIL("a module that fails to stop must raise");
    } catch (const Platform::Error &e) {
        QCOMPARE(e.message(), QStringLiteral("Package fixturefailstop.bpl failed to stop: Fixture refuses to stop."));
    }
    // Its class left registered is taken away all the same; the walk ended,
    // so the next package is still loaded.
    QVERIFY(!registered(Stuck));
    QVERIFY(!list->Items(1)->IsLoad);
    QVERIFY(list->Items(2)->IsLoad);
    QVERIFY(registered(Good));

    list.reset();
    QVERIFY(!registered(Good));
}

void tst_PackageList::destructorUnloadsOnlyWhatIsStillLoaded()
{
    install(QStringLiteral("fixturegood"));
    const QJsonArray data { entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")) };
    {
        TPackageList list;
        list.LoadPackageData(data);
        QVERIFY(registered(Good));
    }
    QVERIFY(!registered(Good));

    // After an explicit unload the name may be taken by someone else; the
    // destructor must not run the module's finalization a second time.
    {
        TPackageList list;
        list.LoadPackageData(data);
        list.UnloadPackageData();
        ClassRegistry::instance().registerClass<QWidget>(Good);
    }
    QVERIFY(registered(Good));
    QVERIFY(m_presenter->messages.isEmpty());
}

void tst_PackageList::secondLoadStartsFromEmptyList()
{
    install(QStringLiteral("fixturegood"));
    const QJsonArray data { entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")) };
    TPackageList list;
    list.LoadPackageData(data);
    list.LoadPackageData(data); // no sign-out in between
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(u'|')));
    QCOMPARE(list.Count(), 2);
    QVERIFY(list.Items(1)->IsLoad);
    QVERIFY(registered(Good));
    list.UnloadPackageData();
    QVERIFY(!registered(Good));
}

QTEST_MAIN(tst_PackageList)
#include "tst_packagelist.moc"
