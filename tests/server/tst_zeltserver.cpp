// zelt-server, driven as a separate process over HTTP on 127.0.0.1, the way
// the client talks to it: sign-in, menus, master data, customers and
// contacts, update files, and input meant to break it.
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
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
#include <QUuid>
#include <QtTest>

#include <quazip.h>
#include <quazipfile.h>

#include <memory>

namespace {

const QString kPassword = QStringLiteral("Demo#2024");

struct HttpReply
{
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QJsonArray data() const { return json().value(QStringLiteral("data")).toArray(); }
    QJsonObject pages() const { return json().value(QStringLiteral("pages")).toObject(); }
    QString message() const { return json().value(QStringLiteral("message")).toString(); }
};

// One zelt-server process with its own port.
class ServerProcess
{
public:
    ~ServerProcess() { stop(); }

    // Starts the server and waits for "listening on ..."; false on failure.
    bool start(const QStringList &args)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProgram(QStringLiteral(ZELT_SERVER_BIN));
        m_process->setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
        m_process->start();
        if (!m_process->waitForStarted(10000))
            return false;
        static const QRegularExpression re(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+)"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            if (m_process->state() == QProcess::NotRunning)
                return false;
            m_process->waitForReadyRead(200);
            m_stdout += m_process->readAllStandardOutput();
            const QRegularExpressionMatch m = re.match(QString::fromUtf8(m_stdout));
            if (m.hasMatch()) {
                m_baseUrl = m.captured(1);
                return true;
            }
        }
        return false;
    }

    // SIGTERM and wait; returns the exit code (-1 when it had to be killed).
    int stop()
    {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return m_process ? m_process->exitCode() : 0;
        m_process->terminate();
        if (!m_process->waitForFinished(15000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
            return -1;
        }
        return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    }

    // Runs to its end (for start-up failures); returns the exit code.
    int runToEnd(const QStringList &args, QByteArray *stderrText)
    {
        QProcess p;
        p.start(QStringLiteral(ZELT_SERVER_BIN), QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        *stderrText = p.readAllStandardError();
        return p.exitCode();
    }

    QByteArray readOutput()
    {
        if (m_process) {
            m_process->waitForReadyRead(100);
            m_stdout += m_process->readAllStandardOutput();
        }
        return m_stdout;
    }
    QString baseUrl() const { return m_baseUrl; }
    bool running() const { return m_process && m_process->state() == QProcess::Running; }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_stdout;
    QString m_baseUrl;
};

class Client
{
public:
    explicit Client(QString base = {}) : m_base(std::move(base))
    {
        // only 127.0.0.1 is ever contacted; no proxy from the environment
        m_nam.setProxy(QNetworkProxy::NoProxy);
    }
    void setBase(const QString &base) { m_base = base; }

    HttpReply send(const QByteArray &verb, const QString &target, const QByteArray &body = QByteArray(),
                   const QString &token = QString(), const QByteArray &authorization = QByteArray())
    {
        QNetworkRequest req(QUrl(m_base + target, QUrl::StrictMode));
        req.setRawHeader("Accept-Language", "en_US");
        if (!authorization.isNull())
            req.setRawHeader("Authorization", authorization);
        else if (!token.isNull())
            req.setRawHeader("Authorization", "Bearer " + token.toLatin1());
        if (!body.isNull())
            req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        QNetworkReply *reply = body.isNull() ? m_nam.sendCustomRequest(req, verb)
                                             : m_nam.sendCustomRequest(req, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        HttpReply out;
        if (!reply->isFinished()) {
            reply->abort();
            out.error = QNetworkReply::TimeoutError;
        } else {
            out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            out.body = reply->readAll();
            out.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
            out.error = reply->error();
        }
        delete reply;
        return out;
    }
    HttpReply get(const QString &target, const QString &token = QString()) { return send("GET", target, QByteArray(), token); }
    HttpReply post(const QString &target, const QJsonObject &body, const QString &token = QString())
    {
        return send("POST", target, QJsonDocument(body).toJson(QJsonDocument::Compact), token);
    }
    HttpReply patch(const QString &target, const QJsonObject &body, const QString &token)
    {
        return send("PATCH", target, QJsonDocument(body).toJson(QJsonDocument::Compact), token);
    }

private:
    QString m_base;
    QNetworkAccessManager m_nam;
};

// "?a=1&b=x y" with every value percent-encoded as a client does.
QString query(const QList<QPair<QString, QString>> &items)
{
    QStringList parts;
    for (const auto &item : items)
        parts << QString::fromLatin1(QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second));
    return QLatin1Char('?') + parts.join(QLatin1Char('&'));
}

QStringList errorKeys(const HttpReply &reply)
{
    QStringList keys;
    const QJsonArray errors = reply.json().value(QStringLiteral("errors")).toArray();
    for (const QJsonValue &e : errors)
        keys << e.toObject().value(QStringLiteral("key")).toString();
    return keys;
}

QString errorMessage(const HttpReply &reply, const QString &key)
{
    const QJsonArray errors = reply.json().value(QStringLiteral("errors")).toArray();
    for (const QJsonValue &e : errors) {
        if (e.toObject().value(QStringLiteral("key")).toString() == key)
            return e.toObject().value(QStringLiteral("message")).toString();
    }
    return {};
}

// Raw bytes to the server; returns what came back before it closed or went quiet.
QByteArray rawExchange(const QString &baseUrl, const QByteArray &bytes)
{
    const QUrl url(baseUrl);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(url.port()));
    if (!socket.waitForConnected(5000))
        return "<no connection>";
    socket.write(bytes);
    socket.waitForBytesWritten(5000);
    QByteArray answer;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1500 && socket.state() == QAbstractSocket::ConnectedState) {
        if (socket.waitForReadyRead(300))
            answer += socket.readAll();
        else if (!answer.isEmpty())
            break;
    }
    answer += socket.readAll();
    return answer;
}

// Entry name -> content of a zip archive held in memory.
QMap<QString, QByteArray> unzip(const QByteArray &bytes, bool *ok)
{
    QMap<QString, QByteArray> entries;
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QuaZip zip(&buffer);
    *ok = zip.open(QuaZip::mdUnzip);
    if (!*ok)
        return entries;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::ReadOnly)) {
            *ok = false;
            break;
        }
        entries.insert(file.getActualFileName(), file.readAll());
        file.close();
    }
    zip.close();
    return entries;
}

// Signs a demo user in; the access token, empty on failure.
QString signIn(Client &client, const QString &email)
{
    const HttpReply r = client.post(QStringLiteral("/auth/v1/login"),
                                    QJsonObject{{QStringLiteral("username"), email}, {QStringLiteral("password"), kPassword}});
    return r.json().value(QStringLiteral("response")).toObject().value(QStringLiteral("token")).toObject()
        .value(QStringLiteral("access")).toString();
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

bool hasMembers(const QJsonObject &row, const QStringList &members)
{
    for (const QString &m : members) {
        if (!row.contains(m))
            return false;
    }
    return true;
}

} // namespace

class tst_ZeltServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void customerAuth_data();
    void customerAuth();
    void login_data();
    void login();
    void bearerTokenGuardsEveryRoute_data();
    void bearerTokenGuardsEveryRoute();

    void menusDifferPerUser();
    void configEntriesAreTyped();

    void masterListsCarryEnvelopeAndPages_data();
    void masterListsCarryEnvelopeAndPages();
    void itemPagesDoNotOverlap();
    void searchMatchesTheDocumentedColumns();
    void statusFilterSplitsTheRows();
    void showAllInBothSpellings();
    void lookupsAnswerWholeLists();

    void customerWritesKeepTheSearchKey();
    void customerValidation_data();
    void customerValidation();
    void customerMasterDetailWrite();
    void contactsCrud();
    void contactValidation();

    void appFilesAndDownloads();

    void badInputKeepsDataIntact();
    void requestLogHasOneLinePerRequest();
    void restartKeepsDataAndResetStartsFresh();
    void newerSchemaIsRefused();

private:
    QString login(const QString &email);
    QString customerToken();
    QJsonObject customerById(qint64 id);

    QTemporaryDir m_dir;
    QString m_db;
    QString m_files;
    ServerProcess m_server;
    Client m_http;
    QString m_sarah;
    QString m_budi;
};

QString tst_ZeltServer::login(const QString &email)
{
    return signIn(m_http, email);
}

