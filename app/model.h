#pragma once
// The application model: the one object through which the windows reach the stores, the working buffer, the
// data-file object and the three instrument controllers. It relays the stores' signals, keeps the selection and
// the user interface's status, runs the measurement flows and the error report. GUI thread only: the chart-scanner
// controller hands every device event to the GUI thread, so the flows, their signals and the report run there.

#include "app/instrumentrecords.h"
#include "app/records.h"
#include "app/settingrecords.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class CApplicationData;
class CDataBuffer;
class CDiagnoseData;
class CDocumentData;
class CIODataFile;
class CIlluminantData;
class CLanguage;
class COrloSDKController;
class CResourceData;
class CTanoSDKController;
class CVexSDKController;
struct DiagnoseHistoryRecord;
struct EnvironLightData;
struct OrloImage;
struct OrloLayoutRecord;
struct OrloMeasurePoint;
struct OrloSelectedChart;
struct PatchColorResult;
struct PatchDisplayValues;
struct StandardValueRecord;
struct TanoSDK_PatchPosition;
struct TileSetInfo;

class CModel : public QObject
{
    Q_OBJECT
    // Tests reach the owned stores and controllers and the host callbacks through it (tests/app/modelaccess.h).
    friend class CModelAccess;

public:
    // What the user interface shows; the error report and the scanner status route by it.
    enum APP_STATUS {
        StatusMainWindow = 0,
        StatusChartEdit = 2,
        StatusSettings = 3,
        StatusConnectSettings = 4,
        StatusNetworkSettings = 5,
        StatusPatchAreaEdit = 6,
        StatusDensityWithChart = 7,
        StatusDensityWithoutChart = 8,
        StatusDensitySave = 12,
        StatusDensityConnectSettings = 13,
        StatusAbout = 14,
        StatusInstrumentTest = 15,
        StatusTileMeasurement = 16,
        StatusStandardValues = 17,
        StatusTolerances = 18,
    };

    enum Result {
        Success = 0,
        kLanguageWriteFailed = 10001,
        kNoImage = 10001,
        kMissingArgument = 10002,
        kNoCurrentSheet = 10004,
        kChartSelected = 10012,
        kPageOutOfRange = 10017,
        kSourceIsList = 10018,
        kBadLightSource = 10019,
        kHandheldNotOpen = 10020,
        kLumetNotOpen = 10021,
        kBadRecognitionName = 10024,
        kBadChartName = 10025,
        kBadMeasurementName = 10026,
        kBadIlluminantNameLength = 10027,
        kNothingClipped = 10029,
        kSelectionNotTaken = 10036,
        kMeasurementStoreFull = 10038,
        kChartStoreFull = 10039,
        kFolderFailed = 10040,
        kBadIlluminantName = 10041,
        kDeleteFailed = 10045,
        kIdentityMismatch = 10046,
        kNoBarcodeEntries = 10047,
        kNoDensityCharts = 10048,
        kNoOneSheetChart = 10049,
        kDataFileMissing = 70001,
    };

    // Selection kinds.
    enum SelectionKind {
        KindRecognition = 0,
        KindDesignationChart = 1,
        KindDesignationMeasure = 2,
        KindDensityChart = 3,
        KindDensityMeasure = 4,
    };

    CModel(CLanguage *language, QStringList *arguments, QObject *parent = nullptr);
    ~CModel() override;
    CModel(const CModel &) = delete;
    CModel &operator=(const CModel &) = delete;

    // ---- Life cycle --------------------------------------------------------------------------------------------
    // 0, or message 1 when a step failed. The installation files are read from installFolder, by default the
    // program's folder.
    int Initialize(const QString &installFolder = QString());
    // 0, or message 2 when the settings could not be written.
    int Terminate();
    bool IsInitialized() const { return m_initialized; }

    // ---- Error report --------------------------------------------------------------------------------------------
    void ReportError(int result, int message, bool force);
    void WaitErrorAcknowledge();
    void AcknowledgeError();
    // The message held back while a scan runs; 0 when none.
    static int ParkedMessage();

    // ---- Status --------------------------------------------------------------------------------------------------
    int SetAppStatus(int status);
    int GetOperationState() { return m_appStatus; }
    void SetOrloStatus(int state);
    int GetOrloDeviceState() const { return m_orloStatus; }
    bool IsOrloPrescanCompleted() const { return m_orloStatus == 6; }
    static QString GetOrloStatusText(int state);

