// The program fixture: a whole start of the program in process, the body inside its event loop with the main
// window and model, the shut-down after it; and the seeded store as a later start lists it.
#include "programfixture.h"

#include "app/model.h"
#include "app/storeconventions.h"

#include <QFile>
#include <QMainWindow>
#include <QtTest>

namespace {

QString SettingsFile()
{
    return AppDataDir() + QStringLiteral("/Setting.bin");
}

// {name, pages, patches} of every designation chart in list order.
QStringList ChartRows(const CModel &model)
{
    QStringList rows;
    for (const ChartDesigData &chart : *model.GetDesignationCharts())
        rows << QStringLiteral("%1 %2 %3").arg(chart.ChartName).arg(chart.SheetCount).arg(chart.ChartPatchCount);
    return rows;
}

} // namespace

class TestProgramFixture : public QObject
{
    Q_OBJECT

private slots:
    void bodyRunsInTheProgram()
    {
        ProgramFixture program;
        program.exitCode = 7;
        bool visible = false;
        bool initialized = false;
        bool autoConnect = true;
        const int code = program.Run([&] {
            visible = program.Window() && program.Window()->isVisible();
            initialized = program.Model() && program.Model()->IsInitialized();
            if (program.Model())
                autoConnect = program.Model()->GetUserEnvironment()->AutoConnect;
            // Only the shut-down may write it now.
            QFile::remove(SettingsFile());
        });
        QVERIFY(program.BodyRan());
        QCOMPARE(code, 7);
        QVERIFY(visible);
        QVERIFY(initialized);
        QVERIFY(!autoConnect);
        QVERIFY(QFile::exists(SettingsFile()));
        QCOMPARE(program.Steps().last(), int(kStepDestroyRest));
        QVERIFY(program.StartupErrors().isEmpty());
        QVERIFY(!program.Window());
        QVERIFY2(program.script.Done(), qPrintable(program.script.Problems()));
    }

    // Turned on with nothing seeded, the run is a first start: no settings file before it.
    void autoConnectOnIsAFirstStart()
    {
        ProgramFixture program;
        program.autoConnect = true;
        bool autoConnect = false;
        bool settingsBefore = true;
        QCOMPARE(program.Run(
                     [&] { autoConnect = program.Model() && program.Model()->GetUserEnvironment()->AutoConnect; },
                     [&](int step) {
                         if (step == kStepIdentity)
                             settingsBefore = QFile::exists(SettingsFile());
                     }),
                 0);
        QVERIFY(program.BodyRan());
        QVERIFY(!settingsBefore);
        QVERIFY(autoConnect);
    }

    void seededStoreListedByTheNextStart()
    {
        ProgramFixture program;
        SeededStore ids;
        QVERIFY(program.Seed(&ids));
        QVERIFY(ids.qrChart && ids.big100 && ids.big101);
        QVERIFY(ids.completeMeasure && ids.incompleteMeasure && ids.recognition && ids.emptyRecognition);

        const QStringList charts{QStringLiteral("QRChart 1 20"), QStringLiteral("Big100 100 200"),
                                 QStringLiteral("Big101 101 202")};
        for (int start = 1; start <= 2; ++start) {
            QStringList listed;
            QList<QPair<int, int>> measures;
            QMap<int, int> recognitions;
            const int code = program.Run([&] {
                CModel *model = program.Model();
                if (!model)
                    return;
                listed = ChartRows(*model);
                for (const ChartDesigMeasureData &m : *model->GetDesignationMeasurements())
                    measures << qMakePair(m.ChartID, m.RecordCount);
                for (const ChartRecogData &r : *model->GetRecognitionMeasurements())
                    recognitions.insert(r.ID, r.RecordCount);
            });
            QCOMPARE(code, 0);
            QVERIFY(program.BodyRan());
            QCOMPARE(listed, charts);
            QCOMPARE(measures, (QList<QPair<int, int>>{{ids.qrChart, 20}, {ids.qrChart, 12}}));
            QCOMPARE(recognitions.size(), 2);
            QCOMPARE(recognitions.value(ids.recognition), 6);
            QCOMPARE(recognitions.value(ids.emptyRecognition, -1), 0);
        }
        QVERIFY2(program.script.Done(), qPrintable(program.script.Problems()));
    }
};

VAREMO_PROGRAM_TEST_MAIN(TestProgramFixture)

#include "test_programfixture.moc"
