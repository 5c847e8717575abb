// The main window's frame: its form, the controls it switches as the chart scanner changes state, connecting
// and disconnecting, closing with its saved layout and restoring it, the docks and the first show. Every box and
// nested dialog goes to a scripted presenter; the scanner is the simulated one in manual delivery.
#include "tests/app/modelfixture.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcprogressmessage.h"
#include "settings/vcilluminantsetting.h"
#include "settings/vcinstrumenttest.h"
#include "scriptedpresenter.h"

#include <QDir>
#include <QDirIterator>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

int CountCalls(const QString &log, const QString &function)
{
    return log.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + function + "\\(")).size();
}

QStringList ActionNames(const QList<QAction *> &actions)
{
    QStringList names;
    for (QAction *action : actions)
        names << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    return names;
}

void SetSerial(const char *serial, bool terminated)
{
    OrloSystemInfo info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.maker, "Orlo", 4);
    std::memcpy(info.serial, serial, qMin(std::strlen(serial), sizeof info.serial));
    if (!terminated)
        std::memset(info.reserved, 'X', sizeof info.reserved);
    OrloSim_SetSystemInfo(&info);
}

// The texts the chart draws along its axes (tick labels and titles).
QStringList AxisTexts(const QtCharts::QChartView *view)
{
    QStringList texts;
    for (const QGraphicsItem *item : view->scene()->items()) {
        if (const auto *text = dynamic_cast<const QGraphicsTextItem *>(item))
            texts << text->toPlainText();
    }
    return texts;
}

} // namespace

