#pragma once
// The program's main window: the form with its menus, tool bar, docks and status bar, the long-lived dialogs it
// owns, and the rules that switch its controls as the chart scanner changes state.

#include "app/model.h"

#include <QMainWindow>
#include <QMessageBox>

#include <memory>

class CVCAdjustDensity;
class CVCIlluminantSetting;
class CVCInstrumentTest;
class CVCProgressMessage;
class CVCVersion;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QTimer;

namespace QtCharts {
class QChart;
class QChartView;
class QValueAxis;
} // namespace QtCharts

namespace Ui {
class MainWindow;
}

class CVCMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    CVCMainWindow(CModel *model, QWidget *parent = nullptr);
    ~CVCMainWindow() override;

    // Geometry, dock and tool-bar state and the status-bar check from the settings, then every document is read.
    // 0, or message 3 when reading the documents fails.
    int RestoreWindowState();

    CModel *GetModel() const { return m_model; }
    CVCAdjustDensity *GetAdjustDensityWindow() const { return m_adjustDensity; }

    // Deletes every job registered at the scanner and unchecks every chart of the data list.
    void UncheckAllDesignationCharts();

signals:
    void setOrloConnected(bool connected);
    void setNetworkSettingsEnable(bool enable);
    void setDiameterAuto(bool checked);
    void setDiameterNormal(bool checked);
    void setDiameterSmall(bool checked);
    void setDiameterMiddle(bool checked);
    void setDiameterBig(bool checked);
    void menuChartLayoutZoomTrigger(QAction *action);
    void menuMeasuredPointZoomTrigger(QAction *action);
    void setProgressMeasurement(int value);
    void setMeasuredPatchCount(const QString &text = QString());
    void SetDisplay(int display);
    void setProgress(int value);
    void setOrloStatus(const QString &text = QString());
    void setMeasuredPatch(const QString &text = QString());
    void setOrloConnect(const QString &text = QString());
    void setHandyConnect(const QString &text = QString());
    void setOrloStatusStyleSheet(const QString &styleSheet = QString());
    void setMeasurementRestartEnable(bool enable);
    void setMeasurementStopEnable(bool enable);

public slots:
    void UpdateOrloStatus(int status);
    void actionHelpVersionTriggered();
    void SetOrloConnectMenuVisible(bool connected);
    void setOrloConnect(bool status);
    void UpdateAppStatus(CModel::APP_STATUS status);
    void UpdateAppStatusMain();
    void StartupConnection();
    void dockDataListVisibilityChanged(bool visible);
    void dockMeasureSettingVisibilityChanged(bool visible);
    void dockMeasureDataVisibilityChanged(bool visible);
    void dockSpectrumGraphVisibilityChanged(bool visible);

    void actionOrloConnectTriggered(bool findDevice);
    void actionOrloDisconnectTriggered();
    void actionOrloConnectDisconnectToggled(bool toggle);

    void ErrorMessage(int message);
    void MatchingMessageBox(int code);
    void SelectDesigChartFromFileID(int fileId);
    void FindDesignationChartFound(int fileId, int pageNo);
    // A new scanner connection reported calibration due: the reminder decides itself whether it shows.
    void DetectPeriodCalibration();

    void ClearSelectPatchData();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The View menu's check actions with the panel each one shows.
    QList<QPair<QAction *, QWidget *>> ViewPanels() const;
    void ConnectSignals();
    void ConnectModelSignals();
    void SetMainControlsEnabled(bool enabled);
    void ResetProgress();
    void UpdateModifyPatchButton();
    // Disconnects the scanner; a failed disconnect leaves the tool-bar toggle checked.
    void DisconnectOrlo();
    void DockVisibilityChanged(QDockWidget *dock, QAction *action, bool visible);

    std::unique_ptr<Ui::MainWindow> ui;
    QMenu *m_menuDesignationChart;
    QMenu *m_menuDesignationMeasure;
    QMenu *m_menuDesignationMulti;
    QMenu *m_menuRecognition;
    QMenu *m_menuRecognitionMulti;
    CModel *m_model;
    bool m_shown = false;
    CVCIlluminantSetting *m_illuminantSetting;
    // A top-level window of its own, so it has no parent and is deleted here.
    CVCAdjustDensity *m_adjustDensity;
    CVCInstrumentTest *m_instrumentTest;
    CVCVersion *m_version;
    QMessageBox m_busyMessage;
    // Creeps forward while the scanner pre-scans, so the locked window is seen to be alive.
    CVCProgressMessage *m_progressMessage;

    bool m_patchSelected = false;
    int m_selectedArea = 0;
    int m_selectedRow = 0;
    int m_selectedColumn = 0;

    QtCharts::QChart *m_spectrumChart;
    QtCharts::QChartView *m_spectrumChartView;
    QtCharts::QValueAxis *m_axisX;
    QtCharts::QValueAxis *m_axisY;

    // Connects the scanner shortly after the first show.
    QTimer *m_startupConnectionTimer;

    QLabel *m_labelOrloStatus;
    QLabel *m_labelOrloConnect;
    QLabel *m_labelHandyConnect;

    // Set while the scanner pre-scans and measures; the window refuses to close.
    bool m_busy = false;
};
