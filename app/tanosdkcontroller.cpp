#include "app/tanosdkcontroller.h"

#include "app/colourhelpers.h"
#include "app/constants.h"
#include "app/illuminantdata.h"

#include "pellAPI.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <vector>

CTanoSDKHost *CTanoSDKController::s_host = nullptr;

namespace {

constexpr int kConnectionProperty = 8;

CTanoSDKController::WarningNotifier &Notifier()
{
    static CTanoSDKController::WarningNotifier notifier;
    return notifier;
}

} // namespace

CTanoSDKController::CTanoSDKController(CTanoSDKHost *host, QObject *parent)
    : QObject(parent), m_timer(new QTimer(this)), m_sleep([](unsigned long ms) { QThread::msleep(ms); })
{
    s_host = host;
    // Single shot, re-armed at the end of each tick: a tick never overlaps the next one.
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CTanoSDKController::waitTimeout);
}

CTanoSDKController::~CTanoSDKController()
{
    if (m_handle != 0)
        CloseDevice();
    m_timer->stop();
    s_host = nullptr;
}

void CTanoSDKController::SetWarningNotifier(WarningNotifier notifier)
{
    Notifier() = std::move(notifier);
}

int CTanoSDKController::KindFromModelCode(int modelCode)
{
    switch (modelCode) {
    case 100:
        return 1; // Brisa
    case 200:
        return 2; // Calen
    case 210:
        return 3; // Calen BT2
    default:
        return 0;
    }
}

bool CTanoSDKController::IsWaiting() const
{
    return m_timer->isActive();
}

void CTanoSDKController::CloseHandle()
{
    ZUCloseDevice(m_handle);
    m_handle = 0;
}

int CTanoSDKController::OpenDevice(int *kind, int *serial)
{
    int result = 0;
    if (m_handle != 0) {
        result = kAlreadyOpen;
    } else {
        int handle = 0;
        if (ZUEnumDevice(&handle) != 0) {
            result = kNoInstrument;
        } else {
            m_handle = handle;
            const int on = 1, off = 0;
            PellDeviceInfo info;
            std::memset(&info, 0, sizeof info);
            if (ZUSetProperty(m_handle, kConnectionProperty, &on) != 0) {
                // Undo the open: a handle left behind would make the next open report success.
                CloseHandle();
                result = kPropertyFailed;
            } else if (ZUGetDevInfo(m_handle, &info) != 0) {
                ZUSetProperty(m_handle, kConnectionProperty, &off);
                CloseHandle();
                result = kInfoFailed;
            } else {
                const int k = KindFromModelCode(info.modelCode);
                if (kind && k != 0)
                    *kind = k;
                if (serial)
                    *serial = info.serial;
            }
        }
    }
    m_measuring = 0;
    m_released = 1;
    m_stopWait = 0;
    return result;
}

int CTanoSDKController::CloseDevice()
{
    int result = 0;
    if (m_handle != 0) {
        const int off = 0;
        ZUSetProperty(m_handle, kConnectionProperty, &off);
        if (ZUCloseDevice(m_handle) != 0)
            result = kCloseFailed;
        m_handle = 0;
        m_sleep(1000);
    }
    if (m_timer->isActive())
        m_timer->stop();
    return result;
}

bool CTanoSDKController::IsDeviceAlive()
{
    int value = 0;
    if (m_handle != 0 && ZUGetProperty(m_handle, kConnectionProperty, &value) != 0)
        CloseDevice();
    return m_handle != 0;
}

int CTanoSDKController::GetModelKind()
{
    if (m_handle == 0)
        return 0;
    PellDeviceInfo info;
    std::memset(&info, 0, sizeof info);
    if (ZUGetDevInfo(m_handle, &info) != 0)
        return 0;
    return KindFromModelCode(info.modelCode);
}

QString CTanoSDKController::GetSerialNumber()
{
    if (m_handle == 0)
        return QString();
    PellDeviceInfo info;
    std::memset(&info, 0, sizeof info);
    if (ZUGetDevInfo(m_handle, &info) != 0)
        return QString();
    return QString::number(info.serial);
}

void CTanoSDKController::StartWaitButton()
{
    // A press counts only after the button was seen up once: one still held from before must not measure.
    m_released = 0;
    m_stopWait = 0;
    // A tick in progress re-arms the timer itself when it ends.
    if (!m_inTick)
        m_timer->start(m_interval);
}

