// Measurement and system settings, the periodic-calibration date and the list items: one field per
// exchange.
#include "byte_order.h"
#include "lumet_protocol.h"
#include "tarsel_device.h"
#include "vexapi_codes.h"

#include <cstring>

namespace vexapi {

namespace {

enum class Layout { Byte, Wide16, Bytes4, Words3, Words4 };

struct SettingRow {
    std::uint8_t command;
    Layout layout;
    int low;
    int high;
    int rangeCode;
    int readCode;
    int writeCode;
    int firmwareCode;  // 0: no firmware requirement
};

constexpr SettingRow kMeasRows[11] = {
    {0x22, Layout::Byte, 0, 2, 7201, 7202, 7203, 0},         {0x20, Layout::Byte, 0, 1, 7301, 7302, 7303, 0},
    {0x21, Layout::Byte, 0, 7, 7401, 7402, 7403, 0},         {0x24, Layout::Byte, 0, 1, 7501, 7502, 7503, 0},
    {0x23, Layout::Byte, 0, 3, 7601, 7602, 7603, 0},         {0x1B, Layout::Wide16, 0, 10, 7701, 7702, 7704, 0},
    {0x1A, Layout::Wide16, 1, 20, 7801, 7802, 7803, 0},      {0x25, Layout::Bytes4, 0, 40, 7901, 7902, 7903, 0},
    {0x1C, Layout::Byte, 0, 2, 15001, 15002, 15003, 15004}, {0x26, Layout::Words3, 0, 999, 15201, 15102, 15103, 15104},
    {0x27, Layout::Words4, 360, 780, 15501, 15502, 15503, 15504}};

// System types 1-7 (type 0 is the clock).
constexpr SettingRow kSystemRows[8] = {
    {0xD5, Layout::Byte, 0, 0, 9602, 9601, 9603, 0},    {0xD2, Layout::Byte, 0, 1, 5001, 5002, 5003, 0},
    {0xD9, Layout::Byte, 0, 1, 1601, 1602, 1603, 0},    {0xD7, Layout::Byte, 0, 2, 2001, 2002, 2003, 0},
    {0x31, Layout::Byte, 0, 2, 4901, 4902, 4903, 0},    {0x32, Layout::Byte, 0, 4, 8001, 8002, 8003, 0},
    {0x33, Layout::Byte, 0, 1, 10502, 10501, 10503, 0}, {0x34, Layout::Byte, 0, 1, 10402, 10401, 10403, 0}};

int* MeasField(VexMeasSetting* r, int type)
{
    switch (type) {
    case 0: return &r->type0;
    case 1: return &r->type1;
    case 2: return &r->type2;
    case 3: return &r->type3;
    case 4: return &r->range;
    case 5: return &r->userCalibration;
    case 6: return &r->target;
    case 8: return &r->type8;
    default: return nullptr;
    }
}

int* SystemField(VexSystemSetting* r, int type)
{
    int* fields[8] = {nullptr, &r->type1, &r->type2, &r->type3, &r->type4, &r->type5, &r->type6, &r->type7};
    return fields[type];
}

bool InRange(int v, const SettingRow& row) { return v >= row.low && v <= row.high; }

void PackDate(const VexDateTime& d, std::uint8_t* p)
{
    PutBe16(p, static_cast<std::uint16_t>(d.year));
    p[2] = static_cast<std::uint8_t>(d.month);
    p[3] = static_cast<std::uint8_t>(d.day);
    p[4] = static_cast<std::uint8_t>(d.hour);
    p[5] = static_cast<std::uint8_t>(d.minute);
    p[6] = static_cast<std::uint8_t>(d.second);
}

void UnpackDate(const std::uint8_t* p, VexDateTime* d)
{
    d->year = GetBe16(p);
    d->month = p[2];
    d->day = p[3];
    d->hour = p[4];
    d->minute = p[5];
    d->second = p[6];
}

// Sends one setting command with its payload; the exchange's code, pushed onto the error history when not 0.
int SettingExchange(cTarselDevice& device, std::uint8_t command, const std::uint8_t* payload, std::size_t size,
                    ResPacket* response)
{
    CmdPacket packet(command, lumet::kKindSingle, 0);
    packet.SetPayload(payload, size);
    const int code = device.Exchange(packet, response);
    if (code != 0)
        device.PushError(code);
    return code;
}

}  // namespace

int cTarselDevice::MeasSetting(int operation, int type, MeasSettingRecord* record)
{
    if (!record)
        return 1001;
    if (type < 0 || type > 10)
        return 1003;
    const SettingRow& row = kMeasRows[type];
    std::uint8_t payload[12] = {};
    payload[0] = operation == 1 ? 1 : 0;
    if (operation == 1) {
        switch (row.layout) {
        case Layout::Byte:
        case Layout::Wide16: {
            const int v = *MeasField(record, type);
            if (!InRange(v, row))
                return row.rangeCode;
            if (row.layout == Layout::Byte)
                payload[1] = static_cast<std::uint8_t>(v);
            else
                PutBe16(payload + 2, static_cast<std::uint8_t>(v));
            break;
        }
        case Layout::Bytes4:
            for (int i = 0; i < 4; ++i) {
                if (!InRange(record->type7[i], row))
                    return row.rangeCode;
                payload[1 + i] = static_cast<std::uint8_t>(record->type7[i]);
            }
            break;
        case Layout::Words3:
            // Only the first value has a range; the other two go as they are.
            if (!InRange(record->type9[0], row))
                return row.rangeCode;
            for (int i = 0; i < 3; ++i)
                PutBe16(payload + 2 + 2 * i, record->type9[i]);
            break;
        case Layout::Words4:
            for (int i = 0; i < 4; ++i) {
                if (!InRange(record->wavelengths[i], row))
                    return row.rangeCode;
                PutBe16(payload + 2 + 2 * i, record->wavelengths[i]);
            }
            break;
        }
    }
    if (row.firmwareCode != 0 && !FirmwareAtLeast(1, 12, 0))
        return row.firmwareCode;

    ResPacket response;
    const int code = SettingExchange(*this, row.command, payload, sizeof payload, &response);
    if (code != 0) {
        if (operation != 1)
            return row.readCode;
        return type == 5 && code == StatusCode::kStatus6 ? 7703 : row.writeCode;
    }
    if (operation == 1) {
        if (type == 4)
            rangeSetting_ = record->range;
        if (type == 5 && record->userCalibration != userCalibrationNumber_) {
            const int loadCode = LoadUserCalibration();
            if (loadCode != 0) {
                PushError(loadCode);
                return 7705;
            }
        }
        return 0;
    }
    const std::uint8_t* b = response.Payload();
    switch (row.layout) {
    case Layout::Byte: *MeasField(record, type) = b[1]; break;
    case Layout::Wide16: *MeasField(record, type) = GetBe16(b + 2); break;
    case Layout::Bytes4:
        for (int i = 0; i < 4; ++i)
            record->type7[i] = b[1 + i];
        break;
    case Layout::Words3:
        for (int i = 0; i < 3; ++i)
            record->type9[i] = GetBe16(b + 2 + 2 * i);
        break;
    case Layout::Words4:
        for (int i = 0; i < 4; ++i)
            record->wavelengths[i] = GetBe16(b + 2 + 2 * i);
        break;
    }
    return 0;
}

int cTarselDevice::MeasSettingExport(int operation, int type, MeasSettingRecord* record)
{
    if (!record)
        return 1001;
    if (!IsRemote())
        return 1002;
    if (type < 0 || type > 10)
        return 1003;
    return MeasSetting(operation, type, record);
}

int cTarselDevice::ClockSetting(int operation, VexDateTime* date)
{
    const SettingRow& row = kSystemRows[0];
    std::uint8_t payload[12] = {};
    if (operation == 1) {
        const int dateCode = CheckDate(date);
        if (dateCode != 0) {
            PushError(dateCode);
            return row.rangeCode;
        }
        payload[0] = 1;
        PackDate(*date, payload + 4);
    }
    ResPacket response;
    if (SettingExchange(*this, row.command, payload, sizeof payload, &response) != 0)
        return operation == 1 ? row.writeCode : row.readCode;
    if (operation != 1)
        UnpackDate(response.Payload() + 4, date);
    return 0;
}

int cTarselDevice::SystemSetting(int operation, int type, VexSystemSetting* record)
{
    if (!record)
        return 601;
    if (type < 0 || type > 7)
        return 602;
    if (type == 0)
        return ClockSetting(operation, &record->clock);
    const SettingRow& row = kSystemRows[type];
    int* field = SystemField(record, type);
    std::uint8_t payload[2] = {static_cast<std::uint8_t>(operation == 1 ? 1 : 0), 0};
    if (operation == 1) {
        if (!InRange(*field, row))
            return row.rangeCode;
        payload[1] = static_cast<std::uint8_t>(*field);
    }
    ResPacket response;
    if (SettingExchange(*this, row.command, payload, sizeof payload, &response) != 0)
        return operation == 1 ? row.writeCode : row.readCode;
    if (operation != 1) {
        const std::uint8_t b = response.Payload()[1];
        *field = type == 3 ? static_cast<signed char>(b) : b;
    }
    return 0;
}

int cTarselDevice::SystemSettingExport(int operation, int type, VexSystemSetting* record)
{
    if (!record)
        return 601;
    if (!IsRemote())
        return 603;
    if (type < 0 || type > 7)
        return 602;
    return SystemSetting(operation, type, record);
}

int cTarselDevice::GetPeriodicCalDate(int which, VexDateTime* date)
{
    if (!IsRemote())
        return 9302;
    if (!date)
        return 9303;
    if (which != 0 && which != 1)
        return 9304;
    ResPacket response;
    const int code = SingleExchange(0x36, {0, static_cast<std::uint8_t>(which)}, &response);
    if (code != 0) {
        PushError(code);
        return 9301;
    }
    UnpackDate(response.Payload() + 4, date);
    return 0;
}

int cTarselDevice::SetPeriodicCalDate(const VexDateTime* date)
{
    if (!IsRemote())
        return 9402;
    if (!date)
        return 9403;
    const int dateCode = CheckDate(date);
    if (dateCode != 0) {
        PushError(dateCode);
        return 9404;
    }
    std::uint8_t payload[12] = {1, 0};
    PackDate(*date, payload + 4);
    return SettingExchange(*this, 0x36, payload, sizeof payload, nullptr) != 0 ? 9401 : 0;
}

int cTarselDevice::GetListItem(int item, int* value)
{
    if (!IsRemote())
        return 12001;
    if (!value)
        return 12003;
    if (item != 0 && item != 1)
        return 12004;
    ResPacket response;
    if (SingleExchange(0x35, {0, static_cast<std::uint8_t>(item)}, &response) != 0)
        return 12005;
    const int v = response.Payload()[2];
    if (v != 0 && v != 1)
        return 12006;
    *value = v;
    return 0;
}

int cTarselDevice::SetListItem(int item, int value)
{
    if (!IsRemote())
        return 12001;
    if (item != 0 && item != 1)
        return 12004;
    if (value != 0 && value != 1)
        return 12007;
    const int code =
        SingleExchange(0x35, {1, static_cast<std::uint8_t>(item), static_cast<std::uint8_t>(value)}, nullptr);
    if (code != 0) {
        PushError(code);
        return 12008;
    }
    return 0;
}

}  // namespace vexapi
