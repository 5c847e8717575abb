// Writes the generated installation files from the preset table:
//   varemo_installdata <presets.json> <output folder>
// Run it after editing presets.json and commit the files it writes into install/.

#include "installfiles.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: varemo_installdata <presets.json> <output folder>\n";
        return 2;
    }
    InstallData::PresetTable table;
    QString error;
    if (!InstallData::ReadPresetTable(args.at(1), &table, &error) ||
        !InstallData::WriteInstallFiles(table, args.at(2), &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}
