#include "recognition/textentities.h"

#include "recognition/attributelines.h"
#include "recognition/glyphrecognition.h"
#include "recognition/recognitiongeometry.h"

#include <algorithm>
#include <cmath>

namespace {

double centreY(const QRectF& r)
{
    return r.y() + r.height() / 2;
}

} // namespace

void buildEntitiesFromText(QList<RecognizedEntity>& entities, QList<RecognizedText>& texts)
{
    std::stable_sort(texts.begin(), texts.end(), [](const RecognizedText& a, const RecognizedText& b) {
        const double ya = centreY(a.rect), yb = centreY(b.rect);
        if (std::abs(ya - yb) > 4.0)
            return ya < yb;
        return a.rect.x() < b.rect.x();
    });

    QList<QRectF> boxes;
    boxes.reserve(entities.size());
    for (const RecognizedEntity& entity : qAsConst(entities))
        boxes.append(entity.box);

    QList<QList<const RecognizedText*>> buckets(entities.size());
    for (const RecognizedText& run : qAsConst(texts)) {
        if (run.text.trimmed().isEmpty())
            continue;
        const QPointF c = run.rect.center();
        int owner = -1;
        double ownerArea = 0;
        for (int i = 0; i < boxes.size(); ++i) {
            const QRectF& box = boxes.at(i);
            const QRectF grown = box.adjusted(-4, -4, 4, 4);
            const bool inside = c.x() >= grown.left() && c.x() <= grown.right() && c.y() >= grown.top()
                && c.y() <= grown.bottom();
            const double area = box.width() * box.height();
            if (inside && (owner < 0 || area < ownerArea)) {
                owner = i;
                ownerArea = area;
            }
        }
        if (owner < 0)
            owner = nearestBoxIndex(boxes, c, 18);
        if (owner >= 0)
            buckets[owner].append(&run);
    }

    for (int e = 0; e < entities.size(); ++e) {
        RecognizedEntity& entity = entities[e];
        const QList<const RecognizedText*>& bucket = buckets.at(e);
        if (bucket.isEmpty()) {
            entity.attributesSynthesized = true;
            continue;
        }
        QStringList rows;
        QString current;
        double previousY = 0;
        double previousRight = 0;
        for (int k = 0; k < bucket.size(); ++k) {
            const RecognizedText* run = bucket.at(k);
            const double y = centreY(run->rect);
            if (k > 0 && !current.isEmpty()
                && std::abs(y - previousY) > std::max(0.55 * run->rect.height(), 7.0)) {
                rows.append(cleanRecognizedText(current));
                current.clear();
            }
            // Runs far apart on one row are the cells of a table.
            if (!current.isEmpty())
                current.append(run->rect.left() - previousRight > 1.5 * std::max(run->rect.height(), 8.0)
                                   ? QLatin1String(" | ") : QLatin1String(" "));
            current.append(run->text.trimmed());
            previousY = y;
            previousRight = run->rect.right();
        }
        if (!current.isEmpty())
            rows.append(cleanRecognizedText(current));

        entity.title = rows.value(0);
        if (rows.size() == 1) {
            entity.attributesSynthesized = true;
            continue;
        }
        for (int r = 1; r < rows.size(); ++r) {
            const QPair<QString, QString> split = splitAttributeLine(settleRecognizedRow(rows.at(r)));
            if (split.first.isEmpty())
                continue;
            QString type = split.second;
            if (type.isEmpty())
                type = isIdColumnName(split.first) ? QStringLiteral("uuid") : QStringLiteral("undefined");
            entity.attributes.append({split.first, type});
        }
        entity.attributesSynthesized = entity.attributes.isEmpty();
    }
}
