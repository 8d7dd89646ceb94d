#pragma once

// The property every input of the draw.io reader keeps: what the reader
// makes of it, written as draw.io and read again, gives the same tables
// (titles, kinds, rows with their types and keys) and relationships (ends,
// cardinalities, labels). Positions are left out: the file keeps one
// decimal. The ordinary tests check it on real files; the fuzz target on
// generated ones.

#include "interchange/drawioreader.h"
#include "interchange/drawiowriter.h"

#include "drawiosummary.h"

#include <QByteArray>
#include <QStringList>

struct DrawioRoundTrip
{
    QStringList first;  // the summary of what the input gave
    QStringList second; // the same after writing and reading again
    bool read() const { return !first.isEmpty(); }
    bool stable() const { return first == second; }
};

inline DrawioRoundTrip drawioRoundTrip(const QByteArray& input)
{
    DrawioRoundTrip trip;
    const QJsonObject diagram = parseDrawioBytes(input, nullptr);
    if (diagram.isEmpty())
        return trip;
    trip.first = summarizeDiagram(diagram, false);
    trip.second = summarizeDiagram(parseDrawioBytes(sceneJsonToDrawio(diagram).toUtf8(), nullptr), false);
    return trip;
}
