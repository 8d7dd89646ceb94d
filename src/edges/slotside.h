#pragma once

// The side of an entity that an attachment slot sits on. The values are
// stored in diagram files ("side" of a slot object), so they never change.
// Routing functions take sides as plain ints so that an unknown stored value
// can reach them and be handled (every such function says what it does then).
enum SlotSide : int {
    SlotLeft = 0,
    SlotRight = 1,
    SlotTop = 2,
    SlotBottom = 3,
};

// A pair of slot sides, one for each end of an edge.
struct SidePair
{
    int fromSide = SlotRight;
    int toSide = SlotLeft;

    friend bool operator==(const SidePair& a, const SidePair& b)
    {
        return a.fromSide == b.fromSide && a.toSide == b.toSide;
    }
    friend bool operator!=(const SidePair& a, const SidePair& b) { return !(a == b); }
};
