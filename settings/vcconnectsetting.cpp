#include "settings/vcconnectsetting.h"

#include "ui_connectsettingdialog.h"

#include "app/model.h"
#include "app/widgets/uipresenter.h"

#include <QDialogButtonBox>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <cstring>

namespace {

// The record's texts are fixed-size byte fields; the text ends at the first NUL, or fills the field.
QString ByteFieldText(const char *bytes, int size, bool dropNuls)
{
    QByteArray raw(bytes, size);
    if (dropNuls)
        raw.replace('\0', QByteArray());
    return QString::fromLocal8Bit(raw);
}

QString ConnectionKindText(const OrloDeviceRecord &device)
{
    return device.Kind == 0 ? QStringLiteral("Ethernet") : QStringLiteral("USB");
}

QRegularExpressionValidator *LengthValidator(const QString &pattern, int maxLength, QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(pattern.arg(maxLength)), parent);
}

} // namespace

CVCConnectSetting::CVCConnectSetting(CModel *model, QWidget *parent, bool report)
    : CVCDialog(parent),
      ui(new Ui::ConnectSettingDialog),
      m_model(model),
      m_report(report)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    Initialize();
}

CVCConnectSetting::~CVCConnectSetting() = default;

void CVCConnectSetting::Initialize()
{
    ui->labelUSB->setText(tr("COM Port Name"));
    ui->editUSB->setMaxLength(32);
    ui->editUSB->setValidator(
        LengthValidator(QStringLiteral("[A-Za-z0-9]{%1}"), ui->editUSB->maxLength(), ui->editUSB));
    ui->editNetworkName->setMaxLength(16);
    ui->editNetworkName->setValidator(
        LengthValidator(QStringLiteral("[A-Za-z0-9-.]{%1}"), ui->editNetworkName->maxLength(), ui->editNetworkName));
    ui->editIPAddress->setInputMask(QStringLiteral("000.000.000.000"));
    ui->editIPAddress->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9 ]{3}\\.[0-9 ]{3}\\.[0-9 ]{3}\\.[0-9 ]{3}")), ui->editIPAddress));
    SetButtonBox();

    connect(ui->radioSelectDevice, &QRadioButton::toggled, ui->treeDeviceList, &QWidget::setEnabled);
    connect(ui->radioSpecifyDevice, &QRadioButton::toggled, ui->radioUSB, &QWidget::setEnabled);
    connect(ui->radioSpecifyDevice, &QRadioButton::toggled, ui->radioEthernet, &QWidget::setEnabled);
    connect(ui->radioUSB, &QRadioButton::toggled, ui->labelUSB, &QWidget::setEnabled);
    connect(ui->radioUSB, &QRadioButton::toggled, ui->editUSB, &QWidget::setEnabled);
    connect(ui->radioEthernet, &QRadioButton::toggled, ui->radioIPAddress, &QWidget::setEnabled);
    connect(ui->radioEthernet, &QRadioButton::toggled, ui->editIPAddress, &QWidget::setEnabled);
    connect(ui->radioEthernet, &QRadioButton::toggled, ui->radioNetwork, &QWidget::setEnabled);
    connect(ui->radioEthernet, &QRadioButton::toggled, ui->editNetworkName, &QWidget::setEnabled);
    connect(ui->editNetworkName, &QLineEdit::textChanged, this, &CVCConnectSetting::onTextChanged);
    connect(ui->editIPAddress, &QLineEdit::textChanged, this, &CVCConnectSetting::onCurrentTextChanged);
    connect(ui->pushConnect, &QPushButton::clicked, this, &CVCConnectSetting::pushConnectClicked);
    connect(ui->radioSpecifyDevice, &QRadioButton::toggled, this, &CVCConnectSetting::setSpecifyDeviceEnabled);
    connect(this, &CVCConnectSetting::setEnabledPushConnect, ui->pushConnect, &QWidget::setEnabled);
}

void CVCConnectSetting::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushConnect, QDialogButtonBox::AcceptRole);
    box->addButton(ui->pushCancel, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    // Moving the buttons into the box put them at the end of the focus chain; the form's order holds.
    setTabOrder(ui->radioIPAddress, ui->pushConnect);
    setTabOrder(ui->pushConnect, ui->pushCancel);
}

int CVCConnectSetting::exec()
{
    UpdateDeviceList();
    ShowConnectSetting();
    return QDialog::exec();
}

void CVCConnectSetting::onTextChanged()
{
    ui->radioNetwork->setChecked(true);
}

void CVCConnectSetting::onCurrentTextChanged()
{
    ui->radioIPAddress->setChecked(true);
}

void CVCConnectSetting::pushConnectClicked()
{
    if (!CheckInput())
        return;
    if (!StoreConnectSetting())
        return;
    emit connectOrlo();
    done(QDialog::Accepted);
}

