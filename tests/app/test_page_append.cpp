// Measurement documents that grow a page at a time: after every appended page the file holds exactly what the
// writer makes of the pages stored so far, through renames, failed writes and files changed behind the store.

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/orlobuilders.h"
#include "docfixtures.h"
#include "modelfixture.h"
#include "resourcehost.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

using namespace fixture;

namespace {

// What the file of a measurement document should hold: its header and the pages appended so far.
struct ExpectedDocument {
    bool density = false;
    ChartDesigMeasureData header;
    MeasurementDataSheets pages;

    ~ExpectedDocument() { ClearMeasureFileData(&pages); }

    // The writer's bytes for the pages plus page (when given); the header takes the page's records.
    QByteArray Bytes(const MeasurementData *page = nullptr)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const int result = density ? SaveDensityMeasureFile(buffer, &header, pages, page, -1)
                                   : SaveMeasureFile(buffer, &header, pages, page, -1);
        return result == kDocumentOk ? buffer.data() : QByteArray();
    }

    void Append(const MeasurementData &page)
    {
        const int count = pages.SheetCount;
        std::unique_ptr<MeasurementData[]> grown = NewMeasurementPages(size_t(count + 1));
        for (int i = 0; i < count; ++i)
            grown[i] = std::move(pages.Sheets[i]);
        CopyMeasurementPage(&grown[count], page);
        pages.Sheets = std::move(grown);
        pages.SheetCount = count + 1;
    }

    void TakeHeader(const ChartDesigMeasureData &record)
    {
        header.ChartName = record.ChartName;
        header.CreateTime = record.CreateTime;
        header.RecordCount = record.RecordCount;
        header.Diameter = record.Diameter;
    }

    bool SameHeader(const ChartDesigMeasureData &record) const
    {
        return record.ChartName == header.ChartName && record.CreateTime == header.CreateTime &&
               record.RecordCount == header.RecordCount && record.Diameter == header.Diameter;
    }
};

struct StoreFixture {
    QTemporaryDir dir;
    ResourceHost<> host;
    CDocumentData store;
    StoreFixture() : store(&host, nullptr, dir.path(), InitialDataDir()) { store.ReadDataGroups(); }
};

} // namespace

class TestPageAppend : public QObject
{
    Q_OBJECT

private slots:
    void storeAppendsPageByPage_data()
    {
        QTest::addColumn<bool>("density");
        QTest::newRow("designation") << false;
        QTest::newRow("density") << true;
    }
    // Twenty pages with a rename, a failed write and a file replaced from outside on the way.
    void storeAppendsPageByPage()
    {
        QFETCH(bool, density);
        constexpr int kPages = 20, kRenamedAt = 6, kFailedAt = 10, kReplacedAt = 14;
        StoreFixture f;
        CDocumentData &store = f.store;
        int chart = 0;
        if (density) {
            ChartDefinitionDataSheets definition = MakeChart(1);
            ChartGuard guard{&definition};
            QCOMPARE(store.CreateDensityChart(7, 0, &definition), kDocumentOk);
            chart = store.GetDensityCharts()->last().ID;
        } else {
            ChartDefinitionDataSheets definition = MakeChart(kPages);
            ChartGuard guard{&definition};
            QCOMPARE(store.CreateDesignationChart(&definition), kDocumentOk);
            chart = store.GetDesignationCharts()->last().ID;
        }
        MeasurementDataSheets run = MakeMeasurement(kPages, 3);
        MeasurementGuard runGuard{&run};
        run.Mode = 2;
        run.Diameter = 1;
        run.BarcodeText1 = QStringLiteral("CODE");
        run.BarcodeText2 = QStringLiteral("7 1");
        for (int p = 0; p < kPages; ++p)
            run.Sheets[p].Records[p % 3].Values[p] = -1.5f - float(p);

        int number = 0;
        QCOMPARE(density ? store.CreateDensityMeasure(&number, chart, &run)
                         : store.CreateDesignationMeasure(&number, chart, &run),
                 kDocumentOk);
        const auto record = [&] { return density ? store.FindDensityMeasure(number) : store.FindDesignationMeasure(number); };
        const QString path = density ? store.DensityMeasurePath(chart, number) : store.DesignationMeasurePath(chart, number);
        ExpectedDocument expected;
        expected.density = density;
        expected.TakeHeader(*record());
        CopyMeasureFileData(&expected.pages, run);
        expected.pages.SheetCount = 1;
        QCOMPARE(ReadAll(path), expected.Bytes());

        for (int p = 1; p < kPages; ++p) {
            if (p == kRenamedAt) {
                const QString name = QStringLiteral("Renamed");
                QCOMPARE(density ? store.RenameDensityMeasure(number, name) : store.RenameDesignationMeasure(number, name),
                         kDocumentOk);
                expected.header.ChartName = name;
                QCOMPARE(ReadAll(path), expected.Bytes());
            }
            if (p == kFailedAt) {
                const QByteArray before = ReadAll(path);
                {
                    NoFileGrowth full;
                    QCOMPARE(density ? store.UpdateDensityMeasure(number, run.Sheets[p])
                                     : store.UpdateDesignationMeasure(number, run.Sheets[p]),
                             kDocumentFileError);
                }
                QCOMPARE(ReadAll(path), before);
                QVERIFY(expected.SameHeader(*record()));
            }
            if (p == kReplacedAt) {
                // Another writer replaces the document; the next page goes after what the file now holds. The
                // replacement has the same size and, as when both writes fall in one tick of the file clock, the
                // same time.
                const QDateTime before = QFileInfo(path).lastModified();
                expected.header.ChartName = QStringLiteral("Outside");
                expected.header.CreateTime = QStringLiteral("2001/02/03 04:05:06");
                expected.pages.Sheets[0].Records[0].X += 1;
                QCOMPARE(density ? SaveDensityMeasureFile(path, &expected.header, expected.pages)
                                 : SaveMeasureFile(path, &expected.header, expected.pages),
                         kDocumentOk);
                QFile replaced(path);
                QVERIFY(replaced.open(QIODevice::ReadWrite));
                QVERIFY(replaced.setFileTime(before, QFileDevice::FileModificationTime));
            }
            const QByteArray bytes = expected.Bytes(&run.Sheets[p]);
            QCOMPARE(density ? store.UpdateDensityMeasure(number, run.Sheets[p])
                             : store.UpdateDesignationMeasure(number, run.Sheets[p]),
                     kDocumentOk);
            expected.Append(run.Sheets[p]);
            QVERIFY2(ReadAll(path) == bytes, qPrintable(QStringLiteral("page %1").arg(p + 1)));
            QVERIFY(expected.SameHeader(*record()));
        }

        // A deleted document takes no page.
        QVERIFY(density ? store.DeleteDensityMeasure(number) : store.DeleteDesignationMeasure(number));
        QCOMPARE(density ? store.UpdateDensityMeasure(number, run.Sheets[0])
                         : store.UpdateDesignationMeasure(number, run.Sheets[0]),
                 kDocumentFileError);
        QVERIFY(!QFile::exists(path));
    }

