#pragma once

#include "canvasfixture.h"
#include "common/contextmenus.h"
#include "common/testfiles.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWidget>

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

inline int countPixels(const QImage& image, const QColor& colour)
{
    int n = 0;
    const QRgb wanted = colour.rgba();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == wanted)
                ++n;
        }
    }
    return n;
}

} // namespace annotationtest
