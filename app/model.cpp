#include "app/model.h"

#include "app/databuffer.h"
#include "app/diagnosedata.h"
#include "app/illuminantdata.h"
#include "app/language.h"
#include "app/model_hosts.h"
#include "app/orlosdkcontroller.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "app/tanosdkcontroller.h"
#include "app/texthelpers.h"
#include "app/vexsdkcontroller.h"
#include "files/outputimage.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kMaxNameLength = 100;
// The QR level and module size with which the scanner library draws the program's QR pictures.
constexpr int kBarcodeLevel = 1;
constexpr int kBarcodeModulePixels = 7;

bool NameLengthOk(const QString &name)
{
    return !name.isEmpty() && name.size() <= kMaxNameLength;
}

bool SamePositions(const QList<TanoSDK_PatchPosition *> &a, const QList<TanoSDK_PatchPosition *> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const TanoSDK_PatchPosition *p = a.at(i);
        const TanoSDK_PatchPosition *q = b.at(i);
        if (p == q)
            continue;
        if (!p || !q || p->area != q->area || p->row != q->row || p->column != q->column)
            return false;
    }
    return true;
}

} // namespace

CModel::CModel(CLanguage *language, QStringList *arguments, QObject *parent)
    : QObject(parent), m_hosts(new Hosts(*this))
{
    Hosts *hosts = m_hosts.get();
    m_resourceData = new CResourceData(this);
    m_language = language;
    m_applicationData = new CApplicationData(hosts, this);
    m_documentData = new CDocumentData(hosts, this);
    m_diagnoseData = new CDiagnoseData(AppDataDir(), this);
    m_illuminantData = new CIlluminantData(AppDataDir(), this);
    m_dataBuffer = new CDataBuffer(hosts);
    m_dataFile = new CIODataFile(hosts);
    m_selectionKind = 0;
    m_selectedFileId = 0;
    m_selectedChartId = 0;
    m_newMeasurementId = -1;
    m_orlo = new COrloSDKController(hosts);
    m_tano = new CTanoSDKController(hosts);
    m_vex = new CVexSDKController();
    m_appStatus = 0;
    m_orloStatus = 0;
    m_patchPositions = new QList<TanoSDK_PatchPosition *>();
    m_arguments = arguments;

    connect(m_tano, &CTanoSDKController::HandyMeasurementFinished, this, &CModel::HandyMeasurementFinished);
    connect(m_applicationData, &CApplicationData::CurrentUserEnvironmentChanged, this,
            &CModel::CurrentUserEnvironmentChanged);
    connect(m_applicationData, &CApplicationData::UpdateDatalistColumn, this, &CModel::UpdateDatalistColumn);
    connect(m_documentData, &CDocumentData::FindDesignationChartFound, this, &CModel::FindDesignationChart);
    connect(m_documentData, &CDocumentData::CreateDesignationChartFinished, this,
            &CModel::CreateDesignationChartFinished);
    connect(m_documentData, &CDocumentData::UpdateDesignationChartFinished, this,
            &CModel::UpdateDesignationChartFinished);
    connect(m_documentData, &CDocumentData::CreateDesignationMeasureFinished, this,
            &CModel::CreateDesignationMeasureFinished);
    connect(m_documentData, &CDocumentData::UpdateDesignationMeasureFinished, this,
            &CModel::UpdateDesignationMeasureFinished);
    connect(m_documentData, &CDocumentData::CreateRecognitionMeasureFinished, this,
            &CModel::CreateRecognitionMeasureFinished);
    connect(m_documentData, &CDocumentData::UpdateRecognitionMeasureFinished, this,
            &CModel::UpdateRecognitionMeasureFinished);
    connect(m_documentData, &CDocumentData::CreateDensityChartFinished, this, &CModel::CreateDensityChartFinished);
    connect(m_documentData, &CDocumentData::UpdateDensityChartFinished, this, &CModel::UpdateDensityChartFinished);
    connect(m_documentData, &CDocumentData::FindDensityChartFound, this, &CModel::FindDensityChartFound);
    connect(m_documentData, &CDocumentData::CreateDensityMeasureFinished, this,
            &CModel::CreateDensityMeasureFinished);
    connect(m_documentData, &CDocumentData::UpdateDensityMeasureFinished, this,
            &CModel::UpdateDensityMeasureFinished);
    connect(m_documentData, &CDocumentData::ReadDesignationChartFinished, this,
            &CModel::ReadDesignationChartFinished);
    connect(m_documentData, &CDocumentData::ReadRecognitionMeasureFinished, this,
            &CModel::ReadRecognitionMeasureFinished);
}

CModel::~CModel()
{
    FreePatchPositions(m_patchPositions);
    delete m_patchPositions;
    m_patchPositions = nullptr;
    // Leaving the Lumet in remote mode would lock its keys after the program ends.
    if (m_vex->IsOpen())
        m_vex->CloseDevice();
    delete m_vex;
    m_vex = nullptr;
    delete m_tano;
    m_tano = nullptr;
    delete m_orlo;
    m_orlo = nullptr;
    m_readBarcodes.clear();
    delete m_dataFile;
    m_dataFile = nullptr;
    delete m_dataBuffer;
    m_dataBuffer = nullptr;
}

// ---- Life cycle ---------------------------------------------------------------------------------------------------

