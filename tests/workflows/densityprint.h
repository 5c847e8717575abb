#pragma once
// A density chart printed as the printer prints it: the chart's page through the program's own page writer, with
// a QR code that carries the print ID and the printer's address in the text field of its sheet record. No window
// writes density chart pages; the printer's print is what brings the print ID and the upload address.

#include <QByteArray>
#include <QString>

struct ChartDefinitionDataSheets;

// What the printer puts into the QR code beside the chart's own record.
struct DensityPrintCode {
    QByteArray text;                 // "<print ID> <address>", or the print ID alone
    QByteArray deviceCode = "0000"; // "011" and a code character on a print that names its preset chart
};

// Reads the density chart named chartName from the per-user data folder (the user's copy of the preset charts).
// Returns a problem text.
QString ReadDensityChartNamed(const QString &chartName, ChartDefinitionDataSheets *chart);

// Writes the chart's first page with the QR code as a TIFF named after path as the page writer names pages; printed
// gets that file's path. Returns a problem text.
QString PrintDensityChart(const ChartDefinitionDataSheets &chart, const DensityPrintCode &code, const QString &path,
                          QString *printed);
