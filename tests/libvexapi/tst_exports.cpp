// The exports of libvexapi.so over the simulated instrument.
#include "simbus.h"
#include "vexapi.h"

#include <QtTest>

#include <vector>

namespace {

std::vector<int> PrevErrors(VEX_HANDLE h)
{
    VexErrorHistory history{};
    if (VexGetPrevError(h, &history) != 0)
        return {-1};
    return std::vector<int>(history.codes, history.codes + history.count);
}

VexSimStoredSeed Seed(int n)
{
    VexSimStoredSeed seed{};
    for (int i = 0; i < 421; ++i)
        seed.spectrum[i] = static_cast<float>(n) + 0.001f * static_cast<float>(i);
    const int date[6] = {2020 + n, n, n, n, n, n};
    std::copy(date, date + 6, seed.date);
    seed.value1 = n;
    return seed;
}

}  // namespace

using IntList = std::vector<int>;

class TestExports : public QObject {
    Q_OBJECT

    std::vector<VEX_HANDLE> open_;

    VEX_HANDLE Open()
    {
        VEX_HANDLE h = nullptr;
        if (VexOpenDevice(&h) != 0)
            return nullptr;
        open_.push_back(h);
        return h;
    }

    VEX_HANDLE OpenRemote(int stored = 0)
    {
        for (int n = 1; n <= stored; ++n) {
            const VexSimStoredSeed seed = Seed(n);
            VexSim_AddStoredMeasurement(0, &seed);
        }
        VEX_HANDLE h = Open();
        if (h && VexSetRemoteMode(h, 1) != 0)
            return nullptr;
        VexSim_ClearLog();
        return h;
    }

private slots:
    void init() { simbus::OneInstrument(); }
    void cleanup()
    {
        for (VEX_HANDLE h : open_)
            VexCloseDevice(h);
        open_.clear();
    }

    void nullAndStaleHandles()
    {
        VEX_HANDLE closed = Open();
        QVERIFY(closed);
        QCOMPARE(VexCloseDevice(closed), 0);
        int never = 0;
        for (VEX_HANDLE h : {static_cast<VEX_HANDLE>(nullptr), closed, static_cast<VEX_HANDLE>(&never)}) {
            int value = 0;
            VexDeviceID id;
            VexStoredMeasurement records[1];
            VexErrorHistory history;
            VexMemoryRequest request{0, 0, 56, &id};
            QCOMPARE(VexSetRemoteMode(h, 1), 10);
            QCOMPARE(VexGetRemoteMode(h, &value), 10);
            QCOMPARE(VexGetDeviceID(h, &id), 10);
            QCOMPARE(VexGetDeviceStoredDataNum(h, &value), 10);
            QCOMPARE(VexGetDeviceStoredData(h, records, 8, 1), 10);
            QCOMPARE(VexGetPrevError(h, &history), 10);
            QCOMPARE(DevIOCtrl(h, 0xF0, &request), 14);
        }
        QCOMPARE(VexCloseDevice(nullptr), 10);
        QCOMPARE(VexCloseDevice(closed), 0);  // unknown handles are left alone
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void openDevice()
    {
        QCOMPARE(VexOpenDevice(nullptr), 10);
        VEX_HANDLE h = Open();
        QVERIFY(h);
        VEX_HANDLE again = nullptr;
        QCOMPARE(VexOpenDevice(&again), 13);
        QCOMPARE(VexSim_OpenHandleCount(), 2);
        int mode = -1;
        QCOMPARE(VexGetRemoteMode(h, &mode), 0);
        QCOMPARE(mode, 0);

        cleanup();
        VexSim_Reset();
        QCOMPARE(VexOpenDevice(&again), 13);
    }

    void closeDevice()
    {
        VEX_HANDLE h = OpenRemote();
        QVERIFY(h);
        QCOMPARE(VexCloseDevice(h), 0);
        open_.clear();
        QVERIFY(!simbus::RemoteOffSent());
        QCOMPARE(simbus::Log(VEXSIM_LOG_CLOSE).size(), std::size_t(2));
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        int mode = 0;
        QCOMPARE(VexGetRemoteMode(h, &mode), 10);
    }

    void sdkVersion()
    {
        int v[12];
        std::fill(v, v + 12, -1);
        QCOMPARE(VexGetSDKVersion(v), 0);
        QCOMPARE(IntList(v, v + 12), (IntList{1, 21, 0, 1, 20, 0, 1, 20, 0, 1, 21, 1}));
        QCOMPARE(VexGetSDKVersion(nullptr), 101);
    }

    void prevError()
    {
        VEX_HANDLE h = Open();
        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_NO_REPLY);
        QCOMPARE(VexSetRemoteMode(h, 1), 305);
        VexErrorHistory history{};
        QCOMPARE(VexGetPrevError(h, &history), 0);
        QCOMPARE(history.count, 3);
        QCOMPARE(IntList(history.codes, history.codes + 3), (IntList{1503, 4411, 6202}));
        for (int i = 3; i < 10; ++i)
            QCOMPARE(history.codes[i], 9);
        QCOMPARE(PrevErrors(h), PrevErrors(h));
        QCOMPARE(VexGetPrevError(h, nullptr), 10);
        // The next export starts a new history.
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
        QCOMPARE(PrevErrors(h), IntList{});
    }

