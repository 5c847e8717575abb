// The main window's Measurement Settings dock: what a check or a combo choice stores in block 0 of the measurement
// conditions, what the first show writes into the tree, and what a restart reads back. The model holds two user
// illuminants, "Lamp" (slot 0, condition 15) and "Window" (slot 1, condition 16).
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/widgets/conditiontree.h"
#include "mainwindow/vcmainwindow.h"

#include <QComboBox>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// The twelve ints of a condition block, as a list so that a failed comparison names the word.
using Words = QList<int>;
constexpr int kWordCount = 12;
static_assert(sizeof(Setting::MeasureConditionSetting) == kWordCount * sizeof(int), "twelve ints");

Words WordsOf(const Setting::MeasureConditionSetting &record)
{
    int words[kWordCount];
    std::memcpy(words, &record, sizeof record);
    return Words(std::begin(words), std::end(words));
}

Setting::MeasureConditionSetting RecordOf(const Words &words)
{
    int values[kWordCount];
    std::copy(words.begin(), words.end(), values);
    Setting::MeasureConditionSetting record;
    std::memcpy(&record, values, sizeof record);
    return record;
}

constexpr int kLampCondition = 15;
constexpr int kWindowCondition = 16;

// Every word differs from the defaults; LCh is off, conditions 0 and "Window" are on, the illuminant is "Window".
const Words kStart{1, 1, 2, 1, 1, 0, 1, 1, 16, 1, (1 << 0) | (1 << kWindowCondition), 1};

} // namespace

