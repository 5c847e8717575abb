// Writes every icon, the tile strip pictures, the splash picture, the application icon, the QR picture and the
// resource list into one folder.
//
// varemo_icons <output folder>     (the committed files: varemo_icons Resource, from the source root)

#include "icondrawing.h"

#include <QDir>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Pictures are drawn into images only: no display, no platform plugin.
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: varemo_icons <output folder>\n";
        return 2;
    }
    const QString folder = args.at(1);
    if (!QDir().mkpath(folder)) {
        err << "cannot create " << folder << "\n";
        return 1;
    }
    QString error;
    const QStringList written = IconDrawing::WriteAll(folder, &error);
    if (written.isEmpty()) {
        err << error << "\n";
        return 1;
    }
    QTextStream(stdout) << "wrote " << written.size() << " files into " << folder << "\n";
    return 0;
}
