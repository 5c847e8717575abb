#include "files/iodatafile.h"
#include "files/measexport.h"
#include "files/partfile.h"

#include "app/constants.h"
#include "app/illuminantdata.h"

#include <QCoreApplication>
#include <QLocale>
#include <QXmlStreamWriter>

#include <cstring>
#include <vector>

namespace {

using MeasureExport::ExportBuffer;
using MeasureExport::RowCells;

// User text escaped by QXmlStreamWriter itself, so it reads exactly as the stream writes it: characters XML
// cannot hold are left out (the stream flags them, which does not fail the export).
QByteArray EscapedText(const QString &text)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartElement(QStringLiteral("e"));
    // A lone CR would come back from any reader as LF, so it goes out as a reference.
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            xml.writeEntityReference(QStringLiteral("#xd"));
        if (!pieces.at(i).isEmpty())
            xml.writeCharacters(pieces.at(i));
    }
    return bytes.startsWith("<e>") ? bytes.mid(3) : QByteArray();
}

QByteArray EscapedAttribute(const QString &value)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartElement(QStringLiteral("e"));
    xml.writeAttribute(QStringLiteral("v"), value);
    // <e v="...": the value between the quotes.
    return bytes.size() >= 7 ? bytes.mid(6, bytes.size() - 7) : QByteArray();
}

// Printable ASCII without markup characters goes out as it is; numbers and locations always do.
bool PlainText(const char *text, int size)
{
    for (int i = 0; i < size; ++i) {
        const char c = text[i];
        if (c < 0x20 || c > 0x7e || c == '<' || c == '>' || c == '&' || c == '"')
            return false;
    }
    return true;
}

// Writes an export document straight into a byte buffer with each element's attributes in the order given:
// one element per line, two spaces per level, text inline, an element without text or children as <tag/>,
// CR LF line ends. User text is escaped by QXmlStreamWriter (above); the markup is fixed.
class XmlOut
{
public:
    struct Mark {
        size_t size;
        size_t depth;
        bool open;
        bool inlineText;
    };

    explicit XmlOut(ExportBuffer *out) : m_out(out) {}

    // The declaration, standalone="yes" when asked, and the document type when one is given.
    void Declaration(bool standalone, const char *documentType)
    {
        m_out->Append("<?xml version=\"1.0\" encoding=\"UTF-8\"");
        if (standalone)
            m_out->Append(" standalone=\"yes\"");
        m_out->Append("?>");
        if (documentType) {
            m_out->LineEnd();
            m_out->Append(documentType, std::strlen(documentType));
        }
    }

    void Start(const char *tag)
    {
        CloseStartTag();
        m_out->LineEnd();
        for (size_t i = 0; i < m_tags.size(); ++i)
            m_out->Append("  ");
        m_out->Append('<');
        m_out->Append(tag, std::strlen(tag));
        m_tags.push_back(tag);
        m_open = true;
        m_inline = false;
    }
    // An attribute whose value needs no escaping.
    void Attribute(const char *name, const char *value, size_t size)
    {
        m_out->Append(' ');
        m_out->Append(name, std::strlen(name));
        m_out->Append("=\"");
        m_out->Append(value, size);
        m_out->Append('"');
    }
    void Attribute(const char *name, const char *value) { Attribute(name, value, std::strlen(value)); }
    void Attribute(const char *name, const QString &value)
    {
        const QByteArray escaped = EscapedAttribute(value);
        Attribute(name, escaped.constData(), size_t(escaped.size()));
    }
    void Attribute(const char *name, int value)
    {
        char digits[16];
        Attribute(name, digits, size_t(MeasureExport::FormatInt(digits, value)));
    }
    void CellAttribute(const char *name, const RowCells &cells, int index)
    {
        if (index >= cells.Count())
            Attribute(name, "", 0);
        else if (PlainText(cells.Data(index), cells.Size(index)))
            Attribute(name, cells.Data(index), size_t(cells.Size(index)));
        else
            Attribute(name, QString::fromUtf8(cells.Data(index), cells.Size(index)));
    }

