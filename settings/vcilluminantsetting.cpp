#include "settings/vcilluminantsetting.h"

#include "ui_illuminantsettingdialog.h"

#include "app/constants.h"
#include "app/helpers.h"
#include "app/model.h"
#include "app/storeconventions.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

using namespace QtCharts;

namespace {

constexpr int kHandheldEntry = 0;
constexpr int kLumetEntry = 1;
constexpr int kMaxUserIlluminants = 5;
constexpr int kMaxPlotPoints = kEnvironLightValueCount;

// Source kinds of the model's light-source selection.
constexpr int kSourceUserList = 1;
constexpr int kSourceHandheld = 2;
constexpr int kSourceLumetRecord = 3;
constexpr int kSourceNone = 4;

// Result codes of this dialog.
constexpr int kNoLumetEntry = 802;

QString InstrumentText(int kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("Brisa");
    case 2:
        return QStringLiteral("Calen");
    case 3:
        return QStringLiteral("Lumet");
    default:
        return CVCIlluminantSetting::tr("Unknown");
    }
}

int SlotOf(const QTreeWidgetItem *item, bool *ok = nullptr)
{
    return item->data(0, Qt::UserRole).toInt(ok);
}

} // namespace

CVCIlluminantSetting::CVCIlluminantSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent),
      ui(new Ui::IlluminantSettingDialog),
      m_model(model)
{
    ui->setupUi(this);
    m_menu = new QMenu(this);
    m_chart = new QChart;
    m_chartView = new QChartView(m_chart, this);
    const QFont font = DefaultUiFont();
    ui->groupIlluminant->setFont(font);
    ui->groupInstrument->setFont(font);
    ui->groupSpectral->setFont(font);
    Initialize();
}

CVCIlluminantSetting::~CVCIlluminantSetting() = default;

void CVCIlluminantSetting::Initialize()
{
    m_chart->setMargins(QMargins(10, 0, 0, 10));
    m_chart->legend()->hide();
    m_chartView->setRenderHint(QPainter::Antialiasing, true);
    ui->vLayoutSpectral->addWidget(m_chartView);

    m_deleteAction = m_menu->addAction(tr("Delete"));
    m_renameAction = m_menu->addAction(tr("Edit Name"));

    SetButtonBox();
    // Qt's own first sort order is descending; names read better ascending.
    ui->treeIlluminant->sortByColumn(0, Qt::AscendingOrder);

    connect(ui->treeIlluminant, &QTreeWidget::currentItemChanged, this,
            &CVCIlluminantSetting::SelectIlluminantListItem);
    connect(ui->treeIlluminant, &QTreeWidget::customContextMenuRequested, this,
            &CVCIlluminantSetting::treeIlluminantMenu);
    connect(ui->treeIlluminant, &QTreeWidget::itemChanged, this, &CVCIlluminantSetting::treeIlluminantItemChanged);
    connect(ui->treeInstrument, &QTreeWidget::currentItemChanged, this, &CVCIlluminantSetting::SelectInstrumentItem);
    connect(ui->treeInstrument, &QTreeWidget::itemChanged, this, &CVCIlluminantSetting::treeInstrumentItemChanged);
    connect(ui->pushDataImport, &QPushButton::clicked, this, &CVCIlluminantSetting::pushDataImport);
    connect(ui->pushFileImport, &QPushButton::clicked, this, &CVCIlluminantSetting::pushFileImport);
    connect(ui->pushFileExport, &QPushButton::clicked, this, &CVCIlluminantSetting::pushFileExport);
    connect(m_deleteAction, &QAction::triggered, this, &CVCIlluminantSetting::DeleteIlluminantData);
    connect(m_renameAction, &QAction::triggered, this, &CVCIlluminantSetting::RenameIlluminantData);
    connect(ui->treeIlluminant, &QTreeWidget::itemDoubleClicked, this,
            &CVCIlluminantSetting::treeIlluminantItemDoubleClicked);
}

void CVCIlluminantSetting::SetButtonBox()
{
    auto *box = new QDialogButtonBox(this);
    box->addButton(ui->pushFileImport, QDialogButtonBox::ActionRole);
    box->addButton(ui->pushFileExport, QDialogButtonBox::ActionRole);
    box->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(box);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

int CVCIlluminantSetting::exec()
{
    UpdateIlluminantList();
    if (ui->treeIlluminant->topLevelItemCount() > 0)
        ui->treeIlluminant->setCurrentItem(ui->treeIlluminant->topLevelItem(0));
    UpdateImportButtons();
    m_model->SetAppStatus(3);
    return QDialog::exec();
}

void CVCIlluminantSetting::done(int result)
{
    // Unchecking an entry closes its instrument.
    for (int i = 0; i < ui->treeInstrument->topLevelItemCount(); ++i)
        ui->treeInstrument->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    ClearSpectrum();
    m_model->SetAppStatus(0);
    QDialog::done(result);
}

void CVCIlluminantSetting::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Delete) && ui->treeIlluminant->currentItem())
        DeleteIlluminantData();
    // Return and Enter reach the dialog here: only Close is a button of this dialog's own.
    QDialog::keyPressEvent(event);
}

