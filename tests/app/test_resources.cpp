#include "app/recordhelpers.h"
#include "app/resourcedata.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

void writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

SheetInfoRecord scannedRecord(const char deviceCode[4], const QByteArray &text)
{
    SheetInfoRecord record{};
    std::memcpy(record.DeviceCode, deviceCode, 4);
    std::memcpy(record.Text, text.constData(), size_t(qMin(text.size(), int(sizeof record.Text))));
    return record;
}

bool isZero(const SheetInfoRecord &record)
{
    const SheetInfoRecord zero{};
    return std::memcmp(&record, &zero, sizeof record) == 0;
}

QString chartCode(const SheetInfoRecord &record)
{
    return QString::fromLatin1(record.ChartCode, int(qstrnlen(record.ChartCode, sizeof record.ChartCode)));
}

QString codeOf(const char *a, int nulAt1 = -1, int nulAt2 = -1)
{
    QString text = QString::fromLatin1(a);
    if (nulAt1 >= 0)
        text[nulAt1] = QChar(0);
    if (nulAt2 >= 0)
        text[nulAt2] = QChar(0);
    return text;
}

class NameTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char * = nullptr, int = -1) const override
    {
        return QLatin1String(context) == QLatin1String("CResourceData") ? QStringLiteral("T:") + sourceText
                                                                         : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void namesBeforeTranslation();
    void namesTranslated();
    void missingFiles();
    void deviceCodes_data();
    void deviceCodes();
    void oversizedRecordStaysInside();
    void barcodeText();
    void barcodeSize();
    void parsing();
    void defaultPositions();
    void addFileNames_data();
    void addFileNames();
    void paperSizesAndLimits_data();
    void paperSizesAndLimits();
    void outOfRange();
};

void TestResources::namesBeforeTranslation()
{
    CResourceData resources;
    QCOMPARE(resources.GetPageSizeNames(),
             QStringList({"US Letter (Portrait)", "US Letter (Landscape)", "Tabloid", "Legal", "A4 (Portrait)",
                          "A4 (Landscape)", "A3", "A3+ (Portrait)", "Custom"}));
    QCOMPARE(resources.GetNoneExistNames(), QStringList({"None", "Exist"}));
    QCOMPARE(resources.GetPageSizeName(6), QStringLiteral("A3"));
}

void TestResources::namesTranslated()
{
    NameTranslator translator;
    QCoreApplication::installTranslator(&translator);
    {
        CResourceData resources;
        QCOMPARE(resources.GetNoneExistNames(), QStringList({"T:None", "T:Exist"}));
        QCOMPARE(resources.GetPageSizeName(0), QStringLiteral("T:US Letter (Portrait)"));
        QCOMPARE(resources.GetPageSizeName(6), QStringLiteral("A3")); // never translated
        QCOMPARE(resources.GetPageSizeName(8), QStringLiteral("T:Custom"));
    }
    QCoreApplication::removeTranslator(&translator);
    CResourceData resources; // back to the source texts for the other tests
    QCOMPARE(resources.GetPageSizeName(8), QStringLiteral("Custom"));
}

void TestResources::missingFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CResourceData resources;
    QCOMPARE(resources.Initialize(dir.path()), 0);

    const QList<BarcodeEntry> entries = resources.FindBarcodeEntries(QLatin1Char('0'), QLatin1Char('0'));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().Code, QStringLiteral("000"));
    QVERIFY(isZero(entries.first().Record));
    QVERIFY(isZero(resources.GetBarcodeRecord(scannedRecord("011B", "12345678901"))));
    QVERIFY(isZero(resources.GetBarcodeRecord(SheetInfoRecord{})));
    QCOMPARE(resources.GetBarcodeSize(SheetInfoRecord{}, 1, 7), 0);
    QCOMPARE(resources.GetIso12642DefaultPosition(1, 0), qMakePair(0, 0));
    QVERIFY(resources.GetTemplateList().isEmpty());
    QVERIFY(resources.GetInstrumentNames().isEmpty());
    QVERIFY(resources.GetAddFileName(QStringLiteral("A4_1")).isEmpty());
}

