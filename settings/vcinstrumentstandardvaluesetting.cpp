#include "settings/vcinstrumentstandardvaluesetting.h"

#include "ui_instrumentstandardvaluesettingdialog.h"

#include "app/constants.h"
#include "app/model.h"
#include "app/storeconventions.h"
#include "app/widgets/uipresenter.h"
#include "settings/settingsclock.h"
#include "settings/standardvaluefile.h"
#include "settings/vcinstrumenttilemeasurement.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr int kBadCellValue = 5002;
constexpr int kRowCount = 4;
constexpr int kColumnCount = 1 + kTileCount;
constexpr int kColumnWidth = 60;
constexpr int kNameRowHeight = 50;
constexpr int kValueRowHeight = 25;

const QLatin1String kFileFilter("cgats txt File (*.txt)");

QString FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

} // namespace

CVCInstrumentStandardValueSetting::CVCInstrumentStandardValueSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent),
      ui(new Ui::InstrumentStandardValueSettingDialog),
      m_model(model),
      m_tileMeasurement(new CVCInstrumentTileMeasurement(model, this))
{
    ui->setupUi(this);
    Initialize();
}

CVCInstrumentStandardValueSetting::~CVCInstrumentStandardValueSetting() = default;

void CVCInstrumentStandardValueSetting::Initialize()
{
    SetButtonBox();
    ui->pushMeasurement->setEnabled(false);
    connect(ui->radioFile, &QRadioButton::toggled, ui->pushImport, &QPushButton::setEnabled);
    connect(ui->radioMeasurement, &QRadioButton::toggled, ui->pushMeasurement, &QPushButton::setEnabled);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->pushOK, &QPushButton::clicked, this, &CVCInstrumentStandardValueSetting::pushOKClicked);
    connect(ui->pushExport, &QPushButton::clicked, this, &CVCInstrumentStandardValueSetting::pushExportClicked);
    connect(ui->pushImport, &QPushButton::clicked, this, &CVCInstrumentStandardValueSetting::pushImportClicked);
    connect(ui->pushMeasurement, &QPushButton::clicked, this,
            &CVCInstrumentStandardValueSetting::pushMeasurementClicked);
}

void CVCInstrumentStandardValueSetting::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushOK, QDialogButtonBox::AcceptRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    box->addButton(ui->pushExport, QDialogButtonBox::ResetRole);
    ui->hLayoutFooter->addWidget(box);
}

int CVCInstrumentStandardValueSetting::exec()
{
    ui->radioFile->setChecked(true);
    BuildTable();
    unsigned int count = 0;
    const StandardValueRecord *stored = nullptr;
    m_model->GetStandardValues(&count, &stored);
    m_info = m_model->GetTileSetRecord();
    // A store that holds fewer than a full set is not a set of standard values.
    if (count == unsigned(kTileCount) && stored) {
        std::copy(stored, stored + kTileCount, m_values);
        ShowValues();
    }
    return CVCDialog::exec();
}

void CVCInstrumentStandardValueSetting::BuildTable()
{
    QTableWidget *table = ui->tableStandardValue;
    table->clear();
    table->setRowCount(kRowCount);
    table->setColumnCount(kColumnCount);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);

    int width = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        table->setColumnWidth(c, kColumnWidth);
        width += kColumnWidth;
    }
    int height = 0;
    for (int r = 0; r < kRowCount; ++r) {
        const int h = r == 0 ? kNameRowHeight : kValueRowHeight;
        table->setRowHeight(r, h);
        height += h;
    }
    width += (table->verticalHeader()->isHidden() ? 0 : table->verticalHeader()->width()) + 4;
    height += (table->horizontalHeader()->isHidden() ? 0 : table->horizontalHeader()->height()) + 4;
    table->setMinimumSize(width, height);
    table->setMaximumSize(width, height);

    auto *corner = new QTableWidgetItem(tr("Standard"));
    table->setItem(0, 0, corner);
    for (int t = 0; t < kTileCount; ++t) {
        auto *name = new QTableWidgetItem(TileName(t));
        name->setTextAlignment(Qt::AlignCenter);
        name->setForeground(TileTextColor(t));
        name->setBackground(TileBackgroundColor(t));
        table->setItem(0, 1 + t, name);
    }
    for (int r = 1; r < kRowCount; ++r) {
        auto *component = new QTableWidgetItem(LabComponentName(r - 1));
        component->setTextAlignment(Qt::AlignCenter);
        table->setItem(r, 0, component);
        for (int c = 1; c < kColumnCount; ++c) {
            auto *value = new QTableWidgetItem;
            value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c, value);
        }
    }
}

