#pragma once
// Import and export of exchange files: the program's own chart XML, the chart imports of other formats and
// the page builders they share. Every reader bounds what it takes from a file before using it and answers a
// result code (0 success, 700xx failure); nothing is kept between calls.

#include "app/records.h"
#include "app/settingrecords.h"

#include <QDomDocument>
#include <QDomElement>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstring>
#include <type_traits>

class QIODevice;
class QRegularExpression;
class QTextStream;
struct EnvironLightData;
namespace MeasureExport {
class RowCells;
}

// What the data-file object asks of its owner (the application model): paper sizes, layout limits, colour
// ranges and the ISO 12642-2 default layouts. Lengths in hundredths of a millimetre.
class CIODataFileHost
{
public:
    virtual ~CIODataFileHost() = default;

    virtual int FindPaperSizeIndexInUnit(int unit, int width, int height) const = 0;
    virtual int GetPageSizeWidth(int index) const = 0;
    virtual int GetPageSizeHeight(int index) const = 0;
    virtual int GetPageSizeMaxWidth(int index) const = 0;
    virtual int GetPageSizeMaxHeight(int index) const = 0;
    virtual int GetAreaLeftMin() const = 0;
    virtual int GetAreaLeftMax() const = 0;
    virtual int GetAreaTopMin() const = 0;
    virtual int GetAreaTopMax() const = 0;
    virtual float GetColorMinValue(int format) const = 0;
    virtual float GetColorMaxValue(int format) const = 0;
    // {column, row}, both from 1, in layout 1 (order 0) or layout 2; {0, 0} for an unknown id.
    virtual QPair<int, int> GetIso12642DefaultPosition(int id, int patchOrder) const = 0;
    virtual int GetIso12642LayoutLongSide() const = 0;
    virtual int GetIso12642LayoutShortSide() const = 0;

    // Measurement exports. The defaults stand for a host without inks, user illuminants or the chart scanner's
    // calculation; the model overrides them all.
    // The ink-channel list is read from here; null means no inks.
    virtual const Setting::UserEnvironment *GetUserEnvironment() const { return nullptr; }
    virtual UserIlluminantSlots GetUserIlluminants() const { return UserIlluminantSlots(); }
    // The spectrum a condition needs for an illuminant id (20 "Auto": the condition's own); 0 when one was found.
    virtual int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out)
    {
        Q_UNUSED(conditionId)
        Q_UNUSED(illuminantId)
        Q_UNUSED(out)
        return -1;
    }
    // Takes the paper white from the measured paper patch of the current measurement; false when none is found.
    virtual bool SetPaperWhiteFromMeasurement() { return false; }
    // The 49 patch values of one 152-value block for a condition id: 0 or the calculation's 200xx code.
    virtual int CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &setting,
                                     int conditionId)
    {
        Q_UNUSED(values)
        Q_UNUSED(block)
        Q_UNUSED(setting)
        Q_UNUSED(conditionId)
        return kNoPatchCalculation;
    }
    static constexpr int kNoPatchCalculation = 20006;

    // Chart page images (bit depth and spot-ink names from GetUserEnvironment): the side of a page's QR picture,
    // the scanner's quiet zone, and the picture itself written to path (0 or the scanner's code).
    virtual int GetBarcodeSize(const SheetInfoRecord &record) const
    {
        Q_UNUSED(record)
        return 0;
    }
    virtual int GetBarcodeInsetPixels() const { return 28; }
    virtual int CreateBarcodeImage(const QString &path, SheetInfoRecord *record)
    {
        Q_UNUSED(path)
        Q_UNUSED(record)
        return kNoBarcodeImage;
    }
    static constexpr int kNoBarcodeImage = 20077;
};

// Data rows of a CGATS table, one token list per row.
using CgatsRows = QList<QStringList>;
using PatchList = QVector<ChartDefinitionData::PatchColor>;

// Rows per column (or per page) and columns of a page layout.
struct SheetLayout {
    int rows = 0;
    int columns = 0;
};

