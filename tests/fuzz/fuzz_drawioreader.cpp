// fuzz-seeds: xml drawio
// fuzz-dictionary: drawio.dict
//
// The draw.io reader: a file read as Import from draw.io reads it (plain,
// compressed or escaped pages), and what it gives written as draw.io and
// read again, which must give the same tables, rows and relationships.

#include "fuzzharness.h"

#include "interchange/drawioroundtrip.h"

void fuzzOneInput(const QByteArray& input)
{
    const DrawioRoundTrip trip = drawioRoundTrip(input);
    if (trip.read() && !trip.stable())
        fuzzFailure("draw.io read, written and read again", trip.first.join(QLatin1Char('\n')).toUtf8(),
                    trip.second.join(QLatin1Char('\n')).toUtf8());
}
