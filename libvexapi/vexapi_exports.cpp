// The exported Vex functions: find the device behind the handle, clear its error history where the
// export does, call the device method. No exception leaves an export.
#include "vexapi.h"

#include "alldevice.h"
#include "tarsel_factory.h"
#include "vexapi_codes.h"
#include "vexcalib.h"

namespace {

using vexapi::cTarselDevice;
using vexapi::cTarselFactory;
namespace ExportCode = vexapi::ExportCode;

// An escaped exception (in practice only allocation failure) answers the export's F x 100 + 99.
template <typename Body>
int Guarded(int functionNumber, Body&& body)
{
    try {
        return body();
    } catch (...) {
        return functionNumber * 100 + 99;
    }
}

// Per-device frame: unknown or closed handles answer like a null one.
template <typename Body>
int DeviceCall(VEX_HANDLE handle, int functionNumber, bool clearErrors, Body&& body)
{
    cTarselDevice* device = cTarselFactory::Instance().Find(handle);
    if (!device)
        return ExportCode::kNullHandle;
    if (clearErrors)
        device->ClearErrors();
    return Guarded(functionNumber, [&] { return body(*device); });
}

// Function numbers of the codes each DevIOCtrl row produces (for an escaped exception).
int IoCtrlFunctionNumber(int code)
{
    switch (code) {
    case 0xA2: case 0xA3: return 43;
    case 0xA4: return 41;
    case 0xA6: case 0xA7: return 25;
    case 0xAA: case 0xAB: return 31;
    case 0xAC: case 0xAD: return 32;
    case 0xAE: return 97;
    case 0xAF: return 98;
    case 0xB2: return 100;
    case 0xB3: return 103;
    case 0xB4: return 102;
    case 0xB5: case 0xB6: return 27;
    case 0xBB: case 0xBC: return 29;
    case 0xBD: return 30;
    case 0xBF: return 8;
    case 0xC4: case 0xC5: return 96;
    case 0xCB: return 42;
    case 0xF0: return 44;
    case 0xF1: return 101;
    default: return 26;
    }
}

}  // namespace

