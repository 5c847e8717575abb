// The file actions: new, open (with the rows-by-columns and patch-order questions), edit, register from
// recognition, save as XML or TIFF pages, and export of measurement data.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/constants.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "app/texthelpers.h"
#include "app/widgets/uipresenter.h"
#include "chart/vccreatechart.h"
#include "mainwindow/chartimagepath.h"
#include "mainwindow/fileactionnames.h"
#include "mainwindow/vcinputchartlayout.h"
#include "mainwindow/vcselectcgatsformat.h"

#include <QFileInfo>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kEditModeEdit = 0;
constexpr int kEditModeLimitReached = 1;
constexpr int kEditModeNew = 2;

constexpr int kImportXml = 0;
constexpr int kImportCgats = 3;
// What the first import stage says the file lacks.
constexpr int kNeedsPatchOrder = 4;
constexpr int kNeedsLayout = 5;
constexpr int kNeedsTargetLayout = 8;

constexpr int kReadFailedMessage = 5;
constexpr int kLoadFailedMessage = 3;
constexpr int kSaveFailedMessage = 2;
constexpr int kRegisterFailedMessage = 58;
constexpr int kChartItemResult = 121;
constexpr int kSelectListResult = 122;
constexpr int kSelectListMessage = 49;
constexpr int kPaperWhiteResult = 123;
constexpr int kPaperWhiteMessage = 33;
constexpr int kUnusableCharsResult = 127;
constexpr int kUnusableCharsMessage = 47;
constexpr int kNoConditionResult = 129;
constexpr int kNoConditionMessage = 59;
constexpr int kTooManyPatchesResult = 130;
constexpr int kEditorRefusedResult = 131;

// A chart with a QR code carries its name and page number in the code, which holds only this much.
constexpr int kMaxQrChartName = 16;
constexpr int kMaxQrChartPages = 100;

const char *const kChartNamePattern = "[A-Za-z0-9 \\$%\\+\\-\\_]+";

QStringList ImportFilters()
{
    return {QStringLiteral("xml File (*.xml)"), QStringLiteral("csv File (*.csv)"),
            QStringLiteral("cxf File (*.cxf)"), QStringLiteral("cgats File (*.txt)")};
}

QString FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

// The editor runs under the chart-edit status, which routes the model's messages to it.
void RunChartEditor(CModel *model, CVCCreateChart *editor)
{
    model->SetAppStatus(CModel::StatusChartEdit);
    CUiPresenter::Current().Exec(editor);
    model->SetAppStatus(CModel::StatusMainWindow);
}

QString OverwriteQuestion(const QString &fileName)
{
    return fileName + CVCMainWindow::tr(" already exists. Are you sure you want to overwrite?");
}

} // namespace

void CVCMainWindow::ConnectFileSignals()
{
    connect(ui->actionFileNewChart, &QAction::triggered, this, &CVCMainWindow::actionFileNewChartTriggered);
    connect(ui->actionFileOpen, &QAction::triggered, this, &CVCMainWindow::actionFileOpenTriggered);
    connect(ui->actionFileSaveMeasureData, &QAction::triggered, this,
            &CVCMainWindow::actionFileSaveMeasureDataTriggered);
    connect(ui->pushNewChart, &QPushButton::clicked, this, &CVCMainWindow::actionFileNewChartTriggered);
    connect(ui->pushEditChart, &QPushButton::clicked, this, &CVCMainWindow::actionModifyDesignationTriggered);
}

QString CVCMainWindow::FileDialogStartFolder() const
{
    return FileDialogFolder(m_model->GetLastFolder());
}

void CVCMainWindow::actionFileNewChartTriggered()
{
    if (m_model->CheckDesignationChartLimit())
        return;
    CVCCreateChart editor(m_model, kEditModeNew, this);
    RunChartEditor(m_model, &editor);
}

void CVCMainWindow::actionFileOpenTriggered()
{
    if (m_model->CheckDesignationChartLimit())
        return;
    ImportChartFile();
    // Reports at once when this import filled the last free place.
    m_model->CheckDesignationChartLimit();
}

