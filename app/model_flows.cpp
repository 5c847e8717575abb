// What the model does while an instrument measures: storing and showing patches, writing the measurement
// documents, the chart selection of a run, QR codes, automatic export and the values of measured patches.

#include "app/model.h"

#include "app/applicationdata.h"
#include "app/constants.h"
#include "app/databuffer.h"
#include "app/documentdata.h"
#include "app/illuminantdata.h"
#include "app/orlosdkcontroller.h"
#include "app/patchdisplayvalues.h"
#include "app/recordhelpers.h"
#include "app/resourcedata.h"
#include "app/storeconventions.h"
#include "app/tanosdkcontroller.h"
#include "app/texthelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QThread>

#include <cstdlib>
#include <cstring>

namespace {

QString RecordText(const SheetInfoRecord &record)
{
    const void *end = std::memchr(record.Text, 0, sizeof(record.Text));
    const int n = end ? int(static_cast<const char *>(end) - record.Text) : int(sizeof(record.Text));
    return QString::fromLocal8Bit(record.Text, n);
}

bool IsPaperWhitePatch(const ChartDefinitionData::PatchColor &patch)
{
    const int format = patch.ColorFormat;
    if (format == ChartDefinitionData::FormatRGB)
        return patch.ColorValue[0] == 255.0f && patch.ColorValue[1] == 255.0f && patch.ColorValue[2] == 255.0f;
    if (format < ChartDefinitionData::FormatCMYK || format > ChartDefinitionData::Format8Color)
        return false;
    for (int i = 0; i < format + 2; ++i) {
        if (patch.ColorValue[i] != 0.0f)
            return false;
    }
    return true;
}

bool SameDefinedColour(const ChartDefinitionData::PatchColor &patch, int format, const float *values)
{
    if (patch.ColorFormat != format)
        return false;
    const int n = qBound(0, format + 2, kMaxColorValueCount);
    for (int i = 0; i < n; ++i) {
        if (patch.ColorValue[i] != values[i])
            return false;
    }
    return true;
}

} // namespace

// ---- Run state ----------------------------------------------------------------------------------------------------

int CModel::MeasureModeOfRun() const
{
    return m_orlo ? m_orlo->GetRegisteredChart() : 0;
}

bool CModel::IsChartRegistrationRun() const
{
    return m_orlo && m_orlo->GetRegistrationMode();
}

bool CModel::IsScanStopped() const
{
    return !m_orlo || m_orlo->IsMeasurementStopped();
}

void CModel::SetRegistrationMode(bool on)
{
    if (m_orlo)
        m_orlo->SetRegistrationMode(on);
}

bool CModel::BufferHoldsMeasuredData() const
{
    return m_dataBuffer->HoldsMeasuredData() && !m_dataBuffer->HasNoPlannedSheets();
}

void CModel::EndRun()
{
    m_dataBuffer->ResetPosition();
    m_dataBuffer->SetPlannedSheetCount(0);
    m_readBarcodes.clear();
    // The store kept the run's pages for the next append; a new run starts a new document.
    m_documentData->ForgetWrittenPages();
    m_densityRunResult.reset();
}

// ---- Storing patches ----------------------------------------------------------------------------------------------

int CModel::StorePatchCommon(int patchNumber, const int location[3], int count, const float *block,
                             const PatchColorResult &colors, bool density)
{
    if (!location || !block || count < 0)
        return kMissingArgument;
    const int measureMode = MeasureModeOfRun();
    int mode = 1;
    if (!density) {
        if (IsChartRegistrationRun() || measureMode == 0)
            mode = 2;
        else if (measureMode != 1)
            return 0;
    }
    // Checked before storing: a page outside the chart must not take the patch.
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const unsigned chartPage = m_dataBuffer->GetCurrentChartPageIndex();
    const unsigned measurePage = m_dataBuffer->GetCurrentSheetIndex();
    if (chart->SheetCount <= 0 || !chart->Sheets || chartPage >= unsigned(chart->SheetCount) ||
        measurePage >= unsigned(chart->SheetCount))
        return kPageOutOfRange;

    int result = m_dataBuffer->SetPatchMeasurement(patchNumber, location, block, colors, mode);
    if (result != 0) {
        ReportError(result, 24, false);
        return result;
    }
    if (IsScanStopped())
        return 0;

    const unsigned stored = m_dataBuffer->GetCurrentRecordCount();
    const unsigned expected = m_dataBuffer->GetExpectedRecordCount();
    const ChartDefinitionData::Sheet &sheet = chart->Sheets[chartPage];
    const float *v = colors.ColorValue;
    if (density)
        emit SetPatchColorDisplayDensity(uint(patchNumber), uint(qMax(sheet.PatchCount, 0)), location[0], location[1],
                                         location[2], uint(colors.ColorFormat), v[0], v[1], v[2], v[3], v[4], v[5],
                                         v[6], v[7]);
    else
        emit SetPatchColorDisplay(uint(patchNumber), expected, location[0], location[1], location[2],
                                  uint(colors.ColorFormat), v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);

    const bool complete = stored == unsigned(qMax(sheet.PatchCount, 0)) || stored == expected;
    if (!complete)
        return 0;
    if (density)
        result = FinishDensitySheet();
    else if (measureMode == 1)
        result = FinishDesignationSheet(false);
    else if (measureMode == 0)
        result = FinishRecognitionMeasure();
    else
        return 0;
    ReportError(result, 51, false);
    return result;
}

