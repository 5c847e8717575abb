#pragma once
// The reference tile standard-value file: a tab-separated CGATS-style text of 30 lines that carries the 14 tiles'
// reflectances and L*a*b* with the instrument they came from. Text in and out; the dialog does the file I/O.

#include "app/diagnosedata.h"

#include <QDateTime>
#include <QString>

namespace StandardValueFile {

constexpr int kMalformed = 5001; // the file cannot be read or written, or is not a standard-value file

// The whole file, every line ended with "\r\n"; created is the export time written into CREATED.
QString Compose(const StandardValueRecord (&records)[kTileCount], const TileSetInfo &info, const QDateTime &created);

// Reads a whole file's text (LF or CR LF lines). Writes records and info only when the text is well formed and
// returns 0; otherwise returns kMalformed and leaves both untouched.
int Parse(const QString &text, StandardValueRecord (&records)[kTileCount], TileSetInfo *info);

} // namespace StandardValueFile
