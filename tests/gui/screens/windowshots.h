#pragma once
// Small steps the main window's screen entries share: finding widgets, the views a shot waits for, running a step
// once a menu or box is on screen, and picking a tree item as a click does.

#include "chart/vcgraphicsview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>

namespace WindowShots {

constexpr int kExposeTimeoutMs = 10000;
constexpr int kPollMs = 10;

template <typename T>
T *Child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// The views on screen: a shot waits until each of them has painted.
inline QList<CVCGraphicsView *> ShownViews(QWidget *window)
{
    QList<CVCGraphicsView *> views;
    for (CVCGraphicsView *view : window->findChildren<CVCGraphicsView *>()) {
        if (view->isVisible())
            views << view;
    }
    return views;
}

// Runs step once find returns a widget on screen, polling from whatever event loop runs meanwhile (a menu's or
// a box's); gives up after the expose timeout. The poll ends with guard, so a step never outlives its screen.
inline void WhenShown(QObject *guard, const std::function<QWidget *()> &find,
                      const std::function<void(QWidget *)> &step)
{
    auto *timer = new QTimer(guard);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, find, step] {
        QWidget *widget = find();
        const bool shown = widget && widget->isVisible();
        if (!shown && !clock->hasExpired(kExposeTimeoutMs))
            return;
        timer->stop();
        timer->deleteLater();
        if (shown)
            step(widget);
    });
    timer->start(kPollMs);
}

// Makes the item the only selected and current one, as a click does.
inline void Pick(QTreeWidgetItem *item)
{
    QTreeWidget *tree = item->treeWidget();
    tree->clearSelection();
    tree->setCurrentItem(item);
    item->setSelected(true);
    tree->scrollToItem(item);
}

// The item's context menu, entry text chosen as a user would: right-click on the item, the entry highlighted, Return.
// The action runs inside the menu's loop; then() runs first, so that what it arms sees what the action opens.
inline bool ChooseFromMenu(QTreeWidgetItem *item, const QString &text, const std::function<void()> &then)
{
    bool chosen = false;
    QObject guard;
    WhenShown(&guard, [] { return QApplication::activePopupWidget(); }, [&](QWidget *popup) {
        auto *menu = qobject_cast<QMenu *>(popup);
        QAction *entry = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                entry = action;
        }
        if (!entry || !entry->isEnabled()) {
            QTest::keyClick(popup, Qt::Key_Escape);
            return;
        }
        chosen = true;
        then();
        menu->setActiveAction(entry);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTreeWidget *tree = item->treeWidget();
    emit tree->customContextMenuRequested(tree->visualItemRect(item).center());
    return chosen;
}

} // namespace WindowShots
