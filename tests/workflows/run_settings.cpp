// Settings, tools and help: an ink colour changed, a light source of the Lumet taken as a user illuminant and
// measured under, the illuminant deleted again, the diagnosis cancelled before the next sheet, the manual asked for.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "app/applicationdata.h"
#include "chart/vcgraphicspatch.h"
#include "mainwindow/vcmainwindow.h"

#include "simprint.h"
#include "vexcolor.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGraphicsItem>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// Row 002 of the simulated Lumet is D50 as libvexcolor tabulates it (its illuminant table, 300-780 nm at 5 nm).
constexpr int kD50 = 2;
constexpr int kLightPoints = 421; // 360-780 nm at 1 nm
// The clicked patch, row 1, column 3 of the fixture: 80 % magenta (and 60 % ink 5).
const simprint::Inks kClickedInks{0.0f, 0.8f, 0.0f, 0.0f};
// The values are shown with two decimals.
constexpr double kShownTolerance = 0.01;

// The stored ink colour of channel 5 becomes this (L*, a*, b*): a blue far from the orange it starts as.
constexpr double kInk5[3] = {45.0, -5.0, -45.0};
const char *const kUserIlluminant = "UserIlluminant1";
constexpr int kUserIlluminantBit = 15;

template <typename T>
T *Named(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

// The dialog's own button of that name, not one of a dialog it holds.
QPushButton *ButtonOf(QWidget *dialog, const char *name)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>(QLatin1String(name))) {
        if (button->window() == dialog)
            return button;
    }
    return nullptr;
}

QModelIndex IndexOf(QTreeWidget *tree, QTreeWidgetItem *item, int column)
{
    if (!item->parent())
        return tree->model()->index(tree->indexOfTopLevelItem(item), column);
    return tree->model()->index(item->parent()->indexOfChild(item), column, IndexOf(tree, item->parent(), 0));
}

// Clicks the check box of item in column as the user does; returns a problem text when the state did not turn.
QString ClickCheckBox(QTreeWidget *tree, QTreeWidgetItem *item, int column)
{
    tree->scrollToItem(item);
    const Qt::CheckState before = item->checkState(column);
    QStyleOptionViewItem option;
    option.initFrom(tree->viewport());
    option.rect = tree->visualRect(IndexOf(tree, item, column));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text(column);
    option.checkState = before;
    const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    if (item->checkState(column) == before)
        return QStringLiteral("the check box of \"%1\" did not turn").arg(item->text(0));
    return QString();
}

QTreeWidgetItem *ItemNamed(QTreeWidget *tree, const QString &text)
{
    const QList<QTreeWidgetItem *> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.first();
}

// Answers the next message box from inside its loop. Over a dialog that stays open (the dialog itself is the
// active modal widget until then) give that dialog as under. A watch looks for as long as it lives, for a box that
// must not come at all.
class BoxAnswer
{
public:
    using Answer = std::function<void(QMessageBox *)>;
    enum Kind { Next, Watch };
    BoxAnswer(QWidget *under, Answer answer, Kind kind = Next) : m_state(std::make_shared<State>())
    {
        m_state->answer = std::move(answer);
        std::weak_ptr<State> weak = m_state;
        QPointer<QWidget> guardUnder(under);
        auto poll = std::make_shared<std::function<void()>>();
        const auto again = [poll] {
            QTimer::singleShot(0, qApp, [poll] {
                if (*poll)
                    (*poll)();
            });
        };
        *poll = [weak, poll, guardUnder, kind, again] {
            const std::shared_ptr<State> state = weak.lock();
            if (!state || state->done) {
                *poll = nullptr;
                return;
            }
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box == guardUnder) {
                if (kind == Watch || ++state->passes < 1000)
                    again();
                else
                    *poll = nullptr;
                return;
            }
            state->done = true;
            state->came = true;
            state->text = box->text();
            QPointer<QMessageBox> guard(box);
            state->answer(box);
            if (guard && guard->isVisible()) {
                state->leftOpen = true;
                guard->close();
            }
            *poll = nullptr;
        };
        again();
    }
    ~BoxAnswer() { m_state->done = true; }
    BoxAnswer(const BoxAnswer &) = delete;
    BoxAnswer &operator=(const BoxAnswer &) = delete;

    bool Came() const { return m_state->came; }
    QString Problem() const
    {
        if (!m_state->came)
            return QStringLiteral("no box came over the dialog");
        return m_state->leftOpen ? QStringLiteral("the box stayed open") : QString();
    }
    QString Text() const { return m_state->text; }

