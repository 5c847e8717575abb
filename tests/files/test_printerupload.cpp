// Printer upload against a small live server on a free port of 127.0.0.1: reply sentences, authentication,
// transport failures and the form the printer receives; without a server the URL, the refusals and the answer cap.

#include "files/measuredataprintersave.h"

#include <QAuthenticator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kServer = QStringLiteral(VAREMO_FILES_TOOLS "/printer_server.py");

struct Outcome {
    int error = -1;
    int result = -1;
    QString message;
    int emitted = 0;
};

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(bytes);
    return file.fileName();
}

// Runs one upload to completion and lets deferred deletes run. Only the printers' own port reaches the URL
// from the port field, so a test server's port travels in the host text.
Outcome Upload(const QString &path, quint16 port)
{
    Outcome outcome;
    CMeasureDataPrinterSave saver;
    QSignalSpy spy(&saver, &CMeasureDataPrinterSave::Finished);
    if (!saver.Send(QStringLiteral("127.0.0.1:%1").arg(port), QString(), QStringLiteral("pw"), path))
        return outcome;
    spy.wait(15000);
    // The reply goes here; a second answer could only come from it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    outcome.emitted = spy.count();
    if (!spy.isEmpty()) {
        outcome.error = spy.at(0).at(0).toInt();
        outcome.result = spy.at(0).at(1).toInt();
        outcome.message = spy.at(0).at(2).toString();
    }
    return outcome;
}

class Server
{
public:
    bool Start(const QString &mode, const QTemporaryDir &dir)
    {
        m_report = dir.filePath(QStringLiteral("report-%1.json").arg(mode));
        // The server takes a free port and names it: test runs side by side never meet.
        m_process.start(QStringLiteral("python3"), {kServer, mode, m_report});
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        m_output = m_process.readLine();
        const QList<QByteArray> words = m_output.trimmed().split(' ');
        bool ok = false;
        m_port = words.size() == 2 && words[0] == "ready" ? words[1].toUShort(&ok) : 0;
        return ok && m_port != 0;
    }
    QByteArray Output() const { return m_output; }
    quint16 Port() const { return m_port; }
    QJsonArray Requests()
    {
        QFile file(m_report);
        if (!file.open(QIODevice::ReadOnly))
            return QJsonArray();
        return QJsonDocument::fromJson(file.readAll()).array();
    }
    ~Server()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QString m_report;
    QByteArray m_output;
    quint16 m_port = 0;
};

#define START_SERVER(server, mode, dir)                                                                              \
    QVERIFY2((server).Start(mode, dir),                                                                                \
             qPrintable(QStringLiteral("printer server did not start: ") + QString::fromUtf8((server).Output())))

} // namespace

class PrinterUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void url_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("url");
        QTest::newRow("30091") << "30091" << "http://10.0.0.5:30091/goform/ColorMeasuring_en.html";
        QTest::newRow("80") << "80" << "http://10.0.0.5/goform/ColorMeasuring_en.html";
        QTest::newRow("empty") << "" << "http://10.0.0.5/goform/ColorMeasuring_en.html";
        QTest::newRow("blank around") << " 30091" << "http://10.0.0.5/goform/ColorMeasuring_en.html";
    }
    void url()
    {
        QFETCH(QString, port);
        QFETCH(QString, url);
        QCOMPARE(CMeasureDataPrinterSave::UploadUrl(QStringLiteral("10.0.0.5"), port), url);
    }

    void refusals()
    {
        QTemporaryDir dir;
        CMeasureDataPrinterSave saver;
        QSignalSpy spy(&saver, &CMeasureDataPrinterSave::Finished);
        QVERIFY(!saver.Send(QStringLiteral("127.0.0.1"), QStringLiteral("30091"), QStringLiteral("pw"),
                            dir.filePath("missing.txt")));
        // Nothing listens on port 1; the first upload stays pending while a second one is refused.
        const QString path = WriteFile(dir, "a.txt", "data");
        QVERIFY(saver.Send(QStringLiteral("127.0.0.1:1"), QString(), QStringLiteral("pw"), path));
        QVERIFY(!saver.Send(QStringLiteral("127.0.0.1:1"), QString(), QStringLiteral("pw"), path));
        QVERIFY(spy.wait(15000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(spy.count(), 1);
        QVERIFY(spy.at(0).at(0).toInt() != 0);
        QCOMPARE(spy.at(0).at(1).toInt(), 0);
    }

    void authenticationAnswersThreeTimes()
    {
        QTemporaryDir dir;
        const QString path = WriteFile(dir, "a.txt", "data");
        CMeasureDataPrinterSave saver;
        QAuthenticator authenticator;
        int answered = 0;
        for (int i = 0; i < 4; ++i) {
            authenticator.setUser(QString());
            saver.onAuthenticationRequired(nullptr, &authenticator);
            answered += authenticator.user() == QLatin1String("admin");
        }
        QCOMPARE(answered, 3);
        // A new upload starts counting again (nothing listens on port 1).
        QSignalSpy spy(&saver, &CMeasureDataPrinterSave::Finished);
        QVERIFY(saver.Send(QStringLiteral("127.0.0.1:1"), QString(), QStringLiteral("secret"), path));
        authenticator.setUser(QString());
        saver.onAuthenticationRequired(nullptr, &authenticator);
        QCOMPARE(authenticator.user(), QStringLiteral("admin"));
        QCOMPARE(authenticator.password(), QStringLiteral("secret"));
        QVERIFY(spy.wait(15000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void replySentences_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("success") << "sentence0" << 0 << QString();
        QTest::newRow("failure") << "sentence1" << 1 << "Failed to write data.";
        QTest::newRow("too large") << "sentence2" << 2 << "Data size is too large.";
        QTest::newRow("characters") << "sentence3" << 3 << "Cannot insert characters.";
        QTest::newRow("limit") << "sentence4" << 4 << "Exceeded the limit of registration data.";
        QTest::newRow("none") << "none" << 5 << "Access Error";
        QTest::newRow("success and failure") << "both" << 0 << QString();
        QTest::newRow("success at position 0") << "first" << 0 << QString();
    }
    void replySentences()
    {
        QFETCH(QString, mode);
        QFETCH(int, result);
        QFETCH(QString, message);
        QTemporaryDir dir;
        Server server;
        START_SERVER(server, mode, dir);
        const Outcome outcome = Upload(WriteFile(dir, "m.txt", "ORIGINATOR\r\n"), server.Port());
        QCOMPARE(outcome.emitted, 1);
        QCOMPARE(outcome.error, 0);
        QCOMPARE(outcome.result, result);
        if (result != 0)
            QCOMPARE(outcome.message, message);
    }

    void formAsReceived_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mime");
        QTest::addColumn<QByteArray>("escaped");
        QTest::newRow("txt") << "data.txt" << "text/plain" << QByteArray("data.txt");
        QTest::newRow("mdz") << "data.mdz" << "application/octet-stream" << QByteArray("data.mdz");
        QTest::newRow("quote, CR, LF, umlaut") << QString::fromUtf8("a\"b\rc\nü.txt") << "text/plain"
                                               << QByteArray("a%22b%0Dc%0A\xC3\xBC.txt");
    }
    void formAsReceived()
    {
        QFETCH(QString, name);
        QFETCH(QString, mime);
        QFETCH(QByteArray, escaped);
        QTemporaryDir dir;
        const QByteArray content = QByteArray("\xA0\x86\x05 binary \x00 bytes", 18);
        const QString path = WriteFile(dir, name, content);
        QVERIFY(!path.isEmpty());
        Server server;
        START_SERVER(server, QStringLiteral("sentence0"), dir);
        const Outcome outcome = Upload(path, server.Port());
        QCOMPARE(outcome.result, 0);
        const QJsonArray requests = server.Requests();
        QCOMPARE(requests.size(), 1);
        const QJsonObject request = requests.at(0).toObject();
        QCOMPARE(request.value("path").toString(), QStringLiteral("/goform/ColorMeasuring_en.html"));
        const QJsonArray parts = request.value("parts").toArray();
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts.at(0).toObject().value("name").toString(), QStringLiteral("filename"));
        QCOMPARE(QByteArray::fromBase64(parts.at(0).toObject().value("body_b64").toString().toLatin1()), name.toUtf8());
        const QJsonObject file = parts.at(1).toObject();
        QCOMPARE(file.value("name").toString(), QStringLiteral("fname"));
        QCOMPARE(file.value("content_type").toString(), mime);
        QCOMPARE(QByteArray::fromBase64(file.value("body_b64").toString().toLatin1()), content);
        QVERIFY2(file.value("filename_raw").toString().toUtf8().contains("filename=\"" + escaped + "\""),
                 qPrintable(file.value("filename_raw").toString()));
    }

    void alwaysUnauthorized()
    {
        QTemporaryDir dir;
        Server server;
        START_SERVER(server, QStringLiteral("unauthorized"), dir);
        const Outcome outcome = Upload(WriteFile(dir, "m.txt", "x"), server.Port());
        QCOMPARE(outcome.emitted, 1);
        QCOMPARE(outcome.error, 204);
        QCOMPARE(outcome.result, 9);
        QCOMPARE(outcome.message, QStringLiteral("Authenticator Error"));
        int withAuthorization = 0;
        for (const QJsonValue &value : server.Requests()) {
            const QJsonObject headers = value.toObject().value("headers").toObject();
            for (auto it = headers.begin(); it != headers.end(); ++it) {
                if (it.key().compare(QLatin1String("Authorization"), Qt::CaseInsensitive) == 0) {
                    ++withAuthorization;
                    QCOMPARE(it.value().toString(), QStringLiteral("Basic ") + QByteArray("admin:pw").toBase64());
                }
            }
        }
        QVERIFY(withAuthorization >= 1);
    }

    void transportFailures()
    {
        QTemporaryDir dir;
        const QString path = WriteFile(dir, "m.txt", "x");
        {
            Server server;
            START_SERVER(server, QStringLiteral("close"), dir);
            const Outcome outcome = Upload(path, server.Port());
            QCOMPARE(outcome.emitted, 1);
            QVERIFY(outcome.error != 0);
            QCOMPARE(outcome.result, 0);
        }
        // Refused: nothing listens on a port just released.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString port = QString::number(probe.serverPort());
        probe.close();
        CMeasureDataPrinterSave saver;
        QSignalSpy spy(&saver, &CMeasureDataPrinterSave::Finished);
        QVERIFY(saver.Send(QStringLiteral("127.0.0.1:") + port, QString(), QStringLiteral("pw"), path));
        QVERIFY(spy.wait(15000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(QNetworkReply::ConnectionRefusedError));
        QCOMPARE(spy.at(0).at(1).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(PrinterUploadTest)
#include "test_printerupload.moc"
