#include "singleinstancechannel.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace {
constexpr int kMaxMessageBytes = 1 << 20;

QString DataRoot()
{
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    if (!xdg.isEmpty())
        return QString::fromLocal8Bit(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}
} // namespace

QString SingleInstanceChannel::KeyFor(const QString &id)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(DataRoot()).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("%1-%2-%3").arg(id).arg(uint(getuid())).arg(QString::fromLatin1(hash));
}

SingleInstanceChannel::SingleInstanceChannel(const QString &key, QObject *parent)
    : QObject(parent), m_key(key), m_lock(new QLockFile(lockFilePath()))
{
    // A lock left by a process that no longer runs counts as stale and is taken over.
    m_lock->setStaleLockTime(0);
    m_primary = m_lock->tryLock(0);
    if (!m_primary)
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_key); // a socket left behind by a crashed primary
    if (!m_server->listen(m_key))
        qWarning("SingleInstanceChannel: cannot listen on %s", qPrintable(m_key));
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceChannel::acceptConnection);
}

SingleInstanceChannel::~SingleInstanceChannel()
{
    if (m_server)
        m_server->close();
    if (m_primary)
        m_lock->unlock();
}

QString SingleInstanceChannel::lockFilePath() const
{
    return QDir::tempPath() + QLatin1Char('/') + m_key + QStringLiteral(".lock");
}

void SingleInstanceChannel::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Messages are a 32-bit length followed by UTF-8; read once the whole message is there.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() {
            if (socket->property("done").toBool())
                return;
            if (socket->bytesAvailable() < 4)
                return;
            QDataStream peek(socket->peek(4));
            qint32 length = 0;
            peek >> length;
            if (length < 0 || length > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < 4 + length)
                return;
            socket->read(4);
            const QString text = QString::fromUtf8(socket->read(length));
            socket->setProperty("done", true);
            socket->write("\x06", 1);
            socket->flush();
            emit messageReceived(text);
        });
    }
}

bool SingleInstanceChannel::sendMessage(const QString &message, int timeoutMs)
{
    if (m_primary)
        return false;
    QLocalSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool acknowledged = false;
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::connected, &loop, [&]() {
        const QByteArray utf8 = message.toUtf8();
        QByteArray frame;
        QDataStream out(&frame, QIODevice::WriteOnly);
        out << qint32(utf8.size());
        frame += utf8;
        socket.write(frame);
    });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&]() {
        if (socket.read(1) == QByteArray("\x06", 1)) {
            acknowledged = true;
            loop.quit();
        }
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop, [&](QLocalSocket::LocalSocketError) { loop.quit(); });
    // An event loop rather than the blocking waits, so a primary in the same thread can still answer.
    timer.start(timeoutMs);
    socket.connectToServer(m_key);
    if (socket.state() != QLocalSocket::UnconnectedState)
        loop.exec();
    socket.abort();
    return acknowledged;
}
