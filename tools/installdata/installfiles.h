#pragma once
// The installation files generated from the preset table. Plain ASCII, LF line ends, no trailing blank line.

#include "presettable.h"

#include <QByteArray>
#include <QMap>
#include <QString>

namespace InstallData {

// File name -> content: Barcode.lst, Template.lst, AddFileName.lst and 12642-2_default.csv.
QMap<QString, QByteArray> GenerateInstallFiles(const PresetTable &table);

// The two ISO 12642-2 default layouts of 49 x 33 positions: layout 1 numbers down the columns, layout 2 is a
// fixed permutation of the same grid.
QByteArray Iso12642DefaultCsv();

// Writes the generated files into folder; false with a message when one cannot be written.
bool WriteInstallFiles(const PresetTable &table, const QString &folder, QString *error);

} // namespace InstallData
