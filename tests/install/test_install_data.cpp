// The installation files as shipped beside the program, checked against the preset table they come from and
// against an independent QR encoder.

#include "app/helpers.h"
#include "app/recordhelpers.h"
#include "app/resourcedata.h"
#include "installfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <qrencode.h>

#include <memory>

namespace {

const QStringList kShippedFiles = {"Barcode.lst",         "BarcodeSize.lst", "Template.lst",
                                   "Instrument.lst",      "12642-2_default.csv", "AddFileName.lst",
                                   "toleranceDefaultSetting.txt"};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString shipped(const QString &name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

QStringList lines(const QString &name)
{
    const QByteArray bytes = readFile(shipped(name));
    if (bytes.isEmpty())
        return {};
    QStringList result = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    result.removeLast(); // after the final line end
    return result;
}

// The version a QR code of this many bytes takes at the level, 0 when it cannot be encoded.
int encodedVersion(int length, int level)
{
    const QByteArray text(length, 'a');
    QRcode *code = QRcode_encodeString8bit(text.constData(), 0, QRecLevel(level));
    const int version = code ? code->version : 0;
    QRcode_free(code);
    return version;
}

ChartDefinitionDataSheets chartOf(const InstallData::PresetChart &preset)
{
    ChartDefinitionDataSheets chart;
    chart.Kind = ChartDefinitionData::KindDensity;
    chart.SheetCount = 1;
    chart.ChartName = preset.chartName;
    chart.Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
    sheet.Width = preset.width;
    sheet.Height = preset.height;
    sheet.AreaCount = preset.areas.size();
    for (int i = 0; i < preset.areas.size() && i < kMaxAreaCount; ++i) {
        const InstallData::PresetArea &a = preset.areas.at(i);
        sheet.Areas[i] = {a.rows, a.columns, a.patches};
        sheet.Placements[i] = {a.left, a.top, a.patchWidth, a.patchHeight, a.pitchX, a.pitchY};
        sheet.PatchCount += a.patches;
    }
    return chart;
}

} // namespace

class TestInstallData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filesArePlainText();
    void generatedFilesMatchTable();
    void barcodeSizes();
    void iso12642Layouts();
    void presets();
    void barcodeList();
    void templatesAndInstruments();
    void addFileNames();
    void toleranceDefaults();

private:
    InstallData::PresetTable m_table;
    std::unique_ptr<CResourceData> m_resources;
};

void TestInstallData::initTestCase()
{
    QString error;
    QVERIFY2(InstallData::ReadPresetTable(QStringLiteral(VAREMO_SOURCE_DIR "/tools/installdata/presets.json"),
                                          &m_table, &error),
             qPrintable(error));
    m_resources = std::make_unique<CResourceData>();
    QCOMPARE(m_resources->Initialize(), 0); // the program's folder, as the program reads them
}

void TestInstallData::filesArePlainText()
{
    for (const QString &name : kShippedFiles) {
        const QByteArray bytes = readFile(shipped(name));
        QVERIFY2(QFile::exists(shipped(name)), qPrintable(name + QStringLiteral(" is not beside the program")));
        if (name == QLatin1String("AddFileName.lst") && bytes.isEmpty())
            continue;
        QVERIFY2(bytes.endsWith('\n') && !bytes.endsWith("\n\n"), qPrintable(name));
        QVERIFY2(!bytes.contains('\r'), qPrintable(name + QStringLiteral(" has CR line ends")));
        for (char c : bytes)
            QVERIFY2(c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F), qPrintable(name + QStringLiteral(" is not ASCII")));
    }
}

void TestInstallData::generatedFilesMatchTable()
{
    const QMap<QString, QByteArray> generated = InstallData::GenerateInstallFiles(m_table);
    QCOMPARE(generated.size(), 4);
    for (auto it = generated.cbegin(); it != generated.cend(); ++it) {
        const QString committed = QStringLiteral(VAREMO_SOURCE_DIR "/install/") + it.key();
        QVERIFY2(readFile(committed) == it.value(),
                 qPrintable(QStringLiteral("install/%1 differs from what tools/installdata/presets.json gives; run "
                                           "varemo_installdata tools/installdata/presets.json install")
                                .arg(it.key())));
        QVERIFY2(readFile(shipped(it.key())) == it.value(),
                 qPrintable(QStringLiteral("the copy of %1 beside the program is stale").arg(it.key())));
    }
}

