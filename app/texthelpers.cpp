#include "app/texthelpers.h"

#include <QObject>
#include <QRegExp>
#include <QStringList>

#include <climits>

namespace {
bool IsPrintable(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() <= 0x7E;
}

// Past INT_MAX or past the maximum the counter starts again at 1.
int Following(int value, int maximum)
{
    if (value == INT_MAX)
        return 1;
    const int next = value + 1;
    return (maximum != -1 && next > maximum) ? 1 : next;
}
} // namespace

bool IsPrintableAscii(const QString &text)
{
    for (QChar c : text)
        if (!IsPrintable(c))
            return false;
    return true;
}

QString LeadingPrintableAscii(const QString &text)
{
    int n = 0;
    while (n < text.size() && IsPrintable(text.at(n)))
        ++n;
    return text.left(n);
}

QString KeepMatchingChars(bool *dropped, const QString &text, const QString &pattern)
{
    if (dropped)
        *dropped = false;
    const QRegExp rx(pattern);
    QString kept;
    for (QChar c : text) {
        if (QString(c).indexOf(rx) >= 0)
            kept.append(c);
        else if (dropped)
            *dropped = true;
    }
    return kept;
}

QString RegExpMatch(const QString &text, const QString &pattern)
{
    QRegExp rx(pattern, Qt::CaseSensitive, QRegExp::RegExp);
    if (rx.indexIn(text, 0) < 0)
        return QString();
    return rx.cap(0);
}

bool ParseDottedAddress(const QString &text, QByteArray *bytes)
{
    bytes->clear();
    const QStringList parts = text.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        // A part outside one byte would silently become another address.
        if (!ok || value < 0 || value > 255)
            return false;
        bytes->append(char(value));
    }
    return true;
}

QString DefaultChartName(const QString &name, const QString &filePath)
{
    const QString fromName = LeadingPrintableAscii(name);
    if (!fromName.isEmpty())
        return fromName;
    QString base = filePath.split(QRegExp(QStringLiteral("[/\\\\]"))).last();
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        base.truncate(dot);
    return LeadingPrintableAscii(base);
}

QString ZeroPaddedNumber(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

QString ConnectingOrloText()
{
    return QObject::tr("Connecting to Orlo...");
}

QString PrescanningText()
{
    return QObject::tr("Pre-scanning\n   Detecting coordinate of patches...");
}

int NextId(int *counter, int maximum)
{
    const int value = *counter;
    *counter = Following(value, maximum);
    return value;
}

void BumpIdCounter(int *counter, int idInUse, int maximum)
{
    if (*counter <= idInUse)
        *counter = Following(idInUse, maximum);
}
