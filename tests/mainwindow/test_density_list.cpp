// The density-balance window's chart list on a model with charts of several templates: filling, adding from a
// file (and the 600-chart limit), deleting, renaming measurements in place, checks as scanner jobs, what the
// current item draws, context menus, double clicks, new measurements and the chart saves. Boxes, file dialogs and
// menus go to a scripted presenter; the scanner is the simulated one in manual delivery.
#include "tests/app/modelfixture.h"

#include "app/documentdata.h"
#include "app/messagetables.h"
#include "app/recordhelpers.h"
#include "chart/vcgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"
#include "mainwindow/vcadjustdensity.h"
#include "scriptedpresenter.h"
#include "tests/mainwindow/datalistitems.h"
#include "tests/mainwindow/densityaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using Access = CVCAdjustDensityAccess;

namespace {

const QString kDeleteQuestion = QStringLiteral("Do you want to delete selected data?");
const QString kCannotDelete = QStringLiteral("Cannot delete, because measurement data exist.");
const QString kOverwrite = QStringLiteral(" already exists. Are you sure you want to overwrite?");
const QString kXmlFilter = QStringLiteral("xml File (*.xml)");
const QString kCsvFilter = QStringLiteral("csv File (*.csv)");

QString DataFile(const QString &name)
{
    return QFINDTESTDATA(QStringLiteral("data/") + name);
}

int CountCalls(const QString &function)
{
    const QString log = QString::fromUtf8(OrloSim_CallLog());
    return log.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + function + "\\(")).size();
}

// Message boxes of the model's reports are not this list's business: they are taken without a script. Context
// menus are recorded and left without a choice. whileOpenFile runs while an open-file dialog is up.
class ListPresenter : public ScriptedPresenter
{
public:
    QList<QMenu *> menus;
    QList<QPoint> menuPoints;
    std::function<void()> whileOpenFile;

    QString OpenFileName(QWidget *parent, const QString &caption, const QString &folder, const QString &filter,
                         QString *selectedFilter) override
    {
        if (whileOpenFile)
            whileOpenFile();
        return ScriptedPresenter::OpenFileName(parent, caption, folder, filter, selectedFilter);
    }

    using CUiPresenter::ShowRecord;
    void ShowRecord(QWidget *, const RecordBox &) override {}
    QAction *ExecMenu(QMenu *menu, const QPoint &globalPoint) override
    {
        menus << menu;
        menuPoints << globalPoint;
        return nullptr;
    }
};

// A one-page density chart of the small grid, stored for a template row and an instrument; 0 on failure.
int MakeDensityChart(CModel *model, int templateRow, int instrument)
{
    ChartDefinitionDataSheets chart;
    InitChartDefinitionData(&chart);
    chart.Kind = ChartDefinitionData::KindDensity;
    chart.SheetCount = 1;
    chart.Recog = 1;
    chart.Diameter = 1;
    chart.Sheets = NewChartSheets(1);
    chart.Sheets[0] = MakeSmallSheet({}, false);
    chart.ChartPatchCount = chart.Sheets[0].PatchCount;
    const int result = model->CreateDensityChart(templateRow, instrument, &chart);
    ClearChartDefinitionData(&chart);
    return result == 0 ? model->GetDensityCharts()->last().ID : 0;
}

// A density measurement of the chart's page, `measured` of its patches with values; mode 0 is the chart scanner,
// 1 a handheld instrument. 0 on failure.
int MakeDensityMeasure(CModel *model, int chartId, int mode, int measured)
{
    ChartDefinitionDataSheets chart;
    InitChartDefinitionData(&chart);
    int number = 0;
    if (model->ReadDensityChart(chartId, &chart) == 0 && chart.SheetCount > 0) {
        MeasurementDataSheets measurement;
        measurement.Mode = mode;
        measurement.SheetCount = 1;
        measurement.Sheets = NewMeasurementPages(1);
        measurement.Sheets[0] = MakeSmallMeasurement(chart.Sheets[0], measured);
        if (CModelAccess::DocumentData(*model)->CreateDensityMeasure(&number, chartId, &measurement) != 0)
            number = 0;
        ClearMeasureFileData(&measurement);
    }
    ClearChartDefinitionData(&chart);
    return number;
}

QList<int> TopLevelIds(const QTreeWidget *tree)
{
    QList<int> ids;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        ids << Id(tree->topLevelItem(i));
    return ids;
}

