// Charts from start to end: one made in the editor, five imported, the scanner connected, a two-page chart with QR
// codes printed as TIFF pages and measured, its values inspected, its measurement points edited, the chart saved
// and exported in every format, and the data deleted again.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "app/constants.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/storeconventions.h"
#include "app/widgets/conditiontree.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcgraphicspatch.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "mainwindow/vcmainwindow.h"
#include "viewprobe.h"

#include <OrloSim.h>
#include <simprint.h>
#include <vexcolor.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTabWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The display state of a patch drawn with its measured colour.
constexpr int kPatchMeasured = 2;

template <typename T>
T *Named(QObject *parent, const char *name)
{
    return parent ? parent->findChild<T *>(QLatin1String(name)) : nullptr;
}

QString MainWindowData(const QString &file)
{
    return QStringLiteral(VAREMO_MAINWINDOW_DATA "/") + file;
}

// Menu and item texts carry a mnemonic the user does not read.
QString Plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// Answers the modal dialogs one trigger brings up, in the order they come: each answer runs inside its dialog's
// modal loop, and a dialog the answer leaves open is closed so that nothing blocks. A dialog opened from inside an
// answer (a box over the dialog) is the next one answered.
class ModalSteps
{
public:
    using Answer = std::function<void(QWidget *modal)>;

    explicit ModalSteps(QList<Answer> answers) : m_state(std::make_shared<State>())
    {
        m_state->answers = std::move(answers);
        Schedule(m_state);
    }
    ~ModalSteps() { m_state->stopped = true; }
    ModalSteps(const ModalSteps &) = delete;
    ModalSteps &operator=(const ModalSteps &) = delete;

    // Empty when every dialog came and its answer closed it.
    QString Problem() const
    {
        if (!m_state->problem.isEmpty())
            return m_state->problem;
        if (m_state->next < m_state->answers.size())
            return QStringLiteral("dialog %1 of %2 did not come").arg(m_state->next + 1).arg(m_state->answers.size());
        return QString();
    }
    // Only what went wrong with the dialogs that came (for steps whose later dialogs may not come).
    QString AnswerProblem() const { return m_state->problem; }
    // Titles or texts of the dialogs answered, in order.
    QStringList Seen() const { return m_state->seen; }

private:
    struct State {
        QList<Answer> answers;
        int next = 0;
        int passes = 0;
        bool stopped = false;
        QString problem;
        QStringList seen;
        QList<QPointer<QWidget>> answered;
    };

    static void Schedule(const std::shared_ptr<State> &state)
    {
        std::weak_ptr<State> weak = state;
        QTimer::singleShot(0, qApp, [weak] {
            if (const std::shared_ptr<State> s = weak.lock())
                Poll(s);
        });
    }

    static void Poll(const std::shared_ptr<State> &state)
    {
        if (state->stopped)
            return;
        QWidget *modal = QApplication::activeModalWidget();
        bool old = false;
        for (const QPointer<QWidget> &seen : state->answered)
            old = old || (seen && seen == modal);
        if (!modal || old) {
            // Bounded in passes of the event loop, never on the clock.
            if (++state->passes < 5000)
                Schedule(state);
            return;
        }
        state->passes = 0;
        state->answered << QPointer<QWidget>(modal);
        auto *box = qobject_cast<QMessageBox *>(modal);
        state->seen << (box ? box->text() : modal->metaObject()->className());
        if (state->next >= state->answers.size()) {
            // One dialog more than the step expects: reported, and closed so that the walk goes on.
            if (state->problem.isEmpty())
                state->problem = QStringLiteral("unexpected dialog \"%1\"").arg(state->seen.last());
            EndDialog(modal);
            Schedule(state);
            return;
        }
        const Answer answer = state->answers.at(state->next++);
        Schedule(state); // watches for a dialog the answer opens
        QPointer<QWidget> guard(modal);
        if (answer)
            answer(modal);
        if (guard && guard->isVisible()) {
            if (state->problem.isEmpty())
                state->problem = QStringLiteral("\"%1\" stayed open after its answer").arg(state->seen.last());
            EndDialog(guard);
        }
    }

    std::shared_ptr<State> m_state;
};

// The answer for a message box: checks its text (when given) and clicks the button of that text.
ModalSteps::Answer ClickBoxButton(const QString &buttonText, const QString &expectedText, QString *problem)
{
    return [=](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            *problem = QStringLiteral("a %1 came where a box was due").arg(modal->metaObject()->className());
            return;
        }
        if (!expectedText.isEmpty() && box->text() != expectedText)
            *problem = QStringLiteral("box \"%1\" where \"%2\" was due").arg(box->text(), expectedText);
        for (QAbstractButton *button : box->buttons()) {
            if (Plain(button->text()) == buttonText) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        *problem = QStringLiteral("box \"%1\" has no button \"%2\"").arg(box->text(), buttonText);
    };
}

ModalSteps::Answer FileAnswer(const QString &path, const QString &filter, QString *problem)
{
    return [=](QWidget *modal) {
        const QString failed = AnswerFileDialog(modal, path, filter);
        if (!failed.isEmpty())
            *problem = failed;
    };
}

// Opens the editor of a tree item (it opens on the current item) and types value into its spin box, ending with
// Return as the user does.
QString TypeIntoItem(QTreeWidget *tree, QTreeWidgetItem *item, int value)
{
    if (!item)
        return QStringLiteral("no such item in \"%1\"").arg(tree->objectName());
    ClickItem(tree, item);
    auto *spin = qobject_cast<QSpinBox *>(tree->itemWidget(item, 1));
    if (!spin)
        return QStringLiteral("no spin box on \"%1\"").arg(item->text(0));
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spin, QString::number(value));
    QTest::keyClick(spin, Qt::Key_Return);
    return item->text(1) == QString::number(value)
               ? QString()
               : QStringLiteral("\"%1\" reads %2 after typing %3").arg(item->text(0), item->text(1)).arg(value);
}

// Steps through a combo box with the keys until it shows text.
// Clicks the zoom button until the slider stops moving; returns the slider's last value.
int ZoomToLimit(QPushButton *button, QSlider *slider)
{
    for (int i = 0; i < 500 && button->isEnabled(); ++i) {
        const int before = slider->value();
        QTest::mouseClick(button, Qt::LeftButton);
        if (slider->value() == before)
            break;
    }
    return slider->value();
}

