#pragma once
// Round-trip checks of the fuzz targets: field-by-field differences of charts and measurements, and the two
// writers every imported chart must survive (the document store and the own chart XML).

#include "files/iodatafile.h"

#include "app/resourcedata.h"

#include <QString>

namespace fuzz {

// The data-file object's host: the installation tables, as the program has them.
class FuzzHost : public CIODataFileHost
{
public:
    FuzzHost();
    int FindPaperSizeIndexInUnit(int unit, int width, int height) const override;
    int GetPageSizeWidth(int index) const override;
    int GetPageSizeHeight(int index) const override;
    int GetPageSizeMaxWidth(int index) const override;
    int GetPageSizeMaxHeight(int index) const override;
    int GetAreaLeftMin() const override;
    int GetAreaLeftMax() const override;
    int GetAreaTopMin() const override;
    int GetAreaTopMax() const override;
    float GetColorMinValue(int format) const override;
    float GetColorMaxValue(int format) const override;
    QPair<int, int> GetIso12642DefaultPosition(int id, int patchOrder) const override;
    int GetIso12642LayoutLongSide() const override;
    int GetIso12642LayoutShortSide() const override;

private:
    CResourceData m_resources;
};

// Frees a chart or a measurement at the end of a run.
struct ChartHolder {
    ChartDefinitionDataSheets chart;
    ChartHolder() = default;
    ChartHolder(const ChartHolder &) = delete;
    ChartHolder &operator=(const ChartHolder &) = delete;
    ~ChartHolder();
};
struct MeasurementHolder {
    MeasurementDataSheets measurement;
    MeasurementHolder() = default;
    MeasurementHolder(const MeasurementHolder &) = delete;
    MeasurementHolder &operator=(const MeasurementHolder &) = delete;
    ~MeasurementHolder();
};

// Equal floats: the same bits, or both not a number.
bool SameFloat(float a, float b);

// What a chart file keeps: header fields, pages, areas, patches in array order, QR positions, resolutions.
// Page images and clip areas are not kept by the store. Empty when equal, else the first difference.
QString DiffStoredChart(const ChartDefinitionDataSheets &expected, const ChartDefinitionDataSheets &actual);
// What the own chart XML keeps: the same without the diameter, patches in grid order with colour values to
// two decimals, and page images with their clip areas (the resolution only with an image).
QString DiffXmlChart(const ChartDefinitionDataSheets &expected, const ChartDefinitionDataSheets &actual);
// Everything a measurement file keeps; the barcode texts only when withTexts.
QString DiffMeasurement(const MeasurementDataSheets &expected, const MeasurementDataSheets &actual, bool withTexts);

// A chart an importer accepted, named as the main window names it from the file, must be storable as a
// designation chart and read back unchanged, and must export as own chart XML that imports back unchanged.
// Fails the run otherwise.
void CheckImportedChart(const char *target, CIODataFile &io, ChartDefinitionDataSheets *chart,
                        const QString &importedPath, const QString &folder);

// A designation or density measurement document: what the reader accepts the writer rewrites, and the
// rewrite must read back the same. Fails the run otherwise.
void CheckMeasureDocument(const char *target, const QString &path, bool density);

// The layout the main window's dialog proposes for n patches: about as many rows as columns.
SheetLayout ProposedLayout(int patchCount);

} // namespace fuzz
