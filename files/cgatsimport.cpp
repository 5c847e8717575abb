// Chart import from CGATS text: the general reader, the tab-separated variant of one profiling tool, the two
// second stages that get the layout from the user, and the helpers the XML layouts with a CGATS block share.
//
// The readers take a file in one read and split each line once; tokens are views into that text, and only a
// number that is not a plain decimal is copied for the full conversion.

#include "files/iodatafile.h"
#include "files/parsehelpers.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringView>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

using ChartDefinitionData::AreaPlacement;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kFieldSlots = 10;
constexpr int kIdField = 0;
constexpr int kNameField = 1;
constexpr int kFirstColorField = 2;
constexpr int kMaxPatchId = 9999;
constexpr int kDefaultPatchSize = 600;
constexpr int kMargin = 500;
constexpr int kPageFrame = 1000;
constexpr int kColumnGroups = 10;
constexpr int kLetters = 26;

const QRegularExpression &WhiteSpace()
{
    static const QRegularExpression expression(QStringLiteral("\\s+"));
    return expression;
}

AreaPlacement Geometry(int width, int height)
{
    AreaPlacement g;
    g.LeftTopX = kMargin;
    g.LeftTopY = kMargin;
    g.PatchWidth = width;
    g.PatchHeight = height;
    g.PatchWidthGap = width;
    g.PatchHeightGap = height;
    return g;
}

// A page of columns x rows patches plus the 5 mm margins; false when it does not fit an int.
bool PageTemplate(int patchWidth, int patchHeight, int columns, int rows, Sheet *page)
{
    *page = Sheet();
    return FitsInt(qint64(patchWidth) * columns + kPageFrame, &page->Width) &&
           FitsInt(qint64(patchHeight) * rows + kPageFrame, &page->Height);
}

void ResetChart(ChartDefinitionDataSheets *chart)
{
    ClearChartDefinitionData(chart);
    chart->Diameter = 1;
    chart->Recog = ChartDefinitionData::RecogCombine;
}

unsigned PageCount(int pages)
{
    return pages < 1 ? 0u : unsigned(pages);
}

// The value after keyword on the next line that starts with it; the two separator kinds split alike.
template <typename Separator>
QString KeywordValueInStream(QTextStream &stream, const QString &keyword, const Separator &separator)
{
    while (!stream.atEnd()) {
        const QStringList tokens = stream.readLine().split(separator, Qt::SkipEmptyParts);
        if (!tokens.isEmpty() && tokens.first() == keyword)
            return tokens.value(1);
    }
    return QString();
}

// ---- Text, lines and tokens -------------------------------------------------------------------------------
//
// A text is read through a view type: QLatin1String over the file's bytes when they are pure ASCII and the
// system codec maps ASCII to itself (the decoded text would hold the same characters), QStringView over the
// decoded text otherwise.

// A CGATS file as read: its bytes, or, unless they can be read as they are, the text decoded from them in the
// system's codec with a byte-order mark honoured, as a text stream reads it.
struct CgatsFile {
    QByteArray bytes;
    QString decoded;
    bool ascii = false;
};

bool ReadCgatsFile(const QString &path, CgatsFile *file)
{
    QFile device(path);
    // Not in text mode: that would drop lone CRs, which end lines here.
    if (!device.open(QIODevice::ReadOnly))
        return false;
    file->bytes = device.readAll();
    uchar high = 0;
    for (const char byte : qAsConst(file->bytes))
        high |= uchar(byte);
    static const char kAscii[] = "\t\n\v\f\r !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                 "abcdefghijklmnopqrstuvwxyz{|}~";
    const QTextCodec *codec = QTextCodec::codecForLocale();
    file->ascii = high < 0x80 && codec && codec->toUnicode(kAscii) == QLatin1String(kAscii);
    if (!file->ascii) {
        QTextStream stream(file->bytes);
        file->decoded = stream.readAll();
        file->bytes.clear();
    }
    return true;
}

QString ToQString(QStringView text)
{
    return text.toString();
}

QString ToQString(QLatin1String text)
{
    return QString(text);
}

// The blanks that QString::simplified() folds: where header lines and data rows split.
inline bool IsBlank(ushort c)
{
    return c < 0x80 ? c == ' ' || (c >= '\t' && c <= '\r') : QChar::isSpace(uint(c));
}

