// The base patch item: its slots, what each display state paints, its selection reports, and the view that
// keeps one item selected while the user clicks.
#include "chart/vcgraphicspatch.h"
#include "chart/vcsinglegraphicsview.h"
#include "viewprobe.h"

#include <QGraphicsScene>
#include <QSignalSpy>
#include <QtTest>

namespace {

using PatchColor = ChartDefinitionData::PatchColor;
using viewprobe::Rgb;

// Shows what the item holds.
class ProbePatch : public CVCGraphicsPatch
{
public:
    using CVCGraphicsPatch::CVCGraphicsPatch;
    int number() const { return m_patchNumber; }
    QColor fill() const { return m_fillColor; }
    QColor measured() const { return m_measuredColor; }
};

const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

} // namespace


class TestGraphicsPatch : public QObject
{
    Q_OBJECT

private slots:
    void constructedFromRecord()
    {
        ProbePatch patch(QRectF(1, 2, 30, 40), Rgb(7, 1, 2, 3, 0, 0, 255), ReferenceInkChannels());
        int area = -1, row = -1, column = -1;
        patch.GetIndices(&area, &row, &column);
        QCOMPARE(QList<int>({area, row, column}), QList<int>({1, 2, 3}));
        QCOMPARE(patch.number(), 7);
        QCOMPARE(patch.fill().rgb(), kBlue);
        QCOMPARE(patch.measured().rgb(), kWhite);
        QCOMPARE(patch.GetDisplay(), 0);
        QCOMPARE(patch.boundingRect(), QRectF(1, 2, 30, 40));
    }

