// The chart-scanner controller: starting a patch recognition and checking what it found against the
// registered chart (events 5 and 7 of a run).

#include "app/orlosdkcontroller.h"

#include "app/checkchartcoordinate.h"
#include "app/orlobuilders.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxGridSide = 244;
constexpr int kUnmatchedColours = 16384;
constexpr int kLibraryRefused = 1001;

} // namespace

void COrloSDKController::UpdateRegistration(int flag)
{
    if (m_registeredChart == 0 && flag == 1) {
        m_registrationMode = 1;
        m_registeredChart = 1;
    } else {
        m_registrationMode = 0;
        if (flag == 0 || flag == 1)
            m_registeredChart = flag;
    }
}

int COrloSDKController::StartRecognition(int flag)
{
    COrloSDKHost *host = m_host;
    if (!host)
        return 0;
    m_layoutCheckPending = 0;
    m_restartRequested = 0;
    UpdateRegistration(flag);
    const int page = int(host->GetCurrentChartPageIndex()) + 1;
    if (m_registeredChart != 1) {
        const int r = Orlo_StartPatchRecognition(0, page, nullptr, 0, nullptr);
        if (r == kLibraryRefused)
            return kRecognitionRefused;
        return r != 0 ? kRecognitionStartFailed : 0;
    }
    OrloSelectedChart chart;
    if (!host->GetSelectedChart(&chart))
        chart = OrloSelectedChart();
    const ChartDefinitionData::Sheet *sheet = nullptr;
    const int r = host->GetCurrentSheet(&sheet);
    if (r != 0)
        return r;
    int mode = chart.Recog;
    bool passLayout = true;
    if (host->GetOperationState() != 0) {
        if (chart.Recog == ChartDefinitionData::RecogMatrix || chart.Recog == ChartDefinitionData::RecogCombine) {
            mode = ChartDefinitionData::RecogMatrix;
            passLayout = false;
        } else {
            mode = ChartDefinitionData::RecogDefinition;
        }
    }
    const int result = Recognise(chart.JobNumber, page, *sheet, mode, passLayout);
    if (result == 0)
        host->SetPlannedSheetCount(unsigned(std::max(0, chart.SheetCount)));
    return result;
}

int COrloSDKController::Recognise(int job, int page, const ChartDefinitionData::Sheet &sheet, int mode,
                                  bool passLayout)
{
    OrloLayoutRecord layout;
    std::vector<unsigned char> enlarged;
    BuildLayoutRecord(sheet, &layout, &enlarged);
    OrloColorCheckBuffer colours;
    BuildColorCheckList(sheet, Environment().Inks, &colours);
    const OrloLayoutRecord *given = passLayout && layout.areaCount > 0 ? &layout : nullptr;
    const int r = Orlo_StartPatchRecognition(job, page, given, mode, colours.IsEmpty() ? nullptr : colours.List());
    if (r == kLibraryRefused)
        return kRecognitionRefused;
    return r != 0 ? kRecognitionStartFailed : 0;
}

int COrloSDKController::ReStartPatchRecognition(const ChartDefinitionData::Sheet &sheet, int page)
{
    COrloSDKHost *host = m_host;
    if (!host)
        return 0;
    m_layoutCheckPending = 1;
    OrloSelectedChart chart;
    if (!host->GetSelectedChart(&chart))
        chart = OrloSelectedChart();
    const int mode = m_restartRequested ? ChartDefinitionData::RecogCoordinate : ChartDefinitionData::RecogDefinition;
    const int result = Recognise(chart.JobNumber, page, sheet, mode, true);
    if (result == 0)
        host->SetPlannedSheetCount(unsigned(std::max(0, chart.SheetCount)));
    return result;
}

int COrloSDKController::RestartRecognition(int mode)
{
    COrloSDKHost *host = m_host;
    if (!host)
        return 0;
    const ChartDefinitionData::Sheet *sheet = nullptr;
    int result = host->GetCurrentSheet(&sheet);
    if (result == 0) {
        m_restartRequested = 1;
        UpdateRegistration(mode);
        result = ReStartPatchRecognition(*sheet, int(host->GetCurrentChartPageIndex()) + 1);
    }
    host->ReportError(result, 24, false);
    return result;
}

int COrloSDKController::RecognitionResult(int *message)
{
    COrloSDKHost *host = m_host;
    host->SetChartRowsColumnsSwapped(false);
    m_swapped = false;
    int32_t code = 0;
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    if (Orlo_GetPatchRecognitionResult2(&code, 0, &layout) != 0) {
        *message = 26;
        return kRecognitionResultFailed;
    }
    if (CheckLayout(layout) != 0) {
        *message = 26;
        return kLayoutInconsistent;
    }
    for (int a = 0; a < layout.areaCount; ++a) {
        layout.areaGeometry[a][0] = std::max(0, layout.areaGeometry[a][0]);
        layout.areaGeometry[a][1] = std::max(0, layout.areaGeometry[a][1]);
    }
    m_points.assign(size_t(layout.patchCount), OrloMeasurePoint{});
    int count = 0;
    if (GetMeasurePoints(m_points.data(), layout.patchCount, &count) != 0) {
        m_points.clear();
        return kMeasurePointsFailed;
    }
    m_points.resize(size_t(count));
    if (m_registeredChart == 1 || m_restartRequested)
        return LayoutCheck(host->GetOperationState() == 7 ? 0 : code, layout);
    return LowReliabilityCheck(code, layout);
}

