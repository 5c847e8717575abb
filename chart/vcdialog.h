#pragma once
// The base of every dialog: title, system menu and close button always present, and Return or Enter never
// closes the dialog through its default button (users type values and press Return to confirm a field).

#include <QDialog>

class CVCDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CVCDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
