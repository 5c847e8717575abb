#pragma once
// The value records every part of the program passes around: chart definitions, measurements, the document
// list entries, the sheet information block exchanged with the chart scanner, tolerance rows, the display
// record of the measurement-condition tree and the user-illuminant slots.
//
// Charts and measurements own their arrays (pages, patches, image bytes) through std::unique_ptr, so they
// cannot be copied by accident: a hand-over is a std::move, a deep copy is CopyChartDefinitionData /
// CopyMeasureFileData, and the arrays go when the record goes or is cleared (ClearChartDefinitionData /
// ClearMeasureFileData). Arrays are made by the New* helpers of app/recordhelpers.h; the count fields beside
// them say how many records each holds.

#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <memory>
#include <type_traits>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the blocks exchanged with the instrument libraries are little-endian");

constexpr int kMaxAreaCount = 50;
constexpr int kMaxClipAreaCount = 50;
constexpr int kMaxColorValueCount = 8;
constexpr int kInstrumentValueCount = 152;

// Bytes of an image of width x height pixels at bitsPerPixel (integer division by 8), computed in 64 bits.
// 0 for any negative factor and for a size no buffer can have.
qint64 ImageByteCount(qint64 width, qint64 height, qint64 bitsPerPixel);

namespace ChartDefinitionData {

enum ChartKind { KindNormal = 0, KindDensity = 1, KindUneven = 2 };
enum RecogMode { RecogAuto = 0, RecogDefinition = 1, RecogCoordinate = 2, RecogMatrix = 3, RecogCombine = 4 };
// Values in use = format + 2.
enum ColorFormat {
    FormatNone = 0,
    FormatRGB = 1,
    FormatCMYK = 2,
    Format5Color = 3,
    Format6Color = 4,
    Format7Color = 5,
    Format8Color = 6,
};

// The defined colour of one patch.
struct PatchColor {
    int ID = 0;
    int Area = 0;
    int Row = 0;
    int Column = 0;
    int ColorFormat = 0;
    float ColorValue[kMaxColorValueCount] = {};
};

struct AreaCounts {
    int RowCount = 0;
    int ColumnCount = 0;
    int PatchCount = 0;
};

// Top-left corner, patch size and pitch (origin to origin) of a patch area.
struct AreaPlacement {
    int LeftTopX = 0;
    int LeftTopY = 0;
    int PatchWidth = 0;
    int PatchHeight = 0;
    int PatchWidthGap = 0;
    int PatchHeightGap = 0;
};

struct ClipArea {
    int LeftTopX = 0;
    int LeftTopY = 0;
    int RightTopX = 0;
    int RightTopY = 0;
    int LeftBottomX = 0;
    int LeftBottomY = 0;
    int RightBottomX = 0;
    int RightBottomY = 0;
};

// One page of a chart. Slots beyond AreaCount / ClipAreaCount stay zero.
struct Sheet {
    int Width = 0;
    int Height = 0;
    int PatchCount = 0;
    int AreaCount = 0;
    AreaCounts Areas[kMaxAreaCount] = {};
    AreaPlacement Placements[kMaxAreaCount] = {};
    int HasImage = 0;
    int ClipAreaCount = 0;
    ClipArea ClipAreas[kMaxClipAreaCount] = {};
    int ImageWidth = 0;
    int ImageHeight = 0;
    int BitPerPixel = 0;
    std::unique_ptr<unsigned char[]> ImageBytes; // ImageByteCount(ImageWidth, ImageHeight, BitPerPixel) bytes
    std::unique_ptr<PatchColor[]> Patches;       // PatchCount records
    int BarcodeLeftTopX = 0;
    int BarcodeLeftTopY = 0;
    int BarcodeWidth = 0;
    int BarcodeHeight = 0;
    int ImageDPI = 0;
};

} // namespace ChartDefinitionData

// A chart definition with its pages.
struct ChartDefinitionDataSheets {
    int Kind = 0;
    int SheetCount = 0;
    int ChartPatchCount = 0;
    int Diameter = 0;
    QString UUID;
    QString ChartName;
    QString CreateTime;
    int UNIT = 0;
    int Barcode = 0;
    int Recog = 0;
    std::unique_ptr<ChartDefinitionData::Sheet[]> Sheets; // SheetCount pages
};

// One measured page.
struct MeasurementData {
    // One measured patch: 167 32-bit words, handed whole to the chart-scanner library.
    struct PatchData {
        int ID = 0; // word 0: matching key in ID order
        int Area = 0;
        int Row = 0;
        int Column = 0;
        int X = 0; // measure point on the page, 0.01 mm
        int Y = 0;
        float Values[kInstrumentValueCount] = {}; // the instrument's result block, never interpreted here
        int ColorFormat = 0;
        float ColorValue[kMaxColorValueCount] = {};
    };

