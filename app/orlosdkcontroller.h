#pragma once
// Drives the chart scanner through OrloSDK: connection, jobs, options, network settings, the device-event
// chain from capture to sheet end, and the colour calculations on stored 152-value blocks.
//
// The library calls one plain function on a thread of its own. That function only hands (code, value,
// count) to the controller's event pump on the GUI thread, where the events run one after another in arrival
// order, so the state below, the model, the buffer and the stores are touched by the GUI thread alone.
//
// One controller per model; its state is its own. The calculations go to the colour calculator, the blocks
// the library takes for a registered sheet are built by the free functions of orlobuilders.h.

#include "app/instrumentrecords.h"
#include "app/orlocolourcalculator.h"
#include "app/orloeventpump.h"
#include "app/orlosdkhost.h"
#include "app/records.h"
#include "app/settingrecords.h"

#include "OrloSDK.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include <vector>

struct EnvironLightData;

class COrloSDKController : public QObject
{
    Q_OBJECT
public:
    enum Result {
        kNoSettings = 20001,
        kConnectFailed = 20002,
        kDensityFailed = COrloColourCalculator::kDensityFailed,
        kSpectrumOptionFailed = COrloColourCalculator::kSpectrumOptionFailed,
        kSpectrumFailed = COrloColourCalculator::kSpectrumFailed,
        kOptionsFailed = COrloColourCalculator::kOptionsFailed,
        kRegisterJobFailed = 20016,
        kRegisterJobNotConnected = 20017,
        kDeleteJobFailed = 20018,
        kDeleteJobNotConnected = 20019,
        kSystemInfoNotConnected = 20022,
        kStatusNotConnected = 20023,
        kUserIlluminantFailed = COrloColourCalculator::kUserIlluminantFailed,
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
        kUserColorKind = COrloColourCalculator::kUserColorKind,
        kUserColorFailed = COrloColourCalculator::kUserColorFailed,
        kColorKind = COrloColourCalculator::kColorKind,
        kColorFailed = COrloColourCalculator::kColorFailed,
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
    static constexpr int kPatchValueCount = COrloColourCalculator::kPatchValueCount;

    explicit COrloSDKController(COrloSDKHost *host, QObject *parent = nullptr);
    ~COrloSDKController() override;

    // Connection.
    int Connect(const Setting::ConnectSetting *settings);
    int Disconnect();
    bool IsConnected() const { return m_connected != 0; }
    bool IsMeasurementStopped() const { return m_stopped != 0; }
    int GetRegisteredChart() const { return m_registeredChart; }
    bool GetRegistrationMode() const { return m_registrationMode != 0; }
    int GetDensityEndPending() const { return m_densityEndPending; }
    void SetDensityEndRequest(int value) { m_densityEndRequest = value; }
    void SetDensityEndPending(int value) { m_densityEndPending = value; }
    void SetRegistrationMode(bool on) { m_registrationMode = on ? 1 : 0; }
    void SetSelectBySize(bool on) { m_selectBySize = on ? 1 : 0; }
    void SetDeviceCodeChoice(int choice) { m_deviceCodeChoice = choice; }
    int GetDeviceList(QList<OrloDeviceEntry> *list);
    QString GetSystemInfo();
    int GetSystemInfoRecord(OrloSystemInfo *out);
    int GetStatus(OrloStatus *out);
    int GetDeviceState();

    // Jobs and options.
    int RegisterJob(int chartId, const ChartDefinitionDataSheets &chart, int *jobNumber = nullptr);
    int DeleteJob(int chartId);
    int SetOptionValue(int group, int value);
    int SetOption(const Setting::MeasureConditionSetting &record, int conditionId)
    {
        return m_calculator.SetOption(record, conditionId);
    }
    int RegisterUserIlluminant(const EnvironLightData &record) { return m_calculator.RegisterUserIlluminant(record); }
    int GetNetworkSetting(OrloNetworkSetting *out);
    int SetNetworkSetting(const OrloNetworkSetting &in);
    int CreateBarcodeImage(const QString &path, SheetInfoRecord *record);
    int ClippingChart(int page);
    int GetChartImage(OrloChartImage *buffer, int size);
    int GetPatchRecogResult(bool *flag, char text[ORLO_SHEET_RECORD_SIZE], OrloLayoutRecord *out);
    // The points of the current recognition result, at most capacity; *count gets how many were written.
    int GetMeasurePoints(OrloMeasurePoint *points, int capacity, int *count);
    // 0 when a layout the instrument reports is one a page can hold, kLayoutInconsistent otherwise.
    static int CheckLayout(const OrloLayoutRecord &layout);
    int GetPremeasurementError();

