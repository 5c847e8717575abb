// The language choice file, the translation file name and the language list, and a translation reaching the
// message tables through the program's start-up.
#include "app/language.h"
#include "app/messagetables.h"
#include "app/startup.h"
#include "app/storeconventions.h"
#include "app/widgets/uipresenter.h"
#include "qtsingleapplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

namespace {

// Window boxes of a run show nothing, so none can block it.
class QuietPresenter : public CUiPresenter
{
public:
    void ShowRecord(QWidget *, const RecordBox &) override {}
};
QuietPresenter g_quiet;

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QTemporaryDir m_program;

private slots:
    void init()
    {
        // A fresh data root for every case.
        qputenv("XDG_DATA_HOME", (m_home.path() + QLatin1Char('/') + QString(QTest::currentTestFunction()) +
                                  QLatin1Char('/') + QString(QTest::currentDataTag()))
                                     .toLocal8Bit());
        QDir().mkpath(AppDataDir());
    }

    void choiceFile_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("code");
        QTest::newRow("missing") << false << QByteArray() << QStringLiteral("eng");
        QTest::newRow("empty") << true << QByteArray() << QString();
        QTest::newRow("word") << true << QByteArray("jpn") << QStringLiteral("jpn");
        QTest::newRow("first word") << true << QByteArray("  fra\nspa\n") << QStringLiteral("fra");
    }

    void choiceFile()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        QFETCH(QString, code);
        if (present)
            WriteFile(CLanguage::ChoiceFilePath(), content);
        CLanguage language(nullptr, m_program.path());
        QCOMPARE(language.GetLanguageCode(), code);
        QCOMPARE(language.GetDefaultLanguageCode(), QStringLiteral("eng"));
        const QString expected = m_program.path() + QStringLiteral("/") + QCoreApplication::applicationName() +
                                 QStringLiteral("_") + code;
        QCOMPARE(language.GetTranslationFileName(), expected);
        if (code.isEmpty()) {
            // "Varemo_" names no translation, so none would be installed.
            QVERIFY(language.GetTranslationFileName().endsWith(QLatin1Char('_')));
            QTranslator translator;
            QVERIFY(!translator.load(language.GetTranslationFileName(), QString(), QString(), QString()));
        }
    }

    void writeThenRead()
    {
        CLanguage language(nullptr, m_program.path());
        language.SetLanguageCode(QStringLiteral("cl3"));
        QVERIFY(language.Write());
        QCOMPARE(ReadFile(CLanguage::ChoiceFilePath()), QByteArray("cl3"));
        language.SetLanguageCode(QStringLiteral("de"));
        language.Read();
        QCOMPARE(language.GetLanguageCode(), QStringLiteral("cl3"));

        // A directory where the file must be written.
        QFile::remove(CLanguage::ChoiceFilePath());
        QDir().mkpath(CLanguage::ChoiceFilePath());
        QVERIFY(!language.Write());
    }

    void languageList()
    {
        QTemporaryDir program;
        for (const char *name : {"Varemo_jpn.qm", "Varemo_cl1.qm", "Varemo_jpn.ts", "Other_fra.qm"})
            WriteFile(program.path() + QLatin1Char('/') + QLatin1String(name), QByteArray("x"));
        CLanguage language(nullptr, program.path());
        QCOMPARE(language.GetLanguageList(),
                 QStringList({QStringLiteral("ja(Japanese):jpn"), QStringLiteral("Custom Language1:cl1")}));
    }

    void translationReachesMessageTables()
    {
        QTemporaryDir program;
        QVERIFY(QFile::copy(QStringLiteral(FIXTURE_QM), program.path() + QStringLiteral("/Varemo_cl2.qm")));
        WriteFile(CLanguage::ChoiceFilePath(), QByteArray("cl2"));

        QString shownAfterStart;
        QStringList list;
        CUiPresenter::Install(&g_quiet);
        const int code = RunApplication(
            *qobject_cast<QtSingleApplication *>(qApp), [](int, const ErrorMessageRecord &) {},
            [&](int step) {
                if (step != kStepEventLoop)
                    return;
                shownAfterStart = FindMessageRecord(2).text;
                list = CLanguage(nullptr, program.path()).GetLanguageList();
                QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            },
            program.path());
        CUiPresenter::Install(nullptr);
        QCOMPARE(code, 0);
        QCOMPARE(shownAfterStart, QStringLiteral("Die Datei konnte nicht gespeichert werden."));
        QCOMPARE(list, QStringList(QStringLiteral("Custom Language2:cl2")));
        // The translator went with the run.
        BuildMessageTables();
        QCOMPARE(FindMessageRecord(2).text, QStringLiteral("Failed to save the file."));
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QtSingleApplication app(QStringLiteral("VaremoLanguageTest"), argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
    QCoreApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));
    TestLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_language.moc"
