#include "layout/likelyroutes.h"

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
