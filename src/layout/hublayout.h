#pragma once

#include "layout/layoutnode.h"

#include <QHash>

// The hub layout of a component with dominant nodes: the hubs stand in one
// horizontal row, and the other nodes form satellite groups, each stacked
// in a column to the left or right of the hub it is tied to. Inside a group
// the nodes stand in vertical layers by their hop distance from the nodes
// that touch the hub, the layer next to the hub first.

// How the satellite groups find their sides and their order in a column.
// By default each group goes to the lower side of its hub, tallest groups
// first. The other styles place the component once that way and then once
// more, taking into account where the lines of each group that lead beyond
// its hub go.
struct HubLayoutStyle
{
    // A group goes to the side of its hub its outside lines lead to, unless
    // that side would then stand taller than the other by more than
    // sideSlack times the group's height.
    bool followLines = false;
    double sideSlack = 1.0;
    // The groups of a column stand in the order of the heights their
    // outside lines lead to.
    bool stackByLines = false;
    // The hubs stand in the order, found by trading places two at a time,
    // that keeps the lines of the component shortest rather than by
    // degree, and the columns are then rearranged (neighbours trading
    // places, groups moving to the other side of their hub) while that
    // shortens the lines further: worth its cost in large components,
    // whose groups are joined by many lines across their hubs.
    bool orderHubs = false;
    // Without orderHubs: the columns are rearranged (neighbours trading
    // places, groups moving to the other side of their hub) while that
    // leaves fewer crossings of the likely routes between the centres.
    bool columnsByCrossings = false;
};

// Places every node of the component. The adjacency and degrees are those
// of buildAdjacency; hubs is a non-empty list of valid node indices.
void layoutHubComponent(LayoutNodes& nodes, const LayoutAdjacency& adjacency, const LayoutEdges& edges,
                        const QList<int>& hubs, const HubLayoutStyle& style = {});

// Lays out one satellite group around the origin in layers growing towards
// negative x, starting from the roots (every node when roots is empty),
// each later layer ordered by the barycentre of its neighbours in the layer
// before.
void orderLayersByBarycentre(LayoutNodes& nodes, const LayoutEdges& edges, const QList<int>& roots);

// One compaction sweep along x (horizontal) or y: every node but the first
// slides to the smallest position that keeps the gap to the nodes before it
// in its band.
void compactAlongAxis(LayoutNodes& nodes, bool horizontal);

