#include "diagram/slotitem.h"

#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "edges/edgeitem.h"

#include <QBrush>
#include <QGraphicsSceneMouseEvent>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

bool movedEnough(const QPointF& a, const QPointF& b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y()) > 0.01;
}

QPointF projectOnto(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    if (len2 <= 0.0)
        return a;
    const double t = std::clamp(((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2, 0.0, 1.0);
    return a + t * d;
}

} // namespace

SlotItem::SlotItem(EntityItem* parent)
    : QGraphicsRectItem(QRectF(-5, -5, 10, 10), parent)
{
    applyNormalLook();
    setZValue(11);
    setFlag(ItemIsMovable, false);
    setAcceptHoverEvents(true);
    setOpacity(HiddenOpacity);
    snapToBorder();
}

SlotItem::~SlotItem()
{
    // Normally the edge is gone before its entity and its slots; should a
    // slot die first, the edge must not keep pointing at it.
    if (m_edge)
        m_edge->forgetSlot(this);
}

void SlotItem::setEdge(EdgeItem* edge)
{
    m_edge = edge;
    if (!edge && m_indexInEntity >= 0 && parentItem() && parentItem()->type() == DiagramItemType::Entity)
        static_cast<EntityItem*>(parentItem())->noteSlotFreed(m_indexInEntity);
}

void SlotItem::applyNormalLook()
{
    setBrush(QBrush(Qt::lightGray, Qt::SolidPattern));
    setPen(QPen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
}

void SlotItem::refreshOpacity()
{
    if (m_active || m_highlighted)
        setOpacity(1.0);
    else
        setOpacity(isUnderMouse() ? 1.0 : HiddenOpacity);
}

void SlotItem::setActive(bool active)
{
    m_active = active;
    refreshOpacity();
}

void SlotItem::applyTheme(bool highlighted)
{
    m_highlighted = highlighted;
    if (highlighted) {
        const QColor accent = ThemeManager::instance().color(ThemeSlot::Highlight);
        setBrush(QBrush(accent, Qt::SolidPattern));
        setPen(QPen(QBrush(accent), 1.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        setOpacity(1.0);
    } else {
        applyNormalLook();
        refreshOpacity();
    }
    update();
}

QRectF SlotItem::parentRect() const
{
    QGraphicsItem* parent = parentItem();
    if (!parent)
        return QRectF();
    if (parent->type() == DiagramItemType::Entity)
        return static_cast<EntityItem*>(parent)->rect();
    return parent->boundingRect();
}

void SlotItem::snapToBorder()
{
    const QRectF r = parentRect();
    if (r.width() == 0 && r.height() == 0)
        return;
    const QPointF p = pos();
    QPointF target = p;
    switch (m_side) {
    case SlotLeft:
        target = QPointF(r.left(), std::clamp(p.y(), r.top(), r.bottom()));
        break;
    case SlotRight:
        target = QPointF(r.right(), std::clamp(p.y(), r.top(), r.bottom()));
        break;
    case SlotTop:
        target = QPointF(std::clamp(p.x(), r.left(), r.right()), r.top());
        break;
    case SlotBottom:
        target = QPointF(std::clamp(p.x(), r.left(), r.right()), r.bottom());
        break;
    default:
        break;
    }
    if (movedEnough(target, p))
        setPos(target);
}

void SlotItem::snapToBorderAt()
{
    const QRectF r = parentRect();
    if (r.width() == 0 && r.height() == 0)
        return;
    const QPointF p = pos();
    const QPointF target(std::clamp(p.x(), r.left(), r.right()), std::clamp(p.y(), r.top(), r.bottom()));
    if (movedEnough(target, p))
        setPos(target);
}

QPointF SlotItem::nearestBorderPoint(const QRectF& r, const QPointF& pos)
{
    const QPointF corners[4][2] = {
        {r.topLeft(), r.bottomLeft()},   // left
        {r.topRight(), r.bottomRight()}, // right
        {r.topLeft(), r.topRight()},     // top
        {r.bottomLeft(), r.bottomRight()}, // bottom
    };
    QPointF best = r.topLeft();
    double bestDistance = std::hypot(pos.x() - best.x(), pos.y() - best.y());
    for (const auto& edge : corners) {
        const QPointF candidate = projectOnto(pos, edge[0], edge[1]);
        const double d = std::hypot(pos.x() - candidate.x(), pos.y() - candidate.y());
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

int SlotItem::nearestSide(const QRectF& r, const QPointF& p)
{
    const double distances[4] = {std::abs(p.x() - r.left()), std::abs(p.x() - r.right()),
                                 std::abs(p.y() - r.top()), std::abs(p.y() - r.bottom())};
    int side = SlotLeft;
    for (int s = 1; s < 4; ++s) {
        if (distances[s] < distances[side])
            side = s;
    }
    return side;
}

void SlotItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    setOpacity(1.0);
    QGraphicsRectItem::hoverEnterEvent(event);
}

void SlotItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    // isUnderMouse() still holds during the leave event itself.
    if (!m_active && !m_highlighted)
        setOpacity(HiddenOpacity);
    QGraphicsRectItem::hoverLeaveEvent(event);
}

void SlotItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressOffset = event->pos();
        setFlag(ItemIsMovable, true);
        setOpacity(1.0);
        if (m_edge)
            m_edge->setStraightPath();
    }
    QGraphicsRectItem::mousePressEvent(event);
}

void SlotItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    setPos(mapToParent(event->pos() - m_pressOffset));
    const QRectF r = parentRect();
    const QPointF border = nearestBorderPoint(r, pos());
    m_side = nearestSide(r, border);
    snapToBorder();
    if (m_edge)
        m_edge->setStraightPath();
}

void SlotItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    Q_UNUSED(event)
    snapToBorder();
    setFlag(ItemIsMovable, false);
    if (m_edge)
        m_edge->updatePath();
    if (!m_active && !m_highlighted && !isUnderMouse())
        setOpacity(HiddenOpacity);
}
