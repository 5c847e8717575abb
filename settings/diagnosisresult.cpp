#include "settings/diagnosisresult.h"

#include "files/measexport.h"

#include "OrloSDK.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace DiagnosisResult {
namespace {

// The report's difference columns, in kind ids: dE*ab, dE00, dL*, da*, db*.
constexpr int kReportKindOrder[kColourDifferenceKindCount] = {3, 4, 0, 1, 2};

void AppendLine(QByteArray *out, const QString &line)
{
    out->append(line.toUtf8());
    out->append("\r\n");
}

void AppendSpectralBlock(QByteArray *out, const DiagnoseHistoryRecord &entry, bool measured)
{
    AppendLine(out, measured ? QStringLiteral("BEGIN_MEASUREMENT_DATA") : QStringLiteral("BEGIN_STANDARD_DATA"));
    QString header = QStringLiteral("TILENAME");
    for (int i = 0; i < kReflectanceCount; ++i)
        header += QLatin1Char(',') + QString::number(380 + 10 * i) + QStringLiteral("nm");
    header += QStringLiteral(",LAB_L,LAB_A,LAB_B");
    AppendLine(out, header);
    for (unsigned int t = 0; t < entry.TileCount && t < unsigned(kTileCount); ++t) {
        const TileResultRecord &tile = entry.Tiles[t];
        const float *reflectance = measured ? tile.MeasuredReflectance : tile.StandardReflectance;
        const float *lab = measured ? tile.MeasuredLab : tile.StandardLab;
        QString line = TileName(tile.TileId);
        for (int i = 0; i < kReflectanceCount; ++i)
            line += QLatin1Char(',') + QString::number(double(reflectance[i]), 'f', 7);
        for (int i = 0; i < 3; ++i)
            line += QLatin1Char(',') + QString::number(double(lab[i]), 'f', 2);
        AppendLine(out, line);
    }
    AppendLine(out, measured ? QStringLiteral("END_MEASUREMENT_DATA") : QStringLiteral("END_STANDARD_DATA"));
}

enum class DifferenceBlock { Differences, Tolerances, Judgements };

void AppendDifferenceBlock(QByteArray *out, const DiagnoseHistoryRecord &entry, DifferenceBlock block,
                           const QString &begin, const QString &end)
{
    AppendLine(out, begin);
    QString header = QStringLiteral("TILENAME");
    for (int kind : kReportKindOrder)
        header += QLatin1Char(',') + ColorDifferenceName(kind);
    AppendLine(out, header);
    for (unsigned int t = 0; t < entry.TileCount && t < unsigned(kTileCount); ++t) {
        const TileResultRecord &tile = entry.Tiles[t];
        QString line = TileName(tile.TileId) + QLatin1Char(',');
        for (int kind : kReportKindOrder) {
            switch (block) {
            case DifferenceBlock::Differences:
                line += QString::number(double(tile.Differences[kind]), 'f', 2);
                break;
            case DifferenceBlock::Tolerances:
                line += QString::number(double(tile.Tolerances[kind]), 'f', 2);
                break;
            case DifferenceBlock::Judgements:
                line += tile.CheckStates[kind] != kChecked ? QStringLiteral("-")
                                                           : JudgementName(tile.Judgements[kind] != 0 ? 1 : 0);
                break;
            }
            line += QLatin1Char(',');
        }
        AppendLine(out, line);
    }
    AppendLine(out, end);
}

} // namespace

int Judge(int kind, float difference, float tolerance)
{
    if (std::isnan(difference) || std::isnan(tolerance))
        return 0;
    if (kind < 3)
        return -tolerance <= difference && difference <= tolerance ? 1 : 0;
    return difference <= tolerance ? 1 : 0;
}

