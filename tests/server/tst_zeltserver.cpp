// zelt-server as a separate process, over HTTP on 127.0.0.1: what the screens never show (refusals,
// hostile input, tokens, paging).
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <sodium.h>
#include <QtTest>

namespace {

const QString Customers = QStringLiteral("/crm/v1/master/customers");

struct HttpReply
{
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QJsonArray data() const { return json().value(QStringLiteral("data")).toArray(); }
    int pages(const char *AKey) const
    {
        return json().value(QStringLiteral("pages"))[QLatin1String(AKey)].toInt(-1);
    }
    QString message() const { return json().value(QStringLiteral("message")).toString(); }
    QStringList errorKeys() const
    {
        QStringList keys;
        for (const QJsonValue &e : json().value(QStringLiteral("errors")).toArray())
            keys << e.toObject().value(QStringLiteral("key")).toString();
        return keys;
    }
};

class Client
{
public:
    Client() { m_nam.setProxy(QNetworkProxy::NoProxy); }
    QString base;
    HttpReply send(const QByteArray &AVerb, const QString &ATarget, const QByteArray &ABody = QByteArray(),
                   const QString &AToken = QString())
    {
        QNetworkRequest req(QUrl(base + ATarget, QUrl::StrictMode));
        if (!AToken.isNull())
            req.setRawHeader("Authorization", "Bearer " + AToken.toLatin1());
        if (!ABody.isNull())
            req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        std::unique_ptr<QNetworkReply> reply(
            ABody.isNull() ? m_nam.sendCustomRequest(req, AVerb) : m_nam.sendCustomRequest(req, AVerb, ABody));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        HttpReply out { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                        reply->header(QNetworkRequest::ContentTypeHeader).toByteArray() };
        reply->abort();
        return out;
    }
    HttpReply get(const QString &ATarget, const QString &AToken) { return send("GET", ATarget, QByteArray(), AToken); }
    HttpReply post(const QString &AUrl, const QByteArray &ABody, const QString &AToken = QString())
    {
        return send("POST", AUrl, ABody, AToken);
    }
private:
    QNetworkAccessManager m_nam;
};

// The access token of a sign-in answer, of either kind.
QString accessToken(const HttpReply &AReply)
{
    const QJsonObject json = AReply.json();
    const QString holder = json.contains(QStringLiteral("data")) ? QStringLiteral("data") : QStringLiteral("response");
    return json[holder][QStringLiteral("token")][QStringLiteral("access")].toString();
}

const QByteArray CustomerKeys = R"({"cust_key":"ZELT-DEMO-0001","secret_key":"demo-secret-0001","mode":"dev"})";
const QByteArray SarahSignIn = R"({"username":"sarah@zelt.local","password":"Demo#2024"})";

} // namespace

class tst_ZeltServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void signIn_data();
    void signIn();
    void passwordsAreSaltedAndTokensExpire();
    void pagesDoNotOverlapAndAreCapped();
    void searchAndStatusFilter();
    void writesRefused_data();
    void writesRefused();
    void badInputNeverBreaksTheServer();
    void servedArchivesAreSigned();
    void downloadsStayInsideTheFilesFolder();
private:
    QVariant sql(const QString &ASql)
    {
        QVariant result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(m_dir.filePath(QStringLiteral("zelt.db")));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            QSqlQuery q(db.open() ? db : QSqlDatabase());
            if (!q.exec(ASql))
                qFatal("cannot run %s", qPrintable(ASql));
            result = q.next() ? q.value(0) : QVariant(q.numRowsAffected());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return result;
    }
    QTemporaryDir m_dir;
    QProcess m_server;
    Client m_http;
    QString m_sarah, m_customer;
};

