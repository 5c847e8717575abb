#pragma once
// One instance per user and data root: the first process takes a lock file and listens on a local socket; any
// later one finds the lock taken and hands its message to the first.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

class SingleInstanceChannel : public QObject
{
    Q_OBJECT
public:
    // key names the channel; processes with the same key meet.
    explicit SingleInstanceChannel(const QString &key, QObject *parent = nullptr);
    ~SingleInstanceChannel() override;

    // The key for an application id: id, user id and a hash of the per-user data root, so that runs with data
    // folders of their own never meet another instance.
    static QString KeyFor(const QString &id);

    // True when another process holds the channel (this one is secondary).
    bool isRunning() const { return !m_primary; }
    // Secondary only: delivers the text to the primary and waits for its acknowledgement.
    bool sendMessage(const QString &message, int timeoutMs);

    QString lockFilePath() const;
    QString serverName() const { return m_key; }

signals:
    void messageReceived(const QString &message);

private:
    void acceptConnection();

    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_primary = false;
};
