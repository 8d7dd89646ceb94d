#include "layout/diagramlayout.h"

#include "layout/componentlayout.h"
#include "layout/crossingswaps.h"
#include "layout/parallelmap.h"
#include "layout/routepreview.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace {

// The ways a group is placed, the plain one first: a style of the hub
// layout, whether the swaps afterwards may also move a node to a free place
// beside a neighbour, and the start of the force-directed placement of a
// group without hubs.
struct Placement
{
    HubLayoutStyle style;
    bool freePlaces = false;
    int start = 0;
};

// A group with hubs is placed once in each style, the swaps free to use the
// free places too. Trying each style with the swaps kept to trades of two
// boxes as well cost as much again and seldom won once the columns of the
// smaller groups are arranged by the crossings of their likely routes; the
// time it saves pays for that arrangement.
const Placement HubPlacements[] = {
    {{}, true},
    {{true, 1.0, true}, true},
    {{true, 1.0, false}, true},
    {{true, 3.0, false}, true},
};

// A group without hubs starts its force-directed placement from other
// nodes or the other way round.
const Placement ForcePlacements[] = {
    {{}, false, 0},
    {{}, true, 0},
    {{}, false, 1},
    {{}, true, 2},
    {{}, false, 3},
    {{}, true, 4},
    {{}, false, 5},
    {{}, true, 6},
};

// Groups with more edges than this are placed as large ones: the previews
// of their routes would cost more than the layout.
constexpr int PreviewedEdgesAtMost = 150;
// Groups with more nodes than this are placed as large ones too.
constexpr int PreviewedNodesAtMost = 120;
// The hub layout styles a large group is placed in.
const HubLayoutStyle LargeStyles[] = {{}, {true, 1.0, true}, {true, 1.0, false}, {true, 3.0, false}};
// Groups with fewer edges than this try the plain placement on its own
// first.
constexpr int FewEdges = 24;
// Groups with more nodes than this keep the columns of their hub layout as
// the style stands them: in larger ones the likely routes between the
// centres, which the arrangement by crossings goes by, misjudge the drawn
// routes more often than the arrangement gains, and each of its tries
// counts more pairs of lines.
constexpr int ColumnsByCrossingsNodesAtMost = 50;
// A placement may not draw the group out further than this (or than the
// plain placement, when that is longer).
constexpr double MostElongated = 1.9;

// Boxes trade places where the lines between them cross less, keeping at
// least the gaps the hub layout leaves.
void swapPlaces(LayoutNodes& nodes, const LayoutEdges& edges, bool freePlaces)
{
    reduceCrossingsBySwaps(nodes, edges, 52.0, 40.0, freePlaces);
}

// A large group is placed in the styles of the hub layout with the hubs
// ordered by the length of the lines between them, on several threads; the
// placement whose likely routes cross least wins (the earlier on a tie, and
// none drawn out further than the plain one allows), and its boxes then
// trade places where their lines cross less.
void placeLargeComponent(LayoutNodes& nodes, const LayoutEdges& edges)
{
    LayoutNodes probe = nodes;
    buildAdjacency(probe, edges);
    const qsizetype tried = findHubs(probe).isEmpty() ? 1 : static_cast<qsizetype>(std::size(LargeStyles));
    struct Tried
    {
        LayoutNodes nodes;
        int crossings = 0;
    };
    const LayoutNodes start = nodes;
    const std::vector<Tried> placed = mapInParallel<Tried>(
        tried,
        [&start, &edges, tried](qsizetype k) {
            Tried t{start, 0};
            HubLayoutStyle style = LargeStyles[k];
            style.orderHubs = true;
            layoutComponent(t.nodes, edges, style);
            t.crossings = tried > 1 ? estimateLikelyCrossings(t.nodes, edges) : 0;
            return t;
        },
        2, 1);
    const double longest = std::max(MostElongated, elongation(placed.front().nodes));
    size_t chosen = 0;
    for (size_t k = 1; k < placed.size(); ++k) {
        if (placed[k].crossings < placed[chosen].crossings && elongation(placed[k].nodes) <= longest)
            chosen = k;
    }
    nodes = placed[chosen].nodes;
    swapPlaces(nodes, edges, false);
}

