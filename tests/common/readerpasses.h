#pragma once

// One pass of each file reader over an input, with the checks every input
// must pass: the fuzz targets run these on generated inputs, and the
// ordinary tests replay through them the inputs the fuzzers once found.
//
// A round trip reads the input, writes it, reads what was written and writes
// again. The first read may repair the input (fresh ids, bounded
// coordinates, re-anchored routes); what it wrote must then come back
// unchanged, so both written texts are equal.

#include "diagram/erscene.h"
#include "explorer/tablesync.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include <QByteArray>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

namespace readerpasses {

// The top-level object of a JSON document, as Open reads it; false when
// the bytes are no JSON document or its top level is no object.
inline bool parseObject(const QByteArray& bytes, QJsonObject* object)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *object = document.object();
    return true;
}

inline QByteArray text(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The two texts a round trip wrote; both empty when the input was not read.
struct RoundTrip
{
    QByteArray first;
    QByteArray second;
    bool read() const { return !first.isEmpty(); }
    bool stable() const { return first == second; }
};

// Reads a project file into a project as Open does, bringing every stored
// diagram's rows into step with its model; false for anything else.
inline bool readProject(const QJsonObject& root, ProjectItem& project)
{
    if (!project.loadDocumentJson(root))
        return false;
    for (ModelItem* model : project.models()) {
        for (DiagramItem* diagram : model->diagrams()) {
            QJsonObject data = diagram->data();
            if (!data.isEmpty() && TableSync::alignDiagram(data, model, &project) > 0)
                diagram->setData(data);
        }
    }
    return true;
}

inline RoundTrip projectRoundTrip(const QByteArray& bytes)
{
    RoundTrip trip;
    QJsonObject root;
    if (!parseObject(bytes, &root))
        return trip;
    ProjectItem first;
    if (!readProject(root, first))
        return trip;
    trip.first = text(first.toDocumentJson());
    ProjectItem second;
    readProject(first.toDocumentJson(), second);
    trip.second = text(second.toDocumentJson());
    return trip;
}

// Paints the whole scene, background grid included, into a small image, as
// a view does on its first repaint after Open, however far out the items lie.
inline void renderScene(ERScene& scene, int size = 64)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene.render(&painter, QRectF(0, 0, size, size), scene.itemsBoundingRect());
    painter.end();
}

// Reads a diagram document into the scene as Open does and paints it.
inline bool readDiagram(const QByteArray& bytes, ERScene& scene)
{
    QJsonObject root;
    if (!parseObject(bytes, &root))
        return false;
    scene.loadFromJson(root);
    renderScene(scene);
    return true;
}

inline RoundTrip diagramRoundTrip(const QByteArray& bytes, ERScene& scene)
{
    RoundTrip trip;
    if (!readDiagram(bytes, scene))
        return trip;
    trip.first = text(scene.toJson());
    scene.loadFromJson(scene.toJson());
    trip.second = text(scene.toJson());
    return trip;
}

} // namespace readerpasses
