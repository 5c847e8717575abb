// The model's user-illuminant operations over the simulated instruments, and the chart operations that talk to
// the scanner or write files: each row runs one operation on a store holding "Lamp" and "Window" and checks the
// result, the messages shown, the store as reloaded from its file and what reached the scanner or a file.

#include "modelfixture.h"

#include "app/applicationdata.h"
#include "app/illuminantdata.h"
#include "app/orlosdkcontroller.h"
#include "app/tanosdkcontroller.h"
#include "files/iodatafile.h"

#include "PellSim.h"
#include "vexhid_sim.h"

#include <QDir>
#include <QDomDocument>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

enum Op {
    ImportFile,       // a: format
    ReplaceFromFile,  // a: list index, b: format
    Delete,           // a: environment-light index
    ImportInstrument, // a: source (2 handheld, 3 Lumet)
    ExportLight,      // a: source, b: index
    Register,         // a: slot, b: 1 = the scanner refuses
    Condition,        // a: condition id, b: illuminant id
    DeleteJob,        // a: selection kind, b: 0 setting off, 1 on, 2 on and the scanner refuses
    ExportChartXml,
    ExportChartImage,
};

// Every value of a fixture spectrum is the same, so one probe value tells the records apart.
constexpr int kProbe = 50;
constexpr float kLamp = 10.0f, kWindow = 20.0f, kTungsten = 30.0f, kFlat = 40.0f, kHandheld = 50.0f;
constexpr float kLumetSpectrum = 0.0625f; // the controller scales the instrument's spectrum by 1000
constexpr float kLumet = 62.5f;
const double kNone = std::numeric_limits<double>::quiet_NaN();

QByteArray ValueLines(float value)
{
    QByteArray lines;
    for (int i = 0; i < kEnvironLightValueCount; ++i)
        lines += QByteArray::number(double(value), 'f', 4) + '\n';
    return lines;
}

QByteArray Uid2(float value)
{
    return "#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\n\n#FORMAT_VERSION,01.00\n\n#CREATE_TIME,20240102030405\n\n"
           "#INSTRUMENTATION,Unknown\n\n#BEGIN_WAVELENGTH,300\n\n#PITCH_WAVELENGTH,5\n\n#END_WAVELENGTH,780\n\n"
           "#BEGIN_SPECTRUM_DATA\n" +
           ValueLines(value) + "#END_SPECTRUM_DATA\n";
}

} // namespace

class TestModelIlluminants : public QObject
{
    Q_OBJECT

private:
    ModelFixture f;
    QTemporaryDir files;

    bool WriteFixture(const QString &name, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(files.filePath(name)).path());
        QFile file(files.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(files.isValid());
        // A dot in the folder name must not shorten the imported name.
        QVERIFY(WriteFixture("lights.d/Tungsten.A.uid2", Uid2(kTungsten)));
        QVERIFY(WriteFixture("lights.d/Flat", ValueLines(kFlat)));
        QVERIFY(WriteFixture("lights.d/Broken.uid2", "#FORMAT_VERSION,01.00\n" + ValueLines(1.0f)));
    }

    void init()
    {
        QVERIFY(f.Make());
        CModelAccess::TanoController(*f.model)->SetSleepFunction([](unsigned long) {});
        PellSim_Reset();
        VexSim_Reset();
        auto records = std::make_unique<EnvironLightData[]>(2);
        records[0] = Light("Lamp", kLamp);
        records[1] = Light("Window", kWindow);
        QCOMPARE(CModelAccess::IlluminantData(*f.model)->SetEnvironLightData(2, std::move(records)), 0);
        CModelAccess::IlluminantData(*f.model)->RebuildSlots();
    }

    // A caller's copy of the user-light list stays readable when the next operation rebuilds the model's list.
    void heldUserLightsOutliveRebuild()
    {
        CModel *model = f.model.get();
        EnvironLightData selected;
        model->SetEnvironmentLightSource(1, 0);
        QCOMPARE(model->GetSelectedEnvironmentLight(&selected), 0);
        const std::vector<EnvironLightData> held = model->GetUserLightList();
        QCOMPARE(model->DeleteUserIlluminant(), 0);
        QCOMPARE(held.size(), size_t(2));
        QCOMPARE(held[0].Name, QStringLiteral("Lamp"));
        QCOMPARE(held[1].Values[kProbe], kWindow);
        const std::vector<EnvironLightData> after = model->GetUserLightList();
        QCOMPARE(after.size(), size_t(1));
        QCOMPARE(after[0].Name, QStringLiteral("Window"));
    }

