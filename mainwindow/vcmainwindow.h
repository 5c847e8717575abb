#pragma once
// The program's main window: the form with its menus, tool bar, docks and status bar, the long-lived dialogs it
// owns, and the rules that switch its controls as the chart scanner changes state.

#include "app/model.h"

#include <QMainWindow>
#include <QMessageBox>

#include <functional>
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
class QComboBox;
class QPaintEvent;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

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
    // programFolder: the program's folder, whose parent holds the manual (default: the application's folder).
    CVCMainWindow(CModel *model, QWidget *parent = nullptr, const QString &programFolder = QString());
    ~CVCMainWindow() override;

    // Geometry, dock and tool-bar state and the status-bar check from the settings, then every document is read.
    // 0, or message 3 when reading the documents fails.
    int RestoreWindowState();

    CModel *GetModel() const { return m_model; }
    CVCAdjustDensity *GetAdjustDensityWindow() const { return m_adjustDensity; }

    // Deletes every job registered at the scanner and unchecks every chart of the data list.
    void UncheckAllDesignationCharts();
    // True when the measurement's record count differs from its chart's patch count.
    bool IsDesignationMeasureIncomplete(int chartId, int measureId) const;

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

    // A new scanner connection reported calibration due: the reminder decides itself whether it shows.
    void DetectPeriodCalibration();

    // Instrument actions and relays (vcmainwindow_instrument.cpp).
    void actionOrloRestartTriggered();
    void actionOrloCancelTriggered();
    void actionMeasureOptionSettingTriggered();
    void actionEnvironSettingTriggered();
    void actionSettingConnectTriggered(bool displayError);
    void actionSettingNetworkTriggered();
    void actionSettingUserIlluminantTriggered();
    void actionCvcInstrumentTestTriggered();
    // Tool > density balance: hands over to the density window, which gives the window back on close.
    void actionCvcAdjustDensityTriggered();
    void CloseAdjustDensity();
    void actionHelpTriggered();
    void ErrorMessage(int message);
    // True when OK ("Measurement") started the measurement.
    bool MatchingMessageBox(int code);
    void DisplayReliableLowMessage();
    void DisplayMainWindowPatchColorUnmatchMessage();

    // Data list (vcmainwindow_datalist.cpp).
    void SelectDesigChartFromFileID(int fileId);
    void FindDesignationChartFound(int fileId, int pageNo);
    void CreateDesignationChartFinished(ChartDesigData *record);
    void UpdateDesignationChartFinished(ChartDesigData *record);
    void CreateDesignationMeasureFinished(ChartDesigMeasureData *record);
    void UpdateDesignationMeasureFinished(ChartDesigMeasureData *record);
    void CreateRecognitionMeasureFinished(ChartRecogData *record);
    void UpdateRecognitionMeasureFinished(ChartRecogData *record);
    void SetDesignationMeasureItemBackColor(int fileId);
    void CheckOffDesigChartFromFileID(int fileId);
    void UpdateDatalistColumn(const Setting::DisplayDatalistColumn &columns);
    void MeasurementFinished(int dataType, int fileId);
    void ReadDesignationChartFinished(QList<ChartDesigData> charts, QList<ChartDesigMeasureData> measures);
    void ReadRecognitionMeasureFinished(QList<ChartRecogData> measures);
    void treeDesignationItemChanged(QTreeWidgetItem *item, int column);
    void treeDesignationDoubleClicked(QTreeWidgetItem *item, int column);
    void treeDesignationCustomContextMenuRequested(const QPoint &pos);
    void treeRecognitionItemChanged(QTreeWidgetItem *item, int column);
    void treeRecognitionDoubleClicked(QTreeWidgetItem *item, int column);
    void treeRecognitionCustomContextMenuRequested(const QPoint &pos);
    void menuDiameterDesignationTriggered(QAction *action);
    void itemColllapsedAndExpanded();
    void actionRenameDesignationTriggered();
    void actionRenameRecognitionTriggered();
    void actionDeleteDesignationTriggered();
    void actionDeleteRecognitionTriggered();

    // Chart display (vcmainwindow_display.cpp).
    void treeDesignationCurrentItemChanged(QTreeWidgetItem *item);
    void treeRecognitionCurrentItemChanged(QTreeWidgetItem *item);
    void menuChartLayoutZoomTriggered(QAction *action);
    void menuMeasuredPointZoomTriggered(QAction *action);
    void sliderChartLayoutZoomValueChanged(int value);
    void sliderMeasuredPointZoomValueChanged(int value);
    void actionChartLayoutZoomIn();
    void actionChartLayoutZoomOut();
    void actionMeasuredPointZoomIn();
    void actionMeasuredPointZoomOut();
    void chartLayoutPaintFinished();
    void measurePointPaintFinished();
    void ClearSelectPatchData();
    void ClearMeasuredPatchCount();
    // The page the scanner recognised, 1-based; 116 for a null chart, drawing nothing.
    int SetChartDisplay(ChartDefinitionDataSheets *pData, uint currentSheet, uint unit, uint allPatchNumber,
                        uint meausreMethod);
    void SetMeasuredPointDisplay(MeasurementData *pData, uint currentSheet, uint chartSheets);
    void SetPatchColorDisplay(uint measuredIndex, uint allPatchNumber, int area, int row, int column,
                              uint colorSpace, float color1, float color2, float color3, float color4, float color5,
                              float color6, float color7, float color8);
    // measureCurrentPageNo: 0-based entry of the current designation measurement.
    void SetDesignationErrorDisplay(int measureCurrentPageNo);
    void UpdatedBarcodeData();
    void menuChartLayoutPageTriggered(QAction *action);
    void menuMeasuredPointPageTriggered(QAction *action);
    void SelectPatch(int area, int row, int column);
    void pushMeasuredPointModifyPatchClicked();

    // Measurement settings (vcmainwindow_conditions.cpp).
    void treeConditionItemChanged(QTreeWidgetItem *item, int column);
    void treeConditionCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void conditionWhiteRefChanged(int index);
    void conditionStatusChanged(int index);
    void conditionObserverChanged(int index);
    void conditionIlluminantChanged(int index);
    void setMeasureSettingWhiteRefCurrentIndex(int index);

    // File actions (vcmainwindow_files.cpp).
    void actionFileNewChartTriggered();
    void actionFileOpenTriggered();
    void actionModifyDesignationTriggered();
    void actionRegisterChartRecognitionTriggered();
    void actionSaveFileDesignationTriggered();
    void actionSaveImageDesignationTriggered();
    void actionFileSaveMeasureDataTriggered();

