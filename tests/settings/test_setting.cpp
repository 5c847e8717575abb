// The settings dialog: its form, the record it fills from and gathers into, the checks OK runs (file name,
// overwrite question, conditions, channel names), the export counter, the language choice, what the store
// signals, and the condition tree and channel grid.
#include "settings/vcsetting.h"

#include "app/colourhelpers.h"
#include "app/constants.h"
#include "app/storeconventions.h"
#include "app/widgets/conditiontree.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

template <typename T>
T *child(QObject *parent, const char *name)
{
    T *object = parent->findChild<T *>(QLatin1String(name));
    if (!object)
        qWarning("no %s", name);
    return object;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The fields in which two records differ.
QStringList differences(const Setting::UserEnvironment &a, const Setting::UserEnvironment &b)
{
    QStringList d;
    const auto field = [&d](bool same, const char *name) {
        if (!same)
            d << QLatin1String(name);
    };
    field(a.ErrorHandling == b.ErrorHandling, "ErrorHandling");
    field(a.DeleteJobAfterUse == b.DeleteJobAfterUse, "DeleteJobAfterUse");
    field(a.Aperture == b.Aperture, "Aperture");
    field(a.ConfirmChart == b.ConfirmChart, "ConfirmChart");
    field(a.AutoExport == b.AutoExport, "AutoExport");
    field(a.ConditionSource == b.ConditionSource, "ConditionSource");
    field(a.FileNameMode == b.FileNameMode, "FileNameMode");
    field(a.AutoExportFileName == b.AutoExportFileName, "AutoExportFileName");
    field(a.AutoExportSerialNumber == b.AutoExportSerialNumber, "AutoExportSerialNumber");
    field(a.AutoExportFormat == b.AutoExportFormat, "AutoExportFormat");
    field(a.AutoExportFolder == b.AutoExportFolder, "AutoExportFolder");
    field(std::memcmp(&a.Display, &b.Display, sizeof a.Display) == 0, "Display");
    field(a.LengthUnit == b.LengthUnit, "LengthUnit");
    field(a.ColorFormat == b.ColorFormat, "ColorFormat");
    bool inks = a.Inks.size() == b.Inks.size();
    for (int i = 0; inks && i < a.Inks.size(); ++i) {
        const InkChannel &x = a.Inks.at(i), &y = b.Inks.at(i);
        inks = x.name == y.name && x.L == y.L && x.a == y.a && x.b == y.b;
    }
    field(inks, "Inks");
    field(a.DataGroupName == b.DataGroupName, "DataGroupName");
    field(a.DatalistColumns == b.DatalistColumns, "DatalistColumns");
    field(a.AllConditionsInOneFile == b.AllConditionsInOneFile, "AllConditionsInOneFile");
    field(a.BitDepth == b.BitDepth, "BitDepth");
    field(a.AutoConnect == b.AutoConnect, "AutoConnect");
    field(a.ColorWarning == b.ColorWarning, "ColorWarning");
    field(a.PositionGap == b.PositionGap, "PositionGap");
    return d;
}

QString swatchStyle(float L, float a, float b)
{
    const float lab[3] = {L, a, b};
    float rgb[3] = {};
    LabToRgb(rgb, lab);
    return QStringLiteral("background-color : rgb(%1,%2,%3);")
        .arg(QString::number(double(rgb[0]), 'f', 0), QString::number(double(rgb[1]), 'f', 0),
             QString::number(double(rgb[2]), 'f', 0));
}

QTreeWidgetItem *conditionChild(QTreeWidget *tree, int i)
{
    return tree->topLevelItem(kConditionRowConditions)->child(i);
}

// The child of the tree whose editor kind is the given one.
QTreeWidgetItem *editorItem(QTreeWidget *tree, int kind)
{
    for (int t = 0; t < tree->topLevelItemCount(); ++t) {
        QTreeWidgetItem *top = tree->topLevelItem(t);
        for (int c = 0; c < top->childCount(); ++c) {
            bool ok = false;
            if (top->child(c)->data(0, Qt::UserRole).toInt(&ok) == kind && ok)
                return top->child(c);
        }
    }
    return nullptr;
}

const QStringList &nineCharacters()
{
    static const QStringList list = {"/", "\\", ":", "*", "?", "\"", "<", ">", "|"};
    return list;
}

} // namespace

