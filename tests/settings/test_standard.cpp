// The reference tile standard-value dialog and its file: the table, what OK stores, the exported bytes, the
// import that changes nothing unless the whole file is sound, and the measurement through the tile dialog.
#include "settings/standardvaluefile.h"
#include "settings/settingsclock.h"
#include "settings/vcinstrumentstandardvaluesetting.h"
#include "settings/vcinstrumenttilemeasurement.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include "app/storeconventions.h"

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

const QString kTileDialog = QStringLiteral("CVCInstrumentTileMeasurement");
const QString kFilter = QStringLiteral("cgats txt File (*.txt)");
const QString kGoldenPath = QStringLiteral(VAREMO_SETTINGS_TEST_DATA "/standardValue_golden.txt");

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

void Click(QDialog *d, const char *button)
{
    QPushButton *push = Child<QPushButton>(d, button);
    QVERIFY(push);
    push->click();
}

// The values behind the golden file: no reflectance or L*a*b* there sits on a rounding tie.
struct StandardSet {
    StandardValueRecord records[kTileCount] = {};
};

StandardSet GoldenValues()
{
    StandardSet set;
    for (int t = 0; t < kTileCount; ++t) {
        for (int k = 0; k < kReflectanceCount; ++k)
            set.records[t].Reflectance[k] = float((t * 36 + k + 1) / 997.0);
        set.records[t].Lab[0] = float(96.37 - 6.5 * t);
        set.records[t].Lab[1] = float(-20.13 + 3.01 * t);
        set.records[t].Lab[2] = float(10.97 - 2.47 * t);
    }
    return set;
}

float Rounded(float value, int decimals)
{
    return QString::number(double(value), 'f', decimals).toFloat();
}

// What a file of the set gives back (7 decimals of reflectance, 2 of L*a*b*), or with fromFile false what OK
// stores after the table showed the set (L*a*b* only rounded).
StandardSet RoundTripped(const StandardSet &set, bool fromFile = true)
{
    StandardSet out = set;
    for (StandardValueRecord &record : out.records) {
        for (float &r : record.Reflectance)
            r = fromFile ? Rounded(r, 7) : r;
        for (float &v : record.Lab)
            v = Rounded(v, 2);
    }
    return out;
}

QString Differences(const StandardValueRecord *actual, const StandardSet &expected)
{
    QStringList out;
    for (int t = 0; t < kTileCount; ++t) {
        for (int k = 0; k < kReflectanceCount; ++k) {
            if (actual[t].Reflectance[k] != expected.records[t].Reflectance[k])
                out << QStringLiteral("tile %1 reflectance %2: %3 != %4")
                           .arg(t)
                           .arg(k)
                           .arg(double(actual[t].Reflectance[k]), 0, 'g', 9)
                           .arg(double(expected.records[t].Reflectance[k]), 0, 'g', 9);
        }
        for (int k = 0; k < 3; ++k) {
            if (actual[t].Lab[k] != expected.records[t].Lab[k])
                out << QStringLiteral("tile %1 Lab %2: %3 != %4")
                           .arg(t)
                           .arg(k)
                           .arg(double(actual[t].Lab[k]), 0, 'g', 9)
                           .arg(double(expected.records[t].Lab[k]), 0, 'g', 9);
        }
    }
    return out.mid(0, 5).join(QLatin1Char('\n'));
}

QStringList ValueCells(QDialog *d)
{
    auto *table = Child<QTableWidget>(d, "tableStandardValue");
    QStringList cells;
    for (int r = 1; r < table->rowCount(); ++r) {
        for (int c = 1; c < table->columnCount(); ++c)
            cells << (table->item(r, c) ? table->item(r, c)->text() : QStringLiteral("<none>"));
    }
    return cells;
}

