#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// Measures of how readable a laid-out diagram is, taken on plain geometry:
// the entities' rectangles and the edges' polylines (right-angled routes or
// any other polyline). Automatic layout aims at none of the faults counted
// here; the benchmark compares them with other layout programs.

struct LaidOutEdge
{
    QList<QPointF> points; // the route, first point at the from end
    int from = -1;         // indices into the rectangles
    int to = -1;
};

struct LayoutQuality
{
    double aspect = 0.0;       // width : height of the union of the rectangles
    int overlappingPairs = 0;  // entity pairs whose rectangles overlap
    int coincidentPairs = 0;   // segment pairs of different edges on one line
    int sharedEndPoints = 0;   // end pairs of different edges at one point
    int edgesThroughEntities = 0; // edges through an entity not their end
    int crossings = 0;         // proper crossings of segments of different edges
};

// Two segments of different edges lie on one line when they are parallel
// (both horizontal or both vertical), less than 6 apart across and overlap
// by more than 10 along. Two end points are shared when they lie within 1
// of each other. An edge runs through an entity when a segment meets the
// inside of its rectangle shrunk by 2 (the end entities of the edge do not
// count). Self-relations count only for the coincident segments and shared
// end points.
LayoutQuality measureLayoutQuality(const QList<QRectF>& entities, const QList<LaidOutEdge>& edges);

// Proper crossings between the segments of different edges (touching ends
// do not count), as measureLayoutQuality counts them.
int countRouteCrossings(const QList<LaidOutEdge>& edges);