    // ---- Selection and view state -------------------------------------------------------------------------------
    int SelectFileID(int kind, int fileId, int chartId);
    int GetSelectedFileID(int *id, int *kind) const;
    bool IsSelectedFileID(int id) const { return id == m_selectedFileId; }
    int GetSelectedChartID() const { return m_selectedChartId; }
    int GetNewMeasurementID() const { return m_newMeasurementId; }
    ChartDesigData *GetSelectedDesignationChart();
    ChartDesigMeasureData *GetSelectedDesignationMeasurement();
    DensityBalanceData *GetSelectedDensityChart();
    ChartDesigMeasureData *GetSelectedDensityMeasurement();
    ChartRecogData *GetSelectedRecognitionMeasure();
    void SetDataTreeMode(int mode) { m_dataTreeMode = mode; }
    int GetSelectionSource(int *mode) const;
    int SetEnvironmentLightSource(int kind, int index);
    int GetEnvironmentLightSource(int *kind, int *index) const;
    bool GetHandyScanMode() { return m_handyScanMode; }
    void GetHandyPatchPositions(QList<TanoSDK_PatchPosition *> &positions);
    void SetDensityTemplateIndex(int index) { m_densityTemplateIndex = index; }
    int GetDensityTemplateIndex() const { return m_densityTemplateIndex; }
    bool IsMeasurementScreenActive() const;
    bool IsPosGapMode() const;
    void EmitMatchingMessage(int code);
    void EmitPatchColorUnmatch();
    void EmitReliableLow();
    void EmitSetMainWindowChartCanvas(int value);
    void EmitDesignationMeasureItemBackColor();
    void EmitMeasurementRestartEnable(bool enable);

    // ---- Settings ------------------------------------------------------------------------------------------------
    const Setting::UserEnvironment *GetUserEnvironment() const;
    int SetUserEnvironment(const Setting::UserEnvironment &environment);
    const Setting::MeasureConditionSetting *GetMeasurementCondition(int i) const;
    int SetMeasureCondition(const Setting::MeasureConditionSetting &record, int i);
    const Setting::MeasureDataSave *GetMeasureDataSaveSetting() const;
    int SetMeasureDataSaveSetting(const Setting::MeasureDataSave &record);
    // Appends, counts and saves a printer entry; 0 without a change when five are stored.
    int StorePrinterEntry(const Setting::PrinterInfo &entry);
    bool FindPrinter(const QString &address, Setting::PrinterInfo *entry) const;
    bool IsPrinterListFull() const;
    // configured (may be null): whether the text the record's kind selects is filled.
    const Setting::ConnectSetting *GetConnectSetting(bool *configured) const;
    int SetConnectSetting(const Setting::ConnectSetting &record);
    QByteArray GetWindowGeometry(int i) const;
    void SetWindowGeometry(const QByteArray &bytes, int i);
    QByteArray GetWindowState(int i) const;
    void SetWindowState(const QByteArray &bytes, int i);
    QByteArray GetWindowCheckState(int i) const;
    void SetPanelState(const QByteArray &bytes, int i);
    int GetOpenFilterIndex() const;
    void SetImportFilterIndex(int i);
    int GetSaveFilterIndex() const;
    void SetExportFilterIndex(int i);
    QString GetLastFolder() const;
    int SetLastFolder(const QString &folder);
    QString GetNextCalibrationTime() const;
    int SetNextCalibrationReminder(const QString &time);
    int GetInstalledPresetLevel() const;
    int GetPresetLevel() const;
    bool IsDataFormatCurrent() const;

    // ---- Language ------------------------------------------------------------------------------------------------
    QString GetLanguageCode() const;
    QString GetDefaultLanguageCode() const;
    QStringList GetLanguageList() const;
    bool SetLanguage(const QString &code);

