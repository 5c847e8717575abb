#pragma once
// The steps the end-to-end workflows are made of: the program started as the user starts it (the start-up function, the
// real presenter, a fresh HOME per run), menus opened and entries clicked, real boxes answered from inside their modal
// loops, docks dragged by their title bars. Every failure names the run and the step.
//
//     WorkflowRun run(QStringLiteral("startup"));
//     run.Start([&](CVCMainWindow *window) {
//         run.Step(QStringLiteral("about"));
//         WF_DO(run, TriggerMenu(window, QStringLiteral("Help"), QStringLiteral("About")));
//     });

#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

class CVCMainWindow;
class QDockWidget;
class QMainWindow;

// A failure message naming the run and the current step.
#define WF_VERIFY(run, cond) QVERIFY2(cond, qPrintable((run).Where(QStringLiteral(#cond))))
// Runs a step helper that returns a problem text (empty when it went well).
#define WF_DO(run, expr)                                                                                               \
    do {                                                                                                               \
        const QString wfProblem_ = (expr);                                                                             \
        QVERIFY2(wfProblem_.isEmpty(), qPrintable((run).Where(wfProblem_)));                                           \
    } while (false)

// Waits in the queued-event world the steps use.
constexpr int kWorkflowWaitMs = 10000;

class WorkflowRun
{
public:
    // Points HOME, the XDG folders and the Documents folder into a fresh temporary folder.
    explicit WorkflowRun(const QString &name);
    ~WorkflowRun();
    WorkflowRun(const WorkflowRun &) = delete;
    WorkflowRun &operator=(const WorkflowRun &) = delete;

    void Step(const QString &step) { m_step = step; }
    // "run <name>, step <step>: <detail>"
    QString Where(const QString &detail = QString()) const;

    // What the walk sees of the program before the splash hands over.
    struct Splash {
        bool shown = false;        // the splash was on screen when the event loop started
        bool windowHidden = false; // and the main window was not
    };

    // One start of the program in this HOME. The walk runs in the program's event loop once the splash has been made to
    // hand over; the program must end by itself after it (File > Exit). Returns the start-up function's result, or
    // kNotEnded when the loop was still running after the walk.
    using Walk = std::function<void(CVCMainWindow *window)>;
    int Start(const Walk &walk);
    static constexpr int kNotEnded = 97;

    bool WalkRan() const { return m_walkRan; }
    const Splash &SplashSeen() const { return m_splash; }
    QString Home() const;

private:
    QString m_name;
    QString m_step;
    QTemporaryDir m_root;
    bool m_walkRan = false;
    Splash m_splash;
};

// Opens the menu-bar menu whose title (without its mnemonic) is menuTitle by a click on its title, then clicks the
// entry of that text. A modal dialog opened by the entry runs inside the click; answer it with a ModalAnswer made
// before.
QString TriggerMenu(QMainWindow *window, const QString &menuTitle, const QString &actionText);

// Answers the next modal dialog from inside its modal loop; a dialog the answer leaves open is closed so that nothing
// blocks, and Problem() says so.
class ModalAnswer
{
public:
    using Answer = std::function<void(QWidget *modal)>;
    explicit ModalAnswer(Answer answer);
    ~ModalAnswer();
    ModalAnswer(const ModalAnswer &) = delete;
    ModalAnswer &operator=(const ModalAnswer &) = delete;

    // Empty when a modal dialog came and the answer closed it.
    QString Problem() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Drags a dock by its title bar onto the middle of another dock of the same window, so that they share tabs.
QString DragDockOnto(QMainWindow *window, QDockWidget *dock, QDockWidget *target);
