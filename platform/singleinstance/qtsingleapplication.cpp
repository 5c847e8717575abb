#include "qtsingleapplication.h"

#include "singleinstancechannel.h"

#include <QWidget>

QtSingleApplication::QtSingleApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv), m_channel(new SingleInstanceChannel(SingleInstanceChannel::KeyFor(id), this))
{
    connect(m_channel, &SingleInstanceChannel::messageReceived, this, &QtSingleApplication::messageReceived);
}

QtSingleApplication::~QtSingleApplication() = default;

bool QtSingleApplication::isRunning() const
{
    return m_channel->isRunning();
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    return m_channel->sendMessage(message, timeout);
}

void QtSingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    m_window = window;
    if (activateOnMessage == m_activateOnMessage)
        return;
    m_activateOnMessage = activateOnMessage;
    if (activateOnMessage)
        connect(m_channel, &SingleInstanceChannel::messageReceived, this, &QtSingleApplication::activateWindow);
    else
        disconnect(m_channel, &SingleInstanceChannel::messageReceived, this, &QtSingleApplication::activateWindow);
}

void QtSingleApplication::activateWindow()
{
    ActivateSingleInstanceWindow(m_window);
}

void ActivateSingleInstanceWindow(QWidget *window)
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}
