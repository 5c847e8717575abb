#include "files/iodatafile.h"
#include "files/measexport.h"
#include "files/partfile.h"
#include "files/parsehelpers.h"

#include "app/illuminantdata.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

#include <cmath>

namespace {

constexpr int kFormatUid2 = 0;
constexpr int kFormatUid = 1;

const QString kHeader = QStringLiteral("#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA");

QString InstrumentText(int kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("Velmar Ostrand Brisa");
    case 2:
        return QStringLiteral("Velmar Ostrand Calen");
    case 3:
        return QStringLiteral("Velmar Ostrand Lumet");
    default:
        return QStringLiteral("Unknown");
    }
}

int InstrumentKind(const QString &text)
{
    for (int kind = 1; kind <= 3; ++kind) {
        if (text == InstrumentText(kind))
            return kind;
    }
    return 0;
}

// A spectral value as a finite 32-bit float.
bool ParseValue(const QString &text, float *value)
{
    double number = 0.0;
    if (!ParseFiniteNumber(text, &number))
        return false;
    const float narrowed = float(number);
    if (!std::isfinite(narrowed))
        return false;
    *value = narrowed;
    return true;
}

QString ValueLines(const EnvironLightData &light)
{
    QString text;
    for (int i = 0; i < kEnvironLightValueCount; ++i) {
        QString value = QString::number(double(light.Values[i]), 'f', 4);
        // A small negative value rounds to "-0.0000", which would read back as a zero that writes without the sign.
        if (value == QLatin1String("-0.0000"))
            value.remove(0, 1);
        text += value + QLatin1Char('\n');
    }
    return text;
}

bool IsReadableRange(const EnvironLightData &light)
{
    return light.Start == 300 && light.Step == 5 && light.End == 780;
}

// Whether the reader gives this record back from a file of the format: the values are the 97 at 300 to 780 nm,
// each a finite number, and the date stays one field of one line.
bool IsWritable(const EnvironLightData &light, int format)
{
    if (!IsReadableRange(light))
        return false;
    for (const float value : light.Values) {
        if (!std::isfinite(value))
            return false;
    }
    if (format == kFormatUid2) {
        const QString &date = light.Date;
        if (date.contains(QLatin1Char('\n')) || date.contains(QLatin1Char(',')) || date.endsWith(QLatin1Char('\r')))
            return false;
    }
    return true;
}

int ReadUid(EnvironLightData *light, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CIODataFile::FileOpenFailed;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    int count = 0;
    while (count < kEnvironLightValueCount && !stream.atEnd()) {
        float value = 0.0f;
        if (!ParseValue(stream.readLine(), &value))
            return CIODataFile::LightNumberInvalid;
        light->Values[count++] = value;
    }
    light->Start = 300;
    light->Step = 5;
    light->End = 780;
    light->Source = 0;
    if (count != kEnvironLightValueCount)
        return CIODataFile::LightFileInvalid;
    light->Date = QLocale::c().toString(QFileInfo(file).lastModified(), QStringLiteral("yyyyMMddhhmmss"));
    return CIODataFile::Success;
}

