#pragma once
// A model over a temporary data folder, the simulated chart scanner in manual delivery and the simulated
// handheld, with a window double that records what the model shows and acknowledges it; and builders of the
// charts, runs and records the model and view tests start from.

#include "app/databuffer.h"
#include "app/language.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "modelaccess.h"

#include "OrloSim.h"
#include "PellSim.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

class WindowDouble : public QObject
{
    Q_OBJECT
public:
    explicit WindowDouble(CModel *model) : m_model(model)
    {
        connect(model, &CModel::ErrorMessage, this, &WindowDouble::ErrorMessage);
        connect(model, &CModel::ErrorMessageDensity, this, &WindowDouble::ErrorMessageDensity);
        connect(model, &CModel::MatchingMessageBox, this, [this](int code) { matchingWarnings << code; });
        connect(model, &CModel::MatchingMessageBoxDensity, this,
                [this](int code) { densityMatchingWarnings << code; });
    }
    QList<int> errors;
    QList<int> densityErrors;
    QList<int> matchingWarnings;
    QList<int> densityMatchingWarnings;
    QList<QThread *> threads;

public slots:
    void ErrorMessage(int message)
    {
        threads << QThread::currentThread();
        errors << message;
        m_model->AcknowledgeError();
    }
    void ErrorMessageDensity(int message)
    {
        threads << QThread::currentThread();
        densityErrors << message;
        m_model->AcknowledgeError();
    }

private:
    CModel *m_model;
};

struct ModelFixture {
    QTemporaryDir home;
    QStringList arguments{QStringLiteral("Varemo")};
    std::unique_ptr<CLanguage> language;
    std::unique_ptr<CModel> model;
    std::unique_ptr<WindowDouble> window;

    // A fresh per-user world for every model: data, settings and the documents folder (under HOME), the
    // handheld plugged in (model 200, serial 1234567). With a program folder the model gets a language object
    // that finds its translation files there (an empty folder: the program's own). The installation files come
    // from installFolder, by default the program's folder.
    bool Make(bool initialize = true, const std::optional<QString> &languageProgramFolder = std::nullopt,
              const QString &installFolder = QString())
    {
        window.reset();
        model.reset();
        language.reset();
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        qputenv("HOME", (home.path() + QStringLiteral("/home")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
        // Initialize makes the last-used and export folders under Documents: never the real one.
        if (!QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).startsWith(home.path() + '/'))
            return false;
        OrloSim_Reset();
        OrloSim_SetDelivery(OrloSim_Manual);
        PellSim_Reset();
        PellSim_SetPresent(1); // whatever PELL_SIM_ABSENT says
        if (languageProgramFolder)
            language.reset(new CLanguage(nullptr, *languageProgramFolder));
        model.reset(new CModel(language.get(), &arguments));
        window.reset(new WindowDouble(model.get()));
        return !initialize || model->Initialize(installFolder) == 0;
    }

    ~ModelFixture()
    {
        window.reset();
        model.reset();
        language.reset();
    }

    int ConnectUsb()
    {
        Setting::ConnectSetting record = CModelAccess::ApplicationData(*model)->GetConnectionSetting();
        record.ConnectionKind = 0;
        record.Port = QStringLiteral("usb0");
        record.DeviceName = QStringLiteral("ORS00001");
        CModelAccess::ApplicationData(*model)->SetConnectionSetting(record);
        return model->ConnectOrlo(false);
    }
};

// A stored light source of one flat value.
inline EnvironLightData Light(const QString &name, float value)
{
    EnvironLightData record;
    record.Name = name;
    record.Date = QStringLiteral("20230405060708");
    std::fill(std::begin(record.Values), std::end(record.Values), value);
    return record;
}

// One page of rows x columns RGB patches in one area; the caller frees it with ClearChartDefinitionData.
inline void MakeChart(ChartDefinitionDataSheets *chart, int pages, int rows, int columns, int barcode = 0)
{
    InitChartDefinitionData(chart);
    chart->Kind = 0;
    chart->SheetCount = pages;
    chart->ChartName = QStringLiteral("Chart");
    chart->Barcode = barcode;
    chart->Recog = 1;
    chart->Diameter = 1;
    chart->Sheets = NewChartSheets(size_t(pages));
    int id = 1;
    for (int p = 0; p < pages; ++p) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[p];
        sheet.Width = 20000;
        sheet.Height = 15000;
        sheet.AreaCount = 1;
        sheet.Areas[0] = {rows, columns, rows * columns};
        sheet.Placements[0] = {1000, 1000, 1000, 1000, 1200, 1200};
        sheet.PatchCount = rows * columns;
        sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                ChartDefinitionData::PatchColor &patch = sheet.Patches[r * columns + c];
                patch.ID = id++;
                patch.Area = 0;
                patch.Row = r;
                patch.Column = c;
                patch.ColorFormat = 1;
                patch.ColorValue[0] = float(20 * r);
                patch.ColorValue[1] = float(30 * c);
                patch.ColorValue[2] = 255.0f;
            }
        }
        chart->ChartPatchCount += sheet.PatchCount;
    }
}

