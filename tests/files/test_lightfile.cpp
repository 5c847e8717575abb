// Light-source spectral data files: round trips, the bare value list, and every malformed ".uid2" shape.

#include "measfixture.h"

#include <QFileInfo>
#include <QLocale>
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

// 97 values around the edges of what a value line can hold.
QByteArray ExtremeValueLines()
{
    QByteArray lines = "1e-7\n 2.5 \n-0.00004\n3.4e38\n123456.789012\n-1.5E+3\n0.99995\n";
    return lines + ValueLines(90);
}

// The record the file format can give back for a record the reader produced.
float Written(float value)
{
    return float(QString::number(double(value), 'f', 4).toDouble());
}

void CompareRead(const EnvironLightData &read, const EnvironLightData &expected)
{
    QCOMPARE(read.Date, expected.Date);
    QCOMPARE(read.Source, expected.Source);
    QCOMPARE(read.Start, expected.Start);
    QCOMPARE(read.Step, expected.Step);
    QCOMPARE(read.End, expected.End);
    for (int i = 0; i < kEnvironLightValueCount; ++i)
        QCOMPARE(read.Values[i], Written(expected.Values[i]));
}

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

    // What the reader accepts, the writer writes back so that it reads the same, in both formats; what the
    // writer could not write back readable, the reader refuses.
    void readWriteRead_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("code");
        const QByteArray v97 = ValueLines(97);
        QTest::newRow("uid2 01.00") << Uid2("01.00", kRange, v97) << 0 << 0;
        QTest::newRow("uid2 another version") << Uid2("02.07", kRange, v97) << 0 << 0;
        QTest::newRow("uid2 version without padding") << Uid2("1.0", kRange, v97) << 0 << 0;
        QTest::newRow("uid2 without range lines") << Uid2("01.00", "", v97) << 0 << 0;
        QTest::newRow("uid2 same range again after the block") << Uid2("01.00", kRange, v97) + kRange << 0 << 0;
        QTest::newRow("uid2 pitch line after the block")
            << Uid2("02.00", kRange, v97) + "#PITCH_WAVELENGTH,10\n" << 0 << 70010;
        QTest::newRow("uid2 end line inside the block")
            << Uid2("01.00", kRange, ValueLines(21) + "#END_WAVELENGTH,400\n" + ValueLines(76)) << 0 << 70010;
        QTest::newRow("uid2 begin line after the block")
            << Uid2("01.00", kRange, v97) + "\n#BEGIN_WAVELENGTH,380\n" << 0 << 70010;
        QTest::newRow("uid2 short list with a pitch line")
            << Uid2("02.00", "#BEGIN_WAVELENGTH,300\n#PITCH_WAVELENGTH,10\n#END_WAVELENGTH,780\n", ValueLines(49))
            << 0 << 70010;
        QTest::newRow("uid2 complete block, then an unfinished one")
            << Uid2("01.00", kRange, v97) + "#BEGIN_SPECTRUM_DATA\n" + ValueLines(10) << 0 << 70010;
        QTest::newRow("uid2 two blocks") << Uid2("01.00", kRange, ValueLines(97)) + "#BEGIN_SPECTRUM_DATA\n" +
                                                ExtremeValueLines() + "#END_SPECTRUM_DATA\n"
                                         << 0 << 0;
        QByteArray crDate = Uid2("01.00", kRange, v97);
        crDate.replace("#CREATE_TIME,20240131\n", "#CREATE_TIME,20240131\r\r\n");
        QTest::newRow("uid2 date line ending in CR") << crDate << 0 << 0;
        QByteArray crcrlf = Uid2("01.00", kRange, v97);
        crcrlf.replace("\n", "\r\r\n");
        QTest::newRow("uid2 CR CR LF line ends") << crcrlf << 0 << 0;
        QByteArray oddDate = Uid2("01.00", kRange, v97);
        oddDate.replace("#CREATE_TIME,20240131", "#CREATE_TIME, #END_SPECTRUM_DATA \r x,more");
        QTest::newRow("uid2 date with a keyword, a CR and a second field") << oddDate << 0 << 0;
        QTest::newRow("uid2 unknown instrument") << Uid2("01.00", kRange, v97, true, "Lumet") << 0 << 0;
        QTest::newRow("uid2 extreme values") << Uid2("01.00", kRange, ExtremeValueLines()) << 0 << 0;
        QTest::newRow("uid2 byte-order mark") << "\xEF\xBB\xBF" + Uid2("01.00", kRange, v97) << 0 << 0;
        QTest::newRow("uid 97 lines") << v97 << 1 << 0;
        QTest::newRow("uid 100 lines") << ValueLines(100) << 1 << 0;
        QTest::newRow("uid CR LF, extreme values") << QByteArray(ExtremeValueLines()).replace("\n", "\r\n") << 1 << 0;
    }
    void readWriteRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, format);
        QFETCH(int, code);
        QTemporaryDir dir;
        EnvironLightData first;
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&first, WriteFixture(dir, "source", content), format), code);
        if (code != 0)
            return;
        for (int target = 0; target <= 1; ++target) {
            const QString path = dir.filePath(QStringLiteral("written%1").arg(target));
            QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, target, first), 0);
            const QByteArray bytes = ReadBytes(path);
            EnvironLightData second;
            second.Start = 1; // the reader sets the range itself
            QCOMPARE(CIODataFile::ReadEnvironmentLightData(&second, path, target), 0);
            EnvironLightData expected = first;
            if (target == 1) {
                // A bare value list carries neither date nor instrument.
                expected.Source = 0;
                expected.Date = QLocale::c().toString(QFileInfo(path).lastModified(), QStringLiteral("yyyyMMddhhmmss"));
            }
            CompareRead(second, expected);
            // What was read back writes the same bytes again.
            QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, target, second), 0);
            QCOMPARE(ReadBytes(path), bytes);
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

    // A record the reader would refuse, or give back otherwise, is not written; an existing file stays.
    void unreadableRecordIsNotWritten_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("end");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("date");
        QTest::addColumn<int>("code");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        const QString date = SampleLight().Date;
        for (int format = 0; format <= 1; ++format) {
            const char *f = format == 0 ? "uid2" : "uid";
            QTest::addRow("%s zero pitch", f) << format << 0 << 2000 << 1.0f << date << 70010;
            QTest::addRow("%s end 400", f) << format << 5 << 400 << 1.0f << date << 70010;
            QTest::addRow("%s NaN value", f) << format << 5 << 780 << nan << date << 70010;
            QTest::addRow("%s infinite value", f) << format << 5 << 780 << -inf << date << 70010;
            // The bare value list carries no date.
            QTest::addRow("%s date with a line break", f)
                << format << 5 << 780 << 1.0f << "2024\n#BEGIN_SPECTRUM_DATA" << (format == 0 ? 70010 : 0);
            QTest::addRow("%s date with a comma", f) << format << 5 << 780 << 1.0f << "2024,01" << (format == 0 ? 70010 : 0);
            QTest::addRow("%s date ending in CR", f) << format << 5 << 780 << 1.0f << "2024\r" << (format == 0 ? 70010 : 0);
        }
    }
    void unreadableRecordIsNotWritten()
    {
        QFETCH(int, format);
        QFETCH(int, step);
        QFETCH(int, end);
        QFETCH(float, value);
        QFETCH(QString, date);
        QFETCH(int, code);
        EnvironLightData light = SampleLight();
        light.Step = step;
        light.End = end;
        light.Values[40] = value;
        light.Date = date;
        QTemporaryDir dir;
        const QString path = WriteFixture(dir, "keep", "old content");
        QCOMPARE(CIODataFile::WriteEnvironmentLightData(path, format, light), code);
        if (code != 0) {
            QCOMPARE(ReadBytes(path), QByteArray("old content"));
            return;
        }
        EnvironLightData read;
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, path, format), 0);
    }
};

QTEST_GUILESS_MAIN(LightFileTest)
#include "test_lightfile.moc"
