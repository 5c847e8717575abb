#pragma once
// The numbered messages the windows show, the chart-matching warnings and the chart-recognition errors.
// Built once after the translator is installed; every text passes through it in the "QObject" context.

#include <QList>
#include <QString>

// Icon values as the message box numbers them (kept here as ints: the core has no widgets).
enum MessageIcon { MessageIconInformation = 1, MessageIconWarning = 2, MessageIconCritical = 3 };

constexpr int kMessageCount = 62;       // codes 0-61
constexpr int kUnknownErrorMessage = 61; // what an unknown code shows
constexpr int kOutOfMemoryMessage = 54;

struct ErrorMessageRecord {
    QString text;
    int icon = MessageIconInformation;
    int flag = 0; // shown even while the chart scanner is busy measuring
    int code = 0;
};

struct MessageAdviceRecord {
    QString message;
    QString advice;
    int code = 0;
};

// The three tables as built; empty until BuildMessageTables ran.
const QList<ErrorMessageRecord> &ErrorMessageTable();
const QList<MessageAdviceRecord> &MatchingWarningTable();   // codes 2-4
const QList<MessageAdviceRecord> &RecognitionErrorTable();  // codes 1-11

// (Re)builds the three tables with the installed translator.
void BuildMessageTables();

// A copy of the record with that code; an unknown code gives record 61. Before the tables are built the
// untranslated record is given, so an early failure can still be shown.
ErrorMessageRecord FindMessageRecord(int code);
// A copy of the record with that code; two empty texts and code 0 when there is none.
MessageAdviceRecord FindMatchingWarningRecord(int code);
MessageAdviceRecord FindRecognitionErrorRecord(int code);