// Creates a designation chart through the model and returns its id (0 on failure).
inline int CreateChart(CModel *model, int pages, int rows, int columns, int barcode = 0)
{
    ChartDefinitionDataSheets chart;
    MakeChart(&chart, pages, rows, columns, barcode);
    const int before = model->GetDesignationCharts()->size();
    const int result = model->CreateDesignationChart(&chart);
    ClearChartDefinitionData(&chart);
    if (result != 0 || model->GetDesignationCharts()->size() != before + 1)
        return 0;
    return model->GetDesignationCharts()->last().ID;
}

// Ink amounts (C, M, Y, K) of patch k of page p, in 1/255 steps so a printed sheet holds them exactly.
struct PatchInkSet {
    float c, m, y, k;
};
inline PatchInkSet PatchInks(int page, int k)
{
    const auto step = [](int n) { return float(n % 200) / 255.0f; };
    return {step(37 * k + 11 * page), step(53 * k + 7), step(29 * k + 100), float((k % 3) * 20) / 255.0f};
}

// A chart with the given pages (areas as the simulator prints them, 200 x 150 mm) and CMYK patches from
// PatchInks; the caller frees it with ClearChartDefinitionData. A chart with a QR code needs a name without "_".
inline void MakePrintableChart(ChartDefinitionDataSheets *chart, const QString &name,
                               const QVector<QVector<OrloSimArea>> &pages, int barcode = 1)
{
    InitChartDefinitionData(chart);
    chart->Kind = 0;
    chart->ChartName = name;
    chart->Barcode = barcode;
    chart->Recog = 1;
    chart->Diameter = 1;
    chart->SheetCount = pages.size();
    chart->Sheets = NewChartSheets(size_t(chart->SheetCount));
    int id = 1;
    for (int p = 0; p < chart->SheetCount; ++p) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[p];
        const QVector<OrloSimArea> &areas = pages.at(p);
        sheet.Width = 20000;
        sheet.Height = 15000;
        sheet.AreaCount = areas.size();
        for (int a = 0; a < areas.size(); ++a) {
            const OrloSimArea &area = areas.at(a);
            sheet.Areas[a] = {area.rows, area.columns, area.rows * area.columns};
            sheet.Placements[a] = {area.left, area.top, area.patchWidth, area.patchHeight, area.pitchX, area.pitchY};
            sheet.PatchCount += area.rows * area.columns;
        }
        sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
        int k = 0;
        for (int a = 0; a < areas.size(); ++a) {
            for (int r = 0; r < areas.at(a).rows; ++r) {
                for (int c = 0; c < areas.at(a).columns; ++c, ++k) {
                    const PatchInkSet inks = PatchInks(p, k);
                    ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
                    patch.ID = id++;
                    patch.Area = a;
                    patch.Row = r;
                    patch.Column = c;
                    patch.ColorFormat = ChartDefinitionData::FormatCMYK;
                    patch.ColorValue[0] = inks.c * 100.0f;
                    patch.ColorValue[1] = inks.m * 100.0f;
                    patch.ColorValue[2] = inks.y * 100.0f;
                    patch.ColorValue[3] = inks.k * 100.0f;
                }
            }
        }
        chart->ChartPatchCount += sheet.PatchCount;
    }
}

