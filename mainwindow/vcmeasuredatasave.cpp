#include "mainwindow/vcmeasuredatasave.h"

#include "ui_measuredatasavedialog.h"

#include "app/helpers.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/storeconventions.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"
#include "files/measuredataprintersave.h"
#include "mainwindow/printeruploader.h"
#include "settings/vcprinteradd.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QRegExpValidator>
#include <QTableWidgetItem>

namespace {

enum SaveInputResult {
    kNoSaveLocation = 6001,
    kNoPrintId = 6002,
    kUnusableFileName = 6003,
};

constexpr int kMessageNoSaveLocation = 40;
constexpr int kMessageNoPrintId = 41;
constexpr int kMessageUnusableCharacter = 47;
constexpr int kMessageWriteFailed = 51;
constexpr int kMessagePrinterSaveFailed = 17;

constexpr int kFolderColumnWidth = 410;
constexpr int kPrinterColumnWidths[] = {220, 120, 70};

// The measurement's condition block the saved file carries.
constexpr int kSaveConditionBlock = 1;

} // namespace

CVCMeasureDataSave::CVCMeasureDataSave(CModel *model, QWidget *parent)
    : CVCDialog(parent), ui(new Ui::MeasureDataSaveDialog), m_model(model)
{
    ui->setupUi(this);
    ui->groupSaveLocation->setFont(DefaultUiFont());
    ui->groupFileName->setFont(DefaultUiFont());
    ui->editAddFileName->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("[A-Za-z0-9]+")), ui->editAddFileName));
    ui->tableSaveList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetButtonBox();
    m_printerAdd = new CVCPrinterAdd(model, this);

    connect(ui->radioFolder, &QRadioButton::toggled, this, &CVCMeasureDataSave::setFolderInfo);
    connect(ui->radioPrinter, &QRadioButton::toggled, this,
            qOverload<bool>(&CVCMeasureDataSave::setPrinterInfo));
    connect(ui->pushAdd, &QPushButton::clicked, this, &CVCMeasureDataSave::pushAddClicked);
    connect(ui->pushDelete, &QPushButton::clicked, this, &CVCMeasureDataSave::pushDeleteClicked);
    connect(ui->editPrintID, &QLineEdit::editingFinished, this, &CVCMeasureDataSave::editPrintIDEditingFinished);
    connect(ui->editAddFileName, &QLineEdit::editingFinished, this,
            &CVCMeasureDataSave::editAddFileNameEditingFinished);
    connect(ui->pushSave, &QPushButton::clicked, this, &CVCMeasureDataSave::pushSaveClicked);
    connect(ui->okButton, &QPushButton::clicked, this, &CVCMeasureDataSave::pushOkClicked);
}

CVCMeasureDataSave::~CVCMeasureDataSave()
{
    // The base class hides the dialog, which ends the focused field's editing: no slot of this class may
    // run then. An upload still running is dropped with its file.
    ui->editPrintID->disconnect(this);
    ui->editAddFileName->disconnect(this);
    if (m_uploader)
        m_uploader->disconnect(this);
    if (!m_uploadPath.isEmpty())
        QFile::remove(m_uploadPath);
}

