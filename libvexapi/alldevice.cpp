#include "alldevice.h"

#include "tarsel_factory.h"

#include <algorithm>
#include <cstring>

namespace vexapi {

namespace {

struct AllDeviceTable {
    cTarselDevice* device[kAllDeviceMax];
    int status[kAllDeviceMax];
    unsigned char done[kAllDeviceMax];
    bool running;
    int count;
};

AllDeviceTable g_table;

void ResetTable() { std::memset(&g_table, 0, sizeof g_table); }

int RemoteCount()
{
    cTarselFactory& f = cTarselFactory::Instance();
    int n = 0;
    for (int i = 0; i < f.GetDeviceCount(); ++i)
        n += f.GetDevice(i)->IsRemote() ? 1 : 0;
    return n;
}

void StopEveryDevice()
{
    cTarselFactory& f = cTarselFactory::Instance();
    for (int i = 0; i < f.GetDeviceCount(); ++i)
        f.GetDevice(i)->StopMeasurement();
}

// Entries keep device addresses; a device closed since then is no longer one.
cTarselDevice* Live(int entry) { return cTarselFactory::Instance().Find(g_table.device[entry]); }

// Table reset, count and remote checks shared by both starts; 0 or the caller's detail code.
int Enter(int none, int tooMany, int notRemote)
{
    ResetTable();
    cTarselFactory& f = cTarselFactory::Instance();
    const int count = f.GetDeviceCount();
    if (count == 0)
        return none;
    if (count > kAllDeviceMax)
        return tooMany;
    if (RemoteCount() != count)
        return notRemote;
    g_table.count = count;
    for (int i = 0; i < count; ++i)
        g_table.device[i] = f.GetDevice(i);
    return 0;
}

int CheckCalibration(cTarselDevice& d, int notRemote, int failed, int badStatus)
{
    d.ClearRawData();
    int status = 0;
    const int code = d.GetCalibrateStatus(&status);
    if (code == 1102)
        return notRemote;
    if (code != 0)
        return failed;
    if (status != 1 && status != 2)
        return badStatus;
    return 0;
}

int Fail(int code)
{
    StopEveryDevice();
    ResetTable();
    return code;
}

}  // namespace

bool AllDeviceRunning() { return g_table.running; }

int DoMeasurementAll(int* value)
{
    if (!value)
        return 10809;
    if (const int code = Enter(10801, 10808, 10807))
        return code;
    for (int i = 0; i < g_table.count; ++i) {
        if (const int code = CheckCalibration(*g_table.device[i], 10803, 10804, 10802))
            return code;
    }
    for (int i = 0; i < g_table.count; ++i) {
        if (g_table.device[i]->PlainStartAll() != 0)
            return Fail(10805);
    }
    int largest = 0;
    for (int i = 0; i < g_table.count; ++i) {
        int ready = 0;
        if (g_table.device[i]->ReadyWaitAll(&ready) != 0)
            return Fail(10806);
        largest = std::max(largest, ready);
    }
    g_table.running = true;
    *value = largest;
    return 0;
}

int DoManualMeasurementAll(int key1, int key2)
{
    const int pairCode = LookupManualPair(key1, key2, nullptr);
    if (pairCode != 0)
        return 10800 + pairCode;
    if (const int code = Enter(10821, 10832, 10827))
        return code;
    for (int i = 0; i < g_table.count; ++i) {
        if (!g_table.device[i]->FirmwareAtLeast(1, 12, 0))
            return 10826;
    }
    for (int i = 0; i < g_table.count; ++i) {
        if (const int code = CheckCalibration(*g_table.device[i], 10823, 10824, 10822))
            return code;
    }
    VexManualParam params{};
    params.params[0] = key1 == 50000 ? 1208 : 0;
    params.params[1] = key1;
    params.params[2] = key2;
    params.params[7] = 100;
    for (int i = 0; i < g_table.count; ++i) {
        cTarselDevice& d = *g_table.device[i];
        const int code = d.WriteManualParams(params);
        if (code != 0) {
            d.PushError(code);
            return Fail(10831);
        }
        d.RememberManualPair(key1, key2);
    }
    for (int i = 0; i < g_table.count; ++i) {
        if (g_table.device[i]->ManualStartAll() != 0)
            return Fail(10825);
    }
    g_table.running = true;
    return 0;
}

int PollingMeasureAll(int* state)
{
    if (!state)
        return 10901;
    if (!g_table.running) {
        *state = 0;
        return 0;
    }
    for (int i = 0; i < g_table.count; ++i) {
        if (g_table.done[i])
            continue;
        cTarselDevice* d = Live(i);
        if (!d) {
            g_table.status[i] = 10904;
            g_table.done[i] = 1;
            continue;
        }
        int deviceState = 2;
        const int code = d->PollingMeasure(&deviceState);
        if (code == 1202)
            g_table.status[i] = 10902;
        else if (code == 1204 || code == 1206)
            g_table.status[i] = 10903;
        else if (code != 0)
            g_table.status[i] = 10904;
        if (deviceState == 1)
            break;
        if (deviceState == 0 && code == 0)
            g_table.status[i] = 10904;  // nothing running there: no data will come
        g_table.done[i] = 1;
    }
    for (int i = 0; i < g_table.count; ++i) {
        if (!g_table.done[i]) {
            *state = 1;
            return 0;
        }
    }
    *state = 2;
    g_table.running = false;
    for (int i = 0; i < g_table.count; ++i) {
        if (g_table.status[i] != 0)
            return g_table.status[i];
    }
    return 0;
}

int StopMeasurementAll()
{
    StopEveryDevice();
    ResetTable();
    return 0;
}

}  // namespace vexapi
