// The measuring side of the simulated Lumet: measurements, calibration, raw readings, the manual
// parameters, the service commands and the multi-byte settings. Progress is counted in polls; nothing
// here looks at the clock.
#include "sim_bus.h"

#include "libvexapi/lumet_protocol.h"
#include "sim_defaults.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexhid::sim {

namespace {

float WireFloat(const std::vector<std::uint8_t>& block, std::size_t offset)
{
    const std::uint32_t bits = GetBe32(&block[offset]);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

void PutWireFloat(std::vector<std::uint8_t>& block, std::size_t offset, float v) { PutBeFloat(&block[offset], v); }

// Factory-block offsets (the device record's minus the 56-byte info block).
constexpr std::size_t kNominalWavelength = 44;
constexpr std::size_t kReferenceTime = 560;
constexpr std::size_t kSensitivity = 568;
// Calibration-block offsets.
constexpr std::size_t kDarkTemperature = 8;
constexpr std::size_t kDarkRate = 20;
constexpr std::size_t kDarkOffset = 1556;

float LightAt(const std::vector<float>& light, float nm)
{
    const float x = nm - 360.0f;
    if (x <= 0.0f)
        return light.front();
    if (x >= 420.0f)
        return light.back();
    const int k = static_cast<int>(x);
    const float f = x - static_cast<float>(k);
    return light[static_cast<std::size_t>(k)] * (1.0f - f) + light[static_cast<std::size_t>(k + 1)] * f;
}

Instrument::Scripted NextSet(Instrument& ins, int t)
{
    if (!ins.scripts.empty()) {
        Instrument::Scripted s = ins.scripts.front();
        ins.scripts.pop_front();
        return s;
    }
    return {t, SimulatedReading(ins, t)};
}

// A spectral data set on the data interface: the header, then 132 floats, fifteen 32-bit values a report.
void QueueDataSet(Instrument& ins, const Instrument::Scripted& set)
{
    std::vector<std::uint8_t> bytes(4 + 4 * 132, 0);
    PutBe32(bytes.data(), static_cast<std::uint32_t>(set.header));
    for (std::size_t i = 0; i < 132 && i < set.values.size(); ++i)
        PutBeFloat(&bytes[4 + 4 * i], set.values[i]);
    const std::size_t count = (bytes.size() + 59) / 60;
    for (std::size_t r = 0; r < count; ++r) {
        Report report{};
        report[1] = lumet::kSpectralSampleFormat;
        report[2] = r == 0 ? lumet::kKindFirst : (r + 1 == count ? lumet::kKindLast : lumet::kKindMiddle);
        PutBe16(&report[3], static_cast<std::uint16_t>(r));
        const std::size_t from = r * 60;
        std::memcpy(&report[5], bytes.data() + from, std::min<std::size_t>(60, bytes.size() - from));
        QueueDataReport(ins, report);
    }
}

int ManualParam1(const Instrument& ins) { return static_cast<int>(GetBe32(ins.manualParams + 16)); }
int ManualParam2(const Instrument& ins) { return ins.manualParams[8]; }

void MeasureCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    switch (rq.data[0]) {
    case 0:
        ins.measPhase = 1;
        ins.measCounter = ins.startPolls;
        ins.integration = static_cast<int>(GetBe32(&ins.blocks[1][kReferenceTime]));
        break;
    case 1: {
        int status = 0;
        int ready = 0;
        if (!ins.measureScript.empty()) {
            status = ins.measureScript.front().first;
            ready = ins.measureScript.front().second;
            ins.measureScript.pop_front();
        } else if (ins.measPhase == 1) {
            status = 4;
            if (ins.measCounter > 0) {
                --ins.measCounter;
            } else {
                ready = ins.integration;
                ins.measPhase = 2;
                ins.measCounter = ins.measurePolls;
            }
        } else if (ins.measPhase == 2) {
            ready = ins.integration;
            if (ins.measCounter > 0) {
                --ins.measCounter;
                status = 4;
            } else {
                ins.measPhase = 3;
                status = 3;
            }
        } else if (ins.measPhase == 3) {
            status = 3;
            ready = ins.integration;
        }
        rp->data.assign(8, 0);
        rp->data[1] = static_cast<std::uint8_t>(status);
        PutBe32(&rp->data[4], static_cast<std::uint32_t>(ready));
        break;
    }
    case 2: ins.measPhase = 0; break;
    case 3:
        QueueDataSet(ins, NextSet(ins, ins.integration));
        ins.measPhase = 0;
        break;
    case 4:
        ins.measPhase = 2;
        ins.measCounter = ins.measurePolls;
        ins.integration = ManualParam1(ins) * ManualParam2(ins);
        break;
    default: rp->status = lumet::kStatusRefused;
    }
}

void CalibrationCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    switch (rq.data[0]) {
    case 0:
        ins.calibrating = true;
        ins.calibrationCounter = ins.calibrationPolls;
        break;
    case 1:
        rp->data.assign(4, 0);
        rp->data[2] = static_cast<std::uint8_t>(ins.calibrationStatus);
        if (ins.calibrating && ins.calibrationCounter > 0) {
            --ins.calibrationCounter;
            rp->data[1] = 4;
        } else {
            ins.calibrating = false;
            rp->data[1] = 3;
        }
        break;
    case 3: {
        const int t = static_cast<int>(GetBe32(&ins.blocks[1][kReferenceTime]));
        QueueDataSet(ins, NextSet(ins, t));
        // After the last set the instrument has a new dark reference.
        if (rq.data[3] == 3)
            PutWireFloat(ins.blocks[3], kDarkTemperature, WireFloat(ins.blocks[3], kDarkTemperature) + 1.0f);
        break;
    }
    default: rp->status = lumet::kStatusRefused;
    }
}

void ManualParamsCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    if (rq.data[0] == 1) {
        std::memcpy(ins.manualParams, rq.data.data(), 60);
        ins.manualParams[0] = 0;
    } else {
        rp->data.assign(ins.manualParams, ins.manualParams + 60);
    }
}

void RawMeasurementCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    if (rq.data[0] == 2) {  // ready query
        int ready = 1;
        if (!ins.rawReadyScript.empty()) {
            ready = ins.rawReadyScript.front();
            ins.rawReadyScript.pop_front();
        } else if (ins.rawBusy && ins.rawCounter > 0) {
            --ins.rawCounter;
            ready = 2;
        } else {
            ins.rawBusy = false;
        }
        rp->data = {static_cast<std::uint8_t>(ready)};
        return;
    }
    ins.rawMode = rq.data[1];
    const Instrument::Scripted set = NextSet(ins, ManualParam1(ins));
    ins.lastRaw = set.values;
    ins.rawBusy = true;
    ins.rawCounter = ins.rawPolls;
}

void RawValuesCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    const int first = static_cast<int>(GetBe32(&rq.data[0]));
    const int held = static_cast<int>(ins.lastRaw.size());
    const int count = first >= 0 && first < held ? held - first : 0;
    const bool wide = lumet::RawModeIs32Bit(ins.rawMode);
    rp->data.assign(lumet::kRawValuesHeaderSize, 0);
    rp->data[0] = wide ? lumet::kSampleFormat32 : lumet::kSampleFormat16;
    // Service value 0 makes the header count other values than follow it.
    const auto& stated = ins.service[lumet::kCmdRawValues];
    PutBe16(&rp->data[2], static_cast<std::uint16_t>(stated.count(0) ? stated.at(0) : count));
    for (int i = 0; i < count; ++i) {
        const float v = ins.lastRaw[static_cast<std::size_t>(first + i)];
        if (wide) {
            rp->data.resize(rp->data.size() + 4);
            PutBeFloat(&rp->data[rp->data.size() - 4], v);
        } else {
            // Counts of 14 bits, left-aligned in 16.
            const long counts = std::lround(std::clamp(v, 0.0f, 16383.0f));
            rp->data.resize(rp->data.size() + 2);
            PutBe16(&rp->data[rp->data.size() - 2], static_cast<std::uint16_t>(counts << 2));
        }
    }
}

// Settings of several bytes: kept as the payload that wrote them, answered back at the same places.
int PayloadKey(const Request& rq)
{
    if (rq.command == 0x35)
        return rq.command << 8 | rq.data[1];
    if (rq.command == 0x36)
        return rq.command << 8 | rq.data[1];
    return rq.command;
}

void PayloadSettingCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    if (rq.data[0] == 1) {
        std::vector<std::uint8_t> kept(rq.data.begin(), rq.data.begin() + 60);
        kept[0] = 0;
        // A periodic-calibration date write always names date 0.
        ins.payloads[PayloadKey(rq)] = kept;
        return;
    }
    if (rq.data[0] != 0) {
        rp->status = lumet::kStatusRefused;
        return;
    }
    const auto it = ins.payloads.find(PayloadKey(rq));
    rp->data = it != ins.payloads.end() ? it->second : std::vector<std::uint8_t>(60, 0);
    if (rq.command == 0x35 || rq.command == 0x36)
        rp->data[1] = rq.data[1];
    // A list item may be scripted to answer a value no write could leave.
    const auto& scripted = ins.service[0x35];
    if (rq.command == 0x35 && scripted.count(rq.data[1]))
        rp->data[2] = static_cast<std::uint8_t>(scripted.at(rq.data[1]));
}