void CVCMeasureDataSave::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->okButton, QDialogButtonBox::ActionRole);
    box->addButton(ui->pushSave, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

// ---- Preparing ----------------------------------------------------------------------------------------------------

void CVCMeasureDataSave::Prepare(const QString &dateText, int measureKind, int templateSecondNumber,
                                 int templateFirstNumber, int instrumentNumber)
{
    ui->groupFileName->show();
    ui->pushSave->show();
    ui->okButton->hide();

    ui->gridFileName->removeWidget(ui->labelAddFileName);
    ui->gridFileName->removeWidget(ui->editAddFileName);
    if (templateSecondNumber != 0) {
        const int row = ui->gridFileName->rowCount() - 1;
        ui->gridFileName->addWidget(ui->labelAddFileName, row, 0);
        ui->gridFileName->addWidget(ui->editAddFileName, row, 1);
        ui->labelAddFileName->show();
        ui->editAddFileName->show();
    } else {
        ui->labelAddFileName->hide();
        ui->editAddFileName->hide();
    }

    if (instrumentNumber == 0) {
        ui->groupAutomaticTransmission->show();
        ui->checkAutoSave->show();
    } else if (instrumentNumber == 1) {
        ui->groupAutomaticTransmission->hide();
        ui->checkAutoSave->hide();
    }

    LoadRecord();
    ui->editPrintID->clear();
    ui->editAddFileName->clear();
    UpdateSaveFileName();

    m_dateText = dateText;
    m_measureKind = measureKind;
    m_templateFirstNumber = templateFirstNumber;
    m_encodedFile = templateFirstNumber == 0 && (measureKind == 2 || measureKind == 3);

    ShowStoredKind();
    ui->checkAutoSave->setChecked(m_record.AutoTransmission);
    UpdateListButtons();
}

void CVCMeasureDataSave::PrepareSetting()
{
    ui->groupFileName->hide();
    ui->pushSave->hide();
    ui->okButton->show();
    LoadRecord();
    ui->checkAutoSave->setChecked(m_record.AutoTransmission);
    ShowStoredKind();
    UpdateListButtons();
}

void CVCMeasureDataSave::LoadRecord()
{
    m_record = *m_model->GetMeasureDataSaveSetting();
    m_folderIndex = 0;
    m_printerIndex = 0;
    (m_record.SaveKind == KindPrinter ? m_printerIndex : m_folderIndex) = m_record.SelectedIndex;

    m_folders.clear();
    for (const QString &folder : m_record.Folders) {
        if (!folder.isEmpty())
            m_folders << folder;
    }
    if (m_folders.isEmpty())
        m_folders << UserDocumentsDataDir();

    m_printers.clear();
    for (const Setting::PrinterInfo &printer : m_record.Printers) {
        if (!printer.Name.isEmpty())
            m_printers << printer;
    }
}

// The rows of the previous use must not count as the current entry of the record just loaded.
void CVCMeasureDataSave::ShowStoredKind()
{
    ui->tableSaveList->clearContents();
    ui->tableSaveList->setRowCount(0);
    if (m_record.SaveKind == KindPrinter) {
        if (!ui->radioPrinter->isChecked())
            ui->radioPrinter->setChecked(true);
        else
            setPrinterInfo(true);
    } else {
        if (!ui->radioFolder->isChecked())
            ui->radioFolder->setChecked(true);
        else
            setFolderInfo(true);
    }
}

void CVCMeasureDataSave::SetPrintID(const QString &printId)
{
    ui->editPrintID->setText(printId);
}

void CVCMeasureDataSave::SetAddFileName(const QString &name)
{
    ui->editAddFileName->setText(name);
}

void CVCMeasureDataSave::SelectPrinterByAddress(const QString &address)
{
    m_printerAddress = address;
    if (address.isEmpty())
        return;
    if (!ui->radioPrinter->isChecked())
        ui->radioPrinter->setChecked(true);
    int slot = -1;
    for (int i = 0; i < Setting::kMaxPrinterCount; ++i) {
        if (m_record.Printers[i].IPAddress == address)
            slot = i;
    }
    if (slot >= 0 && slot < ui->tableSaveList->rowCount())
        ui->tableSaveList->setCurrentCell(slot, 0);
}

// ---- The list of folders or printers --------------------------------------------------------------------------------

void CVCMeasureDataSave::setFolderInfo(bool checked)
{
    if (checked)
        ShowKind(KindFolder);
}

void CVCMeasureDataSave::setPrinterInfo(bool checked)
{
    if (!checked)
        return;
    ShowKind(KindPrinter);
    // Shown ahead of its exec, the dialog must be modal already: exec does not make a visible dialog modal.
    if (!isVisible())
        setWindowModality(Qt::ApplicationModal);
    show();
    if (m_printers.isEmpty())
        addPrinterInfo();
}

void CVCMeasureDataSave::setPrinterInfo()
{
    ShowKind(KindPrinter);
}

void CVCMeasureDataSave::ShowKind(int kind)
{
    QTableWidget *table = ui->tableSaveList;
    const int current = CurrentEntryIndex();
    if (current >= 0)
        (m_currentKind == KindFolder ? m_folderIndex : m_printerIndex) = current;
    m_currentKind = kind;
    m_selectedIndex = kind == KindFolder ? m_folderIndex : m_printerIndex;

    table->clear();
    table->setRowCount(0);
    QList<QStringList> rows;
    if (kind == KindFolder) {
        table->setColumnCount(1);
        table->setHorizontalHeaderLabels({tr("Name")});
        table->setColumnWidth(0, kFolderColumnWidth);
        for (const QString &folder : qAsConst(m_folders))
            rows << QStringList{folder};
    } else {
        table->setColumnCount(3);
        table->setHorizontalHeaderLabels({tr("Name"), QStringLiteral("IP"), tr("Port")});
        for (int c = 0; c < 3; ++c)
            table->setColumnWidth(c, kPrinterColumnWidths[c]);
        for (const Setting::PrinterInfo &printer : qAsConst(m_printers))
            rows << QStringList{printer.Name, printer.IPAddress, printer.Port};
    }

    int selectRow = 0;
    table->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            auto *item = new QTableWidgetItem(rows.at(r).at(c));
            if (c == 0)
                item->setData(Qt::UserRole, r);
            table->setItem(r, c, item);
        }
        if (r == m_selectedIndex)
            selectRow = r;
    }
    if (table->rowCount() > 0)
        table->setCurrentCell(selectRow, 0);
    UpdateListButtons();
}