void TestInstallData::barcodeSizes()
{
    const QStringList rows = lines(QStringLiteral("BarcodeSize.lst"));
    QCOMPARE(rows.size(), 40);
    QCOMPARE(rows.first(), QStringLiteral("1,21,17,14,11,7"));
    QCOMPARE(rows.at(1), QStringLiteral("2,25,32,26,20,14"));
    QCOMPARE(rows.last(), QStringLiteral("40,177,2953,2331,1663,1273"));
    QList<QList<int>> table;
    for (int v = 1; v <= 40; ++v) {
        const QStringList fields = rows.at(v - 1).split(QLatin1Char(','));
        QCOMPARE(fields.size(), 6);
        QList<int> row;
        for (const QString &field : fields)
            row << field.toInt();
        QCOMPARE(row.at(0), v);
        QCOMPARE(row.at(1), 17 + 4 * v);
        if (v > 1)
            for (int i = 1; i < 6; ++i)
                QVERIFY2(row.at(i) > table.last().at(i), qPrintable(rows.at(v - 1)));
        for (int level = 0; level < 4; ++level) {
            const int capacity = row.at(2 + level);
            QVERIFY2(encodedVersion(capacity, level) == v,
                     qPrintable(QStringLiteral("version %1 level %2 holds %3 bytes").arg(v).arg(level).arg(capacity)));
            if (v < 40)
                QVERIFY2(encodedVersion(capacity + 1, level) == v + 1,
                         qPrintable(QStringLiteral("version %1 level %2 holds only %3 bytes").arg(v).arg(level).arg(capacity)));
        }
        table << row;
    }
    // As the resource data reads it: the smallest symbol whose level-1 capacity exceeds the text.
    SheetInfoRecord record{};
    const int length = m_resources->MakeBarcodeText(record).size();
    const auto fit = std::find_if(table.cbegin(), table.cend(), [length](const QList<int> &row) { return row.at(3) > length; });
    QVERIFY(fit != table.cend());
    QCOMPARE(m_resources->GetBarcodeSize(record, 1, 7), (fit->at(1) + 8) * 7);
}

void TestInstallData::iso12642Layouts()
{
    const QStringList rows = lines(QStringLiteral("12642-2_default.csv"));
    QCOMPARE(rows.size(), 1618);
    QCOMPARE(rows.first(), QStringLiteral("ID,Row,Column,Row,Column"));
    QSet<int> ids;
    QSet<int> layout[2];
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList fields = rows.at(i).split(QLatin1Char(','));
        QCOMPARE(fields.size(), 5);
        const int id = fields.at(0).toInt();
        ids.insert(id);
        for (int l = 0; l < 2; ++l) {
            const int row = fields.at(1 + 2 * l).toInt();
            const int column = fields.at(2 + 2 * l).toInt();
            QVERIFY(row >= 1 && row <= 33 && column >= 1 && column <= 49);
            const QPair<int, int> read = m_resources->GetIso12642DefaultPosition(id, l);
            QCOMPARE(read, qMakePair(column, row));
            layout[l].insert(row * 100 + column);
        }
    }
    QCOMPARE(ids.size(), 1617);
    QVERIFY(ids.contains(1) && ids.contains(1617));
    QCOMPARE(layout[0].size(), 1617);
    QCOMPARE(layout[1].size(), 1617);
    // Layout 1 numbers down the columns.
    QCOMPARE(m_resources->GetIso12642DefaultPosition(33, 0), qMakePair(1, 33));
    QCOMPARE(m_resources->GetIso12642DefaultPosition(34, 0), qMakePair(2, 1));
    QCOMPARE(m_resources->GetIso12642DefaultPosition(1617, 0), qMakePair(49, 33));
}

