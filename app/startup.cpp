#include "app/startup.h"

#include "app/constants.h"
#include "app/helpers.h"
#include "app/language.h"
#include "app/model.h"
#include "app/tanosdkcontroller.h"
#include "mainwindow/messagepresenter.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcstartupscreen.h"
#include "qtsingleapplication.h"

#include <QStringList>
#include <QTimer>
#include <QTranslator>

#include <exception>
#include <memory>
#include <new>

namespace {

constexpr int kSplashMilliseconds = 2000;

void ShowStartupError(int, const ErrorMessageRecord &record)
{
    MessageBoxContent content;
    content.icon = record.icon;
    content.text = record.text;
    PresentMessage(nullptr, content);
}

void WarnFromHandheld(const QString &text)
{
    MessageBoxContent content;
    content.icon = MessageIconWarning;
    content.text = text;
    PresentMessage(nullptr, content);
}

} // namespace

int RunApplication(QtSingleApplication &app, const StartupErrorPresenter &presenter, const StartupStepHook &hook,
                   const QString &programFolder)
{
    auto step = [&hook](int number) {
        if (hook)
            hook(number);
    };

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
            window = std::make_unique<CVCMainWindow>(model.get(), nullptr);

            step(kStepRestore);
            message = window->RestoreWindowState();
            if (message == 0) {
                step(kStepShowWindow);
                splash->SetMainWindow(window.get());

                step(kStepActivation);
                app.setActivationWindow(window.get(), true);

                step(kStepEventLoop);
                exitCode = app.exec();
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
