// A printed page measured without a chart definition: the chart scanner finds the patches itself, each sheet
// becomes a recognition measurement, and two of them are registered as one new chart definition.
#include "workflowruns.h"
#include "workflowsteps.h"

#include "app/documentfiles.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "mainwindow/vcmainwindow.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QTreeWidget>

#include <cmath>

namespace {

const QString kFreeform = QStringLiteral("<Freeform Chart>");
const QString kChartName = QStringLiteral("chart_list");
const QString kCsvFilter = QStringLiteral("csv File (*.csv)");
const QString kTiffFilter = QStringLiteral("tiff File (*.tiff)");
const QColor kIncompleteColour(239, 182, 197);

QTreeWidget *Tree(CVCMainWindow *window, const char *name)
{
    return window->findChild<QTreeWidget *>(QLatin1String(name));
}

int ItemId(const QTreeWidgetItem *item)
{
    bool ok = false;
    const int id = item->data(0, Qt::UserRole).toInt(&ok);
    return ok ? id : -1;
}

double Luma(double r, double g, double b)
{
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
}

// The patches of the CSV chart the scanner can tell from white paper, in the chart's order, and which of them is
// the lightest.
struct PrintedPatches {
    int count = 0;
    int lightest = -1;
};

PrintedPatches ReadPrintedPatches(const QString &csvPath)
{
    PrintedPatches printed;
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return printed;
    double lightest = -1;
    file.readLine(); // the header
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() != 4 || (fields[1] == "255" && fields[2] == "255" && fields[3] == "255"))
            continue;
        const double luma = Luma(fields[1].toInt(), fields[2].toInt(), fields[3].toInt());
        if (luma > lightest) {
            lightest = luma;
            printed.lightest = printed.count;
        }
        ++printed.count;
    }
    return printed;
}

int LightestRecord(const MeasurementData &measured)
{
    int lightest = -1;
    for (int i = 0; i < measured.RecordCount; ++i) {
        const float *rgb = measured.Records[i].ColorValue;
        const float *best = lightest >= 0 ? measured.Records[lightest].ColorValue : nullptr;
        if (!best || Luma(rgb[0], rgb[1], rgb[2]) > Luma(best[0], best[1], best[2]))
            lightest = i;
    }
    return lightest;
}

// A box nobody expects: its text is kept and it is closed, so that the walk fails instead of blocking.
class UnexpectedBox
{
public:
    UnexpectedBox()
        : m_answer([this](QWidget *modal) {
              auto *box = qobject_cast<QMessageBox *>(modal);
              m_text = box ? box->text() : modal->windowTitle();
          })
    {
    }
    QString Problem() const
    {
        return m_answer.Came() ? QStringLiteral("unexpected box \"%1\"").arg(m_text) : QString();
    }

private:
    QString m_text;
    ModalAnswer m_answer;
};

bool HasBackground(const QTreeWidgetItem *item, const QColor &colour)
{
    for (int column = 0; column < 4; ++column) {
        const QBrush brush = item->background(column);
        if (colour.isValid() ? brush.style() != Qt::SolidPattern || brush.color() != colour
                             : brush.style() != Qt::NoBrush)
            return false;
    }
    return true;
}

// The documents as the store left them on disk.
QString ChartFolder()
{
    return AppDataDir() + QStringLiteral("/Chart");
}

QString Numbered(int number)
{
    return QStringLiteral("%1").arg(number, 5, 10, QLatin1Char('0'));
}

struct ChartOnDisk {
    ChartDesigData record;
    ChartDefinitionDataSheets chart;
    ~ChartOnDisk() { ClearChartDefinitionData(&chart); }
};

struct RecognitionOnDisk {
    ChartRecogData record;
    ChartDefinitionDataSheets chart;
    MeasurementDataSheets measurement;
    ~RecognitionOnDisk()
    {
        ClearChartDefinitionData(&chart);
        ClearMeasureFileData(&measurement);
    }
};

QString ReadChart(int id, ChartOnDisk *disk)
{
    const QString path = ChartFolder() + QLatin1Char('/') + Numbered(id) + QStringLiteral(".vrchart");
    const int result = ReadChartFile(&disk->record, &disk->chart, path);
    return result == 0 ? QString() : QStringLiteral("chart file %1 not read (%2)").arg(path).arg(result);
}

