#pragma once
// Asks how the patches read from a chart file are arranged: rows and columns whose product covers the
// patch count. Each spin box follows the other, so the shown layout never holds fewer cells than patches.

#include "chart/vcdialog.h"

#include <memory>

namespace Ui {
class InputChartLayoutDialog;
}

class CVCInputChartLayout : public CVCDialog
{
    Q_OBJECT
public:
    static constexpr int MaxRows = 250;
    static constexpr int MaxColumns = 60;
    // More patches than this fit no layout; the dialog then keeps OK disabled.
    static constexpr int MaxPatchCount = MaxRows * MaxColumns;

    CVCInputChartLayout(QWidget *parent, int patchCount);
    ~CVCInputChartLayout() override;

    int GetRowCount() const;
    int GetColumnCount() const;

public slots:
    void spinValueChangedRow(int value);
    void spinValueChangedColumn(int value);

private:
    void RefreshCountLabel();

    std::unique_ptr<Ui::InputChartLayoutDialog> ui;
    int m_patchCount;
};
