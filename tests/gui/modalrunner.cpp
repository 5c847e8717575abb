#include "modalrunner.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

int ModalRunner::Run(QDialog *dialog, const std::function<void(QDialog *)> &script)
{
    QPointer<QDialog> guard(dialog);
    QTimer::singleShot(0, dialog, [guard, script] {
        if (script && guard)
            script(guard);
        // Rejecting a dialog the script closed already would end a second, unrelated loop.
        if (guard && guard->isVisible())
            guard->reject();
    });
    return dialog->exec();
}