// Recognition measurements live in the chart folder numbered 0 of the data group.
QString ReadRecognition(int id, RecognitionOnDisk *disk)
{
    const QString file = QStringLiteral("/00000/") + Numbered(id) + QStringLiteral(".vrmeas");
    for (const QString &group : QDir(ChartFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = ChartFolder() + QLatin1Char('/') + group + file;
        if (!QFile::exists(path))
            continue;
        const int result = ReadRecognitionFile(&disk->record, &disk->chart, &disk->measurement, path);
        return result == 0 ? QString() : QStringLiteral("recognition file %1 not read (%2)").arg(path).arg(result);
    }
    return QStringLiteral("no recognition file for id %1").arg(id);
}

// A registered page carries the recognised layout and, as defined colours, the colours measured on that sheet.
QString PageMatchesRecognition(const ChartDefinitionData::Sheet &page, const RecognitionOnDisk &recognition,
                               int firstId)
{
    const ChartDefinitionData::Sheet &recognised = recognition.chart.Sheets[0];
    const MeasurementData &measured = recognition.measurement.Sheets[0];
    if (page.PatchCount != recognised.PatchCount || page.PatchCount != measured.RecordCount)
        return QStringLiteral("%1 patches for %2 recognised and %3 measured")
            .arg(page.PatchCount)
            .arg(recognised.PatchCount)
            .arg(measured.RecordCount);
    if (page.AreaCount != recognised.AreaCount || page.Width != recognised.Width || page.Height != recognised.Height)
        return QStringLiteral("the page's layout is not the recognised one");
    for (int i = 0; i < page.PatchCount; ++i) {
        const ChartDefinitionData::PatchColor &patch = page.Patches[i];
        if (patch.ID != firstId + i || patch.Area != recognised.Patches[i].Area ||
            patch.Row != recognised.Patches[i].Row || patch.Column != recognised.Patches[i].Column)
            return QStringLiteral("patch %1 is not the recognised patch").arg(i);
        for (int c = 0; c < 3; ++c) {
            const float expected = qBound(0.0f, measured.Records[i].ColorValue[c], 255.0f);
            if (std::fabs(patch.ColorValue[c] - expected) > 0.5f)
                return QStringLiteral("patch %1 has %2 in channel %3, measured %4")
                    .arg(i)
                    .arg(double(patch.ColorValue[c]))
                    .arg(c)
                    .arg(double(expected));
        }
    }
    return QString();
}

} // namespace

