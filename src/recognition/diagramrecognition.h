#pragma once

// Recognition of an entity-relationship diagram in a picture: a raster
// image (PNG, JPEG, BMP, ...) or an SVG drawing (plain or compressed).

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "recognition/glyphrecognition.h"
#include "recognition/recognizeddiagram.h"

// Pictures larger than this when decoded are not read.
constexpr int MaxDecodedImageMiB = 256;
// Nor are image files larger than this: even stored uncompressed, a
// picture within the decoded limit stays below it.
constexpr qint64 MaxImageFileBytes = qint64(MaxDecodedImageMiB) * 1024 * 1024;

// The sentence for a picture that is not read at all: a path that is no
// regular file (a pipe, a device), a file beyond its reader's limit
// (MaxSvgDocumentBytes for a drawing, MaxImageFileBytes for an image), or
// an image whose size, read from its header, passes MaxDecodedImageMiB
// once decoded. Nothing but the header is read; empty when the picture
// may be read.
QString recognitionRefusal(const QString& path);

// The picture at path at its own size. Null on failure, with the sentence
// of recognitionRefusal in error when the picture is not read at all, and
// "Could not load the image." otherwise.
QImage loadRecognitionImage(const QString& path, QString* error = nullptr);

// Entities, their text and the oriented links of the picture at path; an
// empty result with one sentence in error when nothing could be read.
RecognizedDiagram recognizeDiagram(const QString& path, QString* error = nullptr,
                                   const QStringList& families = defaultGlyphFamilies());

// Renderings of SVG drawings for reading their text keep within these.
constexpr double MaxSvgRenderSide = 7200;
constexpr double MaxSvgRenderPixels = 32e6;
// Drawings of more elements are not rendered: the renderer's own copy of
// them would outgrow the drawing many times over.
constexpr int MaxSvgRenderElements = 100000;

// The drawing rendered on white for reading its text: about 2400 pixels on
// the long side (scale 2 to 6), within the bounds above; viewBoxOut
// receives the user-unit rectangle the image shows. Nothing outside the
// drawing is opened. Null when the drawing cannot be read, holds more than
// MaxSvgRenderElements elements or the image is not allocated.
QImage renderSvgForRecognition(const QByteArray& svg, QRectF* viewBoxOut = nullptr);

// Untitled or noise titles become "table_<n>"; an entity without
// attributes gets "<title>_id" and is marked synthesised.
void completeRecognizedEntities(QList<RecognizedEntity>& entities);

// What a recognition read, and what it had to make up.
struct RecognitionCounts
{
    int tables = 0;
    int relationships = 0;
    int unreadTitles = 0;   // titles made up as "table_<n>"
    int unreadTypes = 0;    // attribute types left "undefined"
};
RecognitionCounts countRecognized(const RecognizedDiagram& diagram);

// "Recognised 12 tables and 9 relationships; 3 titles and 14 types could
// not be read.", without the second clause when nothing was made up.
QString recognitionStatusLine(const RecognitionCounts& counts);

// Why the recognised entities are no diagram (no box with readable text,
// or one box covering the whole picture without rows that give a type);
// empty when they are one. For completed entities
// (completeRecognizedEntities).
QString notADiagramReason(const RecognizedDiagram& diagram);

// Decides which end of each link is the Many end: by arrowheads, then by
// bars, then by attribute names, and reverses links accordingly.
void orientRecognizedLinks(RecognizedDiagram& diagram);

// The entities as diagram JSON (laid out at a common scale), with the
// links described under "_linkCount" and "_links"; no edges.
QJsonObject buildErJson(const RecognizedDiagram& diagram);
