#include "app/documentdata.h"

#include "app/colourhelpers.h"
#include "app/recordhelpers.h"
#include "app/applicationdata.h"
#include "app/storablechart.h"
#include "app/texthelpers.h"
#include "app/unithelpers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <sys/stat.h>
#include <climits>
#include <cstring>
#include <vector>

namespace {

const char kChartFolder[] = "/Chart";
const char kDensityFolder[] = "/Density";
const char kChartSuffix[] = "vrchart";
const char kMeasureSuffix[] = "vrmeas";
const char kDefaultGroup[] = "Data";
constexpr int kNumberWidth = 5;
constexpr int kRecognitionFolderNumber = 0;
constexpr int kUniqueNameLimit = 599;
constexpr int kChartCodeLength = 16;
constexpr int kLengthUnitMm = 0;
constexpr int kLengthUnitInch = 1;

QString Number(int number)
{
    return ZeroPaddedNumber(number, kNumberWidth);
}

QString Now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

// A decimal name in 1 .. INT_MAX - 1 as a number; 0 for any other name.
int NameNumber(const QString &name)
{
    for (const QChar c : name)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    bool ok = false;
    const qlonglong value = name.toLongLong(&ok);
    return ok && value >= 1 && value < INT_MAX ? int(value) : 0;
}

// A document's number from its file name: a decimal base name in 1 .. INT_MAX - 1 and the exact suffix;
// 0 for any other file.
int FileNumber(const QString &fileName, const char *suffix)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || fileName.mid(dot + 1) != QLatin1String(suffix))
        return 0;
    return NameNumber(fileName.left(dot));
}

// The numbered documents of a folder in name order.
CDocumentData::NumberedFileList NumberedFiles(const QString &folder, const char *suffix)
{
    CDocumentData::NumberedFileList files;
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const int number = FileNumber(name, suffix);
        if (number > 0)
            files.append({number, folder + QLatin1Char('/') + name});
    }
    return files;
}

QStringList SubFolders(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

// One listing of a folder: the highest document number among every name, whether or not the file can be read,
// and the numbered regular files in name order.
struct FolderListing {
    int highest = 0;
    CDocumentData::NumberedFileList files;
};

FolderListing ListFolder(const QString &folder, const char *suffix)
{
    FolderListing listing;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const int number = FileNumber(entry.fileName(), suffix);
        listing.highest = std::max(listing.highest, number);
        if (number > 0 && entry.isFile())
            listing.files.append({number, folder + QLatin1Char('/') + entry.fileName()});
    }
    return listing;
}

// The highest numbers in use under a kind folder (D/Chart or D/Density), counted from names alone: chart files
// and the chart folders of every data group (measurements may outlive an unreadable or removed chart file), and
// the measurement files in the chart folders of the given group, the recognition folder apart. The same walk
// keeps the chart files and the given group's measurement files by chart folder name, so that the folders are
// listed once.
struct NumbersInUse {
    int charts = 0;
    int measures = 0;
    int recognitions = 0;
    CDocumentData::NumberedFileList chartFiles;
    QHash<QString, CDocumentData::NumberedFileList> measureFiles;
};

NumbersInUse CountNumbersInUse(const QString &kindFolder, const QString &group)
{
    NumbersInUse used;
    FolderListing charts = ListFolder(kindFolder, kChartSuffix);
    used.charts = charts.highest;
    used.chartFiles = std::move(charts.files);
    for (const QString &groupName : SubFolders(kindFolder)) {
        const QString groupFolder = kindFolder + QLatin1Char('/') + groupName;
        for (const QString &chartName : SubFolders(groupFolder)) {
            const int chart = NameNumber(chartName);
            used.charts = std::max(used.charts, chart);
            if (groupName != group)
                continue;
            FolderListing listing = ListFolder(groupFolder + QLatin1Char('/') + chartName, kMeasureSuffix);
            const int measure = listing.highest;
            used.measureFiles.insert(chartName, std::move(listing.files));
            if (chart > 0)
                used.measures = std::max(used.measures, measure);
            else if (chartName == Number(kRecognitionFolderNumber))
                used.recognitions = std::max(used.recognitions, measure);
        }
    }
    return used;
}

// Makes a folder; *made tells whether this call created it.
bool MakeFolder(const QString &path, bool *made)
{
    *made = false;
    if (QFileInfo(path).isDir())
        return true;
    if (!QDir().mkpath(path))
        return false;
    *made = true;
    return true;
}

// Removes a folder only when this call made it and it is still empty.
void RemoveMadeFolder(const QString &path, bool made)
{
    if (made)
        QDir().rmdir(path);
}

template <typename Record>
Record *FindByNumber(QList<Record> &list, int number)
{
    for (Record &record : list)
        if (record.ID == number)
            return &record;
    return nullptr;
}

template <typename Record>
Record *FindByJob(QList<Record> &list, int job)
{
    for (Record &record : list)
        if (record.JobNumber == job)
            return &record;
    return nullptr;
}

template <typename Record>
bool RemoveByNumber(QList<Record> &list, int number)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].ID == number) {
            list.removeAt(i);
            return true;
        }
    }
    return false;
}

// The reader and writer of each chart record kind, so that one rewrite serves both kinds.
int ReadChartDocument(ChartDesigData *record, ChartDefinitionDataSheets *chart, const QString &path)
{
    return ReadChartFile(record, chart, path);
}

int ReadChartDocument(DensityBalanceData *record, ChartDefinitionDataSheets *chart, const QString &path)
{
    return ReadDensityChartFile(record, chart, path);
}

int SaveChartDocument(const QString &path, ChartDesigData *record, const ChartDefinitionDataSheets &chart,
                      const ChartDefinitionData::Sheet *page, int index)
{
    return SaveChartFile(path, record, chart, page, index);
}

int SaveChartDocument(const QString &path, DensityBalanceData *record, const ChartDefinitionDataSheets &chart,
                      const ChartDefinitionData::Sheet *page, int index)
{
    return SaveDensityChartFile(path, record, chart, page, index);
}

// Reads a chart document into a copy of record, lets change adjust the copy and writes it back with the
// replacement page; record takes the copy, keeping its run-time job number, only when both succeeded.
template <typename Record, typename Change>
int RewriteChartDocument(const QString &path, Record *record, const ChartDefinitionData::Sheet *page, int index,
                         Change change)
{
    Record changed = *record;
    ChartDefinitionDataSheets chart;
    int result = ReadChartDocument(&changed, &chart, path);
    if (result == kDocumentOk && page && index >= chart.SheetCount)
        result = kDocumentInvalid;
    if (result == kDocumentOk) {
        change(changed, static_cast<const ChartDefinitionDataSheets &>(chart));
        result = SaveChartDocument(path, &changed, chart, page, index);
    }
    ClearChartDefinitionData(&chart);
    if (result != kDocumentOk)
        return result;
    changed.JobNumber = record->JobNumber;
    *record = changed;
    return kDocumentOk;
}

