// The simulated chart scanner driven through its control header, synchronously (manual event delivery).

#include "OrloSim.h"
#include "orlotestutil.h"

#include "app/records.h"
#include "app/resourcedata.h"
#include "vexcolor.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <Magick++.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>

Q_DECLARE_METATYPE(OrloSimArea)

namespace {

struct RecognitionResult {
    int32_t code = -1;
    OrloLayoutRecord layout{};
    std::vector<OrloMeasurePoint> points;
};

int TiffSide(const QString& path)
{
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
    if (!tif)
        return -1;
    uint32_t w = 0, h = 0;
    uint16_t bits = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFClose(tif);
    return w == h && bits == 8 ? int(w) : -2;
}

// Rows of install/BarcodeSize.lst: modules and the four capacities.
QVector<QVector<int>> BarcodeSizes()
{
    QVector<QVector<int>> rows;
    QFile f(QCoreApplication::applicationDirPath() + "/BarcodeSize.lst");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(',');
        if (fields.size() != 6)
            continue;
        QVector<int> row;
        for (const QString& s : fields)
            row.push_back(s.toInt());
        rows.push_back(row);
    }
    return rows;
}

QByteArray OrloSimText(const uint8_t* record)
{
    QByteArray text(OrloSim_BarcodeText(record, nullptr, 0) + 1, '\0');
    OrloSim_BarcodeText(record, text.data(), text.size());
    text.chop(1);
    return text;
}

int ExpectedSide(int textLength)
{
    for (const QVector<int>& row : BarcodeSizes())
        if (row[3] > textLength)
            return (row[1] + 8) * 7;
    return 0;
}

} // namespace

class TestOrloSdk : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void connectManual()
    {
        QCOMPARE(Orlo_RegisterDeviceEventHandler(&EventLog::Handler), 0);
        OrloDeviceEntry rec{};
        rec.kind = 1;
        QCOMPARE(Orlo_Connect(&rec, "test"), 0);
        OrloSim_DeliverPending();
        EventLog::events().clear();
    }

    // Inserts a sheet, captures it and runs the recognition with the given layout (or none).
    RecognitionResult recognise(const OrloSimSheet& sheet, const OrloLayoutRecord* layout = nullptr,
                                const OrloColorCheckList* colours = nullptr)
    {
        RecognitionResult r;
        if (OrloSim_InsertSheet(&sheet) != 0 || Orlo_StartCapture() != 0 ||
            Orlo_StartPatchRecognition(0, 1, layout, 0, colours) != 0)
            return r;
        OrloSim_DeliverPending();
        Orlo_GetPatchRecognitionResult2(&r.code, 0, &r.layout);
        int32_t count = r.layout.patchCount;
        r.points.resize(size_t(std::max(0, count)));
        Orlo_GetMeasurePoint(r.points.data(), &count);
        r.points.resize(size_t(count));
        return r;
    }

    // Measures all points of the recognised sheet and returns the block of point i.
    std::vector<float> measuredBlock(int i)
    {
        std::vector<float> block(ORLO_BLOCK_SIZE, 0.0f);
        Orlo_StartMeasurement2(0, 1);
        OrloSim_DeliverPending();
        const int32_t sel[3] = {i, -1, -1};
        Orlo_SetOption(3, 12);
        if (Orlo_GetData(sel, block.data(), ORLO_BLOCK_SIZE) != 0)
            block.clear();
        return block;
    }