// ---- User list ------------------------------------------------------------------------------------------------------

void CVCIlluminantSetting::UpdateIlluminantList()
{
    // Filling the list must not look like a rename, nor select rows one by one.
    {
        const QSignalBlocker blocker(ui->treeIlluminant);
        ui->treeIlluminant->clear();
        const UserIlluminantSlots table = m_model->GetUserIlluminants();
        for (const UserIlluminantSlot &slot : table) {
            if (slot.Number >= 0)
                AddIlluminantItem(slot);
        }
    }
    ResizeTreeColumns(ui->treeIlluminant);
}

void CVCIlluminantSetting::AddIlluminantItem(const UserIlluminantSlot &slot)
{
    // Built in full before it is inserted, so no itemChanged reaches the rename.
    auto *item = new QTreeWidgetItem(QStringList{slot.Name, InstrumentText(slot.Source), slot.DisplayDate});
    item->setData(0, Qt::UserRole, slot.Number);
    ui->treeIlluminant->addTopLevelItem(item);
}

void CVCIlluminantSetting::UpdateImportButtons()
{
    const bool room = ui->treeIlluminant->topLevelItemCount() < kMaxUserIlluminants;
    ui->pushDataImport->setEnabled(room);
    ui->pushFileImport->setEnabled(room);
}

QTreeWidgetItem *CVCIlluminantSetting::FindIlluminantItem(const QString &name) const
{
    for (int i = 0; i < ui->treeIlluminant->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = ui->treeIlluminant->topLevelItem(i);
        if (item->text(0) == name)
            return item;
    }
    return nullptr;
}

void CVCIlluminantSetting::SelectIlluminantListItem(QTreeWidgetItem *item)
{
    if (!item)
        return;
    m_model->SetEnvironmentLightSource(kSourceUserList, SlotOf(item));
    EnvironLightData record;
    record.Step = 0; // nothing copied: nothing to plot
    if (m_model->GetSelectedEnvironmentLight(&record) == 0)
        ShowSpectrum(record);
}

void CVCIlluminantSetting::RestoreSelection()
{
    if (QTreeWidgetItem *row = ui->treeIlluminant->currentItem()) {
        m_model->SetEnvironmentLightSource(kSourceUserList, SlotOf(row));
        return;
    }
    QTreeWidgetItem *entry = ui->treeInstrument->currentItem();
    if (!entry)
        return;
    int kind = 0;
    int index = 0;
    InstrumentSource(entry, &kind, &index);
    m_model->SetEnvironmentLightSource(kind, index);
}

void CVCIlluminantSetting::RebuildAfterWriteFailure(bool report)
{
    UpdateIlluminantList();
    UpdateImportButtons();
    if (report)
        m_model->ReportError(kIlluminantFileError, 2, false);
}

void CVCIlluminantSetting::treeIlluminantMenu(const QPoint &point)
{
    QTreeWidget *tree = ui->treeIlluminant;
    if (tree->selectedItems().isEmpty())
        return;
    const QPoint global = tree->mapToGlobal(point) + QPoint(0, tree->header()->height());
    CUiPresenter::Current().ExecMenu(m_menu, global);
}

