#include "app/orlosdkcontroller.h"

#include "app/checkchartcoordinate.h"
#include "app/colourhelpers.h"
#include "app/constants.h"
#include "app/illuminantdata.h"
#include "app/recordhelpers.h"
#include "app/texthelpers.h"
#include "app/unithelpers.h"

#include <QCoreApplication>
#include <QHash>
#include <QHostInfo>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <new>

namespace {

constexpr int kImageDpi = 300;
constexpr int kMaxImageSide = 20000;
constexpr int kMaxGridSide = 244;
constexpr int kPatchStepCondition = 4; // the condition the per-patch colour is taken under
constexpr int kUnmatchedColours = 16384;
constexpr int kLibraryRefused = 1001;
constexpr int kLibraryNoBuffer = 1005;
constexpr int kLibraryConnectedElsewhere = 1901;
constexpr int kLibraryRecogPass = 1902;

struct Event {
    int code;
    int value;
    int count;
};

// One set for the whole program, as the library's callback has no object.
struct State {
    COrloSDKHost *host = nullptr;
    int connected = 0;
    unsigned char stopped = 1;
    unsigned char otherComputer = 0;
    int registeredChart = 0;
    unsigned char registrationMode = 0;
    unsigned char layoutCheckPending = 0;
    unsigned char restartRequested = 0;
    int imageWidth = 0;
    int imageHeight = 0;
    int imageBits = 0;
    std::vector<unsigned char> image;
    int lastEvent = 0;
    int densityEndPending = 0;
    int densityEndRequest = 0;
    unsigned char selectBySize = 0;
    int deviceCodeChoice = -1;
    // The measure points of the page being measured, in the order the instrument measures them.
    std::vector<OrloMeasurePoint> points;
    bool swapped = false;
    std::deque<Event> queue;
    bool handling = false;
};

State &S()
{
    static State state;
    return state;
}

std::atomic<COrloSDKController *> s_instance{nullptr};

OrloImage CapturedImage()
{
    State &s = S();
    return {s.imageWidth, s.imageHeight, s.imageBits, s.image.empty() ? nullptr : s.image.data()};
}

bool IsUserIlluminantId(int id)
{
    return id >= kFirstUserIlluminantId && id < kFirstUserIlluminantId + kUserIlluminantSlotCount;
}

int ResolvedIlluminant(int illuminantId, int conditionId)
{
    return IsAutoIlluminant(illuminantId) ? AutoIlluminantFor(conditionId) : illuminantId;
}

struct GridKey {
    int area, row, column;
    bool operator==(const GridKey &o) const { return area == o.area && row == o.row && column == o.column; }
};

inline uint qHash(const GridKey &k, uint seed = 0)
{
    return ::qHash((quint64(quint32(k.area)) << 40) ^ (quint64(quint32(k.row)) << 20) ^ quint32(k.column), seed);
}

} // namespace

void OrloColorCheckBuffer::Reset(int flag, int count)
{
    count = std::max(0, count);
    const size_t bytes = sizeof(OrloColorCheckList) + size_t(count) * sizeof(OrloColorCheckEntry);
    m_bytes.reset(new unsigned char[bytes]);
    std::memset(m_bytes.get(), 0, bytes);
    new (m_bytes.get()) OrloColorCheckList{flag, count};
    for (int i = 0; i < count; ++i)
        new (OrloColorCheckEntries(List()) + i) OrloColorCheckEntry{};
}

COrloSDKController::COrloSDKController(COrloSDKHost *host, QObject *parent) : QObject(parent)
{
    S() = State();
    S().host = host;
    std::memset(m_paperDensity, 0, sizeof m_paperDensity);
    s_instance.store(this);
}

COrloSDKController::~COrloSDKController()
{
    // No callback may run while the state goes: the library returns from this only when none is running.
    Orlo_RegisterDeviceEventHandler(nullptr);
    s_instance.store(nullptr);
    if (S().connected)
        DisconnectImpl(false);
    S().queue.clear();
    S().image.clear();
    S().image.shrink_to_fit();
    S().host = nullptr;
}

// ---- events ----------------------------------------------------------------------------------------------

void COrloSDKController::DeviceEventFunction(int code, int value, void *, int count)
{
    COrloSDKController *self = s_instance.load();
    if (!self)
        return;
    if (QThread::currentThread() == self->thread()) {
        self->PostEvent(code, value, count);
        return;
    }
    // The controller is the context: a call still queued when it is destroyed is dropped with it.
    QMetaObject::invokeMethod(
        self, [self, code, value, count] { self->PostEvent(code, value, count); }, Qt::QueuedConnection);
}

int COrloSDKController::GetLastEvent()
{
    return S().lastEvent;
}

int COrloSDKController::QueuedEventCount()
{
    return int(S().queue.size());
}

