#pragma once
// The settings records the settings store keeps and the settings dialogs edit. The display record of the
// measurement-condition tree (Setting::MeasureConditionSetting) lives with the other records in app/records.h.

#include "app/constants.h"
#include "app/records.h"

#include <QMetaType>
#include <QString>

namespace Setting {

constexpr int kMaxSaveFolderCount = 5;
constexpr int kMaxPrinterCount = 5;

// Visibility of data-list columns 1, 2 and 3.
struct DisplayDatalistColumn {
    bool Column1 = true;
    bool Column2 = true;
    bool Column3 = false;
};

inline bool operator==(const DisplayDatalistColumn &a, const DisplayDatalistColumn &b)
{
    return a.Column1 == b.Column1 && a.Column2 == b.Column2 && a.Column3 == b.Column3;
}
inline bool operator!=(const DisplayDatalistColumn &a, const DisplayDatalistColumn &b)
{
    return !(a == b);
}

// The current user's settings. Copies share the ink list until one side changes it.
struct UserEnvironment {
    int ErrorHandling = 0; // the negation of its check box
    bool DeleteJobAfterUse = false;
    int Aperture = 1; // measuring aperture index 0-4
    bool ConfirmChart = false;
    // Automatic export; the settings dialog resets the serial number when any other field of this block changes.
    bool AutoExport = false;
    int ConditionSource = 0;
    int FileNameMode = 0;
    QString AutoExportFileName;
    int AutoExportSerialNumber = 0;
    int AutoExportFormat = 0; // export format id 0-9
    QString AutoExportFolder; // the settings store starts it at the Documents data folder
    MeasureConditionSetting Display = DefaultDisplayColumns();
    int LengthUnit = 0;   // 0 mm, 1 inch
    int ColorFormat = 1;  // of new charts: 1 RGB, 2 CMYK, 3-6 five to eight inks
    InkChannelList Inks = ReferenceInkChannels(); // Cyan, Magenta, Yellow, Black, Orange, Green, Red, Blue
    QString DataGroupName;
    DisplayDatalistColumn DatalistColumns;
    int AllConditionsInOneFile = 0;
    int BitDepth = 1;
    bool AutoConnect = true;
    bool ColorWarning = false;
    bool PositionGap = false; // kept only when the program runs in position-gap mode
};

// How the chart scanner is reached.
struct ConnectSetting {
    int ConnectionKind = 0; // 0 port, 1 network
    QString Port;
    int AddressKind = 0; // 0 network name, 1 address
    QString Address;
    QString NetworkName;
    QString DeviceName;
    int SpecifyDevice = 0;
};

struct PrinterInfo {
    QString Name;
    QString Password; // kept as typed; the settings file is not encrypted
    QString IPAddress;
    QString Port;
};

// Where density measurement results go. Only the first FolderCount folders and PrinterCount printers count.
struct MeasureDataSave {
    int FolderCount = 0;
    QString Folders[kMaxSaveFolderCount];
    int PrinterCount = 0;
    PrinterInfo Printers[kMaxPrinterCount];
    QString PrintID;
    QString AddFileName;
    bool AutoTransmission = true; // also: a sheet saved after a scan takes the additional file name
    int SaveKind = 0;             // 0 folder, 1 printer
    int SelectedIndex = 0;
};

} // namespace Setting

Q_DECLARE_METATYPE(Setting::DisplayDatalistColumn)

// A data-group name becomes a folder under the data folder: refuse what would leave it or cannot be a file
// name ("." and "..", the nine characters / \ : * ? " < > |, control characters). False for an empty name.
bool IsUsableDataGroupName(const QString &name);
