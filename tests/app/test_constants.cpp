#include "app/constants.h"

#include <QCoreApplication>
#include <QTranslator>
#include <QtTest>

namespace {

UserIlluminantSlots emptySlots()
{
    return UserIlluminantSlots();
}

// Slots 0-2 registered, 3 and 4 empty, as the illuminant store fills them.
UserIlluminantSlots threeRegistered()
{
    UserIlluminantSlots slotTable;
    const char *names[] = {"Lamp A", "Lamp B", "Window"};
    for (int i = 0; i < 3; ++i) {
        slotTable[i].Number = i;
        slotTable[i].Name = QString::fromLatin1(names[i]);
    }
    return slotTable;
}

// Marks every text of the "QObject" context so the test sees which texts went through the translator.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QObject") != 0)
            return QString();
        return QStringLiteral("<") + QString::fromUtf8(sourceText) + QStringLiteral(">");
    }
    bool isEmpty() const override { return false; }
};

} // namespace

Q_DECLARE_METATYPE(UserIlluminantSlots)

class TestConstants : public QObject
{
    Q_OBJECT

private slots:
    void conditionIdsFromMask_data();
    void conditionIdsFromMask();
    void conditionTableMatchesItsIds();
    void autoIlluminant_data();
    void autoIlluminant();
    void illuminantName_data();
    void illuminantName();
    void conditionNames_data();
    void conditionNames();
    void codeFallbacks_data();
    void codeFallbacks();
    void colourFallbacks_data();
    void colourFallbacks();
    void nameFallbacks_data();
    void nameFallbacks();
    void outputFormatExtension_data();
    void outputFormatExtension();
    void zoomTables();
    void languages();
    void defaultDisplayRecords();
    void translateStaticNames();
};

void TestConstants::conditionIdsFromMask_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<QVector<int>>("ids");

    QTest::newRow("M0 M1 M2") << 7 << QVector<int>{0, 1, 2};
    QTest::newRow("first user condition") << 0x8000 << QVector<int>{15};
    QTest::newRow("bits above the table") << int(0xFFF00000u) << QVector<int>{};
    QTest::newRow("none") << 0 << QVector<int>{};
    QVector<int> all;
    for (int i = 0; i < kMeasurementConditionCount; ++i)
        all.append(i);
    QTest::newRow("all, with stray high bits") << -1 << all;
    QTest::newRow("sparse") << (0x10 | 0x4000 | 0x80000) << QVector<int>{4, 14, 19};
}

void TestConstants::conditionIdsFromMask()
{
    QFETCH(int, mask);
    QFETCH(QVector<int>, ids);
    QCOMPARE(MeasurementConditionIdsFromMask(mask), ids);
}

// Ids and bits are stored in settings files and masks; row i must be id i with bit 1 << i.
void TestConstants::conditionTableMatchesItsIds()
{
    for (int id = 0; id < kMeasurementConditionCount; ++id) {
        const MeasurementCondition *row = FindMeasurementCondition(id);
        QVERIFY(row);
        QCOMPARE(row->id, id);
        QCOMPARE(row->bit, 1 << id);
        QCOMPARE(MeasurementConditionBit(id), 1 << id);
        QCOMPARE(IsUserMeasurementCondition(id), id >= 15);
        QCOMPARE(MeasurementConditionUserSlot(id), id >= 15 ? id - 15 : -1);
        QCOMPARE(IlluminantUserSlot(id), id >= 15 ? id - 15 : -1);
    }
    QVERIFY(!FindMeasurementCondition(20));
    QVERIFY(!FindMeasurementCondition(-1));
}

void TestConstants::autoIlluminant_data()
{
    QTest::addColumn<int>("condition");
    QTest::addColumn<int>("illuminant");

    const int expected[] = {2, 2, 2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19};
    for (int condition = 0; condition < 20; ++condition)
        QTest::addRow("condition %d", condition) << condition << expected[condition];
    QTest::newRow("unknown 25") << 25 << 2;
    QTest::newRow("unknown -1") << -1 << 2;
}

void TestConstants::autoIlluminant()
{
    QFETCH(int, condition);
    QFETCH(int, illuminant);
    QCOMPARE(AutoIlluminantFor(condition), illuminant);
}

