// The chart editing view and its scene: area rectangles and editing patches, drags of areas and of the QR-code
// block through the scene, the live preview in the items, the selected patch and the drag cursor.
#include "chart/vceditchartgraphicsbarcode.h"
#include "chart/vceditchartgraphicspatch.h"
#include "chart/vceditchartgraphicsscene.h"
#include "chart/vceditchartgraphicsview.h"
#include "viewprobe.h"

#include <QCursor>
#include <QGraphicsRectItem>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using Sheet = ChartDefinitionData::Sheet;
using PatchColor = ChartDefinitionData::PatchColor;
using viewprobe::Rgb;

using viewprobe::AreaSpec;
using viewprobe::MakeSheet;

const QList<PatchColor> kPatches = {Rgb(1, 0, 0, 0), Rgb(2, 0, 0, 1), Rgb(3, 0, 0, 2), Rgb(4, 0, 1, 0),
                                    Rgb(5, 0, 1, 1), Rgb(6, 0, 1, 2), Rgb(7, 1, 0, 0)};

// Area 0: 2 x 3 patches of 10 x 8 mm at a 12 x 10 mm pitch from the sheet's origin, so a press near the origin
// gives offsets at full precision. Area 1: 1 x 2 patches, the second undefined. All in 0.01 mm.
std::unique_ptr<Sheet> EditSheet()
{
    return MakeSheet({{2, 3, 0, 0, 1000, 800, 1200, 1000}, {1, 2, 10000, 3000, 1500, 1500, 2000, 2000}}, kPatches);
}

// The QR block: 13000..16000 by 4000..7000 with its margin, over area 1's bottom-right corner.
const int kBarcodeRect[4] = {13000, 4000, 1000, 1000};
// Inside area 0's bottom-right 2 mm square (area 0 ends at 3400, 1800), and well inside area 0.
const QPointF kArea0Square(3300, 1700);
const QPointF kArea0Inside(500, 500);
// Inside area 1's square (area 1 ends at 13500, 4500) and the QR block.
const QPointF kBarcodeOverSquare(13400, 4400);

double PxX(const CVCEditChartGraphicsScene *scene, double v) { return v * scene->ResolutionX() / 2540.0; }
double PxY(const CVCEditChartGraphicsScene *scene, double v) { return v * scene->ResolutionY() / 2540.0; }
QPointF Px(const CVCEditChartGraphicsScene *scene, const QPointF &v)
{
    return QPointF(PxX(scene, v.x()), PxY(scene, v.y()));
}

// A release coordinate whose pixel distance from the press converts to `hundredths` of a millimetre. Rounding
// of exact halves is checked, so the conversion must see the half itself where the resolution allows one;
// otherwise the nearest distance above it.
double ReleaseCoordinate(double press, double hundredths, int dpi)
{
    const auto converted = [&](double release) { return 25.4 * (release - press) * 100 / dpi; };
    const double start = press + hundredths * dpi / 2540.0;
    for (const double towards : {INFINITY, -INFINITY}) {
        double release = start;
        for (int step = 0; step < 64; ++step, release = std::nextafter(release, towards)) {
            if (converted(release) == hundredths)
                return release;
        }
    }
    double release = start;
    while (converted(release) < hundredths)
        release = std::nextafter(release, INFINITY);
    return release;
}

enum Signal { AreaDragMoved, AreaMoved, AreaDragResized, AreaResized, BarcodeDragMoved, BarcodeMoved, None = -1 };

