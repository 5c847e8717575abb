#include "app/applicationdata.h"

#include "app/storeio.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

const QString kRecordName = QStringLiteral("Setting");

void writeDisplayInts(QDataStream &s, const Setting::MeasureConditionSetting &r)
{
    s << qint32(r.DensityShown) << qint32(r.WhiteReference) << qint32(r.DensityStatus) << qint32(r.ColorSpaceShown)
      << qint32(r.LabShown) << qint32(r.LchShown) << qint32(r.XyzShown) << qint32(r.Observer) << qint32(r.Illuminant)
      << qint32(r.SpectralShown) << qint32(r.ConditionMask);
}

void readDisplayInts(QDataStream &s, Setting::MeasureConditionSetting &r)
{
    qint32 v[11] = {};
    for (qint32 &value : v)
        s >> value;
    r.DensityShown = v[0];
    r.WhiteReference = v[1];
    r.DensityStatus = v[2];
    r.ColorSpaceShown = v[3];
    r.LabShown = v[4];
    r.LchShown = v[5];
    r.XyzShown = v[6];
    r.Observer = v[7];
    r.Illuminant = v[8];
    r.SpectralShown = v[9];
    r.ConditionMask = v[10];
}

// Unsigned comparisons, so negative values count as too large.
bool above(int value, unsigned limit)
{
    return unsigned(value) > limit;
}

bool notBit(int value)
{
    return unsigned(value) > 1u;
}

bool validCount(qint32 count, int maximum)
{
    return count >= 0 && count <= maximum;
}

} // namespace

bool CopyRecursively(const QString &source, const QString &destination)
{
    const QFileInfo info(source);
    if (!info.isDir())
        return info.exists() ? QFile::copy(source, destination) : true;
    const QFileInfo target(destination);
    if (!QDir(target.absolutePath()).mkpath(target.fileName()))
        return false;
    const QStringList entries =
        QDir(source).entryList(QDir::Dirs | QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Unsorted);
    for (const QString &entry : entries)
        if (!CopyRecursively(source + QLatin1Char('/') + entry, destination + QLatin1Char('/') + entry))
            return false;
    return true;
}

CApplicationData::CApplicationData(CApplicationDataHost *host, QObject *parent, const QString &dataFolder,
                                   const QString &documentsFolder)
    : QObject(parent), m_host(host), m_dataFolder(dataFolder), m_documentsFolder(documentsFolder)
{
    qRegisterMetaType<Setting::DisplayDatalistColumn>("Setting::DisplayDatalistColumn");
    SetDefaults();
}

InkChannelList CApplicationData::ReferenceColors() const
{
    return m_host ? m_host->GetReferenceColors() : ReferenceInkChannels();
}

void CApplicationData::SetDefaults()
{
    m_lastFolder = m_documentsFolder;
    for (int i = 0; i < 2; ++i) {
        m_windowGeometry[i].clear();
        m_windowState[i].clear();
        m_panelState[i].clear();
    }
    m_environment = Setting::UserEnvironment();
    m_environment.AutoExportFolder = m_documentsFolder;
    m_environment.Display = DefaultDisplayColumns();
    m_environment.Inks = ReferenceColors();
    m_connection = Setting::ConnectSetting();
    m_measureDataSave = Setting::MeasureDataSave();
    m_conditions[MainWindow] = DefaultDisplayColumns();
    m_conditions[DensityWindow] = DefaultDensityDisplayColumns();
    m_nextCalibrationTime.clear();
    m_openFilterIndex = 0;
    m_saveFilterIndex = 3;
    m_installedPresetLevel = 0;
}

int CApplicationData::Initialize()
{
    if (!QDir().mkpath(m_dataFolder) || !QDir().mkpath(m_lastFolder))
        return FolderFailed;
    // Nothing of this program writes yet, so any temporary file of its atomic writer is a leftover.
    Store::RemoveStaleTemporaries(m_dataFolder);
    LoadSetting();
    return Success;
}

int CApplicationData::Terminate()
{
    return SaveSetting();
}

QString CApplicationData::GetSettingFilePath() const
{
    return m_dataFolder + QLatin1Char('/') + WithBinExtension(kRecordName);
}

