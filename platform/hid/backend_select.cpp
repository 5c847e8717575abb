#include "hid_backend.h"
#include "hidraw_backend.h"
#include "sim_bus.h"

#include <cstdlib>
#include <cstring>

namespace vexhid {

HidBackend& SelectedBackend()
{
    static std::unique_ptr<HidBackend> backend = [] {
        const char* choice = std::getenv("VEX_HID_BACKEND");
        if (choice && std::strcmp(choice, "sim") == 0)
            return sim::MakeSimBackend();
        return std::unique_ptr<HidBackend>(new HidrawBackend("/sys", "/dev"));
    }();
    return *backend;
}

}  // namespace vexhid
