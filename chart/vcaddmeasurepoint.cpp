#include "chart/vcaddmeasurepoint.h"

#include "ui_addmeasurepointdialog.h"

#include <QPushButton>

namespace {

constexpr int kSmallestPatch = 600; // 6.00 mm
constexpr int kMaxPointCount = 15000;

} // namespace

CVCAddMeasurePoint::CVCAddMeasurePoint(QWidget *parent, CModel *model, const QRect &region)
    : CVCDialog(parent, Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
      ui(new Ui::AddMeasurePointDialog),
      m_model(model),
      m_region(region)
{
    ui->setupUi(this);
    connect(ui->spinRow, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &CVCAddMeasurePoint::valueChangedSpinRow);
    connect(ui->spinColumn, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &CVCAddMeasurePoint::valueChangedSpinColumn);
    connect(this, &CVCAddMeasurePoint::okButtonEnable, ui->buttonBox->button(QDialogButtonBox::Ok),
            &QPushButton::setEnabled);
    emit okButtonEnable(false);

    // QRect's bottom and right are inclusive, so the extent is the difference plus one.
    const int rows = (region.bottom() - region.top() + 1) / kSmallestPatch;
    const int columns = (region.right() - region.left() + 1) / kSmallestPatch;
    // The value changes run the slots, which set the OK button and the other box's maximum.
    ui->spinRow->setValue(rows);
    ui->spinColumn->setValue(columns);
    ui->spinRow->setMinimum(rows >= 1 ? 1 : 0);
    ui->spinColumn->setMinimum(columns >= 1 ? 1 : 0);
}

CVCAddMeasurePoint::~CVCAddMeasurePoint() = default;

int CVCAddMeasurePoint::GetRowCount() const
{
    return ui->spinRow->value();
}

int CVCAddMeasurePoint::GetColumnCount() const
{
    return ui->spinColumn->value();
}

void CVCAddMeasurePoint::valueChangedSpinRow(int value)
{
    if (value > 0 && ui->spinColumn->value() > 0) {
        emit okButtonEnable(true);
        ui->spinColumn->setMaximum(kMaxPointCount / ui->spinRow->value());
    } else {
        emit okButtonEnable(false);
    }
}

void CVCAddMeasurePoint::valueChangedSpinColumn(int value)
{
    if (value > 0 && ui->spinRow->value() > 0) {
        emit okButtonEnable(true);
        ui->spinRow->setMaximum(kMaxPointCount / ui->spinColumn->value());
    } else {
        emit okButtonEnable(false);
    }
}
