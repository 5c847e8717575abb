// The splash screen's hand-over to the main window, the About dialog and the progress box. Timers are checked
// by what is armed and fired by hand, never waited for.
#include "mainwindow/vcprogressmessage.h"
#include "mainwindow/vcstartupscreen.h"
#include "mainwindow/vcversion.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

QList<QTimer *> ArmedTimers(const QObject *owner)
{
    QList<QTimer *> armed;
    for (QTimer *timer : owner->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (timer->isActive())
            armed.append(timer);
    }
    return armed;
}

QList<int> ArmedIntervals(const QObject *owner)
{
    QList<int> intervals;
    for (const QTimer *timer : ArmedTimers(owner))
        intervals.append(timer->interval());
    return intervals;
}

// Runs what the timer would run when it expires, then lets it remove itself.
void Fire(QTimer *timer)
{
    QVERIFY(timer);
    // What runs may process events and so delete the timer already.
    const QPointer<QTimer> guard(timer);
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    if (guard)
        guard->stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int ProgressValue(const CVCProgressMessage &box)
{
    return box.findChild<QProgressBar *>(QStringLiteral("progressBar"))->value();
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void versionLabels_data()
    {
        QTest::addColumn<bool>("about");
        QTest::newRow("splash") << false;
        QTest::newRow("About picture") << true;
    }

    void versionLabels()
    {
        QFETCH(bool, about);
        std::unique_ptr<QWidget> owner;
        QWidget *parent = nullptr;
        if (about) {
            owner = std::make_unique<CVCVersion>(nullptr);
            parent = owner->findChild<QLabel *>(QStringLiteral("label"));
        } else {
            owner = std::make_unique<CVCStartupScreen>();
            parent = owner.get();
        }
        QVERIFY(parent);

        const QList<QLabel *> labels = parent->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(labels.size(), 3);

        struct Expected {
            const char *name;
            QRect geometry;
            const char *styleSheet;
            Qt::Alignment alignment;
            bool wordWrap;
            const char *text;
        };
        const Expected expected[] = {
            {"labelVersion", QRect(390, 160, 120, 21), "color : rgb(0, 135, 170); font: 10pt \"Arial\";",
             Qt::AlignRight | Qt::AlignTop, false, "Ver. 1.60.0008 "},
            {"labelCopyright", QRect(200, 200, 310, 20), "color: rgb(102, 102, 102); font: 7pt \"Arial\";",
             Qt::AlignLeft | Qt::AlignTop, false, "Copyright (C) VELMAR OSTRAND, INC."},
            {"labelCopyright", QRect(200, 220, 310, 90), "color: rgb(102, 102, 102); font: 8pt \"Arial\";",
             Qt::AlignLeft | Qt::AlignTop, true, ""},
        };
        for (int i = 0; i < 3; ++i) {
            const QLabel *label = labels[i];
            QCOMPARE(label->objectName(), QString::fromLatin1(expected[i].name));
            QCOMPARE(label->geometry(), expected[i].geometry);
            QCOMPARE(label->styleSheet(), QString::fromLatin1(expected[i].styleSheet));
            QCOMPARE(label->alignment(), expected[i].alignment);
            QCOMPARE(label->wordWrap(), expected[i].wordWrap);
            QCOMPARE(label->text(), QString::fromLatin1(expected[i].text));
        }
    }

    void splashWithoutWindowWaits()
    {
        CVCStartupScreen splash;
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        splash.show();
        splash.timeout();
        QVERIFY(splash.isVisible());
        QCOMPARE(ArmedIntervals(&splash), QList<int>{1000});

        // Still no window when the retry fires: it keeps waiting, one retry at a time.
        Fire(ArmedTimers(&splash).value(0));
        QVERIFY(splash.isVisible());
        QCOMPARE(ArmedIntervals(&splash), QList<int>{1000});
    }

    void splashHandsOver_data()
    {
        QTest::addColumn<bool>("beforeFirstTimeout");
        QTest::newRow("window set before the first timeout") << true;
        QTest::newRow("window set while retrying") << false;
    }

    void splashHandsOver()
    {
        QFETCH(bool, beforeFirstTimeout);
        QWidget window;
        CVCStartupScreen splash;
        splash.show();
        if (beforeFirstTimeout) {
            splash.SetMainWindow(&window);
            splash.timeout();
        } else {
            splash.timeout();
            QVERIFY(!window.isVisible());
            splash.SetMainWindow(&window);
            Fire(ArmedTimers(&splash).value(0));
        }
        QVERIFY(window.isVisible());
        QVERIFY(!splash.isVisible());
        QVERIFY(ArmedTimers(&splash).isEmpty());

        // A later timeout (the start-up timer after an early hand-over) leaves a window hidden since then hidden.
        window.hide();
        splash.timeout();
        QVERIFY(!window.isVisible());
    }

    void aboutForm()
    {
        CVCVersion about(nullptr);
        QCOMPARE(about.objectName(), QStringLiteral("VersionDialog"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(about.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
        const auto *picture = about.findChild<QLabel *>(QStringLiteral("label"));
        QVERIFY(picture);
        QCOMPARE(picture->minimumSize(), QSize(512, 316));
        QVERIFY(!picture->hasScaledContents());
        const auto *close = about.findChild<QPushButton *>(QStringLiteral("cancelButton"));
        QVERIFY(close);
        QCOMPARE(close->text(), QStringLiteral("Close"));
    }

    void aboutCloses_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return") << "Return" << false;
        QTest::newRow("Enter") << "Enter" << false;
        QTest::newRow("Return on the Close button") << "Return on Close" << false;
        QTest::newRow("Escape") << "Escape" << true;
        QTest::newRow("Close clicked") << "Close" << true;
    }

    void aboutCloses()
    {
        QFETCH(QString, action);
        QFETCH(bool, closes);
        CVCVersion about(nullptr);
        auto *close = about.findChild<QPushButton *>(QStringLiteral("cancelButton"));
        about.show();
        about.setResult(-1);
        if (action == QLatin1String("Return"))
            QTest::keyClick(&about, Qt::Key_Return);
        else if (action == QLatin1String("Enter"))
            QTest::keyClick(&about, Qt::Key_Enter);
        else if (action == QLatin1String("Return on Close"))
            QTest::keyClick(close, Qt::Key_Return);
        else if (action == QLatin1String("Escape"))
            QTest::keyClick(&about, Qt::Key_Escape);
        else
            QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(about.isVisible(), !closes);
        QCOMPARE(about.result(), closes ? int(QDialog::Rejected) : -1);
    }

    void progressBox()
    {
        CVCProgressMessage box(nullptr);
        const Qt::WindowFlags flags = box.windowFlags();
        QVERIFY(flags & Qt::Window);
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        const auto *bar = box.findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        box.SetMessage(QStringLiteral("Connecting"));
        QCOMPARE(box.findChild<QLabel *>(QStringLiteral("labelMessage"))->text(), QStringLiteral("Connecting"));
        // Hidden, nothing runs.
        QVERIFY(ArmedTimers(&box).isEmpty());

        box.show();
        QCOMPARE(ArmedIntervals(&box), QList<int>{3000});
        // The armed step advances the bar and arms the next one.
        Fire(ArmedTimers(&box).value(0));
        QCOMPARE(ProgressValue(box), 5);
        QCOMPARE(ArmedIntervals(&box), QList<int>{3000});
    }

    void progressCreeps_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("armed");
        QTest::newRow("3 steps") << 3 << 15 << 4;
        QTest::newRow("19 steps") << 19 << 95 << 20;
        QTest::newRow("20 steps") << 20 << 95 << 20;
    }

    void progressCreeps()
    {
        QFETCH(int, steps);
        QFETCH(int, value);
        QFETCH(int, armed);
        CVCProgressMessage box(nullptr);
        box.show();
        for (int i = 0; i < steps; ++i)
            box.onTimeout();
        QCOMPARE(ProgressValue(box), value);
        // One chain from the show, advanced by every step below 95; the step at 95 arms nothing.
        QCOMPARE(ArmedTimers(&box).size(), armed);
    }

    void progressRestartsWhenShownAgain()
    {
        CVCProgressMessage box(nullptr);
        box.show();
        for (int i = 0; i < 19; ++i)
            box.onTimeout();
        box.hide();
        box.onTimeout();
        QCOMPARE(ProgressValue(box), 95);
        box.show();
        QCOMPARE(ProgressValue(box), 0);
        box.onTimeout();
        QCOMPARE(ProgressValue(box), 5);
    }

    void progressHiddenStepDoesNothing()
    {
        CVCProgressMessage box(nullptr);
        box.show();
        box.onTimeout();
        box.hide();
        const int armed = ArmedTimers(&box).size();
        box.onTimeout();
        QCOMPARE(ProgressValue(box), 5);
        QCOMPARE(ArmedTimers(&box).size(), armed);
    }

    void progressStopThenStart()
    {
        CVCProgressMessage box(nullptr);
        box.show();
        for (int i = 0; i < 3; ++i)
            box.onTimeout();
        box.Stop();
        const int armed = ArmedTimers(&box).size();
        box.onTimeout();
        QCOMPARE(ProgressValue(box), 15);
        QCOMPARE(ArmedTimers(&box).size(), armed);

        box.Start();
        QCOMPARE(ArmedTimers(&box).size(), armed + 1);
        box.onTimeout();
        QCOMPARE(ProgressValue(box), 20);
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
