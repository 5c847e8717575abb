// The density window's opening (template and instrument choice, the two instrument modes), the save dialog
// around a measurement's result, the upload of the model's result file to a printer (through a fake uploader)
// and the main window's hand-over to the density window and back.
#include "tests/app/modelfixture.h"
#include "tests/gui/programfixture.h"
#include "tests/mainwindow/densityaccess.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "files/measuredataprintersave.h"
#include "mainwindow/printeruploader.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcmeasuredatasave.h"
#include "mainwindow/vcselectadjustdensity.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using Access = CVCAdjustDensityAccess;

namespace {

// Rows of the shipped Template.lst: the chart scanner's template and one offering the handheld instruments.
constexpr int kScannerTemplate = 7; // "Production Printer Density Balance": first 0, second 1, instrument 0
constexpr int kHandyTemplate = 1;   // "Sheetfed Offset Ink Key Balance": first 1, second 0, instruments 1, 2, 3
const QString kSending = QStringLiteral("Measurement Data File Sending...");
const QString kPrintersFull = QStringLiteral("New printer could not be registered, because maximum number of "
                                             "printers have already been registered.");
const QString kPrinterAddress = QStringLiteral("127.0.0.1");

// Answers the selection dialog with a template row and an instrument row, then OK.
std::function<void(QDialog *)> Choose(int templateRow, int instrumentRow)
{
    return [=](QDialog *dialog) {
        dialog->findChild<QListWidget *>(QStringLiteral("listTemplate"))->setCurrentRow(templateRow);
        dialog->findChild<QListWidget *>(QStringLiteral("listInstrument"))->setCurrentRow(instrumentRow);
        dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    };
}

// The scanner's stored connection, so a connect finds the simulated device.
void StoreUsbConnection(CModel *model)
{
    Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
    record.ConnectionKind = 0;
    record.Port = QStringLiteral("usb0");
    record.DeviceName = QStringLiteral("ORS00001");
    QCOMPARE(model->SetConnectSetting(record), 0);
}

Setting::PrinterInfo Printer(const QString &name, const QString &address)
{
    return {name, QStringLiteral("pw"), address, QStringLiteral("30091")};
}

QStringList MenuBarMenus(QMainWindow *window)
{
    QStringList names;
    for (QAction *action : window->menuBar()->actions())
        names << (action->menu() ? action->menu()->objectName() : action->text());
    return names;
}

// Records every upload it is asked for and answers Send as told; the test emits Finished.
struct Uploads {
    bool sendAnswer = true;
    QList<QStringList> sends; // host, port, password, path
    QList<QPointer<CMeasureDataPrinterSave>> made;
};

class FakeUploader : public CMeasureDataPrinterSave
{
public:
    FakeUploader(QObject *parent, Uploads *uploads) : CMeasureDataPrinterSave(parent), m_uploads(uploads) {}
    bool Send(const QString &host, const QString &port, const QString &password, const QString &path) override
    {
        m_uploads->sends << QStringList{host, port, password, path};
        return m_uploads->sendAnswer;
    }

private:
    Uploads *m_uploads;
};

} // namespace

