#include "app/constants.h"

#include <QCoreApplication>

#include <cmath>

// Tables are constexpr arrays of literals, and the few mutable texts live in function-local statics, so nothing
// here depends on the order of static initialisation.

namespace {

template <typename T, int N>
constexpr int countOf(const T (&)[N])
{
    return N;
}

template <typename Row, int N>
const Row *rowAt(const Row (&table)[N], int index)
{
    return index >= 0 && index < N ? &table[index] : nullptr;
}

QString text(const char *literal)
{
    return QString::fromUtf8(literal);
}

// Display texts that pass the translator; one context, "QObject", so lupdate finds them.
const char *const kFitInWindowText = QT_TRANSLATE_NOOP("QObject", "Fit in the window");
const char *const kAutoText = QT_TRANSLATE_NOOP("QObject", "Auto");
const char *const kWhiteReferenceTexts[] = {QT_TRANSLATE_NOOP("QObject", "Absolute"),
                                            QT_TRANSLATE_NOOP("QObject", "Paper")};

struct DisplayTexts {
    QString fitInWindow = text(kFitInWindowText);
    QString autoIlluminant = text(kAutoText);
    QString autoGridMode = text(kAutoText);
    QString whiteReference[2] = {text(kWhiteReferenceTexts[0]), text(kWhiteReferenceTexts[1])};
};

DisplayTexts &displayTexts()
{
    static DisplayTexts texts;
    return texts;
}

// ---- Languages

struct LanguageLiteral {
    const char *displayName;
    const char *code;
    const char *fileCode;
};

constexpr LanguageLiteral kLanguages[] = {
    {"English", "en", "eng"},
    {"", "ja", "jpn"},
    {"", "zh", "zho"},
    {"Deutsch", "de", "deu"},
    {"", "fr", "fra"},
    {"", "es", "spa"},
    {"italiano", "it", "ita"},
    {"Polskie", "pl", "pol"},
    {"", "ru", "rus"},
    {"", "pt", "por"},
    {"Custom Language1", "", "cl1"},
    {"Custom Language2", "", "cl2"},
    {"Custom Language3", "", "cl3"},
};
static_assert(countOf(kLanguages) == kLanguageCount, "language rows");

QVector<Language> &languageTable()
{
    static QVector<Language> table = [] {
        QVector<Language> rows;
        for (const LanguageLiteral &row : kLanguages)
            rows.append({text(row.displayName), text(row.code), text(row.fileCode)});
        return rows;
    }();
    return table;
}

// ---- Inks and paper

struct InkLiteral {
    const char *name;
    int L;
    int a;
    int b;
};

constexpr InkLiteral kReferenceInks[] = {
    {"Cyan", 6800, -4600, -5100}, {"Magenta", 5700, 8700, -600}, {"Yellow", 10000, -600, 10200},
    {"Black", 1500, 200, 100},    {"Orange", 6900, 6400, 11200}, {"Green", 3900, -6600, 2800},
    {"Red", 4900, 7900, 2000},    {"Blue", 3600, 6100, -11100},
};
static_assert(countOf(kReferenceInks) == kReferenceInkCount, "reference ink rows");

constexpr PaperSize kPaperSizes[] = {
    {21590, 27940}, {27940, 21590}, {27940, 43180}, {21590, 35560},
    {21000, 29700}, {29700, 21000}, {29700, 42000}, {32900, 48300},
};
static_assert(countOf(kPaperSizes) == kFixedPaperSizeCount, "fixed paper sizes");

constexpr CustomPaperSizeLimits kCustomPaperSize = {1000, 1000, 32900, 150000};

// ---- Density, observers, colour names, judgements, grid modes

struct CodedName {
    const char *name;
    int code;
};

constexpr CodedName kDensityStatuses[] = {{"T", 3}, {"E", 4}, {"A", 5}, {"I", 6}, {"DIN", 7}};
constexpr const char *kWhiteReferenceKeys[] = {"Absolute", "Paper"};
constexpr CodedName kObservers[] = {{"2", 0}, {"10", 1}};
constexpr const char *kColorSpaces[] = {"L*a*b*", "L*C*h", "XYZ"};
constexpr const char *kLabComponents[] = {"L*", "a*", "b*"};
constexpr const char *kColorDifferences[] = {"dL*", "da*", "db*", "dE*ab", "dE00"};

struct Rgb {
    int r;
    int g;
    int b;
};

constexpr Rgb kBlack = {0, 0, 0};
constexpr Rgb kWhite = {255, 255, 255};

QColor toColor(const Rgb &rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

struct Judgement {
    const char *text;
    Rgb textColor;
    Rgb background;
};

constexpr Judgement kJudgements[] = {
    {"NG", kBlack, {255, 217, 223}},
    {"OK", kBlack, {144, 238, 144}},
};

// Row 0's text is the translated display text.
constexpr const char *kChartGridModes[] = {"Auto", "1x1", "2x2", "3x3", "4x4"};

// ---- Measurement conditions and illuminants

constexpr MeasurementCondition kConditions[] = {
    {0x1, 0, -1, "M0", "A", 0, "M0_Incandescent"},
    {0x2, 1, -1, "M1", "D50", 2, "M1_Daylight"},
    {0x4, 2, -1, "M2", "UVCUT", 15, "M2_UVExcluded"},
    {0x8, 3, -1, "C", "C", 1, "C"},
    {0x10, 4, -1, "D65", "D65", 3, "D65"},
    {0x20, 5, -1, "ID50", "ID50", 4, "ID50"},
    {0x40, 6, -1, "ID65", "ID65", 5, "ID65"},
    {0x80, 7, -1, "F2", "F2", 6, "F2"},
    {0x100, 8, -1, "F6", "F6", 7, "F6"},
    {0x200, 9, -1, "F7", "F7", 8, "F7"},
    {0x400, 10, -1, "F8", "F8", 9, "F8"},
    {0x800, 11, -1, "F9", "F9", 10, "F9"},
    {0x1000, 12, -1, "F10", "F10", 11, "F10"},
    {0x2000, 13, -1, "F11", "F11", 12, "F11"},
    {0x4000, 14, -1, "F12", "F12", 13, "F12"},
    {0x8000, 15, 0, "UserIlluminant1", "UserIlluminant1", 14, "UserIlluminant1"},
    {0x10000, 16, 1, "UserIlluminant2", "UserIlluminant2", 14, "UserIlluminant2"},
    {0x20000, 17, 2, "UserIlluminant3", "UserIlluminant3", 14, "UserIlluminant3"},
    {0x40000, 18, 3, "UserIlluminant4", "UserIlluminant4", 14, "UserIlluminant4"},
    {0x80000, 19, 4, "UserIlluminant5", "UserIlluminant5", 14, "UserIlluminant5"},
};
static_assert(countOf(kConditions) == kMeasurementConditionCount, "measurement condition rows");

struct Illuminant {
    const char *name;
    int code;
    int userSlot;
};

// Row 20's name is the translated display text.
constexpr Illuminant kIlluminants[] = {
    {"A", 0, -1},   {"C", 1, -1},   {"D50", 2, -1},  {"D65", 3, -1},  {"ID50", 4, -1},
    {"ID65", 5, -1}, {"F2", 6, -1},  {"F6", 7, -1},   {"F7", 8, -1},   {"F8", 9, -1},
    {"F9", 10, -1}, {"F10", 11, -1}, {"F11", 12, -1}, {"F12", 13, -1}, {"UVCUT", 15, -1},
    {"UserIlluminant1", 14, 0}, {"UserIlluminant2", 14, 1}, {"UserIlluminant3", 14, 2},
    {"UserIlluminant4", 14, 3}, {"UserIlluminant5", 14, 4}, {"Auto", 16, -1},
};
static_assert(countOf(kIlluminants) == kIlluminantCount, "illuminant rows");

constexpr int kD50 = 2;

// Illuminant id of "Auto", by condition id.
constexpr int kAutoIlluminants[] = {2, 2, 2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19};
static_assert(countOf(kAutoIlluminants) == kMeasurementConditionCount, "one automatic illuminant per condition");

// The name of the registered user illuminant whose slot number is `slot`; empty when none is.
QString userIlluminantName(int slot, const UserIlluminantSlots &illuminants)
{
    if (slot < 0)
        return QString();
    for (const UserIlluminantSlot &entry : illuminants)
        if (entry.Number == slot)
            return entry.Name;
    return QString();
}

// ---- Tiles, units, filters, models

struct Tile {
    const char *name;
    Rgb textColor;
    Rgb swatch;
};

constexpr Tile kTiles[] = {
    {"WHITE", kBlack, {255, 255, 255}},  {"PALE GREY", kBlack, {221, 221, 221}}, {"MID GREY", kWhite, {147, 147, 147}},
    {"DIFF. GREY", kWhite, {140, 140, 140}}, {"DEEP GREY", kWhite, {71, 71, 71}},  {"DEEP PINK", kWhite, {148, 74, 75}},
    {"RED", kWhite, {255, 0, 0}},        {"ORANGE", kBlack, {255, 165, 0}},     {"YELLOW", kBlack, {255, 255, 0}},
    {"GREEN", kWhite, {0, 128, 0}},      {"DIFF. GREEN", kWhite, {87, 136, 72}}, {"CYAN", kBlack, {0, 255, 255}},
    {"DEEP BLUE", kWhite, {0, 0, 128}},  {"BLACK", kWhite, {0, 0, 0}},
};
static_assert(countOf(kTiles) == kTileCount, "tile rows");

struct ZoomLiteral {
    const char *label; // nullptr: the fit-in-the-window display text
    int percent;
};

constexpr ZoomLiteral kZoomTables[kZoomTableCount][kZoomTableSlots] = {
    {{"30%", 30}, {"50%", 50}, {"100%", 100}, {"150%", 150}, {"200%", 200}, {nullptr, 0}, {"", 0}, {"", 0}, {"", 0}},
    {{"5%", 5},
     {"10%", 10},
     {"20%", 20},
     {"30%", 30},
     {"50%", 50},
     {"100%", 100},
     {"150%", 150},
     {"200%", 200},
     {nullptr, 0}},
};

constexpr LengthUnit kLengthUnits[] = {
    {"mm", 1.0, 25.4, 2},
    {"inch", 25.4, 1.0, 3},
};
static_assert(countOf(kLengthUnits) == kLengthUnitCount, "length unit rows");

constexpr const char *kOutputFormatFilters[] = {
    "csv File (*.csv)",
    "txt File (*.txt)",
    "cgats xml File (*.xml)",
    "cgats txt File (*.txt)",
    "CxF3 xml File (*.xml)",
    "csv File [Output ID Order] (*.csv)",
    "txt File [Output ID Order] (*.txt)",
    "cgats xml File [Output ID Order] (*.xml)",
    "cgats txt File [Output ID Order] (*.txt)",
    "CxF3 xml File [Output ID Order] (*.xml)",
};
static_assert(countOf(kOutputFormatFilters) == kOutputFormatCount, "export filter rows");

constexpr const char *kLightDataFilters[] = {"uid2 File (*.uid2)", "uid File (*.uid)"};
constexpr const char *kLightDataExtensions[] = {"uid2", "uid"};

constexpr const char *kInstrumentModels[] = {"Orlo", "Brisa", "Calen", "Calen BT2"};

template <int N>
QString nameAt(const char *const (&table)[N], int index)
{
    const char *const *row = rowAt(table, index);
    return row ? text(*row) : QString();
}

template <int N>
QStringList allNames(const char *const (&table)[N])
{
    QStringList names;
    for (const char *name : table)
        names.append(text(name));
    return names;
}

} // namespace

// ---- Languages

const QVector<Language> &Languages()
{
    return languageTable();
}

void SetLanguageDisplayName(int row, const QString &name)
{
    QVector<Language> &table = languageTable();
    if (row >= 0 && row < table.size())
        table[row].displayName = name;
}

QString DefaultLanguageCode()
{
    return text(kLanguages[0].fileCode);
}

// ---- Inks and paper

InkChannelList ReferenceInkChannels()
{
    InkChannelList inks;
    for (const InkLiteral &ink : kReferenceInks)
        inks.append({text(ink.name), ink.L, ink.a, ink.b});
    return inks;
}

PaperSize FixedPaperSize(int row)
{
    const PaperSize *size = rowAt(kPaperSizes, row);
    return size ? *size : PaperSize();
}

CustomPaperSizeLimits CustomPaperSize()
{
    return kCustomPaperSize;
}

QStringList &PaperSizeNames()
{
    static QStringList names = [] {
        QStringList rows;
        for (int i = 0; i <= kCustomPaperSizeRow; ++i)
            rows.append(QString());
        rows[6] = QStringLiteral("A3");
        return rows;
    }();
    return names;
}

// ---- Colour formats

const ColorFormatInfo &ColorFormatRow(int format)
{
    static const QVector<ColorFormatInfo> rows = [] {
        QVector<ColorFormatInfo> table;
        table.append({QStringList(), 0.0f, 0.0f, 0.0f});
        table.append({QStringList{QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue")}, 0.0f,
                      255.0f, 255.0f});
        for (int i = 2; i < kColorFormatCount; ++i)
            table.append({QStringList(), 0.0f, 100.0f, 0.0f});
        return table;
    }();
    return format >= 0 && format < rows.size() ? rows[format] : rows[0];
}

// ---- Density, observers, colour names, judgements, grid modes

QString DensityStatusName(int index)
{
    const CodedName *row = rowAt(kDensityStatuses, index);
    return row ? text(row->name) : QString();
}

QStringList DensityStatusNames()
{
    QStringList names;
    for (const CodedName &row : kDensityStatuses)
        names.append(text(row.name));
    return names;
}

int DensityStatusCode(int index)
{
    const CodedName *row = rowAt(kDensityStatuses, index);
    return row ? row->code : 15;
}

QString WhiteReferenceKey(int index)
{
    return nameAt(kWhiteReferenceKeys, index);
}

QStringList WhiteReferenceNames()
{
    const DisplayTexts &texts = displayTexts();
    return {texts.whiteReference[0], texts.whiteReference[1]};
}

QString ObserverName(int index)
{
    const CodedName *row = rowAt(kObservers, index);
    return row ? text(row->name) : QString();
}

QStringList ObserverNames()
{
    QStringList names;
    for (const CodedName &row : kObservers)
        names.append(text(row.name));
    return names;
}

int ObserverCode(int index)
{
    const CodedName *row = rowAt(kObservers, index);
    return row ? row->code : 2;
}

QString ColorSpaceName(int index)
{
    return nameAt(kColorSpaces, index);
}

QString LabComponentName(int id)
{
    return nameAt(kLabComponents, id);
}

QString ColorDifferenceName(int id)
{
    return nameAt(kColorDifferences, id);
}

QString JudgementName(int id)
{
    const Judgement *row = rowAt(kJudgements, id);
    return row ? text(row->text) : QString();
}

QColor JudgementBackgroundColor(int id)
{
    const Judgement *row = rowAt(kJudgements, id);
    return toColor(row ? row->background : kWhite);
}

QString ChartGridModeName(int value)
{
    if (value == 0)
        return displayTexts().autoGridMode;
    return nameAt(kChartGridModes, value);
}

// ---- Measurement conditions

const MeasurementCondition *FindMeasurementCondition(int id)
{
    return rowAt(kConditions, id);
}

int MeasurementConditionBit(int id)
{
    const MeasurementCondition *row = FindMeasurementCondition(id);
    return row ? row->bit : 0;
}

QVector<int> MeasurementConditionIdsFromMask(int mask)
{
    QVector<int> ids;
    for (const MeasurementCondition &row : kConditions)
        if (mask & row.bit)
            ids.append(row.id);
    return ids;
}

int MeasurementConditionUserSlot(int id)
{
    const MeasurementCondition *row = FindMeasurementCondition(id);
    return row ? row->userSlot : -1;
}

int MeasurementConditionIlluminantCode(int id)
{
    const MeasurementCondition *row = FindMeasurementCondition(id);
    return row ? row->illuminantCode : 16;
}

bool IsUserMeasurementCondition(int id)
{
    return id >= kFirstUserConditionId && id < kMeasurementConditionCount;
}

QString MeasurementConditionName(int id, const UserIlluminantSlots &illuminants)
{
    const MeasurementCondition *row = FindMeasurementCondition(id);
    if (!row)
        return QString();
    return row->userSlot >= 0 ? userIlluminantName(row->userSlot, illuminants) : text(row->shortName);
}

QString MeasurementConditionLongName(int id, const UserIlluminantSlots &illuminants)
{
    const MeasurementCondition *row = FindMeasurementCondition(id);
    if (!row)
        return QString();
    return row->userSlot >= 0 ? userIlluminantName(row->userSlot, illuminants) : text(row->longName);
}

QString MeasurementConditionIlluminantName(int id, const UserIlluminantSlots &illuminants)
{
    const MeasurementCondition *row = FindMeasurementCondition(id);
    if (!row)
        return QString();
    return row->userSlot >= 0 ? userIlluminantName(row->userSlot, illuminants) : text(row->lightSourceName);
}

// ---- Illuminants

QString IlluminantName(int id, int conditionId, const UserIlluminantSlots &illuminants)
{
    if (id == kAutoIlluminantId)
        id = AutoIlluminantFor(conditionId);
    const Illuminant *row = rowAt(kIlluminants, id);
    if (!row)
        return QString();
    return row->userSlot >= 0 ? userIlluminantName(row->userSlot, illuminants) : text(row->name);
}

QStringList IlluminantNames()
{
    QStringList names;
    for (int id = 0; id < kIlluminantCount; ++id)
        names.append(id == kAutoIlluminantId ? displayTexts().autoIlluminant : text(kIlluminants[id].name));
    return names;
}

int IlluminantUserSlot(int id)
{
    const Illuminant *row = rowAt(kIlluminants, id);
    return row ? row->userSlot : -1;
}

int IlluminantCode(int id)
{
    const Illuminant *row = rowAt(kIlluminants, id);
    return row ? row->code : 16;
}

bool IsAutoIlluminant(int id)
{
    return id == kAutoIlluminantId;
}

int AutoIlluminantFor(int conditionId)
{
    const int *illuminant = rowAt(kAutoIlluminants, conditionId);
    return illuminant ? *illuminant : kD50;
}

// ---- Default display records

Setting::MeasureConditionSetting DefaultDisplayColumns()
{
    return {1, 0, 1, 1, 1, 0, 0, 0, 2, 1, 7, 1};
}

Setting::MeasureConditionSetting DefaultDensityDisplayColumns()
{
    return {1, 0, 1, 1, 1, 0, 0, 0, 2, 1, 2, 1};
}

// ---- Tiles

QString TileName(int id)
{
    const Tile *row = rowAt(kTiles, id);
    return row ? text(row->name) : QString();
}

QColor TileBackgroundColor(int id)
{
    const Tile *row = rowAt(kTiles, id);
    return toColor(row ? row->swatch : kWhite);
}

QColor TileTextColor(int id)
{
    const Tile *row = rowAt(kTiles, id);
    return toColor(row ? row->textColor : kBlack);
}

// ---- Zoom tables

QVector<ZoomStep> ZoomTable(int table)
{
    QVector<ZoomStep> steps;
    if (table < 0 || table >= kZoomTableCount)
        return steps;
    for (const ZoomLiteral &slot : kZoomTables[table])
        steps.append({slot.label ? text(slot.label) : displayTexts().fitInWindow, slot.percent});
    return steps;
}

// ---- Length units

const LengthUnit &LengthUnitRow(int unit)
{
    const LengthUnit *row = rowAt(kLengthUnits, unit);
    return row ? *row : kLengthUnits[kUnitMm];
}

QString UnitName(int unit)
{
    const LengthUnit *row = rowAt(kLengthUnits, unit);
    return row ? text(row->name) : QString();
}

QStringList UnitNames()
{
    QStringList names;
    for (const LengthUnit &row : kLengthUnits)
        names.append(text(row.name));
    return names;
}

int UnitDecimals(int unit)
{
    return LengthUnitRow(unit).decimals;
}

double UnitStep(int unit)
{
    return std::pow(10.0, -UnitDecimals(unit));
}

// ---- Filters and models

QStringList OutputFormatFilters()
{
    return allNames(kOutputFormatFilters);
}

QString OutputFormatExtension(int id)
{
    const QString filter = nameAt(kOutputFormatFilters, id);
    const int dot = filter.lastIndexOf(QLatin1Char('.'));
    const int close = filter.lastIndexOf(QLatin1Char(')'));
    if (dot < 0 || close < dot)
        return QString();
    return filter.mid(dot, close - dot);
}

QStringList LightDataFilters()
{
    return allNames(kLightDataFilters);
}

QStringList LightDataExtensions()
{
    return allNames(kLightDataExtensions);
}

QString InstrumentModelName(int index)
{
    return nameAt(kInstrumentModels, index);
}

// ---- Misc

double HeaderConstant()
{
    static const double value = std::pow(10.0, -2);
    return value;
}

void TranslateStaticNames()
{
    DisplayTexts &texts = displayTexts();
    texts.fitInWindow = QCoreApplication::translate("QObject", kFitInWindowText);
    texts.autoIlluminant = QCoreApplication::translate("QObject", kAutoText);
    texts.autoGridMode = QCoreApplication::translate("QObject", kAutoText);
    for (int i = 0; i < 2; ++i)
        texts.whiteReference[i] = QCoreApplication::translate("QObject", kWhiteReferenceTexts[i]);
}
