#include "mainwindow/vcinputchartlayout.h"

#include "ui_inputchartlayoutdialog.h"

#include <QPushButton>

#include <cmath>

namespace {

// Ceiling of n / d; 0 for a divisor that is no count (an empty box on a count outside the usable range).
int CeilDiv(int n, int d)
{
    if (n <= 0 || d <= 0)
        return 0;
    return static_cast<int>((static_cast<qint64>(n) + d - 1) / d);
}

int CeilSqrt(int n)
{
    return n > 0 ? static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n)))) : 0;
}

} // namespace

CVCInputChartLayout::CVCInputChartLayout(QWidget *parent, int patchCount)
    : CVCDialog(parent), ui(new Ui::InputChartLayoutDialog), m_patchCount(patchCount)
{
    ui->setupUi(this);
    ui->spinRow->setMaximum(MaxRows);
    ui->spinRow->setMinimum(CeilDiv(m_patchCount, MaxColumns));
    ui->spinColumn->setMaximum(MaxColumns);
    ui->spinColumn->setMinimum(CeilDiv(m_patchCount, MaxRows));
    connect(ui->spinRow, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &CVCInputChartLayout::spinValueChangedRow);
    connect(ui->spinColumn, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &CVCInputChartLayout::spinValueChangedColumn);

    // The row box may already sit at the start value once its minimum was applied, and then it emits nothing;
    // the columns must still follow it.
    const int before = ui->spinRow->value();
    ui->spinRow->setValue(CeilSqrt(m_patchCount));
    if (ui->spinRow->value() == before)
        spinValueChangedRow(before);
    RefreshCountLabel();

    // Above the limit the minima push past the maxima and rows x columns can fall below the count.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(m_patchCount >= 1 && m_patchCount <= MaxPatchCount);
}

CVCInputChartLayout::~CVCInputChartLayout() = default;

int CVCInputChartLayout::GetRowCount() const
{
    return ui->spinRow->value();
}

int CVCInputChartLayout::GetColumnCount() const
{
    return ui->spinColumn->value();
}

void CVCInputChartLayout::spinValueChangedRow(int value)
{
    const int columns = CeilDiv(m_patchCount, value);
    if (ui->spinColumn->value() == columns)
        return;
    ui->spinColumn->setValue(columns);
    RefreshCountLabel();
}

void CVCInputChartLayout::spinValueChangedColumn(int value)
{
    const int rows = CeilDiv(m_patchCount, value);
    if (ui->spinRow->value() == rows)
        return;
    ui->spinRow->setValue(rows);
    RefreshCountLabel();
}

void CVCInputChartLayout::RefreshCountLabel()
{
    ui->labelPatchCountValue->setText(
        QStringLiteral("%1 / %2").arg(ui->spinRow->value() * ui->spinColumn->value()).arg(m_patchCount));
}
