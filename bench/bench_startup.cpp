// The program's start against an empty window: each iteration starts two children of this binary under the same
// Qt platform (offscreen unless QT_QPA_PLATFORM says otherwise): an empty QMainWindow shown and exposed, and the
// whole program through RunApplication on a full document store (600 charts of one 10 x 10 page, each with 10
// one-page measurements of 100 records). The parent times each child from its start to the line it reports; each
// child prints its peak resident memory (VmHWM) before it exits. Run by hand from a Release build:
//   build/release/bin/bench_startup [--data HOME]
// --data names the HOME folder of the runs, default bench-data/startup in the build folder above the binary's
// folder (build/release/bench-data/startup). The store is written once, after a first start of the program in that
// HOME, through the model and its document store (a few minutes: every file is synced), and reused by later runs.

#include "app/documentdata.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/startup.h"
#include "files/outputimage.h"
#include "mainwindow/vcmainwindow.h"
#include "qtsingleapplication.h"
#include "tests/app/modelaccess.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCharts = CDocumentData::kChartStoreLimit;
constexpr int kMeasuresPerChart = 10;
constexpr int kRows = 10;
constexpr int kColumns = 10;
constexpr int kPatches = kRows * kColumns;
// A child that has not reported by then is stuck (a box nobody answers, say): it is killed and the run fails.
constexpr int kChildTimeoutMs = 300 * 1000;
constexpr int kSeedTimeoutMs = 60 * 60 * 1000;
constexpr const char *kSeededMarker = "bench-seeded";

// ---- children -------------------------------------------------------------------------------------------------

long PeakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void Report(const char *line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ReportPeak()
{
    std::printf("peak %ld\n", PeakKilobytes());
    std::fflush(stdout);
}

bool Exposed(QWidget *window)
{
    return window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed();
}

// Re-posts itself with a zero-time timer until the check returns true; no clock is waited on.
void PollUntil(const std::function<bool()> &check)
{
    QTimer::singleShot(0, qApp, [check] {
        if (!check())
            PollUntil(check);
    });
}

int EmptyWindowChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    PollUntil([&window] {
        if (!Exposed(&window))
            return false;
        ReportPeak();
        QCoreApplication::exit(0);
        return true;
    });
    return app.exec();
}

CVCMainWindow *FindMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<CVCMainWindow *>(widget))
            return window;
    return nullptr;
}

bool DataListComplete(CVCMainWindow *window)
{
    auto *tree = window->findChild<QTreeWidget *>(QStringLiteral("treeDesignation"));
    if (!tree || tree->topLevelItemCount() != kCharts)
        return false;
    int measures = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        measures += tree->topLevelItem(i)->childCount();
    return measures == kCharts * kMeasuresPerChart;
}

void PrintStartupError(int message, const ErrorMessageRecord &record)
{
    std::fprintf(stderr, "bench_startup: the program did not start: message %d: %s\n", message,
                 qPrintable(record.text));
}

// The program as main.cpp starts it. "first" ends the run as soon as the event loop runs (the first-run work is
// done by then); "varemo" reports "list" once the data list is complete and "shown" once the main window is
// exposed, then the peak, and ends the run.
int ProgramChild(int argc, char **argv, bool firstStart)
{
    COutputImage::InitializeImageLibrary(argv[0]);
    QtSingleApplication app(QStringLiteral("Varemo"), argc, argv);
    if (app.isRunning()) {
        std::fprintf(stderr, "bench_startup: another Varemo runs on this HOME\n");
        return 3;
    }
    bool listed = false, shown = false;
    const StartupStepHook hook = [&](int step) {
        if (step != kStepEventLoop)
            return;
        if (firstStart) {
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            return;
        }
        PollUntil([&] {
            CVCMainWindow *window = FindMainWindow();
            if (!window)
                return false;
            if (!listed && DataListComplete(window)) {
                listed = true;
                Report("list");
            }
            if (!shown && Exposed(window)) {
                shown = true;
                Report("shown");
            }
            if (!listed || !shown)
                return false;
            ReportPeak();
            QCoreApplication::exit(0);
            return true;
        });
    };
    return RunApplication(app, PrintStartupError, hook);
}

