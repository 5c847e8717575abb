// Linux hidraw backend: sysfs for enumeration and serials, the device node for reports, an own
// report-descriptor parser for the report lengths. The roots of sysfs and /dev are parameters so that
// tests run on fixtures; the ioctls sit behind NodeControl for the same reason.
#pragma once

#include "hid_backend.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vexhid {

// Report lengths of a descriptor counted the platform's way (largest report's bytes + 1, 0 when the
// descriptor has no report of that direction). False when an item runs past the end.
bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, int* inputLength, int* outputLength);

struct HidrawEntry {
    int number = 0;                 // N of hidrawN
    std::string nodePath;           // <dev>/hidrawN
    std::string hidDevicePath;      // the HID device's sysfs directory, symlinks resolved
    std::uint32_t bus = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string uniq;               // HID_UNIQ, may be empty
};

// The hidraw entries under <sysfsRoot>/class/hidraw sorted by N as a number; entries whose link
// dangles or whose HID device has no readable uevent are left out.
std::vector<HidrawEntry> ListHidrawEntries(const std::string& sysfsRoot, const std::string& devRoot);

// HID_UNIQ, else the serial attribute of the USB device above the HID device; false with neither.
bool ReadEntrySerial(const HidrawEntry& entry, std::u16string* serial);

std::u16string Utf8ToUtf16(const std::string& text);

// The node opened with O_NONBLOCK | O_CLOEXEC and an exclusive non-blocking flock; -1 when it cannot be
// opened or someone holds the lock.
int OpenNodeExclusive(const std::string& path, bool writable);
// One report: byte 0 = 0, the first 64 content bytes at 1-64 (longer reports are cut).
ReadResult ReadNodeReport(int fd, int inputLength, std::uint8_t* report, int timeoutMs);
bool WriteNodeReport(int fd, const std::uint8_t* report);
void FlushNode(int fd, int inputLength);

// The ioctls of a hidraw node.
class NodeControl {
public:
    virtual ~NodeControl() = default;
    virtual bool RawInfo(int fd, std::uint32_t* bus, std::uint16_t* vendorId, std::uint16_t* productId);
    virtual bool ReportDescriptor(int fd, std::vector<std::uint8_t>* descriptor);
};

class HidrawBackend : public HidBackend {
public:
    HidrawBackend(std::string sysfsRoot, std::string devRoot, NodeControl* control = nullptr);
    std::vector<std::string> Enumerate() override;
    std::unique_ptr<HidPort> Open(const std::string& path, bool writable) override;

private:
    std::string sysfsRoot_;
    std::string devRoot_;
    NodeControl defaultControl_;
    NodeControl* control_;
    std::map<std::string, HidrawEntry> entries_;
};

}  // namespace vexhid
