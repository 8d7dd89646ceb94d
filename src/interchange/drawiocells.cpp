#include "interchange/drawiocells.h"

#include <QJsonArray>
#include <QRectF>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <map>

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

void addDrawioRowAttribute(DrawioEntity& entity, const QString& text, const DrawioCell& cell, double order)
{
    if (text.isEmpty() || text.compare(entity.title, Qt::CaseInsensitive) == 0)
        return;
    DrawioAttribute attribute = parseRowText(text, order);
    bool ok = false;
    const int fontStyle = drawioStyleValue(cell.style, QStringLiteral("fontStyle")).toInt(&ok);
    if (ok) {
        attribute.primaryKey |= (fontStyle & 4) != 0;
        attribute.foreignKey |= (fontStyle & 2) != 0;
    }
    attribute.primaryKey |= cell.primaryKey;
    attribute.foreignKey |= cell.foreignKey;
    attribute.unique |= cell.unique;
    if (!attribute.name.isEmpty() && attribute.name.compare(entity.title, Qt::CaseInsensitive) != 0)
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

// What the candidate passes ask of a cell, worked out once.
struct CellShape
{
    bool row = false;      // row shape
    bool excluded = false; // row shape, partial rectangle, relationship or edge label
    bool table = false;    // table shape, or marked as a table by our own writer
    bool view = false;     // marked as an entity view by our own writer
};

CellShape shapeOfCell(const DrawioCell& cell)
{
    CellShape shape;
    shape.row = isDrawioRowShape(cell.style);
    shape.excluded = shape.row || isDrawioPartialRectangle(cell.style) || isDrawioRelationshipShape(cell.style)
                     || isDrawioEdgeLabel(cell.style);
    const QString kind = drawioStyleValue(cell.style, QStringLiteral("quillKind"));
    shape.table = isDrawioTableShape(cell.style) || kind.startsWith(QLatin1String("entity"))
                  || kind == QLatin1String("table");
    shape.view = kind == QLatin1String("entity-view");
    return shape;
}

// A row left on the page (its parent a layer) that lies on a table was
// dragged out of it by accident: it is given back to the topmost table
// holding its centre, with its geometry made relative to that table. Rows
// lying on no table stay where they are and are left out.
QList<DrawioCell> adoptLooseRows(const QList<DrawioCell>& cells, const DrawioCellIndex& index,
                                 const QStringList& candidates)
{
    QList<DrawioCell> page;
    for (int i = 0; i < cells.size(); ++i) {
        const DrawioCell& row = cells.at(i);
        if (row.edge || !isDrawioLayer(row.parent, index) || !isDrawioRowCell(row, index))
            continue;
        const QPointF centre = drawioAbsolutePosition(row, index) + QPointF(row.width / 2, row.height / 2);
        for (auto it = candidates.crbegin(); it != candidates.crend(); ++it) {
            const DrawioCell* table = index.find(*it);
            const QPointF origin = drawioAbsolutePosition(*table, index);
            if (!QRectF(origin, QSizeF(table->width, table->height)).contains(centre))
                continue;
            if (page.isEmpty())
                page = cells;
            DrawioCell& adopted = page[i];
            adopted.parent = table->id;
            adopted.x -= origin.x();
            adopted.y -= origin.y();
            break;
        }
    }
    return page;
}

DrawioEntity buildEntity(const DrawioCell& tableCell, const CellShape& shape, const DrawioCellIndex& index)
{
    DrawioEntity entity;
    entity.sourceId = tableCell.id;
    entity.title = drawioLabelText(tableCell.value);
    entity.isView = shape.view;
    const QPointF position = drawioAbsolutePosition(tableCell, index);
    entity.x = position.x();
    entity.y = position.y();

    QList<int> rows;
    QList<int> loose;
    for (const int k : index.children.value(tableCell.id)) {
        const DrawioCell& child = index.cells.at(k);
        if (child.id == tableCell.id)
            continue;
        (isDrawioRowCell(child, index) ? rows : loose).append(k);
    }

    if (!rows.isEmpty()) {
        for (const int k : rows) {
            const DrawioCell& row = index.cells.at(k);
            addDrawioRowAttribute(entity, drawioRowText(row, index), row, row.y);
        }
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

QString freshId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

QJsonObject drawioCellsToSceneJson(const QList<DrawioCell>& cells)
{
    const DrawioCellIndex firstIndex(cells);
    std::vector<CellShape> shapes;
    shapes.reserve(size_t(cells.size()));
    for (const DrawioCell& cell : cells)
        shapes.push_back(shapeOfCell(cell));

    QStringList candidates;
    QSet<QString> candidateSet;
    for (int i = 0; i < cells.size(); ++i) {
        const DrawioCell& cell = cells.at(i);
        if (cell.vertex && !cell.edge && !shapes[size_t(i)].excluded && shapes[size_t(i)].table)
            addDrawioTableCandidate(candidates, candidateSet, firstIndex, cell.id);
    }
    for (const DrawioCell& cell : cells) {
        if (!cell.edge && isDrawioRowCell(cell, firstIndex))
            addDrawioTableCandidate(candidates, candidateSet, firstIndex, cell.parent);
    }

    // Rows dragged out of their table onto the page go back to it; the
    // cells are copied only when there is such a row.
    const QList<DrawioCell> adopted = adoptLooseRows(cells, firstIndex, candidates);
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

    QList<DrawioEntity> entities;
    entities.reserve(candidates.size());
    QHash<QString, QString> entityIdOfCandidate;
    for (const QString& candidate : candidates) {
        const int at = index.byId.value(candidate);
        entities.append(buildEntity(page.at(at), shapes[size_t(at)], index));
        entityIdOfCandidate.insert(candidate, freshId());
    }
    if (entities.isEmpty())
        return QJsonObject();

    QJsonArray entityArray;
    for (const DrawioEntity& entity : entities) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), entityIdOfCandidate.value(entity.sourceId));
        object.insert(QStringLiteral("title"), entity.title);
        object.insert(QStringLiteral("x"), entity.x);
        object.insert(QStringLiteral("y"), entity.y);
        if (entity.isView)
            object.insert(QStringLiteral("kind"), QStringLiteral("entity-view"));
        QJsonArray attributes;
        for (const DrawioAttribute& attribute : entity.attributes) {
            attributes.append(QJsonObject{
                {QStringLiteral("name"), attribute.name},
                {QStringLiteral("type"), attribute.type},
                {QStringLiteral("isPrimaryKey"), attribute.primaryKey},
                {QStringLiteral("isUniqueKey"), attribute.unique},
                {QStringLiteral("isForeignKey"), attribute.foreignKey},
            });
        }
        object.insert(QStringLiteral("attributes"), attributes);
        entityArray.append(object);
    }

    QJsonArray edgeArray;
    for (const DrawioCell& cell : page) {
        if (!cell.edge || cell.source.isEmpty() || cell.target.isEmpty())
            continue;
        const QString from = resolveDrawioEndpoint(cell.source, index, candidateSet);
        const QString to = resolveDrawioEndpoint(cell.target, index, candidateSet);
        if (from.isEmpty() || to.isEmpty() || from == to)
            continue;
        QJsonObject edge;
        edge.insert(QStringLiteral("id"), freshId());
        edge.insert(QStringLiteral("from"), entityIdOfCandidate.value(from));
        edge.insert(QStringLiteral("to"), entityIdOfCandidate.value(to));
        edge.insert(QStringLiteral("startCard"),
                    arrowToCardinality(drawioStyleValue(cell.style, QStringLiteral("startArrow"))));
        edge.insert(QStringLiteral("endCard"),
                    arrowToCardinality(drawioStyleValue(cell.style, QStringLiteral("endArrow"))));
        const QString label = drawioLabelText(cell.value);
        if (!label.isEmpty())
            edge.insert(QStringLiteral("label"), label);
        edgeArray.append(edge);
    }

    return QJsonObject{
        {QStringLiteral("version"), QStringLiteral("1.0")},
        {QStringLiteral("type"), QStringLiteral("er-diagram")},
        {QStringLiteral("entities"), entityArray},
        {QStringLiteral("edges"), edgeArray},
    };
}
