#include "recognition/textentities.h"

#include "recognition/attributelines.h"
#include "recognition/glyphrecognition.h"
#include "recognition/recognitiongeometry.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

double centreY(const QRectF& r)
{
    return r.y() + r.height() / 2;
}

// The boxes near each point, found through a grid of cells about twice the
// typical box: every box is listed in the cells its rectangle grown by reach
// covers, so a point within reach of a box finds it in its own cell. Boxes
// covering too many cells are listed apart and always looked at.
class BoxGrid
{
public:
    BoxGrid(const QList<QRectF>& boxes, double reach)
    {
        QList<double> sides;
        for (const QRectF& box : boxes)
            sides.append(std::max(box.width(), box.height()));
        if (!sides.isEmpty()) {
            std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
            m_cell = std::max(2 * (sides.at(sides.size() / 2) + reach), 1.0);
        }
        for (int i = 0; i < boxes.size(); ++i) {
            const QRectF r = boxes.at(i).adjusted(-reach, -reach, reach, reach);
            const qint64 x0 = key(r.left()), x1 = key(r.right()), y0 = key(r.top()), y1 = key(r.bottom());
            if (!std::isfinite(r.width() + r.height() + r.x() + r.y()) || double(x1 - x0 + 1) * double(y1 - y0 + 1) > 64) {
                m_everywhere.append(i);
                continue;
            }
            for (qint64 x = x0; x <= x1; ++x) {
                for (qint64 y = y0; y <= y1; ++y)
                    m_cells[{x, y}].append(i);
            }
        }
    }

    // Indexes, ascending, of the boxes that may lie within reach of p.
    QList<int> near(QPointF p) const
    {
        QList<int> found = m_everywhere;
        if (std::isfinite(p.x()) && std::isfinite(p.y()))
            found += m_cells.value({key(p.x()), key(p.y())});
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    qint64 key(double v) const { return qint64(std::floor(std::clamp(v / m_cell, -1e15, 1e15))); }

    double m_cell = 1.0;
    QHash<QPair<qint64, qint64>, QList<int>> m_cells;
    QList<int> m_everywhere;
};

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

    // A run goes to a box holding it (grown by 4) or nearer than 18.
    const BoxGrid grid(boxes, 18);
    QList<QList<const RecognizedText*>> buckets(entities.size());
    for (const RecognizedText& run : qAsConst(texts)) {
        if (run.text.trimmed().isEmpty())
            continue;
        const QPointF c = run.rect.center();
        int owner = -1;
        double ownerArea = 0;
        QList<QRectF> near;
        const QList<int> nearIndexes = grid.near(c);
        for (int i : nearIndexes) {
            const QRectF& box = boxes.at(i);
            near.append(box);
            const QRectF grown = box.adjusted(-4, -4, 4, 4);
            const bool inside = c.x() >= grown.left() && c.x() <= grown.right() && c.y() >= grown.top()
                && c.y() <= grown.bottom();
            const double area = box.width() * box.height();
            if (inside && (owner < 0 || area < ownerArea)) {
                owner = i;
                ownerArea = area;
            }
        }
        if (owner < 0) {
            const int nearest = nearestBoxIndex(near, c, 18);
            owner = nearest < 0 ? -1 : nearIndexes.at(nearest);
        }
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

        entity.title = withoutTableKind(rows.value(0));
        if (rows.size() == 1) {
            entity.attributesSynthesized = true;
            continue;
        }
        // In a table whose rows mostly give a type, a row of one word
        // holding a known type at its end lost the space before it.
        QList<QString> settled;
        int typed = 0;
        for (int r = 1; r < rows.size(); ++r) {
            // Counts under a table (rows, parent and child tables) are no column.
            if (isRowCountFooter(rows.at(r)))
                continue;
            settled.append(settleRecognizedRow(rows.at(r)));
            typed += !splitAttributeLine(settled.last()).second.isEmpty();
        }
        for (QString& row : settled) {
            if (typed * 2 < settled.size() || row.contains(QLatin1Char(' ')))
                continue;
            const QString split = splitGluedColumnType(row);
            if (!split.isEmpty())
                row = split;
        }
        for (const QString& row : qAsConst(settled)) {
            const QPair<QString, QString> split = splitAttributeLine(row);
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
