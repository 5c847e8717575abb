// Writing and deleting the instrument's records, the rank table, and the evaluations of the last
// measurement against them.
#include "byte_order.h"
#include "libzucom.h"
#include "lumet_protocol.h"
#include "tarsel_device.h"
#include "vexapi_codes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace vexapi {

namespace {

constexpr int kStoredWriteCodes[3] = {6901, 6902, 6902};
constexpr int kTargetWriteCodes[3] = {4501, 4502, 4503};
constexpr int kUserCalibrationWriteCodes[3] = {6401, 6402, 6403};
constexpr int kRankWriteCodes[3] = {8401, 8402, 8403};

bool LeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month)
{
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    case 2: return LeapYear(year) ? 29 : 28;
    default: return 31;
    }
}

}  // namespace

int cTarselDevice::CheckDate(const VexDateTime* date)
{
    if (!date)
        return 6101;
    const auto u = [](int v) { return static_cast<unsigned>(v); };
    if (u(date->year) < 2011 || u(date->year) > 2100)
        return 6102;
    if (u(date->month) < 1 || u(date->month) > 12)
        return 6103;
    if (u(date->day) < 1 || u(date->day) > DaysInMonth(u(date->year), u(date->month)))
        return 6104;
    if (u(date->hour) > 23)
        return 6105;
    if (u(date->minute) > 59)
        return 6106;
    if (u(date->second) > 59)
        return 6107;
    return 0;
}

int cTarselDevice::CheckName(const VexTargetData& record)
{
    // The text may run past the 12-byte field into the reserved int; look no further than the record.
    const char* name = record.name;
    const std::size_t room = sizeof record.name + sizeof record.reserved;
    const auto* end = static_cast<const char*>(std::memchr(name, '\0', room));
    const std::size_t length = end ? static_cast<std::size_t>(end - name) : room;
    if (length > sizeof record.name)
        return 6501;
    for (std::size_t i = 0; i < length; ++i) {
        const signed char c = static_cast<signed char>(name[i]);
        if (c < 32 || c > 125)
            return 6502;
    }
    return 0;
}

int cTarselDevice::SendRecord(std::uint8_t command, const std::uint8_t* bytes, int length, const int codes[3])
{
    if (opened_)
        lib_->FlushCmdBuffer(transport_);
    if (!SendCommandData(command, bytes, static_cast<std::size_t>(length), *this))
        return codes[0];
    ResPacket response;
    if (!response.Receive(*this))
        return codes[1];
    const int status = StatusToError(response.Status());
    if (status != 0) {
        PushError(status);
        return codes[2];
    }
    return 0;
}

// ---- stored measurements ----

int cTarselDevice::WriteStoredRecord(int, DeviceStoredRecord* record)
{
    return SendRecord(lumet::kCmdStoredRecord, record->bytes, lumet::kStoredRecordSize, kStoredWriteCodes);
}

int cTarselDevice::EraseStoredRecord(int number)
{
    const int code = SendRecordRequest(lumet::kCmdStoredRecord, lumet::kRecordDelete, number, nullptr);
    if (code != 0) {
        PushError(code);
        return 9201;
    }
    return 0;
}

int cTarselDevice::SetDeviceStoredData(const VexStoredMeasurement* records, int count)
{
    // Whatever happens, the instrument's records may now differ from the cache.
    measData_.Clear();
    if (!records)
        return 8801;
    if (!IsRemote())
        return 8802;
    if (count < 1 || count > lumet::kStoredRecordMax)
        return 8803;
    for (int i = 0; i < count; ++i) {
        DeviceStoredRecord wire;
        StoredToDevice(records[i], i + 1, &wire);
        const int code = WriteStoredRecord(i + 1, &wire);
        if (code != 0) {
            PushError(code);
            return 8804;
        }
    }
    return 0;
}

