#include "app/orloeventpump.h"

#include <QPointer>
#include <QThread>

#include <utility>

COrloEventPump::COrloEventPump(Handler handler, QObject *parent) : QObject(parent), m_handler(std::move(handler)) {}

void COrloEventPump::Post(int code, int value, int count)
{
    if (QThread::currentThread() == thread()) {
        Enqueue(code, value, count);
        return;
    }
    // The pump is the context: a call still queued when it is destroyed is dropped with it.
    QMetaObject::invokeMethod(
        this, [this, code, value, count] { Enqueue(code, value, count); }, Qt::QueuedConnection);
}

void COrloEventPump::Enqueue(int code, int value, int count)
{
    m_queue.push_back({code, value, count});
    // A handler that spins a nested event loop must not let the next event start.
    if (m_handling)
        return;
    QPointer<COrloEventPump> guard(this);
    m_handling = true;
    while (!m_queue.empty()) {
        const Event e = m_queue.front();
        m_queue.pop_front();
        if (m_handler)
            m_handler(e.code, e.value, e.count);
        if (!guard)
            return;
        m_lastEvent = e.code;
    }
    m_handling = false;
}
