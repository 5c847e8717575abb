#pragma once
// The working buffer: the one chart and the one measurement the windows show or a run fills, the position of
// the run and the two flags of the chart-scanner flow. GUI thread only.

#include "app/databufferhost.h"
#include "app/records.h"

#include "OrloSDK.h"

#include <QList>

// The colour values a measured patch brings along: the first set belongs to the measured record, the second
// (in the colour format of new charts) to the chart patch when the run builds a chart.
struct PatchColorResult {
    int ColorFormat = 0;
    float ColorValue[kMaxColorValueCount] = {};
    int ChartColorFormat = 0;
    float ChartColorValue[kMaxColorValueCount] = {};
};

class CDataBuffer
{
public:
    enum Result {
        Success = 0,
        PageOutOfRange = 50005,
        LocationNotFound = 50008,
        IndexOutOfRange = 50009,
        TooManyAreas = 50012,
        NoTargetArrays = 50016,
    };
    enum PatchMode { ModeChartPatch = 0, ModeRecord = 1, ModeBoth = 2 };

    explicit CDataBuffer(CDataBufferHost *host);
    virtual ~CDataBuffer();
    CDataBuffer(const CDataBuffer &) = delete;
    CDataBuffer &operator=(const CDataBuffer &) = delete;

    ChartDefinitionDataSheets *GetChartDefinition() { return &m_chart; }
    int GetMeasurement(MeasurementDataSheets **measurement);
    MeasurementDataSheets *GetMeasurement() { return &m_measurement; }

    // The stored page count, which is also the index of the measurement page being filled.
    unsigned GetCurrentSheetIndex() const { return m_storedPageCount; }
    unsigned GetCurrentChartPageIndex() const { return m_chartPageIndex; }
    void SetCurrentChartPageIndex(unsigned index) { m_chartPageIndex = index; }
    unsigned GetPlannedSheetCount() const { return m_plannedSheetCount; }
    void SetPlannedSheetCount(unsigned count) { m_plannedSheetCount = count; }
    void ResetPosition();

    void SetSelectionPending() { m_selectionPending = true; }
    bool IsSelectionPending() const { return m_selectionPending; }
    void SetRowsColumnsSwapped(bool swapped) { m_rowsColumnsSwapped = swapped; }
    bool IsRowsColumnsSwapped() const { return m_rowsColumnsSwapped; }

    bool IsFirstSheet() const { return m_storedPageCount == 0; }
    bool IsAllSheetsMeasured() const { return m_storedPageCount == m_plannedSheetCount; }
    bool HoldsMeasuredData() const;
    bool HasNoPlannedSheets() const { return m_plannedSheetCount == 0; }
    void MarkPageStored();
    bool IsCurrentPageComplete() const;
    unsigned GetCurrentRecordCount() const;
    // Records laid out on the measurement page being filled; 0 when there is none.
    unsigned GetExpectedRecordCount() const;
    QList<unsigned> GetChartPageNumbers() const;
    QList<unsigned> GetMeasuredPageNumbers() const;

    // The chart's header with a copy of the chart sheet of every measurement page (out is cleared first).
    void CopyChartDefinition(ChartDefinitionDataSheets *out) const;
    int ReplaceChartSheet(const ChartDefinitionData::Sheet &sheet, int index);
    int ReplaceMeasurementSheet(const MeasurementData &page, int index);
    void SetSheetImage(const OrloImage *image, int pageMode);

    int SetPatchMeasurement(int patchIndex, const int location[3], const float *block, const PatchColorResult &result,
                            int mode);
    int SetHandyPatchMeasurement(int patchIndex, const int location[3], const float *block,
                                 const PatchColorResult &result, int mode);
    int SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image, const OrloMeasurePoint *points,
                             unsigned count, unsigned diameter);
    int BuildPageMeasurePoints(ChartDefinitionData::Sheet *targetSheet, MeasurementData *targetPage,
                               const ChartDefinitionData::Sheet *sourceSheet, const MeasurementData *sourcePage,
                               const QList<ChartDefinitionData::PatchColor> &removed);
    int PrepareHandyMeasurement(int modelCode);
    int Load(int kind, int fileId, int chartId);

private:
    MeasurementData *CurrentPage() const;
    void ClearChart();
    void ClearMeasurement();
    void AllocatePages(int count);
    int StorePatch(int patchIndex, const int location[3], const float *block, const PatchColorResult &result,
                   int mode, bool handheld);

    CDataBufferHost *m_host;
    unsigned m_plannedSheetCount = 0;
    unsigned m_chartPageIndex = 0;
    unsigned m_storedPageCount = 0;
    ChartDefinitionDataSheets m_chart;
    MeasurementDataSheets m_measurement;
    bool m_selectionPending = false;
    bool m_rowsColumnsSwapped = false;
};
