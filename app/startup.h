#pragma once
// The program's run after the single-instance check: identity, font, translation, message tables, splash
// screen, model, main window, event loop and shut-down. Every failure ends in one error box and -2.

#include "app/messagetables.h"

#include <QString>

#include <functional>

class QtSingleApplication;

// Shows the failure of a run; the default is the modal stay-on-top message box.
using StartupErrorPresenter = std::function<void(int message, const ErrorMessageRecord &record)>;
// Called at the start of every step from 5 to 22 with its number; a test may throw or act from it.
using StartupStepHook = std::function<void(int step)>;

// Runs the program on the application object and returns its exit code: the event loop's code, or -2 after
// the error box. SIGINT, SIGTERM and SIGHUP end the loop with 128 + the signal's number and the run shuts down
// as usual; a second one ends the process at once. programFolder holds the translation files, and its parent the
// manual (default: the program's folder).
int RunApplication(QtSingleApplication &app, const StartupErrorPresenter &presenter = StartupErrorPresenter(),
                   const StartupStepHook &hook = StartupStepHook(), const QString &programFolder = QString());

// The steps of the run, for the hook.
enum StartupStep {
    kStepIdentity = 5,
    kStepFont = 6,
    kStepLanguage = 7,
    kStepTranslation = 8,
    kStepStaticNames = 9,
    kStepMessageTables = 10,
    kStepSplash = 11,
    kStepArguments = 12,
    kStepModel = 13,
    kStepInitialize = 14,
    kStepMainWindow = 15,
    kStepRestore = 16,
    kStepShowWindow = 17,
    kStepActivation = 18,
    kStepEventLoop = 19,
    kStepDestroyWindow = 20,
    kStepDestroyModel = 21,
    kStepDestroyRest = 22,
};