int CApplicationData::SaveSetting()
{
    const auto body = [this](QDataStream &s) {
        const Setting::UserEnvironment &e = m_environment;
        s << m_windowGeometry[0] << m_windowState[0];
        s << m_lastFolder;
        s << qint32(e.ErrorHandling) << e.DeleteJobAfterUse << qint32(e.Aperture) << e.ConfirmChart;
        s << e.AutoExport << qint32(e.ConditionSource) << qint32(e.FileNameMode) << e.AutoExportFileName
          << qint32(e.AutoExportSerialNumber) << qint32(e.AutoExportFormat) << e.AutoExportFolder;
        writeDisplayInts(s, e.Display);
        s << qint32(e.LengthUnit) << qint32(e.ColorFormat);
        // No count is stored: always the eight channels the reader reads back.
        const InkChannelList reference = ReferenceColors();
        for (int i = 0; i < kReferenceInkCount; ++i) {
            const InkChannel ink = i < e.Inks.size() ? e.Inks.at(i) : reference.value(i);
            s << ink.name << qint32(ink.L) << qint32(ink.a) << qint32(ink.b);
        }
        s << e.DataGroupName;
        s << m_nextCalibrationTime;
        s << qint32(m_connection.ConnectionKind) << m_connection.Port << qint32(m_connection.AddressKind)
          << m_connection.Address << m_connection.NetworkName;
        writeDisplayInts(s, m_conditions[MainWindow]);
        writeDisplayInts(s, m_conditions[DensityWindow]);
        const Setting::MeasureDataSave &d = m_measureDataSave;
        const int folders = qBound(0, d.FolderCount, Setting::kMaxSaveFolderCount);
        s << qint32(folders);
        for (int i = 0; i < folders; ++i)
            s << d.Folders[i];
        const int printers = qBound(0, d.PrinterCount, Setting::kMaxPrinterCount);
        s << qint32(printers);
        for (int i = 0; i < printers; ++i)
            s << d.Printers[i].Name << d.Printers[i].Password << d.Printers[i].IPAddress << d.Printers[i].Port;
        s << d.PrintID << d.AddFileName;
        s << m_panelState[0] << m_windowGeometry[1] << m_windowState[1] << m_panelState[1];
        s << e.DatalistColumns.Column1 << e.DatalistColumns.Column2 << e.DatalistColumns.Column3
          << qint32(e.AllConditionsInOneFile);
        s << d.AutoTransmission;
        s << qint32(d.SaveKind) << qint32(d.SelectedIndex);
        s << qint32(e.BitDepth);
        s << qint32(kPresetLevel);
        s << e.AutoConnect;
        s << e.ColorWarning << e.PositionGap;
        s << qint32(m_connection.SpecifyDevice) << m_connection.DeviceName;
        s << qint32(e.Display.PatchColorShown) << qint32(m_conditions[MainWindow].PatchColorShown)
          << qint32(m_conditions[DensityWindow].PatchColorShown);
    };
    if (!m_damagedFile.BeforeSave(GetSettingFilePath()))
        return SaveFailed;
    return Store::SaveFile(GetSettingFilePath(), kRecordName, body) ? Success : SaveFailed;
}

void CApplicationData::LoadSetting()
{
    m_damagedFile.AfterLoad(GetSettingFilePath(), ReadSetting());
}

