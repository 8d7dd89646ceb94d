#pragma once

#include "layout/layoutnode.h"

// A preview of the routes automatic layout will draw for placed nodes: each
// edge gets the side pair the layout's first routing gives it (the natural
// pair, facing sides where the boxes are apart, unless another pair gets
// round the boxes in the way more cheaply), the slots of each side are
// spread as the layout spreads them, and each edge is routed between its
// slots around the other boxes. The layout's later passes (repairs, better
// sides, separation) are left out, so the preview is close to the drawing,
// not equal to it. The node rectangles stand for the entities' bounding
// rectangles.

// Crossings between the previewed routes of different edges, plus
// throughWeight for each route that runs through a box not its own.
// Self-relations and edges with an index outside the list are left out.
int previewRouteCrossings(const LayoutNodes& nodes, const LayoutEdges& edges, int throughWeight = 2);
