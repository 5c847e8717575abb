#include "chart/vcsinglegraphicsview.h"

#include <QGraphicsItem>
#include <QGraphicsScene>

CVCSingleGraphicsView::CVCSingleGraphicsView(QGraphicsScene *scene, QWidget *parent)
    : CVCGraphicsView(scene, parent)
{
    if (scene)
        connect(scene, &QGraphicsScene::selectionChanged, this, &CVCSingleGraphicsView::onSelectionChanged);
}

void CVCSingleGraphicsView::onSelectionChanged()
{
    QGraphicsScene *s = scene();
    if (!s)
        return;
    const bool blocked = s->blockSignals(true);
    QGraphicsItem *grabber = s->mouseGrabberItem();
    const QList<QGraphicsItem *> selected = s->selectedItems();
    if (grabber && selected.size() >= 2) {
        for (QGraphicsItem *item : selected) {
            if (item != grabber)
                item->setSelected(false);
        }
    }
    s->blockSignals(blocked);
}