// Answers a popup menu the trigger opens (a context menu, a button's menu): path names the entries, each one but
// the last a submenu opened with the keys.
QString PopupPick(const std::function<void()> &open, const QStringList &path)
{
    auto outcome = std::make_shared<QString>(QStringLiteral("no menu came"));
    auto passes = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, passes, outcome, path] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible()) {
            if (++*passes < 1000)
                QTimer::singleShot(0, qApp, [poll] {
                    if (*poll)
                        (*poll)();
                });
            else
                *poll = nullptr;
            return;
        }
        // Ends the poll; the closure goes with it, so what it holds is taken first.
        const QStringList steps = path;
        const std::shared_ptr<QString> result = outcome;
        *poll = nullptr;
        QMenu *top = menu;
        for (int level = 0; level < steps.size(); ++level) {
            QAction *entry = nullptr;
            for (QAction *action : menu->actions()) {
                if (!action->isSeparator() && action->isVisible() && Plain(action->text()) == steps.at(level))
                    entry = action;
            }
            if (!entry || !entry->isEnabled()) {
                *result = QStringLiteral("no enabled entry \"%1\"").arg(steps.at(level));
                top->close();
                return;
            }
            if (level + 1 == steps.size()) {
                result->clear();
                QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(entry).center());
                return;
            }
            if (!entry->menu()) {
                *result = QStringLiteral("\"%1\" is no submenu").arg(steps.at(level));
                top->close();
                return;
            }
            for (int i = 0; i < menu->actions().size() && menu->activeAction() != entry; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Right);
            QMenu *sub = entry->menu();
            if (!QTest::qWaitFor([sub] { return sub->isVisible(); }, 10000)) {
                *result = QStringLiteral("submenu \"%1\" did not open").arg(steps.at(level));
                top->close();
                return;
            }
            menu = sub;
        }
    };
    QTimer::singleShot(0, qApp, [poll] {
        if (*poll)
            (*poll)();
    });
    open();
    *poll = nullptr;
    return *outcome;
}

// A right click on item, which the user has selected before, and the entries of its context menu.
QString ItemMenu(QTreeWidget *tree, QTreeWidgetItem *item, const QStringList &path)
{
    tree->scrollToItem(item);
    const QRect rect = tree->visualItemRect(item);
    const QPoint at(rect.left() + qMin(rect.width() / 2, 40), rect.center().y());
    return PopupPick(
        [&] {
            QTest::mouseClick(tree->viewport(), Qt::RightButton, Qt::NoModifier, at);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
            QApplication::sendEvent(tree->viewport(), &event);
        },
        path);
}

// Ticks or unticks a chart: the item made current by a click, then Space on the list.
void TickItem(QTreeWidget *tree, QTreeWidgetItem *item)
{
    ClickItem(tree, item);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Space);
}

QLabel *StatusLabel(QMainWindow *window)
{
    return window->statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).value(0);
}

QWidget *ShownProgressBox()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->inherits("CVCProgressMessage") && top->isVisible())
            return top;
    }
    return nullptr;
}

// The scanner's states as the status bar showed them, each with what the window looked like then; the pictures of
// pre-scanning and of a half-measured page are taken at those moments.
class StatusLog
{
public:
    struct Seen {
        QString text;
        bool progressShown = false;
        bool listLocked = false;
    };

    StatusLog(WorkflowRun &run, CVCMainWindow *window) : m_run(run)
    {
        auto *charts = Named<QTreeWidget>(window, "treeDesignation");
        // Connected after the window's own slots, so each change is seen as the window left it.
        m_connections << QObject::connect(window->GetModel(), &CModel::UpdateOrloStatus, window,
                                          [this, window, charts](int) { OnStatus(window, charts); });
        auto *view = Named<CVCChartGraphicsView>(window, "graphicsViewChartLayout");
        m_connections << QObject::connect(window->GetModel(), &CModel::SetPatchColorDisplay, window,
                                          [this, view](uint number, uint count) { OnPatch(view, number, count); });
    }
    ~StatusLog()
    {
        for (const QMetaObject::Connection &c : m_connections)
            QObject::disconnect(c);
    }

    void ShootPrescanAs(const QString &screen) { m_prescanShot = screen; }
    void ShootHalfMeasuredAs(const QString &screen) { m_halfShot = screen; }
    // Patches drawn measured, of all patches, when the half-measured picture was taken.
    QPair<int, int> HalfColoured() const { return m_halfColoured; }
    const QList<Seen> &All() const { return m_seen; }
    void Clear() { m_seen.clear(); }
    const QString &Problem() const { return m_problem; }

    // While pre-scanning, the progress box was up and the data list locked.
    bool LockedWhilePrescanning() const
    {
        bool seen = false;
        for (const Seen &state : m_seen) {
            if (state.text != QLatin1String("Pre-scanning..."))
                continue;
            if (!state.progressShown || !state.listLocked)
                return false;
            seen = true;
        }
        return seen;
    }

    // The texts the user saw, in order, without repeats.
    QStringList Texts() const
    {
        QStringList texts;
        for (const Seen &seen : m_seen) {
            if (texts.isEmpty() || texts.last() != seen.text)
                texts << seen.text;
        }
        return texts;
    }

    // True when wanted appear in this order among the texts (others may come between).
    bool Passed(const QStringList &wanted) const
    {
        int next = 0;
        for (const QString &text : Texts()) {
            if (next < wanted.size() && text == wanted.at(next))
                ++next;
        }
        return next == wanted.size();
    }

private:
    void OnStatus(QMainWindow *window, QTreeWidget *charts)
    {
        Seen seen;
        seen.text = StatusLabel(window)->text();
        seen.progressShown = ShownProgressBox() != nullptr;
        seen.listLocked = !charts->isEnabled();
        m_seen << seen;
        if (m_prescanShot.isEmpty() || !seen.progressShown)
            return;
        const QString screen = m_prescanShot;
        m_prescanShot.clear();
        if (m_run.ProgramMode() && !QTest::qWaitForWindowExposed(ShownProgressBox(), 10000))
            Keep(QStringLiteral("the progress box was not exposed"));
        else
            Keep(m_run.Shoot(screen));
    }

    void OnPatch(CVCGraphicsView *view, uint number, uint count)
    {
        if (m_halfShot.isEmpty() || number < 1 || number * 2 < count)
            return;
        const QString screen = m_halfShot;
        m_halfShot.clear();
        int coloured = 0;
        int patches = 0;
        for (QGraphicsItem *item : view->scene()->items()) {
            if (auto *patch = dynamic_cast<CVCGraphicsPatch *>(item)) {
                ++patches;
                coloured += patch->GetDisplay() == kPatchMeasured ? 1 : 0;
            }
        }
        m_halfColoured = qMakePair(coloured, patches);
        Keep(m_run.Shoot(screen));
    }

    void Keep(const QString &problem)
    {
        if (m_problem.isEmpty())
            m_problem = problem;
    }

    WorkflowRun &m_run;
    QList<QMetaObject::Connection> m_connections;
    QList<Seen> m_seen;
    QString m_prescanShot;
    QString m_halfShot;
    QPair<int, int> m_halfColoured{-1, -1};
    QString m_problem;
};

// Brings a tab to the front by a click on its tab.
QString ClickTab(QTabWidget *tabs, QWidget *page)
{
    const int index = tabs && page ? tabs->indexOf(page) : -1;
    if (index < 0)
        return QStringLiteral("no such tab");
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, Qt::NoModifier, tabs->tabBar()->tabRect(index).center());
    return tabs->currentIndex() == index ? QString() : QStringLiteral("tab \"%1\" not shown").arg(tabs->tabText(index));
}

// ---- the walk, in stretches --------------------------------------------------------------------------------------

struct Walk {
    WorkflowRun &run;
    CVCMainWindow *window;
    QTreeWidget *charts;
    QString madeName;      // the chart made in the editor, after its rename
    QStringList pageFiles; // the two-page chart's TIFF pages
};

