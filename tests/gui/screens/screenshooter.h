#pragma once
// What an entry of the screenshot driver gets: the running program's model and main window, and the shots.
// An entry is a named script of screens; it runs inside the program's event loop.

#include <QList>
#include <QString>

#include <functional>

class CModel;
class CVCGraphicsView;
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

// Registers an entry at static initialisation: one object per entry source file.
struct ScreenEntry {
    ScreenEntry(const char *name, ScreenEntryScript script);
};

// The registered entries by name.
QList<QString> ScreenEntryNames();
ScreenEntryScript FindScreenEntry(const QString &name);

// Reports a failed step of an entry on stderr and returns false.
bool ScreenFailed(const QString &what);
