#include "settings/vcinstrumenttolerancesetting.h"

#include "ui_instrumenttolerancesettingdialog.h"

#include "app/constants.h"
#include "app/helpers.h"
#include "app/model.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidgetItem>

#include <algorithm>
#include <cmath>

namespace {

enum ToleranceInputResult {
    kToleranceNotPositive = 5002,
    kNoKindChecked = 5003,
};

constexpr int kRowCount = 1 + kDefaultToleranceRowCount;
constexpr int kFirstValueColumn = 2;
constexpr int kColumnCount = kFirstValueColumn + kTolerancePairCount;
constexpr int kCheckColumnWidth = 20;
constexpr int kColumnWidth = 60;
constexpr int kHeaderRowHeight = 50;
constexpr int kRowHeight = 25;

// A label cell: shown, never selected or edited.
QTableWidgetItem *LabelItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

// What the table takes beside its cells: a hidden header takes nothing.
int HeaderWidth(const QHeaderView *header)
{
    return header->isHidden() ? 0 : header->sizeHint().width();
}

int HeaderHeight(const QHeaderView *header)
{
    return header->isHidden() ? 0 : header->sizeHint().height();
}

} // namespace

CVCInstrumentToleranceSetting::CVCInstrumentToleranceSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent),
      ui(new Ui::InstrumentToleranceSettingDialog),
      m_model(model)
{
    ui->setupUi(this);
    Initialize();
}

CVCInstrumentToleranceSetting::~CVCInstrumentToleranceSetting() = default;

void CVCInstrumentToleranceSetting::Initialize()
{
    SetButtonBox();
    connect(ui->pushOK, &QPushButton::clicked, this, &CVCInstrumentToleranceSetting::pushOKClicked);
    connect(ui->pushSetDefaultValue, &QPushButton::clicked, this,
            &CVCInstrumentToleranceSetting::pushSetDefaultValueClicked);
}

void CVCInstrumentToleranceSetting::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushOK, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    setTabOrder(ui->pushSetDefaultValue, ui->pushOK);
    setTabOrder(ui->pushOK, ui->cancelButton);
}

void CVCInstrumentToleranceSetting::SetDefaultsFolder(const QString &folder)
{
    m_defaultsFolder = folder;
}

int CVCInstrumentToleranceSetting::exec()
{
    // A store short of five rows (an older or edited file) leaves the missing kinds unchecked and empty, so
    // OK asks for their values instead of storing zeros.
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        ToleranceRecord &record = m_records[k];
        record.Kind = Qt::Unchecked;
        record.RowIndex = k;
        record.PairCount = kTolerancePairCount;
        for (int t = 0; t < kTolerancePairCount; ++t)
            record.Pairs[t] = {t, 0.0f};
    }
    unsigned int count = 0;
    const ToleranceRecord *stored = nullptr;
    m_model->GetToleranceValues(&count, &stored);
    if (stored)
        std::copy(stored, stored + std::min<unsigned int>(count, kDefaultToleranceRowCount), m_records);

    BuildTable();
    FillTable();
    return CVCDialog::exec();
}

void CVCInstrumentToleranceSetting::BuildTable()
{
    QTableWidget *table = ui->tableTolerance;
    table->clear();
    table->clearSpans();
    table->setRowCount(kRowCount);
    table->setColumnCount(kColumnCount);

    // The style's minimum section is wider than the check box column.
    table->horizontalHeader()->setMinimumSectionSize(kCheckColumnWidth);
    int width = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        table->setColumnWidth(c, c == 0 ? kCheckColumnWidth : kColumnWidth);
        width += table->columnWidth(c);
    }
    int height = 0;
    for (int r = 0; r < kRowCount; ++r) {
        table->setRowHeight(r, r == 0 ? kHeaderRowHeight : kRowHeight);
        height += table->rowHeight(r);
    }
    const QSize size(width + HeaderWidth(table->verticalHeader()) + 4,
                     height + HeaderHeight(table->horizontalHeader()) + 4);
    table->setMinimumSize(size);
    table->setMaximumSize(size);

    table->setItem(0, 0, LabelItem(tr("Difference")));
    table->setSpan(0, 0, 1, 2);
    for (int t = 0; t < kTolerancePairCount; ++t) {
        QTableWidgetItem *item = LabelItem(TileName(t));
        item->setTextAlignment(Qt::AlignCenter);
        item->setForeground(TileTextColor(t));
        item->setBackground(TileBackgroundColor(t));
        table->setItem(0, kFirstValueColumn + t, item);
    }
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        auto *check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        check->setCheckState(Qt::Unchecked);
        table->setItem(1 + k, 0, check);
        QTableWidgetItem *name = LabelItem(ColorDifferenceName(k));
        name->setTextAlignment(Qt::AlignCenter);
        table->setItem(1 + k, 1, name);
        for (int t = 0; t < kTolerancePairCount; ++t) {
            auto *value = new QTableWidgetItem;
            value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(1 + k, kFirstValueColumn + t, value);
        }
    }
}

void CVCInstrumentToleranceSetting::FillTable()
{
    QTableWidget *table = ui->tableTolerance;
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        const ToleranceRecord &record = m_records[k];
        table->item(1 + k, 0)->setCheckState(record.Kind == Qt::Checked ? Qt::Checked : Qt::Unchecked);
        for (int t = 0; t < kTolerancePairCount; ++t)
            table->item(1 + k, kFirstValueColumn + t)->setText(QString::number(record.Pairs[t].Tolerance, 'f', 2));
    }
}

bool CVCInstrumentToleranceSetting::CheckTable()
{
    const QTableWidget *table = ui->tableTolerance;
    bool anyChecked = false;
    for (int k = 0; k < kDefaultToleranceRowCount && !anyChecked; ++k)
        anyChecked = table->item(1 + k, 0)->checkState() == Qt::Checked;
    if (!anyChecked) {
        m_model->ReportError(kNoKindChecked, 38, false);
        return false;
    }
    // Unchecked rows too: a kind switched on later must not judge against a value nobody checked.
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        for (int t = 0; t < kTolerancePairCount; ++t) {
            bool ok = false;
            const float value = table->item(1 + k, kFirstValueColumn + t)->text().toFloat(&ok);
            // The C locale reads "nan" and "inf" as numbers; neither is a tolerance.
            if (!ok || !std::isfinite(value) || !(value > 0.0f)) {
                m_model->ReportError(kToleranceNotPositive, 37, false);
                return false;
            }
        }
    }
    return true;
}

void CVCInstrumentToleranceSetting::ReadBackTable()
{
    const QTableWidget *table = ui->tableTolerance;
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        ToleranceRecord &record = m_records[k];
        record.Kind = table->item(1 + k, 0)->checkState();
        for (int t = 0; t < kTolerancePairCount; ++t)
            record.Pairs[t].Tolerance = table->item(1 + k, kFirstValueColumn + t)->text().toFloat();
    }
}

void CVCInstrumentToleranceSetting::pushOKClicked()
{
    if (!CheckTable())
        return;
    ReadBackTable();
    // The store keeps the rows even when its file cannot be written: say so once, then close as usual.
    const int saved = m_model->SetToleranceValues(kDefaultToleranceRowCount, m_records);
    if (saved != 0)
        m_model->ReportError(saved, 2, false);
    done(QDialog::Accepted);
}

void CVCInstrumentToleranceSetting::pushSetDefaultValueClicked()
{
    ReadToleranceDefaultSetting(m_records, m_defaultsFolder);
    FillTable();
}
