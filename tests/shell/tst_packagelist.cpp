#include "ClassRegistry.h"
#include "Errors.h"
#include "PackageListU.h"
#include "RecordingPresenter.h"
#include "TempAppFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
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

const QJsonObject GoodEntry = entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl"));

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

    void listedPackagesLoadAndUnload();
    void badEntriesReportedOnce_data();
    void badEntriesReportedOnce();
    void classesLeftRegisteredAreRemoved();
    void packageListedTwiceStartsOnce();

private:
    // Copies the fixture plugin lib<base>.so (or the platform's equivalent)
    // into the application folder.
    void install(const QString &base);

    std::unique_ptr<TempAppFolder> m_folder;
    RecordingPresenter *m_presenter = nullptr;
};

void tst_PackageList::init()
{
    m_folder = std::make_unique<TempAppFolder>();
    m_presenter = RecordingPresenter::install();
    install(QStringLiteral("fixturegood"));
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

void tst_PackageList::listedPackagesLoadAndUnload()
{
    TPackageList list;
    // a package whose file is not installed is skipped without a word
    list.LoadPackageData(QJsonArray { entry(QStringLiteral("gone"), QStringLiteral("missing.bpl")), GoodEntry });
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(u'|')));
    QCOMPARE(list.Count(), 3);
    QCOMPARE(list.Items(0)->PackageId, QStringLiteral("com"));
    QVERIFY(!list.Items(1)->IsLoad);
    QCOMPARE(list.Items(2)->PackageId, QStringLiteral("fixture"));
    QVERIFY(list.Items(2)->IsLoad);

    list.UnloadPackageData();
    QVERIFY(!registered(Good));
    for (int i = 0; i < list.Count(); ++i)
        QVERIFY(!list.Items(i)->IsLoad);
}

void tst_PackageList::badEntriesReportedOnce_data()
{
    QTest::addColumn<QJsonArray>("data");
    QTest::addColumn<QString>("message");

    QTest::newRow("element not an object") << QJsonArray { 42, GoodEntry } << "Package entry 0 is not a JSON object.";
    QTest::newRow("path out of the folder")
        << QJsonArray { entry(QStringLiteral("evil"), QStringLiteral("../evil.bpl")), GoodEntry }
        << "Package file \"../evil.bpl\" is not a file name in the application folder.";
    QTest::newRow("absolute path") << QJsonArray { entry(QStringLiteral("evil"), QStringLiteral("/tmp/libevil.so")),
                                                   GoodEntry }
                                   << "Package file \"/tmp/libevil.so\" is not a file name in the application folder.";
}

void tst_PackageList::badEntriesReportedOnce()
{
    QFETCH(QJsonArray, data);
    QFETCH(QString, message);
    TPackageList list;
    list.LoadPackageData(data);
    QCOMPARE(m_presenter->texts(), QStringList { message });
    // loading stopped at the bad entry
    QVERIFY(!registered(Good));
}

// A module whose start fails is told once and the list stops there; one
// whose stop fails raises. Either way no class it registered stays behind.
void tst_PackageList::classesLeftRegisteredAreRemoved()
{
    install(QStringLiteral("fixturefailstart"));
    install(QStringLiteral("fixturefailstop"));
    auto list = std::make_unique<TPackageList>();
    list->LoadPackageData(
        QJsonArray { entry(QStringLiteral("bad"), QStringLiteral("fixturefailstart.bpl")), GoodEntry });
    QCOMPARE(m_presenter->texts(),
             QStringList { QStringLiteral("Package fixturefailstart.bpl failed to start: Fixture refuses to start.") });
    QVERIFY(!list->Items(1)->IsLoad);
    QVERIFY(!registered(Partial));
    QVERIFY(!registered(Good));

    m_presenter->clear();
    list->LoadPackageData(
        QJsonArray { entry(QStringLiteral("stuck"), QStringLiteral("fixturefailstop.bpl")), GoodEntry });
    QVERIFY(m_presenter->messages.isEmpty());
    QVERIFY(registered(Stuck));
    try {
        list->UnloadPackageData();
        QFAIL("a module that fails to stop must raise");
    } catch (const Platform::Error &e) {
        QCOMPARE(e.message(), QStringLiteral("Package fixturefailstop.bpl failed to stop: Fixture refuses to stop."));
    }
    QVERIFY(!registered(Stuck));
    QVERIFY(!list->Items(1)->IsLoad);
    // the walk ended there; the destructor unloads the rest
    QVERIFY(list->Items(2)->IsLoad);
    list.reset();
    QVERIFY(!registered(Good));
}

// Two of the user's roles may both grant a module: it starts once, and the
// packages after the repeat still load.
void tst_PackageList::packageListedTwiceStartsOnce()
{
    install(QStringLiteral("fixturefailstop"));
    TPackageList list;
    list.LoadPackageData(QJsonArray { GoodEntry, entry(QStringLiteral("fixture"), QStringLiteral("fixturegood.bpl")),
                                      entry(QStringLiteral("stuck"), QStringLiteral("fixturefailstop.bpl")) });
    QVERIFY2(m_presenter->messages.isEmpty(), qPrintable(m_presenter->texts().join(u'|')));
    QVERIFY(registered(Good));
    QVERIFY(registered(Stuck));

    // stopping it once takes its class away, and nothing is left running
    try {
        list.UnloadPackageData();
        QFAIL("the module that fails to stop must raise");
    } catch (const Platform::Error &e) {
        QCOMPARE(e.message(), QStringLiteral("Package fixturefailstop.bpl failed to stop: Fixture refuses to stop."));
    }
    QVERIFY(!registered(Good));
    for (int i = 0; i < list.Count(); ++i)
        QVERIFY2(!list.Items(i)->IsLoad, qPrintable(list.Items(i)->PackageFile));
}

QTEST_MAIN(tst_PackageList)
#include "tst_packagelist.moc"
