#pragma once
// The density-balance window: a second main window in which the user picks a density chart of one template,
// measures it with the chart scanner or a handheld instrument, looks at the patch values and saves or uploads the
// result. One class in files by concern: vcadjustdensity.cpp (frame), _list (chart list), _instrument
// (connection and handheld measurement), _canvas (views, pages, zoom), _measure (model signals, scanner states,
// values and conditions), _open (opening, data save, printer upload).

#include "app/model.h"

#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QPair>

#include <functional>
#include <memory>

class CMeasureDataPrinterSave;
class CVCGraphicsView;
class CVCMeasureDataSave;
class CVCProgressMessage;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;
struct TanoSDK_PatchPosition;

namespace Ui {
class AdjustDensity;
}

class CVCAdjustDensity : public QMainWindow
{
    Q_OBJECT
public:
    CVCAdjustDensity(CModel *model, QWidget *parent = nullptr);
    ~CVCAdjustDensity() override;

    // Asks for a template and an instrument and arranges the window for them; true when it is ready to be shown.
    bool OpenAdjustDensity();
    int GetInstrumentNumber() const { return m_instrumentNumber; }

    // Enables or disables the chart list, the File and Settings menus, the page buttons and Disconnect together.
    void SetControlsEnabled(bool enabled);
    // Deletes every chart's scanner job and unchecks every chart item.
    void UncheckAllCharts();
    void ReloadChartList();
    void ConnectInstrumentActions();
    void ApplyMeasureCondition();
    void ShowSelectedPatchValues(int area, int row, int column);
    void BuildChartLayoutPageMenu(int pageCount);
    void BuildHandyChartLayoutPageMenu(int pageCount);
    void BuildMeasurePointPageMenu(int pageCount);

signals:
    void setOrloConnected(bool connected);
    void setHandyConnected(bool connected);
    void setOrloStatus(const QString &text = QString());
    void setOrloConnect(const QString &text = QString());
    void setHandyConnect(const QString &text = QString());
    void setOrloStatusStyleSheet(const QString &styleSheet = QString());
    void setMeasurementStopEnable(bool enable);
    void menuChartLayoutZoomTrigger(QAction *action);
    void menuHandyChartLayoutZoomTrigger(QAction *action);
    void menuMeasurePointZoomTrigger(QAction *action);
    void setProgressMeasurement(int value);
    void setMeasuredPatchCount(const QString &text = QString());
    void chartLayoutSetDisplay(int display);
    void handyChartLayoutSetDisplay(int display);
    void SetHandyPatchPosition(QList<TanoSDK_PatchPosition *> &positions);
    void SetHandyScanMode(bool scanMode);
    void HandyMeasurementFinished();
    void closeAdjustDensity();

public slots:
    // Frame (vcadjustdensity.cpp).
    void itemColllapsedAndExpanded();
    void actionMeasureDataSaveMenuTriggered();
    void dockChartListVisibilityChanged(bool visible);
    void dockMeasureSettingVisibilityChanged(bool visible);
    void dockMeasureDataVisibilityChanged(bool visible);
    void conditionWhiteRefChanged(int index);
    void conditionStatusChanged(int index);
    void conditionObserverChanged(int index);
    void conditionIlluminantChanged(int index);
    void restoreItemState(const QByteArray &state);
    QByteArray saveItemState() const;

    // Chart list and its interaction (vcadjustdensity_list.cpp).
    void pushAddChartClicked();
    void actionDeleteAdjustDensityTriggered();
    void actionRenameAdjustDensityTriggered();
    void actionSaveFileAdjustDensityTriggered();
    void actionSaveImageAdjustDensityTriggered();
    void actionMeasureDataSaveTriggered(const QString &fileName = QString());
    void CreateDensityChartFinished(DensityBalanceData *record);
    void CreateDensityMeasureFinished(ChartDesigMeasureData *record);
    void MeasurementFinished(int dataType, int fileId);
    void SelectDensityChartFromFileID(int fileId);
    void CheckOffDensityBalanceFromFileID(int fileId);
    void treeChartListCurrentItemChanged(QTreeWidgetItem *current);
    void treeChartListCustomContextMenuRequested(const QPoint &pos);
    void treeChartListDoubleClicked(QTreeWidgetItem *item, int column);
    void treeChartListItemChanged(QTreeWidgetItem *item, int column);

