// Result codes, one set per producer. Several producers share values; a shared value appears here
// under each producer's name on purpose, and the caller's own result tells which producer pushed it.
#pragma once

namespace vexapi {

namespace ExportCode {
constexpr int kOk = 0;
constexpr int kNullHandle = 10;
constexpr int kOpenFailed = 13;
constexpr int kIoCtrlNull = 14;
constexpr int kNotSupported = 15;
}  // namespace ExportCode

// CLibZUCom status.
namespace ZuStatus {
constexpr int kOk = 0;
constexpr int kDeviceFailed = 1;
constexpr int kStatus2 = 2;
constexpr int kNullArgument = 3;
constexpr int kIoFailed = 4;
constexpr int kNotInitialized = 5;
constexpr int kTimeout = 6;
constexpr int kStatus7 = 7;
constexpr int kStatus8 = 8;
constexpr int kOther = 255;
}  // namespace ZuStatus

// Response status bytes mapped by cTarselDevice::StatusToError.
namespace StatusCode {
constexpr int kStatus2 = 2901;
constexpr int kStatus3 = 2902;
constexpr int kStatus4 = 2903;
constexpr int kStatus6 = 2904;
constexpr int kStatus15 = 2905;
constexpr int kOther = 2906;
}  // namespace StatusCode

namespace ExchangeCode {
constexpr int kNotOpen = 6001;
constexpr int kSendFailed = 6002;
constexpr int kReceiveFailed = 6003;
constexpr int kNotOneReport = 6004;
}  // namespace ExchangeCode

namespace ExchangeFlushBothCode {
constexpr int kNotOpen = 10301;
constexpr int kSendFailed = 10302;
constexpr int kReceiveFailed = 10303;
constexpr int kNotOneReport = 10304;
}  // namespace ExchangeFlushBothCode

namespace ExchangeMultiCode {
constexpr int kNotOpen = 7001;
constexpr int kSendFailed = 7002;
constexpr int kReceiveFailed = 7003;
constexpr int kErrorStatus = 7004;
}  // namespace ExchangeMultiCode

namespace ExchangeBytesCode {
constexpr int kNotOpen = 1501;
constexpr int kSendFailed = 1502;
constexpr int kReceiveFailed = 1503;
constexpr int kShort = 1504;  // the reply is shorter, or longer, than the command asks for
constexpr int kErrorStatus = 1505;
}  // namespace ExchangeBytesCode

namespace DataReportCode {
constexpr int kNullRecord = 7101;
constexpr int kBadSize = 7102;
constexpr int kReadFailed = 7103;
}  // namespace DataReportCode

namespace RemoteCode {
constexpr int kNullMode = 301;
constexpr int kBadMode = 302;
constexpr int kGetFailed = 303;
constexpr int kSetFailed = 304;
constexpr int kBlocksFailed = 305;
constexpr int kRankFailed = 306;
constexpr int kRangeFailed = 307;
constexpr int kSwitchOffFailed = 308;
constexpr int kUserCalibrationFailed = 309;
}  // namespace RemoteCode

namespace DeviceIdCode {
constexpr int kNullRecord = 901;
constexpr int kNoMagic = 902;
constexpr int kNotRemote = 903;
}  // namespace DeviceIdCode

namespace FirmwareCode {
constexpr int kNull = 4201;
constexpr int kExchangeFailed = 4202;
}  // namespace FirmwareCode

namespace FactoryBlocksCode {
constexpr int kBadType = 6201;
constexpr int kInfoFailed = 6202;
constexpr int kFactoryFailed = 6203;
constexpr int kCalibrationFailed = 6204;
}  // namespace FactoryBlocksCode

namespace SdkVersionCode {
constexpr int kNull = 101;
}  // namespace SdkVersionCode

namespace MemoryCode {
constexpr int kNullRecord = 4401;
constexpr int kBadCommandRequest = 4402;
constexpr int kCommandFailed = 4403;
constexpr int kBadWriteRequest = 4404;
constexpr int kNoWriteConverter = 4405;
constexpr int kWriteSendFailed = 4406;
constexpr int kWriteNoResponse = 4407;
constexpr int kWriteStatus = 4408;
constexpr int kBadReadRequest = 4409;
constexpr int kReadBadBlock = 4410;  // kept: the request check before it already refuses such blocks
constexpr int kReadFailed = 4411;
constexpr int kNoReadConverter = 4412;
constexpr int kBadOperation = 4413;
}  // namespace MemoryCode

namespace MemoryCheckCode {
constexpr int kBadOperation = 9501;
constexpr int kBadBlock = 9502;
constexpr int kBadLength = 9503;
}  // namespace MemoryCheckCode

namespace StoredCode {
constexpr int kCountFailed = 9101;
constexpr int kReadFailed = 6801;
constexpr int kLoadReadFailed = 9001;
constexpr int kLoadAddFailed = 9002;
}  // namespace StoredCode

namespace StoredNumCode {
constexpr int kNullCount = 5901;
constexpr int kNotRemote = 5902;
constexpr int kCountFailed = 5903;
}  // namespace StoredNumCode

namespace StoredDataCode {
constexpr int kNullArray = 5801;
constexpr int kNotRemote = 5802;
constexpr int kCountFailed = 5803;
constexpr int kCapacity = 5804;
constexpr int kReloadFailed = 5805;
constexpr int kCacheReadFailed = 5806;
constexpr int kSpectrumRefused = 5807;
constexpr int kColourFailed = 5808;
constexpr int kNothingStored = 5809;
}  // namespace StoredDataCode

namespace UserCalibrationCode {
constexpr int kNumber = 2201;
constexpr int kNullRecord = 2202;
constexpr int kNotRemote = 2203;
constexpr int kReadFailed = 2204;
constexpr int kQueryFailed = 2205;
constexpr int kAbsent = 2206;
constexpr int kQueryExchange = 201;
constexpr int kReadExchange = 6301;
constexpr int kLoadSettingFailed = 5201;
constexpr int kLoadReadFailed = 5202;
}  // namespace UserCalibrationCode

namespace RankLoadCode {
constexpr int kDeleteFailed = 8301;
constexpr int kReadFailed = 8302;
constexpr int kSetFailed = 8303;
constexpr int kQueryFailed = 8304;
constexpr int kQueryExchange = 8601;
constexpr int kReadExchange = 8501;
}  // namespace RankLoadCode

namespace MeasSettingCode {
constexpr int kNullRecord = 1001;
constexpr int kNotRemote = 1002;
constexpr int kBadType = 1003;
constexpr int kRangeReadFailed = 7602;
constexpr int kUserCalibrationReadFailed = 7702;
}  // namespace MeasSettingCode

// cRank's own codes (pushed + 20000).
namespace RankCode {
constexpr int kOk = 0;
constexpr int kNotInside = 1;
constexpr int kNoEntry = 101;
constexpr int kBadFlag = 102;
constexpr int kGetIndex = 103;
constexpr int kEmpty = 104;
constexpr int kSetIndex = 105;
constexpr int kDeleteIndex = 106;
constexpr int kBadPolygon = 107;
constexpr int kClosingEdgeCrosses = 111;
constexpr int kNewEdgeCrosses = 112;
constexpr int kLongName = 114;
constexpr int kNull = 115;
}  // namespace RankCode

// cMeasDataMng's own codes (pushed + 60000).
namespace MeasDataCode {
constexpr int kFull = 101;
constexpr int kIndex = 102;
}  // namespace MeasDataCode

namespace Offset {
constexpr int kRank = 20000;
constexpr int kColour = 30000;
constexpr int kOperation = 40000;
constexpr int kColourDiff = 50000;
constexpr int kMeasData = 60000;
}  // namespace Offset

constexpr int kEmptyErrorSlot = 9;

}  // namespace vexapi
