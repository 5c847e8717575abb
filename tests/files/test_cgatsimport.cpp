// Chart import from CGATS text: helpers, the general reader, the profiling-tool variant, both second stages,
// hostile rows, and the CGATS files that other tools ship (read in place).

#include "testhost.h"

#include "files/parsehelpers.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <clocale>
#include <cstring>
#include <random>

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

// "id@page.area.row.column" for every patch, pages in order.
QString Placement(const ChartDefinitionDataSheets &chart)
{
    QStringList out;
    for (int s = 0; s < chart.SheetCount; ++s) {
        for (int p = 0; p < chart.Sheets[s].PatchCount; ++p) {
            const PatchColor &patch = chart.Sheets[s].Patches[p];
            out << QStringLiteral("%1@%2.%3.%4.%5").arg(patch.ID).arg(s).arg(patch.Area).arg(patch.Row).arg(patch.Column);
        }
    }
    return out.join(QLatin1Char(' '));
}

QStringList Names(const QString &letters, int rows, int pages = 1)
{
    QStringList names;
    for (int p = 0; p < pages; ++p)
        for (const QChar letter : letters)
            for (int r = 1; r <= rows; ++r)
                names << QString(letter) + QString::number(r);
    return names;
}

// A general CGATS file: the header lines, the field names, one data row per name (or count rows without
// names), CMYK values from the id.
QByteArray Cgats(const QStringList &header, const QString &fields, const QStringList &names, int count = 0,
                 const char *separator = "\t", const char *lineEnd = "\n")
{
    QByteArray text;
    for (const QString &line : header)
        text += line.toUtf8() + lineEnd;
    text += QByteArray("BEGIN_DATA_FORMAT") + lineEnd + fields.toUtf8() + lineEnd + "END_DATA_FORMAT" + lineEnd;
    text += QByteArray("BEGIN_DATA") + lineEnd;
    const int rows = names.isEmpty() ? count : names.size();
    for (int i = 0; i < rows; ++i) {
        QByteArrayList row{QByteArray::number(i + 1)};
        if (!names.isEmpty())
            row << names.at(i).toUtf8();
        row << QByteArray::number(i % 101) << "50.25" << "0" << QByteArray::number((i * 7) % 101);
        text += row.join(separator) + lineEnd;
    }
    text += QByteArray("END_DATA") + lineEnd;
    return text;
}

// The tab-separated variant of the profiling tool.
QByteArray Profiler(const char *instrument, const QStringList &fields, const QList<QStringList> &rows,
                    const char *fieldCount = nullptr, const char *sets = nullptr)
{
    QByteArray text = "CGATS.17\nORIGINATOR\t\"i1Profiler\"\nINSTRUMENTATION\t\"";
    text += instrument;
    text += "\"\nNUMBER_OF_FIELDS\t";
    text += fieldCount ? QByteArray(fieldCount) : QByteArray::number(fields.size());
    text += "\nBEGIN_DATA_FORMAT\n" + fields.join(QLatin1Char('\t')).toUtf8() + "\nEND_DATA_FORMAT\nNUMBER_OF_SETS\t";
    text += sets ? QByteArray(sets) : QByteArray::number(rows.size());
    text += "\nBEGIN_DATA\n";
    for (const QStringList &row : rows)
        text += row.join(QLatin1Char('\t')).toUtf8() + "\n";
    return text + "END_DATA\n";
}

QList<QStringList> ProfilerRows(const QStringList &names, int channels)
{
    QList<QStringList> rows;
    for (int i = 0; i < names.size(); ++i) {
        QStringList row{QString::number(i + 1), names.at(i)};
        for (int k = 0; k < channels; ++k)
            row << QString::number((i + k) % 100);
        rows << row;
    }
    return rows;
}

const QStringList kRgbFields{"SAMPLE_ID", "SAMPLE_NAME", "RGB_R", "RGB_G", "RGB_B"};
const QStringList kCmykFields{"SAMPLE_ID", "SAMPLE_NAME", "CMYK_C", "CMYK_M", "CMYK_Y", "CMYK_K"};

QString RealFile(const QString &path, const char *package)
{
    if (!QFile::exists(path))
        qFatal("%s is missing: install the Debian package %s", qPrintable(path), package);
    return path;
}

const char *const kArgyll = "/usr/share/color/argyll/ref/";
const char *const kIcc = "/usr/share/color/icc/";

} // namespace

class TestCgatsImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_host.GetIso12642DefaultPosition(1617, 0).first > 0, "12642-2_default.csv not beside the test");
    }

    // ---- Helpers --------------------------------------------------------------------------------------

    void columnLetters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("A") << "A" << 1;
        QTest::newRow("Z") << "Z" << 26;
        QTest::newRow("a") << "a" << 27;
        QTest::newRow("z") << "z" << 52;
        QTest::newRow("AA") << "AA" << 53;
        QTest::newRow("Ab") << "Ab" << 80;
        QTest::newRow("1A1") << "1A1" << 1;
        QTest::newRow("B12") << "B12" << 2;
        QTest::newRow("first run only") << "C3D4" << 3;
        QTest::newRow("no letters") << "12" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("overflow") << "zzzzzzzzzzzz" << -1;
    }
    void columnLetters()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(CIODataFile::ColumnLettersToNumber(text), expected);
    }

    void sampleNameLayout_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::newRow("A1..Y33") << Names("ABCDEFGHIJKLMNOPQRSTUVWXY", 33) << false << 0 << 25 << 33 << 1;
        QTest::newRow("one name") << QStringList{"A1"} << false << 0 << 1 << 1 << 1;
        QTest::newRow("two pages") << Names("AB", 2, 2) << false << 0 << 2 << 2 << 2;
        QTest::newRow("single row, plain") << Names("ABCDEFGHIJKLMNOPQRSTUVWXYZabc", 1) << false << 0 << 26 << 1 << 1;
        QTest::newRow("single row, extended") << Names("ABCDEFGHIJKLMNOPQRSTUVWXYZabc", 1) << true << 0 << 29 << 1 << 1;
        QStringList doubleLetters = Names("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 1);
        doubleLetters << "AA1" << "AB1" << "Aa1";
        QTest::newRow("extended double letters") << doubleLetters << true << 0 << 54 << 1 << 1;
        QStringList numbered = Names("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1);
        numbered << "2A1" << "2B1";
        QTest::newRow("plain numbered groups") << numbered << false << 0 << 28 << 1 << 1;
        QStringList everything = Names("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1);
        for (int g = 2; g <= 10; ++g)
            for (char c = 'A'; c <= 'Z'; ++c)
                everything << QString::number(g) + QChar(c) + "1";
        QTest::newRow("all 260 candidates") << everything << false << 70019 << 0 << 0 << 0;
        QTest::newRow("no digit") << QStringList{"AB", "AC"} << false << 70019 << 0 << 0 << 0;
        QTest::newRow("later name without digit") << QStringList{"A1", "A"} << false << 70019 << 0 << 0 << 0;
        QTest::newRow("quoted names") << QStringList{"\"A1\"", "\"A2\""} << false << 70019 << 0 << 0 << 0;
        QTest::newRow("no A1") << QStringList{"B1", "B2"} << false << 70019 << 0 << 0 << 0;
    }
    void sampleNameLayout()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, extended);
        QFETCH(int, expected);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(int, pages);
        CgatsRows data;
        for (const QString &name : names)
            data << QStringList{"1", name};
        int c = 0, r = 0, p = 0;
        QCOMPARE(CIODataFile::DeriveLayoutFromSampleNames(&c, &r, &p, data, 1, extended), expected);
        QCOMPARE(c, columns);
        QCOMPARE(r, rows);
        QCOMPARE(p, pages);
    }

    void instrumentInfo_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("quoted") << " \"NumberOfColumns=13\" \"PatchSizeX=6.5\" \"PatchSizeY=6.5\"" << 0 << 13 << 650 << 650;
        QTest::newRow("quotes only") << "\"NumberOfColumns=13\"\"PatchSizeX=6.5\"\"PatchSizeY=7.25\"" << 0 << 13 << 650
                                     << 725;
        QTest::newRow("spaces") << " NumberOfColumns=13 PatchSizeX=6.5 PatchSizeY=6.5 Other=1" << 0 << 13 << 650 << 650;
        QTest::newRow("columns not a number") << "NumberOfColumns=x PatchSizeX=6.5 PatchSizeY=6.5" << 70022 << -1 << -1
                                              << -1;
        QTest::newRow("size not a number") << "NumberOfColumns=13 PatchSizeX=abc PatchSizeY=6.5" << 70022 << 13 << -1
                                           << -1;
        QTest::newRow("size missing") << "NumberOfColumns=13 PatchSizeX=6.5" << 70022 << 13 << -1 << -1;
        QTest::newRow("size nan") << "NumberOfColumns=13 PatchSizeX=nan PatchSizeY=6.5" << 70022 << 13 << -1 << -1;
        QTest::newRow("size beyond int") << "NumberOfColumns=13 PatchSizeX=1e300 PatchSizeY=6.5" << 70022 << 13 << -1
                                         << -1;
        QTest::newRow("empty") << "" << 70022 << -1 << -1 << -1;
    }
    void instrumentInfo()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(int, columns);
        QFETCH(int, width);
        QFETCH(int, height);
        int c = -1, w = -1, h = -1;
        QCOMPARE(CIODataFile::ParseInstrumentInfo(&c, &w, &h, text), expected);
        QCOMPARE(c, columns);
        QCOMPARE(w, width);
        QCOMPARE(h, height);
    }

    void embeddedRows_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("namePosition");
        QTest::addColumn<QString>("expected"); // rows joined by ';', tokens by '|'
        const QStringList frame{"NUMBER_OF_SETS 2", "BEGIN_DATA"};
        QTest::newRow("quoted name with a blank")
            << frame + QStringList{"1 \"Patch one\" 10 20 30", "END_DATA", "2 x 1 1 1"} << 1
            << "1|\"Patch|10|20|30|30";
        QTest::newRow("three words") << frame + QStringList{"1 \"A B C\" 5 6"} << 1 << "1|\"A|5|6|5|6";
        QTest::newRow("unclosed quote") << frame + QStringList{"1 \"Open 10 20"} << 1 << "1|\"Open|10|20";
        QTest::newRow("one quoted word") << frame + QStringList{"1 \"A1\" 10 \"x\" 20"} << 1 << "1|\"A1\"|10|\"x\"|20";
        QTest::newRow("no name position") << frame + QStringList{"1 \"Patch one\" 10"} << -1 << "1|\"Patch|one\"|10";
        QTest::newRow("no END_DATA, simplified markers")
            << QStringList{"a", "  BEGIN_DATA ", "1 A1\t2", "", "3 A2 4"} << 1 << "1|A1|2;3|A2|4";
        QTest::newRow("no BEGIN_DATA") << QStringList{"1 A1 2"} << 1 << "";
    }
    void embeddedRows()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, namePosition);
        QFETCH(QString, expected);
        QStringList rows;
        for (const QStringList &row : CIODataFile::ReadEmbeddedCgatsRows(lines, namePosition))
            rows << row.join(QLatin1Char('|'));
        QCOMPARE(rows.join(QLatin1Char(';')), expected);
    }

    void lines()
    {
        QCOMPARE(CIODataFile::SplitTextLines(QStringLiteral("a\r\nb\rc\n\n  d \t e \r\n\r\n")),
                 (QStringList{"a", "b", "c", "d e"}));
        const QStringList lines{"x", " BEGIN_DATA ", "y", "BEGIN_DATA"};
        QCOMPARE(CIODataFile::FindLineIndex(lines, 0, QStringLiteral("BEGIN_DATA")), 2);
        QCOMPARE(CIODataFile::FindLineIndex(lines, -5, QStringLiteral("BEGIN_DATA")), 2);
        QCOMPARE(CIODataFile::FindLineIndex(lines, 2, QStringLiteral("BEGIN_DATA")), 4);
        QCOMPARE(CIODataFile::FindLineIndex(lines, 0, QStringLiteral("END_DATA")), 4);
        QCOMPARE(CIODataFile::FindLineIndex(QStringList(), 0, QStringLiteral("END_DATA")), 0);
        QCOMPARE(CIODataFile::ClassifyInstrument(QStringLiteral("\"i1Pro 2\"")), 1);
        QCOMPARE(CIODataFile::ClassifyInstrument(QStringLiteral("i1iSis 2")), 3);
        QCOMPARE(CIODataFile::ClassifyInstrument(QStringLiteral("i1iO")), 2);
        QCOMPARE(CIODataFile::ClassifyInstrument(QStringLiteral("i1iSis with i1Pro")), 1);
        QCOMPARE(CIODataFile::ClassifyInstrument(QStringLiteral("I1PRO")), 0);
    }

    void dataFormat_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("fields"); // the ten slots
        QTest::newRow("CMYK") << "SAMPLE_ID SAMPLE_NAME CMYK_C CMYK_M CMYK_Y CMYK_K" << 0 << 0 << 2
                              << "0 1 2 3 4 5 -1 -1 -1 -1";
        QTest::newRow("RGB, other names") << "SampleID XYZ_X RGB_B RGB_G RGB_R SAMPLE_LOC" << 0 << 0 << 1
                                          << "0 5 4 3 2 -1 -1 -1 -1 -1";
        QTest::newRow("CMYK without Y") << "SAMPLE_ID CMYK_C CMYK_M CMYK_K" << 0 << 70023 << 0 << "0 -1 1 2 -1 3 -1 -1 -1 -1";
        QTest::newRow("field count cuts") << "SAMPLE_ID RGB_R RGB_G RGB_B" << 3 << 70023 << 0 << "0 -1 1 2 -1 -1 -1 -1 -1 -1";
        QTest::newRow("later name overwrites") << "Sample_Name RGB_R RGB_G RGB_B SAMPLE_NAME" << 0 << 0 << 1
                                               << "-1 4 1 2 3 -1 -1 -1 -1 -1";
        QTest::newRow("lower case") << "sample_id rgb_r rgb_g rgb_b" << 0 << 70023 << 0 << "-1 -1 -1 -1 -1 -1 -1 -1 -1 -1";
    }
    void dataFormat()
    {
        QFETCH(QString, names);
        QFETCH(int, fieldCount);
        QFETCH(int, expected);
        QFETCH(int, format);
        QFETCH(QString, fields);
        QVector<int> fieldSlots;
        int got = 0;
        QCOMPARE(CIODataFile::ParseCgatsDataFormat(&fieldSlots, &got, fieldCount,
                                                   {"CGATS.17", "BEGIN_DATA_FORMAT", names, "END_DATA_FORMAT"}),
                 expected);
        QCOMPARE(got, format);
        QStringList text;
        for (int v : fieldSlots)
            text << QString::number(v);
        QCOMPARE(text.join(QLatin1Char(' ')), fields);
        // No field-name line: nothing set, and the format step still succeeds.
        QCOMPARE(CIODataFile::ParseCgatsDataFormat(&fieldSlots, &got, 0, {"CGATS.17", "NUMBER_OF_FIELDS 4"}), 0);
        QCOMPARE(fieldSlots.count(-1), 10);
    }

    // ---- General reader ----------------------------------------------------------------------------

    void generalReader_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("pageWidth");
        QTest::addColumn<int>("patchSize");

        const QString plainFields = QStringLiteral("SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K");
        const QString nameFields = QStringLiteral("SAMPLE_ID SAMPLE_NAME CMYK_C CMYK_M CMYK_Y CMYK_K");
        const QStringList sixNames = Names("AB", 3);
        QTest::newRow("ISO 12642-2 without names")
            << Cgats({"CGATS.17 ISO 12642-2 target", "NUMBER_OF_SETS 6"}, plainFields, {}, 6) << 70021 << 4 << 6 << ""
            << 0 << 0;
        QTest::newRow("without names") << Cgats({"CGATS.17", "NUMBER_OF_SETS 6"}, plainFields, {}, 6) << 70021 << 5 << 6
                                       << "" << 0 << 0;
        QTest::newRow("ISO mark not on the first line")
            << Cgats({"CGATS.17", "DESCRIPTOR 12642-2", "NUMBER_OF_SETS 6"}, plainFields, {}, 6) << 70021 << 5 << 6 << ""
            << 0 << 0;
        QTest::newRow("no NUMBER_OF_SETS: the rows count") << Cgats({"CGATS.17"}, plainFields, {}, 7) << 70021 << 5 << 7
                                                           << "" << 0 << 0;
        QTest::newRow("no BEGIN_DATA_FORMAT")
            << QByteArray("CGATS.17\nKEYWORD \"SAMPLE_NAME\"\nNUMBER_OF_SETS 2\nBEGIN_DATA\n1 A1 0 0 0 0\n2 A2 0 0 0 0\nEND_DATA\n")
            << 70021 << 5 << 2 << "" << 0 << 0;
        QTest::newRow("CMYK without Y") << Cgats({"CGATS.17"}, "SAMPLE_ID SAMPLE_NAME CMYK_C CMYK_M CMYK_K", sixNames)
                                        << 70021 << 0 << 0 << "" << 0 << 0;
        QTest::newRow("names, tabs, LF") << Cgats({"CGATS.17", "NUMBER_OF_SETS 6"}, nameFields, sixNames) << 0 << 0 << 0
                                         << "3x2" << 2200 << 600;
        QTest::newRow("names, blanks, CR LF")
            << Cgats({"CGATS.17"}, nameFields, sixNames, 0, "   ", "\r\n") << 0 << 0 << 0 << "3x2" << 2200 << 600;
        QTest::newRow("names, CR") << Cgats({"CGATS.17"}, nameFields, sixNames, 0, " ", "\r") << 0 << 0 << 0 << "3x2"
                                   << 2200 << 600;
        QTest::newRow("A1..Y33") << Cgats({"CGATS.17"}, nameFields, Names("ABCDEFGHIJKLMNOPQRSTUVWXY", 33)) << 0 << 0
                                 << 0 << "33x25" << 16000 << 600;
        QTest::newRow("iSis_INFO quoted")
            << Cgats({"CGATS.17", "LGOROWLENGTH 3",
                      "iSis_INFO \"NumberOfColumns=2\" \"PatchSizeX=6.5\" \"PatchSizeY=6.5\""},
                     nameFields, sixNames)
            << 0 << 0 << 0 << "3x2" << 2300 << 650;
        QTest::newRow("iSis_INFO blanks")
            << Cgats({"CGATS.17", "LGOROWLENGTH 3", "KEYWORD iSis_INFO NumberOfColumns=2 PatchSizeX=6.5 PatchSizeY=6.5"},
                     nameFields, sixNames)
            << 0 << 0 << 0 << "3x2" << 2300 << 650;
        QTest::newRow("iSis_INFO broken keeps its columns")
            << Cgats({"CGATS.17", "LGOROWLENGTH 3", "iSis_INFO NumberOfColumns=2 PatchSizeX=abc PatchSizeY=6.5"},
                     nameFields, sixNames)
            << 0 << 0 << 0 << "3x2" << 2200 << 600;
        QTest::newRow("i1Profiler, INSTRUMENTATION first")
            << Cgats({"CGATS.17", "INSTRUMENTATION \"i1Pro 2\"", "ORIGINATOR \"i1Profiler\""}, nameFields, sixNames) << 0
            << 0 << 0 << "3x2" << 2200 << 600;
        QTest::newRow("strips spread the columns")
            << Cgats({"CGATS.17", "LGOROWLENGTH 4", "NumberOfStrips 2"}, nameFields, Names("AB", 4)) << 0 << 0 << 0
            << "2x2|2x2" << 2200 << 600;
        QTest::newRow("LGOROWLENGTH below NumberOfStrips")
            << Cgats({"CGATS.17", "LGOROWLENGTH 1", "NumberOfStrips 2"}, nameFields, sixNames) << 70021 << 0 << 0 << ""
            << 0 << 0;
        QTest::newRow("NUMBER_OF_SETS below LGOROWLENGTH")
            << Cgats({"CGATS.17", "LGOROWLENGTH 8", "NUMBER_OF_SETS 6"}, nameFields, sixNames) << 70021 << 0 << 0 << ""
            << 0 << 0;
        QTest::newRow("quoted names") << Cgats({"CGATS.17"}, nameFields, {"\"A1\"", "\"A2\""}) << 70021 << 0 << 0 << ""
                                      << 0 << 0;

        QByteArray shortRow = Cgats({"CGATS.17"}, nameFields, sixNames);
        shortRow.replace("3\tA3\t2\t50.25\t0\t14", "3\tA3\t2");
        QTest::newRow("short row") << shortRow << 70021 << 0 << 0 << "" << 0 << 0;
        QByteArray comma = Cgats({"CGATS.17"}, nameFields, sixNames);
        comma.replace("50.25", "50,25");
        QTest::newRow("comma decimal") << comma << 70021 << 0 << 0 << "" << 0 << 0;
        QByteArray nan = Cgats({"CGATS.17"}, nameFields, sixNames);
        nan.replace("\t14\n", "\tnan\n");
        QTest::newRow("nan") << nan << 70021 << 0 << 0 << "" << 0 << 0;
        QByteArray over = Cgats({"CGATS.17"}, nameFields, sixNames);
        over.replace("\t14\n", "\t101\n");
        QTest::newRow("CMYK 101") << over << 70021 << 0 << 0 << "" << 0 << 0;
        QByteArray zeroId = Cgats({"CGATS.17"}, nameFields, sixNames);
        zeroId.replace("\n2\tA2", "\n0\tA2");
        QTest::newRow("ID 0") << zeroId << 70021 << 0 << 0 << "" << 0 << 0;
        QByteArray bigId = Cgats({"CGATS.17"}, nameFields, sixNames);
        bigId.replace("\n2\tA2", "\n10000\tA2");
        QTest::newRow("ID 10000") << bigId << 70021 << 0 << 0 << "" << 0 << 0;
        QTest::newRow("empty file") << QByteArray() << 70021 << 5 << 0 << "" << 0 << 0;
    }
    void generalReader()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QFETCH(int, request);
        QFETCH(int, count);
        QFETCH(QString, layout);
        QFETCH(int, pageWidth);
        QFETCH(int, patchSize);
        ChartGuard chart;
        int gotRequest = 0;
        int gotCount = 0;
        const QString path = WriteFixture(m_dir, QStringLiteral("general.txt"), text);
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &gotRequest, &gotCount, path), expected);
        QCOMPARE(gotRequest, request);
        QCOMPARE(gotCount, count);
        if (expected != 0)
            return;
        QCOMPARE(AreaGrid(chart.chart), layout);
        QCOMPARE(chart.chart.Recog, 4);
        QCOMPARE(chart.chart.Diameter, 1);
        const Sheet &page = chart.chart.Sheets[0];
        QCOMPARE(page.Width, pageWidth);
        QCOMPARE(page.Height, patchSize * page.Areas[0].RowCount + 1000);
        QCOMPARE(page.Placements[0].LeftTopX, 500);
        QCOMPARE(page.Placements[0].PatchWidth, patchSize);
        QCOMPARE(page.Placements[0].PatchHeightGap, patchSize);
        const PatchColor &first = page.Patches[0];
        QCOMPARE(first.ID, 1);
        QCOMPARE(first.ColorFormat, 2);
        QCOMPARE(first.ColorValue[1], 50.25f);
    }

    void generalReaderPlacement()
    {
        // Sample names down the columns; page 2 continues the same columns.
        ChartGuard chart;
        int request = 0;
        int count = 0;
        const QString path = WriteFixture(
            m_dir, QStringLiteral("strips.txt"),
            Cgats({"CGATS.17", "LGOROWLENGTH 4", "NumberOfStrips 2"}, "SAMPLE_ID SAMPLE_NAME RGB_R RGB_G RGB_B",
                  Names("AB", 4)));
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &request, &count, path), 0);
        QCOMPARE(Placement(chart.chart), QStringLiteral("1@0.0.0.0 2@0.0.1.0 5@0.0.0.1 6@0.0.1.1 "
                                                        "3@1.0.0.0 4@1.0.1.0 7@1.0.0.1 8@1.0.1.1"));
    }

    void missingFile()
    {
        ChartGuard chart;
        int request = 0;
        int count = 0;
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &request, &count, m_dir.filePath("none.txt")), 70018);
        QCOMPARE(m_file.ImportCgatsChartWithLayout(&chart.chart, m_dir.filePath("none.txt"), 2, 3), 70024);
        QCOMPARE(m_file.ImportCgatsChartWithFormat(&chart.chart, m_dir.filePath("none.txt"), 0), 70024);
    }

    // ---- Profiling-tool variant --------------------------------------------------------------------

    void profiler_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("placement"); // empty: not checked
        const QStringList twoPages = Names("AB", 2, 2);
        const QString byColumns =
            QStringLiteral("1@0.0.0.0 2@0.0.1.0 5@0.0.0.1 6@0.0.1.1 3@1.0.0.0 4@1.0.1.0 7@1.0.0.1 8@1.0.1.1");
        const QString byPages =
            QStringLiteral("1@0.0.0.0 2@0.0.1.0 3@0.0.0.1 4@0.0.1.1 5@1.0.0.0 6@1.0.1.0 7@1.0.0.1 8@1.0.1.1");
        QTest::newRow("i1Pro: columns across pages") << Profiler("i1Pro 2", kRgbFields, ProfilerRows(twoPages, 3)) << 0
                                                     << byColumns;
        QTest::newRow("i1iO: columns") << Profiler("i1iO", kCmykFields, ProfilerRows(twoPages, 4)) << 0 << byColumns;
        QTest::newRow("i1iSis: page by page") << Profiler("i1iSis 2", kCmykFields, ProfilerRows(twoPages, 4)) << 0
                                              << byPages;
        QStringList cmykAnyOrder{"SAMPLE_ID", "SAMPLE_NAME", "CMYK_K", "CMYK_Y", "CMYK_M", "CMYK_C"};
        QTest::newRow("CMYK in any order") << Profiler("i1iO", cmykAnyOrder, ProfilerRows(twoPages, 4)) << 0 << byColumns;
        QStringList five{"SAMPLE_ID", "SAMPLE_NAME", "5CLR_1", "5CLR_2", "5CLR_3", "5CLR_4", "5CLR_5"};
        QTest::newRow("five inks") << Profiler("i1iO", five, ProfilerRows(twoPages, 5)) << 0 << byColumns;
        QStringList fiveSwapped{"SAMPLE_ID", "SAMPLE_NAME", "5CLR_2", "5CLR_1", "5CLR_3", "5CLR_4", "5CLR_5"};
        QTest::newRow("five inks out of order") << Profiler("i1iO", fiveSwapped, ProfilerRows(twoPages, 5)) << 70008
                                                << QString();
        QTest::newRow("field count 4") << Profiler("i1iO", kRgbFields, ProfilerRows(twoPages, 3), "4") << 70008 << QString();
        QTest::newRow("field count 11") << Profiler("i1iO", kRgbFields, ProfilerRows(twoPages, 3), "11") << 70008
                                        << QString();
        QTest::newRow("field count 0") << Profiler("i1iO", kRgbFields, ProfilerRows(twoPages, 3), "0") << 70018
                                       << QString();
        QStringList wrong = kRgbFields;
        wrong[4] = QStringLiteral("RGB_X");
        QTest::newRow("wrong colour name") << Profiler("i1iO", wrong, ProfilerRows(twoPages, 3)) << 70008 << QString();
        QStringList noName = kRgbFields;
        noName[1] = QStringLiteral("SAMPLE_LOC");
        QTest::newRow("no SAMPLE_NAME") << Profiler("i1iO", noName, ProfilerRows(twoPages, 3)) << 70018 << QString();
        QList<QStringList> text = ProfilerRows(twoPages, 3);
        text[3][3] = QStringLiteral("x");
        QTest::newRow("not a number") << Profiler("i1iO", kRgbFields, text) << 70018 << QString();
        QList<QStringList> comma = ProfilerRows(twoPages, 3);
        comma[3][3] = QStringLiteral("12,5");
        QTest::newRow("comma decimal") << Profiler("i1iO", kRgbFields, comma) << 70018 << QString();
        QList<QStringList> zeroId = ProfilerRows(twoPages, 3);
        zeroId[2][0] = QStringLiteral("0");
        QTest::newRow("ID 0") << Profiler("i1iO", kRgbFields, zeroId) << 70008 << QString();
        QList<QStringList> high = ProfilerRows(twoPages, 3);
        high[2][4] = QStringLiteral("256");
        QTest::newRow("RGB 256") << Profiler("i1iO", kRgbFields, high) << 70008 << QString();
        QList<QStringList> shortRow = ProfilerRows(twoPages, 3);
        shortRow[5].removeLast();
        QTest::newRow("colour field missing") << Profiler("i1iO", kRgbFields, shortRow) << 70008 << QString();
        QTest::newRow("no data rows") << Profiler("i1iO", kRgbFields, {}) << 70018 << QString();
        QTest::newRow("NUMBER_OF_SETS 0") << Profiler("i1iO", kRgbFields, ProfilerRows(twoPages, 3), nullptr, "0")
                                          << 70018 << QString();
        QTest::newRow("names without layout") << Profiler("i1iO", kRgbFields, ProfilerRows({"X", "Y"}, 3)) << 70018
                                              << QString();
    }
    void profiler()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QFETCH(QString, placement);
        ChartGuard chart;
        chart.chart.Recog = 0;
        chart.chart.Diameter = 0;
        int request = 0;
        int count = 0;
        const QString path = WriteFixture(m_dir, QStringLiteral("profiler.txt"), text);
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &request, &count, path), expected);
        QCOMPARE(request, 0);
        if (expected != 0)
            return;
        QCOMPARE(Placement(chart.chart), placement);
        // The variant leaves the caller's settings alone.
        QCOMPARE(chart.chart.Recog, 0);
        QCOMPARE(chart.chart.Diameter, 0);
        QCOMPARE(chart.chart.Sheets[0].Width, 2200);
        QCOMPARE(chart.chart.Sheets[0].Height, 2200);
    }

    // ---- Second stages -----------------------------------------------------------------------------

    void withLayout_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("layout");
        QTest::newRow("3 x 2") << 3 << 2 << 0 << "3x2";
        QTest::newRow("4 x 2, short column") << 4 << 2 << 0 << "4x1,2x1";
        QTest::newRow("2 x 2 does not hold 6") << 2 << 2 << 70021 << "";
        QTest::newRow("0 rows") << 0 << 2 << 70021 << "";
        QTest::newRow("huge columns") << 3 << 2147483647 << 70021 << "";
    }
    void withLayout()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, expected);
        QFETCH(QString, layout);
        const QString path = WriteFixture(m_dir, QStringLiteral("layout.txt"),
                                          Cgats({"CGATS.17"}, QStringLiteral("SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K"), {}, 6));
        ChartGuard chart;
        QCOMPARE(m_file.ImportCgatsChartWithLayout(&chart.chart, path, rows, columns), expected);
        if (expected != 0)
            return;
        QCOMPARE(AreaGrid(chart.chart), layout);
        QCOMPARE(chart.chart.Sheets[0].Width, columns * 600 + 1000);
        QCOMPARE(chart.chart.Sheets[0].Height, rows * 600 + 1000);
        QCOMPARE(chart.chart.Recog, 4);
    }

    void secondStageRefusals_data()
    {
        QTest::addColumn<QByteArray>("text");
        const QString fields = QStringLiteral("SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K");
        QTest::newRow("no colour fields") << Cgats({"CGATS.17"}, "SAMPLE_ID XYZ_X XYZ_Y XYZ_Z", {}, 6);
        QTest::newRow("no data format")
            << QByteArray("CGATS.17\nBEGIN_DATA\n1 0 0 0 0\nEND_DATA\n");
        QByteArray comma = Cgats({"CGATS.17"}, fields, {}, 6);
        comma.replace("50.25", "50,25");
        QTest::newRow("comma decimal") << comma;
        QByteArray shortRow = Cgats({"CGATS.17"}, fields, {}, 6);
        shortRow.replace("\n2\t1\t50.25\t0\t7\n", "\n2\t1\t50.25\n");
        QTest::newRow("short row") << shortRow;
        QByteArray inf = Cgats({"CGATS.17"}, fields, {}, 6);
        inf.replace("\t7\n", "\tinf\n");
        QTest::newRow("inf") << inf;
    }
    void secondStageRefusals()
    {
        QFETCH(QByteArray, text);
        const QString path = WriteFixture(m_dir, QStringLiteral("refused.txt"), text);
        ChartGuard chart;
        QCOMPARE(m_file.ImportCgatsChartWithLayout(&chart.chart, path, 3, 2), 70024);
        QCOMPARE(m_file.ImportCgatsChartWithFormat(&chart.chart, path, 0), 70024);
    }

    void isoStage_data()
    {
        QTest::addColumn<int>("patches");
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("replaceLast"); // 0: keep, otherwise the last id becomes this
        QTest::addColumn<int>("expected");
        QTest::newRow("1617, Visual") << 1617 << 0 << 0 << 0;
        QTest::newRow("1617, Randam") << 1617 << 1 << 0 << 0;
        QTest::newRow("1616") << 1616 << 0 << 0 << 70024;
        QTest::newRow("two ids on one cell") << 1617 << 0 << 1 << 70024;
        QTest::newRow("id without a position") << 1617 << 0 << 5000 << 70024;
    }
    void isoStage()
    {
        QFETCH(int, patches);
        QFETCH(int, order);
        QFETCH(int, replaceLast);
        QFETCH(int, expected);
        QByteArray text = Cgats({"CGATS.17 ISO 12642-2"}, QStringLiteral("SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K"), {},
                                patches);
        if (replaceLast)
            text.replace("\n" + QByteArray::number(patches) + "\t", "\n" + QByteArray::number(replaceLast) + "\t");
        const QString path = WriteFixture(m_dir, QStringLiteral("iso.txt"), text);
        ChartGuard chart;
        QCOMPARE(m_file.ImportCgatsChartWithFormat(&chart.chart, path, order), expected);
        if (expected != 0)
            return;
        QCOMPARE(AreaGrid(chart.chart), QStringLiteral("33x49"));
        const Sheet &page = chart.chart.Sheets[0];
        QCOMPARE(page.Width, 30400);
        QCOMPARE(page.Height, 20800);
        for (int p = 0; p < page.PatchCount; ++p) {
            const PatchColor &patch = page.Patches[p];
            const QPair<int, int> position = m_host.GetIso12642DefaultPosition(patch.ID, order);
            QCOMPARE(patch.Column, position.first - 1);
            QCOMPARE(patch.Row, position.second - 1);
        }
    }

    // Every number is read in the C locale, whatever the program's or the C library's locale says.
    void germanLocale()
    {
        const QString path = WriteFixture(m_dir, QStringLiteral("locale.txt"),
                                          Cgats({"CGATS.17"}, QStringLiteral("SAMPLE_ID SAMPLE_NAME CMYK_C CMYK_M CMYK_Y CMYK_K"),
                                                Names("AB", 3)));
        ChartGuard plain;
        int request = 0;
        int count = 0;
        QCOMPARE(m_file.ImportCgatsChart(&plain.chart, &request, &count, path), 0);

        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German));
        const bool numeric = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        ChartGuard german;
        const int result = m_file.ImportCgatsChart(&german.chart, &request, &count, path);
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(before);
        QVERIFY2(numeric, "locale de_DE.UTF-8 missing: install locales and run locale-gen");
        QCOMPARE(result, 0);
        QCOMPARE(Placement(german.chart), Placement(plain.chart));
        QCOMPARE(german.chart.Sheets[0].Patches[4].ColorValue[1], 50.25f);
        QCOMPARE(german.chart.Sheets[0].Patches[4].ColorValue[3], plain.chart.Sheets[0].Patches[4].ColorValue[3]);
    }

    // One token of the first row in every reader: the id (field 0) or the first colour value (field 2). The
    // profiling-tool variant tells "not a number" (70018) from "out of range" (70008); the general reader and
    // the second stage only accept or refuse. Tokens with blanks only reach the tab-separated variant.
    void numberTokens_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("profiler"); // 0, 70008 or 70018
        QTest::addColumn<float>("value");  // the imported value when accepted
        const int ok = 0;
        const int range = 70008;
        const int nan = 70018;
        QTest::newRow("plain") << 2 << "12" << ok << 12.0f;
        QTest::newRow("decimals") << 2 << "12.75" << ok << 12.75f;
        QTest::newRow("leading +") << 2 << "+5" << ok << 5.0f;
        QTest::newRow("trailing point") << 2 << "5." << ok << 5.0f;
        QTest::newRow("leading point") << 2 << ".5" << ok << 0.5f;
        QTest::newRow("+.5") << 2 << "+.5" << ok << 0.5f;
        QTest::newRow("leading zeros") << 2 << "007.50" << ok << 7.5f;
        QTest::newRow("exponent") << 2 << "5e1" << ok << 50.0f;
        QTest::newRow("exponent E+") << 2 << "5E+01" << ok << 50.0f;
        QTest::newRow("exponent -") << 2 << "2500e-2" << ok << 25.0f;
        QTest::newRow("1.e1") << 2 << "1.e1" << ok << 10.0f;
        QTest::newRow("-0") << 2 << "-0" << ok << 0.0f;
        QTest::newRow("-0.0") << 2 << "-0.000" << ok << 0.0f;
        QTest::newRow("denormal") << 2 << "4.9e-324" << ok << 0.0f;
        QTest::newRow("many digits") << 2 << "12.345678901234567890123" << ok << 12.345678901234567f;
        QTest::newRow("17 digits") << 2 << "33.333333333333333" << ok << float(33.333333333333333);
        QTest::newRow("rounds to 100") << 2 << "100.000000000000001" << ok << 100.0f;
        QTest::newRow("long integer part") << 2 << "0000000000000000000042" << ok << 42.0f;
        QTest::newRow("just above 100") << 2 << "100.00000000001" << range << 0.0f;
        QTest::newRow("negative") << 2 << "-0.0000001" << range << 0.0f;
        QTest::newRow("1e5") << 2 << "1e5" << range << 0.0f;
        QTest::newRow("underflow") << 2 << "1e-400" << nan << 0.0f;
        QTest::newRow("overflow") << 2 << "1e400" << nan << 0.0f;
        QTest::newRow("inf") << 2 << "inf" << nan << 0.0f;
        QTest::newRow("nan") << 2 << "nan" << nan << 0.0f;
        QTest::newRow("Infinity") << 2 << "Infinity" << nan << 0.0f;
        QTest::newRow("hex") << 2 << "0x10" << nan << 0.0f;
        QTest::newRow("comma") << 2 << "1,5" << nan << 0.0f;
        QTest::newRow("two points") << 2 << "1.2.3" << nan << 0.0f;
        QTest::newRow("bare exponent") << 2 << "1e" << nan << 0.0f;
        QTest::newRow("point only") << 2 << "." << nan << 0.0f;
        QTest::newRow("sign only") << 2 << "-" << nan << 0.0f;
        QTest::newRow("two signs") << 2 << "+-1" << nan << 0.0f;
        QTest::newRow("suffix") << 2 << "5f" << nan << 0.0f;
        QTest::newRow("arabic-indic digit") << 2 << QString(QChar(0x0661)) << nan << 0.0f;
        QTest::newRow("fullwidth digit") << 2 << QString(QChar(0xFF15)) << nan << 0.0f;
        QTest::newRow("NUL inside") << 2 << QString::fromLatin1("5\0", 2) << nan << 0.0f;
        QTest::newRow("blank before") << 2 << " 5" << ok << 5.0f;
        QTest::newRow("blank after") << 2 << "5 " << ok << 5.0f;
        QTest::newRow("blank inside") << 2 << "5 5" << nan << 0.0f;
        QTest::newRow("id +1") << 0 << "+1" << ok << 0.0f;
        QTest::newRow("id 01") << 0 << "01" << ok << 0.0f;
        QTest::newRow("id blank before") << 0 << " 1" << ok << 0.0f;
        QTest::newRow("id -0") << 0 << "-0" << range << 0.0f;
        QTest::newRow("id 1.0") << 0 << "1.0" << nan << 0.0f;
        QTest::newRow("id 1e0") << 0 << "1e0" << nan << 0.0f;
        QTest::newRow("id beyond int") << 0 << "2147483648" << nan << 0.0f;
        QTest::newRow("id 10000") << 0 << "10000" << range << 0.0f;
    }
    void numberTokens()
    {
        QFETCH(int, field);
        QFETCH(QString, token);
        QFETCH(int, profiler);
        QFETCH(float, value);
        QList<QStringList> rows = ProfilerRows(Names("AB", 2, 2), 4);
        rows[0][field] = token;
        ChartGuard chart;
        int request = 0;
        int count = 0;
        QString path = WriteFixture(m_dir, QStringLiteral("number.txt"), Profiler("i1iO", kCmykFields, rows));
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &request, &count, path), profiler);
        if (profiler == 0) {
            QCOMPARE(chart.chart.Sheets[0].Patches[0].ID, 1);
            QCOMPARE(chart.chart.Sheets[0].Patches[0].ColorValue[0], field == 2 ? value : 0.0f);
        }
        if (token.contains(QLatin1Char(' ')))
            return;

        // The same token in a blank-separated file of one page, with names and without (second stage).
        QList<QStringList> page = ProfilerRows(Names("AB", 2), 4);
        page[0][field] = token;
        QStringList lines;
        for (const QStringList &row : page)
            lines << row.join(QLatin1Char(' '));
        const QByteArray named = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID SAMPLE_NAME CMYK_C CMYK_M CMYK_Y CMYK_K\n"
                                 "END_DATA_FORMAT\nBEGIN_DATA\n" +
                                 lines.join(QLatin1Char('\n')).toUtf8() + "\nEND_DATA\n";
        path = WriteFixture(m_dir, QStringLiteral("number-named.txt"), named);
        ChartGuard general;
        QCOMPARE(m_file.ImportCgatsChart(&general.chart, &request, &count, path), profiler == 0 ? 0 : 70021);
        if (profiler == 0)
            QCOMPARE(general.chart.Sheets[0].Patches[0].ColorValue[0], field == 2 ? value : 0.0f);
        QByteArray plain = named;
        plain.replace("SAMPLE_NAME ", "");
        for (const QString &name : Names("AB", 2))
            plain.replace(" " + name.toUtf8() + " ", " ");
        path = WriteFixture(m_dir, QStringLiteral("number-plain.txt"), plain);
        ChartGuard second;
        QCOMPARE(m_file.ImportCgatsChartWithLayout(&second.chart, path, 2, 2), profiler == 0 ? 0 : 70024);
        if (profiler == 0)
            QCOMPARE(second.chart.Sheets[0].Patches[0].ColorValue[0], field == 2 ? value : 0.0f);
    }

    // The readers parse views into the file's text or bytes; a view must give exactly what the whole-string
    // conversion gives (acceptance, value to the last bit, sign of zero), also for a view inside a longer text.
    void numberViews()
    {
        QStringList texts;
        for (const char *sign : {"", "-", "+"})
            for (const char *whole : {"", "0", "00", "7", "123", "999999999999999", "1234567890123456"})
                for (const char *point : {"", "."})
                    for (const char *fraction : {"", "5", "05", "000000000000001", "12345678901234567"})
                        for (const char *exponent : {"", "e2", "E-3"})
                            texts << QString::fromLatin1(sign) + whole + point + fraction + exponent;
        std::mt19937 random(12642);
        for (int i = 0; i < 20000; ++i) {
            QString digits;
            const int length = 1 + int(random() % 17);
            for (int k = 0; k < length; ++k)
                digits += QChar('0' + int(random() % 10));
            const int point = int(random() % (length + 1));
            if (point < length)
                digits.insert(point, QLatin1Char('.'));
            texts << (random() % 2 ? digits : QLatin1Char('-') + digits);
        }
        texts << "2147483647" << "-2147483648" << "2147483648" << "999999999" << "-999999999" << "1000000000"
              << "0000" << "-" << "" << "1 " << "\t1";
        for (const QString &text : texts) {
            const QString framed = QLatin1Char('9') + text + QLatin1Char('9');
            const QStringView view = QStringView(framed).mid(1, text.size());
            double whole = -1;
            double part = -1;
            QCOMPARE(ParseFiniteNumber(view, &part), ParseFiniteNumber(text, &whole));
            QVERIFY2(std::memcmp(&whole, &part, sizeof(double)) == 0, qPrintable(text));
            int wholeInt = -1;
            int partInt = -1;
            QCOMPARE(ParseDecimalInt(view, &partInt), ParseDecimalInt(text, &wholeInt));
            QCOMPARE(partInt, wholeInt);
            // The same over the file's bytes, as an ASCII file is read.
            const QByteArray bytes = framed.toLatin1();
            const QLatin1String latin1(bytes.constData() + 1, text.size());
            part = -1;
            QCOMPARE(ParseFiniteNumber(latin1, &part), ParseFiniteNumber(text, &whole));
            QVERIFY2(std::memcmp(&whole, &part, sizeof(double)) == 0, qPrintable(text));
            partInt = -1;
            QCOMPARE(ParseDecimalInt(latin1, &partInt), ParseDecimalInt(text, &wholeInt));
            QCOMPARE(partInt, wholeInt);
        }
    }

    // How lines, markers and blanks are recognised: the header and data rows take every blank the text
    // simplifier knows (also no-break and ideographic spaces), the originator check only ASCII white space.
    void tokenising_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("count");
        const QString nameFields = QStringLiteral("SAMPLE_ID SAMPLE_NAME CMYK_C CMYK_M CMYK_Y CMYK_K");
        const QString plainFields = QStringLiteral("SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K");
        const QStringList sixNames = Names("AB", 3);
        QTest::newRow("VT and FF separate") << Cgats({"CGATS.17"}, nameFields, sixNames, 0, "\v\f") << 0 << 0 << 0;
        QTest::newRow("no-break space separates")
            << Cgats({"CGATS.17"}, nameFields, sixNames, 0, "\xc2\xa0") << 0 << 0 << 0;
        QTest::newRow("ideographic space separates")
            << Cgats({"CGATS.17"}, nameFields, sixNames, 0, "\xe3\x80\x80") << 0 << 0 << 0;
        QTest::newRow("next line (U+0085) separates")
            << Cgats({"CGATS.17"}, nameFields, sixNames, 0, "\xc2\x85") << 0 << 0 << 0;
        QByteArray nul = Cgats({"CGATS.17"}, nameFields, sixNames);
        nul.replace("\t50.25\t", QByteArray("\t50.25\0\t", 8));
        QTest::newRow("NUL inside a value") << nul << 70021 << 0 << 0;
        QByteArray markers = Cgats({"CGATS.17", "", " \t "}, nameFields, sixNames);
        markers.replace("BEGIN_DATA\n", " \tBEGIN_DATA  \n\n  \n");
        markers.replace("END_DATA\n", "\v END_DATA\f\nrubbish\n");
        QTest::newRow("markers with blanks, blank lines") << markers << 0 << 0 << 0;
        QByteArray noEnd = Cgats({"CGATS.17"}, nameFields, sixNames);
        noEnd.chop(int(qstrlen("END_DATA\n")));
        QTest::newRow("no END_DATA") << noEnd << 0 << 0 << 0;
        QByteArray noEndNewline = Cgats({"CGATS.17", "NUMBER_OF_SETS 6"}, plainFields, {}, 6);
        noEndNewline.chop(1);
        QTest::newRow("no final line end") << noEndNewline << 70021 << 5 << 6;
        QByteArray mixed = Cgats({"CGATS.17"}, nameFields, sixNames);
        mixed.replace("\n", "\r\r\n");
        QTest::newRow("CR CR LF") << mixed << 0 << 0 << 0;
        QByteArray twoWords = Cgats({"CGATS.17"}, nameFields, sixNames);
        twoWords.replace("BEGIN_DATA\n", "BEGIN_DATA now\n");
        QTest::newRow("BEGIN_DATA with more words") << twoWords << 70021 << 0 << 0;
        QTest::newRow("quoted NUMBER_OF_SETS") << Cgats({"CGATS.17", "NUMBER_OF_SETS \"6\""}, plainFields, {}, 7) << 70021
                                               << 5 << 7;
        QTest::newRow("NUMBER_OF_SETS without value") << Cgats({"CGATS.17", "NUMBER_OF_SETS"}, plainFields, {}, 7)
                                                      << 70021 << 5 << 7;
        QTest::newRow("NUMBER_OF_SETS twice: the first counts")
            << Cgats({"CGATS.17", "NUMBER_OF_SETS 9", "NUMBER_OF_SETS 3"}, plainFields, {}, 7) << 70021 << 5 << 9;
        QByteArray blankRows = Cgats({"CGATS.17"}, plainFields, {}, 4);
        blankRows.replace("\n2\t", "\n \t \n\n2\t");
        QTest::newRow("blank rows are no rows") << blankRows << 70021 << 5 << 4;
        QTest::newRow("ISO mark after a UTF-8 BOM")
            << "\xef\xbb\xbf" + Cgats({"CGATS.17 ISO 12642-2", "NUMBER_OF_SETS 6"}, plainFields, {}, 6) << 70021 << 4
            << 6;
        QTest::newRow("invalid UTF-8 in the header")
            << Cgats({"CGATS.17", "DESCRIPTOR \"Caf\xe9\""}, nameFields, sixNames) << 0 << 0 << 0;
        const QByteArray utf16 = Cgats({"CGATS.17", "NUMBER_OF_SETS 6"}, plainFields, {}, 6);
        const QString decoded = QString::fromLatin1(utf16);
        QTest::newRow("UTF-16 with BOM") << "\xff\xfe" + QByteArray(reinterpret_cast<const char *>(decoded.utf16()),
                                                                     decoded.size() * 2)
                                         << 70021 << 5 << 6;
        QTest::newRow("i1Profiler after VT")
            << Cgats({"CGATS.17", "ORIGINATOR\v\"i1Profiler\"", "INSTRUMENTATION \"i1Pro 2\""}, nameFields, sixNames)
            << 70018 << 0 << 0;
        QTest::newRow("i1Profiler after a no-break space")
            << Cgats({"CGATS.17", "ORIGINATOR\xc2\xa0\"i1Profiler\"", "INSTRUMENTATION \"i1Pro 2\""}, nameFields,
                     sixNames)
            << 0 << 0 << 0;
        QTest::newRow("INSTRUMENTATION after a no-break space")
            << Cgats({"CGATS.17", "ORIGINATOR i1Profiler", "INSTRUMENTATION\xc2\xa0i1Pro"}, nameFields, sixNames) << 0
            << 0 << 0;
        QTest::newRow("only the first ORIGINATOR counts")
            << Cgats({"CGATS.17", "ORIGINATOR Fogra", "ORIGINATOR i1Profiler", "INSTRUMENTATION i1Pro"}, nameFields,
                     sixNames)
            << 0 << 0 << 0;
    }
    void tokenising()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QFETCH(int, request);
        QFETCH(int, count);
        ChartGuard chart;
        int gotRequest = 0;
        int gotCount = 0;
        const QString path = WriteFixture(m_dir, QStringLiteral("tokens.txt"), text);
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &gotRequest, &gotCount, path), expected);
        QCOMPARE(gotRequest, request);
        QCOMPARE(gotCount, count);
        if (expected == 0) {
            QCOMPARE(AreaGrid(chart.chart), QStringLiteral("3x2"));
            QCOMPARE(chart.chart.Sheets[0].Patches[4].ID, 5);
            QCOMPARE(chart.chart.Sheets[0].Patches[4].ColorValue[1], 50.25f);
        }
        if (request != 5)
            return;
        ChartGuard second;
        QCOMPARE(m_file.ImportCgatsChartWithLayout(&second.chart, path, gotCount, 1), 0);
        QCOMPARE(second.chart.Sheets[0].Patches[1].ColorValue[1], 50.25f);
    }

    // The tab-separated variant's line rules: markers are found inside longer lines, rows keep empty fields.
    void profilerLines_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("expected");
        QTest::newRow("unchanged") << QByteArray() << QByteArray() << 0;
        QTest::newRow("END_DATA inside a line") << QByteArray("END_DATA\n") << QByteArray("x END_DATA y\nrubbish\n") << 0;
        QTest::newRow("no END_DATA") << QByteArray("END_DATA\n") << QByteArray() << 0;
        QTest::newRow("BEGIN_DATA inside a line") << QByteArray("\nBEGIN_DATA\n") << QByteArray("\n#BEGIN_DATA#\n") << 0;
        QTest::newRow("blank line in the data") << QByteArray("\nEND_DATA") << QByteArray("\n\nEND_DATA") << 70018;
        QTest::newRow("CR line ends") << QByteArray("\n") << QByteArray("\r") << 0;
        QTest::newRow("CR LF line ends") << QByteArray("\n") << QByteArray("\r\n") << 0;
        QTest::newRow("blank-separated keyword") << QByteArray("NUMBER_OF_FIELDS\t") << QByteArray("NUMBER_OF_FIELDS ")
                                                 << 70018;
        QTest::newRow("blank after the field count") << QByteArray("NUMBER_OF_FIELDS\t6") << QByteArray("NUMBER_OF_FIELDS\t6 ")
                                                     << 0;
        QTest::newRow("empty field in a row") << QByteArray("\t1\t2\t3\t4\n") << QByteArray("\t1\t\t2\t3\t4\n") << 70018;
        QTest::newRow("extra field in a row") << QByteArray("\t1\t2\t3\t4\n") << QByteArray("\t1\t2\t3\t4\tx\n") << 0;
    }
    void profilerLines()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, expected);
        QByteArray text = Profiler("i1iO", kCmykFields, ProfilerRows(Names("AB", 2, 2), 4));
        if (!from.isEmpty()) {
            QVERIFY(text.contains(from));
            text.replace(from, to);
        }
        ChartGuard chart;
        int request = 0;
        int count = 0;
        const QString path = WriteFixture(m_dir, QStringLiteral("profiler-lines.txt"), text);
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &request, &count, path), expected);
        if (expected == 0)
            QCOMPARE(Placement(chart.chart),
                     QStringLiteral("1@0.0.0.0 2@0.0.1.0 5@0.0.0.1 6@0.0.1.1 3@1.0.0.0 4@1.0.1.0 7@1.0.0.1 8@1.0.1.1"));
    }

    // ---- Files of other tools ----------------------------------------------------------------------

    void realFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("package");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("count");
        QTest::newRow("FOGRA39L.ti3") << QString(kIcc) + "FOGRA39L.ti3" << "icc-profiles-free" << 5 << 1617;
        QTest::newRow("TR006.ti3") << QString(kIcc) + "TR006.ti3" << "icc-profiles-free" << 5 << 1617;
        QTest::newRow("FograStrip2.ti1") << QString(kArgyll) + "FograStrip2.ti1" << "argyll-ref" << 5 << 46;
        QTest::newRow("FograStrip2_2.ti2") << QString(kArgyll) + "FograStrip2_2.ti2" << "argyll-ref" << 0 << 0;
        QTest::newRow("ECI2002.ti2") << QString(kArgyll) + "ECI2002.ti2" << "argyll-ref" << 0 << 0;
        QTest::newRow("ColorChecker.ti2") << QString(kArgyll) + "ColorChecker.ti2" << "argyll-ref" << 0 << 0;
        QTest::newRow("ColorChecker.cie") << QString(kArgyll) + "ColorChecker.cie" << "argyll-ref" << 0 << 0;
    }
    void realFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, package);
        QFETCH(int, request);
        QFETCH(int, count);
        ChartGuard chart;
        int gotRequest = 0;
        int gotCount = 0;
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &gotRequest, &gotCount, RealFile(path, qPrintable(package))),
                 70021);
        QCOMPARE(gotRequest, request);
        QCOMPARE(gotCount, count);
    }

    void realSecondStages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("expected");
        QTest::newRow("FOGRA39L 33 x 49") << QString(kIcc) + "FOGRA39L.ti3" << 33 << 49 << 0;
        QTest::newRow("FOGRA39L 33 x 50") << QString(kIcc) + "FOGRA39L.ti3" << 33 << 50 << 70021;
        QTest::newRow("TR006 33 x 49") << QString(kIcc) + "TR006.ti3" << 33 << 49 << 0;
        QTest::newRow("FograStrip2 23 x 2") << QString(kArgyll) + "FograStrip2.ti1" << 23 << 2 << 0;
    }
    void realSecondStages()
    {
        QFETCH(QString, path);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, expected);
        ChartGuard chart;
        QCOMPARE(m_file.ImportCgatsChartWithLayout(&chart.chart, RealFile(path, "icc-profiles-free / argyll-ref"), rows,
                                                   columns),
                 expected);
        if (expected != 0)
            return;
        QCOMPARE(chart.chart.SheetCount, 1);
        const Sheet &page = chart.chart.Sheets[0];
        QCOMPARE(page.Width, columns * 600 + 1000);
        QCOMPARE(page.Height, rows * 600 + 1000);
        const PatchColor &first = page.Patches[0];
        QCOMPARE(first.ID, 1);
        QCOMPARE(first.Area, 0);
        QCOMPARE(first.Row, 0);
        QCOMPARE(first.Column, 0);
        if (columns == 49) {
            QCOMPARE(page.Width, 30400);
            QCOMPARE(page.Height, 20800);
            QCOMPARE(first.ColorFormat, 2);
            for (int k = 0; k < 4; ++k)
                QCOMPARE(first.ColorValue[k], 0.0f);
        }
    }

    // The same measured file announced as an ISO 12642-2 chart, laid out by the default table.
    void realIsoFile()
    {
        QFile source(RealFile(QString(kIcc) + "FOGRA39L.ti3", "icc-profiles-free"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString path =
            WriteFixture(m_dir, QStringLiteral("FOGRA39L-iso.ti3"), "CTI3 ISO 12642-2 layout\r\n" + source.readAll());
        ChartGuard chart;
        int request = 0;
        int count = 0;
        QCOMPARE(m_file.ImportCgatsChart(&chart.chart, &request, &count, path), 70021);
        QCOMPARE(request, 4);
        QCOMPARE(count, 1617);
        for (int order = 0; order < 2; ++order) {
            ChartGuard laidOut;
            QCOMPARE(m_file.ImportCgatsChartWithFormat(&laidOut.chart, path, order), 0);
            QCOMPARE(AreaGrid(laidOut.chart), QStringLiteral("33x49"));
            QCOMPARE(laidOut.chart.Sheets[0].Width, 30400);
            QCOMPARE(laidOut.chart.Sheets[0].Height, 20800);
        }
    }

    // Everything else the two packages ship: a result, never a crash or a sanitizer report.
    void allRealFiles()
    {
        QStringList files;
        for (const char *folder : {kArgyll, kIcc}) {
            const QDir dir(QString::fromLatin1(folder));
            for (const QString &name : dir.entryList({"*.ti1", "*.ti2", "*.ti3", "*.cie"}, QDir::Files))
                files << dir.filePath(name);
        }
        QVERIFY2(files.size() >= 20, "install argyll-ref and icc-profiles-free");
        for (const QString &path : files) {
            ChartGuard chart;
            int request = 0;
            int count = 0;
            const int result = m_file.ImportCgatsChart(&chart.chart, &request, &count, path);
            QVERIFY2(result == 0 || result == 70018 || result == 70021 || result == 70008, qPrintable(path));
            if (request != 0)
                QVERIFY2(result == 70021 && (request == 4 || request == 5) && count > 0, qPrintable(path));
        }
    }

private:
    QTemporaryDir m_dir;
    TestHost m_host;
    CIODataFile m_file{&m_host};
};

QTEST_GUILESS_MAIN(TestCgatsImport)
#include "test_cgatsimport.moc"
