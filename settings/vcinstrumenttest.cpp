#include "settings/vcinstrumenttest.h"

#include "ui_instrumenttestdialog.h"

#include "app/helpers.h"
#include "app/model.h"
#include "app/storeconventions.h"
#include "app/widgets/uipresenter.h"
#include "settings/diagnosisresult.h"
#include "settings/settingsclock.h"
#include "settings/vcinstrumentstandardvaluesetting.h"
#include "settings/vcinstrumenttilemeasurement.h"
#include "settings/vcinstrumenttolerancesetting.h"

#include <QHeaderView>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>

namespace {


// Result table rows: a tile header row, then three or five value rows, for the test, the standard and the
// differences.
constexpr int kTestRow = 0;
constexpr int kStandardRow = 4;
constexpr int kDifferenceRow = 8;
constexpr int kResultRows = 14;
constexpr int kResultColumns = 1 + kTileCount;

QTableWidgetItem *CentredItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

void SetNumber(QTableWidget *table, int row, int column, float value)
{
    QTableWidgetItem *item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(QString::number(double(value), 'f', 2));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void CommonTableSetUp(QTableWidget *table)
{
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setHighlightSections(false);
    table->verticalHeader()->setHighlightSections(false);
}

int HeaderHeight(const QTableWidget *table)
{
    return table->horizontalHeader()->isHidden() ? 0 : table->horizontalHeader()->sizeHint().height();
}

int HeaderWidth(const QTableWidget *table)
{
    const QHeaderView *header = table->verticalHeader();
    return header->isHidden() ? 0 : std::max(header->minimumWidth(), header->sizeHint().width());
}

// A table as large as its rows and columns: no scrolling, no spare space.
void FixToContents(QTableWidget *table)
{
    int width = HeaderWidth(table) + 4;
    for (int c = 0; c < table->columnCount(); ++c)
        width += table->columnWidth(c);
    int height = HeaderHeight(table) + 4;
    for (int r = 0; r < table->rowCount(); ++r)
        height += table->rowHeight(r);
    table->setFixedSize(width, height);
}

} // namespace

CVCInstrumentTest::CVCInstrumentTest(CModel *model, QWidget *parent)
    : CVCDialog(parent, Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
      ui(new Ui::InstrumentTestDialog),
      m_model(model)
{
    ui->setupUi(this);
    m_tileMeasurement = new CVCInstrumentTileMeasurement(model, this);
    m_standardValueSetting = new CVCInstrumentStandardValueSetting(model, this);
    m_toleranceSetting = new CVCInstrumentToleranceSetting(model, this);

    CommonTableSetUp(ui->tableVerificationHistory);
    ui->tableVerificationHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableVerificationHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableVerificationHistory->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QTableWidget *table :
         {ui->tableVerificationInfo, ui->tableVerificationJudgement, ui->tableVerificationResult}) {
        CommonTableSetUp(table);
        table->setSelectionMode(QAbstractItemView::NoSelection);
        table->horizontalHeader()->hide();
    }
    ui->tableVerificationResult->verticalHeader()->hide();
    ui->tableVerificationResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui->tableVerificationResult->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);

    connect(ui->pushStandardValueSetting, &QPushButton::clicked, this,
            &CVCInstrumentTest::pushStandardValueSettingClicked);
    connect(ui->pushToleranceSetting, &QPushButton::clicked, this, &CVCInstrumentTest::pushToleranceSettingClicked);
    connect(ui->pushResultExport, &QPushButton::clicked, this, &CVCInstrumentTest::pushResultExportClicked);
    connect(ui->pushInspection, &QPushButton::clicked, this, &CVCInstrumentTest::pushInspectionClicked);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->tableVerificationHistory, &QTableWidget::currentCellChanged, this,
            &CVCInstrumentTest::tableVerificationHistoryCurrentCellChanged);
    SetUpTables();
}

CVCInstrumentTest::~CVCInstrumentTest() = default;

void CVCInstrumentTest::SetDefaultsFolder(const QString &folder)
{
    m_defaultsFolder = folder;
    m_toleranceSetting->SetDefaultsFolder(folder);
}

void CVCInstrumentTest::done(int result)
{
    emit closeInstrumentTest();
    QDialog::done(result);
}

