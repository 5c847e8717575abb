// The condition-tree, patch-value, spectral and zoom builders the windows share, on offscreen widgets.
#include "app/constants.h"
#include "app/patchdisplayvalues.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/widgethelpers.h"

#include <QAction>
#include <QChart>
#include <QComboBox>
#include <QLineSeries>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>
#include <QValueAxis>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace QtCharts;

namespace {

Setting::MeasureConditionSetting Record(int mask)
{
    Setting::MeasureConditionSetting r{};
    r.DensityShown = 1;
    r.WhiteReference = 1;
    r.DensityStatus = 4;
    r.ColorSpaceShown = 1;
    r.LabShown = 1;
    r.LchShown = 0;
    r.XyzShown = 1;
    r.Observer = 1;
    r.Illuminant = 2;
    r.SpectralShown = 1;
    r.ConditionMask = mask;
    r.PatchColorShown = 1;
    return r;
}

UserIlluminantSlots Slots(std::initializer_list<const char *> names)
{
    UserIlluminantSlots lights{};
    int k = 0;
    for (const char *name : names) {
        lights[static_cast<std::size_t>(k)].Number = k;
        lights[static_cast<std::size_t>(k)].Name = QString::fromLatin1(name);
        ++k;
    }
    return lights;
}

QTreeWidgetItem *Conditions(QTreeWidget &tree)
{
    return tree.topLevelItem(kConditionRowConditions);
}

PatchDisplayValues Values(int format, bool averaged)
{
    PatchDisplayValues v;
    std::memset(&v, 0, sizeof v);
    v.ID = 17;
    v.ColorFormat = format;
    v.Averaged = averaged;
    for (int i = 0; i < 8; ++i)
        v.ColorValue[i] = 10.0f * float(i + 1);
    for (int k = 0; k < kDisplayConditionCount; ++k) {
        for (int i = 0; i < kPatchValueSetSize; ++i) {
            v.Values[k][i] = float(k) + 0.25f * float(i);
            v.Averages[k][i] = float(k) + 0.5f;
        }
    }
    return v;
}

struct Trees {
    QTreeWidget conditions;
    QTreeWidget values;
    Trees(int mask, const UserIlluminantSlots &lights = {})
    {
        conditions.setColumnCount(2);
        values.setColumnCount(1);
        BuildMeasureConditionTree(&conditions);
        ApplyMeasureConditionSetting(&conditions, Record(mask), lights, false);
        BuildPatchValueTree(&values, &conditions);
    }
    QTreeWidgetItem *densityChild(int i) { return values.topLevelItem(kConditionRowDensity)->child(i); }
};

} // namespace

class TestConditionTree : public QObject
{
    Q_OBJECT

private slots:
    void applyAndReadBack()
    {
        const UserIlluminantSlots lights = Slots({"Lamp A", "Lamp B"});
        Trees t(0x5 | (1 << 16), lights);
        QTreeWidgetItem *conditions = Conditions(t.conditions);
        QCOMPARE(conditions->childCount(), 17);
        QCOMPARE(conditions->child(15)->text(0), QStringLiteral("Lamp A"));
        QCOMPARE(conditions->child(16)->checkState(1), Qt::Checked);
        QCOMPARE(conditions->child(15)->checkState(1), Qt::Unchecked);
        QCOMPARE(conditions->text(1), conditions->child(0)->text(0) + QStringLiteral(", ") +
                                          conditions->child(2)->text(0) + QStringLiteral(", Lamp B"));
        QTreeWidgetItem *density = t.conditions.topLevelItem(kConditionRowDensity);
        QCOMPARE(density->child(0)->text(1), WhiteReferenceNames().at(1));
        QCOMPARE(density->child(1)->text(1), QStringLiteral("DIN"));
        QCOMPARE(t.conditions.topLevelItem(kConditionRowColorSpace)->child(3)->text(1), QStringLiteral("10 degree"));

        Setting::MeasureConditionSetting read{};
        read.WhiteReference = 1;
        read.DensityStatus = 4;
        read.Observer = 1;
        read.Illuminant = 2;
        read.ConditionMask = 1 << 19; // beyond the last child: kept
        ReadMeasureConditionSetting(&read, &t.conditions);
        Setting::MeasureConditionSetting expected = Record(0x5 | (1 << 16));
        expected.ConditionMask |= 1 << 19;
        QCOMPARE(std::memcmp(&read, &expected, sizeof read), 0);
    }

