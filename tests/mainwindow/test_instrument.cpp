// The main window's instrument actions and message relays: error boxes, the chart-matching and recognition
// warnings, Measurement and Cancel with the restart state, the Settings and Tool entries and the manual. Runs are
// held by the simulated scanner in manual delivery; every box and dialog goes to a scripted presenter.
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/diagnosedata.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/orlobuilders.h"
#include "app/widgets/conditiontree.h"
#include "chart/vcchartgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcprogressmessage.h"
#include "programfixture.h"
#include "scriptedpresenter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <vector>

class CVCMainWindowAccess
{
public:
    static void SetRestart(CVCMainWindow &window, bool flag, int mode)
    {
        window.m_restartFlag = flag;
        window.m_restartMode = mode;
    }
    static bool RestartFlag(const CVCMainWindow &window) { return window.m_restartFlag; }
    static int RestartMode(const CVCMainWindow &window) { return window.m_restartMode; }
};

namespace {

constexpr int kChartDiameter = 3;
constexpr int kAperture = 2;
// Option of Orlo_StartMeasurement2 in position-gap mode.
constexpr int kPositionGapOption = 8;

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

// True when the window acknowledged the last report: a waiter on another thread then returns at once. A report
// left unacknowledged is released after the bounded wait, so the test fails instead of hanging.
bool Acknowledged(CModel *model)
{
    std::unique_ptr<QThread> waiter(QThread::create([model] { model->WaitErrorAcknowledge(); }));
    waiter->start();
    const bool done = waiter->wait(10000);
    if (!done) {
        model->AcknowledgeError();
        waiter->wait();
    }
    return done;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray LightSourceFile()
{
    QByteArray text("#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\n\n#FORMAT_VERSION,01.00\n\n#CREATE_TIME,20230101000000\n\n"
                    "#INSTRUMENTATION,Velmar Ostrand Brisa\n\n#BEGIN_WAVELENGTH,300\n\n#PITCH_WAVELENGTH,5\n\n"
                    "#END_WAVELENGTH,780\n\n#BEGIN_SPECTRUM_DATA\n");
    for (int i = 0; i < 97; ++i)
        text += QByteArray::number(1.0 + i * 0.5, 'f', 4) + '\n';
    return text + "#END_SPECTRUM_DATA\n";
}

QStringList UserConditionRows(const QTreeWidget *tree)
{
    QStringList rows;
    const QTreeWidgetItem *conditions = tree->topLevelItem(kConditionRowConditions);
    for (int i = 15; conditions && i < conditions->childCount(); ++i)
        rows << conditions->child(i)->text(0);
    return rows;
}

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    CModel *m_model = nullptr;
    std::unique_ptr<CVCMainWindow> m_window;

    template <typename T>
    T *Child(const char *name) const
    {
        T *child = m_window->findChild<T *>(QLatin1String(name));
        if (!child)
            qWarning("no %s", name);
        return child;
    }

    // A window on a fresh model in position-gap mode (aperture 2, start variant on), the automatic connection off.
    void MakeWindow(bool show = true, const QString &programFolder = QString())
    {
        f = std::make_unique<ModelFixture>();
        f->arguments << QStringLiteral("/PosGap");
        QVERIFY(f->Make(true, QString()));
        f->window.reset();
        m_model = f->model.get();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        environment.Aperture = kAperture;
        environment.PositionGap = true;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        m_window = std::make_unique<CVCMainWindow>(m_model, nullptr, programFolder);
        if (show)
            m_window->show();
    }

    // A 2 x 3 chart of diameter 3 selected, the scanner connected and a sheet fed whose recognition reports
    // resultCode, and the chart's layout or one row of six. With device state 0 the run then waits at
    // "Pre-scanning completed" for the user: the chart-matching warning when the rows and columns differ, the
    // colour-mismatch warning for result 16384. What the run reports goes to the given presenter, or to a quiet
    // one. True when the model stands at status 6.
    bool HoldRun(int resultCode, bool oneRow, ScriptedPresenter *script = nullptr)
    {
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 1, 2, 3);
        chart.Diameter = kChartDiameter;
        const int created = m_model->CreateDesignationChart(&chart);
        ClearChartDefinitionData(&chart);
        if (created != 0 || f->ConnectUsb() != 0)
            return false;
        const int id = m_model->GetDesignationCharts()->last().ID;
        if (m_model->SelectFileID(CModel::KindDesignationChart, id, id) != 0)
            return false;
        // A selected chart makes a sheet without QR code a registered run.
        m_model->SetDataTreeMode(1);
        OrloSim_ForceStatus(0, -1, -1, -1);
        while (OrloSim_DeliverPending() > 0) {
        }
        const ChartDefinitionData::Sheet &sheet = m_model->GetChartDefinition()->Sheets[0];
        OrloLayoutRecord layout;
        BuildLayoutRecord(sheet, &layout, nullptr);
        if (oneRow) {
            layout.areaCounts[0][0] = 1;
            layout.areaCounts[0][1] = 6;
        }
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[0];
        std::vector<OrloMeasurePoint> points;
        for (int r = 0; r < layout.areaCounts[0][0]; ++r)
            for (int c = 0; c < layout.areaCounts[0][1]; ++c)
                points.push_back({g.LeftTopX + c * g.PatchWidthGap + g.PatchWidth / 2,
                                  g.LeftTopY + r * g.PatchHeightGap + g.PatchHeight / 2, 0, r, c});
        OrloSim_SetNextRecognition(resultCode, &layout, points.data(), int(points.size()));
        const OrloSimSheet blank = {2000, 2000, 0, nullptr, nullptr, nullptr, 0, 0, 0};
        if (OrloSim_InsertSheet(&blank) != 0)
            return false;
        if (script) {
            while (OrloSim_DeliverPending() > 0) {
            }
        } else {
            // Whatever the run reports would otherwise wait in a real box.
            ScriptedPresenter quiet;
            while (OrloSim_DeliverPending() > 0) {
            }
            if (!quiet.Problems().isEmpty())
                qWarning("%s", qPrintable(quiet.Problems()));
        }
        TakeCallLog();
        return m_model->GetOrloDeviceState() == 6;
    }

