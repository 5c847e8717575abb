#include "device_records.h"

#include "byte_order.h"
#include "lumet_protocol.h"

#include <cstring>

namespace vexapi {

namespace {

void FloatsFromDevice(const std::uint8_t* wire, float* out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = GetBeFloat(wire + 4 * i);
}

void FloatsToDevice(const float* in, std::uint8_t* wire, int n)
{
    for (int i = 0; i < n; ++i)
        PutBeFloat(wire + 4 * i, in[i]);
}

void ReverseRange(std::uint8_t* p, int from, int to)
{
    for (int off = from; off < to; off += 4)
        Reverse4(p + off);
}

}  // namespace

void DateFromDevice(const std::uint8_t* wire, VexDateTime* date)
{
    date->year = GetBe16(wire);
    date->month = wire[2];
    date->day = wire[3];
    date->hour = wire[4];
    date->minute = wire[5];
    date->second = wire[6];
}

void DateToDevice(const VexDateTime& date, std::uint8_t* wire)
{
    PutBe16(wire, static_cast<std::uint16_t>(date.year));
    wire[2] = static_cast<std::uint8_t>(date.month);
    wire[3] = static_cast<std::uint8_t>(date.day);
    wire[4] = static_cast<std::uint8_t>(date.hour);
    wire[5] = static_cast<std::uint8_t>(date.minute);
    wire[6] = static_cast<std::uint8_t>(date.second);
}

void StoredFromDevice(const DeviceStoredRecord& in, VexStoredMeasurement* out)
{
    const std::uint8_t* b = in.bytes;
    FloatsFromDevice(b + DeviceStoredRecord::kSpectrum, out->values, 421);
    DateFromDevice(b + DeviceStoredRecord::kDate, &out->date);
    out->observer = b[DeviceStoredRecord::kObserver];
    out->value1 = GetBe16(b + DeviceStoredRecord::kValue1);
    out->value2 = GetBe16(b + DeviceStoredRecord::kValue2);
    out->value3 = b[DeviceStoredRecord::kValue3];
}

void StoredToDevice(const VexStoredMeasurement& in, int number, DeviceStoredRecord* out)
{
    std::uint8_t* b = out->bytes;
    std::memset(b, 0, sizeof out->bytes);
    b[0] = lumet::kRecordWrite;
    PutBe16(b + DeviceStoredRecord::kNumber, static_cast<std::uint16_t>(number));
    FloatsToDevice(in.values, b + DeviceStoredRecord::kSpectrum, 421);
    DateToDevice(in.date, b + DeviceStoredRecord::kDate);
    b[DeviceStoredRecord::kObserver] = static_cast<std::uint8_t>(in.observer);
    b[DeviceStoredRecord::kValue3] = static_cast<std::uint8_t>(in.value3);
    PutBe16(b + DeviceStoredRecord::kValue1, static_cast<std::uint16_t>(in.value1));
    PutBe16(b + DeviceStoredRecord::kValue2, static_cast<std::uint16_t>(in.value2));
}

void SpectralFromDevice(const DeviceSpectralRecord& in, VexTargetData* out)
{
    const std::uint8_t* b = in.bytes;
    FloatsFromDevice(b + DeviceSpectralRecord::kValues, out->values, 421);
    DateFromDevice(b + DeviceSpectralRecord::kDate, &out->date);
    std::memcpy(out->name, b + DeviceSpectralRecord::kName, 12);
    out->reserved = 0;
}

void SpectralToDevice(const VexTargetData& in, int number, DeviceSpectralRecord* out)
{
    std::uint8_t* b = out->bytes;
    std::memset(b, 0, sizeof out->bytes);
    b[0] = lumet::kRecordWrite;
    PutBe16(b + DeviceSpectralRecord::kNumber, static_cast<std::uint16_t>(number));
    DateToDevice(in.date, b + DeviceSpectralRecord::kDate);
    std::memcpy(b + DeviceSpectralRecord::kName, in.name, 12);
    FloatsToDevice(in.values, b + DeviceSpectralRecord::kValues, 421);
}

void RankFromDevice(const DeviceRankRecord& in, VexRankData* out)
{
    const std::uint8_t* b = in.bytes;
    std::memset(out, 0, sizeof *out);
    out->type = b[DeviceRankRecord::kType];
    out->vertexCount = b[DeviceRankRecord::kCount];
    out->flag = b[DeviceRankRecord::kFlag];
    std::memcpy(out->name, b + DeviceRankRecord::kName, 40);
    out->name[40] = '\0';
    FloatsFromDevice(b + DeviceRankRecord::kXy, out->xy, 20);
    FloatsFromDevice(b + DeviceRankRecord::kTduv, out->tduv, 20);
}

void RankToDevice(const VexRankData& in, int number, DeviceRankRecord* out)
{
    std::uint8_t* b = out->bytes;
    std::memset(b, 0, sizeof out->bytes);
    b[0] = lumet::kRecordWrite;
    b[DeviceRankRecord::kNumber] = static_cast<std::uint8_t>(number);
    b[DeviceRankRecord::kType] = static_cast<std::uint8_t>(in.type);
    b[DeviceRankRecord::kCount] = static_cast<std::uint8_t>(in.vertexCount);
    std::memcpy(b + DeviceRankRecord::kName, in.name, 40);
    b[DeviceRankRecord::kFlag] = static_cast<std::uint8_t>(in.flag);
    FloatsToDevice(in.xy, b + DeviceRankRecord::kXy, 20);
    FloatsToDevice(in.tduv, b + DeviceRankRecord::kTduv, 20);
}

void ConvertDeviceInfoBlock(const std::uint8_t* in, std::uint8_t* out)
{
    std::memmove(out, in, lumet::kInfoBlockSize);
    Reverse2(out + 16);
}

void ConvertFactoryBlock(const std::uint8_t* in, std::uint8_t* out)
{
    std::memmove(out, in, lumet::kFactoryBlockSize);
    // Bytes 0-3 and 32-43 are bytes; every other 4-byte group is one 32-bit value.
    ReverseRange(out, 4, 32);
    ReverseRange(out, 44, 556);
    ReverseRange(out, 556, 564);
    ReverseRange(out, 564, 568);
    ReverseRange(out, 568, 1080);
    ReverseRange(out, 1080, 33848);
    ReverseRange(out, 33848, 33872);
}

void ConvertCalibrationBlock(const std::uint8_t* in, std::uint8_t* out)
{
    std::memmove(out, in, lumet::kCalibrationBlockSize);
    ReverseRange(out, 0, lumet::kCalibrationBlockSize);
}

}  // namespace vexapi