    void operations_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("result");
        QTest::addColumn<QList<int>>("messages");
        QTest::addColumn<QStringList>("names");   // the store as reloaded from its file
        QTest::addColumn<QList<float>>("values"); // the probe value of each of those records
        QTest::addColumn<double>("readBack");     // the probe value of the written file or the returned record
        QTest::addColumn<QString>("scannerCall"); // must be in the scanner's log; "!" in front: must not be

        const QStringList both{"Lamp", "Window"};
        const QList<float> bothValues{kLamp, kWindow};
        const int deleteRefused = int(COrloSDKController::kDeleteJobFailed);
        const int registerRefused = int(COrloSDKController::kUserIlluminantFailed);

        QTest::newRow("import .uid2: named after the file")
            << int(ImportFile) << 0 << 0 << "lights.d/Tungsten.A.uid2" << 0 << QList<int>{}
            << QStringList{"Lamp", "Window", "Tungsten.A"} << QList<float>{kLamp, kWindow, kTungsten} << kNone << "";
        QTest::newRow("import .uid without suffix")
            << int(ImportFile) << 1 << 0 << "lights.d/Flat" << 0 << QList<int>{}
            << QStringList{"Lamp", "Window", "Flat"} << QList<float>{kLamp, kWindow, kFlat} << kNone << "";
        QTest::newRow("import a damaged file") << int(ImportFile) << 0 << 0 << "lights.d/Broken.uid2" << 70010
                                               << QList<int>{14} << both << bothValues << kNone << "";
        QTest::newRow("replace: count and name stay")
            << int(ReplaceFromFile) << 1 << 0 << "lights.d/Tungsten.A.uid2" << 0 << QList<int>{} << both
            << QList<float>{kLamp, kTungsten} << kNone << "";
        QTest::newRow("replace from a damaged file") << int(ReplaceFromFile) << 0 << 0 << "lights.d/Broken.uid2"
                                                     << 70010 << QList<int>{14} << both << bothValues << kNone << "";
        QTest::newRow("delete the selected one") << int(Delete) << 0 << 0 << "" << 0 << QList<int>{}
                                                 << QStringList{"Window"} << QList<float>{kWindow} << kNone << "";
        QTest::newRow("delete past the end") << int(Delete) << 2 << 0 << "" << int(CModel::kBadLightSource)
                                             << QList<int>{} << both << bothValues << kNone << "";
        QTest::newRow("import from the handheld")
            << int(ImportInstrument) << 2 << 0 << "" << 0 << QList<int>{} << QStringList{"Lamp", "Window", "Desk"}
            << QList<float>{kLamp, kWindow, kHandheld} << kNone << "";
        QTest::newRow("import from the Lumet")
            << int(ImportInstrument) << 3 << 0 << "" << 0 << QList<int>{} << QStringList{"Lamp", "Window", "Desk"}
            << QList<float>{kLamp, kWindow, kLumet} << kNone << "";
        QTest::newRow("export a list entry") << int(ExportLight) << 1 << 1 << "out.uid2" << 0 << QList<int>{}
                                             << both << bothValues << double(kWindow) << "";
        QTest::newRow("export the handheld's light") << int(ExportLight) << 2 << 0 << "hand.uid" << 0
                                                     << QList<int>{} << both << bothValues << double(kHandheld) << "";
        QTest::newRow("export a Lumet record") << int(ExportLight) << 3 << 0 << "lumet.uid2" << 0 << QList<int>{}
                                               << both << bothValues << double(kLumet) << "";
        QTest::newRow("export into a missing folder") << int(ExportLight) << 1 << 0 << "missing/out.uid2" << 70001
                                                      << QList<int>{2} << both << bothValues << kNone << "";
        QTest::newRow("register a slot") << int(Register) << 1 << 0 << "" << 0 << QList<int>{} << both
                                         << bothValues << kNone << "Orlo_RegisterUserIlluminant";
        QTest::newRow("register an empty slot") << int(Register) << 2 << 0 << "" << int(CModel::kBadLightSource)
                                                << QList<int>{15} << both << bothValues << kNone
                                                << "!Orlo_RegisterUserIlluminant";
        QTest::newRow("registration refused") << int(Register) << 0 << 1 << "" << registerRefused
                                              << QList<int>{15} << both << bothValues << kNone << "";
        QTest::newRow("user condition, Auto") << int(Condition) << 16 << kAutoIlluminantId << "" << 0
                                              << QList<int>{} << both << bothValues << double(kWindow) << "";
        QTest::newRow("user illuminant named") << int(Condition) << 0 << kFirstUserIlluminantId << "" << 0
                                               << QList<int>{} << both << bothValues << double(kLamp) << "";
        QTest::newRow("Auto of an ordinary condition")
            << int(Condition) << 0 << kAutoIlluminantId << "" << int(CModel::kBadLightSource) << QList<int>{}
            << both << bothValues << kNone << "";
        QTest::newRow("user condition of an empty slot")
            << int(Condition) << 17 << kAutoIlluminantId << "" << int(CModel::kBadLightSource) << QList<int>{}
            << both << bothValues << kNone << "";
        QTest::newRow("chart job, chart selected")
            << int(DeleteJob) << int(CModel::KindDesignationChart) << 1 << "" << 0 << QList<int>{} << both
            << bothValues << kNone << "Orlo_DeleteJob";
        QTest::newRow("chart job, measurement selected")
            << int(DeleteJob) << int(CModel::KindDesignationMeasure) << 1 << "" << 0 << QList<int>{} << both
            << bothValues << kNone << "Orlo_DeleteJob";
        QTest::newRow("chart job kept by the settings")
            << int(DeleteJob) << int(CModel::KindDesignationChart) << 0 << "" << 0 << QList<int>{} << both
            << bothValues << kNone << "!Orlo_DeleteJob";
        QTest::newRow("chart job refused")
            << int(DeleteJob) << int(CModel::KindDesignationChart) << 2 << "" << deleteRefused << QList<int>{}
            << both << bothValues << kNone << "Orlo_DeleteJob";
        QTest::newRow("chart XML") << int(ExportChartXml) << 0 << 0 << "chart.xml" << 0 << QList<int>{} << both
                                   << bothValues << kNone << "";
        QTest::newRow("chart XML into a missing folder") << int(ExportChartXml) << 0 << 0 << "missing/chart.xml"
                                                         << 70001 << QList<int>{2} << both << bothValues << kNone
                                                         << "";
        QTest::newRow("chart image") << int(ExportChartImage) << 0 << 0 << "page.tif" << 0 << QList<int>{} << both
                                     << bothValues << kNone << "";
        // Handed back unreported: the window that asked reports it.
        QTest::newRow("chart image into a missing folder")
            << int(ExportChartImage) << 0 << 0 << "missing/page.tif" << 100002 << QList<int>{} << both
            << bothValues << kNone << "";
    }

    void operations()
    {
        QFETCH(int, op);
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(QString, file);
        QFETCH(int, result);
        QFETCH(QList<int>, messages);
        QFETCH(QStringList, names);
        QFETCH(QList<float>, values);
        QFETCH(double, readBack);
        QFETCH(QString, scannerCall);

        const QString path = files.filePath(file);
        CModel *model = f.model.get();
        int got = -1;
        EnvironLightData returned;
        int chartId = 0, job = 0;
        QSignalSpy checkedOff(model, &CModel::CheckOffDesigChartFromFileID);

        // Instruments and charts the row needs.
        if ((op == ImportInstrument || op == ExportLight) && a == 2) {
            float light[kEnvironLightValueCount];
            std::fill(std::begin(light), std::end(light), kHandheld);
            PellSim_SetUserIlluminant(light);
            int kind = 0, serial = 0;
            QCOMPARE(model->OpenTanoDevice(&kind, &serial), 0);
        }
        if ((op == ImportInstrument || op == ExportLight) && a == 3) {
            VexSim_AddInstrument(nullptr);
            VexSimStoredSeed seed{};
            std::fill(std::begin(seed.spectrum), std::end(seed.spectrum), kLumetSpectrum);
            const int date[6] = {2024, 5, 6, 7, 8, 9};
            std::copy(std::begin(date), std::end(date), seed.date);
            VexSim_AddStoredMeasurement(0, &seed);
            int kind = 0, serial = 0;
            QCOMPARE(model->OpenVexDevice(&kind, &serial), 0);
            const EnvironLightData *records = nullptr;
            int count = 0;
            QCOMPARE(model->GetVexStoredData(&records, &count), 0);
            QCOMPARE(count, 1);
        }
        if (op == DeleteJob || op == ExportChartXml || op == ExportChartImage) {
            chartId = CreateChart(model, 1, 2, 3);
            QVERIFY(chartId > 0);
            QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, chartId, chartId), 0);
        }
        if (op == DeleteJob) {
            QCOMPARE(f.ConnectUsb(), 0);
            QCOMPARE(model->RegisterDesignationChartJob(), 0);
            job = CModelAccess::DocumentData(*model)->FindDesignationChart(chartId)->JobNumber;
            QVERIFY(job != 0);
            if (a == CModel::KindDesignationMeasure)
                model->SelectFileID(a, 0, chartId);
            Setting::UserEnvironment environment = *model->GetUserEnvironment();
            environment.DeleteJobAfterUse = b != 0;
            QCOMPARE(model->SetUserEnvironment(environment), 0);
            if (b == 2)
                OrloSim_FailNext("Orlo_DeleteJob", 1);
        }
        if (op == Register && b == 1)
            OrloSim_FailNext("Orlo_RegisterUserIlluminant", 1);
        f.window->errors.clear();
        OrloSim_ClearCallLog();

        switch (op) {
        case ImportFile: {
            UserIlluminantSlot slot;
            got = model->ImportUserIlluminantFromFile(&slot, path, a);
            if (got == 0) {
                QCOMPARE(slot.Name, names.last());
                int source = 0, index = -1;
                model->GetEnvironmentLightSource(&source, &index);
                QCOMPARE(index, names.size() - 1);
            }
            break;
        }
        case ReplaceFromFile:
            got = model->ReplaceUserIlluminantFromFile(nullptr, a, path, b);
            break;
        case Delete:
            model->SetEnvironmentLightSource(1, a);
            got = model->DeleteUserIlluminant();
            break;
        case ImportInstrument:
            model->SetEnvironmentLightSource(a, 0);
            got = model->ImportUserIlluminantFromInstrument(nullptr, QStringLiteral("Desk"));
            break;
        case ExportLight:
            model->SetEnvironmentLightSource(a, b);
            got = model->ExportEnvironmentLight(path, path.endsWith(QLatin1String(".uid")) ? 1 : 0);
            if (got == 0)
                QCOMPARE(CIODataFile::ReadEnvironmentLightData(&returned, path, path.endsWith(".uid") ? 1 : 0), 0);
            break;
        case Register:
            got = model->RegisterUserIlluminantToOrlo(a);
            break;
        case Condition:
            got = model->GetUserIlluminantForCondition(a, b, &returned);
            break;
        case DeleteJob:
            got = model->DeleteSelectedChartJob();
            break;
        case ExportChartXml:
            got = model->ExportChartDefinition(path, model->GetChartDefinition());
            if (got == 0) {
                QDomDocument document;
                QCOMPARE(CIODataFile::LoadXmlDocument(path, document), 0);
            }
            break;
        case ExportChartImage:
            got = model->ExportChartImage(path, model->GetChartDefinition());
            // One file per page, numbered.
            if (got == 0)
                QVERIFY(QFileInfo(files.filePath("page_001.tif")).size() > 0);
            break;
        }

        QCOMPARE(got, result);
        QCOMPARE(f.window->errors, messages);

        // The store as the next start finds it.
        CIlluminantData reloaded(AppDataDir());
        QVERIFY(reloaded.LoadUserIlluminant());
        QStringList storedNames;
        QList<float> storedValues;
        for (int i = 0; i < reloaded.GetRecordCount(); ++i) {
            storedNames << reloaded.GetRecord(i)->Name;
            storedValues << reloaded.GetRecord(i)->Values[kProbe];
        }
        QCOMPARE(storedNames, names);
        QCOMPARE(storedValues, values);
        QCOMPARE(CModelAccess::IlluminantData(*model)->GetRecordCount(), names.size());
        if (!std::isnan(readBack))
            QCOMPARE(double(returned.Values[kProbe]), readBack);

        const QString log = QString::fromLatin1(OrloSim_CallLog());
        if (scannerCall.startsWith(QLatin1Char('!')))
            QVERIFY2(!log.contains(scannerCall.mid(1)), qPrintable(log));
        else if (!scannerCall.isEmpty())
            QVERIFY2(log.contains(scannerCall), qPrintable(log));

        if (op == DeleteJob) {
            const bool deleted = b == 1;
            QCOMPARE(checkedOff.size(), deleted ? 1 : 0);
            if (deleted)
                QCOMPARE(checkedOff.at(0).at(0).toInt(), chartId);
            if (b != 0)
                QVERIFY(log.contains(QStringLiteral("Orlo_DeleteJob(%1)").arg(job)));
            // A deleted job is forgotten with its check mark; one the scanner kept stays.
            QCOMPARE(CModelAccess::DocumentData(*model)->FindDesignationChart(chartId)->JobNumber,
                     deleted ? 0 : job);
        }
        if (model->IsHandyConnected())
            model->CloseTanoDevice();
        model->CloseVexDevice();
    }
};

QTEST_GUILESS_MAIN(TestModelIlluminants)
#include "test_model_illuminants.moc"
