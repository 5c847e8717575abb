// Small helpers over the simulator's control interface for the libvexapi tests.
#pragma once

#include "lumet_protocol.h"
#include "vexhid_sim.h"

#include <cstring>
#include <vector>

namespace simbus {

inline VexSimFault Fault(int command, int kind, int value = 0, int skip = 0, int report = 0)
{
    VexSimFault f;
    f.command = command;
    f.skip = skip;
    f.kind = kind;
    f.value = value;
    f.report = report;
    return f;
}

inline void AddFault(int instrument, int command, int kind, int value = 0, int skip = 0, int report = 0)
{
    const VexSimFault f = Fault(command, kind, value, skip, report);
    VexSim_AddFault(instrument, &f);
}

struct Entry {
    VexSimLogEntry entry;
    std::vector<unsigned char> payload;
};

inline std::vector<Entry> Log(int event = 0)
{
    std::vector<Entry> out;
    for (int i = 0; i < VexSim_LogCount(); ++i) {
        Entry e{};
        VexSim_LogEntry(i, &e.entry);
        if (event && e.entry.event != event)
            continue;
        const int n = VexSim_LogPayload(i, nullptr, 0);
        e.payload.resize(static_cast<std::size_t>(n));
        VexSim_LogPayload(i, e.payload.data(), n);
        out.push_back(e);
    }
    return out;
}

// Requests of `command` whose first payload byte is `operation` (-1: any).
inline int CountRequests(int command, int operation = -1)
{
    int n = 0;
    for (const Entry& e : Log(VEXSIM_LOG_REQUEST)) {
        if (e.entry.command == command && (operation < 0 || (!e.payload.empty() && e.payload[0] == operation)))
            ++n;
    }
    return n;
}

inline bool RemoteOffSent()
{
    for (const Entry& e : Log(VEXSIM_LOG_REQUEST)) {
        if (e.entry.command == lumet::kCmdRemoteMode && e.payload.size() >= 2 && e.payload[0] == 1 &&
            e.payload[1] == 0)
            return true;
    }
    return false;
}

// Resets the bus to one default instrument without stored measurements; returns its number.
inline int OneInstrument(const VexSimInstrument* config = nullptr)
{
    VexSim_Reset();
    return VexSim_AddInstrument(config);
}

}  // namespace simbus
