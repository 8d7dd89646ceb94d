#include "recognition/diagramrecognition.h"

#include "interchange/importsummary.h"
#include "model/eventpump.h"
#include "model/filelimits.h"
#include "model/jsonfields.h"
#include "recognition/attributelines.h"
#include "recognition/rasterrecognition.h"
#include "recognition/recognitiongeometry.h"
#include "recognition/svgshapereader.h"
#include "recognition/textentities.h"

#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QPainter>
#include <QSvgRenderer>
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

// Fills the text that the drawing did not carry as text elements from the
// rendering, entity by entity.
void recognizeMissingSvgText(QList<RecognizedEntity>& entities, const QImage& rendering, const QRectF& viewBox,
                             const QStringList& families)
{
    const QImage binarised = thresholdImage(rendering);
    const double rx = double(binarised.width()) / rendering.width();
    const double ry = double(binarised.height()) / rendering.height();
    GlyphTemplateCache cache;
    cache.families = families;
    // A region more ink than paper (shapes drawn over one another, filled
    // bands) holds no line of text, and matching letters in it is slow.
    const auto mostlyInk = [&](const QRectF& region) {
        const QRect r = mapBoxToImageRect(region, rendering, viewBox, 0);
        const QRect b = QRect(int(r.left() * rx), int(r.top() * ry), int(r.width() * rx), int(r.height() * ry))
                            .intersected(binarised.rect());
        qint64 ink = 0;
        for (int y = b.top(); y <= b.bottom(); ++y) {
            const uchar* line = binarised.constScanLine(y);
            for (int x = b.left(); x <= b.right(); ++x)
                ink += line[x] == 0;
        }
        return ink * 2 > qint64(b.width()) * b.height();
    };
    const auto readRegion = [&](const QRectF& region) {
        return mostlyInk(region) ? QString() : recognizeRegionText(rendering, region, viewBox, cache);
    };
    for (RecognizedEntity& entity : entities) {
        if (entity.title.isEmpty()) {
            if (entity.header.width() != 0 || entity.header.height() != 0)
                entity.title = readRegion(entity.header);
            if (entity.title.isEmpty()) {
                // Inside the outline: the box's own sides read as one
                // wide smear of strokes, which is slow to match and
                // spells nothing.
                const QRectF band(entity.box.x() + 2, entity.box.y() + 2, entity.box.width() - 4,
                                  std::min(0.3 * entity.box.height(), 22.0) - 2);
                entity.title = readRegion(band);
            }
        }
        if (entity.attributes.isEmpty() && entity.rows.isEmpty() && !mostlyInk(entity.box)) {
            const QRect r = mapBoxToImageRect(entity.box, rendering, viewBox, 3);
            const QRectF rb(r.left() * rx, r.top() * ry, r.width() * rx, r.height() * ry);
            QList<RecognizedText> runs = recognizeBoxesText({rb}, binarised, families);
            QList<RecognizedEntity> single{entity};
            single[0].box = rb;
            buildEntitiesFromText(single, runs);
            if (entity.title.isEmpty())
                entity.title = single[0].title;
            entity.attributes = single[0].attributes;
            entity.attributesSynthesized = single[0].attributesSynthesized;
        } else if (entity.attributes.isEmpty()) {
            for (const QRectF& row : qAsConst(entity.rows)) {
                const QString text = readRegion(row);
                if (text.isEmpty())
                    continue;
                const QPair<QString, QString> split = splitAttributeLine(text);
                if (split.first.isEmpty())
                    continue;
                QString type = split.second;
                if (type.isEmpty())
                    type = isIdColumnName(split.first) ? QStringLiteral("uuid") : QStringLiteral("undefined");
                entity.attributes.append({split.first, type});
            }
        }
        entity.attributesSynthesized = entity.attributes.isEmpty();
        eventpump::step();
    }
}

} // namespace

namespace {

bool isSvgPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("svg") || suffix == QLatin1String("svgz");
}

// The sentence for an image whose header tells a size beyond the decoded
// limit; empty when the size is within it or not known up front.
QString decodedSizeRefusal(const QImageReader& reader)
{
    const QSize size = reader.size();
    if (!size.isValid())
        return QString();
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (bytes <= qint64(MaxDecodedImageMiB) * 1024 * 1024)
        return QString();
    return QStringLiteral("The image is too large to read: %1 x %2 pixels, %3 MB when decoded (at most %4 MB).")
        .arg(size.width())
        .arg(size.height())
        .arg((bytes + 1024 * 1024 - 1) / (1024 * 1024))
        .arg(MaxDecodedImageMiB);
}

} // namespace

QString recognitionRefusal(const QString& path)
{
    if (isSvgPath(path))
        return filelimits::fileRefusal(path, MaxSvgDocumentBytes);
    const QString refusal = filelimits::fileRefusal(path, MaxImageFileBytes);
    if (!refusal.isEmpty())
        return refusal;
    const QImageReader reader(path);
    return decodedSizeRefusal(reader);
}

