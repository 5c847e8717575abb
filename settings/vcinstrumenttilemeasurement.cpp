#include "settings/vcinstrumenttilemeasurement.h"

#include "ui_instrumenttilemeasurementdialog.h"

#include "app/diagnosedata.h"
#include "app/instrumentrecords.h"
#include "app/model.h"
#include "app/widgets/uipresenter.h"

#include "OrloSDK.h"

#include <QDialogButtonBox>
#include <QPixmap>
#include <QThread>

#include <algorithm>

namespace {

static_assert(kInstrumentValueCount == ORLO_BLOCK_SIZE, "one scanner result block per tile");

constexpr int kStripTiles = 7;
constexpr int kWaitMs = 500;
constexpr int kStatusReads = 50;
constexpr int kStatusPauseMs = 100;
constexpr int kStateReady = 1;
constexpr int kStateCoverOpen = 101;
constexpr int kMeasureFailed = 5004;
constexpr int kMessageMeasureFailed = 39;
// Condition M1 (light source D50), illuminant D50, 2-degree observer: what the standard-value file names.
constexpr int kConditionM1 = 1;
constexpr int kIlluminantD50 = 2;
constexpr int kObserver2 = 0;

QString StripPicture(int strip)
{
    return strip == 1 ? QStringLiteral(":/CVaremo/Resource/tile1.png") : QStringLiteral(":/CVaremo/Resource/tile2.png");
}

// The pause between status reads unless a test sets its own.
void SleepMs(unsigned long ms)
{
    QThread::msleep(ms);
}

} // namespace

CVCInstrumentTileMeasurement::CVCInstrumentTileMeasurement(CModel *model, QWidget *parent)
    : CVCDialog(parent),
      ui(new Ui::InstrumentTileMeasurementDialog),
      m_model(model),
      m_blocks(new float[size_t(kTileCount) * kInstrumentValueCount]()),
      m_results(new TileResultRecord[kTileCount]()),
      m_pause(SleepMs),
      m_waitTimer(this),
      m_busyBox(this)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    Initialize();
}

CVCInstrumentTileMeasurement::~CVCInstrumentTileMeasurement() = default;

void CVCInstrumentTileMeasurement::Initialize()
{
    SetButtonBox();
    connect(ui->pushBack, &QPushButton::clicked, this, &CVCInstrumentTileMeasurement::pushBackClicked);
    connect(ui->pushMeasurement, &QPushButton::clicked, this, &CVCInstrumentTileMeasurement::pushMeasurementClicked);

    m_waitTimer.setObjectName(QStringLiteral("waitTimer"));
    m_waitTimer.setSingleShot(true);
    m_waitTimer.setInterval(kWaitMs);
    connect(&m_waitTimer, &QTimer::timeout, this, &CVCInstrumentTileMeasurement::waitTimeout);

    m_busyBox.setObjectName(QStringLiteral("busyBox"));
    // Without an explicit "none" the box adds an OK button when shown.
    m_busyBox.setStandardButtons(QMessageBox::NoButton);
    m_busyBox.setText(tr("Now measuring..."));
    m_busyBox.setWindowModality(Qt::ApplicationModal);
    m_busyBox.setWindowFlags(m_busyBox.windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
    m_busyBox.hide();
}

void CVCInstrumentTileMeasurement::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushMeasurement, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    box->addButton(ui->pushBack, QDialogButtonBox::DestructiveRole);
    ui->hLayoutFooter->addWidget(box);
}

TileResultRecord *CVCInstrumentTileMeasurement::GetTileResults()
{
    return m_results.get();
}

void CVCInstrumentTileMeasurement::SetPauseFunction(PauseFunction pause)
{
    m_pause = pause ? std::move(pause) : PauseFunction(SleepMs);
}

int CVCInstrumentTileMeasurement::exec()
{
    ResetToFirstStrip();
    m_busyBox.hide();
    const int result = QDialog::exec();
    // A wait still pending must not measure for a dialog that has gone.
    m_waitTimer.stop();
    m_busyBox.hide();
    return result;
}

void CVCInstrumentTileMeasurement::pushBackClicked()
{
    ResetToFirstStrip();
}

