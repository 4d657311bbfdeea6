// zelt-server as a separate process, over HTTP on 127.0.0.1: what the screens never show (refusals,
// hostile input, tokens, paging).
#include "TestStore.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPasswordDigestor>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
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
    QByteArray retryAfter;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QJsonArray data() const { return json().value(QStringLiteral("data")).toArray(); }
    int pages(const char *AKey) const { return json().value(QStringLiteral("pages"))[QLatin1String(AKey)].toInt(-1); }
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
        std::unique_ptr<QNetworkReply> reply(ABody.isNull() ? m_nam.sendCustomRequest(req, AVerb)
                                                            : m_nam.sendCustomRequest(req, AVerb, ABody));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        HttpReply out { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                        reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(),
                        reply->rawHeader("Retry-After") };
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
const QString Login = QStringLiteral("/auth/v1/login");
const QString CustAuth = QStringLiteral("/v1/cust-auth");
const QString Menus = QStringLiteral("/sys/v1/app/menus");
const QString AppFiles = QStringLiteral("/v1/app-files");
const QString Config = QStringLiteral("/sys/v1/config");

QByteArray signInBody(const QString &AEmail, const QString &APassword)
{
    return QJsonDocument(
               QJsonObject { { QStringLiteral("username"), AEmail }, { QStringLiteral("password"), APassword } })
        .toJson(QJsonDocument::Compact);
}
const QByteArray BudiSignIn = signInBody(QStringLiteral("budi@zelt.local"), QStringLiteral("Demo#2024"));

// The server runs with a low PBKDF2 round count (--password-rounds) on
// purpose: the suite signs in many times and 600,000 rounds cost half a second each.
const QString TestRounds = QStringLiteral("2000");

// Starts zelt-server on a free port over ADb, with the suite's files folder and
// round count and AOptions, and waits for its "listening on" line; returns the base URL.
QString startServer(QProcess &AProcess, const QString &ADb, const QString &AFiles, const QStringList &AOptions,
                    QByteArray *AOutput)
{
    AProcess.start(QStringLiteral(ZELT_SERVER_BIN),
                   QStringList { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"), ADb,
                                 QStringLiteral("--files"), AFiles, QStringLiteral("--password-rounds"), TestRounds }
                       + AOptions);
    if (!AProcess.waitForStarted(10000))
        return {};
    static const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+)"));
    QString base;
    for (int i = 0; i < 600 && base.isEmpty() && AProcess.state() == QProcess::Running; ++i) {
        AProcess.waitForReadyRead(200);
        *AOutput += AProcess.readAllStandardOutput();
        base = listening.match(QString::fromUtf8(*AOutput)).captured(1);
    }
    return base;
}

// What a raw connection gets back until the server closes it or stays quiet
// for AQuietMs, and how long that took.
struct RawExchange
{
    QByteArray answer;
    bool closed = false;
    qint64 elapsedMs = 0;
    QByteArray statusLine() const { return answer.left(answer.indexOf("\r\n")); }
};

RawExchange exchange(quint16 APort, const QByteArray &ABytes, int AQuietMs = 3000)
{
    RawExchange out;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, APort);
    if (!socket.waitForConnected(5000))
        return out;
    QElapsedTimer clock;
    clock.start();
    socket.write(ABytes);
    socket.waitForBytesWritten(5000);
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(AQuietMs))
        out.answer += socket.readAll();
    out.answer += socket.readAll();
    out.closed = socket.state() != QAbstractSocket::ConnectedState;
    out.elapsedMs = clock.elapsed();
    return out;
}

// Sends every request at once, each on a connection of its own, and waits for all answers.
struct Call
{
    QByteArray verb;
    QString target;
    QByteArray body;
};
QList<HttpReply> sendAtOnce(const QString &ABase, const QList<Call> &ACalls, const QString &AToken)
{
    std::vector<std::unique_ptr<QNetworkAccessManager>> nams;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    for (const Call &call : ACalls) {
        nams.push_back(std::make_unique<QNetworkAccessManager>());
        nams.back()->setProxy(QNetworkProxy::NoProxy);
        QNetworkRequest req(QUrl(ABase + call.target));
        req.setRawHeader("Authorization", "Bearer " + AToken.toLatin1());
        req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        replies.emplace_back(call.body.isNull() ? nams.back()->sendCustomRequest(req, call.verb)
                                                : nams.back()->sendCustomRequest(req, call.verb, call.body));
    }
    QList<HttpReply> out;
    for (const auto &reply : replies) {
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        out.append(HttpReply { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                               reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(),
                               reply->rawHeader("Retry-After") });
    }
    return out;
}

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
    void signInIsThrottled();
    void failuresFromOneAddressLockIt();
    void oldDigestsAreUpgradedAtSignIn();
    void accessFollowsTheMenus();
    void overlongInputIsRefused();
    void connectionsAreBoundedAndClosed();
    void unreadAnswersAreNotPiledUp();
    void requestLogWritesTheTargetAsSent();
    void concurrentWritesKeepTheirChecks();
    void signInsBesideWritesSucceed();
    void lostStoreConnectionsAreReopened();

