#include "app/messagetables.h"

#include <QCoreApplication>

namespace {

constexpr const char *kContext = "QObject";

struct MessageSource {
    const char *text;
    int icon;
    int flag;
};

struct AdviceSource {
    int code;
    const char *message;
    const char *advice;
};

constexpr int I = MessageIconInformation;
constexpr int W = MessageIconWarning;
constexpr int C = MessageIconCritical;

// Index = message code.
const MessageSource kMessages[kMessageCount] = {
    {"", I, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to load the application data."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to save the file."), I, 1},
    {QT_TRANSLATE_NOOP("QObject", "Failed to load the file."), I, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to connect to Orlo."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Failed to read the chart definition file."), I, 0},
    {QT_TRANSLATE_NOOP("QObject", "The length of item name is out of range."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to register Job."), I, 0},
    {QT_TRANSLATE_NOOP("QObject", "User illuminant data is not registered."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to set measurement conditions."), I, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to connect to instrument."), I, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to connect to devices via VexSDK."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to get the illuminant data via TanoSDK."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to get the illuminant data via VexSDK."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to import the illuminant data file."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to register illuminant data to OrloSDK."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to get the measurement data from instrument."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to save measurement data to printer. "), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "The number of patch areas exceeds 50. Please delete patch areas so number is 50 or less."),
     W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Network settings failed."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "A fatal error has occurred."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Cover is opened."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Paper is jammed."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Pre-scanning failed."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Measurement failed."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "No response from the sensor."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Failed to get the patch recognition results."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to get the chart image."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to get the measurement data."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "No patches found."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Patches were not measured."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Connect timeout."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Failed to detect patch positions."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "White reference patch was not found."), I, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to calculate measurement data."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Chart is too long."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to import standard file."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Incorrect value is entered."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please select at least one item."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to measure tile."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please select save location."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please enter PrintID."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please enter Printer Name."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please enter Password."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please enter the correct IP Address."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please enter the correct Port number."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Manual file does not exist."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Unusable character is included."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Same data group name already exists."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Please select the list."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "The list name cannot be blank."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Check remaining disk free space.\nCheck whether disk is write-protected."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "reached the maximum number.\nPlease create a new data group."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "reached the maximum number of chart definition data.\nPlease register a new chart "
                                  "after deleting other chart."),
     W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to allocate memory."), C, 1},
    {QT_TRANSLATE_NOOP("QObject", "Please enter Data Group."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Orlo could not be detected."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Automatic output of measurement data is failed."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "Failed to register chart."), W, 0},
    {QT_TRANSLATE_NOOP("QObject", "In order to output the measurement data, one or more measurement conditions need "
                                  "to be enabled."),
     W, 0},
    {QT_TRANSLATE_NOOP("QObject", "When QR code is added, underscore cannot be used as a chart name."), W, 1},
    {QT_TRANSLATE_NOOP("QObject", "Unknown error has occurred."), C, 1},
};

constexpr const char *kMatchingAdvice = QT_TRANSLATE_NOOP(
    "QObject", "Check the measurement points, and if their positions are correct, the warning message can be ignored "
               "and measurement continued by pressing [Measurement]. If the measurement positions were not properly "
               "detected, make sure that the chart and selected defined chart satisfy recommended chart conditions.");
constexpr const char *kMatchingAreas = QT_TRANSLATE_NOOP(
    "QObject", "The number of patch areas or patches do not match those of the selected defined chart. Check the "
               "measurement points and press [Measurement] to continue if desired.");

const AdviceSource kMatchingWarnings[] = {
    {2,
     QT_TRANSLATE_NOOP("QObject", "The number of rows or columns in the patch area do not match the selected defined "
                                  "chart. Check the measurement points and press [Measurement] to continue if "
                                  "desired."),
     kMatchingAdvice},
    {3, kMatchingAreas, kMatchingAdvice},
    {4, kMatchingAreas, kMatchingAdvice},
};

constexpr const char *kCheckPrinting = QT_TRANSLATE_NOOP(
    "QObject", "Check the selected defined chart or the orientation, scaling, margins, or printing conditions used "
               "for printing.");
constexpr const char *kRecommendedConditions = QT_TRANSLATE_NOOP(
    "QObject", "Make sure that the chart and selected defined chart satisfy recommended chart conditions and then "
               "try taking the measurement again.");

const AdviceSource kRecognitionErrors[] = {
    {1,
     QT_TRANSLATE_NOOP("QObject", "Patch color/density does not match selected defined chart.\nCheck measurement "
                                  "points. If they are correct, continue with measurement."),
     QT_TRANSLATE_NOOP("QObject", "Check measurement points. If their positions are correct, the warning can be "
                                  "ignored and measurements performed. In addition, selecting \"Do not display "
                                  "warning about definition data color information\" in the Measurement Option tab "
                                  "of the Settings dialog will cause this message to not be displayed. (See "
                                  "\"Settings Dialog: Measurement Option tab\" in the instruction manual.)")},
    {2, QT_TRANSLATE_NOOP("QObject", "Patch area size does not match selected defined chart."), kCheckPrinting},
    {3, QT_TRANSLATE_NOOP("QObject", "Chart  content does not match selected defined chart."), kCheckPrinting},
    {4, QT_TRANSLATE_NOOP("QObject", "There are too many patch areas."), kRecommendedConditions},
    {5, QT_TRANSLATE_NOOP("QObject", "There are too many patches."), kRecommendedConditions},
    {6, QT_TRANSLATE_NOOP("QObject", "Chart is too long."),
     QT_TRANSLATE_NOOP("QObject", "Use a chart paper length that is within the specified length range and try "
                                  "taking the measurement again.")},
    {7, QT_TRANSLATE_NOOP("QObject", "Chart image data could not be properly obtained."),
     QT_TRANSLATE_NOOP("QObject", "Make sure that the computer satisfies the system requirements for Varemo, and "
                                  "then reboot the computer and try taking the measurement again. If the condition "
                                  "persists, contact the nearest VELMAR OSTRAND authorized service facility.")},
    {8, QT_TRANSLATE_NOOP("QObject", "Unexpected error during image processing for patch detection."),
     QT_TRANSLATE_NOOP("QObject", "Make sure that the chart and selected defined chart satisfy recommended chart "
                                  "conditions and check the printing conditions, and then try taking the measurement "
                                  "again.  If the condition persists, contact the nearest VELMAR OSTRAND authorized "
                                  "service facility.")},
    {9, QT_TRANSLATE_NOOP("QObject", "Temporary file could not be saved to disk."),
     QT_TRANSLATE_NOOP("QObject", "Check remaining disk free space.\nCheck whether disk is write-protected.")},
    {10, QT_TRANSLATE_NOOP("QObject", "Computer memory is insufficient."),
     QT_TRANSLATE_NOOP("QObject", "Make sure that the computer satisfies the system requirements for Varemo.\nUse a "
                                  "paper size that is within the specified paper size range.")},
    {11, QT_TRANSLATE_NOOP("QObject", "Unexpected error"),
     QT_TRANSLATE_NOOP("QObject", "Switch the Orlo off for several seconds and then switch it back on and try "
                                  "taking the measurement again. If the condition persists, contact the nearest "
                                  "VELMAR OSTRAND authorized service facility.")},
};

QList<ErrorMessageRecord> g_errorMessages;
QList<MessageAdviceRecord> g_matchingWarnings;
QList<MessageAdviceRecord> g_recognitionErrors;

QString translated(const char *text)
{
    // The empty text of code 0 stays empty whatever a translator makes of "".
    return *text ? QCoreApplication::translate(kContext, text) : QString();
}

ErrorMessageRecord messageRecord(int code, bool translate)
{
    const MessageSource &source = kMessages[code];
    return {translate ? translated(source.text) : QString::fromLatin1(source.text), source.icon, source.flag, code};
}

MessageAdviceRecord adviceRecord(const AdviceSource &source, bool translate)
{
    if (translate)
        return {translated(source.message), translated(source.advice), source.code};
    return {QString::fromLatin1(source.message), QString::fromLatin1(source.advice), source.code};
}

template <std::size_t N>
MessageAdviceRecord findAdvice(const QList<MessageAdviceRecord> &table, const AdviceSource (&sources)[N], int code)
{
    if (!table.isEmpty()) {
        for (const MessageAdviceRecord &record : table)
            if (record.code == code)
                return record;
        return {};
    }
    for (const AdviceSource &source : sources)
        if (source.code == code)
            return adviceRecord(source, false);
    return {};
}

} // namespace

