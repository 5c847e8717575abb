// Chart import from the target-configuration XML of another vendor's target-design tool: a base page with the
// patch size, an optional alignment bar and target pages that list their patches with device values.

#include "files/iodatafile.h"
#include "files/xmlchartimport.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"

#include <QSet>

#include <initializer_list>
#include <utility>

namespace {

using ChartDefinitionData::AreaPlacement;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kLeftOffset = 1100;
constexpr int kMargin = 500;
constexpr int kPageFrame = 1000;

enum class NumberRead { Ok, NotANumber, TooLarge };

// A length in millimetres that must be a number.
NumberRead RequiredLength(const QDomElement &element, const char *name, int *fixed)
{
    double mm = 0;
    if (!ParseFiniteNumber(element.attribute(QLatin1String(name)), &mm))
        return NumberRead::NotANumber;
    return xmlchart::MillimetresToFixed(mm, fixed) ? NumberRead::Ok : NumberRead::TooLarge;
}

// A length taken as it converts: no number reads 0.
bool LooseLength(const QDomElement &element, const char *name, int *fixed)
{
    double mm = 0;
    if (!ParseFiniteNumber(element.attribute(QLatin1String(name)), &mm)) {
        *fixed = 0;
        return true;
    }
    return xmlchart::MillimetresToFixed(mm, fixed);
}

int LengthResult(NumberRead read)
{
    switch (read) {
    case NumberRead::Ok:
        return CIODataFile::Success;
    case NumberRead::NotANumber:
        return CIODataFile::NotAnInteger;
    default:
        return CIODataFile::XmlLayoutInvalid;
    }
}

bool Sum(std::initializer_list<qint64> terms, int *result)
{
    qint64 total = 0;
    for (const qint64 t : terms)
        total += t;
    return FitsInt(total, result);
}

// count patches, count - 1 gaps and the 5 mm margins on both sides.
bool DerivedPageLength(int count, int patch, int gap, int *length)
{
    return Sum({qint64(count) * patch, qint64(count - 1) * gap, kPageFrame}, length);
}

// Position i of a page's patch order: down the columns, the last row shortened from the column shortFrom on
// when the page is filled row by row.
void PositionOf(qint64 i, int rows, qint64 shortFrom, PatchColor *patch)
{
    if (i < shortFrom) {
        patch->Row = int(i % rows);
        patch->Column = int(i / rows);
        return;
    }
    const qint64 j = i - shortFrom;
    const int shorter = rows - 1;
    patch->Row = int(j % shorter);
    patch->Column = int(shortFrom / rows + j / shorter);
}

struct PageSpec {
    int rows = 0;
    int columns = 0;
    int total = 0;
    bool byRow = false;
};

} // namespace

