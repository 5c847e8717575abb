// Chart import from CGATS text: the general reader, the tab-separated variant of one profiling tool, the two
// second stages that get the layout from the user, and the helpers the XML layouts with a CGATS block share.

#include "files/iodatafile.h"
#include "files/parsehelpers.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"

#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

#include <algorithm>
#include <climits>
#include <cmath>

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

int FirstDigit(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
            return i;
    }
    return -1;
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
    const QStringList names = headerLines.at(nameLine).split(WhiteSpace(), Qt::SkipEmptyParts);
    const int count = qMin(fieldCount == 0 ? names.size() : fieldCount, names.size());
    for (int i = 0; i < count; ++i) {
        const QString &name = names.at(i);
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
        return CgatsNoColorFields;
    return Success;
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
    if (rows.isEmpty() || namePosition < 0)
        return NoSampleNameLayout;
    auto nameAt = [&rows, namePosition](int i) { return rows.at(i).value(namePosition); };
    const QString first = nameAt(0);
    const int firstDigit = FirstDigit(first);
    if (firstDigit < 0)
        return NoSampleNameLayout;
    const QString firstNumber = first.mid(firstDigit);

    int perColumn = rows.size();
    for (int i = 1; i < rows.size(); ++i) {
        const QString name = nameAt(i);
        const int digit = FirstDigit(name);
        if (digit < 0)
            return NoSampleNameLayout;
        if (name.mid(digit) == firstNumber || name.left(digit) != QLatin1String("A")) {
            perColumn = i;
            break;
        }
    }

    QSet<QString> names;
    int pageCount = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const QString name = nameAt(i);
        names.insert(name);
        if (name == first)
            ++pageCount;
    }

    const bool leadingDigit = first.at(0) >= QLatin1Char('1') && first.at(0) <= QLatin1Char('9');
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
            if (!names.contains(candidate)) {
                missing = true;
                break;
            }
            ++columnCount;
        }
    }
    if (!missing || perColumn == 0 || columnCount == 0 || pageCount == 0)
        return NoSampleNameLayout;
    *columns = columnCount;
    *rowsPerColumn = perColumn;
    *pages = pageCount;
    return Success;
}

int CIODataFile::ParseRowColorValues(const QStringList &row, int colorFormat, const QVector<int> &positions,
                                     int first, PatchColor *patch) const
{
    for (int k = 0; k < colorFormat + 2; ++k) {
        const int position = positions.at(first + k);
        if (position < 0 || position >= row.size())
            return ListInvalid;
        double value = 0;
        if (!ParseFiniteNumber(row.at(position), &value))
            return ProfilerNotANumber;
        if (!ColorValueInRange(colorFormat, value))
            return ListInvalid;
        patch->ColorValue[k] = float(value);
    }
    return Success;
}

int CIODataFile::ParseCgatsPatches(PatchList *patches, int colorFormat, const QVector<int> &fields,
                                   const CgatsRows &rows) const
{
    patches->clear();
    if (colorFormat <= ChartDefinitionData::FormatNone || colorFormat > ChartDefinitionData::Format8Color ||
        fields.size() < kFirstColorField + colorFormat + 2)
        return ListInvalid;
    patches->reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList &row = rows.at(i);
        PatchColor patch;
        if (fields.at(kIdField) >= 0) {
            if (fields.at(kIdField) >= row.size())
                return ListInvalid;
            if (!ParseDecimalInt(row.at(fields.at(kIdField)), &patch.ID))
                return ProfilerNotANumber;
        } else {
            patch.ID = i + 1;
        }
        if (patch.ID < 1 || patch.ID > kMaxPatchId)
            return ListInvalid;
        patch.ColorFormat = colorFormat;
        const int parsed = ParseRowColorValues(row, colorFormat, fields, kFirstColorField, &patch);
        if (parsed != Success)
            return parsed;
        patches->append(patch);
    }
    return Success;
}

int CIODataFile::ParseProfilerPatches(PatchList *patches, int colorFormat, const QVector<int> &colorPositions,
                                      const CgatsRows &rows) const
{
    patches->clear();
    if (colorFormat <= ChartDefinitionData::FormatNone || colorFormat > ChartDefinitionData::Format8Color ||
        colorPositions.size() != colorFormat + 2)
        return ListInvalid;
    patches->reserve(rows.size());
    for (const QStringList &row : rows) {
        PatchColor patch;
        if (!ParseDecimalInt(row.value(0), &patch.ID))
            return ProfilerNotANumber;
        if (patch.ID < 1 || patch.ID > kMaxPatchId)
            return ListInvalid;
        patch.ColorFormat = colorFormat;
        const int parsed = ParseRowColorValues(row, colorFormat, colorPositions, 0, &patch);
        if (parsed != Success)
            return parsed;
        patches->append(patch);
    }
    return Success;
}