void COrloSDKController::PostEvent(int code, int value, int count)
{
    State &s = S();
    s.queue.push_back({code, value, count});
    // A handler that spins a nested event loop must not let the next event start.
    if (s.handling)
        return;
    QPointer<COrloSDKController> guard(this);
    s.handling = true;
    while (!s.queue.empty()) {
        const Event e = s.queue.front();
        s.queue.pop_front();
        HandleEvent(e.code, e.value, e.count);
        if (!guard)
            return;
        s.lastEvent = e.code;
    }
    s.handling = false;
}

void COrloSDKController::HandleEvent(int code, int value, int count)
{
    State &s = S();
    COrloSDKHost *host = s.host;
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
        s.densityEndPending = 0;
        s.densityEndRequest = 0;
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
    const int status = S().host->IsAllSheetsMeasured() ? 2 : 9;
    S().host->SetOrloStatus(status);
    return status;
}

void COrloSDKController::ErrorEnding(int code, int message)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    s.stopped = 1;
    Orlo_ExitMeasurement(0, 0);
    // A timed-out connection is shown by the status alone.
    if (message != 31)
        host->ReportError(code, message, false);
    if (GetDeviceState() != 0) {
        // The instrument still holds the run: keep what was measured. A page laid out by the recognition
        // already holds its image and records; only a sheet that got no further than the capture is stored
        // here, with its image.
        const int source = host->GetSelectionSource();
        if (s.lastEvent == 5 || s.lastEvent == 6) {
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
    State &s = S();
    COrloSDKHost *host = s.host;
    // A message parked in an earlier run would otherwise be parked again once stopped is cleared.
    host->ReportError(0, 0, false);
    s.stopped = 0;
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

int COrloSDKController::ReadCapturedImage()
{
    State &s = S();
    s.image.clear();
    s.image.shrink_to_fit();
    s.imageWidth = s.imageHeight = s.imageBits = 0;
    int32_t width = 0, height = 0, bits = 0;
    if (Orlo_GetCaptureResult(&width, &height, &bits, nullptr, nullptr) != 0)
        return kCaptureResultFailed;
    if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide ||
        (bits != 8 && bits != 24 && bits != 32))
        return kCaptureResultFailed;
    const qint64 bytes = ImageByteCount(width, height, bits);
    if (bytes <= 0)
        return kCaptureResultFailed;
    s.image.assign(size_t(bytes), 0);
    OrloImage record = {width, height, bits, s.image.data()};
    int32_t w = 0, h = 0, b = 0;
    if (Orlo_GetCaptureResult(&w, &h, &b, nullptr, &record) != 0) {
        s.image.clear();
        s.image.shrink_to_fit();
        return kCaptureImageFailed;
    }
    s.imageWidth = width;
    s.imageHeight = height;
    s.imageBits = bits;
    return 0;
}

int COrloSDKController::CaptureResult(int value, int *message)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    int result = ReadCapturedImage();
    if (result != 0) {
        *message = 27;
        return result;
    }
    if (value != 0) {
        host->SelectChartFromJobNumber(value);
        s.registeredChart = 1;
    } else {
        OrloCaptureText text;
        std::memset(&text, 0, sizeof text);
        text.status = 1;
        int32_t w = 0, h = 0, b = 0;
        if (Orlo_GetCaptureResult(&w, &h, &b, &text, nullptr) != 0)
            return kCaptureResultFailed;
        const bool fail = std::memcmp(text.record, "FAIL", 4) == 0;
        if (fail || std::memcmp(text.record, "Orlo", 4) != 0)
            text.status = 1;
        bool barcodeRun = false;
        if (text.status == 0) {
            SheetInfoRecord record;
            static_assert(sizeof record == sizeof text.record, "sheet record");
            std::memcpy(&record, text.record, sizeof record);
            if (!host->HandleScannedBarcode(record)) {
                StopMeasurement(true);
                return 0;
            }
            if (host->HasReadBarcodes()) {
                if (s.selectBySize) {
                    s.selectBySize = 0;
                    const int choice = s.deviceCodeChoice;
                    s.deviceCodeChoice = -1;
                    if (choice != 0 && choice != 1) {
                        StopMeasurement(true);
                        return 0;
                    }
                    const unsigned width = unsigned(PixelsToUnitFixed(kUnitMm, s.imageWidth, kImageDpi));
                    const unsigned height = unsigned(PixelsToUnitFixed(kUnitMm, s.imageHeight, kImageDpi));
                    const QString code = choice == 0 ? host->GetDeviceCodeA(record) : host->GetDeviceCodeB(record);
                    if (host->SelectDensityChartForScannedChart(width, height, code) != 0) {
                        StopMeasurement(true);
                        return 0;
                    }
                }
                s.registeredChart = 1;
                barcodeRun = true;
            }
        } else if (fail) {
            host->SelectDensityChartForScannedChart(0, 0, QString());
            StopMeasurement(true);
            return 0;
        }
        if (!barcodeRun)
            s.registeredChart = host->GetSelectionSource() != 0 ? 1 : 0;
    }
    if (s.stopped)
        return 0;
    result = StartRecognition(s.registeredChart);
    if (result == kRecognitionRefused)
        *message = 23;
    return result;
}