// Prints page p of a chart made by MakePrintableChart, with its QR code unless withQr is false, and puts it
// into the scanner's feeder; 0 on success.
inline int InsertPrintedPage(const ChartDefinitionDataSheets &chart, int p, bool withQr = true)
{
    if (!chart.Sheets || p < 0 || p >= chart.SheetCount)
        return -1;
    const ChartDefinitionData::Sheet &sheet = chart.Sheets[p];
    std::vector<OrloSimArea> areas;
    for (int a = 0; a < sheet.AreaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &g = sheet.Placements[a];
        areas.push_back({sheet.Areas[a].RowCount, sheet.Areas[a].ColumnCount, g.LeftTopX, g.LeftTopY, g.PatchWidth,
                         g.PatchHeight, g.PatchWidthGap, g.PatchHeightGap});
    }
    std::vector<float> inks;
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const float *v = sheet.Patches[k].ColorValue;
        inks.insert(inks.end(), {v[0] / 100.0f, v[1] / 100.0f, v[2] / 100.0f, v[3] / 100.0f});
    }
    SheetInfoRecord record;
    FillSheetInfoRecord(&record, chart, p);
    std::memcpy(record.ModelText, "Orlo", 4);
    std::memcpy(record.DeviceCode, "0000", 4);
    const OrloSimSheet printed = {sheet.Width, sheet.Height, int32_t(areas.size()), areas.data(), inks.data(),
                                  withQr ? reinterpret_cast<const uint8_t *>(&record) : nullptr, 12000, 2000, 0};
    return OrloSim_InsertSheet(&printed);
}

// ---- Small records ----------------------------------------------------------------------------------------------

// The grid of a small sheet: 1 to 3 areas side by side, each rows x columns, at most 12 patches in all.
struct SmallGrid {
    int areas = 1;
    int rows = 2;
    int columns = 3;
};

// A 200 x 150 mm page of the grid: RGB patches numbered from 1 in area, row, column order, 6 mm on a 7 mm pitch,
// and a 16 x 16 grey page image unless withImage is false. A grid beyond the limits gives an empty sheet.
inline ChartDefinitionData::Sheet MakeSmallSheet(const SmallGrid &grid = {}, bool withImage = true)
{
    ChartDefinitionData::Sheet sheet;
    sheet.Width = 20000;
    sheet.Height = 15000;
    const int perArea = grid.rows * grid.columns;
    if (grid.areas < 1 || grid.areas > 3 || grid.rows < 1 || grid.columns < 1 || grid.areas * perArea > 12)
        return sheet;
    sheet.AreaCount = grid.areas;
    sheet.PatchCount = grid.areas * perArea;
    sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
    int k = 0;
    for (int a = 0; a < grid.areas; ++a) {
        sheet.Areas[a] = {grid.rows, grid.columns, perArea};
        sheet.Placements[a] = {1500 + a * (grid.columns * 700 + 1500), 2000, 600, 600, 700, 700};
        for (int r = 0; r < grid.rows; ++r) {
            for (int c = 0; c < grid.columns; ++c, ++k) {
                ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
                patch.ID = k + 1;
                patch.Area = a;
                patch.Row = r;
                patch.Column = c;
                patch.ColorFormat = ChartDefinitionData::FormatRGB;
                patch.ColorValue[0] = float(20 * k);
                patch.ColorValue[1] = float(255 - 20 * k);
                patch.ColorValue[2] = 128.0f;
            }
        }
    }
    if (withImage) {
        sheet.HasImage = 1;
        sheet.ImageWidth = sheet.ImageHeight = 16;
        sheet.BitPerPixel = 8;
        sheet.ImageBytes = NewImageBytes(16 * 16);
        for (int i = 0; i < 16 * 16; ++i)
            sheet.ImageBytes[i] = static_cast<unsigned char>(i);
    }
    return sheet;
}