private:
    struct State {
        Answer answer;
        int passes = 0;
        bool done = false;
        bool came = false;
        bool leftOpen = false;
        QString text;
    };
    std::shared_ptr<State> m_state;
};

void ClickButton(QMessageBox *box, QMessageBox::StandardButton which)
{
    if (QAbstractButton *button = box->button(which))
        QTest::mouseClick(button, Qt::LeftButton);
}

// The patch item of area 1 at row, column (counted from 1, as the chart file does) in a chart view, or null.
CVCGraphicsPatch *PatchAt(QGraphicsView *view, int row, int column)
{
    if (!view->scene())
        return nullptr;
    for (QGraphicsItem *item : view->scene()->items()) {
        auto *patch = qobject_cast<CVCGraphicsPatch *>(item->toGraphicsObject());
        if (!patch)
            continue;
        int a = 0, r = 0, c = 0;
        patch->GetIndices(&a, &r, &c);
        // The items count from 0.
        if (a == 0 && r == row - 1 && c == column - 1)
            return patch;
    }
    return nullptr;
}

QPoint PatchCentre(QGraphicsView *view, CVCGraphicsPatch *patch)
{
    return view->mapFromScene(patch->sceneBoundingRect().center());
}

// The colour the view shows inside the patch: a quarter of the way in from its top-left corner, away from its
// outline and from a number written in its middle.
QColor ShownColour(QGraphicsView *view, int row, int column)
{
    CVCGraphicsPatch *patch = PatchAt(view, row, column);
    if (!patch)
        return QColor();
    const QRect onView = view->mapFromScene(patch->sceneBoundingRect()).boundingRect();
    const QPoint at = onView.topLeft() + QPoint(onView.width() / 4, onView.height() / 4);
    const QImage image = view->viewport()->grab().toImage();
    if (!image.rect().contains(at))
        return QColor();
    return image.pixelColor(at);
}

// CIELAB on the display's D50 white, turned into 8-bit sRGB the way a screen swatch is drawn (no adaptation).
QColor LabOnScreen(const double lab[3])
{
    const double fy = (lab[0] + 16.0) / 116.0;
    const double f[3] = {fy + lab[1] / 500.0, fy, fy - lab[2] / 200.0};
    const double white[3] = {0.96422, 1.0, 0.82521};
    double xyz[3];
    for (int i = 0; i < 3; ++i) {
        const double t = f[i];
        xyz[i] = white[i] * (t > 6.0 / 29.0 ? t * t * t : 3.0 * (6.0 / 29.0) * (6.0 / 29.0) * (t - 4.0 / 29.0));
    }
    const double linear[3] = {3.2404542 * xyz[0] - 1.5371385 * xyz[1] - 0.4985314 * xyz[2],
                              -0.9692660 * xyz[0] + 1.8760108 * xyz[1] + 0.0415560 * xyz[2],
                              0.0556434 * xyz[0] - 0.2040259 * xyz[1] + 1.0572252 * xyz[2]};
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
        double v = linear[i] <= 0.0031308 ? 12.92 * linear[i] : 1.055 * std::pow(linear[i], 1.0 / 2.4) - 0.055;
        v = std::min(1.0, std::max(0.0, v));
        rgb[i] = int(std::lround(v * 255.0));
    }
    return QColor(rgb[0], rgb[1], rgb[2]);
}

bool Near(const QColor &a, const QColor &b, int tolerance)
{
    return a.isValid() && b.isValid() && std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance && std::abs(a.blue() - b.blue()) <= tolerance;
}

// The condition mask of the main window's block as it is stored, read by a store of its own.
int StoredConditionMask()
{
    CApplicationData store(nullptr);
    store.LoadSetting();
    return store.GetMeasurementCondition(0).ConditionMask;
}

// Types value into a spin box and ends the edit with Return, as the user does.
void TypeInto(QDoubleSpinBox *spin, double value)
{
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spin, QString::number(value, 'f', 2));
    QTest::keyClick(spin, Qt::Key_Return);
}

// Steps through a closed combo box with the arrow keys until it shows text.
// The column of the value tree headed for the named condition, or -1.
int ValueColumn(QTreeWidget *values, const QString &condition)
{
    const QString heading = QStringLiteral("(%1)").arg(condition);
    for (int c = 1; c < values->columnCount(); ++c) {
        if (values->headerItem()->text(c).endsWith(heading))
            return c;
    }
    return -1;
}