// The blanks of the "\s+" separator expression: ASCII only.
inline bool IsAsciiBlank(ushort c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsTab(ushort c)
{
    return c == '\t';
}

// Line after line of a text. A file ends its lines with LF, CR LF or a lone CR; a stream that a caller hands in
// only with LF, one CR before it dropped, as QTextStream::readLine reads it.
template <typename View>
class LineReader
{
public:
    LineReader(View text, bool crEndsLine) : m_text(text), m_crEndsLine(crEndsLine) {}
    bool AtEnd() const { return m_at >= m_text.size(); }
    void Rewind() { m_at = 0; }
    View Text() const { return m_text; }
    View ReadLine()
    {
        const qsizetype size = m_text.size();
        const qsizetype start = m_at;
        qsizetype i = start;
        if (m_crEndsLine) {
            while (i < size && m_text.at(i).unicode() != '\n' && m_text.at(i).unicode() != '\r')
                ++i;
            const bool crLf = i + 1 < size && m_text.at(i).unicode() == '\r' && m_text.at(i + 1).unicode() == '\n';
            m_at = i + (crLf ? 2 : 1);
            return m_text.mid(start, i - start);
        }
        while (i < size && m_text.at(i).unicode() != '\n')
            ++i;
        m_at = i + 1;
        const qsizetype end = i > start && m_text.at(i - 1).unicode() == '\r' ? i - 1 : i;
        return m_text.mid(start, end - start);
    }

private:
    View m_text;
    qsizetype m_at = 0;
    bool m_crEndsLine;
};

// Calls add(start, end) for the tokens between the runs of blanks of line, at most limit of them.
template <typename View, typename Blank, typename Add>
void ForEachToken(View line, Blank blank, int limit, Add add)
{
    const qsizetype size = line.size();
    qsizetype i = 0;
    for (int n = 0; n < limit; ++n) {
        while (i < size && blank(line.at(i).unicode()))
            ++i;
        if (i == size)
            return;
        const qsizetype start = i;
        while (i < size && !blank(line.at(i).unicode()))
            ++i;
        add(start, i);
    }
}

// Calls add(start, end) for the tab-separated fields of line, empty ones too, at most limit of them.
template <typename View, typename Add>
void ForEachTabField(View line, int limit, Add add)
{
    const qsizetype size = line.size();
    qsizetype start = 0;
    for (int n = 0; n < limit; ++n) {
        qsizetype end = start;
        while (end < size && !IsTab(line.at(end).unicode()))
            ++end;
        add(start, end);
        if (end == size)
            return;
        start = end + 1;
    }
}

// Reads on to the next line whose first token (between runs of separators) is keyword and gives its second
// token; empty at the end.
template <typename View, typename Separator>
View KeywordValueInLines(LineReader<View> &lines, QLatin1String keyword, Separator separator)
{
    while (!lines.AtEnd()) {
        const View line = lines.ReadLine();
        View tokens[2] = {line.mid(0, 0), line.mid(0, 0)};
        int n = 0;
        ForEachToken(line, separator, 2, [&](qsizetype from, qsizetype to) { tokens[n++] = line.mid(from, to - from); });
        if (tokens[0] == keyword)
            return tokens[1];
    }
    return View();
}

// Reads on to the first line that contains text; false at the end.
template <typename View>
bool SkipToLineWith(LineReader<View> &lines, QLatin1String text)
{
    while (!lines.AtEnd()) {
        if (lines.ReadLine().contains(text))
            return true;
    }
    return false;
}

// Rows of tokens of one text, kept as offsets in one array; a row is a range of it. Each row keeps at most its
// first limit tokens: a reader that looks only at positions below the limit sees the same rows.
template <typename View>
class TokenRows
{
public:
    TokenRows() = default;
    explicit TokenRows(View text, int limit = INT_MAX) : m_text(text), m_limit(limit) {}
    struct Row {
        View text;
        const int *spans; // offset and length of each token
        int count;
        int size() const { return count; }
        View at(int i) const { return text.mid(spans[2 * i], spans[2 * i + 1]); }
        bool Is(QLatin1String word) const { return count == 1 && at(0) == word; }
    };
    int size() const { return int(m_starts.size()); }
    bool isEmpty() const { return m_starts.empty(); }
    Row row(int i) const
    {
        const int begin = m_starts[size_t(i)];
        const int end = size_t(i) + 1 < m_starts.size() ? m_starts[size_t(i) + 1] : int(m_spans.size());
        return Row{m_text, m_spans.data() + begin, (end - begin) / 2};
    }
    Row last() const { return row(size() - 1); }
    // Adds the tokens between the blanks of line as a row; false when it has none and no row was added.
    bool AddBlankLine(View line)
    {
        const size_t start = m_spans.size();
        ForEachToken(line, IsBlank, m_limit, [this, line](qsizetype from, qsizetype to) { Add(line, from, to); });
        return AddRow(start);
    }
    // Adds the tab-separated fields of line as a row, also for an empty line.
    void AddTabLine(View line)
    {
        const size_t start = m_spans.size();
        ForEachTabField(line, m_limit, [this, line](qsizetype from, qsizetype to) { Add(line, from, to); });
        AddRow(start);
    }
    void DropLast()
    {
        m_spans.resize(size_t(m_starts.back()));
        m_starts.pop_back();
    }

private:
    void Add(View line, qsizetype from, qsizetype to)
    {
        m_spans.push_back(int(line.data() - m_text.data() + from));
        m_spans.push_back(int(to - from));
    }
    bool AddRow(size_t start)
    {
        if (m_spans.size() == start)
            return false;
        m_starts.push_back(int(start));
        return true;
    }

    View m_text;
    int m_limit = INT_MAX;
    std::vector<int> m_spans;
    std::vector<int> m_starts;
};

// The QStringList rows of the public helpers, seen as token rows.
class ListRows
{
public:
    struct Row {
        const QStringList &tokens;
        int size() const { return tokens.size(); }
        QStringView at(int i) const { return tokens.at(i); }
    };
    explicit ListRows(const CgatsRows &rows) : m_rows(rows) {}
    int size() const { return m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    Row row(int i) const { return Row{m_rows.at(i)}; }

private:
    const CgatsRows &m_rows;
};

// Every non-empty line before the first "BEGIN_DATA" line, split on blanks: the simplified header lines. The
// reader is left at the first data line.
template <typename View>
TokenRows<View> ReadHeader(LineReader<View> &lines)
{
    TokenRows<View> header(lines.Text());
    while (!lines.AtEnd()) {
        if (header.AddBlankLine(lines.ReadLine()) && header.last().Is(QLatin1String("BEGIN_DATA"))) {
            header.DropLast();
            break;
        }
    }
    return header;
}

// Each non-empty line up to the first "END_DATA" line, split on blanks, into rows; the number of rows. rows null:
// only counted.
template <typename View>
int ReadDataRows(LineReader<View> &lines, TokenRows<View> *rows)
{
    // Two tokens tell an "END_DATA" line from a longer one.
    TokenRows<View> scratch(lines.Text(), 2);
    TokenRows<View> *into = rows ? rows : &scratch;
    int count = 0;
    while (!lines.AtEnd()) {
        if (!into->AddBlankLine(lines.ReadLine()))
            continue;
        if (into->last().Is(QLatin1String("END_DATA"))) {
            into->DropLast();
            break;
        }
        ++count;
        if (!rows)
            scratch.DropLast();
    }
    return count;
}

// How many leading tokens of a data row the general reader and the second stages look at: up to the last
// named field, and at least two.
int UsedTokens(const QVector<int> &fields, int colorFormat)
{
    int last = 1;
    for (int slot = 0; slot < qMin(fields.size(), kFirstColorField + colorFormat + 2); ++slot)
        last = qMax(last, fields.at(slot));
    return last + 1;
}

// The second token of the first header line whose first token is keyword; empty when there is none.
template <typename View>
View KeywordValue(const TokenRows<View> &header, QLatin1String keyword)
{
    for (int i = 0; i < header.size(); ++i) {
        const typename TokenRows<View>::Row line = header.row(i);
        if (line.at(0) == keyword)
            return line.size() > 1 ? line.at(1) : View();
    }
    return View();
}

template <typename View>
int KeywordInt(const TokenRows<View> &header, QLatin1String keyword)
{
    int value = 0;
    return ParseDecimalInt(KeywordValue(header, keyword), &value) ? value : 0;
}

template <typename Row>
bool LineContains(const Row &line, QLatin1String text)
{
    for (int k = 0; k < line.size(); ++k) {
        if (line.at(k).contains(text))
            return true;
    }
    return false;
}

// The rest of the first simplified header line that contains key, after the key; false when none does.
template <typename View>
bool TextAfter(const TokenRows<View> &header, QLatin1String key, QString *rest)
{
    for (int i = 0; i < header.size(); ++i) {
        const typename TokenRows<View>::Row line = header.row(i);
        for (int k = 0; k < line.size(); ++k) {
            const auto at = line.at(k).indexOf(key);
            if (at < 0)
                continue;
            *rest = ToQString(line.at(k).mid(at + key.size()));
            for (++k; k < line.size(); ++k) {
                *rest += QLatin1Char(' ');
                *rest += line.at(k);
            }
            return true;
        }
    }
    return false;
}

// ---- Parsers on every kind of rows ------------------------------------------------------------------------

// Fills the field slots from the field names.
template <typename Names>
int DataFormatFromNames(QVector<int> *fields, int *colorFormat, int fieldCount, const Names &names)
{
    const int count = qMin(fieldCount == 0 ? int(names.size()) : fieldCount, int(names.size()));
    for (int i = 0; i < count; ++i) {
        const auto name = names.at(i);
        int slot = -1;
        if (name == QLatin1String("SampleID") || name == QLatin1String("SAMPLE_ID"))
            slot = kIdField;
        else if (name == QLatin1String("SAMPLE_NAME") || name == QLatin1String("Sample_Name") ||
                 name == QLatin1String("SAMPLE_LOC"))
            slot = kNameField;
        else if (name == QLatin1String("CMYK_C") || name == QLatin1String("RGB_R"))
            slot = 2;
        else if (name == QLatin1String("CMYK_M") || name == QLatin1String("RGB_G"))
            slot = 3;
        else if (name == QLatin1String("CMYK_Y") || name == QLatin1String("RGB_B"))
            slot = 4;
        else if (name == QLatin1String("CMYK_K"))
            slot = 5;
        if (slot >= 0)
            (*fields)[slot] = i;
    }
    const QVector<int> &f = *fields;
    if (f[2] >= 0 && f[3] >= 0 && f[4] >= 0 && f[5] >= 0)
        *colorFormat = ChartDefinitionData::FormatCMYK;
    else if (f[2] >= 0 && f[3] >= 0 && f[4] >= 0)
        *colorFormat = ChartDefinitionData::FormatRGB;
    else
        return CIODataFile::CgatsNoColorFields;
    return CIODataFile::Success;
}

// The data format of tokenised header lines: the names on the line after the first "BEGIN_DATA_FORMAT" line.
template <typename View>
int DataFormat(QVector<int> *fields, int *colorFormat, int fieldCount, const TokenRows<View> &header)
{
    fields->fill(-1, kFieldSlots);
    int nameLine = header.size();
    for (int i = 0; i < header.size(); ++i) {
        if (header.row(i).Is(QLatin1String("BEGIN_DATA_FORMAT"))) {
            nameLine = i + 1;
            break;
        }
    }
    if (nameLine >= header.size())
        return CIODataFile::Success;
    return DataFormatFromNames(fields, colorFormat, fieldCount, header.row(nameLine));
}

template <typename View>
int FirstDigit(View text)
{
    for (int i = 0; i < int(text.size()); ++i) {
        if (text.at(i).unicode() >= '0' && text.at(i).unicode() <= '9')
            return i;
    }
    return -1;
}

bool ContainsName(const QSet<QStringView> &names, const QString &name)
{
    return names.contains(QStringView(name));
}

bool ContainsName(const QSet<QLatin1String> &names, const QString &name)
{
    const QByteArray latin1 = name.toLatin1();
    return names.contains(QLatin1String(latin1));
}

template <typename Rows>
int DeriveLayout(int *columns, int *rowsPerColumn, int *pages, const Rows &rows, int namePosition,
                 bool extendedNames)
{
    using View = decltype(rows.row(0).at(0));
    if (rows.isEmpty() || namePosition < 0)
        return CIODataFile::NoSampleNameLayout;
    auto nameAt = [&rows, namePosition](int i) {
        const auto row = rows.row(i);
        return namePosition < row.size() ? row.at(namePosition) : View();
    };
    const View first = nameAt(0);
    const int firstDigit = FirstDigit(first);
    if (firstDigit < 0)
        return CIODataFile::NoSampleNameLayout;
    const View firstNumber = first.mid(firstDigit);

    int perColumn = rows.size();
    for (int i = 1; i < rows.size(); ++i) {
        const View name = nameAt(i);
        const int digit = FirstDigit(name);
        if (digit < 0)
            return CIODataFile::NoSampleNameLayout;
        if (name.mid(digit) == firstNumber || name.left(digit) != QLatin1String("A")) {
            perColumn = i;
            break;
        }
    }

    QSet<View> names;
    names.reserve(rows.size());
    int pageCount = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const View name = nameAt(i);
        names.insert(name);
        if (name == first)
            ++pageCount;
    }

    const bool leadingDigit = first.at(0).unicode() >= '1' && first.at(0).unicode() <= '9';
    int columnCount = 0;
    bool missing = false;
    for (int g = 0; g < kColumnGroups && !missing; ++g) {
        for (int j = 0; j < kLetters; ++j) {
            const QChar upper(ushort('A' + j));
            const QChar lower(ushort('a' + j));
            QString candidate;
            if (g == 0)
                candidate = QString(upper) + QLatin1Char('1');
            else if (!extendedNames || (qint64(perColumn) * g * kLetters < rows.size() && leadingDigit))
                candidate = QString::number(g + 1) + upper + QLatin1Char('1');
            else if (g == 1)
                candidate = QString(lower) + QLatin1Char('1');
            else
                candidate = QString(QChar(ushort(64 + g / 2))) + (g % 2 == 0 ? upper : lower) + QLatin1Char('1');
            if (!ContainsName(names, candidate)) {
                missing = true;
                break;
            }
            ++columnCount;
        }
    }
    if (!missing || perColumn == 0 || columnCount == 0 || pageCount == 0)
        return CIODataFile::NoSampleNameLayout;
    *columns = columnCount;
    *rowsPerColumn = perColumn;
    *pages = pageCount;
    return CIODataFile::Success;
}

// The colour check of the data-file object, reached through a pointer it hands out from inside.
using RangeCheck = bool (CIODataFile::*)(int, double) const;

// The format's colour values of a row from the columns positions[0 ...]: Success, ListInvalid or
// ProfilerNotANumber.
template <typename Row>
int RowColorValues(const CIODataFile &io, RangeCheck inRange, const Row &row, int colorFormat, const int *positions,
                   PatchColor *patch)
{
    for (int k = 0; k < colorFormat + 2; ++k) {
        const int position = positions[k];
        if (position < 0 || position >= row.size())
            return CIODataFile::ListInvalid;
        double value = 0;
        if (!ParseFiniteNumber(row.at(position), &value))
            return CIODataFile::ProfilerNotANumber;
        if (!(io.*inRange)(colorFormat, value))
            return CIODataFile::ListInvalid;
        patch->ColorValue[k] = float(value);
    }
    return CIODataFile::Success;
}

bool KnownColorFormat(int colorFormat)
{
    return colorFormat > ChartDefinitionData::FormatNone && colorFormat <= ChartDefinitionData::Format8Color;
}

bool KnownFields(int colorFormat, const QVector<int> &fields)
{
    return KnownColorFormat(colorFormat) && fields.size() >= kFirstColorField + colorFormat + 2;
}

// The patch of data row index (from 0); the formats and fields are known (KnownFields).
template <typename Row>
int CgatsPatch(const CIODataFile &io, RangeCheck inRange, const Row &row, int index, int colorFormat,
               const QVector<int> &fields, PatchColor *patch)
{
    const int idField = fields.at(kIdField);
    if (idField >= 0) {
        if (idField >= row.size())
            return CIODataFile::ListInvalid;
        if (!ParseDecimalInt(row.at(idField), &patch->ID))
            return CIODataFile::ProfilerNotANumber;
    } else {
        patch->ID = index + 1;
    }
    if (patch->ID < 1 || patch->ID > kMaxPatchId)
        return CIODataFile::ListInvalid;
    patch->ColorFormat = colorFormat;
    return RowColorValues(io, inRange, row, colorFormat, fields.constData() + kFirstColorField, patch);
}

template <typename Rows>
int CgatsPatches(const CIODataFile &io, RangeCheck inRange, PatchList *patches, int colorFormat,
                 const QVector<int> &fields, const Rows &rows)
{
    patches->clear();
    if (!KnownFields(colorFormat, fields))
        return CIODataFile::ListInvalid;
    patches->reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        PatchColor patch;
        const int parsed = CgatsPatch(io, inRange, rows.row(i), i, colorFormat, fields, &patch);
        if (parsed != CIODataFile::Success)
            return parsed;
        patches->append(patch);
    }
    return CIODataFile::Success;
}

