// The chart-scanner side of the model: connection, instrument jobs and the forwarders to the controller.

#include "app/model.h"

#include "app/applicationdata.h"
#include "app/constants.h"
#include "app/documentdata.h"
#include "app/illuminantdata.h"
#include "app/orlosdkcontroller.h"
#include "app/tanosdkcontroller.h"
#include "app/vexsdkcontroller.h"

#include <cstring>

// The windows' records mirror the library's field for field.
static_assert(sizeof(OrloStatusRecord) == sizeof(OrloStatus) &&
                  sizeof(OrloStatusRecord::Reserved0) == sizeof(OrloStatus::reserved0) &&
                  sizeof(OrloStatusRecord::Reserved1) == sizeof(OrloStatus::reserved1),
              "status record");
static_assert(sizeof(OrloDeviceRecord) == sizeof(OrloDeviceEntry) &&
                  sizeof(OrloDeviceRecord::Name) == sizeof(OrloDeviceEntry::name) &&
                  sizeof(OrloDeviceRecord::Identity) == sizeof(OrloDeviceEntry::identity),
              "device record");

namespace {

QString FixedText(const char *bytes, int size)
{
    const void *end = std::memchr(bytes, 0, size_t(size));
    const int n = end ? int(static_cast<const char *>(end) - bytes) : size;
    return QString::fromLocal8Bit(bytes, n);
}

// The scanner's kind 1 is USB, which the connection record calls kind 0 (port).
int ConnectionKindOfDevice(const OrloDeviceEntry &entry)
{
    return entry.kind == 1 ? 0 : 1;
}

} // namespace

bool CModel::FindConnectableOrloDevice(Setting::ConnectSetting *record)
{
    QList<OrloDeviceEntry> devices;
    if (m_orlo->GetDeviceList(&devices) != 0 || devices.isEmpty())
        return false;
    Setting::ConnectSetting candidate = m_applicationData->GetConnectionSetting();
    for (const OrloDeviceEntry &entry : devices) {
        if (FixedText(entry.identity, sizeof(entry.identity)) == candidate.DeviceName &&
            ConnectionKindOfDevice(entry) == candidate.ConnectionKind) {
            if (record)
                *record = candidate;
            return true;
        }
    }
    for (const OrloDeviceEntry &entry : devices) {
        if (FixedText(entry.identity, sizeof(entry.identity)) != candidate.DeviceName)
            continue;
        candidate.ConnectionKind = ConnectionKindOfDevice(entry);
        const QString address = FixedText(entry.name, sizeof(entry.name));
        if (candidate.ConnectionKind == 0)
            candidate.Port = address;
        else if (candidate.AddressKind == 1)
            candidate.Address = address;
        else
            candidate.NetworkName = address;
        if (record)
            *record = candidate;
        return true;
    }
    return false;
}

int CModel::ConnectOrlo(bool search)
{
    const bool wasConnected = m_orlo->IsConnected();
    const Setting::ConnectSetting stored = m_applicationData->GetConnectionSetting();
    int result = 0;
    if (search) {
        Setting::ConnectSetting found;
        const bool foundDevice = FindConnectableOrloDevice(&found);
        bool connected = false;
        if (foundDevice) {
            result = m_orlo->Connect(&found);
            if (result == 0) {
                connected = true;
                ReportError(m_applicationData->SetConnectionSetting(found), 2, false);
            }
        }
        if (!connected && (foundDevice || !m_orlo->IsConnected())) {
            result = m_orlo->Connect(&stored);
            if (result == 0 && m_orlo->GetSystemInfo() != stored.DeviceName) {
                m_orlo->Disconnect();
                result = kIdentityMismatch;
            }
        }
    } else {
        result = m_orlo->Connect(&stored);
        if (result == 0) {
            Setting::ConnectSetting record = stored;
            record.DeviceName = m_orlo->GetSystemInfo();
            ReportError(m_applicationData->SetConnectionSetting(record), 2, false);
        }
    }
    ReportError(result, 4, false);
    if (result != 0)
        SetOrloStatus(0);
    if (wasConnected)
        return result;
    if (result == 0) {
        OrloStatus status{};
        if (m_orlo->GetStatus(&status) == 0 && status.calibrationDue == 1)
            emit DetectPeriodCalibration();
    }
    return result;
}