    void storedDataChecks()
    {
        VEX_HANDLE h = OpenRemote();
        QVERIFY(h);
        int count = -1;
        QCOMPARE(VexGetDeviceStoredDataNum(h, &count), 0);
        QCOMPARE(count, 0);
        std::vector<VexStoredMeasurement> records(4);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 100), 5809);

        for (int n = 1; n <= 3; ++n) {
            const VexSimStoredSeed seed = Seed(n);
            VexSim_AddStoredMeasurement(0, &seed);
        }
        std::memset(records.data(), 0xEE, records.size() * sizeof(VexStoredMeasurement));
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 2), 5804);
        const auto* bytes = reinterpret_cast<const unsigned char*>(records.data());
        QVERIFY(std::all_of(bytes, bytes + records.size() * sizeof(VexStoredMeasurement),
                            [](unsigned char b) { return b == 0xEE; }));
        QCOMPARE(VexGetDeviceStoredData(h, nullptr, 8, 3), 5801);
        QCOMPARE(VexGetDeviceStoredDataNum(h, nullptr), 5901);

        // A kind the colour bridge refuses stops there, with the bridge's code beneath.
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 10, 3), 5808);
        QCOMPARE(PrevErrors(h), IntList{30103});
        QCOMPARE(records[0].date.year, 2021);
        QCOMPARE(records[0].value1, 1);

        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 5802);
        QCOMPARE(VexGetDeviceStoredDataNum(h, &count), 5902);
    }

    void twoDownloadsReadEachRecordOnce()
    {
        VEX_HANDLE h = OpenRemote(3);
        QVERIFY(h);
        std::vector<VexStoredMeasurement> records(3);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 0);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdStoredRecord, lumet::kRecordRead), 3);
        QCOMPARE(records[2].values[0], 3.0f);
    }

    void recordReadFails()
    {
        VEX_HANDLE h = OpenRemote(3);
        // Count, count again for the load, record 1, then record 2 fails.
        simbus::AddFault(0, lumet::kCmdStoredRecord, VEXSIM_FAULT_NO_REPLY, 0, 3);
        std::vector<VexStoredMeasurement> records(3);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 5805);
        QCOMPARE(PrevErrors(h), (IntList{1503, 6801, 9001}));
        // The next call finds the cache short and reloads.
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 0);
    }

    void moreThanAHundredRecords()
    {
        VEX_HANDLE h = OpenRemote(3);
        VexSim_OverrideStoredCount(0, 101);
        int count = 0;
        QCOMPARE(VexGetDeviceStoredDataNum(h, &count), 5903);
        QCOMPARE(PrevErrors(h), IntList{9101});
        std::vector<VexStoredMeasurement> records(101);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 101), 5803);
        QCOMPARE(simbus::CountRequests(lumet::kCmdStoredRecord, lumet::kRecordRead), 0);
    }

    void ioCtrl()
    {
        VEX_HANDLE h = OpenRemote();
        for (int code = 0; code <= 0xFF; ++code)
            QCOMPARE(DevIOCtrl(h, code, nullptr), 14);
        int data[16] = {};
        for (int code : {0x00, 0xCC, 0xEF, 0xFF, 0xA0, 0x1F0})
            QCOMPARE(DevIOCtrl(h, code, data), 15);
        QCOMPARE(VexSim_LogCount(), 0);
    }

    void ioCtrlReadsFactoryBlock()
    {
        // A host-order pattern, put on the instrument big-endian where the block holds 32-bit values.
        std::vector<unsigned char> host(33872);
        for (std::size_t i = 0; i < host.size(); ++i)
            host[i] = static_cast<unsigned char>(i * 13 + 5);
        std::vector<unsigned char> wire = host;
        for (std::size_t off = 4; off < wire.size(); off += 4) {
            if (off >= 32 && off < 44)
                continue;
            std::reverse(wire.begin() + static_cast<long>(off), wire.begin() + static_cast<long>(off) + 4);
        }
        VexSim_SetBlock(0, 1, wire.data(), static_cast<int>(wire.size()));
        VEX_HANDLE h = OpenRemote();
        std::vector<unsigned char> read(33872);
        VexMemoryRequest request{0, 1, 33872, read.data()};
        QCOMPARE(DevIOCtrl(h, 0xF0, &request), 0);
        QVERIFY(read == host);
        QCOMPARE(simbus::Log(VEXSIM_LOG_REPLY).at(0).entry.reports, 565);
    }
};

QTEST_GUILESS_MAIN(TestExports)
#include "tst_exports.moc"
