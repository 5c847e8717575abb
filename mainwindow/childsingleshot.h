#pragma once
// A single-shot timer owned by its receiver: it dies with the receiver, removes itself once fired, and stays
// visible among the receiver's children while it is armed.

#include <QTimer>

template <typename Receiver, typename Slot>
void ArmChildSingleShot(Receiver *receiver, int milliseconds, Slot slot)
{
    auto *timer = new QTimer(receiver);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, &QObject::deleteLater);
    QObject::connect(timer, &QTimer::timeout, receiver, slot);
    timer->start(milliseconds);
}
