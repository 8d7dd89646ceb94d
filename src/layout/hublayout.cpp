#include "layout/hublayout.h"

#include "layout/componentlayout.h"
#include "layout/likelyroutes.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr double HubGap = 380.0;         // between neighbouring hubs
constexpr double GroupGap = 78.0;        // between groups stacked on one side
constexpr double GroupHubDistance = 108.0;
constexpr double ColumnGap = 52.0;       // between facing columns of two hubs
// Width : height the hub rows aim at, as the blocks are measured before the
// clean-up, which widens a row a little: the drawing ends near 1.6 : 1.
constexpr double PageAspect = 1.35;
// How much more rows standing taller than the page weigh than rows as much
// wider.
constexpr double TallerThanPageWeight = 1.5;
// A row limit lets the hubs that set it fit with this to spare.
constexpr double RowLimitSlack = 0.5;
constexpr int Unreached = 1000000;
// The overlap sweeps at the end of the hub layout, and their gaps.
constexpr int HubCleanUpSweeps = 8;
constexpr double HubCleanUpGapX = 52.0;
constexpr double HubCleanUpGapY = 40.0;
// About how many orders of the hubs, or arrangements of the columns, one
// pass of the ordering by line length tries at most: each costs a placement
// of the whole component.
constexpr qsizetype PairsPerPass = 300;
// The arrangements of the columns tried at most: fewer with many hubs, as
// each costs more then.
int columnTriesAtMost(qsizetype hubs)
{
    return static_cast<int>(std::min<qsizetype>(6000, 300000 / std::max<qsizetype>(hubs, 1)));
}
// The arrangements of the columns that the ordering by crossings tries at
// most. Moving a group shifts the blocks after its hub, so each try counts
// the crossings of the lines afresh (tens of microseconds for 60 lines);
// a few dozen tries make most of the gain.
constexpr int ColumnCrossingTriesAtMost = 60;

// How far a hub with its satellite columns reaches left and right of the
// hub's centre, and how tall it stands.
struct HubBlockExtent
{
    double left = 0.0;
    double right = 0.0;
    double height = 0.0;
    double leftColumn = 0.0;   // width of the column left of the hub (0 for none)
    double rightColumn = 0.0;

    bool operator==(const HubBlockExtent& o) const
    {
        return left == o.left && right == o.right && height == o.height && leftColumn == o.leftColumn
               && rightColumn == o.rightColumn;
    }
};

// The hub rows last found for these blocks: trying other arrangements of
// the columns of one hub order, most tries (two groups of a column trading
// places) leave every block as it was.
struct HubRowsMemo
{
    std::vector<HubBlockExtent> blocks;
    std::vector<int> rowOf;
};

// The gap between hub j - 1 and hub j (hub order) standing side by side:
// the plain gap, or more where the columns facing each other between them
// need the room (each 108 from its hub, 52 from each other). With the plain
// gap the facing columns land on one another and the overlap clean-up
// pushes their entities through each other's columns, which makes the
// edges of neighbouring hubs cross far more often. In a row running right
// to left hub j stands left.
double hubGapBefore(const std::vector<HubBlockExtent>& blocks, size_t j, bool reversed)
{
    const HubBlockExtent& left = reversed ? blocks[j] : blocks[j - 1];
    const HubBlockExtent& right = reversed ? blocks[j - 1] : blocks[j];
    const double columns = left.rightColumn + right.leftColumn;
    return std::max(HubGap, columns + 2.0 * GroupHubDistance + ColumnGap);
}

struct SatelliteGroup
{
    QList<int> members;    // component indices, in gathering order
    LayoutNodes local;     // copies of the members' nodes
    QRectF bounds;
    int hub = -1;
    QList<int> attach;     // local indices of members next to the hub
};

// Hop counts indexed by node, Unreached where the walk did not come;
// `inCluster` limits the walk.
void clusterDistances(const LayoutAdjacency& adjacency, const std::vector<char>& inCluster, int start,
                      std::vector<int>& dist, std::vector<int>& queue)
{
    size_t head = 0;
    size_t tail = 0;
    dist[static_cast<size_t>(start)] = 0;
    queue[tail++] = start;
    while (head < tail) {
        const int u = queue[head++];
        for (int v : adjacency.at(u)) {
            if (!inCluster[static_cast<size_t>(v)] || dist[static_cast<size_t>(v)] != Unreached)
                continue;
            dist[static_cast<size_t>(v)] = dist[static_cast<size_t>(u)] + 1;
            queue[tail++] = v;
        }
    }
}