void TestResources::deviceCodes_data()
{
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("code");

    const QByteArray digits("12345678901 x");
    QTest::newRow("012 is no preset") << QByteArray("012B") << digits << "0000" << "0000" << "0000";
    QTest::newRow("B takes the A form") << QByteArray("011B") << digits << "B34" << "B10" << "B34";
    QTest::newRow("F takes the B form") << QByteArray("011F") << digits << "F34" << "F10" << "F10";
    QTest::newRow("0 takes the B form") << QByteArray("0110") << digits << "034" << "010" << "010";
    QTest::newRow("9 takes the A form") << QByteArray("0119") << digits << "934" << "910" << "934";
    QTest::newRow("L is the last letter") << QByteArray("011L") << digits << "L34" << "L10" << "L10";
    QTest::newRow("M") << QByteArray("011M") << digits << "M34" << "M10" << "0000";
    QTest::newRow("colon") << QByteArray("011:") << digits << ":34" << ":10" << "0000";
    QTest::newRow("short word") << QByteArray("0112") << QByteArray("12345 more") << "234" << codeOf("21_", 2)
                                << codeOf("21_", 2);
    QTest::newRow("leading blank") << QByteArray("011E") << QByteArray(" 123456789012") << codeOf("E__", 1, 2)
                                   << codeOf("E__", 1, 2) << codeOf("E__", 1, 2);
}

void TestResources::deviceCodes()
{
    QFETCH(QByteArray, device);
    QFETCH(QByteArray, text);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, code);
    CResourceData resources;
    const SheetInfoRecord record = scannedRecord(device.constData(), text);
    QCOMPARE(resources.GetDeviceCodeA(record), a);
    QCOMPARE(resources.GetDeviceCodeB(record), b);
    QCOMPARE(resources.GetDeviceCode(record), code);
}

void TestResources::oversizedRecordStaysInside()
{
    // What a faulty scanner could hand back: area count beyond the slots and a text without a terminator.
    const auto owner = std::make_unique<SheetInfoRecord>(); // on the heap so ASan sees any read past its end
    SheetInfoRecord *record = owner.get();
    std::memcpy(record->DeviceCode, "011B", 4);
    std::memset(record->Text, 'a', sizeof record->Text);
    std::memset(record->ChartCode, 'C', sizeof record->ChartCode);
    record->AreaCount = 70;
    for (auto &area : record->Areas)
        area = {7, 8, 9};
    CResourceData resources;
    const QString text = resources.MakeBarcodeText(*record);
    QVERIFY(text.startsWith(QStringLiteral("Orlo:0000CCCCCCCCCCCCCCCC:0:0:0:70:7:8:9:")));
    QCOMPARE(text.count(QStringLiteral("7:8:9:")), 50);
    QVERIFY(text.endsWith(QString(512, QLatin1Char('a'))));
    QVERIFY(!text.endsWith(QString(513, QLatin1Char('a'))));
    QCOMPARE(resources.GetDeviceCodeA(*record), QStringLiteral("Baa"));
    record->AreaCount = -3;
    QVERIFY(resources.MakeBarcodeText(*record).contains(QStringLiteral(":4294967293:0:0:0:0:a")));
}

void TestResources::barcodeText()
{
    ChartDefinitionDataSheets chart;
    chart.SheetCount = 1;
    chart.ChartName = QStringLiteral("dens_a");
    chart.Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
    sheet.PatchCount = 12;
    sheet.AreaCount = 2;
    sheet.Areas[0] = {2, 3, 6};
    sheet.Areas[1] = {3, 2, 6};
    SheetInfoRecord record;
    FillSheetInfoRecord(&record, chart, 0);
    ClearChartDefinitionData(&chart);
    record.Words[0] = 0xABCDEFu;
    record.Words[1] = quint32(-2);
    record.Words[2] = 0;
    record.Words[3] = 16;
    std::strcpy(record.Text, "hello world");

    CResourceData resources;
    QCOMPARE(resources.MakeBarcodeText(record),
             QStringLiteral("Orlo:0000DENS_A:1:1:12:2:2:3:6:3:2:6:abcdef:fffffffe:0:10:hello world"));
}

void TestResources::barcodeSize()
{
    CResourceData probe;
    const int length = probe.MakeBarcodeText(SheetInfoRecord{}).size();

    // Level 1 capacities: exactly the text length, then more. The strict comparison skips the first row.
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("BarcodeSize.lst"),
              QStringLiteral("1,21,99,%1,5,5\n2,25,99,%2,5,5\nbad,line\n").arg(length).arg(length + 12).toLatin1());
    CResourceData resources;
    resources.Initialize(dir.path());
    QCOMPARE(resources.GetBarcodeSize(SheetInfoRecord{}, 1, 7), (25 + 8) * 7);
    QCOMPARE(resources.GetBarcodeSize(SheetInfoRecord{}, 0, 3), (21 + 8) * 3);
    QCOMPARE(resources.GetBarcodeSize(SheetInfoRecord{}, 2, 7), 0); // no row is large enough
    QCOMPARE(resources.GetBarcodeSize(SheetInfoRecord{}, 4, 7), 0);
    QCOMPARE(resources.GetBarcodeSize(SheetInfoRecord{}, -1, 7), 0);
    QCOMPARE(resources.GetBarcodeInsetPixels(7), 28);

    writeFile(dir, QStringLiteral("BarcodeSize.lst"), "1,2147483647,9999,9999,9999,9999\n");
    CResourceData damaged;
    damaged.Initialize(dir.path());
    QCOMPARE(damaged.GetBarcodeSize(SheetInfoRecord{}, 1, 7), 0);
}

