#pragma once
// The settings store: the user's settings in Setting.bin under the per-user data folder, plus the folder helpers
// the stores share for the first-run copy.

#include "app/settingrecords.h"
#include "app/storeconventions.h"
#include "app/storeio.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// What the settings store asks of its owner (the application model).
class CApplicationDataHost
{
public:
    virtual ~CApplicationDataHost() = default;
    // The reference ink colours that replace ink channels 1-4 after loading.
    virtual InkChannelList GetReferenceColors() const = 0;
    // Whether the program was started in position-gap mode.
    virtual bool IsPosGapMode() const = 0;
};

// Copies a file, or a folder tree with hidden entries; never overwrites. Stops at the first failure (what was
// copied stays). A source that does not exist copies nothing and succeeds.
bool CopyRecursively(const QString &source, const QString &destination);

class CApplicationData : public QObject
{
    Q_OBJECT

public:
    enum Result { Success = 0, SaveFailed = 60001, InvalidArgument = 60002, FolderFailed = 60009 };
    enum WindowIndex { MainWindow = 0, DensityWindow = 1 };
    static constexpr int kPresetLevel = 4;

    // The folders default to the per-user data folder and the Documents data folder.
    CApplicationData(CApplicationDataHost *host, QObject *parent = nullptr, const QString &dataFolder = AppDataDir(),
                     const QString &documentsFolder = UserDocumentsDataDir());

    void SetDefaults();
    // Makes the data folder and the last used folder, clears the temporary files that interrupted saves left in
    // the data folder, then loads; 60009 when a folder cannot be made.
    int Initialize();
    int Terminate();

    QString GetSettingFilePath() const;
    // Missing file: defaults. A damaged or short file: what was read before the damage, defaults after it; the
    // file is then kept aside before the next save replaces it.
    void LoadSetting();
    int SaveSetting();
    void ValidateSetting();
    static void ValidateMeasureConditionSetting(Setting::MeasureConditionSetting &record, int defaultMask);

    const Setting::UserEnvironment &GetUserEnvironment() const { return m_environment; }
    int SetSetting(const Setting::UserEnvironment &environment);

    const Setting::ConnectSetting &GetConnectionSetting() const { return m_connection; }
    int SetConnectionSetting(const Setting::ConnectSetting &connection);

    const Setting::MeasureDataSave &GetMeasureDataSaveSetting() const { return m_measureDataSave; }
    int SetMeasureDataSaveSetting(const Setting::MeasureDataSave &record);
    // Puts the entry into the slot after the counted printers (count unchanged, nothing saved); no room, no change.
    void StorePrinterEntry(const Setting::PrinterInfo &entry);
    // The first counted printer with this IP address.
    bool FindPrinter(const QString &address, Setting::PrinterInfo *entry) const;
    bool IsPrinterListFull() const;
    bool IsAddFileNameEnabled() const;

    // i: 0 main window, 1 density balance window (any other index reads the main window's record).
    const Setting::MeasureConditionSetting &GetMeasurementCondition(int i) const;
    // InvalidArgument, and nothing stored, for another index.
    int SetMeasureCondition(const Setting::MeasureConditionSetting &record, int i);

    // Window arrays are saved with the next save, not here. Other indexes read empty and store nothing.
    QByteArray GetWindowGeometry(int i) const;
    void SetWindowGeometry(const QByteArray &bytes, int i);
    QByteArray GetWindowState(int i) const;
    void SetWindowState(const QByteArray &bytes, int i);
    QByteArray GetPanelState(int i) const;
    void SetPanelState(const QByteArray &bytes, int i);

    QString GetNextCalibrationTime() const { return m_nextCalibrationTime; }
    int SetNextCalibrationTime(const QString &time);
    QString GetLastFolder() const { return m_lastFolder; }
    int SetLastFolder(const QString &folder);

    // Kept while the program runs, never saved.
    int GetOpenFilterIndex() const { return m_openFilterIndex; }
    void SetImportFilterIndex(int i) { m_openFilterIndex = i; }
    int GetSaveFilterIndex() const { return m_saveFilterIndex; }
    void SetExportFilterIndex(int i) { m_saveFilterIndex = i; }

    int GetInstalledPresetLevel() const { return m_installedPresetLevel; }
    int GetPresetLevel() const { return kPresetLevel; }
    bool IsDataFormatCurrent() const { return m_installedPresetLevel >= kPresetLevel; }

signals:
    void CurrentUserEnvironmentChanged();
    void UpdateDatalistColumn(const Setting::DisplayDatalistColumn &columns);

private:
    InkChannelList ReferenceColors() const;
    // True when the whole file was read.
    bool ReadSetting();
    // After reading: reference inks, the position-gap rule, validation.
    void FinishLoad();
    static bool IsWindowIndex(int i) { return i == MainWindow || i == DensityWindow; }

    CApplicationDataHost *m_host;
    QString m_dataFolder;
    QString m_documentsFolder;
    QString m_lastFolder;
    QByteArray m_windowGeometry[2];
    QByteArray m_windowState[2];
    QByteArray m_panelState[2];
    Setting::UserEnvironment m_environment;
    Setting::ConnectSetting m_connection;
    Setting::MeasureDataSave m_measureDataSave;
    Setting::MeasureConditionSetting m_conditions[2] = {};
    QString m_nextCalibrationTime;
    int m_openFilterIndex = 0;
    int m_saveFilterIndex = 3;
    int m_installedPresetLevel = 0;
    Store::DamagedFileGuard m_damagedFile;
};
