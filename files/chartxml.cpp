// The program's own chart-definition XML: the entry that opens any XML chart file, the reader and the writer.

#include "files/iodatafile.h"
#include "files/parsehelpers.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"
#include "app/constants.h"
#include "app/unithelpers.h"

#include <QCoreApplication>
#include <QPair>
#include <QVector>
#include <QXmlStreamWriter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <tuple>

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kFormatMajor = 5;
constexpr int kFormatMinor = 0;
// Rows x columns of one area. A 1 mm pitch on the largest page stays far below; the bound keeps per-cell loops
// of later stages finite.
constexpr qint64 kMaxAreaCells = 1000000;
constexpr int kUnitCount = 2;

bool IntAttribute(const QDomElement &element, const char *name, int *value)
{
    return ParseDecimalInt(element.attribute(QLatin1String(name)), value);
}

// Counts that must not be negative; the value is bounded by the caller before use.
bool UnsignedAttribute(const QDomElement &element, const char *name, qint64 *value)
{
    bool ok = false;
    const uint v = element.attribute(QLatin1String(name)).toUInt(&ok, 10);
    if (ok)
        *value = qint64(v);
    return ok;
}

int CountChildren(const QDomElement &parent, const QString &tag)
{
    int n = 0;
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        ++n;
    return n;
}

qint64 CountSheetPatches(const QDomElement &sheet)
{
    qint64 n = 0;
    for (QDomElement area = sheet.firstChildElement(QStringLiteral("Area")); !area.isNull();
         area = area.nextSiblingElement(QStringLiteral("Area")))
        n += CountChildren(area, QStringLiteral("Patch"));
    return n;
}

QString Version()
{
    return QStringLiteral("%1.%2").arg(kFormatMajor, 2, 10, QLatin1Char('0')).arg(kFormatMinor, 2, 10, QLatin1Char('0'));
}

using XmlAttributes = QVector<QPair<QString, QString>>;

// Writes the chart document with its attributes in the order the format lists them (QDomElement keeps them in a
// hash whose order changes from run to run) and the layout the DOM gave it: one element per line, two spaces per
// level, the image bytes right after the Image start tag and its first clip area right after them.
class ChartXmlWriter
{
public:
    explicit ChartXmlWriter(QByteArray *bytes) : m_xml(bytes)
    {
        m_xml.writeProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\""));
        m_xml.writeCharacters(QStringLiteral("\n"));
    }

    void Start(const QString &tag, int depth, const XmlAttributes &attributes, bool hasChildren = true)
    {
        Indent(depth);
        m_xml.writeStartElement(tag);
        WriteAttributes(attributes);
        if (!hasChildren)
            m_xml.writeEndElement();
        m_xml.writeCharacters(QStringLiteral("\n"));
    }
    void StartWithText(const QString &tag, const XmlAttributes &attributes, const QString &text, int depth)
    {
        Indent(depth);
        m_xml.writeStartElement(tag);
        WriteAttributes(attributes);
        m_xml.writeCharacters(text);
        m_afterText = true;
    }
    void Empty(const QString &tag, int depth, const XmlAttributes &attributes)
    {
        Indent(depth);
        m_xml.writeEmptyElement(tag);
        WriteAttributes(attributes);
        m_xml.writeCharacters(QStringLiteral("\n"));
    }
    void End(int depth)
    {
        Indent(depth);
        m_xml.writeEndElement();
        m_xml.writeCharacters(QStringLiteral("\n"));
    }
    bool Finish() const { return !m_xml.hasError(); }

private:
    void Indent(int depth)
    {
        if (!m_afterText && depth > 0)
            m_xml.writeCharacters(QString(depth * 2, QLatin1Char(' ')));
        m_afterText = false;
    }
    void WriteAttributes(const XmlAttributes &attributes)
    {
        for (const auto &attribute : attributes)
            m_xml.writeAttribute(attribute.first, attribute.second);
    }

    QXmlStreamWriter m_xml;
    bool m_afterText = false;
};

