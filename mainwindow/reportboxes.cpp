#include "mainwindow/reportboxes.h"

#include "app/messagetables.h"
#include "app/model.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

constexpr int kPrescanFailedMessage = 23;
constexpr int kChartTooLongMessage = 35;
constexpr int kChartTooLongRecognitionError = 6;

} // namespace

RecordBox ReportedErrorBox(CModel *model, int message)
{
    const ErrorMessageRecord record = FindMessageRecord(message);
    RecordBox box{record.icon, record.text, QString(), true};
    if (message == kPrescanFailedMessage || message == kChartTooLongMessage) {
        const int code = message == kPrescanFailedMessage && model ? model->GetOrloPremeasurementError()
                                                                   : kChartTooLongRecognitionError;
        const MessageAdviceRecord advice = FindRecognitionErrorRecord(code);
        box.text = advice.message;
        box.informativeText = advice.advice;
    }
    return box;
}

bool RunMatchingWarning(QWidget *parent, CModel *model, int code)
{
    const MessageAdviceRecord record = FindMatchingWarningRecord(code);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(record.message);
    box.setInformativeText(record.advice);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.button(QMessageBox::Ok)->setText(QCoreApplication::translate("QObject", "Measurement"));
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    const int answer = CUiPresenter::Current().Exec(&box);
    if (answer == QMessageBox::Ok) {
        const ChartDefinitionDataSheets *chart = model->GetChartDefinition();
        const Setting::UserEnvironment *environment = model->GetUserEnvironment();
        return model->StartOrloMeasurement(chart ? chart->Diameter : 0, environment && environment->PositionGap) ==
               0;
    }
    if (answer == QMessageBox::Cancel)
        model->StopMeasurementOrlo(false);
    return false;
}
