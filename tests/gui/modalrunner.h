#pragma once
// Runs a dialog's own modal loop with a script that drives it from inside the loop.

#include <functional>

class QDialog;

namespace ModalRunner {

// Posts the script with a zero-time timer and runs the dialog's exec(); a script that returns without closing
// the dialog has it rejected, so the loop always ends. Returns what exec() returned.
int Run(QDialog *dialog, const std::function<void(QDialog *)> &script);

} // namespace ModalRunner
