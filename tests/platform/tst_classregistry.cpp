#include "ClassRegistry.h"
#include "Errors.h"

#include <QWidget>
#include <QtTest>

class ProbeScreen : public QWidget
{
    Q_OBJECT
public:
    explicit ProbeScreen(QWidget *owner = nullptr)
        : QWidget(owner)
    {
    }
};

class tst_ClassRegistry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void registerFindCreate();
    void duplicateRefusedWhateverTheCase();
    void unregisterMakesUnfindable();
};

void tst_ClassRegistry::cleanup()
{
    Platform::ClassRegistry::instance().unregisterClass(QStringLiteral("TProbeFrm"));
}

void tst_ClassRegistry::registerFindCreate()
{
    auto &registry = Platform::ClassRegistry::instance();
    QVERIFY(!registry.find(QStringLiteral("TProbeFrm")));
    registry.registerClass<ProbeScreen>(QStringLiteral("TProbeFrm"));
    const auto *entry = registry.find(QStringLiteral("TProbeFrm"));
    QVERIFY(entry);
    QCOMPARE(entry->metaObject, &ProbeScreen::staticMetaObject);

    QWidget owner;
    QWidget *created = entry->create(&owner);
    QVERIFY(qobject_cast<ProbeScreen *>(created));
    QCOMPARE(created->parentWidget(), &owner); // owned: freed with the owner
}

void tst_ClassRegistry::duplicateRefusedWhateverTheCase()
{
    auto &registry = Platform::ClassRegistry::instance();
    registry.registerClass<ProbeScreen>(QStringLiteral("TProbeFrm"));
    QCOMPARE(registry.get(QStringLiteral("TPROBEFRM")).name, QStringLiteral("TProbeFrm"));
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError, registry.registerClass<ProbeScreen>(QStringLiteral("tprobefrm")));
    QCOMPARE(registry.names().count(QStringLiteral("TProbeFrm")), 1);
}

void tst_ClassRegistry::unregisterMakesUnfindable()
{
    auto &registry = Platform::ClassRegistry::instance();
    registry.registerClass<ProbeScreen>(QStringLiteral("TProbeFrm"));
    registry.unregisterClass(QStringLiteral("TProbeFrm"));
    QVERIFY(!registry.contains(QStringLiteral("TProbeFrm")));
    try {
        registry.get(QStringLiteral("TProbeFrm"));
        QFAIL("get() of an unregistered class must raise");
    } catch (const Platform::NotFoundError &e) {
        QVERIFY(e.message().contains(QStringLiteral("TProbeFrm")));
    }
    registry.unregisterClass(QStringLiteral("NeverRegistered")); // harmless
}

QTEST_MAIN(tst_ClassRegistry)
#include "tst_classregistry.moc"
