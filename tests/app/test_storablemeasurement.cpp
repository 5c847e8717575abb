// A measurement the document store cannot read back never gets in: the store's create and update paths and the
// measurement writers refuse it with 80005 before a number, a folder or a file is made, and an old file stays as
// it was; a measurement with valid edge values goes create -> re-read unchanged and is listed again after the
// store reads its folders, as at the next start.

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/resourcedata.h"
#include "docfixtures.h"
#include "resourcehost.h"

#include <QBuffer>
#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <cfloat>
#include <climits>
#include <cstring>
#include <limits>

using namespace fixture;
using PatchData = MeasurementData::PatchData;

namespace {

using Host = ResourceHost<>;

struct Fixture {
    QTemporaryDir dir;
    Host host;
    CDocumentData store{&host, nullptr, dir.path()};
    Fixture() { store.ReadDataGroups(); }

    // Every folder and file under the data folder, with the files' bytes.
    QMap<QString, QByteArray> Snapshot() const
    {
        QMap<QString, QByteArray> entries;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            entries.insert(path, it.fileInfo().isDir() ? QByteArray("(folder)") : ReadAll(path));
        }
        return entries;
    }
};

// Two pages of four records; the first page carries a 3 x 2 image at 24 bits, the second none.
MeasurementDataSheets BaseMeasurement()
{
    MeasurementDataSheets m = MakeMeasurement(2, 4);
    MeasurementData &page = m.Sheets[0];
    page.Width = 3;
    page.Height = 2;
    page.BitPerPixel = 24;
    page.ImageBytes = NewImageBytes(18);
    for (int i = 0; i < 18; ++i)
        page.ImageBytes[i] = static_cast<unsigned char>(i * 13);
    m.BarcodeText1 = QStringLiteral("5A1");
    m.BarcodeText2 = QStringLiteral("0203");
    return m;
}

// The rules of the measurement block reader, each broken once.
enum Fault {
    NegativePageCount, NoPageArray, Mode4, NegativeMode, // the measurement's own fields
    NegativeImageWidth, NegativeImageHeight, NegativeBitsPerPixel, NoImageBytes, ImageBeyondByteArray,
    NegativeRecordCount, NoRecordArray, ColorFormat7, NegativeColorFormat,
};

bool BreaksPage(Fault fault)
{
    return fault >= NegativeImageWidth;
}

void Break(MeasurementDataSheets *m, Fault fault)
{
    MeasurementData &page = m->Sheets[0];
    PatchData &record = page.Records[1];
    switch (fault) {
    case NegativePageCount: m->SheetCount = -1; break;
    case NoPageArray: m->Sheets = nullptr; break;
    case Mode4: m->Mode = 4; break;
    case NegativeMode: m->Mode = -1; break;
    case NegativeImageWidth: page.Width = -3; break;
    case NegativeImageHeight: page.Height = -2; break;
    case NegativeBitsPerPixel: page.BitPerPixel = -24; break;
    case NoImageBytes: page.ImageBytes = nullptr; break;
    // More bytes than one byte array of the file holds; the 18 bytes there are never read.
    case ImageBeyondByteArray: page.Width = page.Height = 65536; page.BitPerPixel = 8; break;
    case NegativeRecordCount: page.RecordCount = -1; break;
    case NoRecordArray: page.Records = nullptr; break;
    case ColorFormat7: record.ColorFormat = 7; break;
    case NegativeColorFormat: record.ColorFormat = -1; break;
    }
}

// Puts back the measurement as it was before Break.
struct Mend {
    MeasurementDataSheets *m;
    MeasurementDataSheets saved;
    explicit Mend(MeasurementDataSheets *broken) : m(broken) { CopyMeasureFileData(&saved, *broken); }
    ~Mend() { CopyMeasureFileData(m, saved); }
};

void ComparePage(const MeasurementData &x, const MeasurementData &y)
{
    QCOMPARE(x.Width, y.Width);
    QCOMPARE(x.Height, y.Height);
    QCOMPARE(x.BitPerPixel, y.BitPerPixel);
    const qint64 bytes = ImageByteCount(y.Width, y.Height, y.BitPerPixel);
    if (bytes > 0) {
        QVERIFY(x.ImageBytes);
        QVERIFY(std::memcmp(x.ImageBytes.get(), y.ImageBytes.get(), size_t(bytes)) == 0);
    } else {
        QVERIFY(!x.ImageBytes);
    }
    QCOMPARE(x.PageNumber, y.PageNumber);
    QCOMPARE(x.RecordCount, y.RecordCount);
    QCOMPARE(x.MeasuredCount, y.MeasuredCount);
    QCOMPARE(x.ImageDPI, y.ImageDPI);
    for (int r = 0; r < y.RecordCount; ++r)
        QVERIFY2(std::memcmp(&x.Records[r], &y.Records[r], sizeof(PatchData)) == 0, qPrintable(QString::number(r)));
}

