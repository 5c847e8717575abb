// The chart views, each hosted in a plain window over the program's model until the windows that own them
// arrive: display states, a captured page with its markers, the density marks and the handheld order.
#include "screenshooter.h"
#include "viewprobe.h"

#include "app/model.h"
#include "app/recordhelpers.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcdensitychartgraphicsview.h"
#include "chart/vceditmeasuredpointgraphicsview.h"
#include "chart/vchandychartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicspatch.h"

#include "OrloSim.h"

#include <QApplication>
#include <QColor>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Sheet = ChartDefinitionData::Sheet;
using PatchColor = ChartDefinitionData::PatchColor;

struct Grid {
    int rows, columns;
    int left, top; // 0.01 mm
    int size, pitch;
};

// An RGB patch at every grid position of the areas, the hue running through the sheet.
std::unique_ptr<Sheet> MakeSheet(int width, int height, const QList<Grid> &areas)
{
    auto sheet = std::make_unique<Sheet>();
    sheet->Width = width;
    sheet->Height = height;
    sheet->AreaCount = areas.size();
    int count = 0;
    for (const Grid &g : areas)
        count += g.rows * g.columns;
    sheet->PatchCount = count;
    sheet->Patches = std::make_unique<PatchColor[]>(size_t(std::max(1, count)));
    int k = 0;
    for (int a = 0; a < areas.size(); ++a) {
        const Grid &g = areas[a];
        sheet->Areas[a] = {g.rows, g.columns, g.rows * g.columns};
        sheet->Placements[a] = {g.left, g.top, g.size, g.size, g.pitch, g.pitch};
        for (int r = 0; r < g.rows; ++r) {
            for (int c = 0; c < g.columns; ++c, ++k) {
                const QColor colour = QColor::fromHsv(300 * k / std::max(1, count), 90 + 120 * (r % 2), 235);
                PatchColor &p = sheet->Patches[k];
                p.ID = k + 1;
                p.Area = a;
                p.Row = r;
                p.Column = c;
                p.ColorFormat = ChartDefinitionData::FormatRGB;
                p.ColorValue[0] = float(colour.red());
                p.ColorValue[1] = float(colour.green());
                p.ColorValue[2] = float(colour.blue());
            }
        }
    }
    return sheet;
}

// What an instrument might have read for the patch: a darker shade of it.
PatchColor Measured(const PatchColor &patch)
{
    PatchColor measured = patch;
    for (int i = 0; i < 3; ++i)
        measured.ColorValue[i] = patch.ColorValue[i] * 0.6f;
    return measured;
}

void FitViews(const QList<CVCGraphicsView *> &views)
{
    for (CVCGraphicsView *view : views)
        view->SetZoom(view->GetFitZoom());
}

// Six chart views of one small sheet with its QR code, one per display state; in state 3 one patch is
// selected and another duplicated.
bool ChartStates(ScreenShooter &shooter)
{
    auto sheet = MakeSheet(12500, 8000, {{3, 4, 800, 1500, 1300, 1500}});
    const int barcode[4] = {7000, 1500, 3000, 3000}; // its quiet zone lies within the sheet
    QWidget window;
    auto *grid = new QGridLayout(&window);
    QList<CVCGraphicsView *> views;
    for (int state = 0; state < 6; ++state) {
        auto *box = new QGroupBox(QStringLiteral("Display %1").arg(state), &window);
        auto *layout = new QVBoxLayout(box);
        auto *view = new CVCChartGraphicsView(box);
        layout->addWidget(view);
        grid->addWidget(box, state / 3, state % 3);
        view->SetBarcodeInset(shooter.Model()->GetBarcodeInsetPixels());
        view->DrawSheet(sheet.get(), 0, 0, 8, nullptr);
        view->DrawBarcode(barcode);
        if (state == 2) {
            emit view->SetDisplay(1);
            for (int k = 0; k < sheet->PatchCount; ++k)
                emit view->SetPatchColor(Measured(sheet->Patches[k]));
        } else {
            emit view->SetDisplay(state);
        }
        if (state == 3) {
            emit view->SetSelected(0, 1, 1);
            emit view->SetDuplicated(0, 2, 3, true);
        }
        views << view;
    }
    if (!shooter.Show(&window))
        return false;
    FitViews(views);
    return shooter.Capture(QStringLiteral("views_chart_states"), views);
}

