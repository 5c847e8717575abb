#include "files/iodatafile.h"
#include "files/measexport.h"
#include "files/partfile.h"

#include "app/constants.h"

#include <QCoreApplication>
#include <QHash>
#include <QIODevice>
#include <QLocale>

#include <algorithm>

namespace {

constexpr int kDensityConditionId = 1;
constexpr int kSpectralCount = 36;
constexpr int kXyz = 10;
constexpr int kLab = 4;
constexpr int kSpectrum = 13;

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A patch position within a page.
struct Place {
    int area;
    int row;
    int column;
    bool operator==(const Place &other) const
    {
        return area == other.area && row == other.row && column == other.column;
    }
};

uint qHash(const Place &place, uint seed)
{
    return ::qHash(qMakePair(qMakePair(place.area, place.row), place.column), seed);
}

// Column letters of one page: the n-th column met over its areas gets the character 65 + n.
QHash<QString, QString> ColumnLetterMap(const ChartDefinitionData::Sheet &sheet)
{
    QHash<QString, QString> letters;
    int n = 0;
    const int areaCount = qBound(0, sheet.AreaCount, kMaxAreaCount);
    for (int a = 0; a < areaCount; ++a) {
        for (int c = 0; c < sheet.Areas[a].ColumnCount; ++c, ++n)
            letters.insert(QStringLiteral("%1-%2").arg(a).arg(c), QString(QChar(ushort(65 + n))));
    }
    return letters;
}

// Writes everything to a device, or answers 70002.
int WriteAll(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size() ? int(CIODataFile::Success) : int(CIODataFile::MeasureFileWriteFailed);
}

int SaveThroughDevice(const QString &path, const QByteArray &bytes)
{
    return WriteThroughPartFile(path, bytes, CIODataFile::FileOpenFailed, CIODataFile::MeasureFileWriteFailed);
}

} // namespace

bool CIODataFile::IsRotatedMeasureDataForm(int contentFlag, int instrumentKind)
{
    return contentFlag == 0 && (instrumentKind == 2 || instrumentKind == 3);
}

int CIODataFile::SaveMeasureDataFile(const QString &path, const QString &createTime, int contentFlag,
                                     const Setting::MeasureConditionSetting &setting,
                                     const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart)
{
    QString text;
    // Printers have always received CR LF, in both forms.
    const int built = BuildMeasureDataText(&text, QStringLiteral("\t"), QStringLiteral("\r\n"), createTime,
                                           contentFlag, setting, measurement, chart);
    if (built != Success)
        return built;
    return IsRotatedMeasureDataForm(contentFlag, measurement.Mode) ? WriteRotatedTextFile(path, text)
                                                                    : WriteUtf8TextFile(path, text);
}

