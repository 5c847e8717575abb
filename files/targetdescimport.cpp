// Chart import from target-description XML: the chart's settings as element texts and the patches in an
// embedded CGATS block. The first stage lays the chart out from its sample locations or in file order; when the
// declared layout does not match the locations, the second stage takes rows and columns from the user.

#include "files/iodatafile.h"
#include "files/xmlchartimport.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"
#include "app/texthelpers.h"

#include <QRegularExpression>
#include <QSet>

#include <initializer_list>
#include <utility>

namespace {

using ChartDefinitionData::AreaPlacement;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kDefaultPatchSize = 600;
constexpr int kMargin = 500;
constexpr int kPageFrame = 1000;
constexpr int kNoField = -1;

const QRegularExpression &WhiteSpace()
{
    static const QRegularExpression expression(QStringLiteral("\\s+"));
    return expression;
}

QString ChildText(const QDomElement &root, const char *tag)
{
    return root.firstChildElement(QLatin1String(tag)).text();
}

// Millimetres with any "mm" removed; no number counts as 0. False when the result does not fit an int.
bool ReadLength(const QDomElement &root, const char *tag, int *fixed)
{
    QString text = ChildText(root, tag);
    text.remove(QStringLiteral("mm"));
    double mm = 0;
    if (!ParseFiniteNumber(text, &mm))
        mm = 0;
    return xmlchart::MillimetresToFixed(mm, fixed);
}

// Patch size, gaps, area geometry and page template shared by both stages.
struct Geometry {
    AreaPlacement area;
    Sheet page;
};

int ReadGeometry(const QDomElement &root, int rows, int columns, Geometry *geometry)
{
    if (rows < 1 || columns < 1)
        return CIODataFile::XmlLayoutInvalid;
    int w = 0;
    int h = 0;
    int gx = 0;
    int gy = 0;
    if (!ReadLength(root, "patchWidth", &w) || !ReadLength(root, "patchHeight", &h) ||
        !ReadLength(root, "horizontalGap", &gx) || !ReadLength(root, "verticalGap", &gy))
        return CIODataFile::XmlLayoutInvalid;
    if (w < 1)
        w = kDefaultPatchSize;
    if (h < 1)
        h = kDefaultPatchSize;
    AreaPlacement &area = geometry->area;
    area = AreaPlacement{kMargin, kMargin, w, h, 0, 0};
    geometry->page = Sheet();
    // A negative gap is used as it is; only a page that vanishes or overflows is refused.
    if (!FitsInt(qint64(w) + gx, &area.PatchWidthGap) || !FitsInt(qint64(h) + gy, &area.PatchHeightGap) ||
        !FitsInt(qint64(columns) * w + qint64(columns - 1) * gx + kPageFrame, &geometry->page.Width) ||
        !FitsInt(qint64(rows) * h + qint64(rows - 1) * gy + kPageFrame, &geometry->page.Height) ||
        geometry->page.Width < 1 || geometry->page.Height < 1)
        return CIODataFile::XmlLayoutInvalid;
    return CIODataFile::Success;
}

// The CGATS block's field positions as the first stage names them.
struct FirstStageFields {
    int count = 0;
    int id = kNoField;
    int location = kNoField;
    QVector<int> colors;
};

bool ReadFieldNames(const QString &line, int format, FirstStageFields *fields)
{
    static const char *const kRgb[] = {"RGB_R", "RGB_G", "RGB_B"};
    static const char *const kCmyk[] = {"CMYK_C", "CMYK_M", "CMYK_Y", "CMYK_K"};
    const QStringList names = line.split(WhiteSpace(), Qt::SkipEmptyParts);
    const int channels = format + 2;
    const char *const *colorNames = format == ChartDefinitionData::FormatRGB ? kRgb : kCmyk;
    fields->count = names.size();
    fields->colors.fill(kNoField, channels);
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (name == QLatin1String("SAMPLE_ID"))
            fields->id = i;
        else if (name == QLatin1String("SAMPLE_LOC"))
            fields->location = i;
        for (int k = 0; k < channels; ++k) {
            if (name == QLatin1String(colorNames[k]))
                fields->colors[k] = i;
        }
    }
    return fields->id != kNoField && !fields->colors.contains(kNoField);
}

} // namespace