QImage loadRecognitionImage(const QString& path, QString* error)
{
    // Never opened when it is a pipe or a device.
    const QString refusal = filelimits::fileRefusal(path, MaxImageFileBytes);
    if (!refusal.isEmpty()) {
        setError(error, refusal);
        return QImage();
    }
    QImageReader reader(path);
    const QString tooLarge = decodedSizeRefusal(reader);
    if (!tooLarge.isEmpty()) {
        setError(error, tooLarge);
        return QImage();
    }
    // Read whole: scaling while reading blurs thin box outlines away. The
    // reader's limit guards images whose size is not known up front.
    const int previousLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(MaxDecodedImageMiB);
    const QImage image = reader.read();
    QImageReader::setAllocationLimit(previousLimit);
    if (image.isNull())
        setError(error, couldNotLoad);
    return image;
}

QImage renderSvgForRecognition(const QByteArray& svg, QRectF* viewBoxOut)
{
    int elements = 0;
    const QByteArray kept = svgWithoutExternalReferences(svg, &elements);
    if (elements > MaxSvgRenderElements)
        return QImage();
    QSvgRenderer renderer(kept);
    if (!renderer.isValid())
        return QImage();
    QRectF viewBox = renderer.viewBoxF();
    QSizeF base = renderer.defaultSize();
    double scale;
    if (base.width() < 8 || base.height() < 8) {
        if (viewBox.width() > 0 && viewBox.height() > 0) {
            base = QSizeF(roundHalfAway(viewBox.width()), roundHalfAway(viewBox.height()));
            scale = 2400.0 / std::max(base.width(), base.height());
        } else {
            base = QSizeF(1000, 800);
            scale = 2.4;
        }
    } else {
        scale = 2400.0 / std::max(base.width(), base.height());
    }
    scale = std::clamp(scale, 2.0, 6.0);
    // Bounded: the long side at most MaxSvgRenderSide pixels and the area at
    // most MaxSvgRenderPixels, below the scale of 2 when the drawing is huge.
    const double bounded = std::min({scale, MaxSvgRenderSide / std::max({base.width(), base.height(), 1.0}),
                                     std::sqrt(MaxSvgRenderPixels / std::max(base.width() * base.height(), 1.0))});
    const auto pixels = [&](double length) {
        return std::max(1, bounded < scale ? static_cast<int>(length * bounded) : roundHalfAway(length * scale));
    };
    const int width = pixels(base.width());
    const int height = pixels(base.height());
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return QImage();  // the allocation failed
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter);
    }
    if (viewBox.width() < 1 || viewBox.height() <= 0)
        viewBox = QRectF(0, 0, base.width(), base.height());
    if (viewBoxOut)
        *viewBoxOut = viewBox;
    return image;
}

void completeRecognizedEntities(QList<RecognizedEntity>& entities)
{
    for (int i = 0; i < entities.size(); ++i) {
        RecognizedEntity& entity = entities[i];
        entity.titleGuessed = entity.title.trimmed().isEmpty() || looksLikeLetterNoise(entity.title);
        if (entity.titleGuessed)
            entity.title = QStringLiteral("table_%1").arg(i + 1);
        if (entity.attributes.isEmpty()) {
            entity.attributes.append({QStringLiteral("%1_id").arg(entity.title), QStringLiteral("uuid")});
            entity.attributesSynthesized = true;
        } else {
            entity.attributesSynthesized = false;
        }
    }
}

RecognitionCounts countRecognized(const RecognizedDiagram& diagram)
{
    RecognitionCounts counts;
    counts.tables = int(diagram.entities.size());
    counts.relationships = int(diagram.links.size());
    for (const RecognizedEntity& entity : diagram.entities) {
        counts.unreadTitles += entity.titleGuessed;
        if (entity.attributesSynthesized)
            continue;
        for (const RecognizedAttribute& attribute : entity.attributes)
            counts.unreadTypes += attribute.type == QLatin1String("undefined");
    }
    return counts;
}

QString recognitionStatusLine(const RecognitionCounts& counts)
{
    QString line = QStringLiteral("Recognised %1 and %2")
                       .arg(countedNoun(counts.tables, "table", "tables"),
                            countedNoun(counts.relationships, "relationship", "relationships"));
    QStringList unread;
    if (counts.unreadTitles > 0)
        unread.append(countedNoun(counts.unreadTitles, "title", "titles"));
    if (counts.unreadTypes > 0)
        unread.append(countedNoun(counts.unreadTypes, "type", "types"));
    if (!unread.isEmpty())
        line += QStringLiteral("; %1 could not be read").arg(unread.join(QLatin1String(" and ")));
    return line + QLatin1Char('.');
}