QString tst_ZeltServer::customerToken()
{
    const HttpReply r = m_http.post(QStringLiteral("/v1/cust-auth"),
                                    QJsonObject{{QStringLiteral("cust_key"), QStringLiteral("ZELT-DEMO-0001")},
                                                {QStringLiteral("secret_key"), QStringLiteral("demo-secret-0001")},
                                                {QStringLiteral("mode"), QStringLiteral("dev")}});
    return r.json().value(QStringLiteral("data")).toObject().value(QStringLiteral("token")).toObject()
        .value(QStringLiteral("access")).toString();
}

QJsonObject tst_ZeltServer::customerById(qint64 id)
{
    return m_http.get(QStringLiteral("/crm/v1/master/customers/%1").arg(id), m_sarah).json()
        .value(QStringLiteral("data")).toObject();
}

void tst_ZeltServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(QStringLiteral("zelt.db"));
    m_files = m_dir.filePath(QStringLiteral("files"));
    // not --quiet: the request log is checked too
    QVERIFY(m_server.start({QStringLiteral("--db"), m_db, QStringLiteral("--files"), m_files,
                            QStringLiteral("--token-ttl"), QStringLiteral("600")}));
    m_http.setBase(m_server.baseUrl());
    m_sarah = login(QStringLiteral("sarah@zelt.local"));
    m_budi = login(QStringLiteral("budi@zelt.local"));
    QVERIFY(!m_sarah.isEmpty());
    QVERIFY(!m_budi.isEmpty());
}

void tst_ZeltServer::cleanupTestCase()
{
    // SIGTERM ends the event loop and closes the database: a clean exit
    QCOMPARE(m_server.stop(), 0);
}

// ------------------------------------------------------------------ sign-in

void tst_ZeltServer::customerAuth_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorKey");   // empty: a "message" answer

    QTest::newRow("good keys") << QByteArray(R"({  "cust_key":"ZELT-DEMO-0001", "secret_key":"demo-secret-0001", "mode":"dev"})") << 200 << QString();
    QTest::newRow("wrong secret") << QByteArray(R"({"cust_key":"ZELT-DEMO-0001","secret_key":"demo-secret-0002","mode":"dev"})") << 401 << QString();
    QTest::newRow("unknown key") << QByteArray(R"({"cust_key":"NOPE","secret_key":"demo-secret-0001","mode":"dev"})") << 401 << QString();
    QTest::newRow("inactive account") << QByteArray(R"({"cust_key":"ZELT-DEMO-9999","secret_key":"demo-secret-9999"})") << 403 << QString();
    QTest::newRow("secret missing") << QByteArray(R"({"cust_key":"ZELT-DEMO-0001"})") << 400 << QStringLiteral("secret_key");
    QTest::newRow("key not a string") << QByteArray(R"({"cust_key":1,"secret_key":"demo-secret-0001"})") << 400 << QStringLiteral("cust_key");
    QTest::newRow("malformed") << QByteArray(R"({"cust_key":"ZELT-DEMO-0001",)") << 400 << QString();
}

void tst_ZeltServer::customerAuth()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, errorKey);

    const HttpReply r = m_http.send("POST", QStringLiteral("/v1/cust-auth"), body);
    QCOMPARE(r.status, status);
    QVERIFY(r.contentType.startsWith("application/json"));
    if (status == 200) {
        const QJsonObject data = r.json().value(QStringLiteral("data")).toObject();
        for (const char *member : {"app_ver", "api_url", "update_url", "cust_name", "addr_line", "addr_city",
                                   "state_name", "postal_code", "country_name"})
            QVERIFY2(data.value(QLatin1String(member)).isString(), member);
        QVERIFY(!data.value(QStringLiteral("token")).toObject().value(QStringLiteral("access")).toString().isEmpty());
        // the client binds its REST client to api_url and signs in there
        QCOMPARE(data.value(QStringLiteral("api_url")).toString(), m_server.baseUrl());
        QCOMPARE(data.value(QStringLiteral("cust_name")).toString(), QStringLiteral("PT Zelt Demo Indonesia"));
        QCOMPARE(data.value(QStringLiteral("app_ver")).toString(), QStringLiteral("1.0.3"));
        Client tenant(data.value(QStringLiteral("api_url")).toString());
        QVERIFY(!signIn(tenant, QStringLiteral("sarah@zelt.local")).isEmpty());
    } else if (errorKey.isEmpty()) {
        QVERIFY(!r.message().isEmpty());
        QVERIFY(!r.json().contains(QStringLiteral("data")));
    } else {
        QVERIFY2(errorKeys(r).contains(errorKey), r.body.constData());
    }
}

void tst_ZeltServer::login_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("langCode");
    QTest::addColumn<QString>("fullName");

    QTest::newRow("english user") << "sarah@zelt.local" << kPassword << 200 << "en_US" << "Sarah Mitchell";
    QTest::newRow("indonesian user") << "budi@zelt.local" << kPassword << 200 << "id_ID" << "Budi Santoso";
    QTest::newRow("e-mail in capitals") << "SARAH@ZELT.LOCAL" << kPassword << 200 << "en_US" << "Sarah Mitchell";
    QTest::newRow("wrong password") << "sarah@zelt.local" << "demo#2024" << 401 << "" << "";
    QTest::newRow("unknown user") << "nobody@zelt.local" << kPassword << 401 << "" << "";
    QTest::newRow("disabled user") << "former@zelt.local" << kPassword << 401 << "" << "";
    QTest::newRow("password missing") << "sarah@zelt.local" << QString() << 400 << "" << "";
}

void tst_ZeltServer::login()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QString, langCode);
    QFETCH(QString, fullName);

    QJsonObject body{{QStringLiteral("username"), username}};
    if (!password.isNull())
        body.insert(QStringLiteral("password"), password);
    const HttpReply r = m_http.post(QStringLiteral("/auth/v1/login"), body);
    QCOMPARE(r.status, status);
    if (status == 200) {
        const QJsonObject credentials = r.json().value(QStringLiteral("response")).toObject();
        QCOMPARE(credentials.value(QStringLiteral("lang_code")).toString(), langCode);
        QCOMPARE(credentials.value(QStringLiteral("user_fullname")).toString(), fullName);
        const QJsonObject token = credentials.value(QStringLiteral("token")).toObject();
        QVERIFY(!token.value(QStringLiteral("access")).toString().isEmpty());
        QVERIFY(!token.value(QStringLiteral("refresh")).toString().isEmpty());
        QVERIFY(token.value(QStringLiteral("access")) != token.value(QStringLiteral("refresh")));
        const HttpReply menus = m_http.get(QStringLiteral("/sys/v1/app/menus"), token.value(QStringLiteral("access")).toString());
        QCOMPARE(menus.status, 200);
    } else if (status == 401) {
        QCOMPARE(r.message(), QStringLiteral("Invalid email or password."));
    } else {
        QCOMPARE(errorKeys(r), QStringList{QStringLiteral("password")});
        QCOMPARE(errorMessage(r, QStringLiteral("password")), QStringLiteral("password is required"));
    }
}

void tst_ZeltServer::bearerTokenGuardsEveryRoute_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("authorization");   // null: none sent
    QTest::addColumn<int>("status");

    const QString menus = QStringLiteral("/sys/v1/app/menus");
    QTest::newRow("no header") << menus << QByteArray() << 401;
    QTest::newRow("empty bearer") << menus << QByteArray("Bearer ") << 401;
    QTest::newRow("unknown token") << menus << QByteArray("Bearer abc.def") << 401;
    QTest::newRow("basic scheme") << menus << QByteArray("Basic c2FyYWg6eA==") << 401;
    QTest::newRow("customers without token") << QStringLiteral("/crm/v1/master/customers") << QByteArray() << 401;
    QTest::newRow("app-files without token") << QStringLiteral("/v1/app-files") << QByteArray() << 401;
    // a user token does not open the customer service, nor the other way round
    QTest::newRow("user token on app-files") << QStringLiteral("/v1/app-files") << "Bearer " + m_sarah.toLatin1() << 401;
    QTest::newRow("customer token on menus") << menus << "Bearer " + customerToken().toLatin1() << 401;
    QTest::newRow("scheme in lower case") << menus << "bearer " + m_sarah.toLatin1() << 200;
}