// Splits a cluster that touches the hubs through several members into one
// group per such member; every other member joins the nearest of them.
QList<QList<int>> splitCluster(const LayoutAdjacency& adjacency, const std::vector<char>& isHub,
                               const QList<int>& members)
{
    QList<int> candidates;
    for (int m : members) {
        const QList<int>& around = adjacency.at(m);
        if (std::any_of(around.cbegin(), around.cend(), [&isHub](int v) { return isHub[static_cast<size_t>(v)]; }))
            candidates.append(m);
    }
    if (candidates.size() < 2)
        return {members};

    const size_t n = adjacency.size();
    std::vector<char> inCluster(n, 0);
    for (int m : members)
        inCluster[static_cast<size_t>(m)] = 1;
    std::vector<char> isCandidate(n, 0);
    for (int c : candidates)
        isCandidate[static_cast<size_t>(c)] = 1;

    // One row of distances per candidate, over the members only.
    const qsizetype count = candidates.size();
    std::vector<int> queue(n);
    std::vector<int> dist(n, Unreached);
    std::vector<std::vector<int>> rows(static_cast<size_t>(count));
    for (qsizetype k = 0; k < count; ++k) {
        for (int m : members)
            dist[static_cast<size_t>(m)] = Unreached;
        clusterDistances(adjacency, inCluster, candidates.at(k), dist, queue);
        std::vector<int>& row = rows[static_cast<size_t>(k)];
        row.reserve(static_cast<size_t>(members.size()));
        for (int m : members)
            row.push_back(dist[static_cast<size_t>(m)]);
    }

    QList<QList<int>> groups(count);
    for (qsizetype k = 0; k < count; ++k)
        groups[k].append(candidates.at(k));
    for (qsizetype mi = 0; mi < members.size(); ++mi) {
        const int m = members.at(mi);
        if (isCandidate[static_cast<size_t>(m)])
            continue;
        qsizetype chosen = 0;
        int best = rows[0][static_cast<size_t>(mi)];
        for (qsizetype k = 1; k < count; ++k) {
            const int d = rows[static_cast<size_t>(k)][static_cast<size_t>(mi)];
            if (d < best || (d == best && groups.at(k).size() < groups.at(chosen).size())) {
                chosen = k;
                best = d;
            }
        }
        groups[chosen].append(m);
    }
    return groups;
}

// The hubs in hub order wrapped into rows no wider than limit (rowOf per
// hub); the aspect the rows then stand in.
double wrapHubsAt(const LayoutNodes& nodes, const QList<int>& hubOrder, const std::vector<HubBlockExtent>& blocks,
                  double limit, std::vector<int>& rowOf)
{
    const size_t count = static_cast<size_t>(hubOrder.size());
    double width = 0.0;
    double height = 0.0;
    double rowLeft = 0.0;     // reach left of the first hub's centre
    double centreX = 0.0;     // of the current hub, from the row's first
    double rowRight = 0.0;    // reach right of the first hub's centre
    double rowHeight = 0.0;
    int row = 0;
    for (size_t i = 0; i < count; ++i) {
        const LayoutNode& hub = nodes.at(hubOrder.at(static_cast<qsizetype>(i)));
        const HubBlockExtent& b = blocks[i];
        bool open = i == 0;
        if (!open) {
            const LayoutNode& previous = nodes.at(hubOrder.at(static_cast<qsizetype>(i) - 1));
            const double x = centreX + previous.width / 2.0 + hubGapBefore(blocks, i, row % 2 == 1) + hub.width / 2.0;
            if (std::max(rowRight, x + b.right) + rowLeft > limit) {
                width = std::max(width, rowLeft + rowRight);
                height += rowHeight + HubGap;
                ++row;
                open = true;
            } else {
                centreX = x;
                rowRight = std::max(rowRight, x + b.right);
                rowLeft = std::max(rowLeft, b.left - x);
                rowHeight = std::max(rowHeight, b.height);
            }
        }
        if (open) {
            centreX = 0.0;
            rowLeft = b.left;
            rowRight = b.right;
            rowHeight = b.height;
        }
        rowOf[i] = row;
    }
    width = std::max(width, rowLeft + rowRight);
    height += rowHeight;
    return height > 0.0 ? width / height : 1.0;
}

// How far an aspect is from the page's, lower is better. Taller than the
// page counts more: the screen is landscape too.
double pageMiss(double aspect)
{
    const double ratio = std::log(std::max(aspect, 1e-9) / PageAspect);
    return ratio < 0.0 ? -TallerThanPageWeight * ratio : ratio;
}

