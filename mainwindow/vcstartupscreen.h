#pragma once
// The splash screen shown while the program starts. It hands over to the main window once it has been given
// one and its timer fires.

#include <QPointer>
#include <QSplashScreen>

class CVCStartupScreen : public QSplashScreen
{
    Q_OBJECT
public:
    CVCStartupScreen();

    void SetMainWindow(QWidget *window);

public slots:
    // Shows the main window and finishes on it; without a window yet, tries again in 1000 ms. Hands over once:
    // a later call (the start-up timer after an early hand-over) leaves the windows as they are.
    void timeout();

private:
    QPointer<QWidget> m_window;
    bool m_handedOver = false;
};