// Ink amounts of patch k in 1/255 steps, as a printer lays them down.
void PatchInks(int k, float *cmyk)
{
    const auto step = [](int n) { return float(n % 200) / 255.0f; };
    cmyk[0] = step(37 * k + 11);
    cmyk[1] = step(53 * k + 7);
    cmyk[2] = step(29 * k + 100);
    cmyk[3] = float((k % 3) * 20) / 255.0f;
}

// A one-page CMYK chart with a QR code, its areas where the scanner prints them.
void MakePrintableChart(ChartDefinitionDataSheets *chart, const QVector<OrloSimArea> &areas)
{
    InitChartDefinitionData(chart);
    chart->ChartName = QStringLiteral("SCREENCHART"); // no "_": the QR text splits on it
    chart->Barcode = 1;
    chart->Recog = 1;
    chart->Diameter = 1;
    chart->SheetCount = 1;
    chart->Sheets = NewChartSheets(1);
    Sheet &sheet = chart->Sheets[0];
    sheet.Width = 20000;
    sheet.Height = 15000;
    sheet.AreaCount = areas.size();
    for (int a = 0; a < areas.size(); ++a) {
        const OrloSimArea &area = areas[a];
        sheet.Areas[a] = {area.rows, area.columns, area.rows * area.columns};
        sheet.Placements[a] = {area.left, area.top, area.patchWidth, area.patchHeight, area.pitchX, area.pitchY};
        sheet.PatchCount += area.rows * area.columns;
    }
    sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
    int k = 0;
    for (int a = 0; a < areas.size(); ++a) {
        for (int r = 0; r < areas[a].rows; ++r) {
            for (int c = 0; c < areas[a].columns; ++c, ++k) {
                float inks[4];
                PatchInks(k, inks);
                PatchColor &patch = sheet.Patches[k];
                patch.ID = k + 1;
                patch.Area = a;
                patch.Row = r;
                patch.Column = c;
                patch.ColorFormat = ChartDefinitionData::FormatCMYK;
                for (int i = 0; i < 4; ++i)
                    patch.ColorValue[i] = inks[i] * 100.0f;
            }
        }
    }
    chart->ChartPatchCount = sheet.PatchCount;
}

// Prints the chart's page with its QR code into the scanner's feeder; 0 on success.
int InsertPrintedPage(const ChartDefinitionDataSheets &chart)
{
    const Sheet &sheet = chart.Sheets[0];
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
    FillSheetInfoRecord(&record, chart, 0);
    std::memcpy(record.ModelText, "Orlo", 4);
    std::memcpy(record.DeviceCode, "0000", 4);
    const OrloSimSheet printed = {sheet.Width, sheet.Height, int32_t(areas.size()), areas.data(), inks.data(),
                                  reinterpret_cast<const uint8_t *>(&record), 12000, 2000, 0};
    return OrloSim_InsertSheet(&printed);
}

// Creates the chart through the model, registers it at the simulated scanner, prints it and runs the
// scanner's events on this thread until the page is measured; the stored measurement comes back.
bool MeasurePrintedPage(CModel *model, MeasurementDataSheets *stored)
{
    OrloSim_SetDelivery(OrloSim_Manual);
    ChartDefinitionDataSheets chart;
    MakePrintableChart(&chart, {{4, 6, 1500, 1500, 1000, 1000, 1200, 1200},
                                {2, 6, 1500, 7500, 1000, 1000, 1200, 1200}});
    const int created = model->CreateDesignationChart(&chart);
    ClearChartDefinitionData(&chart);
    if (created != 0)
        return ScreenFailed(QStringLiteral("chart not created: %1").arg(created));
    const int chartId = model->GetDesignationCharts()->last().ID;

    bool configured = false;
    const Setting::ConnectSetting *current = model->GetConnectSetting(&configured);
    Setting::ConnectSetting connection = current ? *current : Setting::ConnectSetting();
    connection.ConnectionKind = 0;
    connection.Port = QStringLiteral("usb0");
    connection.DeviceName = QStringLiteral("ORS00001");
    if (model->SetConnectSetting(connection) != 0 ||
        model->SelectFileID(CModel::KindDesignationChart, chartId, chartId) != 0)
        return ScreenFailed(QStringLiteral("chart not selected"));
    if (!model->IsOrloConnected() && model->ConnectOrlo(false) != 0)
        return ScreenFailed(QStringLiteral("scanner not connected"));
    if (model->RegisterDesignationChartJob() != 0)
        return ScreenFailed(QStringLiteral("job not registered"));
    if (InsertPrintedPage(*model->GetChartDefinition()) != 0)
        return ScreenFailed(QStringLiteral("page not inserted"));
    while (OrloSim_DeliverPending() > 0) {
    }
    const int measureId = model->GetNewMeasurementID();
    if (measureId <= 0 || model->ReadDesignationMeasure(measureId, chartId, stored) != 0 || stored->SheetCount < 1)
        return ScreenFailed(QStringLiteral("no measurement stored"));
    return true;
}

