#include "rank.h"

#include "vexapi_codes.h"

#include "generated/isotemperature.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace vexapi {

namespace {

constexpr char kEmptyName[] = "NODATA+++++";
constexpr double kTolerance = 1.1920929e-7;

struct Point {
    double x;
    double y;
};

bool InsideUnit(double v) { return v > 0.0 && v < 1.0; }

bool PolygonValid(const VexRankData& r)
{
    if (r.type != 0 && r.type != 1)
        return false;
    if (r.vertexCount < 3 || r.vertexCount > 10)
        return false;
    for (int i = 0; i < r.vertexCount; ++i) {
        if (!InsideUnit(r.xy[2 * i]) || !InsideUnit(r.xy[2 * i + 1]))
            return false;
        if (r.type == 1) {
            const double t = r.tduv[2 * i];
            const double duv = r.tduv[2 * i + 1];
            if (!(t >= 1563.0 && t < 100000.0) || !(duv >= -0.1 && duv <= 0.1))
                return false;
        }
    }
    return true;
}

bool WithinRange(double v, double a, double b)
{
    return v >= std::min(a, b) - kTolerance && v <= std::max(a, b) + kTolerance;
}

// Segments meet when the intersection of their lines lies within both segments' x and y ranges.
bool SegmentsMeet(Point a1, Point a2, Point b1, Point b2)
{
    const double d = (a2.x - a1.x) * (b2.y - b1.y) - (a2.y - a1.y) * (b2.x - b1.x);
    if (std::fabs(d) < 1e-300)
        return false;
    const double t = ((b1.x - a1.x) * (b2.y - b1.y) - (b1.y - a1.y) * (b2.x - b1.x)) / d;
    const Point p{a1.x + t * (a2.x - a1.x), a1.y + t * (a2.y - a1.y)};
    return WithinRange(p.x, a1.x, a2.x) && WithinRange(p.y, a1.y, a2.y) && WithinRange(p.x, b1.x, b2.x) &&
           WithinRange(p.y, b1.y, b2.y);
}

int CheckSimple(const VexRankData& r)
{
    std::vector<Point> work;
    for (int i = 0; i < r.vertexCount; ++i) {
        const Point p{r.xy[2 * i], r.xy[2 * i + 1]};
        const std::size_t a = work.size();
        if (a > 2) {
            for (std::size_t e = 1; e + 1 < a; ++e) {
                if (SegmentsMeet(p, work[0], work[e], work[e + 1]))
                    return RankCode::kClosingEdgeCrosses;
            }
            for (std::size_t e = 0; e + 2 < a; ++e) {
                if (SegmentsMeet(work[a - 1], p, work[e], work[e + 1]))
                    return RankCode::kNewEdgeCrosses;
            }
        }
        work.push_back(p);
    }
    return RankCode::kOk;
}

constexpr int kMaxNudges = 100;

bool Near(double a, double b) { return std::fabs(a - b) <= kTolerance; }

// Intersection of segment p-q with segment a-b; false for parallel or degenerate lines or no meeting.
bool Intersect(Point p, Point q, Point a, Point b, Point* at)
{
    const double d = (q.x - p.x) * (b.y - a.y) - (q.y - p.y) * (b.x - a.x);
    if (d == 0.0)
        return false;
    const double t = ((a.x - p.x) * (b.y - a.y) - (a.y - p.y) * (b.x - a.x)) / d;
    const Point i{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
    if (!(WithinRange(i.x, p.x, q.x) && WithinRange(i.y, p.y, q.y) && WithinRange(i.x, a.x, b.x) &&
          WithinRange(i.y, a.y, b.y)))
        return false;
    *at = i;
    return true;
}

int IntersectionKind(Point i, Point p)
{
    const double dx = i.x - p.x;
    const double dy = i.y - p.y;
    if ((dx >= 0 && dy >= 0) || (dx < 0 && dy < 0))
        return 1;
    return dx < 0 ? 2 : 4;
}

}  // namespace

bool cRank::PointInPolygon(const float* xy, int count, double px, double py)
{
    const Point p{px, py};
    Point q = Near(px, 0.0) && Near(py, 0.0) ? Point{1.0, 1.0} : Point{0.0, 0.0};
    for (int attempt = 0; attempt <= kMaxNudges; ++attempt) {
        int counted = 0;
        int firstKind = 0;
        bool restart = false;
        for (int e = 0; e < count && !restart; ++e) {
            const int from = e == 0 ? count - 1 : e - 1;
            const Point a{xy[2 * from], xy[2 * from + 1]};
            const Point b{xy[2 * e], xy[2 * e + 1]};
            if (Near(a.x, b.x) && Near(a.y, b.y))
                continue;
            Point i{};
            if (!Intersect(p, q, a, b, &i))
                continue;
            if (Near(i.x, p.x) && Near(i.y, p.y))
                return true;  // on the edge
            if ((Near(i.x, a.x) && Near(i.y, a.y)) || (Near(i.x, b.x) && Near(i.y, b.y))) {
                restart = true;  // the probe passes through a vertex: move it a little
                break;
            }
            const int kind = IntersectionKind(i, p);
            if (counted == 0)
                firstKind = kind;
            if (counted == 0 || kind == firstKind)
                ++counted;
        }
        if (!restart)
            return counted % 2 == 1;
        q.x += 0.00001;
    }
    // A probe that keeps hitting vertices gives no answer; count the point as outside.
    return false;
}

bool cRank::TduvToXy(double t, double duv, int observer, double* x, double* y)
{
    if (!(t >= 1563.0 && t < 100000.0) || !(std::fabs(duv) <= 0.1))
        return false;
    const vexcolor::IsoTemperatureRowD* rows = vexcolor::kIsoTemperatureD[observer == 1 ? 1 : 0];
    const double m = 1e6 / t;
    const int i = static_cast<int>(m / 10.0);
    const double k = m / 10.0 - i;
    if (i < 1 || i + 1 >= 65)
        return false;
    const auto& a = rows[i - 1];
    const auto& b = rows[i];
    const auto& c = rows[i + 1];
    const double up = k * k * ((c.u + a.u) / 2 - b.u) + k * (c.u - a.u) / 2 + b.u;
    const double vp = k * k * ((c.v + a.v) / 2 - b.v) + k * (c.v - a.v) / 2 + b.v;
    const double slope = b.t + (c.t - b.t) * (m - b.mired) / (c.mired - b.mired);
    double u = up;
    double v = vp + duv;
    if (std::fabs(slope) >= 2.220446e-16) {
        // Along the isotemperature line (du/dv = slope), |duv| away, on the side where v - vp has duv's sign.
        const double len = std::sqrt(slope * slope + 1.0);
        double dv = std::fabs(duv) / len;
        if (duv < 0)
            dv = -dv;
        u = up + slope * dv;
        v = vp + dv;
    }
    const double den = u - 4 * v + 2;
    if (den == 0.0)
        return false;
    *x = 1.5 * u / den;
    *y = v / den;
    return true;
}

bool cRank::ConvertTduvToXy(VexRankData* entry, int observer)
{
    if (!entry || entry->vertexCount < 0 || entry->vertexCount > 10)
        return false;
    for (int i = 0; i < entry->vertexCount; ++i) {
        double x = 0, y = 0;
        if (!TduvToXy(entry->tduv[2 * i], entry->tduv[2 * i + 1], observer, &x, &y))
            return false;
        entry->xy[2 * i] = static_cast<float>(x);
        entry->xy[2 * i + 1] = static_cast<float>(y);
    }
    return true;
}

int cRank::SortOut(VexRankResult* out, const ClassifiedPoint* point) const
{
    if (!out || !point)
        return RankCode::kNull;
    out->value = point->value;
    bool anyUsable = false;
    for (int i = 0; i < kEntries; ++i) {
        const VexRankData& e = entries_[i];
        if (IsEmpty(e) || e.flag != 1)
            continue;
        anyUsable = true;
        if (PointInPolygon(e.xy, e.vertexCount, point->x, point->y)) {
            std::memset(out->name, 0, sizeof out->name);
            std::memcpy(out->name, e.name, strnlen(e.name, 15));
            out->index = i;
            return RankCode::kOk;
        }
    }
    std::memset(out->name, 0, sizeof out->name);
    std::memcpy(out->name, "N/A", 3);
    out->index = -10000;
    return anyUsable ? RankCode::kNotInside : RankCode::kNoEntry;
}

cRank::cRank()
{
    for (VexRankData& e : entries_)
        Clear(&e);
}

void cRank::Clear(VexRankData* entry)
{
    std::memset(entry, 0, sizeof *entry);
    std::memcpy(entry->name, kEmptyName, sizeof kEmptyName);
}

bool cRank::IsEmpty(const VexRankData& entry)
{
    return std::strncmp(entry.name, kEmptyName, sizeof entry.name) == 0 && entry.vertexCount == 0;
}

int cRank::Get(VexRankData* out, int index) const
{
    if (index < 0 || index >= kEntries)
        return RankCode::kGetIndex;
    if (IsEmpty(entries_[index]))
        return RankCode::kEmpty;
    if (!out)
        return RankCode::kNull;
    *out = entries_[index];
    return RankCode::kOk;
}

int cRank::Set(const VexRankData* in, int index)
{
    if (!in)
        return RankCode::kNull;
    if (index < 0 || index >= kEntries)
        return RankCode::kSetIndex;
    if (!PolygonValid(*in))
        return RankCode::kBadPolygon;
    // The name field need not be terminated: look no further than its 44 bytes.
    const void* end = std::memchr(in->name, '\0', sizeof in->name);
    if (!end || static_cast<const char*>(end) - in->name > 40)
        return RankCode::kLongName;
    if (in->flag != 0 && in->flag != 1)
        return RankCode::kBadFlag;
    const int simple = CheckSimple(*in);
    if (simple != RankCode::kOk)
        return simple;
    entries_[index] = *in;
    return RankCode::kOk;
}

int cRank::Delete(int index)
{
    if (index == kAllEntries) {
        for (VexRankData& e : entries_)
            Clear(&e);
        return RankCode::kOk;
    }
    if (index < 0 || index >= kEntries)
        return RankCode::kDeleteIndex;
    Clear(&entries_[index]);
    return RankCode::kOk;
}

}  // namespace vexapi
