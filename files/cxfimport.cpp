// Chart import from CxF3 chart files: the object and colour readers and the layout taken from the writing
// tool's custom attribute block.

#include "files/iodatafile.h"
#include "files/xmlchartimport.h"

#include "app/storablechart.h"

namespace {

using ChartDefinitionData::AreaPlacement;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kExtraInkSlots = 4;
constexpr int kMargin = 500;
constexpr int kPageFrame = 1000;

bool ParseColorInteger(const QDomElement &parent, const char *tag, double *value)
{
    const QDomElement element = parent.firstChildElement(QLatin1String(tag));
    int v = 0;
    if (element.isNull() || !ParseDecimalInt(element.text(), &v))
        return false;
    *value = v;
    return true;
}

bool ParseColorNumber(const QDomElement &parent, const char *tag, double *value)
{
    const QDomElement element = parent.firstChildElement(QLatin1String(tag));
    return !element.isNull() && ParseFiniteNumber(element.text(), value);
}

// The identifier from the first digit of the "Id" on; false when that is no number.
bool IdFromAttribute(const QString &text, int *id)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
            return ParseDecimalInt(text.mid(i), id);
    }
    return false;
}

// An integer attribute; false when absent or no number.
bool IntAttribute(const QDomElement &element, const char *name, int *value)
{
    return ParseDecimalInt(element.attribute(QLatin1String(name)), value);
}

// A length in millimetres that may be left out: no number reads 0. False only for a negative or oversized one.
bool OptionalLength(const QDomElement &element, const char *name, int *fixed)
{
    double mm = 0;
    if (!ParseFiniteNumber(element.attribute(QLatin1String(name)), &mm)) {
        *fixed = 0;
        return true;
    }
    return xmlchart::MillimetresToFixed(mm, fixed) && *fixed >= 0;
}

bool PatchSize(const QDomElement &element, const char *name, int *fixed)
{
    double mm = 0;
    return ParseFiniteNumber(element.attribute(QLatin1String(name)), &mm) && xmlchart::MillimetresToFixed(mm, fixed) &&
           *fixed > 0;
}

} // namespace

int CIODataFile::ReadCxfColorValues(float *values, const QDomElement &object, int colorFormat,
                                    const QStringList &inkNames) const
{
    const QDomElement device = object.firstChildElement(QStringLiteral("cc:DeviceColorValues"));
    if (device.isNull() || colorFormat <= ChartDefinitionData::FormatNone ||
        colorFormat > ChartDefinitionData::Format8Color)
        return CxfColorInvalid;
    const float low = m_host->GetColorMinValue(colorFormat);
    const float high = m_host->GetColorMaxValue(colorFormat);
    auto store = [values, low, high](int slot, double value) {
        if (value < double(low) || value > double(high))
            return false;
        values[slot] = float(value);
        return true;
    };

    if (colorFormat == ChartDefinitionData::FormatRGB) {
        const QDomElement rgb = device.firstChildElement(QStringLiteral("cc:ColorRGB"));
        const char *const tags[] = {"cc:R", "cc:G", "cc:B"};
        for (int k = 0; k < 3; ++k) {
            double value = 0;
            if (!ParseColorInteger(rgb, tags[k], &value) || !store(k, value))
                return CxfColorInvalid;
        }
        return Success;
    }

    const QDomElement cmyk = device.firstChildElement(colorFormat == ChartDefinitionData::FormatCMYK
                                                          ? QStringLiteral("cc:ColorCMYK")
                                                          : QStringLiteral("cc:ColorCMYKPlusN"));
    const char *const tags[] = {"cc:Cyan", "cc:Magenta", "cc:Yellow", "cc:Black"};
    for (int k = 0; k < 4; ++k) {
        double value = 0;
        if (!ParseColorNumber(cmyk, tags[k], &value) || !store(k, value))
            return CxfColorInvalid;
    }

    // Each spot colour goes to the slot of its ink; every extra-ink slot of the format is filled exactly once,
    // so a foreign name can never overwrite Black or reach past the format's last value.
    const int spots = colorFormat - 2;
    const QStringList names = inkNames.mid(0, spots);
    bool filled[kExtraInkSlots] = {};
    QDomElement spot = cmyk.firstChildElement(QStringLiteral("cc:SpotColor"));
    for (int s = 0; s < spots; ++s, spot = spot.nextSiblingElement(QStringLiteral("cc:SpotColor"))) {
        if (spot.isNull())
            return CxfColorInvalid;
        const QDomElement name = spot.firstChildElement(QStringLiteral("cc:Name"));
        if (name.isNull())
            return CxfColorInvalid;
        const int slot = names.indexOf(name.text());
        if (slot < 0 || filled[slot])
            return CxfColorInvalid;
        double value = 0;
        if (!ParseColorNumber(spot, "cc:Percentage", &value) || !store(4 + slot, value))
            return CxfColorInvalid;
        filled[slot] = true;
    }
    return Success;
}

