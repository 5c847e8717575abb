#pragma once
// The source table of the installation data (presets.json): the density templates and the preset density
// charts. The installation-file generator and the preset chart generator both read it through here.

#include <QList>
#include <QString>

namespace InstallData {

struct TemplateRow {
    int row = 0;
    QString name;
    int firstNumber = 0;  // 0: encoded measurement file, otherwise the text file
    int secondNumber = 0; // 0 or 1
    QList<int> instruments; // indexes into Instrument.lst
};

// One patch area; lengths in hundredths of a millimetre, patches numbered row by row from the top left.
struct PresetArea {
    int rows = 0;
    int columns = 0;
    int patches = 0; // used, at most rows x columns
    int left = 0;
    int top = 0;
    int patchWidth = 0;
    int patchHeight = 0;
    int pitchX = 0; // origin to origin
    int pitchY = 0;
};

// A preset density chart of one page.
struct PresetChart {
    int fileNumber = 0; // its file NNNNN.vrchart
    QString chartName;
    QString createTime;
    QString uuid;
    int templateRow = 0;
    int instrument = 0; // the chart's instrument number (0 = chart scanner), not the template's second number
    int width = 0;
    int height = 0;
    QList<PresetArea> areas;
    int colorFormat = 0;
    // Patch i (0-based over all areas in order) takes colorCycle[i % size].
    QList<QList<double>> colorCycle;
    QString barcodeKey;  // empty: no QR code names it
    QString addFileName; // empty: none
    int PatchCount() const;
};

struct PresetTable {
    QList<TemplateRow> templates; // in row order, rows 0, 1, 2, ...
    QList<PresetChart> presets;   // in file order
};

// False with a message naming the first problem when the file cannot be read or a field is missing or mistyped.
bool ReadPresetTable(const QString &path, PresetTable *table, QString *error);

} // namespace InstallData
