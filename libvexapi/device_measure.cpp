// Measurements, calibrations and the raw and processed data they leave in the device object.
#include "byte_order.h"
#include "libzucom.h"
#include "lumet_protocol.h"
#include "tarsel_device.h"
#include "vexapi_codes.h"
#include "vexcalib.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace vexapi {

namespace {

constexpr int kOperationOffset = Offset::kOperation;
constexpr float kMeasEmpty = -50000.0f;
constexpr float kMaxLux = 100000.0f;

int FloatAt(const std::uint8_t* block, int offset, float* out)
{
    std::memcpy(out, block + offset, 4);
    return 0;
}

float LowLevelThreshold(int range)
{
    switch (range) {
    case 0: return 50.0f;
    case 3: return 100.0f;
    default: return 10.0f;
    }
}

}  // namespace

void cTarselDevice::FlushData()
{
    if (opened_)
        lib_->FlushDataBuffer(transport_);
}

bool cTarselDevice::CalibrationBlockValid() const
{
    std::int32_t status = 0;
    std::memcpy(&status, blocks.calibration, 4);
    return (status & 3) == 3;
}

int cTarselDevice::CalibrationStatusExchange(ResPacket* response)
{
    return SingleExchange(0x10, {1}, response);
}

int cTarselDevice::WriteManualParams(const VexManualParam& p)
{
    std::uint8_t payload[28] = {};
    payload[0] = 1;
    PutBe32(payload + 4, static_cast<std::uint32_t>(p.params[0]));
    payload[8] = static_cast<std::uint8_t>(p.params[2]);
    for (int i = 0; i < 3; ++i)
        payload[10 + i] = static_cast<std::uint8_t>(p.params[3 + i]);
    payload[13] = static_cast<std::uint8_t>(p.params[11]);
    PutBe32(payload + 16, static_cast<std::uint32_t>(p.params[1]));
    PutBe32(payload + 20, static_cast<std::uint32_t>(p.params[6]));
    for (int i = 0; i < 4; ++i)
        payload[24 + i] = static_cast<std::uint8_t>(p.params[7 + i]);
    CmdPacket packet(0xA0, lumet::kKindSingle, 0);
    packet.SetPayload(payload, sizeof payload);
    return Exchange(packet, nullptr);
}

int cTarselDevice::ReadManualParams(VexManualParam* p)
{
    ResPacket response;
    const int code = SingleExchange(0xA0, {0}, &response);
    if (code != 0)
        return code;
    const std::uint8_t* b = response.Payload();
    p->params[0] = static_cast<std::int32_t>(GetBe32(b + 4));
    p->params[2] = b[8];
    for (int i = 0; i < 3; ++i)
        p->params[3 + i] = b[10 + i];
    p->params[11] = b[13];
    p->params[1] = static_cast<std::int32_t>(GetBe32(b + 16));
    p->params[6] = static_cast<std::int32_t>(GetBe32(b + 20));
    for (int i = 0; i < 4; ++i)
        p->params[7 + i] = b[24 + i];
    return 0;
}

void cTarselDevice::RememberManualPair(int key1, int key2)
{
    manualPair_[0] = key1;
    manualPair_[1] = key2;
}

namespace {

// Sends command 0xA3 for values from `first`; the reply's header counts the values that follow it.
int RawValuesExchange(cTarselDevice& device, int first, ResponseList* list, int* arrived)
{
    *arrived = 0;
    CmdPacket command(lumet::kCmdRawValues, lumet::kKindSingle, 0);
    std::uint8_t payload[4];
    PutBe32(payload, static_cast<std::uint32_t>(first));
    command.SetPayload(payload, sizeof payload);
    const int code = device.ExchangeMulti(command, list);
    if (code != 0)
        return code;
    if (!list->empty())
        *arrived = GetBe16(list->front().Payload() + 2);
    return 0;
}

// Stores at most count of the values that arrived, perReport slots a report; the first headerSlots slots of the
// first report hold the reply header. decode(payload, slot) gives one value.
template <typename T, typename Decode>
int ReadRawValues(cTarselDevice& device, int first, int count, T* out, int* got, int perReport, int headerSlots,
                  Decode decode)
{
    *got = 0;
    ResponseList list;
    int arrived = 0;
    const int code = RawValuesExchange(device, first, &list, &arrived);
    if (code != 0)
        return code;
    // The reports must carry exactly the values the header counts.
    const std::size_t width = static_cast<std::size_t>(60 / perReport);
    if (list.size() != ReportsFor(width * static_cast<std::size_t>(headerSlots + arrived)))
        return ExchangeMultiCode::kReceiveFailed;
    const int wanted = std::min(count, arrived);
    int stored = 0;
    for (std::size_t r = 0; r < list.size() && stored < wanted; ++r) {
        for (int k = r == 0 ? headerSlots : 0; k < perReport && stored < wanted; ++k)
            out[stored++] = decode(list[r].Payload(), k);
    }
    *got = stored;
    return 0;
}

}  // namespace

