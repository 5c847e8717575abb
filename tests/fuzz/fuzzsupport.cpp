#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

// The scratch folders of this process; removed when it ends normally.
struct ScratchRoot {
    QString path;
    ScratchRoot()
        : path(QDir::tempPath() + QStringLiteral("/varemo-fuzz-") + QString::number(QCoreApplication::applicationPid()))
    {
    }
    ~ScratchRoot() { QDir(path).removeRecursively(); }
};

} // namespace

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "varemo-fuzz";
    static char *argv[] = {name, nullptr};
    if (QCoreApplication::instance())
        return;
    // Lives as long as the process: every target of a replay shares it.
    static QCoreApplication *application = new QCoreApplication(argc, argv);
    Q_UNUSED(application)
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    QCoreApplication::setOrganizationName(QStringLiteral("VaremoFuzz"));
}

QString FreshFolder(const char *target)
{
    static ScratchRoot root;
    const QString folder = root.path + QLatin1Char('/') + QLatin1String(target);
    QDir dir(folder);
    if (dir.exists())
        dir.removeRecursively();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make the scratch folder %s\n", qPrintable(folder));
        std::abort();
    }
    return folder;
}

QString WriteInput(const QString &folder, const QString &fileName, const std::uint8_t *data, std::size_t size)
{
    const QString path = folder + QLatin1Char('/') + fileName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "cannot write the input to %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

void Fail(const char *target, const QString &what)
{
    std::fprintf(stderr, "\n%s: round trip failed: %s\n", target, qPrintable(what));
    std::fflush(stderr);
    std::abort();
}

void Bytes::Take(void *out, std::size_t n)
{
    auto *bytes = static_cast<std::uint8_t *>(out);
    const std::size_t available = std::min(n, Left());
    if (available > 0)
        std::memcpy(bytes, m_data + m_at, available);
    std::memset(bytes + available, 0, n - available);
    m_at += available;
}

} // namespace fuzz