void ButtonCommand(Instrument& ins, const Request&, Reply* rp) { rp->data.assign(ins.buttons, ins.buttons + 8); }

void StatusOnlyCommand(Instrument&, const Request&, Reply*) {}

void TriValueCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    auto& v = ins.service[0xA4];
    if (rq.data[0] == 1) {
        for (int i = 0; i < 3; ++i)
            v[i] = rq.data[static_cast<std::size_t>(1 + i)];
        return;
    }
    rp->data = {0, static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1]), static_cast<std::uint8_t>(v[2])};
}

void DateCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    auto& v = ins.service[0xB6];
    if (rq.data[0] == 1) {
        v[0] = GetBe16(&rq.data[4]);
        for (int i = 1; i < 6; ++i)
            v[i] = rq.data[static_cast<std::size_t>(5 + i)];
        return;
    }
    rp->data.assign(12, 0);
    PutBe16(&rp->data[4], static_cast<std::uint16_t>(v[0]));
    for (int i = 1; i < 6; ++i)
        rp->data[static_cast<std::size_t>(5 + i)] = static_cast<std::uint8_t>(v[i]);
}

void FlagWordCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    auto& v = ins.service[0xC0];
    const bool write = rq.data[0] == 1;
    if (rq.data[1] == 4) {
        if (write)
            v[0] = rq.data[3];
        else
            rp->data = {0, 4, 0, static_cast<std::uint8_t>(v[0])};
    } else if (rq.data[1] == 2) {
        if (write) {
            v[1] = GetBe16(&rq.data[8]);
        } else {
            rp->data.assign(10, 0);
            PutBe16(&rp->data[8], static_cast<std::uint16_t>(v[1]));
        }
    } else {
        rp->status = lumet::kStatusRefused;
    }
}

void ModeWordCommand(Instrument& ins, const Request&, Reply* rp)
{
    auto& v = ins.service[0xC1];
    rp->data.assign(6, 0);
    rp->data[0] = static_cast<std::uint8_t>(v.count(0) ? v[0] : 1);
    PutBe16(&rp->data[4], static_cast<std::uint16_t>(v[1]));
}

void FlagTableCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    auto& v = ins.service[0xD8];
    const int index = rq.data[1];
    if (index < 1 || index > 240) {
        rp->status = lumet::kStatusRefused;
        return;
    }
    if (rq.data[0] == 1)
        v[index] = rq.data[2];
    else
        rp->data = {0, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(v[index])};
}

void BulkCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    constexpr std::size_t kBody = 8008;
    if (rq.data[0] == 1) {
        if (rq.data.size() < lumet::kBlockHeaderSize + kBody) {
            rp->status = lumet::kStatusRefused;
            return;
        }
        ins.bulk.assign(rq.data.begin() + lumet::kBlockHeaderSize, rq.data.begin() + lumet::kBlockHeaderSize + kBody);
        return;
    }
    // Service value 0 shortens the reply (a broken record); value 1 makes its header claim another length.
    const auto& v = ins.service[lumet::kCmdBulk];
    const std::size_t length = v.count(0) ? static_cast<std::size_t>(v.at(0)) : kBody;
    const std::size_t stated = v.count(1) ? static_cast<std::size_t>(v.at(1)) : length;
    std::vector<std::uint8_t> body = ins.bulk;
    body.resize(length, 0);
    rp->data = {0, 0, 0, 0};
    PutBe16(&rp->data[2], static_cast<std::uint16_t>(stated));
    rp->data.insert(rp->data.end(), body.begin(), body.end());
}

}  // namespace

std::vector<float> SimulatedReading(const Instrument& ins, int t)
{
    std::vector<float> raw(132, 0.0f);
    const auto& factory = ins.blocks[1];
    const auto& calibration = ins.blocks[3];
    if (factory.size() < 1080 || calibration.size() < 2068 || ins.light.size() != 421)
        return raw;
    const double ratio = static_cast<double>(t) / static_cast<double>(static_cast<std::int32_t>(GetBe32(&factory[kReferenceTime])));
    for (std::size_t i = 0; i < 128; ++i) {
        const float nm = WireFloat(factory, kNominalWavelength + 4 * i);
        const float s = WireFloat(factory, kSensitivity + 4 * i);
        const double signal = s != 0.0f ? LightAt(ins.light, nm) / s : 0.0;
        raw[i] = static_cast<float>(signal * ratio + WireFloat(calibration, kDarkOffset + 4 * i) +
                                    WireFloat(calibration, kDarkRate + 4 * i) * ratio);
    }
    raw[128] = WireFloat(calibration, kDarkTemperature);
    return raw;
}

