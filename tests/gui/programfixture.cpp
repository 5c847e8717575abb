#include "programfixture.h"

#include "modelfixture.h"

#include "app/documentdata.h"
#include "app/model.h"
#include "app/storeconventions.h"
#include "mainwindow/vcmainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QSplashScreen>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr int kQrRows = 4;
constexpr int kQrColumns = 5;
constexpr int kIncompleteRecords = 12;

// Frees what the builders allocated when the seeding leaves the scope, also on an early return.
struct SeedChart {
    ChartDefinitionDataSheets chart;
    ~SeedChart() { ClearChartDefinitionData(&chart); }
};
struct SeedMeasurement {
    MeasurementDataSheets measurement;
    ~SeedMeasurement() { ClearMeasureFileData(&measurement); }
};

// A one-page measurement of the sheet in which the first `measured` patches have records.
void MakeOnePageMeasurement(MeasurementDataSheets *measurement, const ChartDefinitionData::Sheet &sheet,
                            int measured)
{
    InitMeasureFileData(measurement);
    measurement->Mode = 0;
    measurement->SerialNumber = QStringLiteral("ORS00001");
    measurement->SheetCount = 1;
    measurement->Sheets = NewMeasurementPages(1);
    measurement->Sheets[0] = MakeSmallMeasurement(sheet, measured);
}

bool AddChart(CDocumentData *store, const QString &name, int pages, int rows, int columns, int barcode, int *id)
{
    SeedChart seed;
    MakeChart(&seed.chart, pages, rows, columns, barcode);
    seed.chart.ChartName = name;
    if (store->CreateDesignationChart(&seed.chart) != kDocumentOk || seed.chart.ChartName != name)
        return false;
    *id = store->GetDesignationCharts()->last().ID;
    return true;
}

bool AddMeasurement(CDocumentData *store, int chartId, const ChartDefinitionData::Sheet &sheet, int measured,
                    int *id)
{
    SeedMeasurement seed;
    MakeOnePageMeasurement(&seed.measurement, sheet, measured);
    return store->CreateDesignationMeasure(id, chartId, &seed.measurement) == kDocumentOk;
}

bool AddRecognition(CDocumentData *store, int measured, int *id)
{
    SeedChart seed;
    InitChartDefinitionData(&seed.chart);
    seed.chart.SheetCount = 1;
    seed.chart.Recog = 1;
    seed.chart.Diameter = 1;
    seed.chart.Sheets = NewChartSheets(1);
    seed.chart.Sheets[0] = MakeSmallSheet();
    seed.chart.ChartPatchCount = seed.chart.Sheets[0].PatchCount;
    SeedMeasurement measurement;
    MakeOnePageMeasurement(&measurement.measurement, seed.chart.Sheets[0], measured);
    return store->CreateRecognitionMeasure(id, seed.chart, &measurement.measurement) == kDocumentOk;
}

} // namespace

bool SeedStore(CDocumentData *store, SeededStore *ids)
{
    SeededStore made;
    if (!AddChart(store, QStringLiteral("QRChart"), 1, kQrRows, kQrColumns, 1, &made.qrChart) ||
        !AddChart(store, QStringLiteral("Big100"), 100, 1, 2, 0, &made.big100) ||
        !AddChart(store, QStringLiteral("Big101"), 101, 1, 2, 0, &made.big101))
        return false;

    // The measurements are made from the chart as it was stored.
    SeedChart qr;
    if (store->ReadDesignationChart(made.qrChart, &qr.chart) != kDocumentOk || qr.chart.SheetCount != 1)
        return false;
    const ChartDefinitionData::Sheet &sheet = qr.chart.Sheets[0];
    if (!AddMeasurement(store, made.qrChart, sheet, sheet.PatchCount, &made.completeMeasure) ||
        !AddMeasurement(store, made.qrChart, sheet, kIncompleteRecords, &made.incompleteMeasure) ||
        !AddRecognition(store, MakeSmallSheet().PatchCount, &made.recognition) ||
        !AddRecognition(store, 0, &made.emptyRecognition))
        return false;
    if (ids)
        *ids = made;
    return true;
}

