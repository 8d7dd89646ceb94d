#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QTransform>

// The painter paths an edge is drawn with.

// Cardinality of an edge end, stored in diagram files ("startCard",
// "endCard"): the values never change.
enum Cardinality : int {
    CardinalityOne = 0,
    CardinalityMany = 1,
    CardinalityZeroOrOne = 2,
    CardinalityZeroOrMany = 3,
};

// The corner radius of every drawn route.
constexpr double EdgeCornerRadius = 10.0;

// The polyline as a path whose interior corners are rounded with quadratic
// curves of radius min(radius, half the shorter adjacent segment); corners
// of that radius 0.1 or less stay sharp. Empty for fewer than two points.
QPainterPath buildRoundedPath(const QList<QPointF>& points, double radius);

// Where a glyph is drawn at an end of a route: the transform that puts the
// origin inset along the route from end towards neighbour (the next point;
// at end when the two coincide) and turns +x to point from neighbour to
// end, that is into the entity.
QTransform routeEndTransform(const QPointF& end, const QPointF& neighbour, double inset);

// One crow's-foot glyph in end-local coordinates: the origin is the anchor on
// the line, +x points towards the entity. One: two bars; Many: a bar and a
// crow's foot whose toes reach x = size; Zero or One: a circle and a bar;
// Zero or Many: a circle and the crow's foot. Empty for any other code.
QPainterPath cardinalityGlyphPath(int cardinality, double size);
