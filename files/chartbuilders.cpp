// The chart import entry by file type and the builders that lay flat patch lists out on pages and areas.

#include "files/iodatafile.h"
#include "files/parsehelpers.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"

#include <QHash>

#include <climits>
#include <cstdio>

namespace {

using ChartDefinitionData::AreaPlacement;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

// Up to two areas per page: the main block and, beside it, one short column.
struct PageAreas {
    int areaCount = 0;
    int rows[2] = {};
    int columns[2] = {};
    int shift = 0; // columns the second area lies to the right of the first
};

// Replaces the chart's pages with pageCount copies of the template's fields (no arrays of their own).
void ResetPages(ChartDefinitionDataSheets *chart, int pageCount, const Sheet &pageTemplate)
{
    chart->Sheets.reset();
    chart->Sheets = NewChartSheets(size_t(pageCount));
    chart->SheetCount = pageCount;
    for (int s = 0; s < pageCount; ++s) {
        CopySheetFields(&chart->Sheets[s], pageTemplate);
        chart->Sheets[s].HasImage = 0;
    }
}

bool ShiftedLeft(const AreaPlacement &geometry, qint64 columns, AreaPlacement *shifted)
{
    *shifted = geometry;
    return FitsInt(qint64(geometry.LeftTopX) + qint64(geometry.PatchWidthGap) * columns, &shifted->LeftTopX);
}

// Sets the page's areas from the plan; false when a shifted origin does not fit.
bool ApplyAreas(Sheet *page, const PageAreas &plan, const AreaPlacement &geometry)
{
    page->AreaCount = plan.areaCount;
    page->PatchCount = 0;
    for (int a = 0; a < plan.areaCount; ++a) {
        const int n = plan.rows[a] * plan.columns[a];
        page->Areas[a] = {plan.rows[a], plan.columns[a], n};
        page->PatchCount += n;
        if (a == 0)
            page->Placements[a] = geometry;
        else if (!ShiftedLeft(geometry, plan.shift, &page->Placements[a]))
            return false;
    }
    return true;
}

qint64 PlannedPatches(const PageAreas &plan)
{
    qint64 n = 0;
    for (int a = 0; a < plan.areaCount; ++a)
        n += qint64(plan.rows[a]) * plan.columns[a];
    return n;
}

bool PlanIsSound(const PageAreas &plan)
{
    for (int a = 0; a < plan.areaCount; ++a) {
        if (plan.rows[a] < 0 || plan.columns[a] < 0)
            return false;
    }
    return true;
}

} // namespace

int CIODataFile::ImportChartDefinition(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                                       const QString &path, int fileType)
{
    int result = Success;
    switch (fileType) {
    case 0:
    case 2:
        result = ImportXmlChartDefinition(chart, layoutRequest, patchCount, path);
        break;
    case 1:
        result = ImportListChart(chart, path);
        break;
    case 3:
        result = ImportCgatsChart(chart, layoutRequest, patchCount, path);
        break;
    default:
        break;
    }
    std::printf("Recog Mode: %d\n", chart->Recog);
    std::fflush(stdout);
    return result;
}

