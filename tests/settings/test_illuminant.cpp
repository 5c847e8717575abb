// The user illuminant dialog over a real model: the Lumet through the real libraries on the simulated bus, the
// simulated handheld, light-source files, and the user-illuminant store file written by hand where a damaged
// or unusual record matters.
#include "settings/vcilluminantsetting.h"

#include "files/iodatafile.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include "vexhid_sim.h"

#include <QDataStream>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <sys/stat.h>

using namespace QtCharts;

namespace {

struct Plotted {
    QVector<QPointF> points;
    int series = 0;
    int axes = 0;
};

VexSimStoredSeed Seed(float level, std::initializer_list<int> date)
{
    VexSimStoredSeed seed{};
    for (int j = 0; j < 421; ++j)
        seed.spectrum[j] = level * (1.0f + float(j) / 100.0f);
    std::copy(date.begin(), date.end(), seed.date);
    return seed;
}

// The stored record as the program holds it: 300 to 780 nm at 5 nm, the 1 nm spectrum in mW, 0 below 360 nm.
double SeedValue(const VexSimStoredSeed &seed, int i)
{
    const int nm = 300 + 5 * i;
    return nm < 360 ? 0.0 : double(static_cast<float>(seed.spectrum[nm - 360] * 1000.0));
}

QString ReadText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
}

bool WriteText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(text.toUtf8()) >= 0;
}

QString ValueLines(float base)
{
    QString text;
    for (int i = 0; i < 97; ++i)
        text += QString::number(double(base) + i * 0.5, 'f', 4) + QLatin1Char('\n');
    return text;
}

QString Uid2(const QString &date, float base, bool spectrum = true)
{
    QString text = QStringLiteral("#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\n\n#FORMAT_VERSION,01.00\n\n#CREATE_TIME,%1\n\n"
                                  "#INSTRUMENTATION,Velmar Ostrand Brisa\n\n#BEGIN_WAVELENGTH,300\n\n"
                                  "#PITCH_WAVELENGTH,5\n\n#END_WAVELENGTH,780\n\n")
                       .arg(date);
    if (spectrum)
        text += QStringLiteral("#BEGIN_SPECTRUM_DATA\n") + ValueLines(base) + QStringLiteral("#END_SPECTRUM_DATA\n");
    return text;
}

struct StoreRecord {
    QString name;
    QString date;
    int source;
    int start;
    int step;
    int end;
    float base;
};

// The user-illuminant store file as the store writes it: version bytes, count, then each record with 97 values.
bool WriteStore(const QString &path, const QList<StoreRecord> &records)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QDataStream stream(&file);
    stream.setVersion(15);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
    stream << quint8(1) << quint8(0) << qint32(records.size());
    for (const StoreRecord &r : records) {
        stream << r.name << r.date << qint32(r.source) << qint32(r.start) << qint32(r.step) << qint32(r.end);
        stream << qint32(97);
        for (int i = 0; i < 97; ++i)
            stream << double(r.base + float(i));
    }
    return stream.status() == QDataStream::Ok;
}

StoreRecord Named(const QString &name, int source = 3)
{
    return {name, QStringLiteral("20230506070809"), source, 300, 5, 780, 1.0f};
}