QStringList EmptyCells()
{
    QStringList cells;
    for (int i = 0; i < 3 * kTileCount; ++i)
        cells << QString();
    return cells;
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

QString FirstDifference(const QByteArray &ours, const QByteArray &golden)
{
    const QList<QByteArray> a = ours.split('\n');
    const QList<QByteArray> b = golden.split('\n');
    for (int i = 0; i < qMax(a.size(), b.size()); ++i) {
        const QByteArray x = a.value(i), y = b.value(i);
        if (x != y)
            return QStringLiteral("line %1:\n ours:   %2\n golden: %3")
                .arg(i + 1)
                .arg(QString::fromUtf8(x.toPercentEncoding(" \t,.\"/:-")),
                     QString::fromUtf8(y.toPercentEncoding(" \t,.\"/:-")));
    }
    return QString();
}

// The golden file's lines without their line ends.
QList<QByteArray> GoldenLines()
{
    QList<QByteArray> lines = ReadAll(kGoldenPath).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        line.chop(1); // "\r"
    return lines;
}

QByteArray Joined(const QList<QByteArray> &lines, const QByteArray &end = "\r\n")
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + end;
    return out;
}

QList<QByteArray> Fields(const QByteArray &line)
{
    return line.split('\t');
}

QByteArray Line(const QList<QByteArray> &fields)
{
    QByteArray out;
    for (int i = 0; i < fields.size(); ++i)
        out += (i ? "\t" : "") + fields.at(i);
    return out;
}

// Tile results as the tile measurement hands them over; only ids, L*a*b* and the measured reflectances count.
void FillResults(TileResultRecord *results)
{
    for (int t = 0; t < kTileCount; ++t) {
        results[t] = TileResultRecord();
        results[t].TileId = t;
        results[t].MeasuredLab[0] = 90.126f - 5.0f * float(t);
        results[t].MeasuredLab[1] = -3.333f + 1.1f * float(t);
        results[t].MeasuredLab[2] = 7.777f - 0.9f * float(t);
        for (int k = 0; k < kReflectanceCount; ++k)
            results[t].MeasuredReflectance[k] = 0.0123456f * float(k + 1) + 0.001f * float(t);
        // What the diagnosis fills must not leak into standard values.
        std::fill(std::begin(results[t].StandardReflectance), std::end(results[t].StandardReflectance), 9.0f);
        std::fill(std::begin(results[t].StandardLab), std::end(results[t].StandardLab), 9.0f);
    }
}

} // namespace