int ReadUid2(EnvironLightData *light, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CIODataFile::FileOpenFailed;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    if (stream.atEnd())
        return CIODataFile::LightFileInvalid;

    bool header = false;
    bool version = false;
    bool inSpectrum = false;
    bool spectrumComplete = false;
    int counter = 0;
    auto field = [](const QString &line) { return line.section(QLatin1Char(','), 1, 1); };
    auto readInt = [](const QString &text, int *value) { return ParseDecimalInt(text, value); };

    while (!stream.atEnd()) {
        QString line = stream.readLine();
        // Line ends may have been converted twice ("\r\r\n"); no field keeps a trailing CR.
        while (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!header) {
            header = line == kHeader;
            continue;
        }
        if (line.contains(QLatin1String("#FORMAT_VERSION,"))) {
            const QStringList parts = field(line).split(QLatin1Char('.'));
            if (parts.size() == 2) {
                int major = 0;
                int minor = 0;
                if (!readInt(parts.at(0), &major) || !readInt(parts.at(1), &minor))
                    return CIODataFile::LightNumberInvalid;
                version = true;
            }
            continue;
        }
        if (!version)
            continue;
        if (line.contains(QLatin1String("#CREATE_TIME,"))) {
            light->Date = field(line);
        } else if (line.contains(QLatin1String("#INSTRUMENTATION,"))) {
            light->Source = InstrumentKind(field(line));
        } else if (line.contains(QLatin1String("#BEGIN_WAVELENGTH,"))) {
            if (!readInt(field(line), &light->Start))
                return CIODataFile::LightNumberInvalid;
        } else if (line.contains(QLatin1String("#PITCH_WAVELENGTH,"))) {
            if (!readInt(field(line), &light->Step))
                return CIODataFile::LightNumberInvalid;
        } else if (line.contains(QLatin1String("#END_WAVELENGTH,"))) {
            if (!readInt(field(line), &light->End))
                return CIODataFile::LightNumberInvalid;
        } else if (line.contains(QLatin1String("#BEGIN_SPECTRUM_DATA"))) {
            if (!IsReadableRange(*light))
                return CIODataFile::LightFileInvalid;
            inSpectrum = true;
            spectrumComplete = false;
            counter = 0;
        } else if (inSpectrum) {
            if (line.contains(QLatin1String("#END_SPECTRUM_DATA"))) {
                inSpectrum = false;
                if (counter != kEnvironLightValueCount)
                    return CIODataFile::LightFileInvalid;
                spectrumComplete = true;
                continue;
            }
            float value = 0.0f;
            if (!ParseValue(line, &value))
                return CIODataFile::LightNumberInvalid;
            if (counter < kEnvironLightValueCount)
                light->Values[counter] = value;
            ++counter;
        }
    }
    // Only a whole spectrum may become an illuminant, and only with the range its values are stored at: a
    // wavelength line after the block would describe values the record does not hold.
    return header && version && spectrumComplete && IsReadableRange(*light) ? int(CIODataFile::Success)
                                                                             : int(CIODataFile::LightFileInvalid);
}

} // namespace

int CIODataFile::WriteEnvironmentLightData(const QString &path, int format, const EnvironLightData &light)
{
    if (format != kFormatUid2 && format != kFormatUid)
        return LightFormatUnknown;
    // Never a file the reader would refuse or read differently.
    if (!IsWritable(light, format))
        return LightFileInvalid;
    QString text;
    if (format == kFormatUid2) {
        auto keyword = [&text](const QString &line) { text += line + QStringLiteral("\n\n"); };
        keyword(kHeader);
        keyword(QStringLiteral("#FORMAT_VERSION,") +
                QStringLiteral("%1.%2").arg(1, 2, 10, QLatin1Char('0')).arg(0, 2, 10, QLatin1Char('0')));
        keyword(QStringLiteral("#CREATE_TIME,") + light.Date);
        keyword(QStringLiteral("#INSTRUMENTATION,") + InstrumentText(light.Source));
        keyword(QStringLiteral("#BEGIN_WAVELENGTH,") + QString::number(light.Start));
        keyword(QStringLiteral("#PITCH_WAVELENGTH,") + QString::number(light.Step));
        keyword(QStringLiteral("#END_WAVELENGTH,") + QString::number(light.End));
        text += QStringLiteral("#BEGIN_SPECTRUM_DATA\n") + ValueLines(light) + QStringLiteral("#END_SPECTRUM_DATA\n");
    } else {
        text = ValueLines(light);
    }
    return WriteThroughPartFile(path, MeasureExport::Utf8WithCrLf(text), FileOpenFailed, FileOpenFailed);
}

int CIODataFile::ReadEnvironmentLightData(EnvironLightData *light, const QString &path, int format)
{
    if (!light)
        return LightFileInvalid;
    if (format == kFormatUid2)
        return ReadUid2(light, path);
    if (format == kFormatUid)
        return ReadUid(light, path);
    return LightFileInvalid;
}
