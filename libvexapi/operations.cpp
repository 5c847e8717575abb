#include "operations.h"

#include "byte_order.h"
#include "libzucom.h"
#include "lumet_protocol.h"
#include "packets.h"
#include "tarsel_device.h"
#include "vexcalib.h"

#include <algorithm>
#include <cstring>

namespace vexapi {

namespace {

constexpr ManualRow kManualTable[7] = {{40, 100, 16384, 656},   {400, 10, 6560, 656},   {4000, 1, 6560, 820},
                                       {20000, 1, 4100, 740},   {50000, 1, 1850, 817}, {50000, 2, 817, 400},
                                       {50000, 4, 400, 0}};

constexpr int kDataReportTimeoutMs = 130000;
constexpr int kSpectralDataSetBytes = 4 + 4 * kRawStride;

CmdPacket MeasureCommand(std::uint8_t command, std::uint8_t operation, std::uint8_t index = 0)
{
    CmdPacket packet(command, lumet::kKindSingle, 0);
    const std::uint8_t payload[4] = {operation, 0, 0, index};
    packet.SetPayload(payload, sizeof payload);
    return packet;
}

bool PixelsBelowLimit(const float* values, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (!(values[i] < kPixelLimit))
            return false;
    }
    return true;
}

}  // namespace

// ---- raw buffer ----

void cRawData::Reset()
{
    std::memset(raw_, 0, sizeof raw_);
    std::memset(processed_, 0, sizeof processed_);
    count_ = 0;
    value_ = 0;
    valid_ = false;
}

bool cRawData::AddRaw(const float* values)
{
    if (!values || count_ >= kRawMaxSpectra)
        return false;
    std::memcpy(raw_[count_], values, sizeof raw_[0]);
    ++count_;
    return true;
}

bool cRawData::GetRaw(int index, float* out) const
{
    if (!out || index < 0 || index >= count_)
        return false;
    std::memcpy(out, raw_[index], sizeof raw_[0]);
    return true;
}

void cRawData::SetProcessed(const float* spectrum)
{
    std::memcpy(processed_, spectrum, sizeof processed_);
    valid_ = true;
}

bool cRawData::GetProcessed(float* out) const
{
    if (!out || !valid_)
        return false;
    std::memcpy(out, processed_, sizeof processed_);
    return true;
}

// ---- helpers ----

int LookupManualPair(int key1, int key2, ManualRow* row)
{
    bool key1Known = false;
    bool key2Known = false;
    const ManualRow* found = nullptr;
    for (const ManualRow& r : kManualTable) {
        key1Known = key1Known || r.key1 == key1;
        key2Known = key2Known || r.key2 == key2;
        if (r.key1 == key1 && r.key2 == key2)
            found = &r;
    }
    if (!key1Known)
        return 28;
    if (!key2Known)
        return 29;
    if (!found)
        return 30;
    if (row)
        *row = *found;
    return 0;
}

bool ReadSpectralDataSet(cTarselDevice& device, SpectralDataSet* set)
{
    std::uint8_t bytes[kSpectralDataSetBytes] = {};
    int at = 0;
    // A set is one numbered sequence ending with a report of kind 3: a repeated or missing report would
    // shift the values. A stream that never ends is broken.
    for (std::size_t n = 0; n < kMaxResponseReports; ++n) {
        HostDataRecord record;
        if (device.ReadDataReport(&record, sizeof record.bytes, nullptr, kDataReportTimeoutMs) != 0)
            return false;
        std::uint16_t sequence = 0;
        std::memcpy(&sequence, record.bytes + 2, 2);
        const std::uint8_t kind = record.bytes[1];
        const bool kindInPlace = n == 0 ? kind >= lumet::kKindFirst && kind <= lumet::kKindSingle
                                        : kind == lumet::kKindMiddle || kind == lumet::kKindLast;
        if (!kindInPlace || sequence != n)
            return false;
        const int take = std::min(60, kSpectralDataSetBytes - at);
        if (take > 0) {
            std::memcpy(bytes + at, record.bytes + 4, static_cast<std::size_t>(take));
            at += take;
        }
        if (kind == lumet::kKindLast || kind == lumet::kKindSingle) {
            if (at < kSpectralDataSetBytes)
                return false;
            // The data report reader already turned each 32-bit value into host order.
            std::memcpy(&set->header, bytes, 4);
            std::memcpy(set->values, bytes + 4, sizeof set->values);
            return true;
        }
    }
    return false;
}

// ---- measurement ----

