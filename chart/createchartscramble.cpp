#include "chart/createchartscramble.h"

#include "app/colourhelpers.h"

#include <algorithm>
#include <cmath>

namespace {

enum Side { Up = 0, Right = 1, Down = 2, Left = 3 };

// No vertical edge yet counted.
constexpr float kNoWeight = 100000.0f;
// A worst vertical pair above ΔE 50 (squared) ends the search at once.
constexpr float kEnoughWeight = 2500.0f;
// A lightness step of at least 5, squared.
constexpr float kMinLightnessStep = 25.0f;

struct Cell;

// `first` is the upper or left end, `second` the lower or right one; white paper is the call's border cell.
struct Edge {
    Cell *first = nullptr;
    Cell *second = nullptr;
    float weight = 0.0f;
};

struct Cell {
    float lab[3] = {};
    float smallest = kNoWeight; // smallest weight of the vertical edges
    Edge *edges[4] = {};        // up, right, down, left
    size_t position = 0;
    size_t heapPlace = 0; // 1-based; 0 when not in the heap (the border cell)
    int listIndex = 0;
    bool border = false;
};

// Squared ΔE*ab in single precision, summed in this order. The edge weights and the fit test share it, so a swap
// only ever trades the worst edge for edges above it and the search ends.
float SquaredDistance(const float *x, const float *y)
{
    const float dl = x[0] - y[0];
    const float da = x[1] - y[1];
    const float db = x[2] - y[2];
    float sum = da * da;
    sum = sum + dl * dl;
    sum = sum + db * db;
    return sum;
}

void Reweigh(Edge *edge) { edge->weight = SquaredDistance(edge->first->lab, edge->second->lab); }

float SmallestWeight(const Cell &cell)
{
    return std::min(kNoWeight, std::min(cell.edges[Up]->weight, cell.edges[Down]->weight));
}

Cell *Neighbour(const Cell &cell, int side)
{
    const Edge *edge = cell.edges[side];
    return side == Up || side == Left ? edge->first : edge->second;
}

// A binary min-heap on the cells' smallest weights, 1-based; every move writes the cell's place back.
class CellHeap {
public:
    explicit CellHeap(size_t capacity) : m_nodes(capacity + 1) {}

    void Insert(Cell *cell)
    {
        ++m_size;
        SiftUp(m_size, {cell->smallest, cell});
    }

    Cell *Top() const { return m_nodes[1].cell; }
    float TopKey() const { return m_nodes[1].key; }

    // Moves a cell whose smallest weight changed.
    void Update(Cell *cell)
    {
        const size_t place = cell->heapPlace;
        if (place == 0)
            return;
        const Node node{cell->smallest, cell};
        if (m_nodes[place].key > node.key)
            SiftUp(place, node);
        else
            SiftDown(place, node);
    }

private:
    struct Node {
        float key = 0.0f;
        Cell *cell = nullptr;
    };

    void Put(size_t place, const Node &node)
    {
        m_nodes[place] = node;
        node.cell->heapPlace = place;
    }

    void SiftUp(size_t place, const Node &node)
    {
        while (place / 2 >= 1 && m_nodes[place / 2].key > node.key) {
            Put(place, m_nodes[place / 2]);
            place /= 2;
        }
        Put(place, node);
    }

    // Ties between the children go to the right one.
    void SiftDown(size_t place, const Node &node)
    {
        for (;;) {
            const size_t left = place * 2;
            if (left > m_size)
                break;
            size_t child = left + 1;
            if (child > m_size || m_nodes[child].key > m_nodes[left].key)
                child = left;
            if (!(node.key > m_nodes[child].key))
                break;
            Put(place, m_nodes[child]);
            place = child;
        }
        Put(place, node);
    }

    std::vector<Node> m_nodes;
    size_t m_size = 0;
};

// Whether `mover` may stand at `place`'s position: clearly apart (more than `worst`) from both of that position's
// vertical neighbours, and a lightness step of at least 5 from each. A neighbour that is the mover never fits.
bool Fits(const Cell &mover, const Cell &place, float worst)
{
    for (const Cell *n : {Neighbour(place, Up), Neighbour(place, Down)}) {
        if (!(SquaredDistance(mover.lab, n->lab) > worst))
            return false;
        const float step = mover.lab[0] - n->lab[0];
        if (float(double(step) * double(step)) < kMinLightnessStep)
            return false;
    }
    return true;
}

// Exchanges the places of two cells with everything that hangs on them.
void SwapCells(std::vector<Cell *> &grid, Cell *a, Cell *b)
{
    std::swap(grid[a->position], grid[b->position]);
    std::swap(a->position, b->position);
    for (int side = 0; side < 4; ++side)
        std::swap(a->edges[side], b->edges[side]);
    for (Cell *cell : {a, b}) {
        cell->edges[Up]->second = cell;
        cell->edges[Left]->second = cell;
        cell->edges[Down]->first = cell;
        cell->edges[Right]->first = cell;
    }
    for (Cell *cell : {a, b}) {
        for (Edge *edge : cell->edges)
            Reweigh(edge);
    }
}

void Requeue(CellHeap &heap, Cell *moved)
{
    for (int side = 0; side < 4; ++side) {
        Cell *n = Neighbour(*moved, side);
        if (n->border)
            continue;
        n->smallest = SmallestWeight(*n);
        heap.Update(n);
    }
    moved->smallest = SmallestWeight(*moved);
    heap.Update(moved);
}

float Search(std::vector<Cell *> &grid, CellHeap &heap, qint64 cap, qint64 *swaps)
{
    for (;;) {
        Cell *top = heap.Top();
        const float worst = heap.TopKey();
        if (worst > kEnoughWeight)
            return 100.0f;
        // The cap only guards against an endless search; it ends like a search with nothing left to swap.
        if (*swaps >= cap)
            return std::sqrt(worst);
        Cell *other = nullptr;
        for (Cell *candidate : grid) {
            if (Fits(*top, *candidate, worst) && Fits(*candidate, *top, worst)) {
                other = candidate;
                break;
            }
        }
        if (!other)
            return std::sqrt(worst);
        SwapCells(grid, top, other);
        ++*swaps;
        Requeue(heap, top);
        Requeue(heap, other);
    }
}

} // namespace

