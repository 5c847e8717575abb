#pragma once
// The About dialog: the product picture with the version and notice lines, and a Close button.

#include "chart/vcdialog.h"

#include <memory>

namespace Ui {
class VersionDialog;
}

class CVCVersion : public CVCDialog
{
    Q_OBJECT
public:
    explicit CVCVersion(QWidget *parent);
    ~CVCVersion() override;

private:
    std::unique_ptr<Ui::VersionDialog> ui;
};