class TestConditions : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    CModel *m_model = nullptr;
    std::unique_ptr<CVCMainWindow> m_window;

    // A fresh model with the two user illuminants and block 0 = kStart, and a window on it, not yet shown.
    void MakeWindow()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        m_model = f->model.get();
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        auto records = std::make_unique<EnvironLightData[]>(2);
        records[0] = Light(QStringLiteral("Lamp"), 10.0f);
        records[1] = Light(QStringLiteral("Window"), 20.0f);
        QCOMPARE(CModelAccess::IlluminantData(*m_model)->SetEnvironLightData(2, std::move(records)), 0);
        CModelAccess::IlluminantData(*m_model)->RebuildSlots();
        QCOMPARE(m_model->SetMeasureCondition(RecordOf(kStart), 0), 0);
        m_window = std::make_unique<CVCMainWindow>(m_model);
    }

    QTreeWidget *Tree() const { return m_window->findChild<QTreeWidget *>(QStringLiteral("treeMeasureSetting")); }
    QTreeWidgetItem *Item(int top, int child) const
    {
        QTreeWidgetItem *item = Tree()->topLevelItem(top);
        return child < 0 ? item : item->child(child);
    }
    QComboBox *OpenCombo(QTreeWidgetItem *item) const
    {
        return qobject_cast<QComboBox *>(Tree()->itemWidget(item, 1));
    }
    Words Stored() const { return WordsOf(*m_model->GetMeasurementCondition(0)); }

    static void Toggle(QTreeWidgetItem *item)
    {
        item->setCheckState(1, item->checkState(1) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void cleanup()
    {
        m_window.reset();
        f.reset();
        m_model = nullptr;
    }

    // Each checkable item stores its own word and nothing else.
    void checksStoreTheirWord_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("child");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("expected");

        const int mask = kStart[10];
        QTest::newRow("Density") << int(kConditionRowDensity) << -1 << 0 << 0;
        QTest::newRow("Color space") << int(kConditionRowColorSpace) << -1 << 3 << 0;
        QTest::newRow("L*a*b*") << int(kConditionRowColorSpace) << 0 << 4 << 0;
        QTest::newRow("L*C*h, off before") << int(kConditionRowColorSpace) << 1 << 5 << 1;
        QTest::newRow("third colour space") << int(kConditionRowColorSpace) << 2 << 6 << 0;
        QTest::newRow("Spectral data") << int(kConditionRowSpectral) << -1 << 9 << 0;
        QTest::newRow("Patch Color") << int(kConditionRowId) << 0 << 11 << 0;
        QTest::newRow("first condition off") << int(kConditionRowConditions) << 0 << 10 << (mask & ~1);
        QTest::newRow("last standard condition on")
            << int(kConditionRowConditions) << 14 << 10 << (mask | (1 << 14));
        QTest::newRow("user condition Lamp on")
            << int(kConditionRowConditions) << kLampCondition << 10 << (mask | (1 << kLampCondition));
        QTest::newRow("user condition Window off")
            << int(kConditionRowConditions) << kWindowCondition << 10 << (mask & ~(1 << kWindowCondition));
    }
    void checksStoreTheirWord()
    {
        QFETCH(int, top);
        QFETCH(int, child);
        QFETCH(int, word);
        QFETCH(int, expected);
        MakeWindow();
        m_window->show();
        Toggle(Item(top, child));

        Words want = kStart;
        want[word] = expected;
        QCOMPARE(Stored(), want);

        if (top != kConditionRowConditions)
            return;
        // The user rows stay, checked by the stored mask, and the summary follows the checks.
        QTreeWidgetItem *conditions = Item(kConditionRowConditions, -1);
        QCOMPARE(conditions->childCount(), 17);
        QCOMPARE(conditions->child(kLampCondition)->text(0), QStringLiteral("Lamp"));
        QCOMPARE(conditions->child(kWindowCondition)->text(0), QStringLiteral("Window"));
        QStringList checked;
        for (int i = 0; i < conditions->childCount(); ++i) {
            const bool on = (expected & (1 << i)) != 0;
            QCOMPARE(conditions->child(i)->checkState(1), on ? Qt::Checked : Qt::Unchecked);
            if (on)
                checked << conditions->child(i)->text(0);
        }
        QCOMPARE(conditions->text(1), checked.join(QStringLiteral(", ")));
    }

    // A combo stores the chosen index, the illuminant the chosen entry's id; closing it changes nothing more.
    void combosStoreTheirWord_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("child");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("expected");

        QTest::newRow("white reference") << int(kConditionRowDensity) << 0 << WhiteReferenceNames().at(0) << 1 << 0;
        QTest::newRow("density status") << int(kConditionRowDensity) << 1 << DensityStatusNames().at(4) << 2 << 4;
        QTest::newRow("observer") << int(kConditionRowColorSpace) << 3 << ObserverNames().at(0) + " degree" << 7
                                  << 0;
        QTest::newRow("illuminant Auto") << int(kConditionRowColorSpace) << 4
                                         << IlluminantNames().at(kAutoIlluminantId) << 8 << kAutoIlluminantId;
        QTest::newRow("illuminant Lamp") << int(kConditionRowColorSpace) << 4 << "Lamp" << 8 << 15;
    }
    void combosStoreTheirWord()
    {
        QFETCH(int, top);
        QFETCH(int, child);
        QFETCH(QString, entry);
        QFETCH(int, word);
        QFETCH(int, expected);
        MakeWindow();
        m_window->show();

        QTreeWidgetItem *item = Item(top, child);
        Tree()->setCurrentItem(item);
        QComboBox *combo = OpenCombo(item);
        QVERIFY(combo);
        const int index = combo->findText(entry);
        QVERIFY(index >= 0);
        combo->setCurrentIndex(index);
        Words want = kStart;
        want[word] = expected;
        QCOMPARE(Stored(), want);

        Tree()->setCurrentItem(Item(kConditionRowSpectral, -1));
        QVERIFY(!OpenCombo(item));
        QCOMPARE(item->text(1), entry);
        QCOMPARE(Stored(), want);
    }

    // Before the first show the tree's changes store nothing; the show then writes the stored block over them.
    void firstShowWritesTheStoredBlock()
    {
        MakeWindow();
        Toggle(Item(kConditionRowDensity, -1));
        Toggle(Item(kConditionRowConditions, 0));
        QTreeWidgetItem *whiteRef = Item(kConditionRowDensity, 0);
        Tree()->setCurrentItem(whiteRef);
        QVERIFY(OpenCombo(whiteRef));
        OpenCombo(whiteRef)->setCurrentIndex(0);
        Tree()->setCurrentItem(Item(kConditionRowSpectral, -1));
        QCOMPARE(Stored(), kStart);

        m_window->show();
        QCOMPARE(Stored(), kStart);
        QCOMPARE(Item(kConditionRowDensity, -1)->checkState(1), Qt::Checked);
        QCOMPARE(Item(kConditionRowColorSpace, 1)->checkState(1), Qt::Unchecked);
        QCOMPARE(Item(kConditionRowConditions, 0)->checkState(1), Qt::Checked);
        QCOMPARE(whiteRef->text(1), WhiteReferenceNames().at(1));
        QCOMPARE(Item(kConditionRowDensity, 1)->text(1), DensityStatusNames().at(2));
        QCOMPARE(Item(kConditionRowColorSpace, 3)->text(1), ObserverNames().at(1) + " degree");
        QCOMPARE(Item(kConditionRowColorSpace, 4)->text(1), QStringLiteral("Window"));
        QCOMPARE(Item(kConditionRowConditions, kLampCondition)->checkState(1), Qt::Unchecked);
        QCOMPARE(Item(kConditionRowConditions, kWindowCondition)->checkState(1), Qt::Checked);
    }

    // The white reference set from outside is stored and shown in the open combo, or in the item's text.
    void whiteReferenceFromOutside_data()
    {
        QTest::addColumn<bool>("comboOpen");
        QTest::newRow("combo open") << true;
        QTest::newRow("no combo") << false;
    }
    void whiteReferenceFromOutside()
    {
        QFETCH(bool, comboOpen);
        MakeWindow();
        m_window->show();
        QTreeWidgetItem *whiteRef = Item(kConditionRowDensity, 0);
        if (comboOpen) {
            Tree()->setCurrentItem(whiteRef);
            QCOMPARE(OpenCombo(whiteRef)->currentIndex(), 1);
        }

        m_window->setMeasureSettingWhiteRefCurrentIndex(0);
        Words want = kStart;
        want[1] = 0;
        QCOMPARE(Stored(), want);
        if (comboOpen) {
            QCOMPARE(OpenCombo(whiteRef)->currentIndex(), 0);
            Tree()->setCurrentItem(Item(kConditionRowSpectral, -1));
        } else {
            QVERIFY(!OpenCombo(whiteRef));
        }
        QCOMPARE(whiteRef->text(1), WhiteReferenceNames().at(0));
        QCOMPARE(Stored(), want);
    }

    // What the dock stored is in the settings file: a new model on the same data reads it back.
    void restartReadsTheStoredBlock()
    {
        MakeWindow();
        m_window->show();
        Toggle(Item(kConditionRowSpectral, -1));
        Toggle(Item(kConditionRowConditions, kLampCondition));
        QTreeWidgetItem *illuminant = Item(kConditionRowColorSpace, 4);
        Tree()->setCurrentItem(illuminant);
        OpenCombo(illuminant)->setCurrentIndex(OpenCombo(illuminant)->findText(QStringLiteral("Lamp")));
        Words want = kStart;
        want[9] = 0;
        want[10] |= 1 << kLampCondition;
        want[8] = 15;
        QCOMPARE(Stored(), want);

        m_window.reset();
        QVERIFY(f->Make());
        m_model = f->model.get();
        QCOMPARE(Stored(), want);
    }
};

QTEST_MAIN(TestConditions)
#include "test_conditions.moc"
