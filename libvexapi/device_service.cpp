// Service functions: the DevIOCtrl rows, the data-report read, copies of the held blocks and the raw
// data of the last measurement.
#include "byte_order.h"
#include "libzucom.h"
#include "lumet_protocol.h"
#include "tarsel_device.h"
#include "vexapi_codes.h"

#include <cstring>
#include <vector>

namespace vexapi {

namespace {

constexpr int kBulkWireSize = 8012;

bool Trit(int v) { return v >= 0 && v <= 2; }

}  // namespace

int cTarselDevice::IoCtrl(int code, void* data)
{
    ResPacket response;
    const auto exchange = [&](std::uint8_t command, std::initializer_list<std::uint8_t> payload, int failure) {
        const int c = SingleExchange(command, payload, &response);
        if (c != 0) {
            PushError(c);
            return failure;
        }
        return 0;
    };
    const std::uint8_t* b = response.Payload();
    int* ints = static_cast<int*>(data);
    switch (code) {
    case 0xA2: {
        if (const int c = exchange(0xA4, {0}, 4307))
            return c;
        for (int i = 0; i < 3; ++i) {
            if (!Trit(b[1 + i]))
                return 4302;
        }
        for (int i = 0; i < 3; ++i)
            ints[i] = b[1 + i];
        return 0;
    }
    case 0xA3:
        for (int i = 0; i < 3; ++i) {
            if (!Trit(ints[i]))
                return 4304;
        }
        return exchange(0xA4,
                        {1, static_cast<std::uint8_t>(ints[0]), static_cast<std::uint8_t>(ints[1]),
                         static_cast<std::uint8_t>(ints[2])},
                        4306);
    case 0xA4:
        if (ints[0] < 0 || ints[0] > 3)
            return 4101;
        return exchange(0xD3, {static_cast<std::uint8_t>(ints[0])}, 4102);
    case 0xA6:
    case 0xA7: {
        if (ints[0] < 1 || ints[0] > 240)
            return 2501;
        const auto index = static_cast<std::uint8_t>(ints[0]);
        if (code == 0xA7)
            return exchange(0xD8, {1, index, static_cast<std::uint8_t>(ints[1] != 0 ? 1 : 0)}, 2502);
        if (const int c = exchange(0xD8, {0, index}, 2502))
            return c;
        ints[1] = b[2] != 0 ? 1 : 0;
        return 0;
    }
    case 0xAA: {
        const int c = ReadManualParams(static_cast<VexManualParam*>(data));
        if (c != 0) {
            PushError(c);
            return 3102;
        }
        return 0;
    }
    case 0xAB: {
        const int c = WriteManualParams(*static_cast<VexManualParam*>(data));
        if (c != 0) {
            PushError(c);
            return 3103;
        }
        return 0;
    }
    case 0xAC: {
        if (const int c = exchange(lumet::kCmdRawMeasurement, {2, 0, 0}, 3204))
            return c;
        if (b[0] != 1 && b[0] != 2)
            return 3205;
        ints[0] = b[0] == 1 ? 1 : 0;
        return 0;
    }
    case 0xAD:
        if (ints[0] != 0 && ints[0] != 1)
            return 3201;
        if (ints[1] < 0 || ints[1] > 4)
            return 3203;
        if (ints[2] != 0 && ints[2] != 1)
            return 3202;
        return exchange(lumet::kCmdRawMeasurement,
                        {static_cast<std::uint8_t>(ints[0]), static_cast<std::uint8_t>(ints[1]),
                         static_cast<std::uint8_t>(ints[2])},
                        3204);
    case 0xAE:
    case 0xAF: {
        auto* request = static_cast<VexRawRequest*>(data);
        if (!request->buffer || request->count < 0)
            return ExportCode::kIoCtrlNull;
        int got = 0;
        const int c = code == 0xAF
                          ? ReadRawValues32(request->first, request->count, static_cast<float*>(request->buffer), &got)
                          : ReadRawValues16(request->first, request->count,
                                            static_cast<std::uint16_t*>(request->buffer), &got);
        if (c != 0) {
            PushError(c);
            return code == 0xAF ? 9801 : 9701;
        }
        return 0;
    }
    case 0xB2: return exchange(0xB4, {}, 10001);
    case 0xB3: {
        if (const int c = exchange(0xB6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 10301))
            return c;
        auto* d = static_cast<VexDateTime*>(data);
        DateFromDevice(b + 4, d);
        return 0;
    }
    case 0xB4: {
        const auto* d = static_cast<const VexDateTime*>(data);
        std::uint8_t wire[7];
        DateToDevice(*d, wire);
        return exchange(0xB6, {1, 0, 0, 0, wire[0], wire[1], wire[2], wire[3], wire[4], wire[5], wire[6], 0}, 10201);
    }
    case 0xB5: {
        if (const int c = exchange(0xC0, {0, 4}, 2702))
            return c;
        for (int i = 0; i < 3; ++i)
            ints[i] = (b[3] >> i) & 1;
        return 0;
    }
    case 0xB6: {
        std::uint8_t bits = 0;
        for (int i = 0; i < 3; ++i)
            bits = static_cast<std::uint8_t>(bits | (ints[i] == 1 ? 1u << i : 0u));
        return exchange(0xC0, {1, 4, 0, bits}, 2703);
    }
    case 0xBB: {
        if (const int c = exchange(0xC0, {0, 2}, 2902))
            return c;
        ints[0] = GetBe16(b + 8);
        return 0;
    }
    case 0xBC: {
        const auto v = static_cast<std::uint16_t>(ints[0]);
        return exchange(0xC0, {1, 2, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)},
                        2903);
    }
    case 0xBD: {
        if (const int c = exchange(0xC1, {0}, 3002))
            return c;
        ints[0] = b[0] >= 1 && b[0] <= 4 ? b[0] - 1 : 4;
        ints[1] = GetBe16(b + 4);
        return 0;
    }
    case 0xBF: return GetButtonStatus(static_cast<VexButtonStatus*>(data));
    case 0xC4: return ClockSetting(0, static_cast<VexDateTime*>(data));
    case 0xC5: return ClockSetting(1, static_cast<VexDateTime*>(data));
    case 0xCB: {
        auto* record = static_cast<VexFirmwareVersion*>(data);
        return GetFirmwareVersion(record->versions);
    }
    case 0xF0: return AccessFactoryMemory(static_cast<VexMemoryRequest*>(data));
    case 0xF1: return exchange(0xB5, {}, 10101);
    case 0xF2: {
        ResponseList list;
        CmdPacket command(lumet::kCmdBulk, lumet::kKindSingle, 0);
        const std::uint8_t read[1] = {0};
        command.SetPayload(read, 1);
        const int c = ExchangeMulti(command, &list);
        if (c != 0) {
            PushError(c);
            return 2602;
        }
        // The reply header says how much follows it; the reports must carry exactly that much.
        std::vector<std::uint8_t> joined(list.size() * 60);
        JoinResponsePayloads(&list, joined.data(), joined.size());
        if (list.size() != ReportsFor(kBulkWireSize) ||
            lumet::kBlockHeaderSize + GetBe16(joined.data() + 2) != kBulkWireSize)
            return 2603;
        auto* record = static_cast<VexBulkRecord*>(data);
        const std::uint8_t* p = joined.data() + lumet::kBlockHeaderSize;
        record->value = (static_cast<unsigned long long>(GetBe32(p)) << 32) | GetBe32(p + 4);
        for (int i = 0; i < 4000; ++i)
            record->values[i] = GetBe16(p + 8 + 2 * i);
        return 0;
    }
    case 0xF3: {
        const auto* record = static_cast<const VexBulkRecord*>(data);
        std::vector<std::uint8_t> wire(kBulkWireSize, 0);
        wire[0] = 1;
        PutBe32(wire.data() + 4, static_cast<std::uint32_t>(record->value >> 32));
        PutBe32(wire.data() + 8, static_cast<std::uint32_t>(record->value));
        for (int i = 0; i < 4000; ++i)
            PutBe16(wire.data() + 12 + 2 * i, record->values[i]);
        if (opened_)
            lib_->FlushCmdBuffer(transport_);
        if (!SendCommandData(lumet::kCmdBulk, wire.data(), wire.size(), *this))
            return 2604;
        ResPacket reply;
        if (!reply.Receive(*this))
            return 2605;
        if ((reply.Status() & 0x0F) != 1)
            return 2606;
        if (reply.Kind() != lumet::kKindSingle)
            return 2607;
        return 0;
    }
    default: return ExportCode::kNotSupported;
    }
}