    // ---- Documents -----------------------------------------------------------------------------------------------
    const QList<ChartDesigData> *GetDesignationCharts() const;
    const QList<ChartDesigMeasureData> *GetDesignationMeasurements() const;
    const QList<ChartRecogData> *GetRecognitionMeasurements() const;
    const QList<DensityBalanceData> *GetDensityCharts() const;
    const QList<ChartDesigMeasureData> *GetDensityMeasurements() const;
    const QStringList *GetDataGroupNames() const;
    int CreateDesignationChart(ChartDefinitionDataSheets *chart);
    // Rewrites the selected chart from the definition (its pages replace the stored ones).
    int UpdateDesignationChart(ChartDefinitionDataSheets *chart);
    int CombineDesignationCharts(const QList<int> &recognitionIds);
    int CreateDensityChart(int templateRow, int instrumentNumber, ChartDefinitionDataSheets *chart);
    int UpdateDataGroupNames(const QStringList &names);
    QString GetNewDesignationChartName() const;
    int DeleteDesignationMeasurement(int id);
    int DeleteDensityMeasurement(int id);
    int DeleteRecognitionMeasurement(int id);
    int DeleteDesignationChart(int id);
    int DeleteDensityChart(int id);
    int ReadAllDocuments();
    int ReadDesignationChart(int id, ChartDefinitionDataSheets *chart);
    int ReadDesignationMeasure(int id, int chartId, MeasurementDataSheets *measurement);
    int ReadDensityChart(int id, ChartDefinitionDataSheets *chart);
    int ReadDensityMeasure(int id, int chartId, MeasurementDataSheets *measurement);
    int ReadRecognitionMeasure(int id, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement);
    bool DesignationChartHasMeasurements(int id) const;
    bool DensityChartHasMeasurements(int id) const;
    bool IsDesignationChartLimitReached() const;
    bool IsMeasureDataLimitReached();
    bool CheckDesignationChartLimit();
    bool CheckDensityChartLimit();
    int RenameDesignationChart(const QString &name);
    int RenameDensityChart(const QString &name);
    int RenameDesignationMeasure(const QString &name);
    int RenameDensityMeasure(const QString &name);
    int RenameRecognitionMeasure(const QString &name);
    int SetDesignationChartDiameter(int value);
    int UpdateBarcodeSize();

    // ---- Scanner jobs --------------------------------------------------------------------------------------------
    int RegisterDesignationChartJob();
    int RegisterDensityChartJob();
    int DeleteSelectedDesignationChartJob();
    int DeleteSelectedDensityChartJob();
    int DeleteAllDesignationChartJobs();
    int DeleteAllDensityChartJobs();
    int DeleteSelectedChartJob();

    // ---- Working buffer ------------------------------------------------------------------------------------------
    ChartDefinitionDataSheets *GetChartDefinition();
    int QueryChartDefinition(ChartDefinitionDataSheets **chart);
    void CopyChartDefinition(ChartDefinitionDataSheets *out) const;
    int GetMeasurementData(MeasurementDataSheets **measurement);
    int ReplaceChartSheet(const ChartDefinitionData::Sheet &sheet, int index);
    int ReplaceMeasurementSheet(const MeasurementData &page, int index);
    int SetSheetImage(const OrloImage *image, int pageMode);
    void SetCurrentSheetIndex(int page);
    void SetPlannedSheetCount(unsigned count);
    QList<unsigned> GetChartPageNumbers() const;
    QList<unsigned> GetMeasuredPageNumbers() const;
    unsigned GetCurrentRecordCount();
    bool IsFirstSheet();
    bool IsAllSheetsMeasured();
    bool IsPageMeasured();
    int BuildPageMeasurePoints(ChartDefinitionData::Sheet *targetSheet, MeasurementData *targetPage,
                               const ChartDefinitionData::Sheet *sourceSheet, const MeasurementData *sourcePage,
                               const QList<ChartDefinitionData::PatchColor> &removed);
    void SetChartRowsColumnsSwapped(bool swapped);
    // 0, or 10004 when the current chart page index is not below the sheet count.
    int GetCurrentSheet(ChartDefinitionData::Sheet **sheet);
    bool IsChartNameChanged(const QString &name);

    // ---- Diagnosis -----------------------------------------------------------------------------------------------
    void GetStandardValues(unsigned int *count, const StandardValueRecord **records) const;
    int SetStandardValues(unsigned int count, const StandardValueRecord *records);
    int SetStandardValueInfo(const TileSetInfo &info);
    const TileSetInfo &GetTileSetRecord() const;
    void GetToleranceValues(unsigned int *count, const ToleranceRecord **records) const;
    int SetToleranceValues(unsigned int count, const ToleranceRecord *records);
    void GetDiagnoseHistory(unsigned int *count, const DiagnoseHistoryRecord **records) const;
    int SetDiagnoseHistory(unsigned int count, std::unique_ptr<DiagnoseHistoryRecord[]> records);

