// The thirteen transport exports over the simulated bus.
#include "lumet_protocol.h"
#include "vexhid.h"
#include "vexhid_sim.h"

#include <QtTest>

#include <cstring>
#include <string>

namespace {

constexpr int kVendor = lumet::kVendorId;
constexpr int kProduct = lumet::kProductId;

VexSimInstrument Instrument(const char* serial, int dataLength = 65)
{
    VexSimInstrument d;
    VexSim_DefaultInstrument(&d);
    d.usbSerial = serial;
    d.dataInputLength = dataLength;
    return d;
}

std::u16string Serial(ZUCOM_HANDLE h)
{
    char16_t buffer[32];
    std::fill(buffer, buffer + 32, u'#');
    if (ZUCOM_GetSerialNumber(h, buffer) != 0)
        return u"<failed>";
    return std::u16string(buffer);
}

// Sends a remote-mode query so that one reply is queued on the command interface.
void QueueReply(ZUCOM_HANDLE h)
{
    unsigned char report[65] = {0, lumet::kCmdRemoteMode, lumet::kKindSingle};
    unsigned written = 0;
    QCOMPARE(ZUCOM_WriteCmd(h, report, &written, 5000), 0);
}

}  // namespace

class TestTransport : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ZUCOM_Exit();
        VexSim_Reset();
        ZUCOM_Initialize(kVendor, kProduct, 0, 0);
    }
    void cleanupTestCase() { ZUCOM_Exit(); }

    void enumerationTable_data()
    {
        QTest::addColumn<int>("vendor");
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("output");
        QTest::addColumn<QString>("opened");  // interfaces open afterwards: 0 tested, 1 command, 2 data
        const struct {
            const char* ids;
            int vendor;
            int product;
        } ids[] = {{"right", kVendor, kProduct}, {"wrong", 0x1234, 0x5678}, {"swapped", kProduct, kVendor}};
        const struct {
            int in;
            int out;
            const char* rightOpened;
        } lengths[] = {{65, 65, "0,2"}, {65, 0, "1,0"}, {513, 0, "1,0"}, {64, 64, "1,2"}};
        for (const auto& id : ids) {
            for (const auto& l : lengths) {
                const QString opened = std::strcmp(id.ids, "right") == 0 ? l.rightOpened : "1,2";
                QTest::addRow("%s ids %d/%d", id.ids, l.out, l.in) << id.vendor << id.product << l.in << l.out << opened;
            }
        }
    }
    void enumerationTable()
    {
        QFETCH(int, vendor);
        QFETCH(int, product);
        QFETCH(int, input);
        QFETCH(int, output);
        QFETCH(QString, opened);
        VexSim_AddDecoy(vendor, product, input, output, "PAIR");
        VexSim_AddDecoy(kVendor, kProduct, 65, 65, "PAIR");
        VexSim_AddDecoy(kVendor, kProduct, 65, 0, "PAIR");
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        QVERIFY(h);
        QStringList open;
        for (int i = 0; i < 3; ++i) {
            if (VexSim_IsInterfaceOpen(i))
                open << QString::number(i);
        }
        QStringList expected = opened.split(',');
        std::sort(expected.begin(), expected.end());
        QCOMPARE(open, expected);
        QCOMPARE(VexSim_OpenHandleCount(), 2);
    }

    void noInstrument()
    {
        VexSim_AddDecoy(kVendor, kProduct, 64, 64, "X");
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 7);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        int count = -1;
        QCOMPARE(ZUCOM_GetNumConnected(&count, 0), 0);
        QCOMPARE(count, 0);
    }

    void twoInstrumentsOpenOneAfterTheOther()
    {
        VexSimInstrument a = Instrument("A-1");
        VexSimInstrument b = Instrument("B-2", 513);
        VexSim_AddInstrument(&a);
        VexSim_AddInstrument(&b);
        ZUCOM_HANDLE first = nullptr;
        ZUCOM_HANDLE second = nullptr;
        ZUCOM_HANDLE third = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&first), 0);
        QCOMPARE(ZUCOM_EnumDevice(&second), 0);
        QCOMPARE(ZUCOM_EnumDevice(&third), 7);
        QVERIFY(first != second);
        QCOMPARE(Serial(first), std::u16string(u"A-1"));
        QCOMPARE(Serial(second), std::u16string(u"B-2"));
        QCOMPARE(VexSim_OpenHandleCount(), 4);
        int count = 0;
        QCOMPARE(ZUCOM_GetNumConnected(&count, 5), 0);
        QCOMPARE(count, 2);
    }

    void noPartnerOrDuplicateSerial()
    {
        VexSim_AddDecoy(kVendor, kProduct, 65, 65, "CMD");
        VexSim_AddDecoy(kVendor, kProduct, 65, 0, "OTHER");
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 7);
        QCOMPARE(VexSim_OpenHandleCount(), 0);

        VexSim_Reset();
        VexSimInstrument a = Instrument("SAME");
        VexSim_AddInstrument(&a);
        VexSim_AddInstrument(&a);
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        ZUCOM_HANDLE again = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&again), 7);
        QCOMPARE(VexSim_OpenHandleCount(), 2);
        QCOMPARE(VexSim_IsInterfaceOpen(2) + VexSim_IsInterfaceOpen(3), 0);
    }

    void serialLengths_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("result");
        QTest::newRow("30 units") << 30 << 0;
        QTest::newRow("31 units") << 31 << 9;
        QTest::newRow("126 units") << 126 << 9;
    }
    void serialLengths()
    {
        QFETCH(int, length);
        QFETCH(int, result);
        const std::string serial(static_cast<std::size_t>(length), 'S');
        VexSimInstrument a = Instrument(serial.c_str());
        VexSim_AddInstrument(&a);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);  // a long serial still opens
        char16_t buffer[32];
        std::fill(buffer, buffer + 32, u'#');
        QCOMPARE(ZUCOM_GetSerialNumber(h, buffer), result);
        if (result == 0) {
            QCOMPARE(std::u16string(buffer), std::u16string(static_cast<std::size_t>(length), u'S'));
        } else {
            for (char16_t c : buffer)
                QCOMPARE(int(c), 0);
        }
    }

    void serialQueryFailure()
    {
        VexSim_AddInstrument(nullptr);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        VexSim_FailSerialQuery(0, 2);
        char16_t buffer[32];
        QCOMPARE(ZUCOM_GetSerialNumber(h, buffer), 9);
        QCOMPARE(ZUCOM_IsConnected(h), 9);
        QCOMPARE(ZUCOM_IsConnected(h), 0);

        ZUCOM_Exit();
        VexSim_FailSerialQuery(0, 1);
        QCOMPARE(ZUCOM_EnumDevice(&h), 7);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void readsAndWrites()
    {
        VexSim_AddInstrument(nullptr);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        unsigned char report[65];
        unsigned n = 0;
        QCOMPARE(ZUCOM_ReadCmd(h, report, &n, 5000), 2);
        QCOMPARE(ZUCOM_IsConnected(h), 0);
        QueueReply(h);
        QCOMPARE(ZUCOM_ReadCmd(h, report, &n, 5000), 0);
        QCOMPARE(n, 65u);
        QCOMPARE(int(report[1]), int(lumet::kStatusOk));
        QCOMPARE(int(report[2]), int(lumet::kKindSingle));

        unsigned char data[65] = {0, 2, 4, 0, 0, 0xAB};
        VexSim_QueueDataReport(0, data);
        QCOMPARE(ZUCOM_ReadData(h, report, &n, 100), 0);
        QCOMPARE(int(report[5]), 0xAB);
        QCOMPARE(ZUCOM_ReadData(h, report, &n, 100), 2);

        // Flushing drops what is queued.
        QueueReply(h);
        VexSim_QueueDataReport(0, data);
        QCOMPARE(ZUCOM_FlashCmdBuffer(h), 0);
        QCOMPARE(ZUCOM_FlashDataBuffer(h), 0);
        QCOMPARE(ZUCOM_ReadCmd(h, report, &n, 0), 2);
        QCOMPARE(ZUCOM_ReadData(h, report, &n, 0), 2);
    }

    void readFailures()
    {
        VexSim_AddInstrument(nullptr);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        unsigned char report[65];
        unsigned n = 0;
        VexSim_FailNextRead(0, 1);
        QCOMPARE(ZUCOM_ReadData(h, report, &n, 10), 9);
        QCOMPARE(ZUCOM_IsConnected(h), 0);

        VexSim_FailNextRead(0, 0);
        QCOMPARE(ZUCOM_ReadCmd(h, report, &n, 10), 7);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        unsigned char out[65] = {};
        char16_t serial[32];
        int count = 0;
        QCOMPARE(ZUCOM_ReadCmd(h, report, &n, 10), 8);
        QCOMPARE(ZUCOM_ReadData(h, report, &n, 10), 8);
        QCOMPARE(ZUCOM_WriteCmd(h, out, &n, 10), 8);
        QCOMPARE(ZUCOM_FlashCmdBuffer(h), 8);
        QCOMPARE(ZUCOM_FlashDataBuffer(h), 8);
        QCOMPARE(ZUCOM_GetSerialNumber(h, serial), 8);
        QCOMPARE(ZUCOM_IsConnected(h), 8);
        QCOMPARE(ZUCOM_CloseDevice(h), 8);
        QCOMPARE(ZUCOM_GetNumConnected(&count, 0), 0);
        QCOMPARE(count, 0);
    }

    void staleHandles()
    {
        VexSim_AddInstrument(nullptr);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        QCOMPARE(ZUCOM_CloseDevice(h), 0);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        QCOMPARE(ZUCOM_CloseDevice(h), 8);
        QCOMPARE(ZUCOM_IsConnected(h), 8);

        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        ZUCOM_Exit();
        QCOMPARE(ZUCOM_CloseDevice(h), 8);
        QCOMPARE(VexSim_OpenHandleCount(), 0);

        int notAHandle = 0;
        QCOMPARE(ZUCOM_CloseDevice(&notAHandle), 8);
        QCOMPARE(ZUCOM_FlashCmdBuffer(&notAHandle), 8);
        QCOMPARE(ZUCOM_CloseDevice(nullptr), 8);
    }

    void nullArguments()
    {
        VexSim_AddInstrument(nullptr);
        QCOMPARE(ZUCOM_EnumDevice(nullptr), 8);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        unsigned char report[65] = {};
        unsigned n = 0;
        QCOMPARE(ZUCOM_ReadCmd(h, nullptr, &n, 0), 8);
        QCOMPARE(ZUCOM_ReadCmd(h, report, nullptr, 0), 8);
        QCOMPARE(ZUCOM_ReadData(h, nullptr, &n, 0), 8);
        QCOMPARE(ZUCOM_ReadData(h, report, nullptr, 0), 8);
        QCOMPARE(ZUCOM_WriteCmd(h, nullptr, &n, 0), 8);
        QCOMPARE(ZUCOM_WriteCmd(h, report, nullptr, 0), 8);
        QCOMPARE(ZUCOM_GetSerialNumber(h, nullptr), 8);
        QCOMPARE(ZUCOM_GetNumConnected(nullptr, 0), 8);
        int version[3] = {};
        ZUCOM_GetVersion(version);
        QCOMPARE(version[0], 1);
        QCOMPARE(version[1], 20);
        QCOMPARE(version[2], 0);
        ZUCOM_GetVersion(nullptr);
    }

    void initializeClosesOpenDevices()
    {
        VexSim_AddInstrument(nullptr);
        ZUCOM_HANDLE h = nullptr;
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
        QCOMPARE(VexSim_OpenHandleCount(), 2);
        QCOMPARE(ZUCOM_Initialize(kVendor, kProduct, 0, 0), 0);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        QCOMPARE(ZUCOM_CloseDevice(h), 8);
        QCOMPARE(ZUCOM_EnumDevice(&h), 0);
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
