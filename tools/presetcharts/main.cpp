// Writes the preset density charts of the installation data, one density chart file per preset of the
// installation table, with the program's own document writer. No clock and no random source: the same table
// always gives the same bytes.
//
// presetcharts <presets.json> <output folder>

#include "app/documentfiles.h"
#include "app/recordhelpers.h"
#include "app/records.h"
#include "app/texthelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

namespace {

QTextStream &Err()
{
    static QTextStream stream(stderr);
    return stream;
}

// One preset as a chart; false (and an error text) when the table entry does not make a valid chart.
bool BuildChart(const QJsonObject &preset, ChartDefinitionDataSheets *chart, QString *error)
{
    const QJsonArray areas = preset.value(QLatin1String("areas")).toArray();
    const QJsonObject colors = preset.value(QLatin1String("colors")).toObject();
    const int format = colors.value(QLatin1String("format")).toInt(-1);
    const QJsonArray cycle = colors.value(QLatin1String("cycle")).toArray();
    if (areas.isEmpty() || areas.size() > kMaxAreaCount) {
        *error = QStringLiteral("needs 1 to %1 areas").arg(kMaxAreaCount);
        return false;
    }
    if (format < ChartDefinitionData::FormatRGB || format > ChartDefinitionData::Format8Color || cycle.isEmpty()) {
        *error = QStringLiteral("needs a colour format 1-6 and a colour cycle");
        return false;
    }

    chart->Kind = ChartDefinitionData::KindDensity;
    chart->ChartName = preset.value(QLatin1String("chartName")).toString();
    chart->CreateTime = preset.value(QLatin1String("createTime")).toString();
    chart->UUID = preset.value(QLatin1String("uuid")).toString();
    chart->UNIT = 0;
    chart->SheetCount = 1;
    chart->Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    const QJsonObject page = preset.value(QLatin1String("page")).toObject();
    sheet.Width = page.value(QLatin1String("width")).toInt();
    sheet.Height = page.value(QLatin1String("height")).toInt();
    sheet.AreaCount = areas.size();

    int patchCount = 0;
    for (int a = 0; a < areas.size(); ++a) {
        const QJsonObject area = areas[a].toObject();
        auto &counts = sheet.Areas[a];
        counts.RowCount = area.value(QLatin1String("rows")).toInt();
        counts.ColumnCount = area.value(QLatin1String("columns")).toInt();
        counts.PatchCount = area.value(QLatin1String("patches")).toInt();
        if (counts.RowCount < 1 || counts.ColumnCount < 1 || counts.PatchCount < 1 ||
            counts.PatchCount > counts.RowCount * counts.ColumnCount) {
            *error = QStringLiteral("area %1 has no valid grid").arg(a);
            return false;
        }
        auto &place = sheet.Placements[a];
        place.LeftTopX = area.value(QLatin1String("left")).toInt();
        place.LeftTopY = area.value(QLatin1String("top")).toInt();
        place.PatchWidth = area.value(QLatin1String("patchWidth")).toInt();
        place.PatchHeight = area.value(QLatin1String("patchHeight")).toInt();
        place.PatchWidthGap = area.value(QLatin1String("pitchX")).toInt();
        place.PatchHeightGap = area.value(QLatin1String("pitchY")).toInt();
        patchCount += counts.PatchCount;
    }

    // Patches numbered from 1 in area, row, column order; colours cycle through the table's list.
    sheet.PatchCount = patchCount;
    sheet.Patches = NewChartPatches(size_t(patchCount));
    int i = 0;
    for (int a = 0; a < sheet.AreaCount; ++a) {
        const auto &counts = sheet.Areas[a];
        for (int k = 0; k < counts.PatchCount; ++k, ++i) {
            ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
            patch.ID = i + 1;
            patch.Area = a;
            patch.Row = k / counts.ColumnCount;
            patch.Column = k % counts.ColumnCount;
            patch.ColorFormat = format;
            const QJsonArray values = cycle[i % cycle.size()].toArray();
            const int n = std::min<int>(values.size(), format + 2);
            for (int v = 0; v < n; ++v)
                patch.ColorValue[v] = float(values[v].toDouble());
        }
    }
    chart->ChartPatchCount = patchCount;
    chart->Recog = ChartDefinitionData::RecogAuto;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        Err() << "usage: presetcharts <presets.json> <output folder>\n";
        return 2;
    }
    QFile table(args[1]);
    if (!table.open(QIODevice::ReadOnly)) {
        Err() << "cannot read " << args[1] << "\n";
        return 1;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(table.readAll(), &parseError);
    if (document.isNull()) {
        Err() << args[1] << ": " << parseError.errorString() << "\n";
        return 1;
    }
    const QString folder = args[2];
    if (!QDir().mkpath(folder)) {
        Err() << "cannot make " << folder << "\n";
        return 1;
    }

    const QJsonArray presets = document.object().value(QLatin1String("presets")).toArray();
    for (const QJsonValue &value : presets) {
        const QJsonObject preset = value.toObject();
        const int number = preset.value(QLatin1String("fileNumber")).toInt();
        ChartDefinitionDataSheets chart;
        QString error;
        if (number < 1 || !BuildChart(preset, &chart, &error)) {
            Err() << "preset " << number << ": " << (error.isEmpty() ? QStringLiteral("no file number") : error)
                  << "\n";
            ClearChartDefinitionData(&chart);
            return 1;
        }
        DensityBalanceData record;
        record.ID = number;
        record.Template = preset.value(QLatin1String("template")).toInt();
        // A density chart's second number is the instrument it is measured with.
        record.SecondNumber = preset.value(QLatin1String("instrument")).toInt();
        record.SheetCount = chart.SheetCount;
        record.ChartPatchCount = chart.ChartPatchCount;
        record.ChartName = chart.ChartName;
        record.CreateTime = chart.CreateTime;
        record.UUID = chart.UUID;
        const QString path = folder + QLatin1Char('/') + ZeroPaddedNumber(number, 5) + QStringLiteral(".vrchart");
        const int result = SaveDensityChartFile(path, &record, chart);
        ClearChartDefinitionData(&chart);
        if (result != kDocumentOk) {
            Err() << "cannot write " << path << " (" << result << ")\n";
            return 1;
        }
    }
    return 0;
}
