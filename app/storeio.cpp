#include "app/storeio.h"

#include "app/storeconventions.h"

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace Store {

namespace {
constexpr qint64 kDoubleBytes = 8;
// Float lists move through a stack block of this many values.
constexpr int kBlockValues = 256;
} // namespace

bool ReadOnlyFile::OpenForReading()
{
    if (!open(QIODevice::ReadOnly))
        return false;
    m_size = QFile::size();
    return true;
}

FileReader::FileReader(const QString &path) : file(path)
{
    opened = file.OpenForReading();
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
    const bool big = stream.byteOrder() == QDataStream::BigEndian;
    char block[kBlockValues * kDoubleBytes];
    for (int done = 0; done < count && stream.status() == QDataStream::Ok;) {
        const int n = std::min(count - done, kBlockValues);
        for (int i = 0; i < n; ++i) {
            const double value = values[done + i];
            quint64 bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            if (big)
                qToBigEndian(bits, block + i * kDoubleBytes);
            else
                qToLittleEndian(bits, block + i * kDoubleBytes);
        }
        stream.writeRawData(block, int(n * kDoubleBytes));
        done += n;
    }
}

namespace {

// Reads count doubles as floats in blocks; false (stream marked) when the bytes are not all there.
bool ReadFloats(QDataStream &stream, float *values, int count)
{
    const bool big = stream.byteOrder() == QDataStream::BigEndian;
    char block[kBlockValues * kDoubleBytes];
    for (int done = 0; done < count;) {
        const int n = std::min(count - done, kBlockValues);
        const int bytes = int(n * kDoubleBytes);
        if (stream.readRawData(block, bytes) != bytes) {
            stream.setStatus(QDataStream::ReadPastEnd);
            return false;
        }
        for (int i = 0; i < n; ++i) {
            const quint64 bits = big ? qFromBigEndian<quint64>(block + i * kDoubleBytes)
                                     : qFromLittleEndian<quint64>(block + i * kDoubleBytes);
            double value = 0.0;
            std::memcpy(&value, &bits, sizeof value);
            values[done + i] = float(value);
        }
        done += n;
    }
    return true;
}

} // namespace

int ReadFloatList(QDataStream &stream, float *values, int capacity, bool *longer)
{
    if (longer)
        *longer = false;
    qint32 count = 0;
    if (!ReadCount(stream, &count, kDoubleBytes))
        return -1;
    const int kept = qMin(count, qMax(capacity, 0));
    if (!ReadFloats(stream, values, kept))
        return -1;
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

QString KeepDamagedFile(const QString &path, const QDateTime &utcNow)
{
    const QString base =
        path + QStringLiteral(".damaged-") + utcNow.toUTC().toString(QStringLiteral("yyyyMMdd'T'hhmmss'Z'"));
    for (int k = 0; k < 1000; ++k) {
        const QString kept = k == 0 ? base : base + QLatin1Char('-') + QString::number(k);
        const QFileInfo taken(kept);
        if (taken.exists() || taken.isSymLink())
            continue;
        // QFile::rename never replaces an existing file.
        if (!QFile::rename(path, kept))
            return QString();
        qWarning("%s could not be read; it is kept as %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                 qUtf8Printable(QDir::toNativeSeparators(kept)));
        return kept;
    }
    return QString();
}

void DamagedFileGuard::AfterLoad(const QString &path, bool loaded)
{
    m_marked = !loaded && QFileInfo(path).isFile();
}

bool DamagedFileGuard::BeforeSave(const QString &path)
{
    if (!m_marked)
        return true;
    const QFileInfo file(path);
    if ((file.exists() || file.isSymLink()) && KeepDamagedFile(path).isEmpty())
        return false;
    m_marked = false;
    return true;
}

int RemoveStaleTemporaries(const QString &folder)
{
    // QSaveFile names its temporary file after the target plus six random letters; store files end in "bin",
    // document files in "vrchart" and "vrmeas".
    static const QRegularExpression temporary(QStringLiteral("^.+\\.(bin|vrchart|vrmeas)\\.[A-Za-z]{6}$"));
    int removed = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (temporary.match(it.fileName()).hasMatch() && QFile::remove(path))
            ++removed;
    }
    return removed;
}

} // namespace Store
