#pragma once

#include "edges/edgeitem.h"

#include <QList>

// Routes still on one line with another after the separation and the
// nudge, mostly long ones that share a corridor with others, look for a way
// that runs along no line another route takes, by the grid search with
// those lines made dear; where the way found still runs on one line with
// another route, the search goes again with room beside those lines too,
// twice at the most. A new route is kept only when it lies on no line with
// another (those given new ways before it included), runs through no entity,
// is at most half as long again (plus 240) and, all new routes together,
// crosses the others no more often than the old ones did. The searches run
// on several threads; what is kept is decided in edge order, so the result
// is that of a plain loop.
void rerouteOffTakenLines(const QList<EdgeItem*>& edges, const EdgeItem::EntityRectLookup& lookup);
