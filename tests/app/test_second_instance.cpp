// Two starts of the real program: the second hands its message to the first and ends; once the first is gone a
// new start takes over.
#include "singleinstancechannel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kListenTimeoutMs = 60000;

} // namespace

class TestSecondInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QProcessEnvironment m_environment;
    QString m_program;

    std::unique_ptr<QProcess> Start()
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_environment);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(m_program, QStringList());
        return process;
    }

    // The primary listens once its socket is there.
    QString SocketPath() const
    {
        return QDir::tempPath() + QLatin1Char('/') + SingleInstanceChannel::KeyFor(QStringLiteral("Varemo"));
    }

    // The process holding the lock (its id leads the lock file).
    qint64 LockOwner() const
    {
        QFile lock(SocketPath() + QStringLiteral(".lock"));
        if (!lock.open(QIODevice::ReadOnly))
            return -1;
        return lock.readLine().trimmed().toLongLong();
    }

private slots:
    void initTestCase()
    {
        m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/Varemo");
        QVERIFY(QFileInfo(m_program).isExecutable());
        m_environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = m_root.path() + QLatin1Char('/') + QLatin1String(name);
            QDir().mkpath(folder);
            m_environment.insert(QLatin1String(name), folder);
            // The test computes the same channel key as the program.
            qputenv(name, folder.toLocal8Bit());
        }
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Killed processes leave no leak report to read.
        m_environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    }

    void secondStartEndsAndThirdTakesOver()
    {
        QVERIFY(!QFileInfo::exists(SocketPath()));
        std::unique_ptr<QProcess> first = Start();
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SocketPath()), kListenTimeoutMs);

        std::unique_ptr<QProcess> second = Start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);

        // A killed primary leaves its lock and socket behind; the next start takes both over.
        first->kill();
        QVERIFY(first->waitForFinished());
        std::unique_ptr<QProcess> third = Start();
        QVERIFY(third->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(LockOwner(), third->processId(), kListenTimeoutMs);
        std::unique_ptr<QProcess> fourth;
        // The third is primary now; a fourth start is delivered once it listens.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (third->state() != QProcess::Running)
                    return true;
                fourth = Start();
                return fourth->waitForFinished(10000) && fourth->exitCode() == 0;
            }(),
            kListenTimeoutMs);
        QCOMPARE(third->state(), QProcess::Running);
        third->kill();
        QVERIFY(third->waitForFinished());
    }
};

QTEST_GUILESS_MAIN(TestSecondInstance)
#include "test_second_instance.moc"
