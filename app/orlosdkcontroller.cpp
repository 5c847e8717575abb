// The chart-scanner controller: its life, the device events of a run (capture, patch data, sheet end, error
// endings) and starting and stopping a measurement. Recognition is in orlosdkcontroller_recognition.cpp, the
// single library calls in orlosdkcontroller_device.cpp.

#include "app/orlosdkcontroller.h"

#include "app/colourhelpers.h"
#include "app/constants.h"
#include "app/unithelpers.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

constexpr int kImageDpi = 300;
constexpr int kMaxImageSide = 20000;
constexpr int kPatchStepCondition = 4; // the condition the per-patch colour is taken under

// The library's callback has no object: it finds the live controller here. Set by the constructor, cleared by
// the destructor once the library has stopped calling back.
std::atomic<COrloSDKController *> s_live{nullptr};

SheetInfoRecord SheetRecordOf(const OrloCaptureText &text)
{
    SheetInfoRecord record;
    static_assert(sizeof record == sizeof text.record, "sheet record");
    std::memcpy(&record, text.record, sizeof record);
    return record;
}

} // namespace

COrloSDKController::COrloSDKController(COrloSDKHost *host, QObject *parent)
    : QObject(parent), m_host(host),
      m_pump([this](int code, int value, int count) { HandleEvent(code, value, count); }), m_calculator(host)
{
    s_live.store(this);
}

COrloSDKController::~COrloSDKController()
{
    // No callback may run while the state goes: the library returns from this only when none is running.
    Orlo_RegisterDeviceEventHandler(nullptr);
    COrloSDKController *self = this;
    s_live.compare_exchange_strong(self, nullptr);
    if (m_connected)
        DisconnectImpl(false);
}

// ---- events ----------------------------------------------------------------------------------------------

void COrloSDKController::DeviceEventFunction(int code, int value, void *, int count)
{
    if (COrloSDKController *self = s_live.load())
        self->m_pump.Post(code, value, count);
}

int COrloSDKController::GetLastEvent() const
{
    return m_pump.LastEvent();
}

int COrloSDKController::QueuedEventCount() const
{
    return m_pump.QueuedCount();
}

void COrloSDKController::HandleEvent(int code, int value, int count)
{
    COrloSDKHost *host = m_host;
    if (!host)
        return;
    switch (code) {
    case 0:
        if (!host->IsFirstSheet()) {
            host->EmitDesignationMeasureItemBackColor();
            host->ResetMeasurementBuffer();
        }
        host->SetOrloStatus(12);
        break;
    case 1:
        SetSelectedStatus();
        break;
    case 2:
    case 4:
    case 6:
    case 8:
        break;
    case 3: {
        const int result = CaptureStart();
        if (result != 0 && result != kMeasurementLimit)
            host->ReportError(result, 24, false);
        break;
    }
    case 5: {
        int message = 24;
        const int result = CaptureResult(value, &message);
        if (result != 0 && message != 0)
            host->ReportError(result, message, false);
        m_densityEndPending = 0;
        m_densityEndRequest = 0;
        break;
    }
    case 7: {
        int message = 24;
        const int result = RecognitionResult(&message);
        if (result != 0 && message != 0)
            host->ReportError(result, message, false);
        break;
    }
    case 9:
        SheetEnd(count);
        break;
    case 10:
        ExitMeasurement();
        host->ReportError(0, 0, false);
        host->SetOrloStatus(2);
        break;
    case 11: {
        int message = 24;
        const int result = PatchData(count, &message);
        if (result != 0 && message != 0)
            host->ReportError(result, message, false);
        break;
    }
    case 101:
        host->SetOrloStatus(10);
        ExitMeasurement();
        break;
    case 102:
        host->SetOrloStatus(11);
        ExitMeasurement();
        break;
    case 103:
        ErrorEnding(kEventTimeout, 31);
        break;
    case 201:
        ErrorEnding(kEventPrescan, 23);
        break;
    case 202:
        ErrorEnding(kEventMeasurement, 24);
        break;
    case 203:
        ErrorEnding(kEventSensor, 25);
        break;
    case 204:
        ErrorEnding(kEventCalculation, 34);
        break;
    case 205:
        ErrorEnding(kEventChartTooLong, 35);
        break;
    case 206:
        ErrorEnding(kEventMemory, 54);
        break;
    case 301:
        ErrorEnding(kEventFatal, 20);
        break;
    default:
        ErrorEnding(kEventUnknown, 61);
        break;
    }
}

