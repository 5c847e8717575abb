#include "settings/vcnetworksetting.h"

#include "ui_networksettingdialog.h"

#include "app/helpers.h"
#include "app/instrumentrecords.h"
#include "app/model.h"
#include "app/widgets/uipresenter.h"

#include <QDialogButtonBox>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

CVCNetworkSetting::CVCNetworkSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent),
      ui(new Ui::NetworkSettingDialog),
      m_model(model)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    Initialize();
}

CVCNetworkSetting::~CVCNetworkSetting() = default;

void CVCNetworkSetting::Initialize()
{
    ui->groupNetworkName->setFont(DefaultUiFont());
    ui->groupUse->setFont(DefaultUiFont());
    ui->editNetworkName->setMaxLength(16);
    ui->editNetworkName->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[A-Za-z0-9-.]{%1}").arg(ui->editNetworkName->maxLength())),
        ui->editNetworkName));
    const QRegularExpression address(QStringLiteral("[0-9 ]{3}\\.[0-9 ]{3}\\.[0-9 ]{3}\\.[0-9 ]{3}"));
    for (QLineEdit *edit : {ui->editIPAddress, ui->editSubnetMask, ui->editDefaultGateway})
        edit->setValidator(new QRegularExpressionValidator(address, edit));
    SetButtonBox();

    connect(ui->radioUse, &QRadioButton::toggled, ui->groupUse, &QWidget::setEnabled);
    connect(ui->pushOK, &QPushButton::clicked, this, &CVCNetworkSetting::pushOKClicked);
}

void CVCNetworkSetting::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushOK, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    // Moving the buttons into the box put them at the end of the focus chain; the form's order holds.
    setTabOrder(ui->editDefaultGateway, ui->pushOK);
    setTabOrder(ui->pushOK, ui->cancelButton);
}

int CVCNetworkSetting::exec()
{
    if (!ShowNetworkSetting())
        return QDialog::Rejected;
    return QDialog::exec();
}

bool CVCNetworkSetting::ShowNetworkSetting()
{
    OrloNetworkSetting setting;
    if (m_model->GetOrloNetworkSetting(&setting) != 0)
        return false;
    ui->editNetworkName->setText(setting.Name);
    // The record's second field is the fixed-address flag: non-zero means the three addresses below are used.
    if (setting.Dhcp != 0)
        ui->radioUse->setChecked(true);
    ui->editIPAddress->setText(setting.Address);
    ui->editSubnetMask->setText(setting.Mask);
    ui->editDefaultGateway->setText(setting.Gateway);
    return true;
}

bool CVCNetworkSetting::CheckNetworkName()
{
    const QString name = ui->editNetworkName->text();
    if (name.isEmpty()) {
        CUiPresenter::Current().Warn(this, tr("Network name is not entered."));
        return false;
    }
    const QRegularExpression numeric(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9.]{1,%1}").arg(ui->editNetworkName->maxLength())));
    if (numeric.match(name).hasMatch()) {
        CUiPresenter::Current().Warn(this, tr("Invalid character is contained in network name. "));
        return false;
    }
    return true;
}

bool CVCNetworkSetting::CheckAddresses()
{
    // A fixed address outside 0-255 would make the instrument unreachable; automatic mode writes them back as read.
    if (ui->radioAuto->isChecked())
        return true;
    for (QLineEdit *edit : {ui->editIPAddress, ui->editSubnetMask, ui->editDefaultGateway}) {
        const QStringList parts = edit->text().split(QLatin1Char('.'));
        for (const QString &part : parts) {
            bool ok = false;
            const int value = part.toInt(&ok, 10);
            if (!ok || value > 255) {
                CUiPresenter::Current().Warn(this, tr("IP Address is 0 - 255"));
                edit->setFocus(Qt::OtherFocusReason);
                return false;
            }
        }
    }
    return true;
}

void CVCNetworkSetting::pushOKClicked()
{
    if (!CheckNetworkName() || !CheckAddresses())
        return;
    bool changed = false;
    if (!ApplyNetworkSetting(&changed))
        return;
    if (changed)
        CUiPresenter::Current().Inform(this, tr("Please reboot Orlo."));
    done(QDialog::Accepted);
}

bool CVCNetworkSetting::ApplyNetworkSetting(bool *changed)
{
    OrloNetworkSetting setting;
    if (m_model->GetOrloNetworkSetting(&setting) != 0)
        return false;
    const auto take = [changed](auto *stored, const auto &shown) {
        if (*stored != shown) {
            *stored = shown;
            *changed = true;
        }
    };
    take(&setting.Name, ui->editNetworkName->text());
    take(&setting.Dhcp, ui->radioAuto->isChecked() ? 0 : 1);
    take(&setting.Address, ui->editIPAddress->text());
    take(&setting.Mask, ui->editSubnetMask->text());
    take(&setting.Gateway, ui->editDefaultGateway->text());
    if (!*changed)
        return true;
    return m_model->SetOrloNetworkSetting(setting) == 0;
}
