// The density-balance window's frame: closing (refused while busy, the layout saved under the window's own index,
// the handheld closed only in handheld mode), the controls a running measurement locks, the save-location
// settings packed from the dialog, the View actions of tabified docks and the window's condition block.
#include "tests/app/modelfixture.h"

#include "app/messagetables.h"
#include "app/model.h"
#include "app/tanosdkcontroller.h"
#include "app/widgets/conditiontree.h"
#include "densityaccess.h"
#include "mainwindow/vcmeasuredatasave.h"
#include "scriptedpresenter.h"

#include <QComboBox>
#include <QDockWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <memory>

using Access = CVCAdjustDensityAccess;

namespace {

constexpr int kWindowIndex = 1;

bool SameCondition(const Setting::MeasureConditionSetting &a, const Setting::MeasureConditionSetting &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

Setting::PrinterInfo Printer(const QString &name, const QString &address)
{
    Setting::PrinterInfo printer;
    printer.Name = name;
    printer.Password = QStringLiteral("pw");
    printer.IPAddress = address;
    printer.Port = QStringLiteral("30091");
    return printer;
}

// A stored record with gaps in both lists, as a dialog that had entries removed hands it back.
Setting::MeasureDataSave RecordWithGaps()
{
    Setting::MeasureDataSave record;
    record.FolderCount = 3;
    record.Folders[0] = QStringLiteral("/data/first");
    record.Folders[2] = QStringLiteral("/data/third");
    record.PrinterCount = 3;
    record.Printers[0] = Printer(QStringLiteral("Local"), QStringLiteral("127.0.0.1"));
    record.Printers[1] = Printer(QString(), QStringLiteral("10.0.0.9")); // no name: dropped
    record.Printers[2] = Printer(QStringLiteral("Press"), QStringLiteral("127.0.0.2"));
    record.PrintID = QStringLiteral("P0001");
    record.AddFileName = QStringLiteral("Cyan");
    record.AutoTransmission = false;
    record.SaveKind = 1;
    record.SelectedIndex = 1;
    return record;
}

} // namespace

class TestDensityFrame : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    CModel *m_model = nullptr;
    std::unique_ptr<CVCAdjustDensity> m_window;

    Ui::AdjustDensity *Form() const { return Access::Form(m_window.get()); }

    // Every named widget's own enabled flag and every named action's, so a cascade from a parent is no change.
    QMap<QString, bool> EnabledFlags() const
    {
        QMap<QString, bool> flags;
        for (QWidget *widget : m_window->findChildren<QWidget *>()) {
            if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
                flags[widget->objectName()] = !widget->testAttribute(Qt::WA_ForceDisabled);
        }
        for (QAction *action : m_window->findChildren<QAction *>()) {
            if (!action->objectName().isEmpty())
                flags[QStringLiteral("action:") + action->objectName()] = action->isEnabled();
        }
        return flags;
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        m_window = std::make_unique<CVCAdjustDensity>(m_model);
    }

    void cleanup()
    {
        m_window.reset();
        f.reset();
    }

    void closeIsRefusedWhileBusy()
    {
        Access::UseTemplate(m_window.get(), 0, 0);
        m_window->show();
        const QByteArray geometryBefore = m_model->GetWindowGeometry(kWindowIndex);
        const QByteArray checksBefore = m_model->GetWindowCheckState(kWindowIndex);
        QSignalSpy closed(m_window.get(), &CVCAdjustDensity::closeAdjustDensity);

        Access::Busy(m_window.get()) = true;
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QVERIFY(!Form()->dockChartList->isHidden());
        QCOMPARE(closed.count(), 0);
        QCOMPARE(m_model->GetWindowGeometry(kWindowIndex), geometryBefore);
        QCOMPARE(m_model->GetWindowCheckState(kWindowIndex), checksBefore);

        // Once the run has ended the same close goes through.
        Access::Busy(m_window.get()) = false;
        QVERIFY(m_window->close());
        QCOMPARE(closed.count(), 1);
    }

