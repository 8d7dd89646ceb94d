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
// Components of up to 120 nodes try their swaps one after another, in
// sweeps until a sweep finds nothing or the sweep budget is spent; larger
// ones in two rounds, each looking for the swaps that pay on several
// threads against the places at the round's start and then trying them one
// after another (freePlaces is not used there). Deterministic on any
// number of threads.
void reduceCrossingsBySwaps(LayoutNodes& nodes, const LayoutEdges& edges, double gapX, double gapY,
                            bool freePlaces = false);

// The crossings between the likely routes of the edges (three axis-parallel
// pieces between the centres, as the swaps count them), each pair counted
// twice, plus the weight of each route through another box: a cheap
// measure to compare placements of one component by.
int estimateLikelyCrossings(const LayoutNodes& nodes, const LayoutEdges& edges);
