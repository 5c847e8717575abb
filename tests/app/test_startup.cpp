// The program's run after the single-instance check, in process, with a recording error presenter.
#include "app/messagetables.h"
#include "app/startup.h"
#include "app/storeconventions.h"
#include "app/widgets/uipresenter.h"
#include "qtsingleapplication.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

// Window boxes of a run show nothing, so none can block it.
class QuietPresenter : public CUiPresenter
{
public:
    void ShowRecord(QWidget *, const RecordBox &) override {}
};
QuietPresenter g_quiet;

struct Shown {
    int message;
    ErrorMessageRecord record;
};

// A fresh per-user world for one run.
struct UserFolders {
    QTemporaryDir root;
    UserFolders()
    {
        qputenv("HOME", root.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (root.path() + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (root.path() + QStringLiteral("/config")).toLocal8Bit());
    }
};

void QuitLoop(int code)
{
    QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
}

// Ends a loop that a signal failed to end, so the test fails instead of hanging; never fires otherwise.
constexpr int kSignalNotHandled = 99;
void GuardLoop()
{
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(kSignalNotHandled); });
}

const char kSecondSignalChild[] = "--second-signal-child";

// The child of secondSignalEndsAtOnce: one run that is sent SIGTERM in its event loop and again while it shuts
// down. Each step it reaches is printed at once, since the program may end without flushing.
int RunSecondSignalChild(int argc, char *argv[])
{
    QtSingleApplication app(QStringLiteral("VaremoStartupTest"), argc, argv);
    CUiPresenter::Install(&g_quiet);
    return RunApplication(
        app, [](int message, const ErrorMessageRecord &) { std::printf("error %d\n", message); },
        [](int step) {
            std::printf("step %d\n", step);
            std::fflush(stdout);
            if (step == kStepEventLoop)
                GuardLoop();
            if (step == kStepEventLoop || step == kStepDestroyWindow)
                raise(SIGTERM);
        },
        QString::fromLocal8Bit(argv[2]));
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

public:
    explicit TestStartup(const QString &programFolder) : m_programFolder(programFolder) {}

private:
    // Runs the program with the hook; records every error box and the steps reached.
    int Run(const StartupStepHook &hook)
    {
        m_shown.clear();
        m_steps.clear();
        // No window box may block a run.
        CUiPresenter::Install(&g_quiet);
        const int code = RunApplication(
            *qobject_cast<QtSingleApplication *>(qApp),
            [this](int message, const ErrorMessageRecord &record) { m_shown.append({message, record}); },
            [this, hook](int step) {
                m_steps.append(step);
                if (hook)
                    hook(step);
            },
            m_programFolder);
        CUiPresenter::Install(nullptr);
        return code;
    }

    QString m_programFolder;
    QList<Shown> m_shown;
    QList<int> m_steps;

private slots:
    // Runs first, while the message tables of this process are still empty.
    void failureBeforeTheTablesExist()
    {
        QVERIFY(ErrorMessageTable().isEmpty());
        UserFolders folders;
        const int code = Run([](int step) {
            if (step == kStepStaticNames)
                throw std::runtime_error("early");
        });
        QCOMPARE(code, -2);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].message, 61);
        QCOMPARE(m_shown[0].record.text, QStringLiteral("Unknown error has occurred."));
        QCOMPARE(m_shown[0].record.icon, int(MessageIconCritical));
    }

    void cleanRunReturnsLoopCode()
    {
        UserFolders folders;
        const int code = Run([](int step) {
            if (step == kStepEventLoop)
                QuitLoop(3);
        });
        QCOMPARE(code, 3);
        QVERIFY(m_shown.isEmpty());
        QCOMPARE(m_steps.last(), int(kStepDestroyRest));
        // The settings file was written after the loop.
        QVERIFY(QFile::exists(AppDataDir() + QStringLiteral("/Setting.bin")));
        const QFont font = QApplication::font();
        QCOMPARE(font.family(), QStringLiteral("Meiryo UI"));
        QCOMPARE(font.pointSize(), 9);
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Varemo"));
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("VELMAR OSTRAND"));
    }

    void dataFolderCannotBeMade()
    {
        UserFolders folders;
        // A regular file where the data root must be.
        QFile blocker(folders.root.path() + QStringLiteral("/data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const int code = Run([](int step) {
            if (step == kStepEventLoop)
                QuitLoop(0);
        });
        QCOMPARE(code, -2);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].message, 1);
        QCOMPARE(m_shown[0].record.text, QStringLiteral("Failed to load the application data."));
        QVERIFY(!m_steps.contains(kStepMainWindow));
        QCOMPARE(m_steps.last(), int(kStepDestroyRest));
    }

    void readingDocumentsFails()
    {
        UserFolders folders;
        const int code = Run([](int step) {
            if (step == kStepEventLoop)
                QuitLoop(0);
            if (step != kStepMainWindow)
                return;
            // The recognition folder of the current group becomes a file.
            const QString folder = AppDataDir() + QStringLiteral("/Chart/Data/00000");
            QDir(folder).removeRecursively();
            QDir().mkpath(QFileInfo(folder).path());
            QFile file(folder);
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
        });
        QCOMPARE(code, -2);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].message, 3);
        QVERIFY(!m_steps.contains(kStepEventLoop));
    }

    void settingsCannotBeWritten()
    {
        UserFolders folders;
        const int code = Run([](int step) {
            if (step != kStepEventLoop)
                return;
            const QString path = AppDataDir() + QStringLiteral("/Setting.bin");
            QFile::remove(path);
            QDir().mkpath(path);
            QuitLoop(0);
        });
        QCOMPARE(code, -2);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].message, 2);
    }

    void quitSignalSavesAndEnds_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("step");
        QTest::newRow("SIGTERM in the loop") << SIGTERM << int(kStepEventLoop);
        QTest::newRow("Ctrl-C in the loop") << SIGINT << int(kStepEventLoop);
        QTest::newRow("SIGHUP in the loop") << SIGHUP << int(kStepEventLoop);
        // Read while the splash screen is shown, before the loop exists to be ended.
        QTest::newRow("SIGTERM during start-up") << SIGTERM << int(kStepIdentity);
    }

    void quitSignalSavesAndEnds()
    {
        QFETCH(int, signal);
        QFETCH(int, step);
        UserFolders folders;
        struct sigaction before = {};
        QCOMPARE(sigaction(signal, nullptr, &before), 0);
        const auto settings = [] { return AppDataDir() + QStringLiteral("/Setting.bin"); };
        const int code = Run([signal, step, &settings](int now) {
            if (now == kStepEventLoop) {
                // Only the shut-down may write it now.
                QFile::remove(settings());
                GuardLoop();
            }
            if (now == step)
                raise(signal);
        });
        QCOMPARE(code, 128 + signal);
        QVERIFY(m_shown.isEmpty());
        QVERIFY(QFile::exists(settings()));
        QCOMPARE(m_steps.last(), int(kStepDestroyRest));
        // The run hands the signal back as it found it.
        struct sigaction after = {};
        QCOMPARE(sigaction(signal, nullptr, &after), 0);
        QVERIFY(after.sa_handler == before.sa_handler);
    }

    // The user who sends a second signal does not wait for the shut-down: the program ends at once.
    void secondSignalEndsAtOnce()
    {
        UserFolders folders;
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QString::fromLatin1(kSecondSignalChild), m_programFolder});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        QVERIFY(child.waitForFinished(60000));
        const QByteArray output = child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 128 + SIGTERM);
        // The first signal's shut-down saved the settings; the second ended it before the model went.
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QCoreApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));
        QVERIFY(QFile::exists(AppDataDir() + QStringLiteral("/Setting.bin")));
        QVERIFY2(output.endsWith(QByteArray("step ") + QByteArray::number(kStepDestroyWindow) + "\n"), output);
    }

    void exceptions_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("outOfMemory");
        QTest::addColumn<int>("message");
        QTest::newRow("out of memory in the model") << int(kStepModel) << true << 54;
        QTest::newRow("other in the window") << int(kStepMainWindow) << false << 61;
        QTest::newRow("out of memory after the loop") << int(kStepDestroyModel) << true << 54;
        QTest::newRow("before the tables") << int(kStepIdentity) << false << 61;
    }

    void exceptions()
    {
        QFETCH(int, step);
        QFETCH(bool, outOfMemory);
        QFETCH(int, message);
        UserFolders folders;
        const int code = Run([step, outOfMemory](int now) {
            if (now == kStepEventLoop)
                QuitLoop(0);
            if (now != step)
                return;
            if (outOfMemory)
                throw std::bad_alloc();
            throw std::runtime_error("broken");
        });
        QCOMPARE(code, -2);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].message, message);
        QCOMPARE(m_shown[0].record.code, message);
        QVERIFY(!m_shown[0].record.text.isEmpty());
        if (message == 61) {
            QCOMPARE(m_shown[0].record.text, QStringLiteral("Unknown error has occurred."));
            QCOMPARE(m_shown[0].record.icon, int(MessageIconCritical));
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], kSecondSignalChild) == 0)
        return RunSecondSignalChild(argc, argv);
    // A data root of our own, so the single-instance channel never meets a running program.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QtSingleApplication app(QStringLiteral("VaremoStartupTest"), argc, argv);
    QTemporaryDir programFolder;
    TestStartup test(programFolder.path());
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
