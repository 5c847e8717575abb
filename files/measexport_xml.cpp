#include "files/iodatafile.h"
#include "files/measexport.h"
#include "files/partfile.h"

#include "app/constants.h"
#include "app/illuminantdata.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPair>
#include <QVector>
#include <QXmlStreamWriter>

namespace {

// Takes a row's values from the front; past the end it gives empty texts instead of reading on.
class RowCursor
{
public:
    explicit RowCursor(const QStringList &row) : m_row(row) {}
    QString Take() { return m_next < m_row.size() ? m_row.at(m_next++) : QString(); }
    QStringList TakeRest()
    {
        const QStringList rest = m_row.mid(m_next);
        m_next = m_row.size();
        return rest;
    }

private:
    const QStringList &m_row;
    int m_next = 0;
};

// A light-source spectrum is always 300 to 780 nm in 5 nm steps, whatever its header fields say.
QString SpectrumText(const EnvironLightData &light)
{
    QStringList values;
    for (int i = 0; i < kEnvironLightValueCount; ++i)
        values << QString::number(double(light.Values[i]), 'f', 7);
    return values.join(QLatin1Char(' '));
}

using XmlAttributes = QVector<QPair<QString, QString>>;

XmlAttributes SpectrumAttributes(const EnvironLightData &light)
{
    return {{QStringLiteral("WLStart"), QString::number(uint(qMax(light.Start, 0)))},
            {QStringLiteral("List_Incriment"), QString::number(uint(qMax(light.Step, 0)))}};
}

bool IsUserIlluminantId(int id)
{
    return IlluminantUserSlot(id) >= 0;
}

// Writes an export document element by element with each element's attributes in the order given (QDomElement
// keeps them in a hash whose order changes from run to run, so one export gave different bytes in two runs):
// one element per line, two spaces per level, text inline, an element without text or children as <tag/>,
// CR LF line ends.
class ExportXmlWriter
{
public:
    // The declaration, standalone="yes" when asked, and the document type when one is given.
    ExportXmlWriter(bool standalone, const QString &documentType) : m_xml(&m_bytes)
    {
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(2);
        if (standalone)
            m_xml.writeStartDocument(QStringLiteral("1.0"), true);
        else
            m_xml.writeStartDocument(QStringLiteral("1.0"));
        if (!documentType.isEmpty())
            m_xml.writeDTD(documentType);
    }

    void Start(const QString &tag, const XmlAttributes &attributes = {})
    {
        m_xml.writeStartElement(tag);
        for (const auto &attribute : attributes)
            m_xml.writeAttribute(attribute.first, attribute.second);
    }
    void End() { m_xml.writeEndElement(); }
    // An element holding only text; an empty text gives an empty element.
    void Element(const QString &tag, const QString &text, const XmlAttributes &attributes = {})
    {
        Start(tag, attributes);
        // A lone CR would come back from any reader as LF, so it goes out as a reference.
        const QStringList pieces = text.split(QLatin1Char('\r'));
        for (int i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                m_xml.writeEntityReference(QStringLiteral("#xd"));
            if (!pieces.at(i).isEmpty())
                m_xml.writeCharacters(pieces.at(i));
        }
        End();
    }

    // Characters XML cannot hold (control characters in a name) are left out; the stream flags them, which
    // does not fail the export.
    QByteArray Finish()
    {
        m_xml.writeEndDocument();
        return m_bytes.replace("\n", "\r\n");
    }

private:
    QByteArray m_bytes;
    QXmlStreamWriter m_xml;
};

} // namespace

