#include "layout/diagramlayout.h"

#include "layout/componentlayout.h"
#include "layout/crossingswaps.h"
#include "layout/routepreview.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The ways a group is placed, the plain one first: a style of the hub
// layout, and whether the swaps afterwards may also move a node to a free
// place beside a neighbour. A group without hubs is placed only in the
// first two, as the styles differ only in the hub layout.
struct Placement
{
    HubLayoutStyle style;
    bool freePlaces = false;
};

const Placement Placements[] = {
    {{}, false},
    {{}, true},
    {{true, 1.0, true}, false},
    {{true, 1.0, true}, true},
    {{true, 1.0, false}, false},
    {{true, 1.0, false}, true},
    {{true, 3.0, false}, false},
    {{true, 3.0, false}, true},
};

// Groups with more edges than this are placed the plain way only: the
// previews of their routes would cost more than the layout.
constexpr int PreviewedEdgesAtMost = 150;
// A placement may not draw the group out further than this (or than the
// plain placement, when that is longer).
constexpr double MostElongated = 1.9;

double elongation(const LayoutNodes& nodes)
{
    const QRectF box = nodesBoundingRect(nodes);
    const double shorter = std::min(box.width(), box.height());
    return shorter > 0.0 ? std::max(box.width(), box.height()) / shorter : 1.0;
}

// Boxes trade places where the lines between them cross less, keeping at
// least the gaps the hub layout leaves.
void swapPlaces(LayoutNodes& nodes, const LayoutEdges& edges, bool freePlaces)
{
    reduceCrossingsBySwaps(nodes, edges, 52.0, 40.0, freePlaces);
}

// Lays out one connected group. Unless the plain placement's previewed
// routes cross nothing, a small group is placed in the other ways too, and
// the placement whose previewed routes cross least wins, the earlier on a
// tie.
void placeComponent(LayoutNodes& nodes, const LayoutEdges& edges)
{
    const LayoutNodes start = nodes;
    layoutComponent(nodes, edges, Placements[0].style);
    LayoutNodes laidOut = nodes; // before the swaps, in the style last laid out
    swapPlaces(nodes, edges, Placements[0].freePlaces);
    if (edges.size() < 2 || edges.size() > PreviewedEdgesAtMost)
        return;
    LayoutNodes probe = start;
    buildAdjacency(probe, edges);
    const size_t tried = findHubs(probe).isEmpty() ? 2 : std::size(Placements);
    int best = previewRouteCrossings(nodes, edges);
    const double longest = std::max(MostElongated, elongation(nodes));
    LayoutNodes candidate;
    for (size_t p = 1; p < tried && best > 0; ++p) {
        const HubLayoutStyle& style = Placements[p].style;
        const HubLayoutStyle& before = Placements[p - 1].style;
        if (style.followLines != before.followLines || style.sideSlack != before.sideSlack
            || style.stackByLines != before.stackByLines) {
            laidOut = start;
            layoutComponent(laidOut, edges, style);
        }
        candidate = laidOut;
        swapPlaces(candidate, edges, Placements[p].freePlaces);
        if (elongation(candidate) > longest)
            continue;
        const int crossings = previewRouteCrossings(candidate, edges);
        if (crossings < best) {
            best = crossings;
            nodes = candidate;
        }
    }
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
