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

// A one-strip 8-bit TIFF written byte by byte, so that it may claim any size and resolution: C, M, Y, K and a spot
// ink (separated) or R, G, B, with the resolution numerator / denominator per inch, followed by `dataBytes` pixel
// bytes of 0, however many the size asks for.
inline QByteArray HandMadeTiff(quint32 width, quint32 height, bool separated, quint32 dpiNumerator,
                               quint32 dpiDenominator, qint64 dataBytes)
{
    struct Entry {
        quint16 tag, type;
        quint32 count, value;
    };
    const quint16 samples = separated ? 5 : 3;
    const quint32 entries = separated ? 14 : 13;
    const quint32 bitsAt = 8 + 2 + entries * 12 + 4, xresAt = bitsAt + 2 * samples, yresAt = xresAt + 8,
                  dataAt = yresAt + 8;
    const quint64 full = quint64(width) * height * samples;
    QVector<Entry> ifd = {{256, 4, 1, width}, {257, 4, 1, height}, {258, 3, samples, bitsAt}, {259, 3, 1, 1},
                          {262, 3, 1, separated ? 5u : 2u}, {273, 4, 1, dataAt}, {277, 3, 1, samples},
                          {278, 4, 1, height}, {279, 4, 1, quint32(std::min<quint64>(full, 0xffffffffu))},
                          {282, 5, 1, xresAt}, {283, 5, 1, yresAt}, {284, 3, 1, 1}, {296, 3, 1, 2}};
    if (separated)
        ifd.push_back({338, 3, 1, 0});
    QByteArray b;
    const auto u16 = [&b](quint32 v) {
        b.append(char(v & 0xff));
        b.append(char((v >> 8) & 0xff));
    };
    const auto u32 = [&u16](quint32 v) {
        u16(v & 0xffff);
        u16(v >> 16);
    };
    b.append("II*\0", 4); // little-endian, version 42
    u32(8);
    u16(quint32(ifd.size()));
    for (const Entry& e : ifd) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        u32(e.value); // a single SHORT sits in the low half, little-endian
    }
    u32(0);
    for (int i = 0; i < samples; ++i)
        u16(8);
    for (int i = 0; i < 2; ++i) {
        u32(dpiNumerator);
        u32(dpiDenominator);
    }
    b.append(QByteArray(int(dataBytes), '\0'));
    return b;
}