    // ---- Installation resources (lengths in 0.01 mm) -----------------------------------------------------------
    void GetAddFileName(QString &out, const QString &key) const;
    QStringList GetTemplateList() const;
    QList<int> GetTemplateNumberList(int row) const;
    int GetTemplateSecondNumber(int row) const;
    int GetTemplateTextOutput(int row) const;
    QString GetDeviceCodeA(const SheetInfoRecord &record);
    QString GetDeviceCodeB(const SheetInfoRecord &record);
    int GetBarcodeInsetPixels() const;
    QStringList GetNoneExistNames() const;
    int GetBarcodeSize(const SheetInfoRecord &record) const;
    InkChannelList GetReferenceColors() const;
    float GetColorDefaultValue(int format) const;
    float GetColorMaxValue(int format) const;
    float GetColorMinValue(int format) const;
    QStringList GetColorChannelNames(int format) const;
    QStringList GetInstrumentNames() const;
    QString GetPageSizeName(int index) const;
    QStringList GetPageSizeNames() const;
    int GetPageSizeWidth(int index) const;
    int GetPageSizeHeight(int index) const;
    int GetPageSizeMaxWidth(int index) const;
    int GetPageSizeMaxHeight(int index) const;
    int FindPaperSizeIndex(int width, int height) const;
    int FindPaperSizeIndexInUnit(int unit, int width, int height) const;
    int GetMaxColumnCount() const;
    int GetMaxRowCount() const;
    int GetMinRowColumnCount() const;
    int GetAreaLeftMin() const;
    int GetAreaLeftMax() const;
    int GetAreaTopMin() const;
    int GetAreaTopMax() const;
    QPair<int, int> GetIso12642DefaultPosition(int id, int patchOrder) const;
    int GetIso12642LayoutLongSide() const;
    int GetIso12642LayoutShortSide() const;

    // ---- Chart files ---------------------------------------------------------------------------------------------
    int ImportChartDefinition(ChartDefinitionDataSheets *chart, int *kind, int *count, const QString &fileName,
                              int fileType);
    int ImportChartDefinitionCgats(ChartDefinitionDataSheets *chart, const QString &fileName, int format);
    int ImportChartDefinitionWithLayout(ChartDefinitionDataSheets *chart, const QString &fileName, int rows,
                                        int columns);
    int ImportChartDefinitionTargetDescription(ChartDefinitionDataSheets *chart, const QString &fileName, int rows,
                                               int columns);
    int ExportChartDefinition(const QString &path, ChartDefinitionDataSheets *chart);
    int ExportChartImage(const QString &path, ChartDefinitionDataSheets *chart);
    // The file ExportChartImage writes for page `page` (0-based) of a save to path.
    static QString ChartImagePageFileName(const QString &path, int page);

    // ---- Chart scanner -------------------------------------------------------------------------------------------
    int ConnectOrlo(bool search);
    bool FindConnectableOrloDevice(Setting::ConnectSetting *record);
    int IsOrloConnected() const;
    int GetOrloStatus(OrloStatusRecord *status);
    int GetOrloSystemInfo(void *buffer);
    int GetOrloPremeasurementError();
    int IsOrloDensityMeasurementActive() const;
    int GetOrloDeviceList(QList<OrloDeviceRecord> *list, bool report);
    int GetOrloNetworkSetting(OrloNetworkSetting *setting);
    int SetOrloNetworkSetting(const OrloNetworkSetting &setting);
    int CreateBarcodeImage(const QString &path, SheetInfoRecord *record);
    int CalculateTileColor(float *lab, const float *block, int conditionId, int illuminantId, int observer);
    int CalculatePatchValues(float *values, const float *block, const Setting::MeasureConditionSetting &conditions,
                             int conditionId);
    int CalculateReflectanceSpectrum(float *values, const float *block, int conditionId);
    int DisconnectOrlo();
    int RestartOrloMeasurement();
    int StartOrloMeasurement(int option, bool secondVariant);
    int StartOrloRecognition(bool registration);
    int RestartOrloPatchRecognition(bool registration);
    int ExitOrloMeasurement();
    void SetOrloEjectAfterMeasurement(bool on);
    void SetOrloChartHeld(bool on);
    // 0 chart scanner, 1 handheld instrument, 2 Lumet; empty for other kinds.
    QString GetInstrumentSerialNumber(int kind);