private:
    QVariant sql(const QString &ASql)
    {
        QVariant result;
        {
            QSqlDatabase db = m_store->connect(QStringLiteral("check"));
            QSqlQuery q(db.isOpen() ? db : QSqlDatabase());
            if (!q.exec(ASql))
                qFatal("cannot run %s", qPrintable(ASql));
            result = q.next() ? q.value(0) : QVariant(q.numRowsAffected());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return result;
    }
    quint16 strictPort() const { return quint16(QUrl(m_strictHttp.base).port()); }
    QTemporaryDir m_dir;
    std::unique_ptr<TestStore> m_store, m_strictStore;
    QProcess m_server;
    Client m_http;
    QString m_sarah, m_customer;
    // a second server with short timeouts, few connections and its request log on
    QProcess m_strict;
    Client m_strictHttp;
    QByteArray m_strictLog;
    QString m_strictSarah; // signed in before a test locks the strict server's address
};

void tst_ZeltServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_store = std::make_unique<TestStore>(m_dir.path());
    m_strictStore = std::make_unique<TestStore>(m_dir.path(), QStringLiteral("strict.db"));
    if (TestStore::wantsPostgres() && qEnvironmentVariableIsEmpty("ZELT_TEST_PG_URL"))
        QSKIP(qPrintable(m_store->error()));
    QVERIFY2(!m_store->location().isEmpty() && !m_strictStore->location().isEmpty(), qPrintable(m_store->error()));
    QByteArray out;
    const QString files = m_dir.filePath(QStringLiteral("files"));
    const auto options = [](const char *AText) { return QString::fromLatin1(AText).split(QLatin1Char(' ')); };
    m_http.base =
        startServer(m_server, m_store->location(), files, options("--quiet --signin-attempts 4 --signin-lock 3"), &out);
    QVERIFY2(!m_http.base.isEmpty(), out.constData());
    m_strictHttp.base = startServer(
        m_strict, m_strictStore->location(), files,
        options("--signin-attempts 2 --header-timeout 0.5 --idle-timeout 1.5 --max-connections 8"), &m_strictLog);
    QVERIFY2(!m_strictHttp.base.isEmpty(), m_strictLog.constData());
    m_sarah = accessToken(m_http.post(Login, SarahSignIn));
    m_customer = accessToken(m_http.post(CustAuth, CustomerKeys));
    m_strictSarah = accessToken(m_strictHttp.post(Login, SarahSignIn));
    QVERIFY(!m_sarah.isEmpty() && !m_customer.isEmpty() && !m_strictSarah.isEmpty());
}

void tst_ZeltServer::cleanupTestCase()
{
    for (QProcess *server : { &m_server, &m_strict }) {
        if (server->state() == QProcess::NotRunning)
            continue;
        server->terminate();
        QVERIFY(server->waitForFinished(15000));
        // a clean exit: the database closed
        QVERIFY2(server->exitCode() == 0, server->readAllStandardError().right(4000).constData());
    }
}