protected:
    void paintEvent(QPaintEvent *event) override;
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

    // Data list: context menus, tree signals.
    void ConnectDataListSignals();
    void BuildDataListMenus();
    // Runs change with the tree's item-changed handler disconnected, so that only the user's own checks and
    // edits reach it.
    void WithoutItemChanged(QTreeWidget *tree, const std::function<void()> &change);
    void ConnectItemChanged(QTreeWidget *tree);
    QTreeWidgetItem *FindChartItem(int chartId) const;
    // Makes the chart's item current, which selects the chart in the model; false when it is not listed.
    bool MakeChartItemCurrent(int chartId);
    void ApplyDatalistColumns(QTreeWidget *tree, const Setting::DisplayDatalistColumn &columns);
    void ApplyUserDatalistColumns(QTreeWidget *tree);
    void ResizeDatalistColumns(QTreeWidget *tree);
    void SetItemTextsQuietly(QTreeWidget *tree, QTreeWidgetItem *item, const QStringList &texts);
    void StartItemRename(QTreeWidget *tree, QTreeWidgetItem *item);
    void PopupDatalistMenu(QTreeWidget *tree, QMenu *menu, const QPoint &pos);
    // Makes the item the model's selected file; false when the model has not taken it after a short wait.
    bool SelectItemForChange(QTreeWidgetItem *item, int id);
    int HandleChartItemChange(QTreeWidgetItem *item);
    bool ConfirmDelete();

    // The five "Measurement Area" entries, modes 0 to 4.
    QList<QAction *> m_diameterActions;
    QAction *m_registerRecognitionMulti = nullptr;

    // Chart display: zoom and page controls of both tabs, the measurement-data tree.
    void ConnectChartCanvasSignals();
    void ConnectMeasureDataSignals();
    // The page buttons' menus from 1-based page numbers of a document of pageCount pages; a single page gets no
    // menu. The tab's current page becomes the first page's index.
    void BuildChartLayoutPageMenu(const QList<unsigned> &pages, int pageCount);
    void BuildMeasuredPointPageMenu(const QList<unsigned> &pages, int pageCount);
    // Draws a 1-based page of the chart in Chart Layout, with its QR code when the chart has one. False, drawing
    // nothing, when the chart has no such page.
    bool DrawChartLayoutPage(const ChartDefinitionDataSheets *chart, int page);
    // Before another document is shown: empty views, page buttons and patch display, and the measurement's
    // controls disabled.
    void ResetChartCanvas();
    // Checks only the entry of the 1-based page in the button's page menu.
    void CheckPageEntry(QPushButton *button, int page);
    // The entry of the buffer's measurement that holds the 1-based page; -1 when none does.
    int MeasuredEntryIndex(int page);
    // Draws the measurement entry of the 1-based page in Measured Point; with none the view is reset.
    void DrawMeasuredPointPage(int page);
    // Empties the spectral graph; tall gives the 0 to 1.5 scale for reflectances above 1.
    void ClearSpectrumGraph(bool tall);
    // After a condition changed: the selected patch's values again.
    void ReshowSelectedPatch();

    QMenu *m_menuChartLayoutZoom = nullptr;
    QMenu *m_menuMeasuredPointZoom = nullptr;

    // Measurement settings: the condition tree, and block 0 written into it at the first show.
    void ConnectMeasureSettingSignals();
    void WriteMeasureConditionToTree();
    // Stores one word of block 0 once the window has been shown; a negative value (no entry chosen) is dropped.
    void StoreMeasureConditionWord(int Setting::MeasureConditionSetting::*word, int value);

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

    // Display state: 0-based pages on screen in both tabs, the selected patch, and whether the next paint of a tab
    // fits its new page into the view.
    int m_currentPage = 0;
    int m_currentMeasuredPage = 0;
    bool m_patchSelected = false;
    int m_selectedArea = 0;
    int m_selectedRow = 0;
    int m_selectedColumn = 0;
    bool m_chartLayoutPaintPending = false;
    bool m_measuredPointPaintPending = false;

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

    // Instrument actions and relays (vcmainwindow_instrument.cpp).
    // Tests reach the restart state through it.
    friend class CVCMainWindowAccess;
    void ConnectInstrumentSignals();
    void RunSettingsDialog(int page);
    QString m_programFolder;
    // Set by the colour-mismatch warning: the next Restart continues the stopped run, the next Cancel only stops.
    bool m_restartFlag = false;
    // 0: Restart starts the measurement; 1: it re-runs patch recognition after the measured points were edited.
    int m_restartMode = 0;
    // The scanner was disconnected for the density window's handheld instrument and reconnects when it closes.
    bool m_reconnectAfterDensity = false;

    // File actions (vcmainwindow_files.cpp).
    void ConnectFileSignals();
    // The last folder while it exists, else the program's folder under the user's documents.
    QString FileDialogStartFolder() const;
    // Open's file dialog, both import stages and the new chart.
    void ImportChartFile();
};
