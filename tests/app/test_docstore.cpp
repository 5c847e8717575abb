// The document store over a temporary data folder and a stub owner backed by the shipped resource data.

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/resourcedata.h"
#include "docfixtures.h"
#include "resourcehost.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>

using namespace fixture;

namespace {

using StubHost = ResourceHost<>;

// A store over a fresh data folder; documents are read as at start-up.
struct Fixture {
    QTemporaryDir dir;
    StubHost host;
    CDocumentData store;
    explicit Fixture(const QString &initialData = InitialDataDir())
        : store(&host, nullptr, dir.path(), initialData)
    {
        store.ReadDataGroups();
    }
    QString Path(const QString &relative) const { return dir.path() + QLatin1Char('/') + relative; }

    int CreateChart(const QString &name, int pages = 1)
    {
        ChartDefinitionDataSheets chart = MakeChart(pages);
        chart.ChartName = name;
        const int result = store.CreateDesignationChart(&chart);
        ClearChartDefinitionData(&chart);
        return result == kDocumentOk ? store.GetDesignationCharts()->last().ID : -result;
    }
};

SheetInfoRecord RecognitionResult(const char *code, int sheets, int sheetNumber, int rows, int columns)
{
    SheetInfoRecord record;
    std::memset(&record, 0, sizeof record);
    std::strncpy(record.ChartCode, code, sizeof record.ChartCode);
    record.SheetCount = sheets;
    record.SheetNumber = sheetNumber;
    record.PatchCount = rows * columns;
    record.AreaCount = 1;
    record.Areas[0] = {rows, columns, rows * columns};
    return record;
}

// A density chart file as a preset would be, written straight into a folder.
void WriteDensityChart(const QString &path, const QString &name, const QString &time, int templateNumber,
                       int secondNumber, int rows = 2, int columns = 2)
{
    ChartDefinitionDataSheets chart = MakeChart(1, rows, columns);
    DensityBalanceData record;
    record.ChartName = name;
    record.CreateTime = time;
    record.Template = templateNumber;
    record.SecondNumber = secondNumber;
    record.ChartPatchCount = chart.ChartPatchCount;
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QCOMPARE(SaveDensityChartFile(path, &record, chart), kDocumentOk);
    ClearChartDefinitionData(&chart);
}

QList<int> Numbers(const QList<DensityBalanceData> &list)
{
    QList<int> numbers;
    for (const auto &record : list)
        numbers << record.ID;
    return numbers;
}

} // namespace

