// The comparison of a recognised layout with the registered sheet.

#include "app/checkchartcoordinate.h"

#include <QtTest>

#include <cstring>
#include <memory>

using Areas = QVector<QPair<int, int>>; // rows, columns

Q_DECLARE_METATYPE(Areas)

class TestLayoutCompare : public QObject
{
    Q_OBJECT

private slots:
    void outcome_data();
    void outcome();
    void areaCountBeyondSlots();
};

void TestLayoutCompare::outcome_data()
{
    QTest::addColumn<Areas>("registered");
    QTest::addColumn<int>("registeredPatches");
    QTest::addColumn<Areas>("recognised");
    QTest::addColumn<int>("recognisedPatches");
    QTest::addColumn<bool>("otherGeometry");
    QTest::addColumn<int>("expected");
    QTest::newRow("no areas") << Areas{} << 5 << Areas{} << 5 << false << 0;
    QTest::newRow("1 x 1 is not turned") << Areas{{1, 1}} << 1 << Areas{{1, 1}} << 1 << false << 0;
    QTest::newRow("3 x 5 turned") << Areas{{3, 5}} << 15 << Areas{{5, 3}} << 15 << false << 1;
    QTest::newRow("one turned, one not") << Areas{{3, 5}, {2, 4}} << 23 << Areas{{5, 3}, {2, 4}} << 23 << false << 2;
    QTest::newRow("both turned") << Areas{{3, 5}, {2, 4}} << 23 << Areas{{5, 3}, {4, 2}} << 23 << false << 1;
    QTest::newRow("rows differ") << Areas{{3, 5}} << 15 << Areas{{3, 4}} << 15 << false << 2;
    QTest::newRow("area count and patches differ") << Areas{{3, 5}} << 15 << Areas{{3, 5}, {1, 1}} << 16 << false
                                                   << 3;
    QTest::newRow("patch count differs") << Areas{{3, 5}} << 15 << Areas{{3, 5}} << 14 << false << 4;
    QTest::newRow("geometry and area patches ignored") << Areas{{3, 5}} << 15 << Areas{{3, 5}} << 15 << true << 0;
}

void TestLayoutCompare::outcome()
{
    QFETCH(Areas, registered);
    QFETCH(int, registeredPatches);
    QFETCH(Areas, recognised);
    QFETCH(int, recognisedPatches);
    QFETCH(bool, otherGeometry);
    ChartDefinitionData::Sheet sheet;
    sheet.Width = 21000;
    sheet.Height = 29700;
    sheet.AreaCount = registered.size();
    sheet.PatchCount = registeredPatches;
    for (int a = 0; a < registered.size(); ++a) {
        sheet.Areas[a] = {registered[a].first, registered[a].second, registered[a].first * registered[a].second};
        sheet.Placements[a] = {100, 200, 300, 300, 400, 400};
    }
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    layout.width = otherGeometry ? 1 : 21000;
    layout.height = 29700;
    layout.areaCount = recognised.size();
    layout.patchCount = recognisedPatches;
    for (int a = 0; a < recognised.size(); ++a) {
        layout.areaCounts[a][0] = recognised[a].first;
        layout.areaCounts[a][1] = recognised[a].second;
        layout.areaCounts[a][2] = otherGeometry ? 1 : recognised[a].first * recognised[a].second;
        layout.areaGeometry[a][0] = otherGeometry ? 9999 : 100;
    }
    QTEST(CCheckChartCoordinate(layout, sheet).CheckCoordinate(), "expected");
}

void TestLayoutCompare::areaCountBeyondSlots()
{
    // An index past slot 49 of any table is caught by the bounds sanitizer.
    auto layout = std::make_unique<OrloLayoutRecord>();
    std::memset(layout.get(), 0, sizeof *layout);
    layout->areaCount = 51;
    layout->patchCount = 51;
    ChartDefinitionData::Sheet sheet;
    sheet.AreaCount = 51;
    sheet.PatchCount = 51;
    for (int a = 0; a < kMaxAreaCount; ++a) {
        sheet.Areas[a] = {1, 1, 1};
        layout->areaCounts[a][0] = layout->areaCounts[a][1] = layout->areaCounts[a][2] = 1;
    }
    QCOMPARE(CCheckChartCoordinate(*layout, sheet).CheckCoordinate(), 0);
    sheet.AreaCount = 50;
    QCOMPARE(CCheckChartCoordinate(*layout, sheet).CheckCoordinate(), 3);
    layout->areaCount = 50;
    layout->areaCounts[49][0] = 2;
    QCOMPARE(CCheckChartCoordinate(*layout, sheet).CheckCoordinate(), 2);
}

QTEST_GUILESS_MAIN(TestLayoutCompare)
#include "test_layout_compare.moc"