template <typename Rows>
int ProfilerPatches(const CIODataFile &io, RangeCheck inRange, PatchList *patches, int colorFormat,
                    const QVector<int> &colorPositions, const Rows &rows)
{
    using View = decltype(rows.row(0).at(0));
    patches->clear();
    if (!KnownColorFormat(colorFormat) || colorPositions.size() != colorFormat + 2)
        return CIODataFile::ListInvalid;
    patches->reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const auto row = rows.row(i);
        PatchColor patch;
        if (!ParseDecimalInt(row.size() > 0 ? row.at(0) : View(), &patch.ID))
            return CIODataFile::ProfilerNotANumber;
        if (patch.ID < 1 || patch.ID > kMaxPatchId)
            return CIODataFile::ListInvalid;
        patch.ColorFormat = colorFormat;
        const int parsed = RowColorValues(io, inRange, row, colorFormat, colorPositions.constData(), &patch);
        if (parsed != CIODataFile::Success)
            return parsed;
        patches->append(patch);
    }
    return CIODataFile::Success;
}

// Gives every patch its row and column of the ISO 12642-2 default layout; NoDefaultPosition for an id without
// one.
int PlaceOnDefaultLayout(const CIODataFileHost &host, PatchList *patches, int patchOrder)
{
    for (PatchColor &patch : *patches) {
        const QPair<int, int> position = host.GetIso12642DefaultPosition(patch.ID, patchOrder);
        patch.Column = position.first - 1;
        patch.Row = position.second - 1;
        if (patch.Row < 0 || patch.Column < 0)
            return CIODataFile::NoDefaultPosition;
    }
    return CIODataFile::Success;
}

