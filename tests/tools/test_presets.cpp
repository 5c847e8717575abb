// The preset density chart generator: the same bytes on every run, charts that read back as the table says,
// and one chart for every QR-code preset of the installation.

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cstring>
#include <tuple>

namespace {

// Only density reading is used; the rest answers like the program's defaults.
class Host : public CDocumentDataHost {
public:
    Setting::UserEnvironment &CurrentUserEnvironment() override { return environment; }
    int GetAreaLeftMin() const override { return 400; }
    int GetAreaLeftMax() const override { return 31900; }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return 146100; }
    int FindPaperSizeIndexInUnit(int, int, int) const override { return 8; }
    int GetPageSizeWidth(int) const override { return 1000; }
    int GetPageSizeHeight(int) const override { return 1000; }
    int GetPageSizeMaxWidth(int) const override { return 32900; }
    int GetPageSizeMaxHeight(int) const override { return 150000; }
    int GetInstalledPresetLevel() const override { return 4; }
    int GetPresetLevel() const override { return 4; }
    bool IsDataFormatCurrent() const override { return true; }
    Setting::UserEnvironment environment;
};

QJsonArray Presets()
{
    QFile file(QStringLiteral(VAREMO_PRESETS_TABLE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("presets")).toArray();
}

QString PresetFile(const QJsonObject &preset)
{
    return QStringLiteral("%1.vrchart").arg(preset.value(QLatin1String("fileNumber")).toInt(), 5, 10, QLatin1Char('0'));
}

bool RunGenerator(const QString &folder)
{
    QProcess process;
    process.start(QStringLiteral(VAREMO_PRESETCHARTS), {QStringLiteral(VAREMO_PRESETS_TABLE), folder});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPresets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!Presets().isEmpty()); }

    void sameBytesEveryRun()
    {
        QTemporaryDir first, second;
        QVERIFY(RunGenerator(first.path()));
        QVERIFY(RunGenerator(second.path()));
        const QString built = InitialDataDir() + QStringLiteral("/Density/");
        for (const QJsonValue &value : Presets()) {
            const QString name = PresetFile(value.toObject());
            const QByteArray bytes = ReadAll(first.filePath(name));
            QVERIFY2(!bytes.isEmpty(), qPrintable(name));
            QCOMPARE(ReadAll(second.filePath(name)), bytes);
            QCOMPARE(ReadAll(built + name), bytes);
        }
    }

    void chartsFollowTheTable()
    {
        for (const QJsonValue &value : Presets()) {
            const QJsonObject preset = value.toObject();
            const QString path = InitialDataDir() + QStringLiteral("/Density/") + PresetFile(preset);
            DensityBalanceData record;
            ChartDefinitionDataSheets chart;
            QCOMPARE(ReadDensityChartFile(&record, &chart, path), kDocumentOk);
            int patches = 0;
            for (const QJsonValue &area : preset.value(QLatin1String("areas")).toArray())
                patches += area.toObject().value(QLatin1String("patches")).toInt();
            QCOMPARE(record.ChartName, preset.value(QLatin1String("chartName")).toString());
            QCOMPARE(record.CreateTime, preset.value(QLatin1String("createTime")).toString());
            QCOMPARE(record.UUID, preset.value(QLatin1String("uuid")).toString());
            QCOMPARE(record.Template, preset.value(QLatin1String("template")).toInt());
            QCOMPARE(record.SecondNumber, preset.value(QLatin1String("instrument")).toInt());
            QCOMPARE(record.ChartPatchCount, patches);
            QCOMPARE(chart.SheetCount, 1);
            QCOMPARE(chart.Sheets[0].PatchCount, patches);
            QVERIFY(ChartFitsSheetMargins(chart));
            const QJsonObject colors = preset.value(QLatin1String("colors")).toObject();
            const QJsonArray cycle = colors.value(QLatin1String("cycle")).toArray();
            const auto &sheet = chart.Sheets[0];
            for (int i = 0; i < sheet.PatchCount; ++i) {
                const auto &patch = sheet.Patches[i];
                QCOMPARE(patch.ID, i + 1);
                QCOMPARE(patch.ColorFormat, colors.value(QLatin1String("format")).toInt());
                const QJsonArray expected = cycle[i % cycle.size()].toArray();
                for (int v = 0; v < expected.size(); ++v)
                    QCOMPARE(patch.ColorValue[v], float(expected[v].toDouble()));
            }
            // Area, row, column order.
            for (int i = 1; i < sheet.PatchCount; ++i) {
                const auto &a = sheet.Patches[i - 1];
                const auto &b = sheet.Patches[i];
                QVERIFY(std::make_tuple(a.Area, a.Row, a.Column) < std::make_tuple(b.Area, b.Row, b.Column));
            }
            ClearChartDefinitionData(&chart);
        }
    }

    // Every QR-code preset of Barcode.lst finds exactly one generated chart under its template.
    void barcodeListFindsCharts()
    {
        QFile list(QCoreApplication::applicationDirPath() + QStringLiteral("/Barcode.lst"));
        QVERIFY2(list.open(QIODevice::ReadOnly | QIODevice::Text), "Barcode.lst is not installed");
        QTemporaryDir data;
        QVERIFY(QDir().mkpath(data.filePath(QStringLiteral("Density"))));
        const QJsonArray presets = Presets();
        for (const QJsonValue &value : presets) {
            const QString name = PresetFile(value.toObject());
            QVERIFY(QFile::copy(InitialDataDir() + QStringLiteral("/Density/") + name,
                                data.filePath(QStringLiteral("Density/") + name)));
        }
        Host host;
        CDocumentData store(&host, nullptr, data.path(), QString());
        store.ReadDataGroups();
        QCOMPARE(store.ReadAllDensityDocuments(), kDocumentOk);

        QTextStream in(&list);
        int lines = 0;
        while (!in.atEnd()) {
            const QStringList fields = in.readLine().split(QLatin1Char(','));
            if (fields.size() != 3)
                continue;
            ++lines;
            int templateNumber = -1;
            for (const QJsonValue &value : presets)
                if (value.toObject().value(QLatin1String("chartName")).toString() == fields[1])
                    templateNumber = value.toObject().value(QLatin1String("template")).toInt();
            QVERIFY2(templateNumber >= 0, qPrintable(fields.join(QLatin1Char(','))));
            BarcodeEntry entry;
            entry.Code = fields[0];
            std::memset(&entry.Record, 0, sizeof entry.Record);
            const QByteArray code = fields[1].toLocal8Bit().left(int(sizeof entry.Record.ChartCode));
            std::memcpy(entry.Record.ChartCode, code.constData(), size_t(code.size()));
            entry.Record.PatchCount = fields[2].toInt();
            QCOMPARE(store.FindDensityChartsForTemplate({entry}, templateNumber).size(), 1);
        }
        QVERIFY(lines > 0);
    }
};

QTEST_GUILESS_MAIN(TestPresets)
#include "test_presets.moc"
