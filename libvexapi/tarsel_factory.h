// cTarselFactory: opens devices into the process-wide open-device list, whose element addresses are the
// handles of the exported interface.
#pragma once

#include "tarsel_device.h"

#include <list>

namespace vexapi {

class cTarselFactory {
public:
    // Created on first use; closes every device when the library unloads.
    static cTarselFactory& Instance();

    bool ProductHandle(cTarselDevice** out);
    void ReleaseHandle(cTarselDevice* device);
    void ReleaseAll();
    int GetDeviceCount() const { return static_cast<int>(devices_.size()); }
    cTarselDevice* GetDevice(int index);
    // The live list element behind a handle, or null for a handle never given out or already released.
    cTarselDevice* Find(const void* handle);

    ~cTarselFactory();

private:
    cTarselFactory() = default;
    std::list<cTarselDevice> devices_;  // node-based: handles stay valid while others come and go
};

// Four version triples: this library, libvexcalib, libvexhid, libvexcolor.
int GetSDKVersion(int* versions12);

}  // namespace vexapi