void CVCInstrumentStandardValueSetting::ShowValues()
{
    for (int r = 1; r < kRowCount; ++r) {
        for (int t = 0; t < kTileCount; ++t)
            ui->tableStandardValue->item(r, 1 + t)->setText(QString::number(double(m_values[t].Lab[r - 1]), 'f', 2));
    }
}

bool CVCInstrumentStandardValueSetting::CheckTable()
{
    for (int r = 1; r < kRowCount; ++r) {
        for (int c = 1; c < kColumnCount; ++c) {
            const QTableWidgetItem *item = ui->tableStandardValue->item(r, c);
            bool ok = false;
            const float value = item ? item->text().toFloat(&ok) : 0.0f;
            if (!ok || !std::isfinite(value)) {
                m_model->ReportError(kBadCellValue, 37, false);
                return false;
            }
        }
    }
    return true;
}

// The stored and exported L*a*b* are the two decimals the table shows.
void CVCInstrumentStandardValueSetting::ReadTable()
{
    for (int r = 1; r < kRowCount; ++r) {
        for (int t = 0; t < kTileCount; ++t)
            m_values[t].Lab[r - 1] = ui->tableStandardValue->item(r, 1 + t)->text().toFloat();
    }
}

void CVCInstrumentStandardValueSetting::pushOKClicked()
{
    if (!CheckTable())
        return;
    ReadTable();
    int result = m_model->SetStandardValues(kTileCount, m_values);
    const int infoResult = m_model->SetStandardValueInfo(m_info);
    if (result == 0)
        result = infoResult;
    // The values are lost at the next start when the store could not write them.
    if (result != 0)
        m_model->ReportError(result, 2, false);
    done(QDialog::Accepted);
}

void CVCInstrumentStandardValueSetting::pushExportClicked()
{
    if (!CheckTable())
        return;
    ReadTable();
    const QByteArray bytes = StandardValueFile::Compose(m_values, m_info, SettingsClock::Now()).toUtf8();
    const QString path = CUiPresenter::Current().SaveFileName(
        this, tr("Save"), FileDialogFolder(m_model->GetLastFolder()) + QStringLiteral("/standardValue.txt"), kFileFilter);
    if (path.isEmpty())
        return;
    // An existing file is replaced only by a complete one.
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!written)
        m_model->ReportError(StandardValueFile::kMalformed, 2, false);
    m_model->SetLastFolder(FolderOf(path));
}

void CVCInstrumentStandardValueSetting::pushImportClicked()
{
    const QString path = CUiPresenter::Current().OpenFileName(this, tr("Open"), FileDialogFolder(m_model->GetLastFolder()), kFileFilter);
    if (path.isEmpty())
        return;
    m_model->SetLastFolder(FolderOf(path));
    QFile file(path);
    int result = StandardValueFile::kMalformed;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        result = StandardValueFile::Parse(QString::fromUtf8(file.readAll()), m_values, &m_info);
    if (result != 0) {
        m_model->ReportError(result, 36, false);
        return;
    }
    ShowValues();
}

void CVCInstrumentStandardValueSetting::pushMeasurementClicked()
{
    m_model->SetAppStatus(CModel::StatusTileMeasurement);
    const int measured = CUiPresenter::Current().Exec(m_tileMeasurement);
    // Back to this dialog's status however the measurement ended, so chart captures are not left blocked.
    m_model->SetAppStatus(CModel::StatusStandardValues);
    if (measured != 1)
        return;

    const TileResultRecord *results = m_tileMeasurement->GetTileResults();
    for (int t = 0; t < kTileCount; ++t) {
        std::copy(std::begin(results[t].MeasuredReflectance), std::end(results[t].MeasuredReflectance),
                  m_values[t].Reflectance);
        std::copy(std::begin(results[t].MeasuredLab), std::end(results[t].MeasuredLab), m_values[t].Lab);
    }

    m_info.ModelIndex = 0;
    m_info.SerialNumber = m_model->GetInstrumentSerialNumber(0);
    m_info.CreateTime = SettingsClock::Now().toString(QStringLiteral("yyyy/MM/dd hh:mm"));
    ui->labelMeasurementInfo->setText(InstrumentModelName(m_info.ModelIndex) + QLatin1Char(' ') +
                                      m_info.SerialNumber + QLatin1Char(' ') + m_info.CreateTime);
    ShowValues();
}
