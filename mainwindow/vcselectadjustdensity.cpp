#include "mainwindow/vcselectadjustdensity.h"

#include "ui_selectadjustdensity.h"

#include "app/helpers.h"
#include "app/model.h"

#include <QDialogButtonBox>

CVCSelectAdjustDensity::CVCSelectAdjustDensity(CModel *model, QWidget *parent)
    : CVCDialog(parent), m_model(model), ui(new Ui::SelectAdjustDensity)
{
    ui->setupUi(this);
    ui->groupTemplate->setFont(DefaultUiFont());
    ui->groupInstrument->setFont(DefaultUiFont());
    CreateButtonBox();
    connect(ui->listTemplate, &QListWidget::itemPressed, this, &CVCSelectAdjustDensity::listTemplateItemPressed);
    connect(ui->listTemplate, &QListWidget::currentRowChanged, this,
            &CVCSelectAdjustDensity::listTemplateCurrentRowChanged);
    connect(ui->listInstrument, &QListWidget::itemPressed, this,
            &CVCSelectAdjustDensity::listInstrumentItemPressed);
}

CVCSelectAdjustDensity::~CVCSelectAdjustDensity() = default;

void CVCSelectAdjustDensity::CreateButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->okButton, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
}

int CVCSelectAdjustDensity::exec()
{
    ui->listTemplate->clear();
    ui->listTemplate->addItems(m_model->GetTemplateList());
    ui->listTemplate->setCurrentRow(0);
    return CVCDialog::exec();
}

void CVCSelectAdjustDensity::listTemplateCurrentRowChanged(int currentRow)
{
    ui->listInstrument->clear();
    const QStringList names = m_model->GetInstrumentNames();
    if (names.isEmpty())
        return;
    // A number the installation gives no name cannot be offered; OK needs at least one offered instrument.
    bool added = false;
    for (int number : m_model->GetTemplateNumberList(currentRow)) {
        if (number < 0 || number >= names.size())
            continue;
        auto *item = new QListWidgetItem(names.at(number), ui->listInstrument);
        item->setData(Qt::UserRole, number);
        added = true;
    }
    ui->okButton->setEnabled(added);
    ui->listInstrument->setCurrentRow(0);
}

void CVCSelectAdjustDensity::listTemplateItemPressed()
{
    ui->listTemplate->setCurrentRow(ui->listTemplate->currentRow());
}

void CVCSelectAdjustDensity::listInstrumentItemPressed()
{
    ui->listInstrument->setCurrentRow(ui->listInstrument->currentRow());
}

int CVCSelectAdjustDensity::GetTemplateRow() const
{
    return ui->listTemplate->currentRow();
}

int CVCSelectAdjustDensity::GetInstrumentNumber() const
{
    const QListWidgetItem *item = ui->listInstrument->currentItem();
    if (!item)
        return -1;
    bool ok = false;
    const int number = item->data(Qt::UserRole).toInt(&ok);
    return ok ? number : -1;
}

QString CVCSelectAdjustDensity::GetSelectionTitle() const
{
    const QListWidgetItem *templateItem = ui->listTemplate->currentItem();
    const QListWidgetItem *instrumentItem = ui->listInstrument->currentItem();
    return (templateItem ? templateItem->text() : QString()) + QStringLiteral(" : ") +
           (instrumentItem ? instrumentItem->text() : QString());
}