    // Measurement run.
    int StartMeasurement();
    int StartNextMeasurement(int option, bool secondVariant);
    int StopMeasurement(bool feedNext);
    int ExitMeasurement();
    int RestartRecognition(int mode);
    int ReStartPatchRecognition(const ChartDefinitionData::Sheet &sheet, int page);
    int StartRecognition(int flag);

    // Calculations on a stored 152-value block (the colour calculator's).
    int CalculatePatchValues(float out[kPatchValueCount], const float *block,
                             const Setting::MeasureConditionSetting &record, int conditionId)
    {
        return m_calculator.CalculatePatchValues(out, block, record, conditionId);
    }
    int CalculateDensity(float out[4], const float *block, const Setting::MeasureConditionSetting &record,
                         int conditionId)
    {
        return m_calculator.CalculateDensity(out, block, record, conditionId);
    }
    int CalculateColor(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                       int conditionId, int kind)
    {
        return m_calculator.CalculateColor(out, block, record, conditionId, kind);
    }
    int CalculateColorUserIlluminant(float out[3], const float *block, const Setting::MeasureConditionSetting &record,
                                     int conditionId, int kind)
    {
        return m_calculator.CalculateColorUserIlluminant(out, block, record, conditionId, kind);
    }
    int CalculateSpectrum(float out[36], const float *block, int conditionId)
    {
        return m_calculator.CalculateSpectrum(out, block, conditionId);
    }
    int CalculateLabWithOptions(float out[3], const float *block, int conditionId, int illuminantId, int observer)
    {
        return m_calculator.CalculateLabWithOptions(out, block, conditionId, illuminantId, observer);
    }
    int CalculateSpectrumForCondition(float out[36], const float *block, int conditionId)
    {
        return m_calculator.CalculateSpectrumForCondition(out, block, conditionId);
    }
    int StorePaperDensities(const float *paperBlock, const Setting::MeasureConditionSetting &record,
                            const QVector<int> &conditions)
    {
        return m_calculator.StorePaperDensities(paperBlock, record, conditions);
    }

    // The plain function registered with the library.
    static void DeviceEventFunction(int code, int value, void *data, int count);
    int GetLastEvent() const;
    // Events received and not yet handled.
    int QueuedEventCount() const;

private:
    void HandleEvent(int code, int value, int count);
    void ErrorEnding(int code, int message);
    int CaptureStart();
    int CaptureResult(int value, int *message);
    int ReadCapturedImage();
    // The captured sheet's QR text; its status is 0 only for a code of ours.
    int ReadCaptureText(OrloCaptureText *text);
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
    OrloImage CapturedImage();

    COrloSDKHost *m_host;
    int m_connected = 0;
    unsigned char m_stopped = 1;
    unsigned char m_otherComputer = 0;
    int m_registeredChart = 0;
    unsigned char m_registrationMode = 0;
    unsigned char m_layoutCheckPending = 0;
    unsigned char m_restartRequested = 0;
    // The last captured chart image.
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_imageBits = 0;
    std::vector<unsigned char> m_image;
    int m_densityEndPending = 0;
    int m_densityEndRequest = 0;
    unsigned char m_selectBySize = 0;
    int m_deviceCodeChoice = -1;
    // The measure points of the page being measured, in the order the instrument measures them.
    std::vector<OrloMeasurePoint> m_points;
    bool m_swapped = false;
    COrloEventPump m_pump;
    COrloColourCalculator m_calculator;
};