// The value as written: times 100, rounded half up.
bool WrittenColorValue(float value, int *written)
{
    const double scaled = std::floor(double(value) * 100.0 + 0.5);
    return FitsInt(scaled, written);
}

} // namespace

int CIODataFile::ImportXmlChartDefinition(ChartDefinitionDataSheets *chart, int *kind, int *patchCount,
                                          const QString &path)
{
    QDomDocument document;
    const int loaded = LoadXmlDocument(path, document);
    if (loaded != Success)
        return loaded;
    const QDomElement root = document.documentElement();
    const QString tag = root.tagName();
    if (tag == QLatin1String("Data") && root.attribute(QStringLiteral("Application")) == QCoreApplication::applicationName() &&
        root.attribute(QStringLiteral("Identifier")) == QLatin1String("ChartDefinition")) {
        *kind = XmlOwnChart;
        return ReadChartDefinitionXml(chart, root);
    }
    if (tag == QLatin1String("root")) {
        *kind = XmlTargetConfiguration;
        return ImportTargetConfigurationChart(chart, root);
    }
    if (tag == QLatin1String("targetdescription")) {
        *kind = XmlTargetDescription;
        return ImportTargetDescriptionChart(chart, patchCount, root);
    }
    if (tag == QLatin1String("cc:CxF")) {
        *kind = XmlCxf;
        return ImportCxfChart(chart, root);
    }
    return UnknownXmlRoot;
}

int CIODataFile::ConvertLength(int unit, int value, int candidateA, int candidateB, int *result) const
{
    if (unit == kUnitInch) {
        int ignored = 0;
        if (!FitsInt(std::floor(UnitFixedToMm(kUnitInch, value) * 100.0 + 0.5), &ignored))
            return ChartXmlInvalid;
    }
    *result = UnitFixedToMmFixed(unit, value, candidateA, candidateB);
    return Success;
}

bool CIODataFile::ColorValueInRange(int format, double value) const
{
    return value >= double(m_host->GetColorMinValue(format)) && value <= double(m_host->GetColorMaxValue(format));
}

int CIODataFile::ReadChartDefinitionXml(ChartDefinitionDataSheets *chart, const QDomElement &root)
{
    ClearChartDefinitionData(chart);
    chart->Diameter = 1;
    chart->Recog = ChartDefinitionData::RecogCombine;

    const QStringList version = root.attribute(QStringLiteral("Version")).split(QLatin1Char('.'));
    if (version.size() != 2)
        return ChartXmlInvalid;
    int major = 0;
    int minor = 0;
    if (!ParseDecimalInt(version.at(0), &major) || !ParseDecimalInt(version.at(1), &minor))
        return NotAnInteger;
    const bool withBarcode = major >= 2 && minor >= 0;

    const QDomElement chartElement = root.firstChildElement(QStringLiteral("Chart"));
    if (chartElement.isNull())
        return ChartXmlInvalid;
    const int kind = ChartKindFromText(chartElement.attribute(QStringLiteral("Kind")));
    if (kind < 0)
        return ChartXmlInvalid;
    chart->Kind = kind;
    int sheetCount = 0;
    if (!IntAttribute(chartElement, "SheetCount", &sheetCount))
        return NotAnInteger;
    // Never allocate more pages than the file has Sheet elements.
    if (sheetCount <= 0 || sheetCount > CountChildren(chartElement, QStringLiteral("Sheet")))
        return ChartXmlInvalid;
    int chartPatchCount = 0;
    if (!IntAttribute(chartElement, "ChartPatchCount", &chartPatchCount))
        return NotAnInteger;
    chart->ChartPatchCount = chartPatchCount;
    chart->ChartName = chartElement.attribute(QStringLiteral("ChartName"));
    chart->CreateTime = chartElement.attribute(QStringLiteral("CreateTime"));
    chart->UUID = chartElement.attribute(QStringLiteral("UUID"));
    qint64 unit = 0;
    if (!UnsignedAttribute(chartElement, "UNIT", &unit))
        return NotAnInteger;
    if (unit >= kUnitCount)
        return ChartXmlInvalid;
    if (withBarcode) {
        int barcode = 0;
        if (!IntAttribute(chartElement, "Barcode", &barcode))
            return NotAnInteger;
        chart->Barcode = barcode;
    }
    chart->Recog = RecogModeFromText(chartElement.attribute(QStringLiteral("Recog"), QStringLiteral("Combine")));

    chart->Sheets = NewChartSheets(size_t(sheetCount));
    chart->SheetCount = sheetCount;
    int chartFormat = ChartDefinitionData::FormatNone;
    QVector<bool> pageRead(sheetCount, false);
    int pagesRead = 0;
    qint64 totalPatches = 0;

    for (QDomElement sheetElement = chartElement.firstChildElement(QStringLiteral("Sheet")); !sheetElement.isNull();
         sheetElement = sheetElement.nextSiblingElement(QStringLiteral("Sheet"))) {
        int page = 0;
        if (!IntAttribute(sheetElement, "Page", &page))
            return NotAnInteger;
        const qint64 index = qint64(page) - 1;
        if (index < 0 || index >= sheetCount || pageRead[int(index)])
            break;
        pageRead[int(index)] = true;
        ++pagesRead;
        const int result =
            ReadOneSheet(sheetElement, int(unit), withBarcode, &chart->Sheets[index], &chartFormat);
        if (result != Success)
            return result;
        totalPatches += chart->Sheets[index].PatchCount;
    }
    if (totalPatches != chartPatchCount || pagesRead != sheetCount)
        return ChartXmlInvalid;
    // What the document store could not read back is no chart to import.
    return IsStorableChart(*chart) ? Success : ChartXmlInvalid;
}