int COrloSDKController::SetSelectedStatus()
{
    const int status = m_host->IsAllSheetsMeasured() ? 2 : 9;
    m_host->SetOrloStatus(status);
    return status;
}

void COrloSDKController::ErrorEnding(int code, int message)
{
    COrloSDKHost *host = m_host;
    m_stopped = 1;
    Orlo_ExitMeasurement(0, 0);
    // A timed-out connection is shown by the status alone.
    if (message != 31)
        host->ReportError(code, message, false);
    if (GetDeviceState() != 0) {
        // The instrument still holds the run: keep what was measured. A page laid out by the recognition
        // already holds its image and records; only a sheet that got no further than the capture is stored
        // here, with its image.
        const int source = host->GetSelectionSource();
        const int previous = m_pump.LastEvent();
        if (previous == 5 || previous == 6) {
            const OrloImage image = CapturedImage();
            host->SetSheetImage(image.pixels ? &image : nullptr, source);
        }
        if (source != 0)
            host->FinishDesignationSheet(false);
        else
            host->FinishRecognitionMeasure();
        SetSelectedStatus();
        return;
    }
    host->EmitDesignationMeasureItemBackColor();
    host->SetOrloStatus(message == 31 ? 1 : 2);
    host->ResetMeasurementBuffer();
}

int COrloSDKController::CaptureStart()
{
    COrloSDKHost *host = m_host;
    // A message parked in an earlier run would otherwise be parked again once stopped is cleared.
    host->ReportError(0, 0, false);
    m_stopped = 0;
    host->SetOrloStatus(3);
    if (host->IsAllSheetsMeasured() && host->IsMeasureDataLimitReached()) {
        host->ReportError(kMeasurementLimit, 52, false);
        return kMeasurementLimit;
    }
    const int state = host->GetOperationState();
    if (state != 0 && state != 7 && state != 8)
        return kScreenNotActive;
    if (Orlo_StartCapture() != 0)
        return kCaptureStartFailed;
    host->SetOrloStatus(5);
    return 0;
}

OrloImage COrloSDKController::CapturedImage()
{
    return {m_imageWidth, m_imageHeight, m_imageBits, m_image.empty() ? nullptr : m_image.data()};
}

int COrloSDKController::ReadCapturedImage()
{
    m_image.clear();
    m_image.shrink_to_fit();
    m_imageWidth = m_imageHeight = m_imageBits = 0;
    int32_t width = 0, height = 0, bits = 0;
    if (Orlo_GetCaptureResult(&width, &height, &bits, nullptr, nullptr) != 0)
        return kCaptureResultFailed;
    if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide ||
        (bits != 8 && bits != 24 && bits != 32))
        return kCaptureResultFailed;
    const qint64 bytes = ImageByteCount(width, height, bits);
    if (bytes <= 0)
        return kCaptureResultFailed;
    m_image.assign(size_t(bytes), 0);
    OrloImage record = {width, height, bits, m_image.data()};
    int32_t w = 0, h = 0, b = 0;
    if (Orlo_GetCaptureResult(&w, &h, &b, nullptr, &record) != 0) {
        m_image.clear();
        m_image.shrink_to_fit();
        return kCaptureImageFailed;
    }
    m_imageWidth = width;
    m_imageHeight = height;
    m_imageBits = bits;
    return 0;
}

int COrloSDKController::ReadCaptureText(OrloCaptureText *text)
{
    std::memset(text, 0, sizeof *text);
    text->status = 1;
    int32_t w = 0, h = 0, b = 0;
    if (Orlo_GetCaptureResult(&w, &h, &b, text, nullptr) != 0)
        return kCaptureResultFailed;
    if (std::memcmp(text->record, "FAIL", 4) == 0 || std::memcmp(text->record, "Orlo", 4) != 0)
        text->status = 1;
    return 0;
}