    int Width = 0; // page image
    int Height = 0;
    int BitPerPixel = 0;
    int PageNumber = 0; // 1-based chart page, 0 = not measured
    int RecordCount = 0;
    int MeasuredCount = 0;
    std::unique_ptr<PatchData[]> Records;        // RecordCount records
    std::unique_ptr<unsigned char[]> ImageBytes; // ImageByteCount(Width, Height, BitPerPixel) bytes
    int ImageDPI = 0;
};

// The measurement of a chart.
struct MeasurementDataSheets {
    int Mode = 0; // instrument kind: 0 chart scanner, 1-3 handheld
    QString SerialNumber; // at most 8 characters
    int SheetCount = 0;
    int RecordCount = 0;
    int Diameter = 0;
    // Density measurements: the two halves of the first barcode text; empty otherwise.
    QString BarcodeText1;
    QString BarcodeText2;
    std::unique_ptr<MeasurementData[]> Sheets; // SheetCount entries
};

// Document list entries. Fields marked run-time never reach a file.
struct ChartDesigData {
    int ID = 0;
    int JobNumber = 0; // run-time
    int Kind = 0;
    int SheetCount = 0;
    int ChartPatchCount = 0;
    int Diameter = 0;
    int Reserved = 0; // run-time
    QString UUID;
    QString ChartName;
    QString CreateTime;
    int Recog = 0;
};

struct DensityBalanceData {
    int ID = 0;
    int JobNumber = 0; // run-time
    int Kind = 1;
    int Template = 0;
    int SecondNumber = 0; // 1 for the SRA3 preset, 0 for the A4 presets
    int SheetCount = 0;
    int ChartPatchCount = 0;
    int Diameter = 0;
    int Reserved1 = 0; // run-time
    QString UUID;
    QString ChartName;
    QString CreateTime;
    int Reserved2 = 0; // run-time
};

// Designation and density measurements share this record.
struct ChartDesigMeasureData {
    int ID = 0;
    int ChartID = 0;
    int RecordCount = 0;
    int Diameter = 0;
    QString ChartName;
    QString CreateTime;
};

// A recognition measurement; ChartID is 0.
struct ChartRecogData {
    int ID = 0;
    int ChartID = 0;
    int RecordCount = 0;
    int Diameter = 0;
    QString ChartName;
    QString CreateTime;
};

// The 1,172-byte sheet block the chart-scanner library takes and returns (QR content of one sheet).
struct SheetInfoRecord {
    struct AreaTriple {
        qint32 RowCount;
        qint32 ColumnCount;
        qint32 PatchCount;
    };
    char ModelText[4];
    char DeviceCode[4];
    char ChartCode[16]; // local 8-bit encoding, zero-padded, no terminator when full
    qint32 SheetCount;
    qint32 SheetNumber; // 1-based
    qint32 PatchCount;
    qint32 AreaCount; // 0..50
    AreaTriple Areas[kMaxAreaCount];
    quint32 Words[4];
    quint32 Reserved;
    char Text[512]; // zero-terminated when shorter
};

// Diagnosis tolerances of one row.
constexpr int kTolerancePairCount = 14;
struct ToleranceRecord {
    struct Pair {
        qint32 TileId;
        float Tolerance;
    };
    qint32 Kind;
    qint32 RowIndex;
    quint32 PairCount;
    Pair Pairs[kTolerancePairCount];
};
constexpr int kDefaultToleranceRowCount = 5;

// One of the five user-illuminant slots the illuminant store hands out; slot k is illuminant and condition id 15 + k.
struct UserIlluminantSlot {
    int Number = -1; // -1 when empty
    QString Name;
    int Source = 0;
    QString DisplayDate; // "yyyy/MM/dd hh:mm:ss"
};
constexpr int kUserIlluminantSlotCount = 5;
using UserIlluminantSlots = std::array<UserIlluminantSlot, kUserIlluminantSlotCount>;

namespace Setting {

// What the measurement-condition tree shows (twelve 32-bit ints).
struct MeasureConditionSetting {
    int DensityShown;
    int WhiteReference; // 0 "Absolute", 1 "Paper"
    int DensityStatus;  // 0 "T" .. 4 "DIN"
    int ColorSpaceShown;
    int LabShown;
    int LchShown;
    int XyzShown;
    int Observer;   // 0 "2", 1 "10" degree
    int Illuminant; // colorimetric illuminant id, 20 = "Auto"
    int SpectralShown;
    int ConditionMask; // bit n = measurement condition id n
    int PatchColorShown;
};

} // namespace Setting