// The view's six signals, in the order of Signal; the view passes on the scene's.
struct Spies {
    explicit Spies(CVCEditChartGraphicsView *view)
    {
        using V = CVCEditChartGraphicsView;
        spies.emplace_back(new QSignalSpy(view, &V::AreaDragMoved));
        spies.emplace_back(new QSignalSpy(view, &V::AreaMoved));
        spies.emplace_back(new QSignalSpy(view, &V::AreaDragResized));
        spies.emplace_back(new QSignalSpy(view, &V::AreaResized));
        spies.emplace_back(new QSignalSpy(view, &V::BarcodeDragMoved));
        spies.emplace_back(new QSignalSpy(view, &V::BarcodeMoved));
    }
    // Only `which` has fired, once; with None nothing has.
    bool OnlyOnce(int which) const
    {
        for (int i = 0; i < int(spies.size()); ++i) {
            if (spies[i]->count() != (i == which ? 1 : 0))
                return false;
        }
        return true;
    }
    bool Silent() const { return OnlyOnce(None); }
    QList<QVariant> Arguments(int which) const { return spies[which]->first(); }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

struct Drawn {
    Drawn() : sheet(EditSheet())
    {
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        view.DrawBarcode(kBarcodeRect);
    }
    CVCEditChartGraphicsScene *scene() const { return view.EditScene(); }
    std::unique_ptr<Sheet> sheet;
    CVCEditChartGraphicsView view;
};

QList<CVCEditChartGraphicsPatch *> Patches(QGraphicsScene *scene)
{
    QList<CVCEditChartGraphicsPatch *> patches;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        if (auto *patch = qobject_cast<CVCEditChartGraphicsPatch *>(item->toGraphicsObject()))
            patches << patch;
    }
    return patches;
}

CVCEditChartGraphicsBarcode *Barcode(QGraphicsScene *scene)
{
    for (QGraphicsItem *item : scene->items()) {
        if (auto *barcode = qobject_cast<CVCEditChartGraphicsBarcode *>(item->toGraphicsObject()))
            return barcode;
    }
    return nullptr;
}

// Rectangles tagged with an area index, by index.
QMap<int, QGraphicsRectItem *> AreaRects(QGraphicsScene *scene)
{
    QMap<int, QGraphicsRectItem *> rects;
    for (QGraphicsItem *item : scene->items()) {
        const QVariant tag = item->data(Qt::UserRole);
        if (tag.userType() == QMetaType::Int && tag.toInt() >= 0)
            rects.insert(tag.toInt(), qgraphicsitem_cast<QGraphicsRectItem *>(item));
    }
    return rects;
}

bool Near(const QRectF &a, const QRectF &b)
{
    const auto same = [](double x, double y) { return std::abs(x - y) < 1e-9; };
    return same(a.x(), b.x()) && same(a.y(), b.y()) && same(a.width(), b.width()) && same(a.height(), b.height());
}

