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
