#include "interchange/drawiocells.h"

#include "interchange/drawiocellrows.h"
#include "interchange/readerlimits.h"
#include "model/jsonfields.h"

#include <QJsonArray>
#include <QRectF>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

bool isDrawioLayer(const QString& id, const DrawioCellIndex& index)
{
    if (id == QLatin1String("0") || id == QLatin1String("1"))
        return true;
    const DrawioCell* cell = index.find(id);
    return cell && !cell->vertex && !cell->edge;
}

void addDrawioTableCandidate(QStringList& candidates, QSet<QString>& candidateSet, const DrawioCellIndex& index,
                             const QString& id)
{
    if (id.isEmpty() || candidateSet.contains(id) || !index.find(id) || isDrawioLayer(id, index))
        return;
    candidates.append(id);
    candidateSet.insert(id);
}

void addDrawioStyleKeys(DrawioAttribute& attribute, const DrawioCell& cell)
{
    bool ok = false;
    const int fontStyle = drawioStyleValue(cell.style, QStringLiteral("fontStyle")).toInt(&ok);
    if (ok) {
        attribute.primaryKey |= (fontStyle & 4) != 0;
        attribute.foreignKey |= (fontStyle & 2) != 0;
    }
    attribute.primaryKey |= cell.primaryKey;
    attribute.foreignKey |= cell.foreignKey;
    attribute.unique |= cell.unique;
}

void addDrawioRowAttribute(DrawioEntity& entity, const QString& text, const DrawioCell& cell, double order)
{
    const bool header = !entity.ownExport && text.compare(entity.title, Qt::CaseInsensitive) == 0;
    if (text.isEmpty() || header)
        return;
    DrawioAttribute attribute = parseRowText(text, order);
    addDrawioStyleKeys(attribute, cell);
    if (!attribute.name.isEmpty()
        && (entity.ownExport || attribute.name.compare(entity.title, Qt::CaseInsensitive) != 0))
        entity.attributes.append(attribute);
}

QString resolveDrawioEndpoint(const QString& endId, const DrawioCellIndex& index, const QSet<QString>& candidates)
{
    QSet<QString> visited;
    QString id = endId;
    while (!id.isEmpty() && !visited.contains(id)) {
        visited.insert(id);
        if (candidates.contains(id))
            return id;
        const DrawioCell* cell = index.find(id);
        if (!cell)
            break;
        id = cell->parent;
    }
    return QString();
}

QPointF drawioAbsolutePosition(const DrawioCell& cell, const DrawioCellIndex& index)
{
    QPointF position(cell.x, cell.y);
    QSet<QString> visited{cell.id};
    QString parent = cell.parent;
    while (!parent.isEmpty() && !visited.contains(parent) && !isDrawioLayer(parent, index)) {
        const DrawioCell* above = index.find(parent);
        if (!above)
            break;
        visited.insert(parent);
        position += QPointF(above->x, above->y);
        parent = above->parent;
    }
    return position;
}

