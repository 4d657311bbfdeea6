#include "ClassRegistry.h"
#include "Errors.h"

#include <QWidget>
#include <QtTest>

class ProbeScreen : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
};

class tst_ClassRegistry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Platform::ClassRegistry::instance().unregisterClass(QStringLiteral("TProbeFrm")); }
    void registerFindCreateUnregister();
};

void tst_ClassRegistry::registerFindCreateUnregister()
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

    // names are one whatever their case
    QCOMPARE(registry.get(QStringLiteral("TPROBEFRM")).name, QStringLiteral("TProbeFrm"));
    QVERIFY_THROWS_EXCEPTION(Platform::DuplicateKeyError,
                             registry.registerClass<ProbeScreen>(QStringLiteral("tprobefrm")));
    QCOMPARE(registry.names().count(QStringLiteral("TProbeFrm")), 1);

    registry.unregisterClass(QStringLiteral("TProbeFrm"));
    QVERIFY(!registry.find(QStringLiteral("TProbeFrm")));
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
