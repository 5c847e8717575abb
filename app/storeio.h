#pragma once
// Plumbing every binary store shares: an atomic writer, a count check that runs before anything is allocated,
// and the float-list reader and writer.

#include <QDataStream>
#include <QFile>
#include <QString>

#include <functional>

class QIODevice;

namespace Store {

// A store file opened for reading, with its stream prepared and its two version bytes read.
class FileReader
{
public:
    explicit FileReader(const QString &path);
    FileReader(const FileReader &) = delete;
    FileReader &operator=(const FileReader &) = delete;
    bool Opened() const { return opened; }
    bool Ok() const { return stream.status() == QDataStream::Ok; }

    QFile file;
    QDataStream stream;
    qint8 version = 0; // the first version byte
    qint8 second = 0;
    bool opened = false;
};

using WriteBody = std::function<void(QDataStream &stream)>;

// Writes the record's version bytes and then the body through a prepared stream on an open device.
// False when the record name is unknown or any write failed.
bool WriteStream(QIODevice &device, const QString &recordName, const WriteBody &body);

// Saves a store file: a temporary file beside the target, renamed over it only when every write succeeded.
// On any failure the old file stays as it was.
bool SaveFile(const QString &path, const QString &recordName, const WriteBody &body);

// True when count items of at least leastItemBytes each can still be in the stream; false for a negative
// count. Call before allocating for a count read from a file.
bool CountFits(const QDataStream &stream, qint64 count, qint64 leastItemBytes);
// Reads a 32-bit count and checks it as above; on refusal *count is 0 and the stream is marked corrupt.
bool ReadCount(QDataStream &stream, qint32 *count, qint64 leastItemBytes);

// A float list on the stream: a 32-bit count, then that many doubles.
void WriteFloatList(QDataStream &stream, const float *values, int count);
// Reads a whole float list and copies at most capacity values into values (slots beyond the list stay as they
// were). Returns the list's length, or -1 when the count is damaged (negative or more than the bytes left;
// the stream is then marked corrupt). *longer tells whether values were dropped.
int ReadFloatList(QDataStream &stream, float *values, int capacity, bool *longer = nullptr);

} // namespace Store