void TestResources::parsing()
{
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("Template.lst"),
              "four,1,0,2\nthree,1,0\nsix,0,1,2,,5\nword,x,1,3\n\n");
    writeFile(dir, QStringLiteral("Barcode.lst"),
              "0A1,FIRST,10\n0A1,SECOND,20\nDA1,LARGE,30\n0B2,ABCDEFGHIJKLMNOPQRST,5\n000,ZERO,3\n"
              "0C3,TOO,MANY,FIELDS\n0A,SHORT,1\nB34,PRESET,506\n");
    writeFile(dir, QStringLiteral("Instrument.lst"), "Orlo\n\nBrisa\n");

    CResourceData resources;
    QCOMPARE(resources.Initialize(dir.path()), 0);

    QCOMPARE(resources.GetTemplateList(), QStringList({"four", "six", "word"}));
    QCOMPARE(resources.GetTemplateNumberList(0), QList<int>({2}));
    QCOMPARE(resources.GetTemplateTextOutput(0), 1);
    QCOMPARE(resources.GetTemplateSecondNumber(0), 0);
    QCOMPARE(resources.GetTemplateNumberList(1), QList<int>({2, 0, 5}));
    QCOMPARE(resources.GetTemplateSecondNumber(1), 1);
    QCOMPARE(resources.GetTemplateTextOutput(2), 0); // not a number

    QList<BarcodeEntry> entries = resources.FindBarcodeEntries(QLatin1Char('A'), QLatin1Char('1'));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).Code, QStringLiteral("0A1"));
    QCOMPARE(chartCode(entries.at(0).Record), QStringLiteral("SECOND"));
    QCOMPARE(entries.at(0).Record.PatchCount, 20);
    QCOMPARE(entries.at(1).Code, QStringLiteral("DA1"));

    entries = resources.FindBarcodeEntries(QLatin1Char('B'), QLatin1Char('2'));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(QByteArray(entries.first().Record.ChartCode, 16), QByteArray("ABCDEFGHIJKLMNOP"));
    QCOMPARE(entries.first().Record.SheetCount, 0);

    entries = resources.FindBarcodeEntries(QLatin1Char('0'), QLatin1Char('0'));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(chartCode(entries.first().Record), QStringLiteral("ZERO"));

    QVERIFY(resources.FindBarcodeEntries(QLatin1Char('C'), QLatin1Char('3')).isEmpty());
    QVERIFY(resources.FindBarcodeEntries(QLatin1Char('A'), QChar(0)).isEmpty()); // the 2-character key

    const SheetInfoRecord found = resources.GetBarcodeRecord(scannedRecord("011B", "12345678901 x"));
    QCOMPARE(chartCode(found), QStringLiteral("PRESET"));
    QCOMPARE(found.PatchCount, 506);

    QCOMPARE(resources.GetInstrumentNames(), QStringList({"Orlo", "", "Brisa"}));
}

void TestResources::defaultPositions()
{
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("12642-2_default.csv"),
              "9,1,1,1,1\n5,9,9,9,9\n\nID,Row,Column,Row,Column\n5,2,3,4,6\n7,1,1\nx,1,2,3,4\n 8,1,2,3,4\n"
              "10,33,49,1,1\n");
    CResourceData resources;
    resources.Initialize(dir.path());
    QCOMPARE(resources.GetIso12642DefaultPosition(5, 0), qMakePair(3, 2));
    QCOMPARE(resources.GetIso12642DefaultPosition(5, 1), qMakePair(6, 4));
    QCOMPARE(resources.GetIso12642DefaultPosition(5, 7), qMakePair(6, 4));
    QCOMPARE(resources.GetIso12642DefaultPosition(9, 0), qMakePair(0, 0)); // before the header
    QCOMPARE(resources.GetIso12642DefaultPosition(7, 0), qMakePair(0, 0)); // three fields
    QCOMPARE(resources.GetIso12642DefaultPosition(8, 0), qMakePair(0, 0)); // not a digit first
    QCOMPARE(resources.GetIso12642DefaultPosition(10, 0), qMakePair(49, 33));
    QCOMPARE(resources.GetIso12642LayoutLongSide(), 49);
    QCOMPARE(resources.GetIso12642LayoutShortSide(), 33);
}