// The row of each hub (in hub order). Every limit that a prefix of the
// hubs sets is tried; the rows it gives are measured as their blocks would
// stand, and the limit whose drawing comes closest to 1.6 : 1 wins (by
// ratio, a drawing too tall counting half as much again), the widest on a tie.
std::vector<int> wrapHubRows(const LayoutNodes& nodes, const QList<int>& hubOrder,
                             const std::vector<HubBlockExtent>& blocks)
{
    const size_t count = static_cast<size_t>(hubOrder.size());
    std::vector<int> best(count, 0);
    if (count < 2)
        return best;
    std::vector<int> rowOf(count, 0);
    double bestScore = -1.0;
    double centreX = 0.0;
    double reachLeft = 0.0;
    double reachRight = 0.0;
    for (size_t m = 0; m < count; ++m) {
        // The width of the first m + 1 hubs in one row sets a limit.
        const LayoutNode& hub = nodes.at(hubOrder.at(static_cast<qsizetype>(m)));
        if (m > 0) {
            const LayoutNode& previous = nodes.at(hubOrder.at(static_cast<qsizetype>(m) - 1));
            centreX += previous.width / 2.0 + hubGapBefore(blocks, m, false) + hub.width / 2.0;
        }
        reachLeft = std::max(reachLeft, blocks[m].left - centreX);
        reachRight = std::max(reachRight, centreX + blocks[m].right);
        const double limit = reachLeft + reachRight + RowLimitSlack;
        const double score = pageMiss(wrapHubsAt(nodes, hubOrder, blocks, limit, rowOf));
        if (bestScore < 0.0 || score <= bestScore + 1e-12) {
            bestScore = score;
            best = rowOf;
        }
    }
    return best;
}

// Where a satellite group would rather stand: the side of its hub its
// outside lines lead to (-1 left, 1 right, 0 either) and the height they
// leave at, for the order in its column.
struct GroupPreference
{
    int side = 0;
    double y = 0.0;
};

// The preferences of the groups as the nodes stand; empty when no group has
// a line beyond its own hub.
std::vector<GroupPreference> groupPreferences(const LayoutNodes& nodes, const LayoutAdjacency& adjacency,
                                              const QList<SatelliteGroup>& groups)
{
    std::vector<GroupPreference> preferences(static_cast<size_t>(groups.size()));
    std::vector<int> groupOf(static_cast<size_t>(nodes.size()), -1);
    for (qsizetype g = 0; g < groups.size(); ++g) {
        for (int m : groups.at(g).members)
            groupOf[static_cast<size_t>(m)] = static_cast<int>(g);
    }
    bool any = false;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const SatelliteGroup& group = groups.at(g);
        const LayoutNode& hub = nodes.at(group.hub);
        double sumX = 0.0;
        double sumY = 0.0;
        int count = 0;
        for (int m : group.members) {
            for (int v : adjacency.at(m)) {
                if (v == group.hub || groupOf[static_cast<size_t>(v)] == g)
                    continue;
                sumX += nodes.at(v).x;
                sumY += nodes.at(v).y;
                ++count;
            }
        }
        GroupPreference& preference = preferences[static_cast<size_t>(g)];
        preference.y = hub.y;
        if (count == 0)
            continue;
        any = true;
        const double meanX = sumX / count;
        preference.y = sumY / count;
        if (meanX < hub.x - hub.width / 2.0)
            preference.side = -1;
        else if (meanX > hub.x + hub.width / 2.0)
            preference.side = 1;
    }
    if (!any)
        preferences.clear();
    return preferences;
}

// The columns beside each hub: the groups left and right of it, top down.
struct HubColumns
{
    QHash<int, QList<int>> left;
    QHash<int, QList<int>> right;
};