// Reads a designation or density measurement into a copy of record, lets change adjust the copy and the pages
// (or refuse with a result) and writes it back with page, if any, appended; record takes the copy only when all
// succeeded.
template <typename Change>
int RewriteMeasureDocument(const QString &path, bool density, ChartDesigMeasureData *record,
                           const MeasurementData *page, Change change)
{
    ChartDesigMeasureData changed = *record;
    MeasurementDataSheets measurement;
    int result = density ? ReadDensityMeasureFile(&changed, &measurement, path)
                         : ReadMeasureFile(&changed, &measurement, path);
    if (result == kDocumentOk)
        result = change(changed, measurement);
    if (result == kDocumentOk)
        result = density ? SaveDensityMeasureFile(path, &changed, measurement, page, -1)
                         : SaveMeasureFile(path, &changed, measurement, page, -1);
    ClearMeasureFileData(&measurement);
    if (result == kDocumentOk)
        *record = changed;
    return result;
}

QString ChartCode(const SheetInfoRecord &record)
{
    const char *code = record.ChartCode;
    const int length = int(std::find(code, code + kChartCodeLength, '\0') - code);
    return QString::fromLocal8Bit(code, length);
}

// The preset density charts the installation ships, by the fields that identify them.
struct PresetRule {
    const char *name;
    const char *file;
};
const PresetRule kA4Presets[] = {
    {"A4_1", "/00257.vrchart"}, {"A4_2", "/00258.vrchart"}, {"A4_3", "/00259.vrchart"}, {"A4_4", "/00260.vrchart"}};

// The installation file that replaces a user's density chart, or empty.
QString PresetFileFor(const DensityBalanceData &record)
{
    if (record.ChartName == QLatin1String("Type2_SRA3") &&
        record.CreateTime == QLatin1String("2015/01/01 00:00:00") && record.Template == 1 && record.SecondNumber == 1)
        return QStringLiteral("/00077.vrchart");
    if (!record.CreateTime.contains(QLatin1String("2018/")) || record.Template != 7 || record.SecondNumber != 0 ||
        record.ChartPatchCount != 506)
        return QString();
    for (const PresetRule &rule : kA4Presets)
        if (record.ChartName == QLatin1String(rule.name))
            return QLatin1String(rule.file);
    return QString();
}

// Installed preset level -> the smallest preset file number still to install.
int PresetThreshold(int installedLevel)
{
    switch (installedLevel) {
    case 0: return 120;
    case 1: return 232;
    case 2: return 241;
    case 3: return 310;
    default: return -1;
    }
}

} // namespace

CDocumentData::CDocumentData(CDocumentDataHost *host, QObject *parent, const QString &dataFolder,
                             const QString &initialDataFolder)
    : QObject(parent), m_host(host), m_dataFolder(dataFolder), m_initialDataFolder(initialDataFolder)
{
    qRegisterMetaType<ChartDesigData *>("ChartDesigData*");
    qRegisterMetaType<ChartDesigMeasureData *>("ChartDesigMeasureData*");
    qRegisterMetaType<ChartRecogData *>("ChartRecogData*");
    qRegisterMetaType<DensityBalanceData *>("DensityBalanceData*");
    qRegisterMetaType<QList<ChartDesigData>>("QList<ChartDesigData>");
    qRegisterMetaType<QList<ChartDesigMeasureData>>("QList<ChartDesigMeasureData>");
    qRegisterMetaType<QList<ChartRecogData>>("QList<ChartRecogData>");
}

// ---- paths

QString CDocumentData::CurrentDataGroup() const
{
    const QString name = m_host->CurrentUserEnvironment().DataGroupName;
    if (IsUsableDataGroupName(name))
        return name;
    return m_groups.isEmpty() ? QLatin1String(kDefaultGroup) : m_groups.last();
}

QString CDocumentData::DesignationChartPath(int number) const
{
    return m_dataFolder + QLatin1String(kChartFolder) + QLatin1Char('/') + Number(number) + QLatin1Char('.') +
           QLatin1String(kChartSuffix);
}

QString CDocumentData::DesignationChartFolder(int number) const
{
    return m_dataFolder + QLatin1String(kChartFolder) + QLatin1Char('/') + CurrentDataGroup() + QLatin1Char('/') +
           Number(number);
}

QString CDocumentData::DesignationMeasurePath(int chartNumber, int number) const
{
    return DesignationChartFolder(chartNumber) + QLatin1Char('/') + Number(number) + QLatin1Char('.') +
           QLatin1String(kMeasureSuffix);
}

QString CDocumentData::RecognitionFolder() const
{
    return DesignationChartFolder(kRecognitionFolderNumber);
}

QString CDocumentData::RecognitionMeasurePath(int number) const
{
    return DesignationMeasurePath(kRecognitionFolderNumber, number);
}

QString CDocumentData::DensityChartPath(int number) const
{
    return m_dataFolder + QLatin1String(kDensityFolder) + QLatin1Char('/') + Number(number) + QLatin1Char('.') +
           QLatin1String(kChartSuffix);
}

QString CDocumentData::DensityChartFolder(int number) const
{
    return m_dataFolder + QLatin1String(kDensityFolder) + QLatin1Char('/') + CurrentDataGroup() + QLatin1Char('/') +
           Number(number);
}

QString CDocumentData::DensityMeasurePath(int chartNumber, int number) const
{
    return DensityChartFolder(chartNumber) + QLatin1Char('/') + Number(number) + QLatin1Char('.') +
           QLatin1String(kMeasureSuffix);
}

// ---- start-up and reading

int CDocumentData::Initialize(bool firstRun)
{
    if (firstRun && !CopyRecursively(m_initialDataFolder, m_dataFolder))
        return kDocumentCopyError;
    ReadDataGroups();
    int result = ReadDensityDocuments(true);
    if (result != kDocumentOk)
        return result;
    if (m_host->IsDataFormatCurrent())
        return kDocumentOk;
    const QString density = m_dataFolder + QLatin1String(kDensityFolder);
    if (NumberedFiles(density, kChartSuffix).isEmpty()) {
        // Only the density presets: the rest of the first-run copy is already in place and is never overwritten.
        if (!CopyRecursively(m_initialDataFolder + QLatin1String(kDensityFolder), density))
            return kDocumentCopyError;
        return ReadAllDensityDocuments();
    }
    InstallPresetsByLevel();
    return kDocumentOk;
}

void CDocumentData::ReadDataGroups()
{
    m_groups = QDir(m_dataFolder + QLatin1String(kChartFolder))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (m_groups.isEmpty()) {
        m_groups = QStringList{QLatin1String(kDefaultGroup)};
        m_host->CurrentUserEnvironment().DataGroupName.clear();
    }
}