    // Instrument connection and handheld measurement (vcadjustdensity_instrument.cpp).
    void actionOrloConnectTriggered(bool findDevice = true);
    void actionOrloDisconnectTriggered();
    void actionOrloConnectDisconnectToggled(bool toggle);
    void SetOrloConnectMenuVisible(bool connected);
    void setOrloConnect(bool status);
    void actionHandyConnectTriggered();
    void actionHandyDisconnectTriggered();
    void setHandyConnect(bool status);
    void actionSettingConnectTriggered();
    void pushHandyDensitometerChartLayoutMeasurementClicked();
    void pushHandyDensitometerChartLayoutCancelClicked();
    void handyChartLayoutAllMeasurementFinished();

    // Canvas: pages, zoom, the selected patch (vcadjustdensity_canvas.cpp).
    void SetChartDisplay(ChartDefinitionDataSheets *pData, uint currentSheet, uint unit);
    void menuChartLayoutPageTriggered(QAction *action);
    void menuHandyChartLayoutPageTriggered(QAction *action);
    void menuMeasurePointPageTriggered(QAction *action);
    void menuChartLayoutZoomTriggered(QAction *action);
    void menuHandyChartLayoutZoomTriggered(QAction *action);
    void menuMeasurePointZoomTriggered(QAction *action);
    void sliderChartLayoutZoomValueChanged(int value);
    void sliderHandyChartLayoutZoomValueChanged(int value);
    void sliderMeasurePointZoomValueChanged(int value);
    void actionChartLayoutZoomIn();
    void actionChartLayoutZoomOut();
    void actionHandyChartLayoutZoomIn();
    void actionHandyChartLayoutZoomOut();
    void actionMeasurePointZoomIn();
    void actionMeasurePointZoomOut();
    void chartLayoutPaintFinished();
    void handyChartLayoutPaintFinished();
    void measurePointPaintFinished();
    void SelectPatch(int area, int row, int column);
    void ClearSelectPatchData();
    void tabChartCanvasCurrentChanged(int index);

    // Measurement, model signals and the condition tree (vcadjustdensity_measure.cpp).
    void UpdateOrloStatus(int state);
    void DisplayDensityMeasureContinue(int chartId);
    void FindDensityChartFound(int chartId);
    void MatchingMessageBox(int code);
    void ErrorMessage(int messageNumber);
    void SetPatchColorDisplay(uint index, uint count, int first, int second, int third, uint colorFormat, float v1,
                              float v2, float v3, float v4, float v5, float v6, float v7, float v8);
    void SetHandyPatchColorDisplay(uint index, uint count, int first, int second, int third, uint colorFormat,
                                   float v1, float v2, float v3, float v4, float v5, float v6, float v7, float v8,
                                   uint extra);
    void SetMeasurePointDisplay(MeasurementData *data, uint page, uint pageCount);
    void UpdateDensityChartFinished(DensityBalanceData *record);
    void UpdateDensityMeasureFinished(ChartDesigMeasureData *record);
    void SetMeasureConditionWhiteRefCurrentIndex(int index);
    void treeConditionCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void treeConditionItemChanged(QTreeWidgetItem *item, int column);

    // Opening, data save and printer upload (vcadjustdensity_open.cpp).
    void DisplayMeasureDataSave(bool addFileName = false);
    void MeasureDataPrinterSave(const QString &printerAddress, const QString &filePath);
    void measureDataPrinterSaveFinished(int networkError, int result, const QString &message);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Tests reach the members through it.
    friend class CVCAdjustDensityAccess;

    // Frame (vcadjustdensity.cpp).
    void InitWindow();
    void InitMenuActions();
    void InitProgressDisplay();
    void InitStatusBar();
    void InitConditionDock();
    void InitMeasureDataDock();
    // Reads condition block 1, lets change replace one word, stores it and shows the selected patch again.
    void StoreConditionWord(const std::function<void(Setting::MeasureConditionSetting &)> &change);
    // 7 with a current chart-list item, else 8.
    void SetListAppStatus();

