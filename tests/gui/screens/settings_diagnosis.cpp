// The instrument diagnosis over the program's model and the simulated scanner: the standard values measured on
// the reference tiles with both steps of the tile measurement, the tolerances, and a diagnosis that passed once
// and failed once, whose report is written beside the pictures. Each dialog runs its real modal loop (the tile
// measurement nested in the one that opens it), is shot from inside it and closed with Escape; the standard
// values are kept with OK, as the later diagnosis needs them.
#include "screenshooter.h"

#include "app/diagnosedata.h"
#include "app/model.h"
#include "scriptedpresenter.h"
#include "settings/vcinstrumentstandardvaluesetting.h"
#include "settings/vcinstrumenttest.h"
#include "settings/vcinstrumenttilemeasurement.h"
#include "settings/vcinstrumenttolerancesetting.h"

#include "OrloSim.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <vector>

namespace {

constexpr int kExposeTimeoutMs = 10000;
constexpr int kRed = 6;
constexpr float kRedLightnessShift = 1.5f; // above RED's dL* and dE00 defaults, below its dE*ab one
const char kEntryName[] = "settings_diagnosis";


// Clicks the button that opens owner's tile measurement and runs script inside the measurement's own loop.
bool RunTileMeasurement(QDialog *owner, const char *button, const DialogScript &script)
{
    auto *tile = owner->findChild<CVCInstrumentTileMeasurement *>(QString(), Qt::FindDirectChildrenOnly);
    auto *push = owner->findChild<QPushButton *>(QString::fromLatin1(button));
    if (!tile || !push)
        return ScreenFailed(QStringLiteral("no tile measurement behind ") + QString::fromLatin1(button));
    bool ok = false;
    bool shown = false;
    QTimer::singleShot(0, tile, [&] {
        shown = true;
        ok = QTest::qWaitForWindowExposed(tile, kExposeTimeoutMs) ? script(tile)
                                                                  : ScreenFailed(QStringLiteral("tile: not exposed"));
        if (tile->isVisible()) {
            if (ok)
                ok = ScreenFailed(QStringLiteral("tile: the measurement did not end"));
            tile->reject();
        }
    });
    QTest::mouseClick(push, Qt::LeftButton);
    return shown ? ok : ScreenFailed(QStringLiteral("tile: the measurement was not shown"));
}

// One strip on the simulated scanner; the 500 ms wait is run at once.
bool MeasureStrip(QDialog *dialog, int strip)
{
    auto *tile = qobject_cast<CVCInstrumentTileMeasurement *>(dialog);
    auto *timer = dialog->findChild<QTimer *>(QStringLiteral("waitTimer"));
    auto *push = dialog->findChild<QPushButton *>(QStringLiteral("pushMeasurement"));
    if (!tile || !timer || !push)
        return ScreenFailed(QStringLiteral("tile: no Measurement"));
    OrloSim_SetTileStrip(strip);
    QTest::mouseClick(push, Qt::LeftButton);
    if (!timer->isActive())
        return ScreenFailed(QStringLiteral("tile: strip %1 not started (%2)").arg(strip + 1).arg(tile->LastResult()));
    timer->stop();
    tile->waitTimeout();
    if (tile->LastResult() != 0)
        return ScreenFailed(QStringLiteral("tile: strip %1 failed with %2").arg(strip + 1).arg(tile->LastResult()));
    return true;
}

bool MeasureBothStrips(QDialog *tile)
{
    return MeasureStrip(tile, 0) && MeasureStrip(tile, 1);
}

bool ConnectScanner(CModel *model)
{
    Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
    record.SpecifyDevice = 0;
    record.ConnectionKind = 0;
    record.Port = QStringLiteral("usb0");
    record.DeviceName = QStringLiteral("ORS00001");
    if (model->SetConnectSetting(record) != 0)
        return ScreenFailed(QStringLiteral("connection setting not stored"));
    if (!model->IsOrloConnected() && model->ConnectOrlo(false) != 0)
        return ScreenFailed(QStringLiteral("scanner not connected"));
    return true;
}

// The standard values from a tile measurement, both of its steps shot on the way; OK keeps them.
bool StandardValues(ScreenShooter &shooter)
{
    CVCInstrumentStandardValueSetting dialog(shooter.Model(), shooter.MainWindow());
    const auto measure = [&shooter](QDialog *d) {
        auto *radio = d->findChild<QRadioButton *>(QStringLiteral("radioMeasurement"));
        if (!radio)
            return ScreenFailed(QStringLiteral("standard_value: no Tile Measurement choice"));
        QTest::mouseClick(radio, Qt::LeftButton);
        return RunTileMeasurement(d, "pushMeasurement", [&shooter](QDialog *tile) {
            return shooter.Capture(QStringLiteral("tile_step1"), {}) && MeasureStrip(tile, 0)
                   && shooter.Capture(QStringLiteral("tile_step2"), {}) && MeasureStrip(tile, 1);
        });
    };
    const auto keep = [](QDialog *d) {
        if (auto *ok = d->findChild<QPushButton *>(QStringLiteral("pushOK")))
            QTest::mouseClick(ok, Qt::LeftButton);
    };
    if (!ShootModalDialog(shooter, &dialog, QStringLiteral("standard_value"), measure, keep))
        return false;
    unsigned int count = 0;
    const StandardValueRecord *records = nullptr;
    shooter.Model()->GetStandardValues(&count, &records);
    return count == unsigned(kTileCount) || ScreenFailed(QStringLiteral("standard_value: values not stored"));
}

// A first diagnosis passes: the tiles measure as their standard values. Its opening stores the shipped
// tolerances.
bool FirstDiagnosis(ScreenShooter &shooter)
{
    CVCInstrumentTest dialog(shooter.Model(), shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, QString(), [](QDialog *d) {
        return RunTileMeasurement(d, "pushInspection", MeasureBothStrips);
    });
}

// Standard values whose RED lies lighter than the tile now measures, as after a tile set was exchanged.
bool RaiseRedStandard(CModel *model)
{
    unsigned int count = 0;
    const StandardValueRecord *records = nullptr;
    model->GetStandardValues(&count, &records);
    std::vector<StandardValueRecord> raised(records, records + count);
    if (raised.size() != size_t(kTileCount))
        return ScreenFailed(QStringLiteral("diagnosis: no standard values"));
    raised[kRed].Lab[0] += kRedLightnessShift;
    return model->SetStandardValues(count, raised.data()) == 0
           || ScreenFailed(QStringLiteral("diagnosis: standard values not stored"));
}

bool Tolerances(ScreenShooter &shooter)
{
    CVCInstrumentToleranceSetting dialog(shooter.Model(), shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, QStringLiteral("tolerance"), nullptr);
}

// Export result as the user presses it; the file dialog is answered with a name in the pictures' folder.
bool ExportShownEntry(QDialog *d, const QString &folder)
{
    auto *history = d->findChild<QTableWidget *>(QStringLiteral("tableVerificationHistory"));
    auto *push = d->findChild<QPushButton *>(QStringLiteral("pushResultExport"));
    if (!history || !push || history->currentRow() < 0)
        return ScreenFailed(QStringLiteral("diagnosis: no entry to export"));
    const QString path = folder + QLatin1Char('/') + history->item(history->currentRow(), 0)->text()
                         + QStringLiteral("_Result.csv");
    if (!QDir().mkpath(folder))
        return ScreenFailed(QStringLiteral("cannot make ") + folder);
    QFile::remove(path);
    ScriptedPresenter save;
    save.ExpectSaveFile(QStringLiteral("Save"), path);
    QTest::mouseClick(push, Qt::LeftButton);
    if (!save.Done())
        return ScreenFailed(QStringLiteral("diagnosis: export: ") + save.Problems());
    return QFileInfo(path).size() > 0 || ScreenFailed(QStringLiteral("diagnosis: no report at ") + path);
}

// The second diagnosis fails on RED: the history holds one "OK" and one "NG" entry, the failed one shown.
bool SecondDiagnosis(ScreenShooter &shooter)
{
    CVCInstrumentTest dialog(shooter.Model(), shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, QStringLiteral("diagnosis"), [&shooter](QDialog *d) {
        if (!RunTileMeasurement(d, "pushInspection", MeasureBothStrips))
            return false;
        auto *history = d->findChild<QTableWidget *>(QStringLiteral("tableVerificationHistory"));
        if (!history || history->rowCount() != 2 || history->item(0, 2)->text() != QStringLiteral("OK")
            || history->item(1, 2)->text() != QStringLiteral("NG"))
            return ScreenFailed(QStringLiteral("diagnosis: the history is not one OK and one NG entry"));
        return ExportShownEntry(d, shooter.OutDir());
    });
}

const ScreenEntry kEntry(kEntryName, [](ScreenShooter &shooter) {
    CModel *model = shooter.Model();
    const int status = model->GetOperationState();
    model->SetAppStatus(CModel::StatusInstrumentTest);
    const bool ok = ConnectScanner(model) && StandardValues(shooter) && FirstDiagnosis(shooter)
                    && RaiseRedStandard(model) && Tolerances(shooter) && SecondDiagnosis(shooter);
    model->SetAppStatus(status);
    return ok;
});

} // namespace