// Layouts that cross library boundaries or fill fixed arrays.
static_assert(sizeof(ChartDefinitionData::PatchColor) == 52, "PatchColor layout");
static_assert(std::is_trivially_copyable<ChartDefinitionData::PatchColor>::value, "PatchColor copies by value");
static_assert(sizeof(MeasurementData::PatchData) == 668 && sizeof(MeasurementData::PatchData) == 167 * 4,
              "PatchData layout");
static_assert(std::is_standard_layout<MeasurementData::PatchData>::value &&
                  std::is_trivially_copyable<MeasurementData::PatchData>::value,
              "PatchData is a plain block");
static_assert(offsetof(MeasurementData::PatchData, Area) == 4 && offsetof(MeasurementData::PatchData, Row) == 8 &&
                  offsetof(MeasurementData::PatchData, Column) == 12 && offsetof(MeasurementData::PatchData, X) == 16 &&
                  offsetof(MeasurementData::PatchData, Y) == 20 && offsetof(MeasurementData::PatchData, Values) == 24 &&
                  offsetof(MeasurementData::PatchData, ColorFormat) == 632 &&
                  offsetof(MeasurementData::PatchData, ColorValue) == 636,
              "PatchData offsets");
static_assert(sizeof(ToleranceRecord) == 124 && std::is_trivially_copyable<ToleranceRecord>::value,
              "tolerance record layout");
static_assert(sizeof(SheetInfoRecord) == 1172 && std::is_trivially_copyable<SheetInfoRecord>::value,
              "sheet information record layout");
static_assert(offsetof(SheetInfoRecord, ModelText) == 0 && offsetof(SheetInfoRecord, DeviceCode) == 4 &&
                  offsetof(SheetInfoRecord, ChartCode) == 8 && offsetof(SheetInfoRecord, SheetCount) == 24 &&
                  offsetof(SheetInfoRecord, SheetNumber) == 28 && offsetof(SheetInfoRecord, PatchCount) == 32 &&
                  offsetof(SheetInfoRecord, AreaCount) == 36 && offsetof(SheetInfoRecord, Areas) == 40 &&
                  offsetof(SheetInfoRecord, Words) == 640 && offsetof(SheetInfoRecord, Reserved) == 656 &&
                  offsetof(SheetInfoRecord, Text) == 660,
              "sheet information record offsets");
static_assert(sizeof(ChartDefinitionData::Sheet::Areas) / sizeof(ChartDefinitionData::AreaCounts) == 50 &&
                  sizeof(ChartDefinitionData::Sheet::Placements) / sizeof(ChartDefinitionData::AreaPlacement) == 50 &&
                  sizeof(ChartDefinitionData::Sheet::ClipAreas) / sizeof(ChartDefinitionData::ClipArea) == 50,
              "50 area and 50 clip slots per page");
static_assert(sizeof(Setting::MeasureConditionSetting) == 12 * 4, "twelve ints");

// The records that own arrays move but never copy: a copy would share the arrays.
static_assert(!std::is_copy_constructible_v<ChartDefinitionData::Sheet> &&
                  !std::is_copy_assignable_v<ChartDefinitionData::Sheet> &&
                  std::is_nothrow_move_constructible_v<ChartDefinitionData::Sheet> &&
                  std::is_nothrow_move_assignable_v<ChartDefinitionData::Sheet>,
              "a chart page moves, never copies");
static_assert(!std::is_copy_constructible_v<ChartDefinitionDataSheets> &&
                  !std::is_copy_assignable_v<ChartDefinitionDataSheets> &&
                  std::is_nothrow_move_constructible_v<ChartDefinitionDataSheets> &&
                  std::is_nothrow_move_assignable_v<ChartDefinitionDataSheets>,
              "a chart moves, never copies");
static_assert(!std::is_copy_constructible_v<MeasurementData> && !std::is_copy_assignable_v<MeasurementData> &&
                  std::is_nothrow_move_constructible_v<MeasurementData> &&
                  std::is_nothrow_move_assignable_v<MeasurementData>,
              "a measured page moves, never copies");
static_assert(!std::is_copy_constructible_v<MeasurementDataSheets> &&
                  !std::is_copy_assignable_v<MeasurementDataSheets> &&
                  std::is_nothrow_move_constructible_v<MeasurementDataSheets> &&
                  std::is_nothrow_move_assignable_v<MeasurementDataSheets>,
              "a measurement moves, never copies");

Q_DECLARE_METATYPE(ChartDefinitionData::PatchColor)

// Registers the record meta-types by name; safe to call more than once.
void RegisterRecordMetaTypes();
