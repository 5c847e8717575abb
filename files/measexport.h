#pragma once
// What the measurement writers share besides the CIODataFile members: dates, the paper-white fallback, counts
// and the atomic file writes.

#include "app/constants.h"
#include "app/records.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <string>

class CIODataFileHost;

namespace MeasureExport {

// The maker every exported file names.
extern const QString kMaker;

// The creation text "yyyy/MM/dd hh:mm:ss" as local time; invalid when it does not parse.
QDateTime ParseCreateTime(const QString &createTime);
// Local date and time with its offset ("+09:00", "Z" for UTC); empty when the text does not parse.
QString IsoDateWithOffset(const QString &createTime);

// Density relative to paper needs a paper white; without one the whole file goes absolute.
Setting::MeasureConditionSetting ApplyPaperWhiteFallback(CIODataFileHost *host,
                                                         const Setting::MeasureConditionSetting &setting);
// What the measurement writers take from the host: the conditions after the paper-white fallback, the user
// illuminants and the ink names.
struct WriterInputs {
    Setting::MeasureConditionSetting conditions;
    UserIlluminantSlots illuminants;
    InkChannelList inks;
};
WriterInputs GatherWriterInputs(CIODataFileHost *host, const Setting::MeasureConditionSetting &setting);
// The stored measured-patch counts of all pages.
int MeasuredPatchTotal(const MeasurementDataSheets &measurement);
// Colour space on and at least one of L*a*b*, L*C*h, XYZ.
bool AnyColorSpace(const Setting::MeasureConditionSetting &setting);

QByteArray Utf8WithCrLf(const QString &text);

// Longest text FormatFixed writes: 39 integer digits of the largest float, a sign, a point and 9 decimals.
constexpr int kMaxFixedText = 64;
// value with `decimals` (0-9) digits after the point, exactly as QString::number(double(value), 'f', decimals)
// writes it ("-0.00" for a small negative, "0.00" for -0, "nan", "inf"); returns the length, no terminator.
int FormatFixed(char *out, float value, int decimals);
// The decimal digits of value with a minus sign when negative; returns the length.
int FormatInt(char *out, int value);

// Bytes of an export built in place: numbers are formatted straight into it and every line ends in CR LF.
class ExportBuffer
{
public:
    void Reserve(size_t size) { m_bytes.reserve(size); }
    void Append(const char *text, size_t size) { m_bytes.append(text, size); }
    template <size_t N>
    void Append(const char (&literal)[N])
    {
        m_bytes.append(literal, N - 1);
    }
    void Append(const QByteArray &bytes) { m_bytes.append(bytes.constData(), size_t(bytes.size())); }
    void Append(char c) { m_bytes.push_back(c); }
    void AppendInt(int value);
    void AppendFixed(float value, int decimals);
    // User text as UTF-8 with each LF made a line end.
    void AppendText(const QString &text);
    // Bytes whose LFs become line ends.
    void AppendLines(const char *text, size_t size);
    void AppendLines(const QByteArray &bytes) { AppendLines(bytes.constData(), size_t(bytes.size())); }
    // CR LF; only LF after a CR the text already ends in, so a text ending in CR never doubles it.
    void LineEnd();
    size_t Size() const { return m_bytes.size(); }
    void Truncate(size_t size) { m_bytes.resize(size); }
    const char *Data() const { return m_bytes.data(); }
    // A view of the bytes, valid while the buffer lives and is not changed.
    QByteArray View() const { return QByteArray::fromRawData(m_bytes.data(), int(m_bytes.size())); }

private:
    std::string m_bytes;
};

// The cells of one data row as text, ID first; kept from row to row so building a row allocates nothing.
class RowCells
{
public:
    static constexpr int kMaxCells = 64;
    void Clear()
    {
        m_text.clear();
        m_count = 0;
    }
    // Text written to the end of the buffer becomes a cell when EndCell() is called.
    std::string &Text() { return m_text; }
    void EndCell()
    {
        if (m_count < kMaxCells)
            m_ends[m_count++] = int(m_text.size());
    }
    void AddFixed(float value, int decimals);
    void AddInt(int value);
    int Count() const { return m_count; }
    const char *Data(int i) const { return m_text.data() + Start(i); }
    int Size(int i) const { return m_ends[i] - Start(i); }
    QByteArray Cell(int i) const { return QByteArray(Data(i), Size(i)); }

private:
    int Start(int i) const { return i == 0 ? 0 : m_ends[i - 1]; }
    std::string m_text;
    int m_ends[kMaxCells] = {};
    int m_count = 0;
};

// The first failure wins; a later one never hides it.
inline void KeepFirstFailure(int *result, int code)
{
    if (*result == 0)
        *result = code;
}

} // namespace MeasureExport