int cTarselDevice::DeleteDeviceStoredData(int number)
{
    if (!IsRemote())
        return 8904;
    if ((number < 1 || number > lumet::kStoredRecordMax) && number != -1)
        return 8901;
    int count = 0;
    const int countCode = ReadStoredCount(&count);
    if (countCode != 0) {
        PushError(countCode);
        return 8905;
    }
    if (number > count)
        return 8906;
    const bool cacheMatched = measData_.GetCount() == count;
    const int eraseCode = EraseStoredRecord(number == -1 ? 0 : number);
    if (eraseCode != 0) {
        PushError(eraseCode);
        measData_.Clear();
        return 8902;
    }
    if (!cacheMatched) {
        measData_.Clear();
        return 0;
    }
    if (number == -1) {
        measData_.Clear();
        return 0;
    }
    const int deleteCode = measData_.DeleteData(number - 1);
    if (deleteCode != 0) {
        PushError(deleteCode + Offset::kMeasData);
        measData_.Clear();
        return 8903;
    }
    return 0;
}

// ---- targets ----

int cTarselDevice::QueryTargetRecord(int number, int* presence)
{
    return QueryRecordPresence(lumet::kCmdTargetRecord, number, presence, 10201);
}

int cTarselDevice::ReadTargetRecord(int number, DeviceSpectralRecord* record)
{
    return ReadNumberedRecord(lumet::kCmdTargetRecord, number, record->bytes, lumet::kSpectralRecordSize, 4601);
}

int cTarselDevice::WriteTargetRecord(DeviceSpectralRecord* record)
{
    return SendRecord(lumet::kCmdTargetRecord, record->bytes, lumet::kSpectralRecordSize, kTargetWriteCodes);
}

int cTarselDevice::EraseTargetRecord(int number)
{
    const int code = SendRecordRequest(lumet::kCmdTargetRecord, lumet::kRecordDelete, number, nullptr);
    if (code != 0) {
        PushError(code);
        return 4801;
    }
    return 0;
}

int cTarselDevice::GetTargetData(int number, VexTargetData* record)
{
    if (!record)
        return 5501;
    if (!IsRemote())
        return 5503;
    if (number < 1 || number > lumet::kTargetRecordMax)
        return 5502;
    int presence = 0;
    const int queryCode = QueryTargetRecord(number, &presence);
    if (queryCode != 0) {
        PushError(queryCode);
        return 5505;
    }
    if (presence == 0)
        return 5506;
    DeviceSpectralRecord wire;
    const int readCode = ReadTargetRecord(number, &wire);
    if (readCode != 0) {
        PushError(readCode);
        return 5504;
    }
    SpectralFromDevice(wire, record);
    return 0;
}

int cTarselDevice::SpectralWrite(int number, const VexTargetData* record, bool userCalibration)
{
    DeviceSpectralRecord wire;
    SpectralToDevice(*record, number, &wire);
    return userCalibration ? WriteUserCalibrationRecord(&wire) : WriteTargetRecord(&wire);
}

int cTarselDevice::SetTargetData(int number, const VexTargetData* record)
{
    if (!record)
        return 5401;
    if (!IsRemote())
        return 5404;
    if (number < 1 || number > lumet::kTargetRecordMax)
        return 5402;
    const int dateCode = CheckDate(&record->date);
    if (dateCode != 0) {
        PushError(dateCode);
        return 5405;
    }
    const int nameCode = CheckName(*record);
    if (nameCode != 0) {
        PushError(nameCode);
        return 5406;
    }
    const int code = SpectralWrite(number, record, false);
    if (code != 0) {
        PushError(code);
        return 5407;
    }
    return 0;
}

int cTarselDevice::DeleteTargetData(int number)
{
    if (!IsRemote())
        return 5603;
    if ((number < 1 || number > lumet::kTargetRecordMax) && number != -1)
        return 5601;
    const int code = EraseTargetRecord(number == -1 ? 0 : number);
    if (code != 0) {
        PushError(code);
        return 5602;
    }
    return 0;
}

// ---- user calibrations ----