// L*, a*, b* of the value tree's column, when all three are numbers.
bool LabShown(QTreeWidget *values, int column, double lab[3])
{
    QTreeWidgetItem *spaces = values->topLevelItemCount() > 2 ? values->topLevelItem(2) : nullptr;
    QTreeWidgetItem *labRow = spaces && spaces->childCount() > 0 ? spaces->child(0) : nullptr;
    if (column < 0 || !labRow || labRow->childCount() < 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        lab[i] = labRow->child(i)->text(column).toDouble(&ok);
        if (!ok)
            return false;
    }
    return true;
}

// Linear between the samples of a spectrum that starts at first nm in steps of step nm; the ends hold beyond.
float SampleAt(const float *values, int count, int first, int step, int nm)
{
    if (nm <= first)
        return values[0];
    const int i = (nm - first) / step;
    if (i >= count - 1)
        return values[count - 1];
    const float t = float(nm - first - step * i) / float(step);
    return values[i] + (values[i + 1] - values[i]) * t;
}

// X, Y, Z of a light at 1 nm from 360 to 780 nm (libvexcolor's light-source form).
bool LightXyz(const float *light, float xyz[3])
{
    CalColorRecord record{};
    record.type = 2;
    record.observer = 0;
    record.illuminant = VEXCOLOR_LIGHT_SOURCE;
    if (SpectrumToColor(light, kLightPoints, &record) != 0)
        return false;
    std::copy_n(record.values, 3, xyz);
    return true;
}

// L*a*b* (2 degree) of the clicked patch as printed, under the light of the Lumet's row 002, which is libvexcolor's
// D50 measured from 360 nm on: the light and the lit print through libvexcolor, relative to the light's own white,
// carried to CIELAB on D50. The print model gives the print's reflectance; the simulated press prints C, M, Y and K
// and leaves the spot ink 5 out.
QString PrintedLabUnderLumetLight(double lab[3])
{
    const CalIlluminantSlot *table = nullptr;
    int entries = 0;
    if (GetIlluminantTable(&table, &entries) != 0)
        return QStringLiteral("libvexcolor has no illuminant table");
    const CalIlluminantSlot *d50Light = std::find_if(table, table + entries, [](const CalIlluminantSlot &slot) {
        return slot.id == kD50;
    });
    if (d50Light == table + entries)
        return QStringLiteral("libvexcolor has no D50");
    float reflectance[simprint::kBandCount];
    simprint::Reflectance(kClickedInks, false, reflectance);
    std::vector<float> light(kLightPoints), lit(kLightPoints);
    for (int i = 0; i < kLightPoints; ++i) {
        light[size_t(i)] = SampleAt(d50Light->spd, 97, 300, 5, 360 + i);
        lit[size_t(i)] = light[size_t(i)] * SampleAt(reflectance, simprint::kBandCount, 380, 10, 360 + i);
    }
    float white[3], xyz[3];
    if (!LightXyz(light.data(), white) || !LightXyz(lit.data(), xyz) || !(white[1] > 0))
        return QStringLiteral("libvexcolor gave no tristimulus values");
    const float perfect[simprint::kBandCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                                 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    CalColorRecord d50{};
    d50.type = 2;
    d50.illuminant = kD50;
    if (SpectrumToColor(perfect, simprint::kBandCount, &d50) != 0)
        return QStringLiteral("libvexcolor has no D50 white");
    CalColorRecord in{}, out{};
    in.type = 2;
    in.illuminant = out.illuminant = kD50;
    out.type = 0;
    for (int c = 0; c < 3; ++c)
        in.values[c] = xyz[c] * d50.values[c] / white[c];
    if (ConvertColor(&in, &out) != 0)
        return QStringLiteral("libvexcolor gave no L*a*b*");
    for (int i = 0; i < 3; ++i)
        lab[i] = out.values[i];
    return QString();
}

} // namespace