void tst_ZeltServer::bearerTokenGuardsEveryRoute()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, authorization);
    QFETCH(int, status);
    const HttpReply r = m_http.send("GET", target, QByteArray(), QString(), authorization);
    QCOMPARE(r.status, status);
    QCOMPARE(r.message().isEmpty(), status == 200);
}

// ------------------------------------------------------------------ menus and config

void tst_ZeltServer::menusDifferPerUser()
{
    const HttpReply en = m_http.get(QStringLiteral("/sys/v1/app/menus"), m_sarah);
    QCOMPARE(en.status, 200);
    const QJsonObject response = en.json().value(QStringLiteral("response")).toObject();
    const QJsonArray menus = response.value(QStringLiteral("menus")).toArray();
    QCOMPARE(menus.size(), 1);
    const QJsonObject group = menus.at(0).toObject();
    QCOMPARE(group.value(QStringLiteral("is_header")).toBool(), true);
    QCOMPARE(group.value(QStringLiteral("menu_title")).toString(), QStringLiteral("Customer Relations"));
    QCOMPARE(group.value(QStringLiteral("level")).toInt(), 1);
    QVERIFY(group.value(QStringLiteral("icon_index")).isDouble());

    const QJsonArray children = group.value(QStringLiteral("children")).toArray();
    QCOMPARE(children.size(), 4);
    const QStringList screenMembers = {QStringLiteral("menu_id"), QStringLiteral("menu_title"), QStringLiteral("form_class"),
                                       QStringLiteral("tr_code"), QStringLiteral("tr_group_id"), QStringLiteral("params"),
                                       QStringLiteral("form_pos"), QStringLiteral("icon_index")};
    const QJsonObject list = children.at(0).toObject();
    QVERIFY(hasMembers(list, screenMembers));
    QCOMPARE(list.value(QStringLiteral("is_header")).toBool(), false);
    QCOMPARE(list.value(QStringLiteral("menu_id")).toInt(), 101);
    QCOMPARE(list.value(QStringLiteral("form_class")).toString(), QStringLiteral("TCustomerListFrm"));
    QCOMPARE(list.value(QStringLiteral("form_pos")).toInt(), 1);
    QCOMPARE(children.at(1).toObject(), QJsonObject({{QStringLiteral("is_header"), false}, {QStringLiteral("menu_title"), QStringLiteral("-")}}));
    const QJsonObject entry = children.at(2).toObject();
    QVERIFY(hasMembers(entry, screenMembers));
    QCOMPARE(entry.value(QStringLiteral("form_class")).toString(), QStringLiteral("TCustomerEntryFrm"));
    QVERIFY(entry.value(QStringLiteral("form_pos")).toInt() != 1);   // a dialog
    const QJsonObject reports = children.at(3).toObject();
    QCOMPARE(reports.value(QStringLiteral("is_header")).toBool(), true);
    QCOMPARE(reports.value(QStringLiteral("level")).toInt(), 2);
    QCOMPARE(reports.value(QStringLiteral("children")).toArray().at(0).toObject().value(QStringLiteral("menu_id")).toInt(), 103);

    const QJsonArray packages = response.value(QStringLiteral("packages")).toArray();
    QCOMPARE(packages.size(), 1);
    QCOMPARE(packages.at(0).toObject().value(QStringLiteral("package_id")).toString(), QStringLiteral("crm"));
    QVERIFY(!packages.at(0).toObject().value(QStringLiteral("package_file")).toString().isEmpty());

    // the Indonesian user: Indonesian titles, no reports group
    const QJsonObject id = m_http.get(QStringLiteral("/sys/v1/app/menus"), m_budi).json().value(QStringLiteral("response")).toObject();
    const QJsonObject idGroup = id.value(QStringLiteral("menus")).toArray().at(0).toObject();
    QCOMPARE(idGroup.value(QStringLiteral("menu_title")).toString(), QStringLiteral("Manajemen Pelanggan"));
    const QJsonArray idChildren = idGroup.value(QStringLiteral("children")).toArray();
    QCOMPARE(idChildren.size(), 3);
    QCOMPARE(idChildren.at(0).toObject().value(QStringLiteral("menu_title")).toString(), QStringLiteral("Pelanggan"));
    for (const QJsonValue &child : idChildren)
        QVERIFY(!child.toObject().value(QStringLiteral("is_header")).toBool());
    QCOMPARE(id.value(QStringLiteral("packages")).toArray(), packages);
}

void tst_ZeltServer::configEntriesAreTyped()
{
    const HttpReply all = m_http.get(QStringLiteral("/sys/v1/config?config_id="), m_sarah);
    QCOMPARE(all.status, 200);
    const QJsonArray rows = all.data();
    QVERIFY(rows.size() >= 4);
    QSet<QString> types;
    for (const QJsonValue &v : rows) {
        const QJsonObject row = v.toObject();
        QVERIFY(row.value(QStringLiteral("config_id")).isString());
        QVERIFY(row.value(QStringLiteral("config_value")).isString());
        types.insert(row.value(QStringLiteral("data_type")).toString());
    }
    QCOMPARE(types, (QSet<QString>{QStringLiteral("string"), QStringLiteral("integer"), QStringLiteral("float"), QStringLiteral("boolean")}));

    const HttpReply one = m_http.get(QStringLiteral("/sys/v1/config?config_id=tax_rate"), m_sarah);
    QCOMPARE(one.data().size(), 1);
    QCOMPARE(one.data().at(0).toObject().value(QStringLiteral("data_type")).toString(), QStringLiteral("float"));
}

// ------------------------------------------------------------------ master data

void tst_ZeltServer::masterListsCarryEnvelopeAndPages_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("minRecords");
    QTest::addColumn<QStringList>("members");

    QTest::newRow("cost centres") << QStringLiteral("/acf/v1/master/cost-centers?mode=list&params=&q=&status=1&page=1&page_rows=20")
                                  << 30 << QStringList{"cc_id", "cc_code", "cc_name", "cc_type_desc"};
    QTest::newRow("employees") << QStringLiteral("/hrm/v1/master/employees?mode=list&page=2&page_rows=50")
                               << 300 << QStringList{"emp_id", "emp_name", "gender", "org_name"};
    QTest::newRow("items") << QStringLiteral("/prc/v1/master/items?mode=list&params=&q=&status=0&page=3&page_rows=100")
                           << 5000 << QStringList{"item_type_name", "item_id", "item_code", "item_name", "item_cat_name",
                                                  "material", "spec", "uom_id", "uom_name"};
    QTest::newRow("customers") << QStringLiteral("/crm/v1/master/customers?mode=list&q=&status=0&page=1&page_rows=20")
                               << 500 << QStringList{"partner_id", "partner_code", "partner_name", "industry", "address",
                                                     "city", "phone", "email", "website", "is_active", "updated_at", "updated_by"};
    QTest::newRow("contacts") << QStringLiteral("/crm/v1/master/contacts?page=1&page_rows=30")
                              << 500 << QStringList{"contact_id", "contact_name", "job_position", "phone", "mobile", "email",
                                                    "notes", "title", "image_id", "is_active", "partner_name",
                                                    "contact_address", "contact_type_c"};
    QTest::newRow("countries") << QStringLiteral("/com/v1/master/countries?params=&showall=1&mode=lookup")
                               << 40 << QStringList{"country_id", "country_name", "country_code"};
    QTest::newRow("states") << QStringLiteral("/com/v1/master/states?params=100&showall=1&mode=lookup")
                            << 38 << QStringList{"state_id", "state_name", "state_code"};
    QTest::newRow("tr-codes") << QStringLiteral("/com/v1/master/tr-codes?showall=1&tr_group_id=PR")
                              << 3 << QStringList{"tr_code", "tr_name", "tr_group_id"};
}

void tst_ZeltServer::masterListsCarryEnvelopeAndPages()
{
    QFETCH(QString, target);
    QFETCH(int, minRecords);
    QFETCH(QStringList, members);

    const HttpReply r = m_http.get(target, m_sarah);
    QCOMPARE(r.status, 200);
    const QJsonObject pages = r.pages();
    for (const char *m : {"page", "page_rows", "page_count", "rec_count"})
        QVERIFY2(pages.value(QLatin1String(m)).isDouble(), m);
    const int page = pages.value(QStringLiteral("page")).toInt();
    const int rows = pages.value(QStringLiteral("page_rows")).toInt();
    const int count = pages.value(QStringLiteral("rec_count")).toInt();
    QVERIFY2(count >= minRecords, qPrintable(QString::number(count)));
    QCOMPARE(pages.value(QStringLiteral("page_count")).toInt(), (count + rows - 1) / rows);
    const int expected = std::max(0, std::min(rows, count - (page - 1) * rows));
    QCOMPARE(r.data().size(), expected);
    for (const QJsonValue &v : r.data())
        QVERIFY2(hasMembers(v.toObject(), members), QJsonDocument(v.toObject()).toJson().constData());
}

