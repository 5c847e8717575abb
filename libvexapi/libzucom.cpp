#include "libzucom.h"

#include "lumet_protocol.h"
#include "vexapi_codes.h"
#include "vexhid.h"

#include <algorithm>
#include <iterator>

namespace vexapi {

namespace {
char16_t s_serial[32];
}

CLibZUCom::CLibZUCom(int productId, int vendorId, int value1, int value2)
{
    Initialize(vendorId, productId, value1, value2);
}

CLibZUCom::~CLibZUCom()
{
    if (initialized_)
        Exit();
}

int CLibZUCom::MapResult(int r)
{
    switch (r) {
    case 0: return ZuStatus::kOk;
    case 7: return ZuStatus::kDeviceFailed;
    case 1: return ZuStatus::kStatus2;
    case 6: return ZuStatus::kNullArgument;
    case 9: return ZuStatus::kIoFailed;
    case 2: return ZuStatus::kTimeout;
    case 3: return ZuStatus::kStatus7;
    case 4: return ZuStatus::kStatus8;
    default: return ZuStatus::kOther;
    }
}

bool CLibZUCom::Ready()
{
    if (initialized_)
        return true;
    lastStatus_ = ZuStatus::kNotInitialized;
    return false;
}

int CLibZUCom::Initialize(int vendorId, int productId, int value1, int value2)
{
    if (initialized_)
        ZUCOM_Exit();
    vendorId_ = static_cast<std::uint16_t>(vendorId);
    productId_ = static_cast<std::uint16_t>(productId);
    if (ZUCOM_Initialize(vendorId, productId, value1, value2) != 0) {
        lastStatus_ = ZuStatus::kDeviceFailed;
        return lastStatus_;
    }
    initialized_ = 1;
    lastStatus_ = ZuStatus::kOk;
    return lastStatus_;
}

int CLibZUCom::Exit()
{
    ZUCOM_Exit();
    initialized_ = 0;
    lastStatus_ = ZuStatus::kOk;
    return lastStatus_;
}

int CLibZUCom::EnumDevice(void** handle)
{
    if (!Ready())
        return lastStatus_;
    if (!handle)
        return lastStatus_ = ZuStatus::kNullArgument;
    return lastStatus_ = MapResult(ZUCOM_EnumDevice(handle));
}

int CLibZUCom::CloseDevice(void* handle)
{
    if (!Ready())
        return lastStatus_;
    if (!handle)
        return lastStatus_ = ZuStatus::kNullArgument;
    return lastStatus_ = MapResult(ZUCOM_CloseDevice(handle));
}

const char16_t* CLibZUCom::GetSerialNumber(void* handle)
{
    // Cleared first so that a failed query can never hand on the previous instrument's serial.
    std::fill(std::begin(s_serial), std::end(s_serial), u'\0');
    if (!Ready())
        return nullptr;
    if (!handle) {
        lastStatus_ = ZuStatus::kNullArgument;
        return nullptr;
    }
    lastStatus_ = MapResult(ZUCOM_GetSerialNumber(handle, s_serial));
    return lastStatus_ == ZuStatus::kOk ? s_serial : nullptr;
}

int CLibZUCom::ReadCmd(void* handle, std::uint8_t* report, unsigned* count, int timeoutMs)
{
    if (!Ready())
        return lastStatus_;
    if (!handle || !report || !count)
        return lastStatus_ = ZuStatus::kNullArgument;
    return lastStatus_ = MapResult(ZUCOM_ReadCmd(handle, report, count, timeoutMs));
}

int CLibZUCom::ReadData(void* handle, std::uint8_t* report, unsigned* count, int timeoutMs)
{
    if (!Ready())
        return lastStatus_;
    if (!handle || !report || !count)
        return lastStatus_ = ZuStatus::kNullArgument;
    return lastStatus_ = MapResult(ZUCOM_ReadData(handle, report, count, timeoutMs));
}

int CLibZUCom::WriteCmd(void* handle, const std::uint8_t* report, unsigned* count, int timeoutMs)
{
    if (!Ready())
        return lastStatus_;
    if (!handle || !report || !count)
        return lastStatus_ = ZuStatus::kNullArgument;
    return lastStatus_ = MapResult(ZUCOM_WriteCmd(handle, report, count, timeoutMs));
}

void CLibZUCom::FlushCmdBuffer(void* handle)
{
    if (!Ready())
        return;
    if (!handle) {
        lastStatus_ = ZuStatus::kNullArgument;
        return;
    }
    lastStatus_ = MapResult(ZUCOM_FlashCmdBuffer(handle));
}

void CLibZUCom::FlushDataBuffer(void* handle)
{
    if (!Ready())
        return;
    if (!handle) {
        lastStatus_ = ZuStatus::kNullArgument;
        return;
    }
    lastStatus_ = MapResult(ZUCOM_FlashDataBuffer(handle));
}

namespace {
CLibZUCom g_libZUCom(lumet::kProductId, lumet::kVendorId, 0, 0);
}

CLibZUCom& TheLibZUCom() { return g_libZUCom; }

}  // namespace vexapi