int CIODataFile::ReadOneSheet(const QDomElement &sheetElement, int unit, bool withBarcode, Sheet *sheet,
                              int *chartFormat) const
{
    qint64 areaCount = 0;
    qint64 patchCount = 0;
    if (!UnsignedAttribute(sheetElement, "AreaCount", &areaCount) ||
        !UnsignedAttribute(sheetElement, "PatchCount", &patchCount))
        return NotAnInteger;
    if (areaCount > kMaxAreaCount || patchCount > CountSheetPatches(sheetElement))
        return ChartXmlInvalid;

    int width = 0;
    int height = 0;
    if (!IntAttribute(sheetElement, "Width", &width))
        return ChartXmlInvalid;
    if (!IntAttribute(sheetElement, "Height", &height))
        return NotAnInteger;
    const int paper = m_host->FindPaperSizeIndexInUnit(unit, width, height);
    if (ConvertLength(unit, width, m_host->GetPageSizeWidth(paper), m_host->GetPageSizeMaxWidth(paper),
                      &sheet->Width) != Success ||
        ConvertLength(unit, height, m_host->GetPageSizeHeight(paper), m_host->GetPageSizeMaxHeight(paper),
                      &sheet->Height) != Success)
        return ChartXmlInvalid;

    if (withBarcode) {
        int x = 0, y = 0, w = 0, h = 0;
        if (!IntAttribute(sheetElement, "BarcodeLeftTopX", &x) || !IntAttribute(sheetElement, "BarcodeLeftTopY", &y) ||
            !IntAttribute(sheetElement, "BarcodeWidth", &w) || !IntAttribute(sheetElement, "BarcodeHeight", &h))
            return NotAnInteger;
        if (ConvertLength(unit, x, m_host->GetAreaLeftMin(), m_host->GetAreaLeftMax(), &sheet->BarcodeLeftTopX) !=
                Success ||
            ConvertLength(unit, y, m_host->GetAreaTopMin(), m_host->GetAreaTopMax(), &sheet->BarcodeLeftTopY) !=
                Success)
            return ChartXmlInvalid;
        // The QR-code size has no candidates: millimetres rounded to two decimals.
        if (!FitsInt(std::floor(UnitFixedToMm(unit, w) * 100.0 + 0.5), &sheet->BarcodeWidth) ||
            !FitsInt(std::floor(UnitFixedToMm(unit, h) * 100.0 + 0.5), &sheet->BarcodeHeight))
            return ChartXmlInvalid;
    }

    sheet->AreaCount = int(areaCount);
    sheet->PatchCount = int(patchCount);
    if (patchCount > 0)
        sheet->Patches = NewChartPatches(size_t(patchCount));
    int areaTally[kMaxAreaCount] = {};
    bool areaRead[kMaxAreaCount] = {};
    qint64 areaPatchSum = 0;
    int areasRead = 0;
    int patchesRead = 0;

    // Every Area is looked at, even after the page's patches are all read: an empty area that follows the full
    // ones still counts towards AreaCount.
    for (QDomElement areaElement = sheetElement.firstChildElement(QStringLiteral("Area")); !areaElement.isNull();
         areaElement = areaElement.nextSiblingElement(QStringLiteral("Area"))) {
        int number = 0;
        if (!IntAttribute(areaElement, "Number", &number))
            return NotAnInteger;
        const qint64 area64 = qint64(number) - 1;
        if (area64 < 0 || area64 >= areaCount || areaRead[area64])
            break;
        const int area = int(area64);
        int areaPatches = 0, rows = 0, columns = 0;
        if (!IntAttribute(areaElement, "PatchCount", &areaPatches) || !IntAttribute(areaElement, "RowCount", &rows) ||
            !IntAttribute(areaElement, "ColumnCount", &columns))
            return NotAnInteger;
        if (rows < 0 || columns < 0 || qint64(rows) * columns > kMaxAreaCells)
            return ChartXmlInvalid;
        areaPatchSum += areaPatches;
        sheet->Areas[area] = {rows, columns, areaPatches};

        ChartDefinitionData::AreaPlacement &place = sheet->Placements[area];
        int left = 0, top = 0, pw = 0, ph = 0, gx = 0, gy = 0;
        if (!IntAttribute(areaElement, "LeftTopX", &left) || !IntAttribute(areaElement, "LeftTopY", &top))
            return NotAnInteger;
        if (ConvertLength(unit, left, m_host->GetAreaLeftMin(), m_host->GetAreaLeftMax(), &place.LeftTopX) !=
                Success ||
            ConvertLength(unit, top, m_host->GetAreaTopMin(), m_host->GetAreaTopMax(), &place.LeftTopY) != Success)
            return ChartXmlInvalid;
        place.LeftTopX = qMax(place.LeftTopX, 0);
        place.LeftTopY = qMax(place.LeftTopY, 0);
        if (!IntAttribute(areaElement, "PatchWidth", &pw) || !IntAttribute(areaElement, "PatchHeight", &ph) ||
            !IntAttribute(areaElement, "PatchWidthGap", &gx) || !IntAttribute(areaElement, "PatchHeightGap", &gy))
            return NotAnInteger;
        if (ConvertLength(unit, pw, 600, 3000, &place.PatchWidth) != Success ||
            ConvertLength(unit, ph, 600, 3000, &place.PatchHeight) != Success ||
            ConvertLength(unit, gx, 600, 3200, &place.PatchWidthGap) != Success ||
            ConvertLength(unit, gy, 600, 3200, &place.PatchHeightGap) != Success)
            return ChartXmlInvalid;

        for (QDomElement patchElement = areaElement.firstChildElement(QStringLiteral("Patch"));
             !patchElement.isNull() && patchesRead < patchCount;
             patchElement = patchElement.nextSiblingElement(QStringLiteral("Patch"))) {
            PatchColor &patch = sheet->Patches[patchesRead];
            ++areaTally[area];
            if (!IntAttribute(patchElement, "ID", &patch.ID))
                return NotAnInteger;
            patch.Area = area;
            int column = 0, row = 0;
            if (!IntAttribute(patchElement, "Column", &column))
                return NotAnInteger;
            if (column < 1 || column > columns)
                return ChartXmlInvalid;
            patch.Column = column - 1;
            if (!IntAttribute(patchElement, "Row", &row))
                return NotAnInteger;
            if (row < 1 || row > rows)
                return ChartXmlInvalid;
            patch.Row = row - 1;
            const int format = ColorFormatFromText(patchElement.attribute(QStringLiteral("ColorFormat")), false);
            if (format <= ChartDefinitionData::FormatNone || format > ChartDefinitionData::Format8Color)
                return ChartXmlInvalid;
            if (*chartFormat == ChartDefinitionData::FormatNone)
                *chartFormat = format;
            else if (format != *chartFormat)
                return ChartXmlInvalid;
            patch.ColorFormat = format;
            for (int k = 1; k <= format + 2; ++k) {
                int written = 0;
                if (!ParseDecimalInt(patchElement.attribute(QStringLiteral("ColorValue%1").arg(k)), &written))
                    return NotAnInteger;
                const double value = written / 100.0;
                if (!ColorValueInRange(format, value))
                    return ChartXmlInvalid;
                patch.ColorValue[k - 1] = float(value);
            }
            ++patchesRead;
        }
        areaRead[area] = true;
        ++areasRead;
    }

    if (patchesRead != patchCount || areaPatchSum != patchCount || areasRead != areaCount)
        return ChartXmlInvalid;
    for (int a = 0; a < areaCount; ++a) {
        if (areaTally[a] != sheet->Areas[a].PatchCount)
            return ChartXmlInvalid;
    }

    const QDomElement image = sheetElement.firstChildElement(QStringLiteral("Image"));
    if (image.isNull())
        return Success;
    sheet->HasImage = 1;
    int imageWidth = 0, imageHeight = 0, bits = 0;
    if (!IntAttribute(image, "Width", &imageWidth) || !IntAttribute(image, "Height", &imageHeight) ||
        !IntAttribute(image, "BitPerPixel", &bits))
        return NotAnInteger;
    if (imageWidth <= 0 || imageHeight <= 0 || bits <= 0)
        return ChartXmlInvalid;
    // The decoded text is the only size that counts; the declared one is just compared with it.
    const qint64 byteCount = ImageByteCount(imageWidth, imageHeight, bits);
    if (byteCount <= 0)
        return ChartXmlInvalid;
    const QByteArray bytes = QByteArray::fromBase64(image.text().toLatin1());
    if (bytes.size() != byteCount)
        return ChartXmlInvalid;
    sheet->ImageWidth = imageWidth;
    sheet->ImageHeight = imageHeight;
    sheet->BitPerPixel = bits;
    sheet->ImageBytes = NewImageBytes(size_t(bytes.size()));
    std::copy(bytes.constBegin(), bytes.constEnd(), reinterpret_cast<char *>(sheet->ImageBytes.get()));
    if (!IntAttribute(image, "ImageDPI", &sheet->ImageDPI))
        return NotAnInteger;
    int clipCount = 0;
    if (!IntAttribute(image, "ClipAreaCount", &clipCount) || clipCount < 0 || clipCount > kMaxClipAreaCount)
        return ChartXmlInvalid;
    sheet->ClipAreaCount = clipCount;
    bool clipRead[kMaxClipAreaCount] = {};
    int clipsRead = 0;
    for (QDomElement clip = image.firstChildElement(QStringLiteral("ClipArea")); !clip.isNull();
         clip = clip.nextSiblingElement(QStringLiteral("ClipArea"))) {
        int number = 0;
        if (!IntAttribute(clip, "Number", &number))
            return NotAnInteger;
        const qint64 index = qint64(number) - 1;
        if (index < 0 || index >= clipCount || clipRead[index])
            break;
        ChartDefinitionData::ClipArea &c = sheet->ClipAreas[index];
        if (!IntAttribute(clip, "LeftTopX", &c.LeftTopX) || !IntAttribute(clip, "LeftTopY", &c.LeftTopY) ||
            !IntAttribute(clip, "RightTopX", &c.RightTopX) || !IntAttribute(clip, "RightTopY", &c.RightTopY) ||
            !IntAttribute(clip, "LeftBottomX", &c.LeftBottomX) || !IntAttribute(clip, "LeftBottomY", &c.LeftBottomY) ||
            !IntAttribute(clip, "RightBottomX", &c.RightBottomX) ||
            !IntAttribute(clip, "RightBottomY", &c.RightBottomY))
            return NotAnInteger;
        clipRead[index] = true;
        ++clipsRead;
    }
    if (clipsRead != clipCount)
        return ChartXmlInvalid;
    return Success;
}

