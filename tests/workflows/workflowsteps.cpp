#include "workflowsteps.h"

#include "modelfixture.h"
#include "programfixture.h"

#include "app/model.h"
#include "app/startup.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcstartupscreen.h"
#include "qtsingleapplication.h"

#include <OrloSim.h>
#include <PellSim.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>
#include <QDir>
#include <QDockWidget>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QPointer>
#include <QTimer>

namespace {

// Menu titles carry their mnemonic as "File(&F)"; the user reads "File".
QString PlainText(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
    return text.remove(QLatin1Char('&'));
}

// The window-state tests never let the scanner connect on the wall clock: auto-connect off before the first start.
bool WriteQuietSettings()
{
    QStringList arguments{QStringLiteral("Varemo")};
    CModel model(nullptr, &arguments);
    WindowDouble window(&model);
    if (model.Initialize() != 0)
        return false;
    Setting::UserEnvironment environment = *model.GetUserEnvironment();
    environment.AutoConnect = false;
    const bool ok = model.SetUserEnvironment(environment) == 0;
    return model.Terminate() == 0 && ok;
}

// Where the simulators look, as they work it out: their variable, else the program's per-user data folder.
QString SimulatorPath(const char *variable, const QString &inDataFolder)
{
    const QString set = qEnvironmentVariable(variable);
    if (!set.isEmpty())
        return set;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/VELMAR OSTRAND/Varemo/") + inDataFolder;
}

// Waits for the windows themselves (a menu opening, a dock settling).
constexpr int kWorkflowWaitMs = 10000;

// Tries again on the next pass of the loop, as often as a queue of posted work can need, never on the clock.
constexpr int kModalPasses = 1000;

// Calls tick on every pass of whichever event loop runs (a modal dialog's or a menu's included) until it returns
// true or kModalPasses passes went by. Owned by the step that waits, so nothing is left queued when a loop ends early.
class Poller
{
public:
    explicit Poller(std::function<bool()> tick) : m_tick(std::move(tick))
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_tick() || ++m_passes >= kModalPasses)
                m_timer.stop();
        });
        m_timer.start();
    }

private:
    std::function<bool()> m_tick;
    QTimer m_timer;
    int m_passes = 0;
};

} // namespace

WorkflowRun::WorkflowRun(const QString &name) : m_name(name)
{
    MakeUserWorld(m_root.path());
    m_outDir = m_root.path() + QStringLiteral("/out");
    QDir().mkpath(m_outDir);
}

WorkflowRun::WorkflowRun(const QString &name, Shooter shoot, const QString &outDir)
    : m_name(name), m_shoot(std::move(shoot)), m_outDir(outDir)
{
    // The driver's own name would pick another data folder for the quiet settings written before the start.
    NameAsTheProgram();
    QDir().mkpath(m_outDir);
}

WorkflowRun::~WorkflowRun() = default;

QString WorkflowRun::WorkDir() const
{
    const QString folder = m_root.path() + QStringLiteral("/work");
    QDir().mkpath(folder);
    return folder;
}

QString WorkflowRun::Home() const
{
    return ProgramMode() ? QDir::homePath() : m_root.path() + QStringLiteral("/home");
}

QString WorkflowRun::OutDir() const
{
    return m_outDir;
}

QString WorkflowRun::Where(const QString &detail) const
{
    QString where = QStringLiteral("run %1, step %2").arg(m_name, m_step.isEmpty() ? QStringLiteral("-") : m_step);
    if (!detail.isEmpty())
        where += QStringLiteral(": ") + detail;
    return where;
}

void WorkflowRun::Fail(const QString &detail)
{
    if (m_failure.isEmpty())
        m_failure = Where(detail);
}

int WorkflowRun::WaitMs() const
{
    return ProgramMode() ? 60000 : kWorkflowWaitMs;
}

bool WorkflowRun::WaitFor(const std::function<bool()> &condition)
{
    const bool manual = !ProgramMode();
    return QTest::qWaitFor(
        [&] {
            if (manual)
                OrloSim_DeliverPending();
            return condition();
        },
        WaitMs());
}

QString WorkflowRun::Shoot(const QString &screen)
{
    if (!m_shoot)
        return QString();
    return m_shoot(screen) ? QString() : QStringLiteral("no picture %1").arg(screen);
}

