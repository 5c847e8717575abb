#include "mainwindow/errormessage.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "app/widgets/uipresenter.h"

#include <QWidget>

namespace {

constexpr int kPrescanFailedMessage = 23;
constexpr int kChartTooLongMessage = 35;
constexpr int kChartTooLongRecognitionError = 6;

} // namespace

void ShowReportedError(QWidget *window, CModel *model, int message)
{
    if (window && window->isVisible() && message >= 0 && message < kMessageCount) {
        const ErrorMessageRecord record = FindMessageRecord(message);
        RecordBox box{record.icon, record.text, QString(), true};
        if (message == kPrescanFailedMessage || message == kChartTooLongMessage) {
            const int code = message == kPrescanFailedMessage && model ? model->GetOrloPremeasurementError()
                                                                       : kChartTooLongRecognitionError;
            const MessageAdviceRecord advice = FindRecognitionErrorRecord(code);
            box.text = advice.message;
            box.informativeText = advice.advice;
        }
        CUiPresenter::Current().ShowRecord(window, box);
    }
    if (model)
        model->AcknowledgeError();
}

void ShowMatchingWarning(QWidget *window, int code)
{
    const MessageAdviceRecord record = FindMatchingWarningRecord(code);
    CUiPresenter::Current().ShowRecord(window, record, MessageIconWarning);
}
