#include "layout/hublayout.h"

#include "layout/componentlayout.h"

#include <QtGlobal>

#include <algorithm>
#include <vector>

// The layers inside one satellite group, and the compaction sweeps.
namespace {

constexpr double LayerGap = 56.0;     // between neighbouring layers
constexpr double LayerNodeGap = 42.0; // between the nodes of one layer
// The clean-up after the layers stand: overlap sweeps, the alignment of
// linked nodes, the two compactions, then fewer sweeps again.
constexpr int LayerCleanUpSweeps = 12;
constexpr double LayerAlignFactor = 0.55;
constexpr int LayerSettleSweeps = 8;

// The layers of a group by hop count from its roots.
struct GroupLayers
{
    std::vector<int> layerOf; // per node
    QList<QList<int>> layers; // the nodes of each layer, in index order
};

// The walk's start, all in layer 0: every node when there are no roots,
// else each valid root once.
QList<int> startLayer(int n, const QList<int>& roots, std::vector<int>& layerOf)
{
    QList<int> queue;
    if (roots.isEmpty()) {
        for (int i = 0; i < n; ++i)
            queue.append(i);
    } else {
        for (int r : roots) {
            if (r >= 0 && r < n && layerOf[static_cast<size_t>(r)] < 0) {
                layerOf[static_cast<size_t>(r)] = 0;
                queue.append(r);
            }
        }
    }
    for (int q : std::as_const(queue))
        layerOf[static_cast<size_t>(q)] = 0;
    return queue;
}

// Breadth-first on from the start layer in queue; the deepest layer
// reached (-1 for an empty start).
int walkLayers(const LayoutAdjacency& adjacency, QList<int>& queue, std::vector<int>& layerOf)
{
    int deepest = queue.isEmpty() ? -1 : 0;
    for (qsizetype head = 0; head < queue.size(); ++head) {
        const int u = queue.at(head);
        for (int v : adjacency.at(u)) {
            if (layerOf[static_cast<size_t>(v)] >= 0)
                continue;
            layerOf[static_cast<size_t>(v)] = layerOf[static_cast<size_t>(u)] + 1;
            deepest = std::max(deepest, layerOf[static_cast<size_t>(v)]);
            queue.append(v);
        }
    }
    return deepest;
}

// Layers by hop count from the roots; the nodes never reached share one
// layer after the last.
GroupLayers layersFromRoots(const LayoutAdjacency& adjacency, const QList<int>& roots)
{
    const int n = static_cast<int>(adjacency.size());
    GroupLayers grouped;
    grouped.layerOf.assign(static_cast<size_t>(n), -1);
    QList<int> queue = startLayer(n, roots, grouped.layerOf);
    const int deepest = walkLayers(adjacency, queue, grouped.layerOf);
    const int missedLayer = deepest + 1;
    bool anyMissed = false;
    for (int i = 0; i < n; ++i) {
        if (grouped.layerOf[static_cast<size_t>(i)] < 0) {
            grouped.layerOf[static_cast<size_t>(i)] = missedLayer;
            anyMissed = true;
        }
    }
    grouped.layers.resize(anyMissed ? missedLayer + 1 : deepest + 1);
    for (int i = 0; i < n; ++i)
        grouped.layers[grouped.layerOf[static_cast<size_t>(i)]].append(i);
    return grouped;
}

// Layer l (after the first) ordered by the mean height of each node's
// neighbours in the layer before; nodes without any keep 0.
void orderByBarycentre(QList<int>& layer, qsizetype l, const GroupLayers& grouped, const LayoutAdjacency& adjacency,
                       const std::vector<double>& placedY)
{
    std::vector<double> barycentre(grouped.layerOf.size(), 0.0);
    for (int v : std::as_const(layer)) {
        double sum = 0.0;
        int count = 0;
        for (int u : adjacency.at(v)) {
            if (grouped.layerOf[static_cast<size_t>(u)] == l - 1) {
                sum += placedY[static_cast<size_t>(u)];
                ++count;
            }
        }
        barycentre[static_cast<size_t>(v)] = count > 0 ? sum / count : 0.0;
    }
    std::stable_sort(layer.begin(), layer.end(), [&barycentre](int a, int b) {
        const double ba = barycentre[static_cast<size_t>(a)];
        const double bb = barycentre[static_cast<size_t>(b)];
        return ba < bb && !qFuzzyCompare(ba, bb);
    });
}

// The widest node of a layer, and the height of its nodes stacked with the
// gaps between them.
struct LayerExtent
{
    double width = 0.0;
    double stack = 0.0;
};

LayerExtent measureLayer(const LayoutNodes& nodes, const QList<int>& layer)
{
    LayerExtent extent;
    extent.stack = LayerNodeGap * (layer.size() - 1);
    for (int v : layer) {
        extent.width = std::max(extent.width, nodes.at(v).width);
        extent.stack += nodes.at(v).height;
    }
    return extent;
}

// The layer's nodes stacked in order at x, centred on y = 0.
void stackLayer(LayoutNodes& nodes, const QList<int>& layer, double x, double stack, std::vector<double>& placedY)
{
    double cursor = -stack / 2.0;
    for (int v : layer) {
        LayoutNode& node = nodes[v];
        node.x = x;
        node.y = cursor + node.height / 2.0;
        placedY[static_cast<size_t>(v)] = node.y;
        cursor += node.height + LayerNodeGap;
    }
}

// Each layer in turn ordered and stacked, the first at x = 0 and each
// later one a gap to the left of the one before.
void standLayers(LayoutNodes& nodes, const LayoutAdjacency& adjacency, GroupLayers& grouped)
{
    std::vector<double> placedY(grouped.layerOf.size(), 0.0);
    double previousLeft = 0.0;
    for (qsizetype l = 0; l < grouped.layers.size(); ++l) {
        QList<int>& layer = grouped.layers[l];
        if (l > 0)
            orderByBarycentre(layer, l, grouped, adjacency, placedY);
        if (layer.isEmpty())
            continue;
        const LayerExtent extent = measureLayer(nodes, layer);
        const double x = l == 0 ? 0.0 : previousLeft - LayerGap - extent.width / 2.0;
        previousLeft = x - extent.width / 2.0;
        stackLayer(nodes, layer, x, extent.stack, placedY);
    }
}

// The clean-up after the layers stand.
void tidyLayers(LayoutNodes& nodes, const LayoutEdges& edges)
{
    removeNodeOverlaps(nodes, LayerCleanUpSweeps, LayerGap, LayerNodeGap);
    alignConnectedNodes(nodes, edges, LayerAlignFactor);
    compactAlongAxis(nodes, true);
    compactAlongAxis(nodes, false);
    removeNodeOverlaps(nodes, LayerSettleSweeps, LayerGap, LayerNodeGap);
}

} // namespace

