// The simulated handheld through its control header and its trigger file.

#include "PellSim.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstddef>

using ButtonStates = QVector<QPair<int, int>>;
Q_DECLARE_METATYPE(ButtonStates)

class TestPellApi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_handle = 0;

    QString triggerPath() const { return m_dir.filePath("trigger.txt"); }

    void writeTrigger(const QByteArray &line)
    {
        QFile f(triggerPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(line + "\n");
    }

    // The next n button states, one call each.
    ButtonStates readButtons(int n)
    {
        ButtonStates states;
        for (int i = 0; i < n; ++i) {
            int scan = -1, held = -1;
            if (ZUGetButtonStatus(m_handle, &scan, &held) != 0)
                break;
            states.push_back({scan, held});
        }
        return states;
    }

private slots:
    void initTestCase() { qputenv("PELL_SIM_TRIGGER", triggerPath().toLocal8Bit()); }

    void init()
    {
        PellSim_Reset();
        QFile::remove(triggerPath());
        m_handle = 0;
        QCOMPARE(ZUEnumDevice(&m_handle), 0);
        QCOMPARE(m_handle, 1);
    }

    void infoRecord()
    {
        QCOMPARE(sizeof(PellDeviceInfo), size_t(104));
        QCOMPARE(offsetof(PellDeviceInfo, serial), size_t(8));
        QCOMPARE(offsetof(PellDeviceInfo, modelCode), size_t(100));
        PellDeviceInfo info{};
        QCOMPARE(ZUGetDevInfo(m_handle, &info), 0);
        QCOMPARE(info.serial, 1234567);
        QCOMPARE(info.modelCode, 200);
        QVERIFY(ZUGetDevInfo(0, &info) != 0);
    }

    void samples()
    {
        const float inks[12] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
        PellSim_QueueSamples(inks, 3);
        QCOMPARE(ZUGetNumSamples(m_handle), 0);
        QCOMPARE(ZUDoMeasurement(m_handle), 0);
        QCOMPARE(ZUGetNumSamples(m_handle), 3);
        float paper[PELL_BLOCK_SIZE], cyan[PELL_BLOCK_SIZE], xyzPaper[3], xyzBlack[3];
        QCOMPARE(ZUGetPreRadianceFactor(m_handle, 0, paper), 0);
        QCOMPARE(ZUGetPreRadianceFactor(m_handle, 1, cyan), 0);
        QVERIFY(ZUGetPreRadianceFactor(m_handle, 3, cyan) != 0);
        QVERIFY(cyan[30] < 0.2f * paper[30]); // 680 nm: cyan absorbs red
        QCOMPARE(ZUGetColor(m_handle, 0, xyzPaper), 0);
        QCOMPARE(ZUGetColor(m_handle, 2, xyzBlack), 0);
        QVERIFY(xyzPaper[1] > 70 && xyzBlack[1] < 10);
        // The next measurement takes the next set; none queued leaves no samples.
        QCOMPARE(ZUDoMeasurement(m_handle), 0);
        QCOMPARE(ZUGetNumSamples(m_handle), 0);
    }

    void buttonQueue()
    {
        PellSim_QueueButton(0, 1);
        PellSim_QueueButton(1, 0);
        int scan = -1, held = -1;
        QCOMPARE(ZUGetButtonStatus(m_handle, &scan, &held), 0);
        QCOMPARE(qMakePair(scan, held), qMakePair(0, 1));
        QCOMPARE(ZUGetButtonStatus(m_handle, &scan, &held), 0);
        QCOMPARE(qMakePair(scan, held), qMakePair(1, 0));
        QCOMPARE(ZUGetButtonStatus(m_handle, &scan, &held), 0);
        QCOMPARE(qMakePair(scan, held), qMakePair(0, 0));
    }

    void trigger_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<ButtonStates>("buttons");
        QTest::addColumn<int>("samples");
        QTest::newRow("spot") << QByteArray("spot") << ButtonStates{{0, 1}, {0, 0}} << 1;
        QTest::newRow("spot with inks") << QByteArray("spot 100 0 0 0") << ButtonStates{{0, 1}, {0, 0}} << 1;
        QTest::newRow("strip 5") << QByteArray("strip 5") << ButtonStates{{1, 0}} << 7;
        QTest::newRow("garbage") << QByteArray("hello 3") << ButtonStates{} << 0;
        QTest::newRow("spot with 2 values") << QByteArray("spot 10 20") << ButtonStates{} << 0;
        QTest::newRow("strip without count") << QByteArray("strip") << ButtonStates{} << 0;
    }

    void trigger()
    {
        QFETCH(QByteArray, line);
        QFETCH(ButtonStates, buttons);
        QFETCH(int, samples);
        writeTrigger(line);
        // The queued states, then the empty queue.
        QCOMPARE(readButtons(buttons.size() + 1), buttons + ButtonStates({{0, 0}}));
        QVERIFY(!QFile::exists(triggerPath()));
        QCOMPARE(ZUDoMeasurement(m_handle), 0);
        QCOMPARE(ZUGetNumSamples(m_handle), samples);
        if (line == "spot 100 0 0 0") {
            float block[PELL_BLOCK_SIZE];
            QCOMPARE(ZUGetPreRadianceFactor(m_handle, 0, block), 0);
            QVERIFY(block[30] < 0.2f);
        }
    }

    void propertiesAndUnplug()
    {
        const int one = 1;
        int value = 0;
        QCOMPARE(ZUSetProperty(m_handle, 8, &one), 0);
        QCOMPARE(ZUGetProperty(m_handle, 8, &value), 0);
        QCOMPARE(value, 1);
        PellSim_Unplug();
        QVERIFY(ZUGetProperty(m_handle, 8, &value) != 0);
        QCOMPARE(ZUCloseDevice(m_handle), 0);
        QVERIFY(ZUEnumDevice(&m_handle) != 0);
        QVERIFY(QByteArray(PellSim_CallLog()).contains("ZUSetProperty(1,8,1)\nZUGetProperty(1,8)\n"));
    }

    void userIlluminant()
    {
        float values[PELL_ILLUMINANT_SIZE];
        QCOMPARE(ZUGetUserIlluminant(m_handle, values), 0);
        QVERIFY(std::fabs(values[52] - 100.0f) < 0.5f); // illuminant A is 100 at 560 nm
        QVERIFY(values[96] > values[52]);
        float flat[PELL_ILLUMINANT_SIZE];
        std::fill(std::begin(flat), std::end(flat), 7.0f);
        PellSim_SetUserIlluminant(flat);
        QCOMPARE(ZUGetUserIlluminant(m_handle, values), 0);
        QCOMPARE(values[0], 7.0f);
        PellSim_FailNext("ZUGetUserIlluminant", 5);
        QCOMPARE(ZUGetUserIlluminant(m_handle, values), 5);
    }
};

QTEST_GUILESS_MAIN(TestPellApi)
#include "tst_pellapi.moc"