int CModel::StoreMeasuredPatch(int patchNumber, const int location[3], int count, const float *block,
                               const PatchColorResult &colors)
{
    return StorePatchCommon(patchNumber, location, count, block, colors, false);
}

int CModel::StoreMeasuredPatchDensity(int patchNumber, const int location[3], int count, const float *block,
                                      const PatchColorResult &colors)
{
    return StorePatchCommon(patchNumber, location, count, block, colors, true);
}

int CModel::StoreHandyMeasuredPatch(int patchNumber, const TanoSDK_PatchPosition *location, int count,
                                    const MeasurementData::PatchData *record, int extra)
{
    if (!location || !record || count < 0)
        return kMissingArgument;
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const unsigned chartPage = m_dataBuffer->GetCurrentChartPageIndex();
    if (chart->SheetCount <= 0 || !chart->Sheets || m_dataBuffer->GetCurrentSheetIndex() >= unsigned(chart->SheetCount) ||
        chartPage >= unsigned(chart->SheetCount))
        return kPageOutOfRange;
    const int where[3] = {location->area, location->row, location->column};
    PatchColorResult colors;
    colors.ColorFormat = record->ColorFormat;
    colors.ChartColorFormat = record->ColorFormat;
    std::memcpy(colors.ColorValue, record->ColorValue, sizeof(colors.ColorValue));
    std::memcpy(colors.ChartColorValue, record->ColorValue, sizeof(colors.ChartColorValue));
    const int result = m_dataBuffer->SetHandyPatchMeasurement(patchNumber, where, record->Values, colors, 1);
    if (result != 0)
        return result;
    const float *v = record->ColorValue;
    emit SetHandyPatchColorDisplay(uint(patchNumber), uint(qMax(chart->Sheets[chartPage].PatchCount, 0)), where[0],
                                   where[1], where[2], uint(record->ColorFormat), v[0], v[1], v[2], v[3], v[4], v[5],
                                   v[6], v[7], uint(extra));
    return 0;
}

// ---- Finishing pages ----------------------------------------------------------------------------------------------

int CModel::FinishDesignationSheet(bool announce)
{
    ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    const unsigned chartPage = m_dataBuffer->GetCurrentChartPageIndex();
    const unsigned measurePage = m_dataBuffer->GetCurrentSheetIndex();
    if (chart->SheetCount <= 0 || !chart->Sheets || chartPage >= unsigned(chart->SheetCount) ||
        measurePage >= unsigned(chart->SheetCount) || !measurement->Sheets ||
        measurePage >= unsigned(qMax(measurement->SheetCount, 0)))
        return kPageOutOfRange;

    int result = 0;
    if (IsChartRegistrationRun()) {
        const ChartDesigData *stored = m_documentData->FindDesignationChart(m_selectedChartId);
        const int index = stored && int(chartPage) < stored->SheetCount ? int(chartPage) : -1;
        result = m_documentData->UpdateDesignationChart(m_selectedChartId, chart->Sheets[chartPage], index);
        if (result != 0)
            return result;
    }

    measurement->Sheets[measurePage].PageNumber = int(chartPage) + 1;
    if (m_dataBuffer->IsFirstSheet()) {
        int id = 0;
        result = m_documentData->CreateDesignationMeasure(&id, m_selectedChartId, measurement);
        if (result == 0) {
            m_selectedFileId = id;
            m_newMeasurementId = id;
            m_selectionKind = KindDesignationMeasure;
        }
    } else {
        result = m_documentData->UpdateDesignationMeasure(m_newMeasurementId, measurement->Sheets[measurePage]);
    }
    if (result != 0)
        return result;
    m_dataBuffer->MarkPageStored();

    if (m_dataBuffer->IsAllSheetsMeasured()) {
        if (IsChartRegistrationRun())
            SetRegistrationMode(false);
        // Pages go into the document in scanning order; the sheet numbers their QR codes carried put them in
        // page order.
        if (m_readBarcodes.size() >= 2) {
            QList<int> pageNumbers;
            for (const SheetInfoRecord &record : qAsConst(m_readBarcodes))
                pageNumbers << record.SheetNumber;
            result = m_documentData->ReorderDesignationMeasurePages(m_newMeasurementId, pageNumbers);
        }
        emit MeasurementFinished(m_selectionKind, m_newMeasurementId);
        EndRun();
        if (m_documentData->IsStoreFull())
            ReportError(kMeasurementStoreFull, 52, false);
        return result;
    }
    if (announce)
        emit SetMainWindowChartCanvas(int(m_dataBuffer->GetCurrentSheetIndex()) - 1);
    return 0;
}