int CModel::IsOrloConnected() const
{
    return m_orlo && m_orlo->IsConnected() ? 1 : 0;
}

int CModel::GetOrloStatus(OrloStatusRecord *status)
{
    if (!status)
        return m_orlo->GetStatus(nullptr);
    // In and out: a call that fails before the library answers leaves the caller's record as it was.
    OrloStatus raw;
    raw.deviceState = status->DeviceState;
    raw.stateFlag = status->StateFlag;
    raw.calibrationDue = status->CalibrationDue;
    std::memcpy(raw.reserved0, status->Reserved0, sizeof raw.reserved0);
    raw.state = status->State;
    std::memcpy(raw.reserved1, status->Reserved1, sizeof raw.reserved1);
    raw.otherComputer = status->OtherComputer;
    const int result = m_orlo->GetStatus(&raw);
    status->DeviceState = raw.deviceState;
    status->StateFlag = raw.stateFlag;
    status->CalibrationDue = raw.calibrationDue;
    std::memcpy(status->Reserved0, raw.reserved0, sizeof status->Reserved0);
    status->State = raw.state;
    std::memcpy(status->Reserved1, raw.reserved1, sizeof status->Reserved1);
    status->OtherComputer = raw.otherComputer;
    return result;
}

int CModel::GetOrloSystemInfo(void *buffer)
{
    return m_orlo->GetSystemInfoRecord(static_cast<OrloSystemInfo *>(buffer));
}

int CModel::GetOrloPremeasurementError()
{
    return m_orlo->GetPremeasurementError();
}

int CModel::IsOrloDensityMeasurementActive() const
{
    return m_orlo ? m_orlo->GetDensityEndPending() : 0;
}

int CModel::GetOrloDeviceList(QList<OrloDeviceRecord> *list, bool report)
{
    if (list)
        list->clear();
    QList<OrloDeviceEntry> devices;
    const int result = m_orlo->GetDeviceList(list ? &devices : nullptr);
    for (const OrloDeviceEntry &device : devices) {
        OrloDeviceRecord record;
        record.Kind = device.kind;
        std::memcpy(record.Name, device.name, sizeof record.Name);
        std::memcpy(record.Identity, device.identity, sizeof record.Identity);
        list->append(record);
    }
    if (report)
        ReportError(result, 56, false);
    return result;
}

int CModel::GetOrloNetworkSetting(OrloNetworkSetting *setting)
{
    const int result = m_orlo->GetNetworkSetting(setting);
    ReportError(result, 19, false);
    return result;
}

int CModel::SetOrloNetworkSetting(const OrloNetworkSetting &setting)
{
    const int result = m_orlo->SetNetworkSetting(setting);
    ReportError(result, 19, false);
    return result;
}

int CModel::CreateBarcodeImage(const QString &path, SheetInfoRecord *record)
{
    return m_orlo->CreateBarcodeImage(path, record);
}

int CModel::CalculateTileColor(float *lab, const float *block, int conditionId, int illuminantId, int observer)
{
    return m_orlo->CalculateLabWithOptions(lab, block, conditionId, illuminantId, observer);
}

int CModel::CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &conditions,
                                 int conditionId)
{
    return m_orlo->CalculatePatchValues(values, block, conditions, conditionId);
}

int CModel::CalculateReflectanceSpectrum(float *values, const float *block, int conditionId)
{
    return m_orlo->CalculateSpectrumForCondition(values, block, conditionId);
}

int CModel::DisconnectOrlo()
{
    return m_orlo->Disconnect();
}

int CModel::RestartOrloMeasurement()
{
    return m_orlo->StartMeasurement();
}