void TestConstants::illuminantName_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("condition");
    QTest::addColumn<UserIlluminantSlots>("illuminants");
    QTest::addColumn<QString>("name");

    QTest::newRow("auto under D65") << 20 << 4 << emptySlots() << "D65";
    QTest::newRow("auto under unknown condition") << 20 << 25 << emptySlots() << "D50";
    QTest::newRow("auto under M2") << 20 << 2 << emptySlots() << "D50";
    QTest::newRow("auto under F12") << 20 << 14 << emptySlots() << "F12";
    QTest::newRow("UVCUT keeps its code apart") << 14 << 0 << emptySlots() << "UVCUT";
    QTest::newRow("A") << 0 << 0 << emptySlots() << "A";
    QTest::newRow("unknown 21") << 21 << 0 << emptySlots() << "";
    QTest::newRow("unknown -1") << -1 << 0 << emptySlots() << "";

    const char *registered[] = {"Lamp A", "Lamp B", "Window", "", ""};
    for (int k = 0; k < 5; ++k) {
        QTest::addRow("user %d registered", 15 + k) << 15 + k << 0 << threeRegistered() << registered[k];
        QTest::addRow("user %d, no slots", 15 + k) << 15 + k << 0 << emptySlots() << "";
    }
    QTest::newRow("auto under user condition 16") << 20 << 16 << threeRegistered() << "Lamp B";
    QTest::newRow("auto under empty user condition 19") << 20 << 19 << threeRegistered() << "";

    // The slot is found by its number, not by its position in the table.
    UserIlluminantSlots shifted;
    shifted[0].Number = 4;
    shifted[0].Name = QStringLiteral("Fifth");
    QTest::newRow("slot found by number") << 19 << 0 << shifted << "Fifth";
    QTest::newRow("position 0 is not slot 0") << 15 << 0 << shifted << "";
}

void TestConstants::illuminantName()
{
    QFETCH(int, id);
    QFETCH(int, condition);
    QFETCH(UserIlluminantSlots, illuminants);
    QFETCH(QString, name);
    QCOMPARE(IlluminantName(id, condition, illuminants), name);
}

void TestConstants::conditionNames_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<UserIlluminantSlots>("illuminants");
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("longName");
    QTest::addColumn<QString>("lightSource");

    QTest::newRow("M0") << 0 << emptySlots() << "M0" << "M0_Incandescent" << "A";
    QTest::newRow("M1") << 1 << emptySlots() << "M1" << "M1_Daylight" << "D50";
    QTest::newRow("M2") << 2 << emptySlots() << "M2" << "M2_UVExcluded" << "UVCUT";
    QTest::newRow("F10") << 12 << emptySlots() << "F10" << "F10" << "F10";
    QTest::newRow("user 15 registered") << 15 << threeRegistered() << "Lamp A" << "Lamp A" << "Lamp A";
    QTest::newRow("user 17 registered") << 17 << threeRegistered() << "Window" << "Window" << "Window";
    QTest::newRow("user 17 with slot 2 empty") << 17 << emptySlots() << "" << "" << "";
    QTest::newRow("user 18 with slot 3 empty") << 18 << threeRegistered() << "" << "" << "";
    QTest::newRow("unknown 20") << 20 << threeRegistered() << "" << "" << "";
    QTest::newRow("unknown -1") << -1 << threeRegistered() << "" << "" << "";
}

void TestConstants::conditionNames()
{
    QFETCH(int, id);
    QFETCH(UserIlluminantSlots, illuminants);
    QFETCH(QString, shortName);
    QFETCH(QString, longName);
    QFETCH(QString, lightSource);
    QCOMPARE(MeasurementConditionName(id, illuminants), shortName);
    QCOMPARE(MeasurementConditionLongName(id, illuminants), longName);
    QCOMPARE(MeasurementConditionIlluminantName(id, illuminants), lightSource);
}