// One page with one 10 x 10 RGB area, 3 mm patches on a 4 mm pitch.
void MakeChart(ChartDefinitionDataSheets *chart, int number)
{
    InitChartDefinitionData(chart);
    chart->ChartName = QStringLiteral("Startup %1").arg(number, 3, 10, QLatin1Char('0'));
    chart->Recog = 1;
    chart->Diameter = 1;
    chart->SheetCount = 1;
    chart->Sheets = NewChartSheets(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    sheet.Width = 1000 + kColumns * 400 + 1000;
    sheet.Height = 1000 + kRows * 400 + 1000;
    sheet.AreaCount = 1;
    sheet.Areas[0] = {kRows, kColumns, kPatches};
    sheet.Placements[0] = {1000, 1000, 300, 300, 400, 400};
    sheet.PatchCount = kPatches;
    sheet.Patches = NewChartPatches(size_t(kPatches));
    for (int k = 0; k < kPatches; ++k) {
        const float v = float((k * 7 + number) % 256);
        sheet.Patches[k] = {k + 1, 0, k / kColumns, k % kColumns, 1, {v, 255.0f - v, 128.0f}};
    }
    chart->ChartPatchCount = kPatches;
}

// A record with a result block for every patch of the page; no page image.
void MakeMeasurement(MeasurementDataSheets *measurement, const ChartDefinitionData::Sheet &sheet, int number)
{
    InitMeasureFileData(measurement);
    measurement->SerialNumber = QStringLiteral("ORS00001");
    measurement->Diameter = 1;
    measurement->SheetCount = 1;
    measurement->Sheets = NewMeasurementPages(1);
    MeasurementData &page = measurement->Sheets[0];
    page.PageNumber = 1;
    page.RecordCount = page.MeasuredCount = sheet.PatchCount;
    page.Records = NewMeasurementRecords(size_t(sheet.PatchCount));
    const ChartDefinitionData::AreaPlacement &place = sheet.Placements[0];
    for (int k = 0; k < sheet.PatchCount; ++k) {
        const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
        MeasurementData::PatchData &record = page.Records[k];
        record.ID = patch.ID;
        record.Area = patch.Area;
        record.Row = patch.Row;
        record.Column = patch.Column;
        record.X = place.LeftTopX + patch.Column * place.PatchWidthGap + place.PatchWidth / 2;
        record.Y = place.LeftTopY + patch.Row * place.PatchHeightGap + place.PatchHeight / 2;
        record.ColorFormat = ChartDefinitionData::FormatRGB;
        std::copy(patch.ColorValue, patch.ColorValue + 3, record.ColorValue);
        std::fill(record.Values, record.Values + kInstrumentValueCount, 0.1f + 0.001f * float((k + number) % 500));
    }
}

// Tops the store up to 600 charts with 10 measurements each, through the model's document store; a seeding cut
// short is completed by the next run.
int SeedChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    QCoreApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));
    QStringList arguments{QStringLiteral("Varemo")};
    CModel model(nullptr, &arguments);
    if (model.Initialize() != 0) {
        std::fprintf(stderr, "bench_startup: the model did not start in this HOME\n");
        return 1;
    }
    // The timed starts must not connect the simulated scanner.
    Setting::UserEnvironment environment = *model.GetUserEnvironment();
    environment.AutoConnect = false;
    bool ok = model.SetUserEnvironment(environment) == 0;

    CDocumentData *store = CModelAccess::DocumentData(model);
    auto measuresOf = [store](int chartId) {
        const QList<ChartDesigMeasureData> *measures = store->GetDesignationMeasures();
        return int(std::count_if(measures->begin(), measures->end(),
                                 [chartId](const ChartDesigMeasureData &m) { return m.ChartID == chartId; }));
    };
    for (int n = 0; ok && n < kCharts; ++n) {
        ChartDefinitionDataSheets chart;
        int chartId = 0;
        if (n < store->GetDesignationCharts()->size()) {
            chartId = store->GetDesignationCharts()->at(n).ID;
            ok = store->ReadDesignationChart(chartId, &chart) == kDocumentOk && chart.SheetCount == 1;
        } else {
            MakeChart(&chart, n + 1);
            ok = store->CreateDesignationChart(&chart, false) == kDocumentOk;
            chartId = ok ? store->GetDesignationCharts()->last().ID : 0;
        }
        for (int m = ok ? measuresOf(chartId) : kMeasuresPerChart; ok && m < kMeasuresPerChart; ++m) {
            MeasurementDataSheets measurement;
            MakeMeasurement(&measurement, chart.Sheets[0], n * kMeasuresPerChart + m);
            int measureId = 0;
            ok = store->CreateDesignationMeasure(&measureId, chartId, &measurement) == kDocumentOk;
            ClearMeasureFileData(&measurement);
        }
        ClearChartDefinitionData(&chart);
        if ((n + 1) % 100 == 0)
            std::fprintf(stderr, "bench_startup: %d charts written\n", n + 1);
    }
    ok = ok && store->GetDesignationCharts()->size() == kCharts &&
         store->GetDesignationMeasures()->size() == kCharts * kMeasuresPerChart;
    ok = model.Terminate() == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "bench_startup: the store could not be written\n");
    return ok ? 0 : 1;
}

