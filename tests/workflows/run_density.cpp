// Density balance with the chart scanner: the save locations set up, the printer's prints of a preset chart
// measured and their results uploaded to the printer, a print whose QR code names no chart, an undecodable code,
// and an upload that fails and ends in a saved file.
#include "densityprint.h"
#include "workflowruns.h"
#include "workflowsteps.h"

#include "app/recordhelpers.h"
#include "app/records.h"
#include "app/storeconventions.h"
#include "chart/vcgraphicspatch.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcmainwindow.h"

#include <OrloSim.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <memory>

#include <signal.h>

namespace {

const QString kTemplate = QStringLiteral("Production Printer Density Balance");
const QString kChart = QStringLiteral("A4_1");
const QString kResultName = QStringLiteral("P0001_Cyan.txt");
const QString kSendingText = QStringLiteral("Measurement Data File Sending...");

template <typename T>
T *Named(QWidget *parent, const char *name)
{
    return parent ? parent->findChild<T *>(QLatin1String(name)) : nullptr;
}

// Answers the first modal dialog that matches, whenever it comes while this object lives: boxes that open later in
// a measurement, or from inside another dialog's answer, are met where they come. The dialog is closed if the answer
// leaves it open.
class ModalWatch
{
public:
    using Match = std::function<bool(QWidget *)>;
    using Answer = std::function<void(QWidget *)>;
    ModalWatch(Match match, Answer answer) : m_match(std::move(match)), m_answer(std::move(answer))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }
    ModalWatch(const ModalWatch &) = delete;
    ModalWatch &operator=(const ModalWatch &) = delete;

    bool Came() const { return m_came; }
    bool Answered() const { return m_answered; }
    QString Problem(const QString &what) const
    {
        if (!m_answered)
            return QStringLiteral("no %1 came").arg(what);
        return m_leftOpen ? QStringLiteral("the %1 stayed open after its answer").arg(what) : QString();
    }

private:
    void Poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (m_came || !modal || !modal->isVisible() || !m_match(modal))
            return;
        m_came = true;
        m_timer.stop();
        QPointer<QWidget> guard(modal);
        m_answer(modal);
        if (guard && guard->isVisible()) {
            m_leftOpen = true;
            EndDialog(guard);
        }
        m_answered = true;
    }

    Match m_match;
    Answer m_answer;
    QTimer m_timer;
    bool m_came = false;
    bool m_answered = false;
    bool m_leftOpen = false;
};

ModalWatch::Match OfClass(const char *className)
{
    return [className](QWidget *modal) { return modal->inherits(className); };
}

ModalWatch::Match WarningBox()
{
    return [](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        return box && box->icon() == QMessageBox::Warning;
    };
}

ModalWatch::Match BoxSaying(const QString &start)
{
    return [start](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        return box && box->text().startsWith(start);
    };
}

void ClickButton(QWidget *dialog, const char *name)
{
    if (auto *button = Named<QAbstractButton>(dialog, name))
        QTest::mouseClick(button, Qt::LeftButton);
}

bool ClickListItem(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list ? list->findItems(text, Qt::MatchExactly) : QList<QListWidgetItem *>();
    if (found.isEmpty())
        return false;
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(found.first()).center());
    return list->currentItem() == found.first();
}

bool ClickTableRow(QTableWidget *table, int row)
{
    QTableWidgetItem *item = table ? table->item(row, 0) : nullptr;
    if (!item)
        return false;
    table->scrollToItem(item);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, table->visualItemRect(item).center());
    return table->currentRow() == row;
}

QStringList TableColumn(QTableWidget *table)
{
    QStringList rows;
    for (int r = 0; table && r < table->rowCount(); ++r)
        rows << (table->item(r, 0) ? table->item(r, 0)->text() : QString());
    return rows;
}

// A click on the item's check box, where the style draws it.
void ClickCheckBox(QTreeWidget *tree, QTreeWidgetItem *item)
{
    tree->scrollToItem(item);
    QStyleOptionViewItem option;
    option.initFrom(tree->viewport());
    // The item's rectangle starts after the indentation, where its first column's contents begin.
    const QRect item0 = tree->visualItemRect(item);
    const int right = tree->columnViewportPosition(0) + tree->columnWidth(0);
    option.rect = QRect(item0.left(), item0.top(), right - item0.left(), item0.height());
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
}