int cTarselDevice::WriteUserCalibrationRecord(DeviceSpectralRecord* record)
{
    return SendRecord(lumet::kCmdUserCalibrationRecord, record->bytes, lumet::kSpectralRecordSize,
                      kUserCalibrationWriteCodes);
}

int cTarselDevice::EraseUserCalibrationRecord(int number)
{
    const int code = SendRecordRequest(lumet::kCmdUserCalibrationRecord, lumet::kRecordDelete, number, nullptr);
    if (code != 0) {
        PushError(code);
        return 5301;
    }
    return 0;
}

int cTarselDevice::SetUserCalibrationData(int number, const VexUserCalibrationData* record)
{
    if (!record)
        return 2105;
    if (!IsRemote())
        return 2103;
    if (number < 1 || number > lumet::kUserCalibrationRecordMax)
        return 2101;
    for (float f : record->values) {
        if (!(f >= 0.001f && f <= 1000.0f))
            return 2102;
    }
    const int dateCode = CheckDate(&record->date);
    if (dateCode != 0) {
        PushError(dateCode);
        return 2104;
    }
    const int nameCode = CheckName(*record);
    if (nameCode != 0) {
        PushError(nameCode);
        return 2106;
    }
    const int code = SpectralWrite(number, record, true);
    if (code != 0) {
        PushError(code);
        return 2107;
    }
    if (number == userCalibrationNumber_) {
        const int loadCode = LoadUserCalibration();
        if (loadCode != 0) {
            PushError(loadCode);
            return 2108;
        }
    }
    return 0;
}

int cTarselDevice::DeleteUserCalibrationData(int number)
{
    if (!IsRemote())
        return 2302;
    if ((number < 1 || number > lumet::kUserCalibrationRecordMax) && number != -1)
        return 2301;
    const int code = EraseUserCalibrationRecord(number == -1 ? 0 : number);
    if (code != 0) {
        PushError(code);
        return 2303;
    }
    // Deleting all removes the held one too.
    const bool heldGone = userCalibrationNumber_ != 0 && (number == -1 || number == userCalibrationNumber_);
    if (heldGone) {
        const int loadCode = LoadUserCalibration();
        if (loadCode != 0) {
            PushError(loadCode);
            return 2304;
        }
    }
    return 0;
}

int cTarselDevice::CalcUserCalibrationData(float* out, const float* a, const float* b)
{
    if (!out)
        return 2402;
    if (!a)
        return 2403;
    if (!b)
        return 2404;
    float factors[kSpectrumPoints];
    for (int i = 0; i < kSpectrumPoints; ++i) {
        float f = 0.001f;
        if (b[i] > 0.0f) {
            f = a[i] / b[i];
            if (f < 0.001f)
                f = 0.001f;
            else if (f > 1000.0f)
                f = 1000.0f;
        }
        if (!(f >= 0.001f && f <= 1000.0f)) {
            std::fill(out, out + kSpectrumPoints, 0.0f);
            return 2401;
        }
        factors[i] = f;
    }
    std::copy(std::begin(factors), std::end(factors), out);
    return 0;
}

// ---- ranks ----

int cTarselDevice::WriteRankRecord(DeviceRankRecord* record)
{
    return SendRecord(lumet::kCmdRankRecord, record->bytes, lumet::kRankRecordSize, kRankWriteCodes);
}

int cTarselDevice::EraseRankRecord(int number)
{
    const int code = SendRecordRequest(lumet::kCmdRankRecord, lumet::kRecordDelete, number, nullptr);
    if (code != 0) {
        PushError(code);
        return 8701;
    }
    return 0;
}

int cTarselDevice::GetRankData(int number, VexRankData* record)
{
    if (!IsRemote())
        return 8202;
    if (!record)
        return 8203;
    const int code = rank_.Get(record, number - 1);
    if (code == 0)
        return 0;
    PushError(code + Offset::kRank);
    if (code == RankCode::kEmpty)
        return 8204;
    if (code == RankCode::kGetIndex)
        return 8205;
    return 8201;
}