    // Text of the element just started: bytes already escaped, LFs as line ends.
    void Text(const char *escaped, size_t size)
    {
        if (size == 0)
            return;
        CloseStartTag();
        m_out->AppendLines(escaped, size);
        m_inline = true;
    }
    void Text(const QString &text)
    {
        const QByteArray escaped = EscapedText(text);
        Text(escaped.constData(), size_t(escaped.size()));
    }
    void CellText(const RowCells &cells, int index)
    {
        if (index >= cells.Count())
            return;
        if (PlainText(cells.Data(index), cells.Size(index)))
            Text(cells.Data(index), size_t(cells.Size(index)));
        else
            Text(QString::fromUtf8(cells.Data(index), cells.Size(index)));
    }

    void End()
    {
        const char *tag = m_tags.back();
        m_tags.pop_back();
        if (m_open) {
            m_out->Append("/>");
        } else {
            if (!m_inline) {
                m_out->LineEnd();
                for (size_t i = 0; i < m_tags.size(); ++i)
                    m_out->Append("  ");
            }
            m_out->Append("</");
            m_out->Append(tag, std::strlen(tag));
            m_out->Append('>');
        }
        m_open = false;
        m_inline = false;
    }

    // An element holding only text; an empty text gives an empty element.
    void Element(const char *tag, const char *text)
    {
        Start(tag);
        Text(text, std::strlen(text));
        End();
    }
    void Element(const char *tag, const QString &text)
    {
        Start(tag);
        Text(text);
        End();
    }
    void Element(const char *tag, int value)
    {
        char digits[16];
        Start(tag);
        Text(digits, size_t(MeasureExport::FormatInt(digits, value)));
        End();
    }
    void CellElement(const char *tag, const RowCells &cells, int index)
    {
        Start(tag);
        CellText(cells, index);
        End();
    }

    Mark Here() const { return {m_out->Size(), m_tags.size(), m_open, m_inline}; }
    // Back to a mark at the same depth, as if nothing had been written since.
    void Restore(const Mark &mark)
    {
        m_out->Truncate(mark.size);
        m_tags.resize(mark.depth);
        m_open = mark.open;
        m_inline = mark.inlineText;
    }

    void Finish()
    {
        while (!m_tags.empty())
            End();
        m_out->LineEnd();
    }

private:
    void CloseStartTag()
    {
        if (m_open)
            m_out->Append('>');
        m_open = false;
    }

    ExportBuffer *m_out;
    std::vector<const char *> m_tags;
    bool m_open = false;
    bool m_inline = false;
};

// A light-source spectrum is always 300 to 780 nm in 5 nm steps, whatever its header fields say.
void WriteSpectrum(XmlOut *xml, const EnvironLightData &light)
{
    ExportBuffer text;
    for (int i = 0; i < kEnvironLightValueCount; ++i) {
        if (i > 0)
            text.Append(' ');
        text.AppendFixed(light.Values[i], 7);
    }
    xml->Start("cc:SPDList");
    xml->Text(text.Data(), text.Size());
    xml->End();
}

bool IsUserIlluminantId(int id)
{
    return IlluminantUserSlot(id) >= 0;
}

// A rough size of a row, so the buffer grows once.
constexpr size_t kBytesPerCell = 40;

} // namespace