void TestConstants::codeFallbacks_data()
{
    QTest::addColumn<int>("actual");
    QTest::addColumn<int>("expected");

    QTest::newRow("condition code 25") << MeasurementConditionIlluminantCode(25) << 16;
    QTest::newRow("condition code M2") << MeasurementConditionIlluminantCode(2) << 15;
    QTest::newRow("condition code user") << MeasurementConditionIlluminantCode(17) << 14;
    QTest::newRow("condition bit 25") << MeasurementConditionBit(25) << 0;
    QTest::newRow("condition bit -1") << MeasurementConditionBit(-1) << 0;
    QTest::newRow("condition slot 25") << MeasurementConditionUserSlot(25) << -1;
    QTest::newRow("density code 9") << DensityStatusCode(9) << 15;
    QTest::newRow("density code -1") << DensityStatusCode(-1) << 15;
    QTest::newRow("density code T") << DensityStatusCode(0) << 3;
    QTest::newRow("density code DIN") << DensityStatusCode(4) << 7;
    QTest::newRow("observer code 5") << ObserverCode(5) << 2;
    QTest::newRow("observer code 10 degree") << ObserverCode(1) << 1;
    QTest::newRow("illuminant code 25") << IlluminantCode(25) << 16;
    QTest::newRow("illuminant code UVCUT") << IlluminantCode(14) << 15;
    QTest::newRow("illuminant code user") << IlluminantCode(19) << 14;
    QTest::newRow("illuminant code auto") << IlluminantCode(20) << 16;
    QTest::newRow("illuminant slot 25") << IlluminantUserSlot(25) << -1;
    QTest::newRow("auto illuminant") << int(IsAutoIlluminant(20)) << 1;
    QTest::newRow("D50 is not auto") << int(IsAutoIlluminant(2)) << 0;
}

void TestConstants::codeFallbacks()
{
    QFETCH(int, actual);
    QFETCH(int, expected);
    QCOMPARE(actual, expected);
}

void TestConstants::colourFallbacks_data()
{
    QTest::addColumn<QColor>("actual");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("judgement NG") << JudgementBackgroundColor(0) << QColor(255, 217, 223);
    QTest::newRow("judgement OK") << JudgementBackgroundColor(1) << QColor(144, 238, 144);
    QTest::newRow("judgement 5") << JudgementBackgroundColor(5) << QColor(Qt::white);
    QTest::newRow("judgement -1") << JudgementBackgroundColor(-1) << QColor(Qt::white);
    QTest::newRow("tile DEEP PINK") << TileBackgroundColor(5) << QColor(148, 74, 75);
    QTest::newRow("tile BLACK") << TileBackgroundColor(13) << QColor(Qt::black);
    QTest::newRow("tile 14 background") << TileBackgroundColor(14) << QColor(Qt::white);
    QTest::newRow("tile MID GREY text") << TileTextColor(2) << QColor(Qt::white);
    QTest::newRow("tile CYAN text") << TileTextColor(11) << QColor(Qt::black);
    QTest::newRow("tile 14 text") << TileTextColor(14) << QColor(Qt::black);
    QTest::newRow("tile -1 text") << TileTextColor(-1) << QColor(Qt::black);
}

void TestConstants::colourFallbacks()
{
    QFETCH(QColor, actual);
    QFETCH(QColor, expected);
    QCOMPARE(actual, expected);
}

void TestConstants::nameFallbacks_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    QTest::newRow("density DIN") << DensityStatusName(4) << "DIN";
    QTest::newRow("density 5") << DensityStatusName(5) << "";
    QTest::newRow("white reference key") << WhiteReferenceKey(1) << "Paper";
    QTest::newRow("white reference key 2") << WhiteReferenceKey(2) << "";
    QTest::newRow("observer 10") << ObserverName(1) << "10";
    QTest::newRow("observer 2") << ObserverName(2) << "";
    QTest::newRow("colour space XYZ") << ColorSpaceName(2) << "XYZ";
    QTest::newRow("colour space 3") << ColorSpaceName(3) << "";
    QTest::newRow("lab b*") << LabComponentName(2) << "b*";
    QTest::newRow("difference dE00") << ColorDifferenceName(4) << "dE00";
    QTest::newRow("difference 5") << ColorDifferenceName(5) << "";
    QTest::newRow("judgement OK") << JudgementName(1) << "OK";
    QTest::newRow("judgement 2") << JudgementName(2) << "";
    QTest::newRow("grid 4x4") << ChartGridModeName(4) << "4x4";
    QTest::newRow("grid 5") << ChartGridModeName(5) << "";
    QTest::newRow("tile DIFF. GREEN") << TileName(10) << "DIFF. GREEN";
    QTest::newRow("tile 14") << TileName(14) << "";
    QTest::newRow("model Calen BT2") << InstrumentModelName(3) << "Calen BT2";
    QTest::newRow("model 4") << InstrumentModelName(4) << "";
    QTest::newRow("unit inch") << UnitName(1) << "inch";
    QTest::newRow("unit 2") << UnitName(2) << "";
}

