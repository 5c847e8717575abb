#include "app/resourcedata.h"

#include "app/unithelpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>

#include <climits>
#include <cstring>

namespace {

constexpr int kIso12642LongSide = 49;
constexpr int kIso12642ShortSide = 33;
constexpr int kAreaLeftMin = 400;
constexpr int kMinRowColumnCount = 1;

// Reads every line of a text file in the system's 8-bit encoding; false when it cannot be opened.
template <typename LineHandler>
bool forEachLine(const QString &path, LineHandler handle)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream.setCodec(QTextCodec::codecForLocale());
    while (!stream.atEnd())
        handle(stream.readLine());
    return true;
}

int toNumber(const QString &field)
{
    return field.toInt(nullptr, 10); // 0 when not a number
}

// Bytes of a fixed field up to its first zero byte, never past its end.
QByteArray boundedBytes(const char *field, int size)
{
    const void *zero = std::memchr(field, 0, size_t(size));
    return QByteArray(field, zero ? int(static_cast<const char *>(zero) - field) : size);
}

int clampedAreaCount(const SheetInfoRecord &record)
{
    return qBound(0, int(record.AreaCount), kMaxAreaCount);
}

// The first blank-separated word of the record's text, read as Latin-1.
QString firstWord(const SheetInfoRecord &record)
{
    const QString text = QString::fromLatin1(boundedBytes(record.Text, int(sizeof record.Text)));
    const int blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

QChar charAt(const QString &word, int i)
{
    return i < word.size() ? word.at(i) : QChar(0);
}

bool isPresetKind(const SheetInfoRecord &record)
{
    return record.DeviceCode[0] == '0' && record.DeviceCode[1] == '1' && record.DeviceCode[2] == '1';
}

QString deviceCodeA(const SheetInfoRecord &record)
{
    const QString w = firstWord(record);
    return QString(QChar::fromLatin1(record.DeviceCode[3])) + charAt(w, 2) + charAt(w, 3);
}

QString deviceCodeB(const SheetInfoRecord &record)
{
    const QString w = firstWord(record);
    return QString(QChar::fromLatin1(record.DeviceCode[3])) + charAt(w, 0) + charAt(w, 9);
}

const QString kNoDeviceCode = QStringLiteral("0000");

} // namespace

QStringList &NoneExistNames()
{
    static QStringList names{QStringLiteral("None"), QStringLiteral("Exist")};
    return names;
}

CResourceData::CResourceData(QObject *parent) : QObject(parent)
{
    NoneExistNames() = QStringList{tr("None"), tr("Exist")};
    QStringList &paperNames = PaperSizeNames();
    const QString translated[] = {tr("US Letter (Portrait)"), tr("US Letter (Landscape)"), tr("Tabloid"),
                                  tr("Legal"),                tr("A4 (Portrait)"),         tr("A4 (Landscape)")};
    for (int row = 0; row < 6 && row < paperNames.size(); ++row)
        paperNames[row] = translated[row];
    if (paperNames.size() > kCustomPaperSizeRow) {
        paperNames[7] = tr("A3+ (Portrait)");
        paperNames[kCustomPaperSizeRow] = tr("Custom");
    }
}

int CResourceData::Initialize(const QString &folder)
{
    const QString base = (folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder) + QLatin1Char('/');
    ReadBarcodeList(base + QStringLiteral("Barcode.lst"));
    ReadBarcodeSizeList(base + QStringLiteral("BarcodeSize.lst"));
    ReadTemplateList(base + QStringLiteral("Template.lst"));
    ReadInstrumentList(base + QStringLiteral("Instrument.lst"));
    ReadDefaultPositions(base + QStringLiteral("12642-2_default.csv"));
    ReadAddFileNames(base + QStringLiteral("AddFileName.lst"));
    return 0;
}

void CResourceData::ReadBarcodeList(const QString &path)
{
    m_barcodeRecords.insert(QStringLiteral("000"), SheetInfoRecord{});
    forEachLine(path, [this](const QString &line) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() != 3)
            return;
        SheetInfoRecord record{};
        const QByteArray code = fields.at(1).toLocal8Bit().left(int(sizeof record.ChartCode));
        std::memcpy(record.ChartCode, code.constData(), size_t(code.size()));
        record.PatchCount = toNumber(fields.at(2));
        m_barcodeRecords.insert(fields.at(0), record);
    });
}

void CResourceData::ReadBarcodeSizeList(const QString &path)
{
    forEachLine(path, [this](const QString &line) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() != 6)
            return;
        BarcodeSizeData size;
        size.SymbolNumber = toNumber(fields.at(0));
        size.Modules = toNumber(fields.at(1));
        for (int level = 0; level < kBarcodeLevelCount; ++level)
            size.Capacity[level] = toNumber(fields.at(2 + level));
        m_barcodeSizes.append(size);
    });
}

