// The graphics view base: fit zoom, reset, zoom, the drawing of one sheet in its steps, the page image, the
// margin frame, the relays and the measured-record relay.
#include "chart/vcgraphicspatch.h"
#include "chart/vcgraphicsview.h"
#include "viewprobe.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

using Sheet = ChartDefinitionData::Sheet;
using PatchColor = ChartDefinitionData::PatchColor;
using viewprobe::Px;
using viewprobe::Py;
using viewprobe::Rgb;

// Records the virtual steps of a redraw and, like the chart views, makes one item per first record.
class RecordingView : public CVCGraphicsView
{
public:
    explicit RecordingView(QGraphicsScene *scene) : CVCGraphicsView(scene) {}

    QStringList steps;
    QRectF frame;
    QList<CVCGraphicsPatch *> items;

    void DrawMarginFrame(qreal x, qreal y, qreal width, qreal height) override
    {
        steps << QStringLiteral("frame");
        frame = QRectF(x, y, width, height);
    }
    void DrawMarks(const Sheet *) override { steps << QStringLiteral("marks"); }
    void DrawAreas(const Sheet *) override { steps << QStringLiteral("areas"); }
    void DrawPatches(const Sheet *sheet, bool showsPageImage) override
    {
        steps << QStringLiteral("patches %1").arg(showsPageImage);
        items.clear();
        const QHash<PatchPosition, int> first = FirstRecordIndex(sheet);
        for (auto it = first.constBegin(); it != first.constEnd(); ++it) {
            const PatchColor &record = sheet->Patches[it.value()];
            auto *item = new CVCGraphicsPatch(QRectF(record.Column * 20, record.Row * 20, 20, 20), record,
                                              InkColorList());
            item->setFlag(QGraphicsItem::ItemIsSelectable);
            scene()->addItem(item);
            ConnectPatchItem(item);
            items << item;
        }
    }

    CVCGraphicsPatch *itemAt(int area, int row, int column) const
    {
        const QList<CVCGraphicsPatch *> found = PatchItemsAt(PatchPosition{area, row, column});
        return found.size() == 1 ? found.first() : nullptr;
    }
};

std::unique_ptr<Sheet> MakeSheet(int width, int height, const QList<PatchColor> &patches = {})
{
    auto sheet = std::make_unique<Sheet>();
    sheet->Width = width;
    sheet->Height = height;
    sheet->PatchCount = patches.size();
    sheet->Patches = std::make_unique<PatchColor[]>(std::max(1, int(patches.size())));
    for (int i = 0; i < patches.size(); ++i)
        sheet->Patches[i] = patches[i];
    return sheet;
}

QGraphicsRectItem *SheetRect(QGraphicsScene *scene)
{
    for (QGraphicsItem *item : scene->items()) {
        auto *rect = qgraphicsitem_cast<QGraphicsRectItem *>(item);
        if (rect && rect->brush().color() == Qt::white)
            return rect;
    }
    return nullptr;
}

int PixmapCount(QGraphicsScene *scene)
{
    int n = 0;
    for (QGraphicsItem *item : scene->items())
        n += qgraphicsitem_cast<QGraphicsPixmapItem *>(item) ? 1 : 0;
    return n;
}

} // namespace