QString WorkflowRun::FeedSheet(const QString &pagePath)
{
    if (!QFile::exists(pagePath))
        return QStringLiteral("no page file %1").arg(pagePath);
    if (!ProgramMode()) {
        return OrloSim_InsertSheetFile(QFile::encodeName(pagePath).constData()) == 0
                   ? QString()
                   : QStringLiteral("the scanner did not take %1").arg(pagePath);
    }
    // The simulator takes a file once it has stopped growing; a name of its own per sheet, since taken files stay.
    const QString folder = SimulatorPath("ORLO_SIM_FEEDER", QStringLiteral("OrloFeeder"));
    QDir().mkpath(folder);
    const QString target = QStringLiteral("%1/%2_%3_%4")
                               .arg(folder, m_name)
                               .arg(++m_fed, 2, 10, QLatin1Char('0'))
                               .arg(QFileInfo(pagePath).fileName());
    return QFile::copy(pagePath, target) ? QString() : QStringLiteral("cannot copy %1 into the feeder").arg(pagePath);
}

QString WorkflowRun::TriggerFile() const
{
    return SimulatorPath("PELL_SIM_TRIGGER", QStringLiteral("HandheldTrigger.txt"));
}

int WorkflowRun::Start(const Walk &walk)
{
    m_walkRan = false;
    m_splash = Splash();
    auto *app = qobject_cast<QtSingleApplication *>(qApp);
    if (!app || !m_root.isValid())
        return -1;
    if (!QFile::exists(AppDataDir() + QStringLiteral("/Setting.bin")) && !WriteQuietSettings())
        return -1;
    OrloSim_Reset();
    OrloSim_SetDelivery(ProgramMode() ? OrloSim_Thread : OrloSim_Manual);
    PellSim_Reset();

    QPointer<CVCMainWindow> window;
    QPointer<CVCStartupScreen> splash;
    bool ended = false;
    const auto connection = QObject::connect(app, &QApplication::lastWindowClosed, app, [&ended] { ended = true; });
    const auto body = [&] {
        m_splash.shown = splash && splash->isVisible();
        m_splash.windowHidden = window && !window->isVisible();
        if (!m_splashShot.isEmpty() && splash && !Failed()) {
            const QString problem = Shoot(m_splashShot);
            if (!problem.isEmpty())
                Fail(problem);
        }
        // The splash's first two seconds are skipped; its own timer later finds the hand-over done.
        if (splash)
            splash->timeout();
        m_walkRan = true;
        if (walk && window)
            walk(window);
        if (!ended)
            QCoreApplication::exit(kNotEnded);
    };
    const StartupStepHook hook = [&](int step) {
        if (step == kStepActivation) {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *w = qobject_cast<CVCMainWindow *>(widget))
                    window = w;
                if (auto *s = qobject_cast<CVCStartupScreen *>(widget))
                    splash = s;
            }
        }
        if (step == kStepEventLoop)
            QTimer::singleShot(0, qApp, body);
    };
    const StartupErrorPresenter errors = [this](int message, const ErrorMessageRecord &) {
        Fail(QStringLiteral("start-up error box %1").arg(message));
    };
    const int result = ProgramMode() ? RunApplication(*app, errors, hook)
                                     : RunApplication(*app, errors, hook, m_root.path() + QStringLiteral("/program"));
    QObject::disconnect(connection);
    return result;
}

QString TriggerMenu(QMainWindow *window, const QString &menuTitle, const QString &actionText)
{
    QMenuBar *bar = window->menuBar();
    QMenu *menu = nullptr;
    for (QAction *action : bar->actions()) {
        if (action->menu() && PlainText(action->text()) == menuTitle)
            menu = action->menu();
    }
    if (!menu)
        return QStringLiteral("no menu \"%1\"").arg(menuTitle);
    const QRect title = bar->actionGeometry(menu->menuAction());
    if (!title.isValid())
        return QStringLiteral("menu \"%1\" not on the menu bar").arg(menuTitle);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, title.center());
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, kWorkflowWaitMs))
        return QStringLiteral("menu \"%1\" did not open").arg(menuTitle);
    QAction *entry = nullptr;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator() && action->isVisible() && PlainText(action->text()) == actionText)
            entry = action;
    }
    if (!entry || !entry->isEnabled()) {
        menu->hide();
        return QStringLiteral("no enabled entry \"%1\" in menu \"%2\"").arg(actionText, menuTitle);
    }
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(entry).center());
    if (menu->isVisible()) {
        menu->hide();
        return QStringLiteral("menu \"%1\" stayed open after \"%2\"").arg(menuTitle, actionText);
    }
    return QString();
}

