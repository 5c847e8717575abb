// The screenshot driver: starts the program as app/main.cpp does and, once its event loop runs, plays one
// entry's screens over the program's own model, then ends the program the normal way. An entry may also shoot
// at one step of the start-up, before the main window is shown. A program entry starts the program itself.
//   varemo_screens --list
//   varemo_screens --entry NAME [--out DIR] [--dry-run]     (pictures go to DIR/NAME/<screen>.png)
#include "screenshooter.h"

#include "app/model.h"
#include "app/startup.h"
#include "files/outputimage.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcstartupscreen.h"

#include "qtsingleapplication.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

struct Options {
    bool list = false;
    bool dryRun = false;
    QString entry;
    QString outDir;
};

bool ParseOptions(int argc, char *argv[], Options *options)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--list"))
            options->list = true;
        else if (!std::strcmp(argv[i], "--dry-run"))
            options->dryRun = true;
        else if (!std::strcmp(argv[i], "--entry") && i + 1 < argc)
            options->entry = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            options->outDir = QString::fromLocal8Bit(argv[++i]);
        else
            return false;
    }
    return options->list || !options->entry.isEmpty();
}

template <typename T>
T *FindTopLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<T *>(widget))
            return found;
    }
    return nullptr;
}

QString EntryOutDir(const Options &options)
{
    return options.outDir.isEmpty() ? options.entry : options.outDir + QLatin1Char('/') + options.entry;
}

// startupOk: the entry's start-up shots, if it has any, were taken.
void RunEntry(const Options &options, const ScreenEntryScript &script, bool startupOk)
{
    CVCMainWindow *window = FindTopLevel<CVCMainWindow>();
    // No scanner is plugged in: an automatic connection would open the connection settings over the shots.
    if (window && window->GetModel()) {
        Setting::UserEnvironment environment = *window->GetModel()->GetUserEnvironment();
        environment.AutoConnect = false;
        window->GetModel()->SetUserEnvironment(environment);
    }
    // The splash would stay on top for its two seconds; its timer's work is done now instead.
    if (auto *splash = FindTopLevel<CVCStartupScreen>())
        splash->timeout();
    bool ok = false;
    if (!window || !window->GetModel()) {
        ScreenFailed(QStringLiteral("no main window"));
    } else if (startupOk) { // a failed start-up shot is reported already
        ScreenShooter shooter(window->GetModel(), window, EntryOutDir(options), options.dryRun);
        ok = script(shooter);
    }
    if (window)
        window->close();
    QCoreApplication::exit(ok ? 0 : 1);
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: varemo_screens --list | --entry NAME [--out DIR] [--dry-run]\n");
        return 2;
    }
    if (options.list) {
        for (const QString &name : ScreenEntryNames())
            std::printf("%s\n", qPrintable(name));
        return 0;
    }
    const ScreenEntryScript script = FindScreenEntry(options.entry);
    const ScreenStartupScript startup = FindScreenStartupScript(options.entry);
    const ProgramEntryScript program = FindProgramEntry(options.entry);
    if (!script && !program) {
        std::fprintf(stderr, "varemo_screens: no entry %s\n", qPrintable(options.entry));
        return 2;
    }

    // The program sees only its own name: the driver's options are no file to open.
    int programArgc = 1;
    COutputImage::InitializeImageLibrary(argv[0]);
    QtSingleApplication app(QStringLiteral("Varemo"), programArgc, argv);
    if (app.isRunning()) {
        std::fprintf(stderr, "varemo_screens: another Varemo runs on this data folder\n");
        return 3;
    }
    Q_INIT_RESOURCE(Resource);
    if (program)
        return program(EntryOutDir(options), options.dryRun) ? 0 : 1;
    // True once the entry's start-up shots are taken, or when it has none.
    bool startupOk = !startup.script;
    bool startupRan = false;
    const StartupStepHook hook = [&options, &script, &startup, &startupOk, &startupRan, &app](int step) {
        if (startup.script && step == startup.step) {
            ScreenShooter shooter(nullptr, nullptr, EntryOutDir(options), options.dryRun);
            startupOk = startup.script(shooter);
            startupRan = true;
        }
        if (step == kStepEventLoop) {
            if (startup.script && !startupRan)
                ScreenFailed(QStringLiteral("the start-up shots' step %1 was not reached before the event loop")
                                 .arg(startup.step));
            QTimer::singleShot(0, &app, [&options, &script, &startupOk] { RunEntry(options, script, startupOk); });
        }
    };
    return RunApplication(app, StartupErrorPresenter(), hook);
}