namespace {

// What the candidate passes ask of a cell, worked out once per cell.
struct CellShape
{
    bool rowCell = false;  // a table row (isDrawioRowCell)
    bool excluded = false; // row shape, partial rectangle, relationship or edge label
    bool table = false;    // table shape, or marked as a table by our own writer
    bool view = false;     // marked as an entity view by our own writer
    bool own = false;      // written by our own writer (it marks every table with its kind)
};

std::vector<CellShape> shapesOf(const DrawioCellIndex& index)
{
    std::vector<CellShape> shapes;
    shapes.reserve(size_t(index.cells.size()));
    // The cells of a page share a few styles (every row of every table
    // alike), so each distinct style is read once.
    struct StyleShape
    {
        CellShape shape;
        bool partialRectangle = false;
    };
    QHash<QString, StyleShape> byStyle;
    for (const DrawioCell& cell : index.cells) {
        CellShape shape;
        if (!cell.edge) { // connectors are never tables or rows
            auto known = byStyle.constFind(cell.style);
            if (known == byStyle.constEnd()) {
                StyleShape fresh;
                const DrawioShapeFlags flags = drawioShapeFlags(cell.style);
                fresh.shape.rowCell = flags.row;
                fresh.partialRectangle = flags.partialRectangle;
                fresh.shape.excluded = flags.row || flags.partialRectangle || flags.relationship || flags.edgeLabel;
                const QString kind = drawioStyleValue(cell.style, QStringLiteral("quillKind"));
                fresh.shape.table =
                    flags.table || kind.startsWith(QLatin1String("entity")) || kind == QLatin1String("table");
                fresh.shape.view = kind == QLatin1String("entity-view");
                fresh.shape.own = !kind.isEmpty();
                known = byStyle.insert(cell.style, fresh);
            }
            shape = known->shape;
            shape.rowCell = shape.rowCell || (known->partialRectangle && index.hasChildren(cell.id));
        }
        shapes.push_back(shape);
    }
    return shapes;
}

// A row left on the page (its parent a layer) that lies on a table was
// dragged out of it by accident: it is given back to the topmost table
// holding its centre, with its geometry made relative to that table. Rows
// lying on no table stay where they are and are left out.
QList<DrawioCell> adoptLooseRows(const QList<DrawioCell>& cells, const DrawioCellIndex& index,
                                 const std::vector<CellShape>& shapes, const QStringList& candidates)
{
    QList<DrawioCell> page;
    std::vector<QRectF> tableRects; // of the candidates, worked out at the first loose row
    for (int i = 0; i < cells.size(); ++i) {
        const DrawioCell& row = cells.at(i);
        if (row.edge || !shapes[size_t(i)].rowCell || !isDrawioLayer(row.parent, index))
            continue;
        if (tableRects.empty()) {
            for (const QString& id : candidates) {
                const DrawioCell* table = index.find(id);
                tableRects.emplace_back(drawioAbsolutePosition(*table, index), QSizeF(table->width, table->height));
            }
        }
        const QPointF centre = drawioAbsolutePosition(row, index) + QPointF(row.width / 2, row.height / 2);
        for (qsizetype t = candidates.size() - 1; t >= 0; --t) {
            const QRectF& rect = tableRects[size_t(t)];
            if (!rect.contains(centre))
                continue;
            if (page.isEmpty())
                page = cells;
            DrawioCell& adopted = page[i];
            adopted.parent = candidates.at(t);
            adopted.x -= rect.x();
            adopted.y -= rect.y();
            break;
        }
    }
    return page;
}

DrawioEntity buildEntity(const DrawioCell& tableCell, const std::vector<CellShape>& shapes,
                         const DrawioCellIndex& index)
{
    const CellShape& shape = shapes[size_t(index.byId.value(tableCell.id))];
    DrawioEntity entity;
    entity.sourceId = tableCell.id;
    entity.title = drawioLabelText(tableCell.value);
    entity.isView = shape.view;
    entity.ownExport = shape.own;
    const QPointF position = drawioAbsolutePosition(tableCell, index);
    entity.x = position.x();
    entity.y = position.y();
    entity.width = tableCell.width;
    entity.height = tableCell.height;

    QList<int> rows;
    QList<int> loose;
    for (const int k : index.children.value(tableCell.id)) {
        const DrawioCell& child = index.cells.at(k);
        if (child.id == tableCell.id)
            continue;
        (shapes[size_t(k)].rowCell ? rows : loose).append(k);
    }

    if (!rows.isEmpty()) {
        for (const int k : addDrawioCellRows(entity, rows, index)) {
            const DrawioCell& row = index.cells.at(k);
            addDrawioRowAttribute(entity, drawioRowText(row, index), row, row.y);
        }
        if (entity.attributes.size() > kMaxImportRowsPerEntity)
            return entity;
    } else {
        // Children drawn as separate texts: those at about the same height
        // (the same 8-unit band) make one line.
        struct Line
        {
            QStringList texts;
            double y = 0;
            int first = -1;
        };
        std::map<double, Line> lines;
        for (const int k : loose) {
            const DrawioCell& child = index.cells.at(k);
            const QString text = drawioRowText(child, index);
            if (text.isEmpty())
                continue;
            const double y = drawioAbsolutePosition(child, index).y();
            Line& line = lines[std::round(y / 8.0)];
            line.texts.append(text);
            line.y = y;
            if (line.first < 0)
                line.first = k;
        }
        for (const auto& [key, line] : lines) {
            Q_UNUSED(key);
            addDrawioRowAttribute(entity, line.texts.join(QLatin1Char(' ')), index.cells.at(line.first), line.y);
        }
    }

    if (entity.attributes.isEmpty()) {
        // A plain box: the label's first line is the title, each further
        // line an attribute.
        const QStringList labelLines = htmlToPlainText(tableCell.value).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (int line = 1; line < labelLines.size(); ++line) {
            const DrawioAttribute attribute = parseRowText(labelLines.at(line), line);
            if (!attribute.name.isEmpty())
                entity.attributes.append(attribute);
        }
    }

    std::stable_sort(entity.attributes.begin(), entity.attributes.end(),
                     [](const DrawioAttribute& a, const DrawioAttribute& b) { return a.order < b.order; });
    if (entity.title.isEmpty())
        entity.title = QStringLiteral("Entity");
    return entity;
}

bool isErArrow(const QString& arrow)
{
    return arrow.trimmed().startsWith(QLatin1String("ER"), Qt::CaseInsensitive);
}

QString freshId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

qsizetype numberRepeatedDrawioNames(QList<DrawioAttribute>& attributes, QStringList& repeated)
{
    // Most tables have a few rows with names of their own: comparing them
    // pairwise spares building sets of lower-cased names.
    constexpr qsizetype pairwiseLimit = 32;
    if (attributes.size() <= pairwiseLimit) {
        bool repeats = false;
        for (qsizetype a = 0; a < attributes.size() && !repeats; ++a) {
            for (qsizetype b = a + 1; b < attributes.size() && !repeats; ++b)
                repeats = attributes.at(a).name.compare(attributes.at(b).name, Qt::CaseInsensitive) == 0;
        }
        if (!repeats)
            return 0;
    }
    QSet<QString> taken;
    taken.reserve(attributes.size());
    for (const DrawioAttribute& attribute : std::as_const(attributes))
        taken.insert(attribute.name.toLower());
    if (taken.size() == attributes.size())
        return 0;
    QSet<QString> seen;
    QSet<QString> repeatedKeys;
    QHash<QString, qint64> nextNumber; // per name: the number to try first
    qsizetype renamed = 0;
    for (DrawioAttribute& attribute : attributes) {
        const QString key = attribute.name.toLower();
        if (!seen.contains(key)) {
            seen.insert(key);
            continue;
        }
        qint64& number = nextNumber[key];
        number = std::max<qint64>(number, 2);
        QString candidate;
        for (;; ++number) {
            candidate = attribute.name + QLatin1Char('_') + QString::number(number);
            if (!taken.contains(candidate.toLower()))
                break;
        }
        ++number;
        taken.insert(candidate.toLower());
        if (!repeatedKeys.contains(key)) {
            repeatedKeys.insert(key);
            repeated.append(attribute.name);
        }
        attribute.name = candidate;
        ++renamed;
    }
    return renamed;
}

QJsonObject drawioCellsToSceneJson(const QList<DrawioCell>& cells, QRectF* bounds, QString* error,
                                   DrawioPageNotes* notes)
{
    const DrawioCellIndex firstIndex(cells);
    const std::vector<CellShape> shapes = shapesOf(firstIndex);

    QStringList candidates;
    QSet<QString> candidateSet;
    for (int i = 0; i < cells.size(); ++i) {
        const DrawioCell& cell = cells.at(i);
        if (cell.vertex && !cell.edge && !shapes[size_t(i)].excluded && shapes[size_t(i)].table)
            addDrawioTableCandidate(candidates, candidateSet, firstIndex, cell.id);
    }
    for (int i = 0; i < cells.size(); ++i) {
        const DrawioCell& cell = cells.at(i);
        if (!cell.edge && shapes[size_t(i)].rowCell)
            addDrawioTableCandidate(candidates, candidateSet, firstIndex, cell.parent);
    }

    // Rows dragged out of their table onto the page go back to it; the
    // cells are copied only when there is such a row. Moving a row changes
    // no cell's shape, so the shapes stay valid.
    const QList<DrawioCell> adopted = adoptLooseRows(cells, firstIndex, shapes, candidates);
    const QList<DrawioCell>& page = adopted.isEmpty() ? cells : adopted;
    const DrawioCellIndex adoptedIndex(adopted);
    const DrawioCellIndex& index = adopted.isEmpty() ? firstIndex : adoptedIndex;

    if (candidates.isEmpty()) {
        for (int i = 0; i < page.size(); ++i) {
            const DrawioCell& cell = page.at(i);
            if (cell.vertex && !cell.edge && !shapes[size_t(i)].excluded && isDrawioLayer(cell.parent, index))
                addDrawioTableCandidate(candidates, candidateSet, index, cell.id);
        }
    }

    const auto tooLarge = [error](qsizetype count, const char* what, qsizetype limit) {
        if (error)
            *error = tooLargeSentence(count, what, limit);
        return QJsonObject();
    };
    if (candidates.size() > kMaxImportEntities)
        return tooLarge(candidates.size(), "entities", kMaxImportEntities);
    QList<DrawioEntity> entities;
    entities.reserve(candidates.size());
    QHash<QString, QString> entityIdOfCandidate;
    qsizetype rows = 0;
    QRectF area;
    for (const QString& candidate : candidates) {
        entities.append(buildEntity(page.at(index.byId.value(candidate)), shapes, index));
        entityIdOfCandidate.insert(candidate, freshId());
        // Key markers left in a type however the row was drawn ("int FK" in
        // a cell of its own, "id:FK1" glued to the name) are keys, as a name
        // cell reads them: kept in the type, they would be read as keys once
        // the row is written back as "name : type".
        for (DrawioAttribute& attribute : entities.last().attributes) {
            if (!attribute.type.isEmpty())
                attribute.type = dropDrawioKeyMarkers(attribute.type, attribute).join(QLatin1Char(' '));
        }
        QStringList repeated;
        const qsizetype renamed = numberRepeatedDrawioNames(entities.last().attributes, repeated);
        if (notes && renamed > 0) {
            notes->numberedColumns += renamed;
            notes->repeatedNames.append({entities.last().title, repeated});
        }
        const DrawioEntity& entity = entities.last();
        if (entity.attributes.size() > kMaxImportRowsPerEntity)
            return tooLarge(entity.attributes.size(), "rows in one entity", kMaxImportRowsPerEntity);
        rows += entity.attributes.size();
        if (rows > kMaxImportRows)
            return tooLarge(rows, "rows", kMaxImportRows);
        // The box as the canvas will draw it may be larger than the page
        // drew it: its title and rows are measured there.
        double width = std::max({entity.width, 200.0, 8.0 * entity.title.size() + 40});
        for (const DrawioAttribute& attribute : entity.attributes)
            width = std::max(width, (attribute.name.size() + attribute.type.size()) * 7.5 + 88);
        const double height = std::max(entity.height, (std::max<qsizetype>(entity.attributes.size(), 1) + 1) * 30.0);
        area = area.united(QRectF(entity.x, entity.y, width, height));
    }
    if (entities.isEmpty())
        return QJsonObject();
    if (bounds)
        *bounds = area;

    QJsonArray entityArray;
    for (const DrawioEntity& entity : entities) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), entityIdOfCandidate.value(entity.sourceId));
        object.insert(QStringLiteral("title"), entity.title);
        object.insert(QStringLiteral("x"), entity.x);
        object.insert(QStringLiteral("y"), entity.y);
        if (entity.isView)
            object.insert(QStringLiteral("kind"), QStringLiteral("entity-view"));
        // Filling in a copy of a complete object is about twice as fast as
        // building each object key by key.
        static const QJsonObject attributeTemplate{
            {QStringLiteral("name"), QString()},      {QStringLiteral("type"), QString()},
            {QStringLiteral("isPrimaryKey"), false}, {QStringLiteral("isUniqueKey"), false},
            {QStringLiteral("isForeignKey"), false},
        };
        QJsonArray attributes;
        for (const DrawioAttribute& attribute : entity.attributes) {
            QJsonObject object = attributeTemplate;
            object[QLatin1String("name")] = attribute.name;
            object[QLatin1String("type")] = attribute.type;
            object[QLatin1String("isPrimaryKey")] = attribute.primaryKey;
            object[QLatin1String("isUniqueKey")] = attribute.unique;
            object[QLatin1String("isForeignKey")] = attribute.foreignKey;
            attributes.append(object);
        }
        object.insert(QStringLiteral("attributes"), attributes);
        entityArray.append(object);
    }

    QJsonArray edgeArray;
    qsizetype leftOut = 0;
    for (const DrawioCell& cell : page) {
        if (!cell.edge)
            continue;
        const QString from = resolveDrawioEndpoint(cell.source, index, candidateSet);
        const QString to = resolveDrawioEndpoint(cell.target, index, candidateSet);
        if (from.isEmpty() || to.isEmpty()) {
            ++leftOut;
            continue;
        }
        const QString startArrow = drawioStyleValue(cell.style, QStringLiteral("startArrow"));
        const QString endArrow = drawioStyleValue(cell.style, QStringLiteral("endArrow"));
        // Between rows of one table only a relationship drawn with ER ends
        // counts (a self-reference); other links there are decoration.
        if (from == to && !isErArrow(startArrow) && !isErArrow(endArrow)) {
            ++leftOut;
            continue;
        }
        if (edgeArray.size() >= kMaxImportEdges)
            return tooLarge(edgeArray.size() + 1, "relationships", kMaxImportEdges);
        QJsonObject edge;
        edge.insert(QStringLiteral("id"), freshId());
        edge.insert(QStringLiteral("from"), entityIdOfCandidate.value(from));
        edge.insert(QStringLiteral("to"), entityIdOfCandidate.value(to));
        edge.insert(QStringLiteral("startCard"), arrowToCardinality(startArrow));
        edge.insert(QStringLiteral("endCard"), arrowToCardinality(endArrow));
        QString label = drawioLabelText(cell.value);
        if (label.isEmpty()) {
            // A label added to a connector is a cell of its own inside it.
            QStringList parts;
            for (const int k : index.children.value(cell.id)) {
                const QString text = drawioLabelText(index.cells.at(k).value);
                if (!text.isEmpty())
                    parts.append(text);
            }
            label = parts.join(QLatin1Char(' '));
        }
        if (!label.isEmpty())
            edge.insert(QStringLiteral("label"), label);
        edgeArray.append(edge);
    }

    if (notes)
        notes->connectorsLeftOut += leftOut;
    return jsonfields::diagramDocument(entityArray, edgeArray);
}
