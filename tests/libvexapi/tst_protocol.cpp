// Report framing, response collection, the exchange primitives and the transport wrapper.
#include "libzucom.h"
#include "simbus.h"
#include "tarsel_device.h"
#include "vexapi_codes.h"

#include <QtTest>

#include <memory>

using namespace vexapi;

namespace {

std::vector<int> g_pauses;  // log size at each pause

void RecordPause(int ms)
{
    QCOMPARE(ms, 1);
    g_pauses.push_back(VexSim_LogCount());
}

void QueueReport(int kind, int sequence, int status = 1)
{
    unsigned char r[65] = {};
    r[1] = static_cast<unsigned char>(status);
    r[2] = static_cast<unsigned char>(kind);
    r[3] = static_cast<unsigned char>(sequence >> 8);
    r[4] = static_cast<unsigned char>(sequence);
    VexSim_QueueCommandReport(0, r);
}

std::vector<std::uint8_t> Counting(int n)
{
    std::vector<std::uint8_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 1);
    return v;
}

CmdPacket BlockRead(int block, int length)
{
    CmdPacket p(lumet::kCmdMemoryBlock, 4, 0);
    const std::uint8_t payload[8] = {0, static_cast<std::uint8_t>(block), 0, 0, 0, 0,
                                     static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    p.SetPayload(payload, sizeof payload);
    return p;
}

}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT

    std::unique_ptr<cTarselDevice> device_;

