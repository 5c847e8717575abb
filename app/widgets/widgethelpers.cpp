#include "app/widgets/widgethelpers.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTreeWidget>
#include <QWidget>

void CenterOnWidget(QWidget *widget, const QWidget *reference)
{
    if (!widget || !reference)
        return;
    QRect frame = widget->frameGeometry();
    frame.moveCenter(reference->frameGeometry().center());

    const QScreen *screen = QGuiApplication::screenAt(reference->frameGeometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        if (frame.right() > available.right())
            frame.moveRight(available.right());
        if (frame.bottom() > available.bottom())
            frame.moveBottom(available.bottom());
        if (frame.left() < available.left())
            frame.moveLeft(available.left());
        if (frame.top() < available.top())
            frame.moveTop(available.top());
    }
    widget->move(qMax(0, frame.left()), qMax(0, frame.top()));
}

void ResizeTreeColumns(QTreeWidget *tree)
{
    if (!tree)
        return;
    for (int column = 0; column < tree->columnCount(); ++column)
        tree->resizeColumnToContents(column);
}

int FindComboIndexByData(const QComboBox *combo, int value)
{
    if (!combo)
        return -1;
    for (int i = 0; i < combo->count(); ++i) {
        bool ok = false;
        const int data = combo->itemData(i).toInt(&ok);
        if (ok && data == value)
            return i;
    }
    return -1;
}

int ComboDataAt(const QComboBox *combo, int i)
{
    if (!combo || i < 0 || i >= combo->count())
        return -1;
    return combo->itemData(i).toInt();
}

void SyncDockViewAction(QMainWindow *window, QDockWidget *dock, QAction *action, bool visible)
{
    QObject::disconnect(action, &QAction::toggled, dock, &QWidget::setVisible);
    action->setChecked(visible || !window->tabifiedDockWidgets(dock).isEmpty());
    QObject::connect(action, &QAction::toggled, dock, &QWidget::setVisible);
}