// The columns as the style has them. Without preferences each group goes
// to the lower side of its hub (left on a tie) in the given order; with
// them, a group that leads elsewhere goes to the side it prefers unless
// that side would stand taller than the other by more than the group
// itself, and each column is stacked by the heights its groups lead to.
HubColumns chooseColumns(const QList<SatelliteGroup>& groups, const std::vector<GroupPreference>& preferences,
                         const HubLayoutStyle& style)
{
    QHash<int, QList<int>> leftLists;
    QHash<int, QList<int>> rightLists;
    QHash<int, double> leftHeights;
    QHash<int, double> rightHeights;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const int h = groups.at(g).hub;
        const double height = groups.at(g).bounds.height();
        bool left = leftHeights.value(h) <= rightHeights.value(h);
        if (!preferences.empty() && style.followLines) {
            const GroupPreference& preference = preferences[static_cast<size_t>(g)];
            const double leftAfter = leftHeights.value(h) + height;
            const double rightAfter = rightHeights.value(h) + height;
            if (preference.side < 0 && leftAfter <= rightHeights.value(h) + height * style.sideSlack)
                left = true;
            else if (preference.side > 0 && rightAfter <= leftHeights.value(h) + height * style.sideSlack)
                left = false;
        }
        QList<int>& list = left ? leftLists[h] : rightLists[h];
        double& sideHeight = left ? leftHeights[h] : rightHeights[h];
        sideHeight += height + (list.isEmpty() ? 0.0 : GroupGap);
        list.append(static_cast<int>(g));
    }
    if (!preferences.empty() && style.stackByLines) {
        auto byHeight = [&preferences](int a, int b) {
            return preferences[static_cast<size_t>(a)].y < preferences[static_cast<size_t>(b)].y;
        };
        for (QList<int>& list : leftLists)
            std::stable_sort(list.begin(), list.end(), byHeight);
        for (QList<int>& list : rightLists)
            std::stable_sort(list.begin(), list.end(), byHeight);
    }
    return {leftLists, rightLists};
}

// The widest group of a column (0 for none).
double columnWidth(const QList<SatelliteGroup>& groups, const QList<int>& column)
{
    double width = 0.0;
    for (int g : column)
        width = std::max(width, groups.at(g).bounds.width());
    return width;
}

// The groups of a column stacked with the gaps between them (0 for none).
double columnHeight(const QList<SatelliteGroup>& groups, const QList<int>& column)
{
    double height = column.isEmpty() ? 0.0 : GroupGap * static_cast<double>(column.size() - 1);
    for (int g : column)
        height += groups.at(g).bounds.height();
    return height;
}

// Each hub with its columns is a block: its extent, in hub order.
std::vector<HubBlockExtent> measureHubBlocks(const LayoutNodes& nodes, const QList<int>& hubOrder,
                                             const QList<SatelliteGroup>& groups, const HubColumns& columns)
{
    std::vector<HubBlockExtent> blocks;
    blocks.reserve(static_cast<size_t>(hubOrder.size()));
    for (int h : hubOrder) {
        const LayoutNode& hub = nodes.at(h);
        const double leftColumn = columnWidth(groups, columns.left.value(h));
        const double rightColumn = columnWidth(groups, columns.right.value(h));
        HubBlockExtent block;
        block.leftColumn = leftColumn;
        block.rightColumn = rightColumn;
        block.left = hub.width / 2.0 + (leftColumn > 0.0 ? GroupHubDistance + leftColumn : 0.0);
        block.right = hub.width / 2.0 + (rightColumn > 0.0 ? GroupHubDistance + rightColumn : 0.0);
        block.height = std::max({hub.height, columnHeight(groups, columns.left.value(h)),
                                 columnHeight(groups, columns.right.value(h))});
        blocks.push_back(block);
    }
    return blocks;
}

// Each row as tall as its tallest block.
std::vector<double> rowHeights(const std::vector<int>& rowOf, const std::vector<HubBlockExtent>& blocks, int rowCount)
{
    std::vector<double> heights(static_cast<size_t>(rowCount), 0.0);
    for (size_t i = 0; i < rowOf.size(); ++i) {
        double& height = heights[static_cast<size_t>(rowOf[i])];
        height = std::max(height, blocks[i].height);
    }
    return heights;
}

// The hubs of one row side by side at the height of the row's middle,
// right to left for odd rows, then the row centred on x = 0.
void standHubRow(LayoutNodes& nodes, const QList<int>& hubOrder, const std::vector<HubBlockExtent>& blocks,
                 const std::vector<int>& rowOf, int row, double middleY)
{
    double previousX = 0.0;
    double previousWidth = 0.0;
    qsizetype first = -1;
    qsizetype last = -1;
    const bool reversed = row % 2 == 1;
    for (qsizetype k = 0; k < hubOrder.size(); ++k) {
        const qsizetype i = reversed ? hubOrder.size() - 1 - k : k;
        if (rowOf[static_cast<size_t>(i)] != row)
            continue;
        LayoutNode& hub = nodes[hubOrder.at(i)];
        const double gap = first < 0 ? 0.0 : hubGapBefore(blocks, static_cast<size_t>(reversed ? i + 1 : i), reversed);
        hub.x = first < 0 ? 0.0 : previousX + previousWidth / 2.0 + gap + hub.width / 2.0;
        hub.y = middleY;
        previousX = hub.x;
        previousWidth = hub.width;
        if (first < 0)
            first = i;
        last = i;
    }
    if (first > last)
        std::swap(first, last);
    const double rowShift = -(nodes.at(hubOrder.at(first)).x + nodes.at(hubOrder.at(last)).x) / 2.0;
    for (qsizetype i = first; i <= last; ++i) {
        if (rowOf[static_cast<size_t>(i)] == row)
            nodes[hubOrder.at(i)].x += rowShift;
    }
}