// XML helpers shared by every XML reader and writer.
QDomElement AppendXmlElement(QDomNode parent, const QString &tag, const QString &content);
// Appends the declaration version="1.0" encoding="UTF-8" (plus the suffix) and the root element.
QDomElement CreateXmlRoot(QDomDocument &document, const QString &rootTag, const QString &declarationSuffix);
// UTF-8, two-space indentation, CR LF line ends; written through a temporary file so an existing file survives
// any failure. 0 or 70001.
int SaveXmlDocument(const QString &path, const QDomDocument &document);
// The same for a document already serialised with LF line ends.
int SaveXmlBytes(const QString &path, QByteArray bytes);
bool IsAnyZero(int a, int b, int c, int d);

// Sort predicates on records that begin with four ints (a patch: ID, area, row, column).
namespace detail {
template <int N, typename T>
int LeadingField(const T &record)
{
    static_assert(std::is_trivially_copyable<T>::value && sizeof(T) >= 4 * sizeof(int), "record of four ints");
    int fields[4];
    std::memcpy(fields, &record, sizeof(fields));
    return fields[N];
}
} // namespace detail

template <typename T>
bool LessByFirstField(const T &a, const T &b)
{
    return detail::LeadingField<0>(a) < detail::LeadingField<0>(b);
}
template <typename T>
bool LessBySecondField(const T &a, const T &b)
{
    return detail::LeadingField<1>(a) < detail::LeadingField<1>(b);
}
template <typename T>
bool LessByThirdField(const T &a, const T &b)
{
    return detail::LeadingField<2>(a) < detail::LeadingField<2>(b);
}
template <typename T>
bool LessByFourthField(const T &a, const T &b)
{
    return detail::LeadingField<3>(a) < detail::LeadingField<3>(b);
}

class CIODataFile
{
public:
    enum Result {
        Success = 0,
        FileOpenFailed = 70001,
        XmlNotWellFormed = 70002,
        UnknownXmlRoot = 70004,
        ChartXmlInvalid = 70005,
        XmlLayoutInvalid = 70006,
        XmlElementMissing = 70007,
        ListInvalid = 70008,
        NotAnInteger = 70011,
        CxfChartInvalid = 70013,
        CxfColorInvalid = 70014,
        CxfObjectsInvalid = 70015,
        PageBuildFailed = 70016,
        ColumnBuildFailed = 70017,
        ProfilerCgatsFailed = 70018,
        NoSampleNameLayout = 70019,
        ProfilerNotANumber = 70020,
        CgatsNeedsLayout = 70021,
        InstrumentInfoInvalid = 70022,
        CgatsNoColorFields = 70023,
        CgatsSecondStageFailed = 70024,
        NoDefaultPosition = 70025,
    };
    // What GroupPatchesIntoAreas answers when the grid breaks into more runs than a page has area slots.
    static constexpr int kTooManyAreas = -1;
    // Layout requests of the two-stage import.
    enum LayoutRequest { RequestIsoPatchOrder = 4, RequestRowsColumns = 5, RequestTargetLayout = 8 };
    // Kinds of XML chart document.
    enum XmlKind { XmlOwnChart = 6, XmlTargetConfiguration = 7, XmlTargetDescription = 8, XmlCxf = 9 };

    // The model passes itself: it implements the host interface.
    explicit CIODataFile(CIODataFileHost *host);
    virtual ~CIODataFile();

    // ---- Keyword vocabularies ---------------------------------------------------------------------------
    static QString ChartKindToText(int kind);
    static int ChartKindFromText(const QString &text); // -1 when unknown
    static QString RecogModeToText(int mode);
    static int RecogModeFromText(const QString &text); // 0-4, anything unknown is 4
    static QString ColorFormatToText(int format);
    // 0-6; with plusForm an unknown text gives its last digit + 2 (a non-digit 2, an empty text 0).
    static int ColorFormatFromText(const QString &text, bool plusForm);

    // Sorted unique "page-area" keys of a measurement's patch records.
    static QStringList ListPageAreaKeys(const MeasurementDataSheets &measurement);