void tst_ZeltServer::itemPagesDoNotOverlap()
{
    auto ids = [this](int page, int rows) {
        QSet<qint64> set;
        const HttpReply r = m_http.get(QStringLiteral("/prc/v1/master/items?mode=list&status=0&page=%1&page_rows=%2").arg(page).arg(rows), m_sarah);
        for (const QJsonValue &v : r.data())
            set.insert(v.toObject().value(QStringLiteral("item_id")).toInteger());
        return set;
    };
    const QSet<qint64> first = ids(1, 500);
    const QSet<qint64> second = ids(2, 500);
    QCOMPARE(first.size(), 500);
    QCOMPARE(second.size(), 500);
    QVERIFY(!first.intersects(second));

    const HttpReply one = m_http.get(QStringLiteral("/prc/v1/master/items?page=1&page_rows=20"), m_sarah);
    const int count = one.pages().value(QStringLiteral("rec_count")).toInt();
    const int lastPage = one.pages().value(QStringLiteral("page_count")).toInt();
    const HttpReply last = m_http.get(QStringLiteral("/prc/v1/master/items?page=%1&page_rows=20").arg(lastPage), m_sarah);
    QCOMPARE(last.data().size(), count - (lastPage - 1) * 20);
    const HttpReply beyond = m_http.get(QStringLiteral("/prc/v1/master/items?page=%1&page_rows=20").arg(lastPage + 1), m_sarah);
    QCOMPARE(beyond.status, 200);
    QCOMPARE(beyond.data().size(), 0);
    QCOMPARE(beyond.pages().value(QStringLiteral("rec_count")).toInt(), count);

    // one page never exceeds the browse dialog's largest choice
    const HttpReply huge = m_http.get(QStringLiteral("/prc/v1/master/items?page=1&page_rows=100000"), m_sarah);
    QCOMPARE(huge.pages().value(QStringLiteral("page_rows")).toInt(), 1000);
    QCOMPARE(huge.data().size(), 1000);

    // the browse dialog's order, checked against a whitelist
    const HttpReply ordered = m_http.get(QStringLiteral("/prc/v1/master/items?mode=browse&page=1&page_rows=50&order=item_name"), m_sarah);
    QString previous;
    for (const QJsonValue &v : ordered.data()) {
        const QString name = v.toObject().value(QStringLiteral("item_name")).toString();
        QVERIFY(previous <= name);
        previous = name;
    }
}

void tst_ZeltServer::searchMatchesTheDocumentedColumns()
{
    // "%" and "_" are matched as themselves, not as wildcards
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/customers") + query({{"q", "%"}}), m_sarah).pages().value(QStringLiteral("rec_count")).toInt(), 0);
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/customers") + query({{"q", "_"}}), m_sarah).pages().value(QStringLiteral("rec_count")).toInt(), 0);

    // items: the blanks around a search text do not count
    const HttpReply items = m_http.get(QStringLiteral("/prc/v1/master/items") + query({{"mode", "list"}, {"q", "  Hex Bolt "}, {"status", "1"}, {"page", "1"}, {"page_rows", "1000"}}), m_sarah);
    QVERIFY(!items.data().isEmpty());
    for (const QJsonValue &v : items.data()) {
        const QJsonObject row = v.toObject();
        QVERIFY(row.value(QStringLiteral("item_name")).toString().contains(QStringLiteral("hex bolt"), Qt::CaseInsensitive));
        QVERIFY(row.value(QStringLiteral("is_active")).toBool());
    }
    // employees in the pick list: mode lookup, q, every match at once
    const HttpReply emp = m_http.get(QStringLiteral("/hrm/v1/master/employees?mode=lookup&q=ani"), m_sarah);
    QVERIFY(!emp.data().isEmpty());
    QCOMPARE(emp.pages().value(QStringLiteral("rec_count")).toInt(), emp.data().size());
    for (const QJsonValue &v : emp.data()) {
        const QJsonObject row = v.toObject();
        const QString text = row.value(QStringLiteral("emp_code")).toString() + row.value(QStringLiteral("emp_name")).toString()
                             + row.value(QStringLiteral("org_name")).toString() + row.value(QStringLiteral("job_title")).toString();
        QVERIFY(text.contains(QStringLiteral("ani"), Qt::CaseInsensitive));
    }
}

void tst_ZeltServer::statusFilterSplitsTheRows()
{
    for (const QString &path : {QStringLiteral("/crm/v1/master/customers"), QStringLiteral("/prc/v1/master/items"),
                                QStringLiteral("/acf/v1/master/cost-centers")}) {
        int counts[3] = {};
        for (int status = 0; status < 3; ++status) {
            const HttpReply r = m_http.get(path + QStringLiteral("?mode=list&status=%1&page=1&page_rows=1000").arg(status), m_sarah);
            QCOMPARE(r.status, 200);
            counts[status] = r.pages().value(QStringLiteral("rec_count")).toInt();
            for (const QJsonValue &v : r.data()) {
                if (status == 1)
                    QVERIFY(v.toObject().value(QStringLiteral("is_active")).toBool());
                if (status == 2)
                    QVERIFY(!v.toObject().value(QStringLiteral("is_active")).toBool());
            }
        }
        QVERIFY2(counts[1] > 0 && counts[2] > 0, qPrintable(path));
        QCOMPARE(counts[0], counts[1] + counts[2]);
    }
    const HttpReply bad = m_http.get(QStringLiteral("/crm/v1/master/customers?status=7"), m_sarah);
    QCOMPARE(bad.status, 400);
    QVERIFY(bad.message().contains(QStringLiteral("status")));
}

void tst_ZeltServer::showAllInBothSpellings()
{
    auto codes = [this](const QString &target) {
        QStringList list;
        const HttpReply r = m_http.get(target, m_sarah);
        for (const QJsonValue &v : r.data()) {
            const QJsonObject row = v.toObject();
            list << (row.contains(QStringLiteral("tr_code")) ? row.value(QStringLiteral("tr_code")).toString()
                                                             : row.value(QStringLiteral("status_code")).toString());
        }
        return list;
    };
    // transaction codes: "showall" with tr_group_id, "show_all" with the group as q
    QVERIFY(codes(QStringLiteral("/com/v1/master/tr-codes?showall=1&tr_group_id=PO")).contains(QStringLiteral("PO-OLD")));
    QCOMPARE(codes(QStringLiteral("/com/v1/master/tr-codes?showall=0&tr_group_id=PO")),
             (QStringList{QStringLiteral("PO-LOC"), QStringLiteral("PO-IMP"), QStringLiteral("PO-SVC")}));
    QCOMPARE(codes(QStringLiteral("/com/v1/master/tr-codes?mode=lookup&q=PO&show_all=1")).size(), 4);
    QCOMPARE(codes(QStringLiteral("/com/v1/master/tr-codes?mode=lookup&q=PO&show_all=0")).size(), 3);
    QVERIFY(codes(QStringLiteral("/com/v1/master/tr-codes?mode=lookup&q=NOPE&show_all=1")).isEmpty());

    // statuses: query form with type, group and showall; path form by group
    QVERIFY(codes(QStringLiteral("/com/v1/master/status?type=0&status_group_id=2&showall=1")).contains(QStringLiteral("REV")));
    QVERIFY(!codes(QStringLiteral("/com/v1/master/status?type=0&status_group_id=2&showall=0")).contains(QStringLiteral("REV")));
    QCOMPARE(codes(QStringLiteral("/com/v1/master/status?type=2&status_group_id=2&showall=1")),
             (QStringList{QStringLiteral("REJ"), QStringLiteral("CLS"), QStringLiteral("CAN")}));
    QCOMPARE(codes(QStringLiteral("/com/v1/master/status/7")),
             (QStringList{QStringLiteral("NEW"), QStringLiteral("QUA"), QStringLiteral("PRO"), QStringLiteral("NEG"),
                          QStringLiteral("WON"), QStringLiteral("LST")}));
    QCOMPARE(m_http.get(QStringLiteral("/com/v1/master/status/99"), m_sarah).status, 404);
    QCOMPARE(m_http.get(QStringLiteral("/com/v1/master/status/abc"), m_sarah).status, 404);
    QCOMPARE(m_http.get(QStringLiteral("/com/v1/master/status?showall=yes"), m_sarah).status, 400);
}

