#include "app/storeconventions.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFileInfo>
#include <QStandardPaths>

namespace Store {

namespace {
constexpr VersionRow kVersionTable[] = {
    {"Setting", 10, 0},     {"Diagnose", 1, 0},     {"Recog", 2, 0},       {"Chart", 5, 0},
    {"Meas", 2, 0},         {"DensityChart", 2, 0}, {"DensityMeas", 3, 0}, {"UserLight", 1, 0},
    {"UserIlluminant", 1, 0},
};
} // namespace

const VersionRow *VersionTable(int *count)
{
    if (count)
        *count = int(sizeof kVersionTable / sizeof kVersionTable[0]);
    return kVersionTable;
}

const VersionRow *FindVersionRow(const QString &recordName)
{
    for (const VersionRow &row : kVersionTable)
        if (recordName == QLatin1String(row.recordName))
            return &row;
    return nullptr;
}

void PrepareStream(QDataStream &stream)
{
    stream.setVersion(QDataStream::Qt_5_2);
    stream.setByteOrder(QDataStream::BigEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

bool WriteVersionBytes(QDataStream &stream, const QString &recordName)
{
    const VersionRow *row = FindVersionRow(recordName);
    if (!row)
        return false;
    stream << row->firstByte << row->secondByte;
    return stream.status() == QDataStream::Ok;
}

void ReadVersionBytes(QDataStream &stream, qint8 &first, qint8 &second)
{
    first = 0;
    second = 0;
    stream >> first >> second;
}

} // namespace Store

QString AppDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DataLocation);
}

QString UserDocumentsDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/') +
           QCoreApplication::organizationName() + QLatin1Char('/') + QCoreApplication::applicationName();
}

QString FileDialogFolder(const QString &lastFolder)
{
    return !lastFolder.isEmpty() && QFileInfo::exists(lastFolder) ? lastFolder : UserDocumentsDataDir();
}

QString InitialDataDir()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const int cut = appDir.lastIndexOf(QLatin1Char('/'), -1, Qt::CaseSensitive);
    return (cut >= 0 ? appDir.left(cut) : appDir) + QStringLiteral("/InitialData");
}

QString BinExtension()
{
    return QStringLiteral("bin");
}

QString WithBinExtension(const QString &recordName)
{
    return recordName + QLatin1Char('.') + BinExtension();
}
