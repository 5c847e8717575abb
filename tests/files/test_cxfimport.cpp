// Chart import from CxF3 chart files: the object and colour readers, the layout from the custom attribute
// block for each instrument, attribute mutations of one good file, the dispatch, the C locale and the read-back
// through the chart XML.

#include "xmlchartcheck.h"

namespace {

const char *const kCxfOpen = "<cc:CxF xmlns:cc=\"urn:varemo-test:cc\" xmlns:xrp=\"urn:varemo-test:xrp\">";
const char *const kFixture = "cxf/chart_2x3_9objects.cxf";

QString Rgb(const QString &r, const QString &g, const QString &b)
{
    return QStringLiteral("<cc:DeviceColorValues><cc:ColorRGB><cc:R>%1</cc:R><cc:G>%2</cc:G><cc:B>%3</cc:B>"
                          "</cc:ColorRGB></cc:DeviceColorValues>")
        .arg(r, g, b);
}

// CMYK under the given element, followed by spot colours given as "name=value" pairs.
QString Cmyk(const QString &tag, const QString &c, const QStringList &spots = QStringList())
{
    QString xml = QStringLiteral("<cc:DeviceColorValues><%1><cc:Cyan>%2</cc:Cyan><cc:Magenta>20</cc:Magenta>"
                                 "<cc:Yellow>30</cc:Yellow><cc:Black>40</cc:Black>")
                      .arg(tag, c);
    for (const QString &spot : spots) {
        const QStringList parts = spot.split(QLatin1Char('='));
        xml += QStringLiteral("<cc:SpotColor><cc:Name>%1</cc:Name><cc:Percentage>%2</cc:Percentage></cc:SpotColor>")
                   .arg(parts.value(0), parts.value(1));
    }
    return xml + QStringLiteral("</%1></cc:DeviceColorValues>").arg(tag);
}

QString Object(const QString &id, const QString &color)
{
    const QString idAttribute = id.isNull() ? QString() : QStringLiteral(" Id=\"%1\"").arg(id);
    return QStringLiteral("<cc:Object ObjectType=\"Target\"%1>%2</cc:Object>").arg(idAttribute, color);
}

QString Collection(const QString &objects)
{
    return QString::fromLatin1(kCxfOpen) + QStringLiteral("<cc:Resources><cc:ObjectCollection>") + objects +
           QStringLiteral("</cc:ObjectCollection></cc:Resources></cc:CxF>");
}

// A whole chart file: the objects and the custom attributes given as name=value pairs.
QByteArray ChartFile(const QString &objects, const QStringList &attributes)
{
    QString attributeText;
    for (const QString &a : attributes) {
        const int eq = a.indexOf(QLatin1Char('='));
        attributeText += QStringLiteral(" %1=\"%2\"").arg(a.left(eq), a.mid(eq + 1));
    }
    return (QString::fromLatin1(kCxfOpen) + QStringLiteral("<cc:Resources><cc:ObjectCollection>") + objects +
            QStringLiteral("</cc:ObjectCollection></cc:Resources><cc:CustomResources><xrp:Prism>"
                           "<xrp:CustomAttributes%1/></xrp:Prism></cc:CustomResources></cc:CxF>")
                .arg(attributeText))
        .toUtf8();
}

QString PatchesText(const PatchList &patches)
{
    QStringList out;
    for (const ChartDefinitionData::PatchColor &p : patches) {
        QStringList values;
        for (int k = 0; k < p.ColorFormat + 2; ++k)
            values << QString::number(double(p.ColorValue[k]));
        out << QStringLiteral("%1:%2").arg(p.ID).arg(values.join(QLatin1Char('/')));
    }
    return out.join(QLatin1Char(' '));
}

QDomElement ElementByTag(const QDomDocument &document, const char *tag)
{
    return document.elementsByTagName(QLatin1String(tag)).item(0).toElement();
}

} // namespace

class TestCxfImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QVERIFY(m_dir.isValid());
    }

    // ---- Object and colour readers ------------------------------------------------------------------

    void readObjects_data()
    {
        QTest::addColumn<QString>("objects");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("inks");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");

        const QStringList none;
        const QString plain = Rgb("1", "2", "3");
        QTest::newRow("id from first digit") << Object("Patch12", plain) << 1 << none << 0 << "12:1/2/3";
        QTest::newRow("ids by position from 1")
            << Object("A", plain) + Object("", Rgb("4", "5", "6")) + Object("Patch7", plain) +
                   Object("12abc", plain) + Object(QString(), plain)
            << 1 << none << 0 << "1:1/2/3 2:4/5/6 7:1/2/3 4:1/2/3 5:1/2/3";
        QTest::newRow("rgb limits") << Object("1", Rgb("0", "255", " 7 ")) << 1 << none << 0 << "1:0/255/7";
        QTest::newRow("rgb fraction") << Object("1", Rgb("127.5", "0", "0")) << 1 << none << 70015 << "";
        QTest::newRow("rgb 256") << Object("1", Rgb("0", "256", "0")) << 1 << none << 70015 << "";
        QTest::newRow("rgb -1") << Object("1", Rgb("0", "0", "-1")) << 1 << none << 70015 << "";
        QTest::newRow("rgb nan") << Object("1", Rgb("nan", "0", "0")) << 1 << none << 70015 << "";
        QTest::newRow("cmyk decimals") << Object("3", Cmyk("cc:ColorCMYK", "12.25")) << 2 << none << 0
                                       << "3:12.25/20/30/40";
        QTest::newRow("cmyk 100.5") << Object("1", Cmyk("cc:ColorCMYK", "100.5")) << 2 << none << 70015 << "";
        QTest::newRow("cmyk comma decimal") << Object("1", Cmyk("cc:ColorCMYK", "6,5")) << 2 << none << 70015 << "";
        QTest::newRow("cmyk inf") << Object("1", Cmyk("cc:ColorCMYK", "inf")) << 2 << none << 70015 << "";
        QTest::newRow("cmyk under plus-n") << Object("1", Cmyk("cc:ColorCMYKPlusN", "10")) << 2 << none << 70015
                                           << "";
        QTest::newRow("six inks by name")
            << Object("1", Cmyk("cc:ColorCMYKPlusN", "10", {"Green=7", "Orange=3"})) << 4
            << QStringList{"Orange", "Green", "", ""} << 0 << "1:10/20/30/40/3/7";
        QTest::newRow("no device colour") << Object("1", "<cc:ColorValues/>") << 1 << none << 70015 << "";
        QTest::newRow("id 0") << Object("Patch0", plain) << 1 << none << 70015 << "";
        QTest::newRow("id 10000") << Object("Patch10000", plain) << 1 << none << 70015 << "";
        QTest::newRow("id 9999") << Object("Patch9999", plain) << 1 << none << 0 << "9999:1/2/3";
        QTest::newRow("empty collection") << "" << 1 << none << 70015 << "";
    }
    void readObjects()
    {
        QFETCH(QString, objects);
        QFETCH(int, format);
        QFETCH(QStringList, inks);
        QFETCH(int, code);
        QFETCH(QString, expected);
        QDomDocument document;
        QVERIFY(document.setContent(Collection(objects), false));
        PatchList patches;
        QCOMPARE(m_file.ReadCxfObjects(&patches, document.documentElement(), format, inks), code);
        if (code == 0)
            QCOMPARE(PatchesText(patches), expected);
    }

    void readObjectsWithoutCollection()
    {
        QDomDocument document;
        QVERIFY(document.setContent(QString::fromLatin1(kCxfOpen) + "<cc:Resources/></cc:CxF>", false));
        PatchList patches;
        QCOMPARE(m_file.ReadCxfObjects(&patches, document.documentElement(), 1, QStringList()), 70015);
    }

    // Spot colours land only in the extra-ink slots of the format, each exactly once; Cyan..Black stay as read.
    void readColorValues_data()
    {
        QTest::addColumn<QString>("color");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("inks");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("values");

        const QStringList two{"Orange", "Green", "", ""};
        const QString plusN = QStringLiteral("cc:ColorCMYKPlusN");
        QTest::newRow("five inks") << Cmyk(plusN, "10", {"Orange=5"}) << 3 << two << 0
                                   << "10/20/30/40/5/-1/-1/-1";
        QTest::newRow("eight inks") << Cmyk(plusN, "10", {"D=4", "C=3", "B=2", "A=1"}) << 6
                                    << QStringList{"A", "B", "C", "D"} << 0 << "10/20/30/40/1/2/3/4";
        QTest::newRow("unknown spot") << Cmyk(plusN, "10", {"Violet=5"}) << 3 << two << 70014
                                      << "10/20/30/40/-1/-1/-1/-1";
        QTest::newRow("spot twice") << Cmyk(plusN, "10", {"Orange=5", "Orange=6"}) << 4 << two << 70014
                                    << "10/20/30/40/5/-1/-1/-1";
        QTest::newRow("ink beyond the format") << Cmyk(plusN, "10", {"Green=5"}) << 3 << two << 70014
                                               << "10/20/30/40/-1/-1/-1/-1";
        QTest::newRow("spot missing") << Cmyk(plusN, "10", {"Orange=5"}) << 4 << two << 70014
                                      << "10/20/30/40/5/-1/-1/-1";
        QTest::newRow("spot 101") << Cmyk(plusN, "10", {"Orange=101"}) << 3 << two << 70014
                                  << "10/20/30/40/-1/-1/-1/-1";
        QTest::newRow("spot not a number") << Cmyk(plusN, "10", {"Orange=x"}) << 3 << two << 70014
                                           << "10/20/30/40/-1/-1/-1/-1";
        QTest::newRow("no ink names") << Cmyk(plusN, "10", {"=5"}) << 3 << QStringList() << 70014
                                      << "10/20/30/40/-1/-1/-1/-1";
        QTest::newRow("format 0") << Cmyk("cc:ColorCMYK", "10") << 0 << two << 70014
                                  << "-1/-1/-1/-1/-1/-1/-1/-1";
    }
    void readColorValues()
    {
        QFETCH(QString, color);
        QFETCH(int, format);
        QFETCH(QStringList, inks);
        QFETCH(int, code);
        QFETCH(QString, values);
        QDomDocument document;
        QVERIFY(document.setContent(Collection(Object("1", color)), false));
        const QDomElement object = ElementByTag(document, "cc:Object");
        float read[kMaxColorValueCount];
        std::fill(read, read + kMaxColorValueCount, -1.0f);
        QCOMPARE(m_file.ReadCxfColorValues(read, object, format, inks), code);
        QStringList text;
        for (float v : read)
            text << QString::number(double(v));
        QCOMPARE(text.join(QLatin1Char('/')), values);
    }

    // ---- Chart import -------------------------------------------------------------------------------

    // Nine objects, 2 rows x 3 columns, 2 pages: each instrument lays them out its own way.
    void layoutByInstrument_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("placement");
        QTest::newRow("i1iSis page by page")
            << "i1iSis"
            << "1@0.0.0.0 2@0.0.1.0 3@0.0.0.1 4@0.0.1.1 5@0.0.0.2 6@0.0.1.2 7@1.0.0.0 8@1.0.1.0 9@1.1.0.0";
        QTest::newRow("i1Pro by columns spread")
            << "X-i1Pro 2"
            << "1@0.0.0.0 2@0.0.1.0 4@0.0.0.1 5@0.0.1.1 7@0.0.0.2 8@0.0.1.2 3@1.0.0.0 6@1.0.0.1 9@1.0.0.2";
        QTest::newRow("i1iO by columns")
            << "i1iO"
            << "1@0.0.0.0 2@0.0.1.0 5@0.0.0.1 6@0.0.1.1 9@0.1.0.0 3@1.0.0.0 4@1.0.1.0 7@1.0.0.1 8@1.0.1.1";
    }
    void layoutByInstrument()
    {
        QFETCH(QString, device);
        QFETCH(QString, placement);
        QDomDocument document = LoadFixtureDocument(kFixture);
        ElementByTag(document, "xrp:CustomAttributes").setAttribute(QStringLiteral("MeasurementDevice"), device);
        ChartGuard guard;
        QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(Placement(guard.chart), placement);
        QCOMPARE(guard.chart.ChartPatchCount, 9);
        QCOMPARE(guard.chart.Recog, int(ChartDefinitionData::RecogCombine));
        QCOMPARE(guard.chart.Diameter, 1);
        QCOMPARE(ValuesOf(guard.chart, 3), QStringLiteral("30/5.5/70/0.75"));
        VerifyRoundTrip(m_file, guard.chart, m_dir);
    }

    void geometryFromAttributes()
    {
        ChartGuard guard;
        QDomDocument document = LoadFixtureDocument(kFixture);
        QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(Layout(guard.chart), QStringLiteral("21000x29700:2x3(1000,1250,700,650,700,650) | "
                                                     "21000x29700:2x1(1000,1250,700,650,700,650) "
                                                     "1x1(1700,1250,700,650,700,650)"));
    }

    // Without a page width the page is the patch block plus 5 mm on every side.
    void derivedPage()
    {
        QDomDocument document = LoadFixtureDocument(kFixture);
        ElementByTag(document, "xrp:CustomAttributes").removeAttribute(QStringLiteral("PageWidth"));
        ChartGuard guard;
        QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(guard.chart.Sheets[0].Width, 3 * 700 + 1000);
        QCOMPARE(guard.chart.Sheets[0].Height, 2 * 650 + 1000);
        QCOMPARE(guard.chart.Sheets[0].Placements[0].LeftTopX, 500);
        QCOMPARE(guard.chart.Sheets[0].Placements[0].LeftTopY, 500);
    }

    void pagesZeroReadsOne()
    {
        QStringList layouts;
        for (const char *pages : {"0", "1"}) {
            QDomDocument document = LoadFixtureDocument(kFixture);
            QDomElement attributes = ElementByTag(document, "xrp:CustomAttributes");
            attributes.setAttribute(QStringLiteral("NumberPatchPages"), QLatin1String(pages));
            attributes.setAttribute(QStringLiteral("NumberPatchRows"), 3);
            ChartGuard guard;
            QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), 0);
            QCOMPARE(guard.chart.SheetCount, 1);
            layouts << Layout(guard.chart) + Placement(guard.chart);
        }
        QCOMPARE(layouts.at(0), layouts.at(1));
    }

    // The extra-ink names end at the first "|".
    void extraInkNames_data()
    {
        QTest::addColumn<QString>("plus1");
        QTest::addColumn<int>("code");
        QTest::newRow("name and rest") << "Orange|xyz" << 0;
        QTest::newRow("name alone") << "Orange" << 0;
        QTest::newRow("rest only") << "|Orange" << 70013;
    }
    void extraInkNames()
    {
        QFETCH(QString, plus1);
        QFETCH(int, code);
        QString objects;
        for (int i = 1; i <= 6; ++i)
            objects += Object(QString::number(i), Cmyk("cc:ColorCMYKPlusN", QString::number(i), {"Orange=55.5"}));
        const QByteArray bytes =
            ChartFile(objects, {"ColorSpace=CMYK+1", "PLUS_1_COLOR=" + plus1, "NumberPatchColumns=3",
                                "NumberPatchRows=2", "NumberPatchPages=1", "PatchSizeHeightValue=6",
                                "PatchSizeWidthValue=6", "MeasurementDevice=i1iO"});
        QDomDocument document;
        QVERIFY(document.setContent(bytes, false));
        ChartGuard guard;
        QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), code);
        if (code == 0) {
            QCOMPARE(ValuesOf(guard.chart, 4), QStringLiteral("4/20/30/40/55.5"));
            QCOMPARE(guard.chart.Sheets[0].Patches[0].ColorFormat, int(ChartDefinitionData::Format5Color));
            VerifyRoundTrip(m_file, guard.chart, m_dir);
        }
    }

    // Single-attribute mutations of the good file; every one must fail with 70013 and nothing else.
    void mutations_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("value"); // null: removed

        QTest::newRow("device missing") << "MeasurementDevice" << QString();
        QTest::newRow("device unknown") << "MeasurementDevice" << "Spectro 5";
        QTest::newRow("device lower case") << "MeasurementDevice" << "i1isis";
        QTest::newRow("colour space absent") << "ColorSpace" << QString();
        QTest::newRow("colour space CMYK+9") << "ColorSpace" << "CMYK+9";
        QTest::newRow("colour space RGB for CMYK objects") << "ColorSpace" << "RGB";
        QTest::newRow("columns 0") << "NumberPatchColumns" << "0";
        QTest::newRow("columns -1") << "NumberPatchColumns" << "-1";
        QTest::newRow("columns x") << "NumberPatchColumns" << "x";
        QTest::newRow("columns absent") << "NumberPatchColumns" << QString();
        QTest::newRow("rows 0") << "NumberPatchRows" << "0";
        QTest::newRow("rows -1") << "NumberPatchRows" << "-1";
        QTest::newRow("rows x") << "NumberPatchRows" << "x";
        QTest::newRow("rows huge") << "NumberPatchRows" << "2147483647";
        QTest::newRow("pages x") << "NumberPatchPages" << "x";
        QTest::newRow("pages -1") << "NumberPatchPages" << "-1";
        QTest::newRow("pages int max") << "NumberPatchPages" << "2147483647";
        QTest::newRow("pages beyond int") << "NumberPatchPages" << "4294967297";
        QTest::newRow("patch width 0") << "PatchSizeWidthValue" << "0";
        QTest::newRow("patch width rounds to 0") << "PatchSizeWidthValue" << "0.004";
        QTest::newRow("patch width negative") << "PatchSizeWidthValue" << "-6";
        QTest::newRow("patch width absent") << "PatchSizeWidthValue" << QString();
        QTest::newRow("patch height nan") << "PatchSizeHeightValue" << "nan";
        QTest::newRow("patch height comma") << "PatchSizeHeightValue" << "6,5";
        QTest::newRow("patch height 1e300") << "PatchSizeHeightValue" << "1e300";
        QTest::newRow("page width 1e300") << "PageWidth" << "1e300";
        QTest::newRow("page height negative") << "PageHeight" << "-297";
        QTest::newRow("margin negative") << "PrintMarginLeft" << "-1";
        QTest::newRow("margin 1e300") << "PrintMarginTop" << "1e300";
    }
    void mutations()
    {
        QFETCH(QString, attribute);
        QFETCH(QString, value);
        const long before = PeakKilobytes();
        QDomDocument document = LoadFixtureDocument(kFixture);
        QDomElement attributes = ElementByTag(document, "xrp:CustomAttributes");
        if (value.isNull())
            attributes.removeAttribute(attribute);
        else
            attributes.setAttribute(attribute, value);
        ChartGuard guard;
        QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), 70013);
        QVERIFY2(PeakKilobytes() - before < kHostileGrowthKilobytes, "a declared count made the import allocate");
    }

    void missingElements_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::newRow("custom resources") << "cc:CustomResources";
        QTest::newRow("prism") << "xrp:Prism";
        QTest::newRow("custom attributes") << "xrp:CustomAttributes";
        QTest::newRow("resources") << "cc:Resources";
        QTest::newRow("object collection") << "cc:ObjectCollection";
    }
    void missingElements()
    {
        QFETCH(QString, tag);
        QDomDocument document = LoadFixtureDocument(kFixture);
        document.elementsByTagName(tag).item(0).toElement().setTagName(QStringLiteral("cc:Renamed"));
        ChartGuard guard;
        QCOMPARE(m_file.ImportCxfChart(&guard.chart, document.documentElement()), 70013);
    }

    // ---- Through the XML entry ----------------------------------------------------------------------

    void dispatch_data()
    {
        QTest::addColumn<int>("fileType");
        QTest::newRow("xml filter") << 0;
        QTest::newRow("cxf filter") << 2;
    }
    void dispatch()
    {
        QFETCH(int, fileType);
        ChartGuard guard;
        int kind = 0;
        int count = 0;
        QCOMPARE(m_file.ImportChartDefinition(&guard.chart, &kind, &count, FixturePath(kFixture), fileType), 0);
        QCOMPARE(kind, 9);
        QCOMPARE(count, 0);
        QCOMPARE(guard.chart.ChartPatchCount, 9);
    }

    void localeIndependent()
    {
        VerifyLocaleIndependent([this](ChartDefinitionDataSheets *chart) {
            const QDomDocument document = LoadFixtureDocument(kFixture);
            return m_file.ImportCxfChart(chart, document.documentElement());
        });
    }

private:
    TestHost m_host;
    CIODataFile m_file{&m_host};
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCxfImport)
#include "test_cxfimport.moc"
