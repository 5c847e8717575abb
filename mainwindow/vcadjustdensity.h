#pragma once
// Stand-in for the density-balance window: hidden, it only answers the model's density error reports and
// chart-matching warnings and selects the density chart the model names.

#include <QWidget>

class CModel;

class CVCAdjustDensity : public QWidget
{
    Q_OBJECT
public:
    CVCAdjustDensity(CModel *model, QWidget *parent = nullptr);

public slots:
    void ErrorMessage(int message);
    void MatchingMessageBox(int code);
    void SelectDensityChartFromFileID(int fileId);
    void FindDensityChartFound(int fileId);

private:
    CModel *m_model;
};
