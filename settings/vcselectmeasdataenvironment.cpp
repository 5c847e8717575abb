#include "settings/vcselectmeasdataenvironment.h"

#include "ui_selectmeasdataenvironmentdialog.h"

#include "app/model.h"
#include "app/settingrecords.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QTableWidgetItem>

namespace {

// Message numbers of the refusals.
constexpr int kMessageEnterGroup = 55;
constexpr int kMessageUnusableCharacter = 47;
constexpr int kMessageSameGroup = 48;

} // namespace

CVCSelectMeasDataEnvironment::CVCSelectMeasDataEnvironment(CModel *model, QWidget *parent)
    : CVCDialog(parent, Qt::WindowFlags()), ui(new Ui::SelectMeasDataEnvironmentDialog), m_model(model)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/CVaremo/Resource/Varemo.ico")));

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(ui->pushOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(buttons);

    connect(ui->pushAdd, &QPushButton::clicked, this, &CVCSelectMeasDataEnvironment::pushAddClicked);
    connect(ui->pushOK, &QPushButton::clicked, this, &CVCSelectMeasDataEnvironment::pushOKClicked);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CVCSelectMeasDataEnvironment::~CVCSelectMeasDataEnvironment() = default;

void CVCSelectMeasDataEnvironment::SetGroupNames(const QStringList &names)
{
    m_groupNames = names;
}

void CVCSelectMeasDataEnvironment::SetSelectedName(const QString &name)
{
    m_selectedName = name;
}

int CVCSelectMeasDataEnvironment::exec()
{
    fillTable();
    ui->pushOK->setEnabled(ui->tableDataGroup->rowCount() > 0);
    return QDialog::exec();
}

void CVCSelectMeasDataEnvironment::fillTable()
{
    ui->tableDataGroup->clearContents();
    ui->tableDataGroup->setRowCount(m_groupNames.size());
    for (int i = 0; i < m_groupNames.size(); ++i) {
        ui->tableDataGroup->setItem(i, 0, new QTableWidgetItem(m_groupNames.at(i)));
        if (m_groupNames.at(i) == m_selectedName)
            ui->tableDataGroup->setCurrentCell(i, 0);
    }
}

int CVCSelectMeasDataEnvironment::checkName(const QString &name, const QStringList &before)
{
    int result = 0;
    int message = 0;
    if (name.isEmpty()) {
        result = kNameEmpty;
        message = kMessageEnterGroup;
    } else if (!IsUsableDataGroupName(name)) {
        result = kNameUnusable;
        message = kMessageUnusableCharacter;
    } else if (before.contains(name, Qt::CaseSensitive)) {
        result = kNameDuplicate;
        message = kMessageSameGroup;
    }
    if (result != 0)
        m_model->ReportError(result, message, false);
    return result;
}

void CVCSelectMeasDataEnvironment::pushAddClicked()
{
    QStringList names;
    for (int row = 0; row < ui->tableDataGroup->rowCount(); ++row) {
        const QTableWidgetItem *item = ui->tableDataGroup->item(row, 0);
        names << (item ? item->text() : QString());
    }
    const QString name = ui->editDataGroup->text();
    if (checkName(name, names) != 0)
        return;
    const int row = ui->tableDataGroup->rowCount();
    ui->tableDataGroup->setRowCount(row + 1);
    ui->tableDataGroup->setItem(row, 0, new QTableWidgetItem(name));
    ui->tableDataGroup->setCurrentCell(row, 0);
    ui->editDataGroup->clear();
    ui->pushOK->setEnabled(true);
}

void CVCSelectMeasDataEnvironment::pushOKClicked()
{
    // Cells edited in place get the same checks as Add, each against the rows above it.
    QStringList names;
    for (int row = 0; row < ui->tableDataGroup->rowCount(); ++row) {
        const QTableWidgetItem *item = ui->tableDataGroup->item(row, 0);
        const QString name = item ? item->text() : QString();
        if (checkName(name, names) != 0) {
            ui->tableDataGroup->setCurrentCell(row, 0);
            return;
        }
        names << name;
    }
    m_groupNames = names;
    const int current = ui->tableDataGroup->currentRow();
    if (current >= 0 && current < names.size())
        m_selectedName = names.at(current);
    done(Accepted);
}
