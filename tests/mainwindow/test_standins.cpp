// The stand-in density-balance window: which model reports become message boxes, and that every report is
// acknowledged. Boxes go to a recording presenter.
#include "app/language.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/widgets/uipresenter.h"
#include "mainwindow/vcadjustdensity.h"

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
    std::unique_ptr<CVCAdjustDensity> m_density;
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
        m_density = std::make_unique<CVCAdjustDensity>(m_model.get());
    }

    void cleanupTestCase()
    {
        m_density.reset();
        m_model.reset();
        CUiPresenter::Install(nullptr);
    }

    void init() { m_boxes.clear(); }

    void densityWindowAndMatchingWarnings()
    {
        CVCAdjustDensity *density = m_density.get();
        QVERIFY(!density->isVisible());
        // The density report goes to the hidden density window, which shows nothing.
        emit m_model->ErrorMessageDensity(2);
        QVERIFY(m_boxes.isEmpty());
        density->show();
        emit m_model->ErrorMessageDensity(2);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].first, density);
        QCOMPARE(m_boxes[0].second.text, FindMessageRecord(2).text);
        density->hide();

        emit m_model->MatchingMessageBoxDensity(3);
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(m_boxes[1].first, density);
        QCOMPARE(m_boxes[1].second.text, FindMatchingWarningRecord(3).message);
        QCOMPARE(m_boxes[1].second.informativeText, FindMatchingWarningRecord(3).advice);
    }
};

QTEST_MAIN(TestStandIns)
#include "test_standins.moc"