bool CApplicationData::ReadSetting()
{
    Store::FileReader reader(GetSettingFilePath());
    if (!reader.Opened() || !reader.Ok())
        return false;
    QDataStream &s = reader.stream;
    const qint8 version = reader.version;

    Setting::UserEnvironment &e = m_environment;
    Setting::MeasureDataSave &d = m_measureDataSave;
    Setting::ConnectSetting &c = m_connection;
    const auto ok = [&s] { return s.status() == QDataStream::Ok; };

    // Each group is read into temporaries and taken only when the stream is still sound; the first group that
    // is not stops the load, so everything after a damage keeps its default.
    using Group = std::function<bool()>;
    const Group groups[] = {
        [&] {
            QByteArray geometry, state;
            s >> geometry >> state;
            if (!ok())
                return false;
            m_windowGeometry[0] = geometry;
            m_windowState[0] = state;
            return true;
        },
        [&] {
            QString folder;
            s >> folder;
            if (!ok())
                return false;
            m_lastFolder = folder;
            return true;
        },
        [&] {
            qint32 errorHandling = 0, aperture = 0;
            bool deleteJob = false, confirm = false;
            s >> errorHandling >> deleteJob >> aperture >> confirm;
            if (!ok())
                return false;
            e.ErrorHandling = errorHandling;
            e.DeleteJobAfterUse = deleteJob;
            e.Aperture = aperture;
            e.ConfirmChart = confirm;
            return true;
        },
        [&] {
            bool autoExport = false;
            qint32 source = 0, mode = 0, serial = 0, format = 0;
            QString name, folder;
            s >> autoExport >> source >> mode >> name >> serial >> format >> folder;
            if (!ok())
                return false;
            e.AutoExport = autoExport;
            e.ConditionSource = source;
            e.FileNameMode = mode;
            e.AutoExportFileName = name;
            e.AutoExportSerialNumber = serial;
            e.AutoExportFormat = format;
            e.AutoExportFolder = folder;
            return true;
        },
        [&] {
            Setting::MeasureConditionSetting display = e.Display;
            readDisplayInts(s, display);
            if (!ok())
                return false;
            e.Display = display;
            return true;
        },
        [&] {
            qint32 unit = 0, format = 0;
            s >> unit >> format;
            if (!ok())
                return false;
            e.LengthUnit = unit;
            e.ColorFormat = format;
            return true;
        },
        [&] {
            InkChannelList inks = e.Inks;
            for (int i = 0; i < kReferenceInkCount; ++i) {
                InkChannel ink;
                qint32 l = 0, a = 0, b = 0;
                s >> ink.name >> l >> a >> b;
                ink.L = l;
                ink.a = a;
                ink.b = b;
                if (i < inks.size())
                    inks[i] = ink;
                else
                    inks.append(ink);
            }
            if (!ok())
                return false;
            e.Inks = inks;
            return true;
        },
        [&] {
            QString group;
            s >> group;
            if (!ok())
                return false;
            e.DataGroupName = group;
            return true;
        },
        [&] {
            QString time;
            s >> time;
            if (!ok())
                return false;
            m_nextCalibrationTime = time;
            return true;
        },
        [&] {
            qint32 kind = 0, addressKind = 0;
            QString port, address, network;
            s >> kind >> port >> addressKind >> address >> network;
            if (!ok())
                return false;
            c.ConnectionKind = kind;
            c.Port = port;
            c.AddressKind = addressKind;
            c.Address = address;
            c.NetworkName = network;
            return true;
        },
        [&] {
            Setting::MeasureConditionSetting main = m_conditions[MainWindow];
            readDisplayInts(s, main);
            if (!ok())
                return false;
            m_conditions[MainWindow] = main;
            return true;
        },
        [&] {
            Setting::MeasureConditionSetting density = m_conditions[DensityWindow];
            readDisplayInts(s, density);
            if (!ok())
                return false;
            m_conditions[DensityWindow] = density;
            return true;
        },
        [&] {
            qint32 count = 0;
            s >> count;
            if (!ok() || !validCount(count, Setting::kMaxSaveFolderCount))
                return false;
            QString folders[Setting::kMaxSaveFolderCount];
            for (int i = 0; i < count; ++i)
                s >> folders[i];
            if (!ok())
                return false;
            d.FolderCount = count;
            for (int i = 0; i < count; ++i)
                d.Folders[i] = folders[i];
            return true;
        },
        [&] {
            qint32 count = 0;
            s >> count;
            if (!ok() || !validCount(count, Setting::kMaxPrinterCount))
                return false;
            Setting::PrinterInfo printers[Setting::kMaxPrinterCount];
            for (int i = 0; i < count; ++i)
                s >> printers[i].Name >> printers[i].Password >> printers[i].IPAddress >> printers[i].Port;
            if (!ok())
                return false;
            d.PrinterCount = count;
            for (int i = 0; i < count; ++i)
                d.Printers[i] = printers[i];
            return true;
        },
        [&] {
            QString printId, addFileName;
            s >> printId >> addFileName;
            if (!ok())
                return false;
            d.PrintID = printId;
            d.AddFileName = addFileName;
            return true;
        },
        [&] {
            QByteArray panel0, geometry1, state1, panel1;
            s >> panel0 >> geometry1 >> state1 >> panel1;
            if (!ok())
                return false;
            m_panelState[0] = panel0;
            m_windowGeometry[1] = geometry1;
            m_windowState[1] = state1;
            m_panelState[1] = panel1;
            return true;
        },
    };
    for (const Group &group : groups) {
        if (!group()) {
            FinishLoad();
            return false;
        }
    }

    // Groups added by later versions, with the version that added them.
    const std::pair<int, Group> laterGroups[] = {
        {2,
         [&] {
             Setting::DisplayDatalistColumn columns;
             qint32 oneFile = 0;
             s >> columns.Column1 >> columns.Column2 >> columns.Column3 >> oneFile;
             if (!ok())
                 return false;
             e.DatalistColumns = columns;
             e.AllConditionsInOneFile = oneFile;
             return true;
         }},
        {3,
         [&] {
             bool flag = true;
             s >> flag;
             if (!ok())
                 return false;
             d.AutoTransmission = flag;
             return true;
         }},
        {4,
         [&] {
             qint32 kind = 0, index = 0;
             s >> kind >> index;
             if (!ok())
                 return false;
             d.SaveKind = kind;
             d.SelectedIndex = index;
             return true;
         }},
        {5,
         [&] {
             qint32 depth = 0;
             s >> depth;
             if (!ok())
                 return false;
             e.BitDepth = depth;
             return true;
         }},
        {6,
         [&] {
             qint32 level = 0;
             s >> level;
             if (!ok())
                 return false;
             m_installedPresetLevel = level;
             return true;
         }},
        {7,
         [&] {
             bool autoConnect = true;
             s >> autoConnect;
             if (!ok())
                 return false;
             e.AutoConnect = autoConnect;
             return true;
         }},
        {8,
         [&] {
             bool warning = false, gap = false;
             s >> warning >> gap;
             if (!ok())
                 return false;
             e.ColorWarning = warning;
             e.PositionGap = gap;
             return true;
         }},
        {9,
         [&] {
             qint32 specify = 0;
             QString device;
             s >> specify >> device;
             if (!ok())
                 return false;
             c.SpecifyDevice = specify;
             c.DeviceName = device;
             return true;
         }},
        {10,
         [&] {
             qint32 environment = 0, main = 0, density = 0;
             s >> environment >> main >> density;
             if (!ok())
                 return false;
             e.Display.PatchColorShown = environment;
             m_conditions[MainWindow].PatchColorShown = main;
             m_conditions[DensityWindow].PatchColorShown = density;
             return true;
         }},
    };
    bool whole = true;
    for (const auto &group : laterGroups) {
        if (version < group.first)
            break;
        if (!group.second()) {
            whole = false;
            break;
        }
    }
    FinishLoad();
    return whole;
}