class TestStandard : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    QTemporaryDir m_files;

    void StoreGolden()
    {
        const StandardSet set = GoldenValues();
        QCOMPARE(f->model->SetStandardValues(kTileCount, set.records), 0);
        TileSetInfo info;
        info.SerialNumber = QStringLiteral("ORS00001");
        info.CreateTime = QStringLiteral("2024/05/06 07:08");
        QCOMPARE(f->model->SetStandardValueInfo(info), 0);
    }

    const StandardValueRecord *Stored(unsigned int *count)
    {
        const StandardValueRecord *records = nullptr;
        f->model->GetStandardValues(count, &records);
        return records;
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        SettingsClock::SetNowFunction([] {
            return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
        });
    }
    void cleanup()
    {
        SettingsClock::SetNowFunction({});
        f.reset();
    }

    void form_data()
    {
        AddFormObjectRows({
            {"radioFile", "QRadioButton"},
            {"pushImport", "QPushButton"},
            {"radioMeasurement", "QRadioButton"},
            {"pushMeasurement", "QPushButton"},
            {"labelMeasurementInfo", "QLabel"},
            {"label", "QLabel"},
            {"tableStandardValue", "QTableWidget"},
            {"pushExport", "QPushButton"},
            {"pushOK", "QPushButton"},
            {"cancelButton", "QPushButton"},
            {"hLayoutFooter", "QHBoxLayout"},
            {"gridLayout", "QGridLayout"},
            {"verticalLayout", "QVBoxLayout"},
            {"verticalLayout_2", "QVBoxLayout"}});
    }
    void form()
    {
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        VerifyFormObject(&dialog);
    }

    // The selector, the table as built at opening and the radio buttons that drive the two buttons.
    void openingWithEmptyStore()
    {
        ScriptedPresenter script;
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Standard Setting"));
        QVERIFY(!Child<QPushButton>(&dialog, "pushMeasurement")->isEnabled());
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            auto *table = Child<QTableWidget>(d, "tableStandardValue");
            QCOMPARE(table->rowCount(), 4);
            QCOMPARE(table->columnCount(), 15);
            QVERIFY(table->horizontalHeader()->isHidden());
            QVERIFY(table->verticalHeader()->isHidden());
            QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
            QCOMPARE(table->selectionMode(), QAbstractItemView::NoSelection);
            for (int c = 0; c < 15; ++c)
                QCOMPARE(table->columnWidth(c), 60);
            QCOMPARE(table->rowHeight(0), 50);
            for (int r = 1; r < 4; ++r)
                QCOMPARE(table->rowHeight(r), 25);
            QCOMPARE(table->minimumSize(), QSize(15 * 60 + 4, 50 + 3 * 25 + 4));
            QCOMPARE(table->maximumSize(), table->minimumSize());
            QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Standard"));
            for (int t = 0; t < kTileCount; ++t) {
                const QTableWidgetItem *item = table->item(0, 1 + t);
                QCOMPARE(item->text(), TileName(t));
                QCOMPARE(item->textAlignment(), int(Qt::AlignCenter));
                QCOMPARE(item->foreground().color(), TileTextColor(t));
                QCOMPARE(item->background().color(), TileBackgroundColor(t));
            }
            QCOMPARE(table->item(1, 0)->text(), QStringLiteral("L*"));
            QCOMPARE(table->item(2, 0)->text(), QStringLiteral("a*"));
            QCOMPARE(table->item(3, 0)->text(), QStringLiteral("b*"));
            QCOMPARE(ValueCells(d), EmptyCells());

            QVERIFY(Child<QRadioButton>(d, "radioFile")->isChecked());
            QVERIFY(Child<QPushButton>(d, "pushImport")->isEnabled());
            Child<QRadioButton>(d, "radioMeasurement")->click();
            QVERIFY(!Child<QPushButton>(d, "pushImport")->isEnabled());
            QVERIFY(Child<QPushButton>(d, "pushMeasurement")->isEnabled());
        });
        // Every opening starts from the file source again.
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(Child<QRadioButton>(d, "radioFile")->isChecked());
            QVERIFY(!Child<QPushButton>(d, "pushMeasurement")->isEnabled());
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // Nothing measured or imported: neither OK nor Export gets past the table check.
    void emptyTableRefused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK") << "pushOK";
        QTest::newRow("Export") << "pushExport";
    }
    void emptyTableRefused()
    {
        QFETCH(QString, button);
        ScriptedPresenter script; // no save dialog expected
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        bool stayedOpen = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Click(d, qPrintable(button));
            stayedOpen = d->isVisible();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(stayedOpen);
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{37});
        unsigned int count = 1;
        Stored(&count);
        QCOMPARE(count, 0u);
        QVERIFY(!QFileInfo::exists(UserDocumentsDataDir() + QStringLiteral("/standardValue.txt")));
    }

    // A store with fewer than 14 values is shown as empty.
    void partialStoreNotShown()
    {
        const StandardSet set = GoldenValues();
        QCOMPARE(f->model->SetStandardValues(13, set.records), 0);
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        ModalRunner::Run(&dialog, [&](QDialog *d) { QCOMPARE(ValueCells(d), EmptyCells()); });
    }

    // S10: the file exported from one data root matches the golden bytes, and another data root imports the same
    // values from it.
    void exportGoldenThenImportElsewhere()
    {
        StoreGolden();
        // A remembered folder that is gone: the dialogs start in the documents folder.
        QCOMPARE(f->model->SetLastFolder(m_files.filePath(QStringLiteral("gone"))), 0);
        const QString path = m_files.filePath(QStringLiteral("exported.txt"));
        {
            ScriptedPresenter script;
            script.ExpectSaveFile(QStringLiteral("Save"), path);
            CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
            ModalRunner::Run(&dialog, [&](QDialog *d) {
                QCOMPARE(ValueCells(d).first(), QStringLiteral("96.37"));
                Click(d, "pushExport");
            });
            QVERIFY2(script.Done(), qPrintable(script.Problems()));
            QCOMPARE(script.Calls().first().folder, UserDocumentsDataDir() + QStringLiteral("/standardValue.txt"));
            QCOMPARE(script.Calls().first().filter, kFilter);
        }
        QVERIFY(f->window->errors.isEmpty());
        const QByteArray golden = ReadAll(kGoldenPath);
        QVERIFY(!golden.isEmpty());
        const QByteArray ours = ReadAll(path);
        QVERIFY2(ours == golden, qPrintable(FirstDifference(ours, golden)));
        QCOMPARE(f->model->GetLastFolder(), m_files.path());

        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), path);
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Click(d, "pushImport");
            QCOMPARE(Child<QLabel>(d, "labelMeasurementInfo")->text(), QString());
            Click(d, "pushOK");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().first().filter, kFilter);
        QCOMPARE(result, 1);
        QVERIFY(f->window->errors.isEmpty());
        QCOMPARE(f->model->GetLastFolder(), m_files.path());
        unsigned int count = 0;
        const StandardValueRecord *stored = Stored(&count);
        QCOMPARE(count, 14u);
        const QString differences = Differences(stored, RoundTripped(GoldenValues()));
        QVERIFY2(differences.isEmpty(), qPrintable(differences));
        const TileSetInfo &info = f->model->GetTileSetRecord();
        QCOMPARE(info.ModelIndex, 0);
        QCOMPARE(info.SerialNumber, QStringLiteral("ORS00001"));
        QCOMPARE(info.CreateTime, QStringLiteral("\"2024-05-06T07:08:09\""));
    }

    // A refused file changes nothing: not the working values that a later OK stores, not the table, not the info.
    void malformedFileRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("asDirectory");
        const QList<QByteArray> golden = GoldenLines();
        QVERIFY(golden.size() == 30);
        const auto changed = [&](int index, const std::function<void(QList<QByteArray> &)> &edit) {
            QList<QByteArray> fields = Fields(golden.at(index));
            edit(fields);
            QList<QByteArray> lines = golden;
            lines[index] = Line(fields);
            return Joined(lines);
        };
        for (int line = 0; line < 30; ++line) {
            if (line >= 15 && line < 29)
                continue;
            QTest::newRow(qPrintable(QStringLiteral("keyword of line %1").arg(line + 1)))
                << changed(line, [](QList<QByteArray> &fields) { fields[0] = fields[0].toLower(); }) << false;
        }
        QTest::newRow("MEASUREMENT_GEOMETRY")
            << changed(5, [](QList<QByteArray> &fields) { fields[0] = "MEASUREMENT_GEOMETRY"; }) << false;
        QTest::newRow("SERIAL empty quotes") << changed(4, [](QList<QByteArray> &fields) { fields[1] = "\"\""; })
                                             << false;
        QTest::newRow("SERIAL without value") << changed(4, [](QList<QByteArray> &fields) { fields.removeLast(); })
                                              << false;
        QTest::newRow("CREATED without value") << changed(2, [](QList<QByteArray> &fields) { fields.removeLast(); })
                                               << false;
        // Late data lines: the tiles before them were parsed already.
        QTest::newRow("39 fields") << changed(27, [](QList<QByteArray> &fields) { fields.removeLast(); }) << false;
        QTest::newRow("41 fields") << changed(27, [](QList<QByteArray> &fields) { fields << "1.00"; }) << false;
        QTest::newRow("abc") << changed(26, [](QList<QByteArray> &fields) { fields[5] = "abc"; }) << false;
        QTest::newRow("nan") << changed(26, [](QList<QByteArray> &fields) { fields[5] = "nan"; }) << false;
        QTest::newRow("inf") << changed(26, [](QList<QByteArray> &fields) { fields[38] = "inf"; }) << false;
        QTest::newRow("29 lines") << Joined(golden.mid(0, 29)) << false;
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("31st line x") << Joined(golden + QList<QByteArray>{"x"}) << false;
        QTest::newRow("blank then x") << Joined(golden + QList<QByteArray>{"", "x"}) << false;
        QTest::newRow("a directory") << QByteArray() << true;
    }
    void malformedFileRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, asDirectory);
        const QString path = m_files.filePath(QStringLiteral("malformed_%1.txt").arg(QTest::currentDataTag()));
        QVERIFY(asDirectory ? QDir().mkpath(path) : WriteAll(path, bytes));

        // Working values differ from the file's in every reflectance and L*a*b*.
        StandardSet before = GoldenValues();
        for (StandardValueRecord &record : before.records) {
            for (float &r : record.Reflectance)
                r = Rounded(r * 0.5f, 7);
            for (float &v : record.Lab)
                v = Rounded(v + 1.0f, 2);
        }
        QCOMPARE(f->model->SetStandardValues(kTileCount, before.records), 0);
        TileSetInfo info;
        info.SerialNumber = QStringLiteral("OLD00001");
        info.CreateTime = QStringLiteral("2023/01/02 03:04");
        QCOMPARE(f->model->SetStandardValueInfo(info), 0);

        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), path);
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        QStringList cellsBefore, cellsAfter;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            cellsBefore = ValueCells(d);
            Click(d, "pushImport");
            cellsAfter = ValueCells(d);
            Click(d, "pushOK");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(f->window->errors, QList<int>{36});
        QCOMPARE(cellsAfter, cellsBefore);
        QCOMPARE(result, 1);
        unsigned int count = 0;
        const StandardValueRecord *stored = Stored(&count);
        QCOMPARE(count, 14u);
        const QString differences = Differences(stored, before);
        QVERIFY2(differences.isEmpty(), qPrintable(differences));
        QCOMPARE(f->model->GetTileSetRecord().SerialNumber, info.SerialNumber);
        QCOMPARE(f->model->GetTileSetRecord().CreateTime, info.CreateTime);

        if (!asDirectory) {
            StandardValueRecord records[kTileCount] = {};
            TileSetInfo parsedInfo;
            parsedInfo.SerialNumber = QStringLiteral("kept");
            QCOMPARE(StandardValueFile::Parse(QString::fromUtf8(bytes), records, &parsedInfo), 5001);
            QCOMPARE(parsedInfo.SerialNumber, QStringLiteral("kept"));
            for (const StandardValueRecord &record : records)
                QCOMPARE(record.Reflectance[0], 0.0f);
        }
    }

    // Line ends and the serial's quotes as other tools write them.
    void acceptedVariants_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("serial");
        const QList<QByteArray> golden = GoldenLines();
        QTest::newRow("CR LF") << Joined(golden) << "ORS00001";
        QTest::newRow("LF") << Joined(golden, "\n") << "ORS00001";
        QTest::newRow("no final line end") << Joined(golden).chopped(2) << "ORS00001";
        QTest::newRow("trailing blank lines") << Joined(golden + QList<QByteArray>{"", " ", ""}) << "ORS00001";
        QList<QByteArray> unquoted = golden;
        unquoted[4] = "SERIAL\tORS 0002";
        QTest::newRow("SERIAL without quotes") << Joined(unquoted) << "ORS 0002";
    }
    void acceptedVariants()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, serial);
        StandardValueRecord records[kTileCount] = {};
        TileSetInfo info;
        info.ModelIndex = 3;
        QCOMPARE(StandardValueFile::Parse(QString::fromUtf8(bytes), records, &info), 0);
        const QString differences = Differences(records, RoundTripped(GoldenValues()));
        QVERIFY2(differences.isEmpty(), qPrintable(differences));
        QCOMPARE(info.SerialNumber, serial);
        QCOMPARE(info.ModelIndex, 0);
        QCOMPARE(info.CreateTime, QStringLiteral("\"2024-05-06T07:08:09\""));
    }

    // A directory at the chosen name: reported as a failed save, nothing written, the folder still remembered.
    void exportToDirectory()
    {
        StoreGolden();
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("taken.txt"));
        QVERIFY(QDir().mkpath(path));
        QCOMPARE(f->model->SetLastFolder(folder.path()), 0);
        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), path);
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        ModalRunner::Run(&dialog, [&](QDialog *d) { Click(d, "pushExport"); });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().first().folder, folder.filePath(QStringLiteral("standardValue.txt")));
        QCOMPARE(f->window->errors, QList<int>{2});
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
        QCOMPARE(f->model->GetLastFolder(), folder.path());
    }

    void measurementCancelled()
    {
        StoreGolden();
        f->model->SetAppStatus(CModel::StatusStandardValues);
        int statusInside = -1;
        ScriptedPresenter script;
        script.ExpectDialog(kTileDialog, [&](QDialog *d) {
            statusInside = f->model->GetOperationState();
            // A measured but not accepted run must not reach the standard values.
            FillResults(static_cast<CVCInstrumentTileMeasurement *>(d)->GetTileResults());
            d->reject();
        });
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        QStringList cellsBefore, cellsAfter;
        QString infoLine;
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            cellsBefore = ValueCells(d);
            Child<QRadioButton>(d, "radioMeasurement")->click();
            Click(d, "pushMeasurement");
            cellsAfter = ValueCells(d);
            infoLine = Child<QLabel>(d, "labelMeasurementInfo")->text();
            Click(d, "pushOK");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(statusInside, int(CModel::StatusTileMeasurement));
        QCOMPARE(f->model->GetOperationState(), int(CModel::StatusStandardValues));
        QCOMPARE(cellsAfter, cellsBefore);
        QCOMPARE(infoLine, QString());
        unsigned int count = 0;
        const StandardValueRecord *stored = Stored(&count);
        const QString differences = Differences(stored, RoundTripped(GoldenValues(), false));
        QVERIFY2(differences.isEmpty(), qPrintable(differences));
        QCOMPARE(f->model->GetTileSetRecord().SerialNumber, QStringLiteral("ORS00001"));
    }

    // The measured tiles become the standard values, L*a*b* with the two decimals the table shows.
    void measurementStored()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        f->model->SetAppStatus(CModel::StatusStandardValues);
        ScriptedPresenter script;
        script.ExpectDialog(kTileDialog, [&](QDialog *d) {
            FillResults(static_cast<CVCInstrumentTileMeasurement *>(d)->GetTileResults());
            d->done(1);
        });
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        QString infoLine;
        QStringList cells;
        int status = -1;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Child<QRadioButton>(d, "radioMeasurement")->click();
            Click(d, "pushMeasurement");
            infoLine = Child<QLabel>(d, "labelMeasurementInfo")->text();
            cells = ValueCells(d);
            status = f->model->GetOperationState();
            Click(d, "pushOK");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, 1);
        QVERIFY(f->window->errors.isEmpty());
        QCOMPARE(infoLine, QStringLiteral("Orlo ORS00001 2024/05/06 07:08"));
        QCOMPARE(status, int(CModel::StatusStandardValues));
        QCOMPARE(cells.first(), QStringLiteral("90.13"));

        TileResultRecord results[kTileCount];
        FillResults(results);
        unsigned int count = 0;
        const StandardValueRecord *stored = Stored(&count);
        QCOMPARE(count, 14u);
        for (int t = 0; t < kTileCount; ++t) {
            for (int k = 0; k < kReflectanceCount; ++k)
                QCOMPARE(stored[t].Reflectance[k], results[t].MeasuredReflectance[k]);
            for (int k = 0; k < 3; ++k)
                QCOMPARE(stored[t].Lab[k], Rounded(results[t].MeasuredLab[k], 2));
            QCOMPARE(cells.at(t), QString::number(double(results[t].MeasuredLab[0]), 'f', 2));
        }
        const TileSetInfo &info = f->model->GetTileSetRecord();
        QCOMPARE(info.ModelIndex, 0);
        QCOMPARE(info.SerialNumber, QStringLiteral("ORS00001"));
        QCOMPARE(info.CreateTime, QStringLiteral("2024/05/06 07:08"));
    }

    // The store cannot write its file: OK still ends the dialog, the user is told once.
    void storeWriteFailure()
    {
        StoreGolden();
        const QString file = AppDataDir() + QStringLiteral("/Diagnose.bin");
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file));
        CVCInstrumentStandardValueSetting dialog(f->model.get(), nullptr);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) { Click(d, "pushOK"); });
        QCOMPARE(result, 1);
        QCOMPARE(f->window->errors, QList<int>{2});
    }
};

QTEST_MAIN(TestStandard)
#include "test_standard.moc"