// Lays out one connected group. A small group is placed in the other ways
// too, and the placement whose previewed routes cross least wins, the
// earlier on a tie (so the plain one whenever its routes cross nothing).
// The ways are tried at once, on several threads: each depends on the group
// alone.
void placeComponent(LayoutNodes& nodes, const LayoutEdges& edges)
{
    if (edges.size() < 2) {
        layoutComponent(nodes, edges, HubPlacements[0].style);
        swapPlaces(nodes, edges, false);
        return;
    }
    if (edges.size() > PreviewedEdgesAtMost || nodes.size() > PreviewedNodesAtMost) {
        placeLargeComponent(nodes, edges);
        return;
    }
    const LayoutNodes start = nodes;
    LayoutNodes probe = start;
    buildAdjacency(probe, edges);
    const bool hubs = !findHubs(probe).isEmpty();
    const Placement* placements = hubs ? HubPlacements : ForcePlacements;
    const qsizetype tried = hubs ? static_cast<qsizetype>(std::size(HubPlacements)) : static_cast<qsizetype>(std::size(ForcePlacements));
    struct Tried
    {
        LayoutNodes nodes;
        int crossings = 0;
    };
    const bool columnsByCrossings = hubs && start.size() <= ColumnsByCrossingsNodesAtMost;
    const auto place = [&start, &edges, placements, columnsByCrossings](qsizetype k) {
        const Placement& placement = placements[k];
        Tried t{start, 0};
        HubLayoutStyle style = placement.style;
        style.columnsByCrossings = columnsByCrossings;
        layoutComponent(t.nodes, edges, style, placement.start);
        swapPlaces(t.nodes, edges, placement.freePlaces);
        t.crossings = previewRouteCrossings(t.nodes, edges);
        return t;
    };
    std::vector<Tried> placed;
    if (edges.size() < FewEdges) {
        // A small group is often placed well the plain way: that one first,
        // the others only when its routes cross.
        placed.push_back(place(0));
        if (placed.front().crossings > 0) {
            std::vector<Tried> others = mapInParallel<Tried>(
                tried - 1, [&place](qsizetype k) { return place(k + 1); }, 2, 1);
            std::move(others.begin(), others.end(), std::back_inserter(placed));
        }
    } else {
        placed = mapInParallel<Tried>(tried, place, 2, 1);
    }
    // No other placement may draw the group out further than this, or than
    // the plain one when that is longer.
    const double longest = std::max(MostElongated, elongation(placed.front().nodes));
    qsizetype chosen = 0;
    for (qsizetype k = 1; k < static_cast<qsizetype>(placed.size()); ++k) {
        const Tried& t = placed[static_cast<size_t>(k)];
        if (t.crossings < placed[static_cast<size_t>(chosen)].crossings && elongation(t.nodes) <= longest)
            chosen = k;
    }
    nodes = placed[static_cast<size_t>(chosen)].nodes;
}

} // namespace

QList<LayoutComponent> findLayoutComponents(int nodeCount, const LayoutEdges& edges)
{
    const int n = std::max(nodeCount, 0);
    // Neighbour lists in edge order; repeated relationships stay repeated.
    std::vector<std::vector<int>> adjacency(static_cast<size_t>(n));
    for (const LayoutEdge& e : edges) {
        if (e.first == e.second || e.first < 0 || e.second < 0 || e.first >= n || e.second >= n)
            continue;
        adjacency[static_cast<size_t>(e.first)].push_back(e.second);
        adjacency[static_cast<size_t>(e.second)].push_back(e.first);
    }
    QList<LayoutComponent> components;
    std::vector<char> reached(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        if (reached[static_cast<size_t>(i)])
            continue;
        LayoutComponent component;
        component.members.append(i);
        reached[static_cast<size_t>(i)] = 1;
        for (qsizetype head = 0; head < component.members.size(); ++head) {
            for (int v : adjacency[static_cast<size_t>(component.members.at(head))]) {
                if (!reached[static_cast<size_t>(v)]) {
                    reached[static_cast<size_t>(v)] = 1;
                    component.members.append(v);
                }
            }
        }
        components.append(std::move(component));
    }
    return components;
}