void tst_ZeltServer::signIn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorKey"); // of the "errors" envelope; empty: a "message"
    const auto row = [](const char *AName, const QString &APath, const char *ABody, int AStatus, const char *AKey) {
        QTest::newRow(AName) << APath << QByteArray(ABody) << AStatus << QString::fromLatin1(AKey);
    };
    row("customer", CustAuth, CustomerKeys.constData(), 200, "");
    row("customer, wrong secret", CustAuth, R"({"cust_key":"ZELT-DEMO-0001","secret_key":"demo-secret-0002"})", 401,
        "");
    row("customer, secret missing", CustAuth, R"({"cust_key":"ZELT-DEMO-0001"})", 400, "secret_key");
    row("customer, key not a string", CustAuth, R"({"cust_key":1,"secret_key":"demo-secret-0001"})", 400, "cust_key");
    row("user, e-mail in capitals", Login, R"({"username":"SARAH@ZELT.LOCAL","password":"Demo#2024"})", 200, "");
    row("user, wrong password", Login, R"({"username":"sarah@zelt.local","password":"demo#2024"})", 401, "");
    row("user, password missing", Login, R"({"username":"sarah@zelt.local"})", 400, "password");
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
        const bool customer = path == CustAuth;
        QCOMPARE(m_http.get(customer ? AppFiles : Menus, accessToken(r)).status, 200);
        QCOMPARE(m_http.get(customer ? Menus : AppFiles, accessToken(r)).status, 401);
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
    const QString token = accessToken(m_http.post(Login, SarahSignIn));
    QCOMPARE(m_http.get(Menus, token).status, 200);
    const QByteArray digest = QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString expire = QStringLiteral("UPDATE sessions SET expires_at = %1 WHERE token_hash = '%2'");
    QCOMPARE(sql(expire.arg(QDateTime::currentMSecsSinceEpoch() - 1000).arg(QLatin1String(digest))).toInt(), 1);
    const HttpReply expired = m_http.get(Menus, token);
    QCOMPARE(expired.status, 401);
    QVERIFY(expired.message().contains(QStringLiteral("expired")));
    QCOMPARE(m_http.get(Menus, m_sarah).status, 200);
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
    // PostgreSQL cannot store it, and SQLite's LIKE ends a pattern there
    row("NUL character", "POST", R"({"partner_code":"V-4","partner_name":"Nul\u0000Trading"})", { "partner_name" },
        "partner_name must not contain a NUL character");
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
        R"({"partner_code":"X","partner_name":)",
        R"(["partner_code","X"])",
        R"("hello")",
        "",
        QByteArray(5000, '['),
        QByteArray(R"({"partner_code":"U-1","partner_name":")") + "\xff\xfe\xc3\x28" + R"("})",
        R"({"partner_code":["X"],"partner_name":{"a":1},"is_active":null})",
        QByteArray(2 * 1024 * 1024, 'x'),
    };
    for (const QByteArray &body : bodies) {
        const HttpReply r = m_http.post(Customers, body, m_sarah);
        QVERIFY2(r.status == (body.size() > 1024 * 1024 ? 413 : 400), body.left(40).constData());
        QVERIFY2(!r.message().isEmpty() && r.contentType.startsWith("application/json"), body.left(40).constData());
    }
    for (const QString &path :
         QStringList { QStringLiteral("/nope"), Customers + QStringLiteral("/1/extra"),
                       QStringLiteral("/%2e%2e/%2e%2e/etc/passwd"), Customers + QStringLiteral("/3%20OR%201=1") })
        QCOMPARE(m_http.get(path, m_sarah).status, 404);
    QCOMPARE(m_http.send("DELETE", Customers + QStringLiteral("/3"), QByteArray(), m_sarah).status, 405);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?q=%27%20OR%20%271%27%3D%271"), m_sarah).pages("rec_count"), 0);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?order=partner_name%3B%20DROP%20TABLE%20x"), m_sarah).status, 400);
    QCOMPARE(m_http.get(Customers + QStringLiteral("?page=1%3B%20DROP%20TABLE%20customers"), m_sarah).status, 400);
    // a NUL character is refused wherever text comes in, not answered 500 or as "everything"
    const HttpReply nulSearch = m_http.get(Customers + QStringLiteral("?q=CUST%00"), m_sarah);
    QCOMPARE(nulSearch.status, 400);
    QVERIFY2(nulSearch.message().contains(QLatin1String("\"q\"")), nulSearch.body.constData());
    const HttpReply nulSignIn = m_http.post(Login, R"({"username":"sarah@zelt.local\u0000","password":"x"})");
    QCOMPARE(nulSignIn.status, 400);
    QCOMPARE(nulSignIn.errorKeys(), QStringList { QStringLiteral("username") });
    for (const QByteArray &bytes :
         { QByteArray("GARBAGE\r\n\r\n"), QByteArray("POST /x HTTP/1.1\r\nContent-Length: 9999999999\r\n\r\n{") }) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(QUrl(m_http.base).port()));
        QVERIFY(socket.waitForConnected(5000));
        socket.write(bytes);
        QByteArray answer;
        while (socket.waitForReadyRead(1000))
            answer += socket.readAll();
        if (answer.startsWith("HTTP/"))
            QVERIFY2(answer.mid(9, 1) == "4", answer.left(40).constData());
        QCOMPARE(m_http.get(Config, m_sarah).status, 200);
    }
    QCOMPARE(m_http.get(Customers + QStringLiteral("/3"), m_sarah).json(), snapshot);
    QCOMPARE(sql(QStringLiteral("SELECT COUNT(*) FROM customers")).toInt(), countBefore);
    if (!m_store->postgres())
        QCOMPARE(sql(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
}

// Every archive of the list verifies against the key pair made at first start.
void tst_ZeltServer::servedArchivesAreSigned()
{
    // beside the SQLite file, or in the files folder for PostgreSQL
    const QString keyFile = m_store->postgres() ? m_dir.filePath(QStringLiteral("files/update-key"))
                                                : m_dir.filePath(QStringLiteral("zelt.db.update-key"));
    QFile pub(keyFile + QStringLiteral(".pub"));
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QByteArray key = QByteArray::fromBase64(pub.readAll().trimmed());
    QCOMPARE(key.size(), int(crypto_sign_PUBLICKEYBYTES));
    QVERIFY(!(QFile::permissions(keyFile) & QFile::ReadOther));
    const QJsonArray files = m_http.get(AppFiles, m_customer).json().value(QStringLiteral("files")).toArray();
    QVERIFY(!files.isEmpty());
    for (const QJsonValue &value : files) {
        const QJsonObject f = value.toObject();
        const QString id = f.value(QStringLiteral("file_id")).toString();
        const QByteArray signature = QByteArray::fromBase64(f.value(QStringLiteral("signature")).toString().toLatin1());
        QCOMPARE(signature.size(), int(crypto_sign_BYTES));
        const HttpReply archive = m_http.get(QStringLiteral("/v1/download/") + id, m_customer);
        QCOMPARE(archive.status, 200);
        QByteArray message = "ZeltERP update archive\n" + id.toUtf8() + '\n'
            + f.value(QStringLiteral("path")).toString().toUtf8() + '\n'
            + f.value(QStringLiteral("filename")).toString().toUtf8() + '\n' + archive.body;
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
    // the whole folder may be served, but never the signing key kept there for a PostgreSQL store
    QCOMPARE(sql(QStringLiteral("INSERT INTO app_files (file_id, filename, app_version, source) VALUES"
                                " (11, 'all', '1', ''), (12, 'k', '1', 'update-key')")),
             QVariant(2));
    const HttpReply folder = m_http.get(QStringLiteral("/v1/download/11"), m_customer);
    QCOMPARE(folder.status, 200);
    QVERIFY(folder.body.contains("release-notes.txt"));
    // (the public key beside it may go along)
    QCOMPARE(folder.body.count("update-key"), folder.body.count("update-key.pub"));
    QCOMPARE(m_http.get(QStringLiteral("/v1/download/12"), m_customer).status, 404);
}

void tst_ZeltServer::signInIsThrottled()
{
    // four failures lock an account (--signin-attempts 4): the first two are answered at once,
    // the next ones later and later, then 429 with Retry-After, the right password included
    const QByteArray wrong = signInBody(QStringLiteral("budi@zelt.local"), QStringLiteral("guess"));
    qint64 took[4] = {};
    for (qint64 &ms : took) {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_http.post(Login, wrong).status, 401);
        ms = clock.elapsed();
    }
    QVERIFY2(took[2] >= 240 && took[3] >= 490,
             qPrintable(QStringLiteral("%1 %2 %3 %4").arg(took[0]).arg(took[1]).arg(took[2]).arg(took[3])));
    const HttpReply locked =
        m_http.post(Login, signInBody(QStringLiteral("BUDI@zelt.local"), QStringLiteral("Demo#2024")));
    QCOMPARE(locked.status, 429);
    QVERIFY(!locked.message().isEmpty() && accessToken(locked).isEmpty());
    QVERIFY2(locked.retryAfter.toInt() >= 1 && locked.retryAfter.toInt() <= 3, locked.retryAfter.constData());
    // another account from the same address is not affected
    QCOMPARE(m_http.post(Login, SarahSignIn).status, 200);
    // the customer sign-in likewise
    const QByteArray wrongKey = R"({"cust_key":"ZELT-DEMO-0002","secret_key":"nope","mode":"dev"})";
    for (int i = 0; i < 4; ++i)
        QCOMPARE(m_http.post(CustAuth, wrongKey).status, 401);
    QCOMPARE(m_http.post(CustAuth, wrongKey).status, 429);
    // once the lock time has passed the right password works and the count starts afresh
    QTest::qWait(3100);
    QCOMPARE(m_http.post(Login, BudiSignIn).status, 200);
    QCOMPARE(m_http.post(Login, wrong).status, 401);
    QCOMPARE(m_http.post(Login, BudiSignIn).status, 200);
}

void tst_ZeltServer::failuresFromOneAddressLockIt()
{
    // --signin-attempts 2: an address is locked after ten failures, each on another account
    QNetworkAccessManager nam;
    nam.setProxy(QNetworkProxy::NoProxy);
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    for (int i = 0; i < 10; ++i) {
        QNetworkRequest req(QUrl(m_strictHttp.base + Login));
        req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        replies.emplace_back(
            nam.post(req, signInBody(QStringLiteral("ghost%1@zelt.local").arg(i), QStringLiteral("x"))));
    }
    for (const auto &reply : replies) {
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 401);
    }
    const HttpReply fresh =
        m_strictHttp.post(Login, signInBody(QStringLiteral("ghost99@zelt.local"), QStringLiteral("x")));
    QCOMPARE(fresh.status, 429);
    QVERIFY(fresh.retryAfter.toInt() > 0);
    QCOMPARE(m_strictHttp.post(Login, SarahSignIn).status, 429);
}