class TestSetting : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<QTemporaryDir> exportDir;

    bool make(const QStringList &extraArguments = {}, const std::optional<QString> &programFolder = std::nullopt)
    {
        f.reset(new ModelFixture);
        f->arguments << extraArguments;
        if (!f->Make(true, programFolder))
            return false;
        f->model->SetAppStatus(3);
        return true;
    }
    QString settingsPath() const { return CModelAccess::ApplicationData(*f->model)->GetSettingFilePath(); }

    // Automatic export on under the fixed name "run" into an empty folder, conditions at right (mask 7), the
    // counter at 7.
    Setting::UserEnvironment exportRecord() const
    {
        Setting::UserEnvironment e = *f->model->GetUserEnvironment();
        e.AutoExport = true;
        e.FileNameMode = 1;
        e.AutoExportFileName = "run";
        e.AutoExportFolder = exportDir->path();
        e.AutoExportFormat = 0;
        e.AutoExportSerialNumber = 7;
        e.ConditionSource = 1;
        e.Display.ConditionMask = 7;
        return e;
    }

    // Runs the dialog on the page with the script, then presses OK unless the script closed the dialog.
    // Returns exec's result; open tells whether OK left the dialog open.
    int runDialog(const std::function<void(QDialog *)> &script, bool *open = nullptr, int page = 0)
    {
        CVCSetting dialog(f->model.get(), page);
        return ModalRunner::Run(&dialog, [&](QDialog *d) {
            script(d);
            if (!d->isVisible())
                return;
            QTest::mouseClick(child<QPushButton>(d, "okButton"), Qt::LeftButton);
            if (open)
                *open = d->isVisible();
        });
    }

