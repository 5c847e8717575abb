#pragma once
// The host interfaces through which the stores, the working buffer, the data-file object and the instrument
// controllers call back into the model. The model owns one adapter and hands it to them in place of itself, so
// these callbacks are no part of the model's public operations. Not for windows: this header brings the
// chart-scanner library's header with it.

#include "app/applicationdata.h"
#include "app/databufferhost.h"
#include "app/documentdata.h"
#include "app/model.h"
#include "app/orlosdkhost.h"
#include "app/tanosdkhost.h"
#include "files/iodatafile.h"

class CModel::Hosts final : public CApplicationDataHost,
                            public CDocumentDataHost,
                            public CTanoSDKHost,
                            public CIODataFileHost,
                            public CDataBufferHost,
                            public COrloSDKHost
{
public:
    explicit Hosts(CModel &model) : m_model(model) {}

    // Settings, selection and status.
    InkChannelList GetReferenceColors() const override { return m_model.GetReferenceColors(); }
    bool IsPosGapMode() const override { return m_model.IsPosGapMode(); }
    Setting::UserEnvironment &CurrentUserEnvironment() override { return m_model.CurrentUserEnvironment(); }
    const Setting::UserEnvironment *GetUserEnvironment() const override { return m_model.GetUserEnvironment(); }
    int GetInstalledPresetLevel() const override { return m_model.GetInstalledPresetLevel(); }
    int GetPresetLevel() const override { return m_model.GetPresetLevel(); }
    bool IsDataFormatCurrent() const override { return m_model.IsDataFormatCurrent(); }
    int GetOperationState() override { return m_model.GetOperationState(); }
    void SetOrloStatus(int state) override { m_model.SetOrloStatus(state); }
    void ReportError(int result, int message, bool force) override { m_model.ReportError(result, message, force); }
    int GetSelectionSource() override { return m_model.m_dataTreeMode; }
    bool GetSelectedChart(OrloSelectedChart *out) override { return m_model.GetSelectedChart(out); }
    bool GetHandyScanMode() override { return m_model.GetHandyScanMode(); }
    void GetHandyPatchPositions(QList<TanoSDK_PatchPosition *> &positions) override
    {
        m_model.GetHandyPatchPositions(positions);
    }
    QString GetInstrumentSerialNumber(int kind) override { return m_model.GetInstrumentSerialNumber(kind); }

    // Window signals.
    void EmitDesignationMeasureItemBackColor() override { m_model.EmitDesignationMeasureItemBackColor(); }
    void EmitMatchingMessage(int code) override { m_model.EmitMatchingMessage(code); }
    void EmitPatchColorUnmatch() override { m_model.EmitPatchColorUnmatch(); }
    void EmitReliableLow() override { m_model.EmitReliableLow(); }
    void EmitSetMainWindowChartCanvas(int canvas) override { m_model.EmitSetMainWindowChartCanvas(canvas); }
    void EmitMeasurementRestartEnable(bool enable) override { m_model.EmitMeasurementRestartEnable(enable); }

    // Installation resources (lengths in 0.01 mm).
    int GetAreaLeftMin() const override { return m_model.GetAreaLeftMin(); }
    int GetAreaLeftMax() const override { return m_model.GetAreaLeftMax(); }
    int GetAreaTopMin() const override { return m_model.GetAreaTopMin(); }
    int GetAreaTopMax() const override { return m_model.GetAreaTopMax(); }
    int FindPaperSizeIndexInUnit(int unit, int width, int height) const override
    {
        return m_model.FindPaperSizeIndexInUnit(unit, width, height);
    }
    int GetPageSizeWidth(int index) const override { return m_model.GetPageSizeWidth(index); }
    int GetPageSizeHeight(int index) const override { return m_model.GetPageSizeHeight(index); }
    int GetPageSizeMaxWidth(int index) const override { return m_model.GetPageSizeMaxWidth(index); }
    int GetPageSizeMaxHeight(int index) const override { return m_model.GetPageSizeMaxHeight(index); }
    float GetColorDefaultValue(int format) const override { return m_model.GetColorDefaultValue(format); }
    float GetColorMinValue(int format) const override { return m_model.GetColorMinValue(format); }
    float GetColorMaxValue(int format) const override { return m_model.GetColorMaxValue(format); }
    QPair<int, int> GetIso12642DefaultPosition(int id, int patchOrder) const override
    {
        return m_model.GetIso12642DefaultPosition(id, patchOrder);
    }
    int GetIso12642LayoutLongSide() const override { return m_model.GetIso12642LayoutLongSide(); }
    int GetIso12642LayoutShortSide() const override { return m_model.GetIso12642LayoutShortSide(); }
    QString GetDeviceCodeA(const SheetInfoRecord &record) override { return m_model.GetDeviceCodeA(record); }
    QString GetDeviceCodeB(const SheetInfoRecord &record) override { return m_model.GetDeviceCodeB(record); }
    int GetBarcodeSize(const SheetInfoRecord &record) const override { return m_model.GetBarcodeSize(record); }
    int GetBarcodeInsetPixels() const override { return m_model.GetBarcodeInsetPixels(); }

    // User illuminants and the chart scanner's calculations.
    UserIlluminantSlots GetUserIlluminants() const override { return m_model.GetUserIlluminants(); }
    int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out) override
    {
        return m_model.GetUserIlluminantForCondition(conditionId, illuminantId, out);
    }
    int CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &setting,
                             int conditionId) override
    {
        return m_model.CalculatePatchValues(values, block, setting, conditionId);
    }
    int CreateBarcodeImage(const QString &path, SheetInfoRecord *record) override
    {
        return m_model.CreateBarcodeImage(path, record);
    }
    bool SetPaperWhiteFromMeasurement() override { return m_model.SetPaperWhiteFromMeasurement(); }

    // Documents and the working buffer.
    int ReadRecognitionMeasure(int id, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement) override
    {
        return m_model.ReadRecognitionMeasure(id, chart, measurement);
    }
    int ReadDesignationChart(int id, ChartDefinitionDataSheets *chart) override
    {
        return m_model.ReadDesignationChart(id, chart);
    }
    int ReadDensityChart(int id, ChartDefinitionDataSheets *chart) override
    {
        return m_model.ReadDensityChart(id, chart);
    }
    int ReadDesignationMeasure(int id, int chartId, MeasurementDataSheets *measurement) override
    {
        return m_model.ReadDesignationMeasure(id, chartId, measurement);
    }
    int ReadDensityMeasure(int id, int chartId, MeasurementDataSheets *measurement) override
    {
        return m_model.ReadDensityMeasure(id, chartId, measurement);
    }
    int GetCurrentSheet(const ChartDefinitionData::Sheet **sheet) override { return m_model.GetCurrentSheet(sheet); }
    unsigned GetCurrentChartPageIndex() override { return m_model.GetCurrentChartPageIndex(); }
    bool IsFirstSheet() override { return m_model.IsFirstSheet(); }
    bool IsAllSheetsMeasured() override { return m_model.IsAllSheetsMeasured(); }
    bool IsMeasureDataLimitReached() override { return m_model.IsMeasureDataLimitReached(); }
    bool IsPageMeasured() override { return m_model.IsPageMeasured(); }
    unsigned GetCurrentRecordCount() override { return m_model.GetCurrentRecordCount(); }
    unsigned GetExpectedRecordCount() override { return m_model.GetExpectedRecordCount(); }
    int GetMeasurementSheetCount() override { return m_model.GetMeasurementSheetCount(); }
    void SetPlannedSheetCount(unsigned count) override { m_model.SetPlannedSheetCount(count); }
    void SetChartRowsColumnsSwapped(bool swapped) override { m_model.SetChartRowsColumnsSwapped(swapped); }

    // Measurement flows.
    int SelectChartFromJobNumber(int job) override { return m_model.SelectChartFromJobNumber(job); }
    bool HandleScannedBarcode(const SheetInfoRecord &record) override { return m_model.HandleScannedBarcode(record); }
    bool HasReadBarcodes() override { return m_model.HasReadBarcodes(); }
    void KeepJobSheetBarcode(const SheetInfoRecord &record) override { m_model.KeepJobSheetBarcode(record); }
    int SelectDensityChartForScannedChart(unsigned width, unsigned height, const QString &code) override
    {
        return m_model.SelectDensityChartForScannedChart(width, height, code);
    }
    int SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image, const OrloMeasurePoint *points,
                             unsigned count) override
    {
        return m_model.SetRecognitionResult(layout, image, points, count);
    }
    int SetSheetImage(const OrloImage *image, int pageMode) override { return m_model.SetSheetImage(image, pageMode); }
    int StoreMeasuredPatch(int patchNumber, const int location[3], int count, const float *block,
                           const PatchColorResult &colors) override
    {
        return m_model.StoreMeasuredPatch(patchNumber, location, count, block, colors);
    }
    int StoreMeasuredPatchDensity(int patchNumber, const int location[3], int count, const float *block,
                                  const PatchColorResult &colors) override
    {
        return m_model.StoreMeasuredPatchDensity(patchNumber, location, count, block, colors);
    }
    int StoreHandyMeasuredPatch(int patchNumber, const TanoSDK_PatchPosition *location, int count,
                                const MeasurementData::PatchData *record, int extra) override
    {
        return m_model.StoreHandyMeasuredPatch(patchNumber, location, count, record, extra);
    }
    int FinishDesignationSheet(bool announce) override { return m_model.FinishDesignationSheet(announce); }
    int FinishRecognitionMeasure() override { return m_model.FinishRecognitionMeasure(); }
    void ClearPendingMeasurement() override { m_model.ClearPendingMeasurement(); }
    void ResetMeasurementBuffer() override { m_model.ResetMeasurementBuffer(); }
    void SaveMeasurementAfterScan() override { m_model.SaveMeasurementAfterScan(); }
    void SaveDensityMeasurementAfterScan() override { m_model.SaveDensityMeasurementAfterScan(); }
    int DeleteSelectedChartJob() override { return m_model.DeleteSelectedChartJob(); }

private:
    CModel &m_model;
};
