// The chart editor's colour scramble: its generator, the search over one area, the per-area step with its colour
// formats and the page list.
#include "app/colourhelpers.h"
#include "chart/createchartscramble.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using Rgb = std::array<float, 3>;

const Rgb kBlack{0, 0, 0};
const Rgb kBlue{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kWhite{255, 255, 255};

std::array<float, 3> Lab(const Rgb &rgb)
{
    std::array<float, 3> lab{};
    RgbToLab(lab.data(), rgb.data());
    return lab;
}

double DeltaE(const std::array<float, 3> &x, const std::array<float, 3> &y)
{
    return std::sqrt(std::pow(double(x[0]) - y[0], 2) + std::pow(double(x[1]) - y[1], 2)
                     + std::pow(double(x[2]) - y[2], 2));
}

std::vector<ScrambleEntry> Entries(const QVector<std::array<float, 3>> &labs)
{
    std::vector<ScrambleEntry> entries(size_t(labs.size()));
    for (int i = 0; i < labs.size(); ++i) {
        std::copy(labs[i].begin(), labs[i].end(), entries[size_t(i)].Lab);
        entries[size_t(i)].ListIndex = i;
    }
    return entries;
}

QVector<int> ListOrder(const std::vector<ScrambleEntry> &entries)
{
    QVector<int> order;
    for (const ScrambleEntry &e : entries)
        order << e.ListIndex;
    return order;
}

CreateChartPatch MakePatch(int id, const QVector<float> &values, int duplicated = 0)
{
    CreateChartPatch patch;
    patch.ID = id;
    patch.Duplicated = duplicated;
    std::copy(values.begin(), values.end(), patch.ColorValue);
    return patch;
}

// An area whose patch IDs are 1, 2, ... in list order.
CreateChartArea MakeArea(int rows, int columns, const QVector<QVector<float>> &colours)
{
    CreateChartArea area;
    area.RowCount = rows;
    area.ColumnCount = columns;
    area.PatchCount = colours.size();
    for (int i = 0; i < colours.size(); ++i)
        area.Patches << MakePatch(i + 1, colours[i]);
    return area;
}

QVector<float> Values(const Rgb &rgb) { return {rgb[0], rgb[1], rgb[2]}; }

QVector<int> Ids(const CreateChartArea &area)
{
    QVector<int> ids;
    for (const CreateChartPatch &p : area.Patches)
        ids << p.ID;
    return ids;
}

bool SamePatch(const CreateChartPatch &a, const CreateChartPatch &b)
{
    return a.ID == b.ID && a.Duplicated == b.Duplicated
           && std::equal(std::begin(a.ColorValue), std::end(a.ColorValue), std::begin(b.ColorValue));
}

bool SamePatches(const CreateChartArea &a, const CreateChartArea &b)
{
    return a.Patches.size() == b.Patches.size()
           && std::equal(a.Patches.begin(), a.Patches.end(), b.Patches.begin(), SamePatch);
}

InkChannelList PaleInks()
{
    InkChannelList inks;
    for (int i = 0; i < 5; ++i)
        inks << InkChannel{QStringLiteral("Pale %1").arg(i), 9700, -200, -1800};
    return inks;
}

} // namespace

Q_DECLARE_METATYPE(Rgb)
Q_DECLARE_METATYPE(CreateChartArea)

class TestScramble : public QObject {
    Q_OBJECT

private slots:
    void generatorDraws_data();
    void generatorDraws();
    void twoCellsByFormat_data();
    void twoCellsByFormat();
    void againstPaper_data();
    void againstPaper();
    void paleColourLeavesTheColumnEnds();
    void allFarApartTakesTheShuffle();
    void lightnessStepBlocksSwap_data();
    void lightnessStepBlocksSwap();
    void keepsOrder_data();
    void keepsOrder();
    void randomAreas_data();
    void randomAreas();
    void pageListLeavesOriginal();
};

void TestScramble::generatorDraws_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QVector<int>>("draws");
    QTest::newRow("seed 0") << 0u << QVector<int>{38, 7719, 21238, 2437, 8855, 11797};
    QTest::newRow("seed 1") << 1u << QVector<int>{41, 18467, 6334, 26500, 19169, 15724};
}

