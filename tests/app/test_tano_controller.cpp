// The handheld controller against the simulated handheld; ticks are driven by calling waitTimeout() directly.

#include "app/illuminantdata.h"
#include "app/tanosdkcontroller.h"

#include "PellSim.h"

#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

struct Stored {
    int patch, area, row, column, count, extra;
    float firstValue;
    int format;
};

// Records what the controller hands to the model; can fail a store or swap the position list while storing.
class RecordingHost : public CTanoSDKHost
{
public:
    bool scanMode = false;
    int failStoreOfPatch = -1;
    bool replaceListOnStore = false;
    QVector<Stored> stored;
    std::vector<std::unique_ptr<TanoSDK_PatchPosition>> owned;
    QList<TanoSDK_PatchPosition *> positions;

    void SetPositions(int count)
    {
        positions.clear();
        owned.clear();
        for (int i = 0; i < count; ++i) {
            owned.push_back(std::make_unique<TanoSDK_PatchPosition>(TanoSDK_PatchPosition{1, i, 7}));
            positions.push_back(owned.back().get());
        }
    }

    bool GetHandyScanMode() override { return scanMode; }
    void GetHandyPatchPositions(QList<TanoSDK_PatchPosition *> &out) override { out = positions; }
    int StoreHandyMeasuredPatch(int patch, const TanoSDK_PatchPosition *location, int count,
                                const MeasurementData::PatchData *record, int extra) override
    {
        if (!location || !record)
            return 10002;
        stored.push_back({patch, location->area, location->row, location->column, count, extra, record->Values[0],
                          record->ColorFormat});
        if (replaceListOnStore) {
            replaceListOnStore = false;
            SetPositions(1); // the view moved on: the old entries are freed
        }
        return patch == failStoreOfPatch ? 1 : 0;
    }
};

QStringList LogLines()
{
    return QString::fromLatin1(PellSim_CallLog()).split('\n', Qt::SkipEmptyParts);
}

void QueueStrip(int samples)
{
    std::vector<float> inks;
    for (int i = 0; i < samples; ++i)
        inks.insert(inks.end(), {0, 0, 0, float(i) / float(samples)});
    PellSim_QueueSamples(inks.data(), samples);
}

} // namespace

class TestTanoController : public QObject
{
    Q_OBJECT

    RecordingHost m_host;
    std::unique_ptr<CTanoSDKController> m_ctl;
    QVector<unsigned long> m_sleeps;
    QStringList m_warnings;
    int m_finished = 0;

    void open()
    {
        int kind = -1, serial = -1;
        QCOMPARE(m_ctl->OpenDevice(&kind, &serial), 0);
        PellSim_ClearCallLog();
    }

private slots:
    void init()
    {
        PellSim_Reset();
        m_host = RecordingHost();
        m_sleeps.clear();
        m_warnings.clear();
        m_finished = 0;
        m_ctl = std::make_unique<CTanoSDKController>(&m_host);
        m_ctl->SetSleepFunction([this](unsigned long ms) { m_sleeps.push_back(ms); });
        CTanoSDKController::SetWarningNotifier([this](const QString &text) { m_warnings.push_back(text); });
        connect(m_ctl.get(), &CTanoSDKController::HandyMeasurementFinished, this, [this] { ++m_finished; });
    }

    void cleanup()
    {
        m_ctl.reset();
        CTanoSDKController::SetWarningNotifier(nullptr);
    }

