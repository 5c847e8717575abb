// The simulated handheld: one instrument, a queue of button states and a queue of sample sets, fed by tests or
// by a trigger file for manual runs.

#include "PellSim.h"

#include "simprint.h"
#include "vexcolor.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kHandle = 1;
constexpr int kNoDevice = 1;
constexpr int kBadHandle = 2;
constexpr int kBadArgument = 3;
constexpr int kUnplugged = 4;

struct Sim {
    std::mutex m;
    bool present = true;
    bool unplugged = false;
    bool open = false;
    int modelCode = 200;
    int serial = 1234567;
    std::map<int, int> properties;
    std::deque<std::array<int, 2>> buttons;
    std::deque<std::vector<simprint::Inks>> sampleSets;
    std::vector<simprint::Inks> samples;
    bool ownIlluminant = false;
    float illuminant[PELL_ILLUMINANT_SIZE] = {};
    std::map<std::string, std::pair<int, int>> failNext; // calls to let pass, then the code
    std::vector<std::string> log;
    std::string logText;

    Sim() { Defaults(); }

    void Defaults()
    {
        const char* absent = std::getenv("PELL_SIM_ABSENT");
        present = !(absent && std::string(absent) == "1");
        unplugged = open = false;
        modelCode = 200;
        serial = 1234567;
        properties.clear();
        buttons.clear();
        sampleSets.clear();
        samples.clear();
        ownIlluminant = false;
        failNext.clear();
        log.clear();
    }

    int Enter(const char* name, const std::string& args)
    {
        log.push_back(std::string(name) + "(" + args + ")");
        const auto it = failNext.find(name);
        if (it == failNext.end())
            return 0;
        if (it->second.first > 0) {
            --it->second.first;
            return 0;
        }
        const int code = it->second.second;
        failNext.erase(it);
        return code;
    }

    int Check(int handle) const
    {
        if (handle != kHandle || !open)
            return kBadHandle;
        return unplugged ? kUnplugged : 0;
    }

    // Manual runs: "spot [c m y k]" (percent) or "strip n" in the trigger file, read once and deleted.
    void ReadTrigger()
    {
        std::string path;
        if (const char* env = std::getenv("PELL_SIM_TRIGGER"); env && *env) {
            path = env;
        } else {
            const char* xdg = std::getenv("XDG_DATA_HOME");
            const char* home = std::getenv("HOME");
            const std::string base = xdg && *xdg ? xdg : std::string(home ? home : ".") + "/.local/share";
            path = base + "/VELMAR OSTRAND/Varemo/HandheldTrigger.txt";
        }
        std::ifstream in(path);
        if (!in)
            return;
        std::string line;
        std::getline(in, line);
        in.close();
        std::remove(path.c_str());
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "spot") {
            float v[4] = {0, 0, 0, 0};
            int n = 0;
            while (n < 4 && words >> v[n])
                ++n;
            std::string extra;
            if ((n != 0 && n != 4) || (words.clear(), words >> extra))
                return;
            for (float x : v)
                if (x < 0 || x > 100)
                    return;
            buttons.push_back({0, 1});
            buttons.push_back({0, 0});
            sampleSets.push_back({simprint::Inks{v[0] / 100, v[1] / 100, v[2] / 100, v[3] / 100}});
        } else if (command == "strip") {
            int n = 0;
            std::string extra;
            if (!(words >> n) || n < 1 || n > 100 || (words >> extra))
                return;
            std::vector<simprint::Inks> set(1);
            for (int i = 0; i < n; ++i)
                set.push_back({0, 0, 0, n > 1 ? static_cast<float>(i) / (n - 1) : 0.5f});
            set.emplace_back();
            buttons.push_back({1, 0});
            sampleSets.push_back(set);
        }
    }
};

Sim& S()
{
    static Sim sim;
    return sim;
}

std::string Args(std::initializer_list<long long> values)
{
    std::string s;
    for (long long v : values)
        s += (s.empty() ? "" : ",") + std::to_string(v);
    return s;
}

#define PELL_ENTER(name, args)                      \
    Sim& sim = S();                                 \
    std::lock_guard<std::mutex> lk(sim.m);          \
    if (const int injected = sim.Enter(name, args)) \
        return injected;

} // namespace

