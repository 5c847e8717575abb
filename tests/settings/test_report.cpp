// The diagnosis result report: its bytes for one fixed entry in three time zones, its independence from the
// default locale, and the export from the diagnosis dialog (suggested name, last folder, cancel, failure).
#include "settings/diagnosisresult.h"
#include "settings/vcinstrumenttest.h"

#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

namespace {

// Values that are exact binary fractions with no more digits than printed, so no rounding is in question; a
// mix of checked, unchecked, passing and failing kinds, and one tile with every kind unchecked.
DiagnoseHistoryRecord FixedEntry(const QString &serial = QStringLiteral("ORS00001"))
{
    DiagnoseHistoryRecord entry;
    entry.ModelIndex = 0;
    entry.SerialNumber = serial;
    entry.DateTime = QStringLiteral("2024/07/15 13:45:30");
    entry.Judgement = 0;
    entry.Flag = 1;
    entry.TileCount = kTileCount;
    for (int t = 0; t < kTileCount; ++t) {
        TileResultRecord &tile = entry.Tiles[t];
        tile.TileId = t;
        for (int i = 0; i < kReflectanceCount; ++i) {
            tile.MeasuredReflectance[i] = float(t * 36 + i) / 128.0f;
            tile.StandardReflectance[i] = float(t * 36 + i + 1) / 128.0f;
        }
        tile.MeasuredReflectance[0] = 0.5f;
        const float measured[3] = {50.0f + float(t), -2.5f + 0.25f * float(t), 10.75f};
        const float standard[3] = {50.25f + float(t), -2.5f, 10.5f - float(t)};
        for (int i = 0; i < 3; ++i) {
            tile.MeasuredLab[i] = measured[i];
            tile.StandardLab[i] = standard[i];
            tile.Differences[i] = measured[i] - standard[i];
        }
        tile.Differences[3] = 1.5f + 0.25f * float(t);
        tile.Differences[4] = 0.75f + 0.5f * float(t);
        for (int k = 0; k < kColourDifferenceKindCount; ++k) {
            tile.Tolerances[k] = 0.5f + 0.25f * float(k);
            tile.Judgements[k] = (t + k) % 3 == 0 ? 0 : 1;
            tile.CheckStates[k] = t == 13 || k == 4 ? 0 : 2;
        }
    }
    return entry;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The golden file for the zone the test runs in (its CTest registration sets TZ).
QString GoldenPath()
{
    const QByteArray zone = qgetenv("TZ");
    QString name = QStringLiteral("report_utc.csv");
    if (zone == "Asia/Tokyo")
        name = QStringLiteral("report_tokyo.csv");
    else if (zone == "America/New_York")
        name = QStringLiteral("report_new_york.csv");
    return QStringLiteral(VAREMO_DIAGNOSIS_TEST_DATA "/") + name;
}

void CompareLines(const QByteArray &actual, const QByteArray &expected)
{
    const QList<QByteArray> a = actual.split('\n');
    const QList<QByteArray> e = expected.split('\n');
    for (int i = 0; i < std::min(a.size(), e.size()); ++i)
        QVERIFY2(a.at(i) == e.at(i), qPrintable(QStringLiteral("line %1:\n  got  %2\n  want %3")
                                                     .arg(i + 1)
                                                     .arg(QString::fromUtf8(a.at(i)), QString::fromUtf8(e.at(i)))));
    QCOMPARE(a.size(), e.size());
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;

    // Stores the entries as the history and opens the dialog; script runs inside its modal loop.
    void RunDialog(const QVector<DiagnoseHistoryRecord> &entries,
                   const std::function<void(CVCInstrumentTest *)> &script)
    {
        std::unique_ptr<DiagnoseHistoryRecord[]> records(new DiagnoseHistoryRecord[size_t(entries.size())]);
        std::copy(entries.begin(), entries.end(), records.get());
        QCOMPARE(f->model->SetDiagnoseHistory(unsigned(entries.size()), std::move(records)), 0);
        CVCInstrumentTest dialog(f->model.get(), nullptr);
        dialog.SetDefaultsFolder(f->home.path() + QStringLiteral("/no-defaults"));
        ModalRunner::Run(&dialog, [&](QDialog *) { script(&dialog); });
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
    }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        f.reset();
    }

    void golden()
    {
        const QByteArray bytes = DiagnosisResult::ReportBytes(FixedEntry(), f->model->GetUserIlluminants());
        const QByteArray expected = ReadAll(GoldenPath());
        QVERIFY2(!expected.isEmpty(), qPrintable(GoldenPath()));
        CompareLines(bytes, expected);
        QCOMPARE(bytes, expected);
    }

    void shape()
    {
        const QByteArray bytes = DiagnosisResult::ReportBytes(FixedEntry(), f->model->GetUserIlluminants());
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        // Twelve header lines, then five blocks: keyword, column header, 14 tiles, end keyword.
        constexpr int kHeaderLines = 12;
        constexpr int kBlockLines = 2 + kTileCount + 1;
        QCOMPARE(bytes.count("\r\n"), kHeaderLines + 5 * kBlockLines);
        QCOMPARE(bytes.count('\n'), kHeaderLines + 5 * kBlockLines);
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast();
        for (const QByteArray &line : lines)
            QVERIFY(line.endsWith('\r') && line.size() > 1);
        for (int block = 0; block < 5; ++block) {
            const int begin = kHeaderLines + block * kBlockLines;
            const bool spectral = block < 2;
            QCOMPARE(lines.at(begin + 1).chopped(1).split(',').size(), spectral ? 40 : 6);
            QVERIFY(!lines.at(begin + 1).chopped(1).endsWith(','));
            for (int i = begin + 2; i < begin + 2 + kTileCount; ++i) {
                const QByteArray line = lines.at(i).chopped(1);
                QCOMPARE(line.split(',').size(), spectral ? 40 : 7);
                QCOMPARE(line.endsWith(','), !spectral);
            }
            QVERIFY(lines.at(begin + kBlockLines - 1).startsWith("END_"));
        }
        QVERIFY(bytes.contains("\r\nWHITE,0.5000000,"));
        QVERIFY(bytes.contains("\r\nWHITE,1.50,0.75,-0.25,"));
        QVERIFY(bytes.contains("\r\nBLACK,-,-,-,-,-,\r\n"));
    }

    void germanDefaultLocale()
    {
        const QByteArray expected = DiagnosisResult::ReportBytes(FixedEntry(), f->model->GetUserIlluminants());
        QLocale::setDefault(QLocale::German);
        QCOMPARE(DiagnosisResult::ReportBytes(FixedEntry(), f->model->GetUserIlluminants()), expected);
    }

    void suggestedName_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("name");
        QTest::newRow("serial") << "ORS00001" << "ORS00001_Result.csv";
        QTest::newRow("empty serial") << "" << "_Result.csv";
    }
    void suggestedName()
    {
        QFETCH(QString, serial);
        QFETCH(QString, name);
        const QString folder = f->home.path() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(f->model->SetLastFolder(folder), 0);
        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), QString());
        RunDialog({FixedEntry(serial)}, [&](CVCInstrumentTest *dialog) {
            dialog->findChild<QPushButton *>(QStringLiteral("pushResultExport"))->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(script.Calls().first().folder, folder + QLatin1Char('/') + name);
        QCOMPARE(script.Calls().first().filter, QStringLiteral("csv File (*.csv)"));
    }

    void writtenCancelledFailed_data()
    {
        QTest::addColumn<QString>("answer"); // relative to the temporary folder; empty: cancel
        QTest::addColumn<bool>("directoryThere");
        QTest::addColumn<int>("result");
        QTest::newRow("written") << "chosen/report.csv" << false << 0;
        QTest::newRow("cancelled") << "" << false << 0;
        QTest::newRow("a directory at the path") << "chosen/report.csv" << true << 5001;
    }
    void writtenCancelledFailed()
    {
        QFETCH(QString, answer);
        QFETCH(bool, directoryThere);
        QFETCH(int, result);
        const QString start = f->home.path() + QStringLiteral("/start");
        QVERIFY(QDir().mkpath(start));
        QVERIFY(QDir().mkpath(f->home.path() + QStringLiteral("/chosen")));
        QCOMPARE(f->model->SetLastFolder(start), 0);
        const QString path = answer.isEmpty() ? QString() : f->home.path() + QLatin1Char('/') + answer;
        if (directoryThere)
            QVERIFY(QDir().mkpath(path));

        ScriptedPresenter script;
        script.ExpectSaveFile(QStringLiteral("Save"), path);
        int returned = -1;
        RunDialog({FixedEntry(QStringLiteral("A")), FixedEntry()},
                  [&](CVCInstrumentTest *dialog) { returned = dialog->ExportResult(1); });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(returned, result);
        if (path.isEmpty()) {
            QCOMPARE(f->model->GetLastFolder(), start);
            QCOMPARE(QDir(f->home.path() + QStringLiteral("/chosen")).entryList(QDir::Files), QStringList());
            QVERIFY(f->window->errors.isEmpty());
            return;
        }
        QCOMPARE(f->model->GetLastFolder(), f->home.path() + QStringLiteral("/chosen"));
        if (directoryThere) {
            QCOMPARE(f->window->errors, QList<int>{2});
            QVERIFY(QFileInfo(path).isDir());
            QCOMPARE(QDir(f->home.path() + QStringLiteral("/chosen")).entryList(QDir::Files | QDir::Hidden),
                     QStringList());
        } else {
            QVERIFY(f->window->errors.isEmpty());
            QCOMPARE(ReadAll(path), DiagnosisResult::ReportBytes(FixedEntry(), f->model->GetUserIlluminants()));
        }
    }

    void noCurrentRowNoDialog()
    {
        ScriptedPresenter script;
        RunDialog({}, [&](CVCInstrumentTest *dialog) {
            QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("pushResultExport"))->isEnabled());
            dialog->pushResultExportClicked();
            QCOMPARE(dialog->ExportResult(0), 0);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(script.Calls().isEmpty());
    }
};

QTEST_MAIN(TestReport)
#include "test_report.moc"
