#pragma once
// Asks in which order the patches of a CGATS file are laid out, when the file itself does not say.

#include "chart/vcdialog.h"

#include <memory>

namespace Ui {
class SelectCgatsFormatDialog;
}

class CVCSelectCgatsFormat : public CVCDialog
{
    Q_OBJECT
public:
    explicit CVCSelectCgatsFormat(QWidget *parent);
    ~CVCSelectCgatsFormat() override;

    // 0 for "Visual", 1 for "Randam": the order argument of the model's second import stage.
    int GetPatchOrder() const;

private:
    std::unique_ptr<Ui::SelectCgatsFormatDialog> ui;
};