    // 0, 70001 (cannot open) or 70002 (not well-formed, or nested deeper than any chart format).
    static int LoadXmlDocument(const QString &path, QDomDocument &document);
    // 1 + the first index >= start whose simplified line equals text; the number of lines when none does.
    static int FindLineIndex(const QStringList &lines, int start, const QString &text);

    // ---- Import dispatch ----------------------------------------------------------------------------------
    // fileType: 0 xml, 1 csv list, 2 CxF, 3 CGATS text; any other type does nothing and gives 0.
    int ImportChartDefinition(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                              const QString &path, int fileType);

    // ---- Own chart XML ------------------------------------------------------------------------------------
    // *kind gets the document kind (6-9); *patchCount is written only by the target-description reader.
    int ImportXmlChartDefinition(ChartDefinitionDataSheets *chart, int *kind, int *patchCount, const QString &path);
    int ReadChartDefinitionXml(ChartDefinitionDataSheets *chart, const QDomElement &root);
    // 0; 70001 when the file cannot be written (an existing file stays as it was); 70005 for a record the reader
    // would refuse or a text XML cannot carry (nothing is written then). One record gives the same bytes in every
    // run: the attributes go out in the order the format lists them.
    int WriteChartDefinition(const QString &path, const ChartDefinitionDataSheets *chart);

    // Other XML chart layouts.
    int ImportTargetConfigurationChart(ChartDefinitionDataSheets *chart, const QDomElement &root);
    int ImportTargetDescriptionChart(ChartDefinitionDataSheets *chart, int *patchCount, const QDomElement &root);
    int ImportCxfChart(ChartDefinitionDataSheets *chart, const QDomElement &root);
    // Second stage of the target-description import with the rows and columns the user typed.
    int ImportTargetDefinitionWithLayout(ChartDefinitionDataSheets *chart, const QString &path, int rows, int columns);
    // Appends one patch per "cc:Object" of the document (area, row and column 0). 0 or 70015.
    int ReadCxfObjects(PatchList *patches, const QDomElement &root, int colorFormat,
                       const QStringList &inkNames) const;
    // The device colour of one object in ink order, range-checked. 0 or 70014.
    int ReadCxfColorValues(float *values, const QDomElement &object, int colorFormat,
                           const QStringList &inkNames) const;

    // ---- Page building ------------------------------------------------------------------------------------
    // Lays the patches out column by column over pageCount pages (spread: the columns run on across pages).
    // 0 or 70017.
    int BuildSheetsByColumns(ChartDefinitionDataSheets *chart, const PatchList &patches, unsigned pageCount,
                             const SheetLayout &layout, const ChartDefinitionData::AreaPlacement &geometry,
                             const ChartDefinitionData::Sheet &pageTemplate, bool spread);
    // Fills page after page with rows x columns patches. 0 or 70016.
    int BuildSheetsPageByPage(ChartDefinitionDataSheets *chart, const PatchList &patches, unsigned pageCount,
                              const SheetLayout &layout, const ChartDefinitionData::AreaPlacement &geometry,
                              const ChartDefinitionData::Sheet &pageTemplate);
    // Turns a grid of patches (Area -1 marks an empty position) into areas of one page. Rows from shortRow on
    // have one column fewer (-1: none). *placed gets the number of patches put on the page. 0 or kTooManyAreas.
    static int GroupPatchesIntoAreas(ChartDefinitionData::Sheet *page, const PatchList &grid, const SheetLayout &size,
                                     const ChartDefinitionData::AreaPlacement &geometry, int shortRow, int *placed);

    // ---- List import --------------------------------------------------------------------------------------
    int ImportListChart(ChartDefinitionDataSheets *chart, const QString &path);

    // ---- CGATS import -------------------------------------------------------------------------------------
    int ImportCgatsChart(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount, const QString &path);
    int ImportCgatsChartAnyOriginator(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                                      QTextStream &stream);
    int ImportProfilerCgatsChart(ChartDefinitionDataSheets *chart, QTextStream &stream, int instrumentType);
    // Second stages. patchOrder 0 "Visual", 1 "Randam".
    int ImportCgatsChartWithFormat(ChartDefinitionDataSheets *chart, const QString &path, int patchOrder);
    int ImportCgatsChartWithLayout(ChartDefinitionDataSheets *chart, const QString &path, int rows, int columns);