int CDocumentData::ReadAllDocuments()
{
    QHash<int, int> jobs;
    for (const ChartDesigData &chart : m_charts)
        jobs.insert(chart.ID, chart.JobNumber);
    m_recognitions.clear();
    m_charts.clear();
    m_measures.clear();
    m_recognitionCounter = m_chartCounter = m_measureCounter = 1;
    // Counted before reading: a new document must never take the number of a file that cannot be read, nor of
    // one a failed walk did not reach.
    const NumbersInUse used = CountNumbersInUse(m_dataFolder + QLatin1String(kChartFolder), CurrentDataGroup());
    BumpIdCounter(&m_chartCounter, used.charts, -1);
    BumpIdCounter(&m_measureCounter, used.measures, -1);
    BumpIdCounter(&m_recognitionCounter, used.recognitions, -1);

    int result = ReadDesignationCharts(used.chartFiles, used.measureFiles);
    if (result == kDocumentOk) {
        emit ReadDesignationChartFinished(m_charts, m_measures);
        result = ReadRecognitionMeasures(used.measureFiles.value(Number(kRecognitionFolderNumber)));
        if (result == kDocumentOk)
            emit ReadRecognitionMeasureFinished(m_recognitions);
    }
    for (ChartDesigData &chart : m_charts)
        chart.JobNumber = jobs.value(chart.ID, 0);
    return result;
}

int CDocumentData::ReadDesignationCharts(const NumberedFileList &charts,
                                         const QHash<QString, NumberedFileList> &measures)
{
    bool made = false;
    if (!MakeFolder(RecognitionFolder(), &made))
        return kDocumentFolderError;
    for (const auto &file : charts) {
        ChartDesigData record;
        int unit = kLengthUnitMm;
        if (ListChartFile(&record, file.second, &unit) != kDocumentOk)
            continue;
        if (unit == kLengthUnitInch) {
            // Rare: only such a chart is read whole, converted and written back.
            ChartDefinitionDataSheets chart;
            const int read = ReadChartFile(&record, &chart, file.second);
            if (read == kDocumentOk) {
                ConvertChartToMillimetres(&chart);
                SaveChartFile(file.second, &record, chart);
            }
            ClearChartDefinitionData(&chart);
            if (read != kDocumentOk)
                continue;
        }
        BumpIdCounter(&m_chartCounter, file.first, -1);
        record.ID = file.first;
        m_charts.append(record);
        if (!MakeFolder(DesignationChartFolder(file.first), &made))
            return kDocumentFolderError;
        ReadMeasureFolder(measures.value(Number(file.first)), file.first, false);
    }
    return kDocumentOk;
}

int CDocumentData::ReadMeasureFolder(const NumberedFileList &files, int chartNumber, bool density)
{
    QList<ChartDesigMeasureData> &list = density ? m_densityMeasures : m_measures;
    int &counter = density ? m_densityMeasureCounter : m_measureCounter;
    for (const auto &file : files) {
        ChartDesigMeasureData record;
        const int result = density ? ListDensityMeasureFile(&record, file.second)
                                   : ListMeasureFile(&record, file.second);
        if (result != kDocumentOk)
            continue;
        BumpIdCounter(&counter, file.first, -1);
        record.ID = file.first;
        record.ChartID = chartNumber;
        list.append(record);
    }
    return kDocumentOk;
}

int CDocumentData::ReadRecognitionMeasures(const NumberedFileList &files)
{
    for (const auto &file : files) {
        ChartRecogData record;
        if (ListRecognitionFile(&record, file.second) != kDocumentOk)
            continue;
        BumpIdCounter(&m_recognitionCounter, file.first, -1);
        record.ID = file.first;
        record.ChartID = 0;
        m_recognitions.append(record);
    }
    return kDocumentOk;
}

int CDocumentData::ReadAllDensityDocuments()
{
    return ReadDensityDocuments(false);
}

int CDocumentData::ReadDensityDocuments(bool refreshPresets)
{
    m_densityCharts.clear();
    m_densityMeasures.clear();
    m_densityChartCounter = m_densityMeasureCounter = 1;
    const NumbersInUse used = CountNumbersInUse(m_dataFolder + QLatin1String(kDensityFolder), CurrentDataGroup());
    BumpIdCounter(&m_densityChartCounter, used.charts, -1);
    BumpIdCounter(&m_densityMeasureCounter, used.measures, -1);
    for (const auto &file : used.chartFiles) {
        DensityBalanceData record;
        if (ListDensityChartFile(&record, file.second) != kDocumentOk)
            continue;
        // A replaced preset is listed from its new bytes.
        if (refreshPresets && RefreshPresetFile(file.second, record) &&
            ListDensityChartFile(&record, file.second) != kDocumentOk)
            continue;
        BumpIdCounter(&m_densityChartCounter, file.first, -1);
        record.ID = file.first;
        m_densityCharts.append(record);
        bool made = false;
        if (!MakeFolder(DensityChartFolder(file.first), &made))
            return kDocumentFolderError;
        ReadMeasureFolder(used.measureFiles.value(Number(file.first)), file.first, true);
    }
    return kDocumentOk;
}

// ---- data groups

int CDocumentData::UpdateDataGroupNames(const QStringList &names)
{
    int result = kDocumentOk;
    auto fail = [&result] {
        if (result == kDocumentOk)
            result = kDocumentFolderError;
    };
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        if (i < m_groups.size() && name == m_groups[i])
            continue;
        if (!IsUsableDataGroupName(name)) {
            fail();
            continue;
        }
        if (i >= m_groups.size()) {
            m_groups.append(name);
            continue;
        }
        const QString &old = m_groups[i];
        if (!IsUsableDataGroupName(old)) {
            fail();
            continue;
        }
        const QString chartFrom = m_dataFolder + QLatin1String(kChartFolder) + QLatin1Char('/') + old;
        const QString chartTo = m_dataFolder + QLatin1String(kChartFolder) + QLatin1Char('/') + name;
        const QString densityFrom = m_dataFolder + QLatin1String(kDensityFolder) + QLatin1Char('/') + old;
        const QString densityTo = m_dataFolder + QLatin1String(kDensityFolder) + QLatin1Char('/') + name;
        const bool moveChart = QFileInfo::exists(chartFrom);
        const bool moveDensity = QFileInfo::exists(densityFrom);
        // A rename never replaces a folder that is already there.
        if ((moveChart && (QFileInfo::exists(chartTo) || !QDir().rename(chartFrom, chartTo)))) {
            fail();
            continue;
        }
        if (moveDensity && (QFileInfo::exists(densityTo) || !QDir().rename(densityFrom, densityTo))) {
            if (moveChart)
                QDir().rename(chartTo, chartFrom);
            fail();
            continue;
        }
        m_groups[i] = name;
    }
    return result;
}

