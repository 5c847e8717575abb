#include "files/measuredataprintersave.h"

#include <QAuthenticator>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QMimeDatabase>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr int kMaxAuthenticationAnswers = 3;

struct ReplySentence {
    const char *sentence;
    int result;
    const char *message;
};

// Searched in this order; the first one the page contains decides.
const ReplySentence kSentences[] = {
    {"SUCCESS. Data were written to the machine.", 0, nullptr},
    {"FAILURE. Data were't written to the machine.", 1, QT_TRANSLATE_NOOP("CMeasureDataPrinterSave", "Failed to write data.")},
    {"Data size is too large.", 2, QT_TRANSLATE_NOOP("CMeasureDataPrinterSave", "Data size is too large.")},
    {"Characters can't be inserted.", 3, QT_TRANSLATE_NOOP("CMeasureDataPrinterSave", "Cannot insert characters.")},
    {"Registration data limit exceeds", 4,
     QT_TRANSLATE_NOOP("CMeasureDataPrinterSave", "Exceeded the limit of registration data.")},
};

} // namespace

CMeasureDataPrinterSave::CMeasureDataPrinterSave(QObject *parent) : QNetworkAccessManager(parent)
{
    connect(this, &QNetworkAccessManager::authenticationRequired, this,
            &CMeasureDataPrinterSave::onAuthenticationRequired, Qt::DirectConnection);
}

CMeasureDataPrinterSave::~CMeasureDataPrinterSave()
{
    m_password.fill(QLatin1Char('\0'));
    m_password.clear();
}

QString CMeasureDataPrinterSave::UploadUrl(const QString &host, const QString &port)
{
    QString url = QStringLiteral("http://") + host;
    if (port == QLatin1String("30091"))
        url += QLatin1Char(':') + port;
    return url + QStringLiteral("/goform/ColorMeasuring_en.html");
}

QByteArray CMeasureDataPrinterSave::EscapedFormFileName(const QString &name)
{
    QByteArray bytes = name.toLocal8Bit();
    bytes.replace('"', "%22");
    bytes.replace('\r', "%0D");
    bytes.replace('\n', "%0A");
    return bytes;
}

bool CMeasureDataPrinterSave::Send(const QString &host, const QString &port, const QString &password,
                                   const QString &path)
{
    // A second reply would have the first one's end close the file it streams.
    if (m_reply)
        return false;
    m_authenticationTries = 0;
    m_password = password;

    auto *file = new QFile(path);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        return false;
    }
    const QString fileName = QFileInfo(path).fileName();

    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart namePart;
    namePart.setRawHeader("Content-Disposition", "form-data; name=\"filename\"");
    namePart.setBody(fileName.toLocal8Bit());
    form->append(namePart);

    QHttpPart filePart;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
    filePart.setRawHeader("Content-Type", mime.name().toLatin1());
    filePart.setRawHeader("Content-Disposition",
                          "form-data; name=\"fname\"; filename=\"" + EscapedFormFileName(fileName) + '"');
    filePart.setBodyDevice(file);
    file->setParent(form);
    form->append(filePart);

    QNetworkRequest request(QUrl(UploadUrl(host, port), QUrl::TolerantMode));
    m_file = file;
    m_reply = post(request, form);
    form->setParent(m_reply);
    connect(m_reply, &QNetworkReply::finished, this, &CMeasureDataPrinterSave::onFinished);
    return true;
}

void CMeasureDataPrinterSave::onAuthenticationRequired(QNetworkReply *reply, QAuthenticator *authenticator)
{
    Q_UNUSED(reply)
    if (m_authenticationTries >= kMaxAuthenticationAnswers)
        return;
    ++m_authenticationTries;
    authenticator->setUser(QStringLiteral("admin"));
    authenticator->setPassword(m_password);
}

void CMeasureDataPrinterSave::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    if (m_file) {
        m_file->close();
        // The form owns the file; it goes with the reply.
        m_file = nullptr;
    }

    const QString body = QString::fromUtf8(reply->readAll());
    const QString errorText = reply->errorString();
    const int error = int(reply->error());

    int result = 0;
    QString message = errorText;
    if (error == QNetworkReply::NoError) {
        result = 5;
        message = tr("Access Error");
        for (const ReplySentence &entry : kSentences) {
            if (body.contains(QLatin1String(entry.sentence))) {
                result = entry.result;
                message = entry.message ? tr(entry.message) : errorText;
                break;
            }
        }
    } else if (error == QNetworkReply::AuthenticationRequiredError) {
        result = 9;
        message = tr("Authenticator Error");
    }

    m_reply = nullptr;
    emit Finished(error, result, message);
    reply->deleteLater();
}
