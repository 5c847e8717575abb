#pragma once
// The five document file kinds of the document store: designation charts, density charts, designation and
// density measurements and recognition measurements, each one binary store file.
//
// Writers go through the atomic store writer: on any failure the previous file stays as it was. Readers check
// every count against the bytes left before allocating and free everything they read when they refuse a file.

#include "app/records.h"

#include <QString>

#include <vector>

class QDataStream;
class QIODevice;

// Results of the document store and its files.
constexpr int kDocumentOk = 0;
constexpr int kDocumentFileError = 80002;   // a file cannot be opened, written or read
constexpr int kDocumentFolderError = 80003; // a folder cannot be made
constexpr int kDocumentCopyError = 80004;   // the first-run copy failed
constexpr int kDocumentInvalid = 80005;     // a file's content is invalid
constexpr int kDocumentNoChartPage = 80006; // a recognition measurement to combine has no chart page

// Stream blocks shared by the file kinds. A replacement page is written in place of the page at index, or
// after the last page when index is negative; without one the pages are written as they are.
void WriteSheets(QDataStream &stream, const ChartDefinitionDataSheets &chart,
                 const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
// Fills SheetCount, UNIT and the pages; false when the block is invalid (the caller clears the chart).
bool ReadSheets(QDataStream &stream, ChartDefinitionDataSheets *chart);
void WriteSheetsBarcode(QDataStream &stream, const ChartDefinitionDataSheets &chart,
                        const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
void WriteSheetsResolution(QDataStream &stream, const ChartDefinitionDataSheets &chart,
                           const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
void WriteMeasurement(QDataStream &stream, const MeasurementDataSheets &measurement,
                      const MeasurementData *page = nullptr, int index = -1);
void WriteMeasurementSheet(QDataStream &stream, const MeasurementData &page);
// A page as WriteMeasurementSheet streams it.
QByteArray MeasurementSheetBytes(const MeasurementData &page);
// A measurement document from pages kept as MeasurementSheetBytes, laid out as SaveMeasureFile (or, with
// density, SaveDensityMeasureFile) writes it: 0 or kDocumentFileError (the old file is kept).
int SaveMeasurePageBytes(const QString &path, bool density, const ChartDesigMeasureData &record, qint32 mode,
                         const QString &serialNumber, const std::vector<QByteArray> &pages,
                         const QString &barcodeText1, const QString &barcodeText2);
// Fills the page count, mode, short text and pages; version is the file's first version byte (pages of
// version 1 files carry no resolution and read as 150 dpi). False when the block is invalid.
bool ReadMeasurement(QDataStream &stream, MeasurementDataSheets *measurement, int version);

// Writers: 0, kDocumentFileError when the file cannot be written (the old file is kept), kDocumentInvalid for a
// replacement index at or past the last page or a chart or measurement the reader would refuse (IsStorableChart,
// IsStorableMeasurement, the replacement page included; nothing is written then). With a replacement page the
// record's ChartPatchCount (charts) or RecordCount (measurements) loses the replaced page's count and gains the
// new page's, also when the write fails.
int SaveChartFile(const QString &path, ChartDesigData *record, const ChartDefinitionDataSheets &chart,
                  const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
int SaveChartFile(QIODevice &device, ChartDesigData *record, const ChartDefinitionDataSheets &chart,
                  const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
int SaveDensityChartFile(const QString &path, DensityBalanceData *record, const ChartDefinitionDataSheets &chart,
                         const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
int SaveDensityChartFile(QIODevice &device, DensityBalanceData *record, const ChartDefinitionDataSheets &chart,
                         const ChartDefinitionData::Sheet *page = nullptr, int index = -1);
int SaveMeasureFile(const QString &path, ChartDesigMeasureData *record, const MeasurementDataSheets &measurement,
                    const MeasurementData *page = nullptr, int index = -1);
int SaveMeasureFile(QIODevice &device, ChartDesigMeasureData *record, const MeasurementDataSheets &measurement,
                    const MeasurementData *page = nullptr, int index = -1);
int SaveDensityMeasureFile(const QString &path, ChartDesigMeasureData *record,
                           const MeasurementDataSheets &measurement, const MeasurementData *page = nullptr,
                           int index = -1);
int SaveDensityMeasureFile(QIODevice &device, ChartDesigMeasureData *record,
                           const MeasurementDataSheets &measurement, const MeasurementData *page = nullptr,
                           int index = -1);
int SaveRecognitionFile(const QString &path, ChartRecogData *record, const ChartDefinitionDataSheets &chart,
                        const MeasurementDataSheets &measurement, const MeasurementData *page = nullptr,
                        int index = -1);
int SaveRecognitionFile(QIODevice &device, ChartRecogData *record, const ChartDefinitionDataSheets &chart,
                        const MeasurementDataSheets &measurement, const MeasurementData *page = nullptr,
                        int index = -1);

// Readers: 0, kDocumentFileError or kDocumentInvalid. On success the record's file fields are filled (its ID,
// chart ID and job number are left alone) and the chart / measurement, cleared first, takes what was read;
// charts come back without page images and clip areas. On failure record, chart and measurement are untouched.
// A null chart or measurement is read and dropped.
int ReadChartFile(ChartDesigData *record, ChartDefinitionDataSheets *chart, const QString &path);
int ReadDensityChartFile(DensityBalanceData *record, ChartDefinitionDataSheets *chart, const QString &path);
int ReadMeasureFile(ChartDesigMeasureData *record, MeasurementDataSheets *measurement, const QString &path);
int ReadDensityMeasureFile(ChartDesigMeasureData *record, MeasurementDataSheets *measurement, const QString &path);
int ReadRecognitionFile(ChartRecogData *record, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement,
                        const QString &path);

// List readers: only what a list entry needs. The file is walked by its count fields without decoding the pages'
// contents, so a file cut short, or one whose counts do not fit its length, is refused as by the readers above;
// damage inside the records is found by the full read when the document is opened. Results and record fields
// as the readers above give them with a null chart or measurement. *unit takes a chart's length unit.
int ListChartFile(ChartDesigData *record, const QString &path, int *unit = nullptr);
int ListDensityChartFile(DensityBalanceData *record, const QString &path);
int ListMeasureFile(ChartDesigMeasureData *record, const QString &path);
int ListDensityMeasureFile(ChartDesigMeasureData *record, const QString &path);
int ListRecognitionFile(ChartRecogData *record, const QString &path);