int CModel::StartOrloMeasurement(int option, bool secondVariant)
{
    return m_orlo->StartNextMeasurement(option, secondVariant);
}

int CModel::StartOrloRecognition(bool registration)
{
    return m_orlo->StartRecognition(registration ? 1 : 0);
}

int CModel::RestartOrloPatchRecognition(bool registration)
{
    return m_orlo->RestartRecognition(registration ? 1 : 0);
}

int CModel::ExitOrloMeasurement()
{
    return m_orlo->ExitMeasurement();
}

void CModel::SetOrloEjectAfterMeasurement(bool on)
{
    if (m_orlo)
        m_orlo->SetDensityEndRequest(on ? 1 : 0);
}

void CModel::SetOrloChartHeld(bool on)
{
    if (m_orlo)
        m_orlo->SetDensityEndPending(on ? 1 : 0);
}

QString CModel::GetInstrumentSerialNumber(int kind)
{
    switch (kind) {
    case 0:
        return m_orlo->GetSystemInfo();
    case 1:
        return m_tano->GetSerialNumber();
    case 2:
        return m_vex->GetSerialNumber();
    default:
        return QString();
    }
}

bool CModel::GetSelectedChart(OrloSelectedChart *out)
{
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    int job = 0;
    if (m_appStatus == 7 || m_appStatus == 8 || m_appStatus == 13 || m_appStatus == 12) {
        const DensityBalanceData *record = m_documentData->FindDensityChart(m_selectedChartId);
        if (!record)
            return false;
        job = record->JobNumber;
    } else {
        const ChartDesigData *record = m_documentData->FindDesignationChart(m_selectedChartId);
        if (!record)
            return false;
        job = record->JobNumber;
    }
    if (out) {
        out->JobNumber = job;
        out->SheetCount = chart->SheetCount;
        out->Unit = chart->UNIT;
        out->Recog = chart->Recog;
        out->Diameter = chart->Diameter;
    }
    return true;
}

// ---- Jobs ---------------------------------------------------------------------------------------------------------

int CModel::DeleteChartJob(int *jobNumber)
{
    if (!jobNumber || *jobNumber == 0)
        return 0;
    const int result = m_orlo->DeleteJob(*jobNumber);
    if (result == 0)
        *jobNumber = 0;
    return result;
}

int CModel::DeleteDesignationChart(int id)
{
    if (ChartDesigData *record = m_documentData->FindDesignationChart(id)) {
        if (record->JobNumber != 0) {
            const int result = m_orlo->DeleteJob(record->JobNumber);
            if (result != 0)
                return result;
        }
    }
    return m_documentData->DeleteDesignationChart(id) ? 0 : kDeleteFailed;
}

int CModel::DeleteDensityChart(int id)
{
    if (DensityBalanceData *record = m_documentData->FindDensityChart(id)) {
        if (record->JobNumber != 0) {
            const int result = m_orlo->DeleteJob(record->JobNumber);
            if (result != 0)
                return result;
        }
    }
    return m_documentData->DeleteDensityChart(id) ? 0 : kDeleteFailed;
}

int CModel::RegisterDesignationChartJob()
{
    int job = 0;
    int result = m_orlo->RegisterJob(m_selectedChartId, *m_dataBuffer->GetChartDefinition(), &job);
    if (result == 0) {
        if (ChartDesigData *record = m_documentData->FindDesignationChart(m_selectedChartId))
            record->JobNumber = job;
    }
    ReportError(result, 7, false);
    return result;
}

int CModel::RegisterDensityChartJob()
{
    int job = 0;
    int result = m_orlo->RegisterJob(m_selectedChartId, *m_dataBuffer->GetChartDefinition(), &job);
    if (result == 0) {
        if (DensityBalanceData *record = m_documentData->FindDensityChart(m_selectedChartId))
            record->JobNumber = job;
    }
    ReportError(result, 7, false);
    return result;
}