// A new chart in the editor: one area of 4 x 5 without QR code, saved; zoomed in and out to the limits, its
// measurement area set to "2x2" and its name changed.
void CreateChart(Walk &w)
{
    WorkflowRun &run = w.run;
    run.Step(QStringLiteral("new chart"));
    const int before = w.charts->topLevelItemCount();
    QString problem;
    ModalSteps editor({[&](QWidget *dialog) {
        auto *layout = Named<QTreeWidget>(dialog, "treeLayout");
        auto *addArea = Named<QToolButton>(dialog, "pushAddLayoutPatchArea");
        auto *saveAs = Named<QPushButton>(dialog, "okButton");
        if (!layout || !addArea || !saveAs) {
            problem = QStringLiteral("the editor lacks its layout tree or buttons");
            return;
        }
        QTest::mouseClick(addArea, Qt::LeftButton);
        QTreeWidgetItem *area = layout->topLevelItem(1);
        QTreeWidgetItem *counts = area ? area->child(1) : nullptr;
        if (!counts) {
            problem = QStringLiteral("no patch area after +");
            return;
        }
        problem = TypeIntoItem(layout, counts->child(0), 4);
        if (problem.isEmpty())
            problem = TypeIntoItem(layout, counts->child(1), 5);
        if (!problem.isEmpty())
            return;
        if (counts->child(2)->text(1) != QLatin1String("20")) {
            problem = QStringLiteral("the area counts %1 patches").arg(counts->child(2)->text(1));
            return;
        }
        QTreeWidgetItem *qr = layout->topLevelItem(0)->child(0);
        if (qr->text(1) != QLatin1String("None")) {
            ClickItem(layout, qr);
            problem = ChooseInCombo(qobject_cast<QComboBox *>(layout->itemWidget(qr, 1)), QStringLiteral("None"));
            if (!problem.isEmpty())
                return;
        }
        if (qr->text(1) != QLatin1String("None")) {
            problem = QStringLiteral("the QR code reads \"%1\"").arg(qr->text(1));
            return;
        }
        problem = run.Shoot(QStringLiteral("charts_01_editor"));
        if (!problem.isEmpty())
            return;
        if (!saveAs->isVisible() || !saveAs->isEnabled()) {
            problem = QStringLiteral("Save As not offered");
            return;
        }
        QTest::mouseClick(saveAs, Qt::LeftButton);
    }});
    QTest::mouseClick(Named<QPushButton>(w.window, "pushNewChart"), Qt::LeftButton);
    WF_DO(run, editor.Problem());
    WF_DO(run, problem);
    WF_WAIT(run, w.charts->topLevelItemCount() == before + 1);
    QTreeWidgetItem *made = w.charts->currentItem();
    WF_VERIFY(run, made && !made->parent() && made == w.charts->topLevelItem(before));
    WF_VERIFY(run, made->text(2) == QLatin1String("20"));

    run.Step(QStringLiteral("zoom limits"));
    auto *slider = Named<QSlider>(w.window, "sliderChartLayoutZoom");
    auto *zoomText = Named<QPushButton>(w.window, "pushChartLayoutZoom");
    WF_VERIFY(run, slider && zoomText);
    WF_VERIFY(run, ZoomToLimit(Named<QPushButton>(w.window, "pushChartLayoutZoomIn"), slider) == slider->maximum());
    const QString most = zoomText->text();
    WF_VERIFY(run, ZoomToLimit(Named<QPushButton>(w.window, "pushChartLayoutZoomOut"), slider) == slider->minimum());
    const QString least = zoomText->text();
    WF_VERIFY(run, most.endsWith(QLatin1Char('%')) && least.endsWith(QLatin1Char('%')));
    WF_VERIFY(run, most.chopped(1).toInt() > least.chopped(1).toInt());

    run.Step(QStringLiteral("measurement area"));
    WF_DO(run, ItemMenu(w.charts, made, {QStringLiteral("Measurement Area"), QStringLiteral("2x2")}));
    WF_WAIT(run, w.charts->topLevelItem(before)->text(3) == QLatin1String("2x2"));

    run.Step(QStringLiteral("rename"));
    made = w.charts->topLevelItem(before);
    ClickItem(w.charts, made);
    WF_DO(run, ItemMenu(w.charts, made, {QStringLiteral("Edit Name")}));
    QLineEdit *edit = nullptr;
    for (QLineEdit *open : w.charts->viewport()->findChildren<QLineEdit *>()) {
        if (open->isVisible())
            edit = open;
    }
    WF_VERIFY(run, edit);
    w.madeName = QStringLiteral("Walk 4x5");
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, w.madeName);
    QTest::keyClick(edit, Qt::Key_Return);
    WF_WAIT(run, w.charts->topLevelItem(before) && w.charts->topLevelItem(before)->text(0) == w.madeName);
}