// ---- creation

int CDocumentData::CreateDesignationChart(ChartDefinitionDataSheets *chart, bool emitSignal)
{
    // Refused before a number or a folder is taken: a file the reader refuses would be skipped at the next start.
    if (!IsStorableChart(*chart))
        return kDocumentInvalid;
    const int number = NextId(&m_chartCounter, -1);
    ChartDesigData record;
    record.ID = number;
    record.Kind = ChartDefinitionData::KindNormal;
    record.ChartName = chart->ChartName.isEmpty() ? QStringLiteral("Chart") + Number(number)
                                                  : MakeUniqueChartName(chart->ChartName, number);
    record.CreateTime = chart->CreateTime.isEmpty() ? Now() : chart->CreateTime;
    record.UUID = QUuid::createUuid().toString();
    record.SheetCount = chart->SheetCount;
    record.ChartPatchCount = chart->ChartPatchCount;
    record.Diameter = chart->Diameter;
    record.Recog = chart->Recog;

    const QString folder = DesignationChartFolder(number);
    bool made = false;
    if (!MakeFolder(folder, &made))
        return kDocumentFolderError;
    const int result = SaveChartFile(DesignationChartPath(number), &record, *chart);
    if (result != kDocumentOk) {
        RemoveMadeFolder(folder, made);
        return result;
    }
    chart->ChartName = record.ChartName;
    chart->CreateTime = record.CreateTime;
    chart->UUID = record.UUID;
    m_charts.append(record);
    if (emitSignal)
        emit CreateDesignationChartFinished(&m_charts.last());
    return kDocumentOk;
}

int CDocumentData::CreateDensityChart(int templateNumber, int secondNumber, ChartDefinitionDataSheets *chart)
{
    if (!IsStorableChart(*chart))
        return kDocumentInvalid;
    const int number = NextId(&m_densityChartCounter, -1);
    DensityBalanceData record;
    record.ID = number;
    record.Kind = ChartDefinitionData::KindDensity;
    record.Template = templateNumber;
    record.SecondNumber = secondNumber;
    record.ChartName = QStringLiteral("DensityChart") + Number(number);
    record.CreateTime = chart->CreateTime.isEmpty() ? Now() : chart->CreateTime;
    record.UUID = QUuid::createUuid().toString();
    record.SheetCount = chart->SheetCount;
    record.ChartPatchCount = chart->ChartPatchCount;
    record.Diameter = chart->Diameter;

    const QString folder = DensityChartFolder(number);
    bool made = false;
    if (!MakeFolder(folder, &made))
        return kDocumentFolderError;
    const int result = SaveDensityChartFile(DensityChartPath(number), &record, *chart);
    if (result != kDocumentOk) {
        RemoveMadeFolder(folder, made);
        return result;
    }
    chart->Kind = ChartDefinitionData::KindDensity;
    chart->ChartName = record.ChartName;
    chart->CreateTime = record.CreateTime;
    chart->UUID = record.UUID;
    m_densityCharts.append(record);
    emit CreateDensityChartFinished(&m_densityCharts.last());
    return kDocumentOk;
}

int CDocumentData::CreateMeasure(int *number, int chartNumber, MeasurementDataSheets *measurement, bool density)
{
    // Refused before a number or a folder is taken; only the first page is written.
    const bool hasPage = measurement->SheetCount > 0 && measurement->Sheets;
    if (!IsStorableMeasurementFields(*measurement) || (hasPage && !IsStorableMeasuredPage(measurement->Sheets[0])))
        return kDocumentInvalid;
    const int id = NextId(density ? &m_densityMeasureCounter : &m_measureCounter, -1);
    ChartDesigMeasureData record;
    record.ID = id;
    record.ChartID = chartNumber;
    record.ChartName = (density ? QStringLiteral("DensityMeas") : QStringLiteral("Meas")) + Number(id);
    record.CreateTime = Now();
    record.Diameter = measurement->Diameter;
    record.RecordCount =
        hasPage ? (density ? measurement->Sheets[0].RecordCount : measurement->Sheets[0].MeasuredCount) : 0;
    measurement->RecordCount = record.RecordCount;

    const QString folder = density ? DensityChartFolder(chartNumber) : DesignationChartFolder(chartNumber);
    bool made = false;
    if (!MakeFolder(folder, &made))
        return kDocumentFolderError;
    const QString path = density ? DensityMeasurePath(chartNumber, id) : DesignationMeasurePath(chartNumber, id);
    // Only the first page goes into the new file (the page count is cut for the write); later pages are
    // appended by the updates.
    int result = kDocumentOk;
    {
        // Restored also when the write throws (bad_alloc): the caller's pages must stay whole.
        struct KeepCount {
            int *count;
            int saved;
            ~KeepCount() { *count = saved; }
        } keep{&measurement->SheetCount, measurement->SheetCount};
        measurement->SheetCount = hasPage ? 1 : 0;
        result = density ? SaveDensityMeasureFile(path, &record, *measurement)
                         : SaveMeasureFile(path, &record, *measurement);
    }
    if (result != kDocumentOk) {
        RemoveMadeFolder(folder, made);
        return result;
    }
    if (number)
        *number = id;
    if (density) {
        m_densityMeasures.append(record);
        emit CreateDensityMeasureFinished(&m_densityMeasures.last());
    } else {
        m_measures.append(record);
        emit CreateDesignationMeasureFinished(&m_measures.last());
    }
    return kDocumentOk;
}

int CDocumentData::CreateDesignationMeasure(int *number, int chartNumber, MeasurementDataSheets *measurement)
{
    return CreateMeasure(number, chartNumber, measurement, false);
}

int CDocumentData::CreateDensityMeasure(int *number, int chartNumber, MeasurementDataSheets *measurement)
{
    return CreateMeasure(number, chartNumber, measurement, true);
}

int CDocumentData::CreateRecognitionMeasure(int *number, const ChartDefinitionDataSheets &chart,
                                            MeasurementDataSheets *measurement)
{
    if (!IsStorableChart(chart) || !IsStorableMeasurement(*measurement))
        return kDocumentInvalid;
    const int id = NextId(&m_recognitionCounter, -1);
    ChartRecogData record;
    record.ID = id;
    record.ChartName = QStringLiteral("Recog") + Number(id);
    record.CreateTime = Now();
    record.Diameter = chart.Diameter;
    const bool hasPage = chart.SheetCount > 0 && measurement->SheetCount > 0 && measurement->Sheets;
    record.RecordCount = hasPage ? measurement->Sheets[0].MeasuredCount : 0;

    const QString folder = RecognitionFolder();
    bool made = false;
    if (!MakeFolder(folder, &made))
        return kDocumentFolderError;
    const int result = SaveRecognitionFile(RecognitionMeasurePath(id), &record, chart, *measurement);
    if (result != kDocumentOk) {
        RemoveMadeFolder(folder, made);
        return result;
    }
    if (number)
        *number = id;
    m_recognitions.append(record);
    emit CreateRecognitionMeasureFinished(&m_recognitions.last());
    return kDocumentOk;
}