int COrloSDKController::CaptureResult(int value, int *message)
{
    COrloSDKHost *host = m_host;
    int result = ReadCapturedImage();
    if (result != 0) {
        *message = 27;
        return result;
    }
    if (value != 0) {
        host->SelectChartFromJobNumber(value);
        m_registeredChart = 1;
        // A density sheet measured as a job still carries its print ID and printer address in its QR text; a
        // designation job's run keeps no QR records, so its pages stay as the job stores them.
        const int state = host->GetOperationState();
        OrloCaptureText text;
        if ((state == 7 || state == 8) && ReadCaptureText(&text) == 0 && text.status == 0)
            host->KeepJobSheetBarcode(SheetRecordOf(text));
    } else {
        OrloCaptureText text;
        if (ReadCaptureText(&text) != 0)
            return kCaptureResultFailed;
        const bool fail = std::memcmp(text.record, "FAIL", 4) == 0;
        bool barcodeRun = false;
        if (text.status == 0) {
            const SheetInfoRecord record = SheetRecordOf(text);
            if (!host->HandleScannedBarcode(record)) {
                StopMeasurement(true);
                return 0;
            }
            if (host->HasReadBarcodes()) {
                if (m_selectBySize) {
                    m_selectBySize = 0;
                    const int choice = m_deviceCodeChoice;
                    m_deviceCodeChoice = -1;
                    if (choice != 0 && choice != 1) {
                        StopMeasurement(true);
                        return 0;
                    }
                    const unsigned width = unsigned(PixelsToUnitFixed(kUnitMm, m_imageWidth, kImageDpi));
                    const unsigned height = unsigned(PixelsToUnitFixed(kUnitMm, m_imageHeight, kImageDpi));
                    const QString code = choice == 0 ? host->GetDeviceCodeA(record) : host->GetDeviceCodeB(record);
                    if (host->SelectDensityChartForScannedChart(width, height, code) != 0) {
                        StopMeasurement(true);
                        return 0;
                    }
                }
                m_registeredChart = 1;
                barcodeRun = true;
            }
        } else if (fail) {
            host->SelectDensityChartForScannedChart(0, 0, QString());
            StopMeasurement(true);
            return 0;
        }
        if (!barcodeRun)
            m_registeredChart = host->GetSelectionSource() != 0 ? 1 : 0;
    }
    if (m_stopped)
        return 0;
    result = StartRecognition(m_registeredChart);
    if (result == kRecognitionRefused)
        *message = 23;
    return result;
}

int COrloSDKController::PatchData(int count, int *message)
{
    COrloSDKHost *host = m_host;
    const Setting::UserEnvironment environment = Environment();
    const unsigned current = host->GetCurrentRecordCount();
    const unsigned limit = std::min({unsigned(std::max(0, count)), unsigned(m_points.size()),
                                     host->GetExpectedRecordCount()});
    if (m_stopped) {
        // A patch the instrument measured before it took the stop: stored, never more than one.
        if (current >= limit)
            return 0;
    } else if (current >= limit) {
        return 0;
    }
    const int options = m_calculator.SetOption(DefaultDisplayColumns(), kPatchStepCondition);
    if (options != 0) {
        *message = 0; // reported with its own message
        return options;
    }
    const unsigned end = m_stopped ? current + 1 : limit;
    for (unsigned i = current; i < end; ++i) {
        const int result = FetchPatch(int(i), count, environment);
        if (result == kPatchDataFailed) {
            *message = 28;
            return result;
        }
        if (result != 0) {
            *message = 0; // the store reports its own failures
            return result;
        }
    }
    return 0;
}