private slots:
    void init()
    {
        device_.reset();
        simbus::OneInstrument();
        device_ = std::make_unique<cTarselDevice>(&TheLibZUCom());
        QVERIFY(device_->Open());
        VexSim_ClearLog();
        g_pauses.clear();
        SetPauseFunction(RecordPause);
    }
    void cleanup()
    {
        SetPauseFunction(nullptr);
        if (device_ && device_->IsOpened())
            device_->Close();
        device_.reset();
    }

    void sendCommandData_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("kinds");
        QTest::addColumn<int>("lastBytes");
        QTest::newRow("60 bytes") << 60 << QList<int>{4} << 60;
        QTest::newRow("61 bytes") << 61 << QList<int>{1, 3} << 1;
        QList<int> kinds{1};
        for (int i = 0; i < 27; ++i)
            kinds << 2;
        kinds << 3;
        QTest::newRow("1704 bytes") << 1704 << kinds << 24;
    }
    void sendCommandData()
    {
        QFETCH(int, length);
        QFETCH(QList<int>, kinds);
        QFETCH(int, lastBytes);
        const std::vector<std::uint8_t> data = Counting(length);
        QVERIFY(SendCommandData(0x77, data.data(), data.size(), *device_));

        std::vector<int> writeAt;
        const auto log = simbus::Log();
        QList<int> seen;
        std::vector<std::uint8_t> joined;
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].entry.event != VEXSIM_LOG_WRITE)
                continue;
            writeAt.push_back(static_cast<int>(i));
            seen << log[i].entry.reports;
            QCOMPARE(log[i].entry.status, seen.size() - 1);  // sequence number
            joined.insert(joined.end(), log[i].payload.begin(), log[i].payload.end());
        }
        QCOMPARE(seen, kinds);
        QVERIFY(std::equal(data.begin(), data.end(), joined.begin()));
        // Past the data the last report is zero.
        QVERIFY(std::all_of(joined.begin() + length, joined.end(), [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(length - 60 * (kinds.size() - 1), lastBytes);
        if (kinds.size() == 1) {
            QVERIFY(g_pauses.empty());
        } else {
            // One pause right before every report, the first included.
            QCOMPARE(g_pauses.size(), writeAt.size());
            for (std::size_t i = 0; i < writeAt.size(); ++i)
                QCOMPARE(g_pauses[i], writeAt[i]);
        }
        // The instrument took it as one request.
        const auto requests = simbus::Log(VEXSIM_LOG_REQUEST);
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0].entry.reports, kinds.size());
    }

    void firstWriteFails()
    {
        simbus::AddFault(0, 0x77, VEXSIM_FAULT_WRITE);
        const std::vector<std::uint8_t> data = Counting(1704);
        QVERIFY(!SendCommandData(0x77, data.data(), data.size(), *device_));
        QVERIFY(simbus::Log(VEXSIM_LOG_WRITE).empty());
        QCOMPARE(g_pauses.size(), std::size_t(1));
        QVERIFY(!SendCommandData(0x77, nullptr, 10, *device_));
    }

    void receive_data()
    {
        QTest::addColumn<QList<int>>("kinds");
        QTest::addColumn<QList<int>>("sequences");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("single") << QList<int>{4} << QList<int>{0} << true;
        QTest::newRow("1-2-2-3") << QList<int>{1, 2, 2, 3} << QList<int>{0, 1, 2, 3} << true;
        QTest::newRow("first kind 0") << QList<int>{0} << QList<int>{0} << false;
        QTest::newRow("first kind 5") << QList<int>{5, 3} << QList<int>{0, 1} << false;
        QTest::newRow("cut short") << QList<int>{1, 2} << QList<int>{0, 1} << false;
        // Each report must carry its place in the sequence.
        QTest::newRow("1-2-2-3, wrong sequence numbers") << QList<int>{1, 2, 2, 3} << QList<int>{7, 7, 0, 2} << false;
        QTest::newRow("single numbered 1") << QList<int>{4} << QList<int>{1} << false;
        QTest::newRow("middle report repeated") << QList<int>{1, 2, 2, 2, 3} << QList<int>{0, 1, 1, 2, 3} << false;
        QTest::newRow("middle report skipped") << QList<int>{1, 2, 3} << QList<int>{0, 2, 3} << false;
        QTest::newRow("out of order") << QList<int>{1, 2, 2, 3} << QList<int>{0, 2, 1, 3} << false;
        QTest::newRow("first report again") << QList<int>{1, 1, 2, 3} << QList<int>{0, 0, 1, 2} << false;
        QTest::newRow("a single report inside") << QList<int>{1, 4, 3} << QList<int>{0, 1, 2} << false;
    }
    void receive()
    {
        QFETCH(QList<int>, kinds);
        QFETCH(QList<int>, sequences);
        QFETCH(bool, accepted);
        for (int i = 0; i < kinds.size(); ++i)
            QueueReport(kinds[i], sequences[i]);
        ResponseList list;
        QCOMPARE(ReceiveResponses(&list, *device_), accepted);
        if (accepted)
            QCOMPARE(int(list.size()), kinds.size());
    }

    void receiveIsBounded()
    {
        simbus::AddFault(0, 0x77, VEXSIM_FAULT_ENDLESS, 566);
        CmdPacket command(0x77, 4, 0);
        QCOMPARE(device_->Exchange(command, nullptr), ExchangeCode::kReceiveFailed);
        // The next exchange's flush drops what is left.
        CmdPacket query(lumet::kCmdRemoteMode, 4, 0);
        ResPacket response;
        QCOMPARE(device_->Exchange(query, &response), 0);
    }

    void exchangeBytes()
    {
        // 56 bytes: one report is enough, surplus reports are ignored.
        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_SURPLUS, 3);
        std::vector<std::uint8_t> buffer(3096);
        QCOMPARE(device_->ExchangeBytes(BlockRead(0, 56), buffer.data(), 56), 0);
        QCOMPARE(int(buffer[0]), 0);
        QCOMPARE(std::string(reinterpret_cast<char*>(&buffer[24]), 4), std::string("ZAPH"));

        VexSim_ClearLog();
        QCOMPARE(device_->ExchangeBytes(BlockRead(3, 3092), buffer.data(), 3096), 0);
        QCOMPARE(simbus::Log(VEXSIM_LOG_REPLY).at(0).entry.reports, 52);

        CmdPacket query(lumet::kCmdRemoteMode, 4, 0);
        QCOMPARE(device_->ExchangeBytes(query, buffer.data(), 61), ExchangeBytesCode::kShort);

        device_->ClearErrors();
        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_STATUS, 2, 0, 5);
        QCOMPARE(device_->ExchangeBytes(BlockRead(3, 3092), buffer.data(), 3096), ExchangeBytesCode::kErrorStatus);
        VexErrorHistory history{};
        device_->GetPrevError(&history);
        QCOMPARE(history.count, 1);
        QCOMPARE(history.codes[0], StatusCode::kStatus2);
    }

    // A repeated or missing report of a reply fails the exchange as a failed receive; a reply of another
    // length than asked for fails as one of the wrong length.
    void exchangeBytesSequence_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("report");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("code");
        QTest::newRow("whole reply") << 0 << 0 << 3096 << 0;
        QTest::newRow("first report repeated") << int(VEXSIM_FAULT_REPEAT) << 0 << 3096 << 1503;
        QTest::newRow("middle report repeated") << int(VEXSIM_FAULT_REPEAT) << 20 << 3096 << 1503;
        QTest::newRow("first report dropped") << int(VEXSIM_FAULT_DROP) << 0 << 3096 << 1503;
        QTest::newRow("middle report dropped") << int(VEXSIM_FAULT_DROP) << 20 << 3096 << 1503;
        QTest::newRow("last report dropped") << int(VEXSIM_FAULT_DROP) << 51 << 3096 << 1503;
        // The sequence is whole; the copy after it is left for the next exchange's flush.
        QTest::newRow("last report repeated") << int(VEXSIM_FAULT_REPEAT) << 51 << 3096 << 0;
        QTest::newRow("one report more than asked for") << 0 << 0 << 3036 << 1504;
        QTest::newRow("one report less than asked for") << 0 << 0 << 3156 << 1504;
    }
    void exchangeBytesSequence()
    {
        QFETCH(int, fault);
        QFETCH(int, report);
        QFETCH(int, length);
        if (fault)
            simbus::AddFault(0, lumet::kCmdMemoryBlock, fault, 0, 0, report);
        std::vector<std::uint8_t> buffer(3200);
        QTEST(device_->ExchangeBytes(BlockRead(3, 3092), buffer.data(), length), "code");
        // Nothing of the broken reply reaches the next exchange.
        QCOMPARE(device_->ExchangeBytes(BlockRead(3, 3092), buffer.data(), 3096), 0);
        QCOMPARE(int(buffer[1]), 3);
    }

    void exchangeMulti()
    {
        ResponseList list;
        QCOMPARE(device_->ExchangeMulti(BlockRead(3, 3092), &list), 0);
        QCOMPARE(list.size(), std::size_t(52));
        std::vector<std::uint8_t> joined(3096);
        QVERIFY(JoinResponsePayloads(&list, joined.data(), joined.size()));
        QCOMPARE(int(joined[1]), 3);
        QVERIFY(!JoinResponsePayloads(nullptr, joined.data(), 10));

        simbus::AddFault(0, lumet::kCmdMemoryBlock, VEXSIM_FAULT_STATUS, 3, 0, 9);
        QCOMPARE(device_->ExchangeMulti(BlockRead(3, 3092), &list), ExchangeMultiCode::kErrorStatus);
    }

    void statusMap_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("code");
        const int rows[][2] = {{1, 0}, {17, 0}, {2, 2901}, {3, 2902}, {4, 2903}, {6, 2904}, {15, 2905},
                               {0, 2906}, {5, 2906}, {99, 2906}};
        for (const auto& r : rows)
            QTest::addRow("status %d", r[0]) << r[0] << r[1];
    }
    void statusMap()
    {
        QFETCH(int, status);
        QTEST(cTarselDevice::StatusToError(status), "code");
        // The same status coming from the instrument.
        simbus::AddFault(0, lumet::kCmdRemoteMode, VEXSIM_FAULT_STATUS, status);
        CmdPacket query(lumet::kCmdRemoteMode, 4, 0);
        ResPacket response;
        QTEST(device_->Exchange(query, &response), "code");
    }

    void transportMap_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("status");
        const int rows[][2] = {{0, 0}, {7, 1}, {1, 2}, {6, 3}, {9, 4}, {2, 6}, {3, 7}, {4, 8}, {8, 255}, {-1, 255}};
        for (const auto& r : rows)
            QTest::addRow("%d", r[0]) << r[0] << r[1];
    }
    void transportMap()
    {
        QFETCH(int, result);
        QTEST(CLibZUCom::MapResult(result), "status");
    }

    void transportWrapper()
    {
        CLibZUCom& lib = TheLibZUCom();
        std::uint8_t report[65] = {};
        unsigned n = 0;
        QCOMPARE(lib.ReadCmd(nullptr, report, &n, 0), ZuStatus::kNullArgument);
        QCOMPARE(lib.WriteCmd(device_->TransportHandle(), report, nullptr, 0), ZuStatus::kNullArgument);
        QCOMPARE(lib.EnumDevice(nullptr), ZuStatus::kNullArgument);
        QCOMPARE(lib.ReadCmd(device_->TransportHandle(), report, &n, 0), ZuStatus::kTimeout);

        // A second instance re-initialises the transport (closing what is open), then runs without it.
        CLibZUCom other(lumet::kProductId, lumet::kVendorId, 0, 0);
        QVERIFY(other.IsInitialized());
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        other.Exit();
        void* handle = nullptr;
        QCOMPARE(other.EnumDevice(&handle), ZuStatus::kNotInitialized);
        QVERIFY(!other.GetSerialNumber(device_->TransportHandle()));
        QCOMPARE(other.LastStatus(), ZuStatus::kNotInitialized);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void serialOfDevice()
    {
        QCOMPARE(std::u16string(device_->Serial()), std::u16string(u"LUMET-12345678"));
        // A serial that does not fit leaves the field empty rather than the previous instrument's.
        VexSimInstrument config;
        VexSim_DefaultInstrument(&config);
        config.usbSerial = "0123456789012345678901234567890123";
        VexSim_AddInstrument(&config);
        cTarselDevice second(&TheLibZUCom());
        QVERIFY(second.Open());
        QCOMPARE(std::u16string(second.Serial()), std::u16string());
        second.Close();
    }

    void dataReports_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("format 0") << 0;
        QTest::newRow("format 1") << 1;
        QTest::newRow("format 2") << 2;
        QTest::newRow("format 7") << 7;
    }
    void dataReports()
    {
        QFETCH(int, format);
        HostDataRecord record;
        unsigned n = 0;
        QCOMPARE(device_->ReadDataReport(&record, 65, &n, 5000), DataReportCode::kBadSize);
        QCOMPARE(device_->ReadDataReport(nullptr, 64, &n, 5000), DataReportCode::kNullRecord);
        unsigned char report[65] = {0, static_cast<unsigned char>(format), 2, 0x01, 0x02};
        for (int i = 0; i < 60; ++i)
            report[5 + i] = static_cast<unsigned char>(i);
        VexSim_QueueDataReport(0, report);
        QCOMPARE(device_->ReadDataReport(&record, 64, &n, 5000), 0);
        QCOMPARE(int(record.bytes[0]), format);
        QCOMPARE(int(record.bytes[1]), 2);
        std::uint16_t sequence = 0;
        std::memcpy(&sequence, record.bytes + 2, 2);
        QCOMPARE(int(sequence), 0x0102);
        const int width = format <= 1 ? 2 : (format == 2 ? 4 : 1);
        for (int i = 0; i < 60; ++i) {
            const int group = i / width;
            const int within = i % width;
            QCOMPARE(int(record.bytes[4 + i]), group * width + (width - 1 - within));
        }
        QCOMPARE(device_->ReadDataReport(&record, 64, &n, 5000), DataReportCode::kReadFailed);
    }

    void failedReadThenExchange()
    {
        simbus::AddFault(0, lumet::kCmdRemoteMode, VEXSIM_FAULT_READ);
        CmdPacket query(lumet::kCmdRemoteMode, 4, 0);
        ResPacket response;
        QCOMPARE(device_->Exchange(query, &response), ExchangeCode::kReceiveFailed);
        QCOMPARE(device_->Exchange(query, &response), ExchangeCode::kSendFailed);
        QCOMPARE(device_->ExchangeFlushBoth(query, &response), ExchangeFlushBothCode::kSendFailed);
        device_->Close();
        QCOMPARE(device_->Exchange(query, &response), ExchangeCode::kNotOpen);
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