int CIODataFile::PlaceIso12642Patches(PatchList *patches, int colorFormat, const QVector<int> &fields,
                                      const CgatsRows &rows, int patchOrder) const
{
    const int parsed = ParseCgatsPatches(patches, colorFormat, fields, rows);
    if (parsed != Success)
        return parsed;
    for (PatchColor &patch : *patches) {
        const QPair<int, int> position = m_host->GetIso12642DefaultPosition(patch.ID, patchOrder);
        patch.Column = position.first - 1;
        patch.Row = position.second - 1;
        if (patch.Row < 0 || patch.Column < 0)
            return NoDefaultPosition;
    }
    return Success;
}

// ---- Readers ----------------------------------------------------------------------------------------------

int CIODataFile::ImportCgatsChart(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                                  const QString &path)
{
    QString text;
    if (!ReadNormalisedText(path, &text))
        return ProfilerCgatsFailed;
    QTextStream stream(&text, QIODevice::ReadOnly);
    int instrument = 0;
    if (FindKeywordValueInStream(stream, QStringLiteral("ORIGINATOR"), WhiteSpace())
            .contains(QLatin1String("i1Profiler")))
        instrument = ClassifyInstrument(FindKeywordValueInStream(stream, QStringLiteral("INSTRUMENTATION"), WhiteSpace()));
    if (instrument != 0)
        return ImportProfilerCgatsChart(chart, stream, instrument);
    return ImportCgatsChartAnyOriginator(chart, layoutRequest, patchCount, stream);
}

int CIODataFile::ImportCgatsChartAnyOriginator(ChartDefinitionDataSheets *chart, int *layoutRequest, int *patchCount,
                                               QTextStream &stream)
{
    ResetChart(chart);
    const QStringList header = ReadCgatsHeaderLines(stream);
    const bool iso = !header.isEmpty() && header.first().contains(QLatin1String("12642-2"));
    auto keyword = [&header](const char *name) {
        int value = 0;
        return ParseDecimalInt(FindKeywordValue(header, QLatin1String(name), WhiteSpace()), &value) ? value : 0;
    };
    int pages = keyword("NumberOfStrips");
    if (pages == 0)
        pages = 1;
    int rowLength = keyword("LGOROWLENGTH");
    int sets = keyword("NUMBER_OF_SETS");
    const int fieldCount = keyword("NUMBER_OF_FIELDS");

    QVector<int> fields;
    int format = ChartDefinitionData::FormatNone;
    if (ParseCgatsDataFormat(&fields, &format, fieldCount, header) != Success)
        return CgatsNeedsLayout;
    const CgatsRows rows = ReadCgatsDataRows(stream, WhiteSpace());
    if (fields.at(kNameField) < 0) {
        *layoutRequest = iso ? RequestIsoPatchOrder : RequestRowsColumns;
        *patchCount = sets >= 1 ? sets : rows.size();
        return CgatsNeedsLayout;
    }

    int columns = 0;
    int patchWidth = 0;
    int patchHeight = 0;
    bool useInfo = false;
    const bool hasInfo = std::any_of(header.cbegin(), header.cend(),
                                     [](const QString &line) { return line.contains(QLatin1String("iSis_INFO")); });
    if (hasInfo) {
        int infoColumns = 0;
        int w = 0;
        int h = 0;
        useInfo = ParseInstrumentInfo(&infoColumns, &w, &h, FindTextAfter(header, QStringLiteral("iSis_INFO"))) ==
                  Success;
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
        if (DeriveLayoutFromSampleNames(&derivedColumns, &perColumn, &derivedPages, rows, fields.at(kNameField),
                                        false) != Success)
            return CgatsNeedsLayout;
        columns = derivedColumns;
        rowLength = perColumn;
        pages = derivedPages;
    }

    PatchList patches;
    if (ParseCgatsPatches(&patches, format, fields, rows) != Success)
        return CgatsNeedsLayout;
    if (sets < 1)
        sets = patches.size();

    const int rowsPerColumn = useInfo ? rowLength : rowLength / pages;
    if (columns == 0)
        columns = sets / rowLength;
    const int width = patchWidth > 0 ? patchWidth : kDefaultPatchSize;
    const int height = patchHeight > 0 ? patchHeight : kDefaultPatchSize;
    Sheet page;
    if (!PageTemplate(width, height, columns, rowsPerColumn, &page))
        return CgatsNeedsLayout;
    const SheetLayout layout{rowsPerColumn, columns};
    const int built = useInfo
                          ? BuildSheetsPageByPage(chart, patches, PageCount(pages), layout, Geometry(width, height), page)
                          : BuildSheetsByColumns(chart, patches, PageCount(pages), layout, Geometry(width, height), page,
                                                 true);
    return built == Success && IsStorableChart(*chart) ? Success : CgatsNeedsLayout;
}

