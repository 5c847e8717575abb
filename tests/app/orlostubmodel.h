#pragma once
// A recording stand-in for the application model behind the chart-scanner controller: the buffer operations go
// to a real CDataBuffer, the error report parks and releases as the model does, everything else is recorded with
// the thread it ran on.

#include "app/constants.h"
#include "app/databuffer.h"
#include "app/illuminantdata.h"
#include "app/orlosdkcontroller.h"
#include "app/recordhelpers.h"

#include "OrloSim.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThread>

#include <cstring>
#include <functional>
#include <vector>

struct StoredPatch {
    int index, area, row, column;
    bool blockSet;
    bool displayed;
};

class OrloStubModel : public QObject, public COrloSDKHost, public CDataBufferHost
{
    Q_OBJECT
public:
    CDataBuffer buffer{this};
    COrloSDKController *controller = nullptr;
    Setting::UserEnvironment environment;
    int operationState = 0;
    int selectionSource = 1;
    bool hasSelectedChart = true;
    OrloSelectedChart selected;
    bool barcodeAccepted = true;
    bool barcodesRead = true;
    bool limitReached = false;
    int densityPickResult = 0;
    int userIlluminantResult = 0;
    int parked = 0;

    QStringList calls;
    QList<int> statuses;
    QList<QPair<int, int>> reports; // result, message
    QList<int> shown;
    QVector<StoredPatch> stored;
    QSet<QThread *> threads;
    std::function<void(int)> onShow;

    OrloStubModel()
    {
        selected.JobNumber = 7;
        selected.SheetCount = 1;
        selected.Recog = 1;
        selected.Diameter = 1;
    }

    void Note(const QString &call)
    {
        threads.insert(QThread::currentThread());
        calls << call;
    }
    bool Called(const QString &prefix) const
    {
        for (const QString &c : calls)
            if (c.startsWith(prefix))
                return true;
        return false;
    }

