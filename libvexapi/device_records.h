// The instrument's record and block layouts (big-endian) and their converters to the host records.
#pragma once

#include "vexapi.h"

#include <cstdint>

namespace vexapi {

struct DeviceStoredRecord {  // command 0x13
    static constexpr int kNumber = 2, kSpectrum = 4, kDate = 1688, kObserver = 1696, kValue3 = 1697,
                         kValue1 = 1698, kValue2 = 1700;
    std::uint8_t bytes[1704];
};

struct DeviceSpectralRecord {  // commands 0x14 and 0x15
    static constexpr int kNumber = 2, kDate = 4, kName = 12, kValues = 24;
    std::uint8_t bytes[1708];
};

struct DeviceRankRecord {  // command 0x16
    static constexpr int kNumber = 1, kType = 2, kCount = 3, kName = 4, kFlag = 44, kXy = 48, kTduv = 128;
    std::uint8_t bytes[208];
};

static_assert(sizeof(DeviceStoredRecord) == 1704 && sizeof(DeviceSpectralRecord) == 1708 &&
                  sizeof(DeviceRankRecord) == 208,
              "device record sizes");

// DeviceDateTime: year (16-bit), month, day, hour, minute, second.
void DateFromDevice(const std::uint8_t* wire, VexDateTime* date);
void DateToDevice(const VexDateTime& date, std::uint8_t* wire);

void StoredFromDevice(const DeviceStoredRecord& in, VexStoredMeasurement* out);
void StoredToDevice(const VexStoredMeasurement& in, int number, DeviceStoredRecord* out);
void SpectralFromDevice(const DeviceSpectralRecord& in, VexTargetData* out);
void SpectralToDevice(const VexTargetData& in, int number, DeviceSpectralRecord* out);
void RankFromDevice(const DeviceRankRecord& in, VexRankData* out);
void RankToDevice(const VexRankData& in, int number, DeviceRankRecord* out);

// Block converters; each works both ways (the conversion is a byte reversal).
void ConvertDeviceInfoBlock(const std::uint8_t* in, std::uint8_t* out);      // 56 bytes
void ConvertFactoryBlock(const std::uint8_t* in, std::uint8_t* out);         // 33872 bytes
void ConvertCalibrationBlock(const std::uint8_t* in, std::uint8_t* out);     // 3092 bytes

}  // namespace vexapi
