#include "recognition/diagramrecognition.h"

#include "recognition/attributelines.h"
#include "recognition/rasterrecognition.h"
#include "recognition/recognitiongeometry.h"

#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString couldNotLoad = QStringLiteral("Could not load the image.");

void setError(QString* error, const QString& message)
{
    if (error && error->isEmpty())
        *error = message;
}

double centreDistance(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

} // namespace

QImage loadRecognitionImage(const QString& path, QString* error)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > RasterProcessingSide || size.height() > RasterProcessingSide)) {
        QSize scaled = size.scaled(RasterProcessingSide, RasterProcessingSide, Qt::KeepAspectRatio);
        scaled = scaled.expandedTo(QSize(1, 1));
        reader.setScaledSize(scaled);
    }
    const QImage image = reader.read();
    if (image.isNull())
        setError(error, couldNotLoad);
    return image;
}

void completeRecognizedEntities(QList<RecognizedEntity>& entities)
{
    for (int i = 0; i < entities.size(); ++i) {
        RecognizedEntity& entity = entities[i];
        if (entity.title.trimmed().isEmpty() || looksLikeLetterNoise(entity.title))
            entity.title = QStringLiteral("table_%1").arg(i + 1);
        if (entity.attributes.isEmpty()) {
            entity.attributes.append({QStringLiteral("%1_id").arg(entity.title), QStringLiteral("uuid")});
            entity.attributesSynthesized = true;
        } else {
            entity.attributesSynthesized = false;
        }
    }
}

void orientRecognizedLinks(RecognizedDiagram& diagram)
{
    QList<RecognizedLink>& links = diagram.links;
    if (links.isEmpty() || diagram.entities.isEmpty())
        return;
    QList<int> manyEnd(links.size(), -1);
    QList<double> markerDistance(links.size(), std::numeric_limits<double>::max());

    for (const QRectF& marker : qAsConst(diagram.arrowMarkers)) {
        const QPointF c = marker.center();
        double best = 28.0;
        int link = -1, end = -1;
        for (int i = 0; i < links.size(); ++i) {
            if (!links.at(i).hasLine)
                continue;
            const double d0 = centreDistance(c, links.at(i).line.p1());
            const double d1 = centreDistance(c, links.at(i).line.p2());
            if (d0 < best) {
                best = d0;
                link = i;
                end = 0;
            }
            if (d1 < best) {
                best = d1;
                link = i;
                end = 1;
            }
        }
        if (link < 0)
            continue;
        if (markerDistance.at(link) > best + 0.5) {
            markerDistance[link] = best;
            manyEnd[link] = end;
        }
    }

    if (manyEnd.contains(-1)) {
        for (const QRectF& bar : qAsConst(diagram.barMarkers)) {
            const QPointF c = bar.center();
            const bool nearArrow = std::any_of(diagram.arrowMarkers.cbegin(), diagram.arrowMarkers.cend(),
                                               [&](const QRectF& arrow) { return centreDistance(arrow.center(), c) <= 14; });
            if (nearArrow)
                continue;
            double best = 22.0;
            int link = -1, end = -1;
            for (int i = 0; i < links.size(); ++i) {
                if (manyEnd.at(i) != -1 || !links.at(i).hasLine)
                    continue;
                const double d0 = centreDistance(c, links.at(i).line.p1());
                const double d1 = centreDistance(c, links.at(i).line.p2());
                if (d0 < best) {
                    best = d0;
                    link = i;
                    end = 0;
                }
                if (d1 < best) {
                    best = d1;
                    link = i;
                    end = 1;
                }
            }
            if (link >= 0)
                manyEnd[link] = 1 - end;
        }
    }

    const int count = diagram.entities.size();
    for (int i = 0; i < links.size(); ++i) {
        RecognizedLink& link = links[i];
        bool reverse = false;
        if (manyEnd.at(i) == 0) {
            reverse = true;
        } else if (manyEnd.at(i) == -1) {
            const bool valid = link.from >= 0 && link.from < count && link.to >= 0 && link.to < count;
            const double s1 = valid ? bestForeignKeyScore(diagram.entities.at(link.from), diagram.entities.at(link.to)) : 0;
            const double s2 = valid ? bestForeignKeyScore(diagram.entities.at(link.to), diagram.entities.at(link.from)) : 0;
            if (s1 > s2 + 0.5)
                reverse = true;
            else if (s2 > s1 + 0.5)
                reverse = false;
            else
                reverse = !diagram.arrowMarkers.isEmpty();
        }
        if (reverse) {
            std::swap(link.from, link.to);
            link.line = QLineF(link.line.p2(), link.line.p1());
        }
    }
}