void tst_ZeltServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_server.start(QStringLiteral(ZELT_SERVER_BIN),
                   { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quiet"), QStringLiteral("--db"),
                     m_dir.filePath(QStringLiteral("zelt.db")), QStringLiteral("--files"),
                     m_dir.filePath(QStringLiteral("files")) });
    QVERIFY(m_server.waitForStarted(10000));
    static const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+)"));
    QByteArray out;
    for (int i = 0; i < 300 && m_http.base.isEmpty() && m_server.state() == QProcess::Running; ++i) {
        m_server.waitForReadyRead(200);
        out += m_server.readAllStandardOutput();
        m_http.base = listening.match(QString::fromUtf8(out)).captured(1);
    }
    QVERIFY2(!m_http.base.isEmpty(), out.constData());
    m_sarah = accessToken(m_http.post(QStringLiteral("/auth/v1/login"), SarahSignIn));
    m_customer = accessToken(m_http.post(QStringLiteral("/v1/cust-auth"), CustomerKeys));
    QVERIFY(!m_sarah.isEmpty() && !m_customer.isEmpty());
}

void tst_ZeltServer::cleanupTestCase()
{
    m_server.terminate();
    QVERIFY(m_server.waitForFinished(15000));
    QCOMPARE(m_server.exitCode(), 0); // a clean exit: the database closed
}

void tst_ZeltServer::signIn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorKey"); // of the "errors" envelope; empty: a "message"
    const QString cust = QStringLiteral("/v1/cust-auth");
    const QString user = QStringLiteral("/auth/v1/login");
    const auto row = [](const char *AName, const QString &APath, const char *ABody, int AStatus, const char *AKey) {
        QTest::newRow(AName) << APath << QByteArray(ABody) << AStatus << QString::fromLatin1(AKey);
    };
    row("customer", cust, CustomerKeys.constData(), 200, "");
    row("customer, wrong secret", cust, R"({"cust_key":"ZELT-DEMO-0001","secret_key":"demo-secret-0002"})", 401, "");
    row("customer, secret missing", cust, R"({"cust_key":"ZELT-DEMO-0001"})", 400, "secret_key");
    row("customer, key not a string", cust, R"({"cust_key":1,"secret_key":"demo-secret-0001"})", 400, "cust_key");
    row("user, e-mail in capitals", user, R"({"username":"SARAH@ZELT.LOCAL","password":"Demo#2024"})", 200, "");
    row("user, wrong password", user, R"({"username":"sarah@zelt.local","password":"demo#2024"})", 401, "");
    row("user, password missing", user, R"({"username":"sarah@zelt.local"})", 400, "password");
}

void tst_ZeltServer::signIn()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, errorKey);
    const HttpReply r = m_http.post(path, body);
    QCOMPARE(r.status, status);
    QVERIFY(r.contentType.startsWith("application/json"));
    if (status == 200) {
        const QString app = QStringLiteral("/v1/app-files");
        const QString menus = QStringLiteral("/sys/v1/app/menus");
        const bool customer = path.startsWith(QLatin1String("/v1"));
        QCOMPARE(m_http.get(customer ? app : menus, accessToken(r)).status, 200);
        QCOMPARE(m_http.get(customer ? menus : app, accessToken(r)).status, 401);
    } else if (errorKey.isEmpty()) {
        QVERIFY(!r.message().isEmpty() && accessToken(r).isEmpty());
        if (status == 401 && path.startsWith(QLatin1String("/auth")))
            QCOMPARE(r.message(), QStringLiteral("Invalid email or password."));
    } else {
        QCOMPARE(r.errorKeys(), QStringList { errorKey });
    }
}