int CModel::Initialize(const QString &installFolder)
{
    const int failed = 1;
    if (m_resourceData->Initialize(installFolder) != 0)
        return failed;
    const bool firstRun = !QDir(AppDataDir()).exists();
    if (m_applicationData->Initialize() != 0)
        return failed;
    if (m_documentData->Initialize(firstRun) != 0)
        return failed;
    if (m_diagnoseData->Initialize() != 0)
        return failed;
    if (m_illuminantData->Initialize() != 0)
        return failed;
    const Setting::MeasureConditionSetting conditions = m_applicationData->GetMeasurementCondition(0);
    if (m_orlo->SetOption(conditions, 0) != 0)
        return failed;
    m_initialized = true;
    return 0;
}

int CModel::Terminate()
{
    int result = m_illuminantData->Terminate();
    if (result == 0)
        result = m_diagnoseData->Terminate();
    if (result == 0)
        result = m_documentData->Terminate();
    if (result == 0)
        result = m_applicationData->Terminate();
    return result == 0 ? 0 : 2;
}

// ---- Status -------------------------------------------------------------------------------------------------------

int CModel::SetAppStatus(int status)
{
    m_appStatus = status;
    return m_appStatus;
}

void CModel::SetOrloStatus(int state)
{
    m_orloStatus = state;
    const int s = m_appStatus;
    // Status 1 has no window to show the state in.
    if ((s == 0) || (s >= 2 && s <= 6) || (s >= 14 && s <= 18))
        emit UpdateOrloStatus(state);
    else if (s >= 7 && s <= 13)
        emit UpdateOrloStatusDensity(state);
}

QString CModel::GetOrloStatusText(int state)
{
    switch (state) {
    case 2:
    case 8:
    case 9:
        return tr("Waiting. please insert chart.");
    case 3:
        return tr("Feeding paper...");
    case 4:
        return tr("A fatal error has occurred.");
    case 5:
        return tr("Pre-scanning...");
    case 6:
        return tr("Pre-scanning completed.");
    case 7:
        return tr("Now measuring...");
    case 10:
        return tr("Cover is opened.");
    case 11:
        return tr("Paper is jammed.");
    case 12:
        return tr("Another PC is connecting.");
    default:
        return QString();
    }
}

// ---- Selection and view state -------------------------------------------------------------------------------------

int CModel::SelectFileID(int kind, int fileId, int chartId)
{
    m_selectionKind = kind;
    m_selectedFileId = fileId;
    if (kind == KindRecognition)
        m_selectedChartId = 0;
    else
        m_selectedChartId = chartId < 1 ? fileId : chartId;
    // Loads with the chart id kept, so a later ResetSelectFileID loads the same documents.
    if (fileId >= 1)
        return m_dataBuffer->Load(kind, fileId, m_selectedChartId);
    return 0;
}

void CModel::ResetSelectFileID()
{
    if (m_selectedFileId >= 1)
        m_dataBuffer->Load(m_selectionKind, m_selectedFileId, m_selectedChartId);
}

int CModel::GetSelectedFileID(int *id, int *kind) const
{
    if (id)
        *id = m_selectedFileId;
    if (kind)
        *kind = m_selectionKind;
    return 0;
}

ChartDesigData *CModel::GetSelectedDesignationChart()
{
    return m_documentData->FindDesignationChart(m_selectedFileId);
}

ChartDesigMeasureData *CModel::GetSelectedDesignationMeasurement()
{
    return m_documentData->FindDesignationMeasure(m_selectedFileId);
}

DensityBalanceData *CModel::GetSelectedDensityChart()
{
    return m_documentData->FindDensityChart(m_selectedFileId);
}

ChartDesigMeasureData *CModel::GetSelectedDensityMeasurement()
{
    return m_documentData->FindDensityMeasure(m_selectedFileId);
}

ChartRecogData *CModel::GetSelectedRecognitionMeasure()
{
    return m_documentData->FindRecognitionMeasure(m_selectedFileId);
}

int CModel::GetSelectionSource(int *mode) const
{
    if (mode)
        *mode = m_dataTreeMode;
    return 0;
}

int CModel::SetEnvironmentLightSource(int kind, int index)
{
    m_lightSource = kind;
    m_lightIndex = index;
    return 0;
}

int CModel::GetEnvironmentLightSource(int *kind, int *index) const
{
    if (kind)
        *kind = m_lightSource;
    if (index)
        *index = m_lightIndex;
    return 0;
}

void CModel::SetHandyScanMode(bool scanMode)
{
    m_handyScanMode = scanMode;
}

void CModel::FreePatchPositions(QList<TanoSDK_PatchPosition *> *list)
{
    if (!list)
        return;
    qDeleteAll(*list);
    list->clear();
}

void CModel::SetHandyPatchPosition(QList<TanoSDK_PatchPosition *> &listPatchPosition)
{
    // Every emission hands over freshly allocated entries: keep the new ones when they differ, otherwise free them.
    if (&listPatchPosition == m_patchPositions)
        return;
    if (SamePositions(*m_patchPositions, listPatchPosition)) {
        for (TanoSDK_PatchPosition *entry : listPatchPosition) {
            if (!m_patchPositions->contains(entry))
                delete entry;
        }
        listPatchPosition.clear();
        return;
    }
    for (TanoSDK_PatchPosition *entry : *m_patchPositions) {
        if (!listPatchPosition.contains(entry))
            delete entry;
    }
    *m_patchPositions = listPatchPosition;
    listPatchPosition.clear();
}

void CModel::GetHandyPatchPositions(QList<TanoSDK_PatchPosition *> &positions)
{
    positions = *m_patchPositions;
}

bool CModel::IsMeasurementScreenActive() const
{
    return m_appStatus == 0 || m_appStatus == 7 || m_appStatus == 8;
}

