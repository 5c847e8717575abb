#include "rank.h"

#include "vexapi_codes.h"

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

}  // namespace

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
