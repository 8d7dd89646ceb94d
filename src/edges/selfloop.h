#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// The route of a relationship from an entity to itself: no search and no
// obstacles, a right-angled loop around the outside of its own entity.

// The loop from the from-slot to the to-slot around entity (its scene
// bounding rectangle), nestIndex loops out (see selfLoopIndexIn; a negative
// index counts as 0). Slots on one side or on adjacent sides keep
// 30 + 15 x index from the entity, slots on opposite sides 20 + 12 x index;
// a left/right pair runs over the top, a top/bottom pair round the left
// side. Four to six points, not simplified (the edge simplifies when it
// stores it); empty for a side code outside 0 to 3.
QList<QPointF> selfLoopRoute(const QPointF& fromSlot, int fromSide, const QPointF& toSlot, int toSide,
                             const QRectF& entity, int nestIndex);

// Which end of the given side a loop between fromSide and toSide heads for
// once it has left a slot on that side: -1 the low end (top or left), 1 the
// high end, 0 when the side is neither of the two or both are one side.
// Loops that head the same way nest when the inner one (the lower nesting
// index) leaves nearer that end.
int selfLoopHeading(int side, int fromSide, int toSide);

// The nesting index of edge among the self-relations of its entity: walks
// the entity's attached-edge list in order and counts the entries of other
// self-relations before edge. A self-relation stands in that list twice
// (once for each end), so the first self-relation of an entity gets 0, the
// second 2, the third 4. -1 when edge is not in the list. isSelfRelation(e)
// tells whether an entry joins the entity to itself; null entries are
// skipped.
template <typename Edge, typename IsSelfRelation>
int selfLoopIndexIn(const QList<Edge*>& attached, const Edge* edge, IsSelfRelation&& isSelfRelation)
{
    int counter = 0;
    for (Edge* entry : attached) {
        if (!entry || !isSelfRelation(entry))
            continue;
        if (entry == edge)
            return counter;
        ++counter;
    }
    return -1;
}