void orderLayersByBarycentre(LayoutNodes& nodes, const LayoutEdges& edges, const QList<int>& roots)
{
    const int n = static_cast<int>(nodes.size());
    if (n == 0)
        return;
    if (n == 1) {
        nodes[0].x = nodes[0].y = 0.0;
        return;
    }
    const LayoutAdjacency adjacency = buildAdjacency(nodes, edges);
    GroupLayers grouped = layersFromRoots(adjacency, roots);
    if (!grouped.layers.isEmpty()) {
        QList<int>& first = grouped.layers[0];
        std::stable_sort(first.begin(), first.end(), [&nodes](int a, int b) {
            return nodes.at(a).degree > nodes.at(b).degree;
        });
    }
    standLayers(nodes, adjacency, grouped);
    tidyLayers(nodes, edges);
}

void compactAlongAxis(LayoutNodes& nodes, bool horizontal)
{
    const int n = static_cast<int>(nodes.size());
    if (n < 2)
        return;
    auto along = [horizontal](const LayoutNode& node) { return horizontal ? node.x : node.y; };
    auto across = [horizontal](const LayoutNode& node) { return horizontal ? node.y : node.x; };
    auto sizeAlong = [horizontal](const LayoutNode& node) { return horizontal ? node.width : node.height; };
    auto sizeAcross = [horizontal](const LayoutNode& node) { return horizontal ? node.height : node.width; };

    LayoutNode* p = nodes.data();
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const double pa = along(p[a]);
        const double pb = along(p[b]);
        if (!qFuzzyCompare(pa, pb))
            return pa < pb;
        return across(p[a]) < across(p[b]);
    });

    const double gap = horizontal ? 56.0 : 42.0;
    const double tolerance = horizontal ? 8.4 : 11.2;
    const LayoutNode& first = p[order.front()];
    const double start = along(first) - sizeAlong(first) / 2.0;
    for (size_t k = 0; k < order.size(); ++k) {
        LayoutNode& v = p[order[k]];
        const double vLow = across(v) - sizeAcross(v) / 2.0;
        const double vHigh = across(v) + sizeAcross(v) / 2.0;
        double pos = start;
        for (size_t e = 0; e < k; ++e) {
            const LayoutNode& u = p[order[e]];
            const double uLow = across(u) - sizeAcross(u) / 2.0;
            const double uHigh = across(u) + sizeAcross(u) / 2.0;
            if (uLow > vHigh + tolerance || vLow > uHigh + tolerance)
                continue;
            pos = std::max(pos, along(u) + sizeAlong(u) / 2.0 + gap);
        }
        const double centre = pos + sizeAlong(v) / 2.0;
        if (horizontal)
            v.x = centre;
        else
            v.y = centre;
    }
}