    // ---- Handheld instrument and Lumet ---------------------------------------------------------------------------
    bool IsHandyConnected() const;
    void StartTanoPolling();
    void StopHandyPolling();
    int CloseTanoDevice();
    int OpenTanoDevice(int *kind, int *serial);
    int OpenVexDevice(int *kind, int *serial);
    void CloseVexDevice();
    int GetVexStoredData(const EnvironLightData **records, int *count);

    // ---- User illuminants ----------------------------------------------------------------------------------------
    UserIlluminantSlots GetUserIlluminants() const;
    void RebuildIlluminantList();
    int GetSelectedEnvironmentLight(EnvironLightData *record);
    // An empty name takes the store's generated name; the slot record gets the name kept.
    int ImportUserIlluminantFromInstrument(UserIlluminantSlot *slot, const QString &name = QString());
    // format: 0 ".uid2", 1 ".uid". An empty name takes the file's base name.
    int ImportUserIlluminantFromFile(UserIlluminantSlot *slot, const QString &path, int format,
                                     const QString &name = QString());
    int ReplaceUserIlluminantFromFile(EnvironLightData *record, int index, const QString &path, int format);
    // name in and out: the caller gets the name kept.
    int RenameUserIlluminant(QString *name);
    int DeleteUserIlluminant();
    int StoreUserIlluminantList();
    int RegisterUserIlluminantToOrlo(int slot);
    int GetUserIlluminantForCondition(int conditionId, int illuminantId, EnvironLightData *out);
    int ExportEnvironmentLight(const QString &path, int format);
    // A copy: every illuminant operation rebuilds the model's own list.
    std::vector<EnvironLightData> GetUserLightList() const;

    // ---- Measurement flows ---------------------------------------------------------------------------------------
    int FinishDensitySheet();
    int FinishHandyDensitySheet();
    int SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image, const OrloMeasurePoint *points,
                             unsigned count);
    int PrepareHandyMeasurement();
    int SelectDensityChartForScannedChart(unsigned width, unsigned height, const QString &code);
    // The scanner recognises the patches inside the given regions (1 to 50) of the captured page: the layout it
    // found, the page image and its clip rectangles go to result, the located points to located.
    int GetClippingChartResult(const QVector<ChartDefinitionData::ClipArea> &regions,
                               ChartDefinitionData::Sheet *result, QVector<OrloLocatedPoint> *located);
    void ClearPendingMeasurement();
    void ResetMeasurementBuffer();
    int CalculatePatchColor(float *values, bool *hasSpectral, int sheet, int area, int row, int column,
                            int conditionId, const Setting::MeasureConditionSetting &conditions);
    int CalculateSamePatchAverage(PatchDisplayValues &record, const QVector<int> &conditionIds,
                                  const Setting::MeasureConditionSetting &conditions);
    int GetDefinedPatchColor(PatchDisplayValues &record);
    bool SetPaperWhiteFromMeasurement();
    int ExportMeasureData(const QString &path, int format, const QString &dateText);
    int ExportDensityMeasureData(const QString &path, const QString &dateText, int templateFirstNumber,
                                 const Setting::MeasureConditionSetting &conditions);
    // The path with the condition's name before the extension.
    QString BuildMeasurementFileName(const QString &path, int conditionId) const;
    bool IsBarcodeOfCurrentRun(const SheetInfoRecord &record) const;
    bool IsBarcodeSheetRead(int sheetNumber) const;
    bool HasReadBarcodes() { return !m_readBarcodes.isEmpty(); }
    const QList<SheetInfoRecord> &GetReadBarcodes() const { return m_readBarcodes; }
    bool IsRecognitionMeasureIncomplete(int id);