void CApplicationData::FinishLoad()
{
    const InkChannelList reference = ReferenceColors();
    for (int i = 0; i < 4 && i < m_environment.Inks.size() && i < reference.size(); ++i)
        m_environment.Inks[i] = reference.at(i);
    if (!m_host || !m_host->IsPosGapMode())
        m_environment.PositionGap = false;
    ValidateSetting();
}

void CApplicationData::ValidateMeasureConditionSetting(Setting::MeasureConditionSetting &r, int defaultMask)
{
    if (notBit(r.DensityShown))
        r.DensityShown = 1;
    if (above(r.WhiteReference, 1))
        r.WhiteReference = 0;
    if (above(r.DensityStatus, 4))
        r.DensityStatus = 1;
    if (notBit(r.ColorSpaceShown))
        r.ColorSpaceShown = 1;
    if (notBit(r.LabShown))
        r.LabShown = 1;
    if (notBit(r.LchShown))
        r.LchShown = 0;
    if (notBit(r.XyzShown))
        r.XyzShown = 0;
    if (above(r.Observer, 1))
        r.Observer = 0;
    if (above(r.Illuminant, 20))
        r.Illuminant = 2;
    if (notBit(r.SpectralShown))
        r.SpectralShown = 1;
    if (above(r.ConditionMask, 0xFFFFF))
        r.ConditionMask = defaultMask;
    if (notBit(r.PatchColorShown))
        r.PatchColorShown = 1;
}

void CApplicationData::ValidateSetting()
{
    // The bool fields hold 0 or 1 by construction; the stream turns any non-zero byte into 1.
    Setting::UserEnvironment &e = m_environment;
    if (above(e.ErrorHandling, 1))
        e.ErrorHandling = 0;
    if (above(e.Aperture, 4))
        e.Aperture = 1;
    if (above(e.ConditionSource, 1))
        e.ConditionSource = 0;
    if (above(e.FileNameMode, 1))
        e.FileNameMode = 0;
    if (above(e.AutoExportFormat, 9))
        e.AutoExportFormat = 0;
    ValidateMeasureConditionSetting(e.Display, DefaultDisplayColumns().ConditionMask);
    if (above(e.LengthUnit, 1))
        e.LengthUnit = 0;
    if (above(e.ColorFormat, 6))
        e.ColorFormat = 1;
    if (above(m_connection.ConnectionKind, 1))
        m_connection.ConnectionKind = 0;
    if (above(m_connection.AddressKind, 1))
        m_connection.AddressKind = 0;
    ValidateMeasureConditionSetting(m_conditions[MainWindow], DefaultDisplayColumns().ConditionMask);
    ValidateMeasureConditionSetting(m_conditions[DensityWindow], DefaultDensityDisplayColumns().ConditionMask);
    if (above(e.AllConditionsInOneFile, 1))
        e.AllConditionsInOneFile = 0;
    if (above(e.BitDepth, 1))
        e.BitDepth = 1;
    if (above(m_connection.SpecifyDevice, 1))
        m_connection.SpecifyDevice = 0;
    // The data-group name becomes a folder name; one that could leave the data folder is dropped and the
    // document store then takes its last group.
    if (!e.DataGroupName.isEmpty() && !IsUsableDataGroupName(e.DataGroupName))
        e.DataGroupName.clear();
    m_measureDataSave.FolderCount = qBound(0, m_measureDataSave.FolderCount, Setting::kMaxSaveFolderCount);
    m_measureDataSave.PrinterCount = qBound(0, m_measureDataSave.PrinterCount, Setting::kMaxPrinterCount);
}