// The five charts of File > Open, each with the question its file needs.
void ImportCharts(Walk &w)
{
    WorkflowRun &run = w.run;
    struct Import {
        const char *step;
        QString path;
        QString filter;
        ModalSteps::Answer second; // the question after the file dialog, if any
        QString name;              // of the chart made
        QString patches;
    };
    QString problem;
    const QString copy = run.WorkDir() + QStringLiteral("/T\u00e9st#1.csv");
    QFile::remove(copy);
    WF_VERIFY(run, QFile::copy(MainWindowData(QStringLiteral("chart_list.csv")), copy));
    const QString csv = QStringLiteral("csv File (*.csv)");
    const QString cgats = QStringLiteral("cgats File (*.txt)");
    const QList<Import> imports{
        {"open rows and columns", MainWindowData(QStringLiteral("chart_rows_columns.txt")), cgats,
         [&](QWidget *dialog) {
             auto *columns = Named<QSpinBox>(dialog, "spinColumn");
             auto *rows = Named<QSpinBox>(dialog, "spinRow");
             auto *buttons = Named<QDialogButtonBox>(dialog, "buttonBox");
             if (!columns || !rows || !buttons) {
                 problem = QStringLiteral("no layout question");
                 return;
             }
             columns->setFocus();
             QTest::keyClick(columns, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(columns, QStringLiteral("5"));
             // The rows follow the columns once the field is left.
             QTest::keyClick(columns, Qt::Key_Tab);
             if (rows->value() != 20)
                 problem = QStringLiteral("5 columns give %1 rows").arg(rows->value());
             const QString shot = run.Shoot(QStringLiteral("charts_02_rows_columns"));
             if (!shot.isEmpty())
                 problem = shot;
             QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
         },
         QStringLiteral("chart_rows_columns"), QStringLiteral("100")},
        {"open patch order", MainWindowData(QStringLiteral("chart_patch_order.txt")), cgats,
         [&](QWidget *dialog) {
             auto *randam = Named<QRadioButton>(dialog, "radioRandam");
             auto *buttons = Named<QDialogButtonBox>(dialog, "buttonBox");
             if (!randam || !buttons) {
                 problem = QStringLiteral("no patch-order question");
                 return;
             }
             QTest::mouseClick(randam, Qt::LeftButton);
             QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
         },
         QString(), QString()},
        {"open csv", MainWindowData(QStringLiteral("chart_list.csv")), csv, nullptr, QStringLiteral("chart_list"),
         QString()},
        {"open two pages", MainWindowData(QStringLiteral("chart_two_pages_qr.xml")), QStringLiteral("xml File (*.xml)"),
         nullptr, QStringLiteral("TwoPagesQR"), QStringLiteral("24")},
        // The name keeps the printable start of the file's name; nothing is dropped after that, so nothing said.
        {"open copy", copy, csv, nullptr, QStringLiteral("T"), QString()},
    };
    for (const Import &import : imports) {
        run.Step(QString::fromLatin1(import.step));
        const int before = w.charts->topLevelItemCount();
        QList<ModalSteps::Answer> answers{FileAnswer(import.path, import.filter, &problem)};
        if (import.second)
            answers << import.second;
        ModalSteps dialogs(answers);
        WF_DO(run, TriggerMenu(w.window, QStringLiteral("File"), QStringLiteral("Open Chart File")));
        WF_DO(run, problem);
        WF_DO(run, dialogs.Problem());
        WF_WAIT(run, w.charts->topLevelItemCount() == before + 1);
        QTreeWidgetItem *made = w.charts->topLevelItem(before);
        WF_VERIFY(run, w.charts->currentItem() == made);
        if (!import.name.isEmpty())
            WF_VERIFY(run, made->text(0) == import.name);
        if (!import.patches.isEmpty())
            WF_VERIFY(run, made->text(2) == import.patches);
        // No box came after the chart: the answers were all used up by the dialogs themselves.
        WF_VERIFY(run, !QApplication::activeModalWidget());
    }
}

// Waits until the status bar has shown wanted in this order; the failure lists what it showed.
QString WaitStatuses(WorkflowRun &run, const StatusLog &statuses, const QStringList &wanted)
{
    if (run.WaitFor([&] { return statuses.Passed(wanted); }))
        return QString();
    return QStringLiteral("the status bar showed only: %1").arg(statuses.Texts().join(QStringLiteral(" | ")));
}

const QString kWaiting = QStringLiteral("Waiting. please insert chart.");
const QString kFeeding = QStringLiteral("Feeding paper...");
const QString kPrescanning = QStringLiteral("Pre-scanning...");
const QString kMeasuring = QStringLiteral("Now measuring...");

// The tool-bar connect: once refused by the scanner (the connection settings come, Cancel), then for real.
void Connect(Walk &w)
{
    WorkflowRun &run = w.run;
    run.Step(QStringLiteral("connect refused"));
    auto *action = Named<QAction>(w.window, "actionOrloConnectDisconnect");
    QWidget *button = Named<QToolBar>(w.window, "toolBar")->widgetForAction(action);
    WF_VERIFY(run, button && !action->isChecked());
    QStringList boxes;
    QString problem;
    int settingsShown = 0;
    const ModalSteps::Answer respond = [&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes << box->text();
            QTest::mouseClick(box->buttons().value(0), Qt::LeftButton);
            return;
        }
        auto *devices = Named<QTreeWidget>(modal, "treeDeviceList");
        if (!devices || devices->topLevelItemCount() == 0) {
            problem = QStringLiteral("the connection settings list no scanner");
            return;
        }
        boxes << QStringLiteral("settings");
        if (++settingsShown == 1) {
            // The scanner refuses the connection the user asks for here.
            OrloSim_FailNext("Orlo_Connect", 1);
            ClickItem(devices, devices->topLevelItem(0));
            QTest::mouseClick(Named<QPushButton>(modal, "pushConnect"), Qt::LeftButton);
        } else {
            QTest::mouseClick(Named<QPushButton>(modal, "pushCancel"), Qt::LeftButton);
        }
    };
    {
        ModalSteps answers({respond, respond, respond, respond});
        QTest::mouseClick(button, Qt::LeftButton);
        WF_DO(run, problem);
        WF_DO(run, answers.Problem());
    }
    run.Step(QStringLiteral("connect refused, seen: %1").arg(boxes.join(QStringLiteral(" | "))));
    // No scanner is stored in a fresh HOME: said, then the settings; the refused connection: said, the settings again.
    const QString failed = FindMessageRecord(4).text;
    WF_VERIFY(run, boxes == (QStringList{failed, QStringLiteral("settings"), failed, QStringLiteral("settings")}));
    WF_VERIFY(run, !action->isChecked());
    WF_VERIFY(run, !QApplication::activeModalWidget());

    run.Step(QStringLiteral("connect"));
    WF_DO(run, ConnectScanner(run, w.window));
    WF_WAIT(run, StatusLabel(w.window)->text() == kWaiting);
    WF_DO(run, run.Shoot(QStringLiteral("charts_03_connected")));
}

// The two-page chart ticked, its pages written as TIFF, fed one after the other and measured; the second page's
// layout comes back different from the chart's, and the user measures anyway.
void MeasureTwoPages(Walk &w)
{
    WorkflowRun &run = w.run;
    run.Step(QStringLiteral("tick"));
    QTreeWidgetItem *chart = TopLevelNamed(w.charts, QStringLiteral("TwoPagesQR"));
    WF_VERIFY(run, chart);
    StatusLog statuses(run, w.window);
    TickItem(w.charts, chart);
    WF_WAIT(run, chart->checkState(0) == Qt::Checked && StatusLabel(w.window)->text() == kWaiting);

    run.Step(QStringLiteral("save tiff"));
    const QString folder = run.WorkDir() + QStringLiteral("/pages");
    QDir(folder).removeRecursively();
    WF_VERIFY(run, QDir().mkpath(folder));
    QString problem;
    {
        ModalSteps save(
            {FileAnswer(folder + QStringLiteral("/TwoPagesQR.tiff"), QStringLiteral("tiff File (*.tiff)"), &problem)});
        WF_DO(run, ItemMenu(w.charts, chart, {QStringLiteral("Save Tiff image data")}));
        WF_DO(run, problem);
        WF_DO(run, save.Problem());
    }
    const QStringList pages = QDir(folder).entryList({QStringLiteral("*.tiff")}, QDir::Files, QDir::Name);
    WF_VERIFY(run, pages.size() == 2);
    w.pageFiles = QStringList{folder + QLatin1Char('/') + pages.at(0), folder + QLatin1Char('/') + pages.at(1)};

    run.Step(QStringLiteral("page 1"));
    statuses.Clear();
    statuses.ShootPrescanAs(QStringLiteral("charts_04_prescanning"));
    statuses.ShootHalfMeasuredAs(QStringLiteral("charts_05_measuring"));
    WF_DO(run, run.FeedSheet(w.pageFiles.at(0)));
    WF_DO(run, WaitStatuses(run, statuses, {kFeeding, kPrescanning, kMeasuring, kWaiting}));
    WF_DO(run, statuses.Problem());
    WF_WAIT(run, chart->childCount() == 1 && w.charts->isEnabled() && !ShownProgressBox());
    // Half-way through the page, part of its patches were coloured.
    WF_VERIFY(run, statuses.HalfColoured().first > 0);
    WF_VERIFY(run, statuses.HalfColoured().first < statuses.HalfColoured().second);
    WF_VERIFY(run, statuses.LockedWhilePrescanning());

    run.Step(QStringLiteral("page 2"));
    statuses.Clear();
    // The scanner finds the page's three rows as two areas: 2 x 4 above 1 x 4.
    OrloLayoutRecord layout{};
    layout.width = 20000;
    layout.height = 15000;
    layout.areaCount = 2;
    layout.patchCount = 12;
    const int32_t counts[2][3] = {{2, 4, 8}, {1, 4, 4}};
    const int32_t geometry[2][6] = {{1000, 1000, 1000, 1000, 1200, 1200}, {1000, 3400, 1000, 1000, 1200, 1200}};
    for (int a = 0; a < 2; ++a) {
        std::copy(counts[a], counts[a] + 3, layout.areaCounts[a]);
        std::copy(geometry[a], geometry[a] + 6, layout.areaGeometry[a]);
    }
    std::vector<OrloMeasurePoint> points;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            points.push_back({1000 + c * 1200 + 500, 1000 + r * 1200 + 500, 0, r, c});
    OrloSim_SetNextRecognition(0, &layout, points.data(), int(points.size()));
    // The scanner waits for the user's answer: it reports no run of its own while the warning is up.
    OrloSim_ForceStatus(0, -1, -1, -1);
    const ModalSteps::Answer measureAnyway = ClickBoxButton(QStringLiteral("Measurement"), QString(), &problem);
    ModalSteps mismatch({[&](QWidget *box) {
        OrloSim_ForceStatus(-1, -1, -1, -1);
        measureAnyway(box);
    }});
    WF_DO(run, run.FeedSheet(w.pageFiles.at(1)));
    WF_DO(run, WaitStatuses(run, statuses, {kFeeding, kPrescanning, kMeasuring, kWaiting}));
    WF_DO(run, problem);
    WF_DO(run, mismatch.Problem());
    WF_DO(run, statuses.Problem());
    WF_WAIT(run, chart->childCount() == 1 && w.charts->isEnabled() && !ShownProgressBox());
    WF_VERIFY(run, statuses.LockedWhilePrescanning());
    // One measurement of both pages, a record for every patch.
    WF_VERIFY(run, chart->child(0)->text(2) == QLatin1String("24"));
    WF_DO(run, run.Shoot(QStringLiteral("charts_06_page2_done")));
}