    // CGATS helpers, also used by the XML layouts that carry a CGATS block.
    static QStringList ReadCgatsHeaderLines(QTextStream &stream);
    static CgatsRows ReadCgatsDataRows(QTextStream &stream, const QRegularExpression &separator);
    static QString FindKeywordValue(const QStringList &lines, const QString &keyword,
                                    const QRegularExpression &separator);
    static QString FindKeywordValueInStream(QTextStream &stream, const QString &keyword,
                                            const QRegularExpression &separator);
    static QString FindKeywordValueInStream(QTextStream &stream, const QString &keyword, const QString &separator);
    static bool SkipToLineContaining(QTextStream &stream, const QString &text);
    static QString FindTextAfter(const QStringList &lines, const QString &key);
    // fields gets ten entries (-1 unset): 0 id, 1 sample name, 2-5 colour channels. 0 or 70023.
    static int ParseCgatsDataFormat(QVector<int> *fields, int *colorFormat, int fieldCount,
                                    const QStringList &headerLines);
    static int ParseInstrumentInfo(int *columns, int *patchWidth, int *patchHeight, const QString &text);
    static int DeriveLayoutFromSampleNames(int *columns, int *rowsPerColumn, int *pages, const CgatsRows &rows,
                                           int namePosition, bool extendedNames);
    // Both parsers refuse an id outside 1-9999, a value outside the format's range or a row shorter than a
    // named field (70008) and a field that is not a number (70020).
    int ParseCgatsPatches(PatchList *patches, int colorFormat, const QVector<int> &fields,
                          const CgatsRows &rows) const;
    int ParseProfilerPatches(PatchList *patches, int colorFormat, const QVector<int> &colorPositions,
                             const CgatsRows &rows) const;
    // Parses and gives every patch its default row and column; 70025 for an id without a position.
    int PlaceIso12642Patches(PatchList *patches, int colorFormat, const QVector<int> &fields, const CgatsRows &rows,
                             int patchOrder) const;
    static int ClassifyInstrument(const QString &name);
    static QStringList SplitTextLines(const QString &text);
    static CgatsRows ReadEmbeddedCgatsRows(const QStringList &lines, int namePosition);
    // Base-52 value of the first letter run (A-Z 1-26, a-z 27-52); 0 without letters, -1 when it overflows.
    static int ColumnLettersToNumber(const QString &location);

    // ---- Measurement exports ------------------------------------------------------------------------------
    enum MeasurementResult {
        MeasureFileWriteFailed = 70002,
        LightFormatUnknown = 70009,
        LightFileInvalid = 70010,
        LightNumberInvalid = 70011,
    };
    // Where a data row's values come from: one measured record and the chart patch at its place.
    struct ExportRow {
        int sheetIndex;
        const MeasurementData::PatchData *record;
        const ChartDefinitionData::PatchColor *patch;
    };
    // SAMPLE_LOC area numbers by (sheet index, area): the place of "sheet-area" in the area key list, from 1.
    using AreaNumbers = QHash<QPair<int, int>, int>;
    // Format ids 0-9; 0 and nothing written for any other id. A writer answers 70001 when the file cannot be
    // written, else the first calculation failure (the file is still complete, that condition without rows).
    int SaveMeasurementData(const QString &path, int formatId, const QString &createTime,
                            const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                            const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart);
    // style 0 own text, 1 CGATS XML, 2 CGATS text.
    static QStringList BuildExportFieldList(int style, const Setting::MeasureConditionSetting &setting,
                                            int colorFormat);
    // The row's cells in field-list order; without area numbers the five classic location columns.
    int BuildExportRow(MeasureExport::RowCells *cells, const Setting::MeasureConditionSetting &setting,
                       int conditionId, int sheetIndex, const MeasurementData::PatchData &record,
                       const ChartDefinitionData::PatchColor &patch, int chartColorFormat,
                       const AreaNumbers &areaNumbers);
    static void CollectRowsInLayoutOrder(QVector<ExportRow> *rows, const MeasurementDataSheets &measurement,
                                         const ChartDefinitionDataSheets &chart);
    static void CollectRowsInIdOrder(QVector<ExportRow> *rows, const MeasurementDataSheets &measurement,
                                     const ChartDefinitionDataSheets &chart);
    // order 1 ID order, otherwise layout order.
    static void CollectRows(QVector<ExportRow> *rows, int order, const MeasurementDataSheets &measurement,
                            const ChartDefinitionDataSheets &chart);
    static QStringList BuildAreaKeyList(const MeasurementDataSheets &measurement);
    static AreaNumbers BuildAreaNumbers(const QStringList &areaKeys);
    // Every patch of every sheet as (sheet index, patch), stably sorted by ID.
    static QVector<QPair<int, const ChartDefinitionData::PatchColor *>> ListChartPatchesById(
        const ChartDefinitionDataSheets &chart);
    // The colour format of the chart's first patch; 0 when the chart has none.
    static int ChartColorFormat(const ChartDefinitionDataSheets &chart);

