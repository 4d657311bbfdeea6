#include "Errors.h"
#include "Json.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>
#include <limits>

namespace Json = Platform::Json;

class tst_Json : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseKinds_data();
    void parseKinds();
    void parseGarbage();
    void findPaths_data();
    void findPaths();
    void typedReads();
    void typedReadErrors_data();
    void typedReadErrors();
};

static const QByteArray loginBody = R"({
    "token": {"access": "abc.def", "refresh": "r1", "expires_in": 3600},
    "user": {"name": "Siti", "lang": "id", "admin": false, "id": 9223372036854775807,
             "rate": 1.5, "level": 2147483648, "ratio": 0.5, "roles": ["a", "b"], "none": null},
    "menus": [{"menu_id": "M1", "items": [{"title": "Vendors"}]}]
})";

void tst_Json::parseKinds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("compact"); // the value written back

    QTest::newRow("array") << QByteArray("[1, 2]") << int(QJsonValue::Array) << QByteArray("[1,2]");
    QTest::newRow("string") << QByteArray(R"("Dévi ✓")") << int(QJsonValue::String) << QByteArray(R"("Dévi ✓")");
    QTest::newRow("number") << QByteArray("  -12.5\n") << int(QJsonValue::Double) << QByteArray("-12.5");
    QTest::newRow("null") << QByteArray("null") << int(QJsonValue::Null) << QByteArray("null");
    QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF{\"a\":2}") << int(QJsonValue::Object) << QByteArray(R"({"a":2})");

    QTest::newRow("empty") << QByteArray() << int(QJsonValue::Undefined) << QByteArray();
    QTest::newRow("open array") << QByteArray("[1,") << int(QJsonValue::Undefined) << QByteArray();
    QTest::newRow("two values") << QByteArray("1,2") << int(QJsonValue::Undefined) << QByteArray();
    QTest::newRow("escape from wrapping") << QByteArray("1],[2") << int(QJsonValue::Undefined) << QByteArray();
    QTest::newRow("trailing garbage") << QByteArray(R"({"a":1} x)") << int(QJsonValue::Undefined) << QByteArray();
    QTest::newRow("html") << QByteArray("<html>Bad Gateway</html>") << int(QJsonValue::Undefined) << QByteArray();
}

void tst_Json::parseKinds()
{
    QFETCH(QByteArray, text);
    QFETCH(int, type);
    QFETCH(QByteArray, compact);
    const QJsonValue v = Json::parse(text);
    QCOMPARE(int(v.type()), type);
    if (type != QJsonValue::Undefined) {
        const QByteArray written = QJsonDocument(QJsonArray { v }).toJson(QJsonDocument::Compact);
        QCOMPARE(written.mid(1, written.size() - 2), compact);
    }
    // the text overload reads the same
    QCOMPARE(Json::parse(QString::fromUtf8(text)), v);
}

void tst_Json::parseGarbage()
{
    QByteArray noise(5 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char &c : noise)
        c = char(rng.bounded(256));
    QVERIFY(Json::parse(noise).isUndefined());
    QVERIFY(Json::parse(QByteArray(3 * 1024 * 1024, '[')).isUndefined());
    QVERIFY(Json::parse(QByteArray(2 * 1024 * 1024, '[') + QByteArray(2 * 1024 * 1024, ']')).isUndefined());
    QVERIFY(Json::parse(QByteArray(1024 * 1024, '"')).isUndefined());
    QVERIFY(Json::parse(loginBody.left(loginBody.size() - 3)).isUndefined()); // truncated
}

void tst_Json::findPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("compact"); // empty: Undefined

    QTest::newRow("nested") << QStringLiteral("token.access") << QByteArray(R"("abc.def")");
    QTest::newRow("array index") << QStringLiteral("menus.0.items.0.title") << QByteArray(R"("Vendors")");
    QTest::newRow("null member") << QStringLiteral("user.none") << QByteArray("null");
    QTest::newRow("absent") << QStringLiteral("token.secret") << QByteArray();
    QTest::newRow("through a string") << QStringLiteral("token.access.x") << QByteArray();
    QTest::newRow("index out of range") << QStringLiteral("menus.1") << QByteArray();
    QTest::newRow("negative index") << QStringLiteral("menus.-1") << QByteArray();
    QTest::newRow("name on array") << QStringLiteral("menus.menu_id") << QByteArray();
    QTest::newRow("empty segment") << QStringLiteral("token..access") << QByteArray();
}

