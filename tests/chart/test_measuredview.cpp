// The measured-point views: page size and image of a captured page, the markers, and the rubber-band picking
// of rectangular regions in the editing view.
#include "chart/vceditmeasuredpointgraphicsview.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmeasuredpointgraphicsview.h"
#include "viewprobe.h"

#include <QGraphicsPathItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

struct Point {
    int x; // 0.01 mm
    int y;
    int area;
    int row;
    int column;
};

std::unique_ptr<MeasurementData> MakePage(int width, int height, int dpi, const QList<Point> &points = {})
{
    auto m = std::make_unique<MeasurementData>();
    m->Width = width;
    m->Height = height;
    m->BitPerPixel = 8;
    m->ImageDPI = dpi;
    m->RecordCount = points.size();
    m->Records = std::make_unique<MeasurementData::PatchData[]>(std::max(1, int(points.size())));
    for (int i = 0; i < points.size(); ++i) {
        MeasurementData::PatchData &r = m->Records[i];
        r.ID = i + 1;
        r.X = points[i].x;
        r.Y = points[i].y;
        r.Area = points[i].area;
        r.Row = points[i].row;
        r.Column = points[i].column;
    }
    return m;
}

template <typename T>
QList<T *> ItemsOf(QGraphicsScene *scene)
{
    QList<T *> found;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        if (auto *t = dynamic_cast<T *>(item))
            found << t;
    }
    return found;
}

QList<QGraphicsPathItem *> Paths(QGraphicsScene *scene)
{
    QList<QGraphicsPathItem *> found;
    for (QGraphicsItem *item : scene->items()) {
        if (item->type() == QGraphicsPathItem::Type)
            found << static_cast<QGraphicsPathItem *>(item);
    }
    return found;
}

bool IsMarginFrame(const QGraphicsRectItem *item)
{
    return item->pen().style() == Qt::DotLine;
}

using viewprobe::Drag;
using viewprobe::PerformDrag;

} // namespace

Q_DECLARE_METATYPE(QList<Drag>)

class TestMeasuredView : public QObject
{
    Q_OBJECT

    // At 254 dots per inch a length of 10 (0.01 mm) is one scene pixel.
    static constexpr int kDpi = 254;

