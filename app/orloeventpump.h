#pragma once
// Hands the chart scanner's device events to one handler on the pump's own thread, one event at a time in
// the order they arrived. The library may post from a thread of its own; a handler that spins a nested event
// loop (a message box) does not let the next event start: it waits in the queue until the handler returns.

#include <QObject>

#include <deque>
#include <functional>

class COrloEventPump : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(int code, int value, int count)>;

    explicit COrloEventPump(Handler handler, QObject *parent = nullptr);

    // Any thread. From another thread the event is queued to the pump's thread; a call still queued when the
    // pump is destroyed is dropped with it.
    void Post(int code, int value, int count);

    // The code of the last event the handler finished.
    int LastEvent() const { return m_lastEvent; }
    // Events received and not yet handled.
    int QueuedCount() const { return int(m_queue.size()); }

private:
    struct Event {
        int code;
        int value;
        int count;
    };
    void Enqueue(int code, int value, int count);

    Handler m_handler;
    std::deque<Event> m_queue;
    bool m_handling = false;
    int m_lastEvent = 0;
};