    void strip_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("positions");
        QTest::addColumn<int>("colorFailAfter"); // ZUGetColor calls that pass before one fails, -1 none
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("finished");
        QTest::addColumn<bool>("warning");
        QTest::newRow("2 samples") << 2 << 5 << -1 << 0 << false << false;
        QTest::newRow("7 samples, 5 positions") << 7 << 5 << -1 << 5 << true << false;
        QTest::newRow("7 samples, 6 positions") << 7 << 6 << -1 << 5 << false << true;
        QTest::newRow("9 samples, 5 positions") << 9 << 5 << -1 << 5 << false << true;
        QTest::newRow("colour of sample 3 fails") << 7 << 5 << 2 << 2 << false << false;
    }

    void strip()
    {
        QFETCH(int, samples);
        QFETCH(int, positions);
        QFETCH(int, colorFailAfter);
        QFETCH(int, stored);
        QFETCH(bool, finished);
        QFETCH(bool, warning);
        open();
        m_host.scanMode = true;
        m_host.SetPositions(positions);
        QueueStrip(samples);
        PellSim_QueueButton(1, 0);
        if (colorFailAfter >= 0)
            PellSim_FailAfter("ZUGetColor", colorFailAfter, 9);
        m_ctl->StartWaitButton();
        m_ctl->waitTimeout();
        QCOMPARE(m_host.stored.size(), stored);
        for (int i = 0; i < stored; ++i) {
            QCOMPARE(m_host.stored[i].patch, i + 1); // the first sample is paper
            QCOMPARE(m_host.stored[i].row, i);
            QCOMPARE(m_host.stored[i].format, 1);
        }
        QCOMPARE(m_finished, finished ? 1 : 0);
        QCOMPARE(m_warnings.size(), warning ? 1 : 0);
        if (warning)
            QCOMPARE(m_warnings[0], QString("One or more patches could not be measured."));
        // Only samples that exist are read.
        for (const QString &line : LogLines())
            if (line.startsWith("ZUGetPreRadianceFactor"))
                QVERIFY(line.section(',', 1).chopped(1).toInt() < samples);
    }

    void stripPositionsCopiedBeforeStoring()
    {
        open();
        m_host.scanMode = true;
        m_host.SetPositions(5);
        m_host.replaceListOnStore = true;
        QueueStrip(7);
        PellSim_QueueButton(1, 0);
        m_ctl->StartWaitButton();
        m_ctl->waitTimeout();
        QCOMPARE(m_host.stored.size(), 5);
        QCOMPARE(m_host.stored[4].row, 4);
        QCOMPARE(m_host.stored[4].column, 7);
    }

    void failingPreRadianceFactor()
    {
        open();
        m_host.scanMode = true;
        m_host.SetPositions(5);
        QueueStrip(7);
        PellSim_QueueButton(1, 0);
        PellSim_FailAfter("ZUGetPreRadianceFactor", 1, 9);
        m_ctl->StartWaitButton();
        m_ctl->waitTimeout();
        QCOMPARE(m_host.stored.size(), 1);
        QCOMPARE(m_finished, 0);
        QVERIFY(m_warnings.isEmpty());
    }

    void spotHeldBeforeWaiting()
    {
        open();
        m_host.SetPositions(3);
        const float ink[4] = {0.5f, 0, 0, 0};
        PellSim_QueueSamples(ink, 1);
        for (int held : {1, 1, 0, 1})
            PellSim_QueueButton(0, held);
        m_ctl->StartWaitButton();
        for (int tick = 0; tick < 3; ++tick)
            m_ctl->waitTimeout();
        QVERIFY(m_host.stored.isEmpty());
        m_ctl->waitTimeout();
        QCOMPARE(m_host.stored.size(), 1);
        QCOMPARE(m_host.stored[0].patch, 0);
        QCOMPARE(m_host.stored[0].row, 0);
        QVERIFY(m_host.stored[0].firstValue > 0);
        QCOMPARE(m_finished, 1);
        QVERIFY(m_ctl->IsWaiting()); // polling goes on for the next press
    }

    void spotStoreFails()
    {
        open();
        m_host.SetPositions(1);
        m_host.failStoreOfPatch = 0;
        const float ink[4] = {0, 0, 0, 0};
        PellSim_QueueSamples(ink, 1);
        PellSim_QueueButton(0, 0);
        PellSim_QueueButton(0, 1);
        m_ctl->StartWaitButton();
        m_ctl->waitTimeout();
        m_ctl->waitTimeout();
        QCOMPARE(m_host.stored.size(), 1);
        QCOMPARE(m_finished, 0);
    }

    void twoPressesWithoutRestart()
    {
        open();
        m_host.SetPositions(1);
        const float ink[4] = {0, 0.5f, 0, 0};
        PellSim_QueueSamples(ink, 1);
        PellSim_QueueSamples(ink, 1);
        for (int held : {0, 1, 0, 1})
            PellSim_QueueButton(0, held);
        m_ctl->StartWaitButton();
        for (int tick = 0; tick < 4; ++tick)
            m_ctl->waitTimeout();
        QCOMPARE(m_host.stored.size(), 2);
        QCOMPARE(m_finished, 2);
    }

    void startTwiceOneExpiry()
    {
        open();
        m_ctl->StartWaitButton();
        m_ctl->StartWaitButton();
        QTimer *timer = m_ctl->findChild<QTimer *>();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 500);
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
        QCOMPARE(LogLines().filter("ZUGetButtonStatus").size(), 1);
    }

    void stopWait()
    {
        open();
        m_host.SetPositions(1);
        const float ink[4] = {0, 0, 0, 0};
        PellSim_QueueSamples(ink, 1);
        PellSim_QueueButton(0, 0);
        PellSim_QueueButton(0, 1);
        m_ctl->StartWaitButton();
        m_ctl->waitTimeout();
        m_ctl->StopWaitButton();
        QVERIFY(!m_ctl->IsWaiting());
        m_ctl->waitTimeout();
        QVERIFY(m_host.stored.isEmpty());
        QVERIFY(!m_ctl->IsWaiting());
    }

    void propertiesEachTick_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::newRow("spot") << false;
        QTest::newRow("strip") << true;
    }

    void propertiesEachTick()
    {
        QFETCH(bool, scan);
        open();
        m_host.scanMode = scan;
        m_ctl->StartWaitButton();
        m_ctl->waitTimeout();
        const QStringList expected = {QString("ZUSetProperty(1,0,%1)").arg(scan ? 1 : 0), "ZUSetProperty(1,1,2)",
                                      "ZUSetProperty(1,2,0)", "ZUSetProperty(1,3,3)", "ZUSetProperty(1,4,2)",
                                      "ZUSetProperty(1,5,2)", "ZUSetProperty(1,6,0)", "ZUGetButtonStatus(1)"};
        QCOMPARE(LogLines(), expected);
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << QString() << 30002;
        QTest::newRow("property 8") << QString("ZUSetProperty") << 30007;
        QTest::newRow("information") << QString("ZUGetDevInfo") << 30008;
    }

    void openFailures()
    {
        QFETCH(QString, failing);
        QFETCH(int, expected);
        if (failing.isEmpty())
            PellSim_SetPresent(0);
        else
            PellSim_FailNext(failing.toLatin1().constData(), 9);
        int kind = -1, serial = -1;
        QCOMPARE(m_ctl->OpenDevice(&kind, &serial), expected);
        QVERIFY(!m_ctl->IsOpen());
        QCOMPARE(kind, -1);
        if (!failing.isEmpty()) {
            QVERIFY(LogLines().contains("ZUCloseDevice(1)"));
            QCOMPARE(LogLines().contains("ZUSetProperty(1,8,0)"), expected == 30008);
        }
        PellSim_SetPresent(1);
        PellSim_ClearCallLog();
        QCOMPARE(m_ctl->OpenDevice(&kind, &serial), 0);
        QCOMPARE(LogLines().first(), QString("ZUEnumDevice()"));
        QCOMPARE(serial, 1234567);
    }

    void openKinds_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("kind");
        QTest::newRow("Brisa") << 100 << 1;
        QTest::newRow("Calen") << 200 << 2;
        QTest::newRow("Calen BT2") << 210 << 3;
        QTest::newRow("unknown") << 999 << -1;
    }

    void openKinds()
    {
        QFETCH(int, model);
        QFETCH(int, kind);
        PellSim_SetModelCode(model);
        PellSim_SetSerial(4242);
        int k = -1, serial = 0;
        QCOMPARE(m_ctl->OpenDevice(&k, &serial), 0);
        QCOMPARE(k, kind);
        QCOMPARE(serial, 4242);
        QCOMPARE(m_ctl->GetModelKind(), std::max(kind, 0));
        QCOMPARE(m_ctl->GetSerialNumber(), QString("4242"));
        QCOMPARE(m_ctl->OpenDevice(&k, &serial), 30001);
    }

    void close()
    {
        m_ctl->StartWaitButton();
        PellSim_ClearCallLog();
        QCOMPARE(m_ctl->CloseDevice(), 0);
        QVERIFY(LogLines().isEmpty());
        QVERIFY(!m_ctl->IsWaiting());
        QVERIFY(m_sleeps.isEmpty());

        open();
        m_ctl->StartWaitButton();
        QCOMPARE(m_ctl->CloseDevice(), 0);
        QCOMPARE(LogLines(), (QStringList{"ZUSetProperty(1,8,0)", "ZUCloseDevice(1)"}));
        QCOMPARE(m_sleeps, (QVector<unsigned long>{1000}));
        QVERIFY(!m_ctl->IsOpen());
        QVERIFY(!m_ctl->IsWaiting());
    }

    void userIlluminant_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("source");
        QTest::newRow("Brisa") << 100 << 1;
        QTest::newRow("Calen") << 200 << 2;
        QTest::newRow("Calen BT2") << 210 << 2;
    }

    void userIlluminant()
    {
        QFETCH(int, model);
        QFETCH(int, source);
        PellSim_SetModelCode(model);
        EnvironLightData rec;
        rec.Name = "kept";
        QCOMPARE(m_ctl->GetUserIlluminant(&rec), 30004);
        open();
        PellSim_FailNext("ZUGetUserIlluminant", 3);
        QCOMPARE(m_ctl->GetUserIlluminant(&rec), 30005);
        QCOMPARE(m_ctl->GetUserIlluminant(&rec), 0);
        QCOMPARE(rec.Name, QString("kept"));
        QCOMPARE(rec.Start, 300);
        QCOMPARE(rec.Step, 5);
        QCOMPARE(rec.End, 780);
        QVERIFY(QRegularExpression("^\\d{14}$").match(rec.Date).hasMatch());
        QCOMPARE(rec.Source, source);
        QVERIFY(rec.Values[56] > 0); // illuminant A at 580 nm
    }

    void deviceAlive()
    {
        QVERIFY(!m_ctl->IsDeviceAlive());
        open();
        QVERIFY(m_ctl->IsDeviceAlive());
        PellSim_Unplug();
        QVERIFY(!m_ctl->IsDeviceAlive());
        QVERIFY(!m_ctl->IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestTanoController)
#include "test_tano_controller.moc"