int CModel::FinishDensityCommon(bool handheld)
{
    MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const unsigned chartPage = m_dataBuffer->GetCurrentChartPageIndex();
    const unsigned measurePage = m_dataBuffer->GetCurrentSheetIndex();
    if (chart->SheetCount <= 0 || !chart->Sheets || chartPage >= unsigned(chart->SheetCount) ||
        measurePage >= unsigned(chart->SheetCount) || !measurement->Sheets ||
        measurePage >= unsigned(qMax(measurement->SheetCount, 0)))
        return kPageOutOfRange;

    measurement->Sheets[measurePage].PageNumber = int(chartPage) + 1;
    if (!handheld && !m_readBarcodes.isEmpty()) {
        const QString text = RecordText(m_readBarcodes.first());
        const int blank = text.indexOf(QLatin1Char(' '));
        measurement->BarcodeText1 = blank < 0 ? text : text.left(blank);
        measurement->BarcodeText2 = blank < 0 ? QString() : text.mid(blank + 1);
    }
    int result = 0;
    if (m_dataBuffer->IsFirstSheet()) {
        int id = 0;
        result = m_documentData->CreateDensityMeasure(&id, m_selectedChartId, measurement);
        if (result == 0) {
            m_selectedFileId = id;
            m_newMeasurementId = id;
            m_selectionKind = KindDensityMeasure;
        }
    } else {
        result = m_documentData->UpdateDensityMeasure(m_newMeasurementId, measurement->Sheets[measurePage]);
    }
    if (result != 0) {
        if (handheld)
            ReportError(result, 51, false);
        return result;
    }
    m_dataBuffer->MarkPageStored();

    // A handheld run plans no sheets: it ends with the chart's last page.
    const bool allStored = m_dataBuffer->HasNoPlannedSheets()
                               ? m_dataBuffer->GetCurrentSheetIndex() >= unsigned(chart->SheetCount)
                               : m_dataBuffer->IsAllSheetsMeasured();
    if (allStored) {
        std::optional<DensityRunResult> stored;
        if (!handheld && m_selectionKind == KindDensityMeasure)
            stored = DensityRunResult{m_newMeasurementId, m_selectedChartId, measurement->BarcodeText1,
                                      measurement->BarcodeText2, chart->ChartName};
        emit MeasurementFinished(m_selectionKind, m_newMeasurementId);
        EndRun();
        // Kept past the run's end for the scanner's sheet end, which saves it.
        m_densityRunResult = stored;
        if (m_documentData->IsStoreFull())
            ReportError(kMeasurementStoreFull, 52, false);
    }
    return 0;
}

int CModel::FinishDensitySheet()
{
    return FinishDensityCommon(false);
}

int CModel::FinishHandyDensitySheet()
{
    return FinishDensityCommon(true);
}

int CModel::FinishRecognitionMeasure()
{
    ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    if (chart->SheetCount > 0 && measurement->SheetCount > 0)
        m_dataBuffer->MarkPageStored();
    int id = 0;
    const int result = m_documentData->CreateRecognitionMeasure(&id, *chart, measurement);
    if (result == 0) {
        m_newMeasurementId = id;
        m_selectionKind = KindRecognition;
        m_selectedFileId = 0;
        m_selectedChartId = 0;
    }
    emit MeasurementFinished(m_selectionKind, m_newMeasurementId);
    EndRun();
    if (m_documentData->IsStoreFull())
        ReportError(kMeasurementStoreFull, 52, false);
    return result;
}

void CModel::StopMeasurementOrlo()
{
    StopMeasurementOrlo(false);
}

void CModel::StopMeasurementOrlo(bool bNextFeed)
{
    if (IsScanStopped()) {
        if (m_orloStatus != 9)
            return;
        SetOrloStatus(2);
        if (BufferHoldsMeasuredData()) {
            emit SetDesignationMeasureItemBackColor(m_newMeasurementId);
            if (m_dataBuffer->IsAllSheetsMeasured() && m_documentData->IsStoreFull())
                ReportError(kMeasurementStoreFull, 52, false);
        }
    } else {
        const bool holds = BufferHoldsMeasuredData();
        const int measureMode = MeasureModeOfRun();
        {
            // The scanner's stop drops the pending run, but finishing the page below still needs its position
            // and QR codes; EndRun drops them afterwards.
            const QScopedValueRollback<bool> keep(m_keepRunAcrossStop, true);
            m_orlo->StopMeasurement(bNextFeed);
        }
        if (holds) {
            if (measureMode == 0) {
                FinishRecognitionMeasure();
            } else if (measureMode == 1) {
                if (m_appStatus == 0) {
                    FinishDesignationSheet(false);
                    emit SetDesignationMeasureItemBackColor(m_newMeasurementId);
                } else if (m_appStatus == 7) {
                    FinishDensitySheet();
                }
            }
            if (!m_dataBuffer->IsAllSheetsMeasured() && m_documentData->IsStoreFull())
                ReportError(kMeasurementStoreFull, 52, false);
        }
    }
    EndRun();
}

// ---- Chart selection and QR codes ---------------------------------------------------------------------------------

