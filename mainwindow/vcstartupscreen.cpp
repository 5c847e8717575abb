#include "mainwindow/vcstartupscreen.h"

#include "app/widgets/versionlabels.h"
#include "mainwindow/childsingleshot.h"

#include <QPixmap>

namespace {

constexpr int kRetryMilliseconds = 1000;

} // namespace

CVCStartupScreen::CVCStartupScreen() : QSplashScreen(QPixmap())
{
    Q_INIT_RESOURCE(Resource);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setPixmap(QPixmap(QStringLiteral(":/CVaremo/Resource/splash.png")));
    AddVersionLabels(this);
}

void CVCStartupScreen::SetMainWindow(QWidget *window)
{
    m_window = window;
}

void CVCStartupScreen::timeout()
{
    if (m_handedOver)
        return;
    if (!m_window) {
        ArmChildSingleShot(this, kRetryMilliseconds, &CVCStartupScreen::timeout);
        return;
    }
    m_handedOver = true;
    m_window->show();
    finish(m_window);
}