int CApplicationData::SetSetting(const Setting::UserEnvironment &environment)
{
    const bool nameChanged = environment.DataGroupName != m_environment.DataGroupName;
    const bool columnsChanged = environment.DatalistColumns != m_environment.DatalistColumns;
    m_environment = environment;
    const int result = SaveSetting();
    if (result != Success)
        return result;
    if (nameChanged)
        emit CurrentUserEnvironmentChanged();
    else if (columnsChanged)
        emit UpdateDatalistColumn(m_environment.DatalistColumns);
    return Success;
}

int CApplicationData::SetConnectionSetting(const Setting::ConnectSetting &connection)
{
    m_connection = connection;
    return SaveSetting();
}

int CApplicationData::SetMeasureDataSaveSetting(const Setting::MeasureDataSave &record)
{
    m_measureDataSave = record;
    m_measureDataSave.FolderCount = qBound(0, record.FolderCount, Setting::kMaxSaveFolderCount);
    m_measureDataSave.PrinterCount = qBound(0, record.PrinterCount, Setting::kMaxPrinterCount);
    return SaveSetting();
}

void CApplicationData::StorePrinterEntry(const Setting::PrinterInfo &entry)
{
    const int slot = m_measureDataSave.PrinterCount;
    if (slot < 0 || slot >= Setting::kMaxPrinterCount)
        return;
    m_measureDataSave.Printers[slot] = entry;
}

bool CApplicationData::FindPrinter(const QString &address, Setting::PrinterInfo *entry) const
{
    const int count = qBound(0, m_measureDataSave.PrinterCount, Setting::kMaxPrinterCount);
    for (int i = 0; i < count; ++i) {
        if (m_measureDataSave.Printers[i].IPAddress == address) {
            if (entry)
                *entry = m_measureDataSave.Printers[i];
            return true;
        }
    }
    return false;
}

bool CApplicationData::IsPrinterListFull() const
{
    return m_measureDataSave.PrinterCount >= Setting::kMaxPrinterCount;
}

bool CApplicationData::IsAddFileNameEnabled() const
{
    return m_measureDataSave.AutoTransmission;
}

const Setting::MeasureConditionSetting &CApplicationData::GetMeasurementCondition(int i) const
{
    return m_conditions[IsWindowIndex(i) ? i : MainWindow];
}

int CApplicationData::SetMeasureCondition(const Setting::MeasureConditionSetting &record, int i)
{
    if (!IsWindowIndex(i))
        return InvalidArgument;
    m_conditions[i] = record;
    return SaveSetting();
}

QByteArray CApplicationData::GetWindowGeometry(int i) const
{
    return IsWindowIndex(i) ? m_windowGeometry[i] : QByteArray();
}

void CApplicationData::SetWindowGeometry(const QByteArray &bytes, int i)
{
    if (IsWindowIndex(i))
        m_windowGeometry[i] = bytes;
}

QByteArray CApplicationData::GetWindowState(int i) const
{
    return IsWindowIndex(i) ? m_windowState[i] : QByteArray();
}

void CApplicationData::SetWindowState(const QByteArray &bytes, int i)
{
    if (IsWindowIndex(i))
        m_windowState[i] = bytes;
}

QByteArray CApplicationData::GetPanelState(int i) const
{
    return IsWindowIndex(i) ? m_panelState[i] : QByteArray();
}

void CApplicationData::SetPanelState(const QByteArray &bytes, int i)
{
    if (IsWindowIndex(i))
        m_panelState[i] = bytes;
}

int CApplicationData::SetNextCalibrationTime(const QString &time)
{
    m_nextCalibrationTime = time;
    return SaveSetting();
}

int CApplicationData::SetLastFolder(const QString &folder)
{
    m_lastFolder = folder;
    return SaveSetting();
}