int CIODataFile::ImportProfilerCgatsChart(ChartDefinitionDataSheets *chart, QTextStream &stream, int instrumentType)
{
    const QString tab = QStringLiteral("\t");
    int fieldCount = 0;
    if (!ParseDecimalInt(FindKeywordValueInStream(stream, QStringLiteral("NUMBER_OF_FIELDS"), tab), &fieldCount) ||
        fieldCount == 0)
        return ProfilerCgatsFailed;
    if (!SkipToLineContaining(stream, QStringLiteral("BEGIN_DATA_FORMAT")) || stream.atEnd())
        return ProfilerCgatsFailed;
    const QStringList names = stream.readLine().split(QLatin1Char('\t'));
    if (names.value(0) != QLatin1String("SAMPLE_ID") || names.value(1) != QLatin1String("SAMPLE_NAME"))
        return ProfilerCgatsFailed;
    if (fieldCount < 5 || fieldCount > 10)
        return ListInvalid;

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
        const QString name = names.value(i);
        int ink = -1;
        if (!expected.isEmpty())
            ink = expected.indexOf(name);
        else if (name == QStringLiteral("%1CLR_%2").arg(channels).arg(i - 1))
            ink = i - 2;
        if (ink < 0 || positions.at(ink) >= 0)
            return ListInvalid;
        positions[ink] = i;
    }

    int sets = 0;
    if (!ParseDecimalInt(FindKeywordValueInStream(stream, QStringLiteral("NUMBER_OF_SETS"), tab), &sets) || sets < 1)
        return ProfilerCgatsFailed;
    if (!SkipToLineContaining(stream, QStringLiteral("BEGIN_DATA")))
        return ProfilerCgatsFailed;
    CgatsRows rows;
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        if (line.contains(QLatin1String("END_DATA")))
            break;
        rows.append(line.split(QLatin1Char('\t')));
    }
    if (rows.isEmpty())
        return ProfilerCgatsFailed;

    int columns = 0;
    int perColumn = 0;
    int pages = 0;
    if (DeriveLayoutFromSampleNames(&columns, &perColumn, &pages, rows, kNameField, false) != Success)
        return ProfilerCgatsFailed;
    PatchList patches;
    const int parsed = ParseProfilerPatches(&patches, format, positions, rows);
    if (parsed == ProfilerNotANumber)
        return ProfilerCgatsFailed;
    if (parsed != Success)
        return parsed;

    Sheet page;
    if (!PageTemplate(kDefaultPatchSize, kDefaultPatchSize, columns, perColumn, &page))
        return ProfilerCgatsFailed;
    const SheetLayout layout{perColumn, columns};
    const AreaPlacement geometry = Geometry(kDefaultPatchSize, kDefaultPatchSize);
    const int built = instrumentType == 3
                          ? BuildSheetsPageByPage(chart, patches, PageCount(pages), layout, geometry, page)
                          : BuildSheetsByColumns(chart, patches, PageCount(pages), layout, geometry, page,
                                                 instrumentType == 1);
    return built == Success && IsStorableChart(*chart) ? Success : ProfilerCgatsFailed;
}

int CIODataFile::ReadCgatsSecondStage(ChartDefinitionDataSheets *chart, const QString &path, QVector<int> *fields,
                                      int *colorFormat, CgatsRows *rows) const
{
    ResetChart(chart);
    QString text;
    if (!ReadNormalisedText(path, &text))
        return CgatsSecondStageFailed;
    QTextStream stream(&text, QIODevice::ReadOnly);
    const QStringList header = ReadCgatsHeaderLines(stream);
    int fieldCount = 0;
    if (!ParseDecimalInt(FindKeywordValue(header, QStringLiteral("NUMBER_OF_FIELDS"), WhiteSpace()), &fieldCount))
        fieldCount = 0;
    if (ParseCgatsDataFormat(fields, colorFormat, fieldCount, header) != Success)
        return CgatsSecondStageFailed;
    *rows = ReadCgatsDataRows(stream, WhiteSpace());
    return Success;
}

int CIODataFile::ImportCgatsChartWithFormat(ChartDefinitionDataSheets *chart, const QString &path, int patchOrder)
{
    QVector<int> fields;
    int format = ChartDefinitionData::FormatNone;
    CgatsRows rows;
    const int read = ReadCgatsSecondStage(chart, path, &fields, &format, &rows);
    if (read != Success)
        return read;
    PatchList patches;
    if (PlaceIso12642Patches(&patches, format, fields, rows, patchOrder) != Success)
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
    QVector<int> fields;
    int format = ChartDefinitionData::FormatNone;
    CgatsRows dataRows;
    const int read = ReadCgatsSecondStage(chart, path, &fields, &format, &dataRows);
    if (read != Success)
        return read;
    PatchList patches;
    if (ParseCgatsPatches(&patches, format, fields, dataRows) != Success)
        return CgatsSecondStageFailed;
    Sheet page;
    if (!PageTemplate(kDefaultPatchSize, kDefaultPatchSize, columns, rows, &page))
        return CgatsNeedsLayout;
    if (BuildSheetsByColumns(chart, patches, 1, SheetLayout{rows, columns},
                             Geometry(kDefaultPatchSize, kDefaultPatchSize), page, false) != Success)
        return CgatsNeedsLayout;
    return IsStorableChart(*chart) ? Success : CgatsSecondStageFailed;
}