    void closeSavesLayoutAndKeepsTheScanner()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        int kind = 0;
        int serial = 0;
        QCOMPARE(m_model->OpenTanoDevice(&kind, &serial), 0);
        Access::UseTemplate(m_window.get(), 0, 0);
        m_window->show();
        Form()->actionViewStatusBar->setChecked(false);
        QVERIFY(Form()->statusBar->isHidden());
        const QByteArray mainChecks = m_model->GetWindowCheckState(0);
        const QByteArray geometry = m_window->saveGeometry();
        const QByteArray state = m_window->saveState();
        QSignalSpy closed(m_window.get(), &CVCAdjustDensity::closeAdjustDensity);

        QVERIFY(m_window->close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(m_model->GetWindowGeometry(kWindowIndex), geometry);
        QCOMPARE(m_model->GetWindowState(kWindowIndex), state);
        QCOMPARE(m_model->GetWindowCheckState(kWindowIndex), QByteArray(1, 0));
        QCOMPARE(m_model->GetWindowCheckState(0), mainChecks);
        for (QDockWidget *dock : {Form()->dockChartList, Form()->dockMeasurementCondition,
                                  Form()->dockMeasurementData})
            QVERIFY2(dock->isHidden(), qPrintable(dock->objectName()));
        QVERIFY(m_model->IsOrloConnected() != 0);
        // Scanner mode leaves the handheld alone.
        QVERIFY(CModelAccess::TanoController(*m_model)->IsOpen());
    }

    void closeInHandheldModeClosesTheInstrument()
    {
        int kind = 0;
        int serial = 0;
        QCOMPARE(m_model->OpenTanoDevice(&kind, &serial), 0);
        QVERIFY(CModelAccess::TanoController(*m_model)->IsOpen());
        Access::UseTemplate(m_window.get(), 0, 1);
        Access::HandyKind(m_window.get()) = kind;
        Access::HandySerial(m_window.get()) = serial;
        Access::HandyResult(m_window.get()) = -1;
        m_window->show();

        QVERIFY(m_window->close());
        QVERIFY(!CModelAccess::TanoController(*m_model)->IsOpen());
        QCOMPARE(Access::HandyResult(m_window.get()), 0);
        QCOMPARE(Access::HandyKind(m_window.get()), 0);
        QCOMPARE(Access::HandySerial(m_window.get()), 0);
        QCOMPARE(m_model->GetWindowCheckState(kWindowIndex), QByteArray(1, 1));
    }

    void itemStateRoundTrip_data()
    {
        QTest::addColumn<bool>("visibleBefore");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<bool>("visibleAfter");
        QTest::newRow("empty keeps shown") << true << QByteArray() << true;
        QTest::newRow("empty keeps hidden") << false << QByteArray() << false;
        QTest::newRow("0 hides") << true << QByteArray(1, 0) << false;
        QTest::newRow("1 shows") << false << QByteArray(1, 1) << true;
    }

    void itemStateRoundTrip()
    {
        QFETCH(bool, visibleBefore);
        QFETCH(QByteArray, state);
        QFETCH(bool, visibleAfter);
        m_window->show();
        Form()->statusBar->setVisible(visibleBefore);
        m_window->restoreItemState(state);
        QCOMPARE(Form()->statusBar->isVisible(), visibleAfter);
        QCOMPARE(m_window->saveItemState(), QByteArray(1, visibleAfter ? 1 : 0));
    }

    void controlsLockedTogether()
    {
        Access::UseTemplate(m_window.get(), 0, 0);
        const QMap<QString, bool> before = EnabledFlags();
        m_window->SetControlsEnabled(false);
        const QMap<QString, bool> after = EnabledFlags();

        QStringList changed;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (after.value(it.key()) != it.value())
                changed << it.key();
        }
        changed.sort();
        QStringList expected{QStringLiteral("dockChartList"),
                             QStringLiteral("menuFile"),
                             QStringLiteral("menuSetting"),
                             QStringLiteral("pushOrloChartLayoutPage"),
                             QStringLiteral("pushHandyDensitometerChartLayoutPage"),
                             QStringLiteral("pushMeasurementPointPage"),
                             QStringLiteral("action:actionOrloDisconnect")};
        expected.sort();
        QCOMPARE(changed, expected);
        for (const QString &name : expected)
            QVERIFY2(!after.value(name), qPrintable(name));

