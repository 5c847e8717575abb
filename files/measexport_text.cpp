#include "files/iodatafile.h"
#include "files/measexport.h"
#include "files/partfile.h"

#include "app/constants.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

int CIODataFile::WriteMeasurementText(const QString &path, const QString &separator, const QString &createTime,
                                      const Setting::MeasureConditionSetting &setting,
                                      const QList<int> &conditionIds, const MeasurementDataSheets &measurement,
                                      const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);
    const QString &S = separator;
    const QDateTime created = ParseCreateTime(createTime);

    QString text;
    auto line = [&text](const QString &content) { text += content + QLatin1Char('\n'); };
    auto keywordLine = [&line](const QString &content) {
        line(content);
        line(QString());
    };

    keywordLine(QStringLiteral("#DATA_IDENTIFIER") + S + QStringLiteral("MEASUREMENT_DATA"));
    keywordLine(QStringLiteral("#FORMAT_VERSION") + S +
                QStringLiteral("%1.%2").arg(1, 2, 10, QLatin1Char('0')).arg(0, 2, 10, QLatin1Char('0')));
    keywordLine(QStringLiteral("#CREATE_TIME") + S +
                (created.isValid() ? QLocale::c().toString(created, QStringLiteral("yyyyMMddhhmmss")) : QString()));

    const int total = MeasuredPatchTotal(measurement);
    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(0, conditions, chartFormat);
    int result = Success;
    for (int conditionId : conditionIds) {
        keywordLine(QStringLiteral("#INSTRUMENTATION") + S +
                    Quoted(kMaker + QLatin1Char(' ') + InstrumentModelName(measurement.Mode)));
        keywordLine(QStringLiteral("#SERIAL") + S + measurement.SerialNumber);
        keywordLine(QStringLiteral("#GEOMETRY") + S + QStringLiteral("45/0"));
        if (conditions.DensityShown == 1)
            keywordLine(QStringLiteral("#CONCENTRATION") + S + WhiteReferenceKey(conditions.WhiteReference) + S +
                        DensityStatusName(conditions.DensityStatus));
        if (AnyColorSpace(conditions)) {
            QStringList spaces;
            if (conditions.LabShown == 1)
                spaces << ColorSpaceName(0);
            if (conditions.LchShown == 1)
                spaces << ColorSpaceName(1);
            if (conditions.XyzShown == 1)
                spaces << ColorSpaceName(2);
            keywordLine(QStringLiteral("#COLOR") + S + spaces.join(QLatin1Char('/')) + S +
                        ObserverName(conditions.Observer) + S +
                        IlluminantName(conditions.Illuminant, conditionId, illuminants));
        }
        if (conditions.SpectralShown == 1)
            keywordLine(QStringLiteral("#SPECTRUM"));
        keywordLine(QStringLiteral("#CONDITION") + S + MeasurementConditionIlluminantName(conditionId, illuminants));
        keywordLine(QStringLiteral("#MEASUREMENT_PATCH_COUNT") + S + QString::number(total));
        if (total == 0)
            continue;

        QList<ExportRow> rows;
        const int code = CollectRows(&rows, order, conditions, conditionId, measurement, chart, QStringList());
        KeepFirstFailure(&result, code);
        line(QStringLiteral("#BEGIN_MEASUREMENT_DATA"));
        line(fields.join(S));
        for (const ExportRow &row : rows)
            line(row.join(S));
        keywordLine(QStringLiteral("#END_MEASUREMENT_DATA"));
    }

    const int written = WriteThroughPartFile(path, Utf8WithCrLf(text), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}

int CIODataFile::WriteMeasurementCgatsText(const QString &path, const QString &separator,
                                           const QString &createTime,
                                           const Setting::MeasureConditionSetting &setting,
                                           const QList<int> &conditionIds,
                                           const MeasurementDataSheets &measurement,
                                           const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);
    const QString &T = separator;

    QString text;
    auto line = [&text](const QString &content) { text += content + QLatin1Char('\n'); };
    line(QStringLiteral("CGATS.17"));
    line(QStringLiteral("ORIGINATOR") + T + Quoted(kMaker));
    line(QStringLiteral("FILE_DESCRIPTOR") + T + Quoted(QCoreApplication::applicationName()));
    line(QStringLiteral("CREATED") + T + Quoted(IsoDateWithOffset(createTime)));

    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(2, conditions, chartFormat);
    const QStringList areaKeys = BuildAreaKeyList(measurement);
    // Whether any page holds measured patches: a first page without them must not hide the later ones.
    const bool anyMeasured = MeasuredPatchTotal(measurement) > 0;
    int result = Success;
    for (int conditionId : conditionIds) {
        line(QStringLiteral("INSTRUMENTATION") + T +
             Quoted(kMaker + QLatin1Char(' ') + InstrumentModelName(measurement.Mode)));
        line(QStringLiteral("SERIAL") + T + Quoted(measurement.SerialNumber));
        line(QStringLiteral("MEASUREMENT_GEOMETRY") + T + Quoted(QStringLiteral("45/0")));
        line(QStringLiteral("MEASUREMENT_SOURCE") + T +
             Quoted(MeasurementConditionIlluminantName(conditionId, illuminants)));
        if (AnyColorSpace(conditions)) {
            line(QStringLiteral("WEIGHTING_FUNCTION") + T +
                 Quoted(QStringLiteral("OBSERVER,") + ObserverName(conditions.Observer) + QStringLiteral(" degree")));
            line(QStringLiteral("WEIGHTING_FUNCTION") + T +
                 Quoted(QStringLiteral("ILLUMINANT,") + IlluminantName(conditions.Illuminant, conditionId, illuminants)));
        }
        line(QStringLiteral("KEYWORD") + T + Quoted(QStringLiteral("SAMPLE_LOC")) +
             QStringLiteral(" #Patch location in printing form"));
        if (!anyMeasured)
            continue;

        if (chartFormat >= ChartDefinitionData::Format5Color && chartFormat <= ChartDefinitionData::Format8Color) {
            const int inkCount = chartFormat + 2;
            for (int k = 1; k <= inkCount; ++k) {
                const QString name = k - 1 < inks.size() ? inks.at(k - 1).name : QString();
                line(QStringLiteral("PROCESSCOLOR_ID") + T +
                     Quoted(QStringLiteral("%1 %2 ").arg(inkCount).arg(k) + name));
            }
        }
        QList<ExportRow> rows;
        const int code = CollectRows(&rows, order, conditions, conditionId, measurement, chart, areaKeys);
        KeepFirstFailure(&result, code);
        line(QStringLiteral("NUMBER_OF_FIELDS") + T + QString::number(fields.size()));
        line(QStringLiteral("BEGIN_DATA_FORMAT"));
        line(fields.join(T));
        line(QStringLiteral("END_DATA_FORMAT"));
        // CGATS readers refuse a count that differs from the rows that follow.
        line(QStringLiteral("NUMBER_OF_SETS") + T + QString::number(rows.size()));
        line(QStringLiteral("BEGIN_DATA"));
        for (const ExportRow &row : rows)
            line(row.join(T));
        line(QStringLiteral("END_DATA"));
    }

    const int written = WriteThroughPartFile(path, Utf8WithCrLf(text), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}
