#include "layout/layoutnode.h"

#include <algorithm>

QRectF nodesBoundingRect(const LayoutNodes& nodes)
{
    if (nodes.isEmpty())
        return QRectF();
    double left = nodes.first().x - nodes.first().width / 2.0;
    double top = nodes.first().y - nodes.first().height / 2.0;
    double right = left + nodes.first().width;
    double bottom = top + nodes.first().height;
    for (const LayoutNode& n : nodes) {
        left = std::min(left, n.x - n.width / 2.0);
        top = std::min(top, n.y - n.height / 2.0);
        right = std::max(right, n.x + n.width / 2.0);
        bottom = std::max(bottom, n.y + n.height / 2.0);
    }
    return QRectF(left, top, right - left, bottom - top);
}

double elongation(const QRectF& box)
{
    const double shorter = std::min(box.width(), box.height());
    return shorter > 0.0 ? std::max(box.width(), box.height()) / shorter : 1.0;
}

double elongation(const LayoutNodes& nodes)
{
    return elongation(nodesBoundingRect(nodes));
}

LayoutAdjacency buildAdjacency(LayoutNodes& nodes, const LayoutEdges& edges)
{
    const int n = static_cast<int>(nodes.size());
    LayoutAdjacency adjacency(n);
    for (const LayoutEdge& e : edges) {
        if (e.first == e.second || e.first < 0 || e.second < 0 || e.first >= n || e.second >= n)
            continue;
        adjacency[e.first].append(e.second);
        adjacency[e.second].append(e.first);
    }
    for (int i = 0; i < n; ++i) {
        QList<int>& list = adjacency[i];
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        nodes[i].degree = static_cast<int>(list.size());
    }
    return adjacency;
}
