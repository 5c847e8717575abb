// The measurement file for a folder or a printer: both contents, both byte forms, the column letters, the
// count, and failures that must leave no file and an existing one untouched.

#include "measfixture.h"

#include <QtTest>

namespace {

const QString kCreated = QStringLiteral("2024/01/31 08:05:09");
const QString kGoldenDir = QStringLiteral(VAREMO_FILES_TEST_DATA "/golden");

QByteArray RotateBack(QByteArray bytes)
{
    for (char &c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        c = static_cast<char>(static_cast<unsigned char>((b << 1) | (b >> 7)));
    }
    return bytes;
}

// A device that takes only so many bytes.
class ShortDevice : public QIODevice
{
public:
    explicit ShortDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 length) override
    {
        if (m_room <= 0)
            return -1;
        const qint64 taken = qMin(length, m_room);
        m_room -= taken;
        return taken;
    }

private:
    qint64 m_room;
};

// One density page: area 0 of 2 rows x 2 columns and area 1 of 1 x 1; IDs out of layout order. The second
// record of ID 2 repeats its place, ID 5 has no record.
struct DensityFixture {
    ChartGuard chart;
    MeasurementGuard measurement;
    explicit DensityFixture(int mode)
    {
        BuildFixtureChart(&chart.chart, 2, {{{3, 0, 0, 0}, {1, 0, 0, 1}, {4, 0, 1, 0}, {2, 0, 1, 1}, {5, 1, 0, 0}}});
        MeasurementDataSheets &m = measurement.measurement;
        m.Mode = mode;
        m.SerialNumber = QStringLiteral("A1B2C3");
        m.SheetCount = 1;
        m.RecordCount = 5;
        m.Sheets = NewMeasurementPages(1);
        SetFixturePage(&m.Sheets[0], 1,
                       {{{3, 0, 0, 0}, 30.0f}, {{2, 0, 1, 1}, 20.0f}, {{1, 0, 0, 1}, 10.0f}, {{2, 0, 1, 1}, 99.0f},
                        {{4, 0, 1, 0}, 40.0f}},
                       5);
    }
};

QString GoldenName(int mode, int content)
{
    return QStringLiteral("measurefile_%1_%2%3")
        .arg(mode == 0 ? QStringLiteral("orlo") : QStringLiteral("calen"))
        .arg(content == 0 ? QStringLiteral("reflectance") : QStringLiteral("colorimetric"))
        .arg(CIODataFile::IsRotatedMeasureDataForm(content, mode) ? QStringLiteral(".mdz") : QStringLiteral(".txt"));
}

} // namespace

class MeasureFileTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Varemo")); }

    void goldens_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("content");
        for (int mode : {0, 2})
            for (int content : {0, 1})
                QTest::newRow(qPrintable(GoldenName(mode, content))) << mode << content;
    }
    void goldens()
    {
        QFETCH(int, mode);
        QFETCH(int, content);
        DensityFixture fixture(mode);
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath(GoldenName(mode, content));
        QCOMPARE(io.SaveMeasureDataFile(path, kCreated, content, AllSwitchesOn(), fixture.measurement.measurement,
                                        fixture.chart.chart),
                 0);
        const QByteArray bytes = ReadBytes(path);
        const QString golden = kGoldenDir + QLatin1Char('/') + GoldenName(mode, content);
        if (qEnvironmentVariableIsSet("VAREMO_UPDATE_GOLDENS")) {
            QFile out(golden);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            QSKIP("golden written");
        }
        QCOMPARE(bytes, ReadBytes(golden));

        // The rotated form is the CR LF text, rotated.
        QString text;
        QCOMPARE(io.BuildMeasureDataText(&text, "\t", "\r\n", kCreated, content, AllSwitchesOn(),
                                         fixture.measurement.measurement, fixture.chart.chart),
                 0);
        const bool rotated = CIODataFile::IsRotatedMeasureDataForm(content, mode);
        QCOMPARE(rotated ? RotateBack(bytes) : bytes, text.toUtf8());
        QVERIFY(text.endsWith(QLatin1String("END_DATA\r\n")));
        // Four patches have a measured record; ID 2 gives one row from its first record.
        QVERIFY(text.contains(QLatin1String("NUMBER_OF_SETS\t4\r\n")));
        QCOMPARE(text.count(QRegularExpression("\r\n2\t")), 1);
        QVERIFY(text.contains(content == 0 ? QLatin1String("\r\n2\t22.1250\t") : QLatin1String("\r\n2\tB2\t21.75")));
    }

    void formTable_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("content");
        QTest::addColumn<bool>("rotated");
        QTest::newRow("Orlo spectral") << 0 << 0 << false;
        QTest::newRow("Brisa spectral") << 1 << 0 << false;
        QTest::newRow("Calen spectral") << 2 << 0 << true;
        QTest::newRow("Calen BT2 spectral") << 3 << 0 << true;
        QTest::newRow("Calen colorimetric") << 2 << 1 << false;
        QTest::newRow("Calen BT2 colorimetric") << 3 << 7 << false;
    }
    void formTable()
    {
        QFETCH(int, mode);
        QFETCH(int, content);
        QFETCH(bool, rotated);
        QCOMPARE(CIODataFile::IsRotatedMeasureDataForm(content, mode), rotated);
    }

    void rotation()
    {
        QCOMPARE(CIODataFile::RotateTextBytes(QStringLiteral("A\r\n")), QByteArray("\xA0\x86\x05", 3));
        QCOMPARE(CIODataFile::RotateTextBytes(QString::fromLatin1("AB\0CD", 5)).size(), 2);
    }

    void letterBeyondZ()
    {
        ChartGuard chart;
        QList<FixturePatch> patches;
        for (int c = 0; c < 27; ++c)
            patches.append({c + 1, 0, 0, c});
        BuildFixtureChart(&chart.chart, 2, {patches});
        MeasurementGuard measurement;
        MeasurementDataSheets &m = measurement.measurement;
        m.SheetCount = 1;
        m.Sheets = NewMeasurementPages(1);
        SetFixturePage(&m.Sheets[0], 1, {{{27, 0, 0, 26}, 1.0f}, {{26, 0, 0, 25}, 2.0f}}, 2);
        MeasureHost host;
        CIODataFile io(&host);
        QString text;
        QCOMPARE(io.BuildMeasureDataText(&text, "\t", "\n", QStringLiteral("not a time"), 1, AllSwitchesOn(), m,
                                         chart.chart),
                 0);
        QVERIFY(text.contains(QLatin1String("\n26\tZ1\t")));
        QVERIFY(text.contains(QLatin1String("\n27\t[1\t")));
        QVERIFY(text.contains(QLatin1String("\nCREATED\t\"\"\n")));
    }

    void failures()
    {
        DensityFixture fixture(2);
        MeasureHost host;
        host.failCondition = 1;
        host.failSeed = 40.0f;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("existing.mdz");
        QVERIFY(!WriteFixture(dir, "existing.mdz", "old").isEmpty());
        for (int content : {0, 1}) {
            QCOMPARE(io.SaveMeasureDataFile(path, kCreated, content, AllSwitchesOn(), fixture.measurement.measurement,
                                            fixture.chart.chart),
                     20014);
            QCOMPARE(ReadBytes(path), QByteArray("old"));
        }
        QCOMPARE(io.SaveMeasureDataFile(dir.filePath("fresh.txt"), kCreated, 1, AllSwitchesOn(),
                                        fixture.measurement.measurement, fixture.chart.chart),
                 20014);
        QVERIFY(!QFile::exists(dir.filePath("fresh.txt")));

        host.failCondition = -1;
        QCOMPARE(io.SaveMeasureDataFile(dir.filePath("missing/out.txt"), kCreated, 1, AllSwitchesOn(),
                                        fixture.measurement.measurement, fixture.chart.chart),
                 70001);
        QCOMPARE(io.SaveMeasureDataFile(dir.filePath("missing/out.mdz"), kCreated, 0, AllSwitchesOn(),
                                        fixture.measurement.measurement, fixture.chart.chart),
                 70001);

        const QString text = QStringLiteral("ORIGINATOR\t\"x\"\r\n").repeated(50);
        ShortDevice plain(100);
        QCOMPARE(CIODataFile::WriteUtf8Text(plain, text), 70002);
        ShortDevice rotated(100);
        QCOMPARE(CIODataFile::WriteRotatedText(rotated, text), 70002);
        ShortDevice roomy(1 << 20);
        QCOMPARE(CIODataFile::WriteRotatedText(roomy, text), 0);
    }
};

QTEST_GUILESS_MAIN(MeasureFileTest)
#include "test_measurefile.moc"