// The hubs in their rows. Rows run left to right and right to left in
// turn, so that the hubs on either side of a row break stand one above the
// other; a single row stands on y = 0, more rows are centred on it.
void standHubRows(LayoutNodes& nodes, const QList<int>& hubOrder, const std::vector<HubBlockExtent>& blocks,
                  const std::vector<int>& rowOf)
{
    const int rowCount = rowOf.empty() ? 0 : rowOf.back() + 1;
    const std::vector<double> rowHeight = rowHeights(rowOf, blocks, rowCount);
    double rowTop = 0.0;
    for (int row = 0; row < rowCount; ++row) {
        standHubRow(nodes, hubOrder, blocks, rowOf, row, rowTop + rowHeight[static_cast<size_t>(row)] / 2.0);
        rowTop += rowHeight[static_cast<size_t>(row)] + HubGap;
    }
    const double columnShift = rowCount > 1 ? -(rowTop - HubGap) / 2.0 : -nodes.at(hubOrder.first()).y;
    for (int h : hubOrder)
        nodes[h].y += columnShift;
}

// One column of groups beside its hub, centred on the hub's y. On the
// right the groups are mirrored, so that the layer next to the hub faces
// it.
void placeColumn(LayoutNodes& nodes, const LayoutNode& hub, const QList<SatelliteGroup>& groups,
                 const QList<int>& list, bool left)
{
    double stack = GroupGap * (list.size() - 1);
    for (int g : list)
        stack += groups.at(g).bounds.height();
    double cursor = hub.y - stack / 2.0;
    for (int g : list) {
        const SatelliteGroup& group = groups.at(g);
        const QRectF b = group.bounds;
        const double dy = cursor - b.y();
        double dx = 0.0;
        const double centreX = b.center().x();
        if (left)
            dx = (hub.x - hub.width / 2.0 - GroupHubDistance) - (b.x() + b.width());
        else
            dx = (hub.x + hub.width / 2.0 + GroupHubDistance) - b.x();
        for (qsizetype i = 0; i < group.members.size(); ++i) {
            LayoutNode& target = nodes[group.members.at(i)];
            const double x = group.local.at(i).x;
            target.x = (left ? x : 2.0 * centreX - x) + dx;
            target.y = group.local.at(i).y + dy;
        }
        cursor += b.height() + GroupGap;
    }
}

// Stands the hubs in rows and the given columns beside them.
void standHubBlocks(LayoutNodes& nodes, const QList<int>& hubOrder, const QList<SatelliteGroup>& groups,
                    const HubColumns& columns, HubRowsMemo* memo = nullptr)
{
    const std::vector<HubBlockExtent> blocks = measureHubBlocks(nodes, hubOrder, groups, columns);

    // The hub rows: hubs in hub order, neighbours 380 apart or as far as
    // their facing columns need, fill rows no
    // wider than a limit chosen so that the whole comes closest to a
    // landscape page; rows stand 380 apart, each as tall as its tallest
    // block. The first hub of a row is placed whatever its width.
    HubRowsMemo fresh;
    HubRowsMemo& rows = memo ? *memo : fresh;
    if (!memo || rows.blocks != blocks) {
        rows.rowOf = wrapHubRows(nodes, hubOrder, blocks);
        if (memo)
            rows.blocks = blocks;
    }
    standHubRows(nodes, hubOrder, blocks, rows.rowOf);

    for (int h : hubOrder) {
        const LayoutNode hub = nodes.at(h);
        for (int side = 0; side < 2; ++side) {
            const bool left = side == 0;
            const QList<int> list = left ? columns.left.value(h) : columns.right.value(h);
            if (!list.isEmpty())
                placeColumn(nodes, hub, groups, list, left);
        }
    }
}

// Stands the hubs in rows and the groups in columns beside their hubs. With
// no preferences each group goes to the lower side of its hub (left on a
// tie) in the given order; with them, a group that leads elsewhere goes to
// the side it prefers unless that side would stand taller than the other by
// more than the group itself, and each column is stacked by the heights its
// groups lead to.
void placeHubBlocks(LayoutNodes& nodes, const QList<int>& hubOrder, const QList<SatelliteGroup>& groups,
                    const std::vector<GroupPreference>& preferences, const HubLayoutStyle& style)
{
    standHubBlocks(nodes, hubOrder, groups, chooseColumns(groups, preferences, style));
}

