#include "files/iodatafile.h"
#include "files/partfile.h"

#include <QFile>
#include <QSet>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// The chart formats nest fewer than ten levels; the DOM parser recurses once per level and would run out of
// stack long before a hostile file ends.
constexpr int kMaxXmlDepth = 256;

bool IsAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

CIODataFile::CIODataFile(CIODataFileHost *host) : m_host(host) {}

CIODataFile::~CIODataFile() = default;

// ---- Vocabularies -----------------------------------------------------------------------------------------

QString CIODataFile::ChartKindToText(int kind)
{
    switch (kind) {
    case ChartDefinitionData::KindNormal:
        return QStringLiteral("Normal");
    case ChartDefinitionData::KindDensity:
        return QStringLiteral("Density");
    case ChartDefinitionData::KindUneven:
        return QStringLiteral("Uneven");
    default:
        return QString();
    }
}

int CIODataFile::ChartKindFromText(const QString &text)
{
    if (text == QLatin1String("Normal"))
        return ChartDefinitionData::KindNormal;
    if (text == QLatin1String("Density"))
        return ChartDefinitionData::KindDensity;
    if (text == QLatin1String("Uneven"))
        return ChartDefinitionData::KindUneven;
    return -1;
}

QString CIODataFile::RecogModeToText(int mode)
{
    switch (mode) {
    case ChartDefinitionData::RecogAuto:
        return QStringLiteral("Auto");
    case ChartDefinitionData::RecogDefinition:
        return QStringLiteral("Definition");
    case ChartDefinitionData::RecogCoordinate:
        return QStringLiteral("Coordinate");
    case ChartDefinitionData::RecogMatrix:
        return QStringLiteral("Matrix");
    default:
        return QStringLiteral("Combine");
    }
}

int CIODataFile::RecogModeFromText(const QString &text)
{
    if (text == QLatin1String("Auto"))
        return ChartDefinitionData::RecogAuto;
    if (text == QLatin1String("Definition"))
        return ChartDefinitionData::RecogDefinition;
    if (text == QLatin1String("Coordinate"))
        return ChartDefinitionData::RecogCoordinate;
    if (text == QLatin1String("Matrix"))
        return ChartDefinitionData::RecogMatrix;
    return ChartDefinitionData::RecogCombine;
}

QString CIODataFile::ColorFormatToText(int format)
{
    if (format == ChartDefinitionData::FormatRGB)
        return QStringLiteral("RGB");
    if (format == ChartDefinitionData::FormatCMYK)
        return QStringLiteral("CMYK");
    if (format >= ChartDefinitionData::Format5Color && format <= ChartDefinitionData::Format8Color)
        return QStringLiteral("%1COLOR").arg(format + 2);
    return QString();
}

int CIODataFile::ColorFormatFromText(const QString &text, bool plusForm)
{
    if (text == QLatin1String("RGB") || text == QLatin1String("rgb") || text == QLatin1String("CMY"))
        return ChartDefinitionData::FormatRGB;
    if (text == QLatin1String("CMYK") || text == QLatin1String("cmyk"))
        return ChartDefinitionData::FormatCMYK;
    if (plusForm) {
        if (text.isEmpty())
            return ChartDefinitionData::FormatNone;
        const QChar last = text.at(text.size() - 1);
        return IsAsciiDigit(last) ? last.digitValue() + 2 : 2;
    }
    for (int format = ChartDefinitionData::Format5Color; format <= ChartDefinitionData::Format8Color; ++format) {
        const QString digit = QString::number(format + 2);
        if (text == digit + QLatin1String("COLOR") || text == digit + QLatin1String("color"))
            return format;
    }
    return ChartDefinitionData::FormatNone;
}

QStringList CIODataFile::ListPageAreaKeys(const MeasurementDataSheets &measurement)
{
    QStringList keys;
    QSet<QString> seen;
    if (!measurement.Sheets)
        return keys;
    for (int p = 0; p < measurement.SheetCount; ++p) {
        const MeasurementData &page = measurement.Sheets[p];
        if (!page.Records)
            continue;
        for (int r = 0; r < page.RecordCount; ++r) {
            const QString key = QStringLiteral("%1-%2").arg(p).arg(page.Records[r].Area);
            if (!seen.contains(key)) {
                seen.insert(key);
                keys.append(key);
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

int CIODataFile::FindLineIndex(const QStringList &lines, int start, const QString &text)
{
    for (int i = qMax(start, 0); i < lines.size(); ++i) {
        if (lines.at(i).simplified() == text)
            return i + 1;
    }
    return lines.size();
}

// ---- XML helpers ------------------------------------------------------------------------------------------

int CIODataFile::LoadXmlDocument(const QString &path, QDomDocument &document)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return FileOpenFailed;
    const QByteArray bytes = file.readAll();
    file.close();

    // Tag names keep their prefixes ("cc:CxF"), so no namespace processing anywhere.
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxXmlDepth)
                return XmlNotWellFormed;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (reader.hasError())
        return XmlNotWellFormed;
    if (!document.setContent(bytes, false))
        return XmlNotWellFormed;
    return Success;
}

QDomElement AppendXmlElement(QDomNode parent, const QString &tag, const QString &content)
{
    QDomDocument document = parent.isDocument() ? parent.toDocument() : parent.ownerDocument();
    QDomElement element = document.createElement(tag);
    if (!content.isEmpty())
        element.appendChild(document.createTextNode(content));
    parent.appendChild(element);
    return element;
}

QDomElement CreateXmlRoot(QDomDocument &document, const QString &rootTag, const QString &declarationSuffix)
{
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"") + declarationSuffix));
    QDomElement root = document.createElement(rootTag);
    document.appendChild(root);
    return root;
}

int SaveXmlDocument(const QString &path, const QDomDocument &document)
{
    QByteArray bytes;
    {
        QTextStream stream(&bytes, QIODevice::WriteOnly);
        stream.setCodec("UTF-8");
        document.save(stream, 2, QDomNode::EncodingFromTextStream);
        stream.flush();
    }
    return SaveXmlBytes(path, bytes);
}

int SaveXmlBytes(const QString &path, QByteArray bytes)
{
    bytes.replace("\n", "\r\n");
    // The one checked writer: a failing final flush fails the save and leaves the old file in place.
    return WriteThroughPartFile(path, bytes, CIODataFile::FileOpenFailed, CIODataFile::FileOpenFailed);
}

bool IsAnyZero(int a, int b, int c, int d)
{
    return a == 0 || b == 0 || c == 0 || d == 0;
}
