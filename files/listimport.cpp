// Chart import from a comma-separated list of patch identifiers and device colours.

#include "files/iodatafile.h"
#include "files/parsehelpers.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kPatchPitch = 600;
constexpr int kFrameWidth = 800;
constexpr int kFrameHeight = 3300;
constexpr int kMaxPatchId = 9999;

struct ColorFields {
    int format = ChartDefinitionData::FormatNone;
    int position[4] = {-1, -1, -1, -1};

    bool Complete() const
    {
        const int channels = format == ChartDefinitionData::FormatCMYK ? 4 : 3;
        if (format == ChartDefinitionData::FormatNone)
            return false;
        for (int k = 0; k < channels; ++k) {
            if (position[k] < 0)
                return false;
        }
        return true;
    }
};

// The colour fields of the header: an RGB set, or a CMYK set that replaces it and ends the scan. After a
// complete RGB set, further RGB names are ignored.
ColorFields FindColorFields(const QStringList &names)
{
    static const QStringList rgbNames = {QStringLiteral("RGB_R"), QStringLiteral("RGB_G"), QStringLiteral("RGB_B")};
    static const QStringList cmykNames = {QStringLiteral("CMYK_C"), QStringLiteral("CMYK_M"), QStringLiteral("CMYK_Y"),
                                          QStringLiteral("CMYK_K")};
    ColorFields rgb;
    int i = 1;
    while (i < names.size()) {
        const QString &name = names.at(i);
        if (name.contains(QLatin1String("CMYK"))) {
            ColorFields cmyk;
            cmyk.format = ChartDefinitionData::FormatCMYK;
            for (int j = i; j < names.size(); ++j) {
                const int k = cmykNames.indexOf(names.at(j));
                if (k >= 0)
                    cmyk.position[k] = j;
            }
            return cmyk;
        }
        if (name.contains(QLatin1String("RGB")) && !rgb.Complete()) {
            rgb.format = ChartDefinitionData::FormatRGB;
            int j = i;
            for (; j < names.size(); ++j) {
                const int k = rgbNames.indexOf(names.at(j));
                if (k < 0)
                    break;
                rgb.position[k] = j;
            }
            i = qMax(j, i + 1);
            continue;
        }
        ++i;
    }
    return rgb;
}

} // namespace

int CIODataFile::ImportListChart(ChartDefinitionDataSheets *chart, const QString &path)
{
    QString text;
    if (!ReadNormalisedText(path, &text))
        return FileOpenFailed;
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line end closes the last line; it does not open another.
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    if (lines.isEmpty())
        return ListInvalid;

    const QStringList header = lines.first().split(QLatin1Char(','));
    if (header.first() != QLatin1String("SAMPLE_ID"))
        return ListInvalid;
    const ColorFields fields = FindColorFields(header);
    if (!fields.Complete())
        return ListInvalid;
    const qint64 n = lines.size() - 1;
    if (n < 1)
        return ListInvalid;

    const int width = m_host->GetPageSizeWidth(0);
    const int height = m_host->GetPageSizeHeight(0);
    const qint64 columns = (qint64(width) - kFrameWidth) / kPatchPitch;
    const qint64 rows = (qint64(height) - kFrameHeight) / kPatchPitch;
    if (columns < 1 || rows < 1)
        return ListInvalid;
    const qint64 perPage = rows * columns;
    const qint64 pages = (n - 1) / perPage + 1;

    ClearChartDefinitionData(chart);
    chart->Diameter = 1;
    chart->Recog = ChartDefinitionData::RecogCombine;
    chart->ChartPatchCount = int(n);
    chart->Sheets = NewChartSheets(size_t(pages));
    chart->SheetCount = int(pages);

    ChartDefinitionData::AreaPlacement geometry;
    geometry.LeftTopX = m_host->GetAreaLeftMin();
    geometry.LeftTopY = m_host->GetAreaTopMin();
    geometry.PatchWidth = geometry.PatchHeight = kPatchPitch;
    geometry.PatchWidthGap = geometry.PatchHeightGap = kPatchPitch;

    const int format = fields.format;
    const int channels = format + 2;
    int line = 1;
    for (qint64 s = 0; s < pages; ++s) {
        Sheet &page = chart->Sheets[s];
        page.Width = width;
        page.Height = height;
        const qint64 remaining = n - s * perPage;
        if (remaining > perPage) {
            page.AreaCount = 1;
            page.Areas[0] = {int(rows), int(columns), int(perPage)};
        } else {
            const int areaColumns = int(qMin(remaining, columns));
            const int areaRows = remaining < columns ? 1 : int(remaining / columns);
            page.AreaCount = 1;
            page.Areas[0] = {areaRows, areaColumns, areaRows * areaColumns};
            if (areaRows * areaColumns < remaining) {
                const int rest = int(remaining - areaRows * areaColumns);
                page.AreaCount = 2;
                page.Areas[1] = {1, rest, rest};
                page.Placements[1] = geometry;
                page.Placements[1].LeftTopY = geometry.LeftTopY + geometry.PatchHeightGap * areaRows;
            }
        }
        page.Placements[0] = geometry;
        page.PatchCount = 0;
        for (int a = 0; a < page.AreaCount; ++a)
            page.PatchCount += page.Areas[a].PatchCount;
        page.Patches = NewChartPatches(size_t(page.PatchCount));

        int out = 0;
        for (int a = 0; a < page.AreaCount; ++a) {
            for (int r = 0; r < page.Areas[a].RowCount; ++r) {
                for (int c = 0; c < page.Areas[a].ColumnCount; ++c) {
                    const QStringList values = lines.at(line++).split(QLatin1Char(','));
                    PatchColor &patch = page.Patches[out++];
                    if (!ParseDecimalInt(values.first(), &patch.ID))
                        return NotAnInteger;
                    if (patch.ID < 1 || patch.ID > kMaxPatchId)
                        return ListInvalid;
                    patch.Area = a;
                    patch.Row = r;
                    patch.Column = c;
                    patch.ColorFormat = format;
                    for (int k = 0; k < channels; ++k) {
                        const int position = fields.position[k];
                        if (position >= values.size())
                            return ListInvalid;
                        double value = 0;
                        if (!ParseFiniteNumber(values.at(position), &value))
                            return NotAnInteger;
                        if (!ColorValueInRange(format, value))
                            return ListInvalid;
                        patch.ColorValue[k] = float(value);
                    }
                }
            }
        }
    }
    return IsStorableChart(*chart) ? Success : ListInvalid;
}