const QList<ErrorMessageRecord> &ErrorMessageTable()
{
    return g_errorMessages;
}

const QList<MessageAdviceRecord> &MatchingWarningTable()
{
    return g_matchingWarnings;
}

const QList<MessageAdviceRecord> &RecognitionErrorTable()
{
    return g_recognitionErrors;
}

void BuildMessageTables()
{
    QList<ErrorMessageRecord> messages;
    for (int code = 0; code < kMessageCount; ++code)
        messages.append(messageRecord(code, true));
    QList<MessageAdviceRecord> matching;
    for (const AdviceSource &source : kMatchingWarnings)
        matching.append(adviceRecord(source, true));
    QList<MessageAdviceRecord> recognition;
    for (const AdviceSource &source : kRecognitionErrors)
        recognition.append(adviceRecord(source, true));
    g_errorMessages = messages;
    g_matchingWarnings = matching;
    g_recognitionErrors = recognition;
}

ErrorMessageRecord FindMessageRecord(int code)
{
    if (code < 0 || code >= kMessageCount)
        code = kUnknownErrorMessage;
    if (g_errorMessages.size() == kMessageCount)
        return g_errorMessages.at(code);
    return messageRecord(code, false);
}

MessageAdviceRecord FindMatchingWarningRecord(int code)
{
    return findAdvice(g_matchingWarnings, kMatchingWarnings, code);
}

MessageAdviceRecord FindRecognitionErrorRecord(int code)
{
    return findAdvice(g_recognitionErrors, kRecognitionErrors, code);
}
