#include "mainwindow/errormessage.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "mainwindow/messagepresenter.h"

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
        MessageBoxContent content;
        content.icon = record.icon;
        content.text = record.text;
        if (message == kPrescanFailedMessage || message == kChartTooLongMessage) {
            const int code = message == kPrescanFailedMessage && model ? model->GetOrloPremeasurementError()
                                                                       : kChartTooLongRecognitionError;
            const MessageAdviceRecord advice = FindRecognitionErrorRecord(code);
            content.text = advice.message;
            content.informativeText = advice.advice;
        }
        PresentMessage(window, content);
    }
    if (model)
        model->AcknowledgeError();
}

void ShowMatchingWarning(QWidget *window, int code)
{
    const MessageAdviceRecord record = FindMatchingWarningRecord(code);
    MessageBoxContent content;
    content.icon = MessageIconWarning;
    content.text = record.message;
    content.informativeText = record.advice;
    PresentMessage(window, content);
}