void tst_ZeltServer::oldDigestsAreUpgradedAtSignIn()
{
    // a digest of fewer rounds than the server's is replaced by the next sign-in that proves the password
    const QByteArray salt = "sixteen byte slt";
    const QByteArray digest =
        QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, "Demo#2024", salt, 1000, 32);
    const QString old = QStringLiteral("pbkdf2-sha256$1000$%1$%2")
                            .arg(QLatin1String(salt.toBase64()), QLatin1String(digest.toBase64()));
    QCOMPARE(
        sql(QStringLiteral("UPDATE users SET password_hash = '%1' WHERE email = 'budi@zelt.local'").arg(old)).toInt(),
        1);
    const QString hashOf = QStringLiteral("SELECT password_hash FROM users WHERE email = 'budi@zelt.local'");
    QCOMPARE(m_http.post(Login, signInBody(QStringLiteral("budi@zelt.local"), QStringLiteral("wrong"))).status, 401);
    QCOMPARE(sql(hashOf).toString(), old); // a failed sign-in changes nothing
    QCOMPARE(m_http.post(Login, BudiSignIn).status, 200);
    const QString upgraded = sql(hashOf).toString();
    QVERIFY2(upgraded.startsWith(QStringLiteral("pbkdf2-sha256$%1$").arg(TestRounds)), qPrintable(upgraded));
    QCOMPARE(m_http.post(Login, BudiSignIn).status, 200);
    QCOMPARE(sql(hashOf).toString(), upgraded);
}

