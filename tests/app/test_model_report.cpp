// The error report: what is shown, parked, dropped and where it goes.

#include "modelfixture.h"

#include "app/orlosdkcontroller.h"

#include <QtTest>

#include <cstring>

class TestModelReport : public QObject
{
    Q_OBJECT

private:
    ModelFixture f;

    // A sheet in the scanner and its capture started: the run is not stopped.
    void StartScan()
    {
        QCOMPARE(f.ConnectUsb(), 0);
        static const OrloSimArea area = {2, 3, 1000, 1000, 1000, 1000, 1200, 1200};
        static const float inks[6 * 4] = {};
        OrloSimSheet sheet;
        std::memset(&sheet, 0, sizeof sheet);
        sheet.width = 20000;
        sheet.height = 15000;
        sheet.areaCount = 1;
        sheet.areas = &area;
        sheet.inks = inks;
        QCOMPARE(OrloSim_InsertSheet(&sheet), 0);
        for (int i = 0; i < 10 && CModelAccess::OrloController(*f.model)->IsMeasurementStopped(); ++i)
            OrloSim_DeliverOne();
        QVERIFY(!CModelAccess::OrloController(*f.model)->IsMeasurementStopped());
        f.model->SetOrloStatus(3); // feeding: the instrument itself reports busy
        OrloSim_ClearCallLog();
    }

    static bool LogHas(const char *call) { return QString::fromLatin1(OrloSim_CallLog()).contains(call); }

private slots:
    void init() { QVERIFY(f.Make()); }

    void successReportsNothing()
    {
        f.model->ReportError(0, 5, false);
        QVERIFY(f.window->errors.isEmpty());
        QVERIFY(f.window->densityErrors.isEmpty());
    }

    void routesByStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("route"); // 0 none, 1 main window, 2 density window
        for (int s : {0, 2, 3, 4, 5, 6, 12, 14, 15, 16, 17, 18})
            QTest::addRow("main %d", s) << s << 1;
        for (int s : {7, 8, 13})
            QTest::addRow("density %d", s) << s << 2;
        for (int s : {1, 9, 10, 11, 99})
            QTest::addRow("none %d", s) << s << 0;
    }
    void routesByStatus()
    {
        QFETCH(int, status);
        QFETCH(int, route);
        f.model->SetAppStatus(status);
        f.model->ReportError(60001, 2, false);
        QCOMPARE(f.window->errors, route == 1 ? QList<int>{2} : QList<int>{});
        QCOMPARE(f.window->densityErrors, route == 2 ? QList<int>{2} : QList<int>{});
    }

    void deviceStateDecides_data()
    {
        QTest::addColumn<int>("deviceState");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("shown");
        QTest::newRow("idle") << 0 << 3 << true;
        QTest::newRow("held, flagged message") << 1 << 2 << true;
        QTest::newRow("held, plain message") << 1 << 3 << false;
        QTest::newRow("busy") << 2 << 2 << false;
    }
    void deviceStateDecides()
    {
        QFETCH(int, deviceState);
        QFETCH(int, message);
        QFETCH(bool, shown);
        QCOMPARE(f.ConnectUsb(), 0);
        f.model->SetOrloStatus(0);
        OrloSim_ForceStatus(deviceState, 0, -1, -1);
        f.model->ReportError(1, message, false);
        QCOMPARE(f.window->errors, shown ? QList<int>{message} : QList<int>{});
    }

    void storedStatusShowsWhileBusy()
    {
        QCOMPARE(f.ConnectUsb(), 0);
        OrloSim_ForceStatus(2, 0, -1, -1);
        for (int status : {2, 3}) {
            f.model->SetOrloStatus(status);
            f.model->ReportError(1, 3, false);
        }
        QCOMPARE(f.window->errors, (QList<int>{3, 3}));
    }

    void runningScanParksUntilTheEnd()
    {
        StartScan();
        f.model->ReportError(20032, 24, false);
        QVERIFY(f.window->errors.isEmpty());
        QVERIFY(LogHas("Orlo_StopMeasurement"));
        QCOMPARE(CModel::ParkedMessage(), 24);
        f.model->ReportError(1, 5, false); // dropped while one is parked
        OrloSim_DeliverPending();          // the end of the run releases it
        QCOMPARE(f.window->errors, QList<int>{24});
        QCOMPARE(CModel::ParkedMessage(), 0);
    }

    void forcedReportIsShownWithoutStopping()
    {
        StartScan();
        f.model->ReportError(10029, 29, true);
        QCOMPARE(f.window->errors, QList<int>{29});
        QVERIFY(!LogHas("Orlo_StopMeasurement"));
    }

    void failedStopShowsAtOnce()
    {
        StartScan();
        OrloSim_FailNext("Orlo_StopMeasurement", 1);
        f.model->ReportError(20032, 24, false);
        QCOMPARE(f.window->errors, QList<int>{24});
        QCOMPARE(CModel::ParkedMessage(), 0);
    }

    void disconnectReleasesParked()
    {
        StartScan();
        f.model->ReportError(20032, 24, false);
        QVERIFY(f.window->errors.isEmpty());
        f.model->DisconnectOrlo();
        QCOMPARE(f.window->errors, QList<int>{24});
        QCOMPARE(CModel::ParkedMessage(), 0);
    }

    void noWindowNeverWaits()
    {
        f.window.reset();
        f.model->ReportError(1, 2, false); // returns: nobody acknowledges on the GUI thread
        WindowDouble late(f.model.get());
        f.model->ReportError(1, 3, false);
        QCOMPARE(late.errors, QList<int>{3});
    }

    void otherThreadHandsOver()
    {
        QThread *worker = QThread::create([this] { f.model->ReportError(1, 2, false); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QTRY_COMPARE(f.window->errors, QList<int>{2});
        QCOMPARE(f.window->threads.value(0), QThread::currentThread());
    }
};

QTEST_GUILESS_MAIN(TestModelReport)
#include "test_model_report.moc"
