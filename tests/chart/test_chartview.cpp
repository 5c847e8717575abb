// The chart layout view: patch items at their grid places, the relays to and from them, the patch-number font
// size, the QR-code item and what a chart patch paints in display state 3.
#include "app/helpers.h"
#include "chart/vcchartgraphicsbarcode.h"
#include "chart/vcchartgraphicspatch.h"
#include "chart/vcchartgraphicsview.h"
#include "viewprobe.h"

#include <QGraphicsRectItem>
#include <QImageReader>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

using Sheet = ChartDefinitionData::Sheet;
using PatchColor = ChartDefinitionData::PatchColor;
using viewprobe::Rgb;

using viewprobe::AreaSpec;
using viewprobe::MakeSheet;

// One area of 2 x 2 patches of 10 x 10 mm at a 15 mm pitch, every position defined.
std::unique_ptr<Sheet> SquareSheet()
{
    return MakeSheet({{2, 2, 1000, 2000, 1000, 1000, 1500, 1500}},
                     {Rgb(1, 0, 0, 0), Rgb(2, 0, 0, 1), Rgb(3, 0, 1, 0), Rgb(4, 0, 1, 1)});
}

QList<CVCChartGraphicsPatch *> Patches(QGraphicsScene *scene)
{
    QList<CVCChartGraphicsPatch *> patches;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        if (auto *patch = qobject_cast<CVCChartGraphicsPatch *>(item->toGraphicsObject()))
            patches << patch;
    }
    return patches;
}

CVCChartGraphicsPatch *PatchAt(QGraphicsScene *scene, int area, int row, int column)
{
    for (CVCChartGraphicsPatch *patch : Patches(scene)) {
        int a = 0, r = 0, c = 0;
        patch->GetIndices(&a, &r, &c);
        if (a == area && r == row && c == column)
            return patch;
    }
    return nullptr;
}

QList<QGraphicsItem *> TaggedBarcodes(QGraphicsScene *scene)
{
    QList<QGraphicsItem *> tagged;
    for (QGraphicsItem *item : scene->items()) {
        if (item->data(Qt::UserRole) == QVariant(-1))
            tagged << item;
    }
    return tagged;
}

bool IsDark(QRgb p)
{
    return qRed(p) < 80 && qGreen(p) < 80 && qBlue(p) < 80;
}

} // namespace

