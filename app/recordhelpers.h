#pragma once
// Initialising, clearing, copying, searching and checking the chart and measurement records.

#include "app/records.h"

#include <cstddef>
#include <memory>

// New record arrays. The records come with every field zero; image bytes are left unset for a caller that
// writes them all. Like new[], a count of 0 gives an empty array and a failure throws std::bad_alloc.
std::unique_ptr<ChartDefinitionData::Sheet[]> NewChartSheets(size_t count);
std::unique_ptr<ChartDefinitionData::PatchColor[]> NewChartPatches(size_t count);
std::unique_ptr<MeasurementData[]> NewMeasurementPages(size_t count);
std::unique_ptr<MeasurementData::PatchData[]> NewMeasurementRecords(size_t count);
std::unique_ptr<unsigned char[]> NewImageBytes(size_t count);

// Charts: Init and Clear both reset the record to empty, its page, patch and image arrays released.
void InitChartDefinitionData(ChartDefinitionDataSheets *chart);
void ClearChartDefinitionData(ChartDefinitionDataSheets *chart);
// Measurements: the same for a measurement record and its page entries.
void InitMeasureFileData(MeasurementDataSheets *measurement);
void ClearMeasureFileData(MeasurementDataSheets *measurement);

// One page: releases its image bytes and patch array and resets it.
void ClearSheetData(ChartDefinitionData::Sheet *sheet);
void ClearMeasurementPage(MeasurementData *page);

// Every field of a page but its two arrays, which the destination keeps.
void CopySheetFields(ChartDefinitionData::Sheet *destination, const ChartDefinitionData::Sheet &source);
// The chart's own fields without its pages: the destination is cleared first and gets page and patch count 0.
void CopyChartHeader(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &source);

// Deep copies: the destination is cleared first, then gets new page, patch, record and image arrays.
// An allocation failure leaves the destination cleared and passes std::bad_alloc on.
void CopySheetData(ChartDefinitionData::Sheet *destination, const ChartDefinitionData::Sheet &source);
void CopyMeasurementPage(MeasurementData *destination, const MeasurementData &source);
void CopyChartDefinitionData(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &source);
void CopyMeasureFileData(MeasurementDataSheets *destination, const MeasurementDataSheets &source);
// The chart as a measurement saw it: the chart's header and, for every measured page entry, a deep copy of the
// sheet of its page number (page number 0 and numbers the chart lacks take the first sheet); the patch count is
// the sum of those sheets'. The destination is cleared first.
void CopyChartForMeasurement(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &chart,
                             const MeasurementDataSheets &measurement);

// Fills the block handed to the chart scanner for sheet sheetIndex (zero-filled first; an index outside the
// chart leaves it all zero).
void FillSheetInfoRecord(SheetInfoRecord *record, const ChartDefinitionDataSheets &chart, int sheetIndex);

// Equal area, row and column.
bool IsSamePatchPosition(const ChartDefinitionData::PatchColor &a, const ChartDefinitionData::PatchColor &b);
bool IsSamePatchPosition(const MeasurementData::PatchData &a, const MeasurementData::PatchData &b);
// Equal words 0, 2, 3 and 4 (ID, row, column and X); area and Y take no part.
bool IsSameMeasurementKey(const MeasurementData::PatchData &a, const MeasurementData::PatchData &b);

// First record with this area, row and column, copied to *found; false (and *found untouched) when none.
bool FindChartPatch(const ChartDefinitionData::PatchColor *patches, int n, int area, int row, int column,
                    ChartDefinitionData::PatchColor *found);
bool FindPatchMeasurement(const MeasurementData::PatchData *records, int n, int area, int row, int column,
                          MeasurementData::PatchData *found);

// True when any of the instrument values is non-zero (NaN included).
bool AnyMeasuredValue(const MeasurementData::PatchData &record);

// False when an area with patches reaches past 4.00 mm from the right or 33.00 mm from the bottom of its sheet.
bool ChartFitsSheetMargins(const ChartDefinitionDataSheets &chart);

bool NoMeasurementConditionSelected(const Setting::MeasureConditionSetting &setting);

// Page image resolution, 150 when unknown (0).
int ImageDpiOrDefault(int dpi);

int FillWords(qint32 *words, int n, qint32 value);
int CopyWords(qint32 *destination, const qint32 *source, int n);