void CVCMainWindow::ImportChartFile()
{
    const QStringList filters = ImportFilters();
    const int preselected = m_model->GetOpenFilterIndex();
    QString selectedFilter = filters.value(preselected, filters.first());
    const QString fileName = CUiPresenter::Current().OpenFileName(this, tr("Open"), FileDialogStartFolder(),
                                                                  filters.join(QStringLiteral(";;")),
                                                                  &selectedFilter);
    if (fileName.isEmpty())
        return;
    m_model->SetLastFolder(FolderOf(fileName));
    const int filterIndex = std::max(0, int(filters.indexOf(selectedFilter)));
    m_model->SetImportFilterIndex(filterIndex);

    ChartDefinitionDataSheets chart;
    InitChartDefinitionData(&chart);
    int kind = 0;
    int count = 0;
    int result = m_model->ImportChartDefinition(&chart, &kind, &count, fileName, filterIndex);
    if (result != 0 && count > 0 && (filterIndex == kImportXml || filterIndex == kImportCgats)) {
        if (kind == kNeedsPatchOrder) {
            CVCSelectCgatsFormat dialog(this);
            if (CUiPresenter::Current().Exec(&dialog) != QDialog::Accepted) {
                ClearChartDefinitionData(&chart);
                return;
            }
            result = m_model->ImportChartDefinitionCgats(&chart, fileName, dialog.GetPatchOrder());
        } else if (kind == kNeedsLayout || kind == kNeedsTargetLayout) {
            if (count > CVCInputChartLayout::MaxPatchCount) {
                // No layout the dialog offers holds them all.
                result = kTooManyPatchesResult;
            } else {
                CVCInputChartLayout dialog(this, count);
                if (CUiPresenter::Current().Exec(&dialog) != QDialog::Accepted) {
                    ClearChartDefinitionData(&chart);
                    return;
                }
                result = kind == kNeedsLayout
                             ? m_model->ImportChartDefinitionWithLayout(&chart, fileName, dialog.GetRowCount(),
                                                                        dialog.GetColumnCount())
                             : m_model->ImportChartDefinitionTargetDescription(
                                   &chart, fileName, dialog.GetRowCount(), dialog.GetColumnCount());
            }
        }
    }

    m_model->ReportError(result, kReadFailedMessage, false);
    if (result == 0) {
        const QString name = DefaultChartName(chart.ChartName, fileName);
        if (!name.isEmpty()) {
            bool dropped = false;
            const QString kept = KeepMatchingChars(&dropped, name, QLatin1String(kChartNamePattern));
            if (dropped)
                m_model->ReportError(kUnusableCharsResult, kUnusableCharsMessage, false);
            if (!kept.isEmpty())
                chart.ChartName = kept;
        }
        m_model->CreateDesignationChart(&chart);
    }
    ClearChartDefinitionData(&chart);
}

void CVCMainWindow::actionModifyDesignationTriggered()
{
    QTreeWidgetItem *item = ui->treeDesignation->currentItem();
    if (!item)
        return;
    int measureId = -1;
    bool ok = true;
    if (QTreeWidgetItem *parent = item->parent()) {
        measureId = item->data(0, Qt::UserRole).toInt(&ok);
        if (!ok)
            return;
        item = parent;
    }
    const int chartId = item->data(0, Qt::UserRole).toInt(&ok);
    if (!ok)
        return;

    ChartDefinitionDataSheets chart;
    InitChartDefinitionData(&chart);
    int result = m_model->ReadDesignationChart(chartId, &chart);
    if (result != 0) {
        ClearChartDefinitionData(&chart);
        m_model->ReportError(result, kLoadFailedMessage, false);
        return;
    }

    CVCCreateChart editor(m_model, m_model->IsDesignationChartLimitReached() ? kEditModeLimitReached : kEditModeEdit,
                          this);
    editor.SetUniformLayoutCheck(m_model->DesignationChartHasMeasurements(chartId));
    const bool loaded = editor.SetChartDefinition(&chart);
    ClearChartDefinitionData(&chart);
    if (!loaded) {
        m_model->ReportError(kEditorRefusedResult, kLoadFailedMessage, false);
        return;
    }

    if (measureId != -1) {
        MeasurementDataSheets measurement;
        InitMeasureFileData(&measurement);
        result = m_model->ReadDesignationMeasure(measureId, chartId, &measurement);
        if (result != 0) {
            ClearMeasureFileData(&measurement);
            m_model->ReportError(result, kLoadFailedMessage, false);
            return;
        }
        editor.SetPageImages(&measurement);
        ClearMeasureFileData(&measurement);
    }
    RunChartEditor(m_model, &editor);
}

void CVCMainWindow::actionRegisterChartRecognitionTriggered()
{
    if (m_model->CheckDesignationChartLimit())
        return;
    QList<int> ids;
    for (const QTreeWidgetItem *item : ui->treeRecognition->selectedItems()) {
        bool ok = false;
        const int id = item->data(0, Qt::UserRole).toInt(&ok);
        if (ok && id >= 1)
            ids << id;
    }
    m_model->ReportError(m_model->CombineDesignationCharts(ids), kRegisterFailedMessage, false);
    m_model->CheckDesignationChartLimit();
}

