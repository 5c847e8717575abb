#pragma once
// The whole program run in process, as the user starts it: the start-up function builds the splash, the model
// and the main window on a fresh per-user world, and a test body runs inside the program's own event loop with
// the main window and its model. Every box goes through the fixture's scripted presenter. And a seeded
// document store that the data-list tests start from.
//
//     ProgramFixture program;
//     QVERIFY(program.Seed());
//     program.Run([&] { ... program.Window() ... program.Model() ... });
//     QVERIFY(program.BodyRan());
//
// The test's main is VAREMO_PROGRAM_TEST_MAIN (TestClass): the single-instance key is made from the data root,
// so each test program gets a root of its own before the application object exists.

#include "scriptedpresenter.h"

#include "app/startup.h"
#include "files/outputimage.h"
#include "qtsingleapplication.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <optional>

class CDocumentData;
class CModel;
class QMainWindow;

// File numbers of the seeded documents.
struct SeededStore {
    int qrChart = 0;           // "QRChart": 1 page, one 4 x 5 area, RGB, with QR code
    int big100 = 0;            // "Big100": 100 pages of one small area
    int big101 = 0;            // "Big101": 101 pages of one small area
    int completeMeasure = 0;   // under QRChart, a record for every patch
    int incompleteMeasure = 0; // under QRChart, fewer records than patches
    int recognition = 0;       // recognition measurement with records
    int emptyRecognition = 0;  // recognition measurement with record count 0
};

// Adds the seeded documents to the store in the order of SeededStore's fields; false at the first failure.
bool SeedStore(CDocumentData *store, SeededStore *ids);

// A fresh user under root: HOME is root/home with its Documents folder, the XDG folders lie beside it, and the
// program's name is set as the program sets it, so that its data folder is known before a run.
void MakeUserWorld(const QString &root);
// The program's name and organisation, set as the program sets them (they name its data folder).
void NameAsTheProgram();

class ProgramFixture
{
public:
    // Points HOME, the XDG folders and the Documents folder into a fresh temporary folder.
    ProgramFixture();
    ~ProgramFixture();

    ProgramFixture(const ProgramFixture &) = delete;
    ProgramFixture &operator=(const ProgramFixture &) = delete;

    // Answers every box, file dialog, nested dialog and context menu of the runs; queue answers before Run or
    // from the body.
    ScriptedPresenter script;

    // Written into the settings before the next run. On, with nothing seeded, the first run is a true first
    // start (no settings file yet).
    bool autoConnect = false;
    // Shows the main window before the body, as the splash would after its two seconds.
    bool showWindow = true;
    // The loop's exit code once the body has returned.
    int exitCode = 0;

    // Writes the seeded store (and the settings) through a model of its own on this world; the ids of the
    // documents go to ids. Never while a run is going on.
    bool Seed(SeededStore *ids = nullptr);

    // One start of the program: the simulated chart scanner reset to manual delivery, the settings written,
    // RunApplication with the hook (called for every step after the fixture's own work), the body posted
    // with a zero-time timer once the event loop runs, and the loop ended after the body. Returns the start-up
    // function's result.
    using Body = std::function<void()>;
    int Run(const Body &body, const StartupStepHook &hook = StartupStepHook());

    // Valid while the body runs (from kStepRestore to kStepDestroyWindow).
    QMainWindow *Window() const { return m_window; }
    CModel *Model() const { return m_model; }

    bool BodyRan() const { return m_bodyRan; }
    // The steps of the last run and the messages of its start-up error boxes.
    const QList<int> &Steps() const { return m_steps; }
    const QList<int> &StartupErrors() const { return m_startupErrors; }

    QString Root() const { return m_root.path(); }
    QString Home() const;
    // The program's data folder (where Setting.bin and the documents live).
    QString DataFolder() const;

private:
    bool WriteSettings(const std::function<bool(CModel *)> &extra);
    void ShowMainWindow();

    QTemporaryDir m_root;
    std::optional<bool> m_writtenAutoConnect;
    QPointer<QMainWindow> m_window;
    CModel *m_model = nullptr;
    bool m_bodyRan = false;
    QList<int> m_steps;
    QList<int> m_startupErrors;
};

// The test's main: a data root of its own, then the QtSingleApplication (whose key is made from that root), then
// the test object. The image library is set up before the application object, as the program's main does.
#define VAREMO_PROGRAM_TEST_MAIN(TestObject)                                                                          \
    int main(int argc, char *argv[])                                                                                 \
    {                                                                                                                 \
        COutputImage::InitializeImageLibrary(argc > 0 ? argv[0] : nullptr);                                         \
        QTemporaryDir dataRoot;                                                                                       \
        qputenv("XDG_DATA_HOME", dataRoot.path().toLocal8Bit());                                                     \
        QtSingleApplication app(QStringLiteral("VaremoProgramTest"), argc, argv);                                     \
        if (app.isRunning())                                                                                          \
            return 3;                                                                                                 \
        TestObject test;                                                                                              \
        return QTest::qExec(&test, argc, argv);                                                                       \
    }
