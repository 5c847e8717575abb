#pragma once
// Checks shared by the tests of the other tools' XML chart imports: compact texts of a chart's layout and
// patches, the write-and-read-back check, and loading a fixture as a DOM for single-attribute mutations.

#include "testhost.h"

#include <QDomDocument>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <clocale>
#include <tuple>

#include <sys/resource.h>

#ifndef VAREMO_FILES_TEST_DATA
#error "VAREMO_FILES_TEST_DATA must name the fixture folder"
#endif

// Peak resident size of the process; hostile rows must not raise it by much.
inline long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
constexpr long kHostileGrowthKilobytes = 128 * 1024;

inline QString FixturePath(const QString &name)
{
    return QStringLiteral(VAREMO_FILES_TEST_DATA "/") + name;
}

// "id@page.area.row.column" for every patch, in array order.
inline QString Placement(const ChartDefinitionDataSheets &chart)
{
    QStringList out;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &page = chart.Sheets[s];
        for (int p = 0; p < page.PatchCount; ++p) {
            const ChartDefinitionData::PatchColor &patch = page.Patches[p];
            out << QStringLiteral("%1@%2.%3.%4.%5")
                       .arg(patch.ID)
                       .arg(s)
                       .arg(patch.Area)
                       .arg(patch.Row)
                       .arg(patch.Column);
        }
    }
    return out.join(QLatin1Char(' '));
}

// Per page "width x height:" then each area as "rows x columns (x,y,w,h,pitchX,pitchY)".
inline QString Layout(const ChartDefinitionDataSheets &chart)
{
    QStringList pages;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &page = chart.Sheets[s];
        QStringList areas;
        for (int a = 0; a < page.AreaCount; ++a) {
            const ChartDefinitionData::AreaPlacement &g = page.Placements[a];
            areas << QStringLiteral("%1x%2(%3,%4,%5,%6,%7,%8)")
                         .arg(page.Areas[a].RowCount)
                         .arg(page.Areas[a].ColumnCount)
                         .arg(g.LeftTopX)
                         .arg(g.LeftTopY)
                         .arg(g.PatchWidth)
                         .arg(g.PatchHeight)
                         .arg(g.PatchWidthGap)
                         .arg(g.PatchHeightGap);
        }
        pages << QStringLiteral("%1x%2:").arg(page.Width).arg(page.Height) + areas.join(QLatin1Char(' '));
    }
    return pages.join(QLatin1String(" | "));
}

// The colour values of the patch with this id, "v1/v2/..." in ink order; empty when no patch has it.
inline QString ValuesOf(const ChartDefinitionDataSheets &chart, int id)
{
    for (int s = 0; s < chart.SheetCount; ++s) {
        for (int p = 0; p < chart.Sheets[s].PatchCount; ++p) {
            const ChartDefinitionData::PatchColor &patch = chart.Sheets[s].Patches[p];
            if (patch.ID != id)
                continue;
            QStringList values;
            for (int k = 0; k < patch.ColorFormat + 2; ++k)
                values << QString::number(double(patch.ColorValue[k]));
            return values.join(QLatin1Char('/'));
        }
    }
    return QString();
}

// Everything the chart XML keeps, patches sorted by page, area, row and column.
inline QString Summary(const ChartDefinitionDataSheets &chart)
{
    QStringList out;
    out << QStringLiteral("kind %1 pages %2 patches %3 unit %4 recog %5 name %6")
               .arg(chart.Kind)
               .arg(chart.SheetCount)
               .arg(chart.ChartPatchCount)
               .arg(chart.UNIT)
               .arg(chart.Recog)
               .arg(chart.ChartName);
    out << Layout(chart);
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &page = chart.Sheets[s];
        QVector<ChartDefinitionData::PatchColor> patches(page.Patches.get(), page.Patches.get() + page.PatchCount);
        std::stable_sort(patches.begin(), patches.end(), [](const auto &a, const auto &b) {
            return std::make_tuple(a.Area, a.Row, a.Column) < std::make_tuple(b.Area, b.Row, b.Column);
        });
        for (const auto &patch : patches) {
            QStringList values;
            for (int k = 0; k < patch.ColorFormat + 2; ++k)
                values << QString::number(double(patch.ColorValue[k]), 'f', 2);
            out << QStringLiteral("%1@%2.%3.%4.%5 f%6 %7")
                       .arg(patch.ID)
                       .arg(s)
                       .arg(patch.Area)
                       .arg(patch.Row)
                       .arg(patch.Column)
                       .arg(patch.ColorFormat)
                       .arg(values.join(QLatin1Char('/')));
        }
    }
    return out.join(QLatin1Char('\n'));
}

// Writes the chart as the program's own XML and reads it back: the two must agree.
inline void VerifyRoundTrip(CIODataFile &file, const ChartDefinitionDataSheets &chart, const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("roundtrip.xml"));
    QCOMPARE(file.WriteChartDefinition(path, &chart), 0);
    ChartGuard back;
    int kind = 0;
    int count = 0;
    QCOMPARE(file.ImportXmlChartDefinition(&back.chart, &kind, &count, path), 0);
    QCOMPARE(kind, int(CIODataFile::XmlOwnChart));
    QCOMPARE(Summary(back.chart), Summary(chart));
}

inline QDomDocument LoadFixtureDocument(const QString &name)
{
    QDomDocument document;
    QFile file(FixturePath(name));
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file, false))
        qFatal("fixture %s cannot be read", qPrintable(name));
    return document;
}

// Runs the import once in the C locale and once with German number formats everywhere.
template <typename Import>
void VerifyLocaleIndependent(Import import)
{
    ChartGuard plain;
    QCOMPARE(import(&plain.chart), 0);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German));
    const bool numeric = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    ChartGuard german;
    const int result = import(&german.chart);
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(before);
    QVERIFY2(numeric, "locale de_DE.UTF-8 missing: install locales and run locale-gen");
    QCOMPARE(result, 0);
    QCOMPARE(Summary(german.chart), Summary(plain.chart));
}