int CModel::SelectChartFromJobNumber(int job)
{
    if (!m_dataBuffer->IsFirstSheet())
        return 0;
    int id = 0;
    if (m_appStatus == 0) {
        if (const ChartDesigData *record = m_documentData->FindDesignationChartByJob(job))
            id = record->ID;
    } else if (m_appStatus == 7) {
        if (const DensityBalanceData *record = m_documentData->FindDensityChartByJob(job))
            id = record->ID;
    }
    if (id == m_selectedFileId)
        return 0;
    m_dataBuffer->SetSelectionPending();
    if (m_appStatus == 0)
        emit SelectDesigChartFromFileID(id);
    else if (m_appStatus == 7)
        emit SelectDensityChartFromFileID(id);
    // The window clears the pending mark when it loads the chart.
    for (int sleep = 0; sleep < 10; ++sleep) {
        if (!m_dataBuffer->IsSelectionPending())
            return id == m_selectedFileId ? 0 : kSelectionNotTaken;
        QThread::msleep(10);
    }
    return kSelectionNotTaken;
}

bool CModel::IsBarcodeSheetRead(int sheetNumber) const
{
    for (const SheetInfoRecord &record : m_readBarcodes) {
        if (record.SheetNumber == sheetNumber)
            return true;
    }
    return false;
}

bool CModel::IsBarcodeOfCurrentRun(const SheetInfoRecord &record) const
{
    if (m_readBarcodes.isEmpty())
        return false;
    const SheetInfoRecord &first = m_readBarcodes.first();
    return std::memcmp(first.ChartCode, record.ChartCode, sizeof(record.ChartCode)) == 0 &&
           first.SheetCount == record.SheetCount && !IsBarcodeSheetRead(record.SheetNumber);
}

bool CModel::HandleScannedBarcode(const SheetInfoRecord &record)
{
    if (m_appStatus == 0) {
        if (!m_readBarcodes.isEmpty()) {
            if (IsBarcodeOfCurrentRun(record)) {
                if (!m_documentData->SheetMatchesChart(m_selectedChartId, record.SheetNumber - 1, record)) {
                    ClearPendingMeasurement();
                    return false;
                }
                // The controller starts the recognition of this sheet once the record is accepted.
                m_dataBuffer->SetCurrentChartPageIndex(unsigned(qMax(record.SheetNumber - 1, 0)));
            } else {
                ClearPendingMeasurement();
            }
        }
        if (!m_readBarcodes.isEmpty())
            m_readBarcodes.append(record);
        else if (m_documentData->FindDesignationChartForRecognition(record))
            m_readBarcodes.append(record);
        return true;
    }
    if (m_appStatus == 7 || m_appStatus == 8) {
        if (m_documentData->FindDensityChartForRecognition(record, m_densityTemplateIndex)) {
            m_readBarcodes.append(record);
            return true;
        }
        const int second = m_resourceData->GetTemplateSecondNumber(m_densityTemplateIndex);
        if (second == 0 || second == 1) {
            m_orlo->SetSelectBySize(true);
            m_orlo->SetDeviceCodeChoice(second == 1 ? 1 : 0);
            m_readBarcodes.append(record);
            return true;
        }
        return false;
    }
    ClearPendingMeasurement();
    return false;
}

void CModel::KeepJobSheetBarcode(const SheetInfoRecord &record)
{
    // The density sheet's text names the print ID and the printer that its measurement goes to.
    if (m_appStatus == 7 || m_appStatus == 8)
        m_readBarcodes.append(record);
}

void CModel::ClearPendingMeasurement()
{
    if (m_keepRunAcrossStop)
        return;
    if (!m_readBarcodes.isEmpty()) {
        if (!m_dataBuffer->IsFirstSheet())
            emit SetDesignationMeasureItemBackColor(m_newMeasurementId);
        m_dataBuffer->ResetPosition();
    }
    m_readBarcodes.clear();
}

void CModel::ResetMeasurementBuffer()
{
    EndRun();
}

// ---- Preparing a page ---------------------------------------------------------------------------------------------

int CModel::SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image, const OrloMeasurePoint *points,
                                 unsigned count)
{
    if (!image)
        return kNoImage;
    const int measureMode = MeasureModeOfRun();
    unsigned diameter = 0;
    if (measureMode == 0)
        diameter = unsigned(qMax(m_applicationData->GetUserEnvironment().Aperture, 0));
    else if (measureMode == 1)
        diameter = unsigned(qMax(m_dataBuffer->GetChartDefinition()->Diameter, 0));
    const int result = m_dataBuffer->SetRecognitionResult(layout, image, points, count, diameter);
    if (result != 0)
        return result;

    ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    const unsigned chartPage = m_dataBuffer->GetCurrentChartPageIndex();
    const unsigned measurePage = m_dataBuffer->GetCurrentSheetIndex();
    const unsigned sheets = unsigned(qMax(chart->SheetCount, 0));
    if (chartPage >= sheets || measurePage >= sheets || !measurement->Sheets ||
        measurePage >= unsigned(qMax(measurement->SheetCount, 0)))
        return 0;
    MeasurementData *page = &measurement->Sheets[measurePage];
    if (m_appStatus == 0) {
        emit SetMeasuredPointDisplay(page, chartPage + 1, sheets);
        emit SetChartDisplay(chart, chartPage + 1, uint(chart->UNIT), count, uint(measureMode));
    } else if (m_appStatus == 7) {
        emit SetMeasurePointDisplayDensity(page, chartPage + 1, sheets);
        emit SetChartDisplayDensity(chart, chartPage + 1, uint(chart->UNIT));
    }
    return 0;
}

