// CLibZUCom: the one door from the protocol layer to libvexhid; turns transport results into its own
// status codes.
#pragma once

#include <cstdint>

namespace vexapi {

class CLibZUCom {
public:
    // Constructed with (product id, vendor id), as the library has always done; Initialize takes
    // (vendor id, product id).
    CLibZUCom(int productId, int vendorId, int value1, int value2);
    ~CLibZUCom();
    CLibZUCom(const CLibZUCom&) = delete;
    CLibZUCom& operator=(const CLibZUCom&) = delete;

    int Initialize(int vendorId, int productId, int value1, int value2);
    int Exit();
    int EnumDevice(void** handle);
    int CloseDevice(void* handle);
    // Points at a static buffer of 32 units on success, null otherwise.
    const char16_t* GetSerialNumber(void* handle);
    int ReadCmd(void* handle, std::uint8_t* report, unsigned* count, int timeoutMs);
    int ReadData(void* handle, std::uint8_t* report, unsigned* count, int timeoutMs);
    int WriteCmd(void* handle, const std::uint8_t* report, unsigned* count, int timeoutMs);
    void FlushCmdBuffer(void* handle);
    void FlushDataBuffer(void* handle);
    bool IsInitialized() const { return initialized_ != 0; }
    int LastStatus() const { return lastStatus_; }

    static int MapResult(int transportResult);

private:
    bool Ready();

    std::int32_t lastStatus_ = 0;
    std::uint8_t initialized_ = 0;
    std::uint16_t vendorId_ = 0;
    std::uint16_t productId_ = 0;
};

// The library-wide instance, constructed when the library loads.
CLibZUCom& TheLibZUCom();

}  // namespace vexapi
