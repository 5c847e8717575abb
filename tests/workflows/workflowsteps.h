#pragma once
// The steps the end-to-end workflows are made of: the program started as the user starts it (the start-up function,
// the real presenter, a fresh HOME per run), menus opened and entries clicked, real boxes answered from inside their
// modal loops, docks dragged by their title bars, sheets fed and handheld buttons pressed. Every failure names the
// run and the step.
//
// A run is one function over a WorkflowRun, played two ways: by the QTest flow (offscreen, the simulators in manual
// delivery, no pictures) and by the screenshot entries (under Xvfb, the simulators in their program mode with the
// feeder folder and the trigger file, a picture at every Shoot).
//
//     void RunStartup(WorkflowRun &run)
//     {
//         run.Start([&](CVCMainWindow *window) {
//             run.Step(QStringLiteral("about"));
//             WF_DO(run, TriggerMenu(window, QStringLiteral("Help"), QStringLiteral("About")));
//         });
//         WF_VERIFY(run, run.WalkRan());
//     }

#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

class CVCMainWindow;
class QComboBox;
class QDockWidget;
class QMainWindow;
class QTreeWidget;
class QTreeWidgetItem;

// Each macro returns from the enclosing void function (a run, a walk, an answer) once the run has failed; the first
// failure is the one reported.
#define WF_VERIFY(run, cond)                                                                                           \
    do {                                                                                                               \
        if ((run).Failed())                                                                                            \
            return;                                                                                                    \
        if (!(cond)) {                                                                                                 \
            (run).Fail(QStringLiteral(#cond));                                                                         \
            return;                                                                                                    \
        }                                                                                                              \
    } while (false)
// Runs a step helper that returns a problem text (empty when it went well).
#define WF_DO(run, expr)                                                                                               \
    do {                                                                                                               \
        if ((run).Failed())                                                                                            \
            return;                                                                                                    \
        const QString wfProblem_ = (expr);                                                                             \
        if (!wfProblem_.isEmpty()) {                                                                                   \
            (run).Fail(wfProblem_);                                                                                    \
            return;                                                                                                    \
        }                                                                                                              \
    } while (false)
// Waits, bounded, until cond holds (see WorkflowRun::WaitFor).
#define WF_WAIT(run, cond)                                                                                             \
    WF_DO(run, (run).WaitFor([&] { return static_cast<bool>(cond); }) ? QString()                                    \
                                                                      : QStringLiteral("timed out waiting for " #cond))
// After a call that takes the run: stops here when it failed.
#define WF_CHECK(run)                                                                                                  \
    do {                                                                                                               \
        if ((run).Failed())                                                                                            \
            return;                                                                                                    \
    } while (false)

class WorkflowRun
{
public:
    // A picture of the whole screen under the given name; false when it could not be taken (reported already).
    using Shooter = std::function<bool(const QString &screen)>;

    // The QTest flow: HOME, the XDG folders and the Documents folder point into a fresh temporary folder; the
    // simulators deliver only when a wait asks them to.
    explicit WorkflowRun(const QString &name);
    // A screenshot entry: the HOME and simulator folders of the environment (fresh per entry), the simulators in
    // program mode, pictures through shoot, kept files in outDir.
    WorkflowRun(const QString &name, Shooter shoot, const QString &outDir);
    ~WorkflowRun();
    WorkflowRun(const WorkflowRun &) = delete;
    WorkflowRun &operator=(const WorkflowRun &) = delete;

    const QString &Name() const { return m_name; }
    void Step(const QString &step) { m_step = step; }
    // "run <name>, step <step>: <detail>"
    QString Where(const QString &detail = QString()) const;

    // The first failure wins; later ones only follow from it.
    void Fail(const QString &detail);
    bool Failed() const { return !m_failure.isEmpty(); }
    const QString &Failure() const { return m_failure; }

    // True in the screenshot entries: sheets go through the feeder folder, presses through the trigger file.
    bool ProgramMode() const { return static_cast<bool>(m_shoot); }
    // 60 s where the feeder is polled on the clock, 10 s in the QTest flow.
    int WaitMs() const;
    // Waits until condition holds or WaitMs passes; in manual delivery every pass also delivers the scanner's
    // pending events, as its worker thread would.
    bool WaitFor(const std::function<bool()> &condition);
    // A picture named <run>_<NN>_<step> in the entry's folder; nothing in the QTest flow. Returns a problem text.
    QString Shoot(const QString &screen);
    // Set before Start: the splash is shot under this name before it hands over.
    void ShootSplashAs(const QString &screen) { m_splashShot = screen; }

    // A folder for what the run keeps (the printer server's record): the entry's picture folder in the screenshot
    // entries, a temporary folder in the QTest flow.
    QString OutDir() const;
    // A fresh temporary folder for what the run makes on the way (pages, prints, exports, saved results), removed
    // with the run.
    QString WorkDir() const;
    QString Home() const;

    // Feeds a page file to the scanner as the user does: a copy in the feeder folder (program mode) or the file
    // inserted into the simulator (manual delivery). Returns a problem text.
    QString FeedSheet(const QString &pagePath);
    // Where the simulated handheld reads its one-line commands ("spot ...") in program mode.
    QString TriggerFile() const;

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

private:
    QString m_name;
    QString m_step;
    QString m_failure;
    Shooter m_shoot;
    QString m_outDir;
    QString m_splashShot;
    int m_fed = 0;
    QTemporaryDir m_root;
    bool m_walkRan = false;
    Splash m_splash;
};

// Opens the menu-bar menu whose title (without its mnemonic) is menuTitle by a click on its title, then clicks the
// entry of that text. A modal dialog opened by the entry runs inside the click; answer it with a ModalAnswer made
// before.
QString TriggerMenu(QMainWindow *window, const QString &menuTitle, const QString &actionText);

// Answers the next modal dialog from inside its modal loop; a dialog the answer leaves open is closed so that nothing
// blocks, and Problem() says so. The answer looks for the dialog only while this object lives.
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
    bool Came() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Ends a modal dialog that an answer left open, so that its loop returns and the walk goes on.
void EndDialog(QWidget *modal);

// Drags a dock by its title bar onto the middle of another dock of the same window, so that they share tabs.
QString DragDockOnto(QMainWindow *window, QDockWidget *dock, QDockWidget *target);

// Answers a file dialog as the user does: the filter chosen in its type box (when given), the path typed into its
// name field, then its accept button. Returns a problem text.
QString AnswerFileDialog(QWidget *modal, const QString &path, const QString &filter = QString());

// Clicks item, with Ctrl to add it to the selection. The click lands at the right end of the first column, away
// from a check box.
void ClickItem(QTreeWidget *tree, QTreeWidgetItem *item, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Right-clicks item (it must be selected already; a right click keeps a selection) and clicks entryText in the
// context menu that comes up. A modal dialog the entry opens needs a ModalAnswer made before.
QString ContextMenuEntry(QTreeWidget *tree, QTreeWidgetItem *item, const QString &entryText);

// The tool-bar connect button of the main window in a HOME where no scanner has been chosen yet: the search finds
// none for the empty stored setting, so the window reports "Failed to connect to Orlo." (answered with OK) and then
// opens the connection settings, where the listed scanner is chosen and Connect clicked. Returns once the window
// shows the scanner connected. A scanner chosen before is connected without any box.
QString ConnectScanner(WorkflowRun &run, CVCMainWindow *window);

// Chooses text in combo with the arrow keys, as a user of the keyboard does. Returns a problem text.
QString ChooseInCombo(QComboBox *combo, const QString &text);

// The top-level item of tree whose first column reads text.
QTreeWidgetItem *TopLevelNamed(QTreeWidget *tree, const QString &text);

