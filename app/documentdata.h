#pragma once
// The user's chart and measurement documents: designation charts with their measurements, recognition
// measurements, density charts with their measurements. One file per document under the data folder, one
// in-memory list of small records per kind, new 5-digit file numbers, the preset density charts, and a signal
// for every change. The pointers handed out point into the lists and stay valid until that list next changes.

#include "app/documentfiles.h"
#include "app/records.h"
#include "app/resourcedata.h"
#include "app/settingrecords.h"
#include "app/storeconventions.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What the document store asks of its owner (the application model).
class CDocumentDataHost
{
public:
    virtual ~CDocumentDataHost() = default;
    // The live settings record: its data-group text (cleared here when no data group exists) and colour format.
    virtual Setting::UserEnvironment &CurrentUserEnvironment() = 0;
    virtual int GetAreaLeftMin() const = 0;
    virtual int GetAreaLeftMax() const = 0;
    virtual int GetAreaTopMin() const = 0;
    virtual int GetAreaTopMax() const = 0;
    virtual int FindPaperSizeIndexInUnit(int unit, int width, int height) const = 0;
    virtual int GetPageSizeWidth(int index) const = 0;
    virtual int GetPageSizeHeight(int index) const = 0;
    virtual int GetPageSizeMaxWidth(int index) const = 0;
    virtual int GetPageSizeMaxHeight(int index) const = 0;
    virtual int GetInstalledPresetLevel() const = 0;
    virtual int GetPresetLevel() const = 0;
    virtual bool IsDataFormatCurrent() const = 0;
};

class CDocumentData : public QObject
{
    Q_OBJECT

public:
    static constexpr int kChartStoreLimit = 600;
    static constexpr int kMeasurementStoreLimit = 6000;

    CDocumentData(CDocumentDataHost *host, QObject *parent = nullptr, const QString &dataFolder = AppDataDir(),
                  const QString &initialDataFolder = InitialDataDir());

    // First run: copies the initial data into the data folder (kDocumentCopyError). Then data groups, preset
    // refresh, density documents; installs newer presets or re-copies the density presets when the settings'
    // data format is not current.
    int Initialize(bool firstRun);
    int Terminate() { return 0; }

    // Re-reads designation charts with their measurements and the recognition measurements; job numbers survive.
    int ReadAllDocuments();
    int ReadAllDensityDocuments();

    void ReadDataGroups();
    // Renames the folders of changed names and appends new names; kDocumentFolderError for a name that cannot be
    // a folder or a folder that cannot be moved (the first failure is returned, the others still run).
    int UpdateDataGroupNames(const QStringList &names);

    // Creation. The chart's name, creation time and UUID are set to what was stored. A chart the document readers
    // would refuse (IsStorableChart) is kDocumentInvalid before a number or a folder is taken; so is a chart update
    // with such a chart or page. The same holds for a measurement as it would be written (IsStorableMeasurement; a
    // designation or density measurement is created with its first page only) and for an appended page.
    int CreateDesignationChart(ChartDefinitionDataSheets *chart, bool emitSignal = true);
    int CreateDensityChart(int templateNumber, int secondNumber, ChartDefinitionDataSheets *chart);
    int CreateDesignationMeasure(int *number, int chartNumber, MeasurementDataSheets *measurement);
    int CreateDensityMeasure(int *number, int chartNumber, MeasurementDataSheets *measurement);
    int CreateRecognitionMeasure(int *number, const ChartDefinitionDataSheets &chart,
                                 MeasurementDataSheets *measurement);

    // Rewrites with the page appended. The pages written last are kept, so that a run's next page is written
    // after them without reading the file back; ForgetWrittenPages drops them when the run ends.
    int UpdateDesignationMeasure(int number, const MeasurementData &page);
    int UpdateDensityMeasure(int number, const MeasurementData &page);
    void ForgetWrittenPages();
    // pageNumbers[i]: the 1-based page the stored page i belongs to; a permutation of 1..n or kDocumentInvalid.
    int ReorderDesignationMeasurePages(int number, const QList<int> &pageNumbers);
    // Replaces page index (appends when negative); an index past the pages is kDocumentInvalid.
    int UpdateDesignationChart(int number, const ChartDefinitionData::Sheet &page, int index, bool emitSignal = true);
    int UpdateDesignationChartDefinition(int number, const ChartDefinitionDataSheets &chart);