int CIODataFile::WriteMeasurementCgatsXml(const QString &path, const QString &createTime,
                                          const Setting::MeasureConditionSetting &setting,
                                          const QList<int> &conditionIds,
                                          const MeasurementDataSheets &measurement,
                                          const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);

    // The document type as peers read it.
    ExportXmlWriter xml(true, QStringLiteral("<!DOCTYPE cgats17 SYSTEM \"cgats_data.dtd\" []>"));
    xml.Start(QStringLiteral("cgats17"), {{QStringLiteral("std_version"), QStringLiteral("1.0")},
                                          {QStringLiteral("dtd_version"), QStringLiteral("1.0")}});

    xml.Start(QStringLiteral("cgats17.preamble"));
    xml.Element(QStringLiteral("standard"), QStringLiteral("CGATS.17"));
    xml.Element(QStringLiteral("originator"), kMaker);
    xml.Element(QStringLiteral("file_descriptor"), QCoreApplication::applicationName());
    const QDateTime created = ParseCreateTime(createTime);
    // Qt 5's QDate::toString takes month names from the system locale.
    xml.Element(QStringLiteral("created"),
                created.isValid() ? QLocale::c().toString(created.date(), QStringLiteral("MMMM d, yyyy")) : QString(),
                {{QStringLiteral("date"), IsoDateWithOffset(createTime)}});
    xml.End();

    const int total = MeasuredPatchTotal(measurement);
    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(1, conditions, chartFormat);
    const QStringList areaKeys = BuildAreaKeyList(measurement);
    int result = Success;
    for (int conditionId : conditionIds) {
        xml.Start(QStringLiteral("cgats17.data_section"));
        xml.Start(QStringLiteral("cgats17.data_section_header"));
        xml.Element(QStringLiteral("instrumentation"), QString(),
                    {{QStringLiteral("manufacturer"), kMaker},
                     {QStringLiteral("model"), InstrumentModelName(measurement.Mode)},
                     {QStringLiteral("serial_number"), measurement.SerialNumber}});
        xml.Element(QStringLiteral("measurement_geometry"), QStringLiteral("45/0"));
        xml.Element(QStringLiteral("measurement_source"), MeasurementConditionIlluminantName(conditionId, illuminants));
        if (AnyColorSpace(conditions)) {
            xml.Element(QStringLiteral("weihting_function"), QString(),
                        {{QStringLiteral("name"), QStringLiteral("observer")},
                         {QStringLiteral("value"), ObserverName(conditions.Observer) + QStringLiteral(" degree")}});
            xml.Element(QStringLiteral("weihting_function"), QString(),
                        {{QStringLiteral("name"), QStringLiteral("illuminant")},
                         {QStringLiteral("value"), IlluminantName(conditions.Illuminant, conditionId, illuminants)}});
        }
        xml.Element(QStringLiteral("keyword"), QString(),
                    {{QStringLiteral("name"), QStringLiteral("SAMPLE_LOC")},
                     {QStringLiteral("comment"), QStringLiteral("Patch location in printing form")}});
        if (total == 0) {
            xml.End();
            xml.End();
            continue;
        }

        if (chartFormat >= ChartDefinitionData::Format5Color && chartFormat <= ChartDefinitionData::Format8Color) {
            const int inkCount = chartFormat + 2;
            for (int k = 1; k <= inkCount; ++k)
                xml.Element(QStringLiteral("processcolor_id"), QString(),
                            {{QStringLiteral("colors_in_set"), QString::number(inkCount)},
                             {QStringLiteral("color_number"), QString::number(k)},
                             {QStringLiteral("color"), k - 1 < inks.size() ? inks.at(k - 1).name : QString()}});
        }
        xml.End();
        QList<ExportRow> rows;
        const int code = CollectRows(&rows, order, conditions, conditionId, measurement, chart, areaKeys);
        KeepFirstFailure(&result, code);

        xml.Start(QStringLiteral("cgats17.data_section_data"));
        xml.Element(QStringLiteral("number_of_fields"), QString::number(fields.size()));
        xml.Start(QStringLiteral("data_format"));
        for (int i = 0; i < fields.size(); ++i)
            xml.Element(QStringLiteral("field_info"), QString(),
                        {{QStringLiteral("pos"), QString::number(i + 1)}, {QStringLiteral("name"), fields.at(i)}});
        xml.End();
        xml.Element(QStringLiteral("number_of_sets"), QString::number(rows.size()));
        xml.Start(QStringLiteral("table"));
        for (const ExportRow &row : rows) {
            xml.Start(QStringLiteral("tr"));
            for (const QString &value : row)
                xml.Element(QStringLiteral("td"), value);
            xml.End();
        }
        xml.End();
        xml.End();
        xml.End();
    }
    xml.End();

    const int written = WriteThroughPartFile(path, xml.Finish(), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}

