// The stand-in main window and density-balance window: which model reports become message boxes, and that
// every report is acknowledged. Boxes go to a recording presenter.
#include "app/language.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/widgets/uipresenter.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcmainwindow.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

class RecordingPresenter : public CUiPresenter
{
public:
    QList<QPair<QWidget *, RecordBox>> boxes;
    void ShowRecord(QWidget *parent, const RecordBox &box) override { boxes.append({parent, box}); }
};

} // namespace

class TestStandIns : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QStringList m_arguments;
    std::unique_ptr<CLanguage> m_language;
    std::unique_ptr<CModel> m_model;
    std::unique_ptr<CVCMainWindow> m_window;
    RecordingPresenter m_presenter;
    QList<QPair<QWidget *, RecordBox>> &m_boxes = m_presenter.boxes;

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", m_home.path().toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QCoreApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));
        BuildMessageTables();
        CUiPresenter::Install(&m_presenter);
        m_language = std::make_unique<CLanguage>();
        m_model = std::make_unique<CModel>(m_language.get(), &m_arguments);
        m_window = std::make_unique<CVCMainWindow>(m_model.get());
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_model.reset();
        CUiPresenter::Install(nullptr);
    }

    void init() { m_boxes.clear(); }

    void errorMessages_data()
    {
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("shown");
        QTest::newRow("hidden") << false << 2 << false;
        QTest::newRow("visible") << true << 2 << true;
        QTest::newRow("last") << true << 61 << true;
        QTest::newRow("beyond the table") << true << 62 << false;
        QTest::newRow("negative") << true << -1 << false;
    }

    void errorMessages()
    {
        QFETCH(bool, visible);
        QFETCH(int, message);
        QFETCH(bool, shown);
        m_window->setVisible(visible);
        emit m_model->ErrorMessage(message);
        QCOMPARE(m_boxes.size(), shown ? 1 : 0);
        if (shown) {
            const ErrorMessageRecord record = FindMessageRecord(message);
            QCOMPARE(m_boxes[0].first, m_window.get());
            QCOMPARE(m_boxes[0].second.text, record.text);
            QCOMPARE(m_boxes[0].second.icon, record.icon);
            QVERIFY(m_boxes[0].second.informativeText.isEmpty());
        }
        m_window->hide();
    }

    void recognitionErrorsWithAdvice()
    {
        m_window->show();
        emit m_model->ErrorMessage(35);
        emit m_model->ErrorMessage(23);
        m_window->hide();
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(m_boxes[0].second.text, QStringLiteral("Chart is too long."));
        QCOMPARE(m_boxes[0].second.informativeText, FindRecognitionErrorRecord(6).advice);
        QCOMPARE(m_boxes[0].second.icon, FindMessageRecord(35).icon);
        const MessageAdviceRecord prescan = FindRecognitionErrorRecord(m_model->GetOrloPremeasurementError());
        QCOMPARE(m_boxes[1].second.text, prescan.message);
        QCOMPARE(m_boxes[1].second.informativeText, prescan.advice);
    }

    void densityWindowAndMatchingWarnings()
    {
        CVCAdjustDensity *density = m_window->GetAdjustDensityWindow();
        QVERIFY(density);
        QVERIFY(!density->isVisible());
        m_window->show();
        // The density report goes to the hidden density window, which shows nothing.
        emit m_model->ErrorMessageDensity(2);
        QVERIFY(m_boxes.isEmpty());
        density->show();
        emit m_model->ErrorMessageDensity(2);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].first, density);
        density->hide();

        emit m_model->MatchingMessageBox(3);
        emit m_model->MatchingMessageBoxDensity(2);
        m_window->hide();
        QCOMPARE(m_boxes.size(), 3);
        QCOMPARE(m_boxes[1].first, m_window.get());
        QCOMPARE(m_boxes[1].second.text, FindMatchingWarningRecord(3).message);
        QCOMPARE(m_boxes[1].second.informativeText, FindMatchingWarningRecord(3).advice);
        QCOMPARE(m_boxes[2].first, density);
    }

    // The model's own report reaches the idle main window as one box.
    void modelReportReachesTheWindow()
    {
        m_window->show();
        m_model->ReportError(1, 2, true);
        m_window->hide();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].first, m_window.get());
        QCOMPARE(m_boxes[0].second.text, FindMessageRecord(2).text);
    }
};

QTEST_MAIN(TestStandIns)
#include "test_standins.moc"