void tst_Json::findPaths()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, compact);
    const QJsonValue found = Json::find(Json::parse(loginBody), path);
    if (compact.isEmpty()) {
        QVERIFY(found.isUndefined());
        return;
    }
    const QByteArray written = QJsonDocument(QJsonArray { found }).toJson(QJsonDocument::Compact);
    QCOMPARE(written.mid(1, written.size() - 2), compact);
}

void tst_Json::typedReads()
{
    const QJsonValue root = Json::parse(loginBody);
    QCOMPARE(Json::getString(root, QStringLiteral("token.access")), QStringLiteral("abc.def"));
    QCOMPARE(Json::getInt(root, QStringLiteral("token.expires_in")), 3600);
    QCOMPARE(Json::getInt64(root, QStringLiteral("user.id")), std::numeric_limits<qint64>::max());
    QCOMPARE(Json::getInt64(root, QStringLiteral("user.level")), 2147483648LL);
    QCOMPARE(Json::getDouble(root, QStringLiteral("user.rate")), 1.5);
    QCOMPARE(Json::getDouble(root, QStringLiteral("token.expires_in")), 3600.0);
    QCOMPARE(Json::getBool(root, QStringLiteral("user.admin")), false);
    QCOMPARE(Json::getObject(root, QStringLiteral("user")).value(u"lang").toString(), QStringLiteral("id"));
    QCOMPARE(Json::getArray(root, QStringLiteral("user.roles")).size(), 2);
    QCOMPARE(Json::getString(root, QStringLiteral("menus.0.menu_id")), QStringLiteral("M1"));
    QCOMPARE(Json::getObject(root, QString()).size(), 3); // empty path: the root
    QCOMPARE(Json::getInt(Json::parse(QByteArray("0")), QString()), 0);
}

void tst_Json::typedReadErrors_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing string") << QStringLiteral("string") << QStringLiteral("token.secret") << QStringLiteral("JSON member \"token.secret\" is missing");
    QTest::newRow("number as string") << QStringLiteral("string") << QStringLiteral("token.expires_in") << QStringLiteral("JSON member \"token.expires_in\" is not a string but a number");
    QTest::newRow("string as int") << QStringLiteral("int") << QStringLiteral("token.access") << QStringLiteral("JSON member \"token.access\" is not a number but a string");
    QTest::newRow("fraction as int") << QStringLiteral("int") << QStringLiteral("user.ratio") << QStringLiteral("JSON member \"user.ratio\" is not an integer in range: 0.5");
    QTest::newRow("int overflow") << QStringLiteral("int") << QStringLiteral("user.level") << QStringLiteral("JSON member \"user.level\" is not an integer in range: 2147483648");
    QTest::newRow("fraction as int64") << QStringLiteral("int64") << QStringLiteral("user.rate") << QStringLiteral("JSON member \"user.rate\" is not an integer in range: 1.5");
    QTest::newRow("bool as double") << QStringLiteral("double") << QStringLiteral("user.admin") << QStringLiteral("JSON member \"user.admin\" is not a number but a boolean");
    QTest::newRow("string as bool") << QStringLiteral("bool") << QStringLiteral("user.lang") << QStringLiteral("JSON member \"user.lang\" is not a boolean but a string");
    QTest::newRow("array as object") << QStringLiteral("object") << QStringLiteral("menus") << QStringLiteral("JSON member \"menus\" is not an object but an array");
}

void tst_Json::typedReadErrors()
{
    QFETCH(QString, call);
    QFETCH(QString, path);
    QFETCH(QString, message);
    const QJsonValue root = Json::parse(loginBody);
    try {
        if (call == u"string")
            Json::getString(root, path);
        else if (call == u"int")
            Json::getInt(root, path);
        else if (call == u"int64")
            Json::getInt64(root, path);
        else if (call == u"double")
            Json::getDouble(root, path);
        else if (call == u"bool")
            Json::getBool(root, path);
        else if (call == u"object")
            Json::getObject(root, path);
        else
            Json::getArray(root, path);
        QFAIL("the read must raise");
    } catch (const Platform::JsonMemberError &e) {
        QCOMPARE(e.message(), message);
    }

    // A root that is not JSON at all reads as missing.
    QVERIFY_THROWS_EXCEPTION(Platform::JsonMemberError, Json::getString(Json::parse(QByteArray("<html>")), path));
}

QTEST_GUILESS_MAIN(tst_Json)
#include "tst_json.moc"
