#pragma once
// Drives the chart scanner through OrloSDK: connection, jobs, options, network settings, the device-event
// chain from capture to sheet end, and the colour calculations on stored 152-value blocks.
//
// The library calls one plain function on a thread of its own. That function only hands (code, value,
// count) to the controller on the GUI thread, where the events run one after another in arrival order, so
// the state below, the model, the buffer and the stores are touched by the GUI thread alone.

#include "app/instrumentrecords.h"
#include "app/orlosdkhost.h"
#include "app/records.h"
#include "app/settingrecords.h"

#include "OrloSDK.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

struct EnvironLightData;

// A colour-check list as the library takes it: the head followed by its entries.
class OrloColorCheckBuffer
{
public:
    void Reset(int flag, int count);
    OrloColorCheckList *List() { return reinterpret_cast<OrloColorCheckList *>(m_bytes.get()); }
    OrloColorCheckEntry *Entries() { return OrloColorCheckEntries(List()); }
    bool IsEmpty() const { return !m_bytes; }

private:
    std::unique_ptr<unsigned char[]> m_bytes;
};

class COrloSDKController : public QObject
{
    Q_OBJECT
public:
    enum Result {
        kNoSettings = 20001,
        kConnectFailed = 20002,
        kDensityFailed = 20006,
        kSpectrumOptionFailed = 20013,
        kSpectrumFailed = 20014,
        kOptionsFailed = 20015,
        kRegisterJobFailed = 20016,
        kRegisterJobNotConnected = 20017,
        kDeleteJobFailed = 20018,
        kDeleteJobNotConnected = 20019,
        kSystemInfoNotConnected = 20022,
        kStatusNotConnected = 20023,
        kUserIlluminantFailed = 20024,
        kNetworkReadWriteFailed = 20026,
        kNetworkTextInvalid = 20027,
        kEventFatal = 20028,
        kEventMemory = 20029,
        kCaptureStartFailed = 20030,
        kEventPrescan = 20031,
        kEventMeasurement = 20032,
        kEventSensor = 20033,
        kSheetEndWithoutPatches = 20036,
        kClippingFailed = 20040,
        kEventTimeout = 20041,
        kStopFailed = 20042,
        kRecogResultFailed = 20043,
        kChartImageFailed = 20044,
        kPatchDataFailed = 20047,
        kExitFailed = 20049,
        kOptionFailed = 20050,
        kEventUnknown = 20053,
        kUserColorKind = 20054,
        kUserColorFailed = 20055,
        kColorKind = 20056,
        kColorFailed = 20057,
        kDeviceListFailed = 20059,
        kDisconnectFailed = 20061,
        kUnregisterFailed = 20062,
        kEventCalculation = 20065,
        kEventChartTooLong = 20066,
        kScreenNotActive = 20067,
        kMeasurementLimit = 20068,
        kCaptureResultFailed = 20070,
        kCaptureImageFailed = 20072,
        kRecognitionRefused = 20073,
        kRecognitionResultFailed = 20074,
        kMeasurePointsFailed = 20075,
        kMeasurementStartFailed = 20076,
        kBarcodeImageFailed = 20077,
        kSheetIncomplete = 20078,
        kLayoutInconsistent = 20079,
        kUnmatchWithoutRun = 20080,
        kRecognitionStartFailed = 20081,
    };
    static constexpr int kPatchValueCount = 49;

    explicit COrloSDKController(COrloSDKHost *host, QObject *parent = nullptr);
    ~COrloSDKController() override;

    // Connection.
    int Connect(const Setting::ConnectSetting *settings);
    int Disconnect();
    static bool IsConnected();
    static bool IsMeasurementStopped();
    static int GetRegisteredChart();
    static bool GetRegistrationMode();
    static int GetDensityEndPending();
    static void SetDensityEndRequest(int value);
    static void SetDensityEndPending(int value);
    static void SetRegistrationMode(bool on);
    static void SetSelectBySize(bool on);
    static void SetDeviceCodeChoice(int choice);
    int GetDeviceList(QList<OrloDeviceEntry> *list);
    QString GetSystemInfo();
    int GetSystemInfoRecord(OrloSystemInfo *out);
    int GetStatus(OrloStatus *out);
    int GetDeviceState();