QString notADiagramReason(const RecognizedDiagram& diagram)
{
    const QList<RecognizedEntity>& entities = diagram.entities;
    const bool anyText = std::any_of(entities.cbegin(), entities.cend(), [](const RecognizedEntity& e) {
        return !e.titleGuessed || !e.attributesSynthesized;
    });
    if (!entities.isEmpty() && !anyText)
        return QStringLiteral("No box with readable text was found, so the picture does not look like a diagram.");
    // A frame round the whole picture, unless it holds rows with types:
    // a picture of one table cut close.
    const QSizeF extent = diagram.extent;
    if (entities.size() == 1 && !extent.isEmpty()) {
        const RecognizedEntity& only = entities.first();
        const bool typedRows = !only.attributesSynthesized
            && std::any_of(only.attributes.cbegin(), only.attributes.cend(), [](const RecognizedAttribute& a) {
                   return a.type != QLatin1String("undefined");
               });
        if (!typedRows && only.box.width() >= 0.9 * extent.width() && only.box.height() >= 0.9 * extent.height())
            return QStringLiteral("The only box found covers the whole picture, so it does not look like a diagram.");
    }
    return QString();
}

void orientRecognizedLinks(RecognizedDiagram& diagram)
{
    QList<RecognizedLink>& links = diagram.links;
    if (links.isEmpty() || diagram.entities.isEmpty())
        return;
    QList<int> manyEnd(links.size(), -1);
    QList<double> markerDistance(links.size(), std::numeric_limits<double>::max());

    // The line end nearest to c closer than best (which it lowers to that
    // distance) among the links that skip does not pass over: the link in
    // link, 0 or 1 in end; link stays -1 when there is none.
    const auto nearestLineEnd = [&links](const QPointF& c, double& best, int& link, int& end, auto skip) {
        link = -1;
        end = -1;
        for (int i = 0; i < links.size(); ++i) {
            if (!links.at(i).hasLine || skip(i))
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
    };

    for (const QRectF& marker : qAsConst(diagram.arrowMarkers)) {
        double best = 28.0;
        int link = -1, end = -1;
        nearestLineEnd(marker.center(), best, link, end, [](int) { return false; });
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
            nearestLineEnd(c, best, link, end, [&manyEnd](int i) { return manyEnd.at(i) != -1; });
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

    QJsonObject document = jsonfields::diagramDocument(entityArray, QJsonArray());
    document.insert(QStringLiteral("_linkCount"), diagram.links.size());
    document.insert(QStringLiteral("_links"), links);
    return document;
}

RecognizedDiagram recognizeDiagram(const QString& path, QString* error, const QStringList& families)
{
    RecognizedDiagram result;
    if (isSvgPath(path)) {
        const QString refusal = filelimits::fileRefusal(path, MaxSvgDocumentBytes);
        if (!refusal.isEmpty()) {
            setError(error, refusal);
            return result;
        }
        const QByteArray svg = readSvgDocument(path);
        RecognizedDiagram drawn;
        const bool read = !svg.isEmpty() && readSvgShapesFromData(svg, drawn);
        QRectF viewBox;
        // The rendering is made only when text has to be read from it.
        const bool textMissing = std::any_of(drawn.entities.cbegin(), drawn.entities.cend(), [](const RecognizedEntity& e) {
            return e.title.isEmpty() || e.attributes.isEmpty();
        });
        const bool needRendering = !svg.isEmpty() && (!read || drawn.entities.isEmpty() || textMissing);
        const QImage rendering = needRendering ? renderSvgForRecognition(svg, &viewBox) : QImage();
        if (read && !drawn.entities.isEmpty()) {
            result = drawn;
            if (!rendering.isNull())
                recognizeMissingSvgText(result.entities, rendering, viewBox, families);
        } else if (QString refusal; rendering.isNull() || !recognizeRasterDiagram(rendering, result, families, &refusal)) {
            setError(error, refusal.isEmpty() ? QStringLiteral("Could not read shapes from the SVG.") : refusal);
            return RecognizedDiagram();
        } else {
            const QSize worked = rendering.size();
            result.extent = std::max(worked.width(), worked.height()) > RasterProcessingSide
                ? QSizeF(worked.scaled(RasterProcessingSide, RasterProcessingSide, Qt::KeepAspectRatio))
                : QSizeF(worked);
        }
        completeRecognizedEntities(result.entities);
        orientRecognizedLinks(result);
        return result;
    }
    const QImage image = loadRecognitionImage(path, error);
    if (image.isNull())
        return result;
    QString refusal;
    if (!recognizeRasterDiagram(image, result, families, &refusal)) {
        setError(error, refusal.isEmpty() ? QStringLiteral("No rectangular entities were found in the image.") : refusal);
        return RecognizedDiagram();
    }
    // The boxes stand in the picture as it is worked on.
    const QSize worked = image.size();
    result.extent = std::max(worked.width(), worked.height()) > RasterProcessingSide
        ? QSizeF(worked.scaled(RasterProcessingSide, RasterProcessingSide, Qt::KeepAspectRatio))
        : QSizeF(worked);
    completeRecognizedEntities(result.entities);
    orientRecognizedLinks(result);
    return result;
}