// The page of a sheet as measured: one record per patch in the sheet's order, the first `measured` of them with
// an RGB colour and a result block of their own, and a 16 x 16 grey page image.
inline MeasurementData MakeSmallMeasurement(const ChartDefinitionData::Sheet &sheet, int measured)
{
    MeasurementData page;
    page.PageNumber = 1;
    page.RecordCount = std::max(0, sheet.PatchCount);
    page.MeasuredCount = std::clamp(measured, 0, page.RecordCount);
    page.Records = page.RecordCount > 0 ? NewMeasurementRecords(size_t(page.RecordCount)) : nullptr;
    for (int k = 0; k < page.RecordCount; ++k) {
        const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
        const ChartDefinitionData::AreaPlacement &place = sheet.Placements[patch.Area];
        MeasurementData::PatchData &record = page.Records[k];
        record.ID = patch.ID;
        record.Area = patch.Area;
        record.Row = patch.Row;
        record.Column = patch.Column;
        record.X = place.LeftTopX + patch.Column * place.PatchWidthGap + place.PatchWidth / 2;
        record.Y = place.LeftTopY + patch.Row * place.PatchHeightGap + place.PatchHeight / 2;
        if (k >= page.MeasuredCount)
            continue;
        std::fill(record.Values, record.Values + kInstrumentValueCount, 0.1f + 0.05f * float(k));
        record.ColorFormat = ChartDefinitionData::FormatRGB;
        record.ColorValue[0] = float(255 - 20 * k);
        record.ColorValue[1] = float(20 * k);
        record.ColorValue[2] = 64.0f;
    }
    page.Width = page.Height = 16;
    page.BitPerPixel = 8;
    page.ImageBytes = NewImageBytes(16 * 16);
    for (int i = 0; i < 16 * 16; ++i)
        page.ImageBytes[i] = static_cast<unsigned char>(255 - i);
    return page;
}

// Creates a one-page density chart of the grid (no page image) through the model and returns its id, 0 on
// failure.
inline int CreateDensityChart(CModel *model, const SmallGrid &grid, int templateRow = 0)
{
    ChartDefinitionDataSheets chart;
    InitChartDefinitionData(&chart);
    chart.Kind = ChartDefinitionData::KindDensity;
    chart.SheetCount = 1;
    chart.Recog = 1;
    chart.Diameter = 1;
    chart.Sheets = NewChartSheets(1);
    chart.Sheets[0] = MakeSmallSheet(grid, false);
    chart.ChartPatchCount = chart.Sheets[0].PatchCount;
    const int before = model->GetDensityCharts()->size();
    const int result = chart.ChartPatchCount > 0 ? model->CreateDensityChart(templateRow, 0, &chart) : -1;
    ClearChartDefinitionData(&chart);
    if (result != 0 || model->GetDensityCharts()->size() != before + 1)
        return 0;
    return model->GetDensityCharts()->last().ID;
}

// ---- Runs -------------------------------------------------------------------------------------------------------

// A recognition run of the connected scanner held at "Pre-scanning completed" (status 6) for the user to confirm
// the chart: ConfirmChart set, nothing selected, a printed 2 x 3 sheet without QR code fed and every event
// delivered. The scanner is made to report no run of its own (device state 0, forced until the caller forces it
// back with -1), which is when the program waits for the user. True when the model stands at status 6.
inline bool RunRecognitionToConfirmation(CModel *model)
{
    OrloSim_ForceStatus(0, -1, -1, -1);
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.ConfirmChart = true;
    if (model->SetUserEnvironment(environment) != 0 || model->SelectFileID(CModel::KindDesignationChart, 0, 0) != 0)
        return false;
    ChartDefinitionDataSheets chart;
    MakePrintableChart(&chart, QStringLiteral("CONFIRM"), {{{2, 3, 1500, 1500, 1000, 1000, 1200, 1200}}}, 0);
    const int inserted = InsertPrintedPage(chart, 0, false);
    ClearChartDefinitionData(&chart);
    if (inserted != 0)
        return false;
    while (OrloSim_DeliverPending() > 0) {
    }
    return model->GetOrloDeviceState() == 6;
}