void tst_ZeltServer::accessFollowsTheMenus()
{
    // Budi (role 2) has the customer list (101) and New Customer (102)
    const QString budi = accessToken(m_http.post(Login, BudiSignIn));
    QVERIFY(!budi.isEmpty());
    const QString one = Customers + QStringLiteral("/1");
    const QString countries = QStringLiteral("/com/v1/master/countries");
    const QByteArray contact = R"({"customer_id":1,"contact_name":"Menu Check"})";
    QCOMPARE(m_http.get(Customers, budi).status, 200);
    // without the list menu: no list; the entry form (New Customer) still reads and writes
    QCOMPARE(sql(QStringLiteral("DELETE FROM role_menus WHERE role_id = 2 AND menu_id = 101")).toInt(), 1);
    const HttpReply refused = m_http.get(Customers, budi);
    QCOMPARE(refused.status, 403);
    QVERIFY(!refused.message().isEmpty() && refused.contentType.startsWith("application/json"));
    QCOMPARE(m_http.get(one, budi).status, 200);
    QCOMPARE(m_http.post(QStringLiteral("/crm/v1/master/contacts"), contact, budi).status, 201);
    // without any customer menu: every customer and contact endpoint is closed, master data stays open
    QCOMPARE(sql(QStringLiteral("DELETE FROM role_menus WHERE role_id = 2 AND menu_id = 102")).toInt(), 1);
    QCOMPARE(m_http.get(one, budi).status, 403);
    QCOMPARE(m_http.send("PATCH", one, R"({"city":"Bogor"})", budi).status, 403);
    QCOMPARE(m_http.post(QStringLiteral("/crm/v1/master/contacts"), contact, budi).status, 403);
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/contacts?customer_id=1"), budi).status, 403);
    QCOMPARE(m_http.get(countries, budi).status, 200);
    QCOMPARE(m_http.get(Config, budi).status, 200);
    QCOMPARE(m_http.get(Customers, m_sarah).status, 200);
    QCOMPARE(sql(QStringLiteral("INSERT INTO role_menus (role_id, menu_id) VALUES (2, 101), (2, 102)")).toInt(), 2);
    QCOMPARE(m_http.get(Customers, budi).status, 200);
}