// ---- Readers on a text ------------------------------------------------------------------------------------

// The general reader from the start of the text.
template <typename View>
int ReadAnyOriginator(CIODataFile &io, RangeCheck inRange, ChartDefinitionDataSheets *chart, int *layoutRequest,
                      int *patchCount, LineReader<View> &lines)
{
    ResetChart(chart);
    lines.Rewind();
    const TokenRows<View> header = ReadHeader(lines);
    const bool iso = !header.isEmpty() && LineContains(header.row(0), QLatin1String("12642-2"));
    int pages = KeywordInt(header, QLatin1String("NumberOfStrips"));
    if (pages == 0)
        pages = 1;
    int rowLength = KeywordInt(header, QLatin1String("LGOROWLENGTH"));
    int sets = KeywordInt(header, QLatin1String("NUMBER_OF_SETS"));
    const int fieldCount = KeywordInt(header, QLatin1String("NUMBER_OF_FIELDS"));

    QVector<int> fields;
    int format = ChartDefinitionData::FormatNone;
    if (DataFormat(&fields, &format, fieldCount, header) != CIODataFile::Success)
        return CIODataFile::CgatsNeedsLayout;
    if (fields.at(kNameField) < 0) {
        // Only the count is wanted, and NUMBER_OF_SETS gives it when it is there.
        *layoutRequest = iso ? CIODataFile::RequestIsoPatchOrder : CIODataFile::RequestRowsColumns;
        *patchCount = sets >= 1 ? sets : ReadDataRows<View>(lines, nullptr);
        return CIODataFile::CgatsNeedsLayout;
    }
    TokenRows<View> rows(lines.Text(), UsedTokens(fields, format));
    ReadDataRows(lines, &rows);

    int columns = 0;
    int patchWidth = 0;
    int patchHeight = 0;
    bool useInfo = false;
    QString info;
    if (TextAfter(header, QLatin1String("iSis_INFO"), &info)) {
        int infoColumns = 0;
        int w = 0;
        int h = 0;
        useInfo = CIODataFile::ParseInstrumentInfo(&infoColumns, &w, &h, info) == CIODataFile::Success;
        columns = infoColumns;
        if (useInfo) {
            patchWidth = w;
            patchHeight = h;
        }
    }

    if (rowLength < 1) {
        int derivedColumns = 0;
        int perColumn = 0;
        int derivedPages = 0;
        if (DeriveLayout(&derivedColumns, &perColumn, &derivedPages, rows, fields.at(kNameField), false) !=
            CIODataFile::Success)
            return CIODataFile::CgatsNeedsLayout;
        columns = derivedColumns;
        rowLength = perColumn;
        pages = derivedPages;
    }

    PatchList patches;
    if (CgatsPatches(io, inRange, &patches, format, fields, rows) != CIODataFile::Success)
        return CIODataFile::CgatsNeedsLayout;
    if (sets < 1)
        sets = patches.size();

    const int rowsPerColumn = useInfo ? rowLength : rowLength / pages;
    if (columns == 0)
        columns = sets / rowLength;
    const int width = patchWidth > 0 ? patchWidth : kDefaultPatchSize;
    const int height = patchHeight > 0 ? patchHeight : kDefaultPatchSize;
    Sheet page;
    if (!PageTemplate(width, height, columns, rowsPerColumn, &page))
        return CIODataFile::CgatsNeedsLayout;
    const SheetLayout layout{rowsPerColumn, columns};
    const int built =
        useInfo ? io.BuildSheetsPageByPage(chart, patches, PageCount(pages), layout, Geometry(width, height), page)
                : io.BuildSheetsByColumns(chart, patches, PageCount(pages), layout, Geometry(width, height), page, true);
    return built == CIODataFile::Success && IsStorableChart(*chart) ? CIODataFile::Success
                                                                    : CIODataFile::CgatsNeedsLayout;
}