extern "C" {

int ZUEnumDevice(int* handle)
{
    PELL_ENTER("ZUEnumDevice", "")
    if (!handle)
        return kBadArgument;
    if (!sim.present || sim.unplugged)
        return kNoDevice;
    sim.open = true;
    *handle = kHandle;
    return 0;
}

int ZUSetProperty(int handle, int property, const int* value)
{
    PELL_ENTER("ZUSetProperty", Args({handle, property, value ? *value : 0}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!value || property < 0 || property > 8)
        return kBadArgument;
    sim.properties[property] = *value;
    return 0;
}

int ZUGetProperty(int handle, int property, int* value)
{
    PELL_ENTER("ZUGetProperty", Args({handle, property}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!value || property < 0 || property > 8)
        return kBadArgument;
    *value = sim.properties[property];
    return 0;
}

int ZUGetDevInfo(int handle, PellDeviceInfo* info)
{
    PELL_ENTER("ZUGetDevInfo", Args({handle}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!info)
        return kBadArgument;
    std::memcpy(info->maker, "Pell", 4);
    info->serial = sim.serial;
    std::snprintf(info->name, sizeof info->name, "Handheld %d", sim.modelCode);
    info->modelCode = sim.modelCode;
    return 0;
}

int ZUGetButtonStatus(int handle, int* scanComplete, int* held)
{
    PELL_ENTER("ZUGetButtonStatus", Args({handle}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!scanComplete || !held)
        return kBadArgument;
    sim.ReadTrigger();
    std::array<int, 2> state = {0, 0};
    if (!sim.buttons.empty()) {
        state = sim.buttons.front();
        sim.buttons.pop_front();
    }
    *scanComplete = state[0];
    *held = state[1];
    return 0;
}

int ZUDoMeasurement(int handle)
{
    PELL_ENTER("ZUDoMeasurement", Args({handle}))
    if (const int rc = sim.Check(handle))
        return rc;
    sim.samples.clear();
    if (!sim.sampleSets.empty()) {
        sim.samples = sim.sampleSets.front();
        sim.sampleSets.pop_front();
    }
    return 0;
}

int ZUGetNumSamples(int handle)
{
    PELL_ENTER("ZUGetNumSamples", Args({handle}))
    if (sim.Check(handle))
        return 0;
    return static_cast<int>(sim.samples.size());
}

int ZUGetPreRadianceFactor(int handle, int sample, float* block)
{
    PELL_ENTER("ZUGetPreRadianceFactor", Args({handle, sample}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!block || sample < 0 || sample >= static_cast<int>(sim.samples.size()))
        return kBadArgument;
    simprint::MakeBlock(sim.samples[static_cast<size_t>(sample)], block);
    return 0;
}

int ZUGetColor(int handle, int sample, float xyz[3])
{
    PELL_ENTER("ZUGetColor", Args({handle, sample}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!xyz || sample < 0 || sample >= static_cast<int>(sim.samples.size()))
        return kBadArgument;
    float reflectance[simprint::kBandCount];
    simprint::Reflectance(sim.samples[static_cast<size_t>(sample)], false, reflectance);
    CalColorRecord rec{};
    rec.type = 2; // XYZ, D50, 2 degree
    rec.observer = 0;
    rec.illuminant = 2;
    if (SpectrumToColor(reflectance, simprint::kBandCount, &rec) != 0)
        return kBadArgument;
    std::copy_n(rec.values, 3, xyz);
    return 0;
}

int ZUGetUserIlluminant(int handle, float values[PELL_ILLUMINANT_SIZE])
{
    PELL_ENTER("ZUGetUserIlluminant", Args({handle}))
    if (const int rc = sim.Check(handle))
        return rc;
    if (!values)
        return kBadArgument;
    if (sim.ownIlluminant) {
        std::copy_n(sim.illuminant, PELL_ILLUMINANT_SIZE, values);
        return 0;
    }
    const CalIlluminantSlot* table = nullptr;
    int count = 0;
    if (GetIlluminantTable(&table, &count) != 0 || !table)
        return kBadArgument;
    for (int i = 0; i < count; ++i) {
        if (table[i].id == 0) { // CIE A
            std::copy_n(table[i].spd, PELL_ILLUMINANT_SIZE, values);
            return 0;
        }
    }
    return kBadArgument;
}

int ZUCloseDevice(int handle)
{
    PELL_ENTER("ZUCloseDevice", Args({handle}))
    if (handle != kHandle || !sim.open)
        return kBadHandle;
    sim.open = false;
    return 0;
}

void PellSim_Reset(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.Defaults();
}

void PellSim_SetPresent(int present)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.present = present != 0;
    if (sim.present)
        sim.unplugged = false;
}

void PellSim_SetModelCode(int code)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.modelCode = code;
}

void PellSim_SetSerial(int serial)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.serial = serial;
}

void PellSim_QueueButton(int scanComplete, int held)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.buttons.push_back({scanComplete, held});
}

void PellSim_QueueSamples(const float* inks, int count)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    std::vector<simprint::Inks> set;
    for (int i = 0; inks && i < count; ++i)
        set.push_back({inks[4 * i], inks[4 * i + 1], inks[4 * i + 2], inks[4 * i + 3]});
    sim.sampleSets.push_back(set);
}

void PellSim_SetUserIlluminant(const float* values)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.ownIlluminant = values != nullptr;
    if (values)
        std::copy_n(values, PELL_ILLUMINANT_SIZE, sim.illuminant);
}

void PellSim_Unplug(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.unplugged = true;
}

void PellSim_FailNext(const char* function, int code)
{
    PellSim_FailAfter(function, 0, code);
}

void PellSim_FailAfter(const char* function, int passingCalls, int code)
{
    if (!function)
        return;
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.failNext[function] = {std::max(0, passingCalls), code};
}

const char* PellSim_CallLog(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.logText.clear();
    for (const std::string& line : sim.log)
        sim.logText += line + "\n";
    return sim.logText.c_str();
}

void PellSim_ClearCallLog(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.log.clear();
}

} // extern "C"
