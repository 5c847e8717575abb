#pragma once
// What an entry of the screenshot driver gets: the running program's model and main window, and the shots.
// An entry is a named script of screens; it runs inside the program's event loop.

#include <QList>
#include <QString>

#include <functional>

class CModel;
class CVCGraphicsView;
class QDialog;
class QWidget;

class ScreenShooter
{
public:
    ScreenShooter(CModel *model, QWidget *mainWindow, const QString &outDir, bool dryRun);

    CModel *Model() const { return m_model; }
    QWidget *MainWindow() const { return m_mainWindow; }
    // The entry's folder: pictures and any file an entry writes beside them.
    const QString &OutDir() const { return m_outDir; }

    // Puts the window over the whole screen, on top, and waits until it is exposed.
    bool Show(QWidget *window);
    // Waits until every view has painted again, then writes <outDir>/<screen>.png (not in a dry run).
    bool Capture(const QString &screen, const QList<CVCGraphicsView *> &views);

private:
    CModel *m_model;
    QWidget *m_mainWindow;
    QString m_outDir;
    bool m_dryRun;
};

using ScreenEntryScript = std::function<bool(ScreenShooter &shooter)>;

// Registers an entry at static initialisation: one object per entry source file. An entry with a start-up
// script also shoots while the program starts: the script runs from the start-up hook at the start of the given
// step (a StartupStep before the event loop), with a shooter that has neither model nor main window yet.
struct ScreenEntry {
    ScreenEntry(const char *name, ScreenEntryScript script);
    ScreenEntry(const char *name, int startupStep, ScreenEntryScript startupScript, ScreenEntryScript script);
};

struct ScreenStartupScript {
    int step = 0;
    ScreenEntryScript script; // empty: the entry shoots nothing during the start-up
};

// An entry that starts the program itself, as often as it needs (a workflow run): it gets the entry's picture
// folder and returns true when every step went well, having reported a failed one.
using ProgramEntryScript = std::function<bool(const QString &outDir, bool dryRun)>;
struct ProgramEntry {
    ProgramEntry(const char *name, ProgramEntryScript script);
};
ProgramEntryScript FindProgramEntry(const QString &name);

// The registered entries by name, program entries among them.
QList<QString> ScreenEntryNames();
ScreenEntryScript FindScreenEntry(const QString &name);
ScreenStartupScript FindScreenStartupScript(const QString &name);

// Reports a failed step of an entry on stderr and returns false.
bool ScreenFailed(const QString &what);

using DialogScript = std::function<bool(QDialog *dialog)>;
using DialogClose = std::function<void(QDialog *dialog)>;

// Shoots a dialog that is already in its modal loop: waits until it is exposed, runs the script (which sets the
// scene), takes the shot (none for an empty screen name), then closes the dialog with close, else with Escape, as
// a user would. False with the failure reported when a step fails or the dialog stays open.
bool ShootShownDialog(ScreenShooter &shooter, QDialog *dialog, const QString &screen,
                      const DialogScript &script = nullptr, const DialogClose &close = nullptr);

// Runs the dialog's exec with ShootShownDialog posted before it.
bool ShootModalDialog(ScreenShooter &shooter, QDialog *dialog, const QString &screen,
                      const DialogScript &script = nullptr, const DialogClose &close = nullptr);
