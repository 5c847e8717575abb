// The main job through the whole program: connect the scanner, tick a chart, feed its printed sheet and follow
// the window as the scanner works until the new measurement is listed; a second start restores the window.
#include "tests/app/modelfixture.h"
#include "tests/gui/programfixture.h"

#include "app/model.h"
#include "mainwindow/vcmainwindow.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

namespace {

int CountCalls(const QString &log, const QString &function)
{
    return log.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + function + "\\(")).size();
}

QTreeWidgetItem *TopLevelItem(QTreeWidget *tree, const QString &name)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0) == name)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

struct ChartCopy {
    ChartDefinitionDataSheets chart;
    ChartCopy() { InitChartDefinitionData(&chart); }
    ~ChartCopy() { ClearChartDefinitionData(&chart); }
};

} // namespace

class TestFrameWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void measureAChartThenRestart()
    {
        ProgramFixture program;
        SeededStore ids;
        QVERIFY(program.Seed(&ids));

        bool connected = false;
        int jobs = -1;
        QStringList texts;
        QList<int> states;
        bool lockedWhileBusy = true;
        bool closeRefused = true;
        bool listed = false;
        bool unlocked = false;
        QSize size;
        program.Run([&] {
            auto *window = qobject_cast<CVCMainWindow *>(program.Window());
            CModel *model = program.Model();
            QVERIFY(window && model);
            Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
            record.ConnectionKind = 0;
            record.Port = QStringLiteral("usb0");
            record.DeviceName = QStringLiteral("ORS00001");
            QCOMPARE(model->SetConnectSetting(record), 0);
            window->findChild<QAction *>(QStringLiteral("actionOrloConnectDisconnect"))->trigger();
            connected = model->IsOrloConnected() == 1;

            auto *tree = window->findChild<QTreeWidget *>(QStringLiteral("treeDesignation"));
            QTreeWidgetItem *chartItem = TopLevelItem(tree, QStringLiteral("QRChart"));
            QVERIFY(chartItem);
            OrloSim_ClearCallLog();
            chartItem->setCheckState(0, Qt::Checked);
            jobs = CountCalls(QString::fromUtf8(OrloSim_CallLog()), QStringLiteral("Orlo_RegisterJob"));

            ChartCopy copy;
            QCOMPARE(model->ReadDesignationChart(ids.qrChart, &copy.chart), 0);
            QCOMPARE(InsertPrintedPage(copy.chart, 0), 0);

            QLabel *status = window->statusBar()->findChildren<QLabel *>().value(0);
            QVERIFY(status);
            // Connected after the window's own slot, so each state is seen as the window left it.
            const auto connection = QObject::connect(model, &CModel::UpdateOrloStatus, window, [&](int state) {
                states << state;
                texts << status->text();
                if (state == 5 || state == 6 || state == 7) {
                    lockedWhileBusy = lockedWhileBusy && !tree->isEnabled();
                    closeRefused = closeRefused && !window->close() && window->isVisible();
                }
            });
            while (OrloSim_DeliverOne() > 0) {
            }
            QObject::disconnect(connection);

            const int measureId = model->GetNewMeasurementID();
            QTreeWidgetItem *current = tree->currentItem();
            listed = current && current->parent() == chartItem && current->data(0, Qt::UserRole).toInt() == measureId;
            unlocked = tree->isEnabled();

            window->statusBar()->hide();
            window->resize(900, 700);
            size = window->size();
            QVERIFY(window->close());
        });
        QVERIFY(program.BodyRan());
        QVERIFY2(program.script.Done(), qPrintable(program.script.Problems()));
        QVERIFY(connected);
        QCOMPARE(jobs, 1);
        for (int state : {3, 5, 6, 7})
            QVERIFY2(states.contains(state), qPrintable(QStringLiteral("state %1 in %2").arg(state).arg(
                                                 QStringList(texts).join(QLatin1String(" | ")))));
        for (const char *text : {"Feeding paper...", "Pre-scanning...", "Pre-scanning completed.", "Now measuring..."})
            QVERIFY2(texts.contains(QLatin1String(text)), text);
        QVERIFY(lockedWhileBusy);
        QVERIFY(closeRefused);
        QVERIFY(listed);
        QVERIFY(unlocked);

        bool statusBarHidden = false;
        QSize restored;
        program.Run([&] {
            statusBarHidden = !program.Window()->statusBar()->isVisible();
            restored = program.Window()->size();
        });
        QVERIFY(program.BodyRan());
        QVERIFY(statusBarHidden);
        // Without a window manager the position moves by the missing frame; the size is what was left.
        QCOMPARE(restored, size);
    }
};

VAREMO_PROGRAM_TEST_MAIN(TestFrameWorkflow)
#include "test_frame_workflow.moc"
