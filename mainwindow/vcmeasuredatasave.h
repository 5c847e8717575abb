#pragma once
// Where a density measurement's result goes: one of up to five remembered folders, or one of up to five
// remembered printers (written to a local file, uploaded, then removed). Also edits those lists and the
// automatic-transmission choice. The caller stores the record; the dialog never does.

#include "app/settingrecords.h"
#include "chart/vcdialog.h"

#include <QPointer>
#include <QStringList>
#include <QVector>

#include <memory>

class CMeasureDataPrinterSave;
class CModel;
class CVCPrinterAdd;

namespace Ui {
class MeasureDataSaveDialog;
}

class CVCMeasureDataSave : public CVCDialog
{
    Q_OBJECT
public:
    CVCMeasureDataSave(CModel *model, QWidget *parent = nullptr);
    ~CVCMeasureDataSave() override;

    // Save mode: Save writes the measurement's file into the chosen folder or uploads it to the chosen printer.
    void Prepare(const QString &dateText, int measureKind, int templateSecondNumber, int templateFirstNumber,
                 int instrumentNumber);
    // Setting mode: OK only keeps the choices.
    void PrepareSetting();
    void SetPrintID(const QString &printId);
    void SetAddFileName(const QString &name);
    void SelectPrinterByAddress(const QString &address);
    const Setting::MeasureDataSave &GetMeasureDataSave() const { return m_record; }

public slots:
    void done(int r) override;

    void setFolderInfo(bool checked);
    void setPrinterInfo(bool checked);
    // After a deletion: rebuilds the printer rows without showing the dialog or asking for a printer.
    void setPrinterInfo();
    void addFolderInfo();
    void addPrinterInfo();
    void deleteFolderInfo();
    void deletePrinterInfo();
    void pushAddClicked();
    void pushDeleteClicked();
    void editPrintIDEditingFinished();
    void editAddFileNameEditingFinished();
    void pushOkClicked();
    void pushSaveClicked();
    void measureDataSaveFinished(const int networkError, const int result, const QString &message);

private:
    enum Kind { KindFolder = 0, KindPrinter = 1 };

    void SetButtonBox();
    void LoadRecord();
    void ShowStoredKind();
    void ShowKind(int kind);
    void UpdateListButtons();
    void SelectLastRow();
    // The entry index the current row carries; -1 without a current row.
    int CurrentEntryIndex() const;
    bool IsAddFileNameShown() const;
    void UpdateSaveFileName();
    // Reports the first refusal of Save's input; false when there is one.
    bool CheckSaveInput();
    void CollectRecord();
    bool ConfirmOverwrite(const QString &folder, const QString &extension);
    void StartUpload(const QString &path);
    // The end of the running upload, whatever ended it: its own file goes, the dialog unlocks.
    void EndUpload();
    void SetBusy(bool busy);

    std::unique_ptr<Ui::MeasureDataSaveDialog> ui;
    CModel *m_model;
    Setting::MeasureDataSave m_record;
    CVCPrinterAdd *m_printerAdd = nullptr;

    QStringList m_folders;
    QVector<Setting::PrinterInfo> m_printers;
    int m_folderIndex = 0;
    int m_printerIndex = 0;
    int m_currentKind = KindFolder;
    int m_selectedIndex = 0;

    QString m_dateText;
    int m_measureKind = 0;
    int m_templateFirstNumber = 0;
    bool m_encodedFile = false;

    QString m_chosenFolder;
    QString m_fullPath;
    QString m_printerAddress;
    bool m_busy = false;
    // The running upload and the file it sends; a later Save never changes which file that upload removes.
    QPointer<CMeasureDataPrinterSave> m_uploader;
    QString m_uploadPath;
};
