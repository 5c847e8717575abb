// The main window's file actions on the seeded store: new and edit through the chart editor, open with both
// second-stage questions, register from recognition, save as XML and as TIFF pages, export of measurement data.
// Every box, file dialog and nested dialog is answered by a scripted presenter.
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/documentdata.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "chart/vccreatechart.h"
#include "mainwindow/vcmainwindow.h"
#include "tests/mainwindow/datalistitems.h"
#include "programfixture.h"
#include "scriptedpresenter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QStringList kImportFilters{"xml File (*.xml)", "csv File (*.csv)", "cxf File (*.cxf)", "cgats File (*.txt)"};
const QString kOverwrite = QStringLiteral(" already exists. Are you sure you want to overwrite?");
const QString kTiffFilter = QStringLiteral("tiff File (*.tiff)");

QString DataFile(const QString &name)
{
    return QFINDTESTDATA(QStringLiteral("data/") + name);
}

// Frees what a read or an import allocated.
struct ChartGuard {
    ChartDefinitionDataSheets chart;
    ChartGuard() { InitChartDefinitionData(&chart); }
    ~ChartGuard() { ClearChartDefinitionData(&chart); }
};

// The chart-editor run the window asked for: its mode from the buttons it shows, and the status it ran under.
struct EditorSeen {
    bool ran = false;
    int mode = -1;
    int status = -1;
    bool saveAfterNewArea = false;
    int imageWidth = 0;
    int pageCount = 0;
};

int EditorMode(const QDialog *dialog)
{
    const bool save = !dialog->findChild<QPushButton *>("pushSave")->isHidden();
    const bool saveAs = !dialog->findChild<QPushButton *>("okButton")->isHidden();
    return save && saveAs ? 0 : save ? 1 : 2;
}

} // namespace

class TestFileActions : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<ScriptedPresenter> m_script;
    std::unique_ptr<CVCMainWindow> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
    CModel *m_model = nullptr;
    SeededStore m_ids;

    QTreeWidget *Designation() const { return m_window->findChild<QTreeWidget *>("treeDesignation"); }
    QTreeWidget *Recognition() const { return m_window->findChild<QTreeWidget *>("treeRecognition"); }
    CDocumentData *Store() const { return CModelAccess::DocumentData(*m_model); }
    int ChartCount() const { return m_model->GetDesignationCharts()->size(); }
    int LastChartId() const { return m_model->GetDesignationCharts()->last().ID; }
    QString Path(const QString &name) const { return m_dir->filePath(name); }

    QTreeWidgetItem *FindChart(int id) const { return ChartItemWithId(Designation(), id); }
    QTreeWidgetItem *FindMeasure(int id) const { return MeasureItemWithId(Designation(), id); }
    QTreeWidgetItem *FindRecognition(int id) const { return RecognitionItemWithId(Recognition(), id); }

    // Message numbers the window showed, in order.
    QList<int> Messages() const
    {
        QList<int> messages;
        for (const ScriptedPresenter::Call &call : m_script->Calls()) {
            if (call.kind != ScriptedPresenter::Kind::Record)
                continue;
            for (int message : {2, 3, 5, 33, 47, 49, 53, 58, 59}) {
                if (call.text == FindMessageRecord(message).text)
                    messages << message;
            }
        }
        return messages;
    }
    int Count(ScriptedPresenter::Kind kind) const
    {
        int n = 0;
        for (const ScriptedPresenter::Call &call : m_script->Calls())
            n += call.kind == kind ? 1 : 0;
        return n;
    }

    // Stored charts up to total, bypassing the window.
    void FillCharts(int total)
    {
        while (ChartCount() < total) {
            ChartGuard guard;
            MakeChart(&guard.chart, 1, 1, 1);
            QCOMPARE(Store()->CreateDesignationChart(&guard.chart, false), 0);
        }
    }

    // The editor is closed with Cancel; holding a chart it may save as a new one, it asks first (answered No).
    void ExpectEditor(EditorSeen *seen, bool asksToSave, const std::function<void(QDialog *)> &more = {})
    {
        m_script->ExpectDialog(QStringLiteral("CVCCreateChart"), [this, seen, more](QDialog *dialog) {
            seen->ran = true;
            seen->mode = EditorMode(dialog);
            seen->status = m_model->GetOperationState();
            const auto *editor = static_cast<CVCCreateChart *>(dialog);
            const CreateChartPageList &pages = editor->Core().PageLists[CreateChartCore::OriginalList];
            seen->pageCount = pages.size();
            seen->imageWidth = pages.isEmpty() ? 0 : pages.first().ImageWidth;
            if (more)
                more(dialog);
        });
        if (asksToSave)
            m_script->ExpectAsk(QStringLiteral("Do want to save chart definition data?"), QMessageBox::No);
    }

    void ExpectMessages(const QList<int> &messages)
    {
        for (int message : messages)
            m_script->ExpectRecord(FindMessageRecord(message).text);
    }

    void ExpectOpen(const QString &file, int filter)
    {
        m_script->ExpectOpenFile(QStringLiteral("Open"), file, kImportFilters.at(filter));
    }

    void SelectChart(int id)
    {
        Designation()->setCurrentItem(FindChart(id));
        QCOMPARE(m_model->GetChartDefinition()->SheetCount > 0, true);
    }

    void SetConditions(const std::function<void(Setting::MeasureConditionSetting &)> &change)
    {
        Setting::MeasureConditionSetting block = *m_model->GetMeasurementCondition(0);
        change(block);
        QCOMPARE(m_model->SetMeasureCondition(block, 0), 0);
    }

