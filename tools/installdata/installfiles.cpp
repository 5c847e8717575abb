#include "installfiles.h"

#include <QFile>
#include <QStringList>

#include <vector>

namespace InstallData {

namespace {

constexpr int kColumns = 49;
constexpr int kRows = 33;

QByteArray joinLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLatin1() + '\n';
    return bytes;
}

// A small generator of our own, so the permutation never depends on a library's implementation.
class XorShift32
{
public:
    explicit XorShift32(quint32 seed) : m_state(seed) {}
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

private:
    quint32 m_state;
};

} // namespace

QByteArray Iso12642DefaultCsv()
{
    const int count = kColumns * kRows;
    // Layout 2: position p (numbered down the columns like layout 1) of patch id i is order[i - 1].
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[size_t(i)] = i;
    XorShift32 random(0x12642u);
    for (int i = count - 1; i > 0; --i) {
        const int j = int(random.next() % quint32(i + 1));
        std::swap(order[size_t(i)], order[size_t(j)]);
    }
    QStringList lines{QStringLiteral("ID,Row,Column,Row,Column")};
    for (int id = 1; id <= count; ++id) {
        const int p = order[size_t(id - 1)];
        lines << QStringLiteral("%1,%2,%3,%4,%5")
                     .arg(id)
                     .arg((id - 1) % kRows + 1)
                     .arg((id - 1) / kRows + 1)
                     .arg(p % kRows + 1)
                     .arg(p / kRows + 1);
    }
    return joinLines(lines);
}

QMap<QString, QByteArray> GenerateInstallFiles(const PresetTable &table)
{
    QStringList templates;
    for (const TemplateRow &row : table.templates) {
        QStringList fields{row.name, QString::number(row.firstNumber), QString::number(row.secondNumber)};
        for (int n : row.instruments)
            fields << QString::number(n);
        templates << fields.join(QLatin1Char(','));
    }
    QStringList barcodes;
    QStringList addFileNames;
    for (const PresetChart &chart : table.presets) {
        if (!chart.barcodeKey.isEmpty())
            barcodes << QStringLiteral("%1,%2,%3").arg(chart.barcodeKey, chart.chartName).arg(chart.PatchCount());
        if (!chart.addFileName.isEmpty())
            addFileNames << chart.chartName.section(QLatin1Char(' '), 0, 0) + QLatin1Char(',') + chart.addFileName;
    }
    return {
        {QStringLiteral("Barcode.lst"), joinLines(barcodes)},
        {QStringLiteral("Template.lst"), joinLines(templates)},
        {QStringLiteral("AddFileName.lst"), joinLines(addFileNames)},
        {QStringLiteral("12642-2_default.csv"), Iso12642DefaultCsv()},
    };
}

bool WriteInstallFiles(const PresetTable &table, const QString &folder, QString *error)
{
    const QMap<QString, QByteArray> files = GenerateInstallFiles(table);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(folder + QLatin1Char('/') + it.key());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(it.value()) != it.value().size() ||
            !file.flush()) {
            *error = QStringLiteral("%1: cannot be written").arg(file.fileName());
            return false;
        }
    }
    return true;
}

} // namespace InstallData