// ---- rewrites

int CDocumentData::RewriteMeasure(int number, bool density, const MeasurementData *page,
                                  const std::function<void(ChartDesigMeasureData &)> &change)
{
    ChartDesigMeasureData *record = density ? FindDensityMeasure(number) : FindDesignationMeasure(number);
    if (!record)
        return kDocumentFileError;
    if (page && !IsStorableMeasuredPage(*page))
        return kDocumentInvalid;
    const QString path =
        density ? DensityMeasurePath(record->ChartID, number) : DesignationMeasurePath(record->ChartID, number);
    // The rewrite may keep the file's size and time; the next page must see its new header.
    if (m_written.number == number && m_written.density == density)
        ForgetWrittenPages();
    const int result = RewriteMeasureDocument(path, density, record, page,
                                              [&](ChartDesigMeasureData &changed, MeasurementDataSheets &) {
                                                  change(changed);
                                                  return kDocumentOk;
                                              });
    if (result != kDocumentOk)
        return result;
    if (density)
        emit UpdateDensityMeasureFinished(record);
    else
        emit UpdateDesignationMeasureFinished(record);
    return kDocumentOk;
}

bool CDocumentData::HoldsWrittenPages(int number, bool density, const QString &path) const
{
    if (m_written.number != number || m_written.density != density || m_written.path != path)
        return false;
    const FileStamp stamp = StampOf(path);
    return stamp.size >= 0 && stamp == m_written.stamp;
}

CDocumentData::FileStamp CDocumentData::StampOf(const QString &path)
{
    FileStamp stamp;
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return stamp;
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
    stamp.inode = quint64(info.st_ino);
    stamp.device = quint64(info.st_dev);
    return stamp;
}

void CDocumentData::ForgetWrittenPages()
{
    m_written = WrittenPages();
}

// A scanner run appends its pages one by one: the file is rewritten whole (atomically, as every document), but
// from the pages kept since the last append, so a page costs the same whether it is the second or the
// twentieth. Only the first append of a run, or one after the file changed, reads the file.
int CDocumentData::AppendMeasurePage(int number, bool density, const MeasurementData &page)
{
    ChartDesigMeasureData *record = density ? FindDensityMeasure(number) : FindDesignationMeasure(number);
    if (!record)
        return kDocumentFileError;
    if (!IsStorableMeasuredPage(page))
        return kDocumentInvalid;
    const QString path =
        density ? DensityMeasurePath(record->ChartID, number) : DesignationMeasurePath(record->ChartID, number);
    if (!HoldsWrittenPages(number, density, path)) {
        ForgetWrittenPages();
        const FileStamp stamp = StampOf(path);
        ChartDesigMeasureData header = *record;
        MeasurementDataSheets measurement;
        int result = density ? ReadDensityMeasureFile(&header, &measurement, path)
                             : ReadMeasureFile(&header, &measurement, path);
        // What the writer would refuse to write back is refused before anything is kept.
        if (result == kDocumentOk && !IsStorableMeasurement(measurement))
            result = kDocumentInvalid;
        if (result != kDocumentOk) {
            ClearMeasureFileData(&measurement);
            return result;
        }
        WrittenPages read;
        read.density = density;
        read.number = number;
        read.path = path;
        read.stamp = stamp;
        read.header = header;
        read.mode = measurement.Mode;
        read.serialNumber = measurement.SerialNumber;
        read.barcodeText1 = measurement.BarcodeText1;
        read.barcodeText2 = measurement.BarcodeText2;
        for (int i = 0; i < measurement.SheetCount; ++i)
            read.pages.push_back(MeasurementSheetBytes(measurement.Sheets[i]));
        ClearMeasureFileData(&measurement);
        m_written = std::move(read);
    }

    ChartDesigMeasureData header = m_written.header;
    header.RecordCount += page.RecordCount;
    m_written.pages.push_back(MeasurementSheetBytes(page));
    const int result = SaveMeasurePageBytes(path, density, header, m_written.mode, m_written.serialNumber,
                                            m_written.pages, m_written.barcodeText1, m_written.barcodeText2);
    if (result != kDocumentOk) {
        m_written.pages.pop_back();
        return result;
    }
    m_written.header = header;
    m_written.stamp = StampOf(path);

    record->ChartName = header.ChartName;
    record->CreateTime = header.CreateTime;
    record->RecordCount = header.RecordCount;
    record->Diameter = header.Diameter;
    if (density)
        emit UpdateDensityMeasureFinished(record);
    else
        emit UpdateDesignationMeasureFinished(record);
    return kDocumentOk;
}

int CDocumentData::UpdateDesignationMeasure(int number, const MeasurementData &page)
{
    return AppendMeasurePage(number, false, page);
}

int CDocumentData::UpdateDensityMeasure(int number, const MeasurementData &page)
{
    return AppendMeasurePage(number, true, page);
}

int CDocumentData::ReorderDesignationMeasurePages(int number, const QList<int> &pageNumbers)
{
    ChartDesigMeasureData *record = FindDesignationMeasure(number);
    if (!record)
        return kDocumentFileError;
    return RewriteMeasureDocument(
        DesignationMeasurePath(record->ChartID, number), false, record, nullptr,
        [&](ChartDesigMeasureData &, MeasurementDataSheets &measurement) {
            // Only a permutation of 1..n moves pages; anything else would lose one or write past the pages.
            const int count = measurement.SheetCount;
            QVector<bool> seen(count, false);
            bool valid = pageNumbers.size() == count;
            for (int i = 0; valid && i < count; ++i) {
                const int target = pageNumbers[i];
                valid = target >= 1 && target <= count && !seen[target - 1];
                if (valid)
                    seen[target - 1] = true;
            }
            if (!valid)
                return kDocumentInvalid;
            std::unique_ptr<MeasurementData[]> ordered = NewMeasurementPages(size_t(std::max(count, 1)));
            for (int i = 0; i < count; ++i)
                ordered[pageNumbers[i] - 1] = std::move(measurement.Sheets[i]);
            measurement.Sheets = std::move(ordered);
            return kDocumentOk;
        });
}

int CDocumentData::RewriteChart(ChartDesigData *record, const std::function<void(ChartDesigData &)> &change)
{
    const int result = RewriteChartDocument(DesignationChartPath(record->ID), record, nullptr, -1,
                                            [&](ChartDesigData &changed, const ChartDefinitionDataSheets &) {
                                                change(changed);
                                            });
    if (result == kDocumentOk)
        emit UpdateDesignationChartFinished(record);
    return result;
}