void tst_ZeltServer::passwordsAreSaltedAndTokensExpire()
{
    // one password, two users: two different salted hashes, neither holding the password
    const QString hashOf = QStringLiteral("SELECT password_hash FROM users WHERE email = '%1@zelt.local'");
    const QString sarah = sql(hashOf.arg(QStringLiteral("sarah"))).toString();
    QVERIFY2(sarah.startsWith(QLatin1String("pbkdf2-sha256$")), qPrintable(sarah));
    QVERIFY(sarah != sql(hashOf.arg(QStringLiteral("budi"))).toString());
    QVERIFY(!sarah.contains(QLatin1String("Demo#2024")));
    // a token whose time is up is refused; another one of the same user still works
    const QString menus = QStringLiteral("/sys/v1/app/menus");
    const QString token = accessToken(m_http.post(QStringLiteral("/auth/v1/login"), SarahSignIn));
    QCOMPARE(m_http.get(menus, token).status, 200);
    const QByteArray digest = QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString expire = QStringLiteral("UPDATE sessions SET expires_at = %1 WHERE token_hash = '%2'");
    QCOMPARE(sql(expire.arg(QDateTime::currentMSecsSinceEpoch() - 1000).arg(QLatin1String(digest))).toInt(), 1);
    const HttpReply expired = m_http.get(menus, token);
    QCOMPARE(expired.status, 401);
    QVERIFY(expired.message().contains(QStringLiteral("expired")));
    QCOMPARE(m_http.get(menus, m_sarah).status, 200);
}

void tst_ZeltServer::pagesDoNotOverlapAndAreCapped()
{
    const QString items = QStringLiteral("/prc/v1/master/items?mode=list&status=0&page=%1&page_rows=%2");
    auto ids = [&](int APage) {
        QSet<qint64> set;
        for (const QJsonValue &v : m_http.get(items.arg(APage).arg(500), m_sarah).data())
            set.insert(v.toObject().value(QStringLiteral("item_id")).toInteger());
        return set;
    };
    const QSet<qint64> first = ids(1);
    QCOMPARE(first.size(), 500);
    QCOMPARE(ids(2).size(), 500);
    QVERIFY(!first.intersects(ids(2)));
    const HttpReply one = m_http.get(items.arg(1).arg(20), m_sarah);
    const int count = one.pages("rec_count"), lastPage = one.pages("page_count");
    QVERIFY(count >= 5000);
    QCOMPARE(lastPage, (count + 19) / 20);
    QCOMPARE(m_http.get(items.arg(lastPage).arg(20), m_sarah).data().size(), count - (lastPage - 1) * 20);
    const HttpReply beyond = m_http.get(items.arg(lastPage + 1).arg(20), m_sarah);
    QCOMPARE(beyond.status, 200);
    QCOMPARE(beyond.data().size(), 0);
    QCOMPARE(beyond.pages("rec_count"), count);
    const HttpReply huge = m_http.get(items.arg(1).arg(100000), m_sarah);
    QCOMPARE(huge.pages("page_rows"), 1000);
    QCOMPARE(huge.data().size(), 1000);
}

void tst_ZeltServer::searchAndStatusFilter()
{
    int counts[3] = {};
    for (int status = 0; status < 3; ++status) {
        const HttpReply r = m_http.get(Customers + QStringLiteral("?status=%1&page_rows=1000").arg(status), m_sarah);
        counts[status] = r.pages("rec_count");
        for (const QJsonValue &v : r.data())
            QVERIFY(status == 0 || v[QStringLiteral("is_active")].toBool() == (status == 1));
    }
    QVERIFY(counts[1] > 0 && counts[2] > 0);
    QCOMPARE(counts[0], counts[1] + counts[2]);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?status=7"), m_sarah).status, 400);
    // blanks around the text do not count; "%" and "_" are no wildcards
    const QJsonArray found = m_http.get(Customers + QStringLiteral("?q=%20%20cust-00007%20&status=0"), m_sarah).data();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.at(0).toObject().value(QStringLiteral("partner_code")).toString(), QStringLiteral("CUST-00007"));
    QCOMPARE(m_http.get(Customers + QStringLiteral("?q=%25"), m_sarah).pages("rec_count"), 0);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?q=_"), m_sarah).pages("rec_count"), 0);
}

