#include "files/iodatafile.h"
#include "files/measexport.h"
#include "files/partfile.h"

#include "app/constants.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

using MeasureExport::ExportBuffer;
using MeasureExport::RowCells;

// A rough size of a row, so the buffer grows once.
constexpr size_t kBytesPerCell = 11;

void AppendQuoted(ExportBuffer *out, const QString &text)
{
    out->Append('"');
    out->AppendText(text);
    out->Append('"');
}

void AppendJoined(ExportBuffer *out, const QStringList &fields, char separator)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out->Append(separator);
        out->AppendText(fields.at(i));
    }
}

void AppendRow(ExportBuffer *out, const RowCells &cells, char separator)
{
    for (int i = 0; i < cells.Count(); ++i) {
        if (i > 0)
            out->Append(separator);
        out->Append(cells.Data(i), size_t(cells.Size(i)));
    }
    out->LineEnd();
}

} // namespace

int CIODataFile::WriteMeasurementText(const QString &path, const QString &separator, const QString &createTime,
                                      const Setting::MeasureConditionSetting &setting,
                                      const QList<int> &conditionIds, const MeasurementDataSheets &measurement,
                                      const ChartDefinitionDataSheets &chart, int order)
{
    using namespace MeasureExport;
    const auto [conditions, illuminants, inks] = GatherWriterInputs(m_host, setting);
    const char S = separator.at(0).toLatin1();
    const QDateTime created = ParseCreateTime(createTime);

    ExportBuffer out;
    // Each keyword line is followed by an empty one.
    auto keywordEnd = [&out] {
        out.LineEnd();
        out.LineEnd();
    };

    out.Append("#DATA_IDENTIFIER");
    out.Append(S);
    out.Append("MEASUREMENT_DATA");
    keywordEnd();
    out.Append("#FORMAT_VERSION");
    out.Append(S);
    out.Append("01.00");
    keywordEnd();
    out.Append("#CREATE_TIME");
    out.Append(S);
    if (created.isValid())
        out.AppendText(QLocale::c().toString(created, QStringLiteral("yyyyMMddhhmmss")));
    keywordEnd();

    const int total = MeasuredPatchTotal(measurement);
    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(0, conditions, chartFormat);
    QVector<ExportRow> rows;
    RowCells cells;
    int result = Success;
    for (int conditionId : conditionIds) {
        out.Append("#INSTRUMENTATION");
        out.Append(S);
        AppendQuoted(&out, kMaker + QLatin1Char(' ') + InstrumentModelName(measurement.Mode));
        keywordEnd();
        out.Append("#SERIAL");
        out.Append(S);
        out.AppendText(measurement.SerialNumber);
        keywordEnd();
        out.Append("#GEOMETRY");
        out.Append(S);
        out.Append("45/0");
        keywordEnd();
        if (conditions.DensityShown == 1) {
            out.Append("#CONCENTRATION");
            out.Append(S);
            out.AppendText(WhiteReferenceKey(conditions.WhiteReference));
            out.Append(S);
            out.AppendText(DensityStatusName(conditions.DensityStatus));
            keywordEnd();
        }
        if (AnyColorSpace(conditions)) {
            QStringList spaces;
            if (conditions.LabShown == 1)
                spaces << ColorSpaceName(0);
            if (conditions.LchShown == 1)
                spaces << ColorSpaceName(1);
            if (conditions.XyzShown == 1)
                spaces << ColorSpaceName(2);
            out.Append("#COLOR");
            out.Append(S);
            out.AppendText(spaces.join(QLatin1Char('/')));
            out.Append(S);
            out.AppendText(ObserverName(conditions.Observer));
            out.Append(S);
            out.AppendText(IlluminantName(conditions.Illuminant, conditionId, illuminants));
            keywordEnd();
        }
        if (conditions.SpectralShown == 1) {
            out.Append("#SPECTRUM");
            keywordEnd();
        }
        out.Append("#CONDITION");
        out.Append(S);
        out.AppendText(MeasurementConditionIlluminantName(conditionId, illuminants));
        keywordEnd();
        out.Append("#MEASUREMENT_PATCH_COUNT");
        out.Append(S);
        out.AppendInt(total);
        keywordEnd();
        if (total == 0)
            continue;

        CollectRows(&rows, order, measurement, chart);
        out.Append("#BEGIN_MEASUREMENT_DATA");
        out.LineEnd();
        AppendJoined(&out, fields, S);
        out.LineEnd();
        out.Reserve(out.Size() + size_t(rows.size()) * size_t(fields.size() + 1) * kBytesPerCell);
        // A failed calculation leaves the condition without rows.
        const size_t firstRow = out.Size();
        for (const ExportRow &row : rows) {
            const int code = BuildExportRow(&cells, conditions, conditionId, row.sheetIndex, *row.record, *row.patch,
                                            chartFormat, AreaNumbers());
            if (code != Success) {
                KeepFirstFailure(&result, code);
                out.Truncate(firstRow);
                break;
            }
            AppendRow(&out, cells, S);
        }
        out.Append("#END_MEASUREMENT_DATA");
        keywordEnd();
    }

    const int written = WriteThroughPartFile(path, out.View(), FileOpenFailed, FileOpenFailed);
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
    const char T = separator.at(0).toLatin1();

    ExportBuffer out;
    out.Append("CGATS.17");
    out.LineEnd();
    out.Append("ORIGINATOR");
    out.Append(T);
    AppendQuoted(&out, kMaker);
    out.LineEnd();
    out.Append("FILE_DESCRIPTOR");
    out.Append(T);
    AppendQuoted(&out, QCoreApplication::applicationName());
    out.LineEnd();
    out.Append("CREATED");
    out.Append(T);
    AppendQuoted(&out, IsoDateWithOffset(createTime));
    out.LineEnd();

    const int chartFormat = ChartColorFormat(chart);
    const QStringList fields = BuildExportFieldList(2, conditions, chartFormat);
    const AreaNumbers areaNumbers = BuildAreaNumbers(BuildAreaKeyList(measurement));
    // Whether any page holds measured patches: a first page without them must not hide the later ones.
    const bool anyMeasured = MeasuredPatchTotal(measurement) > 0;
    QVector<ExportRow> rows;
    RowCells cells;
    int result = Success;
    for (int conditionId : conditionIds) {
        out.Append("INSTRUMENTATION");
        out.Append(T);
        AppendQuoted(&out, kMaker + QLatin1Char(' ') + InstrumentModelName(measurement.Mode));
        out.LineEnd();
        out.Append("SERIAL");
        out.Append(T);
        AppendQuoted(&out, measurement.SerialNumber);
        out.LineEnd();
        out.Append("MEASUREMENT_GEOMETRY");
        out.Append(T);
        out.Append("\"45/0\"");
        out.LineEnd();
        out.Append("MEASUREMENT_SOURCE");
        out.Append(T);
        AppendQuoted(&out, MeasurementConditionIlluminantName(conditionId, illuminants));
        out.LineEnd();
        if (AnyColorSpace(conditions)) {
            out.Append("WEIGHTING_FUNCTION");
            out.Append(T);
            AppendQuoted(&out, QStringLiteral("OBSERVER,") + ObserverName(conditions.Observer) +
                                   QStringLiteral(" degree"));
            out.LineEnd();
            out.Append("WEIGHTING_FUNCTION");
            out.Append(T);
            AppendQuoted(&out, QStringLiteral("ILLUMINANT,") +
                                   IlluminantName(conditions.Illuminant, conditionId, illuminants));
            out.LineEnd();
        }
        out.Append("KEYWORD");
        out.Append(T);
        out.Append("\"SAMPLE_LOC\" #Patch location in printing form");
        out.LineEnd();
        if (!anyMeasured)
            continue;

        if (chartFormat >= ChartDefinitionData::Format5Color && chartFormat <= ChartDefinitionData::Format8Color) {
            const int inkCount = chartFormat + 2;
            for (int k = 1; k <= inkCount; ++k) {
                const QString name = k - 1 < inks.size() ? inks.at(k - 1).name : QString();
                out.Append("PROCESSCOLOR_ID");
                out.Append(T);
                AppendQuoted(&out, QStringLiteral("%1 %2 ").arg(inkCount).arg(k) + name);
                out.LineEnd();
            }
        }
        CollectRows(&rows, order, measurement, chart);
        out.Append("NUMBER_OF_FIELDS");
        out.Append(T);
        out.AppendInt(fields.size());
        out.LineEnd();
        out.Append("BEGIN_DATA_FORMAT");
        out.LineEnd();
        AppendJoined(&out, fields, T);
        out.LineEnd();
        out.Append("END_DATA_FORMAT");
        out.LineEnd();
        // CGATS readers refuse a count that differs from the rows that follow, so a failed calculation takes
        // the count back to 0 along with the rows.
        const size_t setsLine = out.Size();
        auto setsHeader = [&out, T](int count) {
            out.Append("NUMBER_OF_SETS");
            out.Append(T);
            out.AppendInt(count);
            out.LineEnd();
            out.Append("BEGIN_DATA");
            out.LineEnd();
        };
        setsHeader(rows.size());
        out.Reserve(out.Size() + size_t(rows.size()) * size_t(fields.size() + 1) * kBytesPerCell);
        for (const ExportRow &row : rows) {
            const int code = BuildExportRow(&cells, conditions, conditionId, row.sheetIndex, *row.record, *row.patch,
                                            chartFormat, areaNumbers);
            if (code != Success) {
                KeepFirstFailure(&result, code);
                out.Truncate(setsLine);
                setsHeader(0);
                break;
            }
            AppendRow(&out, cells, T);
        }
        out.Append("END_DATA");
        out.LineEnd();
    }

    const int written = WriteThroughPartFile(path, out.View(), FileOpenFailed, FileOpenFailed);
    return written != Success ? written : result;
}