bool CModel::IsPosGapMode() const
{
    return m_arguments && m_arguments->size() >= 2 && m_arguments->at(1) == QLatin1String("/PosGap");
}

void CModel::EmitMatchingMessage(int code)
{
    if (m_appStatus == 0)
        emit MatchingMessageBox(code);
    else if (m_appStatus == 7)
        emit MatchingMessageBoxDensity(code);
}

void CModel::EmitPatchColorUnmatch()
{
    emit DisplayMainWindowPatchColorUnmatchMessage();
}

void CModel::EmitReliableLow()
{
    emit DisplayMainWindowReliableLowMessage();
}

void CModel::EmitSetMainWindowChartCanvas(int value)
{
    emit SetMainWindowChartCanvas(value);
}

void CModel::EmitDesignationMeasureItemBackColor()
{
    emit SetDesignationMeasureItemBackColor(m_newMeasurementId);
}

void CModel::EmitMeasurementRestartEnable(bool enable)
{
    emit setMeasurementRestartEnable(enable);
}

// ---- Settings -----------------------------------------------------------------------------------------------------

const Setting::UserEnvironment *CModel::GetUserEnvironment() const
{
    return &m_applicationData->GetUserEnvironment();
}

Setting::UserEnvironment &CModel::CurrentUserEnvironment()
{
    // The store owns a non-const record; the document store may clear its data-group text.
    return const_cast<Setting::UserEnvironment &>(m_applicationData->GetUserEnvironment());
}

int CModel::SetUserEnvironment(const Setting::UserEnvironment &environment)
{
    return m_applicationData->SetSetting(environment);
}

const Setting::MeasureConditionSetting *CModel::GetMeasurementCondition(int i) const
{
    return &m_applicationData->GetMeasurementCondition(i);
}

int CModel::SetMeasureCondition(const Setting::MeasureConditionSetting &record, int i)
{
    return m_applicationData->SetMeasureCondition(record, i);
}

const Setting::MeasureDataSave *CModel::GetMeasureDataSaveSetting() const
{
    return &m_applicationData->GetMeasureDataSaveSetting();
}

int CModel::SetMeasureDataSaveSetting(const Setting::MeasureDataSave &record)
{
    return m_applicationData->SetMeasureDataSaveSetting(record);
}

int CModel::StorePrinterEntry(const Setting::PrinterInfo &entry)
{
    // The new printer counts and is saved at once: FindPrinter searches the counted entries only, so an
    // uncounted entry would be asked for again and lost at the next start.
    Setting::MeasureDataSave record = m_applicationData->GetMeasureDataSaveSetting();
    if (record.PrinterCount < 0 || record.PrinterCount >= Setting::kMaxPrinterCount)
        return 0;
    record.Printers[record.PrinterCount] = entry;
    ++record.PrinterCount;
    const int result = m_applicationData->SetMeasureDataSaveSetting(record);
    ReportError(result, 2, false);
    return result;
}

bool CModel::FindPrinter(const QString &address, Setting::PrinterInfo *entry) const
{
    return m_applicationData->FindPrinter(address, entry);
}

bool CModel::IsPrinterListFull() const
{
    return m_applicationData->IsPrinterListFull();
}

const Setting::ConnectSetting *CModel::GetConnectSetting(bool *configured) const
{
    const Setting::ConnectSetting &record = m_applicationData->GetConnectionSetting();
    if (configured) {
        *configured = true;
        QString text;
        if (record.ConnectionKind == 0)
            text = record.Port;
        else
            text = record.AddressKind == 1 ? record.Address : record.NetworkName;
        if (text.isEmpty())
            *configured = false;
    }
    return &record;
}

int CModel::SetConnectSetting(const Setting::ConnectSetting &record)
{
    const int result = m_applicationData->SetConnectionSetting(record);
    ReportError(result, 2, false);
    return result;
}

QByteArray CModel::GetWindowGeometry(int i) const
{
    return m_applicationData->GetWindowGeometry(i);
}

void CModel::SetWindowGeometry(const QByteArray &bytes, int i)
{
    m_applicationData->SetWindowGeometry(bytes, i);
}

QByteArray CModel::GetWindowState(int i) const
{
    return m_applicationData->GetWindowState(i);
}

void CModel::SetWindowState(const QByteArray &bytes, int i)
{
    m_applicationData->SetWindowState(bytes, i);
}

QByteArray CModel::GetWindowCheckState(int i) const
{
    return m_applicationData->GetPanelState(i);
}

void CModel::SetPanelState(const QByteArray &bytes, int i)
{
    m_applicationData->SetPanelState(bytes, i);
}

int CModel::GetOpenFilterIndex() const
{
    return m_applicationData->GetOpenFilterIndex();
}

void CModel::SetImportFilterIndex(int i)
{
    m_applicationData->SetImportFilterIndex(i);
}

int CModel::GetSaveFilterIndex() const
{
    return m_applicationData->GetSaveFilterIndex();
}

void CModel::SetExportFilterIndex(int i)
{
    m_applicationData->SetExportFilterIndex(i);
}

QString CModel::GetLastFolder() const
{
    return m_applicationData->GetLastFolder();
}

int CModel::SetLastFolder(const QString &folder)
{
    return m_applicationData->SetLastFolder(folder);
}

QString CModel::GetNextCalibrationTime() const
{
    return m_applicationData->GetNextCalibrationTime();
}

int CModel::SetNextCalibrationReminder(const QString &time)
{
    const int result = m_applicationData->SetNextCalibrationTime(time);
    ReportError(result, 2, false);
    return result;
}

