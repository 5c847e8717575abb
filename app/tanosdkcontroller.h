#pragma once
// Drives one handheld instrument (Brisa, Calen, Calen BT2) through libpellAPI: opening and closing, the
// 500 ms button poll, reading the samples of a measurement into the model, and the instrument's light source.

#include "app/tanosdkhost.h"

#include <QObject>
#include <QString>

#include <functional>

class QTimer;
struct EnvironLightData;

class CTanoSDKController : public QObject
{
    Q_OBJECT
public:
    enum Result {
        kAlreadyOpen = 30001,
        kNoInstrument = 30002,
        kCloseFailed = 30003,
        kIlluminantNoInstrument = 30004,
        kIlluminantReadFailed = 30005,
        kPropertyFailed = 30007,
        kInfoFailed = 30008,
    };

    using SleepFunction = std::function<void(unsigned long ms)>;
    using WarningNotifier = std::function<void(const QString &text)>;

    explicit CTanoSDKController(CTanoSDKHost *host, QObject *parent = nullptr);
    ~CTanoSDKController() override;

    int OpenDevice(int *kind, int *serial);
    int CloseDevice();
    bool IsDeviceAlive();
    int GetModelKind();
    QString GetSerialNumber();
    void StartWaitButton();
    void StopWaitButton();
    void ApplyProperties(bool scanMode);
    int GetUserIlluminant(EnvironLightData *record);
    void DoMeasurement();

    bool IsOpen() const { return m_handle != 0; }
    bool IsWaiting() const;

    // The wait after closing (default QThread::msleep) and the warning box, both replaceable.
    void SetSleepFunction(SleepFunction sleep) { m_sleep = std::move(sleep); }
    static void SetWarningNotifier(WarningNotifier notifier);

    static int KindFromModelCode(int modelCode);

signals:
    void HandyMeasurementFinished();

public slots:
    void waitTimeout();

private:
    bool MeasureSample(int sample, const TanoSDK_PatchPosition &position, int count, int extra);
    void CloseHandle();

    int m_handle = 0;
    unsigned char m_measuring = 0;
    QTimer *m_timer = nullptr;
    unsigned char m_scanMode = 0;
    int m_interval = 500;
    unsigned char m_released = 1;
    unsigned char m_stopWait = 0;
    bool m_inTick = false;
    SleepFunction m_sleep;

    static CTanoSDKHost *s_host;
};