// A rubber-band drag between two scene points, with the held button in every event.
void Drag(QGraphicsView *view, const QPointF &from, const QPointF &to, bool control)
{
    viewprobe::PerformDrag(view, {from, to, control, 4});
}

// A page captured by the simulated scanner with its markers, two rubber bands and the markers inside them
// selected, as the point editor selects them.
bool MeasuredPoints(ScreenShooter &shooter)
{
    MeasurementDataSheets stored;
    if (!MeasurePrintedPage(shooter.Model(), &stored))
        return false;
    const MeasurementData &page = stored.Sheets[0];
    if (!page.ImageBytes || page.BitPerPixel != 8 || page.RecordCount < 1)
        return ScreenFailed(QStringLiteral("the captured page has no grey image or no records"));

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new CVCEditMeasuredPointGraphicsView(&window);
    layout->addWidget(view);
    view->DrawMeasurement(&page);
    if (!shooter.Show(&window))
        return false;
    FitViews({view});

    QList<CVCMeasuredPointGraphicsPatch *> markers;
    QRectF spread;
    for (QGraphicsItem *item : view->scene()->items()) {
        if (auto *marker = dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item)) {
            markers << marker;
            spread |= marker->sceneBoundingRect();
        }
    }
    if (markers.isEmpty())
        return ScreenFailed(QStringLiteral("no markers drawn"));
    const QPointF margin(4, 4);
    const QPointF third(spread.width() / 3, spread.height() / 3);
    Drag(view, spread.topLeft() - margin, spread.topLeft() + third, false);
    Drag(view, spread.bottomRight() - third, spread.bottomRight() + margin, true);
    if (view->SelectionRects().size() != 2)
        return ScreenFailed(QStringLiteral("rubber bands not taken: %1").arg(view->SelectionRects().size()));
    for (CVCMeasuredPointGraphicsPatch *marker : markers) {
        if (view->IntersectsSelectionRects(marker->mapToScene(marker->shape())))
            marker->setSelected(true);
    }
    return shooter.Capture(QStringLiteral("views_measured_points"), {view});
}

// An A4 density chart of two areas with the arrows along its top edge and the bar under its areas.
bool DensityMarks(ScreenShooter &shooter)
{
    auto sheet = MakeSheet(21000, 29700, {{6, 8, 1500, 4000, 1800, 2200}, {4, 8, 1500, 18500, 1800, 2200}});
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new CVCDensityChartGraphicsView(&window);
    layout->addWidget(view);
    view->DrawSheet(sheet.get(), 0, 0, 8, nullptr);
    emit view->SetDisplay(4);
    if (!shooter.Show(&window))
        return false;
    FitViews({view});
    return shooter.Capture(QStringLiteral("views_density_marks"), {view});
}

// The handheld sheet waiting for its first strip scan (the first column highlighted), with the two columns
// at the far end already measured.
bool HandheldOrder(ScreenShooter &shooter)
{
    const int rows = 5;
    const int columns = 8;
    auto sheet = MakeSheet(21000, 15000, {{rows, columns, 2000, 2000, 1600, 2000}});
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new CVCHandyChartGraphicsView(&window);
    layout->addWidget(view);
    view->DrawSheet(sheet.get(), 0, 0, 8, nullptr);
    emit view->SetDisplay(1);
    for (int k = 0; k < sheet->PatchCount; ++k) {
        if (sheet->Patches[k].Column < 2)
            emit view->SetPatchColor(Measured(sheet->Patches[k]));
    }
    if (!shooter.Show(&window))
        return false;
    FitViews({view});
    return shooter.Capture(QStringLiteral("views_handheld_order"), {view});
}

const ScreenEntry kEntry("chart_views", [](ScreenShooter &shooter) {
    return ChartStates(shooter) && MeasuredPoints(shooter) && DensityMarks(shooter) && HandheldOrder(shooter);
});

} // namespace
