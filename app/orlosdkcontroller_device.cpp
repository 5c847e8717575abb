// The chart-scanner controller: connection, device queries, jobs, options and the library's single calls.

#include "app/orlosdkcontroller.h"

#include "app/texthelpers.h"

#include <QCoreApplication>
#include <QHostInfo>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kLibraryNoBuffer = 1005;
constexpr int kLibraryConnectedElsewhere = 1901;
constexpr int kLibraryRecogPass = 1902;

} // namespace

int COrloSDKController::Connect(const Setting::ConnectSetting *settings)
{
    if (!settings)
        return kNoSettings;
    if (m_connected)
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
    m_otherComputer = 0;
    int result = Orlo_RegisterDeviceEventHandler(&COrloSDKController::DeviceEventFunction);
    if (result == 0) {
        result = Orlo_Connect(&record, client.constData());
        if (result == kLibraryConnectedElsewhere) {
            m_otherComputer = 1;
            result = 0;
        }
    }
    if (result != 0) {
        Orlo_RegisterDeviceEventHandler(nullptr);
        m_stopped = 1;
        return kConnectFailed;
    }
    m_connected = 1;
    return 0;
}

int COrloSDKController::Disconnect()
{
    return DisconnectImpl(true);
}

int COrloSDKController::DisconnectImpl(bool releaseParked)
{
    if (!m_connected)
        return 0;
    if (Orlo_Disconnect() != 0)
        return kDisconnectFailed;
    const int result = Orlo_RegisterDeviceEventHandler(nullptr) != 0 ? kUnregisterFailed : 0;
    m_connected = 0;
    m_stopped = 1;
    if (m_host) {
        m_host->SetOrloStatus(0);
        // Stopped first: a release while a run looks active would park the message again.
        if (releaseParked)
            m_host->ReportError(0, 0, false);
    }
    return result;
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
    if (!m_connected || !out)
        return kSystemInfoNotConnected;
    std::memset(out, 0, sizeof *out);
    return Orlo_GetSystemInfo(out) != 0 ? kSystemInfoNotConnected : 0;
}

int COrloSDKController::GetStatus(OrloStatus *out)
{
    if (!m_connected || !out)
        return kStatusNotConnected;
    std::memset(out, 0, sizeof *out);
    if (Orlo_GetStatus(out) != 0)
        return kStatusNotConnected;
    out->otherComputer = m_otherComputer;
    return 0;
}

int COrloSDKController::GetDeviceState()
{
    if (!m_connected)
        return 0;
    OrloStatus status;
    std::memset(&status, 0, sizeof status);
    if (Orlo_GetStatus(&status) != 0)
        return 0;
    if (status.stateFlag == 1 && Environment().ErrorHandling == 1)
        return 1;
    return status.deviceState;
}

// ---- jobs and options ------------------------------------------------------------------------------------

int COrloSDKController::RegisterJob(int chartId, const ChartDefinitionDataSheets &chart, int *jobNumber)
{
    if (!m_connected)
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
    if (!m_connected)
        return kDeleteJobNotConnected;
    const int32_t job = chartId;
    return Orlo_DeleteJob(&job) != 0 ? kDeleteJobFailed : 0;
}

int COrloSDKController::SetOptionValue(int group, int value)
{
    if (Orlo_SetOption(group, value) == 0)
        return 0;
    if (m_host)
        m_host->ReportError(kOptionFailed, 9, false);
    return kOptionFailed;
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
    if (m_host && m_host->GetOperationState() == 8)
        return kRecogResultFailed;
    return r == 0 || r == kLibraryRecogPass ? 0 : kRecogResultFailed;
}

int COrloSDKController::GetPremeasurementError()
{
    return Orlo_GetPremeasurementError(0, 0);
}