int CModel::PrepareHandyMeasurement()
{
    return m_dataBuffer->PrepareHandyMeasurement(m_tano->GetModelKind());
}

int CModel::SelectDensityChartForScannedChart(unsigned width, unsigned height, const QString &code)
{
    if (width == 0 && height == 0) {
        emit DisplayDensityMeasureContinue(-1);
        return 0;
    }
    if (code.size() < 3)
        return kNoBarcodeEntries;
    QList<BarcodeEntry> candidates = m_resourceData->FindBarcodeEntries(code.at(1), code.at(2));
    if (candidates.isEmpty())
        return kNoBarcodeEntries;
    if (width >= 30800u && height >= 27100u) {
        QList<BarcodeEntry> large;
        for (const BarcodeEntry &entry : candidates) {
            if (entry.Code.startsWith(QLatin1Char('D')))
                large.append(entry);
        }
        if (!large.isEmpty() && !m_documentData->FindDensityChartsForTemplate(large, m_densityTemplateIndex).isEmpty())
            candidates = large;
    }
    const QList<int> charts = m_documentData->FindDensityChartsForTemplate(candidates, m_densityTemplateIndex);
    if (charts.isEmpty())
        return kNoDensityCharts;
    int best = -1;
    qint64 bestDistance = 0;
    for (int id : charts) {
        ChartDefinitionDataSheets chart;
        if (m_documentData->ReadDensityChart(id, &chart) == 0 && chart.SheetCount == 1 && chart.Sheets) {
            const qint64 distance = std::llabs(qint64(chart.Sheets[0].Width) - qint64(width)) +
                                    std::llabs(qint64(chart.Sheets[0].Height) - qint64(height));
            if (best < 0 || distance < bestDistance) {
                best = id;
                bestDistance = distance;
            }
        }
        ClearChartDefinitionData(&chart);
    }
    if (best < 0)
        return kNoOneSheetChart;
    emit DisplayDensityMeasureContinue(best);
    return 0;
}

int CModel::GetClippingChartResult(const QVector<ChartDefinitionData::ClipArea> &regions,
                                   ChartDefinitionData::Sheet *result, QVector<OrloLocatedPoint> *located)
{
    const int code = ClipRegions(regions, result, located);
    if (code != 0)
        ReportError(code, 29, true);
    return code;
}

int CModel::ClipRegions(const QVector<ChartDefinitionData::ClipArea> &regions, ChartDefinitionData::Sheet *result,
                        QVector<OrloLocatedPoint> *located)
{
    if (regions.isEmpty() || regions.size() > kMaxClipAreaCount)
        return COrloSDKController::kClippingFailed;
    int code = m_orlo->ClippingChart(int(m_dataBuffer->GetCurrentChartPageIndex()) + 1);
    if (code != 0)
        return code;

    // The scanner looks for patches inside the requested regions only and writes the layout it found over them.
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    layout.clipCount = regions.size();
    for (int c = 0; c < regions.size(); ++c) {
        const ChartDefinitionData::ClipArea &r = regions.at(c);
        const int32_t corners[8] = {r.LeftTopX,    r.LeftTopY,    r.RightTopX,    r.RightTopY,
                                    r.LeftBottomX, r.LeftBottomY, r.RightBottomX, r.RightBottomY};
        std::memcpy(layout.clips[c], corners, sizeof corners);
    }
    bool flag = false;
    char text[ORLO_SHEET_RECORD_SIZE] = {};
    code = m_orlo->GetPatchRecogResult(&flag, text, &layout);
    if (code != 0)
        return code;
    if (layout.areaCount == 0)
        return kNothingClipped;
    code = COrloSDKController::CheckLayout(layout);
    if (code != 0)
        return code;

    std::vector<OrloMeasurePoint> points(size_t(layout.patchCount));
    int count = 0;
    code = m_orlo->GetMeasurePoints(points.data(), layout.patchCount, &count);
    if (code != 0)
        return code;

    // The image buffer the scanner fills is the largest page it takes, whatever the page.
    constexpr int kWidth = 3638;
    constexpr int kHeight = 19000;
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[size_t(kWidth) * kHeight]);
    std::vector<OrloClipRecord> clips(static_cast<size_t>(kMaxClipAreaCount));
    OrloChartImage image;
    std::memset(&image, 0, sizeof image);
    image.clipCapacity = int32_t(clips.size());
    image.clips = clips.data();
    image.pixels = pixels.get();
    code = m_orlo->GetChartImage(&image, kWidth * kHeight);
    if (code != 0)
        return code;
    if (image.width <= 0 || image.height <= 0 || qint64(image.width) * image.height > qint64(kWidth) * kHeight)
        return COrloSDKController::kChartImageFailed;

    if (result) {
        result->Width = layout.width;
        result->Height = layout.height;
        result->AreaCount = layout.areaCount;
        result->PatchCount = layout.patchCount;
        for (int a = 0; a < kMaxAreaCount; ++a) {
            if (a >= layout.areaCount) {
                result->Areas[a] = {};
                result->Placements[a] = {};
                continue;
            }
            result->Areas[a] = {layout.areaCounts[a][0], layout.areaCounts[a][1], layout.areaCounts[a][2]};
            result->Placements[a] = {layout.areaGeometry[a][0], layout.areaGeometry[a][1], layout.areaGeometry[a][2],
                                     layout.areaGeometry[a][3], layout.areaGeometry[a][4], layout.areaGeometry[a][5]};
        }
        result->Patches.reset();
        const size_t bytes = size_t(image.width) * size_t(image.height);
        result->HasImage = 1;
        result->ImageWidth = image.width;
        result->ImageHeight = image.height;
        result->BitPerPixel = 8;
        result->ImageBytes = NewImageBytes(bytes);
        std::memcpy(result->ImageBytes.get(), pixels.get(), bytes);
        result->ImageDPI = 300;
        result->ClipAreaCount = qBound(0, int(image.clipCount), kMaxClipAreaCount);
        for (int c = 0; c < kMaxClipAreaCount; ++c) {
            const OrloClipRecord &clip = clips.at(size_t(c));
            result->ClipAreas[c] = c < result->ClipAreaCount
                                       ? ChartDefinitionData::ClipArea{clip.left, clip.top,    clip.right, clip.top,
                                                                       clip.left, clip.bottom, clip.right, clip.bottom}
                                       : ChartDefinitionData::ClipArea{};
        }
    }
    if (located) {
        located->clear();
        located->reserve(count);
        for (int i = 0; i < count; ++i) {
            const OrloMeasurePoint &p = points.at(size_t(i));
            located->append({p.x, p.y, p.area, p.row, p.column});
        }
    }
    return 0;
}