    // On a failed rewrite the record keeps its old value and nothing is emitted.
    int RenameDesignationChart(int number, const QString &name);
    int RenameDensityChart(int number, const QString &name);
    int RenameDesignationMeasure(int number, const QString &name);
    int RenameDensityMeasure(int number, const QString &name);
    int RenameRecognitionMeasure(int number, const QString &name);
    int SetDesignationChartDiameter(int number, int diameter);

    bool DeleteDesignationChart(int number);
    bool DeleteDensityChart(int number);
    bool DeleteDesignationMeasure(int number);
    bool DeleteDensityMeasure(int number);
    bool DeleteRecognitionMeasure(int number);

    int ReadDesignationChart(int number, ChartDefinitionDataSheets *chart);
    int ReadDensityChart(int number, ChartDefinitionDataSheets *chart);
    int ReadDesignationMeasure(int number, int chartNumber, MeasurementDataSheets *measurement);
    int ReadDensityMeasure(int number, int chartNumber, MeasurementDataSheets *measurement);
    int ReadRecognitionMeasure(int number, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement);

    // Numbered document files of a folder in name order: {number, path}.
    using NumberedFileList = QList<QPair<int, QString>>;

    const QList<ChartDesigData> *GetDesignationCharts() const { return &m_charts; }
    const QList<ChartDesigMeasureData> *GetDesignationMeasures() const { return &m_measures; }
    const QList<ChartRecogData> *GetRecognitionMeasures() const { return &m_recognitions; }
    const QList<DensityBalanceData> *GetDensityCharts() const { return &m_densityCharts; }
    const QList<ChartDesigMeasureData> *GetDensityMeasures() const { return &m_densityMeasures; }
    const QStringList *GetDataGroupNames() const { return &m_groups; }

    // Null when no record has the number.
    ChartDesigData *FindDesignationChart(int number);
    ChartDesigData *FindDesignationChartByJob(int job);
    DensityBalanceData *FindDensityChart(int number);
    DensityBalanceData *FindDensityChartByJob(int job);
    ChartDesigMeasureData *FindDesignationMeasure(int number);
    ChartDesigMeasureData *FindDensityMeasure(int number);
    ChartRecogData *FindRecognitionMeasure(int number);
    bool DesignationChartHasMeasurements(int number) const;
    bool DensityChartHasMeasurements(int number) const;

    // Recognition results of the chart scanner.
    bool FindDesignationChartForRecognition(const SheetInfoRecord &result);
    bool SheetMatchesChart(int chartNumber, int pageIndex, const SheetInfoRecord &result);
    bool FindDensityChartForRecognition(const SheetInfoRecord &result, int templateNumber);
    QList<int> FindDensityChartsForTemplate(const QList<BarcodeEntry> &entries, int templateNumber) const;

    int CombineRecognitionMeasures(const QList<int> &numbers);
    // The page's patch colours from the measured page, in the environment's colour format.
    void ConvertPatchColor(ChartDefinitionData::Sheet *page, const MeasurementData &measured);
    void ConvertChartToMillimetres(ChartDefinitionDataSheets *chart);
    QString MakeUniqueChartName(const QString &name, int ownNumber) const;
    QString GetNewDesignationChartName() const;

    bool IsDesignationChartStoreFull() const { return m_charts.size() >= kChartStoreLimit; }
    bool IsDensityChartStoreFull() const { return m_densityCharts.size() >= kChartStoreLimit; }
    bool IsStoreFull() const
    {
        return m_recognitions.size() + m_measures.size() + m_densityMeasures.size() >= kMeasurementStoreLimit;
    }

    void RefreshPresetDensityCharts();
    int InstallPresetsByLevel();
    bool IsPresetDensityChartInstalled(const DensityBalanceData &preset) const;

