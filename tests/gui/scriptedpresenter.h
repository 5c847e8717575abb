#pragma once
// A presenter that answers boxes, file dialogs, nested dialogs, context menus and URLs from a queue of expected
// calls. Every call is recorded; a call that does not match the head of the queue is recorded as a problem and
// answered safely (Cancel or No, empty name, dialog rejected, no action), so nothing blocks. A test ends with
//     QVERIFY2(script.Done(), qPrintable(script.Problems()));
// The presenter installs itself while it lives and restores the one it replaced.

#include "app/widgets/uipresenter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class ScriptedPresenter : public CUiPresenter
{
public:
    enum class Kind { Ask, Warn, Inform, Record, OpenFile, SaveFile, Directory, Dialog, Menu, Url };

    // One call as the window made it.
    struct Call {
        Kind kind = Kind::Warn;
        QWidget *parent = nullptr;
        QString text; // box text, file-dialog caption, dialog class, menu title or URL
        QString informativeText;
        int icon = 0;
        bool stayOnTop = false;
        QMessageBox::StandardButtons buttons = QMessageBox::NoButton;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QString folder;
        QString filter;
        QString selectedFilter; // as it came in
    };

    ScriptedPresenter();
    ~ScriptedPresenter() override;

    // Expectations, answered in order. An empty text matches any text of that kind.
    ScriptedPresenter &ExpectAsk(const QString &text, QMessageBox::StandardButton answer);
    ScriptedPresenter &ExpectWarn(const QString &text);
    ScriptedPresenter &ExpectInform(const QString &text);
    ScriptedPresenter &ExpectRecord(const QString &text);
    // Matched by caption; answered with the name and, when not empty, the chosen filter.
    ScriptedPresenter &ExpectOpenFile(const QString &caption, const QString &fileName,
                                      const QString &chosenFilter = QString());
    ScriptedPresenter &ExpectSaveFile(const QString &caption, const QString &fileName,
                                      const QString &chosenFilter = QString());
    ScriptedPresenter &ExpectDirectory(const QString &caption, const QString &folder);
    // Matched by the dialog's class name; the handler drives the dialog inside its real modal loop, which is
    // rejected when the handler leaves it open.
    ScriptedPresenter &ExpectDialog(const QString &className, std::function<void(QDialog *)> handler);
    // Matched by the menu's title; answered with the enabled action of that text (searched in submenus too),
    // which is triggered as the real menu would, or with none when the text is empty.
    ScriptedPresenter &ExpectMenu(const QString &title, const QString &actionText);
    ScriptedPresenter &ExpectUrl(const QUrl &url);

    const QList<Call> &Calls() const { return m_calls; }
    // Unexpected calls, unanswerable expectations and expectations never reached.
    QString Problems() const;
    bool Done() const { return m_expected.isEmpty() && m_problems.isEmpty(); }

    QMessageBox::StandardButton Ask(QWidget *parent, const QString &text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override;
    void Warn(QWidget *parent, const QString &text) override;
    void Inform(QWidget *parent, const QString &text) override;
    void ShowRecord(QWidget *parent, const RecordBox &box) override;
    using CUiPresenter::ShowRecord;
    QString OpenFileName(QWidget *parent, const QString &caption, const QString &folder, const QString &filter,
                         QString *selectedFilter) override;
    QString SaveFileName(QWidget *parent, const QString &caption, const QString &folder, const QString &filter,
                         QString *selectedFilter) override;
    QString ExistingDirectory(QWidget *parent, const QString &caption, const QString &folder) override;
    int Exec(QDialog *dialog) override;
    QAction *ExecMenu(QMenu *menu, const QPoint &globalPoint) override;
    bool OpenUrl(const QUrl &url) override;

private:
    struct Expected {
        Kind kind = Kind::Warn;
        QString text;
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        QString answer; // file name, folder or action text
        QString filter;
        std::function<void(QDialog *)> handler;
    };

    ScriptedPresenter &Expect(Expected expected);
    // Records the call and takes the matching head of the queue; false (and a problem) when it does not match.
    bool Take(const Call &call, Expected *expected);
    QString FileName(Kind kind, QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter, QString *selectedFilter);

    QList<Expected> m_expected;
    QList<Call> m_calls;
    QStringList m_problems;
    CUiPresenter *m_previous = nullptr;
};