// ---- Automatic export ---------------------------------------------------------------------------------------------

QString CModel::BuildMeasurementFileName(const QString &path, int conditionId) const
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    const QString name = MeasurementConditionName(conditionId, m_illuminantData->GetSlots());
    return stem + QLatin1Char('_') + name + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

QString CModel::MakeExportBaseName(const Setting::UserEnvironment &environment, int measureMode) const
{
    if (environment.FileNameMode == 0) {
        // A recognition run has just cleared the selection: its own new document names the file.
        if (measureMode == 0)
            return ZeroPaddedNumber(m_newMeasurementId, 5);
        return m_dataBuffer->GetChartDefinition()->ChartName + QLatin1Char('_') + ZeroPaddedNumber(m_selectedFileId, 5);
    }
    return environment.AutoExportFileName + ZeroPaddedNumber(environment.AutoExportSerialNumber + 1, 4);
}

void CModel::SaveMeasurementAfterScan()
{
    ReportError(AutomaticExport(), 57, false);
}

int CModel::AutomaticExport()
{
    const Setting::UserEnvironment environment = m_applicationData->GetUserEnvironment();
    if (!environment.AutoExport)
        return 0;
    const QString folder = environment.AutoExportFolder;
    if (!QDir(folder).exists() && !QDir().mkdir(folder))
        return kFolderFailed;

    Setting::MeasureConditionSetting conditions =
        environment.ConditionSource == 0 ? m_applicationData->GetMeasurementCondition(0) : environment.Display;
    const int measureMode = MeasureModeOfRun();
    QString dateText;
    if (measureMode == 0) {
        if (const ChartRecogData *record = m_documentData->FindRecognitionMeasure(m_newMeasurementId))
            dateText = record->CreateTime;
    } else if (const ChartDesigMeasureData *record = m_documentData->FindDesignationMeasure(m_selectedFileId)) {
        dateText = record->CreateTime;
    }
    const QVector<int> ids = MeasurementConditionIdsFromMask(conditions.ConditionMask);
    if (conditions.DensityShown == 1 && conditions.WhiteReference == 1 && !SetPaperWhiteFromMeasurement())
        conditions.WhiteReference = 0;

    const QString base = MakeExportBaseName(environment, measureMode);
    const QString extension = OutputFormatExtension(environment.AutoExportFormat);
    const bool single = environment.AllConditionsInOneFile != 0;
    const auto filesFor = [&](const QString &path) {
        QStringList files;
        if (single)
            files << path;
        else
            for (int id : ids)
                files << BuildMeasurementFileName(path, id);
        return files;
    };
    const auto anyExists = [](const QStringList &files) {
        for (const QString &file : files) {
            if (QFileInfo::exists(file))
                return true;
        }
        return false;
    };
    // Never write over an earlier export: the smallest free suffix makes every file of this one new.
    QString path = QStringLiteral("%1%2%3%4").arg(folder, QStringLiteral("/"), base, extension);
    for (int k = 1; anyExists(filesFor(path)); ++k)
        path = QStringLiteral("%1%2%3%4").arg(folder, QStringLiteral("/"), base + QLatin1Char('_') + QString::number(k),
                                              extension);

    const MeasurementDataSheets &measurement = *m_dataBuffer->GetMeasurement();
    const ChartDefinitionDataSheets &chart = *m_dataBuffer->GetChartDefinition();
    int result = 0;
    if (single) {
        result = WriteMeasurementExport(path, environment.AutoExportFormat, dateText, conditions, ids, measurement,
                                        chart);
    } else {
        for (int id : ids) {
            result = WriteMeasurementExport(BuildMeasurementFileName(path, id), environment.AutoExportFormat, dateText,
                                            conditions, QVector<int>{id}, measurement, chart);
            if (result != 0)
                break;
        }
    }
    if (result == 0 && environment.FileNameMode == 1) {
        Setting::UserEnvironment next = m_applicationData->GetUserEnvironment();
        next.AutoExportSerialNumber = environment.AutoExportSerialNumber + 1;
        result = SetUserEnvironment(next);
    }
    return result;
}

