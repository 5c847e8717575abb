#include "tarsel_factory.h"

#include "libzucom.h"

#include <memory>

namespace vexapi {

cTarselFactory& cTarselFactory::Instance()
{
    static cTarselFactory factory;
    return factory;
}

cTarselFactory::~cTarselFactory() { ReleaseAll(); }

bool cTarselFactory::ProductHandle(cTarselDevice** out)
{
    try {
        // The device object is large; keep the local one off the stack.
        auto device = std::make_unique<cTarselDevice>(&TheLibZUCom());
        if (!device->Open())
            return false;
        try {
            devices_.push_back(*device);
        } catch (...) {
            device->Close();
            throw;
        }
        if (out)
            *out = &devices_.back();
        return true;
    } catch (int) {
        return false;
    } catch (...) {
        if (out)
            *out = nullptr;
        return false;
    }
}

void cTarselFactory::ReleaseHandle(cTarselDevice* device)
{
    for (auto it = devices_.begin(); it != devices_.end(); ++it) {
        if (&*it == device) {
            it->Close();
            devices_.erase(it);
            return;
        }
    }
}

void cTarselFactory::ReleaseAll()
{
    for (cTarselDevice& d : devices_)
        d.Close();
    devices_.clear();
}

cTarselDevice* cTarselFactory::GetDevice(int index)
{
    if (index < 0 || index >= GetDeviceCount())
        return nullptr;
    auto it = devices_.begin();
    std::advance(it, index);
    return &*it;
}

cTarselDevice* cTarselFactory::Find(const void* handle)
{
    if (!handle)
        return nullptr;
    for (cTarselDevice& d : devices_) {
        if (&d == handle)
            return &d;
    }
    return nullptr;
}

}  // namespace vexapi
