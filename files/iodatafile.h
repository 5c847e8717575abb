#pragma once
// Import and export of exchange files: the program's own chart XML, the chart imports of other formats and
// the page builders they share. Every reader bounds what it takes from a file before using it and answers a
// result code (0 success, 700xx failure); nothing is kept between calls.

#include "app/records.h"

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstring>
#include <type_traits>

class QRegularExpression;
class QTextStream;

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
        ListInvalid = 70008,
        NotAnInteger = 70011,
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
    // 0, 70001, or 70005 for a record the reader would refuse (nothing is written then).
    int WriteChartDefinition(const QString &path, const ChartDefinitionDataSheets *chart);

    // Other XML chart layouts.
    int ImportTargetConfigurationChart(ChartDefinitionDataSheets *chart, const QDomElement &root);
    int ImportTargetDescriptionChart(ChartDefinitionDataSheets *chart, int *patchCount, const QDomElement &root);
    int ImportCxfChart(ChartDefinitionDataSheets *chart, const QDomElement &root);

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

private:
    int ReadOneSheet(const QDomElement &sheetElement, int unit, bool withBarcode, ChartDefinitionData::Sheet *sheet,
                     int *chartFormat) const;
    int ConvertLength(int unit, int value, int candidateA, int candidateB, int *result) const;
    int ValidateForWriting(const ChartDefinitionDataSheets &chart) const;
    bool ColorValueInRange(int format, double value) const;
    int ReadCgatsSecondStage(ChartDefinitionDataSheets *chart, const QString &path, QVector<int> *fields,
                             int *colorFormat, CgatsRows *rows) const;

    CIODataFileHost *m_host;
};