void tst_ZeltServer::writesRefused_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("firstMessage");
    const auto row = [](const char *AName, const char *AMethod, const char *ABody, const QStringList &AKeys,
                        const char *AMessage) {
        QTest::newRow(AName) << QByteArray(AMethod) << QByteArray(ABody) << AKeys << QString::fromLatin1(AMessage);
    };
    row("name missing", "POST", R"({"partner_code":"V-1"})", { "partner_name" }, "partner_name is required");
    row("both missing", "POST", R"({"industry":"Retail"})", { "partner_code", "partner_name" },
        "partner_code is required");
    row("duplicate code, other case", "POST", R"({"partner_code":"cust-00001","partner_name":"Dup"})",
        { "partner_code" }, "partner_code already exists");
    row("patch takes a code in use", "PATCH", R"({"partner_code":"CUST-00002"})", { "partner_code" },
        "partner_code already exists");
    row("wrong kinds", "POST", R"({"partner_code":"V-3","partner_name":12,"is_active":"yes"})",
        { "partner_name", "is_active" }, "partner_name must be a string");
}

void tst_ZeltServer::writesRefused()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, keys);
    QFETCH(QString, firstMessage);
    const QString first = Customers + QStringLiteral("/1");
    const QJsonObject before = m_http.get(first, m_sarah).json();
    const int countBefore = m_http.get(Customers + QStringLiteral("?status=0"), m_sarah).pages("rec_count");
    const HttpReply r = m_http.send(method, method == "POST" ? Customers : first, body, m_sarah);
    QCOMPARE(r.status, 400);
    QCOMPARE(r.errorKeys(), keys);
    QCOMPARE(r.json().value(QStringLiteral("errors"))[0][QStringLiteral("message")].toString(), firstMessage);
    QVERIFY(!r.message().isEmpty());
    QCOMPARE(m_http.get(first, m_sarah).json(), before);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?status=0"), m_sarah).pages("rec_count"), countBefore);
}