void CModel::SaveDensityMeasurementAfterScan()
{
    if (!m_densityRunResult)
        return;
    const DensityRunResult run = *m_densityRunResult;
    m_densityRunResult.reset();
    if (!m_applicationData->GetMeasureDataSaveSetting().AutoTransmission || run.printerAddress.isEmpty()) {
        emit MeasureDataSave();
        return;
    }
    // The print ID comes from the chart's QR code: it names the file only when it cannot leave the folder.
    QString name = IsUsableDataGroupName(run.printId) ? run.printId : ZeroPaddedNumber(run.measurementId, 5);
    if (m_resourceData->GetTemplateSecondNumber(m_densityTemplateIndex) == 1) {
        const QString addition = m_resourceData->GetAddFileName(run.chartName);
        if (!addition.isEmpty() && IsUsableDataGroupName(name + QLatin1Char('_') + addition))
            name += QLatin1Char('_') + addition;
    }
    const QString path = AppDataDir() + QLatin1Char('/') + name + QStringLiteral(".txt");
    QString dateText;
    if (const ChartDesigMeasureData *record = m_documentData->FindDensityMeasure(run.measurementId))
        dateText = record->CreateTime;
    const int result =
        ExportDensityMeasurement(run.measurementId, run.chartId, path, dateText,
                                 m_resourceData->GetTemplateTextOutput(m_densityTemplateIndex),
                                 m_applicationData->GetMeasurementCondition(1));
    if (result != 0) {
        // A file that cannot be written is no fault of the scanner: shown at once, the run left as it is.
        ReportError(result, 51, true);
        emit MeasureDataSave();
        return;
    }
    emit MeasureDataPrinterSave(run.printerAddress, path);
}

// ---- Exports ------------------------------------------------------------------------------------------------------

int CModel::ExportMeasureData(const QString &path, int format, const QString &dateText)
{
    if (m_selectionKind == KindDesignationChart)
        return kChartSelected;
    const MeasurementDataSheets &measurement = *m_dataBuffer->GetMeasurement();
    const ChartDefinitionDataSheets &chart = *m_dataBuffer->GetChartDefinition();
    const Setting::MeasureConditionSetting conditions = m_applicationData->GetMeasurementCondition(0);
    const QVector<int> ids = MeasurementConditionIdsFromMask(conditions.ConditionMask);
    int result = 0;
    if (m_applicationData->GetUserEnvironment().AllConditionsInOneFile != 0) {
        result = WriteMeasurementExport(path, format, dateText, conditions, ids, measurement, chart);
    } else {
        for (int id : ids) {
            result = WriteMeasurementExport(BuildMeasurementFileName(path, id), format, dateText, conditions,
                                            QVector<int>{id}, measurement, chart);
            if (result != 0)
                break;
        }
    }
    ReportError(result, 2, false);
    return result;
}

int CModel::ExportDensityMeasureData(const QString &path, const QString &dateText, int templateFirstNumber,
                                     const Setting::MeasureConditionSetting &conditions)
{
    return ExportDensityMeasurement(m_selectedFileId, m_selectedChartId, path, dateText, templateFirstNumber,
                                    conditions);
}

int CModel::ExportDensityMeasurement(int measurementId, int chartId, const QString &path, const QString &dateText,
                                     int templateFirstNumber, const Setting::MeasureConditionSetting &conditions)
{
    ChartDefinitionDataSheets chart;
    MeasurementDataSheets measurement;
    int result = m_documentData->ReadDensityChart(chartId, &chart);
    if (result == 0)
        result = m_documentData->ReadDensityMeasure(measurementId, chartId, &measurement);
    if (result == 0)
        result = WriteDensityMeasureFile(path, dateText, templateFirstNumber, conditions, measurement, chart);
    ClearMeasureFileData(&measurement);
    ClearChartDefinitionData(&chart);
    return result;
}

// ---- Values of measured patches -----------------------------------------------------------------------------------

int CModel::CalculatePatchColor(float *values, bool *hasSpectral, int sheet, int area, int row, int column,
                                int conditionId, const Setting::MeasureConditionSetting &conditions)
{
    if (hasSpectral)
        *hasSpectral = false;
    const MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    if (sheet < 0 || sheet >= measurement->SheetCount || !measurement->Sheets)
        return kNoCurrentSheet;
    const MeasurementData &page = measurement->Sheets[sheet];
    MeasurementData::PatchData record;
    if (!FindPatchMeasurement(page.Records.get(), page.RecordCount, area, row, column, &record) ||
        !AnyMeasuredValue(record))
        return 0;
    if (hasSpectral)
        *hasSpectral = true;
    return values ? m_orlo->CalculatePatchValues(values, record.Values, conditions, conditionId) : 0;
}

