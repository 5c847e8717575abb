#pragma once
// The program's fixed vocabulary: languages, inks, paper sizes, colour formats, density statuses, measurement
// conditions, illuminants, reference tiles, zoom steps, length units and file filters. Ids, bits and row orders
// are stored in settings and document files and sent to the instruments, so they never change. Only a few
// display texts are replaced by their translations once a translator is installed (TranslateStaticNames).

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include "app/records.h"

// ---- Languages ----------------------------------------------------------------------------------------------

struct Language {
    QString displayName; // empty for the rows whose name the language list fills in
    QString code;        // ISO 639-1, kept as data
    QString fileCode;    // names the translation file Varemo_<file code>.qm and the language choice
};

constexpr int kLanguageCount = 13;

const QVector<Language> &Languages();
// The language list re-sets some display names to their translations.
void SetLanguageDisplayName(int row, const QString &name);
// The file code of the first row, "eng".
QString DefaultLanguageCode();

// ---- Reference inks -----------------------------------------------------------------------------------------

// One ink channel's display colour; L*, a*, b* in hundredths.
struct InkChannel {
    QString name;
    int L = 0;
    int a = 0;
    int b = 0;
};
// Implicitly shared, so copies of the user environment share one list until one of them writes.
using InkChannelList = QList<InkChannel>;

constexpr int kReferenceInkCount = 8;

// A new list of the 8 reference inks: Cyan, Magenta, Yellow, Black, Orange, Green, Red, Blue.
InkChannelList ReferenceInkChannels();

// ---- Paper sizes (hundredths of a millimetre) ---------------------------------------------------------------

struct PaperSize {
    int width = 0;
    int height = 0;
};

struct CustomPaperSizeLimits {
    int minWidth;
    int minHeight;
    int maxWidth;
    int maxHeight;
};

constexpr int kFixedPaperSizeCount = 8;
constexpr int kCustomPaperSizeRow = 8; // the row after the fixed ones

// Rows 0-7; {0, 0} for any other row.
PaperSize FixedPaperSize(int row);
CustomPaperSizeLimits CustomPaperSize();
// The nine row names; only row 6 ("A3") is named here, the resource data fills in the translated others.
QStringList &PaperSizeNames();

// ---- Colour formats (index = ChartDefinitionData::ColorFormat) ----------------------------------------------

struct ColorFormatInfo {
    QStringList channelNames;
    float minimum;
    float maximum;
    float paperWhite;
};

constexpr int kColorFormatCount = 7;

// Formats 0-6; the empty row of format 0 for any other value.
const ColorFormatInfo &ColorFormatRow(int format);

// ---- Density, observer, colour space, difference, judgement, grid mode --------------------------------------

QString DensityStatusName(int index);
QStringList DensityStatusNames();
int DensityStatusCode(int index); // 15 when unknown

// The key written into files, never translated.
QString WhiteReferenceKey(int index);
// The two display texts (translated once TranslateStaticNames ran).
QStringList WhiteReferenceNames();

QString ObserverName(int index);
QStringList ObserverNames();
int ObserverCode(int index); // 2 when unknown

QString ColorSpaceName(int index);
QString LabComponentName(int id);
QString ColorDifferenceName(int id);

QString JudgementName(int id);
QColor JudgementBackgroundColor(int id); // white when unknown

QString ChartGridModeName(int value);

// ---- Measurement conditions ---------------------------------------------------------------------------------

struct MeasurementCondition {
    int bit;
    int id;
    int userSlot; // -1, or 0-4 for the user illuminants
    const char *shortName;
    const char *lightSourceName;
    int illuminantCode; // the instrument's code
    const char *longName;
};

constexpr int kMeasurementConditionCount = 20;
constexpr int kFirstUserConditionId = 15;