int CDocumentData::UpdateDesignationChart(int number, const ChartDefinitionData::Sheet &page, int index,
                                          bool emitSignal)
{
    ChartDesigData *record = FindDesignationChart(number);
    if (!record)
        return kDocumentFileError;
    if (!IsStorableSheet(page))
        return kDocumentInvalid;
    const int result = RewriteChartDocument(DesignationChartPath(number), record, &page, index,
                                            [&](ChartDesigData &changed, const ChartDefinitionDataSheets &chart) {
                                                changed.SheetCount =
                                                    index < 0 ? chart.SheetCount + 1 : chart.SheetCount;
                                            });
    if (result == kDocumentOk && emitSignal)
        emit UpdateDesignationChartFinished(record);
    return result;
}

int CDocumentData::UpdateDesignationChartDefinition(int number, const ChartDefinitionDataSheets &chart)
{
    ChartDesigData *record = FindDesignationChart(number);
    if (!record)
        return kDocumentFileError;
    if (!IsStorableChart(chart))
        return kDocumentInvalid;
    ChartDesigData changed = *record;
    changed.CreateTime = Now();
    changed.ChartPatchCount = chart.ChartPatchCount;
    changed.SheetCount = chart.SheetCount;
    changed.Recog = chart.Recog;
    const int result = SaveChartFile(DesignationChartPath(number), &changed, chart);
    if (result != kDocumentOk)
        return result;
    *record = changed;
    emit UpdateDesignationChartFinished(record);
    return kDocumentOk;
}

int CDocumentData::RenameDesignationChart(int number, const QString &name)
{
    ChartDesigData *record = FindDesignationChart(number);
    if (!record)
        return kDocumentFileError;
    const QString unique = MakeUniqueChartName(name, number);
    return RewriteChart(record, [&](ChartDesigData &changed) { changed.ChartName = unique; });
}

int CDocumentData::SetDesignationChartDiameter(int number, int diameter)
{
    ChartDesigData *record = FindDesignationChart(number);
    if (!record)
        return kDocumentFileError;
    if (record->Diameter == diameter)
        return kDocumentOk;
    return RewriteChart(record, [&](ChartDesigData &changed) { changed.Diameter = diameter; });
}

int CDocumentData::RenameDensityChart(int number, const QString &name)
{
    DensityBalanceData *record = FindDensityChart(number);
    if (!record)
        return kDocumentFileError;
    const int result = RewriteChartDocument(DensityChartPath(number), record, nullptr, -1,
                                            [&](DensityBalanceData &changed, const ChartDefinitionDataSheets &) {
                                                changed.ChartName = name;
                                            });
    if (result == kDocumentOk)
        emit UpdateDensityChartFinished(record);
    return result;
}

int CDocumentData::RenameDesignationMeasure(int number, const QString &name)
{
    return RewriteMeasure(number, false, nullptr, [&](ChartDesigMeasureData &changed) { changed.ChartName = name; });
}

int CDocumentData::RenameDensityMeasure(int number, const QString &name)
{
    return RewriteMeasure(number, true, nullptr, [&](ChartDesigMeasureData &changed) { changed.ChartName = name; });
}

int CDocumentData::RenameRecognitionMeasure(int number, const QString &name)
{
    ChartRecogData *record = FindRecognitionMeasure(number);
    if (!record)
        return kDocumentFileError;
    const QString path = RecognitionMeasurePath(number);
    ChartRecogData changed = *record;
    ChartDefinitionDataSheets chart;
    MeasurementDataSheets measurement;
    int result = ReadRecognitionFile(&changed, &chart, &measurement, path);
    if (result == kDocumentOk) {
        changed.ChartName = name;
        result = SaveRecognitionFile(path, &changed, chart, measurement);
    }
    ClearChartDefinitionData(&chart);
    ClearMeasureFileData(&measurement);
    if (result != kDocumentOk)
        return result;
    *record = changed;
    emit UpdateRecognitionMeasureFinished(record);
    return kDocumentOk;
}

// ---- deletes

bool CDocumentData::DeleteDesignationChart(int number)
{
    if (!FindDesignationChart(number) || !QFile::remove(DesignationChartPath(number)))
        return false;
    QDir().rmdir(DesignationChartFolder(number));
    return RemoveByNumber(m_charts, number);
}

bool CDocumentData::DeleteDensityChart(int number)
{
    if (!FindDensityChart(number) || !QFile::remove(DensityChartPath(number)))
        return false;
    QDir().rmdir(DensityChartFolder(number));
    return RemoveByNumber(m_densityCharts, number);
}

bool CDocumentData::DeleteDesignationMeasure(int number)
{
    const ChartDesigMeasureData *record = FindDesignationMeasure(number);
    if (!record || !QFile::remove(DesignationMeasurePath(record->ChartID, number)))
        return false;
    return RemoveByNumber(m_measures, number);
}

bool CDocumentData::DeleteDensityMeasure(int number)
{
    const ChartDesigMeasureData *record = FindDensityMeasure(number);
    if (!record || !QFile::remove(DensityMeasurePath(record->ChartID, number)))
        return false;
    return RemoveByNumber(m_densityMeasures, number);
}

bool CDocumentData::DeleteRecognitionMeasure(int number)
{
    if (!FindRecognitionMeasure(number) || !QFile::remove(RecognitionMeasurePath(number)))
        return false;
    return RemoveByNumber(m_recognitions, number);
}

// ---- reading single documents

int CDocumentData::ReadDesignationChart(int number, ChartDefinitionDataSheets *chart)
{
    ChartDesigData record;
    return ReadChartFile(&record, chart, DesignationChartPath(number));
}

int CDocumentData::ReadDensityChart(int number, ChartDefinitionDataSheets *chart)
{
    DensityBalanceData record;
    return ReadDensityChartFile(&record, chart, DensityChartPath(number));
}

int CDocumentData::ReadDesignationMeasure(int number, int chartNumber, MeasurementDataSheets *measurement)
{
    ChartDesigMeasureData record;
    return ReadMeasureFile(&record, measurement, DesignationMeasurePath(chartNumber, number));
}

int CDocumentData::ReadDensityMeasure(int number, int chartNumber, MeasurementDataSheets *measurement)
{
    ChartDesigMeasureData record;
    return ReadDensityMeasureFile(&record, measurement, DensityMeasurePath(chartNumber, number));
}

int CDocumentData::ReadRecognitionMeasure(int number, ChartDefinitionDataSheets *chart,
                                          MeasurementDataSheets *measurement)
{
    ChartRecogData record;
    return ReadRecognitionFile(&record, chart, measurement, RecognitionMeasurePath(number));
}

// ---- finders

ChartDesigData *CDocumentData::FindDesignationChart(int number)
{
    return FindByNumber(m_charts, number);
}

