#include "layout/likelyroutes.h"

#include <algorithm>

LikelyRoute likelyRoute(const LayoutNode& a, const LayoutNode& b)
{
    const double gapX = std::abs(b.x - a.x) - (a.width + b.width) / 2.0;
    const double gapY = std::abs(b.y - a.y) - (a.height + b.height) / 2.0;
    LikelyRoute route;
    route.left = std::min(a.x, b.x);
    route.right = std::max(a.x, b.x);
    route.top = std::min(a.y, b.y);
    route.bottom = std::max(a.y, b.y);
    if (gapX >= gapY) {
        const double mx = (a.x + b.x) / 2.0;
        route.add(true, a.y, a.x, mx);
        route.add(false, mx, a.y, b.y);
        route.add(true, b.y, mx, b.x);
    } else {
        const double my = (a.y + b.y) / 2.0;
        route.add(false, a.x, a.y, my);
        route.add(true, my, a.x, b.x);
        route.add(false, b.x, my, b.y);
    }
    return route;
}

int routesCross(const LikelyRoute& r, const LikelyRoute& o)
{
    int crossings = 0;
    for (int i = 0; i < r.flats; ++i) {
        for (int j = 0; j < o.uprights; ++j)
            crossings += piecesCross(r.flat[i], o.upright[j]);
    }
    for (int i = 0; i < o.flats; ++i) {
        for (int j = 0; j < r.uprights; ++j)
            crossings += piecesCross(o.flat[i], r.upright[j]);
    }
    return crossings;
}

bool routeMeetsBox(const LikelyRoute& r, double x0, double y0, double x1, double y1)
{
    for (int i = 0; i < r.flats; ++i) {
        const Piece& p = r.flat[i];
        if (p.at > y0 && p.at < y1 && p.high > x0 && p.low < x1)
            return true;
    }
    for (int i = 0; i < r.uprights; ++i) {
        const Piece& p = r.upright[i];
        if (p.at > x0 && p.at < x1 && p.high > y0 && p.low < y1)
            return true;
    }
    return false;
}

int likelyRouteConflicts(const LayoutNodes& nodes, const LayoutEdges& edges)
{
    const int n = static_cast<int>(nodes.size());
    struct Listed
    {
        LayoutEdge edge;
        LikelyRoute route;
    };
    std::vector<Listed> listed;
    listed.reserve(static_cast<size_t>(edges.size()));
    for (const LayoutEdge& e : edges) {
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n || e.first == e.second)
            continue;
        listed.push_back({e, likelyRoute(nodes.at(e.first), nodes.at(e.second))});
    }
    // Routes and boxes by their left ends: each route looks only at those
    // that start before it ends.
    const auto byLeft = [](const Listed& a, const Listed& b) { return a.route.left < b.route.left; };
    std::sort(listed.begin(), listed.end(), byLeft);
    std::vector<int> boxes(static_cast<size_t>(n));
    for (int v = 0; v < n; ++v)
        boxes[static_cast<size_t>(v)] = v;
    const auto boxLeft = [&nodes](int v) { return nodes.at(v).x - nodes.at(v).width / 2.0; };
    std::sort(boxes.begin(), boxes.end(), [&boxLeft](int a, int b) { return boxLeft(a) < boxLeft(b); });
    int conflicts = 0;
    for (size_t i = 0; i < listed.size(); ++i) {
        const LikelyRoute& r = listed[i].route;
        const LayoutEdge& e = listed[i].edge;
        for (size_t j = i + 1; j < listed.size() && listed[j].route.left <= r.right; ++j) {
            const LayoutEdge& o = listed[j].edge;
            const LikelyRoute& q = listed[j].route;
            if (q.top > r.bottom || q.bottom < r.top || o.first == e.first || o.first == e.second
                || o.second == e.first || o.second == e.second)
                continue;
            conflicts += routesCross(r, q);
        }
        for (int v : boxes) {
            const LayoutNode& node = nodes.at(v);
            const double hw = node.width / 2.0;
            if (node.x - hw > r.right)
                break;
            const double hh = node.height / 2.0;
            if (v == e.first || v == e.second || node.x + hw < r.left || node.y + hh < r.top || node.y - hh > r.bottom)
                continue;
            if (routeMeetsBox(r, node.x - hw, node.y - hh, node.x + hw, node.y + hh))
                ++conflicts;
        }
    }
    return conflicts;
}