int CVCInstrumentTest::exec()
{
    SetUpTables();
    ui->pushResultExport->setEnabled(false);
    ui->pushInspection->setFocus();

    ReadToleranceValues();
    if (!TolerancesComplete()) {
        ReadToleranceDefaultSetting(m_workingTolerances, m_defaultsFolder);
        const int stored = m_model->SetToleranceValues(kColourDifferenceKindCount, m_workingTolerances);
        if (stored != 0)
            m_model->ReportError(stored, 2, false);
        ReadToleranceValues();
    }
    ReadStandardValues();
    ShowStandardValues();
    LoadHistory();
    // Judging needs all 14 standard values and all five tolerance rows.
    ui->pushInspection->setEnabled(StandardsComplete() && TolerancesComplete());
    return QDialog::exec();
}

void CVCInstrumentTest::pushStandardValueSettingClicked()
{
    m_model->SetAppStatus(CModel::StatusStandardValues);
    if (CUiPresenter::Current().Exec(m_standardValueSetting) == 1) {
        ReadStandardValues();
        if (m_history.empty())
            ShowStandardValues();
        ui->pushInspection->setEnabled(StandardsComplete() && TolerancesComplete());
    }
    m_model->SetAppStatus(CModel::StatusInstrumentTest);
}

void CVCInstrumentTest::pushToleranceSettingClicked()
{
    m_model->SetAppStatus(CModel::StatusTolerances);
    if (CUiPresenter::Current().Exec(m_toleranceSetting) == 1) {
        ReadToleranceValues();
        ui->pushInspection->setEnabled(StandardsComplete() && TolerancesComplete());
    }
    m_model->SetAppStatus(CModel::StatusInstrumentTest);
}

void CVCInstrumentTest::pushResultExportClicked()
{
    const int row = ui->tableVerificationHistory->currentRow();
    if (row >= 0)
        ExportResult(row);
}

void CVCInstrumentTest::pushInspectionClicked()
{
    if (!StandardsComplete() || !TolerancesComplete())
        return;
    m_model->SetAppStatus(CModel::StatusTileMeasurement);
    if (CUiPresenter::Current().Exec(m_tileMeasurement) == 0) {
        m_model->SetAppStatus(CModel::StatusInstrumentTest);
        return;
    }
    std::copy(m_tileMeasurement->GetTileResults(), m_tileMeasurement->GetTileResults() + kTileCount, m_results);
    const int judgement = DiagnosisResult::Evaluate(m_results, m_standards.data(), m_tolerances.data());
    AddHistoryEntry(judgement);
    ShowEntry(int(m_history.size()) - 1);
    ui->pushResultExport->setEnabled(true);
    m_model->SetAppStatus(CModel::StatusInstrumentTest);
    const int saved = SaveHistory();
    if (saved != 0)
        m_model->ReportError(saved, 2, false);
}

void CVCInstrumentTest::tableVerificationHistoryCurrentCellChanged(int currentRow, int, int, int)
{
    ShowEntry(currentRow);
}

int CVCInstrumentTest::ExportResult(int row)
{
    if (row < 0 || row >= int(m_history.size()))
        return 0;
    const DiagnoseHistoryRecord &entry = m_history[size_t(row)];
    const QByteArray bytes = DiagnosisResult::ReportBytes(entry, m_model->GetUserIlluminants());
    const QString folder = FileDialogFolder(m_model->GetLastFolder());
    const QString path =
        CUiPresenter::Current().SaveFileName(this, tr("Save"), folder + QLatin1Char('/') +
                                                                    DiagnosisResult::ReportFileName(entry),
                                             QStringLiteral("csv File (*.csv)"));
    if (path.isEmpty())
        return 0;
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    m_model->SetLastFolder(path.left(path.lastIndexOf(QLatin1Char('/'))));
    if (!written) {
        m_model->ReportError(kFileError, 2, false);
        return kFileError;
    }
    return 0;
}

void CVCInstrumentTest::SetUpTables()
{
    SetUpHistoryTable();
    SetUpInfoTables();
    SetUpResultTable();
}