// ---- what a patch must show --------------------------------------------------------------------------------------

// The colour of an RGB patch as the scanner's print model reflects it and libvexcolor computes it.
struct Expected {
    float reflectance[simprint::kBandCount];
    float lab[3];
};

QString ExpectedColour(int r, int g, int b, bool uvExcluded, int observer, int illuminantCode, Expected *out)
{
    simprint::Reflectance(simprint::InksFromRgb(r, g, b), uvExcluded, out->reflectance);
    CalColorRecord lab{};
    lab.observer = observer;
    lab.illuminant = illuminantCode;
    if (SpectrumToColor(out->reflectance, simprint::kBandCount, &lab) != 0)
        return QStringLiteral("libvexcolor computed no colour");
    std::copy(lab.values, lab.values + 3, out->lab);
    return QString();
}

// The patch item of the chart view at (area, row, column), clicked in its middle.
QString ClickPatch(CVCGraphicsView *view, int area, int row, int column)
{
    if (!view->isVisible())
        return QStringLiteral("the chart view is not shown");
    for (QGraphicsItem *item : view->scene()->items()) {
        auto *patch = dynamic_cast<CVCGraphicsPatch *>(item);
        if (!patch)
            continue;
        int a = -1, r = -1, c = -1;
        patch->GetIndices(&a, &r, &c);
        if (a != area || r != row || c != column)
            continue;
        view->ensureVisible(patch);
        const QPoint at = view->mapFromScene(patch->sceneBoundingRect().center());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        return QString();
    }
    return QStringLiteral("no patch %1/%2/%3 in the view").arg(area).arg(row).arg(column);
}

// The ids of the conditions ticked in the Measurement Settings dock, in its order: the value columns.
QList<int> TickedConditions(QTreeWidget *settings)
{
    QList<int> ids;
    QTreeWidgetItem *conditions = settings->topLevelItem(kConditionRowConditions);
    for (int i = 0; conditions && i < conditions->childCount(); ++i) {
        if (conditions->child(i)->checkState(1) == Qt::Checked)
            ids << i;
    }
    return ids;
}

// The values the Measurement Data dock and the spectral graph show for the clicked patch against the print model:
// L*a*b* and the reflectance per ticked condition, shown with two decimals, one curve per condition.
QString CheckShownPatch(CVCMainWindow *window, int id, int r, int g, int b)
{
    auto *settings = Named<QTreeWidget>(window, "treeMeasureSetting");
    auto *values = Named<QTreeWidget>(window, "treeMeasureData");
    const QList<int> conditions = TickedConditions(settings);
    if (conditions.isEmpty())
        return QStringLiteral("no condition ticked");
    if (values->columnCount() != conditions.size() + 1)
        return QStringLiteral("%1 value columns for %2 conditions")
            .arg(values->columnCount() - 1)
            .arg(conditions.size());
    if (values->topLevelItem(kConditionRowId)->text(1) != QString::number(id))
        return QStringLiteral("patch %1 shown where %2 was clicked")
            .arg(values->topLevelItem(kConditionRowId)->text(1))
            .arg(id);
    QTreeWidgetItem *colourSpace = settings->topLevelItem(kConditionRowColorSpace);
    const int observer = colourSpace->child(3)->text(1).startsWith(QLatin1String("10")) ? 1 : 0;
    const QString illuminantName = colourSpace->child(4)->text(1);
    const int illuminant = IlluminantNames().indexOf(illuminantName);
    if (illuminant < 0 || illuminant == kAutoIlluminantId)
        return QStringLiteral("illuminant \"%1\" not fixed").arg(illuminantName);
    QTreeWidgetItem *lab = values->topLevelItem(kConditionRowColorSpace)->child(0);
    QTreeWidgetItem *spectral = values->topLevelItem(kConditionRowSpectral);
    for (int k = 0; k < conditions.size(); ++k) {
        Expected expected;
        // M2 is measured without the paper's brightener.
        const QString failed =
            ExpectedColour(r, g, b, conditions.at(k) == 2, observer, IlluminantCode(illuminant), &expected);
        if (!failed.isEmpty())
            return failed;
        for (int i = 0; i < 3; ++i) {
            const double shown = lab->child(i)->text(k + 1).toDouble();
            if (std::abs(shown - double(expected.lab[i])) > 0.005 + 1e-3)
                return QStringLiteral("patch %1, condition %2, %3: shown %4, print model %5")
                    .arg(id)
                    .arg(conditions.at(k))
                    .arg(lab->child(i)->text(0))
                    .arg(shown)
                    .arg(double(expected.lab[i]));
        }
        for (int i = 0; i < simprint::kBandCount; ++i) {
            const double shown = spectral->child(i)->text(k + 1).chopped(1).toDouble() / 100.0;
            if (std::abs(shown - double(expected.reflectance[i])) > 0.00005 + 1e-3)
                return QStringLiteral("patch %1, condition %2, %3 nm: shown %4, print model %5")
                    .arg(id)
                    .arg(conditions.at(k))
                    .arg(380 + 10 * i)
                    .arg(shown)
                    .arg(double(expected.reflectance[i]));
        }
    }
    QtCharts::QChartView *graph = Named<QWidget>(window, "dockSpectrumGraph")->findChild<QtCharts::QChartView *>();
    if (!graph || graph->chart()->series().size() != conditions.size())
        return QStringLiteral("the spectral graph does not hold one curve per condition");
    return QString();
}