int CIODataFile::WriteMeasurementCxf(const QString &path, const QString &createTime,
                                     const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                                     const MeasurementDataSheets &measurement,
                                     const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);
    const XmlAttributes cs1{{QStringLiteral("ColorSpecification"), QStringLiteral("CS1")}};

    ExportXmlWriter xml(false, QString());
    xml.Start(QStringLiteral("cc:CxF"),
              {{QStringLiteral("xmlns:cc"), QStringLiteral("http://colorexchangeformat.com/CxF3-core")},
               {QStringLiteral("xmlns:xsi"), QStringLiteral("http://www.w3.org/2001/XMLSchema-instance")}});

    const QString isoDate = IsoDateWithOffset(createTime);
    xml.Start(QStringLiteral("cc:FileInformation"));
    xml.Element(QStringLiteral("cc:Creator"), kMaker);
    xml.Element(QStringLiteral("cc:CreationDate"), isoDate);
    xml.Element(QStringLiteral("cc:Description"), QCoreApplication::applicationName());
    xml.Element(QStringLiteral("cc:Tag"), QString(),
                {{QStringLiteral("Name"), QStringLiteral("28178_TargetType")},
                 {QStringLiteral("Value"), QStringLiteral("CGATS.17")}});
    xml.End();

    const int chartFormat = ChartColorFormat(chart);
    const bool patchColor = conditions.PatchColorShown == 1 && chartFormat >= ChartDefinitionData::FormatRGB &&
                            chartFormat <= ChartDefinitionData::Format8Color;
    const QStringList areaKeys = BuildAreaKeyList(measurement);
    // Without a stored spectrum nothing is made up: the element names the illuminant only.
    auto writeIlluminant = [&](const QString &tag, const QString &name, bool found, const EnvironLightData &light) {
        const XmlAttributes spectrum = found ? SpectrumAttributes(light) : XmlAttributes();
        xml.Start(tag, XmlAttributes{{QStringLiteral("Name"), name}} + spectrum);
        if (found)
            xml.Element(QStringLiteral("cc:SPDList"), SpectrumText(light));
        xml.End();
    };

    int result = Success;
    for (int conditionId : conditionIds) {
        xml.Start(QStringLiteral("cc:Resources"));
        xml.Start(QStringLiteral("cc:ObjectCollection"));
        QList<ExportRow> rows;
        const int code = CollectRows(&rows, order, conditions, conditionId, measurement, chart, areaKeys);
        KeepFirstFailure(&result, code);

        for (const ExportRow &row : rows) {
            RowCursor cursor(row);
            const QString id = cursor.Take();
            const QString name = cursor.Take();
            xml.Start(QStringLiteral("cc:Object"), {{QStringLiteral("ObjectType"), QStringLiteral("Target")},
                                                    {QStringLiteral("Id"), id},
                                                    {QStringLiteral("Name"), name}});
            xml.Element(QStringLiteral("cc:CreationDate"), isoDate);
            // The patch colour stands right after ID and SAMPLE_LOC whatever the format.
            QStringList device;
            if (patchColor) {
                for (int k = 0; k < chartFormat + 2; ++k)
                    device << cursor.Take();
            }

            xml.Start(QStringLiteral("cc:ColorValues"));
            if (patchColor && chartFormat == ChartDefinitionData::FormatRGB) {
                xml.Start(QStringLiteral("cc:ColorSRGB"), cs1);
                xml.Element(QStringLiteral("cc:R"), device.value(0));
                xml.Element(QStringLiteral("cc:G"), device.value(1));
                xml.Element(QStringLiteral("cc:B"), device.value(2));
                xml.End();
            }
            if (conditions.DensityShown == 1) {
                const QString filters[] = {QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue"),
                                           QStringLiteral("Black")};
                for (const QString &filter : filters) {
                    xml.Start(QStringLiteral("cc:ColorDensity"), cs1);
                    xml.Element(QStringLiteral("cc:Density"), cursor.Take());
                    xml.Element(QStringLiteral("cc:Status"), DensityStatusName(conditions.DensityStatus));
                    xml.Element(QStringLiteral("cc:Filter"), filter);
                    xml.End();
                }
            }
            if (conditions.ColorSpaceShown == 1) {
                auto triple = [&](bool on, const QString &tag, const QString &a, const QString &b, const QString &c) {
                    if (!on)
                        return;
                    xml.Start(tag, cs1);
                    xml.Element(a, cursor.Take());
                    xml.Element(b, cursor.Take());
                    xml.Element(c, cursor.Take());
                    xml.End();
                };
                triple(conditions.LabShown == 1, QStringLiteral("cc:ColorCIELab"), QStringLiteral("cc:L"),
                       QStringLiteral("cc:A"), QStringLiteral("cc:B"));
                triple(conditions.LchShown == 1, QStringLiteral("cc:ColorCIELch"), QStringLiteral("cc:L"),
                       QStringLiteral("cc:C"), QStringLiteral("cc:H"));
                triple(conditions.XyzShown == 1, QStringLiteral("cc:ColorCIEXYZ"), QStringLiteral("cc:X"),
                       QStringLiteral("cc:Y"), QStringLiteral("cc:Z"));
            }
            // Spectra the user asked for are written even with the colour spaces off.
            if (conditions.SpectralShown == 1)
                xml.Element(QStringLiteral("cc:ReflectanceSpectrum"), cursor.TakeRest().join(' '),
                            cs1 + XmlAttributes{{QStringLiteral("StartWL"), QStringLiteral("380")}});
            xml.End();

            if (patchColor && chartFormat >= ChartDefinitionData::FormatCMYK) {
                xml.Start(QStringLiteral("cc:DeviceColorValues"));
                const bool plain = chartFormat == ChartDefinitionData::FormatCMYK;
                xml.Start(plain ? QStringLiteral("cc:ColorCMYK") : QStringLiteral("cc:ColorCMYKPlusN"), cs1);
                xml.Element(QStringLiteral("cc:Cyan"), device.value(0));
                xml.Element(QStringLiteral("cc:Magenta"), device.value(1));
                xml.Element(QStringLiteral("cc:Yellow"), device.value(2));
                xml.Element(QStringLiteral("cc:Black"), device.value(3));
                for (int k = 5; !plain && k <= chartFormat + 2; ++k) {
                    xml.Start(QStringLiteral("cc:SpotColor"));
                    xml.Element(QStringLiteral("cc:Name"), k - 1 < inks.size() ? inks.at(k - 1).name : QString());
                    xml.Element(QStringLiteral("cc:Percentage"), device.value(k - 1));
                    xml.End();
                }
                xml.End();
                xml.End();
            }
            xml.End();
        }
        xml.End();

        xml.Start(QStringLiteral("cc:ColorSpecificationCollection"));
        xml.Start(QStringLiteral("cc:ColorSpecification"), {{QStringLiteral("Id"), QStringLiteral("CS1")}});
        xml.Start(QStringLiteral("cc:TristimulusSpec"));
        const int illuminantId = conditions.Illuminant;
        const bool customIlluminant =
            IsUserIlluminantId(illuminantId) ||
            (IsAutoIlluminant(illuminantId) && IsUserIlluminantId(AutoIlluminantFor(conditionId)));
        const QString illuminantName = IlluminantName(illuminantId, conditionId, illuminants);
        if (customIlluminant) {
            EnvironLightData light;
            const bool found = m_host && m_host->GetUserIlluminantForCondition(conditionId, illuminantId, &light) == 0;
            writeIlluminant(QStringLiteral("cc:CustomIlluminant"), illuminantName, found, light);
        } else {
            xml.Element(QStringLiteral("cc:Illuminant"), illuminantName);
        }
        xml.Element(QStringLiteral("cc:Observer"), ObserverName(conditions.Observer) + QStringLiteral("_Degree"));
        xml.Element(QStringLiteral("cc:Method"), QStringLiteral("E308_Table5"));
        xml.End();

        xml.Start(QStringLiteral("cc:MeasurementSpec"));
        xml.Element(QStringLiteral("cc:MeasurementType"), QStringLiteral("Spectrum_Reflectance"));
        xml.Start(QStringLiteral("cc:GeometryChoice"));
        xml.Start(QStringLiteral("cc:SingleAngle"));
        xml.Element(QStringLiteral("cc:SingleAngleConfiguration"), QStringLiteral("Annular"));
        xml.Element(QStringLiteral("cc:IlluminationAngle"), QStringLiteral("45"));
        xml.Element(QStringLiteral("cc:MeasurementAngle"), QStringLiteral("0.0"));
        xml.End();
        xml.End();
        xml.Element(QStringLiteral("cc:WavelengthRange"), QString(),
                    {{QStringLiteral("StartWL"), QStringLiteral("380")},
                     {QStringLiteral("Increment"), QStringLiteral("10")}});
        xml.Start(QStringLiteral("cc:Device"));
        xml.Element(QStringLiteral("cc:Manufacturer"), kMaker);
        xml.Element(QStringLiteral("cc:Model"), InstrumentModelName(measurement.Mode));
        xml.Element(QStringLiteral("cc:SerialNumber"), measurement.SerialNumber);
        const QString longName = MeasurementConditionLongName(conditionId, illuminants);
        if (IsUserMeasurementCondition(conditionId))
            xml.Element(QStringLiteral("cc:DeviceIllumination"), QStringLiteral("Custom"),
                        {{QStringLiteral("CustomType"), longName}});
        else
            xml.Element(QStringLiteral("cc:DeviceIllumination"), longName);
        xml.End();
        xml.End();
        xml.End();
        xml.End();
        xml.End();
    }

    for (int conditionId : conditionIds) {
        if (!IsUserMeasurementCondition(conditionId))
            continue;
        xml.Start(QStringLiteral("cc:CustomResources"));
        EnvironLightData light;
        const bool found =
            m_host && m_host->GetUserIlluminantForCondition(conditionId, kAutoIlluminantId, &light) == 0;
        writeIlluminant(QStringLiteral("cc:CustomDeviceIlluminant"),
                        MeasurementConditionLongName(conditionId, illuminants), found, light);
        xml.End();
    }
    xml.End();

    const int written = WriteThroughPartFile(path, xml.Finish(), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}
