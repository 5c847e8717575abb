#include "settings/vcsetting.h"

#include "settings/vcselectmeasdataenvironment.h"
#include "ui_settingdialog.h"

#include "app/colourhelpers.h"
#include "app/constants.h"
#include "app/helpers.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

constexpr int kMessageSaveFailed = 2;
constexpr int kMessageNoCondition = 59;
constexpr int kFirstEditedChannel = 5;
constexpr int kChannelCount = 8;

// Characters a file name never holds.
const QRegularExpression &unusableCharacters()
{
    static const QRegularExpression pattern(QStringLiteral("[/\\\\:*?\"<>|]"));
    return pattern;
}

} // namespace

CVCSetting::CVCSetting(CModel *model, int page, QWidget *parent)
    : CVCDialog(parent, Qt::WindowFlags()), ui(new Ui::SettingDialog), m_model(model)
{
    ui->setupUi(this);
    ui->tabSetting->setCurrentIndex(page);

    const QFont font = DefaultUiFont();
    for (QGroupBox *group : {ui->groupChannel, ui->groupCreateChart, ui->groupErrorChart, ui->groupAutoSave,
                             ui->groupDesignation, ui->groupRecognition, ui->groupSavePath, ui->groupMeasureCondition,
                             ui->groupFileName, ui->groupSaveFormat, ui->groupLanguage, ui->groupEnvironment})
        group->setFont(font);

    BuildMeasureConditionTree(ui->treeMeasureCondition);

    ui->comboSaveFormat->addItems(OutputFormatFilters());
    connect(ui->treeMeasureCondition, &QTreeWidget::itemCollapsed, this, &CVCSetting::itemColllapsedAndExpanded);
    connect(ui->treeMeasureCondition, &QTreeWidget::itemExpanded, this, &CVCSetting::itemColllapsedAndExpanded);
    connect(ui->treeMeasureCondition, &QTreeWidget::itemChanged, this, &CVCSetting::treeMeasureConditionItemChanged);
    connect(ui->treeMeasureCondition, &QTreeWidget::currentItemChanged, this,
            &CVCSetting::treeMeasureConditionCurrentItemChanged);
    connect(ui->pushSavePath, &QPushButton::clicked, this, &CVCSetting::pushSavePathClicked);
    const struct {
        QDoubleSpinBox *L, *a, *b;
        void (CVCSetting::*slot)();
    } channels[] = {
        {ui->spinColor5L, ui->spinColor5a, ui->spinColor5b, &CVCSetting::spinColor5EditingFinished},
        {ui->spinColor6L, ui->spinColor6a, ui->spinColor6b, &CVCSetting::spinColor6EditingFinished},
        {ui->spinColor7L, ui->spinColor7a, ui->spinColor7b, &CVCSetting::spinColor7EditingFinished},
        {ui->spinColor8L, ui->spinColor8a, ui->spinColor8b, &CVCSetting::spinColor8EditingFinished},
    };
    for (const auto &channel : channels) {
        for (QDoubleSpinBox *spin : {channel.L, channel.a, channel.b})
            connect(spin, &QDoubleSpinBox::editingFinished, this, channel.slot);
    }
    connect(ui->pushDefault, &QPushButton::clicked, this, &CVCSetting::pushDefaultClicked);
    connect(ui->pushChange, &QPushButton::clicked, this, &CVCSetting::pushChangeClicked);
    ui->comboUnit->addItems(UnitNames());

    // Each entry reads "own name (English name):code".
    for (const QString &entry : m_model->GetLanguageList())
        ui->comboLanguage->addItem(entry.section(QLatin1Char(':'), 0, 0), entry.section(QLatin1Char(':'), 1, 1));

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(ui->okButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(ui->cancelButton, QDialogButtonBox::RejectRole);
    ui->hLayoutFooter->addWidget(buttons);
    connect(ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (!m_model->IsPosGapMode()) {
        delete ui->checkCorrectionPosGapOFF;
        ui->checkCorrectionPosGapOFF = nullptr;
    }

    m_groupNames = *m_model->GetDataGroupNames();
}

CVCSetting::~CVCSetting()
{
    // The tree goes with the dialog's children, after this object's own members.
    disconnect(ui->treeMeasureCondition, nullptr, this, nullptr);
}

int CVCSetting::exec()
{
    fill();
    return QDialog::exec();
}

void CVCSetting::fill()
{
    m_environment = *m_model->GetUserEnvironment();
    const Setting::UserEnvironment &e = m_environment;

    // A radio pair selects the button of value 1 for any non-zero field.
    (e.ErrorHandling != 0 ? ui->radioContinue : ui->radioPause)->setChecked(true);
    ui->checkDeleteJob->setChecked(e.DeleteJobAfterUse);
    ui->comboDiameter->setCurrentIndex(e.Aperture);
    ui->checkConfirmChart->setChecked(e.ConfirmChart);
    ui->groupAutoSave->setChecked(e.AutoExport);
    (e.ConditionSource != 0 ? ui->radioRight : ui->radioMainWindow)->setChecked(true);
    (e.FileNameMode != 0 ? ui->radioTopPart : ui->radioAuto)->setChecked(true);
    ui->lineFileName->setText(e.AutoExportFileName);
    ui->comboSaveFormat->setCurrentIndex(e.AutoExportFormat);
    ui->lineSavePath->setText(e.AutoExportFolder);
    ui->comboUnit->setCurrentIndex(e.LengthUnit);
    ui->comboColorSystemCreateChart->setCurrentIndex(e.ColorFormat - 1);
    ui->labelEnvironment->setText(e.DataGroupName);
    ui->checkDatalistDate->setChecked(e.DatalistColumns.Column1);
    ui->checkDatalistNumberPatches->setChecked(e.DatalistColumns.Column2);
    ui->checkDatalistMeasureArea->setChecked(e.DatalistColumns.Column3);
    (e.AllConditionsInOneFile != 0 ? ui->radioOutputSingleFile : ui->radioOutputMultipleFile)->setChecked(true);
    ui->comboBitDepth->setCurrentIndex(e.BitDepth);
    ui->checkStartupOrloConnect->setChecked(e.AutoConnect);
    ui->checkNoChartDefColorWarning->setChecked(e.ColorWarning);
    if (ui->checkCorrectionPosGapOFF)
        ui->checkCorrectionPosGapOFF->setChecked(e.PositionGap);

    m_illuminants = m_model->GetUserIlluminants();
    ApplyMeasureConditionSetting(ui->treeMeasureCondition, e.Display, m_illuminants, false);
    fillChannels(e.Inks);

    const int language = ui->comboLanguage->findData(m_model->GetLanguageCode());
    ui->comboLanguage->setCurrentIndex(language >= 0 ? language : 0);
    m_languageIndex = ui->comboLanguage->currentIndex();
}

void CVCSetting::fillChannels(const InkChannelList &inks)
{
    QLabel *const fixed[][4] = {
        {ui->labelColor1Name, ui->labelColor1L, ui->labelColor1a, ui->labelColor1b},
        {ui->labelColor2Name, ui->labelColor2L, ui->labelColor2a, ui->labelColor2b},
        {ui->labelColor3Name, ui->labelColor3L, ui->labelColor3a, ui->labelColor3b},
        {ui->labelColor4Name, ui->labelColor4L, ui->labelColor4a, ui->labelColor4b},
    };
    QLineEdit *const names[] = {ui->lineColor5Name, ui->lineColor6Name, ui->lineColor7Name, ui->lineColor8Name};
    QDoubleSpinBox *const spins[][3] = {
        {ui->spinColor5L, ui->spinColor5a, ui->spinColor5b},
        {ui->spinColor6L, ui->spinColor6a, ui->spinColor6b},
        {ui->spinColor7L, ui->spinColor7a, ui->spinColor7b},
        {ui->spinColor8L, ui->spinColor8a, ui->spinColor8b},
    };
    for (int i = 0; i < kChannelCount && i < inks.size(); ++i) {
        const InkChannel &ink = inks.at(i);
        const int values[] = {ink.L, ink.a, ink.b};
        if (i < kFirstEditedChannel - 1) {
            fixed[i][0]->setText(ink.name);
            for (int k = 0; k < 3; ++k)
                fixed[i][k + 1]->setText(QString::number(FixedToDouble(values[k], 2), 'f', 2));
        } else {
            const int row = i - (kFirstEditedChannel - 1);
            names[row]->setText(ink.name);
            for (int k = 0; k < 3; ++k)
                spins[row][k]->setValue(FixedToDouble(values[k], 2));
        }
        colourSwatch(i + 1);
    }
}

void CVCSetting::colourSwatch(int channel)
{
    QLabel *const swatches[] = {ui->labelColor1Color, ui->labelColor2Color, ui->labelColor3Color, ui->labelColor4Color,
                                ui->labelColor5Color, ui->labelColor6Color, ui->labelColor7Color, ui->labelColor8Color};
    float lab[3] = {};
    if (channel < kFirstEditedChannel) {
        QLabel *const labels[][3] = {
            {ui->labelColor1L, ui->labelColor1a, ui->labelColor1b},
            {ui->labelColor2L, ui->labelColor2a, ui->labelColor2b},
            {ui->labelColor3L, ui->labelColor3a, ui->labelColor3b},
            {ui->labelColor4L, ui->labelColor4a, ui->labelColor4b},
        };
        for (int k = 0; k < 3; ++k)
            lab[k] = labels[channel - 1][k]->text().toFloat();
    } else {
        QDoubleSpinBox *const spins[][3] = {
            {ui->spinColor5L, ui->spinColor5a, ui->spinColor5b},
            {ui->spinColor6L, ui->spinColor6a, ui->spinColor6b},
            {ui->spinColor7L, ui->spinColor7a, ui->spinColor7b},
            {ui->spinColor8L, ui->spinColor8a, ui->spinColor8b},
        };
        for (int k = 0; k < 3; ++k)
            lab[k] = float(spins[channel - kFirstEditedChannel][k]->value());
    }
    float rgb[3] = {};
    LabToRgb(rgb, lab);
    swatches[channel - 1]->setStyleSheet(QStringLiteral("background-color : rgb(%1,%2,%3);")
                                             .arg(QString::number(double(rgb[0]), 'f', 0),
                                                  QString::number(double(rgb[1]), 'f', 0),
                                                  QString::number(double(rgb[2]), 'f', 0)));
}

void CVCSetting::done(int result)
{
    if (result != Accepted) {
        QDialog::done(result);
        return;
    }
    if (!check())
        return;
    const int language = ui->comboLanguage->currentIndex();
    if (language >= 0 && language != m_languageIndex)
        CUiPresenter::Current().Inform(
            this, tr("The change of the language becomes effective only after the next start of the software."));
    store();
    QDialog::done(Accepted);
}

bool CVCSetting::check()
{
    if (ui->groupAutoSave->isChecked() && ui->radioTopPart->isChecked()) {
        const QString name = ui->lineFileName->text();
        if (name.isEmpty()) {
            CUiPresenter::Current().Warn(this, tr("File name is empty.\nPlease set file name."));
            return false;
        }
        if (name.contains(unusableCharacters())) {
            CUiPresenter::Current().Warn(this, tr("Unusable character is included."));
            return false;
        }
        // The question is for a name the user has just set; the stored one was asked about before.
        const bool unchanged = ui->lineSavePath->text() == m_environment.AutoExportFolder
                               && name == m_environment.AutoExportFileName
                               && ui->comboSaveFormat->currentIndex() == m_environment.AutoExportFormat;
        if (!unchanged && !askOverwrite(name))
            return false;
    }
    if (ui->groupAutoSave->isChecked()) {
        if (ui->radioMainWindow->isChecked()) {
            // Only a notice: the main window's conditions can still be changed there.
            if (NoMeasurementConditionSelected(*m_model->GetMeasurementCondition(0)))
                m_model->ReportError(kNoConditionSelected, kMessageNoCondition, false);
        } else {
            Setting::MeasureConditionSetting conditions{};
            ReadMeasureConditionSetting(&conditions, ui->treeMeasureCondition);
            if (NoMeasurementConditionSelected(conditions)) {
                m_model->ReportError(kNoConditionSelected, kMessageNoCondition, false);
                return false;
            }
        }
    }
    for (const QLineEdit *edit : {ui->lineColor5Name, ui->lineColor6Name, ui->lineColor7Name, ui->lineColor8Name}) {
        if (edit->text().isEmpty()) {
            CUiPresenter::Current().Warn(this, tr("Channel name is empty."));
            return false;
        }
    }
    return true;
}

bool CVCSetting::askOverwrite(const QString &name)
{
    // The exports append a number to the name, so any file that starts with it may be overwritten. The name is
    // matched as typed, never as a pattern.
    const QString extension = OutputFormatExtension(ui->comboSaveFormat->currentIndex());
    const QStringList files = QDir(ui->lineSavePath->text())
                                  .entryList(QStringList(QLatin1Char('*') + extension), QDir::Files, QDir::Unsorted);
    for (const QString &file : files) {
        if (!file.startsWith(name, Qt::CaseSensitive))
            continue;
        const QString text = name + extension + tr(" already exists. Are you sure you want to overwrite?");
        return CUiPresenter::Current().Ask(this, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
               == QMessageBox::Yes;
    }
    return true;
}

int CVCSetting::store()
{
    // Each step stays stored when a later one fails: the group names, the language, then the record.
    const int renamed = m_model->UpdateDataGroupNames(m_groupNames);
    if (renamed != 0)
        m_model->ReportError(renamed, kMessageSaveFailed, false);

    int result = 0;
    const int language = ui->comboLanguage->currentIndex();
    if (language >= 0 && language != m_languageIndex
        && !m_model->SetLanguage(ui->comboLanguage->itemData(language).toString())) {
        result = kLanguageNotStored;
    }
    if (result == 0) {
        gather();
        result = m_model->SetUserEnvironment(m_environment);
    }
    m_model->ReportError(result, kMessageSaveFailed, false);
    return result;
}

void CVCSetting::gather()
{
    Setting::UserEnvironment &e = m_environment;
    // A new target for the automatic exports starts its numbering again.
    if (ui->groupAutoSave->isChecked() != e.AutoExport || ui->lineSavePath->text() != e.AutoExportFolder
        || int(ui->radioTopPart->isChecked()) != e.FileNameMode || ui->lineFileName->text() != e.AutoExportFileName
        || ui->comboSaveFormat->currentIndex() != e.AutoExportFormat) {
        e.AutoExportSerialNumber = 0;
    }
    e.ErrorHandling = ui->radioContinue->isChecked() ? 1 : 0;
    e.DeleteJobAfterUse = ui->checkDeleteJob->isChecked();
    e.Aperture = ui->comboDiameter->currentIndex();
    e.ConfirmChart = ui->checkConfirmChart->isChecked();
    e.AutoExport = ui->groupAutoSave->isChecked();
    e.ConditionSource = ui->radioRight->isChecked() ? 1 : 0;
    e.FileNameMode = ui->radioTopPart->isChecked() ? 1 : 0;
    e.AutoExportFileName = ui->lineFileName->text();
    e.AutoExportFormat = ui->comboSaveFormat->currentIndex();
    e.AutoExportFolder = ui->lineSavePath->text();
    ReadMeasureConditionSetting(&e.Display, ui->treeMeasureCondition);
    e.LengthUnit = ui->comboUnit->currentIndex();
    e.ColorFormat = ui->comboColorSystemCreateChart->currentIndex() + 1;

    const QLineEdit *const names[] = {ui->lineColor5Name, ui->lineColor6Name, ui->lineColor7Name, ui->lineColor8Name};
    const QDoubleSpinBox *const spins[][3] = {
        {ui->spinColor5L, ui->spinColor5a, ui->spinColor5b},
        {ui->spinColor6L, ui->spinColor6a, ui->spinColor6b},
        {ui->spinColor7L, ui->spinColor7a, ui->spinColor7b},
        {ui->spinColor8L, ui->spinColor8a, ui->spinColor8b},
    };
    // Writing detaches the list from the stored record's.
    while (e.Inks.size() < kChannelCount)
        e.Inks.append(InkChannel());
    for (int row = 0; row < kChannelCount - (kFirstEditedChannel - 1); ++row) {
        InkChannel &ink = e.Inks[row + kFirstEditedChannel - 1];
        ink.name = names[row]->text();
        ink.L = RoundToFixed(spins[row][0]->value(), 2);
        ink.a = RoundToFixed(spins[row][1]->value(), 2);
        ink.b = RoundToFixed(spins[row][2]->value(), 2);
    }

    e.DataGroupName = ui->labelEnvironment->text();
    e.DatalistColumns.Column1 = ui->checkDatalistDate->isChecked();
    e.DatalistColumns.Column2 = ui->checkDatalistNumberPatches->isChecked();
    e.DatalistColumns.Column3 = ui->checkDatalistMeasureArea->isChecked();
    e.AllConditionsInOneFile = ui->radioOutputSingleFile->isChecked() ? 1 : 0;
    e.BitDepth = ui->comboBitDepth->currentIndex();
    e.AutoConnect = ui->checkStartupOrloConnect->isChecked();
    e.ColorWarning = ui->checkNoChartDefColorWarning->isChecked();
    if (ui->checkCorrectionPosGapOFF)
        e.PositionGap = ui->checkCorrectionPosGapOFF->isChecked();
}

// ---- Slots --------------------------------------------------------------------------------------------------------

void CVCSetting::itemColllapsedAndExpanded()
{
    if (auto *tree = qobject_cast<QTreeWidget *>(sender()))
        ResizeTreeColumns(tree);
}

void CVCSetting::treeMeasureConditionItemChanged(QTreeWidgetItem *item)
{
    if (item && item->parent()
        && item->parent() == ui->treeMeasureCondition->topLevelItem(kConditionRowConditions)) {
        UpdateMeasureConditionSummary(ui->treeMeasureCondition);
    }
}

void CVCSetting::treeMeasureConditionCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    QComboBox *combo = SwitchMeasureConditionEditor(ui->treeMeasureCondition, current, previous,
                                                    &m_environment.Display, m_illuminants);
    if (!combo || !current)
        return;
    const Setting::MeasureConditionSetting &display = m_environment.Display;
    switch (current->data(0, Qt::UserRole).toInt()) {
    case kEditorWhiteReference:
        combo->setCurrentIndex(display.WhiteReference);
        break;
    case kEditorDensityStatus:
        combo->setCurrentIndex(display.DensityStatus);
        break;
    case kEditorObserver:
        combo->setCurrentIndex(display.Observer);
        break;
    case kEditorIlluminant: {
        const int index = FindComboIndexByData(combo, display.Illuminant);
        combo->setCurrentIndex(index >= 0 ? index : DefaultDisplayColumns().Illuminant);
        break;
    }
    default:
        break;
    }
}

void CVCSetting::pushSavePathClicked()
{
    const QString folder = CUiPresenter::Current().ExistingDirectory(this, tr("Save Path"), ui->lineSavePath->text());
    if (!folder.isEmpty())
        ui->lineSavePath->setText(folder);
}

void CVCSetting::spinColor5EditingFinished()
{
    colourSwatch(5);
}

void CVCSetting::spinColor6EditingFinished()
{
    colourSwatch(6);
}

void CVCSetting::spinColor7EditingFinished()
{
    colourSwatch(7);
}

void CVCSetting::spinColor8EditingFinished()
{
    colourSwatch(8);
}

void CVCSetting::pushDefaultClicked()
{
    fillChannels(m_model->GetReferenceColors());
}

void CVCSetting::pushChangeClicked()
{
    CVCSelectMeasDataEnvironment dialog(m_model, this);
    dialog.SetGroupNames(m_groupNames);
    dialog.SetSelectedName(ui->labelEnvironment->text());
    if (CUiPresenter::Current().Exec(&dialog) != 0) {
        m_groupNames = dialog.GroupNames();
        ui->labelEnvironment->setText(dialog.SelectedName());
    }
}
