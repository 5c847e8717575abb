// Device objects: remote mode and what switching it on loads, identity, block access, error history,
// block converters and the rank table.
#include "libzucom.h"
#include "simbus.h"
#include "tarsel_device.h"
#include "vexapi_codes.h"

#include <QtTest>

#include <memory>

using namespace vexapi;

namespace {

std::vector<int> History(const cTarselDevice& d)
{
    VexErrorHistory h{};
    d.GetPrevError(&h);
    return std::vector<int>(h.codes, h.codes + h.count);
}

VexSimRankSeed Square(int number, float x0, float y0)
{
    VexSimRankSeed seed{};
    seed.type = 0;
    std::snprintf(seed.name, sizeof seed.name, "RANK-%02d", number);
    seed.vertexCount = 4;
    seed.flag = number % 2;
    const float xy[8] = {x0, y0, x0 + 0.05f, y0, x0 + 0.05f, y0 + 0.05f, x0, y0 + 0.05f};
    std::copy(xy, xy + 8, seed.xy);
    return seed;
}

VexRankData RankEntry(std::initializer_list<float> xy, const char* name = "entry")
{
    VexRankData r{};
    r.type = 0;
    std::snprintf(r.name, sizeof r.name, "%s", name);
    r.vertexCount = static_cast<int>(xy.size() / 2);
    std::copy(xy.begin(), xy.end(), r.xy);
    r.flag = 1;
    return r;
}

void NoPause(int) {}

}  // namespace

using IntList = std::vector<int>;
Q_DECLARE_METATYPE(IntList)

class TestDevice : public QObject {
    Q_OBJECT

    std::unique_ptr<cTarselDevice> device_;

    void Open(const VexSimInstrument* config = nullptr)
    {
        if (device_ && device_->IsOpened())
            device_->Close();
        simbus::OneInstrument(config);
        device_ = std::make_unique<cTarselDevice>(&TheLibZUCom());
        QVERIFY(device_->Open());
        VexSim_ClearLog();
    }

    int SwitchOn()
    {
        int on = 1;
        device_->ClearErrors();
        return device_->RemoteMode(0, &on);
    }

private slots:
    void initTestCase() { SetPauseFunction(NoPause); }
    void init() { Open(); }
    void cleanup()
    {
        if (device_ && device_->IsOpened())
            device_->Close();
        device_.reset();
    }

    void blocksLieAtTheStart()
    {
        QCOMPARE(static_cast<void*>(device_.get()), static_cast<void*>(&device_->blocks));
        QCOMPARE(static_cast<void*>(device_->blocks.factory), static_cast<void*>(device_->blocks.info + 56));
        QCOMPARE(static_cast<void*>(device_->blocks.calibration), static_cast<void*>(device_->blocks.factory + 33872));
    }

    void switchOnLoads()
    {
        QCOMPARE(SwitchOn(), 0);
        QCOMPARE(VexSim_RemoteMode(0), 1);
        QVERIFY(device_->IsRemote());
        QCOMPARE(device_->RangeSetting(), 2);
        QCOMPARE(simbus::CountRequests(lumet::kCmdMemoryBlock), 3);
        QCOMPARE(simbus::CountRequests(lumet::kCmdRankRecord, lumet::kRecordQuery), 20);
        int off = 0;
        QCOMPARE(device_->RemoteMode(0, &off), 0);
        QCOMPARE(VexSim_RemoteMode(0), 0);
        int mode = -1;
        QCOMPARE(device_->RemoteMode(1, &mode), 0);
        QCOMPARE(mode, 0);
        QCOMPARE(device_->RemoteMode(1, nullptr), RemoteCode::kNullMode);
    }

