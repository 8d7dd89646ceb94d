#include "edges/entityviewedgeitem.h"

#include "app/thememanager.h"
#include "diagram/entityitem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTimer>

EntityViewEdgeItem::EntityViewEdgeItem(EntityItem* from, EntityItem* to, bool createFKs)
    : EdgeItem(from, to, createFKs)
{
    updatePen();
}

EntityViewEdgeItem::~EntityViewEdgeItem() = default;

void EntityViewEdgeItem::updatePen()
{
    EdgeItem::updatePen();
    QPen p = pen();
    p.setStyle(Qt::DashLine);
    p.setDashPattern({6.0, 4.0});
    setPen(p);
}

EntityItem* EntityViewEdgeItem::viewEnd() const
{
    if (fromEntity() && fromEntity()->kind() == EntityItem::ViewKind)
        return fromEntity();
    if (toEntity() && toEntity()->kind() == EntityItem::ViewKind)
        return toEntity();
    return nullptr;
}

QPolygonF EntityViewEdgeItem::arrowHead()
{
    return QPolygonF({QPointF(0, 0), QPointF(-12, 5.04), QPointF(-8.64, 0), QPointF(-12, -5.04)});
}

QVariant EntityViewEdgeItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    const QVariant result = EdgeItem::itemChange(change, value);
    if (change == ItemSelectedHasChanged) {
        const bool selected = value.toBool();
        QTimer::singleShot(0, this, [this, selected] {
            if (!scene() || !fromEntity() || !toEntity())
                return;
            EntityItem* view = viewEnd();
            if (view && view->scene())
                view->highlightEdgeRows(this, selected);
        });
    }
    return result;
}

void EntityViewEdgeItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    paintPath(painter, option, widget);

    const QPainterPath& p = path();
    const int n = p.elementCount();
    EntityItem* from = fromEntity();
    EntityItem* to = toEntity();
    if (n < 2 || !from || !to)
        return;

    const bool fromIsView = from->kind() == EntityItem::ViewKind;
    const bool toIsView = to->kind() == EntityItem::ViewKind;
    QTransform placement;
    if (!fromIsView && toIsView && from != to)
        placement = routeEndTransform(p.elementAt(0), p.elementAt(1), 4.2);
    else if (fromIsView)
        placement = routeEndTransform(p.elementAt(n - 1), p.elementAt(n - 2), 4.2);
    else
        return;
    const QPolygonF head = placement.map(arrowHead());

    const ThemeManager& theme = ThemeManager::instance();
    const bool selected = isSelected() || (option->state & QStyle::State_Selected);
    const QColor color = theme.color(selected ? ThemeSlot::Highlight : ThemeSlot::RelationshipLine);
    painter->save();
    painter->setPen(QPen(QBrush(color), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->setBrush(QBrush(color, Qt::SolidPattern));
    painter->drawPolygon(head);
    painter->restore();
}
