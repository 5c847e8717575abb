// The main window's helpers without a window: the progress of a scanner run, the page files a TIFF save writes
// and which of them already exist, the proposed export name and the per-condition export files that exist.
#include "tests/app/modelfixture.h"

#include "files/outputimage.h"
#include "mainwindow/fileactionnames.h"
#include "mainwindow/measureprogress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>

namespace {

bool Touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// Chart definition freed on every way out of a test.
struct ChartCopy {
    ChartDefinitionDataSheets chart;
    ~ChartCopy() { ClearChartDefinitionData(&chart); }
};

} // namespace

class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void progress_data()
    {
        QTest::addColumn<uint>("index");
        QTest::addColumn<uint>("count");
        QTest::addColumn<int>("percent");       // main window, double precision
        QTest::addColumn<int>("percentSingle"); // density window, single precision
        QTest::addColumn<QString>("label");
        QTest::addRow("1 of 3") << 0u << 3u << 33 << 33 << "1 / 3";
        QTest::addRow("2 of 3") << 1u << 3u << 66 << 66 << "2 / 3";
        QTest::addRow("3 of 3") << 2u << 3u << 100 << 100 << "3 / 3";
        for (uint i = 0; i < 5; ++i)
            QTest::addRow("%u of 5", i + 1) << i << 5u << int(20 * (i + 1)) << int(20 * (i + 1))
                                            << QStringLiteral("%1 / 5").arg(i + 1);
        QTest::addRow("97 of 194: precisions differ") << 96u << 194u << 49 << 50 << "97 / 194";
        QTest::addRow("no patches") << 0u << 0u << 0 << 0 << "0 / 0";
        QTest::addRow("no patches, later index") << 4u << 0u << 0 << 0 << "0 / 0";
        QTest::addRow("past the last patch") << 5u << 3u << 100 << 100 << "6 / 3";
        QTest::addRow("largest index does not wrap") << UINT_MAX << 7u << 100 << 100 << "4294967296 / 7";
    }

    void progress()
    {
        QFETCH(uint, index);
        QFETCH(uint, count);
        QFETCH(int, percent);
        QFETCH(int, percentSingle);
        QFETCH(QString, label);
        const MeasureProgress main = MeasuredPatchProgress(index, count);
        QCOMPARE(main.percent, percent);
        QCOMPARE(main.count, label);
        const MeasureProgress single = MeasuredPatchProgressSingle(index, count);
        QCOMPARE(single.percent, percentSingle);
        QCOMPARE(single.count, label);
    }

    void pageFileNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("expected");
        QTest::addRow("first page") << "/d/abc.tiff" << 0 << "/d/abc_001.tiff";
        QTest::addRow("second page") << "/d/abc.tiff" << 1 << "/d/abc_002.tiff";
        QTest::addRow("pattern characters") << "/d/a+b(.tiff" << 0 << "/d/a+b(_001.tiff";
        QTest::addRow("no dot") << "/d/abc" << 0 << "/d/abc_001";
        QTest::addRow("dot in the folder only") << "/d.x/abc" << 0 << "/d.x/abc_001";
        QTest::addRow("last dot of the name") << "/d/abc.v2.tiff" << 0 << "/d/abc.v2_001.tiff";
    }

    void pageFileNames()
    {
        QFETCH(QString, path);
        QFETCH(int, page);
        QFETCH(QString, expected);
        QCOMPARE(CModel::ChartImagePageFileName(path, page), expected);
    }

    void pageFileNamesAreTheWrittenOnes()
    {
        ModelFixture fixture;
        QVERIFY(fixture.Make());
        QTemporaryDir out;
        QVERIFY(out.isValid());
        ChartCopy copy;
        MakeChart(&copy.chart, 2, 2, 2);
        const QString path = out.filePath(QStringLiteral("a+b(.tiff"));
        QCOMPARE(fixture.model->ExportChartImage(path, &copy.chart), 0);

        QStringList expected{QFileInfo(CModel::ChartImagePageFileName(path, 0)).fileName(),
                             QFileInfo(CModel::ChartImagePageFileName(path, 1)).fileName()};
        QCOMPARE(QDir(out.path()).entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(FirstExistingChartImagePage(path, 2), CModel::ChartImagePageFileName(path, 0));
    }

    void existingChartImagePage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("expected"); // empty: nothing to ask about
        QTest::addRow("page file exists") << "abc.tiff" << 2 << "abc_001.tiff";
        QTest::addRow("other names sharing the start") << "ab.tiff" << 2 << "";
        QTest::addRow("longer name of the folder") << "abcdef.tiff" << 1 << "";
        QTest::addRow("the chosen file itself") << "plain.tiff" << 1 << "";
        QTest::addRow("second page beyond the chart") << "xyz.tiff" << 1 << "";
        QTest::addRow("second page of the chart") << "xyz.tiff" << 2 << "xyz_002.tiff";
        QTest::addRow("pattern characters") << "a+b(.tiff" << 1 << "a+b(_001.tiff";
        QTest::addRow("no pages") << "abc.tiff" << 0 << "";
    }

    void existingChartImagePage()
    {
        QFETCH(QString, name);
        QFETCH(int, pages);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const char *file : {"abc_001.tiff", "abc_1.tiff", "abcdef.tiff", "plain.tiff", "xyz_002.tiff",
                                 "a+b(_001.tiff"})
            QVERIFY(Touch(folder.filePath(QLatin1String(file))));
        const QString found = FirstExistingChartImagePage(folder.filePath(name), pages);
        QCOMPARE(found, expected.isEmpty() ? QString() : folder.filePath(expected));
    }

    void defaultExportName_data()
    {
        QTest::addColumn<bool>("recognition");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("expected");
        QTest::addRow("default name under its chart") << false << 17 << "Meas00017" << 3 << "Sample_00017.txt";
        QTest::addRow("digits come from the id") << false << 17 << "Meas00018" << 0 << "Sample_00017.csv";
        QTest::addRow("named by the user") << false << 17 << "Run A" << 3 << "Run A.txt";
        QTest::addRow("four digits") << false << 17 << "Meas0017" << 2 << "Meas0017.xml";
        QTest::addRow("six digits") << false << 17 << "Meas000017" << 3 << "Meas000017.txt";
        QTest::addRow("default name inside another") << false << 17 << "xMeas00017" << 3 << "xMeas00017.txt";
        QTest::addRow("trailing space") << false << 17 << "Meas00017 " << 3 << "Meas00017 .txt";
        QTest::addRow("recognition") << true << 17 << "" << 3 << "00017.txt";
        QTest::addRow("recognition ignores its name") << true << 17 << "Run A" << 4 << "00017.xml";
    }

    void defaultExportName()
    {
        QFETCH(bool, recognition);
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(int, filter);
        QFETCH(QString, expected);
        QCOMPARE(DefaultExportFileName(recognition, id, name, QStringLiteral("Sample"), filter), expected);
    }

    void existingMeasurementFile_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("expected"); // empty: nothing to ask about
        // Conditions M1 and D65 are enabled, in that order.
        QTest::addRow("none present") << "run.txt" << QStringList{} << "";
        QTest::addRow("one present") << "run.txt" << QStringList{"run_D65.txt"} << "run_D65.txt";
        QTest::addRow("first in condition order") << "run.txt" << QStringList{"run_D65.txt", "run_M1.txt"}
                                                  << "run_M1.txt";
        QTest::addRow("disabled condition") << "run.txt" << QStringList{"run_M0.txt"} << "";
        QTest::addRow("the chosen file itself") << "run.txt" << QStringList{"run.txt"} << "";
        QTest::addRow("name with two dots, model's file")
            << "run.v2.txt" << QStringList{"run.v2_D65.txt"} << "run.v2_D65.txt";
        QTest::addRow("name with two dots, name cut at the first dot")
            << "run.v2.txt" << QStringList{"run_D65.txt"} << "";
    }

    void existingMeasurementFile()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        ModelFixture fixture;
        QVERIFY(fixture.Make());
        Setting::MeasureConditionSetting conditions = *fixture.model->GetMeasurementCondition(0);
        conditions.ConditionMask = 0x2 | 0x10;
        QCOMPARE(fixture.model->SetMeasureCondition(conditions, 0), 0);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const QString &file : present)
            QVERIFY(Touch(folder.filePath(file)));
        const QString found = FirstExistingMeasurementFile(*fixture.model, folder.filePath(chosen));
        QCOMPARE(found, expected.isEmpty() ? QString() : folder.filePath(expected));
    }
};

int main(int argc, char **argv)
{
    COutputImage::InitializeImageLibrary(argv[0]);
    QCoreApplication app(argc, argv);
    TestHelpers test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_helpers.moc"
