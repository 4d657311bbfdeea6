#include "HttpClient.h"
#include "TestHttpServer.h"

#include <QThread>
#include <QtTest>
#include <stdexcept>

using Platform::HttpClient;
using Platform::HttpResponse;

// The network stops once per application: each case here ends it, so each
// runs in an application of its own (one per executable run).
class tst_NetworkShutdown : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sinkThrowingAfterShutdownLeavesQuietly();
};

namespace {

// Stops the network while it still holds pieces of a finished transfer,
// then gives up on them.
class ShuttingSink : public Platform::HttpBodySink
{
public:
    bool accept(const HttpResponse &) override
    {
        // the whole answer arrives and its transfer ends meanwhile
        QThread::msleep(300);
        return true;
    }
    void append(const char *, qsizetype) override
    {
        Platform::shutdownNetwork();
        throw std::runtime_error("reader gave up");
    }
};

} // namespace

// A reader that gives up after the network stopped must not reach into the
// network thread's objects, which are gone by then.
void tst_NetworkShutdown::sinkThrowingAfterShutdownLeavesQuietly()
{
    TestHttpServer server([](const RecordedRequest &) { return Reply::text(QByteArray(200 * 1024, 'x')); });
    auto c = HttpClient::create();
    c->setBaseURL(server.url()).setConnectTimeout(3000).setReadTimeout(3000);
    ShuttingSink sink;
    bool gaveUp = false;
    try {
        c->get(QStringLiteral("/rows"), sink);
    } catch (const std::runtime_error &) {
        gaveUp = true;
    }
    QVERIFY(gaveUp);
    // the network stays closed for this application
    QVERIFY_THROWS_EXCEPTION(Platform::TransportError, c->get(QStringLiteral("/after")));
}

QTEST_GUILESS_MAIN(tst_NetworkShutdown)

#include "tst_networkshutdown.moc"
