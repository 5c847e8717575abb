#include "screenshooter.h"

#include "chart/vcgraphicsview.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QMap>
#include <QMetaObject>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kExposeTimeoutMs = 10000;
constexpr int kPaintTimeoutMs = 10000;
constexpr int kCaptureTimeoutMs = 60000;

QMap<QString, ScreenEntryScript> &Entries()
{
    static QMap<QString, ScreenEntryScript> entries;
    return entries;
}

QMap<QString, ProgramEntryScript> &ProgramEntries()
{
    static QMap<QString, ProgramEntryScript> entries;
    return entries;
}

QMap<QString, ScreenStartupScript> &StartupScripts()
{
    static QMap<QString, ScreenStartupScript> scripts;
    return scripts;
}

} // namespace

ScreenEntry::ScreenEntry(const char *name, ScreenEntryScript script)
{
    Entries().insert(QString::fromLatin1(name), std::move(script));
}

ScreenEntry::ScreenEntry(const char *name, int startupStep, ScreenEntryScript startupScript,
                         ScreenEntryScript script)
    : ScreenEntry(name, std::move(script))
{
    StartupScripts().insert(QString::fromLatin1(name), {startupStep, std::move(startupScript)});
}

ProgramEntry::ProgramEntry(const char *name, ProgramEntryScript script)
{
    ProgramEntries().insert(QString::fromLatin1(name), std::move(script));
}

ProgramEntryScript FindProgramEntry(const QString &name)
{
    return ProgramEntries().value(name);
}

QList<QString> ScreenEntryNames()
{
    QList<QString> names = Entries().keys() + ProgramEntries().keys();
    std::sort(names.begin(), names.end());
    return names;
}

ScreenEntryScript FindScreenEntry(const QString &name)
{
    return Entries().value(name);
}

ScreenStartupScript FindScreenStartupScript(const QString &name)
{
    return StartupScripts().value(name);
}

bool ScreenFailed(const QString &what)
{
    std::fprintf(stderr, "varemo_screens: %s\n", qPrintable(what));
    return false;
}

ScreenShooter::ScreenShooter(CModel *model, QWidget *mainWindow, const QString &outDir, bool dryRun)
    : m_model(model), m_mainWindow(mainWindow), m_outDir(outDir), m_dryRun(dryRun)
{
}

bool ScreenShooter::Show(QWidget *window)
{
    // Without a window manager under Xvfb the window keeps exactly this place, and covers the main window.
    window->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    window->show();
    window->raise();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window, kExposeTimeoutMs))
        return ScreenFailed(QStringLiteral("window not exposed"));
    return true;
}

bool ScreenShooter::Capture(const QString &screen, const QList<CVCGraphicsView *> &views)
{
    QList<bool> painted;
    QList<QMetaObject::Connection> connections;
    for (int i = 0; i < views.size(); ++i) {
        painted << false;
        connections << QObject::connect(views[i], &CVCGraphicsView::PaintFinished, [&painted, i] {
            painted[i] = true;
        });
        views[i]->viewport()->update();
    }
    const bool done = QTest::qWaitFor([&painted] { return !painted.contains(false); }, kPaintTimeoutMs);
    for (const QMetaObject::Connection &c : connections)
        QObject::disconnect(c);
    if (!done)
        return ScreenFailed(screen + QStringLiteral(": views not painted"));
    // Hands the painted frame to the display before the picture is taken.
    QCoreApplication::processEvents();
    if (m_dryRun)
        return true;

    if (!QDir().mkpath(m_outDir))
        return ScreenFailed(QStringLiteral("cannot make ") + m_outDir);
    const QString file = m_outDir + QLatin1Char('/') + screen + QStringLiteral(".png");
    QProcess import;
    import.setProcessChannelMode(QProcess::ForwardedChannels);
    import.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    if (!import.waitForFinished(kCaptureTimeoutMs) || import.exitStatus() != QProcess::NormalExit ||
        import.exitCode() != 0)
        return ScreenFailed(screen + QStringLiteral(": import failed"));
    return true;
}

bool ShootShownDialog(ScreenShooter &shooter, QDialog *dialog, const QString &screen, const DialogScript &script,
                      const DialogClose &close)
{
    constexpr int kExposeTimeoutMs = 10000;
    const QString what = screen.isEmpty() ? QString::fromLatin1(dialog->metaObject()->className()) : screen;
    bool ok = false;
    if (!QTest::qWaitForWindowExposed(dialog, kExposeTimeoutMs))
        ok = ScreenFailed(what + QStringLiteral(": dialog not exposed"));
    else
        ok = (!script || script(dialog)) && (screen.isEmpty() || shooter.Capture(screen, {}));
    if (dialog->isVisible()) {
        if (close)
            close(dialog);
        else
            QTest::keyClick(dialog, Qt::Key_Escape);
    }
    if (dialog->isVisible()) {
        ok = ScreenFailed(what + QStringLiteral(": the dialog stayed open"));
        dialog->reject();
    }
    return ok;
}

bool ShootModalDialog(ScreenShooter &shooter, QDialog *dialog, const QString &screen, const DialogScript &script,
                      const DialogClose &close)
{
    bool ok = false;
    bool shown = false;
    QTimer::singleShot(0, dialog, [&] {
        shown = true;
        ok = ShootShownDialog(shooter, dialog, screen, script, close);
    });
    dialog->exec();
    // A dialog whose exec ends before its loop runs (nothing to show) leaves the timer unfired.
    const QString what = screen.isEmpty() ? QString::fromLatin1(dialog->metaObject()->className()) : screen;
    return shown ? ok : ScreenFailed(what + QStringLiteral(": the dialog was not shown"));
}