float ScrambleArea(std::vector<ScrambleEntry> &positions, int columns, int rows, quint32 seed, qint64 *swaps)
{
    qint64 swapCount = 0;
    if (swaps)
        *swaps = 0;
    const size_t count = positions.size();
    if (columns < 1 || rows < 1 || count == 0 || count > size_t(columns) * size_t(rows))
        return 0.0f;

    std::vector<Cell> cells(count);
    std::vector<Cell *> grid(count);
    for (size_t i = 0; i < count; ++i) {
        std::copy(positions[i].Lab, positions[i].Lab + 3, cells[i].lab);
        cells[i].listIndex = positions[i].ListIndex;
        grid[i] = &cells[i];
    }
    Cell border;
    border.border = true;
    std::copy(PaperWhiteColor().lab, PaperWhiteColor().lab + 3, border.lab);

    ScrambleRandom random(seed);
    for (size_t i = 0; i < count; ++i) {
        size_t j = size_t(double(count) * random.Next() / 32767.0);
        if (j == count)
            j = count - 1;
        std::swap(grid[i], grid[j]);
    }
    for (size_t p = 0; p < count; ++p)
        grid[p]->position = p;

    // Every grid pair, including the pairs with the paper around and between, has one edge.
    std::vector<Edge> edges;
    edges.reserve(size_t(columns + 1) * size_t(rows) + size_t(rows + 1) * size_t(columns));
    const auto cellAt = [&](int x, int y) -> Cell * {
        if (x < 0 || y < 0 || x >= columns || y >= rows)
            return nullptr;
        const size_t p = size_t(y) * size_t(columns) + size_t(x);
        return p < count ? grid[p] : nullptr;
    };
    static const int kStep[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    for (int x = columns - 1; x >= 0; --x) {
        for (int y = rows - 1; y >= 0; --y) {
            Cell *cell = cellAt(x, y);
            if (!cell)
                continue;
            for (int side = 0; side < 4; ++side) {
                Cell *n = cellAt(x + kStep[side][0], y + kStep[side][1]);
                if (n && n->edges[(side + 2) % 4]) {
                    cell->edges[side] = n->edges[(side + 2) % 4];
                    continue;
                }
                edges.emplace_back();
                Edge *edge = &edges.back();
                Cell *other = n ? n : &border;
                const bool before = side == Up || side == Left;
                edge->first = before ? other : cell;
                edge->second = before ? cell : other;
                Reweigh(edge);
                cell->edges[side] = edge;
            }
            cell->smallest = SmallestWeight(*cell);
        }
    }

    CellHeap heap(count);
    for (Cell *cell : grid)
        heap.Insert(cell);

    const qint64 cap = std::max<qint64>(qint64(count) * qint64(count), 10000);
    const float result = Search(grid, heap, cap, &swapCount);

    for (size_t p = 0; p < count; ++p) {
        std::copy(grid[p]->lab, grid[p]->lab + 3, positions[p].Lab);
        positions[p].ListIndex = grid[p]->listIndex;
    }
    if (swaps)
        *swaps = swapCount;
    return result;
}

bool ScrambleAreaPatches(CreateChartArea &area, int colorFormat, const InkChannelList &inks)
{
    const int count = area.PatchCount;
    // Entries past the grid would read edges that do not exist.
    if (count < 1 || area.RowCount < 1 || area.ColumnCount < 1 || area.Patches.size() < count
        || qint64(count) > qint64(area.RowCount) * qint64(area.ColumnCount))
        return false;

    std::vector<ScrambleEntry> entries(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const float *values = area.Patches.at(i).ColorValue;
        float rgb[3] = {255.0f, 255.0f, 255.0f};
        if (colorFormat == ChartDefinitionData::FormatRGB)
            std::copy(values, values + 3, rgb);
        else if (colorFormat == ChartDefinitionData::FormatCMYK)
            CmykToRgb(rgb, values);
        else if (colorFormat >= ChartDefinitionData::Format5Color && colorFormat <= ChartDefinitionData::Format8Color)
            MixInkColorsToRgb(rgb, colorFormat, values, inks);
        RgbToLab(entries[size_t(i)].Lab, rgb);
        entries[size_t(i)].ListIndex = i;
    }

    for (quint32 seed : {0u, 1u}) {
        std::vector<ScrambleEntry> positions = entries;
        if (ScrambleArea(positions, area.ColumnCount, area.RowCount, seed) < kScrambleTakenContrast)
            continue;
        const QVector<CreateChartPatch> before = area.Patches;
        for (int p = 0; p < count; ++p)
            area.Patches[p] = before.at(positions[size_t(p)].ListIndex);
        return true;
    }
    return false;
}

void ScramblePageList(CreateChartPageList &pages, int colorFormat, const InkChannelList &inks)
{
    for (CreateChartPage &page : pages) {
        for (CreateChartArea &area : page.Areas) {
            if (area.PatchCount >= 1)
                ScrambleAreaPatches(area, colorFormat, inks);
        }
    }
}