class TestGraphicsView : public QObject
{
    Q_OBJECT

private slots:
    void resolutionIsTheScreens()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        QVERIFY(view.ResolutionX() > 0);
        QVERIFY(view.ResolutionY() > 0);
        QCOMPARE(view.backgroundBrush().color(), QColor(Qt::darkGray));
    }

    void fitZoom_data()
    {
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<QRectF>("sceneRect");
        QTest::addColumn<bool>("withItem");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty scene") << QSize(310, 310) << QRectF(0, 0, 600, 600) << false << 100;
        QTest::newRow("width 0") << QSize(310, 310) << QRectF(0, 0, 0, 100) << true << 100;
        QTest::newRow("height 0") << QSize(310, 310) << QRectF(0, 0, 100, 0) << true << 100;
        QTest::newRow("exact fit") << QSize(410, 210) << QRectF(0, 0, 400, 200) << true << 100;
        QTest::newRow("twice as tall") << QSize(300, 300) << QRectF(0, 0, 100, 600) << true << 48;
        QTest::newRow("truncated") << QSize(310, 310) << QRectF(0, 0, 300, 301) << true << 99;
        QTest::newRow("wide") << QSize(510, 310) << QRectF(0, 0, 2000, 100) << true << 25;
    }
    void fitZoom()
    {
        QFETCH(QSize, viewSize);
        QFETCH(QRectF, sceneRect);
        QFETCH(bool, withItem);
        QFETCH(int, expected);
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.resize(viewSize);
        if (withItem)
            scene.addRect(0, 0, 10, 10);
        view.setSceneRect(sceneRect);
        QCOMPARE(view.GetFitZoom(), expected);
    }

    void resetLeavesEmptySceneAndUnitRect()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        auto sheet = MakeSheet(21000, 29700);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QVERIFY(!scene.items().isEmpty());
        view.Reset();
        QVERIFY(scene.items().isEmpty());
        QCOMPARE(view.sceneRect(), QRectF(-0.5, -0.5, 1, 1));
    }

    void zoomIsAbsolute()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.SetZoom(150);
        view.SetZoom(150);
        QCOMPARE(view.transform().m11(), 1.5);
        QCOMPARE(view.transform().m22(), 1.5);
        view.SetZoom(50);
        QCOMPARE(view.transform().m11(), 0.5);
    }

    void sheetRectanglePerAxis()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.SetResolution(100, 200);
        auto sheet = MakeSheet(21000, 29700);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QGraphicsRectItem *paper = SheetRect(&scene);
        QVERIFY(paper);
        QCOMPARE(paper->rect(), QRectF(0, 0, Px(view, 21000), Py(view, 29700)));
        QCOMPARE(view.PixelsX(2540), 100.0);
        QCOMPARE(view.PixelsY(2540), 200.0);
        QCOMPARE(view.sceneRect(), paper->boundingRect());
    }

    void marginFrameOnlyAboveLimits_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("framed");
        QTest::newRow("800 x 3300") << 800 << 3300 << false;
        QTest::newRow("800 x 3301") << 800 << 3301 << false;
        QTest::newRow("801 x 3300") << 801 << 3300 << false;
        QTest::newRow("801 x 3301") << 801 << 3301 << true;
    }
    void marginFrameOnlyAboveLimits()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, framed);
        QGraphicsScene scene;
        RecordingView view(&scene);
        view.SetResolution(100, 200);
        auto sheet = MakeSheet(width, height);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(view.steps.contains(QStringLiteral("frame")), framed);
        if (framed)
            QCOMPARE(view.frame, QRectF(0, 0, view.PixelsX(width), view.PixelsY(height)));
    }

    void addMarginFrame()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.SetResolution(100, 200);
        view.AddMarginFrame(10, 20, 1000, 2000);
        QCOMPARE(scene.items().size(), 1);
        auto *frame = qgraphicsitem_cast<QGraphicsRectItem *>(scene.items().first());
        QVERIFY(frame);
        QCOMPARE(frame->rect(), QRectF(10 + Px(view, 400), 20, 1000 - Px(view, 800), 2000 - Py(view, 3300)));
        const QPen pen = frame->pen();
        QCOMPARE(pen.color(), QColor(Qt::darkGreen));
        QCOMPARE(pen.style(), Qt::DotLine);
        QCOMPARE(pen.widthF(), 2.0);
        QVERIFY(!pen.isCosmetic());
        QCOMPARE(frame->brush().style(), Qt::NoBrush);
    }

    void stepsInOrder_data()
    {
        QTest::addColumn<bool>("withImage");
        QTest::newRow("without image") << false;
        QTest::newRow("with image") << true;
    }
    void stepsInOrder()
    {
        QFETCH(bool, withImage);
        QGraphicsScene scene;
        RecordingView view(&scene);
        const uchar bytes[4] = {0, 255, 128, 64};
        auto sheet = MakeSheet(21000, 29700);
        view.DrawSheet(sheet.get(), 2, 2, 8, withImage ? bytes : nullptr);
        QCOMPARE(view.steps, (QStringList{QStringLiteral("frame"), QStringLiteral("marks"), QStringLiteral("areas"),
                                          QStringLiteral("patches %1").arg(withImage)}));
    }

    void pageImageScaledOverSheet()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.SetResolution(100, 100);
        auto sheet = MakeSheet(5080, 5080); // 200 x 200 pixels
        const uchar bytes[4] = {0, 255, 128, 64};
        view.DrawSheet(sheet.get(), 2, 2, 8, bytes);
        QCOMPARE(PixmapCount(&scene), 1);
        const QImage image = viewprobe::RenderScene(&scene, QRectF(0, 0, 200, 200));
        QCOMPARE(image.pixel(50, 50), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(150, 50), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(50, 150), qRgb(128, 128, 128));
        QCOMPARE(image.pixel(150, 150), qRgb(64, 64, 64));
        QCOMPARE(image.pixel(199, 199), qRgb(64, 64, 64));
    }

    void unusableImageDrawsSheetOnly_data()
    {
        QTest::addColumn<bool>("nullBytes");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bitsPerPixel");
        QTest::newRow("null bytes") << true << 2 << 2 << 8;
        QTest::newRow("width 0") << false << 0 << 2 << 8;
        QTest::newRow("height negative") << false << 2 << -1 << 8;
        QTest::newRow("24 bits") << false << 2 << 2 << 24;
    }
    void unusableImageDrawsSheetOnly()
    {
        QFETCH(bool, nullBytes);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bitsPerPixel);
        QGraphicsScene scene;
        RecordingView view(&scene);
        view.SetResolution(100, 100);
        // Only four bytes: a 24-bit read of 2 x 2 pixels would run past them under ASan.
        const uchar bytes[4] = {0, 255, 128, 64};
        auto sheet = MakeSheet(5080, 5080);
        view.DrawSheet(sheet.get(), width, height, bitsPerPixel, nullBytes ? nullptr : bytes);
        QCOMPARE(PixmapCount(&scene), 0);
        QVERIFY(SheetRect(&scene));
        QCOMPARE(view.steps.last(), QStringLiteral("patches 0"));
        const QImage image = viewprobe::RenderScene(&scene, QRectF(0, 0, 200, 200));
        QCOMPARE(image.pixel(50, 50), qRgb(255, 255, 255));
    }

    void nullSheetDrawsNothing()
    {
        QGraphicsScene scene;
        RecordingView view(&scene);
        auto sheet = MakeSheet(21000, 29700);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        view.steps.clear();
        view.DrawSheet(nullptr, 0, 0, 0, nullptr);
        QVERIFY(scene.items().isEmpty());
        QVERIFY(view.steps.isEmpty());
    }

    void scrollPositionSurvivesRedraw()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto sheet = MakeSheet(21000, 29700);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        view.SetZoom(200);
        view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 3);
        const int h = view.horizontalScrollBar()->value();
        const int v = view.verticalScrollBar()->value();
        QVERIFY(h > 0 && v > 0);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(view.horizontalScrollBar()->value(), h);
        QCOMPARE(view.verticalScrollBar()->value(), v);
    }

    void relaysReachTheirItems()
    {
        QGraphicsScene scene;
        RecordingView view(&scene);
        // (0,0,1) twice: the first record makes the item.
        auto sheet = MakeSheet(21000, 29700, {Rgb(1, 0, 0, 0, 255, 0, 0), Rgb(2, 0, 0, 1, 0, 255, 0),
                                              Rgb(3, 0, 0, 1, 0, 0, 255), Rgb(4, 1, 0, 0, 0, 0, 0)});
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(view.items.size(), 3);
        CVCGraphicsPatch *a = view.itemAt(0, 0, 0);
        CVCGraphicsPatch *b = view.itemAt(0, 0, 1);
        CVCGraphicsPatch *c = view.itemAt(1, 0, 0);
        QVERIFY(a && b && c);
        const QImage bImage = viewprobe::RenderItem(b, false);
        QCOMPARE(bImage.pixel(15, 15), qRgb(0, 255, 0));

        emit view.SetDisplay(1);
        QCOMPARE(a->GetDisplay(), 1);
        QCOMPARE(c->GetDisplay(), 1);
        emit view.SetPatchColor(Rgb(9, 0, 0, 1, 0, 0, 0));
        QCOMPARE(a->GetDisplay(), 1);
        QCOMPARE(b->GetDisplay(), 2);
        QCOMPARE(c->GetDisplay(), 1);
        emit view.SetPatchColor(Rgb(9, 2, 0, 0, 0, 0, 0)); // no item there
        emit view.ClearPatchColor();
        for (CVCGraphicsPatch *item : view.items)
            QCOMPARE(item->GetDisplay(), 0);

        QSignalSpy selected(&view, &CVCGraphicsView::SelectPatch);
        QSignalSpy cleared(&view, &CVCGraphicsView::ClearPatch);
        c->setSelected(true);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.first(), (QVariantList{1, 0, 0}));
        c->setSelected(false);
        QCOMPARE(cleared.count(), 1);

        // A redraw drops the index with the old items.
        view.Reset();
        emit view.SetPatchColor(Rgb(9, 0, 0, 1, 0, 0, 0));
        QVERIFY(!view.itemAt(0, 0, 1));
    }

    void showPatchColors_data()
    {
        QTest::addColumn<bool>("nullMeasurement");
        QTest::addColumn<int>("recordCount");
        QTest::addColumn<int>("measuredCount");
        QTest::addColumn<QList<int>>("formats");
        QTest::addColumn<int>("clears");
        QTest::newRow("null measurement") << true << 0 << 0 << QList<int>{} << 1;
        QTest::newRow("no records") << false << 0 << 1 << QList<int>{} << 1;
        QTest::newRow("nothing measured") << false << 3 << 0 << QList<int>{1, 1, 1} << 1;
        QTest::newRow("formats 0, 1, 2") << false << 3 << 2 << QList<int>{0, 1, 2} << 1;
        QTest::newRow("all format 0") << false << 2 << 2 << QList<int>{0, 0} << 0;
        QTest::newRow("format 6") << false << 1 << 1 << QList<int>{6} << 1;
    }
    void showPatchColors()
    {
        QFETCH(bool, nullMeasurement);
        QFETCH(int, recordCount);
        QFETCH(int, measuredCount);
        QFETCH(QList<int>, formats);
        QFETCH(int, clears);
        MeasurementData m;
        m.RecordCount = recordCount;
        m.MeasuredCount = measuredCount;
        m.Records = std::make_unique<MeasurementData::PatchData[]>(std::max(1, recordCount));
        for (int i = 0; i < formats.size(); ++i) {
            MeasurementData::PatchData &r = m.Records[i];
            r.ID = 10 + i;
            r.Area = i;
            r.Row = 2 * i;
            r.Column = 3 * i;
            r.ColorFormat = formats[i];
            for (int k = 0; k < kMaxColorValueCount; ++k)
                r.ColorValue[k] = 100 * i + k + 1;
        }
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        QSignalSpy cleared(&view, &CVCGraphicsView::ClearPatchColor);
        QList<PatchColor> sent;
        QStringList order;
        connect(&view, &CVCGraphicsView::ClearPatchColor, this, [&order] { order << QStringLiteral("clear"); });
        connect(&view, &CVCGraphicsView::SetPatchColor, this, [&sent, &order](const PatchColor &p) {
            sent << p;
            order << QStringLiteral("set");
        });
        view.ShowPatchColors(nullMeasurement ? nullptr : &m);
        QCOMPARE(cleared.count(), clears);

        QList<int> expectedRecords;
        if (!nullMeasurement && recordCount > 0 && measuredCount > 0) {
            for (int i = 0; i < formats.size(); ++i) {
                if (formats[i] != 0)
                    expectedRecords << i;
            }
        }
        QCOMPARE(sent.size(), expectedRecords.size());
        for (int n = 0; n < sent.size(); ++n) {
            const int i = expectedRecords[n];
            const PatchColor &p = sent[n];
            QCOMPARE(p.ID, 10 + i);
            QCOMPARE(p.Area, i);
            QCOMPARE(p.Row, 2 * i);
            QCOMPARE(p.Column, 3 * i);
            QCOMPARE(p.ColorFormat, formats[i]);
            const int used = formats[i] + 2;
            for (int k = 0; k < kMaxColorValueCount; ++k)
                QCOMPARE(p.ColorValue[k], k < used ? float(100 * i + k + 1) : 0.0f);
        }
        if (!sent.isEmpty())
            QCOMPARE(order.first(), QStringLiteral("clear"));
    }

    void paintFinishedAfterPaint()
    {
        QGraphicsScene scene;
        CVCGraphicsView view(&scene);
        view.resize(200, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &CVCGraphicsView::PaintFinished);
        view.viewport()->repaint();
        QVERIFY(finished.count() >= 1);
    }
};

QTEST_MAIN(TestGraphicsView)
#include "test_graphicsview.moc"
