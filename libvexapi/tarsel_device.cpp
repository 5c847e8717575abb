#include "tarsel_device.h"

#include "byte_order.h"
#include "libzucom.h"
#include "lumet_protocol.h"
#include "vexapi_codes.h"

#include <algorithm>
#include <iterator>
#include <cstring>

namespace vexapi {

namespace {

constexpr int kExchangeCodes[4] = {ExchangeCode::kNotOpen, ExchangeCode::kSendFailed, ExchangeCode::kReceiveFailed,
                                   ExchangeCode::kNotOneReport};
constexpr int kFlushBothCodes[4] = {ExchangeFlushBothCode::kNotOpen, ExchangeFlushBothCode::kSendFailed,
                                    ExchangeFlushBothCode::kReceiveFailed, ExchangeFlushBothCode::kNotOneReport};

// One staging buffer for every block transfer of the library: header plus the largest block.
std::uint8_t g_staging[lumet::kBlockHeaderSize + lumet::kFactoryBlockSize];

CmdPacket SingleCommand(std::uint8_t command, std::initializer_list<std::uint8_t> payload)
{
    CmdPacket packet(command, lumet::kKindSingle, 0);
    std::uint8_t bytes[60] = {};
    std::size_t n = 0;
    for (std::uint8_t b : payload)
        bytes[n++] = b;
    if (n)
        packet.SetPayload(bytes, n);
    return packet;
}

int FixedBlockSize(int block)
{
    switch (block) {
    case 0: return lumet::kInfoBlockSize;
    case 1: return lumet::kFactoryBlockSize;
    case 3: return lumet::kCalibrationBlockSize;
    default: return -1;
    }
}

}  // namespace

int BcdToDecimal(std::uint16_t v)
{
    return ((v >> 12) & 0xF) * 1000 + ((v >> 8) & 0xF) * 100 + ((v >> 4) & 0xF) * 10 + (v & 0xF);
}

cTarselDevice::cTarselDevice(CLibZUCom* lib) : lib_(lib)
{
    std::memset(&blocks, 0, sizeof blocks);
    std::fill(std::begin(errors_), std::end(errors_), kEmptyErrorSlot);
    std::memset(&target_, 0, sizeof target_);
    SetUserCalibrationNone();
}

void cTarselDevice::SetUserCalibrationNone()
{
    userCalibrationNumber_ = 0;
    std::memset(&userCalibration_, 0, sizeof userCalibration_);
    std::fill(std::begin(userCalibration_.values), std::end(userCalibration_.values), 1.0f);
}

bool cTarselDevice::Open()
{
    if (opened_)
        return false;
    if (lib_->EnumDevice(&transport_) != 0) {
        transport_ = nullptr;
        opened_ = 0;
        return false;
    }
    std::fill(std::begin(serial_), std::end(serial_), u'\0');
    if (const char16_t* serial = lib_->GetSerialNumber(transport_))
        std::copy(serial, serial + 32, serial_);
    opened_ = 1;
    return true;
}

bool cTarselDevice::Close()
{
    const int status = lib_->CloseDevice(transport_);
    transport_ = nullptr;
    opened_ = 0;
    return status == 0;
}

int cTarselDevice::StatusToError(int status)
{
    switch (status) {
    case 1:
    case 17: return 0;
    case 2: return StatusCode::kStatus2;
    case 3: return StatusCode::kStatus3;
    case 4: return StatusCode::kStatus4;
    case 6: return StatusCode::kStatus6;
    case 15: return StatusCode::kStatus15;
    default: return StatusCode::kOther;
    }
}

int cTarselDevice::ExchangeWith(const CmdPacket& command, ResPacket* response, bool flushData, const int codes[4])
{
    if (!opened_)
        return codes[0];
    if (flushData)
        lib_->FlushDataBuffer(transport_);
    lib_->FlushCmdBuffer(transport_);
    if (!command.Send(*this))
        return codes[1];
    ResponseList list;
    if (!ReceiveResponses(&list, *this))
        return codes[2];
    if (list.size() != 1)
        return codes[3];
    if (response)
        *response = list.front();
    return StatusToError(list.front().Status());
}

int cTarselDevice::Exchange(const CmdPacket& command, ResPacket* response)
{
    return ExchangeWith(command, response, false, kExchangeCodes);
}

int cTarselDevice::ExchangeFlushBoth(const CmdPacket& command, ResPacket* response)
{
    return ExchangeWith(command, response, true, kFlushBothCodes);
}

int cTarselDevice::ExchangeMulti(const CmdPacket& command, ResponseList* responses)
{
    if (!opened_)
        return ExchangeMultiCode::kNotOpen;
    lib_->FlushCmdBuffer(transport_);
    if (!command.Send(*this))
        return ExchangeMultiCode::kSendFailed;
    if (!responses || !ReceiveResponses(responses, *this))
        return ExchangeMultiCode::kReceiveFailed;
    for (const ResPacket& r : *responses) {
        const int code = StatusToError(r.Status());
        if (code != 0) {
            PushError(code);
            return ExchangeMultiCode::kErrorStatus;
        }
    }
    return 0;
}

int cTarselDevice::ExchangeBytes(const CmdPacket& command, std::uint8_t* buffer, int length)
{
    if (!opened_)
        return ExchangeBytesCode::kNotOpen;
    lib_->FlushCmdBuffer(transport_);
    if (!command.Send(*this))
        return ExchangeBytesCode::kSendFailed;
    ResponseList list;
    if (!ReceiveResponses(&list, *this))
        return ExchangeBytesCode::kReceiveFailed;
    int collected = 0;
    for (const ResPacket& r : list) {
        if (collected >= length)
            break;
        const int code = StatusToError(r.Status());
        if (code != 0) {
            PushError(code);
            return ExchangeBytesCode::kErrorStatus;
        }
        const int take = std::min(60, length - collected);
        std::memcpy(buffer + collected, r.Payload(), static_cast<std::size_t>(take));
        collected += take;
    }
    // A reply of another length than the command asks for is not the record asked for, even when it
    // holds enough bytes.
    if (collected != length || list.size() != ReportsFor(static_cast<std::size_t>(std::max(length, 0))))
        return ExchangeBytesCode::kShort;
    return 0;
}

int cTarselDevice::ReadDataReport(HostDataRecord* record, int size, unsigned* count, int timeoutMs)
{
    if (!record)
        return DataReportCode::kNullRecord;
    if (size != static_cast<int>(sizeof record->bytes))
        return DataReportCode::kBadSize;
    std::uint8_t report[65] = {};
    unsigned read = 0;
    if (lib_->ReadData(transport_, report, &read, timeoutMs) != 0)
        return DataReportCode::kReadFailed;
    if (count)
        *count = read;
    std::uint8_t* out = record->bytes;
    out[0] = report[1];
    out[1] = report[2];
    const std::uint16_t sequence = GetBe16(report + 3);
    std::memcpy(out + 2, &sequence, 2);
    std::memcpy(out + 4, report + 5, 60);
    if (report[1] == 0 || report[1] == 1) {
        for (int i = 0; i < 30; ++i)
            Reverse2(out + 4 + 2 * i);
    } else if (report[1] == 2) {
        for (int i = 0; i < 15; ++i)
            Reverse4(out + 4 + 4 * i);
    }
    return 0;
}

// ---- error history ----

void cTarselDevice::ClearErrors()
{
    std::fill(std::begin(errors_), std::end(errors_), kEmptyErrorSlot);
    errorCount_ = 0;
    resultFlag_ = 0;
}

void cTarselDevice::PushError(int code)
{
    if (errorCount_ < kHistorySize)
        errors_[errorCount_++] = code;
}

void cTarselDevice::GetPrevError(VexErrorHistory* out) const
{
    std::copy(std::begin(errors_), std::end(errors_), out->codes);
    out->count = errorCount_;
}

// ---- remote mode and identity ----

int cTarselDevice::RemoteMode(int direction, int* mode)
{
    if (!mode)
        return RemoteCode::kNullMode;
    ResPacket response;
    if (direction == 1) {
        const int code = Exchange(SingleCommand(lumet::kCmdRemoteMode, {0}), &response);
        if (code != 0) {
            PushError(code);
            return RemoteCode::kGetFailed;
        }
        *mode = response.Payload()[1];
        return 0;
    }
    if (*mode != 0 && *mode != 1)
        return RemoteCode::kBadMode;
    const int code =
        Exchange(SingleCommand(lumet::kCmdRemoteMode, {1, static_cast<std::uint8_t>(*mode)}), &response);
    if (code != 0) {
        PushError(code);
        return RemoteCode::kSetFailed;
    }
    if (*mode == 0)
        return 0;

    irrad_ = OperationIrrad();
    calibrate_ = OperationCalibrate();
    raw_.Reset();
    int result = 0;
    const int blocksCode = ReadFactoryBlocks(0);
    if (blocksCode != 0) {
        PushError(blocksCode);
        result = RemoteCode::kBlocksFailed;
    }
    if (result == 0) {
        const int rankCode = ReadRankTable();
        if (rankCode != 0) {
            PushError(rankCode);
            result = RemoteCode::kRankFailed;
        }
    }
    if (result == 0) {
        MeasSettingRecord setting{};
        const int settingCode = MeasSetting(0, 4, &setting);
        if (settingCode != 0) {
            PushError(settingCode);
            return RemoteCode::kRangeFailed;
        }
        rangeSetting_ = setting.range;
        const int calibrationCode = LoadUserCalibration();
        if (calibrationCode != 0) {
            PushError(calibrationCode);
            return RemoteCode::kUserCalibrationFailed;
        }
    }
    if (result == RemoteCode::kBlocksFailed || result == RemoteCode::kRankFailed) {
        const int offCode = Exchange(SingleCommand(lumet::kCmdRemoteMode, {1, 0}), &response);
        if (offCode != 0) {
            PushError(offCode);
            return RemoteCode::kSwitchOffFailed;
        }
    }
    return result;
}

bool cTarselDevice::IsRemote()
{
    int mode = 0;
    return RemoteMode(1, &mode) == 0 && mode == 1;
}

int cTarselDevice::GetFirmwareVersion(int versions[3][3])
{
    if (!versions)
        return FirmwareCode::kNull;
    ResPacket response;
    const int code = Exchange(SingleCommand(lumet::kCmdFirmwareVersion, {}), &response);
    if (code != 0) {
        PushError(code);
        return FirmwareCode::kExchangeFailed;
    }
    const std::uint8_t* p = response.Payload();
    for (int g = 0; g < 3; ++g) {
        const std::uint8_t* b = p + 4 * g;
        versions[g][0] = BcdToDecimal(b[0]);
        versions[g][1] = BcdToDecimal(b[1]);
        versions[g][2] = BcdToDecimal(b[2]) * 100 + BcdToDecimal(b[3]);
    }
    return 0;
}

bool cTarselDevice::FirmwareAtLeast(int major, int minor, int build)
{
    int v[3][3] = {};
    if (GetFirmwareVersion(v) != 0)
        std::memset(v, 0, sizeof v);
    const int m = v[0][0], n = v[0][1], b = v[0][2];
    return major < m || (major == m && minor < n) || (major == m && minor == n && b >= build);
}

int cTarselDevice::GetDeviceID(VexDeviceID* id)
{
    if (!id)
        return DeviceIdCode::kNullRecord;
    if (!IsRemote())
        return DeviceIdCode::kNotRemote;
    std::memset(id, 0, sizeof *id);
    if (std::memcmp(blocks.info + lumet::kInfoMagicOffset, lumet::kInfoMagic, 4) != 0)
        return DeviceIdCode::kNoMagic;
    const std::uint8_t* info = blocks.info;
    std::memcpy(id->model, info, 4);
    id->modelByte = info[12];
    id->serialNumber = BcdToDecimal(GetBe16(info + 8)) * 10000 + BcdToDecimal(GetBe16(info + 10));
    int v[3][3] = {};
    const int firmwareCode = GetFirmwareVersion(v);
    if (firmwareCode != 0) {
        PushError(firmwareCode);
        std::memset(v, 0, sizeof v);
    }
    std::copy(v[0], v[0] + 3, id->mainFirmware);
    std::copy(v[1], v[1] + 3, id->secondFirmware);
    std::copy(v[2], v[2] + 3, id->thirdFirmware);
    std::uint16_t value16 = 0;
    std::memcpy(&value16, info + 16, 2);  // already in host order
    id->infoValue16 = value16;
    id->infoValue18 = info[18];
    id->infoValue19 = info[19];
    id->deviceType = BcdToDecimal(info[6]) * 100 + BcdToDecimal(info[7]);
    return 0;
}

// ---- blocks ----

int cTarselDevice::ReadFactoryBlocks(int type)
{
    if (type < 0 || type > 2)
        return FactoryBlocksCode::kBadType;
    if (type == 0 || type == 1) {
        VexMemoryRequest info{0, 0, lumet::kInfoBlockSize, blocks.info};
        const int infoCode = AccessFactoryMemory(&info);
        if (infoCode != 0) {
            PushError(infoCode);
            return FactoryBlocksCode::kInfoFailed;
        }
        VexMemoryRequest factory{0, 1, lumet::kFactoryBlockSize, blocks.factory};
        const int factoryCode = AccessFactoryMemory(&factory);
        if (factoryCode != 0) {
            PushError(factoryCode);
            return FactoryBlocksCode::kFactoryFailed;
        }
    }
    if (type == 0 || type == 2) {
        VexMemoryRequest calibration{0, 3, lumet::kCalibrationBlockSize, blocks.calibration};
        const int calibrationCode = AccessFactoryMemory(&calibration);
        if (calibrationCode != 0) {
            PushError(calibrationCode);
            return FactoryBlocksCode::kCalibrationFailed;
        }
    }
    return 0;
}

int cTarselDevice::AccessFactoryMemory(VexMemoryRequest* request)
{
    if (!request)
        return MemoryCode::kNullRecord;
    const int op = request->operation;
    const int block = request->block;
    if (op < 0 || op > 4)
        return MemoryCode::kBadOperation;
    const bool transfer = op <= 2;
    if (transfer && !request->buffer)
        return MemoryCode::kNullRecord;

    // One check of the whole request for every operation, before any I/O; the caller's length must fit
    // the block, since it drives the transfer through the shared staging buffer.
    const auto requestValid = [&]() {
        if (block < 0 || block > 3) {
            PushError(MemoryCheckCode::kBadBlock);
            return false;
        }
        if (transfer) {
            const int fixed = FixedBlockSize(block);
            const bool fits = fixed > 0 ? request->length == fixed
                                        : request->length >= 1 && request->length <= lumet::kBlock2MaxSize;
            if (!fits) {
                PushError(MemoryCheckCode::kBadLength);
                return false;
            }
        }
        return true;
    };

    if (op == 3 || op == 4) {
        if (!requestValid())
            return MemoryCode::kBadCommandRequest;
        const int code = Exchange(SingleCommand(lumet::kCmdMemoryBlock, {static_cast<std::uint8_t>(op),
                                                                         static_cast<std::uint8_t>(block)}),
                                  nullptr);
        if (code != 0) {
            PushError(code);
            return MemoryCode::kCommandFailed;
        }
        return 0;
    }

    const int length = request->length;
    if (op == 1) {
        if (!requestValid())
            return MemoryCode::kBadWriteRequest;
        g_staging[0] = 1;
        g_staging[1] = static_cast<std::uint8_t>(block);
        g_staging[2] = 0;
        g_staging[3] = 0;
        const auto* source = static_cast<const std::uint8_t*>(request->buffer);
        if (block == 0)
            ConvertDeviceInfoBlock(source, g_staging + lumet::kBlockHeaderSize);
        else if (block == 1)
            ConvertFactoryBlock(source, g_staging + lumet::kBlockHeaderSize);
        else
            return MemoryCode::kNoWriteConverter;
        if (!SendCommandData(lumet::kCmdMemoryBlock, g_staging, static_cast<std::size_t>(length) + 4, *this))
            return MemoryCode::kWriteSendFailed;
        Pause(1);
        ResPacket response;
        if (!response.Receive(*this))
            return MemoryCode::kWriteNoResponse;
        const int code = StatusToError(response.Status());
        if (code != 0) {
            PushError(code);
            return MemoryCode::kWriteStatus;
        }
        return 0;
    }

    // Operations 0 and 2: read.
    if (!requestValid())
        return MemoryCode::kBadReadRequest;
    CmdPacket command(lumet::kCmdMemoryBlock, lumet::kKindSingle, 0);
    std::uint8_t payload[8] = {static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(block), 0, 0};
    PutBe32(payload + lumet::kBlockReadLengthOffset, static_cast<std::uint32_t>(length));
    command.SetPayload(payload, sizeof payload);
    const int code = ExchangeBytes(command, g_staging, length + lumet::kBlockHeaderSize);
    if (code != 0) {
        PushError(code);
        return MemoryCode::kReadFailed;
    }
    auto* target = static_cast<std::uint8_t*>(request->buffer);
    const std::uint8_t* data = g_staging + lumet::kBlockHeaderSize;
    switch (block) {
    case 0: ConvertDeviceInfoBlock(data, target); return 0;
    case 1: ConvertFactoryBlock(data, target); return 0;
    case 3: ConvertCalibrationBlock(data, target); return 0;
    default: return MemoryCode::kNoReadConverter;
    }
}

// ---- records ----

int cTarselDevice::SingleExchange(std::uint8_t command, std::initializer_list<std::uint8_t> payload,
                                  ResPacket* response)
{
    return Exchange(SingleCommand(command, payload), response);
}

int cTarselDevice::ReadNumberedRecord(std::uint8_t command, int number, std::uint8_t* bytes, int length, int failure)
{
    const int code = ExchangeBytes(SingleCommand(command, {lumet::kRecordRead, 0, static_cast<std::uint8_t>(number >> 8),
                                                          static_cast<std::uint8_t>(number)}),
                                   bytes, length);
    if (code == 0)
        return 0;
    PushError(code);
    return failure;
}

int cTarselDevice::SendRecordRequest(std::uint8_t command, std::uint8_t operation, int number, ResPacket* response)
{
    if (command == lumet::kCmdRankRecord)
        return Exchange(SingleCommand(command, {operation, static_cast<std::uint8_t>(number), 0}), response);
    return Exchange(SingleCommand(command, {operation, 0, static_cast<std::uint8_t>(number >> 8),
                                            static_cast<std::uint8_t>(number)}),
                    response);
}

int cTarselDevice::QueryRecordPresence(std::uint8_t command, int number, int* presence, int failure)
{
    ResPacket response;
    const int code = SendRecordRequest(command, lumet::kRecordQuery, number, &response);
    if (code != 0) {
        PushError(code);
        return failure;
    }
    *presence = response.Payload()[4];
    return 0;
}

int cTarselDevice::ReadStoredCount(int* count)
{
    ResPacket response;
    const int code = SendRecordRequest(lumet::kCmdStoredRecord, lumet::kRecordQuery, 0, &response);
    if (code != 0) {
        PushError(code);
        return StoredCode::kCountFailed;
    }
    const int n = GetBe16(response.Payload() + 2);
    // Records are numbered 1..100; a larger count cannot be read back.
    if (n > lumet::kStoredRecordMax)
        return StoredCode::kCountFailed;
    *count = n;
    return 0;
}

int cTarselDevice::ReadStoredRecord(int number, DeviceStoredRecord* record)
{
    return ReadNumberedRecord(lumet::kCmdStoredRecord, number, record->bytes, lumet::kStoredRecordSize, StoredCode::kReadFailed);
}

int cTarselDevice::LoadStoredData()
{
    measData_.Clear();
    int count = 0;
    const int countCode = ReadStoredCount(&count);
    if (countCode != 0) {
        PushError(countCode);
        return StoredCode::kLoadReadFailed;
    }
    for (int number = 1; number <= count; ++number) {
        DeviceStoredRecord wire;
        const int readCode = ReadStoredRecord(number, &wire);
        if (readCode != 0) {
            PushError(readCode);
            return StoredCode::kLoadReadFailed;
        }
        VexStoredMeasurement record;
        StoredFromDevice(wire, &record);
        const int addCode = measData_.AddData(&record);
        if (addCode != 0) {
            PushError(addCode + Offset::kMeasData);
            return StoredCode::kLoadAddFailed;
        }
    }
    return 0;
}

int cTarselDevice::GetDeviceStoredDataNum(int* count)
{
    if (!count)
        return StoredNumCode::kNullCount;
    if (!IsRemote())
        return StoredNumCode::kNotRemote;
    const int code = ReadStoredCount(count);
    if (code != 0) {
        PushError(code);
        return StoredNumCode::kCountFailed;
    }
    return 0;
}

int cTarselDevice::GetDeviceStoredData(VexStoredMeasurement* records, int kind, int capacity)
{
    if (!records)
        return StoredDataCode::kNullArray;
    if (!IsRemote())
        return StoredDataCode::kNotRemote;
    int count = 0;
    const int countCode = ReadStoredCount(&count);
    if (countCode != 0) {
        PushError(countCode);
        return StoredDataCode::kCountFailed;
    }
    if (count == 0)
        return StoredDataCode::kNothingStored;
    if (capacity < count)
        return StoredDataCode::kCapacity;
    if (measData_.GetCount() != count) {
        const int loadCode = LoadStoredData();
        if (loadCode != 0) {
            PushError(loadCode);
            return StoredDataCode::kReloadFailed;
        }
    }
    for (int i = 0; i < count; ++i) {
        VexStoredMeasurement cached;
        const int getCode = measData_.GetData(&cached, i);
        if (getCode != 0) {
            PushError(getCode + Offset::kMeasData);
            return StoredDataCode::kCacheReadFailed;
        }
        VexStoredMeasurement& element = records[i];
        element.date = cached.date;
        element.observer = cached.observer;
        element.value1 = cached.value1;
        element.value2 = cached.value2;
        element.value3 = cached.value3;
        if (kind == 8) {
            element = cached;
            continue;
        }
        const int setCode = color_.SetSpectrum(cached.values);
        if (setCode != 0) {
            PushError(setCode + Offset::kColour);
            return StoredDataCode::kSpectrumRefused;
        }
        // Warnings (1-3) count as done here.
        const int colourCode = color_.Calculate(element.values, kind, cached.observer, illuminanceUnit_);
        if (colourCode > 3) {
            PushError(colourCode + Offset::kColour);
            return StoredDataCode::kColourFailed;
        }
    }
    return 0;
}

int cTarselDevice::QueryUserCalibrationRecord(int number, int* presence)
{
    return QueryRecordPresence(lumet::kCmdUserCalibrationRecord, number, presence, UserCalibrationCode::kQueryExchange);
}

int cTarselDevice::ReadUserCalibrationRecord(int number, DeviceSpectralRecord* record)
{
    return ReadNumberedRecord(lumet::kCmdUserCalibrationRecord, number, record->bytes, lumet::kSpectralRecordSize, UserCalibrationCode::kReadExchange);
}

int cTarselDevice::GetUserCalibrationData(int number, VexUserCalibrationData* record)
{
    if (!record)
        return UserCalibrationCode::kNullRecord;
    if (!IsRemote())
        return UserCalibrationCode::kNotRemote;
    if (number < 1 || number > lumet::kUserCalibrationRecordMax)
        return UserCalibrationCode::kNumber;
    int presence = 0;
    const int queryCode = QueryUserCalibrationRecord(number, &presence);
    if (queryCode != 0) {
        PushError(queryCode);
        return UserCalibrationCode::kQueryFailed;
    }
    if (presence == 0)
        return UserCalibrationCode::kAbsent;
    DeviceSpectralRecord wire;
    const int readCode = ReadUserCalibrationRecord(number, &wire);
    if (readCode != 0) {
        PushError(readCode);
        return UserCalibrationCode::kReadFailed;
    }
    SpectralFromDevice(wire, record);
    return 0;
}

int cTarselDevice::LoadUserCalibration()
{
    // Number and factors change together; on any failure the held calibration is none.
    MeasSettingRecord setting{};
    const int settingCode = MeasSetting(0, 5, &setting);
    if (settingCode != 0) {
        PushError(settingCode);
        SetUserCalibrationNone();
        return UserCalibrationCode::kLoadSettingFailed;
    }
    const int number = setting.userCalibration;
    if (number == 0) {
        SetUserCalibrationNone();
        return 0;
    }
    VexUserCalibrationData loaded;
    const int code = GetUserCalibrationData(number, &loaded);
    if (code != 0) {
        PushError(code);
        SetUserCalibrationNone();
        return UserCalibrationCode::kLoadReadFailed;
    }
    userCalibration_ = loaded;
    userCalibrationNumber_ = number;
    return 0;
}

int cTarselDevice::QueryRankRecord(int number, int* presence)
{
    return QueryRecordPresence(lumet::kCmdRankRecord, number, presence, RankLoadCode::kQueryExchange);
}

int cTarselDevice::ReadRankRecord(int number, DeviceRankRecord* record)
{
    CmdPacket command(lumet::kCmdRankRecord, lumet::kKindSingle, 0);
    const std::uint8_t payload[2] = {lumet::kRecordRead, static_cast<std::uint8_t>(number)};
    command.SetPayload(payload, sizeof payload);
    const int code = ExchangeBytes(command, record->bytes, lumet::kRankRecordSize);
    if (code != 0) {
        PushError(code);
        return RankLoadCode::kReadExchange;
    }
    return 0;
}

int cTarselDevice::ReadRankTable()
{
    for (int number = 1; number <= cRank::kEntries; ++number) {
        int presence = 0;
        const int queryCode = QueryRankRecord(number, &presence);
        if (queryCode != 0) {
            PushError(queryCode);
            return RankLoadCode::kQueryFailed;
        }
        if (presence != 0 && presence != 1) {
            PushError(0);
            return RankLoadCode::kQueryFailed;
        }
        if (presence == 0) {
            const int deleteCode = rank_.Delete(number - 1);
            if (deleteCode != 0) {
                PushError(deleteCode + Offset::kRank);
                return RankLoadCode::kDeleteFailed;
            }
            continue;
        }
        DeviceRankRecord wire;
        const int readCode = ReadRankRecord(number, &wire);
        if (readCode != 0) {
            PushError(readCode);
            return RankLoadCode::kReadFailed;
        }
        VexRankData entry;
        RankFromDevice(wire, &entry);
        const int setCode = rank_.Set(&entry, number - 1);
        if (setCode != 0) {
            PushError(setCode + Offset::kRank);
            return RankLoadCode::kSetFailed;
        }
    }
    return 0;
}

}  // namespace vexapi