int CModel::GetInstalledPresetLevel() const
{
    return m_applicationData->GetInstalledPresetLevel();
}

int CModel::GetPresetLevel() const
{
    return m_applicationData->GetPresetLevel();
}

bool CModel::IsDataFormatCurrent() const
{
    return m_applicationData->IsDataFormatCurrent();
}

// ---- Language -----------------------------------------------------------------------------------------------------

QString CModel::GetLanguageCode() const
{
    return m_language ? m_language->GetLanguageCode() : DefaultLanguageCode();
}

QString CModel::GetDefaultLanguageCode() const
{
    return m_language ? m_language->GetDefaultLanguageCode() : DefaultLanguageCode();
}

QStringList CModel::GetLanguageList() const
{
    return m_language ? m_language->GetLanguageList() : QStringList();
}

bool CModel::SetLanguage(const QString &code)
{
    if (!m_language)
        return false;
    m_language->SetLanguageCode(code);
    if (!m_language->Write())
        ReportError(kLanguageWriteFailed, 2, false);
    return true;
}

// ---- Documents ----------------------------------------------------------------------------------------------------

const QList<ChartDesigData> *CModel::GetDesignationCharts() const
{
    return m_documentData->GetDesignationCharts();
}

const QList<ChartDesigMeasureData> *CModel::GetDesignationMeasurements() const
{
    return m_documentData->GetDesignationMeasures();
}

const QList<ChartRecogData> *CModel::GetRecognitionMeasurements() const
{
    return m_documentData->GetRecognitionMeasures();
}

const QList<DensityBalanceData> *CModel::GetDensityCharts() const
{
    return m_documentData->GetDensityCharts();
}

const QList<ChartDesigMeasureData> *CModel::GetDensityMeasurements() const
{
    return m_documentData->GetDensityMeasures();
}

const QStringList *CModel::GetDataGroupNames() const
{
    return m_documentData->GetDataGroupNames();
}

int CModel::CreateDesignationChart(ChartDefinitionDataSheets *chart)
{
    return m_documentData->CreateDesignationChart(chart);
}

int CModel::UpdateDesignationChart(ChartDefinitionDataSheets *chart)
{
    if (!chart)
        return kMissingArgument;
    return m_documentData->UpdateDesignationChartDefinition(m_selectedChartId, *chart);
}

int CModel::CombineDesignationCharts(const QList<int> &recognitionIds)
{
    return m_documentData->CombineRecognitionMeasures(recognitionIds);
}

int CModel::CreateDensityChart(int templateRow, int instrumentNumber, ChartDefinitionDataSheets *chart)
{
    return m_documentData->CreateDensityChart(templateRow, instrumentNumber, chart);
}

int CModel::UpdateDataGroupNames(const QStringList &names)
{
    return m_documentData->UpdateDataGroupNames(names);
}

QString CModel::GetNewDesignationChartName() const
{
    return m_documentData->GetNewDesignationChartName();
}

int CModel::DeleteDesignationMeasurement(int id)
{
    return m_documentData->DeleteDesignationMeasure(id) ? 0 : kDeleteFailed;
}

int CModel::DeleteDensityMeasurement(int id)
{
    return m_documentData->DeleteDensityMeasure(id) ? 0 : kDeleteFailed;
}

int CModel::DeleteRecognitionMeasurement(int id)
{
    return m_documentData->DeleteRecognitionMeasure(id) ? 0 : kDeleteFailed;
}

int CModel::ReadAllDocuments()
{
    return m_documentData->ReadAllDocuments();
}

int CModel::ReadDesignationChart(int id, ChartDefinitionDataSheets *chart)
{
    return m_documentData->ReadDesignationChart(id, chart);
}

int CModel::ReadDesignationMeasure(int id, int chartId, MeasurementDataSheets *measurement)
{
    return m_documentData->ReadDesignationMeasure(id, chartId, measurement);
}

int CModel::ReadDensityChart(int id, ChartDefinitionDataSheets *chart)
{
    return m_documentData->ReadDensityChart(id, chart);
}

int CModel::ReadDensityMeasure(int id, int chartId, MeasurementDataSheets *measurement)
{
    return m_documentData->ReadDensityMeasure(id, chartId, measurement);
}

int CModel::ReadRecognitionMeasure(int id, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement)
{
    return m_documentData->ReadRecognitionMeasure(id, chart, measurement);
}

bool CModel::DesignationChartHasMeasurements(int id) const
{
    return m_documentData->DesignationChartHasMeasurements(id);
}

bool CModel::DensityChartHasMeasurements(int id) const
{
    return m_documentData->DensityChartHasMeasurements(id);
}

bool CModel::IsDesignationChartLimitReached() const
{
    return m_documentData->IsDesignationChartStoreFull();
}

bool CModel::IsMeasureDataLimitReached()
{
    return m_documentData->IsStoreFull();
}

bool CModel::CheckDesignationChartLimit()
{
    if (!m_documentData->IsDesignationChartStoreFull())
        return false;
    ReportError(kChartStoreFull, 53, false);
    return true;
}

bool CModel::CheckDensityChartLimit()
{
    if (!m_documentData->IsDensityChartStoreFull())
        return false;
    ReportError(kChartStoreFull, 53, false);
    return true;
}

