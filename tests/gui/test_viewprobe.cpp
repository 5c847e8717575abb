// The view probes' mouse: scene events select, grab and move items without a view, and viewport drags carry
// their held buttons far enough for a rubber band.
#include "viewprobe.h"

#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QtTest>

#include <algorithm>

class TestViewProbe : public QObject
{
    Q_OBJECT

    static QGraphicsRectItem *AddBox(QGraphicsScene *scene, const QRectF &rect)
    {
        QGraphicsRectItem *box = scene->addRect(rect);
        box->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsMovable);
        return box;
    }

private slots:
    void sceneMouseSelectsGrabsAndMoves()
    {
        QGraphicsScene scene(0, 0, 300, 300);
        QGraphicsRectItem *box = AddBox(&scene, QRectF(10, 10, 40, 40));
        QGraphicsRectItem *other = AddBox(&scene, QRectF(100, 100, 40, 40));
        other->setSelected(true);

        viewprobe::SceneMouse mouse(&scene);
        QVERIFY(mouse.Press(QPointF(20, 20)));
        QCOMPARE(scene.mouseGrabberItem(), box);
        QCOMPARE(scene.selectedItems(), QList<QGraphicsItem *>{box});
        // Two moves: each is measured from the press, not from the previous move.
        mouse.Move(QPointF(25, 22));
        mouse.Move(QPointF(30, 27));
        QCOMPARE(box->pos(), QPointF(10, 7));
        mouse.Release(QPointF(30, 27));
        QVERIFY(!scene.mouseGrabberItem());

        // Control adds to the selection; a plain press on empty ground clears it.
        mouse.SetModifiers(Qt::ControlModifier);
        mouse.Click(QPointF(120, 120));
        QCOMPARE(scene.selectedItems().size(), 2);
        mouse.SetModifiers(Qt::NoModifier);
        QVERIFY(!mouse.Press(QPointF(250, 250)));
        QVERIFY(scene.selectedItems().isEmpty());
        mouse.Release(QPointF(250, 250));
    }

    void viewportDragDrawsARubberBand()
    {
        QGraphicsScene scene(0, 0, 300, 300);
        QGraphicsRectItem *a = AddBox(&scene, QRectF(50, 50, 20, 20));
        QGraphicsRectItem *b = AddBox(&scene, QRectF(100, 100, 20, 20));
        AddBox(&scene, QRectF(200, 200, 20, 20));
        QGraphicsView view(&scene);
        view.setDragMode(QGraphicsView::RubberBandDrag);
        view.resize(400, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        viewprobe::PerformDrag(&view, {{40, 40}, {150, 150}, false, 3});
        QList<QGraphicsItem *> selected = scene.selectedItems();
        std::sort(selected.begin(), selected.end());
        QList<QGraphicsItem *> expected{a, b};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(selected, expected);
    }
};

QTEST_MAIN(TestViewProbe)
#include "test_viewprobe.moc"