void InitMeasuring(Instrument& ins)
{
    ins.light = DefaultLightSource();
    ins.bulk.assign(8008, 0);
    ins.service[0xC1][0] = 1;
}

void RegisterMeasurementCommands(std::map<std::uint8_t, Handler>& commands)
{
    commands[0x10] = CalibrationCommand;
    commands[0x11] = MeasureCommand;
    commands[0xA0] = ManualParamsCommand;
    commands[lumet::kCmdRawMeasurement] = RawMeasurementCommand;
    commands[lumet::kCmdRawValues] = RawValuesCommand;
    for (std::uint8_t c : {0x25, 0x26, 0x27, 0xD5, 0x35, 0x36})
        commands[c] = PayloadSettingCommand;
    commands[0xD0] = ButtonCommand;
    commands[0xB4] = StatusOnlyCommand;
    commands[0xB5] = StatusOnlyCommand;
    commands[0xD3] = StatusOnlyCommand;
    commands[0xA4] = TriValueCommand;
    commands[0xB6] = DateCommand;
    commands[0xC0] = FlagWordCommand;
    commands[0xC1] = ModeWordCommand;
    commands[0xD8] = FlagTableCommand;
    commands[lumet::kCmdBulk] = BulkCommand;
}

}  // namespace vexhid::sim

using namespace vexhid::sim;

extern "C" {

void VexSim_DefaultLightSource(float* spectrum)
{
    if (!spectrum)
        return;
    const std::vector<float> light = DefaultLightSource();
    std::copy(light.begin(), light.end(), spectrum);
}

void VexSim_SetLightSource(int instrument, const float* spectrum)
{
    if (Instrument* ins = InstrumentAt(instrument); ins && spectrum)
        ins->light.assign(spectrum, spectrum + 421);
}

void VexSim_SetPolls(int instrument, int startPolls, int measurePolls, int calibrationPolls, int rawPolls)
{
    if (Instrument* ins = InstrumentAt(instrument)) {
        ins->startPolls = startPolls;
        ins->measurePolls = measurePolls;
        ins->calibrationPolls = calibrationPolls;
        ins->rawPolls = rawPolls;
    }
}

void VexSim_SetCalibrationStatus(int instrument, int status)
{
    if (Instrument* ins = InstrumentAt(instrument))
        ins->calibrationStatus = status;
}

void VexSim_ScriptDataSet(int instrument, int header, const float* values)
{
    Instrument* ins = InstrumentAt(instrument);
    if (!ins || !values)
        return;
    ins->scripts.push_back({header, std::vector<float>(values, values + 132)});
}

void VexSim_ScriptMeasureStatus(int instrument, int status, int ready)
{
    if (Instrument* ins = InstrumentAt(instrument))
        ins->measureScript.emplace_back(status, ready);
}

void VexSim_ScriptRawReady(int instrument, int value)
{
    if (Instrument* ins = InstrumentAt(instrument))
        ins->rawReadyScript.push_back(value);
}

void VexSim_SetButtons(int instrument, const unsigned char* bytes)
{
    if (Instrument* ins = InstrumentAt(instrument); ins && bytes)
        std::memcpy(ins->buttons, bytes, 8);
}

void VexSim_SetFirmware(int instrument, const unsigned char* firmware)
{
    if (Instrument* ins = InstrumentAt(instrument); ins && firmware)
        std::memcpy(ins->firmware, firmware, 12);
}

void VexSim_SetServiceValue(int instrument, int command, int index, int value)
{
    if (Instrument* ins = InstrumentAt(instrument))
        ins->service[command][index] = value;
}

int VexSim_GetServiceValue(int instrument, int command, int index)
{
    Instrument* ins = InstrumentAt(instrument);
    return ins ? ins->service[command][index] : -1;
}

int VexSim_ReadingFor(int instrument, int integration, float* values)
{
    Instrument* ins = InstrumentAt(instrument);
    if (!ins || !values)
        return -1;
    const std::vector<float> raw = SimulatedReading(*ins, integration);
    std::copy(raw.begin(), raw.end(), values);
    return 0;
}

int VexSim_ManualParams(int instrument, unsigned char* payload60)
{
    Instrument* ins = InstrumentAt(instrument);
    if (!ins || !payload60)
        return -1;
    std::memcpy(payload60, ins->manualParams, 60);
    return 0;
}

}  // extern "C"
