// Chart import from target-configuration XML: geometry, page orders by row and by column, the index form,
// identifiers across pages, attribute mutations of one good file, hostile grids, the dispatch, the C locale and
// the read-back through the chart XML.

#include "xmlchartcheck.h"

namespace {

const char *const kFixture = "targetconfig/two_pages_24.xml";

// A chart with the fixture's base page and patch size, no alignment bar, and the given pages.
QByteArray TargetConfig(const QString &pages)
{
    return QStringLiteral("<root colorSpace=\"CMYK\"><basePageDescription Width=\"210\" Height=\"297\" "
                          "leftMargin=\"10\" topMargin=\"15\"><patchSpec patchWidth=\"6\" patchHeight=\"6.5\" "
                          "gapWidth=\"1\" gapHeight=\"0.5\" headerLength=\"3\"/></basePageDescription>"
                          "<TargetConfiguration><DesignSettings/></TargetConfiguration><pages>%1</pages></root>")
        .arg(pages)
        .toUtf8();
}

QString Page(int index, int rows, int columns, int total, const char *priority, const QString &patches)
{
    return QStringLiteral("<targetPage index=\"%1\" Rows=\"%2\" Columns=\"%3\" totalPatches=\"%4\" Priority=\"%5\">"
                          "%6</targetPage>")
        .arg(index)
        .arg(rows)
        .arg(columns)
        .arg(total)
        .arg(QLatin1String(priority), patches);
}

QString PatchById(int id)
{
    return QStringLiteral("<patchSpec Patch_ID=\"%1\" colorSpace=\"CMYK\" deviceValues=\"%1 0 0 0\"/>").arg(id);
}

QString PatchesById(int count)
{
    QString out;
    for (int i = 1; i <= count; ++i)
        out += PatchById(i);
    return out;
}

QString PatchesByIndex(const QStringList &indexes)
{
    QString out;
    for (const QString &index : indexes)
        out += QStringLiteral("<patchSpec index=\"%1\" colorSpace=\"CMYK\" deviceValues=\"1 2 3 4\"/>").arg(index);
    return out;
}

// "selector:attribute=value" edits separated by "|"; the value "~" removes the attribute. Selectors: root, base,
// size (the base patch size), bar, pageN (N-th targetPage), patchN.M (M-th patch of page N).
void ApplyEdits(QDomDocument &document, const QString &edits)
{
    for (const QString &edit : edits.split(QLatin1Char('|'))) {
        const int colon = edit.indexOf(QLatin1Char(':'));
        const int eq = edit.indexOf(QLatin1Char('='));
        const QString selector = edit.left(colon);
        const QString attribute = edit.mid(colon + 1, eq - colon - 1);
        const QString value = edit.mid(eq + 1);
        const QDomElement root = document.documentElement();
        QDomElement target;
        if (selector == QLatin1String("root"))
            target = root;
        else if (selector == QLatin1String("base"))
            target = root.firstChildElement(QStringLiteral("basePageDescription"));
        else if (selector == QLatin1String("size"))
            target = root.firstChildElement(QStringLiteral("basePageDescription"))
                         .firstChildElement(QStringLiteral("patchSpec"));
        else if (selector == QLatin1String("bar"))
            target = document.elementsByTagName(QStringLiteral("AlignmentBar")).item(0).toElement();
        else {
            const int prefix = selector.startsWith(QLatin1String("page")) ? 4 : 5;
            const QStringList numbers = selector.mid(prefix).split(QLatin1Char('.'));
            const QDomNodeList pages = document.elementsByTagName(QStringLiteral("targetPage"));
            target = pages.item(numbers.at(0).toInt() - 1).toElement();
            if (numbers.size() > 1)
                target = target.elementsByTagName(QStringLiteral("patchSpec"))
                             .item(numbers.at(1).toInt() - 1)
                             .toElement();
        }
        if (target.isNull())
            qFatal("no element for %s", qPrintable(edit));
        if (value == QLatin1String("~"))
            target.removeAttribute(attribute);
        else
            target.setAttribute(attribute, value);
    }
}

} // namespace

class TestTargetConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QVERIFY(m_dir.isValid());
    }

    // Two pages of 24, each numbered from 1: identifiers run on, patches go down the columns.
    void goodChart()
    {
        ChartGuard guard;
        const QDomDocument document = LoadFixtureDocument(kFixture);
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 0);
        const ChartDefinitionDataSheets &chart = guard.chart;
        QCOMPARE(chart.SheetCount, 2);
        QCOMPARE(chart.ChartPatchCount, 48);
        QCOMPARE(chart.Recog, int(ChartDefinitionData::RecogCombine));
        // left 10 mm + 11 mm; top 15 + header 3 + bar 4 + 2 mm; pitch = size + gap.
        const QString page = QStringLiteral("21000x29700:4x6(2100,2400,600,650,700,700)");
        QCOMPARE(Layout(chart), page + QStringLiteral(" | ") + page);
        for (int s = 0; s < 2; ++s) {
            for (int p = 0; p < 24; ++p) {
                const ChartDefinitionData::PatchColor &patch = chart.Sheets[s].Patches[p];
                QCOMPARE(patch.ID - 24 * s - 1, patch.Column * 4 + patch.Row);
            }
        }
        QCOMPARE(ValuesOf(chart, 25), QStringLiteral("4/20/99/0.5"));
        QCOMPARE(ValuesOf(chart, 24), QStringLiteral("96/10/76/12"));
        VerifyRoundTrip(m_file, chart, m_dir);
    }

    // The top margin takes the alignment bar only when "IsTop" is exactly "True".
    void alignmentBar_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("top");
        QTest::newRow("True") << "bar:IsTop=True" << 2400;
        QTest::newRow("true") << "bar:IsTop=true" << 1800;
        QTest::newRow("False") << "bar:IsTop=False" << 1800;
        QTest::newRow("absent") << "bar:IsTop=~" << 1800;
        QTest::newRow("true with broken thickness") << "bar:IsTop=true|bar:Thickness=x" << 1800;
    }
    void alignmentBar()
    {
        QFETCH(QString, edit);
        QFETCH(int, top);
        QDomDocument document = LoadFixtureDocument(kFixture);
        ApplyEdits(document, edit);
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(guard.chart.Sheets[1].Placements[0].LeftTopY, top);
    }

    // The 11 mm are added before the zero test: a left margin of 0 keeps the file's page.
    void leftMarginZero()
    {
        QDomDocument document = LoadFixtureDocument(kFixture);
        ApplyEdits(document, QStringLiteral("base:leftMargin=0"));
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(Layout(guard.chart).section(QLatin1String(" | "), 0, 0),
                 QStringLiteral("21000x29700:4x6(1100,2400,600,650,700,700)"));
    }

    // Without a page size every page is sized from its own grid, with 5 mm margins.
    void derivedPageSizePerPage()
    {
        QDomDocument document = LoadFixtureDocument(kFixture);
        ApplyEdits(document, QStringLiteral("base:Width=0|page2:Rows=5"));
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(guard.chart.Sheets[0].Width, 6 * 600 + 5 * 100 + 1000);
        QCOMPARE(guard.chart.Sheets[0].Height, 4 * 650 + 3 * 50 + 1000);
        QCOMPARE(guard.chart.Sheets[1].Width, 6 * 600 + 5 * 100 + 1000);
        QCOMPARE(guard.chart.Sheets[1].Height, 5 * 650 + 4 * 50 + 1000);
        QCOMPARE(guard.chart.Sheets[0].Placements[0].LeftTopX, 500);
        QCOMPARE(guard.chart.Sheets[1].Placements[0].LeftTopY, 500);
        VerifyRoundTrip(m_file, guard.chart, m_dir);
    }

    // Short pages: by row the last row is short, by column the last column.
    void shortPages_data()
    {
        QTest::addColumn<QString>("priority");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("placement");
        QTest::newRow("Row") << "Row"
                             << "21000x29700:2x4(2100,1800,600,650,700,700) 1x2(2100,3200,600,650,700,700)"
                             << "1@0.0.0.0 4@0.0.0.1 7@0.0.0.2 9@0.0.0.3 2@0.0.1.0 5@0.0.1.1 8@0.0.1.2 "
                                "10@0.0.1.3 3@0.1.0.0 6@0.1.0.1";
        QTest::newRow("Column") << "Column"
                                << "21000x29700:1x4(2100,1800,600,650,700,700) 2x3(2100,2500,600,650,700,700)"
                                << "1@0.0.0.0 4@0.0.0.1 7@0.0.0.2 10@0.0.0.3 2@0.1.0.0 5@0.1.0.1 8@0.1.0.2 "
                                   "3@0.1.1.0 6@0.1.1.1 9@0.1.1.2";
    }
    void shortPages()
    {
        QFETCH(QString, priority);
        QFETCH(QString, layout);
        QFETCH(QString, placement);
        QDomDocument document;
        QVERIFY(document.setContent(TargetConfig(Page(1, 3, 4, 10, priority.toLatin1().constData(), PatchesById(10))),
                                    false));
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(Layout(guard.chart), layout);
        QCOMPARE(Placement(guard.chart), placement);
        VerifyRoundTrip(m_file, guard.chart, m_dir);
    }

    // Patches placed by index take the index as their identifier, then the chart-wide offset.
    void indexForm()
    {
        QDomDocument document;
        QVERIFY(document.setContent(TargetConfig(Page(1, 2, 3, 6, "Column", PatchesById(6)) +
                                                 Page(2, 2, 3, 6, "Column",
                                                      PatchesByIndex({"6", "5", "4", "3", "2", "1"}))),
                                    false));
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 0);
        QCOMPARE(Placement(guard.chart).section(QLatin1Char(' '), 6),
                 QStringLiteral("7@1.0.0.0 9@1.0.0.1 11@1.0.0.2 8@1.0.1.0 10@1.0.1.1 12@1.0.1.2"));
    }

    // Single-attribute mutations of the good file.
    void mutations_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<int>("code");
        QTest::newRow("page index repeated") << "page2:index=1" << 70006;
        QTest::newRow("page index beyond") << "page2:index=3" << 70006;
        QTest::newRow("page index 0") << "page1:index=0" << 70006;
        QTest::newRow("page index x") << "page2:index=x" << 70011;
        QTest::newRow("forms mixed") << "patch1.2:Patch_ID=~|patch1.2:index=2" << 70011;
        QTest::newRow("9 device values") << "patch1.1:deviceValues=1 2 3 4 5 6 7 8 9" << 70006;
        QTest::newRow("3 device values") << "patch1.1:deviceValues=1 2 3" << 70006;
        QTest::newRow("value 100.5") << "patch2.3:deviceValues=1 2 100.5 4" << 70006;
        QTest::newRow("value -0.5") << "patch2.3:deviceValues=-0.5 2 3 4" << 70006;
        QTest::newRow("value limits") << "patch2.3:deviceValues=0 100 0 100" << 0;
        QTest::newRow("value x") << "patch1.5:deviceValues=1 2 x 4" << 70011;
        QTest::newRow("value nan") << "patch1.5:deviceValues=1 2 nan 4" << 70011;
        QTest::newRow("value comma decimal") << "patch1.5:deviceValues=1 2 3 4,5" << 70011;
        QTest::newRow("patch colour space RGB") << "patch1.7:colorSpace=RGB" << 70006;
        QTest::newRow("patch colour space absent") << "patch1.7:colorSpace=~" << 70006;
        QTest::newRow("rows 0") << "page1:Rows=0" << 70006;
        QTest::newRow("rows -1") << "page1:Rows=-1" << 70006;
        QTest::newRow("rows x") << "page1:Rows=x" << 70011;
        QTest::newRow("columns 0") << "page2:Columns=0" << 70006;
        QTest::newRow("total above rows x columns") << "page1:totalPatches=25" << 70006;
        QTest::newRow("more patches than total") << "page1:totalPatches=23" << 70006;
        QTest::newRow("total 0") << "page1:totalPatches=0" << 70006;
        QTest::newRow("grid above bound") << "page1:Rows=1001|page1:Columns=1000" << 70006;
        QTest::newRow("grid product beyond int") << "page1:Rows=2147483647|page1:Columns=2147483647" << 70006;
        QTest::newRow("priority lower case") << "page2:Priority=row" << 70006;
        QTest::newRow("final id 9999") << "patch2.24:Patch_ID=9975" << 0;
        QTest::newRow("final id 10000") << "patch2.24:Patch_ID=9976" << 70006;
        QTest::newRow("id 0") << "patch1.1:Patch_ID=0" << 70006;
        QTest::newRow("chart colour space unknown") << "root:colorSpace=XYZ" << 70006;
        QTest::newRow("chart colour space absent") << "root:colorSpace=~" << 70006;
        QTest::newRow("patch width x") << "size:patchWidth=x" << 70011;
        QTest::newRow("patch width comma") << "size:patchWidth=6,5" << 70011;
        QTest::newRow("header length absent") << "size:headerLength=~" << 70011;
        QTest::newRow("gap beyond int") << "size:gapWidth=1e300" << 70006;
        QTest::newRow("page width beyond int") << "base:Width=1e300" << 70006;
        QTest::newRow("thickness x") << "bar:Thickness=x" << 70011;
    }
    void mutations()
    {
        QFETCH(QString, edits);
        QFETCH(int, code);
        const long before = PeakKilobytes();
        QDomDocument document = LoadFixtureDocument(kFixture);
        ApplyEdits(document, edits);
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), code);
        QVERIFY2(PeakKilobytes() - before < kHostileGrowthKilobytes, "a declared count made the import allocate");
    }

    void missingElements_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::newRow("base page") << "basePageDescription";
        QTest::newRow("base patch size") << "patchSpec";
        QTest::newRow("target configuration") << "TargetConfiguration";
        QTest::newRow("design settings") << "DesignSettings";
        QTest::newRow("pages") << "pages";
        QTest::newRow("first target page") << "targetPage";
    }
    void missingElements()
    {
        QFETCH(QString, tag);
        QDomDocument document = LoadFixtureDocument(kFixture);
        document.elementsByTagName(tag).item(0).toElement().setTagName(QStringLiteral("renamed"));
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), 70006);
    }

    // Small documents for the index form and grids the grouping breaks up.
    void pageCases_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<int>("code");
        QTest::newRow("no target page") << "" << 70006;
        QTest::newRow("index repeated") << Page(1, 2, 2, 4, "Column", PatchesByIndex({"1", "2", "2", "3"})) << 70006;
        QTest::newRow("index 0") << Page(1, 2, 2, 4, "Column", PatchesByIndex({"0", "1", "2", "3"})) << 70006;
        QTest::newRow("index beyond total") << Page(1, 2, 2, 4, "Column", PatchesByIndex({"1", "2", "3", "5"}))
                                            << 70006;
        QTest::newRow("index x") << Page(1, 2, 2, 4, "Column", PatchesByIndex({"1", "x"})) << 70011;
        QTest::newRow("too few patches") << Page(1, 2, 2, 4, "Column", PatchesById(3)) << 70006;
        QTest::newRow("50 runs") << Page(1, 50, 2, 50, "Column", PatchesById(50)) << 0;
        QTest::newRow("51 runs") << Page(1, 51, 2, 51, "Column", PatchesById(51)) << 70006;
        QTest::newRow("one row by row") << Page(1, 1, 5, 3, "Row", PatchesById(3)) << 0;
        QTest::newRow("wide grid, one patch") << Page(1, 1, 1000000, 1, "Row", PatchesById(1)) << 0;
    }
    void pageCases()
    {
        QFETCH(QString, pages);
        QFETCH(int, code);
        const long before = PeakKilobytes();
        QDomDocument document;
        QVERIFY(document.setContent(TargetConfig(pages), false));
        ChartGuard guard;
        QCOMPARE(m_file.ImportTargetConfigurationChart(&guard.chart, document.documentElement()), code);
        QVERIFY2(PeakKilobytes() - before < kHostileGrowthKilobytes, "a declared count made the import allocate");
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
        QCOMPARE(kind, 7);
        QCOMPARE(count, 0);
        QCOMPARE(guard.chart.ChartPatchCount, 48);

        QDomDocument broken = LoadFixtureDocument(kFixture);
        ApplyEdits(broken, QStringLiteral("page1:Rows=x"));
        const QString path = WriteFixture(m_dir, QStringLiteral("broken.xml"), broken.toByteArray());
        ChartGuard failed;
        kind = 0;
        QCOMPARE(m_file.ImportChartDefinition(&failed.chart, &kind, &count, path, fileType), 70011);
        QCOMPARE(kind, 7);
    }

    void localeIndependent()
    {
        VerifyLocaleIndependent([this](ChartDefinitionDataSheets *chart) {
            const QDomDocument document = LoadFixtureDocument(kFixture);
            return m_file.ImportTargetConfigurationChart(chart, document.documentElement());
        });
    }

private:
    TestHost m_host;
    CIODataFile m_file{&m_host};
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestTargetConfig)
#include "test_targetconfig.moc"