    // Chart list (vcadjustdensity_list.cpp).
    void InitChartListTree();
    void BuildChartListMenus();
    QTreeWidgetItem *AddChartItem(const DensityBalanceData &record);
    QTreeWidgetItem *AddMeasureItem(QTreeWidgetItem *chartItem, const ChartDesigMeasureData &record);
    QTreeWidgetItem *FindChartItem(int chartId) const;
    // Runs change with the tree's item-changed handler taken off.
    void WithoutItemChanged(const std::function<void()> &change);
    void ConnectItemChanged();
    void ShowChartItem(QTreeWidgetItem *item);
    void ShowMeasureItem(QTreeWidgetItem *item);
    void StartMeasureRename(QTreeWidgetItem *item);
    // Whether the model holds the document id, tested at once and then after each short sleep.
    bool WaitForSelectedFile(int id) const;
    void ImportDensityChartFile();

    // Canvas (vcadjustdensity_canvas.cpp).
    void InitCanvasTabs();
    // On every paint: a tab whose "Fit in the window" is checked follows its view's size.
    void KeepFittedViews();

    // Measurement (vcadjustdensity_measure.cpp).
    void ConnectModelSignals();

    // Opening and upload (vcadjustdensity_open.cpp).
    void StartUpload(const QString &address, const QString &port, const QString &password, const QString &path);
    // After a result was saved or sent: ends a held density run and frees the sheet, or ejects the next one.
    void ReleaseScannedSheet();
    // Uploads to a stored printer; an unknown one may be registered, then the save dialog opens.
    void SaveToPrinter(const QString &printerAddress, const QString &filePath);
    // Takes queued uploads in order until one is running or none is left.
    void DrainUploads();
    // The running upload's end: its file goes; a failure warns with message and opens the save dialog.
    void EndUpload(bool succeeded, const QString &message);
    // The scanner state that arrived during the uploads, when one did.
    void ApplyDeferredOrloStatus();

    std::unique_ptr<Ui::AdjustDensity> ui;
    QMenu *m_menuChart = nullptr;
    QMenu *m_menuMeasure = nullptr;
    QMenu *m_menuMulti = nullptr;
    int m_chartLayoutPage = 0;
    int m_handyPage = 0;
    int m_measurePointPage = 0;
    CModel *m_model;
    bool m_opened = false;
    bool m_newChartDisplay = false;
    bool m_newHandyDisplay = false;
    bool m_newMeasurePointDisplay = false;
    bool m_patchSelected = false;
    int m_selectedArea = 0;
    int m_selectedRow = 0;
    int m_selectedColumn = 0;
    int m_currentTab = 0;
    CVCMeasureDataSave *m_measureDataSave = nullptr;
    QMessageBox m_noticeBox;
    CVCProgressMessage *m_progressMessage = nullptr;
    bool m_busy = false;
    int m_templateRow = -1;
    int m_instrumentNumber = -1;
    int m_templateSecondNumber = -1;
    int m_templateFirstNumber = -1;
    // The density conditions are fixed: values always use the default condition mask.
    const bool m_fixedConditions = true;

    // Status bar labels.
    QLabel *m_labelOrloStatus = nullptr;
    QLabel *m_labelOrloConnect = nullptr;
    QLabel *m_labelHandyConnect = nullptr;

    // Zoom menus of the three tabs.
    QMenu *m_menuChartLayoutZoom = nullptr;
    QMenu *m_menuHandyChartLayoutZoom = nullptr;
    QMenu *m_menuMeasurePointZoom = nullptr;

    // Handheld instrument: result of the last open or close, kind (1 Brisa, 2 Calen, 3 the Calen variant) and
    // serial number.
    int m_handyResult = 0;
    int m_handyKind = 0;
    int m_handySerial = 0;
    // The end shared by a cancelled and a finished handheld run (vcadjustdensity_instrument.cpp).
    void EndHandyMeasurement();

    // Uploads: the running one's file, the ones waiting behind it, and the last scanner state deferred meanwhile
    // (-1: none arrived).
    QString m_sentFilePath;
    QList<QPair<QString, QString>> m_pendingUploads;
    int m_lastOrloStatus = -1;
    // Set while queued uploads are being taken, so one that arrives meanwhile only joins the queue.
    bool m_drainingUploads = false;
};