int CModel::CalculateSamePatchAverage(PatchDisplayValues &record, const QVector<int> &conditionIds,
                                      const Setting::MeasureConditionSetting &conditions)
{
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    const int conditionsUsed = qMin(conditionIds.size(), kDisplayConditionCount);
    double sums[kDisplayConditionCount][kPatchValueSetSize] = {};
    int contributed = 0;
    int result = 0;
    for (int p = 0; measurement->Sheets && p < measurement->SheetCount; ++p) {
        const MeasurementData &page = measurement->Sheets[p];
        const int sheetIndex = page.PageNumber - 1;
        if (!chart->Sheets || sheetIndex < 0 || sheetIndex >= chart->SheetCount || !page.Records)
            continue;
        const ChartDefinitionData::Sheet &sheet = chart->Sheets[sheetIndex];
        for (int r = 0; r < page.RecordCount; ++r) {
            const MeasurementData::PatchData &measured = page.Records[r];
            if (!AnyMeasuredValue(measured))
                continue;
            ChartDefinitionData::PatchColor patch;
            if (!FindChartPatch(sheet.Patches.get(), sheet.PatchCount, measured.Area, measured.Row, measured.Column,
                                &patch) ||
                !SameDefinedColour(patch, record.ColorFormat, record.ColorValue))
                continue;
            ++contributed;
            for (int k = 0; k < conditionsUsed; ++k) {
                float values[kPatchValueSetSize] = {};
                result = m_orlo->CalculatePatchValues(values, measured.Values, conditions, conditionIds.at(k));
                for (int v = 0; v < kPatchValueSetSize; ++v)
                    sums[k][v] += values[v];
            }
        }
    }
    for (int k = 0; k < conditionsUsed && contributed > 0; ++k) {
        for (int v = 0; v < kPatchValueSetSize; ++v)
            record.Averages[k][v] = float(sums[k][v] / contributed);
    }
    record.Averaged = contributed > 1;
    return result;
}

int CModel::GetDefinedPatchColor(PatchDisplayValues &record)
{
    ChartDefinitionData::Sheet *sheet = nullptr;
    const int result = GetCurrentSheet(&sheet);
    if (result != 0)
        return result;
    ChartDefinitionData::PatchColor patch;
    if (FindChartPatch(sheet->Patches.get(), sheet->PatchCount, record.Area, record.Row, record.Column, &patch)) {
        record.ID = patch.ID;
        record.ColorFormat = patch.ColorFormat;
        std::memcpy(record.ColorValue, patch.ColorValue, sizeof(record.ColorValue));
    }
    return 0;
}

bool CModel::SetPaperWhiteFromMeasurement()
{
    const Setting::MeasureConditionSetting conditions = m_applicationData->GetMeasurementCondition(m_appStatus != 0 ? 1 : 0);
    const QVector<int> ids = MeasurementConditionIdsFromMask(conditions.ConditionMask);
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const MeasurementDataSheets *measurement = m_dataBuffer->GetMeasurement();
    for (int p = 0; measurement->Sheets && p < measurement->SheetCount; ++p) {
        const MeasurementData &page = measurement->Sheets[p];
        const int sheetIndex = page.PageNumber - 1;
        if (!chart->Sheets || sheetIndex < 0 || sheetIndex >= chart->SheetCount)
            continue;
        const ChartDefinitionData::Sheet &sheet = chart->Sheets[sheetIndex];
        for (int i = 0; sheet.Patches && i < sheet.PatchCount; ++i) {
            const ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
            if (!IsPaperWhitePatch(patch))
                continue;
            MeasurementData::PatchData measured;
            if (!FindPatchMeasurement(page.Records.get(), page.RecordCount, patch.Area, patch.Row, patch.Column,
                                      &measured))
                continue;
            if (m_orlo->StorePaperDensities(measured.Values, conditions, ids) == 0)
                return true;
        }
    }
    return false;
}

bool CModel::IsRecognitionMeasureIncomplete(int id)
{
    ChartDefinitionDataSheets chart;
    MeasurementDataSheets measurement;
    bool incomplete = false;
    if (m_documentData->ReadRecognitionMeasure(id, &chart, &measurement) == 0)
        incomplete = chart.ChartPatchCount != measurement.RecordCount;
    ClearMeasureFileData(&measurement);
    ClearChartDefinitionData(&chart);
    return incomplete;
}

// ---- Slots --------------------------------------------------------------------------------------------------------

void CModel::CurrentUserEnvironmentChanged()
{
    int result = m_documentData->ReadAllDocuments();
    if (result == 0)
        result = m_documentData->ReadAllDensityDocuments();
    ReportError(result, 3, false);
}

void CModel::FindDesignationChart(int fileID, int pageNo)
{
    if (BufferHoldsMeasuredData()) {
        emit SetDesignationMeasureItemBackColor(m_newMeasurementId);
        m_dataBuffer->ResetPosition();
    }
    emit FindDesignationChartFound(fileID, pageNo);
}