void CVCMeasureDataSave::UpdateListButtons()
{
    const int rows = ui->tableSaveList->rowCount();
    const int limit = m_currentKind == KindFolder ? Setting::kMaxSaveFolderCount : Setting::kMaxPrinterCount;
    ui->pushAdd->setEnabled(rows < limit);
    ui->pushDelete->setEnabled(rows >= 1);
}

void CVCMeasureDataSave::SelectLastRow()
{
    const int rows = ui->tableSaveList->rowCount();
    if (rows > 0)
        ui->tableSaveList->setCurrentCell(rows - 1, 0);
}

int CVCMeasureDataSave::CurrentEntryIndex() const
{
    const QTableWidgetItem *item = ui->tableSaveList->item(ui->tableSaveList->currentRow(), 0);
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

void CVCMeasureDataSave::addFolderInfo()
{
    if (m_folders.size() >= Setting::kMaxSaveFolderCount)
        return;
    const QString folder = CUiPresenter::Current().ExistingDirectory(this, tr("Choose Folder"),
                                                                     FileDialogFolder(m_model->GetLastFolder()));
    if (folder.isEmpty())
        return;
    const QList<QTableWidgetItem *> listed = ui->tableSaveList->findItems(folder, Qt::MatchExactly);
    if (listed.isEmpty()) {
        m_folders << folder;
        setFolderInfo(true);
        SelectLastRow();
    }
    m_model->SetLastFolder(folder);
}

void CVCMeasureDataSave::addPrinterInfo()
{
    if (m_printers.size() >= Setting::kMaxPrinterCount)
        return;
    if (!m_printerAddress.isEmpty()) {
        bool known = false;
        for (const Setting::PrinterInfo &printer : m_record.Printers)
            known = known || printer.IPAddress == m_printerAddress;
        if (!known)
            m_printerAdd->SetIPAddress(m_printerAddress);
    }
    CenterOnWidget(m_printerAdd, this);
    if (CUiPresenter::Current().Exec(m_printerAdd) != QDialog::Accepted)
        return;
    Setting::PrinterInfo printer;
    m_printerAdd->GetPrinter(&printer.Name, &printer.Password, &printer.IPAddress, &printer.Port);
    m_printerAddress.clear();
    m_printers << printer;
    setPrinterInfo(true);
    SelectLastRow();
}

void CVCMeasureDataSave::deleteFolderInfo()
{
    const int row = ui->tableSaveList->currentRow();
    if (row < 0 || row >= m_folders.size())
        return;
    m_folders.removeAt(row);
    setFolderInfo(true);
}

void CVCMeasureDataSave::deletePrinterInfo()
{
    const int row = ui->tableSaveList->currentRow();
    if (row < 0 || row >= m_printers.size())
        return;
    m_printers.removeAt(row);
    setPrinterInfo();
}

void CVCMeasureDataSave::pushAddClicked()
{
    if (ui->radioFolder->isChecked())
        addFolderInfo();
    else
        addPrinterInfo();
}

void CVCMeasureDataSave::pushDeleteClicked()
{
    if (ui->radioFolder->isChecked())
        deleteFolderInfo();
    else
        deletePrinterInfo();
}

// ---- File name ----------------------------------------------------------------------------------------------------

void CVCMeasureDataSave::editPrintIDEditingFinished()
{
    UpdateSaveFileName();
}

void CVCMeasureDataSave::editAddFileNameEditingFinished()
{
    UpdateSaveFileName();
}

// Judged against the dialog, so a dialog not shown yet answers as it will look.
bool CVCMeasureDataSave::IsAddFileNameShown() const
{
    return ui->editAddFileName->isVisibleTo(this);
}

void CVCMeasureDataSave::UpdateSaveFileName()
{
    const QString printId = ui->editPrintID->text();
    const QString addName = ui->editAddFileName->text();
    QString label;
    if (!printId.isEmpty() && !addName.isEmpty())
        label = printId + QLatin1Char('_') + addName;
    else if (!printId.isEmpty())
        label = printId;
    else if (IsAddFileNameShown() && !addName.isEmpty())
        label = addName;
    ui->labelSaveFileName->setText(label);
}

// ---- Save, OK and closing ------------------------------------------------------------------------------------------

bool CVCMeasureDataSave::CheckSaveInput()
{
    if (ui->tableSaveList->rowCount() == 0 || ui->tableSaveList->currentRow() < 0) {
        m_model->ReportError(kNoSaveLocation, kMessageNoSaveLocation, false);
        return false;
    }
    if (ui->editPrintID->text().isEmpty()) {
        m_model->ReportError(kNoPrintId, kMessageNoPrintId, false);
        return false;
    }
    // The name becomes a file in the chosen folder: nothing that leaves it or cannot be a file name.
    if (!IsUsableDataGroupName(ui->labelSaveFileName->text())) {
        m_model->ReportError(kUnusableFileName, kMessageUnusableCharacter, false);
        return false;
    }
    return true;
}

void CVCMeasureDataSave::CollectRecord()
{
    m_record.FolderCount = 0;
    m_record.PrinterCount = 0;
    for (int i = 0; i < Setting::kMaxSaveFolderCount; ++i)
        m_record.Folders[i] = m_folders.value(i);
    for (int i = 0; i < Setting::kMaxPrinterCount; ++i)
        m_record.Printers[i] = m_printers.value(i);
    m_record.PrintID = ui->editPrintID->text();
    if (IsAddFileNameShown())
        m_record.AddFileName = ui->editAddFileName->text();
    m_record.AutoTransmission = ui->checkAutoSave->isChecked();
    m_record.SaveKind = ui->radioFolder->isChecked() ? KindFolder : KindPrinter;
    m_record.SelectedIndex = qMax(CurrentEntryIndex(), 0);
}

bool CVCMeasureDataSave::ConfirmOverwrite(const QString &folder, const QString &extension)
{
    const QString path =
        QStringLiteral("%1%2%3%4").arg(folder, QStringLiteral("/"), ui->labelSaveFileName->text(), extension);
    const QFileInfo info(path);
    const QStringList existing =
        QDir(info.absolutePath())
            .entryList({m_encodedFile ? QStringLiteral("*.mdz") : QStringLiteral("*.txt")},
                       QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!existing.contains(info.fileName()))
        return true;
    return CUiPresenter::Current().Ask(this, info.fileName() +
                                                 tr(" already exists. Are you sure you want to overwrite?"),
                                       QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CVCMeasureDataSave::pushSaveClicked()
{
    UpdateSaveFileName();
    if (!CheckSaveInput())
        return;
    CollectRecord();

    const QString extension = m_encodedFile ? QStringLiteral(".mdz") : QStringLiteral(".txt");
    const bool toFolder = ui->radioFolder->isChecked();
    const int row = ui->tableSaveList->currentRow();
    if (toFolder) {
        m_chosenFolder = m_folders.value(row);
        if (!ConfirmOverwrite(m_chosenFolder, extension))
            return;
    } else {
        m_chosenFolder = AppDataDir();
    }
    m_fullPath = m_chosenFolder + QLatin1Char('/') + ui->labelSaveFileName->text() + extension;

    const Setting::MeasureConditionSetting *conditions = m_model->GetMeasurementCondition(kSaveConditionBlock);
    const int result =
        conditions ? m_model->ExportDensityMeasureData(m_fullPath, m_dateText, m_templateFirstNumber, *conditions)
                   : -1;
    m_model->ReportError(result, kMessageWriteFailed, false);
    if (result != 0)
        return;
    if (toFolder)
        done(QDialog::Accepted);
    else
        StartUpload(m_fullPath);
}

void CVCMeasureDataSave::StartUpload(const QString &path)
{
    const Setting::PrinterInfo printer = m_printers.value(ui->tableSaveList->currentRow());
    CMeasureDataPrinterSave *uploader = CreatePrinterUploader(this);
    m_uploader = uploader;
    m_uploadPath = path;
    SetBusy(true);
    connect(uploader, &CMeasureDataPrinterSave::Finished, this, &CVCMeasureDataSave::measureDataSaveFinished);
    // A refused upload never finishes: end it here so the dialog is free for another try.
    if (!uploader->Send(printer.IPAddress, printer.Port, printer.Password, path) && m_uploader == uploader) {
        EndUpload();
        CUiPresenter::Current().Warn(this, FindMessageRecord(kMessagePrinterSaveFailed).text);
    }
}

void CVCMeasureDataSave::measureDataSaveFinished(const int networkError, const int result, const QString &message)
{
    // Only the running upload ends the busy state.
    if (sender() && sender() != m_uploader)
        return;
    EndUpload();
    if (networkError == 0 && result == 0)
        done(QDialog::Accepted);
    else
        CUiPresenter::Current().Warn(this, message);
}

void CVCMeasureDataSave::EndUpload()
{
    if (!m_uploadPath.isEmpty())
        QFile::remove(m_uploadPath);
    m_uploadPath.clear();
    m_fullPath.clear();
    if (m_uploader) {
        m_uploader->disconnect(this);
        m_uploader->deleteLater();
        m_uploader = nullptr;
    }
    SetBusy(false);
}

void CVCMeasureDataSave::SetBusy(bool busy)
{
    m_busy = busy;
    ui->groupSaveLocation->setEnabled(!busy);
    ui->groupFileName->setEnabled(!busy);
    ui->pushSave->setEnabled(!busy);
    ui->cancelButton->setEnabled(!busy);
}

void CVCMeasureDataSave::pushOkClicked()
{
    CollectRecord();
    done(QDialog::Accepted);
}

void CVCMeasureDataSave::done(int r)
{
    if (m_busy)
        return;
    if (r == QDialog::Accepted)
        CollectRecord();
    CVCDialog::done(r);
}
