// The instrument diagnosis file: what the store loads it saves, and a second store must load the same data.
#include "fuzzsupport.h"
#include "recordcheck.h"

#include "app/diagnosedata.h"

#include <QFileInfo>

#include <tuple>

namespace {

bool SameFloats(const float *a, const float *b, int n)
{
    for (int i = 0; i < n; ++i)
        if (!fuzz::SameFloat(a[i], b[i]))
            return false;
    return true;
}

bool SameTile(const TileResultRecord &a, const TileResultRecord &b)
{
    return a.TileId == b.TileId && SameFloats(a.MeasuredLab, b.MeasuredLab, 3) &&
           SameFloats(a.StandardLab, b.StandardLab, 3) &&
           SameFloats(a.Differences, b.Differences, kColourDifferenceKindCount) &&
           SameFloats(a.Tolerances, b.Tolerances, kColourDifferenceKindCount) &&
           std::equal(a.Judgements, a.Judgements + kColourDifferenceKindCount, b.Judgements) &&
           std::equal(a.CheckStates, a.CheckStates + kColourDifferenceKindCount, b.CheckStates) &&
           SameFloats(a.MeasuredReflectance, b.MeasuredReflectance, kReflectanceCount) &&
           SameFloats(a.StandardReflectance, b.StandardReflectance, kReflectanceCount);
}

QString Differences(const CDiagnoseData &a, const CDiagnoseData &b)
{
    unsigned int n = 0, m = 0;
    const DiagnoseHistoryRecord *h = nullptr, *g = nullptr;
    a.GetDiagnoseHistory(&n, &h);
    b.GetDiagnoseHistory(&m, &g);
    if (n != m)
        return QStringLiteral("history count %1 became %2").arg(n).arg(m);
    for (unsigned int i = 0; i < n; ++i) {
        if (std::tie(h[i].ModelIndex, h[i].SerialNumber, h[i].DateTime, h[i].Judgement, h[i].Flag, h[i].TileCount) !=
            std::tie(g[i].ModelIndex, g[i].SerialNumber, g[i].DateTime, g[i].Judgement, g[i].Flag, g[i].TileCount))
            return QStringLiteral("history %1: header fields changed").arg(i);
        for (unsigned int k = 0; k < h[i].TileCount && k < unsigned(kTileCount); ++k)
            if (!SameTile(h[i].Tiles[k], g[i].Tiles[k]))
                return QStringLiteral("history %1: tile %2 changed").arg(i).arg(k);
    }
    const StandardValueRecord *s = nullptr, *t = nullptr;
    a.GetStandardValues(&n, &s);
    b.GetStandardValues(&m, &t);
    if (n != m)
        return QStringLiteral("standard count %1 became %2").arg(n).arg(m);
    for (unsigned int i = 0; i < n; ++i)
        if (!SameFloats(s[i].Reflectance, t[i].Reflectance, kReflectanceCount) || !SameFloats(s[i].Lab, t[i].Lab, 3))
            return QStringLiteral("standard %1 changed").arg(i);
    const TileSetInfo &x = a.GetTileSetRecord();
    const TileSetInfo &y = b.GetTileSetRecord();
    if (std::tie(x.ModelIndex, x.SerialNumber, x.CreateTime) != std::tie(y.ModelIndex, y.SerialNumber, y.CreateTime))
        return QStringLiteral("tile set information changed");
    const ToleranceRecord *u = nullptr, *v = nullptr;
    a.GetToleranceValues(&n, &u);
    b.GetToleranceValues(&m, &v);
    if (n != m)
        return QStringLiteral("tolerance count %1 became %2").arg(n).arg(m);
    for (unsigned int i = 0; i < n; ++i) {
        if (u[i].Kind != v[i].Kind || u[i].RowIndex != v[i].RowIndex || u[i].PairCount != v[i].PairCount)
            return QStringLiteral("tolerance %1: header fields changed").arg(i);
        for (unsigned int k = 0; k < u[i].PairCount && k < unsigned(kTolerancePairCount); ++k)
            if (u[i].Pairs[k].TileId != v[i].Pairs[k].TileId ||
                !fuzz::SameFloat(u[i].Pairs[k].Tolerance, v[i].Pairs[k].Tolerance))
                return QStringLiteral("tolerance %1: pair %2 changed").arg(i).arg(k);
    }
    return QString();
}

} // namespace

VAREMO_FUZZ_TARGET(diagnose)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("diagnose");
    CDiagnoseData first(folder);
    fuzz::WriteInput(folder, QFileInfo(first.FilePath()).fileName(), data, size);
    if (!first.LoadDiagnose())
        return 0;
    const int saved = first.SaveDiagnose();
    if (saved != 0)
        fuzz::Fail("diagnose", QStringLiteral("the diagnosis data could not be saved (%1)").arg(saved));
    CDiagnoseData second(folder);
    if (!second.LoadDiagnose())
        fuzz::Fail("diagnose", QStringLiteral("the saved diagnosis file does not load"));
    const QString diff = Differences(first, second);
    if (!diff.isEmpty())
        fuzz::Fail("diagnose", diff);
    return 0;
}
