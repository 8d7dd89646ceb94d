#pragma once

#include "canvasfixture.h"
#include "common/contextmenus.h"
#include "common/testfiles.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QSvgGenerator>
#include <QWidget>

#include <cstdlib>

// Helpers shared by the text item and group frame tests.
namespace annotationtest {

// The "annotations" array of the golden annotation file.
inline QJsonArray goldenAnnotations()
{
    return testDataJson(QStringLiteral("annotations/golden_annotations.json"))
        .object()
        .value(QStringLiteral("annotations"))
        .toArray();
}

// Reads every golden annotation object of that kind into a fresh item from
// makeItem on a scene and checks that the item writes the object back as it
// was, and so does a second fresh item that reads the first one's writing.
// *checked counts the objects.
template <typename MakeItem>
void checkGoldenRoundTrips(const QString& kind, MakeItem makeItem, int* checked)
{
    const QJsonArray golden = goldenAnnotations();
    for (const QJsonValue& value : golden) {
        const QJsonObject obj = value.toObject();
        if (obj.value(QStringLiteral("kind")).toString() != kind)
            continue;
        ERScene scene;
        auto* item = makeItem();
        scene.addItem(item);
        item->fromJson(obj);
        QCOMPARE(item->toJson(), obj);

        // And once more through a fresh item.
        auto* again = makeItem();
        scene.addItem(again);
        again->fromJson(item->toJson());
        QCOMPARE(again->toJson(), obj);
        ++*checked;
    }
}

// The point of resize handle 1 to 8 of r, numbered as resizeHandleAt numbers
// them.
inline QPointF handlePoint(const QRectF& r, int handle)
{
    switch (handle) {
    case 1: return r.topLeft();
    case 2: return QPointF(r.center().x(), r.top());
    case 3: return r.topRight();
    case 4: return QPointF(r.left(), r.center().y());
    case 5: return QPointF(r.right(), r.center().y());
    case 6: return r.bottomLeft();
    case 7: return QPointF(r.center().x(), r.bottom());
    default: return r.bottomRight();
    }
}

// A right click's context menu request at a viewport position.
inline void requestContextMenu(Canvas& c, QPoint pos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, c.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(c.viewport(), &event);
}

// The item painted on white, as on screen (a widget is given) or as for an
// export (no widget). Item point (x, y) lands on pixel (x + 10, y + 10).
inline QImage renderItem(QGraphicsItem* item, bool selected, bool onScreen)
{
    const QRectF bounds = item->boundingRect();
    QImage image(qCeil(bounds.right()) + 20, qCeil(bounds.bottom()) + 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(10, 10);
    QStyleOptionGraphicsItem option;
    option.exposedRect = bounds;
    if (selected)
        option.state |= QStyle::State_Selected;
    QWidget widget;
    item->paint(&painter, &option, onScreen ? &widget : nullptr);
    painter.end();
    return image;
}

// The part source of the scene as an SVG document of size, as an export
// writes it.
inline QByteArray renderSvg(QGraphicsScene& scene, QSize size, const QRectF& source)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRectF(QPointF(0, 0), size));
    QPainter painter(&generator);
    scene.render(&painter, QRectF(QPointF(0, 0), size), source);
    painter.end();
    return buffer.data();
}

// How many pixels of the image have the colour: each channel (alpha
// included) within tolerance of it, and nearer to it than to the
// background the item was painted on. Antialiased text has few pixels of
// exactly its colour; a tolerance of 128 counts the pixels that are mostly
// ink, whatever the glyphs' edges look like.
inline int countPixels(const QImage& image, const QColor& colour, int tolerance = 0,
                       const QColor& background = QColor(Qt::white))
{
    const QRgb wanted = colour.rgba();
    const QRgb ground = background.rgba();
    const auto distance = [](QRgb a, QRgb b) {
        const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b), bl = qBlue(a) - qBlue(b),
                  al = qAlpha(a) - qAlpha(b);
        return r * r + g * g + bl * bl + al * al;
    };
    const auto near = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (near(qRed(p), qRed(wanted)) && near(qGreen(p), qGreen(wanted)) && near(qBlue(p), qBlue(wanted))
                && near(qAlpha(p), qAlpha(wanted)) && (p == wanted || distance(p, wanted) < distance(p, ground)))
                ++n;
        }
    }
    return n;
}

} // namespace annotationtest