// The profiling tool's tab-separated variant, reading on from where the originator check stopped.
template <typename View>
int ReadProfilerVariant(CIODataFile &io, RangeCheck inRange, ChartDefinitionDataSheets *chart,
                        LineReader<View> &lines, int instrumentType)
{
    int fieldCount = 0;
    if (!ParseDecimalInt(KeywordValueInLines(lines, QLatin1String("NUMBER_OF_FIELDS"), IsTab), &fieldCount) ||
        fieldCount == 0)
        return CIODataFile::ProfilerCgatsFailed;
    if (!SkipToLineWith(lines, QLatin1String("BEGIN_DATA_FORMAT")) || lines.AtEnd())
        return CIODataFile::ProfilerCgatsFailed;
    TokenRows<View> nameLine(lines.Text());
    nameLine.AddTabLine(lines.ReadLine());
    const typename TokenRows<View>::Row names = nameLine.row(0);
    auto nameAt = [&names](int i) { return i < names.size() ? names.at(i) : View(); };
    if (nameAt(0) != QLatin1String("SAMPLE_ID") || nameAt(1) != QLatin1String("SAMPLE_NAME"))
        return CIODataFile::ProfilerCgatsFailed;
    if (fieldCount < 5 || fieldCount > 10)
        return CIODataFile::ListInvalid;

    const int format = fieldCount - 4;
    const int channels = format + 2;
    QStringList expected;
    if (format == ChartDefinitionData::FormatRGB)
        expected = QStringList{QStringLiteral("RGB_R"), QStringLiteral("RGB_G"), QStringLiteral("RGB_B")};
    else if (format == ChartDefinitionData::FormatCMYK)
        expected = QStringList{QStringLiteral("CMYK_C"), QStringLiteral("CMYK_M"), QStringLiteral("CMYK_Y"),
                               QStringLiteral("CMYK_K")};
    QVector<int> positions(channels, -1);
    for (int i = 2; i < fieldCount; ++i) {
        const QString name = ToQString(nameAt(i));
        int ink = -1;
        if (!expected.isEmpty())
            ink = expected.indexOf(name);
        else if (name == QStringLiteral("%1CLR_%2").arg(channels).arg(i - 1))
            ink = i - 2;
        if (ink < 0 || positions.at(ink) >= 0)
            return CIODataFile::ListInvalid;
        positions[ink] = i;
    }

    int sets = 0;
    if (!ParseDecimalInt(KeywordValueInLines(lines, QLatin1String("NUMBER_OF_SETS"), IsTab), &sets) || sets < 1)
        return CIODataFile::ProfilerCgatsFailed;
    if (!SkipToLineWith(lines, QLatin1String("BEGIN_DATA")))
        return CIODataFile::ProfilerCgatsFailed;
    // Every colour field is named, so the last field is the last one looked at.
    TokenRows<View> rows(lines.Text(), fieldCount);
    while (!lines.AtEnd()) {
        const View line = lines.ReadLine();
        if (line.contains(QLatin1String("END_DATA")))
            break;
        rows.AddTabLine(line);
    }
    if (rows.isEmpty())
        return CIODataFile::ProfilerCgatsFailed;

    int columns = 0;
    int perColumn = 0;
    int pages = 0;
    if (DeriveLayout(&columns, &perColumn, &pages, rows, kNameField, false) != CIODataFile::Success)
        return CIODataFile::ProfilerCgatsFailed;
    PatchList patches;
    const int parsed = ProfilerPatches(io, inRange, &patches, format, positions, rows);
    if (parsed == CIODataFile::ProfilerNotANumber)
        return CIODataFile::ProfilerCgatsFailed;
    if (parsed != CIODataFile::Success)
        return parsed;

    Sheet page;
    if (!PageTemplate(kDefaultPatchSize, kDefaultPatchSize, columns, perColumn, &page))
        return CIODataFile::ProfilerCgatsFailed;
    const SheetLayout layout{perColumn, columns};
    const AreaPlacement geometry = Geometry(kDefaultPatchSize, kDefaultPatchSize);
    const int built = instrumentType == 3
                          ? io.BuildSheetsPageByPage(chart, patches, PageCount(pages), layout, geometry, page)
                          : io.BuildSheetsByColumns(chart, patches, PageCount(pages), layout, geometry, page,
                                                    instrumentType == 1);
    return built == CIODataFile::Success && IsStorableChart(*chart) ? CIODataFile::Success
                                                                    : CIODataFile::ProfilerCgatsFailed;
}