void CVCConnectSetting::setSpecifyDeviceEnabled(bool on)
{
    if (on)
        emit setEnabledPushConnect(!m_model->IsOrloConnected());
    else if (m_devices.isEmpty())
        emit setEnabledPushConnect(false);
    if (ui->radioUSB->isChecked()) {
        ui->labelUSB->setEnabled(on);
        ui->editUSB->setEnabled(on);
    }
    if (ui->radioEthernet->isChecked()) {
        ui->radioIPAddress->setEnabled(on);
        ui->editIPAddress->setEnabled(on);
        ui->radioNetwork->setEnabled(on);
        ui->editNetworkName->setEnabled(on);
    }
}

bool CVCConnectSetting::UpdateDeviceList()
{
    m_devices.clear();
    if (m_model->GetOrloDeviceList(&m_devices, m_report) != 0)
        return false;
    ui->treeDeviceList->clear();
    for (const OrloDeviceRecord &device : qAsConst(m_devices)) {
        auto *item = new QTreeWidgetItem(ui->treeDeviceList);
        item->setText(0, ByteFieldText(device.Identity, int(sizeof device.Identity), false));
        item->setText(1, ConnectionKindText(device));
        item->setText(2, ByteFieldText(device.Name, int(sizeof device.Name), true));
    }
    if (!m_devices.isEmpty())
        ui->treeDeviceList->setCurrentItem(ui->treeDeviceList->topLevelItem(0));
    return true;
}

void CVCConnectSetting::ShowConnectSetting()
{
    const Setting::ConnectSetting record = *m_model->GetConnectSetting(nullptr);
    if (record.ConnectionKind != 0)
        ui->radioEthernet->setChecked(true);
    ui->editUSB->setText(record.Port);
    if (record.AddressKind != 0)
        ui->radioIPAddress->setChecked(true);
    // The text-change slots pick the addressing radio of the field that was filled.
    ui->editNetworkName->setText(record.NetworkName);
    ui->editIPAddress->setText(record.Address);

    if (!m_devices.isEmpty())
        emit setEnabledPushConnect(!m_model->IsOrloConnected());
    else if (record.SpecifyDevice == 0)
        emit setEnabledPushConnect(false);

    if (record.SpecifyDevice == 1)
        ui->radioSpecifyDevice->setChecked(true);
    setSpecifyDeviceEnabled(record.SpecifyDevice == 1);
}

bool CVCConnectSetting::CheckInput()
{
    if (ui->radioSelectDevice->isChecked())
        return true;
    if (ui->radioUSB->isChecked() && ui->editUSB->text().isEmpty()) {
        CUiPresenter::Current().Warn(this, tr("Please enter COM Port Name."));
        return false;
    }
    if (!ui->radioEthernet->isChecked())
        return true;
    if (!ui->radioIPAddress->isChecked()) {
        if (ui->editNetworkName->text().isEmpty()) {
            CUiPresenter::Current().Warn(this, tr("Please enter Network Name."));
            return false;
        }
        return true;
    }
    const QStringList parts = ui->editIPAddress->text().split(QLatin1Char('.'));
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || value > 255) {
            CUiPresenter::Current().Warn(this, tr("IP Address is 0 - 255"));
            return false;
        }
    }
    return true;
}

bool CVCConnectSetting::StoreConnectSetting()
{
    Setting::ConnectSetting record = *m_model->GetConnectSetting(nullptr);
    record.SpecifyDevice = ui->radioSelectDevice->isChecked() ? 0 : 1;
    if (record.SpecifyDevice == 0) {
        // A search that found rows but left none current gives nothing to store.
        const int row = ui->treeDeviceList->indexOfTopLevelItem(ui->treeDeviceList->currentItem());
        if (row < 0 || row >= m_devices.size())
            return false;
        const OrloDeviceRecord &device = m_devices.at(row);
        record.DeviceName = ByteFieldText(device.Identity, int(sizeof device.Identity), false);
        record.ConnectionKind = device.Kind == 0 ? 1 : 0;
        const QString address = ByteFieldText(device.Name, int(sizeof device.Name), true);
        if (device.Kind == 0) {
            record.AddressKind = 1;
            record.Address = address;
        } else {
            record.Port = address;
        }
    } else {
        record.ConnectionKind = ui->radioUSB->isChecked() ? 0 : 1;
        record.Port = ui->editUSB->text();
        record.AddressKind = ui->radioNetwork->isChecked() ? 0 : 1;
        record.NetworkName = ui->editNetworkName->text();
        record.Address = ui->editIPAddress->text();
    }
    return m_model->SetConnectSetting(record) == 0;
}
