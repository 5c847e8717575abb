// The simulated Lumet bus behind the hid seam: instruments, decoys, the command table that answers
// requests, faults and the wire log. Commands are kept in one table so that more can be added.
#pragma once

#include "hid_backend.h"
#include "vexhid_sim.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vexhid::sim {

using Report = std::array<std::uint8_t, 65>;

struct Interface {
    int instrument = -1;  // -1: decoy
    bool data = false;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    int inputLength = 0;
    int outputLength = 0;
    std::u16string serial;
    bool open = false;
    std::deque<Report> queue;
    bool failNextRead = false;
    bool timeoutNextRead = false;
};

struct Instrument {
    int commandInterface = -1;
    int dataInterface = -1;
    std::uint8_t firmware[12] = {};
    std::vector<std::uint8_t> blocks[4];  // wire bytes of blocks 0, 1 and 3 (2 answers zeros)
    std::vector<std::vector<std::uint8_t>> stored;  // 1704-byte wire records, number = index + 1
    int storedCountOverride = -1;
    std::map<int, std::vector<std::uint8_t>> spectral[2];  // 0x14 targets, 0x15 user calibrations (1708 bytes)
    std::map<int, std::vector<std::uint8_t>> ranks;        // 208 bytes each
    std::map<int, int> rankPresenceOverride;
    std::map<int, int> settings;  // command -> value
    int remoteMode = 0;
    int rawMode = 2;
    int serialFails = 0;
    // Measuring: what the instrument sees and how long each step takes, in polls.
    std::vector<float> light;  // 421 values, 360-780 nm at 1 nm
    int startPolls = 0, measurePolls = 0, calibrationPolls = 0, rawPolls = 0;
    int calibrationStatus = 1;
    int measPhase = 0;  // 0 idle, 1 starting, 2 measuring, 3 done
    int measCounter = 0;
    int integration = 0;
    bool calibrating = false;
    int calibrationCounter = 0;
    bool rawBusy = false;
    int rawCounter = 0;
    std::vector<float> lastRaw;  // 132 values of the last raw reading
    struct Scripted {
        int header;
        std::vector<float> values;
    };
    std::deque<Scripted> scripts;                  // next data sets or raw readings
    std::deque<std::pair<int, int>> measureScript;  // next {status, ready} answers of 0x11 operation 1
    std::deque<int> rawReadyScript;                 // next ready answers of 0xA2
    std::uint8_t manualParams[60] = {};
    std::uint8_t buttons[8] = {};
    std::map<int, std::vector<std::uint8_t>> payloads;  // settings kept as the payload that wrote them
    std::map<int, std::map<int, int>> service;          // command -> index -> value
    std::vector<std::uint8_t> bulk;                     // 8008 bytes after the header
    std::vector<Report> pending;  // a multi-report request being received
    std::vector<VexSimFault> faults;
    VexSimFault currentFault{};  // the fault armed for the request being received
    bool haveFault = false;
};

struct Request {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> data;  // the joined payloads
    int reports = 1;
};

struct Reply {
    std::uint8_t status = 1;
    std::vector<std::uint8_t> data;
    bool none = false;
};

using Handler = void (*)(Instrument&, const Request&, Reply*);

// Adds or replaces the handler of a command.
void RegisterCommand(std::uint8_t command, Handler handler);

std::uint16_t GetBe16(const std::uint8_t* p);
std::uint32_t GetBe32(const std::uint8_t* p);
void PutBe16(std::uint8_t* p, std::uint16_t v);
void PutBe32(std::uint8_t* p, std::uint32_t v);
void PutBeFloat(std::uint8_t* p, float v);

std::unique_ptr<HidBackend> MakeSimBackend();

Instrument* InstrumentAt(int index);
void QueueDataReport(Instrument& instrument, const Report& report);
void RegisterMeasurementCommands(std::map<std::uint8_t, Handler>& commands);
void InitMeasuring(Instrument& instrument);
// The 132 values the instrument reads from its light source at integration value t.
std::vector<float> SimulatedReading(const Instrument& instrument, int t);

}  // namespace vexhid::sim