int CIODataFile::ReadCxfObjects(PatchList *patches, const QDomElement &root, int colorFormat,
                                const QStringList &inkNames) const
{
    const QDomElement collection = root.firstChildElement(QStringLiteral("cc:Resources"))
                                       .firstChildElement(QStringLiteral("cc:ObjectCollection"));
    if (collection.isNull() || !collection.hasChildNodes())
        return CxfObjectsInvalid;
    const int limit = collection.childNodes().count();
    int position = 0;
    for (QDomElement object = collection.firstChildElement(QStringLiteral("cc:Object"));
         !object.isNull() && position < limit; object = object.nextSiblingElement(QStringLiteral("cc:Object"))) {
        ++position;
        PatchColor patch;
        if (ReadCxfColorValues(patch.ColorValue, object, colorFormat, inkNames) != Success)
            return CxfObjectsInvalid;
        // Without a usable number the object's place counts from 1: 0 means "no identifier" to the editor.
        if (!IdFromAttribute(object.attribute(QStringLiteral("Id")), &patch.ID))
            patch.ID = position;
        if (!xmlchart::IsValidPatchId(patch.ID))
            return CxfObjectsInvalid;
        patch.ColorFormat = colorFormat;
        patches->append(patch);
    }
    return Success;
}

int CIODataFile::ImportCxfChart(ChartDefinitionDataSheets *chart, const QDomElement &root)
{
    xmlchart::ResetImportedChart(chart);
    const QDomElement attributes = root.firstChildElement(QStringLiteral("cc:CustomResources"))
                                       .firstChildElement(QStringLiteral("xrp:Prism"))
                                       .firstChildElement(QStringLiteral("xrp:CustomAttributes"));
    if (attributes.isNull())
        return CxfChartInvalid;

    const int format = ColorFormatFromText(attributes.attribute(QStringLiteral("ColorSpace")), true);
    if (format <= ChartDefinitionData::FormatNone || format > ChartDefinitionData::Format8Color)
        return CxfChartInvalid;
    QStringList inkNames;
    for (int k = 1; k <= kExtraInkSlots; ++k)
        inkNames << attributes.attribute(QStringLiteral("PLUS_%1_COLOR").arg(k)).section(QLatin1Char('|'), 0, 0);

    int columns = 0;
    int rows = 0;
    int pages = 0;
    if (!IntAttribute(attributes, "NumberPatchColumns", &columns) || columns < 1 ||
        !IntAttribute(attributes, "NumberPatchRows", &rows) || rows < 1 ||
        !IntAttribute(attributes, "NumberPatchPages", &pages) || pages < 0)
        return CxfChartInvalid;
    if (pages == 0)
        pages = 1;

    int pageHeight = 0;
    int pageWidth = 0;
    int patchHeight = 0;
    int patchWidth = 0;
    int marginLeft = 0;
    int marginTop = 0;
    if (!OptionalLength(attributes, "PageHeight", &pageHeight) ||
        !OptionalLength(attributes, "PageWidth", &pageWidth) ||
        !PatchSize(attributes, "PatchSizeHeightValue", &patchHeight) ||
        !PatchSize(attributes, "PatchSizeWidthValue", &patchWidth) ||
        !OptionalLength(attributes, "PrintMarginLeft", &marginLeft) ||
        !OptionalLength(attributes, "PrintMarginTop", &marginTop))
        return CxfChartInvalid;
    const int instrument = ClassifyInstrument(attributes.attribute(QStringLiteral("MeasurementDevice")));
    if (instrument == 0)
        return CxfChartInvalid;

    PatchList patches;
    if (ReadCxfObjects(&patches, root, format, inkNames) != Success)
        return CxfChartInvalid;

    if (IsAnyZero(pageWidth, pageHeight, marginLeft, marginTop)) {
        marginLeft = kMargin;
        marginTop = kMargin;
        if (!FitsInt(qint64(patchWidth) * columns + kPageFrame, &pageWidth) ||
            !FitsInt(qint64(patchHeight) * rows + kPageFrame, &pageHeight))
            return CxfChartInvalid;
    }

    Sheet pageTemplate;
    pageTemplate.Width = pageWidth;
    pageTemplate.Height = pageHeight;
    const AreaPlacement geometry{marginLeft, marginTop, patchWidth, patchHeight, patchWidth, patchHeight};
    const SheetLayout layout{rows, columns};
    const int built = instrument == 3
                          ? BuildSheetsPageByPage(chart, patches, unsigned(pages), layout, geometry, pageTemplate)
                          : BuildSheetsByColumns(chart, patches, unsigned(pages), layout, geometry, pageTemplate,
                                                 instrument == 1);
    return built == Success && IsStorableChart(*chart) ? Success : CxfChartInvalid;
}