void tst_ZeltServer::overlongInputIsRefused()
{
    const auto search = [&](int ALength) {
        return m_http.get(Customers + QStringLiteral("?q=") + QString(ALength, QLatin1Char('a')), m_sarah);
    };
    QCOMPARE(search(200).status, 200);
    for (int length : { 201, 50000 }) {
        const HttpReply r = search(length);
        QCOMPARE(r.status, 400);
        QVERIFY(r.message().contains(QLatin1String("\"q\"")));
    }
    const HttpReply longParam =
        m_http.get(QStringLiteral("/com/v1/master/states?params=") + QString(5000, QLatin1Char('9')), m_sarah);
    QCOMPARE(longParam.status, 400);
    QVERIFY(longParam.message().contains(QLatin1String("\"params\"")));
    QCOMPARE(m_http.get(Config, m_sarah).status, 200);
}

void tst_ZeltServer::connectionsAreBoundedAndClosed()
{
    const quint16 port = strictPort();
    const QByteArray get = "GET /sys/v1/config HTTP/1.1\r\nHost: t\r\n";
    // --max-connections 8: a ninth is answered 503 and closed; the slots come back
    {
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < 8; ++i) {
            held.push_back(std::make_unique<QTcpSocket>());
            held.back()->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(held.back()->waitForConnected(5000));
        }
        QTest::qWait(100);
        const RawExchange ninth = exchange(port, get + "\r\n");
        QVERIFY2(ninth.statusLine() == "HTTP/1.1 503 Service Unavailable" && ninth.closed, ninth.answer.constData());
        QVERIFY(ninth.answer.contains("Retry-After: 1"));
    }
    QTest::qWait(300);
    // "Connection: close" and HTTP/1.0 end the connection with the answer; HTTP/1.1 keeps it until idle
    const RawExchange close = exchange(port, get + "Connection: close\r\n\r\n");
    QVERIFY2(close.statusLine() == "HTTP/1.1 401 Unauthorized" && close.closed && close.elapsedMs < 1000,
             close.answer.constData());
    QVERIFY(close.answer.contains("Connection: close\r\n"));
    const RawExchange old = exchange(port, "GET /sys/v1/config HTTP/1.0\r\n\r\n");
    QVERIFY2(old.answer.startsWith("HTTP/1.1 401") && old.closed && old.elapsedMs < 1000, old.answer.constData());
    const RawExchange kept = exchange(port, "GET /sys/v1/config HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", 5000);
    QVERIFY2(kept.answer.contains("Connection: keep-alive\r\n") && kept.closed && kept.elapsedMs >= 1300,
             qPrintable(QString::number(kept.elapsedMs)));
    // two requests in one write: two answers, in order
    const RawExchange pipelined = exchange(port, get + "\r\n" + "GET /nope HTTP/1.1\r\nConnection: close\r\n\r\n");
    QCOMPARE(pipelined.answer.count("HTTP/1.1 "), 2);
    QVERIFY(pipelined.answer.indexOf("HTTP/1.1 401") < pipelined.answer.indexOf("HTTP/1.1 404"));
    // a header that does not end in time is answered 408; a connection that sends nothing is closed
    const RawExchange slow = exchange(port, get);
    QVERIFY2(slow.statusLine() == "HTTP/1.1 408 Request Timeout" && slow.closed && slow.elapsedMs >= 400,
             slow.answer.constData());
    const RawExchange silent = exchange(port, QByteArray());
    QVERIFY(silent.closed && silent.answer.isEmpty());
    // size limits: header fields, the request line, and bodies without a length
    const RawExchange fat = exchange(port, get + "X-Pad: " + QByteArray(40 * 1024, 'a') + "\r\n\r\n");
    QVERIFY2(fat.statusLine() == "HTTP/1.1 431 Request Header Fields Too Large" && fat.closed,
             fat.statusLine().constData());
    const RawExchange longLine = exchange(port, "GET /" + QByteArray(70 * 1024, 'a') + " HTTP/1.1\r\n\r\n");
    QVERIFY2(longLine.statusLine() == "HTTP/1.1 414 URI Too Long" && longLine.closed,
             longLine.statusLine().constData());
    const RawExchange chunked =
        exchange(port, "POST /auth/v1/login HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    QVERIFY2(chunked.statusLine() == "HTTP/1.1 411 Length Required" && chunked.closed,
             chunked.statusLine().constData());
    QVERIFY(QJsonDocument::fromJson(chunked.answer.mid(chunked.answer.indexOf("\r\n\r\n") + 4))
                .object()
                .contains(QStringLiteral("message")));
    QCOMPARE(m_strictHttp.get(Config, QString()).status, 401);
}

