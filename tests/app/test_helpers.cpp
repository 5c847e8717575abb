// Path, text, counter and record helpers.

#include "app/helpers.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "app/texthelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Sheet 21000 x 29700 with one area in slot `slot` of 3 columns (pitch 600, patch 500) by 2 rows (pitch 700,
// patch 600): it ends at x + 1700 and y + 1300.
std::unique_ptr<ChartDefinitionData::Sheet[]> NewSheets(int count)
{
    std::unique_ptr<ChartDefinitionData::Sheet[]> sheets = NewChartSheets(size_t(count));
    for (int i = 0; i < count; ++i) {
        sheets[i].Width = 21000;
        sheets[i].Height = 29700;
    }
    return sheets;
}

void PlaceArea(ChartDefinitionData::Sheet *sheet, int slot, int x, int y, int patchCount)
{
    sheet->Areas[slot] = {2, 3, patchCount};
    sheet->Placements[slot] = {x, y, 500, 600, 600, 700};
}

QByteArray Le32(qint32 v)
{
    QByteArray b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}

} // namespace

class TestHelpers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void defaultChartName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("mixed slashes") << QString() << QStringLiteral("C:\\x/y\\Target 1.txt")
                                       << QStringLiteral("Target 1");
        QTest::newRow("last dot only") << QString() << QStringLiteral("a.b.txt") << QStringLiteral("a.b");
        QTest::newRow("no extension") << QString() << QStringLiteral("/d/plain") << QStringLiteral("plain");
        QTest::newRow("non-ASCII first char") << QStringLiteral("é1") << QStringLiteral("/d/Name.csv")
                                              << QStringLiteral("Name");
        QTest::newRow("name wins") << QStringLiteral("Good\tpart") << QStringLiteral("/d/x.txt")
                                   << QStringLiteral("Good");
        QTest::newRow("file name filtered") << QString() << QStringLiteral("/d/Abé.txt") << QStringLiteral("Ab");
    }

    void defaultChartName()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(DefaultChartName(name, path), expected);
    }

    void printableAscii()
    {
        QVERIFY(IsPrintableAscii(QString()));
        QVERIFY(IsPrintableAscii(QStringLiteral(" ~Az09")));
        QVERIFY(!IsPrintableAscii(QStringLiteral("a\tb")));
        QVERIFY(!IsPrintableAscii(QStringLiteral("a\x7F")));
        QCOMPARE(LeadingPrintableAscii(QStringLiteral("ab\ncd")), QStringLiteral("ab"));
        QCOMPARE(LeadingPrintableAscii(QStringLiteral("éx")), QString());
    }

    void keepMatchingChars_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("drops é and _") << QStringLiteral("Aé_b $%+-9") << QStringLiteral("Ab $%+-9") << true;
        QTest::newRow("all kept") << QStringLiteral("Chart 1") << QStringLiteral("Chart 1") << false;
        QTest::newRow("empty clears flag") << QString() << QString() << false;
    }

    void keepMatchingChars()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QFETCH(bool, dropped);
        bool flag = !dropped; // must be overwritten
        QCOMPARE(KeepMatchingChars(&flag, text, QStringLiteral("[A-Za-z0-9 \\$%\\+\\-]")), kept);
        QCOMPARE(flag, dropped);
    }

    void regExpMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("match");
        QTest::newRow("first match") << QStringLiteral("ab12cd345") << QStringLiteral("[0-9]+") << QStringLiteral("12");
        QTest::newRow("whole match, not capture") << QStringLiteral("xAbAb") << QStringLiteral("(Ab)+")
                                                  << QStringLiteral("AbAb");
        QTest::newRow("case-sensitive") << QStringLiteral("ABC") << QStringLiteral("abc") << QString();
        QTest::newRow("no match") << QStringLiteral("abc") << QStringLiteral("[0-9]") << QString();
    }

    void regExpMatch()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QString, match);
        QCOMPARE(RegExpMatch(text, pattern), match);
    }

    void parseDottedAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("four parts") << QStringLiteral("192.168.0.10") << true << QByteArray("\xC0\xA8\x00\x0A", 4);
        QTest::newRow("empty part") << QStringLiteral("1..2") << false << QByteArray();
        QTest::newRow("letters") << QStringLiteral("a.b") << false << QByteArray();
        QTest::newRow("empty") << QString() << false << QByteArray();
        QTest::newRow("part past one byte") << QStringLiteral("10.0.300.1") << false << QByteArray();
        QTest::newRow("negative part") << QStringLiteral("10.-1.0.1") << false << QByteArray();
    }

    void parseDottedAddress()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        QByteArray out("junk");
        QCOMPARE(ParseDottedAddress(text, &out), ok);
        if (ok)
            QCOMPARE(out, bytes);
    }

    void zeroPaddedNumber()
    {
        QCOMPARE(ZeroPaddedNumber(7, 5), QStringLiteral("00007"));
        QCOMPARE(ZeroPaddedNumber(123456, 5), QStringLiteral("123456"));
        QCOMPARE(ConnectingOrloText(), QStringLiteral("Connecting to Orlo..."));
        QCOMPARE(PrescanningText(), QStringLiteral("Pre-scanning\n   Detecting coordinate of patches..."));
    }

    void nextId_data()
    {
        QTest::addColumn<int>("counter");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("after");
        QTest::newRow("at maximum wraps") << 99 << 99 << 99 << 1;
        QTest::newRow("below maximum") << 98 << 99 << 98 << 99;
        QTest::newRow("no maximum") << 5 << -1 << 5 << 6;
        QTest::newRow("INT_MAX wraps") << INT_MAX << -1 << INT_MAX << 1;
    }

    void nextId()
    {
        QFETCH(int, counter);
        QFETCH(int, maximum);
        QFETCH(int, result);
        QFETCH(int, after);
        QCOMPARE(NextId(&counter, maximum), result);
        QCOMPARE(counter, after);
    }

    void bumpIdCounter_data()
    {
        QTest::addColumn<int>("counter");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("after");
        QTest::newRow("below the id") << 3 << 5 << -1 << 6;
        QTest::newRow("at the id") << 5 << 5 << -1 << 6;
        QTest::newRow("above the id") << 7 << 5 << -1 << 7;
        QTest::newRow("past the maximum") << 3 << 99 << 99 << 1;
        QTest::newRow("at INT_MAX") << 3 << INT_MAX << -1 << 1;
    }

    void bumpIdCounter()
    {
        QFETCH(int, counter);
        QFETCH(int, id);
        QFETCH(int, maximum);
        QFETCH(int, after);
        BumpIdCounter(&counter, id, maximum);
        QCOMPARE(counter, after);
    }

    void toleranceFile_data()
    {
        // content: null = no file. expected: 5 x 14 tolerances; untouched ones keep the sentinel -7.
        QTest::addColumn<QString>("content");
        QTest::addColumn<QVector<float>>("expected");

        const QVector<float> untouched(5 * 14, -7.0f);
        auto row = [](int r) {
            QString line = QStringLiteral("Row%1").arg(r);
            for (int t = 0; t < 14; ++t)
                line += QStringLiteral("\t%1").arg(r * 100 + t + 0.5);
            return line + QLatin1Char('\n');
        };
        QVector<float> full(5 * 14);
        for (int r = 0; r < 5; ++r)
            for (int t = 0; t < 14; ++t)
                full[r * 14 + t] = r * 100 + t + 0.5f;
        QString five = QStringLiteral("Header\n");
        for (int r = 0; r < 5; ++r)
            five += row(r);

        QTest::newRow("missing") << QString() << untouched;
        QTest::newRow("empty") << QStringLiteral("") << untouched;
        QTest::newRow("header only") << QStringLiteral("Header\tA\tB\n") << untouched;
        QTest::newRow("five rows") << five << full;
        QTest::newRow("seven rows, five read") << five + row(5) + row(6) << full;

        QVector<float> shortRows = untouched;
        for (int t = 0; t < 14; ++t)
            shortRows[t] = t < 2 ? t + 1.0f : 0.0f; // row 0: two fields, the rest missing
        for (int t = 0; t < 14; ++t)
            shortRows[14 + t] = (t == 3) ? 0.0f : 2.5f; // row 1: field 4 not a number
        QString badRow1 = QStringLiteral("R1");
        for (int t = 0; t < 14; ++t)
            badRow1 += t == 3 ? QStringLiteral("\tx") : QStringLiteral("\t2.5");
        QTest::newRow("short and non-numeric rows")
            << QStringLiteral("Header\nR0\t1\t2\n") + badRow1 + QLatin1Char('\n') << shortRows;
    }

    void toleranceFile()
    {
        QFETCH(QString, content);
        QFETCH(QVector<float>, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (!content.isNull()) {
            QFile f(dir.filePath(QStringLiteral("toleranceDefaultSetting.txt")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content.toUtf8());
        }
        ToleranceRecord records[kDefaultToleranceRowCount];
        std::memset(records, 0x55, sizeof records);
        for (ToleranceRecord &r : records)
            for (ToleranceRecord::Pair &p : r.Pairs)
                p.Tolerance = -7.0f;
        ReadToleranceDefaultSetting(records, dir.path());
        for (int r = 0; r < kDefaultToleranceRowCount; ++r) {
            QCOMPARE(records[r].Kind, 2);
            QCOMPARE(records[r].RowIndex, r);
            QCOMPARE(records[r].PairCount, 14u);
            for (int t = 0; t < kTolerancePairCount; ++t) {
                QCOMPARE(records[r].Pairs[t].TileId, t);
                QCOMPARE(records[r].Pairs[t].Tolerance, expected[r * 14 + t]);
            }
        }
    }

    void chartFitsSheetMargins_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("patchCount");
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("fits");
        // Right end 20600 = 21000 - 400, bottom end 26400 = 29700 - 3300.
        QTest::newRow("exactly at both margins") << 18900 << 25100 << 6 << 0 << true;
        QTest::newRow("one past the right") << 18901 << 25100 << 6 << 0 << false;
        QTest::newRow("one past the bottom") << 18900 << 25101 << 6 << 0 << false;
        QTest::newRow("last slot checked") << 18901 << 0 << 6 << 49 << false;
        QTest::newRow("no patches ignored") << 30000 << 30000 << 0 << 0 << true;
        QTest::newRow("huge values do not wrap") << INT_MAX << INT_MAX << 6 << 0 << false;
    }

    void chartFitsSheetMargins()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, patchCount);
        QFETCH(int, slot);
        QFETCH(bool, fits);
        ChartDefinitionDataSheets chart;
        chart.SheetCount = 2;
        chart.Sheets = NewSheets(2);
        PlaceArea(&chart.Sheets[0], 0, 400, 0, 6); // a fitting area on the first sheet
        PlaceArea(&chart.Sheets[1], slot, x, y, patchCount);
        QCOMPARE(ChartFitsSheetMargins(chart), fits);
        ClearChartDefinitionData(&chart);
    }

    void fillSheetInfoRecord_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("areaCount");
        QTest::newRow("upper-cased, zero-padded") << QStringLiteral("abcDef1") << QByteArray("ABCDEF1") << 2;
        QTest::newRow("16 bytes, no terminator") << QStringLiteral("abcdefghijklmnop")
                                                 << QByteArray("ABCDEFGHIJKLMNOP") << 3;
        QTest::newRow("cut at 16 bytes") << QStringLiteral("abcdefghijklmnopqrst") << QByteArray("ABCDEFGHIJKLMNOP")
                                         << 0;
        QTest::newRow("area count clamped") << QStringLiteral("x") << QByteArray("X") << 60;
    }

    void fillSheetInfoRecord()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, code);
        QFETCH(int, areaCount);
        ChartDefinitionDataSheets chart;
        chart.ChartName = name;
        chart.SheetCount = 3;
        chart.Sheets = NewSheets(3);
        ChartDefinitionData::Sheet &sheet = chart.Sheets[1];
        sheet.PatchCount = 1234;
        sheet.AreaCount = areaCount;
        for (int a = 0; a < kMaxAreaCount; ++a) // slots past the count hold values that must not show
            sheet.Areas[a] = {a + 1, a + 100, a + 1000};

        SheetInfoRecord record;
        std::memset(&record, 0xAB, sizeof record);
        FillSheetInfoRecord(&record, chart, 1);

        const int used = qBound(0, areaCount, 50);
        QByteArray expected(8, '\0');
        expected += code.leftJustified(16, '\0', true);
        expected += Le32(3) + Le32(2) + Le32(1234) + Le32(used);
        for (int a = 0; a < 50; ++a)
            expected += a < used ? Le32(a + 1) + Le32(a + 100) + Le32(a + 1000) : QByteArray(12, '\0');
        expected += QByteArray(1172 - 640, '\0');
        QCOMPARE(expected.size(), 1172);
        const QByteArray actual(reinterpret_cast<const char *>(&record), int(sizeof record));
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(actual.at(i) == expected.at(i), qPrintable(QStringLiteral("byte %1").arg(i)));
        ClearChartDefinitionData(&chart);
    }

    void findRecords()
    {
        ChartDefinitionData::PatchColor patches[3];
        patches[0] = {1, 0, 0, 0, 1, {}};
        patches[1] = {2, 1, 2, 3, 1, {}};
        patches[2] = {3, 1, 2, 3, 1, {}}; // duplicate position
        ChartDefinitionData::PatchColor found;
        found.ID = -5;
        QVERIFY(!FindChartPatch(patches, 0, 0, 0, 0, &found));
        QCOMPARE(found.ID, -5);
        QVERIFY(!FindChartPatch(patches, 3, 1, 3, 2, &found));
        QCOMPARE(found.ID, -5);
        QVERIFY(FindChartPatch(patches, 3, 1, 2, 3, &found));
        QCOMPARE(found.ID, 2);

        MeasurementData::PatchData records[3];
        records[1].Area = 4;
        records[1].Row = 5;
        records[1].Column = 6;
        records[1].Values[0] = 11;
        records[2] = records[1];
        records[2].Values[0] = 22;
        MeasurementData::PatchData record;
        record.ID = -5;
        QVERIFY(!FindPatchMeasurement(records, 0, 0, 0, 0, &record));
        QCOMPARE(record.ID, -5);
        QVERIFY(FindPatchMeasurement(records, 3, 4, 5, 6, &record));
        QCOMPARE(record.Values[0], 11.0f);
        QVERIFY(IsSamePatchPosition(records[1], records[2]));
        QVERIFY(!IsSamePatchPosition(records[0], records[1]));
        QVERIFY(IsSamePatchPosition(patches[1], patches[2]));
    }

    void anyMeasuredValue()
    {
        MeasurementData::PatchData record;
        record.ColorValue[0] = 1; // colour values are not instrument values
        QVERIFY(!AnyMeasuredValue(record));
        record.Values[151] = std::numeric_limits<float>::quiet_NaN();
        QVERIFY(AnyMeasuredValue(record));
        record.Values[151] = 0;
        record.Values[0] = -0.001f;
        QVERIFY(AnyMeasuredValue(record));
    }

    void isSameMeasurementKey_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<bool>("same");
        QTest::newRow("word 0 (ID)") << 0 << false;
        QTest::newRow("word 1 (area) ignored") << 1 << true;
        QTest::newRow("word 2 (row)") << 2 << false;
        QTest::newRow("word 3 (column)") << 3 << false;
        QTest::newRow("word 4 (X)") << 4 << false;
        QTest::newRow("word 5 (Y) ignored") << 5 << true;
    }

    void isSameMeasurementKey()
    {
        QFETCH(int, word);
        QFETCH(bool, same);
        MeasurementData::PatchData a;
        a.ID = 1;
        a.Area = 2;
        a.Row = 3;
        a.Column = 4;
        a.X = 5;
        a.Y = 6;
        MeasurementData::PatchData b = a;
        int *const words[6] = {&b.ID, &b.Area, &b.Row, &b.Column, &b.X, &b.Y};
        *words[word] += 1;
        QCOMPARE(IsSameMeasurementKey(a, b), same);
    }

    void smallRecordHelpers()
    {
        QCOMPARE(ImageDpiOrDefault(0), 150);
        QCOMPARE(ImageDpiOrDefault(300), 300);
        Setting::MeasureConditionSetting setting{};
        QVERIFY(NoMeasurementConditionSelected(setting));
        setting.ConditionMask = 0x80000;
        QVERIFY(!NoMeasurementConditionSelected(setting));

        qint32 words[4] = {1, 2, 3, 4};
        QCOMPARE(FillWords(words, 3, -1), 3);
        QCOMPARE(words[2], -1);
        QCOMPARE(words[3], 4);
        const qint32 source[2] = {8, 9};
        QCOMPARE(CopyWords(words + 1, source, 2), 2);
        QCOMPARE(words[0], -1);
        QCOMPARE(words[1], 8);
        QCOMPARE(words[2], 9);
    }

    void folders()
    {
        const QFileInfo expected(QStringLiteral(VAREMO_BUILD_DIR "/InitialData"));
        QVERIFY(expected.isDir());
        QCOMPARE(QFileInfo(InitialDataDir()).canonicalFilePath(), expected.canonicalFilePath());
        QCOMPARE(WithBinExtension(QStringLiteral("Setting")), QStringLiteral("Setting.bin"));
        QCOMPARE(BarcodeImagePath(), AppDataDir() + QStringLiteral("/barcode_image.tiff"));
    }

    void defaultUiFont()
    {
        const QFont font = DefaultUiFont();
        QCOMPARE(font.family(), QStringLiteral("Meiryo UI"));
        QCOMPARE(font.pointSize(), 9);
        QCOMPARE(font.styleHint(), QFont::TypeWriter);
        QCOMPARE(font.styleStrategy(), QFont::PreferDefault);
    }
};

QTEST_MAIN(TestHelpers)
#include "test_helpers.moc"