int COrloSDKController::FetchPatch(int index, int count, const Setting::UserEnvironment &environment)
{
    COrloSDKHost *host = m_host;
    const int32_t selection[3] = {index, -1, -1};
    float block[kInstrumentValueCount] = {};
    float xyz[3] = {};
    if (Orlo_SetOption(3, 12) != 0 || Orlo_GetData(selection, block, kInstrumentValueCount) != 0 ||
        Orlo_SetOption(3, 2) != 0 || Orlo_GetData(selection, xyz, 3) != 0)
        return kPatchDataFailed;
    PatchColorResult colors;
    colors.ColorFormat = ChartDefinitionData::FormatRGB;
    XyzToPatchColorValues(colors.ColorValue, colors.ColorFormat, xyz, ColorFormatRow(colors.ColorFormat).paperWhite);
    colors.ChartColorFormat = environment.ColorFormat;
    XyzToPatchColorValues(colors.ChartColorValue, colors.ChartColorFormat, xyz,
                          ColorFormatRow(colors.ChartColorFormat).paperWhite);
    const OrloMeasurePoint &p = m_points[size_t(index)];
    // The buffer matched the registered grid with row and column exchanged when the chart lies turned.
    const int location[3] = {p.area, m_swapped ? p.column : p.row, m_swapped ? p.row : p.column};
    const int state = host->GetOperationState();
    if (state == 0)
        return host->StoreMeasuredPatch(index, location, count, block, colors);
    if (state == 7)
        return host->StoreMeasuredPatchDensity(index, location, count, block, colors);
    return 0;
}

void COrloSDKController::SheetEnd(int count)
{
    COrloSDKHost *host = m_host;
    if (!m_stopped) {
        if (count == 0)
            host->ReportError(kSheetEndWithoutPatches, 30, false);
        else if (!host->IsPageMeasured())
            host->ReportError(kSheetIncomplete, 24, false);
    }
    const bool all = SetSelectedStatus() == 2;
    const int state = host->GetOperationState();
    if (state != 7 && state != 8) {
        ExitMeasurement();
    } else if (host->GetMeasurementSheetCount() == 0 || m_densityEndRequest == 1) {
        if (m_densityEndRequest == 1)
            m_densityEndRequest = m_densityEndPending = 0;
        ExitMeasurement();
    } else {
        m_densityEndPending = 1;
    }
    if (all) {
        if (state == 0)
            host->SaveMeasurementAfterScan();
        else if (state == 7 || state == 8)
            host->SaveDensityMeasurementAfterScan();
        host->DeleteSelectedChartJob();
    }
}

const Setting::UserEnvironment &COrloSDKController::Environment() const
{
    static const Setting::UserEnvironment defaults;
    const Setting::UserEnvironment *environment = m_host ? m_host->GetUserEnvironment() : nullptr;
    return environment ? *environment : defaults;
}

// ---- measurement run -------------------------------------------------------------------------------------

int COrloSDKController::StartMeasurement()
{
    COrloSDKHost *host = m_host;
    if (!host)
        return kMeasurementStartFailed;
    const ChartDefinitionData::Sheet *sheet = nullptr;
    const int result = host->GetCurrentSheet(&sheet);
    if (result != 0)
        return result;
    OrloSelectedChart chart;
    if (!host->GetSelectedChart(&chart))
        chart = OrloSelectedChart();
    return StartNextMeasurement(chart.Diameter, Environment().PositionGap);
}

int COrloSDKController::StartNextMeasurement(int option, bool secondVariant)
{
    COrloSDKHost *host = m_host;
    if (host)
        host->SetOrloStatus(6);
    if (Orlo_StartMeasurement2(option + (secondVariant ? 8 : 0), 1) != 0)
        return kMeasurementStartFailed;
    if (host)
        host->SetOrloStatus(7);
    return 0;
}

int COrloSDKController::StopMeasurement(bool feedNext)
{
    const int result = Orlo_StopMeasurement(feedNext ? 1 : 0) != 0 ? kStopFailed : 0;
    m_stopped = 1;
    if (m_host)
        m_host->ClearPendingMeasurement();
    return result;
}

int COrloSDKController::ExitMeasurement()
{
    m_stopped = 1;
    return Orlo_ExitMeasurement(0, 0) != 0 ? kExitFailed : 0;
}
