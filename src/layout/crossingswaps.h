#pragma once

#include "layout/layoutnode.h"

// Swaps the places of two nodes of a placed component where that leaves
// fewer crossings between the likely routes of the edges, each counted as
// three axis-parallel pieces between the centres, and fewer routes through
// other boxes (or as many, with clearly shorter lines), as long as neither
// node then comes nearer than the gaps to any other and the component's
// bounding box does not grow longer than 1.9 : 1 (or than it was). With
// freePlaces, a node whose lines still cross may also move to a free place
// beside one of its neighbours (one with few edges) on the same terms.
// Sweeps until a sweep finds nothing or the sweep budget is spent;
// deterministic. Components larger than maxNodes are left as they are.
void reduceCrossingsBySwaps(LayoutNodes& nodes, const LayoutEdges& edges, double gapX, double gapY,
                            bool freePlaces = false, int maxNodes = 120);
