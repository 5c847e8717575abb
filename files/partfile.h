#pragma once
// Output files (pages, exports) are written under a temporary name beside the final one and renamed over it only
// when complete. The temporary name is ".<name>.<8 hex digits>.part": what an interrupted write left behind is
// recognised by the next write of the same file and removed, and no file of another name is ever touched.

#include <QByteArray>
#include <QString>

class PartFile
{
public:
    explicit PartFile(const QString &target);
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;
    // An uncommitted temporary file is removed.
    ~PartFile();

    // Removes stale temporary files of the target, then creates a new empty one; false when the folder is missing
    // or not writable.
    bool Reserve();
    QString TempFileName() const { return m_temp; }
    // The temporary name in the local 8-bit encoding, for libraries that take a C path.
    QByteArray TempPath() const;
    // Replaces the target in one step.
    bool Commit();

private:
    QString m_target;
    QString m_temp;
    bool m_committed = false;
};

// Removes the temporary files that interrupted writes of target left beside it; returns how many were removed.
int RemoveStalePartFiles(const QString &target);

// Writes bytes to path through a PartFile: 0; openFailure when no temporary file can be made or an existing file
// may not be written; writeFailure when writing, flushing or replacing fails. On failure the old file stays.
int WriteThroughPartFile(const QString &path, const QByteArray &bytes, int openFailure, int writeFailure);