bool EditorOpen(const QTreeWidget *tree)
{
    const QList<QLineEdit *> editors = tree->viewport()->findChildren<QLineEdit *>();
    return std::any_of(editors.begin(), editors.end(), [](const QLineEdit *e) { return e->isVisible(); });
}

} // namespace

class TestDensityList : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<ListPresenter> m_script;
    std::unique_ptr<CVCAdjustDensity> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
    CModel *m_model = nullptr;

    // Template 7 with the chart scanner: two charts of the test's own, one of them with a scanner measurement.
    int m_plainChart = 0;
    int m_measuredChart = 0;
    int m_scanMeasure = 0;
    // Template 1 with instrument 1: a chart with a handheld measurement.
    int m_handyChart = 0;
    int m_handyMeasure = 0;
    // Template 7 with instrument 1: listed in neither mode used here.
    int m_otherChart = 0;
    int m_otherMeasure = 0;

    QTreeWidget *Tree() const { return Access::Form(m_window.get())->treeChartList; }
    QTreeWidgetItem *ChartItem(int id) const { return ChartItemWithId(Tree(), id); }
    QTreeWidgetItem *MeasureItem(int id) const { return MeasureItemWithId(Tree(), id); }
    CDocumentData *Store() const { return CModelAccess::DocumentData(*m_model); }
    QList<int> Messages() const { return f->window->errors + f->window->densityErrors; }
    void ClearMessages()
    {
        f->window->errors.clear();
        f->window->densityErrors.clear();
    }
    const DensityBalanceData *ChartRecord(int id) const { return Store()->FindDensityChart(id); }

    // The window built on the model and set up for a template and an instrument, as opening would.
    void Open(int templateRow, int instrument)
    {
        m_window = std::make_unique<CVCAdjustDensity>(m_model);
        CVCAdjustDensity *w = m_window.get();
        Access::UseTemplate(w, templateRow, instrument);
        w->show();
    }

    // The user picks exactly these items, the first one current.
    void Select(const QList<QTreeWidgetItem *> &items)
    {
        Tree()->clearSelection();
        if (!items.isEmpty())
            Tree()->setCurrentItem(items.first());
        for (QTreeWidgetItem *item : items)
            item->setSelected(true);
    }

    void ConnectScanner()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        OrloSim_ClearCallLog();
    }

    // A directory with content where the file was: the store cannot remove it.
    static void BlockRemoval(const QString &path)
    {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/kept")));
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
        m_model = f->model.get();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_plainChart = MakeDensityChart(m_model, 7, 0);
        m_measuredChart = MakeDensityChart(m_model, 7, 0);
        m_scanMeasure = MakeDensityMeasure(m_model, m_measuredChart, 0, 4);
        m_handyChart = MakeDensityChart(m_model, 1, 1);
        m_handyMeasure = MakeDensityMeasure(m_model, m_handyChart, 1, 3);
        m_otherChart = MakeDensityChart(m_model, 7, 1);
        m_otherMeasure = MakeDensityMeasure(m_model, m_otherChart, 0, 2);
        QVERIFY(m_plainChart && m_measuredChart && m_scanMeasure && m_handyChart && m_handyMeasure &&
                m_otherChart && m_otherMeasure);
        m_script = std::make_unique<ListPresenter>();
    }

    void cleanup()
    {
        if (m_script)
            QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        // Hidden while whole: a dock hidden by the base class's destructor would report to a window half gone.
        if (m_window)
            m_window->hide();
        m_window.reset();
        m_script.reset();
        m_dir.reset();
        f.reset();
        m_model = nullptr;
    }

    void fillsForTemplateAndInstrument_data()
    {
        QTest::addColumn<int>("templateRow");
        QTest::addColumn<int>("instrument");
        QTest::newRow("template 7, chart scanner") << 7 << 0;
        QTest::newRow("template 1, instrument 1") << 1 << 1;
    }
    void fillsForTemplateAndInstrument()
    {
        QFETCH(int, templateRow);
        QFETCH(int, instrument);
        Open(templateRow, instrument);

        QList<int> expected;
        for (const DensityBalanceData &chart : *m_model->GetDensityCharts()) {
            if (chart.Template == templateRow && chart.SecondNumber == instrument)
                expected << chart.ID;
        }
        QCOMPARE(TopLevelIds(Tree()), expected);
        QVERIFY(!ChartItem(m_otherChart));
        QVERIFY(!MeasureItem(m_otherMeasure));
        QVERIFY(!ChartItem(templateRow == 7 ? m_handyChart : m_measuredChart));
        const QString preset = templateRow == 7 ? QStringLiteral("A4_1") : QStringLiteral("Type2_SRA3");
        QVERIFY(std::any_of(m_model->GetDensityCharts()->begin(), m_model->GetDensityCharts()->end(),
                            [&](const DensityBalanceData &c) { return c.ChartName == preset && ChartItem(c.ID); }));

        const int chartId = templateRow == 7 ? m_measuredChart : m_handyChart;
        const int measureId = templateRow == 7 ? m_scanMeasure : m_handyMeasure;
        const QTreeWidgetItem *chart = ChartItem(chartId);
        const DensityBalanceData *record = ChartRecord(chartId);
        QVERIFY(chart && record);
        QCOMPARE(chart->text(0), record->ChartName);
        QCOMPARE(chart->text(1), record->CreateTime);
        QCOMPARE(chart->text(2), QString::number(record->ChartPatchCount));
        QCOMPARE(chart->checkState(0), Qt::Unchecked);
        QVERIFY(chart->isExpanded());
        QCOMPARE(chart->childCount(), 1);
        const QTreeWidgetItem *measure = chart->child(0);
        const ChartDesigMeasureData *measureRecord = Store()->FindDensityMeasure(measureId);
        QCOMPARE(Id(measure), measureId);
        QCOMPARE(measure->text(0), measureRecord->ChartName);
        QCOMPARE(measure->text(1), measureRecord->CreateTime);
        QCOMPARE(measure->text(2), QString::number(measureRecord->RecordCount));
    }

    void addChart_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("name");
        QTest::newRow("XML: the name in the file") << "chart_two_pages_qr.xml" << kXmlFilter << "TwoPagesQR";
        QTest::newRow("CSV: the file's base name") << "chart_list.csv" << kCsvFilter << "chart_list";
    }
    void addChart()
    {
        QFETCH(QString, file);
        QFETCH(QString, filter);
        QFETCH(QString, name);
        Open(7, 0);
        const int before = m_model->GetDensityCharts()->size();
        m_script->ExpectOpenFile(QStringLiteral("Open"), DataFile(file), filter);
        Access::Form(m_window.get())->pushAddChart->click();

        QCOMPARE(m_script->Calls().first().filter, kXmlFilter + QStringLiteral(";;") + kCsvFilter);
        QCOMPARE(m_model->GetDensityCharts()->size(), before + 1);
        const DensityBalanceData &added = m_model->GetDensityCharts()->last();
        QCOMPARE(added.ChartName, name);
        QCOMPARE(added.Template, 7);
        QCOMPARE(added.SecondNumber, 0);
        QTreeWidgetItem *item = ChartItem(added.ID);
        QVERIFY(item);
        QCOMPARE(Tree()->currentItem(), item);
        int selectedId = 0;
        int selectedKind = 0;
        m_model->GetSelectedFileID(&selectedId, &selectedKind);
        QCOMPARE(selectedKind, int(CModel::KindDensityChart));
        QCOMPARE(selectedId, added.ID);
        QCOMPARE(m_model->GetLastFolder(), QFileInfo(DataFile(file)).absolutePath());
        QVERIFY(Messages().isEmpty());
    }

    void addChartCancelledOrBroken()
    {
        Open(7, 0);
        const int before = m_model->GetDensityCharts()->size();
        m_script->ExpectOpenFile(QStringLiteral("Open"), QString());
        m_window->pushAddChartClicked();
        QCOMPARE(m_model->GetDensityCharts()->size(), before);

        // A file that is no chart: the read failure is reported and nothing is stored.
        m_script->ExpectOpenFile(QStringLiteral("Open"), DataFile("chart_broken.csv"), kCsvFilter);
        m_window->pushAddChartClicked();
        QCOMPARE(m_model->GetDensityCharts()->size(), before);
        QCOMPARE(Messages(), QList<int>{5});
    }

    void addChartLimit()
    {
        // Filled before the window exists: it lists only what it reads.
        while (m_model->GetDensityCharts()->size() < 599)
            QVERIFY(MakeDensityChart(m_model, 0, 0));
        Open(7, 0);

        // The 600th chart is made and the limit reported at once.
        m_script->ExpectOpenFile(QStringLiteral("Open"), DataFile("chart_list.csv"), kCsvFilter);
        m_window->pushAddChartClicked();
        QCOMPARE(m_model->GetDensityCharts()->size(), 600);
        QCOMPARE(Messages(), QList<int>{53});

        // Full: no dialog at all.
        m_window->pushAddChartClicked();
        QCOMPARE(m_model->GetDensityCharts()->size(), 600);
        QCOMPARE(Messages(), (QList<int>{53, 53}));

        // A place freed, filled elsewhere while the dialog is up, and the dialog cancelled: reported all the same.
        const QList<DensityBalanceData> charts = *m_model->GetDensityCharts();
        const auto unlisted = std::find_if(charts.begin(), charts.end(),
                                           [](const DensityBalanceData &c) { return c.Template == 0; });
        QVERIFY(unlisted != charts.end());
        QCOMPARE(m_model->DeleteDensityChart(unlisted->ID), 0);
        m_script->whileOpenFile = [this] { QVERIFY(MakeDensityChart(m_model, 0, 0)); };
        m_script->ExpectOpenFile(QStringLiteral("Open"), QString());
        m_window->pushAddChartClicked();
        QCOMPARE(m_model->GetDensityCharts()->size(), 600);
        QCOMPARE(Messages(), (QList<int>{53, 53, 53}));
    }

    void deleteRefusedForChartWithMeasurements_data()
    {
        QTest::addColumn<bool>("withMeasurement");
        QTest::addColumn<bool>("withOtherChart");
        QTest::newRow("chart alone") << false << false;
        QTest::newRow("chart with its measurement") << true << false;
        QTest::newRow("with a chart that could go") << false << true;
    }
    void deleteRefusedForChartWithMeasurements()
    {
        QFETCH(bool, withMeasurement);
        QFETCH(bool, withOtherChart);
        Open(7, 0);
        QList<QTreeWidgetItem *> items{ChartItem(m_measuredChart)};
        if (withMeasurement)
            items << MeasureItem(m_scanMeasure);
        if (withOtherChart)
            items.prepend(ChartItem(m_plainChart));
        Select(items);
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes).ExpectWarn(kCannotDelete);
        m_window->actionDeleteAdjustDensityTriggered();
        QVERIFY(ChartRecord(m_measuredChart) && ChartRecord(m_plainChart));
        QVERIFY(Store()->FindDensityMeasure(m_scanMeasure));
        QVERIFY(ChartItem(m_plainChart));
        QCOMPARE(ChartItem(m_measuredChart)->childCount(), 1);
    }

    void deleteDeclinedOrDone()
    {
        Open(7, 0);
        Select({MeasureItem(m_scanMeasure), ChartItem(m_plainChart)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::No);
        m_window->actionDeleteAdjustDensityTriggered();
        QVERIFY(Store()->FindDensityMeasure(m_scanMeasure) && ChartRecord(m_plainChart));
        QVERIFY(MeasureItem(m_scanMeasure) && ChartItem(m_plainChart));

        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_window->actionDeleteAdjustDensityTriggered();
        QVERIFY(!Store()->FindDensityMeasure(m_scanMeasure));
        QVERIFY(!ChartRecord(m_plainChart));
        QVERIFY(!MeasureItem(m_scanMeasure));
        QVERIFY(!ChartItem(m_plainChart));
        QCOMPARE(ChartItem(m_measuredChart)->childCount(), 0);
        QVERIFY(!QFileInfo::exists(Store()->DensityChartPath(m_plainChart)));
    }

    void deleteStopsAtFirstFailure()
    {
        const int second = MakeDensityMeasure(m_model, m_measuredChart, 0, 4);
        QVERIFY(second);
        Open(7, 0);
        BlockRemoval(Store()->DensityMeasurePath(m_measuredChart, second));
        Select({MeasureItem(m_scanMeasure), MeasureItem(second), ChartItem(m_plainChart)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_window->actionDeleteAdjustDensityTriggered();
        // What went before the failure stays deleted; the failing item and the rest stay listed.
        QVERIFY(!Store()->FindDensityMeasure(m_scanMeasure));
        QVERIFY(!MeasureItem(m_scanMeasure));
        QVERIFY(Store()->FindDensityMeasure(second));
        QVERIFY(MeasureItem(second));
        QVERIFY(ChartRecord(m_plainChart));
        QVERIFY(ChartItem(m_plainChart));
    }

    void renameMeasurement_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("101 characters") << QString(101, QLatin1Char('m')) << false;
        QTest::newRow("100 characters") << QString(100, QLatin1Char('m')) << true;
        QTest::newRow("ordinary") << QStringLiteral("Press run 2") << true;
    }
    void renameMeasurement()
    {
        QFETCH(QString, name);
        QFETCH(bool, taken);
        Open(7, 0);
        const QString old = Store()->FindDensityMeasure(m_scanMeasure)->ChartName;
        QTreeWidgetItem *item = MeasureItem(m_scanMeasure);
        // The editor's commit: the text changes while another item is current.
        Tree()->setCurrentItem(ChartItem(m_plainChart));
        item->setText(0, name);
        QCOMPARE(Store()->FindDensityMeasure(m_scanMeasure)->ChartName, taken ? name : old);
        QCOMPARE(item->text(0), taken ? name : old);
        QCOMPARE(Tree()->currentItem(), item);
        QCOMPARE(Messages(), taken ? QList<int>{} : QList<int>{6});
    }

    void renameDroppedWhenSelectionNotTaken()
    {
        Open(7, 0);
        // The chart's document cannot be read: selecting its measurement never reaches the model.
        BlockRemoval(Store()->DensityChartPath(m_measuredChart));
        const QString old = Store()->FindDensityMeasure(m_scanMeasure)->ChartName;
        Tree()->setCurrentItem(ChartItem(m_plainChart));
        ClearMessages();
        MeasureItem(m_scanMeasure)->setText(0, QStringLiteral("Renamed"));
        QCOMPARE(Store()->FindDensityMeasure(m_scanMeasure)->ChartName, old);
        QVERIFY(Messages().isEmpty());
    }

    void checkRegistersJob()
    {
        ConnectScanner();
        Open(7, 0);
        QTreeWidgetItem *item = ChartItem(m_plainChart);
        // The chart the model holds, current and selected: registered as it is, and the selection stays cleared.
        Select({item});
        item->setCheckState(0, Qt::Checked);
        QCOMPARE(CountCalls("Orlo_RegisterJob"), 1);
        QVERIFY(ChartRecord(m_plainChart)->JobNumber > 0);
        QCOMPARE(Tree()->currentItem(), item);
        QVERIFY(Tree()->selectedItems().isEmpty());

        // Handled again while the job stands: selected again, nothing registered twice.
        m_window->treeChartListItemChanged(item, 0);
        QCOMPARE(CountCalls("Orlo_RegisterJob"), 1);
        QCOMPARE(Tree()->selectedItems(), QList<QTreeWidgetItem *>{item});

        item->setCheckState(0, Qt::Unchecked);
        QCOMPARE(CountCalls("Orlo_DeleteJob"), 1);
        QCOMPARE(ChartRecord(m_plainChart)->JobNumber, 0);

        // Unchecked without a job: nothing at the scanner.
        m_window->treeChartListItemChanged(item, 0);
        QCOMPARE(CountCalls("Orlo_DeleteJob"), 1);
        QVERIFY(Messages().isEmpty());
    }

    void checkOfAnotherItemSelectsIt()
    {
        ConnectScanner();
        Open(7, 0);
        Select({MeasureItem(m_scanMeasure)});
        // Only the job of the chart whose box changed is registered, and that chart is selected for it.
        ChartItem(m_plainChart)->setCheckState(0, Qt::Checked);
        QCOMPARE(Tree()->currentItem(), ChartItem(m_plainChart));
        QVERIFY(ChartRecord(m_plainChart)->JobNumber > 0);
        QCOMPARE(ChartRecord(m_measuredChart)->JobNumber, 0);
        QCOMPARE(CountCalls("Orlo_RegisterJob"), 1);
    }

    void checkFailureUnchecks()
    {
        ConnectScanner();
        Open(7, 0);
        OrloSim_FailNext("Orlo_RegisterJob", 7);
        QTreeWidgetItem *item = ChartItem(m_plainChart);
        item->setCheckState(0, Qt::Checked);
        QCOMPARE(item->checkState(0), Qt::Unchecked);
        QCOMPARE(ChartRecord(m_plainChart)->JobNumber, 0);
        QCOMPARE(Messages(), QList<int>{7});
        QCOMPARE(CountCalls("Orlo_DeleteJob"), 0);
    }

    void uncheckFromModelAndAll()
    {
        ConnectScanner();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.DeleteJobAfterUse = true;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        Open(7, 0);
        ChartItem(m_measuredChart)->setCheckState(0, Qt::Checked);
        ChartItem(m_plainChart)->setCheckState(0, Qt::Checked);
        QCOMPARE(CountCalls("Orlo_RegisterJob"), 2);

        // The model takes the selected chart's job off after use: the item follows without its handler, so the
        // list's selection stays and the job is deleted once.
        Select({ChartItem(m_plainChart), ChartItem(m_measuredChart)});
        OrloSim_ClearCallLog();
        QCOMPARE(m_model->DeleteSelectedChartJob(), 0);
        QCOMPARE(CountCalls("Orlo_DeleteJob"), 1);
        QCOMPARE(ChartItem(m_plainChart)->checkState(0), Qt::Unchecked);
        QCOMPARE(ChartItem(m_measuredChart)->checkState(0), Qt::Checked);
        QCOMPARE(Tree()->selectedItems().size(), 2);
        m_window->CheckOffDensityBalanceFromFileID(9999);

        m_window->UncheckAllCharts();
        QCOMPARE(ChartItem(m_measuredChart)->checkState(0), Qt::Unchecked);
        QCOMPARE(ChartRecord(m_measuredChart)->JobNumber, 0);
        QCOMPARE(CountCalls("Orlo_DeleteJob"), 2);
        QCOMPARE(Tree()->selectedItems().size(), 2);
    }

    void currentItemDraws()
    {
        Open(7, 0);
        Ui::AdjustDensity *form = Access::Form(m_window.get());
        CVCGraphicsView *scanner = form->graphicsViewOrloChartLayout;
        CVCGraphicsView *handy = form->graphicsViewHandyChartLayout;
        CVCMeasuredPointGraphicsView *points = form->graphicsViewMeasuredPoint;
        QSignalSpy scannerColours(scanner, &CVCGraphicsView::SetPatchColor);
        Tree()->setCurrentItem(nullptr);
        form->tabChartCanvas->setCurrentIndex(1);
        Access::PatchSelected(m_window.get()) = true;
        Access::SelectedRow(m_window.get()) = 2;

        // A chart: both chart views drawn, no measured points.
        Tree()->setCurrentItem(ChartItem(m_plainChart));
        QVERIFY(!scanner->scene()->items().isEmpty());
        QVERIFY(!handy->scene()->items().isEmpty());
        QVERIFY(!points->HasItems());
        QCOMPARE(scannerColours.count(), 0);
        QCOMPARE(form->tabChartCanvas->currentIndex(), 0);
        QVERIFY(!Access::PatchSelected(m_window.get()));
        QCOMPARE(Access::SelectedRow(m_window.get()), 0);
        QVERIFY(Access::NewChartDisplay(m_window.get()) && Access::NewHandyDisplay(m_window.get()) &&
                Access::NewMeasurePointDisplay(m_window.get()));
        QVERIFY(ChartItem(m_plainChart)->isSelected());
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusDensityWithChart));

        // A scanner measurement: colours on the scanner's view and the measured points.
        Tree()->setCurrentItem(MeasureItem(m_scanMeasure));
        QVERIFY(!scanner->scene()->items().isEmpty());
        QVERIFY(points->HasItems());
        QVERIFY(handy->scene()->items().isEmpty());
        QVERIFY(scannerColours.count() > 0);
        int selectedId = 0;
        int selectedKind = 0;
        m_model->GetSelectedFileID(&selectedId, &selectedKind);
        QCOMPARE(selectedKind, int(CModel::KindDensityMeasure));
        QCOMPARE(selectedId, m_scanMeasure);

        // No item: everything reset, status 8.
        Tree()->setCurrentItem(nullptr);
        QVERIFY(scanner->scene()->items().isEmpty());
        QVERIFY(!points->HasItems());
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusDensityWithoutChart));
        QVERIFY(form->pushHandyDensitometerChartLayoutCancel->isHidden());
        QVERIFY(!form->pushHandyDensitometerChartLayoutMeasurement->isHidden());
        QVERIFY(form->pushHandyDensitometerChartLayoutMeasurement->isEnabled());

        // Chosen by file id: listed charts only.
        m_window->SelectDensityChartFromFileID(m_otherChart);
        QVERIFY(!Tree()->currentItem());
        m_window->SelectDensityChartFromFileID(m_measuredChart);
        QCOMPARE(Tree()->currentItem(), ChartItem(m_measuredChart));
    }

    void handheldMeasurementDrawsHandheldViewOnly()
    {
        Open(1, 1);
        Ui::AdjustDensity *form = Access::Form(m_window.get());
        QSignalSpy handyColours(form->graphicsViewHandyChartLayout, &CVCGraphicsView::SetPatchColor);
        // The buttons as a running handheld measurement leaves them.
        form->pushHandyDensitometerChartLayoutCancel->show();
        form->pushHandyDensitometerChartLayoutMeasurement->hide();
        Tree()->setCurrentItem(MeasureItem(m_handyMeasure));
        QVERIFY(!form->graphicsViewHandyChartLayout->scene()->items().isEmpty());
        QVERIFY(handyColours.count() > 0);
        QVERIFY(form->graphicsViewOrloChartLayout->scene()->items().isEmpty());
        QVERIFY(!form->graphicsViewMeasuredPoint->HasItems());
        QVERIFY(form->pushHandyDensitometerChartLayoutCancel->isHidden());
        QVERIFY(!form->pushHandyDensitometerChartLayoutMeasurement->isHidden());
    }

    void contextMenusBySelection()
    {
        Open(7, 0);
        CVCAdjustDensity *w = m_window.get();
        const QList<QPair<QList<QTreeWidgetItem *>, QMenu *>> cases{
            {{}, nullptr},
            {{ChartItem(m_plainChart)}, Access::ChartMenu(w)},
            {{MeasureItem(m_scanMeasure)}, Access::MeasureMenu(w)},
            {{ChartItem(m_plainChart), MeasureItem(m_scanMeasure)}, Access::MultiMenu(w)},
        };
        for (const auto &c : cases) {
            Select(c.first);
            m_script->menus.clear();
            m_window->treeChartListCustomContextMenuRequested(QPoint(3, 4));
            QCOMPARE(m_script->menus, c.second ? QList<QMenu *>{c.second} : QList<QMenu *>{});
        }
        QCOMPARE(m_script->menuPoints.last(),
                 Tree()->mapToGlobal(QPoint(3, 4)) + QPoint(0, Tree()->header()->height()));

        const auto texts = [](const QMenu *menu) {
            QStringList list;
            for (const QAction *action : menu->actions())
                list << action->text();
            return list;
        };
        QCOMPARE(texts(Access::ChartMenu(w)), (QStringList{"Save", "Delete"}));
        QCOMPARE(texts(Access::MeasureMenu(w)), (QStringList{"Edit Name", "Save", "Delete"}));
        QCOMPARE(texts(Access::MultiMenu(w)), QStringList{"Delete"});
    }

    void doubleClickEditsOnlyMeasurementNames()
    {
        Open(7, 0);
        QTreeWidgetItem *chart = ChartItem(m_plainChart);
        QTreeWidgetItem *measure = MeasureItem(m_scanMeasure);
        m_window->treeChartListDoubleClicked(chart, 0);
        QVERIFY(!EditorOpen(Tree()));
        m_window->treeChartListDoubleClicked(measure, 1);
        m_window->treeChartListDoubleClicked(measure, 2);
        QVERIFY(!EditorOpen(Tree()));

        const QString old = measure->text(0);
        m_window->treeChartListDoubleClicked(measure, 0);
        QVERIFY(EditorOpen(Tree()));
        QVERIFY(!(measure->flags() & Qt::ItemIsEditable));
        // Opening the editor stores nothing.
        QCOMPARE(Store()->FindDensityMeasure(m_scanMeasure)->ChartName, old);
    }

    void editNameActionOnlyForMeasurements()
    {
        Open(7, 0);
        Tree()->setCurrentItem(ChartItem(m_plainChart));
        m_window->actionRenameAdjustDensityTriggered();
        QVERIFY(!EditorOpen(Tree()));
        QTreeWidgetItem *measure = MeasureItem(m_scanMeasure);
        Tree()->setCurrentItem(measure);
        m_window->actionRenameAdjustDensityTriggered();
        QVERIFY(EditorOpen(Tree()));
        QVERIFY(!(measure->flags() & Qt::ItemIsEditable));
    }

    void newMeasurementLandsUnderItsChart()
    {
        Open(7, 0);
        QSignalSpy counts(m_window.get(), &CVCAdjustDensity::setMeasuredPatchCount);
        QSignalSpy progress(m_window.get(), &CVCAdjustDensity::setProgressMeasurement);
        Tree()->setCurrentItem(nullptr);
        const int added = MakeDensityMeasure(m_model, m_plainChart, 0, 4);
        QTreeWidgetItem *item = MeasureItem(added);
        QVERIFY(item);
        QCOMPARE(item->parent(), ChartItem(m_plainChart));
        QVERIFY(item->isSelected());
        QCOMPARE(Tree()->selectedItems().size(), 1);
        QVERIFY(!Tree()->currentItem());
        QVERIFY(ChartItem(m_plainChart)->isExpanded());
        QCOMPARE(counts.count(), 1);
        QCOMPARE(counts.first().first().toString(), QStringLiteral("0 / 0"));
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.first().first().toInt(), 0);

        // A measurement of a chart this window does not list goes nowhere.
        QVERIFY(MakeDensityMeasure(m_model, m_otherChart, 0, 1));
        QCOMPARE(counts.count(), 1);

        // Finished measurements become current for density data only.
        m_window->MeasurementFinished(CModel::KindDesignationMeasure, added);
        QVERIFY(!Tree()->currentItem());
        m_window->MeasurementFinished(CModel::KindDensityMeasure, added);
        QCOMPARE(Tree()->currentItem(), item);
    }

    void saveChartAsXml()
    {
        Open(7, 0);
        Tree()->setCurrentItem(ChartItem(m_plainChart));
        QVERIFY(QDir().mkpath(m_dir->path()));
        QCOMPARE(m_model->SetLastFolder(m_dir->path()), 0);
        const QString name = ChartRecord(m_plainChart)->ChartName;
        const QString path = m_dir->filePath(QStringLiteral("saved.xml"));
        m_script->ExpectSaveFile(QStringLiteral("Save"), path);
        m_window->actionSaveFileAdjustDensityTriggered();
        QCOMPARE(m_script->Calls().last().folder, m_dir->path() + QLatin1Char('/') + name + QStringLiteral(".xml"));
        QCOMPARE(m_script->Calls().last().filter, kXmlFilter);

        // What was written reads back as the same chart.
        ChartDefinitionDataSheets chart;
        InitChartDefinitionData(&chart);
        int kind = 0;
        int count = 0;
        QCOMPARE(m_model->ImportChartDefinition(&chart, &kind, &count, path, 0), 0);
        QCOMPARE(chart.ChartName, name);
        QCOMPARE(chart.ChartPatchCount, ChartRecord(m_plainChart)->ChartPatchCount);
        ClearChartDefinitionData(&chart);
    }

    void saveChartPagesAsTiff()
    {
        Open(7, 0);
        Tree()->setCurrentItem(nullptr);
        m_script->ExpectSaveFile(QStringLiteral("Save"), QString());
        // Nothing without a current item; a cancelled dialog writes nothing.
        m_window->actionSaveImageAdjustDensityTriggered();
        QVERIFY(m_script->Calls().isEmpty());

        Tree()->setCurrentItem(ChartItem(m_plainChart));
        QCOMPARE(m_model->SetLastFolder(m_dir->path()), 0);
        m_window->actionSaveImageAdjustDensityTriggered();
        QCOMPARE(m_script->Calls().last().folder, m_dir->path() + QLatin1Char('/') + ChartItem(m_plainChart)->text(0));
        QCOMPARE(m_script->Calls().last().filter, QStringLiteral("tiff File (*.tiff)"));
        QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());

        const QString chosen = m_dir->filePath(QStringLiteral("abc+(1).tiff"));
        const QString page = CModel::ChartImagePageFileName(chosen, 0);
        m_script->ExpectSaveFile(QStringLiteral("Save"), chosen);
        m_window->actionSaveImageAdjustDensityTriggered();
        QVERIFY(QFileInfo::exists(page));

        // A file whose name only begins like the chosen base name is no page of this save: no question.
        QFile unrelated(m_dir->filePath(QStringLiteral("abcdef.tiff")));
        QVERIFY(unrelated.open(QIODevice::WriteOnly));
        unrelated.close();
        QVERIFY(QFile::remove(page));
        m_script->ExpectSaveFile(QStringLiteral("Save"), chosen);
        m_window->actionSaveImageAdjustDensityTriggered();
        QVERIFY(QFileInfo::exists(page));

        // Its own page file exists: asked once by the chosen name; No reopens on the same path, Yes writes.
        QFile::resize(page, 0);
        m_script->ExpectSaveFile(QStringLiteral("Save"), chosen)
            .ExpectAsk(QStringLiteral("abc+(1).tiff") + kOverwrite, QMessageBox::No)
            .ExpectSaveFile(QStringLiteral("Save"), chosen)
            .ExpectAsk(QStringLiteral("abc+(1).tiff") + kOverwrite, QMessageBox::Yes);
        m_window->actionSaveImageAdjustDensityTriggered();
        QCOMPARE(m_script->Calls().at(m_script->Calls().size() - 2).folder, chosen);
        QVERIFY(QFileInfo(page).size() > 0);
        QCOMPARE(m_model->GetLastFolder(), m_dir->path());
    }
};

QTEST_MAIN(TestDensityList)
#include "test_density_list.moc"