void tst_ZeltServer::badInputNeverBreaksTheServer()
{
    const QJsonObject snapshot = m_http.get(Customers + QStringLiteral("/3"), m_sarah).json();
    const int countBefore = sql(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt();
    const QByteArray bodies[] = {
        R"({"partner_code":"X","partner_name":)", R"(["partner_code","X"])", R"("hello")", "",
        QByteArray(5000, '['), QByteArray(R"({"partner_code":"U-1","partner_name":")") + "\xff\xfe\xc3\x28" + R"("})",
        R"({"partner_code":["X"],"partner_name":{"a":1},"is_active":null})", QByteArray(2 * 1024 * 1024, 'x'),
    };
    for (const QByteArray &body : bodies) {
        const HttpReply r = m_http.post(Customers, body, m_sarah);
        QVERIFY2(r.status == (body.size() > 1024 * 1024 ? 413 : 400), body.left(40).constData());
        QVERIFY2(!r.message().isEmpty() && r.contentType.startsWith("application/json"), body.left(40).constData());
    }
    for (const QString &path : QStringList { QStringLiteral("/nope"), Customers + QStringLiteral("/1/extra"),
                                             QStringLiteral("/%2e%2e/%2e%2e/etc/passwd"),
                                             Customers + QStringLiteral("/3%20OR%201=1") })
        QCOMPARE(m_http.get(path, m_sarah).status, 404);
    QCOMPARE(m_http.send("DELETE", Customers + QStringLiteral("/3"), QByteArray(), m_sarah).status, 405);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?q=%27%20OR%20%271%27%3D%271"), m_sarah).pages("rec_count"), 0);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?order=partner_name%3B%20DROP%20TABLE%20x"), m_sarah).status, 400);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?page=1%3B%20DROP%20TABLE%20customers"), m_sarah).status, 400);
    for (const QByteArray &bytes : { QByteArray("GARBAGE\r\n\r\n"),
                                     QByteArray("POST /x HTTP/1.1\r\nContent-Length: 9999999999\r\n\r\n{") }) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(QUrl(m_http.base).port()));
        QVERIFY(socket.waitForConnected(5000));
        socket.write(bytes);
        QByteArray answer;
        while (socket.waitForReadyRead(1000))
            answer += socket.readAll();
        if (answer.startsWith("HTTP/"))
            QVERIFY2(answer.mid(9, 1) == "4", answer.left(40).constData());
        QCOMPARE(m_http.get(QStringLiteral("/sys/v1/config"), m_sarah).status, 200);
    }
    QCOMPARE(m_http.get(Customers + QStringLiteral("/3"), m_sarah).json(), snapshot);
    QCOMPARE(sql(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt(), countBefore);
    QCOMPARE(sql(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
}

// Every archive of the list verifies against the key pair made at first start.
void tst_ZeltServer::servedArchivesAreSigned()
{
    QFile pub(m_dir.filePath(QStringLiteral("zelt.db.update-key.pub")));
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QByteArray key = QByteArray::fromBase64(pub.readAll().trimmed());
    QCOMPARE(key.size(), int(crypto_sign_PUBLICKEYBYTES));
    QVERIFY(!(QFile::permissions(m_dir.filePath(QStringLiteral("zelt.db.update-key"))) & QFile::ReadOther));
    const QJsonArray files = m_http.get(QStringLiteral("/v1/app-files"), m_customer).json().value(QStringLiteral("files")).toArray();
    QVERIFY(!files.isEmpty());
    for (const QJsonValue &value : files) {
        const QJsonObject f = value.toObject();
        const QString id = f.value(QStringLiteral("file_id")).toString();
        const QByteArray signature = QByteArray::fromBase64(f.value(QStringLiteral("signature")).toString().toLatin1());
        QCOMPARE(signature.size(), int(crypto_sign_BYTES));
        const HttpReply archive = m_http.get(QStringLiteral("/v1/download/") + id, m_customer);
        QCOMPARE(archive.status, 200);
        QByteArray message = "ZeltERP update archive\n" + id.toUtf8() + '\n' + f.value(QStringLiteral("path")).toString().toUtf8()
            + '\n' + f.value(QStringLiteral("filename")).toString().toUtf8() + '\n' + archive.body;
        const auto verify = [&] {
            return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                               reinterpret_cast<const unsigned char *>(message.constData()),
                                               quint64(message.size()),
                                               reinterpret_cast<const unsigned char *>(key.constData()))
                == 0;
        };
        QVERIFY2(verify(), qPrintable(id));
        message[message.size() - 1] = char(message.at(message.size() - 1) ^ 1);
        QVERIFY(!verify());
    }
}

void tst_ZeltServer::downloadsStayInsideTheFilesFolder()
{
    const HttpReply one = m_http.get(QStringLiteral("/v1/download/1"), m_customer);
    QCOMPARE(one.status, 200);
    QCOMPARE(one.contentType, QByteArray("application/zip"));
    // a table row or a link that points outside the folder is served as nothing
    QVERIFY(QFile::link(m_dir.path(), m_dir.filePath(QStringLiteral("files/outside"))));
    QCOMPARE(sql(QStringLiteral("INSERT INTO app_files (file_id, filename, app_version, source) VALUES (8, 'a', '1',"
                                " '../zelt.db'), (9, 'b', '1', 'outside/zelt.db'), (10, 'c', '1', '/etc/passwd')")),
             QVariant(3));
    for (const char *id : { "8", "9", "10", "77", "..%2F..%2Fetc%2Fpasswd", "%2Fetc%2Fpasswd" }) {
        const HttpReply r = m_http.get(QStringLiteral("/v1/download/") + QLatin1String(id), m_customer);
        QVERIFY2(r.status == 404 && !r.message().isEmpty(), id);
    }
    QCOMPARE(m_http.get(QStringLiteral("/v1/download/1"), m_sarah).status, 401);
}

QTEST_GUILESS_MAIN(tst_ZeltServer)
#include "tst_zeltserver.moc"
