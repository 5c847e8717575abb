// Writes an RGB, a CMYK and a six-ink page with a QR code, at 8 and 16 bits, into the folder given, each with a
// text file of the QR text it must decode to; check_pages.sh then hands them to independent readers.

#include "pagefixtures.h"

#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "files/outputimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        QTextStream(stderr) << "usage: " << argv[0] << " <folder>\n";
        return 2;
    }
    const QString folder = QFile::decodeName(argv[1]);
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder + QStringLiteral("/data")));
    COutputImage::InitializeImageLibrary(argv[0]);
    QCoreApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("VaremoTest"));
    app.setApplicationName(QStringLiteral("pagewriter"));
    if (!QDir().mkpath(AppDataDir()))
        return 1;

    struct Kind {
        const char *name;
        int format;
        QVector<QVector<float>> values;
    };
    const Kind kinds[] = {
        {"rgb", ChartDefinitionData::FormatRGB, {{255, 0, 0}, {0, 128, 255}, {20, 20, 20}, {200, 200, 0}}},
        {"cmyk", ChartDefinitionData::FormatCMYK, {{100, 0, 0, 0}, {0, 100, 0, 0}, {0, 0, 100, 0}, {0, 0, 0, 100}}},
        {"spot6", ChartDefinitionData::Format6Color,
         {{100, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 100, 0}, {0, 0, 0, 0, 0, 100}, {30, 30, 30, 30, 30, 30}}},
    };
    PageHost host;
    for (const Kind &kind : kinds) {
        for (int choice : {0, 1}) {
            ChartGuard guard;
            PageLayout layout;
            layout.width = layout.height = 8000;
            layout.format = kind.format;
            layout.values = kind.values;
            layout.barcodeX = layout.barcodeY = 2000;
            MakeChart(&guard.chart, {layout}, 1);
            const QString base = QStringLiteral("%1/%2_%3").arg(folder, QLatin1String(kind.name)).arg(choice ? 16 : 8);
            const int result = COutputImage(&host).Output(base + QStringLiteral(".tif"), &guard.chart, choice);
            if (result != 0) {
                QTextStream(stderr) << base << ": " << result << "\n";
                return 1;
            }
            SheetInfoRecord record;
            FillSheetInfoRecord(&record, guard.chart, 0);
            QFile text(base + QStringLiteral("_001.qr"));
            if (!text.open(QIODevice::WriteOnly))
                return 1;
            text.write(host.BarcodeText(record).toUtf8());
        }
    }
    return 0;
}