int cTarselDevice::ReadRawValues32(int first, int count, float* out, int* got)
{
    // Fifteen values per report.
    return ReadRawValues(*this, first, count, out, got, 15, 1,
                         [](const std::uint8_t* payload, int k) { return GetBeFloat(payload + 4 * k); });
}

int cTarselDevice::ReadRawValues16(int first, int count, std::uint16_t* out, int* got)
{
    // Thirty counts per report, 14 bits left-aligned.
    return ReadRawValues(*this, first, count, out, got, 30, 2, [](const std::uint8_t* payload, int k) {
        return static_cast<std::uint16_t>(GetBe16(payload + 2 * k) >> 2);
    });
}

// ---- measurement ----

int cTarselDevice::OperationResult(int code, int failure)
{
    if (code == 0)
        return 0;
    PushError(code + kOperationOffset);
    return failure;
}

int cTarselDevice::CheckCalibrationReady(int* status, int invalidBlock, int unanswered, int notCalibrated)
{
    if (!CalibrationBlockValid())
        return invalidBlock;
    ResPacket response;
    const int code = CalibrationStatusExchange(&response);
    if (code != 0) {
        PushError(code);
        return unanswered;
    }
    *status = response.Payload()[2];
    return *status == 1 || *status == 2 ? 0 : notCalibrated;
}

int cTarselDevice::StartedOnCalibration(int status)
{
    if (status != 2)
        return 0;
    resultFlag_ = 1;
    return 1;
}

int cTarselDevice::DoMeasurement(int* value)
{
    if (!value)
        return 1303;
    if (!IsRemote())
        return 1302;
    int calibrationStatus = 0;
    const int ready = CheckCalibrationReady(&calibrationStatus, 1301, 1304, 1306);
    if (ready != 0)
        return ready;
    const int code = irrad_.Execute(*this);
    if (code != 0)
        return OperationResult(code, code == 116 ? 1307 : 1305);
    *value = irrad_.ReadyValue();
    manualMeasurement_ = 0;
    return StartedOnCalibration(calibrationStatus);
}

int cTarselDevice::DoManualMeasurement(int key1, int key2)
{
    const int pairCode = LookupManualPair(key1, key2, nullptr);
    if (pairCode != 0)
        return 1300 + pairCode;
    if (!IsRemote())
        return 1322;
    if (!FirmwareAtLeast(1, 12, 0))
        return 1326;
    raw_.Reset();
    VexManualParam params{};
    params.params[0] = key1 == 50000 ? 1208 : 0;
    params.params[1] = key1;
    params.params[2] = key2;
    params.params[7] = 100;
    const int writeCode = WriteManualParams(params);
    if (writeCode != 0) {
        PushError(writeCode);
        return 1331;
    }
    RememberManualPair(key1, key2);
    int calibrationStatus = 0;
    const int ready = CheckCalibrationReady(&calibrationStatus, 1321, 1324, 1321);
    if (ready != 0)
        return ready;
    const int code = OperationResult(irrad_.ManualStart(*this), 1325);
    if (code != 0)
        return code;
    manualMeasurement_ = 1;
    return StartedOnCalibration(calibrationStatus);
}

int cTarselDevice::PollingMeasure(int* state)
{
    if (!state)
        return 1201;
    if (!IsRemote())
        return 1202;
    const int code = irrad_.Poll(*this, state);
    if (code == 106)
        return 1206;
    if (code != 0)
        return OperationResult(code, 1205);
    if (*state != 2)
        return 0;
    float spectrum[421];
    float values[421];
    std::fill(std::begin(values), std::end(values), kInvalidColour);
    raw_.GetProcessed(spectrum);
    color_.SetSpectrum(spectrum);
    const int colourCode = color_.Calculate(values, 0, observer_, 0);
    if (colourCode > 3) {
        PushError(colourCode + Offset::kColour);
        raw_.Reset();
        return 1203;
    }
    if (values[0] > kMaxLux) {
        raw_.Reset();
        return 1204;
    }
    return 0;
}