// The first stage on a whole text: the originator picks the reader.
template <typename View>
int ReadFirstStage(CIODataFile &io, RangeCheck inRange, ChartDefinitionDataSheets *chart, int *layoutRequest,
                   int *patchCount, View text)
{
    LineReader<View> lines(text, true);
    int instrument = 0;
    if (KeywordValueInLines(lines, QLatin1String("ORIGINATOR"), IsAsciiBlank).contains(QLatin1String("i1Profiler")))
        instrument = CIODataFile::ClassifyInstrument(
            ToQString(KeywordValueInLines(lines, QLatin1String("INSTRUMENTATION"), IsAsciiBlank)));
    if (instrument != 0)
        return ReadProfilerVariant(io, inRange, chart, lines, instrument);
    return ReadAnyOriginator(io, inRange, chart, layoutRequest, patchCount, lines);
}

// What both second stages do after reading: the data format, then the patches row by row as the lines come,
// since no row is needed twice. 0 or 70024.
template <typename View>
int SecondStagePatches(const CIODataFile &io, RangeCheck inRange, View text, PatchList *patches)
{
    LineReader<View> lines(text, true);
    const TokenRows<View> header = ReadHeader(lines);
    QVector<int> fields;
    int format = ChartDefinitionData::FormatNone;
    if (DataFormat(&fields, &format, KeywordInt(header, QLatin1String("NUMBER_OF_FIELDS")), header) !=
            CIODataFile::Success ||
        !KnownFields(format, fields))
        return CIODataFile::CgatsSecondStageFailed;
    // NUMBER_OF_SETS as a hint only; a row takes at least two characters.
    patches->reserve(qBound(0, KeywordInt(header, QLatin1String("NUMBER_OF_SETS")), int(text.size() / 2)));
    TokenRows<View> row(text, UsedTokens(fields, format));
    int index = 0;
    while (!lines.AtEnd()) {
        if (!row.AddBlankLine(lines.ReadLine()))
            continue;
        if (row.last().Is(QLatin1String("END_DATA")))
            break;
        PatchColor patch;
        if (CgatsPatch(io, inRange, row.last(), index++, format, fields, &patch) != CIODataFile::Success)
            return CIODataFile::CgatsSecondStageFailed;
        patches->append(patch);
        row.DropLast();
    }
    return CIODataFile::Success;
}

int SecondStagePatches(const CIODataFile &io, RangeCheck inRange, const QString &path, PatchList *patches)
{
    CgatsFile file;
    if (!ReadCgatsFile(path, &file))
        return CIODataFile::CgatsSecondStageFailed;
    return file.ascii ? SecondStagePatches(io, inRange, QLatin1String(file.bytes.constData(), file.bytes.size()),
                                           patches)
                      : SecondStagePatches(io, inRange, QStringView(file.decoded), patches);
}

} // namespace

// ---- Stream and line helpers ------------------------------------------------------------------------------