void RunFreeform(WorkflowRun &run)
{
    const QString csv = QStringLiteral(VAREMO_MAINWINDOW_DATA "/chart_list.csv");
    const PrintedPatches printed = ReadPrintedPatches(csv);
    const int printedPatches = printed.count;
    const QString tiff = run.WorkDir() + QStringLiteral("/freeform_page.tiff");
    const int result = run.Start([&](CVCMainWindow *window) {
        QTreeWidget *charts = Tree(window, "treeDesignation");
        QTreeWidget *recognition = Tree(window, "treeRecognition");
        WF_VERIFY(run, charts && recognition);
        WF_VERIFY(run, printedPatches == 11 && printed.lightest == 2);

        run.Step(QStringLiteral("open the CSV chart"));
        {
            QString problem;
            ModalAnswer open([&](QWidget *dialog) { problem = AnswerFileDialog(dialog, csv, kCsvFilter); });
            WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Open Chart File")));
            WF_DO(run, problem);
            WF_DO(run, open.Problem());
        }
        WF_WAIT(run, TopLevelNamed(charts, kChartName));
        QTreeWidgetItem *chart = TopLevelNamed(charts, kChartName);
        WF_VERIFY(run, charts->topLevelItemCount() == 1);
        WF_VERIFY(run, chart->text(2) == QLatin1String("12"));
        ChartOnDisk imported;
        WF_DO(run, ReadChart(ItemId(chart), &imported));
        WF_VERIFY(run, imported.chart.SheetCount == 1 && imported.chart.Barcode == 0);

        run.Step(QStringLiteral("save the page as TIFF"));
        ClickItem(charts, chart);
        WF_VERIFY(run, charts->currentItem() == chart);
        {
            QString problem;
            ModalAnswer save([&](QWidget *dialog) { problem = AnswerFileDialog(dialog, tiff, kTiffFilter); });
            WF_DO(run, ContextMenuEntry(charts, chart, QStringLiteral("Save Tiff image data")));
            WF_DO(run, problem);
            WF_DO(run, save.Problem());
        }
        const QStringList written =
            QDir(run.WorkDir()).entryList({QStringLiteral("freeform_page*.tiff")}, QDir::Files, QDir::Name);
        WF_VERIFY(run, written.size() == 1);
        const QString page = run.WorkDir() + QLatin1Char('/') + written.first();
        WF_VERIFY(run, !QImage(page).isNull());

        run.Step(QStringLiteral("no chart checked, freeform current"));
        for (int i = 0; i < charts->topLevelItemCount(); ++i)
            WF_VERIFY(run, charts->topLevelItem(i)->checkState(0) == Qt::Unchecked);
        QTreeWidgetItem *freeform = recognition->topLevelItem(0);
        WF_VERIFY(run, freeform && freeform->text(0) == kFreeform);
        ClickItem(recognition, freeform);
        WF_VERIFY(run, recognition->currentItem() == freeform);
        WF_VERIFY(run, !charts->currentItem());

        run.Step(QStringLiteral("connect"));
        WF_DO(run, ConnectScanner(run, window));

        for (int sheet = 1; sheet <= 2; ++sheet) {
            run.Step(QStringLiteral("sheet %1 recognised").arg(sheet));
            UnexpectedBox box;
            WF_DO(run, run.FeedSheet(page));
            WF_WAIT(run, recognition->topLevelItemCount() == 1 + sheet || box.Problem().size());
            WF_DO(run, box.Problem());
            // The new item is the current one.
            WF_VERIFY(run, recognition->currentItem() == recognition->topLevelItem(sheet));
        }
        WF_DO(run, run.Shoot(QStringLiteral("freeform_01_recognised")));

        run.Step(QStringLiteral("recognition items"));
        QList<QTreeWidgetItem *> measured{recognition->topLevelItem(1), recognition->topLevelItem(2)};
        QList<int> recognitionIds;
        for (QTreeWidgetItem *item : measured) {
            recognitionIds << ItemId(item);
            WF_VERIFY(run, recognitionIds.last() >= 1);
            RecognitionOnDisk stored;
            WF_DO(run, ReadRecognition(recognitionIds.last(), &stored));
            WF_VERIFY(run, stored.measurement.RecordCount == printedPatches);
            // Measured in the printed order: the lightest ink is where the chart put it.
            WF_VERIFY(run, LightestRecord(stored.measurement.Sheets[0]) == printed.lightest);
            WF_VERIFY(run, item->text(2) == QString::number(stored.measurement.RecordCount));
            const bool incomplete =
                stored.measurement.RecordCount == 0 || stored.chart.ChartPatchCount != stored.measurement.RecordCount;
            WF_VERIFY(run, HasBackground(item, incomplete ? kIncompleteColour : QColor()));
        }
        WF_VERIFY(run, recognitionIds[0] != recognitionIds[1]);

        run.Step(QStringLiteral("register both"));
        ClickItem(recognition, measured[0]);
        ClickItem(recognition, measured[1], Qt::ControlModifier);
        WF_VERIFY(run, recognition->selectedItems().size() == 2);
        {
            UnexpectedBox box;
            WF_DO(run, ContextMenuEntry(recognition, measured[1], QStringLiteral("Register Chart")));
            WF_WAIT(run, charts->topLevelItemCount() == 2 || box.Problem().size());
            WF_DO(run, box.Problem());
        }
        QTreeWidgetItem *registered = charts->topLevelItem(1);
        WF_VERIFY(run, charts->currentItem() == registered);
        WF_VERIFY(run, registered->checkState(0) == Qt::Unchecked);
        WF_VERIFY(run, registered->text(2) == QString::number(2 * printedPatches));
        WF_DO(run, run.Shoot(QStringLiteral("freeform_02_registered")));

        run.Step(QStringLiteral("the registered chart on disk"));
        ChartOnDisk made;
        WF_DO(run, ReadChart(ItemId(registered), &made));
        WF_VERIFY(run, made.record.ChartName == registered->text(0));
        WF_VERIFY(run, made.chart.SheetCount == 2);
        WF_VERIFY(run, made.chart.ChartPatchCount == 2 * printedPatches);
        WF_VERIFY(run, made.chart.Recog == ChartDefinitionData::RecogCombine);
        for (int p = 0; p < 2; ++p) {
            RecognitionOnDisk source;
            WF_DO(run, ReadRecognition(recognitionIds[p], &source));
            WF_DO(run, PageMatchesRecognition(made.chart.Sheets[p], source, 1 + p * printedPatches));
            // The scanner saw the whole printed page.
            const ChartDefinitionData::Sheet &printedPage = imported.chart.Sheets[0];
            WF_VERIFY(run, std::abs(made.chart.Sheets[p].Width - printedPage.Width) <= 50);
            WF_VERIFY(run, std::abs(made.chart.Sheets[p].Height - printedPage.Height) <= 50);
        }

        run.Step(QStringLiteral("exit"));
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
    });
    run.Step(QStringLiteral("program ended"));
    WF_VERIFY(run, run.WalkRan());
    WF_VERIFY(run, result == 0);
}
