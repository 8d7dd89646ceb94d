#pragma once

#include "diagram/erscene.h"
#include "diagram/itemreadwatch.h"
#include "edges/slotside.h"

#include <QGraphicsRectItem>
#include <QPointF>
#include <QRectF>

class EdgeItem;
class EntityItem;

// The small square handle on an entity's border where one end of a
// relationship edge attaches. Its position (the centre of the square) is the
// attachment point; its side tells the router which way the edge leaves.
// Nearly invisible (but still hit-testable) unless its edge is selected, it
// is highlighted or the mouse is over it. It can be dragged along the border;
// on release its edge is routed again from the new point.
class SlotItem : public QGraphicsRectItem
{
public:
    enum { Type = DiagramItemType::Slot };

    static constexpr qreal HiddenOpacity = 0.01;

    explicit SlotItem(EntityItem* parent);
    ~SlotItem() override;

    int type() const override { return Type; }

    // The edge whose end uses this slot; null while the slot is free.
    EdgeItem* edge() const { return m_edge; }
    void setEdge(EdgeItem* edge);

    // SlotSide; another value is kept but snaps nowhere.
    int side() const
    {
        ItemReadWatch::noteRead();
        return m_side;
    }
    void setSide(int side) { m_side = side; }

    bool isActive() const { return m_active; }
    bool isHighlighted() const { return m_highlighted; }

    // Active while its edge is selected or shows a slot-drag preview.
    void setActive(bool active);
    // Highlighted: accent look and fully visible; otherwise the normal look.
    void applyTheme(bool highlighted);

    // Moves the slot onto its side of the entity's box, keeping its place
    // along that side within the box.
    void snapToBorder();
    // Clamps the slot into the entity's box without changing its side.
    void snapToBorderAt();

    // The parent entity's box in the parent's coordinates.
    QRectF parentRect() const;

    // The side whose line lies nearest to a point of r (left before right
    // before top before bottom on ties), and the point of r's border
    // nearest to pos.
    static int nearestSide(const QRectF& r, const QPointF& borderPoint);
    static QPointF nearestBorderPoint(const QRectF& r, const QPointF& pos);

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void applyNormalLook();
    void refreshOpacity();

    EdgeItem* m_edge = nullptr;
    // Place in the entity's slot list, set by the entity that made it.
    qsizetype m_indexInEntity = -1;
    friend class EntityItem;
    QPointF m_pressOffset;
    int m_side = SlotRight;
    bool m_active = false;
    bool m_highlighted = false;
};
