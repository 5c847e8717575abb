#include "files/parsehelpers.h"

#include <QFile>
#include <QTextStream>

#include <climits>
#include <cmath>

bool ParseDecimalInt(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

bool ParseFiniteNumber(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

namespace {

QString Copy(QStringView text)
{
    return text.toString();
}

QString Copy(QLatin1String text)
{
    return QString(text);
}

template <typename View>
bool DecimalIntOf(View text, int *value)
{
    // Up to nine digits with an optional minus cannot overflow; signs, blanks and leading zeros go the long way.
    const int size = int(text.size());
    const bool negative = size > 0 && text.at(0).unicode() == '-';
    const int digits = size - (negative ? 1 : 0);
    if (digits < 1 || digits > 9 || (digits > 1 && text.at(size - digits).unicode() == '0'))
        return ParseDecimalInt(Copy(text), value);
    int v = 0;
    for (int i = size - digits; i < size; ++i) {
        const unsigned digit = unsigned(text.at(i).unicode()) - unsigned('0');
        if (digit > 9)
            return ParseDecimalInt(Copy(text), value);
        v = v * 10 + int(digit);
    }
    *value = negative ? -v : v;
    return true;
}

template <typename View>
bool FiniteNumberOf(View text, double *value)
{
    // "-12.75": up to 15 digits are exact in a double, and so is a power of ten up to 1e15, so the one division
    // rounds exactly as the full conversion does. Exponents, a plus, ".5", "5." and longer numbers go the long
    // way.
    static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const int size = int(text.size());
    const bool negative = size > 0 && text.at(0).unicode() == '-';
    quint64 mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (int i = negative ? 1 : 0; i < size; ++i) {
        const unsigned digit = unsigned(text.at(i).unicode()) - unsigned('0');
        if (digit <= 9) {
            mantissa = mantissa * 10 + digit;
            if (++digits > 15)
                return ParseFiniteNumber(Copy(text), value);
            if (point)
                ++decimals;
        } else if (text.at(i).unicode() == '.' && !point && digits > 0) {
            point = true;
        } else {
            return ParseFiniteNumber(Copy(text), value);
        }
    }
    if (digits == 0 || (point && decimals == 0))
        return ParseFiniteNumber(Copy(text), value);
    const double v = double(mantissa) / kTens[decimals];
    *value = negative ? -v : v;
    return true;
}

} // namespace

bool ParseDecimalInt(QStringView text, int *value)
{
    return DecimalIntOf(text, value);
}

bool ParseDecimalInt(QLatin1String text, int *value)
{
    return DecimalIntOf(text, value);
}

bool ParseFiniteNumber(QStringView text, double *value)
{
    return FiniteNumberOf(text, value);
}

bool ParseFiniteNumber(QLatin1String text, double *value)
{
    return FiniteNumberOf(text, value);
}

bool FitsInt(qint64 value, int *result)
{
    if (value < INT_MIN || value > INT_MAX)
        return false;
    *result = int(value);
    return true;
}

bool FitsInt(double value, int *result)
{
    if (!std::isfinite(value) || value < double(INT_MIN) || value > double(INT_MAX))
        return false;
    *result = int(value);
    return true;
}

bool ReadNormalisedText(const QString &path, QString *text)
{
    QFile file(path);
    // Not in text mode: that would drop lone CRs, which end lines here.
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QTextStream stream(&file);
    QString all = stream.readAll();
    all.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    *text = all;
    return true;
}