void CVCInstrumentTileMeasurement::pushMeasurementClicked()
{
    m_lastResult = 0;
    if (!m_model->IsOrloConnected()) {
        m_lastResult = m_model->ConnectOrlo(true);
        if (m_lastResult != 0)
            return;
    }
    if (!WaitUntilReady())
        return;

    SetButtonsEnabled(false);
    m_waitTimer.start();
    m_busyBox.show();
}

void CVCInstrumentTileMeasurement::waitTimeout()
{
    const int step = m_step;
    const int result = MeasureStrip(step == 1 ? 0 : kStripTiles);
    if (result == 0 && step == 1) {
        ShowStrip(2);
        ui->pushBack->show();
        m_step = 2;
    }
    SetButtonsEnabled(true);
    ui->pushMeasurement->setFocus();
    m_busyBox.hide();
    m_lastResult = result;
    if (result != 0)
        m_model->ReportError(result, kMessageMeasureFailed, false);
    else if (step == 2)
        done(QDialog::Accepted);
}

void CVCInstrumentTileMeasurement::ResetToFirstStrip()
{
    m_step = 1;
    ui->pushBack->hide();
    ui->pushBack->setEnabled(true);
    ShowStrip(1);
    ui->pushMeasurement->setFocus();
}

void CVCInstrumentTileMeasurement::ShowStrip(int strip)
{
    ui->labelMessage->setText(strip == 1 ? tr("Please open cover of Orlo and set Tile Strip No.1.\n"
                                              "After setting, please close the cover.")
                                         : tr("Please open cover of Orlo and set Tile Strip No.2.\n"
                                              "After setting, please close the cover."));
    ui->labelImage->setPixmap(QPixmap(StripPicture(strip)));
}

void CVCInstrumentTileMeasurement::SetButtonsEnabled(bool enabled)
{
    ui->pushMeasurement->setEnabled(enabled);
    ui->cancelButton->setEnabled(enabled);
    if (m_step == 2)
        ui->pushBack->setEnabled(enabled);
}

bool CVCInstrumentTileMeasurement::WaitUntilReady()
{
    // Bounded: a scanner that stays busy must not hold the GUI thread for ever.
    OrloStatusRecord status{};
    for (int read = 1;; ++read) {
        const int result = m_model->GetOrloStatus(&status);
        if (result != 0) {
            m_lastResult = result;
            m_model->ReportError(result, kMessageMeasureFailed, false);
            return false;
        }
        if (status.State == kStateReady)
            return true;
        if (status.State == kStateCoverOpen) {
            // The user closes the cover and presses Measurement again.
            CUiPresenter::Current().Warn(this, tr("Cover is opened."));
            return false;
        }
        if (read == kStatusReads) {
            m_lastResult = kMeasureFailed;
            m_model->ReportError(kMeasureFailed, kMessageMeasureFailed, false);
            return false;
        }
        m_pause(kStatusPauseMs);
    }
}

int CVCInstrumentTileMeasurement::MeasureStrip(int firstTile)
{
    float *raw = m_blocks.get() + size_t(firstTile) * kInstrumentValueCount;
    if (JIG_TileMeasurement(raw, kStripTiles) != 0)
        return kMeasureFailed;

    // Into a copy first: a strip with one failed calculation must leave the earlier results whole.
    TileResultRecord strip[kStripTiles];
    float block[kInstrumentValueCount];
    for (int t = 0; t < kStripTiles; ++t) {
        const int tile = firstTile + t;
        TileResultRecord &record = strip[t];
        record = m_results[tile];
        std::copy_n(raw + size_t(t) * kInstrumentValueCount, kInstrumentValueCount, block);
        record.TileId = tile;
        int result = m_model->CalculateTileColor(record.MeasuredLab, block, kConditionM1, kIlluminantD50, kObserver2);
        if (result != 0)
            return result;
        result = m_model->CalculateReflectanceSpectrum(record.MeasuredReflectance, block, kConditionM1);
        if (result != 0)
            return result;
    }
    std::copy_n(strip, kStripTiles, m_results.get() + firstTile);
    return 0;
}