int CIODataFile::BuildSheetsByColumns(ChartDefinitionDataSheets *chart, const PatchList &patches, unsigned pageCount,
                                      const SheetLayout &layout, const AreaPlacement &geometry,
                                      const Sheet &pageTemplate, bool spread)
{
    const qint64 n = patches.size();
    const qint64 pages = pageCount;
    const qint64 rows = layout.rows;
    const qint64 columns = layout.columns;
    if (n == 0 || rows < 1 || columns < 1 || pages < 1 || pages > n)
        return ColumnBuildFailed;

    // Stride from the top of one long column to the next in the input.
    const qint64 stride = spread ? (n + columns - 1) / columns : rows * pages;
    const qint64 rem = n % stride;
    qint64 shortPage = 0;
    if (rem == 0)
        shortPage = pages - 1;
    else if (rem == rows)
        shortPage = 0;
    else
        shortPage = rem / rows - (rem % rows == 0 ? 1 : 0);
    const qint64 lastRows = stride % rows == 0 ? rows : stride % rows;

    QVector<PageAreas> plans(static_cast<int>(pages));
    qint64 planned = 0;
    for (qint64 s = 0; s < pages; ++s) {
        PageAreas &plan = plans[int(s)];
        const bool shortColumn = rem != 0 && rem % rows != 0 && s == shortPage;
        plan.areaCount = shortColumn ? 2 : 1;
        plan.rows[0] = int(s == pages - 1 ? lastRows : rows);
        plan.columns[0] = int(columns - (shortColumn ? 1 : 0) - (s > shortPage ? 1 : 0));
        if (shortColumn) {
            plan.rows[1] = int(rem % rows);
            plan.columns[1] = 1;
            plan.shift = plan.columns[0];
        }
        if (!PlanIsSound(plan))
            return ColumnBuildFailed;
        planned += PlannedPatches(plan);
    }
    if (planned != n)
        return ColumnBuildFailed;

    ResetPages(chart, int(pages), pageTemplate);
    chart->ChartPatchCount = int(n);
    chart->UNIT = 0;
    for (qint64 s = 0; s < pages; ++s) {
        Sheet &page = chart->Sheets[s];
        const PageAreas &plan = plans[int(s)];
        if (!ApplyAreas(&page, plan, geometry))
            return ColumnBuildFailed;
        if (page.PatchCount > 0)
            page.Patches = NewChartPatches(size_t(page.PatchCount));
        int out = 0;
        qint64 column = 0; // counted across the page's areas
        for (int a = 0; a < plan.areaCount; ++a) {
            for (int c = 0; c < plan.columns[a]; ++c, ++column) {
                for (int r = 0; r < plan.rows[a]; ++r) {
                    const qint64 input = column * stride + s * rows + r;
                    if (input >= n)
                        return ColumnBuildFailed;
                    PatchColor patch = patches.at(int(input));
                    patch.Area = a;
                    patch.Row = r;
                    patch.Column = c;
                    page.Patches[out++] = patch;
                }
            }
        }
    }
    return IsStorableChart(*chart) ? Success : ColumnBuildFailed;
}

int CIODataFile::BuildSheetsPageByPage(ChartDefinitionDataSheets *chart, const PatchList &patches, unsigned pageCount,
                                       const SheetLayout &layout, const AreaPlacement &geometry,
                                       const Sheet &pageTemplate)
{
    const qint64 n = patches.size();
    const qint64 pages = pageCount;
    const qint64 rows = layout.rows;
    const qint64 columns = layout.columns;
    if (n == 0 || rows < 1 || columns < 1 || pages < 1 || pages > n)
        return PageBuildFailed;
    const qint64 perPage = rows * columns;

    QVector<PageAreas> plans(static_cast<int>(pages));
    qint64 planned = 0;
    for (qint64 s = 0; s < pages; ++s) {
        PageAreas &plan = plans[int(s)];
        const qint64 remaining = n - perPage * s;
        if (remaining <= 0)
            return PageBuildFailed;
        plan.rows[0] = int(rows);
        if (remaining >= perPage) {
            plan.areaCount = 1;
            plan.columns[0] = int(columns);
        } else if (remaining % rows == 0) {
            // A last page of whole columns: only the columns it fills.
            plan.areaCount = 1;
            plan.columns[0] = int(remaining / rows);
        } else {
            const qint64 full = remaining / rows;
            plan.areaCount = 2;
            plan.columns[0] = int(full);
            plan.rows[1] = int(remaining - rows * full);
            plan.columns[1] = 1;
            plan.shift = int(full);
        }
        planned += PlannedPatches(plan);
    }
    if (planned != n)
        return PageBuildFailed;

    ResetPages(chart, int(pages), pageTemplate);
    chart->ChartPatchCount = int(n);
    chart->UNIT = 0;
    qint64 input = 0;
    for (qint64 s = 0; s < pages; ++s) {
        Sheet &page = chart->Sheets[s];
        const PageAreas &plan = plans[int(s)];
        if (!ApplyAreas(&page, plan, geometry))
            return PageBuildFailed;
        if (page.PatchCount > 0)
            page.Patches = NewChartPatches(size_t(page.PatchCount));
        int out = 0;
        for (int a = 0; a < plan.areaCount; ++a) {
            for (int c = 0; c < plan.columns[a]; ++c) {
                for (int r = 0; r < plan.rows[a]; ++r) {
                    if (input >= n)
                        return PageBuildFailed;
                    PatchColor patch = patches.at(int(input++));
                    patch.Area = a;
                    patch.Row = r;
                    patch.Column = c;
                    page.Patches[out++] = patch;
                }
            }
        }
    }
    return IsStorableChart(*chart) ? Success : PageBuildFailed;
}

