// The instrument side of the Lumet command protocol: the values the host library and the simulated
// instrument must agree on and that no caller chooses. Internal; not installed. Nothing else in the
// project repeats these values.
#pragma once

#include <cstdint>

namespace lumet {

// USB ids. The vendor id lies outside every range the USB-IF has handed out (0xFFFE is kept back as
// unassigned), so no shipping product answers to the pair; a udev rule for a real instrument uses them.
constexpr std::uint16_t kVendorId = 0xFFFE;
constexpr std::uint16_t kProductId = 0x4C4D;

// Report geometry of the two HID interfaces.
constexpr int kReportLength = 65;
constexpr int kPayloadLength = 60;
constexpr int kCommandInputLength = 65;
constexpr int kCommandOutputLength = 65;
constexpr int kDataInputShort = 65;
constexpr int kDataInputLong = 513;

// Packet kinds (byte 2 of every report).
constexpr std::uint8_t kKindFirst = 1;
constexpr std::uint8_t kKindMiddle = 2;
constexpr std::uint8_t kKindLast = 3;
constexpr std::uint8_t kKindSingle = 4;

// Reply status bytes. Success is 1. An unknown command answers 15 (maps to 2905, "not supported"); a
// request the instrument refuses (a record number out of range, an absent record, a broken request
// sequence) answers 4 (maps to 2903).
constexpr std::uint8_t kStatusOk = 1;
constexpr std::uint8_t kStatusRefused = 4;
constexpr std::uint8_t kStatusUnknownCommand = 15;

// Commands.
constexpr std::uint8_t kCmdRemoteMode = 0x01;
constexpr std::uint8_t kCmdMemoryBlock = 0x12;
constexpr std::uint8_t kCmdStoredRecord = 0x13;
constexpr std::uint8_t kCmdTargetRecord = 0x14;
constexpr std::uint8_t kCmdUserCalibrationRecord = 0x15;
constexpr std::uint8_t kCmdRankRecord = 0x16;
constexpr std::uint8_t kCmdSelectedTarget = 0x1A;
constexpr std::uint8_t kCmdSelectedUserCalibration = 0x1B;
constexpr std::uint8_t kCmdRange = 0x23;
constexpr std::uint8_t kCmdBulk = 0x90;
constexpr std::uint8_t kCmdRawMeasurement = 0xA2;
constexpr std::uint8_t kCmdRawValues = 0xA3;
constexpr std::uint8_t kCmdFirmwareVersion = 0xF1;

// Record operation byte of commands 0x13-0x16.
constexpr std::uint8_t kRecordRead = 0;
constexpr std::uint8_t kRecordWrite = 1;
constexpr std::uint8_t kRecordDelete = 2;
constexpr std::uint8_t kRecordQuery = 3;

// Device record sizes on the wire.
constexpr int kStoredRecordSize = 1704;
constexpr int kSpectralRecordSize = 1708;
constexpr int kRankRecordSize = 208;
constexpr int kStoredRecordMax = 100;
constexpr int kTargetRecordMax = 20;
constexpr int kUserCalibrationRecordMax = 10;
constexpr int kRankRecordMax = 20;

// Memory blocks of command 0x12.
constexpr int kInfoBlockSize = 56;
constexpr int kFactoryBlockSize = 33872;
constexpr int kBlock2MaxSize = 33872;
constexpr int kCalibrationBlockSize = 3092;
// Block and bulk data travel behind a 4-byte header that echoes the request: {operation, block, 0, 0}
// for command 0x12, {operation, 0, length} for command 0x90, where bytes 2-3 (16-bit big-endian) count
// the bytes that follow, so a short bulk record shows. The host skips it.
constexpr int kBlockHeaderSize = 4;
// The instrument cannot know from {operation, block} how much of block 2 is wanted, so a read request
// carries the data length as a 32-bit big-endian value in payload bytes 4-7 (ignored for the fixed-size
// blocks, whose whole content is answered).
constexpr int kBlockReadLengthOffset = 4;

// Writing stored measurement n (command 0x13, operation 1) replaces record n when n <= count and
// appends when n = count + 1; a larger number is refused. Writing records 1..n thus replaces the first n.

// Device info block: the magic at bytes 20-23 and the device type in BCD at bytes 6-7. The device-ID
// record's int at byte 84 is BCD(byte 6) x 100 + BCD(byte 7); a Lumet carries 0x01 0x00, i.e. 100.
constexpr char kInfoMagic[4] = {'Z', 'A', 'P', 'H'};
constexpr int kInfoMagicOffset = 20;
constexpr std::uint8_t kLumetTypeHigh = 0x01;
constexpr std::uint8_t kLumetTypeLow = 0x00;

// Spectral data sets on the data interface travel with sample format 2 (fifteen 32-bit big-endian values
// per report), so the host's per-format conversion delivers the leading int and the 132 floats of each
// set in host order.
constexpr std::uint8_t kSampleFormat16 = 1;
constexpr std::uint8_t kSampleFormat32 = 2;
constexpr std::uint8_t kSpectralSampleFormat = kSampleFormat32;

// Command 0xA2 write payload {trigger, mode, flag}: trigger 0 starts now, 1 waits for the button;
// mode 0-4 chooses what is measured, mode 2 being a raw sensor reading; flag 1 keeps the shutter shut.
// So {0, 2, 0} starts a raw measurement at once, and DevIOCtrl's {start, mode, flag} ranges hold.
constexpr std::uint8_t kRawTriggerNow = 0;
constexpr std::uint8_t kRawTriggerButton = 1;
constexpr std::uint8_t kRawModeSensor = 2;

// Command 0xA3 (raw values from payload bytes 0-3, the first index, 32-bit big-endian): the command
// interface answers with a report sequence whose first report starts with a 4-byte header
// {sample format, 0, value count (16-bit big-endian)}. The width is the one the last raw measurement
// produced: modes 0 and 1 yield 16-bit counts (format 1, thirty values per report), modes 2-4 yield
// 32-bit floats (format 2, fifteen per report). The header fills the room of two 16-bit values or one
// 32-bit value, which is what the two host readers skip.
constexpr int kRawValuesHeaderSize = 4;
inline bool RawModeIs32Bit(int mode) { return mode >= 2; }

// The measuring instrument, in polls (the simulator never waits on the clock):
// - 0x11 operation 0 starts with the reference integration time t; operation 1 answers payload byte 1
//   = 4 with a ready value (bytes 4-7) of 0 for the configured start polls, then the ready value t, then
//   4 for the configured measuring polls, then 3; operation 3 queues the data set on the data interface;
//   operation 2 stops; operation 4 starts a manual measurement integrating parameter 1 x parameter 2
//   of the last 0xA0 write, reported as the data set's header.
// - 0x10 operation 1 answers byte 1 = 4 while calibrating, then 3, and the calibration status in byte 2;
//   operation 3 queues data set n (payload byte 3); after the fourth the dark temperature of the
//   calibration block moves on by 1 degree.
// - 0xA2 with byte 0 = 2 asks for readiness: 2 busy, 1 ready. 0xA0 keeps its payload.
// - A write of the selected user calibration (0x1B) naming an absent record answers status 6; erasing
//   the selected user calibration (or all) selects 0.
// - Button answer (0xD0): eight payload bytes, the buttons at 2, 3, 6, 7 and 4.

}  // namespace lumet