private slots:
    void initTestCase()
    {
        // The program's own chart files name the program that wrote them.
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        BuildMessageTables();
    }

    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        QVERIFY(SeedStore(Store(), &m_ids));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QCOMPARE(m_model->SetLastFolder(m_dir->path()), 0);
        m_script = std::make_unique<ScriptedPresenter>();
        m_window = std::make_unique<CVCMainWindow>(m_model);
        QCOMPARE(m_window->RestoreWindowState(), 0);
        m_window->show();
    }

    void cleanup()
    {
        if (m_script)
            QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        m_window.reset();
        m_script.reset();
        m_dir.reset();
        f.reset();
        m_model = nullptr;
    }

    void newChart()
    {
        EditorSeen seen;
        ExpectEditor(&seen, false);
        m_window->findChild<QPushButton *>("pushNewChart")->click();
        QVERIFY(seen.ran);
        QCOMPARE(seen.mode, 2);
        QCOMPARE(seen.status, int(CModel::StatusChartEdit));
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));

        FillCharts(600);
        ExpectMessages({53});
        m_window->actionFileNewChartTriggered();
        QCOMPARE(Messages(), QList<int>{53});
        QCOMPARE(Count(ScriptedPresenter::Kind::Dialog), 1);
    }

    // Menu, tool-bar and context-menu entries each start their own workflow; the file dialogs are cancelled.
    void entriesReachTheirActions()
    {
        const auto trigger = [this](const char *name) { m_window->findChild<QAction *>(name)->trigger(); };
        // expect queues what the chosen entry leads to.
        const auto pick = [this](QTreeWidget *tree, QTreeWidgetItem *item, const QString &entry,
                                 const std::function<void()> &expect) {
            tree->clearSelection();
            tree->setCurrentItem(item);
            item->setSelected(true);
            m_script->ExpectMenu(QString(), entry);
            expect();
            if (tree == Designation())
                m_window->treeDesignationCustomContextMenuRequested(QPoint(5, 5));
            else
                m_window->treeRecognitionCustomContextMenuRequested(QPoint(5, 5));
        };
        const auto lastFilter = [this] { return m_script->Calls().last().filter; };

        m_script->ExpectOpenFile(QStringLiteral("Open"), QString());
        trigger("actionFileOpen");
        EditorSeen seen;
        ExpectEditor(&seen, false);
        trigger("actionFileNewChart");
        QCOMPARE(seen.mode, 2);

        const auto cancelSave = [this] { m_script->ExpectSaveFile(QStringLiteral("Save"), QString()); };
        pick(Designation(), FindChart(m_ids.qrChart), QStringLiteral("Save"), cancelSave);
        QCOMPARE(lastFilter(), QStringLiteral("xml File (*.xml)"));
        pick(Designation(), FindChart(m_ids.qrChart), QStringLiteral("Save Tiff image data"), cancelSave);
        QCOMPARE(lastFilter(), kTiffFilter);
        EditorSeen edited;
        pick(Designation(), FindChart(m_ids.qrChart), QStringLiteral("Edit Chart"),
             [&] { ExpectEditor(&edited, true); });
        QCOMPARE(edited.mode, 0);

        const QString exportFilters = OutputFormatFilters().join(QStringLiteral(";;"));
        pick(Designation(), FindMeasure(m_ids.completeMeasure), QStringLiteral("Save"), cancelSave);
        QCOMPARE(lastFilter(), exportFilters);
        cancelSave();
        trigger("actionFileSaveMeasureData");
        QCOMPARE(lastFilter(), exportFilters);
        pick(Recognition(), FindRecognition(m_ids.recognition), QStringLiteral("Save"), cancelSave);
        QCOMPARE(lastFilter(), exportFilters);

        const int before = ChartCount();
        pick(Recognition(), FindRecognition(m_ids.recognition), QStringLiteral("Register Chart"), [] {});
        QCOMPARE(ChartCount(), before + 1);
    }

    void openSecondStages()
    {
        // Patch order asked; "Randam" gives the chart.
        const int before = ChartCount();
        ExpectOpen(DataFile("chart_patch_order.txt"), 3);
        m_script->ExpectDialog(QStringLiteral("CVCSelectCgatsFormat"), [](QDialog *dialog) {
            dialog->findChild<QRadioButton *>("radioRandam")->setChecked(true);
            dialog->accept();
        });
        m_window->actionFileOpenTriggered();
        QCOMPARE(ChartCount(), before + 1);
        QCOMPARE(Id(Designation()->currentItem()), LastChartId());
        QCOMPARE(m_model->GetOpenFilterIndex(), 3);
        QCOMPARE(m_model->GetLastFolder(), QFileInfo(DataFile("chart_patch_order.txt")).absolutePath());

        // The same question cancelled: nothing created, nothing said.
        ExpectOpen(DataFile("chart_patch_order.txt"), 3);
        m_script->ExpectDialog(QStringLiteral("CVCSelectCgatsFormat"), {});
        m_window->actionFileOpenTriggered();
        QCOMPARE(ChartCount(), before + 1);

        // Rows by columns asked: 5 columns lay out 100 patches in 20 rows.
        ExpectOpen(DataFile("chart_rows_columns.txt"), 3);
        m_script->ExpectDialog(QStringLiteral("CVCInputChartLayout"), [](QDialog *dialog) {
            dialog->findChild<QSpinBox *>("spinColumn")->setValue(5);
            dialog->accept();
        });
        m_window->actionFileOpenTriggered();
        QCOMPARE(ChartCount(), before + 2);
        ChartGuard made;
        QCOMPARE(m_model->ReadDesignationChart(LastChartId(), &made.chart), 0);
        QCOMPARE(made.chart.ChartPatchCount, 100);
        QCOMPARE(made.chart.Sheets[0].Areas[0].RowCount, 20);
        QCOMPARE(made.chart.Sheets[0].Areas[0].ColumnCount, 5);
        QVERIFY(Messages().isEmpty());
    }

    void openFirstStage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("copyAs"); // empty: read in place
        QTest::addColumn<int>("filter");
        QTest::addColumn<QList<int>>("messages");
        QTest::addColumn<QString>("name"); // of the created chart; empty: none created
        QTest::newRow("own XML") << "chart_two_pages_qr.xml" << "" << 0 << QList<int>{} << "TwoPagesQR";
        QTest::newRow("CSV chart") << "chart_list.csv" << "" << 1 << QList<int>{} << "chart_list";
        QTest::newRow("unusable characters") << "chart_list.csv" << "Test#1.csv" << 1 << QList<int>{47} << "Test1";
        // The name stops at the first character outside printable ASCII, before any filtering.
        QTest::newRow("non-ASCII name") << "chart_list.csv" << "T\u00e9st#1.csv" << 1 << QList<int>{} << "T";
        QTest::newRow("broken CSV") << "chart_broken.csv" << "" << 1 << QList<int>{5} << "";
        QTest::newRow("broken CxF") << "chart_broken.cxf" << "" << 2 << QList<int>{5} << "";
    }
    void openFirstStage()
    {
        QFETCH(QString, file);
        QFETCH(QString, copyAs);
        QFETCH(int, filter);
        QFETCH(QList<int>, messages);
        QFETCH(QString, name);
        QString path = DataFile(file);
        if (!copyAs.isEmpty()) {
            QVERIFY(QFile::copy(path, Path(copyAs)));
            path = Path(copyAs);
        }
        const int before = ChartCount();
        ExpectOpen(path, filter);
        ExpectMessages(messages);
        m_window->actionFileOpenTriggered();
        QCOMPARE(Messages(), messages);
        QCOMPARE(Count(ScriptedPresenter::Kind::Dialog), 0);
        QCOMPARE(ChartCount(), before + (name.isEmpty() ? 0 : 1));
        if (!name.isEmpty()) {
            QCOMPARE(m_model->GetDesignationCharts()->last().ChartName, name);
            QCOMPARE(Designation()->currentItem()->text(0), name);
        }
        QCOMPARE(m_model->GetOpenFilterIndex(), filter);
    }

    void openLimits()
    {
        // The 600th chart is made and the limit is reported at once.
        FillCharts(599);
        ExpectOpen(DataFile("chart_list.csv"), 1);
        ExpectMessages({53});
        m_window->actionFileOpenTriggered();
        QCOMPARE(ChartCount(), 600);
        QCOMPARE(Messages(), QList<int>{53});
        ExpectMessages({53});
        m_window->actionFileOpenTriggered();
        QCOMPARE(Messages(), (QList<int>{53, 53}));
    }

    void openTooManyPatches()
    {
        QByteArray text = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K\nEND_DATA_FORMAT\n"
                          "NUMBER_OF_SETS 15001\nBEGIN_DATA\n";
        for (int i = 1; i <= 15001; ++i)
            text += QByteArray::number(i) + "\t10\t20\t30\t" + QByteArray::number(i % 101) + "\n";
        text += "END_DATA\n";
        QFile file(Path("many.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        const int before = ChartCount();
        ExpectOpen(file.fileName(), 3);
        ExpectMessages({5});
        m_window->actionFileOpenTriggered();
        QCOMPARE(Messages(), QList<int>{5});
        QCOMPARE(Count(ScriptedPresenter::Kind::Dialog), 0);
        QCOMPARE(ChartCount(), before);
    }

    void modify()
    {
        // A chart without measurements: edit mode, its pages, a changed layout may be saved over it.
        ChartGuard extra;
        MakeChart(&extra.chart, 1, 2, 2);
        QCOMPARE(m_model->CreateDesignationChart(&extra.chart), 0);
        const int plain = LastChartId();
        const auto addAreaThenSave = [](EditorSeen *seen) {
            return [seen](QDialog *dialog) {
                dialog->findChild<QToolButton *>("pushAddLayoutPatchArea")->click();
                seen->saveAfterNewArea = dialog->findChild<QPushButton *>("pushSave")->isEnabled();
            };
        };
        EditorSeen seen;
        ExpectEditor(&seen, true, addAreaThenSave(&seen));
        Designation()->setCurrentItem(FindChart(plain));
        m_window->findChild<QPushButton *>("pushEditChart")->click();
        QCOMPARE(seen.mode, 0);
        QCOMPARE(seen.status, int(CModel::StatusChartEdit));
        QCOMPARE(seen.pageCount, 1);
        QCOMPARE(seen.imageWidth, 0);
        QVERIFY(seen.saveAfterNewArea);
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));

        // A chart with measurements keeps its layout.
        EditorSeen measured;
        ExpectEditor(&measured, true, addAreaThenSave(&measured));
        Designation()->setCurrentItem(FindChart(m_ids.qrChart));
        m_window->actionModifyDesignationTriggered();
        QVERIFY(!measured.saveAfterNewArea);

        // Over a measurement: its captured page becomes the background.
        EditorSeen over;
        ExpectEditor(&over, true);
        Designation()->setCurrentItem(FindMeasure(m_ids.completeMeasure));
        m_window->actionModifyDesignationTriggered();
        QCOMPARE(over.imageWidth, 16);

        // At the limit only Save is offered.
        FillCharts(600);
        EditorSeen full;
        ExpectEditor(&full, false);
        Designation()->setCurrentItem(FindChart(plain));
        m_window->actionModifyDesignationTriggered();
        QCOMPARE(full.mode, 1);
        QVERIFY(Messages().isEmpty());
    }

    void modifyRefused()
    {
        // Unreadable chart file.
        QTreeWidgetItem *big = FindChart(m_ids.big100);
        Designation()->setCurrentItem(big);
        QVERIFY(QFile::remove(Store()->DesignationChartPath(m_ids.big100)));
        ExpectMessages({3});
        m_window->actionModifyDesignationTriggered();
        QCOMPARE(Messages(), QList<int>{3});

        // A stored chart the editor cannot hold.
        ChartGuard tall;
        MakeChart(&tall.chart, 1, 245, 1);
        QCOMPARE(Store()->CreateDesignationChart(&tall.chart), 0);
        Designation()->setCurrentItem(FindChart(LastChartId()));
        const int items = Designation()->topLevelItemCount();
        ExpectMessages({3});
        m_window->actionModifyDesignationTriggered();
        QCOMPARE(Messages(), (QList<int>{3, 3}));
        QCOMPARE(Count(ScriptedPresenter::Kind::Dialog), 0);
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
        QCOMPARE(Designation()->topLevelItemCount(), items);
    }

    void registerRecognition()
    {
        // A second recognition with records, copied from the seeded one.
        ChartGuard chart;
        MeasurementDataSheets measurement;
        InitMeasureFileData(&measurement);
        QCOMPARE(m_model->ReadRecognitionMeasure(m_ids.recognition, &chart.chart, &measurement), 0);
        int second = 0;
        QCOMPARE(Store()->CreateRecognitionMeasure(&second, chart.chart, &measurement), 0);
        ClearMeasureFileData(&measurement);

        const int before = ChartCount();
        Recognition()->clearSelection();
        Recognition()->setCurrentItem(FindRecognition(m_ids.recognition));
        FindRecognition(m_ids.recognition)->setSelected(true);
        FindRecognition(second)->setSelected(true);
        m_window->actionRegisterChartRecognitionTriggered();
        QCOMPARE(ChartCount(), before + 1);
        QVERIFY(Messages().isEmpty());

        QVERIFY(QFile::remove(Store()->RecognitionMeasurePath(second)));
        Recognition()->clearSelection();
        Recognition()->setCurrentItem(FindRecognition(second));
        FindRecognition(second)->setSelected(true);
        ExpectMessages({58});
        m_window->actionRegisterChartRecognitionTriggered();
        QCOMPARE(ChartCount(), before + 1);
        QCOMPARE(Messages(), QList<int>{58});
    }

    void saveXml()
    {
        SelectChart(m_ids.qrChart);
        const QString path = Path("saved.xml");
        m_script->ExpectSaveFile(QStringLiteral("Save"), path);
        m_window->actionSaveFileDesignationTriggered();
        QCOMPARE(m_script->Calls().last().folder, m_dir->path() + QStringLiteral("/QRChart.xml"));
        QCOMPARE(m_script->Calls().last().filter, QStringLiteral("xml File (*.xml)"));

        ChartGuard back;
        int kind = 0;
        int count = 0;
        QCOMPARE(m_model->ImportChartDefinition(&back.chart, &kind, &count, path, 0), 0);
        const ChartDefinitionDataSheets &shown = *m_model->GetChartDefinition();
        QCOMPARE(back.chart.ChartName, shown.ChartName);
        QCOMPARE(back.chart.SheetCount, shown.SheetCount);
        QCOMPARE(back.chart.Barcode, shown.Barcode);
        QCOMPARE(back.chart.Sheets[0].PatchCount, shown.Sheets[0].PatchCount);
        for (int p = 0; p < shown.Sheets[0].PatchCount; ++p) {
            const ChartDefinitionData::PatchColor &a = back.chart.Sheets[0].Patches[p];
            const ChartDefinitionData::PatchColor &b = shown.Sheets[0].Patches[p];
            QCOMPARE(a.ID, b.ID);
            QVERIFY(IsSamePatchPosition(a, b));
            QCOMPARE(a.ColorValue[0], b.ColorValue[0]);
        }
    }

    void tiffLimits()
    {
        SelectChart(m_ids.qrChart);
        ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
        chart->ChartName = QStringLiteral("ABCDEFGHIJKLMNOPQ");
        m_script->ExpectWarn(QStringLiteral("The chart name is too long. If you want save the TIFF image of the chart "
                                            "with QR code, please be less than 16 characters."));
        m_window->actionSaveImageDesignationTriggered();

        chart->ChartName = QStringLiteral("ABCDEFGHIJKLMNOP");
        const QString path = Path("sixteen.tiff");
        m_script->ExpectSaveFile(QStringLiteral("Save"), path);
        m_window->actionSaveImageDesignationTriggered();
        QVERIFY(QFile::exists(CModel::ChartImagePageFileName(path, 0)));
        QCOMPARE(m_script->Calls().last().filter, kTiffFilter);
        QCOMPARE(m_script->Calls().last().folder, m_dir->path() + QStringLiteral("/QRChart.tiff"));

        // Pages: 101 refused; 100 pass to the file dialog.
        SelectChart(m_ids.big101);
        m_model->GetChartDefinition()->Barcode = 1;
        m_script->ExpectWarn(QStringLiteral("The chart is too many pages. If you want save the TIFF image of the chart "
                                            "with QR code, please be less than 100 pages."));
        m_window->actionSaveImageDesignationTriggered();
        SelectChart(m_ids.big100);
        m_model->GetChartDefinition()->Barcode = 1;
        m_script->ExpectSaveFile(QStringLiteral("Save"), QString());
        m_window->actionSaveImageDesignationTriggered();
    }

    void tiffOutOfPrintRange()
    {
        SelectChart(m_ids.qrChart);
        m_model->GetChartDefinition()->Sheets[0].Placements[0].LeftTopY = 9000;
        const QString question = QStringLiteral("A patch exists out of a print range.\nDo want to save image data?");
        m_script->ExpectAsk(question, QMessageBox::No);
        m_window->actionSaveImageDesignationTriggered();
        m_script->ExpectAsk(question, QMessageBox::Yes).ExpectSaveFile(QStringLiteral("Save"), Path("range.tiff"));
        m_window->actionSaveImageDesignationTriggered();
        QVERIFY(QFile::exists(CModel::ChartImagePageFileName(Path("range.tiff"), 0)));
        QCOMPARE(QDir(m_dir->path()).entryList({"*.tiff"}).size(), 1);
    }

    void tiffOverwrite_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<bool>("asked");
        QTest::newRow("page file") << "abc_001.tiff" << true;
        QTest::newRow("other numbering") << "abc_1.tiff" << false;
        QTest::newRow("longer name") << "abcdef.tiff" << false;
        QTest::newRow("the chosen name itself") << "abc.tiff" << false;
    }
    void tiffOverwrite()
    {
        QFETCH(QString, existing);
        QFETCH(bool, asked);
        QFile file(Path(existing));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        SelectChart(m_ids.qrChart);
        const QString chosen = Path("abc.tiff");
        m_script->ExpectSaveFile(QStringLiteral("Save"), chosen);
        if (asked) {
            m_script->ExpectAsk(QStringLiteral("abc.tiff") + kOverwrite, QMessageBox::No)
                .ExpectSaveFile(QStringLiteral("Save"), QString());
        }
        m_window->actionSaveImageDesignationTriggered();
        if (asked) {
            QCOMPARE(m_script->Calls().last().folder, chosen);
            QCOMPARE(QFileInfo(Path(existing)).size(), 0);
        } else {
            QVERIFY(QFileInfo(CModel::ChartImagePageFileName(chosen, 0)).size() > 0);
        }
    }

    void tiffWithBlockedSettings()
    {
        SelectChart(m_ids.qrChart);
        const QString settings = AppDataDir() + QStringLiteral("/Setting.bin");
        QVERIFY(QFile::remove(settings));
        QVERIFY(QDir().mkpath(settings + QStringLiteral("/blocked")));
        QVERIFY(m_model->SetLastFolder(m_dir->path()) != 0);
        const QString path = Path("blocked.tiff");
        m_script->ExpectSaveFile(QStringLiteral("Save"), path);
        m_window->actionSaveImageDesignationTriggered();
        QVERIFY(QFile::exists(CModel::ChartImagePageFileName(path, 0)));
    }

    void exportRefusals()
    {
        Recognition()->setCurrentItem(Recognition()->topLevelItem(0));
        ExpectMessages({49});
        m_window->actionFileSaveMeasureDataTriggered();
        QCOMPARE(Messages(), QList<int>{49});

        Designation()->setCurrentItem(FindChart(m_ids.qrChart));
        QVERIFY(!Recognition()->currentItem());
        ExpectMessages({2});
        m_window->actionFileSaveMeasureDataTriggered();
        QCOMPARE(Messages(), (QList<int>{49, 2}));

        Designation()->setCurrentItem(FindMeasure(m_ids.completeMeasure));
        SetConditions([](Setting::MeasureConditionSetting &block) { block.ConditionMask = 0; });
        ExpectMessages({59});
        m_window->actionFileSaveMeasureDataTriggered();
        QCOMPARE(Messages(), (QList<int>{49, 2, 59}));
        QCOMPARE(Count(ScriptedPresenter::Kind::SaveFile), 0);
    }

    void exportFiles()
    {
        // Two conditions, one file each, named by the model; the second exists already.
        SetConditions([](Setting::MeasureConditionSetting &block) { block.ConditionMask = 0x3; });
        Designation()->setCurrentItem(FindMeasure(m_ids.completeMeasure));
        const QStringList filters = OutputFormatFilters();
        const QString path = Path("run.txt");
        const QString first = m_model->BuildMeasurementFileName(path, 0);
        const QString second = m_model->BuildMeasurementFileName(path, 1);
        QVERIFY(first != second);
        QFile existing(second);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();

        m_script->ExpectSaveFile(QStringLiteral("Save"), path, filters.at(5))
            .ExpectAsk(QFileInfo(second).fileName() + kOverwrite, QMessageBox::No)
            .ExpectSaveFile(QStringLiteral("Save"), path, filters.at(5))
            .ExpectAsk(QFileInfo(second).fileName() + kOverwrite, QMessageBox::Yes);
        m_window->actionFileSaveMeasureDataTriggered();
        const QList<ScriptedPresenter::Call> &calls = m_script->Calls();
        QCOMPARE(calls.at(0).selectedFilter, filters.at(3));
        QCOMPARE(calls.at(0).folder, m_dir->path() + QStringLiteral("/QRChart_") +
                                         QStringLiteral("%1").arg(m_ids.completeMeasure, 5, 10, QLatin1Char('0')) +
                                         OutputFormatExtension(3));
        QCOMPARE(calls.at(2).selectedFilter, filters.at(5));
        QCOMPARE(m_model->GetSaveFilterIndex(), 5);
        QVERIFY(QFileInfo(first).size() > 0);
        QVERIFY(QFileInfo(second).size() > 0);
        QVERIFY(!QFile::exists(path));

        // One file for all conditions: no question, the chosen name.
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AllConditionsInOneFile = 1;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        const QString single = Path("single.txt");
        m_script->ExpectSaveFile(QStringLiteral("Save"), single, filters.at(5));
        m_window->actionFileSaveMeasureDataTriggered();
        QVERIFY(QFileInfo(single).size() > 0);
        QVERIFY(!QFile::exists(m_model->BuildMeasurementFileName(single, 0)));
    }

    void exportWithoutPaperWhite()
    {
        SetConditions([](Setting::MeasureConditionSetting &block) {
            block.DensityShown = 1;
            block.WhiteReference = 1;
            block.ConditionMask = 0x1;
        });
        Designation()->setCurrentItem(FindMeasure(m_ids.completeMeasure));
        const QString path = Path("white.txt");
        ExpectMessages({33});
        m_script->ExpectSaveFile(QStringLiteral("Save"), path);
        m_window->actionFileSaveMeasureDataTriggered();
        QCOMPARE(Messages(), QList<int>{33});
        QCOMPARE(m_model->GetMeasurementCondition(0)->WhiteReference, 0);
        QVERIFY(QFileInfo(m_model->BuildMeasurementFileName(path, 0)).size() > 0);
    }
};

QTEST_MAIN(TestFileActions)
#include "test_fileactions.moc"