void TypeInto(QWidget *dialog, const char *name, const QString &text)
{
    if (auto *edit = Named<QLineEdit>(dialog, name)) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
}

// The printer's upload page (tests/files/tools/printer_server.py) on the printers' port. It ends by itself 20 s
// after it starts; Pause holds its answers while a picture of the upload is taken.
class PrinterPage
{
public:
    QString Start(const QString &report)
    {
        m_report = report;
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral("python3"), {QStringLiteral(VAREMO_PRINTER_SERVER), QStringLiteral("sentence0"),
                                                    report, QStringLiteral("30091")});
        if (!m_process.waitForStarted(10000))
            return QStringLiteral("the printer page did not start");
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        const QByteArray said = m_process.readLine().trimmed();
        return said == "ready 30091" ? QString() : QStringLiteral("the printer page said \"%1\"").arg(QString(said));
    }
    void Pause(bool paused)
    {
        if (m_process.state() == QProcess::Running)
            ::kill(pid_t(m_process.processId()), paused ? SIGSTOP : SIGCONT);
    }
    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        Pause(false);
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    ~PrinterPage() { Stop(); }

    // The bytes of the uploaded form part of that file name; empty when none came.
    QByteArray Uploaded(const QString &fileName) const
    {
        QFile file(m_report);
        const QJsonArray requests =
            QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()).array();
        for (const QJsonValue &request : requests) {
            if (request.toObject().value(QStringLiteral("method")).toString() != QLatin1String("POST"))
                continue;
            for (const QJsonValue &part : request.toObject().value(QStringLiteral("parts")).toArray()) {
                const QJsonObject fields = part.toObject();
                if (fields.value(QStringLiteral("filename_raw")).toString().contains(QLatin1Char('"') + fileName))
                    return QByteArray::fromBase64(fields.value(QStringLiteral("body_b64")).toString().toLatin1());
            }
        }
        return QByteArray();
    }

private:
    QProcess m_process;
    QString m_report;
};

CVCAdjustDensity *DensityWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<CVCAdjustDensity *>(top))
            return window;
    }
    return nullptr;
}

// The status-bar text that names the connected scanner.
bool ScannerShownConnected(QMainWindow *window)
{
    for (QLabel *label : window->statusBar()->findChildren<QLabel *>()) {
        if (label->text().startsWith(QLatin1String("Orlo")))
            return true;
    }
    return false;
}

QMessageBox *VisibleBox(QWidget *window, const QString &text)
{
    for (QMessageBox *box : window->findChildren<QMessageBox *>()) {
        if (box->isVisible() && box->text() == text)
            return box;
    }
    return nullptr;
}

// Patches the scanner's chart view shows measured, of all its patches.
QPair<int, int> ColouredPatches(QGraphicsView *view)
{
    int coloured = 0;
    int patches = 0;
    for (QGraphicsItem *item : view->scene() ? view->scene()->items() : QList<QGraphicsItem *>()) {
        if (auto *patch = dynamic_cast<CVCGraphicsPatch *>(item)) {
            ++patches;
            coloured += patch->GetDisplay() == 2 ? 1 : 0;
        }
    }
    return {coloured, patches};
}

QStringList ResultFilesInDataFolder()
{
    return QDir(AppDataDir()).entryList({QStringLiteral("*.txt"), QStringLiteral("*.mdz")}, QDir::Files);
}

// The QR text on a print, read by zbarimg as any reader would; empty when none was read. zbarimg takes the page
// as grey through ImageMagick, which mistakes the inks of a CMYK page: it reads an sRGB copy.
QByteArray QrTextOf(const QString &path)
{
    const QString copy = path + QStringLiteral(".png");
    QProcess convert;
    convert.start(QStringLiteral("convert"),
                  {path, QStringLiteral("-colorspace"), QStringLiteral("sRGB"), QStringLiteral("-depth"),
                   QStringLiteral("8"), copy});
    if (!convert.waitForFinished(60000) || convert.exitCode() != 0)
        return QByteArray();
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), copy});
    const bool read = zbar.waitForFinished(60000) && zbar.exitCode() == 0;
    QFile::remove(copy);
    return read ? zbar.readAllStandardOutput().trimmed() : QByteArray();
}

