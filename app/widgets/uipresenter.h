#pragma once
// Every modal box, file dialog, nested dialog, context menu and opened URL of the windows runs through the
// current presenter, so that a test can answer them from a script instead of blocking on a modal loop.

#include "app/messagetables.h"

#include <QMessageBox>
#include <QString>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QUrl;
class QWidget;

// A box that shows a message-table record.
struct RecordBox {
    int icon = MessageIconInformation; // MessageIcon value
    QString text;
    QString informativeText;
    bool stayOnTop = true;
};

class CUiPresenter
{
public:
    CUiPresenter() = default;
    virtual ~CUiPresenter() = default;
    CUiPresenter(const CUiPresenter &) = delete;
    CUiPresenter &operator=(const CUiPresenter &) = delete;

    // The presenter every window uses: the one installed last, or the real widgets.
    static CUiPresenter &Current();
    // Installs a presenter (null restores the real widgets) and returns the one it replaces. The caller keeps
    // ownership and restores the previous one before the presenter goes.
    static CUiPresenter *Install(CUiPresenter *presenter);

    // A question: a warning box with an empty title; returns the button chosen.
    virtual QMessageBox::StandardButton Ask(QWidget *parent, const QString &text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Yes |
                                                                                   QMessageBox::No,
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A warning box with an empty title and OK.
    virtual void Warn(QWidget *parent, const QString &text);
    // An information box with an empty title and OK.
    virtual void Inform(QWidget *parent, const QString &text);
    // A message-table record with its icon and OK.
    virtual void ShowRecord(QWidget *parent, const RecordBox &box);
    void ShowRecord(QWidget *parent, const ErrorMessageRecord &record, const QString &informativeText = QString(),
                    bool stayOnTop = true);
    void ShowRecord(QWidget *parent, const MessageAdviceRecord &record, int icon, bool stayOnTop = true);

    // File dialogs: caption, start folder and filters joined with ";;". The selected filter goes in and the
    // chosen one comes back. An empty name means cancelled.
    virtual QString OpenFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter = QString(), QString *selectedFilter = nullptr);
    virtual QString SaveFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter = QString(), QString *selectedFilter = nullptr);
    virtual QString ExistingDirectory(QWidget *parent, const QString &caption, const QString &folder);

    // Runs a nested modal dialog and returns its result.
    virtual int Exec(QDialog *dialog);
    // Runs a context menu at a global point; returns the chosen action or null.
    virtual QAction *ExecMenu(QMenu *menu, const QPoint &globalPoint);
    virtual bool OpenUrl(const QUrl &url);
};