void TestScramble::generatorDraws()
{
    QFETCH(quint32, seed);
    QFETCH(QVector<int>, draws);
    ScrambleRandom random(seed);
    QVector<int> got;
    for (int i = 0; i < draws.size(); ++i)
        got << random.Next();
    QCOMPARE(got, draws);
}

// A 2 x 1 area: seed 0 draws 38 then 7719, so j = 0 twice and the two patches change places whenever the
// colours are far enough apart to be taken; white colours never are.
void TestScramble::twoCellsByFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QVector<float>>("first");
    QTest::addColumn<QVector<float>>("second");
    QTest::addColumn<bool>("paleInks");
    QTest::addColumn<bool>("reversed");
    const bool referenceInks = false;
    QTest::newRow("RGB black and blue") << 1 << Values(kBlack) << Values(kBlue) << referenceInks << true;
    QTest::newRow("CMYK black and blue") << 2 << QVector<float>{0, 0, 0, 100} << QVector<float>{100, 100, 0, 0}
                                         << referenceInks << true;
    QTest::newRow("five inks, reference cyan and magenta")
        << 3 << QVector<float>{100, 0, 0, 0, 0} << QVector<float>{0, 100, 0, 0, 0} << referenceInks << true;
    QTest::newRow("five inks from a pale ink list")
        << 3 << QVector<float>{100, 0, 0, 0, 0} << QVector<float>{0, 100, 0, 0, 0} << true << false;
    QTest::newRow("format 0 is white") << 0 << Values(kBlack) << Values(kBlue) << referenceInks << false;
    QTest::newRow("format 7 is white") << 7 << Values(kBlack) << Values(kBlue) << referenceInks << false;
}

void TestScramble::twoCellsByFormat()
{
    QFETCH(int, format);
    QFETCH(QVector<float>, first);
    QFETCH(QVector<float>, second);
    QFETCH(bool, paleInks);
    QFETCH(bool, reversed);
    const InkChannelList inks = paleInks ? PaleInks() : ReferenceInkChannels();
    CreateChartArea area = MakeArea(2, 1, {first, second});
    const CreateChartArea before = area;
    QCOMPARE(ScrambleAreaPatches(area, format, inks), reversed);
    QCOMPARE(Ids(area), reversed ? (QVector<int>{2, 1}) : (QVector<int>{1, 2}));
    QVERIFY(SamePatch(area.Patches[0], before.Patches[reversed ? 1 : 0]));
}

// Around a single patch there is nothing but paper: outside the grid and in the empty cells after the last
// patch. The result is its distance from white, or 100 beyond ΔE 50.
void TestScramble::againstPaper_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<Rgb>("colour");
    QTest::addColumn<double>("expected");
    const Rgb grey{200, 200, 200};
    const double greyToWhite = DeltaE(Lab(grey), Lab(kWhite));
    QVERIFY(greyToWhite > 18 && greyToWhite < 50);
    QTest::newRow("1 x 1 white") << 1 << 1 << kWhite << 0.0;
    QTest::newRow("1 x 1 grey") << 1 << 1 << grey << greyToWhite;
    QTest::newRow("1 x 1 black") << 1 << 1 << kBlack << 100.0;
    QTest::newRow("3 x 1, one white patch over empty cells") << 3 << 1 << kWhite << 0.0;
    QTest::newRow("2 x 2, one grey patch") << 2 << 2 << grey << greyToWhite;
}

void TestScramble::againstPaper()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(Rgb, colour);
    QFETCH(double, expected);
    std::vector<ScrambleEntry> entries = Entries({Lab(colour)});
    const float result = ScrambleArea(entries, columns, rows, 0);
    QVERIFY2(std::abs(result - expected) < 1e-3, qPrintable(QString::number(result)));
}

// A pale patch at either end of a column would sit next to paper; a taken arrangement has it inside.
void TestScramble::paleColourLeavesTheColumnEnds()
{
    const Rgb pale{235, 235, 235};
    QVERIFY(DeltaE(Lab(pale), Lab(kWhite)) < 18);
    CreateChartArea area = MakeArea(5, 1, {Values(pale), Values(kBlack), Values(kBlue), Values(kRed),
                                           Values(kGreen)});
    QVERIFY(ScrambleAreaPatches(area, 1, {}));
    const int place = Ids(area).indexOf(1);
    QVERIFY2(place >= 1 && place <= 3, qPrintable(QString::number(place)));
}

