#include "app/startup.h"

#include "app/constants.h"
#include "app/helpers.h"
#include "app/language.h"
#include "app/model.h"
#include "app/tanosdkcontroller.h"
#include "app/widgets/uipresenter.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcstartupscreen.h"
#include "qtsingleapplication.h"

#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QTranslator>

#include <cerrno>
#include <csignal>
#include <exception>
#include <memory>
#include <new>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSplashMilliseconds = 2000;

void ShowStartupError(int, const ErrorMessageRecord &record)
{
    CUiPresenter::Current().ShowRecord(nullptr, record);
}

void WarnFromHandheld(const QString &text)
{
    CUiPresenter::Current().ShowRecord(nullptr, RecordBox{MessageIconWarning, text, QString(), true});
}

// Written by the signal handler, read by the event loop.
volatile sig_atomic_t g_quitSignalFd = -1;
volatile sig_atomic_t g_quitSignalSeen = 0;

extern "C" void OnQuitSignal(int signo)
{
    // The first signal asked for the normal shut-down; another one means the user will not wait for it.
    if (g_quitSignalSeen)
        _exit(128 + signo);
    g_quitSignalSeen = 1;
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t written = write(g_quitSignalFd, &byte, 1);
    errno = saved;
}

// SIGINT, SIGTERM and SIGHUP end the event loop with 128 + the signal's number, so the run still saves the
// settings and closes the instruments. The handler only writes into a pipe; the GUI thread reads it.
class QuitSignals
{
public:
    QuitSignals()
    {
        if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            qWarning("Quit signals are not handled: no pipe");
            m_pipe[0] = m_pipe[1] = -1;
            return;
        }
        g_quitSignalFd = m_pipe[1];
        g_quitSignalSeen = 0;
        m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Drain(); });
        struct sigaction action = {};
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (size_t i = 0; i < kCount; ++i)
            m_installed[i] = sigaction(kSignals[i], &action, &m_previous[i]) == 0;
    }

    ~QuitSignals()
    {
        for (size_t i = 0; i < kCount; ++i)
            if (m_installed[i])
                sigaction(kSignals[i], &m_previous[i], nullptr);
        g_quitSignalFd = -1;
        g_quitSignalSeen = 0;
        m_notifier.reset();
        for (int fd : m_pipe)
            if (fd >= 0)
                close(fd);
    }

    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

    // A signal that came before the event loop ran: QCoreApplication::exit does not reach a loop not yet started.
    bool Received() const { return m_signal != 0; }
    int ExitCode() const { return 128 + m_signal; }

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    static constexpr size_t kCount = sizeof(kSignals) / sizeof(kSignals[0]);

    void Drain()
    {
        unsigned char bytes[16];
        ssize_t got = 0;
        while ((got = read(m_pipe[0], bytes, sizeof bytes)) > 0) {
            if (m_signal == 0)
                m_signal = bytes[0];
        }
        if (m_signal != 0)
            QCoreApplication::exit(ExitCode());
    }

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previous[kCount] = {};
    bool m_installed[kCount] = {};
    int m_signal = 0;
};

} // namespace

int RunApplication(QtSingleApplication &app, const StartupErrorPresenter &presenter, const StartupStepHook &hook,
                   const QString &programFolder)
{
    auto step = [&hook](int number) {
        if (hook)
            hook(number);
    };

    // Outlives the rest, so a signal during the shut-down still ends the program at once.
    std::unique_ptr<QuitSignals> quitSignals;
    // Built in this order and destroyed in the reverse one on every path.
    std::unique_ptr<QTranslator> translator;
    std::unique_ptr<CLanguage> language;
    std::unique_ptr<CVCStartupScreen> splash;
    std::unique_ptr<QStringList> arguments;
    std::unique_ptr<CModel> model;
    std::unique_ptr<CVCMainWindow> window;
    auto destroyWindow = [&] { window.reset(); };
    auto destroyModel = [&] {
        model.reset();
        arguments.reset();
    };
    auto destroyRest = [&] {
        splash.reset();
        language.reset();
        translator.reset();
    };

    int message = 0;
    int exitCode = 0;
    try {
        quitSignals = std::make_unique<QuitSignals>();
        step(kStepIdentity);
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QCoreApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));

        step(kStepFont);
        QApplication::setFont(DefaultUiFont());

        step(kStepLanguage);
        translator = std::make_unique<QTranslator>();
        language = std::make_unique<CLanguage>(nullptr, programFolder);

        step(kStepTranslation);
        if (translator->load(language->GetTranslationFileName(), QString(), QString(), QString()))
            QCoreApplication::installTranslator(translator.get());

        step(kStepStaticNames);
        TranslateStaticNames();

        step(kStepMessageTables);
        BuildMessageTables();
        CTanoSDKController::SetWarningNotifier(WarnFromHandheld);

        step(kStepSplash);
        splash = std::make_unique<CVCStartupScreen>();
        splash->show();
        app.processEvents();
        QTimer::singleShot(kSplashMilliseconds, splash.get(), &CVCStartupScreen::timeout);

        step(kStepArguments);
        arguments = std::make_unique<QStringList>(QCoreApplication::arguments());

        step(kStepModel);
        model = std::make_unique<CModel>(language.get(), arguments.get(), nullptr);

        step(kStepInitialize);
        message = model->Initialize();
        if (message == 0) {
            step(kStepMainWindow);
            window = std::make_unique<CVCMainWindow>(model.get(), nullptr, programFolder);

            step(kStepRestore);
            message = window->RestoreWindowState();
            if (message == 0) {
                step(kStepShowWindow);
                splash->SetMainWindow(window.get());

                step(kStepActivation);
                app.setActivationWindow(window.get(), true);

                step(kStepEventLoop);
                exitCode = quitSignals->Received() ? quitSignals->ExitCode() : app.exec();
                message = model->Terminate();
            }
        }

        step(kStepDestroyWindow);
        app.setActivationWindow(nullptr, true);
        destroyWindow();
        step(kStepDestroyModel);
        destroyModel();
        step(kStepDestroyRest);
        destroyRest();
    } catch (const std::bad_alloc &) {
        message = kOutOfMemoryMessage;
    } catch (...) {
        message = kUnknownErrorMessage;
    }
    app.setActivationWindow(nullptr, true);
    destroyWindow();
    destroyModel();
    destroyRest();
    CTanoSDKController::SetWarningNotifier(CTanoSDKController::WarningNotifier());

    if (message == 0)
        return exitCode;
    const ErrorMessageRecord record = FindMessageRecord(message);
    if (presenter)
        presenter(message, record);
    else
        ShowStartupError(message, record);
    return -2;
}
