#pragma once

// Plain records filled and read by every stage of diagram recognition.
// Coordinates are drawing coordinates: pixels of the binarised image on the
// raster road, user units of the drawing on the SVG road.

#include <QLineF>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

struct RecognizedAttribute
{
    QString name;
    QString type;
};

struct RecognizedEntity
{
    QRectF box;              // the entity's rectangle
    QRectF header;           // title band (SVG road); null on the raster road
    QList<QRectF> rows;      // attribute row bands laid out below the header (SVG road)
    QString title;
    QList<RecognizedAttribute> attributes;
    // No attribute of its own: the edges that end on it create foreign-key rows.
    bool attributesSynthesized = false;
    // The title could not be read and was made up ("table_<n>").
    bool titleGuessed = false;
};

struct RecognizedLink
{
    int from = -1;           // entity index; the One end after orientation
    int to = -1;             // entity index; the Many end after orientation
    QLineF line;             // connector end points when traced
    bool hasLine = false;
};

struct RecognizedText
{
    QRectF rect;
    QString text;
};

struct RecognizedDiagram
{
    QList<RecognizedEntity> entities;
    QList<RecognizedLink> links;
    QList<RecognizedText> texts;
    QList<QRectF> arrowMarkers;  // small arrowhead shapes (SVG road)
    QList<QRectF> barMarkers;    // short bar shapes (SVG road)
    // The picture's size in the coordinates of the boxes; empty when not known.
    QSizeF extent;
};
