#pragma once
// Number and text-file reading shared by the chart imports. Numbers are always read in the C locale.

#include <QString>
#include <QStringView>

#include <QtGlobal>

// A base-10 int (surrounding blanks allowed).
bool ParseDecimalInt(const QString &text, int *value);
// A decimal number; "nan", "inf" and the like are not numbers.
bool ParseFiniteNumber(const QString &text, double *value);
// The same two for a piece of a larger text; plain numbers skip the QString round trip.
bool ParseDecimalInt(QStringView text, int *value);
bool ParseDecimalInt(QLatin1String text, int *value);
bool ParseFiniteNumber(QStringView text, double *value);
bool ParseFiniteNumber(QLatin1String text, double *value);
// True when value is an int; *result gets it.
bool FitsInt(qint64 value, int *result);
bool FitsInt(double value, int *result);
// The whole file in the system's text codec with every line end (CR LF, CR, LF) turned into LF. False when the
// file cannot be opened.
bool ReadNormalisedText(const QString &path, QString *text);