int CIODataFile::GroupPatchesIntoAreas(Sheet *page, const PatchList &grid, const SheetLayout &size,
                                       const AreaPlacement &geometry, int shortRow, int *placed)
{
    *placed = 0;
    QHash<qint64, int> atPosition;
    for (int i = 0; i < grid.size(); ++i) {
        const PatchColor &p = grid.at(i);
        if (p.Area == -1)
            continue;
        const qint64 key = (qint64(p.Row) << 32) | quint32(p.Column);
        if (!atPosition.contains(key))
            atPosition.insert(key, i);
    }

    QVector<QVector<int>> runs;
    bool tooMany = false;
    auto close = [&runs, &tooMany](QVector<int> &run) {
        if (run.isEmpty())
            return;
        if (runs.size() == kMaxAreaCount)
            tooMany = true;
        else
            runs.append(run);
        run.clear();
    };

    QVector<int> block;
    QVector<int> rowRun;
    int columns = size.columns;
    for (int r = 0; r < size.rows && !tooMany; ++r) {
        if (r == shortRow) {
            close(block);
            columns = size.columns - 1;
        }
        bool gap = false;
        rowRun.clear();
        for (int c = 0; c < columns; ++c) {
            const int index = atPosition.value((qint64(r) << 32) | quint32(c), -1);
            if (index >= 0) {
                rowRun.append(index);
            } else {
                close(block);
                close(rowRun);
                gap = true;
            }
        }
        if (!gap && rowRun.size() == columns)
            block += rowRun;
        else
            close(rowRun);
    }
    if (!tooMany)
        close(block);

    int total = 0;
    for (const QVector<int> &run : runs)
        total += run.size();
    page->Patches.reset();
    page->Patches = total > 0 ? NewChartPatches(size_t(total)) : nullptr;
    page->PatchCount = total;
    page->AreaCount = runs.size();
    int out = 0;
    for (int k = 0; k < runs.size(); ++k) {
        const QVector<int> &run = runs.at(k);
        const PatchColor &first = grid.at(run.first());
        // Rows from the short row on have one column fewer, whichever row the run starts on.
        const bool narrow = shortRow >= 0 && first.Row >= shortRow;
        const int width = qMax(1, size.columns - (narrow ? 1 : 0));
        const int n = run.size();
        page->Areas[k] = {(n - 1) / width + 1, qMin(n, width), n};
        AreaPlacement &place = page->Placements[k];
        place = geometry;
        place.LeftTopX = int(qBound<qint64>(INT_MIN, geometry.LeftTopX + qint64(first.Column) * geometry.PatchWidthGap,
                                            INT_MAX));
        place.LeftTopY = int(qBound<qint64>(INT_MIN, geometry.LeftTopY + qint64(first.Row) * geometry.PatchHeightGap,
                                            INT_MAX));
        for (int i = 0; i < n; ++i) {
            PatchColor patch = grid.at(run.at(i));
            patch.Area = k;
            patch.Row = i / width;
            patch.Column = i % width;
            page->Patches[out++] = patch;
        }
    }
    *placed = total;
    return tooMany ? kTooManyAreas : Success;
}
