// fuzz-seeds: svg svgz
//
// The SVG drawing reader: the drawing's elements read into recognition
// records (transforms, number lists, path data, text runs, links), and,
// for a drawing that inflates, the inflation under its cap. Every link
// must name two distinct entities of the result.

#include "fuzzharness.h"

#include "recognition/svgshapereader.h"

#include <QTemporaryFile>

void fuzzOneInput(const QByteArray& input)
{
    RecognizedDiagram out;
    readSvgShapesFromData(input, out);
    for (const RecognizedLink& link : out.links) {
        if (link.from < 0 || link.to < 0 || link.from == link.to || link.from >= out.entities.size()
            || link.to >= out.entities.size())
            fuzzFailure("links name two entities of the result", "indexes in range",
                        QStringLiteral("%1 to %2 of %3").arg(link.from).arg(link.to).arg(out.entities.size()).toUtf8());
    }
    // Compressed input goes through the capped inflation first.
    if (input.size() >= 2 && uchar(input.at(0)) == 0x1f && uchar(input.at(1)) == 0x8b) {
        static QTemporaryFile file;
        if (!file.isOpen() && !file.open())
            return;
        file.resize(0);
        file.seek(0);
        file.write(input);
        file.flush();
        const QByteArray inflated = readSvgDocument(file.fileName());
        if (inflated.size() > MaxSvgDocumentBytes)
            fuzzFailure("inflation keeps under its cap", QByteArray::number(MaxSvgDocumentBytes),
                        QByteArray::number(inflated.size()));
        RecognizedDiagram again;
        readSvgShapesFromData(inflated, again);
    }
}