void TestResources::addFileNames_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("blank") << "w rest" << "Wvalue";
    QTest::newRow("tab") << "w\trest" << "Wvalue";
    QTest::newRow("line break") << "w\r\nrest" << "Wvalue";
    QTest::newRow("single word") << "w" << "Wvalue";
    QTest::newRow("leading blank") << " w" << "EmptyKey";
    QTest::newRow("unknown") << "v w" << "";
    QTest::newRow("three fields skipped") << "bad" << "";
}

void TestResources::addFileNames()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("AddFileName.lst"), "w,Wvalue\n,EmptyKey\nbad,line,three\n");
    CResourceData resources;
    resources.Initialize(dir.path());
    QCOMPARE(resources.GetAddFileName(key), value);
}

void TestResources::paperSizesAndLimits_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("index");
    QTest::newRow("A4") << -1 << 21000 << 29700 << 4;
    QTest::newRow("A3") << -1 << 29700 << 42000 << 6;
    QTest::newRow("letter") << -1 << 21590 << 27940 << 0;
    QTest::newRow("A3+") << -1 << 32900 << 48300 << 7;
    QTest::newRow("custom minimum") << -1 << 1000 << 1000 << 8;
    QTest::newRow("rotated A3") << -1 << 42000 << 29700 << 8;
    QTest::newRow("letter in inch") << 1 << 8500 << 11000 << 0;
    QTest::newRow("A4 in inch") << 1 << 8268 << 11693 << 4;
    QTest::newRow("A4 in mm unit") << 0 << 21000 << 29700 << 4;
    QTest::newRow("mm value in inch") << 1 << 21000 << 29700 << 8;
}

void TestResources::paperSizesAndLimits()
{
    QFETCH(int, unit);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, index);
    CResourceData resources;
    if (unit < 0)
        QCOMPARE(resources.FindPaperSizeIndex(width, height), index);
    else
        QCOMPARE(resources.FindPaperSizeIndexInUnit(unit, width, height), index);

    QCOMPARE(resources.GetAreaLeftMin(), 400);
    QCOMPARE(resources.GetAreaLeftMax(), 31900);
    QCOMPARE(resources.GetAreaTopMax(), 146100);
    QCOMPARE(resources.GetMaxColumnCount(), 53);
    QCOMPARE(resources.GetMaxRowCount(), 244);
    QCOMPARE(resources.GetMinRowColumnCount(), 1);
}

void TestResources::outOfRange()
{
    CResourceData resources;
    QCOMPARE(resources.GetTemplateTextOutput(0), -1);
    QCOMPARE(resources.GetTemplateSecondNumber(-1), -1);
    QVERIFY(resources.GetTemplateNumberList(3).isEmpty());
    QCOMPARE(resources.GetColorDefaultValue(1), 255.0f);
    QCOMPARE(resources.GetColorMaxValue(2), 100.0f);
    QCOMPARE(resources.GetColorChannelNames(1), QStringList({"Red", "Green", "Blue"}));
    QCOMPARE(resources.GetColorDefaultValue(7), 0.0f);
    QCOMPARE(resources.GetColorMaxValue(-1), 0.0f);
    QCOMPARE(resources.GetColorMinValue(99), 0.0f);
    QVERIFY(resources.GetColorChannelNames(7).isEmpty());
    QCOMPARE(resources.GetPageSizeWidth(4), 21000);
    QCOMPARE(resources.GetPageSizeHeight(4), 29700);
    QCOMPARE(resources.GetPageSizeWidth(8), 1000);
    QCOMPARE(resources.GetPageSizeHeight(8), 1000);
    QCOMPARE(resources.GetPageSizeMaxWidth(8), 32900);
    QCOMPARE(resources.GetPageSizeMaxHeight(8), 150000);
    QCOMPARE(resources.GetPageSizeMaxWidth(4), 0);
    QCOMPARE(resources.GetPageSizeWidth(9), 0);
    QCOMPARE(resources.GetPageSizeMaxHeight(-1), 0);
    QVERIFY(resources.GetPageSizeName(9).isEmpty());
    QVERIFY(resources.GetPageSizeName(-1).isEmpty());
    const InkChannelList inks = resources.GetReferenceColors();
    QCOMPARE(inks.size(), 8);
    QCOMPARE(inks.first().name, QStringLiteral("Cyan"));
    QCOMPARE(inks.first().L, 6800);
}

QTEST_GUILESS_MAIN(TestResources)
#include "test_resources.moc"
