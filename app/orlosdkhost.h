#pragma once
// What the chart-scanner controller needs of the application model: status and error report, window
// signals, settings, the selection, the working buffer's run position and the measurement flows. The model
// implements it; tests pass a recording stub. Every call comes on the GUI thread.

#include "app/databuffer.h"
#include "app/records.h"
#include "app/settingrecords.h"

#include "OrloSDK.h"

#include <QString>

struct EnvironLightData;

// The chart selected for a run, as far as the scanner needs it.
struct OrloSelectedChart {
    int JobNumber = 0;
    int SheetCount = 0;
    int Unit = 0;
    int Recog = 4;
    int Diameter = 0;
};

class COrloSDKHost
{
public:
    virtual ~COrloSDKHost() = default;

    // Status, error report and window signals.
    virtual int GetOperationState() = 0;
    virtual void SetOrloStatus(int state) = 0;
    virtual void ReportError(int result, int message, bool force) = 0;
    virtual void EmitDesignationMeasureItemBackColor() = 0;
    virtual void EmitMatchingMessage(int code) = 0;
    virtual void EmitPatchColorUnmatch() = 0;
    virtual void EmitReliableLow() = 0;
    virtual void EmitSetMainWindowChartCanvas(int canvas) = 0;
    virtual void EmitMeasurementRestartEnable(bool enable) = 0;

    // Settings.
    virtual const Setting::UserEnvironment *GetUserEnvironment() const = 0;
    // The light source a condition and illuminant need ("Auto" resolved, user ids through their slots); 0 when
    // one was found.
    virtual int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out) = 0;

    // Selection and the buffer's run position.
    virtual int GetSelectionSource() = 0;
    // False when no chart is selected.
    virtual bool GetSelectedChart(OrloSelectedChart *out) = 0;
    // The working buffer's current sheet, in place: valid until the buffer's chart changes.
    virtual int GetCurrentSheet(const ChartDefinitionData::Sheet **sheet) = 0;
    virtual unsigned GetCurrentChartPageIndex() = 0;
    virtual bool IsFirstSheet() = 0;
    virtual bool IsAllSheetsMeasured() = 0;
    virtual bool IsMeasureDataLimitReached() = 0;
    virtual bool IsPageMeasured() = 0;
    virtual unsigned GetCurrentRecordCount() = 0;
    virtual unsigned GetExpectedRecordCount() = 0;
    virtual int GetMeasurementSheetCount() = 0;
    virtual void SetPlannedSheetCount(unsigned count) = 0;
    virtual void SetChartRowsColumnsSwapped(bool swapped) = 0;

    // Measurement flows.
    virtual int SelectChartFromJobNumber(int job) = 0;
    virtual bool HandleScannedBarcode(const SheetInfoRecord &record) = 0;
    virtual bool HasReadBarcodes() = 0;
    // The QR record of a density sheet that the scanner took as a registered job: kept as a read record, nothing
    // selected or started.
    virtual void KeepJobSheetBarcode(const SheetInfoRecord &record) = 0;
    virtual QString GetDeviceCodeA(const SheetInfoRecord &record) = 0;
    virtual QString GetDeviceCodeB(const SheetInfoRecord &record) = 0;
    virtual int SelectDensityChartForScannedChart(unsigned width, unsigned height, const QString &code) = 0;
    virtual int SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image,
                                     const OrloMeasurePoint *points, unsigned count) = 0;
    virtual int SetSheetImage(const OrloImage *image, int pageMode) = 0;
    virtual int StoreMeasuredPatch(int patchNumber, const int location[3], int count, const float *block,
                                   const PatchColorResult &colors) = 0;
    virtual int StoreMeasuredPatchDensity(int patchNumber, const int location[3], int count, const float *block,
                                          const PatchColorResult &colors) = 0;
    virtual int FinishDesignationSheet(bool announce) = 0;
    virtual int FinishRecognitionMeasure() = 0;
    virtual void ClearPendingMeasurement() = 0;
    virtual void ResetMeasurementBuffer() = 0;
    virtual void SaveMeasurementAfterScan() = 0;
    // The density window's run: the stored measurement goes to its printer, or the user chooses where.
    virtual void SaveDensityMeasurementAfterScan() = 0;
    virtual int DeleteSelectedChartJob() = 0;
};
