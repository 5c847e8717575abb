// The density chart view: the three arrows and the bar it adds to the chart layout view.
#include "chart/vcchartgraphicspatch.h"
#include "chart/vcdensitychartgraphicsview.h"
#include "viewprobe.h"

#include <QGraphicsPolygonItem>
#include <QGraphicsRectItem>
#include <QtTest>

#include <memory>

namespace {

using Sheet = ChartDefinitionData::Sheet;

struct AreaLayout {
    int columns, left, width, widthGap;
};

// Rows, tops and heights do not move the marks; every area gets two rows at a fixed place.
std::unique_ptr<Sheet> MakeSheet(int width, const QList<AreaLayout> &areas)
{
    auto sheet = std::make_unique<Sheet>();
    sheet->Width = width;
    sheet->Height = 29700;
    sheet->AreaCount = areas.size();
    for (int a = 0; a < areas.size(); ++a) {
        sheet->Areas[a].RowCount = 2;
        sheet->Areas[a].ColumnCount = areas[a].columns;
        sheet->Areas[a].PatchCount = 2 * areas[a].columns;
        sheet->Placements[a] = {areas[a].left, 3000, areas[a].width, 500, areas[a].widthGap, 700};
    }
    sheet->Patches = std::make_unique<ChartDefinitionData::PatchColor[]>(1);
    return sheet;
}

// Distinct resolutions catch a swapped axis.
constexpr int kDpiX = 100;
constexpr int kDpiY = 200;

QList<QGraphicsPolygonItem *> Arrows(QGraphicsScene *scene)
{
    QList<QGraphicsPolygonItem *> arrows;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        if (auto *polygon = qgraphicsitem_cast<QGraphicsPolygonItem *>(item))
            arrows << polygon;
    }
    return arrows;
}

// The black rectangles of the scene (the paper is white).
QList<QGraphicsRectItem *> Bars(QGraphicsScene *scene)
{
    QList<QGraphicsRectItem *> bars;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        auto *rect = qgraphicsitem_cast<QGraphicsRectItem *>(item);
        if (rect && rect->brush().color() == Qt::black)
            bars << rect;
    }
    return bars;
}

void CheckBlackFill(QAbstractGraphicsShapeItem *item)
{
    QCOMPARE(item->pen().color(), QColor(Qt::black));
    QCOMPARE(item->brush().style(), Qt::SolidPattern);
    QCOMPARE(item->brush().color(), QColor(Qt::black));
}

} // namespace

