#include "vexhid.h"

#include "hid_backend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace {

using vexhid::HidPort;
using vexhid::ReadResult;

constexpr std::size_t kSerialUnits = 126;  // the platform's serial buffer
constexpr std::size_t kSerialCopyUnits = 32;

struct DeviceRecord {
    std::unique_ptr<HidPort> command;
    int commandOutputLength = 0;
    int commandInputLength = 0;
    std::unique_ptr<HidPort> data;
    int dataOutputLength = 0;
    int dataInputLength = 0;
    std::u16string serial;
};

struct OpenEntry {
    DeviceRecord* record = nullptr;
};

struct Candidate {
    std::unique_ptr<HidPort> port;
    int inputLength = 0;
    int outputLength = 0;
};

// Handles point at open-list entries, so both lists are node-based: their elements never move.
struct State {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    int value1 = 0;
    int value2 = 0;
    std::vector<Candidate> commandList;
    std::vector<Candidate> dataList;
    std::list<DeviceRecord> devices;
    std::list<OpenEntry> open;
    std::string scratchPath;
};

State& S()
{
    static State state;
    return state;
}

// The live entry behind a handle, or null; a handle is never dereferenced before it is found here.
OpenEntry* Find(ZUCOM_HANDLE handle)
{
    if (!handle)
        return nullptr;
    for (OpenEntry& e : S().open) {
        if (&e == handle)
            return e.record ? &e : nullptr;
    }
    return nullptr;
}

void CloseEntry(OpenEntry* entry)
{
    State& s = S();
    DeviceRecord* record = entry->record;
    entry->record = nullptr;
    for (auto it = s.devices.begin(); it != s.devices.end(); ++it) {
        if (&*it == record) {
            it->command.reset();
            it->data.reset();
            s.devices.erase(it);
            break;
        }
    }
    s.open.remove_if([entry](const OpenEntry& e) { return &e == entry; });
}

void CloseAll()
{
    State& s = S();
    while (!s.open.empty())
        CloseEntry(&s.open.front());
    s.commandList.clear();
    s.dataList.clear();
    s.devices.clear();
}

bool QuerySerial(HidPort& port, std::u16string* serial) { return port.GetSerial(serial, kSerialUnits); }

// Opens one interface at `path` and files it as a command or data candidate.
void OpenInterface(vexhid::HidBackend& backend, const std::string& path)
{
    State& s = S();
    std::unique_ptr<HidPort> probe = backend.Open(path, false);
    if (!probe)
        return;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    if (!probe->GetIds(&vendorId, &productId) || vendorId != s.vendorId || productId != s.productId)
        return;
    int in = 0;
    int out = 0;
    if (!probe->GetReportLengths(&in, &out))
        return;
    const bool command = out == 65 && in == 65;
    const bool data = out == 0 && (in == 65 || in == 513);
    if (!command && !data)
        return;
    probe.reset();
    Candidate c;
    c.port = backend.Open(path, command);
    if (!c.port)
        return;
    c.inputLength = in;
    c.outputLength = out;
    (command ? s.commandList : s.dataList).push_back(std::move(c));
}

DeviceRecord* Enumerate()
{
    State& s = S();
    vexhid::HidBackend& backend = vexhid::SelectedBackend();
    s.commandList.clear();
    s.dataList.clear();
    for (const std::string& path : backend.Enumerate()) {
        s.scratchPath = path;
        OpenInterface(backend, path);
    }
    s.scratchPath.clear();

    // Whatever is left in the two lists when this returns is closed with them.
    struct ClearLists {
        State& s;
        ~ClearLists()
        {
            s.commandList.clear();
            s.dataList.clear();
        }
    } clearLists{s};

    if (s.commandList.empty() || s.dataList.empty())
        return nullptr;
    std::u16string commandSerial;
    if (!QuerySerial(*s.commandList.front().port, &commandSerial))
        return nullptr;
    Candidate command = std::move(s.commandList.front());
    s.commandList.erase(s.commandList.begin());
    Candidate data;
    for (auto it = s.dataList.begin(); it != s.dataList.end(); ++it) {
        std::u16string serial;
        if (!QuerySerial(*it->port, &serial))
            return nullptr;
        if (serial == commandSerial) {
            data = std::move(*it);
            s.dataList.erase(it);
            break;
        }
    }
    if (!data.port)
        return nullptr;

    DeviceRecord record;
    if (!QuerySerial(*command.port, &record.serial))
        return nullptr;
    for (const DeviceRecord& d : s.devices) {
        if (d.serial == record.serial)
            return nullptr;
    }
    record.command = std::move(command.port);
    record.commandInputLength = command.inputLength;
    record.commandOutputLength = command.outputLength;
    record.data = std::move(data.port);
    record.dataInputLength = data.inputLength;
    record.dataOutputLength = data.outputLength;
    s.devices.push_back(std::move(record));
    return &s.devices.back();
}

}  // namespace

