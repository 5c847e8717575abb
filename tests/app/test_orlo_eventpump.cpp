// The device-event pump: events from any thread handled on the pump's thread, one at a time, in arrival order.

#include "app/orloeventpump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

struct Handled {
    int code, value;
    QThread *thread;
};

// Runs the event loop until done() holds or ten seconds have gone.
template <typename Done>
bool ProcessUntil(Done done)
{
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

} // namespace

class TestOrloEventPump : public QObject
{
    Q_OBJECT

private slots:
    void otherThreadsReachThePumpThreadInOrder()
    {
        constexpr int kPerThread = 300;
        QVector<Handled> handled;
        COrloEventPump pump(
            [&](int code, int value, int) { handled.push_back({code, value, QThread::currentThread()}); });
        auto post = [&pump](int source) {
            for (int i = 1; i <= kPerThread; ++i)
                pump.Post(i, source, 0);
        };
        std::thread a(post, 1), b(post, 2);
        a.join();
        b.join();
        QVERIFY(ProcessUntil([&] { return handled.size() == 2 * kPerThread; }));
        int last[3] = {0, 0, 0};
        for (const Handled &h : handled) {
            QCOMPARE(h.thread, QThread::currentThread());
            QCOMPARE(h.code, last[h.value] + 1); // each thread's events in the order it posted them
            last[h.value] = h.code;
        }
        QCOMPARE(pump.QueuedCount(), 0);
        QCOMPARE(pump.LastEvent(), handled.last().code);
    }

    // A handler that waits in a nested loop (a message box) holds back what arrives meanwhile.
    void nestedLoopHoldsBackLaterEvents()
    {
        QList<int> handled;
        QList<int> seenInside;
        int lastInside = -1;
        std::unique_ptr<COrloEventPump> pump;
        pump = std::make_unique<COrloEventPump>([&](int code, int, int) {
            handled << code;
            if (code != 1)
                return;
            pump->Post(2, 0, 0);
            std::thread([&] { pump->Post(3, 0, 0); }).join();
            QVERIFY(ProcessUntil([&] { return pump->QueuedCount() == 2; }));
            seenInside = handled;
            lastInside = pump->LastEvent();
        });
        pump->Post(1, 0, 0);
        QCOMPARE(seenInside, QList<int>({1}));
        QCOMPARE(lastInside, 0); // the event in hand is not yet the last one handled
        QCOMPARE(handled, QList<int>({1, 2, 3}));
        QCOMPARE(pump->LastEvent(), 3);
        QCOMPARE(pump->QueuedCount(), 0);
    }

    // The owner may go while an event is handled: nothing more runs, queued events go with the pump.
    void destroyedWhileHandling()
    {
        QList<int> handled;
        std::unique_ptr<COrloEventPump> pump;
        pump = std::make_unique<COrloEventPump>([&](int code, int, int) {
            handled << code;
            pump->Post(2, 0, 0);
            std::thread([&] { pump->Post(3, 0, 0); }).join();
            pump.reset();
        });
        pump->Post(1, 0, 0);
        QVERIFY(!pump);
        QCoreApplication::processEvents();
        QCOMPARE(handled, QList<int>({1}));
    }
};

QTEST_GUILESS_MAIN(TestOrloEventPump)
#include "test_orlo_eventpump.moc"