// The total length, along x and y, of the edges between the nodes.
double lineLength(const LayoutNodes& nodes, const LayoutEdges& edges)
{
    const int n = static_cast<int>(nodes.size());
    double total = 0.0;
    for (const LayoutEdge& e : edges) {
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n)
            continue;
        const LayoutNode& a = nodes.at(e.first);
        const LayoutNode& b = nodes.at(e.second);
        total += std::abs(a.x - b.x) + std::abs(a.y - b.y);
    }
    return total;
}

// Reorders the hubs, two trading places at a time, while that shortens the
// lines of the component as the blocks then stand (without the groups'
// preferences): hubs whose groups are joined by many lines come to stand
// near each other. At most four passes over all pairs, or, with many hubs,
// over the pairs near each other in the order, so that a pass tries about
// PairsPerPass orders at most; deterministic.
void orderHubsByLineLength(const LayoutNodes& nodes, const LayoutEdges& edges, const QList<SatelliteGroup>& groups,
                           const HubLayoutStyle& style, QList<int>& hubOrder)
{
    if (hubOrder.size() < 3)
        return;
    LayoutNodes trial = nodes;
    auto lengthWith = [&](const QList<int>& order) {
        placeHubBlocks(trial, order, groups, {}, style);
        return lineLength(trial, edges);
    };
    double best = lengthWith(hubOrder);
    const qsizetype count = hubOrder.size();
    const qsizetype reach = std::clamp<qsizetype>(PairsPerPass / count, 1, count - 1);
    for (int pass = 0; pass < 4; ++pass) {
        bool shorter = false;
        for (qsizetype i = 0; i < count; ++i) {
            for (qsizetype j = i + 1; j < count && j <= i + reach; ++j) {
                QList<int> order = hubOrder;
                std::swap(order[i], order[j]);
                const double length = lengthWith(order);
                if (length < best - 1e-6) {
                    best = length;
                    hubOrder = order;
                    shorter = true;
                }
            }
        }
        if (!shorter)
            break;
    }
}

// Rearranges the columns while that lowers measure(nodes) of the blocks as
// they then stand: two neighbours in a column trade places, or a group
// moves to the top or the foot of the column on the other side of its hub.
// At most five passes over the groups and triesAtMost arrangements in all
// (a component of many hubs, each with many groups, would otherwise take
// seconds); deterministic.
template <typename Measure>
void arrangeColumns(const LayoutNodes& nodes, const QList<int>& hubOrder, const QList<SatelliteGroup>& groups,
                    HubColumns& columns, int triesAtMost, const Measure& measure)
{
    LayoutNodes trial = nodes;
    HubRowsMemo rows;
    int tries = 0;
    auto lengthWith = [&]() {
        ++tries;
        standHubBlocks(trial, hubOrder, groups, columns, &rows);
        return measure(trial);
    };
    double best = lengthWith();
    // Each arrangement is made in place and measured; one that does not
    // measure less is undone.
    auto keepIfShorter = [&]() {
        const double length = lengthWith();
        if (length < best - 1e-6) {
            best = length;
            return true;
        }
        return false;
    };
    for (int pass = 0; pass < 5; ++pass) {
        bool shorter = false;
        for (int h : hubOrder) {
            for (int side = 0; side < 2; ++side) {
                for (qsizetype i = 0; i + 1 < (side == 0 ? columns.left : columns.right).value(h).size(); ++i) {
                    if (tries >= triesAtMost)
                        continue;
                    QList<int>& list = side == 0 ? columns.left[h] : columns.right[h];
                    std::swap(list[i], list[i + 1]);
                    if (keepIfShorter())
                        shorter = true;
                    else
                        std::swap(list[i], list[i + 1]);
                }
            }
            for (int side = 0; side < 2; ++side) {
                for (qsizetype i = 0; i < (side == 0 ? columns.left : columns.right).value(h).size(); ++i) {
                    for (int end = 0; end < 2; ++end) {
                        if (tries >= triesAtMost)
                            continue;
                        QHash<int, QList<int>>& toSide = side == 0 ? columns.right : columns.left;
                        const bool hadColumn = toSide.contains(h);
                        QList<int>& from = side == 0 ? columns.left[h] : columns.right[h];
                        QList<int>& to = toSide[h];
                        const int g = from.takeAt(i);
                        if (end == 0)
                            to.prepend(g);
                        else
                            to.append(g);
                        if (keepIfShorter()) {
                            shorter = true;
                            break;
                        }
                        if (end == 0)
                            to.removeFirst();
                        else
                            to.removeLast();
                        from.insert(i, g);
                        if (!hadColumn)
                            toSide.remove(h);
                    }
                }
            }
        }
        if (!shorter || tries >= triesAtMost)
            break;
    }
}