void COrloSDKController::UpdateRegistration(int flag)
{
    State &s = S();
    if (s.registeredChart == 0 && flag == 1) {
        s.registrationMode = 1;
        s.registeredChart = 1;
    } else {
        s.registrationMode = 0;
        if (flag == 0 || flag == 1)
            s.registeredChart = flag;
    }
}

int COrloSDKController::StartRecognition(int flag)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    if (!host)
        return 0;
    s.layoutCheckPending = 0;
    s.restartRequested = 0;
    UpdateRegistration(flag);
    const int page = int(host->GetCurrentChartPageIndex()) + 1;
    if (s.registeredChart != 1) {
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
    State &s = S();
    COrloSDKHost *host = s.host;
    if (!host)
        return 0;
    s.layoutCheckPending = 1;
    OrloSelectedChart chart;
    if (!host->GetSelectedChart(&chart))
        chart = OrloSelectedChart();
    const int mode = s.restartRequested ? ChartDefinitionData::RecogCoordinate : ChartDefinitionData::RecogDefinition;
    const int result = Recognise(chart.JobNumber, page, sheet, mode, true);
    if (result == 0)
        host->SetPlannedSheetCount(unsigned(std::max(0, chart.SheetCount)));
    return result;
}

int COrloSDKController::RestartRecognition(int mode)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    if (!host)
        return 0;
    const ChartDefinitionData::Sheet *sheet = nullptr;
    int result = host->GetCurrentSheet(&sheet);
    if (result == 0) {
        s.restartRequested = 1;
        UpdateRegistration(mode);
        result = ReStartPatchRecognition(*sheet, int(host->GetCurrentChartPageIndex()) + 1);
    }
    host->ReportError(result, 24, false);
    return result;
}

void COrloSDKController::BuildLayoutRecord(const ChartDefinitionData::Sheet &sheet, OrloLayoutRecord *layout,
                                           std::vector<unsigned char> *enlarged)
{
    std::memset(layout, 0, sizeof *layout);
    layout->width = sheet.Width;
    layout->height = sheet.Height;
    const int areas = std::clamp(sheet.AreaCount, 0, ORLO_MAX_AREAS);
    layout->areaCount = areas;
    layout->patchCount = sheet.PatchCount;
    for (int a = 0; a < areas; ++a) {
        layout->areaCounts[a][0] = sheet.Areas[a].RowCount;
        layout->areaCounts[a][1] = sheet.Areas[a].ColumnCount;
        layout->areaCounts[a][2] = sheet.Areas[a].PatchCount;
        const ChartDefinitionData::AreaPlacement &p = sheet.Placements[a];
        const int32_t g[6] = {p.LeftTopX, p.LeftTopY, p.PatchWidth, p.PatchHeight, p.PatchWidthGap, p.PatchHeightGap};
        std::copy(g, g + 6, layout->areaGeometry[a]);
    }
    const qint64 bytes = ImageByteCount(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel);
    if (sheet.HasImage != 1 || !sheet.ImageBytes || bytes <= 0)
        return;
    layout->flag = 1;
    layout->clipCount = std::clamp(sheet.ClipAreaCount, 0, ORLO_MAX_AREAS);
    for (int i = 0; i < layout->clipCount; ++i) {
        const ChartDefinitionData::ClipArea &c = sheet.ClipAreas[i];
        const int32_t corners[8] = {c.LeftTopX,    c.LeftTopY,    c.RightTopX,    c.RightTopY,
                                    c.LeftBottomX, c.LeftBottomY, c.RightBottomX, c.RightBottomY};
        std::copy(corners, corners + 8, layout->clips[i]);
    }
    layout->image = {sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel, sheet.ImageBytes.get()};
    const int pixelBytes = sheet.BitPerPixel / 8;
    if (ImageDpiOrDefault(sheet.ImageDPI) != 150 || !enlarged || sheet.BitPerPixel % 8 != 0 || pixelBytes < 1)
        return;
    // The instrument expects the barcode picture at 300 dpi: every pixel becomes a 2 x 2 block.
    const qint64 enlargedBytes = ImageByteCount(qint64(sheet.ImageWidth) * 2, qint64(sheet.ImageHeight) * 2,
                                                sheet.BitPerPixel);
    if (enlargedBytes <= 0 || sheet.ImageWidth * 2 > kMaxImageSide * 2)
        return;
    enlarged->assign(size_t(enlargedBytes), 0);
    const size_t sourceRow = size_t(sheet.ImageWidth) * size_t(pixelBytes);
    const size_t targetRow = sourceRow * 2;
    for (int y = 0; y < sheet.ImageHeight; ++y) {
        const unsigned char *from = sheet.ImageBytes.get() + size_t(y) * sourceRow;
        unsigned char *to = enlarged->data() + size_t(y) * 2 * targetRow;
        for (int x = 0; x < sheet.ImageWidth; ++x) {
            for (int k = 0; k < 2; ++k)
                std::memcpy(to + (size_t(x) * 2 + size_t(k)) * size_t(pixelBytes), from + size_t(x) * pixelBytes,
                            size_t(pixelBytes));
        }
        std::memcpy(to + targetRow, to, targetRow);
    }
    layout->image = {sheet.ImageWidth * 2, sheet.ImageHeight * 2, sheet.BitPerPixel, enlarged->data()};
}