int OperationIrrad::WaitReady(cTarselDevice& device, int exchangeCode, int zeroCode)
{
    const std::uint64_t start = ClockMs();
    for (;;) {
        ResPacket response;
        if (device.Exchange(MeasureCommand(0x11, 1), &response) != 0)
            return exchangeCode;
        const std::uint8_t status = response.Payload()[1];
        const std::int32_t ready = static_cast<std::int32_t>(GetBe32(response.Payload() + 4));
        if (ready != 0) {
            readyValue_ = ready;
            return 0;
        }
        if (status == 3)
            return zeroCode;
        // Bounded: an instrument that never gets ready fails like a broken status exchange.
        if (ClockMs() - start >= kReadyLoopLimitMs)
            return exchangeCode;
        Pause(1);
    }
}

int OperationIrrad::Execute(cTarselDevice& device)
{
    device.ClearRawData();
    device.FlushData();
    if (device.Exchange(MeasureCommand(0x11, 0), nullptr) != 0)
        return 101;
    const int code = WaitReady(device, 102, 116);
    if (code != 0)
        return code;
    SetRunning();
    return 0;
}

int OperationIrrad::ManualStart(cTarselDevice& device)
{
    device.ClearRawData();
    device.FlushData();
    if (device.Exchange(MeasureCommand(0x11, 4), nullptr) != 0)
        return 101;
    SetRunning();
    return 0;
}

int OperationIrrad::PlainStart(cTarselDevice& device)
{
    device.FlushData();
    if (device.Exchange(MeasureCommand(0x11, 0), nullptr) != 0)
        return 107;
    return 0;
}

int OperationIrrad::ReadyWait(cTarselDevice& device)
{
    const int code = WaitReady(device, 108, 109);
    if (code != 0)
        return code;
    // The measurement now runs: the all-device poll collects it like any other.
    SetRunning();
    return 0;
}

int OperationIrrad::Stop(cTarselDevice& device)
{
    if (device.Exchange(MeasureCommand(0x11, 2), nullptr) != 0)
        return 105;
    ClearRunning();
    return 0;
}

int OperationIrrad::Poll(cTarselDevice& device, int* state)
{
    ResPacket response;
    if (device.Exchange(MeasureCommand(0x11, 1), &response) != 0)
        return 103;
    if (!IsRunning()) {
        *state = 0;
        return 0;
    }
    const std::uint8_t status = response.Payload()[1];
    if (status == 4) {
        *state = 1;
        return 0;
    }
    // A status the instrument should never send is a failed poll, not a silent success.
    if (status != 3)
        return 103;
    *state = 2;
    ClearRunning();
    if (device.Exchange(MeasureCommand(0x11, 3), nullptr) != 0)
        return 101;
    SpectralDataSet set;
    if (!ReadSpectralDataSet(device, &set))
        return 104;
    if (!PixelsBelowLimit(set.values, 0, kRawPixels))
        return 106;
    cRawData& raw = device.Raw();
    raw.AddRaw(set.values);
    raw.SetValue(set.header);
    float spectrum[421];
    if (CalcIrradiance(set.values, set.header, 1, &device.blocks, device.blocks.calibration, spectrum, 0) != 0)
        return 104;
    raw.SetProcessed(spectrum);
    return 0;
}

// ---- calibration ----

int OperationCalibrate::Execute(cTarselDevice& device)
{
    device.ClearRawData();
    if (device.ExchangeFlushBoth(MeasureCommand(0x10, 0), nullptr) != 0)
        return 120;
    SetRunning();
    return 0;
}

int OperationCalibrate::Poll(cTarselDevice& device, int* state)
{
    if (!state)
        return 50;
    ResPacket response;
    if (device.Exchange(MeasureCommand(0x10, 1), &response) != 0)
        return 121;
    if (!IsRunning()) {
        *state = 0;
        return 0;
    }
    if (response.Payload()[1] == 4) {
        *state = 1;
        return 0;
    }
    *state = 2;
    ClearRunning();
    cRawData& raw = device.Raw();
    for (int n = 0; n < kRawMaxSpectra; ++n) {
        if (device.Exchange(MeasureCommand(0x10, 3, static_cast<std::uint8_t>(n)), nullptr) != 0)
            return 122;
        SpectralDataSet set;
        if (!ReadSpectralDataSet(device, &set))
            return 123;
        if (set.header == -20)
            return 126;
        if (set.header <= 0)
            return 124;
        if (!PixelsBelowLimit(set.values, 0, kRawPixels))
            return 125;
        raw.AddRaw(set.values);
    }
    // The instrument has renewed its calibration block.
    device.ReadFactoryBlocks(2);
    return 0;
}

}  // namespace vexapi