int CModel::RenameDesignationChart(const QString &name)
{
    if (!NameLengthOk(name)) {
        ReportError(kBadChartName, 6, false);
        return kBadChartName;
    }
    const ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const QString pattern = chart->Barcode == 1 ? QStringLiteral("^[A-Za-z0-9 $%+\\-]+$")
                                                : QStringLiteral("^[A-Za-z0-9 $%+\\-_]+$");
    if (!IsPrintableAscii(name) || !QRegularExpression(pattern).match(name).hasMatch()) {
        ReportError(kBadChartName, 47, false);
        return kBadChartName;
    }
    const int result = m_documentData->RenameDesignationChart(m_selectedFileId, name);
    if (result == 0 && m_dataBuffer->GetChartDefinition()->ChartName != name)
        m_dataBuffer->GetChartDefinition()->ChartName = name;
    return result;
}

int CModel::RenameDensityChart(const QString &name)
{
    int result = kBadChartName;
    if (NameLengthOk(name) && IsPrintableAscii(name))
        result = m_documentData->RenameDensityChart(m_selectedFileId, name);
    ReportError(result, 6, false);
    return result;
}

int CModel::RenameDesignationMeasure(const QString &name)
{
    const int result =
        NameLengthOk(name) ? m_documentData->RenameDesignationMeasure(m_selectedFileId, name) : kBadMeasurementName;
    ReportError(result, 6, false);
    return result;
}

int CModel::RenameDensityMeasure(const QString &name)
{
    const int result =
        NameLengthOk(name) ? m_documentData->RenameDensityMeasure(m_selectedFileId, name) : kBadMeasurementName;
    ReportError(result, 6, false);
    return result;
}

int CModel::RenameRecognitionMeasure(const QString &name)
{
    const int result =
        NameLengthOk(name) ? m_documentData->RenameRecognitionMeasure(m_selectedFileId, name) : kBadRecognitionName;
    ReportError(result, 6, false);
    return result;
}

int CModel::SetDesignationChartDiameter(int value)
{
    m_dataBuffer->GetChartDefinition()->Diameter = value;
    return m_documentData->SetDesignationChartDiameter(m_selectedFileId, value);
}

int CModel::UpdateBarcodeSize()
{
    ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    if (chart->Barcode != 1 || !chart->Sheets)
        return 0;
    for (int i = 0; i < chart->SheetCount; ++i) {
        SheetInfoRecord record;
        FillSheetInfoRecord(&record, *chart, i);
        const int size = m_resourceData->GetBarcodeSize(record, kBarcodeLevel, kBarcodeModulePixels);
        chart->Sheets[i].BarcodeWidth = size;
        chart->Sheets[i].BarcodeHeight = size;
    }
    const int result = m_documentData->UpdateDesignationChartDefinition(m_selectedChartId, *chart);
    if (result == 0)
        emit UpdatedBarcodeData();
    return result;
}

// ---- Working buffer -----------------------------------------------------------------------------------------------

ChartDefinitionDataSheets *CModel::GetChartDefinition()
{
    return m_dataBuffer->GetChartDefinition();
}

int CModel::QueryChartDefinition(ChartDefinitionDataSheets **chart)
{
    if (chart)
        *chart = m_dataBuffer->GetChartDefinition();
    return 0;
}

void CModel::CopyChartDefinition(ChartDefinitionDataSheets *out) const
{
    if (out)
        CopyChartDefinitionData(out, *m_dataBuffer->GetChartDefinition());
}

int CModel::GetMeasurementData(MeasurementDataSheets **measurement)
{
    return m_dataBuffer->GetMeasurement(measurement);
}

int CModel::ReplaceChartSheet(const ChartDefinitionData::Sheet &sheet, int index)
{
    return m_dataBuffer->ReplaceChartSheet(sheet, index);
}

int CModel::ReplaceMeasurementSheet(const MeasurementData &page, int index)
{
    return m_dataBuffer->ReplaceMeasurementSheet(page, index);
}

int CModel::SetSheetImage(const OrloImage *image, int pageMode)
{
    m_dataBuffer->SetSheetImage(image, pageMode);
    return 0;
}

void CModel::SetCurrentSheetIndex(int page)
{
    m_dataBuffer->SetCurrentChartPageIndex(unsigned(qMax(page, 0)));
}

void CModel::SetPlannedSheetCount(unsigned count)
{
    m_dataBuffer->SetPlannedSheetCount(count);
}

QList<unsigned> CModel::GetChartPageNumbers() const
{
    return m_dataBuffer->GetChartPageNumbers();
}

QList<unsigned> CModel::GetMeasuredPageNumbers() const
{
    return m_dataBuffer->GetMeasuredPageNumbers();
}

unsigned CModel::GetCurrentRecordCount()
{
    return m_dataBuffer->GetCurrentRecordCount();
}

unsigned CModel::GetExpectedRecordCount()
{
    return m_dataBuffer->GetExpectedRecordCount();
}

unsigned CModel::GetCurrentChartPageIndex()
{
    return m_dataBuffer->GetCurrentChartPageIndex();
}

int CModel::GetMeasurementSheetCount()
{
    return m_dataBuffer->GetMeasurement()->SheetCount;
}

bool CModel::IsFirstSheet()
{
    return m_dataBuffer->IsFirstSheet();
}

bool CModel::IsAllSheetsMeasured()
{
    return m_dataBuffer->IsAllSheetsMeasured();
}

bool CModel::IsPageMeasured()
{
    return m_dataBuffer->IsCurrentPageComplete();
}

int CModel::BuildPageMeasurePoints(ChartDefinitionData::Sheet *targetSheet, MeasurementData *targetPage,
                                   const ChartDefinitionData::Sheet *sourceSheet, const MeasurementData *sourcePage,
                                   const QList<ChartDefinitionData::PatchColor> &removed)
{
    return m_dataBuffer->BuildPageMeasurePoints(targetSheet, targetPage, sourceSheet, sourcePage, removed);
}