void CResourceData::ReadTemplateList(const QString &path)
{
    forEachLine(path, [this](const QString &line) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < 4)
            return;
        TemplateData row;
        row.Name = fields.at(0);
        row.FirstNumber = toNumber(fields.at(1));
        row.SecondNumber = toNumber(fields.at(2));
        for (int i = 3; i < fields.size(); ++i)
            row.NumberList.append(toNumber(fields.at(i)));
        m_templates.append(row);
    });
}

void CResourceData::ReadInstrumentList(const QString &path)
{
    forEachLine(path, [this](const QString &line) { m_instrumentNames.append(line); });
}

void CResourceData::ReadDefaultPositions(const QString &path)
{
    static const QRegularExpression header(QStringLiteral("^ID,Row,Column,Row,Column"));
    static const QRegularExpression dataLine(QStringLiteral("^[0-9]"));
    bool headerSeen = false;
    forEachLine(path, [&](const QString &line) {
        if (line.isEmpty())
            return;
        if (header.match(line).hasMatch()) {
            headerSeen = true;
            return;
        }
        if (!headerSeen || !dataLine.match(line).hasMatch())
            return;
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < 5)
            return;
        DefaultPositionData position;
        position.Row1 = toNumber(fields.at(1));
        position.Column1 = toNumber(fields.at(2));
        position.Row2 = toNumber(fields.at(3));
        position.Column2 = toNumber(fields.at(4));
        m_defaultPositions.insert(toNumber(fields.at(0)), position);
    });
}

void CResourceData::ReadAddFileNames(const QString &path)
{
    forEachLine(path, [this](const QString &line) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() == 2)
            m_addFileNames.insert(fields.at(0), fields.at(1));
    });
}

SheetInfoRecord CResourceData::GetBarcodeRecord(const SheetInfoRecord &scanned) const
{
    return m_barcodeRecords.value(GetDeviceCode(scanned), SheetInfoRecord{});
}

QString CResourceData::GetDeviceCode(const SheetInfoRecord &record) const
{
    if (!isPresetKind(record))
        return kNoDeviceCode;
    const char c = record.DeviceCode[3];
    if ((c >= '0' && c <= '4') || (c >= 'E' && c <= 'L'))
        return deviceCodeB(record);
    if ((c >= '5' && c <= '9') || (c >= 'A' && c <= 'D'))
        return deviceCodeA(record);
    return kNoDeviceCode;
}

QString CResourceData::GetDeviceCodeA(const SheetInfoRecord &record) const
{
    return isPresetKind(record) ? deviceCodeA(record) : kNoDeviceCode;
}

QString CResourceData::GetDeviceCodeB(const SheetInfoRecord &record) const
{
    return isPresetKind(record) ? deviceCodeB(record) : kNoDeviceCode;
}

QList<BarcodeEntry> CResourceData::FindBarcodeEntries(QChar c1, QChar c2) const
{
    QList<BarcodeEntry> entries;
    for (auto it = m_barcodeRecords.cbegin(); it != m_barcodeRecords.cend(); ++it) {
        const QString &code = it.key();
        if (code.size() >= 3 && code.at(1) == c1 && code.at(2) == c2)
            entries.append({code, it.value()});
    }
    return entries;
}

QString CResourceData::MakeBarcodeText(const SheetInfoRecord &record) const
{
    const QLatin1Char colon(':');
    QString text = QStringLiteral("Orlo:0000");
    text += QString::fromLocal8Bit(boundedBytes(record.ChartCode, int(sizeof record.ChartCode)));
    text += colon;
    for (qint32 value : {record.SheetCount, record.SheetNumber, record.PatchCount, record.AreaCount})
        text += QString::number(quint32(value)) + colon;
    const int areaCount = clampedAreaCount(record);
    for (int i = 0; i < areaCount; ++i) {
        const SheetInfoRecord::AreaTriple &area = record.Areas[i];
        for (qint32 value : {area.RowCount, area.ColumnCount, area.PatchCount})
            text += QString::number(quint32(value)) + colon;
    }
    for (quint32 word : record.Words)
        text += QString::number(word, 16) + colon;
    text += QString::fromLocal8Bit(boundedBytes(record.Text, int(sizeof record.Text)));
    return text;
}

int CResourceData::GetBarcodeSize(const SheetInfoRecord &record, int level, int pixelsPerModule) const
{
    if (level < 0 || level >= kBarcodeLevelCount)
        return 0;
    const int length = MakeBarcodeText(record).size();
    for (const BarcodeSizeData &size : m_barcodeSizes) {
        if (size.Capacity[level] > length) {
            // A damaged size list must not overflow the product.
            const qint64 side = (qint64(size.Modules) + 8) * pixelsPerModule;
            return side >= 0 && side <= INT_MAX ? int(side) : 0;
        }
    }
    return 0;
}

