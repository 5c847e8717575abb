// The periodic-calibration reminder: its form, when it shows, what OK stores (also across a daylight-saving
// change and when the settings cannot be written), that Cancel stores nothing, and the main window running it
// after a new scanner connection that reports calibration due.
#include "settings/vcperiodiccalibrationdialog.h"

#include "mainwindow/vcmainwindow.h"
#include "settings/settingsclock.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kFormat = QStringLiteral("yyyy/MM/dd hh:mm:ss");

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

QDateTime At(const QString &text)
{
    return QDateTime::fromString(text, kFormat);
}

// Chooses the number of days and presses OK, as the user does.
void PostponeBy(QDialog *dialog, const QString &days)
{
    auto *combo = Child<QComboBox>(dialog, "comboPeriodOfTime");
    combo->setCurrentIndex(combo->findText(days));
    QTest::mouseClick(Child<QPushButton>(dialog, "pushOK"), Qt::LeftButton);
}

} // namespace

class TestReminder : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;

    void SetNow(const QDateTime &now)
    {
        SettingsClock::SetNowFunction([now] { return now; });
    }
    void Store(const QString &text)
    {
        QCOMPARE(f->model->SetNextCalibrationReminder(text), 0);
    }

    // Runs the reminder at the given time and postpones it by the given days; the modal result.
    int Postpone(const QString &now, const QString &days)
    {
        SetNow(At(now));
        CVCPeriodicCalibrationDialog dialog(f->model.get(), nullptr);
        return ModalRunner::Run(&dialog, [days](QDialog *d) { PostponeBy(d, days); });
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
    }
    void cleanup()
    {
        SettingsClock::SetNowFunction(nullptr);
        f.reset();
    }

    void form_data()
    {
        AddFormObjectRows({
            {"labelTimeForPeriodic", "QLabel"},     {"labelPleaseContact", "QLabel"},
            {"hLayoutPeriodOfTime", "QHBoxLayout"}, {"labelShowThisMessage", "QLabel"},
            {"comboPeriodOfTime", "QComboBox"},     {"labelDays", "QLabel"},
            {"hLayoutFooter", "QHBoxLayout"},       {"pushOK", "QPushButton"},
            {"cancelButton", "QPushButton"},        {"vLayoutMessage", "QVBoxLayout"},
            {"verticalLayout_2", "QVBoxLayout"}});
    }
    void form()
    {
        CVCPeriodicCalibrationDialog dialog(f->model.get(), nullptr);
        VerifyFormObject(&dialog);
    }

    void formAsBuilt()
    {
        CVCPeriodicCalibrationDialog dialog(f->model.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Periodic Calibration"));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(dialog.minimumSize(), QSize(420, 235));
        QCOMPARE(dialog.size(), QSize(420, 235));
        auto *label = Child<QLabel>(&dialog, "labelShowThisMessage");
        QCOMPARE(label->text(), QStringLiteral("Show this message after "));
        QCOMPARE(label->alignment() & (Qt::AlignRight | Qt::AlignVCenter), Qt::AlignRight | Qt::AlignVCenter);
        QVERIFY(Child<QLabel>(&dialog, "labelTimeForPeriodic")->wordWrap());
        QVERIFY(Child<QLabel>(&dialog, "labelPleaseContact")->wordWrap());

        auto *combo = Child<QComboBox>(&dialog, "comboPeriodOfTime");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, (QStringList{"1", "3", "7", "30", "180", "365"}));
        QCOMPARE(combo->currentIndex(), 0);

        auto *box = dialog.findChild<QDialogButtonBox *>();
        QVERIFY(box);
        QCOMPARE(box->buttonRole(Child<QPushButton>(&dialog, "pushOK")), QDialogButtonBox::AcceptRole);
        QCOMPARE(box->buttonRole(Child<QPushButton>(&dialog, "cancelButton")), QDialogButtonBox::RejectRole);
    }

    // Due when the stored time is empty, unreadable, now or earlier; silent while it lies ahead.
    void due_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("shown");
        QTest::newRow("never stored") << QString() << true;
        QTest::newRow("unreadable") << QStringLiteral("2024-01-01") << true;
        QTest::newRow("earlier") << QStringLiteral("2024/02/29 09:30:00") << true;
        QTest::newRow("now") << QStringLiteral("2024/03/01 09:30:00") << true;
        QTest::newRow("one second ahead") << QStringLiteral("2024/03/01 09:30:01") << false;
        QTest::newRow("next year") << QStringLiteral("2025/01/01 00:00:00") << false;
    }
    void due()
    {
        QFETCH(QString, stored);
        QFETCH(bool, shown);
        Store(stored);
        SetNow(At(QStringLiteral("2024/03/01 09:30:00")));
        CVCPeriodicCalibrationDialog dialog(f->model.get(), nullptr);
        bool ran = false;
        const int result = ModalRunner::Run(&dialog, [&ran](QDialog *d) { ran = d->isVisible(); });
        QCOMPARE(ran, shown);
        QCOMPARE(result, 0);
        QCOMPARE(f->model->GetNextCalibrationTime(), stored);
    }

    void postpone_data()
    {
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("next");
        QTest::newRow("7 from the first") << "2024/03/01 09:30:00" << "7" << "2024/03/08 09:30:00";
        QTest::newRow("30 from end of February") << "2023/02/28 09:00:00" << "30" << "2023/03/30 09:00:00";
        QTest::newRow("1 over the year end") << "2023/12/31 23:59:59" << "1" << "2024/01/01 23:59:59";
        QTest::newRow("365 over a leap day") << "2024/02/01 08:00:00" << "365" << "2025/01/31 08:00:00";
    }
    void postpone()
    {
        QFETCH(QString, now);
        QFETCH(QString, days);
        QFETCH(QString, next);
        QCOMPARE(Postpone(now, days), int(QDialog::Accepted));
        QCOMPARE(f->model->GetNextCalibrationTime(), next);
        QVERIFY(f->window->errors.isEmpty());
        // The settings file holds it for the next start.
        QVERIFY(f->Make());
        QCOMPARE(f->model->GetNextCalibrationTime(), next);
    }

    // Registered a second time under TZ=Europe/Berlin, where clocks go forward on 2024-03-31: one day later is
    // the same time of day, 23 hours on.
    void postponeAcrossDaylightSaving()
    {
        const QDateTime before = At(QStringLiteral("2024/03/30 09:30:00"));
        const QDateTime after = At(QStringLiteral("2024/03/31 09:30:00"));
        if (before.offsetFromUtc() == after.offsetFromUtc()) {
            if (qgetenv("TZ") == "Europe/Berlin")
                QFAIL("no daylight-saving change in the local zone: is the time-zone data installed?");
            QSKIP("the local zone has no daylight-saving change on 2024-03-31");
        }
        QCOMPARE(Postpone(QStringLiteral("2024/03/30 09:30:00"), QStringLiteral("1")), int(QDialog::Accepted));
        QCOMPARE(f->model->GetNextCalibrationTime(), QStringLiteral("2024/03/31 09:30:00"));
        QCOMPARE(before.secsTo(At(f->model->GetNextCalibrationTime())), 23 * 3600);
    }

    void cancelStoresNothing_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }
    void cancelStoresNothing()
    {
        QFETCH(bool, escape);
        const QString stored = QStringLiteral("2024/02/01 10:00:00");
        Store(stored);
        SetNow(At(QStringLiteral("2024/03/01 09:30:00")));
        CVCPeriodicCalibrationDialog dialog(f->model.get(), nullptr);
        bool ran = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            ran = d->isVisible();
            auto *combo = Child<QComboBox>(d, "comboPeriodOfTime");
            combo->setCurrentIndex(combo->findText(QStringLiteral("30")));
            if (escape)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                QTest::mouseClick(Child<QPushButton>(d, "cancelButton"), Qt::LeftButton);
        });
        QVERIFY(ran);
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f->model->GetNextCalibrationTime(), stored);
    }

    // A settings file that cannot be written: the model reports it, the reminder still closes accepted and the
    // new time is kept in memory.
    void writeFailureStillAccepts()
    {
        Store(QStringLiteral("2024/01/01 00:00:00"));
        const QString path = CModelAccess::ApplicationData(*f->model)->GetSettingFilePath();
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        QCOMPARE(Postpone(QStringLiteral("2024/03/01 09:30:00"), QStringLiteral("3")), int(QDialog::Accepted));
        QCOMPARE(f->window->errors, QList<int>{2});
        QCOMPARE(f->model->GetNextCalibrationTime(), QStringLiteral("2024/03/04 09:30:00"));
    }

    // A new connection to a scanner that reports calibration due: the main window runs the reminder over
    // itself, "7" and OK postpone it, and the next connection a day later shows nothing.
    void mainWindowRemindsOnNewConnection()
    {
        const QDateTime now = At(QStringLiteral("2024/03/01 09:30:00"));
        SetNow(now);
        Setting::ConnectSetting record = CModelAccess::ApplicationData(*f->model)->GetConnectionSetting();
        record.ConnectionKind = 0;
        record.Port = QStringLiteral("usb0");
        record.DeviceName = QStringLiteral("ORS00001");
        CModelAccess::ApplicationData(*f->model)->SetConnectionSetting(record);
        OrloSim_ForceStatus(-1, -1, 1, -1);

        CVCMainWindow window(f->model.get());
        QSignalSpy due(f->model.get(), &CModel::DetectPeriodCalibration);
        int shown = 0;
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCPeriodicCalibrationDialog"), [&shown](QDialog *d) {
            shown += d->isVisible() ? 1 : 0;
            PostponeBy(d, QStringLiteral("7"));
        });
        QCOMPARE(f->model->ConnectOrlo(true), 0);
        QCOMPARE(due.size(), 1);
        QCOMPARE(shown, 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().size(), 1);
        QCOMPARE(script.Calls().at(0).parent, &window);
        QCOMPARE(f->model->GetNextCalibrationTime(), QStringLiteral("2024/03/08 09:30:00"));

        QCOMPARE(f->model->DisconnectOrlo(), 0);
        SetNow(now.addDays(1));
        script.ExpectDialog(QStringLiteral("CVCPeriodicCalibrationDialog"), [&shown](QDialog *d) {
            shown += d->isVisible() ? 1 : 0;
        });
        QCOMPARE(f->model->ConnectOrlo(true), 0);
        QCOMPARE(due.size(), 2);
        QCOMPARE(shown, 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(f->model->GetNextCalibrationTime(), QStringLiteral("2024/03/08 09:30:00"));
        QVERIFY(f->window->errors.isEmpty());
    }
};

QTEST_MAIN(TestReminder)
#include "test_reminder.moc"
