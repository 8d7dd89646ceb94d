#pragma once

// Connectors drawn with right angles only (the way diagram editors route
// them) read as straight horizontal and vertical strokes: where such
// connectors cross, run into each other or are cut by the word written on
// them, the strokes tell which two boxes each one joins.

#include <QList>
#include <QPair>
#include <QPoint>
#include <QRectF>

#include <vector>

struct RightAngledLinks
{
    // Whether the piece of ink is drawn that way: nearly all of it lies
    // in long horizontal and vertical strokes.
    bool rightAngled = false;
    // The pairs of boxes (smaller index first) that one connector joins.
    std::vector<QPair<int, int>> pairs;
    // Boxes reached by strokes that join more than two boxes (a branching
    // figure): what they link is not decided.
    std::vector<int> undecided;
};

// The connectors in one piece of ink (its pixels, outside every box's
// interior) among the boxes. gapReach is how far the pieces of one dashed
// stroke lie apart; a stroke cut by a word goes on beyond it, however long
// the word, when the word's ink lies between the two parts.
RightAngledLinks traceRightAngledConnectors(const std::vector<QPoint>& pixels, const QList<QRectF>& boxes,
                                            int gapReach);
