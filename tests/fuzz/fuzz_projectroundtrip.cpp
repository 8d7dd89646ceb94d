// fuzz-seeds: json
// fuzz-dictionary: readerkeys.dict
//
// Project file read, written, read and written again: both texts equal.

#include "fuzzharness.h"

#include "common/readerpasses.h"

void fuzzOneInput(const QByteArray& input)
{
    const readerpasses::RoundTrip trip = readerpasses::projectRoundTrip(input);
    if (trip.read() && !trip.stable())
        fuzzFailure("project write -> read -> write changed the text", trip.first, trip.second);
}
