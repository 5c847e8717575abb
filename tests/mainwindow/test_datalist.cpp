// The main window's data list on the seeded store: how the trees are filled and rebuilt, checks that register and
// delete scanner jobs, renames, context menus, column visibility, new items, a chart found by its QR code, and
// deletions. Boxes and menus go to a scripted presenter; the scanner is the simulated one in manual delivery.
#include "tests/app/modelfixture.h"

#include "app/documentdata.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "mainwindow/vcmainwindow.h"
#include "tests/mainwindow/datalistitems.h"
#include "programfixture.h"
#include "scriptedpresenter.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const QColor kErrorColor(239, 182, 197);
const QString kDeleteQuestion = QStringLiteral("Do you want to delete selected data?");

int CountCalls(const QString &log, const QString &function)
{
    return log.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + function + "\\(")).size();
}

int CallsSinceCleared(const QString &function)
{
    return CountCalls(QString::fromUtf8(OrloSim_CallLog()), function);
}

QStringList Texts(const QTreeWidgetItem *item)
{
    QStringList texts;
    for (int column = 0; column < 4; ++column)
        texts << item->text(column);
    return texts;
}

// The columns that carry the error colour.
QList<int> MarkedColumns(const QTreeWidgetItem *item)
{
    QList<int> columns;
    for (int column = 0; column < 4; ++column) {
        const QBrush brush = item->background(column);
        if (brush.style() == Qt::SolidPattern && brush.color() == kErrorColor)
            columns << column;
    }
    return columns;
}

void ClearMarks(QTreeWidgetItem *item)
{
    for (int column = 0; column < 4; ++column)
        item->setBackground(column, QBrush());
}

QStringList ActionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text();
    return texts;
}

// Records which menu opened (by its entries) and the state of its entries at that moment.
class MenuProbe : public ScriptedPresenter
{
public:
    struct Opened {
        QStringList entries;
        QStringList checked;
        QStringList disabled;
    };
    QList<Opened> opened;

    QAction *ExecMenu(QMenu *menu, const QPoint &globalPoint) override
    {
        Opened o;
        o.entries = ActionTexts(menu);
        for (const QAction *action : menu->actions()) {
            if (!action->isEnabled())
                o.disabled << action->text();
            if (action->menu()) {
                for (const QAction *entry : action->menu()->actions()) {
                    if (entry->isChecked())
                        o.checked << entry->text();
                }
            }
        }
        opened << o;
        return ScriptedPresenter::ExecMenu(menu, globalPoint);
    }
};

const QStringList kChartMenu{"Edit Name", "Save", "Edit Chart", "Save Tiff image data", "Delete",
                             "Measurement Area"};
const QStringList kMeasureMenu{"Edit Name", "Save", "Delete"};
const QStringList kDesignationMultiMenu{"Delete"};
const QStringList kRecognitionMenu{"Edit Name", "Save", "Register Chart", "Delete"};
const QStringList kRecognitionMultiMenu{"Register Chart", "Delete"};

} // namespace

