#include "AsyncRunner.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <stdexcept>

namespace Async = Platform::Async;

class tst_AsyncRunner : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void taskOffMainThreadSuccessOnIt();
    void failuresReachErrorOnce_data();
    void failuresReachErrorOnce();
    void goneContextSilencesHandlers();
};

void tst_AsyncRunner::taskOffMainThreadSuccessOnIt()
{
    QSemaphore release;
    std::atomic<QThread *> taskThread { nullptr };
    QThread *handlerThread = nullptr;
    int value = 0, errors = 0;
    bool queuedEventRan = false;
    QMetaObject::invokeMethod(
        this, [&] { queuedEventRan = true; }, Qt::QueuedConnection);
    Async::run(
        [&] {
            taskThread = QThread::currentThread();
            release.acquire();
            return 42;
        },
        [&](int v) {
            value = v;
            handlerThread = QThread::currentThread();
        },
        [&](const Platform::Error &) { ++errors; });
    // run() returned at once, without spinning an event loop of its own
    QVERIFY(!queuedEventRan);
    QCOMPARE(value, 0);
    release.release();
    QTRY_COMPARE(value, 42);
    QVERIFY(queuedEventRan);
    QVERIFY(taskThread.load() && taskThread.load() != QCoreApplication::instance()->thread());
    QCOMPARE(handlerThread, QCoreApplication::instance()->thread());
    QCOMPARE(errors, 0);
}

void tst_AsyncRunner::failuresReachErrorOnce_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("keepsType");
    QTest::newRow("platform error") << 0 << "not a number: abc" << true;
    QTest::newRow("std exception") << 1 << "out of range" << false;
    QTest::newRow("anything else") << 2 << "Unknown error" << false;
}

void tst_AsyncRunner::failuresReachErrorOnce()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(bool, keepsType);
    int successes = 0, errors = 0;
    QString got;
    bool isConversion = false;
    QThread *handlerThread = nullptr;
    Async::run(
        [kind]() -> int {
            if (kind == 0)
                throw Platform::ConversionError(QStringLiteral("not a number: abc"));
            if (kind == 1)
                throw std::out_of_range("out of range");
            throw 7;
        },
        [&](int) { ++successes; },
        [&](const Platform::Error &e) {
            ++errors;
            got = e.message();
            isConversion = dynamic_cast<const Platform::ConversionError *>(&e) != nullptr;
            handlerThread = QThread::currentThread();
        });
    QTRY_COMPARE(errors, 1);
    QTest::qWait(50);
    QCOMPARE(errors + successes, 1);
    QCOMPARE(got, message);
    QCOMPARE(isConversion, keepsType);
    QCOMPARE(handlerThread, QCoreApplication::instance()->thread());
}

// A screen closed while its task runs must not have its handlers called.
void tst_AsyncRunner::goneContextSilencesHandlers()
{
    QSemaphore release;
    int calls = 0;
    auto context = std::make_unique<QObject>();
    Async::run(
        [&] {
            release.acquire();
            return 1;
        },
        [&](int) { ++calls; }, [&](const Platform::Error &) { ++calls; }, context.get());
    Async::run([]() -> int { throw std::runtime_error("x"); }, [&](int) { ++calls; },
               [&](const Platform::Error &) { ++calls; }, context.get());
    QThread::msleep(50); // the failure's outcome is queued by now, not delivered
    context.reset();
    release.release();
    QTest::qWait(150);
    QCOMPARE(calls, 0);

    QObject alive;
    Async::run([] { return 5; }, [&](int v) { calls += v; }, nullptr, &alive);
    QTRY_COMPARE(calls, 5);
}

QTEST_GUILESS_MAIN(tst_AsyncRunner)

#include "tst_asyncrunner.moc"
