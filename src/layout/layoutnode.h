#pragma once

#include <QList>
#include <QRectF>

class EntityItem;

// One entity as the layout sees it: a box of a fixed size whose centre the
// layout passes move. The layouts never touch the entity itself.
struct LayoutNode
{
    EntityItem* item = nullptr; // not owned; may be null
    double x = 0.0;             // centre in scene coordinates
    double y = 0.0;
    double width = 40.0;  // at least 40
    double height = 30.0; // at least 30
    int degree = 0;       // distinct neighbours within the component

    QRectF rect() const { return QRectF(x - width / 2.0, y - height / 2.0, width, height); }
};

// One relationship as a pair of indices into the node list it travels with,
// taken from the edge's from and to entity in that order.
struct LayoutEdge
{
    int first = -1;
    int second = -1;
};

using LayoutNodes = QList<LayoutNode>;
using LayoutEdges = QList<LayoutEdge>;
// One list of neighbour indices per node.
using LayoutAdjacency = QList<QList<int>>;

// The union of the node rectangles; a zero rectangle for no node.
QRectF nodesBoundingRect(const LayoutNodes& nodes);

// The longer side of box over the shorter one; 1 for a box without extent
// across (nothing is drawn out there).
double elongation(const QRectF& box);
// The elongation of the nodes' bounding rectangle.
double elongation(const LayoutNodes& nodes);

// Neighbour lists from the edges whose two ends differ and lie in
// [0, nodes.size()): sorted, without repeats. Each node's degree becomes the
// length of its list.
LayoutAdjacency buildAdjacency(LayoutNodes& nodes, const LayoutEdges& edges);