private slots:
    void init()
    {
        OrloSim_Reset();
        OrloSim_SetDelivery(OrloSim_Manual);
        EventLog::events().clear();
        EventLog::reaction() = nullptr;
    }

    void cleanupTestCase() { OrloSim_Reset(); }

    void recordTable()
    {
        QCOMPARE(sizeof(OrloDeviceEntry), size_t(44));
        QCOMPARE(sizeof(OrloSystemInfo), size_t(100));
        QCOMPARE(offsetof(OrloSystemInfo, serial), size_t(28));
        QCOMPARE(sizeof(OrloStatus), size_t(32));
        QCOMPARE(offsetof(OrloStatus, state), size_t(16));
        QCOMPARE(offsetof(OrloStatus, otherComputer), size_t(28));
        QCOMPARE(sizeof(OrloMeasurePoint), size_t(20));
        QCOMPARE(sizeof(OrloClipRecord), size_t(20));
        QCOMPARE(sizeof(OrloColorCheckEntry), size_t(28));
        QCOMPARE(sizeof(OrloColorCheckList), size_t(8));
        QCOMPARE(sizeof(OrloLayoutRecord), size_t(3448));
        QCOMPARE(offsetof(OrloLayoutRecord, image.pixels), size_t(3440));
        QCOMPARE(sizeof(OrloCaptureText::record), size_t(1172));
        // The program's sheet record and the simulator's text codec agree on where each field lies.
        QCOMPARE(sizeof(SheetInfoRecord), size_t(1172));
        QCOMPARE(offsetof(SheetInfoRecord, ChartCode), size_t(8));
        QCOMPARE(offsetof(SheetInfoRecord, SheetCount), size_t(24));
        QCOMPARE(offsetof(SheetInfoRecord, AreaCount), size_t(36));
        QCOMPARE(offsetof(SheetInfoRecord, Areas), size_t(40));
        QCOMPARE(offsetof(SheetInfoRecord, Words), size_t(640));
        QCOMPARE(offsetof(SheetInfoRecord, Text), size_t(660));
        SheetInfoRecord rec{};
        std::memcpy(rec.ModelText, "Orlo", 4);
        std::memcpy(rec.DeviceCode, "0000", 4);
        std::memcpy(rec.ChartCode, "CHART", 5);
        rec.SheetCount = 2;
        rec.SheetNumber = 1;
        rec.PatchCount = 6;
        rec.AreaCount = 1;
        rec.Areas[0] = {2, 3, 6};
        rec.Words[0] = 255;
        std::strcpy(rec.Text, "note");
        char text[200];
        OrloSim_BarcodeText(reinterpret_cast<const uint8_t*>(&rec), text, sizeof text);
        QCOMPARE(QByteArray(text), QByteArray("Orlo:0000CHART:2:1:6:1:2:3:6:ff:0:0:0:note"));
    }

    void qrRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("no areas, no text") << MakeSheetRecord("C1", 1, 1, {}, {});
        QTest::newRow("one area") << MakeSheetRecord("Chart one", 3, 2, {4, 6, 24}, "hello");
        QVector<int> triples;
        for (int i = 0; i < 50; ++i)
            triples << (i % 7 + 1) << (i % 5 + 2) << (i % 7 + 1) * (i % 5 + 2);
        QTest::newRow("50 areas, 511 bytes") << MakeSheetRecord("0123456789ABCDEF", 9, 9, triples, QByteArray(511, 'x'));
        QTest::newRow("16-byte code") << MakeSheetRecord("ABCDEFGHIJKLMNOP", 2, 1, {1, 1, 1}, "t");
    }

    void qrRoundTrip()
    {
        QFETCH(QByteArray, record);
        const uint8_t* rec = reinterpret_cast<const uint8_t*>(record.constData());
        const int length = OrloSim_BarcodeText(rec, nullptr, 0);
        const QString path = m_dir.filePath("qr.tif");
        QCOMPARE(Orlo_CreateBarcodeImage(path.toLocal8Bit().constData(), rec, 1, 7), 0);
        QVERIFY2(!BarcodeSizes().isEmpty(), "BarcodeSize.lst beside the program");
        QCOMPARE(TiffSide(path), ExpectedSide(length));
        // The program computes the same text and picture size for the record.
        SheetInfoRecord programRecord;
        std::memcpy(&programRecord, record.constData(), sizeof programRecord);
        CResourceData resources;
        QCOMPARE(resources.Initialize(), 0);
        QCOMPARE(resources.MakeBarcodeText(programRecord).toLatin1(), QByteArray(OrloSimText(rec)));
        QCOMPARE(resources.GetBarcodeSize(programRecord, 1, 7), TiffSide(path));

        connectManual();
        OrloSimArea area = Area(1, 2, 2000, 12000, 1000, 1500);
        const std::vector<float> inks = DistinctInks(2);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), rec, 1000, 1000, 0};
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        QCOMPARE(Orlo_StartCapture(), 0);
        OrloCaptureText text{};
        text.status = 1;
        QCOMPARE(Orlo_GetCaptureResult(nullptr, nullptr, nullptr, &text, nullptr), 0);
        QCOMPARE(text.status, 0);
        QCOMPARE(QByteArray(text.record, ORLO_SHEET_RECORD_SIZE).toHex(), record.toHex());
    }

    void qrDeviceCode_data()
    {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("program's own") << QByteArray("0000") << QByteArray("0000");
        QTest::newRow("printer's preset code") << QByteArray("011B") << QByteArray("011B");
        QTest::newRow("zero bytes") << QByteArray(4, '\0') << QByteArray("0000");
        QTest::newRow("separator inside") << QByteArray("01:B") << QByteArray("0000");
    }

    // A printer's print names its preset chart in the device code; the code on the sheet carries it to the reader.
    void qrDeviceCode()
    {
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, read);
        QByteArray record = MakeSheetRecord("UNKNOWN", 1, 1, {1, 2, 2}, "A23456789 127.0.0.1");
        record.replace(4, 4, written);
        const uint8_t* rec = reinterpret_cast<const uint8_t*>(record.constData());
        QVERIFY(OrloSimText(rec).startsWith("Orlo:" + read + "UNKNOWN:"));

        connectManual();
        OrloSimArea area = Area(1, 2, 2000, 12000, 1000, 1500);
        const std::vector<float> inks = DistinctInks(2);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), rec, 1000, 1000, 0};
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        QCOMPARE(Orlo_StartCapture(), 0);
        OrloCaptureText text{};
        QCOMPARE(Orlo_GetCaptureResult(nullptr, nullptr, nullptr, &text, nullptr), 0);
        QCOMPARE(text.status, 0);
        QCOMPARE(QByteArray(text.record + 4, 4), read);
        QCOMPARE(QByteArray(text.record + 660), QByteArray("A23456789 127.0.0.1"));
    }

    void qrVersionBoundary()
    {
        // A text as long as a version's capacity needs the next version.
        const QVector<QVector<int>> sizes = BarcodeSizes();
        QVERIFY(sizes.size() >= 6);
        const QByteArray base = MakeSheetRecord("B", 1, 1, {}, {});
        const int baseLength = OrloSim_BarcodeText(reinterpret_cast<const uint8_t*>(base.constData()), nullptr, 0);
        const int capacity = sizes[4][3];
        for (int extra : {0, -1}) {
            const QByteArray rec = MakeSheetRecord("B", 1, 1, {}, QByteArray(capacity + extra - baseLength, 'q'));
            const uint8_t* r = reinterpret_cast<const uint8_t*>(rec.constData());
            QCOMPARE(OrloSim_BarcodeText(r, nullptr, 0), capacity + extra);
            const QString path = m_dir.filePath("edge.tif");
            QCOMPARE(Orlo_CreateBarcodeImage(path.toLocal8Bit().constData(), r, 1, 7), 0);
            QCOMPARE(TiffSide(path), (sizes[extra == 0 ? 5 : 4][1] + 8) * 7);
        }
        QVERIFY(Orlo_CreateBarcodeImage(m_dir.filePath("x.tif").toLocal8Bit().constData(),
                                        reinterpret_cast<const uint8_t*>(base.constData()), 4, 7) != 0);
    }

    void eventOrder()
    {
        static int depth = 0, maxDepth = 0;
        depth = maxDepth = 0;
        EventLog::reaction() = [](int code, int value, int count) {
            maxDepth = std::max(maxDepth, ++depth);
            if (code == 3) {
                Orlo_StartCapture();
            } else if (code == 5) {
                int32_t w, h, b;
                Orlo_GetCaptureResult(&w, &h, &b, nullptr, nullptr);
                Orlo_StartPatchRecognition(value, 1, nullptr, 0, nullptr);
            } else if (code == 7) {
                int32_t rc;
                OrloLayoutRecord layout;
                Orlo_GetPatchRecognitionResult2(&rc, 0, &layout);
                Orlo_StartMeasurement2(0, 1);
            } else if (code == 11) {
                float xyz[3];
                Orlo_SetOption(3, 2);
                const int32_t sel[3] = {count - 1, -1, -1};
                Orlo_GetData(sel, xyz, 3);
            } else if (code == 9) {
                Orlo_ExitMeasurement(0, 0);
            }
            --depth;
        };
        QCOMPARE(Orlo_RegisterDeviceEventHandler(&EventLog::Handler), 0);
        OrloDeviceEntry rec{};
        rec.kind = 1;
        QCOMPARE(Orlo_Connect(&rec, "test"), 0);
        OrloSimArea area = Area(2, 3, 3000, 3000, 1000, 1400);
        const std::vector<float> inks = DistinctInks(6);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), nullptr, 0, 0, 0};
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        QCOMPARE(OrloSim_DeliverPending(), 9);
        QCOMPARE(EventLog::codes(), (QVector<int>{1, 3, 5, 7, 11, 11, 9, 10, 1}));
        QCOMPARE(EventLog::events()[4].count, 4);
        QCOMPARE(EventLog::events()[5].count, 6);
        QCOMPARE(EventLog::events()[6].count, 6);
        QCOMPARE(maxDepth, 1);
        QVERIFY(QByteArray(OrloSim_CallLog()).contains("Orlo_GetData(5,3)\n"));

        // Stopped after the first event 11, the late patch still arrives, then the end of the run.
        EventLog::events().clear();
        OrloSim_SetLatePatchAfterStop(1);
        EventLog::reaction() = [](int code, int value, int count) {
            if (code == 3)
                Orlo_StartCapture();
            else if (code == 5)
                Orlo_StartPatchRecognition(value, 1, nullptr, 0, nullptr);
            else if (code == 7)
                Orlo_StartMeasurement2(0, 1);
            else if (code == 11 && count == 4)
                Orlo_StopMeasurement(1);
        };
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        OrloSim_DeliverPending();
        QCOMPARE(EventLog::codes(), (QVector<int>{3, 5, 7, 11, 11, 10, 1}));
        QCOMPARE(EventLog::events()[4].count, 5);
        QCOMPARE(Orlo_ExitMeasurement(0, 0), 0);
        QCOMPARE(OrloSim_PendingEvents(), 0);
    }

    // A program that ends each sheet by an exit at event 9 and another at event 10: a sheet already waiting
    // then is not cancelled by the second exit, whether it was queued with the first or put in right after
    // the sheet end, and also when the program handles events only after the library delivered the next ones
    // (its own event queue on another thread).
    void secondExitKeepsWaitingSheet_data()
    {
        QTest::addColumn<bool>("insertAtSheetEnd");
        QTest::addColumn<bool>("handledLater");
        QTest::newRow("two sheets queued at once") << false << false;
        QTest::newRow("second sheet put in at sheet end") << true << false;
        QTest::newRow("two sheets queued, events handled after delivery") << false << true;
    }
    void secondExitKeepsWaitingSheet()
    {
        QFETCH(bool, insertAtSheetEnd);
        QFETCH(bool, handledLater);
        static OrloSimSheet sheet;
        static bool insertLate;
        static QVector<int> results;
        static int sheetEnds;
        insertLate = insertAtSheetEnd;
        results.clear();
        sheetEnds = 0;
        static const auto react = [](int code, int value) {
            if (code == 3) {
                results << Orlo_StartCapture();
            } else if (code == 5) {
                results << Orlo_StartPatchRecognition(value, 1, nullptr, 0, nullptr);
            } else if (code == 7) {
                results << Orlo_StartMeasurement2(0, 1);
            } else if (code == 9) {
                results << Orlo_ExitMeasurement(0, 0);
                if (insertLate && ++sheetEnds == 1)
                    results << OrloSim_InsertSheet(&sheet);
            } else if (code == 10) {
                results << Orlo_ExitMeasurement(0, 0);
            }
        };
        if (handledLater)
            EventLog::reaction() = nullptr;
        else
            EventLog::reaction() = [](int code, int value, int) { react(code, value); };
        connectManual();
        OrloSimArea area = Area(2, 3, 3000, 3000, 1000, 1400);
        const std::vector<float> inks = DistinctInks(6);
        sheet = OrloSimSheet{21000, 29700, 1, &area, inks.data(), nullptr, 0, 0, 0};
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        if (!insertAtSheetEnd)
            QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        int handled = 0;
        while (OrloSim_DeliverPending() > 0 || (handledLater && handled < EventLog::events().size())) {
            for (; handledLater && handled < EventLog::events().size(); ++handled)
                react(EventLog::events()[handled].code, EventLog::events()[handled].value);
        }
        const QVector<int> oneSheet{3, 5, 7, 11, 11, 9, 10, 1};
        QCOMPARE(EventLog::codes(), oneSheet + oneSheet);
        QVERIFY(std::all_of(results.begin(), results.end(), [](int r) { return r == 0; }));
    }

    void callLogFormat()
    {
        connectManual();
        OrloSim_ClearCallLog();
        int32_t job = 12;
        const char name[16] = "name";
        Orlo_RegisterJob(&job, name, 2, 0);
        Orlo_DeleteJob(&job);
        OrloMeasurePoint p[2];
        int32_t n = 2;
        Orlo_GetMeasurePoint(p, &n);
        Orlo_GetCaptureResult(nullptr, nullptr, nullptr, nullptr, nullptr);
        OrloLayoutRecord layout{};
        Orlo_StartPatchRecognition(3, 1, &layout, 2, nullptr);
        QCOMPARE(QByteArray(OrloSim_CallLog()),
                 QByteArray("Orlo_RegisterJob(12,2,0)\nOrlo_DeleteJob(12)\nOrlo_GetMeasurePoint(2)\n"
                            "Orlo_GetCaptureResult(size)\nOrlo_StartPatchRecognition(3,1,layout,2,null)\n"));
    }

    void jobFromQrCode()
    {
        connectManual();
        int32_t job = 77;
        const char name[16] = "JOBCHART";
        QCOMPARE(Orlo_RegisterJob(&job, name, 2, 0), 0);
        for (int sheets : {2, 3}) {
            const QByteArray rec = MakeSheetRecord("JOBCHART", sheets, 1, {}, {});
            OrloSimSheet sheet{21000, 29700, 0, nullptr, nullptr,
                               reinterpret_cast<const uint8_t*>(rec.constData()), 1000, 1000, 0};
            QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
            QCOMPARE(Orlo_StartCapture(), 0);
            OrloSim_DeliverPending();
            QCOMPARE(EventLog::events().last().code, 5);
            QCOMPARE(EventLog::events().last().value, sheets == 2 ? 77 : 0);
            QCOMPARE(Orlo_ExitMeasurement(0, 0), 0);
            OrloSim_DeliverPending();
        }
    }

    void recognition_data()
    {
        QTest::addColumn<QVector<OrloSimArea>>("areas");
        QTest::addColumn<bool>("withQr");
        QTest::addColumn<bool>("rotated");
        QTest::newRow("gapped 3x4") << QVector<OrloSimArea>{Area(3, 4, 2000, 3000, 800, 1000)} << false << false;
        QTest::newRow("touching 3x4") << QVector<OrloSimArea>{Area(3, 4, 2000, 3000, 800, 800)} << false << false;
        QTest::newRow("two areas and QR") << QVector<OrloSimArea>{Area(3, 4, 2000, 8000, 800, 1000),
                                                                  Area(5, 2, 12000, 12000, 600, 700)}
                                          << true << false;
        QTest::newRow("rotated") << QVector<OrloSimArea>{Area(3, 5, 2000, 3000, 700, 900)} << false << true;
    }

    void recognition()
    {
        QFETCH(QVector<OrloSimArea>, areas);
        QFETCH(bool, withQr);
        QFETCH(bool, rotated);
        connectManual();
        int patches = 0;
        for (const OrloSimArea& a : areas)
            patches += a.rows * a.columns;
        const std::vector<float> inks = DistinctInks(patches);
        const QByteArray rec = MakeSheetRecord("QR", 1, 1, {}, "recognition");
        OrloSimSheet sheet{21000, 29700, int32_t(areas.size()), areas.constData(), inks.data(),
                           withQr ? reinterpret_cast<const uint8_t*>(rec.constData()) : nullptr, 1000, 1000,
                           rotated ? 1 : 0};
        const RecognitionResult r = recognise(sheet);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.layout.areaCount, int32_t(areas.size()));
        QCOMPARE(r.layout.patchCount, int32_t(patches));
        QCOMPARE(int(r.points.size()), patches);
        for (int i = 0; i < areas.size(); ++i) {
            const OrloSimArea& a = areas[i];
            const int32_t* g = r.layout.areaGeometry[i];
            if (!rotated) {
                QCOMPARE(r.layout.areaCounts[i][0], a.rows);
                QCOMPARE(r.layout.areaCounts[i][1], a.columns);
                QVERIFY2(std::abs(g[0] - a.left) <= 9 && std::abs(g[1] - a.top) <= 9, "origin");
            } else {
                QCOMPARE(r.layout.areaCounts[i][0], a.columns);
                QCOMPARE(r.layout.areaCounts[i][1], a.rows);
                // Clockwise: the old bottom edge becomes the new left edge.
                QVERIFY(std::abs(g[0] - (sheet.height - a.top - (a.rows - 1) * a.pitchY - a.patchHeight)) <= 9);
                QVERIFY(std::abs(g[1] - a.left) <= 9);
            }
            QVERIFY2(std::abs(g[2] - a.patchWidth) <= 9 && std::abs(g[3] - a.patchHeight) <= 9, "size");
            QVERIFY2(std::abs(g[4] - (rotated ? a.pitchY : a.pitchX)) <= 9, "pitch");
        }
        // Walk order: area, row, column.
        for (size_t i = 1; i < r.points.size(); ++i) {
            const OrloMeasurePoint &p = r.points[i - 1], &q = r.points[i];
            QVERIFY(std::tie(p.area, p.row, p.column) < std::tie(q.area, q.row, q.column));
        }
    }

    void recognitionWithLayout()
    {
        connectManual();
        OrloSimArea area = Area(2, 2, 3000, 3000, 1000, 1500);
        const std::vector<float> inks = DistinctInks(4);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), nullptr, 0, 0, 0};
        OrloLayoutRecord layout{};
        layout.width = 21200; // within 5 mm
        layout.height = 29700;
        layout.areaCount = 1;
        layout.patchCount = 3;
        layout.areaCounts[0][0] = 2;
        layout.areaCounts[0][1] = 2;
        layout.areaCounts[0][2] = 3;
        const int32_t geometry[6] = {3000, 3000, 1000, 1000, 1500, 1500};
        std::memcpy(layout.areaGeometry[0], geometry, sizeof geometry);
        RecognitionResult r = recognise(sheet, &layout);
        QCOMPARE(r.layout.patchCount, 3);
        QCOMPARE(int(r.points.size()), 3);
        QCOMPARE(r.points[2].x, 3500);
        QCOMPARE(r.points[2].y, 5000);
        QCOMPARE(r.layout.flag, 1);
        QVERIFY(r.layout.image.pixels != nullptr);
        QCOMPARE(r.layout.clipCount, 1);
        Orlo_ExitMeasurement(0, 0);
        OrloSim_DeliverPending();

        // A layout of another page size falls back to the finder.
        layout.width = 29700;
        layout.height = 42000;
        r = recognise(sheet, &layout);
        QCOMPARE(r.layout.patchCount, 4);
        QCOMPARE(r.layout.areaCounts[0][2], 4);
    }

    void clipBlock_data()
    {
        QTest::addColumn<QVector<int>>("regions"); // indexes into the two printed areas
        QTest::newRow("one region") << QVector<int>{1};
        QTest::newRow("two regions, given in reverse") << QVector<int>{1, 0};
        QTest::newRow("no region: the whole sheet") << QVector<int>{};
    }

    void clipBlock()
    {
        QFETCH(QVector<int>, regions);
        connectManual();
        const OrloSimArea areas[2] = {Area(2, 3, 2000, 2000, 800, 1000), Area(3, 2, 12000, 15000, 600, 900)};
        // Each area with a millimetre of paper around it.
        const int32_t around[2][4] = {{1500, 1500, 5000, 4500}, {11500, 14500, 14000, 17500}};
        const std::vector<float> inks = DistinctInks(12);
        OrloSimSheet sheet{21000, 29700, 2, areas, inks.data(), nullptr, 0, 0, 0};
        // The recognition before found the first area only.
        OrloLayoutRecord first{};
        first.width = 21000;
        first.height = 29700;
        first.areaCount = 1;
        first.patchCount = 6;
        first.areaCounts[0][0] = 2;
        first.areaCounts[0][1] = 3;
        first.areaCounts[0][2] = 6;
        const int32_t geometry[6] = {2000, 2000, 800, 800, 1000, 1000};
        std::memcpy(first.areaGeometry[0], geometry, sizeof geometry);
        OrloSim_SetNextRecognition(0, &first, nullptr, 0);
        QCOMPARE(recognise(sheet).layout.areaCount, 1);

        OrloLayoutRecord layout{};
        layout.clipCount = regions.size();
        for (int c = 0; c < regions.size(); ++c) {
            const int32_t* r = around[regions[c]];
            const int32_t corners[8] = {r[0], r[1], r[2], r[1], r[0], r[3], r[2], r[3]};
            std::memcpy(layout.clips[c], corners, sizeof corners);
        }
        const QVector<int> expected = regions.isEmpty() ? QVector<int>{0, 1} : regions;
        char text[ORLO_SHEET_RECORD_SIZE];
        QCOMPARE(Orlo_ClippingChart(1), 0);
        QCOMPARE(Orlo_GetPatchRecogResult(text, &layout), 1902);
        QCOMPARE(layout.areaCount, int32_t(expected.size()));
        int patches = 0;
        for (int i = 0; i < expected.size(); ++i) {
            const OrloSimArea& a = areas[expected[i]];
            QCOMPARE(layout.areaCounts[i][0], a.rows);
            QCOMPARE(layout.areaCounts[i][1], a.columns);
            QVERIFY(std::abs(layout.areaGeometry[i][0] - a.left) <= 9);
            QVERIFY(std::abs(layout.areaGeometry[i][1] - a.top) <= 9);
            patches += a.rows * a.columns;
        }
        QCOMPARE(layout.patchCount, patches);

        // The measure points and the clip rectangles are this result's now.
        std::vector<OrloMeasurePoint> points(20);
        int32_t count = 20;
        QCOMPARE(Orlo_GetMeasurePoint(points.data(), &count), 0);
        QCOMPARE(count, patches);
        const OrloSimArea& lead = areas[expected[0]];
        QVERIFY(std::abs(points[0].x - (lead.left + lead.patchWidth / 2)) <= 9);
        QVERIFY(std::abs(points[0].y - (lead.top + lead.patchHeight / 2)) <= 9);
        QCOMPARE(points[size_t(count) - 1].area, int32_t(expected.size() - 1));
        std::vector<uint8_t> pixels(size_t(2480) * 3508);
        OrloClipRecord clips[ORLO_MAX_AREAS];
        OrloChartImage image{0, 0, 0, ORLO_MAX_AREAS, 0, clips, pixels.data()};
        QCOMPARE(Orlo_GetChartImage(&image, int(pixels.size())), 0);
        QCOMPARE(image.clipCount, int32_t(expected.size()));
        QVERIFY(std::abs(clips[0].left - (lead.left * 300 + 1270) / 2540) <= 2);
        QVERIFY(std::abs(clips[0].top - (lead.top * 300 + 1270) / 2540) <= 2);
    }

    void colourCheck()
    {
        connectManual();
        OrloSimArea area = Area(2, 5, 3000, 3000, 1000, 1200);
        std::vector<float> inks(40, 0.0f);
        for (int i = 0; i < 10; ++i)
            inks[size_t(4 * i)] = 1.0f; // cyan solids: RGB 0, 255, 255
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), nullptr, 0, 0, 0};
        QByteArray buffer(int(sizeof(OrloColorCheckList) + 10 * sizeof(OrloColorCheckEntry)), '\0');
        auto* list = reinterpret_cast<OrloColorCheckList*>(buffer.data());
        list->flag = 1;
        list->count = 10;
        for (int i = 0; i < 10; ++i)
            OrloColorCheckEntries(list)[i] = {0, i / 5, i % 5, {0, 255, 255}, 0};
        QCOMPARE(recognise(sheet, nullptr, list).code, 0);
        Orlo_ExitMeasurement(0, 0);
        OrloSim_DeliverPending();
        OrloColorCheckEntries(list)[3].value[1] = 0; // one of ten differs: still a match
        QCOMPARE(recognise(sheet, nullptr, list).code, 0);
        Orlo_ExitMeasurement(0, 0);
        OrloSim_DeliverPending();
        OrloColorCheckEntries(list)[7].value[0] = 200;
        QCOMPARE(recognise(sheet, nullptr, list).code, 16384);
    }

    void sheetFiles_data()
    {
        QTest::addColumn<int>("samples"); // 3 RGB, 4 CMYK, 5 CMYK with a spot ink
        QTest::addColumn<int>("bits");
        QTest::newRow("RGB") << 3 << 8;
        QTest::newRow("CMYK") << 4 << 8;
        QTest::newRow("separated with spot ink") << 5 << 8;
        // The depth the chart writer uses for pages with more than four inks.
        QTest::newRow("separated with spot ink, 16 bits") << 5 << 16;
    }

    void sheetFiles()
    {
        // A 50 x 50 mm page at 150 dpi with a 2 x 2 grid of 10 mm patches; patch 0 is a cyan solid.
        QFETCH(int, samples);
        QFETCH(int, bits);
        const int side = 295, patch = 59, pitch = 89, origin = 59;
        const QString path = m_dir.filePath(QString("page%1_%2.tif").arg(samples).arg(bits));
        TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
        QVERIFY(tif);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, side);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, side);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_SEPARATED);
        if (samples == 5) {
            const uint16_t extra[1] = {EXTRASAMPLE_UNSPECIFIED};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 150.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 150.0f);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, side);
        std::vector<uint8_t> row(size_t(side * samples));
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int gx = (x - origin) / pitch, gy = (y - origin) / pitch;
                const bool inPatch = x >= origin && y >= origin && gx < 2 && gy < 2 &&
                                     (x - origin) % pitch < patch && (y - origin) % pitch < patch;
                const int index = gy * 2 + gx;
                uint8_t* p = &row[size_t(x * samples)];
                const uint8_t ink[4] = {uint8_t(inPatch && index == 0 ? 255 : 0), uint8_t(inPatch && index == 1 ? 255 : 0),
                                        uint8_t(inPatch && index == 2 ? 255 : 0), uint8_t(inPatch && index == 3 ? 128 : 0)};
                if (samples == 3) {
                    for (int c = 0; c < 3; ++c)
                        p[c] = uint8_t((255 - ink[c]) * (255 - ink[3]) / 255);
                } else {
                    std::memcpy(p, ink, 4);
                    if (samples == 5)
                        p[4] = inPatch ? 200 : 0; // spot ink, ignored
                }
            }
            std::vector<uint16_t> wide(row.begin(), row.end());
            for (uint16_t& v : wide)
                v = uint16_t(v * 257);
            void* written = bits == 16 ? static_cast<void*>(wide.data()) : static_cast<void*>(row.data());
            QCOMPARE(TIFFWriteScanline(tif, written, uint32_t(y), 0), 1);
        }
        TIFFClose(tif);

        connectManual();
        QCOMPARE(OrloSim_InsertSheetFile(path.toLocal8Bit().constData()), 0);
        QCOMPARE(Orlo_StartCapture(), 0);
        int32_t w = 0, h = 0, b = 0;
        QCOMPARE(Orlo_GetCaptureResult(&w, &h, &b, nullptr, nullptr), 0);
        QCOMPARE(w, 2 * side);
        QCOMPARE(h, 2 * side);
        QCOMPARE(Orlo_StartPatchRecognition(0, 1, nullptr, 0, nullptr), 0);
        OrloSim_DeliverPending();
        int32_t code = -1;
        OrloLayoutRecord layout;
        QCOMPARE(Orlo_GetPatchRecognitionResult2(&code, 0, &layout), 0);
        QCOMPARE(layout.patchCount, 4);
        QCOMPARE(layout.areaCounts[0][0], 2);
        QVERIFY(std::abs(layout.areaGeometry[0][2] - 1000) <= 9);
        const std::vector<float> block = measuredBlock(0);
        QCOMPARE(int(block.size()), ORLO_BLOCK_SIZE);
        // Cyan solid: red end absorbed, blue end kept.
        QVERIFY(block[27] < 0.1f && block[8] > 0.6f);
    }

    void libtiffAfterImageMagick_data()
    {
        QTest::addColumn<bool>("magickWrote"); // the image library's last TIFF use on this thread: a write, else a read
        QTest::addColumn<QString>("use");
        QTest::addColumn<int>("expected");
        for (bool wrote : {false, true}) {
            const char* after = wrote ? "after a write" : "after a read";
            QTest::addRow("QR picture into a missing folder, %s", after) << wrote << "qr:missing/qr.tif" << 1011;
            QTest::addRow("QR picture on a full disk, %s", after) << wrote << "qr:/dev/full" << 1011;
            QTest::addRow("sheet with its strip cut short, %s", after) << wrote << "sheet:cut.tif" << 1005;
            QTest::addRow("sheet that is a PNG, %s", after) << wrote << "sheet:page.png" << 0;
        }
    }

    void libtiffAfterImageMagick()
    {
        // The image library leaves its libtiff handlers installed, reporting into the exception of this thread's
        // last TIFF read or write, long gone by now: our own libtiff errors must not reach them.
        QFETCH(bool, magickWrote);
        QFETCH(QString, use);
        QFETCH(int, expected);
        const bool qr = use.startsWith("qr:");
        const QString target = use.mid(use.indexOf(':') + 1);
        const QString path = target.startsWith('/') ? target : m_dir.filePath(target);
        if (path == "/dev/full" && !QFile::exists(path))
            QSKIP("no /dev/full here");
        if (use == "sheet:cut.tif") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(HandMadeTiff(20, 20, true, 300, 1, 20 * 20 * 5 / 2));
        } else if (use == "sheet:page.png") {
            QImage page(60, 60, QImage::Format_RGB32);
            page.fill(Qt::white);
            QVERIFY(page.save(path));
        }

        Magick::InitializeMagick(nullptr);
        const std::string magickFile = QFile::encodeName(m_dir.filePath("magick.tif")).toStdString();
        Magick::Image(Magick::Geometry(8, 8), Magick::Color("white")).write(magickFile);
        if (!magickWrote)
            Magick::Image().read(magickFile);

        if (qr) {
            const QByteArray record = MakeSheetRecord("QR", 1, 1, {1, 1, 1}, "text");
            QCOMPARE(Orlo_CreateBarcodeImage(QFile::encodeName(path).constData(),
                                             reinterpret_cast<const uint8_t*>(record.constData()), 1, 7),
                     expected);
        } else {
            QCOMPARE(OrloSim_InsertSheetFile(QFile::encodeName(path).constData()), expected);
        }
    }

    void values_data()
    {
        QTest::addColumn<int>("condition");
        QTest::addColumn<int>("illuminant");
        QTest::addColumn<int>("vexId");
        QTest::addColumn<int>("observer");
        for (int observer : {0, 1}) {
            QTest::addRow("D50/%d", observer) << 2 << 2 << 2 << observer;
            QTest::addRow("D65/%d", observer) << 3 << 3 << 3 << observer;
            QTest::addRow("UV cut/%d", observer) << 15 << 15 << 160 << observer;
        }
    }

    void values()
    {
        QFETCH(int, condition);
        QFETCH(int, illuminant);
        QFETCH(int, vexId);
        QFETCH(int, observer);
        connectManual();
        OrloSimArea area = Area(1, 1, 3000, 3000, 1000, 1000);
        const float inks[4] = {0.3f, 0.6f, 0.1f, 0.05f};
        OrloSimSheet sheet{21000, 29700, 1, &area, inks, nullptr, 0, 0, 0};
        QCOMPARE(recognise(sheet).code, 0);
        const std::vector<float> block = measuredBlock(0);
        QCOMPARE(int(block.size()), ORLO_BLOCK_SIZE);
        QVERIFY(block[0] > 0 && block[100] != 0);
        QCOMPARE(Orlo_SetOption(0, condition), 0);
        QCOMPARE(Orlo_SetOption(1, illuminant), 0);
        QCOMPARE(Orlo_SetOption(2, observer), 0);
        const float* reflectance = block.data() + (condition == 15 ? 36 : 0);
        for (int kind : {0, 1, 2}) {
            QCOMPARE(Orlo_SetOption(3, kind), 0);
            float out[3];
            QCOMPARE(Orlo_CalculateData(out, 3, block.data(), ORLO_BLOCK_SIZE), 0);
            CalColorRecord rec{};
            rec.type = kind;
            rec.observer = observer;
            rec.illuminant = vexId;
            QCOMPARE(SpectrumToColor(reflectance, 36, &rec), 0);
            for (int c = 0; c < 3; ++c)
                QVERIFY2(std::fabs(out[c] - rec.values[c]) <= 1e-5f, qPrintable(QString::number(kind)));
            // The patch data of the run gives the same values.
            const int32_t sel[3] = {0, -1, -1};
            float fetched[3];
            QCOMPARE(Orlo_GetData(sel, fetched, 3), 0);
            QCOMPARE(fetched[2], out[2]);
        }
        QCOMPARE(Orlo_SetOption(3, 11), 0);
        float spectrum[36];
        QCOMPARE(Orlo_CalculateData(spectrum, 36, block.data(), ORLO_BLOCK_SIZE), 0);
        QCOMPARE(spectrum[10], reflectance[10]);
        QVERIFY(Orlo_CalculateData(spectrum, 3, block.data(), ORLO_BLOCK_SIZE) != 0);
    }

    void densities()
    {
        const float cyan[4] = {1, 0, 0, 0};
        float block[ORLO_BLOCK_SIZE];
        connectManual();
        OrloSimArea area = Area(1, 1, 3000, 3000, 1000, 1000);
        OrloSimSheet sheet{21000, 29700, 1, &area, cyan, nullptr, 0, 0, 0};
        QCOMPARE(recognise(sheet).code, 0);
        std::vector<float> b = measuredBlock(0);
        std::copy(b.begin(), b.end(), block);
        for (int status : {3, 4, 5, 6, 7, 15}) {
            QCOMPARE(Orlo_SetOption(3, status), 0);
            float d[4];
            QCOMPARE(Orlo_CalculateData(d, 4, block, ORLO_BLOCK_SIZE), 0);
            QVERIFY2(d[0] > d[1] && d[0] > d[2] && d[0] > 1.0f, qPrintable(QString::number(status)));
        }
    }

    void userIlluminant_data()
    {
        QTest::addColumn<QVector<float>>("inks");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("neutral grey") << QVector<float>{0, 0, 0, 0.4f} << 0.1;
        QTest::newRow("cyan tint") << QVector<float>{0.4f, 0, 0, 0} << 1.0;
    }

    void userIlluminant()
    {
        QFETCH(QVector<float>, inks);
        QFETCH(double, tolerance);
        connectManual();
        OrloSimArea area = Area(1, 1, 3000, 3000, 1000, 1000);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.constData(), nullptr, 0, 0, 0};
        QCOMPARE(recognise(sheet).code, 0);
        const std::vector<float> block = measuredBlock(0);
        const CalIlluminantSlot* table = nullptr;
        int count = 0;
        QCOMPARE(GetIlluminantTable(&table, &count), 0);
        const CalIlluminantSlot* d50 = std::find_if(table, table + count, [](const CalIlluminantSlot& s) { return s.id == 2; });
        QVERIFY(d50 != table + count);
        float plain[3], user[3];
        Orlo_SetOption(0, 2);
        Orlo_SetOption(2, 0);
        Orlo_SetOption(3, 0);
        Orlo_SetOption(1, 2);
        QCOMPARE(Orlo_CalculateData(plain, 3, block.data(), ORLO_BLOCK_SIZE), 0);
        QCOMPARE(Orlo_RegisterUserIlluminant(d50->spd), 0);
        Orlo_SetOption(1, 14);
        QCOMPARE(Orlo_CalculateData(user, 3, block.data(), ORLO_BLOCK_SIZE), 0);
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::fabs(plain[c] - user[c]) <= tolerance,
                     qPrintable(QString("%1: %2 vs %3").arg(c).arg(plain[c]).arg(user[c])));
    }

    void bounds()
    {
        connectManual();
        OrloSimArea area = Area(2, 3, 3000, 3000, 1000, 1200);
        const std::vector<float> inks = DistinctInks(6);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), nullptr, 0, 0, 0};
        QCOMPARE(recognise(sheet).code, 0);
        OrloMeasurePoint points[5];
        std::memset(points, 0x5a, sizeof points);
        int32_t count = 3;
        QCOMPARE(Orlo_GetMeasurePoint(points, &count), 0);
        QCOMPARE(count, 3);
        QCOMPARE(points[3].x, 0x5a5a5a5a);

        int32_t w = 0, h = 0, b = 0;
        QCOMPARE(Orlo_GetCaptureResult(&w, &h, &b, nullptr, nullptr), 0);
        QCOMPARE(b, 8);
        QByteArray pixels(w * h, '\0');
        OrloImage wrong{w - 1, h, 8, reinterpret_cast<uint8_t*>(pixels.data())};
        QVERIFY(Orlo_GetCaptureResult(&w, &h, &b, nullptr, &wrong) != 0);
        OrloImage right{w, h, 8, reinterpret_cast<uint8_t*>(pixels.data())};
        QCOMPARE(Orlo_GetCaptureResult(&w, &h, &b, nullptr, &right), 0);
        QCOMPARE(uchar(pixels[0]), uchar(255)); // paper

        QByteArray small(101, '\x11');
        OrloClipRecord clips[2];
        OrloChartImage image{0, 0, 0, 0, 0, clips, reinterpret_cast<uint8_t*>(small.data())};
        QCOMPARE(Orlo_GetChartImage(&image, 100), 0);
        QCOMPARE(small[100], '\x11');
        QCOMPARE(image.clipCount, 0);
        image.clipCapacity = 2;
        QCOMPARE(Orlo_GetChartImage(&image, 100), 0);
        QCOMPARE(image.clipCount, 1);
        QCOMPARE(image.width, w);
        image.pixels = nullptr;
        QCOMPARE(Orlo_GetChartImage(&image, 100), 1005);
        image.pixels = reinterpret_cast<uint8_t*>(small.data());
        QCOMPARE(Orlo_GetChartImage(&image, 0), 1005);
    }

    void injectedEvents_data()
    {
        QTest::addColumn<int>("code");
        for (int code : {0, 101, 102, 103, 201, 202, 203, 204, 205, 206, 301, 12, 302})
            QTest::addRow("%d", code) << code;
    }

    void injectedEvents()
    {
        QFETCH(int, code);
        connectManual();
        OrloSim_RaiseEvent(code, 3, 4);
        QCOMPARE(OrloSim_DeliverPending(), 1);
        QCOMPARE(EventLog::events().size(), 1);
        QCOMPARE(EventLog::events()[0].code, code);
        QCOMPARE(EventLog::events()[0].value, 3);
        QCOMPARE(EventLog::events()[0].count, 4);
        OrloStatus status{};
        QCOMPARE(Orlo_GetStatus(&status), 0);
        QCOMPARE(status.state, code == 101 ? 101 : 1);
    }

    void faults()
    {
        // Library-side calls work without a connection, the rest refuse.
        float out[3];
        float block[ORLO_BLOCK_SIZE] = {0.5f};
        std::fill(block, block + 72, 0.5f);
        QCOMPARE(Orlo_SetOption(3, 0), 0);
        QCOMPARE(Orlo_CalculateData(out, 3, block, ORLO_BLOCK_SIZE), 0);
        OrloDeviceEntry devices[10];
        int32_t n = 0;
        QCOMPARE(Orlo_GetDeviceList(devices, &n, 10), 0);
        QCOMPARE(n, 1);
        QCOMPARE(QByteArray(devices[0].identity, 8), QByteArray("ORS00001"));
        OrloStatus status;
        OrloSystemInfo info;
        int32_t job = 1;
        const char name[16] = "x";
        QVERIFY(Orlo_GetStatus(&status) != 0);
        QVERIFY(Orlo_GetSystemInfo(&info) != 0);
        QVERIFY(Orlo_RegisterJob(&job, name, 1, 0) != 0);
        QVERIFY(Orlo_StartCapture() != 0);
        QVERIFY(Orlo_StartMeasurement2(0, 1) != 0);
        QVERIFY(Orlo_Disconnect() != 0);
        QVERIFY(JIG_TileMeasurement(block, 7) != 0);

        OrloDeviceEntry bad{};
        bad.kind = 0;
        QVERIFY(Orlo_Connect(&bad, "t") != 0);
        OrloDeviceEntry usb{};
        usb.kind = 1;
        std::memcpy(usb.name, "usb0", 4);
        OrloSim_FailNext("Orlo_Connect", 1901);
        QCOMPARE(Orlo_Connect(&usb, "t"), 1901); // connected, another computer too
        QCOMPARE(Orlo_GetStatus(&status), 0);
        QCOMPARE(Orlo_Disconnect(), 0);
        connectManual();
        QCOMPARE(Orlo_GetSystemInfo(&info), 0);
        QCOMPARE(QByteArray(info.serial, 8), QByteArray("ORS00001"));

        OrloSim_FailNext("Orlo_GetStatus", 77);
        QCOMPARE(Orlo_GetStatus(&status), 77);
        QCOMPARE(Orlo_GetStatus(&status), 0);

        OrloSimArea area = Area(1, 2, 3000, 3000, 1000, 1200);
        const std::vector<float> inks = DistinctInks(2);
        OrloSimSheet sheet{21000, 29700, 1, &area, inks.data(), nullptr, 0, 0, 0};
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        QCOMPARE(Orlo_StartCapture(), 0);
        OrloSim_FailNext("Orlo_StartPatchRecognition", 1001);
        QCOMPARE(Orlo_StartPatchRecognition(0, 1, nullptr, 0, nullptr), 1001);
        OrloSim_SetNextRecognition(16384, nullptr, nullptr, 0);
        QCOMPARE(Orlo_StartPatchRecognition(0, 1, nullptr, 0, nullptr), 0);
        int32_t code = 0;
        OrloLayoutRecord layout;
        QCOMPARE(Orlo_GetPatchRecognitionResult2(&code, 0, &layout), 0);
        QCOMPARE(code, 16384);

        // A forced layout is handed over as it is, however odd; points follow it.
        OrloLayoutRecord odd{};
        odd.width = 21000;
        odd.height = 29700;
        odd.areaCount = 60;
        odd.patchCount = 7;
        odd.areaCounts[0][0] = 2;
        odd.areaCounts[0][1] = 3;
        odd.areaCounts[0][2] = 6;
        odd.areaCounts[1][0] = -1;
        odd.areaCounts[1][1] = 0;
        odd.areaCounts[1][2] = 1;
        const int32_t geometry[6] = {-500, -300, 1000, 1000, 2000000000, 1500};
        std::memcpy(odd.areaGeometry[0], geometry, sizeof geometry);
        OrloSim_SetNextRecognition(0, &odd, nullptr, 0);
        QCOMPARE(Orlo_StartPatchRecognition(0, 1, nullptr, 0, nullptr), 0);
        QCOMPARE(Orlo_GetPatchRecognitionResult2(&code, 0, &layout), 0);
        QCOMPARE(code, 0);
        QCOMPARE(layout.areaCount, 60);
        QCOMPARE(layout.areaGeometry[0][0], -500);
        OrloMeasurePoint points[8];
        n = 8;
        QCOMPARE(Orlo_GetMeasurePoint(points, &n), 0);
        QCOMPARE(n, 6);
        QCOMPARE(points[3].row, 1);
        QCOMPARE(points[3].x, 0);

        OrloSim_SetCaptureFail(1);
        OrloCaptureText text{};
        QCOMPARE(Orlo_GetCaptureResult(nullptr, nullptr, nullptr, &text, nullptr), 0);
        QCOMPARE(QByteArray(text.record, 4), QByteArray("FAIL"));
        OrloSim_SetPremeasurementError(7);
        QCOMPARE(Orlo_GetPremeasurementError(0, 0), 7);
    }

    void jig()
    {
        connectManual();
        std::vector<float> blocks(7 * ORLO_BLOCK_SIZE);
        QVERIFY(JIG_TileMeasurement(blocks.data(), 6) != 0);
        OrloSim_RaiseEvent(101, 0, 0);
        QVERIFY(JIG_TileMeasurement(blocks.data(), 7) != 0);
        OrloSim_ForceStatus(-1, -1, -1, 1);
        QCOMPARE(JIG_TileMeasurement(blocks.data(), 7), 0);
        const float whiteTile = blocks[20];
        const float blackTile6 = blocks[6 * ORLO_BLOCK_SIZE + 20]; // red on strip 1
        QVERIFY(whiteTile > 0.8f && blackTile6 < whiteTile);
        QCOMPARE(JIG_TileMeasurement(blocks.data(), 7), 0);
        QVERIFY(blocks[6 * ORLO_BLOCK_SIZE + 20] < 0.1f); // strip 2 ends with black
        for (int t = 0; t < 7; ++t)
            QVERIFY(std::any_of(blocks.begin() + t * ORLO_BLOCK_SIZE, blocks.begin() + (t + 1) * ORLO_BLOCK_SIZE,
                                [](float v) { return v != 0; }));
    }

    void deltaE2000_data()
    {
        // Sharma, Wu and Dalal, Color Res. Appl. 30(1):21-30 (2005), Table 1.
        QTest::addColumn<QVector<float>>("pair");
        QTest::addColumn<double>("expected");
        QTest::newRow("1") << QVector<float>{50, 2.6772f, -79.7751f, 50, 0, -82.7485f} << 2.0425;
        QTest::newRow("7") << QVector<float>{50, 0, 0, 50, -1, 2} << 2.3669;
        QTest::newRow("10") << QVector<float>{50, 2.49f, -0.001f, 50, -2.49f, 0.001f} << 7.1792;
        QTest::newRow("17") << QVector<float>{50, 2.5f, 0, 73, 25, -18} << 27.1492;
        QTest::newRow("25") << QVector<float>{60.2574f, -34.0099f, 36.2677f, 60.4626f, -34.1751f, 39.4387f} << 1.2644;
    }

    void deltaE2000()
    {
        QFETCH(QVector<float>, pair);
        QFETCH(double, expected);
        float out = -1;
        QCOMPARE(JIG_CalculateDeltaE2000(&out, pair.constData(), pair.constData() + 3), 0);
        QVERIFY(std::fabs(out - expected) < 1e-4);
        QCOMPARE(JIG_CalculateDeltaE2000(&out, pair.constData() + 3, pair.constData()), 0);
        QVERIFY(std::fabs(out - expected) < 1e-4);
        QVERIFY(JIG_CalculateDeltaE2000(nullptr, pair.constData(), pair.constData()) != 0);
        QVERIFY(JIG_CalculateDeltaE2000(&out, nullptr, pair.constData()) != 0);
        QVERIFY(std::isnan(out));
    }
};

QTEST_GUILESS_MAIN(TestOrloSdk)
#include "tst_orlosdk.moc"