struct ChartGuard {
    ChartDefinitionDataSheets chart;
    ChartGuard() { InitChartDefinitionData(&chart); }
    ~ChartGuard() { ClearChartDefinitionData(&chart); }
};

// A measurement file without its creation time: two files of one print measured twice agree in all the rest.
QList<QByteArray> WithoutCreationTime(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QByteArray &line) { return line.startsWith("CREATED"); }),
                lines.end());
    return lines;
}

int DataRowCount(const QByteArray &bytes)
{
    int rows = 0;
    for (const QByteArray &line : bytes.split('\n'))
        rows += !line.isEmpty() && line.at(0) >= '0' && line.at(0) <= '9' ? 1 : 0;
    return rows;
}

} // namespace

void RunDensity(WorkflowRun &run)
{
    QString documents;
    const QString secondFolder = run.WorkDir() + QStringLiteral("/results_a");
    const QString thirdFolder = run.WorkDir() + QStringLiteral("/results_b");
    QDir().mkpath(secondFolder);
    QDir().mkpath(thirdFolder);
    PrinterPage printer;
    QByteArray uploaded;
    QByteArray savedAfterFailure;
    bool mainBack = false;

    const int ended = run.Start([&](CVCMainWindow *window) {
        documents = UserDocumentsDataDir();
        // ---- Tool > Density balance: template 7 with the scanner, which connects -------------------------------
        run.Step(QStringLiteral("open density balance"));
        std::unique_ptr<ModalWatch> refused;
        std::unique_ptr<ModalWatch> connection;
        ModalWatch select(OfClass("CVCSelectAdjustDensity"), [&](QWidget *dialog) {
            if (!ClickListItem(Named<QListWidget>(dialog, "listTemplate"), kTemplate) ||
                !ClickListItem(Named<QListWidget>(dialog, "listInstrument"), QStringLiteral("Orlo")))
                return;
            // No scanner is stored in a fresh HOME: the connect fails, then the connection settings open and the
            // listed scanner is chosen.
            refused = std::make_unique<ModalWatch>(BoxSaying(QStringLiteral("Failed to connect to Orlo")),
                                                   [](QWidget *box) {
                                                       QTest::mouseClick(
                                                           qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok),
                                                           Qt::LeftButton);
                                                   });
            connection = std::make_unique<ModalWatch>(OfClass("CVCConnectSetting"), [](QWidget *settings) {
                auto *devices = Named<QTreeWidget>(settings, "treeDeviceList");
                if (!devices || devices->topLevelItemCount() == 0)
                    return;
                ClickItem(devices, devices->topLevelItem(0));
                ClickButton(settings, "pushConnect");
            });
            ClickButton(dialog, "okButton");
        });
        WF_DO(run,
              TriggerMenu(window, QStringLiteral("Tool"), QStringLiteral("Density balance/Color density control")));
        WF_DO(run, select.Problem(QStringLiteral("template selection")));
        CVCAdjustDensity *density = DensityWindow();
        WF_VERIFY(run, density && density->isVisible());
        WF_VERIFY(run, !window->isVisible());
        WF_WAIT(run, ScannerShownConnected(density));
        WF_DO(run, refused->Problem(QStringLiteral("connection failure box")));
        WF_DO(run, connection->Problem(QStringLiteral("connection settings")));
        refused.reset();
        connection.reset();
        WF_VERIFY(run, density->windowTitle() == kTemplate + QStringLiteral(" : Orlo"));
        auto *list = Named<QTreeWidget>(density, "treeChartList");
        QTreeWidgetItem *chartItem = list ? TopLevelNamed(list, kChart) : nullptr;
        WF_VERIFY(run, chartItem && chartItem->childCount() == 0);

        // ---- Settings > Measurement Data Save: three folders, the middle one deleted --------------------------
        run.Step(QStringLiteral("save folders"));
        QStringList rowsAfterDelete;
        QString folderProblem;
        ModalWatch folders(OfClass("CVCMeasureDataSave"), [&](QWidget *dialog) {
            auto *table = Named<QTableWidget>(dialog, "tableSaveList");
            for (const QString &folder : {secondFolder, thirdFolder}) {
                ModalWatch choose(OfClass("QFileDialog"), [&](QWidget *files) {
                    folderProblem += AnswerFileDialog(files, folder);
                });
                ClickButton(dialog, "pushAdd");
                folderProblem += choose.Problem(QStringLiteral("folder dialog"));
            }
            if (TableColumn(table) != QStringList{documents, secondFolder, thirdFolder}) {
                folderProblem += QStringLiteral("folders listed: ") + TableColumn(table).join(QLatin1Char('|'));
                return;
            }
            if (!ClickTableRow(table, 1))
                folderProblem += QStringLiteral("the middle folder could not be chosen");
            ClickButton(dialog, "pushDelete");
            rowsAfterDelete = TableColumn(table);
            ClickButton(dialog, "okButton");
        });
        WF_DO(run, TriggerMenu(density, QStringLiteral("Settings"), QStringLiteral("Measurement Data Save")));
        WF_DO(run, folderProblem);
        WF_DO(run, folders.Problem(QStringLiteral("save settings")));
        WF_VERIFY(run, rowsAfterDelete == (QStringList{documents, thirdFolder}));

        // ---- Reopened: the folders packed in order; the printer entered ----------------------------------------
        run.Step(QStringLiteral("printer entry"));
        QStringList reopenedRows;
        QStringList printerRow;
        QString shot;
        ModalWatch again(OfClass("CVCMeasureDataSave"), [&](QWidget *dialog) {
            auto *table = Named<QTableWidget>(dialog, "tableSaveList");
            reopenedRows = TableColumn(table);
            shot = run.Shoot(QStringLiteral("density_01_save_settings"));
            // With no printer stored, choosing "Printer" opens the printer entry at once.
            ModalWatch entry(OfClass("CVCPrinterAdd"), [](QWidget *add) {
                TypeInto(add, "editPrinterName", QStringLiteral("Local"));
                TypeInto(add, "editPassword", QStringLiteral("pw"));
                TypeInto(add, "editIPAddress", QStringLiteral("127.0.0.1"));
                TypeInto(add, "editPort", QStringLiteral("30091"));
                ClickButton(add, "pushOK");
            });
            ClickButton(dialog, "radioPrinter");
            if (!entry.Answered())
                return;
            for (int c = 0; table && c < table->columnCount() && table->rowCount() == 1; ++c)
                printerRow << (table->item(0, c) ? table->item(0, c)->text() : QString());
            ClickButton(dialog, "okButton");
        });
        WF_DO(run, TriggerMenu(density, QStringLiteral("Settings"), QStringLiteral("Measurement Data Save")));
        WF_DO(run, again.Problem(QStringLiteral("save settings")));
        WF_DO(run, shot);
        WF_VERIFY(run, reopenedRows == (QStringList{documents, thirdFolder}));
        WF_VERIFY(run, printerRow == (QStringList{QStringLiteral("Local"), QStringLiteral("127.0.0.1"),
                                                  QStringLiteral("30091")}));

        // ---- "A4_1" ticked: the scanner takes its prints as the chart's job ------------------------------------
        run.Step(QStringLiteral("tick chart"));
        ClickCheckBox(list, chartItem);
        WF_VERIFY(run, chartItem->checkState(0) == Qt::Checked);

        // ---- The printer's print with "P0001 127.0.0.1": measured and uploaded ----------------------------------
        run.Step(QStringLiteral("print with printer address"));
        ChartGuard preset;
        WF_DO(run, ReadDensityChartNamed(kChart, &preset.chart));
        QString printed;
        WF_DO(run, PrintDensityChart(preset.chart, {"P0001 127.0.0.1"}, run.WorkDir() + QStringLiteral("/print.tif"),
                                     &printed));
        const QByteArray code = QrTextOf(printed);
        WF_DO(run, code.startsWith("Orlo:0000A4_1:") && code.endsWith(":P0001 127.0.0.1")
                       ? QString()
                       : QStringLiteral("the print's QR code reads \"%1\"").arg(QString::fromLatin1(code)));
        auto *progress = Named<QProgressBar>(density, "progressMeasurement");
        WF_DO(run, printer.Start(run.OutDir() + QStringLiteral("/printer_server.json")));
        // The page answers only after the picture of the upload.
        if (run.ProgramMode())
            printer.Pause(true);
        // Half-way through the sheet, as the window shows it.
        auto *view = Named<QGraphicsView>(density, "graphicsViewOrloChartLayout");
        QPair<int, int> halfColoured;
        QString measuringShot = QStringLiteral("the sheet was never half measured");
        const QMetaObject::Connection half =
            QObject::connect(progress, &QProgressBar::valueChanged, density, [&](int percent) {
                if (percent < 50 || halfColoured.second > 0)
                    return;
                halfColoured = ColouredPatches(view);
                measuringShot = run.Shoot(QStringLiteral("density_02_measuring"));
            });
        WF_DO(run, run.FeedSheet(printed));
        WF_WAIT(run, chartItem->childCount() == 1 && VisibleBox(density, kSendingText));
        QObject::disconnect(half);
        WF_DO(run, measuringShot);
        WF_VERIFY(run, halfColoured.first > 0 && halfColoured.first < halfColoured.second);
        if (run.ProgramMode()) {
            WF_VERIFY(run, QTest::qWaitForWindowExposed(VisibleBox(density, kSendingText), run.WaitMs()));
            WF_DO(run, run.Shoot(QStringLiteral("density_03_sending")));
            printer.Pause(false);
        }
        WF_WAIT(run, !VisibleBox(density, kSendingText) && !printer.Uploaded(kResultName).isEmpty());
        WF_WAIT(run, list->isEnabled());
        uploaded = printer.Uploaded(kResultName);
        WF_VERIFY(run, !QFile::exists(AppDataDir() + QLatin1Char('/') + kResultName));

        // ---- A print whose code names no chart and no printer: the closest chart, then the save dialog ----------
        run.Step(QStringLiteral("unmatched code"));
        ChartGuard unknown;
        CopyChartDefinitionData(&unknown.chart, preset.chart);
        unknown.chart.ChartName = QStringLiteral("NOCHART");
        // The print ID's first and tenth characters with the code's last one name the preset by its barcode entry.
        WF_DO(run, PrintDensityChart(unknown.chart, {"A000000001", "0115"},
                                     run.WorkDir() + QStringLiteral("/unknown.tif"), &printed));
        const QByteArray unknownCode = QrTextOf(printed);
        WF_DO(run, unknownCode.startsWith("Orlo:0115NOCHART:")
                       ? QString()
                       : QStringLiteral("the print's QR code reads \"%1\"").arg(QString::fromLatin1(unknownCode)));
        QString questionShot;
        std::unique_ptr<ModalWatch> cancelSave;
        ModalWatch question(BoxSaying(QStringLiteral("There is no chart definition data matching QR code")),
                            [&](QWidget *modal) {
                                questionShot = run.Shoot(QStringLiteral("density_04_qr_unmatched"));
                                cancelSave = std::make_unique<ModalWatch>(OfClass("CVCMeasureDataSave"),
                                                                          [](QWidget *save) {
                                                                              ClickButton(save, "cancelButton");
                                                                          });
                                auto *box = qobject_cast<QMessageBox *>(modal);
                                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                            });
        WF_DO(run, run.FeedSheet(printed));
        WF_WAIT(run, question.Answered() && cancelSave && cancelSave->Answered());
        WF_DO(run, questionShot);
        WF_DO(run, cancelSave->Problem(QStringLiteral("save dialog")));
        WF_WAIT(run, list->isEnabled());
        WF_VERIFY(run, chartItem->childCount() == 2);
        WF_VERIFY(run, ResultFilesInDataFolder().isEmpty());

        // ---- An undecodable code: warning, the run stopped ---------------------------------------------------------
        run.Step(QStringLiteral("undecodable code"));
        ModalWatch undecodable(BoxSaying(QStringLiteral("Failed to decode QR code normally")), [](QWidget *modal) {
            QTest::mouseClick(qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Cancel), Qt::LeftButton);
        });
        OrloSim_SetCaptureFail(1);
        WF_DO(run, run.FeedSheet(printed));
        WF_WAIT(run, undecodable.Answered());
        OrloSim_SetCaptureFail(0);
        WF_DO(run, undecodable.Problem(QStringLiteral("decoding warning")));
        WF_WAIT(run, list->isEnabled());
        WF_VERIFY(run, chartItem->childCount() == 2);

        // ---- The printer is gone: the upload fails, the result is saved into the first folder ------------------
        run.Step(QStringLiteral("failed upload"));
        printer.Stop();
        WF_DO(run, PrintDensityChart(preset.chart, {"P0001 127.0.0.1"}, run.WorkDir() + QStringLiteral("/print.tif"),
                                     &printed));
        QString failedShot;
        QString saveProblem;
        std::unique_ptr<ModalWatch> saveInFolder;
        QString failedText;
        ModalWatch failed(WarningBox(), [&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            failedText = box->text();
            failedShot = run.Shoot(QStringLiteral("density_05_upload_failed"));
            saveInFolder = std::make_unique<ModalWatch>(OfClass("CVCMeasureDataSave"), [&](QWidget *save) {
                ClickButton(save, "radioFolder");
                auto *table = Named<QTableWidget>(save, "tableSaveList");
                if (TableColumn(table).value(0) != documents || !ClickTableRow(table, 0)) {
                    saveProblem = QStringLiteral("the save dialog lists ") + TableColumn(table).join(QLatin1Char('|'));
                    return;
                }
                ClickButton(save, "pushSave");
            });
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        WF_DO(run, run.FeedSheet(printed));
        WF_WAIT(run, failed.Answered() && saveInFolder && saveInFolder->Answered());
        WF_DO(run, failedShot);
        WF_VERIFY(run, !failedText.isEmpty());
        WF_DO(run, saveProblem);
        WF_DO(run, saveInFolder->Problem(QStringLiteral("save dialog")));
        WF_WAIT(run, list->isEnabled());
        WF_VERIFY(run, chartItem->childCount() == 3);
        WF_VERIFY(run, ResultFilesInDataFolder().isEmpty());
        QFile saved(documents + QLatin1Char('/') + kResultName);
        WF_VERIFY(run, saved.open(QIODevice::ReadOnly));
        savedAfterFailure = saved.readAll();

        // ---- Closed: the main window is back --------------------------------------------------------------------
        run.Step(QStringLiteral("close"));
        WF_DO(run, TriggerMenu(density, QStringLiteral("File"), QStringLiteral("Close")));
        WF_VERIFY(run, !density->isVisible());
        QTreeWidgetItem *current = Named<QTreeWidget>(window, "treeRecognition")->currentItem();
        mainBack = window->isVisible() && current && current->text(0) == QLatin1String("<Freeform Chart>");

        run.Step(QStringLiteral("exit"));
        WF_DO(run, TriggerMenu(window, QStringLiteral("File"), QStringLiteral("Exit")));
    });
    run.Step(QStringLiteral("program end"));
    WF_VERIFY(run, run.WalkRan());
    WF_VERIFY(run, ended == 0);
    WF_VERIFY(run, mainBack);

    // The printer got the result of the first print; the file saved after the failed upload is the same print's
    // result from the save dialog's own writer.
    run.Step(QStringLiteral("upload received"));
    WF_VERIFY(run, !uploaded.isEmpty());
    WF_VERIFY(run, DataRowCount(uploaded) == 506);
    WF_VERIFY(run, WithoutCreationTime(uploaded) == WithoutCreationTime(savedAfterFailure));
}