void COrloSDKController::BuildColorCheckList(const ChartDefinitionData::Sheet &sheet, const InkChannelList &inks,
                                             OrloColorCheckBuffer *list)
{
    *list = OrloColorCheckBuffer();
    if (!sheet.Patches || sheet.PatchCount <= 0 || sheet.Patches[0].ColorFormat == ChartDefinitionData::FormatNone)
        return;
    QHash<GridKey, int> first;
    for (int i = sheet.PatchCount - 1; i >= 0; --i)
        first.insert({sheet.Patches[i].Area, sheet.Patches[i].Row, sheet.Patches[i].Column}, i);
    std::vector<std::pair<GridKey, int>> entries;
    const int areas = std::clamp(sheet.AreaCount, 0, ORLO_MAX_AREAS);
    for (int a = 0; a < areas; ++a)
        for (int r = 0; r < sheet.Areas[a].RowCount; ++r)
            for (int c = 0; c < sheet.Areas[a].ColumnCount; ++c) {
                const int i = first.value({a, r, c}, -1);
                if (i >= 0)
                    entries.push_back({{a, r, c}, i});
            }
    const int flag = sheet.Patches[0].ColorFormat == ChartDefinitionData::FormatCMYK ? 0 : 1;
    list->Reset(flag, int(entries.size()));
    OrloColorCheckEntry *out = list->Entries();
    for (size_t k = 0; k < entries.size(); ++k) {
        const ChartDefinitionData::PatchColor &patch = sheet.Patches[entries[k].second];
        OrloColorCheckEntry &e = out[k];
        e.area = entries[k].first.area;
        e.row = entries[k].first.row;
        e.column = entries[k].first.column;
        if (patch.ColorFormat == ChartDefinitionData::FormatRGB || patch.ColorFormat == ChartDefinitionData::FormatCMYK) {
            std::copy(patch.ColorValue, patch.ColorValue + 3, e.value);
        } else {
            float rgb[3] = {255.0f, 255.0f, 255.0f};
            MixInkColorsToRgb(rgb, patch.ColorFormat, patch.ColorValue, inks);
            std::copy(rgb, rgb + 3, e.value);
        }
    }
}

int COrloSDKController::RecognitionResult(int *message)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    host->SetChartRowsColumnsSwapped(false);
    s.swapped = false;
    int32_t code = 0;
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    if (Orlo_GetPatchRecognitionResult2(&code, 0, &layout) != 0) {
        *message = 26;
        return kRecognitionResultFailed;
    }
    // Counts come from the instrument: anything the page could not hold is refused.
    bool consistent = layout.areaCount >= 0 && layout.areaCount <= ORLO_MAX_AREAS && layout.patchCount >= 0;
    qint64 sum = 0;
    for (int a = 0; consistent && a < layout.areaCount; ++a) {
        const int rows = layout.areaCounts[a][0], columns = layout.areaCounts[a][1], patches = layout.areaCounts[a][2];
        consistent = rows >= 0 && rows <= kMaxGridSide && columns >= 0 && columns <= kMaxGridSide && patches >= 0 &&
                     patches <= rows * columns;
        sum += patches;
    }
    if (!consistent || sum != layout.patchCount) {
        *message = 26;
        return kLayoutInconsistent;
    }
    for (int a = 0; a < layout.areaCount; ++a) {
        layout.areaGeometry[a][0] = std::max(0, layout.areaGeometry[a][0]);
        layout.areaGeometry[a][1] = std::max(0, layout.areaGeometry[a][1]);
    }
    s.points.clear();
    if (layout.patchCount > 0) {
        s.points.assign(size_t(layout.patchCount), OrloMeasurePoint{});
        int32_t count = layout.patchCount;
        if (Orlo_GetMeasurePoint(s.points.data(), &count) != 0) {
            s.points.clear();
            return kMeasurePointsFailed;
        }
        s.points.resize(size_t(std::clamp(count, 0, layout.patchCount)));
    }
    if (s.registeredChart == 1 || s.restartRequested)
        return LayoutCheck(host->GetOperationState() == 7 ? 0 : code, layout);
    return LowReliabilityCheck(code, layout);
}

int COrloSDKController::TakeRecognitionResult(const OrloLayoutRecord *layout)
{
    State &s = S();
    const OrloImage image = CapturedImage();
    return s.host->SetRecognitionResult(layout, image.pixels ? &image : nullptr, s.points.data(),
                                        unsigned(s.points.size()));
}

int COrloSDKController::StopAndClear(bool feedNext)
{
    const int result = Orlo_StopMeasurement(feedNext ? 1 : 0) != 0 ? kStopFailed : 0;
    S().stopped = 1;
    S().host->ClearPendingMeasurement();
    return result;
}