private slots:
    void init()
    {
        exportDir.reset(new QTemporaryDir);
        QVERIFY(make());
    }
    void cleanup()
    {
        f.reset();
    }

    void form_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const auto add = [](const QString &name, const char *cls) {
            QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(cls);
        };
        add("tabSetting", "QTabWidget");
        for (const char *n : {"tabMeasure", "tabEnviron"})
            add(n, "QWidget");
        for (const char *n : {"okButton", "cancelButton", "pushSavePath", "pushDefault", "pushChange"})
            add(n, "QPushButton");
        for (const char *n : {"groupErrorChart", "groupRecognition", "groupDesignation", "groupBox", "groupAutoSave",
                              "groupFileName", "groupSaveFormat", "groupMeasureCondition", "groupSavePath",
                              "groupCreateChart", "groupLanguage", "groupChannel", "groupEnvironment",
                              "groupDisplayDataListColumn", "groupExportMeasureDataMethod", "groupExportImage",
                              "groupDeviceConnect"})
            add(n, "QGroupBox");
        for (const char *n : {"radioContinue", "radioPause", "radioAuto", "radioTopPart", "radioMainWindow",
                              "radioRight", "radioOutputMultipleFile", "radioOutputSingleFile"})
            add(n, "QRadioButton");
        for (const char *n : {"checkConfirmChart", "checkDeleteJob", "checkNoChartDefColorWarning",
                              "checkCorrectionPosGapOFF", "checkDatalistDate", "checkDatalistNumberPatches",
                              "checkDatalistMeasureArea", "checkStartupOrloConnect"})
            add(n, "QCheckBox");
        for (const char *n : {"comboDiameter", "comboSaveFormat", "comboUnit", "comboColorSystemCreateChart",
                              "comboLanguage", "comboBitDepth"})
            add(n, "QComboBox");
        for (const char *n : {"lineFileName", "lineSavePath"})
            add(n, "QLineEdit");
        add("treeMeasureCondition", "QTreeWidget");
        add("buttonGroup", "QButtonGroup");
        add("hLayoutFooter", "QHBoxLayout");
        for (const char *n : {"labelDiameter", "labelUnit", "labelColorSystemCreateChart", "labelChannelName",
                              "labelChannelL", "labelChannela", "labelChannelb", "labelChannelColor",
                              "labelEnvironment", "labelTiffBitDepth"})
            add(n, "QLabel");
        for (int c = 1; c <= 8; ++c) {
            add(QStringLiteral("labelColor%1Color").arg(c), "QLabel");
            if (c <= 4) {
                for (const char *s : {"Name", "L", "a", "b"})
                    add(QStringLiteral("labelColor%1%2").arg(c).arg(QLatin1String(s)), "QLabel");
            } else {
                add(QStringLiteral("lineColor%1Name").arg(c), "QLineEdit");
                for (const char *s : {"L", "a", "b"})
                    add(QStringLiteral("spinColor%1%2").arg(c).arg(QLatin1String(s)), "QDoubleSpinBox");
            }
        }
    }
    void form()
    {
        QFETCH(QString, name);
        QVERIFY(make({"/PosGap"}));
        CVCSetting dialog(f->model.get(), 0);
        const QObject *object = dialog.findChild<QObject *>(name);
        QVERIFY2(object, qPrintable(name));
        QTEST(QString::fromLatin1(object->metaObject()->className()), "className");
        QCOMPARE(dialog.objectName(), QStringLiteral("SettingDialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(dialog.size(), QSize(980, 700));
        QCOMPARE(dialog.minimumSize(), QSize(980, 700));
    }

    void formDetails()
    {
        CVCSetting dialog(f->model.get(), 1);
        QCOMPARE(child<QTabWidget>(&dialog, "tabSetting")->currentIndex(), 1);
        for (const char *name : {"okButton", "cancelButton"}) {
            const QPushButton *button = child<QPushButton>(&dialog, name);
            QVERIFY(button->minimumWidth() >= 90);
            QVERIFY(!button->autoDefault());
        }
        QCOMPARE(child<QComboBox>(&dialog, "comboSaveFormat")->count(), 10);
        QCOMPARE(child<QComboBox>(&dialog, "comboSaveFormat")->itemText(9), OutputFormatFilters().at(9));
        QCOMPARE(child<QComboBox>(&dialog, "comboUnit")->itemText(1), QStringLiteral("inch"));
        const QDoubleSpinBox *a = child<QDoubleSpinBox>(&dialog, "spinColor8a");
        QCOMPARE(a->minimum(), -128.0);
        QCOMPARE(a->maximum(), 127.0);
        QCOMPARE(a->decimals(), 2);
        QCOMPARE(child<QDoubleSpinBox>(&dialog, "spinColor5L")->maximum(), 100.0);
        QVERIFY(child<QGroupBox>(&dialog, "groupAutoSave")->isCheckable());
        const QTreeWidget *tree = child<QTreeWidget>(&dialog, "treeMeasureCondition");
        QCOMPARE(tree->topLevelItemCount(), 5);
        QCOMPARE(tree->topLevelItem(kConditionRowConditions)->text(0), QStringLiteral("Measurement Condition"));
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("openAfterKey");
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }
    void keys()
    {
        QFETCH(int, key);
        const QByteArray before = readFile(settingsPath());
        CVCSetting dialog(f->model.get(), 1);
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QLineEdit *name = child<QLineEdit>(d, "lineColor5Name");
            name->setText("Changed");
            QTest::keyClick(name, Qt::Key(key));
            open = d->isVisible();
        });
        QTEST(open, "openAfterKey");
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(readFile(settingsPath()), before);
        QVERIFY(f->model->GetUserEnvironment()->Inks.at(4).name != QStringLiteral("Changed"));
    }

    // ---- Filling and gathering ------------------------------------------------------------------------------------

    void roundTrip_data()
    {
        QTest::addColumn<bool>("first");
        QTest::newRow("every field off its default") << true;
        QTest::newRow("the other side of each pair") << false;
    }
    void roundTrip()
    {
        QFETCH(bool, first);
        QVERIFY(make({"/PosGap"}));
        Setting::UserEnvironment e = *f->model->GetUserEnvironment();
        if (first) {
            e.ErrorHandling = 5;
            e.DeleteJobAfterUse = true;
            e.Aperture = 3;
            e.ConfirmChart = true;
            e.AutoExport = true;
            e.ConditionSource = 1;
            e.FileNameMode = 1;
            e.AutoExportFileName = "run";
            e.AutoExportSerialNumber = 7;
            e.AutoExportFormat = 4;
            e.AutoExportFolder = exportDir->path();
            e.Display = {0, 1, 3, 1, 0, 1, 1, 1, 5, 0, 5, 0};
            e.LengthUnit = 1;
            e.ColorFormat = 4;
            e.DatalistColumns = {false, false, true};
            e.AllConditionsInOneFile = 1;
            e.BitDepth = 0;
            e.AutoConnect = false;
            e.ColorWarning = true;
            e.PositionGap = true;
        } else {
            e.ErrorHandling = 0;
            e.DeleteJobAfterUse = false;
            e.Aperture = 0;
            e.AutoExport = false;
            e.ConditionSource = 0;
            e.FileNameMode = 0;
            e.AutoExportSerialNumber = 3;
            e.AutoExportFormat = 9;
            e.Display = {1, 0, 1, 0, 1, 0, 0, 0, 2, 1, 2, 1};
            e.LengthUnit = 0;
            e.ColorFormat = 6;
            e.DatalistColumns = {true, false, false};
            e.AllConditionsInOneFile = 0;
            e.BitDepth = 1;
            e.AutoConnect = true;
            e.ColorWarning = false;
            e.PositionGap = false;
        }
        e.Inks[0].name = "Mine"; // channels 1 to 4 are shown only and stay as stored
        e.Inks[6] = {first ? "Seven" : "7", first ? 1234 : 0, first ? -5678 : 12700, first ? 9 : -12800};
        QCOMPARE(f->model->SetUserEnvironment(e), 0);

        const int result = runDialog([](QDialog *) {});
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(f->window->errors.isEmpty());
        Setting::UserEnvironment expected = e;
        expected.ErrorHandling = first ? 1 : 0;
        QCOMPARE(differences(*f->model->GetUserEnvironment(), expected), QStringList());
    }

    void conversions()
    {
        CVCSetting dialog(f->model.get(), 1);
        Setting::UserEnvironment stored;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QCOMPARE(child<QLabel>(d, "labelColor1L")->text(), QStringLiteral("68.00"));
            QCOMPARE(child<QLabel>(d, "labelColor1a")->text(), QStringLiteral("-46.00"));
            QCOMPARE(child<QLabel>(d, "labelColor1b")->text(), QStringLiteral("-51.00"));
            QCOMPARE(child<QLabel>(d, "labelColor1Color")->styleSheet(), swatchStyle(68.0f, -46.0f, -51.0f));
            QCOMPARE(child<QLabel>(d, "labelColor5Color")->styleSheet(), swatchStyle(69.0f, 64.0f, 112.0f));
            child<QDoubleSpinBox>(d, "spinColor5a")->setValue(-0.5);
            child<QDoubleSpinBox>(d, "spinColor5b")->setValue(127.0);
            emit child<QDoubleSpinBox>(d, "spinColor5b")->editingFinished();
            QCOMPARE(child<QLabel>(d, "labelColor5Color")->styleSheet(), swatchStyle(69.0f, -0.5f, 127.0f));
            child<QComboBox>(d, "comboColorSystemCreateChart")->setCurrentIndex(5);
            QTest::mouseClick(child<QPushButton>(d, "okButton"), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        const Setting::UserEnvironment *e = f->model->GetUserEnvironment();
        QCOMPARE(e->Inks.at(4).a, -50);
        QCOMPARE(e->Inks.at(4).b, 12700);
        QCOMPARE(e->ColorFormat, 6);
    }

    // ---- Checks at OK ---------------------------------------------------------------------------------------------

    void checks_data()
    {
        QTest::addColumn<bool>("autoExport");
        QTest::addColumn<QString>("fileName"); // typed under the fixed name
        QTest::addColumn<int>("emptyChannel"); // 0: none
        QTest::addColumn<int>("source");       // 0 main screen, 1 at right
        QTest::addColumn<int>("rightMask");
        QTest::addColumn<int>("mainMask");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("accepted");
        const QString channel = QStringLiteral("Channel name is empty.");
        QTest::newRow("export off, channel 7 empty") << false << "x" << 7 << 1 << 0 << 7 << channel << 0 << false;
        QTest::newRow("export off, all set") << false << "" << 0 << 1 << 0 << 7 << "" << 0 << true;
        QTest::newRow("fixed name empty") << true << "" << 0 << 1 << 7 << 7
                                          << "File name is empty.\nPlease set file name." << 0 << false;
        for (const QString &c : nineCharacters())
            QTest::newRow(qPrintable("name with " + c)) << true << "a" + c << 0 << 1 << 7 << 7
                                                        << "Unusable character is included." << 0 << false;
        QTest::newRow("unchanged, channel 5 empty") << true << "run" << 5 << 1 << 7 << 7 << channel << 0 << false;
        QTest::newRow("unchanged, no condition at right") << true << "run" << 0 << 1 << 0 << 7 << "" << 59 << false;
        QTest::newRow("no condition in the main window") << true << "run" << 0 << 0 << 0 << 0 << "" << 59 << true;
        QTest::newRow("new name, all set") << true << "next" << 0 << 1 << 7 << 7 << "" << 0 << true;
    }
    void checks()
    {
        QFETCH(bool, autoExport);
        QFETCH(QString, fileName);
        QFETCH(int, emptyChannel);
        QFETCH(int, source);
        QFETCH(int, rightMask);
        QFETCH(int, mainMask);
        QFETCH(QString, warning);
        QFETCH(int, message);
        QFETCH(bool, accepted);
        Setting::UserEnvironment e = exportRecord();
        e.ConditionSource = source;
        e.Display.ConditionMask = rightMask;
        QCOMPARE(f->model->SetUserEnvironment(e), 0);
        Setting::MeasureConditionSetting main = *f->model->GetMeasurementCondition(0);
        main.ConditionMask = mainMask;
        QCOMPARE(f->model->SetMeasureCondition(main, 0), 0);
        const QByteArray before = readFile(settingsPath());

        ScriptedPresenter script;
        if (!warning.isEmpty())
            script.ExpectWarn(warning);
        bool open = false;
        const int result = runDialog(
            [&](QDialog *d) {
                child<QGroupBox>(d, "groupAutoSave")->setChecked(autoExport);
                child<QLineEdit>(d, "lineFileName")->setText(fileName);
                if (emptyChannel)
                    child<QLineEdit>(d, qPrintable(QStringLiteral("lineColor%1Name").arg(emptyChannel)))->clear();
            },
            &open);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(f->window->errors, message ? QList<int>{message} : QList<int>());
        QCOMPARE(!open, accepted);
        QCOMPARE(result, int(accepted ? QDialog::Accepted : QDialog::Rejected));
        if (!accepted)
            QCOMPARE(readFile(settingsPath()), before);
        else
            QCOMPARE(f->model->GetUserEnvironment()->AutoExportFileName, fileName);
    }

    void overwrite_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("missingFolder");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("yes");
        QTest::newRow("prefix, No") << "ab" << QStringList{"abc.csv"} << false << true << false;
        QTest::newRow("prefix, Yes") << "ab" << QStringList{"abc.csv"} << false << true << true;
        QTest::newRow("other extension") << "ab" << QStringList{"ab.txt"} << false << false << true;
        QTest::newRow("missing folder") << "ab" << QStringList{} << true << false << true;
        QTest::newRow("dot is literal") << "a.b" << QStringList{"axb.csv"} << false << false << true;
        QTest::newRow("parenthesis is literal") << "a(" << QStringList{"a(1.csv"} << false << true << true;
        QTest::newRow("case counts") << "AB" << QStringList{"abc.csv"} << false << false << true;
        QTest::newRow("folder is no file") << "ab" << QStringList{"abc.csv/"} << false << false << true;
        QTest::newRow("two files, one question") << "ab" << QStringList{"ab1.csv", "ab2.csv"} << false << true
                                                 << true;
    }
    void overwrite()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, files);
        QFETCH(bool, missingFolder);
        QFETCH(bool, asked);
        QFETCH(bool, yes);
        for (const QString &file : files) {
            if (file.endsWith('/'))
                QVERIFY(QDir(exportDir->path()).mkdir(file.chopped(1)));
            else
                QVERIFY(writeFile(exportDir->filePath(file), "x"));
        }
        QCOMPARE(f->model->SetUserEnvironment(exportRecord()), 0);
        ScriptedPresenter script;
        if (asked)
            script.ExpectAsk(name + ".csv already exists. Are you sure you want to overwrite?",
                             yes ? QMessageBox::Yes : QMessageBox::No);
        bool open = false;
        runDialog(
            [&](QDialog *d) {
                child<QLineEdit>(d, "lineFileName")->setText(name);
                if (missingFolder)
                    child<QLineEdit>(d, "lineSavePath")->setText(exportDir->filePath("missing"));
            },
            &open);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        if (asked) {
            QCOMPARE(script.Calls().first().defaultButton, QMessageBox::NoButton);
            QCOMPARE(script.Calls().first().buttons, QMessageBox::Yes | QMessageBox::No);
        }
        QCOMPARE(open, !yes);
        QCOMPARE(f->model->GetUserEnvironment()->AutoExportFileName, yes ? name : QStringLiteral("run"));
    }

    void counterRule_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("counter");
        for (const char *change : {"format", "path", "name", "mode", "auto-export"})
            QTest::newRow(change) << QString::fromLatin1(change) << 0;
        QTest::newRow("channel name") << "channel" << 7;
        QTest::newRow("bit depth") << "bit depth" << 7;
    }
    void counterRule()
    {
        QFETCH(QString, change);
        QCOMPARE(f->model->SetUserEnvironment(exportRecord()), 0);
        QTemporaryDir otherFolder;
        const int result = runDialog([&](QDialog *d) {
            if (change == "format")
                child<QComboBox>(d, "comboSaveFormat")->setCurrentIndex(1);
            else if (change == "path")
                child<QLineEdit>(d, "lineSavePath")->setText(otherFolder.path());
            else if (change == "name")
                child<QLineEdit>(d, "lineFileName")->setText("other");
            else if (change == "mode")
                child<QRadioButton>(d, "radioAuto")->setChecked(true);
            else if (change == "auto-export")
                child<QGroupBox>(d, "groupAutoSave")->setChecked(false);
            else if (change == "channel")
                child<QLineEdit>(d, "lineColor8Name")->setText("Other");
            else
                child<QComboBox>(d, "comboBitDepth")->setCurrentIndex(0);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QTEST(f->model->GetUserEnvironment()->AutoExportSerialNumber, "counter");
    }

    void folderChoice()
    {
        ScriptedPresenter script;
        script.ExpectDirectory("Save Path", exportDir->path()).ExpectDirectory("Save Path", QString());
        QString start;
        runDialog([&](QDialog *d) {
            QLineEdit *path = child<QLineEdit>(d, "lineSavePath");
            start = path->text();
            child<QGroupBox>(d, "groupAutoSave")->setChecked(true);
            QTest::mouseClick(child<QPushButton>(d, "pushSavePath"), Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(d, "pushSavePath"), Qt::LeftButton);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().first().folder, start);
        QCOMPARE(f->model->GetUserEnvironment()->AutoExportFolder, exportDir->path());
    }

    void positionGapOption_data()
    {
        QTest::addColumn<bool>("posGap");
        QTest::newRow("absent") << false;
        QTest::newRow("/PosGap") << true;
    }
    void positionGapOption()
    {
        QFETCH(bool, posGap);
        QVERIFY(make(posGap ? QStringList{"/PosGap"} : QStringList{}));
        const bool stored = f->model->GetUserEnvironment()->PositionGap;
        bool present = false;
        runDialog([&](QDialog *d) {
            QCheckBox *box = d->findChild<QCheckBox *>("checkCorrectionPosGapOFF");
            present = box;
            if (box)
                box->setChecked(!stored);
        });
        QCOMPARE(present, posGap);
        QCOMPARE(f->model->GetUserEnvironment()->PositionGap, posGap ? !stored : stored);
    }

    // ---- Language -------------------------------------------------------------------------------------------------

    void language_data()
    {
        QTest::addColumn<QStringList>("qmFiles");
        QTest::addColumn<QString>("storedCode");
        QTest::addColumn<int>("shownIndex");
        QTest::addColumn<int>("pick"); // -1: leave
        QTest::addColumn<QString>("written"); // empty: Language.bin untouched
        // Translation files are named after the program.
        const QString program = QCoreApplication::applicationName();
        const QStringList two = {program + "_jpn.qm", program + "_cl1.qm"};
        QTest::newRow("stored code kept") << two << "cl1" << 1 << -1 << "";
        QTest::newRow("another item") << two << "cl1" << 1 << 0 << "jpn";
        QTest::newRow("code not in the list") << two << "xx" << 0 << -1 << "";
        QTest::newRow("no translation") << QStringList() << "cl1" << -1 << -1 << "";
    }
    void language()
    {
        QFETCH(QStringList, qmFiles);
        QFETCH(QString, storedCode);
        QFETCH(int, pick);
        QFETCH(QString, written);
        QTemporaryDir program;
        for (const QString &file : qmFiles)
            QVERIFY(writeFile(program.filePath(file), "x"));
        // The choice file lies in the fixture's home, known once the fixture has set it up.
        f.reset(new ModelFixture);
        QVERIFY(f->Make(false));
        QVERIFY(QDir().mkpath(QFileInfo(CLanguage::ChoiceFilePath()).absolutePath()));
        QVERIFY(writeFile(CLanguage::ChoiceFilePath(), storedCode.toLatin1()));
        QVERIFY(f->Make(true, program.path()));
        f->model->SetAppStatus(3);
        // Any write would bring the file back.
        QVERIFY(QFile::remove(CLanguage::ChoiceFilePath()));

        ScriptedPresenter script;
        if (!written.isEmpty())
            script.ExpectInform(
                "The change of the language becomes effective only after the next start of the software.");
        int shown = -2, count = -1;
        const int result = runDialog([&](QDialog *d) {
            QComboBox *combo = child<QComboBox>(d, "comboLanguage");
            shown = combo->currentIndex();
            count = combo->count();
            if (pick >= 0)
                combo->setCurrentIndex(pick);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, int(QDialog::Accepted));
        QTEST(shown, "shownIndex");
        QCOMPARE(count, qmFiles.size());
        if (written.isEmpty())
            QVERIFY(!QFileInfo::exists(CLanguage::ChoiceFilePath()));
        else
            QCOMPARE(readFile(CLanguage::ChoiceFilePath()), written.toLatin1());
    }

    // ---- Storing --------------------------------------------------------------------------------------------------

    void storeSignals_data()
    {
        QTest::addColumn<bool>("groupChanged");
        QTest::newRow("data group") << true;
        QTest::newRow("data-list columns only") << false;
    }
    void storeSignals()
    {
        QFETCH(bool, groupChanged);
        CApplicationData *store = CModelAccess::ApplicationData(*f->model);
        QSignalSpy environment(store, &CApplicationData::CurrentUserEnvironmentChanged);
        QSignalSpy columns(store, &CApplicationData::UpdateDatalistColumn);
        ScriptedPresenter script;
        if (groupChanged) {
            script.ExpectDialog("CVCSelectMeasDataEnvironment", [](QDialog *d) {
                d->findChild<QLineEdit *>("editDataGroup")->setText("Second");
                QTest::mouseClick(d->findChild<QPushButton *>("pushAdd"), Qt::LeftButton);
                QTest::mouseClick(d->findChild<QPushButton *>("pushOK"), Qt::LeftButton);
            });
        }
        runDialog(
            [&](QDialog *d) {
                if (groupChanged)
                    QTest::mouseClick(child<QPushButton>(d, "pushChange"), Qt::LeftButton);
                QCheckBox *date = child<QCheckBox>(d, "checkDatalistDate");
                date->setChecked(!date->isChecked());
            },
            nullptr, 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(environment.count(), groupChanged ? 1 : 0);
        QCOMPARE(columns.count(), groupChanged ? 0 : 1);
    }

    void storeFails()
    {
        QTemporaryDir program;
        for (const char *code : {"_jpn.qm", "_cl1.qm"})
            QVERIFY(writeFile(program.filePath(QCoreApplication::applicationName() + code), "x"));
        f.reset(new ModelFixture);
        QVERIFY(f->Make(false));
        const QString root = AppDataDir();
        QVERIFY(QDir().mkpath(root + "/Chart/Data"));
        QVERIFY(f->Make(true, program.path()));
        f->model->SetAppStatus(3);
        QFile::remove(settingsPath());
        QVERIFY(QDir().mkpath(settingsPath()));
        CApplicationData *store = CModelAccess::ApplicationData(*f->model);
        QSignalSpy environment(store, &CApplicationData::CurrentUserEnvironmentChanged);
        QSignalSpy columns(store, &CApplicationData::UpdateDatalistColumn);
        ScriptedPresenter script;
        script.ExpectDialog("CVCSelectMeasDataEnvironment", [](QDialog *d) {
            QTableWidget *table = d->findChild<QTableWidget *>("tableDataGroup");
            table->item(0, 0)->setText("Renamed");
            table->setCurrentCell(0, 0);
            QTest::mouseClick(d->findChild<QPushButton *>("pushOK"), Qt::LeftButton);
        });
        script.ExpectInform(QString());
        const int result = runDialog(
            [&](QDialog *d) {
                QTest::mouseClick(child<QPushButton>(d, "pushChange"), Qt::LeftButton);
                QComboBox *language = child<QComboBox>(d, "comboLanguage");
                language->setCurrentIndex(language->currentIndex() == 0 ? 1 : 0);
                QCheckBox *date = child<QCheckBox>(d, "checkDatalistDate");
                date->setChecked(!date->isChecked());
            },
            nullptr, 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(f->window->errors, QList<int>{2});
        QCOMPARE(environment.count(), 0);
        QCOMPARE(columns.count(), 0);
        QVERIFY(QFileInfo(root + "/Chart/Renamed").isDir());
        QVERIFY(QFileInfo(CLanguage::ChoiceFilePath()).isFile());
    }

    // ---- Condition tree and channel grid --------------------------------------------------------------------------

    void illuminantEditorFallsBack()
    {
        Setting::UserEnvironment e = *f->model->GetUserEnvironment();
        e.Display.Illuminant = 99;
        QCOMPARE(f->model->SetUserEnvironment(e), 0);
        int index = -1;
        runDialog([&](QDialog *d) {
            QTreeWidget *tree = child<QTreeWidget>(d, "treeMeasureCondition");
            QTreeWidgetItem *item = editorItem(tree, kEditorIlluminant);
            QVERIFY(item);
            tree->setCurrentItem(item);
            auto *combo = qobject_cast<QComboBox *>(tree->itemWidget(item, 1));
            QVERIFY(combo);
            index = combo->currentIndex();
        });
        QCOMPARE(index, 2);
    }

    void conditionSummaryFollowsChecks()
    {
        QString summary;
        runDialog([&](QDialog *d) {
            QTreeWidget *tree = child<QTreeWidget>(d, "treeMeasureCondition");
            QTreeWidgetItem *top = tree->topLevelItem(kConditionRowConditions);
            const QString before = top->text(1);
            QTreeWidgetItem *item = conditionChild(tree, 3);
            item->setCheckState(1, item->checkState(1) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            summary = top->text(1);
            QVERIFY(summary != before);
        });
        QVERIFY(!summary.isEmpty());
    }

    void defaultColours()
    {
        Setting::UserEnvironment e = *f->model->GetUserEnvironment();
        for (int i = 0; i < 8; ++i)
            e.Inks[i] = {QStringLiteral("Ink%1").arg(i), 100 * i, -100 * i, 50 * i};
        QCOMPARE(f->model->SetUserEnvironment(e), 0);
        const QByteArray before = readFile(settingsPath());

        CVCSetting cancelled(f->model.get(), 1);
        ModalRunner::Run(&cancelled, [](QDialog *d) {
            QTest::mouseClick(child<QPushButton>(d, "pushDefault"), Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(d, "cancelButton"), Qt::LeftButton);
        });
        QCOMPARE(readFile(settingsPath()), before);

        runDialog([](QDialog *d) { QTest::mouseClick(child<QPushButton>(d, "pushDefault"), Qt::LeftButton); }, nullptr, 1);
        const InkChannelList reference = f->model->GetReferenceColors();
        const InkChannelList &stored = f->model->GetUserEnvironment()->Inks;
        for (int i = 0; i < 8; ++i) {
            const InkChannel &want = i < 4 ? e.Inks.at(i) : reference.at(i);
            QCOMPARE(stored.at(i).name, want.name);
            QCOMPARE(stored.at(i).L, want.L);
            QCOMPARE(stored.at(i).a, want.a);
            QCOMPARE(stored.at(i).b, want.b);
        }
    }
};

QTEST_MAIN(TestSetting)
#include "test_setting.moc"