int COrloSDKController::CheckLayout(const OrloLayoutRecord &layout)
{
    // Counts come from the instrument: anything the page could not hold is refused.
    bool consistent = layout.areaCount >= 0 && layout.areaCount <= ORLO_MAX_AREAS && layout.patchCount >= 0;
    qint64 sum = 0;
    for (int a = 0; consistent && a < layout.areaCount; ++a) {
        const int rows = layout.areaCounts[a][0], columns = layout.areaCounts[a][1], patches = layout.areaCounts[a][2];
        consistent = rows >= 0 && rows <= kMaxGridSide && columns >= 0 && columns <= kMaxGridSide && patches >= 0 &&
                     patches <= rows * columns;
        sum += patches;
    }
    return consistent && sum == layout.patchCount ? 0 : kLayoutInconsistent;
}

int COrloSDKController::GetMeasurePoints(OrloMeasurePoint *points, int capacity, int *count)
{
    *count = 0;
    if (capacity <= 0)
        return 0;
    int32_t n = capacity;
    if (Orlo_GetMeasurePoint(points, &n) != 0)
        return kMeasurePointsFailed;
    *count = std::clamp(n, 0, capacity);
    return 0;
}

int COrloSDKController::TakeRecognitionResult(const OrloLayoutRecord *layout)
{
    const OrloImage image = CapturedImage();
    return m_host->SetRecognitionResult(layout, image.pixels ? &image : nullptr, m_points.data(),
                                        unsigned(m_points.size()));
}

int COrloSDKController::StopAndClear(bool feedNext)
{
    const int result = Orlo_StopMeasurement(feedNext ? 1 : 0) != 0 ? kStopFailed : 0;
    m_stopped = 1;
    m_host->ClearPendingMeasurement();
    return result;
}

int COrloSDKController::LayoutCheck(int mode, const OrloLayoutRecord &layout)
{
    COrloSDKHost *host = m_host;
    const Setting::UserEnvironment &environment = Environment();
    const ChartDefinitionData::Sheet *sheet = nullptr;
    int result = host->GetCurrentSheet(&sheet);
    if (result != 0)
        return result;
    int option = 0;
    if (m_restartRequested) {
        option = environment.Aperture;
        m_restartRequested = 0;
    } else {
        OrloSelectedChart chart;
        if (host->GetSelectedChart(&chart))
            option = chart.Diameter;
    }
    if (mode != 0)
        return UnmatchedColourStop(mode, option, environment.PositionGap);

    int outcome = CCheckChartCoordinate(layout, *sheet).CheckCoordinate();
    if (outcome == CCheckChartCoordinate::RowsColumnsSwapped) {
        host->SetChartRowsColumnsSwapped(true);
        m_swapped = true;
        outcome = CCheckChartCoordinate::Same;
    }
    result = TakeRecognitionResult(nullptr);
    if (result != 0)
        return result;
    if (outcome == CCheckChartCoordinate::Same) {
        host->SetOrloStatus(6);
        return StartNextMeasurement(option, environment.PositionGap);
    }
    if (GetDeviceState() == 0) {
        host->SetOrloStatus(6);
        host->EmitMatchingMessage(outcome);
        return 0;
    }
    host->FinishDesignationSheet(false);
    return StopAndClear(true);
}

int COrloSDKController::UnmatchedColourStop(int mode, int option, bool secondVariant)
{
    COrloSDKHost *host = m_host;
    if (m_layoutCheckPending) {
        m_layoutCheckPending = 0;
        if (mode != kUnmatchedColours) {
            if (GetDeviceState() == 0)
                return kUnmatchWithoutRun;
            TakeRecognitionResult(nullptr);
            host->FinishDesignationSheet(false);
            return StopAndClear(true);
        }
    } else if (mode != kUnmatchedColours) {
        const ChartDefinitionData::Sheet *sheet = nullptr;
        const int result = host->GetCurrentSheet(&sheet);
        if (result != 0)
            return result;
        return ReStartPatchRecognition(*sheet, int(host->GetCurrentChartPageIndex()) + 1);
    }
    const int result = TakeRecognitionResult(nullptr);
    if (result != 0)
        return result;
    host->SetOrloStatus(6);
    if (!Environment().ColorWarning && GetDeviceState() == 0) {
        host->EmitPatchColorUnmatch();
        return 0;
    }
    return StartNextMeasurement(option, secondVariant);
}

int COrloSDKController::LowReliabilityCheck(int code, const OrloLayoutRecord &layout)
{
    COrloSDKHost *host = m_host;
    const Setting::UserEnvironment &environment = Environment();
    const int result = TakeRecognitionResult(&layout);
    if (result != 0)
        return result;
    host->SetOrloStatus(6);
    const bool found = !m_points.empty();
    const bool canGoOn = code == 0 && found;
    if (GetDeviceState() == 0) {
        if (!canGoOn || environment.ConfirmChart) {
            host->EmitSetMainWindowChartCanvas(1);
            if (!found)
                host->EmitMeasurementRestartEnable(false);
            if (code != 0)
                host->EmitReliableLow();
            return 0;
        }
    } else if (!canGoOn) {
        host->FinishRecognitionMeasure();
        return StopAndClear(true);
    }
    return StartNextMeasurement(environment.Aperture, environment.PositionGap);
}
