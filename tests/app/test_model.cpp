// The model's own logic: arguments, status routing, renames, the scanner connection, jobs, start-up, user
// illuminants, the selection and the handheld position lists.

#include "modelfixture.h"

#include "app/applicationdata.h"
#include "app/language.h"
#include "app/orlosdkcontroller.h"
#include "app/tanosdkcontroller.h"
#include "app/vexsdkcontroller.h"

#include "PellSim.h"
#include "libvexapi/lumet_protocol.h"
#include "vexhid_sim.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

class TestModel : public QObject
{
    Q_OBJECT

private:
    ModelFixture f;

    static bool LogHas(const char *call) { return QString::fromLatin1(OrloSim_CallLog()).contains(call); }

    // A designation chart, selected and in the buffer.
    int SelectNewChart(int barcode = 0)
    {
        const int id = CreateChart(f.model.get(), 1, 2, 3, barcode);
        if (id > 0)
            f.model->SelectFileID(CModel::KindDesignationChart, id, id);
        f.model->GetChartDefinition()->Barcode = barcode;
        return id;
    }

private slots:
    void init() { QVERIFY(f.Make()); }

    void posGapMode_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("on");
        QTest::newRow("second") << QStringList{"prog", "/PosGap"} << true;
        QTest::newRow("third") << QStringList{"prog", "x", "/PosGap"} << false;
        QTest::newRow("alone") << QStringList{"prog"} << false;
    }
    void posGapMode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, on);
        CModel model(nullptr, &arguments);
        QCOMPARE(model.IsPosGapMode(), on);
    }

    void orloStatusRouting_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("route"); // 0 none, 1 main, 2 density
        for (int s = 0; s <= 18; ++s) {
            const int route = s == 1 ? 0 : (s <= 6 || s >= 14) ? 1 : 2;
            QTest::addRow("%d", s) << s << route;
        }
    }
    void orloStatusRouting()
    {
        QFETCH(int, status);
        QFETCH(int, route);
        QSignalSpy main(f.model.get(), &CModel::UpdateOrloStatus);
        QSignalSpy density(f.model.get(), &CModel::UpdateOrloStatusDensity);
        f.model->SetAppStatus(status);
        f.model->SetOrloStatus(6);
        QCOMPARE(f.model->GetOrloDeviceState(), 6);
        QVERIFY(f.model->IsOrloPrescanCompleted());
        QCOMPARE(main.size(), route == 1 ? 1 : 0);
        QCOMPARE(density.size(), route == 2 ? 1 : 0);
    }

    void renameDesignationChart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("barcode");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("message");
        QTest::newRow("empty") << QString() << 0 << 10025 << 6;
        QTest::newRow("one") << QString("A") << 0 << 0 << -1;
        QTest::newRow("100") << QString(100, 'a') << 0 << 0 << -1;
        QTest::newRow("101 with _ and QR") << QString(100, 'a') + "_" << 1 << 10025 << 6;
        QTest::newRow("non-printable") << QString("ab\tc") << 0 << 10025 << 47;
        QTest::newRow("_ without QR") << QString("a_b") << 0 << 0 << -1;
        QTest::newRow("_ with QR") << QString("a_b") << 1 << 10025 << 47;
    }
    void renameDesignationChart()
    {
        QFETCH(QString, name);
        QFETCH(int, barcode);
        QFETCH(int, result);
        QFETCH(int, message);
        const int id = SelectNewChart(barcode);
        QVERIFY(id > 0);
        QCOMPARE(f.model->RenameDesignationChart(name), result);
        QCOMPARE(f.window->errors, message < 0 ? QList<int>{} : QList<int>{message});
        if (result == 0)
            QCOMPARE(f.model->GetChartDefinition()->ChartName, name);
    }

    void renameOthers()
    {
        QString colon("a:b");
        QCOMPARE(f.model->RenameUserIlluminant(&colon), 10041);
        QString empty;
        QCOMPARE(f.model->RenameUserIlluminant(&empty), 10027);
        QCOMPARE(f.model->RenameDesignationMeasure(QString(101, 'm')), 10026);
        QCOMPARE(f.model->RenameDensityMeasure(QString(101, 'm')), 10026);
        QCOMPARE(f.model->RenameRecognitionMeasure(QString(101, 'm')), 10024);
        QCOMPARE(f.window->errors, (QList<int>{47, 6, 6, 6, 6}));
    }

    void connectWithSearch_data()
    {
        QTest::addColumn<int>("storedKind");
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("expectedKind");
        QTest::addColumn<QString>("expectedPort");
        QTest::newRow("identity and kind") << 0 << QString("ORS00001") << 0 << 0 << QString("usb0");
        QTest::newRow("identity only") << 1 << QString("ORS00001") << 0 << 0 << QString("usb0");
        QTest::newRow("identity differs") << 0 << QString("OTHER123") << 10046 << 0 << QString("usb0");
    }
    void connectWithSearch()
    {
        QFETCH(int, storedKind);
        QFETCH(QString, storedName);
        QFETCH(int, result);
        QFETCH(int, expectedKind);
        QFETCH(QString, expectedPort);
        Setting::ConnectSetting record;
        record.ConnectionKind = storedKind;
        record.Port = QStringLiteral("usb0");
        record.Address = QStringLiteral("10.0.0.9");
        record.AddressKind = 1;
        record.DeviceName = storedName;
        CModelAccess::ApplicationData(*f.model)->SetConnectionSetting(record);
        f.model->SetOrloStatus(5);
        QCOMPARE(f.model->ConnectOrlo(true), result);
        const Setting::ConnectSetting &stored = CModelAccess::ApplicationData(*f.model)->GetConnectionSetting();
        QCOMPARE(stored.ConnectionKind, expectedKind);
        QCOMPARE(stored.Port, expectedPort);
        if (result != 0) {
            QCOMPARE(f.model->IsOrloConnected(), 0);
            QCOMPARE(f.window->errors, QList<int>{4});
            QCOMPARE(f.model->GetOrloDeviceState(), 0);
        } else {
            QCOMPARE(f.model->IsOrloConnected(), 1);
        }
    }

    void calibrationDueOnNewConnectionOnly()
    {
        QSignalSpy due(f.model.get(), &CModel::DetectPeriodCalibration);
        OrloSim_ForceStatus(0, 0, 1, -1);
        QCOMPARE(f.ConnectUsb(), 0);
        QCOMPARE(due.size(), 1);
        OrloSim_ClearCallLog();
        QCOMPARE(f.model->ConnectOrlo(false), 0);
        QCOMPARE(due.size(), 1);
        QVERIFY(!LogHas("Orlo_GetStatus"));
    }

    // The windows get the scanner's status and device list in the program's own records, field for field; a
    // status read that fails before the library answers leaves the caller's record as it was.
    void scannerRecordsFieldForField()
    {
        OrloStatusRecord status{};
        status.State = 77;
        status.OtherComputer = 5;
        QCOMPARE(f.model->GetOrloStatus(&status), int(COrloSDKController::kStatusNotConnected));
        QCOMPARE(status.State, 77);
        QCOMPARE(status.OtherComputer, 5);

        QCOMPARE(f.ConnectUsb(), 0);
        OrloSim_ForceStatus(2, 1, 1, 101);
        QCOMPARE(f.model->GetOrloStatus(&status), 0);
        QCOMPARE(int(status.DeviceState), 2);
        QCOMPARE(int(status.StateFlag), 1);
        QCOMPARE(int(status.CalibrationDue), 1);
        QCOMPARE(status.State, 101);
        QCOMPARE(status.OtherComputer, 0);

        OrloDeviceEntry entries[2] = {{1, "usb0", {'O', 'R', 'S', '0', '0', '0', '0', '1'}},
                                      {0, "10.0.0.9", {'O', 'R', 'S', '0', '0', '0', '0', '2'}}};
        std::memset(entries[1].name + 8, 'x', sizeof entries[1].name - 8); // a full name has no terminator
        OrloSim_SetDeviceList(entries, 2);
        QList<OrloDeviceRecord> devices{OrloDeviceRecord{}};
        QCOMPARE(f.model->GetOrloDeviceList(&devices, false), 0);
        QCOMPARE(devices.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(devices.at(i).Kind, entries[i].kind);
            QCOMPARE(QByteArray(devices.at(i).Name, 32), QByteArray(entries[i].name, 32));
            QCOMPARE(QByteArray(devices.at(i).Identity, 8), QByteArray(entries[i].identity, 8));
        }
    }

    void deleteChartWhoseJobIsRefused()
    {
        QCOMPARE(f.ConnectUsb(), 0);
        const int id = SelectNewChart();
        QCOMPARE(f.model->RegisterDesignationChartJob(), 0);
        QVERIFY(f.model->GetSelectedDesignationChart()->JobNumber != 0);
        OrloSim_FailNext("Orlo_DeleteJob", 1);
        QCOMPARE(f.model->DeleteDesignationChart(id), int(COrloSDKController::kDeleteJobFailed));
        QVERIFY(CModelAccess::DocumentData(*f.model)->FindDesignationChart(id));
    }

    void deleteAllJobsTriesEvery()
    {
        QCOMPARE(f.ConnectUsb(), 0);
        QList<int> ids;
        for (int i = 0; i < 3; ++i) {
            ids << SelectNewChart();
            QCOMPARE(f.model->RegisterDesignationChartJob(), 0);
        }
        // The second job is unknown to the scanner: refused, and the third is still deleted.
        CModelAccess::DocumentData(*f.model)->FindDesignationChart(ids[1])->JobNumber = 9999;
        QCOMPARE(f.model->DeleteAllDesignationChartJobs(), int(COrloSDKController::kDeleteJobFailed));
        QCOMPARE(CModelAccess::DocumentData(*f.model)->FindDesignationChart(ids[0])->JobNumber, 0);
        QCOMPARE(CModelAccess::DocumentData(*f.model)->FindDesignationChart(ids[1])->JobNumber, 9999);
        QCOMPARE(CModelAccess::DocumentData(*f.model)->FindDesignationChart(ids[2])->JobNumber, 0);
    }

    void chartLimit()
    {
        for (int i = 0; i < 599; ++i)
            QVERIFY(CreateChart(f.model.get(), 1, 1, 1) > 0);
        QVERIFY(!f.model->CheckDesignationChartLimit());
        QVERIFY(CreateChart(f.model.get(), 1, 1, 1) > 0);
        QVERIFY(f.model->CheckDesignationChartLimit());
        QCOMPARE(f.window->errors, QList<int>{53});
    }

    void initializeOnEmptyDataRoot()
    {
        QTemporaryDir other;
        qputenv("XDG_DATA_HOME", other.path().toUtf8());
        OrloSim_Reset();
        OrloSim_SetDelivery(OrloSim_Manual);
        QStringList arguments{"Varemo"};
        CModel model(nullptr, &arguments);
        QVERIFY(!QDir(AppDataDir()).exists());
        QCOMPARE(model.Initialize(), 0);
        QVERIFY(model.IsInitialized());
        QVERIFY(QDir(AppDataDir()).exists());
        const QStringList initial = QDir(InitialDataDir()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        for (const QString &entry : initial)
            QVERIFY2(QFileInfo::exists(AppDataDir() + "/" + entry), qPrintable(entry));
        QVERIFY(LogHas("Orlo_SetOption(0,"));
        QVERIFY(!LogHas("Orlo_Connect"));
        qputenv("XDG_DATA_HOME", f.home.path().toUtf8());
    }

    void installationFolder()
    {
        const QStringList instruments = f.model->GetInstrumentNames();
        const QStringList templates = f.model->GetTemplateList();
        QCOMPARE(instruments.size(), 4);
        // The installation files beside the program, all but the instrument list.
        QTemporaryDir install;
        const QDir program(QCoreApplication::applicationDirPath());
        QStringList names = program.entryList({"*.lst", "*.csv", "*.txt"}, QDir::Files);
        QCOMPARE(names.removeAll("Instrument.lst"), 1);
        QVERIFY(names.contains("Template.lst"));
        for (const QString &name : names)
            QVERIFY(QFile::copy(program.filePath(name), install.filePath(name)));
        QVERIFY(f.Make(true, std::nullopt, install.path()));
        QVERIFY(f.model->GetInstrumentNames().isEmpty());
        QCOMPARE(f.model->GetTemplateList(), templates);
        QCOMPARE(f.model->GetTemplateSecondNumber(7), 1);
        // Without a folder the model reads the program's own files again.
        QVERIFY(f.Make());
        QCOMPARE(f.model->GetInstrumentNames(), instruments);
    }

    void initializeFailureGivesMessageOne()
    {
        QTemporaryDir other;
        // A file where the data folder must be made.
        const QString root = other.path() + "/data";
        QFile blocker(root);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_DATA_HOME", root.toUtf8());
        QStringList arguments{"Varemo"};
        CModel model(nullptr, &arguments);
        QCOMPARE(model.Initialize(), 1);
        QVERIFY(!model.IsInitialized());
        qputenv("XDG_DATA_HOME", f.home.path().toUtf8());
    }

    void importFromInstrument_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("result");
        QTest::newRow("list") << 1 << 10018;
        QTest::newRow("handheld closed") << 2 << 10020;
        QTest::newRow("lumet closed") << 3 << 10021;
    }
    void importFromInstrument()
    {
        QFETCH(int, source);
        QFETCH(int, result);
        f.model->SetEnvironmentLightSource(source, 0);
        UserIlluminantSlot slot;
        QCOMPARE(f.model->ImportUserIlluminantFromInstrument(&slot, QStringLiteral("x")), result);
        QCOMPARE(CModelAccess::IlluminantData(*f.model)->GetRecordCount(), 0);
    }

    void illuminantIndexPastTheEnd()
    {
        auto records = std::make_unique<EnvironLightData[]>(1);
        records[0].Name = QStringLiteral("Lamp");
        CModelAccess::IlluminantData(*f.model)->SetEnvironLightData(1, std::move(records));
        CModelAccess::IlluminantData(*f.model)->RebuildSlots();
        f.model->SetEnvironmentLightSource(1, 3);
        EnvironLightData out;
        QCOMPARE(f.model->GetSelectedEnvironmentLight(&out), 10019);
        QString name("New");
        QCOMPARE(f.model->RenameUserIlluminant(&name), 10019);
        QCOMPARE(f.model->ReplaceUserIlluminantFromFile(&out, 3, QStringLiteral("/nonexistent.uid2"), 0), 10019);
        QCOMPARE(CModelAccess::IlluminantData(*f.model)->GetRecordCount(), 1);
        QCOMPARE(CModelAccess::IlluminantData(*f.model)->GetRecord(0)->Name, QStringLiteral("Lamp"));
        // In range: renamed in the store and handed back.
        f.model->SetEnvironmentLightSource(1, 0);
        QCOMPARE(f.model->RenameUserIlluminant(&name), 0);
        QCOMPARE(name, QStringLiteral("New"));
        QCOMPARE(CModelAccess::IlluminantData(*f.model)->GetRecord(0)->Name, QStringLiteral("New"));
    }

    void setLanguage()
    {
        QFile::remove(CLanguage::ChoiceFilePath());
        // The fixture's model has no language object: nothing can be written, and the caller must hear so.
        QVERIFY(!f.model->SetLanguage(QStringLiteral("ja")));
        QVERIFY(!QFile::exists(CLanguage::ChoiceFilePath()));
        QVERIFY(f.window->errors.isEmpty());

        QVERIFY(f.Make(false, QString()));
        QVERIFY(f.model->SetLanguage(QStringLiteral("ja")));
        QFile choice(CLanguage::ChoiceFilePath());
        QVERIFY(choice.open(QIODevice::ReadOnly));
        QCOMPARE(choice.readAll(), QByteArray("ja"));
    }

    // A new printer entry is counted and saved at once, so FindPrinter finds it now and after a restart.
    void storePrinterEntry_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("settingsFileBlocked");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("messages");
        QTest::newRow("two stored") << 2 << false << 0 << 3 << QList<int>{};
        QTest::newRow("five stored") << 5 << false << 0 << 5 << QList<int>{};
        QTest::newRow("directory in place of the settings file")
            << 2 << true << int(CApplicationData::SaveFailed) << 3 << QList<int>{2};
    }
    void storePrinterEntry()
    {
        QFETCH(int, stored);
        QFETCH(bool, settingsFileBlocked);
        Setting::MeasureDataSave record = *f.model->GetMeasureDataSaveSetting();
        record.PrinterCount = stored;
        for (int i = 0; i < stored; ++i)
            record.Printers[i] = {QStringLiteral("P%1").arg(i), QStringLiteral("pw"),
                                  QStringLiteral("10.0.0.%1").arg(i), QStringLiteral("30091")};
        QCOMPARE(f.model->SetMeasureDataSaveSetting(record), 0);
        const QString path = CModelAccess::ApplicationData(*f.model)->GetSettingFilePath();
        if (settingsFileBlocked) {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkdir(path));
        }
        QFile file(path);
        const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.close();

        const Setting::PrinterInfo entry = {QStringLiteral("New"), QStringLiteral("pw"), QStringLiteral("192.168.1.20"),
                                            QStringLiteral("30091")};
        QTEST(f.model->StorePrinterEntry(entry), "result");
        QTEST(f.model->GetMeasureDataSaveSetting()->PrinterCount, "count");
        QTEST(f.window->errors, "messages");
        if (stored == 5) {
            QVERIFY(!f.model->FindPrinter(entry.IPAddress, nullptr));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
            return;
        }
        QVERIFY(f.model->FindPrinter(entry.IPAddress, nullptr));
        if (settingsFileBlocked)
            return;
        QVERIFY(f.Make());
        Setting::PrinterInfo found;
        QVERIFY(f.model->FindPrinter(entry.IPAddress, &found));
        QCOMPARE(found.Name, entry.Name);
        QCOMPARE(f.model->GetMeasureDataSaveSetting()->PrinterCount, 3);
    }

    // The QR sizes the page writer uses must be those the scanner library draws: level 1, 7 pixels a module.
    void barcodeSizesMatchTheScannerDrawing()
    {
        QVERIFY(SelectNewChart(1) > 0);
        QCOMPARE(f.model->GetBarcodeInsetPixels(), 28);
        SheetInfoRecord record;
        FillSheetInfoRecord(&record, *f.model->GetChartDefinition(), 0);
        const int side = f.model->GetBarcodeSize(record);
        QVERIFY(side > 0);
        QCOMPARE(side % 7, 0);
        QCOMPARE((side / 7 - 17) % 4, 0);
        f.model->UpdateBarcodeSize();
        QCOMPARE(f.model->GetChartDefinition()->Sheets[0].BarcodeWidth, side);
        QCOMPARE(f.model->GetChartDefinition()->Sheets[0].BarcodeHeight, side);
    }

    void selectFileId()
    {
        const int id = SelectNewChart();
        QCOMPARE(f.model->GetChartDefinition()->SheetCount, 1);
        QCOMPARE(f.model->GetSelectedChartID(), id);
        // Id 0 does not load.
        ClearChartDefinitionData(f.model->GetChartDefinition());
        QCOMPARE(f.model->SelectFileID(CModel::KindDesignationChart, 0, 0), 0);
        QCOMPARE(f.model->GetChartDefinition()->SheetCount, 0);
        // Kind 0 forces chart id 0; kind 1 with chart id 0 takes the file id, as the reload does.
        f.model->SelectFileID(CModel::KindRecognition, 5, 7);
        QCOMPARE(f.model->GetSelectedChartID(), 0);
        QCOMPARE(f.model->SelectFileID(CModel::KindDesignationChart, id, 0), 0);
        QCOMPARE(f.model->GetSelectedChartID(), id);
        ClearChartDefinitionData(f.model->GetChartDefinition());
        f.model->ResetSelectFileID();
        QCOMPARE(f.model->GetChartDefinition()->SheetCount, 1);
    }

    // The scanner reads the current sheet where the buffer keeps it: a page replaced meanwhile shows through.
    void currentSheetIsReadInPlace()
    {
        ChartDefinitionDataSheets *chart = f.model->GetChartDefinition();
        MakeChart(chart, 2, 2, 3);
        f.model->SetCurrentSheetIndex(1);
        const ChartDefinitionData::Sheet *sheet = nullptr;
        QCOMPARE(CModelAccess::OrloHost(*f.model)->GetCurrentSheet(&sheet), 0);
        ChartDefinitionData::Sheet replacement;
        CopySheetData(&replacement, chart->Sheets[0]);
        replacement.Patches[0].ID = 99;
        QCOMPARE(f.model->ReplaceChartSheet(replacement, 1), 0);
        QCOMPARE(sheet->Patches[0].ID, 99);
        QCOMPARE(sheet->Patches[5].ID, 6);
        f.model->SetCurrentSheetIndex(2);
        QCOMPARE(CModelAccess::OrloHost(*f.model)->GetCurrentSheet(&sheet), 10004);
    }

    // Windows hand edited pages in and drop theirs right after: the buffer keeps copies of its own.
    void replacedPagesAreCopies()
    {
        const int id = SelectNewChart();
        QVERIFY(id > 0);
        QCOMPARE(f.model->PrepareHandyMeasurement(), 0);
        {
            const ChartDefinitionData::Sheet sheet = MakeSmallSheet(SmallGrid{2, 2, 3});
            QCOMPARE(f.model->ReplaceChartSheet(sheet, 0), 0);
            QCOMPARE(f.model->ReplaceMeasurementSheet(MakeSmallMeasurement(sheet, 4), 0), 0);
        }
        const ChartDefinitionData::Sheet &sheet = f.model->GetChartDefinition()->Sheets[0];
        QCOMPARE(sheet.PatchCount, 12);
        QCOMPARE(sheet.Patches[11].Area, 1);
        QCOMPARE(sheet.ImageBytes[255], static_cast<unsigned char>(255));
        MeasurementDataSheets *measurement = nullptr;
        QCOMPARE(f.model->GetMeasurementData(&measurement), 0);
        const MeasurementData &page = measurement->Sheets[0];
        QCOMPARE(page.MeasuredCount, 4);
        QCOMPARE(page.Records[3].ColorValue[1], 60.0f);
        QCOMPARE(page.Records[11].ColorFormat, 0);
        QCOMPARE(page.ImageBytes[0], static_cast<unsigned char>(255));
    }

    void positionListsOwnership()
    {
        const auto makeList = [](int n) {
            QList<TanoSDK_PatchPosition *> list;
            for (int i = 0; i < n; ++i)
                list << new TanoSDK_PatchPosition{0, 0, i};
            return list;
        };
        QList<TanoSDK_PatchPosition *> first = makeList(3);
        f.model->SetHandyPatchPosition(first);
        QList<TanoSDK_PatchPosition *> same = makeList(3);
        f.model->SetHandyPatchPosition(same); // equal: the new entries are freed
        QList<TanoSDK_PatchPosition *> other = makeList(4);
        f.model->SetHandyPatchPosition(other); // different: the old entries are freed
        QList<TanoSDK_PatchPosition *> held;
        f.model->GetHandyPatchPositions(held);
        QCOMPARE(held.size(), 4);
        QCOMPARE(held.at(3)->column, 3);
        // The model frees what it holds when it goes (LeakSanitizer checks).
    }

    void lumetOpenFailureKeepsNothing()
    {
        // Remote mode refused: reported, and the next open sets the instrument up again instead of "already open".
        VexSim_Reset();
        VexSim_AddInstrument(nullptr);
        VexSimFault fault{};
        fault.command = lumet::kCmdRemoteMode;
        fault.kind = VEXSIM_FAULT_STATUS;
        fault.value = 2;
        VexSim_AddFault(0, &fault);
        int kind = -1, serial = -1;
        QCOMPARE(f.model->OpenVexDevice(&kind, &serial), int(CVexSDKController::kRemoteModeFailed));
        QCOMPARE(f.window->errors, QList<int>{11});
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        QCOMPARE(f.model->OpenVexDevice(&kind, &serial), 0);
        QCOMPARE(kind, int(CVexSDKController::kLumetKind));
        QCOMPARE(serial, 12345678);
        QCOMPARE(VexSim_RemoteMode(0), 1);
        f.model->CloseVexDevice();
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void destructionClosesTheLumet()
    {
        VexSim_Reset();
        VexSim_AddInstrument(nullptr);
        int kind = 0, serial = 0;
        QCOMPARE(f.model->OpenVexDevice(&kind, &serial), 0);
        QCOMPARE(VexSim_RemoteMode(0), 1);
        QVERIFY(VexSim_OpenHandleCount() > 0);
        f.window.reset();
        f.model.reset();
        // Left in remote mode, the instrument's own keys would stay locked after the program ends.
        QCOMPARE(VexSim_RemoteMode(0), 0);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void destructionClosesHandheld()
    {
        QList<unsigned long> sleeps;
        CModelAccess::TanoController(*f.model)->SetSleepFunction([&sleeps](unsigned long ms) { sleeps << ms; });
        int kind = 0, serial = 0;
        QCOMPARE(f.model->OpenTanoDevice(&kind, &serial), 0);
        QVERIFY(f.model->IsHandyConnected());
        f.model->StartTanoPolling();
        f.window.reset();
        f.model.reset();
        QCOMPARE(sleeps, QList<unsigned long>{1000});
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "test_model.moc"
