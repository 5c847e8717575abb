// Measurement exports in all ten formats: field lists, locations, orders, goldens, the guards, dates, and what
// independent CGATS and CxF readers make of the files.

#include "measfixture.h"

#include "files/measexport.h"

#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstring>

namespace {

const QString kCreated = QStringLiteral("2024/01/31 08:05:09");
const QString kGoldenDir = QStringLiteral(VAREMO_FILES_TEST_DATA "/golden");

QString GoldenName(int id)
{
    return QStringLiteral("measexport_id%1%2").arg(id).arg(OutputFormatExtension(id));
}

bool IsXmlFormat(int id)
{
    return OutputFormatExtension(id) == QLatin1String(".xml");
}

bool Run(const QString &program, const QStringList &arguments, QByteArray *out, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    process.waitForFinished(60000);
    if (out)
        *out = process.readAllStandardOutput();
    if (exitCode)
        *exitCode = process.exitCode();
    return process.exitStatus() == QProcess::NormalExit && (exitCode || process.exitCode() == 0);
}

QString XPath(const QString &path, const QString &expression)
{
    QByteArray out;
    if (!Run(QStringLiteral("xmllint"), {QStringLiteral("--xpath"), expression, path}, &out))
        return QStringLiteral("<xmllint failed>");
    return QString::fromUtf8(out).trimmed();
}

// XPath step by local name, so "cc:Object" matches whatever prefix the namespace has.
QString LocalName(QString name)
{
    if (name.startsWith(QLatin1String("cc:")))
        name.remove(0, 3);
    return QStringLiteral("*[local-name()='%1']").arg(name);
}

// Lines of a text export without their CR LF.
QStringList Lines(const QString &path)
{
    QString text = QString::fromUtf8(ReadBytes(path));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

struct Fixture {
    ChartGuard chart;
    MeasurementGuard measurement;
    explicit Fixture(int format = ChartDefinitionData::FormatCMYK)
    {
        BuildFixtureChart(&chart.chart, format, FixtureLayout());
        BuildFixtureMeasurement(&measurement.measurement);
    }
};

// The export a golden file holds.
int WriteGoldenExport(const QString &path, int id)
{
    Fixture fixture;
    MeasureHost host;
    CIODataFile io(&host);
    return io.SaveMeasurementData(path, id, kCreated, AllSwitchesOn(), {1, 15}, fixture.measurement.measurement,
                                  fixture.chart.chart);
}

const int kXmlFormats[] = {2, 4, 7, 9};

// Values at the edges of the fixed-point formatting: signed zeros, ties, values that round to zero, non-finite.
const float kEdgeValues[] = {-0.0f,     -0.001f,   0.005f,  0.125f,    -0.125f,   1e-45f,  -1e-45f,
                             2.675f,    99.995f,   -5.5f,   123456.79f, 0.0625f,  1.0005f, -0.0049f,
                             16777215.f, 3.4e38f,  std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
constexpr int kEdgeValueCount = int(sizeof(kEdgeValues) / sizeof(kEdgeValues[0]));

// User texts that need escaping or line-end care (a serial ending in CR meets the line end), an eight-ink chart
// so ink names are written, and values from the table above.
class EdgeHost : public MeasureHost
{
public:
    EdgeHost()
    {
        userSlots[0].Name = QStringLiteral("My \"Light\" & <D50>\n\ttab");
        environment.Inks[4].name = QStringLiteral("Spot <&>\"'");
        environment.Inks[5].name = QStringLiteral("Line\r\nEnd\n");
        environment.Inks[6].name = QStringLiteral("Gr\u00fcn \u65e5\u672c \U0001F600");
        environment.Inks[7].name = QStringLiteral("Lone\rCR");
    }
    int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out) override
    {
        const int code = MeasureHost::GetUserIlluminantForCondition(conditionId, illuminantId, out);
        for (int i = 0; i < kEnvironLightValueCount; ++i)
            out->Values[i] = kEdgeValues[i % kEdgeValueCount];
        return code;
    }
    int CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &,
                             int conditionId) override
    {
        for (int k = 0; k < 49; ++k)
            values[k] = kEdgeValues[(k + int(block[0]) + conditionId) % kEdgeValueCount];
        return 0;
    }
};

float FloatFromBits(quint32 bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

quint32 BitsOfFloat(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

QString EdgeGoldenName(int id)
{
    return QStringLiteral("measexport_edge_id%1%2").arg(id).arg(OutputFormatExtension(id));
}

int WriteEdgeExport(const QString &path, int id)
{
    ChartGuard chart;
    BuildFixtureChart(&chart.chart, ChartDefinitionData::Format8Color, FixtureLayout());
    MeasurementGuard measurement;
    BuildFixtureMeasurement(&measurement.measurement);
    measurement.measurement.SerialNumber = QStringLiteral("SN \"<1>\" & 2\r");
    EdgeHost host;
    CIODataFile io(&host);
    return io.SaveMeasurementData(path, id, kCreated, AllSwitchesOn(), {1, 15}, measurement.measurement,
                                  chart.chart);
}

// This test program started with this argument and a folder writes the XML goldens' exports there and ends.
constexpr char kWriteXmlExportsChild[] = "--write-xml-exports";

int RunWriteXmlExportsChild(const QString &folder)
{
    SetTimeZone("Asia/Tokyo");
    for (int id : kXmlFormats) {
        if (WriteGoldenExport(folder + QLatin1Char('/') + GoldenName(id), id) != 0)
            return 1;
    }
    return 0;
}

// The first line in which two files differ, for a readable failure.
QString FirstDifference(const QByteArray &ours, const QByteArray &expected)
{
    const QList<QByteArray> a = ours.split('\n');
    const QList<QByteArray> b = expected.split('\n');
    for (int i = 0; i < qMax(a.size(), b.size()); ++i) {
        if (a.value(i) != b.value(i))
            return QStringLiteral("line %1\n  written:  %2\n  expected: %3")
                .arg(i + 1)
                .arg(QString::fromUtf8(a.value(i).trimmed()), QString::fromUtf8(b.value(i).trimmed()));
    }
    return QString();
}

} // namespace

class MeasExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        SetTimeZone("Asia/Tokyo");
    }
    void cleanupTestCase() { SetTimeZone("UTC"); }

