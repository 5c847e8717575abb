#include "mainwindow/messagepresenter.h"

#include <QMessageBox>

namespace {

MessagePresenter &Presenter()
{
    static MessagePresenter presenter;
    return presenter;
}

void ShowMessageBox(QWidget *parent, const MessageBoxContent &content)
{
    QMessageBox box(parent);
    box.setIcon(static_cast<QMessageBox::Icon>(content.icon));
    box.setText(content.text);
    if (!content.informativeText.isEmpty())
        box.setInformativeText(content.informativeText);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace

void SetMessagePresenter(MessagePresenter presenter)
{
    Presenter() = std::move(presenter);
}

void PresentMessage(QWidget *parent, const MessageBoxContent &content)
{
    if (Presenter())
        Presenter()(parent, content);
    else
        ShowMessageBox(parent, content);
}
