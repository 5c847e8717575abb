#pragma once
// The printer page script (tests/files/tools/printer_server.py) on the printers' upload port, so the URL the
// uploader builds reaches it. Tests that start it hold the printer port's resource lock.

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>

class PrinterServer
{
public:
    // mode "sentence0" answers with the success page, "sentence1" with the failure page; every request is written
    // to report as JSON.
    bool Start(const QString &mode, const QString &report)
    {
        m_report = report;
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral(VAREMO_PRINTER_SERVER), mode, report, QStringLiteral("30091")});
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        m_output = m_process.readLine().trimmed();
        return m_output == "ready 30091";
    }
    QByteArray Output() const { return m_output; }
    QJsonArray Requests() const
    {
        QFile file(m_report);
        return QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()).array();
    }
    ~PrinterServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QString m_report;
    QByteArray m_output;
};