class TestDensityOpen : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<ScriptedPresenter> m_script;
    std::unique_ptr<CVCAdjustDensity> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
    CModel *m_model = nullptr;
    Uploads m_uploads;

    Ui::AdjustDensity *Form() const { return Access::Form(m_window.get()); }

    // A result file as the model leaves it in its data folder.
    QString ResultFile(const QString &name) const
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("result\n");
        return path;
    }

    void SetSaveKind(int kind, const QList<Setting::PrinterInfo> &printers = {})
    {
        Setting::MeasureDataSave record = *m_model->GetMeasureDataSaveSetting();
        record.SaveKind = kind;
        QCOMPARE(m_model->SetMeasureDataSaveSetting(record), 0);
        for (const Setting::PrinterInfo &printer : printers)
            QCOMPARE(m_model->StorePrinterEntry(printer), 0);
    }

    // The buffer's measurement with the QR code's two texts, as a scanner run leaves it.
    MeasurementDataSheets *Container(int mode, const QString &printId, const QString &address) const
    {
        MeasurementDataSheets *container = nullptr;
        m_model->GetMeasurementData(&container);
        container->Mode = mode;
        container->BarcodeText1 = printId;
        container->BarcodeText2 = address;
        return container;
    }

    int ListStatus() const
    {
        return Form()->treeChartList->currentItem() ? CModel::StatusDensityWithChart
                                                    : CModel::StatusDensityWithoutChart;
    }

    // Expects the save dialog and notes the status it ran under.
    void ExpectSaveDialog(QList<int> *statuses)
    {
        m_script->ExpectDialog(QStringLiteral("CVCMeasureDataSave"),
                               [this, statuses](QDialog *) { *statuses << m_model->GetOperationState(); });
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        m_model = f->model.get();
        StoreUsbConnection(m_model);
        m_script = std::make_unique<ScriptedPresenter>();
        m_window = std::make_unique<CVCAdjustDensity>(m_model);
        m_dir = std::make_unique<QTemporaryDir>();
        m_uploads = Uploads();
        SetPrinterUploaderFactory([this](QObject *parent) {
            auto *uploader = new FakeUploader(parent, &m_uploads);
            m_uploads.made << uploader;
            return uploader;
        });
    }

    void cleanup()
    {
        SetPrinterUploaderFactory(PrinterUploaderFactory());
        m_window.reset();
        m_script.reset();
        f.reset();
        m_model = nullptr;
    }

    // ---- Opening --------------------------------------------------------------------------------------------------

    void opensInTheInstrumentsMode_data()
    {
        QTest::addColumn<QList<int>>("openings"); // template rows, the scanner's first, then the handheld's
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("instrument");
        QTest::newRow("chart scanner") << QList<int>{kScannerTemplate} << "Production Printer Density Balance : Orlo"
                                       << 0;
        QTest::newRow("handheld") << QList<int>{kHandyTemplate} << "Sheetfed Offset Ink Key Balance : Brisa" << 1;
        QTest::newRow("scanner after handheld")
            << QList<int>{kHandyTemplate, kScannerTemplate} << "Production Printer Density Balance : Orlo" << 0;
    }
    void opensInTheInstrumentsMode()
    {
        QFETCH(QList<int>, openings);
        QFETCH(QString, title);
        QFETCH(int, instrument);
        for (int row : openings) {
            m_script->ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), Choose(row, 0));
            QVERIFY(m_window->OpenAdjustDensity());
        }
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));

        QCOMPARE(m_window->windowTitle(), title);
        QCOMPARE(m_window->GetInstrumentNumber(), instrument);
        QCOMPARE(m_model->GetDensityTemplateIndex(), openings.last());
        QVERIFY(Access::Opened(m_window.get()));
        QCOMPARE(m_model->GetOperationState(), ListStatus());

        QTabWidget *tabs = Form()->tabChartCanvas;
        QStringList pages;
        for (int i = 0; i < tabs->count(); ++i)
            pages << tabs->widget(i)->objectName() + '=' + tabs->tabText(i);
        if (instrument == 0) {
            QCOMPARE(pages, (QStringList{"tabOrloChartLayout=Chart Layout", "tabMeasurementPoint=Measured Point"}));
            QCOMPARE(MenuBarMenus(m_window.get()), (QStringList{"menuFile", "menuView", "menuSetting", "menuOrlo"}));
            QVERIFY(Form()->actionSettingConnect->isEnabled());
            QVERIFY(Form()->actionOrloCancel->isVisible());
            QCOMPARE(Form()->pushOrloChartLayoutPage->text(), QStringLiteral("0 / 0"));
            QCOMPARE(Form()->hSliderMeasurementPointZoom->value(), 100);
        } else {
            QCOMPARE(pages, QStringList{"tabHandyDensitometerChartLayout=Chart Layout"});
            QCOMPARE(MenuBarMenus(m_window.get()), (QStringList{"menuFile", "menuView", "menuOrlo"}));
            QVERIFY(!Form()->pushHandyDensitometerChartLayoutMeasurement->isEnabled());
            QVERIFY(Form()->pushHandyDensitometerChartLayoutCancel->isHidden());
            QVERIFY(!Form()->actionSettingConnect->isEnabled());
            QVERIFY(!Form()->actionOrloMeasureRestart->isEnabled());
            QVERIFY(!Form()->actionOrloCancel->isVisible());
            QCOMPARE(Form()->pushHandyDensitometerChartLayoutPage->text(), QStringLiteral("0 / 0"));
        }
        QCOMPARE(tabs->currentIndex(), 0);
    }

    // The stored check state of window 1: empty on first use hides the settings dock, else it gives the status bar.
    void restoresTheStoredPanels_data()
    {
        QTest::addColumn<QByteArray>("checks");
        QTest::addColumn<bool>("statusBarHidden");
        QTest::addColumn<bool>("conditionDockHidden");
        QTest::newRow("first use") << QByteArray() << false << true;
        QTest::newRow("status bar on") << QByteArray(1, 1) << false << false;
        QTest::newRow("status bar off") << QByteArray(1, 0) << true << false;
    }
    void restoresTheStoredPanels()
    {
        QFETCH(QByteArray, checks);
        QFETCH(bool, statusBarHidden);
        QFETCH(bool, conditionDockHidden);
        if (!checks.isEmpty())
            m_model->SetPanelState(checks, 1);
        m_script->ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), Choose(kScannerTemplate, 0));
        QVERIFY(m_window->OpenAdjustDensity());
        QCOMPARE(Form()->statusBar->isHidden(), statusBarHidden);
        QCOMPARE(Form()->dockMeasurementCondition->isHidden(), conditionDockHidden);
    }

    void cancelledSelectionLeavesTheMainWindow()
    {
        f->window.reset();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        CVCMainWindow main(m_model);
        main.show();
        CVCAdjustDensity *density = main.GetAdjustDensityWindow();
        int statusWhileAsked = -1;
        m_script->ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), [&](QDialog *dialog) {
            statusWhileAsked = m_model->GetOperationState();
            dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
        });
        main.findChild<QAction *>(QStringLiteral("actionToolAdjustDensity"))->trigger();
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QCOMPARE(statusWhileAsked, int(CModel::StatusDensityWithChart));
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
        QVERIFY(main.isVisible());
        QVERIFY(!density->isVisible());
        QVERIFY(!Access::Opened(density));
    }

    // Instrument lists from installation files of the test's own: numbers without a name are left out, and OK
    // needs at least one instrument to choose.
    void selectionOffersNamedInstrumentsOnly_data()
    {
        QTest::addColumn<QString>("templates");
        QTest::addColumn<QString>("instruments"); // empty: no Instrument.lst
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<bool>("okEnabled");
        const QString four = QStringLiteral("Orlo\nBrisa\nCalen\nCalen BT2\n");
        QTest::newRow("all named") << "T,0,1,0,2\n" << four << QStringList{"Orlo", "Calen"} << true;
        QTest::newRow("7 skipped") << "T,0,1,7,1\n" << four << QStringList{"Brisa"} << true;
        QTest::newRow("only 7") << "T,0,1,7\n" << four << QStringList() << false;
        QTest::newRow("no Instrument.lst") << "T,0,1,0,1\n" << QString() << QStringList() << false;
    }
    void selectionOffersNamedInstrumentsOnly()
    {
        QFETCH(QString, templates);
        QFETCH(QString, instruments);
        QFETCH(QStringList, listed);
        QFETCH(bool, okEnabled);
        const auto write = [this](const QString &name, const QString &text) {
            QFile file(m_dir->filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text.toUtf8());
        };
        write(QStringLiteral("Template.lst"), templates);
        if (!instruments.isEmpty())
            write(QStringLiteral("Instrument.lst"), instruments);
        // A model that read only these installation files.
        ModelFixture own;
        QVERIFY(own.Make(false));
        QCOMPARE(CModelAccess::ResourceData(*own.model)->Initialize(m_dir->path()), 0);

        CVCSelectAdjustDensity dialog(own.model.get(), nullptr);
        QStringList seen;
        bool enabled = !okEnabled;
        int number = -2;
        m_script->ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"), [&](QDialog *) {
            auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listInstrument"));
            for (int i = 0; i < list->count(); ++i)
                seen << list->item(i)->text();
            enabled = dialog.findChild<QPushButton *>(QStringLiteral("okButton"))->isEnabled();
            number = dialog.GetInstrumentNumber();
        });
        CUiPresenter::Current().Exec(&dialog);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QCOMPARE(seen, listed);
        QCOMPARE(enabled, okEnabled);
        const QStringList names{"Orlo", "Brisa", "Calen"};
        QCOMPARE(number, listed.isEmpty() ? -1 : names.indexOf(listed.first()));
    }

    // ---- The save dialog ------------------------------------------------------------------------------------------

    // Presets from the measurement's QR texts and the stored save kind; the address survives only with a printer.
    void saveDialogPresets_data()
    {
        QTest::addColumn<int>("saveKind");
        QTest::addColumn<bool>("addFileName");
        QTest::addColumn<int>("instrument");
        QTest::addColumn<bool>("addressKept");
        QTest::addColumn<QString>("addName");
        QTest::newRow("folder") << 0 << false << 0 << false << QString();
        QTest::newRow("printer") << 1 << false << 0 << true << QString();
        QTest::newRow("printer, additional name") << 1 << true << 0 << true << "Cyan";
        QTest::newRow("handheld, no additional name") << 1 << true << 1 << true << QString();
    }
    void saveDialogPresets()
    {
        QFETCH(int, saveKind);
        QFETCH(bool, addFileName);
        QFETCH(int, instrument);
        QFETCH(bool, addressKept);
        QFETCH(QString, addName);
        SetSaveKind(saveKind, {Printer(QStringLiteral("Local"), kPrinterAddress)});
        Access::UseTemplate(m_window.get(), kScannerTemplate, instrument);
        Access::TemplateSecondNumber(m_window.get()) = 1;
        Access::TemplateFirstNumber(m_window.get()) = 0;
        MeasurementDataSheets *container = Container(instrument, QStringLiteral("P0001"), kPrinterAddress);
        m_model->GetChartDefinition()->ChartName = QStringLiteral("A4_1");

        QList<int> statuses;
        QString printId, shownAddName;
        bool printerChosen = false;
        bool formBuilt = false;
        m_script->ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [&](QDialog *dialog) {
            statuses << m_model->GetOperationState();
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("editPrintID"));
            formBuilt = edit != nullptr;
            if (!formBuilt)
                return;
            printId = edit->text();
            shownAddName = dialog->findChild<QLineEdit *>(QStringLiteral("editAddFileName"))->text();
            printerChosen = dialog->findChild<QRadioButton *>(QStringLiteral("radioPrinter"))->isChecked();
        });
        m_window->DisplayMeasureDataSave(addFileName);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QCOMPARE(statuses, QList<int>{CModel::StatusDensitySave});
        QCOMPARE(m_model->GetOperationState(), ListStatus());
        QCOMPARE(container->BarcodeText2, addressKept ? kPrinterAddress : QString());
        QVERIFY(formBuilt);
        QCOMPARE(printId, QStringLiteral("P0001"));
        QCOMPARE(printerChosen, addressKept);
        QCOMPARE(shownAddName, addName);
    }

    // An accepted dialog's record is stored packed; a rejected one stores nothing.
    void saveDialogStoresThePackedRecord_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("accepted") << true;
        QTest::newRow("rejected") << false;
    }
    void saveDialogStoresThePackedRecord()
    {
        QFETCH(bool, accepted);
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        Container(0, QString(), QString());
        const Setting::MeasureDataSave before = *m_model->GetMeasureDataSaveSetting();
        m_script->ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [&](QDialog *dialog) {
            auto *save = static_cast<CVCMeasureDataSave *>(dialog);
            // The record the dialog hands back, with gaps and an unnamed printer.
            auto &record = const_cast<Setting::MeasureDataSave &>(save->GetMeasureDataSave());
            record = Setting::MeasureDataSave();
            record.Folders[0] = QStringLiteral("/a");
            record.Folders[2] = QStringLiteral("/c");
            record.Printers[1] = Printer(QStringLiteral("P1"), QStringLiteral("10.0.0.1"));
            record.Printers[3] = Printer(QString(), QStringLiteral("10.0.0.3"));
            record.Printers[4] = Printer(QStringLiteral("P4"), QStringLiteral("10.0.0.4"));
            record.PrintID = QStringLiteral("X1");
            record.AutoTransmission = false;
            record.SaveKind = 1;
            record.SelectedIndex = 1;
            // The base class closes it, so the dialog does not collect its own widgets over the record.
            if (accepted)
                dialog->QDialog::done(QDialog::Accepted);
        });
        m_window->DisplayMeasureDataSave(false);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        const Setting::MeasureDataSave &stored = *m_model->GetMeasureDataSaveSetting();
        if (!accepted) {
            QCOMPARE(stored.FolderCount, before.FolderCount);
            QCOMPARE(stored.SaveKind, before.SaveKind);
            QCOMPARE(stored.PrintID, before.PrintID);
            return;
        }
        QCOMPARE(stored.FolderCount, 2);
        QCOMPARE((QStringList{stored.Folders[0], stored.Folders[1], stored.Folders[2]}),
                 (QStringList{"/a", "/c", ""}));
        QCOMPARE(stored.PrinterCount, 2);
        QCOMPARE(stored.Printers[0].Name, QStringLiteral("P1"));
        QCOMPARE(stored.Printers[1].Name, QStringLiteral("P4"));
        QCOMPARE(stored.Printers[1].IPAddress, QStringLiteral("10.0.0.4"));
        for (int i = 2; i < Setting::kMaxPrinterCount; ++i)
            QVERIFY(stored.Printers[i].IPAddress.isEmpty());
        QCOMPARE(stored.PrintID, QStringLiteral("X1"));
        QCOMPARE(stored.AutoTransmission, false);
        QCOMPARE(stored.SaveKind, 1);
        QCOMPARE(stored.SelectedIndex, 1);
    }

    // After the dialog a held sheet is let go at once; otherwise the scanner ejects it when the run ends.
    void saveDialogReleasesTheSheet_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("sheet held") << true;
        QTest::newRow("no sheet held") << false;
    }
    void saveDialogReleasesTheSheet()
    {
        QFETCH(bool, held);
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        Container(0, QString(), QString());
        m_model->SetOrloChartHeld(held);
        OrloSim_ClearCallLog();
        m_script->ExpectDialog(QStringLiteral("CVCMeasureDataSave"), nullptr);
        m_window->DisplayMeasureDataSave(false);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QCOMPARE(QString::fromUtf8(OrloSim_CallLog()).contains(QStringLiteral("Orlo_ExitMeasurement")), held);
        QCOMPARE(m_model->IsOrloDensityMeasurementActive(), 0);
    }

    // ---- Uploads --------------------------------------------------------------------------------------------------

    void uploadsToAStoredPrinter()
    {
        SetSaveKind(1, {Printer(QStringLiteral("Local"), kPrinterAddress)});
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        m_model->SetAppStatus(CModel::StatusDensityWithoutChart);
        m_model->SetOrloChartHeld(true);
        const QString path = ResultFile(QStringLiteral("P0001_Cyan.txt"));
        m_window->MeasureDataPrinterSave(kPrinterAddress, path);
        QCOMPARE(m_uploads.sends, (QList<QStringList>{{kPrinterAddress, "30091", "pw", path}}));
        QMessageBox &notice = Access::NoticeBox(m_window.get());
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.text(), kSending);
        QVERIFY(QFile::exists(path));

        OrloSim_ClearCallLog();
        emit m_uploads.made.at(0)->Finished(0, 0, QString());
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!notice.isVisible());
        QVERIFY(Access::SentFilePath(m_window.get()).isEmpty());
        // Success lets the held sheet go.
        QVERIFY(QString::fromUtf8(OrloSim_CallLog()).contains(QStringLiteral("Orlo_ExitMeasurement")));
    }

    // A failed upload (the printer's answer, or a Send that never started) removes the file, warns and offers
    // the save dialog.
    void failedUploadOffersTheSaveDialog_data()
    {
        QTest::addColumn<bool>("sendAnswer");
        QTest::addColumn<int>("networkError");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("warning"); // empty: message 17
        QTest::newRow("printer refused") << true << 0 << 1 << "Refused by the printer.";
        QTest::newRow("network error") << true << 3 << 0 << "Host not found.";
        QTest::newRow("send refused") << false << 0 << 0 << QString();
    }
    void failedUploadOffersTheSaveDialog()
    {
        QFETCH(bool, sendAnswer);
        QFETCH(int, networkError);
        QFETCH(int, result);
        QFETCH(QString, warning);
        if (warning.isEmpty())
            warning = FindMessageRecord(17).text;
        SetSaveKind(0, {Printer(QStringLiteral("Local"), kPrinterAddress)});
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        MeasurementDataSheets *container = Container(0, QStringLiteral("P0001"), kPrinterAddress);
        m_uploads.sendAnswer = sendAnswer;
        QList<int> statuses;
        m_script->ExpectWarn(warning);
        ExpectSaveDialog(&statuses);
        const QString path = ResultFile(QStringLiteral("P0001.txt"));
        m_window->MeasureDataPrinterSave(kPrinterAddress, path);
        if (sendAnswer)
            emit m_uploads.made.at(0)->Finished(networkError, result, warning);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QCOMPARE(m_uploads.sends.size(), 1);
        QCOMPARE(statuses, QList<int>{CModel::StatusDensitySave});
        QVERIFY(!QFile::exists(path));
        QVERIFY(!Access::NoticeBox(m_window.get()).isVisible());
        QVERIFY(Access::SentFilePath(m_window.get()).isEmpty());
        // The stored location is a folder: the dialog does not preselect the printer.
        QVERIFY(container->BarcodeText2.isEmpty());
    }

    // An address no stored printer has is never uploaded to; the model's file goes before the save dialog opens.
    void unknownPrinterNeverUploads_data()
    {
        QTest::addColumn<int>("saveKind");
        QTest::addColumn<int>("storedPrinters");
        QTest::addColumn<bool>("registers");
        QTest::newRow("folder kind") << 0 << 0 << false;
        QTest::newRow("printer kind") << 1 << 0 << true;
        QTest::newRow("printer kind, five stored") << 1 << 5 << false;
    }
    void unknownPrinterNeverUploads()
    {
        QFETCH(int, saveKind);
        QFETCH(int, storedPrinters);
        QFETCH(bool, registers);
        QList<Setting::PrinterInfo> printers;
        for (int i = 0; i < storedPrinters; ++i)
            printers << Printer(QStringLiteral("P%1").arg(i), QStringLiteral("10.0.0.%1").arg(i));
        SetSaveKind(saveKind, printers);
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        Container(0, QStringLiteral("P0001"), kPrinterAddress);
        const QString path = ResultFile(QStringLiteral("P0001.txt"));

        QString presetAddress;
        bool fileGoneBeforeSave = false;
        if (registers) {
            m_script->ExpectDialog(QStringLiteral("CVCPrinterAdd"), [&](QDialog *dialog) {
                presetAddress = dialog->findChild<QLineEdit *>(QStringLiteral("editIPAddress"))->text();
                dialog->findChild<QLineEdit *>(QStringLiteral("editPrinterName"))->setText(QStringLiteral("Local"));
                dialog->findChild<QLineEdit *>(QStringLiteral("editPassword"))->setText(QStringLiteral("pw"));
                dialog->findChild<QLineEdit *>(QStringLiteral("editPort"))->setText(QStringLiteral("30091"));
                dialog->findChild<QPushButton *>(QStringLiteral("pushOK"))->click();
            });
        } else if (storedPrinters == 5) {
            m_script->ExpectInform(kPrintersFull);
        }
        m_script->ExpectDialog(QStringLiteral("CVCMeasureDataSave"),
                               [&](QDialog *) { fileGoneBeforeSave = !QFile::exists(path); });
        m_window->MeasureDataPrinterSave(kPrinterAddress, path);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        QVERIFY(m_uploads.sends.isEmpty());
        QVERIFY(fileGoneBeforeSave);
        Setting::PrinterInfo found;
        QCOMPARE(m_model->FindPrinter(kPrinterAddress, &found), registers);
        if (registers) {
            QCOMPARE(presetAddress, kPrinterAddress);
            QCOMPARE(found.Name, QStringLiteral("Local"));
            QCOMPARE(found.Port, QStringLiteral("30091"));
        }
    }

    // A second result that arrives while the first is sent waits for it; each upload removes its own file, and
    // the scanner state deferred meanwhile takes effect once, after the last.
    void uploadsRunOneAtATime()
    {
        SetSaveKind(1, {Printer(QStringLiteral("Local"), kPrinterAddress)});
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        const QString first = ResultFile(QStringLiteral("first.txt"));
        const QString second = ResultFile(QStringLiteral("second.txt"));
        m_window->MeasureDataPrinterSave(kPrinterAddress, first);
        m_window->MeasureDataPrinterSave(kPrinterAddress, second);
        QCOMPARE(m_uploads.sends.size(), 1);
        QCOMPARE(m_uploads.sends.at(0).at(3), first);
        // A scanner state that came in during the upload.
        Access::LastOrloStatus(m_window.get()) = 8;

        emit m_uploads.made.at(0)->Finished(0, 0, QString());
        QVERIFY(!QFile::exists(first));
        QVERIFY(QFile::exists(second));
        QCOMPARE(m_uploads.sends.size(), 2);
        QCOMPARE(m_uploads.sends.at(1).at(3), second);
        QCOMPARE(Access::SentFilePath(m_window.get()), second);
        QCOMPARE(Access::LastOrloStatus(m_window.get()), 8);
        QVERIFY(Access::NoticeBox(m_window.get()).isVisible());

        emit m_uploads.made.at(1)->Finished(0, 0, QString());
        QVERIFY(!QFile::exists(second));
        QVERIFY(Access::PendingUploads(m_window.get()).isEmpty());
        QCOMPARE(Access::LastOrloStatus(m_window.get()), -1);
        QVERIFY(!Access::NoticeBox(m_window.get()).isVisible());
        QCOMPARE(m_uploads.sends.size(), 2);
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
    }

    // ---- The hand-over --------------------------------------------------------------------------------------------

    // The whole program: Tool > density balance hides the main window; instrument 1 (and only it) takes the
    // connected scanner off for the density window's time; the close gives the window back.
    void handOverAndBack_data()
    {
        QTest::addColumn<int>("instrumentRow");
        QTest::addColumn<bool>("disconnects");
        QTest::newRow("Brisa") << 0 << true;
        QTest::newRow("Calen") << 1 << false;
    }
    void handOverAndBack()
    {
        QFETCH(int, instrumentRow);
        QFETCH(bool, disconnects);
        ProgramFixture program;
        bool connectedWhileOpen = !disconnects;
        bool mainHidden = false;
        bool densityShown = false;
        int statusAfter = -1;
        bool mainShownAfter = false;
        bool connectedAfter = false;
        QString currentAfter;
        program.Run([&] {
            auto *main = qobject_cast<CVCMainWindow *>(program.Window());
            CModel *model = program.Model();
            QVERIFY(main && model);
            StoreUsbConnection(model);
            main->findChild<QAction *>(QStringLiteral("actionOrloConnectDisconnect"))->trigger();
            QCOMPARE(model->IsOrloConnected(), 1);
            auto *recognition = main->findChild<QTreeWidget *>(QStringLiteral("treeRecognition"));
            recognition->setCurrentItem(nullptr);

            program.script.ExpectDialog(QStringLiteral("CVCSelectAdjustDensity"),
                                        Choose(kHandyTemplate, instrumentRow));
            main->findChild<QAction *>(QStringLiteral("actionToolAdjustDensity"))->trigger();
            CVCAdjustDensity *density = main->GetAdjustDensityWindow();
            mainHidden = !main->isVisible();
            densityShown = density->isVisible();
            connectedWhileOpen = model->IsOrloConnected() == 1;

            QSignalSpy closed(density, &CVCAdjustDensity::closeAdjustDensity);
            density->close();
            if (closed.isEmpty())
                emit density->closeAdjustDensity();
            statusAfter = model->GetOperationState();
            mainShownAfter = main->isVisible();
            connectedAfter = model->IsOrloConnected() == 1;
            if (QTreeWidgetItem *item = recognition->currentItem())
                currentAfter = item->text(0);
        });
        QVERIFY(program.BodyRan());
        QVERIFY2(program.script.Done(), qPrintable(program.script.Problems()));
        QVERIFY(mainHidden);
        QVERIFY(densityShown);
        QCOMPARE(connectedWhileOpen, !disconnects);
        QCOMPARE(statusAfter, int(CModel::StatusMainWindow));
        QVERIFY(mainShownAfter);
        QVERIFY(connectedAfter);
        QCOMPARE(currentAfter, QStringLiteral("<Freeform Chart>"));
    }
};

VAREMO_PROGRAM_TEST_MAIN(TestDensityOpen)
#include "test_density_open.moc"
