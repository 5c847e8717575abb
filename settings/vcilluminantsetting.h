#pragma once
// The user illuminants: up to five light-source spectra kept by the model. Spectra come in from the handheld
// instrument, from the Lumet's stored measurements or from light-source files; each can be plotted, renamed,
// exported and deleted. Built once by the main window and run with exec.

#include "chart/vcdialog.h"

#include "app/illuminantdata.h"
#include "app/records.h"

#include <memory>

class CModel;
class QKeyEvent;
class QMenu;
class QTreeWidgetItem;

namespace QtCharts {
class QChart;
class QChartView;
} // namespace QtCharts

namespace Ui {
class IlluminantSettingDialog;
}

class CVCIlluminantSetting : public CVCDialog
{
    Q_OBJECT
public:
    CVCIlluminantSetting(CModel *model, QWidget *parent);
    ~CVCIlluminantSetting() override;

    // Column 1 of an instrument entry. state 1: kind 1 Brisa, 2 Calen, 3 the Lumet or, on the handheld entry, a
    // Calen BT2; state 0: "Disconnect". Other kinds leave the text as it is.
    static void SetConnectionText(int state, int kind, int number, QTreeWidgetItem *entry);

public slots:
    void done(int result) override;
    int exec() override;
    void SelectIlluminantListItem(QTreeWidgetItem *item);
    void treeIlluminantMenu(const QPoint &point);
    void treeIlluminantItemChanged(QTreeWidgetItem *item, int column);
    void DeleteIlluminantData();
    void RenameIlluminantData();
    void SelectInstrumentItem(QTreeWidgetItem *item);
    void treeInstrumentItemChanged(QTreeWidgetItem *item, int column);
    void treeIlluminantItemDoubleClicked(QTreeWidgetItem *item, int column);
    void pushDataImport();
    void pushFileImport();
    void pushFileExport();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Initialize();
    void SetButtonBox();
    void UpdateIlluminantList();
    void AddIlluminantItem(const UserIlluminantSlot &slot);
    void UpdateImportButtons();
    QTreeWidgetItem *FindIlluminantItem(const QString &name) const;
    void ClearSpectrum();
    void ShowSpectrum(const EnvironLightData &record);
    int UpdateStoredDataItems(bool on);

    // The model's light-source pair for an instrument entry or stored-measurement row.
    void InstrumentSource(QTreeWidgetItem *item, int *kind, int *index) const;
    // Points the model's selection at the rows the user sees, after an import moved it to the new entry.
    void RestoreSelection();
    // After a failed write of the user illuminants the rows follow the model's slots again.
    void RebuildAfterWriteFailure(bool report);
    void StartRename(QTreeWidgetItem *item);
    QString HandheldModelName() const;

    std::unique_ptr<Ui::IlluminantSettingDialog> ui;
    QMenu *m_menu = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_renameAction = nullptr;
    CModel *m_model;
    QtCharts::QChart *m_chart = nullptr;
    QtCharts::QChartView *m_chartView = nullptr;
};