    // A 300 x 300 page without image, a marker at (100, 100) and one at (200, 200).
    void showPickingPage(CVCEditMeasuredPointGraphicsView *view, std::unique_ptr<MeasurementData> *page)
    {
        view->SetResolution(kDpi, kDpi);
        *page = MakePage(300, 300, kDpi, {{1000, 1000, 0, 0, 0}, {2000, 2000, 0, 1, 1}});
        view->DrawMeasurement(page->get());
        view->resize(420, 420);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }

private slots:
    // Page width = view dpi x image width / scan dpi, truncated; a scan dpi of 0 counts as 150.
    void pageSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("scanDpi");
        QTest::addColumn<QSizeF>("page");
        QTest::newRow("resolution 0 as 150") << 300 << 450 << 0 << QSizeF(200, 600);
        QTest::newRow("truncated") << 301 << 301 << 300 << QSizeF(100, 200);
        QTest::newRow("large scan in 64 bits") << 30000000 << 3 << 100 << QSizeF(30000000, 6);
        QTest::newRow("width 0") << 0 << 300 << 150 << QSizeF(0, 0);
        QTest::newRow("negative height") << 300 << -1 << 150 << QSizeF(0, 0);
    }
    void pageSize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, scanDpi);
        QFETCH(QSizeF, page);
        CVCMeasuredPointGraphicsView view;
        view.SetResolution(100, 200);
        auto m = MakePage(width, height, scanDpi);
        view.DrawMeasurement(m.get()); // no image bytes: the page alone
        const QList<QGraphicsRectItem *> rects = ItemsOf<QGraphicsRectItem>(view.scene());
        QCOMPARE(rects.size(), 1);
        QCOMPARE(rects.first()->rect().size(), page);
        QCOMPARE(rects.first()->brush().style(), Qt::NoBrush);
        QCOMPARE(view.sceneRect(), rects.first()->boundingRect());
    }

    void pageImageGreyScaledToThePage()
    {
        CVCMeasuredPointGraphicsView view;
        view.SetResolution(100, 100);
        auto m = MakePage(2, 2, 10); // 2 x 2 image pixels become 20 x 20 view pixels
        m->ImageBytes = std::make_unique<unsigned char[]>(4);
        const unsigned char bytes[] = {0, 255, 128, 64};
        std::copy(bytes, bytes + 4, m->ImageBytes.get());
        view.DrawMeasurement(m.get());
        QCOMPARE(ItemsOf<QGraphicsPixmapItem>(view.scene()).size(), 1);
        const QImage image = viewprobe::RenderScene(view.scene(), QRectF(0, 0, 20, 20));
        QCOMPARE(image.pixel(5, 5), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(15, 5), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(5, 15), qRgb(128, 128, 128));
        QCOMPARE(image.pixel(15, 15), qRgb(64, 64, 64));
    }

    // Without a usable 8-bit image the page is drawn without one, markers as usual.
    void unusableImage_data()
    {
        QTest::addColumn<bool>("bytes");
        QTest::addColumn<int>("bitsPerPixel");
        QTest::newRow("null bytes") << false << 8;
        QTest::newRow("24 bits") << true << 24;
    }
    void unusableImage()
    {
        QFETCH(bool, bytes);
        QFETCH(int, bitsPerPixel);
        CVCMeasuredPointGraphicsView view;
        view.SetResolution(kDpi, kDpi);
        auto m = MakePage(4, 4, kDpi, {{10, 10, 0, 0, 0}});
        m->BitPerPixel = bitsPerPixel;
        if (bytes)
            m->ImageBytes = std::make_unique<unsigned char[]>(4 * 4); // too short for 24 bits: must not be read
        view.DrawMeasurement(m.get());
        QVERIFY(ItemsOf<QGraphicsPixmapItem>(view.scene()).isEmpty());
        QCOMPARE(ItemsOf<QGraphicsRectItem>(view.scene()).size(), 1);
        QCOMPARE(ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene()).size(), 1);
    }

    void nullMeasurementLeavesEmptyScene()
    {
        CVCMeasuredPointGraphicsView view;
        auto m = MakePage(10, 10, 0, {{10, 10, 0, 0, 0}});
        view.DrawMeasurement(m.get());
        QVERIFY(view.HasItems());
        view.DrawMeasurement(nullptr);
        QVERIFY(!view.HasItems());
        QCOMPARE(view.scene()->parent(), &view);
    }

    void markersAtMeasuredPoints()
    {
        CVCMeasuredPointGraphicsView view;
        view.SetResolution(100, 200);
        auto m = MakePage(100, 100, 0, {{2540, 1270, 1, 2, 3}, {0, 0, 4, 5, 6}});
        view.DrawMeasurement(m.get());
        const QList<CVCMeasuredPointGraphicsPatch *> markers = ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene());
        QCOMPARE(markers.size(), 2);
        QCOMPARE(markers[0]->boundingRect(), QRectF(100 - 2.5, 100 - 2.5, 5, 5));
        QCOMPARE(markers[1]->boundingRect(), QRectF(-2.5, -2.5, 5, 5));
        int area = 0, row = 0, column = 0;
        markers[0]->GetIndices(&area, &row, &column);
        QCOMPARE(QList<int>({area, row, column}), QList<int>({1, 2, 3}));
        for (const CVCMeasuredPointGraphicsPatch *marker : markers) {
            QVERIFY(!(marker->flags() & QGraphicsItem::ItemIsSelectable));
            QVERIFY(!marker->acceptHoverEvents());
        }
        QVERIFY(ItemsOf<QGraphicsRectItem>(view.scene()).size() == 1); // no margin frame

        auto empty = MakePage(100, 100, 0);
        view.DrawMeasurement(empty.get());
        QVERIFY(ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene()).isEmpty());
        empty->RecordCount = -3;
        view.DrawMeasurement(empty.get());
        QVERIFY(ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene()).isEmpty());
    }

    void editingViewMarkersAndMarginFrame()
    {
        CVCEditMeasuredPointGraphicsView view;
        QCOMPARE(view.dragMode(), QGraphicsView::RubberBandDrag);
        view.SetResolution(100, 100);
        auto m = MakePage(1500, 1500, 100, {{1000, 1000, 0, 0, 0}}); // 1500 x 1500 view pixels
        view.DrawMeasurement(m.get());
        const QList<CVCMeasuredPointGraphicsPatch *> markers = ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene());
        QCOMPARE(markers.size(), 1);
        QVERIFY(markers.first()->flags() & QGraphicsItem::ItemIsSelectable);
        QVERIFY(markers.first()->acceptHoverEvents());

        QList<QGraphicsRectItem *> frames;
        for (QGraphicsRectItem *rect : ItemsOf<QGraphicsRectItem>(view.scene())) {
            if (IsMarginFrame(rect))
                frames << rect;
        }
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first()->rect(),
                 QRectF(view.PixelsX(400), 0, 1500 - view.PixelsX(800), 1500 - view.PixelsY(3300)));
    }

    void markerPaint_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("plain") << false << qRgb(255, 0, 0);
        QTest::newRow("selected") << true << qRgb(255, 255, 0);
    }
    void markerPaint()
    {
        QFETCH(bool, selected);
        QFETCH(QRgb, colour);
        CVCMeasuredPointGraphicsPatch marker(10, 10, 2.5, 2.5, 0, 0, 0);
        const QImage image = viewprobe::RenderItem(&marker, selected);
        // A filled dot 5 pixels across: the centre in colour, nothing well outside it.
        QCOMPARE(image.pixel(5 + 2, 5 + 2), colour);
        QCOMPARE(image.pixel(2, 2), viewprobe::kBackground);
        QCOMPARE(image.pixel(5 + 2, 1), viewprobe::kBackground);
    }

    // Each row: the drags in order, then the stored rectangles, blue outlines and signal counts at the end.
    void rubberBand_data()
    {
        QTest::addColumn<QList<Drag>>("drags");
        QTest::addColumn<int>("rects");
        QTest::addColumn<int>("single");
        QTest::addColumn<int>("multi");
        QTest::addColumn<int>("clear");
        const Drag first{{50, 50}, {150, 150}};
        QTest::newRow("click without drag") << QList<Drag>{{{50, 50}, {50, 50}}} << 0 << 0 << 0 << 1;
        QTest::newRow("same y at release") << QList<Drag>{{{50, 50}, {150, 50}}} << 0 << 0 << 0 << 1;
        QTest::newRow("first drag") << QList<Drag>{first} << 1 << 1 << 0 << 1;
        QTest::newRow("several moves, one rectangle") << QList<Drag>{{{50, 50}, {150, 150}, false, 5}} << 1 << 1
                                                      << 0 << 1;
        QTest::newRow("second with Control") << QList<Drag>{first, {{180, 180}, {250, 250}, true}} << 2 << 1 << 1
                                             << 1;
        QTest::newRow("overlapping with Control") << QList<Drag>{first, {{120, 120}, {250, 250}, true}} << 1 << 1
                                                  << 0 << 1;
        QTest::newRow("second without Control starts over")
            << QList<Drag>{first, {{180, 180}, {250, 250}}} << 1 << 2 << 0 << 2;
        QTest::newRow("leaving the scene") << QList<Drag>{{{250, 250}, {340, 340}}} << 0 << 0 << 0 << 1;
    }
    void rubberBand()
    {
        QFETCH(QList<Drag>, drags);
        QFETCH(int, rects);
        QFETCH(int, single);
        QFETCH(int, multi);
        QFETCH(int, clear);
        CVCEditMeasuredPointGraphicsView view;
        std::unique_ptr<MeasurementData> page;
        showPickingPage(&view, &page);
        QSignalSpy singleSpy(&view, &CVCEditMeasuredPointGraphicsView::rectSelectedSingle);
        QSignalSpy multiSpy(&view, &CVCEditMeasuredPointGraphicsView::rectSelectedMulti);
        QSignalSpy clearSpy(&view, &CVCEditMeasuredPointGraphicsView::rectSelectedClear);
        for (const Drag &drag : drags)
            PerformDrag(&view, drag);
        QCOMPARE(view.SelectionRects().size(), rects);
        QCOMPARE(Paths(view.scene()).size(), rects);
        QCOMPARE(singleSpy.count(), single);
        QCOMPARE(multiSpy.count(), multi);
        QCOMPARE(clearSpy.count(), clear);
        for (const QGraphicsPathItem *path : Paths(view.scene())) {
            QCOMPARE(path->pen().color(), QColor(Qt::blue));
            QVERIFY(path->pen().isCosmetic());
            QCOMPARE(path->brush().style(), Qt::NoBrush);
        }
    }

    void firstRectangleCoversTheBandAndSelectsMarkers()
    {
        CVCEditMeasuredPointGraphicsView view;
        std::unique_ptr<MeasurementData> page;
        showPickingPage(&view, &page);
        PerformDrag(&view, {{50, 50}, {150, 150}});
        QCOMPARE(view.SelectionRects().size(), 1);
        const QRectF rect = view.SelectionRects().first();
        QVERIFY2(qAbs(rect.left() - 50) <= 1 && qAbs(rect.top() - 50) <= 1 && qAbs(rect.right() - 150) <= 2 &&
                     qAbs(rect.bottom() - 150) <= 2,
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(
                     rect.height())));
        const QList<CVCMeasuredPointGraphicsPatch *> markers = ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene());
        QCOMPARE(markers.size(), 2);
        int selected = 0;
        for (const CVCMeasuredPointGraphicsPatch *marker : markers)
            selected += marker->isSelected() ? 1 : 0;
        QCOMPARE(selected, 1);
    }

    void fiftyRectanglesAtMost()
    {
        CVCEditMeasuredPointGraphicsView view;
        std::unique_ptr<MeasurementData> page;
        showPickingPage(&view, &page);
        QSignalSpy multiSpy(&view, &CVCEditMeasuredPointGraphicsView::rectSelectedMulti);
        for (int i = 0; i < 51; ++i) {
            const QPointF origin(5 + (i % 10) * 28, 5 + (i / 10) * 28);
            PerformDrag(&view, {origin, origin + QPointF(15, 15), i > 0});
        }
        QCOMPARE(view.SelectionRects().size(), CVCEditMeasuredPointGraphicsView::kMaxSelectionRects);
        QCOMPARE(Paths(view.scene()).size(), 50);
        QCOMPARE(multiSpy.count(), 49);
    }

    void clearSelectionRectsKeepsThePage()
    {
        CVCEditMeasuredPointGraphicsView view;
        std::unique_ptr<MeasurementData> page;
        showPickingPage(&view, &page);
        PerformDrag(&view, {{50, 50}, {150, 150}});
        PerformDrag(&view, {{180, 180}, {250, 250}, true});
        QCOMPARE(view.SelectionRects().size(), 2);

        // A redraw takes the outlines but keeps the rectangles until the editor or a new press drops them.
        view.DrawMeasurement(page.get());
        QVERIFY(Paths(view.scene()).isEmpty());
        QCOMPARE(view.SelectionRects().size(), 2);

        PerformDrag(&view, {{20, 200}, {60, 260}, true});
        QCOMPARE(view.SelectionRects().size(), 3);
        view.ClearSelectionRects();
        QVERIFY(view.SelectionRects().isEmpty());
        QVERIFY(Paths(view.scene()).isEmpty());
        QCOMPARE(ItemsOf<CVCMeasuredPointGraphicsPatch>(view.scene()).size(), 2);
        QVERIFY(view.HasItems());
    }

    void intersectsSelectionRects_data()
    {
        QTest::addColumn<QRectF>("probe");
        QTest::addColumn<bool>("intersects");
        QTest::newRow("inside") << QRectF(60, 60, 10, 10) << true;
        QTest::newRow("overlapping the corner") << QRectF(140, 140, 30, 30) << true;
        QTest::newRow("between the two") << QRectF(160, 160, 10, 10) << false;
        QTest::newRow("in the second") << QRectF(200, 200, 5, 5) << true;
        QTest::newRow("far away") << QRectF(270, 20, 10, 10) << false;
    }
    void intersectsSelectionRects()
    {
        QFETCH(QRectF, probe);
        QFETCH(bool, intersects);
        CVCEditMeasuredPointGraphicsView view;
        std::unique_ptr<MeasurementData> page;
        showPickingPage(&view, &page);
        QVERIFY(!view.IntersectsSelectionRects(QPainterPath()));
        PerformDrag(&view, {{50, 50}, {150, 150}});
        PerformDrag(&view, {{180, 180}, {250, 250}, true});
        QCOMPARE(view.SelectionRects().size(), 2);
        QPainterPath path;
        path.addRect(probe);
        QCOMPARE(view.IntersectsSelectionRects(path), intersects);
    }
};

QTEST_MAIN(TestMeasuredView)
#include "test_measuredview.moc"
