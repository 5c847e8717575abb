// The instrument diagnosis: the judgement of the five colour differences, the overall judgement, the history
// and its limit, what an opening shows and stores, the sub-dialog flows with their application status, the
// tolerances deciding an inspection, and a first diagnosis on the simulated scanner from an empty store.
#include "settings/diagnosisresult.h"
#include "settings/settingsclock.h"
#include "settings/vcinstrumentstandardvaluesetting.h"
#include "settings/vcinstrumenttest.h"
#include "settings/vcinstrumenttilemeasurement.h"
#include "settings/vcinstrumenttolerancesetting.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include "app/diagnosedata.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Standards = std::vector<StandardValueRecord>;
using Results = std::vector<TileResultRecord>;

constexpr int kRed = 6;

// Tile j: L* 50 + j, a* j, b* -j, reflectances from j.
Standards MakeStandards(int count = kTileCount)
{
    Standards standards(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j) {
        StandardValueRecord &record = standards[size_t(j)];
        for (int i = 0; i < kReflectanceCount; ++i)
            record.Reflectance[i] = float(j * 36 + i) / 1024.0f;
        record.Lab[0] = 50.0f + float(j);
        record.Lab[1] = float(j);
        record.Lab[2] = -float(j);
    }
    return standards;
}

std::vector<ToleranceRecord> MakeTolerances(int checkState, float tolerance, int count = kColourDifferenceKindCount)
{
    std::vector<ToleranceRecord> records(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        ToleranceRecord &record = records[size_t(k)];
        record.Kind = checkState;
        record.RowIndex = k;
        record.PairCount = kTolerancePairCount;
        for (int t = 0; t < kTileCount; ++t)
            record.Pairs[t] = {t, tolerance};
    }
    return records;
}

// What the tile measurement hands back: the standards' L*a*b* moved by delta on tile `tile` (all tiles when -1).
Results Measured(const Standards &standards, const float (&delta)[3] = {0, 0, 0}, int tile = -1)
{
    Results results(kTileCount);
    for (int j = 0; j < kTileCount; ++j) {
        TileResultRecord &record = results[size_t(j)];
        std::memset(&record, 0, sizeof record);
        record.TileId = j;
        for (int i = 0; i < 3; ++i)
            record.MeasuredLab[i] = standards[size_t(j)].Lab[i] + (tile < 0 || tile == j ? delta[i] : 0.0f);
        for (int i = 0; i < kReflectanceCount; ++i)
            record.MeasuredReflectance[i] = 0.5f;
    }
    return results;
}

template <typename T> T *Child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

DiagnoseHistoryRecord Entry(const QString &serial, const QString &dateTime, int judgement)
{
    DiagnoseHistoryRecord entry;
    entry.SerialNumber = serial;
    entry.DateTime = dateTime;
    entry.Judgement = judgement;
    entry.TileCount = kTileCount;
    for (int t = 0; t < kTileCount; ++t) {
        entry.Tiles[t].TileId = t;
        entry.Tiles[t].MeasuredLab[0] = float(t) + 0.25f;
        entry.Tiles[t].StandardLab[0] = float(t);
        entry.Tiles[t].Differences[0] = 0.25f;
        entry.Tiles[t].Judgements[0] = judgement;
        entry.Tiles[t].CheckStates[0] = 2;
    }
    return entry;
}

// Both strips on the simulated scanner, as a user does inside the tile measurement's own loop: strip No.1, the
// wait, strip No.2, the wait. The 500 ms wait is stopped and run at once.
void MeasureBothStrips(QDialog *d)
{
    auto *tile = qobject_cast<CVCInstrumentTileMeasurement *>(d);
    QVERIFY(tile);
    auto *timer = Child<QTimer>(d, "waitTimer");
    QVERIFY(timer);
    // The scanner is ready at once: no wait between status reads.
    const auto pauses = std::make_shared<int>(0);
    tile->SetPauseFunction([pauses](unsigned long) { ++*pauses; });
    for (int strip : {0, 1}) {
        QVERIFY(Child<QLabel>(d, "labelMessage")->text().contains(QStringLiteral("No.%1").arg(strip + 1)));
        OrloSim_SetTileStrip(strip);
        Child<QPushButton>(d, "pushMeasurement")->click();
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 500);
        timer->stop();
        tile->waitTimeout();
        QCOMPARE(tile->LastResult(), 0);
    }
    QVERIFY(!d->isVisible());
    QCOMPARE(*pauses, 0);
}

} // namespace