// The columns rearranged while that shortens the lines of the component.
void orderColumnsByLineLength(const LayoutNodes& nodes, const LayoutEdges& edges, const QList<int>& hubOrder,
                              const QList<SatelliteGroup>& groups, HubColumns& columns)
{
    arrangeColumns(nodes, hubOrder, groups, columns, columnTriesAtMost(hubOrder.size()),
                   [&edges](const LayoutNodes& trial) { return lineLength(trial, edges); });
}

// The columns rearranged while that leaves fewer crossings of the likely
// routes (and passes through boxes), or as many on shorter lines. The node
// swaps that follow trade single boxes; a whole group taking the other side
// of its hub, or another place in its column, is a move they cannot make.
void orderColumnsByCrossings(const LayoutNodes& nodes, const LayoutEdges& edges, const QList<int>& hubOrder,
                             const QList<SatelliteGroup>& groups, HubColumns& columns)
{
    // Any crossing saved outweighs any length: the lines of a component
    // are far shorter than this many units.
    constexpr double PerConflict = 1e7;
    arrangeColumns(nodes, hubOrder, groups, columns, ColumnCrossingTriesAtMost, [&edges](const LayoutNodes& trial) {
        return PerConflict * likelyRouteConflicts(trial, edges) + lineLength(trial, edges);
    });
}

// The hubs by degree, highest first (lower index on a tie), each once.
QList<int> sortedHubOrder(const LayoutNodes& nodes, const QList<int>& hubs)
{
    QList<int> hubOrder = hubs;
    std::sort(hubOrder.begin(), hubOrder.end(), [&nodes](int a, int b) {
        if (nodes.at(a).degree != nodes.at(b).degree)
            return nodes.at(a).degree > nodes.at(b).degree;
        return a < b;
    });
    hubOrder.erase(std::unique(hubOrder.begin(), hubOrder.end()), hubOrder.end());
    return hubOrder;
}

// Satellite clusters: connected groups of the other nodes.
QList<QList<int>> satelliteClusters(const LayoutAdjacency& adjacency, const std::vector<char>& isHub)
{
    const int n = static_cast<int>(adjacency.size());
    QList<QList<int>> clusters;
    std::vector<char> assigned(static_cast<size_t>(n), 0);
    for (int start = 0; start < n; ++start) {
        if (isHub[static_cast<size_t>(start)] || assigned[static_cast<size_t>(start)])
            continue;
        QList<int> members{start};
        assigned[static_cast<size_t>(start)] = 1;
        for (qsizetype head = 0; head < members.size(); ++head) {
            for (int v : adjacency.at(members.at(head))) {
                if (isHub[static_cast<size_t>(v)] || assigned[static_cast<size_t>(v)])
                    continue;
                assigned[static_cast<size_t>(v)] = 1;
                members.append(v);
            }
        }
        clusters.append(members);
    }
    return clusters;
}

// The hub a group is tied to most: the first in hub order among those
// linked to the most members.
int groupHub(const LayoutAdjacency& adjacency, const QList<int>& hubOrder, const QList<int>& members)
{
    int hub = -1;
    int bestCount = -1;
    for (int h : hubOrder) {
        const QList<int>& around = adjacency.at(h);
        int count = 0;
        for (int m : members) {
            if (std::binary_search(around.cbegin(), around.cend(), m))
                ++count;
        }
        if (count > bestCount) {
            bestCount = count;
            hub = h;
        }
    }
    return hub;
}

// The edges between members of a group in the group's own indices;
// localIndex holds them for the members and -1 elsewhere.
LayoutEdges groupLocalEdges(const LayoutEdges& edges, const std::vector<int>& localIndex)
{
    const int n = static_cast<int>(localIndex.size());
    LayoutEdges localEdges;
    for (const LayoutEdge& e : edges) {
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n)
            continue;
        const int a = localIndex[static_cast<size_t>(e.first)];
        const int b = localIndex[static_cast<size_t>(e.second)];
        if (a >= 0 && b >= 0)
            localEdges.append({a, b});
    }
    return localEdges;
}