    // COrloSDKHost
    int GetOperationState() override { return operationState; }
    void SetOrloStatus(int state) override
    {
        Note(QStringLiteral("SetOrloStatus(%1)").arg(state));
        statuses << state;
        emit statusChanged(state);
    }
    void ReportError(int result, int message, bool force) override
    {
        Note(QStringLiteral("ReportError(%1,%2)").arg(result).arg(message));
        reports << qMakePair(result, message);
        int number = 0;
        if (parked != 0) {
            if (message != 0)
                return;
            number = parked;
            parked = 0;
        } else {
            if (result == 0)
                return;
            number = message;
        }
        if (!force && controller && !controller->IsMeasurementStopped()) {
            controller->StopMeasurement(false);
            parked = number;
            return;
        }
        shown << number;
        if (onShow)
            onShow(number);
    }
    void EmitDesignationMeasureItemBackColor() override { Note("EmitDesignationMeasureItemBackColor"); }
    void EmitMatchingMessage(int code) override { Note(QStringLiteral("EmitMatchingMessage(%1)").arg(code)); }
    void EmitPatchColorUnmatch() override { Note("EmitPatchColorUnmatch"); }
    void EmitReliableLow() override { Note("EmitReliableLow"); }
    void EmitSetMainWindowChartCanvas(int canvas) override
    {
        Note(QStringLiteral("EmitSetMainWindowChartCanvas(%1)").arg(canvas));
    }
    void EmitMeasurementRestartEnable(bool enable) override
    {
        Note(QStringLiteral("EmitMeasurementRestartEnable(%1)").arg(enable));
    }
    const Setting::UserEnvironment *GetUserEnvironment() const override { return &environment; }
    int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out) override
    {
        Note(QStringLiteral("GetUserIlluminantForCondition(%1,%2)").arg(conditionId).arg(illuminantId));
        for (int i = 0; i < kEnvironLightValueCount; ++i)
            out->Values[i] = 100.0f;
        return userIlluminantResult;
    }
    int GetSelectionSource() override { return selectionSource; }
    bool GetSelectedChart(OrloSelectedChart *out) override
    {
        if (hasSelectedChart)
            *out = selected;
        return hasSelectedChart;
    }
    int GetCurrentSheet(const ChartDefinitionData::Sheet **sheet) override
    {
        const ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
        if (!chart->Sheets || buffer.GetCurrentChartPageIndex() >= unsigned(chart->SheetCount))
            return 10004;
        *sheet = &chart->Sheets[buffer.GetCurrentChartPageIndex()];
        return 0;
    }
    unsigned GetCurrentChartPageIndex() override { return buffer.GetCurrentChartPageIndex(); }
    bool IsFirstSheet() override { return buffer.IsFirstSheet(); }
    bool IsAllSheetsMeasured() override { return buffer.IsAllSheetsMeasured(); }
    bool IsMeasureDataLimitReached() override { return limitReached; }
    bool IsPageMeasured() override { return buffer.IsCurrentPageComplete(); }
    unsigned GetCurrentRecordCount() override { return buffer.GetCurrentRecordCount(); }
    unsigned GetExpectedRecordCount() override { return buffer.GetExpectedRecordCount(); }
    int GetMeasurementSheetCount() override { return buffer.GetMeasurement()->SheetCount; }
    void SetPlannedSheetCount(unsigned count) override { buffer.SetPlannedSheetCount(count); }
    void SetChartRowsColumnsSwapped(bool swapped) override
    {
        Note(QStringLiteral("SetChartRowsColumnsSwapped(%1)").arg(swapped));
        buffer.SetRowsColumnsSwapped(swapped);
    }
    int SelectChartFromJobNumber(int job) override
    {
        Note(QStringLiteral("SelectChartFromJobNumber(%1)").arg(job));
        return 0;
    }
    bool HandleScannedBarcode(const SheetInfoRecord &record) override
    {
        Note(QStringLiteral("HandleScannedBarcode(%1)")
                 .arg(QString::fromLatin1(record.ChartCode, int(strnlen(record.ChartCode, 16)))));
        return barcodeAccepted;
    }
    bool HasReadBarcodes() override { return barcodesRead; }
    void KeepJobSheetBarcode(const SheetInfoRecord &record) override
    {
        Note(QStringLiteral("KeepJobSheetBarcode(%1)")
                 .arg(QString::fromLatin1(record.ChartCode, int(strnlen(record.ChartCode, 16)))));
    }
    QString GetDeviceCodeA(const SheetInfoRecord &) override { return QStringLiteral("A12"); }
    QString GetDeviceCodeB(const SheetInfoRecord &) override { return QStringLiteral("B34"); }
    int SelectDensityChartForScannedChart(unsigned width, unsigned height, const QString &code) override
    {
        Note(QStringLiteral("SelectDensityChartForScannedChart(%1,%2,%3)").arg(width).arg(height).arg(code));
        return densityPickResult;
    }
    int SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image, const OrloMeasurePoint *points,
                             unsigned count) override
    {
        Note(QStringLiteral("SetRecognitionResult(%1,%2)").arg(layout ? "layout" : "null").arg(count));
        if (!image)
            return 10001;
        const unsigned diameter = selectionSource == 0 ? unsigned(environment.Aperture) : 1u;
        return buffer.SetRecognitionResult(layout, image, points, count, diameter);
    }
    int SetSheetImage(const OrloImage *image, int pageMode) override
    {
        Note(QStringLiteral("SetSheetImage(%1,%2)").arg(image ? "image" : "null").arg(pageMode));
        buffer.SetSheetImage(image, pageMode);
        return 0;
    }
    int StoreMeasuredPatch(int patchNumber, const int location[3], int, const float *block,
                           const PatchColorResult &colors) override
    {
        Note(QStringLiteral("StoreMeasuredPatch(%1)").arg(patchNumber));
        const int mode = selectionSource == 0 ? CDataBuffer::ModeBoth : CDataBuffer::ModeRecord;
        int result = buffer.SetPatchMeasurement(patchNumber, location, block, colors, mode);
        bool any = false;
        for (int i = 0; block && i < kInstrumentValueCount; ++i)
            any = any || block[i] != 0.0f;
        const bool display = result == 0 && controller && !controller->IsMeasurementStopped();
        stored.push_back({patchNumber, location[0], location[1], location[2], any, display});
        if (result != 0) {
            ReportError(result, 24, false);
            return result;
        }
        if (!display || !buffer.IsCurrentPageComplete())
            return 0;
        return selectionSource != 0 ? FinishDesignationSheet(false) : FinishRecognitionMeasure();
    }
    int StoreMeasuredPatchDensity(int patchNumber, const int location[3], int count, const float *block,
                                  const PatchColorResult &colors) override
    {
        Note("StoreMeasuredPatchDensity");
        return StoreMeasuredPatch(patchNumber, location, count, block, colors);
    }
    int FinishDesignationSheet(bool announce) override
    {
        Note(QStringLiteral("FinishDesignationSheet(%1)").arg(announce));
        if (MeasurementData *page = CurrentMeasurementPage())
            page->PageNumber = int(buffer.GetCurrentChartPageIndex()) + 1;
        buffer.MarkPageStored();
        if (buffer.IsAllSheetsMeasured()) {
            buffer.ResetPosition();
            buffer.SetPlannedSheetCount(0);
        }
        return 0;
    }
    int FinishRecognitionMeasure() override
    {
        Note("FinishRecognitionMeasure");
        buffer.ResetPosition();
        buffer.SetPlannedSheetCount(0);
        return 0;
    }
    void ClearPendingMeasurement() override { Note("ClearPendingMeasurement"); }
    void ResetMeasurementBuffer() override
    {
        Note("ResetMeasurementBuffer");
        buffer.ResetPosition();
        buffer.SetPlannedSheetCount(0);
    }
    void SaveMeasurementAfterScan() override { Note("SaveMeasurementAfterScan"); }
    void SaveDensityMeasurementAfterScan() override { Note("SaveDensityMeasurementAfterScan"); }
    int DeleteSelectedChartJob() override
    {
        Note("DeleteSelectedChartJob");
        return 0;
    }

    // CDataBufferHost
    float GetColorDefaultValue(int format) const override { return ColorFormatRow(format).paperWhite; }
    QString GetInstrumentSerialNumber(int) override { return QStringLiteral("ORS00001"); }
    int ReadRecognitionMeasure(int, ChartDefinitionDataSheets *, MeasurementDataSheets *) override { return 0; }
    int ReadDesignationChart(int, ChartDefinitionDataSheets *) override { return 0; }
    int ReadDensityChart(int, ChartDefinitionDataSheets *) override { return 0; }
    int ReadDesignationMeasure(int, int, MeasurementDataSheets *) override { return 0; }
    int ReadDensityMeasure(int, int, MeasurementDataSheets *) override { return 0; }

    MeasurementData *CurrentMeasurementPage()
    {
        MeasurementDataSheets *m = buffer.GetMeasurement();
        const unsigned i = buffer.GetCurrentSheetIndex();
        return m->Sheets && i < unsigned(m->SheetCount) ? &m->Sheets[i] : nullptr;
    }