int Evaluate(TileResultRecord results[kTileCount], const StandardValueRecord standards[kTileCount],
             const ToleranceRecord tolerances[kColourDifferenceKindCount])
{
    int overall = 1;
    for (int j = 0; j < kTileCount; ++j) {
        TileResultRecord &tile = results[j];
        const StandardValueRecord &standard = standards[j];
        for (int i = 0; i < 3; ++i) {
            tile.StandardLab[i] = standard.Lab[i];
            tile.Differences[i] = tile.MeasuredLab[i] - standard.Lab[i];
        }
        const float squares = tile.Differences[0] * tile.Differences[0] + tile.Differences[1] * tile.Differences[1] +
                              tile.Differences[2] * tile.Differences[2];
        tile.Differences[3] = float(std::sqrt(double(squares)));
        // A failed call must fail its judgement, not leave whatever the float held.
        float de00 = std::numeric_limits<float>::quiet_NaN();
        if (JIG_CalculateDeltaE2000(&de00, tile.MeasuredLab, tile.StandardLab) != 0)
            de00 = std::numeric_limits<float>::quiet_NaN();
        tile.Differences[4] = de00;
        for (int k = 0; k < kColourDifferenceKindCount; ++k) {
            const float tolerance = tolerances[k].Pairs[j].Tolerance;
            tile.Tolerances[k] = tolerance;
            tile.Judgements[k] = Judge(k, tile.Differences[k], tolerance);
            tile.CheckStates[k] = tolerances[k].Kind;
            if (tile.CheckStates[k] == kChecked && tile.Judgements[k] == 0)
                overall = 0;
        }
        std::copy(standard.Reflectance, standard.Reflectance + kReflectanceCount, tile.StandardReflectance);
    }
    return overall;
}

QByteArray ReportBytes(const DiagnoseHistoryRecord &entry, const UserIlluminantSlots &illuminants)
{
    const QString maker = QStringLiteral("VELMAR OSTRAND, INC.");
    const auto quoted = [](const QString &text) { return QLatin1Char('"') + text + QLatin1Char('"'); };
    QByteArray out;
    out.reserve(24 * 1024);
    AppendLine(&out, QStringLiteral("DATA_IDENTIFIER,ABSOLUTE_VERIFICATION_DATA"));
    AppendLine(&out, QStringLiteral("FORMAT_VERSION,01.00"));
    AppendLine(&out, QStringLiteral("ORIGINATOR,") + quoted(maker));
    AppendLine(&out, QStringLiteral("FILE_DESCRIPTOR,") + quoted(QStringLiteral("Varemo")));
    AppendLine(&out, QStringLiteral("CREATED,") + quoted(MeasureExport::IsoDateWithOffset(entry.DateTime)));
    AppendLine(&out, QStringLiteral("INSTRUMENTATION,") +
                         quoted(maker + QLatin1Char(' ') + InstrumentModelName(entry.ModelIndex)));
    AppendLine(&out, QStringLiteral("SERIAL,") + quoted(entry.SerialNumber));
    AppendLine(&out, QStringLiteral("MEASUREMENT_GEOMETORY,") + quoted(QStringLiteral("45/0")));
    AppendLine(&out,
               QStringLiteral("MEASUREMENT_SOURCE,") + quoted(MeasurementConditionIlluminantName(1, illuminants)));
    AppendLine(&out, QStringLiteral("WEIGHTING_FUNCTION,") +
                         quoted(QStringLiteral("ILLUMINANT,") + IlluminantName(2, 1, illuminants)));
    AppendLine(&out, QStringLiteral("WEIGHTING_FUNCTION,") +
                         quoted(QStringLiteral("OBSERVER,") + ObserverName(0) + QStringLiteral(" degree")));
    AppendLine(&out, QStringLiteral("VERIFICATION_RESULT_ALL_TILE,") + JudgementName(entry.Judgement != 0 ? 1 : 0));
    AppendSpectralBlock(&out, entry, true);
    AppendSpectralBlock(&out, entry, false);
    AppendDifferenceBlock(&out, entry, DifferenceBlock::Differences, QStringLiteral("BEGIN_DIFFERENCE_DATA"),
                          QStringLiteral("END_DIFFERENCE_DATA"));
    AppendDifferenceBlock(&out, entry, DifferenceBlock::Tolerances, QStringLiteral("BEGIN_TOLERANCE_DATA"),
                          QStringLiteral("END_TOLERANCE_DATA"));
    AppendDifferenceBlock(&out, entry, DifferenceBlock::Judgements, QStringLiteral("BEGIN_VERIFICATION_RESULT_TILE"),
                          QStringLiteral("END_VERIFICATION_RESULT_TILE"));
    return out;
}

QString ReportFileName(const DiagnoseHistoryRecord &entry)
{
    return QStringLiteral("%1_Result.csv").arg(entry.SerialNumber);
}

} // namespace DiagnosisResult