void TestInstallData::presets()
{
    struct Required {
        int fileNumber;
        const char *name;
        int templateRow;
        int instrument;
    };
    const Required required[] = {{77, "Type2_SRA3", 1, 1}, {257, "A4_1", 7, 0}, {258, "A4_2", 7, 0},
                                 {259, "A4_3", 7, 0},      {260, "A4_4", 7, 0}};
    for (const Required &r : required) {
        const auto it = std::find_if(m_table.presets.cbegin(), m_table.presets.cend(),
                                     [&r](const InstallData::PresetChart &p) { return p.fileNumber == r.fileNumber; });
        QVERIFY2(it != m_table.presets.cend(), r.name);
        QCOMPARE(it->chartName, QLatin1String(r.name));
        QCOMPARE(it->templateRow, r.templateRow);
        QCOMPARE(it->instrument, r.instrument);
        if (r.fileNumber == 77) {
            QCOMPARE(it->createTime, QStringLiteral("2015/01/01 00:00:00"));
        } else {
            QVERIFY(it->createTime.contains(QStringLiteral("2018/")));
            QCOMPARE(it->PatchCount(), 506);
        }
    }

    CResourceData &res = *m_resources;
    QSet<int> numbers;
    for (const InstallData::PresetChart &preset : m_table.presets) {
        const QByteArray nameBytes = preset.chartName.toLocal8Bit();
        const char *name = nameBytes.constData();
        QVERIFY2(!numbers.contains(preset.fileNumber), name);
        numbers.insert(preset.fileNumber);
        const QByteArray bytes = preset.chartName.toLatin1();
        QVERIFY2(!bytes.isEmpty() && bytes.size() <= 16 && !bytes.contains(' ') && preset.chartName.toLatin1() ==
                                                                                      preset.chartName.toUtf8(),
                 name);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                     .match(preset.createTime)
                     .hasMatch(),
                 name);
        QVERIFY2(preset.templateRow >= 0 && preset.templateRow < m_table.templates.size(), name);
        QVERIFY2(m_table.templates.at(preset.templateRow).instruments.contains(preset.instrument), name);
        QVERIFY2(!preset.areas.isEmpty() && preset.areas.size() <= kMaxAreaCount, name);
        QVERIFY2(preset.width >= res.GetPageSizeWidth(8) && preset.width <= res.GetPageSizeMaxWidth(8) &&
                     preset.height >= res.GetPageSizeHeight(8) && preset.height <= res.GetPageSizeMaxHeight(8),
                 name);
        for (const InstallData::PresetArea &a : preset.areas) {
            QVERIFY2(a.left >= res.GetAreaLeftMin() && a.left <= res.GetAreaLeftMax() && a.top >= 0 &&
                         a.top <= res.GetAreaTopMax(),
                     name);
            QVERIFY2(a.columns >= 1 && a.columns <= res.GetMaxColumnCount() && a.rows >= 1 &&
                         a.rows <= res.GetMaxRowCount(),
                     name);
            QVERIFY2(a.patches >= 1 && a.patches <= a.rows * a.columns, name);
            QVERIFY2(a.pitchX >= a.patchWidth && a.pitchY >= a.patchHeight, name);
        }
        QVERIFY2(preset.colorFormat >= 1 && preset.colorFormat <= 6 && !preset.colorCycle.isEmpty(), name);
        for (const QList<double> &values : preset.colorCycle)
            QVERIFY2(values.size() == (preset.colorFormat == 1 ? 3 : preset.colorFormat + 2), name);
        ChartDefinitionDataSheets chart = chartOf(preset);
        const bool fits = ChartFitsSheetMargins(chart);
        ClearChartDefinitionData(&chart);
        QVERIFY2(fits, name);
    }
}

void TestInstallData::barcodeList()
{
    const QStringList rows = lines(QStringLiteral("Barcode.lst"));
    QVERIFY(!rows.isEmpty());
    const QStringList templates = lines(QStringLiteral("Template.lst"));
    QSet<QString> keys;
    QSet<QString> templateSizeCodes; // template, sheet size, characters 1-2
    for (const QString &row : rows) {
        const QStringList fields = row.split(QLatin1Char(','));
        QCOMPARE(fields.size(), 3);
        const QString key = fields.at(0);
        QVERIFY2(key.size() == 3 && !keys.contains(key), qPrintable(row));
        keys.insert(key);
        const QChar c = key.at(0);
        QVERIFY2((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('L')),
                 qPrintable(row));

        QList<InstallData::PresetChart> named;
        for (const InstallData::PresetChart &p : m_table.presets)
            if (p.chartName == fields.at(1) && p.PatchCount() == fields.at(2).toInt())
                named << p;
        QVERIFY2(named.size() == 1, qPrintable(row));
        const InstallData::PresetChart &preset = named.first();
        QCOMPARE(preset.instrument, 0);
        QVERIFY2(preset.templateRow < templates.size(), qPrintable(row));
        QVERIFY(m_resources->GetTemplateNumberList(preset.templateRow).contains(0));
        const bool large = preset.width >= 30800 && preset.height >= 27100;
        QVERIFY2(c != QLatin1Char('D') || large, qPrintable(row));
        const QString group = QStringLiteral("%1/%2x%3/%4")
                                  .arg(preset.templateRow)
                                  .arg(preset.width)
                                  .arg(preset.height)
                                  .arg(key.mid(1));
        QVERIFY2(!templateSizeCodes.contains(group), qPrintable(row));
        templateSizeCodes.insert(group);

        // The program's view: the key finds the preset's chart code and patch count.
        const QList<BarcodeEntry> entries = m_resources->FindBarcodeEntries(key.at(1), key.at(2));
        const auto found = std::find_if(entries.cbegin(), entries.cend(),
                                        [&key](const BarcodeEntry &e) { return e.Code == key; });
        QVERIFY(found != entries.cend());
        QCOMPARE(QString::fromLatin1(found->Record.ChartCode, int(qstrnlen(found->Record.ChartCode, 16))),
                 preset.chartName);
        QCOMPARE(int(found->Record.PatchCount), preset.PatchCount());
    }
}

