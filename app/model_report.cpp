// The error report: the one road by which a failure reaches the window that shows it.

#include "app/model.h"

#include "app/messagetables.h"
#include "app/orlosdkcontroller.h"

#include <QThread>

#include <atomic>

namespace {

// The message held back while a scan runs; 0 when none.
std::atomic<int> s_parkedMessage{0};

} // namespace

int CModel::ParkedMessage()
{
    return s_parkedMessage.load();
}

void CModel::ReportError(int result, int message, bool force)
{
    if (QThread::currentThread() != thread()) {
        // Windows live on the GUI thread: hand the report over and do not wait for it.
        QMetaObject::invokeMethod(
            this, [this, result, message, force] { ReportError(result, message, force); }, Qt::QueuedConnection);
        return;
    }

    int number = 0;
    if (s_parkedMessage.load() != 0) {
        if (message != 0)
            return;
        number = s_parkedMessage.exchange(0);
    } else {
        if (result == 0)
            return;
        number = message;
    }

    if (!force && m_orlo && !m_orlo->IsMeasurementStopped()) {
        // The instrument reports the end of the run; only then is the message shown. A stop that failed never
        // brings that report, so the message is shown at once instead.
        if (m_orlo->StopMeasurement(false) == 0) {
            s_parkedMessage.store(number);
            return;
        }
    }

    if (m_orloStatus != 2 && m_orloStatus != 3) {
        const int state = m_orlo->GetDeviceState();
        if (state == 1) {
            if (FindMessageRecord(number).flag == 0)
                return;
        } else if (state != 0) {
            return;
        }
    }
    ShowReport(number);
}

void CModel::ShowReport(int message)
{
    switch (m_appStatus) {
    case 0:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 12:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
        emit ErrorMessage(message);
        WaitErrorAcknowledge();
        break;
    case 7:
    case 8:
    case 13:
        emit ErrorMessageDensity(message);
        WaitErrorAcknowledge();
        break;
    default:
        break;
    }
}

void CModel::WaitErrorAcknowledge()
{
    // On the GUI thread the window acknowledged inside the emission or cannot do so at all: waiting there
    // would never end.
    if (QThread::currentThread() != thread()) {
        while (!m_acknowledged.load())
            QThread::msleep(500);
    }
    m_acknowledged.store(false);
}

void CModel::AcknowledgeError()
{
    m_acknowledged.store(true);
}
