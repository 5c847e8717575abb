// The simulated chart scanner's feeder folder: taken by the worker thread in program mode, and look by look by
// hand for what it takes and what it refuses.

#include "OrloSim.h"
#include "orlotestutil.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <filesystem>
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

bool WriteFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

// A white page as PNG bytes, its resolution in dots per metre.
QByteArray Png(int width, int height, int dotsPerMetre)
{
    QImage page(width, height, QImage::Format_Grayscale8);
    page.fill(255);
    page.setDotsPerMeterX(dotsPerMetre);
    page.setDotsPerMeterY(dotsPerMetre);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "PNG");
    return bytes;
}

// Connected, events delivered by hand and the feeder looked into by hand.
void ConnectManual(const QTemporaryDir& feeder)
{
    qputenv("ORLO_SIM_FEEDER", feeder.path().toLocal8Bit());
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    Orlo_RegisterDeviceEventHandler(&Handler);
    OrloDeviceEntry rec{};
    rec.kind = 1;
    Orlo_Connect(&rec, "feeder test");
    OrloSim_DeliverPending();
    g_events3 = 0;
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

    void takesCompletePagesOnly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ConnectManual(dir);
        const QByteArray png = Png(100, 100, 2953);
        QVERIFY(WriteFile(dir.filePath(".hidden.png"), png));
        QVERIFY(WriteFile(dir.filePath("late.png.part"), png));
        QVERIFY(WriteFile(dir.filePath("page.png"), png.left(png.size() / 2)));
        const auto takeOut = [] { // the sheet leaves the scanner again
            Orlo_StopMeasurement(1);
            OrloSim_DeliverPending();
        };

        QCOMPARE(OrloSim_PollFeeder(), 0); // first seen
        QVERIFY(WriteFile(dir.filePath("page.png"), png.mid(png.size() / 2), QIODevice::Append));
        QCOMPARE(OrloSim_PollFeeder(), 0); // grew
        const std::filesystem::path page = QFile::encodeName(dir.filePath("page.png")).toStdString();
        std::filesystem::last_write_time(page, std::filesystem::last_write_time(page) - std::chrono::seconds(5));
        QCOMPARE(OrloSim_PollFeeder(), 0); // same size, written again
        QCOMPARE(OrloSim_PollFeeder(), 1);
        QVERIFY(QFile::exists(dir.filePath("taken/page.png")));
        OrloSim_DeliverPending();
        QCOMPARE(g_events3.load(), 1);
        QCOMPARE(Orlo_StartCapture(), 0);
        OrloCaptureText text{};
        int32_t w = 0, h = 0;
        QCOMPARE(Orlo_GetCaptureResult(&w, &h, nullptr, &text, nullptr), 0);
        QVERIFY(w > 0 && h > 0);
        QVERIFY(QByteArray(text.record, 4) != "FAIL");
        takeOut();

        // Written under a ".part" name and renamed: complete from the first look under the page name on.
        QVERIFY(QFile::rename(dir.filePath("late.png.part"), dir.filePath("late.png")));
        QCOMPARE(OrloSim_PollFeeder(), 0);
        QCOMPARE(OrloSim_PollFeeder(), 1);
        QVERIFY(QFile::exists(dir.filePath("taken/late.png")));
        takeOut();

        for (int i = 0; i < 3; ++i)
            QCOMPARE(OrloSim_PollFeeder(), 0);
        QVERIFY(QFile::exists(dir.filePath(".hidden.png")));
        QCOMPARE(g_events3.load(), 2);
        OrloSim_Reset();
    }

    void refusesWhatIsNoSheet_data()
    {
        // Sizes at 300 dpi; the largest sheet is 329 x 1500 mm, either way round. 25.4 dpi makes a pixel 1 mm.
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("width"); // of a taken sheet; 0: refused
        QTest::addColumn<int>("height");
        QTest::newRow("separated, 300 dpi") << "a.tif" << HandMadeTiff(40, 30, true, 300, 1, 40 * 30 * 5) << 40 << 30;
        QTest::newRow("separated, the longest sheet") << "a.tif" << HandMadeTiff(10, 1500, true, 254, 10, 10 * 1500 * 5)
                                                      << 118 << 17717;
        QTest::newRow("separated, the longest sheet lying") << "a.tif" << HandMadeTiff(1500, 10, true, 254, 10, 1500 * 10 * 5)
                                                            << 17717 << 118;
        QTest::newRow("separated, the widest sheet") << "a.tif" << HandMadeTiff(329, 329, true, 254, 10, 329 * 329 * 5)
                                                     << 3886 << 3886;
        QTest::newRow("separated, 1 mm too long") << "a.tif" << HandMadeTiff(10, 1501, true, 254, 10, 10 * 1501 * 5) << 0 << 0;
        QTest::newRow("separated, 1 mm too wide") << "a.tif" << HandMadeTiff(330, 330, true, 254, 10, 330 * 330 * 5) << 0 << 0;
        QTest::newRow("separated, a tiny resolution") << "a.tif" << HandMadeTiff(40, 30, true, 1, 100, 40 * 30 * 5) << 0 << 0;
        QTest::newRow("separated, claims 99,999 x 99,999") << "a.tif" << HandMadeTiff(99999, 99999, true, 300, 1, 0) << 0 << 0;
        QTest::newRow("separated, claims 99,999 x 99,999 in 2.5 mm") << "a.tif" << HandMadeTiff(99999, 99999, true, 1000000, 1, 0)
                                                                      << 0 << 0;
        QTest::newRow("separated, strip cut short") << "a.tif" << HandMadeTiff(40, 30, true, 300, 1, 40 * 15 * 5) << 0 << 0;
        QTest::newRow("RGB, claims 99,999 x 99,999") << "a.tif" << HandMadeTiff(99999, 99999, false, 300, 1, 0) << 0 << 0;
        QTest::newRow("PNG, 400 x 400 at 72 dpi") << "a.png" << Png(400, 400, 2835) << 1666 << 1666;
        QTest::newRow("PNG, 4000 x 4000 at 72 dpi") << "a.png" << Png(4000, 4000, 2835) << 0 << 0;
        QTest::newRow("not an image") << "a.png" << QByteArray("not a page") << 0 << 0;
    }

    void refusesWhatIsNoSheet()
    {
        // What is no sheet goes the way of an unreadable one: a capture that fails, the file out of the feeder
        // into rejected/ (beside an earlier file of that name, which stays).
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, width);
        QFETCH(int, height);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath("rejected"));
        QVERIFY(WriteFile(dir.filePath("rejected/" + name), "earlier"));
        QVERIFY(WriteFile(dir.filePath(name), bytes));
        ConnectManual(dir);
        QCOMPARE(OrloSim_PollFeeder(), 0);
        QCOMPARE(OrloSim_PollFeeder(), 1);
        QVERIFY(!QFile::exists(dir.filePath(name)));
        const QFileInfo info(name);
        QCOMPARE(QFile::exists(dir.filePath("taken/" + name)), width > 0);
        QCOMPARE(QFile::exists(dir.filePath("rejected/" + info.completeBaseName() + "-1." + info.suffix())), width == 0);
        QFile earlier(dir.filePath("rejected/" + name));
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));

        OrloSim_DeliverPending();
        QCOMPARE(g_events3.load(), 1);
        QCOMPARE(Orlo_StartCapture(), 0);
        OrloCaptureText text{};
        int32_t w = -1, h = -1;
        QCOMPARE(Orlo_GetCaptureResult(&w, &h, nullptr, &text, nullptr), 0);
        QCOMPARE(w, width);
        QCOMPARE(h, height);
        QCOMPARE(QByteArray(text.record, 4) == "FAIL", width == 0);
        OrloSim_Reset();
    }
};

QTEST_GUILESS_MAIN(TestOrloFeeder)
#include "tst_orlosdk_feeder.moc"
