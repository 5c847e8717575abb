// The simulated chart scanner in program mode: its worker thread takes page files from the feeder folder.

#include "OrloSim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> g_events3{0};
std::atomic<int> g_callbacks{0};
std::atomic<bool> g_otherThread{false};
std::thread::id g_testThread;

void Handler(int code, int, void*, int)
{
    ++g_callbacks;
    if (code == 3) {
        g_otherThread = std::this_thread::get_id() != g_testThread;
        ++g_events3;
    }
}

// Bounded wait on a condition, re-checked as the worker runs; no fixed sleep decides the outcome.
template <typename F>
bool WaitFor(F condition, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

class TestOrloFeeder : public QObject
{
    Q_OBJECT

private slots:
    void feederSheetTakenByWorker()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        qputenv("ORLO_SIM_FEEDER", dir.path().toLocal8Bit());
        qunsetenv("ORLO_SIM_DELIVERY");
        OrloSim_Reset();
        g_testThread = std::this_thread::get_id();
        g_events3 = 0;
        g_callbacks = 0;

        QImage page(620, 877, QImage::Format_RGB32); // A4 at 75 dpi
        page.fill(Qt::white);
        page.setDotsPerMeterX(2953);
        page.setDotsPerMeterY(2953);
        for (int i = 0; i < 4; ++i)
            for (int y = 100; y < 130; ++y)
                for (int x = 100 + 40 * i; x < 130 + 40 * i; ++x)
                    page.setPixel(x, y, qRgb(0, 60 * i, 255));
        const QString file = dir.filePath("page1.png");
        QVERIFY(page.save(file));

        QCOMPARE(Orlo_RegisterDeviceEventHandler(&Handler), 0);
        // Disconnected: the sheet stays in the feeder.
        QVERIFY(QFile::exists(file));
        QCOMPARE(g_events3.load(), 0);

        OrloDeviceEntry rec{};
        rec.kind = 1;
        QCOMPARE(Orlo_Connect(&rec, "feeder test"), 0);
        QVERIFY(WaitFor([] { return g_events3.load() == 1; }));
        QVERIFY(g_otherThread.load());
        QVERIFY(!QFile::exists(file));
        QVERIFY(QFile::exists(dir.filePath("taken/page1.png")));

        // The sheet was read at its own resolution and handed over at 300 dpi.
        QCOMPARE(Orlo_StartCapture(), 0);
        int32_t w = 0, h = 0, b = 0;
        QCOMPARE(Orlo_GetCaptureResult(&w, &h, &b, nullptr, nullptr), 0);
        QVERIFY(std::abs(w - 2480) <= 2 && std::abs(h - 3508) <= 2);

        // After unregistering returns, no callback runs any more: the worker has stopped, events stay queued.
        QVERIFY(WaitFor([] { return OrloSim_PendingEvents() == 0; }));
        OrloSim_RaiseEvent(0, 0, 0);
        QCOMPARE(Orlo_RegisterDeviceEventHandler(nullptr), 0);
        const int seen = g_callbacks.load();
        OrloSim_RaiseEvent(0, 0, 0);
        QVERIFY(OrloSim_PendingEvents() >= 1);
        QCOMPARE(g_callbacks.load(), seen);
        QCOMPARE(Orlo_Disconnect(), 0);
        OrloSim_Reset();
    }
};

QTEST_GUILESS_MAIN(TestOrloFeeder)
#include "tst_orlosdk_feeder.moc"