int cTarselDevice::StopMeasurement()
{
    if (!IsRemote())
        return 1401;
    return OperationResult(irrad_.Stop(*this), 1402);
}

int cTarselDevice::CorrectRawSpectrum(float* raw, int integrationTime)
{
    for (int i = 0; i < raw_.Count(); ++i)
        raw_.GetRaw(i, raw + kRawStride * i);
    std::int32_t referenceTime = 0;
    std::memcpy(&referenceTime, blocks.factory + 560, 4);
    float darkTemperature = 0, exponential = 0, linear = 0;
    FloatAt(blocks.calibration, 8, &darkTemperature);
    FloatAt(blocks.factory, 12, &exponential);
    FloatAt(blocks.factory, 24, &linear);
    float darkRate[128];
    float darkOffset[128];
    std::memcpy(darkRate, blocks.calibration + 20, sizeof darkRate);
    std::memcpy(darkOffset, blocks.calibration + 1556, sizeof darkOffset);
    CorrectByTempAndDark(raw, integrationTime, referenceTime, raw[128], darkTemperature, exponential, linear, darkRate,
                         darkOffset);
    return 0;
}

void cTarselDevice::ApplyUserCalibration(float* out, const float* spectrum) const
{
    for (int i = 0; i < kSpectrumPoints; ++i)
        out[i] = spectrum[i] * userCalibration_.values[i];
}

int cTarselDevice::GetMeasData(int kind, float* values)
{
    if (!IsRemote())
        return 3704;
    if (!values)
        return 3705;
    std::fill(values, values + kSpectrumPoints, kMeasEmpty);
    float spectrum[421];
    if (!raw_.GetProcessed(spectrum))
        return 3703;
    color_.SetSpectrum(spectrum);

    bool lowLevel = false;
    if (manualMeasurement_) {
        float raw[kRawMaxSpectra * kRawStride] = {};
        CorrectRawSpectrum(raw, manualPair_[0] * manualPair_[1]);
        float highest = 0.0f;
        for (int i = 0; i < kRawPixels; ++i)
            highest = std::max(highest, raw[i]);
        ManualRow row{};
        if (LookupManualPair(manualPair_[0], manualPair_[1], &row) == 0) {
            if (highest < static_cast<float>(row.lower))
                resultFlag_ = 7;
            else if (highest > static_cast<float>(row.upper))
                resultFlag_ = 6;
        }
    } else {
        float scratch[421];
        std::fill(std::begin(scratch), std::end(scratch), kInvalidColour);
        const int code = color_.Calculate(scratch, 0, observer_, 0);
        if ((code == 0 || code == 2) && rangeSetting_ != 2 && scratch[0] <= LowLevelThreshold(rangeSetting_)) {
            resultFlag_ = 2;
            lowLevel = true;
        }
    }
    if (userCalibrationNumber_ != 0)
        ApplyUserCalibration(spectrum, spectrum);
    color_.SetSpectrum(spectrum);
    const int result = color_.Calculate(values, kind, observer_, illuminanceUnit_);
    // A failed calculation is never reported as success, low level or not.
    if (result != 0 && result != 2) {
        PushError(result + Offset::kColour);
        return 3702;
    }
    if (lowLevel)
        return 1;
    if (result == 2) {
        resultFlag_ = 3;
        return 1;
    }
    return resultFlag_ == 6 || resultFlag_ == 7 ? 1 : 0;
}

// ---- calibration ----

int cTarselDevice::DoCalibration()
{
    if (!IsRemote())
        return 11102;
    return OperationResult(calibrate_.Execute(*this), 11101);
}

int cTarselDevice::PollingCalibration(int* state)
{
    if (!IsRemote())
        return 11204;
    const int code = calibrate_.Poll(*this, state);
    return OperationResult(code, code == 126 ? 11203 : 11202);
}

int cTarselDevice::GetCalibrateStatus(int* status)
{
    if (!status)
        return 1101;
    if (!IsRemote())
        return 1102;
    ResPacket response;
    const int code = CalibrationStatusExchange(&response);
    if (code != 0) {
        PushError(code);
        return 1103;
    }
    *status = response.Payload()[2];
    return 0;
}

int cTarselDevice::GetWarning(int* warning)
{
    if (!IsRemote())
        return 10001;
    if (!warning)
        return ExportCode::kNullHandle;
    *warning = resultFlag_;
    return 0;
}

