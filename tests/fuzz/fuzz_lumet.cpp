// The Lumet's replies as the program downloads its stored measurements, through libvexapi and the simulated
// instrument. The input seeds the instrument's records and arms the simulator's transport faults (replies with
// a wrong status, cut, doubled, surplus or missing reports, failed reads and writes); it can also hand the
// instrument raw stored records, a stored count of its own and a device-information block. A download that
// answers 0 must hold exactly the records the instrument was seeded with.
#include "fuzzsupport.h"

#include "lumet_protocol.h"
#include "vexapi.h"
#include "vexhid_sim.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kCapacity = 4;
constexpr int kSpectrumValues = 421;

enum Flags : std::uint8_t {
    kRawRecord = 0x04,     // a stored record in wire form from the input
    kOwnCount = 0x08,      // the instrument reports a stored count of the input's choosing
    kInfoBlock = 0x10,     // the device-information block from the input
    kSerialFails = 0x20,   // the first serial-number query fails
};

// The commands of the download, the stored-record one most often; any byte now and then.
int PickCommand(std::uint8_t choice, std::uint8_t raw)
{
    static const int commands[] = {lumet::kCmdStoredRecord, lumet::kCmdStoredRecord, lumet::kCmdStoredRecord,
                                   lumet::kCmdStoredRecord, lumet::kCmdRemoteMode,   lumet::kCmdMemoryBlock,
                                   lumet::kCmdFirmwareVersion};
    const std::size_t n = sizeof commands / sizeof commands[0];
    return choice % (n + 1) < n ? commands[choice % (n + 1)] : raw;
}

// One seeded record and the record the library must hand back for it.
void Seed(fuzz::Bytes &in, VexSimStoredSeed *seed, VexStoredMeasurement *expected)
{
    std::memset(seed, 0, sizeof *seed);
    std::memset(expected, 0, sizeof *expected);
    // Any bit pattern, not a number and denormals included: the record must come back bit for bit.
    const std::uint32_t start = in.U32();
    const std::uint32_t stride = in.U32();
    for (int i = 0; i < kSpectrumValues; ++i) {
        const std::uint32_t bits = start + stride * std::uint32_t(i);
        std::memcpy(&seed->spectrum[i], &bits, sizeof bits);
    }
    const int date[6] = {2000 + in.Byte() % 100, 1 + in.Byte() % 12, 1 + in.Byte() % 28,
                         in.Byte() % 24,         in.Byte() % 60,     in.Byte() % 60};
    std::memcpy(seed->date, date, sizeof date);
    seed->observer = in.Byte() % 2;
    seed->value1 = in.U16();
    seed->value2 = in.U16();
    seed->value3 = in.Byte();

    std::memcpy(expected->values, seed->spectrum, sizeof expected->values);
    expected->date = VexDateTime{date[0], date[1], date[2], date[3], date[4], date[5]};
    expected->observer = seed->observer;
    expected->value1 = seed->value1;
    expected->value2 = seed->value2;
    expected->value3 = seed->value3;
}

void CheckDownload(const std::vector<VexStoredMeasurement> &expected, const std::vector<VexStoredMeasurement> &records,
                   const VexStoredMeasurement &untouched)
{
    for (std::size_t i = 0; i < records.size(); ++i) {
        const VexStoredMeasurement &want = i < expected.size() ? expected[i] : untouched;
        if (std::memcmp(&records[i], &want, sizeof want) != 0)
            fuzz::Fail("lumet", QStringLiteral("the download answered 0, but record %1 of %2 seeded differs")
                                    .arg(i + 1)
                                    .arg(expected.size()));
    }
}

} // namespace

VAREMO_FUZZ_TARGET(lumet)
{
    // The simulated bus, chosen before the transport's first use.
    static const bool simulated = setenv("VEX_HID_BACKEND", "sim", 1) == 0;
    if (!simulated)
        std::abort();

    fuzz::Bytes in(data, size);
    const std::uint8_t flags = in.Byte();
    VexSim_Reset();
    const int instrument = VexSim_AddInstrument(nullptr);

    std::vector<VexStoredMeasurement> expected(flags % 4);
    for (VexStoredMeasurement &record : expected) {
        VexSimStoredSeed seed;
        Seed(in, &seed, &record);
        VexSim_AddStoredMeasurement(instrument, &seed);
    }
    // What the instrument holds is then no longer known here, so the records are not compared.
    bool known = true;
    if (flags & kRawRecord) {
        unsigned char wire[1704];
        in.Take(wire, sizeof wire);
        VexSim_AddStoredWire(instrument, wire);
        known = false;
    }
    if (flags & kOwnCount) {
        VexSim_OverrideStoredCount(instrument, int(in.Byte() % 8));
        known = false;
    }
    if (flags & kInfoBlock) {
        unsigned char info[56];
        in.Take(info, sizeof info);
        VexSim_SetBlock(instrument, 0, info, sizeof info);
    }
    if (flags & kSerialFails)
        VexSim_FailSerialQuery(instrument, 1);
    while (in.Left() >= 6) {
        VexSimFault fault;
        const std::uint8_t choice = in.Byte();
        fault.command = PickCommand(choice, in.Byte());
        fault.kind = 1 + in.Byte() % 15;
        fault.value = in.Byte();
        fault.skip = in.Byte() % 8;
        fault.report = in.Byte() % 32;
        VexSim_AddFault(instrument, &fault);
    }

    VEX_HANDLE handle = nullptr;
    if (VexOpenDevice(&handle) != 0)
        return 0;
    if (VexSetRemoteMode(handle, 1) == 0) {
        VexDeviceID id;
        VexGetDeviceID(handle, &id);
        int count = 0;
        VexGetDeviceStoredDataNum(handle, &count);
        VexStoredMeasurement untouched;
        std::memset(&untouched, 0xA5, sizeof untouched);
        std::vector<VexStoredMeasurement> records(kCapacity, untouched);
        if (VexGetDeviceStoredData(handle, records.data(), 8, kCapacity) == 0 && known)
            CheckDownload(expected, records, untouched);
        VexSetRemoteMode(handle, 0);
    }
    VexCloseDevice(handle);
    return 0;
}