// The writer refuses what the reader would refuse, so a written chart always reads back.
int CIODataFile::ValidateForWriting(const ChartDefinitionDataSheets &chart) const
{
    if (!IsStorableChart(chart))
        return ChartXmlInvalid;
    if (chart.Kind < ChartDefinitionData::KindNormal || chart.Kind > ChartDefinitionData::KindUneven)
        return ChartXmlInvalid;
    if (chart.SheetCount < 1 || !chart.Sheets || chart.UNIT < 0 || chart.UNIT >= kUnitCount)
        return ChartXmlInvalid;
    int chartFormat = ChartDefinitionData::FormatNone;
    qint64 total = 0;
    int converted = 0;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const Sheet &sheet = chart.Sheets[s];
        if (sheet.AreaCount < 0 || sheet.AreaCount > kMaxAreaCount || sheet.PatchCount < 0 ||
            (sheet.PatchCount > 0 && !sheet.Patches))
            return ChartXmlInvalid;
        total += sheet.PatchCount;
        const int lengths[] = {sheet.Width, sheet.Height, sheet.BarcodeLeftTopX, sheet.BarcodeLeftTopY,
                               sheet.BarcodeWidth, sheet.BarcodeHeight};
        for (int v : lengths) {
            if (ConvertLength(chart.UNIT, v, 0, 0, &converted) != Success)
                return ChartXmlInvalid;
        }
        qint64 areaSum = 0;
        QVector<int> tally(sheet.AreaCount, 0);
        for (int a = 0; a < sheet.AreaCount; ++a) {
            const ChartDefinitionData::AreaCounts &counts = sheet.Areas[a];
            const ChartDefinitionData::AreaPlacement &p = sheet.Placements[a];
            if (counts.RowCount < 0 || counts.ColumnCount < 0 ||
                qint64(counts.RowCount) * counts.ColumnCount > kMaxAreaCells)
                return ChartXmlInvalid;
            areaSum += counts.PatchCount;
            for (int v : {p.LeftTopX, p.LeftTopY, p.PatchWidth, p.PatchHeight, p.PatchWidthGap, p.PatchHeightGap}) {
                if (ConvertLength(chart.UNIT, v, 0, 0, &converted) != Success)
                    return ChartXmlInvalid;
            }
        }
        if (areaSum != sheet.PatchCount)
            return ChartXmlInvalid;
        for (int i = 0; i < sheet.PatchCount; ++i) {
            const PatchColor &patch = sheet.Patches[i];
            if (patch.Area < 0 || patch.Area >= sheet.AreaCount)
                return ChartXmlInvalid;
            const ChartDefinitionData::AreaCounts &counts = sheet.Areas[patch.Area];
            if (patch.Row < 0 || patch.Row >= counts.RowCount || patch.Column < 0 ||
                patch.Column >= counts.ColumnCount)
                return ChartXmlInvalid;
            if (patch.ColorFormat <= ChartDefinitionData::FormatNone ||
                patch.ColorFormat > ChartDefinitionData::Format8Color)
                return ChartXmlInvalid;
            if (chartFormat == ChartDefinitionData::FormatNone)
                chartFormat = patch.ColorFormat;
            else if (patch.ColorFormat != chartFormat)
                return ChartXmlInvalid;
            for (int k = 0; k < patch.ColorFormat + 2; ++k) {
                int written = 0;
                if (!WrittenColorValue(patch.ColorValue[k], &written) ||
                    !ColorValueInRange(patch.ColorFormat, written / 100.0))
                    return ChartXmlInvalid;
            }
            ++tally[patch.Area];
        }
        for (int a = 0; a < sheet.AreaCount; ++a) {
            if (tally[a] != sheet.Areas[a].PatchCount)
                return ChartXmlInvalid;
        }
        if (sheet.HasImage) {
            if (sheet.ImageWidth <= 0 || sheet.ImageHeight <= 0 || sheet.BitPerPixel <= 0 || !sheet.ImageBytes ||
                ImageByteCount(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel) <= 0 ||
                ImageByteCount(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel) > INT_MAX / 2 ||
                sheet.ClipAreaCount < 0 || sheet.ClipAreaCount > kMaxClipAreaCount)
                return ChartXmlInvalid;
        }
    }
    if (total != chart.ChartPatchCount)
        return ChartXmlInvalid;
    return Success;
}

