#pragma once

// Reading an SVG drawing of an ER diagram from its elements alone: entity
// boxes with header bands and attribute rows, text runs, connectors and
// the small arrowhead and bar shapes at connector ends. Nothing is
// rendered here.

#include <QByteArray>
#include <QLineF>
#include <QMap>
#include <QPair>
#include <QString>
#include <QTransform>

#include "interchange/inflatepayload.h"
#include "recognition/recognizeddiagram.h"

class QXmlStreamReader;

// Drawings (plain or inflated) larger than this are not read.
constexpr qint64 MaxSvgDocumentBytes = kMaxInflatedPayloadBytes;

// The SVG text of the file at path; a gzip-compressed drawing (SVGZ) is
// inflated, but never beyond MaxSvgDocumentBytes. Empty when the file
// cannot be read, is too large or does not inflate.
QByteArray readSvgDocument(const QString& path);

// The drawing rewritten without anything that refers outside it: elements
// linking to files or URLs (images, uses; data: URIs and references within
// the document stay), style sheet instructions and the document type.
// What follows a malformed part is dropped. Render only this. elements,
// when given, receives the number of elements kept.
QByteArray svgWithoutExternalReferences(const QByteArray& svg, int* elements = nullptr);

// Reads the text of a drawing (readSvgDocument) into out; false when it
// holds neither boxes nor text.
bool readSvgShapesFromData(const QByteArray& svg, RecognizedDiagram& out);

// An SVG transform list (translate, scale, rotate, matrix) as one transform.
QTransform parseSvgTransform(const QString& value);

// A number attribute of the current element; fallback when absent or empty,
// 0 when not a plain number.
double readSvgNumberAttribute(const QXmlStreamReader& reader, const QString& name, double fallback);

// Every number in the text, in order: "10,20 30,40", "1-2", "1.5.5", "2e3".
QList<double> parseSvgNumberList(const QString& value);

// Adds a link, or replaces the one of the same pair of entities by a longer
// traced line.
void addRecognizedLink(QList<RecognizedLink>& links, QMap<QPair<int, int>, int>& index, int from, int to,
                       const QLineF& line);