// order[i]: the page of expected that read's page i must equal.
void CompareMeasurement(const MeasurementDataSheets &read, const MeasurementDataSheets &expected,
                        const QVector<int> &order, bool withTexts)
{
    QCOMPARE(read.Mode, expected.Mode);
    QCOMPARE(read.SerialNumber, expected.SerialNumber);
    QCOMPARE(read.BarcodeText1, withTexts ? expected.BarcodeText1 : QString());
    QCOMPARE(read.BarcodeText2, withTexts ? expected.BarcodeText2 : QString());
    QCOMPARE(read.SheetCount, expected.SheetCount);
    for (int s = 0; s < expected.SheetCount && !QTest::currentTestFailed(); ++s)
        ComparePage(read.Sheets[s], expected.Sheets[order[s]]);
}

QVector<int> InOrder(int count, bool reversed = false)
{
    QVector<int> order;
    for (int s = 0; s < count; ++s)
        order << (reversed ? count - 1 - s : s);
    return order;
}

// Valid edge values of a measurement, each applied to the base measurement.
enum Edge {
    Plain, EveryColorFormat, NoPages, NoImages, ImageUnderOneByte, ImageWithoutHeight, PageWithoutRecords,
    ExtremeValues,
};

MeasurementDataSheets EdgeMeasurement(Edge edge, int mode)
{
    MeasurementDataSheets m = BaseMeasurement();
    MeasurementData &first = m.Sheets[0];
    auto dropImage = [&first](int width, int height, int bits) {
        first.ImageBytes.reset();
        first.Width = width;
        first.Height = height;
        first.BitPerPixel = bits;
    };
    switch (edge) {
    case Plain: break;
    case EveryColorFormat:
        first.Records = NewMeasurementRecords(7);
        first.RecordCount = first.MeasuredCount = 7;
        for (int k = 0; k < 7; ++k) {
            PatchData &record = first.Records[k];
            record.ID = k + 1;
            record.Column = k;
            record.Values[k] = 1.5f;
            record.ColorFormat = k;
            for (int v = 0; v < k + 2; ++v)
                record.ColorValue[v] = float(10 * k + v);
        }
        break;
    case NoPages: ClearMeasureFileData(&m); break;
    case NoImages: dropImage(0, 0, 0); break;
    case ImageUnderOneByte: dropImage(1, 1, 1); break;
    case ImageWithoutHeight: dropImage(5, 0, 24); break;
    case PageWithoutRecords:
        first.Records.reset();
        first.RecordCount = first.MeasuredCount = 0;
        break;
    case ExtremeValues: {
        m.SerialNumber.clear();
        first.PageNumber = INT_MIN;
        first.ImageDPI = INT_MAX;
        m.Sheets[1].PageNumber = 0;
        m.Sheets[1].MeasuredCount = INT_MIN;
        m.Sheets[1].ImageDPI = -1;
        PatchData &record = first.Records[0];
        record.ID = INT_MIN;
        record.Area = INT_MAX;
        record.Row = -1;
        record.Column = INT_MIN;
        record.X = INT_MAX;
        record.Y = INT_MIN;
        record.Values[0] = FLT_MAX;
        record.Values[1] = -FLT_MAX;
        record.Values[2] = -0.0f;
        record.Values[3] = std::numeric_limits<float>::denorm_min();
        record.Values[4] = std::numeric_limits<float>::infinity();
        record.Values[kInstrumentValueCount - 1] = -std::numeric_limits<float>::infinity();
        record.ColorFormat = 6;
        for (int v = 0; v < kMaxColorValueCount; ++v)
            record.ColorValue[v] = v % 2 ? -FLT_MAX : FLT_MAX;
        break;
    }
    }
    m.Mode = mode;
    return m;
}

} // namespace