    // Paths under the data folder, with the current data group.
    QString CurrentDataGroup() const;
    QString DesignationChartPath(int number) const;
    QString DesignationChartFolder(int number) const;
    QString DesignationMeasurePath(int chartNumber, int number) const;
    QString RecognitionFolder() const;
    QString RecognitionMeasurePath(int number) const;
    QString DensityChartPath(int number) const;
    QString DensityChartFolder(int number) const;
    QString DensityMeasurePath(int chartNumber, int number) const;

signals:
    void CreateDesignationChartFinished(ChartDesigData *record);
    void UpdateDesignationChartFinished(ChartDesigData *record);
    void FindDesignationChartFound(int chartNumber, int pageIndex);
    void CreateDesignationMeasureFinished(ChartDesigMeasureData *record);
    void UpdateDesignationMeasureFinished(ChartDesigMeasureData *record);
    void CreateRecognitionMeasureFinished(ChartRecogData *record);
    void UpdateRecognitionMeasureFinished(ChartRecogData *record);
    void CreateDensityChartFinished(DensityBalanceData *record);
    void UpdateDensityChartFinished(DensityBalanceData *record);
    void FindDensityChartFound(int chartNumber);
    void CreateDensityMeasureFinished(ChartDesigMeasureData *record);
    void UpdateDensityMeasureFinished(ChartDesigMeasureData *record);
    void ReadDesignationChartFinished(QList<ChartDesigData> charts, QList<ChartDesigMeasureData> measures);
    void ReadRecognitionMeasureFinished(QList<ChartRecogData> measures);

private:
    // The lists from the files one listing of the folders found.
    int ReadDesignationCharts(const NumberedFileList &charts, const QHash<QString, NumberedFileList> &measures);
    int ReadRecognitionMeasures(const NumberedFileList &files);
    int ReadMeasureFolder(const NumberedFileList &files, int chartNumber, bool density);
    // At start the preset density charts are refreshed during the one listing of the density charts.
    int ReadDensityDocuments(bool refreshPresets);
    // Replaces a user's copy of a preset density chart with the installation's file when the two differ; true
    // when the file was replaced.
    bool RefreshPresetFile(const QString &path, const DensityBalanceData &record) const;
    int CreateMeasure(int *number, int chartNumber, MeasurementDataSheets *measurement, bool density);
    // Rewrites a designation or density measurement with the record changed and page, if any, appended.
    int RewriteMeasure(int number, bool density, const MeasurementData *page,
                       const std::function<void(ChartDesigMeasureData &)> &change);
    int RewriteChart(ChartDesigData *record, const std::function<void(ChartDesigData &)> &change);
    int AppendMeasurePage(int number, bool density, const MeasurementData &page);
    bool HoldsWrittenPages(int number, bool density, const QString &path) const;
    bool ChartFolderHasFiles(const QString &kindFolder, int number) const;
    bool CopyPresetFile(const QString &source, const QString &target) const;

    CDocumentDataHost *m_host;
    QString m_dataFolder;
    QString m_initialDataFolder;
    QStringList m_groups;
    QList<ChartRecogData> m_recognitions;
    int m_recognitionCounter = 1;
    QList<ChartDesigData> m_charts;
    int m_chartCounter = 1;
    QList<ChartDesigMeasureData> m_measures;
    int m_measureCounter = 1;
    QList<DensityBalanceData> m_densityCharts;
    int m_densityChartCounter = 1;
    QList<ChartDesigMeasureData> m_densityMeasures;
    int m_densityMeasureCounter = 1;

    // The measurement document that pages were last appended to, as its file holds it: header, fields, and
    // every page as stream bytes. Trusted only while the file is the one of that write: every write replaces the
    // file, so its inode tells versions apart where size and time alone repeat within the clock's tick.
    struct FileStamp {
        qint64 size = -1;
        qint64 modifiedNs = 0;
        quint64 inode = 0;
        quint64 device = 0;
        bool operator==(const FileStamp &o) const
        {
            return size == o.size && modifiedNs == o.modifiedNs && inode == o.inode && device == o.device;
        }
    };
    static FileStamp StampOf(const QString &path);
    struct WrittenPages {
        bool density = false;
        int number = 0;
        QString path;
        FileStamp stamp;
        ChartDesigMeasureData header;
        qint32 mode = 0;
        QString serialNumber;
        QString barcodeText1;
        QString barcodeText2;
        std::vector<QByteArray> pages;
    };
    WrittenPages m_written;
};

Q_DECLARE_METATYPE(ChartDesigData)
Q_DECLARE_METATYPE(ChartDesigMeasureData)
Q_DECLARE_METATYPE(ChartRecogData)
Q_DECLARE_METATYPE(ChartDesigData *)
Q_DECLARE_METATYPE(ChartDesigMeasureData *)
Q_DECLARE_METATYPE(ChartRecogData *)
Q_DECLARE_METATYPE(DensityBalanceData *)
