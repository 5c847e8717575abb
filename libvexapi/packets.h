// The 65-byte command report, its framing over several reports, and the pause between reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexapi {

class cTarselDevice;

class Packet {
public:
    Packet();
    virtual ~Packet() = default;
    virtual bool Receive(cTarselDevice& device);

    void SetCommand(std::uint8_t command) { report_[1] = command; }
    void SetKind(std::uint8_t kind) { report_[2] = kind; }
    void SetSequence(std::uint16_t sequence);
    std::uint16_t Sequence() const { return static_cast<std::uint16_t>((report_[3] << 8) | report_[4]); }
    std::uint8_t* Payload() { return report_ + 5; }
    const std::uint8_t* Payload() const { return report_ + 5; }
    std::uint8_t* Bytes() { return report_; }
    const std::uint8_t* Bytes() const { return report_; }

protected:
    std::uint8_t report_[65];
};

class CmdPacket : public Packet {
public:
    CmdPacket(std::uint8_t command, std::uint8_t kind, std::uint16_t sequence);
    bool SetPayload(const void* data, std::size_t n);
    bool Send(cTarselDevice& device) const;
};

class ResPacket : public Packet {
public:
    ResPacket();
    bool Receive(cTarselDevice& device) override;
    std::uint8_t Status() const { return report_[1]; }
    std::uint8_t Kind() const { return report_[2]; }
    bool IsLast() const { return Kind() == 3 || Kind() == 4; }
    bool CopyPayload(void* out, std::size_t n) const;
};

using ResponseList = std::vector<ResPacket>;

bool SendCommandData(std::uint8_t command, const std::uint8_t* data, std::size_t length, cTarselDevice& device);
// One response sequence: a single report, or a first report, middle ones and a last one, numbered 0, 1, 2, ...
// A report out of that order (repeated, skipped, or from another sequence) fails the receive.
bool ReceiveResponses(ResponseList* list, cTarselDevice& device);
// Reports a reply of `length` bytes takes (a reply always takes at least one).
constexpr std::size_t ReportsFor(std::size_t length) { return length <= 60 ? 1 : (length + 59) / 60; }
bool JoinResponsePayloads(const ResponseList* list, std::uint8_t* buffer, std::size_t length);

// The largest reply of the instrument (the factory block with its header) takes 565 reports; a sequence
// longer than that is broken.
constexpr std::size_t kMaxResponseReports = 565;
constexpr int kCommandTimeoutMs = 5000;

// Every pause and clock read of the protocol goes through here, so tests can see where pauses fall.
using PauseFunction = void (*)(int ms);
void Pause(int ms);
PauseFunction SetPauseFunction(PauseFunction function);  // returns the previous one; null restores the real one
std::uint64_t ClockMs();
using ClockFunction = std::uint64_t (*)();
ClockFunction SetClockFunction(ClockFunction function);  // returns the previous one; null restores the real one

}  // namespace vexapi
