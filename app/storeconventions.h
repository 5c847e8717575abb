#pragma once
// Conventions shared by every binary store: record names with their format versions, the stream format and
// the folders the stores live in.

#include <QString>

class QDataStream;

namespace Store {

struct VersionRow {
    const char *recordName;
    qint8 firstByte;
    qint8 secondByte;
};

// The record names and their current format versions; "UserLight" is both the documents row and the file of the
// user-illuminant store, which writes one file, UserLight.bin.
const VersionRow *VersionTable(int *count);
// The row of a record name, or nullptr.
const VersionRow *FindVersionRow(const QString &recordName);

// Stream settings of every store file: Qt 5.2 format, big-endian, doubles for every floating-point value.
void PrepareStream(QDataStream &stream);
// Writes the two version bytes of a record as two signed bytes; false when the name is not in the table.
bool WriteVersionBytes(QDataStream &stream, const QString &recordName);
// Reads the two version bytes; the stream status tells whether they were there.
void ReadVersionBytes(QDataStream &stream, qint8 &first, qint8 &second);

} // namespace Store

QString AppDataDir();
QString UserDocumentsDataDir();
// Where a file dialog starts: the last folder while it still exists, else the user's documents data folder.
QString FileDialogFolder(const QString &lastFolder);
QString InitialDataDir();
QString BinExtension();
QString WithBinExtension(const QString &recordName);