class TestFrame : public QObject
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
    CVCProgressMessage *ProgressBox() const { return m_window->findChild<CVCProgressMessage *>(); }

    void SetAutoConnect(bool on)
    {
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = on;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
    }

    void SetConnectionRecord(int kind)
    {
        Setting::ConnectSetting record = CModelAccess::ApplicationData(*m_model)->GetConnectionSetting();
        record.ConnectionKind = kind;
        record.Port = QStringLiteral("usb0");
        record.DeviceName = QStringLiteral("ORS00001");
        CModelAccess::ApplicationData(*m_model)->SetConnectionSetting(record);
    }

    QList<QLabel *> StatusLabels() const
    {
        return m_window->statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    }

    bool ControlsEnabled() const
    {
        return Child<QTreeWidget>("treeDesignation")->isEnabled();
    }

    // A window on a fresh model, with the automatic connection off.
    void MakeWindow(bool autoConnect = false)
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        SetAutoConnect(autoConnect);
        m_window = std::make_unique<CVCMainWindow>(m_model);
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void cleanup()
    {
        m_window.reset();
        f.reset();
        m_model = nullptr;
    }

    void formWidgets()
    {
        MakeWindow();
        const QList<QPair<const char *, const char *>> widgets = {
            {"centralMainWindow", "QWidget"},
            {"tabChartCanvas", "QTabWidget"},
            {"ChartLayout", "QWidget"},
            {"graphicsViewChartLayout", "CVCChartGraphicsView"},
            {"pushChartLayoutPage", "QPushButton"},
            {"pushChartLayoutZoom", "QPushButton"},
            {"pushChartLayoutZoomOut", "QPushButton"},
            {"sliderChartLayoutZoom", "QSlider"},
            {"pushChartLayoutZoomIn", "QPushButton"},
            {"lineChartLayout", "QFrame"},
            {"labelChartLayoutMeasuredPatchCount", "QLabel"},
            {"progressChartLayout", "QProgressBar"},
            {"labelChartLayoutProgress", "QLabel"},
            {"labelChartLayoutPercent", "QLabel"},
            {"pushChartLayoutCancel", "QPushButton"},
            {"pushChartLayoutRestart", "QPushButton"},
            {"MeasuredPoint", "QWidget"},
            {"graphicsViewMeasuredPoint", "CVCMeasuredPointGraphicsView"},
            {"pushMeasuredPointPage", "QPushButton"},
            {"pushMeasuredPointZoom", "QPushButton"},
            {"pushMeasuredPointZoomOut", "QPushButton"},
            {"sliderMeasuredPointZoom", "QSlider"},
            {"pushMeasuredPointZoomIn", "QPushButton"},
            {"pushMeasuredPointModifyPatch", "QPushButton"},
            {"lineMeasuredPoint", "QFrame"},
            {"labelMeasuredPointMeasuredPatchCount", "QLabel"},
            {"progressMeasuredPoint", "QProgressBar"},
            {"labelMeasuredPointProgress", "QLabel"},
            {"labelMeasuredPointPercent", "QLabel"},
            {"pushMeasuredPointCancel", "QPushButton"},
            {"pushMeasuredPointRestart", "QPushButton"},
            {"menuBar", "QMenuBar"},
            {"statusBar", "QStatusBar"},
            {"dockDataList", "QDockWidget"},
            {"splitterDataList", "QSplitter"},
            {"treeDesignation", "QTreeWidget"},
            {"treeRecognition", "QTreeWidget"},
            {"pushNewChart", "QPushButton"},
            {"pushEditChart", "QPushButton"},
            {"toolBar", "QToolBar"},
            {"dockMeasureSetting", "QDockWidget"},
            {"treeMeasureSetting", "QTreeWidget"},
            {"dockMeasureData", "QDockWidget"},
            {"treeMeasureData", "QTreeWidget"},
            {"dockSpectrumGraph", "QDockWidget"},
            {"dockSpectrumGraphContents", "QWidget"},
        };
        for (const auto &widget : widgets) {
            QWidget *child = m_window->findChild<QWidget *>(QLatin1String(widget.first));
            QVERIFY2(child, widget.first);
            QVERIFY2(child->inherits(widget.second), widget.first);
        }
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Measurement Utility Software Varemo"));
        QCOMPARE(m_window->size(), QSize(1024, 768));
        auto *tabs = Child<QTabWidget>("tabChartCanvas");
        QCOMPARE(tabs->tabText(0), QStringLiteral("Chart Layout"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Measured Point"));
        // The zoom tables set the sliders, whatever the form says.
        QCOMPARE(Child<QSlider>("sliderChartLayoutZoom")->minimum(), 30);
        QCOMPARE(Child<QSlider>("sliderMeasuredPointZoom")->minimum(), 5);
        for (const char *name : {"pushChartLayoutCancel", "pushChartLayoutRestart", "pushMeasuredPointCancel",
                                 "pushMeasuredPointRestart", "pushMeasuredPointModifyPatch", "pushEditChart"})
            QVERIFY2(!Child<QPushButton>(name)->isEnabled(), name);
        QVERIFY(!Child<QAction>("actionSettingNetwork")->isEnabled());
        QVERIFY(!Child<QAction>("actionOrloCancel")->isEnabled());
        QVERIFY(!Child<QAction>("actionOrloRestart")->isEnabled());

        auto *recognition = Child<QTreeWidget>("treeRecognition");
        QCOMPARE(recognition->topLevelItemCount(), 1);
        QCOMPARE(recognition->topLevelItem(0)->text(0), QStringLiteral("<Freeform Chart>"));
        QCOMPARE(recognition->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(Child<QTreeWidget>("treeDesignation")->headerItem()->text(0),
                 QStringLiteral("Chart definition data"));
        QCOMPARE(Child<QTreeWidget>("treeDesignation")->columnCount(), 4);
        QCOMPARE(m_window->dockWidgetArea(Child<QDockWidget>("dockDataList")), Qt::LeftDockWidgetArea);
        for (const char *name : {"dockMeasureSetting", "dockMeasureData", "dockSpectrumGraph"})
            QCOMPARE(m_window->dockWidgetArea(Child<QDockWidget>(name)), Qt::RightDockWidgetArea);
        QCOMPARE(StatusLabels().size(), 3);
    }

    void menusAndToolBar()
    {
        MakeWindow();
        QStringList menus;
        for (QAction *action : m_window->menuBar()->actions()) {
            menus << action->menu()->objectName();
            QCOMPARE(action->menuRole(), QAction::NoRole);
        }
        QCOMPARE(menus, (QStringList{"menuFile", "menuView", "menuSetting", "menuOrlo", "menuTool", "menuHelp"}));
        const QList<QPair<const char *, QStringList>> entries = {
            {"menuFile", {"actionFileNewChart", "actionFileOpen", "actionFileSaveMeasureData", "|", "actionFileClose"}},
            {"menuView",
             {"actionViewToolBar", "actionViewStatusBar", "actionViewDataList", "actionViewMeasureSetting",
              "actionViewMeasureData", "actionViewSpectrumGraph"}},
            {"menuSetting",
             {"actionMeasureOptionSetting", "actionEnvironSetting", "|", "actionSettingConnect",
              "actionSettingNetwork", "actionSettingUserIlluminant"}},
            {"menuOrlo", {"actionOrloConnect", "actionOrloDisconnect", "|", "actionOrloRestart", "actionOrloCancel"}},
            {"menuTool", {"actionToolInstrumentTest", "actionToolAdjustDensity"}},
            {"menuHelp", {"actionHelp", "actionHelpVersion"}},
        };
        for (const auto &entry : entries)
            QCOMPARE(ActionNames(Child<QMenu>(entry.first)->actions()), entry.second);
        QCOMPARE(ActionNames(Child<QToolBar>("toolBar")->actions()),
                 (QStringList{"actionFileNewChart", "actionFileOpen", "actionFileSaveMeasureData", "|",
                              "actionMeasureOptionSetting", "actionEnvironSetting", "actionSettingConnect",
                              "actionSettingNetwork", "actionSettingUserIlluminant", "|",
                              "actionOrloConnectDisconnect", "|", "actionToolAdjustDensity"}));
        for (QAction *view : Child<QMenu>("menuView")->actions())
            QVERIFY(view->isCheckable() && view->isChecked());
        auto *toggle = Child<QAction>("actionOrloConnectDisconnect");
        QVERIFY(toggle->isCheckable());
        QVERIFY(!toggle->isChecked());
        QCOMPARE(toggle->text(), QStringLiteral("Orlo Connect/Disconnect"));
        for (const char *quit : {"actionQuit", "actionQuit_2"})
            QCOMPARE(Child<QAction>(quit)->text(), QStringLiteral("Quit"));
        QVERIFY(!Child<QAction>("actionQuit")->isEnabled());
    }

    // Each state after pre-scanning (5) has locked the window: what the state unlocks, shows and allows.
    void orloStatusTable_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("red");
        QTest::addColumn<bool>("unlocked");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<bool>("restart");
        QTest::addColumn<bool>("progressReset");
        const QString waiting = QStringLiteral("Waiting. please insert chart.");
        QTest::newRow("0 idle") << 0 << QString() << false << true << false << false << true;
        QTest::newRow("1 connection lost") << 1 << QString() << false << true << false << false << true;
        QTest::newRow("2 waiting") << 2 << waiting << false << true << false << false << true;
        QTest::newRow("3 feeding") << 3 << QStringLiteral("Feeding paper...") << false << false << false << false
                                   << false;
        QTest::newRow("4 fatal") << 4 << QStringLiteral("A fatal error has occurred.") << false << true << false
                                 << false << true;
        QTest::newRow("5 pre-scanning") << 5 << QStringLiteral("Pre-scanning...") << false << false << false
                                        << false << false;
        QTest::newRow("6 pre-scanned") << 6 << QStringLiteral("Pre-scanning completed.") << false << false << true
                                       << true << false;
        QTest::newRow("7 measuring") << 7 << QStringLiteral("Now measuring...") << false << false << true << false
                                     << false;
        QTest::newRow("8 waiting") << 8 << waiting << false << true << false << false << true;
        QTest::newRow("9 waiting in a run") << 9 << waiting << false << false << true << false << false;
        QTest::newRow("10 cover") << 10 << QStringLiteral("Cover is opened.") << true << false << false << false
                                  << false;
        QTest::newRow("11 jam") << 11 << QStringLiteral("Paper is jammed.") << true << false << false << false
                                << false;
        QTest::newRow("12 another PC") << 12 << QStringLiteral("Another PC is connecting.") << false << true
                                       << false << false << true;
    }
    void orloStatusTable()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        QFETCH(bool, red);
        QFETCH(bool, unlocked);
        QFETCH(bool, stop);
        QFETCH(bool, restart);
        QFETCH(bool, progressReset);
        MakeWindow();
        ScriptedPresenter script;
        if (state == 1)
            script.ExpectRecord(FindMessageRecord(31).text);
        m_window->show();
        SetConnectionRecord(0);
        m_window->actionOrloConnectTriggered(false);
        QCOMPARE(m_model->IsOrloConnected(), 1);
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));

        m_model->SetOrloStatus(5);
        QVERIFY(!ControlsEnabled());
        emit m_window->setMeasuredPatchCount(QStringLiteral("3 / 9"));
        emit m_window->setProgressMeasurement(40);

        QVERIFY(ProgressBox()->isVisible());
        m_model->SetOrloStatus(state);
        QCOMPARE(ProgressBox()->isVisible(), state == 5);
        const QLabel *status = StatusLabels().value(0);
        QVERIFY(status);
        QCOMPARE(status->text(), text);
        QCOMPARE(status->styleSheet().contains(QStringLiteral("red")), red);
        QCOMPARE(ControlsEnabled(), unlocked);
        for (const char *name : {"treeRecognition", "pushNewChart", "toolBar", "pushChartLayoutPage",
                                 "pushMeasuredPointPage"})
            QVERIFY2(Child<QWidget>(name)->isEnabled() == unlocked, name);
        for (const char *name : {"menuFile", "menuSetting", "menuTool"})
            QVERIFY2(Child<QMenu>(name)->isEnabled() == unlocked, name);
        for (const char *name : {"menuView", "menuOrlo", "menuHelp"})
            QVERIFY2(Child<QMenu>(name)->isEnabled(), name);
        // A lost connection hides Disconnect, which then reads as disabled.
        QCOMPARE(Child<QAction>("actionOrloDisconnect")->isVisible(), state != 1);
        if (state != 1)
            QCOMPARE(Child<QAction>("actionOrloDisconnect")->isEnabled(), unlocked);
        QVERIFY(!Child<QPushButton>("pushEditChart")->isEnabled());
        QCOMPARE(Child<QPushButton>("pushChartLayoutCancel")->isEnabled(), stop);
        QCOMPARE(Child<QPushButton>("pushMeasuredPointCancel")->isEnabled(), stop);
        QCOMPARE(Child<QAction>("actionOrloCancel")->isEnabled(), stop);
        QCOMPARE(Child<QPushButton>("pushChartLayoutRestart")->isEnabled(), restart);
        QCOMPARE(Child<QAction>("actionOrloRestart")->isEnabled(), restart);
        QCOMPARE(Child<QLabel>("labelMeasuredPointMeasuredPatchCount")->text(),
                 progressReset ? QStringLiteral("0 / 0") : QStringLiteral("3 / 9"));
        QCOMPARE(Child<QProgressBar>("progressChartLayout")->value(), progressReset ? 0 : 40);
        QCOMPARE(Child<QLabel>("labelChartLayoutProgress")->text(),
                 progressReset ? QStringLiteral("0") : QStringLiteral("40"));

        // The window refuses to close while it is locked.
        QCOMPARE(m_window->close(), unlocked);
        QCOMPARE(m_window->isVisible(), !unlocked);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));

        if (red) {
            m_model->SetOrloStatus(2);
            QVERIFY(status->styleSheet().isEmpty());
        }
    }

    // Pre-scanning empties both views; the measured-point editing button needs a measured page.
    void prescanResetsTheViews()
    {
        MakeWindow();
        auto *modify = Child<QPushButton>("pushMeasuredPointModifyPatch");
        modify->setEnabled(true);
        m_model->SetOrloStatus(5);
        QVERIFY(!modify->isEnabled());
        QVERIFY(!Child<CVCMeasuredPointGraphicsView>("graphicsViewMeasuredPoint")->HasItems());
        m_model->SetOrloStatus(8);
        QVERIFY(!modify->isEnabled());
    }

    // A lost connection during a run deletes the jobs, disconnects, says so and unlocks the window.
    void connectionLoss()
    {
        MakeWindow();
        ScriptedPresenter script;
        script.ExpectRecord(FindMessageRecord(31).text);
        m_window->show();
        SetConnectionRecord(0);
        m_window->actionOrloConnectTriggered(false);
        QCOMPARE(m_model->IsOrloConnected(), 1);
        QVERIFY(Child<QAction>("actionOrloConnectDisconnect")->isChecked());
        const int chart = CreateChart(m_model, 1, 2, 2);
        QVERIFY(chart);
        QCOMPARE(m_model->SelectFileID(CModel::KindDesignationChart, chart, chart), 0);
        QCOMPARE(m_model->RegisterDesignationChartJob(), 0);
        m_model->SetOrloStatus(5);
        QVERIFY(!m_window->close());

        OrloSim_ClearCallLog();
        m_model->SetOrloStatus(1);
        const QString log = QString::fromUtf8(OrloSim_CallLog());
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_DeleteJob")), 1);
        QCOMPARE(m_model->IsOrloConnected(), 0);
        QVERIFY(!Child<QAction>("actionOrloConnectDisconnect")->isChecked());
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().size(), 1);
        QCOMPARE(script.Calls().at(0).parent, m_window.get());
        QVERIFY(ControlsEnabled());
        QVERIFY(m_window->close());
    }

    void failedDisconnectKeepsTheToggleChecked()
    {
        MakeWindow();
        SetConnectionRecord(0);
        m_window->actionOrloConnectTriggered(false);
        auto *toggle = Child<QAction>("actionOrloConnectDisconnect");
        QVERIFY(toggle->isChecked());
        OrloSim_FailNext("Orlo_Disconnect", 1);
        toggle->setChecked(false);
        QCOMPARE(m_model->IsOrloConnected(), 1);
        QVERIFY(toggle->isChecked());
        QVERIFY(Child<QAction>("actionOrloDisconnect")->isVisible());
        QVERIFY(!Child<QAction>("actionOrloConnect")->isVisible());

        toggle->setChecked(false);
        QCOMPARE(m_model->IsOrloConnected(), 0);
        QVERIFY(!toggle->isChecked());
        QVERIFY(Child<QAction>("actionOrloConnect")->isVisible());
        QVERIFY(!Child<QAction>("actionOrloDisconnect")->isVisible());
    }

    // The connection label: the serial field is read up to its first zero, never beyond its 8 characters.
    void connectionLabel_data()
    {
        QTest::addColumn<QByteArray>("serial");
        QTest::addColumn<bool>("terminated");
        QTest::addColumn<bool>("infoFails");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("network");
        QTest::newRow("empty serial") << QByteArray() << true << false << 0 << QStringLiteral("Orlo ") << true;
        QTest::newRow("8 characters") << QByteArray("ABCDEFGH") << true << false << 0
                                      << QStringLiteral("Orlo ABCDEFGH") << true;
        QTest::newRow("no terminator") << QByteArray("ABCDEFGH") << false << false << 0
                                       << QStringLiteral("Orlo ABCDEFGH") << true;
        QTest::newRow("short serial") << QByteArray("AB") << true << false << 0 << QStringLiteral("Orlo AB")
                                      << true;
        QTest::newRow("info fails") << QByteArray("ABCDEFGH") << true << true << 0 << QStringLiteral("Orlo")
                                    << true;
        QTest::newRow("network kind") << QByteArray("ABCDEFGH") << true << false << 1
                                      << QStringLiteral("Orlo ABCDEFGH") << false;
    }
    void connectionLabel()
    {
        QFETCH(QByteArray, serial);
        QFETCH(bool, terminated);
        QFETCH(bool, infoFails);
        QFETCH(int, kind);
        QFETCH(QString, label);
        QFETCH(bool, network);
        MakeWindow();
        SetConnectionRecord(0);
        QCOMPARE(m_model->ConnectOrlo(false), 0);
        SetConnectionRecord(kind);
        SetSerial(serial.constData(), terminated);
        if (infoFails)
            OrloSim_FailNext("Orlo_GetSystemInfo", 1);
        emit m_window->setOrloConnected(true);
        QCOMPARE(StatusLabels().value(1)->text(), label);
        QCOMPARE(Child<QAction>("actionSettingNetwork")->isEnabled(), network);

        emit m_window->setOrloConnected(false);
        QVERIFY(StatusLabels().value(1)->text().isEmpty());
        QVERIFY(!Child<QAction>("actionSettingNetwork")->isEnabled());
    }

    void docks()
    {
        MakeWindow();
        m_window->show();
        auto *settings = Child<QDockWidget>("dockMeasureSetting");
        auto *data = Child<QDockWidget>("dockMeasureData");
        auto *graph = Child<QDockWidget>("dockSpectrumGraph");
        QSignalSpy settingsShown(settings, &QDockWidget::visibilityChanged);
        m_window->tabifyDockWidget(settings, data);
        // The tab of the other dock covers it: reported invisible, yet still open.
        QVERIFY(settings->visibleRegion().isEmpty());
        QVERIFY(!settingsShown.isEmpty());
        QCOMPARE(settingsShown.last().at(0).toBool(), false);
        QVERIFY(Child<QAction>("actionViewMeasureSetting")->isChecked());
        QVERIFY(Child<QAction>("actionViewMeasureData")->isChecked());

        graph->close();
        QVERIFY(!Child<QAction>("actionViewSpectrumGraph")->isChecked());
        // The action still shows the dock after the window set its check itself.
        Child<QAction>("actionViewSpectrumGraph")->setChecked(true);
        QVERIFY(graph->isVisible());
        Child<QAction>("actionViewDataList")->setChecked(false);
        QVERIFY(!Child<QDockWidget>("dockDataList")->isVisible());
    }

    // At the window's own size with all three right-hand docks stacked, the graph's reflectance labels and both
    // titles are drawn in full: the chart puts "..." in place of a text that does not fit.
    void graphLabelsFitTheDefaultLayout()
    {
        const int ticks = 11;
        MakeWindow();
        auto *view = Child<QDockWidget>("dockSpectrumGraph")->findChild<QtCharts::QChartView *>();
        QVERIFY(view);
        auto *axisY = qobject_cast<QtCharts::QValueAxis *>(view->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(axisY);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_window->size(), QSize(1024, 768));
        QCOMPARE(axisY->tickCount(), ticks);
        // A drawn curve brings the legend below the plot.
        auto *curve = new QtCharts::QLineSeries;
        curve->setName(QStringLiteral("M0"));
        view->chart()->addSeries(curve);
        view->chart()->legend()->setAlignment(Qt::AlignBottom);
        // The chart lays itself out again on later events; the texts are taken once it has.
        QStringList texts;
        const auto drawnInFull = [&] {
            texts = AxisTexts(view);
            for (int i = 0; i < ticks; ++i) {
                if (!texts.contains(QString::number(0.1 * i, 'f', 1)))
                    return false;
            }
            return texts.contains(QStringLiteral("Reflectance")) && texts.contains(QStringLiteral("Wavelength (nm)"));
        };
        QTRY_VERIFY2(drawnInFull(), qPrintable(texts.join(QLatin1Char(' '))));
    }

    void firstShow()
    {
        MakeWindow();
        m_window->statusBar()->hide();
        QVERIFY(Child<QAction>("actionViewStatusBar")->isChecked());
        m_window->show();
        auto *recognition = Child<QTreeWidget>("treeRecognition");
        QCOMPARE(recognition->currentItem(), recognition->topLevelItem(0));
        QVERIFY(!Child<QAction>("actionViewStatusBar")->isChecked());
        QVERIFY(Child<QAction>("actionViewToolBar")->isChecked());
        QVERIFY(Child<QAction>("actionViewDataList")->isChecked());
    }

    // The automatic connection runs once, after the first show, and only with the setting on.
    void automaticConnection_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void automaticConnection()
    {
        QFETCH(bool, setting);
        MakeWindow(setting);
        SetConnectionRecord(0);
        QSignalSpy connected(m_window.get(), &CVCMainWindow::setOrloConnected);
        m_window->show();
        QTimer *timer = nullptr;
        for (QTimer *t : m_window->findChildren<QTimer *>()) {
            if (t->isSingleShot() && t->interval() == 500)
                timer = t;
        }
        QCOMPARE(timer && timer->isActive(), setting);
        if (!setting)
            return;
        QVERIFY(connected.wait(5000));
        QCOMPARE(connected.at(0).at(0).toBool(), true);
        QCOMPARE(m_model->IsOrloConnected(), 1);
        QVERIFY(!timer->isActive());
        m_window->hide();
        m_window->show();
        QVERIFY(!timer->isActive());
        QCOMPARE(connected.size(), 1);
    }

    // The menu entry looks for the device, as the tool-bar toggle does.
    void menuConnectSearches()
    {
        MakeWindow();
        SetConnectionRecord(0);
        OrloSim_ClearCallLog();
        Child<QAction>("actionOrloConnect")->trigger();
        QCOMPARE(m_model->IsOrloConnected(), 1);
        QVERIFY(CountCalls(QString::fromUtf8(OrloSim_CallLog()), QStringLiteral("Orlo_GetDeviceList")) >= 1);
        QVERIFY(Child<QAction>("actionOrloConnectDisconnect")->isChecked());

        OrloSim_ClearCallLog();
        Child<QAction>("actionOrloDisconnect")->trigger();
        QCOMPARE(m_model->IsOrloConnected(), 0);
        Child<QAction>("actionOrloConnectDisconnect")->setChecked(true);
        QCOMPARE(m_model->IsOrloConnected(), 1);
        QVERIFY(CountCalls(QString::fromUtf8(OrloSim_CallLog()), QStringLiteral("Orlo_GetDeviceList")) >= 1);
    }

    // A failed connection opens the connection settings; accepting them retries without a search.
    void failedConnectionOpensTheSettings_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("cancelled") << false;
    }
    void failedConnectionOpensTheSettings()
    {
        QFETCH(bool, accept);
        MakeWindow();
        SetConnectionRecord(0);
        ScriptedPresenter script;
        int statusInside = -1;
        script.ExpectDialog(QStringLiteral("CVCConnectSetting"), [&](QDialog *dialog) {
            statusInside = m_model->GetOperationState();
            OrloSim_ClearCallLog();
            dialog->done(accept ? QDialog::Accepted : QDialog::Rejected);
        });
        OrloSim_FailNext("Orlo_Connect", 1);
        OrloSim_FailNext("Orlo_GetDeviceList", 1);
        Child<QAction>("actionOrloConnect")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(statusInside, int(CModel::StatusConnectSettings));
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
        const QString log = QString::fromUtf8(OrloSim_CallLog());
        QCOMPARE(m_model->IsOrloConnected(), accept ? 1 : 0);
        QCOMPARE(Child<QAction>("actionOrloConnectDisconnect")->isChecked(), accept);
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_GetDeviceList")), 0);
        QCOMPARE(CountCalls(log, QStringLiteral("Orlo_Connect")), accept ? 1 : 0);
    }

    // A new connection with calibration due runs the reminder once, over the window.
    void reminderOnNewConnection()
    {
        MakeWindow();
        SetConnectionRecord(0);
        OrloSim_ForceStatus(-1, -1, 1, -1);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCPeriodicCalibrationDialog"), [](QDialog *) {});
        m_window->actionOrloConnectTriggered(false);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().size(), 1);
        QCOMPARE(script.Calls().at(0).parent, m_window.get());
    }

    // Close stores the layout and the status bar's check; a new window on the same settings takes them back.
    void closeAndRestore()
    {
        MakeWindow();
        QCOMPARE(m_window->RestoreWindowState(), 0);
        QVERIFY(m_window->statusBar()->isVisibleTo(m_window.get()));
        m_window->show();
        m_window->resize(900, 600);
        Child<QAction>("actionViewStatusBar")->setChecked(false);
        Child<QAction>("actionViewSpectrumGraph")->setChecked(false);
        QVERIFY(m_window->close());
        QCOMPARE(m_model->GetWindowCheckState(0), QByteArray(1, 0));
        QVERIFY(!m_model->GetWindowGeometry(0).isEmpty());
        QCOMPARE(m_model->GetWindowState(0), m_window->saveState());

        CVCMainWindow restored(m_model);
        QCOMPARE(restored.RestoreWindowState(), 0);
        restored.show();
        QVERIFY(!restored.statusBar()->isVisible());
        QCOMPARE(restored.size(), QSize(900, 600));
        QVERIFY(!restored.findChild<QDockWidget *>(QStringLiteral("dockSpectrumGraph"))->isVisible());
        QVERIFY(restored.findChild<QDockWidget *>(QStringLiteral("dockMeasureData"))->isVisible());
        QVERIFY(!restored.findChild<QAction *>(QStringLiteral("actionViewStatusBar"))->isChecked());
        QVERIFY(!restored.findChild<QAction *>(QStringLiteral("actionViewSpectrumGraph"))->isChecked());
        restored.hide();
    }

    void unreadableDocumentsGiveMessage3()
    {
        MakeWindow();
        QCOMPARE(m_window->RestoreWindowState(), 0);
        QString chartFolder;
        QDirIterator it(f->home.path(), {QStringLiteral("Chart")}, QDir::Dirs | QDir::Hidden,
                        QDirIterator::Subdirectories);
        if (it.hasNext())
            chartFolder = it.next();
        QVERIFY(!chartFolder.isEmpty());
        QVERIFY(QDir(chartFolder).removeRecursively());
        QFile blocker(chartFolder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(m_window->RestoreWindowState(), 3);
    }

    // The diagnosis dialog built with the window hands the status back when it closes.
    void diagnosisCloseRestoresTheStatus()
    {
        MakeWindow();
        auto *diagnosis = m_window->findChild<CVCInstrumentTest *>();
        QVERIFY(diagnosis);
        QVERIFY(m_window->findChild<CVCIlluminantSetting *>());
        m_model->SetAppStatus(CModel::StatusInstrumentTest);
        emit diagnosis->closeInstrumentTest();
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
    }

    // About runs over the window at status 14 and gives the status back when it closes.
    void aboutRunsAtItsStatus()
    {
        MakeWindow();
        m_window->show();
        int statusWhileOpen = -1;
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCVersion"), [&](QDialog *dialog) {
            statusWhileOpen = m_model->GetOperationState();
            QCOMPARE(dialog->parentWidget(), m_window.get());
            dialog->reject();
        });
        Child<QAction>("actionHelpVersion")->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(statusWhileOpen, int(CModel::StatusAbout));
        QCOMPARE(m_model->GetOperationState(), int(CModel::StatusMainWindow));
    }

    void exitClosesTheWindow()
    {
        MakeWindow();
        m_window->show();
        Child<QAction>("actionFileClose")->trigger();
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
