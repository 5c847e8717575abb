#include "app/messagetables.h"

#include <QCoreApplication>
#include <QSet>
#include <QTranslator>
#include <QtTest>

namespace {

// Marks every text it is asked for, so a test sees which texts went through the translator and in which context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char * = nullptr, int = -1) const override
    {
        return QStringLiteral("<%1>").arg(QLatin1String(context)) + QString::fromLatin1(sourceText);
    }
    bool isEmpty() const override { return false; }
};

const QString kAdvice8 = QStringLiteral(
    "Make sure that the chart and selected defined chart satisfy recommended chart conditions and check the printing "
    "conditions, and then try taking the measurement again.  If the condition persists, contact the nearest VELMAR "
    "OSTRAND authorized service facility.");

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    // Runs first: nothing has built the tables yet.
    void lookupBeforeBuild();
    void tableOne();
    void quirkTexts_data();
    void quirkTexts();
    void unknownCodes_data();
    void unknownCodes();
    void matchingWarnings();
    void recognitionErrors();
    void translatedAndRebuilt();
};

void TestMessages::lookupBeforeBuild()
{
    QVERIFY(ErrorMessageTable().isEmpty());
    const ErrorMessageRecord record = FindMessageRecord(2);
    QCOMPARE(record.code, 2);
    QCOMPARE(record.text, QStringLiteral("Failed to save the file."));
    QCOMPARE(record.flag, 1);
    const ErrorMessageRecord unknown = FindMessageRecord(400);
    QCOMPARE(unknown.code, 61);
    QCOMPARE(unknown.text, QStringLiteral("Unknown error has occurred."));
    QCOMPARE(unknown.icon, int(MessageIconCritical));
    QCOMPARE(FindRecognitionErrorRecord(6).message, QStringLiteral("Chart is too long."));
    QCOMPARE(FindMatchingWarningRecord(1).code, 0);
}

void TestMessages::tableOne()
{
    BuildMessageTables();
    const QList<ErrorMessageRecord> &table = ErrorMessageTable();
    QCOMPARE(table.size(), 62);
    const QSet<int> information{0, 2, 3, 5, 7, 9, 10, 33};
    const QSet<int> critical{54, 61};
    const QSet<int> flagged{2, 4, 20, 21, 22, 25, 31, 52, 54, 60, 61};
    for (int i = 0; i < table.size(); ++i) {
        const ErrorMessageRecord &record = table.at(i);
        QCOMPARE(record.code, i);
        const int icon = information.contains(i) ? 1 : critical.contains(i) ? 3 : 2;
        QVERIFY2(record.icon == icon, qPrintable(QString::number(i)));
        QVERIFY2(record.flag == (flagged.contains(i) ? 1 : 0), qPrintable(QString::number(i)));
        QVERIFY2(i == 0 || !record.text.isEmpty(), qPrintable(QString::number(i)));
    }
    QVERIFY(table.at(0).text.isEmpty());
    // Message 35 and recognition error 6 say the same thing.
    QCOMPARE(table.at(35).text, FindRecognitionErrorRecord(6).message);
}

void TestMessages::quirkTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("17 trailing blank") << 17 << QStringLiteral("Failed to save measurement data to printer. ");
    QTest::newRow("51 line break")
        << 51 << QStringLiteral("Check remaining disk free space.\nCheck whether disk is write-protected.");
    QTest::newRow("52 line break") << 52
                                   << QStringLiteral("reached the maximum number.\nPlease create a new data group.");
    QTest::newRow("53 line break") << 53
                                   << QStringLiteral("reached the maximum number of chart definition data.\nPlease "
                                                     "register a new chart after deleting other chart.");
    QTest::newRow("18") << 18
                        << QStringLiteral("The number of patch areas exceeds 50. Please delete patch areas so number "
                                          "is 50 or less.");
    QTest::newRow("59") << 59
                        << QStringLiteral("In order to output the measurement data, one or more measurement "
                                          "conditions need to be enabled.");
}

void TestMessages::quirkTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(FindMessageRecord(code).text, text);
}

