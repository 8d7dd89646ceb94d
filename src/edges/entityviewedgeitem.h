#pragma once

#include "edges/edgeitem.h"

// The dashed link from an entity view to the entity it is derived from:
// routed like a relationship, drawn with an arrowhead at the non-view end
// instead of cardinality glyphs, and without the cardinality menu. Selecting
// it lights up the rows the view inherited through it.
class EntityViewEdgeItem : public EdgeItem
{
public:
    EntityViewEdgeItem(EntityItem* from, EntityItem* to, bool createFKs);
    ~EntityViewEdgeItem() override;

    bool isViewEdge() const override { return true; }
    void updatePen() override;
    bool drawsCardinality() const override { return false; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The entity of kind view among the two ends (from first), or null.
    EntityItem* viewEnd() const;

    // The arrowhead polygon (tip at the origin, pointing along +x).
    static QPolygonF arrowHead();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
};