class TestStorableMeasurement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Varemo")); }

    // Every rule of the measurement block reader, broken once: the store's creates and updates refuse it with
    // 80005 leaving the data folder exactly as it was and taking no number, and each writer refuses it, as the
    // measurement and as a replacement or appended page, writing nothing.
    void unstorableMeasurementsAreRefused_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("page count below 0") << int(NegativePageCount);
        QTest::newRow("pages missing") << int(NoPageArray);
        QTest::newRow("mode 4") << int(Mode4);
        QTest::newRow("mode below 0") << int(NegativeMode);
        QTest::newRow("image width below 0") << int(NegativeImageWidth);
        QTest::newRow("image height below 0") << int(NegativeImageHeight);
        QTest::newRow("image depth below 0") << int(NegativeBitsPerPixel);
        QTest::newRow("image bytes missing") << int(NoImageBytes);
        QTest::newRow("image beyond a byte array") << int(ImageBeyondByteArray);
        QTest::newRow("record count below 0") << int(NegativeRecordCount);
        QTest::newRow("records missing") << int(NoRecordArray);
        QTest::newRow("colour format 7") << int(ColorFormat7);
        QTest::newRow("colour format below 0") << int(NegativeColorFormat);
    }
    void unstorableMeasurementsAreRefused()
    {
        QFETCH(int, fault);
        Fixture f;
        ChartDefinitionDataSheets chart = MakeChart(1);
        ChartGuard cg{&chart};
        MeasurementDataSheets m = BaseMeasurement();
        MeasurementGuard mg{&m};
        MeasurementDataSheets other = BaseMeasurement();
        MeasurementGuard og{&other};
        int number = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&number, 1, &m), kDocumentOk);
        QCOMPARE(f.store.CreateDensityMeasure(&number, 1, &m), kDocumentOk);
        QCOMPARE(f.store.CreateRecognitionMeasure(&number, chart, &m), kDocumentOk);
        const QString designationPath = f.store.DesignationMeasurePath(1, 1);
        const QString densityPath = f.store.DensityMeasurePath(1, 1);
        const QString recognitionPath = f.store.RecognitionMeasurePath(1);
        const int designationCount = f.store.FindDesignationMeasure(1)->RecordCount;
        const int densityCount = f.store.FindDensityMeasure(1)->RecordCount;
        const QMap<QString, QByteArray> before = f.Snapshot();

        {
            Mend mend(&m);
            Break(&m, Fault(fault));
            const bool page = BreaksPage(Fault(fault));

            QCOMPARE(f.store.CreateDesignationMeasure(&number, 2, &m), kDocumentInvalid);
            QCOMPARE(f.store.CreateDensityMeasure(&number, 2, &m), kDocumentInvalid);
            QCOMPARE(f.store.CreateRecognitionMeasure(&number, chart, &m), kDocumentInvalid);
            if (page) {
                QCOMPARE(f.store.UpdateDesignationMeasure(1, m.Sheets[0]), kDocumentInvalid);
                QCOMPARE(f.store.UpdateDensityMeasure(1, m.Sheets[0]), kDocumentInvalid);
            }
            QCOMPARE(f.store.GetDesignationMeasures()->size(), 1);
            QCOMPARE(f.store.GetDensityMeasures()->size(), 1);
            QCOMPARE(f.store.GetRecognitionMeasures()->size(), 1);
            QCOMPARE(f.store.FindDesignationMeasure(1)->RecordCount, designationCount);
            QCOMPARE(f.store.FindDensityMeasure(1)->RecordCount, densityCount);

            ChartDesigMeasureData record;
            record.RecordCount = 5;
            ChartRecogData recognitionRecord;
            recognitionRecord.RecordCount = 5;
            QCOMPARE(SaveMeasureFile(designationPath, &record, m), kDocumentInvalid);
            QCOMPARE(SaveDensityMeasureFile(densityPath, &record, m), kDocumentInvalid);
            QCOMPARE(SaveRecognitionFile(recognitionPath, &recognitionRecord, chart, m), kDocumentInvalid);
            QBuffer buffer;
            QVERIFY(buffer.open(QIODevice::WriteOnly));
            QCOMPARE(SaveMeasureFile(buffer, &record, m), kDocumentInvalid);
            QCOMPARE(SaveDensityMeasureFile(buffer, &record, m), kDocumentInvalid);
            QCOMPARE(SaveRecognitionFile(buffer, &recognitionRecord, chart, m), kDocumentInvalid);
            QVERIFY(buffer.data().isEmpty());
            if (page) {
                for (const int index : {-1, 1}) {
                    QCOMPARE(SaveMeasureFile(designationPath, &record, other, &m.Sheets[0], index), kDocumentInvalid);
                    QCOMPARE(SaveDensityMeasureFile(densityPath, &record, other, &m.Sheets[0], index),
                             kDocumentInvalid);
                    QCOMPARE(SaveRecognitionFile(recognitionPath, &recognitionRecord, chart, other, &m.Sheets[0],
                                                 index),
                             kDocumentInvalid);
                }
            }
            QCOMPARE(record.RecordCount, 5);
            QCOMPARE(recognitionRecord.RecordCount, 5);
            const QMap<QString, QByteArray> after = f.Snapshot();
            QCOMPARE(after.keys(), before.keys());
            QVERIFY(after == before);
        }

        // No number was taken: the next measurement of each kind gets the next one.
        QCOMPARE(f.store.CreateDesignationMeasure(&number, 1, &m), kDocumentOk);
        QCOMPARE(number, 2);
        QCOMPARE(f.store.CreateDensityMeasure(&number, 1, &m), kDocumentOk);
        QCOMPARE(number, 2);
        QCOMPARE(f.store.CreateRecognitionMeasure(&number, chart, &m), kDocumentOk);
        QCOMPARE(number, 2);
    }

    // Valid edge values go create -> re-read unchanged for each kind: a designation or density measurement is
    // created with its first page and the others appended, a designation measurement's pages are then reordered,
    // a recognition measurement is written whole; each is listed again when the store reads its folders.
    void storableMeasurementsSurvive_data()
    {
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 0") << int(Plain) << 0;
        QTest::newRow("mode 1") << int(Plain) << 1;
        QTest::newRow("mode 2") << int(Plain) << 2;
        QTest::newRow("mode 3") << int(Plain) << 3;
        QTest::newRow("colour formats 0 to 6") << int(EveryColorFormat) << 1;
        QTest::newRow("no pages") << int(NoPages) << 2;
        QTest::newRow("no images") << int(NoImages) << 0;
        QTest::newRow("image under one byte") << int(ImageUnderOneByte) << 0;
        QTest::newRow("image without height") << int(ImageWithoutHeight) << 0;
        QTest::newRow("page without records") << int(PageWithoutRecords) << 3;
        QTest::newRow("extreme ints and floats") << int(ExtremeValues) << 0;
    }
    void storableMeasurementsSurvive()
    {
        QFETCH(int, edge);
        QFETCH(int, mode);
        Fixture f;
        ChartDefinitionDataSheets chart = MakeChart(1);
        ChartGuard cg{&chart};
        MeasurementDataSheets m = EdgeMeasurement(Edge(edge), mode);
        MeasurementGuard mg{&m};
        ChartDefinitionDataSheets copy;
        CopyChartDefinitionData(&copy, chart);
        QCOMPARE(f.store.CreateDesignationChart(&copy), kDocumentOk);
        QCOMPARE(f.store.CreateDensityChart(7, 0, &copy), kDocumentOk);
        ClearChartDefinitionData(&copy);
        MeasurementDataSheets read;
        MeasurementGuard rg{&read};

        int designation = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&designation, 1, &m), kDocumentOk);
        for (int s = 1; s < m.SheetCount; ++s)
            QCOMPARE(f.store.UpdateDesignationMeasure(designation, m.Sheets[s]), kDocumentOk);
        QCOMPARE(f.store.ReadDesignationMeasure(designation, 1, &read), kDocumentOk);
        CompareMeasurement(read, m, InOrder(m.SheetCount), false);
        QList<int> reversed;
        for (int s = 0; s < m.SheetCount; ++s)
            reversed << m.SheetCount - s;
        QCOMPARE(f.store.ReorderDesignationMeasurePages(designation, reversed), kDocumentOk);
        QCOMPARE(f.store.ReadDesignationMeasure(designation, 1, &read), kDocumentOk);
        CompareMeasurement(read, m, InOrder(m.SheetCount, true), false);

        int density = 0;
        QCOMPARE(f.store.CreateDensityMeasure(&density, 1, &m), kDocumentOk);
        for (int s = 1; s < m.SheetCount; ++s)
            QCOMPARE(f.store.UpdateDensityMeasure(density, m.Sheets[s]), kDocumentOk);
        QCOMPARE(f.store.ReadDensityMeasure(density, 1, &read), kDocumentOk);
        CompareMeasurement(read, m, InOrder(m.SheetCount), true);

        int recognition = 0;
        QCOMPARE(f.store.CreateRecognitionMeasure(&recognition, chart, &m), kDocumentOk);
        ChartDefinitionDataSheets readChart;
        ChartGuard rcg{&readChart};
        QCOMPARE(f.store.ReadRecognitionMeasure(recognition, &readChart, &read), kDocumentOk);
        CompareMeasurement(read, m, InOrder(m.SheetCount), false);

        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.ReadAllDensityDocuments(), kDocumentOk);
        QCOMPARE(f.store.GetDesignationMeasures()->size(), 1);
        QCOMPARE(f.store.GetDesignationMeasures()->first().ID, designation);
        QCOMPARE(f.store.GetDensityMeasures()->size(), 1);
        QCOMPARE(f.store.GetDensityMeasures()->first().ID, density);
        QCOMPARE(f.store.GetRecognitionMeasures()->size(), 1);
        QCOMPARE(f.store.GetRecognitionMeasures()->first().ID, recognition);
    }
};

QTEST_GUILESS_MAIN(TestStorableMeasurement)
#include "test_storablemeasurement.moc"
