#include "workflowsteps.h"

#include "modelfixture.h"
#include "programfixture.h"

#include "app/model.h"
#include "app/startup.h"
#include "mainwindow/vcmainwindow.h"
#include "mainwindow/vcstartupscreen.h"
#include "qtsingleapplication.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
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

// Tries again on the next pass of the loop, as often as a queue of posted work can need, never on the clock.
constexpr int kModalPasses = 1000;

} // namespace

WorkflowRun::WorkflowRun(const QString &name) : m_name(name)
{
    MakeUserWorld(m_root.path());
}

WorkflowRun::~WorkflowRun() = default;

QString WorkflowRun::Home() const
{
    return m_root.path() + QStringLiteral("/home");
}

QString WorkflowRun::Where(const QString &detail) const
{
    QString where = QStringLiteral("run %1, step %2").arg(m_name, m_step.isEmpty() ? QStringLiteral("-") : m_step);
    if (!detail.isEmpty())
        where += QStringLiteral(": ") + detail;
    return where;
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
    OrloSim_SetDelivery(OrloSim_Manual);

    QPointer<CVCMainWindow> window;
    QPointer<CVCStartupScreen> splash;
    bool ended = false;
    const auto connection = QObject::connect(app, &QApplication::lastWindowClosed, app, [&ended] { ended = true; });
    const auto body = [&] {
        m_splash.shown = splash && splash->isVisible();
        m_splash.windowHidden = window && !window->isVisible();
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
        QTest::qFail(qPrintable(Where(QStringLiteral("start-up error box %1").arg(message))), __FILE__, __LINE__);
    };
    const int result = RunApplication(*app, errors, hook, m_root.path() + QStringLiteral("/program"));
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

struct ModalAnswer::State {
    Answer answer;
    int passes = 0;
    bool came = false;
    bool leftOpen = false;
    bool done = false;
};

ModalAnswer::ModalAnswer(Answer answer) : m_state(std::make_shared<State>())
{
    m_state->answer = std::move(answer);
    std::weak_ptr<State> weak = m_state;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [weak, poll] {
        const std::shared_ptr<State> state = weak.lock();
        if (!state || state->done) {
            *poll = nullptr; // breaks the cycle
            return;
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (++state->passes < kModalPasses) {
                QTimer::singleShot(0, qApp, [poll] { (*poll)(); });
                return;
            }
            state->done = true;
            *poll = nullptr;
            return;
        }
        state->came = true;
        state->done = true;
        QPointer<QWidget> guard(modal);
        if (state->answer)
            state->answer(modal);
        if (guard && guard->isVisible()) {
            state->leftOpen = true;
            guard->close();
        }
        *poll = nullptr;
    };
    QTimer::singleShot(0, qApp, [poll] { (*poll)(); });
}

ModalAnswer::~ModalAnswer()
{
    m_state->done = true;
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
