#pragma once
// The data operations of the patch-area editor over its private copies of a chart and a measurement: which sheet
// a measured page belongs to, the points the deletions in effect remove, when nothing is left to finish with,
// the recolouring at load, and laying a new area or a scanner's clipping result into a page.

#include "app/instrumentrecords.h"
#include "app/records.h"

#include <QList>
#include <QVector>

#include <functional>

namespace PatchAreaCore {

enum Result {
    Success = 0,
    TooManyAreasAdded = 404,   // the page would hold more than 50 areas
    TooManyAreasMerged = 405,  // the same for a clipping result
    LocatedCountMismatch = 406 // the clipping result's patch count differs from its located points
};

constexpr int kMaxPatchId = 9999;

// A measured point by its place in the page's areas.
struct GridPoint {
    int area = 0;
    int row = 0;
    int column = 0;
};

// Page number 1..n is sheet n - 1; a page not yet numbered (0) takes the first sheet.
int SheetIndexOfPage(int pageNumber);

// The points removed by the commands in effect, those below the undo stack's index, in stack and item order, as
// the records the buffer's regrouping takes (area, row and column set, all else 0).
QList<ChartDefinitionData::PatchColor> DeletedPointList(const QVector<QVector<GridPoint>> &commands, int index);

// True when some sheet has no patch, or the deletions would remove every patch of the current page's sheet.
bool NothingLeft(const ChartDefinitionDataSheets &chart, int currentSheet, int deletedCount);

// Recolours every patch of every sheet from the first three colour values (RGB) of the measured record at its
// place in the entry of that sheet; patches without one, and sheets without an entry, become white. fillValue
// gives the paper value of a colour format.
void RecolourFromMeasurement(ChartDefinitionDataSheets *chart, const MeasurementDataSheets &measurement,
                             const std::function<float(int)> &fillValue);

// Appends the areas of `added` (a sheet whose patches are only counted) to sheet `sheetIndex` of the chart and a
// measured point at each new patch's centre to `entry`. New patches continue the page's patch IDs and new points
// its point IDs (the two counters start at 1 and 0); both get colorFormat with paperValue in its channels.
// TooManyAreasAdded leaves everything as it was.
int AddAreaToPage(ChartDefinitionDataSheets *chart, int sheetIndex, MeasurementData *entry,
                  const ChartDefinitionData::Sheet &added, int colorFormat, float paperValue);

// Appends the areas the scanner found (`result`) to `page`, takes over its page image and clip areas when it has
// an image, and gives `entry` a measured point for every new patch that has a located point. New patches are
// numbered and coloured as AddAreaToPage does; new points carry no colour. TooManyAreasMerged or
// LocatedCountMismatch (which wins) leave everything as it was.
int MergeClippingResult(ChartDefinitionData::Sheet *page, MeasurementData *entry,
                        const ChartDefinitionData::Sheet &result, const QVector<OrloLocatedPoint> &located,
                        int colorFormat, float paperValue);

} // namespace PatchAreaCore
