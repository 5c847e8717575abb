#include "scriptedpresenter.h"

#include "modalrunner.h"

#include <QAction>
#include <QDialog>
#include <QMenu>

namespace {

const char *KindName(ScriptedPresenter::Kind kind)
{
    switch (kind) {
    case ScriptedPresenter::Kind::Ask:
        return "Ask";
    case ScriptedPresenter::Kind::Warn:
        return "Warn";
    case ScriptedPresenter::Kind::Inform:
        return "Inform";
    case ScriptedPresenter::Kind::Record:
        return "ShowRecord";
    case ScriptedPresenter::Kind::OpenFile:
        return "OpenFileName";
    case ScriptedPresenter::Kind::SaveFile:
        return "SaveFileName";
    case ScriptedPresenter::Kind::Directory:
        return "ExistingDirectory";
    case ScriptedPresenter::Kind::Dialog:
        return "Exec";
    case ScriptedPresenter::Kind::Menu:
        return "ExecMenu";
    case ScriptedPresenter::Kind::Url:
        return "OpenUrl";
    }
    return "?";
}

QAction *FindAction(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->menu()) {
            if (QAction *found = FindAction(action->menu(), text))
                return found;
        } else if (!action->isSeparator() && action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

} // namespace

ScriptedPresenter::ScriptedPresenter() : m_previous(CUiPresenter::Install(this)) {}

ScriptedPresenter::~ScriptedPresenter()
{
    CUiPresenter::Install(m_previous);
}

ScriptedPresenter &ScriptedPresenter::Expect(Expected expected)
{
    m_expected.append(std::move(expected));
    return *this;
}

ScriptedPresenter &ScriptedPresenter::ExpectAsk(const QString &text, QMessageBox::StandardButton answer)
{
    Expected e;
    e.kind = Kind::Ask;
    e.text = text;
    e.button = answer;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectWarn(const QString &text)
{
    Expected e;
    e.kind = Kind::Warn;
    e.text = text;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectInform(const QString &text)
{
    Expected e;
    e.kind = Kind::Inform;
    e.text = text;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectRecord(const QString &text)
{
    Expected e;
    e.kind = Kind::Record;
    e.text = text;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectOpenFile(const QString &caption, const QString &fileName,
                                                     const QString &chosenFilter)
{
    Expected e;
    e.kind = Kind::OpenFile;
    e.text = caption;
    e.answer = fileName;
    e.filter = chosenFilter;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectSaveFile(const QString &caption, const QString &fileName,
                                                     const QString &chosenFilter)
{
    Expected e;
    e.kind = Kind::SaveFile;
    e.text = caption;
    e.answer = fileName;
    e.filter = chosenFilter;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectDirectory(const QString &caption, const QString &folder)
{
    Expected e;
    e.kind = Kind::Directory;
    e.text = caption;
    e.answer = folder;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectDialog(const QString &className, std::function<void(QDialog *)> handler)
{
    Expected e;
    e.kind = Kind::Dialog;
    e.text = className;
    e.handler = std::move(handler);
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectMenu(const QString &title, const QString &actionText)
{
    Expected e;
    e.kind = Kind::Menu;
    e.text = title;
    e.answer = actionText;
    return Expect(std::move(e));
}

ScriptedPresenter &ScriptedPresenter::ExpectUrl(const QUrl &url)
{
    Expected e;
    e.kind = Kind::Url;
    e.text = url.toString();
    return Expect(std::move(e));
}

QString ScriptedPresenter::Problems() const
{
    QStringList all = m_problems;
    for (const Expected &e : m_expected)
        all << QStringLiteral("expected %1 \"%2\" never came").arg(QLatin1String(KindName(e.kind)), e.text);
    return all.join(QLatin1Char('\n'));
}

bool ScriptedPresenter::Take(const Call &call, Expected *expected)
{
    m_calls.append(call);
    if (!m_expected.isEmpty()) {
        const Expected &head = m_expected.first();
        if (head.kind == call.kind && (head.text.isEmpty() || head.text == call.text)) {
            *expected = m_expected.takeFirst();
            return true;
        }
    }
    m_problems << QStringLiteral("unexpected %1 \"%2\"").arg(QLatin1String(KindName(call.kind)), call.text);
    return false;
}

QMessageBox::StandardButton ScriptedPresenter::Ask(QWidget *parent, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    Call call;
    call.kind = Kind::Ask;
    call.parent = parent;
    call.text = text;
    call.icon = MessageIconWarning;
    call.buttons = buttons;
    call.defaultButton = defaultButton;
    Expected e;
    if (Take(call, &e)) {
        if (buttons.testFlag(e.button))
            return e.button;
        m_problems << QStringLiteral("Ask \"%1\" has no button %2").arg(text).arg(int(e.button));
    }
    if (buttons.testFlag(QMessageBox::Cancel))
        return QMessageBox::Cancel;
    if (buttons.testFlag(QMessageBox::No))
        return QMessageBox::No;
    return QMessageBox::NoButton;
}

void ScriptedPresenter::Warn(QWidget *parent, const QString &text)
{
    Call call;
    call.kind = Kind::Warn;
    call.parent = parent;
    call.text = text;
    call.icon = MessageIconWarning;
    call.buttons = QMessageBox::Ok;
    Expected e;
    Take(call, &e);
}

void ScriptedPresenter::Inform(QWidget *parent, const QString &text)
{
    Call call;
    call.kind = Kind::Inform;
    call.parent = parent;
    call.text = text;
    call.icon = MessageIconInformation;
    call.buttons = QMessageBox::Ok;
    Expected e;
    Take(call, &e);
}

void ScriptedPresenter::ShowRecord(QWidget *parent, const RecordBox &box)
{
    Call call;
    call.kind = Kind::Record;
    call.parent = parent;
    call.text = box.text;
    call.informativeText = box.informativeText;
    call.icon = box.icon;
    call.stayOnTop = box.stayOnTop;
    call.buttons = QMessageBox::Ok;
    Expected e;
    Take(call, &e);
}

QString ScriptedPresenter::FileName(Kind kind, QWidget *parent, const QString &caption, const QString &folder,
                                    const QString &filter, QString *selectedFilter)
{
    Call call;
    call.kind = kind;
    call.parent = parent;
    call.text = caption;
    call.folder = folder;
    call.filter = filter;
    if (selectedFilter)
        call.selectedFilter = *selectedFilter;
    Expected e;
    if (!Take(call, &e))
        return QString();
    if (selectedFilter && !e.filter.isEmpty())
        *selectedFilter = e.filter;
    return e.answer;
}

QString ScriptedPresenter::OpenFileName(QWidget *parent, const QString &caption, const QString &folder,
                                        const QString &filter, QString *selectedFilter)
{
    return FileName(Kind::OpenFile, parent, caption, folder, filter, selectedFilter);
}

QString ScriptedPresenter::SaveFileName(QWidget *parent, const QString &caption, const QString &folder,
                                        const QString &filter, QString *selectedFilter)
{
    return FileName(Kind::SaveFile, parent, caption, folder, filter, selectedFilter);
}

QString ScriptedPresenter::ExistingDirectory(QWidget *parent, const QString &caption, const QString &folder)
{
    return FileName(Kind::Directory, parent, caption, folder, QString(), nullptr);
}

int ScriptedPresenter::Exec(QDialog *dialog)
{
    Call call;
    call.kind = Kind::Dialog;
    call.parent = dialog->parentWidget();
    call.text = QString::fromLatin1(dialog->metaObject()->className());
    Expected e;
    // An unexpected dialog still runs its modal loop, only to be rejected at once.
    const bool expected = Take(call, &e);
    return ModalRunner::Run(dialog, expected ? e.handler : std::function<void(QDialog *)>());
}

QAction *ScriptedPresenter::ExecMenu(QMenu *menu, const QPoint &)
{
    Call call;
    call.kind = Kind::Menu;
    call.parent = menu->parentWidget();
    call.text = menu->title();
    Expected e;
    if (!Take(call, &e) || e.answer.isEmpty())
        return nullptr;
    QAction *action = FindAction(menu, e.answer);
    if (!action || !action->isEnabled()) {
        m_problems << QStringLiteral("menu \"%1\" has no enabled action \"%2\"").arg(call.text, e.answer);
        return nullptr;
    }
    // What the real menu does when the action is chosen; the menu relays the action's trigger itself.
    action->activate(QAction::Trigger);
    return action;
}

bool ScriptedPresenter::OpenUrl(const QUrl &url)
{
    Call call;
    call.kind = Kind::Url;
    call.text = url.toString();
    Expected e;
    return Take(call, &e);
}
