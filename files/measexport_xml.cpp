#include "files/iodatafile.h"
#include "files/measexport.h"

#include "app/constants.h"
#include "app/illuminantdata.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QLocale>

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

void SetSpectrumAttributes(QDomElement element, const EnvironLightData &light)
{
    element.setAttribute(QStringLiteral("WLStart"), QString::number(uint(qMax(light.Start, 0))));
    element.setAttribute(QStringLiteral("List_Incriment"), QString::number(uint(qMax(light.Step, 0))));
}

// The CGATS XML document type, written as peers read it (Qt's DOM would quote it differently).
QByteArray InsertDocumentType(QByteArray bytes)
{
    const QByteArray docType = "<!DOCTYPE cgats17 SYSTEM \"cgats_data.dtd\" []>\r\n";
    const int end = bytes.indexOf("?>");
    int lineEnd = end < 0 ? -1 : bytes.indexOf("\r\n", end);
    if (lineEnd < 0)
        return docType + bytes;
    bytes.insert(lineEnd + 2, docType);
    return bytes;
}

bool IsUserIlluminantId(int id)
{
    return IlluminantUserSlot(id) >= 0;
}

} // namespace

int CIODataFile::WriteMeasurementCgatsXml(const QString &path, const QString &createTime,
                                          const Setting::MeasureConditionSetting &setting,
                                          const QList<int> &conditionIds,
                                          const MeasurementDataSheets &measurement,
                                          const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);

    QDomDocument document;
    QDomElement root = CreateXmlRoot(document, QStringLiteral("cgats17"), QStringLiteral(" standalone=\"yes\""));
    root.setAttribute(QStringLiteral("std_version"), QStringLiteral("1.0"));
    root.setAttribute(QStringLiteral("dtd_version"), QStringLiteral("1.0"));

    QDomElement preamble = AppendXmlElement(root, QStringLiteral("cgats17.preamble"), QString());
    AppendXmlElement(preamble, QStringLiteral("standard"), QStringLiteral("CGATS.17"));
    AppendXmlElement(preamble, QStringLiteral("originator"), kMaker);
    AppendXmlElement(preamble, QStringLiteral("file_descriptor"), QCoreApplication::applicationName());
    const QDateTime created = ParseCreateTime(createTime);
    // Qt 5's QDate::toString takes month names from the system locale.
    QDomElement createdElement = AppendXmlElement(
        preamble, QStringLiteral("created"),
        created.isValid() ? QLocale::c().toString(created.date(), QStringLiteral("MMMM d, yyyy")) : QString());
    createdElement.setAttribute(QStringLiteral("date"), IsoDateWithOffset(createTime));

    const int total = MeasuredPatchTotal(measurement);
    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(1, conditions, chartFormat);
    const QStringList areaKeys = BuildAreaKeyList(measurement);
    int result = Success;
    for (int conditionId : conditionIds) {
        QDomElement section = AppendXmlElement(root, QStringLiteral("cgats17.data_section"), QString());
        QDomElement header = AppendXmlElement(section, QStringLiteral("cgats17.data_section_header"), QString());
        QDomElement instrument = AppendXmlElement(header, QStringLiteral("instrumentation"), QString());
        instrument.setAttribute(QStringLiteral("manufacturer"), kMaker);
        instrument.setAttribute(QStringLiteral("model"), InstrumentModelName(measurement.Mode));
        instrument.setAttribute(QStringLiteral("serial_number"), measurement.SerialNumber);
        AppendXmlElement(header, QStringLiteral("measurement_geometry"), QStringLiteral("45/0"));
        AppendXmlElement(header, QStringLiteral("measurement_source"),
                         MeasurementConditionIlluminantName(conditionId, illuminants));
        if (AnyColorSpace(conditions)) {
            QDomElement observer = AppendXmlElement(header, QStringLiteral("weihting_function"), QString());
            observer.setAttribute(QStringLiteral("name"), QStringLiteral("observer"));
            observer.setAttribute(QStringLiteral("value"), ObserverName(conditions.Observer) + QStringLiteral(" degree"));
            QDomElement illuminant = AppendXmlElement(header, QStringLiteral("weihting_function"), QString());
            illuminant.setAttribute(QStringLiteral("name"), QStringLiteral("illuminant"));
            illuminant.setAttribute(QStringLiteral("value"),
                                    IlluminantName(conditions.Illuminant, conditionId, illuminants));
        }
        QDomElement keyword = AppendXmlElement(header, QStringLiteral("keyword"), QString());
        keyword.setAttribute(QStringLiteral("name"), QStringLiteral("SAMPLE_LOC"));
        keyword.setAttribute(QStringLiteral("comment"), QStringLiteral("Patch location in printing form"));
        if (total == 0)
            continue;

        if (chartFormat >= ChartDefinitionData::Format5Color && chartFormat <= ChartDefinitionData::Format8Color) {
            const int inkCount = chartFormat + 2;
            for (int k = 1; k <= inkCount; ++k) {
                QDomElement ink = AppendXmlElement(header, QStringLiteral("processcolor_id"), QString());
                ink.setAttribute(QStringLiteral("colors_in_set"), QString::number(inkCount));
                ink.setAttribute(QStringLiteral("color_number"), QString::number(k));
                ink.setAttribute(QStringLiteral("color"), k - 1 < inks.size() ? inks.at(k - 1).name : QString());
            }
        }
        QList<ExportRow> rows;
        const int code = CollectRows(&rows, order, conditions, conditionId, measurement, chart, areaKeys);
        KeepFirstFailure(&result, code);

        QDomElement data = AppendXmlElement(section, QStringLiteral("cgats17.data_section_data"), QString());
        AppendXmlElement(data, QStringLiteral("number_of_fields"), QString::number(fields.size()));
        QDomElement format = AppendXmlElement(data, QStringLiteral("data_format"), QString());
        for (int i = 0; i < fields.size(); ++i) {
            QDomElement field = AppendXmlElement(format, QStringLiteral("field_info"), QString());
            field.setAttribute(QStringLiteral("pos"), QString::number(i + 1));
            field.setAttribute(QStringLiteral("name"), fields.at(i));
        }
        AppendXmlElement(data, QStringLiteral("number_of_sets"), QString::number(rows.size()));
        QDomElement table = AppendXmlElement(data, QStringLiteral("table"), QString());
        for (const ExportRow &row : rows) {
            QDomElement tr = AppendXmlElement(table, QStringLiteral("tr"), QString());
            for (const QString &value : row)
                AppendXmlElement(tr, QStringLiteral("td"), value);
        }
    }

    const QByteArray bytes = InsertDocumentType(SerializeXml(document));
    const int written = WriteFileAtomically(path, bytes, FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}