class TestChartView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(Resource); }

    void itemsAtTheirGridPlaces()
    {
        // Two areas, the pitch above the patch size in both directions.
        auto sheet = MakeSheet({{1, 2, 1000, 2000, 500, 400, 800, 900}, {2, 1, 5000, 6000, 1000, 300, 1200, 700}},
                               {Rgb(1, 0, 0, 0), Rgb(2, 0, 0, 1), Rgb(3, 1, 0, 0), Rgb(4, 1, 1, 0)});
        CVCChartGraphicsView view;
        view.SetResolution(100, 200);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        const viewprobe::Scale px = viewprobe::ScaleOf(view);
        const QList<QPair<QList<int>, QRectF>> expected = {
            {{0, 0, 0}, QRectF(px.X(1000), px.Y(2000), px.X(500), px.Y(400))},
            {{0, 0, 1}, QRectF(px.X(1000 + 800), px.Y(2000), px.X(500), px.Y(400))},
            {{1, 0, 0}, QRectF(px.X(5000), px.Y(6000), px.X(1000), px.Y(300))},
            {{1, 1, 0}, QRectF(px.X(5000), px.Y(6000 + 700), px.X(1000), px.Y(300))},
        };
        QCOMPARE(Patches(view.scene()).size(), expected.size());
        for (const auto &e : expected) {
            CVCChartGraphicsPatch *patch = PatchAt(view.scene(), e.first[0], e.first[1], e.first[2]);
            QVERIFY(patch);
            QCOMPARE(patch->boundingRect(), e.second);
            QVERIFY(patch->flags() & QGraphicsItem::ItemIsSelectable);
            QVERIFY(patch->acceptHoverEvents());
            QVERIFY(!patch->ShowsPageImage());
            QVERIFY(!patch->IsDuplicated());
            QCOMPARE(patch->GetFontPointSize(), view.FitFontPointSize(sheet.get()));
        }
        QCOMPARE(view.scene()->parent(), &view);
    }

    void oneItemPerFirstRecord()
    {
        // (0,0,1) has no record; (0,1,0) has two, the first blue; (0,5,5) lies outside the grid.
        auto sheet = MakeSheet({{2, 2, 0, 0, 1000, 1000, 1000, 1000}},
                               {Rgb(1, 0, 0, 0), Rgb(3, 0, 1, 0, 0, 0, 255), Rgb(9, 0, 1, 0, 255, 0, 0),
                                Rgb(4, 0, 1, 1), Rgb(5, 0, 5, 5)});
        CVCChartGraphicsView view;
        view.SetResolution(100, 100);
        const uchar bytes[4] = {0, 255, 128, 64};
        view.DrawSheet(sheet.get(), 2, 2, 8, bytes);
        QCOMPARE(Patches(view.scene()).size(), 3);
        QVERIFY(!PatchAt(view.scene(), 0, 0, 1));
        CVCChartGraphicsPatch *first = PatchAt(view.scene(), 0, 1, 0);
        QVERIFY(first);
        QVERIFY(first->ShowsPageImage());
        // Drawn filled (state 4) in the first record's blue.
        const QImage image = viewprobe::RenderItem(first, false);
        QCOMPARE(image.pixel(5 + 20, 5 + 20), qRgb(0, 0, 255));
    }

    void sheetsWithoutPatches_data()
    {
        QTest::addColumn<int>("areaCount");
        QTest::newRow("no areas") << 0;
        QTest::newRow("negative area count") << -3;
    }
    void sheetsWithoutPatches()
    {
        QFETCH(int, areaCount);
        auto sheet = SquareSheet();
        sheet->AreaCount = areaCount;
        CVCChartGraphicsView view;
        QSignalSpy display(&view, &CVCGraphicsView::SetDisplay);
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(view.scene()->items().size(), 1); // the sheet
        QCOMPARE(display.count(), 1);
    }

    void filledDisplayOnlyWithoutParent_data()
    {
        QTest::addColumn<bool>("withParent");
        QTest::newRow("standing alone") << false;
        QTest::newRow("inside a window") << true;
    }
    void filledDisplayOnlyWithoutParent()
    {
        QFETCH(bool, withParent);
        QWidget window;
        auto *view = new CVCChartGraphicsView(withParent ? &window : nullptr);
        std::unique_ptr<CVCChartGraphicsView> alone(withParent ? nullptr : view);
        QSignalSpy display(view, &CVCGraphicsView::SetDisplay);
        auto sheet = SquareSheet();
        view->DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(display.count(), withParent ? 0 : 1);
        if (!withParent)
            QCOMPARE(display.first().first().toInt(), 4);
        for (CVCChartGraphicsPatch *patch : Patches(view->scene()))
            QCOMPARE(patch->GetDisplay(), withParent ? 0 : 4);
    }

    // A position-addressed relay reaches the item at (0,1,0) and nothing when no item stands at its position.
    void positionRelays_data()
    {
        QTest::addColumn<QString>("relay");
        QTest::addColumn<QList<int>>("target");
        QTest::addColumn<int>("reached"); // items changed
        for (const QString &relay : {QStringLiteral("SetPatchColor"), QStringLiteral("SetDuplicated"),
                                     QStringLiteral("SetSelected")}) {
            QTest::newRow(qPrintable(relay + " own")) << relay << QList<int>{0, 1, 0} << 1;
            QTest::newRow(qPrintable(relay + " row outside the grid")) << relay << QList<int>{0, 2, 0} << 0;
            QTest::newRow(qPrintable(relay + " area without patches")) << relay << QList<int>{1, 1, 0} << 0;
        }
    }
    void positionRelays()
    {
        QFETCH(QString, relay);
        QFETCH(QList<int>, target);
        QFETCH(int, reached);
        auto sheet = SquareSheet();
        QWidget window;
        auto *view = new CVCChartGraphicsView(&window);
        view->DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        emit view->SetDisplay(1);
        QSignalSpy selected(view, &CVCGraphicsView::SelectPatch);

        if (relay == QLatin1String("SetPatchColor"))
            emit view->SetPatchColor(Rgb(7, target[0], target[1], target[2], 255, 0, 0));
        else if (relay == QLatin1String("SetDuplicated"))
            emit view->SetDuplicated(target[0], target[1], target[2], true);
        else
            emit view->SetSelected(target[0], target[1], target[2]);

        int changed = 0;
        for (CVCChartGraphicsPatch *patch : Patches(view->scene()))
            changed += (patch->GetDisplay() == 2) + patch->IsDuplicated() + patch->isSelected();
        QCOMPARE(changed, reached);
        if (reached) {
            CVCChartGraphicsPatch *own = PatchAt(view->scene(), 0, 1, 0);
            QVERIFY(own->GetDisplay() == 2 || own->IsDuplicated() || own->isSelected());
        }
        // Selection goes back to the view as a position.
        QCOMPARE(selected.count(), relay == QLatin1String("SetSelected") ? reached : 0);
        if (!selected.isEmpty())
            QCOMPARE(selected.first(), (QVariantList{0, 1, 0}));
    }

    void relaysToEveryItem()
    {
        auto sheet = SquareSheet();
        QWidget window;
        auto *view = new CVCChartGraphicsView(&window);
        view->DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        const QList<CVCChartGraphicsPatch *> patches = Patches(view->scene());
        QCOMPARE(patches.size(), 4);

        emit view->SetDisplay(1);
        emit view->SetPatchColor(Rgb(1, 0, 0, 0));
        QCOMPARE(patches.first()->GetDisplay(), 2);
        emit view->ClearPatchColor();
        for (CVCChartGraphicsPatch *patch : patches)
            QCOMPARE(patch->GetDisplay(), 0);

        emit view->SetDisplay(3);
        emit view->SetFontPointSize(17);
        for (CVCChartGraphicsPatch *patch : patches) {
            QCOMPARE(patch->GetDisplay(), 3);
            QCOMPARE(patch->GetFontPointSize(), 17);
        }

        // Code may select two; ClearSelected deselects both and reports each once, the others not at all.
        emit view->SetSelected(0, 0, 0);
        emit view->SetSelected(0, 1, 1);
        QCOMPARE(view->scene()->selectedItems().size(), 2);
        QSignalSpy cleared(view, &CVCGraphicsView::ClearPatch);
        emit view->ClearSelected();
        QVERIFY(view->scene()->selectedItems().isEmpty());
        QCOMPARE(cleared.count(), 2);
        emit view->ClearSelected();
        QCOMPARE(cleared.count(), 2);
    }

    void redrawDropsOldItemsFromTheRelays()
    {
        auto sheet = SquareSheet();
        QWidget window;
        auto *view = new CVCChartGraphicsView(&window);
        view->DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        view->DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(Patches(view->scene()).size(), 4);
        QSignalSpy selected(view, &CVCGraphicsView::SelectPatch);
        emit view->SetSelected(0, 0, 0);
        emit view->SetDuplicated(0, 0, 0, true);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(view->scene()->selectedItems().size(), 1);
    }

    void fitFontSize()
    {
        CVCChartGraphicsView view;
        view.SetResolution(100, 100);
        const int base = DefaultUiFont().pointSize();

        auto none = MakeSheet({{2, 2, 0, 0, 1000, 1000, 1000, 1000}}, {});
        QCOMPARE(view.FitFontPointSize(none.get()), 99);
        QCOMPARE(view.FitFontPointSize(nullptr), 99);
        // A record outside the sheet's areas has no patch size and is left out.
        auto stray = MakeSheet({{2, 2, 0, 0, 1000, 1000, 1000, 1000}}, {Rgb(1, 60, 0, 0)});
        QCOMPARE(view.FitFontPointSize(stray.get()), 99);

        // Shrinking patches never give a larger size; huge ones never stop, tiny ones stop at once.
        int previous = base + 4;
        for (int size : {20000, 2000, 800, 500, 400, 300, 200, 100, 10}) {
            auto sheet = MakeSheet({{1, 1, 0, 0, size, size, size, size}}, {Rgb(9999, 0, 0, 0)});
            const int fitted = view.FitFontPointSize(sheet.get());
            QVERIFY2(fitted >= base - 4 && fitted <= base + 4, qPrintable(QString::number(fitted)));
            QVERIFY2(fitted <= previous, qPrintable(QStringLiteral("%1 mm/100: %2").arg(size).arg(fitted)));
            previous = fitted;
            if (size == 20000)
                QCOMPARE(fitted, base + 4);
            if (size == 10)
                QCOMPARE(fitted, base - 4);
        }

        // The smallest over all records, each with its own area's patch size.
        auto mixed = MakeSheet({{1, 1, 0, 0, 20000, 20000, 20000, 20000}, {1, 1, 0, 0, 10, 10, 10, 10}},
                               {Rgb(1, 0, 0, 0), Rgb(2, 1, 0, 0)});
        QCOMPARE(view.FitFontPointSize(mixed.get()), base - 4);
    }

    void barcodeGeometry()
    {
        CVCChartGraphicsView view;
        view.SetResolution(254, 127); // 0.1 mm and 0.2 mm per pixel
        view.SetBarcodeInset(28);
        auto sheet = SquareSheet();
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        const int itemsBefore = view.scene()->items().size();
        const int rect[4] = {1000, 2000, 3000, 4000};

        QCOMPARE(view.BarcodeOriginPixels(rect), QPointF(100, 100));
        QCOMPARE(view.BarcodeSizePixels(rect), QSizeF(300, 200));
        QCOMPARE(view.BarcodeMarginPixels(), QSizeF(97.2, 48.6));

        view.DrawBarcode(rect);
        view.DrawBarcode(rect);
        const QList<QGraphicsItem *> tagged = TaggedBarcodes(view.scene());
        QCOMPARE(tagged.size(), 1);
        QCOMPARE(view.scene()->items().size(), itemsBefore + 1);
        QCOMPARE(tagged.first()->boundingRect(), QRectF(100, 100, 300 + 2 * 97.2, 200 + 2 * 48.6));
        QVERIFY(qobject_cast<CVCChartGraphicsBarcode *>(tagged.first()->toGraphicsObject()));

        // Another item tagged with a non-integer or another number stays.
        QGraphicsRectItem *other = view.scene()->addRect(0, 0, 5, 5);
        other->setData(Qt::UserRole, QStringLiteral("x"));
        view.RemoveBarcodeItem();
        QVERIFY(TaggedBarcodes(view.scene()).isEmpty());
        QCOMPARE(view.scene()->items().size(), itemsBefore + 1);
        QCOMPARE(Patches(view.scene()).size(), 4);
    }

    void barcodePictureInsideItsMargin()
    {
        if (!QImageReader::supportedImageFormats().contains("tiff"))
            QFAIL("Qt's TIFF plugin is missing: install qt5-image-formats-plugins");
        QGraphicsScene scene;
        CVCChartGraphicsView view(&scene, nullptr);
        view.SetResolution(254, 254);
        view.SetBarcodeInset(500); // a 50 px margin
        const int rect[4] = {500, 500, 2000, 2000};
        view.DrawBarcode(rect);
        const QImage image = viewprobe::RenderScene(&scene, QRectF(0, 0, 400, 400));
        // White margin of 50 px around a 200 px code whose dark modules sit inside it.
        int darkInside = 0;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 400; ++x) {
                const QRgb p = image.pixel(x, y);
                const bool inItem = x >= 50 && x < 350 && y >= 50 && y < 350;
                const bool inCode = x >= 100 && x < 300 && y >= 100 && y < 300;
                if (!inItem)
                    QCOMPARE(p, viewprobe::kBackground);
                else if (!inCode)
                    QVERIFY2(p == qRgb(255, 255, 255), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                else
                    darkInside += IsDark(p);
            }
        }
        QVERIFY(darkInside > 200 * 200 / 10);
    }

    void stateThreePaint_data()
    {
        QTest::addColumn<bool>("duplicated");
        QTest::addColumn<bool>("overImage");
        QTest::newRow("plain") << false << false;
        QTest::newRow("duplicated") << true << false;
        QTest::newRow("duplicated over page image") << true << true;
    }
    void stateThreePaint()
    {
        QFETCH(bool, duplicated);
        QFETCH(bool, overImage);
        CVCChartGraphicsPatch patch(QRectF(0, 0, 80, 50), Rgb(88, 0, 0, 0, 0, 0, 255), {}, 20, overImage);
        patch.SetDisplay(3);
        patch.SetDuplicated(0, 0, 0, duplicated);
        patch.SetDuplicated(0, 0, 1, !duplicated); // another position: ignored
        QCOMPARE(patch.IsDuplicated(), duplicated);
        const QImage image = viewprobe::RenderItem(&patch, false);
        const QRgb ground = duplicated ? qRgb(255, 255, 0) : viewprobe::kBackground;
        QCOMPARE(image.pixel(5 + 3, 5 + 3), ground);
        QVERIFY(IsDark(image.pixel(5, 5 + 25))); // the black outline
        int green = 0, black = 0;
        for (int y = 5 + 3; y < 5 + 47; ++y) {
            for (int x = 5 + 3; x < 5 + 77; ++x) {
                const QRgb p = image.pixel(x, y);
                green += qRed(p) < 80 && qGreen(p) > 200 && qBlue(p) < 80;
                black += qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40;
            }
        }
        QVERIFY2((overImage ? green : black) > 20, qPrintable(QStringLiteral("%1 %2").arg(green).arg(black)));
        QCOMPARE(overImage ? black : green, 0);
    }
};

QTEST_MAIN(TestChartView)
#include "test_chartview.moc"