void TestMessages::unknownCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("62") << 62;
    QTest::newRow("75") << 75;
    QTest::newRow("-1") << -1;
}

void TestMessages::unknownCodes()
{
    QFETCH(int, code);
    const ErrorMessageRecord record = FindMessageRecord(code);
    QCOMPARE(record.code, 61);
    QCOMPARE(record.text, QStringLiteral("Unknown error has occurred."));
    QCOMPARE(record.icon, int(MessageIconCritical));
}

void TestMessages::matchingWarnings()
{
    QCOMPARE(MatchingWarningTable().size(), 3);
    const MessageAdviceRecord two = FindMatchingWarningRecord(2);
    const MessageAdviceRecord three = FindMatchingWarningRecord(3);
    const MessageAdviceRecord four = FindMatchingWarningRecord(4);
    QCOMPARE(two.code, 2);
    QVERIFY(two.message.startsWith(QLatin1String("The number of rows or columns")));
    QCOMPARE(two.advice, three.advice);
    QCOMPARE(three.message, four.message);
    QCOMPARE(three.advice, four.advice);
    QCOMPARE(four.code, 4);
    QVERIFY(two.message != three.message);
    for (int code : {1, 5, 0}) {
        const MessageAdviceRecord none = FindMatchingWarningRecord(code);
        QVERIFY(none.message.isEmpty() && none.advice.isEmpty());
        QCOMPARE(none.code, 0);
    }
}

void TestMessages::recognitionErrors()
{
    const QList<MessageAdviceRecord> &table = RecognitionErrorTable();
    QCOMPARE(table.size(), 11);
    for (int code = 1; code <= 11; ++code)
        QCOMPARE(FindRecognitionErrorRecord(code).code, code);
    for (int code : {0, 12}) {
        const MessageAdviceRecord none = FindRecognitionErrorRecord(code);
        QVERIFY(none.message.isEmpty() && none.advice.isEmpty());
        QCOMPARE(none.code, 0);
    }
    QCOMPARE(FindRecognitionErrorRecord(3).message,
             QStringLiteral("Chart  content does not match selected defined chart."));
    QCOMPARE(FindRecognitionErrorRecord(3).advice, FindRecognitionErrorRecord(2).advice);
    QCOMPARE(FindRecognitionErrorRecord(8).advice, kAdvice8);
    QCOMPARE(FindRecognitionErrorRecord(9).advice, FindMessageRecord(51).text);
    const QString advice1 = FindRecognitionErrorRecord(1).advice;
    QVERIFY(advice1.contains(
        QStringLiteral("selecting \"Do not display warning about definition data color information\" in the")));
    QVERIFY(advice1.endsWith(QStringLiteral("(See \"Settings Dialog: Measurement Option tab\" in the instruction "
                                            "manual.)")));
    QCOMPARE(FindRecognitionErrorRecord(1).message,
             QStringLiteral("Patch color/density does not match selected defined chart.\nCheck measurement points. "
                            "If they are correct, continue with measurement."));
}

void TestMessages::translatedAndRebuilt()
{
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    BuildMessageTables();
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(ErrorMessageTable().size(), 62);
    QCOMPARE(FindMessageRecord(3).text, QStringLiteral("<QObject>Failed to load the file."));
    QCOMPARE(FindMatchingWarningRecord(4).message.left(9), QStringLiteral("<QObject>"));
    QCOMPARE(FindRecognitionErrorRecord(11).advice.left(9), QStringLiteral("<QObject>"));
    QCOMPARE(FindRecognitionErrorRecord(11).message, QStringLiteral("<QObject>Unexpected error"));

    // Built again without the translator: replaced, not appended.
    BuildMessageTables();
    QCOMPARE(ErrorMessageTable().size(), 62);
    QCOMPARE(MatchingWarningTable().size(), 3);
    QCOMPARE(RecognitionErrorTable().size(), 11);
    QCOMPARE(FindMessageRecord(3).text, QStringLiteral("Failed to load the file."));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
