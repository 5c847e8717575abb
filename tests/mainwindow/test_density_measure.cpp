// The density-balance window's measuring half: scanner states, the QR-code and layout questions on runs of the
// simulated scanner, error boxes, progress, measured-point pages and the condition tree of block 1. Every box goes
// to a scripted presenter.
#include "tests/app/modelaccess.h"
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/documentdata.h"
#include "app/messagetables.h"
#include "app/orlobuilders.h"
#include "app/widgets/conditiontree.h"
#include "chart/vcdensitychartgraphicsview.h"
#include "chart/vchandychartgraphicsview.h"
#include "densityaccess.h"
#include "mainwindow/vcprogressmessage.h"
#include "scriptedpresenter.h"
#include "tests/mainwindow/datalistitems.h"

#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using Access = CVCAdjustDensityAccess;

namespace {

constexpr int kScannerTemplate = 7;
const QVector<OrloSimArea> kSmallPage = {{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}};

int CountCalls(const QString &log, const QString &call)
{
    int n = 0;
    for (const QString &line : log.split(QLatin1Char('\n')))
        n += line.startsWith(call) ? 1 : 0;
    return n;
}

QString TakeCallLog()
{
    const QString log = QString::fromUtf8(OrloSim_CallLog());
    OrloSim_ClearCallLog();
    return log;
}

void DeliverAll()
{
    while (OrloSim_DeliverPending() > 0) {
    }
}

// The window acknowledges inside the report's emission, so the flag is set by the time the slot returns.
bool Acknowledged(CModel *model)
{
    return CModelAccess::TakeAcknowledgement(*model);
}

struct ChartCopy {
    ChartDefinitionDataSheets chart;
    ~ChartCopy() { ClearChartDefinitionData(&chart); }
};

QTreeWidgetItem *FindTopItem(QTreeWidget *tree, int id)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == id)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

