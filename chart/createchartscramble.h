#pragma once
// The chart editor's colour scramble: the patches of each area are rearranged so that vertically adjacent patches,
// and a column's end patches against white paper, differ as much as a greedy search can make them. Only vertical
// neighbours count; the search always gives the same arrangement for the same chart.

#include "app/constants.h"
#include "chart/createchartcore.h"

#include <QtGlobal>

#include <vector>

// The 15-bit generator charts were always scrambled with (draws 0..32767), so existing charts keep their
// arrangement. One object per scramble; nothing global.
class ScrambleRandom {
public:
    explicit ScrambleRandom(quint32 seed) : m_state(seed) {}
    int Next()
    {
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFFu);
    }

private:
    quint32 m_state;
};

// One patch of an area as the search sees it: its L*a*b* and its index in the area's patch list.
struct ScrambleEntry {
    float Lab[3] = {};
    int ListIndex = 0;
};

// An area's result is taken at this contrast (ΔE*ab) or more.
constexpr float kScrambleTakenContrast = 18.0f;

// Shuffles and then rearranges `positions` (row-major: index = row x columns + column) over a grid of `rows` x
// `columns`; cells past the last entry count as white paper, as does everything outside the grid. Returns the
// ΔE*ab of the worst vertical pair at the end, or 100 when every vertical pair differs by more than ΔE 50.
// More entries than cells, or a grid under 1 x 1, leaves `positions` as it is and gives 0. `swaps`, when given,
// receives the number of swaps made.
float ScrambleArea(std::vector<ScrambleEntry> &positions, int columns, int rows, quint32 seed,
                   qint64 *swaps = nullptr);

// Scrambles one area slot's patches with seed 0, then seed 1, and rewrites its patch list with the first attempt
// that reaches kScrambleTakenContrast. Colours are read in `colorFormat` (1 RGB, 2 CMYK, 3-6 the first format + 2
// inks of `inks`; anything else white). An area whose counts do not fit its grid or its patch list keeps its
// order. True when an arrangement was taken.
bool ScrambleAreaPatches(CreateChartArea &area, int colorFormat, const InkChannelList &inks);

// ScrambleAreaPatches over every used slot (PatchCount 1 or more) of every page.
void ScramblePageList(CreateChartPageList &pages, int colorFormat, const InkChannelList &inks);