ChartDesigData *CDocumentData::FindDesignationChartByJob(int job)
{
    return FindByJob(m_charts, job);
}

DensityBalanceData *CDocumentData::FindDensityChart(int number)
{
    return FindByNumber(m_densityCharts, number);
}

DensityBalanceData *CDocumentData::FindDensityChartByJob(int job)
{
    return FindByJob(m_densityCharts, job);
}

ChartDesigMeasureData *CDocumentData::FindDesignationMeasure(int number)
{
    return FindByNumber(m_measures, number);
}

ChartDesigMeasureData *CDocumentData::FindDensityMeasure(int number)
{
    return FindByNumber(m_densityMeasures, number);
}

ChartRecogData *CDocumentData::FindRecognitionMeasure(int number)
{
    return FindByNumber(m_recognitions, number);
}

bool CDocumentData::ChartFolderHasFiles(const QString &kindFolder, int number) const
{
    const QStringList groups = QDir(kindFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &group : groups) {
        const QDir folder(kindFolder + QLatin1Char('/') + group + QLatin1Char('/') + Number(number));
        if (folder.exists() && !folder.entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty())
            return true;
    }
    return false;
}

bool CDocumentData::DesignationChartHasMeasurements(int number) const
{
    return ChartFolderHasFiles(m_dataFolder + QLatin1String(kChartFolder), number);
}

bool CDocumentData::DensityChartHasMeasurements(int number) const
{
    return ChartFolderHasFiles(m_dataFolder + QLatin1String(kDensityFolder), number);
}

// ---- recognition matching

bool CDocumentData::SheetMatchesChart(int chartNumber, int pageIndex, const SheetInfoRecord &result)
{
    ChartDefinitionDataSheets chart;
    bool matches = false;
    if (ReadDesignationChart(chartNumber, &chart) == kDocumentOk && pageIndex >= 0 && pageIndex < chart.SheetCount &&
        result.AreaCount >= 0 && result.AreaCount <= kMaxAreaCount) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[pageIndex];
        matches = sheet.PatchCount == result.PatchCount && sheet.AreaCount == result.AreaCount;
        for (int a = 0; matches && a < result.AreaCount; ++a)
            matches = sheet.Areas[a].RowCount == result.Areas[a].RowCount &&
                      sheet.Areas[a].ColumnCount == result.Areas[a].ColumnCount &&
                      sheet.Areas[a].PatchCount == result.Areas[a].PatchCount;
    }
    ClearChartDefinitionData(&chart);
    return matches;
}

bool CDocumentData::FindDesignationChartForRecognition(const SheetInfoRecord &result)
{
    const QString code = ChartCode(result);
    const int pageIndex = result.SheetNumber - 1;
    for (const ChartDesigData &chart : m_charts) {
        if (chart.ChartName.toUpper().left(kChartCodeLength) != code || chart.SheetCount != result.SheetCount)
            continue;
        if (SheetMatchesChart(chart.ID, pageIndex, result)) {
            emit FindDesignationChartFound(chart.ID, pageIndex);
            return true;
        }
    }
    return false;
}

bool CDocumentData::FindDensityChartForRecognition(const SheetInfoRecord &result, int templateNumber)
{
    const QString code = ChartCode(result);
    for (const DensityBalanceData &chart : m_densityCharts) {
        if (chart.ChartName.section(QLatin1Char(' '), 0, 0).left(kChartCodeLength) == code &&
            chart.ChartPatchCount == result.PatchCount && chart.Template == templateNumber) {
            emit FindDensityChartFound(chart.ID);
            return true;
        }
    }
    return false;
}

QList<int> CDocumentData::FindDensityChartsForTemplate(const QList<BarcodeEntry> &entries, int templateNumber) const
{
    QList<int> numbers;
    for (const DensityBalanceData &chart : m_densityCharts) {
        if (chart.Template != templateNumber)
            continue;
        for (const BarcodeEntry &entry : entries) {
            if (chart.ChartName == ChartCode(entry.Record) && chart.ChartPatchCount == entry.Record.PatchCount) {
                numbers.append(chart.ID);
                break;
            }
        }
    }
    return numbers;
}

// ---- combining and conversions

void CDocumentData::ConvertPatchColor(ChartDefinitionData::Sheet *page, const MeasurementData &measured)
{
    const int format = m_host->CurrentUserEnvironment().ColorFormat;
    const float fill = format == ChartDefinitionData::FormatRGB ? 255.0f : 0.0f;
    const bool byIndex = measured.Records && page->PatchCount == measured.RecordCount &&
                         page->PatchCount == measured.MeasuredCount;
    for (int i = 0; i < page->PatchCount; ++i) {
        ChartDefinitionData::PatchColor &patch = page->Patches[i];
        float rgb[3] = {255.0f, 255.0f, 255.0f};
        MeasurementData::PatchData found;
        const MeasurementData::PatchData *record = nullptr;
        if (byIndex)
            record = &measured.Records[i];
        else if (FindPatchMeasurement(measured.Records.get(), measured.Records ? measured.RecordCount : 0, patch.Area,
                                      patch.Row, patch.Column, &found))
            record = &found;
        if (record)
            std::copy(record->ColorValue, record->ColorValue + 3, rgb);
        float xyz[3] = {};
        RgbToXyz(xyz, rgb);
        patch.ColorFormat = format;
        std::fill(std::begin(patch.ColorValue), std::end(patch.ColorValue), 0.0f);
        XyzToPatchColorValues(patch.ColorValue, format, xyz, fill);
    }
}

int CDocumentData::CombineRecognitionMeasures(const QList<int> &numbers)
{
    ChartDefinitionDataSheets combined;
    std::vector<ChartDefinitionData::Sheet> pages;
    int result = kDocumentOk;
    int idOffset = 0;
    for (int n = 0; n < numbers.size() && result == kDocumentOk; ++n) {
        ChartDefinitionDataSheets chart;
        MeasurementDataSheets measurement;
        result = ReadRecognitionMeasure(numbers[n], &chart, &measurement);
        if (result == kDocumentOk && (chart.SheetCount < 1 || measurement.SheetCount < 1))
            result = kDocumentNoChartPage;
        if (result == kDocumentOk) {
            if (n == 0)
                CopyChartHeader(&combined, chart);
            // Page 1 is taken over; the chart keeps the rest and frees it.
            ChartDefinitionData::Sheet page = std::move(chart.Sheets[0]);
            ConvertPatchColor(&page, measurement.Sheets[0]);
            for (int p = 0; p < page.PatchCount; ++p)
                page.Patches[p].ID += idOffset;
            idOffset += chart.ChartPatchCount;
            pages.push_back(std::move(page));
        }
        ClearChartDefinitionData(&chart);
        ClearMeasureFileData(&measurement);
    }
    if (result == kDocumentOk) {
        combined.Sheets = NewChartSheets(std::max<size_t>(pages.size(), 1));
        combined.SheetCount = int(pages.size());
        combined.ChartPatchCount = 0;
        for (size_t p = 0; p < pages.size(); ++p) {
            combined.ChartPatchCount += pages[p].PatchCount;
            combined.Sheets[p] = std::move(pages[p]);
        }
        pages.clear();
        combined.Kind = ChartDefinitionData::KindNormal;
        combined.ChartName.clear();
        combined.CreateTime.clear();
        combined.Recog = ChartDefinitionData::RecogCombine;
        result = CreateDesignationChart(&combined, true);
    }
    pages.clear();
    ClearChartDefinitionData(&combined);
    return result;
}

