#pragma once
// The rules a chart must keep for the document store to read it back: the chart document readers refuse a file
// that breaks one of them. The readers check them field by field through the predicates below; the importers,
// the store and the document writers check a whole chart before it goes anywhere, so a chart that was accepted
// once is never lost at the next start.

#include "app/records.h"

#include <climits>

// The most image bytes one byte array of a document file can hold.
constexpr qint64 kMaxStorableImageBytes = INT_MAX - 64;

bool IsStorableUnit(int unit);                // 0 mm, 1 inch
bool IsStorableBarcodeFlag(int barcode);      // 0 or 1
bool IsStorableAreaCount(int count);          // 0 .. 50
bool IsStorableClipAreaCount(int count);      // 0 .. 50
bool IsStorableColorFormat(int format);       // 0 .. 6
bool IsStorableImageSize(qint64 width, qint64 height, qint64 bitsPerPixel); // no negative factor
// The patch lies inside the grid of one of the page's first AreaCount areas.
bool IsPatchInGrid(const ChartDefinitionData::Sheet &sheet, const ChartDefinitionData::PatchColor &patch);

// One page: counts, areas, clip areas, an image whose bytes are there and fit the file, every patch in its grid
// with a known colour format.
bool IsStorableSheet(const ChartDefinitionData::Sheet &sheet);
// The chart's own fields: a page array for its page count, the unit and the barcode flag.
bool IsStorableChartFields(const ChartDefinitionDataSheets &chart);
// Both of the above for every page.
bool IsStorableChart(const ChartDefinitionDataSheets &chart);

// The same for a measurement, by the rules of the measurement block reader.
bool IsStorableMeasurementMode(int mode); // 0 chart scanner, 1 .. 3 handheld
// Sizes that are not negative, and bytes that are there and fit the file whenever the sizes ask for some.
bool IsStorableImage(qint64 width, qint64 height, qint64 bitsPerPixel, const unsigned char *bytes);
// One measured page: its image, a record array for its record count, every record's colour format.
bool IsStorableMeasuredPage(const MeasurementData &page);
// The measurement's own fields: a page array for its page count and the mode.
bool IsStorableMeasurementFields(const MeasurementDataSheets &measurement);
// Both of the above for every page.
bool IsStorableMeasurement(const MeasurementDataSheets &measurement);
