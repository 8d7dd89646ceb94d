#include "recognition/svgshapereader.h"

#include "interchange/inflatepayload.h"
#include "recognition/glyphrecognition.h"
#include "recognition/rasterrecognition.h"
#include "recognition/recognitiongeometry.h"
#include "recognition/svgpathdata.h"
#include "recognition/textentities.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace {

struct TextState
{
    QString buffer;
    double x = 0, y = 0;
    double fontSize = 12;
    bool inText = false;
};

} // namespace

QByteArray readSvgDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSvgDocumentBytes)
        return QByteArray();
    const QByteArray data = file.readAll();
    if (data.size() >= 2 && uchar(data.at(0)) == 0x1f && uchar(data.at(1)) == 0x8b) {
        // gzip or zlib framing, under the same cap as every other payload.
        QByteArray inflated;
        inflateDiagramPayload(data, inflated, 15 + 32);
        return inflated;
    }
    return data;
}

QTransform parseSvgTransform(const QString& value)
{
    QTransform result;
    if (value.isEmpty())
        return result;
    static const QRegularExpression function(QStringLiteral("(translate|scale|matrix|rotate)\\s*\\(([^)]*)\\)"));
    static const QRegularExpression separator(QStringLiteral("[,\\s]+"));
    QRegularExpressionMatchIterator it = function.globalMatch(value);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        QList<double> a;
        for (const QString& part : match.captured(2).split(separator, Qt::SkipEmptyParts))
            a.append(part.toDouble());
        QTransform t;
        if (name == QLatin1String("translate") && a.size() >= 1) {
            t.translate(a[0], a.value(1, 0.0));
        } else if (name == QLatin1String("scale") && a.size() >= 1) {
            t.scale(a[0], a.size() >= 2 ? a[1] : a[0]);
        } else if (name == QLatin1String("rotate") && a.size() >= 1) {
            if (a.size() >= 3) {
                t.translate(a[1], a[2]);
                t.rotate(a[0]);
                t.translate(-a[1], -a[2]);
            } else {
                t.rotate(a[0]);
            }
        } else if (name == QLatin1String("matrix") && a.size() >= 6) {
            t = QTransform(a[0], a[1], a[2], a[3], a[4], a[5]);
        }
        // Functions further right act first: in Qt's row-vector order the
        // later function's transform comes first in the product.
        result = t * result;
    }
    return result;
}

double readSvgNumberAttribute(const QXmlStreamReader& reader, const QString& name, double fallback)
{
    const QStringView value = reader.attributes().value(name);
    if (value.isEmpty())
        return fallback;
    return value.toString().toDouble();
}

