// Light-source spectral data files: round trips, the bare value list, and every malformed ".uid2" shape.

#include "measfixture.h"

#include <QFileInfo>
#include <QtTest>

namespace {

EnvironLightData SampleLight()
{
    EnvironLightData light;
    light.Name = QStringLiteral("Office");
    light.Date = QStringLiteral("2024/01/31 08:05:09");
    light.Source = 3;
    for (int i = 0; i < kEnvironLightValueCount; ++i)
        light.Values[i] = float(i) * 0.123456f;
    return light;
}

QByteArray ValueLines(int count, const char *eol = "\n")
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += QByteArray::number(i * 0.5, 'f', 4) + eol;
    return lines;
}

QByteArray Uid2(const QByteArray &version, const QByteArray &begin, const QByteArray &values, bool end = true,
                const char *instrument = "Velmar Ostrand Calen")
{
    return "#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\n\n#FORMAT_VERSION," + version + "\n\n#CREATE_TIME,20240131\n\n"
           "#INSTRUMENTATION," + QByteArray(instrument) + "\n\n" + begin + "\n#BEGIN_SPECTRUM_DATA\n" + values +
           (end ? "#END_SPECTRUM_DATA\n" : "");
}

const QByteArray kRange = "#BEGIN_WAVELENGTH,300\n#PITCH_WAVELENGTH,5\n#END_WAVELENGTH,780\n";

} // namespace

class LightFileTest : public QObject
{
    Q_OBJECT

private slots:
    void uid2RoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("light.uid2");
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, 0, SampleLight()), 0);
        const QByteArray bytes = ReadBytes(path);
        QVERIFY(bytes.startsWith("#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\r\n\r\n#FORMAT_VERSION,01.00\r\n\r\n"));
        QVERIFY(bytes.contains("\r\n#INSTRUMENTATION,Velmar Ostrand Lumet\r\n"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));

        EnvironLightData read;
        read.Name = QStringLiteral("kept");
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, path, 0), 0);
        const EnvironLightData light = SampleLight();
        QCOMPARE(read.Name, QStringLiteral("kept"));
        QCOMPARE(read.Date, light.Date);
        QCOMPARE(read.Source, 3);
        QCOMPARE(read.Start, 300);
        QCOMPARE(read.Step, 5);
        QCOMPARE(read.End, 780);
        for (int i = 0; i < kEnvironLightValueCount; ++i)
            QCOMPARE(read.Values[i], float(QString::number(double(light.Values[i]), 'f', 4).toDouble()));
    }

    void uidValueList()
    {
        SetTimeZone("Asia/Tokyo");
        QTemporaryDir dir;
        const QString path = dir.filePath("light.uid");
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, 1, SampleLight()), 0);
        QCOMPARE(ReadBytes(path).count("\r\n"), 97);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime(QDate(2023, 12, 31), QTime(23, 30, 15), Qt::UTC),
                                     QFileDevice::FileModificationTime));
        }
        EnvironLightData read;
        read.Source = 2;
        read.Start = 1;
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, path, 1), 0);
        QCOMPARE(read.Date, QStringLiteral("20240101083015"));
        QCOMPARE(read.Source, 0);
        QCOMPARE(read.Start, 300);
        QCOMPARE(read.Values[96], float(QString::number(96 * 0.123456f, 'f', 4).toDouble()));
        SetTimeZone("UTC");

        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, WriteFixture(dir, "100.uid", ValueLines(100)), 1), 0);
        QCOMPARE(read.Values[96], 48.0f);
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, WriteFixture(dir, "96.uid", ValueLines(96)), 1), 70010);
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, WriteFixture(dir, "gap.uid", ValueLines(3) + "\n" + ValueLines(94)), 1),
                 70011);
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, dir.filePath("none.uid"), 1), 70001);
    }

    void malformedUid2_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");
        QTest::newRow("well formed, LF") << Uid2("01.00", kRange, ValueLines(97)) << 0 << 2;
        QByteArray crlf = Uid2("01.00", kRange, ValueLines(97));
        crlf.replace("\n", "\r\n");
        QTest::newRow("well formed, CR LF") << crlf << 0 << 2;
        QTest::newRow("instrument in capitals") << Uid2("01.00", kRange, ValueLines(97), true, "VELMAR OSTRAND CALEN")
                                                << 0 << 0;
        QTest::newRow("no header") << Uid2("01.00", kRange, ValueLines(97)).mid(36) << 70010 << -1;
        QTest::newRow("version without dot") << Uid2("1", kRange, ValueLines(97)) << 70010 << -1;
        QTest::newRow("version not a number") << Uid2("01.x", kRange, ValueLines(97)) << 70011 << -1;
        QTest::newRow("no spectrum block") << Uid2("01.00", kRange, ValueLines(97)).left(120) << 70010 << -1;
        QTest::newRow("block without end") << Uid2("01.00", kRange, ValueLines(97), false) << 70010 << -1;
        QTest::newRow("98 values") << Uid2("01.00", kRange, ValueLines(98)) << 70010 << -1;
        QTest::newRow("96 values") << Uid2("01.00", kRange, ValueLines(96)) << 70010 << -1;
        QTest::newRow("pitch 1") << Uid2("01.00", "#BEGIN_WAVELENGTH,300\n#PITCH_WAVELENGTH,1\n#END_WAVELENGTH,780\n",
                                         ValueLines(97))
                                 << 70010 << -1;
        QTest::newRow("comma decimal") << Uid2("01.00", kRange, "0,5\n" + ValueLines(96)) << 70011 << -1;
        QTest::newRow("nan") << Uid2("01.00", kRange, "nan\n" + ValueLines(96)) << 70011 << -1;
        QTest::newRow("wavelength not a number")
            << Uid2("01.00", "#BEGIN_WAVELENGTH,3x0\n", ValueLines(97)) << 70011 << -1;
        QTest::newRow("empty file") << QByteArray() << 70010 << -1;
    }
    void malformedUid2()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        QFETCH(int, kind);
        QTemporaryDir dir;
        EnvironLightData light;
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&light, WriteFixture(dir, "l.uid2", content), 0), code);
        if (code == 0) {
            QCOMPARE(light.Source, kind);
            QCOMPARE(light.Values[96], 48.0f);
            QCOMPARE(light.Date, QStringLiteral("20240131"));
        }
    }

    void unknownFormatTouchesNothing_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("-1") << -1;
        QTest::newRow("2") << 2;
    }
    void unknownFormatTouchesNothing()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString path = WriteFixture(dir, "keep.uid2", "old content");
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, format, SampleLight()), 70009);
        QCOMPARE(ReadBytes(path), QByteArray("old content"));
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(dir.filePath("new.uid2"), format, SampleLight()), 70009);
        QVERIFY(!QFile::exists(dir.filePath("new.uid2")));
        EnvironLightData light;
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&light, path, format), 70010);
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(dir.filePath("missing/x.uid2"), 0, SampleLight()), 70001);
    }

    void zeroPitchStillWritesAllValues()
    {
        EnvironLightData light = SampleLight();
        light.Step = 0;
        light.End = 2000;
        QTemporaryDir dir;
        const QString path = dir.filePath("zero.uid2");
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, 0, light), 0);
        const QByteArray bytes = ReadBytes(path);
        const int begin = bytes.indexOf("#BEGIN_SPECTRUM_DATA\r\n") + 22;
        const int end = bytes.indexOf("#END_SPECTRUM_DATA");
        QCOMPARE(bytes.mid(begin, end - begin).count("\r\n"), 97);
    }
};

QTEST_GUILESS_MAIN(LightFileTest)
#include "test_lightfile.moc"