QStringList CIODataFile::ReadCgatsHeaderLines(QTextStream &stream)
{
    stream.seek(0);
    QStringList lines;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().simplified();
        if (line == QLatin1String("BEGIN_DATA"))
            break;
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

CgatsRows CIODataFile::ReadCgatsDataRows(QTextStream &stream, const QRegularExpression &separator)
{
    stream.seek(0);
    CgatsRows rows;
    bool inData = false;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().simplified();
        if (!inData) {
            inData = line == QLatin1String("BEGIN_DATA");
            continue;
        }
        if (line == QLatin1String("END_DATA"))
            break;
        if (!line.isEmpty())
            rows.append(line.split(separator, Qt::SkipEmptyParts));
    }
    return rows;
}

QString CIODataFile::FindKeywordValue(const QStringList &lines, const QString &keyword,
                                      const QRegularExpression &separator)
{
    for (const QString &line : lines) {
        const QStringList tokens = line.split(separator, Qt::SkipEmptyParts);
        if (!tokens.isEmpty() && tokens.first() == keyword)
            return tokens.value(1);
    }
    return QString();
}

QString CIODataFile::FindKeywordValueInStream(QTextStream &stream, const QString &keyword,
                                              const QRegularExpression &separator)
{
    return KeywordValueInStream(stream, keyword, separator);
}

QString CIODataFile::FindKeywordValueInStream(QTextStream &stream, const QString &keyword, const QString &separator)
{
    return KeywordValueInStream(stream, keyword, separator);
}

bool CIODataFile::SkipToLineContaining(QTextStream &stream, const QString &text)
{
    while (!stream.atEnd()) {
        if (stream.readLine().contains(text))
            return true;
    }
    return false;
}

QString CIODataFile::FindTextAfter(const QStringList &lines, const QString &key)
{
    for (const QString &line : lines) {
        const int at = line.indexOf(key);
        if (at >= 0)
            return line.mid(at + key.size());
    }
    return QString();
}

QStringList CIODataFile::SplitTextLines(const QString &text)
{
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\n|\r\n|\r")), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.simplified();
    return lines;
}

CgatsRows CIODataFile::ReadEmbeddedCgatsRows(const QStringList &lines, int namePosition)
{
    CgatsRows rows;
    for (int i = FindLineIndex(lines, 0, QStringLiteral("BEGIN_DATA")); i < lines.size(); ++i) {
        if (lines.at(i).simplified() == QLatin1String("END_DATA"))
            break;
        QStringList tokens = lines.at(i).split(WhiteSpace(), Qt::SkipEmptyParts);
        if (tokens.isEmpty())
            continue;
        // A quoted name with blanks spans several tokens: pull the later fields back into their places. A name
        // that opens and closes its quote in one token needs nothing.
        if (namePosition >= 0 && namePosition < tokens.size() && tokens.at(namePosition).count(QLatin1Char('"')) == 1) {
            int close = -1;
            for (int k = namePosition + 1; k < tokens.size(); ++k) {
                if (tokens.at(k).contains(QLatin1Char('"'))) {
                    close = k;
                    break;
                }
            }
            if (close > 0) {
                const int shift = close - namePosition;
                for (int k = close + 1; k < tokens.size(); ++k)
                    tokens[k - shift] = tokens.at(k);
            }
        }
        rows.append(tokens);
    }
    return rows;
}

int CIODataFile::ColumnLettersToNumber(const QString &location)
{
    static const QRegularExpression letters(QStringLiteral("[A-Za-z]+"));
    const QRegularExpressionMatch match = letters.match(location);
    if (!match.hasMatch())
        return 0;
    qint64 value = 0;
    for (const QChar c : match.captured(0)) {
        const int digit = c.isUpper() ? c.unicode() - 'A' + 1 : c.unicode() - 'a' + 27;
        value = value * 52 + digit;
        if (value > INT_MAX)
            return -1;
    }
    return int(value);
}

int CIODataFile::ClassifyInstrument(const QString &name)
{
    if (name.contains(QLatin1String("i1Pro")))
        return 1;
    if (name.contains(QLatin1String("i1iSis")))
        return 3;
    if (name.contains(QLatin1String("i1iO")))
        return 2;
    return 0;
}

// ---- Format, layout and patch parsers ---------------------------------------------------------------------

int CIODataFile::ParseCgatsDataFormat(QVector<int> *fields, int *colorFormat, int fieldCount,
                                      const QStringList &headerLines)
{
    fields->fill(-1, kFieldSlots);
    const int nameLine = FindLineIndex(headerLines, 0, QStringLiteral("BEGIN_DATA_FORMAT"));
    if (nameLine >= headerLines.size())
        return Success;
    return DataFormatFromNames(fields, colorFormat, fieldCount,
                               headerLines.at(nameLine).split(WhiteSpace(), Qt::SkipEmptyParts));
}

int CIODataFile::ParseInstrumentInfo(int *columns, int *patchWidth, int *patchHeight, const QString &text)
{
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[\\s\"]+")), Qt::SkipEmptyParts);
    auto valueOf = [&parts](const QString &key, QString *value) {
        for (const QString &part : parts) {
            const int eq = part.indexOf(QLatin1Char('='));
            if (eq > 0 && part.left(eq) == key) {
                *value = part.mid(eq + 1);
                return true;
            }
        }
        return false;
    };
    QString value;
    int count = 0;
    if (!valueOf(QStringLiteral("NumberOfColumns"), &value) || !ParseDecimalInt(value, &count))
        return InstrumentInfoInvalid;
    *columns = count;
    double x = 0;
    double y = 0;
    if (!valueOf(QStringLiteral("PatchSizeX"), &value) || !ParseFiniteNumber(value, &x) ||
        !valueOf(QStringLiteral("PatchSizeY"), &value) || !ParseFiniteNumber(value, &y))
        return InstrumentInfoInvalid;
    int width = 0;
    int height = 0;
    if (!FitsInt(std::floor(x * 100.0 + 0.5), &width) || !FitsInt(std::floor(y * 100.0 + 0.5), &height))
        return InstrumentInfoInvalid;
    *patchWidth = width;
    *patchHeight = height;
    return Success;
}

