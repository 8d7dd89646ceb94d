// fuzz-seeds: json
// fuzz-dictionary: readerkeys.dict
//
// Diagram document read, written, read and written again: both texts equal.

#include "fuzzharness.h"

#include "common/readerpasses.h"

void fuzzOneInput(const QByteArray& input)
{
    // One scene for the whole run, as the application has; like the
    // application it is never destroyed.
    static ERScene& scene = *new ERScene;
    const readerpasses::RoundTrip trip = readerpasses::diagramRoundTrip(input, scene);
    if (trip.read() && !trip.stable())
        fuzzFailure("diagram write -> read -> write changed the text", trip.first, trip.second);
}
