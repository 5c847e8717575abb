#pragma once
// Every message box of the windows goes through one function, so that tests can record boxes instead of
// blocking on a modal one.

#include <QString>

#include <functional>

class QWidget;

struct MessageBoxContent {
    int icon = 0; // QMessageBox::Icon value
    QString text;
    QString informativeText;
};

using MessagePresenter = std::function<void(QWidget *parent, const MessageBoxContent &content)>;

// Replaces the presenter; an empty one restores the modal stay-on-top QMessageBox with an OK button.
void SetMessagePresenter(MessagePresenter presenter);
void PresentMessage(QWidget *parent, const MessageBoxContent &content);