// A group's hub and its own layout in layers from the members next to the
// hub; localIndex is all -1 before and after.
void layOutGroup(SatelliteGroup& group, const LayoutNodes& nodes, const LayoutAdjacency& adjacency,
                 const LayoutEdges& edges, const QList<int>& hubOrder, std::vector<int>& localIndex)
{
    group.hub = groupHub(adjacency, hubOrder, group.members);
    const QList<int>& hubAround = adjacency.at(group.hub);
    for (qsizetype i = 0; i < group.members.size(); ++i) {
        const int m = group.members.at(i);
        localIndex[static_cast<size_t>(m)] = static_cast<int>(i);
        group.local.append(nodes.at(m));
        if (std::binary_search(hubAround.cbegin(), hubAround.cend(), m))
            group.attach.append(static_cast<int>(i));
    }
    const LayoutEdges localEdges = groupLocalEdges(edges, localIndex);
    for (int m : std::as_const(group.members))
        localIndex[static_cast<size_t>(m)] = -1;
    orderLayersByBarycentre(group.local, localEdges, group.attach);
    group.bounds = nodesBoundingRect(group.local);
}

// The satellite groups, each laid out on its own; tallest groups first,
// more members first on equal heights.
QList<SatelliteGroup> satelliteGroups(const LayoutNodes& nodes, const LayoutAdjacency& adjacency,
                                      const LayoutEdges& edges, const std::vector<char>& isHub,
                                      const QList<int>& hubOrder)
{
    QList<SatelliteGroup> groups;
    for (const QList<int>& cluster : satelliteClusters(adjacency, isHub)) {
        for (QList<int>& members : splitCluster(adjacency, isHub, cluster)) {
            SatelliteGroup group;
            group.members = std::move(members);
            groups.append(std::move(group));
        }
    }
    std::vector<int> localIndex(static_cast<size_t>(nodes.size()), -1);
    for (SatelliteGroup& group : groups)
        layOutGroup(group, nodes, adjacency, edges, hubOrder, localIndex);
    std::stable_sort(groups.begin(), groups.end(), [](const SatelliteGroup& a, const SatelliteGroup& b) {
        if (a.bounds.height() != b.bounds.height())
            return a.bounds.height() > b.bounds.height();
        return a.members.size() > b.members.size();
    });
    return groups;
}

// First every group on the lower side of its hub; then, as the style asks,
// with everything standing, each group whose lines lead elsewhere is put on
// the side they lead to or stacked in the order they leave in; last the
// columns rearranged as the style asks.
void standGroupsBesideHubs(LayoutNodes& nodes, const LayoutAdjacency& adjacency, const LayoutEdges& edges,
                           const QList<int>& hubOrder, const QList<SatelliteGroup>& groups,
                           const HubLayoutStyle& style)
{
    HubColumns columns = chooseColumns(groups, {}, style);
    standHubBlocks(nodes, hubOrder, groups, columns);
    if (style.followLines || style.stackByLines) {
        const std::vector<GroupPreference> preferences = groupPreferences(nodes, adjacency, groups);
        if (!preferences.empty()) {
            columns = chooseColumns(groups, preferences, style);
            standHubBlocks(nodes, hubOrder, groups, columns);
        }
    }
    if (style.orderHubs) {
        orderColumnsByLineLength(nodes, edges, hubOrder, groups, columns);
        standHubBlocks(nodes, hubOrder, groups, columns);
    } else if (style.columnsByCrossings) {
        orderColumnsByCrossings(nodes, edges, hubOrder, groups, columns);
        standHubBlocks(nodes, hubOrder, groups, columns);
    }
}

} // namespace

void layoutHubComponent(LayoutNodes& nodes, const LayoutAdjacency& adjacency, const LayoutEdges& edges,
                        const QList<int>& hubs, const HubLayoutStyle& style)
{
    std::vector<char> isHub(static_cast<size_t>(nodes.size()), 0);
    for (int h : hubs)
        isHub[static_cast<size_t>(h)] = 1;
    QList<int> hubOrder = sortedHubOrder(nodes, hubs);
    QList<SatelliteGroup> groups = satelliteGroups(nodes, adjacency, edges, isHub, hubOrder);
    if (style.orderHubs)
        orderHubsByLineLength(nodes, edges, groups, style, hubOrder);
    standGroupsBesideHubs(nodes, adjacency, edges, hubOrder, groups, style);
    removeNodeOverlaps(nodes, HubCleanUpSweeps, HubCleanUpGapX, HubCleanUpGapY);
}