void tst_ZeltServer::lookupsAnswerWholeLists()
{
    // the location pick list sends the type as q: 1 building, 2 project, 3 vendor
    for (int type = 1; type <= 3; ++type) {
        const HttpReply r = m_http.get(QStringLiteral("/prc/v1/master/locations?mode=lookup&q=%1").arg(type), m_sarah);
        QVERIFY(!r.data().isEmpty());
        for (const QJsonValue &v : r.data()) {
            const QJsonObject row = v.toObject();
            QCOMPARE(row.value(QStringLiteral("loc_type")).toInt(), type);
            QVERIFY(hasMembers(row, {QStringLiteral("loc_det_id"), QStringLiteral("loc_det_name"), QStringLiteral("loc_det_desc"),
                                     QStringLiteral("loc_id"), QStringLiteral("loc_name")}));
        }
    }
    // the contact form: countries, and the states of the country in "params"
    const HttpReply countries = m_http.get(QStringLiteral("/com/v1/master/countries?params=&showall=1&mode=lookup"), m_sarah);
    bool indonesia = false;
    for (const QJsonValue &v : countries.data())
        indonesia = indonesia || (v.toObject().value(QStringLiteral("country_id")).toInt() == 100
                                  && v.toObject().value(QStringLiteral("country_name")).toString() == QLatin1String("Indonesia"));
    QVERIFY(indonesia);
    const HttpReply states = m_http.get(QStringLiteral("/com/v1/master/states?params=100&showall=1&mode=lookup"), m_sarah);
    QCOMPARE(states.data().size(), 38);
    for (const QJsonValue &v : states.data())
        QCOMPARE(v.toObject().value(QStringLiteral("country_id")).toInt(), 100);
    QCOMPARE(m_http.get(QStringLiteral("/com/v1/master/states?params=abc&showall=1&mode=lookup"), m_sarah).status, 400);
}

// ------------------------------------------------------------------ customers and contacts

// Creating and editing a customer through the screens is proven end to end
// (tst_endtoend::customerAddedThenEdited); here what the screens never show.
void tst_ZeltServer::customerWritesKeepTheSearchKey()
{
    const QString path = QStringLiteral("/crm/v1/master/customers");
    const HttpReply created = m_http.post(path, QJsonObject{{QStringLiteral("partner_code"), QStringLiteral("T-CRUD-1")},
                                                            {QStringLiteral("partner_name"), QStringLiteral("PT Uji Coba Sentosa")},
                                                            {QStringLiteral("city"), QStringLiteral("Cirebon")}},
                                          m_sarah);
    QCOMPARE(created.status, 201);
    const QJsonObject row = created.json().value(QStringLiteral("data")).toObject();
    const qint64 id = row.value(QStringLiteral("partner_id")).toInteger();
    QVERIFY(QDateTime::fromString(row.value(QStringLiteral("updated_at")).toString(), QStringLiteral("yyyy-MM-ddTHH:mm:ss")).isValid());
    QCOMPARE(row.value(QStringLiteral("contacts")).toArray().size(), 0);
    QCOMPARE(m_http.patch(path + QStringLiteral("/%1").arg(id),
                          QJsonObject{{QStringLiteral("partner_name"), QStringLiteral("PT Uji Coba Sejahtera")},
                                      {QStringLiteral("is_active"), false}},
                          m_budi).status, 200);
    // the search key follows the new name
    QCOMPARE(m_http.get(path + QStringLiteral("?q=uji%20coba%20sejahtera&status=2"), m_sarah).data().size(), 1);
    QCOMPARE(m_http.get(path + QStringLiteral("?q=uji%20coba%20sentosa&status=0"), m_sarah).data().size(), 0);

    // unknown ids are 404 for read and write
    QCOMPARE(m_http.get(path + QStringLiteral("/999999"), m_sarah).status, 404);
    const HttpReply missing = m_http.patch(path + QStringLiteral("/999999"), QJsonObject{{QStringLiteral("partner_name"), QStringLiteral("x")}}, m_sarah);
    QCOMPARE(missing.status, 404);
    QVERIFY(!missing.message().isEmpty());
    QCOMPARE(m_http.get(path + QStringLiteral("/0"), m_sarah).status, 404);
    QCOMPARE(m_http.get(path + QStringLiteral("/-3"), m_sarah).status, 404);
}

void tst_ZeltServer::customerValidation_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("firstMessage");

    QTest::newRow("name missing") << QByteArray("POST") << QByteArray(R"({"partner_code":"V-1"})")
                                  << QStringList{"partner_name"} << QStringLiteral("partner_name is required");
    QTest::newRow("both missing") << QByteArray("POST") << QByteArray(R"({"industry":"Retail"})")
                                  << QStringList{"partner_code", "partner_name"} << QStringLiteral("partner_code is required");
    QTest::newRow("duplicate code, other case") << QByteArray("POST") << QByteArray(R"({"partner_code":"cust-00001","partner_name":"Dup"})")
                                                << QStringList{"partner_code"} << QStringLiteral("partner_code already exists");
    QTest::newRow("code too long") << QByteArray("POST") << QByteArray(R"({"partner_code":"ABCDEFGHIJKLMNOPQRSTU","partner_name":"Long"})")
                                   << QStringList{"partner_code"} << QStringLiteral("partner_code must be at most 20 characters");
    QTest::newRow("wrong types") << QByteArray("POST") << QByteArray(R"({"partner_code":"V-3","partner_name":12,"is_active":"yes"})")
                                 << QStringList{"partner_name", "is_active"} << QStringLiteral("partner_name must be a string");
    QTest::newRow("bad e-mail") << QByteArray("POST") << QByteArray(R"({"partner_code":"V-4","partner_name":"Mail","email":"no-at-sign"})")
                                << QStringList{"email"} << QStringLiteral("email is not a valid e-mail address");
    QTest::newRow("patch takes a code in use") << QByteArray("PATCH") << QByteArray(R"({"partner_code":"CUST-00002"})")
                                               << QStringList{"partner_code"} << QStringLiteral("partner_code already exists");
    QTest::newRow("put needs the whole record") << QByteArray("PUT") << QByteArray(R"({"partner_name":"Only name"})")
                                                << QStringList{"partner_code"} << QStringLiteral("partner_code is required");
    QTest::newRow("contacts not an array") << QByteArray("POST") << QByteArray(R"({"partner_code":"V-5","partner_name":"D","contacts":{}})")
                                           << QStringList{"contacts"} << QStringLiteral("contacts must be an array");
}

