#include "mainwindow/vcstartupscreen.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace {

QPixmap SplashPixmap()
{
    QPixmap pixmap(480, 280);
    pixmap.fill(QColor(32, 64, 112));
    QPainter painter(&pixmap);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPointSize(28);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QCoreApplication::applicationName());
    return pixmap;
}

} // namespace

CVCStartupScreen::CVCStartupScreen() : QSplashScreen(SplashPixmap())
{
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
}

void CVCStartupScreen::SetMainWindow(QWidget *window)
{
    m_window = window;
}

void CVCStartupScreen::timeout()
{
    if (m_window) {
        m_window->show();
        finish(m_window);
        return;
    }
    QTimer::singleShot(1000, this, &CVCStartupScreen::timeout);
}