    // Jobs and options.
    int RegisterJob(int chartId, const ChartDefinitionDataSheets &chart, int *jobNumber = nullptr);
    int DeleteJob(int chartId);
    int SetOptionValue(int group, int value);
    int SetOption(const Setting::MeasureConditionSetting &record, int conditionId);
    int RegisterUserIlluminant(const EnvironLightData &record);
    int GetNetworkSetting(OrloNetworkSetting *out);
    int SetNetworkSetting(const OrloNetworkSetting &in);
    int CreateBarcodeImage(const QString &path, SheetInfoRecord *record);
    int ClippingChart(int page);
    int GetChartImage(OrloChartImage *buffer, int size);
    int GetPatchRecogResult(bool *flag, char text[ORLO_SHEET_RECORD_SIZE], OrloLayoutRecord *out);
    int GetPremeasurementError();

    // Measurement run.
    int StartMeasurement();
    int StartNextMeasurement(int option, bool secondVariant);
    int StopMeasurement(bool feedNext);
    int ExitMeasurement();
    int RestartRecognition(int mode);
    int ReStartPatchRecognition(const ChartDefinitionData::Sheet &sheet, int page);
    int StartRecognition(int flag);

    // Calculations on a stored 152-value block.
    int CalculatePatchValues(float out[kPatchValueCount], const float *block,
                             const Setting::MeasureConditionSetting &record, int conditionId);
    int CalculateDensity(float out[4], const float *block, const Setting::MeasureConditionSetting &record,
                         int conditionId);
    int CalculateColor(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                       int conditionId, int kind);
    int CalculateColorUserIlluminant(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                                     int conditionId, int kind);
    int CalculateSpectrum(float out[36], const float *block, int conditionId);
    int CalculateLabWithOptions(float out[3], const float *block, int conditionId, int illuminantId, int observer);
    int CalculateSpectrumForCondition(float out[36], const float *block, int conditionId);
    int StorePaperDensities(const float *paperBlock, const Setting::MeasureConditionSetting &record,
                            const QVector<int> &conditions);

    // The plain function registered with the library.
    static void DeviceEventFunction(int code, int value, void *data, int count);
    static int GetLastEvent();
    // Events received and not yet handled.
    static int QueuedEventCount();

    // The library's layout record of a registered sheet. A 150 dpi barcode image is enlarged 2 x 2 into
    // *enlarged, which the record then points at.
    static void BuildLayoutRecord(const ChartDefinitionData::Sheet &sheet, OrloLayoutRecord *layout,
                                  std::vector<unsigned char> *enlarged);
    // The colour-check list of a sheet; left empty when the sheet's first patch has no colour format.
    static void BuildColorCheckList(const ChartDefinitionData::Sheet &sheet, const InkChannelList &inks,
                                    OrloColorCheckBuffer *list);

private:
    void PostEvent(int code, int value, int count);
    void HandleEvent(int code, int value, int count);
    void ErrorEnding(int code, int message);
    int CaptureStart();
    int CaptureResult(int value, int *message);
    int ReadCapturedImage();
    int Recognise(int job, int page, const ChartDefinitionData::Sheet &sheet, int mode, bool passLayout);
    int RecognitionResult(int *message);
    int LayoutCheck(int mode, const OrloLayoutRecord &layout);
    int UnmatchedColourStop(int mode, int option, bool secondVariant);
    int LowReliabilityCheck(int code, const OrloLayoutRecord &layout);
    int PatchData(int count, int *message);
    int FetchPatch(int index, int count, const Setting::UserEnvironment &environment);
    void SheetEnd(int count);
    int SetSelectedStatus();
    int TakeRecognitionResult(const OrloLayoutRecord *layout);
    int StopAndClear(bool feedNext);
    int DisconnectImpl(bool releaseParked);
    void UpdateRegistration(int flag);
    const Setting::UserEnvironment &Environment() const;
    int RegisterUserIlluminantFor(int conditionId, int illuminantId);

    float m_paperDensity[20][4];
};