void packComponents(QList<LayoutComponent>& components)
{
    double area = 0.0;
    double widest = 0.0;
    for (const LayoutComponent& c : std::as_const(components)) {
        area += std::max(c.bounds.width() * c.bounds.height(), 1.0);
        widest = std::max(widest, c.bounds.width());
    }
    const double rowLimit = std::max(1.2 * std::sqrt(area), widest);
    double x = 0.0;
    double y = 0.0;
    double rowHeight = 0.0;
    for (qsizetype i = 0; i < components.size(); ++i) {
        LayoutComponent& c = components[i];
        if (i > 0 && x > 0.0 && x + c.bounds.width() > rowLimit) {
            y += rowHeight + ComponentGap;
            x = 0.0;
            rowHeight = 0.0;
        }
        c.offset = QPointF(x - c.bounds.x(), y - c.bounds.y());
        rowHeight = std::max(rowHeight, c.bounds.height());
        x += c.bounds.width() + ComponentGap;
    }
}

QList<LayoutComponent> layoutDiagramNodes(LayoutNodes& nodes, const LayoutEdges& edges, QPointF centre)
{
    const int n = static_cast<int>(nodes.size());
    QList<LayoutComponent> components = findLayoutComponents(n, edges);

    // Each edge goes to the group of its ends, keeping edge order.
    std::vector<int> componentOf(static_cast<size_t>(n), -1);
    std::vector<int> localIndex(static_cast<size_t>(n), -1);
    for (qsizetype c = 0; c < components.size(); ++c) {
        const QList<int>& members = components.at(c).members;
        for (qsizetype i = 0; i < members.size(); ++i) {
            componentOf[static_cast<size_t>(members.at(i))] = static_cast<int>(c);
            localIndex[static_cast<size_t>(members.at(i))] = static_cast<int>(i);
        }
    }
    QList<LayoutEdges> localEdges(components.size());
    for (const LayoutEdge& e : edges) {
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n || e.first == e.second)
            continue;
        const int c = componentOf[static_cast<size_t>(e.first)];
        if (c != componentOf[static_cast<size_t>(e.second)])
            continue;
        localEdges[c].append({localIndex[static_cast<size_t>(e.first)], localIndex[static_cast<size_t>(e.second)]});
    }

    for (qsizetype c = 0; c < components.size(); ++c) {
        LayoutComponent& component = components[c];
        LayoutNodes local;
        local.reserve(component.members.size());
        for (int m : std::as_const(component.members))
            local.append(nodes.at(m));
        placeComponent(local, localEdges.at(c));
        component.bounds = nodesBoundingRect(local);
        for (qsizetype i = 0; i < component.members.size(); ++i) {
            LayoutNode& target = nodes[component.members.at(i)];
            target.x = local.at(i).x;
            target.y = local.at(i).y;
        }
    }

    std::stable_sort(components.begin(), components.end(), [](const LayoutComponent& a, const LayoutComponent& b) {
        return a.bounds.height() > b.bounds.height();
    });
    packComponents(components);
    for (const LayoutComponent& c : std::as_const(components)) {
        for (int m : c.members) {
            nodes[m].x += c.offset.x();
            nodes[m].y += c.offset.y();
        }
    }

    if (n > 0) {
        const QPointF shift = centre - nodesBoundingRect(nodes).center();
        for (LayoutNode& node : nodes) {
            node.x += shift.x();
            node.y += shift.y();
        }
    }
    return components;
}