int CIODataFile::WriteMeasurementCgatsXml(const QString &path, const QString &createTime,
                                          const Setting::MeasureConditionSetting &setting,
                                          const QList<int> &conditionIds,
                                          const MeasurementDataSheets &measurement,
                                          const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);

    ExportBuffer out;
    XmlOut xml(&out);
    // The document type as peers read it.
    xml.Declaration(true, "<!DOCTYPE cgats17 SYSTEM \"cgats_data.dtd\" []>");
    xml.Start("cgats17");
    xml.Attribute("std_version", "1.0");
    xml.Attribute("dtd_version", "1.0");

    xml.Start("cgats17.preamble");
    xml.Element("standard", "CGATS.17");
    xml.Element("originator", kMaker);
    xml.Element("file_descriptor", QCoreApplication::applicationName());
    const QDateTime created = ParseCreateTime(createTime);
    xml.Start("created");
    xml.Attribute("date", IsoDateWithOffset(createTime));
    // Qt 5's QDate::toString takes month names from the system locale.
    if (created.isValid())
        xml.Text(QLocale::c().toString(created.date(), QStringLiteral("MMMM d, yyyy")));
    xml.End();
    xml.End();

    const int total = MeasuredPatchTotal(measurement);
    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(1, conditions, chartFormat);
    const AreaNumbers areaNumbers = BuildAreaNumbers(BuildAreaKeyList(measurement));
    QVector<ExportRow> rows;
    RowCells cells;
    int result = Success;
    for (int conditionId : conditionIds) {
        xml.Start("cgats17.data_section");
        xml.Start("cgats17.data_section_header");
        xml.Start("instrumentation");
        xml.Attribute("manufacturer", kMaker);
        xml.Attribute("model", InstrumentModelName(measurement.Mode));
        xml.Attribute("serial_number", measurement.SerialNumber);
        xml.End();
        xml.Element("measurement_geometry", "45/0");
        xml.Element("measurement_source", MeasurementConditionIlluminantName(conditionId, illuminants));
        if (AnyColorSpace(conditions)) {
            xml.Start("weihting_function");
            xml.Attribute("name", "observer");
            xml.Attribute("value", ObserverName(conditions.Observer) + QStringLiteral(" degree"));
            xml.End();
            xml.Start("weihting_function");
            xml.Attribute("name", "illuminant");
            xml.Attribute("value", IlluminantName(conditions.Illuminant, conditionId, illuminants));
            xml.End();
        }
        xml.Start("keyword");
        xml.Attribute("name", "SAMPLE_LOC");
        xml.Attribute("comment", "Patch location in printing form");
        xml.End();
        if (total == 0) {
            xml.End();
            xml.End();
            continue;
        }

        if (chartFormat >= ChartDefinitionData::Format5Color && chartFormat <= ChartDefinitionData::Format8Color) {
            const int inkCount = chartFormat + 2;
            for (int k = 1; k <= inkCount; ++k) {
                xml.Start("processcolor_id");
                xml.Attribute("colors_in_set", inkCount);
                xml.Attribute("color_number", k);
                xml.Attribute("color", k - 1 < inks.size() ? inks.at(k - 1).name : QString());
                xml.End();
            }
        }
        xml.End();
        CollectRows(&rows, order, measurement, chart);

        xml.Start("cgats17.data_section_data");
        xml.Element("number_of_fields", fields.size());
        xml.Start("data_format");
        for (int i = 0; i < fields.size(); ++i) {
            xml.Start("field_info");
            xml.Attribute("pos", i + 1);
            xml.Attribute("name", fields.at(i));
            xml.End();
        }
        xml.End();
        // The count stands before the rows, so a failed calculation goes back and writes the section empty.
        const XmlOut::Mark sets = xml.Here();
        auto writeSets = [&](bool withRows) {
            xml.Element("number_of_sets", withRows ? rows.size() : 0);
            xml.Start("table");
            for (int r = 0; withRows && r < rows.size(); ++r) {
                const ExportRow &row = rows.at(r);
                const int code = BuildExportRow(&cells, conditions, conditionId, row.sheetIndex, *row.record,
                                                *row.patch, chartFormat, areaNumbers);
                if (code != Success)
                    return code;
                xml.Start("tr");
                for (int i = 0; i < cells.Count(); ++i)
                    xml.CellElement("td", cells, i);
                xml.End();
            }
            xml.End();
            return int(Success);
        };
        out.Reserve(out.Size() + size_t(rows.size()) * size_t(fields.size() + 1) * kBytesPerCell);
        const int code = writeSets(true);
        if (code != Success) {
            KeepFirstFailure(&result, code);
            xml.Restore(sets);
            writeSets(false);
        }
        xml.End();
        xml.End();
    }
    xml.Finish();

    const int written = WriteThroughPartFile(path, out.View(), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}