bool SameBlock(const Setting::MeasureConditionSetting &a, const Setting::MeasureConditionSetting &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every text of a tree, row by row, children after their parent.
QStringList TreeTexts(const QTreeWidget *tree)
{
    QStringList texts;
    std::function<void(const QTreeWidgetItem *)> add = [&](const QTreeWidgetItem *item) {
        QStringList row;
        for (int c = 0; c < tree->columnCount(); ++c)
            row << item->text(c);
        texts << row.join(QLatin1Char('|'));
        for (int i = 0; i < item->childCount(); ++i)
            add(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        add(tree->topLevelItem(i));
    return texts;
}

QTreeWidgetItem *WhiteRefRow(const QTreeWidget *conditions)
{
    QTreeWidgetItem *density = conditions->topLevelItem(kConditionRowDensity);
    return density ? density->child(0) : nullptr;
}

} // namespace

class TestDensityMeasure : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    CModel *m_model = nullptr;
    std::unique_ptr<CVCAdjustDensity> m_window;

    Ui::AdjustDensity *Form() { return Access::Form(m_window.get()); }

    // A window on a fresh model, set up for the template and instrument; the boxes of the model's reports reach
    // it (status 8), not the fixture's double.
    void MakeWindow(int instrument = 0)
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        m_window = std::make_unique<CVCAdjustDensity>(m_model);
        Access::UseTemplate(m_window.get(), kScannerTemplate, instrument);
        m_model->SetDensityTemplateIndex(kScannerTemplate);
        m_model->SetAppStatus(CModel::StatusDensityWithoutChart);
    }

    // The chart item of the list's current item: the chart made current by the QR code, or its new measurement,
    // which becomes current when the run ends.
    QTreeWidgetItem *ChartOfCurrent()
    {
        QTreeWidgetItem *current = Form()->treeChartList->currentItem();
        return current && current->parent() ? current->parent() : current;
    }

    // The chart item as the chart list shows it; added when the test's chart is not the window's template.
    QTreeWidgetItem *ListChart(int id, const QString &name = QStringLiteral("chart"))
    {
        QTreeWidget *tree = Form()->treeChartList;
        if (QTreeWidgetItem *item = FindTopItem(tree, id))
            return item;
        auto *item = new QTreeWidgetItem(tree, {name});
        item->setData(0, Qt::UserRole, id);
        return item;
    }

    // A one-page density chart under the window's template whose QR code finds it, selected, the scanner
    // connected and status 7.
    int PrepareQrChart(ChartCopy *copy, int diameter = 1)
    {
        MakePrintableChart(&copy->chart, QString(), {kSmallPage});
        copy->chart.Diameter = diameter;
        if (m_model->CreateDensityChart(kScannerTemplate, 0, &copy->chart) != 0)
            return 0;
        const int id = m_model->GetDensityCharts()->last().ID;
        copy->chart.ChartName = QStringLiteral("QRDENSITY");
        if (m_model->SelectFileID(CModel::KindDensityChart, id, id) != 0 ||
            m_model->RenameDensityChart(copy->chart.ChartName) != 0)
            return 0;
        m_model->SetAppStatus(CModel::StatusDensityWithChart);
        return f->ConnectUsb() == 0 ? id : 0;
    }

    // A density run held at the layout question: the QR code finds the listed chart (of that diameter), the
    // scanner recognises one row where the chart has two and reports no run of its own (device state 0, forced),
    // so the model waits for the answer. The question itself is kept from the window; its code is returned.
    bool HoldAtLayoutQuestion(ChartCopy *copy, int diameter, int *code)
    {
        const int id = PrepareQrChart(copy, diameter);
        if (id <= 0)
            return false;
        ListChart(id);
        OrloSim_ForceStatus(0, -1, -1, -1);
        DeliverAll();
        const ChartDefinitionData::Sheet &sheet = copy->chart.Sheets[0];
        OrloLayoutRecord layout;
        BuildLayoutRecord(sheet, &layout, nullptr);
        layout.areaCounts[0][0] = 1;
        layout.areaCounts[0][1] = 6;
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[0];
        std::vector<OrloMeasurePoint> points;
        for (int c = 0; c < 6; ++c)
            points.push_back({g.LeftTopX + c * g.PatchWidthGap + g.PatchWidth / 2, g.LeftTopY + g.PatchHeight / 2,
                              0, 0, c});
        OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));

        CVCAdjustDensity *w = m_window.get();
        disconnect(m_model, &CModel::MatchingMessageBoxDensity, w, &CVCAdjustDensity::MatchingMessageBox);
        QSignalSpy question(m_model, &CModel::MatchingMessageBoxDensity);
        bool fed = false;
        {
            // Whatever else the run reports is not this test's business.
            ScriptedPresenter quiet;
            fed = InsertPrintedPage(copy->chart, 0) == 0;
            DeliverAll();
        }
        connect(m_model, &CModel::MatchingMessageBoxDensity, w, &CVCAdjustDensity::MatchingMessageBox);
        if (!fed || question.size() != 1)
            return false;
        *code = question.at(0).at(0).toInt();
        return m_model->GetOrloDeviceState() == 6;
    }

    // A one-page density chart of the small grid under the window's template (none of its patches is paper
    // white) with one chart-scanner measurement of every patch, listed by the window; the measurement's id, 0 on
    // failure.
    int SeedMeasurement()
    {
        const int chartId = CreateDensityChart(m_model, SmallGrid{}, kScannerTemplate);
        ChartCopy chart;
        if (chartId == 0 || m_model->ReadDensityChart(chartId, &chart.chart) != 0 || chart.chart.SheetCount < 1)
            return 0;
        MeasurementDataSheets measurement;
        measurement.Mode = 0;
        measurement.SheetCount = 1;
        measurement.Sheets = NewMeasurementPages(1);
        measurement.Sheets[0] = MakeSmallMeasurement(chart.chart.Sheets[0], chart.chart.Sheets[0].PatchCount);
        int id = 0;
        if (CModelAccess::DocumentData(*m_model)->CreateDensityMeasure(&id, chartId, &measurement) != 0)
            id = 0;
        ClearMeasureFileData(&measurement);
        Access::UseTemplate(m_window.get(), kScannerTemplate, 0);
        return id;
    }

    // The seeded measurement made current through the chart list, which selects it in the model.
    bool MakeMeasurementCurrent(int id)
    {
        QTreeWidgetItem *item = MeasureItemWithId(Form()->treeChartList, id);
        if (!item)
            return false;
        Form()->treeChartList->setCurrentItem(item);
        int kind = -1;
        return m_model->GetSelectedFileID(nullptr, &kind) == 0 && kind == CModel::KindDensityMeasure;
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void cleanup()
    {
        m_window.reset();
        f.reset();
        m_model = nullptr;
    }

    // ---- Scanner states ---------------------------------------------------------------------------------------

    void scannerStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("red");
        QTest::addColumn<int>("controls"); // 1 enabled, 0 disabled, -1 unchanged
        QTest::addColumn<int>("stop");     // 1 on, 0 off, -1 unchanged
        QTest::addColumn<bool>("reset");   // counters back to "0 / 0" and 0
        QTest::newRow("0 idle") << 0 << false << 1 << 0 << true;
        QTest::newRow("1 connection lost") << 1 << false << 1 << 0 << true;
        QTest::newRow("2 waiting") << 2 << false << 1 << 0 << true;
        QTest::newRow("3 feeding") << 3 << false << -1 << 0 << false;
        QTest::newRow("4 fatal") << 4 << false << 1 << 0 << true;
        QTest::newRow("5 pre-scanning") << 5 << false << 0 << 0 << false;
        QTest::newRow("6 pre-scanned") << 6 << false << -1 << 1 << false;
        QTest::newRow("7 measuring") << 7 << false << -1 << 1 << false;
        QTest::newRow("8 waiting") << 8 << false << 1 << 0 << true;
        QTest::newRow("9 waiting, stoppable") << 9 << false << -1 << 1 << false;
        QTest::newRow("10 cover open") << 10 << true << -1 << -1 << false;
        QTest::newRow("11 paper jam") << 11 << true << -1 << -1 << false;
        QTest::newRow("12 another PC") << 12 << false << 1 << 0 << true;
    }
    void scannerStates()
    {
        QFETCH(int, state);
        QFETCH(bool, red);
        QFETCH(int, controls);
        QFETCH(int, stop);
        QFETCH(bool, reset);
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        // Start from the opposite of what the state does, so "unchanged" shows.
        const bool startEnabled = controls == 0;
        w->SetControlsEnabled(startEnabled);
        const bool startBusy = state != 5;
        Access::Busy(w) = startBusy;
        Access::ProgressBox(w)->show();
        QSignalSpy text(w, QOverload<const QString &>::of(&CVCAdjustDensity::setOrloStatus));
        QSignalSpy style(w, QOverload<const QString &>::of(&CVCAdjustDensity::setOrloStatusStyleSheet));
        QSignalSpy stopSpy(w, &CVCAdjustDensity::setMeasurementStopEnable);
        QSignalSpy count(w, QOverload<const QString &>::of(&CVCAdjustDensity::setMeasuredPatchCount));
        QSignalSpy progress(w, &CVCAdjustDensity::setProgressMeasurement);
        ScriptedPresenter script;
        if (state == 1)
            script.ExpectRecord(FindMessageRecord(31).text);

        emit m_model->UpdateOrloStatusDensity(state);

        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(text.size(), 1);
        QCOMPARE(text.at(0).at(0).toString(), CModel::GetOrloStatusText(state));
        QCOMPARE(style.size(), 1);
        QCOMPARE(style.at(0).at(0).toString(), red ? QStringLiteral("background-color : red;") : QString());
        QCOMPARE(!Access::ProgressBox(w)->isHidden(), state == 5);
        if (stop < 0) {
            QCOMPARE(stopSpy.size(), 0);
        } else {
            QCOMPARE(stopSpy.size(), 1);
            QCOMPARE(stopSpy.at(0).at(0).toBool(), stop == 1);
        }
        QCOMPARE(count.size(), reset ? 1 : 0);
        QCOMPARE(progress.size(), reset ? 1 : 0);
        if (reset) {
            QCOMPARE(count.at(0).at(0).toString(), QStringLiteral("0 / 0"));
            QCOMPARE(progress.at(0).at(0).toInt(), 0);
        }
        const bool busy = state == 5 ? true : (controls == 1 ? false : startBusy);
        QCOMPARE(Access::Busy(w), busy);
        QCOMPARE(Form()->dockChartList->isEnabled(), controls < 0 ? startEnabled : controls == 1);
    }

    void handheldIgnoresScannerStates()
    {
        MakeWindow(1);
        CVCAdjustDensity *w = m_window.get();
        QSignalSpy text(w, QOverload<const QString &>::of(&CVCAdjustDensity::setOrloStatus));
        QSignalSpy stop(w, &CVCAdjustDensity::setMeasurementStopEnable);
        for (int state : {5, 1, 10, 0})
            emit m_model->UpdateOrloStatusDensity(state);
        QCOMPARE(text.size(), 0);
        QCOMPARE(stop.size(), 0);
        QVERIFY(!Access::Busy(w));
        QVERIFY(Access::ProgressBox(w)->isHidden());
    }

    // While a file is being sent the states are kept, the last one for the upload's end.
    void statesDeferredDuringUpload()
    {
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        Access::SentFilePath(w) = QStringLiteral("/tmp/sent.txt");
        QSignalSpy text(w, QOverload<const QString &>::of(&CVCAdjustDensity::setOrloStatus));
        emit m_model->UpdateOrloStatusDensity(5);
        QCOMPARE(Access::LastOrloStatus(w), 5);
        emit m_model->UpdateOrloStatusDensity(8);
        QCOMPARE(Access::LastOrloStatus(w), 8);
        QCOMPARE(text.size(), 0);
        QVERIFY(!Access::Busy(w));
        QVERIFY(Access::ProgressBox(w)->isHidden());
    }

    // A connection lost in the middle of a run leaves the window usable and closable.
    void connectionLostAfterPrescanningUnlocks()
    {
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        QSignalSpy count(w, QOverload<const QString &>::of(&CVCAdjustDensity::setMeasuredPatchCount));
        emit m_model->UpdateOrloStatusDensity(5);
        QVERIFY(Access::Busy(w));
        ScriptedPresenter script;
        script.ExpectRecord(FindMessageRecord(31).text);
        emit m_model->UpdateOrloStatusDensity(1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(!Access::Busy(w));
        QCOMPARE(count.size(), 1);
        QVERIFY(Form()->dockChartList->isEnabled());
        w->show();
        QVERIFY(w->close());
    }

    // ---- QR-code outcomes on real runs ------------------------------------------------------------------------

    // OK takes the closest chart: it becomes current and the controller alone starts the recognition. The
    // simulated scanner writes no preset device code into its QR codes, so the question is raised where the
    // model raises it, inside the handling of the capture result, in place of the QR code's own match.
    void qrUnmatched_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << int(QMessageBox::Ok);
        QTest::newRow("Cancel") << int(QMessageBox::Cancel);
    }
    void qrUnmatched()
    {
        QFETCH(int, answer);
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        ChartCopy copy;
        const int id = PrepareQrChart(&copy);
        QVERIFY(id > 0);
        ListChart(id + 1000, QStringLiteral("other"));
        QTreeWidgetItem *item = ListChart(id);
        Form()->treeChartList->setCurrentItem(nullptr);
        disconnect(m_model, &CModel::FindDensityChartFound, w, &CVCAdjustDensity::FindDensityChartFound);
        bool asked = false;
        connect(m_model, &CModel::FindDensityChartFound, w, [&](int chart) {
            if (asked) {
                w->FindDensityChartFound(chart);
                return;
            }
            asked = true;
            emit m_model->DisplayDensityMeasureContinue(chart);
        });
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("QMessageBox"), [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            QCOMPARE(box->parentWidget(), w);
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->text(), QStringLiteral("There is no chart definition data matching QR code. Measurement "
                                                 "will be performed using chart definition data with closest size."));
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        QSignalSpy found(m_model, &CModel::FindDensityChartFound);
        TakeCallLog();
        QCOMPARE(InsertPrintedPage(copy.chart, 0), 0);
        DeliverAll();
        const QString log = TakeCallLog();
        QVERIFY(!script.Calls().isEmpty());
        QCOMPARE(script.Calls().first().text, QStringLiteral("QMessageBox"));
        const int recognitions = CountCalls(log, QStringLiteral("Orlo_StartPatchRecognition("));
        if (answer == QMessageBox::Ok) {
            // The model's own emission and the window's answer.
            QCOMPARE(found.size(), 2);
            QCOMPARE(found.at(1).at(0).toInt(), id);
            QVERIFY(ChartOfCurrent() == item);
            QVERIFY(Form()->treeChartList->currentItem()->isSelected());
            QVERIFY2(recognitions == 1, qPrintable(log));
        } else {
            QCOMPARE(found.size(), 1);
            QVERIFY(!Form()->treeChartList->currentItem());
            QVERIFY2(recognitions == 0, qPrintable(log));
            QVERIFY2(CountCalls(log, QStringLiteral("Orlo_StopMeasurement(0)")) >= 1, qPrintable(log));
        }
    }

    // An undecodable code ends the run whichever way its box is closed.
    void qrUndecodable_data()
    {
        QTest::addColumn<bool>("clickCancel");
        QTest::newRow("Cancel") << true;
        QTest::newRow("closed") << false;
    }
    void qrUndecodable()
    {
        QFETCH(bool, clickCancel);
        MakeWindow();
        ChartCopy copy;
        QVERIFY(PrepareQrChart(&copy) > 0);
        OrloSim_SetCaptureFail(1);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("QMessageBox"), [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->text(), QStringLiteral("Failed to decode QR code normally. Measurement will be canceled. "
                                                 "Please try again or try without QR code."));
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Cancel));
            if (clickCancel)
                box->button(QMessageBox::Cancel)->click();
        });
        TakeCallLog();
        QCOMPARE(InsertPrintedPage(copy.chart, 0), 0);
        DeliverAll();
        const QString log = TakeCallLog();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY2(CountCalls(log, QStringLiteral("Orlo_StopMeasurement(0)")) >= 1, qPrintable(log));
        QVERIFY2(CountCalls(log, QStringLiteral("Orlo_StartPatchRecognition(")) == 0, qPrintable(log));
    }

    // The chart its QR code names: listed, it becomes current and the run goes on with one recognition;
    // unlisted, the run stops with the next-feed flag.
    void chartFoundByQr_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::newRow("listed") << true;
        QTest::newRow("not listed") << false;
    }
    void chartFoundByQr()
    {
        QFETCH(bool, listed);
        MakeWindow();
        ChartCopy copy;
        const int id = PrepareQrChart(&copy);
        QVERIFY(id > 0);
        QTreeWidgetItem *item = ListChart(id);
        if (!listed) {
            delete item;
            item = nullptr;
        }
        ListChart(id + 1000, QStringLiteral("other"));
        Form()->treeChartList->setCurrentItem(nullptr);
        ScriptedPresenter script;
        QSignalSpy found(m_model, &CModel::FindDensityChartFound);
        TakeCallLog();
        QCOMPARE(InsertPrintedPage(copy.chart, 0), 0);
        DeliverAll();
        const QString log = TakeCallLog();
        QCOMPARE(found.size(), 1);
        const int recognitions = CountCalls(log, QStringLiteral("Orlo_StartPatchRecognition("));
        if (listed) {
            QVERIFY(ChartOfCurrent() == item);
            QVERIFY2(recognitions == 1, qPrintable(log));
        } else {
            QVERIFY(!Form()->treeChartList->currentItem());
            QVERIFY2(recognitions == 0, qPrintable(log));
            QVERIFY2(CountCalls(log, QStringLiteral("Orlo_StopMeasurement(1)")) == 1, qPrintable(log));
        }
    }

    // ---- Boxes ------------------------------------------------------------------------------------------------

    void errorRelay_data()
    {
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("advice");
        const MessageAdviceRecord prescan = FindRecognitionErrorRecord(5);
        const MessageAdviceRecord tooLong = FindRecognitionErrorRecord(6);
        QTest::newRow("plain") << 2 << true << FindMessageRecord(2).text << QString();
        QTest::newRow("hidden window") << 2 << false << FindMessageRecord(2).text << QString();
        QTest::newRow("23: the scanner's recognition error") << 23 << true << prescan.message << prescan.advice;
        QTest::newRow("35: recognition error 6") << 35 << true << tooLong.message << tooLong.advice;
        QTest::newRow("unknown: 61") << 999 << true << FindMessageRecord(61).text << QString();
    }
    void errorRelay()
    {
        QFETCH(int, message);
        QFETCH(bool, visible);
        QFETCH(QString, text);
        QFETCH(QString, advice);
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        QCOMPARE(f->ConnectUsb(), 0);
        OrloSim_SetPremeasurementError(5);
        if (visible)
            w->show();
        Access::ProgressBox(w)->show();
        Access::NoticeBox(w).show();
        ScriptedPresenter script;
        script.ExpectRecord(text);
        emit m_model->ErrorMessageDensity(message);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const ScriptedPresenter::Call &box = script.Calls().at(0);
        QCOMPARE(box.parent, w);
        QCOMPARE(box.informativeText, advice);
        QCOMPARE(box.icon, int(FindMessageRecord(message).icon));
        QVERIFY(box.stayOnTop);
        QVERIFY(Acknowledged(m_model));
        QVERIFY(Access::ProgressBox(w)->isHidden());
        QVERIFY(Access::NoticeBox(w).isHidden());
    }

    // The layout question's box (the main window's tests drive its answers on a held run).
    void matchingWarningBox()
    {
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        const MessageAdviceRecord record = FindMatchingWarningRecord(3);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("QMessageBox"), [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            QCOMPARE(box->parentWidget(), w);
            QCOMPARE(box->text(), record.message);
            QCOMPARE(box->informativeText(), record.advice);
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("Measurement"));
        });
        emit m_model->MatchingMessageBoxDensity(3);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // Measurement starts with the chart's diameter and the environment's position-gap flag, Cancel stops; nothing
    // else reaches the scanner and the model is not acknowledged.
    void matchingWarningAnswers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("diameter");
        QTest::addColumn<bool>("positionGap");
        QTest::addColumn<QString>("call");
        QTest::newRow("Measurement") << int(QMessageBox::Ok) << 2 << false
                                     << QStringLiteral("Orlo_StartMeasurement2(2,1)");
        QTest::newRow("Measurement, position gap") << int(QMessageBox::Ok) << 3 << true
                                                   << QStringLiteral("Orlo_StartMeasurement2(11,1)");
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << 3 << true
                                << QStringLiteral("Orlo_StopMeasurement(0)");
    }
    void matchingWarningAnswers()
    {
        QFETCH(int, answer);
        QFETCH(int, diameter);
        QFETCH(bool, positionGap);
        QFETCH(QString, call);
        MakeWindow();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.PositionGap = positionGap;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        ChartCopy copy;
        int code = 0;
        QVERIFY(HoldAtLayoutQuestion(&copy, diameter, &code));
        QCOMPARE(m_model->GetChartDefinition()->Diameter, diameter);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("QMessageBox"), [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        TakeCallLog();
        m_window->MatchingMessageBox(code);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const QString log = TakeCallLog();
        const QStringList calls = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(calls.size() == 1 && calls.first().startsWith(call), qPrintable(log));
        QVERIFY(!Acknowledged(m_model));
    }

    // ---- Progress and colours ---------------------------------------------------------------------------------

    void progress_data()
    {
        QTest::addColumn<uint>("index");
        QTest::addColumn<uint>("count");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("label");
        QTest::newRow("1 of 3") << 0u << 3u << 33 << QStringLiteral("1 / 3");
        QTest::newRow("2 of 3") << 1u << 3u << 66 << QStringLiteral("2 / 3");
        QTest::newRow("last") << 2u << 3u << 100 << QStringLiteral("3 / 3");
        QTest::newRow("97 of 194, single precision") << 96u << 194u << 50 << QStringLiteral("97 / 194");
        QTest::newRow("3 of 120") << 2u << 120u << 2 << QStringLiteral("3 / 120");
    }
    void progress()
    {
        QFETCH(uint, index);
        QFETCH(uint, count);
        QFETCH(int, percent);
        QFETCH(QString, label);
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        QSignalSpy progressSpy(w, &CVCAdjustDensity::setProgressMeasurement);
        QSignalSpy countSpy(w, QOverload<const QString &>::of(&CVCAdjustDensity::setMeasuredPatchCount));
        QSignalSpy colour(Form()->graphicsViewOrloChartLayout, &CVCGraphicsView::SetPatchColor);
        emit m_model->SetPatchColorDisplayDensity(index, count, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8);
        QCOMPARE(progressSpy.size(), 1);
        QCOMPARE(progressSpy.at(0).at(0).toInt(), percent);
        QCOMPARE(countSpy.at(0).at(0).toString(), label);
        QCOMPARE(colour.size(), 1);
        const auto patch = colour.at(0).at(0).value<ChartDefinitionData::PatchColor>();
        QCOMPARE(patch.ID, 0);
        QCOMPARE((QList<int>{patch.Area, patch.Row, patch.Column, patch.ColorFormat}), (QList<int>{1, 2, 3, 4}));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(patch.ColorValue[i], float(i + 1));
    }

    void handheldColourOnly()
    {
        MakeWindow(2);
        CVCAdjustDensity *w = m_window.get();
        QSignalSpy progressSpy(w, &CVCAdjustDensity::setProgressMeasurement);
        QSignalSpy scanner(Form()->graphicsViewOrloChartLayout, &CVCGraphicsView::SetPatchColor);
        QSignalSpy handheld(Form()->graphicsViewHandyChartLayout, &CVCGraphicsView::SetPatchColor);
        emit m_model->SetHandyPatchColorDisplay(0, 3, 0, 1, 2, 5, 9, 8, 7, 6, 5, 4, 3, 2, 77);
        QCOMPARE(progressSpy.size(), 0);
        QCOMPARE(scanner.size(), 0);
        QCOMPARE(handheld.size(), 1);
        const auto patch = handheld.at(0).at(0).value<ChartDefinitionData::PatchColor>();
        QCOMPARE((QList<int>{patch.Area, patch.Row, patch.Column, patch.ColorFormat}), (QList<int>{0, 1, 2, 5}));
        QCOMPARE(patch.ColorValue[0], 9.0f);
        QCOMPARE(patch.ColorValue[7], 2.0f);
    }

    // Page n is the menu's entry n - 1; a page beyond the menu selects nothing.
    void measuredPointPage_data()
    {
        QTest::addColumn<uint>("page");
        QTest::addColumn<bool>("withData");
        QTest::addColumn<int>("checked"); // entry checked besides the first, -1 none
        QTest::newRow("page 0") << 0u << true << -1;
        QTest::newRow("page 1") << 1u << true << -1;
        QTest::newRow("page 2") << 2u << true << 1;
        QTest::newRow("last page") << 3u << true << 2;
        QTest::newRow("beyond") << 4u << true << -1;
        QTest::newRow("no data") << 2u << false << 1;
    }
    void measuredPointPage()
    {
        QFETCH(uint, page);
        QFETCH(bool, withData);
        QFETCH(int, checked);
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        QPushButton *button = Form()->pushMeasurementPointPage;
        // The canvas builds the page menu; it is given here where it does not.
        w->BuildMeasurePointPageMenu(3);
        if (!button->menu()) {
            auto *menu = new QMenu(w);
            for (int i = 1; i <= 3; ++i)
                menu->addAction(QString::number(i))->setCheckable(true);
            button->setMenu(menu);
        }
        MeasurementData data;
        data.PageNumber = int(page);
        Access::NewMeasurePointDisplay(w) = false;
        emit m_model->SetMeasurePointDisplayDensity(withData ? &data : nullptr, page, 3);
        QCOMPARE(button->text(), QStringLiteral("%1 / 3").arg(page));
        QVERIFY(Access::NewMeasurePointDisplay(w));
        QVERIFY(button->menu());
        const QList<QAction *> actions = button->menu()->actions();
        QCOMPARE(actions.size(), 3);
        for (int i = 1; i < actions.size(); ++i)
            QCOMPARE(actions.at(i)->isChecked(), i == checked);
    }

    // ---- Condition tree ---------------------------------------------------------------------------------------

    // A check stores the block with its one word changed; "Patch Color" follows its check, Observer and
    // Illuminant change nothing, and the fixed condition mask stays.
    void conditionChecks_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("child");
        QTest::addColumn<bool>("check");
        QTest::addColumn<int>("word"); // index of the changed word, -1 none
        QTest::newRow("Density off") << int(kConditionRowDensity) << -1 << false << 0;
        QTest::newRow("Color space off") << int(kConditionRowColorSpace) << -1 << false << 3;
        QTest::newRow("Spectral data off") << int(kConditionRowSpectral) << -1 << false << 9;
        QTest::newRow("Patch Color off") << int(kConditionRowId) << 0 << false << 11;
        QTest::newRow("Patch Color on") << int(kConditionRowId) << 0 << true << 11;
        QTest::newRow("L*a*b* off") << int(kConditionRowColorSpace) << 0 << false << 4;
        QTest::newRow("L*C*h on") << int(kConditionRowColorSpace) << 1 << true << 5;
        QTest::newRow("XYZ on") << int(kConditionRowColorSpace) << 2 << true << 6;
        QTest::newRow("Observer") << int(kConditionRowColorSpace) << 3 << true << -1;
        QTest::newRow("Illuminant") << int(kConditionRowColorSpace) << 4 << true << -1;
        QTest::newRow("condition on") << int(kConditionRowConditions) << 0 << true << -1;
        QTest::newRow("condition off") << int(kConditionRowConditions) << 1 << false << -1;
    }
    void conditionChecks()
    {
        QFETCH(int, top);
        QFETCH(int, child);
        QFETCH(bool, check);
        QFETCH(int, word);
        MakeWindow();
        Setting::MeasureConditionSetting start = DefaultDensityDisplayColumns();
        start.PatchColorShown = check ? 0 : 1;
        QCOMPARE(m_model->SetMeasureCondition(start, 1), 0);
        QTreeWidget *tree = Form()->treeMeasurementCondition;
        QTreeWidgetItem *item = tree->topLevelItem(top);
        QVERIFY(item);
        if (child >= 0)
            item = item->child(child);
        QVERIFY(item);
        {
            const QSignalBlocker blocker(tree);
            item->setCheckState(1, check ? Qt::Checked : Qt::Unchecked);
        }
        m_window->treeConditionItemChanged(item, 1);
        Setting::MeasureConditionSetting expected = start;
        if (word >= 0)
            reinterpret_cast<int *>(&expected)[word] = check ? 1 : 0;
        QVERIFY(SameBlock(*m_model->GetMeasurementCondition(1), expected));
    }

    // Instrument 1 measures no spectral data: the row is unchecked and locked, the stored block untouched.
    void spectralRowByInstrument_data()
    {
        QTest::addColumn<int>("instrument");
        QTest::newRow("scanner") << 0;
        QTest::newRow("instrument 1") << 1;
        QTest::newRow("instrument 2") << 2;
    }
    void spectralRowByInstrument()
    {
        QFETCH(int, instrument);
        MakeWindow(instrument);
        const Setting::MeasureConditionSetting stored = *m_model->GetMeasurementCondition(1);
        QCOMPARE(stored.SpectralShown, 1);
        m_window->ApplyMeasureCondition();
        QTreeWidgetItem *spectral = Form()->treeMeasurementCondition->topLevelItem(kConditionRowSpectral);
        QCOMPARE(spectral->checkState(1), instrument == 1 ? Qt::Unchecked : Qt::Checked);
        QCOMPARE(spectral->isDisabled(), instrument == 1);
        QVERIFY(SameBlock(*m_model->GetMeasurementCondition(1), stored));
    }

    // Paper white without a paper-white patch in the measured chart: message 33 through the model, the white
    // reference back to "Absolute" in the block and the tree, and the values tree as it was.
    void paperWhiteMissing()
    {
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        const int id = SeedMeasurement();
        QVERIFY(id > 0);
        Setting::MeasureConditionSetting block = DefaultDensityDisplayColumns();
        QCOMPARE(block.DensityShown, 1);
        QCOMPARE(m_model->SetMeasureCondition(block, 1), 0);
        w->ApplyMeasureCondition();
        QVERIFY(MakeMeasurementCurrent(id));
        // Absolute first: the values of one patch are shown.
        {
            ScriptedPresenter quiet;
            w->SelectPatch(0, 0, 1);
            QVERIFY2(quiet.Done(), qPrintable(quiet.Problems()));
        }
        const QStringList shown = TreeTexts(Form()->treeMeasurementData);
        QVERIFY(!shown.isEmpty());

        block.WhiteReference = 1;
        QCOMPARE(m_model->SetMeasureCondition(block, 1), 0);
        w->ApplyMeasureCondition();
        QTreeWidgetItem *whiteRef = WhiteRefRow(Form()->treeMeasurementCondition);
        QVERIFY(whiteRef);
        QCOMPARE(whiteRef->text(1), QStringLiteral("Paper"));

        ScriptedPresenter script;
        script.ExpectRecord(QStringLiteral("White reference patch was not found."));
        emit Form()->graphicsViewOrloChartLayout->SelectPatch(0, 1, 2);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().at(0).parent, w);
        Setting::MeasureConditionSetting expected = block;
        expected.WhiteReference = 0;
        QVERIFY(SameBlock(*m_model->GetMeasurementCondition(1), expected));
        QCOMPARE(whiteRef->text(1), QStringLiteral("Absolute"));
        QCOMPARE(TreeTexts(Form()->treeMeasurementData), shown);
    }

    // With a patch selected, a "Measurement Condition" child's check recomputes the patch (its measured values
    // changed meanwhile show), the stored mask untouched; "Patch Color" only shows or hides a row.
    void conditionCheckRecomputesSelectedPatch_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("child");
        QTest::addColumn<bool>("recomputed");
        QTest::newRow("condition 0 on") << int(kConditionRowConditions) << 0 << true;
        QTest::newRow("condition 2 on") << int(kConditionRowConditions) << 2 << true;
        QTest::newRow("Patch Color off") << int(kConditionRowId) << 0 << false;
    }
    void conditionCheckRecomputesSelectedPatch()
    {
        QFETCH(int, top);
        QFETCH(int, child);
        QFETCH(bool, recomputed);
        MakeWindow();
        CVCAdjustDensity *w = m_window.get();
        const int id = SeedMeasurement();
        QVERIFY(id > 0);
        // A stored mask other than the fixed one shows that the check leaves it alone.
        Setting::MeasureConditionSetting block = DefaultDensityDisplayColumns();
        block.ConditionMask = MeasurementConditionBit(0) << 3;
        QCOMPARE(m_model->SetMeasureCondition(block, 1), 0);
        w->ApplyMeasureCondition();
        QVERIFY(MakeMeasurementCurrent(id));
        ScriptedPresenter quiet;
        w->SelectPatch(0, 1, 1);
        const QStringList before = TreeTexts(Form()->treeMeasurementData);
        QVERIFY(!before.isEmpty());

        MeasurementDataSheets *measurement = nullptr;
        QCOMPARE(m_model->GetMeasurementData(&measurement), 0);
        QVERIFY(measurement && measurement->Sheets);
        bool changed = false;
        for (int k = 0; k < measurement->Sheets[0].RecordCount; ++k) {
            MeasurementData::PatchData &record = measurement->Sheets[0].Records[k];
            if (record.Area != 0 || record.Row != 1 || record.Column != 1)
                continue;
            for (float &value : record.Values)
                value *= 2.0f;
            changed = true;
        }
        QVERIFY(changed);

        QTreeWidgetItem *item = Form()->treeMeasurementCondition->topLevelItem(top)->child(child);
        QVERIFY(item);
        item->setCheckState(1, item->checkState(1) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        QVERIFY2(quiet.Done(), qPrintable(quiet.Problems()));
        const QStringList after = TreeTexts(Form()->treeMeasurementData);
        if (top == kConditionRowConditions)
            QVERIFY(SameBlock(*m_model->GetMeasurementCondition(1), block));
        if (!recomputed) {
            QCOMPARE(after, before);
            return;
        }
        QVERIFY(after != before);
        // What a fresh selection of the patch shows now.
        w->SelectPatch(0, 1, 1);
        QCOMPARE(TreeTexts(Form()->treeMeasurementData), after);
    }

    void whiteReferenceFromOutside()
    {
        MakeWindow();
        Setting::MeasureConditionSetting expected = *m_model->GetMeasurementCondition(1);
        m_window->SetMeasureConditionWhiteRefCurrentIndex(1);
        expected.WhiteReference = 1;
        QVERIFY(SameBlock(*m_model->GetMeasurementCondition(1), expected));
    }
};

QTEST_MAIN(TestDensityMeasure)
#include "test_density_measure.moc"