void CModel::SetChartRowsColumnsSwapped(bool swapped)
{
    m_dataBuffer->SetRowsColumnsSwapped(swapped);
}

int CModel::GetCurrentSheet(ChartDefinitionData::Sheet **sheet)
{
    ChartDefinitionDataSheets *chart = m_dataBuffer->GetChartDefinition();
    const unsigned index = m_dataBuffer->GetCurrentChartPageIndex();
    if (chart->SheetCount <= 0 || !chart->Sheets || index >= unsigned(chart->SheetCount))
        return kNoCurrentSheet;
    if (sheet)
        *sheet = &chart->Sheets[index];
    return 0;
}

int CModel::GetCurrentSheet(const ChartDefinitionData::Sheet **sheet)
{
    ChartDefinitionData::Sheet *current = nullptr;
    const int result = GetCurrentSheet(&current);
    if (result == 0 && sheet)
        *sheet = current;
    return result;
}

bool CModel::IsChartNameChanged(const QString &name)
{
    return m_dataBuffer->GetChartDefinition()->ChartName != name;
}

// ---- Diagnosis ----------------------------------------------------------------------------------------------------

void CModel::GetStandardValues(unsigned int *count, const StandardValueRecord **records) const
{
    m_diagnoseData->GetStandardValues(count, records);
}

int CModel::SetStandardValues(unsigned int count, const StandardValueRecord *records)
{
    return m_diagnoseData->SetStandardValues(count, records);
}

int CModel::SetStandardValueInfo(const TileSetInfo &info)
{
    return m_diagnoseData->SetStandardValueInfo(info.ModelIndex, info.SerialNumber, info.CreateTime);
}

const TileSetInfo &CModel::GetTileSetRecord() const
{
    return m_diagnoseData->GetTileSetRecord();
}

void CModel::GetToleranceValues(unsigned int *count, const ToleranceRecord **records) const
{
    m_diagnoseData->GetToleranceValues(count, records);
}

int CModel::SetToleranceValues(unsigned int count, const ToleranceRecord *records)
{
    return m_diagnoseData->SetToleranceValues(count, records);
}

void CModel::GetDiagnoseHistory(unsigned int *count, const DiagnoseHistoryRecord **records) const
{
    m_diagnoseData->GetDiagnoseHistory(count, records);
}

int CModel::SetDiagnoseHistory(unsigned int count, std::unique_ptr<DiagnoseHistoryRecord[]> records)
{
    return m_diagnoseData->SetDiagnoseHistory(count, std::move(records));
}

// ---- Installation resources ---------------------------------------------------------------------------------------

void CModel::GetAddFileName(QString &out, const QString &key) const
{
    out = m_resourceData->GetAddFileName(key);
}

QStringList CModel::GetTemplateList() const
{
    return m_resourceData->GetTemplateList();
}

QList<int> CModel::GetTemplateNumberList(int row) const
{
    return m_resourceData->GetTemplateNumberList(row);
}

int CModel::GetTemplateSecondNumber(int row) const
{
    return m_resourceData->GetTemplateSecondNumber(row);
}

int CModel::GetTemplateTextOutput(int row) const
{
    return m_resourceData->GetTemplateTextOutput(row);
}

QString CModel::GetDeviceCodeA(const SheetInfoRecord &record)
{
    return m_resourceData->GetDeviceCodeA(record);
}

QString CModel::GetDeviceCodeB(const SheetInfoRecord &record)
{
    return m_resourceData->GetDeviceCodeB(record);
}

int CModel::GetBarcodeInsetPixels() const
{
    return m_resourceData->GetBarcodeInsetPixels(kBarcodeModulePixels);
}

QStringList CModel::GetNoneExistNames() const
{
    return m_resourceData->GetNoneExistNames();
}

int CModel::GetBarcodeSize(const SheetInfoRecord &record) const
{
    return m_resourceData->GetBarcodeSize(record, kBarcodeLevel, kBarcodeModulePixels);
}

InkChannelList CModel::GetReferenceColors() const
{
    return m_resourceData->GetReferenceColors();
}

float CModel::GetColorDefaultValue(int format) const
{
    return m_resourceData->GetColorDefaultValue(format);
}

float CModel::GetColorMaxValue(int format) const
{
    return m_resourceData->GetColorMaxValue(format);
}

float CModel::GetColorMinValue(int format) const
{
    return m_resourceData->GetColorMinValue(format);
}

QStringList CModel::GetColorChannelNames(int format) const
{
    return m_resourceData->GetColorChannelNames(format);
}

QStringList CModel::GetInstrumentNames() const
{
    return m_resourceData->GetInstrumentNames();
}

QString CModel::GetPageSizeName(int index) const
{
    return m_resourceData->GetPageSizeName(index);
}

QStringList CModel::GetPageSizeNames() const
{
    return m_resourceData->GetPageSizeNames();
}

int CModel::GetPageSizeWidth(int index) const
{
    return m_resourceData->GetPageSizeWidth(index);
}

int CModel::GetPageSizeHeight(int index) const
{
    return m_resourceData->GetPageSizeHeight(index);
}

int CModel::GetPageSizeMaxWidth(int index) const
{
    return m_resourceData->GetPageSizeMaxWidth(index);
}

int CModel::GetPageSizeMaxHeight(int index) const
{
    return m_resourceData->GetPageSizeMaxHeight(index);
}

int CModel::FindPaperSizeIndex(int width, int height) const
{
    return m_resourceData->FindPaperSizeIndex(width, height);
}