void CVCInstrumentTest::SetUpHistoryTable()
{
    QTableWidget *table = ui->tableVerificationHistory;
    table->clear();
    table->setRowCount(0);
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({tr("Serial No"), tr("Date"), tr("Judgement")});
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[] = {80, 110, 75};
    for (int c = 0; c < 3; ++c)
        table->setColumnWidth(c, widths[c]);
    table->setFixedWidth(36 + widths[0] + widths[1] + widths[2] + style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void CVCInstrumentTest::SetUpInfoTables()
{
    QTableWidget *info = ui->tableVerificationInfo;
    info->clear();
    info->setColumnCount(1);
    info->setRowCount(5);
    info->setColumnWidth(0, 150);
    info->setVerticalHeaderLabels(
        {tr("Serial No"), tr("Date"), tr("Meas. Condition"), tr("Observer"), tr("Illuminant")});
    info->verticalHeader()->setMinimumWidth(105);
    for (int r = 0; r < 5; ++r) {
        info->setRowHeight(r, 25);
        info->setItem(r, 0, CentredItem(QString()));
    }
    FixToContents(info);

    QTableWidget *judgement = ui->tableVerificationJudgement;
    judgement->clear();
    judgement->setColumnCount(1);
    judgement->setRowCount(1);
    judgement->setColumnWidth(0, 90);
    judgement->setRowHeight(0, 25);
    judgement->setVerticalHeaderLabels({tr("Judgement")});
    judgement->verticalHeader()->setMinimumWidth(75);
    judgement->setItem(0, 0, CentredItem(QString()));
    FixToContents(judgement);
}

void CVCInstrumentTest::SetUpResultTable()
{
    QTableWidget *table = ui->tableVerificationResult;
    table->clear();
    table->setColumnCount(kResultColumns);
    table->setRowCount(kResultRows);
    for (int r = 0; r < kResultRows; ++r) {
        for (int c = 0; c < kResultColumns; ++c)
            table->setItem(r, c, new QTableWidgetItem);
    }
    table->setColumnWidth(0, 80);
    for (int c = 1; c < kResultColumns; ++c)
        table->setColumnWidth(c, 60);
    int height = HeaderHeight(table) + 4 + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int r = 0; r < kResultRows; ++r) {
        const bool header = r == kTestRow || r == kStandardRow || r == kDifferenceRow;
        table->setRowHeight(r, header ? 50 : 25);
        height += table->rowHeight(r);
    }
    table->setFixedHeight(height);
    int width = HeaderWidth(table) + 4;
    for (int c = 0; c < kResultColumns; ++c) {
        width += table->columnWidth(c);
        if (c == 10)
            table->setMinimumWidth(width);
    }
    table->setMaximumWidth(width);

    table->item(kTestRow, 0)->setText(tr("Test"));
    table->item(kStandardRow, 0)->setText(tr("Standard"));
    table->item(kDifferenceRow, 0)->setText(tr("Difference"));
    for (int i = 0; i < 3; ++i) {
        for (int base : {kTestRow, kStandardRow}) {
            QTableWidgetItem *item = table->item(base + 1 + i, 0);
            item->setText(LabComponentName(i));
            item->setTextAlignment(Qt::AlignCenter);
        }
    }
    for (int k = 0; k < kColourDifferenceKindCount; ++k) {
        QTableWidgetItem *item = table->item(kDifferenceRow + 1 + k, 0);
        item->setText(ColorDifferenceName(k));
        item->setTextAlignment(Qt::AlignCenter);
    }
    for (int base : {kTestRow, kStandardRow, kDifferenceRow}) {
        for (int tile = 0; tile < kTileCount; ++tile) {
            QTableWidgetItem *item = table->item(base, 1 + tile);
            item->setText(TileName(tile));
            item->setTextAlignment(Qt::AlignCenter);
            item->setForeground(TileTextColor(tile));
            item->setBackground(TileBackgroundColor(tile));
        }
    }
}

void CVCInstrumentTest::ReadStandardValues()
{
    unsigned int count = 0;
    const StandardValueRecord *records = nullptr;
    m_model->GetStandardValues(&count, &records);
    m_standards.assign(records, records ? records + count : records);
}

void CVCInstrumentTest::ReadToleranceValues()
{
    unsigned int count = 0;
    const ToleranceRecord *records = nullptr;
    m_model->GetToleranceValues(&count, &records);
    m_tolerances.assign(records, records ? records + count : records);
}

bool CVCInstrumentTest::StandardsComplete() const
{
    return m_standards.size() >= size_t(kTileCount);
}

bool CVCInstrumentTest::TolerancesComplete() const
{
    return m_tolerances.size() >= size_t(kColourDifferenceKindCount);
}

void CVCInstrumentTest::ShowStandardValues()
{
    if (!StandardsComplete())
        return;
    for (int j = 0; j < kTileCount; ++j) {
        for (int i = 0; i < 3; ++i)
            SetNumber(ui->tableVerificationResult, kStandardRow + 1 + i, 1 + j, m_standards[size_t(j)].Lab[i]);
    }
}

void CVCInstrumentTest::LoadHistory()
{
    unsigned int count = 0;
    const DiagnoseHistoryRecord *records = nullptr;
    m_model->GetDiagnoseHistory(&count, &records);
    m_history.assign(records, records ? records + count : records);
    if (!m_history.empty()) {
        FillHistoryTable();
        ui->pushResultExport->setEnabled(true);
    }
}

void CVCInstrumentTest::FillHistoryTable()
{
    QTableWidget *table = ui->tableVerificationHistory;
    table->setRowCount(0);
    table->setRowCount(int(m_history.size()));
    for (int i = 0; i < int(m_history.size()); ++i) {
        const DiagnoseHistoryRecord &entry = m_history[size_t(i)];
        table->setItem(i, 0, new QTableWidgetItem(entry.SerialNumber));
        table->setItem(i, 1, new QTableWidgetItem(entry.DateTime.left(16)));
        table->setItem(i, 2, new QTableWidgetItem(JudgementName(entry.Judgement != 0 ? 1 : 0)));
    }
    if (!m_history.empty())
        table->setCurrentCell(int(m_history.size()) - 1, 0);
}

void CVCInstrumentTest::ShowEntry(int row)
{
    if (row < 0 || row >= int(m_history.size()))
        return;
    const DiagnoseHistoryRecord &entry = m_history[size_t(row)];
    SetUpResultTable();
    QTableWidget *table = ui->tableVerificationResult;
    for (int j = 0; j < kTileCount && j < int(entry.TileCount); ++j) {
        const TileResultRecord &tile = entry.Tiles[j];
        for (int i = 0; i < 3; ++i) {
            SetNumber(table, kTestRow + 1 + i, 1 + j, tile.MeasuredLab[i]);
            SetNumber(table, kStandardRow + 1 + i, 1 + j, tile.StandardLab[i]);
        }
        for (int k = 0; k < kColourDifferenceKindCount; ++k) {
            SetNumber(table, kDifferenceRow + 1 + k, 1 + j, tile.Differences[k]);
            if (tile.CheckStates[k] == DiagnosisResult::kChecked)
                table->item(kDifferenceRow + 1 + k, 1 + j)
                    ->setBackground(JudgementBackgroundColor(tile.Judgements[k] == 1 ? 1 : 0));
        }
    }

    const UserIlluminantSlots illuminants = m_model->GetUserIlluminants();
    QTableWidget *info = ui->tableVerificationInfo;
    info->item(0, 0)->setText(entry.SerialNumber);
    info->item(1, 0)->setText(entry.DateTime.left(16));
    info->item(2, 0)->setText(MeasurementConditionName(1, illuminants));
    info->item(3, 0)->setText(ObserverName(0) + tr(" degree"));
    info->item(4, 0)->setText(IlluminantName(2, 1, illuminants));

    const int judgement = entry.Judgement != 0 ? 1 : 0;
    QTableWidgetItem *cell = ui->tableVerificationJudgement->item(0, 0);
    cell->setText(JudgementName(judgement));
    cell->setBackground(JudgementBackgroundColor(judgement));
}

void CVCInstrumentTest::AddHistoryEntry(int judgement)
{
    DiagnoseHistoryRecord entry;
    entry.ModelIndex = 0;
    entry.SerialNumber = m_model->GetInstrumentSerialNumber(0);
    entry.DateTime = SettingsClock::Now().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    entry.Judgement = judgement;
    entry.Flag = 1;
    entry.TileCount = kTileCount;
    std::copy(m_results, m_results + kTileCount, entry.Tiles);
    // An older or edited store may hold more than the limit: it shrinks back to it here.
    while (m_history.size() >= size_t(kHistoryLimit))
        m_history.erase(m_history.begin());
    m_history.push_back(entry);
    FillHistoryTable();
}

int CVCInstrumentTest::SaveHistory()
{
    const size_t count = m_history.size();
    std::unique_ptr<DiagnoseHistoryRecord[]> records(new DiagnoseHistoryRecord[count]);
    std::copy(m_history.begin(), m_history.end(), records.get());
    return m_model->SetDiagnoseHistory(unsigned(count), std::move(records));
}