// Seed 0 over four entries draws j = 0, 0, 2, 0: (0 1 2 3) becomes (3 0 2 1) and no swap is needed.
void TestScramble::allFarApartTakesTheShuffle()
{
    const QVector<Rgb> colours{kBlack, kBlue, kRed, kGreen};
    QVector<std::array<float, 3>> labs;
    for (const Rgb &c : colours)
        labs << Lab(c);
    for (int i = 0; i < labs.size(); ++i) {
        QVERIFY(DeltaE(labs[i], Lab(kWhite)) > 50);
        for (int j = 0; j < i; ++j)
            QVERIFY(DeltaE(labs[i], labs[j]) > 50);
    }
    std::vector<ScrambleEntry> entries = Entries(labs);
    qint64 swaps = -1;
    QCOMPARE(ScrambleArea(entries, 2, 2, 0, &swaps), 100.0f);
    QCOMPARE(swaps, qint64(0));
    QCOMPARE(ListOrder(entries), (QVector<int>{3, 0, 2, 1}));

    CreateChartArea area = MakeArea(2, 2, {Values(kBlack), Values(kBlue), Values(kRed), Values(kGreen)});
    QVERIFY(ScrambleAreaPatches(area, 1, {}));
    QCOMPARE(Ids(area), (QVector<int>{4, 1, 3, 2}));
}

// A 6 x 1 column; seed 0 puts list entries 2, 4, 5, 0, 1, 3 at positions 0 to 5, so the two near-equal colours
// (list 2 and 4) start at the top. The only swap the search could make moves the top one two cells down, between
// two other colours; every colour is far apart in hue, only the lightness step between the two groups varies.
void TestScramble::lightnessStepBlocksSwap_data()
{
    QTest::addColumn<float>("step");
    QTest::addColumn<bool>("swapped");
    QTest::newRow("no step") << 0.0f << false;
    QTest::newRow("step 4.9") << 4.9f << false;
    QTest::newRow("step 5") << 5.0f << true;
    QTest::newRow("step 20") << 20.0f << true;
}

void TestScramble::lightnessStepBlocksSwap()
{
    QFETCH(float, step);
    QFETCH(bool, swapped);
    const float l = 50.0f + step;
    const QVector<std::array<float, 3>> labs{
        {l, 0, 60}, {l, -60, 0}, {50, 60, 0}, {l, 0, -60}, {50, 61, 0}, {l, -42, 42},
    };
    std::vector<ScrambleEntry> entries = Entries(labs);
    qint64 swaps = -1;
    const float result = ScrambleArea(entries, 1, 6, 0, &swaps);
    QCOMPARE(swaps > 0, swapped);
    if (swapped)
        QVERIFY2(result > 1.0f, qPrintable(QString::number(result)));
    else
        QCOMPARE(result, 1.0f);
}

// Areas that keep their order: both seeds below the threshold, and the areas whose counts do not fit their grid
// or their list (under the sanitizers an entry past the grid would be caught).
void TestScramble::keepsOrder_data()
{
    QTest::addColumn<CreateChartArea>("area");
    const QVector<QVector<float>> far{Values(kBlack), Values(kBlue), Values(kRed), Values(kGreen)};
    QTest::newRow("pale colours, both seeds below 18")
        << MakeArea(2, 2, {{250, 250, 250}, {245, 240, 250}, {240, 250, 245}, {250, 245, 240}});
    CreateChartArea over = MakeArea(1, 2, far);
    QTest::newRow("more patches than cells") << over;
    CreateChartArea shortList = MakeArea(2, 2, far);
    shortList.Patches.removeLast();
    QTest::newRow("patch list shorter than the count") << shortList;
    CreateChartArea noRows = MakeArea(2, 2, far);
    noRows.RowCount = 0;
    QTest::newRow("no rows") << noRows;
    CreateChartArea noColumns = MakeArea(2, 2, far);
    noColumns.ColumnCount = -1;
    QTest::newRow("negative columns") << noColumns;
}

void TestScramble::keepsOrder()
{
    QFETCH(CreateChartArea, area);
    const CreateChartArea before = area;
    QVERIFY(!ScrambleAreaPatches(area, 1, {}));
    QVERIFY(SamePatches(area, before));
}

