#pragma once
// Text filters for names taken from foreign files, small formatting helpers and id counters.

#include <QByteArray>
#include <QString>

// Every character in 0x20-0x7E; an empty text counts as printable.
bool IsPrintableAscii(const QString &text);
// The longest prefix made only of characters 0x20-0x7E.
QString LeadingPrintableAscii(const QString &text);
// The characters of text that each, alone, contain a match of pattern; *dropped tells whether any was left out.
QString KeepMatchingChars(bool *dropped, const QString &text, const QString &pattern);
// The whole first match of pattern in text (case-sensitive), empty when none.
QString RegExpMatch(const QString &text, const QString &pattern);
// "192.168.0.10" -> four bytes 192, 168, 0, 10; false at the first part that is not a decimal number 0-255.
bool ParseDottedAddress(const QString &text, QByteArray *bytes);
// Name of an imported chart: the printable start of the given name, else of the file's base name.
QString DefaultChartName(const QString &name, const QString &filePath);
QString ZeroPaddedNumber(int value, int width);

QString ConnectingOrloText();
QString PrescanningText();

// Returns the counter's value and advances it, wrapping to 1 past maximum (-1 = none) or past INT_MAX.
int NextId(int *counter, int maximum);
// Moves the counter past an id in use when it is not already above it, wrapping the same way.
void BumpIdCounter(int *counter, int idInUse, int maximum);