void CVCMainWindow::actionSaveFileDesignationTriggered()
{
    ChartDefinitionDataSheets *chart = nullptr;
    if (m_model->QueryChartDefinition(&chart) != 0 || !chart)
        return;
    const QString path = FileDialogStartFolder() + QLatin1Char('/') + chart->ChartName + QStringLiteral(".xml");
    const QString fileName =
        CUiPresenter::Current().SaveFileName(this, tr("Save"), path, QStringLiteral("xml File (*.xml)"));
    if (fileName.isEmpty())
        return;
    m_model->SetLastFolder(FolderOf(fileName));
    m_model->ExportChartDefinition(fileName, chart);
}

void CVCMainWindow::actionSaveImageDesignationTriggered()
{
    const QTreeWidgetItem *item = ui->treeDesignation->currentItem();
    if (!item)
        return;
    ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!chart)
        return;
    CUiPresenter &presenter = CUiPresenter::Current();
    if (chart->Barcode == 1 && chart->ChartName.size() > kMaxQrChartName) {
        presenter.Warn(this, tr("The chart name is too long. If you want save the TIFF image of the chart with QR "
                                "code, please be less than 16 characters."));
        return;
    }
    if (chart->Barcode == 1 && chart->SheetCount > kMaxQrChartPages) {
        presenter.Warn(this, tr("The chart is too many pages. If you want save the TIFF image of the chart with QR "
                                "code, please be less than %1 pages.")
                                 .arg(kMaxQrChartPages));
        return;
    }
    if (!ChartFitsSheetMargins(*chart) &&
        presenter.Ask(this, tr("A patch exists out of a print range.\nDo want to save image data?"),
                      QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;

    const QString fileName = ChooseChartImagePath(
        this, FileDialogStartFolder() + QLatin1Char('/') + item->text(0) + QStringLiteral(".tiff"), chart->SheetCount);
    if (fileName.isEmpty())
        return;
    // The pages are what the user asked for; a settings file that cannot be written must not cost them.
    m_model->SetLastFolder(FolderOf(fileName));
    if (m_model->ExportChartImage(fileName, chart) != 0)
        presenter.Warn(this, tr("Tiff image cannot be created."));
}

void CVCMainWindow::actionFileSaveMeasureDataTriggered()
{
    QTreeWidgetItem *item = ui->treeRecognition->currentItem();
    const bool recognition = item != nullptr;
    if (!item)
        item = ui->treeDesignation->currentItem();
    if (!item)
        return;
    if (recognition && item->text(1).isEmpty()) {
        m_model->ReportError(kSelectListResult, kSelectListMessage, false);
        return;
    }
    if (!recognition && !item->parent()) {
        m_model->ReportError(kChartItemResult, kSaveFailedMessage, false);
        return;
    }
    const Setting::MeasureConditionSetting *conditions = m_model->GetMeasurementCondition(0);
    if (!conditions || NoMeasurementConditionSelected(*conditions)) {
        m_model->ReportError(kNoConditionResult, kNoConditionMessage, false);
        return;
    }
    if (conditions->DensityShown == 1 && conditions->WhiteReference == 1 &&
        !m_model->SetPaperWhiteFromMeasurement()) {
        m_model->ReportError(kPaperWhiteResult, kPaperWhiteMessage, false);
        setMeasureSettingWhiteRefCurrentIndex(0);
    }

    const QStringList filters = OutputFormatFilters();
    const int fileId = item->data(0, Qt::UserRole).toInt();
    const QString chartName = item->parent() ? item->parent()->text(0) : QString();
    const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();
    const bool oneFilePerCondition = environment && environment->AllConditionsInOneFile == 0;
    CUiPresenter &presenter = CUiPresenter::Current();
    QString fileName;
    int filterIndex = 0;
    for (;;) {
        filterIndex = m_model->GetSaveFilterIndex();
        QString selectedFilter = filters.value(filterIndex);
        const QString proposal =
            FileDialogStartFolder() + QLatin1Char('/') +
            DefaultExportFileName(recognition, fileId, item->text(0), chartName, filterIndex);
        fileName = presenter.SaveFileName(this, tr("Save"), proposal, filters.join(QStringLiteral(";;")),
                                          &selectedFilter);
        if (fileName.isEmpty())
            return;
        filterIndex = std::max(0, int(filters.indexOf(selectedFilter)));
        m_model->SetExportFilterIndex(filterIndex);
        if (!oneFilePerCondition)
            break;
        // Asked once, about the first of the files the model is going to write.
        const QString existing = FirstExistingMeasurementFile(*m_model, fileName);
        if (existing.isEmpty() || presenter.Ask(this, OverwriteQuestion(QFileInfo(existing).fileName()),
                                                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            break;
    }
    m_model->SetLastFolder(FolderOf(fileName));
    m_model->ExportMeasureData(fileName, filterIndex, item->text(1));
}