extern "C" {

int ZUCOM_Initialize(int vendorId, int productId, int value1, int value2)
{
    try {
        // Forgetting the records without closing them would leave their interfaces open for good.
        CloseAll();
        State& s = S();
        s.vendorId = static_cast<std::uint16_t>(vendorId);
        s.productId = static_cast<std::uint16_t>(productId);
        s.value1 = value1;
        s.value2 = value2;
    } catch (...) {
    }
    return 0;
}

int ZUCOM_EnumDevice(ZUCOM_HANDLE* handle)
{
    if (!handle)
        return 8;
    try {
        DeviceRecord* record = Enumerate();
        if (!record)
            return 7;
        std::u16string serial;
        State& s = S();
        if (!QuerySerial(*record->command, &serial)) {
            s.devices.remove_if([record](const DeviceRecord& d) { return &d == record; });
            return 7;
        }
        s.open.push_back(OpenEntry{record});
        record->command->Flush();
        record->data->Flush();
        *handle = &s.open.back();
        return 0;
    } catch (...) {
        return 7;
    }
}

int ZUCOM_CloseDevice(ZUCOM_HANDLE handle)
{
    OpenEntry* entry = Find(handle);
    if (!entry)
        return 8;
    CloseEntry(entry);
    return 0;
}

int ZUCOM_Exit(void)
{
    CloseAll();
    return 0;
}

int ZUCOM_ReadCmd(ZUCOM_HANDLE handle, unsigned char* report, unsigned int* bytesRead, int timeoutMs)
{
    OpenEntry* entry = Find(handle);
    if (!entry || !report || !bytesRead)
        return 8;
    try {
        switch (entry->record->command->Read(report, timeoutMs)) {
        case ReadResult::Ok:
            *bytesRead = 65;
            return 0;
        case ReadResult::Timeout:
            return 2;
        case ReadResult::Failed:
            break;
        }
    } catch (...) {
    }
    CloseEntry(entry);
    return 7;
}

int ZUCOM_ReadData(ZUCOM_HANDLE handle, unsigned char* report, unsigned int* bytesRead, int timeoutMs)
{
    OpenEntry* entry = Find(handle);
    if (!entry || !report || !bytesRead)
        return 8;
    try {
        switch (entry->record->data->Read(report, timeoutMs)) {
        case ReadResult::Ok:
            *bytesRead = 65;
            return 0;
        case ReadResult::Timeout:
            return 2;
        case ReadResult::Failed:
            return 9;
        }
    } catch (...) {
    }
    return 9;
}

int ZUCOM_WriteCmd(ZUCOM_HANDLE handle, const unsigned char* report, unsigned int* bytesWritten, int)
{
    OpenEntry* entry = Find(handle);
    if (!entry || !report || !bytesWritten)
        return 8;
    try {
        if (!entry->record->command->Write(report))
            return 9;
        *bytesWritten = 65;
        return 0;
    } catch (...) {
        return 7;
    }
}

int ZUCOM_FlashCmdBuffer(ZUCOM_HANDLE handle)
{
    OpenEntry* entry = Find(handle);
    if (!entry)
        return 8;
    try {
        entry->record->command->Flush();
    } catch (...) {
    }
    return 0;
}

int ZUCOM_FlashDataBuffer(ZUCOM_HANDLE handle)
{
    OpenEntry* entry = Find(handle);
    if (!entry)
        return 8;
    try {
        entry->record->data->Flush();
    } catch (...) {
    }
    return 0;
}

int ZUCOM_GetSerialNumber(ZUCOM_HANDLE handle, VexHidChar* serial32)
{
    OpenEntry* entry = Find(handle);
    if (!entry || !serial32)
        return 8;
    try {
        std::u16string serial;
        if (!QuerySerial(*entry->record->command, &serial))
            return 9;
        std::fill(serial32, serial32 + kSerialCopyUnits, u'\0');
        // A serial that does not fit with its terminator is refused rather than left half-copied.
        if (serial.size() + 1 >= kSerialCopyUnits)
            return 9;
        std::copy(serial.begin(), serial.end(), serial32);
        return 0;
    } catch (...) {
        return 9;
    }
}

int ZUCOM_IsConnected(ZUCOM_HANDLE handle)
{
    OpenEntry* entry = Find(handle);
    if (!entry)
        return 8;
    try {
        std::u16string serial;
        return QuerySerial(*entry->record->command, &serial) ? 0 : 9;
    } catch (...) {
        return 9;
    }
}

void ZUCOM_GetVersion(int* version)
{
    if (!version)
        return;
    version[0] = 1;
    version[1] = 20;
    version[2] = 0;
}

int ZUCOM_GetNumConnected(int* count, int value)
{
    if (!count)
        return 8;
    State& s = S();
    *count = static_cast<int>(s.open.size());
    s.value1 = value;
    s.value2 = 0;
    return 0;
}

}  // extern "C"