int CIODataFile::ImportTargetDescriptionChart(ChartDefinitionDataSheets *chart, int *patchCount,
                                              const QDomElement &root)
{
    xmlchart::ResetImportedChart(chart);
    chart->ChartName = ChildText(root, "name");

    const QDomElement colorSpace = root.firstChildElement(QStringLiteral("colorSpace"));
    if (colorSpace.isNull())
        return XmlElementMissing;
    const int format = ColorFormatFromText(colorSpace.text(), false);
    if (format != ChartDefinitionData::FormatRGB && format != ChartDefinitionData::FormatCMYK)
        return XmlLayoutInvalid;
    int pages = 0;
    if (!ParseDecimalInt(ChildText(root, "pages"), &pages) || pages == 0)
        pages = 1;
    if (pages < 0)
        return XmlLayoutInvalid;
    int rows = 0;
    int columns = 0;
    for (const auto &count : {std::make_pair("rows", &rows), std::make_pair("columns", &columns)}) {
        const QDomElement element = root.firstChildElement(QLatin1String(count.first));
        if (element.isNull())
            return XmlElementMissing;
        if (!ParseDecimalInt(element.text(), count.second))
            return NotAnInteger;
    }
    Geometry geometry;
    const int read = ReadGeometry(root, rows, columns, &geometry);
    if (read != Success)
        return read;
    const QDomElement recog = root.firstChildElement(QStringLiteral("recog"));
    chart->Recog = recog.isNull() ? int(ChartDefinitionData::RecogCombine) : RecogModeFromText(recog.text());

    const QStringList lines = SplitTextLines(ChildText(root, "targetdefinition"));
    const int nameLine = FindLineIndex(lines, 0, QStringLiteral("BEGIN_DATA_FORMAT"));
    if (nameLine >= lines.size())
        return XmlLayoutInvalid;
    FirstStageFields fields;
    if (!ReadFieldNames(lines.at(nameLine), format, &fields))
        return XmlLayoutInvalid;
    const int firstData = FindLineIndex(lines, nameLine + 1, QStringLiteral("BEGIN_DATA"));
    if (firstData >= lines.size())
        return XmlLayoutInvalid;
    const QStringList firstTokens = lines.at(firstData).split(WhiteSpace(), Qt::SkipEmptyParts);
    if (fields.location != kNoField && fields.location >= firstTokens.size())
        return XmlLayoutInvalid;

    if (fields.location == kNoField || firstTokens.at(fields.location) != QLatin1String("A1")) {
        // Column layout: file order, column by column, spread across the declared pages.
        const CgatsRows dataRows = ReadEmbeddedCgatsRows(lines, fields.location);
        for (const QStringList &row : dataRows) {
            if (row.size() <= fields.location)
                return XmlLayoutInvalid;
        }
        PatchList patches;
        if (ParseProfilerPatches(&patches, format, fields.colors, dataRows) != Success)
            return XmlLayoutInvalid;
        return BuildSheetsByColumns(chart, patches, unsigned(pages), SheetLayout{rows, columns}, geometry.area,
                                    geometry.page, true) == Success &&
                       IsStorableChart(*chart)
                   ? Success
                   : XmlLayoutInvalid;
    }

    // Location layout.
    CgatsRows dataRows;
    for (int i = firstData; i < lines.size() && lines.at(i) != QLatin1String("END_DATA"); ++i)
        dataRows.append(lines.at(i).split(WhiteSpace(), Qt::SkipEmptyParts));
    int derivedColumns = 0;
    int derivedRows = 0;
    int derivedPages = 0;
    DeriveLayoutFromSampleNames(&derivedColumns, &derivedRows, &derivedPages, dataRows, fields.location, true);
    // Short-circuit order keeps the products within 64 bits: the derived columns are at most a few hundred.
    if (qint64(derivedColumns) != qint64(pages) * columns || derivedRows != rows ||
        qint64(dataRows.size()) != qint64(derivedColumns) * rows) {
        *patchCount = dataRows.size();
        return XmlLayoutInvalid;
    }

    // pages x columns x rows equals the number of data rows here, so these lists are bounded by the file.
    const float low = m_host->GetColorMinValue(format);
    const float high = m_host->GetColorMaxValue(format);
    QVector<PatchList> pageLists(pages);
    QSet<qint64> taken;
    for (const QStringList &tokens : dataRows) {
        if (tokens.size() != fields.count)
            return XmlLayoutInvalid;
        PatchColor patch;
        if (!ParseDecimalInt(tokens.at(fields.id), &patch.ID))
            return NotAnInteger;
        if (!xmlchart::IsValidPatchId(patch.ID))
            return XmlLayoutInvalid;
        const QString &location = tokens.at(fields.location);
        const int n = ColumnLettersToNumber(location);
        if (n < 1 || (n - 1) / columns >= pages)
            return XmlLayoutInvalid;
        const int page = (n - 1) / columns;
        patch.Column = columns - 1 - (n - 1) % columns;
        int number = 0;
        if (!ParseDecimalInt(RegExpMatch(location, QStringLiteral("[0-9]+")), &number))
            return NotAnInteger;
        if (number < 1 || number > rows)
            return XmlLayoutInvalid;
        patch.Row = number - 1;
        if (taken.contains(qint64(n) * rows + patch.Row))
            return XmlLayoutInvalid;
        taken.insert(qint64(n) * rows + patch.Row);
        patch.ColorFormat = format;
        for (int k = 0; k < fields.colors.size(); ++k) {
            double value = 0;
            if (!ParseFiniteNumber(tokens.at(fields.colors.at(k)), &value))
                return NotAnInteger;
            if (value < double(low) || value > double(high))
                return XmlLayoutInvalid;
            patch.ColorValue[k] = float(value);
        }
        pageLists[page].append(patch);
    }

    chart->Sheets = NewChartSheets(size_t(pages));
    chart->SheetCount = pages;
    const qint64 perPage = qint64(rows) * columns;
    for (int s = 0; s < pages; ++s) {
        Sheet &page = chart->Sheets[s];
        page.Width = geometry.page.Width;
        page.Height = geometry.page.Height;
        if (pageLists.at(s).size() != perPage)
            return XmlLayoutInvalid;
        int placed = 0;
        if (GroupPatchesIntoAreas(&page, pageLists.at(s), SheetLayout{rows, columns}, geometry.area, -1, &placed) !=
                Success ||
            placed != perPage)
            return XmlLayoutInvalid;
        chart->ChartPatchCount += page.PatchCount;
    }
    return IsStorableChart(*chart) ? Success : XmlLayoutInvalid;
}