int CIODataFile::BuildMeasureDataText(QString *text, const QString &separator, const QString &lineEnd,
                                      const QString &createTime, int contentFlag,
                                      const Setting::MeasureConditionSetting &setting,
                                      const MeasurementDataSheets &measurement,
                                      const ChartDefinitionDataSheets &chart)
{
    const bool spectral = contentFlag == 0;
    const QString &T = separator;

    // Rows first: the header states how many follow.
    QStringList rows;
    if (measurement.Sheets && chart.Sheets) {
        const int pageCount = qMin(measurement.SheetCount, chart.SheetCount);
        for (int p = 0; p < pageCount; ++p) {
            const ChartDefinitionData::Sheet &sheet = chart.Sheets[p];
            const MeasurementData &page = measurement.Sheets[p];
            if (!sheet.Patches || !page.Records)
                continue;
            const QHash<QString, QString> letters = spectral ? QHash<QString, QString>() : ColumnLetterMap(sheet);

            QVector<const ChartDefinitionData::PatchColor *> patches;
            patches.reserve(sheet.PatchCount);
            for (int i = 0; i < sheet.PatchCount; ++i)
                patches.append(&sheet.Patches[i]);
            std::stable_sort(patches.begin(), patches.end(),
                             [](const ChartDefinitionData::PatchColor *a, const ChartDefinitionData::PatchColor *b) {
                                 return a->ID < b->ID;
                             });

            // The first measured record of each position among the page's measured ones.
            QHash<Place, int> firstRecord;
            const int searched = qBound(0, page.MeasuredCount, page.RecordCount);
            for (int r = 0; r < searched; ++r) {
                const MeasurementData::PatchData &record = page.Records[r];
                if (record.ColorFormat == 0)
                    continue;
                const Place place{record.Area, record.Row, record.Column};
                if (!firstRecord.contains(place))
                    firstRecord.insert(place, r);
            }

            for (const ChartDefinitionData::PatchColor *patch : patches) {
                const int r = firstRecord.value(Place{patch->Area, patch->Row, patch->Column}, -1);
                if (r < 0)
                    continue;
                float values[49] = {};
                const int code = m_host ? m_host->CalculatePatchValues(values, page.Records[r].Values, setting,
                                                                       kDensityConditionId)
                                        : CIODataFileHost::kNoPatchCalculation;
                if (code != Success)
                    return code;
                QString row = QString::number(patch->ID);
                auto addValue = [&row, &T](float value, int decimals) {
                    char text[MeasureExport::kMaxFixedText];
                    row += T;
                    row += QLatin1String(text, MeasureExport::FormatFixed(text, value, decimals));
                };
                if (spectral) {
                    for (int i = 0; i < kSpectralCount; ++i)
                        addValue(values[kSpectrum + i], 4);
                } else {
                    row += T + letters.value(QStringLiteral("%1-%2").arg(patch->Area).arg(patch->Column)) +
                           QString::number(patch->Row + 1);
                    for (int i = 0; i < 3; ++i)
                        addValue(values[kXyz + i], 7);
                    for (int i = 0; i < 3; ++i)
                        addValue(values[kLab + i], 7);
                }
                rows.append(row);
            }
        }
    }

    const QDateTime created = MeasureExport::ParseCreateTime(createTime);
    QString out;
    auto line = [&out, &lineEnd](const QString &content) { out += content + lineEnd; };
    line(QStringLiteral("ORIGINATOR") + T + Quoted(QStringLiteral("VELMAR OSTRAND, INC.")));
    line(QStringLiteral("FILE_DESCRIPTOR") + T + Quoted(QCoreApplication::applicationName()));
    line(QStringLiteral("CREATED") + T +
         Quoted(created.isValid() ? QLocale::c().toString(created, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))
                                  : QString()));
    line(QStringLiteral("INSTRUMENTATION") + T +
         Quoted(QStringLiteral("VELMAR OSTRAND, INC. ") + InstrumentModelName(measurement.Mode)));
    line(QStringLiteral("SERIAL") + T + Quoted(measurement.SerialNumber));
    line(QStringLiteral("MEASUREMENT_GEOMETRY") + T + Quoted(QStringLiteral("45/0")));
    line(QStringLiteral("MEASUREMENT_SOURCE") + T + Quoted(QStringLiteral("ILLUMINANT, D50")));
    line(QStringLiteral("WEIGHTING_FUNCTION") + T + Quoted(QStringLiteral("ILLUMINANT, D50")));
    line(QStringLiteral("WEIGHTING_FUNCTION") + T + Quoted(QStringLiteral("Observer, 2 degree")));
    line(QStringLiteral("NUMBER_OF_FIELDS") + T + (spectral ? QStringLiteral("37") : QStringLiteral("8")));
    line(QStringLiteral("BEGIN_DATA_FORMAT"));
    if (spectral) {
        QString format = QStringLiteral("SAMPLE_ID");
        for (int i = 0; i < kSpectralCount; ++i)
            format += T + QStringLiteral("nm") + QString::number(380 + 10 * i);
        line(format);
    } else {
        line(QStringList{QStringLiteral("SAMPLE_ID"), QStringLiteral("SAMPLE_NAME"), QStringLiteral("XYZ_X"),
                         QStringLiteral("XYZ_Y"), QStringLiteral("XYZ_Z"), QStringLiteral("LAB_L"),
                         QStringLiteral("LAB_A"), QStringLiteral("LAB_B")}
                 .join(T));
    }
    line(QStringLiteral("END_DATA_FORMAT"));
    line(QStringLiteral("NUMBER_OF_SETS") + T + QString::number(rows.size()));
    line(QStringLiteral("BEGIN_DATA"));
    for (const QString &row : rows)
        line(row);
    line(QStringLiteral("END_DATA"));
    *text += out;
    return Success;
}

int CIODataFile::WriteUtf8Text(QIODevice &device, const QString &text)
{
    return WriteAll(device, text.toUtf8());
}

QByteArray CIODataFile::RotateTextBytes(const QString &text)
{
    QByteArray bytes = text.toLocal8Bit();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    for (char &c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        c = static_cast<char>(static_cast<unsigned char>((b >> 1) | ((b & 1u) << 7)));
    }
    return bytes;
}

int CIODataFile::WriteRotatedText(QIODevice &device, const QString &text)
{
    return WriteAll(device, RotateTextBytes(text));
}

int CIODataFile::WriteUtf8TextFile(const QString &path, const QString &text)
{
    return SaveThroughDevice(path, text.toUtf8());
}

int CIODataFile::WriteRotatedTextFile(const QString &path, const QString &text)
{
    return SaveThroughDevice(path, RotateTextBytes(text));
}
