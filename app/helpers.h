#pragma once
// Paths of single files, the installation's tolerance defaults and the application font.

#include "app/records.h"

#include <QFont>
#include <QString>

QString BarcodeImageFileName();
// The captured barcode picture in the per-user data folder.
QString BarcodeImagePath();

// Fills the five default tolerance rows from "toleranceDefaultSetting.txt" in folder (default: the program's
// folder). Ids are always set; tolerances only from the file's first five data lines, a missing or non-numeric
// field giving 0. Without a readable, non-empty file the tolerances stay untouched.
void ReadToleranceDefaultSetting(ToleranceRecord records[kDefaultToleranceRowCount],
                                 const QString &folder = QString());

QFont DefaultUiFont();
