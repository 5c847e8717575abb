#include "chart/vcdialog.h"

#include <QKeyEvent>

CVCDialog::CVCDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
}

void CVCDialog::keyPressEvent(QKeyEvent *event)
{
    // Accepted and dropped, so QDialog never sees it and no default button fires. A focused push button
    // still handles Return itself before the event gets here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