void tst_ZeltServer::customerValidation()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, keys);
    QFETCH(QString, firstMessage);

    const QJsonObject before = customerById(1);
    const int countBefore = m_http.get(QStringLiteral("/crm/v1/master/customers?status=0"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt();
    const QString target = method == "POST" ? QStringLiteral("/crm/v1/master/customers") : QStringLiteral("/crm/v1/master/customers/1");
    const HttpReply r = m_http.send(method, target, body, m_sarah);
    QCOMPARE(r.status, 400);
    QCOMPARE(errorKeys(r), keys);
    QCOMPARE(r.json().value(QStringLiteral("errors")).toArray().at(0).toObject().value(QStringLiteral("message")).toString(), firstMessage);
    QVERIFY(!r.message().isEmpty());
    // a refused write changes nothing
    QCOMPARE(customerById(1), before);
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/customers?status=0"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt(), countBefore);
}

void tst_ZeltServer::customerMasterDetailWrite()
{
    // Given a document of a master and its contacts table, as a table list sends it
    const QJsonObject document = object(R"({"partner_id": 0, "partner_code": "T-MD-1",
        "partner_name": "Northwind Marine Pte Ltd", "city": "Singapore", "is_active": true, "contacts": [
        {"contact_id": 0, "contact_name": "Grace Lim", "contact_type": 1, "email": "grace@northwind.sg",
         "country_id": 196, "is_active": true},
        {"contact_id": null, "contact_name": "Accounts Payable", "contact_type": 2, "street1": "1 Harbour Drive",
         "zip": "117439", "country_id": 196},
        {"contact_name": "Warehouse", "contact_type": 3}]})");
    const HttpReply created = m_http.post(QStringLiteral("/crm/v1/master/customers"), document, m_sarah);
    QCOMPARE(created.status, 201);
    const QJsonObject customer = created.json().value(QStringLiteral("data")).toObject();
    const qint64 id = customer.value(QStringLiteral("partner_id")).toInteger();
    const QJsonArray contacts = customer.value(QStringLiteral("contacts")).toArray();
    QCOMPARE(contacts.size(), 3);
    // the one-row form of the contact list: the first contact's members on the customer
    QCOMPARE(customer.value(QStringLiteral("contact_name")).toString(), QStringLiteral("Grace Lim"));
    QCOMPARE(customer.value(QStringLiteral("contact_type_c")).toString(), QStringLiteral("Contact"));
    QCOMPARE(customer.value(QStringLiteral("partner_name")).toString(), QStringLiteral("Northwind Marine Pte Ltd"));

    qint64 grace = 0, payable = 0, warehouse = 0;
    for (const QJsonValue &v : contacts) {
        const QJsonObject c = v.toObject();
        QCOMPARE(c.value(QStringLiteral("customer_id")).toInteger(), id);
        const QString name = c.value(QStringLiteral("contact_name")).toString();
        (name == QLatin1String("Grace Lim") ? grace : name == QLatin1String("Accounts Payable") ? payable : warehouse)
            = c.value(QStringLiteral("contact_id")).toInteger();
    }
    QVERIFY(grace && payable && warehouse);

    // When the document comes back with one row changed, one new and one left out
    const QJsonObject update{
        {QStringLiteral("partner_name"), QStringLiteral("Northwind Marine Pte Ltd")},
        {QStringLiteral("contacts"), QJsonArray{
             QJsonObject{{QStringLiteral("contact_id"), grace}, {QStringLiteral("job_position"), QStringLiteral("Fleet Manager")}},
             QJsonObject{{QStringLiteral("contact_id"), payable}},
             QJsonObject{{QStringLiteral("contact_id"), 0}, {QStringLiteral("contact_name"), QStringLiteral("Night Shift Desk")}}}}};
    QCOMPARE(m_http.patch(QStringLiteral("/crm/v1/master/customers/%1").arg(id), update, m_sarah).status, 200);

    // Then the detail table is what was sent: the row left out is deleted
    QStringList names;
    for (const QJsonValue &v : customerById(id).value(QStringLiteral("contacts")).toArray())
        names << v.toObject().value(QStringLiteral("contact_name")).toString();
    names.sort();
    QCOMPARE(names, (QStringList{QStringLiteral("Accounts Payable"), QStringLiteral("Grace Lim"), QStringLiteral("Night Shift Desk")}));
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/contacts/%1").arg(warehouse), m_sarah).status, 404);
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/contacts/%1").arg(grace), m_sarah).data().at(0).toObject()
                 .value(QStringLiteral("job_position")).toString(), QStringLiteral("Fleet Manager"));

    // a contact of another customer cannot be taken over through the detail rows
    const qint64 foreign = customerById(5).value(QStringLiteral("contacts")).toArray().at(0).toObject().value(QStringLiteral("contact_id")).toInteger();
    QVERIFY(foreign > 0);
    const HttpReply stolen = m_http.patch(QStringLiteral("/crm/v1/master/customers/%1").arg(id),
                                          QJsonObject{{QStringLiteral("contacts"), QJsonArray{QJsonObject{{QStringLiteral("contact_id"), foreign},
                                                                                                          {QStringLiteral("contact_name"), QStringLiteral("Mine")}}}}},
                                          m_sarah);
    QCOMPARE(stolen.status, 400);
    QCOMPARE(errorKeys(stolen), QStringList{QStringLiteral("contact_id")});
    QCOMPARE(customerById(id).value(QStringLiteral("contacts")).toArray().size(), 3);

    // a bad detail row refuses the whole document: no customer is created
    const int before = m_http.get(QStringLiteral("/crm/v1/master/customers"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt();
    const HttpReply bad = m_http.post(QStringLiteral("/crm/v1/master/customers"),
                                      QJsonObject{{QStringLiteral("partner_code"), QStringLiteral("T-MD-2")},
                                                  {QStringLiteral("partner_name"), QStringLiteral("Half Written Ltd")},
                                                  {QStringLiteral("contacts"), QJsonArray{QJsonObject{{QStringLiteral("contact_type"), 1}}}}},
                                      m_sarah);
    QCOMPARE(bad.status, 400);
    QCOMPARE(errorKeys(bad), QStringList{QStringLiteral("contact_name")});
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/customers"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt(), before);
}

void tst_ZeltServer::contactsCrud()
{
    const qint64 customer = 7;
    // Given a new contact row as the entry form fills it (every field of its table)
    QJsonObject row = object(R"({"contact_id": 0, "contact_name": "Dewi Lestari",
        "job_position": "Procurement Officer", "contact_type": 1, "street1": "Jl. Melati No. 8", "street2": "",
        "city": "Bandung", "state_id": 12, "zip": "40111", "country_id": 100, "phone": "+62 22 555 0199",
        "mobile": "+62 812 1111 2222", "email": "dewi@example.co.id", "notes": "Prefers e-mail", "title": "Ms",
        "image_id": null, "is_active": true, "is_del": false, "user_del": null, "date_del": null, "last_update": ""})");
    row.insert(QStringLiteral("customer_id"), customer);
    const HttpReply created = m_http.post(QStringLiteral("/crm/v1/master/contacts"), row, m_sarah);
    QCOMPARE(created.status, 201);
    const qint64 id = created.json().value(QStringLiteral("data")).toObject().value(QStringLiteral("contact_id")).toInteger();
    QVERIFY(id > 0);

    // When the entry form reads it: one row in a "data" array, the form's fields filled
    const HttpReply read = m_http.get(QStringLiteral("/crm/v1/master/contacts/%1").arg(id), m_sarah);
    QCOMPARE(read.status, 200);
    QCOMPARE(read.data().size(), 1);
    const QJsonObject stored = read.data().at(0).toObject();
    for (const char *key : {"contact_name", "job_position", "contact_type", "street1", "city", "state_id", "zip", "country_id",
                            "phone", "mobile", "email", "customer_id", "notes", "title", "is_active"})
        QCOMPARE(stored.value(QLatin1String(key)), row.value(QLatin1String(key)));
    QCOMPARE(stored.value(QStringLiteral("is_del")).toBool(), false);
    QCOMPARE(stored.value(QStringLiteral("contact_type_c")).toString(), QStringLiteral("Contact"));
    QVERIFY(stored.value(QStringLiteral("contact_address")).toString().contains(QStringLiteral("Bandung")));

    // the customer's detail lists it; the contact list filters by customer
    bool listed = false;
    for (const QJsonValue &v : customerById(customer).value(QStringLiteral("contacts")).toArray())
        listed = listed || v.toObject().value(QStringLiteral("contact_id")).toInteger() == id;
    QVERIFY(listed);
    const HttpReply byCustomer = m_http.get(QStringLiteral("/crm/v1/master/contacts?customer_id=%1&page=1&page_rows=100").arg(customer), m_sarah);
    for (const QJsonValue &v : byCustomer.data())
        QCOMPARE(v.toObject().value(QStringLiteral("customer_id")).toInteger(), customer);

    // PATCH with the row's own contact_id
    QJsonObject edited = stored;
    edited.insert(QStringLiteral("mobile"), QStringLiteral("+62 813 3333 4444"));
    edited.insert(QStringLiteral("contact_type"), 3);
    const HttpReply patched = m_http.patch(QStringLiteral("/crm/v1/master/contacts/%1").arg(id), edited, m_budi);
    QCOMPARE(patched.status, 200);
    const QJsonObject after = patched.json().value(QStringLiteral("data")).toObject();
    QCOMPARE(after.value(QStringLiteral("mobile")).toString(), QStringLiteral("+62 813 3333 4444"));
    QCOMPARE(after.value(QStringLiteral("contact_type_c")).toString(), QStringLiteral("Delivery Address"));
    QCOMPARE(after.value(QStringLiteral("updated_by")).toString(), QStringLiteral("budi@zelt.local"));

    // DELETE marks it deleted; it is gone for every read afterwards
    const HttpReply deleted = m_http.send("DELETE", QStringLiteral("/crm/v1/master/contacts/%1").arg(id), QByteArray(), m_sarah);
    QCOMPARE(deleted.status, 200);
    QVERIFY(!deleted.message().isEmpty());
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/contacts/%1").arg(id), m_sarah).status, 404);
    QCOMPARE(m_http.send("DELETE", QStringLiteral("/crm/v1/master/contacts/%1").arg(id), QByteArray(), m_sarah).status, 404);
    QCOMPARE(m_http.patch(QStringLiteral("/crm/v1/master/contacts/%1").arg(id), edited, m_sarah).status, 404);
    for (const QJsonValue &v : customerById(customer).value(QStringLiteral("contacts")).toArray())
        QVERIFY(v.toObject().value(QStringLiteral("contact_id")).toInteger() != id);
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/contacts/987654"), m_sarah).status, 404);
}