signals:
    void CheckOffDensityBalanceFromFileID(int fileId);
    void MeasurementFinished(int kind, int fileId);
    void UpdatedBarcodeData();
    void SetMainWindowChartCanvas(int value);
    void DisplayMainWindowReliableLowMessage();
    void SetDesignationErrorDisplay(int value);
    void SetDesignationMeasureItemBackColor(int fileId);
    void DisplayMainWindowPatchColorUnmatchMessage();
    void DisplayDensityMeasureContinue(int value);
    void UpdateDatalistColumn(const Setting::DisplayDatalistColumn &columns);
    void CreateDesignationChartFinished(ChartDesigData *record);
    void UpdateDesignationChartFinished(ChartDesigData *record);
    void FindDesignationChartFound(int fileId, int pageNo);
    void CreateDesignationMeasureFinished(ChartDesigMeasureData *record);
    void UpdateDesignationMeasureFinished(ChartDesigMeasureData *record);
    void CreateRecognitionMeasureFinished(ChartRecogData *record);
    void UpdateRecognitionMeasureFinished(ChartRecogData *record);
    void CreateDensityChartFinished(DensityBalanceData *record);
    void UpdateDensityChartFinished(DensityBalanceData *record);
    void FindDensityChartFound(int fileId);
    void CreateDensityMeasureFinished(ChartDesigMeasureData *record);
    void UpdateDensityMeasureFinished(ChartDesigMeasureData *record);
    void ReadDesignationChartFinished(QList<ChartDesigData> charts, QList<ChartDesigMeasureData> measures);
    void ReadRecognitionMeasureFinished(QList<ChartRecogData> measures);
    void UpdateOrloStatus(int state);
    void UpdateOrloStatusDensity(int state);
    void SetChartDisplay(ChartDefinitionDataSheets *chart, uint pageNumber, uint unit, uint pointCount,
                         uint measureMode);
    void SetChartDisplayDensity(ChartDefinitionDataSheets *chart, uint pageNumber, uint unit);
    void SetMeasuredPointDisplay(MeasurementData *page, uint pageNumber, uint sheetCount);
    void SetMeasurePointDisplayDensity(MeasurementData *page, uint pageNumber, uint sheetCount);
    void SetPatchColorDisplay(uint patchNumber, uint count, int area, int row, int column, uint colorFormat,
                              float v0, float v1, float v2, float v3, float v4, float v5, float v6, float v7);
    void SetPatchColorDisplayDensity(uint patchNumber, uint count, int area, int row, int column, uint colorFormat,
                                     float v0, float v1, float v2, float v3, float v4, float v5, float v6, float v7);
    void AppendDesigMeasureData(int fileId, uint a, uint b);
    void SelectDesigChartFromFileID(int fileId);
    void SelectDensityChartFromFileID(int fileId);
    void ErrorMessage(int message);
    void ErrorMessageDensity(int message);
    void SetHandyPatchColorDisplay(uint patchNumber, uint count, int area, int row, int column, uint colorFormat,
                                   float v0, float v1, float v2, float v3, float v4, float v5, float v6, float v7,
                                   uint extra);
    void MatchingMessageBox(int code);
    void MatchingMessageBoxDensity(int code);
    void CheckOffDesigChartFromFileID(int fileId);
    void HandyMeasurementFinished();
    void DetectPeriodCalibration();
    void MeasureDataPrinterSave(QString printerAddress, QString filePath);
    void MeasureDataSave();
    void setMeasurementRestartEnable(bool enable);

public slots:
    void CurrentUserEnvironmentChanged();
    void StopMeasurementOrlo(bool bNextFeed);
    void StopMeasurementOrlo();
    void SetHandyScanMode(bool scanMode);
    void SetHandyPatchPosition(QList<TanoSDK_PatchPosition *> &listPatchPosition);
    void ResetSelectFileID();
    void FindDesignationChart(int fileID, int pageNo);

protected:
    // The data-file operations of the measurement, light-source and density files; tests stand in for them.
    virtual int WriteMeasurementExport(const QString &path, int format, const QString &dateText,
                                       const Setting::MeasureConditionSetting &conditions,
                                       const QVector<int> &conditionIds, const MeasurementDataSheets &measurement,
                                       const ChartDefinitionDataSheets &chart);
    virtual int WriteDensityMeasureFile(const QString &path, const QString &dateText, int templateFirstNumber,
                                        const Setting::MeasureConditionSetting &conditions,
                                        const MeasurementDataSheets &measurement,
                                        const ChartDefinitionDataSheets &chart);
    virtual int ReadLightSourceFile(EnvironLightData *record, const QString &path, int format);
    virtual int WriteLightSourceFile(const QString &path, int format, const EnvironLightData &record);