int CIODataFile::ImportTargetConfigurationChart(ChartDefinitionDataSheets *chart, const QDomElement &root)
{
    xmlchart::ResetImportedChart(chart);

    const int format = ColorFormatFromText(root.attribute(QStringLiteral("colorSpace")), false);
    if (format <= ChartDefinitionData::FormatNone || format > ChartDefinitionData::Format8Color)
        return XmlLayoutInvalid;
    const QDomElement base = root.firstChildElement(QStringLiteral("basePageDescription"));
    if (base.isNull())
        return XmlLayoutInvalid;
    int pageWidth = 0;
    int pageHeight = 0;
    int leftMargin = 0;
    int topMargin = 0;
    if (!LooseLength(base, "Width", &pageWidth) || !LooseLength(base, "Height", &pageHeight) ||
        !LooseLength(base, "leftMargin", &leftMargin) || !LooseLength(base, "topMargin", &topMargin))
        return XmlLayoutInvalid;
    const QDomElement patchSize = base.firstChildElement(QStringLiteral("patchSpec"));
    if (patchSize.isNull())
        return XmlLayoutInvalid;
    int patchWidth = 0;
    int patchHeight = 0;
    int gapWidth = 0;
    int gapHeight = 0;
    int header = 0;
    for (const auto &length : {std::make_pair("patchWidth", &patchWidth), std::make_pair("patchHeight", &patchHeight),
                               std::make_pair("gapWidth", &gapWidth), std::make_pair("gapHeight", &gapHeight),
                               std::make_pair("headerLength", &header)}) {
        const int read = LengthResult(RequiredLength(patchSize, length.first, length.second));
        if (read != Success)
            return read;
    }

    const QDomElement design = root.firstChildElement(QStringLiteral("TargetConfiguration"))
                                   .firstChildElement(QStringLiteral("DesignSettings"));
    if (design.isNull())
        return XmlLayoutInvalid;
    int left = 0;
    int top = 0;
    if (!Sum({leftMargin, kLeftOffset}, &left) || !Sum({topMargin, header}, &top))
        return XmlLayoutInvalid;
    const QDomElement bar = design.firstChildElement(QStringLiteral("AlignmentBar"));
    if (!bar.isNull() && bar.attribute(QStringLiteral("IsTop")) == QLatin1String("True")) {
        int thickness = 0;
        int spacing = 0;
        int read = LengthResult(RequiredLength(bar, "Thickness", &thickness));
        if (read == Success)
            read = LengthResult(RequiredLength(bar, "Spacing", &spacing));
        if (read != Success)
            return read;
        if (!Sum({top, thickness, spacing}, &top))
            return XmlLayoutInvalid;
    }

    const QDomElement pagesElement = root.firstChildElement(QStringLiteral("pages"));
    if (pagesElement.isNull())
        return XmlLayoutInvalid;
    int pageCount = 0;
    for (QDomElement e = pagesElement.firstChildElement(QStringLiteral("targetPage")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("targetPage")))
        ++pageCount;
    if (pageCount == 0)
        return XmlLayoutInvalid;
    chart->Sheets = NewChartSheets(size_t(pageCount));
    chart->SheetCount = pageCount;

    // The file's page size or margins missing: every page gets a size of its own grid and 5 mm margins.
    const bool derivePages = IsAnyZero(pageWidth, pageHeight, left, top);
    if (derivePages) {
        left = kMargin;
        top = kMargin;
    }
    AreaPlacement geometry{left, top, patchWidth, patchHeight, 0, 0};
    if (!Sum({patchWidth, gapWidth}, &geometry.PatchWidthGap) ||
        !Sum({patchHeight, gapHeight}, &geometry.PatchHeightGap))
        return XmlLayoutInvalid;
    const float low = m_host->GetColorMinValue(format);
    const float high = m_host->GetColorMaxValue(format);

    QVector<bool> pageRead(pageCount, false);
    for (QDomElement pageElement = pagesElement.firstChildElement(QStringLiteral("targetPage"));
         !pageElement.isNull(); pageElement = pageElement.nextSiblingElement(QStringLiteral("targetPage"))) {
        int index = 0;
        if (!ParseDecimalInt(pageElement.attribute(QStringLiteral("index")), &index))
            return NotAnInteger;
        const qint64 position = qint64(index) - 1;
        if (position < 0 || position >= pageCount || pageRead.at(int(position)))
            return XmlLayoutInvalid;
        pageRead[int(position)] = true;
        Sheet &page = chart->Sheets[position];

        PageSpec grid;
        if (!ParseDecimalInt(pageElement.attribute(QStringLiteral("Rows")), &grid.rows) ||
            !ParseDecimalInt(pageElement.attribute(QStringLiteral("Columns")), &grid.columns) ||
            !ParseDecimalInt(pageElement.attribute(QStringLiteral("totalPatches")), &grid.total))
            return NotAnInteger;
        const QString priority = pageElement.attribute(QStringLiteral("Priority"));
        if (priority != QLatin1String("Row") && priority != QLatin1String("Column"))
            return XmlLayoutInvalid;
        grid.byRow = priority == QLatin1String("Row");
        const qint64 cells = qint64(grid.rows) * grid.columns;
        if (grid.rows < 1 || grid.columns < 1 || cells > xmlchart::kMaxGridCells || grid.total < 1 ||
            grid.total > cells)
            return XmlLayoutInvalid;

        page.Width = pageWidth;
        page.Height = pageHeight;
        if (derivePages && (!DerivedPageLength(grid.columns, patchWidth, gapWidth, &page.Width) ||
                            !DerivedPageLength(grid.rows, patchHeight, gapHeight, &page.Height)))
            return XmlLayoutInvalid;

        // Filled row by row with a short last row: after r full columns the columns are one row shorter. The
        // empty cells of that row stay out of the grid, which the grouping treats as placeholders.
        int shortRow = -1;
        qint64 shortFrom = cells;
        if (grid.byRow && grid.total % grid.columns != 0 && grid.rows > 1)
            shortFrom = qint64(grid.total % grid.columns) * grid.rows;
        else if (!grid.byRow && grid.total % grid.rows != 0)
            shortRow = grid.total % grid.rows;

        PatchList patches;
        QSet<int> usedIndexes;
        int byIdCount = 0;
        bool byIndex = false;
        for (QDomElement patchElement = pageElement.firstChildElement(QStringLiteral("patchSpec"));
             !patchElement.isNull(); patchElement = patchElement.nextSiblingElement(QStringLiteral("patchSpec"))) {
            PatchColor patch;
            qint64 slot = 0;
            if (ParseDecimalInt(patchElement.attribute(QStringLiteral("Patch_ID")), &patch.ID)) {
                if (byIndex)
                    return NotAnInteger;
                if (byIdCount >= grid.total)
                    return XmlLayoutInvalid;
                slot = byIdCount++;
            } else {
                if (byIdCount > 0)
                    return NotAnInteger;
                byIndex = true;
                int patchIndex = 0;
                if (!ParseDecimalInt(patchElement.attribute(QStringLiteral("index")), &patchIndex))
                    return NotAnInteger;
                if (patchIndex < 1 || patchIndex > grid.total || usedIndexes.contains(patchIndex))
                    break;
                usedIndexes.insert(patchIndex);
                patch.ID = patchIndex;
                slot = patchIndex - 1;
            }
            if (ColorFormatFromText(patchElement.attribute(QStringLiteral("colorSpace")), false) != format)
                return XmlLayoutInvalid;
            const QStringList values =
                patchElement.attribute(QStringLiteral("deviceValues")).trimmed().split(QLatin1Char(' '));
            if (values.size() != format + 2)
                return XmlLayoutInvalid;
            for (int k = 0; k < values.size(); ++k) {
                double value = 0;
                if (!ParseFiniteNumber(values.at(k), &value))
                    return NotAnInteger;
                if (value < double(low) || value > double(high))
                    return XmlLayoutInvalid;
                patch.ColorValue[k] = float(value);
            }
            patch.ColorFormat = format;
            PositionOf(slot, grid.rows, shortFrom, &patch);
            patches.append(patch);
        }
        if (patches.size() != grid.total)
            return XmlLayoutInvalid;

        int placed = 0;
        if (GroupPatchesIntoAreas(&page, patches, SheetLayout{grid.rows, grid.columns}, geometry, shortRow, &placed) !=
                Success ||
            placed != grid.total)
            return XmlLayoutInvalid;
        chart->ChartPatchCount += page.PatchCount;
    }

    // Identifiers run on across the pages.
    qint64 offset = 0;
    for (int s = 0; s < chart->SheetCount; ++s) {
        Sheet &page = chart->Sheets[s];
        for (int p = 0; p < page.PatchCount; ++p) {
            const qint64 id = page.Patches[p].ID + offset;
            if (!xmlchart::IsValidPatchId(id))
                return XmlLayoutInvalid;
            page.Patches[p].ID = int(id);
        }
        offset += page.PatchCount;
    }
    return IsStorableChart(*chart) ? Success : XmlLayoutInvalid;
}