int cTarselDevice::SetRankData(int number, const VexRankData* record)
{
    if (!record)
        return 6601;
    if (!IsRemote())
        return 6602;
    if (number < 1 || number > cRank::kEntries)
        return 6603;
    VexRankData entry = *record;
    if (entry.type == 1 && !cRank::ConvertTduvToXy(&entry, observer_))
        return 6606;
    const VexRankData previous = rank_.Entry(number - 1);
    const int setCode = rank_.Set(&entry, number - 1);
    if (setCode != 0) {
        PushError(setCode + Offset::kRank);
        return 6605;
    }
    DeviceRankRecord wire;
    RankToDevice(entry, number, &wire);
    const int writeCode = WriteRankRecord(&wire);
    if (writeCode != 0) {
        PushError(writeCode);
        // The instrument still holds the old entry; so does the table.
        rank_.Restore(previous, number - 1);
        return 6604;
    }
    return 0;
}

int cTarselDevice::DeleteRankData(int number)
{
    if (!IsRemote())
        return 6704;
    if ((number < 1 || number > cRank::kEntries) && number != -1)
        return 6701;
    const int code = EraseRankRecord(number == -1 ? 0 : number);
    if (code != 0) {
        PushError(code);
        return 6702;
    }
    const int deleteCode = rank_.Delete(number == -1 ? cRank::kAllEntries : number - 1);
    if (deleteCode != 0) {
        PushError(deleteCode + Offset::kRank);
        return 6703;
    }
    return 0;
}

int cTarselDevice::SortOutRank(VexRankResult* result)
{
    if (!IsRemote())
        return 8103;
    if (!result)
        return 8104;
    float values[kSpectrumPoints];
    const int measCode = GetMeasData(0, values);
    if (measCode > 1) {
        PushError(measCode);
        return 8101;
    }
    const int provisional = measCode;
    const cRank::ClassifiedPoint point{values[0], values[1], values[2]};
    const int code = rank_.SortOut(result, &point);
    if (code == RankCode::kOk) {
        result->index += 1;
        return provisional;
    }
    if (code == RankCode::kNotInside) {
        resultFlag_ = 4;
        return 1;
    }
    PushError(code + Offset::kRank);
    return code == RankCode::kNoEntry ? 8105 : 8102;
}

int cTarselDevice::GetColorDifference(int kind, float* result)
{
    if (!IsRemote())
        return 4706;
    if (!result)
        return 4707;
    MeasSettingRecord setting{};
    const int settingCode = MeasSetting(0, 6, &setting);
    if (settingCode != 0) {
        PushError(settingCode);
        PushError(5101);
        return 4701;
    }
    targetNumber_ = setting.target;
    const int targetCode = GetTargetData(targetNumber_, &target_);
    if (targetCode != 0) {
        PushError(targetCode);
        PushError(5102);
        return 4701;
    }
    float spectrum[kSpectrumPoints];
    const int measCode = GetMeasData(8, spectrum);
    if (measCode != 0 && measCode != 1) {
        PushError(measCode);
        return 4702;
    }
    const bool measurementWarned = measCode == 1;
    const int referenceCode = colorDiff_.SetReference(target_.values);
    if (referenceCode != 0) {
        PushError(referenceCode + Offset::kColourDiff);
        return 4703;
    }
    const int sampleCode = colorDiff_.SetSample(spectrum);
    if (sampleCode != 0) {
        PushError(sampleCode + Offset::kColourDiff);
        return 4704;
    }
    const int code = colorDiff_.Calculate(result, kind, observer_, illuminanceUnit_);
    // A failed difference is a failure, whatever the measurement said.
    if (code != 0 && code != 1) {
        PushError(code + Offset::kColourDiff);
        return 4705;
    }
    if (measurementWarned)
        return 1;
    if (code == 1) {
        resultFlag_ = 3;
        return 1;
    }
    return 0;
}

}  // namespace vexapi
