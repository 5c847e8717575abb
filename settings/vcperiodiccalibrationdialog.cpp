#include "settings/vcperiodiccalibrationdialog.h"

#include "ui_periodiccalibrationdialog.h"

#include "app/model.h"
#include "settings/settingsclock.h"

#include <QDateTime>
#include <QDialogButtonBox>

namespace {

const QString kReminderTimeFormat = QStringLiteral("yyyy/MM/dd hh:mm:ss");

} // namespace

CVCPeriodicCalibrationDialog::CVCPeriodicCalibrationDialog(CModel *model, QWidget *parent)
    : CVCDialog(parent, Qt::WindowStaysOnTopHint),
      ui(new Ui::PeriodicCalibrationDialog),
      m_model(model)
{
    ui->setupUi(this);
    SetButtonBox();
    connect(ui->pushOK, &QPushButton::clicked, this, &CVCPeriodicCalibrationDialog::pushOKClicked);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CVCPeriodicCalibrationDialog::~CVCPeriodicCalibrationDialog() = default;

void CVCPeriodicCalibrationDialog::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushOK, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    setTabOrder(ui->comboPeriodOfTime, ui->pushOK);
    setTabOrder(ui->pushOK, ui->cancelButton);
}

int CVCPeriodicCalibrationDialog::exec()
{
    // An empty or unreadable stored time is due: comparing an invalid QDateTime would decide nothing.
    const QDateTime next = QDateTime::fromString(m_model->GetNextCalibrationTime(), kReminderTimeFormat);
    if (next.isValid() && SettingsClock::Now() < next)
        return 0;
    return CVCDialog::exec();
}

void CVCPeriodicCalibrationDialog::pushOKClicked()
{
    const int days = ui->comboPeriodOfTime->currentText().toInt(nullptr, 10);
    // addDays keeps the local time of day across a daylight-saving change.
    const QString next = SettingsClock::Now().addDays(days).toString(kReminderTimeFormat);
    // A failed write is reported by the model; the new time stays in memory and the reminder closes anyway.
    m_model->SetNextCalibrationReminder(next);
    done(QDialog::Accepted);
}
