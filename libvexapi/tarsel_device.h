// cTarselDevice: one opened instrument, its blocks, error history, caches and the device methods.
#pragma once

#include "color_bridge.h"
#include "device_records.h"
#include "meas_data_mng.h"
#include "operations.h"
#include "packets.h"
#include "rank.h"
#include "vexapi.h"

#include <cstdint>
#include <initializer_list>

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

using MeasSettingRecord = VexMeasSetting;

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

    int WriteStoredRecord(int number, DeviceStoredRecord* record);
    int EraseStoredRecord(int number);
    int SetDeviceStoredData(const VexStoredMeasurement* records, int count);
    int DeleteDeviceStoredData(int number);

    // Targets.
    int QueryTargetRecord(int number, int* presence);
    int ReadTargetRecord(int number, DeviceSpectralRecord* record);
    int WriteTargetRecord(DeviceSpectralRecord* record);
    int EraseTargetRecord(int number);
    int GetTargetData(int number, VexTargetData* record);
    int SetTargetData(int number, const VexTargetData* record);
    int DeleteTargetData(int number);

    // User calibrations.
    int WriteUserCalibrationRecord(DeviceSpectralRecord* record);
    int EraseUserCalibrationRecord(int number);
    int SetUserCalibrationData(int number, const VexUserCalibrationData* record);
    int DeleteUserCalibrationData(int number);
    static int CalcUserCalibrationData(float* out, const float* a, const float* b);
    void ApplyUserCalibration(float* out, const float* spectrum) const;

    // Ranks and colour difference.
    int WriteRankRecord(DeviceRankRecord* record);
    int EraseRankRecord(int number);
    int GetRankData(int number, VexRankData* record);
    int SetRankData(int number, const VexRankData* record);
    int DeleteRankData(int number);
    int SortOutRank(VexRankResult* result);
    int GetColorDifference(int kind, float* result);

    // Shared record checks.
    static int CheckDate(const VexDateTime* date);          // 0, 6101-6107
    static int CheckName(const VexTargetData& record);     // 0, 6501-6502

    // Measurement settings (read = 0, write = 1): the dispatcher, and the exports' frame around it.
    int MeasSetting(int operation, int type, MeasSettingRecord* record);
    int MeasSettingExport(int operation, int type, MeasSettingRecord* record);
    int SystemSetting(int operation, int type, VexSystemSetting* record);
    int SystemSettingExport(int operation, int type, VexSystemSetting* record);
    int ClockSetting(int operation, VexDateTime* date);
    int GetPeriodicCalDate(int which, VexDateTime* date);
    int SetPeriodicCalDate(const VexDateTime* date);
    int GetListItem(int item, int* value);
    int SetListItem(int item, int value);

    // Measurement and calibration.
    int DoMeasurement(int* value);
    int DoManualMeasurement(int key1, int key2);
    int PollingMeasure(int* state);
    int StopMeasurement();
    int GetMeasData(int kind, float* values);
    int DoCalibration();
    int PollingCalibration(int* state);
    int GetCalibrateStatus(int* status);
    int GetWarning(int* warning);
    int GetButtonStatus(VexButtonStatus* status);
    int GetProperty(int id, int* value);
    int SetProperty(int id, int value);
    int ManualMeasurement(int p0, int p1, int p2);
    int DoDarkCalib(void* result, int setting1, int setting2);
    int CorrectRawSpectrum(float* raw, int integrationTime);
    bool CalibrationBlockValid() const;
    // One status exchange of the calibration (command 0x10 operation 1): the exchange code.
    int CalibrationStatusExchange(ResPacket* response);
    int WriteManualParams(const VexManualParam& params);
    int ReadManualParams(VexManualParam* params);
    // Raw values of command 0xA3 in its 32-bit or 16-bit form: at most count, never more than the reply
    // holds; *got receives how many were stored.
    int ReadRawValues32(int first, int count, float* out, int* got);
    int ReadRawValues16(int first, int count, std::uint16_t* out, int* got);
    void FlushData();

    // What the all-device exports do on each device.
    int ReadyWaitAll(int* value);     // 10701, 10703
    int ManualStartAll();             // 10601
    int PlainStartAll();              // 10601
    void ClearRawData() { raw_.Reset(); }
    void RememberManualPair(int key1, int key2);

    // Service functions.
    int IoCtrl(int code, void* data);   // 15 for a code without a handler
    int DevRead(void* buffer, int size);
    int GetFactoryDataSDK(void* record);
    int GetCalibDataSDK(void* block);
    int SetCalibDataSDK(const void* block);
    int GetRawDataSDK(float* spectra, int* value, int capacity, int* count);

    const cRawData& RawData() const { return raw_; }
    cRawData& Raw() { return raw_; }
    OperationIrrad& Irrad() { return irrad_; }
    OperationCalibrate& Calibrate() { return calibrate_; }
    int TargetNumber() const { return targetNumber_; }
    int Observer() const { return observer_; }
    int IlluminanceUnit() const { return illuminanceUnit_; }

    const cMeasDataMng& MeasDataCache() const { return measData_; }
    const cRank& RankTable() const { return rank_; }
    int RangeSetting() const { return rangeSetting_; }
    int UserCalibrationNumber() const { return userCalibrationNumber_; }
    const VexUserCalibrationData& UserCalibration() const { return userCalibration_; }
    int ResultFlag() const { return resultFlag_; }

private:
    int ExchangeWith(const CmdPacket& command, ResPacket* response, bool flushData, const int codes[4]);
    int SendRecordRequest(std::uint8_t command, std::uint8_t operation, int number, ResPacket* response);
    // Whether record `number` is stored (*presence): 0, or failure with the exchange's code pushed.
    int QueryRecordPresence(std::uint8_t command, int number, int* presence, int failure);
    // Sends a whole record and takes its one response: 0, or one of codes {send, no response, status}.
    int SendRecord(std::uint8_t command, const std::uint8_t* bytes, int length, const int codes[3]);
    int SingleExchange(std::uint8_t command, std::initializer_list<std::uint8_t> payload, ResPacket* response);
    // Reads a record numbered in 16 bits whole into bytes: 0, or failure with the exchange's code pushed.
    int ReadNumberedRecord(std::uint8_t command, int number, std::uint8_t* bytes, int length, int failure);
    // 0 for a code of 0; otherwise records the code in the operation range and returns failure.
    int OperationResult(int code, int failure);
    // Before a measurement: a valid calibration block and a device status of 1 or 2 (*status). 0, or the
    // caller's code for an invalid block, an unanswered status exchange or any other status.
    int CheckCalibrationReady(int* status, int invalidBlock, int unanswered, int notCalibrated);
    // A measurement started on a status-2 calibration warns: 1 with the result flag set, else 0.
    int StartedOnCalibration(int status);
    int SpectralWrite(int number, const VexTargetData* record, bool userCalibration);
    void SetUserCalibrationNone();

    int observer_ = 0;
    int illuminanceUnit_ = 0;
    cRawData raw_;
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
    OperationIrrad irrad_;
    OperationCalibrate calibrate_;
    cMeasDataMng measData_;
    cRank rank_;
    cColorFunction color_;
    cColorDiffFunction colorDiff_;
    std::int32_t rangeSetting_ = 2;
    std::int32_t manualPair_[2] = {};
};

// Decodes four BCD digits (or the two of one byte).
int BcdToDecimal(std::uint16_t value);

}  // namespace vexapi