QList<double> parseSvgNumberList(const QString& value)
{
    QList<double> numbers;
    const int n = value.size();
    int i = 0;
    while (i < n) {
        const QChar c = value.at(i);
        if (!(c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.'))) {
            ++i;
            continue;
        }
        const int start = i;
        if (c == QLatin1Char('+') || c == QLatin1Char('-'))
            ++i;
        bool point = false;
        while (i < n) {
            const QChar d = value.at(i);
            if (d.isDigit()) {
                ++i;
            } else if (d == QLatin1Char('.') && !point) {
                point = true;
                ++i;
            } else if ((d == QLatin1Char('e') || d == QLatin1Char('E'))) {
                ++i;
                if (i < n && (value.at(i) == QLatin1Char('+') || value.at(i) == QLatin1Char('-')))
                    ++i;
                while (i < n && value.at(i).isDigit())
                    ++i;
                break;
            } else {
                break;
            }
        }
        bool ok = false;
        const double number = value.mid(start, i - start).toDouble(&ok);
        if (ok) {
            numbers.append(number);
        } else {
            i = start + 1;
        }
    }
    return numbers;
}

void addRecognizedLink(QList<RecognizedLink>& links, QMap<QPair<int, int>, int>& index, int from, int to,
                       const QLineF& line)
{
    if (from < 0 || to < 0 || from == to)
        return;
    RecognizedLink record;
    record.from = from;
    record.to = to;
    record.line = line;
    record.hasLine = line.length() > 1.0;
    const QPair<int, int> key(std::min(from, to), std::max(from, to));
    const auto found = index.constFind(key);
    if (found == index.constEnd()) {
        index.insert(key, int(links.size()));
        links.append(record);
        return;
    }
    RecognizedLink& stored = links[found.value()];
    if (record.hasLine && (!stored.hasLine || stored.line.length() < record.line.length()))
        stored = record;
}

bool readSvgShapes(const QString& path, RecognizedDiagram& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return readSvgShapesFromData(readSvgDocument(path), out);
}

bool readSvgShapesFromData(const QByteArray& svg, RecognizedDiagram& out)
{
    out.arrowMarkers.clear();
    out.barMarkers.clear();
    QXmlStreamReader reader(svg);
    QList<QTransform> stack{QTransform()};
    TextState text;
    SvgShapeLists shapes;
    QList<QRectF> rowBands;
    QList<RecognizedText> runs;

    const auto emitRun = [&] {
        const QString t = cleanRecognizedText(text.buffer);
        if (t.isEmpty())
            return;
        const QPointF p = stack.last().map(QPointF(text.x, text.y));
        const double fs = text.fontSize;
        runs.append({QRectF(p.x(), p.y() - fs, std::max(t.size() * fs * 0.55, 8.0), fs * 1.2), t});
    };
    const auto number = [&](const char* name) {
        return readSvgNumberAttribute(reader, QString::fromLatin1(name), 0.0);
    };

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            QTransform t = stack.last();
            const QString transform = reader.attributes().value(QLatin1String("transform")).toString();
            if (!transform.isEmpty())
                t = parseSvgTransform(transform) * t;
            stack.append(t);
            const QStringView name = reader.name();
            if (name == QLatin1String("rect")) {
                const QRectF r = t.mapRect(QRectF(number("x"), number("y"), number("width"), number("height")))
                                     .normalized();
                const double w = r.width(), h = r.height();
                if (w >= 60 && h >= 36)
                    shapes.boxes.append(r);
                else if (w >= 50 && h >= 8 && h <= 22)
                    rowBands.append(r);
                else if (w >= 50 && h > 22 && h <= 32)
                    shapes.headerBands.append(r);
                else if (std::min(w, h) <= 2.5 && std::max(w, h) >= 5 && std::max(w, h) <= 18)
                    out.barMarkers.append(r);
            } else if (name == QLatin1String("line")) {
                shapes.segments.append(QLineF(t.map(QPointF(number("x1"), number("y1"))),
                                              t.map(QPointF(number("x2"), number("y2")))));
            } else if (name == QLatin1String("polyline") || name == QLatin1String("polygon")) {
                const QList<double> values =
                    parseSvgNumberList(reader.attributes().value(QLatin1String("points")).toString());
                QList<QPointF> points;
                for (int i = 0; i + 1 < values.size(); i += 2)
                    points.append(t.map(QPointF(values[i], values[i + 1])));
                const bool polygon = name == QLatin1String("polygon");
                if (polygon && isRectangleOutline(points)) {
                    const QRectF b = pointsBoundingRect(points);
                    if (b.width() >= 60 && b.height() >= 36)
                        shapes.boxes.append(b);
                } else if (points.size() >= 2) {
                    const QRectF b = pointsBoundingRect(points);
                    if (polygon && b.width() >= 4 && b.width() <= 20 && b.height() >= 4 && b.height() <= 20) {
                        out.arrowMarkers.append(b);
                    } else {
                        shapes.polylines.append(points);
                        for (int i = 1; i < points.size(); ++i)
                            shapes.segments.append(QLineF(points.at(i - 1), points.at(i)));
                    }
                }
            } else if (name == QLatin1String("path")) {
                // Only an explicit fill counts: a connector's "none" often
                // comes from a style sheet this reader does not apply.
                const QString fill = reader.attributes().value(QLatin1String("fill")).toString().trimmed();
                const bool filled = !fill.isEmpty() && fill != QLatin1String("none")
                    && fill != QLatin1String("transparent");
                parseSvgPathData(reader.attributes().value(QLatin1String("d")).toString(), t, shapes, filled);
            } else if (name == QLatin1String("text")) {
                text.buffer.clear();
                text.x = number("x");
                text.y = number("y");
                const QString size = reader.attributes().value(QLatin1String("font-size")).toString();
                text.fontSize = size.isEmpty() ? 12.0 : size.toDouble();
                text.inText = true;
            } else if (name == QLatin1String("tspan") && text.inText) {
                text.x = readSvgNumberAttribute(reader, QStringLiteral("x"), text.x);
                text.y = readSvgNumberAttribute(reader, QStringLiteral("y"), text.y);
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (text.inText)
                text.buffer.append(reader.text());
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView name = reader.name();
            if (name == QLatin1String("text") || (name == QLatin1String("tspan") && text.inText)) {
                emitRun();
                text.buffer.clear();
                if (name == QLatin1String("text"))
                    text.inText = false;
            }
            if (!stack.isEmpty())
                stack.removeLast();
            if (stack.isEmpty())  // more ends than starts: stay usable
                stack.append(QTransform());
        }
    }

    const QList<QRectF> boxes = mergeCandidateBoxes(shapes.boxes);
    if (boxes.isEmpty() && runs.isEmpty())
        return false;

    out.entities.clear();
    for (const QRectF& box : boxes) {
        const QRectF grown = box.adjusted(-3, -3, 3, 3);
        const auto inside = [&grown](const QRectF& band) {
            const QPointF c = band.center();
            return c.x() >= grown.left() && c.x() <= grown.right() && c.y() >= grown.top() && c.y() <= grown.bottom();
        };
        RecognizedEntity entity;
        entity.box = box;
        const QRectF* headerBand = nullptr;
        for (const QRectF& band : qAsConst(shapes.headerBands)) {
            if (inside(band) && (!headerBand || band.y() < headerBand->y()))
                headerBand = &band;
        }
        entity.header = headerBand
            ? QRectF(headerBand->x() + 4, headerBand->y() + 1, headerBand->width() - 8, headerBand->height() - 2)
            : QRectF(box.x() + 4, box.y() + 2, box.width() - 8, std::min(0.28 * box.height(), 18.0));
        QList<QRectF> matched;
        for (const QRectF& band : qAsConst(rowBands)) {
            if (inside(band))
                matched.append(band);
        }
        const double h = matched.isEmpty() ? 13.5 : matched.last().height();
        const double top = entity.header.y() + entity.header.height();
        double bottom;
        if (!matched.isEmpty()) {
            bottom = top;
            for (const QRectF& band : qAsConst(matched))
                bottom = std::max(bottom, band.y() + band.height());
            if ((box.y() + box.height()) - bottom > 0.3 * h)
                bottom += h;
        } else {
            bottom = box.y() + box.height() - 2;
        }
        if (h > 0) {
            for (double y = top; y + 0.45 * h < bottom + 0.5; y += h)
                entity.rows.append(QRectF(box.x() + 5, y, box.width() - 10, h));
        }
        out.entities.append(entity);
    }

    out.texts = runs;
    if (!runs.isEmpty()) {
        QList<RecognizedText> sorted = runs;
        buildEntitiesFromText(out.entities, sorted);
    }

    QList<RecognizedLink> links;
    QMap<QPair<int, int>, int> index;
    for (const QList<QPointF>& polyline : qAsConst(shapes.polylines)) {
        if (polyline.size() < 2)
            continue;
        const QRectF b = pointsBoundingRect(polyline);
        if (b.width() < 16 && b.height() < 16)
            continue;
        QList<QPair<int, QPointF>> chain;
        for (const QPointF& p : polyline) {
            const int i = nearestBoxIndex(boxes, p, 26);
            if (i >= 0 && (chain.isEmpty() || chain.last().first != i))
                chain.append({i, p});
        }
        for (int k = 0; k + 1 < chain.size(); ++k)
            addRecognizedLink(links, index, chain.at(k).first, chain.at(k + 1).first,
                              QLineF(chain.at(k).second, chain.at(k + 1).second));
    }
    for (const QLineF& segment : qAsConst(shapes.segments)) {
        if (segment.length() < 14)
            continue;
        addRecognizedLink(links, index, nearestBoxIndex(boxes, segment.p1(), 26),
                          nearestBoxIndex(boxes, segment.p2(), 26), segment);
    }
    out.links = links;
    return !out.entities.isEmpty() || !runs.isEmpty();
}
