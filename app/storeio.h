#pragma once
// Plumbing every binary store shares: an atomic writer, a count check that runs before anything is allocated,
// and the float-list reader and writer.

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QIODevice;

namespace Store {

// A file open for reading whose size is taken once when it opens: the count checks ask for the bytes left before
// every list, and a plain QFile asks the file system each time.
class ReadOnlyFile : public QFile
{
public:
    explicit ReadOnlyFile(const QString &path) : QFile(path) {}
    bool OpenForReading();
    qint64 size() const override { return m_size >= 0 ? m_size : QFile::size(); }

private:
    qint64 m_size = -1;
};

// A store file opened for reading, with its stream prepared and its two version bytes read.
class FileReader
{
public:
    explicit FileReader(const QString &path);
    FileReader(const FileReader &) = delete;
    FileReader &operator=(const FileReader &) = delete;
    bool Opened() const { return opened; }
    bool Ok() const { return stream.status() == QDataStream::Ok; }

    ReadOnlyFile file;
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

// A float list on the stream: a 32-bit count, then that many doubles, moved as one block.
void WriteFloatList(QDataStream &stream, const float *values, int count);
// Reads a whole float list and copies at most capacity values into values (slots beyond the list stay as they
// were). Returns the list's length, or -1 when the count is damaged (negative or more than the bytes left;
// the stream is then marked corrupt). *longer tells whether values were dropped.
int ReadFloatList(QDataStream &stream, float *values, int capacity, bool *longer = nullptr);

// Reads count records one at a time with readOne(stream, record) -> bool and hands them over as one new[] array
// (null for none). Memory grows with the records actually read, so a damaged count costs no more than the file's
// real content. False, and *records untouched, when a record fails or the stream goes bad.
template <typename T, typename ReadOne>
bool ReadRecords(QDataStream &stream, qint32 count, std::unique_ptr<T[]> *records, ReadOne readOne)
{
    std::vector<T> read;
    for (qint32 i = 0; i < count; ++i) {
        T record{};
        if (!readOne(stream, record) || stream.status() != QDataStream::Ok)
            return false;
        read.push_back(std::move(record));
    }
    std::unique_ptr<T[]> array(read.empty() ? nullptr : new T[read.size()]);
    std::move(read.begin(), read.end(), array.get());
    *records = std::move(array);
    return true;
}

// Moves a store file that failed to load aside as "<path>.damaged-<UTC yyyyMMddThhmmssZ>" ("-1", "-2", ... added
// when that name is taken, so an earlier kept file is never replaced) and names both paths in one line on
// standard error. Returns the new path, or an empty text when the file could not be moved.
QString KeepDamagedFile(const QString &path, const QDateTime &utcNow = QDateTime::currentDateTimeUtc());

// Remembers that a store's file exists but failed to load, so that the first save keeps it aside instead of
// replacing the user's only copy.
class DamagedFileGuard
{
public:
    // After a load: a regular file that did not load whole is marked; a missing or sound file is not.
    void AfterLoad(const QString &path, bool loaded);
    // Before a save: keeps a marked file aside, once. False when it is still in the way (the save must not run).
    bool BeforeSave(const QString &path);
    bool Marked() const { return m_marked; }

private:
    bool m_marked = false;
};

// Removes what interrupted saves left in a data folder and its subfolders: the temporary files of the atomic
// writer, "<store or document file name>.<six letters>". No other name is touched. Returns how many were removed.
int RemoveStaleTemporaries(const QString &folder);

} // namespace Store