void CTanoSDKController::StopWaitButton()
{
    m_stopWait = 1;
    m_timer->stop();
}

void CTanoSDKController::ApplyProperties(bool scanMode)
{
    const int values[7] = {scanMode ? 1 : 0, 2, 0, 3, 2, 2, 0};
    for (int id = 0; id < 7; ++id)
        ZUSetProperty(m_handle, id, &values[id]);
}

int CTanoSDKController::GetUserIlluminant(EnvironLightData *record)
{
    if (m_handle == 0)
        return kIlluminantNoInstrument;
    float values[PELL_ILLUMINANT_SIZE] = {};
    if (!record || ZUGetUserIlluminant(m_handle, values) != 0)
        return kIlluminantReadFailed;
    std::copy_n(values, PELL_ILLUMINANT_SIZE, record->Values);
    record->Start = 300;
    record->Step = 5;
    record->End = 780;
    record->Date = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    // Light-source kinds know only Brisa, Calen and Lumet: a Calen BT2's spectrum is a Calen's, not a Lumet's.
    const int kind = GetModelKind();
    record->Source = kind == 3 ? 2 : kind;
    return 0;
}

void CTanoSDKController::waitTimeout()
{
    if (m_stopWait) {
        m_stopWait = 0;
        return;
    }
    m_inTick = true;
    m_scanMode = s_host && s_host->GetHandyScanMode() ? 1 : 0;
    ApplyProperties(m_scanMode != 0);
    int scanComplete = 0, held = 0;
    if (ZUGetButtonStatus(m_handle, &scanComplete, &held) == 0) {
        if (m_scanMode == 0) {
            if (!m_released) {
                if (!held)
                    m_released = 1;
            } else if (held) {
                m_released = 0;
                DoMeasurement();
            }
        } else if (scanComplete) {
            m_released = 0;
            DoMeasurement();
        }
    }
    m_inTick = false;
    // Keep polling after a measurement too: the handheld views wait for the next press without asking again.
    if (!m_stopWait && m_handle != 0)
        m_timer->start(m_interval);
}

void CTanoSDKController::DoMeasurement()
{
    if (ZUDoMeasurement(m_handle) != 0)
        return;
    m_measuring = 1;
    const int samples = std::max(0, ZUGetNumSamples(m_handle));
    if (!s_host)
        return;
    // Copied before the first store: the model may replace and free the list while it stores.
    std::vector<TanoSDK_PatchPosition> positions;
    {
        QList<TanoSDK_PatchPosition *> list;
        s_host->GetHandyPatchPositions(list);
        for (const TanoSDK_PatchPosition *p : list)
            positions.push_back(p ? *p : TanoSDK_PatchPosition());
    }
    if (positions.empty())
        return;

    if (m_scanMode == 0) {
        if (samples == 0)
            return;
        if (MeasureSample(0, positions[0], 1, 1))
            emit HandyMeasurementFinished();
        return;
    }

    // A strip scan starts and ends on paper: samples 1 .. n-2 are the patches.
    if (samples < 3)
        return;
    const int patches = std::min(samples - 2, static_cast<int>(positions.size()));
    for (int i = 0; i < patches; ++i) {
        if (!MeasureSample(i + 1, positions[static_cast<size_t>(i)], patches, patches))
            return;
    }
    if (samples - 2 != static_cast<int>(positions.size())) {
        if (Notifier())
            Notifier()(tr("One or more patches could not be measured."));
        return;
    }
    emit HandyMeasurementFinished();
}

bool CTanoSDKController::MeasureSample(int sample, const TanoSDK_PatchPosition &position, int count, int extra)
{
    MeasurementData::PatchData record;
    if (ZUGetPreRadianceFactor(m_handle, sample, record.Values) != 0)
        return false;
    float xyz[3] = {};
    if (ZUGetColor(m_handle, sample, xyz) != 0)
        return false;
    record.Area = position.area;
    record.Row = position.row;
    record.Column = position.column;
    record.ColorFormat = ChartDefinitionData::FormatRGB;
    XyzToPatchColorValues(record.ColorValue, ChartDefinitionData::FormatRGB, xyz,
                          ColorFormatRow(ChartDefinitionData::FormatRGB).paperWhite);
    return s_host && s_host->StoreHandyMeasuredPatch(sample, &position, count, &record, extra) == 0;
}
