// The exported Vex functions: find the device behind the handle, clear its error history where the
// export does, call the device method. No exception leaves an export.
#include "vexapi.h"

#include "tarsel_factory.h"
#include "vexapi_codes.h"

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

using IoCtrlHandler = int (*)(cTarselDevice& device, void* data);

int NotSupported(cTarselDevice&, void*) { return ExportCode::kNotSupported; }

int MemoryAccess(cTarselDevice& device, void* data)
{
    return device.AccessFactoryMemory(static_cast<VexMemoryRequest*>(data));
}

struct IoCtrlRow {
    int code;
    int functionNumber;  // of the codes the handler produces
    IoCtrlHandler handler;
};

// Rows 0xA0-0xCB and 0xF0-0xF3. Rows without a handler in this library answer "not supported".
const IoCtrlRow* FindIoCtrlRow(int code)
{
    static const IoCtrlRow memoryRow{0xF0, 44, MemoryAccess};
    static const IoCtrlRow notSupportedRow{0, 0, NotSupported};
    if (code == 0xF0)
        return &memoryRow;
    if ((code >= 0xA0 && code <= 0xCB) || (code >= 0xF1 && code <= 0xF3))
        return &notSupportedRow;
    return nullptr;
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
    // A code outside the table must not look like success.
    const IoCtrlRow* row = FindIoCtrlRow(code);
    if (!row)
        return ExportCode::kNotSupported;
    return Guarded(row->functionNumber, [&] { return row->handler(*device, data); });
}

}  // extern "C"