    void maskZero()
    {
        Trees t(0);
        QTreeWidgetItem *conditions = Conditions(t.conditions);
        for (int i = 0; i < conditions->childCount(); ++i)
            QCOMPARE(conditions->child(i)->checkState(1), Qt::Unchecked);
        QVERIFY(conditions->text(1).isEmpty());
    }

    void partialChildReadAsSetWithoutColumn()
    {
        Trees t(0x1);
        Conditions(t.conditions)->child(3)->setCheckState(1, Qt::PartiallyChecked);
        Setting::MeasureConditionSetting read = Record(0);
        ReadMeasureConditionSetting(&read, &t.conditions);
        QCOMPARE(read.ConditionMask, 0x9);
        ShowPatchValues(&t.values, &t.conditions, Values(1, false), true);
        QCOMPARE(t.values.columnCount(), 2);
    }

    void patchValues_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("averaged");
        QTest::addColumn<bool>("measured");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("patchColor");
        QTest::addColumn<QString>("density0");
        QTest::addColumn<QString>("densityRow");
        QTest::addColumn<QString>("lab");
        QTest::addColumn<QString>("spectral0");
        const QString sign(QChar(0x2300));
        QTest::newRow("measured") << 0x2 << 1 << false << true << 2 << QStringLiteral("10.00, 20.00, 30.00")
                                  << QStringLiteral("0.000") << QStringLiteral("0.000, 0.250, 0.500, 0.750")
                                  << QStringLiteral("1.00, 1.25, 1.50") << QStringLiteral("325.00%");
        QTest::newRow("unmeasured") << 0x2 << 2 << false << false << 2
                                    << QStringLiteral("10.00, 20.00, 30.00, 40.00") << QStringLiteral("---")
                                    << QStringLiteral("---, ---, ---, ---") << QStringLiteral("---, ---, ---")
                                    << QStringLiteral("---%");
        QTest::newRow("averaged") << 0x2 << 1 << true << true << 2 << QStringLiteral("10.00, 20.00, 30.00")
                                  << QStringLiteral("0.000 (") + sign + QStringLiteral(" 0.500)")
                                  << QStringLiteral("0.000, 0.250, 0.500, 0.750")
                                  << QStringLiteral("1.00, 1.25, 1.50") << QStringLiteral("325.00%");
        QTest::newRow("averaged unmeasured")
            << 0x2 << 1 << true << false << 2 << QStringLiteral("10.00, 20.00, 30.00")
            << QStringLiteral("--- (") + sign + QStringLiteral(" 0.500)") << QStringLiteral("---, ---, ---, ---")
            << QStringLiteral("---, ---, ---") << QStringLiteral("---%");
        QTest::newRow("format 0 leaves the cell") << 0x2 << 0 << false << true << 2 << QStringLiteral("old")
                                                  << QStringLiteral("0.000")
                                                  << QStringLiteral("0.000, 0.250, 0.500, 0.750")
                                                  << QStringLiteral("1.00, 1.25, 1.50") << QStringLiteral("325.00%");
        QTest::newRow("no condition") << 0 << 1 << false << true << 1 << QStringLiteral("10.00, 20.00, 30.00")
                                      << QString() << QString() << QString() << QString();
    }

    void patchValues()
    {
        QFETCH(int, mask);
        QFETCH(int, format);
        QFETCH(bool, averaged);
        QFETCH(bool, measured);
        QFETCH(int, columns);
        QFETCH(QString, patchColor);
        QFETCH(QString, density0);
        QFETCH(QString, densityRow);
        QFETCH(QString, lab);
        QFETCH(QString, spectral0);
        Trees t(mask);
        QTreeWidgetItem *idRow = t.values.topLevelItem(kConditionRowId);
        idRow->child(0)->setText(1, QStringLiteral("old"));
        // Value set 0 belongs to the first shown column (condition 1 here): values 0, 0.25, ...
        ShowPatchValues(&t.values, &t.conditions, Values(format, averaged), measured);

        QCOMPARE(t.values.columnCount(), columns);
        QCOMPARE(idRow->text(1), QStringLiteral("17"));
        QCOMPARE(idRow->child(0)->text(1), patchColor);
        if (columns < 2)
            return;
        QCOMPARE(t.values.headerItem()->text(1),
                 QStringLiteral("Value(") + Conditions(t.conditions)->child(1)->text(0) + QLatin1Char(')'));
        QCOMPARE(t.densityChild(0)->text(1), density0);
        QCOMPARE(t.values.topLevelItem(kConditionRowDensity)->text(1), densityRow);
        QTreeWidgetItem *labRow = t.values.topLevelItem(kConditionRowColorSpace)->child(0);
        QCOMPARE(labRow->text(1), lab);
        // Averages only ever show on the density rows.
        QVERIFY(!labRow->child(0)->text(1).contains(QChar(0x2300)));
        QCOMPARE(t.values.topLevelItem(kConditionRowSpectral)->child(0)->text(1), spectral0);
        QCOMPARE(t.values.topLevelItem(kConditionRowSpectral)->child(0)->text(0), QStringLiteral("380nm"));
        QCOMPARE(t.values.topLevelItem(kConditionRowSpectral)->child(35)->text(0), QStringLiteral("730nm"));
    }

    void rowVisibility()
    {
        Setting::MeasureConditionSetting record = Record(0x1);
        record.LabShown = 0;
        record.LchShown = 0;
        record.XyzShown = 1;
        record.SpectralShown = 0;
        record.PatchColorShown = 0;
        Trees t(0x1);
        ApplyMeasureConditionSetting(&t.conditions, record, {}, false);
        ClearPatchValueTree(&t.values);
        QVERIFY(t.values.topLevelItem(kConditionRowId)->isHidden());
        SyncPatchValueTreeVisibility(&t.values, &t.conditions);
        QVERIFY(!t.values.topLevelItem(kConditionRowId)->isHidden());
        QVERIFY(t.values.topLevelItem(kConditionRowId)->child(0)->isHidden());
        QTreeWidgetItem *colorSpace = t.values.topLevelItem(kConditionRowColorSpace);
        QVERIFY(!colorSpace->isHidden());
        QCOMPARE(colorSpace->text(1), QStringLiteral("XYZ"));
        QVERIFY(colorSpace->child(0)->isHidden());
        QVERIFY(!colorSpace->child(2)->isHidden());
        QVERIFY(t.values.topLevelItem(kConditionRowSpectral)->isHidden());

        // No colour space shown: the row goes and its text is empty.
        t.conditions.topLevelItem(kConditionRowColorSpace)->child(2)->setCheckState(1, Qt::Unchecked);
        SyncPatchValueTreeVisibility(&t.values, &t.conditions);
        QVERIFY(colorSpace->isHidden());
        QVERIFY(colorSpace->text(1).isEmpty());
    }

    void illuminantEditor_data()
    {
        QTest::addColumn<int>("illuminant");
        QTest::addColumn<int>("registered");
        QTest::addColumn<int>("selectedData");
        QTest::addColumn<QString>("closedText");
        QTest::newRow("standard") << 5 << 0 << 5 << IlluminantNames().at(5);
        QTest::newRow("auto") << 20 << 0 << 20 << IlluminantNames().at(20);
        QTest::newRow("user registered") << 16 << 2 << 16 << QStringLiteral("Lamp B");
        QTest::newRow("user deleted") << 16 << 1 << 2 << QStringLiteral("D50");
    }

    void illuminantEditor()
    {
        QFETCH(int, illuminant);
        QFETCH(int, registered);
        QFETCH(int, selectedData);
        QFETCH(QString, closedText);
        const UserIlluminantSlots lights = registered == 2   ? Slots({"Lamp A", "Lamp B"})
                                          : registered == 1 ? Slots({"Lamp A"})
                                                            : UserIlluminantSlots{};
        Setting::MeasureConditionSetting record = Record(1);
        record.Illuminant = illuminant;
        Trees t(1, lights);
        ApplyMeasureConditionSetting(&t.conditions, record, lights, false);
        QTreeWidgetItem *item = t.conditions.topLevelItem(kConditionRowColorSpace)->child(4);
        QCOMPARE(item->text(1), closedText);

        QComboBox *combo = SwitchMeasureConditionEditor(&t.conditions, item, nullptr, &record, lights);
        QVERIFY(combo);
        QCOMPARE(t.conditions.itemWidget(item, 1), combo);
        QCOMPARE(combo->count(), 16 + registered);
        QCOMPARE(ComboDataAt(combo, 15), 20);
        QCOMPARE(ComboDataAt(combo, combo->currentIndex()), selectedData);

        // The same item again: its combo stays and the record is untouched.
        const Setting::MeasureConditionSetting before = record;
        QVERIFY(!SwitchMeasureConditionEditor(&t.conditions, item, item, &record, lights));
        QCOMPARE(t.conditions.itemWidget(item, 1), combo);
        QCOMPARE(std::memcmp(&before, &record, sizeof record), 0);

        // Leaving it takes the choice into the record and the text.
        combo->setCurrentIndex(FindComboIndexByData(combo, 7));
        QTreeWidgetItem *spectral = t.conditions.topLevelItem(kConditionRowSpectral);
        QVERIFY(!SwitchMeasureConditionEditor(&t.conditions, spectral, item, &record, lights));
        QCOMPARE(record.Illuminant, 7);
        QCOMPARE(item->text(1), IlluminantNames().at(7));
        QVERIFY(!t.conditions.itemWidget(item, 1));
    }

    void refreshWithOpenCombo()
    {
        UserIlluminantSlots lights = Slots({"Lamp A", "Lamp B"});
        Setting::MeasureConditionSetting record = Record(1 << 15);
        record.Illuminant = 16;
        Trees t(1 << 15, lights);
        QTreeWidgetItem *item = t.conditions.topLevelItem(kConditionRowColorSpace)->child(4);
        QComboBox *combo = SwitchMeasureConditionEditor(&t.conditions, item, nullptr, &record, lights);
        QVERIFY(combo);
        lights[1] = UserIlluminantSlot{}; // Lamp B deleted
        RefreshUserIlluminantItems(&t.conditions, record, lights, true);
        QCOMPARE(combo->count(), 17);
        QCOMPARE(combo->itemText(16), QStringLiteral("Lamp A"));
        QCOMPARE(combo->currentIndex(), 2);
        QTreeWidgetItem *conditions = Conditions(t.conditions);
        QCOMPARE(conditions->childCount(), 16);
        QCOMPARE(conditions->child(15)->checkState(1), Qt::Checked);
        QVERIFY(conditions->child(15)->isDisabled());
    }

    void choiceEditors()
    {
        Trees t(1);
        Setting::MeasureConditionSetting record = Record(1);
        QTreeWidgetItem *whiteRef = t.conditions.topLevelItem(kConditionRowDensity)->child(0);
        QComboBox *combo = SwitchMeasureConditionEditor(&t.conditions, whiteRef, nullptr, &record, {});
        QVERIFY(combo);
        QCOMPARE(combo->currentIndex(), 1);
        SetWhiteRefSelection(&t.conditions, 0);
        QCOMPARE(combo->currentIndex(), 0);
        QTreeWidgetItem *observer = t.conditions.topLevelItem(kConditionRowColorSpace)->child(3);
        QComboBox *observerCombo = SwitchMeasureConditionEditor(&t.conditions, observer, whiteRef, &record, {});
        QCOMPARE(record.WhiteReference, 0);
        QCOMPARE(whiteRef->text(1), WhiteReferenceNames().at(0));
        QVERIFY(observerCombo);
        QCOMPARE(observerCombo->currentText(), QStringLiteral("10 degree"));
        // A text that matches no entry selects nothing.
        observer->setText(1, QStringLiteral("10 Degree"));
        std::unique_ptr<QComboBox> none(CreateConditionEditor(observer, record, {}));
        QCOMPARE(none->currentIndex(), -1);
        // Items without an editor kind get none.
        QVERIFY(!CreateConditionEditor(t.conditions.topLevelItem(kConditionRowId)->child(0), record, {}));
        SetWhiteRefSelection(&t.conditions, 1);
        QCOMPARE(whiteRef->text(1), WhiteReferenceNames().at(1));
    }

    void spectralSeries()
    {
        Trees t(0x6);
        PatchDisplayValues values = Values(1, false);
        values.Values[0][kPatchValueSpectralFirst] = 0.125f;
        values.Values[1][kPatchValueSpectralFirst] = -0.125f;
        values.Values[1][kPatchValueSpectralFirst + 35] = 0.994f;
        QChart chart;
        auto *x = new QValueAxis;
        auto *y = new QValueAxis;
        chart.addAxis(x, Qt::AlignBottom);
        chart.addAxis(y, Qt::AlignLeft);
        AddSpectralSeries(&chart, x, y, {1, 2}, values, &t.conditions);
        const QList<QAbstractSeries *> series = chart.series();
        QCOMPARE(series.size(), 2);
        auto *first = static_cast<QLineSeries *>(series[0]);
        auto *second = static_cast<QLineSeries *>(series[1]);
        QCOMPARE(first->name(), Conditions(t.conditions)->child(1)->text(0));
        QCOMPARE(first->count(), 36);
        QCOMPARE(first->at(0), QPointF(380, 0.13));
        QCOMPARE(second->at(0), QPointF(380, -0.12));
        QCOMPARE(second->at(35), QPointF(730, 0.99));
        QCOMPARE(first->attachedAxes().size(), 2);
        QCOMPARE(chart.legend()->alignment(), Qt::AlignBottom);
    }

    void zoomControls_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("actions");
        QTest::newRow("first table") << 0 << 30 << 6;
        QTest::newRow("second table") << 1 << 5 << 9;
    }

    void zoomControls()
    {
        QFETCH(int, table);
        QFETCH(int, minimum);
        QFETCH(int, actions);
        QWidget parent;
        QSlider a;
        QSlider b;
        QMenu *menu = CreateZoomMenu(table, &parent, {&a, &b});
        QCOMPARE(menu->parent(), &parent);
        QCOMPARE(menu->actions().size(), actions);
        for (QSlider *slider : {&a, &b}) {
            QCOMPARE(slider->minimum(), minimum);
            QCOMPARE(slider->maximum(), 200);
            QCOMPARE(slider->value(), 100);
            QCOMPARE(slider->pageStep(), 10);
        }
        QToolButton button;
        button.setMenu(menu);
        QAction *fit = menu->actions().last();
        QCOMPARE(fit->data().toInt(), 0);
        ApplyZoomMenuAction(fit, &a, &button, 1);
        QCOMPARE(a.value(), minimum);
        QVERIFY(fit->isChecked());
        ApplyZoomMenuAction(fit, &a, &button, 500);
        QCOMPARE(a.value(), 200);
        QAction *first = menu->actions().first();
        ApplyZoomMenuAction(first, &a, &button, 80);
        QCOMPARE(a.value(), minimum);
        QVERIFY(first->isChecked());
        QVERIFY(!fit->isChecked());

        SetZoomButtonText(5, &button);
        QCOMPARE(button.text(), QStringLiteral("5%"));
        QVERIFY(!first->isChecked());
        SetZoomButtonText(150, &button);
        QCOMPARE(button.text(), QStringLiteral("150%"));
    }

    void comboHelpers()
    {
        QComboBox combo;
        combo.addItem(QStringLiteral("a"), 7);
        combo.addItem(QStringLiteral("b"));
        combo.addItem(QStringLiteral("c"), 9);
        combo.addItem(QStringLiteral("d"), 9);
        QCOMPARE(FindComboIndexByData(&combo, 9), 2);
        QCOMPARE(FindComboIndexByData(&combo, 0), -1);
        QCOMPARE(ComboDataAt(&combo, 0), 7);
        QCOMPARE(ComboDataAt(&combo, 4), -1);
        QCOMPARE(ComboDataAt(&combo, -1), -1);
    }

    void centerOnWidget()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget reference;
        reference.setGeometry(screen.left() + 100, screen.top() + 100, 400, 300);
        QWidget widget;
        widget.resize(200, 100);
        CenterOnWidget(&widget, &reference);
        QCOMPARE(widget.frameGeometry().center(), reference.frameGeometry().center());

        // Near the corner the widget is pushed inside the screen, never to negative coordinates.
        reference.setGeometry(screen.left(), screen.top(), 40, 30);
        CenterOnWidget(&widget, &reference);
        QVERIFY(widget.frameGeometry().left() >= qMax(0, screen.left()));
        QVERIFY(widget.frameGeometry().top() >= qMax(0, screen.top()));
        reference.setGeometry(screen.right() - 40, screen.bottom() - 30, 40, 30);
        CenterOnWidget(&widget, &reference);
        QVERIFY(widget.frameGeometry().right() <= screen.right());
        QVERIFY(widget.frameGeometry().bottom() <= screen.bottom());
    }
};

QTEST_MAIN(TestConditionTree)
#include "test_condition_tree.moc"