    void fieldList_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("lab");
        QTest::addColumn<bool>("lch");
        QTest::addColumn<QString>("expected");
        QTest::newRow("own text CMYK, Lab and LCh") << 0 << 2 << true << true
                                                   << "ID sheet area colomn row CMYK_C CMYK_M CMYK_Y CMYK_K D_RED "
                                                      "D_GREEN D_BLUE D_VIS LAB_L LAB_A LAB_B LAB_L LAB_C LAB_H "
                                                      "XYZ_X XYZ_Y XYZ_Z SPECTRAL_NM380";
        QTest::newRow("xml five inks") << 1 << 3 << false << false
                                       << "SAMPLE_ID SAMPLE_LOC PC5_1 PC5_2 PC5_3 PC5_4 PC5_5 D_RED D_GREEN D_BLUE "
                                          "D_VIS XYZ_X XYZ_Y XYZ_Z SPECTRAL_NM380";
        QTest::newRow("cgats text RGB") << 2 << 1 << true << false
                                        << "SAMPLE_ID SAMPLE_LOC RGB_R RGB_G RGB_B D_RED D_GREEN D_BLUE D_VIS LAB_L "
                                           "LAB_A LAB_B XYZ_X XYZ_Y XYZ_Z nm380";
        QTest::newRow("format 0 has no colour") << 2 << 0 << false << false
                                                << "SAMPLE_ID SAMPLE_LOC D_RED D_GREEN D_BLUE D_VIS XYZ_X XYZ_Y "
                                                   "XYZ_Z nm380";
    }
    void fieldList()
    {
        QFETCH(int, style);
        QFETCH(int, format);
        QFETCH(bool, lab);
        QFETCH(bool, lch);
        QFETCH(QString, expected);
        Setting::MeasureConditionSetting setting = AllSwitchesOn();
        setting.LabShown = lab;
        setting.LchShown = lch;
        const QStringList fields = CIODataFile::BuildExportFieldList(style, setting, format);
        // Up to the first spectral column, then exactly 36 of them ending at 730.
        const int firstSpectral = expected.split(' ').size() - 1;
        QCOMPARE(fields.mid(0, firstSpectral + 1).join(' '), expected);
        QCOMPARE(fields.size(), firstSpectral + 36);
        QVERIFY(fields.last().endsWith(QLatin1String("730")));

        setting.ColorSpaceShown = 0;
        setting.SpectralShown = 0;
        setting.DensityShown = 0;
        setting.PatchColorShown = 0;
        QCOMPARE(CIODataFile::BuildExportFieldList(style, setting, format).size(), style == 0 ? 5 : 2);
    }

    void sampleLocation_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("location");
        QTest::newRow("0") << 0 << "3A2";
        QTest::newRow("25") << 25 << "3Z2";
        QTest::newRow("26") << 26 << "3AA2";
        QTest::newRow("51") << 51 << "3AZ2";
        QTest::newRow("52") << 52 << "3BA2";
    }
    void sampleLocation()
    {
        QFETCH(int, column);
        QFETCH(QString, location);
        MeasureHost host;
        CIODataFile io(&host);
        MeasurementData::PatchData record;
        record.Area = 10;
        record.Row = 1;
        record.Column = column;
        record.Values[0] = 1.0f;
        ChartDefinitionData::PatchColor patch;
        patch.ID = 7;
        // Keys sort as text: "0-10" comes before "0-2".
        const QStringList keys{QStringLiteral("0-0"), QStringLiteral("0-1"), QStringLiteral("0-10"),
                               QStringLiteral("0-2")};
        MeasureExport::RowCells row;
        QCOMPARE(io.BuildExportRow(&row, AllSwitchesOn(), 1, 0, record, patch, 2, CIODataFile::BuildAreaNumbers(keys)),
                 0);
        QCOMPARE(row.Cell(0), QByteArray("7"));
        QCOMPARE(QString::fromUtf8(row.Cell(1)), location);

        // Without a key list the five classic columns: sheet, area, column, row.
        QCOMPARE(io.BuildExportRow(&row, AllSwitchesOn(), 1, 1, record, patch, 2, CIODataFile::AreaNumbers()), 0);
        QStringList classic;
        for (int i = 0; i < 5; ++i)
            classic << QString::fromUtf8(row.Cell(i));
        QCOMPARE(classic, (QStringList{"7", "2", "11", QString::number(column + 1), "2"}));
    }

    void areaKeysAndPageOutOfPosition()
    {
        Fixture fixture;
        MeasurementDataSheets &m = fixture.measurement.measurement;
        // Page 2 stored first: its SAMPLE_LOC area number is 0 (its key is missing) and ID order finds nothing.
        std::swap(m.Sheets[0], m.Sheets[1]);
        QCOMPARE(CIODataFile::BuildAreaKeyList(m), (QStringList{"0-0", "0-1", "1-0", "1-1"}));
        MeasureHost host;
        CIODataFile io(&host);
        QVector<CIODataFile::ExportRow> rows;
        const CIODataFile::AreaNumbers areaNumbers = CIODataFile::BuildAreaNumbers({QStringLiteral("0-0")});
        CIODataFile::CollectRowsInLayoutOrder(&rows, m, fixture.chart.chart);
        QStringList locations;
        MeasureExport::RowCells cells;
        for (const auto &row : rows) {
            QCOMPARE(io.BuildExportRow(&cells, AllSwitchesOn(), 1, row.sheetIndex, *row.record, *row.patch, 2,
                                       areaNumbers),
                     0);
            locations << QString::fromUtf8(cells.Cell(0) + ':' + cells.Cell(1));
        }
        QCOMPARE(locations.join(' '), QStringLiteral("8:0A1 5:0A2 7:0A1 6:0B1 4:1A1 1:1B1"));
        CIODataFile::CollectRowsInIdOrder(&rows, m, fixture.chart.chart);
        QVERIFY(rows.isEmpty());
    }

    void goldens_data()
    {
        QTest::addColumn<int>("id");
        for (int id = 0; id < 10; ++id)
            QTest::newRow(qPrintable(GoldenName(id))) << id;
    }
    void goldens()
    {
        QFETCH(int, id);
        QTemporaryDir dir;
        const QString path = dir.filePath(GoldenName(id));
        QCOMPARE(WriteGoldenExport(path, id), 0);
        const QByteArray bytes = ReadBytes(path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(!bytes.contains("\r\r"));
        const QString golden = kGoldenDir + QLatin1Char('/') + GoldenName(id);
        if (qEnvironmentVariableIsSet("VAREMO_UPDATE_GOLDENS")) {
            QFile out(golden);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            QSKIP("golden written");
        }
        if (IsXmlFormat(id)) {
            // The content first, for a readable failure; the bytes below pin the attribute order as well.
            QByteArray ours;
            QByteArray theirs;
            QVERIFY2(Run(QStringLiteral("xmllint"), {QStringLiteral("--c14n"), path}, &ours), "install libxml2-utils");
            QVERIFY(Run(QStringLiteral("xmllint"), {QStringLiteral("--c14n"), golden}, &theirs));
            QCOMPARE(ours, theirs);
            QVERIFY(Run(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--nonet"), path},
                        nullptr));
            const bool cgats = id == 2 || id == 7;
            const QByteArray declaration = cgats ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                                                   "<!DOCTYPE cgats17 SYSTEM \"cgats_data.dtd\" []>\r\n"
                                                 : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<cc:CxF ";
            QVERIFY2(bytes.startsWith(declaration), bytes.left(120).constData());
        }
        const QByteArray expected = ReadBytes(golden);
        QVERIFY2(bytes == expected, qPrintable(FirstDifference(bytes, expected)));
    }

    // The exports format numbers themselves; every value must read exactly as Qt's fixed-point text.
    void fixedFormattingMatchesQt()
    {
        auto check = [](float value) {
            for (int decimals : {0, 1, 2, 3, 4, 7, 9}) {
                char text[MeasureExport::kMaxFixedText];
                const int size = MeasureExport::FormatFixed(text, value, decimals);
                const QByteArray expected = QString::number(double(value), 'f', decimals).toLatin1();
                if (QByteArray(text, size) != expected)
                    return QStringLiteral("%1 (bits %2) with %3 decimals: %4, Qt %5")
                        .arg(double(value), 0, 'g', 17)
                        .arg(BitsOfFloat(value), 8, 16, QLatin1Char('0'))
                        .arg(decimals)
                        .arg(QString::fromLatin1(text, size), QString::fromLatin1(expected));
            }
            return QString();
        };
        for (float value : kEdgeValues) {
            const QString failure = check(value);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        // Exact ties at 2, 3 and 7 decimals, their neighbours, and a deterministic sweep over the bit patterns of
        // every magnitude (negatives included), the fast path's limit 2^33 among them.
        for (float tie : {0.125f, 0.375f, 1.0625f, 2.5f, 0.5f, 1e-7f, 0.00000005f, 8589934592.f, 8589934591.f}) {
            for (float value : {tie, std::nextafter(tie, 0.f), std::nextafter(tie, 1e30f), -tie}) {
                const QString failure = check(value);
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
            }
        }
        quint32 random = 1;
        for (int i = 0; i < 100000; ++i) {
            random = random * 1664525u + 1013904223u;
            // Mostly magnitudes from 2^-27 to 2^33, where values are written; every eighth any bit pattern.
            const quint32 exponent = 100u + (random >> 8) % 61u;
            const quint32 bits = i % 8 == 0 ? random : ((random & 0x807fffffu) | (exponent << 23));
            const QString failure = check(FloatFromBits(bits));
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        for (int value : {0, 1, -1, 9, 10, 2147483647, int(-2147483647 - 1)}) {
            char text[16];
            QCOMPARE(QByteArray(text, MeasureExport::FormatInt(text, value)), QByteArray::number(value));
        }
    }

    // Escaping, line ends inside user text and number formatting at its edges, pinned byte for byte.
    void edgeGoldens_data()
    {
        QTest::addColumn<int>("id");
        for (int id = 0; id < 5; ++id)
            QTest::newRow(qPrintable(EdgeGoldenName(id))) << id;
    }
    void edgeGoldens()
    {
        QFETCH(int, id);
        QTemporaryDir dir;
        const QString path = dir.filePath(EdgeGoldenName(id));
        QCOMPARE(WriteEdgeExport(path, id), 0);
        const QByteArray bytes = ReadBytes(path);
        const QString golden = kGoldenDir + QLatin1Char('/') + EdgeGoldenName(id);
        if (qEnvironmentVariableIsSet("VAREMO_UPDATE_GOLDENS")) {
            QFile out(golden);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            QSKIP("golden written");
        }
        const QByteArray expected = ReadBytes(golden);
        QVERIFY2(bytes == expected, qPrintable(FirstDifference(bytes, expected)));
    }

    // Qt's hash seed changes from process to process and used to decide the order of XML attributes: runs under
    // two different seeds write the goldens byte for byte.
    void sameBytesUnderAnyHashSeed()
    {
        for (const QString &seed : {QStringLiteral("1"), QStringLiteral("2")}) {
            QTemporaryDir dir;
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_HASH_SEED"), seed);
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(kWriteXmlExportsChild), dir.path()});
            QVERIFY(child.waitForFinished(60000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     child.readAllStandardError().constData());
            for (int id : kXmlFormats) {
                const QByteArray ours = ReadBytes(dir.filePath(GoldenName(id)));
                const QByteArray expected = ReadBytes(kGoldenDir + QLatin1Char('/') + GoldenName(id));
                QVERIFY2(ours == expected, qPrintable(QStringLiteral("seed %1, %2: %3")
                                                          .arg(seed, GoldenName(id), FirstDifference(ours, expected))));
            }
        }
    }

    void germanLocaleWritesTheSameBytes()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German));
        const char *numeric = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        QVERIFY2(numeric, "the de_DE.UTF-8 locale is not generated (package locales)");
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        for (int id = 0; id < 10; ++id) {
            const QString path = dir.filePath(GoldenName(id));
            QCOMPARE(io.SaveMeasurementData(path, id, kCreated, AllSwitchesOn(), {1, 15},
                                            fixture.measurement.measurement, fixture.chart.chart),
                     0);
            const QByteArray bytes = ReadBytes(path);
            const QByteArray expected = ReadBytes(kGoldenDir + QLatin1Char('/') + GoldenName(id));
            QVERIFY2(bytes == expected,
                     qPrintable(GoldenName(id) + QLatin1Char(' ') + FirstDifference(bytes, expected)));
        }
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(before);
    }

    void paperWhiteMissingGoesAbsolute()
    {
        Fixture fixture;
        MeasureHost host;
        host.paperWhiteFound = false;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.csv");
        QCOMPARE(io.SaveMeasurementData(path, 0, kCreated, AllSwitchesOn(), {1}, fixture.measurement.measurement,
                                        fixture.chart.chart),
                 0);
        QCOMPARE(host.paperWhiteCalls, 1);
        const QStringList lines = Lines(path);
        QVERIFY(lines.contains(QStringLiteral("#CONCENTRATION,Absolute,T")));
        // ID 4, seed 10, condition 1: absolute density 10.5 (relative would be 9.5).
        const int data = lines.indexOf(QStringLiteral("#BEGIN_MEASUREMENT_DATA"));
        QVERIFY(lines.value(data + 2).startsWith(QLatin1String("4,1,1,1,1,4.00,4.25,4.50,4.75,10.500,10.625,")));

        host.paperWhiteFound = true;
        QCOMPARE(io.SaveMeasurementData(path, 0, kCreated, AllSwitchesOn(), {1}, fixture.measurement.measurement,
                                        fixture.chart.chart),
                 0);
        QVERIFY(Lines(path).contains(QStringLiteral("#CONCENTRATION,Paper,T")));
    }

    // The counts stated in every format equal the rows that follow, whatever was skipped.
    void countsEqualRows()
    {
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString text = dir.filePath("cgats.txt");
        const QString xml = dir.filePath("cgats.xml");
        const MeasurementDataSheets &m = fixture.measurement.measurement;
        QCOMPARE(io.SaveMeasurementData(text, 3, kCreated, AllSwitchesOn(), {1, 15}, m, fixture.chart.chart), 0);
        QCOMPARE(io.SaveMeasurementData(xml, 2, kCreated, AllSwitchesOn(), {1, 15}, m, fixture.chart.chart), 0);
        // 7 stored records: one unmeasured, one patch without a record, so 6 rows per condition... minus none.
        const QStringList lines = Lines(text);
        QCOMPARE(lines.filter(QRegularExpression("^NUMBER_OF_SETS\\t")).join('|'),
                 QStringLiteral("NUMBER_OF_SETS\t6|NUMBER_OF_SETS\t6"));
        QCOMPARE(XPath(xml, QStringLiteral("count(//%1/%2)").arg(LocalName("table"), LocalName("tr"))), "12");
        QCOMPARE(XPath(xml, QStringLiteral("string(//%1[1])").arg(LocalName("number_of_sets"))), "6");
    }

    void firstPageUnmeasuredKeepsLaterPages()
    {
        Fixture fixture;
        MeasurementDataSheets &m = fixture.measurement.measurement;
        ClearMeasurementPage(&m.Sheets[0]);
        SetFixturePage(&m.Sheets[0], 1, {{{4, 0, 0, 0}, 0.0f}}, 0);
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("cgats.txt");
        QCOMPARE(io.SaveMeasurementData(path, 3, kCreated, AllSwitchesOn(), {1}, m, fixture.chart.chart), 0);
        const QStringList lines = Lines(path);
        QVERIFY(lines.contains(QStringLiteral("NUMBER_OF_SETS\t4")));
        QCOMPARE(lines.filter(QRegularExpression("^\\d+\\t\\d[A-Z]")).size(), 4);
    }

    void calculationFailureIsReported_data()
    {
        QTest::addColumn<int>("id");
        for (int id = 0; id < 10; ++id)
            QTest::newRow(qPrintable(GoldenName(id))) << id;
    }
    void calculationFailureIsReported()
    {
        QFETCH(int, id);
        Fixture fixture;
        MeasureHost host;
        host.failCondition = 15;
        host.failSeed = 70.0f;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath(GoldenName(id));
        QCOMPARE(io.SaveMeasurementData(path, id, kCreated, AllSwitchesOn(), {1, 15}, fixture.measurement.measurement,
                                        fixture.chart.chart),
                 20014);
        if (id == 3 || id == 8) {
            const QStringList lines = Lines(path);
            QCOMPARE(lines.filter(QRegularExpression("^NUMBER_OF_SETS\\t")).join('|'),
                     QStringLiteral("NUMBER_OF_SETS\t6|NUMBER_OF_SETS\t0"));
            QCOMPARE(lines.last(), QStringLiteral("END_DATA"));
            QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("BEGIN_DATA"));
        } else if (id == 0 || id == 1 || id == 5 || id == 6) {
            const QStringList lines = Lines(path);
            QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("#END_MEASUREMENT_DATA"));
            QVERIFY(lines.at(lines.size() - 3).startsWith(QLatin1String("ID")));
        } else if (id == 2 || id == 7) {
            QCOMPARE(XPath(path, QStringLiteral("count(//%1[2]//%2)").arg(LocalName("cgats17.data_section"),
                                                                          LocalName("tr"))),
                     "0");
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[2]//%2)").arg(LocalName("cgats17.data_section"),
                                                                           LocalName("number_of_sets"))),
                     "0");
        } else {
            QCOMPARE(XPath(path, QStringLiteral("count(//%1[2]//%2)").arg(LocalName("cc:Resources"),
                                                                          LocalName("cc:Object"))),
                     "0");
            QCOMPARE(XPath(path, QStringLiteral("count(//%1[1]//%2)").arg(LocalName("cc:Resources"),
                                                                          LocalName("cc:Object"))),
                     "6");
            QCOMPARE(XPath(path, QStringLiteral("count(//%1)").arg(LocalName("cc:ColorSpecification"))), "2");
        }
    }

    void cxfSpectraWithColourSpaceOff()
    {
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("cxf.xml");
        Setting::MeasureConditionSetting setting = AllSwitchesOn();
        setting.ColorSpaceShown = 0;
        QCOMPARE(io.SaveMeasurementData(path, 4, kCreated, setting, {1}, fixture.measurement.measurement,
                                        fixture.chart.chart),
                 0);
        QCOMPARE(XPath(path, QStringLiteral("count(//%1)").arg(LocalName("cc:ReflectanceSpectrum"))), "6");
        // ID 4, seed 10, condition 1: the spectrum starts at value 13.
        QVERIFY(XPath(path, QStringLiteral("string(//%1[1])").arg(LocalName("cc:ReflectanceSpectrum")))
                    .startsWith(QLatin1String("12.1250000 12.2500000 ")));
        QCOMPARE(XPath(path, QStringLiteral("count(//%1)").arg(LocalName("cc:ColorCIELab"))), "0");
    }

    void equalIdsKeepStoredOrder()
    {
        ChartGuard chart;
        BuildFixtureChart(&chart.chart, 2, {{{9, 0, 0, 2}, {9, 0, 0, 0}, {9, 0, 0, 1}, {1, 0, 0, 3}}});
        const auto entries = CIODataFile::ListChartPatchesById(chart.chart);
        QStringList columns;
        for (const auto &entry : entries)
            columns << QString::number(entry.second->Column);
        QCOMPARE(columns.join(' '), QStringLiteral("3 2 0 1"));
    }

    void guards()
    {
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        // A first sheet without patches, a third measured page the chart lacks, a page claiming more measured
        // patches than it holds records.
        ChartGuard chart;
        BuildFixtureChart(&chart.chart, 3, {{}, {{1, 0, 0, 0}, {2, 0, 0, 1}}});
        MeasurementGuard measurement;
        MeasurementDataSheets &m = measurement.measurement;
        m.SheetCount = 3;
        m.Sheets = NewMeasurementPages(3);
        SetFixturePage(&m.Sheets[0], 1, {}, 5);
        SetFixturePage(&m.Sheets[1], 2, {{{1, 0, 0, 0}, 1.0f}, {{2, 0, 0, 1}, 2.0f}}, 50);
        SetFixturePage(&m.Sheets[2], 3, {{{1, 0, 0, 0}, 3.0f}}, 1);
        // Five inks, four ink names.
        host.environment.Inks = ReferenceInkChannels().mid(0, 4);
        for (int id = 0; id < 10; ++id) {
            const QString path = dir.filePath(GoldenName(id));
            QCOMPARE(io.SaveMeasurementData(path, id, kCreated, AllSwitchesOn(), {1}, m, chart.chart), 0);
            if (id == 3) {
                const QStringList lines = Lines(path);
                QVERIFY(lines.contains(QStringLiteral("PROCESSCOLOR_ID\t\"5 5 \"")));
                QVERIFY(lines.contains(QStringLiteral("NUMBER_OF_SETS\t2")));
                const int fields = lines.filter(QRegularExpression("^NUMBER_OF_FIELDS\\t")).value(0).section('\t', 1).toInt();
                for (const QString &line : lines.filter(QRegularExpression("^\\d+\\t")))
                    QCOMPARE(line.split('\t').size(), fields);
            }
            if (id == 4)
                QCOMPARE(XPath(path, QStringLiteral("string(//%1[2]/%2)").arg(LocalName("cc:SpotColor"), LocalName("cc:Name"))),
                         QString());
        }
        QVERIFY(!QFile::exists(dir.filePath("nothing")));
        QCOMPARE(io.SaveMeasurementData(dir.filePath("nothing"), 10, kCreated, AllSwitchesOn(), {1}, m, chart.chart), 0);
        QVERIFY(!QFile::exists(dir.filePath("nothing")));
        QCOMPARE(io.SaveMeasurementData(dir.filePath("missing/out.txt"), 3, kCreated, AllSwitchesOn(), {1}, m,
                                        chart.chart),
                 70001);
    }

    void ownText()
    {
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("own.csv");
        MeasurementDataSheets &m = fixture.measurement.measurement;
        QCOMPARE(io.SaveMeasurementData(path, 0, kCreated, AllSwitchesOn(), {1}, m, fixture.chart.chart), 0);
        QVERIFY(Lines(path).contains(QStringLiteral("#INSTRUMENTATION,\"VELMAR OSTRAND, INC. Orlo\"")));

        m.Sheets[0].MeasuredCount = 0;
        m.Sheets[1].MeasuredCount = 0;
        QCOMPARE(io.SaveMeasurementData(path, 0, kCreated, AllSwitchesOn(), {1, 15}, m, fixture.chart.chart), 0);
        const QStringList lines = Lines(path);
        QCOMPARE(lines.count(QStringLiteral("#MEASUREMENT_PATCH_COUNT,0")), 2);
        QVERIFY(!lines.contains(QStringLiteral("#BEGIN_MEASUREMENT_DATA")));
    }

    void stalePartFilesRemoved_data()
    {
        QTest::addColumn<int>("format"); // -1: the measurement file
        QTest::newRow("own text") << 0;
        QTest::newRow("CGATS XML") << 2;
        QTest::newRow("CGATS text") << 3;
        QTest::newRow("CxF") << 4;
        QTest::newRow("measurement file") << -1;
    }

    // What an interrupted write of a file left goes with the next write to it; files of other names stay.
    void stalePartFilesRemoved()
    {
        QFETCH(int, format);
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QStringList stale = {".out.txt.0123abcd.part", ".out.txt.9f9f9f9f.part"};
        const QStringList others = {".other.txt.0123abcd.part", ".out.txt.0123abcd.part.keep", ".out.txt.123.part",
                                    "out.txt.0123abcd.part", "out.txt.AbCdEf"};
        for (const QString &name : stale + others) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("partial");
        }
        const QString path = dir.filePath("out.txt");
        MeasurementDataSheets &m = fixture.measurement.measurement;
        const ChartDefinitionDataSheets &chart = fixture.chart.chart;
        QCOMPARE(format < 0 ? io.SaveMeasureDataFile(path, kCreated, 1, AllSwitchesOn(), m, chart)
                            : io.SaveMeasurementData(path, format, kCreated, AllSwitchesOn(), {1}, m, chart),
                 0);
        QStringList expected = others + QStringList{"out.txt"};
        expected.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        QVERIFY(ReadBytes(path).size() > 100);
    }

    void cgatsTextInksAndWeighting_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("inkLines");
        QTest::newRow("CMYK") << 2 << QString();
        QTest::newRow("five inks") << 3
                                   << "\"5 1 Cyan\"|\"5 2 Magenta\"|\"5 3 Yellow\"|\"5 4 Black\"|\"5 5 Orange\"";
        QTest::newRow("eight inks") << 6
                                    << "\"8 1 Cyan\"|\"8 2 Magenta\"|\"8 3 Yellow\"|\"8 4 Black\"|\"8 5 Orange\"|"
                                       "\"8 6 Green\"|\"8 7 Red\"|\"8 8 Blue\"";
    }
    void cgatsTextInksAndWeighting()
    {
        QFETCH(int, format);
        QFETCH(QString, inkLines);
        Fixture fixture(format);
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("cgats.txt");
        Setting::MeasureConditionSetting setting = AllSwitchesOn();
        setting.LabShown = setting.LchShown = setting.XyzShown = 0;
        QCOMPARE(io.SaveMeasurementData(path, 3, kCreated, setting, {1}, fixture.measurement.measurement,
                                        fixture.chart.chart),
                 0);
        const QStringList lines = Lines(path);
        QStringList inks;
        for (const QString &line : lines.filter(QRegularExpression("^PROCESSCOLOR_ID\\t")))
            inks << line.section('\t', 1);
        QCOMPARE(inks.join('|'), inkLines);
        QVERIFY(lines.filter(QStringLiteral("WEIGHTING_FUNCTION")).isEmpty());
    }

    void cgatsXmlEightInks()
    {
        Fixture fixture(6);
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const QString path = dir.filePath("cgats.xml");
        QCOMPARE(io.SaveMeasurementData(path, 2, kCreated, AllSwitchesOn(), {1}, fixture.measurement.measurement,
                                        fixture.chart.chart),
                 0);
        QCOMPARE(XPath(path, QStringLiteral("count(//%1[@colors_in_set='8'])").arg(LocalName("processcolor_id"))), "8");
        QCOMPARE(XPath(path, QStringLiteral("string(//%1)").arg(LocalName("created"))), "January 31, 2024");
        QCOMPARE(XPath(path, QStringLiteral("string(//%1[@name='observer']/@value)").arg(LocalName("weihting_function"))),
                 "2 degree");
    }

    void cxfElements()
    {
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        {
            // User condition 15 and condition 1, illuminant "Auto" (D50 for condition 1).
            Fixture fixture(4);
            const QString path = dir.filePath("six.xml");
            QCOMPARE(io.SaveMeasurementData(path, 4, kCreated, AllSwitchesOn(), {1, 15},
                                            fixture.measurement.measurement, fixture.chart.chart),
                     0);
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[1]//%2)").arg(LocalName("cc:Resources"), LocalName("cc:Illuminant"))),
                     "D50");
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[2]//%2/@Name)").arg(LocalName("cc:Resources"), LocalName("cc:CustomIlluminant"))),
                     "MyLight");
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[2]//%2)").arg(LocalName("cc:Resources"), LocalName("cc:DeviceIllumination"))),
                     "Custom");
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[2]//%2/@CustomType)").arg(LocalName("cc:Resources"), LocalName("cc:DeviceIllumination"))),
                     "MyLight");
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[1]//%2)").arg(LocalName("cc:Resources"), LocalName("cc:DeviceIllumination"))),
                     "M1_Daylight");
            QCOMPARE(XPath(path, QStringLiteral("count(//%1)").arg(LocalName("cc:CustomResources"))), "1");
            const QString spd = XPath(path, QStringLiteral("string(//%1//%2)").arg(LocalName("cc:CustomDeviceIlluminant"), LocalName("cc:SPDList")));
            QCOMPARE(spd.split(' ').size(), 97);
            // Patch ID 4 (first in layout) has colour values 4.00 .. 5.25; the spots are inks 5 and 6.
            const QString object = QStringLiteral("(//%1)[1]").arg(LocalName("cc:Object"));
            QCOMPARE(XPath(path, QStringLiteral("string(%1/@Name)").arg(object)), "1A1");
            QCOMPARE(XPath(path, QStringLiteral("string(%1//%2)").arg(object, LocalName("cc:Cyan"))), "4.00");
            QCOMPARE(XPath(path, QStringLiteral("count(%1//%2)").arg(object, LocalName("cc:SpotColor"))), "2");
            QCOMPARE(XPath(path, QStringLiteral("string(%1//%2[2]/%3)").arg(object, LocalName("cc:SpotColor"), LocalName("cc:Percentage"))),
                     "5.25");
            QCOMPARE(XPath(path, QStringLiteral("string(%1//%2[1]/%3)").arg(object, LocalName("cc:SpotColor"), LocalName("cc:Name"))),
                     "Orange");
            QCOMPARE(XPath(path, QStringLiteral("string(%1//%2[1]/%3)").arg(object, LocalName("cc:ColorDensity"), LocalName("cc:Density"))),
                     "9.500");
        }
        {
            Fixture fixture(1);
            const QString path = dir.filePath("rgb.xml");
            QCOMPARE(io.SaveMeasurementData(path, 9, kCreated, AllSwitchesOn(), {1}, fixture.measurement.measurement,
                                            fixture.chart.chart),
                     0);
            QCOMPARE(XPath(path, QStringLiteral("count(//%1/%2)").arg(LocalName("cc:ColorValues"), LocalName("cc:ColorSRGB"))), "6");
            QCOMPARE(XPath(path, QStringLiteral("count(//%1)").arg(LocalName("cc:DeviceColorValues"))), "0");
            // ID order: the first object is ID 1.
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[1]/@Id)").arg(LocalName("cc:Object"))), "1");
            QCOMPARE(XPath(path, QStringLiteral("string(//%1[1]//%2)").arg(LocalName("cc:Object"), LocalName("cc:R"))), "1.00");
        }
    }

    void dates_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("created");
        QTest::addColumn<QString>("iso");
        QTest::newRow("UTC") << QByteArray("UTC") << kCreated << "2024-01-31T08:05:09Z";
        QTest::newRow("Tokyo") << QByteArray("Asia/Tokyo") << kCreated << "2024-01-31T08:05:09+09:00";
        QTest::newRow("New York winter") << QByteArray("America/New_York") << kCreated << "2024-01-31T08:05:09-05:00";
        QTest::newRow("New York summer") << QByteArray("America/New_York") << "2024/07/01 12:00:00"
                                         << "2024-07-01T12:00:00-04:00";
        QTest::newRow("unparsable") << QByteArray("UTC") << "31.01.2024" << QString();
    }
    void dates()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, created);
        QFETCH(QString, iso);
        SetTimeZone(zone.constData());
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        const MeasurementDataSheets &m = fixture.measurement.measurement;
        const QString text = dir.filePath("a.txt");
        const QString xml = dir.filePath("a.xml");
        const QString cxf = dir.filePath("b.xml");
        const QString own = dir.filePath("c.csv");
        QCOMPARE(io.SaveMeasurementData(text, 3, created, AllSwitchesOn(), {1}, m, fixture.chart.chart), 0);
        QCOMPARE(io.SaveMeasurementData(xml, 2, created, AllSwitchesOn(), {1}, m, fixture.chart.chart), 0);
        QCOMPARE(io.SaveMeasurementData(cxf, 4, created, AllSwitchesOn(), {1}, m, fixture.chart.chart), 0);
        QCOMPARE(io.SaveMeasurementData(own, 0, created, AllSwitchesOn(), {1}, m, fixture.chart.chart), 0);
        SetTimeZone("Asia/Tokyo");
        QVERIFY(Lines(text).contains(QStringLiteral("CREATED\t\"%1\"").arg(iso)));
        QCOMPARE(XPath(xml, QStringLiteral("string(//%1/@date)").arg(LocalName("created"))), iso);
        QCOMPARE(XPath(cxf, QStringLiteral("string(//%1/%2)").arg(LocalName("cc:FileInformation"), LocalName("cc:CreationDate"))),
                 iso);
        QCOMPARE(Lines(own).value(4), iso.isEmpty() ? QStringLiteral("#CREATE_TIME,")
                                                    : QStringLiteral("#CREATE_TIME,") + iso.left(19).remove(QRegularExpression("[-T:]")));
    }

    // Little CMS reads every table, refuses a count that differs from the rows, and gives back our numbers.
    void cgatsReaderAcceptsExports()
    {
        const QString checker = QCoreApplication::applicationDirPath() + QStringLiteral("/cgats_check");
        QByteArray out;
        QVERIFY2(Run(checker, {kGoldenDir + QStringLiteral("/measexport_id3.txt")}, &out), out.constData());
        const QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("tables 2"));
        QCOMPARE(lines.filter(QRegularExpression("^table \\d sets 6 rows 6$")).size(), 2);
        // ID 4 under condition 15: density D_RED 10 + 7.5 - 1.
        QVERIFY2(!lines.filter(QRegularExpression("^4 - 4 4.25 4.5 4.75 16.5 16.625 16.75 16.875 18 18.13 18.25 "
                                                  "18.38 18.5 18.63 18.75 18.88 19 19.125 19.25 ")).isEmpty(),
                 out.constData());
    }

    void argyllReadsSingleConditionExports()
    {
        Fixture fixture;
        MeasureHost host;
        CIODataFile io(&host);
        QTemporaryDir dir;
        Setting::MeasureConditionSetting setting = AllSwitchesOn();
        setting.LchShown = 0;
        const MeasurementDataSheets &m = fixture.measurement.measurement;
        QCOMPARE(io.SaveMeasurementData(dir.filePath("export.txt"), 3, kCreated, setting, {1}, m, fixture.chart.chart), 0);
        QCOMPARE(io.SaveMeasurementData(dir.filePath("export.xml"), 4, kCreated, setting, {1}, m, fixture.chart.chart), 0);
        QByteArray out;
        int code = -1;
        QVERIFY2(Run(QStringLiteral("txt2ti3"), {dir.filePath("export.txt"), dir.filePath("fromtext")}, &out, &code),
                 "install argyll");
        QVERIFY2(code == 0, out.constData());
        QVERIFY2(Run(QStringLiteral("cxf2ti3"), {dir.filePath("export.xml"), dir.filePath("fromcxf")}, &out, &code),
                 "install argyll");
        QVERIFY2(code == 0, out.constData());
        for (const QString &name : {QStringLiteral("fromtext.ti3"), QStringLiteral("fromcxf.ti3")}) {
            const QString ti3 = QString::fromUtf8(ReadBytes(dir.filePath(name)));
            QVERIFY2(ti3.contains(QRegularExpression("NUMBER_OF_SETS\\s+\"?6\"?")), qPrintable(ti3.left(2000)));
            QVERIFY2(ti3.contains(QStringLiteral("LAB_L")), qPrintable(name));
            QVERIFY2(ti3.contains(QStringLiteral("CMYK_C")), qPrintable(name));
        }
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    if (argc == 3 && std::strcmp(argv[1], kWriteXmlExportsChild) == 0)
        return RunWriteXmlExportsChild(QString::fromLocal8Bit(argv[2]));
    MeasExportTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_measexport.moc"