        m_window->SetControlsEnabled(true);
        QCOMPARE(EnabledFlags(), before);
    }

    void saveSettingsStatusAround_data()
    {
        QTest::addColumn<bool>("withCurrentItem");
        QTest::addColumn<int>("statusAfter");
        QTest::newRow("chart current") << true << int(CModel::StatusDensityWithChart);
        QTest::newRow("no current item") << false << int(CModel::StatusDensityWithoutChart);
    }

    void saveSettingsStatusAround()
    {
        QFETCH(bool, withCurrentItem);
        QFETCH(int, statusAfter);
        if (withCurrentItem) {
            auto *item = new QTreeWidgetItem(Form()->treeChartList, QStringList(QStringLiteral("A4_1")));
            Form()->treeChartList->setCurrentItem(item);
        }
        m_model->SetAppStatus(CModel::StatusDensityWithChart);
        int statusInside = -1;
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [&](QDialog *dialog) {
            statusInside = m_model->GetOperationState();
            dialog->done(0);
        });
        Form()->actionMeasureDataSave->trigger();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(statusInside, int(CModel::StatusDensitySave));
        QCOMPARE(m_model->GetOperationState(), statusAfter);
    }

    void saveSettingsRejectedChangesNothing()
    {
        QCOMPARE(m_model->SetMeasureDataSaveSetting(RecordWithGaps()), 0);
        ScriptedPresenter script;
        script.ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [](QDialog *dialog) { dialog->done(0); });
        m_window->actionMeasureDataSaveMenuTriggered();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));

        const Setting::MeasureDataSave stored = *m_model->GetMeasureDataSaveSetting();
        const Setting::MeasureDataSave seeded = RecordWithGaps();
        QCOMPARE(stored.FolderCount, 3);
        for (int i = 0; i < Setting::kMaxSaveFolderCount; ++i)
            QCOMPARE(stored.Folders[i], seeded.Folders[i]);
        QCOMPARE(stored.PrinterCount, 3);
        QCOMPARE(stored.Printers[1].IPAddress, seeded.Printers[1].IPAddress);
        QCOMPARE(stored.SaveKind, 1);
    }

    void saveSettingsPacksTheLists()
    {
        QCOMPARE(m_model->SetMeasureDataSaveSetting(RecordWithGaps()), 0);
        CVCMeasureDataSave *dialog = Access::SaveDialog(m_window.get());
        ScriptedPresenter script;
        bool dialogHasStoredRecord = false;
        script.ExpectDialog(QStringLiteral("CVCMeasureDataSave"), [&](QDialog *d) {
            dialogHasStoredRecord = dialog->GetMeasureDataSave().Folders[2] == RecordWithGaps().Folders[2];
            d->done(1);
        });
        m_window->actionMeasureDataSaveMenuTriggered();
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(dialogHasStoredRecord);

        const Setting::MeasureDataSave stored = *m_model->GetMeasureDataSaveSetting();
        QCOMPARE(stored.FolderCount, 2);
        QCOMPARE(stored.Folders[0], QStringLiteral("/data/first"));
        QCOMPARE(stored.Folders[1], QStringLiteral("/data/third"));
        for (int i = 2; i < Setting::kMaxSaveFolderCount; ++i)
            QVERIFY(stored.Folders[i].isEmpty());
        QCOMPARE(stored.PrinterCount, 2);
        QCOMPARE(stored.Printers[0].Name, QStringLiteral("Local"));
        QCOMPARE(stored.Printers[1].Name, QStringLiteral("Press"));
        QCOMPARE(stored.Printers[1].IPAddress, QStringLiteral("127.0.0.2"));
        QCOMPARE(stored.Printers[1].Password, QStringLiteral("pw"));
        QCOMPARE(stored.Printers[1].Port, QStringLiteral("30091"));
        for (int i = 2; i < Setting::kMaxPrinterCount; ++i)
            QVERIFY(stored.Printers[i].Name.isEmpty() && stored.Printers[i].IPAddress.isEmpty());
        const Setting::MeasureDataSave &chosen = dialog->GetMeasureDataSave();
        QCOMPARE(stored.PrintID, QStringLiteral("P0001"));
        QCOMPARE(stored.AddFileName, QStringLiteral("Cyan"));
        QCOMPARE(stored.AutoTransmission, chosen.AutoTransmission);
        QCOMPARE(stored.SaveKind, chosen.SaveKind);
        QCOMPARE(stored.SelectedIndex, chosen.SelectedIndex);
    }

    void tabifiedDockKeepsItsViewAction()
    {
        m_window->show();
        QDockWidget *condition = Form()->dockMeasurementCondition;
        QDockWidget *data = Form()->dockMeasurementData;
        QSignalSpy conditionShown(condition, &QDockWidget::visibilityChanged);
        m_window->tabifyDockWidget(condition, data);
        // The other dock's tab covers it: reported invisible, yet still open.
        QVERIFY(condition->visibleRegion().isEmpty());
        QVERIFY(!conditionShown.isEmpty());
        QCOMPARE(conditionShown.last().at(0).toBool(), false);
        QVERIFY(Form()->actionViewMeasurementCondition->isChecked());
        QVERIFY(Form()->actionViewMeasurementData->isChecked());

        // A dock closed outright unchecks its action, and the action still drives the dock afterwards.
        Form()->dockChartList->close();
        QVERIFY(!Form()->actionViewChartList->isChecked());
        Form()->actionViewChartList->setChecked(true);
        QVERIFY(Form()->dockChartList->isVisible());
    }

    void conditionSlotsStoreBlockOne_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("index");
        QTest::newRow("white reference") << 0 << 1;
        QTest::newRow("density status") << 1 << 3;
        QTest::newRow("observer") << 2 << 1;
        QTest::newRow("illuminant") << 3 << 2;
        QTest::newRow("cleared combo") << 0 << -1;
    }

    void conditionSlotsStoreBlockOne()
    {
        QFETCH(int, slot);
        QFETCH(int, index);
        QTreeWidget *tree = Form()->treeMeasurementCondition;
        const Setting::MeasureConditionSetting mainBefore = *m_model->GetMeasurementCondition(0);
        Setting::MeasureConditionSetting expected = *m_model->GetMeasurementCondition(1);

        // The illuminant combo stands where the tree opens it: column 1 of the Illuminant row.
        QComboBox *combo = CreateIlluminantCombo(expected, m_model->GetUserIlluminants());
        QTreeWidgetItem *illuminantRow = tree->topLevelItem(kConditionRowColorSpace)->child(4);
        QCOMPARE(illuminantRow->data(0, Qt::UserRole).toInt(), int(kEditorIlluminant));
        tree->setItemWidget(illuminantRow, 1, combo);
        QVERIFY(combo->count() > index);

        switch (slot) {
        case 0:
            m_window->conditionWhiteRefChanged(index);
            if (index >= 0)
                expected.WhiteReference = index;
            break;
        case 1:
            m_window->conditionStatusChanged(index);
            expected.DensityStatus = index;
            break;
        case 2:
            m_window->conditionObserverChanged(index);
            expected.Observer = index;
            break;
        default:
            // An entry other than the stored one, so the store is seen.
            while (combo->itemData(index).toInt() == expected.Illuminant)
                ++index;
            QVERIFY(index < combo->count());
            m_window->conditionIlluminantChanged(index);
            expected.Illuminant = combo->itemData(index).toInt();
            break;
        }
        QVERIFY(SameCondition(*m_model->GetMeasurementCondition(1), expected));
        QVERIFY(SameCondition(*m_model->GetMeasurementCondition(0), mainBefore));
        // No patch is selected, so no values were looked up.
        QVERIFY(!Access::PatchSelected(m_window.get()));
        for (QTreeWidgetItemIterator it(Form()->treeMeasurementData); *it; ++it)
            QVERIFY2((*it)->text(1).isEmpty(), qPrintable((*it)->text(0)));
    }
};

QTEST_MAIN(TestDensityFrame)
#include "test_density_frame.moc"