void tst_ZeltServer::contactValidation()
{
    struct Case { QByteArray body; QString key; QString message; };
    const Case cases[] = {
        {R"({"customer_id":7})", QStringLiteral("contact_name"), QStringLiteral("contact_name is required")},
        {R"({"contact_name":"X"})", QStringLiteral("customer_id"), QStringLiteral("customer_id is required")},
        {R"({"contact_name":"X","customer_id":999999})", QStringLiteral("customer_id"), QStringLiteral("customer_id does not exist")},
        {R"({"contact_name":"X","customer_id":"7"})", QStringLiteral("customer_id"), QStringLiteral("customer_id must be an integer")},
        {R"({"contact_name":"X","customer_id":7,"contact_type":9})", QStringLiteral("contact_type"), QStringLiteral("contact_type must be between 1 and 3")},
        {R"({"contact_name":"X","customer_id":7,"country_id":12,"state_id":12})", QStringLiteral("state_id"), QStringLiteral("state_id does not belong to country_id")},
        {R"({"contact_name":"X","customer_id":7,"country_id":4242})", QStringLiteral("country_id"), QStringLiteral("country_id does not exist")},
    };
    const int before = m_http.get(QStringLiteral("/crm/v1/master/contacts"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt();
    for (const Case &c : cases) {
        const HttpReply r = m_http.send("POST", QStringLiteral("/crm/v1/master/contacts"), c.body, m_sarah);
        QCOMPARE(r.status, 400);
        QCOMPARE(errorKeys(r), QStringList{c.key});
        QCOMPARE(errorMessage(r, c.key), c.message);
    }
    QCOMPARE(m_http.get(QStringLiteral("/crm/v1/master/contacts"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt(), before);
    // PUT replaces the whole record, so the name must be there
    const qint64 someContact = customerById(5).value(QStringLiteral("contacts")).toArray().at(0).toObject().value(QStringLiteral("contact_id")).toInteger();
    const HttpReply put = m_http.send("PUT", QStringLiteral("/crm/v1/master/contacts/%1").arg(someContact),
                                      R"({"customer_id":5,"phone":"1"})", m_sarah);
    QCOMPARE(put.status, 400);
    QCOMPARE(errorKeys(put), QStringList{QStringLiteral("contact_name")});
}

// ------------------------------------------------------------------ updates

void tst_ZeltServer::appFilesAndDownloads()
{
    const QString token = customerToken();
    const HttpReply list = m_http.get(QStringLiteral("/v1/app-files"), token);
    QCOMPARE(list.status, 200);
    const QJsonObject answer = list.json();
    QCOMPARE(answer.value(QStringLiteral("app_ver")).toString(), QStringLiteral("1.0.3"));
    const QJsonArray files = answer.value(QStringLiteral("files")).toArray();
    QCOMPARE(files.size(), 3);
    for (const QJsonValue &v : files) {
        const QJsonObject f = v.toObject();
        for (const char *member : {"file_id", "filename", "path", "app_version"})
            QVERIFY2(f.value(QLatin1String(member)).isString(), member);   // the updater reads them as strings
    }

    // a single file: one entry, named by the file, with the file's bytes
    const QJsonObject notes = files.at(0).toObject();
    const HttpReply one = m_http.get(QStringLiteral("/v1/download/") + notes.value(QStringLiteral("file_id")).toString(), token);
    QCOMPARE(one.status, 200);
    QCOMPARE(one.contentType, QByteArray("application/zip"));
    bool ok = false;
    const QMap<QString, QByteArray> entries = unzip(one.body, &ok);
    QVERIFY(ok);
    QCOMPARE(entries.keys(), QStringList{notes.value(QStringLiteral("filename")).toString()});
    QFile onDisk(QDir(m_files).filePath(QStringLiteral("release-notes.txt")));
    QVERIFY(onDisk.open(QIODevice::ReadOnly));
    QCOMPARE(entries.first(), onDisk.readAll());

    // a folder: its files, with their paths inside it; a change on disk is served at once
    QFile changed(QDir(m_files).filePath(QStringLiteral("templates/quotation.txt")));
    QVERIFY(changed.open(QIODevice::WriteOnly | QIODevice::Truncate));
    changed.write("Quotation template, edited\n");
    changed.close();
    const HttpReply folder = m_http.get(QStringLiteral("/v1/download/3"), token);
    QCOMPARE(folder.status, 200);
    const QMap<QString, QByteArray> folderEntries = unzip(folder.body, &ok);
    QVERIFY(ok);
    QCOMPARE(folderEntries.keys(), (QStringList{QStringLiteral("letters/welcome.txt"), QStringLiteral("quotation.txt")}));
    QCOMPARE(folderEntries.value(QStringLiteral("quotation.txt")), QByteArray("Quotation template, edited\n"));

    const HttpReply unknown = m_http.get(QStringLiteral("/v1/download/77"), token);
    QCOMPARE(unknown.status, 404);
    QVERIFY(!unknown.message().isEmpty());
    QCOMPARE(m_http.get(QStringLiteral("/v1/download/..%2F..%2Fetc%2Fpasswd"), token).status, 404);
    QCOMPARE(m_http.get(QStringLiteral("/v1/download/1"), m_sarah).status, 401);
}

// ------------------------------------------------------------------ hostile input

void tst_ZeltServer::badInputKeepsDataIntact()
{
    const QString customers = QStringLiteral("/crm/v1/master/customers");
    const QJsonObject snapshot = customerById(3);
    const int countBefore = m_http.get(customers + QStringLiteral("?status=0"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt();

    // Given bodies that are not what a write expects
    struct BadBody { const char *name; QByteArray body; int status; };
    QByteArray deep(5000, '[');
    QByteArray invalidUtf8 = R"({"partner_code":"U-1","partner_name":")";
    invalidUtf8 += "\xff\xfe\xc3\x28";
    invalidUtf8 += R"("})";
    const BadBody bodies[] = {
        {"malformed", R"({"partner_code":"X","partner_name":)", 400},
        {"truncated", R"({"partner_code":"X","partner_na)", 400},
        {"not an object", R"(["partner_code","X"])", 400},
        {"bare string", R"("hello")", 400},
        {"empty", "", 400},
        {"deep nesting", deep, 400},
        {"invalid utf-8", invalidUtf8, 400},
        {"wrong kinds", R"({"partner_code":["X"],"partner_name":{"a":1},"is_active":null})", 400},
        {"huge", QByteArray(2 * 1024 * 1024, 'x'), 413},
    };
    for (const BadBody &b : bodies) {
        const HttpReply r = m_http.send("POST", customers, b.body, m_sarah);
        QVERIFY2(r.status == b.status, b.name);
        QVERIFY2(!r.message().isEmpty(), b.name);
        QVERIFY2(r.contentType.startsWith("application/json"), b.name);
    }

    // unknown paths and methods
    for (const QString &path : {QStringLiteral("/"), QStringLiteral("/nope"), QStringLiteral("/crm/v1/master/customers/1/extra"),
                                QStringLiteral("/crm/v2/master/customers"), QStringLiteral("/%2e%2e/%2e%2e/etc/passwd")}) {
        const HttpReply r = m_http.get(path, m_sarah);
        QVERIFY2(r.status == 404, qPrintable(path));
        QVERIFY(!r.message().isEmpty());
    }
    const HttpReply wrongMethod = m_http.send("DELETE", customers + QStringLiteral("/3"), QByteArray(), m_sarah);
    QCOMPARE(wrongMethod.status, 405);
    QVERIFY(!wrongMethod.message().isEmpty());

    // text that looks like SQL is only ever data
    const QString injection = QStringLiteral("x'); DROP TABLE customers; --");
    const HttpReply search = m_http.get(customers + query({{"q", "' OR '1'='1"}, {"status", "0"}}), m_sarah);
    QCOMPARE(search.status, 200);
    QCOMPARE(search.pages().value(QStringLiteral("rec_count")).toInt(), 0);
    QCOMPARE(m_http.get(customers + query({{"order", "partner_name; DROP TABLE customers"}}), m_sarah).status, 400);
    QCOMPARE(m_http.get(customers + query({{"order", "(SELECT 1)"}}), m_sarah).status, 400);
    QCOMPARE(m_http.get(customers + query({{"page", "1; DROP TABLE customers"}}), m_sarah).status, 400);
    QCOMPARE(m_http.get(customers + query({{"status", "1 OR 1=1"}}), m_sarah).status, 400);
    QCOMPARE(m_http.get(customers + QStringLiteral("/3%20OR%201=1"), m_sarah).status, 404);
    const HttpReply stored = m_http.post(customers, QJsonObject{{QStringLiteral("partner_code"), QStringLiteral("T-INJ'1")},
                                                                {QStringLiteral("partner_name"), injection}},
                                         m_sarah);
    QCOMPARE(stored.status, 201);
    const qint64 storedId = stored.json().value(QStringLiteral("data")).toObject().value(QStringLiteral("partner_id")).toInteger();
    QCOMPARE(customerById(storedId).value(QStringLiteral("partner_name")).toString(), injection);

    // garbage on the wire: the server drops or refuses it and keeps serving
    const QByteArray garbage[] = {
        "GARBAGE\r\n\r\n",
        "BREW /crm/v1/master/customers HTTP/1.1\r\nHost: x\r\n\r\n",
        "POST /auth/v1/login HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999\r\n\r\n{\"user",
        QByteArray("GET /") + QByteArray(20000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n",
    };
    for (const QByteArray &bytes : garbage) {
        const QByteArray answer = rawExchange(m_server.baseUrl(), bytes);
        // an answer, when there is one, is a refusal
        if (answer.startsWith("HTTP/"))
            QVERIFY2(answer.mid(9, 1) == "4", answer.left(40).constData());
        QCOMPARE(m_http.get(QStringLiteral("/sys/v1/config"), m_sarah).status, 200);
    }

    // Then the data is as it was, plus the one row written on purpose
    QCOMPARE(customerById(3), snapshot);
    QCOMPARE(m_http.get(customers + QStringLiteral("?status=0"), m_sarah).pages().value(QStringLiteral("rec_count")).toInt(), countBefore + 1);
    {
        const QString connection = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(m_db);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            QVERIFY(db.open());
            QSqlQuery check(db);
            QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")));
            QVERIFY(check.next());
            QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(check.exec(QStringLiteral("SELECT COUNT(*) FROM customers")));
            QVERIFY(check.next());
            QCOMPARE(check.value(0).toInt(), countBefore + 1);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
}

void tst_ZeltServer::requestLogHasOneLinePerRequest()
{
    const QString marker = QStringLiteral("/sys/v1/config?config_id=log-marker-%1").arg(QDateTime::currentMSecsSinceEpoch());
    QCOMPARE(m_http.get(marker, m_sarah).status, 200);
    QCOMPARE(m_http.get(QStringLiteral("/log-marker-missing"), m_sarah).status, 404);
    QByteArray output;
    for (int i = 0; i < 20 && !output.contains("/log-marker-missing"); ++i)
        output = m_server.readOutput();
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    QStringList hits;
    for (const QString &line : lines) {
        if (line.contains(QStringLiteral("log-marker")))
            hits << line;
    }
    QCOMPARE(hits.size(), 2);
    QVERIFY2(hits.at(0).contains(QStringLiteral("\"GET ") + marker + QStringLiteral("\" 200 ")), qPrintable(hits.at(0)));
    QVERIFY2(hits.at(1).contains(QStringLiteral("\"GET /log-marker-missing\" 404 ")), qPrintable(hits.at(1)));
    // secrets never reach the log
    QVERIFY(!output.contains(m_sarah.toLatin1()));
    QVERIFY(!output.contains("Demo#2024"));
}

void tst_ZeltServer::restartKeepsDataAndResetStartsFresh()
{
    const QString dir = m_dir.filePath(QStringLiteral("restart"));
    QVERIFY(QDir().mkpath(dir));
    const QString db = QDir(dir).filePath(QStringLiteral("r.db"));
    const QStringList args{QStringLiteral("--db"), db, QStringLiteral("--quiet")};

    QJsonObject firstSeeded;
    {
        ServerProcess server;
        QVERIFY(server.start(args));
        Client c(server.baseUrl());
        const QString token = signIn(c, QStringLiteral("sarah@zelt.local"));
        firstSeeded = c.get(QStringLiteral("/crm/v1/master/customers/42"), token).json();
        // the demo data is the same on every fresh database
        QCOMPARE(firstSeeded, m_http.get(QStringLiteral("/crm/v1/master/customers/42"), m_sarah).json());
        QCOMPARE(c.post(QStringLiteral("/crm/v1/master/customers"), QJsonObject{{QStringLiteral("partner_code"), QStringLiteral("KEEP-1")}, {QStringLiteral("partner_name"), QStringLiteral("Kept Ltd")}}, token).status, 201);
        QCOMPARE(server.stop(), 0);
        // default update files folder: beside the database
        QVERIFY(QFile::exists(QDir(dir).filePath(QStringLiteral("zelt-files/release-notes.txt"))));
    }
    auto keptCount = [](Client &c, const QString &token) {
        return c.get(QStringLiteral("/crm/v1/master/customers?q=KEEP-1"), token).pages().value(QStringLiteral("rec_count")).toInt();
    };
    {
        ServerProcess server;
        QVERIFY(server.start(args));
        Client c(server.baseUrl());
        QCOMPARE(keptCount(c, signIn(c, QStringLiteral("sarah@zelt.local"))), 1);
        QCOMPARE(server.stop(), 0);
    }
    {
        ServerProcess server;
        QVERIFY(server.start(args + QStringList{QStringLiteral("--reset")}));
        Client c(server.baseUrl());
        const QString token = signIn(c, QStringLiteral("sarah@zelt.local"));
        QCOMPARE(keptCount(c, token), 0);
        QCOMPARE(c.get(QStringLiteral("/crm/v1/master/customers/42"), token).json(), firstSeeded);
        QCOMPARE(server.stop(), 0);
    }
}

void tst_ZeltServer::newerSchemaIsRefused()
{
    const QString db = m_dir.filePath(QStringLiteral("future.db"));
    {
        ServerProcess server;
        QVERIFY(server.start({QStringLiteral("--db"), db, QStringLiteral("--quiet")}));
        QCOMPARE(server.stop(), 0);
    }
    const QString connection = QUuid::createUuid().toString();
    {
        QSqlDatabase sql = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        sql.setDatabaseName(db);
        QVERIFY(sql.open());
        QSqlQuery q(sql);
        QVERIFY(q.exec(QStringLiteral("SELECT version FROM schema_version ORDER BY version")));
        QList<int> versions;
        while (q.next())
            versions << q.value(0).toInt();
        QCOMPARE(versions, (QList<int>{1, 2}));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO schema_version (version, applied_at) VALUES (99, 'later')")));
        sql.close();
    }
    QSqlDatabase::removeDatabase(connection);

    ServerProcess server;
    QByteArray err;
    QCOMPARE(server.runToEnd({QStringLiteral("--db"), db, QStringLiteral("--quiet")}, &err), 1);
    QVERIFY2(err.contains("newer"), err.constData());
    // bad options are refused before anything is opened
    QCOMPARE(server.runToEnd({QStringLiteral("--token-ttl"), QStringLiteral("soon")}, &err), 2);
    QCOMPARE(server.runToEnd({QStringLiteral("--port"), QStringLiteral("70000")}, &err), 2);
}

QTEST_GUILESS_MAIN(tst_ZeltServer)
#include "tst_zeltserver.moc"
