// The tile measurement dialog on the simulated chart scanner: its form, the cover and status checks before a
// strip, the wait and busy box, the two steps, the results against the colour library, and every failure.
#include "settings/vcinstrumenttilemeasurement.h"

#include "app/diagnosedata.h"
#include "app/orlosdkcontroller.h"
#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include "vexcolor.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

const QString kStrip1Text =
    QStringLiteral("Please open cover of Orlo and set Tile Strip No.1.\nAfter setting, please close the cover.");
const QString kStrip2Text =
    QStringLiteral("Please open cover of Orlo and set Tile Strip No.2.\nAfter setting, please close the cover.");

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

QImage Picture(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

int CallCount(const char *function)
{
    const QStringList lines = QString::fromUtf8(OrloSim_CallLog()).split('\n', Qt::SkipEmptyParts);
    const QString prefix = QString::fromLatin1(function) + '(';
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(prefix); }));
}

using Results = std::array<TileResultRecord, kTileCount>;

Results Snapshot(CVCInstrumentTileMeasurement &dialog)
{
    Results results;
    std::copy_n(dialog.GetTileResults(), kTileCount, results.begin());
    return results;
}

bool SameRecords(const Results &a, const Results &b, int first, int count)
{
    return std::memcmp(&a[size_t(first)], &b[size_t(first)], sizeof(TileResultRecord) * size_t(count)) == 0;
}

// The seven blocks the simulator delivers for a strip (0 or 1).
std::vector<float> StripBlocks(int strip)
{
    std::vector<float> blocks(size_t(7) * ORLO_BLOCK_SIZE);
    OrloSim_SetTileStrip(strip);
    if (JIG_TileMeasurement(blocks.data(), 7) != 0)
        blocks.clear();
    return blocks;
}

} // namespace