void CVCIlluminantSetting::DeleteIlluminantData()
{
    QTreeWidgetItem *row = ui->treeIlluminant->currentItem();
    if (!row && !ui->treeIlluminant->selectedItems().isEmpty())
        row = ui->treeIlluminant->selectedItems().first();
    if (!row)
        return;
    const int slot = SlotOf(row);
    if (CUiPresenter::Current().Ask(this, tr("Do you want to delete Illuminant Data?"),
                                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_model->SetEnvironmentLightSource(kSourceUserList, slot);
    const int result = m_model->DeleteUserIlluminant();
    if (result == kIlluminantFileError) {
        RebuildAfterWriteFailure(true);
        return;
    }
    if (result != 0)
        return;
    UpdateIlluminantList();
    UpdateImportButtons();
    if (ui->treeIlluminant->topLevelItemCount() > 0)
        ui->treeIlluminant->setCurrentItem(ui->treeIlluminant->topLevelItem(0));
    else
        ClearSpectrum();
}

void CVCIlluminantSetting::StartRename(QTreeWidgetItem *item)
{
    // Editable only while the editor opens: no other way may change a name.
    QTreeWidget *tree = ui->treeIlluminant;
    const Qt::ItemFlags flags = item->flags();
    {
        const QSignalBlocker blocker(tree);
        item->setFlags(flags | Qt::ItemIsEditable);
    }
    tree->editItem(item, 0);
    {
        const QSignalBlocker blocker(tree);
        item->setFlags(flags & ~Qt::ItemIsEditable);
    }
}

void CVCIlluminantSetting::RenameIlluminantData()
{
    if (QTreeWidgetItem *row = ui->treeIlluminant->currentItem())
        StartRename(row);
}

void CVCIlluminantSetting::treeIlluminantItemDoubleClicked(QTreeWidgetItem *item, int column)
{
    if (item && column == 0)
        StartRename(item);
}

void CVCIlluminantSetting::treeIlluminantItemChanged(QTreeWidgetItem *item, int column)
{
    if (!item || column != 0)
        return;
    const int slot = SlotOf(item);
    m_model->SetEnvironmentLightSource(kSourceUserList, slot);
    QString name = item->text(0);
    const int result = m_model->RenameUserIlluminant(&name);
    if (result == kIlluminantFileError) {
        m_model->ReportError(kIlluminantFileError, 2, false);
        // The item is still inside its own change notification: rebuild once that is over.
        QMetaObject::invokeMethod(this, [this] { RebuildAfterWriteFailure(false); }, Qt::QueuedConnection);
        return;
    }
    if (result == 0) {
        if (name != item->text(0)) {
            const QSignalBlocker blocker(ui->treeIlluminant);
            item->setText(0, name);
        }
    } else {
        const UserIlluminantSlots table = m_model->GetUserIlluminants();
        for (const UserIlluminantSlot &stored : table) {
            if (stored.Number == slot) {
                const QSignalBlocker blocker(ui->treeIlluminant);
                item->setText(0, stored.Name);
                break;
            }
        }
    }
    ResizeTreeColumns(ui->treeIlluminant);
}

// ---- Instruments ----------------------------------------------------------------------------------------------------

void CVCIlluminantSetting::SetConnectionText(int state, int kind, int number, QTreeWidgetItem *entry)
{
    if (!entry)
        return;
    const QString connect = tr("Connect");
    const bool handheld = !entry->parent() && entry->treeWidget() &&
                          entry->treeWidget()->indexOfTopLevelItem(entry) == kHandheldEntry;
    QString text;
    if (state == 1) {
        switch (kind) {
        case 1:
            text = connect + QStringLiteral(" : Brisa(%1)").arg(number);
            break;
        case 2:
            text = connect + QStringLiteral(" : Calen(%1)").arg(number);
            break;
        case 3:
            // The handheld's kind 3 is the Calen BT2; the Lumet reports kind 3 as well.
            text = connect + (handheld ? QStringLiteral(" : Calen BT2(%1)") : QStringLiteral(" : %1")).arg(number);
            break;
        default:
            return;
        }
    } else if (state == 0) {
        if (kind < 1 || kind > 3)
            return;
        text = tr("Disconnect");
    } else {
        return;
    }
    entry->setText(1, text);
}

void CVCIlluminantSetting::InstrumentSource(QTreeWidgetItem *item, int *kind, int *index) const
{
    if (QTreeWidgetItem *parent = item->parent()) {
        *kind = kSourceLumetRecord;
        *index = parent->indexOfChild(item);
    } else if (ui->treeInstrument->indexOfTopLevelItem(item) == kHandheldEntry) {
        *kind = kSourceHandheld;
        *index = 0;
    } else {
        *kind = kSourceNone;
        *index = -1;
    }
}

void CVCIlluminantSetting::SelectInstrumentItem(QTreeWidgetItem *item)
{
    if (!item)
        return;
    int kind = 0;
    int index = 0;
    InstrumentSource(item, &kind, &index);
    if (kind == kSourceNone)
        ClearSpectrum();
    if (m_model->SetEnvironmentLightSource(kind, index) == 0) {
        EnvironLightData record;
        record.Step = 0; // nothing copied (instrument closed): nothing to plot
        if (m_model->GetSelectedEnvironmentLight(&record) == 0)
            ShowSpectrum(record);
    }
    ui->treeIlluminant->setCurrentItem(nullptr);
    ui->treeIlluminant->clearSelection();
}

void CVCIlluminantSetting::treeInstrumentItemChanged(QTreeWidgetItem *item, int column)
{
    QTreeWidget *tree = ui->treeInstrument;
    if (item && column == 0) {
        if (!item->isSelected())
            item->setSelected(true);
        const bool checked = item->checkState(0) == Qt::Checked;
        const int entry = item->parent() ? -1 : tree->indexOfTopLevelItem(item);
        if (entry == kHandheldEntry) {
            if (checked) {
                int kind = 0;
                int number = 0;
                if (m_model->OpenTanoDevice(&kind, &number) == 0) {
                    {
                        const QSignalBlocker blocker(tree);
                        SetConnectionText(1, kind, number, item);
                    }
                    SelectInstrumentItem(item);
                } else {
                    item->setCheckState(0, Qt::Unchecked);
                }
            } else {
                m_model->CloseTanoDevice();
                {
                    const QSignalBlocker blocker(tree);
                    item->setText(1, tr("Disconnect"));
                }
                ClearSpectrum();
            }
        } else if (entry == kLumetEntry) {
            if (checked) {
                int kind = 0;
                int number = 0;
                if (m_model->OpenVexDevice(&kind, &number) == 0) {
                    {
                        const QSignalBlocker blocker(tree);
                        SetConnectionText(1, kind, number, item);
                    }
                    UpdateStoredDataItems(true);
                } else {
                    item->setCheckState(0, Qt::Unchecked);
                }
            } else {
                m_model->CloseVexDevice();
                // The plot stays: the rows go without choosing another entry.
                const QSignalBlocker blocker(tree);
                item->setText(1, tr("Disconnect"));
                UpdateStoredDataItems(false);
            }
        }
    }
    tree->setCurrentItem(item);
}

int CVCIlluminantSetting::UpdateStoredDataItems(bool on)
{
    QTreeWidgetItem *lumet = ui->treeInstrument->topLevelItem(kLumetEntry);
    if (!lumet)
        return kNoLumetEntry;
    if (!on) {
        qDeleteAll(lumet->takeChildren());
        return 0;
    }
    const EnvironLightData *records = nullptr;
    int count = 0;
    const int result = m_model->GetVexStoredData(&records, &count);
    if (result != 0)
        return result;
    for (int i = 0; i < count && records; ++i) {
        const QString number = QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        lumet->addChild(new QTreeWidgetItem(QStringList{number, LightDateForDisplay(records[i].Date)}));
    }
    lumet->setExpanded(true);
    return 0;
}

// ---- Plot -----------------------------------------------------------------------------------------------------------

void CVCIlluminantSetting::ClearSpectrum()
{
    m_chart->removeAllSeries();
    const QList<QAbstractAxis *> axes = m_chart->axes();
    for (QAbstractAxis *axis : axes) {
        m_chart->removeAxis(axis);
        delete axis;
    }
}

void CVCIlluminantSetting::ShowSpectrum(const EnvironLightData &record)
{
    ClearSpectrum();
    // Signed and wide: a damaged record may hold any wavelengths.
    const qint64 begin = record.Start;
    const qint64 pitch = record.Step;
    const qint64 end = record.End;
    if (pitch <= 0 || end < begin)
        return;
    const int points = int(std::min<qint64>((end - begin) / pitch + 1, kMaxPlotPoints));
    auto *series = new QLineSeries;
    for (int i = 0; i < points; ++i)
        series->append(double(begin + i * pitch), double(record.Values[i]));
    m_chart->addSeries(series);

    QFont titleFont;
    titleFont.setWeight(QFont::Normal);

    auto *wavelength = new QValueAxis;
    wavelength->setTitleText(tr("Wavelength") + QStringLiteral(" (nm)"));
    wavelength->setTitleFont(titleFont);
    wavelength->setTickCount(points / 10);
    wavelength->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(wavelength, Qt::AlignBottom);
    series->attachAxis(wavelength);

    auto *irradiance = new QValueAxis;
    irradiance->setTitleText(tr("Spectral Irradiance") + QStringLiteral(" (mW/m2/nm)"));
    irradiance->setTitleFont(titleFont);
    irradiance->setTickCount(10);
    irradiance->setLabelFormat(QStringLiteral("%.4f"));
    m_chart->addAxis(irradiance, Qt::AlignLeft);
    series->attachAxis(irradiance);
}

// ---- Copy, import and export ----------------------------------------------------------------------------------------

void CVCIlluminantSetting::pushDataImport()
{
    SelectInstrumentItem(ui->treeInstrument->currentItem());
    int kind = 0;
    int index = 0;
    m_model->GetEnvironmentLightSource(&kind, &index);
    if (kind == kSourceHandheld || kind == kSourceLumetRecord) {
        const int rows = ui->treeIlluminant->topLevelItemCount();
        UserIlluminantSlot added;
        const int result = m_model->ImportUserIlluminantFromInstrument(&added);
        if (result == 0) {
            const UserIlluminantSlots table = m_model->GetUserIlluminants();
            if (rows < kMaxUserIlluminants && table[size_t(rows)].Number >= 0)
                AddIlluminantItem(table[size_t(rows)]);
            UpdateImportButtons();
            RestoreSelection();
        } else if (result == kIlluminantFileError) {
            RebuildAfterWriteFailure(true);
        }
    }
    ResizeTreeColumns(ui->treeIlluminant);
}

void CVCIlluminantSetting::pushFileImport()
{
    CUiPresenter &presenter = CUiPresenter::Current();
    for (;;) {
        const QString path = presenter.OpenFileName(this, tr("Open"), FileDialogFolder(m_model->GetLastFolder()),
                                                    QStringLiteral("uid Files (*.uid2 *.uid)"));
        if (path.isEmpty())
            break;
        const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')));
        const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        const QString extension = fileName.mid(fileName.lastIndexOf(QLatin1Char('.')) + 1);
        const QString baseName = fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
        const int format = LightDataExtensions().indexOf(extension);

        QTreeWidgetItem *existing = FindIlluminantItem(baseName);
        if (!existing) {
            m_model->SetLastFolder(folder);
            UserIlluminantSlot added;
            const int result = m_model->ImportUserIlluminantFromFile(&added, path, format);
            if (result == 0) {
                const UserIlluminantSlots table = m_model->GetUserIlluminants();
                int kind = 0;
                int index = -1;
                m_model->GetEnvironmentLightSource(&kind, &index);
                if (index >= 0 && index < kUserIlluminantSlotCount && table[size_t(index)].Number >= 0)
                    AddIlluminantItem(table[size_t(index)]);
                UpdateImportButtons();
                RestoreSelection();
            } else if (result == kIlluminantFileError) {
                RebuildAfterWriteFailure(false);
            }
            break;
        }
        if (presenter.Ask(this, baseName + tr(" already exists. Are you sure you want to overwrite?"),
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            continue;
        m_model->SetLastFolder(folder);
        bool ok = false;
        const int slot = SlotOf(existing, &ok);
        if (!ok)
            break;
        EnvironLightData record;
        record.Name = baseName;
        const int result = m_model->ReplaceUserIlluminantFromFile(&record, slot, path, format);
        if (result == 0)
            ShowSpectrum(record);
        else if (result == kIlluminantFileError)
            RebuildAfterWriteFailure(false);
        break;
    }
    ResizeTreeColumns(ui->treeIlluminant);
}

QString CVCIlluminantSetting::HandheldModelName() const
{
    const QTreeWidgetItem *handheld = ui->treeInstrument->topLevelItem(kHandheldEntry);
    if (!handheld)
        return QString();
    static const QRegularExpression named(QStringLiteral(" : (.+)\\(\\d+\\)$"));
    const QRegularExpressionMatch match = named.match(handheld->text(1));
    return match.hasMatch() ? match.captured(1) : QString();
}

void CVCIlluminantSetting::pushFileExport()
{
    int kind = 0;
    int index = 0;
    m_model->GetEnvironmentLightSource(&kind, &index);
    QString name;
    switch (kind) {
    case kSourceUserList: {
        QTreeWidgetItem *row = ui->treeIlluminant->currentItem();
        if (!row)
            return;
        m_model->SetEnvironmentLightSource(kSourceUserList, SlotOf(row));
        name = row->text(0);
        break;
    }
    case kSourceHandheld:
        name = HandheldModelName();
        if (name.isEmpty())
            return;
        break;
    case kSourceLumetRecord: {
        const QTreeWidgetItem *lumet = ui->treeInstrument->topLevelItem(kLumetEntry);
        const QTreeWidgetItem *row = lumet && index >= 0 ? lumet->child(index) : nullptr;
        if (!row)
            return;
        name = QStringLiteral("Lumet_") + row->text(0);
        break;
    }
    default:
        return;
    }

    const QStringList filters = LightDataFilters();
    QString chosenFilter = filters.value(0);
    const QString path =
        CUiPresenter::Current().SaveFileName(this, tr("Save"), FileDialogFolder(m_model->GetLastFolder()) + QLatin1Char('/') + name +
                                                                    QStringLiteral(".uid2"),
                                             filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty())
        return;
    m_model->SetLastFolder(path.left(path.lastIndexOf(QLatin1Char('/'))));
    m_model->ExportEnvironmentLight(path, filters.indexOf(chosenFilter));
}