int cTarselDevice::DevRead(void* buffer, int size)
{
    return ReadDataReport(static_cast<HostDataRecord*>(buffer), size, nullptr, kCommandTimeoutMs);
}

int cTarselDevice::GetFactoryDataSDK(void* record)
{
    if (!record)
        return 1901;
    std::memcpy(record, blocks.info, sizeof blocks.info + sizeof blocks.factory);
    return 0;
}

int cTarselDevice::GetCalibDataSDK(void* block)
{
    if (!block)
        return 1801;
    std::memcpy(block, blocks.calibration, sizeof blocks.calibration);
    return 0;
}

int cTarselDevice::SetCalibDataSDK(const void* block)
{
    if (!block)
        return 14001;
    std::memcpy(blocks.calibration, block, sizeof blocks.calibration);
    return 0;
}

int cTarselDevice::GetRawDataSDK(float* spectra, int* value, int capacity, int* count)
{
    // Nothing is written unless every pointer is there.
    if (!spectra || !value || !count)
        return 1701;
    *count = raw_.Count();
    if (capacity < raw_.Count())
        return 1702;
    *value = raw_.GetValue();
    for (int i = 0; i < raw_.Count(); ++i) {
        if (!raw_.GetRaw(i, spectra + kRawStride * i))
            return 1703;
    }
    return 0;
}

}  // namespace vexapi