int CResourceData::GetBarcodeInsetPixels(int pixelsPerModule) const
{
    return 4 * pixelsPerModule;
}

QString CResourceData::GetAddFileName(const QString &key) const
{
    static const QRegularExpression separators(QStringLiteral("(\\s|\t|\r|\n)+"));
    const QString word = key.split(separators).value(0);
    return m_addFileNames.value(word);
}

const TemplateData *CResourceData::TemplateAt(int index) const
{
    return index >= 0 && index < m_templates.size() ? &m_templates.at(index) : nullptr;
}

QStringList CResourceData::GetTemplateList() const
{
    QStringList names;
    for (const TemplateData &row : m_templates)
        names.append(row.Name);
    return names;
}

int CResourceData::GetTemplateTextOutput(int index) const
{
    const TemplateData *row = TemplateAt(index);
    return row ? row->FirstNumber : -1;
}

int CResourceData::GetTemplateSecondNumber(int index) const
{
    const TemplateData *row = TemplateAt(index);
    return row ? row->SecondNumber : -1;
}

QList<int> CResourceData::GetTemplateNumberList(int index) const
{
    const TemplateData *row = TemplateAt(index);
    return row ? row->NumberList : QList<int>();
}

QStringList CResourceData::GetInstrumentNames() const
{
    return m_instrumentNames;
}

QPair<int, int> CResourceData::GetIso12642DefaultPosition(int id, int layoutFlag) const
{
    const auto it = m_defaultPositions.constFind(id);
    if (it == m_defaultPositions.cend())
        return {0, 0};
    return layoutFlag == 0 ? qMakePair(it->Column1, it->Row1) : qMakePair(it->Column2, it->Row2);
}

int CResourceData::GetIso12642LayoutLongSide() const
{
    return kIso12642LongSide;
}

int CResourceData::GetIso12642LayoutShortSide() const
{
    return kIso12642ShortSide;
}

QStringList CResourceData::GetNoneExistNames() const
{
    return NoneExistNames();
}

InkChannelList CResourceData::GetReferenceColors() const
{
    return ReferenceInkChannels();
}

float CResourceData::GetColorDefaultValue(int format) const
{
    return ColorFormatRow(format).paperWhite;
}

float CResourceData::GetColorMaxValue(int format) const
{
    return ColorFormatRow(format).maximum;
}

float CResourceData::GetColorMinValue(int format) const
{
    return ColorFormatRow(format).minimum;
}

QStringList CResourceData::GetColorChannelNames(int format) const
{
    return ColorFormatRow(format).channelNames;
}

QString CResourceData::GetPageSizeName(int index) const
{
    return PaperSizeNames().value(index);
}

QStringList CResourceData::GetPageSizeNames() const
{
    return PaperSizeNames();
}

int CResourceData::GetPageSizeWidth(int index) const
{
    if (index == kCustomPaperSizeRow)
        return CustomPaperSize().minWidth;
    return FixedPaperSize(index).width;
}

int CResourceData::GetPageSizeHeight(int index) const
{
    if (index == kCustomPaperSizeRow)
        return CustomPaperSize().minHeight;
    return FixedPaperSize(index).height;
}

int CResourceData::GetPageSizeMaxWidth(int index) const
{
    return index == kCustomPaperSizeRow ? CustomPaperSize().maxWidth : 0;
}

int CResourceData::GetPageSizeMaxHeight(int index) const
{
    return index == kCustomPaperSizeRow ? CustomPaperSize().maxHeight : 0;
}

int CResourceData::FindPaperSizeIndex(int width, int height) const
{
    for (int row = 0; row < kFixedPaperSizeCount; ++row) {
        const PaperSize size = FixedPaperSize(row);
        if (size.width == width && size.height == height)
            return row;
    }
    return kCustomPaperSizeRow;
}

int CResourceData::FindPaperSizeIndexInUnit(int unit, int width, int height) const
{
    for (int row = 0; row < kFixedPaperSizeCount; ++row) {
        const PaperSize size = FixedPaperSize(row);
        if (ToUnitFixed(unit, MmFixedToUnit(unit, size.width)) == width &&
            ToUnitFixed(unit, MmFixedToUnit(unit, size.height)) == height)
            return row;
    }
    return kCustomPaperSizeRow;
}

int CResourceData::GetAreaLeftMin() const
{
    return kAreaLeftMin;
}

int CResourceData::GetAreaLeftMax() const
{
    return CustomPaperSize().maxWidth - 1000;
}

int CResourceData::GetAreaTopMax() const
{
    return CustomPaperSize().maxHeight - 3900;
}

int CResourceData::GetMaxColumnCount() const
{
    return (CustomPaperSize().maxWidth - 800) / 600;
}

int CResourceData::GetMaxRowCount() const
{
    return (CustomPaperSize().maxHeight - 3300) / 600;
}

int CResourceData::GetMinRowColumnCount() const
{
    return kMinRowColumnCount;
}