// A client that sends requests but does not read the answers: the server holds back its next
// request instead of keeping every answer in memory, and goes on once the client reads.
void tst_ZeltServer::unreadAnswersAreNotPiledUp()
{
    // about 70 kB an answer; the marker finds them in the request log
    const QByteArray get = "GET /crm/v1/master/customers?page_rows=200&unread=1 HTTP/1.1\r\nHost: t\r\n"
                           "Authorization: Bearer "
        + m_strictSarah.toLatin1() + "\r\n\r\n";
    constexpr int requests = 400;
    QTcpSocket socket;
    // the test's event loop must not read for it
    socket.setReadBufferSize(4096);
    socket.connectToHost(QHostAddress::LocalHost, strictPort());
    QVERIFY(socket.waitForConnected(5000));
    for (int i = 0; i < requests; ++i)
        socket.write(get);
    socket.flush();
    // less than the idle timeout, which would close the connection
    QTest::qWait(800);
    m_strictLog += m_strict.readAllStandardOutput();
    const qsizetype answeredUnread = m_strictLog.count("unread=1");
    // what TCP's buffers hold, a few MB, not all 28 MB
    QVERIFY2(answeredUnread > 0 && answeredUnread < requests / 2, qPrintable(QString::number(answeredUnread)));
    // held back, not dropped: every answer comes once the client reads
    socket.setReadBufferSize(0);
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    int answered = 0;
    QByteArray carry; // shorter than a status line, so none is counted twice
    QElapsedTimer clock;
    clock.start();
    while (answered < requests && clock.elapsed() < 30000 && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(1000);
        const QByteArray window = carry + socket.readAll();
        answered += int(window.count(ok));
        carry = window.right(ok.size() - 1);
    }
    QCOMPARE(answered, requests);
}

void tst_ZeltServer::requestLogWritesTheTargetAsSent()
{
    const quint16 port = strictPort();
    // percent-escapes stay escapes; a quote, a backslash and bytes outside ASCII are written as \xHH
    exchange(port, "GET /nope%22%20200%200%200ms%0a\"x\\y?q=%41 HTTP/1.1\r\nConnection: close\r\n\r\n");
    exchange(port, "GET /\xff\x01 HTTP/1.1\r\n\r\n");
    const QByteArray forged = "127.0.0.1 \"GET /nope%22%20200%200%200ms%0a\\x22x\\x5cy?q=%41\" 404 ";
    const QByteArray binary = "127.0.0.1 \"GET /\\xff\\x01\" 400 ";
    QTRY_VERIFY_WITH_TIMEOUT((m_strictLog += m_strict.readAllStandardOutput()).contains(binary), 5000);
    QVERIFY2(m_strictLog.contains(forged), m_strictLog.right(600).constData());
    // one line per request: the forged status never starts a line of its own
    for (const QByteArray &line : m_strictLog.split('\n'))
        QVERIFY2(line.isEmpty() || line.at(0) == '2' || line.startsWith("listening on "), line.constData());
}

