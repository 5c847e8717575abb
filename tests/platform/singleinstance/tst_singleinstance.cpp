#include "qtsingleapplication.h"
#include "singleinstancechannel.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <QWidget>

class TestSingleInstance : public QObject
{
    Q_OBJECT

    static QString freshKey() { return QStringLiteral("varemo-test-") + QUuid::createUuid().toString(QUuid::Id128); }

private slots:
    void secondSendsFirstReceives()
    {
        const QString key = freshKey();
        SingleInstanceChannel first(key);
        QVERIFY(!first.isRunning());
        SingleInstanceChannel second(key);
        QVERIFY(second.isRunning());
        QSignalSpy received(&first, &SingleInstanceChannel::messageReceived);
        QVERIFY(second.sendMessage(QStringLiteral("hallo é"), 5000));
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("hallo é"));
        // An empty message, as a second program start sends, is delivered too.
        QVERIFY(second.sendMessage(QString(), 5000));
        QCOMPARE(received.count(), 2);
    }

    void silentServerTimesOut()
    {
        const QString key = freshKey();
        // Hold the lock ourselves so the channel becomes secondary, and answer nothing.
        QLockFile lock(QDir::tempPath() + QLatin1Char('/') + key + QStringLiteral(".lock"));
        QVERIFY(lock.tryLock(0));
        QLocalServer silent;
        QLocalServer::removeServer(key);
        QVERIFY(silent.listen(key));
        SingleInstanceChannel second(key);
        QVERIFY(second.isRunning());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!second.sendMessage(QStringLiteral("x"), 300));
        QVERIFY(clock.elapsed() < 3000);
        // The message did arrive, whole; only the answer was missing.
        QVERIFY(silent.hasPendingConnections());
        QLocalSocket *connection = silent.nextPendingConnection();
        QVERIFY(connection);
        QByteArray expected;
        QDataStream(&expected, QIODevice::WriteOnly) << qint32(1);
        expected += 'x';
        while (connection->bytesAvailable() < expected.size() && connection->waitForReadyRead(5000)) {
        }
        QCOMPARE(connection->readAll(), expected);
    }

    void noPrimaryListening()
    {
        const QString key = freshKey();
        QLockFile lock(QDir::tempPath() + QLatin1Char('/') + key + QStringLiteral(".lock"));
        QVERIFY(lock.tryLock(0));
        QLocalServer::removeServer(key);
        SingleInstanceChannel second(key);
        QVERIFY(!second.sendMessage(QStringLiteral("x"), 300));
    }

    void lockOfDeadProcessIsTakenOver()
    {
        const QString key = freshKey();
        QProcess child;
        child.start(QStringLiteral("true"), QStringList());
        QVERIFY(child.waitForFinished(5000));
        const qint64 deadPid = child.processId() ? child.processId() : 999999;
        const QString path = QDir::tempPath() + QLatin1Char('/') + key + QStringLiteral(".lock");
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray::number(deadPid) + "\ntst_singleinstance\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();
        {
            SingleInstanceChannel next(key);
            QVERIFY(!next.isRunning());
        }
        QVERIFY(!QFile::exists(path));
    }

    void minimisedWindowIsRestoredOnMessage()
    {
        QWidget window;
        window.showMinimized();
        QVERIFY(window.windowState() & Qt::WindowMinimized);
        ActivateSingleInstanceWindow(&window);
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
        QVERIFY(window.isVisible());
    }

    void keyDependsOnDataRoot()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/tmp/a");
        const QString a = SingleInstanceChannel::KeyFor(QStringLiteral("Varemo"));
        qputenv("XDG_DATA_HOME", "/tmp/b");
        const QString b = SingleInstanceChannel::KeyFor(QStringLiteral("Varemo"));
        qputenv("XDG_DATA_HOME", saved);
        QVERIFY(a != b);
        QVERIFY(a.startsWith(QStringLiteral("Varemo-")));
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
