#pragma once
// Stand-in for the main window: a plain main window that answers the model signals the measurement flows wait
// for, shows the model's error reports and restores its saved geometry.

#include <QMainWindow>

class CModel;
class CVCAdjustDensity;
class QAction;

class CVCMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    CVCMainWindow(CModel *model, QWidget *parent = nullptr);
    ~CVCMainWindow() override;

    // Geometry, dock and tool-bar state and one check state from the settings, then every document is read.
    // 0, or message 3 when reading the documents fails.
    int RestoreWindowState();

    CModel *GetModel() const { return m_model; }
    CVCAdjustDensity *GetAdjustDensityWindow() const { return m_adjustDensity; }
    QAction *GetToolBarAction() const { return m_actionToolBar; }

public slots:
    void ErrorMessage(int message);
    void MatchingMessageBox(int code);
    void SelectDesigChartFromFileID(int fileId);
    void SelectDensityChartFromFileID(int fileId);
    void FindDesignationChartFound(int fileId, int pageNo);
    void FindDensityChartFound(int fileId);
    // A new scanner connection reported calibration due: the reminder decides itself whether it shows.
    void DetectPeriodCalibration();

private:
    CModel *m_model;
    CVCAdjustDensity *m_adjustDensity;
    QAction *m_actionToolBar;
};
