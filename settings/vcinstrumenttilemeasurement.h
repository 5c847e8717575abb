#pragma once
// Measures the 14 reference tiles on the chart scanner, in two strips of seven.

#include "chart/vcdialog.h"

#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>

struct TileResultRecord;
class CModel;

namespace Ui {
class InstrumentTileMeasurementDialog;
}

class CVCInstrumentTileMeasurement : public CVCDialog
{
    Q_OBJECT
public:
    using PauseFunction = std::function<void(unsigned long ms)>;

    CVCInstrumentTileMeasurement(CModel *model, QWidget *parent);
    ~CVCInstrumentTileMeasurement() override;

    // The 14 results of the last successful measurement, in tile order; owned by the dialog.
    TileResultRecord *GetTileResults();

    // The wait between two status reads while the scanner is not ready (default QThread::msleep).
    void SetPauseFunction(PauseFunction pause);
    // The code the last Measurement press or strip measurement reported, 0 when it went through.
    int LastResult() const { return m_lastResult; }

public slots:
    // 1 after both strips were measured, 0 when cancelled.
    int exec() override;
    void pushBackClicked();
    void pushMeasurementClicked();
    void waitTimeout();

private:
    void Initialize();
    void SetButtonBox();
    void ResetToFirstStrip();
    void ShowStrip(int strip);
    void SetButtonsEnabled(bool enabled);
    // True when the scanner reports ready; false after the failure was reported or the cover box shown.
    bool WaitUntilReady();
    int MeasureStrip(int firstTile);

    std::unique_ptr<Ui::InstrumentTileMeasurementDialog> ui;
    CModel *m_model;
    int m_step = 0;
    int m_lastResult = 0;
    std::unique_ptr<float[]> m_blocks;
    std::unique_ptr<TileResultRecord[]> m_results;
    PauseFunction m_pause;
    QTimer m_waitTimer;
    QMessageBox m_busyBox;
};