// The measurement selected, patches clicked on both pages, then the settings a user changes while looking.
void Inspect(Walk &w)
{
    WorkflowRun &run = w.run;
    run.Step(QStringLiteral("select measurement"));
    QTreeWidgetItem *chart = TopLevelNamed(w.charts, QStringLiteral("TwoPagesQR"));
    WF_VERIFY(run, chart && chart->childCount() == 1);
    QTreeWidgetItem *measurement = chart->child(0);
    ClickItem(w.charts, measurement);
    WF_WAIT(run, w.charts->currentItem() == measurement);
    // The mismatch warning of page 2 left the measured points on top; the chart layout is clicked back.
    WF_DO(run, ClickTab(Named<QTabWidget>(w.window, "tabChartCanvas"), Named<QWidget>(w.window, "ChartLayout")));
    auto *view = Named<CVCChartGraphicsView>(w.window, "graphicsViewChartLayout");
    auto *page = Named<QPushButton>(w.window, "pushChartLayoutPage");
    WF_VERIFY(run, view->isVisible() && page->isVisible());
    WF_WAIT(run, page->text() == QLatin1String("1 / 2"));

    run.Step(QStringLiteral("patch on page 1"));
    // Patch 7: row 2, column 3 of page 1, RGB 20/60/255.
    WF_DO(run, ClickPatch(view, 0, 1, 2));
    WF_DO(run, CheckShownPatch(w.window, 7, 20, 60, 255));

    run.Step(QStringLiteral("patch on page 2"));
    WF_DO(run, PopupPick([&] { QTest::mouseClick(page, Qt::LeftButton); }, {QStringLiteral("2")}));
    WF_WAIT(run, page->text() == QLatin1String("2 / 2"));
    // Patch 24: row 3, column 4 of page 2, RGB 40/90/255.
    WF_DO(run, ClickPatch(view, 0, 2, 3));
    WF_DO(run, CheckShownPatch(w.window, 24, 40, 90, 255));
    WF_DO(run, run.Shoot(QStringLiteral("charts_07_patch_values")));

    auto *settings = Named<QTreeWidget>(w.window, "treeMeasureSetting");
    run.Step(QStringLiteral("white reference paper"));
    QTreeWidgetItem *whiteReference = settings->topLevelItem(kConditionRowDensity)->child(0);
    QString problem;
    {
        // No paper white was measured: the window says so and goes back to absolute values.
        ModalSteps noPaper({ClickBoxButton(QStringLiteral("OK"), FindMessageRecord(33).text, &problem)});
        ClickItem(settings, whiteReference);
        auto *combo = qobject_cast<QComboBox *>(settings->itemWidget(whiteReference, 1));
        WF_VERIFY(run, combo && combo->currentText() == QLatin1String("Absolute"));
        WF_VERIFY(run, combo->findText(QStringLiteral("Paper")) == combo->currentIndex() + 1);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        WF_WAIT(run, !noPaper.Seen().isEmpty());
        ClickItem(settings, settings->topLevelItem(kConditionRowSpectral));
        WF_DO(run, noPaper.Problem());
        WF_DO(run, problem);
    }
    WF_WAIT(run, whiteReference->text(1) == QLatin1String("Absolute"));

    run.Step(QStringLiteral("observer 10 degree"));
    QTreeWidgetItem *observer = settings->topLevelItem(kConditionRowColorSpace)->child(3);
    ClickItem(settings, observer);
    WF_DO(run,
          ChooseInCombo(qobject_cast<QComboBox *>(settings->itemWidget(observer, 1)), QStringLiteral("10 degree")));
    ClickItem(settings, settings->topLevelItem(kConditionRowSpectral));
    WF_VERIFY(run, observer->text(1) == QLatin1String("10 degree"));
    WF_DO(run, ClickPatch(view, 0, 2, 3));
    WF_DO(run, CheckShownPatch(w.window, 24, 40, 90, 255));

    run.Step(QStringLiteral("condition off"));
    const QList<int> before = TickedConditions(settings);
    WF_VERIFY(run, before.size() >= 2);
    QTreeWidgetItem *first = settings->topLevelItem(kConditionRowConditions)->child(before.first());
    // The check box sits in the second column.
    settings->scrollToItem(first);
    const QRect row = settings->visualItemRect(first);
    QStyleOptionViewItem option;
    option.initFrom(settings->viewport());
    option.rect = QRect(settings->columnViewportPosition(1), row.top(), settings->columnWidth(1), row.height());
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = first->text(1);
    const QRect check = settings->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, settings);
    QTest::mouseClick(settings->viewport(), Qt::LeftButton, Qt::NoModifier, check.center());
    WF_WAIT(run, TickedConditions(settings) == before.mid(1));
    WF_DO(run, ClickPatch(view, 0, 2, 3));
    WF_DO(run, CheckShownPatch(w.window, 24, 40, 90, 255));
}

// The measured points of page 2 edited: one point deleted, and the chart registered from what is left.
void EditPoints(Walk &w)
{
    WorkflowRun &run = w.run;
    run.Step(QStringLiteral("edit measurement points"));
    QTreeWidgetItem *chart = TopLevelNamed(w.charts, QStringLiteral("TwoPagesQR"));
    WF_VERIFY(run, chart && chart->childCount() == 1);
    ClickItem(w.charts, chart->child(0));
    WF_DO(run, ClickTab(Named<QTabWidget>(w.window, "tabChartCanvas"), Named<QWidget>(w.window, "MeasuredPoint")));
    auto *edit = Named<QPushButton>(w.window, "pushMeasuredPointModifyPatch");
    WF_WAIT(run, edit->isVisible() && edit->isEnabled());
    const int before = w.charts->topLevelItemCount();
    int markersBefore = -1;
    int markersAfter = -1;
    QString problem;
    ModalSteps editor({[&](QWidget *dialog) {
        auto *view = Named<QGraphicsView>(dialog, "graphicsView");
        auto *registerChart = Named<QPushButton>(dialog, "pushRegisterChart");
        if (!view || !registerChart) {
            problem = QStringLiteral("the point editor lacks its view or Register Chart");
            return;
        }
        const auto markers = [view] {
            QList<QGraphicsItem *> found;
            for (QGraphicsItem *item : view->scene()->items()) {
                if (dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item))
                    found << item;
            }
            return found;
        };
        const QList<QGraphicsItem *> shown = markers();
        markersBefore = shown.size();
        if (shown.isEmpty()) {
            problem = QStringLiteral("no measured points drawn");
            return;
        }
        // A band around the first marker, then Delete.
        const QRectF around = shown.first()->sceneBoundingRect().adjusted(-2, -2, 2, 2);
        view->ensureVisible(around);
        viewprobe::PerformDrag(view, {around.topLeft(), around.bottomRight(), false, 4});
        QTest::keyClick(view, Qt::Key_Delete);
        markersAfter = markers().size();
        const QString shot = run.Shoot(QStringLiteral("charts_08_modify_points"));
        if (!shot.isEmpty())
            problem = shot;
        QTest::mouseClick(registerChart, Qt::LeftButton);
    }});
    QTest::mouseClick(edit, Qt::LeftButton);
    WF_DO(run, editor.Problem());
    WF_DO(run, problem);
    WF_VERIFY(run, markersAfter == markersBefore - 1);
    WF_WAIT(run, w.charts->topLevelItemCount() == before + 1);
    // The registered chart: both pages, the deleted point's patch left out.
    WF_VERIFY(run, w.charts->topLevelItem(before)->text(2) == QLatin1String("23"));
}