// ---- parent ---------------------------------------------------------------------------------------------------

std::string SelfPath()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, size_t(length)) : std::string();
}

// The children's environment: this one with HOME and the XDG folders inside the data folder.
std::vector<std::string> ChildEnvironment(const QString &home)
{
    const std::string h = QFile::encodeName(home).toStdString();
    const std::vector<std::pair<std::string, std::string>> set = {
        {"HOME", h},
        {"XDG_DATA_HOME", h + "/.local/share"},
        {"XDG_CONFIG_HOME", h + "/.config"},
        {"XDG_CACHE_HOME", h + "/.cache"},
    };
    std::vector<std::string> result;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        const bool replaced = std::any_of(set.begin(), set.end(), [&entry](const auto &kv) {
            return entry.compare(0, kv.first.size() + 1, kv.first + "=") == 0;
        });
        if (!replaced)
            result.push_back(entry);
    }
    for (const auto &kv : set)
        result.push_back(kv.first + "=" + kv.second);
    return result;
}

struct ChildLine {
    std::string text;
    double ms = 0.0;
};

// Starts this binary as the child `mode` and collects its stdout lines with the milliseconds from the start to
// each line's arrival. False when the child could not start, ran out of time or ended with a non-zero code.
bool RunChild(const char *mode, const std::vector<std::string> &environment, int timeoutMs,
              std::vector<ChildLine> *lines)
{
    const std::string self = SelfPath();
    std::vector<char *> env;
    for (const std::string &e : environment)
        env.push_back(const_cast<char *>(e.c_str()));
    env.push_back(nullptr);
    char *argv[] = {const_cast<char *>(self.c_str()), const_cast<char *>("--child"), const_cast<char *>(mode),
                    nullptr};
    int channel[2];
    if (self.empty() || pipe2(channel, O_CLOEXEC) != 0)
        return false;
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return false;
    }
    if (child == 0) {
        dup2(channel[1], STDOUT_FILENO);
        execve(argv[0], argv, env.data());
        _exit(127);
    }
    close(channel[1]);
    std::string pending;
    bool timedOut = false;
    for (;;) {
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        pollfd fd = {channel[0], POLLIN, 0};
        const int ready = poll(&fd, 1, std::max(0, timeoutMs - int(elapsed)));
        if (ready == 0) {
            timedOut = true;
            break;
        }
        if (ready < 0)
            continue;
        char buffer[4096];
        const ssize_t got = read(channel[0], buffer, sizeof buffer);
        const double at = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (got <= 0)
            break;
        pending.append(buffer, size_t(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            lines->push_back({pending.substr(0, end), at});
    }
    close(channel[0]);
    if (timedOut)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (timedOut)
        std::fprintf(stderr, "bench_startup: the %s child did not report in time\n", mode);
    return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const ChildLine *FindLine(const std::vector<ChildLine> &lines, const std::string &prefix)
{
    for (const ChildLine &line : lines)
        if (line.text.compare(0, prefix.size(), prefix) == 0)
            return &line;
    return nullptr;
}

double PeakMegabytes(const ChildLine *line)
{
    return line ? std::atof(line->text.c_str() + 5) / 1024.0 : -1.0;
}

// The first start in the HOME and the seeding, unless an earlier run finished them.
bool EnsureSeeded(const QString &home, const std::vector<std::string> &environment)
{
    const QString marker = home + QLatin1Char('/') + QLatin1String(kSeededMarker);
    if (QFileInfo::exists(marker))
        return true;
    if (!QDir().mkpath(home))
        return false;
    std::fprintf(stderr, "bench_startup: seeding %s\n", qPrintable(home));
    const auto start = Clock::now();
    std::vector<ChildLine> ignored;
    if (!RunChild("first", environment, kChildTimeoutMs, &ignored) ||
        !RunChild("seed", environment, kSeedTimeoutMs, &ignored))
        return false;
    QFile done(marker);
    if (!done.open(QIODevice::WriteOnly))
        return false;
    std::fprintf(stderr, "bench_startup: seeded in %.1f s\n",
                 std::chrono::duration<double>(Clock::now() - start).count());
    return true;
}

void BM_Startup(benchmark::State &state, const std::vector<std::string> &environment)
{
    double list = 0.0, shown = 0.0, empty = 0.0, varemoPeak = 0.0, emptyPeak = 0.0;
    for (auto _ : state) {
        std::vector<ChildLine> emptyLines, varemoLines;
        if (!RunChild("empty", environment, kChildTimeoutMs, &emptyLines) ||
            !RunChild("varemo", environment, kChildTimeoutMs, &varemoLines)) {
            state.SkipWithError("a child failed");
            return;
        }
        const ChildLine *emptyReport = FindLine(emptyLines, "peak ");
        const ChildLine *listLine = FindLine(varemoLines, "list");
        const ChildLine *shownLine = FindLine(varemoLines, "shown");
        const ChildLine *varemoReport = FindLine(varemoLines, "peak ");
        if (!emptyReport || !listLine || !shownLine || !varemoReport) {
            state.SkipWithError("a child did not report");
            return;
        }
        state.SetIterationTime(listLine->ms / 1000.0);
        list += listLine->ms;
        shown += shownLine->ms;
        empty += emptyReport->ms;
        varemoPeak += PeakMegabytes(varemoReport);
        emptyPeak += PeakMegabytes(emptyReport);
    }
    const double n = double(state.iterations());
    state.counters["varemo_data_list_ms"] = list / n;
    state.counters["empty_window_ms"] = empty / n;
    state.counters["difference_ms"] = (list - empty) / n;
    state.counters["varemo_window_shown_ms"] = shown / n;
    state.counters["varemo_peak_MB"] = varemoPeak / n;
    state.counters["empty_peak_MB"] = emptyPeak / n;
    state.counters["difference_MB"] = (varemoPeak - emptyPeak) / n;
}

// Takes "--NAME VALUE" or "--NAME=VALUE" out of the arguments.
QString TakeOption(int *argc, char **argv, const char *name)
{
    const std::string flag = std::string("--") + name;
    for (int i = 1; i < *argc; ++i) {
        const std::string arg = argv[i];
        int used = 0;
        QString value;
        if (arg == flag && i + 1 < *argc) {
            value = QFile::decodeName(argv[i + 1]);
            used = 2;
        } else if (arg.compare(0, flag.size() + 1, flag + "=") == 0) {
            value = QFile::decodeName(arg.c_str() + flag.size() + 1);
            used = 1;
        } else {
            continue;
        }
        for (int j = i; j + used <= *argc; ++j)
            argv[j] = argv[j + used];
        *argc -= used;
        return value;
    }
    return QString();
}

} // namespace

int main(int argc, char **argv)
{
    const QString child = TakeOption(&argc, argv, "child");
    if (!child.isEmpty()) {
        if (child == QLatin1String("empty"))
            return EmptyWindowChild(argc, argv);
        if (child == QLatin1String("first") || child == QLatin1String("varemo"))
            return ProgramChild(argc, argv, child == QLatin1String("first"));
        if (child == QLatin1String("seed"))
            return SeedChild(argc, argv);
        return 2;
    }

    QString home = TakeOption(&argc, argv, "data");
    if (home.isEmpty())
        home = QFileInfo(QFile::decodeName(SelfPath().c_str())).absolutePath() +
               QStringLiteral("/../bench-data/startup");
    home = QDir::cleanPath(QDir(home).absolutePath());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::vector<std::string> environment = ChildEnvironment(home);
    if (!EnsureSeeded(home, environment)) {
        std::fprintf(stderr, "bench_startup: the data in %s could not be prepared\n", qPrintable(home));
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("BM_Startup", BM_Startup, environment)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