int CIODataFile::WriteMeasurementCxf(const QString &path, const QString &createTime,
                                     const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                                     const MeasurementDataSheets &measurement,
                                     const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);

    ExportBuffer out;
    XmlOut xml(&out);
    xml.Declaration(false, nullptr);
    xml.Start("cc:CxF");
    xml.Attribute("xmlns:cc", "http://colorexchangeformat.com/CxF3-core");
    xml.Attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");

    const QByteArray isoDate = EscapedText(IsoDateWithOffset(createTime));
    xml.Start("cc:FileInformation");
    xml.Element("cc:Creator", kMaker);
    xml.Start("cc:CreationDate");
    xml.Text(isoDate.constData(), size_t(isoDate.size()));
    xml.End();
    xml.Element("cc:Description", QCoreApplication::applicationName());
    xml.Start("cc:Tag");
    xml.Attribute("Name", "28178_TargetType");
    xml.Attribute("Value", "CGATS.17");
    xml.End();
    xml.End();

    const int chartFormat = ChartColorFormat(chart);
    const bool patchColor = conditions.PatchColorShown == 1 && chartFormat >= ChartDefinitionData::FormatRGB &&
                            chartFormat <= ChartDefinitionData::Format8Color;
    const AreaNumbers areaNumbers = BuildAreaNumbers(BuildAreaKeyList(measurement));
    const QByteArray densityStatus = EscapedText(DensityStatusName(conditions.DensityStatus));
    // Spot colour names are the same in every object.
    QVector<QByteArray> inkNames;
    for (int k = 5; patchColor && k <= chartFormat + 2; ++k)
        inkNames.append(EscapedText(k - 1 < inks.size() ? inks.at(k - 1).name : QString()));
    // Without a stored spectrum nothing is made up: the element names the illuminant only.
    auto writeIlluminant = [&](const char *tag, const QString &name, bool found, const EnvironLightData &light) {
        xml.Start(tag);
        xml.Attribute("Name", name);
        if (found) {
            xml.Attribute("WLStart", QString::number(uint(qMax(light.Start, 0))));
            xml.Attribute("List_Incriment", QString::number(uint(qMax(light.Step, 0))));
            WriteSpectrum(&xml, light);
        }
        xml.End();
    };

    QVector<ExportRow> rows;
    RowCells cells;
    int result = Success;
    for (int conditionId : conditionIds) {
        xml.Start("cc:Resources");
        xml.Start("cc:ObjectCollection");
        CollectRows(&rows, order, measurement, chart);
        out.Reserve(out.Size() + size_t(rows.size()) * 4096);

        // A failed calculation leaves the collection without objects.
        const XmlOut::Mark firstObject = xml.Here();
        for (const ExportRow &row : rows) {
            const int code = BuildExportRow(&cells, conditions, conditionId, row.sheetIndex, *row.record,
                                            *row.patch, chartFormat, areaNumbers);
            if (code != Success) {
                KeepFirstFailure(&result, code);
                xml.Restore(firstObject);
                break;
            }
            int next = 0;
            xml.Start("cc:Object");
            xml.Attribute("ObjectType", "Target");
            xml.CellAttribute("Id", cells, next++);
            xml.CellAttribute("Name", cells, next++);
            xml.Start("cc:CreationDate");
            xml.Text(isoDate.constData(), size_t(isoDate.size()));
            xml.End();
            // The patch colour stands right after ID and SAMPLE_LOC whatever the format.
            const int device = next;
            if (patchColor)
                next += chartFormat + 2;

            xml.Start("cc:ColorValues");
            if (patchColor && chartFormat == ChartDefinitionData::FormatRGB) {
                xml.Start("cc:ColorSRGB");
                xml.Attribute("ColorSpecification", "CS1");
                xml.CellElement("cc:R", cells, device);
                xml.CellElement("cc:G", cells, device + 1);
                xml.CellElement("cc:B", cells, device + 2);
                xml.End();
            }
            if (conditions.DensityShown == 1) {
                for (const char *filter : {"Red", "Green", "Blue", "Black"}) {
                    xml.Start("cc:ColorDensity");
                    xml.Attribute("ColorSpecification", "CS1");
                    xml.CellElement("cc:Density", cells, next++);
                    xml.Start("cc:Status");
                    xml.Text(densityStatus.constData(), size_t(densityStatus.size()));
                    xml.End();
                    xml.Element("cc:Filter", filter);
                    xml.End();
                }
            }
            if (conditions.ColorSpaceShown == 1) {
                auto triple = [&](bool on, const char *tag, const char *a, const char *b, const char *c) {
                    if (!on)
                        return;
                    xml.Start(tag);
                    xml.Attribute("ColorSpecification", "CS1");
                    xml.CellElement(a, cells, next++);
                    xml.CellElement(b, cells, next++);
                    xml.CellElement(c, cells, next++);
                    xml.End();
                };
                triple(conditions.LabShown == 1, "cc:ColorCIELab", "cc:L", "cc:A", "cc:B");
                triple(conditions.LchShown == 1, "cc:ColorCIELch", "cc:L", "cc:C", "cc:H");
                triple(conditions.XyzShown == 1, "cc:ColorCIEXYZ", "cc:X", "cc:Y", "cc:Z");
            }
            // Spectra the user asked for are written even with the colour spaces off.
            if (conditions.SpectralShown == 1) {
                xml.Start("cc:ReflectanceSpectrum");
                xml.Attribute("ColorSpecification", "CS1");
                xml.Attribute("StartWL", "380");
                for (int i = next; i < cells.Count(); ++i) {
                    if (i > next)
                        xml.Text(" ", 1);
                    xml.CellText(cells, i);
                }
                next = cells.Count();
                xml.End();
            }
            xml.End();

            if (patchColor && chartFormat >= ChartDefinitionData::FormatCMYK) {
                xml.Start("cc:DeviceColorValues");
                const bool plain = chartFormat == ChartDefinitionData::FormatCMYK;
                xml.Start(plain ? "cc:ColorCMYK" : "cc:ColorCMYKPlusN");
                xml.Attribute("ColorSpecification", "CS1");
                xml.CellElement("cc:Cyan", cells, device);
                xml.CellElement("cc:Magenta", cells, device + 1);
                xml.CellElement("cc:Yellow", cells, device + 2);
                xml.CellElement("cc:Black", cells, device + 3);
                for (int k = 5; !plain && k <= chartFormat + 2; ++k) {
                    xml.Start("cc:SpotColor");
                    const QByteArray &name = inkNames.at(k - 5);
                    xml.Start("cc:Name");
                    xml.Text(name.constData(), size_t(name.size()));
                    xml.End();
                    xml.CellElement("cc:Percentage", cells, device + k - 1);
                    xml.End();
                }
                xml.End();
                xml.End();
            }
            xml.End();
        }
        xml.End();

        xml.Start("cc:ColorSpecificationCollection");
        xml.Start("cc:ColorSpecification");
        xml.Attribute("Id", "CS1");
        xml.Start("cc:TristimulusSpec");
        const int illuminantId = conditions.Illuminant;
        const bool customIlluminant =
            IsUserIlluminantId(illuminantId) ||
            (IsAutoIlluminant(illuminantId) && IsUserIlluminantId(AutoIlluminantFor(conditionId)));
        const QString illuminantName = IlluminantName(illuminantId, conditionId, illuminants);
        if (customIlluminant) {
            EnvironLightData light;
            const bool found = m_host && m_host->GetUserIlluminantForCondition(conditionId, illuminantId, &light) == 0;
            writeIlluminant("cc:CustomIlluminant", illuminantName, found, light);
        } else {
            xml.Element("cc:Illuminant", illuminantName);
        }
        xml.Element("cc:Observer", ObserverName(conditions.Observer) + QStringLiteral("_Degree"));
        xml.Element("cc:Method", "E308_Table5");
        xml.End();

        xml.Start("cc:MeasurementSpec");
        xml.Element("cc:MeasurementType", "Spectrum_Reflectance");
        xml.Start("cc:GeometryChoice");
        xml.Start("cc:SingleAngle");
        xml.Element("cc:SingleAngleConfiguration", "Annular");
        xml.Element("cc:IlluminationAngle", "45");
        xml.Element("cc:MeasurementAngle", "0.0");
        xml.End();
        xml.End();
        xml.Start("cc:WavelengthRange");
        xml.Attribute("StartWL", "380");
        xml.Attribute("Increment", "10");
        xml.End();
        xml.Start("cc:Device");
        xml.Element("cc:Manufacturer", kMaker);
        xml.Element("cc:Model", InstrumentModelName(measurement.Mode));
        xml.Element("cc:SerialNumber", measurement.SerialNumber);
        const QString longName = MeasurementConditionLongName(conditionId, illuminants);
        if (IsUserMeasurementCondition(conditionId)) {
            xml.Start("cc:DeviceIllumination");
            xml.Attribute("CustomType", longName);
            xml.Text("Custom", 6);
            xml.End();
        } else {
            xml.Element("cc:DeviceIllumination", longName);
        }
        xml.End();
        xml.End();
        xml.End();
        xml.End();
        xml.End();
    }

    for (int conditionId : conditionIds) {
        if (!IsUserMeasurementCondition(conditionId))
            continue;
        xml.Start("cc:CustomResources");
        EnvironLightData light;
        const bool found =
            m_host && m_host->GetUserIlluminantForCondition(conditionId, kAutoIlluminantId, &light) == 0;
        writeIlluminant("cc:CustomDeviceIlluminant", MeasurementConditionLongName(conditionId, illuminants), found,
                        light);
        xml.End();
    }
    xml.Finish();

    const int written = WriteThroughPartFile(path, out.View(), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}
