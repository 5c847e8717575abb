// The user illuminants over the program's model: a Lumet's stored measurement plotted, the handheld's spectrum
// copied into the user list, and the periodic-calibration reminder over the main window. The Lumet is the
// simulated bus's default instrument, the handheld the simulated one. Each dialog runs its real modal loop, is
// shot from inside it and closed with Escape.
#include "screenshooter.h"

#include "app/model.h"
#include "app/tanosdkcontroller.h"
#include "settings/settingsclock.h"
#include "settings/vcilluminantsetting.h"
#include "settings/vcperiodiccalibrationdialog.h"

#include "modelaccess.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <functional>

using namespace QtCharts;

namespace {

constexpr int kExposeTimeoutMs = 10000;
constexpr const char *kReminderTimeFormat = "yyyy/MM/dd hh:mm:ss";

QTreeWidget *Tree(QDialog *dialog, const char *name)
{
    return dialog->findChild<QTreeWidget *>(QLatin1String(name));
}

// The plotted series: 97 points from 300 to 780 nm, or a failure naming the screen.
bool CheckPlot(QDialog *dialog, const QString &screen)
{
    auto *view = dialog->findChild<QChartView *>();
    const QList<QAbstractSeries *> series = view ? view->chart()->series() : QList<QAbstractSeries *>();
    auto *line = series.size() == 1 ? qobject_cast<QLineSeries *>(series.first()) : nullptr;
    if (!line || line->count() != 97 || line->at(0).x() != 300.0 || line->at(96).x() != 780.0)
        return ScreenFailed(screen + QStringLiteral(": the spectrum is not plotted over 300-780 nm"));
    // The chart lays out its axes in a later pass: the plot area shrinks once their labels and titles have room.
    QChart *chart = view->chart();
    const bool laidOut = QTest::qWaitFor([chart] {
        const QRectF area = chart->plotArea();
        return area.left() > chart->margins().left() + 20 && area.bottom() < chart->size().height() - 20;
    }, kExposeTimeoutMs);
    if (!laidOut)
        return ScreenFailed(screen + QStringLiteral(": the chart's axes are not laid out"));
    return true;
}

// The Lumet connected, its three stored measurements listed and the second one plotted.
bool IlluminantLumet(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("illuminant_lumet");
    CVCIlluminantSetting dialog(shooter.Model(), shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, screen, [&screen](QDialog *d) {
        QTreeWidget *instruments = Tree(d, "treeInstrument");
        QTreeWidgetItem *lumet = instruments ? instruments->topLevelItem(1) : nullptr;
        if (!lumet)
            return ScreenFailed(screen + QStringLiteral(": no Lumet entry"));
        lumet->setCheckState(0, Qt::Checked);
        if (lumet->text(1) != QStringLiteral("Connect : 12345678") || lumet->childCount() != 3 ||
            lumet->child(0)->text(0) != QStringLiteral("001") || lumet->child(2)->text(0) != QStringLiteral("003"))
            return ScreenFailed(screen + QStringLiteral(": the Lumet's stored measurements are not listed"));
        instruments->setCurrentItem(lumet->child(1));
        return CheckPlot(d, screen);
    });
}

// The handheld checked, its spectrum copied with "<<" and the new user illuminant current.
bool IlluminantUser(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("illuminant_user");
    // The handheld waits a second after closing; nothing here needs the wait.
    CModelAccess::TanoController(*shooter.Model())->SetSleepFunction([](unsigned long) {});
    CVCIlluminantSetting dialog(shooter.Model(), shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, screen, [&screen](QDialog *d) {
        QTreeWidget *instruments = Tree(d, "treeInstrument");
        QTreeWidget *users = Tree(d, "treeIlluminant");
        auto *copy = d->findChild<QPushButton *>(QStringLiteral("pushDataImport"));
        QTreeWidgetItem *handheld = instruments ? instruments->topLevelItem(0) : nullptr;
        if (!handheld || !users || !copy)
            return ScreenFailed(screen + QStringLiteral(": the form is incomplete"));
        handheld->setCheckState(0, Qt::Checked);
        if (handheld->text(1) != QStringLiteral("Connect : Calen(1234567)"))
            return ScreenFailed(screen + QStringLiteral(": the handheld is not connected"));
        QTest::mouseClick(copy, Qt::LeftButton);
        if (users->topLevelItemCount() != 1 || users->topLevelItem(0)->text(0) != QStringLiteral("UserIlluminant1"))
            return ScreenFailed(screen + QStringLiteral(": the spectrum was not copied"));
        users->setCurrentItem(users->topLevelItem(0));
        return CheckPlot(d, screen);
    });
}

// A new scanner connection reported calibration due, with the clock past the stored reminder time.
bool Reminder(ScreenShooter &shooter)
{
    const QString screen = QStringLiteral("reminder");
    CModel *model = shooter.Model();
    const QDateTime stored = QDateTime::fromString(model->GetNextCalibrationTime(),
                                                   QLatin1String(kReminderTimeFormat));
    const QDateTime now = stored.isValid() ? stored.addDays(1)
                                           : QDateTime(QDate(2024, 3, 1), QTime(9, 30));
    SettingsClock::SetNowFunction([now] { return now; });
    if (!shooter.Show(shooter.MainWindow())) {
        SettingsClock::SetNowFunction(nullptr);
        return false;
    }

    bool ok = false;
    bool shown = false;
    // Dropped unfired when the slot shows nothing.
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        shown = true;
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *reminder = qobject_cast<CVCPeriodicCalibrationDialog *>(modal)) {
            ok = ShootShownDialog(shooter, reminder, screen, nullptr);
        } else {
            ok = ScreenFailed(screen + QStringLiteral(": another dialog is shown"));
            if (auto *other = qobject_cast<QDialog *>(modal))
                other->reject();
        }
    });
    // The main window runs the reminder from its slot, as after a new connection.
    emit model->DetectPeriodCalibration();
    SettingsClock::SetNowFunction(nullptr);
    return shown ? ok : ScreenFailed(screen + QStringLiteral(": the reminder was not shown"));
}

const ScreenEntry kEntry("settings_illuminant", [](ScreenShooter &shooter) {
    return IlluminantLumet(shooter) && IlluminantUser(shooter) && Reminder(shooter);
});

} // namespace
