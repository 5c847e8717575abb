#pragma once
// Finds the data list's items by document id. Charts and measurements are numbered apart, so the level is named:
// a chart at the top of the chart tree, a measurement among its chart's children, a recognition measurement
// below "<Freeform Chart>".

#include <QTreeWidget>

inline int Id(const QTreeWidgetItem *item)
{
    return item->data(0, Qt::UserRole).toInt();
}

inline QTreeWidgetItem *ChartItemWithId(const QTreeWidget *tree, int id)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (Id(tree->topLevelItem(i)) == id)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

inline QTreeWidgetItem *MeasureItemWithId(const QTreeWidget *tree, int id)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *chart = tree->topLevelItem(i);
        for (int j = 0; j < chart->childCount(); ++j) {
            if (Id(chart->child(j)) == id)
                return chart->child(j);
        }
    }
    return nullptr;
}

inline QTreeWidgetItem *RecognitionItemWithId(const QTreeWidget *tree, int id)
{
    for (int i = 1; i < tree->topLevelItemCount(); ++i) {
        if (Id(tree->topLevelItem(i)) == id)
            return tree->topLevelItem(i);
    }
    return nullptr;
}
