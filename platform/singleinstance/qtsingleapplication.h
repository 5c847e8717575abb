#pragma once
// A QApplication that knows whether another instance of the program runs, and passes messages to it.

#include <QApplication>
#include <QPointer>

#include <QWidget>
class SingleInstanceChannel;

class QtSingleApplication : public QApplication
{
    Q_OBJECT
public:
    QtSingleApplication(const QString &id, int &argc, char **argv);
    ~QtSingleApplication() override;

    bool isRunning() const;
    bool sendMessage(const QString &message, int timeout = 5000);
    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const { return m_window; }

public slots:
    void activateWindow();

signals:
    void messageReceived(const QString &message);

private:
    SingleInstanceChannel *m_channel = nullptr;
    QPointer<QWidget> m_window;
    bool m_activateOnMessage = false;
};

// Brings a window forward: restores it from minimised, raises and activates it.
void ActivateSingleInstanceWindow(QWidget *window);