signals:
    void statusChanged(int state);
};

// The chart of the scripted run: one page 200 x 150 mm, one area of 2 x 3 patches of 10 mm on a 12 mm pitch.
inline void MakeRunChart(ChartDefinitionDataSheets *chart, int rows = 2, int columns = 3)
{
    ClearChartDefinitionData(chart);
    chart->ChartName = QStringLiteral("RUNCHART");
    chart->SheetCount = 1;
    chart->Diameter = 1;
    chart->Recog = 1;
    chart->Barcode = 1;
    chart->Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    sheet.Width = 20000;
    sheet.Height = 15000;
    sheet.AreaCount = 1;
    sheet.Areas[0] = {rows, columns, rows * columns};
    sheet.Placements[0] = {3000, 4000, 1000, 1000, 1200, 1200};
    sheet.PatchCount = rows * columns;
    chart->ChartPatchCount = sheet.PatchCount;
    sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const float v = float(40 * (k % 6));
        sheet.Patches[k] = {k + 1, 0, k / columns, k % columns, 1, {255.0f - v, 255.0f, 255.0f - v / 2}};
    }
}

// Inserts the sheet printed from the chart (inks from the RGB colours), with its QR code unless modelText is null.
inline void InsertRunSheet(const ChartDefinitionDataSheets &chart, const char *modelText = "Orlo")
{
    const ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
    static std::vector<OrloSimArea> areas;
    static std::vector<float> inks;
    static SheetInfoRecord record;
    areas.clear();
    inks.clear();
    for (int a = 0; a < sheet.AreaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &p = sheet.Placements[a];
        areas.push_back({sheet.Areas[a].RowCount, sheet.Areas[a].ColumnCount, p.LeftTopX, p.LeftTopY, p.PatchWidth,
                         p.PatchHeight, p.PatchWidthGap, p.PatchHeightGap});
    }
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const float *v = sheet.Patches[k].ColorValue;
        inks.insert(inks.end(), {1.0f - v[0] / 255.0f, 1.0f - v[1] / 255.0f, 1.0f - v[2] / 255.0f, 0.0f});
    }
    FillSheetInfoRecord(&record, chart, 0);
    if (modelText)
        std::memcpy(record.ModelText, modelText, 4);
    std::memcpy(record.DeviceCode, "0000", 4);
    OrloSimSheet simSheet = {sheet.Width, sheet.Height, sheet.AreaCount, areas.data(), inks.data(),
                             modelText ? reinterpret_cast<const uint8_t *>(&record) : nullptr, 15000, 4000, 0};
    OrloSim_InsertSheet(&simSheet);
}
