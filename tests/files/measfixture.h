#pragma once
// Measurements built in code and a host whose patch calculation gives fixed, recognisable values.

#include "testhost.h"

#include "app/illuminantdata.h"
#include "app/recordhelpers.h"

#include <QList>

#include <cmath>
#include <ctime>
#include <limits>

// Values of one (record, condition): value k = seed + condition / 2 + k / 8, exact in binary.
class MeasureHost : public TestHost
{
public:
    MeasureHost()
    {
        environment.Inks = ReferenceInkChannels();
        userSlots[0].Number = 0;
        userSlots[0].Name = QStringLiteral("MyLight");
        userSlots[0].DisplayDate = QStringLiteral("2024/01/02 03:04:05");
    }

    const Setting::UserEnvironment *GetUserEnvironment() const override { return &environment; }
    UserIlluminantSlots GetUserIlluminants() const override { return userSlots; }
    int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out) override
    {
        const int id = illuminantId == kAutoIlluminantId ? AutoIlluminantFor(conditionId) : illuminantId;
        if (IlluminantUserSlot(id) != 0)
            return -1;
        out->Name = userSlots[0].Name;
        for (int i = 0; i < kEnvironLightValueCount; ++i)
            out->Values[i] = float(i) / 4.0f;
        return 0;
    }
    bool SetPaperWhiteFromMeasurement() override
    {
        ++paperWhiteCalls;
        return paperWhiteFound;
    }
    int CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &setting,
                             int conditionId) override
    {
        if (conditionId == failCondition && block[0] == failSeed)
            return failCode;
        for (int k = 0; k < 49; ++k)
            values[k] = block[0] + float(conditionId) / 2.0f + float(k) / 8.0f;
        // Densities relative to paper come out one lower.
        if (setting.WhiteReference == 1)
            for (int k = 0; k < 4; ++k)
                values[k] -= 1.0f;
        return 0;
    }

    Setting::UserEnvironment environment;
    UserIlluminantSlots userSlots;
    bool paperWhiteFound = true;
    int paperWhiteCalls = 0;
    int failCondition = -1;
    float failSeed = 0.0f;
    int failCode = 20014;
};

struct MeasurementGuard {
    MeasurementDataSheets measurement;
    ~MeasurementGuard() { ClearMeasureFileData(&measurement); }
};

struct FixturePatch {
    int id;
    int area;
    int row;
    int column;
};

// A file's bytes; empty when it cannot be read.
inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void SetTimeZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

// A chart of the given format; each page a list of patches, each area as wide and tall as its patches need.
inline void BuildFixtureChart(ChartDefinitionDataSheets *chart, int format, const QList<QList<FixturePatch>> &pages)
{
    chart->Kind = ChartDefinitionData::KindNormal;
    chart->SheetCount = pages.size();
    chart->Sheets = NewChartSheets(size_t(pages.size()));
    for (int s = 0; s < pages.size(); ++s) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[s];
        sheet.Width = 21000;
        sheet.Height = 29700;
        sheet.PatchCount = pages[s].size();
        sheet.Patches = pages[s].isEmpty() ? nullptr : NewChartPatches(size_t(pages[s].size()));
        for (int i = 0; i < pages[s].size(); ++i) {
            const FixturePatch &p = pages[s][i];
            ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
            patch.ID = p.id;
            patch.Area = p.area;
            patch.Row = p.row;
            patch.Column = p.column;
            patch.ColorFormat = format;
            for (int k = 0; k < format + 2 && k < kMaxColorValueCount; ++k)
                patch.ColorValue[k] = float(p.id) + float(k) / 4.0f;
            sheet.AreaCount = qMax(sheet.AreaCount, p.area + 1);
            sheet.Areas[p.area].RowCount = qMax(sheet.Areas[p.area].RowCount, p.row + 1);
            sheet.Areas[p.area].ColumnCount = qMax(sheet.Areas[p.area].ColumnCount, p.column + 1);
            ++sheet.Areas[p.area].PatchCount;
        }
    }
    chart->ChartPatchCount = 0;
    for (const auto &page : pages)
        chart->ChartPatchCount += page.size();
}

// One measured page: a record per patch, its block seeded with `seed` (0 = all zero, unmeasured).
struct FixtureRecord {
    FixturePatch place;
    float seed;
    bool withNan = false;
};

inline void SetFixturePage(MeasurementData *page, int pageNumber, const QList<FixtureRecord> &records, int measured)
{
    page->PageNumber = pageNumber;
    page->RecordCount = records.size();
    page->MeasuredCount = measured;
    page->Records = records.isEmpty() ? nullptr : NewMeasurementRecords(size_t(records.size()));
    for (int i = 0; i < records.size(); ++i) {
        MeasurementData::PatchData &r = page->Records[i];
        r.ID = records[i].place.id;
        r.Area = records[i].place.area;
        r.Row = records[i].place.row;
        r.Column = records[i].place.column;
        r.Values[0] = records[i].seed;
        if (records[i].withNan)
            r.Values[7] = std::numeric_limits<float>::quiet_NaN();
        r.ColorFormat = records[i].seed != 0.0f || records[i].withNan ? 2 : 0;
    }
}

// Two pages of two areas; IDs do not follow the layout. Page 1 lacks the record of ID 2 and has ID 3 all zero;
// page 2 has a NaN in ID 5.
inline QList<QList<FixturePatch>> FixtureLayout()
{
    return {
        {{4, 0, 0, 0}, {1, 0, 0, 1}, {3, 1, 0, 0}, {2, 1, 0, 1}},
        {{8, 0, 0, 0}, {5, 0, 1, 0}, {7, 1, 0, 0}, {6, 1, 0, 1}},
    };
}

inline void BuildFixtureMeasurement(MeasurementDataSheets *measurement)
{
    measurement->Mode = 0;
    measurement->SerialNumber = QStringLiteral("12345678");
    measurement->SheetCount = 2;
    measurement->Sheets = NewMeasurementPages(2);
    SetFixturePage(&measurement->Sheets[0], 1,
                   {{{4, 0, 0, 0}, 10.0f}, {{1, 0, 0, 1}, 20.0f}, {{3, 1, 0, 0}, 0.0f}}, 3);
    SetFixturePage(&measurement->Sheets[1], 2,
                   {{{6, 1, 0, 1}, 60.0f}, {{5, 0, 1, 0}, 0.0f, true}, {{8, 0, 0, 0}, 80.0f}, {{7, 1, 0, 0}, 70.0f}},
                   4);
    measurement->RecordCount = 7;
}

// Every value switch on, densities relative to paper, illuminant "Auto".
inline Setting::MeasureConditionSetting AllSwitchesOn()
{
    Setting::MeasureConditionSetting s{};
    s.DensityShown = 1;
    s.WhiteReference = 1;
    s.DensityStatus = 0;
    s.ColorSpaceShown = 1;
    s.LabShown = 1;
    s.LchShown = 1;
    s.XyzShown = 1;
    s.Observer = 0;
    s.Illuminant = kAutoIlluminantId;
    s.SpectralShown = 1;
    s.ConditionMask = 0x8002;
    s.PatchColorShown = 1;
    return s;
}