void TestConstants::nameFallbacks()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestConstants::outputFormatExtension_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("extension");

    const char *extensions[] = {".csv", ".txt", ".xml", ".txt", ".xml", ".csv", ".txt", ".xml", ".txt", ".xml"};
    for (int id = 0; id < 10; ++id)
        QTest::addRow("id %d", id) << id << extensions[id];
    QTest::newRow("id 10") << 10 << "";
    QTest::newRow("id -1") << -1 << "";
}

void TestConstants::outputFormatExtension()
{
    QFETCH(int, id);
    QFETCH(QString, extension);
    QCOMPARE(OutputFormatExtension(id), extension);
    QCOMPARE(OutputFormatFilters().size(), kOutputFormatCount);
}

void TestConstants::zoomTables()
{
    const QVector<ZoomStep> first = ZoomTable(0);
    QCOMPARE(first.size(), kZoomTableSlots);
    QCOMPARE(first[0].percent, 30);
    QCOMPARE(first[5].label, QStringLiteral("Fit in the window"));
    QCOMPARE(first[5].percent, 0);
    for (int i = 6; i < kZoomTableSlots; ++i)
        QVERIFY(first[i].label.isEmpty());

    const QVector<ZoomStep> second = ZoomTable(1);
    QCOMPARE(second.size(), kZoomTableSlots);
    QCOMPARE(second[0].percent, 5);
    QCOMPARE(second[8].label, QStringLiteral("Fit in the window"));
    QVERIFY(ZoomTable(2).isEmpty());
}

void TestConstants::languages()
{
    QCOMPARE(DefaultLanguageCode(), QStringLiteral("eng"));
    const QVector<Language> &rows = Languages();
    QCOMPARE(rows.size(), kLanguageCount);
    QCOMPARE(rows[1].code, QStringLiteral("ja"));
    QCOMPARE(rows[1].fileCode, QStringLiteral("jpn"));
    QCOMPARE(rows[12].fileCode, QStringLiteral("cl3"));
    QVERIFY(rows[12].code.isEmpty());
}

void TestConstants::defaultDisplayRecords()
{
    const Setting::MeasureConditionSetting main = DefaultDisplayColumns();
    const Setting::MeasureConditionSetting density = DefaultDensityDisplayColumns();
    QCOMPARE(main.ConditionMask, 7);
    QCOMPARE(density.ConditionMask, 2);
    QCOMPARE(main.Illuminant, 2);
    QCOMPARE(main.DensityStatus, 1);
    QCOMPARE(main.PatchColorShown, 1);
    QCOMPARE(density.PatchColorShown, 1);
}

void TestConstants::translateStaticNames()
{
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    TranslateStaticNames();
    // Running it twice translates from the source texts, not from the translations.
    TranslateStaticNames();

    QCOMPARE(ZoomTable(0)[5].label, QStringLiteral("<Fit in the window>"));
    QCOMPARE(ZoomTable(1)[8].label, QStringLiteral("<Fit in the window>"));
    QCOMPARE(ZoomTable(1)[0].label, QStringLiteral("5%"));
    QCOMPARE(WhiteReferenceNames(), (QStringList{QStringLiteral("<Absolute>"), QStringLiteral("<Paper>")}));
    QCOMPARE(IlluminantNames().at(20), QStringLiteral("<Auto>"));
    QCOMPARE(ChartGridModeName(0), QStringLiteral("<Auto>"));

    // Keys, ids and file names stay as they are.
    QCOMPARE(WhiteReferenceKey(0), QStringLiteral("Absolute"));
    QCOMPARE(WhiteReferenceKey(1), QStringLiteral("Paper"));
    QCOMPARE(IlluminantNames().at(2), QStringLiteral("D50"));
    QCOMPARE(IlluminantName(20, 4, emptySlots()), QStringLiteral("D65"));
    QCOMPARE(MeasurementConditionName(0, emptySlots()), QStringLiteral("M0"));
    QCOMPARE(ChartGridModeName(1), QStringLiteral("1x1"));
    QCOMPARE(OutputFormatFilters().at(0), QStringLiteral("csv File (*.csv)"));

    QVERIFY(QCoreApplication::removeTranslator(&translator));
    TranslateStaticNames();
    QCOMPARE(ZoomTable(0)[5].label, QStringLiteral("Fit in the window"));
    QCOMPARE(WhiteReferenceNames().at(0), QStringLiteral("Absolute"));
    QCOMPARE(ChartGridModeName(0), QStringLiteral("Auto"));
}

QTEST_GUILESS_MAIN(TestConstants)
#include "test_constants.moc"
