#include "mainwindow/vcselectcgatsformat.h"

#include "ui_selectcgatsformatdialog.h"

CVCSelectCgatsFormat::CVCSelectCgatsFormat(QWidget *parent) : CVCDialog(parent), ui(new Ui::SelectCgatsFormatDialog)
{
    ui->setupUi(this);
}

CVCSelectCgatsFormat::~CVCSelectCgatsFormat() = default;

int CVCSelectCgatsFormat::GetPatchOrder() const
{
    return ui->radioVisual->isChecked() ? 0 : 1;
}