    void blockReadFailsAtSwitchOn_data()
    {
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("code");
        QTest::newRow("info") << 0 << FactoryBlocksCode::kInfoFailed;
        QTest::newRow("factory") << 1 << FactoryBlocksCode::kFactoryFailed;
        QTest::newRow("calibration") << 2 << FactoryBlocksCode::kCalibrationFailed;
    }
    void blockReadFailsAtSwitchOn()
    {
        QFETCH(int, skip);
        QFETCH(int, code);
        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_NO_REPLY, 0, skip);
        QCOMPARE(SwitchOn(), RemoteCode::kBlocksFailed);
        QVERIFY(simbus::RemoteOffSent());
        QCOMPARE(VexSim_RemoteMode(0), 0);
        QCOMPARE(History(*device_), (IntList{ExchangeBytesCode::kReceiveFailed, MemoryCode::kReadFailed, code}));
    }

    void rankLoadFailsAtSwitchOn()
    {
        simbus::AddFault(0, lumet::kCmdRankRecord, VEXSIM_FAULT_STATUS, 2, 4);
        QCOMPARE(SwitchOn(), RemoteCode::kRankFailed);
        QVERIFY(simbus::RemoteOffSent());
        QCOMPARE(History(*device_), (IntList{StatusCode::kStatus2, RankLoadCode::kQueryExchange, RankLoadCode::kQueryFailed}));

        VexSim_OverrideRankPresence(0, 1, 2);
        VexSim_ClearLog();
        QCOMPARE(SwitchOn(), RemoteCode::kRankFailed);
        QVERIFY(simbus::RemoteOffSent());
        QCOMPARE(History(*device_), (IntList{0, RankLoadCode::kQueryFailed}));
    }

    void settingAndCalibrationFailuresKeepRemoteOn()
    {
        simbus::AddFault(0, lumet::kCmdRange, VEXSIM_FAULT_NO_REPLY);
        QCOMPARE(SwitchOn(), RemoteCode::kRangeFailed);
        QCOMPARE(VexSim_RemoteMode(0), 1);
        QVERIFY(!simbus::RemoteOffSent());
        QCOMPARE(History(*device_), (IntList{ExchangeCode::kReceiveFailed, MeasSettingCode::kRangeReadFailed}));

        VexSim_SetSetting(0, lumet::kCmdSelectedUserCalibration, 3);
        QCOMPARE(SwitchOn(), RemoteCode::kUserCalibrationFailed);
        QCOMPARE(VexSim_RemoteMode(0), 1);
        QCOMPARE(History(*device_), (IntList{UserCalibrationCode::kAbsent, UserCalibrationCode::kLoadReadFailed}));
        QCOMPARE(device_->UserCalibrationNumber(), 0);
        QCOMPARE(device_->UserCalibration().values[200], 1.0f);
    }

    void userCalibrationLoadedAndDropped()
    {
        VexSimSpectralSeed seed{};
        for (int i = 0; i < 421; ++i)
            seed.values[i] = 0.5f + 0.001f * static_cast<float>(i);
        const int date[6] = {2024, 2, 29, 12, 30, 45};
        std::copy(date, date + 6, seed.date);
        std::memcpy(seed.name, "CAL-TWO", 7);
        VexSim_SetSpectralRecord(0, lumet::kCmdUserCalibrationRecord, 2, &seed);
        VexSim_SetSetting(0, lumet::kCmdSelectedUserCalibration, 2);
        QCOMPARE(SwitchOn(), 0);
        QCOMPARE(device_->UserCalibrationNumber(), 2);
        const VexUserCalibrationData& held = device_->UserCalibration();
        QCOMPARE(held.values[0], seed.values[0]);
        QCOMPARE(held.values[420], seed.values[420]);
        QCOMPARE(held.date.year, 2024);
        QCOMPARE(held.date.second, 45);
        QCOMPARE(QByteArray(held.name, 7), QByteArray("CAL-TWO"));

        // A failed reload must not leave the old factors under the new number.
        simbus::AddFault(0, lumet::kCmdUserCalibrationRecord, VEXSIM_FAULT_NO_REPLY, 0, 1);
        QCOMPARE(SwitchOn(), RemoteCode::kUserCalibrationFailed);
        QCOMPARE(device_->UserCalibrationNumber(), 0);
        QCOMPARE(device_->UserCalibration().values[0], 1.0f);
        QCOMPARE(History(*device_), (IntList{ExchangeBytesCode::kReceiveFailed, UserCalibrationCode::kReadExchange,
                                             UserCalibrationCode::kReadFailed, UserCalibrationCode::kLoadReadFailed}));
    }

    void switchOffFailsAndBadMode()
    {
        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_NO_REPLY);
        simbus::AddFault(0, lumet::kCmdRemoteMode, VEXSIM_FAULT_STATUS, 2, 1);
        QCOMPARE(SwitchOn(), RemoteCode::kSwitchOffFailed);
        QCOMPARE(History(*device_).back(), StatusCode::kStatus2);

        VexSim_ClearLog();
        int two = 2;
        QCOMPARE(device_->RemoteMode(0, &two), RemoteCode::kBadMode);
        QCOMPARE(VexSim_LogCount(), 0);

        simbus::AddFault(0, lumet::kCmdRemoteMode, VEXSIM_FAULT_STATUS, 3);
        int one = 1;
        QCOMPARE(device_->RemoteMode(0, &one), RemoteCode::kSetFailed);
        simbus::AddFault(0, lumet::kCmdRemoteMode, VEXSIM_FAULT_STATUS, 3);
        int mode = 0;
        QCOMPARE(device_->RemoteMode(1, &mode), RemoteCode::kGetFailed);
    }

    void deviceId()
    {
        VexDeviceID id;
        QCOMPARE(device_->GetDeviceID(nullptr), DeviceIdCode::kNullRecord);
        QCOMPARE(device_->GetDeviceID(&id), DeviceIdCode::kNotRemote);
        QCOMPARE(SwitchOn(), 0);
        std::memset(&id, 0xFF, sizeof id);
        QCOMPARE(device_->GetDeviceID(&id), 0);
        QCOMPARE(id.serialNumber, 12345678);
        QCOMPARE(id.mainFirmware[0], 1);
        QCOMPARE(id.mainFirmware[1], 12);
        QCOMPARE(id.mainFirmware[2], 5);
        QCOMPARE(id.secondFirmware[2], 1);
        QCOMPARE(id.deviceType, 100);
        int atByte84 = 0;
        std::memcpy(&atByte84, reinterpret_cast<const char*>(&id) + 84, 4);
        QCOMPARE(atByte84, 100);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(id.model), 4), QByteArray("LM01"));
        QCOMPARE(int(id.modelByte), 1);
        QCOMPARE(int(id.reserved0[0]), 0);
        QCOMPARE(id.infoValue16, 0x0102u);
        QCOMPARE(id.infoValue18, 3u);
        QCOMPARE(id.infoValue19, 4u);
        QCOMPARE(id.reserved1[0], 0);
        QCOMPARE(id.reserved2[2], 0);

        device_->ClearErrors();
        simbus::AddFault(0, lumet::kCmdFirmwareVersion, VEXSIM_FAULT_STATUS, 2);
        QCOMPARE(device_->GetDeviceID(&id), 0);
        QCOMPARE(id.mainFirmware[1], 0);
        QCOMPARE(id.thirdFirmware[0], 0);
        QCOMPARE(id.serialNumber, 12345678);
        QCOMPARE(History(*device_), (IntList{StatusCode::kStatus2, FirmwareCode::kExchangeFailed}));
    }

    void deviceIdWithoutMagic()
    {
        VexSimInstrument config;
        VexSim_DefaultInstrument(&config);
        std::uint8_t info[56] = {};
        info[8] = 0x12;
        std::memcpy(info + 20, "ZAPX", 4);
        config.infoBlock = info;
        Open(&config);
        QCOMPARE(SwitchOn(), 0);
        VexDeviceID id;
        std::memset(&id, 0xAB, sizeof id);
        QCOMPARE(device_->GetDeviceID(&id), DeviceIdCode::kNoMagic);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&id);
        QVERIFY(std::all_of(bytes, bytes + sizeof id, [](unsigned char b) { return b == 0; }));
    }

    void bcd()
    {
        QCOMPARE(BcdToDecimal(0x1234), 1234);
        QCOMPARE(BcdToDecimal(0x5678), 5678);
        QCOMPARE(BcdToDecimal(0x12), 12);
    }

    void firmwareAtLeast_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("build");
        QTest::addColumn<bool>("atLeast");
        QTest::newRow("1.12.0") << 1 << 12 << 0 << true;
        QTest::newRow("1.13.0") << 1 << 13 << 0 << false;
        QTest::newRow("1.12.6") << 1 << 12 << 6 << false;
        QTest::newRow("1.12.5") << 1 << 12 << 5 << true;
        QTest::newRow("0.99.99") << 0 << 99 << 99 << true;
    }
    void firmwareAtLeast()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, build);
        QTEST(device_->FirmwareAtLeast(major, minor, build), "atLeast");
    }

    void blockConverters()
    {
        std::vector<std::uint8_t> in(33872);
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<std::uint8_t>(i * 31 + 7);
        std::vector<std::uint8_t> out(in.size());

        ConvertDeviceInfoBlock(in.data(), out.data());
        for (std::size_t i = 0; i < 56; ++i) {
            const std::size_t from = i == 16 ? 17 : (i == 17 ? 16 : i);
            QCOMPARE(out[i], in[from]);
        }

        // Unchanged: bytes 0-3 and 32-43; reversed by 4 bytes: 4-31, 44-33871.
        ConvertFactoryBlock(in.data(), out.data());
        for (std::size_t i = 0; i < in.size(); ++i) {
            const bool kept = i < 4 || (i >= 32 && i < 44);
            const std::size_t from = kept ? i : (i - i % 4) + (3 - i % 4);
            if (out[i] != in[from])
                QFAIL(qPrintable(QString("factory byte %1").arg(i)));
        }

        ConvertCalibrationBlock(in.data(), out.data());
        for (std::size_t i = 0; i < 3092; ++i) {
            if (out[i] != in[(i - i % 4) + (3 - i % 4)])
                QFAIL(qPrintable(QString("calibration byte %1").arg(i)));
        }
    }

    void errorHistory()
    {
        VexErrorHistory h{};
        device_->GetPrevError(&h);
        QCOMPARE(h.count, 0);
        for (int code : h.codes)
            QCOMPARE(code, 9);
        for (int i = 1; i <= 11; ++i)
            device_->PushError(1000 + i);
        device_->GetPrevError(&h);
        QCOMPARE(h.count, 10);
        QCOMPARE(h.codes[0], 1001);
        QCOMPARE(h.codes[9], 1010);
        device_->GetPrevError(&h);  // reading does not clear
        QCOMPARE(h.count, 10);
        device_->ClearErrors();
        device_->GetPrevError(&h);
        QCOMPARE(h.count, 0);
        QCOMPARE(h.codes[0], 9);
        QCOMPARE(device_->ResultFlag(), 0);
    }

    void blockAccess_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("nullBuffer");
        QTest::addColumn<int>("code");
        QTest::addColumn<IntList>("pushed");
        QTest::addColumn<int>("requests");
        QTest::newRow("write block 3") << 1 << 3 << 3092 << false << MemoryCode::kNoWriteConverter << IntList{} << 0;
        QTest::newRow("read block 2") << 0 << 2 << 100 << false << MemoryCode::kNoReadConverter << IntList{} << 1;
        QTest::newRow("operation 5") << 5 << 0 << 56 << false << MemoryCode::kBadOperation << IntList{} << 0;
        QTest::newRow("operation 3 block 4") << 3 << 4 << 0 << false << MemoryCode::kBadCommandRequest
                                             << IntList{MemoryCheckCode::kBadBlock} << 0;
        QTest::newRow("operation 4 block 0") << 4 << 0 << 0 << true << 0 << IntList{} << 1;
        QTest::newRow("write block 7") << 1 << 7 << 56 << false << MemoryCode::kBadWriteRequest
                                       << IntList{MemoryCheckCode::kBadBlock} << 0;
        QTest::newRow("read block 1, 33873 bytes") << 0 << 1 << 33873 << false << MemoryCode::kBadReadRequest
                                                   << IntList{MemoryCheckCode::kBadLength} << 0;
        QTest::newRow("read block 1, 100 bytes") << 2 << 1 << 100 << false << MemoryCode::kBadReadRequest
                                                 << IntList{MemoryCheckCode::kBadLength} << 0;
        QTest::newRow("write block 0, 57 bytes") << 1 << 0 << 57 << false << MemoryCode::kBadWriteRequest
                                                 << IntList{MemoryCheckCode::kBadLength} << 0;
        QTest::newRow("read block 2, 0 bytes") << 0 << 2 << 0 << false << MemoryCode::kBadReadRequest
                                               << IntList{MemoryCheckCode::kBadLength} << 0;
        QTest::newRow("null buffer") << 0 << 0 << 56 << true << MemoryCode::kNullRecord << IntList{} << 0;
    }
    void blockAccess()
    {
        QFETCH(int, operation);
        QFETCH(int, block);
        QFETCH(int, length);
        QFETCH(bool, nullBuffer);
        QFETCH(IntList, pushed);
        QFETCH(int, requests);
        std::vector<std::uint8_t> buffer(40000);
        VexMemoryRequest request{operation, block, length, nullBuffer ? nullptr : buffer.data()};
        device_->ClearErrors();
        QTEST(device_->AccessFactoryMemory(&request), "code");
        QCOMPARE(History(*device_), pushed);
        QCOMPARE(simbus::CountRequests(lumet::kCmdMemoryBlock), requests);
        QCOMPARE(int(simbus::Log(VEXSIM_LOG_WRITE).size()), requests);
        QCOMPARE(device_->AccessFactoryMemory(nullptr), MemoryCode::kNullRecord);
    }

    void calibrationBlockRead()
    {
        std::vector<std::uint8_t> wire(3092);
        for (std::size_t i = 0; i < wire.size(); ++i)
            wire[i] = static_cast<std::uint8_t>(i);
        VexSim_SetBlock(0, 3, wire.data(), 3092);
        std::vector<std::uint8_t> host(3092);
        VexMemoryRequest request{0, 3, 3092, host.data()};
        QCOMPARE(device_->AccessFactoryMemory(&request), 0);
        QCOMPARE(simbus::Log(VEXSIM_LOG_REPLY).at(0).entry.reports, 52);
        for (std::size_t v = 0; v < 773; ++v) {
            std::uint32_t value = 0;
            std::memcpy(&value, &host[4 * v], 4);
            const std::uint32_t expected = (std::uint32_t(wire[4 * v]) << 24) | (std::uint32_t(wire[4 * v + 1]) << 16) |
                                           (std::uint32_t(wire[4 * v + 2]) << 8) | wire[4 * v + 3];
            QCOMPARE(value, expected);
        }
    }

    void infoBlockWrite()
    {
        std::uint8_t host[56];
        for (int i = 0; i < 56; ++i)
            host[i] = static_cast<std::uint8_t>(100 + i);
        VexMemoryRequest request{1, 0, 56, host};
        QCOMPARE(device_->AccessFactoryMemory(&request), 0);
        std::uint8_t wire[56];
        QCOMPARE(VexSim_GetBlock(0, 0, wire, 56), 56);
        QCOMPARE(int(wire[16]), 117);
        QCOMPARE(int(wire[17]), 116);
        QCOMPARE(int(wire[20]), 120);

        VexSim_ClearLog();
        device_->ClearErrors();
        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_STATUS, 2);
        QCOMPARE(device_->AccessFactoryMemory(&request), MemoryCode::kWriteStatus);
        QCOMPARE(History(*device_), IntList{StatusCode::kStatus2});
        const auto writes = simbus::Log(VEXSIM_LOG_WRITE);
        QCOMPARE(writes.size(), std::size_t(1));
        QCOMPARE(writes[0].entry.reports, 4);  // a single report
        QCOMPARE(simbus::Log(VEXSIM_LOG_REQUEST).at(0).entry.payloadLength, 60);
    }

    void rankTableLoad()
    {
        for (int n = 1; n <= 20; ++n) {
            if (n == 3 || n == 7 || n == 20)
                continue;
            const VexSimRankSeed seed = Square(n, 0.2f + 0.01f * n, 0.3f);
            VexSim_SetRankRecord(0, n, &seed);
        }
        QCOMPARE(SwitchOn(), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdRankRecord, lumet::kRecordRead), 17);
        const cRank& table = device_->RankTable();
        for (int n = 1; n <= 20; ++n) {
            VexRankData entry{};
            const int code = table.Get(&entry, n - 1);
            if (n == 3 || n == 7 || n == 20) {
                QCOMPARE(code, RankCode::kEmpty);
                continue;
            }
            QCOMPARE(code, 0);
            const VexSimRankSeed seed = Square(n, 0.2f + 0.01f * n, 0.3f);
            QCOMPARE(QByteArray(entry.name), QByteArray(seed.name));
            QCOMPARE(entry.vertexCount, 4);
            QCOMPARE(entry.flag, n % 2);
            QCOMPARE(entry.xy[2], seed.xy[2]);
            QCOMPARE(entry.xy[7], seed.xy[7]);
        }

        VexSimRankSeed bowTie = Square(5, 0.3f, 0.3f);
        const float crossing[8] = {0.1f, 0.1f, 0.5f, 0.5f, 0.5f, 0.1f, 0.1f, 0.5f};
        std::copy(crossing, crossing + 8, bowTie.xy);
        VexSim_SetRankRecord(0, 5, &bowTie);
        QCOMPARE(SwitchOn(), RemoteCode::kRankFailed);
        const IntList history = History(*device_);
        QCOMPARE(history.size(), std::size_t(2));
        QVERIFY(history[0] == 20111 || history[0] == 20112);
        QCOMPARE(history[1], RankLoadCode::kSetFailed);
    }

    void rankSet_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<int>("code");
        QTest::newRow("triangle") << 0 << 0;
        QTest::newRow("44-byte name without terminator") << 1 << RankCode::kLongName;
        QTest::newRow("40-character name") << 2 << 0;
        QTest::newRow("41-character name") << 3 << RankCode::kLongName;
        QTest::newRow("bow-tie") << 4 << RankCode::kNewEdgeCrosses;
        QTest::newRow("vertex at x = 1") << 5 << RankCode::kBadPolygon;
        QTest::newRow("flag 2") << 6 << RankCode::kBadFlag;
        QTest::newRow("index 20") << 7 << RankCode::kSetIndex;
    }
    void rankSet()
    {
        QFETCH(int, what);
        cRank rank;
        VexRankData before = RankEntry({0.2f, 0.2f, 0.4f, 0.2f, 0.3f, 0.4f}, "kept");
        QCOMPARE(rank.Set(&before, 0), 0);
        VexRankData r = RankEntry({0.2f, 0.2f, 0.4f, 0.2f, 0.3f, 0.4f});
        int index = 0;
        switch (what) {
        case 1: std::memset(r.name, 'N', sizeof r.name); break;
        case 2: std::memset(r.name, 0, sizeof r.name); std::memset(r.name, 'N', 40); break;
        case 3: std::memset(r.name, 0, sizeof r.name); std::memset(r.name, 'N', 41); break;
        case 4: r = RankEntry({0.1f, 0.1f, 0.5f, 0.5f, 0.5f, 0.1f, 0.1f, 0.5f}); break;
        case 5: r.xy[2] = 1.0f; break;
        case 6: r.flag = 2; break;
        case 7: index = 20; break;
        default: break;
        }
        QTEST(rank.Set(&r, index), "code");
        QCOMPARE(rank.Set(nullptr, 0), RankCode::kNull);
        VexRankData now{};
        QCOMPARE(rank.Get(&now, 0), 0);
        QFETCH(int, code);
        QCOMPARE(QByteArray(now.name), code == 0 && index == 0 ? QByteArray(r.name, int(strnlen(r.name, 44)))
                                                               : QByteArray("kept"));
        QCOMPARE(rank.Delete(-2), 0);
        QCOMPARE(rank.Get(&now, 0), RankCode::kEmpty);
        QCOMPARE(rank.Delete(20), RankCode::kDeleteIndex);
        QCOMPARE(rank.Get(&now, -1), RankCode::kGetIndex);
    }

    void storedCache()
    {
        cMeasDataMng cache;
        VexStoredMeasurement record{};
        for (int i = 0; i < 100; ++i) {
            record.value1 = i;
            QCOMPARE(cache.AddData(&record), 0);
        }
        QCOMPARE(cache.AddData(&record), MeasDataCode::kFull);
        QCOMPARE(cache.GetCount(), 100);
        QCOMPARE(cache.GetData(&record, 100), MeasDataCode::kIndex);
        QCOMPARE(cache.GetData(&record, -1), MeasDataCode::kIndex);
        QCOMPARE(cache.DeleteData(2), 0);
        QCOMPARE(cache.GetData(&record, 2), 0);
        QCOMPARE(record.value1, 3);
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