// Several clients writing at the same moment: each write's checks (a code in use, a contact that
// still exists) hold until its write is done, so a loser is refused like any other bad write.
void tst_ZeltServer::concurrentWritesKeepTheirChecks()
{
    QList<Call> creates;
    for (int i = 0; i < 12; ++i)
        creates.append({ "POST", Customers,
                         QStringLiteral(R"({"partner_code":"%1","partner_name":"Race %2"})")
                             .arg(i % 2 ? QStringLiteral("race-1") : QStringLiteral("RACE-1"))
                             .arg(i)
                             .toUtf8() });
    int created = 0;
    for (const HttpReply &r : sendAtOnce(m_http.base, creates, m_sarah)) {
        if (r.status == 201) {
            ++created;
            continue;
        }
        QVERIFY2(r.status == 400 && r.errorKeys() == QStringList { QStringLiteral("partner_code") },
                 r.body.constData());
    }
    QCOMPARE(created, 1);
    QCOMPARE(sql(QStringLiteral("SELECT COUNT(*) FROM customers WHERE lower(partner_code) = 'race-1'")).toInt(), 1);

    // a contact deleted while others change it: the changes after the deletion find nothing
    const QString contacts = QStringLiteral("/crm/v1/master/contacts");
    for (int round = 0; round < 8; ++round) {
        const HttpReply made = m_http.post(contacts, R"({"customer_id":4,"contact_name":"Short-lived"})", m_sarah);
        QCOMPARE(made.status, 201);
        const QString one = contacts + QLatin1Char('/')
            + QString::number(made.json()[QStringLiteral("data")][QStringLiteral("contact_id")].toInteger());
        QList<Call> calls { { "DELETE", one, QByteArray() } };
        for (int i = 0; i < 5; ++i)
            calls.append({ "PATCH", one, QStringLiteral(R"({"city":"Kota %1"})").arg(i).toUtf8() });
        const QList<HttpReply> answers = sendAtOnce(m_http.base, calls, m_sarah);
        QCOMPARE(answers.at(0).status, 200);
        for (qsizetype i = 1; i < answers.size(); ++i) {
            const HttpReply &r = answers.at(i);
            QVERIFY2(r.status == 404
                         || (r.status == 200
                             && r.json()[QStringLiteral("data")][QStringLiteral("city")]
                                 == QStringLiteral("Kota %1").arg(i - 1)),
                     r.body.constData());
        }
        QCOMPARE(m_http.get(one, m_sarah).status, 404);
    }
    QCOMPARE(m_server.state(), QProcess::Running);
}

// Sign-ins while other users write: the account is read before the password is checked and the
// session written after it, and other writes committed in between must not fail the sign-in.
void tst_ZeltServer::signInsBesideWritesSucceed()
{
    // a digest of more rounds than the server's own: a slow check, as at 600,000 rounds
    const QByteArray salt = "sixteen byte slt";
    const QByteArray digest =
        QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, "Demo#2024", salt, 100000, 32);
    QCOMPARE(sql(QStringLiteral("UPDATE users SET password_hash = 'pbkdf2-sha256$100000$%1$%2'"
                                " WHERE email = 'budi@zelt.local'")
                     .arg(QLatin1String(salt.toBase64()), QLatin1String(digest.toBase64())))
                 .toInt(),
             1);
    QList<Call> calls;
    for (int i = 0; i < 36; ++i) {
        if (i % 9 == 0)
            calls.append({ "POST", Login, BudiSignIn });
        else
            calls.append({ "PATCH", Customers + QStringLiteral("/%1").arg(10 + i),
                           QStringLiteral(R"({"city":"Kota %1"})").arg(i).toUtf8() });
    }
    const QList<HttpReply> answers = sendAtOnce(m_http.base, calls, m_sarah);
    for (qsizetype i = 0; i < answers.size(); ++i)
        QVERIFY2(
            answers.at(i).status == 200,
            qPrintable(calls.at(i).verb + ' ' + calls.at(i).target + ": " + QString::fromUtf8(answers.at(i).body)));
}

// A PostgreSQL restart (here: the server's sessions ended by an administrator) costs each worker
// at most the request that finds its connection gone; the next ones connect afresh.
void tst_ZeltServer::lostStoreConnectionsAreReopened()
{
    if (!m_store->postgres())
        QSKIP("an SQLite file has no connection to lose");
    const QString countries = QStringLiteral("/com/v1/master/countries");
    QCOMPARE(m_http.get(countries, m_sarah).status, 200);
    QVERIFY(sql(QStringLiteral("SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity"
                               " WHERE datname = current_database() AND pid <> pg_backend_pid()"))
                .toInt()
            > 0);
    int failed = 0, inARow = 0;
    for (int i = 0; i < 200 && inARow < 30; ++i) {
        const int status = m_http.get(countries, m_sarah).status;
        QVERIFY2(status == 200 || status == 500, qPrintable(QString::number(status)));
        failed += status == 500;
        inARow = status == 200 ? inARow + 1 : 0;
    }
    QCOMPARE(inARow, 30);
    QVERIFY2(failed <= 8, qPrintable(QString::number(failed))); // one per worker (8 by default)
    // the sign-in threads (half the processors) likewise
    int status = 0;
    for (int i = 0; i <= std::max(1, QThread::idealThreadCount() / 2) && status != 200; ++i)
        status = m_http.post(Login, SarahSignIn).status;
    QCOMPARE(status, 200);
}

QTEST_GUILESS_MAIN(tst_ZeltServer)
#include "tst_zeltserver.moc"
