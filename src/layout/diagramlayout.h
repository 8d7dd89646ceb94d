#pragma once

#include "layout/layoutnode.h"

#include <QPointF>

// The placement half of automatic layout, without a scene: the entities
// split into connected groups by their relationships, each group is laid
// out by itself around the origin, the groups are packed into rows tallest
// first, and the whole arrangement is centred on where the diagram was.

// One connected group of nodes.
struct LayoutComponent
{
    QList<int> members; // node indices in breadth-first discovery order
    QRectF bounds;      // of the members after the group's own layout
    QPointF offset;     // translation found by the packing
};

// Gap between packed groups, within a row and between rows.
constexpr double ComponentGap = 150.0;

// Connected groups by breadth-first search over the edges (self-relations
// and edges with an index outside the list join nothing), numbered in the
// order of their first node; neighbours are visited in edge order.
QList<LayoutComponent> findLayoutComponents(int nodeCount, const LayoutEdges& edges);

// Lays out every group (layoutComponent), packs the groups and centres the
// result on centre. Returns the groups, tallest first, with their bounds
// and offsets.
QList<LayoutComponent> layoutDiagramNodes(LayoutNodes& nodes, const LayoutEdges& edges, QPointF centre);

// Shelf packing of groups already sorted tallest first: each row holds
// groups while they fit within max(1.2 x sqrt(total area), widest group);
// writes every group's offset.
void packComponents(QList<LayoutComponent>& components);