QStringList ReadTextLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The elements of a chart XML with their attributes, for comparing two files; times and ids differ by design.
QStringList ChartElements(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("unreadable %1").arg(path)};
    QStringList elements;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        QStringList attributes;
        for (const QXmlStreamAttribute &attribute : xml.attributes()) {
            const QString name = attribute.name().toString();
            if (name != QLatin1String("CreateTime") && name != QLatin1String("UUID") &&
                name != QLatin1String("Application") && name != QLatin1String("Version"))
                attributes << name + QLatin1Char('=') + attribute.value().toString();
        }
        attributes.sort();
        elements << xml.name().toString() + QLatin1Char(' ') + attributes.join(QLatin1Char(' '));
    }
    if (xml.hasError())
        elements << QStringLiteral("error %1").arg(xml.errorString());
    return elements;
}

struct Tool {
    int code = -1;
    QString out;
    QString err;
};

Tool RunTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    Tool tool;
    if (!process.waitForStarted(10000) || !process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        tool.out = QStringLiteral("%1 did not run").arg(program);
        return tool;
    }
    tool.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    tool.out = QString::fromUtf8(process.readAllStandardOutput());
    tool.err = QString::fromUtf8(process.readAllStandardError());
    return tool;
}

// An export file as its own reader takes it: CGATS through cgats_check, XML through xmllint, text with one data
// row per patch; tables is the number of conditions the file holds.
QString CheckExport(int filter, const QString &path, int patches, int tables)
{
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
        return QStringLiteral("no export %1").arg(path);
    if (filter == 3 || filter == 8) {
        const Tool check = RunTool(QCoreApplication::applicationDirPath() + QStringLiteral("/cgats_check"), {path});
        const QRegularExpression sets(QStringLiteral("^table \\d+ sets (\\d+) rows (\\d+)$"),
                                      QRegularExpression::MultilineOption);
        int found = 0;
        bool complete = check.code == 0;
        for (auto match = sets.globalMatch(check.out); match.hasNext();) {
            const QRegularExpressionMatch table = match.next();
            ++found;
            complete = complete && table.captured(1).toInt() == patches && table.captured(2).toInt() == patches;
        }
        if (!complete || found != tables)
            return QStringLiteral("cgats_check on %1: %2").arg(path, check.out + check.err);
        return QString();
    }
    if (filter == 2 || filter == 4 || filter == 7 || filter == 9) {
        const Tool lint =
            RunTool(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--nonet"), path});
        return lint.code == 0 ? QString() : QStringLiteral("xmllint on %1: %2").arg(path, lint.out + lint.err);
    }
    // Text: per condition a header line "ID...", then one row per patch that starts with the patch's ID.
    QList<int> rows;
    const QRegularExpression row(QStringLiteral("^\\d+[,\\t]"));
    for (const QString &line : ReadTextLines(path)) {
        if (line.startsWith(QLatin1String("ID")))
            rows << 0;
        else if (!rows.isEmpty() && row.match(line).hasMatch())
            ++rows.last();
    }
    bool complete = rows.size() == tables;
    QStringList counts;
    for (int n : rows) {
        counts << QString::number(n);
        complete = complete && n == patches;
    }
    if (!complete)
        return QStringLiteral("%1: data rows per table %2, for %3 patches in %4 tables")
            .arg(path, counts.join(QStringLiteral(", ")))
            .arg(patches)
            .arg(tables);
    return QString();
}

// Settings > Environment: one export file for all conditions, or one per condition.
void SetSingleFile(Walk &w, bool single)
{
    WorkflowRun &run = w.run;
    QString problem;
    ModalSteps settings({[&](QWidget *dialog) {
        auto *tabs = Named<QTabWidget>(dialog, "tabSetting");
        QWidget *environment = Named<QWidget>(dialog, "tabEnviron");
        if (!tabs || !environment) {
            problem = QStringLiteral("no Environment tab");
            return;
        }
        problem = ClickTab(tabs, environment);
        if (!problem.isEmpty())
            return;
        QTest::mouseClick(Named<QRadioButton>(dialog, single ? "radioOutputSingleFile" : "radioOutputMultipleFile"),
                          Qt::LeftButton);
        QTest::mouseClick(Named<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    }});
    WF_DO(run, TriggerMenu(w.window, QStringLiteral("Settings"), QStringLiteral("Environment")));
    WF_DO(run, problem);
    WF_DO(run, settings.Problem());
}

// Saved as XML and as TIFF pages again, exported in every format, then deleted.
void SaveExportDelete(Walk &w)
{
    WorkflowRun &run = w.run;
    QTreeWidgetItem *chart = TopLevelNamed(w.charts, QStringLiteral("TwoPagesQR"));
    WF_VERIFY(run, chart && chart->childCount() == 1);
    QString problem;

    run.Step(QStringLiteral("save xml"));
    const QString xml = run.WorkDir() + QStringLiteral("/TwoPagesQR-saved.xml");
    QFile::remove(xml);
    ClickItem(w.charts, chart);
    {
        ModalSteps save({FileAnswer(xml, QStringLiteral("xml File (*.xml)"), &problem)});
        WF_DO(run, ItemMenu(w.charts, chart, {QStringLiteral("Save")}));
        WF_DO(run, problem);
        WF_DO(run, save.Problem());
    }
    const QStringList original = ChartElements(MainWindowData(QStringLiteral("chart_two_pages_qr.xml")));
    const QStringList saved = ChartElements(xml);
    WF_VERIFY(run, !saved.isEmpty());
    if (saved != original) {
        for (int i = 0; i < qMax(saved.size(), original.size()); ++i) {
            if (saved.value(i) != original.value(i))
                WF_DO(run, QStringLiteral("saved \"%1\" where the file read had \"%2\"")
                               .arg(saved.value(i), original.value(i)));
        }
    }

    run.Step(QStringLiteral("save tiff again"));
    const QString tiff = QFileInfo(w.pageFiles.at(0)).absolutePath() + QStringLiteral("/TwoPagesQR.tiff");
    // Page 1 emptied, so that its rewrite shows.
    QFile placeholder(w.pageFiles.at(0));
    WF_VERIFY(run, placeholder.open(QIODevice::WriteOnly | QIODevice::Truncate));
    placeholder.close();
    {
        ModalSteps save({FileAnswer(tiff, QStringLiteral("tiff File (*.tiff)"), &problem),
                         ClickBoxButton(QStringLiteral("Yes"),
                                        QFileInfo(tiff).fileName() +
                                            QStringLiteral(" already exists. Are you sure you want to overwrite?"),
                                        &problem)});
        WF_DO(run, ItemMenu(w.charts, chart, {QStringLiteral("Save Tiff image data")}));
        WF_DO(run, problem);
        WF_DO(run, save.Problem());
    }
    // Each page's code names the chart, its page of two and the page's one area of 3 x 4 patches.
    QStringList codes;
    for (int page = 0; page < w.pageFiles.size(); ++page) {
        WF_VERIFY(run, QFileInfo(w.pageFiles.at(page)).size() > 0);
        const Tool scan = RunTool(QStringLiteral("zbarimg"),
                                  {QStringLiteral("--quiet"), QStringLiteral("--raw"), w.pageFiles.at(page)});
        WF_VERIFY(run, scan.code == 0);
        codes << scan.out.trimmed();
        const QString expected = QStringLiteral("Orlo:0000TWOPAGESQR:2:%1:12:1:3:4:12:").arg(page + 1);
        WF_DO(run,
              codes.last().startsWith(expected)
                  ? QString()
                  : QStringLiteral("page %1 reads \"%2\", not \"%3...\"").arg(page + 1).arg(codes.last(), expected));
    }

    // Exports of the measurement: every format with one file, then one format with a file per condition.
    auto *settings = Named<QTreeWidget>(w.window, "treeMeasureSetting");
    const int conditions = TickedConditions(settings).size();
    WF_VERIFY(run, conditions >= 1);
    QTreeWidgetItem *measurement = chart->child(0);
    ClickItem(w.charts, measurement);
    const QString folder = run.WorkDir() + QStringLiteral("/export");
    QDir(folder).removeRecursively();
    WF_VERIFY(run, QDir().mkpath(folder));
    run.Step(QStringLiteral("single export file"));
    SetSingleFile(w, true);
    WF_CHECK(run);
    const QStringList filters = OutputFormatFilters();
    for (int filter = 0; filter < filters.size(); ++filter) {
        run.Step(QStringLiteral("export %1").arg(filters.at(filter)));
        const QString extension = filters.at(filter).section(QLatin1Char('.'), -1).chopped(1);
        const QString path = folder + QStringLiteral("/all_%1.%2").arg(filter).arg(extension);
        ModalSteps save({FileAnswer(path, filters.at(filter), &problem)});
        WF_DO(run, TriggerMenu(w.window, QStringLiteral("File"), QStringLiteral("Export Data")));
        WF_DO(run, problem);
        WF_DO(run, save.Problem());
        WF_DO(run, CheckExport(filter, path, 24, conditions));
    }
    WF_VERIFY(run, QDir(folder).entryList(QDir::Files).size() == filters.size());

    run.Step(QStringLiteral("export per condition"));
    SetSingleFile(w, false);
    WF_CHECK(run);
    const QString perCondition = folder + QStringLiteral("/each");
    WF_VERIFY(run, QDir().mkpath(perCondition));
    {
        ModalSteps save({[&](QWidget *modal) {
            const QString shot = run.Shoot(QStringLiteral("charts_09_export_dialog"));
            if (!shot.isEmpty())
                problem = shot;
            FileAnswer(perCondition + QStringLiteral("/each.txt"), filters.at(3), &problem)(modal);
        }});
        WF_DO(run, TriggerMenu(w.window, QStringLiteral("File"), QStringLiteral("Export Data")));
        WF_DO(run, problem);
        WF_DO(run, save.Problem());
    }
    // One file per ticked condition, none under the chosen name itself.
    const QStringList written = QDir(perCondition).entryList(QDir::Files, QDir::Name);
    WF_VERIFY(run, written.size() == conditions);
    WF_VERIFY(run, !written.contains(QStringLiteral("each.txt")));
    for (const QString &file : written)
        WF_DO(run, CheckExport(3, perCondition + QLatin1Char('/') + file, 24, 1));

    run.Step(QStringLiteral("delete refused"));
    const int chartId = chart->data(0, Qt::UserRole).toInt();
    const QString chartFile = AppDataDir() + QStringLiteral("/Chart/%1.vrchart").arg(chartId, 5, 10, QLatin1Char('0'));
    WF_VERIFY(run, QFile::exists(chartFile));
    const int charts = w.charts->topLevelItemCount();
    ClickItem(w.charts, chart);
    {
        const QString sure = QStringLiteral("Do you want to delete selected data?");
        ModalSteps refused(
            {ClickBoxButton(QStringLiteral("Yes"), sure, &problem),
             ClickBoxButton(QStringLiteral("OK"), QStringLiteral("Cannot delete, because measurement data exist."),
                            &problem)});
        WF_DO(run, ItemMenu(w.charts, chart, {QStringLiteral("Delete")}));
        WF_DO(run, problem);
        WF_DO(run, refused.Problem());
    }
    WF_VERIFY(run, w.charts->topLevelItemCount() == charts);
    WF_VERIFY(run, QFile::exists(chartFile));

    run.Step(QStringLiteral("delete measurement"));
    measurement = chart->child(0);
    ClickItem(w.charts, measurement);
    {
        ModalSteps sure(
            {ClickBoxButton(QStringLiteral("Yes"), QStringLiteral("Do you want to delete selected data?"), &problem)});
        WF_DO(run, ItemMenu(w.charts, measurement, {QStringLiteral("Delete")}));
        WF_DO(run, problem);
        WF_DO(run, sure.Problem());
    }
    WF_WAIT(run, chart->childCount() == 0);

    run.Step(QStringLiteral("delete chart"));
    ClickItem(w.charts, chart);
    {
        ModalSteps sure(
            {ClickBoxButton(QStringLiteral("Yes"), QStringLiteral("Do you want to delete selected data?"), &problem)});
        WF_DO(run, ItemMenu(w.charts, chart, {QStringLiteral("Delete")}));
        WF_DO(run, problem);
        WF_DO(run, sure.Problem());
    }
    WF_WAIT(run, !TopLevelNamed(w.charts, QStringLiteral("TwoPagesQR")));
    WF_VERIFY(run, w.charts->topLevelItemCount() == charts - 1);
    WF_VERIFY(run, !QFile::exists(chartFile));
    WF_VERIFY(run,
              !QDir(AppDataDir() + QStringLiteral("/Chart/Data/%1").arg(chartId, 5, 10, QLatin1Char('0'))).exists() ||
                  QDir(AppDataDir() + QStringLiteral("/Chart/Data/%1").arg(chartId, 5, 10, QLatin1Char('0')))
                      .entryList(QDir::Files)
                      .isEmpty());
}
} // namespace

void RunCharts(WorkflowRun &run)
{
    const int code = run.Start([&](CVCMainWindow *window) {
        Walk w{run, window, Named<QTreeWidget>(window, "treeDesignation"), QString(), QStringList()};
        WF_VERIFY(run, w.charts);
        CreateChart(w);
        WF_CHECK(run);
        ImportCharts(w);
        WF_CHECK(run);
        Connect(w);
        WF_CHECK(run);
        MeasureTwoPages(w);
        WF_CHECK(run);
        Inspect(w);
        WF_CHECK(run);
        EditPoints(w);
        WF_CHECK(run);
        SaveExportDelete(w);
        WF_CHECK(run);

        run.Step(QStringLiteral("exit"));
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
    });
    run.Step(QStringLiteral("program end"));
    WF_VERIFY(run, run.WalkRan());
    WF_VERIFY(run, code == 0);
}
