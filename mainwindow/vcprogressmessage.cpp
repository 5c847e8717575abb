#include "mainwindow/vcprogressmessage.h"

#include "ui_progressmessage.h"

#include "mainwindow/childsingleshot.h"

namespace {

constexpr int kStepMilliseconds = 3000;
constexpr int kStep = 5;
constexpr int kLastStepFrom = 95;

} // namespace

CVCProgressMessage::CVCProgressMessage(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint),
      ui(new Ui::ProgressMessage),
      m_interval(kStepMilliseconds),
      m_stopped(false)
{
    ui->setupUi(this);
    ui->progressBar->setRange(0, 100);
}

CVCProgressMessage::~CVCProgressMessage() = default;

void CVCProgressMessage::Start()
{
    m_stopped = false;
    ArmStep();
}

void CVCProgressMessage::SetMessage(const QString &text)
{
    ui->labelMessage->setText(text);
}

void CVCProgressMessage::Stop()
{
    m_stopped = true;
}

void CVCProgressMessage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ui->progressBar->setValue(0);
    m_stopped = false;
    ArmStep();
}

void CVCProgressMessage::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_stopped = true;
}

void CVCProgressMessage::onTimeout()
{
    if (m_stopped || ui->progressBar->value() >= kLastStepFrom)
        return;
    ui->progressBar->setValue(ui->progressBar->value() + kStep);
    ArmStep();
}

void CVCProgressMessage::ArmStep()
{
    ArmChildSingleShot(this, m_interval, &CVCProgressMessage::onTimeout);
}
