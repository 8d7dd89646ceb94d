#include "edges/entityrouter.h"

#include "edges/routechecks.h"
#include "edges/routegeometry.h"

#include <cmath>

// The shortcut between two slots that face each other: the first usable
// route of a fixed sequence of straight lines, Z-shaped runs and
// connectors beside the entities.
namespace {

// Two slots this near across lie in line.
constexpr double kLinedUpWithin = 0.5;
// The connectors beside the entities run this far out.
constexpr double kConnectorOffset = 8.0;
// A connector this near the run it would join adds nothing.
constexpr double kSameRunWithin = 1.0;

// The centre of the gap between the two entities along x, when they stand
// apart that way (none, or one).
QList<double> gapCentresX(const QRectF& a, const QRectF& b)
{
    QList<double> xs;
    if (a.right() <= b.left())
        xs.append((a.right() + b.left()) / 2.0);
    if (b.right() <= a.left())
        xs.append((b.right() + a.left()) / 2.0);
    return xs;
}

QList<double> gapCentresY(const QRectF& a, const QRectF& b)
{
    QList<double> ys;
    if (a.bottom() <= b.top())
        ys.append((a.bottom() + b.top()) / 2.0);
    if (b.bottom() <= a.top())
        ys.append((b.bottom() + a.top()) / 2.0);
    return ys;
}

// The facing shortcut's sequence of candidates, tried in turn until one is
// usable.
class FacingCandidates
{
public:
    FacingCandidates(const RouteUsabilityContext& context, const QPointF& p, const QPointF& q)
        : m_context(context)
        , m_p(p)
        , m_q(q)
    {
    }

    bool tryRoute(const QList<QPointF>& route)
    {
        if (!isCandidateUsable(m_context, route))
            return false;
        m_found = route;
        return true;
    }
    bool tryMiddle(const QList<QPointF>& middle)
    {
        return tryRoute(assembleRoute(m_p, ps(), middle, qs(), m_q));
    }
    // The straight line when the slots line up within the slack, else the
    // route through the stubs alone.
    bool tryInLine(bool linedUp) { return linedUp && (tryRoute({m_p, m_q}) || tryMiddle({})); }
    // Runs across at each x (or along at each y) in turn; with skipNearFrom
    // those about on the from-stub's own run are left out.
    bool tryVerticalRuns(const QList<double>& xs, bool skipNearFrom)
    {
        for (double x : xs) {
            if (skipNearFrom && std::abs(x - ps().x()) < kSameRunWithin)
                continue;
            if (tryMiddle({QPointF(x, ps().y()), QPointF(x, qs().y())}))
                return true;
        }
        return false;
    }
    bool tryHorizontalRuns(const QList<double>& ys, bool skipNearFrom)
    {
        for (double y : ys) {
            if (skipNearFrom && std::abs(y - ps().y()) < kSameRunWithin)
                continue;
            if (tryMiddle({QPointF(ps().x(), y), QPointF(qs().x(), y)}))
                return true;
        }
        return false;
    }
    const QList<QPointF>& found() const { return m_found; }

private:
    const QPointF& ps() const { return m_context.fromStub; }
    const QPointF& qs() const { return m_context.toStub; }

    const RouteUsabilityContext& m_context;
    const QPointF m_p;
    const QPointF m_q;
    QList<QPointF> m_found;
};

// Slots facing left and right: the straight line, runs across through the
// gap, at the stubs and between them, then connectors above and below the
// entities.
bool tryFacingAcross(FacingCandidates& candidates, const RouteUsabilityContext& c, const QPointF& p, const QPointF& q)
{
    const QRectF& a = c.fromRect;
    const QRectF& b = c.toRect;
    const QPointF& ps = c.fromStub;
    const QPointF& qs = c.toStub;
    if (candidates.tryInLine(std::abs(p.y() - q.y()) <= kLinedUpWithin))
        return true;
    QList<double> xs = gapCentresX(a, b);
    xs << ps.x() << qs.x() << (ps.x() + qs.x()) / 2.0;
    if (candidates.tryVerticalRuns(xs, false))
        return true;
    QList<double> ys = gapCentresY(a, b);
    ys << b.bottom() + kConnectorOffset << b.top() - kConnectorOffset << a.bottom() + kConnectorOffset
       << a.top() - kConnectorOffset << qs.y();
    return candidates.tryHorizontalRuns(ys, true);
}

// Slots facing up and down: the same sequence turned a quarter.
bool tryFacingUpDown(FacingCandidates& candidates, const RouteUsabilityContext& c, const QPointF& p, const QPointF& q)
{
    const QRectF& a = c.fromRect;
    const QRectF& b = c.toRect;
    const QPointF& ps = c.fromStub;
    const QPointF& qs = c.toStub;
    if (candidates.tryInLine(std::abs(p.x() - q.x()) <= kLinedUpWithin))
        return true;
    QList<double> ys = gapCentresY(a, b);
    ys << ps.y() << qs.y() << (ps.y() + qs.y()) / 2.0;
    if (candidates.tryHorizontalRuns(ys, false))
        return true;
    QList<double> xs = gapCentresX(a, b);
    xs << b.right() + kConnectorOffset << b.left() - kConnectorOffset << a.right() + kConnectorOffset
       << a.left() - kConnectorOffset << qs.x();
    return candidates.tryVerticalRuns(xs, true);
}

} // namespace

QList<QPointF> facingShortcutRoute(const QPointF& p, const QPointF& q,
                                   const QPointF& ps, const QPointF& qs,
                                   int fromSide, int toSide,
                                   const QRectF& a, const QRectF& b,
                                   const QList<QRectF>& endRects, const ObstacleSet& obstacles)
{
    const QPointF ca = a.center();
    const QPointF cb = b.center();
    const bool horizontal = (fromSide == SlotRight && toSide == SlotLeft && cb.x() >= ca.x())
        || (fromSide == SlotLeft && toSide == SlotRight && ca.x() >= cb.x());
    const bool vertical = (fromSide == SlotBottom && toSide == SlotTop && ca.y() <= cb.y())
        || (fromSide == SlotTop && toSide == SlotBottom && cb.y() <= ca.y());
    if (!horizontal && !vertical)
        return {};

    RouteUsabilityContext context;
    context.fromSide = fromSide;
    context.toSide = toSide;
    context.fromStub = ps;
    context.toStub = qs;
    context.fromRect = a;
    context.toRect = b;
    context.endRects = endRects;
    context.obstacles = obstacles;

    FacingCandidates candidates(context, p, q);
    const bool found = horizontal ? tryFacingAcross(candidates, context, p, q) : tryFacingUpDown(candidates, context, p, q);
    return found ? candidates.found() : QList<QPointF>();
}