private:
    // The host interfaces handed to the stores, the buffer, the data-file object and the controllers
    // (app/model_hosts.h); the callbacks below are theirs alone.
    class Hosts;

    // Selection and the buffer's run position, as the chart scanner asks for them.
    bool GetSelectedChart(OrloSelectedChart *out);
    // A shallow copy of the current sheet (its arrays stay the buffer's).
    // The current sheet, read-only, where it lies in the buffer.
    int GetCurrentSheet(const ChartDefinitionData::Sheet **sheet);
    unsigned GetExpectedRecordCount();
    unsigned GetCurrentChartPageIndex();
    int GetMeasurementSheetCount();
    // The live settings record, for the document store.
    Setting::UserEnvironment &CurrentUserEnvironment();

    // Measurement flows the controllers drive.
    int StoreMeasuredPatch(int patchNumber, const int location[3], int count, const float *block,
                           const PatchColorResult &colors);
    int StoreMeasuredPatchDensity(int patchNumber, const int location[3], int count, const float *block,
                                  const PatchColorResult &colors);
    int StoreHandyMeasuredPatch(int patchNumber, const TanoSDK_PatchPosition *location, int count,
                                const MeasurementData::PatchData *record, int extra);
    int FinishDesignationSheet(bool announce);
    int FinishRecognitionMeasure();
    int SelectChartFromJobNumber(int job);
    bool HandleScannedBarcode(const SheetInfoRecord &record);
    void KeepJobSheetBarcode(const SheetInfoRecord &record);
    // Reports a failure with message 57.
    void SaveMeasurementAfterScan();
    // After a chart-scanner density run that stored a measurement: writes it for the printer its QR code named and
    // emits MeasureDataPrinterSave, or emits MeasureDataSave for the user to choose (a failure reported with
    // message 51).
    void SaveDensityMeasurementAfterScan();
    // ExportDensityMeasureData for a given measurement and its chart.
    int ExportDensityMeasurement(int measurementId, int chartId, const QString &path, const QString &dateText,
                                 int templateFirstNumber, const Setting::MeasureConditionSetting &conditions);
    // GetClippingChartResult without its report.
    int ClipRegions(const QVector<ChartDefinitionData::ClipArea> &regions, ChartDefinitionData::Sheet *result,
                    QVector<OrloLocatedPoint> *located);

    void ShowReport(int message);
    int MeasureModeOfRun() const;
    bool IsChartRegistrationRun() const;
    bool IsScanStopped() const;
    void SetRegistrationMode(bool on);
    bool BufferHoldsMeasuredData() const;
    int StorePatchCommon(int patchNumber, const int location[3], int count, const float *block,
                         const PatchColorResult &colors, bool density);
    int AutomaticExport();
    int FinishDensityCommon(bool handheld);
    void EndRun();
    int DeleteChartJob(int *jobNumber);
    int SaveUserIlluminantList();
    void ClearUserLightList();
    void FreePatchPositions(QList<TanoSDK_PatchPosition *> *list);
    QString MakeExportBaseName(const Setting::UserEnvironment &environment, int measureMode) const;

    std::unique_ptr<Hosts> m_hosts;
    CResourceData *m_resourceData = nullptr;
    CLanguage *m_language = nullptr;
    CApplicationData *m_applicationData = nullptr;
    CDocumentData *m_documentData = nullptr;
    CDiagnoseData *m_diagnoseData = nullptr;
    CIlluminantData *m_illuminantData = nullptr;
    CDataBuffer *m_dataBuffer = nullptr;
    CIODataFile *m_dataFile = nullptr;
    QList<SheetInfoRecord> m_readBarcodes;
    int m_selectionKind = 0;
    int m_selectedFileId = 0;
    int m_selectedChartId = 0;
    int m_newMeasurementId = -1;
    COrloSDKController *m_orlo = nullptr;
    CTanoSDKController *m_tano = nullptr;
    CVexSDKController *m_vex = nullptr;
    int m_appStatus = 0;
    int m_orloStatus = 0;
    int m_dataTreeMode = 0;
    int m_lightSource = 0;
    int m_lightIndex = 0;
    bool m_initialized = false;
    QList<TanoSDK_PatchPosition *> *m_patchPositions = nullptr;
    bool m_handyScanMode = false;
    std::atomic<bool> m_acknowledged{false};
    std::vector<EnvironLightData> m_userLights;
    int m_densityTemplateIndex = 0;
    QStringList *m_arguments = nullptr;
    bool m_tanoPolling = false;
    // Set while the model's own stop runs: the run it ends is cleared only after its page has been finished.
    bool m_keepRunAcrossStop = false;
    // The density measurement a chart-scanner run has just stored, kept for the save at its sheet end; every other
    // end of a run drops it.
    struct DensityRunResult {
        int measurementId = 0;
        int chartId = 0;
        QString printId;
        QString printerAddress;
        QString chartName;
    };
    std::optional<DensityRunResult> m_densityRunResult;
};