    void colourSlots_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("area");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("expectedState");
        QTest::addColumn<int>("expectedNumber");
        QTest::addColumn<QRgb>("expectedFill");
        QTest::addColumn<QRgb>("expectedMeasured");
        // The item is patch 7 at (1, 2, 3), blue; the record is patch 9, green.
        QTest::newRow("other area") << 1 << 0 << 2 << 3 << 1 << 7 << kBlue << kWhite;
        QTest::newRow("other row") << 1 << 1 << 0 << 3 << 1 << 7 << kBlue << kWhite;
        QTest::newRow("other column") << 0 << 1 << 2 << 0 << 0 << 7 << kBlue << kWhite;
        QTest::newRow("own in state 1") << 1 << 1 << 2 << 3 << 2 << 7 << kBlue << kGreen;
        QTest::newRow("own in state 2") << 2 << 1 << 2 << 3 << 2 << 7 << kBlue << kGreen;
        QTest::newRow("own in state 0") << 0 << 1 << 2 << 3 << 0 << 9 << kGreen << kWhite;
        QTest::newRow("own in state 3") << 3 << 1 << 2 << 3 << 3 << 9 << kGreen << kWhite;
    }
    void colourSlots()
    {
        QFETCH(int, state);
        QFETCH(int, area);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, expectedState);
        QFETCH(int, expectedNumber);
        QFETCH(QRgb, expectedFill);
        QFETCH(QRgb, expectedMeasured);
        ProbePatch patch(QRectF(0, 0, 20, 20), Rgb(7, 1, 2, 3, 0, 0, 255), ReferenceInkChannels());
        patch.SetDisplay(state);
        patch.SetPatchColor(Rgb(9, area, row, column, 0, 255, 0));
        QCOMPARE(patch.GetDisplay(), expectedState);
        QCOMPARE(patch.number(), expectedNumber);
        QCOMPARE(patch.fill().rgb(), expectedFill);
        QCOMPARE(patch.measured().rgb(), expectedMeasured);
    }

    void clearPatchColorBackToWhiteState0()
    {
        ProbePatch patch(QRectF(0, 0, 20, 20), Rgb(7, 1, 2, 3, 0, 0, 255), ReferenceInkChannels());
        patch.SetDisplay(1);
        patch.SetPatchColor(Rgb(9, 1, 2, 3, 0, 255, 0));
        QCOMPARE(patch.GetDisplay(), 2);
        patch.ClearPatchColor();
        QCOMPARE(patch.GetDisplay(), 0);
        QCOMPARE(patch.fill().rgb(), kWhite);
        QCOMPARE(patch.measured().rgb(), kWhite);
    }

    // Probes of a 40 x 40 blue patch drawn at (5, 5): inside near the top-left corner, inside the lower-right
    // triangle, the outline's pixel on the left edge and the pixel just inside it.
    void paintStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QRgb>("topLeft");
        QTest::addColumn<QRgb>("lowerRight");
        QTest::addColumn<QRgb>("edge");
        QTest::addColumn<QRgb>("insideEdge");
        const QRgb bg = viewprobe::kBackground;
        QTest::newRow("0") << 0 << false << kBlue << kBlue << kBlack << kBlue;
        QTest::newRow("0 selected") << 0 << true << kBlue << kBlue << kRed << kRed;
        QTest::newRow("1") << 1 << false << kBlue << kWhite << kBlack << kBlue;
        QTest::newRow("1 selected") << 1 << true << kBlue << kWhite << kRed << kRed;
        QTest::newRow("2") << 2 << false << kBlue << kGreen << kBlack << kBlue;
        QTest::newRow("2 selected") << 2 << true << kBlue << kGreen << kRed << kRed;
        QTest::newRow("3") << 3 << false << bg << bg << kBlack << bg;
        QTest::newRow("3 selected") << 3 << true << bg << bg << kRed << kRed;
        QTest::newRow("4") << 4 << false << kBlue << kBlue << kBlue << kBlue;
        QTest::newRow("4 selected") << 4 << true << kBlue << kBlue << kBlue << kBlue;
        QTest::newRow("5") << 5 << false << bg << bg << kRed << bg;
        QTest::newRow("5 selected") << 5 << true << bg << bg << kRed << bg;
    }
    void paintStates()
    {
        QFETCH(int, state);
        QFETCH(bool, selected);
        QFETCH(QRgb, topLeft);
        QFETCH(QRgb, lowerRight);
        QFETCH(QRgb, edge);
        QFETCH(QRgb, insideEdge);
        CVCGraphicsPatch patch(QRectF(0, 0, 40, 40), Rgb(7, 0, 0, 0, 0, 0, 255), ReferenceInkChannels());
        if (state == 2) {
            patch.SetDisplay(1);
            patch.SetPatchColor(Rgb(7, 0, 0, 0, 0, 255, 0));
        }
        patch.SetDisplay(state);
        const QImage image = viewprobe::RenderItem(&patch, selected);
        QCOMPARE(image.pixel(5 + 10, 5 + 10), topLeft);
        QCOMPARE(image.pixel(5 + 32, 5 + 32), lowerRight);
        QCOMPARE(image.pixel(5, 5 + 20), edge);
        QCOMPARE(image.pixel(5 + 1, 5 + 20), insideEdge);
    }

    void selectionReportsAndRaises()
    {
        QGraphicsScene scene;
        auto *patch = new CVCGraphicsPatch(QRectF(0, 0, 20, 20), 4, 5, 6);
        patch->setFlag(QGraphicsItem::ItemIsSelectable);
        scene.addItem(patch);
        QSignalSpy selected(patch, &CVCGraphicsPatch::SelectPatch);
        QSignalSpy cleared(patch, &CVCGraphicsPatch::ClearPatch);
        patch->setSelected(true);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.first(), (QVariantList{4, 5, 6}));
        QCOMPARE(patch->zValue(), 0.1);
        QCOMPARE(cleared.count(), 0);
        patch->setSelected(false);
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(patch->zValue(), 0.0);
        QCOMPARE(selected.count(), 1);
    }

    void singleViewKeepsTheClickedItemOnly()
    {
        QGraphicsScene scene;
        CVCSingleGraphicsView view(&scene);
        view.resize(300, 200);
        auto *left = new CVCGraphicsPatch(QRectF(0, 0, 40, 40), 0, 0, 0);
        auto *right = new CVCGraphicsPatch(QRectF(100, 0, 40, 40), 0, 0, 1);
        for (CVCGraphicsPatch *item : {left, right}) {
            item->setFlag(QGraphicsItem::ItemIsSelectable);
            scene.addItem(item);
        }
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        // Code may select both.
        left->setSelected(true);
        right->setSelected(true);
        QCOMPARE(scene.selectedItems().size(), 2);

        // Control-click adds the clicked item, which then holds the mouse grab: only it stays selected.
        right->setSelected(false);
        const QPoint at = view.mapFromScene(QPointF(120, 20));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, at);
        QCOMPARE(scene.selectedItems(), QList<QGraphicsItem *>{right});
    }
};

QTEST_MAIN(TestGraphicsPatch)
#include "test_graphicspatch.moc"
