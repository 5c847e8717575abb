#include "app/storeio.h"

#include "app/storeconventions.h"

#include <QDataStream>
#include <QIODevice>
#include <QSaveFile>

namespace Store {

namespace {
constexpr qint64 kDoubleBytes = 8;
}

FileReader::FileReader(const QString &path) : file(path)
{
    opened = file.open(QIODevice::ReadOnly);
    if (!opened)
        return;
    stream.setDevice(&file);
    PrepareStream(stream);
    ReadVersionBytes(stream, version, second);
}

bool WriteStream(QIODevice &device, const QString &recordName, const WriteBody &body)
{
    QDataStream stream(&device);
    PrepareStream(stream);
    if (!WriteVersionBytes(stream, recordName))
        return false;
    if (body)
        body(stream);
    return stream.status() == QDataStream::Ok;
}

bool SaveFile(const QString &path, const QString &recordName, const WriteBody &body)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Qt 5's commit() ignores a failing final flush (a full disk would replace the file with a cut one),
    // so the buffered rest is flushed and checked here.
    if (!WriteStream(file, recordName, body) || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool CountFits(const QDataStream &stream, qint64 count, qint64 leastItemBytes)
{
    if (count < 0 || leastItemBytes < 0)
        return false;
    const QIODevice *device = stream.device();
    if (!device)
        return count == 0;
    qint64 needed = 0;
    if (__builtin_mul_overflow(count, leastItemBytes, &needed))
        return false;
    return needed <= device->bytesAvailable();
}

bool ReadCount(QDataStream &stream, qint32 *count, qint64 leastItemBytes)
{
    qint32 value = 0;
    stream >> value;
    if (stream.status() != QDataStream::Ok || !CountFits(stream, value, leastItemBytes)) {
        *count = 0;
        if (stream.status() == QDataStream::Ok)
            stream.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    *count = value;
    return true;
}

void WriteFloatList(QDataStream &stream, const float *values, int count)
{
    stream << qint32(count);
    for (int i = 0; i < count; ++i)
        stream << double(values[i]);
}

int ReadFloatList(QDataStream &stream, float *values, int capacity, bool *longer)
{
    if (longer)
        *longer = false;
    qint32 count = 0;
    if (!ReadCount(stream, &count, kDoubleBytes))
        return -1;
    const int kept = qMin(count, qMax(capacity, 0));
    for (int i = 0; i < kept; ++i) {
        double value = 0.0;
        stream >> value;
        values[i] = float(value);
    }
    if (count > kept) {
        // Consume the rest so the next field reads from the right place.
        qint64 rest = qint64(count - kept) * kDoubleBytes;
        while (rest > 0 && stream.status() == QDataStream::Ok) {
            const int chunk = int(qMin<qint64>(rest, 1 << 20));
            if (stream.skipRawData(chunk) != chunk)
                stream.setStatus(QDataStream::ReadPastEnd);
            rest -= chunk;
        }
        if (longer)
            *longer = true;
    }
    return stream.status() == QDataStream::Ok ? count : -1;
}

} // namespace Store
