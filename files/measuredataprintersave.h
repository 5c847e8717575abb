#pragma once
// Uploads one measurement data file to a printer's built-in web server as a multipart form and reports the
// printer's answer once. One object carries one upload at a time.

#include <QNetworkAccessManager>
#include <QString>

class QAuthenticator;
class QFile;
class QNetworkReply;

class CMeasureDataPrinterSave : public QNetworkAccessManager
{
    Q_OBJECT
public:
    explicit CMeasureDataPrinterSave(QObject *parent = nullptr);
    ~CMeasureDataPrinterSave() override;

    // False when the file cannot be read or an upload is still pending (nothing is sent then).
    virtual bool Send(const QString &host, const QString &port, const QString &password, const QString &path);

    // The address the form goes to; the port shows only when it is the printers' upload port.
    static QString UploadUrl(const QString &host, const QString &port);
    // The file name as a form submission escapes it inside filename="...".
    static QByteArray EscapedFormFileName(const QString &name);

signals:
    // networkError 0 and result 0 = written; a transport failure is a non-zero error with result 0.
    void Finished(int networkError, int result, QString message);

public slots:
    void onAuthenticationRequired(QNetworkReply *reply, QAuthenticator *authenticator);
    void onFinished();

private:
    QString m_password;
    int m_authenticationTries = 0;
    QFile *m_file = nullptr;
    QNetworkReply *m_reply = nullptr;
};
