// Chart import from target-description XML: the location layout, the column layout, the layout request and
// the second stage with typed rows and columns, lengths, hostile rows, the dispatch, the C locale and the
// read-back through the chart XML.

#include "xmlchartcheck.h"

namespace {

const char *const kByColumn = "targetdesc/locations_by_column.xml";
const char *const kByRow = "targetdesc/locations_by_row.xml";
const QString kCmykFields = QStringLiteral("SAMPLE_ID SAMPLE_LOC CMYK_C CMYK_M CMYK_Y CMYK_K");
const QString kRgbFields = QStringLiteral("SAMPLE_ID SAMPLE_LOC RGB_R RGB_G RGB_B");
const QStringList kBase{"colorSpace=CMYK", "rows=2", "columns=3"};
const QStringList kSix{"A1", "A2", "B1", "B2", "C1", "C2"};

// A document from "tag=text" elements and a CGATS block; header lines go before BEGIN_DATA_FORMAT.
QByteArray Description(const QStringList &elements, const QString &fields, const QStringList &rows,
                       const QStringList &header = QStringList())
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<targetdescription>\n");
    for (const QString &element : elements) {
        const int eq = element.indexOf(QLatin1Char('='));
        xml += QStringLiteral("<%1>%2</%1>\n").arg(element.left(eq), element.mid(eq + 1).toHtmlEscaped());
    }
    QStringList block = header;
    block << QStringLiteral("BEGIN_DATA_FORMAT") << fields << QStringLiteral("END_DATA_FORMAT")
          << QStringLiteral("BEGIN_DATA") << rows << QStringLiteral("END_DATA");
    xml += QStringLiteral("<targetdefinition>\n") + block.join(QLatin1Char('\n')).toHtmlEscaped() +
           QStringLiteral("\n</targetdefinition>\n</targetdescription>\n");
    return xml.toUtf8();
}

// The base elements with "tag=value" replaced or added; "tag=~" removes the tag.
QStringList With(const QStringList &changes, const QStringList &base = kBase)
{
    QStringList out = base;
    for (const QString &change : changes) {
        const QString tag = change.section(QLatin1Char('='), 0, 0);
        out.erase(std::remove_if(out.begin(), out.end(),
                                 [&tag](const QString &e) { return e.section(QLatin1Char('='), 0, 0) == tag; }),
                  out.end());
        if (change.section(QLatin1Char('='), 1) != QLatin1String("~"))
            out << change;
    }
    return out;
}

// "id location C M Y K" rows, ids from firstId.
QStringList CmykRows(const QStringList &locations, int firstId = 1)
{
    QStringList rows;
    for (int i = 0; i < locations.size(); ++i)
        rows << QStringLiteral("%1 %2 %3 50 0 5").arg(firstId + i).arg(locations.at(i)).arg((i + 1) * 10 % 101);
    return rows;
}

QStringList Letters(const QString &letters, int rowsPerColumn)
{
    QStringList out;
    for (const QChar letter : letters)
        for (int r = 1; r <= rowsPerColumn; ++r)
            out << QString(letter) + QString::number(r);
    return out;
}

// The 260 extended column names A..Z, a..z, AA..AZ, Aa..Az, ... Dz, then one more.
QStringList Beyond260()
{
    const QString upper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const QString lower = upper.toLower();
    QStringList names;
    for (const QChar c : upper + lower)
        names << QString(c) + QLatin1Char('1');
    for (const QChar lead : QStringLiteral("ABCD"))
        for (const QChar c : upper + lower)
            names << QString(lead) + c + QLatin1Char('1');
    names << QStringLiteral("EA1");
    return names;
}

const QString kSixLayout = QStringLiteral("2800x2200:2x3(500,500,600,600,600,600)");
const QString kSixByLocation = QStringLiteral("5@0.0.0.0 3@0.0.0.1 1@0.0.0.2 6@0.0.1.0 4@0.0.1.1 2@0.0.1.2");
const QString kSixInFileOrder = QStringLiteral("1@0.0.0.0 2@0.0.1.0 3@0.0.0.1 4@0.0.1.1 5@0.0.0.2 6@0.0.1.2");

} // namespace