QString Text(const QRectF &r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestEditScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(Resource); }

    void cleanup()
    {
        // A failed case must not hand its cursor to the next one.
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

    void areaRectangles_data()
    {
        QTest::addColumn<int>("area");
        QTest::addColumn<QRectF>("expected"); // 0.01 mm: (C - 1) x gap + W by (R - 1) x gap + H
        QTest::newRow("2 x 3") << 0 << QRectF(0, 0, 2 * 1200 + 1000, 1 * 1000 + 800);
        QTest::newRow("1 x 2, one patch undefined") << 1 << QRectF(10000, 3000, 2000 + 1500, 1500);
    }

    void areaRectangles()
    {
        QFETCH(int, area);
        QFETCH(QRectF, expected);
        Drawn d;
        const QMap<int, QGraphicsRectItem *> rects = AreaRects(d.scene());
        QCOMPARE(rects.keys(), QList<int>({0, 1}));
        QGraphicsRectItem *rect = rects.value(area);
        QVERIFY(rect);
        const QRectF want(Px(d.scene(), expected.topLeft()), Px(d.scene(), expected.bottomRight()));
        QVERIFY2(Near(rect->rect(), want), qPrintable(Text(rect->rect()) + " " + Text(want)));
        QCOMPARE(rect->pen().color(), QColor(Qt::transparent));
        QCOMPARE(rect->brush().style(), Qt::NoBrush);
    }

    void drawnItems_data()
    {
        QTest::addColumn<int>("areaCount");
        QTest::addColumn<int>("rects");
        QTest::addColumn<int>("patches");
        QTest::newRow("two areas") << 2 << 2 << kPatches.size();
        QTest::newRow("no areas") << 0 << 0 << 0;
    }

    void drawnItems()
    {
        QFETCH(int, areaCount);
        QFETCH(int, rects);
        QFETCH(int, patches);
        auto sheet = EditSheet();
        sheet->AreaCount = areaCount;
        // Without a parent the chart view would fill every patch (state 4); the editing view leaves them alone.
        CVCEditChartGraphicsView view;
        view.DrawSheet(sheet.get(), 0, 0, 0, nullptr);
        QCOMPARE(AreaRects(view.scene()).size(), rects);
        const QList<CVCEditChartGraphicsPatch *> drawn = Patches(view.scene());
        QCOMPARE(drawn.size(), patches);
        for (CVCEditChartGraphicsPatch *patch : drawn)
            QCOMPARE(patch->GetDisplay(), 0);
        if (patches > 0) {
            // Patch (0, 1, 2) of area 0 at its grid place.
            CVCEditChartGraphicsScene *scene = view.EditScene();
            const QRectF want(PxX(scene, 2 * 1200), PxY(scene, 1000), PxX(scene, 1000), PxY(scene, 800));
            const QRectF got = drawn[5]->boundingRect();
            QVERIFY2(Near(got, want), qPrintable(Text(got) + " " + Text(want)));
        }
    }

    // Press, move by the offset, release there: the live signal during the move, the final one at release.
    void drag_data()
    {
        QTest::addColumn<QPointF>("press");  // 0.01 mm
        QTest::addColumn<bool>("hover");     // a hover at the press point first
        QTest::addColumn<int>("mode");       // after the press
        QTest::addColumn<QPointF>("offset"); // 0.01 mm
        QTest::addColumn<int>("live");
        QTest::addColumn<int>("final");
        QTest::addColumn<int>("target"); // of the area signals
        QTest::addColumn<QSize>("hundredths");

        QTest::newRow("move an area one inch") << kArea0Inside << true << 1 << QPointF(2540, 2540)
                                               << int(AreaDragMoved) << int(AreaMoved) << 0 << QSize(2540, 2540);
        QTest::newRow("resize from the square") << kArea0Square << true << 2 << QPointF(500, -300)
                                                << int(AreaDragResized) << int(AreaResized) << 0 << QSize(500, -300);
        QTest::newRow("square not hovered: move") << kArea0Square << false << 1 << QPointF(700, 0)
                                                  << int(AreaDragMoved) << int(AreaMoved) << 0 << QSize(700, 0);
        QTest::newRow("barcode over an area") << kBarcodeOverSquare << false << 1 << QPointF(1000, -500)
                                              << int(BarcodeDragMoved) << int(BarcodeMoved) << -1
                                              << QSize(1000, -500);
        QTest::newRow("square hovered, barcode pressed") << kBarcodeOverSquare << true << 2 << QPointF(1000, 500)
                                                         << int(None) << int(None) << -1 << QSize();
        QTest::newRow("left and above, halves upward") << QPointF(0.01, 0.01) << false << 1 << QPointF(-2.5, -2.6)
                                                       << int(AreaDragMoved) << int(AreaMoved) << 0 << QSize(-2, -3);
        QTest::newRow("release within 1e-12 pixels") << kArea0Inside << false << 1 << QPointF(2e-12, 0)
                                                     << int(AreaDragMoved) << int(None) << 0 << QSize();
        QTest::newRow("release just past 1e-12 pixels") << kArea0Inside << false << 1 << QPointF(1e-7, 0)
                                                        << int(AreaDragMoved) << int(AreaMoved) << 0 << QSize(0, 0);
        QTest::newRow("press on the bare sheet") << QPointF(5000, 20000) << true << 0 << QPointF(1000, 1000)
                                                 << int(None) << int(None) << -1 << QSize();
    }

    void drag()
    {
        QFETCH(QPointF, press);
        QFETCH(bool, hover);
        QFETCH(int, mode);
        QFETCH(QPointF, offset);
        QFETCH(int, live);
        QFETCH(int, final);
        QFETCH(int, target);
        QFETCH(QSize, hundredths);
        Drawn d;
        CVCEditChartGraphicsScene *scene = d.scene();
        Spies spies(&d.view);
        const QPointF at = Px(scene, press);
        const QPointF to(ReleaseCoordinate(at.x(), offset.x(), scene->ResolutionX()),
                         ReleaseCoordinate(at.y(), offset.y(), scene->ResolutionY()));

        viewprobe::SceneMouse mouse(scene);
        if (hover)
            mouse.Move(at);
        mouse.Press(at);
        QCOMPARE(scene->GetDragMode(), mode);
        mouse.Move(to);
        QVERIFY(spies.OnlyOnce(live));
        if (live != None) {
            const QList<QVariant> args = spies.Arguments(live);
            const QSizeF size = args.last().toSizeF();
            QCOMPARE(size, QSizeF(to.x() - at.x(), to.y() - at.y()));
            if (live != BarcodeDragMoved)
                QCOMPARE(args.first().toInt(), target);
        }
        for (auto &spy : spies.spies)
            spy->clear();

        mouse.Release(to);
        QVERIFY(spies.OnlyOnce(final));
        if (final != None) {
            const QList<QVariant> args = spies.Arguments(final);
            QCOMPARE(args.last().toSize(), hundredths);
            if (final != BarcodeMoved)
                QCOMPARE(args.first().toInt(), target);
        }
        QCOMPARE(scene->GetDragTarget(), int(CVCEditChartGraphicsScene::kNoTarget));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void clickSelectsPatch_data()
    {
        QTest::addColumn<bool>("click");
        QTest::addColumn<QPointF>("at"); // 0.01 mm
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("nothing selected") << false << QPointF() << QList<int>({-7, -7, -7});
        QTest::newRow("patch (0, 1, 2)") << true << QPointF(2400 + 500, 1000 + 400) << QList<int>({0, 1, 2});
        QTest::newRow("patch (1, 0, 0)") << true << QPointF(10000 + 750, 3000 + 750) << QList<int>({1, 0, 0});
    }

    void clickSelectsPatch()
    {
        QFETCH(bool, click);
        QFETCH(QPointF, at);
        QFETCH(QList<int>, selected);
        Drawn d;
        Spies spies(&d.view);
        if (click) {
            const QPointF p = Px(d.scene(), at);
            viewprobe::SceneMouse mouse(d.scene());
            mouse.Move(p);
            mouse.Click(p);
        }
        QVERIFY(spies.Silent());
        int area = -7, row = -7, column = -7;
        QCOMPARE(d.view.GetSelectedPatch(&area, &row, &column), click);
        QCOMPARE(QList<int>({area, row, column}), selected);
    }

    // The items follow the live offsets; the scene's index follows them too.
    void livePreview_data()
    {
        QTest::addColumn<bool>("resize");
        QTest::newRow("move area 0") << false;
        QTest::newRow("resize area 0") << true;
    }

    void livePreview()
    {
        QFETCH(bool, resize);
        Drawn d;
        CVCEditChartGraphicsScene *scene = d.scene();
        // The scene indexes its items from the event loop; a geometry change it was not told of goes stale.
        QCoreApplication::processEvents();
        // By item: the press selects a patch, which raises it in the stacking order.
        QHash<CVCEditChartGraphicsPatch *, QRectF> before;
        for (CVCEditChartGraphicsPatch *patch : Patches(scene))
            before.insert(patch, patch->boundingRect());

        const QPointF at = Px(scene, resize ? kArea0Square : kArea0Inside);
        const QSizeF offset(PxX(scene, 2500), PxY(scene, 1800)); // past a patch: a stale index shows
        viewprobe::SceneMouse mouse(scene);
        mouse.Move(at);
        mouse.Press(at);
        mouse.Move(at + QPointF(offset.width(), offset.height()));

        const QList<CVCEditChartGraphicsPatch *> patches = Patches(scene);
        QCOMPARE(patches.size(), kPatches.size());
        CVCEditChartGraphicsPatch *last = nullptr;
        for (int i = 0; i < patches.size(); ++i) {
            int area = 0, row = 0, column = 0;
            patches[i]->GetIndices(&area, &row, &column);
            if (area == 0 && row == 1 && column == 2)
                last = patches[i];
            QRectF want = before.value(patches[i]);
            if (area == 0 && !resize) {
                want.translate(offset.width(), offset.height());
            } else if (area == 0) {
                const double w = offset.width() / 3, h = offset.height() / 2;
                want = QRectF(want.x() + column * w, want.y() + row * h, want.width() + w, want.height() + h);
            }
            const QRectF got = patches[i]->boundingRect();
            QVERIFY2(Near(got, want), qPrintable(QString::number(i) + " " + Text(got) + " " + Text(want)));
            QVERIFY(scene->items(got.center()).contains(patches[i]));
        }
        // An area being resized shows the grown grid: its last patch ends at the grid's end plus the offset.
        if (resize) {
            QVERIFY(last);
            const QRectF end = last->boundingRect();
            QVERIFY(std::abs(end.right() - (PxX(scene, 3400) + offset.width())) < 1e-9);
            QVERIFY(std::abs(end.bottom() - (PxY(scene, 1800) + offset.height())) < 1e-9);
        }
    }

    void barcodePreview()
    {
        Drawn d;
        CVCEditChartGraphicsScene *scene = d.scene();
        CVCEditChartGraphicsBarcode *barcode = Barcode(scene);
        QVERIFY(barcode);
        QCoreApplication::processEvents();
        const QRectF before = barcode->boundingRect();
        const QPointF at = Px(scene, kBarcodeOverSquare);
        const QPointF to = at + QPointF(-30, 20);
        viewprobe::SceneMouse mouse(scene);
        mouse.Press(at);
        mouse.Move(to);
        QVERIFY(Near(barcode->boundingRect(), before.translated(-30, 20)));
        QVERIFY(scene->items(before.translated(-30, 20).bottomLeft() + QPointF(1, -1)).contains(barcode));
    }

    void hoverCursor_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<bool>("sizeCursor");
        QTest::newRow("in the 2 mm square") << kArea0Square << true;
        QTest::newRow("inside, off the square") << QPointF(3100, 1700) << false;
        QTest::newRow("square under the barcode") << kBarcodeOverSquare << true;
        QTest::newRow("bare sheet") << QPointF(5000, 20000) << false;
    }

    void hoverCursor()
    {
        QFETCH(QPointF, at);
        QFETCH(bool, sizeCursor);
        Drawn d;
        // Twice: the scene never stacks a second cursor on its own.
        viewprobe::SceneMouse mouse(d.scene());
        mouse.Move(Px(d.scene(), at));
        mouse.Move(Px(d.scene(), at));
        const QCursor *cursor = QGuiApplication::overrideCursor();
        QCOMPARE(cursor != nullptr, sizeCursor);
        if (!sizeCursor)
            return;
        QCOMPARE(cursor->shape(), Qt::SizeFDiagCursor);
        QGuiApplication::restoreOverrideCursor();
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // The drag cursor is a program-wide one: it must not outlive the pointer's stay in the view.
    void cursorGivenBack_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("pointer leaves the view") << 0;
        QTest::newRow("view hidden") << 1;
        QTest::newRow("view destroyed") << 2;
    }

    void cursorGivenBack()
    {
        QFETCH(int, how);
        auto d = std::make_unique<Drawn>();
        d->view.show();
        viewprobe::SceneMouse(d->scene()).Move(Px(d->scene(), kArea0Square));
        QVERIFY(QGuiApplication::overrideCursor());
        if (how == 0) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(&d->view, &leave);
        } else if (how == 1) {
            d->view.hide();
        } else {
            d.reset();
        }
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(TestEditScene)
#include "test_editscene.moc"
