// The seam between the HID transport library and the platform: enumerate interfaces, open one
// exclusively, and move single reports. One backend serves the process; it is chosen at the first use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexhid {

enum class ReadResult { Ok, Timeout, Failed };

// One opened HID interface. Destroying it closes it.
class HidPort {
public:
    virtual ~HidPort() = default;
    virtual bool GetIds(std::uint16_t* vendorId, std::uint16_t* productId) = 0;
    // Report lengths counted as the platform does: largest report + 1 for the report-id byte, 0 for none.
    virtual bool GetReportLengths(int* inputLength, int* outputLength) = 0;
    // Reads one report into report[0..64]; report[0] is the report id (0).
    virtual ReadResult Read(std::uint8_t* report, int timeoutMs) = 0;
    // Writes the 65 bytes of one output report.
    virtual bool Write(const std::uint8_t* report) = 0;
    virtual void Flush() = 0;
    // The interface's serial string, at most maxUnits UTF-16 units; false when it cannot be read.
    virtual bool GetSerial(std::u16string* serial, std::size_t maxUnits) = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Interface paths in the platform's order.
    virtual std::vector<std::string> Enumerate() = 0;
    // Opens exclusively: null when the interface is open already (here or elsewhere) or gone.
    virtual std::unique_ptr<HidPort> Open(const std::string& path, bool writable) = 0;
};

// VEX_HID_BACKEND=sim selects the simulated instrument bus, anything else the Linux hidraw nodes.
HidBackend& SelectedBackend();

}  // namespace vexhid