extern "C" {

int VexOpenDevice(VEX_HANDLE* handle)
{
    if (!handle)
        return ExportCode::kNullHandle;
    try {
        cTarselDevice* device = nullptr;
        if (!cTarselFactory::Instance().ProductHandle(&device))
            return ExportCode::kOpenFailed;
        *handle = device;
        return ExportCode::kOk;
    } catch (...) {
        return ExportCode::kOpenFailed;
    }
}

int VexCloseDevice(VEX_HANDLE handle)
{
    if (!handle)
        return ExportCode::kNullHandle;
    try {
        cTarselFactory::Instance().ReleaseHandle(static_cast<cTarselDevice*>(handle));
    } catch (...) {
    }
    return ExportCode::kOk;
}

int VexSetRemoteMode(VEX_HANDLE handle, int mode)
{
    return DeviceCall(handle, 3, true, [&](cTarselDevice& d) { return d.RemoteMode(0, &mode); });
}

int VexGetRemoteMode(VEX_HANDLE handle, int* mode)
{
    return DeviceCall(handle, 3, true, [&](cTarselDevice& d) { return d.RemoteMode(1, mode); });
}

int VexGetDeviceID(VEX_HANDLE handle, VexDeviceID* id)
{
    return DeviceCall(handle, 9, true, [&](cTarselDevice& d) { return d.GetDeviceID(id); });
}

int VexGetSDKVersion(int* versions)
{
    return Guarded(1, [&] { return vexapi::GetSDKVersion(versions); });
}

int VexGetDeviceStoredDataNum(VEX_HANDLE handle, int* count)
{
    return DeviceCall(handle, 59, true, [&](cTarselDevice& d) { return d.GetDeviceStoredDataNum(count); });
}

int VexGetDeviceStoredData(VEX_HANDLE handle, VexStoredMeasurement* records, int kind, int capacity)
{
    return DeviceCall(handle, 58, true,
                      [&](cTarselDevice& d) { return d.GetDeviceStoredData(records, kind, capacity); });
}

int VexGetPrevError(VEX_HANDLE handle, VexErrorHistory* history)
{
    return DeviceCall(handle, 10, false, [&](cTarselDevice& d) {
        if (!history)
            return ExportCode::kNullHandle;
        d.GetPrevError(history);
        return ExportCode::kOk;
    });
}

int DevIOCtrl(VEX_HANDLE handle, int code, void* data)
{
    cTarselDevice* device = cTarselFactory::Instance().Find(handle);
    if (!device || !data)
        return ExportCode::kIoCtrlNull;
    // Codes outside the table, and rows without a handler, must not look like success.
    return Guarded(IoCtrlFunctionNumber(code), [&] { return device->IoCtrl(code, data); });
}

int DevRead(VEX_HANDLE handle, void* buffer, int size)
{
    return DeviceCall(handle, 71, false, [&](cTarselDevice& d) { return d.DevRead(buffer, size); });
}

int DevWrite(VEX_HANDLE, void*, int) { return ExportCode::kNotSupported; }

int VexDoMeasurement(VEX_HANDLE handle, int* value)
{
    return DeviceCall(handle, 13, true, [&](cTarselDevice& d) { return d.DoMeasurement(value); });
}

int VexDoManualMeasurement(VEX_HANDLE handle, int key1, int key2)
{
    return DeviceCall(handle, 13, true, [&](cTarselDevice& d) { return d.DoManualMeasurement(key1, key2); });
}

int VexPollingMeasure(VEX_HANDLE handle, int* state)
{
    // During an all-device measurement the per-device polls belong to VexPollingMeasureAll.
    if (vexapi::AllDeviceRunning())
        return 16;
    return DeviceCall(handle, 12, true, [&](cTarselDevice& d) { return d.PollingMeasure(state); });
}

int VexStopMeasurement(VEX_HANDLE handle)
{
    return DeviceCall(handle, 14, true, [&](cTarselDevice& d) { return d.StopMeasurement(); });
}

int VexGetMeasData(VEX_HANDLE handle, int kind, float* values)
{
    return DeviceCall(handle, 37, true, [&](cTarselDevice& d) { return d.GetMeasData(kind, values); });
}

int VexDoCalibration(VEX_HANDLE handle)
{
    return DeviceCall(handle, 111, true, [&](cTarselDevice& d) { return d.DoCalibration(); });
}

int VexPollingCalibration(VEX_HANDLE handle, int* state)
{
    return DeviceCall(handle, 112, true, [&](cTarselDevice& d) { return d.PollingCalibration(state); });
}

int VexGetCalibrateStatus(VEX_HANDLE handle, int* status)
{
    return DeviceCall(handle, 11, true, [&](cTarselDevice& d) { return d.GetCalibrateStatus(status); });
}

int VexGetWarning(VEX_HANDLE handle, int* warning)
{
    return DeviceCall(handle, 100, false, [&](cTarselDevice& d) { return d.GetWarning(warning); });
}

int VexGetButtonStatus(VEX_HANDLE handle, VexButtonStatus* status)
{
    return DeviceCall(handle, 8, true, [&](cTarselDevice& d) { return d.GetButtonStatus(status); });
}

int VexGetProperty(VEX_HANDLE handle, int id, int* value)
{
    return DeviceCall(handle, 4, true, [&](cTarselDevice& d) { return d.GetProperty(id, value); });
}

int VexSetProperty(VEX_HANDLE handle, int id, int value)
{
    return DeviceCall(handle, 5, true, [&](cTarselDevice& d) { return d.SetProperty(id, value); });
}

int VexManualMeasurement(VEX_HANDLE handle, int p0, int p1, int p2)
{
    return DeviceCall(handle, 110, true, [&](cTarselDevice& d) { return d.ManualMeasurement(p0, p1, p2); });
}

int VexDoDarkCalib(VEX_HANDLE handle, void* result, int setting1, int setting2)
{
    return DeviceCall(handle, 130, false, [&](cTarselDevice& d) { return d.DoDarkCalib(result, setting1, setting2); });
}

int VexDoMeasurementAll(int* value)
{
    return Guarded(108, [&] { return vexapi::DoMeasurementAll(value); });
}

int VexDoManualMeasurementAll(int key1, int key2)
{
    return Guarded(108, [&] { return vexapi::DoManualMeasurementAll(key1, key2); });
}

int VexPollingMeasureAll(int* state)
{
    return Guarded(109, [&] { return vexapi::PollingMeasureAll(state); });
}

int VexStopMeasurementAll(void)
{
    return Guarded(0, [&] { return vexapi::StopMeasurementAll(); });
}

int VexSetDeviceStoredData(VEX_HANDLE handle, const VexStoredMeasurement* records, int count)
{
    return DeviceCall(handle, 88, true, [&](cTarselDevice& d) { return d.SetDeviceStoredData(records, count); });
}

int VexDeleteDeviceStoredData(VEX_HANDLE handle, int number)
{
    return DeviceCall(handle, 89, true, [&](cTarselDevice& d) { return d.DeleteDeviceStoredData(number); });
}

int VexGetTargetData(VEX_HANDLE handle, int number, VexTargetData* record)
{
    return DeviceCall(handle, 55, true, [&](cTarselDevice& d) { return d.GetTargetData(number, record); });
}

int VexSetTargetData(VEX_HANDLE handle, int number, const VexTargetData* record)
{
    return DeviceCall(handle, 54, true, [&](cTarselDevice& d) { return d.SetTargetData(number, record); });
}

int VexDeleteTargetData(VEX_HANDLE handle, int number)
{
    return DeviceCall(handle, 56, true, [&](cTarselDevice& d) { return d.DeleteTargetData(number); });
}

int VexGetUserCalibrationData(VEX_HANDLE handle, int number, VexUserCalibrationData* record)
{
    return DeviceCall(handle, 22, true, [&](cTarselDevice& d) { return d.GetUserCalibrationData(number, record); });
}

int VexSetUserCalibrationData(VEX_HANDLE handle, int number, const VexUserCalibrationData* record)
{
    return DeviceCall(handle, 21, true, [&](cTarselDevice& d) { return d.SetUserCalibrationData(number, record); });
}

int VexDeleteUserCalibrationData(VEX_HANDLE handle, int number)
{
    return DeviceCall(handle, 23, true, [&](cTarselDevice& d) { return d.DeleteUserCalibrationData(number); });
}

int VexCalcUserCalibrationData(VEX_HANDLE handle, float* out, const float* a, const float* b)
{
    return DeviceCall(handle, 24, true, [&](cTarselDevice&) { return cTarselDevice::CalcUserCalibrationData(out, a, b); });
}

int VexGetRankData(VEX_HANDLE handle, int number, VexRankData* record)
{
    return DeviceCall(handle, 82, true, [&](cTarselDevice& d) { return d.GetRankData(number, record); });
}

int VexSetRankData(VEX_HANDLE handle, int number, const VexRankData* record)
{
    return DeviceCall(handle, 66, true, [&](cTarselDevice& d) { return d.SetRankData(number, record); });
}

int VexDeleteRankData(VEX_HANDLE handle, int number)
{
    return DeviceCall(handle, 67, true, [&](cTarselDevice& d) { return d.DeleteRankData(number); });
}

int VexSortOutRank(VEX_HANDLE handle, VexRankResult* result)
{
    return DeviceCall(handle, 81, true, [&](cTarselDevice& d) { return d.SortOutRank(result); });
}

int VexGetColorDifference(VEX_HANDLE handle, int kind, float* result)
{
    return DeviceCall(handle, 47, true, [&](cTarselDevice& d) { return d.GetColorDifference(kind, result); });
}

int VexGetMeasSetting(VEX_HANDLE handle, int type, VexMeasSetting* setting)
{
    return DeviceCall(handle, 10, true, [&](cTarselDevice& d) { return d.MeasSettingExport(0, type, setting); });
}

int VexSetMeasSetting(VEX_HANDLE handle, int type, const VexMeasSetting* setting)
{
    return DeviceCall(handle, 10, true, [&](cTarselDevice& d) {
        if (!setting)
            return ExportCode::kIoCtrlNull;
        VexMeasSetting copy = *setting;
        return d.MeasSettingExport(1, type, &copy);
    });
}

int VexGetSystemSetting(VEX_HANDLE handle, int type, VexSystemSetting* setting)
{
    return DeviceCall(handle, 6, true, [&](cTarselDevice& d) { return d.SystemSettingExport(0, type, setting); });
}

int VexSetSystemSetting(VEX_HANDLE handle, int type, const VexSystemSetting* setting)
{
    return DeviceCall(handle, 6, true, [&](cTarselDevice& d) {
        if (!setting)
            return ExportCode::kIoCtrlNull;
        VexSystemSetting copy = *setting;
        return d.SystemSettingExport(1, type, &copy);
    });
}

int VexGetPeriodicCalDate(VEX_HANDLE handle, int which, VexDateTime* date)
{
    return DeviceCall(handle, 93, true, [&](cTarselDevice& d) { return d.GetPeriodicCalDate(which, date); });
}

int VexSetPeriodicCalDate(VEX_HANDLE handle, const VexDateTime* date)
{
    return DeviceCall(handle, 94, true, [&](cTarselDevice& d) { return d.SetPeriodicCalDate(date); });
}

int VexGetListItem(VEX_HANDLE handle, int item, int* value)
{
    return DeviceCall(handle, 120, false, [&](cTarselDevice& d) { return d.GetListItem(item, value); });
}

int VexSetListItem(VEX_HANDLE handle, int item, int value)
{
    return DeviceCall(handle, 120, false, [&](cTarselDevice& d) { return d.SetListItem(item, value); });
}

int VexGetFactoryDataSDK(VEX_HANDLE handle, void* record)
{
    return DeviceCall(handle, 19, false, [&](cTarselDevice& d) { return d.GetFactoryDataSDK(record); });
}

int VexGetCalibDataSDK(VEX_HANDLE handle, void* block)
{
    return DeviceCall(handle, 18, false, [&](cTarselDevice& d) { return d.GetCalibDataSDK(block); });
}

int VexSetCalibDataSDK(VEX_HANDLE handle, const void* block)
{
    return DeviceCall(handle, 140, false, [&](cTarselDevice& d) { return d.SetCalibDataSDK(block); });
}

int VexGetRawDataSDK(VEX_HANDLE handle, float* spectra, int* value, int capacity, int* count)
{
    return DeviceCall(handle, 17, false,
                      [&](cTarselDevice& d) { return d.GetRawDataSDK(spectra, value, capacity, count); });
}

int VexCalWavelengthShift(const float* readings, const void* device, void* result)
{
    return CalcWavelengthShift_JIGU(readings, device, result);
}

}  // extern "C"