class TestDocStore : public QObject {
    Q_OBJECT

private slots:
    void numbering()
    {
        Fixture f;
        QCOMPARE(f.store.GetNewDesignationChartName(), QStringLiteral("Chart00001"));
        QCOMPARE(f.CreateChart(QString()), 1);
        QVERIFY(QFileInfo(f.Path("Chart/00001.vrchart")).isFile());
        QVERIFY(QFileInfo(f.Path("Chart/Data/00001")).isDir());
        QCOMPARE(f.store.GetDesignationCharts()->last().ChartName, QStringLiteral("Chart00001"));

        const QByteArray bytes = ReadAll(f.Path("Chart/00001.vrchart"));
        for (const char *name : {"00007.vrchart", "12.vrchart", "abc.vrchart", "7.VRCHART", "0.vrchart",
                                 "99999999999.vrchart", "+8.vrchart"})
            QVERIFY(WriteFile(f.Path(QStringLiteral("Chart/") + QLatin1String(name)), bytes));
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QList<int> numbers;
        for (const auto &chart : *f.store.GetDesignationCharts())
            numbers << chart.ID;
        QCOMPARE(numbers, (QList<int>{1, 7, 12}));
        QCOMPARE(f.store.GetNewDesignationChartName(), QStringLiteral("Chart00013"));
        QCOMPARE(f.CreateChart(QString()), 13);

        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        int first = 0, second = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&first, 1, &m), kDocumentOk);
        QCOMPARE(f.store.CreateDesignationMeasure(&second, 7, &m), kDocumentOk);
        QCOMPARE(second, 2);
        QCOMPARE(f.store.GetDesignationMeasures()->last().ChartName, QStringLiteral("Meas00002"));
        QVERIFY(QFileInfo(f.Path("Chart/Data/00007/00002.vrmeas")).isFile());
    }

    void uniqueNames()
    {
        Fixture f;
        f.CreateChart(QStringLiteral("ABC"));
        f.CreateChart(QStringLiteral("abc"));
        f.CreateChart(QStringLiteral("abc"));
        const auto &charts = *f.store.GetDesignationCharts();
        QCOMPARE(charts[1].ChartName, QStringLiteral("abc-1"));
        QCOMPARE(charts[2].ChartName, QStringLiteral("abc-2"));
        // A chart keeps its own name when renamed to it.
        QCOMPARE(f.store.RenameDesignationChart(charts[1].ID, QStringLiteral("ABC-1")), kDocumentOk);
        QCOMPARE(f.store.GetDesignationCharts()->at(1).ChartName, QStringLiteral("ABC-1"));
    }

    void measurements()
    {
        Fixture f;
        const int chart = f.CreateChart(QStringLiteral("C"), 2);
        MeasurementDataSheets m = MakeMeasurement(2, 4);
        MeasurementGuard g{&m};
        m.Sheets[0].MeasuredCount = 3;
        int number = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&number, chart, &m), kDocumentOk);
        QCOMPARE(f.store.FindDesignationMeasure(number)->RecordCount, 3);
        MeasurementDataSheets back;
        MeasurementGuard g2{&back};
        QCOMPARE(f.store.ReadDesignationMeasure(number, chart, &back), kDocumentOk);
        QCOMPARE(back.SheetCount, 1);

        QCOMPARE(f.store.UpdateDesignationMeasure(number, m.Sheets[1]), kDocumentOk);
        QCOMPARE(f.store.FindDesignationMeasure(number)->RecordCount, 3 + 4);
        QCOMPARE(f.store.ReadDesignationMeasure(number, chart, &back), kDocumentOk);
        QCOMPARE(back.SheetCount, 2);
        QCOMPARE(back.Sheets[1].PageNumber, 2);

        QCOMPARE(f.store.ReorderDesignationMeasurePages(number, {2, 1}), kDocumentOk);
        QCOMPARE(f.store.ReadDesignationMeasure(number, chart, &back), kDocumentOk);
        QCOMPARE(back.Sheets[0].PageNumber, 2);
        QCOMPARE(back.Sheets[1].PageNumber, 1);

        const QString path = f.store.DesignationMeasurePath(chart, number);
        const QByteArray before = ReadAll(path);
        for (const QList<int> &wrong : {QList<int>{1}, QList<int>{1, 1}, QList<int>{0, 1}, QList<int>{1, 3},
                                        QList<int>{1, 2, 3}}) {
            QCOMPARE(f.store.ReorderDesignationMeasurePages(number, wrong), kDocumentInvalid);
            QCOMPARE(ReadAll(path), before);
        }

        // A density measurement counts the records of its first page.
        ChartDefinitionDataSheets densityChart = MakeChart(1);
        ChartGuard g3{&densityChart};
        QCOMPARE(f.store.CreateDensityChart(7, 0, &densityChart), kDocumentOk);
        const int densityNumber = f.store.GetDensityCharts()->last().ID;
        QCOMPARE(f.store.CreateDensityMeasure(&number, densityNumber, &m), kDocumentOk);
        QCOMPARE(f.store.FindDensityMeasure(number)->RecordCount, 4);
        QVERIFY(QFileInfo(f.store.DensityMeasurePath(densityNumber, number)).isFile());
        QCOMPARE(f.store.UpdateDensityMeasure(number, m.Sheets[1]), kDocumentOk);
        QCOMPARE(f.store.FindDensityMeasure(number)->RecordCount, 8);
    }

    void deletes()
    {
        Fixture f;
        QVERIFY(!f.store.DeleteDesignationChart(99));
        const int kept = f.CreateChart(QStringLiteral("kept"));
        const int gone = f.CreateChart(QStringLiteral("gone"));
        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        int number = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&number, kept, &m), kDocumentOk);
        QVERIFY(f.store.DesignationChartHasMeasurements(kept));
        QVERIFY(!f.store.DesignationChartHasMeasurements(gone));

        QVERIFY(f.store.DeleteDesignationChart(kept));
        QVERIFY(!QFileInfo::exists(f.store.DesignationChartPath(kept)));
        QVERIFY(QFileInfo(f.store.DesignationChartFolder(kept)).isDir());
        QVERIFY(f.store.DeleteDesignationChart(gone));
        QVERIFY(!QFileInfo::exists(f.store.DesignationChartFolder(gone)));
        QVERIFY(f.store.GetDesignationCharts()->isEmpty());
        QVERIFY(f.store.DeleteDesignationMeasure(number));
        QVERIFY(!f.store.DeleteDesignationMeasure(number));
    }

    void inchChartReadsAsMillimetres()
    {
        Fixture f;
        ChartDefinitionDataSheets chart = MakeChart(1);
        ChartGuard g{&chart};
        chart.UNIT = 1;
        auto &s = chart.Sheets[0];
        s.Width = 8268;
        s.Height = 11693;
        s.Placements[0] = {157, 0, 236, 236, 236, 236};
        ChartDesigData record;
        record.ChartPatchCount = chart.ChartPatchCount;
        QVERIFY(QDir().mkpath(f.Path("Chart")));
        QCOMPARE(SaveChartFile(f.Path("Chart/00003.vrchart"), &record, chart), kDocumentOk);

        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        ChartDefinitionDataSheets back;
        ChartGuard g2{&back};
        QCOMPARE(f.store.ReadDesignationChart(3, &back), kDocumentOk);
        QCOMPARE(back.UNIT, 0);
        QCOMPARE(back.Sheets[0].Width, 21000);
        QCOMPARE(back.Sheets[0].Height, 29700);
        QCOMPARE(back.Sheets[0].Placements[0].LeftTopX, 400);
        QCOMPARE(back.Sheets[0].Placements[0].PatchWidth, 600);
    }

    void recognitionMatching()
    {
        Fixture f;
        const int chart = f.CreateChart(QStringLiteral("MyChart"), 2);
        QSignalSpy found(&f.store, &CDocumentData::FindDesignationChartFound);
        QVERIFY(f.store.FindDesignationChartForRecognition(RecognitionResult("MYCHART", 2, 2, 2, 2)));
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.at(0).at(0).toInt(), chart);
        QCOMPARE(found.at(0).at(1).toInt(), 1);
        SheetInfoRecord other = RecognitionResult("MYCHART", 2, 2, 2, 2);
        other.Areas[0].ColumnCount = 3;
        QVERIFY(!f.store.FindDesignationChartForRecognition(other));
        QVERIFY(!f.store.FindDesignationChartForRecognition(RecognitionResult("MYCHART", 3, 2, 2, 2)));
        QVERIFY(!f.store.FindDesignationChartForRecognition(RecognitionResult("MYCHART", 2, 3, 2, 2)));
        QCOMPARE(found.count(), 1);

        ChartDefinitionDataSheets density = MakeChart(1);
        ChartGuard g{&density};
        QCOMPARE(f.store.CreateDensityChart(3, 0, &density), kDocumentOk);
        const int number = f.store.GetDensityCharts()->last().ID;
        QCOMPARE(f.store.RenameDensityChart(number, QStringLiteral("CODE1 rest")), kDocumentOk);
        QSignalSpy densityFound(&f.store, &CDocumentData::FindDensityChartFound);
        QVERIFY(!f.store.FindDensityChartForRecognition(RecognitionResult("CODE1", 1, 1, 2, 2), 4));
        QVERIFY(!f.store.FindDensityChartForRecognition(RecognitionResult("CODE1", 1, 1, 2, 3), 3));
        QCOMPARE(densityFound.count(), 0);
        QVERIFY(f.store.FindDensityChartForRecognition(RecognitionResult("CODE1", 1, 1, 2, 2), 3));
        QCOMPARE(densityFound.count(), 1);
        QCOMPARE(densityFound.at(0).at(0).toInt(), number);

        QCOMPARE(f.store.RenameDensityChart(number, QStringLiteral("CODE1")), kDocumentOk);
        const QList<BarcodeEntry> entries{{QStringLiteral("5A1"), RecognitionResult("CODE1", 1, 1, 2, 2)}};
        QCOMPARE(f.store.FindDensityChartsForTemplate(entries, 3), QList<int>{number});
        QVERIFY(f.store.FindDensityChartsForTemplate(entries, 2).isEmpty());
    }

    void combine()
    {
        Fixture f;
        f.host.environment.ColorFormat = 1;
        QList<int> numbers;
        for (int k = 0; k < 2; ++k) {
            ChartDefinitionDataSheets chart = MakeChart(1);
            MeasurementDataSheets m = MakeMeasurement(1, 4);
            int number = 0;
            QCOMPARE(f.store.CreateRecognitionMeasure(&number, chart, &m), kDocumentOk);
            numbers << number;
            ClearChartDefinitionData(&chart);
            ClearMeasureFileData(&m);
        }
        QSignalSpy created(&f.store, &CDocumentData::CreateDesignationChartFinished);
        QCOMPARE(f.store.CombineRecognitionMeasures(numbers), kDocumentOk);
        QCOMPARE(created.count(), 1);
        const ChartDesigData &record = f.store.GetDesignationCharts()->last();
        QCOMPARE(record.ChartName, QStringLiteral("Chart00001"));
        QCOMPARE(record.SheetCount, 2);
        QCOMPARE(record.Recog, 4);
        ChartDefinitionDataSheets combined;
        ChartGuard g{&combined};
        QCOMPARE(f.store.ReadDesignationChart(record.ID, &combined), kDocumentOk);
        QCOMPARE(combined.ChartPatchCount, 8);
        QCOMPARE(combined.Sheets[1].Patches[0].ID, 1 + 4);
        QCOMPARE(combined.Sheets[0].Patches[3].ID, 4);
        QCOMPARE(combined.Sheets[1].Patches[3].ColorFormat, 1);
        QVERIFY(qAbs(combined.Sheets[1].Patches[3].ColorValue[0] - 13.0f) < 0.02f);

        // A recognition measurement without a measured page cannot be combined.
        ChartDefinitionDataSheets chart = MakeChart(1);
        ChartGuard g2{&chart};
        MeasurementDataSheets empty;
        int number = 0;
        QCOMPARE(f.store.CreateRecognitionMeasure(&number, chart, &empty), kDocumentOk);
        QCOMPARE(f.store.CombineRecognitionMeasures({numbers[0], number}), kDocumentNoChartPage);
        QCOMPARE(created.count(), 1);
    }

    void convertPatchColor()
    {
        Fixture f;
        ChartDefinitionDataSheets chart = MakeChart(1, 1, 2);
        MeasurementDataSheets m = MakeMeasurement(1, 2);
        ChartGuard g1{&chart};
        MeasurementGuard g2{&m};
        auto &page = chart.Sheets[0];
        auto &measured = m.Sheets[0];
        // Records in the other order: by index when the counts agree, by key otherwise.
        std::swap(measured.Records[0], measured.Records[1]);
        f.host.environment.ColorFormat = 1;
        f.store.ConvertPatchColor(&page, measured);
        QVERIFY(qAbs(page.Patches[0].ColorValue[0] - 11.0f) < 0.02f);
        measured.MeasuredCount = 1;
        f.store.ConvertPatchColor(&page, measured);
        QVERIFY(qAbs(page.Patches[0].ColorValue[0] - 10.0f) < 0.02f);
        QVERIFY(qAbs(page.Patches[1].ColorValue[2] - 30.0f) < 0.02f);

        measured.Records[0].Column = 5;
        f.host.environment.ColorFormat = 2;
        f.store.ConvertPatchColor(&page, measured);
        QCOMPARE(page.Patches[1].ColorFormat, 2);
        for (int v = 0; v < 4; ++v)
            QVERIFY(qAbs(page.Patches[1].ColorValue[v]) < 0.01f);
        QVERIFY(page.Patches[0].ColorValue[3] > 50.0f);
    }

    void dataGroups()
    {
        Fixture f;
        f.host.environment.DataGroupName = QStringLiteral("Gone");
        f.store.ReadDataGroups();
        QCOMPARE(*f.store.GetDataGroupNames(), QStringList{"Data"});
        QVERIFY(f.host.environment.DataGroupName.isEmpty());
        const int chart = f.CreateChart(QStringLiteral("G"));
        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        int number = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&number, chart, &m), kDocumentOk);
        QVERIFY(QFileInfo(f.Path("Chart/Data/00001/00001.vrmeas")).isFile());
        QVERIFY(QDir().mkpath(f.Path("Density/Data/00009")));

        QCOMPARE(f.store.UpdateDataGroupNames({QStringLiteral("Renamed"), QStringLiteral("Extra")}), kDocumentOk);
        QCOMPARE(*f.store.GetDataGroupNames(), (QStringList{"Renamed", "Extra"}));
        QVERIFY(QFileInfo(f.Path("Chart/Renamed/00001/00001.vrmeas")).isFile());
        QVERIFY(QFileInfo(f.Path("Density/Renamed/00009")).isDir());

        // The density folder cannot move onto an existing one: the chart folder moves back.
        QVERIFY(QDir().mkpath(f.Path("Density/Blocked")));
        QCOMPARE(f.store.UpdateDataGroupNames({QStringLiteral("Blocked"), QStringLiteral("Extra")}),
                 kDocumentFolderError);
        QVERIFY(QFileInfo(f.Path("Chart/Renamed/00001")).isDir());
        QVERIFY(!QFileInfo::exists(f.Path("Chart/Blocked")));
        QCOMPARE(f.store.GetDataGroupNames()->first(), QStringLiteral("Renamed"));

        for (const QString &unsafe : {QStringLiteral("../x"), QStringLiteral(".."), QStringLiteral("a:b")}) {
            QCOMPARE(f.store.UpdateDataGroupNames({unsafe}), kDocumentFolderError);
            QCOMPARE(f.store.GetDataGroupNames()->first(), QStringLiteral("Renamed"));
        }
        QVERIFY(QFileInfo(f.Path("Chart/Renamed/00001")).isDir());

        // A group text that cannot be a folder name counts as the list's last group.
        f.host.environment.DataGroupName = QStringLiteral("../escape");
        QCOMPARE(f.store.CurrentDataGroup(), QStringLiteral("Extra"));
    }

    void unreadableFileKeepsItsNumber_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("damagedNumber"); // the number the next document of its kind would take
        QTest::newRow("designation chart") << 0 << 2;
        QTest::newRow("designation measurement") << 1 << 1;
        QTest::newRow("recognition measurement") << 2 << 1;
        QTest::newRow("density chart") << 3 << 2;
        QTest::newRow("density measurement") << 4 << 1;
    }

    // A document file that cannot be read keeps its number: the next new document of its kind takes a higher one
    // and the damaged file stays byte for byte.
    void unreadableFileKeepsItsNumber()
    {
        QFETCH(int, kind);
        QFETCH(int, damagedNumber);
        Fixture f;
        const int chart = f.CreateChart(QStringLiteral("C"));
        ChartDefinitionDataSheets page = MakeChart(1);
        ChartGuard g1{&page};
        QCOMPARE(f.store.CreateDensityChart(7, 0, &page), kDocumentOk);
        const int density = f.store.GetDensityCharts()->last().ID;
        const QString damaged[] = {f.store.DesignationChartPath(damagedNumber),
                                   f.store.DesignationMeasurePath(chart, damagedNumber),
                                   f.store.RecognitionMeasurePath(damagedNumber),
                                   f.store.DensityChartPath(damagedNumber),
                                   f.store.DensityMeasurePath(density, damagedNumber)};
        const QByteArray bytes("damaged, no document");
        QVERIFY(QDir().mkpath(QFileInfo(damaged[kind]).absolutePath()));
        QVERIFY(WriteFile(damaged[kind], bytes));
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.ReadAllDensityDocuments(), kDocumentOk);

        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g2{&m};
        int number = 0;
        switch (kind) {
        case 0: number = f.CreateChart(QStringLiteral("new")); break;
        case 1: QCOMPARE(f.store.CreateDesignationMeasure(&number, chart, &m), kDocumentOk); break;
        case 2: QCOMPARE(f.store.CreateRecognitionMeasure(&number, page, &m), kDocumentOk); break;
        case 3:
            QCOMPARE(f.store.CreateDensityChart(7, 0, &page), kDocumentOk);
            number = f.store.GetDensityCharts()->last().ID;
            break;
        case 4: QCOMPARE(f.store.CreateDensityMeasure(&number, density, &m), kDocumentOk); break;
        }
        QCOMPARE(number, damagedNumber + 1);
        QCOMPARE(ReadAll(damaged[kind]), bytes);
    }

    // Measurements left under a chart that cannot be read, or under a chart folder whose chart file is gone, are
    // listed under no chart; no new chart takes that number, and the damaged chart cannot be renamed or deleted.
    void measurementsOfUnreadableChart()
    {
        Fixture f;
        const int kept = f.CreateChart(QStringLiteral("kept"));
        const int lost = f.CreateChart(QStringLiteral("lost"));
        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        int measure = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&measure, lost, &m), kDocumentOk);
        const QByteArray damaged("damaged, no chart");
        QVERIFY(WriteFile(f.store.DesignationChartPath(lost), damaged));
        QVERIFY(QDir().mkpath(f.store.DesignationChartFolder(lost + 1)));
        QVERIFY(QFile::copy(f.store.DesignationMeasurePath(lost, measure),
                            f.store.DesignationMeasurePath(lost + 1, 5)));

        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.GetDesignationCharts()->size(), 1);
        QCOMPARE(f.store.GetDesignationCharts()->first().ID, kept);
        QVERIFY(f.store.GetDesignationMeasures()->isEmpty());
        QCOMPARE(f.store.RenameDesignationChart(lost, QStringLiteral("x")), kDocumentFileError);
        QVERIFY(!f.store.DeleteDesignationChart(lost));

        const int created = f.CreateChart(QStringLiteral("new"));
        QCOMPARE(created, lost + 2);
        QCOMPARE(ReadAll(f.store.DesignationChartPath(lost)), damaged);
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.GetDesignationCharts()->size(), 2);
        QVERIFY(f.store.GetDesignationMeasures()->isEmpty());
        int next = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&next, created, &m), kDocumentOk);
        QCOMPARE(next, 6);
    }

    // A store of the start-up shape in small: charts with one-page measurements, recognition measurements and
    // density charts with their measurements, plus files the listing must leave out. The lists hold exactly the
    // files the full reader accepts, with the fields it reads.
    void listsMatchFullRead()
    {
        Fixture f;
        MeasurementDataSheets m = MakeMeasurement(1, 6);
        MeasurementGuard g1{&m};
        ChartDefinitionDataSheets page = MakeChart(2, 2, 3);
        ChartGuard g2{&page};
        for (int c = 0; c < 3; ++c) {
            const int chart = f.CreateChart(QStringLiteral("C%1").arg(c), c + 1);
            for (int k = 0; k < 3; ++k) {
                int number = 0;
                QCOMPARE(f.store.CreateDesignationMeasure(&number, chart, &m), kDocumentOk);
            }
            int recognition = 0;
            QCOMPARE(f.store.CreateRecognitionMeasure(&recognition, page, &m), kDocumentOk);
            QCOMPARE(f.store.CreateDensityChart(7, c, &page), kDocumentOk);
            int density = 0;
            QCOMPARE(f.store.CreateDensityMeasure(&density, f.store.GetDensityCharts()->last().ID, &m), kDocumentOk);
        }
        QCOMPARE(f.store.UpdateDesignationMeasure(2, m.Sheets[0]), kDocumentOk);
        const QString cutMeasure = f.store.DesignationMeasurePath(1, 1);
        QVERIFY(WriteFile(cutMeasure, ReadAll(cutMeasure).chopped(1)));
        const QString cutChart = f.store.DesignationChartPath(3);
        QVERIFY(WriteFile(cutChart, ReadAll(cutChart).chopped(8)));
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.ReadAllDensityDocuments(), kDocumentOk);

        int files = 0;
        QList<int> readable;
        for (int number = 1; number <= 3; ++number) {
            ChartDesigData full;
            if (ReadChartFile(&full, nullptr, f.store.DesignationChartPath(number)) == kDocumentOk)
                readable << number;
        }
        QCOMPARE(readable, (QList<int>{1, 2}));
        QCOMPARE(f.store.GetDesignationCharts()->size(), 2);
        for (const ChartDesigData &listed : *f.store.GetDesignationCharts()) {
            ChartDesigData full;
            QCOMPARE(ReadChartFile(&full, nullptr, f.store.DesignationChartPath(listed.ID)), kDocumentOk);
            QCOMPARE(listed.ChartName, full.ChartName);
            QCOMPARE(listed.CreateTime, full.CreateTime);
            QCOMPARE(listed.UUID, full.UUID);
            QCOMPARE(listed.SheetCount, full.SheetCount);
            QCOMPARE(listed.ChartPatchCount, full.ChartPatchCount);
            QCOMPARE(listed.Diameter, full.Diameter);
            QCOMPARE(listed.Recog, full.Recog);
            QCOMPARE(listed.SheetCount, listed.ID);
        }
        // Chart 1 lost its cut measurement; the measurements of chart 3 are not listed, as chart 3 is not.
        QCOMPARE(f.store.GetDesignationMeasures()->size(), 5);
        for (const ChartDesigMeasureData &listed : *f.store.GetDesignationMeasures()) {
            ChartDesigMeasureData full;
            QCOMPARE(ReadMeasureFile(&full, nullptr, f.store.DesignationMeasurePath(listed.ChartID, listed.ID)),
                     kDocumentOk);
            QCOMPARE(listed.ChartName, full.ChartName);
            QCOMPARE(listed.CreateTime, full.CreateTime);
            QCOMPARE(listed.RecordCount, full.RecordCount);
            QCOMPARE(listed.Diameter, full.Diameter);
            ++files;
        }
        QCOMPARE(f.store.FindDesignationMeasure(2)->RecordCount, 12);
        QCOMPARE(f.store.GetRecognitionMeasures()->size(), 3);
        for (const ChartRecogData &listed : *f.store.GetRecognitionMeasures()) {
            ChartRecogData full;
            QCOMPARE(ReadRecognitionFile(&full, nullptr, nullptr, f.store.RecognitionMeasurePath(listed.ID)),
                     kDocumentOk);
            QCOMPARE(listed.ChartName, full.ChartName);
            QCOMPARE(listed.RecordCount, full.RecordCount);
        }
        QCOMPARE(f.store.GetDensityCharts()->size(), 3);
        for (const DensityBalanceData &listed : *f.store.GetDensityCharts()) {
            DensityBalanceData full;
            QCOMPARE(ReadDensityChartFile(&full, nullptr, f.store.DensityChartPath(listed.ID)), kDocumentOk);
            QCOMPARE(listed.ChartName, full.ChartName);
            QCOMPARE(listed.UUID, full.UUID);
            QCOMPARE(listed.SheetCount, full.SheetCount);
            QCOMPARE(listed.ChartPatchCount, full.ChartPatchCount);
            QCOMPARE(listed.Template, full.Template);
            QCOMPARE(listed.SecondNumber, full.SecondNumber);
        }
        QCOMPARE(f.store.GetDensityMeasures()->size(), 3);
        QCOMPARE(files, 5);
    }

    void damagedRecordListedRefusedOnOpen_data()
    {
        QTest::addColumn<bool>("chart");
        QTest::newRow("measurement record") << false;
        QTest::newRow("chart patch") << true;
    }

    // Damage inside the records that leaves the file's structure whole: the document is listed, and opening it
    // is refused with the invalid-file code.
    void damagedRecordListedRefusedOnOpen()
    {
        QFETCH(bool, chart);
        Fixture f;
        const int number = f.CreateChart(QStringLiteral("C"));
        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        int measure = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&measure, number, &m), kDocumentOk);
        // The last colour format of the file: before the colour list of three values and the page resolution in
        // a measurement, before the colour list and the QR code, resolution and recognition blocks in a chart.
        const QString path =
            chart ? f.store.DesignationChartPath(number) : f.store.DesignationMeasurePath(number, measure);
        QByteArray bytes = ReadAll(path);
        const int at = bytes.size() - (chart ? 4 + 4 + 16 + 28 + 4 : 4 + 28 + 4);
        QCOMPARE(qFromBigEndian<qint32>(bytes.constData() + at), 1);
        qToBigEndian<qint32>(99, bytes.data() + at);
        QVERIFY(WriteFile(path, bytes));

        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QVERIFY(f.store.FindDesignationChart(number));
        QVERIFY(f.store.FindDesignationMeasure(measure));
        ChartDefinitionDataSheets c;
        ChartGuard g2{&c};
        MeasurementDataSheets read;
        MeasurementGuard g3{&read};
        if (chart)
            QCOMPARE(f.store.ReadDesignationChart(number, &c), kDocumentInvalid);
        else
            QCOMPARE(f.store.ReadDesignationMeasure(measure, number, &read), kDocumentInvalid);
        QVERIFY(!c.Sheets && !read.Sheets);
    }

    void cutOrLongerFileNotListed_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("change"); // bytes added (> 0) or cut (< 0)
        QTest::newRow("measurement cut") << 0 << -1;
        QTest::newRow("measurement longer") << 0 << 1;
        QTest::newRow("density measurement cut") << 1 << -3;
        QTest::newRow("recognition cut") << 2 << -1;
    }

    void cutOrLongerFileNotListed()
    {
        QFETCH(int, kind);
        QFETCH(int, change);
        Fixture f;
        const int chart = f.CreateChart(QStringLiteral("C"));
        ChartDefinitionDataSheets page = MakeChart(1);
        ChartGuard g1{&page};
        QCOMPARE(f.store.CreateDensityChart(7, 0, &page), kDocumentOk);
        const int density = f.store.GetDensityCharts()->last().ID;
        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g2{&m};
        int numbers[3] = {};
        QCOMPARE(f.store.CreateDesignationMeasure(&numbers[0], chart, &m), kDocumentOk);
        QCOMPARE(f.store.CreateDensityMeasure(&numbers[1], density, &m), kDocumentOk);
        QCOMPARE(f.store.CreateRecognitionMeasure(&numbers[2], page, &m), kDocumentOk);
        const QString paths[] = {f.store.DesignationMeasurePath(chart, numbers[0]),
                                 f.store.DensityMeasurePath(density, numbers[1]),
                                 f.store.RecognitionMeasurePath(numbers[2])};
        const QByteArray bytes = ReadAll(paths[kind]);
        QVERIFY(WriteFile(paths[kind], change < 0 ? bytes.chopped(-change) : bytes + QByteArray(change, '\0')));

        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.ReadAllDensityDocuments(), kDocumentOk);
        QCOMPARE(f.store.GetDesignationMeasures()->size(), kind == 0 ? 0 : 1);
        QCOMPARE(f.store.GetDensityMeasures()->size(), kind == 1 ? 0 : 1);
        QCOMPARE(f.store.GetRecognitionMeasures()->size(), kind == 2 ? 0 : 1);
    }

    void finders()
    {
        Fixture f;
        QVERIFY(!f.store.FindDesignationChart(1));
        QVERIFY(!f.store.FindDensityChart(1));
        QVERIFY(!f.store.FindDesignationMeasure(1));
        QVERIFY(!f.store.FindDensityMeasure(1));
        QVERIFY(!f.store.FindRecognitionMeasure(1));
        QVERIFY(!f.store.FindDesignationChartByJob(0));
        const int chart = f.CreateChart(QStringLiteral("one"));
        QVERIFY(!f.store.FindDesignationChart(chart + 1));
        QCOMPARE(f.store.FindDesignationChart(chart)->ID, chart);
        QCOMPARE(f.store.RenameDesignationChart(chart + 1, QStringLiteral("x")), kDocumentFileError);
    }

    void failures()
    {
        Fixture f;
        const int chart = f.CreateChart(QStringLiteral("Before"));
        QSignalSpy updated(&f.store, &CDocumentData::UpdateDesignationChartFinished);
        {
            NoFileGrowth limit;
            QCOMPARE(f.store.RenameDesignationChart(chart, QStringLiteral("After")), kDocumentFileError);
            QCOMPARE(f.store.SetDesignationChartDiameter(chart, 4), kDocumentFileError);
        }
        QCOMPARE(f.store.FindDesignationChart(chart)->ChartName, QStringLiteral("Before"));
        QCOMPARE(f.store.FindDesignationChart(chart)->Diameter, 0);
        QCOMPARE(updated.count(), 0);
        QCOMPARE(f.store.SetDesignationChartDiameter(chart, 4), kDocumentOk);
        QCOMPARE(updated.count(), 1);

        // A create whose write fails leaves no folder behind and the list as it was.
        QVERIFY(QDir().mkpath(f.store.DesignationChartPath(chart + 1)));
        QCOMPARE(f.CreateChart(QStringLiteral("x")), -kDocumentFileError);
        QVERIFY(!QFileInfo::exists(f.store.DesignationChartFolder(chart + 1)));
        QCOMPARE(f.store.GetDesignationCharts()->size(), 1);
        QVERIFY(QDir().rmdir(f.store.DesignationChartPath(chart + 1)));

        // A chart folder that cannot be made fails the read; job numbers of the charts read are kept.
        const int second = f.CreateChart(QStringLiteral("second"));
        f.store.FindDesignationChart(chart)->JobNumber = 5;
        QVERIFY(QDir().rmdir(f.store.DesignationChartFolder(second)));
        QVERIFY(WriteFile(f.store.DesignationChartFolder(second), "not a folder"));
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentFolderError);
        QCOMPARE(f.store.FindDesignationChart(chart)->JobNumber, 5);

        // The recognition folder cannot be made.
        QVERIFY(QFile::remove(f.store.DesignationChartFolder(second)));
        QVERIFY(QDir().rmdir(f.store.RecognitionFolder()));
        QVERIFY(WriteFile(f.store.RecognitionFolder(), "not a folder"));
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentFolderError);
        QVERIFY(QFile::remove(f.store.RecognitionFolder()));
        QVERIFY(f.store.GetDesignationCharts()->isEmpty());
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.GetDesignationCharts()->size(), 2);
    }

    void signalsPointIntoLists()
    {
        Fixture f;
        QSignalSpy createdChart(&f.store, &CDocumentData::CreateDesignationChartFinished);
        QSignalSpy updatedChart(&f.store, &CDocumentData::UpdateDesignationChartFinished);
        QSignalSpy createdMeasure(&f.store, &CDocumentData::CreateDesignationMeasureFinished);
        QSignalSpy updatedMeasure(&f.store, &CDocumentData::UpdateDesignationMeasureFinished);
        QSignalSpy createdRecognition(&f.store, &CDocumentData::CreateRecognitionMeasureFinished);
        QSignalSpy updatedRecognition(&f.store, &CDocumentData::UpdateRecognitionMeasureFinished);
        QSignalSpy createdDensity(&f.store, &CDocumentData::CreateDensityChartFinished);
        QSignalSpy updatedDensity(&f.store, &CDocumentData::UpdateDensityChartFinished);
        QSignalSpy createdDensityMeasure(&f.store, &CDocumentData::CreateDensityMeasureFinished);
        QSignalSpy updatedDensityMeasure(&f.store, &CDocumentData::UpdateDensityMeasureFinished);

        const int chart = f.CreateChart(QStringLiteral("S"));
        QCOMPARE(createdChart.count(), 1);
        QCOMPARE(createdChart.at(0).at(0).value<ChartDesigData *>(), f.store.FindDesignationChart(chart));
        QCOMPARE(f.store.RenameDesignationChart(chart, QStringLiteral("T")), kDocumentOk);
        QCOMPARE(updatedChart.count(), 1);
        QCOMPARE(updatedChart.at(0).at(0).value<ChartDesigData *>()->ChartName, QStringLiteral("T"));

        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        int number = 0;
        QCOMPARE(f.store.CreateDesignationMeasure(&number, chart, &m), kDocumentOk);
        QCOMPARE(createdMeasure.count(), 1);
        QCOMPARE(createdMeasure.at(0).at(0).value<ChartDesigMeasureData *>(), f.store.FindDesignationMeasure(number));
        QCOMPARE(f.store.RenameDesignationMeasure(number, QStringLiteral("M")), kDocumentOk);
        QCOMPARE(updatedMeasure.count(), 1);
        QCOMPARE(updatedMeasure.at(0).at(0).value<ChartDesigMeasureData *>(), f.store.FindDesignationMeasure(number));

        ChartDefinitionDataSheets c = MakeChart(1);
        ChartGuard g2{&c};
        QCOMPARE(f.store.CreateRecognitionMeasure(&number, c, &m), kDocumentOk);
        QCOMPARE(createdRecognition.count(), 1);
        QCOMPARE(createdRecognition.at(0).at(0).value<ChartRecogData *>(), f.store.FindRecognitionMeasure(number));
        QCOMPARE(f.store.RenameRecognitionMeasure(number, QStringLiteral("R")), kDocumentOk);
        QCOMPARE(updatedRecognition.count(), 1);
        QCOMPARE(f.store.FindRecognitionMeasure(number)->ChartName, QStringLiteral("R"));

        QCOMPARE(f.store.CreateDensityChart(1, 0, &c), kDocumentOk);
        const int density = f.store.GetDensityCharts()->last().ID;
        QCOMPARE(createdDensity.count(), 1);
        QCOMPARE(createdDensity.at(0).at(0).value<DensityBalanceData *>(), f.store.FindDensityChart(density));
        QCOMPARE(f.store.RenameDensityChart(density, QStringLiteral("D")), kDocumentOk);
        QCOMPARE(updatedDensity.count(), 1);
        QCOMPARE(f.store.CreateDensityMeasure(&number, density, &m), kDocumentOk);
        QCOMPARE(createdDensityMeasure.count(), 1);
        QCOMPARE(createdDensityMeasure.at(0).at(0).value<ChartDesigMeasureData *>(), f.store.FindDensityMeasure(number));
        QCOMPARE(f.store.RenameDensityMeasure(number, QStringLiteral("DM")), kDocumentOk);
        QCOMPARE(updatedDensityMeasure.count(), 1);

        QSignalSpy read(&f.store, &CDocumentData::ReadDesignationChartFinished);
        QSignalSpy readRecognition(&f.store, &CDocumentData::ReadRecognitionMeasureFinished);
        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(read.count(), 1);
        QCOMPARE(readRecognition.count(), 1);
        QCOMPARE(read.at(0).at(0).value<QList<ChartDesigData>>().size(), 1);
        QCOMPARE(read.at(0).at(1).value<QList<ChartDesigMeasureData>>().first().ChartName, QStringLiteral("M"));
    }

    // The installation's generated presets, copied on the first run, keep their own numbers.
    void presetsOnFirstRun()
    {
        const QDir presets(InitialDataDir() + QStringLiteral("/Density"));
        const QStringList files = presets.entryList({QStringLiteral("*.vrchart")}, QDir::Files, QDir::Name);
        QVERIFY2(files.contains(QStringLiteral("00077.vrchart")), "generated presets missing");
        Fixture f;
        QCOMPARE(f.store.Initialize(true), kDocumentOk);
        QList<int> expected;
        for (const QString &file : files)
            expected << file.section(QLatin1Char('.'), 0, 0).toInt();
        QCOMPARE(Numbers(*f.store.GetDensityCharts()), expected);
        ChartDefinitionDataSheets chart = MakeChart(1);
        ChartGuard g{&chart};
        QCOMPARE(f.store.CreateDensityChart(7, 0, &chart), kDocumentOk);
        QCOMPARE(f.store.GetDensityCharts()->last().ID, expected.last() + 1);
    }

    void presetRefresh()
    {
        const QString installed = InitialDataDir() + QStringLiteral("/Density/00077.vrchart");
        Fixture f;
        const QString user = f.Path("Density/00005.vrchart");
        WriteDensityChart(user, QStringLiteral("Type2_SRA3"), QStringLiteral("2015/01/01 00:00:00"), 1, 1);
        QVERIFY(QDir().mkpath(f.Path("Density/Data/00005")));
        MeasurementDataSheets m = MakeMeasurement(1);
        MeasurementGuard g{&m};
        ChartDesigMeasureData record;
        QCOMPARE(SaveDensityMeasureFile(f.Path("Density/Data/00005/00001.vrmeas"), &record, m), kDocumentOk);
        // Not a preset: another creation time.
        const QString other = f.Path("Density/00006.vrchart");
        WriteDensityChart(other, QStringLiteral("Type2_SRA3"), QStringLiteral("2016/01/01 00:00:00"), 1, 1);
        const QByteArray otherBefore = ReadAll(other);

        QCOMPARE(f.store.Initialize(false), kDocumentOk);
        QCOMPARE(ReadAll(user), ReadAll(installed));
        QCOMPARE(ReadAll(other), otherBefore);
        QCOMPARE(f.store.GetDensityMeasures()->size(), 1);
        QCOMPARE(f.store.GetDensityMeasures()->first().ChartID, 5);

        // Without the installation's file the user's chart stays as it is.
        QTemporaryDir emptyInitial;
        Fixture g2(emptyInitial.path());
        const QString alone = g2.Path("Density/00005.vrchart");
        WriteDensityChart(alone, QStringLiteral("A4_2"), QStringLiteral("2018/05/05 00:00:00"), 7, 0, 22, 23);
        const QByteArray before = ReadAll(alone);
        QCOMPARE(g2.store.Initialize(false), kDocumentOk);
        QCOMPARE(ReadAll(alone), before);
    }

    void installByLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("installed");
        QTest::newRow("0") << 0 << QStringList{"P120", "P232", "P241", "P310"};
        QTest::newRow("1") << 1 << QStringList{"P232", "P241", "P310"};
        QTest::newRow("2") << 2 << QStringList{"P241", "P310"};
        QTest::newRow("3") << 3 << QStringList{"P310"};
        QTest::newRow("4") << 4 << QStringList{};
    }

    void installByLevel()
    {
        QFETCH(int, level);
        QFETCH(QStringList, installed);
        QTemporaryDir initial;
        for (int number : {100, 120, 232, 241, 310})
            WriteDensityChart(initial.filePath(QStringLiteral("Density/%1.vrchart").arg(number, 5, 10, QLatin1Char('0'))),
                              QStringLiteral("P%1").arg(number), QStringLiteral("2020/01/01 00:00:00"), 7, 0);
        Fixture f(initial.path());
        WriteDensityChart(f.Path("Density/00400.vrchart"), QStringLiteral("Own"), QString(), 7, 0);
        f.host.installedLevel = level;
        QCOMPARE(f.store.Initialize(false), kDocumentOk);
        QStringList names;
        QList<int> numbers;
        for (const auto &chart : *f.store.GetDensityCharts()) {
            if (chart.ID == 400)
                continue;
            names << chart.ChartName;
            numbers << chart.ID;
            QVERIFY(QFileInfo(f.store.DensityChartPath(chart.ID)).isFile());
        }
        QCOMPARE(names, installed);
        for (int k = 0; k < numbers.size(); ++k)
            QCOMPARE(numbers[k], 401 + k);
        QCOMPARE(f.store.InstallPresetsByLevel(), kDocumentOk);
        QCOMPARE(f.store.GetDensityCharts()->size(), installed.size() + 1);
    }

    // Settings from before the presets with an empty density folder: only the presets are copied again.
    void densityPresetsCopiedAgain()
    {
        QTemporaryDir initial;
        WriteDensityChart(initial.filePath(QStringLiteral("Density/00077.vrchart")), QStringLiteral("Type2_SRA3"),
                          QStringLiteral("2015/01/01 00:00:00"), 1, 1);
        QVERIFY(WriteFile(initial.filePath(QStringLiteral("Other.txt")), "initial"));
        Fixture f(initial.path());
        QVERIFY(WriteFile(f.Path("Other.txt"), "initial"));
        QVERIFY(QDir().mkpath(f.Path("Density")));
        f.host.installedLevel = 0;
        QCOMPARE(f.store.Initialize(false), kDocumentOk);
        QCOMPARE(Numbers(*f.store.GetDensityCharts()), QList<int>{77});
    }
};

QTEST_GUILESS_MAIN(TestDocStore)
#include "test_docstore.moc"