void MakeUserWorld(const QString &root)
{
    const QString home = root + QStringLiteral("/home");
    const QString config = root + QStringLiteral("/config");
    const QString documents = home + QStringLiteral("/Documents");
    QDir().mkpath(config);
    QDir().mkpath(documents);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toLocal8Bit());
    // The user's own folder list could name another Documents folder; this world has its own.
    QFile userDirs(config + QStringLiteral("/user-dirs.dirs"));
    if (userDirs.open(QIODevice::WriteOnly))
        userDirs.write("XDG_DOCUMENTS_DIR=\"" + documents.toLocal8Bit() + "\"\n");
    QDir().mkpath(root + QStringLiteral("/program"));
    NameAsTheProgram();
}

void NameAsTheProgram()
{
    // As the program names itself at its first step, so that the data folder is known before a run.
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    QCoreApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));
}

ProgramFixture::ProgramFixture()
{
    MakeUserWorld(m_root.path());
}

ProgramFixture::~ProgramFixture() = default;

QString ProgramFixture::Home() const
{
    return m_root.path() + QStringLiteral("/home");
}

QString ProgramFixture::DataFolder() const
{
    return AppDataDir();
}

bool ProgramFixture::WriteSettings(const std::function<bool(CModel *)> &extra)
{
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);
    QStringList arguments{QStringLiteral("Varemo")};
    CModel model(nullptr, &arguments);
    WindowDouble window(&model);
    if (model.Initialize() != 0)
        return false;
    Setting::UserEnvironment environment = *model.GetUserEnvironment();
    environment.AutoConnect = autoConnect;
    bool ok = model.SetUserEnvironment(environment) == 0 && (!extra || extra(&model));
    ok = model.Terminate() == 0 && ok;
    if (ok)
        m_writtenAutoConnect = autoConnect;
    return ok;
}

bool ProgramFixture::Seed(SeededStore *ids)
{
    if (!m_root.isValid())
        return false;
    return WriteSettings([ids](CModel *model) { return SeedStore(CModelAccess::DocumentData(*model), ids); });
}

void ProgramFixture::ShowMainWindow()
{
    // The splash's own timer would show the window two seconds later; its slot does that work now.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QSplashScreen *>(widget))
            QMetaObject::invokeMethod(widget, "timeout", Qt::DirectConnection);
    }
}

int ProgramFixture::Run(const Body &body, const StartupStepHook &hook)
{
    m_bodyRan = false;
    m_steps.clear();
    m_startupErrors.clear();
    m_window = nullptr;
    m_model = nullptr;
    auto *app = qobject_cast<QtSingleApplication *>(qApp);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!app || !m_root.isValid() || !documents.startsWith(Home() + QLatin1Char('/')))
        return -1;

    // Default settings connect the scanner at start-up; without a settings file that is what autoConnect asks.
    const bool settingsWanted = m_writtenAutoConnect != autoConnect &&
                                (!autoConnect || QFile::exists(DataFolder() + QStringLiteral("/Setting.bin")));
    if (settingsWanted && !WriteSettings({}))
        return -1;
    OrloSim_Reset();
    OrloSim_SetDelivery(OrloSim_Manual);

    const auto runBody = [this, &body] {
        if (showWindow)
            ShowMainWindow();
        m_bodyRan = true;
        if (body)
            body();
        QCoreApplication::exit(exitCode);
    };
    const StartupStepHook steps = [this, &hook, &runBody](int step) {
        m_steps << step;
        if (step == kStepRestore) {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *window = qobject_cast<CVCMainWindow *>(widget)) {
                    m_window = window;
                    m_model = window->GetModel();
                }
            }
        }
        if (step == kStepEventLoop)
            QTimer::singleShot(0, qApp, runBody);
        if (hook)
            hook(step);
        if (step == kStepDestroyModel)
            m_model = nullptr;
    };
    const StartupErrorPresenter errors = [this](int message, const ErrorMessageRecord &record) {
        m_startupErrors << message;
        script.ShowRecord(nullptr, record);
    };
    const int result = RunApplication(*app, errors, steps, m_root.path() + QStringLiteral("/program"));
    m_window = nullptr;
    m_model = nullptr;
    return result;
}