void TestInstallData::templatesAndInstruments()
{
    const QStringList instruments = lines(QStringLiteral("Instrument.lst"));
    QCOMPARE(instruments, QStringList({"Orlo", "Brisa", "Calen", "Calen BT2"}));
    QCOMPARE(m_resources->GetInstrumentNames(), instruments);

    const QStringList names = m_resources->GetTemplateList();
    QVERIFY(names.size() >= 8);
    QCOMPARE(names.size(), lines(QStringLiteral("Template.lst")).size());
    for (int row = 0; row < names.size(); ++row) {
        const int second = m_resources->GetTemplateSecondNumber(row);
        QVERIFY2(second == 0 || second == 1, qPrintable(names.at(row)));
        const QList<int> offered = m_resources->GetTemplateNumberList(row);
        QVERIFY2(!offered.isEmpty(), qPrintable(names.at(row)));
        for (int n : offered)
            QVERIFY2(n >= 0 && n < instruments.size(), qPrintable(names.at(row)));
    }
    QVERIFY(m_resources->GetTemplateNumberList(1).contains(1));
    QVERIFY(m_resources->GetTemplateNumberList(7).contains(0));
}

void TestInstallData::addFileNames()
{
    const QRegularExpression validator(QStringLiteral("^[A-Za-z0-9]+$"));
    for (const QString &row : lines(QStringLiteral("AddFileName.lst"))) {
        const QStringList fields = row.split(QLatin1Char(','));
        QCOMPARE(fields.size(), 2);
        QVERIFY2(validator.match(fields.at(1)).hasMatch(), qPrintable(row));
        bool named = false;
        for (const InstallData::PresetChart &p : m_table.presets) {
            if (p.chartName.section(QLatin1Char(' '), 0, 0) != fields.at(0))
                continue;
            named = true;
            QCOMPARE(p.instrument, 0);
            QCOMPARE(m_resources->GetTemplateSecondNumber(p.templateRow), 1);
        }
        QVERIFY2(named, qPrintable(row));
        QCOMPARE(m_resources->GetAddFileName(fields.at(0) + QStringLiteral(" 2018/04/01")), fields.at(1));
    }
}

void TestInstallData::toleranceDefaults()
{
    ToleranceRecord records[kDefaultToleranceRowCount] = {};
    ReadToleranceDefaultSetting(records);
    for (int r = 0; r < kDefaultToleranceRowCount; ++r) {
        QCOMPARE(records[r].RowIndex, r);
        QCOMPARE(int(records[r].PairCount), 14);
        for (int t = 0; t < 14; ++t) {
            QCOMPARE(records[r].Pairs[t].TileId, t);
            QVERIFY2(records[r].Pairs[t].Tolerance >= 0.3f && records[r].Pairs[t].Tolerance <= 3.0f,
                     qPrintable(QStringLiteral("row %1 tile %2").arg(r).arg(t)));
        }
    }
    const QStringList rows = lines(QStringLiteral("toleranceDefaultSetting.txt"));
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows.first().split(QLatin1Char('\t')).mid(1),
             QStringList({"WHITE", "PALE GREY", "MID GREY", "DIFF. GREY", "DEEP GREY", "DEEP PINK", "RED", "ORANGE",
                          "YELLOW", "GREEN", "DIFF. GREEN", "CYAN", "DEEP BLUE", "BLACK"}));
    QStringList labels;
    for (int i = 1; i < rows.size(); ++i)
        labels << rows.at(i).section(QLatin1Char('\t'), 0, 0);
    QCOMPARE(labels, QStringList({"dL*", "da*", "db*", "dE*ab", "dE00"}));
}

QTEST_GUILESS_MAIN(TestInstallData)
#include "test_install_data.moc"