class TestDatalist : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<MenuProbe> m_script;
    std::unique_ptr<CVCMainWindow> m_window;
    CModel *m_model = nullptr;
    SeededStore m_ids;

    QTreeWidget *Designation() const { return m_window->findChild<QTreeWidget *>("treeDesignation"); }
    QTreeWidget *Recognition() const { return m_window->findChild<QTreeWidget *>("treeRecognition"); }

    QTreeWidgetItem *ChartItem(int id) const { return ChartItemWithId(Designation(), id); }
    QTreeWidgetItem *MeasureItem(int id) const { return MeasureItemWithId(Designation(), id); }
    QTreeWidgetItem *RecognitionItem(int id) const { return RecognitionItemWithId(Recognition(), id); }
    const ChartDesigData *ChartRecord(int id) const
    {
        for (const ChartDesigData &chart : *m_model->GetDesignationCharts()) {
            if (chart.ID == id)
                return &chart;
        }
        return nullptr;
    }

    // The user picks exactly these items, the first one current.
    void Select(QTreeWidget *tree, const QList<QTreeWidgetItem *> &items)
    {
        tree->clearSelection();
        if (!items.isEmpty())
            tree->setCurrentItem(items.first());
        for (QTreeWidgetItem *item : items)
            item->setSelected(true);
    }

    int RecordCount(int message) const
    {
        int count = 0;
        for (const ScriptedPresenter::Call &call : m_script->Calls()) {
            if (call.kind == ScriptedPresenter::Kind::Record && call.text == FindMessageRecord(message).text)
                ++count;
        }
        return count;
    }

    void Connect()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        OrloSim_ClearCallLog();
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        QVERIFY(SeedStore(CModelAccess::DocumentData(*m_model), &m_ids));
        m_script = std::make_unique<MenuProbe>();
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
        f.reset();
        m_model = nullptr;
    }

    void fill()
    {
        QTreeWidget *designation = Designation();
        QCOMPARE(designation->topLevelItemCount(), 3);
        for (const ChartDesigData &record : *m_model->GetDesignationCharts()) {
            const QTreeWidgetItem *item = ChartItem(record.ID);
            QVERIFY(item);
            QCOMPARE(Texts(item), (QStringList{record.ChartName, record.CreateTime,
                                               QString::number(record.ChartPatchCount), "1x1"}));
            QCOMPARE(item->checkState(0), Qt::Unchecked);
            QVERIFY(MarkedColumns(item).isEmpty());
        }
        const QTreeWidgetItem *qr = ChartItem(m_ids.qrChart);
        QCOMPARE(qr->text(0), QStringLiteral("QRChart"));
        QCOMPARE(qr->childCount(), 2);
        QCOMPARE(MeasureItem(m_ids.completeMeasure)->parent(), qr);
        QCOMPARE(MeasureItem(m_ids.completeMeasure)->text(2), QStringLiteral("20"));
        QVERIFY(MarkedColumns(MeasureItem(m_ids.completeMeasure)).isEmpty());
        QCOMPARE(MeasureItem(m_ids.incompleteMeasure)->text(2), QStringLiteral("12"));
        QCOMPARE(MarkedColumns(MeasureItem(m_ids.incompleteMeasure)), (QList<int>{0, 1, 2, 3}));

        QTreeWidget *recognition = Recognition();
        QCOMPARE(recognition->topLevelItemCount(), 3);
        QCOMPARE(recognition->topLevelItem(0)->text(0), QStringLiteral("<Freeform Chart>"));
        QVERIFY(MarkedColumns(RecognitionItem(m_ids.recognition)).isEmpty());
        QCOMPARE(RecognitionItem(m_ids.emptyRecognition)->text(2), QStringLiteral("0"));
        QCOMPARE(MarkedColumns(RecognitionItem(m_ids.emptyRecognition)), (QList<int>{0, 1, 2, 3}));

        // The default column choice: date and patch count shown, measurement area hidden.
        for (QTreeWidget *tree : {designation, recognition}) {
            QVERIFY(!tree->isColumnHidden(1));
            QVERIFY(!tree->isColumnHidden(2));
            QVERIFY(tree->isColumnHidden(3));
        }
    }

    void rebuilds()
    {
        QCOMPARE(m_model->ReadAllDocuments(), 0);
        QCOMPARE(m_model->ReadAllDocuments(), 0);
        QCOMPARE(Designation()->topLevelItemCount(), 3);
        QCOMPARE(ChartItem(m_ids.qrChart)->childCount(), 2);
        QCOMPARE(Recognition()->topLevelItemCount(), 3);
        QCOMPARE(Recognition()->topLevelItem(0)->text(0), QStringLiteral("<Freeform Chart>"));
        QVERIFY(RecognitionItem(m_ids.recognition) && RecognitionItem(m_ids.emptyRecognition));
        QCOMPARE(Recognition()->currentItem(), Recognition()->topLevelItem(0));

        // From lists in memory: the check follows the job number, a measurement of an unknown chart is skipped.
        QList<ChartDesigData> charts = *m_model->GetDesignationCharts();
        charts[0].JobNumber = 7;
        QList<ChartDesigMeasureData> measures = *m_model->GetDesignationMeasurements();
        ChartDesigMeasureData orphan = measures.first();
        orphan.ID = 4242;
        orphan.ChartID = 999;
        measures.prepend(orphan);
        m_window->ReadDesignationChartFinished(charts, measures);
        QCOMPARE(Designation()->topLevelItemCount(), 3);
        QCOMPARE(Designation()->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(Designation()->topLevelItem(1)->checkState(0), Qt::Unchecked);
        QVERIFY(!MeasureItem(4242));
        QCOMPARE(ChartItem(m_ids.qrChart)->childCount(), 2);
    }

    void jobChecks()
    {
        Connect();
        QTreeWidgetItem *qr = ChartItem(m_ids.qrChart);
        qr->setCheckState(0, Qt::Checked);
        QCOMPARE(CallsSinceCleared("Orlo_RegisterJob"), 1);
        QVERIFY(ChartRecord(m_ids.qrChart)->JobNumber != 0);
        QCOMPARE(qr->checkState(0), Qt::Checked);

        // Handled again while the job exists: no second registration.
        m_window->treeDesignationItemChanged(qr, 0);
        QCOMPARE(CallsSinceCleared("Orlo_RegisterJob"), 1);

        qr->setCheckState(0, Qt::Unchecked);
        QCOMPARE(CallsSinceCleared("Orlo_DeleteJob"), 1);
        QCOMPARE(ChartRecord(m_ids.qrChart)->JobNumber, 0);
        m_window->treeDesignationItemChanged(qr, 0);
        QCOMPARE(CallsSinceCleared("Orlo_DeleteJob"), 1);

        // The model deleted the job after its run: the check goes without the window asking the scanner again.
        qr->setCheckState(0, Qt::Checked);
        QVERIFY(ChartRecord(m_ids.qrChart)->JobNumber != 0);
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.DeleteJobAfterUse = true;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        OrloSim_ClearCallLog();
        QCOMPARE(m_model->DeleteSelectedChartJob(), 0);
        QCOMPARE(qr->checkState(0), Qt::Unchecked);
        QCOMPARE(ChartRecord(m_ids.qrChart)->JobNumber, 0);
        QCOMPARE(CallsSinceCleared("Orlo_DeleteJob"), 1);

        // Unchecking everything is the window's own change: no handler registers or deletes anything.
        QTreeWidgetItem *big = ChartItem(m_ids.big100);
        big->setCheckState(0, Qt::Checked);
        OrloSim_ClearCallLog();
        m_window->UncheckAllDesignationCharts();
        QCOMPARE(big->checkState(0), Qt::Unchecked);
        QCOMPARE(CallsSinceCleared("Orlo_DeleteJob"), 1);
        QCOMPARE(CallsSinceCleared("Orlo_RegisterJob"), 0);
    }

    void pageLimit_data()
    {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<bool>("registerFails");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("registrations");
        QTest::newRow("100 pages") << "Big100" << false << true << 1;
        QTest::newRow("101 pages") << "Big101" << false << false << 0;
        QTest::newRow("scanner refuses") << "QRChart" << true << false << 1;
    }
    void pageLimit()
    {
        QFETCH(QString, chart);
        QFETCH(bool, registerFails);
        QFETCH(bool, checked);
        QFETCH(int, registrations);
        Connect();
        const int id = chart == "Big100" ? m_ids.big100 : chart == "Big101" ? m_ids.big101 : m_ids.qrChart;
        if (chart == "Big101")
            m_script->ExpectWarn(QStringLiteral("The chart is too many pages. If you want register job, please be "
                                                "less than 100 pages."));
        if (registerFails) {
            OrloSim_FailNext("Orlo_RegisterJob", -1);
            m_script->ExpectRecord(FindMessageRecord(7).text);
        }
        QTreeWidgetItem *item = ChartItem(id);
        item->setCheckState(0, Qt::Checked);
        QCOMPARE(item->checkState(0), checked ? Qt::Checked : Qt::Unchecked);
        QCOMPARE(CallsSinceCleared("Orlo_RegisterJob"), registrations);
        QCOMPARE(ChartRecord(id)->JobNumber != 0, checked);
        QCOMPARE(item->text(0), chart);
    }

    void chartRenames_data()
    {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("answer"); // to the QR question; NoButton: not asked
        QTest::addColumn<bool>("renamed");
        QTest::newRow("QR chart, accepted") << "QRChart" << "QRNEW" << int(QMessageBox::Yes) << true;
        QTest::newRow("QR chart, declined") << "QRChart" << "QRNEW" << int(QMessageBox::No) << false;
        QTest::newRow("plain chart") << "Big100" << "Big 100" << int(QMessageBox::NoButton) << true;
        QTest::newRow("101 characters") << "Big100" << QString(101, 'a') << int(QMessageBox::NoButton) << false;
    }
    void chartRenames()
    {
        QFETCH(QString, chart);
        QFETCH(QString, name);
        QFETCH(int, answer);
        QFETCH(bool, renamed);
        const int id = chart == "QRChart" ? m_ids.qrChart : m_ids.big100;
        QTreeWidgetItem *item = ChartItem(id);
        Select(Designation(), {item});
        if (answer != QMessageBox::NoButton)
            m_script->ExpectAsk(QStringLiteral("If the job name is changed, the chart has to be printed again because "
                                               "QR code is also changed.\nIs the job name changed?"),
                                QMessageBox::StandardButton(answer));
        if (name.size() > 100)
            m_script->ExpectRecord(FindMessageRecord(6).text);
        QSignalSpy barcode(m_model, &CModel::UpdatedBarcodeData);

        item->setText(0, name);
        const QString expected = renamed ? name : chart;
        QCOMPARE(item->text(0), expected);
        QCOMPARE(ChartRecord(id)->ChartName, expected);
        QCOMPARE(barcode.size(), renamed && chart == "QRChart" ? 1 : 0);
        // A refused name is put back once; the put-back itself reaches the model no more.
        QCOMPARE(RecordCount(6), name.size() > 100 ? 1 : 0);
        QCOMPARE(Designation()->currentItem(), item);
    }

    void documentRenames()
    {
        QSignalSpy measureUpdates(m_model, &CModel::UpdateDesignationMeasureFinished);
        QTreeWidgetItem *measure = MeasureItem(m_ids.completeMeasure);
        Select(Designation(), {measure});
        measure->setText(0, QStringLiteral("Proof 1"));
        QCOMPARE(m_model->GetSelectedDesignationMeasurement()->ChartName, QStringLiteral("Proof 1"));
        // The window's own update of the item's texts is no second rename.
        QCOMPARE(measureUpdates.size(), 1);

        QSignalSpy recognitionUpdates(m_model, &CModel::UpdateRecognitionMeasureFinished);
        QTreeWidgetItem *recognition = RecognitionItem(m_ids.recognition);
        Select(Recognition(), {recognition});
        recognition->setText(0, QStringLiteral("Scan 1"));
        QCOMPARE(m_model->GetSelectedRecognitionMeasure()->ChartName, QStringLiteral("Scan 1"));
        QCOMPARE(recognitionUpdates.size(), 1);

        m_script->ExpectRecord(FindMessageRecord(6).text);
        recognition->setText(0, QString(101, 'r'));
        QCOMPARE(recognition->text(0), QStringLiteral("Scan 1"));
        QCOMPARE(RecordCount(6), 1);
    }

    void doubleClickEditsOnlyNames()
    {
        const auto editorOpen = [](QTreeWidget *tree) {
            const QList<QLineEdit *> editors = tree->viewport()->findChildren<QLineEdit *>();
            return std::any_of(editors.begin(), editors.end(), [](QLineEdit *e) { return e->isVisible(); });
        };
        m_window->treeRecognitionDoubleClicked(Recognition()->topLevelItem(0), 0);
        QVERIFY(!editorOpen(Recognition()));
        QTreeWidgetItem *qr = ChartItem(m_ids.qrChart);
        m_window->treeDesignationDoubleClicked(qr, 1);
        QVERIFY(!editorOpen(Designation()));

        m_window->treeDesignationDoubleClicked(qr, 0);
        QVERIFY(editorOpen(Designation()));
        QVERIFY(!(qr->flags() & Qt::ItemIsEditable));
    }

    void contextMenus()
    {
        const QPoint at(5, 5);
        Designation()->clearSelection();
        m_window->treeDesignationCustomContextMenuRequested(at);
        QVERIFY(m_script->opened.isEmpty());

        QTreeWidgetItem *qr = ChartItem(m_ids.qrChart);
        Select(Designation(), {qr});
        QCOMPARE(m_model->SetDesignationChartDiameter(3), 0);
        m_script->ExpectMenu(QString(), QString());
        m_window->treeDesignationCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.size(), 1);
        QCOMPARE(m_script->opened.last().entries, kChartMenu);
        QCOMPARE(m_script->opened.last().checked, QStringList{"3x3"});

        // Choosing an area mode stores it and shows it in the chart's row.
        m_script->ExpectMenu(QString(), QStringLiteral("2x2"));
        m_window->treeDesignationCustomContextMenuRequested(at);
        QCOMPARE(ChartRecord(m_ids.qrChart)->Diameter, 2);
        QCOMPARE(qr->text(3), QStringLiteral("2x2"));
        m_script->ExpectMenu(QString(), QString());
        m_window->treeDesignationCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.last().checked, QStringList{"2x2"});

        Select(Designation(), {MeasureItem(m_ids.completeMeasure)});
        m_script->ExpectMenu(QString(), QString());
        m_window->treeDesignationCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.last().entries, kMeasureMenu);

        Select(Designation(), {qr, ChartItem(m_ids.big100)});
        m_script->ExpectMenu(QString(), QString());
        m_window->treeDesignationCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.last().entries, kDesignationMultiMenu);

        // "<Freeform Chart>" has no menu.
        const int opened = m_script->opened.size();
        Select(Recognition(), {Recognition()->topLevelItem(0)});
        m_window->treeRecognitionCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.size(), opened);

        Select(Recognition(), {RecognitionItem(m_ids.recognition)});
        m_script->ExpectMenu(QString(), QString());
        m_window->treeRecognitionCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.last().entries, kRecognitionMenu);
        QVERIFY(m_script->opened.last().disabled.isEmpty());

        Select(Recognition(), {RecognitionItem(m_ids.recognition), RecognitionItem(m_ids.emptyRecognition)});
        m_script->ExpectMenu(QString(), QString());
        m_window->treeRecognitionCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.last().entries, kRecognitionMultiMenu);
        QVERIFY(m_script->opened.last().disabled.isEmpty());

        // More than 100 recognised charts cannot become one chart definition.
        QList<ChartRecogData> many;
        for (int i = 1; i <= 101; ++i) {
            ChartRecogData record;
            record.ID = 1000 + i;
            record.RecordCount = 1;
            record.ChartName = QStringLiteral("Scan %1").arg(i);
            many << record;
        }
        m_window->ReadRecognitionMeasureFinished(many);
        Recognition()->selectAll();
        Recognition()->topLevelItem(0)->setSelected(false);
        m_script->ExpectMenu(QString(), QString());
        m_window->treeRecognitionCustomContextMenuRequested(at);
        QCOMPARE(m_script->opened.last().entries, kRecognitionMultiMenu);
        QCOMPARE(m_script->opened.last().disabled, QStringList{"Register Chart"});
    }

    void columnsAndColours()
    {
        Setting::DisplayDatalistColumn none;
        none.Column1 = none.Column2 = none.Column3 = false;
        m_window->UpdateDatalistColumn(none);
        for (QTreeWidget *tree : {Designation(), Recognition()}) {
            QVERIFY(!tree->isColumnHidden(0));
            QVERIFY(tree->isColumnHidden(1) && tree->isColumnHidden(2) && tree->isColumnHidden(3));
        }

        QTreeWidgetItem *complete = MeasureItem(m_ids.completeMeasure);
        QTreeWidgetItem *incomplete = MeasureItem(m_ids.incompleteMeasure);
        ClearMarks(incomplete);
        m_window->SetDesignationMeasureItemBackColor(m_ids.completeMeasure);
        QVERIFY(MarkedColumns(complete).isEmpty());
        m_window->SetDesignationMeasureItemBackColor(m_ids.incompleteMeasure);
        QCOMPARE(MarkedColumns(incomplete), (QList<int>{0, 1, 2, 3}));
        QVERIFY(m_window->IsDesignationMeasureIncomplete(m_ids.qrChart, m_ids.incompleteMeasure));
        QVERIFY(!m_window->IsDesignationMeasureIncomplete(m_ids.qrChart, m_ids.completeMeasure));
        QVERIFY(!m_window->IsDesignationMeasureIncomplete(999, m_ids.incompleteMeasure));
    }

    void newItems()
    {
        QSignalSpy progress(m_window.get(), &CVCMainWindow::setProgressMeasurement);
        ChartDesigMeasureData record;
        record.ChartID = m_ids.qrChart;
        record.RecordCount = 20;
        record.ChartName = QStringLiteral("Meas90001");

        // Another measurement of the chart current, then nothing current: the item goes under its chart.
        Select(Designation(), {MeasureItem(m_ids.completeMeasure)});
        record.ID = 90001;
        m_window->CreateDesignationMeasureFinished(&record);
        Select(Designation(), {});
        Designation()->setCurrentItem(nullptr);
        QVERIFY(!Designation()->currentItem());
        record.ID = 90002;
        m_window->CreateDesignationMeasureFinished(&record);
        QTreeWidgetItem *qr = ChartItem(m_ids.qrChart);
        QCOMPARE(MeasureItem(90001)->parent(), qr);
        QCOMPARE(MeasureItem(90002)->parent(), qr);
        QCOMPARE(qr->childCount(), 4);
        QVERIFY(qr->isExpanded());
        QCOMPARE(Designation()->selectedItems(), QList<QTreeWidgetItem *>{MeasureItem(90002)});
        QCOMPARE(progress.size(), 2);
        QCOMPARE(progress.last().at(0).toInt(), 0);

        // A finished designation measurement becomes current and shows whether it is complete.
        QTreeWidgetItem *incomplete = MeasureItem(m_ids.incompleteMeasure);
        ClearMarks(incomplete);
        Select(Designation(), {qr});
        m_window->MeasurementFinished(CModel::KindRecognition, m_ids.incompleteMeasure);
        QCOMPARE(Designation()->currentItem(), qr);
        QVERIFY(MarkedColumns(incomplete).isEmpty());
        m_window->MeasurementFinished(CModel::KindDesignationMeasure, m_ids.incompleteMeasure);
        QCOMPARE(Designation()->currentItem(), incomplete);
        QCOMPARE(MarkedColumns(incomplete), (QList<int>{0, 1, 2, 3}));
        m_window->MeasurementFinished(CModel::KindDesignationMeasure, m_ids.completeMeasure);
        QCOMPARE(Designation()->currentItem(), MeasureItem(m_ids.completeMeasure));
        QVERIFY(MarkedColumns(MeasureItem(m_ids.completeMeasure)).isEmpty());
    }

    void chartFoundByQr_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::newRow("listed") << true;
        QTest::newRow("not listed") << false;
    }
    void chartFoundByQr()
    {
        QFETCH(bool, listed);
        ChartDefinitionDataSheets definition;
        MakePrintableChart(&definition, QStringLiteral("QRFOUND"), {{{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}}});
        QCOMPARE(m_model->CreateDesignationChart(&definition), 0);
        ClearChartDefinitionData(&definition);
        const int chartId = m_model->GetDesignationCharts()->last().ID;
        QTreeWidgetItem *item = ChartItem(chartId);
        QVERIFY(item);
        QCOMPARE(Designation()->currentItem(), item);
        ChartDefinitionDataSheets printed;
        CopyChartDefinitionData(&printed, *m_model->GetChartDefinition());
        if (!listed)
            delete item;
        // Another chart selected when the sheet comes in.
        Select(Designation(), {ChartItem(m_ids.big100)});
        QCOMPARE(m_model->GetSelectedChartID(), m_ids.big100);
        Connect();

        QList<QPair<QTreeWidgetItem *, int>> atFound; // current chart item, selected chart id
        connect(m_model, &CModel::FindDesignationChartFound, this,
                [&] { atFound << qMakePair(Designation()->currentItem(), m_model->GetSelectedChartID()); });
        QCOMPARE(InsertPrintedPage(printed, 0), 0);
        ClearChartDefinitionData(&printed);
        for (int events = 0; events < 1000 && OrloSim_DeliverOne() > 0; ++events) {
        }

        QCOMPARE(atFound.size(), 1);
        if (listed) {
            QCOMPARE(atFound.first().first, ChartItem(chartId));
            QCOMPARE(atFound.first().second, chartId);
            QCOMPARE(CallsSinceCleared("Orlo_StartPatchRecognition"), 1);
        } else {
            QCOMPARE(CallsSinceCleared("Orlo_StartPatchRecognition"), 0);
            QVERIFY(OrloSim_CallLog() && QString::fromUtf8(OrloSim_CallLog()).contains("Orlo_StopMeasurement(1)"));
        }
    }

    void deleteRefusedWithMeasurements_data()
    {
        QTest::addColumn<bool>("withMeasurements");
        QTest::newRow("chart alone") << false;
        QTest::newRow("chart with its measurements") << true;
    }
    void deleteRefusedWithMeasurements()
    {
        QFETCH(bool, withMeasurements);
        QTreeWidgetItem *qr = ChartItem(m_ids.qrChart);
        QList<QTreeWidgetItem *> items{qr};
        if (withMeasurements)
            items << MeasureItem(m_ids.completeMeasure) << MeasureItem(m_ids.incompleteMeasure);
        Select(Designation(), items);
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_script->ExpectWarn(QStringLiteral("Cannot delete, because measurement data exist."));
        m_window->actionDeleteDesignationTriggered();
        QCOMPARE(m_model->GetDesignationMeasurements()->size(), 2);
        QVERIFY(ChartRecord(m_ids.qrChart));
        QCOMPARE(ChartItem(m_ids.qrChart)->childCount(), 2);
    }

    void deleteDesignation()
    {
        // Declined: nothing goes.
        Select(Designation(), {MeasureItem(m_ids.completeMeasure)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::No);
        m_window->actionDeleteDesignationTriggered();
        QCOMPARE(m_model->GetDesignationMeasurements()->size(), 2);

        Select(Designation(), {MeasureItem(m_ids.incompleteMeasure), MeasureItem(m_ids.completeMeasure),
                               ChartItem(m_ids.big100)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_window->actionDeleteDesignationTriggered();
        QVERIFY(m_model->GetDesignationMeasurements()->isEmpty());
        QVERIFY(!ChartRecord(m_ids.big100));
        QCOMPARE(ChartItem(m_ids.qrChart)->childCount(), 0);
        QVERIFY(!ChartItem(m_ids.big100));

        // The last charts gone: "<Freeform Chart>" is current and there is no chart to edit.
        Select(Designation(), {ChartItem(m_ids.qrChart), ChartItem(m_ids.big101)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_window->actionDeleteDesignationTriggered();
        QVERIFY(m_model->GetDesignationCharts()->isEmpty());
        QCOMPARE(Designation()->topLevelItemCount(), 0);
        QCOMPARE(Recognition()->currentItem(), Recognition()->topLevelItem(0));
        QVERIFY(!m_window->findChild<QPushButton *>("pushEditChart")->isEnabled());
    }

    void deleteRecognitionStopsAtFailure()
    {
        // A directory with content where the first document's file was: it cannot be removed.
        const QString path = CModelAccess::DocumentData(*m_model)->RecognitionMeasurePath(m_ids.recognition);
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/kept")));

        Select(Recognition(), {RecognitionItem(m_ids.recognition), RecognitionItem(m_ids.emptyRecognition)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_window->actionDeleteRecognitionTriggered();
        QVERIFY(RecognitionItem(m_ids.recognition));
        QVERIFY(RecognitionItem(m_ids.emptyRecognition));
        QCOMPARE(m_model->GetRecognitionMeasurements()->size(), 2);

        Select(Recognition(), {RecognitionItem(m_ids.emptyRecognition)});
        m_script->ExpectAsk(kDeleteQuestion, QMessageBox::Yes);
        m_window->actionDeleteRecognitionTriggered();
        QVERIFY(!RecognitionItem(m_ids.emptyRecognition));
        QCOMPARE(m_model->GetRecognitionMeasurements()->size(), 1);
        QCOMPARE(Recognition()->topLevelItem(0)->text(0), QStringLiteral("<Freeform Chart>"));
    }
};

QTEST_MAIN(TestDatalist)
#include "test_datalist.moc"