    int WriteMeasurementText(const QString &path, const QString &separator, const QString &createTime,
                             const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                             const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart,
                             int order);
    int WriteMeasurementCgatsText(const QString &path, const QString &separator, const QString &createTime,
                                  const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                                  const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart,
                                  int order);
    int WriteMeasurementCgatsXml(const QString &path, const QString &createTime,
                                 const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                                 const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart,
                                 int order);
    int WriteMeasurementCxf(const QString &path, const QString &createTime,
                            const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                            const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart,
                            int order);

    // ---- Measurement file for a folder or a printer -------------------------------------------------------
    // contentFlag 0 spectral, otherwise colorimetric. 0, 70001, 70002 or the calculation's code (no file then).
    int SaveMeasureDataFile(const QString &path, const QString &createTime, int contentFlag,
                            const Setting::MeasureConditionSetting &setting, const MeasurementDataSheets &measurement,
                            const ChartDefinitionDataSheets &chart);
    int BuildMeasureDataText(QString *text, const QString &separator, const QString &lineEnd,
                             const QString &createTime, int contentFlag,
                             const Setting::MeasureConditionSetting &setting, const MeasurementDataSheets &measurement,
                             const ChartDefinitionDataSheets &chart);
    static bool IsRotatedMeasureDataForm(int contentFlag, int instrumentKind);
    // Both 0, 70001 (cannot open) or 70002 (a write or the final replace failed); an existing file survives.
    static int WriteUtf8TextFile(const QString &path, const QString &text);
    static int WriteRotatedTextFile(const QString &path, const QString &text);
    // The same onto an open device: 0 or 70002.
    static int WriteUtf8Text(QIODevice &device, const QString &text);
    static int WriteRotatedText(QIODevice &device, const QString &text);
    // Local 8-bit bytes up to the first zero byte, each rotated right by one bit.
    static QByteArray RotateTextBytes(const QString &text);

    // ---- Light-source spectral data files (format 0 ".uid2", 1 ".uid") ------------------------------------
    static int WriteEnvironmentLightData(const QString &path, int format, const EnvironLightData &light);
    static int ReadEnvironmentLightData(EnvironLightData *light, const QString &path, int format);

    // ---- Chart page images --------------------------------------------------------------------------------
    // Every page as a TIFF at the user's bit depth: 0, 100001, 100002 or the scanner's QR code.
    int OutputChartImage(const QString &path, const ChartDefinitionDataSheets *chart);

private:
    int ReadOneSheet(const QDomElement &sheetElement, int unit, bool withBarcode, ChartDefinitionData::Sheet *sheet,
                     int *chartFormat) const;
    int ConvertLength(int unit, int value, int candidateA, int candidateB, int *result) const;
    int ValidateForWriting(const ChartDefinitionDataSheets &chart) const;
    bool ColorValueInRange(int format, double value) const;

    CIODataFileHost *m_host;
};
