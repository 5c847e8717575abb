// The chart-scanner controller with the simulator delivering events on its own thread.

#include "orlostubmodel.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestOrloControllerThread : public QObject
{
    Q_OBJECT

    std::unique_ptr<OrloStubModel> model;
    std::unique_ptr<COrloSDKController> controller;

    void Connect()
    {
        Setting::ConnectSetting settings;
        settings.Port = QStringLiteral("usb0");
        QCOMPARE(controller->Connect(&settings), 0);
    }
    // Waits (on status signals, never a fixed sleep) until done() holds.
    template <typename Done>
    bool WaitFor(Done done)
    {
        QSignalSpy spy(model.get(), &OrloStubModel::statusChanged);
        QDeadlineTimer deadline(60000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            spy.wait(1000);
        }
        return true;
    }

private slots:
    void init()
    {
        OrloSim_Reset();
        OrloSim_SetDelivery(OrloSim_Thread);
        model = std::make_unique<OrloStubModel>();
        controller = std::make_unique<COrloSDKController>(model.get());
        model->controller = controller.get();
        MakeRunChart(model->buffer.GetChartDefinition());
    }
    void cleanup()
    {
        controller.reset();
        model.reset();
        OrloSim_Reset();
    }

    void runOnGuiThread()
    {
        Connect();
        QCOMPARE(controller->RegisterJob(7, *model->buffer.GetChartDefinition()), 0);
        InsertRunSheet(*model->buffer.GetChartDefinition());
        QVERIFY(WaitFor([this] {
            return model->Called("FinishDesignationSheet") && controller->GetLastEvent() == 1 &&
                   model->statuses.last() == 2;
        }));
        QCOMPARE(model->stored.size(), 6);
        for (int k = 0; k < 6; ++k)
            QCOMPARE(model->stored[k].index, k);
        QVERIFY(model->calls.contains("SelectChartFromJobNumber(7)"));
        QCOMPARE(model->threads, QSet<QThread *>({QThread::currentThread()}));
    }

    void nestedLoopKeepsOrder()
    {
        Connect();
        QVERIFY(WaitFor([this] { return controller->GetLastEvent() == 1; }));
        QList<int> seenInsideBox;
        model->onShow = [&](int) {
            // A message box: the window runs its own loop while the scanner goes on reporting.
            OrloSim_RaiseEvent(101, 0, 0);
            OrloSim_RaiseEvent(102, 0, 0);
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (controller->QueuedEventCount() >= 2)
                    loop.quit();
            });
            poll.start(5);
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            seenInsideBox = model->statuses;
        };
        model->statuses.clear();
        OrloSim_RaiseEvent(201, 0, 0);
        QVERIFY(WaitFor([this] { return model->statuses.contains(11); }));
        QCOMPARE(seenInsideBox, QList<int>());
        QCOMPARE(model->shown, QList<int>({23}));
        QCOMPARE(model->statuses, QList<int>({2, 10, 11}));
        QCOMPARE(controller->QueuedEventCount(), 0);
    }

    void destroyWithEventsInFlight()
    {
        Connect();
        QVERIFY(WaitFor([this] { return controller->GetLastEvent() == 1; }));
        for (int i = 0; i < 2000; ++i)
            OrloSim_RaiseEvent(i % 2 ? 2 : 4, 0, 0);
        // Some are handled, some queued to this thread, one may be in the callback right now.
        QCoreApplication::processEvents();
        controller.reset();
        model.reset();
        // Calls still posted for the controller went with it; nothing reaches the freed model.
        QCoreApplication::processEvents();
        OrloSim_RaiseEvent(0, 0, 0);
        QCoreApplication::processEvents();
        // The queue went with the controller: a new one starts with nothing of the old run.
        model = std::make_unique<OrloStubModel>();
        controller = std::make_unique<COrloSDKController>(model.get());
        model->controller = controller.get();
        QCoreApplication::processEvents();
        QCOMPARE(controller->QueuedEventCount(), 0);
        QVERIFY(model->calls.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOrloControllerThread)
#include "test_orlo_controller_thread.moc"
