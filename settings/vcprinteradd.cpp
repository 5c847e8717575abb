#include "settings/vcprinteradd.h"

#include "ui_printeradddialog.h"

#include "app/model.h"

#include <QDialogButtonBox>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

enum PrinterInputResult {
    kNameEmpty = 7001,
    kPasswordEmpty = 7002,
    kAddressInvalid = 7003,
    kPortEmpty = 7004,
};

// Every part a decimal number, of any size: the entry must hold whatever address a chart named, and a wrong
// one fails at the upload with its network error.
bool IsDottedNumberList(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        bool ok = false;
        part.toInt(&ok, 10);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

CVCPrinterAdd::CVCPrinterAdd(CModel *model, QWidget *parent)
    : CVCDialog(parent),
      ui(new Ui::PrinterAddDialog),
      m_model(model)
{
    ui->setupUi(this);
    Initialize();
}

CVCPrinterAdd::~CVCPrinterAdd() = default;

void CVCPrinterAdd::Initialize()
{
    SetButtonBox();
    connect(ui->pushOK, &QPushButton::clicked, this, &CVCPrinterAdd::PushOK);
    connect(ui->pushCancel, &QPushButton::clicked, this, &CVCPrinterAdd::PushCancel);
    ui->editPort->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 ]{5}")), ui->editPort));
}

void CVCPrinterAdd::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushOK, QDialogButtonBox::AcceptRole);
    box->addButton(ui->pushCancel, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    setTabOrder(ui->editPort, ui->pushOK);
    setTabOrder(ui->pushOK, ui->pushCancel);
}

void CVCPrinterAdd::SetIPAddress(const QString &address)
{
    ui->editIPAddress->setText(address);
}

void CVCPrinterAdd::GetPrinter(QString *name, QString *password, QString *address, QString *port)
{
    *name = ui->editPrinterName->text();
    *password = ui->editPassword->text();
    *address = ui->editIPAddress->text();
    *port = ui->editPort->text();
    ClearFields();
}

void CVCPrinterAdd::ClearFields()
{
    ui->editPrinterName->setText(QString());
    ui->editPassword->setText(QString());
    ui->editIPAddress->setText(QString());
    ui->editPort->setText(QString());
}

void CVCPrinterAdd::PushOK()
{
    QLineEdit *refused = nullptr;
    int result = 0;
    int message = 0;
    if (ui->editPrinterName->text().isEmpty()) {
        refused = ui->editPrinterName;
        result = kNameEmpty;
        message = 42;
    } else if (ui->editPassword->text().isEmpty()) {
        refused = ui->editPassword;
        result = kPasswordEmpty;
        message = 43;
    } else if (!IsDottedNumberList(ui->editIPAddress->text())) {
        refused = ui->editIPAddress;
        result = kAddressInvalid;
        message = 44;
        ui->editIPAddress->setCursorPosition(0);
    } else if (ui->editPort->text().isEmpty()) {
        refused = ui->editPort;
        result = kPortEmpty;
        message = 45;
    }
    if (refused) {
        m_model->ReportError(result, message, false);
        refused->setFocus(Qt::OtherFocusReason);
        return;
    }
    done(QDialog::Accepted);
}

void CVCPrinterAdd::PushCancel()
{
    ClearFields();
    done(QDialog::Rejected);
}