void RunSettings(WorkflowRun &run)
{
    const QString fixture = QStringLiteral(VAREMO_WORKFLOW_DATA "/chart_five_inks.xml");
    const QString pageFolder = run.WorkDir() + QStringLiteral("/settings_pages");
    QDir().mkpath(pageFolder);

    const int code = run.Start([&](CVCMainWindow *window) {
        auto *charts = Named<QTreeWidget>(window, "treeDesignation");
        auto *conditions = Named<QTreeWidget>(window, "treeMeasureSetting");
        auto *values = Named<QTreeWidget>(window, "treeMeasureData");
        auto *layout = Named<QGraphicsView>(window, "graphicsViewChartLayout");
        WF_VERIFY(run, charts && conditions && values && layout);

        run.Step(QStringLiteral("open the 5-ink chart"));
        const int chartsBefore = charts->topLevelItemCount();
        {
            ModalAnswer open([&](QWidget *dialog) { WF_DO(run, AnswerFileDialog(dialog, fixture)); });
            WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Open Chart File")));
            WF_DO(run, open.Problem());
        }
        WF_WAIT(run, charts->topLevelItemCount() == chartsBefore + 1);
        const QString chartName = charts->topLevelItem(charts->topLevelItemCount() - 1)->text(0);
        const auto chartItem = [&] { return TopLevelNamed(charts, chartName); };
        ClickItem(charts, chartItem());
        WF_WAIT(run, PatchAt(layout, 2, 3) != nullptr);
        // Row 1: ink 5 alone, cyan alone, magenta with ink 5; row 2: all three mix ink 5 in.
        QColor before[2][3];
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 3; ++c) {
                before[r][c] = ShownColour(layout, r + 1, c + 1);
                WF_VERIFY(run, before[r][c].isValid());
            }
        }

        run.Step(QStringLiteral("ink colour of channel 5"));
        {
            ModalAnswer environment([&](QWidget *dialog) {
                auto *L = Named<QDoubleSpinBox>(dialog, "spinColor5L");
                auto *a = Named<QDoubleSpinBox>(dialog, "spinColor5a");
                auto *b = Named<QDoubleSpinBox>(dialog, "spinColor5b");
                auto *ok = ButtonOf(dialog, "okButton");
                WF_VERIFY(run, L && a && b && ok);
                TypeInto(L, kInk5[0]);
                TypeInto(a, kInk5[1]);
                TypeInto(b, kInk5[2]);
                WF_VERIFY(run, dialog->isVisible()); // Return ends the edit, not the dialog
                QTest::mouseClick(ok, Qt::LeftButton);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Settings"), QStringLiteral("Environment")));
            WF_DO(run, environment.Problem());
        }
        const QColor inkAlone = LabOnScreen(kInk5);
        WF_WAIT(run, Near(ShownColour(layout, 1, 1), inkAlone, 2));
        WF_VERIFY(run, ShownColour(layout, 1, 2) == before[0][1]);
        WF_VERIFY(run, ShownColour(layout, 1, 3) != before[0][2]);
        for (int c = 0; c < 3; ++c)
            WF_VERIFY(run, ShownColour(layout, 2, c + 1) != before[1][c]);

        run.Step(QStringLiteral("instrument connection"));
        {
            int listed = 0;
            ModalAnswer connection([&](QWidget *dialog) {
                auto *devices = Named<QTreeWidget>(dialog, "treeDeviceList");
                listed = devices ? devices->topLevelItemCount() : 0;
                if (auto *cancel = ButtonOf(dialog, "pushCancel"))
                    QTest::mouseClick(cancel, Qt::LeftButton);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Settings"), QStringLiteral("Instrument Connection")));
            WF_DO(run, connection.Problem());
            WF_VERIFY(run, listed >= 1);
        }

        run.Step(QStringLiteral("user illuminant from the Lumet"));
        QString storedDate;
        {
            ModalAnswer illuminants([&](QWidget *dialog) {
                auto *instruments = Named<QTreeWidget>(dialog, "treeInstrument");
                auto *userList = Named<QTreeWidget>(dialog, "treeIlluminant");
                auto *copy = ButtonOf(dialog, "pushDataImport");
                auto *close = ButtonOf(dialog, "cancelButton");
                WF_VERIFY(run, instruments && userList && copy && close);
                WF_VERIFY(run, userList->topLevelItemCount() == 0);
                QTreeWidgetItem *lumet = instruments->topLevelItem(1);
                WF_VERIFY(run, lumet && lumet->text(0) == QLatin1String("Lumet"));
                WF_DO(run, ClickCheckBox(instruments, lumet, 0));
                WF_WAIT(run, lumet->childCount() == 3);
                WF_VERIFY(run, lumet->text(1) == QLatin1String("Connect : 12345678"));
                QStringList rows;
                for (int i = 0; i < lumet->childCount(); ++i)
                    rows << lumet->child(i)->text(0);
                WF_VERIFY(run, rows == (QStringList{"001", "002", "003"}));
                ClickItem(instruments, lumet->child(1));
                WF_VERIFY(run, instruments->currentItem() == lumet->child(1));
                storedDate = lumet->child(1)->text(1);
                QTest::mouseClick(copy, Qt::LeftButton);
                WF_WAIT(run, userList->topLevelItemCount() == 1);
                QTreeWidgetItem *added = userList->topLevelItem(0);
                WF_VERIFY(run, added->text(0) == QLatin1String(kUserIlluminant));
                WF_VERIFY(run, added->text(1) == QLatin1String("Lumet"));
                WF_VERIFY(run, added->text(2) == storedDate);
                WF_DO(run, run.Shoot(QStringLiteral("settings_01_lumet_rows")));
                QTest::mouseClick(close, Qt::LeftButton);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Settings"), QStringLiteral("User Illuminant")));
            WF_DO(run, illuminants.Problem());
        }

        run.Step(QStringLiteral("enable the user illuminant's condition"));
        QTreeWidgetItem *userCondition = ItemNamed(conditions, QLatin1String(kUserIlluminant));
        WF_VERIFY(run, userCondition && userCondition->checkState(1) == Qt::Unchecked);
        WF_VERIFY(run, (StoredConditionMask() & (1 << kUserIlluminantBit)) == 0);
        WF_DO(run, ClickCheckBox(conditions, userCondition, 1));
        WF_VERIFY(run, userCondition->checkState(1) == Qt::Checked);
        WF_WAIT(run, (StoredConditionMask() & (1 << kUserIlluminantBit)) != 0);

        // With the illuminant "Auto" each condition's colour is taken under its own light: the user condition's
        // under the light from the Lumet.
        run.Step(QStringLiteral("illuminant Auto"));
        QTreeWidgetItem *illuminantRow = ItemNamed(conditions, QStringLiteral("Illuminant"));
        WF_VERIFY(run, illuminantRow != nullptr);
        ClickItem(conditions, illuminantRow);
        QComboBox *illuminantChoice = nullptr;
        WF_WAIT(run, (illuminantChoice = qobject_cast<QComboBox *>(conditions->itemWidget(illuminantRow, 1))));
        WF_DO(run, ChooseInCombo(illuminantChoice, QStringLiteral("Auto")));

        run.Step(QStringLiteral("connect"));
        WF_DO(run, ConnectScanner(run, window));

        run.Step(QStringLiteral("network"));
        {
            QString networkName;
            ModalAnswer network([&](QWidget *dialog) {
                if (auto *name = Named<QLineEdit>(dialog, "editNetworkName"))
                    networkName = name->text();
                if (auto *cancel = ButtonOf(dialog, "cancelButton"))
                    QTest::mouseClick(cancel, Qt::LeftButton);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Settings"), QStringLiteral("Network")));
            WF_DO(run, network.Problem());
            WF_VERIFY(run, !networkName.isEmpty());
        }

        run.Step(QStringLiteral("tick the chart"));
        WF_DO(run, ClickCheckBox(charts, chartItem(), 0));
        WF_VERIFY(run, chartItem()->checkState(0) == Qt::Checked);

        run.Step(QStringLiteral("save the page as TIFF"));
        ClickItem(charts, chartItem());
        {
            ModalAnswer save([&](QWidget *dialog) {
                WF_DO(run, AnswerFileDialog(dialog, pageFolder + QStringLiteral("/five_inks.tiff")));
            });
            WF_DO(run, ContextMenuEntry(charts, chartItem(), QStringLiteral("Save Tiff image data")));
            WF_DO(run, save.Problem());
        }
        const QStringList pages = QDir(pageFolder).entryList({QStringLiteral("*.tiff")}, QDir::Files);
        WF_VERIFY(run, pages.size() == 1);
        const QString page = pageFolder + QLatin1Char('/') + pages.first();

        // A sheet is measured without a word; a box on the way is closed and names the failure.
        const auto feedAndMeasure = [&](int measurements) {
            BoxAnswer unexpected(
                nullptr, [](QMessageBox *box) { ClickButton(box, QMessageBox::Ok); }, BoxAnswer::Watch);
            WF_DO(run, run.FeedSheet(page));
            WF_WAIT(run, unexpected.Came() || (chartItem() && chartItem()->childCount() == measurements &&
                                               charts->currentItem() && charts->currentItem()->parent() == chartItem()));
            if (unexpected.Came())
                run.Fail(QStringLiteral("box \"%1\" in place of the measurement").arg(unexpected.Text()));
        };

        run.Step(QStringLiteral("first sheet"));
        feedAndMeasure(1);
        WF_CHECK(run);

        run.Step(QStringLiteral("click a patch"));
        CVCGraphicsPatch *clicked = PatchAt(layout, 1, 3);
        WF_VERIFY(run, clicked != nullptr);
        QTest::mouseClick(layout->viewport(), Qt::LeftButton, Qt::NoModifier, PatchCentre(layout, clicked));
        double underUser[3] = {};
        WF_WAIT(run, LabShown(values, ValueColumn(values, QLatin1String(kUserIlluminant)), underUser));
        double printed[3] = {};
        WF_DO(run, PrintedLabUnderLumetLight(printed));
        for (int i = 0; i < 3; ++i) {
            if (std::abs(underUser[i] - printed[i]) > kShownTolerance)
                run.Fail(QStringLiteral("L*a*b* %1 under the user illuminant: %2 shown, %3 printed")
                             .arg(i)
                             .arg(underUser[i])
                             .arg(printed[i]));
        }
        WF_CHECK(run);
        // The user condition's column is the last one: the scroll bar dragged to its end, once the tree has laid
        // out its new columns, shows it.
        const int userColumn = ValueColumn(values, QLatin1String(kUserIlluminant));
        WF_WAIT(run, (values->horizontalScrollBar()->setValue(values->horizontalScrollBar()->maximum()),
                      values->columnViewportPosition(userColumn) >= 0 &&
                          values->columnViewportPosition(userColumn) + values->columnWidth(userColumn) <=
                              values->viewport()->width()));
        WF_DO(run, run.Shoot(QStringLiteral("settings_02_user_condition_values")));

        run.Step(QStringLiteral("delete the user illuminant"));
        {
            QString question;
            int rowsLeft = -1;
            ModalAnswer illuminants([&](QWidget *dialog) {
                auto *userList = Named<QTreeWidget>(dialog, "treeIlluminant");
                auto *close = ButtonOf(dialog, "cancelButton");
                WF_VERIFY(run, userList && close);
                QTreeWidgetItem *row = ItemNamed(userList, QLatin1String(kUserIlluminant));
                WF_VERIFY(run, row != nullptr);
                ClickItem(userList, row);
                BoxAnswer yes(dialog, [](QMessageBox *box) { ClickButton(box, QMessageBox::Yes); });
                WF_DO(run, ContextMenuEntry(userList, row, QStringLiteral("Delete")));
                WF_DO(run, yes.Problem());
                question = yes.Text();
                rowsLeft = userList->topLevelItemCount();
                QTest::mouseClick(close, Qt::LeftButton);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Settings"), QStringLiteral("User Illuminant")));
            WF_DO(run, illuminants.Problem());
            WF_VERIFY(run, question == QLatin1String("Do you want to delete Illuminant Data?"));
            WF_VERIFY(run, rowsLeft == 0);
        }
        WF_VERIFY(run, ItemNamed(conditions, QLatin1String(kUserIlluminant)) == nullptr);
        WF_VERIFY(run, ValueColumn(values, QLatin1String(kUserIlluminant)) < 0);
        WF_VERIFY(run, (StoredConditionMask() & (1 << kUserIlluminantBit)) == 0);

        run.Step(QStringLiteral("diagnosis cancelled"));
        {
            bool standardValues = false;
            ModalAnswer standard([&](QWidget *dialog) {
                standardValues = Named<QWidget>(dialog, "tableStandardValue") != nullptr;
                if (auto *cancel = ButtonOf(dialog, "cancelButton"))
                    QTest::mouseClick(cancel, Qt::LeftButton);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Tool"), QStringLiteral("Diagnose instrument")));
            WF_DO(run, standard.Problem());
            WF_VERIFY(run, standardValues);
        }

        run.Step(QStringLiteral("second sheet"));
        feedAndMeasure(2);
        WF_CHECK(run);

        run.Step(QStringLiteral("manual"));
        {
            QString text;
            ModalAnswer missing([&](QWidget *dialog) {
                auto *box = qobject_cast<QMessageBox *>(dialog);
                WF_VERIFY(run, box != nullptr);
                text = box->text();
                ClickButton(box, QMessageBox::Ok);
            });
            WF_DO(run, TriggerMenu(window, QStringLiteral("Help"), QStringLiteral("Manual")));
            WF_DO(run, missing.Problem());
            WF_VERIFY(run, text == QLatin1String("Manual file does not exist."));
        }

        run.Step(QStringLiteral("exit"));
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
    });
    run.Step(QStringLiteral("end"));
    WF_VERIFY(run, run.WalkRan());
    WF_VERIFY(run, code == 0);
}