int cTarselDevice::GetButtonStatus(VexButtonStatus* status)
{
    if (!status)
        return 801;
    if (!IsRemote())
        return 802;
    ResPacket response;
    const int code = SingleExchange(0xD0, {}, &response);
    if (code != 0) {
        PushError(code);
        return 803;
    }
    const std::uint8_t* b = response.Payload();
    const int positions[5] = {2, 3, 6, 7, 4};
    for (int i = 0; i < 5; ++i)
        status->buttons[i] = b[positions[i]] == 1 ? 1 : 0;
    return 0;
}

int cTarselDevice::GetProperty(int id, int* value)
{
    if (!value)
        return 401;
    if (!IsRemote())
        return 403;
    if (id == 0)
        *value = observer_;
    else if (id == 1)
        *value = illuminanceUnit_;
    else
        return 402;
    return 0;
}

int cTarselDevice::SetProperty(int id, int value)
{
    if (!IsRemote())
        return 503;
    if (id == 0) {
        if (value != 0 && value != 1)
            return 501;
        observer_ = value;
        return 0;
    }
    if (id == 1) {
        if (value != 0 && value != 1)
            return 502;
        illuminanceUnit_ = value;
        return 0;
    }
    return 504;
}

int cTarselDevice::ManualMeasurement(int p0, int p1, int p2)
{
    if (!IsRemote())
        return 11001;
    raw_.Reset();
    VexManualParam params{};
    params.params[0] = p0;
    params.params[1] = p1;
    params.params[2] = p2;
    params.params[7] = 100;
    const int writeCode = WriteManualParams(params);
    if (writeCode != 0) {
        PushError(writeCode);
        return 11002;
    }
    const int startCode = SingleExchange(lumet::kCmdRawMeasurement, {lumet::kRawTriggerNow, lumet::kRawModeSensor, 0},
                                         nullptr);
    if (startCode != 0) {
        PushError(startCode);
        return 11003;
    }
    const std::uint64_t start = ClockMs();
    for (;;) {
        ResPacket response;
        const int code = SingleExchange(lumet::kCmdRawMeasurement, {2, 0, 0}, &response);
        if (code != 0) {
            PushError(code);
            return 11004;
        }
        const std::uint8_t ready = response.Payload()[0];
        if (ready == 1)
            break;
        if (ready != 2 || ClockMs() - start >= kReadyLoopLimitMs)
            return 11004;
        Pause(1);
    }
    float values[kRawStride] = {};
    int got = 0;
    const int readCode = ReadRawValues32(0, kRawStride, values, &got);
    if (readCode != 0 || got != kRawStride) {
        if (readCode != 0)
            PushError(readCode);
        return 11005;
    }
    for (int i = 0; i < kRawStride; ++i) {
        if (!(values[i] < kPixelLimit))
            return i < kRawPixels ? 11006 : 11007;
    }
    float spectrum[421];
    if (CalcIrradiance(values, p1, 1, &blocks, blocks.calibration, spectrum, 0) != 0)
        return 11008;
    raw_.AddRaw(values);
    raw_.SetProcessed(spectrum);
    raw_.SetValue(p1);
    return 0;
}

int cTarselDevice::DoDarkCalib(void* result, int setting1, int setting2)
{
    if (!result)
        return 13001;
    float readings[2 * kRawStride] = {};
    const int settings[2] = {setting1, setting2};
    for (int k = 0; k < 2; ++k) {
        const int code = ManualMeasurement(0, settings[k], 200);
        if (code != 0)
            return code;
        int value = 0, count = 0;
        const int rawCode = GetRawDataSDK(readings + kRawStride * k, &value, 1, &count);
        if (rawCode != 0)
            return rawCode;
    }
    if (CalcCalibRadiance_JIGU(readings, 2, &blocks, result, static_cast<unsigned>(setting1),
                               static_cast<unsigned>(setting2)) != 0)
        return 13002;
    return 0;
}

// ---- what the all-device exports do on each device ----

int cTarselDevice::ReadyWaitAll(int* value)
{
    if (!value)
        return 10701;
    const int code = OperationResult(irrad_.ReadyWait(*this), 10703);
    if (code != 0)
        return code;
    *value = irrad_.ReadyValue();
    return 0;
}

int cTarselDevice::ManualStartAll()
{
    manualMeasurement_ = 1;
    return OperationResult(irrad_.ManualStart(*this), 10601);
}

int cTarselDevice::PlainStartAll()
{
    manualMeasurement_ = 0;
    return OperationResult(irrad_.PlainStart(*this), 10601);
}

}  // namespace vexapi
