// Document files: exact bytes of the writers, round trips, older versions, replacement pages, the checks that
// refuse damaged files, truncation at every offset and failing writes.

#include "app/documentfiles.h"
#include "docfixtures.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>

extern "C" {
// The address sanitizer's allocation hooks; null in a build without it.
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, size_t),
                                               void (*free_hook)(const volatile void *)) __attribute__((weak));
}

using namespace fixture;

namespace {

// Accepts writes until `limit` bytes are in, then fails every write.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 limit) : m_limit(limit) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 len) override
    {
        if (m_written + len > m_limit)
            return -1;
        m_written += len;
        return len;
    }

private:
    qint64 m_limit;
    qint64 m_written = 0;
};

// Knobs of a one-page designation chart file built field by field.
struct ChartKnobs {
    int version = 5;
    qint32 sheetCount = 1;
    int pagesWritten = 1;
    qint32 unit = 0;
    qint32 areaCount = 1;
    qint32 clipCount = 0;
    qint32 imageWidth = 0, imageHeight = 0, imageBits = 0;
    int imageArrayLength = -1; // -1: as the header says
    qint32 patchCount = 2;
    qint32 area = 0, row = 0, column = 1, format = 1; // of the second patch
    int colourListLength = -1;                       // -1: format + 2
    qint32 barcode = 1;
};

QByteArray ChartFile(const ChartKnobs &k)
{
    Writer w;
    w.version(k.version).t("Knobs").t("2024/01/02 03:04:05").i(2).i(1).t("{uuid}").i(k.barcode);
    w.i(k.sheetCount).i(k.unit);
    for (int p = 0; p < k.pagesWritten; ++p) {
        w.ints({21000, 29700, k.patchCount, k.areaCount});
        for (int a = 0; a < k.areaCount; ++a)
            w.ints({1, 2, 2, 1000, 2000, 600, 600, 600, 600});
        w.i(0).i(k.clipCount);
        for (int c = 0; c < k.clipCount; ++c)
            w.ints({1, 2, 3, 4, 5, 6, 7, 8});
        w.ints({k.imageWidth, k.imageHeight, k.imageBits});
        const qint64 size = ImageByteCount(k.imageWidth, k.imageHeight, k.imageBits);
        if (size > 0)
            w.b(QByteArray(k.imageArrayLength < 0 ? int(size) : k.imageArrayLength, '\x7f'));
        for (int n = 0; n < k.patchCount; ++n) {
            if (n == 0) {
                w.ints({1, 0, 0, 0, 1}).list({1, 2, 3});
            } else {
                w.ints({2, k.area, k.row, k.column, k.format});
                w.list(Sequence(k.colourListLength < 0 ? k.format + 2 : k.colourListLength, 1));
            }
        }
    }
    if (k.version >= 2)
        for (int p = 0; p < k.pagesWritten; ++p)
            w.ints({10, 20, 30, 40});
    if (k.version >= 4)
        for (int p = 0; p < k.pagesWritten; ++p)
            w.i(300);
    if (k.version >= 5)
        w.i(2);
    return w.bytes;
}

// Knobs of a one-page designation measurement file.
struct MeasureKnobs {
    int version = 2;
    qint32 pageCount = 1;
    int pagesWritten = 1;
    qint32 mode = 0;
    qint32 imageWidth = 0, imageHeight = 0, imageBits = 0;
    qint32 recordCount = 1;
    qint32 format = 1;
    int resultListLength = kInstrumentValueCount;
    int colourListLength = -1;
    int trailing = 0;
};

QByteArray MeasureFile(const MeasureKnobs &k)
{
    Writer w;
    w.version(k.version).t("Meas").t("2024/01/02 03:04:05").i(1).i(2);
    w.i(k.pageCount).i(k.mode).t("SN");
    for (int p = 0; p < k.pagesWritten; ++p) {
        w.ints({k.imageWidth, k.imageHeight, k.imageBits});
        const qint64 size = ImageByteCount(k.imageWidth, k.imageHeight, k.imageBits);
        if (size > 0)
            w.b(QByteArray(int(size), '\x01'));
        w.ints({1, k.recordCount, 1});
        for (int r = 0; r < k.recordCount; ++r) {
            w.ints({1, 0, 0, 0, 100, 200}).list(Sequence(k.resultListLength, 0.5));
            w.i(k.format).list(Sequence(k.colourListLength < 0 ? k.format + 2 : k.colourListLength, 1));
        }
        if (k.version >= 2)
            w.i(150);
    }
    w.raw(QByteArray(k.trailing, '\0'));
    return w.bytes;
}

std::atomic<bool> g_counting{false};
std::atomic<qint64> g_allocated{0};

void CountAllocation(const volatile void *, size_t size)
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocated.fetch_add(qint64(size), std::memory_order_relaxed);
}

void IgnoreFree(const volatile void *) {}

// Heap bytes handed out while call runs: every allocation counted through the sanitizer's hook, or, in a build
// without the sanitizer, the growth of the resident peak (coarser).
qint64 HeapBytesDuring(const std::function<void()> &call)
{
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
                               __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreFree) != 0;
    if (hooked) {
        g_allocated = 0;
        g_counting = true;
        call();
        g_counting = false;
        return g_allocated;
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    call();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    return qint64(after.ru_maxrss - before.ru_maxrss) * 1024;
}

// The front of a version 5 designation chart file, up to its page count.
void ChartFront(Writer &w, qint32 sheetCount)
{
    w.version(5).t("Hostile").t("2024/01/02 03:04:05").i(0).i(0).t("{uuid}").i(0);
    w.i(sheetCount).i(0);
}

// The front of a measurement file of the given version, up to its page count.
void MeasureFront(Writer &w, int version, qint32 pageCount)
{
    w.version(version).t("Hostile").t("2024/01/02 03:04:05").i(0).i(0);
    w.i(pageCount).i(0).t("SN");
}

const QByteArray kEmptyPage(9 * 4, '\0'); // sizes, counts and image header, all 0

} // namespace

class TestDocFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString Path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The writer's bytes for a one-page chart with two colour formats, a QR code and a resolution.
    void goldenDesignationChart()
    {
        ChartDefinitionDataSheets chart;
        ChartGuard guard{&chart};
        chart.SheetCount = 1;
        chart.Sheets = NewChartSheets(1);
        auto &s = chart.Sheets[0];
        s.Width = 21000;
        s.Height = 29700;
        s.PatchCount = 2;
        s.AreaCount = 1;
        s.Areas[0] = {1, 2, 2};
        s.Placements[0] = {1000, 2000, 600, 700, 650, 750};
        s.Patches = NewChartPatches(2);
        s.Patches[0] = {1, 0, 0, 0, 1, {10, 20, 30}};
        s.Patches[1] = {2, 0, 0, 1, 6, {1, 2, 3, 4, 5, 6, 7, 8}};
        s.BarcodeLeftTopX = 500;
        s.BarcodeLeftTopY = 600;
        s.BarcodeWidth = 700;
        s.BarcodeHeight = 800;
        s.ImageDPI = 300;
        chart.Barcode = 1;
        chart.Recog = 1;
        ChartDesigData record;
        record.ChartName = QStringLiteral("Golden");
        record.CreateTime = QStringLiteral("2024/01/02 03:04:05");
        record.ChartPatchCount = 2;
        record.Diameter = 3;
        record.UUID = QStringLiteral("{golden}");

        Writer w;
        w.version(5).t("Golden").t("2024/01/02 03:04:05").i(2).i(3).t("{golden}").i(1);
        w.i(1).i(0).ints({21000, 29700, 2, 1}).ints({1, 2, 2, 1000, 2000, 600, 700, 650, 750});
        w.i(0).i(0).ints({0, 0, 0});
        w.ints({1, 0, 0, 0, 1}).list({10, 20, 30});
        w.ints({2, 0, 0, 1, 6}).list({1, 2, 3, 4, 5, 6, 7, 8});
        w.ints({500, 600, 700, 800}).i(300).i(1);

        const QString path = Path("golden.vrchart");
        QCOMPARE(SaveChartFile(path, &record, chart), kDocumentOk);
        QCOMPARE(ReadAll(path), w.bytes);
    }

    // Two density measurement pages, the first with a 3 x 2 x 24-bit image.
    void goldenDensityMeasurement()
    {
        MeasurementDataSheets m = MakeMeasurement(2, 1);
        MeasurementGuard guard{&m};
        m.Mode = 1;
        m.SerialNumber = QStringLiteral("SN123");
        m.BarcodeText1 = QStringLiteral("ABC");
        m.BarcodeText2 = QStringLiteral("DEF");
        auto &p0 = m.Sheets[0];
        p0.Width = 3;
        p0.Height = 2;
        p0.BitPerPixel = 24;
        p0.ImageBytes = NewImageBytes(18);
        for (int k = 0; k < 18; ++k)
            p0.ImageBytes[k] = static_cast<unsigned char>(k * 13);
        m.Sheets[0].Records[0].ColorFormat = 2;
        m.Sheets[0].Records[0].ColorValue[3] = 40.0f;
        m.Sheets[1].MeasuredCount = 0;
        ChartDesigMeasureData record;
        record.ChartName = QStringLiteral("DM");
        record.CreateTime = QStringLiteral("2024/05/06 07:08:09");
        record.RecordCount = 2;
        record.Diameter = 1;

        QByteArray image;
        for (int k = 0; k < 18; ++k)
            image.append(char(k * 13));
        Writer w;
        w.version(3).t("DM").t("2024/05/06 07:08:09").i(2).i(1);
        w.i(2).i(1).t("SN123");
        w.ints({3, 2, 24}).b(image).ints({1, 1, 1});
        w.ints({1, 0, 0, 0, 1000, 2000}).list(Sequence(152, 0.0, 0.25)).i(2).list({10, 20, 30, 40}).i(200);
        w.ints({0, 0, 0}).ints({2, 1, 0});
        w.ints({1, 0, 0, 0, 1000, 2000}).list(Sequence(152, 1.0, 0.25)).i(1).list({10, 20, 30}).i(200);
        w.t("ABC").t("DEF");

        const QString path = Path("golden.vrmeas");
        QCOMPARE(SaveDensityMeasureFile(path, &record, m), kDocumentOk);
        QCOMPARE(ReadAll(path), w.bytes);
    }

    // The writer's bytes for the kinds that share the blocks above: a density chart, a designation measurement
    // and a recognition measurement, each of one page with one patch or record.
    void goldenOtherKinds()
    {
        ChartDefinitionDataSheets chart = MakeChart(1, 1, 1);
        MeasurementDataSheets m = MakeMeasurement(1, 1);
        ChartGuard g1{&chart};
        MeasurementGuard g2{&m};
        m.Sheets[0].Records[0].ColorFormat = 3;
        m.Sheets[0].Records[0].ColorValue[4] = 0.125f;

        Writer page;
        page.ints({21000, 29700, 1, 1}).ints({1, 1, 1, 1000, 2000, 600, 600, 600, 600});
        page.i(0).i(0).ints({0, 0, 0}).ints({1, 0, 0, 0, 1}).list({0, 100, 200});
        Writer measured;
        measured.i(1).i(0).t("SN000001").ints({0, 0, 0}).ints({1, 1, 1});
        measured.ints({1, 0, 0, 0, 1000, 2000}).list(Sequence(152, 0.0, 0.25));
        measured.i(3).list({10, 20, 30, 0, 0.125}).i(200);

        DensityBalanceData density;
        density.Template = 7;
        density.SecondNumber = 2;
        density.ChartName = QStringLiteral("D");
        density.CreateTime = QStringLiteral("2024/01/02 03:04:05");
        density.ChartPatchCount = 1;
        density.Diameter = 4;
        density.UUID = QStringLiteral("{d}");
        Writer w;
        w.version(2).i(7).i(2).t("D").t("2024/01/02 03:04:05").i(1).i(4).t("{d}").i(1).i(0);
        w.raw(page.bytes).i(1);
        QCOMPARE(SaveDensityChartFile(Path("golden_density.vrchart"), &density, chart), kDocumentOk);
        QCOMPARE(ReadAll(Path("golden_density.vrchart")), w.bytes);

        ChartDesigMeasureData record;
        record.ChartName = QStringLiteral("M");
        record.CreateTime = QStringLiteral("2024/01/02 03:04:05");
        record.RecordCount = 1;
        record.Diameter = 2;
        Writer mw;
        mw.version(2).t("M").t("2024/01/02 03:04:05").i(1).i(2).raw(measured.bytes);
        QCOMPARE(SaveMeasureFile(Path("golden.vrmeas"), &record, m), kDocumentOk);
        QCOMPARE(ReadAll(Path("golden.vrmeas")), mw.bytes);

        ChartRecogData recognition;
        recognition.ChartName = QStringLiteral("R");
        recognition.CreateTime = QStringLiteral("2024/01/02 03:04:05");
        recognition.RecordCount = 1;
        recognition.Diameter = 3;
        Writer rw;
        rw.version(2).t("R").t("2024/01/02 03:04:05").i(1).i(3).i(1).i(0).raw(page.bytes).raw(measured.bytes);
        QCOMPARE(SaveRecognitionFile(Path("golden_recognition.vrmeas"), &recognition, chart, m), kDocumentOk);
        QCOMPARE(ReadAll(Path("golden_recognition.vrmeas")), rw.bytes);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("designation chart") << 0;
        QTest::newRow("density chart") << 1;
        QTest::newRow("designation measurement") << 2;
        QTest::newRow("density measurement") << 3;
        QTest::newRow("recognition measurement") << 4;
    }

    // Write, read, write: the same bytes.
    void roundTrip()
    {
        QFETCH(int, kind);
        ChartDefinitionDataSheets chart = MakeChart(2);
        MeasurementDataSheets m = MakeMeasurement(2);
        ChartGuard g1{&chart};
        MeasurementGuard g2{&m};
        chart.Barcode = 1;
        m.BarcodeText1 = QStringLiteral("A");
        m.BarcodeText2 = QStringLiteral("B");
        const QString first = Path(QStringLiteral("rt%1a").arg(kind));
        const QString second = Path(QStringLiteral("rt%1b").arg(kind));
        ChartDefinitionDataSheets readChart;
        MeasurementDataSheets readMeasurement;
        ChartGuard g3{&readChart};
        MeasurementGuard g4{&readMeasurement};
        switch (kind) {
        case 0: {
            ChartDesigData r{1, 0, 0, 2, chart.ChartPatchCount, 2, 0, "{u}", "Name", "2024/01/01 00:00:00", 1};
            QCOMPARE(SaveChartFile(first, &r, chart), kDocumentOk);
            ChartDesigData back;
            QCOMPARE(ReadChartFile(&back, &readChart, first), kDocumentOk);
            QCOMPARE(back.ChartName, r.ChartName);
            QCOMPARE(back.SheetCount, 2);
            QCOMPARE(readChart.Sheets[1].Patches[3].ID, 8);
            QCOMPARE(SaveChartFile(second, &back, readChart), kDocumentOk);
            break;
        }
        case 1: {
            DensityBalanceData r;
            r.Template = 7;
            r.SecondNumber = 1;
            r.ChartName = "D";
            r.ChartPatchCount = chart.ChartPatchCount;
            QCOMPARE(SaveDensityChartFile(first, &r, chart), kDocumentOk);
            DensityBalanceData back;
            QCOMPARE(ReadDensityChartFile(&back, &readChart, first), kDocumentOk);
            QCOMPARE(back.Template, 7);
            QCOMPARE(back.SecondNumber, 1);
            QCOMPARE(readChart.Kind, 1);
            QCOMPARE(SaveDensityChartFile(second, &back, readChart), kDocumentOk);
            break;
        }
        case 2:
        case 3: {
            ChartDesigMeasureData r{1, 1, m.RecordCount, 2, "M", "2024/01/01 00:00:00"};
            auto save = kind == 2 ? static_cast<int (*)(const QString &, ChartDesigMeasureData *,
                                                        const MeasurementDataSheets &, const MeasurementData *, int)>(
                                        SaveMeasureFile)
                                  : static_cast<int (*)(const QString &, ChartDesigMeasureData *,
                                                        const MeasurementDataSheets &, const MeasurementData *, int)>(
                                        SaveDensityMeasureFile);
            auto read = kind == 2 ? ReadMeasureFile : ReadDensityMeasureFile;
            QCOMPARE(save(first, &r, m, nullptr, -1), kDocumentOk);
            ChartDesigMeasureData back;
            QCOMPARE(read(&back, &readMeasurement, first), kDocumentOk);
            QCOMPARE(readMeasurement.SheetCount, 2);
            QCOMPARE(readMeasurement.Sheets[1].Records[2].Values[151], m.Sheets[1].Records[2].Values[151]);
            QCOMPARE(readMeasurement.BarcodeText1, kind == 3 ? QStringLiteral("A") : QString());
            QCOMPARE(save(second, &back, readMeasurement, nullptr, -1), kDocumentOk);
            break;
        }
        case 4: {
            ChartRecogData r{1, 0, m.RecordCount, 2, "R", "2024/01/01 00:00:00"};
            QCOMPARE(SaveRecognitionFile(first, &r, chart, m), kDocumentOk);
            ChartRecogData back;
            QCOMPARE(ReadRecognitionFile(&back, &readChart, &readMeasurement, first), kDocumentOk);
            QCOMPARE(readChart.ChartPatchCount, 4);
            QCOMPARE(readMeasurement.SheetCount, 2);
            QCOMPARE(SaveRecognitionFile(second, &back, readChart, readMeasurement), kDocumentOk);
            break;
        }
        }
        QCOMPARE(ReadAll(second), ReadAll(first));
    }

    // Charts come back without page images and clip areas; measurement pages keep their images.
    void imagesOnRead()
    {
        ChartDefinitionDataSheets chart = MakeChart(1);
        MeasurementDataSheets m = MakeMeasurement(1);
        ChartGuard g1{&chart};
        MeasurementGuard g2{&m};
        auto &s = chart.Sheets[0];
        s.HasImage = 1;
        s.ImageWidth = 4;
        s.ImageHeight = 3;
        s.BitPerPixel = 8;
        s.ImageBytes = NewImageBytes(12);
        std::fill_n(s.ImageBytes.get(), 12, 0);
        s.ClipAreaCount = 2;
        s.ClipAreas[1] = {1, 2, 3, 4, 5, 6, 7, 8};
        auto &p = m.Sheets[0];
        p.Width = 4;
        p.Height = 3;
        p.BitPerPixel = 8;
        p.ImageBytes = NewImageBytes(12);
        for (int k = 0; k < 12; ++k)
            p.ImageBytes[k] = static_cast<unsigned char>(200 + k);

        ChartRecogData record;
        const QString path = Path("images.vrmeas");
        QCOMPARE(SaveRecognitionFile(path, &record, chart, m), kDocumentOk);
        ChartDefinitionDataSheets readChart;
        MeasurementDataSheets readMeasurement;
        ChartGuard g3{&readChart};
        MeasurementGuard g4{&readMeasurement};
        QCOMPARE(ReadRecognitionFile(&record, &readChart, &readMeasurement, path), kDocumentOk);
        const auto &rs = readChart.Sheets[0];
        QCOMPARE(rs.HasImage, 0);
        QCOMPARE(rs.ClipAreaCount, 0);
        QCOMPARE(rs.ClipAreas[1].RightBottomY, 0);
        QCOMPARE(rs.ImageWidth + rs.ImageHeight + rs.BitPerPixel, 0);
        QVERIFY(!rs.ImageBytes);
        const auto &rp = readMeasurement.Sheets[0];
        QCOMPARE(rp.Width, 4);
        QVERIFY(rp.ImageBytes);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(rp.ImageBytes.get()), 12),
                 QByteArray(reinterpret_cast<const char *>(p.ImageBytes.get()), 12));
    }

    // Groups a version lacks are filled as older files expect.
    void olderVersions()
    {
        ChartKnobs k;
        ChartDefinitionDataSheets chart;
        ChartGuard g{&chart};
        ChartDesigData record;
        for (int version : {1, 4}) {
            k.version = version;
            QVERIFY(WriteFile(Path("old.vrchart"), ChartFile(k)));
            QCOMPARE(ReadChartFile(&record, &chart, Path("old.vrchart")), kDocumentOk);
            QCOMPARE(chart.Recog, 4);
            QCOMPARE(record.Recog, 4);
            QCOMPARE(chart.Sheets[0].BarcodeLeftTopX, version == 1 ? 0 : 10);
            QCOMPARE(chart.Sheets[0].BarcodeHeight, version == 1 ? 0 : 40);
            QCOMPARE(chart.Sheets[0].ImageDPI, version == 1 ? 0 : 300);
        }

        Writer density;
        density.version(1).i(7).i(0).t("A4_1").t("2018/01/01 00:00:00").i(1).i(0).t("{u}");
        density.i(1).i(0).ints({21000, 29700, 1, 1}).ints({1, 1, 1, 400, 0, 600, 600, 600, 600});
        density.ints({0, 0, 0, 0, 0}).ints({1, 0, 0, 0, 2}).list({0, 0, 0, 100});
        QVERIFY(WriteFile(Path("old_density.vrchart"), density.bytes));
        DensityBalanceData densityRecord;
        QCOMPARE(ReadDensityChartFile(&densityRecord, &chart, Path("old_density.vrchart")), kDocumentOk);
        QCOMPARE(chart.Recog, 4);
        QCOMPARE(densityRecord.Template, 7);

        MeasureKnobs mk;
        mk.version = 1;
        MeasurementDataSheets m;
        MeasurementGuard gm{&m};
        ChartDesigMeasureData measureRecord;
        QVERIFY(WriteFile(Path("old.vrmeas"), MeasureFile(mk)));
        QCOMPARE(ReadMeasureFile(&measureRecord, &m, Path("old.vrmeas")), kDocumentOk);
        QCOMPARE(m.Sheets[0].ImageDPI, 150);

        // A version 2 density measurement has no barcode texts.
        mk.version = 2;
        QVERIFY(WriteFile(Path("old_density.vrmeas"), MeasureFile(mk)));
        QCOMPARE(ReadDensityMeasureFile(&measureRecord, &m, Path("old_density.vrmeas")), kDocumentOk);
        QVERIFY(m.BarcodeText1.isEmpty() && m.BarcodeText2.isEmpty());
        QCOMPARE(m.Sheets[0].ImageDPI, 150);

        // A version 1 recognition measurement: pages block, then a measurement block without resolutions.
        Writer recog;
        recog.version(1).t("R").t("2024/01/01 00:00:00").i(1).i(0);
        recog.i(1).i(0).ints({21000, 29700, 1, 1}).ints({1, 1, 1, 400, 0, 600, 600, 600, 600});
        recog.ints({0, 0, 0, 0, 0}).ints({1, 0, 0, 0, 1}).list({1, 2, 3});
        recog.i(2).i(0).t("SN");
        for (int p = 0; p < 2; ++p) {
            recog.ints({0, 0, 0}).ints({p + 1, 1, 1});
            recog.ints({1, 0, 0, 0, 0, 0}).list(Sequence(152, 1)).i(1).list({1, 2, 3});
        }
        QVERIFY(WriteFile(Path("old_recog.vrmeas"), recog.bytes));
        ChartRecogData recogRecord;
        QCOMPARE(ReadRecognitionFile(&recogRecord, &chart, &m, Path("old_recog.vrmeas")), kDocumentOk);
        QCOMPARE(m.SheetCount, 2);
        QCOMPARE(m.Sheets[0].ImageDPI, 150);
        QCOMPARE(m.Sheets[1].ImageDPI, 150);
        QCOMPARE(m.Sheets[1].PageNumber, 2);
    }

    void replacementChartPage()
    {
        ChartDefinitionDataSheets chart = MakeChart(3);
        ChartGuard g1{&chart};
        ChartDefinitionData::Sheet page;
        FillPage(&page, 3, 3, 100);
        page.BarcodeLeftTopX = 4444;
        page.ImageDPI = 600;
        ChartDesigData record;
        record.ChartPatchCount = chart.ChartPatchCount;
        const QString path = Path("replace.vrchart");

        QCOMPARE(SaveChartFile(path, &record, chart, &page, 1), kDocumentOk);
        QCOMPARE(record.ChartPatchCount, 12 - 4 + 9);
        ChartDefinitionDataSheets back;
        ChartGuard g2{&back};
        ChartDesigData backRecord;
        QCOMPARE(ReadChartFile(&backRecord, &back, path), kDocumentOk);
        QCOMPARE(back.SheetCount, 3);
        QCOMPARE(back.ChartPatchCount, 17);
        QCOMPARE(back.Sheets[1].PatchCount, 9);
        QCOMPARE(back.Sheets[1].Patches[8].ID, 108);
        QCOMPARE(back.Sheets[1].BarcodeLeftTopX, 4444);
        QCOMPARE(back.Sheets[1].ImageDPI, 600);
        QCOMPARE(back.Sheets[2].BarcodeLeftTopX, 400);
        QCOMPARE(back.Sheets[2].Patches[0].ID, 9);

        record.ChartPatchCount = 12;
        QCOMPARE(SaveChartFile(path, &record, chart, &page, -1), kDocumentOk);
        QCOMPARE(record.ChartPatchCount, 21);
        QCOMPARE(ReadChartFile(&backRecord, &back, path), kDocumentOk);
        QCOMPARE(back.SheetCount, 4);
        QCOMPARE(back.Sheets[3].PatchCount, 9);
        QCOMPARE(back.Sheets[3].ImageDPI, 600);
        QCOMPARE(back.Sheets[0].PatchCount, 4);

        // An index past the pages writes nothing.
        const QByteArray before = ReadAll(path);
        QCOMPARE(SaveChartFile(path, &record, chart, &page, 3), kDocumentInvalid);
        QCOMPARE(ReadAll(path), before);
        ClearSheetData(&page);
    }

    void replacementMeasurementPage()
    {
        MeasurementDataSheets m = MakeMeasurement(2, 4);
        MeasurementGuard g1{&m};
        MeasurementData page;
        FillMeasuredPage(&page, 3, 6, 50.0f);
        ChartDesigMeasureData record;
        record.RecordCount = 8;
        const QString path = Path("append.vrmeas");
        QCOMPARE(SaveMeasureFile(path, &record, m, &page, -1), kDocumentOk);
        QCOMPARE(record.RecordCount, 14);
        // The page count field follows the fixed header: version, two texts and two ints.
        MeasurementDataSheets back;
        MeasurementGuard g2{&back};
        ChartDesigMeasureData backRecord;
        QCOMPARE(ReadMeasureFile(&backRecord, &back, path), kDocumentOk);
        QCOMPARE(back.SheetCount, 3);
        QCOMPARE(back.Sheets[0].PageNumber, 1);
        QCOMPARE(back.Sheets[1].PageNumber, 2);
        QCOMPARE(back.Sheets[2].PageNumber, 3);
        QCOMPARE(back.Sheets[2].RecordCount, 6);

        // Replace page 1 of the three.
        QCOMPARE(SaveMeasureFile(path, &backRecord, back, &page, 1), kDocumentOk);
        QCOMPARE(backRecord.RecordCount, 14 - 4 + 6);
        MeasurementDataSheets again;
        MeasurementGuard g3{&again};
        QCOMPARE(ReadMeasureFile(&backRecord, &again, path), kDocumentOk);
        QCOMPARE(again.SheetCount, 3);
        QCOMPARE(again.Sheets[1].PageNumber, 3);
        QCOMPARE(again.Sheets[1].Records[5].Values[0], 50.0f);
        QCOMPARE(again.RecordCount, 16);
        ClearMeasurementPage(&page);
    }

    void invalidChart_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("result");
        enum { None, SheetCount, Unit, AreaCount, Area, Row, Column, Format, Barcode, ClipCount, PatchCount,
               ColourList, ImageWidth, HugeImage, ShortImage, HugeSheetCount };
        QTest::newRow("valid") << int(None) << 0 << kDocumentOk;
        QTest::newRow("SheetCount -1") << int(SheetCount) << -1 << kDocumentInvalid;
        QTest::newRow("UNIT 2") << int(Unit) << 2 << kDocumentInvalid;
        QTest::newRow("AreaCount 51") << int(AreaCount) << 51 << kDocumentInvalid;
        QTest::newRow("AreaCount 50") << int(AreaCount) << 50 << kDocumentOk;
        QTest::newRow("Area = AreaCount") << int(Area) << 1 << kDocumentInvalid;
        QTest::newRow("Area -1") << int(Area) << -1 << kDocumentInvalid;
        QTest::newRow("Row = RowCount") << int(Row) << 1 << kDocumentInvalid;
        QTest::newRow("Row -1") << int(Row) << -1 << kDocumentInvalid;
        QTest::newRow("Column = ColumnCount") << int(Column) << 2 << kDocumentInvalid;
        QTest::newRow("Column -1") << int(Column) << -1 << kDocumentInvalid;
        QTest::newRow("ColorFormat 7") << int(Format) << 7 << kDocumentInvalid;
        QTest::newRow("ColorFormat -1") << int(Format) << -1 << kDocumentInvalid;
        QTest::newRow("Barcode 2") << int(Barcode) << 2 << kDocumentInvalid;
        QTest::newRow("ClipAreaCount 51") << int(ClipCount) << 51 << kDocumentInvalid;
        QTest::newRow("ClipAreaCount -1") << int(ClipCount) << -1 << kDocumentInvalid;
        QTest::newRow("ClipAreaCount 50") << int(ClipCount) << 50 << kDocumentOk;
        QTest::newRow("PatchCount -1") << int(PatchCount) << -1 << kDocumentInvalid;
        QTest::newRow("colour list of 9") << int(ColourList) << 9 << kDocumentInvalid;
        QTest::newRow("colour list shorter than its format") << int(ColourList) << 2 << kDocumentInvalid;
        QTest::newRow("image width -1") << int(ImageWidth) << -1 << kDocumentInvalid;
        QTest::newRow("image 100000 x 100000 x 32, 10 bytes") << int(HugeImage) << 0 << kDocumentInvalid;
        QTest::newRow("image array one byte short") << int(ShortImage) << 0 << kDocumentInvalid;
        QTest::newRow("SheetCount 1000000000") << int(HugeSheetCount) << 0 << kDocumentInvalid;
    }

    void invalidChart()
    {
        QFETCH(int, field);
        QFETCH(int, value);
        QFETCH(int, result);
        ChartKnobs k;
        switch (field) {
        case 1: k.sheetCount = value; k.pagesWritten = 0; break;
        case 2: k.unit = value; break;
        case 3: k.areaCount = value; break;
        case 4: k.area = value; break;
        case 5: k.row = value; break;
        case 6: k.column = value; break;
        case 7: k.format = value; k.colourListLength = 3; break;
        case 8: k.barcode = value; break;
        case 9: k.clipCount = value; break;
        case 10: k.patchCount = value; break;
        case 11: k.format = 6; k.colourListLength = value; break;
        case 12: k.imageWidth = value; k.imageHeight = 2; k.imageBits = 8; break;
        case 13: k.imageWidth = k.imageHeight = 100000; k.imageBits = 32; k.imageArrayLength = 10; break;
        case 14: k.imageWidth = 3; k.imageHeight = 2; k.imageBits = 24; k.imageArrayLength = 17; break;
        case 15: k.sheetCount = 1000000000; break;
        }
        QVERIFY(WriteFile(Path("invalid.vrchart"), ChartFile(k)));
        ChartDesigData record;
        record.ChartName = QStringLiteral("untouched");
        ChartDefinitionDataSheets chart;
        ChartGuard g{&chart};
        QCOMPARE(ReadChartFile(&record, &chart, Path("invalid.vrchart")), result);
        if (result != kDocumentOk) {
            QCOMPARE(record.ChartName, QStringLiteral("untouched"));
            QVERIFY(!chart.Sheets);
        }
    }

    void invalidMeasurement_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("result");
        enum { None, PageCount, Mode, Format, ImageWidth, Trailing, RecordCount, ResultList, ColourList };
        QTest::newRow("valid") << int(None) << 0 << kDocumentOk;
        QTest::newRow("page count -1") << int(PageCount) << -1 << kDocumentInvalid;
        QTest::newRow("mode 4") << int(Mode) << 4 << kDocumentInvalid;
        QTest::newRow("mode -1") << int(Mode) << -1 << kDocumentInvalid;
        QTest::newRow("record ColorFormat 7") << int(Format) << 7 << kDocumentInvalid;
        QTest::newRow("image width -1") << int(ImageWidth) << -1 << kDocumentInvalid;
        QTest::newRow("one byte after the block") << int(Trailing) << 1 << kDocumentInvalid;
        QTest::newRow("record count -1") << int(RecordCount) << -1 << kDocumentInvalid;
        QTest::newRow("result list of 153") << int(ResultList) << 153 << kDocumentInvalid;
        QTest::newRow("result list shorter") << int(ResultList) << 10 << kDocumentInvalid;
        QTest::newRow("colour list of 9") << int(ColourList) << 9 << kDocumentInvalid;
    }

    void invalidMeasurement()
    {
        QFETCH(int, field);
        QFETCH(int, value);
        QFETCH(int, result);
        MeasureKnobs k;
        switch (field) {
        case 1: k.pageCount = value; k.pagesWritten = 0; break;
        case 2: k.mode = value; break;
        case 3: k.format = value; k.colourListLength = 3; break;
        case 4: k.imageWidth = value; k.imageHeight = 1; k.imageBits = 8; break;
        case 5: k.trailing = value; break;
        case 6: k.recordCount = value; break;
        case 7: k.resultListLength = value; break;
        case 8: k.colourListLength = value; break;
        }
        QVERIFY(WriteFile(Path("invalid.vrmeas"), MeasureFile(k)));
        ChartDesigMeasureData record;
        MeasurementDataSheets m;
        MeasurementGuard g{&m};
        QCOMPARE(ReadMeasureFile(&record, &m, Path("invalid.vrmeas")), result);
        if (result != kDocumentOk)
            QVERIFY(!m.Sheets);
    }

    // Counts a file claims but does not hold, as the records are stored, are refused before anything is sized by
    // them; pages are held only while they are wanted.
    void hostileCounts_data()
    {
        QTest::addColumn<int>("kind"); // 0 designation chart, 1 density chart, 2 measurement, 3 density, 4 recognition
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("filled"); // read into a chart / measurement, or only for the list entry
        QTest::addColumn<int>("result");

        // Empty pages, but without their barcode and resolution entries.
        Writer pages;
        ChartFront(pages, 50000);
        for (int p = 0; p < 50000; ++p)
            pages.raw(kEmptyPage);
        QTest::newRow("pages without their trailing blocks") << 0 << pages.bytes << true << kDocumentInvalid;

        Writer garbage;
        ChartFront(garbage, 30000);
        garbage.raw(QByteArray(30000 * 56, '\xff'));
        QTest::newRow("pages the rest of the file does not bear out") << 0 << garbage.bytes << true
                                                                       << kDocumentInvalid;

        Writer many;
        ChartFront(many, 3000);
        for (int p = 0; p < 3000; ++p)
            many.raw(kEmptyPage);
        for (int p = 0; p < 3000; ++p)
            many.ints({0, 0, 0, 0, 0});
        many.i(1);
        QTest::newRow("list entry of a chart of 3000 pages") << 0 << many.bytes << false << kDocumentOk;

        Writer image;
        ChartFront(image, 1);
        image.ints({21000, 29700, 0, 0, 1, 0, 1024, 512, 32}).b(QByteArray(1024 * 512 * 4, '\x7f'));
        image.ints({0, 0, 0, 0, 0, 1});
        QTest::newRow("page image of 2 MB, dropped") << 0 << image.bytes << true << kDocumentOk;

        Writer patches;
        patches.version(2).i(7).i(0).t("Hostile").t("2024/01/02 03:04:05").i(0).i(0).t("{uuid}");
        patches.i(1).i(0).ints({21000, 29700, 100000, 0, 0, 0, 0, 0, 0}).raw(QByteArray(100000 * 24, '\0'));
        QTest::newRow("patches of 24 bytes each") << 1 << patches.bytes << true << kDocumentInvalid;

        // Records of six ints, two empty lists and a format: 36 bytes where a stored record takes 1268.
        Writer records;
        MeasureFront(records, 2, 1);
        records.ints({0, 0, 0, 1, 60000, 0}).raw(QByteArray(60000 * 36, '\0')).i(150);
        QTest::newRow("records with empty lists") << 2 << records.bytes << true << kDocumentInvalid;

        Writer measuredPages;
        MeasureFront(measuredPages, 3, 100000);
        measuredPages.raw(QByteArray(100000 * 24, '\0'));
        QTest::newRow("measured pages without their resolution") << 3 << measuredPages.bytes << true
                                                                  << kDocumentInvalid;

        Writer text;
        text.version(2).i(0x7ffffff0).raw(QByteArray(1000, 'a'));
        QTest::newRow("name of 2 GB") << 4 << text.bytes << true << kDocumentInvalid;
    }

    void hostileCounts()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, filled);
        QFETCH(int, result);
        const QString path = Path("hostile.doc");
        QVERIFY(WriteFile(path, bytes));
        ChartDefinitionDataSheets chart;
        MeasurementDataSheets measurement;
        ChartGuard g1{&chart};
        MeasurementGuard g2{&measurement};
        ChartDefinitionDataSheets *c = filled ? &chart : nullptr;
        MeasurementDataSheets *m = filled ? &measurement : nullptr;
        int read = -1;
        const qint64 heap = HeapBytesDuring([&] {
            ChartDesigData chartRecord;
            DensityBalanceData densityRecord;
            ChartDesigMeasureData measureRecord;
            ChartRecogData recogRecord;
            switch (kind) {
            case 0: read = ReadChartFile(&chartRecord, c, path); break;
            case 1: read = ReadDensityChartFile(&densityRecord, c, path); break;
            case 2: read = ReadMeasureFile(&measureRecord, m, path); break;
            case 3: read = ReadDensityMeasureFile(&measureRecord, m, path); break;
            case 4: read = ReadRecognitionFile(&recogRecord, c, m, path); break;
            }
        });
        QCOMPARE(read, result);
        QVERIFY2(heap < 1024 * 1024, qPrintable(QStringLiteral("the read took %1 bytes of heap").arg(heap)));
    }

    // Extra bytes after a density measurement are ignored; the short text is cut to eight characters.
    void densityMeasurementTail()
    {
        MeasurementDataSheets m = MakeMeasurement(1, 1);
        MeasurementGuard g{&m};
        m.SerialNumber = QStringLiteral("0123456789");
        ChartDesigMeasureData record;
        const QString path = Path("tail.vrmeas");
        QCOMPARE(SaveDensityMeasureFile(path, &record, m), kDocumentOk);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("extra bytes");
        file.close();
        MeasurementDataSheets back;
        MeasurementGuard g2{&back};
        QCOMPARE(ReadDensityMeasureFile(&record, &back, path), kDocumentOk);
        QCOMPARE(back.SerialNumber, QStringLiteral("01234567"));
    }

    void truncation_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("designation chart") << 0;
        QTest::newRow("density chart") << 1;
        QTest::newRow("designation measurement") << 2;
        QTest::newRow("density measurement") << 3;
        QTest::newRow("recognition measurement") << 4;
    }

    // A file cut at any offset is refused by the reader, leaving nothing allocated, and by the list reader. The
    // whole file, and the file with bytes after its end, list as the reader reads them for a list entry.
    void truncation()
    {
        QFETCH(int, kind);
        ChartDefinitionDataSheets chart = MakeChart(1, 1, 2);
        MeasurementDataSheets m = MakeMeasurement(1, 1);
        ChartGuard g1{&chart};
        MeasurementGuard g2{&m};
        chart.Sheets[0].ImageWidth = 2;
        chart.Sheets[0].ImageHeight = 1;
        chart.Sheets[0].BitPerPixel = 8;
        chart.Sheets[0].ImageBytes = NewImageBytes(2);
        std::fill_n(chart.Sheets[0].ImageBytes.get(), 2, 0);
        chart.Sheets[0].ClipAreaCount = 1;
        m.BarcodeText1 = QStringLiteral("T1");
        const QString full = Path(QStringLiteral("full%1").arg(kind));
        ChartDesigData chartRecord;
        DensityBalanceData densityRecord;
        ChartDesigMeasureData measureRecord;
        ChartRecogData recogRecord;
        switch (kind) {
        case 0: QCOMPARE(SaveChartFile(full, &chartRecord, chart), kDocumentOk); break;
        case 1: QCOMPARE(SaveDensityChartFile(full, &densityRecord, chart), kDocumentOk); break;
        case 2: QCOMPARE(SaveMeasureFile(full, &measureRecord, m), kDocumentOk); break;
        case 3: QCOMPARE(SaveDensityMeasureFile(full, &measureRecord, m), kDocumentOk); break;
        case 4: QCOMPARE(SaveRecognitionFile(full, &recogRecord, chart, m), kDocumentOk); break;
        }
        // The result and the list entry's fields of the list reader (list) or the reader without pages.
        auto entry = [&](const QString &path, bool list) {
            ChartDesigData c;
            DensityBalanceData d;
            ChartDesigMeasureData m;
            ChartRecogData r;
            int result = -1;
            switch (kind) {
            case 0: result = list ? ListChartFile(&c, path) : ReadChartFile(&c, nullptr, path); break;
            case 1: result = list ? ListDensityChartFile(&d, path) : ReadDensityChartFile(&d, nullptr, path); break;
            case 2: result = list ? ListMeasureFile(&m, path) : ReadMeasureFile(&m, nullptr, path); break;
            case 3:
                result = list ? ListDensityMeasureFile(&m, path) : ReadDensityMeasureFile(&m, nullptr, path);
                break;
            case 4:
                result = list ? ListRecognitionFile(&r, path) : ReadRecognitionFile(&r, nullptr, nullptr, path);
                break;
            }
            return QStringList{QString::number(result), c.ChartName, c.CreateTime, c.UUID,
                               QString::number(c.SheetCount), QString::number(c.ChartPatchCount),
                               QString::number(c.Diameter), QString::number(c.Recog), QString::number(c.Kind),
                               d.ChartName, d.UUID, QString::number(d.SheetCount), QString::number(d.Template),
                               QString::number(d.SecondNumber), QString::number(d.Kind), m.ChartName,
                               m.CreateTime, QString::number(m.RecordCount), QString::number(m.Diameter),
                               r.ChartName, QString::number(r.RecordCount), QString::number(r.Diameter)};
        };
        const QByteArray bytes = ReadAll(full);
        QCOMPARE(entry(full, true).first(), QString::number(kDocumentOk));
        QCOMPARE(entry(full, true), entry(full, false));
        const QString longer = Path(QStringLiteral("longer%1").arg(kind));
        QVERIFY(WriteFile(longer, bytes + QByteArray(3, '\0')));
        QCOMPARE(entry(longer, true), entry(longer, false));
        const QString cut = Path(QStringLiteral("cut%1").arg(kind));
        for (int size = 0; size < bytes.size(); ++size) {
            QVERIFY(WriteFile(cut, bytes.left(size)));
            if (entry(cut, true).first() != QString::number(kDocumentInvalid))
                QFAIL(qPrintable(QStringLiteral("listing cut at %1 of %2").arg(size).arg(bytes.size())));
            ChartDefinitionDataSheets c;
            MeasurementDataSheets r;
            int result = -1;
            switch (kind) {
            case 0: result = ReadChartFile(&chartRecord, &c, cut); break;
            case 1: result = ReadDensityChartFile(&densityRecord, &c, cut); break;
            case 2: result = ReadMeasureFile(&measureRecord, &r, cut); break;
            case 3: result = ReadDensityMeasureFile(&measureRecord, &r, cut); break;
            case 4: result = ReadRecognitionFile(&recogRecord, &c, &r, cut); break;
            }
            if (result != kDocumentInvalid)
                QFAIL(qPrintable(QStringLiteral("cut at %1 of %2 gave %3").arg(size).arg(bytes.size()).arg(result)));
            QVERIFY(!c.Sheets && !r.Sheets);
        }
    }

    // A file too large to be read whole for its list entry is mapped; it lists the same, and cut it is refused.
    void largeFileListing()
    {
        MeasurementDataSheets m = MakeMeasurement(1, 2);
        MeasurementGuard g{&m};
        auto &page = m.Sheets[0];
        page.Width = 1500;
        page.Height = 1000;
        page.BitPerPixel = 24;
        page.ImageBytes = NewImageBytes(size_t(ImageByteCount(1500, 1000, 24)));
        std::fill_n(page.ImageBytes.get(), ImageByteCount(1500, 1000, 24), 7);
        ChartDesigMeasureData record;
        const QString path = Path("large.vrmeas");
        QCOMPARE(SaveMeasureFile(path, &record, m), kDocumentOk);
        const QByteArray bytes = ReadAll(path);
        QVERIFY(bytes.size() > 4 << 20);
        ChartDesigMeasureData listed;
        QCOMPARE(ListMeasureFile(&listed, path), kDocumentOk);
        QCOMPARE(listed.ChartName, record.ChartName);
        QCOMPARE(listed.RecordCount, record.RecordCount);
        for (const QByteArray &damaged : {bytes.chopped(1), bytes + QByteArray(1, '\0')}) {
            QVERIFY(WriteFile(path, damaged));
            QCOMPARE(ListMeasureFile(&listed, path), kDocumentInvalid);
        }
    }

    void writeFailures()
    {
        ChartDefinitionDataSheets chart = MakeChart(1);
        ChartGuard g{&chart};
        ChartDesigData record;

        const QString directory = Path("is_a_directory.vrchart");
        QVERIFY(QDir().mkpath(directory));
        QCOMPARE(SaveChartFile(directory, &record, chart), kDocumentFileError);
        QVERIFY(QFileInfo(directory).isDir());

        FailingDevice device(100);
        QCOMPARE(SaveChartFile(device, &record, chart), kDocumentFileError);

        // A rewrite that cannot be completed keeps the earlier file byte for byte.
        const QString path = Path("kept.vrchart");
        QCOMPARE(SaveChartFile(path, &record, chart), kDocumentOk);
        const QByteArray before = ReadAll(path);
        record.ChartName = QStringLiteral("renamed");
        {
            NoFileGrowth limit;
            QCOMPARE(SaveChartFile(path, &record, chart), kDocumentFileError);
        }
        QCOMPARE(ReadAll(path), before);

        QCOMPARE(ReadChartFile(&record, &chart, Path("missing.vrchart")), kDocumentFileError);
        QCOMPARE(ReadChartFile(&record, &chart, directory), kDocumentFileError);
    }
};

QTEST_GUILESS_MAIN(TestDocFiles)
#include "test_docfiles.moc"