void CDocumentData::ConvertChartToMillimetres(ChartDefinitionDataSheets *chart)
{
    const int leftMin = m_host->GetAreaLeftMin();
    const int leftMax = m_host->GetAreaLeftMax();
    const int topMin = m_host->GetAreaTopMin();
    const int topMax = m_host->GetAreaTopMax();
    auto toMm = [](int v, int a, int b) { return UnitFixedToMmFixed(kLengthUnitInch, v, a, b); };
    chart->UNIT = kLengthUnitMm;
    for (int s = 0; s < chart->SheetCount; ++s) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[s];
        const int paper = m_host->FindPaperSizeIndexInUnit(kLengthUnitInch, sheet.Width, sheet.Height);
        sheet.Width = toMm(sheet.Width, m_host->GetPageSizeWidth(paper), m_host->GetPageSizeMaxWidth(paper));
        sheet.Height = toMm(sheet.Height, m_host->GetPageSizeHeight(paper), m_host->GetPageSizeMaxHeight(paper));
        const int areas = std::clamp(sheet.AreaCount, 0, kMaxAreaCount);
        for (int a = 0; a < areas; ++a) {
            ChartDefinitionData::AreaPlacement &place = sheet.Placements[a];
            place.LeftTopX = toMm(place.LeftTopX, leftMin, leftMax);
            place.LeftTopY = toMm(place.LeftTopY, topMin, topMax);
            place.PatchWidth = toMm(place.PatchWidth, 600, 3000);
            place.PatchHeight = toMm(place.PatchHeight, 600, 3000);
            place.PatchWidthGap = toMm(place.PatchWidthGap, 600, 3200);
            place.PatchHeightGap = toMm(place.PatchHeightGap, 600, 3200);
        }
        sheet.BarcodeLeftTopX = toMm(sheet.BarcodeLeftTopX, leftMin, leftMax);
        sheet.BarcodeLeftTopY = toMm(sheet.BarcodeLeftTopY, topMin, topMax);
        sheet.BarcodeWidth = ToUnitFixed(kLengthUnitMm, UnitFixedToMm(kLengthUnitInch, sheet.BarcodeWidth));
        sheet.BarcodeHeight = ToUnitFixed(kLengthUnitMm, UnitFixedToMm(kLengthUnitInch, sheet.BarcodeHeight));
    }
}

QString CDocumentData::MakeUniqueChartName(const QString &name, int ownNumber) const
{
    auto taken = [&](const QString &candidate) {
        const QString upper = candidate.toUpper();
        return std::any_of(m_charts.begin(), m_charts.end(), [&](const ChartDesigData &chart) {
            return chart.ID != ownNumber && chart.ChartName.toUpper() == upper;
        });
    };
    if (!taken(name))
        return name;
    for (int n = 1; n <= kUniqueNameLimit; ++n) {
        const QString candidate = name + QLatin1Char('-') + QString::number(n);
        if (!taken(candidate))
            return candidate;
    }
    return name;
}

QString CDocumentData::GetNewDesignationChartName() const
{
    return QStringLiteral("Chart") + Number(m_chartCounter);
}

// ---- presets

bool CDocumentData::CopyPresetFile(const QString &source, const QString &target) const
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    // Replaces the target in one step, so a failed copy leaves the old file or none.
    QSaveFile out(target);
    // commit() alone does not notice a failing final flush.
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

bool CDocumentData::RefreshPresetFile(const QString &path, const DensityBalanceData &record) const
{
    const QString preset = PresetFileFor(record);
    if (preset.isEmpty())
        return false;
    const QString source = m_initialDataFolder + QLatin1String(kDensityFolder) + preset;
    QFile installed(source);
    if (!installed.exists())
        return false;
    QFile current(path);
    // Files of different sizes differ; only same-sized ones are compared byte by byte.
    if (installed.size() == current.size() && installed.open(QIODevice::ReadOnly) &&
        current.open(QIODevice::ReadOnly) && installed.readAll() == current.readAll())
        return false;
    installed.close();
    current.close();
    return CopyPresetFile(source, path);
}

void CDocumentData::RefreshPresetDensityCharts()
{
    const auto files = NumberedFiles(m_dataFolder + QLatin1String(kDensityFolder), kChartSuffix);
    for (const auto &file : files) {
        DensityBalanceData record;
        if (ListDensityChartFile(&record, file.second) == kDocumentOk)
            RefreshPresetFile(file.second, record);
    }
}

bool CDocumentData::IsPresetDensityChartInstalled(const DensityBalanceData &preset) const
{
    return std::any_of(m_densityCharts.begin(), m_densityCharts.end(), [&](const DensityBalanceData &chart) {
        return chart.ChartName == preset.ChartName && chart.CreateTime == preset.CreateTime &&
               chart.ChartPatchCount == preset.ChartPatchCount && chart.Template == preset.Template &&
               chart.SecondNumber == preset.SecondNumber;
    });
}

int CDocumentData::InstallPresetsByLevel()
{
    const int installed = m_host->GetInstalledPresetLevel();
    if (installed >= m_host->GetPresetLevel())
        return kDocumentOk;
    const int threshold = PresetThreshold(installed);
    if (threshold < 0)
        return kDocumentOk;
    const auto files = NumberedFiles(m_initialDataFolder + QLatin1String(kDensityFolder), kChartSuffix);
    for (const auto &file : files) {
        if (file.first < threshold)
            continue;
        DensityBalanceData preset;
        if (ListDensityChartFile(&preset, file.second) != kDocumentOk || IsPresetDensityChartInstalled(preset))
            continue;
        const int number = NextId(&m_densityChartCounter, -1);
        const QString target = DensityChartPath(number);
        bool made = false;
        if (!MakeFolder(m_dataFolder + QLatin1String(kDensityFolder), &made) || !CopyPresetFile(file.second, target))
            return kDocumentFileError;
        // The copy holds the preset's bytes, so the preset's entry is the copy's.
        DensityBalanceData record = preset;
        record.ID = number;
        m_densityCharts.append(record);
        if (!MakeFolder(DensityChartFolder(number), &made))
            return kDocumentFolderError;
    }
    return kDocumentOk;
}