class TestTile : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<CVCInstrumentTileMeasurement> dialog;
    QList<unsigned long> pauses;

    QTimer *Timer() { return Child<QTimer>(dialog.get(), "waitTimer"); }
    QMessageBox *Busy() { return Child<QMessageBox>(dialog.get(), "busyBox"); }
    QPushButton *Button(const char *name) { return Child<QPushButton>(dialog.get(), name); }
    QString Message() { return Child<QLabel>(dialog.get(), "labelMessage")->text(); }
    QImage Shown()
    {
        return Child<QLabel>(dialog.get(), "labelImage")->pixmap(Qt::ReturnByValue).toImage().convertToFormat(
            QImage::Format_ARGB32);
    }

    // Presses Measurement with the strip the simulator delivers next and lets the wait run out.
    void Measure(int strip)
    {
        OrloSim_SetTileStrip(strip);
        Button("pushMeasurement")->click();
        QVERIFY(Timer()->isActive());
        Timer()->stop();
        dialog->waitTimeout();
    }

    // Both strips measured in one opening.
    void MeasureAll()
    {
        const int result = ModalRunner::Run(dialog.get(), [this](QDialog *) {
            Measure(0);
            Measure(1);
        });
        QCOMPARE(result, 1);
    }

    void VerifyIdle(int step)
    {
        QCOMPARE(Message(), step == 1 ? kStrip1Text : kStrip2Text);
        QCOMPARE(Button("pushBack")->isVisibleTo(dialog.get()), step == 2);
        QVERIFY(Button("pushMeasurement")->isEnabled());
        QVERIFY(Button("cancelButton")->isEnabled());
        QVERIFY(Button("pushBack")->isEnabled());
        QVERIFY(!Timer()->isActive());
        QVERIFY(!Busy()->isVisible());
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        dialog.reset(new CVCInstrumentTileMeasurement(f->model.get(), nullptr));
        pauses.clear();
        dialog->SetPauseFunction([this](unsigned long ms) { pauses << ms; });
    }
    void cleanup()
    {
        dialog.reset();
        f.reset();
    }

    void form_data()
    {
        AddFormObjectRows({
            {"labelMessage", "QLabel"},          {"labelImage", "QLabel"},           {"pushMeasurement", "QPushButton"},
            {"pushBack", "QPushButton"},         {"cancelButton", "QPushButton"},    {"hLayoutFooter", "QHBoxLayout"},
            {"verticalLayout", "QVBoxLayout"},   {"verticalLayout_2", "QVBoxLayout"}, {"message", "QHBoxLayout"}});
    }
    void form()
    {
        VerifyFormObject(dialog.get());
    }

    void formAsBuilt()
    {
        QCOMPARE(dialog->objectName(), QStringLiteral("InstrumentTileMeasurementDialog"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tile Measurement"));
        QVERIFY(dialog->maximumWidth() <= 450 && dialog->maximumHeight() <= 422);
        auto *image = Child<QLabel>(dialog.get(), "labelImage");
        QVERIFY(image->maximumWidth() <= 430 && image->maximumHeight() <= 345);
        QVERIFY(image->hasScaledContents());
        QVERIFY(Child<QLabel>(dialog.get(), "labelMessage")->wordWrap());

        auto *box = Button("pushMeasurement")->parentWidget();
        QVERIFY(box->inherits("QDialogButtonBox"));
        QCOMPARE(Button("cancelButton")->parentWidget(), box);
        QCOMPARE(Button("pushBack")->parentWidget(), box);

        QVERIFY(Timer());
        QVERIFY(Timer()->isSingleShot());
        QCOMPARE(Timer()->interval(), 500);
        QMessageBox *busy = Busy();
        QVERIFY(busy);
        QCOMPARE(busy->text(), QStringLiteral("Now measuring..."));
        QCOMPARE(busy->windowModality(), Qt::ApplicationModal);
        QVERIFY(busy->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY((busy->windowFlags() & Qt::Tool) == Qt::Tool);
        QVERIFY(!busy->isVisible());
    }

    // Cover open: one box, nothing measured, the slot ends; closed: the wait starts and the steps follow.
    void coverThenSteps()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        ScriptedPresenter script;
        script.ExpectWarn(QStringLiteral("Cover is opened."));
        ModalRunner::Run(dialog.get(), [&](QDialog *) {
            VerifyIdle(1);
            QCOMPARE(Shown(), Picture(QStringLiteral(":/CVaremo/Resource/tile1.png")));
            OrloSim_ForceStatus(-1, -1, -1, 101);
            OrloSim_ClearCallLog();
            Button("pushMeasurement")->click();
            QCOMPARE(script.Calls().size(), 1);
            QCOMPARE(CallCount("JIG_TileMeasurement"), 0);
            QCOMPARE(CallCount("Orlo_GetStatus"), 1);
            VerifyIdle(1);

            OrloSim_ForceStatus(-1, -1, -1, -1);
            Button("pushMeasurement")->click();
            QVERIFY(Timer()->isActive());
            QCOMPARE(Timer()->interval(), 500);
            QVERIFY(Busy()->isVisible());
            QVERIFY(Busy()->buttons().isEmpty());
            QVERIFY(!Button("pushMeasurement")->isEnabled());
            QVERIFY(!Button("cancelButton")->isEnabled());
            QCOMPARE(CallCount("JIG_TileMeasurement"), 0); // only when the wait ran out

            Timer()->stop();
            dialog->waitTimeout();
            VerifyIdle(2);
            QCOMPARE(Shown(), Picture(QStringLiteral(":/CVaremo/Resource/tile2.png")));

            // In step 2 Back is held as well while measuring.
            Button("pushMeasurement")->click();
            QVERIFY(!Button("pushBack")->isEnabled());
            Timer()->stop();
            OrloSim_FailNext("JIG_TileMeasurement", 1);
            dialog->waitTimeout();
            VerifyIdle(2);

            Button("pushBack")->click();
            VerifyIdle(1);
            QCOMPARE(Shown(), Picture(QStringLiteral(":/CVaremo/Resource/tile1.png")));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(f->window->errors, QList<int>{39});
    }

    // Strip No.2 ends the dialog with 1: ids in order, reflectances as delivered, L*a*b* under D50, 2 degree.
    void resultsOfBothStrips()
    {
        QCOMPARE(f->ConnectUsb(), 0);
        MeasureAll();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(f->window->errors.isEmpty());
        const TileResultRecord *results = dialog->GetTileResults();
        for (int strip = 0; strip < 2; ++strip) {
            const std::vector<float> blocks = StripBlocks(strip);
            QVERIFY(!blocks.empty());
            for (int t = 0; t < 7; ++t) {
                const TileResultRecord &record = results[strip * 7 + t];
                const float *block = blocks.data() + size_t(t) * ORLO_BLOCK_SIZE;
                QCOMPARE(record.TileId, strip * 7 + t);
                for (int i = 0; i < kReflectanceCount; ++i)
                    QCOMPARE(record.MeasuredReflectance[i], block[i]);
                CalColorRecord lab{};
                lab.type = 0;
                lab.observer = 0;
                lab.illuminant = 2;
                QCOMPARE(SpectrumToColor(block, kReflectanceCount, &lab), 0);
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(qAbs(record.MeasuredLab[c] - lab.values[c]) <= 1e-4f,
                             qPrintable(QStringLiteral("tile %1 component %2: %3 against %4")
                                            .arg(record.TileId).arg(c).arg(record.MeasuredLab[c]).arg(lab.values[c])));
            }
        }
        // Tiles of different colours: the strips were not mixed up.
        QVERIFY(results[0].MeasuredLab[0] > results[13].MeasuredLab[0]);
    }

    // A failed strip keeps its step, re-enables the buttons, reports message 39 with its code and changes none
    // of the strip's earlier results.
    void stripFailures_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("code");
        QTest::newRow("tile measurement fails, strip 1") << 1 << "JIG_TileMeasurement" << 5004;
        QTest::newRow("tile measurement fails, strip 2") << 2 << "JIG_TileMeasurement" << 5004;
        QTest::newRow("colour of tile 0 fails") << 1 << "Orlo_CalculateData" << int(COrloSDKController::kColorFailed);
        QTest::newRow("colour of tile 7 fails") << 2 << "Orlo_CalculateData" << int(COrloSDKController::kColorFailed);
    }
    void stripFailures()
    {
        QFETCH(int, step);
        QFETCH(QString, function);
        QFETCH(int, code);
        QCOMPARE(f->ConnectUsb(), 0);
        MeasureAll();
        if (QTest::currentTestFailed())
            return;
        const Results before = Snapshot(*dialog);
        const int first = step == 1 ? 0 : 7;

        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *) {
            if (step == 2)
                Measure(1); // the other strip's values, so a partial write shows
            OrloSim_FailNext(function.toLatin1().constData(), 7);
            Measure(step == 1 ? 1 : 0);
            QCOMPARE(dialog->LastResult(), code);
            VerifyIdle(step);
        });
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{39});
        QVERIFY(SameRecords(Snapshot(*dialog), before, first, 7));
    }

    // Before any strip: the status must be readable and reach "ready"; a busy scanner is read 50 times with
    // a 100 ms pause between reads, through the injected pause only.
    void statusFailures_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("pauseCount");
        QTest::newRow("busy: 50 reads, 49 pauses, no wall-clock wait") << true << 5004 << 49;
        QTest::newRow("status read fails") << false << int(COrloSDKController::kStatusNotConnected) << 0;
    }
    void statusFailures()
    {
        QFETCH(bool, busy);
        QFETCH(int, code);
        QFETCH(int, pauseCount);
        QCOMPARE(f->ConnectUsb(), 0);
        QElapsedTimer clock;
        ModalRunner::Run(dialog.get(), [&](QDialog *) {
            // Neither ready nor cover open.
            if (busy)
                OrloSim_ForceStatus(-1, -1, -1, 2);
            else
                OrloSim_FailNext("Orlo_GetStatus", 7);
            OrloSim_ClearCallLog();
            clock.start();
            Button("pushMeasurement")->click();
            QVERIFY(clock.elapsed() < 2000);
            QCOMPARE(CallCount("JIG_TileMeasurement"), 0);
            QCOMPARE(dialog->LastResult(), code);
            VerifyIdle(1);
        });
        // A pause between two reads, none after the last.
        QList<unsigned long> expected;
        for (int i = 0; i < pauseCount; ++i)
            expected << 100;
        QCOMPARE(pauses, expected);
        QCOMPARE(f->window->errors, QList<int>{39});
    }

    void notConnected()
    {
        OrloSim_SetDeviceList(nullptr, 0);
        ModalRunner::Run(dialog.get(), [&](QDialog *) {
            OrloSim_ClearCallLog();
            Button("pushMeasurement")->click();
            QVERIFY(dialog->LastResult() != 0);
            QCOMPARE(CallCount("JIG_TileMeasurement"), 0);
            QCOMPARE(CallCount("Orlo_GetStatus"), 0);
            VerifyIdle(1);
        });
        QVERIFY(f->window->errors.contains(4));
    }

    // Cancel returns 0 in either step; the next opening starts at strip No.1.
    void cancel_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("step 1") << 1;
        QTest::newRow("step 2") << 2;
    }
    void cancel()
    {
        QFETCH(int, step);
        QCOMPARE(f->ConnectUsb(), 0);
        int result = ModalRunner::Run(dialog.get(), [&](QDialog *) {
            if (step == 2)
                Measure(0);
            VerifyIdle(step);
            Button("cancelButton")->click();
        });
        QCOMPARE(result, 0);
        result = ModalRunner::Run(dialog.get(), [&](QDialog *) { VerifyIdle(1); });
        QCOMPARE(result, 0);
        QVERIFY(f->window->errors.isEmpty());
    }
};

QTEST_MAIN(TestTile)
#include "test_tile.moc"
