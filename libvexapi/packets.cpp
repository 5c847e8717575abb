#include "packets.h"

#include "libzucom.h"
#include "tarsel_device.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace vexapi {

namespace {

void RealPause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

PauseFunction g_pause = RealPause;

std::uint64_t RealClock()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

ClockFunction g_clock = RealClock;

}  // namespace

std::uint64_t ClockMs() { return g_clock(); }

ClockFunction SetClockFunction(ClockFunction function)
{
    ClockFunction previous = g_clock;
    g_clock = function ? function : RealClock;
    return previous;
}

void Pause(int ms) { g_pause(ms); }

PauseFunction SetPauseFunction(PauseFunction function)
{
    PauseFunction previous = g_pause;
    g_pause = function ? function : RealPause;
    return previous;
}


Packet::Packet() { std::memset(report_, 0, sizeof report_); }

bool Packet::Receive(cTarselDevice&) { return false; }

void Packet::SetSequence(std::uint16_t sequence)
{
    report_[3] = static_cast<std::uint8_t>(sequence >> 8);
    report_[4] = static_cast<std::uint8_t>(sequence);
}

CmdPacket::CmdPacket(std::uint8_t command, std::uint8_t kind, std::uint16_t sequence)
{
    SetCommand(command);
    SetKind(kind);
    SetSequence(sequence);
}

bool CmdPacket::SetPayload(const void* data, std::size_t n)
{
    if (!data || n == 0 || n > 60)
        return false;
    std::memcpy(report_ + 5, data, n);
    return true;
}

bool CmdPacket::Send(cTarselDevice& device) const
{
    unsigned written = 0;
    return device.LibZUCom()->WriteCmd(device.TransportHandle(), report_, &written, kCommandTimeoutMs) == 0;
}

ResPacket::ResPacket() = default;

bool ResPacket::Receive(cTarselDevice& device)
{
    unsigned count = 0;
    return device.LibZUCom()->ReadCmd(device.TransportHandle(), report_, &count, kCommandTimeoutMs) == 0;
}

bool ResPacket::CopyPayload(void* out, std::size_t n) const
{
    if (!out || n == 0 || n > 60)
        return false;
    std::memcpy(out, report_ + 5, n);
    return true;
}

bool SendCommandData(std::uint8_t command, const std::uint8_t* data, std::size_t length, cTarselDevice& device)
{
    if (!data)
        return false;
    if (length <= 60) {
        CmdPacket single(command, 4, 0);
        if (length > 0)
            single.SetPayload(data, length);
        return single.Send(device);
    }
    std::size_t sent = 0;
    std::uint16_t sequence = 0;
    while (sent < length) {
        const std::size_t left = length - sent;
        const std::uint8_t kind = sequence == 0 ? 1 : (left > 60 ? 2 : 3);
        const std::size_t take = left > 60 ? 60 : left;
        CmdPacket packet(command, kind, sequence);
        packet.SetPayload(data + sent, take);
        Pause(1);
        if (!packet.Send(device))
            return false;
        sent += take;
        ++sequence;
    }
    return true;
}

bool ReceiveResponses(ResponseList* list, cTarselDevice& device)
{
    if (!list)
        return false;
    list->clear();
    ResPacket first;
    if (!first.Receive(device))
        return false;
    if (first.Kind() < 1 || first.Kind() > 4 || first.Sequence() != 0)
        return false;
    list->push_back(first);
    while (!list->back().IsLast()) {
        if (list->size() >= kMaxResponseReports)
            return false;
        ResPacket next;
        if (!next.Receive(device))
            return false;
        // Joined as they come, a repeated or missing report would shift every later byte.
        const bool continues = next.Kind() == 2 || next.Kind() == 3;
        if (!continues || next.Sequence() != list->size())
            return false;
        list->push_back(next);
    }
    return true;
}

bool JoinResponsePayloads(const ResponseList* list, std::uint8_t* buffer, std::size_t length)
{
    if (!list || !buffer)
        return false;
    std::memset(buffer, 0, length);
    std::size_t at = 0;
    for (const ResPacket& r : *list) {
        if (at >= length)
            break;
        const std::size_t take = std::min<std::size_t>(60, length - at);
        std::memcpy(buffer + at, r.Payload(), take);
        at += take;
    }
    return true;
}

}  // namespace vexapi