int CModel::FindPaperSizeIndexInUnit(int unit, int width, int height) const
{
    return m_resourceData->FindPaperSizeIndexInUnit(unit, width, height);
}

int CModel::GetMaxColumnCount() const
{
    return m_resourceData->GetMaxColumnCount();
}

int CModel::GetMaxRowCount() const
{
    return m_resourceData->GetMaxRowCount();
}

int CModel::GetMinRowColumnCount() const
{
    return m_resourceData->GetMinRowColumnCount();
}

int CModel::GetAreaLeftMin() const
{
    return m_resourceData->GetAreaLeftMin();
}

int CModel::GetAreaLeftMax() const
{
    return m_resourceData->GetAreaLeftMax();
}

int CModel::GetAreaTopMin() const
{
    return 0;
}

int CModel::GetAreaTopMax() const
{
    return m_resourceData->GetAreaTopMax();
}

QPair<int, int> CModel::GetIso12642DefaultPosition(int id, int patchOrder) const
{
    return m_resourceData->GetIso12642DefaultPosition(id, patchOrder);
}

int CModel::GetIso12642LayoutLongSide() const
{
    return m_resourceData->GetIso12642LayoutLongSide();
}

int CModel::GetIso12642LayoutShortSide() const
{
    return m_resourceData->GetIso12642LayoutShortSide();
}

// ---- Chart files --------------------------------------------------------------------------------------------------

int CModel::ImportChartDefinition(ChartDefinitionDataSheets *chart, int *kind, int *count, const QString &fileName,
                                  int fileType)
{
    return m_dataFile->ImportChartDefinition(chart, kind, count, fileName, fileType);
}

int CModel::ImportChartDefinitionCgats(ChartDefinitionDataSheets *chart, const QString &fileName, int format)
{
    return m_dataFile->ImportCgatsChartWithFormat(chart, fileName, format);
}

int CModel::ImportChartDefinitionWithLayout(ChartDefinitionDataSheets *chart, const QString &fileName, int rows,
                                            int columns)
{
    return m_dataFile->ImportCgatsChartWithLayout(chart, fileName, rows, columns);
}

int CModel::ImportChartDefinitionTargetDescription(ChartDefinitionDataSheets *chart, const QString &fileName,
                                                   int rows, int columns)
{
    return m_dataFile->ImportTargetDefinitionWithLayout(chart, fileName, rows, columns);
}

int CModel::ExportChartDefinition(const QString &path, ChartDefinitionDataSheets *chart)
{
    const int result = m_dataFile->WriteChartDefinition(path, chart);
    ReportError(result, 2, false);
    return result;
}

int CModel::ExportChartImage(const QString &path, ChartDefinitionDataSheets *chart)
{
    return m_dataFile->OutputChartImage(path, chart);
}

QString CModel::ChartImagePageFileName(const QString &path, int page)
{
    return COutputImage::PageFileName(path, page);
}

// ---- Data-file operations of later formats ------------------------------------------------------------------------

int CModel::WriteMeasurementExport(const QString &path, int format, const QString &dateText,
                                   const Setting::MeasureConditionSetting &conditions, const QVector<int> &conditionIds,
                                   const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart)
{
    return m_dataFile->SaveMeasurementData(path, format, dateText, conditions, conditionIds.toList(), measurement,
                                           chart);
}

int CModel::WriteDensityMeasureFile(const QString &path, const QString &dateText, int templateFirstNumber,
                                    const Setting::MeasureConditionSetting &conditions,
                                    const MeasurementDataSheets &measurement, const ChartDefinitionDataSheets &chart)
{
    return m_dataFile->SaveMeasureDataFile(path, dateText, templateFirstNumber, conditions, measurement, chart);
}

int CModel::ReadLightSourceFile(EnvironLightData *record, const QString &path, int format)
{
    return CIODataFile::ReadEnvironmentLightData(record, path, format);
}

int CModel::WriteLightSourceFile(const QString &path, int format, const EnvironLightData &record)
{
    return CIODataFile::WriteEnvironmentLightData(path, format, record);
}

// ---- Handheld instrument and Lumet --------------------------------------------------------------------------------

bool CModel::IsHandyConnected() const
{
    return m_tano->IsOpen();
}

void CModel::StartTanoPolling()
{
    // One poll per handheld run: a second start must not reset the button state of the running one.
    if (!m_tano->IsWaiting())
        m_tano->StartWaitButton();
}

void CModel::StopHandyPolling()
{
    m_tano->StopWaitButton();
}

int CModel::CloseTanoDevice()
{
    m_tano->StopWaitButton();
    return m_tano->CloseDevice();
}

int CModel::OpenTanoDevice(int *kind, int *serial)
{
    if (m_tano->IsOpen())
        return 0;
    const int result = m_tano->OpenDevice(kind, serial);
    ReportError(result, 10, false);
    return result;
}

int CModel::OpenVexDevice(int *kind, int *serial)
{
    if (m_vex->IsOpen())
        return 0;
    const int result = m_vex->OpenDevice(kind, serial);
    ReportError(result, 11, false);
    return result;
}

void CModel::CloseVexDevice()
{
    m_vex->CloseDevice();
}

int CModel::GetVexStoredData(const EnvironLightData **records, int *count)
{
    const int result = m_vex->ReadStoredData(records, count);
    ReportError(result, 13, false);
    return result;
}

// ---- User illuminants ---------------------------------------------------------------------------------------------

UserIlluminantSlots CModel::GetUserIlluminants() const
{
    return m_illuminantData->GetSlots();
}

void CModel::ClearUserLightList()
{
    m_userLights.clear();
}

