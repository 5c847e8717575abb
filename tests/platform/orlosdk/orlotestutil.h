#pragma once
// Shared pieces of the simulated chart-scanner tests: a recording event handler and sheet builders.

#include "OrloSim.h"

#include <QByteArray>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

struct RecordedEvent {
    int code, value, count;
};

// Events seen by the handler; the handler itself only records (tests add reactions through `reaction`).
struct EventLog {
    static QVector<RecordedEvent>& events()
    {
        static QVector<RecordedEvent> e;
        return e;
    }
    static void (*&reaction())(int, int, int)
    {
        static void (*r)(int, int, int) = nullptr;
        return r;
    }
    static void Handler(int code, int value, void* data, int count)
    {
        Q_UNUSED(data);
        events().push_back({code, value, count});
        if (reaction())
            reaction()(code, value, count);
    }
    static QVector<int> codes()
    {
        QVector<int> c;
        for (const RecordedEvent& e : events())
            c.push_back(e.code);
        return c;
    }
};

// A sheet record as the program writes it: "Orlo" and "0000" preset.
inline QByteArray MakeSheetRecord(const char* chartCode, int sheets, int sheetNumber, const QVector<int>& areaTriples,
                                  const QByteArray& text, quint32 word0 = 0)
{
    char r[ORLO_SHEET_RECORD_SIZE] = {};
    std::memcpy(r, "Orlo0000", 8);
    std::memcpy(r + 8, chartCode, std::min<size_t>(16, std::strlen(chartCode)));
    const qint32 areaCount = areaTriples.size() / 3;
    int patches = 0;
    for (int i = 0; i < areaCount; ++i)
        patches += areaTriples[3 * i + 2];
    const qint32 ints[4] = {sheets, sheetNumber, patches, areaCount};
    std::memcpy(r + 24, ints, 16);
    for (int i = 0; i < areaTriples.size(); ++i) {
        const qint32 v = areaTriples[i];
        std::memcpy(r + 40 + 4 * i, &v, 4);
    }
    const quint32 words[4] = {word0, 0xabcdefu, 0, 0xffffffffu};
    std::memcpy(r + 640, words, 16);
    std::memcpy(r + 660, text.constData(), size_t(std::min(text.size(), 512)));
    return QByteArray(r, ORLO_SHEET_RECORD_SIZE);
}

// One area of rows x columns patches, patch size and pitch in 0.01 mm.
inline OrloSimArea Area(int rows, int columns, int left, int top, int size, int pitch)
{
    return OrloSimArea{rows, columns, left, top, size, size, pitch, pitch};
}

// Distinct inks per patch so touching neighbours differ.
inline std::vector<float> DistinctInks(int patches)
{
    std::vector<float> inks;
    for (int i = 0; i < patches; ++i) {
        inks.push_back(0.2f + 0.6f * float(i % 3) / 2.0f);
        inks.push_back(0.2f + 0.6f * float((i / 3) % 3) / 2.0f);
        inks.push_back(i % 2 ? 0.7f : 0.1f);
        inks.push_back(0.0f);
    }
    return inks;
}