int COrloSDKController::LayoutCheck(int mode, const OrloLayoutRecord &layout)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    const Setting::UserEnvironment &environment = Environment();
    const ChartDefinitionData::Sheet *sheet = nullptr;
    int result = host->GetCurrentSheet(&sheet);
    if (result != 0)
        return result;
    int option = 0;
    if (s.restartRequested) {
        option = environment.Aperture;
        s.restartRequested = 0;
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
        s.swapped = true;
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
    State &s = S();
    COrloSDKHost *host = s.host;
    if (s.layoutCheckPending) {
        s.layoutCheckPending = 0;
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
    State &s = S();
    COrloSDKHost *host = s.host;
    const Setting::UserEnvironment &environment = Environment();
    const int result = TakeRecognitionResult(&layout);
    if (result != 0)
        return result;
    host->SetOrloStatus(6);
    const bool found = !s.points.empty();
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

int COrloSDKController::PatchData(int count, int *message)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    const Setting::UserEnvironment environment = Environment();
    const unsigned current = host->GetCurrentRecordCount();
    const unsigned limit = std::min({unsigned(std::max(0, count)), unsigned(s.points.size()),
                                     host->GetExpectedRecordCount()});
    if (s.stopped) {
        // A patch the instrument measured before it took the stop: stored, never more than one.
        if (current >= limit)
            return 0;
    } else if (current >= limit) {
        return 0;
    }
    const int options = SetOption(DefaultDisplayColumns(), kPatchStepCondition);
    if (options != 0) {
        *message = 0; // reported with its own message
        return options;
    }
    const unsigned end = s.stopped ? current + 1 : limit;
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
    State &s = S();
    COrloSDKHost *host = s.host;
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
    const OrloMeasurePoint &p = s.points[size_t(index)];
    // The buffer matched the registered grid with row and column exchanged when the chart lies turned.
    const int location[3] = {p.area, s.swapped ? p.column : p.row, s.swapped ? p.row : p.column};
    const int state = host->GetOperationState();
    if (state == 0)
        return host->StoreMeasuredPatch(index, location, count, block, colors);
    if (state == 7)
        return host->StoreMeasuredPatchDensity(index, location, count, block, colors);
    return 0;
}

void COrloSDKController::SheetEnd(int count)
{
    State &s = S();
    COrloSDKHost *host = s.host;
    if (!s.stopped) {
        if (count == 0)
            host->ReportError(kSheetEndWithoutPatches, 30, false);
        else if (!host->IsPageMeasured())
            host->ReportError(kSheetIncomplete, 24, false);
    }
    const bool all = SetSelectedStatus() == 2;
    const int state = host->GetOperationState();
    if (state != 7 && state != 8) {
        ExitMeasurement();
    } else if (host->GetMeasurementSheetCount() == 0 || s.densityEndRequest == 1) {
        if (s.densityEndRequest == 1)
            s.densityEndRequest = s.densityEndPending = 0;
        ExitMeasurement();
    } else {
        s.densityEndPending = 1;
    }
    if (all) {
        if (state == 0)
            host->SaveMeasurementAfterScan();
        host->DeleteSelectedChartJob();
    }
}

// ---- connection ------------------------------------------------------------------------------------------

int COrloSDKController::Connect(const Setting::ConnectSetting *settings)
{
    State &s = S();
    if (!settings)
        return kNoSettings;
    if (s.connected)
        return 0;
    OrloDeviceEntry record;
    std::memset(&record, 0, sizeof record);
    QString name;
    if (settings->ConnectionKind == 0) {
        record.kind = 1;
        name = settings->Port;
    } else {
        record.kind = 0;
        name = settings->AddressKind == 1 ? settings->Address : settings->NetworkName;
    }
    const QByteArray bytes = name.toLocal8Bit();
    std::memcpy(record.name, bytes.constData(), size_t(std::min<int>(bytes.size(), int(sizeof record.name))));
    const QByteArray client =
        (QCoreApplication::applicationName() + QStringLiteral(" (") + QHostInfo::localHostName() + QStringLiteral(")"))
            .toLocal8Bit();
    s.otherComputer = 0;
    int result = Orlo_RegisterDeviceEventHandler(&COrloSDKController::DeviceEventFunction);
    if (result == 0) {
        result = Orlo_Connect(&record, client.constData());
        if (result == kLibraryConnectedElsewhere) {
            s.otherComputer = 1;
            result = 0;
        }
    }
    if (result != 0) {
        Orlo_RegisterDeviceEventHandler(nullptr);
        s.stopped = 1;
        return kConnectFailed;
    }
    s.connected = 1;
    return 0;
}

int COrloSDKController::Disconnect()
{
    return DisconnectImpl(true);
}

int COrloSDKController::DisconnectImpl(bool releaseParked)
{
    State &s = S();
    if (!s.connected)
        return 0;
    if (Orlo_Disconnect() != 0)
        return kDisconnectFailed;
    const int result = Orlo_RegisterDeviceEventHandler(nullptr) != 0 ? kUnregisterFailed : 0;
    s.connected = 0;
    s.stopped = 1;
    if (s.host) {
        s.host->SetOrloStatus(0);
        // Stopped first: a release while a run looks active would park the message again.
        if (releaseParked)
            s.host->ReportError(0, 0, false);
    }
    return result;
}

bool COrloSDKController::IsConnected()
{
    return S().connected != 0;
}

bool COrloSDKController::IsMeasurementStopped()
{
    return S().stopped != 0;
}

int COrloSDKController::GetRegisteredChart()
{
    return S().registeredChart;
}

bool COrloSDKController::GetRegistrationMode()
{
    return S().registrationMode != 0;
}

int COrloSDKController::GetDensityEndPending()
{
    return S().densityEndPending;
}

void COrloSDKController::SetDensityEndRequest(int value)
{
    S().densityEndRequest = value;
}

void COrloSDKController::SetDensityEndPending(int value)
{
    S().densityEndPending = value;
}

void COrloSDKController::SetRegistrationMode(bool on)
{
    S().registrationMode = on ? 1 : 0;
}

void COrloSDKController::SetSelectBySize(bool on)
{
    S().selectBySize = on ? 1 : 0;
}

void COrloSDKController::SetDeviceCodeChoice(int choice)
{
    S().deviceCodeChoice = choice;
}

int COrloSDKController::GetDeviceList(QList<OrloDeviceEntry> *list)
{
    OrloDeviceEntry entries[10];
    std::memset(entries, 0, sizeof entries);
    int32_t count = 0;
    if (Orlo_GetDeviceList(entries, &count, 10) != 0)
        return kDeviceListFailed;
    for (int i = 0; list && i < std::clamp(count, 0, 10); ++i)
        list->append(entries[i]);
    return 0;
}

QString COrloSDKController::GetSystemInfo()
{
    OrloSystemInfo info;
    if (GetSystemInfoRecord(&info) != 0)
        return QString();
    return QString::fromLocal8Bit(info.serial, int(strnlen(info.serial, sizeof info.serial)));
}

int COrloSDKController::GetSystemInfoRecord(OrloSystemInfo *out)
{
    if (!S().connected || !out)
        return kSystemInfoNotConnected;
    std::memset(out, 0, sizeof *out);
    return Orlo_GetSystemInfo(out) != 0 ? kSystemInfoNotConnected : 0;
}

int COrloSDKController::GetStatus(OrloStatus *out)
{
    if (!S().connected || !out)
        return kStatusNotConnected;
    std::memset(out, 0, sizeof *out);
    if (Orlo_GetStatus(out) != 0)
        return kStatusNotConnected;
    out->otherComputer = S().otherComputer;
    return 0;
}

int COrloSDKController::GetDeviceState()
{
    if (!S().connected)
        return 0;
    OrloStatus status;
    std::memset(&status, 0, sizeof status);
    if (Orlo_GetStatus(&status) != 0)
        return 0;
    if (status.stateFlag == 1 && Environment().ErrorHandling == 1)
        return 1;
    return status.deviceState;
}

const Setting::UserEnvironment &COrloSDKController::Environment() const
{
    static const Setting::UserEnvironment defaults;
    const Setting::UserEnvironment *environment = S().host ? S().host->GetUserEnvironment() : nullptr;
    return environment ? *environment : defaults;
}

// ---- jobs and options ------------------------------------------------------------------------------------

int COrloSDKController::RegisterJob(int chartId, const ChartDefinitionDataSheets &chart, int *jobNumber)
{
    if (!S().connected)
        return kRegisterJobNotConnected;
    // The sheet's QR code carries the name upper-cased; the instrument matches the job by those bytes.
    char name[16] = {};
    const QByteArray bytes = chart.ChartName.toUpper().toLocal8Bit();
    std::memcpy(name, bytes.constData(), size_t(std::min<int>(bytes.size(), int(sizeof name))));
    int32_t job = chartId;
    if (Orlo_RegisterJob(&job, name, chart.SheetCount, 0) != 0)
        return kRegisterJobFailed;
    if (jobNumber)
        *jobNumber = job;
    return 0;
}

int COrloSDKController::DeleteJob(int chartId)
{
    if (!S().connected)
        return kDeleteJobNotConnected;
    const int32_t job = chartId;
    return Orlo_DeleteJob(&job) != 0 ? kDeleteJobFailed : 0;
}

int COrloSDKController::SetOptionValue(int group, int value)
{
    if (Orlo_SetOption(group, value) == 0)
        return 0;
    if (S().host)
        S().host->ReportError(kOptionFailed, 9, false);
    return kOptionFailed;
}

int COrloSDKController::SetOption(const Setting::MeasureConditionSetting &record, int conditionId)
{
    const int illuminant = ResolvedIlluminant(record.Illuminant, conditionId);
    const int values[3] = {MeasurementConditionIlluminantCode(conditionId), IlluminantCode(illuminant),
                           ObserverCode(record.Observer)};
    for (int group = 0; group < 3; ++group) {
        if (Orlo_SetOption(group, values[group]) != 0) {
            if (S().host)
                S().host->ReportError(kOptionsFailed, 9, false);
            return kOptionsFailed;
        }
    }
    return 0;
}

int COrloSDKController::RegisterUserIlluminant(const EnvironLightData &record)
{
    return Orlo_RegisterUserIlluminant(record.Values) != 0 ? kUserIlluminantFailed : 0;
}

int COrloSDKController::RegisterUserIlluminantFor(int conditionId, int illuminantId)
{
    if (!S().host)
        return kUserIlluminantFailed;
    EnvironLightData light;
    if (S().host->GetUserIlluminantForCondition(conditionId, illuminantId, &light) != 0)
        return kUserIlluminantFailed;
    return RegisterUserIlluminant(light);
}

int COrloSDKController::GetNetworkSetting(OrloNetworkSetting *out)
{
    if (!out)
        return kNetworkReadWriteFailed;
    char name[16] = {};
    int32_t dhcp = 0;
    uint8_t address[4] = {}, mask[4] = {}, gateway[4] = {};
    if (Orlo_GetNetworkSetting(name, &dhcp, address, mask, gateway) != 0)
        return kNetworkReadWriteFailed;
    const auto text = [](const uint8_t *b) {
        return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
    };
    out->Name = QString::fromLocal8Bit(name, int(strnlen(name, sizeof name)));
    out->Dhcp = dhcp;
    out->Address = text(address);
    out->Mask = text(mask);
    out->Gateway = text(gateway);
    return 0;
}

int COrloSDKController::SetNetworkSetting(const OrloNetworkSetting &in)
{
    char name[16] = {};
    const QByteArray bytes = in.Name.toLocal8Bit();
    std::memcpy(name, bytes.constData(), size_t(std::min<int>(bytes.size(), int(sizeof name))));
    QByteArray parts[3];
    const QString *texts[3] = {&in.Address, &in.Mask, &in.Gateway};
    for (int i = 0; i < 3; ++i) {
        // Exactly four parts of one byte each: anything else would send another address.
        if (!ParseDottedAddress(*texts[i], &parts[i]) || parts[i].size() != 4)
            return kNetworkTextInvalid;
    }
    const auto raw = [](const QByteArray &b) { return reinterpret_cast<const uint8_t *>(b.constData()); };
    if (Orlo_SetNetworkSetting(name, in.Dhcp, raw(parts[0]), raw(parts[1]), raw(parts[2])) != 0)
        return kNetworkReadWriteFailed;
    return 0;
}

int COrloSDKController::CreateBarcodeImage(const QString &path, SheetInfoRecord *record)
{
    if (!record)
        return kBarcodeImageFailed;
    std::memcpy(record->ModelText, "Orlo", 4);
    std::memcpy(record->DeviceCode, "0000", 4);
    const QByteArray file = path.toLocal8Bit();
    return Orlo_CreateBarcodeImage(file.constData(), reinterpret_cast<const uint8_t *>(record), 1, 7) != 0
               ? kBarcodeImageFailed
               : 0;
}

int COrloSDKController::ClippingChart(int page)
{
    return Orlo_ClippingChart(page) != 0 ? kClippingFailed : 0;
}

int COrloSDKController::GetChartImage(OrloChartImage *buffer, int size)
{
    const int r = Orlo_GetChartImage(buffer, size);
    if (r == 0 || (r == kLibraryNoBuffer && (!buffer || !buffer->pixels || size == 0)))
        return 0;
    return kChartImageFailed;
}

int COrloSDKController::GetPatchRecogResult(bool *flag, char text[ORLO_SHEET_RECORD_SIZE], OrloLayoutRecord *out)
{
    const int r = Orlo_GetPatchRecogResult(text, out);
    if (flag && *flag && (!text || std::memcmp(text, "Orlo", 4) != 0))
        *flag = false;
    if (S().host && S().host->GetOperationState() == 8)
        return kRecogResultFailed;
    return r == 0 || r == kLibraryRecogPass ? 0 : kRecogResultFailed;
}

int COrloSDKController::GetPremeasurementError()
{
    return Orlo_GetPremeasurementError(0, 0);
}

// ---- measurement run -------------------------------------------------------------------------------------

int COrloSDKController::StartMeasurement()
{
    COrloSDKHost *host = S().host;
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
    COrloSDKHost *host = S().host;
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
    S().stopped = 1;
    if (S().host)
        S().host->ClearPendingMeasurement();
    return result;
}

int COrloSDKController::ExitMeasurement()
{
    S().stopped = 1;
    return Orlo_ExitMeasurement(0, 0) != 0 ? kExitFailed : 0;
}

// ---- calculations ----------------------------------------------------------------------------------------

int COrloSDKController::CalculateDensity(float out[4], const float *block,
                                         const Setting::MeasureConditionSetting &record, int conditionId)
{
    if (Orlo_SetOption(0, MeasurementConditionIlluminantCode(conditionId)) != 0 ||
        Orlo_SetOption(3, DensityStatusCode(record.DensityStatus)) != 0 ||
        Orlo_CalculateData(out, 4, block, kInstrumentValueCount) != 0)
        return kDensityFailed;
    if (record.WhiteReference == 1 && conditionId >= 0 && conditionId < kMeasurementConditionCount) {
        for (int i = 0; i < 4; ++i)
            out[i] -= m_paperDensity[conditionId][i];
    }
    return 0;
}

int COrloSDKController::CalculateColor(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                                       int conditionId, int kind)
{
    if (kind < 0 || kind > 2)
        return kColorKind;
    const int illuminant = ResolvedIlluminant(record.Illuminant, conditionId);
    if (IsUserIlluminantId(illuminant)) {
        const int result = RegisterUserIlluminantFor(conditionId, illuminant);
        if (result != 0)
            return result;
    }
    if (SetOption(record, conditionId) != 0)
        return kOptionsFailed;
    if (Orlo_SetOption(3, kind) != 0 || Orlo_CalculateData(out, 3, block, kInstrumentValueCount) != 0)
        return kColorFailed;
    return 0;
}

int COrloSDKController::CalculateColorUserIlluminant(float out[3], const float *block,
                                                     const Setting::MeasureConditionSetting &record, int conditionId,
                                                     int kind)
{
    if (kind < 0 || kind > 2)
        return kUserColorKind;
    // The reflectance under the condition's own light, then the colour under the record's illuminant.
    int result = RegisterUserIlluminantFor(conditionId, conditionId);
    if (result != 0)
        return result;
    float spectrum[36] = {};
    result = CalculateSpectrum(spectrum, block, conditionId);
    if (result != 0)
        return result;
    result = RegisterUserIlluminantFor(conditionId, ResolvedIlluminant(record.Illuminant, conditionId));
    if (result != 0)
        return result;
    if (SetOption(record, conditionId) != 0)
        return kOptionsFailed;
    if (Orlo_SetOption(3, kind) != 0 || Orlo_CalculateData(out, 3, spectrum, 36) != 0)
        return kUserColorFailed;
    return 0;
}

int COrloSDKController::CalculateSpectrum(float out[36], const float *block, int conditionId)
{
    if (Orlo_SetOption(0, MeasurementConditionIlluminantCode(conditionId)) != 0 || Orlo_SetOption(3, 11) != 0)
        return kSpectrumOptionFailed;
    return Orlo_CalculateData(out, 36, block, kInstrumentValueCount) != 0 ? kSpectrumFailed : 0;
}

int COrloSDKController::CalculateSpectrumForCondition(float out[36], const float *block, int conditionId)
{
    return CalculateSpectrum(out, block, conditionId);
}

int COrloSDKController::CalculatePatchValues(float out[kPatchValueCount], const float *block,
                                             const Setting::MeasureConditionSetting &record, int conditionId)
{
    if (!out || !block)
        return kDensityFailed;
    int result = CalculateDensity(out, block, record, conditionId);
    if (result != 0)
        return result;
    const bool userPath = IsUserMeasurementCondition(conditionId) &&
                          IsUserIlluminantId(ResolvedIlluminant(record.Illuminant, conditionId));
    for (int kind = 0; kind < 3; ++kind) {
        float *values = out + 4 + 3 * kind;
        result = userPath ? CalculateColorUserIlluminant(values, block, record, conditionId, kind)
                          : CalculateColor(values, block, record, conditionId, kind);
        if (result != 0)
            return result;
    }
    return CalculateSpectrum(out + 13, block, conditionId);
}

int COrloSDKController::CalculateLabWithOptions(float out[3], const float *block, int conditionId, int illuminantId,
                                                int observer)
{
    if (Orlo_SetOption(0, MeasurementConditionIlluminantCode(conditionId)) != 0 ||
        Orlo_SetOption(1, IlluminantCode(illuminantId)) != 0 || Orlo_SetOption(2, ObserverCode(observer)) != 0)
        return kOptionsFailed;
    if (Orlo_SetOption(3, 0) != 0 || Orlo_CalculateData(out, 3, block, kInstrumentValueCount) != 0)
        return kColorFailed;
    return 0;
}

int COrloSDKController::StorePaperDensities(const float *paperBlock, const Setting::MeasureConditionSetting &record,
                                            const QVector<int> &conditions)
{
    if (record.DensityShown != 1 || record.WhiteReference != 1)
        return 0;
    Setting::MeasureConditionSetting absolute = record;
    absolute.WhiteReference = 0; // the paper itself, not relative to the paper
    for (int id : conditions) {
        if (id < 0 || id >= kMeasurementConditionCount)
            continue;
        const int result = CalculateDensity(m_paperDensity[id], paperBlock, absolute, id);
        if (result != 0)
            return result;
    }
    return 0;
}