int CIODataFile::DeriveLayoutFromSampleNames(int *columns, int *rowsPerColumn, int *pages, const CgatsRows &rows,
                                             int namePosition, bool extendedNames)
{
    return DeriveLayout(columns, rowsPerColumn, pages, ListRows(rows), namePosition, extendedNames);
}

int CIODataFile::ParseCgatsPatches(PatchList *patches, int colorFormat, const QVector<int> &fields,
                                   const CgatsRows &rows) const
{
    return CgatsPatches(*this, &CIODataFile::ColorValueInRange, patches, colorFormat, fields, ListRows(rows));
}

int CIODataFile::ParseProfilerPatches(PatchList *patches, int colorFormat, const QVector<int> &colorPositions,
                                      const CgatsRows &rows) const
{
    return ProfilerPatches(*this, &CIODataFile::ColorValueInRange, patches, colorFormat, colorPositions,
                           ListRows(rows));
}

int CIODataFile::PlaceIso12642Patches(PatchList *patches, int colorFormat, const QVector<int> &fields,
                                      const CgatsRows &rows, int patchOrder) const
{
    const int parsed = ParseCgatsPatches(patches, colorFormat, fields, rows);
    return parsed != Success ? parsed : PlaceOnDefaultLayout(*m_host, patches, patchOrder);
}

// ---- Readers ----------------------------------------------------------------------------------------------

int CIODataFile::ImportCgatsChart(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                                  const QString &path)
{
    CgatsFile file;
    if (!ReadCgatsFile(path, &file))
        return ProfilerCgatsFailed;
    const RangeCheck inRange = &CIODataFile::ColorValueInRange;
    return file.ascii ? ReadFirstStage(*this, inRange, chart, layoutRequest, patchCount,
                                       QLatin1String(file.bytes.constData(), file.bytes.size()))
                      : ReadFirstStage(*this, inRange, chart, layoutRequest, patchCount, QStringView(file.decoded));
}

int CIODataFile::ImportCgatsChartAnyOriginator(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                                               QTextStream &stream)
{
    stream.seek(0);
    const QString text = stream.readAll();
    LineReader<QStringView> lines(text, false);
    return ReadAnyOriginator(*this, &CIODataFile::ColorValueInRange, chart, layoutRequest, patchCount, lines);
}

int CIODataFile::ImportProfilerCgatsChart(ChartDefinitionDataSheets *chart, QTextStream &stream, int instrumentType)
{
    const QString rest = stream.readAll();
    LineReader<QStringView> lines(rest, false);
    return ReadProfilerVariant(*this, &CIODataFile::ColorValueInRange, chart, lines, instrumentType);
}

int CIODataFile::ImportCgatsChartWithFormat(ChartDefinitionDataSheets *chart, const QString &path, int patchOrder)
{
    ResetChart(chart);
    PatchList patches;
    const int read = SecondStagePatches(*this, &CIODataFile::ColorValueInRange, path, &patches);
    if (read != Success)
        return read;
    if (PlaceOnDefaultLayout(*m_host, &patches, patchOrder) != Success)
        return CgatsSecondStageFailed;

    // Every cell of the default layout exactly once: fewer patches, or two ids on one cell, cannot be laid out.
    const int longSide = m_host->GetIso12642LayoutLongSide();
    const int shortSide = m_host->GetIso12642LayoutShortSide();
    if (longSide < 1 || shortSide < 1 || patches.size() != qint64(longSide) * shortSide)
        return CgatsSecondStageFailed;
    QVector<bool> filled(patches.size(), false);
    for (const PatchColor &patch : patches) {
        if (patch.Column >= longSide || patch.Row >= shortSide)
            return CgatsSecondStageFailed;
        const int cell = patch.Column * shortSide + patch.Row;
        if (filled.at(cell))
            return CgatsSecondStageFailed;
        filled[cell] = true;
    }
    std::stable_sort(patches.begin(), patches.end(), LessByFourthField<PatchColor>);
    for (int c = 0; c < longSide; ++c)
        std::stable_sort(patches.begin() + c * shortSide, patches.begin() + (c + 1) * shortSide,
                         LessByThirdField<PatchColor>);

    Sheet page;
    if (!PageTemplate(kDefaultPatchSize, kDefaultPatchSize, longSide, shortSide, &page))
        return CgatsNeedsLayout;
    if (BuildSheetsByColumns(chart, patches, 1, SheetLayout{shortSide, longSide},
                             Geometry(kDefaultPatchSize, kDefaultPatchSize), page, true) != Success)
        return CgatsNeedsLayout;
    return IsStorableChart(*chart) ? Success : CgatsSecondStageFailed;
}

int CIODataFile::ImportCgatsChartWithLayout(ChartDefinitionDataSheets *chart, const QString &path, int rows,
                                            int columns)
{
    ResetChart(chart);
    PatchList patches;
    const int read = SecondStagePatches(*this, &CIODataFile::ColorValueInRange, path, &patches);
    if (read != Success)
        return read;
    Sheet page;
    if (!PageTemplate(kDefaultPatchSize, kDefaultPatchSize, columns, rows, &page))
        return CgatsNeedsLayout;
    if (BuildSheetsByColumns(chart, patches, 1, SheetLayout{rows, columns},
                             Geometry(kDefaultPatchSize, kDefaultPatchSize), page, false) != Success)
        return CgatsNeedsLayout;
    return IsStorableChart(*chart) ? Success : CgatsSecondStageFailed;
}
