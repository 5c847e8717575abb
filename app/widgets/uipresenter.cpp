#include "app/widgets/uipresenter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QUrl>

namespace {

CUiPresenter *g_installed = nullptr;

QMessageBox::Icon BoxIcon(int icon)
{
    switch (icon) {
    case MessageIconWarning:
        return QMessageBox::Warning;
    case MessageIconCritical:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Information;
    }
}

} // namespace

CUiPresenter &CUiPresenter::Current()
{
    static CUiPresenter widgets;
    return g_installed ? *g_installed : widgets;
}

CUiPresenter *CUiPresenter::Install(CUiPresenter *presenter)
{
    CUiPresenter *previous = g_installed;
    g_installed = presenter;
    return previous;
}

QMessageBox::StandardButton CUiPresenter::Ask(QWidget *parent, const QString &text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::warning(parent, QString(), text, buttons, defaultButton);
}

void CUiPresenter::Warn(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QString(), text);
}

void CUiPresenter::Inform(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QString(), text);
}

void CUiPresenter::ShowRecord(QWidget *parent, const RecordBox &content)
{
    QMessageBox box(parent);
    box.setIcon(BoxIcon(content.icon));
    box.setText(content.text);
    if (!content.informativeText.isEmpty())
        box.setInformativeText(content.informativeText);
    box.setStandardButtons(QMessageBox::Ok);
    if (content.stayOnTop)
        box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.exec();
}

void CUiPresenter::ShowRecord(QWidget *parent, const ErrorMessageRecord &record, const QString &informativeText,
                              bool stayOnTop)
{
    ShowRecord(parent, RecordBox{record.icon, record.text, informativeText, stayOnTop});
}

void CUiPresenter::ShowRecord(QWidget *parent, const MessageAdviceRecord &record, int icon, bool stayOnTop)
{
    ShowRecord(parent, RecordBox{icon, record.message, record.advice, stayOnTop});
}

QString CUiPresenter::OpenFileName(QWidget *parent, const QString &caption, const QString &folder,
                                   const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter, selectedFilter);
}

QString CUiPresenter::SaveFileName(QWidget *parent, const QString &caption, const QString &folder,
                                   const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getSaveFileName(parent, caption, folder, filter, selectedFilter);
}

QString CUiPresenter::ExistingDirectory(QWidget *parent, const QString &caption, const QString &folder)
{
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}

int CUiPresenter::Exec(QDialog *dialog)
{
    return dialog->exec();
}

QAction *CUiPresenter::ExecMenu(QMenu *menu, const QPoint &globalPoint)
{
    return menu->exec(globalPoint);
}

bool CUiPresenter::OpenUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
