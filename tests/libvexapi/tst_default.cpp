// The instrument the simulated bus holds when nobody configured it (what the program shows).
#include "simbus.h"
#include "vexapi.h"

#include <QtTest>

class TestDefaultInstrument : public QObject {
    Q_OBJECT

private slots:
    void defaultInstrument()
    {
        VEX_HANDLE h = nullptr;
        QCOMPARE(VexOpenDevice(&h), 0);
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
        VexDeviceID id{};
        QCOMPARE(VexGetDeviceID(h, &id), 0);
        QCOMPARE(id.serialNumber, 12345678);
        QCOMPARE(id.deviceType, 100);
        QCOMPARE(id.mainFirmware[0], 1);
        QCOMPARE(id.mainFirmware[1], 12);
        QCOMPARE(id.mainFirmware[2], 5);

        std::vector<unsigned char> calibration(3092);
        VexMemoryRequest request{0, 3, 3092, calibration.data()};
        QCOMPARE(DevIOCtrl(h, 0xF0, &request), 0);
        std::int32_t status = 0;
        std::memcpy(&status, calibration.data(), 4);
        QCOMPARE(status & 3, 3);

        int count = 0;
        QCOMPARE(VexGetDeviceStoredDataNum(h, &count), 0);
        QCOMPARE(count, 3);
        std::vector<VexStoredMeasurement> records(3);
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 0);
        // CIE A rises towards the red; D65 peaks in the blue, above its value at 780 nm.
        QVERIFY(records[0].values[420] > records[0].values[100]);
        QVERIFY(records[2].values[100] > records[2].values[420]);
        for (const VexStoredMeasurement& r : records) {
            QVERIFY(r.date.year >= 2011);
            QCOMPARE(r.observer, 0);
        }
        QCOMPARE(VexGetDeviceStoredData(h, records.data(), 8, 3), 0);
        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(VexCloseDevice(h), 0);
    }
};

QTEST_GUILESS_MAIN(TestDefaultInstrument)
#include "tst_default.moc"