void EndDialog(QWidget *modal)
{
    // A question box without an escape button ignores close(); ending the dialog always ends its loop.
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->done(QDialog::Rejected);
    else if (modal)
        modal->close();
}

struct ModalAnswer::State {
    Answer answer;
    bool came = false;
    bool leftOpen = false;
    std::unique_ptr<Poller> poller;
};

ModalAnswer::ModalAnswer(Answer answer) : m_state(std::make_shared<State>())
{
    State *state = m_state.get();
    state->answer = std::move(answer);
    state->poller = std::make_unique<Poller>([state] {
        QWidget *modal = QApplication::activeModalWidget();
        if (state->came || !modal)
            return state->came;
        state->came = true;
        QPointer<QWidget> guard(modal);
        if (state->answer)
            state->answer(modal);
        if (guard && guard->isVisible()) {
            state->leftOpen = true;
            EndDialog(guard);
        }
        return true;
    });
}

ModalAnswer::~ModalAnswer() = default;

bool ModalAnswer::Came() const
{
    return m_state->came;
}

QString ModalAnswer::Problem() const
{
    if (!m_state->came)
        return QStringLiteral("no modal dialog came");
    if (m_state->leftOpen)
        return QStringLiteral("the modal dialog stayed open after its answer");
    return QString();
}

QString DragDockOnto(QMainWindow *window, QDockWidget *dock, QDockWidget *target)
{
    if (!dock->isVisible() || !target->isVisible())
        return QStringLiteral("dock \"%1\" or \"%2\" not shown").arg(dock->windowTitle(), target->windowTitle());
    // The title bar is the strip above the dock's contents.
    const int titleHeight = dock->widget() ? dock->widget()->geometry().top() : 10;
    const QPoint grip(dock->width() / 2, qMax(2, titleHeight / 2));
    const QPoint goal = target->mapToGlobal(target->rect().center());
    QTest::mousePress(dock, Qt::LeftButton, Qt::NoModifier, grip);
    // Moved in steps: the dock comes loose after the drag distance and then follows the pointer.
    QPoint from = dock->mapToGlobal(grip);
    const int steps = 20;
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = from + (goal - from) * i / steps;
        // QTest's move of a widget carries no held button; the drag needs one.
        QMouseEvent move(QEvent::MouseMove, dock->mapFromGlobal(at), at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dock, &move);
    }
    QTest::mouseRelease(dock, Qt::LeftButton, Qt::NoModifier, dock->mapFromGlobal(goal));
    const bool tabbed = QTest::qWaitFor(
        [&] { return window->tabifiedDockWidgets(target).contains(dock) && !dock->isFloating(); }, kWorkflowWaitMs);
    return tabbed
               ? QString()
               : QStringLiteral("dock \"%1\" not tabbed with \"%2\"").arg(dock->windowTitle(), target->windowTitle());
}

QString AnswerFileDialog(QWidget *modal, const QString &path, const QString &filter)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (!dialog)
        return QStringLiteral("\"%1\" is no file dialog").arg(modal->windowTitle());
    auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (!types || !name || !buttons)
        return QStringLiteral("file dialog without its fields");
    if (!filter.isEmpty()) {
        const int wanted = types->findText(filter);
        if (wanted < 0)
            return QStringLiteral("no filter \"%1\"").arg(filter);
        // Keys on the closed box, as the user steps through the types.
        while (types->currentIndex() != wanted) {
            const int before = types->currentIndex();
            QTest::keyClick(types, types->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
            if (types->currentIndex() == before)
                return QStringLiteral("filter \"%1\" not reachable").arg(filter);
        }
    }
    name->setFocus();
    name->setText(path);
    QPushButton *accept = buttons->button(dialog->acceptMode() == QFileDialog::AcceptOpen ? QDialogButtonBox::Open
                                                                                           : QDialogButtonBox::Save);
    if (!accept || !accept->isEnabled())
        return QStringLiteral("file dialog's accept button not enabled for \"%1\"").arg(path);
    QTest::mouseClick(accept, Qt::LeftButton);
    return QString();
}