    // A registered scanner run of twenty small pages through the model (a blank sheet and a scripted
    // recognition): after every page the document holds the buffer's pages so far, as the writer lays them out.
    void scannerRunStoresEveryPage()
    {
        constexpr int kPages = 20, kRows = 2, kColumns = 3;
        ModelFixture f;
        QVERIFY(f.Make());
        CModel &model = *f.model;
        const int chartId = CreateChart(&model, kPages, kRows, kColumns);
        QVERIFY(chartId > 0);
        QCOMPARE(f.ConnectUsb(), 0);
        QCOMPARE(model.SelectFileID(CModel::KindDesignationChart, chartId, chartId), 0);
        // A selected chart definition makes a sheet without QR code a registered run.
        model.SetDataTreeMode(1);
        OrloSim_DeliverPending();
        CDocumentData *store = CModelAccess::DocumentData(model);
        const MeasurementDataSheets *buffer = CModelAccess::DataBuffer(model)->GetMeasurement();
        const OrloSimSheet blank = {2000, 2000, 0, nullptr, nullptr, nullptr, 0, 0, 0};

        ExpectedDocument expected;
        QString path;
        int id = 0;
        for (int p = 0; p < kPages; ++p) {
            const ChartDefinitionData::Sheet &sheet = model.GetChartDefinition()->Sheets[p];
            OrloLayoutRecord layout;
            BuildLayoutRecord(sheet, &layout, nullptr);
            const ChartDefinitionData::AreaPlacement &g = sheet.Placements[0];
            std::vector<OrloMeasurePoint> points;
            for (int r = 0; r < kRows; ++r)
                for (int c = 0; c < kColumns; ++c)
                    points.push_back({g.LeftTopX + c * g.PatchWidthGap + g.PatchWidth / 2,
                                      g.LeftTopY + r * g.PatchHeightGap + g.PatchHeight / 2, 0, r, c});
            OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));
            QCOMPARE(OrloSim_InsertSheet(&blank), 0);
            while (OrloSim_DeliverPending() > 0) {
            }
            QCOMPARE(f.window->errors, QList<int>{});
            QVERIFY(buffer->SheetCount > p);
            QCOMPARE(buffer->Sheets[p].MeasuredCount, kRows * kColumns);
            QByteArray bytes;
            if (p == 0) {
                id = model.GetNewMeasurementID();
                path = store->DesignationMeasurePath(chartId, id);
                expected.TakeHeader(*store->FindDesignationMeasure(id));
                CopyMeasureFileData(&expected.pages, *buffer);
                expected.pages.SheetCount = 1;
                bytes = expected.Bytes();
            } else {
                bytes = expected.Bytes(&buffer->Sheets[p]);
                expected.Append(buffer->Sheets[p]);
            }
            QCOMPARE(model.GetNewMeasurementID(), id);
            QVERIFY2(ReadAll(path) == bytes, qPrintable(QStringLiteral("page %1").arg(p + 1)));
            QVERIFY(expected.SameHeader(*store->FindDesignationMeasure(id)));
            QCOMPARE(expected.pages.Sheets[p].PageNumber, p + 1);
        }
        QVERIFY(model.IsFirstSheet());
    }
};

QTEST_GUILESS_MAIN(TestPageAppend)
#include "test_page_append.moc"
