#include "app/helpers.h"

#include "app/storeconventions.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

QString BarcodeImageFileName()
{
    return QStringLiteral("barcode_image.tiff");
}

QString BarcodeImagePath()
{
    return AppDataDir() + QLatin1Char('/') + BarcodeImageFileName();
}

void ReadToleranceDefaultSetting(ToleranceRecord records[kDefaultToleranceRowCount], const QString &folder)
{
    for (int r = 0; r < kDefaultToleranceRowCount; ++r) {
        records[r].Kind = 2;
        records[r].RowIndex = r;
        records[r].PairCount = kTolerancePairCount;
        for (int t = 0; t < kTolerancePairCount; ++t)
            records[r].Pairs[t].TileId = t;
    }

    const QString dir = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    QFile file(dir + QStringLiteral("/toleranceDefaultSetting.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || file.size() == 0)
        return;
    QTextStream in(&file);
    in.readLine(); // header
    for (int r = 0; r < kDefaultToleranceRowCount && !in.atEnd(); ++r) {
        const QStringList fields = in.readLine().split(QLatin1Char('\t'));
        for (int t = 0; t < kTolerancePairCount; ++t) {
            bool ok = false;
            const float value = t + 1 < fields.size() ? fields.at(t + 1).toFloat(&ok) : 0.0f;
            records[r].Pairs[t].Tolerance = ok ? value : 0.0f;
        }
    }
}

QFont DefaultUiFont()
{
    QFont font(QStringLiteral("Meiryo UI"), 9);
    font.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
    return font;
}