namespace {

// On the right end of the item's first column, away from its check box, inside the viewport however wide the
// columns are.
QPoint OnItem(QTreeWidget *tree, QTreeWidgetItem *item)
{
    const QRect rect = tree->visualItemRect(item);
    const int end = qMin(tree->columnViewportPosition(0) + tree->columnWidth(0), tree->viewport()->width());
    return QPoint(qMax(rect.left() + 1, end - 6), rect.center().y());
}

} // namespace

void ClickItem(QTreeWidget *tree, QTreeWidgetItem *item, Qt::KeyboardModifiers modifiers)
{
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, modifiers, OnItem(tree, item));
}

QString ContextMenuEntry(QTreeWidget *tree, QTreeWidgetItem *item, const QString &entryText)
{
    tree->scrollToItem(item);
    const QPoint at = OnItem(tree, item);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QString outcome = QStringLiteral("no context menu came");
    const Poller poller([&outcome, &entryText] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible())
            return false;
        QAction *entry = nullptr;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator() && action->isVisible() && PlainText(action->text()) == entryText)
                entry = action;
        }
        if (!entry || !entry->isEnabled()) {
            outcome = QStringLiteral("no enabled entry \"%1\" in the context menu").arg(entryText);
            menu->close();
        } else {
            outcome.clear();
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(entry).center());
        }
        return true;
    });
    // The menu runs its own loop inside the event; the poll answers it from there.
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &event);
    return outcome;
}

QString ChooseInCombo(QComboBox *combo, const QString &text)
{
    const int wanted = combo ? combo->findText(text) : -1;
    if (wanted < 0)
        return QStringLiteral("no choice \"%1\"").arg(text);
    combo->setFocus();
    while (combo->currentIndex() != wanted) {
        const int before = combo->currentIndex();
        QTest::keyClick(combo, combo->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
        if (combo->currentIndex() == before)
            return QStringLiteral("choice \"%1\" not reachable").arg(text);
    }
    return QString();
}

QTreeWidgetItem *TopLevelNamed(QTreeWidget *tree, const QString &text)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0) == text)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

QString ConnectScanner(WorkflowRun &run, CVCMainWindow *window)
{
    auto *connect = window->findChild<QAction *>(QStringLiteral("actionOrloConnectDisconnect"));
    auto *bar = window->findChild<QToolBar *>(QStringLiteral("toolBar"));
    QWidget *button = connect && bar ? bar->widgetForAction(connect) : nullptr;
    if (!button)
        return QStringLiteral("no connect button on the tool bar");
    if (connect->isChecked())
        return QStringLiteral("the scanner is connected already");
    QString problem;
    // Made from inside the failure box's answer: the settings open once that box has gone.
    std::unique_ptr<ModalAnswer> settings;
    const auto chooseScanner = [&problem](QWidget *dialog) {
        auto *devices = dialog->findChild<QTreeWidget *>(QStringLiteral("treeDeviceList"));
        auto *go = dialog->findChild<QPushButton *>(QStringLiteral("pushConnect"));
        if (!devices || !go || devices->topLevelItemCount() == 0) {
            problem = QStringLiteral("the connection settings list no scanner");
            return;
        }
        ClickItem(devices, devices->topLevelItem(0));
        QTest::mouseClick(go, Qt::LeftButton);
    };
    ModalAnswer failure([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box || box->text() != QLatin1String("Failed to connect to Orlo.") || !box->button(QMessageBox::Ok)) {
            problem = QStringLiteral("\"%1\" came in place of the connection failure")
                          .arg(box ? box->text() : dialog->windowTitle());
            return;
        }
        settings = std::make_unique<ModalAnswer>(chooseScanner);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    if (!problem.isEmpty())
        return problem;
    // A scanner chosen before is connected without a word.
    if (failure.Came() && !failure.Problem().isEmpty())
        return QStringLiteral("connection failure box: ") + failure.Problem();
    if (failure.Came() && (!settings || !settings->Problem().isEmpty()))
        return QStringLiteral("connection settings: ") + (settings ? settings->Problem() : QStringLiteral("none"));
    return run.WaitFor([connect] { return connect->isChecked(); }) ? QString()
                                                                   : QStringLiteral("the scanner did not connect");
}