ino_t Inode(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

class TestIlluminant : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<CVCIlluminantSetting> dialog;
    QVector<unsigned long> sleeps;
    QTemporaryDir files;

    QTreeWidget *UserList() const { return dialog->findChild<QTreeWidget *>(QStringLiteral("treeIlluminant")); }
    QTreeWidget *Instruments() const { return dialog->findChild<QTreeWidget *>(QStringLiteral("treeInstrument")); }
    QTreeWidgetItem *Handheld() const { return Instruments()->topLevelItem(0); }
    QTreeWidgetItem *Lumet() const { return Instruments()->topLevelItem(1); }
    QPushButton *Button(const char *name) const { return dialog->findChild<QPushButton *>(QString::fromLatin1(name)); }
    QString StorePath() const { return CModelAccess::IlluminantData(*f->model)->FilePath(); }

    Plotted Plot() const
    {
        QChart *chart = dialog->findChild<QChartView *>()->chart();
        Plotted p;
        p.series = chart->series().size();
        p.axes = chart->axes().size();
        if (p.series > 0)
            p.points = static_cast<QLineSeries *>(chart->series().first())->pointsVector();
        return p;
    }

    QStringList Rows() const
    {
        QStringList rows;
        for (int i = 0; i < UserList()->topLevelItemCount(); ++i)
            rows << UserList()->topLevelItem(i)->text(0);
        return rows;
    }

    // What the model's slot table lists, in slot order.
    QStringList SlotNames() const
    {
        QStringList names;
        for (const UserIlluminantSlot &slot : f->model->GetUserIlluminants())
            if (slot.Number >= 0)
                names << slot.Name;
        return names;
    }

    QTreeWidgetItem *Row(const QString &name) const
    {
        const QList<QTreeWidgetItem *> found = UserList()->findItems(name, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }

    // Replaces the store's content with the records and reloads it.
    void Store(const QList<StoreRecord> &records)
    {
        QVERIFY(WriteStore(StorePath(), records));
        CModelAccess::IlluminantData(*f->model)->Initialize();
    }

    void Run(const std::function<void()> &script)
    {
        ModalRunner::Run(dialog.get(), [&](QDialog *) { script(); });
    }

    // Three stored measurements; the second at 07:05:02 to show minutes before seconds.
    void SeedLumet()
    {
        VexSim_Reset();
        VexSim_AddInstrument(nullptr);
        for (const VexSimStoredSeed &seed : LumetSeeds())
            VexSim_AddStoredMeasurement(0, &seed);
    }
    static QList<VexSimStoredSeed> LumetSeeds()
    {
        return {Seed(0.5f, {2023, 4, 5, 6, 7, 8}), Seed(1.5f, {2023, 5, 6, 7, 5, 2}),
                Seed(2.5f, {2023, 6, 7, 8, 9, 10})};
    }

    QString File(const QString &name) const { return files.path() + QLatin1Char('/') + name; }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        sleeps.clear();
        CModelAccess::TanoController(*f->model)->SetSleepFunction([this](unsigned long ms) { sleeps << ms; });
        VexSim_Reset();
        dialog.reset(new CVCIlluminantSetting(f->model.get(), nullptr));
    }

    void cleanup()
    {
        dialog.reset();
        f.reset();
        VexSim_Reset();
    }

    void form_data()
    {
        AddFormObjectRows({
            {"groupIlluminant", "QGroupBox"},  {"treeIlluminant", "QTreeWidget"}, {"pushDataImport", "QPushButton"},
            {"groupInstrument", "QGroupBox"},  {"treeInstrument", "QTreeWidget"}, {"groupSpectral", "QGroupBox"},
            {"vLayoutSpectral", "QVBoxLayout"}, {"line", "QFrame"},               {"hLayoutFooter", "QHBoxLayout"},
            {"pushFileImport", "QPushButton"}, {"pushFileExport", "QPushButton"}, {"cancelButton", "QPushButton"}});
    }
    void form()
    {
        VerifyFormObject(dialog.get());
    }

    void formAsBuilt()
    {
        QCOMPARE(dialog->size(), QSize(792, 655));
        QCOMPARE(Instruments()->topLevelItemCount(), 2);
        const QStringList names = {QStringLiteral("Brisa"), QStringLiteral("Lumet")};
        for (int i = 0; i < 2; ++i) {
            QTreeWidgetItem *entry = Instruments()->topLevelItem(i);
            QCOMPARE(entry->text(0), names.at(i));
            QCOMPARE(entry->text(1), QStringLiteral("Disconnect"));
            QVERIFY(entry->flags() & Qt::ItemIsUserCheckable);
            QCOMPARE(entry->checkState(0), Qt::Unchecked);
        }
        QCOMPARE(UserList()->columnCount(), 3);
        QCOMPARE(UserList()->headerItem()->text(2), QStringLiteral("Date"));
        QVERIFY(UserList()->isSortingEnabled());
        QCOMPARE(UserList()->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(Button("pushDataImport")->text(), QStringLiteral("<<"));
        QVERIFY(!Button("pushDataImport")->autoDefault());
        auto *layout = dialog->findChild<QVBoxLayout *>(QStringLiteral("vLayoutSpectral"));
        QCOMPARE(layout->count(), 1);
        QVERIFY(qobject_cast<QChartView *>(layout->itemAt(0)->widget()));
        QVERIFY(qobject_cast<QDialogButtonBox *>(Button("cancelButton")->parentWidget()));
    }

    void lumet()
    {
        SeedLumet();
        const QList<VexSimStoredSeed> seeds = LumetSeeds();
        Run([&] {
            Lumet()->setCheckState(0, Qt::Checked);
            QCOMPARE(Lumet()->text(1), QStringLiteral("Connect : 12345678"));
            QCOMPARE(Lumet()->childCount(), 3);
            QCOMPARE(Lumet()->child(0)->text(0), QStringLiteral("001"));
            QCOMPARE(Lumet()->child(0)->text(1), QStringLiteral("2023/04/05 06:07:08"));
            QCOMPARE(Lumet()->child(1)->text(1), QStringLiteral("2023/05/06 07:05:02"));
            QCOMPARE(Lumet()->child(2)->text(0), QStringLiteral("003"));

            Instruments()->setCurrentItem(Lumet()->child(1));
            Plotted p = Plot();
            QCOMPARE(p.points.size(), 97);
            for (int i = 0; i < 97; ++i) {
                QCOMPARE(p.points.at(i).x(), 300.0 + 5 * i);
                QCOMPARE(p.points.at(i).y(), SeedValue(seeds.at(1), i));
            }
            Instruments()->setCurrentItem(Lumet());
            QCOMPARE(Plot().series, 0);

            Instruments()->setCurrentItem(Lumet()->child(2));
            Lumet()->setCheckState(0, Qt::Unchecked);
            QCOMPARE(Lumet()->childCount(), 0);
            QCOMPARE(Lumet()->text(1), QStringLiteral("Disconnect"));
            p = Plot();
            QCOMPARE(p.points.size(), 97);
            QCOMPARE(p.points.at(96).y(), SeedValue(seeds.at(2), 96));
        });
        QVERIFY(f->window->errors.isEmpty());
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void lumetFailures_data()
    {
        QTest::addColumn<bool>("instrument");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("checked");
        QTest::newRow("nothing stored") << true << 13 << true;
        QTest::newRow("no instrument") << false << 11 << false;
    }
    void lumetFailures()
    {
        QFETCH(bool, instrument);
        QFETCH(int, message);
        QFETCH(bool, checked);
        VexSim_Reset();
        if (instrument)
            VexSim_AddInstrument(nullptr);
        Run([&] {
            Lumet()->setCheckState(0, Qt::Checked);
            QCOMPARE(f->window->errors, QList<int>{message});
            QCOMPARE(Lumet()->checkState(0) == Qt::Checked, checked);
            QCOMPARE(Lumet()->childCount(), 0);
            if (!checked)
                QCOMPARE(Lumet()->text(1), QStringLiteral("Disconnect"));
        });
        QCOMPARE(VexSim_OpenHandleCount(), 0);
    }

    void handheld_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("text");
        QTest::newRow("Brisa") << 100 << "Connect : Brisa(1234567)";
        QTest::newRow("Calen") << 200 << "Connect : Calen(1234567)";
        QTest::newRow("Calen BT2") << 210 << "Connect : Calen BT2(1234567)";
    }
    void handheld()
    {
        QFETCH(int, model);
        QFETCH(QString, text);
        PellSim_SetModelCode(model);
        float values[97];
        for (int i = 0; i < 97; ++i)
            values[i] = 0.25f * float(i);
        PellSim_SetUserIlluminant(values);
        Run([&] {
            Handheld()->setCheckState(0, Qt::Checked);
            QCOMPARE(Handheld()->text(1), text);
            QCOMPARE(Handheld()->text(0), QStringLiteral("Brisa"));
            QCOMPARE(f->model->GetOperationState(), 3);
            const Plotted p = Plot();
            QCOMPARE(p.points.size(), 97);
            QCOMPARE(p.points.at(40), QPointF(500.0, double(values[40])));
            PellSim_ClearCallLog();
        });
        QVERIFY(QString::fromLatin1(PellSim_CallLog()).contains(QStringLiteral("ZUCloseDevice")));
        QCOMPARE(Handheld()->checkState(0), Qt::Unchecked);
        QCOMPARE(f->model->GetOperationState(), 0);
        QCOMPARE(sleeps, QVector<unsigned long>{1000});
        QVERIFY(f->window->errors.isEmpty());
    }

    void handheldAbsent()
    {
        PellSim_SetPresent(0);
        Store({Named(QStringLiteral("Kept"))});
        Run([&] {
            QCOMPARE(Plot().series, 1);
            Handheld()->setCheckState(0, Qt::Checked);
            QCOMPARE(f->window->errors, QList<int>{10});
            QCOMPARE(Handheld()->checkState(0), Qt::Unchecked);
            QCOMPARE(Handheld()->text(1), QStringLiteral("Disconnect"));
            QCOMPARE(Plot().series, 0);
        });
    }

    // A Calen BT2's spectrum is a Calen's: listed, suggested and written as such.
    void copyFromCalenBt2()
    {
        PellSim_SetModelCode(210);
        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), File(QStringLiteral("bt2.uid2")));
        Run([&] {
            Handheld()->setCheckState(0, Qt::Checked);
            Button("pushDataImport")->click();
            QCOMPARE(Rows(), QStringList{QStringLiteral("UserIlluminant1")});
            QCOMPARE(UserList()->topLevelItem(0)->text(1), QStringLiteral("Calen"));
            Button("pushFileExport")->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(script.Calls().first().folder.endsWith(QStringLiteral("/Calen BT2.uid2")));
        QVERIFY(ReadText(File(QStringLiteral("bt2.uid2")))
                    .contains(QStringLiteral("#INSTRUMENTATION,Velmar Ostrand Calen\n")));
        QVERIFY(QString::fromLatin1(PellSim_CallLog()).contains(QStringLiteral("ZUCloseDevice")));
        QCOMPARE(f->model->GetOperationState(), 0);
    }

    // A Lumet light source becomes a user illuminant, is renamed, exported and deleted.
    void lumetToUserIlluminant()
    {
        SeedLumet();
        const QString exported = File(QStringLiteral("lumet.uid2"));
        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), exported);
        script.ExpectAsk(QStringLiteral("Do you want to delete Illuminant Data?"), QMessageBox::Yes);
        Run([&] {
            Lumet()->setCheckState(0, Qt::Checked);
            Instruments()->setCurrentItem(Lumet()->child(1));
            Button("pushDataImport")->click();
            QCOMPARE(Rows(), QStringList{QStringLiteral("UserIlluminant1")});
            QVERIFY(!UserList()->currentItem());

            UserList()->setCurrentItem(UserList()->topLevelItem(0));
            dialog->RenameIlluminantData();
            auto *editor = UserList()->viewport()->findChild<QLineEdit *>();
            QVERIFY(editor);
            editor->setText(QStringLiteral("Window"));
            QTest::keyClick(editor, Qt::Key_Return);
            QCoreApplication::processEvents(); // the delegate commits from a queued call
            QCOMPARE(Rows(), QStringList{QStringLiteral("Window")});

            Button("pushFileExport")->click();
            dialog->DeleteIlluminantData();
            QCOMPARE(UserList()->topLevelItemCount(), 0);
            VexSim_ClearLog();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(script.Calls().first().folder.endsWith(QStringLiteral("/Window.uid2")));

        EnvironLightData read;
        QCOMPARE(CIODataFile::ReadEnvironmentLightData(&read, exported, 0), 0);
        QCOMPARE(read.Source, 3);
        QCOMPARE(read.Date, QStringLiteral("20230506070502"));
        QVERIFY(ReadText(exported).contains(QStringLiteral("#INSTRUMENTATION,Velmar Ostrand Lumet\n")));

        QVERIFY(f->model->GetUserIlluminants()[0].Number < 0);
        QCOMPARE(f->model->GetOperationState(), 0);
        QCOMPARE(VexSim_RemoteMode(0), 0);
        QVERIFY(!VexSim_IsInterfaceOpen(0));
        QVERIFY(!VexSim_IsInterfaceOpen(1));
        int closes = 0;
        for (int i = 0; i < VexSim_LogCount(); ++i) {
            VexSimLogEntry entry{};
            VexSim_LogEntry(i, &entry);
            closes += entry.event == VEXSIM_LOG_CLOSE;
        }
        QCOMPARE(closes, 2);
    }

    void renamedSurvivesRestart()
    {
        Store({Named(QStringLiteral("Old"))});
        Run([&] { UserList()->topLevelItem(0)->setText(0, QStringLiteral("New")); });
        dialog.reset();
        QVERIFY(f->Make());
        QCOMPARE(SlotNames(), QStringList{QStringLiteral("New")});
    }

    void copyNaming_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("added");
        QTest::newRow("none") << QStringList() << "UserIlluminant1";
        QTest::newRow("1 and 3 taken") << QStringList{"UserIlluminant1", "UserIlluminant3"} << "UserIlluminant2";
    }
    void copyNaming()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, added);
        QList<StoreRecord> records;
        for (const QString &name : stored)
            records << Named(name);
        Store(records);
        Run([&] {
            Handheld()->setCheckState(0, Qt::Checked);
            Button("pushDataImport")->click();
            QCOMPARE(UserList()->topLevelItemCount(), stored.size() + 1);
            QVERIFY(Row(added));
            QVERIFY(!UserList()->currentItem());
            QCOMPARE(SlotNames().last(), added);
        });
    }

    void fiveRowsDisableImport()
    {
        QList<StoreRecord> records;
        for (int i = 0; i < 4; ++i)
            records << Named(QStringLiteral("Light%1").arg(i));
        Store(records);
        ScriptedPresenter script;
        script.ExpectAsk(QString(), QMessageBox::Yes);
        Run([&] {
            QVERIFY(Button("pushDataImport")->isEnabled());
            Handheld()->setCheckState(0, Qt::Checked);
            Button("pushDataImport")->click();
            QCOMPARE(UserList()->topLevelItemCount(), 5);
            QVERIFY(!Button("pushDataImport")->isEnabled());
            QVERIFY(!Button("pushFileImport")->isEnabled());
            UserList()->setCurrentItem(UserList()->topLevelItem(0));
            QTest::keyClick(dialog.get(), Qt::Key_Delete);
            QCOMPARE(UserList()->topLevelItemCount(), 4);
            QVERIFY(Button("pushDataImport")->isEnabled());
            QVERIFY(Button("pushFileImport")->isEnabled());
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void copyWithoutInstrumentRow()
    {
        Store({Named(QStringLiteral("A"))});
        const ino_t before = Inode(StorePath());
        Run([&] {
            UserList()->setCurrentItem(nullptr);
            Button("pushDataImport")->click();
            QCOMPARE(UserList()->topLevelItemCount(), 1);
        });
        QCOMPARE(Inode(StorePath()), before);
        QVERIFY(f->window->errors.isEmpty());
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("copy") << "copy";
        QTest::newRow("delete") << "delete";
        QTest::newRow("rename") << "rename";
    }
    void writeFailures()
    {
        QFETCH(QString, operation);
        Store({Named(QStringLiteral("Kept"))});
        ScriptedPresenter script;
        if (operation == QLatin1String("delete"))
            script.ExpectAsk(QString(), QMessageBox::Yes);
        Run([&] {
            QVERIFY(QFile::remove(StorePath()));
            QVERIFY(QDir().mkpath(StorePath()));
            if (operation == QLatin1String("copy")) {
                Handheld()->setCheckState(0, Qt::Checked);
                Button("pushDataImport")->click();
            } else if (operation == QLatin1String("delete")) {
                QTest::keyClick(dialog.get(), Qt::Key_Delete);
            } else {
                UserList()->topLevelItem(0)->setText(0, QStringLiteral("Renamed"));
                QCoreApplication::processEvents();
            }
            QCOMPARE(f->window->errors, QList<int>{2});
            QCOMPARE(Rows(), SlotNames());
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // Delete, rename and export act on the rows the user sees, also right after an import.
    void deleteAfterImportKeepsImported()
    {
        Store({Named(QStringLiteral("A"))});
        const QString b = File(QStringLiteral("B.uid2"));
        QVERIFY(WriteText(b, Uid2(QStringLiteral("20230101000000"), 5.0f)));
        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), b);
        script.ExpectAsk(QString(), QMessageBox::Yes);
        Run([&] {
            QCOMPARE(UserList()->currentItem(), Row(QStringLiteral("A")));
            Button("pushFileImport")->click();
            QTest::keyClick(dialog.get(), Qt::Key_Delete);
            QCOMPARE(Rows(), QStringList{QStringLiteral("B")});
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(SlotNames(), QStringList{QStringLiteral("B")});
    }

    void exportAfterCopyNamesVisibleRow()
    {
        SeedLumet();
        Store({Named(QStringLiteral("A"))});
        const QString path = File(QStringLiteral("row3.uid"));
        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), path, QStringLiteral("uid File (*.uid)"));
        Run([&] {
            Lumet()->setCheckState(0, Qt::Checked);
            Instruments()->setCurrentItem(Lumet()->child(2));
            Button("pushDataImport")->click();
            Button("pushFileExport")->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(script.Calls().first().folder.endsWith(QStringLiteral("/Lumet_003.uid2")));
        const QStringList lines = ReadText(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 97);
        QCOMPARE(lines.at(96), QString::number(SeedValue(LumetSeeds().at(2), 96), 'f', 4));
    }

    void renameAfterImportRenamesVisibleRow()
    {
        Store({Named(QStringLiteral("A"))});
        const QString b = File(QStringLiteral("B.uid2"));
        QVERIFY(WriteText(b, Uid2(QStringLiteral("20230101000000"), 5.0f)));
        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), b);
        Run([&] {
            Button("pushFileImport")->click();
            Row(QStringLiteral("A"))->setText(0, QStringLiteral("C"));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(SlotNames(), (QStringList{QStringLiteral("C"), QStringLiteral("B")}));
    }

    void import_data()
    {
        QTest::addColumn<QString>("stored");   // a row of that name, or none
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("message");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("dateColumn"); // of the imported row
        QTest::addColumn<QString>("storedDate");
        const QString slashed = QStringLiteral("2023/05/06 07:08:09");
        QTest::newRow("uid2") << "" << "Office.uid2" << Uid2("20230506070809", 2.0f) << 0 << QStringList{"Office"}
                              << slashed << "20230506070809";
        QTest::newRow("other case") << "Office" << "office.uid2" << Uid2("20230506070809", 2.0f) << 0
                                    << QStringList{"Office", "office"} << slashed << "20230506070809";
        QTest::newRow("no extension") << "" << "noext" << Uid2("20230506070809", 2.0f) << 14 << QStringList()
                                      << "" << "";
        QTest::newRow("no spectrum block") << "" << "Empty.uid2" << Uid2("20230506070809", 2.0f, false) << 14
                                           << QStringList() << "" << "";
        QTest::newRow("slashed date") << "" << "Slash.uid2" << Uid2(slashed, 2.0f) << 0 << QStringList{"Slash"}
                                      << slashed << "20230506070809";
        QTest::newRow("date yesterday") << "" << "Old.uid2" << Uid2("yesterday", 2.0f) << 0 << QStringList{"Old"}
                                        << "" << "yesterday";
    }
    void import()
    {
        QFETCH(QString, stored);
        QFETCH(QString, fileName);
        QFETCH(QString, content);
        QFETCH(int, message);
        QFETCH(QStringList, rows);
        QFETCH(QString, dateColumn);
        QFETCH(QString, storedDate);
        if (!stored.isEmpty())
            Store({Named(stored)});
        const QString path = File(fileName);
        QVERIFY(WriteText(path, content));
        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), path);
        Run([&] {
            Button("pushFileImport")->click();
            QCOMPARE(Rows(), rows);
            if (!rows.isEmpty())
                QCOMPARE(Row(rows.last())->text(2), dateColumn);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().first().filter, QStringLiteral("uid Files (*.uid2 *.uid)"));
        QCOMPARE(f->window->errors, message ? QList<int>{message} : QList<int>());
        if (!rows.isEmpty()) {
            QCOMPARE(f->model->GetUserLightList().back().Date, storedDate);
            QCOMPARE(f->model->GetLastFolder(), files.path());
        }
    }

    void importOverwrite()
    {
        StoreRecord office = Named(QStringLiteral("Office"), 1);
        Store({office});
        const QString path = File(QStringLiteral("Office.uid"));
        QVERIFY(WriteText(path, ValueLines(7.0f)));
        const QString question = QStringLiteral("Office already exists. Are you sure you want to overwrite?");
        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), path);
        script.ExpectAsk(question, QMessageBox::No);
        script.ExpectOpenFile(QStringLiteral("Open"), path);
        script.ExpectAsk(question, QMessageBox::Yes);
        script.ExpectSaveFile(QStringLiteral("Save"), File(QStringLiteral("copy.uid")),
                              QStringLiteral("uid File (*.uid)"));
        Run([&] {
            const QString before = Row(QStringLiteral("Office"))->text(2);
            Button("pushFileImport")->click();
            QCOMPARE(Rows(), QStringList{QStringLiteral("Office")});
            QCOMPARE(Row(QStringLiteral("Office"))->text(1), QStringLiteral("Brisa"));
            QCOMPARE(Row(QStringLiteral("Office"))->text(2), before);
            QCOMPARE(Plot().points.at(10).y(), 12.0);
            Button("pushFileExport")->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(f->model->GetUserLightList().front().Source, 0);
        QCOMPARE(f->model->GetUserLightList().front().Values[10], 12.0f);
        QVERIFY(script.Calls().last().folder.endsWith(QStringLiteral("/Office.uid2")));
        QCOMPARE(ReadText(File(QStringLiteral("copy.uid"))), ReadText(path));
    }

    void rename_data()
    {
        QTest::addColumn<QStringList>("stored"); // the first row is renamed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("message");
        const QString hundred(100, QLatin1Char('n'));
        const QStringList mine{QStringLiteral("Mine")};
        QTest::newRow("empty") << mine << "" << "Mine" << 6;
        QTest::newRow("101 characters") << mine << QString(101, 'n') << "Mine" << 6;
        QTest::newRow("100 characters") << mine << hundred << hundred << 0;
        QTest::newRow("question mark") << mine << "a?b" << "Mine" << 47;
        QTest::newRow("other case") << QStringList{"Mine", "Office"} << "OFFICE" << "OFFICE-1" << 0;
        QTest::newRow("next suffix") << QStringList{"Mine", "Office", "office-1"} << "Office" << "Office-2" << 0;
    }
    void rename()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, message);
        QList<StoreRecord> records;
        for (const QString &name : stored)
            records << Named(name);
        Store(records);
        Run([&] {
            Row(stored.first())->setText(0, typed);
            QVERIFY(Row(shown));
            QCOMPARE(Row(shown)->data(0, Qt::UserRole).toInt(), 0);
            QCOMPARE(SlotNames().first(), shown);
        });
        QCOMPARE(f->window->errors, message ? QList<int>{message} : QList<int>());
    }

    void execDoesNotRewriteStore()
    {
        Store({Named(QStringLiteral("A")), Named(QStringLiteral("B"))});
        const ino_t before = Inode(StorePath());
        QVERIFY(before != 0);
        Run([] {});
        Run([] {});
        QCOMPARE(Inode(StorePath()), before);
    }

    void exportSuggestion_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("suggested"); // empty: no file dialog
        QTest::newRow("user list") << "user" << "Mine.uid2";
        QTest::newRow("user list without current row") << "user none" << "";
        QTest::newRow("Brisa") << "Brisa" << "Brisa.uid2";
        QTest::newRow("Calen") << "Calen" << "Calen.uid2";
        QTest::newRow("Lumet row") << "Lumet" << "Lumet_003.uid2";
        QTest::newRow("Lumet entry") << "Lumet entry" << "";
    }
    void exportSuggestion()
    {
        QFETCH(QString, source);
        QFETCH(QString, suggested);
        Store({Named(QStringLiteral("Mine"))});
        SeedLumet();
        PellSim_SetModelCode(source == QLatin1String("Brisa") ? 100 : 200);
        const QString path = File(QStringLiteral("out.uid2"));
        const QString start = f->model->GetLastFolder();
        QVERIFY(QDir(start).exists());
        ScriptedPresenter script;
        if (!suggested.isEmpty())
            script.ExpectSaveFile(QStringLiteral("Save"), path);
        Run([&] {
            if (source == QLatin1String("user none")) {
                UserList()->setCurrentItem(nullptr);
            } else if (source == QLatin1String("Brisa") || source == QLatin1String("Calen")) {
                Handheld()->setCheckState(0, Qt::Checked);
            } else if (source.startsWith(QLatin1String("Lumet"))) {
                Lumet()->setCheckState(0, Qt::Checked);
                Instruments()->setCurrentItem(source == QLatin1String("Lumet") ? Lumet()->child(2) : Lumet());
            }
            Button("pushFileExport")->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        if (suggested.isEmpty())
            return;
        const ScriptedPresenter::Call &call = script.Calls().first();
        QCOMPARE(call.folder, start + QLatin1Char('/') + suggested);
        QCOMPARE(call.filter, QStringLiteral("uid2 File (*.uid2);;uid File (*.uid)"));
        QVERIFY(ReadText(path).startsWith(QStringLiteral("#DATA_IDENTIFIER,ENVIRON_LIGHT_DATA\n")));
        QCOMPARE(f->model->GetLastFolder(), files.path());
    }

    void plot_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("points");
        QTest::newRow("300/5/780") << 300 << 5 << 780 << 97;
        QTest::newRow("300/5/1000") << 300 << 5 << 1000 << 97;
        QTest::newRow("pitch 0") << 300 << 0 << 780 << 0;
        QTest::newRow("pitch -5") << 300 << -5 << 780 << 0;
        QTest::newRow("780/5/300") << 780 << 5 << 300 << 0;
    }
    void plot()
    {
        QFETCH(int, start);
        QFETCH(int, step);
        QFETCH(int, end);
        QFETCH(int, points);
        Store({{QStringLiteral("Odd"), QStringLiteral("20230506070809"), 1, start, step, end, 0.5f}});
        QElapsedTimer timer;
        timer.start();
        Run([&] {
            const Plotted p = Plot();
            if (points == 0) {
                QCOMPARE(p.series, 0);
                QCOMPARE(p.axes, 0);
                return;
            }
            QCOMPARE(p.points.size(), points);
            QCOMPARE(p.points.first(), QPointF(300.0, 0.5));
            QCOMPARE(p.points.last(), QPointF(780.0, 96.5));
            QChart *chart = dialog->findChild<QChartView *>()->chart();
            auto *x = qobject_cast<QValueAxis *>(chart->axes(Qt::Horizontal).value(0));
            auto *y = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
            QVERIFY(x && y);
            QCOMPARE(x->tickCount(), 9);
            QCOMPARE(y->tickCount(), 10);
            QCOMPARE(x->titleText(), QStringLiteral("Wavelength (nm)"));
            QCOMPARE(y->titleText(), QStringLiteral("Spectral Irradiance (mW/m2/nm)"));
            QCOMPARE(x->labelFormat(), QStringLiteral("%d"));
            QCOMPARE(y->labelFormat(), QStringLiteral("%.4f"));
            QCOMPARE(x->titleFont().weight(), 50);
            QCOMPARE(y->titleFont().weight(), 50);
        });
        qInfo("plotted in %lld ms", timer.elapsed());
        QVERIFY(timer.elapsed() < 5000);
    }

    void deleteRows()
    {
        Store({Named(QStringLiteral("A")), {QStringLiteral("B"), QString(), 1, 300, 5, 780, 40.0f}});
        ScriptedPresenter script;
        script.ExpectAsk(QStringLiteral("Do you want to delete Illuminant Data?"), QMessageBox::No);
        script.ExpectMenu(QString(), QStringLiteral("Delete"));
        script.ExpectAsk(QString(), QMessageBox::Yes);
        script.ExpectAsk(QString(), QMessageBox::Yes);
        Run([&] {
            QTest::keyClick(dialog.get(), Qt::Key_Delete);
            QCOMPARE(Rows(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
            UserList()->topLevelItem(0)->setSelected(true);
            dialog->treeIlluminantMenu(QPoint(5, 5));
            QCOMPARE(Rows(), QStringList{QStringLiteral("B")});
            QCOMPARE(UserList()->currentItem(), UserList()->topLevelItem(0));
            QCOMPARE(Plot().points.at(0).y(), 40.0);
            QTest::keyClick(dialog.get(), Qt::Key_Delete);
            QCOMPARE(UserList()->topLevelItemCount(), 0);
            QCOMPARE(Plot().series, 0);
            QTest::keyClick(dialog.get(), Qt::Key_Delete); // no current row: no question
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(SlotNames().isEmpty());
    }
};

QTEST_MAIN(TestIlluminant)
#include "test_illuminant.moc"