    // The run held at the chart-matching warning, with the window's own answer kept out of the way.
    bool HoldAtMatchingWarning(int *code)
    {
        disconnect(m_model, &CModel::MatchingMessageBox, m_window.get(), &CVCMainWindow::MatchingMessageBox);
        QSignalSpy warning(m_model, &CModel::MatchingMessageBox);
        const bool held = HoldRun(0, true);
        connect(m_model, &CModel::MatchingMessageBox, m_window.get(), &CVCMainWindow::MatchingMessageBox);
        if (!held || warning.size() != 1)
            return false;
        *code = warning.at(0).at(0).toInt();
        return true;
    }

    QString ManualFolder(const QTemporaryDir &root) const { return root.path() + QStringLiteral("/Document/Manual"); }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void cleanup()
    {
        m_window.reset();
        f.reset();
        m_model = nullptr;
    }

    // Boxes follow the first show, not visibility; every report is acknowledged, shown or not.
    void errorRelay_data()
    {
        QTest::addColumn<bool>("showFirst");
        QTest::addColumn<bool>("hideAgain");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("shown");
        QTest::newRow("before the first show") << false << false << 2 << false;
        QTest::newRow("visible") << true << false << 2 << true;
        QTest::newRow("last of the table") << true << false << 61 << true;
        QTest::newRow("beyond the table") << true << false << 62 << false;
        QTest::newRow("negative") << true << false << -1 << false;
        QTest::newRow("hidden after the first show") << true << true << 41 << true;
    }
    void errorRelay()
    {
        QFETCH(bool, showFirst);
        QFETCH(bool, hideAgain);
        QFETCH(int, message);
        QFETCH(bool, shown);
        MakeWindow(showFirst);
        if (hideAgain)
            m_window->hide();
        auto *progress = m_window->findChild<CVCProgressMessage *>();
        auto *busy = m_window->findChild<QMessageBox *>();
        QVERIFY(progress && busy);
        progress->show();
        busy->show();
        ScriptedPresenter script;
        if (shown)
            script.ExpectRecord(FindMessageRecord(message).text);
        emit m_model->ErrorMessage(message);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().size(), shown ? 1 : 0);
        QVERIFY(Acknowledged(m_model));
        QCOMPARE(progress->isVisible(), !shown);
        QCOMPARE(busy->isVisible(), !shown);
        if (shown) {
            const ScriptedPresenter::Call &box = script.Calls().at(0);
            QCOMPARE(box.parent, m_window.get());
            QVERIFY(box.stayOnTop);
            QCOMPARE(box.icon, int(FindMessageRecord(message).icon));
            QVERIFY(box.informativeText.isEmpty());
        }
        if (message == 61)
            QCOMPARE(script.Calls().at(0).icon, int(MessageIconCritical));
    }

    // Pre-scanning failed and chart too long show the recognition record with its advice.
    void recognitionErrorAdvice_data()
    {
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("record");
        QTest::newRow("pre-scanning failed: the scanner's error") << 23 << 5;
        QTest::newRow("chart too long") << 35 << 6;
    }
    void recognitionErrorAdvice()
    {
        QFETCH(int, message);
        QFETCH(int, record);
        MakeWindow();
        QCOMPARE(f->ConnectUsb(), 0);
        OrloSim_SetPremeasurementError(5);
        const MessageAdviceRecord advice = FindRecognitionErrorRecord(record);
        ScriptedPresenter script;
        script.ExpectRecord(advice.message);
        emit m_model->ErrorMessage(message);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().at(0).informativeText, advice.advice);
        QCOMPARE(script.Calls().at(0).icon, int(FindMessageRecord(message).icon));
        QVERIFY(Acknowledged(m_model));
    }

    // The model's report reaches the idle window as one box, parented to it, and returns.
    void modelReportReachesTheWindow()
    {
        MakeWindow();
        ScriptedPresenter script;
        script.ExpectRecord(FindMessageRecord(2).text);
        m_model->ReportError(1, 2, true);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().at(0).parent, m_window.get());
    }

    void matchingWarning_data()
    {
        QTest::addColumn<bool>("viaModel"); // the model's signal, or the slot called for its result
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("refuseStart");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("call");
        QTest::newRow("measurement") << false << int(QMessageBox::Ok) << false << true
                                     << QStringLiteral("Orlo_StartMeasurement2(%1,1)")
                                            .arg(kChartDiameter + kPositionGapOption);
        QTest::newRow("measurement refused") << false << int(QMessageBox::Ok) << true << false
                                             << QStringLiteral("Orlo_StartMeasurement2(");
        QTest::newRow("cancel") << false << int(QMessageBox::Cancel) << false << false
                                << QStringLiteral("Orlo_StopMeasurement(0)");
        QTest::newRow("cancel, from the model") << true << int(QMessageBox::Cancel) << false << false
                                                << QStringLiteral("Orlo_StopMeasurement(0)");
    }
    void matchingWarning()
    {
        QFETCH(bool, viaModel);
        QFETCH(int, answer);
        QFETCH(bool, refuseStart);
        QFETCH(bool, result);
        QFETCH(QString, call);
        MakeWindow();
        int code = 0;
        QVERIFY(HoldAtMatchingWarning(&code));
        const MessageAdviceRecord record = FindMatchingWarningRecord(code);
        QVERIFY(!record.message.isEmpty());
        Child<QTabWidget>("tabChartCanvas")->setCurrentIndex(0);
        if (refuseStart)
            OrloSim_FailNext("Orlo_StartMeasurement2", 1);

        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("QMessageBox"), [&](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            QCOMPARE(box->parentWidget(), m_window.get());
            QCOMPARE(box->text(), record.message);
            QCOMPARE(box->informativeText(), record.advice);
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("Measurement"));
            QCOMPARE(Child<QTabWidget>("tabChartCanvas")->currentIndex(), 1);
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        bool started = false;
        if (viaModel)
            emit m_model->MatchingMessageBox(code);
        else
            started = m_window->MatchingMessageBox(code);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(started, result);
        const QString log = TakeCallLog();
        QVERIFY2(CountCalls(log, call) == 1, qPrintable(log));
        if (answer == QMessageBox::Cancel)
            QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartMeasurement2(")), 0);
    }

    // Measurement and Cancel from both tabs and the Instrument menu, by the restart flag and mode.
    void restartAndCancel_data()
    {
        QTest::addColumn<QString>("trigger"); // button or action, or "slot" for a direct call
        QTest::addColumn<bool>("prescanDone");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("reselected");
        const QString chartStart =
            QStringLiteral("Orlo_StartMeasurement2(%1,1)").arg(kChartDiameter + kPositionGapOption);
        const QString environmentStart =
            QStringLiteral("Orlo_StartMeasurement2(%1,1)").arg(kAperture + kPositionGapOption);
        const QString recognition = QStringLiteral("Orlo_StartPatchRecognition(");
        const QString stop = QStringLiteral("Orlo_StopMeasurement(0)");
        QTest::newRow("restart continues after a mismatch")
            << "pushMeasuredPointRestart" << true << true << 0 << chartStart << false;
        QTest::newRow("restart starts with the environment")
            << "pushChartLayoutRestart" << true << false << 0 << environmentStart << false;
        QTest::newRow("menu restart") << "actionOrloRestart" << true << false << 0 << environmentStart << false;
        QTest::newRow("restart after edited points recognises again")
            << "pushMeasuredPointRestart" << true << false << 1 << recognition << false;
        QTest::newRow("restart before pre-scanning completes") << "slot" << false << true << 1 << QString() << false;
        QTest::newRow("cancel after a mismatch only stops")
            << "pushMeasuredPointCancel" << true << true << 0 << stop << false;
        QTest::newRow("cancel stops and reselects") << "pushChartLayoutCancel" << true << false << 0 << stop << true;
        QTest::newRow("menu cancel after a mismatch only stops")
            << "actionOrloCancel" << true << true << 0 << stop << false;
        QTest::newRow("menu cancel stops and reselects") << "actionOrloCancel" << true << false << 0 << stop << true;
    }
    void restartAndCancel()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, prescanDone);
        QFETCH(bool, flag);
        QFETCH(int, mode);
        QFETCH(QString, call);
        QFETCH(bool, reselected);
        MakeWindow();
        int code = 0;
        QVERIFY(HoldAtMatchingWarning(&code));
        if (!prescanDone)
            m_model->SetOrloStatus(2);
        CVCMainWindowAccess::SetRestart(*m_window, flag, mode);
        // The stop selects the new measurement; marked in the buffer as the scanner state changes, it stays
        // marked unless reselecting reloads it from the store.
        const QString mark = QStringLiteral("MARK");
        const auto setMark = [this, &mark] {
            MeasurementDataSheets *measurement = nullptr;
            if (m_model->GetMeasurementData(&measurement) == 0 && measurement)
                measurement->SerialNumber = mark;
        };
        connect(m_model, &CModel::UpdateOrloStatus, m_window.get(), setMark);
        connect(m_model, &CModel::MeasurementFinished, m_window.get(), setMark);

        const bool cancel = trigger.contains(QLatin1String("Cancel"));
        if (trigger == QLatin1String("slot")) {
            m_window->actionOrloRestartTriggered();
        } else if (trigger.startsWith(QLatin1String("push"))) {
            auto *button = m_window->findChild<QPushButton *>(trigger);
            QVERIFY(button && button->isEnabled());
            button->click();
        } else {
            auto *action = m_window->findChild<QAction *>(trigger);
            QVERIFY(action && action->isEnabled());
            action->trigger();
        }

        const QString log = TakeCallLog();
        if (call.isEmpty()) {
            QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartMeasurement2(")), 0);
            QCOMPARE(CountCalls(log, QStringLiteral("Orlo_StartPatchRecognition(")), 0);
            QCOMPARE(CVCMainWindowAccess::RestartFlag(*m_window), flag);
            return;
        }
        QVERIFY2(CountCalls(log, call) == 1, qPrintable(log));
        QVERIFY(!CVCMainWindowAccess::RestartFlag(*m_window));
        QCOMPARE(CVCMainWindowAccess::RestartMode(*m_window), 0);
        if (!cancel && mode == 1)
            QCOMPARE(m_model->GetOrloDeviceState(), 5);
        if (cancel) {
            MeasurementDataSheets *measurement = nullptr;
            QCOMPARE(m_model->GetMeasurementData(&measurement), 0);
            QVERIFY(measurement);
            QCOMPARE(measurement->SerialNumber != mark, reselected);
        }
    }

    // The colour-mismatch warning sets the restart state: Measurement then continues the run.
    void colourMismatch()
    {
        MakeWindow();
        const MessageAdviceRecord record = FindRecognitionErrorRecord(1);
        Child<QTabWidget>("tabChartCanvas")->setCurrentIndex(0);
        auto *modify = Child<QPushButton>("pushMeasuredPointModifyPatch");
        modify->setEnabled(true);
        ScriptedPresenter script;
        script.ExpectRecord(record.message);
        QVERIFY(HoldRun(16384, false, &script));
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const ScriptedPresenter::Call &box = script.Calls().at(0);
        QCOMPARE(box.parent, m_window.get());
        QCOMPARE(box.informativeText, record.advice);
        QCOMPARE(box.icon, int(MessageIconWarning));
        QVERIFY(box.stayOnTop);
        QCOMPARE(Child<QTabWidget>("tabChartCanvas")->currentIndex(), 1);
        QVERIFY(!modify->isEnabled());

        Child<QPushButton>("pushMeasuredPointRestart")->click();
        const QString log = TakeCallLog();
        QVERIFY2(CountCalls(log, QStringLiteral("Orlo_StartMeasurement2(%1,1)")
                                     .arg(kChartDiameter + kPositionGapOption)) == 1,
                 qPrintable(log));
    }

    void reliabilityWarning()
    {
        MakeWindow();
        ScriptedPresenter script;
        script.ExpectWarn(QStringLiteral("Measurement points might not be recognized correctly.\n"
                                         "Check the measurement points."));
        emit m_model->DisplayMainWindowReliableLowMessage();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().at(0).parent, m_window.get());
    }

    // Each Settings entry runs its dialog over the window at its own status and gives status 0 back.
    void settingsDialogs_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialogClass");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("page");
        QTest::newRow("measurement options") << "actionMeasureOptionSetting" << "CVCSetting"
                                             << int(CModel::StatusSettings) << 0;
        QTest::newRow("environment") << "actionEnvironSetting" << "CVCSetting" << int(CModel::StatusSettings) << 1;
        QTest::newRow("connection") << "actionSettingConnect" << "CVCConnectSetting"
                                    << int(CModel::StatusConnectSettings) << -1;
        QTest::newRow("network") << "actionSettingNetwork" << "CVCNetworkSetting"
                                 << int(CModel::StatusNetworkSettings) << -1;
    }
    void settingsDialogs()
    {
        QFETCH(QString, action);
        QFETCH(QString, dialogClass);
        QFETCH(int, status);
        QFETCH(int, page);
        MakeWindow();
        // The network page reads the connected scanner's settings.
        QCOMPARE(f->ConnectUsb(), 0);
        auto *entry = m_window->findChild<QAction *>(action);
        QVERIFY(entry);
        entry->setEnabled(true);
        int statusWhileOpen = -1;
        int pageWhileOpen = -1;
        ScriptedPresenter script;
        script.ExpectDialog(dialogClass, [&](QDialog *dialog) {
            statusWhileOpen = m_model->GetOperationState();
            QCOMPARE(dialog->parentWidget(), m_window.get());
            if (auto *tabs = dialog->findChild<QTabWidget *>(QStringLiteral("tabSetting")))
                pageWhileOpen = tabs->currentIndex();
            dialog->reject();
        });
        entry->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(statusWhileOpen, status);
        QCOMPARE(pageWhileOpen, page);
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
    }

    // After the environment page the chart view draws with the stored inks.
    void environmentAppliesTheInks()
    {
        MakeWindow();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.Inks[4].L = 12;
        environment.Inks[4].a = -34;
        environment.Inks[4].b = 56;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCSetting"), [](QDialog *dialog) { dialog->reject(); });
        Child<QAction>("actionEnvironSetting")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const InkChannelList &inks = Child<CVCChartGraphicsView>("graphicsViewChartLayout")->InkColorList();
        QCOMPARE(inks.size(), environment.Inks.size());
        QCOMPARE(inks.at(4).L, 12);
        QCOMPARE(inks.at(4).a, -34);
        QCOMPARE(inks.at(4).b, 56);
    }

    // Accepted connection settings connect at once, without searching for the device.
    void connectionSettingsConnect()
    {
        MakeWindow();
        Setting::ConnectSetting record = CModelAccess::ApplicationData(*m_model)->GetConnectionSetting();
        record.ConnectionKind = 0;
        record.Port = QStringLiteral("usb0");
        record.DeviceName = QStringLiteral("ORS00001");
        CModelAccess::ApplicationData(*m_model)->SetConnectionSetting(record);
        QSignalSpy connected(m_window.get(), &CVCMainWindow::setOrloConnected);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCConnectSetting"), [](QDialog *dialog) {
            OrloSim_ClearCallLog();
            dialog->done(QDialog::Accepted);
        });
        Child<QAction>("actionSettingConnect")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const QString log = TakeCallLog();
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_Connect(")), 1);
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_GetDeviceList(")), 0);
        QCOMPARE(connected.size(), 1);
        QCOMPARE(connected.at(0).at(0).toBool(), true);
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
    }

    // A user illuminant removed in the dialog takes its condition out of block 0 and out of the tree.
    void userIlluminants_data()
    {
        QTest::addColumn<QStringList>("names"); // slots 0, 1, ... in this order
        QTest::addColumn<QString>("removed");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("expectedMask");
        QTest::newRow("slot 2 emptied") << QStringList{"A", "B", "C"} << "C" << (1 << 18) - 1
                                        << (((1 << 18) - 1) & ~(1 << 17));
        QTest::newRow("nothing emptied") << QStringList{"A", "B", "C", "D", "E"} << QString() << (1 << 20) - 1
                                         << (1 << 20) - 1;
    }
    void userIlluminants()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, removed);
        QFETCH(int, mask);
        QFETCH(int, expectedMask);
        MakeWindow();
        QTemporaryDir files;
        for (const QString &name : names) {
            const QString path = files.filePath(name + QStringLiteral(".uid2"));
            QVERIFY(WriteFile(path, LightSourceFile()));
            UserIlluminantSlot slot;
            QCOMPARE(m_model->ImportUserIlluminantFromFile(&slot, path, 0, name), 0);
        }
        Setting::MeasureConditionSetting block = *m_model->GetMeasurementCondition(0);
        block.ConditionMask = mask;
        QCOMPARE(m_model->SetMeasureCondition(block, 0), 0);

        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCIlluminantSetting"), [&](QDialog *dialog) {
            if (removed.isEmpty())
                return;
            auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("treeIlluminant"));
            const QList<QTreeWidgetItem *> rows = list->findItems(removed, Qt::MatchExactly, 0);
            QCOMPARE(rows.size(), 1);
            list->setCurrentItem(rows.first());
            QTest::keyClick(dialog, Qt::Key_Delete);
        });
        if (!removed.isEmpty())
            script.ExpectAsk(QString(), QMessageBox::Yes);
        Child<QAction>("actionSettingUserIlluminant")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));

        QCOMPARE(m_model->GetMeasurementCondition(0)->ConditionMask, expectedMask);
        QStringList expectedRows = names;
        expectedRows.removeAll(removed);
        QCOMPARE(UserConditionRows(Child<QTreeWidget>("treeMeasureSetting")), expectedRows);
    }

    // Diagnose instrument: standard values first when none are stored; every way out ends at status 0.
    void instrumentTest_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("acceptValues");
        QTest::addColumn<bool>("diagnosis");
        QTest::newRow("no standard values, cancelled") << false << false << false;
        QTest::newRow("no standard values, entered") << false << true << true;
        QTest::newRow("standard values stored") << true << false << true;
    }
    void instrumentTest()
    {
        QFETCH(bool, stored);
        QFETCH(bool, acceptValues);
        QFETCH(bool, diagnosis);
        MakeWindow();
        if (stored) {
            StandardValueRecord values[kTileCount] = {};
            QCOMPARE(m_model->SetStandardValues(kTileCount, values), 0);
        }
        QSignalSpy connected(m_window.get(), &CVCMainWindow::setOrloConnected);
        int statusInDiagnosis = -1;
        ScriptedPresenter script;
        if (!stored) {
            script.ExpectDialog(QStringLiteral("CVCInstrumentStandardValueSetting"), [&](QDialog *dialog) {
                QCOMPARE(dialog->parentWidget(), m_window.get());
                dialog->done(acceptValues ? QDialog::Accepted : QDialog::Rejected);
            });
        }
        if (diagnosis) {
            script.ExpectDialog(QStringLiteral("CVCInstrumentTest"), [&](QDialog *dialog) {
                statusInDiagnosis = m_model->GetOperationState();
                dialog->reject();
            });
        }
        Child<QAction>("actionToolInstrumentTest")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
        QCOMPARE(connected.size(), diagnosis ? 1 : 0);
        if (diagnosis) {
            QCOMPARE(statusInDiagnosis, int(CModel::StatusInstrumentTest));
            QCOMPARE(connected.at(0).at(0).toBool(), false);
        }
    }

    // The manual beside the program folder: the user's language, else the default one, else message 46.
    void manual_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("opened"); // empty: message 46
        QTest::newRow("user language") << QStringList{"eng.manual.pdf", "jpn.manual.pdf"} << "jpn.manual.pdf";
        QTest::newRow("default language") << QStringList{"eng.manual.pdf", "jpn.manual.txt"} << "eng.manual.pdf";
        QTest::newRow("neither") << QStringList{"deu.manual.pdf"} << QString();
        QTest::newRow("no manual folder") << QStringList{} << QString();
    }
    void manual()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, opened);
        QTemporaryDir root;
        MakeWindow(true, root.filePath(QStringLiteral("bin")));
        QVERIFY(m_model->SetLanguage(QStringLiteral("jpn")));
        if (!files.isEmpty())
            QVERIFY(QDir().mkpath(ManualFolder(root)));
        for (const QString &name : files)
            QVERIFY(WriteFile(ManualFolder(root) + QLatin1Char('/') + name, "%PDF"));
        ScriptedPresenter script;
        if (opened.isEmpty())
            script.ExpectRecord(FindMessageRecord(46).text);
        else
            script.ExpectUrl(QUrl::fromLocalFile(ManualFolder(root) + QLatin1Char('/') + opened));
        Child<QAction>("actionHelp")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // The start-up hands its program folder to the window.
    void manualOfTheStartedProgram()
    {
        ProgramFixture program;
        const QString folder = program.Root() + QStringLiteral("/Document/Manual");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(WriteFile(folder + QStringLiteral("/eng.manual.pdf"), "%PDF"));
        program.script.ExpectUrl(QUrl::fromLocalFile(folder + QStringLiteral("/eng.manual.pdf")));
        program.Run([&] { program.Window()->findChild<QAction *>(QStringLiteral("actionHelp"))->trigger(); });
        QVERIFY(program.BodyRan());
        QVERIFY2(program.script.Done(), qPrintable(program.script.Problems()));
    }
};

VAREMO_PROGRAM_TEST_MAIN(TestInstrument)
#include "test_instrument.moc"