// Seeded random areas of 2 to 8 rows and columns, some with empty cells at the end.
void TestScramble::randomAreas_data()
{
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<bool>("gaps");
    QTest::newRow("full range") << 0 << 255 << false;
    QTest::newRow("full range, empty cells") << 0 << 255 << true;
    QTest::newRow("mid tones") << 40 << 215 << false;
}

void TestScramble::randomAreas()
{
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(bool, gaps);
    std::mt19937 gen(20261211u);
    std::uniform_int_distribution<int> size(2, 8);
    std::uniform_int_distribution<int> channel(low, high);
    const auto white = Lab(kWhite);
    int taken = 0;
    for (int round = 0; round < 60; ++round) {
        const int rows = size(gen);
        const int columns = size(gen);
        const int count = rows * columns - (gaps ? std::uniform_int_distribution<int>(1, columns)(gen) : 0);
        CreateChartArea area;
        area.RowCount = rows;
        area.ColumnCount = columns;
        area.PatchCount = count;
        for (int i = 0; i < count; ++i) {
            const QVector<float> rgb{float(channel(gen)), float(channel(gen)), float(channel(gen))};
            area.Patches << MakePatch(i + 1, rgb, int(gen() % 2));
        }
        const CreateChartArea before = area;
        CreateChartArea again = area;
        const bool took = ScrambleAreaPatches(area, 1, {});
        QCOMPARE(ScrambleAreaPatches(again, 1, {}), took);
        QVERIFY(SamePatches(area, again));

        // A permutation: each ID comes back once with its own colours and flag.
        QVector<CreateChartPatch> sorted = area.Patches;
        std::sort(sorted.begin(), sorted.end(),
                  [](const CreateChartPatch &a, const CreateChartPatch &b) { return a.ID < b.ID; });
        QVERIFY(std::equal(sorted.begin(), sorted.end(), before.Patches.begin(), SamePatch));
        if (!took) {
            QVERIFY(SamePatches(area, before));
            continue;
        }
        ++taken;
        const auto labAt = [&](int p) {
            const float *v = area.Patches[p].ColorValue;
            return Lab({v[0], v[1], v[2]});
        };
        for (int p = 0; p < count; ++p) {
            const auto above = p >= columns ? labAt(p - columns) : white;
            const auto below = p + columns < count ? labAt(p + columns) : white;
            const double up = DeltaE(labAt(p), above);
            const double down = DeltaE(labAt(p), below);
            QVERIFY2(up >= 18 - 1e-3 && down >= 18 - 1e-3,
                     qPrintable(QStringLiteral("%1 x %2, position %3: %4 %5").arg(rows).arg(columns).arg(p)
                                    .arg(up).arg(down)));
        }
    }
    // Guards against a fixture in which the checks above never run.
    QVERIFY2(taken >= 30, qPrintable(QString::number(taken)));
}

void TestScramble::pageListLeavesOriginal()
{
    const QVector<QVector<float>> pair{Values(kBlack), Values(kBlue)};
    CreateChartPageList original(2);
    original[0].Areas[3] = MakeArea(2, 1, pair);
    original[1].Areas[49] = MakeArea(2, 1, pair);
    // An unused slot keeps whatever its list holds.
    original[1].Areas[10] = MakeArea(2, 1, pair);
    original[1].Areas[10].PatchCount = 0;
    const CreateChartPageList untouched = original;

    CreateChartPageList scrambled = original;
    ScramblePageList(scrambled, 1, {});
    QCOMPARE(Ids(scrambled[0].Areas[3]), (QVector<int>{2, 1}));
    QCOMPARE(Ids(scrambled[1].Areas[49]), (QVector<int>{2, 1}));
    QCOMPARE(Ids(scrambled[1].Areas[10]), (QVector<int>{1, 2}));
    for (int page = 0; page < 2; ++page) {
        for (int slot = 0; slot < kMaxAreaCount; ++slot)
            QVERIFY(SamePatches(original[page].Areas[size_t(slot)], untouched[page].Areas[size_t(slot)]));
    }
    QCOMPARE(Ids(original[0].Areas[3]), (QVector<int>{1, 2}));
}

QTEST_GUILESS_MAIN(TestScramble)
#include "test_scramble.moc"