// The row of a condition id, nullptr when unknown.
const MeasurementCondition *FindMeasurementCondition(int id);
int MeasurementConditionBit(int id); // 0 when unknown
// Ids whose bit is set, in table order; bits above the table are ignored.
QVector<int> MeasurementConditionIdsFromMask(int mask);
int MeasurementConditionUserSlot(int id);         // -1 when unknown
int MeasurementConditionIlluminantCode(int id);   // 16 when unknown
bool IsUserMeasurementCondition(int id);

// Names of a condition; a user condition takes the name of the registered user illuminant whose slot number
// equals its slot. Empty when the id is unknown or no registered illuminant has that slot.
QString MeasurementConditionName(int id, const UserIlluminantSlots &illuminants);
QString MeasurementConditionLongName(int id, const UserIlluminantSlots &illuminants);
QString MeasurementConditionIlluminantName(int id, const UserIlluminantSlots &illuminants);

// ---- Colorimetric illuminants -------------------------------------------------------------------------------

constexpr int kIlluminantCount = 21;
constexpr int kAutoIlluminantId = 20;
constexpr int kFirstUserIlluminantId = 15;

// "Auto" (20) resolves through AutoIlluminantFor(conditionId) first; user ids through the slots as above.
QString IlluminantName(int id, int conditionId, const UserIlluminantSlots &illuminants);
// The 21 names in id order, with the display text of "Auto".
QStringList IlluminantNames();
int IlluminantUserSlot(int id); // -1 when unknown
int IlluminantCode(int id);     // 16 when unknown
bool IsAutoIlluminant(int id);
// The illuminant that "Auto" means for a measurement condition; D50 (2) for unknown conditions.
int AutoIlluminantFor(int conditionId);

// ---- Default display records --------------------------------------------------------------------------------

Setting::MeasureConditionSetting DefaultDisplayColumns();        // condition mask 7 (M0, M1, M2)
Setting::MeasureConditionSetting DefaultDensityDisplayColumns(); // condition mask 2 (M1)

// ---- Reference tiles of the instrument diagnosis ------------------------------------------------------------

constexpr int kTileCount = 14;

QString TileName(int id);
QColor TileBackgroundColor(int id); // white when unknown
QColor TileTextColor(int id);       // black when unknown

// ---- Zoom tables --------------------------------------------------------------------------------------------

struct ZoomStep {
    QString label; // empty for an unused slot
    int percent;   // 0 = fit in the window
};

constexpr int kZoomTableCount = 2;
constexpr int kZoomTableSlots = 9;

// The nine slots of zoom table 0 or 1 (empty vector for any other table); unused slots come last.
QVector<ZoomStep> ZoomTable(int table);

// ---- Length units -------------------------------------------------------------------------------------------

struct LengthUnit {
    const char *name;
    double millimetresPerUnit;
    double unitsPerInch;
    int decimals;
};

enum LengthUnitIndex { kUnitMm = 0, kUnitInch = 1 };
constexpr int kLengthUnitCount = 2;

// The row of a unit; unknown units are treated as millimetres so that conversions stay defined.
const LengthUnit &LengthUnitRow(int unit);
QString UnitName(int unit); // empty when unknown
QStringList UnitNames();
int UnitDecimals(int unit);
double UnitStep(int unit); // 10 to the power -decimals

// ---- File filters and instrument models ---------------------------------------------------------------------

constexpr int kOutputFormatCount = 10;

// The ten measurement export filters; the position is the export format id.
QStringList OutputFormatFilters();
// ".csv", ".txt" or ".xml" for ids 0-9, empty otherwise.
QString OutputFormatExtension(int id);

// Light-source spectral data files; the position is the format number (0 ".uid2", 1 ".uid").
QStringList LightDataFilters();
QStringList LightDataExtensions();

QString InstrumentModelName(int index);

// ---- Misc ---------------------------------------------------------------------------------------------------

// 0.01 (10 to the power -2), read by the chart editor.
double HeaderConstant();

// Replaces the display texts ("Fit in the window", "Absolute", "Paper", the "Auto" illuminant and grid mode)
// by their translations; call after the translator is installed. Keys and ids are untouched, and calling it
// again translates from the source texts once more.
void TranslateStaticNames();