void CModel::RebuildIlluminantList()
{
    ClearUserLightList();
    for (int i = 0; i < m_illuminantData->GetRecordCount(); ++i)
        m_userLights.push_back(*m_illuminantData->GetRecord(i));
}

std::vector<EnvironLightData> CModel::GetUserLightList() const
{
    return m_userLights;
}

int CModel::GetSelectedEnvironmentLight(EnvironLightData *record)
{
    if (!record)
        return kMissingArgument;
    RebuildIlluminantList();
    switch (m_lightSource) {
    case 1:
        if (m_lightIndex < 0)
            return 0;
        if (m_lightIndex >= int(m_userLights.size()))
            return kBadLightSource;
        *record = m_userLights[size_t(m_lightIndex)];
        return 0;
    case 2:
        return m_tano->IsOpen() ? m_tano->GetUserIlluminant(record) : 0;
    case 3:
        return m_vex->IsOpen() ? m_vex->GetStoredRecord(record, m_lightIndex) : 0;
    default:
        return kBadLightSource;
    }
}

int CModel::StoreUserIlluminantList()
{
    const int count = int(m_userLights.size());
    std::unique_ptr<EnvironLightData[]> records;
    if (count > 0) {
        records = std::make_unique<EnvironLightData[]>(size_t(count));
        std::copy(m_userLights.begin(), m_userLights.end(), records.get());
    }
    const int result = m_illuminantData->SetEnvironLightData(count, std::move(records));
    m_illuminantData->RebuildSlots();
    return result;
}

int CModel::SaveUserIlluminantList()
{
    // Handing the list over writes the file.
    return StoreUserIlluminantList();
}

int CModel::ImportUserIlluminantFromInstrument(UserIlluminantSlot *slot, const QString &name)
{
    if (m_lightSource == 1)
        return kSourceIsList;
    if (m_lightSource == 2 && !m_tano->IsOpen())
        return kHandheldNotOpen;
    EnvironLightData record;
    const int read = GetSelectedEnvironmentLight(&record);
    if (read != 0)
        return read;
    if (m_lightSource == 3 && !m_vex->IsOpen())
        return kLumetNotOpen;
    m_lightIndex = int(m_userLights.size());
    QString kept;
    m_illuminantData->SetIlluminantName(&record, &kept, name, m_illuminantData->GetNewIlluminantNumber());
    if (slot)
        slot->Name = kept;
    m_userLights.push_back(record);
    return SaveUserIlluminantList();
}

int CModel::ImportUserIlluminantFromFile(UserIlluminantSlot *slot, const QString &path, int format,
                                         const QString &name)
{
    EnvironLightData record;
    int result = ReadLightSourceFile(&record, path, format);
    if (result == 0) {
        record.Date = LightDateForStore(record.Date);
        QString given = name;
        if (given.isEmpty()) {
            const int slash = path.lastIndexOf(QLatin1Char('/'));
            const int dot = path.lastIndexOf(QLatin1Char('.'));
            given = dot > slash ? path.mid(slash + 1, dot - slash - 1) : path.mid(slash + 1);
        }
        RebuildIlluminantList();
        QString kept;
        m_illuminantData->SetIlluminantName(&record, &kept, given, m_illuminantData->GetNewIlluminantNumber());
        if (slot)
            slot->Name = kept;
        m_userLights.push_back(record);
        m_lightIndex = int(m_userLights.size()) - 1;
        result = SaveUserIlluminantList();
    }
    ReportError(result, 14, false);
    return result;
}

int CModel::ReplaceUserIlluminantFromFile(EnvironLightData *record, int index, const QString &path, int format)
{
    RebuildIlluminantList();
    if (index < 0 || index >= int(m_userLights.size()))
        return kBadLightSource;
    EnvironLightData read = record ? *record : m_userLights[size_t(index)];
    int result = ReadLightSourceFile(&read, path, format);
    if (result == 0) {
        read.Date = LightDateForStore(read.Date);
        m_userLights[size_t(index)] = read;
        if (record)
            *record = read;
        result = SaveUserIlluminantList();
    }
    ReportError(result, 14, false);
    return result;
}

int CModel::RenameUserIlluminant(QString *name)
{
    if (!name)
        return kMissingArgument;
    if (!NameLengthOk(*name)) {
        ReportError(kBadIlluminantNameLength, 6, false);
        return kBadIlluminantNameLength;
    }
    static const QRegularExpression forbidden(QStringLiteral("[/\\\\:*?\"<>|]"));
    if (name->contains(forbidden)) {
        ReportError(kBadIlluminantName, 47, false);
        return kBadIlluminantName;
    }
    RebuildIlluminantList();
    if (m_lightIndex < 0 || m_lightIndex >= int(m_userLights.size()))
        return kBadLightSource;
    const QString kept = m_illuminantData->MakeUniqueName(*name, m_lightIndex);
    m_userLights[size_t(m_lightIndex)].Name = kept;
    *name = kept;
    return SaveUserIlluminantList();
}

int CModel::DeleteUserIlluminant()
{
    RebuildIlluminantList();
    if (m_lightIndex < 0 || m_lightIndex >= int(m_userLights.size()))
        return kBadLightSource;
    m_userLights.erase(m_userLights.begin() + m_lightIndex);
    return SaveUserIlluminantList();
}

int CModel::ExportEnvironmentLight(const QString &path, int format)
{
    EnvironLightData record;
    int result = GetSelectedEnvironmentLight(&record);
    if (result == 0)
        result = WriteLightSourceFile(path, format, record);
    ReportError(result, 2, false);
    return result;
}
