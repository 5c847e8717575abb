// The measurement-data save dialog over a model with one stored density measurement: its form, the two
// preparations, the folder and printer lists, the file name, Save's refusals and files, and the upload's end,
// with a fake uploader and against the printer server script.

#include "mainwindow/vcmeasuredatasave.h"

#include "app/helpers.h"
#include "app/messagetables.h"
#include "app/storeconventions.h"
#include "files/measuredataprintersave.h"
#include "mainwindow/printeruploader.h"
#include "formprobe.h"
#include "modelfixture.h"
#include "printerserver.h"
#include "scriptedpresenter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kDate = QStringLiteral("2024/03/04 05:06:07");

template <typename T> T *Child(QObject *dialog, const char *name)
{
    T *child = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!child)
        qFatal("no %s", name);
    return child;
}

QTableWidget *Table(QObject *d)
{
    return Child<QTableWidget>(d, "tableSaveList");
}

// The table's texts row by row.
QList<QStringList> Rows(QObject *d)
{
    QList<QStringList> rows;
    QTableWidget *table = Table(d);
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < table->columnCount(); ++c)
            row << (table->item(r, c) ? table->item(r, c)->text() : QString());
        rows << row;
    }
    return rows;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Setting::PrinterInfo Printer(const QString &name, const QString &address, const QString &port = QStringLiteral("80"))
{
    return {name, QStringLiteral("pw-") + name, address, port};
}

// Records every Send, answers it as told and finishes only when the test says so.
class FakeUploader : public CMeasureDataPrinterSave
{
public:
    FakeUploader(QObject *parent, bool answer, QList<QStringList> *sends)
        : CMeasureDataPrinterSave(parent), m_answer(answer), m_sends(sends)
    {
    }
    bool Send(const QString &host, const QString &port, const QString &password, const QString &path) override
    {
        *m_sends << QStringList{host, port, password, path};
        return m_answer;
    }
    void Finish(int networkError, int result, const QString &message) { emit Finished(networkError, result, message); }

private:
    bool m_answer;
    QList<QStringList> *m_sends;
};

} // namespace