int CIODataFile::ImportTargetDefinitionWithLayout(ChartDefinitionDataSheets *chart, const QString &path, int rows,
                                                  int columns)
{
    QDomDocument document;
    const int loaded = LoadXmlDocument(path, document);
    if (loaded != Success)
        return loaded;
    const QDomElement root = document.documentElement();
    xmlchart::ResetImportedChart(chart);
    chart->ChartName = ChildText(root, "name");
    Geometry geometry;
    const int read = ReadGeometry(root, rows, columns, &geometry);
    if (read != Success)
        return read;

    const QStringList lines = SplitTextLines(ChildText(root, "targetdefinition"));
    int fieldCount = 0;
    if (!ParseDecimalInt(FindKeywordValue(lines, QStringLiteral("NUMBER_OF_FIELDS"), WhiteSpace()), &fieldCount))
        fieldCount = 0;
    QVector<int> fields;
    int format = ChartDefinitionData::FormatNone;
    if (ParseCgatsDataFormat(&fields, &format, fieldCount, lines) != Success)
        return XmlLayoutInvalid;
    const QVector<int> colors = fields.mid(2, format + 2);
    PatchList patches;
    if (ParseProfilerPatches(&patches, format, colors, ReadEmbeddedCgatsRows(lines, fields.value(1, kNoField))) !=
        Success)
        return XmlLayoutInvalid;
    return BuildSheetsByColumns(chart, patches, 1, SheetLayout{rows, columns}, geometry.area, geometry.page, false) ==
                       Success &&
                   IsStorableChart(*chart)
               ? Success
               : XmlLayoutInvalid;
}