class TestDiagnosis : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    QString m_defaults; // a defaults folder per test: the shipped file is never touched

    void StoreStandards(const Standards &standards)
    {
        QCOMPARE(f->model->SetStandardValues(unsigned(standards.size()), standards.data()), 0);
    }
    void StoreTolerances(const std::vector<ToleranceRecord> &records)
    {
        QCOMPARE(f->model->SetToleranceValues(unsigned(records.size()), records.data()), 0);
    }
    void StoreHistory(const QVector<DiagnoseHistoryRecord> &entries)
    {
        std::unique_ptr<DiagnoseHistoryRecord[]> records(new DiagnoseHistoryRecord[size_t(entries.size())]);
        std::copy(entries.begin(), entries.end(), records.get());
        QCOMPARE(f->model->SetDiagnoseHistory(unsigned(entries.size()), std::move(records)), 0);
    }
    std::vector<DiagnoseHistoryRecord> StoredHistory() const
    {
        unsigned int count = 0;
        const DiagnoseHistoryRecord *records = nullptr;
        f->model->GetDiagnoseHistory(&count, &records);
        return std::vector<DiagnoseHistoryRecord>(records, records + count);
    }
    std::vector<ToleranceRecord> StoredTolerances() const
    {
        unsigned int count = 0;
        const ToleranceRecord *records = nullptr;
        f->model->GetToleranceValues(&count, &records);
        return std::vector<ToleranceRecord>(records, records + count);
    }
    QString DiagnosePath() const { return CDiagnoseData().FilePath(); }

    // The defaults file of this test's folder: kind k, tile t -> k + 1 + t / 4.
    void WriteDefaults()
    {
        QFile file(m_defaults + QStringLiteral("/toleranceDefaultSetting.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("kind\tWHITE\n");
        for (int k = 0; k < 5; ++k) {
            QByteArray line = "row";
            for (int t = 0; t < kTileCount; ++t)
                line += '\t' + QByteArray::number(k + 1 + t * 0.25);
            file.write(line + '\n');
        }
    }

    // A tile measurement that hands back results and returns answer; status records the status it ran in.
    std::function<void(QDialog *)> TileAnswer(const Results &results, int answer, int *status = nullptr)
    {
        return [this, results, answer, status](QDialog *d) {
            auto *tile = qobject_cast<CVCInstrumentTileMeasurement *>(d);
            QVERIFY(tile);
            std::copy(results.begin(), results.end(), tile->GetTileResults());
            if (status)
                *status = f->model->GetOperationState();
            d->done(answer);
        };
    }

    void RunDialog(const std::function<void(CVCInstrumentTest *)> &script)
    {
        CVCInstrumentTest dialog(f->model.get(), nullptr);
        dialog.SetDefaultsFolder(m_defaults);
        ModalRunner::Run(&dialog, [&](QDialog *) { script(&dialog); });
    }

    static void Click(QObject *dialog, const char *name) { Child<QPushButton>(dialog, name)->click(); }
    static QTableWidget *Table(QObject *dialog, const char *name) { return Child<QTableWidget>(dialog, name); }
    static QString Cell(QObject *dialog, const char *table, int row, int column)
    {
        const QTableWidgetItem *item = Table(dialog, table)->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        m_defaults = f->home.path() + QStringLiteral("/defaults");
        QVERIFY(QDir().mkpath(m_defaults));
        SettingsClock::SetNowFunction([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
        f->model->SetAppStatus(CModel::StatusInstrumentTest);
    }
    void cleanup()
    {
        SettingsClock::SetNowFunction(nullptr);
        f.reset();
    }

    // ---- judgement ------------------------------------------------------------------------------------------

    void judge_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<float>("difference");
        QTest::addColumn<float>("tolerance");
        QTest::addColumn<int>("judgement");
        const float nan = std::nanf("");
        for (int kind = 0; kind < kColourDifferenceKindCount; ++kind) {
            const QByteArray name = ColorDifferenceName(kind).toLatin1();
            const auto row = [&](const char *what) -> QTestData & { return QTest::newRow((name + what).constData()); };
            row(" = t") << kind << 0.5f << 0.5f << 1;
            row(" = t + 0.01") << kind << 0.51f << 0.5f << 0;
            row(" NaN") << kind << nan << 0.5f << 0;
            row(" NaN tolerance") << kind << 0.0f << nan << 0;
            if (kind < 3) {
                row(" = -t") << kind << -0.5f << 0.5f << 1;
                row(" = -t - 0.01") << kind << -0.51f << 0.5f << 0;
            } else {
                row(" negative tolerance") << kind << 0.0f << -1.0f << 0;
                row(" = -t") << kind << -0.5f << 0.5f << 1;
            }
        }
    }
    void judge()
    {
        QFETCH(int, kind);
        QFETCH(float, difference);
        QFETCH(float, tolerance);
        QFETCH(int, judgement);
        QCOMPARE(DiagnosisResult::Judge(kind, difference, tolerance), judgement);
    }

    void differences()
    {
        const Standards standards = MakeStandards();
        Results results = Measured(standards, {3, 4, 0}, 0);
        // The first pair of the published CIEDE2000 test data.
        Standards pair = standards;
        const float sample[3] = {50.0f, 2.6772f, -79.7751f};
        const float reference[3] = {50.0f, 0.0f, -82.7485f};
        std::copy(sample, sample + 3, results[1].MeasuredLab);
        std::copy(reference, reference + 3, pair[1].Lab);
        const auto tolerances = MakeTolerances(2, 10.0f);
        QCOMPARE(DiagnosisResult::Evaluate(results.data(), pair.data(), tolerances.data()), 1);

        const TileResultRecord &first = results[0];
        QCOMPARE(first.Differences[0], 3.0f);
        QCOMPARE(first.Differences[1], 4.0f);
        QCOMPARE(first.Differences[2], 0.0f);
        QCOMPARE(first.Differences[3], 5.0f);
        QCOMPARE(first.StandardLab[0], standards[0].Lab[0]);
        QCOMPARE(first.StandardReflectance[35], standards[0].Reflectance[35]);
        QCOMPARE(first.MeasuredReflectance[0], 0.5f);
        QVERIFY(std::fabs(results[1].Differences[4] - 2.0425f) < 1e-4f);
        for (int k = 0; k < kColourDifferenceKindCount; ++k) {
            QCOMPARE(first.Tolerances[k], 10.0f);
            QCOMPARE(first.CheckStates[k], 2);
            QCOMPARE(first.Judgements[k], 1);
        }
    }

    void dE00CallFails_data()
    {
        QTest::addColumn<int>("checkState");
        QTest::addColumn<int>("overall");
        QTest::newRow("checked") << 2 << 0;
        QTest::newRow("unchecked") << 0 << 1;
    }
    void dE00CallFails()
    {
        QFETCH(int, checkState);
        QFETCH(int, overall);
        const Standards standards = MakeStandards();
        Results results = Measured(standards);
        auto tolerances = MakeTolerances(2, 1.0f);
        tolerances[4].Kind = checkState;
        OrloSim_FailNext("JIG_CalculateDeltaE2000", 7);
        QCOMPARE(DiagnosisResult::Evaluate(results.data(), standards.data(), tolerances.data()), overall);
        QVERIFY(std::isnan(results[0].Differences[4]));
        QCOMPARE(results[0].Judgements[4], 0);
        QCOMPARE(results[1].Differences[4], 0.0f);
        QCOMPARE(results[1].Judgements[4], 1);
    }

    void overall_data()
    {
        QTest::addColumn<QVector<int>>("checkStates");
        QTest::addColumn<int>("overall");
        // Tile 3's dL* fails (difference 2, tolerance 1); everything else passes.
        QTest::newRow("all unchecked") << QVector<int>{0, 0, 0, 0, 0} << 1;
        QTest::newRow("failing kind checked") << QVector<int>{2, 0, 0, 0, 0} << 0;
        QTest::newRow("failing kind alone unchecked") << QVector<int>{0, 2, 2, 0, 0} << 1;
    }
    void overall()
    {
        QFETCH(QVector<int>, checkStates);
        QFETCH(int, overall);
        const Standards standards = MakeStandards();
        Results results = Measured(standards, {2, 0, 0}, 3);
        auto tolerances = MakeTolerances(0, 1.0f);
        tolerances[3].Pairs[3].Tolerance = 5.0f;
        tolerances[4].Pairs[3].Tolerance = 5.0f;
        for (int k = 0; k < kColourDifferenceKindCount; ++k)
            tolerances[size_t(k)].Kind = checkStates[k];
        QCOMPARE(DiagnosisResult::Evaluate(results.data(), standards.data(), tolerances.data()), overall);
        QCOMPARE(results[3].Judgements[0], 0);
    }

    // ---- form -----------------------------------------------------------------------------------------------

    void form_data()
    {
        AddFormObjectRows({
            {"tableVerificationHistory", "QTableWidget"},   {"tableVerificationInfo", "QTableWidget"},
            {"tableVerificationJudgement", "QTableWidget"}, {"tableVerificationResult", "QTableWidget"},
            {"groupBox", "QGroupBox"},                      {"pushStandardValueSetting", "QPushButton"},
            {"pushToleranceSetting", "QPushButton"},        {"pushInspection", "QPushButton"},
            {"pushResultExport", "QPushButton"},            {"cancelButton", "QPushButton"},
            {"verticalLayout_3", "QVBoxLayout"},            {"gridLayout", "QGridLayout"},
            {"hboxLayout", "QHBoxLayout"},                  {"verticalLayout", "QVBoxLayout"},
            {"horizontalLayout", "QHBoxLayout"},            {"verticalLayout_5", "QVBoxLayout"},
            {"verticalLayout_2", "QVBoxLayout"},            {"verticalLayout_4", "QVBoxLayout"},
            {"verticalLayout_6", "QVBoxLayout"}});
    }
    void form()
    {
        CVCInstrumentTest dialog(f->model.get(), nullptr);
        QCOMPARE(dialog.objectName(), QStringLiteral("InstrumentTestDialog"));
        VerifyFormObject(&dialog);
    }

    void tables()
    {
        CVCInstrumentTest dialog(f->model.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Diagnose instrument"));
        QCOMPARE(dialog.size(), QSize(1012, 499));
        QVERIFY(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

        QTableWidget *history = Table(&dialog, "tableVerificationHistory");
        QCOMPARE(history->columnCount(), 3);
        const QStringList labels = {"Serial No", "Date", "Judgement"};
        const int widths[] = {80, 110, 75};
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(history->horizontalHeaderItem(c)->text(), labels.at(c));
            QCOMPARE(history->columnWidth(c), widths[c]);
        }
        QCOMPARE(history->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(history->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(history->editTriggers(), QAbstractItemView::NoEditTriggers);

        QTableWidget *info = Table(&dialog, "tableVerificationInfo");
        QCOMPARE(info->rowCount(), 5);
        QCOMPARE(info->verticalHeaderItem(2)->text(), QStringLiteral("Meas. Condition"));
        QCOMPARE(info->columnWidth(0), 150);
        QCOMPARE(info->minimumSize(), info->maximumSize());

        QTableWidget *result = Table(&dialog, "tableVerificationResult");
        QCOMPARE(result->rowCount(), 14);
        QCOMPARE(result->columnCount(), 15);
        QVERIFY(result->verticalHeader()->isHidden());
        QVERIFY(result->horizontalHeader()->isHidden());
        QCOMPARE(result->columnWidth(0), 80);
        QCOMPARE(result->columnWidth(14), 60);
        for (int r = 0; r < 14; ++r)
            QCOMPARE(result->rowHeight(r), r == 0 || r == 4 || r == 8 ? 50 : 25);
        for (int r = 0; r < 14; ++r) {
            for (int c = 0; c < 15; ++c)
                QVERIFY(result->item(r, c));
        }
        QCOMPARE(result->item(0, 0)->text(), QStringLiteral("Test"));
        QCOMPARE(result->item(4, 0)->text(), QStringLiteral("Standard"));
        QCOMPARE(result->item(8, 0)->text(), QStringLiteral("Difference"));
        QCOMPARE(result->item(6, 0)->text(), QStringLiteral("a*"));
        QCOMPARE(result->item(13, 0)->text(), QStringLiteral("dE00"));
        for (int row : {0, 4, 8}) {
            for (int tile = 0; tile < kTileCount; ++tile) {
                const QTableWidgetItem *item = result->item(row, 1 + tile);
                QCOMPARE(item->text(), TileName(tile));
                QCOMPARE(item->foreground().color(), TileTextColor(tile));
                QCOMPARE(item->background().color(), TileBackgroundColor(tile));
            }
        }
    }

    // ---- opening --------------------------------------------------------------------------------------------

    void openingEmptyHistory()
    {
        StoreStandards(MakeStandards());
        StoreTolerances(MakeTolerances(2, 1.0f));
        RunDialog([&](CVCInstrumentTest *d) {
            QVERIFY(!Child<QPushButton>(d, "pushResultExport")->isEnabled());
            QVERIFY(Child<QPushButton>(d, "pushInspection")->isEnabled());
            QCOMPARE(Table(d, "tableVerificationHistory")->rowCount(), 0);
            QCOMPARE(Cell(d, "tableVerificationResult", 5, 3), QStringLiteral("52.00"));
            QCOMPARE(Cell(d, "tableVerificationResult", 7, 3), QStringLiteral("-2.00"));
            QCOMPARE(Table(d, "tableVerificationResult")->item(5, 3)->textAlignment(),
                     int(Qt::AlignRight | Qt::AlignVCenter));
            for (int row : {1, 2, 3, 9, 13})
                QCOMPARE(Cell(d, "tableVerificationResult", row, 3), QString());
            QCOMPARE(Cell(d, "tableVerificationInfo", 0, 0), QString());
            QCOMPARE(Cell(d, "tableVerificationJudgement", 0, 0), QString());
        });
    }

    void openingStoresDefaultTolerances_data()
    {
        QTest::addColumn<int>("storedRows");
        QTest::newRow("empty store") << 0;
        QTest::newRow("three rows") << 3;
        QTest::newRow("five rows kept") << 5;
    }
    void openingStoresDefaultTolerances()
    {
        QFETCH(int, storedRows);
        WriteDefaults();
        StoreStandards(MakeStandards());
        if (storedRows > 0)
            StoreTolerances(MakeTolerances(0, 9.0f, storedRows));
        RunDialog([](CVCInstrumentTest *) {});
        const auto stored = StoredTolerances();
        QCOMPARE(int(stored.size()), 5);
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(stored[size_t(k)].RowIndex, k);
            QCOMPARE(stored[size_t(k)].Kind, storedRows == 5 ? 0 : 2);
            QCOMPARE(stored[size_t(k)].Pairs[13].Tolerance, storedRows == 5 ? 9.0f : float(k + 1 + 13 * 0.25));
        }
        QVERIFY(f->window->errors.isEmpty());
    }

    void fewStandardValuesDisableDiagnose()
    {
        StoreStandards(MakeStandards(13));
        StoreTolerances(MakeTolerances(2, 1.0f));
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCInstrumentStandardValueSetting"), [this](QDialog *d) {
            StoreStandards(MakeStandards());
            d->done(1);
        });
        RunDialog([&](CVCInstrumentTest *d) {
            QVERIFY(!Child<QPushButton>(d, "pushInspection")->isEnabled());
            QCOMPARE(Cell(d, "tableVerificationResult", 5, 1), QString());
            Click(d, "pushStandardValueSetting");
            QVERIFY(Child<QPushButton>(d, "pushInspection")->isEnabled());
            QCOMPARE(Cell(d, "tableVerificationResult", 5, 1), QStringLiteral("50.00"));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    // ---- inspection and history -----------------------------------------------------------------------------

    void cancelledTileMeasurement()
    {
        const Standards standards = MakeStandards();
        StoreStandards(standards);
        StoreTolerances(MakeTolerances(2, 1.0f));
        const QByteArray before = ReadAll(DiagnosePath());
        ScriptedPresenter script;
        int during = -1;
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"),
                            TileAnswer(Measured(standards), 0, &during));
        RunDialog([&](CVCInstrumentTest *d) {
            Click(d, "pushInspection");
            QCOMPARE(Table(d, "tableVerificationHistory")->rowCount(), 0);
            QVERIFY(!Child<QPushButton>(d, "pushResultExport")->isEnabled());
            QCOMPARE(Cell(d, "tableVerificationResult", 1, 1), QString());
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(during, int(CModel::StatusTileMeasurement));
        QCOMPARE(f->model->GetOperationState(), int(CModel::StatusInstrumentTest));
        QCOMPARE(ReadAll(DiagnosePath()), before);
    }

    void historyLimit_data()
    {
        QTest::addColumn<int>("stored");
        QTest::newRow("99 + 1") << 99;
        QTest::newRow("100 + 1") << 100;
        QTest::newRow("103 + 1") << 103;
    }
    void historyLimit()
    {
        QFETCH(int, stored);
        const Standards standards = MakeStandards();
        StoreStandards(standards);
        StoreTolerances(MakeTolerances(2, 1.0f));
        QVector<DiagnoseHistoryRecord> entries;
        for (int i = 0; i < stored; ++i)
            entries << Entry(QStringLiteral("S%1").arg(i), QStringLiteral("2023/01/01 00:00:00"), 1);
        StoreHistory(entries);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"), TileAnswer(Measured(standards), 1));
        RunDialog([&](CVCInstrumentTest *d) {
            Click(d, "pushInspection");
            QTableWidget *history = Table(d, "tableVerificationHistory");
            QCOMPARE(history->rowCount(), 100);
            QCOMPARE(history->currentRow(), 99);
            QCOMPARE(Cell(d, "tableVerificationHistory", 99, 1), QStringLiteral("2024/05/06 07:08"));
            QCOMPARE(Cell(d, "tableVerificationInfo", 1, 0), QStringLiteral("2024/05/06 07:08"));
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 0), QStringLiteral("S%1").arg(stored - 99));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const auto history = StoredHistory();
        QCOMPARE(int(history.size()), 100);
        QCOMPARE(history.front().SerialNumber, QStringLiteral("S%1").arg(stored - 99));
        QCOMPARE(history.back().DateTime, QStringLiteral("2024/05/06 07:08:09"));
        QCOMPARE(history.back().SerialNumber, QString()); // the scanner is not connected
        QCOMPARE(history.back().TileCount, quint32(kTileCount));
        QCOMPARE(history.back().Flag, 1);
    }

    void olderRowShownAndExported()
    {
        StoreStandards(MakeStandards());
        StoreTolerances(MakeTolerances(2, 1.0f));
        StoreHistory({Entry(QStringLiteral("OLD1"), QStringLiteral("2024/01/02 03:04:05"), 0),
                      Entry(QStringLiteral("NEW2"), QStringLiteral("2024/02/03 04:05:06"), 1)});
        const QString path = f->home.path() + QStringLiteral("/older.csv");
        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), path);
        RunDialog([&](CVCInstrumentTest *d) {
            QVERIFY(Child<QPushButton>(d, "pushResultExport")->isEnabled());
            QCOMPARE(Cell(d, "tableVerificationInfo", 0, 0), QStringLiteral("NEW2"));
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 2), QStringLiteral("NG"));
            QCOMPARE(Cell(d, "tableVerificationHistory", 1, 2), QStringLiteral("OK"));
            Table(d, "tableVerificationHistory")->setCurrentCell(0, 1);
            const QStringList info = {"OLD1", "2024/01/02 03:04", "M1", "2 degree", "D50"};
            for (int r = 0; r < 5; ++r)
                QCOMPARE(Cell(d, "tableVerificationInfo", r, 0), info.at(r));
            QTableWidgetItem *judgement = Table(d, "tableVerificationJudgement")->item(0, 0);
            QCOMPARE(judgement->text(), QStringLiteral("NG"));
            QCOMPARE(judgement->background().color(), QColor(255, 217, 223));
            QCOMPARE(Cell(d, "tableVerificationResult", 1, 3), QStringLiteral("2.25"));
            QCOMPARE(Cell(d, "tableVerificationResult", 9, 3), QStringLiteral("0.25"));
            QCOMPARE(Table(d, "tableVerificationResult")->item(9, 3)->background().color(), QColor(255, 217, 223));
            Click(d, "pushResultExport");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(ReadAll(path), DiagnosisResult::ReportBytes(
                                    Entry(QStringLiteral("OLD1"), QStringLiteral("2024/01/02 03:04:05"), 0),
                                    f->model->GetUserIlluminants()));
    }

    void diagnoseFileUnwritable()
    {
        const Standards standards = MakeStandards();
        StoreStandards(standards);
        StoreTolerances(MakeTolerances(2, 1.0f));
        QVERIFY(QFile::remove(DiagnosePath()));
        QVERIFY(QDir().mkpath(DiagnosePath()));
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"), TileAnswer(Measured(standards), 1));
        RunDialog([&](CVCInstrumentTest *d) {
            Click(d, "pushInspection");
            QCOMPARE(Table(d, "tableVerificationHistory")->rowCount(), 1);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(f->window->errors, QList<int>{2});
    }

    // ---- sub-dialogs and status -----------------------------------------------------------------------------

    void status_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("dialogClass");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("during");
        const QList<QStringList> rows = {{"pushInspection", "CVCInstrumentTileMeasurement", "16"},
                                         {"pushStandardValueSetting", "CVCInstrumentStandardValueSetting", "17"},
                                         {"pushToleranceSetting", "CVCInstrumentToleranceSetting", "18"}};
        for (const QStringList &row : rows) {
            for (int answer : {1, 0})
                QTest::newRow(qPrintable(row.at(1) + (answer ? " OK" : " Cancel")))
                    << row.at(0) << row.at(1) << answer << row.at(2).toInt();
        }
    }
    void status()
    {
        QFETCH(QString, button);
        QFETCH(QString, dialogClass);
        QFETCH(int, answer);
        QFETCH(int, during);
        const Standards standards = MakeStandards();
        StoreStandards(standards);
        StoreTolerances(MakeTolerances(2, 1.0f));
        ScriptedPresenter script;
        int seen = -1;
        const Results results = Measured(standards);
        script.ExpectDialog(dialogClass, [&](QDialog *d) {
            seen = f->model->GetOperationState();
            if (auto *tile = qobject_cast<CVCInstrumentTileMeasurement *>(d))
                std::copy(results.begin(), results.end(), tile->GetTileResults());
            d->done(answer);
        });
        CVCInstrumentTest dialog(f->model.get(), nullptr);
        dialog.SetDefaultsFolder(m_defaults);
        QSignalSpy closed(&dialog, &CVCInstrumentTest::closeInstrumentTest);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            dialog.findChild<QPushButton *>(button)->click();
            QCOMPARE(f->model->GetOperationState(), int(CModel::StatusInstrumentTest));
            QCOMPARE(closed.count(), 0);
            Click(d, "cancelButton");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(seen, during);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(closed.count(), 1);
    }

    // Tolerances decide: after an OK inspection, standard values whose RED L* lies 1.0 above the measured one
    // and a dL* tolerance of 0.5 for RED (dE*ab unchecked) make the next inspection NG; the first entry stays.
    void tolerancesDecide()
    {
        const Standards standards = MakeStandards();
        StoreStandards(standards);
        StoreTolerances(MakeTolerances(2, 2.0f));
        Standards raised = standards;
        raised[kRed].Lab[0] += 1.0f;
        auto tightened = MakeTolerances(2, 2.0f);
        tightened[0].Pairs[kRed].Tolerance = 0.5f;
        tightened[3].Kind = 0;

        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"), TileAnswer(Measured(standards), 1));
        script.ExpectDialog(QStringLiteral("CVCInstrumentStandardValueSetting"), [&](QDialog *d) {
            StoreStandards(raised);
            d->done(1);
        });
        script.ExpectDialog(QStringLiteral("CVCInstrumentToleranceSetting"), [&](QDialog *d) {
            StoreTolerances(tightened);
            d->done(1);
        });
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"), TileAnswer(Measured(standards), 1));
        std::vector<DiagnoseHistoryRecord> afterFirst;
        RunDialog([&](CVCInstrumentTest *d) {
            Click(d, "pushInspection");
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 2), QStringLiteral("OK"));
            QCOMPARE(Cell(d, "tableVerificationJudgement", 0, 0), QStringLiteral("OK"));
            afterFirst = StoredHistory();
            Click(d, "pushStandardValueSetting");
            Click(d, "pushToleranceSetting");
            // New values apply to later inspections only.
            QCOMPARE(Cell(d, "tableVerificationResult", 5, 1 + kRed), QStringLiteral("56.00"));
            QCOMPARE(StoredHistory().size(), size_t(1));
            QCOMPARE(std::memcmp(StoredHistory()[0].Tiles, afterFirst[0].Tiles, sizeof afterFirst[0].Tiles), 0);

            Click(d, "pushInspection");
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 2), QStringLiteral("OK"));
            QCOMPARE(Cell(d, "tableVerificationHistory", 1, 2), QStringLiteral("NG"));
            QCOMPARE(Cell(d, "tableVerificationJudgement", 0, 0), QStringLiteral("NG"));
            QTableWidget *result = Table(d, "tableVerificationResult");
            QCOMPARE(result->item(9, 1 + kRed)->text(), QStringLiteral("-1.00"));
            QCOMPARE(result->item(9, 1 + kRed)->background().color(), QColor(255, 217, 223));
            QCOMPARE(result->item(9, 1)->background().color(), QColor(144, 238, 144));
            QCOMPARE(result->item(12, 1 + kRed)->text(), QStringLiteral("1.00"));
            QCOMPARE(result->item(12, 1 + kRed)->background().style(), Qt::NoBrush);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        const auto history = StoredHistory();
        QCOMPARE(int(history.size()), 2);
        QCOMPARE(history[0].Judgement, 1);
        QCOMPARE(std::memcmp(history[0].Tiles, afterFirst[0].Tiles, sizeof afterFirst[0].Tiles), 0);
        QCOMPARE(history[1].Judgement, 0);
        QCOMPARE(history[1].Tiles[kRed].Judgements[0], 0);
        QCOMPARE(history[1].Tiles[kRed].Tolerances[0], 0.5f);
        QCOMPARE(history[1].Tiles[kRed].CheckStates[3], 0);
    }

    // First diagnosis, as the main window's instrument test runs it on an empty store: the standard values are
    // measured first, then the diagnosis stores the default tolerances, measures again, judges and reports.
    void firstDiagnosis()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        WriteDefaults();
        QCOMPARE(f->model->GetOperationState(), int(CModel::StatusInstrumentTest));
        unsigned int count = 0;
        const StandardValueRecord *records = nullptr;
        f->model->GetStandardValues(&count, &records);
        QCOMPARE(count, 0u);

        // The standard values: Tile Measurement, then OK.
        ScriptedPresenter script;
        int statusInside = -1;
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"), [&](QDialog *d) {
            statusInside = f->model->GetOperationState();
            MeasureBothStrips(d);
        });
        CVCInstrumentStandardValueSetting standard(f->model.get(), nullptr);
        QString infoLine;
        const int accepted = ModalRunner::Run(&standard, [&](QDialog *d) {
            Child<QRadioButton>(d, "radioMeasurement")->click();
            Click(d, "pushMeasurement");
            infoLine = Child<QLabel>(d, "labelMeasurementInfo")->text();
            QCOMPARE(f->model->GetOperationState(), int(CModel::StatusStandardValues));
            Click(d, "pushOK");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(accepted, 1);
        QCOMPARE(statusInside, int(CModel::StatusTileMeasurement));
        QCOMPARE(infoLine, QStringLiteral("Orlo ORS00001 2024/05/06 07:08"));
        f->model->GetStandardValues(&count, &records);
        QCOMPARE(count, unsigned(kTileCount));
        const Standards standards(records, records + count);
        const TileSetInfo info = f->model->GetTileSetRecord();
        QCOMPARE(info.ModelIndex, 0);
        QCOMPARE(info.SerialNumber, QStringLiteral("ORS00001"));
        QCOMPARE(info.CreateTime, QStringLiteral("2024/05/06 07:08"));

        // The diagnosis.
        f->model->SetAppStatus(CModel::StatusInstrumentTest);
        QVERIFY(StoredTolerances().empty());
        const QString path = f->home.path() + QStringLiteral("/ORS00001_Result.csv");
        script.ExpectDialog(QStringLiteral("CVCInstrumentTileMeasurement"), MeasureBothStrips);
        script.ExpectSaveFile(QStringLiteral("Save"), path);
        CVCInstrumentTest dialog(f->model.get(), nullptr);
        dialog.SetDefaultsFolder(m_defaults);
        QSignalSpy closed(&dialog, &CVCInstrumentTest::closeInstrumentTest);
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            const auto tolerances = StoredTolerances();
            QCOMPARE(int(tolerances.size()), kColourDifferenceKindCount);
            QCOMPARE(tolerances[4].Pairs[13].Tolerance, 5 + 13 * 0.25f);
            QVERIFY(Child<QPushButton>(d, "pushInspection")->isEnabled());
            QVERIFY(!Child<QPushButton>(d, "pushResultExport")->isEnabled());
            Click(d, "pushInspection");
            QCOMPARE(Table(d, "tableVerificationHistory")->rowCount(), 1);
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 0), QStringLiteral("ORS00001"));
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 1), QStringLiteral("2024/05/06 07:08"));
            QCOMPARE(Cell(d, "tableVerificationHistory", 0, 2), QStringLiteral("OK"));
            QCOMPARE(Cell(d, "tableVerificationJudgement", 0, 0), QStringLiteral("OK"));
            QCOMPARE(Cell(d, "tableVerificationInfo", 0, 0), QStringLiteral("ORS00001"));
            QCOMPARE(f->model->GetOperationState(), int(CModel::StatusInstrumentTest));
            Click(d, "pushResultExport");
            QCOMPARE(closed.count(), 0);
            Click(d, "cancelButton");
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(closed.count(), 1);
        QVERIFY(f->window->errors.isEmpty());

        // The second measurement of the same tiles matches the first to the table's two decimals.
        const auto history = StoredHistory();
        QCOMPARE(int(history.size()), 1);
        const DiagnoseHistoryRecord &entry = history[0];
        QCOMPARE(entry.SerialNumber, QStringLiteral("ORS00001"));
        QCOMPARE(entry.DateTime, QStringLiteral("2024/05/06 07:08:09"));
        QCOMPARE(entry.Judgement, 1);
        for (int t = 0; t < kTileCount; ++t) {
            const TileResultRecord &tile = entry.Tiles[t];
            for (int i = 0; i < 3; ++i)
                QCOMPARE(standards[size_t(t)].Lab[i], QString::number(double(tile.MeasuredLab[i]), 'f', 2).toFloat());
            for (int i = 0; i < kReflectanceCount; ++i)
                QCOMPARE(standards[size_t(t)].Reflectance[i], tile.MeasuredReflectance[i]);
            QCOMPARE(tile.StandardLab[0], standards[size_t(t)].Lab[0]);
            for (int k = 0; k < kColourDifferenceKindCount; ++k) {
                QVERIFY(std::fabs(tile.Differences[k]) < 0.01f);
                QCOMPARE(tile.CheckStates[k], 2);
                QCOMPARE(tile.Judgements[k], 1);
            }
        }
        const QByteArray report = ReadAll(path);
        QCOMPARE(report, DiagnosisResult::ReportBytes(entry, f->model->GetUserIlluminants()));
        QVERIFY(report.contains("ORS00001"));
    }
};

QTEST_MAIN(TestDiagnosis)
#include "test_diagnosis.moc"
