#include "viewprobe.h"

#include <QApplication>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QTest>

namespace viewprobe {

SceneMouse::SceneMouse(QGraphicsScene *scene, Qt::KeyboardModifiers modifiers)
    : m_scene(scene), m_modifiers(modifiers)
{
}

bool SceneMouse::Press(const QPointF &at, Qt::MouseButton button)
{
    m_down[int(button)] = at;
    m_buttons |= button;
    return send(QEvent::GraphicsSceneMousePress, at, button);
}

bool SceneMouse::Move(const QPointF &at)
{
    return send(QEvent::GraphicsSceneMouseMove, at, Qt::NoButton);
}

bool SceneMouse::Release(const QPointF &at, Qt::MouseButton button)
{
    m_buttons &= ~Qt::MouseButtons(button);
    return send(QEvent::GraphicsSceneMouseRelease, at, button);
}

void SceneMouse::Click(const QPointF &at, Qt::MouseButton button)
{
    Press(at, button);
    Release(at, button);
}

bool SceneMouse::send(QEvent::Type type, const QPointF &at, Qt::MouseButton button)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(at);
    event.setScreenPos(at.toPoint());
    const QPointF last = m_hasLast ? m_last : at;
    event.setLastScenePos(last);
    event.setLastScreenPos(last.toPoint());
    for (auto it = m_down.constBegin(); it != m_down.constEnd(); ++it) {
        const auto b = Qt::MouseButton(it.key());
        event.setButtonDownScenePos(b, it.value());
        event.setButtonDownScreenPos(b, it.value().toPoint());
    }
    event.setButton(button);
    event.setButtons(m_buttons);
    event.setModifiers(m_modifiers);
    event.setAccepted(false);
    QApplication::sendEvent(m_scene, &event);
    m_last = at;
    m_hasLast = true;
    return event.isAccepted();
}

void SendViewportMouse(QGraphicsView *view, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
                       Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos), button, buttons, modifiers);
    QApplication::sendEvent(view->viewport(), &event);
}

void PerformDrag(QGraphicsView *view, const Drag &drag)
{
    const Qt::KeyboardModifiers modifiers = drag.control ? Qt::ControlModifier : Qt::NoModifier;
    if (drag.control)
        QTest::keyPress(view, Qt::Key_Control);
    const QPoint from = view->mapFromScene(drag.from);
    const QPoint to = view->mapFromScene(drag.to);
    SendViewportMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, modifiers);
    for (int i = 1; i <= drag.moves; ++i) {
        const QPoint step = from + (to - from) * i / drag.moves;
        SendViewportMouse(view, QEvent::MouseMove, step, Qt::NoButton, Qt::LeftButton, modifiers);
    }
    SendViewportMouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
    if (drag.control)
        QTest::keyRelease(view, Qt::Key_Control);
}

} // namespace viewprobe
