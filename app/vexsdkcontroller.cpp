#include "app/vexsdkcontroller.h"

#include "app/illuminantdata.h"

#include "libvexapi/vexapi.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kRawSpectrumKind = 8;   // 360-780 nm in 1 nm steps
constexpr int kFirstMeasuredValue = 12; // 300-355 nm lie below the instrument's range
constexpr int kRawStepsPerValue = 5;

QString DateText(const VexDateTime &date)
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1%2%3%4%5%6")
        .arg(date.year, 4, 10, zero)
        .arg(date.month, 2, 10, zero)
        .arg(date.day, 2, 10, zero)
        .arg(date.hour, 2, 10, zero)
        .arg(date.minute, 2, 10, zero)
        .arg(date.second, 2, 10, zero);
}

void ConvertRecord(const VexStoredMeasurement &stored, EnvironLightData *record)
{
    record->Start = 300;
    record->End = 780;
    record->Step = 5;
    record->Date = DateText(stored.date);
    record->Source = CVexSDKController::kLumetSource;
    for (int j = 0; j < kEnvironLightValueCount; ++j)
        record->Values[j] = j < kFirstMeasuredValue
                                ? 0.0f
                                : static_cast<float>(stored.values[(j - kFirstMeasuredValue) * kRawStepsPerValue] * 1000.0);
}

} // namespace

CVexSDKController::CVexSDKController() = default;

CVexSDKController::~CVexSDKController()
{
    FreeRecords();
}

void CVexSDKController::FreeRecords()
{
    m_records.reset();
    m_count = 0;
}

int CVexSDKController::OpenDevice(int *kind, int *serial)
{
    if (m_handle)
        return kAlreadyOpen;
    VEX_HANDLE handle = nullptr;
    if (VexOpenDevice(&handle) != 0 || !handle)
        return kNoInstrument;
    if (VexSetRemoteMode(handle, 1) != 0) {
        VexCloseDevice(handle);
        return kRemoteModeFailed;
    }
    VexDeviceID id;
    std::memset(&id, 0, sizeof id);
    if (VexGetDeviceID(handle, &id) != 0) {
        // Leaving the instrument in remote mode would lock its own keys until it is switched off.
        VexSetRemoteMode(handle, 0);
        VexCloseDevice(handle);
        return kDeviceIdFailed;
    }
    m_handle = handle;
    if (kind)
        *kind = id.deviceType == kLumetDeviceType ? kLumetKind : 0;
    if (serial)
        *serial = id.serialNumber;
    return 0;
}

int CVexSDKController::CloseDevice()
{
    if (!m_handle)
        return 0;
    VexSetRemoteMode(m_handle, 0);
    const int result = VexCloseDevice(m_handle);
    m_handle = nullptr;
    return result == 0 ? 0 : kCloseFailed;
}

bool CVexSDKController::IsOpen() const
{
    return m_handle != nullptr;
}

QString CVexSDKController::GetSerialNumber()
{
    if (!m_handle)
        return QString();
    VexDeviceID id;
    std::memset(&id, 0, sizeof id);
    if (VexGetDeviceID(m_handle, &id) != 0)
        return QString();
    return QString::number(id.serialNumber);
}

int CVexSDKController::ReadStoredData(const EnvironLightData **records, int *count)
{
    FreeRecords();
    int stored = 0;
    if (VexGetDeviceStoredDataNum(m_handle, &stored) != 0 || stored <= 0)
        return kNothingStored;
    std::vector<VexStoredMeasurement> buffer(static_cast<std::size_t>(stored));
    std::memset(buffer.data(), 0, buffer.size() * sizeof(VexStoredMeasurement));
    if (VexGetDeviceStoredData(m_handle, buffer.data(), kRawSpectrumKind, stored) != 0)
        return kStoredReadFailed;
    auto converted = std::make_unique<EnvironLightData[]>(static_cast<std::size_t>(stored));
    for (int i = 0; i < stored; ++i)
        ConvertRecord(buffer[static_cast<std::size_t>(i)], &converted[static_cast<std::size_t>(i)]);
    m_records = std::move(converted);
    m_count = stored;
    if (records)
        *records = m_records.get();
    if (count)
        *count = m_count;
    return 0;
}

int CVexSDKController::GetStoredRecord(EnvironLightData *record, int index) const
{
    if (!m_records || m_count <= 0)
        return kNoRecords;
    if (index < 0 || index >= m_count)
        return kIndexOutOfRange;
    if (record)
        *record = m_records[index];
    return 0;
}
