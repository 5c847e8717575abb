#include "files/partfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cstdio>
#include <unistd.h>

namespace {

QString TempName(const QString &targetName, quint32 random)
{
    return QStringLiteral(".%1.%2.part").arg(targetName).arg(random, 8, 16, QLatin1Char('0'));
}

} // namespace

PartFile::PartFile(const QString &target) : m_target(target) {}

PartFile::~PartFile()
{
    if (!m_temp.isEmpty() && !m_committed)
        QFile::remove(m_temp);
}

bool PartFile::Reserve()
{
    RemoveStalePartFiles(m_target);
    const QFileInfo info(m_target);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name = info.dir().filePath(TempName(info.fileName(), QRandomGenerator::global()->generate()));
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_temp = name;
            return true;
        }
        if (!QFile::exists(name)) // the folder is missing or not writable
            return false;
    }
    return false;
}

QByteArray PartFile::TempPath() const
{
    return QFile::encodeName(m_temp);
}

bool PartFile::Commit()
{
    if (m_temp.isEmpty() || std::rename(TempPath().constData(), QFile::encodeName(m_target).constData()) != 0)
        return false;
    m_committed = true;
    return true;
}

int RemoveStalePartFiles(const QString &target)
{
    const QFileInfo info(target);
    const QRegularExpression stale(QLatin1String("^\\.") + QRegularExpression::escape(info.fileName()) +
                                   QLatin1String("\\.[0-9a-f]{8}\\.part$"));
    int removed = 0;
    const QDir dir = info.dir();
    // No name filter: a target name may hold wildcard characters.
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &entry : entries)
        if (stale.match(entry).hasMatch() && QFile::remove(dir.filePath(entry)))
            ++removed;
    return removed;
}

int WriteThroughPartFile(const QString &path, const QByteArray &bytes, int openFailure, int writeFailure)
{
    // As before with QSaveFile: a folder or a read-only file at the path is not replaced.
    const QFileInfo existing(path);
    if (existing.isDir() || (existing.exists() && !existing.isWritable()))
        return openFailure;
    PartFile part(path);
    if (!part.Reserve())
        return openFailure;
    QFile file(part.TempFileName());
    if (!file.open(QIODevice::WriteOnly))
        return openFailure;
    if (existing.exists())
        file.setPermissions(existing.permissions());
    if (file.write(bytes) != bytes.size() || !file.flush())
        return writeFailure;
    ::fsync(file.handle()); // best effort, as a file system may not support it
    file.close();
    if (file.error() != QFileDevice::NoError)
        return writeFailure;
    return part.Commit() ? 0 : writeFailure;
}
