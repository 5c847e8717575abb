#pragma once
// A model over a temporary data folder and the simulated chart scanner in manual delivery, with a window
// double that records what the model shows and acknowledges it.

#include "app/databuffer.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "modelaccess.h"

#include "OrloSim.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>
#include <memory>
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
    std::unique_ptr<CModel> model;
    std::unique_ptr<WindowDouble> window;

    // A fresh per-user world for every model: data, settings and the documents folder (under HOME).
    bool Make(bool initialize = true)
    {
        window.reset();
        model.reset();
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        qputenv("HOME", (home.path() + QStringLiteral("/home")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
        OrloSim_Reset();
        OrloSim_SetDelivery(OrloSim_Manual);
        model.reset(new CModel(nullptr, &arguments));
        window.reset(new WindowDouble(model.get()));
        return !initialize || model->Initialize() == 0;
    }

    ~ModelFixture()
    {
        window.reset();
        model.reset();
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