class TestDensityView : public QObject
{
    Q_OBJECT
private slots:
    void arrowsAtTheQuarters_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("quarter");
        QTest::newRow("210 mm") << 21000 << 5250;
        QTest::newRow("210.03 mm truncates") << 21003 << 5250;
        QTest::newRow("odd quarter") << 20006 << 5001;
    }
    void arrowsAtTheQuarters()
    {
        QFETCH(int, width);
        QFETCH(int, quarter);
        auto sheet = MakeSheet(width, {{10, 1000, 600, 700}});
        CVCDensityChartGraphicsView view;
        view.SetResolution(kDpiX, kDpiY);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        const viewprobe::Scale px = viewprobe::ScaleOf(view);

        const QList<QGraphicsPolygonItem *> arrows = Arrows(view.scene());
        QCOMPARE(arrows.size(), 3);
        for (int k = 0; k < 3; ++k) {
            const int x = (k + 1) * quarter;
            const QPolygonF expected({QPointF(px.X(x), px.Y(100)), QPointF(px.X(x - 500), px.Y(400)),
                                      QPointF(px.X(x - 200), px.Y(400)), QPointF(px.X(x - 200), px.Y(700)),
                                      QPointF(px.X(x + 200), px.Y(700)), QPointF(px.X(x + 200), px.Y(400)),
                                      QPointF(px.X(x + 500), px.Y(400))});
            QCOMPARE(arrows[k]->polygon(), expected);
            QCOMPARE(arrows[k]->pos(), QPointF());
            CheckBlackFill(arrows[k]);
        }
    }

    void barSpansTheAreas_data()
    {
        QTest::addColumn<QList<int>>("areas"); // columns, left, width, gap per area
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("one area") << QList<int>{10, 1000, 600, 700} << 1000 << 7900;
        // The second area starts further left but ends short of the first one's right edge.
        QTest::newRow("two areas") << QList<int>{3, 2000, 500, 800, 2, 1500, 400, 600} << 1500 << 4100;
        // The first area's right edge is the smaller; the second one's left the larger.
        QTest::newRow("two areas side by side") << QList<int>{2, 1000, 500, 600, 4, 9000, 800, 1000} << 1000
                                                << 12800;
        QTest::newRow("one column") << QList<int>{1, 3000, 900, 1200} << 3000 << 3900;
    }
    void barSpansTheAreas()
    {
        QFETCH(QList<int>, areas);
        QFETCH(int, left);
        QFETCH(int, right);
        QList<AreaLayout> layouts;
        for (int i = 0; i + 3 < areas.size(); i += 4)
            layouts << AreaLayout{areas[i], areas[i + 1], areas[i + 2], areas[i + 3]};
        auto sheet = MakeSheet(21000, layouts);
        CVCDensityChartGraphicsView view;
        view.SetResolution(kDpiX, kDpiY);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        const viewprobe::Scale px = viewprobe::ScaleOf(view);

        const QList<QGraphicsRectItem *> bars = Bars(view.scene());
        QCOMPARE(bars.size(), 1);
        QCOMPARE(bars[0]->rect(), QRectF(px.X(left), px.Y(29700 - 2600), px.X(right - left), px.Y(600)));
        QCOMPARE(bars[0]->pos(), QPointF());
        CheckBlackFill(bars[0]);
    }

    void noAreasNoBar()
    {
        auto sheet = MakeSheet(21000, {});
        CVCDensityChartGraphicsView view;
        view.SetResolution(kDpiX, kDpiY);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(Arrows(view.scene()).size(), 3);
        QVERIFY(Bars(view.scene()).isEmpty());
    }

    void marksDrawnWithTheChartAndRedrawnOnce()
    {
        auto sheet = MakeSheet(21000, {{2, 1000, 1000, 1500}});
        sheet->PatchCount = 1;
        sheet->Patches[0].ID = 1;
        sheet->Patches[0].ColorFormat = ChartDefinitionData::FormatRGB;
        sheet->Patches[0].ColorValue[0] = 255;
        CVCDensityChartGraphicsView view;
        view.SetResolution(kDpiX, kDpiY);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);

        // A second draw replaces the marks, and the patches of the chart view are still there.
        QCOMPARE(Arrows(view.scene()).size(), 3);
        QCOMPARE(Bars(view.scene()).size(), 1);
        QList<CVCChartGraphicsPatch *> patches;
        for (QGraphicsItem *item : view.scene()->items()) {
            if (auto *patch = qobject_cast<CVCChartGraphicsPatch *>(item->toGraphicsObject()))
                patches << patch;
        }
        QCOMPARE(patches.size(), 1);
        // Left selected, the patch reports its deselection while the view and its scene go (ASan watches).
        patches[0]->setSelected(true);

        // What the scanner sees: black in an arrow's shaft and in the bar, white paper between them.
        const QImage image = viewprobe::RenderScene(view.scene(), view.sceneRect());
        const viewprobe::Scale px = viewprobe::ScaleOf(view);
        const auto black = [&](double x, double y) { return image.pixel(int(x), int(y)) == qRgb(0, 0, 0); };
        QVERIFY(black(px.X(10500), px.Y(550)));
        QVERIFY(black(px.X(2000), px.Y(29700 - 2300)));
        QCOMPARE(image.pixel(int(px.X(8000)), int(px.Y(550))), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(int(px.X(2000)), int(px.Y(29700 - 1500))), qRgb(255, 255, 255));
    }

    void nullSheetDrawsNothing()
    {
        CVCDensityChartGraphicsView view;
        view.DrawMarks(nullptr);
        view.DrawSheet(nullptr, 0, 0, 0, nullptr);
        QVERIFY(view.scene()->items().isEmpty());
    }
};

QTEST_MAIN(TestDensityView)
#include "test_densityview.moc"
