#pragma once
// Names the main window's file actions propose, and the files they check before writing over them. The names
// come from the model, which writes the files, so the question asked is about exactly those files.

#include <QString>

class CModel;

// The first of the pageCount page files a TIFF save to path writes that exists already; empty when none does.
QString FirstExistingChartImagePage(const QString &path, int pageCount);

// The proposed measurement export file, with the extension of filter filterIndex: a recognition measurement is
// named by its id in five digits; a chart's measurement still carrying its default name ("Meas" and five digits)
// by its chart's name, "_" and those digits; any other measurement by its own name.
QString DefaultExportFileName(bool recognition, int fileId, const QString &name, const QString &chartName,
                              int filterIndex);

// The first existing file, in condition order, of those an export to path writes one per enabled condition of
// condition block 0; empty when none exists.
QString FirstExistingMeasurementFile(const CModel &model, const QString &path);