int CModel::DeleteSelectedDesignationChartJob()
{
    ChartDesigData *record = m_documentData->FindDesignationChart(m_selectedFileId);
    return record ? DeleteChartJob(&record->JobNumber) : 0;
}

int CModel::DeleteSelectedDensityChartJob()
{
    DensityBalanceData *record = m_documentData->FindDensityChart(m_selectedFileId);
    return record ? DeleteChartJob(&record->JobNumber) : 0;
}

int CModel::DeleteAllDesignationChartJobs()
{
    // Every job is tried; the first failure is what the caller hears about.
    int first = 0;
    const QList<ChartDesigData> charts = *m_documentData->GetDesignationCharts();
    for (const ChartDesigData &chart : charts) {
        ChartDesigData *record = m_documentData->FindDesignationChart(chart.ID);
        const int result = record ? DeleteChartJob(&record->JobNumber) : 0;
        if (first == 0)
            first = result;
    }
    return first;
}

int CModel::DeleteAllDensityChartJobs()
{
    int first = 0;
    const QList<DensityBalanceData> charts = *m_documentData->GetDensityCharts();
    for (const DensityBalanceData &chart : charts) {
        DensityBalanceData *record = m_documentData->FindDensityChart(chart.ID);
        const int result = record ? DeleteChartJob(&record->JobNumber) : 0;
        if (first == 0)
            first = result;
    }
    return first;
}

int CModel::DeleteSelectedChartJob()
{
    if (!m_applicationData->GetUserEnvironment().DeleteJobAfterUse)
        return 0;
    int id = 0;
    int *jobNumber = nullptr;
    const bool density = m_selectionKind == KindDensityChart || m_selectionKind == KindDensityMeasure;
    switch (m_selectionKind) {
    case KindDesignationChart:
    case KindDesignationMeasure: {
        id = m_selectionKind == KindDesignationChart ? m_selectedFileId : m_selectedChartId;
        ChartDesigData *record = m_documentData->FindDesignationChart(id);
        jobNumber = record ? &record->JobNumber : nullptr;
        break;
    }
    case KindDensityChart:
    case KindDensityMeasure: {
        id = m_selectionKind == KindDensityChart ? m_selectedFileId : m_selectedChartId;
        DensityBalanceData *record = m_documentData->FindDensityChart(id);
        jobNumber = record ? &record->JobNumber : nullptr;
        break;
    }
    default:
        return 0;
    }
    if (!jobNumber || *jobNumber == 0)
        return 0;
    // The record forgets the job once the scanner has deleted it, so the chart can be registered again.
    const int result = DeleteChartJob(jobNumber);
    if (result == 0) {
        if (density)
            emit CheckOffDensityBalanceFromFileID(id);
        else
            emit CheckOffDesigChartFromFileID(id);
    }
    return result;
}

// ---- User illuminants at the scanner ------------------------------------------------------------------------------

int CModel::RegisterUserIlluminantToOrlo(int slot)
{
    int result = kBadLightSource;
    const UserIlluminantSlots table = m_illuminantData->GetSlots();
    if (slot >= 0 && slot < kUserIlluminantSlotCount) {
        if (const EnvironLightData *record = m_illuminantData->GetRecord(table[size_t(slot)].Number)) {
            const EnvironLightData copy = *record;
            result = m_orlo->RegisterUserIlluminant(copy);
        }
    }
    ReportError(result, 15, false);
    return result;
}

int CModel::GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out)
{
    int id = illuminantId;
    if (IsAutoIlluminant(id))
        id = AutoIlluminantFor(conditionId);
    int slot = IlluminantUserSlot(id);
    if (slot < 0)
        slot = MeasurementConditionUserSlot(conditionId);
    if (slot < 0 || slot >= kUserIlluminantSlotCount)
        return kBadLightSource;
    const EnvironLightData *record = m_illuminantData->GetRecord(m_illuminantData->GetSlots()[size_t(slot)].Number);
    if (!record)
        return kBadLightSource;
    if (out)
        *out = *record;
    return 0;
}