int CIODataFile::WriteChartDefinition(const QString &path, const ChartDefinitionDataSheets *chart)
{
    if (!chart || ValidateForWriting(*chart) != Success)
        return ChartXmlInvalid;

    QByteArray bytes;
    {
        ChartXmlWriter xml(&bytes);
        xml.Start(QStringLiteral("Data"), 0,
                  {{QStringLiteral("Application"), QCoreApplication::applicationName()},
                   {QStringLiteral("Identifier"), QStringLiteral("ChartDefinition")},
                   {QStringLiteral("Version"), Version()}});
        xml.Start(QStringLiteral("Chart"), 1,
                  {{QStringLiteral("Kind"), ChartKindToText(chart->Kind)},
                   {QStringLiteral("SheetCount"), QString::number(chart->SheetCount)},
                   {QStringLiteral("ChartPatchCount"), QString::number(chart->ChartPatchCount)},
                   {QStringLiteral("ChartName"), chart->ChartName},
                   {QStringLiteral("CreateTime"), chart->CreateTime},
                   {QStringLiteral("UUID"), chart->UUID},
                   {QStringLiteral("UNIT"), QString::number(chart->UNIT)},
                   {QStringLiteral("Barcode"), QString::number(chart->Barcode)},
                   {QStringLiteral("Recog"), RecogModeToText(chart->Recog)}});

        for (int s = 0; s < chart->SheetCount; ++s) {
            const Sheet &sheet = chart->Sheets[s];
            const bool sheetHasChildren = sheet.AreaCount > 0 || sheet.HasImage;
            xml.Start(QStringLiteral("Sheet"), 2,
                      {{QStringLiteral("Page"), QString::number(s + 1)},
                       {QStringLiteral("AreaCount"), QString::number(sheet.AreaCount)},
                       {QStringLiteral("PatchCount"), QString::number(sheet.PatchCount)},
                       {QStringLiteral("Width"), QString::number(sheet.Width)},
                       {QStringLiteral("Height"), QString::number(sheet.Height)},
                       {QStringLiteral("BarcodeLeftTopX"), QString::number(sheet.BarcodeLeftTopX)},
                       {QStringLiteral("BarcodeLeftTopY"), QString::number(sheet.BarcodeLeftTopY)},
                       {QStringLiteral("BarcodeWidth"), QString::number(sheet.BarcodeWidth)},
                       {QStringLiteral("BarcodeHeight"), QString::number(sheet.BarcodeHeight)}},
                      sheetHasChildren);

            // Grid order: area, row, column; patches at one position keep their array order.
            QVector<int> order(sheet.PatchCount);
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&sheet](int a, int b) {
                const PatchColor &p = sheet.Patches[a];
                const PatchColor &q = sheet.Patches[b];
                return std::make_tuple(p.Area, p.Row, p.Column) < std::make_tuple(q.Area, q.Row, q.Column);
            });
            int next = 0;
            for (int a = 0; a < sheet.AreaCount; ++a) {
                const ChartDefinitionData::AreaCounts &counts = sheet.Areas[a];
                const ChartDefinitionData::AreaPlacement &place = sheet.Placements[a];
                int end = next;
                while (end < order.size() && sheet.Patches[order[end]].Area == a)
                    ++end;
                const bool hasPatches = end > next;
                xml.Start(QStringLiteral("Area"), 3,
                          {{QStringLiteral("Number"), QString::number(a + 1)},
                           {QStringLiteral("PatchCount"), QString::number(counts.PatchCount)},
                           {QStringLiteral("RowCount"), QString::number(counts.RowCount)},
                           {QStringLiteral("ColumnCount"), QString::number(counts.ColumnCount)},
                           {QStringLiteral("LeftTopX"), QString::number(place.LeftTopX)},
                           {QStringLiteral("LeftTopY"), QString::number(place.LeftTopY)},
                           {QStringLiteral("PatchWidth"), QString::number(place.PatchWidth)},
                           {QStringLiteral("PatchHeight"), QString::number(place.PatchHeight)},
                           {QStringLiteral("PatchWidthGap"), QString::number(place.PatchWidthGap)},
                           {QStringLiteral("PatchHeightGap"), QString::number(place.PatchHeightGap)}},
                          hasPatches);
                for (; next < end; ++next) {
                    const PatchColor &patch = sheet.Patches[order[next]];
                    XmlAttributes attributes{{QStringLiteral("ID"), QString::number(patch.ID)},
                                             {QStringLiteral("Column"), QString::number(patch.Column + 1)},
                                             {QStringLiteral("Row"), QString::number(patch.Row + 1)},
                                             {QStringLiteral("ColorFormat"), ColorFormatToText(patch.ColorFormat)}};
                    for (int k = 0; k < patch.ColorFormat + 2; ++k) {
                        int written = 0;
                        WrittenColorValue(patch.ColorValue[k], &written);
                        attributes.append({QStringLiteral("ColorValue%1").arg(k + 1), QString::number(written)});
                    }
                    xml.Empty(QStringLiteral("Patch"), 4, attributes);
                }
                if (hasPatches)
                    xml.End(3);
            }

            if (sheet.HasImage) {
                const qint64 byteCount = ImageByteCount(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel);
                const QByteArray raw =
                    QByteArray::fromRawData(reinterpret_cast<const char *>(sheet.ImageBytes.get()), int(byteCount));
                xml.StartWithText(QStringLiteral("Image"),
                                  {{QStringLiteral("Width"), QString::number(sheet.ImageWidth)},
                                   {QStringLiteral("Height"), QString::number(sheet.ImageHeight)},
                                   {QStringLiteral("BitPerPixel"), QString::number(sheet.BitPerPixel)},
                                   {QStringLiteral("ImageDPI"), QString::number(sheet.ImageDPI)},
                                   {QStringLiteral("ClipAreaCount"), QString::number(sheet.ClipAreaCount)}},
                                  QString::fromLatin1(raw.toBase64()), 3);
                for (int k = 0; k < sheet.ClipAreaCount; ++k) {
                    const ChartDefinitionData::ClipArea &c = sheet.ClipAreas[k];
                    xml.Empty(QStringLiteral("ClipArea"), 4,
                              {{QStringLiteral("Number"), QString::number(k + 1)},
                               {QStringLiteral("LeftTopX"), QString::number(c.LeftTopX)},
                               {QStringLiteral("LeftTopY"), QString::number(c.LeftTopY)},
                               {QStringLiteral("RightTopX"), QString::number(c.RightTopX)},
                               {QStringLiteral("RightTopY"), QString::number(c.RightTopY)},
                               {QStringLiteral("LeftBottomX"), QString::number(c.LeftBottomX)},
                               {QStringLiteral("LeftBottomY"), QString::number(c.LeftBottomY)},
                               {QStringLiteral("RightBottomX"), QString::number(c.RightBottomX)},
                               {QStringLiteral("RightBottomY"), QString::number(c.RightBottomY)}});
                }
                xml.End(3);
            }
            if (sheetHasChildren)
                xml.End(2);
        }
        xml.End(1);
        xml.End(0);
        // The only failure writing into memory: a text with a character XML cannot carry.
        if (!xml.Finish())
            return ChartXmlInvalid;
    }
    return SaveXmlBytes(path, bytes);
}