class TestTargetDesc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QVERIFY(m_dir.isValid());
    }

    // A1, A2, B1, B2, C1, C2 with 2 rows and 3 columns: A is the rightmost column.
    void locationLayout()
    {
        ChartGuard guard;
        int count = -1;
        const QDomDocument document = LoadFixtureDocument(kByColumn);
        QCOMPARE(m_file.ImportTargetDescriptionChart(&guard.chart, &count, document.documentElement()), 0);
        QCOMPARE(count, -1);
        QCOMPARE(Layout(guard.chart), kSixLayout);
        QCOMPARE(Placement(guard.chart), kSixByLocation);
        QCOMPARE(guard.chart.ChartName, QStringLiteral("Six patches"));
        QCOMPARE(guard.chart.Recog, int(ChartDefinitionData::RecogCombine));
        QCOMPARE(guard.chart.ChartPatchCount, 6);
        QCOMPARE(ValuesOf(guard.chart, 6), QStringLiteral("60/56/0/15"));
        VerifyRoundTrip(m_file, guard.chart, m_dir);
    }

    // Locations that run along the rows do not match the declared rows: the user types the layout.
    void layoutRequestAndSecondStage()
    {
        ChartGuard guard;
        int count = 0;
        const QDomDocument document = LoadFixtureDocument(kByRow);
        QCOMPARE(m_file.ImportTargetDescriptionChart(&guard.chart, &count, document.documentElement()), 70006);
        QCOMPARE(count, 6);
        QCOMPARE(guard.chart.SheetCount, 0);

        QCOMPARE(m_file.ImportTargetDefinitionWithLayout(&guard.chart, FixturePath(kByRow), 2, 3), 0);
        QCOMPARE(Layout(guard.chart), kSixLayout);
        QCOMPARE(Placement(guard.chart), kSixInFileOrder);
        QCOMPARE(guard.chart.ChartName, QStringLiteral("Six patches"));
        QCOMPARE(ValuesOf(guard.chart, 2), QStringLiteral("20/52/0/5"));
        VerifyRoundTrip(m_file, guard.chart, m_dir);
    }

    void firstStage_data()
    {
        QTest::addColumn<QStringList>("elements");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("layout");    // empty: not compared
        QTest::addColumn<QString>("placement"); // empty: not compared

        const QStringList six = CmykRows(kSix);
        const QString two = kSixLayout + QStringLiteral(" | ") + kSixLayout;
        QTest::newRow("letters A to F on two pages")
            << With({"pages=2", "recog=Auto"}) << kCmykFields << CmykRows(Letters("ABCDEF", 2)) << 0 << 0 << two
            << kSixByLocation + QStringLiteral(" 11@1.0.0.0 9@1.0.0.1 7@1.0.0.2 12@1.0.1.0 10@1.0.1.1 8@1.0.1.2");
        QTest::newRow("pages 0") << With({"pages=0"}) << kCmykFields << six << 0 << 0 << kSixLayout << kSixByLocation;
        QTest::newRow("pages x") << With({"pages=x"}) << kCmykFields << six << 0 << 0 << kSixLayout << kSixByLocation;
        QTest::newRow("pages -1") << With({"pages=-1"}) << kCmykFields << six << 70006 << 0 << "" << "";

        // Lengths.
        QTest::newRow("6.5mm") << With({"patchWidth=6.5mm"}) << kCmykFields << six << 0 << 0
                               << "2950x2200:2x3(500,500,650,600,650,600)" << "";
        QTest::newRow("6.5 MM") << With({"patchWidth=6.5 MM"}) << kCmykFields << six << 0 << 0 << kSixLayout << "";
        QTest::newRow("width x") << With({"patchWidth=x"}) << kCmykFields << six << 0 << 0 << kSixLayout << "";
        QTest::newRow("width 0.004") << With({"patchWidth=0.004"}) << kCmykFields << six << 0 << 0 << kSixLayout
                                     << "";
        QTest::newRow("width comma") << With({"patchWidth=6,5"}) << kCmykFields << six << 0 << 0 << kSixLayout << "";
        QTest::newRow("sizes and gaps")
            << With({"patchWidth=6", "horizontalGap=1", "patchHeight=6", "verticalGap=2"}) << kCmykFields << six << 0
            << 0 << "3000x2400:2x3(500,500,600,600,700,800)" << "";
        QTest::newRow("negative gap") << With({"horizontalGap=-1"}) << kCmykFields << six << 0 << 0
                                      << "2600x2200:2x3(500,500,600,600,500,600)" << "";
        QTest::newRow("gap leaves no page") << With({"horizontalGap=-2000"}) << kCmykFields << six << 70006 << 0
                                            << "" << "";
        QTest::newRow("width beyond int") << With({"patchWidth=1e300"}) << kCmykFields << six << 70006 << 0 << ""
                                          << "";
        QTest::newRow("page beyond int") << With({"patchWidth=10000000"}) << kCmykFields << six << 70006 << 0 << ""
                                         << "";

        // Colour space, rows and columns.
        QTest::newRow("CMY is RGB") << With({"colorSpace=CMY"}) << kRgbFields
                                    << QStringList{"1 A1 1 2 3", "2 A2 4 5 6", "3 B1 7 8 9", "4 B2 0 0 0",
                                                   "5 C1 255 255 255", "6 C2 9 9 9"}
                                    << 0 << 0 << kSixLayout << kSixByLocation;
        QTest::newRow("5COLOR") << With({"colorSpace=5COLOR"}) << kCmykFields << six << 70006 << 0 << "" << "";
        QTest::newRow("colour space absent") << With({"colorSpace=~"}) << kCmykFields << six << 70007 << 0 << ""
                                             << "";
        QTest::newRow("rows absent") << With({"rows=~"}) << kCmykFields << six << 70007 << 0 << "" << "";
        QTest::newRow("columns absent") << With({"columns=~"}) << kCmykFields << six << 70007 << 0 << "" << "";
        QTest::newRow("rows x") << With({"rows=x"}) << kCmykFields << six << 70011 << 0 << "" << "";
        QTest::newRow("columns 2.5") << With({"columns=2.5"}) << kCmykFields << six << 70011 << 0 << "" << "";
        QTest::newRow("rows 0") << With({"rows=0"}) << kCmykFields << six << 70006 << 0 << "" << "";
        QTest::newRow("columns -3") << With({"columns=-3"}) << kCmykFields << six << 70006 << 0 << "" << "";
        QTest::newRow("RGB chart with CMYK fields") << With({"colorSpace=RGB"}) << kCmykFields << six << 70006 << 0
                                                    << "" << "";
        QTest::newRow("no identifier field") << kBase << "SAMPLE_LOC CMYK_C CMYK_M CMYK_Y CMYK_K"
                                             << QStringList{"A1 1 2 3 4"} << 70006 << 0 << "" << "";

        // Column layout: file order, identifiers from each row's first token.
        const QString inFileOrder = QStringLiteral("11@0.0.0.0 12@0.0.1.0 13@0.0.0.1 14@0.0.1.1 15@0.0.0.2 16@0.0.1.2");
        QTest::newRow("first location B1")
            << kBase << kCmykFields << CmykRows({"B1", "A1", "A2", "B2", "C1", "C2"}, 11) << 0 << 0 << kSixLayout
            << inFileOrder;
        QTest::newRow("no location field") << kBase << "SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K"
                                           << QStringList{"11 1 2 3 4", "12 1 2 3 4", "13 1 2 3 4", "14 1 2 3 4",
                                                          "15 1 2 3 4", "16 1 2 3 4"}
                                           << 0 << 0 << kSixLayout << inFileOrder;
        QTest::newRow("identifier not first") << kBase << "SAMPLE_LOC SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K"
                                              << QStringList{"B1 1 1 2 3 4"} << 70006 << 0 << "" << "";
        const QStringList rgbColumns{"1 B1 1 2 3", "2 A1 4 5 6", "3 A2 7 8 9", "4 B2 255 0 0", "5 C1 0 0 0",
                                     "6 C2 9 9 9"};
        QTest::newRow("column layout 255") << With({"colorSpace=RGB"}) << kRgbFields << rgbColumns << 0 << 0
                                           << kSixLayout << kSixInFileOrder;
        QStringList rgbOut = rgbColumns;
        rgbOut[3] = QStringLiteral("4 B2 255.5 0 0");
        QTest::newRow("column layout 255.5") << With({"colorSpace=RGB"}) << kRgbFields << rgbOut << 70006 << 0 << ""
                                             << "";
        QTest::newRow("column layout id 0") << kBase << kCmykFields << CmykRows({"B1", "A1", "A2", "B2", "C1", "C2"}, 0)
                                            << 70006 << 0 << "" << "";
        QTest::newRow("column layout short row")
            << kBase << "SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K SAMPLE_LOC"
            << QStringList{"1 1 2 3 4 B1", "2 1 2 3 4", "3 1 2 3 4 C1"} << 70006 << 0 << "" << "";
        QTest::newRow("first row shorter than location")
            << kBase << "SAMPLE_ID CMYK_C CMYK_M CMYK_Y CMYK_K SAMPLE_LOC" << QStringList{"1 1 2 3 4"} << 70006 << 0
            << "" << "";

        // Location layout refusals.
        QTest::newRow("location beyond the pages")
            << kBase << kCmykFields << CmykRows({"A1", "A2", "B1", "B2", "C1", "Z2"}) << 70006 << 0 << "" << "";
        QTest::newRow("location A0") << kBase << kCmykFields << CmykRows({"A1", "A0", "B1", "B2", "C1", "C2"})
                                     << 70006 << 0 << "" << "";
        QTest::newRow("location twice") << kBase << kCmykFields << CmykRows({"A1", "A2", "B1", "B1", "C1", "C2"})
                                        << 70006 << 0 << "" << "";
        QTest::newRow("location without digits")
            << kBase << kCmykFields << CmykRows({"A1", "A2", "B1", "B2", "C1", "C"}) << 70011 << 0 << "" << "";
        QTest::newRow("short row") << kBase << kCmykFields
                                   << QStringList{"1 A1 1 2 3 4", "2 A2 1 2 3 4", "3 B1 1 2 3", "4 B2 1 2 3 4",
                                                  "5 C1 1 2 3 4", "6 C2 1 2 3 4"}
                                   << 70006 << 0 << "" << "";
        QStringList broken = six;
        broken[3] = QStringLiteral("x B2 1 2 3 4");
        QTest::newRow("identifier x") << kBase << kCmykFields << broken << 70011 << 0 << "" << "";
        broken[3] = QStringLiteral("4 B2 1 2 3 4,5");
        QTest::newRow("comma decimal") << kBase << kCmykFields << broken << 70011 << 0 << "" << "";
        broken[3] = QStringLiteral("4 B2 1 nan 3 4");
        QTest::newRow("nan") << kBase << kCmykFields << broken << 70011 << 0 << "" << "";
        broken[3] = QStringLiteral("4 B2 1 2 3 100.5");
        QTest::newRow("value 100.5") << kBase << kCmykFields << broken << 70006 << 0 << "" << "";
        broken[3] = QStringLiteral("0 B2 1 2 3 4");
        QTest::newRow("id 0") << kBase << kCmykFields << broken << 70006 << 0 << "" << "";
        broken[3] = QStringLiteral("10000 B2 1 2 3 4");
        QTest::newRow("id 10000") << kBase << kCmykFields << broken << 70006 << 0 << "" << "";
        QTest::newRow("RGB 255.5")
            << With({"colorSpace=RGB"}) << kRgbFields
            << QStringList{"1 A1 1 2 3", "2 A2 4 5 6", "3 B1 7 8 9", "4 B2 255.5 0 0", "5 C1 0 0 0", "6 C2 9 9 9"}
            << 70006 << 0 << "" << "";

        // Layout requests.
        QTest::newRow("rows along the letters") << kBase << kCmykFields
                                                << CmykRows({"A1", "B1", "C1", "A2", "B2", "C2"}) << 70006 << 6 << ""
                                                << "";
        QTest::newRow("more rows than the layout") << kBase << kCmykFields << CmykRows(Letters("ABCD", 2)) << 70006
                                                   << 8 << "" << "";
        QTest::newRow("pages x columns beyond 260") << With({"rows=1", "columns=261"}) << kCmykFields
                                                    << CmykRows(Beyond260()) << 70006 << 261 << "" << "";
        QTest::newRow("huge pages") << With({"pages=2147483647"}) << kCmykFields << six
                                    << 70006 << 6 << "" << "";
    }
    void firstStage()
    {
        QFETCH(QStringList, elements);
        QFETCH(QString, fields);
        QFETCH(QStringList, rows);
        QFETCH(int, code);
        QFETCH(int, count);
        QFETCH(QString, layout);
        QFETCH(QString, placement);
        const long before = PeakKilobytes();
        QDomDocument document;
        QVERIFY(document.setContent(Description(elements, fields, rows), false));
        ChartGuard guard;
        int announced = 0;
        QCOMPARE(m_file.ImportTargetDescriptionChart(&guard.chart, &announced, document.documentElement()), code);
        QCOMPARE(announced, count);
        QVERIFY2(PeakKilobytes() - before < kHostileGrowthKilobytes, "a declared count made the import allocate");
        if (!layout.isEmpty())
            QCOMPARE(Layout(guard.chart), layout);
        if (!placement.isEmpty())
            QCOMPARE(Placement(guard.chart), placement);
        if (code == 0) {
            QCOMPARE(guard.chart.Recog, elements.contains(QStringLiteral("recog=Auto")) ? 0 : 4);
            VerifyRoundTrip(m_file, guard.chart, m_dir);
        }
    }

    // A quoted location holding a blank keeps the later fields in their places.
    void quotedLocation()
    {
        QDomDocument document;
        QVERIFY(document.setContent(Description(With({"columns=1"}), kCmykFields,
                                                {"1 \"B 1\" 10 20 30 40", "2 \"A 1\" 11 21 31 41"}),
                                    false));
        ChartGuard guard;
        int count = 0;
        QCOMPARE(m_file.ImportTargetDescriptionChart(&guard.chart, &count, document.documentElement()), 0);
        QCOMPARE(ValuesOf(guard.chart, 1), QStringLiteral("10/20/30/40"));
        QCOMPARE(ValuesOf(guard.chart, 2), QStringLiteral("11/21/31/41"));
    }

    // The second stage takes the format from the field names and lays the rows out on one typed page.
    void secondStage_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("values"); // of id 2

        const QStringList rgbRows{"1 A1 1 2 3", "2 B1 4 5 6", "3 C1 7 8 9", "4 A2 0 0 0"};
        QTest::newRow("RGB by field names")
            << Description(kBase, "SampleID SAMPLE_NAME RGB_R RGB_G RGB_B", rgbRows) << 2 << 2 << 0 << "4/5/6";
        QTest::newRow("quoted sample name")
            << Description(kBase, "SampleID SAMPLE_NAME RGB_R RGB_G RGB_B", {"1 \"a b\" 1 2 3", "2 \"c d\" 4 5 6"})
            << 2 << 1 << 0 << "4/5/6";
        QTest::newRow("RGB 255.5") << Description(kBase, "SampleID SAMPLE_NAME RGB_R RGB_G RGB_B",
                                                  {"1 A1 1 2 3", "2 B1 255.5 0 0"})
                                   << 2 << 1 << 70006 << "";
        QTest::newRow("id 0") << Description(kBase, kCmykFields, CmykRows({"A1", "B1"}, 0)) << 2 << 1 << 70006 << "";
        QTest::newRow("id 10000") << Description(kBase, kCmykFields, CmykRows({"A1", "B1"}, 9999)) << 2 << 1 << 70006
                                  << "";
        QTest::newRow("not a number") << Description(kBase, kCmykFields, {"1 A1 1 2 3 4", "2 B1 1 2,5 3 4"}) << 2
                                      << 1 << 70006 << "";
        QTest::newRow("rows 0") << Description(kBase, kCmykFields, CmykRows(kSix)) << 0 << 3 << 70006 << "";
        QTest::newRow("columns 0") << Description(kBase, kCmykFields, CmykRows(kSix)) << 2 << 0 << 70006 << "";
        QTest::newRow("layout too small") << Description(kBase, kCmykFields, CmykRows(kSix)) << 2 << 2 << 70006 << "";
        QTest::newRow("field count cuts the colours")
            << Description(kBase, kCmykFields, CmykRows(kSix), {"NUMBER_OF_FIELDS 4"}) << 2 << 3 << 70006 << "";
        QTest::newRow("field count 6") << Description(kBase, kCmykFields, CmykRows(kSix), {"NUMBER_OF_FIELDS 6"})
                                       << 2 << 3 << 0 << "20/50/0/5";
        QTest::newRow("no data format") << QByteArray("<targetdescription><targetdefinition>BEGIN_DATA\n1 2 3\n"
                                                      "END_DATA</targetdefinition></targetdescription>")
                                        << 1 << 1 << 70006 << "";
        QTest::newRow("other root") << QByteArray("<anything><targetdefinition>BEGIN_DATA_FORMAT\nSampleID RGB_R "
                                                  "RGB_G RGB_B\nBEGIN_DATA\n2 4 5 6\nEND_DATA</targetdefinition>"
                                                  "</anything>")
                                    << 1 << 1 << 0 << "4/5/6";
        QTest::newRow("not well formed") << QByteArray("<targetdescription><rows>2</targetdescription>") << 2 << 3
                                         << 70002 << "";
    }
    void secondStage()
    {
        QFETCH(QByteArray, document);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, code);
        QFETCH(QString, values);
        const QString path = WriteFixture(m_dir, QStringLiteral("second.xml"), document);
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetDefinitionWithLayout(&guard.chart, path, rows, columns), code);
        if (code == 0) {
            QCOMPARE(ValuesOf(guard.chart, 2), values);
            QCOMPARE(guard.chart.Recog, int(ChartDefinitionData::RecogCombine));
            QCOMPARE(guard.chart.SheetCount, 1);
            VerifyRoundTrip(m_file, guard.chart, m_dir);
        }
    }

    void secondStageMissingFile()
    {
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetDefinitionWithLayout(&guard.chart, m_dir.filePath(QStringLiteral("absent.xml")),
                                                         2, 3),
                 70001);
    }

    // ---- Through the XML entry ----------------------------------------------------------------------

    void dispatch_data()
    {
        QTest::addColumn<int>("fileType");
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        QTest::newRow("xml filter, locations") << 0 << kByColumn << 0 << 0;
        QTest::newRow("cxf filter, locations") << 2 << kByColumn << 0 << 0;
        QTest::newRow("xml filter, layout request") << 0 << kByRow << 70006 << 6;
        QTest::newRow("cxf filter, layout request") << 2 << kByRow << 70006 << 6;
    }
    void dispatch()
    {
        QFETCH(int, fileType);
        QFETCH(QString, fixture);
        QFETCH(int, code);
        QFETCH(int, count);
        ChartGuard guard;
        int kind = 0;
        int announced = 0;
        QCOMPARE(m_file.ImportChartDefinition(&guard.chart, &kind, &announced, FixturePath(fixture), fileType), code);
        QCOMPARE(kind, 8);
        QCOMPARE(announced, count);
    }

    void localeIndependent()
    {
        VerifyLocaleIndependent([this](ChartDefinitionDataSheets *chart) {
            const QDomDocument document = LoadFixtureDocument(kByColumn);
            int count = 0;
            return m_file.ImportTargetDescriptionChart(chart, &count, document.documentElement());
        });
        VerifyLocaleIndependent([this](ChartDefinitionDataSheets *chart) {
            return m_file.ImportTargetDefinitionWithLayout(chart, FixturePath(kByRow), 2, 3);
        });
    }

private:
    TestHost m_host;
    CIODataFile m_file{&m_host};
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestTargetDesc)
#include "test_targetdesc.moc"
