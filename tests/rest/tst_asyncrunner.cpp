#include "AsyncRunner.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <QtTest>

#include <atomic>
#include <stdexcept>

namespace Async = Platform::Async;

class tst_AsyncRunner : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void successOnMainThreadTaskOffIt();
    void returnsBeforeTheTaskEnds();
    void failuresReachErrorOnce_data();
    void failuresReachErrorOnce();
    void moveOnlyResult();
    void voidTask();
    void contextDestroyedSilencesHandlers();
    void contextInAnotherThreadGetsTheDelivery();
    void blockingTasksDoNotStarveGlobalPool();
    void throwingHandlerStaysContained();
};

void tst_AsyncRunner::successOnMainThreadTaskOffIt()
{
    QThread *taskThread = nullptr;
    QThread *handlerThread = nullptr;
    int value = 0;
    int errors = 0;
    Async::run(
        [&] {
            taskThread = QThread::currentThread();
            return 41 + 1;
        },
        [&](int v) {
            value = v;
            handlerThread = QThread::currentThread();
        },
        [&](const Platform::Error &) { ++errors; });
    QTRY_COMPARE(value, 42);
    QVERIFY(taskThread != nullptr);
    QVERIFY(taskThread != QCoreApplication::instance()->thread());
    QCOMPARE(handlerThread, QCoreApplication::instance()->thread());
    QCOMPARE(errors, 0);
}

void tst_AsyncRunner::returnsBeforeTheTaskEnds()
{
    QSemaphore release;
    std::atomic<bool> taskDone{ false };
    bool delivered = false;
    Async::run(
        [&] {
            release.acquire();
            taskDone = true;
            return QStringLiteral("done");
        },
        [&](QString s) { delivered = s == QStringLiteral("done"); }, nullptr);
    // the task is still blocked here: run() did not wait for it
    QVERIFY(!taskDone);
    QVERIFY(!delivered);
    release.release();
    QTRY_VERIFY(delivered);
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
    int successes = 0;
    int errors = 0;
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
    QCOMPARE(errors, 1);
    QCOMPARE(successes, 0);
    QCOMPARE(got, message);
    QCOMPARE(isConversion, keepsType);
    QCOMPARE(handlerThread, QCoreApplication::instance()->thread());
}

void tst_AsyncRunner::moveOnlyResult()
{
    std::unique_ptr<QString> received;
    Async::run<std::unique_ptr<QString>>([] { return std::make_unique<QString>(QStringLiteral("rows")); },
                                         [&](std::unique_ptr<QString> p) { received = std::move(p); }, nullptr);
    QTRY_VERIFY(received != nullptr);
    QCOMPARE(*received, QStringLiteral("rows"));
}

void tst_AsyncRunner::voidTask()
{
    std::atomic<int> ran{ 0 };
    int successes = 0;
    int errors = 0;
    Async::run([&] { ++ran; }, [&] { ++successes; }, [&](const Platform::Error &) { ++errors; });
    QTRY_COMPARE(successes, 1);
    QCOMPARE(ran.load(), 1);

    QString message;
    Async::run(std::function<void()>([] { throw std::runtime_error("disk full"); }), std::function<void()>([&] { ++successes; }),
               [&](const Platform::Error &e) {
                   ++errors;
                   message = e.message();
               });
    QTRY_COMPARE(errors, 1);
    QCOMPARE(message, QStringLiteral("disk full"));
    QCOMPARE(successes, 1);
}

void tst_AsyncRunner::contextDestroyedSilencesHandlers()
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
    // without an event loop the second outcome is queued, not delivered; the
    // first arrives after the context is gone
    QThread::msleep(50);
    context.reset();
    release.release();
    QTest::qWait(150);
    QCOMPARE(calls, 0);

    // a living context gets its delivery
    QObject alive;
    Async::run([] { return 5; }, [&](int v) { calls += v; }, nullptr, &alive);
    QTRY_COMPARE(calls, 5);
    QVERIFY(alive.children().isEmpty());
}

void tst_AsyncRunner::contextInAnotherThreadGetsTheDelivery()
{
    QThread other;
    other.start();
    QObject context;
    context.moveToThread(&other);
    std::atomic<QThread *> handlerThread{ nullptr };
    Async::run([] { return 1; }, [&](int) { handlerThread = QThread::currentThread(); }, nullptr, &context);
    QTRY_COMPARE(handlerThread.load(), &other);
    other.quit();
    other.wait();
}

void tst_AsyncRunner::blockingTasksDoNotStarveGlobalPool()
{
    const int blockers = QThreadPool::globalInstance()->maxThreadCount() + 2;
    QSemaphore release;
    std::atomic<int> finished{ 0 };
    for (int i = 0; i < blockers; ++i) {
        Async::run(
            [&] {
                release.acquire();
                return 0;
            },
            [&](int) { ++finished; }, nullptr);
    }
    // work on the global pool still runs while every runner worker blocks
    QFuture<int> f = QtConcurrent::run([] { return 3; });
    QTRY_VERIFY_WITH_TIMEOUT(f.isFinished(), 3000);
    QCOMPARE(f.result(), 3);
    release.release(blockers);
    QTRY_COMPARE(finished.load(), blockers);
}

void tst_AsyncRunner::throwingHandlerStaysContained()
{
    int errors = 0;
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("handler.*boom")));
    Async::run([] { return 1; }, [](int) { throw std::runtime_error("boom"); },
               [&](const Platform::Error &) { ++errors; });
    QTest::qWait(100);
    // the failing success handler is not followed by the error handler
    QCOMPARE(errors, 0);
}

QTEST_GUILESS_MAIN(tst_AsyncRunner)

#include "tst_asyncrunner.moc"