QJsonObject buildErJson(const RecognizedDiagram& diagram)
{
    const QList<RecognizedEntity>& entities = diagram.entities;
    double scale = 1.0;
    if (!entities.isEmpty()) {
        QList<double> widths;
        for (const RecognizedEntity& entity : entities)
            widths.append(entity.box.width());
        std::sort(widths.begin(), widths.end());
        const double median = widths.at(widths.size() / 2);
        scale = median > 40 ? std::clamp(180.0 / median, 0.35, 2.8) : 2.8;
    }
    double minX = 0, minY = 0;
    for (int i = 0; i < entities.size(); ++i) {
        minX = i == 0 ? entities.at(i).box.x() : std::min(minX, entities.at(i).box.x());
        minY = i == 0 ? entities.at(i).box.y() : std::min(minY, entities.at(i).box.y());
    }

    QJsonArray entityArray;
    for (const RecognizedEntity& entity : entities) {
        QJsonArray attributes;
        for (int a = 0; a < entity.attributes.size(); ++a) {
            const RecognizedAttribute& attribute = entity.attributes.at(a);
            attributes.append(QJsonObject{
                {QStringLiteral("name"), attribute.name},
                {QStringLiteral("type"), attribute.type},
                {QStringLiteral("isPrimaryKey"), a == 0 || isIdColumnName(attribute.name)},
                {QStringLiteral("isUniqueKey"), false},
                {QStringLiteral("isForeignKey"), false},
            });
        }
        entityArray.append(QJsonObject{
            {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
            {QStringLiteral("title"), entity.title},
            {QStringLiteral("x"), (entity.box.x() - minX) * scale + 40},
            {QStringLiteral("y"), (entity.box.y() - minY) * scale + 40},
            {QStringLiteral("attributes"), attributes},
        });
    }

    QJsonArray links;
    for (const RecognizedLink& link : diagram.links) {
        if (link.from < 0 || link.from >= entities.size() || link.to < 0 || link.to >= entities.size())
            continue;
        links.append(QJsonObject{
            {QStringLiteral("one"), entities.at(link.from).title},
            {QStringLiteral("many"), entities.at(link.to).title},
        });
    }

    return QJsonObject{
        {QStringLiteral("version"), QStringLiteral("1.0")},
        {QStringLiteral("type"), QStringLiteral("er-diagram")},
        {QStringLiteral("entities"), entityArray},
        {QStringLiteral("edges"), QJsonArray()},
        {QStringLiteral("_linkCount"), diagram.links.size()},
        {QStringLiteral("_links"), links},
    };
}

RecognizedDiagram recognizeDiagram(const QString& path, QString* error, const QStringList& families)
{
    RecognizedDiagram result;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("svg") || suffix == QLatin1String("svgz")) {
        setError(error, QStringLiteral("Could not read shapes from the SVG."));
        return result;
    }
    const QImage image = loadRecognitionImage(path, error);
    if (image.isNull())
        return result;
    if (!recognizeRasterDiagram(image, result, families)) {
        setError(error, QStringLiteral("No rectangular entities were found in the image."));
        return RecognizedDiagram();
    }
    completeRecognizedEntities(result.entities);
    orientRecognizedLinks(result);
    return result;
}
