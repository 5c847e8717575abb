// Replays the committed corpus of every fuzz target through the same entry points, in the normal build, so
// that an input that once crashed a target or broke a round trip keeps passing.
//   fuzz_corpus_replay                      every target over corpus/<target>/
//   fuzz_corpus_replay TARGET PATH...       one target over the given files or folders (to replay a finding)
#include "fuzzsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <vector>

namespace fuzz {

namespace {

struct Target {
    const char *name;
    TargetFunction function;
};

std::vector<Target> &Targets()
{
    static std::vector<Target> targets;
    return targets;
}

const Target *FindTarget(const QString &name)
{
    for (const Target &t : Targets())
        if (name == QLatin1String(t.name))
            return &t;
    return nullptr;
}

QStringList InputsOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return {path};
    QStringList inputs;
    const QDir dir(path);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        inputs << dir.filePath(name);
    return inputs;
}

// Runs the inputs; false when one cannot be read.
bool Replay(const Target &target, const QStringList &inputs)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString &input : inputs) {
        QFile file(input);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: cannot read %s\n", target.name, qPrintable(input));
            return false;
        }
        const QByteArray bytes = file.readAll();
        std::fprintf(stderr, "%s: %s\n", target.name, qPrintable(QFileInfo(input).fileName()));
        target.function(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    }
    std::printf("%-20s %4lld inputs %6lld ms\n", target.name, static_cast<long long>(inputs.size()),
                static_cast<long long>(timer.elapsed()));
    return true;
}

} // namespace

bool RegisterTarget(const char *name, TargetFunction function)
{
    Targets().push_back({name, function});
    return true;
}

} // namespace fuzz

int main(int argc, char **argv)
{
    fuzz::EnsureApplication();
    if (argc >= 3) {
        const fuzz::Target *target = fuzz::FindTarget(QString::fromLocal8Bit(argv[1]));
        if (!target) {
            std::fprintf(stderr, "no fuzz target %s\n", argv[1]);
            return 2;
        }
        QStringList inputs;
        for (int i = 2; i < argc; ++i)
            inputs << fuzz::InputsOf(QString::fromLocal8Bit(argv[i]));
        return fuzz::Replay(*target, inputs) ? 0 : 1;
    }

    // Every target has a corpus and every corpus folder a target, so that neither is forgotten.
    const QDir root(QStringLiteral(VAREMO_FUZZ_CORPUS));
    int failures = 0;
    for (const QString &folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!fuzz::FindTarget(folder)) {
            std::fprintf(stderr, "corpus/%s has no fuzz target\n", qPrintable(folder));
            ++failures;
        }
    }
    int inputs = 0;
    for (const fuzz::Target &target : fuzz::Targets()) {
        const QStringList files = fuzz::InputsOf(root.filePath(QLatin1String(target.name)));
        if (files.isEmpty() || !QFileInfo(root.filePath(QLatin1String(target.name))).isDir()) {
            std::fprintf(stderr, "%s has no corpus in %s\n", target.name, qPrintable(root.path()));
            ++failures;
            continue;
        }
        if (!fuzz::Replay(target, files))
            ++failures;
        inputs += files.size();
    }
    std::printf("%d inputs of %d targets replayed, %d problems\n", inputs, int(fuzz::Targets().size()), failures);
    return failures == 0 ? 0 : 1;
}