class TestMeasureDataSave : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<QTemporaryDir> dir;
    QList<QStringList> sends;
    QPointer<FakeUploader> uploader;

    CModel *Model() { return f->model.get(); }

    // A density chart with one measurement, selected as the density window selects it before saving.
    bool MakeMeasurement()
    {
        const int chartId = CreateDensityChart(Model(), SmallGrid{1, 2, 3});
        if (chartId == 0)
            return false;
        MeasurementDataSheets measurement;
        measurement.SerialNumber = QStringLiteral("1234567");
        measurement.SheetCount = 1;
        measurement.RecordCount = 6;
        measurement.Sheets = NewMeasurementPages(1);
        measurement.Sheets[0] = MakeSmallMeasurement(MakeSmallSheet(SmallGrid{1, 2, 3}, false), 6);
        int id = 0;
        if (CModelAccess::DocumentData(*Model())->CreateDensityMeasure(&id, chartId, &measurement) != 0)
            return false;
        return Model()->SelectFileID(CModel::KindDensityMeasure, id, chartId) == 0;
    }

    // What Save must write for that measurement.
    QByteArray Expected(int templateFirstNumber)
    {
        const QString path = dir->filePath(QStringLiteral("expected.out"));
        QFile::remove(path);
        const Setting::MeasureConditionSetting &conditions = *Model()->GetMeasurementCondition(1);
        if (Model()->ExportDensityMeasureData(path, kDate, templateFirstNumber, conditions) != 0)
            return QByteArray();
        const QByteArray bytes = ReadAll(path);
        QFile::remove(path);
        return bytes;
    }

    void Store(const QStringList &folders, const QList<Setting::PrinterInfo> &printers, int kind = 0,
               int selected = 0, bool autoTransmission = true)
    {
        Setting::MeasureDataSave record;
        for (int i = 0; i < folders.size(); ++i)
            record.Folders[i] = folders.at(i);
        for (int i = 0; i < printers.size(); ++i)
            record.Printers[i] = printers.at(i);
        record.FolderCount = folders.size();
        record.PrinterCount = printers.size();
        record.SaveKind = kind;
        record.SelectedIndex = selected;
        record.AutoTransmission = autoTransmission;
        QCOMPARE(Model()->SetMeasureDataSaveSetting(record), 0);
    }

    QString Folder(const QString &name)
    {
        const QString path = dir->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QString UploadFile(const QString &label)
    {
        return AppDataDir() + QLatin1Char('/') + label + QStringLiteral(".txt");
    }

    void UseFakeUploader(bool answer)
    {
        SetPrinterUploaderFactory([this, answer](QObject *parent) {
            auto *fake = new FakeUploader(parent, answer, &sends);
            uploader = fake;
            return fake;
        });
    }

    // Save mode, printer kind, the one printer current, PrintID P1.
    void PrepareUpload(CVCMeasureDataSave &dialog, const Setting::PrinterInfo &printer)
    {
        Store({Folder(QStringLiteral("out"))}, {printer}, 1, 0);
        dialog.Prepare(kDate, 1, 0, 7, 0);
        dialog.SetPrintID(QStringLiteral("P1"));
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        dir.reset(new QTemporaryDir);
        QVERIFY(f->Make());
        QVERIFY(MakeMeasurement());
        sends.clear();
    }
    void cleanup()
    {
        SetPrinterUploaderFactory(nullptr);
        f.reset();
        dir.reset();
    }

    void form_data()
    {
        AddFormObjectRows({{"groupSaveLocation", "QGroupBox"},
                           {"radioFolder", "QRadioButton"},
                           {"radioPrinter", "QRadioButton"},
                           {"tableSaveList", "QTableWidget"},
                           {"pushDelete", "QPushButton"},
                           {"pushAdd", "QPushButton"},
                           {"groupFileName", "QGroupBox"},
                           {"labelName", "QLabel"},
                           {"labelSaveFileName", "QLabel"},
                           {"labelPrintID", "QLabel"},
                           {"editPrintID", "QLineEdit"},
                           {"labelAddFileName", "QLabel"},
                           {"editAddFileName", "QLineEdit"},
                           {"groupAutomaticTransmission", "QGroupBox"},
                           {"checkAutoSave", "QCheckBox"},
                           {"line_3", "QFrame"},
                           {"hLayoutFooter", "QHBoxLayout"},
                           {"okButton", "QPushButton"},
                           {"pushSave", "QPushButton"},
                           {"cancelButton", "QPushButton"}});
    }
    void form()
    {
        CVCMeasureDataSave dialog(Model());
        QCOMPARE(dialog.objectName(), QStringLiteral("MeasureDataSaveDialog"));
        VerifyFormObject(&dialog);
    }

    void formAsBuilt()
    {
        CVCMeasureDataSave dialog(Model());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Save Measurement data"));
        QCOMPARE(dialog.size(), QSize(600, 550));
        QVERIFY(Child<QRadioButton>(&dialog, "radioFolder")->isChecked());
        QVERIFY(Child<QCheckBox>(&dialog, "checkAutoSave")->isChecked());
        QCOMPARE(Child<QCheckBox>(&dialog, "checkAutoSave")->text(),
                 QStringLiteral("Send measurement result automatically after measurement"));
        QVERIFY(Child<QGroupBox>(&dialog, "groupAutomaticTransmission")->isEnabled());
        for (const char *name : {"groupSaveLocation", "groupFileName"}) {
            const QFont font = Child<QGroupBox>(&dialog, name)->font();
            QCOMPARE(font.family(), DefaultUiFont().family());
            QCOMPARE(font.pointSize(), DefaultUiFont().pointSize());
        }

        QTableWidget *table = Table(&dialog);
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(table->columnCount(), 0);
        QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(table->verticalHeader()->isHidden());
        QVERIFY(!Child<QPushButton>(&dialog, "pushAdd")->autoDefault());
        QVERIFY(!Child<QPushButton>(&dialog, "pushDelete")->autoDefault());

        for (const char *name : {"editPrintID", "editAddFileName"}) {
            QCOMPARE(Child<QLineEdit>(&dialog, name)->maxLength(), 255);
            QVERIFY(Child<QLineEdit>(&dialog, name)->minimumWidth() >= 360);
        }
        QVERIFY(Child<QLabel>(&dialog, "labelSaveFileName")->minimumWidth() >= 360);

        auto *footer = Child<QHBoxLayout>(&dialog, "hLayoutFooter");
        QCOMPARE(footer->spacing(), 6);
        QCOMPARE(footer->contentsMargins(), QMargins());
        auto *ok = Child<QPushButton>(&dialog, "okButton");
        auto *box = qobject_cast<QDialogButtonBox *>(ok->parentWidget());
        QVERIFY(box);
        QCOMPARE(box->buttonRole(ok), QDialogButtonBox::ActionRole);
        QCOMPARE(box->buttonRole(Child<QPushButton>(&dialog, "pushSave")), QDialogButtonBox::AcceptRole);
        QCOMPARE(box->buttonRole(Child<QPushButton>(&dialog, "cancelButton")), QDialogButtonBox::RejectRole);

        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "cancelButton")->click();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    }

    // Which parts each preparation shows. The automatic-transmission group follows instruments 0 and 1 of
    // the last save-mode preparation only.
    void modes_data()
    {
        QTest::addColumn<int>("earlierInstrument"); // a save-mode preparation before; -1 none
        QTest::addColumn<bool>("setting");
        QTest::addColumn<int>("secondNumber");
        QTest::addColumn<int>("instrument");
        QTest::addColumn<QList<bool>>("shown"); // file name, Save, OK, additional name, automatic transmission
        QTest::newRow("save, second number 1, scanner") << -1 << false << 1 << 0 << QList<bool>{1, 1, 0, 1, 1};
        QTest::newRow("save, second number 0, handheld") << -1 << false << 0 << 1 << QList<bool>{1, 1, 0, 0, 0};
        QTest::newRow("save, instrument 2 after a handheld") << 1 << false << 2 << 2 << QList<bool>{1, 1, 0, 1, 0};
        QTest::newRow("save, instrument 2 after the scanner") << 0 << false << 0 << 2 << QList<bool>{1, 1, 0, 0, 1};
        QTest::newRow("setting, first use") << -1 << true << 0 << 0 << QList<bool>{0, 0, 1, 0, 1};
        QTest::newRow("setting after a handheld save") << 1 << true << 0 << 0 << QList<bool>{0, 0, 1, 0, 0};
    }
    void modes()
    {
        QFETCH(int, earlierInstrument);
        QFETCH(bool, setting);
        QFETCH(int, secondNumber);
        QFETCH(int, instrument);
        QFETCH(QList<bool>, shown);
        CVCMeasureDataSave dialog(Model());
        if (earlierInstrument >= 0)
            dialog.Prepare(kDate, 1, 1, 7, earlierInstrument);
        if (setting)
            dialog.PrepareSetting();
        else
            dialog.Prepare(kDate, 1, secondNumber, 7, instrument);
        const auto visible = [&dialog](const char *name) {
            return Child<QWidget>(&dialog, name)->isVisibleTo(&dialog);
        };
        QCOMPARE(visible("groupFileName"), shown.at(0));
        QCOMPARE(visible("pushSave"), shown.at(1));
        QCOMPARE(visible("okButton"), shown.at(2));
        QCOMPARE(visible("editAddFileName"), shown.at(3));
        QCOMPARE(visible("labelAddFileName"), shown.at(3));
        QCOMPARE(visible("groupAutomaticTransmission"), shown.at(4));
        QCOMPARE(visible("checkAutoSave"), shown.at(4));
    }

    // Slots with gaps come in as compact lists; the stored kind and index choose the row; OK hands back the
    // lists compacted with the group counts at 0, and the additional file name of the record while its field
    // is hidden.
    void recordInAndOut()
    {
        ScriptedPresenter script;
        Setting::MeasureDataSave record;
        record.Folders[0] = Folder(QStringLiteral("a"));
        record.Folders[2] = Folder(QStringLiteral("c"));
        record.FolderCount = 3;
        record.Printers[0] = Printer(QStringLiteral("P1"), QStringLiteral("10.0.0.1"));
        record.Printers[2] = Printer(QStringLiteral("P3"), QStringLiteral("10.0.0.3"), QStringLiteral("30091"));
        record.PrinterCount = 3;
        record.SaveKind = 1;
        record.SelectedIndex = 1;
        record.AutoTransmission = false;
        record.AddFileName = QStringLiteral("Kept");
        QCOMPARE(Model()->SetMeasureDataSaveSetting(record), 0);

        CVCMeasureDataSave dialog(Model());
        dialog.PrepareSetting();
        QVERIFY(Child<QRadioButton>(&dialog, "radioPrinter")->isChecked());
        QVERIFY(!Child<QCheckBox>(&dialog, "checkAutoSave")->isChecked());
        QTableWidget *table = Table(&dialog);
        QCOMPARE(Rows(&dialog), (QList<QStringList>{{"P1", "10.0.0.1", "80"}, {"P3", "10.0.0.3", "30091"}}));
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Name"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("IP"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("Port"));
        QCOMPARE(QList<int>({table->columnWidth(0), table->columnWidth(1), table->columnWidth(2)}),
                 QList<int>({220, 120, 70}));
        QCOMPARE(table->currentRow(), 1);
        QVERIFY(Child<QPushButton>(&dialog, "pushAdd")->isEnabled());
        QVERIFY(Child<QPushButton>(&dialog, "pushDelete")->isEnabled());

        Child<QRadioButton>(&dialog, "radioFolder")->setChecked(true);
        QCOMPARE(Rows(&dialog), (QList<QStringList>{{record.Folders[0]}, {record.Folders[2]}}));
        QCOMPARE(table->columnWidth(0), 410);
        QCOMPARE(table->currentRow(), 0);
        table->setCurrentCell(1, 0);

        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "okButton")->click();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
        const Setting::MeasureDataSave &out = dialog.GetMeasureDataSave();
        QCOMPARE(out.FolderCount, 0);
        QCOMPARE(out.PrinterCount, 0);
        QCOMPARE(QStringList(std::begin(out.Folders), std::end(out.Folders)),
                 QStringList({record.Folders[0], record.Folders[2], "", "", ""}));
        QCOMPARE(out.Printers[1].Name, QStringLiteral("P3"));
        QCOMPARE(out.Printers[1].Password, QStringLiteral("pw-P3"));
        QVERIFY(out.Printers[2].Name.isEmpty());
        QCOMPARE(out.SaveKind, 0);
        QCOMPARE(out.SelectedIndex, 1);
        QCOMPARE(out.AutoTransmission, false);
        QCOMPARE(out.AddFileName, QStringLiteral("Kept"));
        // The dialog never stores the record.
        QCOMPARE(Model()->GetMeasureDataSaveSetting()->FolderCount, 3);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void noStoredFolderGivesTheDocumentsFolder()
    {
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        QCOMPARE(Rows(&dialog), QList<QStringList>{{UserDocumentsDataDir()}});
        QCOMPARE(Table(&dialog)->currentRow(), 0);
    }

    void label_data()
    {
        QTest::addColumn<int>("secondNumber");
        QTest::addColumn<QString>("printId");
        QTest::addColumn<QString>("addName");
        QTest::addColumn<QString>("label");
        QTest::newRow("both") << 1 << "A12" << "B7" << "A12_B7";
        QTest::newRow("PrintID only") << 1 << "A12" << "" << "A12";
        QTest::newRow("additional name only") << 1 << "" << "B7" << "B7";
        QTest::newRow("row hidden, PrintID empty") << 0 << "" << "" << "";
    }
    void label()
    {
        QFETCH(int, secondNumber);
        QFETCH(QString, printId);
        QFETCH(QString, addName);
        QFETCH(QString, label);
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, secondNumber, 7, 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // The label follows the end of editing, by Return as by focus.
        auto *addField = Child<QLineEdit>(&dialog, "editAddFileName");
        if (addField->isVisible()) {
            addField->setFocus();
            QTest::keyClicks(addField, addName);
            QTest::keyClick(addField, Qt::Key_Return);
        }
        auto *idField = Child<QLineEdit>(&dialog, "editPrintID");
        idField->setFocus();
        QTest::keyClicks(idField, printId);
        QTest::keyClick(idField, Qt::Key_Return);
        QCOMPARE(Child<QLabel>(&dialog, "labelSaveFileName")->text(), label);
    }

    void additionalNameTakesLettersAndDigitsOnly()
    {
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 1, 7, 0);
        auto *field = Child<QLineEdit>(&dialog, "editAddFileName");
        QTest::keyClicks(field, QStringLiteral("Ab"));
        QTest::sendKeyEvent(QTest::Press, field, Qt::Key_Eacute, QStringLiteral("\u00e9"), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, field, Qt::Key_Eacute, QStringLiteral("\u00e9"), Qt::NoModifier);
        QTest::keyClicks(field, QStringLiteral("_9 -z"));
        QCOMPARE(field->text(), QStringLiteral("Ab9z"));
    }

    // Each refusal reports its message, writes nothing and leaves the dialog open.
    void saveRefused_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("printId");
        QTest::addColumn<int>("message");
        QTest::newRow("no printer row") << "no printer" << "P1" << 40;
        QTest::newRow("no current row") << "no current" << "P1" << 40;
        QTest::newRow("empty PrintID, additional row hidden") << "" << "" << 41;
        QTest::newRow("../x") << "" << "../x" << 47;
        QTest::newRow("a/b") << "" << "a/b" << 47;
        QTest::newRow("a:b") << "" << "a:b" << 47;
        QTest::newRow(".") << "" << "." << 47;
        QTest::newRow("folder gone: the write fails") << "folder gone" << "P1" << 51;
    }
    void saveRefused()
    {
        QFETCH(QString, situation);
        QFETCH(QString, printId);
        QFETCH(int, message);
        ScriptedPresenter script;
        UseFakeUploader(true);
        const QString folder = Folder(QStringLiteral("out/inner"));
        QDir().mkpath(folder + QStringLiteral("/a"));
        Store({folder}, {}, situation == QLatin1String("no printer") ? 1 : 0);
        if (situation == QLatin1String("no printer"))
            script.ExpectDialog(QStringLiteral("CVCPrinterAdd"), [](QDialog *d) { d->reject(); });

        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        if (situation == QLatin1String("no current"))
            Table(&dialog)->setCurrentCell(-1, -1);
        if (situation == QLatin1String("folder gone"))
            QVERIFY(QDir(folder).removeRecursively());
        dialog.SetPrintID(printId);
        QSignalSpy finished(&dialog, &QDialog::finished);
        const QStringList appDataBefore = QDir(AppDataDir()).entryList(QDir::Files);
        Child<QPushButton>(&dialog, "pushSave")->click();

        QCOMPARE(f->window->errors, QList<int>{message});
        QCOMPARE(finished.size(), 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(folder + QStringLiteral("/a")).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(dir->filePath(QStringLiteral("out"))).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(AppDataDir()).entryList(QDir::Files), appDataBefore);
        QVERIFY(sends.isEmpty());
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void saveToFolder_data()
    {
        QTest::addColumn<int>("templateFirstNumber");
        QTest::addColumn<int>("measureKind");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("first number 0, kind 2") << 0 << 2 << "P1_B7.mdz";
        QTest::newRow("first number 0, kind 3") << 0 << 3 << "P1_B7.mdz";
        QTest::newRow("first number 0, kind 1") << 0 << 1 << "P1_B7.txt";
        QTest::newRow("first number 7, kind 2") << 7 << 2 << "P1_B7.txt";
    }
    void saveToFolder()
    {
        QFETCH(int, templateFirstNumber);
        QFETCH(int, measureKind);
        QFETCH(QString, fileName);
        const QString first = Folder(QStringLiteral("first"));
        const QString second = Folder(QStringLiteral("second"));
        Store({first, second}, {}, 0, 1);
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, measureKind, 1, templateFirstNumber, 0);
        dialog.SetPrintID(QStringLiteral("P1"));
        dialog.SetAddFileName(QStringLiteral("B7"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "pushSave")->click();

        QCOMPARE(f->window->errors, QList<int>());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
        QCOMPARE(QDir(first).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(second).entryList(QDir::Files), QStringList{fileName});
        const QByteArray expected = Expected(templateFirstNumber);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(ReadAll(second + QLatin1Char('/') + fileName), expected);
        QCOMPARE(dialog.GetMeasureDataSave().PrintID, QStringLiteral("P1"));
        QCOMPARE(dialog.GetMeasureDataSave().AddFileName, QStringLiteral("B7"));
        QCOMPARE(dialog.GetMeasureDataSave().SelectedIndex, 1);
    }

    void overwrite_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void overwrite()
    {
        QFETCH(bool, yes);
        ScriptedPresenter script;
        const QString folder = Folder(QStringLiteral("out"));
        const QString path = folder + QStringLiteral("/P1.txt");
        QVERIFY(WriteAll(path, "old"));
        // Another kind's file of the same name is no question.
        QVERIFY(WriteAll(folder + QStringLiteral("/P1.mdz"), "other"));
        Store({folder}, {});
        script.ExpectAsk(QStringLiteral("P1.txt already exists. Are you sure you want to overwrite?"),
                         yes ? QMessageBox::Yes : QMessageBox::No);
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        dialog.SetPrintID(QStringLiteral("P1"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "pushSave")->click();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(finished.size(), yes ? 1 : 0);
        QCOMPARE(ReadAll(path), yes ? Expected(7) : QByteArray("old"));
        QCOMPARE(ReadAll(folder + QStringLiteral("/P1.mdz")), QByteArray("other"));
    }

    void kindSwitchRestoresTheFolderRow()
    {
        ScriptedPresenter script;
        Store({Folder("a"), Folder("b"), Folder("c")},
              {Printer("P1", "10.0.0.1"), Printer("P2", "10.0.0.2")});
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        Table(&dialog)->setCurrentCell(2, 0);
        Child<QRadioButton>(&dialog, "radioPrinter")->setChecked(true);
        QCOMPARE(Rows(&dialog).size(), 2);
        QCOMPARE(Table(&dialog)->currentRow(), 0);
        Table(&dialog)->setCurrentCell(1, 0);
        Child<QRadioButton>(&dialog, "radioFolder")->setChecked(true);
        QCOMPARE(Table(&dialog)->currentRow(), 2);
        Child<QRadioButton>(&dialog, "radioPrinter")->setChecked(true);
        QCOMPARE(Table(&dialog)->currentRow(), 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // The printer kind with no printer asks for one at once, preset with the chart's address; deleting the
    // last printer afterwards asks for nothing.
    void printerKindWithoutPrinterAsksForOne()
    {
        ScriptedPresenter script;
        QString presetAddress;
        script.ExpectDialog(QStringLiteral("CVCPrinterAdd"), [&presetAddress](QDialog *d) {
            presetAddress = Child<QLineEdit>(d, "editIPAddress")->text();
            Child<QLineEdit>(d, "editPrinterName")->setText(QStringLiteral("Local"));
            Child<QLineEdit>(d, "editPassword")->setText(QStringLiteral("pw"));
            Child<QLineEdit>(d, "editPort")->setText(QStringLiteral("30091"));
            Child<QPushButton>(d, "pushOK")->click();
        });
        Store({Folder("a")}, {});
        CVCMeasureDataSave dialog(Model());
        dialog.PrepareSetting();
        dialog.SelectPrinterByAddress(QStringLiteral("127.0.0.1"));
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(presetAddress, QStringLiteral("127.0.0.1"));
        QVERIFY(Child<QRadioButton>(&dialog, "radioPrinter")->isChecked());
        QCOMPARE(Rows(&dialog), (QList<QStringList>{{"Local", "127.0.0.1", "30091"}}));
        QCOMPARE(Table(&dialog)->currentRow(), 0);

        Child<QPushButton>(&dialog, "okButton")->click();
        const Setting::PrinterInfo &stored = dialog.GetMeasureDataSave().Printers[0];
        QCOMPARE(QStringList({stored.Name, stored.Password, stored.IPAddress, stored.Port}),
                 QStringList({"Local", "pw", "127.0.0.1", "30091"}));
        QCOMPARE(dialog.GetMeasureDataSave().SaveKind, 1);

        Child<QPushButton>(&dialog, "pushDelete")->click();
        QCOMPARE(Rows(&dialog), QList<QStringList>());
        QVERIFY(!Child<QPushButton>(&dialog, "pushDelete")->isEnabled());
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void selectPrinterByAddressTakesTheLastMatch()
    {
        ScriptedPresenter script;
        Store({Folder("a")}, {Printer("A", "10.0.0.1"), Printer("B", "10.0.0.2"), Printer("C", "10.0.0.1")});
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        dialog.SelectPrinterByAddress(QStringLiteral("10.0.0.1"));
        QVERIFY(Child<QRadioButton>(&dialog, "radioPrinter")->isChecked());
        QCOMPARE(Table(&dialog)->currentRow(), 2);
        // An address no printer has keeps the row.
        dialog.SelectPrinterByAddress(QStringLiteral("10.0.0.9"));
        QCOMPARE(Table(&dialog)->currentRow(), 2);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void fiveRowsDisableAdd_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("folders") << 0;
        QTest::newRow("printers") << 1;
    }
    void fiveRowsDisableAdd()
    {
        QFETCH(int, kind);
        ScriptedPresenter script; // no directory dialog and no printer entry expected
        QStringList folders;
        QList<Setting::PrinterInfo> printers;
        for (int i = 0; i < 5; ++i) {
            folders << Folder(QStringLiteral("f%1").arg(i));
            printers << Printer(QStringLiteral("P%1").arg(i), QStringLiteral("10.0.0.%1").arg(i));
        }
        Store(folders, printers, kind);
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        auto *add = Child<QPushButton>(&dialog, "pushAdd");
        QCOMPARE(Rows(&dialog).size(), 5);
        QVERIFY(!add->isEnabled());
        if (kind == 0)
            dialog.addFolderInfo();
        else
            dialog.addPrinterInfo();
        QCOMPARE(Rows(&dialog).size(), 5);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));

        Table(&dialog)->setCurrentCell(3, 0);
        Child<QPushButton>(&dialog, "pushDelete")->click();
        QCOMPARE(Rows(&dialog).size(), 4);
        QVERIFY(add->isEnabled());
        QCOMPARE(Rows(&dialog).at(3).at(0), kind == 0 ? folders.at(4) : QStringLiteral("P4"));
    }

    void addFolder()
    {
        ScriptedPresenter script;
        const QString a = Folder("a");
        const QString b = Folder("b");
        const QString fresh = Folder("fresh");
        QCOMPARE(Model()->SetLastFolder(b), 0);
        Store({a, b}, {});
        script.ExpectDirectory(QStringLiteral("Choose Folder"), a)
            .ExpectDirectory(QStringLiteral("Choose Folder"), fresh)
            .ExpectDirectory(QStringLiteral("Choose Folder"), QString());
        CVCMeasureDataSave dialog(Model());
        dialog.Prepare(kDate, 1, 0, 7, 0);
        auto *add = Child<QPushButton>(&dialog, "pushAdd");

        // Listed already: nothing added, but it is the last folder now.
        add->click();
        QCOMPARE(Rows(&dialog), (QList<QStringList>{{a}, {b}}));
        QCOMPARE(Model()->GetLastFolder(), a);
        QCOMPARE(script.Calls().at(0).folder, b);

        add->click();
        QCOMPARE(Rows(&dialog), (QList<QStringList>{{a}, {b}, {fresh}}));
        QCOMPARE(Table(&dialog)->currentRow(), 2);
        QCOMPARE(Model()->GetLastFolder(), fresh);

        add->click(); // cancelled
        QCOMPARE(Rows(&dialog).size(), 3);
        QCOMPARE(Model()->GetLastFolder(), fresh);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // An upload that cannot start fails at once: its file goes, the dialog is free and stays open.
    void uploadRefused()
    {
        ScriptedPresenter script;
        script.ExpectWarn(FindMessageRecord(17).text);
        UseFakeUploader(false);
        CVCMeasureDataSave dialog(Model());
        PrepareUpload(dialog, Printer(QStringLiteral("Local"), QStringLiteral("10.0.0.5"), QStringLiteral("30091")));
        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "pushSave")->click();

        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(FindMessageRecord(17).text, QStringLiteral("Failed to save measurement data to printer. "));
        const QList<QStringList> expectedSends{{"10.0.0.5", "30091", "pw-Local", UploadFile("P1")}};
        QCOMPARE(sends, expectedSends);
        QVERIFY(!QFileInfo::exists(UploadFile("P1")));
        QCOMPARE(finished.size(), 0);
        for (const char *name : {"groupSaveLocation", "groupFileName", "pushSave", "cancelButton"})
            QVERIFY2(Child<QWidget>(&dialog, name)->isEnabled(), name);
        QCOMPARE(f->window->errors, QList<int>());
        dialog.reject();
        QCOMPARE(finished.size(), 1);
    }

    // While the upload runs nothing closes the dialog; its end removes the file it sent whatever the kind
    // shows by then, and only a written answer closes the dialog.
    void uploadEnd_data()
    {
        QTest::addColumn<int>("networkError");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("written") << 0 << 0 << "" << true;
        QTest::newRow("printer refused") << 0 << 1 << "Failed to write data." << false;
        QTest::newRow("transport error") << 1 << 0 << "Connection refused" << false;
    }
    void uploadEnd()
    {
        QFETCH(int, networkError);
        QFETCH(int, result);
        QFETCH(QString, message);
        QFETCH(bool, accepted);
        ScriptedPresenter script;
        UseFakeUploader(true);
        CVCMeasureDataSave dialog(Model());
        PrepareUpload(dialog, Printer(QStringLiteral("Local"), QStringLiteral("10.0.0.5")));
        dialog.show();
        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "pushSave")->click();
        QCOMPARE(sends.size(), 1);
        QVERIFY(uploader);
        QCOMPARE(uploader->parent(), &dialog);
        QVERIFY(QFileInfo::exists(UploadFile("P1")));
        for (const char *name : {"groupSaveLocation", "groupFileName", "pushSave", "cancelButton"})
            QVERIFY2(!Child<QWidget>(&dialog, name)->isEnabled(), name);

        dialog.reject();
        dialog.close();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(finished.size(), 0);
        QVERIFY(dialog.isVisible());

        Child<QRadioButton>(&dialog, "radioFolder")->setChecked(true);
        if (!accepted)
            script.ExpectWarn(message);
        uploader->Finish(networkError, result, message);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(!QFileInfo::exists(UploadFile("P1")));
        QCOMPARE(QDir(dir->filePath(QStringLiteral("out"))).entryList(QDir::Files), QStringList());
        QCOMPARE(finished.size(), accepted ? 1 : 0);
        for (const char *name : {"groupSaveLocation", "groupFileName", "pushSave", "cancelButton"})
            QVERIFY2(Child<QWidget>(&dialog, name)->isEnabled(), name);
        if (accepted) {
            QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
        } else {
            dialog.reject();
            QCOMPARE(finished.size(), 1);
        }
    }

    // The real uploader against the printer page script.
    void liveUpload_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("warning");
        QTest::newRow("success page") << "sentence0" << "";
        QTest::newRow("failure page") << "sentence1" << "Failed to write data.";
    }
    void liveUpload()
    {
        QFETCH(QString, mode);
        QFETCH(QString, warning);
        ScriptedPresenter script;
        if (!warning.isEmpty())
            script.ExpectWarn(warning);
        CVCMeasureDataSave dialog(Model());
        PrepareUpload(dialog, {QStringLiteral("Local"), QStringLiteral("pw"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("30091")});
        const QByteArray expected = Expected(7);
        QVERIFY(!expected.isEmpty());
        PrinterServer server;
        QVERIFY2(server.Start(mode, dir->filePath(QStringLiteral("report.json"))),
                 qPrintable(QStringLiteral("printer server did not start: ") + QString::fromUtf8(server.Output())));

        QSignalSpy finished(&dialog, &QDialog::finished);
        Child<QPushButton>(&dialog, "pushSave")->click();
        auto *sender = dialog.findChild<CMeasureDataPrinterSave *>();
        QVERIFY(sender);
        QSignalSpy answered(sender, &CMeasureDataPrinterSave::Finished);
        QVERIFY(answered.wait(15000));

        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(!QFileInfo::exists(UploadFile("P1")));
        QCOMPARE(finished.size(), warning.isEmpty() ? 1 : 0);
        QVERIFY(Child<QWidget>(&dialog, "pushSave")->isEnabled());
        const QJsonArray requests = server.Requests();
        QCOMPARE(requests.size(), 1);
        QByteArray sent;
        for (const QJsonValue &part : requests.at(0).toObject().value(QStringLiteral("parts")).toArray()) {
            if (part.toObject().value(QStringLiteral("filename_raw")).toString().contains(QStringLiteral("P1.txt")))
                sent = QByteArray::fromBase64(part.toObject().value(QStringLiteral("body_b64")).toString().toLatin1());
        }
        QCOMPARE(sent, expected);
    }
};

QTEST_MAIN(TestMeasureDataSave)
#include "test_measuredatasave.moc"
