// cTarselDevice: one opened instrument, its blocks, error history, caches and the device methods.
#pragma once

#include "device_records.h"
#include "meas_data_mng.h"
#include "packets.h"
#include "rank.h"
#include "vexapi.h"

#include <cstdint>

namespace vexapi {

class CLibZUCom;

// The three configuration blocks in host order, one after another: libvexcalib reads them by byte
// offset from the device object's address.
struct DeviceBlocks {
    std::uint8_t info[56];
    std::uint8_t factory[33872];
    std::uint8_t calibration[3092];
};
static_assert(sizeof(DeviceBlocks) == 37020, "the blocks lie without gaps");

// One 64-byte data report in host order.
struct HostDataRecord {
    std::uint8_t bytes[64];
};

// The measurement-setting record (64 bytes).
struct MeasSettingRecord {
    std::int32_t values[12];  // types 0-6 at 0-6, type 7 at 7-10, type 8 at 11
    std::uint16_t words[7];
    std::uint8_t reserved[2];
};
static_assert(sizeof(MeasSettingRecord) == 64, "measurement-setting record");

class cTarselDevice {
public:
    static constexpr int kHistorySize = 10;

    explicit cTarselDevice(CLibZUCom* lib);

    // Lives first in the object (see DeviceBlocks).
    DeviceBlocks blocks;

    bool Open();
    bool Close();
    bool IsOpened() const { return opened_ != 0; }
    CLibZUCom* LibZUCom() const { return lib_; }
    void* TransportHandle() const { return transport_; }
    const char16_t* Serial() const { return serial_; }

    // Exchange primitives.
    int Exchange(const CmdPacket& command, ResPacket* response);
    int ExchangeFlushBoth(const CmdPacket& command, ResPacket* response);
    int ExchangeMulti(const CmdPacket& command, ResponseList* responses);
    int ExchangeBytes(const CmdPacket& command, std::uint8_t* buffer, int length);
    int ReadDataReport(HostDataRecord* record, int size, unsigned* count, int timeoutMs);
    static int StatusToError(int status);

    // Remote mode, identity, versions.
    int RemoteMode(int direction, int* mode);
    bool IsRemote();
    int GetDeviceID(VexDeviceID* id);
    int GetFirmwareVersion(int versions[3][3]);
    bool FirmwareAtLeast(int major, int minor, int build);
    int ReadFactoryBlocks(int type);
    int AccessFactoryMemory(VexMemoryRequest* request);

    // Error history.
    void ClearErrors();
    void PushError(int code);
    void GetPrevError(VexErrorHistory* out) const;

    // Stored measurements.
    int ReadStoredCount(int* count);
    int ReadStoredRecord(int number, DeviceStoredRecord* record);
    int LoadStoredData();
    int GetDeviceStoredDataNum(int* count);
    int GetDeviceStoredData(VexStoredMeasurement* records, int kind, int capacity);

    // User calibrations and rank records.
    int QueryUserCalibrationRecord(int number, int* presence);
    int ReadUserCalibrationRecord(int number, DeviceSpectralRecord* record);
    int GetUserCalibrationData(int number, VexUserCalibrationData* record);
    int LoadUserCalibration();
    int QueryRankRecord(int number, int* presence);
    int ReadRankRecord(int number, DeviceRankRecord* record);
    int ReadRankTable();

    // Measurement settings (read = 0, write = 1).
    int MeasSetting(int operation, int type, MeasSettingRecord* record);

    const cMeasDataMng& MeasDataCache() const { return measData_; }
    const cRank& RankTable() const { return rank_; }
    int RangeSetting() const { return rangeSetting_; }
    int UserCalibrationNumber() const { return userCalibrationNumber_; }
    const VexUserCalibrationData& UserCalibration() const { return userCalibration_; }
    int ResultFlag() const { return resultFlag_; }

private:
    int ExchangeWith(const CmdPacket& command, ResPacket* response, bool flushData, const int codes[4]);
    int SendRecordRequest(std::uint8_t command, std::uint8_t operation, int number, ResPacket* response);
    void SetUserCalibrationNone();

    int observer_ = 0;
    int illuminanceUnit_ = 0;
    CLibZUCom* lib_;
    void* transport_ = nullptr;
    char16_t serial_[32] = {};
    std::uint8_t opened_ = 0;
    std::uint8_t manualMeasurement_ = 0;
    std::int32_t resultFlag_ = 0;
    std::int32_t errors_[kHistorySize];
    std::int32_t errorCount_ = 0;
    VexUserCalibrationData userCalibration_;
    std::int32_t userCalibrationNumber_ = 0;
    VexTargetData target_;
    std::int32_t targetNumber_ = 0;
    cMeasDataMng measData_;
    cRank rank_;
    std::int32_t rangeSetting_ = 2;
    std::int32_t manualPair_[2] = {};
};

// Decodes four BCD digits (or the two of one byte).
int BcdToDecimal(std::uint16_t value);

}  // namespace vexapi