int CIODataFile::WriteMeasurementCxf(const QString &path, const QString &createTime,
                                     const Setting::MeasureConditionSetting &setting, const QList<int> &conditionIds,
                                     const MeasurementDataSheets &measurement,
                                     const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);
    const QString cs1 = QStringLiteral("CS1");
    const QString colourModelAttribute = QStringLiteral("ColorSpecification");

    QDomDocument document;
    QDomElement root = CreateXmlRoot(document, QStringLiteral("cc:CxF"), QString());
    root.setAttribute(QStringLiteral("xmlns:cc"), QStringLiteral("http://colorexchangeformat.com/CxF3-core"));
    root.setAttribute(QStringLiteral("xmlns:xsi"), QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"));

    const QString isoDate = IsoDateWithOffset(createTime);
    QDomElement info = AppendXmlElement(root, QStringLiteral("cc:FileInformation"), QString());
    AppendXmlElement(info, QStringLiteral("cc:Creator"), kMaker);
    AppendXmlElement(info, QStringLiteral("cc:CreationDate"), isoDate);
    AppendXmlElement(info, QStringLiteral("cc:Description"), QCoreApplication::applicationName());
    QDomElement tag = AppendXmlElement(info, QStringLiteral("cc:Tag"), QString());
    tag.setAttribute(QStringLiteral("Name"), QStringLiteral("28178_TargetType"));
    tag.setAttribute(QStringLiteral("Value"), QStringLiteral("CGATS.17"));

    const int chartFormat = ChartColorFormat(chart);
    const bool patchColor = conditions.PatchColorShown == 1 && chartFormat >= ChartDefinitionData::FormatRGB &&
                            chartFormat <= ChartDefinitionData::Format8Color;
    const QStringList areaKeys = BuildAreaKeyList(measurement);
    auto appendSpectrumList = [&](QDomElement parent, const EnvironLightData &light) {
        AppendXmlElement(parent, QStringLiteral("cc:SPDList"), SpectrumText(light));
    };

    int result = Success;
    for (int conditionId : conditionIds) {
        QDomElement resources = AppendXmlElement(root, QStringLiteral("cc:Resources"), QString());
        QDomElement collection = AppendXmlElement(resources, QStringLiteral("cc:ObjectCollection"), QString());
        QList<ExportRow> rows;
        const int code = CollectRows(&rows, order, conditions, conditionId, measurement, chart, areaKeys);
        KeepFirstFailure(&result, code);

        for (const ExportRow &row : rows) {
            RowCursor cursor(row);
            QDomElement object = AppendXmlElement(collection, QStringLiteral("cc:Object"), QString());
            object.setAttribute(QStringLiteral("ObjectType"), QStringLiteral("Target"));
            object.setAttribute(QStringLiteral("Id"), cursor.Take());
            object.setAttribute(QStringLiteral("Name"), cursor.Take());
            AppendXmlElement(object, QStringLiteral("cc:CreationDate"), isoDate);
            // The patch colour stands right after ID and SAMPLE_LOC whatever the format.
            QStringList device;
            if (patchColor) {
                for (int k = 0; k < chartFormat + 2; ++k)
                    device << cursor.Take();
            }

            QDomElement values = AppendXmlElement(object, QStringLiteral("cc:ColorValues"), QString());
            if (patchColor && chartFormat == ChartDefinitionData::FormatRGB) {
                QDomElement rgb = AppendXmlElement(values, QStringLiteral("cc:ColorSRGB"), QString());
                rgb.setAttribute(colourModelAttribute, cs1);
                AppendXmlElement(rgb, QStringLiteral("cc:R"), device.value(0));
                AppendXmlElement(rgb, QStringLiteral("cc:G"), device.value(1));
                AppendXmlElement(rgb, QStringLiteral("cc:B"), device.value(2));
            }
            if (conditions.DensityShown == 1) {
                const QString filters[] = {QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue"),
                                           QStringLiteral("Black")};
                for (const QString &filter : filters) {
                    QDomElement density = AppendXmlElement(values, QStringLiteral("cc:ColorDensity"), QString());
                    density.setAttribute(colourModelAttribute, cs1);
                    AppendXmlElement(density, QStringLiteral("cc:Density"), cursor.Take());
                    AppendXmlElement(density, QStringLiteral("cc:Status"), DensityStatusName(conditions.DensityStatus));
                    AppendXmlElement(density, QStringLiteral("cc:Filter"), filter);
                }
            }
            if (conditions.ColorSpaceShown == 1) {
                auto triple = [&](bool on, const QString &name, const QString &a, const QString &b, const QString &c) {
                    if (!on)
                        return;
                    QDomElement colour = AppendXmlElement(values, name, QString());
                    colour.setAttribute(colourModelAttribute, cs1);
                    AppendXmlElement(colour, a, cursor.Take());
                    AppendXmlElement(colour, b, cursor.Take());
                    AppendXmlElement(colour, c, cursor.Take());
                };
                triple(conditions.LabShown == 1, QStringLiteral("cc:ColorCIELab"), QStringLiteral("cc:L"),
                       QStringLiteral("cc:A"), QStringLiteral("cc:B"));
                triple(conditions.LchShown == 1, QStringLiteral("cc:ColorCIELch"), QStringLiteral("cc:L"),
                       QStringLiteral("cc:C"), QStringLiteral("cc:H"));
                triple(conditions.XyzShown == 1, QStringLiteral("cc:ColorCIEXYZ"), QStringLiteral("cc:X"),
                       QStringLiteral("cc:Y"), QStringLiteral("cc:Z"));
            }
            // Spectra the user asked for are written even with the colour spaces off.
            if (conditions.SpectralShown == 1) {
                QDomElement spectrum =
                    AppendXmlElement(values, QStringLiteral("cc:ReflectanceSpectrum"), cursor.TakeRest().join(' '));
                spectrum.setAttribute(colourModelAttribute, cs1);
                spectrum.setAttribute(QStringLiteral("StartWL"), QStringLiteral("380"));
            }

            if (patchColor && chartFormat >= ChartDefinitionData::FormatCMYK) {
                QDomElement deviceValues = AppendXmlElement(object, QStringLiteral("cc:DeviceColorValues"), QString());
                const bool plain = chartFormat == ChartDefinitionData::FormatCMYK;
                QDomElement cmyk = AppendXmlElement(
                    deviceValues, plain ? QStringLiteral("cc:ColorCMYK") : QStringLiteral("cc:ColorCMYKPlusN"),
                    QString());
                cmyk.setAttribute(colourModelAttribute, cs1);
                AppendXmlElement(cmyk, QStringLiteral("cc:Cyan"), device.value(0));
                AppendXmlElement(cmyk, QStringLiteral("cc:Magenta"), device.value(1));
                AppendXmlElement(cmyk, QStringLiteral("cc:Yellow"), device.value(2));
                AppendXmlElement(cmyk, QStringLiteral("cc:Black"), device.value(3));
                for (int k = 5; !plain && k <= chartFormat + 2; ++k) {
                    QDomElement spot = AppendXmlElement(cmyk, QStringLiteral("cc:SpotColor"), QString());
                    AppendXmlElement(spot, QStringLiteral("cc:Name"), k - 1 < inks.size() ? inks.at(k - 1).name : QString());
                    AppendXmlElement(spot, QStringLiteral("cc:Percentage"), device.value(k - 1));
                }
            }
        }

        QDomElement specCollection =
            AppendXmlElement(resources, QStringLiteral("cc:ColorSpecificationCollection"), QString());
        QDomElement colourSpec = AppendXmlElement(specCollection, QStringLiteral("cc:ColorSpecification"), QString());
        colourSpec.setAttribute(QStringLiteral("Id"), cs1);
        QDomElement tristimulus = AppendXmlElement(colourSpec, QStringLiteral("cc:TristimulusSpec"), QString());
        const int illuminantId = conditions.Illuminant;
        const bool customIlluminant =
            IsUserIlluminantId(illuminantId) ||
            (IsAutoIlluminant(illuminantId) && IsUserIlluminantId(AutoIlluminantFor(conditionId)));
        const QString illuminantName = IlluminantName(illuminantId, conditionId, illuminants);
        if (customIlluminant) {
            QDomElement custom = AppendXmlElement(tristimulus, QStringLiteral("cc:CustomIlluminant"), QString());
            custom.setAttribute(QStringLiteral("Name"), illuminantName);
            EnvironLightData light;
            // Without a stored spectrum nothing is made up: the element names the illuminant only.
            if (m_host && m_host->GetUserIlluminantForCondition(conditionId, illuminantId, &light) == 0) {
                SetSpectrumAttributes(custom, light);
                appendSpectrumList(custom, light);
            }
        } else {
            AppendXmlElement(tristimulus, QStringLiteral("cc:Illuminant"), illuminantName);
        }
        AppendXmlElement(tristimulus, QStringLiteral("cc:Observer"),
                         ObserverName(conditions.Observer) + QStringLiteral("_Degree"));
        AppendXmlElement(tristimulus, QStringLiteral("cc:Method"), QStringLiteral("E308_Table5"));

        QDomElement measurementSpec = AppendXmlElement(colourSpec, QStringLiteral("cc:MeasurementSpec"), QString());
        AppendXmlElement(measurementSpec, QStringLiteral("cc:MeasurementType"), QStringLiteral("Spectrum_Reflectance"));
        QDomElement geometry = AppendXmlElement(measurementSpec, QStringLiteral("cc:GeometryChoice"), QString());
        QDomElement angle = AppendXmlElement(geometry, QStringLiteral("cc:SingleAngle"), QString());
        AppendXmlElement(angle, QStringLiteral("cc:SingleAngleConfiguration"), QStringLiteral("Annular"));
        AppendXmlElement(angle, QStringLiteral("cc:IlluminationAngle"), QStringLiteral("45"));
        AppendXmlElement(angle, QStringLiteral("cc:MeasurementAngle"), QStringLiteral("0.0"));
        QDomElement range = AppendXmlElement(measurementSpec, QStringLiteral("cc:WavelengthRange"), QString());
        range.setAttribute(QStringLiteral("StartWL"), QStringLiteral("380"));
        range.setAttribute(QStringLiteral("Increment"), QStringLiteral("10"));
        QDomElement deviceElement = AppendXmlElement(measurementSpec, QStringLiteral("cc:Device"), QString());
        AppendXmlElement(deviceElement, QStringLiteral("cc:Manufacturer"), kMaker);
        AppendXmlElement(deviceElement, QStringLiteral("cc:Model"), InstrumentModelName(measurement.Mode));
        AppendXmlElement(deviceElement, QStringLiteral("cc:SerialNumber"), measurement.SerialNumber);
        const QString longName = MeasurementConditionLongName(conditionId, illuminants);
        if (IsUserMeasurementCondition(conditionId)) {
            QDomElement illumination =
                AppendXmlElement(deviceElement, QStringLiteral("cc:DeviceIllumination"), QStringLiteral("Custom"));
            illumination.setAttribute(QStringLiteral("CustomType"), longName);
        } else {
            AppendXmlElement(deviceElement, QStringLiteral("cc:DeviceIllumination"), longName);
        }
    }

    for (int conditionId : conditionIds) {
        if (!IsUserMeasurementCondition(conditionId))
            continue;
        QDomElement custom = AppendXmlElement(root, QStringLiteral("cc:CustomResources"), QString());
        QDomElement deviceIlluminant = AppendXmlElement(custom, QStringLiteral("cc:CustomDeviceIlluminant"), QString());
        deviceIlluminant.setAttribute(QStringLiteral("Name"), MeasurementConditionLongName(conditionId, illuminants));
        EnvironLightData light;
        if (m_host && m_host->GetUserIlluminantForCondition(conditionId, kAutoIlluminantId, &light) == 0) {
            SetSpectrumAttributes(deviceIlluminant, light);
            appendSpectrumList(deviceIlluminant, light);
        }
    }

    const int written = WriteFileAtomically(path, SerializeXml(document), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}
