// Patch recognition of the simulated scanner: uniform rectangles that stand out from the paper, grouped into
// areas of equal patch size on a constant pitch.

#include "orlo_internal.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <numeric>
#include <utility>

namespace orlosim {
namespace {

constexpr int kPaperTolerance = 24;  // a patch differs from the paper by more than this in some channel
constexpr int kColourTolerance = 24; // pixels of one patch stay this close to its first pixel
constexpr double kMinFill = 0.9;
constexpr int kMinSidePx = (200 * kDpi + 1270) / 2540; // 2 mm
constexpr int kAlignPx = 3;

struct Rect {
    int x, y, w, h;
};

int ColourDistance(const uint8_t* a, const uint8_t* b)
{
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

void PaperColour(const SheetImage& s, uint8_t paper[3])
{
    std::vector<int> histogram(4096, 0);
    const size_t n = static_cast<size_t>(s.width) * s.height;
    for (size_t i = 0; i < n; i += 3) {
        const uint8_t* p = &s.rgb[i * 3];
        ++histogram[(p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4)];
    }
    const int bin = static_cast<int>(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    long long sum[3] = {0, 0, 0}, count = 0;
    for (size_t i = 0; i < n; i += 3) {
        const uint8_t* p = &s.rgb[i * 3];
        if (((p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4)) == bin) {
            for (int c = 0; c < 3; ++c)
                sum[c] += p[c];
            ++count;
        }
    }
    for (int c = 0; c < 3; ++c)
        paper[c] = static_cast<uint8_t>(count ? sum[c] / count : 255);
}

// The patches inside the bounds (pixels, end exclusive); what lies outside counts as paper.
std::vector<Rect> FindRects(const SheetImage& s, const QrRead& qr, const uint8_t paper[3], const Rect& bounds)
{
    const int bx = bounds.x, by = bounds.y, w = bounds.w, h = bounds.h;
    const auto at = [&](int x, int y) { return static_cast<size_t>(y - by) * w + (x - bx); };
    const auto pixel = [&](int x, int y) { return &s.rgb[(static_cast<size_t>(y) * s.width + x) * 3]; };
    std::vector<uint8_t> visited(static_cast<size_t>(w) * h, 0);
    if (qr.found) {
        // The symbol and its quiet zone are never patches.
        const int margin = 4 * 7 + 2;
        for (int y = std::max(by, qr.top - margin); y < std::min(by + h, qr.bottom + margin + 1); ++y)
            for (int x = std::max(bx, qr.left - margin); x < std::min(bx + w, qr.right + margin + 1); ++x)
                visited[at(x, y)] = 1;
    }
    std::vector<Rect> rects;
    std::vector<std::pair<int, int>> stack;
    for (int sy = by; sy < by + h; ++sy) {
        for (int sx = bx; sx < bx + w; ++sx) {
            if (visited[at(sx, sy)] || ColourDistance(pixel(sx, sy), paper) <= kPaperTolerance)
                continue;
            const uint8_t* seed = pixel(sx, sy);
            int x0 = sx, x1 = sx, y0 = sy, y1 = sy;
            long long count = 0;
            visited[at(sx, sy)] = 1;
            stack.assign(1, {sx, sy});
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++count;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
                const int nx[4] = {x - 1, x + 1, x, x};
                const int ny[4] = {y, y, y - 1, y + 1};
                for (int k = 0; k < 4; ++k) {
                    if (nx[k] < bx || ny[k] < by || nx[k] >= bx + w || ny[k] >= by + h)
                        continue;
                    const uint8_t* p = pixel(nx[k], ny[k]);
                    if (visited[at(nx[k], ny[k])] || ColourDistance(p, seed) > kColourTolerance ||
                        ColourDistance(p, paper) <= kPaperTolerance)
                        continue;
                    visited[at(nx[k], ny[k])] = 1;
                    stack.push_back({nx[k], ny[k]});
                }
            }
            const int rw = x1 - x0 + 1, rh = y1 - y0 + 1;
            if (rw >= kMinSidePx && rh >= kMinSidePx && count >= kMinFill * rw * rh)
                rects.push_back({x0, y0, rw, rh});
        }
    }
    return rects;
}

int Find(std::vector<int>& parent, int i)
{
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

// Sorted distinct positions, merging values closer than the alignment tolerance.
std::vector<int> Distinct(std::vector<int> v)
{
    std::sort(v.begin(), v.end());
    std::vector<int> out;
    for (int x : v)
        if (out.empty() || x - out.back() > kAlignPx)
            out.push_back(x);
    return out;
}

int NearestIndex(const std::vector<int>& positions, int v)
{
    int best = 0;
    for (int i = 1; i < static_cast<int>(positions.size()); ++i)
        if (std::abs(positions[i] - v) < std::abs(positions[best] - v))
            best = i;
    return best;
}

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

struct Area {
    int rows, columns, left, top;
    double pitchX, pitchY;
    int patchW, patchH;
    std::vector<std::pair<int, Rect>> patches; // grid index, rectangle
};

// Areas of neighbouring patches, top to bottom and left to right.
std::vector<Area> GroupAreas(const std::vector<Rect>& rects)
{
    const int n = static_cast<int>(rects.size());
    // Neighbours: same size, lined up in a row or a column, no further apart than one patch side.
    std::vector<int> parent(static_cast<size_t>(n));
    std::iota(parent.begin(), parent.end(), 0);
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const Rect &a = rects[i], &b = rects[j];
            if (std::abs(a.w - b.w) > kAlignPx || std::abs(a.h - b.h) > kAlignPx)
                continue;
            const int gapX = std::max(a.x, b.x) - std::min(a.x + a.w, b.x + b.w);
            const int gapY = std::max(a.y, b.y) - std::min(a.y + a.h, b.y + b.h);
            const bool inRow = std::abs(a.y - b.y) <= kAlignPx && gapX <= std::max(a.w, a.h);
            const bool inColumn = std::abs(a.x - b.x) <= kAlignPx && gapY <= std::max(a.w, a.h);
            if (inRow || inColumn)
                parent[Find(parent, i)] = Find(parent, j);
        }
    }
    std::vector<std::vector<int>> groups(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        groups[Find(parent, i)].push_back(i);

    std::vector<Area> areas;
    for (const auto& g : groups) {
        if (g.empty())
            continue;
        std::vector<int> xs, ys;
        long long sumW = 0, sumH = 0;
        for (int i : g) {
            xs.push_back(rects[i].x);
            ys.push_back(rects[i].y);
            sumW += rects[i].w;
            sumH += rects[i].h;
        }
        Area area;
        const std::vector<int> cols = Distinct(xs), rows = Distinct(ys);
        area.columns = static_cast<int>(cols.size());
        area.rows = static_cast<int>(rows.size());
        area.left = cols.front();
        area.top = rows.front();
        area.patchW = static_cast<int>(sumW / static_cast<long long>(g.size()));
        area.patchH = static_cast<int>(sumH / static_cast<long long>(g.size()));
        area.pitchX = area.columns > 1 ? double(cols.back() - cols.front()) / (area.columns - 1) : area.patchW;
        area.pitchY = area.rows > 1 ? double(rows.back() - rows.front()) / (area.rows - 1) : area.patchH;
        for (int i : g) {
            const int r = NearestIndex(rows, rects[i].y), c = NearestIndex(cols, rects[i].x);
            area.patches.push_back({r * area.columns + c, rects[i]});
        }
        std::sort(area.patches.begin(), area.patches.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        areas.push_back(std::move(area));
    }
    std::sort(areas.begin(), areas.end(),
              [](const Area& a, const Area& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
    return areas;
}

// The pixel rectangle of a region given by its four corners in 0.01 mm, within the sheet; empty when outside.
Rect RegionBounds(const SheetImage& sheet, const int32_t corners[8])
{
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (int k = 0; k < 4; ++k) {
        left = std::min<int64_t>(left, corners[2 * k]);
        right = std::max<int64_t>(right, corners[2 * k]);
        top = std::min<int64_t>(top, corners[2 * k + 1]);
        bottom = std::max<int64_t>(bottom, corners[2 * k + 1]);
    }
    const auto px = [](int64_t hundredths) {
        return MmToPx(static_cast<int>(std::clamp<int64_t>(hundredths, -2000000, 2000000)));
    };
    const int x0 = std::max(0, px(left)), y0 = std::max(0, px(top));
    const int x1 = std::min(sheet.width - 1, px(right)), y1 = std::min(sheet.height - 1, px(bottom));
    if (x1 < x0 || y1 < y0)
        return {0, 0, 0, 0};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

} // namespace

void FindPatches(const SheetImage& sheet, const QrRead& qr, OrloLayoutRecord& layout,
                 std::vector<OrloMeasurePoint>& points, const int32_t (*regions)[8], int regionCount)
{
    std::memset(&layout, 0, sizeof layout);
    layout.width = PxToMm(sheet.width);
    layout.height = PxToMm(sheet.height);
    points.clear();
    uint8_t paper[3];
    PaperColour(sheet, paper);
    std::vector<Area> areas;
    if (!regions || regionCount <= 0) {
        areas = GroupAreas(FindRects(sheet, qr, paper, {0, 0, sheet.width, sheet.height}));
    } else {
        for (int r = 0; r < regionCount; ++r) {
            std::vector<Area> found = GroupAreas(FindRects(sheet, qr, paper, RegionBounds(sheet, regions[r])));
            std::move(found.begin(), found.end(), std::back_inserter(areas));
        }
    }
    if (areas.size() > ORLO_MAX_AREAS)
        areas.resize(ORLO_MAX_AREAS);

    layout.areaCount = static_cast<int32_t>(areas.size());
    for (size_t a = 0; a < areas.size(); ++a) {
        const Area& area = areas[a];
        layout.areaCounts[a][0] = area.rows;
        layout.areaCounts[a][1] = area.columns;
        layout.areaCounts[a][2] = static_cast<int32_t>(area.patches.size());
        int32_t* g = layout.areaGeometry[a];
        g[0] = PxToMm(area.left);
        g[1] = PxToMm(area.top);
        g[2] = PxToMm(area.patchW);
        g[3] = PxToMm(area.patchH);
        g[4] = PxToMm(area.pitchX);
        g[5] = PxToMm(area.pitchY);
        layout.patchCount += static_cast<int32_t>(area.patches.size());
        for (const auto& [index, rect] : area.patches) {
            OrloMeasurePoint p;
            p.x = PxToMm(rect.x + rect.w / 2.0);
            p.y = PxToMm(rect.y + rect.h / 2.0);
            p.area = static_cast<int32_t>(a);
            p.row = index / area.columns;
            p.column = index % area.columns;
            points.push_back(p);
        }
    }
}

void LayoutPoints(const OrloLayoutRecord& layout, std::vector<OrloMeasurePoint>& points)
{
    points.clear();
    const int areas = std::clamp(layout.areaCount, 0, ORLO_MAX_AREAS);
    for (int a = 0; a < areas; ++a) {
        const int rows = layout.areaCounts[a][0], columns = layout.areaCounts[a][1];
        if (rows <= 0 || columns <= 0 || rows > 10000 || columns > 10000)
            continue;
        const int patches = std::min(layout.areaCounts[a][2], rows * columns);
        const int32_t* g = layout.areaGeometry[a];
        for (int i = 0; i < patches; ++i) {
            const int r = i / columns, c = i % columns;
            points.push_back({Clamp32(g[0] + int64_t(c) * g[4] + g[2] / 2), Clamp32(g[1] + int64_t(r) * g[5] + g[3] / 2),
                              a, r, c});
        }
    }
}

} // namespace orlosim
