#include "settings/standardvaluefile.h"

#include "app/constants.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace StandardValueFile {

namespace {

constexpr int kLineCount = 30;
constexpr int kFirstDataLine = 15;
constexpr int kEndLine = kFirstDataLine + kTileCount;
constexpr int kDataFieldCount = 1 + kReflectanceCount + 3;
const QLatin1String kMaker("VELMAR OSTRAND, INC.");
const QLatin1String kEmptyQuoted("\"\"");

QString Quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The keyword that field 0 of a header line must carry; empty for data lines.
QString Keyword(int line)
{
    // "GEOMETORY" is the format's own spelling: files written earlier carry it.
    static const char *const kHeader[kFirstDataLine] = {
        "ORIGINATOR", "FILE_DESCRIPTOR", "CREATED", "INSTRUMENTATION", "SERIAL", "MEASUREMENT_GEOMETORY",
        "MEASUREMENT_SOURCE", "WEIGHTING_FUNCTION", "WEIGHTING_FUNCTION", "NUMBER_OF_FIELDS", "BEGIN_DATA_FORMAT",
        "TILENAME", "END_DATA_FORMAT", "NUMBER_OF_SETS", "BEGIN_DATA"};
    if (line < kFirstDataLine)
        return QLatin1String(kHeader[line]);
    if (line == kEndLine)
        return QStringLiteral("END_DATA");
    return QString();
}

// QString::toFloat takes "nan" and "inf" in the C locale; neither is a value.
bool ToFinite(const QString &text, float *value)
{
    bool ok = false;
    const float v = text.toFloat(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace

QString Compose(const StandardValueRecord (&records)[kTileCount], const TileSetInfo &info, const QDateTime &created)
{
    const UserIlluminantSlots noSlots{};
    const QChar tab(QLatin1Char('\t'));
    QStringList lines;
    lines << QStringLiteral("ORIGINATOR") + tab + Quoted(kMaker);
    lines << QStringLiteral("FILE_DESCRIPTOR") + tab + Quoted(QStringLiteral("Varemo"));
    lines << QStringLiteral("CREATED") + tab + Quoted(created.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
    lines << QStringLiteral("INSTRUMENTATION") + tab +
                 Quoted(kMaker + QLatin1Char(' ') + InstrumentModelName(info.ModelIndex));
    lines << QStringLiteral("SERIAL") + tab + Quoted(info.SerialNumber);
    lines << QStringLiteral("MEASUREMENT_GEOMETORY") + tab + Quoted(QStringLiteral("45/0"));
    lines << QStringLiteral("MEASUREMENT_SOURCE") + tab + Quoted(MeasurementConditionIlluminantName(1, noSlots));
    lines << QStringLiteral("WEIGHTING_FUNCTION") + tab +
                 Quoted(QStringLiteral("ILLUMINANT,") + IlluminantName(2, 1, noSlots));
    lines << QStringLiteral("WEIGHTING_FUNCTION") + tab +
                 Quoted(QStringLiteral("OBSERVER,") + ObserverName(0) + QStringLiteral(" degree"));
    lines << QStringLiteral("NUMBER_OF_FIELDS") + tab + QString::number(kDataFieldCount);
    lines << QStringLiteral("BEGIN_DATA_FORMAT");
    QStringList format{QStringLiteral("TILENAME")};
    for (int k = 0; k < kReflectanceCount; ++k)
        format << QStringLiteral("nm%1").arg(380 + 10 * k);
    format << QStringLiteral("LAB_L") << QStringLiteral("LAB_A") << QStringLiteral("LAB_B");
    lines << format.join(tab);
    lines << QStringLiteral("END_DATA_FORMAT");
    lines << QStringLiteral("NUMBER_OF_SETS") + tab + QString::number(kTileCount);
    lines << QStringLiteral("BEGIN_DATA");
    for (int t = 0; t < kTileCount; ++t) {
        QStringList fields{TileName(t)};
        for (float r : records[t].Reflectance)
            fields << QString::number(double(r), 'f', 7);
        for (float v : records[t].Lab)
            fields << QString::number(double(v), 'f', 2);
        lines << fields.join(tab);
    }
    lines << QStringLiteral("END_DATA");
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

int Parse(const QString &text, StandardValueRecord (&records)[kTileCount], TileSetInfo *info)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (lines.size() < kLineCount)
        return kMalformed;
    // A trailing line end leaves blank lines; anything else after END_DATA is not ours.
    for (int n = kLineCount; n < lines.size(); ++n) {
        if (!lines.at(n).trimmed().isEmpty())
            return kMalformed;
    }

    StandardValueRecord parsed[kTileCount] = {};
    TileSetInfo parsedInfo;
    for (int n = 0; n < kLineCount; ++n) {
        const QStringList fields = lines.at(n).split(QLatin1Char('\t'));
        const QString keyword = Keyword(n);
        if (!keyword.isEmpty()) {
            if (fields.at(0) != keyword)
                return kMalformed;
            if (n == 2) {
                if (fields.size() < 2)
                    return kMalformed;
                parsedInfo.CreateTime = fields.at(1);
            } else if (n == 3) {
                parsedInfo.ModelIndex = 0;
            } else if (n == 4) {
                if (fields.size() < 2 || fields.at(1) == kEmptyQuoted)
                    return kMalformed;
                QString serial = fields.at(1);
                if (serial.startsWith(QLatin1Char('"'))) {
                    serial.chop(1);
                    serial.remove(0, 1);
                }
                parsedInfo.SerialNumber = serial;
            }
            continue;
        }
        if (fields.size() != kDataFieldCount)
            return kMalformed;
        StandardValueRecord &record = parsed[n - kFirstDataLine];
        for (int k = 0; k < kReflectanceCount; ++k) {
            if (!ToFinite(fields.at(1 + k), &record.Reflectance[k]))
                return kMalformed;
        }
        for (int k = 0; k < 3; ++k) {
            if (!ToFinite(fields.at(1 + kReflectanceCount + k), &record.Lab[k]))
                return kMalformed;
        }
    }
    std::copy(std::begin(parsed), std::end(parsed), std::begin(records));
    *info = parsedInfo;
    return 0;
}

} // namespace StandardValueFile
